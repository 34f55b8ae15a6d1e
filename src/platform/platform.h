// The platform layer: the only part of the program that includes SDL, FreeType, fontconfig and the GLU
// tessellator. Everything else calls these plain functions, written in the terms the rest of the program
// uses (virtual-key codes, the mouse button-and-key word, pixel-format records, display modes, glyph
// metrics). Main thread only, unless a function says otherwise.
#pragma once

#include <cstdint>

// The main window. The handle stays the same for the whole run even when the native window behind it is
// re-created (setting a pixel format does that on X11, where a GL window's visual is fixed at creation).
struct PlatformWindow;
// An OpenGL rendering context.
struct PlatformGLContext;
// A running modal dialog, handed to the dialog procedure.
struct PlatformDialog;

// ---------------------------------------------------------------------------------------------------------
// Main window

// Creates the main window: borderless, top-most, at (0, 0) with the size of the whole primary screen,
// hidden until PlatformShowWindow, with the standard arrow cursor and a black background. Starts the video
// subsystem on first use. Returns null when there is no real display to put it on (no display at all, or
// only SDL's offscreen or dummy video driver); nothing is reported then. One main window per process;
// message boxes are owned by it from now on.
PlatformWindow *PlatformCreateMainWindow(const char *title);
// Destroys the native window (after restoring the display mode if it was changed) and frees the handle.
// Message boxes have no owner again afterwards. Null is ignored.
void PlatformDestroyWindow(PlatformWindow *window);

// Shows the window, raises it above the others and gives it the keyboard focus.
void PlatformShowWindow(PlatformWindow *window);
// Places the window top-most at (x, y) screen pixels with a client area of width x height and shows it.
// Ignored while the display mode is changed (the window then covers the whole changed display).
void PlatformMoveWindow(PlatformWindow *window, int32_t x, int32_t y, int32_t width, int32_t height);
// Minimises the window (iconic); PlatformRestoreWindow shows it normally again.
void PlatformMinimiseWindow(PlatformWindow *window);
void PlatformRestoreWindow(PlatformWindow *window);
// The window's current position in screen pixels and its client size.
void PlatformGetWindowRect(PlatformWindow *window, int32_t *x, int32_t *y, int32_t *width, int32_t *height);

// ---------------------------------------------------------------------------------------------------------
// Message queue

// Message kinds, already translated into the terms of the window procedure.
enum {
  PM_NONE = 0,
  PM_DESTROY,        // the window is being destroyed: closed by the user or the window manager (Alt+F4),
                     // or the process was asked to quit (SIGTERM, SIGINT). The native window and its GL
                     // context stay usable until PlatformDestroyWindow, so shutdown can still release them.
  PM_ACTIVATE,       // Active: PM_INACTIVE, or PM_ACTIVE when the window gains the focus or is restored
                     // from the task bar (SDL cannot tell a click from the keyboard, so PM_CLICKACTIVE
                     // never arrives; it keeps the window procedure's test complete)
  PM_KEYDOWN,        // Key: virtual-key code; repeated while the key is held (keyboard auto-repeat)
  PM_KEYUP,          // Key: virtual-key code
  PM_MOUSEMOVE,      // Buttons, X, Y
  PM_LBUTTONDOWN,    // Buttons, X, Y (Buttons is the state after the event, so it holds 1 here)
  PM_LBUTTONUP,
  PM_RBUTTONDOWN,
  PM_RBUTTONUP,
  PM_MBUTTONDOWN,
  PM_MBUTTONUP,
  PM_QUIT,           // posted by PlatformPostQuit; QuitCode holds its code
  PM_OTHER           // anything else the window gets (exposure, resize, text input, ...): default handling
};

enum { PM_INACTIVE = 0, PM_ACTIVE = 1, PM_CLICKACTIVE = 2 };

// Mouse button-and-key word bits (Buttons).
enum { MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 16 };

