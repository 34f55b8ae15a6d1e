// The picture decoders on pictures written by giflib, libjpeg, libpng and our own writers: exact pixels
// where the format is lossless, and clean failures (0, nothing left allocated) on broken files.
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

const unsigned char *Bytes(const std::string &s) { return (const unsigned char *)s.data(); }

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

std::vector<uint8_t> PixelsOf(const IMAGE &image, size_t bytes) {
  const uint8_t *p = (const uint8_t *)image.Pixels;
  return std::vector<uint8_t>(p, p + bytes);
}

using DECODER = int (*)(const unsigned char *, size_t, IMAGE *, int64_t);

// The pixels of a 0x00RRGGBB decoder (none when it fails), with the picture's size.
std::vector<uint32_t> Decoded(DECODER decode, const std::string &file, int *width = nullptr, int *height = nullptr) {
  IMAGE image;
  if (!decode(Bytes(file), file.size(), &image, DECODER_MAX_PIXELS)) return {};
  const uint32_t *p = (const uint32_t *)image.Pixels;
  std::vector<uint32_t> pixels(p, p + (size_t)image.Width * image.Height);
  if (width) *width = image.Width;
  if (height) *height = image.Height;
  TrackedFree(image.Pixels, __LINE__, "test");
  return pixels;
}

// Decodes a lossless GIF and checks it against `indices`.
void ExpectGif(const std::string &file, const std::vector<uint8_t> &indices, const std::string &what) {
  IMAGE image;
  ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, nullptr), 1) << what;
  EXPECT_EQ(PixelsOf(image, indices.size()), indices) << what;
  TrackedFree(image.Pixels, __LINE__, "test");
}

// The decoder gave back exactly what it allocated.
class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override { EXPECT_EQ(AllocTotal(), allocated_); }
  int64_t allocated_ = 0;
};

// A decoder that must refuse `file`: 0 and a null Pixels.
void ExpectFails(DECODER decode, const std::string &file, const std::string &what) {
  IMAGE image;
  image.Pixels = (void *)1;
  EXPECT_EQ(decode(Bytes(file), file.size(), &image, DECODER_MAX_PIXELS), 0) << what;
  EXPECT_EQ(image.Pixels, nullptr) << what;
}

// ---- GIF

TEST_F(DecoderTest, GifGiflibPicturesAtEveryMinimumCodeSizeDecodeToTheirIndices) {
  for (int bits = 1; bits <= 8; bits++) {
    const int width = 61 + bits, height = 37;
    std::vector<uint8_t> indices = Indices(width, height, 1 << bits, (uint32_t)bits);
    std::vector<uint8_t> palette = Palette(1 << bits);
    std::string file = GiflibGif(width, height, indices, palette, bits);
    unsigned char out[768];
    memset(out, 0xEE, sizeof out);
    IMAGE image;
    ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, out), 1) << "bits " << bits;
    EXPECT_EQ(image.Width, width);
    EXPECT_EQ(image.Height, height);
    EXPECT_EQ(PixelsOf(image, indices.size()), indices) << "bits " << bits;
    // The table fills the start of the palette; the rest is black.
    EXPECT_EQ(std::vector<uint8_t>(out, out + palette.size()), palette);
    EXPECT_EQ(std::vector<uint8_t>(out + palette.size(), out + 768), std::vector<uint8_t>(768 - palette.size(), 0));
    TrackedFree(image.Pixels, __LINE__, "test");
  }
  // Noise over 256 colours fills the table many times over: 12-bit codes and giflib's clear codes.
  std::vector<uint8_t> noise(300 * 200);
  uint32_t seed = 99;
  for (auto &v : noise) v = (uint8_t)(TestRandom(seed) % 256);
  ExpectGif(GiflibGif(300, 200, noise, Palette(256), 8), noise, "long noise");
}

