// The music player: plays one XM or IT module at a time, taken from the resource archive by its track-list
// name, and answers what the rest of the program asks about the music every frame. Everything here runs on
// the main thread, except MusicEndSync, which the sound engine calls on the audio thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------------------------------------------------
// Module header probe

// Order count of the IT module in `file` (open for binary reading, any position), from its first 48
// bytes; the file is left after them. A short file or a signature other than "IMPM" is fatal.
uint32_t ProbeITHeader(FILE *file);
// Order count (song length) of the XM module in `file`, from its first 336 bytes; the file is left after
// them. A short file, a version other than 0x0104 or a header size other than 276 is fatal.
uint32_t ProbeXMHeader(FILE *file);

// The checks behind the probes, on bytes already read: `size` bytes at `header` (fewer than the probe
// reads means the file was that short). Return the failure message, or null with *orders filled. Never end
// the process, so the fuzz harness can call them.
const char *CheckITHeader(const unsigned char *header, size_t size, uint32_t *orders);
const char *CheckXMHeader(const unsigned char *header, size_t size, uint32_t *orders);

// Which probe the player runs for a track-list name: the last three characters, ".xm" or ".it" in any case,
// decide; anything else is unsupported.
enum MODULE_KIND { MODULE_UNSUPPORTED, MODULE_XM, MODULE_IT };
MODULE_KIND ModuleKindOfName(const char *name);

// ---------------------------------------------------------------------------------------------------------
// Player

// Sound engine load flags the player always uses: volume ramping, played once (see music/sound.h).
const uint32_t kMusicLoadFlags = 6;

extern uint32_t gMusicHandle;            // the loaded music; 0 before the first load
extern uint32_t gMusicPlaying;           // 1 between a successful MusicInit and MusicShutdown
extern int32_t gMusicOrders;             // order count of the loaded module's header; -1 after shutdown
extern std::atomic<uint32_t> gMusicEnded;  // set by MusicEndSync on the audio thread, cleared before a load

// Opens the sound output and starts the module `name` (a track-list name) from its beginning at full
// volume. Failures are fatal.
void MusicInit(const char *name);
// Stops and frees the current module and starts `name` from its beginning at full volume. Failures are
// fatal.
void MusicPlay(const char *name);
// Silences and closes the sound output.
void MusicShutdown();

// 1 once the current song has ended, until the next MusicInit or MusicPlay. Reads the flag only.
uint32_t MusicHasEnded();

// The queries answer 0 while no music plays (before MusicInit, after MusicShutdown). Levels are those of
// the left and right output channels, peaks over the last 20 ms of what is heard, before the volume.
float MusicGetLevel();       // (left + right) / 256, 0 to 1
float MusicGetRightLevel();  // right / 128, 0 to 1
float MusicGetLeftLevel();   // left / 128, 0 to 1
// Fills `buffer` with the latest audible 16-bit stereo samples, `length` bytes; returns the bytes written.
int32_t MusicGetData(void *buffer, uint32_t length);
uint32_t MusicGetPosition();  // order in the low 16 bits, row in the high 16 bits
float MusicGetProgress();     // order / gMusicOrders, 0 to 1
float MusicGetOrderStep();    // 1 / (gMusicOrders - 1): the fraction of one order in MusicSeek's terms

// Jumps to the order `fraction` (0 to 1) of the way through the song, row 0, unless the engine is in that
// order already (the order it renders next, which a jump sets at once). 1.0 asks for the order one past the last, which ends the song (and the frame loop moves
// on to the next track).
void MusicSeek(float fraction);
// Output volume, 0 to 1 (clamped); works whether or not music plays.
void MusicSetVolume(float volume);

// The engine's end-of-music callback: sets gMusicEnded. Runs on the audio thread.
void MusicEndSync(uint32_t sync, uint32_t channel, uint32_t data, uint32_t user);
