#include <cstdio>
#include <cstring>
#include <strings.h>

#include "archive/archive.h"
#include "music/music.h"
#include "music/sound.h"
#include "support/misc.h"

// =========================================================================================================
// [SECTION] Module header probe

static uint32_t ReadU16(const unsigned char *bytes) { return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8; }

static uint32_t ReadU32(const unsigned char *bytes) {
  return ReadU16(bytes) | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

static const size_t kITHeaderBytes = 48;
static const size_t kXMFirstBlock = 60, kXMSecondBlock = 276;
static const uint32_t kITSignature = 0x4D504D49;  // "IMPM"
static const uint32_t kXMVersion = 0x0104;
static const uint32_t kXMHeaderSize = 276;

const char *CheckITHeader(const unsigned char *header, size_t size, uint32_t *orders) {
  if (size < kITHeaderBytes) return "Cannot parse IT file ! [Read error]";
  if (ReadU32(header) != kITSignature) return "Cannot parse IT file ! [Bad format]";
  *orders = ReadU16(header + 32);
  return nullptr;
}

const char *CheckXMHeader(const unsigned char *header, size_t size, uint32_t *orders) {
  if (size < kXMFirstBlock) return "Cannot parse XM file ! [Read error]";
  if (ReadU16(header + 58) != kXMVersion) return "Cannot parse XM file ! [Bad version]";
  if (size < kXMFirstBlock + kXMSecondBlock) return "Cannot parse XM file ! [Read error]";
  if (ReadU32(header + 60) != kXMHeaderSize) return "Cannot parse XM file ! [Bad header]";
  *orders = ReadU16(header + 64);
  return nullptr;
}

uint32_t ProbeITHeader(FILE *file) {
  unsigned char header[kITHeaderBytes];
  fseek(file, 0, SEEK_SET);
  size_t size = fread(header, 1, kITHeaderBytes, file);
  uint32_t orders = 0;
  const char *failure = CheckITHeader(header, size, &orders);
  if (failure) FatalError(__LINE__, "xm_play", failure);
  return orders;
}

uint32_t ProbeXMHeader(FILE *file) {
  unsigned char header[kXMFirstBlock + kXMSecondBlock];
  fseek(file, 0, SEEK_SET);
  size_t size = fread(header, 1, kXMFirstBlock, file);
  // The second block is read whatever the version says; a bad version fails before its size matters.
  if (size == kXMFirstBlock) size += fread(header + kXMFirstBlock, 1, kXMSecondBlock, file);
  uint32_t orders = 0;
  const char *failure = CheckXMHeader(header, size, &orders);
  if (failure) FatalError(__LINE__, "xm_play", failure);
  return orders;
}

// =========================================================================================================
// [SECTION] Player

uint32_t gMusicHandle = 0;
uint32_t gMusicPlaying = 0;
int32_t gMusicOrders = 0;
std::atomic<uint32_t> gMusicEnded{0};

void MusicEndSync(uint32_t, uint32_t, uint32_t, uint32_t) { gMusicEnded.store(1); }

static bool NameEndsWith(const char *name, const char *extension) {
  size_t length = strlen(name);
  return length >= 3 && strcasecmp(name + length - 3, extension) == 0;
}

static void LoadMusic(const char *name) {
  char *path = ExtractFile(name);
  FILE *file = fopen(path, "rb");
  if (!file) {
    char message[512];
    snprintf(message, sizeof message, "Cannot open [%s] msx file !", name);
    FatalError(__LINE__, "xm_play", message);
  }
  if (NameEndsWith(name, ".xm"))
    gMusicOrders = (int32_t)ProbeXMHeader(file);
  else if (NameEndsWith(name, ".it"))
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