TEST_F(DecoderTest, GifOwnEncoderStreamsOfEveryShapeDecode) {
  struct CASE {
    LZW_OPTIONS options;  // minCodeSize, leadingClear, clearWhenFull, clearEvery, clearBeforeEnd
    const char *what;
  };
  std::vector<CASE> cases = {
      {{9, true, false}, "9 bits, table kept full at 12 bits"},
      {{4, true, false}, "table kept full at 12 bits"},
      {{3, false}, "no leading clear code"},
      {{5, true, true, 777}, "clear codes in the middle"},
      {{6, true, true, 0, true}, "clear right before the end"},
  };
  for (int s = 2; s <= 9; s++) cases.push_back({{s}, "plain"});
  for (const CASE &c : cases) {
    // With 9-bit codes only the indices a byte can hold are used.
    int colours = c.options.minCodeSize >= 8 ? 256 : 1 << c.options.minCodeSize;
    std::vector<uint8_t> indices = Indices(173, 211, colours, (uint32_t)c.options.minCodeSize * 31);
    ExpectGif(GifAround(173, 211, Palette(colours), 7, c.options.minCodeSize, LzwEncode(indices, c.options)), indices,
              std::string(c.what) + " s=" + std::to_string(c.options.minCodeSize));
  }
  // A run of one colour: the second code already names the string "5 5" the decoder is defining.
  ExpectGif(GifAround(3, 2, Palette(8), 2, 3, LzwEncode({5, 5, 5, 5, 5, 5}, {3})), {5, 5, 5, 5, 5, 5}, "run");
  // An end code before the picture is full leaves the rest zero.
  LZW_OPTIONS early = {2, true, true, 0, true};
  ExpectGif(GifAround(4, 4, Palette(4), 1, 2, LzwEncode({1, 2, 3, 1, 2}, early)),
            {1, 2, 3, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "early end code");
}

TEST_F(DecoderTest, GifBrokenFilesFailWithNothingAllocated) {
  std::vector<uint8_t> indices = Indices(20, 10, 16, 7);
  std::vector<uint8_t> stream = LzwEncode(indices, {4});
  std::string good = GifAround(20, 10, Palette(16), 3, 4, stream);
  ExpectGif(good, indices, "good");
  auto fails = [](const std::string &file, const std::string &what) {
    ExpectFails([](const unsigned char *d, size_t n, IMAGE *i, int64_t m) { return DecodeGIF(d, n, i, nullptr, m); },
                file, what);
  };
  fails("g" + good.substr(1), "signature");
  fails(GifAround(20, 10, Palette(16), 3, 1, stream), "minimum code size 1");
  fails(GifAround(20, 10, Palette(16), 3, 10, stream), "minimum code size 10");
  fails(GifAround(0, 10, Palette(16), 3, 4, stream), "zero width");
  fails(GifAround(10, 0, Palette(16), 3, 4, stream), "zero height");
  fails(GifAround(19, 10, Palette(16), 3, 4, stream), "more pixels than the picture holds");
  IMAGE image;
  EXPECT_EQ(DecodeGIF(Bytes(good), good.size(), &image, nullptr, 199), 0) << "beyond the pixel limit";
  // Every cut before the end code fails; the end code reaches into the last data byte.
  ASSERT_LT(stream.size(), 255u);
  size_t dataStart = 13 + 3 * 16 + 11;
  for (size_t cut = 0; cut < dataStart + 1 + stream.size(); cut++)
    fails(good.substr(0, cut), "cut at " + std::to_string(cut));
  // A zero-length sub-block before the end code.
  fails(GifAround(20, 10, Palette(16), 3, 4, LzwEncode(indices, {4, true, true, 0, false, false})), "no end code");
  // 5-bit codes: clear (16), pixel 1, then 31, far beyond the next code 18, then end (17).
  uint32_t bits = 16 | (1u << 5) | (31u << 10) | (17u << 15);
  fails(GifAround(20, 10, Palette(16), 3, 4, {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16)}),
        "undefined code");
}

// ---- BMP

TEST_F(DecoderTest, BmpEightAndTwentyFourBitsBothOrdersEveryPaddingGiveTheSamePicture) {
  for (int width = 1; width <= 5; width++) {
    const int height = 3;
    std::vector<uint32_t> palette;
    uint32_t seed = (uint32_t)width;
    for (int i = 0; i < 256; i++) palette.push_back(TestRandom(seed) & 0xFFFFFF);
    std::vector<uint8_t> indices((size_t)width * height);
    for (auto &v : indices) v = (uint8_t)TestRandom(seed);
    std::vector<uint32_t> expected;
    for (uint8_t v : indices) expected.push_back(palette[v]);
    for (bool topDown : {false, true}) {
      int w = 0, h = 0;
      EXPECT_EQ(Decoded(DecodeBMP, Bmp8(width, height, indices, palette, topDown), &w, &h), expected)
          << "8 bits, width " << width << (topDown ? " top-down" : " bottom-up");
      EXPECT_EQ(w, width);
      EXPECT_EQ(h, height);
      EXPECT_EQ(Decoded(DecodeBMP, Bmp24(width, height, expected, topDown)), expected)
          << "24 bits, width " << width << (topDown ? " top-down" : " bottom-up");
    }
  }
  // A short colour table leaves the other indices black.
  EXPECT_EQ(Decoded(DecodeBMP, Bmp8(2, 2, {0, 1, 2, 255}, {0x112233, 0x445566}, true)),
            std::vector<uint32_t>({0x112233, 0x445566, 0, 0}));
  // Missing padding of the last row is accepted.
  std::vector<uint32_t> six = {1, 0x20304, 0xFFFFFF, 0x808080, 0xABCDEF, 7};
  std::string file = Bmp24(3, 2, six, false);
  EXPECT_EQ(Decoded(DecodeBMP, file.substr(0, file.size() - 3)), six);
}

