#include "music/sound.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio.h"

namespace {

// =========================================================================================================
// [SECTION] State

// The loaded music and how it plays. Guarded by sLock; the main thread alone changes which module is here.
struct MusicSlot {
  openmpt_module *Module;
  uint32_t Handle;
  int32_t Orders;     // libopenmpt's order count of the song
  uint32_t Position;  // order | row << 16 at the start of the next chunk
  int Playing;
  int Ended;          // the song has ended: silence until the next SoundPlayMusic
  int EndRequested;   // a jump past the last order; the next chunk ends the song
  int Fresh;          // nothing rendered and no jump since the load: the song stands at order 0, row 0
  SOUND_SYNC_PROC EndProc;
  uint32_t EndSync;
  uint32_t EndUser;
};

std::mutex sLock;
MusicSlot sMusic;
int sOutputRunning;  // guarded by sLock

// Main thread only.
int sInitialised;
int32_t sDevice;
uint32_t sRate;
uint32_t sLoadedHandle;  // mirrors sMusic.Handle, which only the main thread changes
uint32_t sNextHandle;    // handles are never reused, so a stale one is always refused

std::atomic<uint32_t> sVolume{100};
std::atomic<int64_t> sLongestWaitNs{0};

// The output history: every rendered frame (before the volume) and one entry per chunk. Guarded by
// sHistoryLock, which is held only to copy a chunk in, to count frames handed out, or to answer a query.
// Frames are numbered in output order from SoundInit on.
const uint32_t kHistoryFrames = 32768;
const uint32_t kHistoryChunks = kHistoryFrames / kSoundChunkFrames;
const uint32_t kMaxDataFrames = kSoundMaxDataBytes / 4;
// The oldest frame a query may ask about must still be in the history, the data before it included, while
// up to one chunk is rendered ahead of the output.
const uint64_t kMaxLagFrames = kHistoryFrames - kMaxDataFrames - kSoundChunkFrames;
static_assert(kHistoryFrames % kSoundChunkFrames == 0, "chunks never wrap around the history");

struct ChunkEntry {
  uint64_t Start;  // frame number of the chunk's first frame
  uint32_t Music;  // handle of the music rendered, 0 for none
  uint32_t Position;
  uint16_t PeakLeft, PeakRight;  // 0 to 32768
};

std::mutex sHistoryLock;
int16_t sSamples[kHistoryFrames * 2];
ChunkEntry sChunks[kHistoryChunks];
uint64_t sChunkCount;  // entries ever written; the newest is sChunks[(sChunkCount - 1) % kHistoryChunks]
uint64_t sHanded;      // frames handed out by SoundMixOutput since SoundInit
uint32_t sQueued;      // SOUND_DEVICE_NONE: frames the owner still holds

// The chunk being handed out, before the volume. Audio thread only (and SoundInit before it runs).
int16_t sChunk[2 * kSoundChunkFrames];
uint32_t sChunkUsed;  // frames of sChunk already handed out; kSoundChunkFrames when it is used up

// =========================================================================================================
// [SECTION] Audio thread

void LockForMixing() {
  if (sLock.try_lock()) return;
  auto begin = std::chrono::steady_clock::now();
  sLock.lock();
  int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - begin).count();
  if (waited > sLongestWaitNs.load(std::memory_order_relaxed)) sLongestWaitNs.store(waited, std::memory_order_relaxed);
}

void RecordChunk(const int16_t *samples, uint32_t music, uint32_t position) {
  int peakLeft = 0, peakRight = 0;
  for (uint32_t i = 0; i < kSoundChunkFrames; i++) {
    peakLeft = std::max(peakLeft, std::abs((int)samples[2 * i]));
    peakRight = std::max(peakRight, std::abs((int)samples[2 * i + 1]));
  }

  std::lock_guard<std::mutex> guard(sHistoryLock);
  uint64_t start = sChunkCount * kSoundChunkFrames;
  memcpy(sSamples + 2 * (start % kHistoryFrames), samples, sizeof sChunk);
  ChunkEntry &entry = sChunks[sChunkCount % kHistoryChunks];
  entry.Start = start;
  entry.Music = music;
  entry.Position = position;
  entry.PeakLeft = (uint16_t)peakLeft;
  entry.PeakRight = (uint16_t)peakRight;
  sChunkCount++;
}

