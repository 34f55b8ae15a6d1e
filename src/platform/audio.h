// Audio output: one SDL audio device, fed by a callback that runs on SDL's audio thread. The sound engine
// (src/music/) is its only user; it renders, this file only moves samples to the device and keeps count.
#pragma once

#include <cstdint>

// Fills `frames` stereo frames of interleaved signed 16-bit samples at `samples`. Runs on the audio thread.
typedef void (*AUDIO_CALLBACK)(int16_t *samples, uint32_t frames, void *user);

// Opens the default output device: `rate` frames per second, stereo, signed 16-bit, a device buffer of
// `bufferFrames` frames. SDL converts when the hardware differs, so the callback always sees this format.
// The device starts paused. Returns 1 on success, 0 when no audio device can be opened (no driver, no
// device, or a device is already open). Main thread. SDL picks the driver from its own environment
// variables (SDL_AUDIODRIVER), which is how the tests choose the dummy or disk driver.
int AudioOpen(uint32_t rate, uint32_t bufferFrames, AUDIO_CALLBACK callback, void *user);

// Lets the device run: the callback is called from now on. Main thread.
void AudioStart();

// Stops and closes the device; once it returns the callback is never called again. Main thread.
void AudioClose();

// The frame the listener hears now, counted from the device's opening: the frames handed to the device
// minus those it still holds (estimated from the time since the last callback and a latency of two device
// buffers, the one just filled and the one playing). 0 while no device is open. Any thread, never waits.
uint64_t AudioPlayingFrame();
