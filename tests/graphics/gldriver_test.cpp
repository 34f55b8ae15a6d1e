// The GL driver in a real context (Mesa under a private Xvfb of 1024x768 at 24 bits): construction and its
// fatal paths, the pixel-format printout and identity log, the default render state read back with glGet,
// and the extension test.
#include <GL/gl.h>

#include "graphics/gldriver.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "display_keeper.h"
#include "platform/platform.h"
#include "platform/platform_local.h"
#include "shell/shell.h"
#include "testkit.h"

namespace {

// ---------------------------------------------------------------------------------------------------------
// Fatal paths, each in a child that has the display for its window but none for the message box.
// They come first, while this process has not started any video of its own for the children to inherit.

std::string sDisplay;
PlatformWindow *sChildWindow = nullptr;

void StartChildWindow() {
  setenv("DISPLAY", sDisplay.c_str(), 1);
  sChildWindow = PlatformCreateMainWindow("Tunemill");
  if (sChildWindow == nullptr) _exit(98);
  PlatformShowWindow(sChildWindow);
  // Connected now; without DISPLAY the fatal error's box goes to standard error instead of waiting.
  unsetenv("DISPLAY");
}

// Runs after the message box: tells whether the display was already back in its desktop mode.
void ReportDisplayMode() {
  Uint32 flags = SDL_GetWindowFlags(PlatformNativeWindow(sChildWindow));
  printf("\nmode changed %d, fullscreen %d\n", PlatformDisplayModeChanged(), (flags & SDL_WINDOW_FULLSCREEN) ? 1 : 0);
}

std::string FatalOut(const char *message) {
  return std::string(" PROGRAM: -- ERROR: at gldriver ") + "LINE : " + message;
}

// The standard output's error line with the line number taken out.
std::string WithoutLine(const std::string &out) {
  size_t at = out.find("at gldriver ");
  if (at == std::string::npos) return out;
  size_t begin = at + 12, end = out.find(" : ", begin);
  if (end == std::string::npos) return out;
  return out.substr(0, begin) + "LINE" + out.substr(end);
}

class DriverFatal : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepDisplayOpen();
    const char *display = getenv("DISPLAY");
    ASSERT_NE(display, nullptr);
    sDisplay = display;
  }
  ScopedTempDir dir_;
};

TEST_F(DriverFatal, NullWindow) {
  ChildResult child = RunChild([] { new (__LINE__, "gldriver_test") c_GLDRIVER(nullptr, 8, 640, 480, 32, 1); });
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: c_GLDRIVER::WinHandle == NULL !\n");
  EXPECT_NE(WithoutLine(child.out).find(FatalOut("c_GLDRIVER::WinHandle == NULL !")), std::string::npos) << child.out;
}

TEST_F(DriverFatal, AForcedModeTheDisplayLacksChangesNothing) {
  for (int bits : {32, 16}) {
    int width = bits == 32 ? 640 : 1024, height = bits == 32 ? 480 : 768;
    ChildResult child = RunChild([=] {
      StartChildWindow();
      AddShutdownCallback(ReportDisplayMode);
      new (__LINE__, "gldriver_test") c_GLDRIVER(sChildWindow, 8 | 32, width, height, bits, 1);
    });
    ASSERT_TRUE(child.exited) << bits;
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.err, "ERROR: c_GLDRIVER::ChangeDisplaySettings failed !\n");
    EXPECT_NE(WithoutLine(child.out).find(FatalOut("c_GLDRIVER::ChangeDisplaySettings failed !")),
              std::string::npos)
        << child.out;
    EXPECT_NE(child.out.find("mode changed 0, fullscreen 0"), std::string::npos) << child.out;
  }
}

