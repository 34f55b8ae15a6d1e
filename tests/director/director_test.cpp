#include <gtest/gtest.h>

#include "director/director.h"

namespace {

TEST(DirectorClock, StepsThirtyThreeUnitsASecondFromTheSecondFrameOnAndAcrossTheTickWrap) {
  SceneClock = 0.0f;
  LastTick = 0;
  EXPECT_EQ(DirectorAdvanceClock(5000), 0.0f);  // the first frame steps nothing
  EXPECT_EQ(LastTick, 5000u);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(6000), 33.0f);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(6010), 0.33f);
  EXPECT_FLOAT_EQ(SceneClock, 33.33f);
  EXPECT_EQ(DirectorAdvanceClock(6010), 0.0f);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(66010), 1980.0f);  // a minute's pause is one large step
  DirectorAdvanceClock(0xFFFFFF00u);
  EXPECT_FLOAT_EQ(DirectorAdvanceClock(0x100u), 512 * 0.033f);
  EXPECT_EQ(LastTick, 0x100u);
}

TEST(DirectorFrameBeforeStart, ReturnsWithoutDrawing) {
  // No context exists here: any drawing or swapping would crash.
  DirectorStarted = 0;
  LastTick = 0;
  DirectorFrame();
  EXPECT_EQ(LastTick, 0u);
}

}  // namespace
