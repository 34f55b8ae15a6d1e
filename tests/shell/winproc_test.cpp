#include <gtest/gtest.h>

#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

PLATFORM_MESSAGE Mouse(int32_t kind, uint32_t buttons, int32_t x, int32_t y) {
  PLATFORM_MESSAGE message = {};
  message.Kind = kind;
  message.Buttons = buttons;
  message.X = x;
  message.Y = y;
  return message;
}

PLATFORM_MESSAGE Key(int32_t kind, int32_t key) {
  PLATFORM_MESSAGE message = {};
  message.Kind = kind;
  message.Key = key;
  return message;
}

class WindowProcedure : public ::testing::Test {
 protected:
  void SetUp() override {
    MouseX = MouseY = MouseButtons = KeyDown = 0;
    AppActive = 1;
  }
  int32_t Send(const PLATFORM_MESSAGE &message) { return WindowProc(MainWindow, &message); }
};

TEST_F(WindowProcedure, LeftClickKeepsThePositionOfTheLastMove) {
  EXPECT_EQ(Send(Mouse(PM_MOUSEMOVE, 0, 400, 240)), 1);
  EXPECT_EQ(MouseX, 400);
  EXPECT_EQ(MouseY, 240);
  EXPECT_EQ(Send(Mouse(PM_LBUTTONDOWN, MK_LBUTTON, 410, 250)), 1);
  EXPECT_EQ(MouseButtons, 1);
  EXPECT_EQ(MouseX, 400);
  EXPECT_EQ(Send(Mouse(PM_LBUTTONUP, 0, 410, 250)), 1);
  EXPECT_EQ(MouseButtons, 0);
  EXPECT_EQ(MouseY, 240);
}

TEST_F(WindowProcedure, ButtonWordCarriesModifiersAndMiddleButton) {
  Send(Mouse(PM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 1, 1));
  EXPECT_EQ(MouseButtons, 5);
  Send(Mouse(PM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL | MK_MBUTTON, 2, 3));
  EXPECT_EQ(MouseButtons, 25);
  EXPECT_EQ(MouseX, 2);
  EXPECT_EQ(MouseY, 3);
  // A director that acted on a click leaves -1 until the next mouse message.
  MouseButtons = -1;
  Send(Mouse(PM_MOUSEMOVE, 0, 2, 3));
  EXPECT_EQ(MouseButtons, 0);
}

TEST_F(WindowProcedure, PositionIsReadAsUnsignedHalves) {
  // Outside the window while the mouse is captured.
  Send(Mouse(PM_MOUSEMOVE, 0, -1, -2));
  EXPECT_EQ(MouseX, 65535);
  EXPECT_EQ(MouseY, 65534);
}

TEST_F(WindowProcedure, AnyKeyReleaseClearsTheKey) {
  EXPECT_EQ(Send(Key(PM_KEYDOWN, 'F')), 0);
  EXPECT_EQ(KeyDown, 70);
  Send(Key(PM_KEYDOWN, VK_ESCAPE));
  EXPECT_EQ(KeyDown, 27);
  Send(Key(PM_KEYUP, 'B'));
  EXPECT_EQ(KeyDown, 0);
}

TEST_F(WindowProcedure, OtherMessagesAreLeftToTheDefault) {
  PLATFORM_MESSAGE other = {};
  other.Kind = PM_OTHER;
  EXPECT_EQ(Send(other), 0);
  EXPECT_EQ(Send(Mouse(PM_MBUTTONDOWN, MK_MBUTTON, 5, 5)), 0);
  EXPECT_EQ(MouseButtons, 0);
}

TEST_F(WindowProcedure, ActivationOfAnActiveWindowChangesNothing) {
  PLATFORM_MESSAGE activate = {};
  activate.Kind = PM_ACTIVATE;
  activate.Active = PM_ACTIVE;
  EXPECT_EQ(Send(activate), 0);
  EXPECT_EQ(AppActive, 1);
  AppActive = 0;
  activate.Active = PM_INACTIVE;
  Send(activate);
  EXPECT_EQ(AppActive, 0);
}

TEST(WindowDrag, ClampsToTheDesktop) {
  int32_t x = 900, y = 10;
  ClampWindowPosition(&x, &y, 640, 480, 1024, 768);
  EXPECT_EQ(x, 384);  // right edge at 1024
  EXPECT_EQ(y, 10);
  x = -50, y = 700;
  ClampWindowPosition(&x, &y, 640, 480, 1024, 768);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 288);
  x = -50, y = -60;
  ClampWindowPosition(&x, &y, 640, 480, 1024, 768);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  // A window larger than the desktop keeps its top-left corner on it.
  x = 10, y = 10;
  ClampWindowPosition(&x, &y, 1024, 768, 800, 600);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
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
