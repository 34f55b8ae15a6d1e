#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/gldriver.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

SETUP_OPTIONS SetupOptions = {0, 0, 0, 0, 0, 0, 0, 0.0f, 1, 1};
PlatformWindow *MainWindow = nullptr;
c_GLDRIVER *GlDriver = nullptr;
int32_t AppActive = 1;

// =========================================================================================================
// [SECTION] Setup dialog rules

static void SetChecked(SETUP_CONTROLS *controls, int id, int checked) {
  for (int i = 0; i < SETUP_TOGGLE_COUNT; i++)
    if (kSetupToggleIds[i] == id) controls->Checked[i] = (uint8_t)(checked ? 1 : 0);
}

int SetupIsChecked(const SETUP_CONTROLS *controls, int id) {
  for (int i = 0; i < SETUP_TOGGLE_COUNT; i++)
    if (kSetupToggleIds[i] == id) return controls->Checked[i];
  return 0;
}

void SetupFormatBrightness(char *text, size_t size) {
  // Rounded, not truncated: 0.57f x 100 is 56.99..., and a refill must show the value that was typed.
  snprintf(text, size, "%i", (int)lround((double)SetupOptions.Brightness * 100.0));
}

int SetupParseBrightness(const char *text) {
  // The "%i" reading (optional white space, sign, decimal, 0 octal or 0x hexadecimal, trailing text
  // ignored), where a number too long for any integer saturates, and so is out of range, instead of
  // being undefined as in scanf.
  char *end = nullptr;
  long long number = strtoll(text, &end, 0);
  if (end == text) return 0;
  double value = (double)number * 0.01;
  if (value < 0.0 || value > 1.0) return 0;
  SetupOptions.Brightness = (float)value;
  return 1;
}

void SetupDialogInit(SETUP_CONTROLS *controls) {
  memset(controls, 0, sizeof *controls);
  SetChecked(controls, SETUP_ID_MODE_1024, 1);
  SetChecked(controls, SETUP_ID_COLOR_32, 1);
  SetChecked(controls, SETUP_ID_DEPTH_24, 1);
  SetChecked(controls, SETUP_ID_BACKFACE_CULL, 1);
  SetChecked(controls, SETUP_ID_RENORMALIZE, 1);
  SetupOptions.Brightness = 0.0f;
  SetupFormatBrightness(controls->BrightnessText, sizeof controls->BrightnessText);
}

int SetupDialogCommand(SETUP_CONTROLS *controls, int id) {
  // The box holds at most 31 characters for the reading, whatever the control keeps.
  char text[32];
  snprintf(text, sizeof text, "%.31s", controls->BrightnessText);
  if (!SetupParseBrightness(text))
    SetupFormatBrightness(controls->BrightnessText, sizeof controls->BrightnessText);

  static const int kModeIds[4] = {SETUP_ID_MODE_320, SETUP_ID_MODE_640, SETUP_ID_MODE_800, SETUP_ID_MODE_1024};
  static const int32_t kModeWidths[4] = {320, 640, 800, 1024};
  static const int32_t kModeHeights[4] = {240, 480, 600, 768};
  for (int i = 0; i < 4; i++) {
    if (SetupIsChecked(controls, kModeIds[i])) {
      SetupOptions.Width = kModeWidths[i];
      SetupOptions.Height = kModeHeights[i];
    }
  }
  if (SetupIsChecked(controls, SETUP_ID_COLOR_32)) SetupOptions.ColorBits = 32;
  if (SetupIsChecked(controls, SETUP_ID_COLOR_16)) SetupOptions.ColorBits = 16;
  if (SetupIsChecked(controls, SETUP_ID_DEPTH_16)) SetupOptions.ZBufferBits = 16;
  if (SetupIsChecked(controls, SETUP_ID_DEPTH_24)) SetupOptions.ZBufferBits = 32;
  SetupOptions.BackFaceCull = SetupIsChecked(controls, SETUP_ID_BACKFACE_CULL);
  SetupOptions.UseSSE = SetupIsChecked(controls, SETUP_ID_USE_SSE);
  SetupOptions.ReNormalize = SetupIsChecked(controls, SETUP_ID_RENORMALIZE);
  SetupOptions.ForceVideoMode = SetupIsChecked(controls, SETUP_ID_NO_FORCE) ? 0 : 1;

  if (id == SETUP_ID_OK) {
    SetupOptions.Accepted = 1;
    return 1;
  }
  if (id == SETUP_ID_CANCEL) {
    SetupOptions.Accepted = 0;
    return 1;
  }
  return 0;
}

