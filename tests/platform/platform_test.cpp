// The platform layer without a display: key translation, the message queue, and what happens when there
// is nothing to show a window on.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"
#include "testkit.h"

TEST(VirtualKeys, LettersAreUpperCaseAsciiAndDigitsAscii) {
  EXPECT_EQ(PlatformVirtualKey(SDLK_f), 70);
  EXPECT_EQ(PlatformVirtualKey(SDLK_b), 66);
  EXPECT_EQ(PlatformVirtualKey(SDLK_a), 'A');
  EXPECT_EQ(PlatformVirtualKey(SDLK_z), 'Z');
  EXPECT_EQ(PlatformVirtualKey(SDLK_0), '0');
  EXPECT_EQ(PlatformVirtualKey(SDLK_9), '9');
}

TEST(VirtualKeys, NamedKeys) {
  EXPECT_EQ(PlatformVirtualKey(SDLK_ESCAPE), 27);
  EXPECT_EQ(PlatformVirtualKey(SDLK_RETURN), VK_RETURN);
  EXPECT_EQ(PlatformVirtualKey(SDLK_KP_ENTER), VK_RETURN);
  EXPECT_EQ(PlatformVirtualKey(SDLK_SPACE), VK_SPACE);
  EXPECT_EQ(PlatformVirtualKey(SDLK_LEFT), VK_LEFT);
  EXPECT_EQ(PlatformVirtualKey(SDLK_DOWN), VK_DOWN);
  EXPECT_EQ(PlatformVirtualKey(SDLK_F1), VK_F1);
  EXPECT_EQ(PlatformVirtualKey(SDLK_F12), VK_F1 + 11);
  EXPECT_EQ(PlatformVirtualKey(SDLK_KP_0), VK_NUMPAD0);
  EXPECT_EQ(PlatformVirtualKey(SDLK_KP_9), VK_NUMPAD0 + 9);
  EXPECT_EQ(PlatformVirtualKey(SDLK_RSHIFT), VK_SHIFT);
  EXPECT_EQ(PlatformVirtualKey(SDLK_LCTRL), VK_CONTROL);
  EXPECT_EQ(PlatformVirtualKey(SDLK_SEMICOLON), VK_OEM_1);
  EXPECT_EQ(PlatformVirtualKey(SDLK_APPLICATION), 0);
}

TEST(MessageQueue, PeekLeavesTheMessageAndTakeRemovesIt) {
  PLATFORM_MESSAGE message;
  EXPECT_EQ(PlatformPeekMessage(&message), 0);
  EXPECT_EQ(PlatformTakeMessage(&message), 0);
  EXPECT_EQ(message.Kind, PM_NONE);

  PlatformPostQuit(7);
  PlatformPostQuit(0);
  ASSERT_EQ(PlatformPeekMessage(&message), 1);
  EXPECT_EQ(message.Kind, PM_QUIT);
  EXPECT_EQ(message.QuitCode, 7);
  ASSERT_EQ(PlatformPeekMessage(&message), 1);
  EXPECT_EQ(message.QuitCode, 7);
  ASSERT_EQ(PlatformTakeMessage(&message), 1);
  EXPECT_EQ(message.QuitCode, 7);
  ASSERT_EQ(PlatformTakeMessage(&message), 1);
  EXPECT_EQ(message.Kind, PM_QUIT);
  EXPECT_EQ(message.QuitCode, 0);
  EXPECT_EQ(PlatformPeekMessage(&message), 0);
}

TEST(NoDisplay, NoWindowNoDialogAndTheMessageBoxWritesToStandardError) {
  ChildResult child = RunChild([] {
    if (PlatformCreateMainWindow("Tunemill") != nullptr) _exit(3);
    PLATFORM_DIALOG_TEMPLATE dialog = {"Tunemill - setup", 8, 20, 20, 202, 143, nullptr, 0};
    if (PlatformRunDialog(&dialog, nullptr, [](PlatformDialog *, int32_t, int32_t) { return 0; }) != -1) _exit(4);
    PlatformMessageBox("c_GLDRIVER::WinHandle == NULL !", "ERROR");
    _exit(0);
  });
  ASSERT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: c_GLDRIVER::WinHandle == NULL !\n");
}

TEST(Time, TickCountAdvancesWithSleep) {
  uint32_t before = PlatformTickCount();
  PlatformSleep(20);
  uint32_t elapsed = PlatformTickCount() - before;
  EXPECT_GE(elapsed, 20u);
}
