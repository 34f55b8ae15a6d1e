#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "archive/archive.h"
#include "huffman_oracle.h"

namespace {

// Packs the data, checking the size that was announced and that one byte less of room is refused.
Bytes Encode(const Bytes &data) {
  uint64_t size = HuffEncodedSize(data.data(), (uint32_t)data.size());
  Bytes block(size);
  EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)size), size);
  if (size > 1024) {
    EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)size - 1), 0u);
  }
  return block;
}

// Decodes into a buffer with guard bytes on both sides, checks against the reference and hands back what
// was written.
Bytes ExpectSameAsOracle(const Bytes &block, uint32_t outputSize) {
  Bytes expected;
  uint32_t expectedLength = OracleDecode(block, outputSize, &expected);
  Bytes guarded(outputSize + 32, 0xA5), guard(16, 0xA5);
  uint32_t length = HuffDecode(block.data(), (uint32_t)block.size(), guarded.data() + 16, outputSize);
  EXPECT_EQ(length, expectedLength);
  Bytes written(guarded.begin() + 16, guarded.begin() + 16 + std::min(length, outputSize));
  EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()) &&
              std::equal(guard.begin(), guard.end(), guarded.begin()) &&
              std::equal(guard.begin(), guard.end(), guarded.end() - 16));
  return written;
}

Bytes Counts(std::initializer_list<std::pair<int, uint32_t>> counts) {
  Bytes block(1024, 0);
  for (auto [symbol, count] : counts)
    for (int i = 0; i < 4; i++) block[4 * symbol + i] = (unsigned char)(count >> (8 * i));
  return block;
}

TEST(Huffman, ExamplesOfTheTieRuleTheBitOrderAndTheEndSymbol) {
  // All-zero counts: the end symbol alone, decoded without reading a bit.
  EXPECT_EQ(HuffDecode(nullptr, 0, nullptr, 0), 0u);
  Bytes block = Counts({});
  EXPECT_EQ(Encode({}), block);
  block.push_back(0xFF);
  unsigned char out[8];
  EXPECT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out, 4), 0u);

  // One byte value: a 1 bit per byte, then a 0 for the end.
  Bytes expected = Counts({{0x41, 1000}});
  expected.insert(expected.end(), 125, 0xFF);
  expected.push_back(0x00);
  EXPECT_EQ(Encode(Bytes(1000, 0x41)), expected);
  EXPECT_EQ(ExpectSameAsOracle(expected, 1000), Bytes(1000, 0x41));

  // 0x10 = 0, END = 10, 0x20 = 11: the first merge took END and 0x20, the two highest equal-weight nodes.
  expected = Counts({{0x10, 1}, {0x20, 1}});
  expected.push_back(0x0E);  // 0 11 10, least significant bit first
  EXPECT_EQ(Encode({0x10, 0x20}), expected);
  expected.back() = 0x01;  // a first bit of 1 then 0: the end symbol at once
  EXPECT_EQ(HuffDecode(expected.data(), (uint32_t)expected.size(), out, 8), 0u);
}

TEST(Huffman, OverrunStopsAtTheBufferEndAndReportsOneMore) {
  // 0 11 then zeros forever: 0x10 0x20 and then 0x10 until the buffer is full.
  Bytes block = Counts({{0x10, 1}, {0x20, 1}});
  block.push_back(0x06);
  EXPECT_EQ(ExpectSameAsOracle(block, 5), Bytes({0x10, 0x20, 0x10, 0x10, 0x10}));
  EXPECT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), Bytes(5).data(), 5), 6u);

  Bytes data(5000);
  for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)("tunemill "[i % 9] + i % 3);
  Bytes packed = Encode(data);
  for (uint32_t size : {0u, 1u, 4999u}) ExpectSameAsOracle(packed, size);
}

TEST(Huffman, RoundTripsAndMatchesTheOracleOnRandomDeepDamagedAndWrappingBlocks) {
  std::mt19937 random(1234);
  for (int round = 0; round <= 300; round++) {
    // Skewed alphabets of every width give both short codes and codes far longer than the table; the last
    // round's Fibonacci-like counts build a tree about 20 levels deep.
    uint32_t length = random() % (round < 150 ? 300 : 10000);
    int width = 1 + random() % 256;
    Bytes data(length);
    for (auto &b : data) b = (unsigned char)(random() % width * (random() % 4 ? 1 : random() % 7));
    if (round == 300) {
      data.clear();
      for (uint32_t s = 0, a = 1, b = 1; s < 40; s++, b += a, a = b - a)
        data.insert(data.end(), std::min(a, 3000u), (unsigned char)s);
      std::shuffle(data.begin(), data.end(), std::mt19937(5));
      length = (uint32_t)data.size();
    }
    Bytes block = Encode(data);
    ASSERT_EQ(ExpectSameAsOracle(block, length), data);
    ASSERT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), Bytes(length).data(), length), length);

    // Damage: flipped stream bits, a cut block, odd output sizes.
    Bytes damaged = block;
    for (int flips = 1 + random() % 4; flips--;) damaged[random() % damaged.size()] ^= (unsigned char)(1 << random() % 8);
    damaged.resize(random() % 3 ? damaged.size() : random() % (damaged.size() + 1));
    ExpectSameAsOracle(damaged, random() % (length + 64));
    // Huge counts make the 32-bit weights wrap.
    Bytes wild = Counts({{1, 0xFFFFFFFF}, {2, 0x80000000}, {3, 0x7FFFFFFF}, {200, (uint32_t)random()}, {255, 2}});
    for (int i = 0; i < 300; i++) wild.push_back((unsigned char)random());
    ExpectSameAsOracle(wild, random() % 2000);
  }
}

}  // namespace