TEST_F(DecoderTest, BmpOtherKindsAndDamagedHeadersFail) {
  std::vector<uint32_t> pixels(16, 0x123456);
  const std::string good = Bmp24(4, 4, pixels, false);
  ASSERT_EQ(Decoded(DecodeBMP, good), pixels);
  auto fails = [](const std::string &file, const std::string &what) { ExpectFails(DecodeBMP, file, what); };
  struct {
    size_t at;
    std::vector<uint8_t> bytes;
    const char *what;
  } patches[] = {
      {28, {16, 0}, "16 bits"}, {28, {32, 0}, "32 bits"}, {30, {1, 0, 0, 0}, "run-length compressed"},
      {26, {2, 0}, "two planes"}, {0, {'B', 'A'}, "signature"}, {14, {12, 0, 0, 0}, "core header"},
      {14, {0xFF, 0xFF, 0, 0}, "info header past the end"}, {10, {0xFF, 0xFF, 0, 0}, "pixel offset past the end"},
      {10, {20, 0, 0, 0}, "pixel offset inside the header"}, {18, {0, 0, 0, 0}, "zero width"},
      {22, {0, 0, 0, 0}, "zero height"}, {22, {0, 0, 0, 0x80}, "height of -2^31"},
      {18, {0, 0, 1, 0}, "width past the data"}, {22, {0xFF, 0xFF, 0, 0}, "height past the data"},
      {18, {0xFF, 0xFF, 0xFF, 0x7F}, "width beyond every limit"},
  };
  for (auto &p : patches) {
    std::string s = good;
    for (size_t i = 0; i < p.bytes.size(); i++) s[p.at + i] = (char)p.bytes[i];
    fails(s, p.what);
  }
  for (size_t cut = 0; cut < good.size() - 3; cut++) fails(good.substr(0, cut), "cut at " + std::to_string(cut));
  std::string eight = Bmp8(4, 4, std::vector<uint8_t>(16, 1), std::vector<uint32_t>(256, 0x808080), false);
  fails(eight.substr(0, 14 + 40 + 100), "colour table past the end");
  eight[14 + 32] = eight[14 + 33] = 0x01;
  fails(eight, "257 colours");
}

// ---- JPEG

// Smooth colours, so that quality 95 stays close.
std::vector<uint32_t> SmoothColours(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      pixels.push_back((uint32_t)((40 + 3 * x) << 16 | (200 - 2 * y) << 8 | (90 + x + y)));
  return pixels;
}

TEST_F(DecoderTest, JpegColourAndGreyPicturesDecodeTopRowFirstWithinTolerance) {
  std::vector<uint32_t> grey;
  for (int i = 0; i < 3 * 5; i++) grey.push_back((uint32_t)(i * 17));
  struct {
    int width, height, components, tolerance;
    std::vector<uint32_t> pixels;
  } cases[] = {{1, 21, 3, 8, SmoothColours(1, 21)},   {3, 21, 3, 8, SmoothColours(3, 21)},
               {17, 21, 3, 8, SmoothColours(17, 21)}, {64, 21, 3, 8, SmoothColours(64, 21)},
               {3, 5, 1, 6, grey}};
  for (auto &c : cases) {
    int w = 0, h = 0;
    std::vector<uint32_t> got = Decoded(DecodeJPEG, Jpeg(c.width, c.height, c.pixels, c.components), &w, &h);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    ASSERT_EQ(got.size(), c.pixels.size());
    for (size_t i = 0; i < got.size(); i++) {
      uint32_t want = c.components == 1 ? c.pixels[i] * 0x010101 : c.pixels[i];
      // Nothing above the colour; greyscale gives exactly equal channels.
      EXPECT_EQ(got[i], c.components == 1 ? (got[i] & 0xFF) * 0x010101 : got[i] & 0xFFFFFF) << "pixel " << i;
      for (int shift : {0, 8, 16})
        ASSERT_LE(std::abs((int)(got[i] >> shift & 0xFF) - (int)(want >> shift & 0xFF)), c.tolerance)
            << "width " << c.width << " pixel " << i << " shift " << shift;
    }
  }
}