TEST_F(DriverFatal, AFailureAfterTheModeChangeRestoresTheDisplayFirst) {
  ChildResult child = RunChild([] {
    StartChildWindow();
    // Every window made from now on asks for a visual the display does not have, so no format can be
    // chosen once the mode has changed.
    setenv("SDL_VIDEO_X11_WINDOW_VISUALID", "0x7ffffff0", 1);
    AddShutdownCallback(ReportDisplayMode);
    new (__LINE__, "gldriver_test") c_GLDRIVER(sChildWindow, 8 | 32, 1024, 768, 32, 1);
  });
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: c_GLDRIVER::No valid PixelFormat found !\n");
  EXPECT_NE(child.out.find("mode changed 0, fullscreen 0"), std::string::npos) << child.out;
}

// ---------------------------------------------------------------------------------------------------------
// A driver on the main window

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepDisplayOpen();
    SetupOptions.Brightness = 0.0f;
    window_ = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(window_, nullptr);
    PlatformShowWindow(window_);
  }
  void TearDown() override {
    delete driver_;
    PlatformDestroyWindow(window_);
    // Video stays up for the next test (see platform_display_test.cpp).
  }
  void Create(int32_t flags, int32_t width, int32_t height, int32_t force) {
    driver_ = new (__LINE__, "gldriver_test") c_GLDRIVER(window_, flags, width, height, 32, force);
  }
  static std::vector<float> Floats(GLenum name, int count) {
    std::vector<float> values(static_cast<size_t>(count));
    glGetFloatv(name, values.data());
    return values;
  }
  static bool IsIdentity(GLenum matrix) {
    std::vector<float> m = Floats(matrix, 16);
    for (int i = 0; i < 16; i++) {
      if (m[static_cast<size_t>(i)] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
    }
    return true;
  }
  static GLint Int(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
  }

  ScopedTempDir dir_;
  PlatformWindow *window_ = nullptr;
  c_GLDRIVER *driver_ = nullptr;
};

