// The music player over the real audio path (SDL's dummy driver, which plays in real time), with modules
// generated into a private working folder; no archive is open, so ExtractFile hands out the names as they
// are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "music/music.h"
#include "music/sound.h"
#include "songs.h"
#include "testkit.h"

using modwrite::Format;

namespace {

uint32_t Order(uint32_t position) { return position & 0xFFFF; }
uint32_t Row(uint32_t position) { return position >> 16; }

void ExpectAllQueriesZero() {
  int16_t data[64] = {5};
  EXPECT_EQ(MusicGetData(data, sizeof data), 0);
  EXPECT_EQ(data[0], 5);
  EXPECT_EQ(std::vector<float>({MusicGetLevel(), MusicGetLeftLevel(), MusicGetRightLevel(), MusicGetProgress(),
                                MusicGetOrderStep()}),
            std::vector<float>(5, 0.0f));
  EXPECT_EQ(MusicGetPosition(), 0u);
  MusicSeek(0.5f);
}

class Player : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(modwrite::Save(songs::SquareSong(Format::XM, 10, 16), "ten.xm"));
    ASSERT_TRUE(modwrite::Save(songs::SquareSong(Format::IT, 1, 2), "short.it"));
  }
  void TearDown() override { MusicShutdown(); }

  ScopedTempDir dir_;
};

TEST_F(Player, QueriesAnswerZeroBeforeInitAndAfterShutdownWhileTheEndFlagIsKept) {
  ExpectAllQueriesZero();
  gMusicEnded.store(1);
  EXPECT_EQ(MusicHasEnded(), 1u);

  MusicInit("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(gMusicOrders, 10);
  ASSERT_TRUE(WaitFor([] { return MusicGetLeftLevel() > 0.0f; }));
  EXPECT_EQ(MusicGetRightLevel(), 0.0f);
  EXPECT_EQ(MusicGetLevel(), MusicGetLeftLevel() / 2);
  int16_t data[128] = {};
  EXPECT_EQ(MusicGetData(data, sizeof data), (int32_t)sizeof data);

  MusicShutdown();
  EXPECT_EQ(gMusicPlaying, 0u);
  EXPECT_EQ(gMusicOrders, -1);
  EXPECT_EQ(SoundGetVolume(), 0u);
  ExpectAllQueriesZero();
  gMusicEnded.store(1);
  EXPECT_EQ(MusicHasEnded(), 1u);
}

TEST_F(Player, ProgressSeekAndOrderStepFollowTheOrderCount) {
  MusicInit("ten.xm");
  EXPECT_FLOAT_EQ(MusicGetOrderStep(), 1.0f / 9.0f);
  MusicSeek(0.55f);
  ASSERT_TRUE(WaitFor([] { return Order(MusicGetPosition()) == 5; }));
  EXPECT_EQ(MusicGetProgress(), 0.5f);

  // Seeking into the order that already plays does not restart it: the rows go on from where they were.
  ASSERT_TRUE(WaitFor([] { return Row(MusicGetPosition()) >= 2; }));
  uint32_t lowest = Row(MusicGetPosition());
  MusicSeek(0.55f);
  ASSERT_TRUE(WaitFor([&] {
    const uint32_t position = MusicGetPosition();
    lowest = std::min(lowest, Order(position) == 5 ? Row(position) : 0);
    return Row(position) >= 6 || lowest < 2;
  }));
  EXPECT_GE(lowest, 2u);

  // Other order counts, with order 5 playing: progress is clamped, and no step without two orders.
  const struct {
    int32_t orders;
    float progress, step;
  } counts[] = {{5, 1.0f, 0.25f}, {4, 1.0f, 1.0f / 3}, {1, 1.0f, 0.0f}, {0, 1.0f, 0.0f}};
  for (const auto &c : counts) {
    gMusicOrders = c.orders;
    EXPECT_EQ(MusicGetProgress(), c.progress) << c.orders;
    EXPECT_FLOAT_EQ(MusicGetOrderStep(), c.step) << c.orders;
  }
  gMusicOrders = 10;
  MusicSeek(-3.0f);
  ASSERT_TRUE(WaitFor([] { return Order(MusicGetPosition()) == 0; }));
  EXPECT_EQ(MusicGetProgress(), 0.0f);
  MusicSeek(std::nanf(""));
  EXPECT_EQ(MusicHasEnded(), 0u);
}

// A song that ends by itself, and one sent to 1.0: the flag stays set until the next play.
TEST_F(Player, SongsEndByThemselvesOrBySeekingToOneAndTheNextPlayClearsTheFlag) {
  MusicInit("short.it");
  EXPECT_EQ(gMusicOrders, 1);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  MusicPlay("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(gMusicOrders, 10);
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.0f; }));
  EXPECT_EQ(Order(MusicGetPosition()), 0u);
  MusicSeek(1.0f);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  // The output falls silent (the engine's tests show it stays so) and the flag stays set.
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 0.0f; }));
  EXPECT_EQ(MusicHasEnded(), 1u);
}

TEST_F(Player, VolumeIsClampedAndTruncatedWhetherOrNotMusicPlays) {
  const std::pair<float, uint32_t> volumes[] = {{1.7f, 100}, {-0.2f, 0}, {0.999f, 99}, {std::nanf(""), 0}};
  for (const auto &[volume, expected] : volumes) {
    MusicSetVolume(volume);
    EXPECT_EQ(SoundGetVolume(), expected) << volume;
  }
  MusicInit("ten.xm");
  MusicSetVolume(0.5f);
  EXPECT_EQ(SoundGetVolume(), 50u);
}

// The children fork from a parent without an audio thread, so no lock can be copied while held.
TEST_F(Player, FailuresAreFatalWithTheirMessagesAndTheNameDecidesTheProbe) {
  std::vector<uint8_t> it = modwrite::Write(songs::SquareSong(Format::IT, 1, 16));
  std::vector<uint8_t> xm = modwrite::Write(songs::SquareSong(Format::XM, 1, 16));
  WriteWholeFile("it-inside.xm", std::string(it.begin(), it.end()));
  WriteWholeFile("xm-inside.it", std::string(xm.begin(), xm.end()));
  WriteWholeFile("song.mod", std::string(400, 'x'));
  WriteWholeFile("damaged.it", std::string(it.begin(), it.begin() + 100));  // passes the probe, not the engine
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { MusicPlay("it-inside.xm"); }, "Cannot parse XM file ! [Bad version]"},
      {[] { MusicPlay("xm-inside.it"); }, "Cannot parse IT file ! [Bad format]"},
      // The temporary copy is opened before the name is looked at.
      {[] { MusicPlay("song.mod"); }, "Unsupported filetype !(XM / IT)"},
      {[] { MusicPlay("xm"); }, "Cannot open [xm] msx file !"},
      {[] { MusicPlay("missing.it"); }, "Cannot open [missing.it] msx file !"},
      {[] { WriteWholeFile("xm", std::string(400, 'x')), MusicPlay("xm"); }, "Unsupported filetype !(XM / IT)"},
      {[] { MusicInit("damaged.it"); }, "Can't play the file - load error (BASS)!"},
      {[] { setenv("SDL_AUDIODRIVER", "no-such-driver", 1), MusicInit("ten.xm"); }, "BASS Init error !"}};
  for (const auto &[body, message] : cases) ExpectFatal(body, "xm_play", message);
}

}  // namespace
