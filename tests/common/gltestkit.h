// A real main window and c_GLDRIVER for the tests that draw (under scripts/with-xvfb), and what they drew.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// The shown main window and a current c_GLDRIVER of width x height in its default state (windowed, double-
// buffered, 16-bit depth; SetupOptions to match, culling and brightness off), replacing earlier ones.
void OpenTestDriver(int32_t width, int32_t height);
// Deletes the driver and the window; the GL driver library stays loaded until the process ends.
void CloseTestDriver();

// A suite whose tests share one 64 x 64 driver.
class DriverSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenTestDriver(64, 64); }
  static void TearDownTestSuite() { CloseTestDriver(); }
};

// RGBA bytes, top row first: the back buffer read after glFinish (ReadFrame) or a texture (ReadTexture).
struct FRAME {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgba;
  const uint8_t *At(int32_t x, int32_t y) const { return &Rgba[((size_t)y * Width + x) * 4]; }
};
FRAME ReadFrame();

// GL state read back: integers, floats, a material colour (four values) or shininess (one) of `face`, and
// level 0 of texture `bind` as uploaded (left bound to GL_TEXTURE_2D).
int32_t GlInteger(uint32_t name);
std::vector<float> GlFloats(uint32_t name, int count);
std::vector<float> GlMaterial(uint32_t face, uint32_t name);
FRAME ReadTexture(uint32_t bind);

struct REGION { int32_t X0, Y0, X1, Y1; };  // [X0, X1) x [Y0, Y1) pixels, top-left origin
// The region from (fx0, fy0) to (fx1, fy1) in fractions of the frame's size (the director's and the overlays'
// unit square; panel units are those divided by 512).
REGION Part(const FRAME &frame, double fx0, double fy0, double fx1, double fy1);
// Pixels of the region with a colour channel above `threshold`.
int32_t CountLit(const FRAME &frame, REGION region, int threshold = 24);
// The largest difference of any channel between two frames of the same size inside the region.
int32_t MaxDifference(const FRAME &a, const FRAME &b, REGION region);
// A pixel of the X screen as 0xRRGGBB (what the display shows, window placement included), read on a
// connection of its own from any thread; 0xFFFFFFFF without a display.
uint32_t ScreenPixel(int x, int y);
// Writes the frame as an opaque PNG file, for looking at what a test drew.
bool SaveFramePng(const FRAME &frame, const std::string &path);
