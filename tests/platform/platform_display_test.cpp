// The platform layer on a real display (a private Xvfb of 1024x768 at 24 bits): the main window, the
// translated messages, the display mode, the pixel format and the GL context.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/platform_local.h"
#include "testkit.h"

namespace {

using Rect = std::array<int32_t, 4>;

class MainWindow : public ::testing::Test {
 protected:
  // Video stays up for the next test: nothing here ends it.
  void SetUp() override {
    window_ = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(window_, nullptr);
    PlatformShowWindow(window_);
    // Once the window has the keyboard, what it said on the way is forgotten.
    ASSERT_TRUE(Settle([&] { return (Flags() & SDL_WINDOW_INPUT_FOCUS) != 0; }));
  }
  void TearDown() override { PlatformDestroyWindow(window_); }
  // Takes messages until `condition` holds.
  bool Settle(const std::function<bool()> &condition) {
    PLATFORM_MESSAGE message;
    return WaitFor([&] {
      while (PlatformTakeMessage(&message)) {
      }
      return condition();
    });
  }
  Rect WindowRect() {
    Rect r;
    PlatformGetWindowRect(window_, &r[0], &r[1], &r[2], &r[3]);
    return r;
  }
  Uint32 Flags() { return SDL_GetWindowFlags(PlatformNativeWindow(window_)); }
  // Sends an event to the window as SDL would deliver it.
  void Push(SDL_Event event) {
    event.window.windowID = SDL_GetWindowID(PlatformNativeWindow(window_));  // same field in every kind
    SDL_PushEvent(&event);
  }
  void PushWindowEvent(Uint8 what) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    Push(event);
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
  EXPECT_EQ(WindowRect(), (Rect{0, 0, 1024, 768}));
  Rect screen = {0, 0, 0, 0}, desktop;
  PlatformGetScreenSize(&screen[2], &screen[3]);
  PlatformGetDesktopRect(&desktop[0], &desktop[1], &desktop[2], &desktop[3]);
  EXPECT_EQ(screen, (Rect{0, 0, 1024, 768}));
  EXPECT_EQ(desktop, (Rect{0, 0, 1024, 768}));
  EXPECT_TRUE((Flags() & SDL_WINDOW_BORDERLESS) && (Flags() & SDL_WINDOW_ALWAYS_ON_TOP));
  PlatformMoveWindow(window_, 100, 50, 640, 480);
  EXPECT_TRUE(Settle([&] { return WindowRect() == Rect{100, 50, 640, 480}; })) << WindowRect()[0];
}

// The mouse word: 1 left, 2 right, 4 Shift, 8 Ctrl, 16 middle, as held after the event; keys come
// translated (their codes are the platform tests' without a display); closing, quitting and SIGTERM are the
// window's destruction, focus its activation.
TEST_F(MainWindow, EventsBecomeMessagesInTheDirectorsTerms) {
  const struct {
    Uint32 type;
    Uint8 button;
    int mod;
    int32_t kind, buttons;
  } events[] = {
      {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, KMOD_NONE, PM_LBUTTONDOWN, 1},
      {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, KMOD_NONE, PM_RBUTTONDOWN, 1 | 2},
      {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, KMOD_LSHIFT | KMOD_RCTRL, PM_MBUTTONDOWN, 1 | 2 | 4 | 8 | 16},
      {SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, KMOD_NONE, PM_LBUTTONUP, 2 | 16},
      {SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, KMOD_NONE, PM_MBUTTONUP, 2},
      {SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, KMOD_NONE, PM_RBUTTONUP, 0},
      {SDL_MOUSEMOTION, 0, KMOD_NONE, PM_MOUSEMOVE, 2},  // the motion's own button state
      {SDL_KEYDOWN, 0, KMOD_NONE, PM_KEYDOWN, 'F'},
      {SDL_KEYUP, 0, KMOD_NONE, PM_KEYUP, 'F'},
      {SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST, KMOD_NONE, PM_ACTIVATE, PM_INACTIVE},
      {SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_GAINED, KMOD_NONE, PM_ACTIVATE, PM_ACTIVE},
      {SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE, KMOD_NONE, PM_DESTROY, 0},
      {SDL_QUIT, 0, KMOD_NONE, PM_DESTROY, 0},
  };
  int32_t at = 10;
  for (const auto &e : events) {
    SDL_SetModState(static_cast<SDL_Keymod>(e.mod));
    SDL_Event event = {};
    event.type = e.type;
    event.button.button = e.button, event.button.x = at, event.button.y = at + 1;
    if (e.type == SDL_WINDOWEVENT) event.window.event = e.button;
    if (e.type == SDL_MOUSEMOTION) event.motion.state = SDL_BUTTON_RMASK, event.motion.x = at, event.motion.y = at + 1;
    if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) event.key.keysym.sym = SDLK_f;
    e.type == SDL_QUIT ? (void)SDL_PushEvent(&event) : Push(event);
    const PLATFORM_MESSAGE m = Next();
    const bool mouse = e.type >= SDL_MOUSEMOTION && e.type <= SDL_MOUSEBUTTONUP;
    const int32_t value = e.kind == PM_ACTIVATE ? m.Active : e.type == SDL_KEYDOWN || e.type == SDL_KEYUP ? m.Key
                          : mouse                ? (int32_t)m.Buttons
                                                 : 0;
    EXPECT_EQ((Rect{m.Kind, value, mouse ? m.X : at, mouse ? m.Y : at + 1}), (Rect{e.kind, e.buttons, at, at + 1}))
        << "event " << &e - events;
    at += 10;
  }
  raise(SIGTERM);
  PLATFORM_MESSAGE m;
  ASSERT_EQ(PlatformPeekMessage(&m), 1);
  EXPECT_EQ(Next().Kind, PM_DESTROY);
  // The window is still there for the shutdown to use, and minimised and restored it shows again.
  EXPECT_NE(SDL_GetWindowFromID(SDL_GetWindowID(PlatformNativeWindow(window_))), nullptr);
  PlatformMinimiseWindow(window_);
  PlatformRestoreWindow(window_);
  EXPECT_TRUE(Settle([&] { return (Flags() & SDL_WINDOW_SHOWN) && !(Flags() & SDL_WINDOW_MINIMIZED); }));
}

