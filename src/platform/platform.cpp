#include "platform/platform.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform_local.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#endif

struct PlatformWindow {
  SDL_Window *Window;
  char Title[128];
  int32_t FormatSet;  // 1 once the native window carries the GL visual of a chosen format
};

// The main window, once the shell has created it; message boxes are owned by it.
static PlatformWindow *sMainWindow = nullptr;

// =========================================================================================================
// [SECTION] Video start-up

// SDL falls back to drivers that draw nowhere when there is no display; those do not count as one.
static bool IsRealVideoDriver(const char *name) {
  return name != nullptr && strcmp(name, "offscreen") != 0 && strcmp(name, "dummy") != 0 &&
         strcmp(name, "evdev") != 0;
}

static bool sGLLoaded = false;

static int AddLoadedName(struct dl_phdr_info *info, size_t, void *names) {
  if (info->dlpi_name != nullptr && info->dlpi_name[0] != 0) {
    static_cast<std::vector<std::string> *>(names)->push_back(info->dlpi_name);
  }
  return 0;
}

// Loading OpenGL loads the display's driver, which keeps blocks for the life of the process and is
// unloaded again when the display connection that loaded it closes. Unloaded, it leaves those blocks to
// the sanitizer build's leak check without a library name to recognise them by, whoever closed the
// connection. Every library loaded by then stays until the process ends; the names are gathered first,
// since the loader's list must not change while it is walked.
static void KeepLoadedLibraries() {
  std::vector<std::string> names;
  dl_iterate_phdr(AddLoadedName, &names);
  for (const std::string &name : names) dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

int32_t PlatformStartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    // Without a display server to talk to SDL would only probe its way down to the offscreen driver,
    // and the Wayland probe complains on standard error on the way.
    if (SDL_getenv("DISPLAY") == nullptr && SDL_getenv("WAYLAND_DISPLAY") == nullptr) return 0;
    // One window closing must not look like a request to end the whole process.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A changed display mode belongs to the process, not to the focus: it stays while a message box or
    // another program has the keyboard, until it is restored.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The black background of the main window is a plain framebuffer; an accelerated one would bring a
    // GL context of SDL's own and make it current behind the dialog's back.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
  }
  if (!IsRealVideoDriver(SDL_GetCurrentVideoDriver())) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 0;
  }
  // The OpenGL library stays loaded while video runs; otherwise it would be unloaded and loaded again
  // each time the last GL window goes (the dialog's, the pixel-format probe's).
  if (!sGLLoaded) {
    sGLLoaded = SDL_GL_LoadLibrary(nullptr) == 0;
    if (sGLLoaded) KeepLoadedLibraries();
  }
  return 1;
}

// =========================================================================================================
// [SECTION] Main window

static const Uint32 kMainWindowFlags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;

// Until a pixel format is set the window has no GL drawable; it shows the black of its class brush.
static void PaintBlack(PlatformWindow *window) {
  if (window->FormatSet) return;
  SDL_Surface *surface = SDL_GetWindowSurface(window->Window);
  if (surface == nullptr) return;
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  SDL_UpdateWindowSurface(window->Window);
}

PlatformWindow *PlatformCreateMainWindow(const char *title) {
  if (!PlatformStartVideo()) return nullptr;
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) != 0) return nullptr;
  SDL_Window *native = SDL_CreateWindow(title, bounds.x, bounds.y, bounds.w, bounds.h,
                                        kMainWindowFlags | SDL_WINDOW_HIDDEN);
  if (native == nullptr) return nullptr;
  PlatformWindow *window = new PlatformWindow();
  window->Window = native;
  snprintf(window->Title, sizeof window->Title, "%s", title);
  window->FormatSet = 0;
  sMainWindow = window;
  return window;
}

void PlatformDestroyWindow(PlatformWindow *window) {
  if (window == nullptr) return;
  PlatformRestoreDisplayMode();
  SDL_DestroyWindow(window->Window);
  if (sMainWindow == window) sMainWindow = nullptr;
  delete window;
}

void PlatformShowWindow(PlatformWindow *window) {
  SDL_ShowWindow(window->Window);
  SDL_RaiseWindow(window->Window);
  SDL_SetWindowInputFocus(window->Window);
  PaintBlack(window);
}

