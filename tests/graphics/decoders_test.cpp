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
  for (int i = 0; i < entries; i++) {
    palette.push_back((uint8_t)(i * 7 + 1));
    palette.push_back((uint8_t)(255 - i));
    palette.push_back((uint8_t)(i * 13));
  }
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

// The decoder gave back exactly what it allocated.
class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override { EXPECT_EQ(AllocTotal(), allocated_); }
  int64_t allocated_ = 0;
};

// ---------------------------------------------------------------------------------------------------------
// GIF

using GifTest = DecoderTest;

TEST_F(GifTest, GiflibPicturesAtEveryMinimumCodeSizeDecodeToTheirIndices) {
  for (int bits = 1; bits <= 8; bits++) {
    for (bool gif89 : {false, true}) {
      const int width = 61 + bits, height = 37;
      std::vector<uint8_t> indices = Indices(width, height, 1 << bits, (uint32_t)bits);
      std::vector<uint8_t> palette = Palette(1 << bits);
      std::string file = GiflibGif(width, height, indices, palette, bits, gif89);
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
  }
}

TEST_F(GifTest, LongGiflibStreamsReachTwelveBitCodesAndClearCodes) {
  // Noise over 256 colours fills the table many times over.
  const int width = 300, height = 200;
  std::vector<uint8_t> indices((size_t)width * height);
  uint32_t seed = 99;
  for (auto &v : indices) v = (uint8_t)(TestRandom(seed) % 256);
  std::string file = GiflibGif(width, height, indices, Palette(256), 8, true);
  IMAGE image;
  ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, nullptr), 1);
  EXPECT_EQ(PixelsOf(image, indices.size()), indices);
  TrackedFree(image.Pixels, __LINE__, "test");
}

TEST_F(GifTest, OwnEncoderStreamsOfEveryShapeDecode) {
  struct CASE {
    int minCodeSize;
    LZW_OPTIONS options;
    const char *what;
  };
  std::vector<CASE> cases;
  for (int s = 2; s <= 9; s++) {
    LZW_OPTIONS o;
    o.minCodeSize = s;
    cases.push_back({s, o, "plain"});
  }
  LZW_OPTIONS o;
  o.minCodeSize = 9;
  o.clearWhenFull = false;
  cases.push_back({9, o, "9 bits, table kept full at 12 bits"});
  o = LZW_OPTIONS();
  o.minCodeSize = 4;
  o.clearWhenFull = false;
  cases.push_back({4, o, "table kept full at 12 bits"});
  o = LZW_OPTIONS();
  o.minCodeSize = 3;
  o.leadingClear = false;
  cases.push_back({3, o, "no leading clear code"});
  o = LZW_OPTIONS();
  o.minCodeSize = 5;
  o.clearEvery = 777;
  cases.push_back({5, o, "clear codes in the middle"});
  o = LZW_OPTIONS();
  o.minCodeSize = 6;
  o.clearBeforeEnd = true;
  cases.push_back({6, o, "clear right before the end"});

  for (const CASE &c : cases) {
    const int width = 173, height = 211;
    // With 9-bit codes only the indices a byte can hold are used.
    int colours = c.minCodeSize >= 8 ? 256 : 1 << c.minCodeSize;
    std::vector<uint8_t> indices = Indices(width, height, colours, (uint32_t)c.minCodeSize * 31);
    std::string file = GifAround(width, height, Palette(colours), 7, c.minCodeSize, LzwEncode(indices, c.options));
    IMAGE image;
    ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, nullptr), 1) << c.what << " s=" << c.minCodeSize;
    EXPECT_EQ(PixelsOf(image, indices.size()), indices) << c.what << " s=" << c.minCodeSize;
    TrackedFree(image.Pixels, __LINE__, "test");
  }
}

TEST_F(GifTest, CodeOfTheStringBeingDefinedRepeatsThePreviousStringPlusItsFirstCharacter) {
  // A run of one colour: the second code already names the string "5 5" the decoder is defining.
  std::vector<uint8_t> indices = {5, 5, 5, 5, 5, 5};
  LZW_OPTIONS o;
  o.minCodeSize = 3;
  std::string file = GifAround(3, 2, Palette(8), 2, 3, LzwEncode(indices, o));
  IMAGE image;
  ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, nullptr), 1);
  EXPECT_EQ(PixelsOf(image, 6), indices);
  TrackedFree(image.Pixels, __LINE__, "test");
}

