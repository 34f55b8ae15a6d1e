// The sound engine without a device: the test pulls the output with SoundMixOutput and states how much of it
// is still "queued", which makes every timing question exact (the player's tests and the end-to-end run
// play through SDL's devices).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

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
    sEndCount = 0;
    sMixed = 0;
    ASSERT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 1);
    ASSERT_EQ(SoundStart(), 1);
  }
  void TearDown() override { SoundFree(); }

  uint32_t Load(const modwrite::Module &module) {
    file_ = modwrite::Write(module);
    uint32_t music = SoundLoadMusicMemory(file_.data(), file_.size(), kFlags);
    SoundSetEndSync(music, CountEnd, 77);
    return music;
  }

  std::vector<int16_t> Mix(uint32_t frames, uint32_t block = 1024) {
    std::vector<int16_t> out(2 * (size_t)frames);
    for (uint32_t done = 0, n; done < frames; done += n, sMixed += n) {
      n = std::min(block, frames - done);
      SoundMixOutput(out.data() + 2 * (size_t)done, n);
    }
    return out;
  }

  // Play, stop and jumps take effect at the next chunk: mixes up to it.
  void AlignToChunk() { Mix((kSoundChunkFrames - sMixed % kSoundChunkFrames) % kSoundChunkFrames); }

  std::vector<uint8_t> file_;
};

bool AllZero(const std::vector<int16_t> &samples, size_t from = 0) {
  return std::all_of(samples.begin() + (long)from, samples.end(), [](int16_t s) { return s == 0; });
}

TEST_F(Engine, WholeSongEqualsLibopenmptAndTheEndCallbackFiresOnceAtTheEndFrame) {
  for (Format format : {Format::XM, Format::IT}) {
    SCOPED_TRACE(format == Format::XM ? "XM" : "IT");
    sEndCount = 0;
    AlignToChunk();
    modwrite::Module song = songs::BusySong(format);
    uint32_t music = Load(song);
    ASSERT_NE(music, 0u);
    std::vector<int16_t> reference = songs::ReferenceRender(file_);
    ASSERT_GT(reference.size(), 2u * 44100);
    ASSERT_EQ(SoundPlayMusic(music, 0), 1);

    // An odd block size, so that chunks and blocks never line up with the song's end.
    uint64_t before = sMixed;
    std::vector<int16_t> out = Mix((uint32_t)reference.size() / 2 + 5000, 1000);
    ASSERT_EQ(sEndCount, 1);
    uint64_t endFrame = reference.size() / 2;
    // The end is found when the chunk holding it is rendered.
    EXPECT_LE(sEndMixedBefore - before, endFrame);
    EXPECT_GT(sEndMixedBefore - before + 1000 + kSoundChunkFrames, endFrame);
    EXPECT_EQ(std::vector<uint32_t>(sEndArguments + 1, sEndArguments + 4), std::vector<uint32_t>({music, 0, 77}));

    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), out.begin()));
    EXPECT_TRUE(AllZero(out, reference.size()));
    // Silence, and no second callback, until the next play.
    EXPECT_TRUE(AllZero(Mix(20000)));
    EXPECT_EQ(sEndCount, 1);
    SoundFreeMusic(music);
  }
}

TEST_F(Engine, LifecycleAndNothingAdvancesBeforeStartOrPlayAndAStoppedMusicIsSilent) {
  SoundFree();
  std::vector<uint8_t> file = modwrite::Write(songs::SquareSong(Format::XM, 1, 16));
  EXPECT_EQ(SoundLoadMusicMemory(file.data(), file.size(), kFlags), 0u);
  EXPECT_EQ(SoundStart(), 0);
  EXPECT_EQ(SoundFree(), 0);
  EXPECT_EQ(SoundInit(3, 44100), 0);
  ASSERT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 1);
  EXPECT_EQ(SoundInit(SOUND_DEVICE_NONE, 44100), 0);
  uint32_t music = Load(songs::SquareSong(Format::IT, 1, 16));
  SoundPlayMusic(music, 0);
  EXPECT_TRUE(AllZero(Mix(20000)));  // not started
  AlignToChunk();
  SoundStart();
  std::vector<int16_t> out = Mix(4096);
  EXPECT_FALSE(AllZero(out));
  // The song began only now: the output is the song's first frames.
  std::vector<int16_t> reference = songs::ReferenceRender(file_);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), reference.begin()));

  SoundStopChannel(music);
  EXPECT_TRUE(AllZero(Mix(4096)));
  EXPECT_EQ(sEndCount, 0);
}

