// The shell's own pieces behind the entry point: the setup dialog's template, procedure and rules, and the
// main window's procedure. The rules are plain functions over the controls' state, so they run without a
// window. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// Control ids of the setup dialog "DIALOG_1".
enum {
  SETUP_ID_OK = 1,
  SETUP_ID_CANCEL = 2,
  SETUP_ID_MODE_320 = 100,
  SETUP_ID_MODE_640 = 101,
  SETUP_ID_MODE_800 = 102,
  SETUP_ID_MODE_1024 = 103,
  SETUP_ID_COLOR_32 = 104,
  SETUP_ID_COLOR_16 = 105,
  SETUP_ID_DEPTH_16 = 106,
  SETUP_ID_DEPTH_24 = 107,
  SETUP_ID_BACKFACE_CULL = 108,
  SETUP_ID_RENORMALIZE = 111,
  SETUP_ID_BRIGHTNESS = 116,
  SETUP_ID_USE_SSE = 666,
  SETUP_ID_NO_FORCE = 999,
};

// Every radio button and check box, in the order of SETUP_CONTROLS::Checked.
enum { SETUP_TOGGLE_COUNT = 12 };
static const int kSetupToggleIds[SETUP_TOGGLE_COUNT] = {
    SETUP_ID_MODE_320, SETUP_ID_MODE_640,      SETUP_ID_MODE_800,   SETUP_ID_MODE_1024,
    SETUP_ID_COLOR_32, SETUP_ID_COLOR_16,      SETUP_ID_DEPTH_16,   SETUP_ID_DEPTH_24,
    SETUP_ID_BACKFACE_CULL, SETUP_ID_RENORMALIZE, SETUP_ID_USE_SSE, SETUP_ID_NO_FORCE};

// What the dialog's controls hold at one moment.
struct SETUP_CONTROLS {
  char BrightnessText[32];
  uint8_t Checked[SETUP_TOGGLE_COUNT];  // 1 when checked
};

// Dialog initialisation: the default choices, Brightness 0.0, the box showing "0".
void SetupDialogInit(SETUP_CONTROLS *controls);
// One command from control `id` (any click or edit change): reads the brightness box, refilling it with the
// last valid value when it holds no number in 0..100, reads every toggle into SetupOptions, and sets
// Accepted for OK and Cancel. Returns 1 when the command ends the dialog.
int SetupDialogCommand(SETUP_CONTROLS *controls, int id);
// 1 and SetupOptions.Brightness = number / 100 when `text` begins with a "%i" number from 0 to 100.
int SetupParseBrightness(const char *text);
// The brightness box's text for the current SetupOptions.Brightness.
void SetupFormatBrightness(char *text, size_t size);
int SetupIsChecked(const SETUP_CONTROLS *controls, int id);
// The driver's flags word: double-buffered, with the 24-bit depth request when ZBufferBits is 32.
int32_t SetupDriverFlags();

// ---------------------------------------------------------------------------------------------------------
// Setup dialog

struct PLATFORM_DIALOG_TEMPLATE;
struct PlatformDialog;
struct PlatformWindow;
struct PLATFORM_MESSAGE;

// "DIALOG_1": caption "Tunemill - setup", every control in template order (a group box starts the radio
// group of the radios after it).
extern const PLATFORM_DIALOG_TEMPLATE SetupDialogTemplate;
// The dialog procedure: DLG_INIT sets the defaults, every DLG_COMMAND runs SetupDialogCommand on the
// controls' current state. Returns 0 for every message.
int32_t SetupDialogProc(PlatformDialog *dialog, int32_t message, int32_t controlId);

// ---------------------------------------------------------------------------------------------------------
// Window procedure

// Records the input state (MouseX, MouseY, MouseButtons, KeyDown), drags the window with the right button
// when the display mode is not forced, restores the window after a minimise, and posts the quit message
// when the window is destroyed. Returns 1 for the mouse messages it handles, else 0 (default handling).
int32_t WindowProc(PlatformWindow *window, const PLATFORM_MESSAGE *message);
// Keeps a Width x Height window at (*x, *y) inside a desktop ending at (right, bottom): the right and bottom
// edges first, then the left and top edges at 0.
void ClampWindowPosition(int32_t *x, int32_t *y, int32_t width, int32_t height, int32_t right, int32_t bottom);
