// Decoding speed of packed entries against zlib's inflate on the same data (compressed at level 9), in
// MB/s of output, and the wall time of one ExtractFile of a 1 MiB packed member. Every input is made here.
//   build/bench/archive/archive_bench        prints the benchmark table and then the ratios ours/zlib
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Sample {
  const char *kind;
  Bytes data, packed, deflated;
};

std::vector<Sample> sSamples;

// Prose from a vocabulary with Zipf-like word frequencies, in sentences and 72-column lines.
Bytes MakeText(size_t size) {
  const char *words[] = {
      "the", "of", "and", "to", "a", "in", "is", "it", "that", "for", "on", "with", "as", "was", "music", "at",
      "by", "this", "from", "be", "or", "an", "are", "not", "pattern", "but", "which", "have", "one", "sample",
      "tracker", "module", "all", "their", "there", "when", "channel", "its", "so", "were", "note", "volume",
      "instrument", "order", "row", "tempo", "speed", "effect", "envelope", "loop", "disk", "scene", "light",
      "torus", "knot", "metaball", "particle", "spectrum", "panel", "button", "texture", "picture", "player",
      "would", "could", "between", "through", "after", "before", "under", "over", "never", "always", "again",
      "bass", "drum", "lead", "chord", "melody", "rhythm", "silence", "echo", "filter", "resonance", "pitch"};
  const int count = sizeof words / sizeof words[0];
  std::mt19937 random(11);
  std::string text, line;
  bool capital = true;
  while (text.size() < size) {
    // Rank r is picked with a weight of about 1/r.
    double u = std::uniform_real_distribution<double>(0, std::log((double)count + 1))(random);
    std::string word = words[std::min(count - 1, (int)std::exp(u) - 1)];
    if (capital) word[0] = (char)toupper(word[0]);
    capital = false;
    int mark = (int)(random() % 24);
    if (mark == 0) word += ".", capital = true;
    else if (mark == 1) word += ",";
    if (line.size() + word.size() + 1 > 72) text += line + "\n", line.clear();
    line += (line.empty() ? "" : " ") + word;
  }
  text.resize(size);
  return Bytes(text.begin(), text.end());
}

// A photograph-like picture: gradients, soft discs and grain, saved as a baseline JPEG at quality 90.
Bytes MakeJpeg(int width, int height) {
  std::vector<unsigned char> rgb((size_t)width * height * 3);
  std::mt19937 random(5);
  std::normal_distribution<double> grain(0, 6);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      double r = 120 + 100 * std::sin(x * 0.011) * std::cos(y * 0.007);
      double g = 90 + 80 * std::sin((x + y) * 0.005);
      double b = 140 + 90 * std::cos(std::hypot(x - width / 2.0, y - height / 3.0) * 0.02);
      for (int disc = 0; disc < 6; disc++) {
        double d = std::hypot(x - (disc * 173 % width), y - (disc * 97 % height));
        if (d < 90) r += 60 * (1 - d / 90), g -= 30 * (1 - d / 90);
      }
      unsigned char *p = &rgb[((size_t)y * width + x) * 3];
      double values[3] = {r, g, b};
      for (int c = 0; c < 3; c++) p[c] = (unsigned char)std::clamp(values[c] + grain(random), 0.0, 255.0);
    }
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char *buffer = nullptr;
  unsigned long bufferSize = 0;
  jpeg_mem_dest(&info, &buffer, &bufferSize);
  info.image_width = (JDIMENSION)width;
  info.image_height = (JDIMENSION)height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &rgb[(size_t)info.next_scanline * width * 3];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes jpeg(buffer, buffer + bufferSize);
  free(buffer);
  return jpeg;
}

// 8-bit signed instrument samples as a module holds them: decaying notes with harmonics and some noise.
Bytes MakeSamples(size_t size) {
  Bytes samples;
  std::mt19937 random(9);
  std::normal_distribution<double> noise(0, 2.5);
  const double pi = 3.14159265358979;
  while (samples.size() < size) {
    double frequency = 55.0 * std::pow(2.0, (double)(random() % 48) / 12.0);
    int length = 4000 + (int)(random() % 20000);
    for (int i = 0; i < length; i++) {
      double t = i / 22050.0, envelope = std::exp(-t * 3.0);
      double v = std::sin(2 * pi * frequency * t) + 0.5 * std::sin(4 * pi * frequency * t) +
                 0.25 * std::sin(6 * pi * frequency * t);
      samples.push_back((unsigned char)(int8_t)std::clamp(v * 70 * envelope + noise(random), -128.0, 127.0));
    }
  }
  samples.resize(size);
  return samples;
}