TEST_F(GifTest, EndCodeBeforeThePictureIsFullLeavesTheRestZero) {
  LZW_OPTIONS o;
  o.minCodeSize = 2;
  o.clearBeforeEnd = true;
  std::string file = GifAround(4, 4, Palette(4), 1, 2, LzwEncode({1, 2, 3, 1, 2}, o));
  IMAGE image;
  ASSERT_EQ(DecodeGIF(Bytes(file), file.size(), &image, nullptr), 1);
  EXPECT_EQ(PixelsOf(image, 16), std::vector<uint8_t>({1, 2, 3, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  TrackedFree(image.Pixels, __LINE__, "test");
}

TEST_F(GifTest, BrokenFilesFailWithNothingAllocated) {
  std::vector<uint8_t> indices = Indices(20, 10, 16, 7);
  LZW_OPTIONS o;
  o.minCodeSize = 4;
  std::vector<uint8_t> stream = LzwEncode(indices, o);
  std::string good = GifAround(20, 10, Palette(16), 3, 4, stream);
  IMAGE image;
  ASSERT_EQ(DecodeGIF(Bytes(good), good.size(), &image, nullptr), 1);
  TrackedFree(image.Pixels, __LINE__, "test");

  auto fails = [&](const std::string &file, const char *what) {
    IMAGE broken;
    broken.Pixels = (void *)1;
    EXPECT_EQ(DecodeGIF(Bytes(file), file.size(), &broken, nullptr), 0) << what;
    EXPECT_EQ(broken.Pixels, nullptr) << what;
  };
  std::string s = good;
  s[0] = 'g';
  fails(s, "signature");
  fails(GifAround(20, 10, Palette(16), 3, 1, stream), "minimum code size 1");
  fails(GifAround(20, 10, Palette(16), 3, 10, stream), "minimum code size 10");
  fails(GifAround(0, 10, Palette(16), 3, 4, stream), "zero width");
  fails(GifAround(10, 0, Palette(16), 3, 4, stream), "zero height");
  fails(GifAround(19, 10, Palette(16), 3, 4, stream), "more pixels than the picture holds");
  // Every cut before the end code fails; the end code reaches into the last data byte.
  ASSERT_LT(stream.size(), 255u);
  size_t dataStart = 13 + 3 * 16 + 11;
  for (size_t cut = 0; cut < dataStart + 1 + stream.size(); cut++)
    fails(good.substr(0, cut), ("cut at " + std::to_string(cut)).c_str());
  // A zero-length sub-block before the end code.
  LZW_OPTIONS noEnd = o;
  noEnd.endCode = false;
  fails(GifAround(20, 10, Palette(16), 3, 4, LzwEncode(indices, noEnd)), "no end code");
  // A code beyond the one being defined.
  // 5-bit codes: clear (16), pixel 1, then 31, far beyond the next code 18, then end (17).
  uint32_t bits = 16 | (1u << 5) | (31u << 10) | (17u << 15);
  std::vector<uint8_t> bad = {(uint8_t)bits, (uint8_t)(bits >> 8), (uint8_t)(bits >> 16)};
  fails(GifAround(20, 10, Palette(16), 3, 4, bad), "undefined code");
}

TEST_F(GifTest, LoadGifReadsTheFileAndFailsOnAMissingOne) {
  ScopedTempDir dir;
  std::vector<uint8_t> indices = Indices(16, 8, 4, 3);
  WriteWholeFile("p.gif", GiflibGif(16, 8, indices, Palette(4), 2, true));
  IMAGE image;
  ASSERT_EQ(LoadGIF("p.gif", &image, nullptr), 1);
  EXPECT_EQ(PixelsOf(image, indices.size()), indices);
  TrackedFree(image.Pixels, __LINE__, "test");
  EXPECT_EQ(LoadGIF("missing.gif", &image, nullptr), 0);
  WriteWholeFile("empty.gif", "");
  EXPECT_EQ(LoadGIF("empty.gif", &image, nullptr), 0);
  EXPECT_EQ(LoadGIF(".", &image, nullptr), 0);
}

// ---------------------------------------------------------------------------------------------------------
// BMP

using BmpTest = DecoderTest;

std::vector<uint32_t> TrueColours(int width, int height, uint32_t seed) {
  std::vector<uint32_t> pixels((size_t)width * height);
  for (auto &p : pixels) p = TestRandom(seed) & 0xFFFFFF;
  return pixels;
}

std::vector<uint32_t> Decoded32(const std::string &file, int *width = nullptr, int *height = nullptr) {
  IMAGE image;
  if (!DecodeBMP(Bytes(file), file.size(), &image)) return {};
  std::vector<uint32_t> pixels((const uint32_t *)image.Pixels,
                               (const uint32_t *)image.Pixels + (size_t)image.Width * image.Height);
  if (width) *width = image.Width;
  if (height) *height = image.Height;
  TrackedFree(image.Pixels, __LINE__, "test");
  return pixels;
}

TEST_F(BmpTest, EightAndTwentyFourBitsBothOrdersEveryPaddingGiveTheSamePicture) {
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
      EXPECT_EQ(Decoded32(Bmp8(width, height, indices, palette, topDown), &w, &h), expected)
          << "8 bits, width " << width << (topDown ? " top-down" : " bottom-up");
      EXPECT_EQ(w, width);
      EXPECT_EQ(h, height);
      EXPECT_EQ(Decoded32(Bmp24(width, height, expected, topDown)), expected)
          << "24 bits, width " << width << (topDown ? " top-down" : " bottom-up");
    }
  }
}

TEST_F(BmpTest, ShortColourTableLeavesTheOtherIndicesBlack) {
  std::vector<uint32_t> palette = {0x112233, 0x445566};
  std::vector<uint8_t> indices = {0, 1, 2, 255};
  EXPECT_EQ(Decoded32(Bmp8(2, 2, indices, palette, true)), std::vector<uint32_t>({0x112233, 0x445566, 0, 0}));
}

TEST_F(BmpTest, MissingPaddingOfTheLastRowIsAccepted) {
  std::vector<uint32_t> pixels = TrueColours(3, 2, 5);
  std::string file = Bmp24(3, 2, pixels, false);
  file.resize(file.size() - 3);
  EXPECT_EQ(Decoded32(file), pixels);
}

TEST_F(BmpTest, OtherKindsAndDamagedHeadersFail) {
  std::vector<uint32_t> pixels = TrueColours(4, 4, 9);
  const std::string good = Bmp24(4, 4, pixels, false);
  ASSERT_EQ(Decoded32(good), pixels);
  auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
    std::string s = good;
    for (size_t i = 0; i < bytes.size(); i++) s[at + i] = (char)bytes[i];
    return s;
  };
  auto fails = [&](const std::string &file, const char *what) {
    IMAGE image;
    image.Pixels = (void *)1;
    EXPECT_EQ(DecodeBMP(Bytes(file), file.size(), &image), 0) << what;
    EXPECT_EQ(image.Pixels, nullptr) << what;
  };
  fails(patched(28, {16, 0}), "16 bits");
  fails(patched(28, {32, 0}), "32 bits");
  fails(patched(28, {4, 0}), "4 bits");
  fails(patched(30, {1, 0, 0, 0}), "run-length compressed");
  fails(patched(26, {2, 0}), "two planes");
  fails(patched(0, {'B', 'A'}), "signature");
  fails(patched(14, {12, 0, 0, 0}), "core header");
  fails(patched(14, {0xFF, 0xFF, 0, 0}), "info header past the end");
  fails(patched(10, {0xFF, 0xFF, 0, 0}), "pixel offset past the end");
  fails(patched(10, {20, 0, 0, 0}), "pixel offset inside the header");
  fails(patched(18, {0, 0, 0, 0}), "zero width");
  fails(patched(18, {0xFF, 0xFF, 0xFF, 0xFF}), "negative width");
  fails(patched(22, {0, 0, 0, 0}), "zero height");
  fails(patched(22, {0, 0, 0, 0x80}), "height of -2^31");
  fails(patched(18, {0, 0, 1, 0}), "width past the data");
  fails(patched(22, {0xFF, 0xFF, 0, 0}), "height past the data");
  fails(patched(18, {0xFF, 0xFF, 0xFF, 0x7F}), "width beyond every limit");
  for (size_t cut = 0; cut < good.size() - 3; cut++)
    fails(good.substr(0, cut), ("cut at " + std::to_string(cut)).c_str());

  std::vector<uint32_t> palette(256, 0x808080);
  std::string eight = Bmp8(4, 4, std::vector<uint8_t>(16, 1), palette, false);
  std::string s = eight;
  s[14 + 32] = 0x01;  // 257 colours used
  s[14 + 33] = 0x01;
  fails(s, "257 colours");
  s = eight;
  s.resize(14 + 40 + 100);
  fails(s, "colour table past the end");
}

