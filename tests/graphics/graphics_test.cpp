// The graphics driver: the decoders on pictures from giflib, libjpeg, libpng and our own writers, the texture
// sizes, and in a real context (Mesa, a private Xvfb of 1024x768x24) the driver, its state and texture loading.
#include "graphics/gldriver.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive.h"
#include "graphics/decoders.h"
#include "gltestkit.h"
#include "picture_writers.h"
#include "platform/platform.h"
#include "platform/platform_local.h"
#include "shell/shell.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

// LZW code streams of the shapes giflib never writes, packed least significant bit first.
struct LZW_OPTIONS {
  int minCodeSize = 8;          // 2..9
  bool leadingClear = true;     // a clear code before the first pixel
  bool clearWhenFull = true;    // clear once code 4095 is assigned; otherwise go on at 12 bits
  bool clearBeforeEnd = false;  // a clear code right before the end code
};

void Put(std::string &out, int bytes, const std::vector<uint32_t> &values) {  // little-endian fields
  for (uint32_t v : values)
    for (int i = 0; i < bytes; i++) out += (char)(v >> (8 * i) & 0xFF);
}

std::vector<uint8_t> LzwEncode(const std::vector<uint8_t> &indices, const LZW_OPTIONS &o) {
  std::vector<uint8_t> bytes;
  uint32_t pending = 0;
  const int clear = 1 << o.minCodeSize;
  int pendingBits = 0, size = o.minCodeSize + 1, next = clear + 2;
  std::map<uint32_t, int> table;  // (string's code, pixel) to the code of the string one pixel longer
  // giflib's rule: after a code is written, the codes grow by a bit once the next free code (before the one
  // the written code adds) no longer fits.
  const auto put = [&](int code) {
    pending |= (uint32_t)code << pendingBits;
    for (pendingBits += size; pendingBits >= 8; pendingBits -= 8, pending >>= 8) bytes.push_back((uint8_t)pending);
    if (next >= 1 << size && size < 12) size++;
  };
  const auto emitClear = [&] {
    put(clear);
    size = o.minCodeSize + 1, next = clear + 2;
    table.clear();
  };
  if (o.leadingClear) emitClear();
  int current = indices[0];
  for (size_t i = 1; i < indices.size(); i++) {
    const uint32_t key = (uint32_t)current * 1024 + indices[i];
    if (table.count(key)) {
      current = table[key];
      continue;
    }
    put(current);
    if (next < 4096)
      table[key] = next++;
    else if (o.clearWhenFull)
      emitClear();
    current = indices[i];
  }
  put(current);
  if (o.clearBeforeEnd) emitClear();
  put(clear + 1);
  if (pendingBits > 0) bytes.push_back((uint8_t)pending);
  return bytes;
}

// A GIF89a around a code stream: 2 << tableBits colours from `palette` (zero beyond it), 255-byte sub-blocks.
std::string GifAround(int width, int height, const std::vector<uint8_t> &palette, int tableBits,
                      int minCodeSize, const std::vector<uint8_t> &stream) {
  std::string out = "GIF89a";
  Put(out, 2, {(uint32_t)width, (uint32_t)height});
  Put(out, 1, {0x80u | (tableBits & 7) | ((tableBits & 7) << 4), 0, 0});
  for (size_t i = 0; i < 3 * ((size_t)2 << (tableBits & 7)); i++) out += (char)(i < palette.size() ? palette[i] : 0);
  out += ',';
  Put(out, 2, {0, 0, (uint32_t)width, (uint32_t)height});
  Put(out, 1, {0, (uint32_t)minCodeSize});
  for (size_t at = 0; at < stream.size(); at += 255) {
    const size_t length = std::min<size_t>(stream.size() - at, 255);
    out += (char)length;
    out.append((const char *)stream.data() + at, length);
  }
  return out + '\0' + ';';
}

// Rows padded to four bytes, bottom-up or top-down: 24-bit values are 0x00RRGGBB, 8-bit ones index `palette`.
std::string Bmp(int width, int height, int bits, const std::vector<uint32_t> &values, bool topDown,
                const std::vector<uint32_t> &palette = {}) {
  const size_t stride = ((size_t)width * bits / 8 + 3) & ~(size_t)3;
  const uint32_t offset = (uint32_t)(14 + 40 + palette.size() * 4), bytes = (uint32_t)(stride * height);
  std::string out = "BM";
  Put(out, 4, {offset + bytes, 0, offset, 40, (uint32_t)width, (uint32_t)(topDown ? -height : height)});
  Put(out, 2, {1, (uint32_t)bits});
  Put(out, 4, {0, bytes, 2835, 2835, (uint32_t)palette.size(), 0});
  Put(out, 4, palette);
  for (int row = 0; row < height; row++) {
    const uint32_t *stored = &values[(size_t)(topDown ? row : height - 1 - row) * width];
    for (int x = 0; x < width; x++) Put(out, bits / 8, {stored[x]});
    out.resize(out.size() + stride - (size_t)width * bits / 8, '\0');
  }
  return out;
}

