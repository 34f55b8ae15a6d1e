// The platform layer on a real display (a private Xvfb of 1024x768 at 24 bits): the main window, the
// translated messages, the display mode, the pixel format and the GL context.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "display_keeper.h"
#include "platform/platform_local.h"

namespace {

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepDisplayOpen();
    window_ = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(window_, nullptr);
    PlatformShowWindow(window_);
    Drain();
  }
  void TearDown() override {
    PlatformDestroyWindow(window_);
    // Video stays up for the next test: ending it unloads the GL driver, whose process-lifetime
    // allocations then show up as leaks of an unknown module.
  }
  // Lets the window settle and forgets what it said meanwhile.
  void Drain() {
    PLATFORM_MESSAGE message;
    for (int i = 0; i < 20; i++) {
      while (PlatformTakeMessage(&message)) {
      }
      PlatformSleep(5);
    }
  }
  Uint32 WindowId() const { return SDL_GetWindowID(PlatformNativeWindow(window_)); }
  void PushButton(Uint32 type, Uint8 button, int x, int y) {
    SDL_Event event = {};
    event.type = type;
    event.button.windowID = WindowId();
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
  }
  void PushKey(Uint32 type, SDL_Keycode sym) {
    SDL_Event event = {};
    event.type = type;
    event.key.windowID = WindowId();
    event.key.keysym.sym = sym;
    SDL_PushEvent(&event);
  }
  // The next message of a kind other than PM_OTHER.
  PLATFORM_MESSAGE Next() {
    PLATFORM_MESSAGE message = {};
    while (PlatformTakeMessage(&message) && message.Kind == PM_OTHER) {
    }
    return message;
  }

  PlatformWindow *window_ = nullptr;
};

TEST_F(MainWindow, CoversThePrimaryScreenAndMoves) {
  int32_t x, y, w, h;
  PlatformGetWindowRect(window_, &x, &y, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  int32_t sw, sh;
  PlatformGetScreenSize(&sw, &sh);
  EXPECT_EQ(sw, 1024);
  EXPECT_EQ(sh, 768);
  int32_t left, top, right, bottom;
  PlatformGetDesktopRect(&left, &top, &right, &bottom);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
  EXPECT_EQ(right, 1024);
  EXPECT_EQ(bottom, 768);
  Uint32 flags = SDL_GetWindowFlags(PlatformNativeWindow(window_));
  EXPECT_TRUE(flags & SDL_WINDOW_BORDERLESS);
  EXPECT_TRUE(flags & SDL_WINDOW_ALWAYS_ON_TOP);

  PlatformMoveWindow(window_, 100, 50, 640, 480);
  Drain();
  PlatformGetWindowRect(window_, &x, &y, &w, &h);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

TEST_F(MainWindow, MouseMessagesCarryTheButtonAndKeyWord) {
  SDL_SetModState(KMOD_NONE);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 11, 21);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 30, 40);
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 30, 40);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 30, 40);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 30, 40);

  PLATFORM_MESSAGE m = Next();
  EXPECT_EQ(m.Kind, PM_LBUTTONDOWN);
  EXPECT_EQ(m.Buttons, 1u);
  EXPECT_EQ(m.X, 10);
  EXPECT_EQ(m.Y, 20);
  m = Next();
  EXPECT_EQ(m.Kind, PM_LBUTTONUP);
  EXPECT_EQ(m.Buttons, 0u);
  m = Next();
  EXPECT_EQ(m.Kind, PM_RBUTTONDOWN);
  EXPECT_EQ(m.Buttons, 2u);
  m = Next();
  EXPECT_EQ(m.Kind, PM_MBUTTONDOWN);
  EXPECT_EQ(m.Buttons, 2u | 16u);
  m = Next();
  EXPECT_EQ(m.Kind, PM_MBUTTONUP);
  EXPECT_EQ(m.Buttons, 2u);
  m = Next();
  EXPECT_EQ(m.Kind, PM_RBUTTONUP);
  EXPECT_EQ(m.Buttons, 0u);

  // Shift and Ctrl join the word as the keyboard holds them.
  SDL_SetModState(static_cast<SDL_Keymod>(KMOD_LSHIFT | KMOD_RCTRL));
  PushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 2);
  m = Next();
  EXPECT_EQ(m.Kind, PM_LBUTTONDOWN);
  EXPECT_EQ(m.Buttons, 1u | 4u | 8u);
  SDL_SetModState(KMOD_NONE);
  PushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1, 2);
  m = Next();
  EXPECT_EQ(m.Buttons, 0u);

  SDL_Event motion = {};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = WindowId();
  motion.motion.state = SDL_BUTTON_RMASK;
  motion.motion.x = 300;
  motion.motion.y = 200;
  SDL_PushEvent(&motion);
  m = Next();
  EXPECT_EQ(m.Kind, PM_MOUSEMOVE);
  EXPECT_EQ(m.Buttons, 2u);
  EXPECT_EQ(m.X, 300);
  EXPECT_EQ(m.Y, 200);
}

