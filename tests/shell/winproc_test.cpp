#include <gtest/gtest.h>

#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

// Sends a message and gives back its result with the input state it left:
// "result x,y buttons key active".
std::string Send(int32_t kind, int32_t value = 0, int32_t x = 0, int32_t y = 0) {
  PLATFORM_MESSAGE message = {};
  message.Kind = kind, message.X = x, message.Y = y;
  if (kind == PM_KEYDOWN || kind == PM_KEYUP) message.Key = value;
  else if (kind == PM_ACTIVATE) message.Active = value;
  else message.Buttons = (uint32_t)value;
  const int32_t result = WindowProc(MainWindow, &message);
  return std::to_string(result) + " " + std::to_string(MouseX) + "," + std::to_string(MouseY) + " " +
         std::to_string(MouseButtons) + " " + std::to_string(KeyDown) + " " + std::to_string(AppActive);
}

TEST(WindowProcedure, InputStateFollowsTheMessages) {
  MouseX = MouseY = MouseButtons = KeyDown = 0;
  AppActive = 1;
  const struct {
    int32_t kind, value, x, y;
    const char *state;
  } steps[] = {
      {PM_MOUSEMOVE, 0, 400, 240, "1 400,240 0 0 1"},
      // Buttons keep the position of the last move; the word holds buttons, Shift and Ctrl.
      {PM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 410, 250, "1 400,240 5 0 1"},
      {PM_LBUTTONUP, 0, 410, 250, "1 400,240 0 0 1"},
      {PM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL | MK_MBUTTON, 2, 3, "1 2,3 25 0 1"},
      // Outside the window while the mouse is captured, the position reads as unsigned halves.
      {PM_MOUSEMOVE, 0, -1, -2, "1 65535,65534 0 0 1"},
      {PM_KEYDOWN, 'F', 0, 0, "0 65535,65534 0 70 1"},
      {PM_KEYDOWN, VK_ESCAPE, 0, 0, "0 65535,65534 0 27 1"},
      {PM_KEYUP, 'B', 0, 0, "0 65535,65534 0 0 1"},  // any release clears the key
      // Other messages go to the default handling.
      {PM_OTHER, 0, 0, 0, "0 65535,65534 0 0 1"},
      {PM_MBUTTONDOWN, MK_MBUTTON, 5, 5, "0 65535,65534 0 0 1"},
      {PM_ACTIVATE, PM_ACTIVE, 0, 0, "0 65535,65534 0 0 1"},
  };
  for (const auto &s : steps) EXPECT_EQ(Send(s.kind, s.value, s.x, s.y), s.state) << s.kind << " " << s.value;
  // A director that acted on a click leaves -1 until the next mouse message; an inactive window stays so.
  MouseButtons = -1, AppActive = 0;
  EXPECT_EQ(Send(PM_MOUSEMOVE, 0, 2, 3), "1 2,3 0 0 0");
  EXPECT_EQ(Send(PM_ACTIVATE, PM_INACTIVE), "0 2,3 0 0 0");
}

TEST(WindowDrag, ClampsToTheDesktop) {
  // Position, window size, desktop size and the clamped position; a window larger than the desktop keeps
  // its top-left corner on it.
  const int32_t cases[][8] = {{900, 10, 640, 480, 1024, 768, 384, 10},
                              {-50, 700, 640, 480, 1024, 768, 0, 288},
                              {-50, -60, 640, 480, 1024, 768, 0, 0},
                              {10, 10, 1024, 768, 800, 600, 0, 0}};
  for (const auto &c : cases) {
    int32_t x = c[0], y = c[1];
    ClampWindowPosition(&x, &y, c[2], c[3], c[4], c[5]);
    EXPECT_EQ(x * 10000 + y, c[6] * 10000 + c[7]) << c[0] << ", " << c[1];
  }
}

TEST(SetupTemplate, EveryToggleIsARadioOrCheckBoxOfTheTemplate) {
  EXPECT_STREQ(SetupDialogTemplate.Caption, "Tunemill - setup");
  for (int id : kSetupToggleIds) {
    int found = 0;
    for (int32_t i = 0; i < SetupDialogTemplate.ControlCount; i++) {
      const PLATFORM_DIALOG_CONTROL &c = SetupDialogTemplate.Controls[i];
      found += c.Id == id && (c.Kind == DLG_AUTORADIO || c.Kind == DLG_AUTOCHECKBOX);
    }
    EXPECT_EQ(found, 1) << id;
  }
}

}  // namespace
