#include "platform/audio.h"

#include <SDL.h>

#include <atomic>

static SDL_AudioDeviceID sDevice = 0;
static AUDIO_CALLBACK sCallback = nullptr;
static void *sCallbackUser = nullptr;
static uint32_t sRate = 0;
static uint32_t sLatencyFrames = 0;

// The count of frames handed to the device and the time of the hand-over, written by the audio thread and
// read together by any thread. A sequence counter (odd while a write is under way) lets readers take a
// consistent pair without ever making the audio thread wait.
static std::atomic<uint32_t> sSequence{0};
static std::atomic<uint64_t> sHandedFrames{0};
static std::atomic<uint64_t> sHandedAt{0};

static void SDLCALL AudioTrampoline(void *, Uint8 *stream, int length) {
  uint32_t frames = (uint32_t)length / (2 * sizeof(int16_t));
  sCallback((int16_t *)stream, frames, sCallbackUser);

  // Sequentially consistent throughout: a reader that sees the same even count before and after its loads
  // read one hand-over's values. Once per callback, so the cost does not matter.
  uint32_t sequence = sSequence.load();
  sSequence.store(sequence + 1);
  sHandedFrames.store(sHandedFrames.load() + frames);
  sHandedAt.store(SDL_GetPerformanceCounter());
  sSequence.store(sequence + 2);
}

int AudioOpen(uint32_t rate, uint32_t bufferFrames, AUDIO_CALLBACK callback, void *user) {
  if (sDevice || !callback) return 0;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;

  sCallback = callback;
  sCallbackUser = user;
  sRate = rate;
  sLatencyFrames = 2 * bufferFrames;
  sHandedFrames.store(0);
  sHandedAt.store(SDL_GetPerformanceCounter());

  SDL_AudioSpec wanted;
  SDL_zero(wanted);
  wanted.freq = (int)rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = (Uint16)bufferFrames;
  wanted.callback = AudioTrampoline;
  SDL_AudioSpec obtained;
  // No changes allowed: SDL converts to whatever the hardware takes, the callback keeps this format.
  sDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (!sDevice) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
  }
  return 1;
}

void AudioStart() {
  if (sDevice) SDL_PauseAudioDevice(sDevice, 0);
}

void AudioClose() {
  if (!sDevice) return;
  SDL_CloseAudioDevice(sDevice);
  sDevice = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

uint64_t AudioPlayingFrame() {
  if (!sDevice) return 0;
  uint64_t handed, handedAt;
  uint32_t before, after;
  do {
    before = sSequence.load();
    handed = sHandedFrames.load();
    handedAt = sHandedAt.load();
    after = sSequence.load();
  } while ((before & 1) || before != after);

  // A second or more since the last hand-over means the device has long played everything (and keeps
  // the product below from overflowing).
  uint64_t ticks = SDL_GetPerformanceCounter() - handedAt, frequency = SDL_GetPerformanceFrequency();
  uint64_t elapsed = ticks >= frequency ? sLatencyFrames : ticks * sRate / frequency;
  uint64_t queued = elapsed >= sLatencyFrames ? 0 : sLatencyFrames - elapsed;
  return handed > queued ? handed - queued : 0;
}
