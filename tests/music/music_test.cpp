// The sound engine without a device, pulled with SoundMixOutput and told how much is still "queued", so every
// timing question is exact; the header probe; the player over SDL's dummy driver, which plays in real time,
// with modules generated into a private folder (no archive is open: ExtractFile hands out the names as they are).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "music/music.h"
#include "music/sound.h"
#include "songs.h"
#include "testkit.h"

using modwrite::Format;

namespace {

const uint32_t kFlags = SOUND_MUSIC_RAMP | SOUND_MUSIC_ONCE;

// End callbacks seen, their arguments, and how many frames had been mixed before the SoundMixOutput call
// they came from.
std::atomic<int> sEndCount;
uint64_t sEndMixedBefore, sMixed;
uint32_t sEndArguments[4];

void CountEnd(uint32_t sync, uint32_t music, uint32_t data, uint32_t user) {
  sEndCount++;
  sEndMixedBefore = sMixed;
  sEndArguments[0] = sync, sEndArguments[1] = music, sEndArguments[2] = data, sEndArguments[3] = user;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    sEndCount = 0, sMixed = 0;
    ASSERT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 1);
    ASSERT_EQ(SoundStart(), 1);
  }
  void TearDown() override { SoundFree(); }

  uint32_t Load(const modwrite::Module &module, bool play = false) {
    file_ = modwrite::Write(module);
    const uint32_t music = SoundLoadMusicMemory(file_.data(), file_.size(), kFlags);
    SoundSetEndSync(music, CountEnd, 77);
    if (play) SoundPlayMusic(music, 0);
    return music;
  }

  std::vector<int16_t> Mix(uint32_t frames, uint32_t block = 1024) {
    std::vector<int16_t> out(2 * (size_t)frames);
    for (uint32_t done = 0, n; done < frames; done += n, sMixed += n)
      SoundMixOutput(out.data() + 2 * (size_t)done, n = std::min(block, frames - done));
    return out;
  }

  // Play, stop and jumps take effect at the next chunk: mixes up to it.
  void AlignToChunk() { Mix((kSoundChunkFrames - sMixed % kSoundChunkFrames) % kSoundChunkFrames); }

  std::vector<uint8_t> file_;
};

bool AllZero(const std::vector<int16_t> &samples, size_t from = 0) {
  return std::all_of(samples.begin() + (long)from, samples.end(), [](int16_t s) { return s == 0; });
}

// A generated one-order square song as it is saved, and bytes written over a copy of it.
std::string File(Format format) {
  const std::vector<uint8_t> bytes = modwrite::Write(songs::SquareSong(format, 1, 16));
  return std::string(bytes.begin(), bytes.end());
}
std::string Patched(std::string bytes, size_t at, const std::string &with) {
  return bytes.replace(at, with.size(), with);
}

TEST_F(Engine, WholeSongEqualsLibopenmptAndTheEndCallbackFiresOnceAtTheEndFrame) {
  const uint32_t music = Load(songs::BusySong(Format::IT));
  const std::vector<int16_t> reference = RenderModule(file_, kSoundChunkFrames);
  ASSERT_EQ(SoundPlayMusic(music, 0), 1);
  // An odd block size, so that chunks and blocks never line up with the song's end, which is found when the
  // chunk holding it is rendered.
  const uint64_t endFrame = reference.size() / 2;
  const std::vector<int16_t> out = Mix((uint32_t)endFrame + 5000, 1000);
  ASSERT_EQ(sEndCount, 1);
  EXPECT_LE(sEndMixedBefore, endFrame);
  EXPECT_GT(sEndMixedBefore + 1000 + kSoundChunkFrames, endFrame);
  EXPECT_EQ(std::vector<uint32_t>(sEndArguments + 1, sEndArguments + 4), std::vector<uint32_t>({music, 0, 77}));
  // The song, then silence and no second callback until the next play.
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), out.begin()));
  EXPECT_TRUE(AllZero(out, reference.size()) && AllZero(Mix(20000)));
  EXPECT_EQ(sEndCount, 1);
}

