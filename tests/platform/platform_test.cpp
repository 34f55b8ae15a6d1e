// The platform layer without a display: key translation, the message queue, and what happens when there
// is nothing to show a window on.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "testkit.h"

TEST(VirtualKeys, LettersAreUpperCaseAsciiAndNamedKeysTheirCodes) {
  const int32_t cases[][2] = {
      {SDLK_f, 70},          {SDLK_b, 66},            {SDLK_a, 'A'},           {SDLK_z, 'Z'},
      {SDLK_0, '0'},         {SDLK_9, '9'},           {SDLK_ESCAPE, 27},       {SDLK_RETURN, VK_RETURN},
      {SDLK_KP_ENTER, VK_RETURN}, {SDLK_SPACE, VK_SPACE}, {SDLK_LEFT, VK_LEFT},  {SDLK_DOWN, VK_DOWN},
      {SDLK_F1, VK_F1},      {SDLK_F12, VK_F1 + 11},  {SDLK_KP_0, VK_NUMPAD0}, {SDLK_KP_9, VK_NUMPAD0 + 9},
      {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL}, {SDLK_SEMICOLON, VK_OEM_1}, {SDLK_APPLICATION, 0},
  };
  for (const auto &c : cases) EXPECT_EQ(PlatformVirtualKey(c[0]), c[1]) << SDL_GetKeyName(c[0]);
}

TEST(MessageQueue, PeekLeavesTheMessageAndTakeRemovesIt) {
  PLATFORM_MESSAGE message;
  EXPECT_EQ(PlatformPeekMessage(&message), 0);
  EXPECT_EQ(PlatformTakeMessage(&message), 0);
  EXPECT_EQ(message.Kind, PM_NONE);
  PlatformPostQuit(7);
  PlatformPostQuit(0);
  for (int32_t (*look)(PLATFORM_MESSAGE *) : {PlatformPeekMessage, PlatformPeekMessage, PlatformTakeMessage}) {
    ASSERT_EQ(look(&message), 1);
    EXPECT_EQ(message.Kind, PM_QUIT);
    EXPECT_EQ(message.QuitCode, 7);
  }
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