void PlatformMoveWindow(PlatformWindow *window, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (PlatformDisplayModeChanged()) return;
  SDL_SetWindowSize(window->Window, width, height);
  SDL_SetWindowPosition(window->Window, x, y);
  SDL_ShowWindow(window->Window);
  SDL_RaiseWindow(window->Window);
  PaintBlack(window);
}

void PlatformMinimiseWindow(PlatformWindow *window) { SDL_MinimizeWindow(window->Window); }

void PlatformRestoreWindow(PlatformWindow *window) {
  SDL_RestoreWindow(window->Window);
  SDL_RaiseWindow(window->Window);
}

void PlatformGetWindowRect(PlatformWindow *window, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
  int wx = 0, wy = 0, ww = 0, wh = 0;
  SDL_GetWindowPosition(window->Window, &wx, &wy);
  SDL_GetWindowSize(window->Window, &ww, &wh);
  *x = wx;
  *y = wy;
  *width = ww;
  *height = wh;
}

SDL_Window *PlatformNativeWindow(PlatformWindow *window) { return window ? window->Window : nullptr; }

// =========================================================================================================
// [SECTION] Message queue

// SDL events become zero or more messages here, in arrival order; PostQuit appends to the same queue.
static std::deque<PLATFORM_MESSAGE> sQueue;
static uint32_t sMouseButtons = 0;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON as the events left them

int32_t PlatformVirtualKey(int32_t sdlKeycode) {
  if (sdlKeycode >= 'a' && sdlKeycode <= 'z') return sdlKeycode - 'a' + 'A';
  if (sdlKeycode >= '0' && sdlKeycode <= '9') return sdlKeycode;
  if (sdlKeycode >= SDLK_F1 && sdlKeycode <= SDLK_F12) return VK_F1 + (sdlKeycode - SDLK_F1);
  if (sdlKeycode >= SDLK_KP_1 && sdlKeycode <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (sdlKeycode - SDLK_KP_1);
  switch (sdlKeycode) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_KP_0: return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_KP_PERIOD: return VK_DECIMAL;
    case SDLK_KP_DIVIDE: return VK_DIVIDE;
    case SDLK_SEMICOLON: return VK_OEM_1;
    case SDLK_EQUALS: case SDLK_PLUS: return VK_OEM_PLUS;
    case SDLK_COMMA: return VK_OEM_COMMA;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_PERIOD: return VK_OEM_PERIOD;
    case SDLK_SLASH: return VK_OEM_2;
    case SDLK_BACKQUOTE: return VK_OEM_3;
    case SDLK_LEFTBRACKET: return VK_OEM_4;
    case SDLK_BACKSLASH: return VK_OEM_5;
    case SDLK_RIGHTBRACKET: return VK_OEM_6;
    case SDLK_QUOTE: return VK_OEM_7;
    default: return 0;
  }
}

static uint32_t ButtonsFromMask(Uint32 mask) {
  uint32_t buttons = 0;
  if (mask & SDL_BUTTON_LMASK) buttons |= MK_LBUTTON;
  if (mask & SDL_BUTTON_RMASK) buttons |= MK_RBUTTON;
  if (mask & SDL_BUTTON_MMASK) buttons |= MK_MBUTTON;
  return buttons;
}

static uint32_t ButtonBit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return MK_LBUTTON;
    case SDL_BUTTON_RIGHT: return MK_RBUTTON;
    case SDL_BUTTON_MIDDLE: return MK_MBUTTON;
    default: return 0;
  }
}

static uint32_t ButtonWord() {
  SDL_Keymod mod = SDL_GetModState();
  uint32_t word = sMouseButtons;
  if (mod & KMOD_SHIFT) word |= MK_SHIFT;
  if (mod & KMOD_CTRL) word |= MK_CONTROL;
  return word;
}

static bool IsMainWindowEvent(Uint32 windowId) {
  return sMainWindow != nullptr && windowId == SDL_GetWindowID(sMainWindow->Window);
}

