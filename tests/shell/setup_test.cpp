#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

class SetupDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupOptions = SETUP_OPTIONS{0, 0, 0, 0, 0, 0, 0, 0.0f, 1, 1};
    SetupDialogInit(&controls);
  }
  // Sets toggles as the dialog manager would (a radio's group goes off) and sends the command of `id`;
  // gives every option in one line, so that a command's whole effect is one comparison.
  std::string Command(int id, std::initializer_list<std::pair<int, int>> checks = {}) {
    for (auto [toggle, checked] : checks)
      for (int i = 0; i < SETUP_TOGGLE_COUNT; i++)
        if (kSetupToggleIds[i] == toggle) controls.Checked[i] = (uint8_t)checked;
    const int ended = SetupDialogCommand(&controls, id);
    const SETUP_OPTIONS &o = SetupOptions;
    char text[160];
    snprintf(text, sizeof text, "%dx%d color %d depth %d cull %d normalize %d sse %d brightness %g force %d ok %d%s",
             o.Width, o.Height, o.ColorBits, o.ZBufferBits, o.BackFaceCull, o.ReNormalize, o.UseSSE,
             (double)o.Brightness, o.ForceVideoMode, o.Accepted, ended ? " ended" : "");
    return text;
  }
  void Type(const char *text) {
    snprintf(controls.BrightnessText, sizeof controls.BrightnessText, "%s", text);
    SetupDialogCommand(&controls, SETUP_ID_BRIGHTNESS);
  }
  SETUP_CONTROLS controls;
};

TEST_F(SetupDialog, OkAtOnceGivesTheDefaultsAndFlags40) {
  EXPECT_STREQ(controls.BrightnessText, "0");
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_MODE_1024) * 10 + SetupIsChecked(&controls, SETUP_ID_USE_SSE), 10);
  EXPECT_EQ(Command(SETUP_ID_OK), "1024x768 color 32 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1 ended");
  EXPECT_EQ(SetupDriverFlags(), 40);
}

TEST_F(SetupDialog, EveryCommandReadsEveryControlAndOnlyOkAndCancelEndTheDialog) {
  const std::pair<int, int> off = {SETUP_ID_MODE_1024, 0};
  EXPECT_EQ(Command(SETUP_ID_MODE_640, {off, {SETUP_ID_MODE_640, 1}}),
            "640x480 color 32 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1");
  EXPECT_EQ(Command(SETUP_ID_COLOR_16, {{SETUP_ID_MODE_640, 0}, {SETUP_ID_MODE_320, 1}, {SETUP_ID_COLOR_32, 0},
                                        {SETUP_ID_COLOR_16, 1}}),
            "320x240 color 16 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1");
  EXPECT_EQ(Command(SETUP_ID_NO_FORCE, {{SETUP_ID_MODE_320, 0}, {SETUP_ID_MODE_800, 1}, {SETUP_ID_BACKFACE_CULL, 0},
                                        {SETUP_ID_RENORMALIZE, 0}, {SETUP_ID_USE_SSE, 1}, {SETUP_ID_NO_FORCE, 1}}),
            "800x600 color 16 depth 32 cull 0 normalize 0 sse 1 brightness 0 force 0 ok 1");
  EXPECT_EQ(Command(SETUP_ID_CANCEL, {{SETUP_ID_NO_FORCE, 0}}),
            "800x600 color 16 depth 32 cull 0 normalize 0 sse 1 brightness 0 force 1 ok 0 ended");
  EXPECT_EQ(Command(SETUP_ID_DEPTH_16, {{SETUP_ID_DEPTH_24, 0}, {SETUP_ID_DEPTH_16, 1}}),
            "800x600 color 16 depth 16 cull 0 normalize 0 sse 1 brightness 0 force 1 ok 0");
  EXPECT_EQ(SetupDriverFlags(), 8);
}

TEST_F(SetupDialog, BrightnessIsReadWithPercentIAndOutOfRangeOrMissingRefillsTheLastValue) {
  // White space before and text after the number, hexadecimal as pasted, octal.
  const std::pair<const char *, float> good[] = {
      {"100", 1}, {"  57 percent", 0.57f}, {"0x20", 0.32f}, {"010", 0.08f}, {"-0", 0}};
  for (const auto &[text, brightness] : good) {
    Type(text);
    EXPECT_FLOAT_EQ(SetupOptions.Brightness, brightness) << text;
    EXPECT_STREQ(controls.BrightnessText, text);
  }
  Type("57");
  for (const char *bad : {"101", "", "abc", "-1", "0x65", "99999999999999999999999"}) {
    Type(bad);
    EXPECT_FLOAT_EQ(SetupOptions.Brightness, 0.57f) << bad;
    EXPECT_STREQ(controls.BrightnessText, "57") << bad;
  }
  // The refill shows every valid value as it was typed (rounded, not truncated).
  char typed[8], shown[32];
  for (int n = 0; n <= 100; n++) {
    snprintf(typed, sizeof typed, "%i", n);
    ASSERT_EQ(SetupParseBrightness(typed), 1);
    SetupFormatBrightness(shown, sizeof shown);
    EXPECT_STREQ(shown, typed);
  }
}

}  // namespace
