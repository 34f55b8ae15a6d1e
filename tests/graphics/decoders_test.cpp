// The picture decoders on pictures written by giflib, libjpeg, libpng and our own writers: exact pixels
// where the format is lossless, and clean failures (0, nothing left allocated) on broken files; the
// texture size rule and its resampling.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/decoders.h"
#include "picture_writers.h"
#include "testkit.h"

namespace {

using DECODER = int (*)(const unsigned char *, size_t, IMAGE *, int64_t);

int Gif(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  return DecodeGIF(data, size, image, nullptr, maxPixels);
}

std::vector<uint8_t> Palette(int entries) {
  std::vector<uint8_t> palette;
  for (int i = 0; i < entries; i++)
    palette.insert(palette.end(), {(uint8_t)(i * 7 + 1), (uint8_t)(255 - i), (uint8_t)(i * 13)});
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

// The pixels a decoder gives (bytes of GIF indices, 0x00RRGGBB words of the others), empty when it fails.
template <class PIXEL>
std::vector<PIXEL> Decoded(DECODER decode, const std::string &file, int *width = nullptr, int *height = nullptr) {
  IMAGE image;
  image.Pixels = (void *)1;
  if (!decode((const unsigned char *)file.data(), file.size(), &image, DECODER_MAX_PIXELS)) {
    EXPECT_EQ(image.Pixels, nullptr);
    return {};
  }
  const PIXEL *p = (const PIXEL *)image.Pixels;
  std::vector<PIXEL> pixels(p, p + (size_t)image.Width * image.Height);
  if (width) *width = image.Width, *height = image.Height;
  TrackedFree(image.Pixels, __LINE__, "test");
  return pixels;
}
std::vector<uint8_t> GifIndices(const std::string &file) { return Decoded<uint8_t>(Gif, file); }
std::vector<uint32_t> Colours(DECODER decode, const std::string &file, int *width = nullptr, int *height = nullptr) {
  return Decoded<uint32_t>(decode, file, width, height);
}

// Every cut of `good` up to `end` fails, as does every patched copy.
void ExpectBrokenFail(DECODER decode, const std::string &good, size_t end,
                      std::initializer_list<std::tuple<size_t, std::string, const char *>> patches = {}) {
  for (size_t cut = 0; cut < end; cut++) EXPECT_TRUE(Decoded<uint8_t>(decode, good.substr(0, cut)).empty()) << cut;
  for (const auto &[at, bytes, what] : patches)
    EXPECT_TRUE(Decoded<uint8_t>(decode, std::string(good).replace(at, bytes.size(), bytes)).empty()) << what;
}

// The decoder gave back exactly what it allocated.
class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override { EXPECT_EQ(AllocTotal(), allocated_); }
  int64_t allocated_ = 0;
};

TEST_F(DecoderTest, GifGiflibPicturesAtEveryMinimumCodeSizeDecodeToTheirIndicesAndPalette) {
  for (int round = 1; round <= 9; round++) {
    // The last round is noise over 256 colours, filling the table many times: 12-bit codes, clear codes.
    const int bits = std::min(round, 8), width = round < 9 ? 61 + bits : 300, height = round < 9 ? 37 : 200;
    std::vector<uint8_t> indices = Indices(width, height, 1 << bits, (uint32_t)bits);
    uint32_t seed = 99;
    if (round == 9)
      for (auto &v : indices) v = (uint8_t)(TestRandom(seed) % 256);
    std::vector<uint8_t> palette = Palette(1 << bits);
    std::string file = GiflibGif(width, height, indices, palette, bits);
    unsigned char out[768];
    memset(out, 0xEE, sizeof out);
    IMAGE image;
    ASSERT_EQ(DecodeGIF((const unsigned char *)file.data(), file.size(), &image, out), 1) << "bits " << bits;
    EXPECT_EQ(image.Width * 1000 + image.Height, width * 1000 + height);
    EXPECT_TRUE(std::equal(indices.begin(), indices.end(), (uint8_t *)image.Pixels)) << "bits " << bits;
    // The table fills the start of the palette; the rest is black.
    palette.resize(768, 0);
    EXPECT_TRUE(std::equal(palette.begin(), palette.end(), out)) << "bits " << bits;
    TrackedFree(image.Pixels, __LINE__, "test");
  }
}

TEST_F(DecoderTest, GifOwnEncoderStreamsOfEveryShapeDecode) {
  struct CASE {
    LZW_OPTIONS options;  // minCodeSize, leadingClear, clearWhenFull, clearEvery, clearBeforeEnd
    const char *what;
  };
  std::vector<CASE> cases = {
      {{9, true, false}, "9 bits, table kept full at 12 bits"}, {{4, true, false}, "table kept full at 12 bits"},
      {{3, false}, "no leading clear code"},                    {{5, true, true, 777}, "clear codes in the middle"},
      {{6, true, true, 0, true}, "clear right before the end"},
  };
  for (int s = 2; s <= 9; s++) cases.push_back({{s}, "plain"});
  for (const CASE &c : cases) {
    // With 9-bit codes only the indices a byte can hold are used.
    int colours = c.options.minCodeSize >= 8 ? 256 : 1 << c.options.minCodeSize;
    std::vector<uint8_t> indices = Indices(173, 211, colours, (uint32_t)c.options.minCodeSize * 31);
    EXPECT_EQ(GifIndices(GifAround(173, 211, Palette(colours), 7, c.options.minCodeSize, LzwEncode(indices, c.options))),
              indices)
        << c.what << " s=" << c.options.minCodeSize;
  }
  // A run of one colour: the second code already names the string "5 5" the decoder is defining.
  EXPECT_EQ(GifIndices(GifAround(3, 2, Palette(8), 2, 3, LzwEncode({5, 5, 5, 5, 5, 5}, {3}))),
            std::vector<uint8_t>(6, 5));
  // An end code before the picture is full leaves the rest zero.
  EXPECT_EQ(GifIndices(GifAround(4, 4, Palette(4), 1, 2, LzwEncode({1, 2, 3, 1, 2}, {2, true, true, 0, true}))),
            std::vector<uint8_t>({1, 2, 3, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(DecoderTest, GifBrokenFilesFailWithNothingAllocated) {
  std::vector<uint8_t> indices = Indices(20, 10, 16, 7);
  std::vector<uint8_t> stream = LzwEncode(indices, {4});
  std::string good = GifAround(20, 10, Palette(16), 3, 4, stream);
  ASSERT_EQ(GifIndices(good), indices);
  // Every cut before the end code fails; the end code reaches into the last data byte.
  ASSERT_LT(stream.size(), 255u);
  ExpectBrokenFail(Gif, good, 13 + 3 * 16 + 11 + 1 + stream.size(), {{0, "g", "signature"}});
  // 5-bit codes: clear (16), pixel 1, then 31, far beyond the next code 18, then end (17).
  uint32_t bits = 16 | (1u << 5) | (31u << 10) | (17u << 15);
  const std::pair<std::string, const char *> bad[] = {
      {GifAround(20, 10, Palette(16), 3, 1, stream), "minimum code size 1"},
      {GifAround(20, 10, Palette(16), 3, 10, stream), "minimum code size 10"},
      {GifAround(0, 10, Palette(16), 3, 4, stream), "zero width"},
      {GifAround(10, 0, Palette(16), 3, 4, stream), "zero height"},
      {GifAround(19, 10, Palette(16), 3, 4, stream), "more pixels than the picture holds"},
      {GifAround(20, 10, Palette(16), 3, 4, LzwEncode(indices, {4, true, true, 0, false, false})), "no end code"},
      {GifAround(20, 10, Palette(16), 3, 4, {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16)}),
       "undefined code"}};
  for (const auto &[file, what] : bad) EXPECT_TRUE(GifIndices(file).empty()) << what;
  IMAGE image;
  EXPECT_EQ(DecodeGIF((const unsigned char *)good.data(), good.size(), &image, nullptr, 199), 0) << "pixel limit";
}

TEST_F(DecoderTest, BmpEightAndTwentyFourBitsBothOrdersEveryPaddingGiveTheSamePicture) {
  for (int width = 1; width <= 5; width++) {
    std::vector<uint32_t> palette, expected;
    uint32_t seed = (uint32_t)width;
    for (int i = 0; i < 256; i++) palette.push_back(TestRandom(seed) & 0xFFFFFF);
    std::vector<uint8_t> indices((size_t)width * 3);
    for (auto &v : indices) expected.push_back(palette[v = (uint8_t)TestRandom(seed)]);
    for (bool topDown : {false, true}) {
      int w = 0, h = 0;
      EXPECT_EQ(Colours(DecodeBMP, Bmp8(width, 3, indices, palette, topDown), &w, &h), expected) << width << topDown;
      EXPECT_EQ(w * 10 + h, width * 10 + 3);
      EXPECT_EQ(Colours(DecodeBMP, Bmp24(width, 3, expected, topDown)), expected) << width << topDown;
    }
  }
  // A short colour table leaves the other indices black; missing padding of the last row is accepted.
  EXPECT_EQ(Colours(DecodeBMP, Bmp8(2, 2, {0, 1, 2, 255}, {0x112233, 0x445566}, true)),
            std::vector<uint32_t>({0x112233, 0x445566, 0, 0}));
  std::vector<uint32_t> six = {1, 0x20304, 0xFFFFFF, 0x808080, 0xABCDEF, 7};
  std::string file = Bmp24(3, 2, six, false);
  EXPECT_EQ(Colours(DecodeBMP, file.substr(0, file.size() - 3)), six);
}

TEST_F(DecoderTest, BmpOtherKindsAndDamagedHeadersFail) {
  const std::string good = Bmp24(4, 4, std::vector<uint32_t>(16, 0x123456), false);
  ASSERT_EQ(Colours(DecodeBMP, good).size(), 16u);
  ExpectBrokenFail(DecodeBMP, good, good.size() - 3,
                   {{28, {16, 0}, "16 bits"},
                    {28, {32, 0}, "32 bits"},
                    {30, {1, 0, 0, 0}, "run-length compressed"},
                    {26, {2, 0}, "two planes"},
                    {0, "BA", "signature"},
                    {14, {12, 0, 0, 0}, "core header"},
                    {14, {(char)0xFF, (char)0xFF, 0, 0}, "info header past the end"},
                    {10, {(char)0xFF, (char)0xFF, 0, 0}, "pixel offset past the end"},
                    {10, {20, 0, 0, 0}, "pixel offset inside the header"},
                    {18, {0, 0, 0, 0}, "zero width"},
                    {22, {0, 0, 0, 0}, "zero height"},
                    {22, {0, 0, 0, (char)0x80}, "height of -2^31"},
                    {18, {0, 0, 1, 0}, "width past the data"},
                    {22, {(char)0xFF, (char)0xFF, 0, 0}, "height past the data"},
                    {18, "\xFF\xFF\xFF\x7F", "width beyond every limit"}});
  std::string eight = Bmp8(4, 4, std::vector<uint8_t>(16, 1), std::vector<uint32_t>(256, 0x808080), false);
  EXPECT_TRUE(Colours(DecodeBMP, eight.substr(0, 14 + 40 + 100)).empty()) << "colour table past the end";
  eight[14 + 32] = eight[14 + 33] = 0x01;
  EXPECT_TRUE(Colours(DecodeBMP, eight).empty()) << "257 colours";
}

// Smooth colours, so that quality 95 stays close.
std::vector<uint32_t> SmoothColours(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) pixels.push_back((uint32_t)((40 + 3 * x) << 16 | (200 - 2 * y) << 8 | (90 + x + y)));
  return pixels;
}

TEST_F(DecoderTest, JpegColourAndGreyPicturesDecodeTopRowFirstWithinTolerance) {
  std::vector<uint32_t> grey;
  for (int i = 0; i < 3 * 5; i++) grey.push_back((uint32_t)(i * 17));
  const struct {
    int width, height, components, tolerance;
    std::vector<uint32_t> pixels;
  } cases[] = {{1, 21, 3, 8, SmoothColours(1, 21)},   {3, 21, 3, 8, SmoothColours(3, 21)},
               {17, 21, 3, 8, SmoothColours(17, 21)}, {64, 21, 3, 8, SmoothColours(64, 21)},
               {3, 5, 1, 6, grey}};
  for (auto &c : cases) {
    int w = 0, h = 0;
    std::vector<uint32_t> got = Colours(DecodeJPEG, Jpeg(c.width, c.height, c.pixels, c.components), &w, &h);
    EXPECT_EQ(w * 100 + h, c.width * 100 + c.height);
    ASSERT_EQ(got.size(), c.pixels.size());
    for (size_t i = 0; i < got.size(); i++) {
      // Nothing above the colour; greyscale gives exactly equal channels.
      const uint32_t want = c.components == 1 ? c.pixels[i] * 0x010101 : c.pixels[i];
      EXPECT_EQ(got[i], c.components == 1 ? (got[i] & 0xFF) * 0x010101 : got[i] & 0xFFFFFF) << "pixel " << i;
      for (int shift : {0, 8, 16})
        ASSERT_LE(std::abs((int)(got[i] >> shift & 0xFF) - (int)(want >> shift & 0xFF)), c.tolerance)
            << "width " << c.width << " pixel " << i << " shift " << shift;
    }
  }
}

TEST_F(DecoderTest, JpegDamagedFilesFailWithNothingAllocated) {
  const std::string good = Jpeg(16, 16, SmoothColours(16, 16), 3);
  const size_t sof = good.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  // Cuts into the header; a frame of 65500 x 65500 pixels; four components (CMYK) without a conversion.
  ExpectBrokenFail(DecodeJPEG, good, 100, {{sof + 5, "\xFF\xDC\xFF\xDC", "pixel limit"}, {sof + 9, "\x04", "CMYK"}});
  EXPECT_TRUE(Colours(DecodeJPEG, "not a jpeg at all").empty());
}

TEST_F(DecoderTest, PngEveryColourTypeAndDepthGivesEightBitRgb) {
  struct PNG_CASE {
    int colorType, bitDepth, channels;
    bool interlaced;
  };
  std::vector<PNG_CASE> cases = {{PNG_COLOR_TYPE_RGB, 8, 3, true}, {PNG_COLOR_TYPE_PALETTE, 4, 1, true}};
  for (int depth : {1, 2, 4, 8, 16}) cases.push_back({PNG_COLOR_TYPE_GRAY, depth, 1, false});
  for (int depth : {1, 2, 4, 8}) cases.push_back({PNG_COLOR_TYPE_PALETTE, depth, 1, false});
  for (int depth : {8, 16})
    for (auto [type, channels] :
         {std::pair{PNG_COLOR_TYPE_RGB, 3}, {PNG_COLOR_TYPE_RGB_ALPHA, 4}, {PNG_COLOR_TYPE_GRAY_ALPHA, 2}})
      cases.push_back({type, depth, channels, false});
  for (const PNG_CASE &c : cases) {
    const uint32_t top = (1u << c.bitDepth) - 1;
    std::vector<uint16_t> samples;
    std::vector<uint32_t> expected;
    std::vector<uint8_t> palette;
    for (uint32_t i = 0; i < (1u << std::min(c.bitDepth, 8)); i++)
      palette.insert(palette.end(), {(uint8_t)(i * 5), (uint8_t)(250 - i), (uint8_t)(i * 3 + 1)});
    uint32_t seed = (uint32_t)(c.colorType * 100 + c.bitDepth);
    for (int i = 0; i < 13 * 9; i++) {
      uint32_t rgb[3] = {0, 0, 0};
      for (int ch = 0; ch < c.channels; ch++) {
        uint32_t v = TestRandom(seed) % (top + 1);
        samples.push_back((uint16_t)v);
        // Samples go to eight bits the way libpng strips them: the high byte, or scaled up from below 8.
        if (ch < 3) rgb[ch] = c.bitDepth == 16 ? v >> 8 : v * 255 / top;
      }
      const uint8_t *entry = &palette[3 * (size_t)samples.back() % palette.size()];
      expected.push_back(c.colorType == PNG_COLOR_TYPE_PALETTE ? (uint32_t)entry[0] << 16 | entry[1] << 8 | entry[2]
                         : c.channels <= 2                       ? rgb[0] * 0x010101
                                                                 : rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    }
    std::vector<uint8_t> trns;
    if (c.colorType == PNG_COLOR_TYPE_PALETTE) trns = {0, 128};
    int w = 0, h = 0;
    EXPECT_EQ(Colours(DecodePNG, Png(13, 9, c.colorType, c.bitDepth, samples, palette, trns, c.interlaced), &w, &h),
              expected)
        << "colour type " << c.colorType << " depth " << c.bitDepth << (c.interlaced ? " interlaced" : "");
    EXPECT_EQ(w * 100 + h, 13 * 100 + 9);
  }
}

TEST_F(DecoderTest, PngDamagedFilesFailWithNothingAllocated) {
  const std::string good = Png(8, 8, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(8 * 8 * 3, 77));
  // Cuts, and a flipped bit inside the header chunk, whose CRC then no longer matches.
  ExpectBrokenFail(DecodePNG, good, good.size() - 12, {{20, std::string(1, good[20] ^ 0x40), "header CRC"}});
  // The header claims 10000 x 10000 pixels (CRC made to match): width from one header, height from another.
  std::string s = Png(10000, 1, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  std::string tall = Png(1, 10000, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  std::string both = s.substr(0, 20) + tall.substr(20, 4) + s.substr(24, 5);
  uint32_t crc = (uint32_t)crc32(0, (const Bytef *)both.data() + 12, 17);
  for (int i = 3; i >= 0; i--) both += (char)(crc >> (8 * i));
  EXPECT_TRUE(Colours(DecodePNG, both + s.substr(33)).empty()) << "pixel limit";
}

TEST(TextureSize, PowersOfTwoUpToTheLimitAndNeverAbove1024AndRescaleSamplesTheNearestPixel) {
  for (int32_t size : {2, 512, 1024}) EXPECT_TRUE(TextureSizeAccepted(size, size == 512 ? 512 : 16384)) << size;
  for (int32_t size : {0, 1, 3, 1023, 2048, -2}) EXPECT_FALSE(TextureSizeAccepted(size, 16384)) << size;
  EXPECT_FALSE(TextureSizeAccepted(1024, 512));
  const struct {
    int32_t w, h, max, newW, newH;
  } cases[] = {{300, 200, 1024, 512, 256},     {1, 1, 1024, 2, 2},     {4096, 8, 1024, 1024, 8},
               {2048, 2048, 4096, 2048, 2048}, {3, 1000, 512, 4, 512}, {64, 65, 16384, 64, 128},
               {3, 2, 1024, 4, 2}};
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
