#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

int32_t MouseX = 0;
int32_t MouseY = 0;
int32_t MouseButtons = 0;
int32_t KeyDown = 0;

// The right-button drag of the window.
static int32_t Dragging = 0;
static int32_t DragCursorX = 0;
static int32_t DragCursorY = 0;
static int32_t DragWindowX = 0;
static int32_t DragWindowY = 0;
static int32_t WindowX = 0;
static int32_t WindowY = 0;

void ClampWindowPosition(int32_t *x, int32_t *y, int32_t width, int32_t height, int32_t right, int32_t bottom) {
  if (*x + width > right) *x = right - width;
  if (*y + height > bottom) *y = bottom - height;
  if (*x < 0) *x = 0;
  if (*y < 0) *y = 0;
}

static void DragWindow() {
  int32_t cursorX, cursorY;
  PlatformGetCursorPos(&cursorX, &cursorY);
  int32_t x = DragWindowX + (cursorX - DragCursorX);
  int32_t y = DragWindowY + (cursorY - DragCursorY);
  // A changed display mode is covered by the window already.
  if (SetupOptions.ForceVideoMode == 1) return;
  int32_t left, top, right, bottom;
  PlatformGetDesktopRect(&left, &top, &right, &bottom);
  ClampWindowPosition(&x, &y, SetupOptions.Width, SetupOptions.Height, right, bottom);
  PlatformMoveWindow(MainWindow, x, y, SetupOptions.Width, SetupOptions.Height);
  WindowX = x;
  WindowY = y;
}

static void ButtonStep(const PLATFORM_MESSAGE *message) {
  MouseButtons = (int32_t)message->Buttons;
  if (message->Buttons == MK_RBUTTON && !Dragging) {
    DragWindowX = WindowX;
    DragWindowY = WindowY;
    Dragging = 1;
    PlatformCaptureMouse(1);
    // Where the press happened, not where the cursor is by the time a slow frame lets us read it: the window
    // stands still until the drag begins, so its place plus the message's position is exact.
    int32_t left, top, width, height;
    PlatformGetWindowRect(MainWindow, &left, &top, &width, &height);
    DragCursorX = left + message->X;
    DragCursorY = top + message->Y;
  }
}

static void MouseMove(const PLATFORM_MESSAGE *message) {
  // The position travels as two unsigned 16-bit halves of one word.
  MouseX = (int32_t)(uint16_t)message->X;
  MouseY = (int32_t)(uint16_t)message->Y;
  if (Dragging) DragWindow();
  ButtonStep(message);
}

int32_t WindowProc(PlatformWindow *, const PLATFORM_MESSAGE *message) {
  switch (message->Kind) {
    case PM_DESTROY:
      PlatformPostQuit(0);
      return 0;
    case PM_ACTIVATE:
      if (message->Active != PM_INACTIVE && AppActive == 0) {
        PlatformRestoreWindow(MainWindow);
        PlatformSleep(500);
        AppActive = 1;
      }
      return 0;
    case PM_KEYDOWN:
      KeyDown = message->Key;
      return 0;
    case PM_KEYUP:
      KeyDown = 0;
      return 0;
    case PM_MOUSEMOVE:
      MouseMove(message);
      return 1;
    case PM_LBUTTONDOWN:
    case PM_LBUTTONUP:
    case PM_RBUTTONDOWN:
      ButtonStep(message);
      return 1;
    case PM_RBUTTONUP:
      if (Dragging) PlatformCaptureMouse(0);
      Dragging = 0;
      MouseMove(message);
      return 1;
    default:
      return 0;
  }
}