// Virtual-key codes: letters are their upper-case ASCII code ('A' 65 .. 'Z' 90, so F is 70 and B is 66),
// digits their ASCII code ('0' 48 .. '9' 57); the others are these. Keys without a code give 0.
enum {
  VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_MENU = 18, VK_PAUSE = 19,
  VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36,
  VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46,
  VK_NUMPAD0 = 96,  // .. VK_NUMPAD9 = 105
  VK_MULTIPLY = 106, VK_ADD = 107, VK_SUBTRACT = 109, VK_DECIMAL = 110, VK_DIVIDE = 111,
  VK_F1 = 112,      // .. VK_F12 = 123
  VK_OEM_1 = 186, VK_OEM_PLUS = 187, VK_OEM_COMMA = 188, VK_OEM_MINUS = 189, VK_OEM_PERIOD = 190,
  VK_OEM_2 = 191, VK_OEM_3 = 192, VK_OEM_4 = 219, VK_OEM_5 = 220, VK_OEM_6 = 221, VK_OEM_7 = 222
};

struct PLATFORM_MESSAGE {
  int32_t Kind;      // PM_*
  int32_t Active;    // PM_ACTIVATE: PM_INACTIVE, PM_ACTIVE or PM_CLICKACTIVE
  int32_t Key;       // PM_KEYDOWN, PM_KEYUP: virtual-key code
  uint32_t Buttons;  // mouse messages: MK_* bits held after the event (Shift and Ctrl included)
  int32_t X;         // mouse messages: client pixels; may lie outside the window (or be negative) while
  int32_t Y;         // the mouse is captured
  int32_t QuitCode;  // PM_QUIT
};

// 1 and a copy of the next message when one is waiting, which stays in the queue; 0 when the queue is
// empty. Never waits.
int32_t PlatformPeekMessage(PLATFORM_MESSAGE *message);
// Takes the next message off the queue: 1 when one was taken, 0 when the queue is empty (message is then
// PM_NONE). Never waits.
int32_t PlatformTakeMessage(PLATFORM_MESSAGE *message);
// Puts PM_QUIT with `code` at the end of the queue.
void PlatformPostQuit(int32_t code);
// Translation of one SDL key symbol (SDL_Keycode value) into a virtual-key code; 0 for keys without one.
int32_t PlatformVirtualKey(int32_t sdlKeycode);

// ---------------------------------------------------------------------------------------------------------
// Mouse, desktop, time

// Mouse capture for the main window: while captured, the window keeps getting mouse messages when the
// cursor leaves it. 1 captures, 0 releases.
void PlatformCaptureMouse(int32_t capture);
// 1 shows the mouse cursor, 0 hides it.
void PlatformShowCursor(int32_t show);
// The cursor's position in screen pixels now, asked of the display server itself: SDL's own answer under X11
// is cached from input it may never see (synthetic pointer motion), and a position worked out from a queued
// message and the window's place goes wrong while the window moves under it.
void PlatformGetCursorPos(int32_t *x, int32_t *y);
// The primary screen's rectangle in screen pixels (left, top, right, bottom), in the current display mode.
void PlatformGetDesktopRect(int32_t *left, int32_t *top, int32_t *right, int32_t *bottom);
// The primary screen's size in pixels as the system reports it now.
void PlatformGetScreenSize(int32_t *width, int32_t *height);
// Milliseconds since the platform layer started; wraps around after about 49 days. Any thread.
uint32_t PlatformTickCount();
// Waits `milliseconds`. Any thread.
void PlatformSleep(uint32_t milliseconds);

// ---------------------------------------------------------------------------------------------------------
// Display mode

// Switches the display to width x height at `bits` per pixel (32: 8 bits per channel; 16: 5/6/5) and puts
// the window over the whole changed display. Returns 0 on success; non-zero, with nothing changed, when the
// display lacks that mode or refuses it. A mode matches on size and depth; the refresh rate is free.
int32_t PlatformChangeDisplayMode(PlatformWindow *window, int32_t width, int32_t height, int32_t bits);
// Gives the display back its desktop mode; does nothing when the mode was not changed. Safe to call twice.
void PlatformRestoreDisplayMode();
// 1 while the display mode is changed.
int32_t PlatformDisplayModeChanged();

// ---------------------------------------------------------------------------------------------------------
// Pixel format and OpenGL context

enum {
  PFD_DOUBLEBUFFER = 0x1,
  PFD_DRAW_TO_WINDOW = 0x4,
  PFD_SUPPORT_OPENGL = 0x20,
  PFD_TYPE_RGBA = 0,
  PFD_MAIN_PLANE = 0
};