// Renders the next chunk into sChunk. libopenmpt is always asked for whole chunks, from the start of a song
// on: its XM volume ramps come out differently for different read sizes, and this way the output never
// depends on the device's block size.
void RenderChunk() {
  uint32_t rendered = 0;
  SOUND_SYNC_PROC endProc = nullptr;
  uint32_t endSync = 0, endMusic = 0, endUser = 0;

  LockForMixing();
  MusicSlot &music = sMusic;
  uint32_t handle = music.Handle, position = music.Position;
  bool ends = false;
  if (music.Module && music.EndRequested) {
    music.EndRequested = 0;
    ends = !music.Ended;
  }
  if (!ends && sOutputRunning && music.Module && music.Playing) {
    position = (uint32_t)openmpt_module_get_current_order(music.Module) & 0xFFFF;
    position |= (uint32_t)openmpt_module_get_current_row(music.Module) << 16;
    music.Position = position;
    music.Fresh = 0;
    rendered = (uint32_t)openmpt_module_read_interleaved_stereo(music.Module, (int32_t)sRate, kSoundChunkFrames, sChunk);
    ends = rendered < kSoundChunkFrames;
  }
  if (ends) {
    music.Ended = 1;
    music.Playing = 0;
    endProc = music.EndProc, endSync = music.EndSync, endMusic = music.Handle, endUser = music.EndUser;
  }
  sLock.unlock();

  memset(sChunk + 2 * rendered, 0, (kSoundChunkFrames - rendered) * 4);
  RecordChunk(sChunk, handle, position);
  // Outside the locks: the callback may be anyone's code.
  if (endProc) endProc(endSync, endMusic, 0, endUser);
}

void DeviceCallback(int16_t *samples, uint32_t frames, void *) { SoundMixOutput(samples, frames); }

// =========================================================================================================
// [SECTION] History queries (main thread, under sHistoryLock)

uint64_t PlayingFrame() {
  uint64_t playing = sDevice == SOUND_DEVICE_NONE ? sHanded - std::min<uint64_t>(sQueued, sHanded)
                                                  : std::min(AudioPlayingFrame(), sHanded);
  uint64_t oldest = sHanded > kMaxLagFrames ? sHanded - kMaxLagFrames : 0;
  return std::max(playing, oldest);
}

// The newest entry whose chunk started at or before `frame`; the oldest kept entry when none did.
const ChunkEntry *EntryAt(uint64_t frame) {
  if (!sChunkCount) return nullptr;
  uint64_t oldest = sChunkCount > kHistoryChunks ? sChunkCount - kHistoryChunks : 0;
  uint64_t i = sChunkCount - 1;
  while (i > oldest && sChunks[i % kHistoryChunks].Start > frame) i--;
  return &sChunks[i % kHistoryChunks];
}

int LevelOfPeak(int peak) { return std::min(128, (peak * 128 + 16384) >> 15); }

// Musics and syncs draw from one count that skips 0 when it wraps (main thread).
uint32_t NewHandle() {
  if (!++sNextHandle) ++sNextHandle;
  return sNextHandle;
}

// The music of `handle` is the loaded one (main thread).
bool IsLoaded(uint32_t handle) { return sInitialised && handle && handle == sLoadedHandle; }

// Swaps `module` (null to unload) into the slot; returns the module it replaces, for the caller to destroy
// after the lock is gone.
openmpt_module *SwapMusic(openmpt_module *module, uint32_t handle) {
  std::lock_guard<std::mutex> guard(sLock);
  openmpt_module *old = sMusic.Module;
  sMusic = MusicSlot();
  sMusic.Module = module;
  sMusic.Handle = handle;
  sMusic.Orders = module ? openmpt_module_get_num_orders(module) : 0;
  sMusic.Fresh = 1;
  sLoadedHandle = handle;
  return old;
}

void DestroyModule(openmpt_module *module) {
  if (module) openmpt_module_destroy(module);
}

// Moves the song to order/row, or ends it when the order is past the last. Under sLock.
void JumpTo(MusicSlot &music, uint32_t position) {
  int32_t order = (int32_t)(position & 0xFFFF), row = (int32_t)(position >> 16);
  if (order >= music.Orders) {
    music.EndRequested = 1;
    return;
  }
  if (music.Fresh && order == 0 && row == 0) return;
  openmpt_module_set_position_order_row(music.Module, order, row);
  music.Position = ((uint32_t)openmpt_module_get_current_order(music.Module) & 0xFFFF) |
                   (uint32_t)openmpt_module_get_current_row(music.Module) << 16;
  music.Fresh = 0;
}

}  // namespace