TEST_F(MainWindow, CursorPositionFollowsThePointer) {
  PlatformMoveWindow(window_, 100, 50, 640, 480);
  Drain();
  for (int target : {200, 300}) {
    std::string command = "xdotool mousemove --sync " + std::to_string(target) + " " + std::to_string(target + 7);
    ASSERT_EQ(system(command.c_str()), 0);
    Drain();
    int32_t x = 0, y = 0;
    PlatformGetCursorPos(&x, &y);
    EXPECT_EQ(x, target);
    EXPECT_EQ(y, target + 7);
  }
}

TEST_F(MainWindow, KeysArriveAsVirtualKeyCodes) {
  PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
  PushKey(SDL_KEYDOWN, SDLK_f);
  PushKey(SDL_KEYUP, SDLK_b);
  PLATFORM_MESSAGE m = Next();
  EXPECT_EQ(m.Kind, PM_KEYDOWN);
  EXPECT_EQ(m.Key, 27);
  m = Next();
  EXPECT_EQ(m.Kind, PM_KEYDOWN);
  EXPECT_EQ(m.Key, 70);
  m = Next();
  EXPECT_EQ(m.Kind, PM_KEYUP);
  EXPECT_EQ(m.Key, 66);
}

TEST_F(MainWindow, CloseQuitAndTerminationAreTheWindowsDestruction) {
  SDL_Event close = {};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = WindowId();
  SDL_PushEvent(&close);
  EXPECT_EQ(Next().Kind, PM_DESTROY);

  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(Next().Kind, PM_DESTROY);

  raise(SIGTERM);
  PLATFORM_MESSAGE m;
  ASSERT_EQ(PlatformPeekMessage(&m), 1);
  EXPECT_EQ(Next().Kind, PM_DESTROY);
  // The window is still there for the shutdown to use.
  EXPECT_NE(SDL_GetWindowFromID(WindowId()), nullptr);
}

TEST_F(MainWindow, ActivationAndMinimising) {
  SDL_Event focus = {};
  focus.type = SDL_WINDOWEVENT;
  focus.window.windowID = WindowId();
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&focus);
  focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&focus);
  PLATFORM_MESSAGE m = Next();
  EXPECT_EQ(m.Kind, PM_ACTIVATE);
  EXPECT_EQ(m.Active, PM_INACTIVE);
  m = Next();
  EXPECT_EQ(m.Kind, PM_ACTIVATE);
  EXPECT_EQ(m.Active, PM_ACTIVE);

  PlatformMinimiseWindow(window_);
  PlatformRestoreWindow(window_);
  Drain();
  EXPECT_TRUE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_SHOWN);
}

