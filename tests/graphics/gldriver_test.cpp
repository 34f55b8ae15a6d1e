// The GL driver in a real context (Mesa under a private Xvfb of 1024x768 at 24 bits): construction and its
// fatal paths, the pixel-format printout and identity log, the extension test, and the default render state
// read back with glGet.
#include <GL/gl.h>

#include "graphics/gldriver.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <regex>
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
  // With a window or none, the size of the mode asked for, and the X visual every new window asks for: one
  // the display lacks leaves no format to choose once the mode has changed. (A mode the display lacks is the
  // end-to-end run's.)
  const struct { bool window; int32_t width, height; const char *visual, *message; } cases[] = {
      {false, 640, 480, nullptr, "c_GLDRIVER::WinHandle == NULL !"},
      {true, 1024, 768, "0x7ffffff0", "c_GLDRIVER::No valid PixelFormat found !"}};
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

int Supported(const std::string &name) { return c_GLDRIVER::IsExtensionSupported(name.c_str()); }

TEST_F(Driver, WindowedConstructionLogsTheFormatAndTheIdentityFindsWholeExtensionNamesAndShowsWhatIsDrawn) {
  Create(8 | 32, 640, 480, 0);
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  EXPECT_EQ(GlFloats(GL_VIEWPORT, 4), (std::vector<float>{0, 0, 640, 480}));
  EXPECT_EQ(GlFloats(GL_MODELVIEW_MATRIX, 16), identity_);
  EXPECT_EQ(GlInteger(GL_DOUBLEBUFFER) * 10 + glIsEnabled(GL_DITHER), 10);
  // The entry points are there exactly when their extension is.
  EXPECT_EQ(glActiveTextureARB != nullptr && glMultiTexCoord2fARB != nullptr, Supported("GL_ARB_multitexture") == 1);
  EXPECT_EQ(driver_->HasEnvCombine, Supported("GL_EXT_texture_env_combine"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // The printout in its exact form: the request's fixed values, 8 bits a colour on the 24-bit display and at
  // least the depth and stencil bits asked for; right after it the identity and the extensions, one a line.
  const std::string log = ReadWholeFile("program.log");
  const std::regex printout(
      "\n -{56} \n\n\n\\[pixelformatdesctiptor printout\\] \nnVersion     = 1 \ndwFlags      = 25 \n"
      "iPixelType   = 0 \ncColorBits   = 24 \ncRedBits     = 8 \ncGreenBits   = 8 \ncBlueBits    = 8 \n"
      "cAlphaBits   = \\d+ \ncAccumBits   = \\d+ \ncDepthBits   = (\\d+) \ncStencilBits = (\\d+) \n"
      "cAuxBuffers  = \\d+ \niLayerType   = 0 \n\\[pixelformatdesctiptor end\\] \n\n\n -{56} \n");
  std::smatch format;
  ASSERT_TRUE(std::regex_search(log, format, printout)) << log;
  EXPECT_GE(std::stoi(format[1]), 24);
  EXPECT_GE(std::stoi(format[2]), 8);
  std::string extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
  for (char &c : extensions) c = c == ' ' ? '\n' : c;
  const auto text = [](GLenum name) { return std::string(reinterpret_cast<const char *>(glGetString(name))); };
  const std::string identity = "\n\n GL_RENDERER: " + text(GL_RENDERER) + " \n GL_VENDOR: " + text(GL_VENDOR) +
                               " \n GL_VERSION: " + text(GL_VERSION) + " \n\n HARDWARE EXTENSIONS : \n\n" + extensions +
                               " \n\n\n ";
  EXPECT_EQ(log.compare(format.position(0) + format.length(0), identity.size(), identity), 0) << log;
  // The copy of the list went back to the allocator.
  EXPECT_EQ(AllocTotal(), static_cast<int64_t>(sizeof(c_GLDRIVER)));

  // Every listed name, the first and the last included; cut by a character it is found only when listed.
  std::istringstream words(extensions);
  const std::set<std::string> names{std::istream_iterator<std::string>(words), {}};
  ASSERT_GE(names.size(), 2u);
  for (const std::string &name : names) {
    EXPECT_EQ(Supported(name), 1) << name;
    for (const std::string &part : {name.substr(0, name.size() - 1), name.substr(1)})
      EXPECT_EQ(Supported(part), (int)names.count(part)) << part;
  }
  // No name, two names side by side as the text has them, and names not listed are never found.
  std::string pair = extensions.substr(0, extensions.find('\n', extensions.find('\n') + 1));
  pair[pair.find('\n')] = ' ';
  for (const std::string &none : {std::string(), pair, std::string("GL_"), std::string("GL_TUNEMILL_nothing")})
    EXPECT_EQ(Supported(none), 0) << none;

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
// reach the next, and what the default state leaves alone stays. Texture loading resets unit 0 the same way.
TEST_F(Driver, DefaultStateAndTextureUnitDefaultsSetWhatTheyCoverAndLeaveTheRest) {
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
  for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHT0})
    EXPECT_TRUE(glIsEnabled(cap)) << std::hex << cap;
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

  // Unit 0 with and without the combine extension, whatever unit was selected and however it was set.
  ASSERT_NE(glActiveTextureARB, nullptr);
  for (int32_t combine : {driver_->HasEnvCombine, 0}) {
    driver_->HasEnvCombine = combine;
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, GL_REPLACE);
    for (GLenum cap : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_Q}) glEnable(cap);
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

}  // namespace