using DECODER = int (*)(const unsigned char *, size_t, IMAGE *, int64_t);

unsigned char sPalette[768];  // the palette of the last GIF decoded

int Gif(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  memset(sPalette, 0xEE, sizeof sPalette);
  return DecodeGIF(data, size, image, sPalette, maxPixels);
}

// A colour table of `entries` colours in 768 bytes, zero beyond them.
std::vector<uint8_t> Palette(int entries) {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 3 * entries; i++) palette[i] = (uint8_t)(i * 37 + 11);
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

// The width and pixels a decoder gives (GIF indices or 0x00RRGGBB words); no pixels when it fails.
template <class PIXEL>
std::pair<int, std::vector<PIXEL>> Decoded(DECODER decode, const std::string &file,
                                           int64_t limit = DECODER_MAX_PIXELS) {
  IMAGE image = {0, 0, (void *)1};
  if (!decode((const unsigned char *)file.data(), file.size(), &image, limit)) {
    EXPECT_EQ(image.Pixels, nullptr);
    return {};
  }
  const PIXEL *p = (const PIXEL *)image.Pixels;
  std::pair<int, std::vector<PIXEL>> decoded = {image.Width, {p, p + (size_t)image.Width * image.Height}};
  TrackedFree(image.Pixels, __LINE__, "test");
  return decoded;
}

bool Fails(DECODER decode, const std::string &file, int64_t maxPixels = DECODER_MAX_PIXELS) {
  return Decoded<uint8_t>(decode, file, maxPixels).second.empty();
}

class DecoderTest : public ::testing::Test {  // each test gives back what it allocated
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override { EXPECT_EQ(AllocTotal(), allocated_); }
  int64_t allocated_ = 0;
};