// ---------------------------------------------------------------------------------------------------------
// JPEG

using JpegTest = DecoderTest;

// Smooth colours, so that quality 95 stays close.
std::vector<uint32_t> SmoothColours(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      pixels.push_back((uint32_t)((40 + 3 * x) << 16 | (200 - 2 * y) << 8 | (90 + x + y)));
  return pixels;
}

void ExpectClose(const std::vector<uint32_t> &got, const std::vector<uint32_t> &want, int tolerance) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); i++) {
    EXPECT_EQ(got[i] >> 24, 0u) << "pixel " << i;
    for (int shift : {0, 8, 16}) {
      int a = (int)(got[i] >> shift & 0xFF), b = (int)(want[i] >> shift & 0xFF);
      ASSERT_LE(std::abs(a - b), tolerance) << "pixel " << i << " shift " << shift;
    }
  }
}

std::vector<uint32_t> DecodedJpeg(const std::string &file, int *width, int *height) {
  IMAGE image;
  if (!DecodeJPEG(Bytes(file), file.size(), &image)) return {};
  *width = image.Width;
  *height = image.Height;
  std::vector<uint32_t> pixels((const uint32_t *)image.Pixels,
                               (const uint32_t *)image.Pixels + (size_t)image.Width * image.Height);
  TrackedFree(image.Pixels, __LINE__, "test");
  return pixels;
}

