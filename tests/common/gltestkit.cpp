#include "gltestkit.h"

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
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
  const std::vector<float> view = GlFloats(GL_VIEWPORT, 4);
  FRAME frame = {(int32_t)view[2], (int32_t)view[3], std::vector<uint8_t>((size_t)view[2] * view[3] * 4)};
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  for (int32_t y = 0; y < frame.Height; y++)  // OpenGL's rows go up from the bottom
    glReadPixels((GLint)view[0], (GLint)view[1] + frame.Height - 1 - y, frame.Width, 1, GL_RGBA,
                 GL_UNSIGNED_BYTE, &frame.Rgba[(size_t)y * frame.Width * 4]);
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
    for (int32_t x = region.X0; x < region.X1; x++)
      lit += *std::max_element(frame.At(x, y), frame.At(x, y) + 3) > threshold;
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
  XImage *image = display ? XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap) : nullptr;
  const uint32_t pixel = image ? (uint32_t)(XGetPixel(image, 0, 0) & 0xFFFFFF) : 0xFFFFFFFFu;
  if (image) XDestroyImage(image);
  if (display) XCloseDisplay(display);
  return pixel;
}

bool SaveFramePng(const FRAME &frame, const std::string &path) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION, image.format = PNG_FORMAT_RGBA;
  image.width = (png_uint_32)frame.Width, image.height = (png_uint_32)frame.Height;
  // Opaque pictures: the alpha a drawer leaves in the frame is not what the screen shows.
  std::vector<uint8_t> opaque = frame.Rgba;
  for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
  return png_image_write_to_file(&image, path.c_str(), 0, opaque.data(), 0, nullptr) != 0;
}
