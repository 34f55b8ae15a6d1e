// The picture decoders on pictures written by giflib, libjpeg, libpng and our own writers: exact pixels
// where the format is lossless, and clean failures (0, nothing left allocated) on broken files; the
// texture size rule and its resampling.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/decoders.h"
#include "picture_writers.h"
#include "testkit.h"

namespace {

using DECODER = int (*)(const unsigned char *, size_t, IMAGE *, int64_t);

unsigned char sPalette[768];  // the palette of the last GIF decoded

int Gif(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  memset(sPalette, 0xEE, sizeof sPalette);
  return DecodeGIF(data, size, image, sPalette, maxPixels);
}

// A colour table of `entries` colours in 768 bytes, zero beyond them.
std::vector<uint8_t> Palette(int entries) {
  std::vector<uint8_t> palette;
  for (int i = 0; i < entries; i++)
    palette.insert(palette.end(), {(uint8_t)(i * 7 + 1), (uint8_t)(255 - i), (uint8_t)(i * 13)});
  palette.resize(768, 0);
  return palette;
}

// Indices below `colours`: runs and noise mixed, so that both long strings and fresh codes occur.
std::vector<uint8_t> Indices(int width, int height, int colours, uint32_t seed) {
  std::vector<uint8_t> indices((size_t)width * height);
  for (size_t i = 0; i < indices.size(); i++) {
    uint32_t r = TestRandom(seed);
    indices[i] = (uint8_t)((r % 4 == 0 ? r >> 4 : (i / 7 + i / (size_t)width)) % (uint32_t)colours);
  }
  return indices;
}

// Smooth colours, so that JPEG at quality 95 stays close.
std::vector<uint32_t> Smooth(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      pixels.push_back((uint32_t)((40 + 3 * x) << 16 | (200 - 2 * y) << 8 | (90 + x + y)));
  return pixels;
}

// The width and the pixels a decoder gives (bytes of GIF indices, 0x00RRGGBB words of the others); no
// pixels when it fails.
template <class PIXEL>
std::pair<int, std::vector<PIXEL>> Decoded(DECODER decode, const std::string &file) {
  IMAGE image = {0, 0, (void *)1};
  if (!decode((const unsigned char *)file.data(), file.size(), &image, DECODER_MAX_PIXELS)) {
    EXPECT_EQ(image.Pixels, nullptr);
    return {};
  }
  const PIXEL *p = (const PIXEL *)image.Pixels;
  std::pair<int, std::vector<PIXEL>> decoded = {image.Width, {p, p + (size_t)image.Width * image.Height}};
  TrackedFree(image.Pixels, __LINE__, "test");
  return decoded;
}

bool Fails(DECODER decode, const std::string &file) { return Decoded<uint8_t>(decode, file).second.empty(); }

// `good` decodes, but every cut of it up to `end` fails, as does every patched copy.
void ExpectBrokenFail(DECODER decode, const std::string &good, size_t end,
                      std::initializer_list<std::tuple<size_t, std::string, const char *>> patches) {
  ASSERT_FALSE(Fails(decode, good));
  for (size_t cut = 0; cut < end; cut++) EXPECT_TRUE(Fails(decode, good.substr(0, cut))) << cut;
  for (const auto &[at, bytes, what] : patches)
    EXPECT_TRUE(Fails(decode, std::string(good).replace(at, bytes.size(), bytes))) << what;
}

// The decoder gave back exactly what it allocated.
class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override { EXPECT_EQ(AllocTotal(), allocated_); }
  int64_t allocated_ = 0;
};