TEST_F(Driver, WindowedConstruction) {
  Create(8 | 32, 640, 480, 0);
  EXPECT_EQ(driver_->WinHandle, window_);
  EXPECT_EQ(driver_->DeviceContext, window_);
  EXPECT_NE(driver_->RenderContext, nullptr);
  EXPECT_EQ(driver_->LastTextureWidth, -1);
  EXPECT_EQ(driver_->LastTextureHeight, -1);
  EXPECT_EQ(driver_->TextureList, nullptr);
  EXPECT_EQ(driver_->Width, 640);
  EXPECT_EQ(driver_->Height, 480);
  EXPECT_EQ(driver_->ColorBits, 32);
  EXPECT_EQ(driver_->ForceVideoMode, 0);
  EXPECT_GE(driver_->MaxLights, 8);
  EXPECT_EQ(driver_->MaxLights, Int(GL_MAX_LIGHTS));
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);

  int32_t x, y, w, h;
  PlatformGetWindowRect(window_, &x, &y, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);

  std::vector<float> viewport = Floats(GL_VIEWPORT, 4);
  EXPECT_EQ(viewport, (std::vector<float>{0, 0, 640, 480}));
  EXPECT_EQ(Int(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_TRUE(IsIdentity(GL_PROJECTION_MATRIX));
  EXPECT_TRUE(IsIdentity(GL_MODELVIEW_MATRIX));
  EXPECT_EQ(Floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(Int(GL_ATTRIB_STACK_DEPTH), 1);
  EXPECT_EQ(Int(GL_FOG_HINT), GL_NICEST);
  EXPECT_EQ(Int(GL_LINE_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(Int(GL_POINT_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(Int(GL_POLYGON_SMOOTH_HINT), GL_FASTEST);
  EXPECT_EQ(Int(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
  EXPECT_FALSE(glIsEnabled(GL_DITHER));
  EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_SMOOTH));
  EXPECT_FALSE(glIsEnabled(GL_POINT_SMOOTH));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

  GLboolean doubleBuffer = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
  EXPECT_TRUE(doubleBuffer);
  EXPECT_GE(Int(GL_DEPTH_BITS), 24);
  EXPECT_EQ(Int(GL_STENCIL_BITS), 8);

  // Mesa offers both extensions, so both entry points are there.
  EXPECT_NE(glActiveTextureARB, nullptr);
  EXPECT_NE(glMultiTexCoord2fARB, nullptr);
  EXPECT_EQ(driver_->HasEnvCombine, c_GLDRIVER::IsExtensionSupported("GL_EXT_texture_env_combine"));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // The log: the described format, the identity, one extension per line.
  std::string log = ReadWholeFile("program.log");
  char format[1024];
  snprintf(format, sizeof format,
           "\n -------------------------------------------------------- \n\n\n[pixelformatdesctiptor printout] \n"
           "nVersion     = 1 \ndwFlags      = 25 \niPixelType   = 0 \ncColorBits   = %d \ncRedBits     = %d \n"
           "cGreenBits   = %d \ncBlueBits    = %d \ncAlphaBits   = %d \ncAccumBits   = %d \ncDepthBits   = %d \n"
           "cStencilBits = 8 \ncAuxBuffers  = %d \niLayerType   = 0 \n[pixelformatdesctiptor end] \n\n"
           "\n -------------------------------------------------------- \n",
           Int(GL_RED_BITS) + Int(GL_GREEN_BITS) + Int(GL_BLUE_BITS), Int(GL_RED_BITS), Int(GL_GREEN_BITS),
           Int(GL_BLUE_BITS), Int(GL_ALPHA_BITS),
           Int(GL_ACCUM_RED_BITS) + Int(GL_ACCUM_GREEN_BITS) + Int(GL_ACCUM_BLUE_BITS) + Int(GL_ACCUM_ALPHA_BITS),
           Int(GL_DEPTH_BITS), Int(GL_AUX_BUFFERS));
  EXPECT_NE(log.find(format), std::string::npos) << log;
  std::string identity = std::string("\n\n GL_RENDERER: ") + reinterpret_cast<const char *>(glGetString(GL_RENDERER)) +
                         " \n GL_VENDOR: " + reinterpret_cast<const char *>(glGetString(GL_VENDOR)) +
                         " \n GL_VERSION: " + reinterpret_cast<const char *>(glGetString(GL_VERSION)) + " \n";
  EXPECT_NE(log.find(format + identity), std::string::npos) << log;
  std::string extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
  for (char &c : extensions) {
    if (c == ' ') c = '\n';
  }
  EXPECT_NE(log.find(identity + "\n HARDWARE EXTENSIONS : \n\n" + extensions + " \n\n\n "), std::string::npos);
  // The copy of the list went back to the allocator.
  EXPECT_EQ(AllocTotal(), static_cast<int64_t>(sizeof(c_GLDRIVER)));

  // What is drawn and swapped is on the screen, in the window's place.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformSwapBuffers(driver_->DeviceContext);
  glFinish();
  PlatformSleep(100);
  EXPECT_EQ(ScreenPixel(10, 10), 0xFF0000ul);
  EXPECT_EQ(ScreenPixel(639, 479), 0xFF0000ul);
  EXPECT_NE(ScreenPixel(641, 481), 0xFF0000ul);
}

TEST_F(Driver, SingleBufferedWithTheSmallerDepthRequest) {
  Create(0, 320, 240, 0);
  GLboolean doubleBuffer = GL_TRUE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
  EXPECT_FALSE(doubleBuffer);
  EXPECT_GE(Int(GL_DEPTH_BITS), 16);
  EXPECT_NE(ReadWholeFile("program.log").find("\ndwFlags      = 24 \n"), std::string::npos);
}

TEST_F(Driver, ForcedModeIsHeldUntilDestruction) {
  Create(8, 1024, 768, 1);
  EXPECT_EQ(PlatformDisplayModeChanged(), 1);
  EXPECT_TRUE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  PlatformSwapBuffers(driver_->DeviceContext);
  delete driver_;
  driver_ = nullptr;
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  EXPECT_FALSE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

TEST_F(Driver, DefaultStateReadBack) {
  Create(8 | 32, 640, 480, 0);
  // Leave everything the default state covers somewhere else, and some of what it leaves alone.
  glMatrixMode(GL_TEXTURE);
  glTranslatef(1, 2, 3);
  glMatrixMode(GL_PROJECTION);
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(4, 5, 6);
  glViewport(1, 2, 30, 40);
  glClearColor(0.5f, 0.25f, 0, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_NORMALIZE);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  const GLfloat ambient[4] = {0.9f, 0.9f, 0.9f, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_FOG);
  glEnable(GL_DITHER);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 50);
  glNormal3f(1, 0, 0);
  glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
  glShadeModel(GL_FLAT);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_BLEND);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_EDGE_FLAG_ARRAY);
  glEnableClientState(GL_INDEX_ARRAY);
  glDepthFunc(GL_GREATER);
  glDepthMask(GL_FALSE);
  glClearDepth(0.5);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_STENCIL_TEST);
  glEnable(GL_SCISSOR_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glEnable(GL_ALPHA_TEST);
  glFrontFace(GL_CW);
  glCullFace(GL_FRONT);
  glEnable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_TEXTURE_2D);
  glLineWidth(3);
  glEnable(GL_LIGHT0);
  glEnable(GL_TEXTURE_GEN_S);
  glMatrixMode(GL_PROJECTION);

  SetupOptions.Brightness = 0.5f;
  c_GLDRIVER::SetDefaultState();

  EXPECT_TRUE(IsIdentity(GL_TEXTURE_MATRIX));
  EXPECT_EQ(Int(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));
  EXPECT_EQ(Int(GL_LIGHT_MODEL_LOCAL_VIEWER), 0);
  EXPECT_EQ(Int(GL_LIGHT_MODEL_TWO_SIDE), 0);
  EXPECT_EQ(Floats(GL_LIGHT_MODEL_AMBIENT, 4), (std::vector<float>{0.2f, 0.2f, 0.2f, 1}));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_DITHER));
  for (GLenum face : {GL_FRONT, GL_BACK}) {
    GLfloat v[4];
    glGetMaterialfv(face, GL_AMBIENT, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.3f, 0.3f, 0.3f, 1}));
    glGetMaterialfv(face, GL_DIFFUSE, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.6f, 0.6f, 0.6f, 1}));
    glGetMaterialfv(face, GL_SPECULAR, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0, 0, 0, 1}));
    glGetMaterialfv(face, GL_EMISSION, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.5f, 0.5f, 0.5f, 1}));
    glGetMaterialfv(face, GL_SHININESS, v);
    EXPECT_EQ(v[0], 0.0f);
  }
  EXPECT_EQ(Floats(GL_CURRENT_NORMAL, 3), (std::vector<float>{0, 0, 1}));
  EXPECT_EQ(Floats(GL_CURRENT_COLOR, 4), (std::vector<float>{1, 1, 1, 1}));
  EXPECT_EQ(Int(GL_RENDER_MODE), GL_RENDER);
  EXPECT_EQ(Int(GL_SHADE_MODEL), GL_SMOOTH);
  EXPECT_EQ(Int(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(Int(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_EDGE_FLAG_ARRAY,
                       GL_INDEX_ARRAY}) {
    EXPECT_FALSE(glIsEnabled(array)) << array;
  }
  EXPECT_EQ(Int(GL_DEPTH_FUNC), GL_LESS);
  GLboolean depthMask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  EXPECT_TRUE(depthMask);
  EXPECT_EQ(Floats(GL_DEPTH_CLEAR_VALUE, 1)[0], 1.0f);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_EQ(Int(GL_ALPHA_TEST_FUNC), GL_ALWAYS);
  EXPECT_EQ(Floats(GL_ALPHA_TEST_REF, 1)[0], 0.0f);
  EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
  EXPECT_EQ(Int(GL_FRONT_FACE), GL_CCW);
  EXPECT_EQ(Int(GL_CULL_FACE_MODE), GL_BACK);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  GLint polygonMode[2] = {0, 0};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_EQ(polygonMode[1], GL_FILL);
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(Floats(GL_LINE_WIDTH, 1)[0], 1.0f);

  // Left alone.
  EXPECT_FALSE(IsIdentity(GL_PROJECTION_MATRIX));
  EXPECT_FALSE(IsIdentity(GL_MODELVIEW_MATRIX));
  EXPECT_EQ(Floats(GL_VIEWPORT, 4), (std::vector<float>{1, 2, 30, 40}));
  EXPECT_EQ(Floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0.5f, 0.25f, 0, 1}));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Driver, BrightnessIsTheEmission) {
  Create(8, 640, 480, 0);
  for (float brightness : {0.0f, 1.0f}) {
    SetupOptions.Brightness = brightness;
    c_GLDRIVER::SetDefaultState();
    GLfloat v[4];
    glGetMaterialfv(GL_BACK, GL_EMISSION, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{brightness, brightness, brightness, 1}));
  }
}