// giflib with two colours (codes start at 3 bits) and a picture filling the table many times (12-bit codes, clear
// codes); our encoder's pictures each fill it once, from both ends of the minimum code sizes up to 12 bits.
TEST_F(DecoderTest, GifPicturesOfEveryStreamShapeGiveTheirIndicesAndPalette) {
  const struct { int giflibBits; LZW_OPTIONS lzw; int width, height; const char *what; } shapes[] = {  // 0: ours
      {1, {}, 62, 37, "giflib 1"}, {8, {}, 300, 200, "giflib 8"}, {0, {2}, 173, 211, "plain 2"},
      {0, {9}, 173, 211, "plain 9"}, {0, {4, true, false}, 173, 211, "table kept full at 12 bits"},
      {0, {3, false}, 173, 211, "no leading clear code"}};
  for (const auto &s : shapes) {
    const int colours = s.giflibBits ? 1 << s.giflibBits : std::min(256, 1 << s.lzw.minCodeSize);
    const std::vector<uint8_t> indices = Indices(s.width, s.height, colours, (uint32_t)(colours + s.width));
    const std::string file = s.giflibBits ? GiflibGif(s.width, s.height, indices, Palette(colours), s.giflibBits)
                                          : GifAround(s.width, s.height, Palette(colours), 7, s.lzw.minCodeSize,
                                                      LzwEncode(indices, s.lzw));
    EXPECT_EQ(Decoded<uint8_t>(Gif, file), std::make_pair(s.width, indices)) << s.what;
    EXPECT_EQ(std::vector<uint8_t>(sPalette, sPalette + 768), Palette(colours)) << s.what;
  }
  // A clear code right before the end code, which comes before the picture is full: the rest stays zero.
  const std::string early = GifAround(4, 4, Palette(4), 1, 2, LzwEncode({1, 2, 3, 1, 2}, {2, true, true, true}));
  EXPECT_EQ(Decoded<uint8_t>(Gif, early).second,
            std::vector<uint8_t>({1, 2, 3, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(DecoderTest, BmpJpegAndPngPicturesOfEveryKindGiveTheirPixelsTopRowFirst) {
  // Decoder, file, width, pixels, tolerance of each channel.
  std::vector<std::tuple<DECODER, std::string, int, std::vector<uint32_t>, int, std::string>> rows;
  const std::vector<uint32_t> palette = Smooth(16, 16);  // 256 colours, all different
  for (uint32_t width = 1, seed = 1; width <= 5; width++) {  // every row padding, both row orders
    std::vector<uint32_t> indices(width * 3), pixels;
    for (auto &v : indices) pixels.push_back(palette[v = TestRandom(seed) % 256]);
    for (bool topDown : {false, true}) {
      const std::string what = " bmp width " + std::to_string(width) + (topDown ? " top-down" : " bottom-up");
      rows.push_back({DecodeBMP, Bmp(width, 3, 8, indices, topDown, palette), (int)width, pixels, 0, "8-bit" + what});
      rows.push_back({DecodeBMP, Bmp(width, 3, 24, pixels, topDown), (int)width, pixels, 0, "24-bit" + what});
    }
  }
  // A short colour table leaves the other indices black; missing padding of the last row is accepted.
  rows.push_back({DecodeBMP, Bmp(2, 2, 8, {0, 1, 2, 255}, true, {0x112233, 0x445566}), 2,
                  {0x112233, 0x445566, 0, 0}, 0, "short colour table"});
  const std::string unpadded = Bmp(3, 2, 24, Smooth(3, 2), false);
  rows.push_back({DecodeBMP, unpadded.substr(0, unpadded.size() - 3), 3, Smooth(3, 2), 0, "last row unpadded"});
  for (int width : {1, 3, 17, 64})
    rows.push_back({DecodeJPEG, Jpeg(width, 21, Smooth(width, 21), 3), width, Smooth(width, 21), 8, "jpeg"});
  std::vector<uint32_t> grey;
  for (uint32_t i = 0; i < 3 * 5; i++) grey.push_back(i * 17 * 0x010101);
  rows.push_back({DecodeJPEG, Jpeg(3, 5, grey, 1), 3, grey, 6, "grey jpeg"});
  // Colour type, depth and channels: every conversion the decoder asks libpng for; the first two interlaced.
  const std::vector<std::tuple<int, int, int>> png = {
      {PNG_COLOR_TYPE_RGB, 8, 3},  {PNG_COLOR_TYPE_PALETTE, 4, 1},   {PNG_COLOR_TYPE_GRAY, 1, 1},
      {PNG_COLOR_TYPE_GRAY, 16, 1}, {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4}, {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2}};
  const std::vector<uint8_t> table = Palette(256);
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
      if (channels <= 2) rgb[1] = rgb[2] = rgb[0];
      if (type == PNG_COLOR_TYPE_PALETTE) std::copy_n(&table[3 * samples.back()], 3, rgb);
      expected.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
    }
    rows.push_back({DecodePNG, Png(13, 9, type, depth, samples, table, {0, 128}, row < 2), 13, expected, 0,
                    "png type " + std::to_string(type) + " depth " + std::to_string(depth)});
  }
  for (const auto &[decode, file, width, pixels, tolerance, what] : rows) {
    const auto [gotWidth, got] = Decoded<uint32_t>(decode, file);
    ASSERT_EQ(std::make_pair(gotWidth, got.size()), std::make_pair(width, pixels.size())) << what;
    int worst = 0;  // nothing above the colour either
    for (size_t i = 0; i < got.size(); i++)
      for (int shift = 0; shift < 32; shift += 8)
        worst = std::max(worst, std::abs((int)(got[i] >> shift & 0xFF) - (int)(pixels[i] >> shift & 0xFF)));
    EXPECT_LE(worst, tolerance) << what;
  }
}

// The refusals the formats' rules name (the bitmap has room for its pixels at any depth), one damaged file per
// decoder and every decoder's pixel limit; the fuzz harnesses drive the other damage under the address sanitizer.
TEST_F(DecoderTest, RefusedFilesLeaveNothingAllocated) {
  const std::string gif = GifAround(20, 10, Palette(16), 3, 4, LzwEncode(Indices(20, 10, 16, 7), {4}));
  const std::string bmp = Bmp(4, 4, 8, std::vector<uint32_t>(16, 1), false, Smooth(16, 16)) + std::string(64, 0);
  const std::string jpeg = Jpeg(16, 16, Smooth(16, 16), 3), png = Png(8, 8, 2, 8, std::vector<uint16_t>(192, 77));
  const auto patched = [](std::string file, size_t at, const std::string &b) { return file.replace(at, b.size(), b); };
  const std::tuple<DECODER, std::string, const char *> refused[] = {
      {Gif, patched(gif, 0, "g"), "signature"}, {Gif, patched(gif, 71, "\x01"), "minimum code size 1"},
      {Gif, patched(gif, 71, "\x0A"), "minimum code size 10"}, {DecodeBMP, patched(bmp, 28, {16, 0}), "16 bits"},
      {DecodeBMP, patched(bmp, 28, {32, 0}), "32 bits"}, {DecodeBMP, patched(bmp, 14, {12, 0, 0, 0}), "core header"},
      {DecodeBMP, patched(bmp, 30, {1, 0, 0, 0}), "run-length"}, {DecodeBMP, patched(bmp, 46, {1, 1}), "257 colours"},
      {DecodeBMP, bmp.substr(0, 100), "cut in the table"}, {DecodeJPEG, jpeg.substr(0, 100), "cut in the header"},
      {DecodeJPEG, Jpeg(4, 4, std::vector<uint32_t>(16, 0x102030), 4), "four channels"},
      {DecodePNG, patched(png, 20, std::string(1, png[20] ^ 0x40)), "header CRC"}};
  for (const auto &[decode, file, what] : refused) EXPECT_TRUE(Fails(decode, file)) << what;
  const std::tuple<DECODER, std::string, int> limits[] = {
      {Gif, gif, 200}, {DecodeBMP, bmp, 16}, {DecodeJPEG, jpeg, 256}, {DecodePNG, png, 64}};
  for (const auto &[decode, file, pixels] : limits)
    EXPECT_TRUE(Fails(decode, file, pixels - 1) && !Fails(decode, file, pixels)) << pixels << " pixels";
}

TEST_F(DecoderTest, TextureSizesArePowersOfTwoUpToTheLimitAndNeverAbove1024AndRescaleSamplesTheNearestPixel) {
  for (int32_t size : {2, 512, 1024}) EXPECT_TRUE(TextureSizeAccepted(size, size == 512 ? 512 : 16384)) << size;
  for (int32_t size : {0, 1, 3, 1023, 2048, -2}) EXPECT_FALSE(TextureSizeAccepted(size, 16384)) << size;
  EXPECT_FALSE(TextureSizeAccepted(1024, 512));
  const struct { int32_t w, h, max, newW, newH; } cases[] = {
      {300, 200, 1024, 512, 256}, {1, 1, 1024, 2, 2},     {4096, 8, 1024, 1024, 8}, {2048, 2048, 4096, 2048, 2048},
      {3, 1000, 512, 4, 512},     {64, 65, 16384, 64, 128}, {3, 2, 1024, 4, 2}};
  for (auto &c : cases)
    for (int32_t pixelSize : {1, 4}) {
      IMAGE image = {c.w, c.h, TrackedAlloc((size_t)c.w * c.h * pixelSize, __LINE__, "test")};
      for (int32_t i = 0; i < c.w * c.h * pixelSize; i++) ((uint8_t *)image.Pixels)[i] = (uint8_t)(i / pixelSize);
      RescaleImage(&image, pixelSize, c.max);
      EXPECT_EQ(image.Width * 10000 + image.Height, c.newW * 10000 + c.newH) << c.w << "x" << c.h;
      // 3 x 2 pixels numbered 0..5 become 4 x 2: columns 0, 0.75, 1.5, 2.25 take 0, 0, 1, 2.
      for (int i = 0; c.w == 3 && c.h == 2 && i < 8 * pixelSize; i++)
        EXPECT_EQ(((uint8_t *)image.Pixels)[i], std::vector<uint8_t>({0, 0, 1, 2, 3, 3, 4, 5})[i / pixelSize]) << i;
      TrackedFree(image.Pixels, __LINE__, "test");
    }
}

PlatformWindow *sChildWindow = nullptr;

// 11 while the display is out of its desktop mode with the window full-screen on it, 0 when both are back.
int Mode(PlatformWindow *window) {
  const bool fullScreen = SDL_GetWindowFlags(PlatformNativeWindow(window)) & SDL_WINDOW_FULLSCREEN;
  return PlatformDisplayModeChanged() * 10 + fullScreen;
}

// Runs after the message box: a display still out of its desktop mode ends the child with another code.
void CheckDisplayRestored() { if (Mode(sChildWindow) != 0) _exit(97); }

// In children with a display for the window but none for the message box, before this process has video of its
// own: no window, and a forced mode with an X visual the display lacks (a missing mode is the end-to-end run's).
TEST(DriverFatal, EveryConstructionFailureGivesItsMessageWithTheDisplayRestored) {
  ASSERT_NE(getenv("DISPLAY"), nullptr);
  const std::string display = getenv("DISPLAY");
  ScopedTempDir dir;
  for (const char *visual : {(const char *)nullptr, "0x7ffffff0"}) {
    const auto construct = [&] {
      if (visual) {
        setenv("DISPLAY", display.c_str(), 1);
        sChildWindow = PlatformCreateMainWindow("Tunemill");
        if (sChildWindow == nullptr) _exit(98);
        PlatformShowWindow(sChildWindow);
        unsetenv("DISPLAY");  // connected now; the fatal error's box goes to standard error
        AddShutdownCallback(CheckDisplayRestored);
        setenv("SDL_VIDEO_X11_WINDOW_VISUALID", visual, 1);
      }
      new (__LINE__, "graphics_test") c_GLDRIVER(sChildWindow, 8 | 32, 1024, 768, 32, 1);
    };
    ExpectFatal(construct, "gldriver",
                visual ? "c_GLDRIVER::No valid PixelFormat found !" : "c_GLDRIVER::WinHandle == NULL !");
  }
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupOptions.Brightness = 0.0f;
    window_ = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(window_, nullptr);
    PlatformShowWindow(window_);
  }
  void TearDown() override {
    delete driver_;
    PlatformDestroyWindow(window_);
  }
  void Create(int32_t flags, int32_t width, int32_t height, int32_t force) {
    driver_ = new (__LINE__, "graphics_test") c_GLDRIVER(window_, flags, width, height, 32, force);
  }
  ScopedTempDir dir_;
  PlatformWindow *window_ = nullptr;
  c_GLDRIVER *driver_ = nullptr;
};

int Supported(const std::string &name) { return c_GLDRIVER::IsExtensionSupported(name.c_str()); }

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST_F(Driver, WindowedConstructionLogsTheFormatAndTheIdentityFindsWholeExtensionNamesAndShowsWhatIsDrawn) {
  Create(8 | 32, 640, 480, 0);
  EXPECT_EQ(Mode(window_), 0);
  EXPECT_EQ(GlInteger(GL_DOUBLEBUFFER) * 10 + glIsEnabled(GL_DITHER), 10);
  // The entry points are there exactly when their extension is.
  EXPECT_EQ(glActiveTextureARB != nullptr && glMultiTexCoord2fARB != nullptr, Supported("GL_ARB_multitexture") == 1);
  EXPECT_EQ(driver_->HasEnvCombine, Supported("GL_EXT_texture_env_combine"));

  // The printout in its exact form: the request's fixed values, 8 bits a colour on the 24-bit display and at
  // least the depth and stencil bits asked for; after it the identity and the extensions, one a line.
  const std::string log = ReadWholeFile("program.log"), names = (const char *)glGetString(GL_EXTENSIONS);
  const std::regex printout(
      "\n -{56} \n\n\n\\[pixelformatdesctiptor printout\\] \nnVersion     = 1 \ndwFlags      = 25 \n"
      "iPixelType   = 0 \ncColorBits   = 24 \ncRedBits     = 8 \ncGreenBits   = 8 \ncBlueBits    = 8 \n"
      "cAlphaBits   = \\d+ \ncAccumBits   = \\d+ \ncDepthBits   = (\\d+) \ncStencilBits = (\\d+) \n"
      "cAuxBuffers  = \\d+ \niLayerType   = 0 \n\\[pixelformatdesctiptor end\\] \n\n\n -{56} \n");
  std::smatch format;
  ASSERT_TRUE(std::regex_search(log, format, printout)) << log;
  EXPECT_TRUE(std::stoi(format[1]) >= 24 && std::stoi(format[2]) >= 8) << format[0];
  std::string lines = names;
  std::replace(lines.begin(), lines.end(), ' ', '\n');
  const auto text = [](GLenum name) { return std::string((const char *)glGetString(name)); };
  EXPECT_EQ(log.substr(format.position(0) + format.length(0)),
            "\n\n GL_RENDERER: " + text(GL_RENDERER) + " \n GL_VENDOR: " + text(GL_VENDOR) +
                " \n GL_VERSION: " + text(GL_VERSION) + " \n\n HARDWARE EXTENSIONS : \n\n" + lines + " \n\n\n ");
  EXPECT_EQ(AllocTotal(), static_cast<int64_t>(sizeof(c_GLDRIVER)));  // the list's copy went back

  // Every listed name, the first and the last included; cut by a character it is found only when listed.
  const std::regex blank(" ");
  const std::set<std::string> listed{std::sregex_token_iterator(names.begin(), names.end(), blank, -1), {}};
  ASSERT_GE(listed.size(), 2u);
  for (const std::string &name : listed) {
    EXPECT_EQ(Supported(name), 1) << name;
    for (const std::string &part : {name.substr(0, name.size() - 1), name.substr(1)})
      EXPECT_EQ(Supported(part), (int)listed.count(part)) << part;
  }
  // No name, the first two names side by side as the text has them, and names not listed are never found.
  for (const std::string &none : {std::string(), names.substr(0, names.find(' ', names.find(' ') + 1)),
                                  std::string("GL_"), std::string("GL_TUNEMILL_nothing")})
    EXPECT_EQ(Supported(none), 0) << none;

  // What is drawn and swapped is on the screen, in the window's place.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformSwapBuffers(driver_->DeviceContext);
  EXPECT_TRUE(WaitFor([] { return ScreenPixel(10, 10) == 0xFF0000u; }, 3, 0.02));
  EXPECT_TRUE(ScreenPixel(639, 479) == 0xFF0000u && ScreenPixel(641, 481) != 0xFF0000u);
}

TEST_F(Driver, ForcedSingleBufferedModeIsHeldUntilDestruction) {
  Create(0, 1024, 768, 1);
  EXPECT_EQ(Mode(window_), 11);
  EXPECT_EQ(GlInteger(GL_DOUBLEBUFFER), 0);
  EXPECT_GE(GlInteger(GL_DEPTH_BITS), 16);
  EXPECT_NE(ReadWholeFile("program.log").find("\ndwFlags      = 24 \n"), std::string::npos);
  delete driver_;
  driver_ = nullptr;
  EXPECT_EQ(Mode(window_), 0);
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

// Every drawer starts from the default state and leaves its own behind: what the last one left must not
// reach the next, and what the default state leaves alone stays. Texture loading resets unit 0 the same way.
TEST_F(Driver, DefaultStateAndTextureUnitDefaultsSetWhatTheyCoverAndLeaveTheRest) {
  Create(8 | 32, 640, 480, 0);
  // Each capability the other way round first; LIGHT0 and the viewport are left alone.
  const std::pair<GLenum, GLboolean> caps[] = {{GL_LIGHTING, 0},     {GL_FOG, 0},   {GL_ALPHA_TEST, 0},
                                               {GL_CULL_FACE, 0},    {GL_BLEND, 1}, {GL_STENCIL_TEST, 0},
                                               {GL_DEPTH_TEST, 1},   {GL_LIGHT0, 1}, {GL_TEXTURE_2D, 1}};
  for (const auto &[cap, on] : caps) on && cap != GL_LIGHT0 ? glDisable(cap) : glEnable(cap);
  glEnableClientState(GL_VERTEX_ARRAY);
  glMatrixMode(GL_TEXTURE);
  glTranslatef(1, 2, 3);
  glViewport(1, 2, 30, 40);
  glBlendFunc(GL_ONE, GL_ONE);
  glDepthFunc(GL_GREATER);
  glDepthMask(GL_FALSE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50);
  SetupOptions.Brightness = 0.5f;
  c_GLDRIVER::SetDefaultState();
  for (const auto &[cap, on] : caps) EXPECT_EQ(glIsEnabled(cap), on) << std::hex << cap;
  const std::pair<GLenum, std::vector<float>> floats[] = {
      {GL_BLEND_SRC, {GL_SRC_ALPHA}}, {GL_BLEND_DST, {GL_ONE_MINUS_SRC_ALPHA}}, {GL_DEPTH_FUNC, {GL_LESS}},
      {GL_DEPTH_WRITEMASK, {1}},      {GL_POLYGON_MODE, {GL_FILL, GL_FILL}},    {GL_CURRENT_COLOR, {1, 1, 1, 1}},
      {GL_VERTEX_ARRAY, {0}},         {GL_MATRIX_MODE, {GL_MODELVIEW}},         {GL_TEXTURE_MATRIX, kIdentity},
      {GL_VIEWPORT, {1, 2, 30, 40}}};
  for (const auto &f : floats) EXPECT_EQ(GlFloats(f.first, (int)f.second.size()), f.second) << std::hex << f.first;
  // The lighting material, its emission the brightness, on both faces.
  const std::pair<GLenum, std::vector<float>> material[] = {
      {GL_AMBIENT, {0.3f, 0.3f, 0.3f, 1}}, {GL_DIFFUSE, {0.6f, 0.6f, 0.6f, 1}}, {GL_SPECULAR, {0, 0, 0, 1}},
      {GL_EMISSION, {0.5f, 0.5f, 0.5f, 1}}, {GL_SHININESS, {0}}};
  for (GLenum face : {GL_FRONT, GL_BACK})
    for (const auto &m : material) EXPECT_EQ(GlMaterial(face, m.first), m.second) << face << " " << m.first;

  // Unit 0 with and without the combine extension, whatever unit was selected and however it was set.
  ASSERT_NE(glActiveTextureARB, nullptr);
  const GLenum gens[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
  const auto env = [](GLenum name) { GLint value = 0; glGetTexEnviv(GL_TEXTURE_ENV, name, &value); return value; };
  for (int32_t combine : {driver_->HasEnvCombine, 0}) {
    driver_->HasEnvCombine = combine;
    glActiveTextureARB(GL_TEXTURE0_ARB);
    for (GLenum name : {GL_TEXTURE_ENV_MODE, GL_COMBINE_RGB_EXT}) glTexEnvi(GL_TEXTURE_ENV, name, GL_REPLACE);
    for (GLenum gen : gens) glEnable(gen);
    glMatrixMode(GL_TEXTURE);
    glScalef(2, 2, 2);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    SetupOptions.Brightness = 0.25f;
    driver_->SetTextureUnitDefaults();
    GLint generating = 0;
    for (GLenum gen : gens) generating += glIsEnabled(gen);
    EXPECT_EQ(std::vector<GLint>({GlInteger(GL_ACTIVE_TEXTURE_ARB), glIsEnabled(GL_TEXTURE_2D), generating,
                                  env(GL_TEXTURE_ENV_MODE), env(GL_COMBINE_RGB_EXT), GlInteger(GL_MATRIX_MODE)}),
              std::vector<GLint>({GL_TEXTURE0_ARB, 1, 0, combine ? GL_COMBINE_EXT : GL_MODULATE,
                                  combine ? GL_MODULATE : GL_REPLACE, GL_MODELVIEW}));
    EXPECT_EQ(GlFloats(GL_TEXTURE_MATRIX, 16), kIdentity);
    EXPECT_EQ(GlMaterial(GL_FRONT, GL_EMISSION), (std::vector<float>{0.25f, 0.25f, 0.25f, 1}));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Four texels in the top row: black, white, mid grey (90, 120, 150) and pure red, then the same colours
// reversed in the bottom row, so that a picture upside down shows.
const std::vector<uint32_t> kFour = {0x000000, 0xFFFFFF, 0x5A7896, 0xFF0000, 0xFF0000, 0x5A7896, 0xFFFFFF, 0x000000};

class TextureTest : public DriverSuite {
 protected:
  void SetUp() override {
    allocated_ = AllocTotal();
    std::vector<uint16_t> rgb;
    for (uint32_t p : kFour)
      rgb.insert(rgb.end(), {(uint16_t)(p >> 16), (uint16_t)(p >> 8 & 0xFF), (uint16_t)(p & 0xFF)});
    WriteWholeFile("four.png", Png(4, 2, PNG_COLOR_TYPE_RGB, 8, rgb));
    WriteWholeFile("four.gif", GiflibGif(4, 2, {0, 1, 2, 3, 3, 2, 1, 0}, {rgb.begin(), rgb.begin() + 12}, 2));
    WriteWholeFile("four.bmp", Bmp(4, 2, 24, kFour, false));
    WriteWholeFile("four.jpg", Jpeg(4, 2, kFour, 3));
  }
  void TearDown() override {
    EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases what it loaded";
    EXPECT_EQ(AllocTotal(), allocated_);
  }
  static uint32_t Load(const std::string &name, int32_t alphaMode = ALPHA_CONSTANT, int32_t mipmap = 0,
                       int32_t wrap = 1, float alpha = 1.0f) {
    return GlDriver->LoadTexture(name.c_str(), alphaMode, mipmap, wrap, alpha);
  }
  static bool Logged(const std::string &line) { return ReadWholeFile("program.log").find(line) != std::string::npos; }
  ScopedTempDir dir_;
  int64_t allocated_ = 0;
};

TEST_F(TextureTest, CacheSharesPerNameAndOptionsAndDeletesWithTheLastReferenceAndTheOptionsReachTheTexture) {
  const uint32_t first = Load("four.gif", ALPHA_CONSTANT, 1);
  rename("four.gif", "kept.gif");  // a hit never reads the file again
  size_t logged = ReadWholeFile("program.log").size();
  EXPECT_EQ(Load("FOUR.gif", ALPHA_CONSTANT, 1), first);
  EXPECT_EQ(ReadWholeFile("program.log").substr(logged), "\n PROGRAM: -- Load texture: FOUR.gif ");
  // Each other option set (alpha, mode, wrap, mipmap) has its own texture, appended to the list.
  rename("kept.gif", "four.gif");
  std::vector<uint32_t> binds = {first, Load("four.gif", ALPHA_CONSTANT, 1, 1, 0.5f),
                                 Load("four.gif", ALPHA_COLORKEY, 1), Load("four.gif", ALPHA_CONSTANT, 1, 0),
                                 Load("four.gif", ALPHA_CONSTANT, 0)};
  std::vector<uint32_t> listed;
  for (TEXTURE_ENTRY *e = GlDriver->TextureList; e; e = e->Next) listed.push_back(e->Bind);
  EXPECT_EQ(listed, binds);
  // Minification filter, wrapping in s and t, and the width of mip-map level 2 (a full chain ends at 1 x 1).
  const std::pair<uint32_t, std::vector<GLint>> options[] = {
      {first, {GL_LINEAR_MIPMAP_NEAREST, GL_REPEAT, GL_REPEAT, 1}},
      {binds[3], {GL_LINEAR_MIPMAP_NEAREST, GL_CLAMP, GL_CLAMP, 1}},
      {binds[4], {GL_LINEAR, GL_REPEAT, GL_REPEAT, 0}}};
  for (const auto &[bind, expected] : options) {
    std::vector<GLint> got(4);
    glBindTexture(GL_TEXTURE_2D, bind);
    for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
      glGetTexParameteriv(GL_TEXTURE_2D, name, &got[name - GL_TEXTURE_MIN_FILTER]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &got[3]);
    EXPECT_EQ(got, expected) << bind;
  }
  GlDriver->ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_TRUE);
  GlDriver->ReleaseTexture(12345);     // not in the list: nothing changes
  GlDriver->ReleaseTexture(binds[3]);  // from the middle of the list
  EXPECT_EQ(glIsTexture(binds[3]), GL_FALSE);
  GlDriver->ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_FALSE);
  for (int i : {1, 2, 4}) GlDriver->ReleaseTexture(binds[i]);
}

TEST_F(TextureTest, AlphaRulesOnKnownTexelsAndTheTopRowFirst) {
  // Texels: black, white, grey (90, 120, 150: mean 120), red (mean 85). The PNG path scales luminance by
  // m x trunc(alpha x 255) / 256, so white at 0.5 gives 126 there and 127 elsewhere.
  const struct { int32_t mode; float alpha; uint8_t expected[4], png[4]; } cases[] = {
      {ALPHA_CONSTANT, 1.0f, {255, 255, 255, 255}, {255, 255, 255, 255}},
      {ALPHA_CONSTANT, 0.5f, {127, 127, 127, 127}, {127, 127, 127, 127}},
      {ALPHA_COLORKEY, 1.0f, {0, 255, 255, 255}, {0, 255, 255, 255}},
      {ALPHA_COLORKEY, 0.2f, {0, 51, 51, 51}, {0, 51, 51, 51}},
      {ALPHA_LUMINANCE, 0.5f, {0, 127, 60, 42}, {0, 126, 59, 42}},
      {ALPHA_LUMINANCE, 1.0f, {0, 255, 120, 85}, {0, 254, 119, 84}},
      {7, 1.0f, {0, 255, 255, 255}, {0, 255, 255, 255}}};  // any other mode is the colour key
  for (const std::string name : {"four.gif", "four.bmp", "four.png"})
    for (auto &c : cases) {
      uint32_t bind = Load(name, c.mode, 0, 1, c.alpha);
      const FRAME t = ReadTexture(bind);
      ASSERT_EQ(t.Width * 10 + t.Height, 4 * 10 + 2);
      for (int x = 0; x < 4; x++) {
        EXPECT_EQ(t.At(x, 0)[0] << 16 | t.At(x, 0)[1] << 8 | t.At(x, 0)[2], (int)kFour[x]) << name;
        EXPECT_EQ(t.At(x, 0)[3], name == "four.png" ? c.png[x] : c.expected[x])
            << name << " mode " << c.mode << " alpha " << c.alpha << " x " << x;
      }
      GlDriver->ReleaseTexture(bind);
    }
  PngAlphaMode = 9;
  EXPECT_EQ(PngAlphaCallback(0, 0, 0), 255);
}

// Loose and archived pictures: the first four characters of the extension pick the loader; every request is
// logged; a failed load gives its name back (the PNG path binds one before reading) and leaves no file behind.
// Refused sizes are rescaled with a warning; the GIF path reports the uploaded size, the PNG path the file's,
// and a cache hit leaves the last upload's.
TEST_F(TextureTest, ExtensionPicksTheLoaderRefusedSizesAreRescaledAndFailuresLeaveNothingBehind) {
  const auto textures = [] {
    int count = 0;
    for (GLuint name = 1; name < 4096; name++) count += glIsTexture(name) == GL_TRUE;
    return count;
  };
  const int before = textures();
  for (const std::string name : {"missing.png", "missing.gif", "missing.jpg", "missing.bmp"})
    EXPECT_EQ(Load(name), 0u) << name;
  WriteWholeFile("wide.gif", GiflibGif(300, 200, std::vector<uint8_t>(300 * 200, 1), {0, 0, 0, 10, 20, 30}, 1));
  WriteWholeFile("wide.png", Png(300, 200, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(300 * 200 * 3, 200)));
  std::vector<uint32_t> binds;
  for (const auto &[name, reported] : {std::pair{"wide.gif", 512256}, {"wide.png", 300200}, {"wide.gif", 300200}}) {
    binds.push_back(Load(name));
    EXPECT_EQ(GlDriver->LastTextureWidth * 1000 + GlDriver->LastTextureHeight, reported) << name;
    EXPECT_EQ(ReadTexture(binds.back()).Width, 512) << name;
    EXPECT_TRUE(Logged("\n PROGRAM: -- WARNING: Texture " + std::string(name) + " will be rescaled ( 300 200 ) !"));
  }
  WriteWholeFile("upper.JPG", Jpeg(16, 8, std::vector<uint32_t>(16 * 8, 0x336699), 3));
  std::string archive;
  for (const std::string name : {"four.png", "four.gif", "four.bmp", "four.jpg"}) {
    const std::string bytes = ReadWholeFile(name);
    archive += StoredMember("pics/" + name, bytes);
    archive += StoredMember("pics/bad_" + name, bytes.substr(0, bytes.size() / 2));
  }
  for (auto [file, member] : {std::pair("four.png", "four.pngx"), {"four.bmp", "FOUR.BMP"}, {"upper.JPG", "upper.JPG"},
                              {"upper.JPG", "upper.jpeg"}, {"four.png", "data.set/four.png"},
                              {"four.png", "noextension"}, {"four.png", "four.txt"}})
    archive += StoredMember(member, ReadWholeFile(file));
  WriteWholeFile("tunemill.dat", archive);
  OpenResource();
  for (const char *name :
       {"pics/four.png", "PICS\\FOUR.GIF", "pics/four.bmp", "pics/four.jpg", "four.pngx", "FOUR.BMP", "upper.JPG"}) {
    binds.push_back(Load(name));
    EXPECT_EQ(glIsTexture(binds.back()), GL_TRUE) << name;
  }
  EXPECT_EQ(GlDriver->LastTextureWidth * 100 + GlDriver->LastTextureHeight, 16 * 100 + 8);
  for (const std::string name : {"upper.jpeg", "data.set/four.png", "noextension", "four.txt", "pics/bad_four.png",
                                 "pics/bad_four.gif", "pics/bad_four.bmp", "pics/bad_four.jpg"}) {
    EXPECT_EQ(Load(name), 0u) << name;
    EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: " + name + " ")) << name;
  }
  EXPECT_EQ(textures(), before + 9);  // the archive's seven and the two wide pictures
  EXPECT_TRUE(TemporaryFilesLeft().empty());
  CloseResource();
  // Later tests read their pictures straight from the disk again.
  gResourceOpened = 0;
  for (uint32_t bind : binds) GlDriver->ReleaseTexture(bind);
}

}  // namespace