// =========================================================================================================
// [SECTION] Interface

uint32_t SoundGetVersion() { return kSoundVersion; }

int SoundInit(int32_t device, uint32_t rate) {
  if (sInitialised || rate == 0) return 0;
  if (device != SOUND_DEVICE_DEFAULT && device != SOUND_DEVICE_NONE) return 0;
  {
    std::lock_guard<std::mutex> guard(sHistoryLock);
    memset(sSamples, 0, sizeof sSamples);
    sChunkCount = 0;
    sHanded = 0;
    sQueued = 0;
  }
  sChunkUsed = kSoundChunkFrames;
  sOutputRunning = 0;
  sDevice = device;
  sRate = rate;
  sVolume.store(100);
  sLongestWaitNs.store(0);
  if (device == SOUND_DEVICE_DEFAULT && !AudioOpen(rate, kSoundDeviceFrames, DeviceCallback, nullptr)) return 0;
  sInitialised = 1;
  return 1;
}

int SoundStart() {
  if (!sInitialised) return 0;
  {
    std::lock_guard<std::mutex> guard(sLock);
    sOutputRunning = 1;
  }
  if (sDevice == SOUND_DEVICE_DEFAULT) AudioStart();
  return 1;
}

int SoundFree() {
  if (!sInitialised) return 0;
  if (sDevice == SOUND_DEVICE_DEFAULT) AudioClose();
  DestroyModule(SwapMusic(nullptr, 0));
  sInitialised = 0;
  return 1;
}

uint32_t SoundLoadMusicFile(const char *path, uint32_t flags) {
  if (!sInitialised) return 0;
  FILE *file = fopen(path, "rb");
  if (!file) return 0;
  std::vector<unsigned char> data;
  unsigned char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) data.insert(data.end(), block, block + got);
  bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return 0;
  return SoundLoadMusicMemory(data.data(), data.size(), flags);
}

uint32_t SoundLoadMusicMemory(const void *data, size_t size, uint32_t flags) {
  if (!sInitialised || !data || !size) return 0;
  bool once = (flags & SOUND_MUSIC_ONCE) != 0;
  // Dithering draws on a random generator; without it the output is the same on every run.
  const openmpt_module_initial_ctl ctls[] = {
      {"play.at_end", once ? "stop" : "continue"},
      {"seek.sync_samples", "1"},
      {"dither", "0"},
      {nullptr, nullptr},
  };
  openmpt_module *module = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr,
                                                              openmpt_error_func_ignore, nullptr, nullptr,
                                                              nullptr, ctls);
  if (!module) return 0;
  openmpt_module_set_repeat_count(module, once ? 0 : -1);
  // -1 is libopenmpt's own default ramping.
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                  (flags & SOUND_MUSIC_RAMP) ? -1 : 0);

  uint32_t handle = NewHandle();
  DestroyModule(SwapMusic(module, handle));
  return handle;
}

int SoundFreeMusic(uint32_t music) {
  if (!IsLoaded(music)) return 0;
  DestroyModule(SwapMusic(nullptr, 0));
  return 1;
}

uint32_t SoundSetEndSync(uint32_t music, SOUND_SYNC_PROC proc, uint32_t user) {
  if (!IsLoaded(music) || !proc) return 0;
  uint32_t sync = NewHandle();
  std::lock_guard<std::mutex> guard(sLock);
  sMusic.EndProc = proc;
  sMusic.EndSync = sync;
  sMusic.EndUser = user;
  return sync;
}

int SoundPlayMusic(uint32_t music, uint32_t position) {
  if (!IsLoaded(music)) return 0;
  std::lock_guard<std::mutex> guard(sLock);
  sMusic.Ended = 0;
  sMusic.EndRequested = 0;
  sMusic.Playing = 1;
  JumpTo(sMusic, position);
  return 1;
}

int SoundStopChannel(uint32_t music) {
  if (!IsLoaded(music)) return 0;
  std::lock_guard<std::mutex> guard(sLock);
  sMusic.Playing = 0;
  return 1;
}

int SoundSetPosition(uint32_t music, uint32_t position) {
  if (!IsLoaded(music)) return 0;
  std::lock_guard<std::mutex> guard(sLock);
  if (!sMusic.Ended) JumpTo(sMusic, position);
  return 1;
}

