#include <gtest/gtest.h>

#include <cstring>

#include "shell/shell.h"
#include "shell/winmain.h"

namespace {

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

TEST_F(SetupDialog, StartsWithBoxShowingZero) {
  EXPECT_STREQ(controls.BrightnessText, "0");
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_MODE_1024), 1);
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_USE_SSE), 0);
  EXPECT_EQ(SetupIsChecked(&controls, SETUP_ID_NO_FORCE), 0);
  // Nothing is read before the first command.
  EXPECT_EQ(SetupOptions.Width, 0);
  EXPECT_EQ(SetupOptions.ForceVideoMode, 1);
}

TEST_F(SetupDialog, OkAtOnceGivesTheDefaults) {
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_OK), 1);
  EXPECT_EQ(SetupOptions.Width, 1024);
  EXPECT_EQ(SetupOptions.Height, 768);
  EXPECT_EQ(SetupOptions.ColorBits, 32);
  EXPECT_EQ(SetupOptions.ZBufferBits, 32);
  EXPECT_EQ(SetupOptions.BackFaceCull, 1);
  EXPECT_EQ(SetupOptions.ReNormalize, 1);
  EXPECT_EQ(SetupOptions.UseSSE, 0);
  EXPECT_EQ(SetupOptions.Brightness, 0.0f);
  EXPECT_EQ(SetupOptions.ForceVideoMode, 1);
  EXPECT_EQ(SetupOptions.Accepted, 1);
  EXPECT_EQ(SetupDriverFlags(), 40);
}

TEST_F(SetupDialog, CancelEndsWithoutAcceptingAndOtherCommandsStay) {
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_NO_FORCE), 0);
  EXPECT_EQ(SetupOptions.Accepted, 1);
  EXPECT_EQ(SetupDialogCommand(&controls, SETUP_ID_CANCEL), 1);
  EXPECT_EQ(SetupOptions.Accepted, 0);
}

TEST_F(SetupDialog, EveryCommandReadsEveryControl) {
  Pick(SETUP_ID_MODE_640, {SETUP_ID_MODE_320, SETUP_ID_MODE_800, SETUP_ID_MODE_1024});
  EXPECT_EQ(SetupOptions.Width, 640);
  EXPECT_EQ(SetupOptions.Height, 480);
  EXPECT_EQ(SetupOptions.ColorBits, 32);  // read by the same command, though another control sent it
  Pick(SETUP_ID_MODE_320, {SETUP_ID_MODE_640, SETUP_ID_MODE_800, SETUP_ID_MODE_1024});
  EXPECT_EQ(SetupOptions.Width, 320);
  EXPECT_EQ(SetupOptions.Height, 240);
  Pick(SETUP_ID_MODE_800, {SETUP_ID_MODE_320, SETUP_ID_MODE_640, SETUP_ID_MODE_1024});
  EXPECT_EQ(SetupOptions.Height, 600);
  Pick(SETUP_ID_COLOR_16, {SETUP_ID_COLOR_32});
  EXPECT_EQ(SetupOptions.ColorBits, 16);
  Check(SETUP_ID_BACKFACE_CULL, 0);
  Check(SETUP_ID_RENORMALIZE, 0);
  Check(SETUP_ID_USE_SSE, 1);
  Check(SETUP_ID_NO_FORCE, 1);
  SetupDialogCommand(&controls, SETUP_ID_NO_FORCE);
  EXPECT_EQ(SetupOptions.BackFaceCull, 0);
  EXPECT_EQ(SetupOptions.ReNormalize, 0);
  EXPECT_EQ(SetupOptions.UseSSE, 1);
  EXPECT_EQ(SetupOptions.ForceVideoMode, 0);
  Check(SETUP_ID_NO_FORCE, 0);
  SetupDialogCommand(&controls, SETUP_ID_OK);
  EXPECT_EQ(SetupOptions.ForceVideoMode, 1);
}

TEST_F(SetupDialog, SixteenBitDepthGivesFlagsEight) {
  Pick(SETUP_ID_DEPTH_16, {SETUP_ID_DEPTH_24});
  EXPECT_EQ(SetupOptions.ZBufferBits, 16);
  EXPECT_EQ(SetupDriverFlags(), 8);
  Pick(SETUP_ID_DEPTH_24, {SETUP_ID_DEPTH_16});
  EXPECT_EQ(SetupOptions.ZBufferBits, 32);
  EXPECT_EQ(SetupDriverFlags(), 40);
}

TEST_F(SetupDialog, BrightnessInRangeIsTaken) {
  Type("100");
  EXPECT_EQ(SetupOptions.Brightness, 1.0f);
  EXPECT_STREQ(controls.BrightnessText, "100");
  Type("  57 percent");  // white space before and text after the number
  EXPECT_FLOAT_EQ(SetupOptions.Brightness, 0.57f);
  Type("0x20");
  EXPECT_FLOAT_EQ(SetupOptions.Brightness, 0.32f);
  Type("010");  // octal
  EXPECT_FLOAT_EQ(SetupOptions.Brightness, 0.08f);
  Type("-0");
  EXPECT_EQ(SetupOptions.Brightness, 0.0f);
}

TEST_F(SetupDialog, BrightnessOutOfRangeOrMissingRefillsTheLastValue) {
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