TEST_F(MainWindow, DisplayModeChangesOnlyToAModeTheDisplayHas) {
  // The display offers 1024x768 at 24 bits (32 per pixel) and nothing else; a second change while one is in
  // force is refused; restoring twice is harmless; destroying the window gives the display its mode back.
  EXPECT_NE(PlatformChangeDisplayMode(window_, 640, 480, 32) * PlatformChangeDisplayMode(window_, 1024, 768, 16), 0);
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
  ASSERT_EQ(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  EXPECT_TRUE(PlatformDisplayModeChanged() && (Flags() & SDL_WINDOW_FULLSCREEN));
  EXPECT_NE(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  for (int twice = 0; twice < 2; twice++) PlatformRestoreDisplayMode();
  EXPECT_FALSE(PlatformDisplayModeChanged() || (Flags() & SDL_WINDOW_FULLSCREEN));
  ASSERT_EQ(PlatformChangeDisplayMode(window_, 1024, 768, 32), 0);
  PlatformDestroyWindow(window_);
  window_ = nullptr;
  EXPECT_EQ(PlatformDisplayModeChanged(), 0);
}

TEST_F(MainWindow, PixelFormatIsDescribedAsTheContextHasIt) {
  PIXELFORMATDESCRIPTOR request = {}, described = {};
  request.nSize = sizeof request, request.nVersion = 1, request.iPixelType = PFD_TYPE_RGBA;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.cColorBits = 32, request.cRedBits = request.cGreenBits = request.cBlueBits = request.cAlphaBits = 8;
  request.cDepthBits = 24, request.cStencilBits = 8;
  const int32_t index = PlatformChoosePixelFormat(window_, &request);
  ASSERT_GT(index, 0);
  // Only the one format chosen, described into a record of the full size.
  EXPECT_EQ(PlatformDescribePixelFormat(window_, index, 39, &described), 0);
  EXPECT_EQ(PlatformDescribePixelFormat(window_, index + 1, sizeof described, &described), 0);
  ASSERT_GT(PlatformDescribePixelFormat(window_, index, sizeof described, &described), 0);
  EXPECT_TRUE(described.nSize == 40 && (described.dwFlags & request.dwFlags) == request.dwFlags);
  // No context before a format is set; setting it once keeps the handle and gives the window an opaque GL
  // drawable (a compositing desktop must never show through the picture).
  EXPECT_EQ(PlatformCreateGLContext(window_), nullptr);
  ASSERT_EQ(PlatformSetPixelFormat(window_, index, &described), 1);
  EXPECT_EQ(PlatformSetPixelFormat(window_, index, &described), 0);
  EXPECT_TRUE((Flags() & SDL_WINDOW_OPENGL) && (Flags() & SDL_WINDOW_SHOWN));
  EXPECT_FALSE(SDL_ISPIXELFORMAT_ALPHA(SDL_GetWindowPixelFormat(PlatformNativeWindow(window_))));
  EXPECT_EQ(WindowRect(), (Rect{0, 0, 1024, 768}));
  PlatformGLContext *context = PlatformCreateGLContext(window_);
  ASSERT_EQ(PlatformMakeCurrent(window_, context), 1);
  GLint depth = 0, stencil = 0;
  glGetIntegerv(GL_DEPTH_BITS, &depth);
  glGetIntegerv(GL_STENCIL_BITS, &stencil);
  EXPECT_EQ(depth * 100 + stencil, described.cDepthBits * 100 + described.cStencilBits);
  // Messages follow the re-created window.
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(Next().Kind, PM_DESTROY);
  // Entry points; SDL lets the environment hide an extension, as a driver without it would.
  for (const char *name : {"glActiveTextureARB", "glMultiTexCoord2fARB"}) {
    EXPECT_NE(PlatformGetProcAddress(name), nullptr) << name;
    setenv("GL_ARB_multitexture", "0", 1);
    EXPECT_EQ(PlatformGetProcAddress(name), nullptr) << name;
    unsetenv("GL_ARB_multitexture");
  }
  EXPECT_EQ(PlatformMakeCurrent(window_, nullptr), 1);
  PlatformDeleteGLContext(context);
  EXPECT_EQ(PlatformGetProcAddress("glClear"), nullptr);
}

}  // namespace