TEST_F(JpegTest, ColourPicturesOfOddWidthsDecodeTopRowFirstWithoutPadding) {
  for (int width : {1, 3, 17, 64}) {
    const int height = 21;
    std::vector<uint32_t> pixels = SmoothColours(width, height);
    int w = 0, h = 0;
    std::vector<uint32_t> got = DecodedJpeg(Jpeg(width, height, pixels, 3), &w, &h);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    ExpectClose(got, pixels, 8);
  }
}

TEST_F(JpegTest, GreyscaleGivesEqualChannels) {
  std::vector<uint32_t> grey;
  for (int i = 0; i < 3 * 5; i++) grey.push_back((uint32_t)(i * 17));
  int w = 0, h = 0;
  std::vector<uint32_t> got = DecodedJpeg(Jpeg(3, 5, grey, 1), &w, &h);
  ASSERT_EQ(got.size(), 15u);
  for (size_t i = 0; i < got.size(); i++) {
    uint32_t v = got[i] & 0xFF;
    EXPECT_EQ(got[i], v << 16 | v << 8 | v) << i;
    EXPECT_LE(std::abs((int)v - (int)grey[i]), 6) << i;
  }
}

TEST_F(JpegTest, DamagedFilesFailWithNothingAllocated) {
  const std::string good = Jpeg(16, 16, SmoothColours(16, 16), 3);
  auto fails = [&](const std::string &file, const char *what) {
    IMAGE image;
    image.Pixels = (void *)1;
    EXPECT_EQ(DecodeJPEG(Bytes(file), file.size(), &image), 0) << what;
    EXPECT_EQ(image.Pixels, nullptr) << what;
  };
  fails("", "empty");
  fails("not a jpeg at all", "text");
  fails(good.substr(0, 2), "start marker only");
  fails(good.substr(0, 100), "header cut short");
  // The start-of-frame segment claims 65500 x 65500 pixels.
  size_t sof = good.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string huge = good;
  huge[sof + 5] = (char)0xFF;
  huge[sof + 6] = (char)0xDC;
  huge[sof + 7] = (char)0xFF;
  huge[sof + 8] = (char)0xDC;
  fails(huge, "beyond the pixel limit");
  // Four components (CMYK) have no conversion to RGB.
  std::string four = good;
  four[sof + 9] = 4;
  fails(four, "four components");
}

