#include <gtest/gtest.h>

#include "director/director_local.h"

namespace {

TEST(PanelHitTest, FindsTheButtonsWithTheirLeftAndTopEdgesAndWithoutTheirRightAndBottomEdges) {
  const struct {
    float x, y, progress;
    int32_t button;
  } rows[] = {
      {407, 291, 0, 1},     {494.9f, 323.9f, 0, 1}, {495, 300, 0, 0},     {450, 324, 0, 0},   {406.9f, 300, 0, 0},
      {311, 291, 0, 2},     {383, 300, 0, 0},       {311, 349, 0, 4},     {321, 355, 0, 3},   {320.9f, 359.9f, 0, 4},
      {482, 349, 0, 5},     {491, 355, 0, 0},       {481.9f, 355, 1, 3},  {482, 355, 1, 5},   {460, 349, 1, 3},
      {459.9f, 355, 1, 0},  {390.5f, 355, 0.5f, 3}, {343, 355, 0, 0},     {400, 360, 0.5f, 0}, {291, 390, 0, 9},
      {310, 400, 0, 0},     {300, 414, 0, 0},       {469, 1, 0, 6},       {481, 8, 0, 0},     {483, 1, 0, 7},
      {497, 1, 0, 8},       {508.9f, 15.9f, 0, 8},  {509, 8, 0, 0},       {500, 16, 0, 0},    {500, 0.9f, 0, 0},
      {320, 256, 0, 0},
  };
  for (const auto &row : rows) {
    SongProgress = row.progress;
    EXPECT_EQ(PanelHitTest(row.x, row.y), row.button) << row.x << ", " << row.y << " at " << row.progress;
  }
}

TEST(KnobPosition, SpansTheSliderTrackWithAHalfKnobToSpareAtEachEnd) {
  const float rows[][2] = {{321, -5.5f / 161}, {401.5f, 0.5f}, {482, 1 + 5.5f / 161}};
  for (const auto &row : rows) EXPECT_NEAR(KnobPosition(row[0]), row[1], 1e-5f) << row[0];
}

TEST(DirectorClock, StepsThirtyThreeUnitsASecondFromTheSecondFrameOnAndAcrossTheTickWrap) {
  const struct {
    uint32_t now;
    float step;
  } ticks[] = {{5000, 0},      {6000, 33},    {6010, 0.33f}, {6010, 0},
               {66010, 1980}, {0xFFFFFF00u, 0.033f * (0xFFFFFF00u - 66010)}, {0x100u, 512 * 0.033f}};
  SceneClock = 0.0f;
  LastTick = 0;
  for (const auto &tick : ticks) EXPECT_FLOAT_EQ(DirectorAdvanceClock(tick.now), tick.step) << tick.now;
}

}  // namespace