int32_t SetupDriverFlags() {
  return SetupOptions.ZBufferBits == 32 ? (GLDRIVER_DOUBLEBUFFER | GLDRIVER_DEPTH24) : GLDRIVER_DOUBLEBUFFER;
}

// =========================================================================================================
// [SECTION] Setup dialog

static const PLATFORM_DIALOG_CONTROL kSetupControls[] = {
    {SETUP_ID_CANCEL, DLG_PUSHBUTTON, "Cancel", 5, 10, 50, 20, 0},
    {SETUP_ID_OK, DLG_DEFPUSHBUTTON, "OK", 5, 40, 50, 20, 0},
    {200, DLG_GROUPBOX, "Video mode", 70, 5, 60, 70, 0},
    {SETUP_ID_MODE_320, DLG_AUTORADIO, "320x240", 80, 15, 45, 10, 0},
    {SETUP_ID_MODE_640, DLG_AUTORADIO, "640x480", 80, 30, 45, 10, 0},
    {SETUP_ID_MODE_800, DLG_AUTORADIO, "800x600", 80, 45, 45, 10, 0},
    {SETUP_ID_MODE_1024, DLG_AUTORADIO, "1024x768", 80, 60, 45, 10, 0},
    {201, DLG_GROUPBOX, "Bytes per pixel", 135, 5, 60, 49, 0},
    {SETUP_ID_COLOR_32, DLG_AUTORADIO, "32 BPP", 140, 20, 40, 10, 0},
    {SETUP_ID_COLOR_16, DLG_AUTORADIO, "16 BPP", 140, 35, 40, 10, 0},
    {202, DLG_GROUPBOX, "Z_buffer", 135, 55, 60, 40, 0},
    {SETUP_ID_DEPTH_16, DLG_AUTORADIO, "16 bit", 140, 65, 40, 10, 0},
    {SETUP_ID_DEPTH_24, DLG_AUTORADIO, "24 bit", 140, 80, 40, 10, 0},
    {203, DLG_STATIC, "MISC:", 5, 70, 25, 8, 0},
    {SETUP_ID_BACKFACE_CULL, DLG_AUTOCHECKBOX, "BackFace Cull", 5, 100, 80, 10, 0},
    {SETUP_ID_RENORMALIZE, DLG_AUTOCHECKBOX, "ReNormalize normals", 5, 85, 100, 10, 0},
    {205, DLG_STATIC, "Brightness [0 - 100]", 105, 115, 80, 10, 0},
    {SETUP_ID_BRIGHTNESS, DLG_EDITDIGITS, "", 105, 125, 90, 12, 0},
    {SETUP_ID_USE_SSE, DLG_AUTOCHECKBOX, "Use P3 SEE opcodes", 5, 130, 80, 10, 0},
    {SETUP_ID_NO_FORCE, DLG_AUTOCHECKBOX, "Do not force video mode", 5, 115, 90, 10, 0},
};

const PLATFORM_DIALOG_TEMPLATE SetupDialogTemplate = {
    "Tunemill - setup", 8, 20, 20, 202, 143, kSetupControls, (int32_t)(sizeof kSetupControls / sizeof kSetupControls[0])};

int32_t SetupDialogProc(PlatformDialog *dialog, int32_t message, int32_t controlId) {
  SETUP_CONTROLS controls;
  if (message == DLG_INIT) {
    SetupDialogInit(&controls);
    for (int i = 0; i < SETUP_TOGGLE_COUNT; i++) PlatformSetDialogChecked(dialog, kSetupToggleIds[i], controls.Checked[i]);
    PlatformSetDialogText(dialog, SETUP_ID_BRIGHTNESS, controls.BrightnessText);
  } else if (message == DLG_COMMAND) {
    memset(&controls, 0, sizeof controls);
    PlatformGetDialogText(dialog, SETUP_ID_BRIGHTNESS, controls.BrightnessText, sizeof controls.BrightnessText);
    for (int i = 0; i < SETUP_TOGGLE_COUNT; i++)
      controls.Checked[i] = (uint8_t)(PlatformIsDialogChecked(dialog, kSetupToggleIds[i]) ? 1 : 0);
    char typed[sizeof controls.BrightnessText];
    memcpy(typed, controls.BrightnessText, sizeof typed);
    int ends = SetupDialogCommand(&controls, controlId);
    if (strcmp(typed, controls.BrightnessText) != 0)
      PlatformSetDialogText(dialog, SETUP_ID_BRIGHTNESS, controls.BrightnessText);
    if (ends) PlatformEndDialog(dialog, controlId);
  }
  return 0;
}