// Unknown devices, a second SoundInit and damaged modules are refused; a load replaces the music; a fresh
// engine's data are whole frames of silence; nothing advances before start or play; a stop silences.
TEST_F(Engine, LifecycleDamagedModulesAndALoadReplacingTheMusic) {
  SoundFree();
  EXPECT_EQ(SoundInit(3, 44100), 0);
  ASSERT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 1);
  EXPECT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 0);
  const std::string xm = Patched(File(Format::XM), 68, std::string(1, '\0'));  // no channels
  EXPECT_EQ(SoundLoadMusicMemory(xm.data(), xm.size(), kFlags), 0u);

  const uint32_t first = Load(songs::SquareSong(Format::XM, 1, 16));
  const uint32_t music = Load(songs::SquareSong(Format::IT, 1, 16));
  EXPECT_EQ(SoundPlayMusic(first, 0) + SoundSetEndSync(first, CountEnd, 0), 0u);  // the replaced music is gone
  std::vector<int16_t> data(kSoundMaxDataBytes, 7);
  ASSERT_EQ(SoundGetData(music, data.data(), 1026), 1024);
  EXPECT_TRUE(AllZero({data.begin(), data.begin() + 512}) && data[512] == 7);
  EXPECT_EQ(SoundGetData(music, data.data(), 1u << 30), (int32_t)kSoundMaxDataBytes);
  EXPECT_EQ(SoundPlayMusic(music, 0), 1);
  EXPECT_TRUE(AllZero(Mix(20000)));  // not started
  AlignToChunk();
  SoundStart();
  // The song began only now: the output is the song's first frames.
  const std::vector<int16_t> out = Mix(4096);
  EXPECT_FALSE(AllZero(out));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), RenderModule(file_, kSoundChunkFrames).begin()));
  SoundStopChannel(music);
  EXPECT_TRUE(AllZero(Mix(4096)));
  EXPECT_EQ(sEndCount, 0);
  EXPECT_EQ(SoundFreeMusic(music), 1);
  EXPECT_EQ(SoundFreeMusic(music), 0);
}

TEST_F(Engine, AJumpKeepsTheHeldNoteAndAJumpPastTheLastOrderEndsTheSongOnce) {
  // The note starts in order 0 and is held through order 1, which has no note of its own.
  modwrite::Module song = songs::SquareSong(Format::IT, 3, 16);
  song.AddPattern(16);
  song.orders = {0, 1, 1};
  const uint32_t music = Load(song, true);
  Mix(4096);
  SoundSetPosition(music, 2 | 5u << 16);
  EXPECT_FALSE(AllZero(Mix(4096)));
  EXPECT_EQ(SoundGetPosition(music), 2u | 5u << 16);

  ASSERT_EQ(SoundSetPosition(music, 3), 1);
  EXPECT_TRUE(AllZero(Mix(8192)));
  EXPECT_EQ(sEndCount, 1);
  EXPECT_EQ(sEndMixedBefore, 8192u);  // at the first chunk after the request
  SoundSetPosition(music, 7);  // an ended song stays ended
  Mix(4096);
  EXPECT_EQ(sEndCount, 1);

  SoundPlayMusic(music, 0);
  EXPECT_FALSE(AllZero(Mix(8192)));
  SoundPlayMusic(music, 0xFFFF);  // playing from past the end is the end too
  EXPECT_TRUE(AllZero(Mix(4096)));
  EXPECT_EQ(sEndCount, 2);
}

TEST_F(Engine, PositionLevelsAndDataDescribeTheFrameHeardNow) {
  // Rows 0 to 3 are silent, the left square starts at row 4; mixed up to the middle of row 5.
  const uint32_t music = Load(songs::SquareSong(Format::IT, 1, 16, 4), true);
  const std::vector<int16_t> out = Mix(songs::kRowFrames * 11 / 2);
  // Frames still queued take the listener back: two rows back, in row 3, all is silent. Data are the newest
  // frames heard, whole frames only.
  const std::tuple<uint32_t, uint32_t, uint32_t> listeners[] = {
      {0, 5u << 16, 128}, {1000, 5u << 16, 128}, {2 * songs::kRowFrames, 3u << 16, 0}};
  for (const auto &[queued, position, level] : listeners) {
    SoundSetQueuedFrames(queued);
    EXPECT_EQ(SoundGetPosition(music), position) << queued;
    EXPECT_EQ(SoundGetLevel(music), level) << queued;  // left only
    std::vector<int16_t> data(2 * 700 + 1, -1);
    ASSERT_EQ(SoundGetData(music, data.data(), 2802), 2800);
    EXPECT_TRUE(std::equal(data.begin(), data.end() - 1, out.end() - 2 * queued - 1400) && data.back() == -1);
  }
  // Levels are peaks over the last 20 ms: 800 frames after the note is cut they have not fallen, 1000 after
  // they have.
  SoundSetQueuedFrames(0);
  AlignToChunk();
  SoundStopChannel(music);
  Mix(800);
  EXPECT_NE(SoundGetLevel(music), 0u);
  Mix(200);
  EXPECT_EQ(SoundGetLevel(music), 0u);
}

