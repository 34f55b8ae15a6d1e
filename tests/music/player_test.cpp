// The music player over the real audio path (SDL's dummy driver, which plays in real time), with modules
// generated into a private working folder; no archive is open, so ExtractFile hands out the names as they
// are.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include <dirent.h>

#include "archive/archive.h"
#include "music/music.h"
#include "music/sound.h"
#include "songs.h"
#include "testkit.h"

using modwrite::Format;

namespace {

uint32_t Order(uint32_t position) { return position & 0xFFFF; }
uint32_t Row(uint32_t position) { return position >> 16; }

bool WaitFor(const std::function<bool()> &condition, int milliseconds = 3000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void ExpectAllQueriesZero() {
  int16_t data[64];
  for (int16_t &s : data) s = 5;
  EXPECT_EQ(MusicGetLevel(), 0.0f);
  EXPECT_EQ(MusicGetLeftLevel(), 0.0f);
  EXPECT_EQ(MusicGetRightLevel(), 0.0f);
  EXPECT_EQ(MusicGetData(data, sizeof data), 0);
  EXPECT_EQ(data[0], 5);
  EXPECT_EQ(MusicGetPosition(), 0u);
  EXPECT_EQ(MusicGetProgress(), 0.0f);
  EXPECT_EQ(MusicGetOrderStep(), 0.0f);
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

// A fatal path in a child: exit code 0, the report on standard output and the message box's text.
void ExpectFatal(const std::function<void()> &body, const std::string &message) {
  ChildResult child = RunChild(body);
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out.rfind("\n PROGRAM: -- ERROR: at xm_play ", 0), 0u) << child.out;
  EXPECT_NE(child.out.find(" : " + message + " "), std::string::npos) << child.out;
  EXPECT_NE(child.err.find("ERROR: " + message + "\n"), std::string::npos) << child.err;
}

// =========================================================================================================

TEST_F(Player, QueriesAnswerZeroBeforeInitAndAfterShutdownWhileTheEndFlagIsKept) {
  ExpectAllQueriesZero();
  gMusicEnded.store(1);
  EXPECT_EQ(MusicHasEnded(), 1u);

  MusicInit("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(gMusicPlaying, 1u);
  EXPECT_EQ(gMusicOrders, 10);
  EXPECT_NE(gMusicHandle, 0u);
  EXPECT_EQ(SoundGetVolume(), 100u);
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

  // Seeking into the order that already plays does not restart it.
  ASSERT_TRUE(WaitFor([] { return Row(MusicGetPosition()) >= 2; }));
  MusicSeek(0.55f);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(Order(MusicGetPosition()), 5u);
  EXPECT_GE(Row(MusicGetPosition()), 2u);

  // The arithmetic on other order counts, with order 5 playing.
  gMusicOrders = 5;
  EXPECT_EQ(MusicGetProgress(), 1.0f);
  gMusicOrders = 4;
  EXPECT_EQ(MusicGetProgress(), 1.0f);
  gMusicOrders = 1;
  EXPECT_EQ(MusicGetOrderStep(), 0.0f);
  gMusicOrders = 0;
  EXPECT_EQ(MusicGetOrderStep(), 0.0f);
  EXPECT_EQ(MusicGetProgress(), 1.0f);
  gMusicOrders = 10;

  MusicSeek(-3.0f);
  ASSERT_TRUE(WaitFor([] { return Order(MusicGetPosition()) == 0; }));
  EXPECT_EQ(MusicGetProgress(), 0.0f);
  MusicSeek(std::nanf(""));
  EXPECT_EQ(MusicHasEnded(), 0u);
}

TEST_F(Player, SeekingToOneEndsTheSongAndTheNextPlayClearsTheFlag) {
  MusicInit("ten.xm");
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.0f; }));
  MusicSeek(1.0f);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  // The output falls silent once the queued sound has been heard.
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 0.0f; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(MusicHasEnded(), 1u);
  EXPECT_EQ(MusicGetLevel(), 0.0f);

  MusicPlay("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(SoundGetVolume(), 100u);
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.0f; }));
  EXPECT_EQ(Order(MusicGetPosition()), 0u);
}