TEST_F(JpegTest, LoadJpegAndLoadBmpReadTheirFileAndReleaseIt) {
  ScopedTempDir dir;
  std::vector<uint32_t> pixels = SmoothColours(8, 8);
  WriteWholeFile("p.jpg", Jpeg(8, 8, pixels, 3));
  WriteWholeFile("p.bmp", Bmp24(8, 8, pixels, false));
  IMAGE image;
  ASSERT_EQ(LoadJPEG("p.jpg", &image), 1);
  EXPECT_EQ(image.Width, 8);
  TrackedFree(image.Pixels, __LINE__, "test");
  ASSERT_EQ(LoadBMP("p.bmp", &image), 1);
  EXPECT_EQ(std::vector<uint32_t>((uint32_t *)image.Pixels, (uint32_t *)image.Pixels + 64), pixels);
  TrackedFree(image.Pixels, __LINE__, "test");
  EXPECT_EQ(LoadJPEG("p.bmp", &image), 0);
  EXPECT_EQ(LoadBMP("p.jpg", &image), 0);
  EXPECT_EQ(LoadJPEG("missing.jpg", &image), 0);
  EXPECT_EQ(LoadBMP("missing.bmp", &image), 0);
}

// ---------------------------------------------------------------------------------------------------------
// PNG

using PngTest = DecoderTest;

struct PNG_CASE {
  int colorType;
  int bitDepth;
  bool interlaced;
};

TEST_F(PngTest, EveryColourTypeAndDepthGivesEightBitRgb) {
  std::vector<PNG_CASE> cases;
  for (int depth : {1, 2, 4, 8, 16}) cases.push_back({PNG_COLOR_TYPE_GRAY, depth, false});
  for (int depth : {1, 2, 4, 8}) cases.push_back({PNG_COLOR_TYPE_PALETTE, depth, false});
  for (int type : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_GRAY_ALPHA})
    for (int depth : {8, 16}) cases.push_back({type, depth, false});
  cases.push_back({PNG_COLOR_TYPE_RGB, 8, true});
  cases.push_back({PNG_COLOR_TYPE_PALETTE, 4, true});

  for (const PNG_CASE &c : cases) {
    const int width = 13, height = 9;
    const int channels = c.colorType == PNG_COLOR_TYPE_RGB_ALPHA    ? 4
                         : c.colorType == PNG_COLOR_TYPE_RGB        ? 3
                         : c.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                    : 1;
    const uint32_t top = (1u << c.bitDepth) - 1;
    std::vector<uint16_t> samples;
    std::vector<uint32_t> expected;
    std::vector<uint8_t> palette;
    for (uint32_t i = 0; i < (1u << (c.bitDepth > 8 ? 8 : c.bitDepth)); i++) {
      palette.push_back((uint8_t)(i * 5));
      palette.push_back((uint8_t)(250 - i));
      palette.push_back((uint8_t)(i * 3 + 1));
    }
    uint32_t seed = (uint32_t)(c.colorType * 100 + c.bitDepth);
    for (int i = 0; i < width * height; i++) {
      uint32_t rgb[3];
      for (int ch = 0; ch < channels; ch++) {
        uint32_t v = TestRandom(seed) % (top + 1);
        samples.push_back((uint16_t)v);
        // Samples go to eight bits the way libpng strips them: the high byte, or scaled up from below 8.
        uint32_t eight = c.bitDepth == 16 ? v >> 8 : c.bitDepth == 8 ? v : v * 255 / top;
        if (ch < 3) rgb[ch] = eight;
      }
      if (c.colorType == PNG_COLOR_TYPE_PALETTE) {
        uint32_t k = samples.back();
        expected.push_back((uint32_t)palette[3 * k] << 16 | (uint32_t)palette[3 * k + 1] << 8 | palette[3 * k + 2]);
      } else if (channels <= 2) {
        expected.push_back(rgb[0] << 16 | rgb[0] << 8 | rgb[0]);
      } else {
        expected.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
      }
    }
    std::vector<uint8_t> trns;
    if (c.colorType == PNG_COLOR_TYPE_PALETTE) trns = {0, 128};
    std::string file = Png(width, height, c.colorType, c.bitDepth, samples, palette, trns, c.interlaced);
    IMAGE image;
    ASSERT_EQ(DecodePNG(Bytes(file), file.size(), &image), 1) << c.colorType << "/" << c.bitDepth;
    EXPECT_EQ(image.Width, width);
    EXPECT_EQ(image.Height, height);
    EXPECT_EQ(std::vector<uint32_t>((uint32_t *)image.Pixels, (uint32_t *)image.Pixels + width * height), expected)
        << "colour type " << c.colorType << " depth " << c.bitDepth << (c.interlaced ? " interlaced" : "");
    TrackedFree(image.Pixels, __LINE__, "test");
  }
}

