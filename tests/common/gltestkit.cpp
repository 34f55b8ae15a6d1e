#include "gltestkit.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "graphics/gldriver.h"
#include "platform/platform.h"
#include "shell/shell.h"

void OpenTestDriver(int32_t width, int32_t height) {
  CloseTestDriver();
  SetupOptions = SETUP_OPTIONS{width, height, 32, 16, 0, 0, 0, 0.0f, 0, 1};
  MainWindow = PlatformCreateMainWindow("Tunemill");
  ASSERT_NE(MainWindow, nullptr) << "no display: run under scripts/with-xvfb";
  PlatformShowWindow(MainWindow);
  GlDriver = new (__LINE__, "test") c_GLDRIVER(MainWindow, GLDRIVER_DOUBLEBUFFER, width, height, 32, 0);
  GlDriver->MakeCurrent();
  c_GLDRIVER::SetDefaultState();
}

void CloseTestDriver() {
  delete GlDriver;
  GlDriver = nullptr;
  PlatformDestroyWindow(MainWindow);
  MainWindow = nullptr;
}

FRAME ReadFrame() {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  FRAME frame;
  frame.Width = viewport[2];
  frame.Height = viewport[3];
  std::vector<uint8_t> bottomUp((size_t)frame.Width * frame.Height * 4);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(viewport[0], viewport[1], frame.Width, frame.Height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  frame.Rgba.resize(bottomUp.size());
  const size_t row = (size_t)frame.Width * 4;
  for (int32_t y = 0; y < frame.Height; y++)
    std::copy_n(&bottomUp[(size_t)(frame.Height - 1 - y) * row], row, &frame.Rgba[(size_t)y * row]);
  return frame;
}

int32_t GlInteger(uint32_t name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

std::vector<float> GlFloats(uint32_t name, int count) {
  std::vector<float> values(16);
  glGetFloatv(name, values.data());
  values.resize((size_t)count);
  return values;
}

std::vector<float> GlMaterial(uint32_t face, uint32_t name) {
  std::vector<float> values(4);
  glGetMaterialfv(face, name, values.data());
  values.resize(name == GL_SHININESS ? 1 : 4);
  return values;
}

FRAME ReadTexture(uint32_t bind) {
  FRAME t;
  glBindTexture(GL_TEXTURE_2D, bind);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.Width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.Height);
  t.Rgba.resize((size_t)t.Width * t.Height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.Rgba.data());
  return t;
}

REGION Part(const FRAME &frame, double fx0, double fy0, double fx1, double fy1) {
  auto at = [](double f, int32_t size) { return std::clamp((int32_t)(f * size + 0.5), 0, size); };
  return {at(fx0, frame.Width), at(fy0, frame.Height), at(fx1, frame.Width), at(fy1, frame.Height)};
}

int32_t CountLit(const FRAME &frame, REGION region, int threshold) {
  int32_t lit = 0;
  for (int32_t y = region.Y0; y < region.Y1; y++)
    for (int32_t x = region.X0; x < region.X1; x++) {
      const uint8_t *p = frame.At(x, y);
      if (std::max({p[0], p[1], p[2]}) > threshold) lit++;
    }
  return lit;
}

int32_t MaxDifference(const FRAME &a, const FRAME &b, REGION region) {
  if (a.Width != b.Width || a.Height != b.Height) return 256;
  int32_t most = 0;
  for (int32_t y = region.Y0; y < region.Y1; y++)
    for (int32_t x = region.X0; x < region.X1; x++)
      for (int c = 0; c < 3; c++) most = std::max(most, std::abs(a.At(x, y)[c] - b.At(x, y)[c]));
  return most;
}

uint32_t ScreenPixel(int x, int y) {
  Display *display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0xFFFFFFFFu;
  XImage *image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  const uint32_t pixel = image != nullptr ? (uint32_t)(XGetPixel(image, 0, 0) & 0xFFFFFF) : 0xFFFFFFFFu;
  if (image != nullptr) XDestroyImage(image);
  XCloseDisplay(display);
  return pixel;
}

bool SaveFramePng(const FRAME &frame, const std::string &path) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = (png_uint_32)frame.Width;
  image.height = (png_uint_32)frame.Height;
  image.format = PNG_FORMAT_RGBA;
  // Opaque pictures: the alpha a drawer leaves in the frame is not what the screen shows.
  std::vector<uint8_t> opaque = frame.Rgba;
  for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
  return png_image_write_to_file(&image, path.c_str(), 0, opaque.data(), 0, nullptr) != 0;
}