void AddSample(const char *kind, Bytes data) {
  Sample sample{kind, std::move(data), {}, {}};
  uint32_t size = (uint32_t)sample.data.size();
  sample.packed.resize(HuffEncodedSize(sample.data.data(), size));
  HuffEncode(sample.data.data(), size, sample.packed.data(), (uint32_t)sample.packed.size());
  uLongf deflatedSize = compressBound(size);
  sample.deflated.resize(deflatedSize);
  compress2(sample.deflated.data(), &deflatedSize, sample.data.data(), size, 9);
  sample.deflated.resize(deflatedSize);
  sSamples.push_back(std::move(sample));
}

void Ours(benchmark::State &state, const Sample *sample) {
  Bytes out(sample->data.size());
  for (auto _ : state) {
    uint32_t n = HuffDecode(sample->packed.data(), (uint32_t)sample->packed.size(), out.data(), (uint32_t)out.size());
    if (n != out.size()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  if (out != sample->data) state.SkipWithError("decoded data differ");
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)out.size());
  state.counters["ratio"] = (double)sample->packed.size() / (double)out.size();
}

void Zlib(benchmark::State &state, const Sample *sample) {
  Bytes out(sample->data.size());
  for (auto _ : state) {
    uLongf n = out.size();
    if (uncompress(out.data(), &n, sample->deflated.data(), sample->deflated.size()) != Z_OK) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)out.size());
  state.counters["ratio"] = (double)sample->deflated.size() / (double)out.size();
}

// One extraction of a 1 MiB packed member from tunemill.dat, temporary file written and deleted.
void ExtractPackedMember(benchmark::State &state) {
  char folder[] = "/tmp/tunemill-bench-XXXXXX";
  char previous[4096];
  if (!mkdtemp(folder) || !getcwd(previous, sizeof previous) || chdir(folder) != 0) {
    state.SkipWithError("no scratch folder");
    return;
  }
  Bytes text = MakeText(1 << 20);
  Bytes block(HuffEncodedSize(text.data(), (uint32_t)text.size()));
  HuffEncode(text.data(), (uint32_t)text.size(), block.data(), (uint32_t)block.size());
  unsigned char header[kResourceHeaderSize];
  FormatResourceHeader(header, "data/song.xm", (uint32_t)block.size(), (uint32_t)text.size(), 1);
  FILE *archive = fopen(gResourceFileName, "wb");
  fwrite(header, 1, sizeof header, archive);
  fwrite(block.data(), 1, block.size(), archive);
  fclose(archive);
  OpenResource();
  for (auto _ : state) ReleaseFile(ExtractFile("data/song.xm"));
  CloseResource();
  unlink(gResourceFileName);
  unlink("program.log");
  if (chdir(previous) != 0 || rmdir(folder) != 0) state.SkipWithError("scratch folder left behind");
}

// Keeps each run's output rate so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
  std::map<std::string, double> rates;
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end() && !run.error_occurred) rates[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char **argv) {
  AddSample("text", MakeText(1 << 20));
  AddSample("jpeg", MakeJpeg(1024, 768));
  AddSample("samples8", MakeSamples(1 << 20));
  for (const Sample &sample : sSamples) {
    benchmark::RegisterBenchmark((std::string("HuffDecode/") + sample.kind).c_str(), Ours, &sample);
    benchmark::RegisterBenchmark((std::string("Inflate/") + sample.kind).c_str(), Zlib, &sample);
  }
  benchmark::RegisterBenchmark("ExtractFile/packed_1MiB", ExtractPackedMember)->Unit(benchmark::kMillisecond)->UseRealTime();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Sample &sample : sSamples) {
    double ours = reporter.rates[std::string("HuffDecode/") + sample.kind];
    double zlib = reporter.rates[std::string("Inflate/") + sample.kind];
    if (ours <= 0 || zlib <= 0) continue;
    printf("decode %-9s %7zu bytes: ours %7.1f MB/s, zlib %7.1f MB/s, ratio ours/zlib %.2f (goal >= 1.0)\n",
           sample.kind, sample.data.size(), ours / 1e6, zlib / 1e6, ours / zlib);
  }
  benchmark::Shutdown();
  return 0;
}
