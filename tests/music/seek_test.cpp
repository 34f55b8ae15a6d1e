// Seeking and track changes against the lag of what is heard behind what the engine renders (the output's
// buffering): holding the step-forward button, the player screen seeks every frame to one order step past
// the audible position. Real audio path (SDL's dummy driver, real time), module generated into a private
// working folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "modwrite/modwrite.h"
#include "music/music.h"
#include "testkit.h"

namespace {

TEST(HeardPosition, HeldStepForwardWalksOneOrderAtATimeToTheEndAndANewTrackReadsAsItsStart) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ScopedTempDir dir;
  // Rows of 10 ms, shorter than a frame, so an order restarted by a repeated seek shows as a row going back.
  modwrite::Module song = modwrite::SquareTestModule(modwrite::Format::XM, 16);
  song.speed = 1;
  song.tempo = 255;
  song.orders.assign(12, 0);
  ASSERT_TRUE(modwrite::Save(song, "walk.xm"));
  MusicInit("walk.xm");

  uint32_t order = 0, row = 0, frames = 0;
  // One frame of a 60 Hz loop per poll, as the player screen runs it while the button is held.
  EXPECT_TRUE(WaitFor(
      [&] {
        frames++;
        MusicSeek(std::min(1.0f, MusicGetProgress() + MusicGetOrderStep()));
        uint32_t position = MusicGetPosition(), nowOrder = position & 0xFFFF, nowRow = position >> 16;
        EXPECT_TRUE(nowOrder == order || nowOrder == order + 1) << order << " -> " << nowOrder;
        EXPECT_TRUE(nowOrder != order || nowRow >= row) << "order " << order << " restarted";
        order = nowOrder;
        row = nowRow;
        return MusicHasEnded() == 1;
      },
      20, 1.0 / 60));
  EXPECT_EQ(order, 11u);

  // A track started while another is heard reads as its own start at once, not as the other's place.
  MusicPlay("walk.xm");
  MusicSeek(0.5f);
  ASSERT_TRUE(WaitFor([] { return (MusicGetPosition() & 0xFFFF) == 6u; }));
  MusicPlay("walk.xm");
  EXPECT_EQ(MusicGetPosition(), 0u);
  EXPECT_EQ(MusicGetProgress(), 0.0f);
  MusicShutdown();
}

}  // namespace
