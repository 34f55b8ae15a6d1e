// The module header probe: the player's own checks of an XM or IT file before the sound engine sees it.
// Kept apart from the player so that tools can link the very same checks without the sound engine.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "music/music.h"
#include "support/misc.h"

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

MODULE_KIND ModuleKindOfName(const char *name) {
  size_t length = strlen(name);
  if (length < 3) return MODULE_UNSUPPORTED;
  if (strcasecmp(name + length - 3, ".xm") == 0) return MODULE_XM;
  if (strcasecmp(name + length - 3, ".it") == 0) return MODULE_IT;
  return MODULE_UNSUPPORTED;
}