TEST_F(DecoderTest, GifPicturesOfEveryCodeSizeAndStreamShapeGiveTheirIndicesAndPalette) {
  std::vector<std::tuple<std::string, int, int, std::vector<uint8_t>, std::string>> rows;  // width, colours
  // giflib at every minimum code size, and a last picture that fills the table many times (12-bit codes,
  // clear codes).
  for (int round = 1; round <= 9; round++) {
    const int bits = std::min(round, 8), width = round < 9 ? 61 + bits : 300, height = round < 9 ? 37 : 200;
    const std::vector<uint8_t> indices = Indices(width, height, 1 << bits, (uint32_t)bits);
    rows.push_back({GiflibGif(width, height, indices, Palette(1 << bits), bits), width, 1 << bits, indices,
                    "giflib " + std::to_string(round)});
  }
  // Our own encoder, for what giflib never writes; every picture fills the table at least once.
  std::vector<std::pair<LZW_OPTIONS, std::string>> shapes = {{{9, true, false}, "9 bits, table kept full"},
                                                             {{4, true, false}, "table kept full at 12 bits"},
                                                             {{3, false}, "no leading clear code"},
                                                             {{6, true, true, true}, "clear right before the end"}};
  for (int s = 2; s <= 9; s++) shapes.push_back({{s}, "plain " + std::to_string(s)});
  for (const auto &[options, what] : shapes) {
    const int colours = std::min(256, 1 << options.minCodeSize);
    const std::vector<uint8_t> indices = Indices(173, 211, colours, (uint32_t)options.minCodeSize * 31);
    const std::string file = GifAround(173, 211, Palette(colours), 7, options.minCodeSize, LzwEncode(indices, options));
    rows.push_back({file, 173, colours, indices, what});
  }
  // A run of one colour: the second code already names the string "5 5" the decoder is defining.
  rows.push_back({GifAround(3, 2, Palette(8), 2, 3, LzwEncode({5, 5, 5, 5, 5, 5}, {3})), 3, 8,
                  std::vector<uint8_t>(6, 5), "code being defined"});
  // An end code before the picture is full leaves the rest zero.
  rows.push_back({GifAround(4, 4, Palette(4), 1, 2, LzwEncode({1, 2, 3, 1, 2}, {2, true, true, true})), 4, 4,
                  {1, 2, 3, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "early end"});
  for (const auto &[file, width, colours, indices, what] : rows) {
    EXPECT_EQ(Decoded<uint8_t>(Gif, file), std::make_pair(width, indices)) << what;
    // The table fills the start of the palette; the rest is black.
    EXPECT_EQ(std::vector<uint8_t>(sPalette, sPalette + 768), Palette(colours)) << what;
  }
}

TEST_F(DecoderTest, BmpJpegAndPngPicturesOfEveryKindGiveTheirPixelsTopRowFirst) {
  // Decoder, file, width, pixels, tolerance of each channel.
  std::vector<std::tuple<DECODER, std::string, int, std::vector<uint32_t>, int, std::string>> rows;
  for (int width = 1; width <= 5; width++) {  // every row padding, both row orders
    uint32_t seed = (uint32_t)width;
    std::vector<uint32_t> palette, indices((size_t)width * 3), pixels;
    for (int i = 0; i < 256; i++) palette.push_back(TestRandom(seed) & 0xFFFFFF);
    for (auto &v : indices) pixels.push_back(palette[v = TestRandom(seed) % 256]);
    for (bool topDown : {false, true}) {
      const std::string what = " bmp width " + std::to_string(width) + (topDown ? " top-down" : " bottom-up");
      rows.push_back({DecodeBMP, Bmp(width, 3, 8, indices, topDown, palette), width, pixels, 0, "8-bit" + what});
      rows.push_back({DecodeBMP, Bmp(width, 3, 24, pixels, topDown), width, pixels, 0, "24-bit" + what});
    }
  }
  // A short colour table leaves the other indices black; missing padding of the last row is accepted.
  rows.push_back({DecodeBMP, Bmp(2, 2, 8, {0, 1, 2, 255}, true, {0x112233, 0x445566}), 2,
                  {0x112233, 0x445566, 0, 0}, 0, "short colour table"});
  const std::vector<uint32_t> six = {1, 0x20304, 0xFFFFFF, 0x808080, 0xABCDEF, 7};
  const std::string unpadded = Bmp(3, 2, 24, six, false);
  rows.push_back({DecodeBMP, unpadded.substr(0, unpadded.size() - 3), 3, six, 0, "last row unpadded"});
  for (int width : {1, 3, 17, 64})
    rows.push_back({DecodeJPEG, Jpeg(width, 21, Smooth(width, 21), 3), width, Smooth(width, 21), 8, "jpeg"});
  std::vector<uint32_t> grey;
  for (uint32_t i = 0; i < 3 * 5; i++) grey.push_back(i * 17 * 0x010101);
  rows.push_back({DecodeJPEG, Jpeg(3, 5, grey, 1), 3, grey, 6, "grey jpeg"});
  // Colour type, bit depth and channels of each PNG; the first two are interlaced.
  std::vector<std::tuple<int, int, int>> png = {{PNG_COLOR_TYPE_RGB, 8, 3}, {PNG_COLOR_TYPE_PALETTE, 4, 1}};
  for (int depth : {1, 2, 4, 8, 16}) png.push_back({PNG_COLOR_TYPE_GRAY, depth, 1});
  for (int depth : {1, 2, 4, 8}) png.push_back({PNG_COLOR_TYPE_PALETTE, depth, 1});
  for (int depth : {8, 16})
    for (auto [type, channels] :
         {std::pair{PNG_COLOR_TYPE_RGB, 3}, {PNG_COLOR_TYPE_RGB_ALPHA, 4}, {PNG_COLOR_TYPE_GRAY_ALPHA, 2}})
      png.push_back({type, depth, channels});
  const std::vector<uint8_t> palette = Palette(256);
  for (size_t row = 0; row < png.size(); row++) {
    const auto [type, depth, channels] = png[row];
    const uint32_t top = (1u << depth) - 1;
    std::vector<uint16_t> samples;
    std::vector<uint32_t> expected;
    uint32_t seed = (uint32_t)(type * 100 + depth), rgb[3] = {0, 0, 0};
    for (int i = 0; i < 13 * 9; i++) {
      for (int ch = 0; ch < channels; ch++) {
        samples.push_back((uint16_t)(TestRandom(seed) % (top + 1)));
        // Samples go to eight bits the way libpng strips them: the high byte, or scaled up from below 8.
        if (ch < 3) rgb[ch] = depth == 16 ? samples.back() >> 8 : samples.back() * 255 / top;
      }
      const uint8_t *entry = &palette[3 * samples.back()];
      expected.push_back(type == PNG_COLOR_TYPE_PALETTE ? (uint32_t)entry[0] << 16 | entry[1] << 8 | entry[2]
                         : channels <= 2                ? rgb[0] * 0x010101
                                                        : rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    }
    rows.push_back({DecodePNG, Png(13, 9, type, depth, samples, palette, {0, 128}, row < 2), 13, expected, 0,
                    "png type " + std::to_string(type) + " depth " + std::to_string(depth)});
  }
  for (const auto &[decode, file, width, pixels, tolerance, what] : rows) {
    const auto [gotWidth, got] = Decoded<uint32_t>(decode, file);
    ASSERT_EQ(got.size(), pixels.size()) << what;
    EXPECT_EQ(gotWidth, width) << what;
    int worst = 0;  // nothing above the colour either
    for (size_t i = 0; i < got.size(); i++)
      for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs((int)(got[i] >> shift & 0xFF) - (int)(pixels[i] >> shift & 0xFF)));
    EXPECT_LE(worst, tolerance) << what;
  }
  for (uint32_t p : Decoded<uint32_t>(DecodeJPEG, Jpeg(3, 5, grey, 1)).second)
    EXPECT_EQ(p, (p & 0xFF) * 0x010101) << "grey JPEG channels";
}

TEST_F(DecoderTest, BrokenFilesFailWithNothingAllocated) {
  // GIF: every cut before the end code fails (the end code reaches into the last data byte); header fields.
  const std::vector<uint8_t> indices = Indices(20, 10, 16, 7), stream = LzwEncode(indices, {4});
  const std::string gif = GifAround(20, 10, Palette(16), 3, 4, stream);
  ASSERT_LT(stream.size(), 255u);
  ExpectBrokenFail(Gif, gif, 13 + 3 * 16 + 11 + 1 + stream.size(),
                   {{0, "g", "signature"}, {71, "\x01", "minimum code size 1"}, {71, "\x0A", "minimum code size 10"},
                    {66, {0, 0}, "zero width"}, {68, {0, 0}, "zero height"},
                    {66, {19, 0}, "more pixels than the picture holds"}});
  const std::string bmp = Bmp(4, 4, 24, std::vector<uint32_t>(16, 0x123456), false);
  ExpectBrokenFail(DecodeBMP, bmp, bmp.size() - 3,
                   {{28, {16, 0}, "16 bits"}, {28, {32, 0}, "32 bits"}, {30, {1, 0, 0, 0}, "run-length compressed"},
                    {26, {2, 0}, "two planes"}, {0, "BA", "signature"}, {14, {12, 0, 0, 0}, "core header"},
                    {14, {(char)0xFF, (char)0xFF, 0, 0}, "info header past the end"},
                    {10, {(char)0xFF, (char)0xFF, 0, 0}, "pixel offset past the end"},
                    {10, {20, 0, 0, 0}, "pixel offset inside the header"}, {18, {0, 0, 0, 0}, "zero width"},
                    {22, {0, 0, 0, 0}, "zero height"}, {22, {0, 0, 0, (char)0x80}, "height of -2^31"},
                    {18, {0, 0, 1, 0}, "width past the data"},
                    {22, {(char)0xFF, (char)0xFF, 0, 0}, "height past the data"},
                    {18, "\xFF\xFF\xFF\x7F", "width beyond every limit"}});
  // Cuts into the header; a frame of 65500 x 65500 pixels; four components (CMYK) without a conversion.
  const std::string jpeg = Jpeg(16, 16, Smooth(16, 16), 3);
  const size_t sof = jpeg.find("\xFF\xC0");
  ExpectBrokenFail(DecodeJPEG, jpeg, 100, {{sof + 5, "\xFF\xDC\xFF\xDC", "pixel limit"}, {sof + 9, "\x04", "CMYK"}});
  // Cuts, and a flipped bit inside the header chunk, whose CRC then no longer matches.
  const std::string png = Png(8, 8, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(8 * 8 * 3, 77));
  ExpectBrokenFail(DecodePNG, png, png.size() - 12, {{20, std::string(1, png[20] ^ 0x40), "header CRC"}});
  // A PNG header claiming 10000 x 10000 pixels, its CRC made to match.
  std::string huge = Png(10000, 1, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  huge.replace(20, 4, std::string("\0\0\x27\x10", 4));
  const uint32_t crc = (uint32_t)crc32(0, (const Bytef *)huge.data() + 12, 17);
  for (int i = 0; i < 4; i++) huge[29 + i] = (char)(crc >> (24 - 8 * i));
  // 5-bit codes: clear (16), pixel 1, then 31, far beyond the next code 18, then end (17).
  const uint32_t bits = 16 | (1u << 5) | (31u << 10) | (17u << 15);
  const std::string eight = Bmp(4, 4, 8, std::vector<uint32_t>(16, 1), false, std::vector<uint32_t>(256, 0x808080));
  const std::tuple<DECODER, std::string, const char *> bad[] = {
      {Gif, GifAround(20, 10, Palette(16), 3, 4, LzwEncode(indices, {4, true, true, false, false})), "no end code"},
      {Gif, GifAround(20, 10, Palette(16), 3, 4, {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16)}),
       "undefined code"},
      {DecodeBMP, eight.substr(0, 14 + 40 + 100), "colour table past the end"},
      {DecodeBMP, std::string(eight).replace(14 + 32, 2, "\x01\x01"), "257 colours"},
      {DecodeJPEG, "not a jpeg at all", "no JPEG"},
      {DecodePNG, huge, "pixel limit"}};
  for (const auto &[decode, file, what] : bad) EXPECT_TRUE(Fails(decode, file)) << what;
  IMAGE image;
  EXPECT_EQ(DecodeGIF((const unsigned char *)gif.data(), gif.size(), &image, nullptr, 199), 0) << "pixel limit";
}

TEST(TextureSize, PowersOfTwoUpToTheLimitAndNeverAbove1024AndRescaleSamplesTheNearestPixel) {
  for (int32_t size : {2, 512, 1024}) EXPECT_TRUE(TextureSizeAccepted(size, size == 512 ? 512 : 16384)) << size;
  for (int32_t size : {0, 1, 3, 1023, 2048, -2}) EXPECT_FALSE(TextureSizeAccepted(size, 16384)) << size;
  EXPECT_FALSE(TextureSizeAccepted(1024, 512));
  const struct { int32_t w, h, max, newW, newH; } cases[] = {
      {300, 200, 1024, 512, 256}, {1, 1, 1024, 2, 2},     {4096, 8, 1024, 1024, 8}, {2048, 2048, 4096, 2048, 2048},
      {3, 1000, 512, 4, 512},     {64, 65, 16384, 64, 128}, {3, 2, 1024, 4, 2}};
  const int64_t before = AllocTotal();
  for (auto &c : cases)
    for (int32_t pixelSize : {1, 4}) {
      IMAGE image = {c.w, c.h, TrackedAlloc((size_t)c.w * c.h * pixelSize, __LINE__, "test")};
      for (int32_t i = 0; i < c.w * c.h * pixelSize; i++) ((uint8_t *)image.Pixels)[i] = (uint8_t)(i / pixelSize);
      RescaleImage(&image, pixelSize, c.max);
      EXPECT_EQ(image.Width * 10000 + image.Height, c.newW * 10000 + c.newH) << c.w << "x" << c.h;
      // 3 x 2 pixels numbered 0..5 become 4 x 2: columns 0, 0.75, 1.5, 2.25 take 0, 0, 1, 2.
      if (c.w == 3 && c.h == 2) {
        const std::vector<uint8_t> first = {0, 0, 1, 2, 3, 3, 4, 5};
        for (int i = 0; i < 8 * pixelSize; i++) EXPECT_EQ(((uint8_t *)image.Pixels)[i], first[i / pixelSize]) << i;
      }
      TrackedFree(image.Pixels, __LINE__, "test");
    }
  EXPECT_EQ(AllocTotal(), before);
}

}  // namespace
