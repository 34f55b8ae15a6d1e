// The platform layer without a display: key translation, the message queue, and no window or dialog.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "testkit.h"

TEST(VirtualKeys, LettersAreUpperCaseAsciiAndNamedKeysTheirCodes) {
  const int32_t cases[][2] = {
      {SDLK_f, 70},          {SDLK_b, 66},            {SDLK_a, 'A'},           {SDLK_z, 'Z'},
      {SDLK_0, '0'},         {SDLK_9, '9'},           {SDLK_ESCAPE, 27},       {SDLK_RETURN, VK_RETURN},
      {SDLK_KP_ENTER, VK_RETURN}, {SDLK_SPACE, VK_SPACE}, {SDLK_LEFT, VK_LEFT},  {SDLK_DOWN, VK_DOWN},
      {SDLK_F1, VK_F1},      {SDLK_F12, VK_F1 + 11},  {SDLK_KP_0, VK_NUMPAD0}, {SDLK_KP_9, VK_NUMPAD0 + 9},
      {SDLK_RSHIFT, VK_SHIFT}, {SDLK_LCTRL, VK_CONTROL}, {SDLK_SEMICOLON, VK_OEM_1}, {SDLK_APPLICATION, 0}};
  for (const auto &c : cases) EXPECT_EQ(PlatformVirtualKey(c[0]), c[1]) << SDL_GetKeyName(c[0]);
}

TEST(MessageQueue, PeekLeavesTheMessageAndTakeRemovesIt) {
  PLATFORM_MESSAGE message = {PM_OTHER, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(PlatformPeekMessage(&message), 0);
  EXPECT_EQ(PlatformTakeMessage(&message) * 100 + message.Kind, PM_NONE);
  PlatformPostQuit(7);
  PlatformPostQuit(0);
  // What peek, peek, take, take and peek give: the result, then the message's kind and quit code.
  std::vector<int32_t> seen;
  for (auto look : {PlatformPeekMessage, PlatformPeekMessage, PlatformTakeMessage, PlatformTakeMessage,
                    PlatformPeekMessage}) {
    message = {};
    seen.insert(seen.end(), {look(&message), message.Kind, message.QuitCode});
  }
  EXPECT_EQ(seen, std::vector<int32_t>({1, PM_QUIT, 7, 1, PM_QUIT, 7, 1, PM_QUIT, 7, 1, PM_QUIT, 0, 0, PM_NONE, 0}));
}

// The box's way to standard error is every fatal-path test's; here the window and the dialog.
TEST(NoDisplay, NoWindowAndNoDialog) {
  ChildResult child = RunChild([] {
    if (PlatformCreateMainWindow("Tunemill") != nullptr) _exit(3);
    PLATFORM_DIALOG_TEMPLATE dialog = {"Tunemill - setup", 8, 20, 20, 202, 143, nullptr, 0};
    _exit(PlatformRunDialog(&dialog, nullptr, [](PlatformDialog *, int32_t, int32_t) { return 0; }) != -1 ? 4 : 0);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << child.exitCode;
}