static void Push(int32_t kind) {
  PLATFORM_MESSAGE message = {};
  message.Kind = kind;
  sQueue.push_back(message);
}

static void PushMouse(int32_t kind, int32_t x, int32_t y) {
  PLATFORM_MESSAGE message = {};
  message.Kind = kind;
  message.Buttons = ButtonWord();
  message.X = x;
  message.Y = y;
  sQueue.push_back(message);
}

static void Translate(const SDL_Event &event) {
  PLATFORM_MESSAGE message = {};
  switch (event.type) {
    case SDL_QUIT:
      Push(PM_DESTROY);
      return;
    case SDL_WINDOWEVENT:
      if (!IsMainWindowEvent(event.window.windowID)) break;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          Push(PM_DESTROY);
          return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
          message.Kind = PM_ACTIVATE;
          message.Active = PM_ACTIVE;
          sQueue.push_back(message);
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          message.Kind = PM_ACTIVATE;
          message.Active = PM_INACTIVE;
          sQueue.push_back(message);
          return;
        case SDL_WINDOWEVENT_EXPOSED:
          PaintBlack(sMainWindow);
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (!IsMainWindowEvent(event.key.windowID)) break;
      message.Kind = event.type == SDL_KEYDOWN ? PM_KEYDOWN : PM_KEYUP;
      message.Key = PlatformVirtualKey(event.key.keysym.sym);
      sQueue.push_back(message);
      return;
    case SDL_MOUSEMOTION:
      if (!IsMainWindowEvent(event.motion.windowID) || event.motion.which == SDL_TOUCH_MOUSEID) break;
      sMouseButtons = ButtonsFromMask(event.motion.state);
      PushMouse(PM_MOUSEMOVE, event.motion.x, event.motion.y);
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (!IsMainWindowEvent(event.button.windowID) || event.button.which == SDL_TOUCH_MOUSEID) break;
      uint32_t bit = ButtonBit(event.button.button);
      if (bit == 0) break;
      bool down = event.type == SDL_MOUSEBUTTONDOWN;
      if (down) {
        sMouseButtons |= bit;
      } else {
        sMouseButtons &= ~bit;
      }
      int32_t kind = bit == MK_LBUTTON   ? (down ? PM_LBUTTONDOWN : PM_LBUTTONUP)
                     : bit == MK_RBUTTON ? (down ? PM_RBUTTONDOWN : PM_RBUTTONUP)
                                         : (down ? PM_MBUTTONDOWN : PM_MBUTTONUP);
      PushMouse(kind, event.button.x, event.button.y);
      return;
    }
    default:
      break;
  }
  Push(PM_OTHER);
}

void PlatformOwnerEvent(const SDL_Event &event) {
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED &&
      IsMainWindowEvent(event.window.windowID)) {
    PaintBlack(sMainWindow);
  }
}

// SDL_PollEvent stops at the end of each poll cycle and so can miss what arrived since; pumping and then
// taking from SDL's queue sees everything up to now, the pending SIGTERM and SIGINT included.
static void Pump() {
  if (!sQueue.empty()) return;
  SDL_PumpEvents();
  SDL_Event event;
  while (sQueue.empty() && SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
    if (event.type != SDL_POLLSENTINEL) Translate(event);
  }
}

int32_t PlatformPeekMessage(PLATFORM_MESSAGE *message) {
  Pump();
  if (sQueue.empty()) return 0;
  *message = sQueue.front();
  return 1;
}

int32_t PlatformTakeMessage(PLATFORM_MESSAGE *message) {
  Pump();
  if (sQueue.empty()) {
    *message = PLATFORM_MESSAGE{};
    return 0;
  }
  *message = sQueue.front();
  sQueue.pop_front();
  return 1;
}

void PlatformPostQuit(int32_t code) {
  PLATFORM_MESSAGE message = {};
  message.Kind = PM_QUIT;
  message.QuitCode = code;
  sQueue.push_back(message);
}

// =========================================================================================================
// [SECTION] Mouse, desktop, time

void PlatformCaptureMouse(int32_t capture) { SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE); }

