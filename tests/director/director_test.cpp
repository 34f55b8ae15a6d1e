#include <gtest/gtest.h>

#include "director/director.h"

namespace {

class DirectorClock : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneClock = 0.0f;
    LastTick = 0;
  }
};

TEST_F(DirectorClock, FirstFrameStepsNothingThenThirtyThreeUnitsASecond) {
  EXPECT_EQ(DirectorAdvanceClock(5000), 0.0f);
  EXPECT_EQ(LastTick, 5000u);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(6000), 33.0f);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(6010), 0.33f);
  EXPECT_FLOAT_EQ(SceneClock, 33.33f);
  EXPECT_EQ(DirectorAdvanceClock(6010), 0.0f);
}

TEST_F(DirectorClock, TickWrapAroundStillGivesThePositiveStep) {
  DirectorAdvanceClock(0xFFFFFF00u);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(0x100u), 512 * 0.033f);
  EXPECT_EQ(LastTick, 0x100u);
}

TEST_F(DirectorClock, MinuteLongPauseIsOneLargeStep) {
  DirectorAdvanceClock(1000);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(61000), 1980.0f);
}

TEST(DirectorFrameBeforeStart, ReturnsWithoutDrawing) {
  // No context exists here: any drawing or swapping would crash.
  DirectorStarted = 0;
  LastTick = 0;
  DirectorFrame();
  EXPECT_EQ(LastTick, 0u);
}

}  // namespace
