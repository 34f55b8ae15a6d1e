// A real main window and c_GLDRIVER for the tests that draw, and reading back what they drew. Runs under
// scripts/with-xvfb (the DISPLAY tests of the build).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Opens the main window, shown, and a real c_GLDRIVER of width x height pixels (windowed, double-buffered,
// 16-bit depth) with its context current and the default state set, replacing the ones opened before.
// SetupOptions gets the same size, culling and brightness off.
void OpenTestDriver(int32_t width, int32_t height);
// Deletes the driver and the window. The GL driver library stays loaded until the process ends.
void CloseTestDriver();

// A suite whose tests share one 64 x 64 driver.
class DriverSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { OpenTestDriver(64, 64); }
  static void TearDownTestSuite() { CloseTestDriver(); }
};

// The back buffer as RGBA bytes, top row first, read after glFinish.
struct FRAME {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgba;
  const uint8_t *At(int32_t x, int32_t y) const { return &Rgba[((size_t)y * Width + x) * 4]; }
};
FRAME ReadFrame();

// GL state of the current context, read back.
int32_t GlInteger(uint32_t name);
std::vector<float> GlFloats(uint32_t name, int count);
// A material colour (four values) or the shininess (one) of `face`.
std::vector<float> GlMaterial(uint32_t face, uint32_t name);
// Level 0 of texture `bind` (left bound to GL_TEXTURE_2D) as RGBA bytes, top row first as uploaded.
FRAME ReadTexture(uint32_t bind);

// A rectangle of pixels, [X0, X1) x [Y0, Y1), top-left origin. Fractions of the frame convert through
// Part().
struct REGION {
  int32_t X0, Y0, X1, Y1;
};
// The region of `frame` from (fx0, fy0) to (fx1, fy1), each a fraction of the frame's size (the director's
// and the overlays' unit square; panel units are those divided by 512).
REGION Part(const FRAME &frame, double fx0, double fy0, double fx1, double fy1);
// How many pixels of the region have a colour channel above `threshold`.
int32_t CountLit(const FRAME &frame, REGION region, int threshold = 24);
// The largest difference of any channel between two frames of the same size inside the region.
int32_t MaxDifference(const FRAME &a, const FRAME &b, REGION region);
// The colour of one pixel of the X screen as 0xRRGGBB, read on a connection of its own (what the display
// really shows, window placement included); 0xFFFFFFFF without a display. Any thread.
uint32_t ScreenPixel(int x, int y);
// Writes the frame as an RGB PNG file (for looking at what a test drew).
bool SaveFramePng(const FRAME &frame, const std::string &path);