void PlatformShowCursor(int32_t show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

void PlatformGetCursorPos(int32_t *x, int32_t *y) {
  int sx = 0, sy = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (sMainWindow && SDL_GetWindowWMInfo(sMainWindow->Window, &info) && info.subsystem == SDL_SYSWM_X11) {
    Window root, child;
    int windowX, windowY;
    unsigned int mask;
    XQueryPointer(info.info.x11.display, DefaultRootWindow(info.info.x11.display), &root, &child, &sx, &sy,
                  &windowX, &windowY, &mask);
    *x = sx;
    *y = sy;
    return;
  }
#endif
  SDL_GetGlobalMouseState(&sx, &sy);
  *x = sx;
  *y = sy;
}

void PlatformGetDesktopRect(int32_t *left, int32_t *top, int32_t *right, int32_t *bottom) {
  SDL_Rect bounds = {0, 0, 0, 0};
  SDL_GetDisplayBounds(0, &bounds);
  *left = bounds.x;
  *top = bounds.y;
  *right = bounds.x + bounds.w;
  *bottom = bounds.y + bounds.h;
}

void PlatformGetScreenSize(int32_t *width, int32_t *height) {
  SDL_Rect bounds = {0, 0, 0, 0};
  SDL_GetDisplayBounds(0, &bounds);
  *width = bounds.w;
  *height = bounds.h;
}

uint32_t PlatformTickCount() { return SDL_GetTicks(); }

void PlatformSleep(uint32_t milliseconds) { SDL_Delay(milliseconds); }

// =========================================================================================================
// [SECTION] Display mode

// The changed mode lives in the window's fullscreen state, so it follows the window when the native
// window is re-created and goes back to the desktop mode with it.
static PlatformWindow *sModeWindow = nullptr;
static SDL_DisplayMode sMode;

static bool DepthMatches(Uint32 format, int32_t bits) {
  if (bits == 32) return SDL_BYTESPERPIXEL(format) == 4 && SDL_BITSPERPIXEL(format) >= 24;
  if (bits == 16) return SDL_BITSPERPIXEL(format) == 16 || SDL_BITSPERPIXEL(format) == 15;
  return static_cast<int32_t>(SDL_BITSPERPIXEL(format)) == bits;
}

static int32_t EnterMode(SDL_Window *native) {
  if (SDL_SetWindowDisplayMode(native, &sMode) != 0) return -1;
  if (SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN) != 0) return -1;
  return 0;
}

int32_t PlatformChangeDisplayMode(PlatformWindow *window, int32_t width, int32_t height, int32_t bits) {
  if (window == nullptr || sModeWindow != nullptr) return -1;
  int display = SDL_GetWindowDisplayIndex(window->Window);
  if (display < 0) return -1;
  int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; i++) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
    if (mode.w != width || mode.h != height || !DepthMatches(mode.format, bits)) continue;
    sMode = mode;
    if (EnterMode(window->Window) != 0) {
      SDL_SetWindowFullscreen(window->Window, 0);
      return -1;
    }
    sModeWindow = window;
    return 0;
  }
  return -1;
}

void PlatformRestoreDisplayMode() {
  if (sModeWindow == nullptr) return;
  SDL_SetWindowFullscreen(sModeWindow->Window, 0);
  sModeWindow = nullptr;
}

int32_t PlatformDisplayModeChanged() { return sModeWindow != nullptr ? 1 : 0; }

// =========================================================================================================
// [SECTION] Pixel format and OpenGL context

// The one format the display offers for a request: the last request chosen and what a context made with it
// really has.
static PIXELFORMATDESCRIPTOR sRequest;
static PIXELFORMATDESCRIPTOR sFormat;
static int32_t sFormatCount = 0;

static void SetAttributes(const PIXELFORMATDESCRIPTOR &request) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, request.cRedBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, request.cGreenBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, request.cBlueBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.cAlphaBits);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, request.cAccumRedBits);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, request.cAccumGreenBits);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, request.cAccumBlueBits);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, request.cAccumAlphaBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.cDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.cStencilBits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (request.dwFlags & PFD_DOUBLEBUFFER) ? 1 : 0);
}

static uint8_t MaskShift(Uint32 mask) {
  uint8_t shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    shift++;
  }
  return shift;
}