// The platform's published pixel-format record: 40 bytes, these fields in this order.
struct PIXELFORMATDESCRIPTOR {
  uint16_t nSize;
  uint16_t nVersion;
  uint32_t dwFlags;
  uint8_t iPixelType;
  uint8_t cColorBits;  // red + green + blue, alpha excluded
  uint8_t cRedBits;
  uint8_t cRedShift;
  uint8_t cGreenBits;
  uint8_t cGreenShift;
  uint8_t cBlueBits;
  uint8_t cBlueShift;
  uint8_t cAlphaBits;
  uint8_t cAlphaShift;
  uint8_t cAccumBits;
  uint8_t cAccumRedBits;
  uint8_t cAccumGreenBits;
  uint8_t cAccumBlueBits;
  uint8_t cAccumAlphaBits;
  uint8_t cDepthBits;
  uint8_t cStencilBits;
  uint8_t cAuxBuffers;
  uint8_t iLayerType;
  uint8_t bReserved;
  uint32_t dwLayerMask;
  uint32_t dwVisibleMask;
  uint32_t dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "the pixel-format record is 40 bytes");

// The index (>= 1) of the format closest to `request` that the window's display offers, or 0 when none
// (no OpenGL library, no matching visual). The closest format is found by making a probe context with the
// request, so the description below is what a context really gets.
int32_t PlatformChoosePixelFormat(PlatformWindow *window, const PIXELFORMATDESCRIPTOR *request);
// Fills `format` (of `size` bytes, at most 40 are written) with format `index` as read back from a real
// context. Returns the highest format index (> 0), or 0 for an unknown index or a size under 40.
int32_t PlatformDescribePixelFormat(PlatformWindow *window, int32_t index, uint32_t size,
                                    PIXELFORMATDESCRIPTOR *format);
// Gives the window format `index`: the native window is re-created with that visual behind the same
// handle, keeping its position, size, visibility and any changed display mode. 1 on success, 0 on failure
// (unknown index, or a format was already set on this window).
int32_t PlatformSetPixelFormat(PlatformWindow *window, int32_t index, const PIXELFORMATDESCRIPTOR *format);

// An OpenGL context on a window whose pixel format is set; null on failure. It is current afterwards.
PlatformGLContext *PlatformCreateGLContext(PlatformWindow *window);
// Makes `context` current on `window`'s drawable; a null context makes none current. 1 on success.
int32_t PlatformMakeCurrent(PlatformWindow *window, PlatformGLContext *context);
// Deletes a context (made not current first when it is current). Null is ignored.
void PlatformDeleteGLContext(PlatformGLContext *context);
// The address of an OpenGL (extension) function, null when the implementation has none. Needs a current
// context.
void *PlatformGetProcAddress(const char *name);
// Presents the back buffer of a double-buffered window (a flush for a single-buffered one).
void PlatformSwapBuffers(PlatformWindow *window);

// ---------------------------------------------------------------------------------------------------------
// Message box

// Shows `text` in a modal box captioned `caption` with a single OK button and waits until it is dismissed;
// the box is owned by the main window once one exists. Where no display can show a box, the text goes to
// standard error and the call returns at once.
void PlatformMessageBox(const char *text, const char *caption);

// ---------------------------------------------------------------------------------------------------------
// Modal dialog from a template

enum {
  DLG_PUSHBUTTON = 0,
  DLG_DEFPUSHBUTTON,  // pressed by Enter
  DLG_GROUPBOX,       // starts a radio group: the auto radios after it, up to the next group box
  DLG_AUTORADIO,      // a click checks it and clears the others of its group
  DLG_AUTOCHECKBOX,   // a click toggles it
  DLG_STATIC,         // text only
  DLG_EDITDIGITS      // single-line edit box that takes only digits from the keyboard
};

enum { IDOK = 1, IDCANCEL = 2 };

struct PLATFORM_DIALOG_CONTROL {
  int32_t Id;
  int32_t Kind;       // DLG_*
  const char *Label;  // null or "" for none
  int32_t X, Y, W, H; // dialog units
  int32_t Checked;    // radios and check boxes: 1 when checked at creation
};