TEST_F(Engine, AJumpKeepsTheHeldNoteAndAJumpPastTheLastOrderEndsTheSongOnce) {
  // The note starts in order 0 and is held through order 1, which has no note of its own.
  modwrite::Module song = songs::SquareSong(Format::IT, 3, 16);
  song.AddPattern(16);
  song.orders = {0, 1, 1};
  uint32_t music = Load(song);
  SoundPlayMusic(music, 0);
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
  // Rows 0 to 3 are silent, the left square starts at row 4.
  uint32_t music = Load(songs::SquareSong(Format::IT, 1, 16, 4));
  SoundPlayMusic(music, 0);
  std::vector<int16_t> out = Mix(songs::kRowFrames * 11 / 2);  // the middle of row 5

  SoundSetQueuedFrames(0);
  EXPECT_EQ(SoundGetPosition(music), 5u << 16);
  EXPECT_EQ(SoundGetLevel(music), 128u);  // left 128, right 0

  // Two rows still queued: the listener is in row 3, where all is silent.
  uint32_t queued = 2 * songs::kRowFrames;
  SoundSetQueuedFrames(queued);
  EXPECT_EQ(SoundGetPosition(music), 3u << 16);
  EXPECT_EQ(SoundGetLevel(music), 0u);

  // Data: the newest audible frames, ending where the listener is.
  for (uint32_t q : {0u, queued, 1000u}) {
    SoundSetQueuedFrames(q);
    std::vector<int16_t> data(2 * 700, -1);
    ASSERT_EQ(SoundGetData(music, data.data(), 2800), 2800);
    size_t end = out.size() - 2 * (size_t)q;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + (long)(end - data.size()))) << q;
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

TEST_F(Engine, DataAsksAreRoundedToFramesLimitedAndSilentBeforeTheFirstFrame) {
  uint32_t music = Load(songs::SquareSong(Format::IT, 1, 16));
  SoundPlayMusic(music, 0);
  std::vector<int16_t> out = Mix(100);
  std::vector<int16_t> data(kSoundMaxDataBytes, 7);
  // 1026 bytes asked: 256 whole frames, of which the first 156 come from before the first frame mixed.
  ASSERT_EQ(SoundGetData(music, data.data(), 1026), 1024);
  EXPECT_TRUE(std::all_of(data.begin(), data.begin() + 2 * 156, [](int16_t s) { return s == 0; }));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin() + 2 * 156));
  EXPECT_EQ(data[512], 7);  // nothing written past the whole frames
  EXPECT_EQ(SoundGetData(music, data.data(), 1u << 30), (int32_t)kSoundMaxDataBytes);
}

TEST_F(Engine, TheFileIsReadDuringTheLoadAndTheVolumeScalesOnlyTheOutput) {
  ScopedTempDir dir;
  modwrite::Module song = songs::BusySong(Format::XM);
  ASSERT_TRUE(modwrite::Save(song, "song.xm"));
  uint32_t music = SoundLoadMusicFile("song.xm", kFlags);
  ASSERT_NE(music, 0u);
  unlink("song.xm");
  EXPECT_EQ(SoundLoadMusicFile("missing.xm", kFlags), 0u);
  std::vector<int16_t> reference = songs::ReferenceRender(modwrite::Write(song));
  SoundPlayMusic(music, 0);
  std::vector<int16_t> out = Mix(20480);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), reference.begin()));

  SoundSetVolume(50);
  EXPECT_EQ(SoundGetVolume(), 50u);
  out = Mix(44100 - 20480);
  for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], reference[2 * 20480 + i] * 50 / 100) << i;
  std::vector<int16_t> data(2 * 512);
  SoundGetData(music, data.data(), 2048);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reference.begin() + 2 * (44100 - 512)));
  SoundSetVolume(0);
  EXPECT_TRUE(AllZero(Mix(4096)));
  SoundSetVolume(250);
  EXPECT_EQ(SoundGetVolume(), 100u);
}

TEST_F(Engine, DamagedModulesAreRefusedAndALoadReplacesTheMusic) {
  std::vector<uint8_t> file = modwrite::Write(songs::SquareSong(Format::IT, 1, 16));
  EXPECT_EQ(SoundLoadMusicMemory(file.data(), 100, kFlags), 0u);
  file = modwrite::Write(songs::SquareSong(Format::XM, 1, 16));
  file[68] = 0;  // no channels
  EXPECT_EQ(SoundLoadMusicMemory(file.data(), file.size(), kFlags), 0u);
  EXPECT_EQ(SoundLoadMusicMemory(file.data(), 0, kFlags), 0u);

  uint32_t first = Load(songs::SquareSong(Format::XM, 1, 16));
  uint32_t second = Load(songs::SquareSong(Format::IT, 1, 16));
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(SoundPlayMusic(first, 0), 0);
  EXPECT_EQ(SoundGetPosition(first), 0xFFFFFFFFu);
  EXPECT_EQ(SoundGetData(first, nullptr, 0), -1);
  EXPECT_EQ(SoundSetEndSync(first, CountEnd, 0), 0u);
  EXPECT_EQ(SoundPlayMusic(second, 0), 1);
  EXPECT_EQ(SoundFreeMusic(second), 1);
  EXPECT_EQ(SoundFreeMusic(second), 0);
  EXPECT_EQ(SoundGetLevel(second), 0u);
  EXPECT_TRUE(AllZero(Mix(4096)));
}

}  // namespace