static uint8_t GetBits(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return static_cast<uint8_t>(value);
}

// Reads the format of the current context's window-system framebuffer.
static void ReadFormat(SDL_Window *native, PIXELFORMATDESCRIPTOR *format) {
  memset(format, 0, sizeof *format);
  format->nSize = sizeof *format;
  format->nVersion = 1;
  GLboolean doubleBuffer = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
  format->dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (doubleBuffer ? PFD_DOUBLEBUFFER : 0);
  format->iPixelType = PFD_TYPE_RGBA;
  format->cRedBits = GetBits(GL_RED_BITS);
  format->cGreenBits = GetBits(GL_GREEN_BITS);
  format->cBlueBits = GetBits(GL_BLUE_BITS);
  format->cAlphaBits = GetBits(GL_ALPHA_BITS);
  format->cColorBits = static_cast<uint8_t>(format->cRedBits + format->cGreenBits + format->cBlueBits);
  Uint32 r = 0, g = 0, b = 0, a = 0;
  int bpp = 0;
  if (SDL_PixelFormatEnumToMasks(SDL_GetWindowPixelFormat(native), &bpp, &r, &g, &b, &a)) {
    format->cRedShift = MaskShift(r);
    format->cGreenShift = MaskShift(g);
    format->cBlueShift = MaskShift(b);
    format->cAlphaShift = MaskShift(a);
  }
  format->cAccumRedBits = GetBits(GL_ACCUM_RED_BITS);
  format->cAccumGreenBits = GetBits(GL_ACCUM_GREEN_BITS);
  format->cAccumBlueBits = GetBits(GL_ACCUM_BLUE_BITS);
  format->cAccumAlphaBits = GetBits(GL_ACCUM_ALPHA_BITS);
  format->cAccumBits = static_cast<uint8_t>(format->cAccumRedBits + format->cAccumGreenBits +
                                            format->cAccumBlueBits + format->cAccumAlphaBits);
  format->cDepthBits = GetBits(GL_DEPTH_BITS);
  format->cStencilBits = GetBits(GL_STENCIL_BITS);
  format->cAuxBuffers = GetBits(GL_AUX_BUFFERS);
  format->iLayerType = PFD_MAIN_PLANE;
}

// A hidden window and context made with the request; null when the display has nothing for it.
static SDL_Window *CreateProbe(const PIXELFORMATDESCRIPTOR &request, SDL_GLContext *context) {
  SetAttributes(request);
  SDL_Window *probe = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (probe == nullptr) return nullptr;
  *context = SDL_GL_CreateContext(probe);
  if (*context == nullptr) {
    SDL_DestroyWindow(probe);
    return nullptr;
  }
  return probe;
}

int32_t PlatformChoosePixelFormat(PlatformWindow *window, const PIXELFORMATDESCRIPTOR *request) {
  if (window == nullptr || request == nullptr || request->iPixelType != PFD_TYPE_RGBA) return 0;
  SDL_Window *previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  // The probe has the same attributes as the window will have, so it gets the same visual.
  PIXELFORMATDESCRIPTOR chosen = *request;
  SDL_GLContext context = nullptr;
  SDL_Window *probe = CreateProbe(chosen, &context);
  // Where destination alpha needs a visual with an alpha channel, a compositing desktop would show
  // the window through wherever blending left alpha below 1; an opaque visual is the closer match.
  if (probe != nullptr && SDL_ISPIXELFORMAT_ALPHA(SDL_GetWindowPixelFormat(probe)) && chosen.cAlphaBits != 0) {
    chosen.cAlphaBits = 0;
    SDL_GLContext opaqueContext = nullptr;
    SDL_Window *opaque = CreateProbe(chosen, &opaqueContext);
    if (opaque != nullptr) {
      SDL_GL_DeleteContext(context);
      SDL_DestroyWindow(probe);
      probe = opaque;
      context = opaqueContext;
    } else {
      chosen.cAlphaBits = request->cAlphaBits;
      SDL_GL_MakeCurrent(probe, context);
    }
  }
  if (probe == nullptr) return 0;
  ReadFormat(probe, &sFormat);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(probe);
  if (previousContext != nullptr) SDL_GL_MakeCurrent(previousWindow, previousContext);
  sRequest = chosen;
  sFormatCount = 1;
  return 1;
}