struct PLATFORM_DIALOG_TEMPLATE {
  const char *Caption;
  int32_t FontSize;    // points; sets the size of a dialog unit (the layout is scaled up to read well)
  int32_t X, Y, W, H;  // dialog units, relative to the owner window's top-left corner
  const PLATFORM_DIALOG_CONTROL *Controls;
  int32_t ControlCount;
};

// Messages to the dialog procedure.
enum {
  DLG_INIT = 1,    // once, before the dialog is first drawn; controlId is 0
  DLG_COMMAND = 2  // controlId sent it: a button press, a radio or check box click, an edit box change
                   // (including changes made by PlatformSetDialogText); Enter sends IDOK, Escape and
                   // closing the dialog window send IDCANCEL, as does a request to quit the process
};

// The procedure's result is ignored (the dialog manager's default handling always applies).
typedef int32_t (*PLATFORM_DIALOG_PROC)(PlatformDialog *dialog, int32_t message, int32_t controlId);

// Runs the dialog modally in its own window captioned as the template says, above `owner` (which may be
// null), and returns the result given to PlatformEndDialog. -1 when the dialog cannot be shown (no display,
// no OpenGL). Commands are delivered one at a time: a change made from inside the procedure sends its
// command after the procedure has returned.
int32_t PlatformRunDialog(const PLATFORM_DIALOG_TEMPLATE *dialogTemplate, PlatformWindow *owner,
                          PLATFORM_DIALOG_PROC procedure);
// Control access for the procedure; unknown ids read as 0 / "" and are ignored when written.
int32_t PlatformIsDialogChecked(PlatformDialog *dialog, int32_t controlId);
void PlatformSetDialogChecked(PlatformDialog *dialog, int32_t controlId, int32_t checked);
// Copies at most size - 1 characters of the control's text and a terminating zero; returns the count copied.
int32_t PlatformGetDialogText(PlatformDialog *dialog, int32_t controlId, char *buffer, int32_t size);
// Replaces the text; the control's command follows when the text changed.
void PlatformSetDialogText(PlatformDialog *dialog, int32_t controlId, const char *text);
// Ends the dialog after the procedure returns; PlatformRunDialog returns `result`.
void PlatformEndDialog(PlatformDialog *dialog, int32_t result);

// ---------------------------------------------------------------------------------------------------------
// Outline fonts

// One glyph's measures in em units (the em square is 1.0), with the glyph origin on the baseline and y up.
struct GLYPHMETRICSFLOAT {
  float gmfBlackBoxX;       // width and height of the smallest box around the outline
  float gmfBlackBoxY;
  float gmfptGlyphOriginX;  // that box's top-left corner, relative to the glyph origin
  float gmfptGlyphOriginY;
  float gmfCellIncX;        // from this glyph's origin to the next one's
  float gmfCellIncY;
};

// A loaded face.
struct PlatformFont;

// Resolves the family `faceName` at `weight` (100 to 900; 700 is bold) through fontconfig and loads it.
// When that family is not installed, DejaVu Sans Condensed (package fonts-dejavu-extra) stands in for it;
// without that too, fontconfig's own closest face does. Null when no scalable face can be loaded at all.
PlatformFont *PlatformCreateFont(const char *faceName, int32_t weight);
// The face that was loaded, as "family style (file)". Valid while the font lives.
const char *PlatformFontName(const PlatformFont *font);
// For each code c from first to first + count - 1, compiles display list listBase + c in the current
// context and fills metrics[c - first]. Codes are the OEM character set: 0 to 127 as they are, 128 to 254
// through code page 437; 255 has no glyph. A glyph is the outline flattened to `deviation` em units (0: one
// design unit of the face) and filled with the face's own fill rule (holes stay open) as a front face at
// z = 0 (normal +z) and a back face at z = -extrusion (normal -z), joined by side walls with outward
// normals; its list ends with a translation by its cell increment. A code the face has no glyph for keeps
// an empty list and zero metrics.
void PlatformUseFontOutlines(PlatformFont *font, uint32_t first, uint32_t count, uint32_t listBase,
                             float deviation, float extrusion, GLYPHMETRICSFLOAT *metrics);
// Null is ignored.
void PlatformDeleteFont(PlatformFont *font);