// The file is read during the load (and the XM song held against libopenmpt); the volume is a gain on the
// output alone, truncated.
TEST_F(Engine, TheFileIsReadDuringTheLoadAndTheVolumeScalesOnlyTheOutput) {
  ScopedTempDir dir;
  const modwrite::Module song = songs::BusySong(Format::XM);
  ASSERT_TRUE(modwrite::Save(song, "song.xm"));
  const uint32_t music = SoundLoadMusicFile("song.xm", kFlags);
  unlink("song.xm");
  EXPECT_EQ(SoundLoadMusicFile("missing.xm", kFlags), 0u);
  SoundSetVolume(50);
  ASSERT_EQ(SoundPlayMusic(music, 0), 1);
  const std::vector<int16_t> reference = RenderModule(modwrite::Write(song), kSoundChunkFrames), out = Mix(44100);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], reference[i] * 50 / 100) << i;
  std::vector<int16_t> data(2 * 512);
  SoundGetData(music, data.data(), 2048);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reference.begin() + 2 * (44100 - 512)));
  SoundSetVolume(0);
  EXPECT_TRUE(AllZero(Mix(4096)));
}

uint32_t Order(uint32_t position) { return position & 0xFFFF; }
uint32_t Row(uint32_t position) { return position >> 16; }

void ExpectAllQueriesZero() {
  int16_t data[64] = {5};
  EXPECT_EQ(std::vector<double>({(double)MusicGetData(data, sizeof data), data[0] - 5.0, MusicGetLevel(),
                                 MusicGetLeftLevel(), MusicGetRightLevel(), MusicGetProgress(), MusicGetOrderStep(),
                                 (double)MusicGetPosition()}),
            std::vector<double>(8, 0.0));
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

// The queries answer 0 unless music plays, the end flag is read as it is, and the volume is clamped and
// truncated always. A song that ends by itself; the next play clears the flag and starts at order 0;
// progress, seeks and steps follow the order count, and a seek to 1.0 ends the song, whose flag stays set.
TEST_F(Player, QueriesVolumeEndsSeeksProgressAndSteps) {
  ExpectAllQueriesZero();
  const std::pair<float, uint32_t> volumes[] = {{1.7f, 100}, {-0.2f, 0}, {0.999f, 99}, {std::nanf(""), 0}};
  for (const auto &[volume, expected] : volumes) {
    MusicSetVolume(volume);
    EXPECT_EQ(SoundGetVolume(), expected) << volume;
  }
  gMusicEnded.store(1);
  EXPECT_EQ(MusicHasEnded(), 1u);
  MusicInit("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  EXPECT_EQ(SoundGetVolume(), 100u);
  MusicPlay("short.it");
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));
  MusicPlay("ten.xm");
  EXPECT_EQ(MusicHasEnded(), 0u);
  ASSERT_TRUE(WaitFor([] { return MusicGetLeftLevel() > 0.0f; }));
  EXPECT_EQ(Order(MusicGetPosition()), 0u);
  EXPECT_EQ(MusicGetRightLevel(), 0.0f);
  EXPECT_EQ(MusicGetLevel(), MusicGetLeftLevel() / 2);
  int16_t data[128] = {};
  EXPECT_EQ(MusicGetData(data, sizeof data), (int32_t)sizeof data);

  EXPECT_FLOAT_EQ(MusicGetOrderStep(), 1.0f / 9.0f);
  MusicSeek(0.55f);
  ASSERT_TRUE(WaitFor([] { return Order(MusicGetPosition()) == 5; }));
  EXPECT_EQ(MusicGetProgress(), 0.5f);
  // Seeking into the order that already plays does not restart it: the rows go on from where they were.
  ASSERT_TRUE(WaitFor([] { return Row(MusicGetPosition()) >= 2; }));
  MusicSeek(0.55f);
  uint32_t now = 0;
  ASSERT_TRUE(WaitFor([&] { return Order(now = MusicGetPosition()) != 5 || Row(now) < 2 || Row(now) >= 6; }));
  EXPECT_TRUE(Order(now) == 5 && Row(now) >= 6) << Order(now) << ", " << Row(now);
  // Other order counts, with order 5 playing: progress is clamped, and no step without two orders.
  const std::tuple<int32_t, float, float> counts[] = {{5, 1.0f, 0.25f}, {1, 1.0f, 0.0f}, {0, 1.0f, 0.0f}};
  for (const auto &[orders, progress, step] : counts) {
    gMusicOrders = orders;
    EXPECT_EQ(MusicGetProgress(), progress) << orders;
    EXPECT_FLOAT_EQ(MusicGetOrderStep(), step) << orders;
  }
  gMusicOrders = 10;
  MusicSeek(-3.0f);
  ASSERT_TRUE(WaitFor([] { return Order(MusicGetPosition()) == 0; }));
  EXPECT_EQ(MusicGetProgress(), 0.0f);
  MusicSeek(std::nanf(""));
  MusicSeek(1.0f);
  ASSERT_TRUE(WaitFor([] { return MusicHasEnded() == 1; }));

  MusicShutdown();
  EXPECT_EQ(SoundGetVolume(), 0u);
  ExpectAllQueriesZero();
}