TEST_F(DecoderTest, JpegDamagedFilesFailWithNothingAllocated) {
  const std::string good = Jpeg(16, 16, SmoothColours(16, 16), 3);
  auto fails = [](const std::string &file, const std::string &what) { ExpectFails(DecodeJPEG, file, what); };
  fails("", "empty");
  fails("not a jpeg at all", "text");
  fails(good.substr(0, 2), "start marker only");
  fails(good.substr(0, 100), "header cut short");
  // The start-of-frame segment claims 65500 x 65500 pixels.
  size_t sof = good.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  fails(good.substr(0, sof + 5) + "\xFF\xDC\xFF\xDC" + good.substr(sof + 9), "beyond the pixel limit");
  // Four components (CMYK) have no conversion to RGB.
  std::string four = good;
  four[sof + 9] = 4;
  fails(four, "four components");
}

// Reading pictures from files succeeds in the texture tests; here the files that cannot be read.
TEST_F(DecoderTest, LoadersFailOnFilesTheyCannotRead) {
  ScopedTempDir dir;
  WriteWholeFile("p.jpg", Jpeg(8, 8, SmoothColours(8, 8), 3));
  WriteWholeFile("p.bmp", Bmp24(8, 8, SmoothColours(8, 8), false));
  WriteWholeFile("empty.gif", "");
  IMAGE image;
  for (const char *name : {"missing.gif", "empty.gif", "."}) EXPECT_EQ(LoadGIF(name, &image, nullptr), 0) << name;
  EXPECT_EQ(LoadJPEG("p.bmp", &image), 0);
  EXPECT_EQ(LoadBMP("p.jpg", &image), 0);
  EXPECT_EQ(LoadJPEG("missing.jpg", &image), 0);
  EXPECT_EQ(LoadBMP("missing.bmp", &image), 0);
}

// ---- PNG

TEST_F(DecoderTest, PngEveryColourTypeAndDepthGivesEightBitRgb) {
  struct PNG_CASE {
    int colorType, bitDepth, channels;
    bool interlaced;
  };
  std::vector<PNG_CASE> cases = {{PNG_COLOR_TYPE_RGB, 8, 3, true}, {PNG_COLOR_TYPE_PALETTE, 4, 1, true}};
  for (int depth : {1, 2, 4, 8, 16}) cases.push_back({PNG_COLOR_TYPE_GRAY, depth, 1, false});
  for (int depth : {1, 2, 4, 8}) cases.push_back({PNG_COLOR_TYPE_PALETTE, depth, 1, false});
  for (int depth : {8, 16}) {
    cases.push_back({PNG_COLOR_TYPE_RGB, depth, 3, false});
    cases.push_back({PNG_COLOR_TYPE_RGB_ALPHA, depth, 4, false});
    cases.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, depth, 2, false});
  }
  for (const PNG_CASE &c : cases) {
    const int width = 13, height = 9;
    const uint32_t top = (1u << c.bitDepth) - 1;
    std::vector<uint16_t> samples;
    std::vector<uint32_t> expected;
    std::vector<uint8_t> palette;
    for (uint32_t i = 0; i < (1u << (c.bitDepth > 8 ? 8 : c.bitDepth)); i++)
      palette.insert(palette.end(), {(uint8_t)(i * 5), (uint8_t)(250 - i), (uint8_t)(i * 3 + 1)});
    uint32_t seed = (uint32_t)(c.colorType * 100 + c.bitDepth);
    for (int i = 0; i < width * height; i++) {
      uint32_t rgb[3] = {0, 0, 0};
      for (int ch = 0; ch < c.channels; ch++) {
        uint32_t v = TestRandom(seed) % (top + 1);
        samples.push_back((uint16_t)v);
        // Samples go to eight bits the way libpng strips them: the high byte, or scaled up from below 8.
        if (ch < 3) rgb[ch] = c.bitDepth == 16 ? v >> 8 : c.bitDepth == 8 ? v : v * 255 / top;
      }
      uint32_t k = samples.back();
      expected.push_back(c.colorType == PNG_COLOR_TYPE_PALETTE
                             ? (uint32_t)palette[3 * k] << 16 | (uint32_t)palette[3 * k + 1] << 8 | palette[3 * k + 2]
                         : c.channels <= 2 ? rgb[0] * 0x010101
                                           : rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    }
    std::vector<uint8_t> trns;
    if (c.colorType == PNG_COLOR_TYPE_PALETTE) trns = {0, 128};
    int w = 0, h = 0;
    std::string file = Png(width, height, c.colorType, c.bitDepth, samples, palette, trns, c.interlaced);
    EXPECT_EQ(Decoded(DecodePNG, file, &w, &h), expected)
        << "colour type " << c.colorType << " depth " << c.bitDepth << (c.interlaced ? " interlaced" : "");
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
  }
}