uint32_t SoundGetLevel(uint32_t music) {
  if (!IsLoaded(music)) return 0;
  std::lock_guard<std::mutex> guard(sHistoryLock);
  if (!sChunkCount) return 0;
  uint64_t playing = PlayingFrame();
  uint64_t window = (uint64_t)sRate * kSoundLevelMs / 1000;
  uint64_t from = playing > window ? playing - window : 0;
  uint64_t oldest = sChunkCount > kHistoryChunks ? sChunkCount - kHistoryChunks : 0;
  int peakLeft = 0, peakRight = 0;
  for (uint64_t i = sChunkCount; i-- > oldest;) {
    const ChunkEntry &entry = sChunks[i % kHistoryChunks];
    if (entry.Start + kSoundChunkFrames <= from) break;
    if (entry.Start >= playing) continue;
    peakLeft = std::max(peakLeft, (int)entry.PeakLeft);
    peakRight = std::max(peakRight, (int)entry.PeakRight);
  }
  return (uint32_t)LevelOfPeak(peakLeft) | (uint32_t)LevelOfPeak(peakRight) << 16;
}

int32_t SoundGetData(uint32_t music, void *buffer, uint32_t length) {
  if (!IsLoaded(music)) return -1;
  uint32_t frames = std::min(length, kSoundMaxDataBytes) / 4;
  int16_t *out = (int16_t *)buffer;
  std::lock_guard<std::mutex> guard(sHistoryLock);
  uint64_t end = PlayingFrame();
  // Frames from before the first one mixed were silence.
  uint32_t silent = end < frames ? frames - (uint32_t)end : 0;
  memset(out, 0, silent * 4);
  for (uint32_t i = silent; i < frames; i++) {
    uint64_t at = (end - frames + i) % kHistoryFrames;
    out[2 * i] = sSamples[2 * at];
    out[2 * i + 1] = sSamples[2 * at + 1];
  }
  return (int32_t)(frames * 4);
}

uint32_t SoundGetPosition(uint32_t music) {
  if (!IsLoaded(music)) return 0xFFFFFFFF;
  std::lock_guard<std::mutex> guard(sHistoryLock);
  const ChunkEntry *entry = EntryAt(PlayingFrame());
  // Until its first chunk is heard, a music just loaded stands at its start, whatever is heard of the one
  // before it.
  return entry && entry->Music == music ? entry->Position : 0;
}

uint32_t SoundGetNextPosition(uint32_t music) {
  if (!IsLoaded(music)) return 0xFFFFFFFF;
  std::lock_guard<std::mutex> guard(sLock);
  if (sMusic.EndRequested) return (uint32_t)sMusic.Orders & 0xFFFF;
  return ((uint32_t)openmpt_module_get_current_order(sMusic.Module) & 0xFFFF) |
         (uint32_t)openmpt_module_get_current_row(sMusic.Module) << 16;
}

void SoundSetVolume(uint32_t volume) { sVolume.store(std::min(volume, 100u), std::memory_order_relaxed); }

uint32_t SoundGetVolume() { return sVolume.load(std::memory_order_relaxed); }

void SoundMixOutput(int16_t *samples, uint32_t frames) {
  uint32_t volume = sVolume.load(std::memory_order_relaxed);
  for (uint32_t done = 0; done < frames;) {
    if (sChunkUsed == kSoundChunkFrames) {
      RenderChunk();
      sChunkUsed = 0;
    }
    uint32_t count = std::min(frames - done, kSoundChunkFrames - sChunkUsed);
    const int16_t *from = sChunk + 2 * sChunkUsed;
    int16_t *to = samples + 2 * done;
    if (volume >= 100)
      memcpy(to, from, count * 4);
    else
      for (uint32_t i = 0; i < 2 * count; i++) to[i] = (int16_t)(from[i] * (int)volume / 100);
    sChunkUsed += count;
    done += count;
  }
  std::lock_guard<std::mutex> guard(sHistoryLock);
  sHanded += frames;
}

void SoundSetQueuedFrames(uint32_t frames) {
  std::lock_guard<std::mutex> guard(sHistoryLock);
  sQueued = frames;
}

double SoundTakeLongestLockWait() { return (double)sLongestWaitNs.exchange(0) / 1000.0; }
