#include <gtest/gtest.h>

#include <utility>

#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

std::pair<int32_t, int32_t> Position() { return {MouseX, MouseY}; }

class WindowProcedure : public ::testing::Test {
 protected:
  void SetUp() override {
    MouseX = MouseY = MouseButtons = KeyDown = 0;
    AppActive = 1;
  }
  // `value` is the button word, the key or the activation state, whichever the kind carries.
  int32_t Send(int32_t kind, int32_t value = 0, int32_t x = 0, int32_t y = 0) {
    PLATFORM_MESSAGE message = {};
    message.Kind = kind, message.X = x, message.Y = y;
    if (kind == PM_KEYDOWN || kind == PM_KEYUP) message.Key = value;
    else if (kind == PM_ACTIVATE) message.Active = value;
    else message.Buttons = (uint32_t)value;
    return WindowProc(MainWindow, &message);
  }
};

TEST_F(WindowProcedure, MouseMessagesKeepThePositionOfTheLastMoveAndTheButtonWord) {
  EXPECT_EQ(Send(PM_MOUSEMOVE, 0, 400, 240), 1);
  EXPECT_EQ(Send(PM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 410, 250), 1);
  EXPECT_EQ(MouseButtons, 5);
  EXPECT_EQ(Position(), std::make_pair(400, 240));
  EXPECT_EQ(Send(PM_LBUTTONUP, 0, 410, 250), 1);
  EXPECT_EQ(MouseButtons, 0);
  EXPECT_EQ(Position(), std::make_pair(400, 240));
  Send(PM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL | MK_MBUTTON, 2, 3);
  EXPECT_EQ(MouseButtons, 25);
  EXPECT_EQ(Position(), std::make_pair(2, 3));
  // A director that acted on a click leaves -1 until the next mouse message.
  MouseButtons = -1;
  Send(PM_MOUSEMOVE, 0, 2, 3);
  EXPECT_EQ(MouseButtons, 0);
  // Outside the window while the mouse is captured, the position reads as unsigned halves.
  Send(PM_MOUSEMOVE, 0, -1, -2);
  EXPECT_EQ(Position(), std::make_pair(65535, 65534));
}

TEST_F(WindowProcedure, AnyKeyReleaseClearsTheKeyAndOtherMessagesGoToTheDefault) {
  EXPECT_EQ(Send(PM_KEYDOWN, 'F'), 0);
  EXPECT_EQ(KeyDown, 70);
  Send(PM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(KeyDown, 27);
  Send(PM_KEYUP, 'B');
  EXPECT_EQ(KeyDown, 0);

  EXPECT_EQ(Send(PM_OTHER), 0);
  EXPECT_EQ(Send(PM_MBUTTONDOWN, MK_MBUTTON, 5, 5), 0);
  EXPECT_EQ(MouseButtons, 0);
  // Activation of an active window changes nothing, nor does deactivation of an inactive one.
  EXPECT_EQ(Send(PM_ACTIVATE, PM_ACTIVE), 0);
  EXPECT_EQ(AppActive, 1);
  AppActive = 0;
  Send(PM_ACTIVATE, PM_INACTIVE);
  EXPECT_EQ(AppActive, 0);
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
    EXPECT_EQ(x, c[6]) << c[0];
    EXPECT_EQ(y, c[7]) << c[1];
  }
}

TEST(SetupTemplate, EveryToggleIsARadioOrCheckBoxOfTheTemplate) {
  EXPECT_STREQ(SetupDialogTemplate.Caption, "Tunemill - setup");
  for (int id : kSetupToggleIds) {
    int found = 0;
    for (int32_t i = 0; i < SetupDialogTemplate.ControlCount; i++) {
      const PLATFORM_DIALOG_CONTROL &control = SetupDialogTemplate.Controls[i];
      if (control.Id == id) {
        found++;
        EXPECT_TRUE(control.Kind == DLG_AUTORADIO || control.Kind == DLG_AUTOCHECKBOX) << id;
      }
    }
    EXPECT_EQ(found, 1) << id;
  }
}

}  // namespace
