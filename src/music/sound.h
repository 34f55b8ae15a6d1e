// Sound engine: plays one tracker module at a time, decoded by libopenmpt, through the audio device of
// src/platform/audio.h (44,100 Hz, stereo, signed 16-bit, a device buffer of 1024 frames). The music player
// (xm_play) is its only caller in the program; tests and benchmarks drive it without a device.
//
// Threads. Every function here is for the main thread except SoundMixOutput, which the audio thread (or,
// without a device, the owner) calls, and the end-of-music callbacks, which run on that same thread. A
// module is read and parsed before the engine's lock is taken and swapped in under it; the lock is only
// ever held for a few pointer and flag changes, a jump inside the song, or the rendering of one chunk.
//
// What the listener hears now. Output is rendered in chunks of kSoundChunkFrames frames; each chunk's
// samples (before the output volume), first frame, order/row and peaks go into a history. The queries
// (level, data, position) look the history up at the frame the device plays now, so they describe the sound
// leaving the speakers, not the block being rendered ahead of it. A play, stop or jump takes effect at the
// next chunk, so up to one chunk of the sound before it is still handed out.
#pragma once

#include <cstddef>
#include <cstdint>

// The interface level the player was written against, returned by SoundGetVersion.
const uint32_t kSoundVersion = 0x00080000;

const uint32_t kSoundDeviceFrames = 1024;  // device buffer
const uint32_t kSoundChunkFrames = 128;    // rendering step, and the resolution of position and levels
const uint32_t kSoundLevelMs = 20;         // levels are the peaks over this much of the latest output
const uint32_t kSoundMaxDataBytes = 32768; // most sample data one SoundGetData call returns

// Devices for SoundInit.
const int32_t SOUND_DEVICE_DEFAULT = -1;  // the system's default output
const int32_t SOUND_DEVICE_NONE = 0;      // no output: the owner pulls the sound with SoundMixOutput

// Load flags (SoundLoadMusicFile/Memory). Other bits are ignored. The player loads with 6: ramped and
// played once, which is what a music disk wants.
const uint32_t SOUND_MUSIC_RAMP = 2;  // volume ramping: no clicks where notes start, stop or jump in
                                      // volume (libopenmpt's default ramping; without the bit, none)
const uint32_t SOUND_MUSIC_ONCE = 4;  // the song plays once and ends (no repeat, no fade-out); without the
                                      // bit it repeats from its restart position forever and never ends

// Called once on the audio thread when a playing music reaches its end: `sync` is the handle
// SoundSetEndSync gave, `music` the music's handle, `data` 0, `user` the value given to SoundSetEndSync.
typedef void (*SOUND_SYNC_PROC)(uint32_t sync, uint32_t music, uint32_t data, uint32_t user);

uint32_t SoundGetVersion();

// Opens `device` (SOUND_DEVICE_DEFAULT or SOUND_DEVICE_NONE) at `rate` frames per second. Returns 1, or 0
// when the engine is already initialised, the device number is unknown, or no audio device can be opened.
int SoundInit(int32_t device, uint32_t rate);
// Lets the output run; until then the engine renders silence and no music advances. Returns 0 when not
// initialised.
int SoundStart();
// Closes the device and frees the music; every handle stops answering. Returns 0 when not initialised.
int SoundFree();

// Loads a whole XM or IT module; the file is read completely during the call, so the caller may delete it
// at once. The engine holds one music at a time: a load frees the music loaded before it (whose handle
// stops answering). The new music is stopped until SoundPlayMusic. Returns its handle (never 0 and never
// reused), or 0 when the engine is not initialised or the file cannot be read or decoded.
uint32_t SoundLoadMusicFile(const char *path, uint32_t flags);
uint32_t SoundLoadMusicMemory(const void *data, size_t size, uint32_t flags);
// Stops the music if it plays and frees it. Returns 0 for an unknown handle.
int SoundFreeMusic(uint32_t music);

// Registers `proc` to be called when the music ends, by itself or by SoundSetPosition past its last order;
// a music has one such callback, a second call replaces the first. Returns the sync handle, 0 for an
// unknown handle or a null `proc`.
uint32_t SoundSetEndSync(uint32_t music, SOUND_SYNC_PROC proc, uint32_t user);

// Plays the music from `position` (order in the low 16 bits, row in the high 16 bits) with the song's state
// at that point, the load flags kept. Returns 0 for an unknown handle.
int SoundPlayMusic(uint32_t music, uint32_t position);
// Stops the music where it is; the output is silent until SoundPlayMusic. Returns 0 for an unknown handle.
int SoundStopChannel(uint32_t music);
// Jumps to `position` (order low, row high), keeping sounding samples sounding. An order at or past the
// song's order count ends the song: the end callback fires and the output falls silent, exactly as at the
// song's natural end. Returns 0 for an unknown handle.
int SoundSetPosition(uint32_t music, uint32_t position);

// The queries answer for the output heard now; `music` must be the loaded one. Levels and data are those of
// the sound heard, whatever music it came from.
// Peaks of the left (low 16 bits) and right (high 16 bits) output channels over the last kSoundLevelMs,
// each 0 to 128 (a full-scale sample reads 128), before the output volume; 0 for an unknown handle.
uint32_t SoundGetLevel(uint32_t music);
// Copies the latest audible output, interleaved stereo signed 16-bit frames before the output volume, the
// newest frame last: `length` bytes rounded down to whole frames, at most kSoundMaxDataBytes. Returns the
// bytes written, or -1 for an unknown handle.
int32_t SoundGetData(uint32_t music, void *buffer, uint32_t length);
// Order (low 16 bits) and row (high 16 bits) of the output heard now; 0 (the start) while what is heard
// still comes from the music loaded before; 0xFFFFFFFF for an unknown handle.
uint32_t SoundGetPosition(uint32_t music);
// Order and row, packed the same way, where the engine goes on rendering: ahead of what is heard by the
// device's buffering, and right after a jump already the jump's target (an order at or past the count
// when the jump ends the song). 0xFFFFFFFF for an unknown handle.
uint32_t SoundGetNextPosition(uint32_t music);

// Output volume 0 to 100, a gain on everything the engine puts out; 100 passes libopenmpt's samples bit for
// bit. Larger values count as 100. Kept whether or not the engine is initialised; SoundInit sets 100.
void SoundSetVolume(uint32_t volume);
uint32_t SoundGetVolume();

// Hands out the next `frames` frames into `samples` (interleaved stereo signed 16-bit), rendering and
// recording chunks as they are needed; libopenmpt is always asked for whole chunks, so the output does not
// depend on how many frames each call takes. The audio callback; with SOUND_DEVICE_NONE the owner calls it.
// End callbacks run inside, when the chunk holding the song's end is rendered.
void SoundMixOutput(int16_t *samples, uint32_t frames);
// SOUND_DEVICE_NONE only: how many of the frames mixed so far the owner still holds unheard (its own
// buffering). The queries then answer for the frame that many frames before the newest.
void SoundSetQueuedFrames(uint32_t frames);

// The longest time, in microseconds, that SoundMixOutput waited for the engine's lock since the previous
// call (or SoundInit). For benchmarks and diagnostics.
double SoundTakeLongestLockWait();
