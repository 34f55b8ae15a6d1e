#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

// Every option in one line, so that a command's whole effect is one comparison.
std::string Options() {
  const SETUP_OPTIONS &o = SetupOptions;
  char text[160];
  snprintf(text, sizeof text, "%dx%d color %d depth %d cull %d normalize %d sse %d brightness %g force %d ok %d",
           o.Width, o.Height, o.ColorBits, o.ZBufferBits, o.BackFaceCull, o.ReNormalize, o.UseSSE,
           (double)o.Brightness, o.ForceVideoMode, o.Accepted);
  return text;
}

class SetupDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    SetupOptions = SETUP_OPTIONS{0, 0, 0, 0, 0, 0, 0, 0.0f, 1, 1};
    SetupDialogInit(&controls);
  }
  void Check(int id, int checked) {
    for (int i = 0; i < SETUP_TOGGLE_COUNT; i++)
      if (kSetupToggleIds[i] == id) controls.Checked[i] = (uint8_t)checked;
  }
  // A radio click: the group's other buttons go off, as the dialog manager does.
  void Pick(int id, std::initializer_list<int> group) {
    for (int other : group) Check(other, 0);
    Check(id, 1);
    SetupDialogCommand(&controls, id);
  }
  void Type(const char *text) {
    strncpy(controls.BrightnessText, text, sizeof controls.BrightnessText - 1);
    SetupDialogCommand(&controls, SETUP_ID_BRIGHTNESS);
  }
  SETUP_CONTROLS controls;
};

TEST_F(SetupDialog, OkAtOnceGivesTheDefaultsAndFlags40) {
  EXPECT_STREQ(controls.BrightnessText, "0");
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_MODE_1024), 1);
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_USE_SSE), 0);
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_NO_FORCE), 0);
  EXPECT_EQ(Options(), "0x0 color 0 depth 0 cull 0 normalize 0 sse 0 brightness 0 force 1 ok 1");  // nothing read yet
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_OK), 1);
  EXPECT_EQ(Options(), "1024x768 color 32 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1");
  EXPECT_EQ(SetupDriverFlags(), 40);
}

TEST_F(SetupDialog, EveryCommandReadsEveryControlAndOnlyOkAndCancelEndTheDialog) {
  // The colour depth is read by the same command, though another control sent it.
  Pick(SETUP_ID_MODE_640, {SETUP_ID_MODE_320, SETUP_ID_MODE_800, SETUP_ID_MODE_1024});
  EXPECT_EQ(Options(), "640x480 color 32 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1");
  Pick(SETUP_ID_MODE_320, {SETUP_ID_MODE_640, SETUP_ID_MODE_800, SETUP_ID_MODE_1024});
  Pick(SETUP_ID_COLOR_16, {SETUP_ID_COLOR_32});
  EXPECT_EQ(Options(), "320x240 color 16 depth 32 cull 1 normalize 1 sse 0 brightness 0 force 1 ok 1");
  Pick(SETUP_ID_MODE_800, {SETUP_ID_MODE_320, SETUP_ID_MODE_640, SETUP_ID_MODE_1024});
  Check(SETUP_ID_BACKFACE_CULL, 0);
  Check(SETUP_ID_RENORMALIZE, 0);
  Check(SETUP_ID_USE_SSE, 1);
  Check(SETUP_ID_NO_FORCE, 1);
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_NO_FORCE), 0);
  EXPECT_EQ(Options(), "800x600 color 16 depth 32 cull 0 normalize 0 sse 1 brightness 0 force 0 ok 1");
  Check(SETUP_ID_NO_FORCE, 0);
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_CANCEL), 1);
  EXPECT_EQ(SetupOptions.ForceVideoMode, 1);
  EXPECT_EQ(SetupOptions.Accepted, 0);

  Pick(SETUP_ID_DEPTH_16, {SETUP_ID_DEPTH_24});
  EXPECT_EQ(SetupOptions.ZBufferBits, 16);
  EXPECT_EQ(SetupDriverFlags(), 8);
  Pick(SETUP_ID_DEPTH_24, {SETUP_ID_DEPTH_16});
  EXPECT_EQ(SetupOptions.ZBufferBits, 32);
  EXPECT_EQ(SetupDriverFlags(), 40);
}

TEST_F(SetupDialog, BrightnessIsReadWithPercentIAndOutOfRangeOrMissingRefillsTheLastValue) {
  Type("100");
  EXPECT_EQ(SetupOptions.Brightness, 1.0f);
  EXPECT_STREQ(controls.BrightnessText, "100");
  // White space before and text after the number, hexadecimal and octal.
  const std::pair<const char *, float> good[] = {{"  57 percent", 0.57f}, {"0x20", 0.32f}, {"010", 0.08f}, {"-0", 0}};
  for (const auto &[text, brightness] : good) {
    Type(text);
    EXPECT_FLOAT_EQ(SetupOptions.Brightness, brightness) << text;
  }
  EXPECT_EQ(SetupOptions.Brightness, 0.0f);
  Type("57");
  for (const char *bad : {"101", "", "abc", "-1", "0x65", "99999999999999999999999"}) {
    Type(bad);
    EXPECT_FLOAT_EQ(SetupOptions.Brightness, 0.57f) << bad;
    EXPECT_STREQ(controls.BrightnessText, "57") << bad;
  }
}

TEST_F(SetupDialog, RefillShowsEveryValidValueAsTyped) {
  char typed[8], shown[32];
  for (int n = 0; n <= 100; n++) {
    snprintf(typed, sizeof typed, "%i", n);
    ASSERT_EQ(SetupParseBrightness(typed), 1);
    SetupFormatBrightness(shown, sizeof shown);
    EXPECT_STREQ(shown, typed);
  }
}

}  // namespace