TEST_F(PngTest, DamagedFilesFailWithNothingAllocated) {
  std::vector<uint16_t> samples(8 * 8 * 3, 77);
  const std::string good = Png(8, 8, PNG_COLOR_TYPE_RGB, 8, samples);
  auto fails = [&](const std::string &file, const char *what) {
    IMAGE image;
    image.Pixels = (void *)1;
    EXPECT_EQ(DecodePNG(Bytes(file), file.size(), &image), 0) << what;
    EXPECT_EQ(image.Pixels, nullptr) << what;
  };
  fails("", "empty");
  fails(good.substr(0, 8), "signature only");
  for (size_t cut = 9; cut < good.size() - 12; cut += 7) fails(good.substr(0, cut), "cut short");
  std::string s = good;
  s[20] ^= 0x40;  // inside the header chunk: its CRC no longer matches
  fails(s, "header CRC");
  // The header claims 10000 x 10000 pixels (CRC made to match).
  s = Png(10000, 1, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  std::string tall = Png(1, 10000, PNG_COLOR_TYPE_GRAY, 1, std::vector<uint16_t>(10000, 1));
  // Width from one header, height from the other.
  std::string both = s.substr(0, 20) + tall.substr(20, 4) + s.substr(24, 5);
  uint32_t crc = (uint32_t)crc32(0, (const Bytef *)both.data() + 12, 17);
  for (int i = 3; i >= 0; i--) both += (char)(crc >> (8 * i));
  fails(both + s.substr(33), "beyond the pixel limit");
}

// ---------------------------------------------------------------------------------------------------------
// Texture sizes and resampling

TEST(TextureSize, PowersOfTwoFromTwoToTheLimitAndNeverAbove1024) {
  for (int32_t size : {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024}) EXPECT_TRUE(TextureSizeAccepted(size, 16384)) << size;
  for (int32_t size : {0, 1, 3, 6, 300, 1023, 2048, 4096, -2}) EXPECT_FALSE(TextureSizeAccepted(size, 16384)) << size;
  EXPECT_FALSE(TextureSizeAccepted(1024, 512));
  EXPECT_TRUE(TextureSizeAccepted(512, 512));
}

IMAGE Filled(int32_t width, int32_t height, int32_t pixelSize) {
  IMAGE image = {width, height, TrackedAlloc((size_t)width * height * pixelSize, __LINE__, "test")};
  unsigned char *p = (unsigned char *)image.Pixels;
  for (int32_t i = 0; i < width * height * pixelSize; i++) p[i] = (unsigned char)(i / pixelSize);
  return image;
}

TEST(Rescale, SizesGrowToPowersOfTwoOrShrinkToTheLimit) {
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
}

TEST(Rescale, NearestNeighbourTakesTheTruncatedSourcePosition) {
  // 3 x 2 of 4-byte pixels numbered 0..5 becomes 4 x 2: columns 0, 0.75, 1.5, 2.25 -> 0, 0, 1, 2.
  IMAGE image = Filled(3, 2, 4);
  RescaleImage(&image, 4, 1024);
  ASSERT_EQ(image.Width, 4);
  ASSERT_EQ(image.Height, 2);
  const unsigned char *p = (const unsigned char *)image.Pixels;
  std::vector<int> firstBytes;
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(p[4 * i], p[4 * i + 3]);
    firstBytes.push_back(p[4 * i]);
  }
  EXPECT_EQ(firstBytes, std::vector<int>({0, 0, 1, 2, 3, 3, 4, 5}));
  TrackedFree(image.Pixels, __LINE__, "test");
}

}  // namespace
