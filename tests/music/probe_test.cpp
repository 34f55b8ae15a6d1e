// Module header probe, on generated modules and on hand-made headers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "music/music.h"
#include "songs.h"
#include "testkit.h"

namespace {

// An XM header of `size` bytes (the whole one is 336).
std::vector<uint8_t> XMHeader(uint16_t version, uint32_t headerSize, uint16_t orders, size_t size = 336) {
  std::vector<uint8_t> bytes(336, 0);
  bytes[58] = (uint8_t)version, bytes[59] = (uint8_t)(version >> 8);
  for (int i = 0; i < 4; i++) bytes[60 + i] = (uint8_t)(headerSize >> (8 * i));
  bytes[64] = (uint8_t)orders, bytes[65] = (uint8_t)(orders >> 8);
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> ITHeader(const char *signature, uint16_t orders, size_t size = 48) {
  std::vector<uint8_t> bytes(48, 0);
  for (int i = 0; i < 4; i++) bytes[i] = (uint8_t)signature[i];
  bytes[32] = (uint8_t)orders, bytes[33] = (uint8_t)(orders >> 8);
  bytes.resize(size);
  return bytes;
}

// Writes the bytes to a file and probes it; the file is left at its end first, which the probe must undo.
uint32_t Probe(uint32_t (*probe)(FILE *), const std::vector<uint8_t> &bytes, long *after = nullptr) {
  WriteWholeFile("probe.bin", std::string(bytes.begin(), bytes.end()));
  FILE *file = fopen("probe.bin", "rb");
  fseek(file, 0, SEEK_END);
  uint32_t orders = probe(file);
  if (after) *after = ftell(file);
  fclose(file);
  return orders;
}

TEST(Probe, OrderCountsOfGeneratedModulesAndOfHeadersWithFreeNames) {
  ScopedTempDir dir;
  modwrite::Module song = songs::SquareSong(modwrite::Format::XM, 7, 16);
  long after = 0;
  EXPECT_EQ(Probe(ProbeXMHeader, modwrite::Write(song), &after), 7u);
  EXPECT_EQ(after, 336);
  song.format = modwrite::Format::IT;
  EXPECT_EQ(Probe(ProbeITHeader, modwrite::Write(song), &after), 7u);
  EXPECT_EQ(after, 48);

  std::vector<uint8_t> xm = XMHeader(0x0104, 276, 0xFFFF);
  for (int i = 0; i < 58; i++) xm[i] = (uint8_t)(i * 37);  // identification text and names are free
  EXPECT_EQ(Probe(ProbeXMHeader, xm), 65535u);
  EXPECT_EQ(Probe(ProbeITHeader, ITHeader("IMPM", 0)), 0u);
  EXPECT_EQ(Probe(ProbeITHeader, ITHeader("IMPM", 300)), 300u);
}

TEST(Probe, FailuresAreFatalWithTheirMessages) {
  ScopedTempDir dir;
  const struct {
    uint32_t (*probe)(FILE *);
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {
      {ProbeXMHeader, XMHeader(0x0103, 276, 1), "Cannot parse XM file ! [Bad version]"},
      {ProbeXMHeader, XMHeader(0x0104, 277, 1), "Cannot parse XM file ! [Bad header]"},
      {ProbeXMHeader, XMHeader(0x0104, 20, 1), "Cannot parse XM file ! [Bad header]"},
      {ProbeXMHeader, XMHeader(0x0104, 276, 1, 59), "Cannot parse XM file ! [Read error]"},
      {ProbeXMHeader, XMHeader(0x0104, 276, 1, 335), "Cannot parse XM file ! [Read error]"},
      // The version is checked before the rest of the header is missed.
      {ProbeXMHeader, XMHeader(0x0103, 276, 1, 60), "Cannot parse XM file ! [Bad version]"},
      {ProbeXMHeader, {}, "Cannot parse XM file ! [Read error]"},
      {ProbeITHeader, ITHeader("IMPM", 1, 47), "Cannot parse IT file ! [Read error]"},
      {ProbeITHeader, ITHeader("IMPm", 1), "Cannot parse IT file ! [Bad format]"},
      {ProbeITHeader, XMHeader(0x0104, 276, 1, 48), "Cannot parse IT file ! [Bad format]"},
  };
  for (const auto &c : cases) ExpectFatal([&] { Probe(c.probe, c.bytes); }, "xm_play", c.message);
}

}  // namespace