int32_t PlatformDescribePixelFormat(PlatformWindow *window, int32_t index, uint32_t size,
                                    PIXELFORMATDESCRIPTOR *format) {
  if (window == nullptr || index < 1 || index > sFormatCount || format == nullptr ||
      size < sizeof(PIXELFORMATDESCRIPTOR)) {
    return 0;
  }
  *format = sFormat;
  return sFormatCount;
}

int32_t PlatformSetPixelFormat(PlatformWindow *window, int32_t index, const PIXELFORMATDESCRIPTOR *format) {
  if (window == nullptr || format == nullptr || index < 1 || index > sFormatCount || window->FormatSet) {
    return 0;
  }
  SetAttributes(sRequest);
  int x = 0, y = 0, width = 0, height = 0;
  SDL_GetWindowPosition(window->Window, &x, &y);
  SDL_GetWindowSize(window->Window, &width, &height);
  bool inMode = sModeWindow == window;
  if (inMode) {
    // The desktop-mode placement is what the window goes back to when the mode is restored.
    SDL_Rect bounds;
    SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window->Window), &bounds);
    x = bounds.x;
    y = bounds.y;
    width = sMode.w;
    height = sMode.h;
  }
  Uint32 shown = SDL_GetWindowFlags(window->Window) & SDL_WINDOW_SHOWN;
  SDL_Window *native =
      SDL_CreateWindow(window->Title, x, y, width, height, kMainWindowFlags | SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (native == nullptr) return 0;
  SDL_DestroyWindow(window->Window);
  window->Window = native;
  window->FormatSet = 1;
  if (inMode && EnterMode(native) != 0) {
    SDL_SetWindowFullscreen(native, 0);
    sModeWindow = nullptr;
  }
  if (shown) PlatformShowWindow(window);
  return 1;
}

PlatformGLContext *PlatformCreateGLContext(PlatformWindow *window) {
  if (window == nullptr || !window->FormatSet) return nullptr;
  return reinterpret_cast<PlatformGLContext *>(SDL_GL_CreateContext(window->Window));
}

int32_t PlatformMakeCurrent(PlatformWindow *window, PlatformGLContext *context) {
  SDL_Window *native = window != nullptr ? window->Window : nullptr;
  return SDL_GL_MakeCurrent(native, reinterpret_cast<SDL_GLContext>(context)) == 0 ? 1 : 0;
}

void PlatformDeleteGLContext(PlatformGLContext *context) {
  if (context == nullptr) return;
  if (SDL_GL_GetCurrentContext() == reinterpret_cast<SDL_GLContext>(context)) SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
}

// GLX hands out a dispatch stub for any name, so a missing extension would look present; the entry points
// the program asks for are only given out when the context lists their extension.
static const struct {
  const char *Function;
  const char *Extension;
} kExtensionFunctions[] = {
    {"glActiveTextureARB", "GL_ARB_multitexture"},
    {"glMultiTexCoord2fARB", "GL_ARB_multitexture"},
    {"glLockArraysEXT", "GL_EXT_compiled_vertex_array"},
    {"glUnlockArraysEXT", "GL_EXT_compiled_vertex_array"},
};

void *PlatformGetProcAddress(const char *name) {
  if (name == nullptr || SDL_GL_GetCurrentContext() == nullptr) return nullptr;
  for (const auto &entry : kExtensionFunctions) {
    if (strcmp(entry.Function, name) == 0 && !SDL_GL_ExtensionSupported(entry.Extension)) return nullptr;
  }
  return SDL_GL_GetProcAddress(name);
}

void PlatformSwapBuffers(PlatformWindow *window) { SDL_GL_SwapWindow(window->Window); }

// =========================================================================================================
// [SECTION] Message box

void PlatformMessageBox(const char *text, const char *caption) {
  SDL_Window *owner = sMainWindow != nullptr ? sMainWindow->Window : nullptr;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owner) != 0) {
    fprintf(stderr, "%s: %s\n", caption, text);
    fflush(stderr);
  }
}