TEST_F(MainWindow, DisplayModeChangesOnlyToAModeTheDisplayHas) {
  // The display offers 1024x768 at 24 bits (32 per pixel) and nothing else.
  EXPECT_NE(PlatformChangeDisplayMode(window_, 640, 480, 32), 0);
  EXPECT_NE(PlatformChangeDisplayMode(window_, 1024, 768, 16), 0);
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);

  ASSERT_EQ(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  EXPECT_EQ(PlatformDisplayModeChanged(), 1);
  EXPECT_TRUE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  // A second change while one is in force is refused; the first stays.
  EXPECT_NE(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  PlatformRestoreDisplayMode();
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  EXPECT_FALSE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  PlatformRestoreDisplayMode();
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
}

PIXELFORMATDESCRIPTOR Request(bool doubleBuffer, int depth) {
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (doubleBuffer ? PFD_DOUBLEBUFFER : 0);
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.cRedBits = pfd.cGreenBits = pfd.cBlueBits = pfd.cAlphaBits = 8;
  pfd.cDepthBits = static_cast<uint8_t>(depth);
  pfd.cStencilBits = 8;
  return pfd;
}

TEST_F(MainWindow, PixelFormatIsDescribedAsTheContextHasIt) {
  PIXELFORMATDESCRIPTOR request = Request(true, 24);
  int32_t index = PlatformChoosePixelFormat(window_, &request);
  ASSERT_GT(index, 0);
  PIXELFORMATDESCRIPTOR described = {};
  EXPECT_EQ(PlatformDescribePixelFormat(window_, index, 39, &described), 0);
  ASSERT_GT(PlatformDescribePixelFormat(window_, index, sizeof described, &described), 0);
  EXPECT_EQ(PlatformDescribePixelFormat(window_, index + 1, sizeof described, &described), 0);
  EXPECT_EQ(described.nSize, 40);
  EXPECT_EQ(described.nVersion, 1);
  EXPECT_EQ(described.dwFlags & (PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER),
            static_cast<uint32_t>(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
  EXPECT_EQ(described.iPixelType, PFD_TYPE_RGBA);
  EXPECT_GE(described.cDepthBits, 24);
  EXPECT_EQ(described.cStencilBits, 8);
  EXPECT_EQ(described.cColorBits, described.cRedBits + described.cGreenBits + described.cBlueBits);

  // No context before a format is set; setting it keeps the handle and gives the window a GL drawable.
  EXPECT_EQ(PlatformCreateGLContext(window_), nullptr);
  ASSERT_EQ(PlatformSetPixelFormat(window_, index, &described), 1);
  EXPECT_EQ(PlatformSetPixelFormat(window_, index, &described), 0);
  SDL_Window *native = PlatformNativeWindow(window_);
  EXPECT_TRUE(SDL_GetWindowFlags(native) & SDL_WINDOW_OPENGL);
  EXPECT_TRUE(SDL_GetWindowFlags(native) & SDL_WINDOW_SHOWN);
  // An opaque visual: a compositing desktop must never show through the picture.
  EXPECT_FALSE(SDL_ISPIXELFORMAT_ALPHA(SDL_GetWindowPixelFormat(native)));
  int32_t x, y, w, h;
  PlatformGetWindowRect(window_, &x, &y, &w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);

  PlatformGLContext *context = PlatformCreateGLContext(window_);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(PlatformMakeCurrent(window_, context), 1);
  GLint depth = 0, stencil = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  glGetIntegerv(GL_STENCIL_BITS, &stencil);
  EXPECT_EQ(depth, described.cDepthBits);
  EXPECT_EQ(stencil, described.cStencilBits);
  EXPECT_NE(PlatformGetProcAddress("glActiveTextureARB"), nullptr);
  EXPECT_NE(PlatformGetProcAddress("glMultiTexCoord2fARB"), nullptr);

  // Message boxes and messages follow the re-created window.
  SDL_Event close = {};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(native);
  SDL_PushEvent(&close);
  EXPECT_EQ(Next().Kind, PM_DESTROY);

  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformSwapBuffers(window_);
  EXPECT_EQ(PlatformMakeCurrent(window_, nullptr), 1);
  PlatformDeleteGLContext(context);
}

TEST_F(MainWindow, SetPixelFormatKeepsAChangedDisplayMode) {
  ASSERT_EQ(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  PIXELFORMATDESCRIPTOR request = Request(false, 16);
  int32_t index = PlatformChoosePixelFormat(window_, &request);
  ASSERT_GT(index, 0);
  PIXELFORMATDESCRIPTOR described = {};
  ASSERT_GT(PlatformDescribePixelFormat(window_, index, sizeof described, &described), 0);
  EXPECT_EQ(described.dwFlags & PFD_DOUBLEBUFFER, 0u);
  ASSERT_EQ(PlatformSetPixelFormat(window_, index, &described), 1);
  EXPECT_EQ(PlatformDisplayModeChanged(), 1);
  EXPECT_TRUE(SDL_GetWindowFlags(PlatformNativeWindow(window_)) & SDL_WINDOW_FULLSCREEN);
  // Destroying the window gives the display its mode back.
  PlatformDestroyWindow(window_);
  window_ = nullptr;
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
}

TEST_F(MainWindow, MissingExtensionsGiveNoEntryPoints) {
  PIXELFORMATDESCRIPTOR request = Request(true, 16);
  int32_t index = PlatformChoosePixelFormat(window_, &request);
  ASSERT_GT(index, 0);
  ASSERT_EQ(PlatformSetPixelFormat(window_, index, &request), 1);
  PlatformGLContext *context = PlatformCreateGLContext(window_);
  ASSERT_NE(context, nullptr);
  // SDL lets the environment hide an extension, as a driver without it would.
  setenv("GL_ARB_multitexture", "0", 1);
  EXPECT_EQ(PlatformGetProcAddress("glActiveTextureARB"), nullptr);
  EXPECT_EQ(PlatformGetProcAddress("glMultiTexCoord2fARB"), nullptr);
  unsetenv("GL_ARB_multitexture");
  EXPECT_NE(PlatformGetProcAddress("glActiveTextureARB"), nullptr);
  EXPECT_NE(PlatformGetProcAddress("glClear"), nullptr);
  PlatformDeleteGLContext(context);
  EXPECT_EQ(PlatformGetProcAddress("glClear"), nullptr);
}

}  // namespace
