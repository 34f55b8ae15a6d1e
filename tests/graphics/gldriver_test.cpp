// The GL driver in a real context (Mesa under a private Xvfb of 1024x768 at 24 bits): construction and its
// fatal paths, the pixel-format printout and identity log, the default render state read back with glGet,
// and the extension test.
#include <GL/gl.h>

#include "graphics/gldriver.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gltestkit.h"
#include "platform/platform.h"
#include "platform/platform_local.h"
#include "shell/shell.h"
#include "testkit.h"

namespace {

PlatformWindow *sChildWindow = nullptr;

// Runs after the message box: a display still out of its desktop mode ends the child with another code.
void CheckDisplayRestored() {
  const Uint32 flags = SDL_GetWindowFlags(PlatformNativeWindow(sChildWindow));
  if (PlatformDisplayModeChanged() || (flags & SDL_WINDOW_FULLSCREEN)) _exit(97);
}

// Each in a child that has the display for its window but none for the message box. They come first, while
// this process has not started any video of its own for the children to inherit.
TEST(DriverFatal, EveryConstructionFailureGivesItsMessageWithTheDisplayRestored) {
  ASSERT_NE(getenv("DISPLAY"), nullptr);
  const std::string display = getenv("DISPLAY");
  ScopedTempDir dir;
  const struct {
    bool window;
    int32_t width, height;
    const char *visual;  // the X visual every new window asks for, when set
    const char *message;
  } cases[] = {
      {false, 640, 480, nullptr, "c_GLDRIVER::WinHandle == NULL !"},
      {true, 640, 480, nullptr, "c_GLDRIVER::ChangeDisplaySettings failed !"},
      // A visual the display lacks: no format can be chosen once the mode has changed.
      {true, 1024, 768, "0x7ffffff0", "c_GLDRIVER::No valid PixelFormat found !"},
  };
  for (const auto &c : cases) {
    ExpectFatal(
        [&] {
          if (c.window) {
            setenv("DISPLAY", display.c_str(), 1);
            sChildWindow = PlatformCreateMainWindow("Tunemill");
            if (sChildWindow == nullptr) _exit(98);
            PlatformShowWindow(sChildWindow);
            // Connected now; without DISPLAY the fatal error's box goes to standard error instead of waiting.
            unsetenv("DISPLAY");
            AddShutdownCallback(CheckDisplayRestored);
          }
          if (c.visual) setenv("SDL_VIDEO_X11_WINDOW_VISUALID", c.visual, 1);
          new (__LINE__, "gldriver_test") c_GLDRIVER(sChildWindow, 8 | 32, c.width, c.height, 32, 1);
        },
        "gldriver", c.message);
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
    driver_ = new (__LINE__, "gldriver_test") c_GLDRIVER(window_, flags, width, height, 32, force);
  }
  const std::vector<float> identity_ = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  ScopedTempDir dir_;
  PlatformWindow *window_ = nullptr;
  c_GLDRIVER *driver_ = nullptr;
};

std::string GlText(GLenum name) { return reinterpret_cast<const char *>(glGetString(name)); }

TEST_F(Driver, WindowedConstructionLogsTheFormatTheIdentityAndTheExtensionsAndShowsWhatIsDrawn) {
  Create(8 | 32, 640, 480, 0);
  EXPECT_EQ(driver_->MaxLights, GlInteger(GL_MAX_LIGHTS));
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  int32_t rect[4];
  PlatformGetWindowRect(window_, &rect[0], &rect[1], &rect[2], &rect[3]);
  EXPECT_EQ(std::vector<int32_t>(rect, rect + 4), (std::vector<int32_t>{0, 0, 640, 480}));
  EXPECT_EQ(GlFloats(GL_VIEWPORT, 4), (std::vector<float>{0, 0, 640, 480}));
  EXPECT_EQ(GlFloats(GL_MODELVIEW_MATRIX, 16), identity_);
  EXPECT_EQ(GlInteger(GL_DOUBLEBUFFER) * 10 + glIsEnabled(GL_DITHER), 10);
  // The entry points are there exactly when their extension is.
  const bool multitexture = c_GLDRIVER::IsExtensionSupported("GL_ARB_multitexture");
  EXPECT_EQ(glActiveTextureARB != nullptr && glMultiTexCoord2fARB != nullptr, multitexture);
  EXPECT_EQ(driver_->HasEnvCombine, c_GLDRIVER::IsExtensionSupported("GL_EXT_texture_env_combine"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // The printout in its exact form: the request's fixed values, 8 bits a colour on the 24-bit display and at
  // least the depth and stencil bits asked for.
  const std::string log = ReadWholeFile("program.log");
  const std::string head =
      "\n -------------------------------------------------------- \n\n\n[pixelformatdesctiptor printout] \n";
  const size_t at = log.find(head) + head.size();
  ASSERT_GT(at, head.size()) << log;
  // Read leniently, then written again with the same format: the log must be exactly that text.
  const char *format =
      "nVersion     = %i \ndwFlags      = %X \niPixelType   = %X \ncColorBits   = %i \ncRedBits     = %i \n"
      "cGreenBits   = %i \ncBlueBits    = %i \ncAlphaBits   = %i \ncAccumBits   = %i \ncDepthBits   = %i \n"
      "cStencilBits = %i \ncAuxBuffers  = %i \niLayerType   = %X \n[pixelformatdesctiptor end] \n\n"
      "\n -------------------------------------------------------- \n";
  int v[13] = {};
  ASSERT_EQ(sscanf(log.c_str() + at, format, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9],
                   &v[10], &v[11], &v[12]),
            13)
      << log.substr(at);
  char text[1024];
  const int end = snprintf(text, sizeof text, format, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                           v[10], v[11], v[12]);
  EXPECT_EQ(log.compare(at, (size_t)end, text), 0) << log.substr(at);
  EXPECT_EQ(std::vector<int>({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[12]}),
            std::vector<int>({1, 0x25, 0, 24, 8, 8, 8, 0}));
  EXPECT_GE(v[9], 24);
  EXPECT_GE(v[10], 8);
  std::string extensions = GlText(GL_EXTENSIONS);
  for (char &c : extensions) c = c == ' ' ? '\n' : c;
  const std::string identity = "\n\n GL_RENDERER: " + GlText(GL_RENDERER) + " \n GL_VENDOR: " + GlText(GL_VENDOR) +
                               " \n GL_VERSION: " + GlText(GL_VERSION) + " \n\n HARDWARE EXTENSIONS : \n\n" + extensions +
                               " \n\n\n ";
  EXPECT_EQ(log.compare(at + end, identity.size(), identity), 0) << log.substr(at + end);
  // The copy of the list went back to the allocator.
  EXPECT_EQ(AllocTotal(), static_cast<int64_t>(sizeof(c_GLDRIVER)));

  // What is drawn and swapped is on the screen, in the window's place.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformSwapBuffers(driver_->DeviceContext);
  EXPECT_TRUE(WaitFor([] { return ScreenPixel(10, 10) == 0xFF0000u; }, 3, 0.02));
  EXPECT_EQ(ScreenPixel(639, 479), 0xFF0000u);
  EXPECT_NE(ScreenPixel(641, 481), 0xFF0000u);
}

TEST_F(Driver, ForcedSingleBufferedModeIsHeldUntilDestruction) {
  Create(0, 1024, 768, 1);
  EXPECT_EQ(PlatformDisplayModeChanged(), 1);
  EXPECT_TRUE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  EXPECT_EQ(GlInteger(GL_DOUBLEBUFFER), 0);
  EXPECT_GE(GlInteger(GL_DEPTH_BITS), 16);
  EXPECT_NE(ReadWholeFile("program.log").find("\ndwFlags      = 24 \n"), std::string::npos);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  PlatformSwapBuffers(driver_->DeviceContext);
  delete driver_;
  driver_ = nullptr;
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  EXPECT_FALSE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

// Every drawer starts from the default state and leaves its own behind: what the last one left must not
// reach the next, and what the default state leaves alone stays.
TEST_F(Driver, DefaultStateSetsWhatItCoversAndLeavesTheRest) {
  Create(8 | 32, 640, 480, 0);
  const GLenum turnedOff[] = {GL_LIGHTING, GL_FOG, GL_ALPHA_TEST, GL_CULL_FACE, GL_STENCIL_TEST, GL_VERTEX_ARRAY};
  for (GLenum cap : turnedOff) cap == GL_VERTEX_ARRAY ? glEnableClientState(cap) : glEnable(cap);
  for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D}) glDisable(cap);
  glEnable(GL_LIGHT0);
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
  for (GLenum cap : turnedOff) EXPECT_FALSE(glIsEnabled(cap)) << std::hex << cap;
  for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHT0}) EXPECT_TRUE(glIsEnabled(cap)) << std::hex << cap;
  const std::pair<GLenum, std::vector<float>> floats[] = {
      {GL_BLEND_SRC, {GL_SRC_ALPHA}}, {GL_BLEND_DST, {GL_ONE_MINUS_SRC_ALPHA}}, {GL_DEPTH_FUNC, {GL_LESS}},
      {GL_DEPTH_WRITEMASK, {1}},      {GL_POLYGON_MODE, {GL_FILL, GL_FILL}},    {GL_CURRENT_COLOR, {1, 1, 1, 1}},
      {GL_MATRIX_MODE, {GL_MODELVIEW}}, {GL_TEXTURE_MATRIX, identity_},
      {GL_VIEWPORT, {1, 2, 30, 40}}};  // left alone
  for (const auto &f : floats) EXPECT_EQ(GlFloats(f.first, (int)f.second.size()), f.second) << std::hex << f.first;
  // The lighting material, its emission the brightness, on both faces.
  const std::pair<GLenum, std::vector<float>> material[] = {
      {GL_AMBIENT, {0.3f, 0.3f, 0.3f, 1}}, {GL_DIFFUSE, {0.6f, 0.6f, 0.6f, 1}}, {GL_SPECULAR, {0, 0, 0, 1}},
      {GL_EMISSION, {0.5f, 0.5f, 0.5f, 1}}, {GL_SHININESS, {0}}};
  for (GLenum face : {GL_FRONT, GL_BACK})
    for (const auto &m : material) EXPECT_EQ(GlMaterial(face, m.first), m.second) << face << " " << m.first;
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Driver, TextureUnitDefaults) {
  Create(8, 640, 480, 0);
  ASSERT_NE(glActiveTextureARB, nullptr);
  for (int32_t combine : {1, 0}) {
    if (combine == 1 && !driver_->HasEnvCombine) continue;
    driver_->HasEnvCombine = combine;
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, GL_REPLACE);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_Q);
    glMatrixMode(GL_TEXTURE);
    glScalef(2, 2, 2);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    SetupOptions.Brightness = 0.25f;

    driver_->SetTextureUnitDefaults();

    EXPECT_EQ(GlInteger(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint mode = 0, rgb = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, &rgb);
    EXPECT_EQ(mode, combine ? GL_COMBINE_EXT : GL_MODULATE);
    EXPECT_EQ(rgb, combine ? GL_MODULATE : GL_REPLACE);
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q})
      EXPECT_FALSE(glIsEnabled(gen));
    EXPECT_EQ(GlFloats(GL_TEXTURE_MATRIX, 16), identity_);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(GlMaterial(GL_FRONT, GL_EMISSION), (std::vector<float>{0.25f, 0.25f, 0.25f, 1}));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Driver, ExtensionTestIsAWholeWordSearch) {
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(""), 0);
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported("GL_ARB_multitexture GL_EXT_bgra"), 0);
  Create(8, 640, 480, 0);
  std::istringstream words(GlText(GL_EXTENSIONS));
  std::vector<std::string> listed;
  for (std::string word; words >> word;) listed.push_back(word);
  const std::set<std::string> names(listed.begin(), listed.end());
  ASSERT_FALSE(listed.empty());
  // Every listed name, the first and the last included; cut by a character it is found only when listed.
  for (const std::string &name : listed) {
    EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(name.c_str()), 1) << name;
    for (const std::string &part : {name.substr(0, name.size() - 1), name.substr(1)})
      EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(part.c_str()), (int)names.count(part)) << part;
  }
  for (const std::string &none : {std::string("GL_"), listed[0] + " ", std::string("GL_TUNEMILL_nothing")})
    EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(none.c_str()), 0) << none;
}

}  // namespace
