// Picture decoding speed against the libraries it is measured by, in the same run:
//   GIF: our decoder against giflib's on the same files (256x256 and 1024x1024); goal: ours at least as
//        fast (speed ratio ours/giflib >= 1.0).
//   JPEG: LoadJPEG (file read, decode, 0x00RRGGBB pixels) against a bare libjpeg-turbo decode of the same
//        file to RGB rows; goal: time ratio LoadJPEG/bare <= 1.15.
// The ratios (of CPU times) are printed after the table; for steadier figures on a busy machine:
//   picture_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Runs in a fresh temporary folder (program.log lands there).
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "graphics/decoders.h"
#include "picture_writers.h"

namespace {

// A panel-like picture: colour bands and shapes with a sprinkle of noise, over 256 colours.
std::string GifPicture(int size) {
  std::vector<uint8_t> indices((size_t)size * size);
  uint32_t seed = 1234;
  for (int y = 0; y < size; y++) {
    for (int x = 0; x < size; x++) {
      uint32_t r = TestRandom(seed);
      int dx = x - size / 2, dy = y - size / 2;
      uint32_t v = (dx * dx + dy * dy < size * size / 9) ? (uint32_t)(x / 8 + y / 16) : (uint32_t)(y * 64 / size);
      if (r % 16 == 0) v = r >> 8;
      indices[(size_t)y * size + x] = (uint8_t)v;
    }
  }
  std::vector<uint8_t> palette;
  for (int i = 0; i < 256; i++) palette.insert(palette.end(), {(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i * 3)});
  return GiflibGif(size, size, indices, palette, 8);
}

struct MEMORY_READER {
  const std::string *file;
  size_t position;
};

int GifRead(GifFileType *gif, GifByteType *out, int length) {
  MEMORY_READER *reader = (MEMORY_READER *)gif->UserData;
  size_t n = std::min((size_t)length, reader->file->size() - reader->position);
  memcpy(out, reader->file->data() + reader->position, n);
  reader->position += n;
  return (int)n;
}

std::map<int, std::string> &GifFiles() {
  static std::map<int, std::string> files;
  return files;
}

void BM_GifOurs(benchmark::State &state) {
  const std::string &file = GifFiles()[(int)state.range(0)];
  for (auto _ : state) {
    IMAGE image;
    unsigned char palette[768];
    if (!DecodeGIF((const unsigned char *)file.data(), file.size(), &image, palette)) state.SkipWithError("decode");
    benchmark::DoNotOptimize(image.Pixels);
    TrackedFree(image.Pixels, __LINE__, "bench");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_GifGiflib(benchmark::State &state) {
  const std::string &file = GifFiles()[(int)state.range(0)];
  for (auto _ : state) {
    MEMORY_READER reader = {&file, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&reader, GifRead, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib");
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

// A photo-like picture: smooth gradients with fine noise, at quality 90.
std::string JpegPicture(int size) {
  std::vector<uint32_t> pixels((size_t)size * size);
  uint32_t seed = 77;
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      uint32_t n = TestRandom(seed) % 24;
      uint32_t r = (uint32_t)(x * 255 / size) ^ n, g = (uint32_t)(y * 255 / size) + n / 2, b = (uint32_t)((x + y) * 127 / size);
      pixels[(size_t)y * size + x] = (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
    }
  return Jpeg(size, size, pixels, 3);
}

void BM_JpegLoadJPEG(benchmark::State &state) {
  const std::string name = "picture" + std::to_string(state.range(0)) + ".jpg";
  for (auto _ : state) {
    IMAGE image;
    if (!LoadJPEG(name.c_str(), &image)) state.SkipWithError("LoadJPEG");
    benchmark::DoNotOptimize(image.Pixels);
    TrackedFree(image.Pixels, __LINE__, "bench");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_JpegBare(benchmark::State &state) {
  const std::string name = "picture" + std::to_string(state.range(0)) + ".jpg";
  std::vector<unsigned char> rgb((size_t)state.range(0) * state.range(0) * 3);
  for (auto _ : state) {
    FILE *f = fopen(name.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = &rgb[(size_t)cinfo.output_scanline * cinfo.output_width * 3];
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    fclose(f);
    benchmark::DoNotOptimize(rgb.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

BENCHMARK(BM_GifOurs)->Arg(256)->Arg(1024);
BENCHMARK(BM_GifGiflib)->Arg(256)->Arg(1024);
BENCHMARK(BM_JpegLoadJPEG)->Arg(256)->Arg(1024);
BENCHMARK(BM_JpegBare)->Arg(256)->Arg(1024);

// Keeps the CPU time per iteration of every run for the ratios, the median when there are repetitions
// (on a shared machine wall time says more about the neighbours than about the code).
class RATIO_REPORTER : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
        times[run.run_name.str()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char **argv) {
  std::string folder = (std::filesystem::temp_directory_path() / "tunemill-bench-XXXXXX").string();
  if (!mkdtemp(folder.data()) || chdir(folder.c_str()) != 0) return 1;
  for (int size : {256, 1024}) {
    GifFiles()[size] = GifPicture(size);
    std::string jpeg = JpegPicture(size);
    FILE *f = fopen(("picture" + std::to_string(size) + ".jpg").c_str(), "wb");
    fwrite(jpeg.data(), 1, jpeg.size(), f);
    fclose(f);
  }

  benchmark::Initialize(&argc, argv);
  RATIO_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int size : {256, 1024}) {
    std::string arg = "/" + std::to_string(size);
    auto &t = reporter.times;
    if (t.count("BM_GifOurs" + arg) && t.count("BM_GifGiflib" + arg))
      printf("GIF %dx%d: speed ratio ours/giflib = %.2f (goal >= 1.0)\n", size, size,
             t["BM_GifGiflib" + arg] / t["BM_GifOurs" + arg]);
    if (t.count("BM_JpegLoadJPEG" + arg) && t.count("BM_JpegBare" + arg))
      printf("JPEG %dx%d: time ratio LoadJPEG/bare libjpeg-turbo = %.3f (goal <= 1.15)\n", size, size,
             t["BM_JpegLoadJPEG" + arg] / t["BM_JpegBare" + arg]);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