TEST_F(Driver, TextureUnitDefaults) {
  Create(8, 640, 480, 0);
  ASSERT_NE(glActiveTextureARB, nullptr);
  for (int32_t combine : {1, 0}) {
    if (combine == 1 && !driver_->HasEnvCombine) continue;
    driver_->HasEnvCombine = combine;
    glActiveTextureARB(GL_TEXTURE1_ARB);
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

    EXPECT_EQ(Int(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint mode = 0, rgb = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, &rgb);
    if (combine) {
      EXPECT_EQ(mode, GL_COMBINE_EXT);
      EXPECT_EQ(rgb, GL_MODULATE);
    } else {
      EXPECT_EQ(mode, GL_MODULATE);
      EXPECT_EQ(rgb, GL_REPLACE);
    }
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q}) {
      EXPECT_FALSE(glIsEnabled(gen));
    }
    EXPECT_TRUE(IsIdentity(GL_TEXTURE_MATRIX));
    EXPECT_EQ(Int(GL_MATRIX_MODE), GL_MODELVIEW);
    GLfloat v[4];
    glGetMaterialfv(GL_FRONT, GL_EMISSION, v);
    EXPECT_EQ(std::vector<float>(v, v + 4), (std::vector<float>{0.25f, 0.25f, 0.25f, 1}));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Driver, ExtensionTestIsAWholeWordSearch) {
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(""), 0);
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported("GL_ARB_multitexture GL_EXT_bgra"), 0);
  Create(8, 640, 480, 0);
  std::string all = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
  std::istringstream words(all);
  std::vector<std::string> listed;
  std::set<std::string> names;
  for (std::string word; words >> word;) {
    listed.push_back(word);
    names.insert(word);
  }
  ASSERT_GE(listed.size(), 3u);
  // Every listed name, the first and the last included, and names that also occur inside longer ones.
  for (const std::string &name : listed) EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(name.c_str()), 1) << name;
  int inside = 0;
  for (const std::string &name : listed) {
    std::string cut = name.substr(0, name.size() - 1);
    if (names.count(cut) == 0) {
      EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(cut.c_str()), 0) << cut;
    }
    std::string tail = name.substr(1);
    if (names.count(tail) == 0) {
      EXPECT_EQ(c_GLDRIVER::IsExtensionSupported(tail.c_str()), 0) << tail;
    }
    size_t first = all.find(name), end = first + name.size();
    bool whole = (first == 0 || all[first - 1] == ' ') && (end == all.size() || all[end] == ' ');
    if (!whole) inside++;
  }
  EXPECT_GT(inside, 0) << "no listed name occurs first inside a longer one; the retry path went untested";
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported("GL_"), 0);
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported((listed[0] + " ").c_str()), 0);
  EXPECT_EQ(c_GLDRIVER::IsExtensionSupported("GL_TUNEMILL_nothing"), 0);
}

}  // namespace