TEST_F(DecoderTest, PngDamagedFilesFailWithNothingAllocated) {
  const std::string good = Png(8, 8, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(8 * 8 * 3, 77));
  auto fails = [](const std::string &file, const std::string &what) { ExpectFails(DecodePNG, file, what); };
  fails("", "empty");
  fails(good.substr(0, 8), "signature only");
  for (size_t cut = 9; cut < good.size() - 12; cut += 7) fails(good.substr(0, cut), "cut short");
  std::string s = good;
  s[20] ^= 0x40;  // inside the header chunk: its CRC no longer matches
  fails(s, "header CRC");
  // The header claims 10000 x 10000 pixels (CRC made to match): width from one header, height from another.
  s = Png(10000, 1, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  std::string tall = Png(1, 10000, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  std::string both = s.substr(0, 20) + tall.substr(20, 4) + s.substr(24, 5);
  uint32_t crc = (uint32_t)crc32(0, (const Bytef *)both.data() + 12, 17);
  for (int i = 3; i >= 0; i--) both += (char)(crc >> (8 * i));
  fails(both + s.substr(33), "beyond the pixel limit");
}

// ---- Texture sizes and resampling

IMAGE Filled(int32_t width, int32_t height, int32_t pixelSize) {
  IMAGE image = {width, height, TrackedAlloc((size_t)width * height * pixelSize, __LINE__, "test")};
  unsigned char *p = (unsigned char *)image.Pixels;
  for (int32_t i = 0; i < width * height * pixelSize; i++) p[i] = (unsigned char)(i / pixelSize);
  return image;
}

TEST(TextureSize, RescaleGrowsToPowersOfTwoOrShrinksToTheLimit) {
  struct {
    int32_t w, h, max, newW, newH;
  } cases[] = {{300, 200, 1024, 512, 256}, {1, 1, 1024, 2, 2},      {4096, 8, 1024, 1024, 8},
               {2048, 2048, 4096, 2048, 2048}, {3, 1000, 512, 4, 512}, {64, 65, 16384, 64, 128}};
  int64_t before = AllocTotal();
  for (auto &c : cases) {
    for (int32_t pixelSize : {1, 4}) {
      IMAGE image = Filled(c.w, c.h, pixelSize);
      RescaleImage(&image, pixelSize, c.max);
      EXPECT_EQ(image.Width, c.newW) << c.w << "x" << c.h;
      EXPECT_EQ(image.Height, c.newH) << c.w << "x" << c.h;
      TrackedFree(image.Pixels, __LINE__, "test");
    }
  }
  EXPECT_EQ(AllocTotal(), before);
  // Texture sizes: powers of two from 2 up to the limit, never above 1024.
  for (int32_t size : {2, 1024}) EXPECT_TRUE(TextureSizeAccepted(size, 16384)) << size;
  for (int32_t size : {0, 1, 3, 1023, 2048, -2}) EXPECT_FALSE(TextureSizeAccepted(size, 16384)) << size;
  EXPECT_FALSE(TextureSizeAccepted(1024, 512));
  EXPECT_TRUE(TextureSizeAccepted(512, 512));
  // 3 x 2 of 4-byte pixels numbered 0..5 becomes 4 x 2: columns 0, 0.75, 1.5, 2.25 -> 0, 0, 1, 2.
  IMAGE image = Filled(3, 2, 4);
  RescaleImage(&image, 4, 1024);
  ASSERT_EQ(image.Width, 4);
  ASSERT_EQ(image.Height, 2);
  std::vector<uint8_t> expected;
  for (uint8_t source : {0, 0, 1, 2, 3, 3, 4, 5}) expected.insert(expected.end(), 4, source);
  EXPECT_EQ(PixelsOf(image, 32), expected);
  TrackedFree(image.Pixels, __LINE__, "test");
}

}  // namespace