// The probes read the order count from the start of the file, whatever its position. The player's failures
// are fatal (the children fork from a parent without an audio thread, so no lock can be copied while held):
// the name decides the probe, and the temporary copy is opened before the name is looked at; rows without
// bytes have no file.
TEST_F(Player, TheProbeReadsOrderCountsAndFailuresAreFatalWithTheirMessages) {
  const std::string it = File(Format::IT), xm = File(Format::XM);
  // The XM's identification text and names are free; order counts are unsigned 16-bit at 64 and 32.
  const std::pair<uint32_t (*)(FILE *), std::string> probes[] = {
      {ProbeXMHeader, Patched(Patched(xm, 0, std::string(58, '\x93')), 64, "\xFF\xFF")},
      {ProbeITHeader, Patched(it, 32, std::string(2, '\0'))}, {ProbeITHeader, Patched(it, 32, "\x23\x81")}};
  // In a child: a probe that fails ends the process with exit code 0.
  const ChildResult child = RunChild([&] {
    for (const auto &[probe, bytes] : probes) {
      WriteWholeFile("probe.bin", bytes);
      FILE *file = fopen("probe.bin", "rb");
      fseek(file, 0, SEEK_END);
      printf("%u ", probe(file));
      fclose(file);
    }
  });
  EXPECT_EQ(child.out, "65535 0 33059 ");

  const std::tuple<const char *, std::string, std::string> cases[] = {
      {"it-inside.xm", it, "Cannot parse XM file ! [Bad version]"},
      {"xm-inside.it", xm, "Cannot parse IT file ! [Bad format]"},
      {"old.xm", Patched(xm, 58, "\x03"), "Cannot parse XM file ! [Bad version]"},                 // 0x0103
      {"long.xm", Patched(xm, 60, "\x15"), "Cannot parse XM file ! [Bad header]"},                 // 277
      {"short.xm", Patched(xm, 61, std::string(1, '\0')), "Cannot parse XM file ! [Bad header]"},  // 20
      {"a.xm", xm.substr(0, 59), "Cannot parse XM file ! [Read error]"},
      {"b.xm", xm.substr(0, 335), "Cannot parse XM file ! [Read error]"},
      {"c.xm", Patched(xm, 58, "\x03").substr(0, 60), "Cannot parse XM file ! [Bad version]"},  // version first
      {"a.it", it.substr(0, 47), "Cannot parse IT file ! [Read error]"},
      {"xm", "", "Cannot open [xm] msx file !"},
      {"xm", std::string(400, 'x'), "Unsupported filetype !(XM / IT)"},
      {"song.mod", std::string(400, 'x'), "Unsupported filetype !(XM / IT)"},
  };
  for (const auto &[name, bytes, message] : cases) {
    if (!bytes.empty()) WriteWholeFile(name, bytes);
    ExpectFatal([&] { MusicPlay(name); }, "xm_play", message, -1, name);
  }
  WriteWholeFile("damaged.it", it.substr(0, 100));  // passes the probe only
  ExpectFatal([] { MusicInit("damaged.it"); }, "xm_play", "Can't play the file - load error (BASS)!");
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ExpectFatal([] { MusicInit("ten.xm"); }, "xm_play", "BASS Init error !");
}

}  // namespace
