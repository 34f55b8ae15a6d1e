// The music player over the real audio path (SDL's dummy driver, which plays in real time), with modules
// generated into a private working folder; no archive is open, so ExtractFile hands out the names as they
// are.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
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

// A fatal path in a child: exit code 0, the report on standard output and the message box's text.
void ExpectFatal(const std::function<void()> &body, const std::string &message) {
  ChildResult child = RunChild(body);
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out.rfind("\n PROGRAM: -- ERROR: at xm_play ", 0), 0u) << child.out;
  EXPECT_NE(child.out.find(" : " + message + " "), std::string::npos) << child.out;
  EXPECT_NE(child.err.find("ERROR: " + message + "\n"), std::string::npos) << child.err;
}

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

  // Seeking into the order that already plays does not restart it.
  ASSERT_TRUE(WaitFor([] { return Row(MusicGetPosition()) >= 2; }));
  MusicSeek(0.55f);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(Order(MusicGetPosition()), 5u);
  EXPECT_GE(Row(MusicGetPosition()), 2u);

  // Other order counts, with order 5 playing: progress is clamped, and no step without two orders.
  const struct { int32_t orders; float progress, step; } counts[] = {{5, 1.0f, 0.25f}, {4, 1.0f, 1.0f / 3},
                                                                     {1, 1.0f, 0.0f}, {0, 1.0f, 0.0f}};
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

// A song that ends by itself, and one sent to 1.0: the flag stays set, and the output silent, until the
// next play.
TEST_F(Player, SongsEndByThemselvesOrBySeekingToOneAndTheNextPlayClearsTheFlag) {
  MusicInit("short.it");
  EXPECT_EQ(gMusicOrders, 1);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(MusicHasEnded(), 1u);

  MusicPlay("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(gMusicOrders, 10);
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.0f; }));
  EXPECT_EQ(Order(MusicGetPosition()), 0u);
  MusicSeek(1.0f);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 0.0f; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(MusicHasEnded(), 1u);
  EXPECT_EQ(MusicGetLevel(), 0.0f);
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
  const std::pair<const char *, std::string> cases[] = {
      {"it-inside.xm", "Cannot parse XM file ! [Bad version]"},
      {"xm-inside.it", "Cannot parse IT file ! [Bad format]"},
      {"song.mod", "Unsupported filetype !(XM / IT)"},  // the temporary copy is opened before the name is looked at
      {"xm", "Cannot open [xm] msx file !"},
      {"missing.it", "Cannot open [missing.it] msx file !"}};
  for (const auto &[name, message] : cases) ExpectFatal([name = name] { MusicPlay(name); }, message);
  WriteWholeFile("xm", std::string(400, 'x'));
  ExpectFatal([] { MusicPlay("xm"); }, "Unsupported filetype !(XM / IT)");

  // A damaged module passes the header probe but not the engine.
  WriteWholeFile("damaged.it", std::string(it.begin(), it.begin() + 100));
  ExpectFatal([] { MusicInit("damaged.it"); }, "Can't play the file - load error (BASS)!");
  ExpectFatal([] { setenv("SDL_AUDIODRIVER", "no-such-driver", 1), MusicInit("ten.xm"); }, "BASS Init error !");
}

// The whole road: a module stored in "tunemill.dat" is extracted, loaded, deleted and heard. In a child,
// since an opened archive stays open for the rest of the process.
TEST_F(Player, AModuleFromTheArchivePlaysThroughTheDevice) {
  std::vector<uint8_t> song = modwrite::Write(songs::SquareSong(Format::XM, 4, 16));
  unsigned char header[kResourceHeaderSize];
  FormatResourceHeader(header, "music/Song.xm", (uint32_t)song.size(), 0, 0);
  WriteWholeFile("tunemill.dat", std::string((const char *)header, sizeof header) +
                                     std::string(song.begin(), song.end()));

  ChildResult child = RunChild([] {
    OpenResource();
    MusicInit("MUSIC\\song.XM");
    int heard = WaitFor([] { return MusicGetLeftLevel() > 0.0f && MusicGetRightLevel() == 0.0f; });
    int temporaryFiles = 0;
    for (const auto &entry : std::filesystem::directory_iterator("."))
      temporaryFiles += entry.path().filename().string().rfind("_#q_", 0) == 0;
    printf("orders %d heard %d temporary files %d", gMusicOrders, heard, temporaryFiles);
    MusicShutdown();
    CloseResource();
  });
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  EXPECT_EQ(child.out, "orders 4 heard 1 temporary files 0");
}

}  // namespace