TEST_F(Player, ASongEndsByItselfAndTheFlagStaysUntilMusicPlay) {
  MusicInit("short.it");
  EXPECT_EQ(gMusicOrders, 1);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(MusicHasEnded(), 1u);
  MusicPlay("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(gMusicOrders, 10);
}

TEST_F(Player, VolumeIsClampedAndTruncatedWhetherOrNotMusicPlays) {
  MusicSetVolume(1.7f);
  EXPECT_EQ(SoundGetVolume(), 100u);
  MusicSetVolume(-0.2f);
  EXPECT_EQ(SoundGetVolume(), 0u);
  MusicSetVolume(0.999f);
  EXPECT_EQ(SoundGetVolume(), 99u);
  MusicSetVolume(std::nanf(""));
  EXPECT_EQ(SoundGetVolume(), 0u);
  MusicInit("ten.xm");
  MusicSetVolume(0.5f);
  EXPECT_EQ(SoundGetVolume(), 50u);
}

// The children fork from a parent without an audio thread, so no lock can be copied while held.
TEST_F(Player, TheNameDecidesTheProbe) {
  ASSERT_TRUE(modwrite::Save(songs::SquareSong(Format::IT, 3, 16), "it-inside.xm"));
  ExpectFatal([] { MusicPlay("it-inside.xm"); }, "Cannot parse XM file ! [Bad version]");
  ASSERT_TRUE(modwrite::Save(songs::SquareSong(Format::XM, 3, 16), "xm-inside.it"));
  ExpectFatal([] { MusicPlay("xm-inside.it"); }, "Cannot parse IT file ! [Bad format]");

  ASSERT_TRUE(modwrite::Save(songs::SquareSong(Format::XM, 3, 16), "Song.XM"));
  MusicInit("Song.XM");
  EXPECT_EQ(gMusicOrders, 3);
}

TEST_F(Player, FailuresAreFatalWithTheirMessages) {
  // The temporary copy is opened before the name is looked at.
  WriteWholeFile("song.mod", std::string(400, 'x'));
  ExpectFatal([] { MusicPlay("song.mod"); }, "Unsupported filetype !(XM / IT)");
  ExpectFatal([] { MusicPlay("xm"); }, "Cannot open [xm] msx file !");
  WriteWholeFile("xm", std::string(400, 'x'));
  ExpectFatal([] { MusicPlay("xm"); }, "Unsupported filetype !(XM / IT)");
  ExpectFatal([] { MusicPlay("missing.it"); }, "Cannot open [missing.it] msx file !");

  // A damaged module passes the header probe but not the engine.
  std::vector<uint8_t> file = modwrite::Write(songs::SquareSong(Format::IT, 1, 16));
  WriteWholeFile("damaged.it", std::string(file.begin(), file.begin() + 100));
  ExpectFatal([] { MusicInit("damaged.it"); }, "Can't play the file - load error (BASS)!");

  ExpectFatal(
      [] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        MusicInit("ten.xm");
      },
      "BASS Init error !");
}

// The whole road: a module stored in "tunemill.dat" is extracted, loaded, deleted and heard. In a child,
// since an opened archive stays open for the rest of the process.
TEST_F(Player, AModuleFromTheArchivePlaysThroughTheDevice) {
  std::vector<uint8_t> song = modwrite::Write(songs::SquareSong(Format::XM, 4, 16));
  unsigned char header[kResourceHeaderSize];
  FormatResourceHeader(header, "music/Song.xm", (uint32_t)song.size(), 0, 0);
  WriteWholeFile("tunemill.dat", std::string((const char *)header, sizeof header) + std::string(song.begin(), song.end()));

  ChildResult child = RunChild([] {
    OpenResource();
    MusicInit("MUSIC\\song.XM");
    int heard = WaitFor([] { return MusicGetLeftLevel() > 0.0f && MusicGetRightLevel() == 0.0f; });
    int temporaryFiles = 0;
    DIR *folder = opendir(".");
    while (dirent *entry = readdir(folder)) temporaryFiles += strncmp(entry->d_name, "_#q_", 4) == 0;
    closedir(folder);
    printf("orders %d heard %d temporary files %d", gMusicOrders, heard, temporaryFiles);
    MusicShutdown();
    CloseResource();
  });
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  EXPECT_EQ(child.out, "orders 4 heard 1 temporary files 0");
}

}  // namespace
