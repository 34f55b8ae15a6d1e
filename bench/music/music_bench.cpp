#include <benchmark/benchmark.h>
#include <unistd.h>

#include <ctime>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/music.h"
#include "music/sound.h"
#include "songs.h"

namespace {

// Rendering without a device happens on the calling thread: its CPU time is what it cost, whatever else
// the machine does meanwhile.
double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return (double)now.tv_sec + 1e-9 * (double)now.tv_nsec;
}

// Renders the whole song through libopenmpt alone, `block` frames a read, with the engine's settings.
double RenderWithLibopenmpt(const std::vector<uint8_t> &file, size_t block) {
  openmpt_module *module = OpenModule(file);
  std::vector<int16_t> out(2 * block);
  double begin = ThreadSeconds();
  while (openmpt_module_read_interleaved_stereo(module, songs::kRate, block, out.data()) == block) {
  }
  double seconds = ThreadSeconds() - begin;
  openmpt_module_destroy(module);
  return seconds;
}

// Renders the whole song through the engine without a device, in device-sized blocks.
double RenderWithEngine(const std::vector<uint8_t> &file) {
  SoundInit(SOUND_DEVICE_NONE, songs::kRate);
  SoundStart();
  uint32_t music = SoundLoadMusicMemory(file.data(), file.size(), kMusicLoadFlags);
  static int ended;
  ended = 0;
  SoundSetEndSync(music, [](uint32_t, uint32_t, uint32_t, uint32_t) { ended = 1; }, 0);
  SoundPlayMusic(music, 0);
  std::vector<int16_t> out(2 * kSoundDeviceFrames);
  double begin = ThreadSeconds();
  while (!ended) SoundMixOutput(out.data(), kSoundDeviceFrames);
  double seconds = ThreadSeconds() - begin;
  SoundFree();
  return seconds;
}

// The engine and libopenmpt alone render the same song in turn, so both see the same machine load.
void BM_RenderEngineAgainstLibopenmpt(benchmark::State &state) {
  modwrite::Format format = state.range(0) ? modwrite::Format::IT : modwrite::Format::XM;
  std::vector<uint8_t> file = modwrite::Write(songs::BusySong(format));
  double engine = 0, alone = 0, aloneInChunks = 0;
  for (auto _ : state) {
    engine += RenderWithEngine(file);
    alone += RenderWithLibopenmpt(file, kSoundDeviceFrames);
    aloneInChunks += RenderWithLibopenmpt(file, kSoundChunkFrames);
  }
  double n = (double)state.iterations();
  state.counters["engine_ms"] = 1000 * engine / n;
  state.counters["openmpt_ms"] = 1000 * alone / n;
  state.counters["ratio"] = engine / alone;
  state.counters["ratio_vs_128_reads"] = engine / aloneInChunks;
}
BENCHMARK(BM_RenderEngineAgainstLibopenmpt)->Arg(0)->Arg(1)->ArgName("it")->Iterations(5)->Unit(benchmark::kMillisecond);

// A private working folder with two songs for the player.
struct SongFolder {
  SongFolder() {
    char pattern[] = "/tmp/music-bench-XXXXXX";
    path = mkdtemp(pattern);
    previous = getcwd(nullptr, 0);
    if (chdir(path.c_str()) != 0) abort();
    modwrite::Save(songs::BusySong(modwrite::Format::XM), "a.xm");
    modwrite::Save(songs::BusySong(modwrite::Format::IT), "b.it");
  }
  ~SongFolder() {
    unlink("a.xm");
    unlink("b.it");
    if (chdir(previous) != 0) abort();
    rmdir(path.c_str());
    free(previous);
  }
  std::string path;
  char *previous;
};

// One frame's questions, as the effects ask them, while the real device plays (dummy driver).
void BM_FrameQueries(benchmark::State &state) {
  SongFolder folder;
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  MusicInit("a.xm");
  int16_t data[128];
  float sink = 0;
  for (auto _ : state) {
    sink += MusicGetLevel() + MusicGetLeftLevel() + MusicGetRightLevel();
    sink += (float)MusicGetData(data, sizeof data);
    sink += (float)MusicGetPosition();
    benchmark::DoNotOptimize(sink);
  }
  MusicShutdown();
}
BENCHMARK(BM_FrameQueries)->Unit(benchmark::kMicrosecond);

// The main thread changes tracks as fast as it can while the audio thread renders without pause (disk
// driver, no delay, into /dev/null): the longest time the audio thread waited for the engine's lock.
void BM_LockWaitWhileChangingTracks(benchmark::State &state) {
  SongFolder folder;
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  MusicInit("a.xm");
  SoundTakeLongestLockWait();
  int changes = 0;
  for (auto _ : state) {
    MusicPlay(changes % 2 ? "a.xm" : "b.it");
    changes++;
  }
  state.counters["longest_wait_us"] = SoundTakeLongestLockWait();
  MusicShutdown();
  unsetenv("SDL_DISKAUDIOFILE");
  unsetenv("SDL_DISKAUDIODELAY");
}
BENCHMARK(BM_LockWaitWhileChangingTracks)->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
