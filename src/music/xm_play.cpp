// The music player over the sound engine. The header probe it runs lives in modprobe.cpp, where tools link it.
#include <cstdio>

#include "archive/archive.h"
#include "music/music.h"
#include "music/sound.h"
#include "support/misc.h"

// =========================================================================================================
// [SECTION] Player

uint32_t gMusicHandle = 0;
uint32_t gMusicPlaying = 0;
int32_t gMusicOrders = 0;
std::atomic<uint32_t> gMusicEnded{0};

void MusicEndSync(uint32_t, uint32_t, uint32_t, uint32_t) { gMusicEnded.store(1); }

static void LoadMusic(const char *name) {
  char *path = ExtractFile(name);
  FILE *file = fopen(path, "rb");
  if (!file) {
    char message[512];
    snprintf(message, sizeof message, "Cannot open [%s] msx file !", name);
    FatalError(__LINE__, "xm_play", message);
  }
  MODULE_KIND kind = ModuleKindOfName(name);
  if (kind == MODULE_XM)
    gMusicOrders = (int32_t)ProbeXMHeader(file);
  else if (kind == MODULE_IT)
    gMusicOrders = (int32_t)ProbeITHeader(file);
  else
    FatalError(__LINE__, "xm_play", "Unsupported filetype !(XM / IT)");
  fclose(file);

  gMusicHandle = SoundLoadMusicFile(path, kMusicLoadFlags);
  if (!gMusicHandle) FatalError(__LINE__, "xm_play", "Can't play the file - load error (BASS)!");
  ReleaseFile(path);
  SoundSetEndSync(gMusicHandle, MusicEndSync, 0);
}

void MusicInit(const char *name) {
  gMusicEnded.store(0);
  if (SoundGetVersion() != 0x00080000) FatalError(__LINE__, "xm_play", "BASS version 0.8 was not loaded !");
  if (!SoundInit(SOUND_DEVICE_DEFAULT, 44100)) FatalError(__LINE__, "xm_play", "BASS Init error !");
  LoadMusic(name);
  SoundStart();
  SoundPlayMusic(gMusicHandle, 0);
  SoundSetVolume(100);
  gMusicPlaying = 1;
}

void MusicPlay(const char *name) {
  gMusicEnded.store(0);
  SoundStopChannel(gMusicHandle);
  SoundFreeMusic(gMusicHandle);
  LoadMusic(name);
  SoundPlayMusic(gMusicHandle, 0);
  SoundSetVolume(100);
}

void MusicShutdown() {
  gMusicPlaying = 0;
  SoundSetVolume(0);
  SoundFree();
  gMusicOrders = -1;
}

uint32_t MusicHasEnded() { return gMusicEnded.load(); }

float MusicGetLevel() {
  if (!gMusicPlaying) return 0.0f;
  uint32_t level = SoundGetLevel(gMusicHandle);
  return (float)((level & 0xFFFF) + (level >> 16)) * 0.00390625f;
}

float MusicGetRightLevel() {
  if (!gMusicPlaying) return 0.0f;
  return (float)(SoundGetLevel(gMusicHandle) >> 16) * 0.0078125f;
}

float MusicGetLeftLevel() {
  if (!gMusicPlaying) return 0.0f;
  return (float)(SoundGetLevel(gMusicHandle) & 0xFFFF) * 0.0078125f;
}

int32_t MusicGetData(void *buffer, uint32_t length) {
  if (!gMusicPlaying) return 0;
  return SoundGetData(gMusicHandle, buffer, length);
}

uint32_t MusicGetPosition() {
  if (!gMusicPlaying) return 0;
  return SoundGetPosition(gMusicHandle);
}

float MusicGetProgress() {
  if (!gMusicPlaying) return 0.0f;
  float progress = (float)(SoundGetPosition(gMusicHandle) & 0xFFFF) / (float)gMusicOrders;
  if (progress < 0.0f) return 0.0f;
  if (!(progress <= 1.0f)) return 1.0f;
  return progress;
}

float MusicGetOrderStep() {
  if (!gMusicPlaying) return 0.0f;
  // A song of no orders has no step either (rather than a step of -1).
  if (gMusicOrders <= 1) return 0.0f;
  return 1.0f / (float)(gMusicOrders - 1);
}

void MusicSeek(float fraction) {
  if (!gMusicPlaying) return;
  if (!(fraction >= 0.0f)) fraction = 0.0f;
  if (fraction > 1.0f) fraction = 1.0f;
  uint32_t target = (uint32_t)(int32_t)((float)gMusicOrders * fraction);
  // Against the order the engine renders next, not the one heard now: that lags a jump by the output's
  // buffering, and a repeated seek (a held step button seeks every frame) would restart the order at row 0
  // again and again until the sound caught up.
  if (target == (SoundGetNextPosition(gMusicHandle) & 0xFFFF)) return;
  SoundSetPosition(gMusicHandle, target & 0xFFFF);
}

void MusicSetVolume(float volume) {
  if (!(volume >= 0.0f)) volume = 0.0f;
  if (volume > 1.0f) volume = 1.0f;
  SoundSetVolume((uint32_t)(volume * 100.0f));
}
