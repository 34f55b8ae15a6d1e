#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "archive/archive.h"
#include "huffman_oracle.h"

namespace {

Bytes Encode(const Bytes &data) {
  uint64_t size = HuffEncodedSize(data.data(), (uint32_t)data.size());
  Bytes block(size);
  EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)size), size);
  if (size > 1024) {
    EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)size - 1), 0u);
  }
  return block;
}

// Decodes into a buffer with guard bytes on both sides and checks against the reference.
void ExpectSameAsOracle(const Bytes &block, uint32_t outputSize) {
  Bytes expected;
  uint32_t expectedLength = OracleDecode(block, outputSize, &expected);
  Bytes guarded(outputSize + 32, 0xA5);
  uint32_t length = HuffDecode(block.data(), (uint32_t)block.size(), guarded.data() + 16, outputSize);
  ASSERT_EQ(length, expectedLength);
  uint32_t kept = length > outputSize ? outputSize : length;
  if (kept) {
    ASSERT_EQ(memcmp(guarded.data() + 16, expected.data(), kept), 0);
  }
  for (int i = 0; i < 16; i++) {
    ASSERT_EQ(guarded[i], 0xA5);
    ASSERT_EQ(guarded[16 + outputSize + i], 0xA5);
  }
}

Bytes Counts(std::initializer_list<std::pair<int, uint32_t>> counts) {
  Bytes block(1024, 0);
  for (auto [symbol, count] : counts)
    for (int i = 0; i < 4; i++) block[4 * symbol + i] = (unsigned char)(count >> (8 * i));
  return block;
}

TEST(Huffman, AllZeroCountsDecodeToNothingWithoutAnyBit) {
  EXPECT_EQ(HuffDecode(nullptr, 0, nullptr, 0), 0u);
  Bytes block = Counts({});
  block.push_back(0xFF);
  unsigned char out[4];
  EXPECT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out, 4), 0u);
  EXPECT_EQ(Encode({}), Counts({}));
}

TEST(Huffman, OneByteValueIsOneBitsThenAZeroForTheEnd) {
  Bytes block = Encode(Bytes(1000, 0x41));
  Bytes expected = Counts({{0x41, 1000}});
  expected.insert(expected.end(), 125, 0xFF);
  expected.push_back(0x00);
  EXPECT_EQ(block, expected);
  Bytes out(1000);
  EXPECT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out.data(), 1000), 1000u);
  EXPECT_EQ(out, Bytes(1000, 0x41));
}

TEST(Huffman, TiesTakeTheHighestIndexAndBitsRunFromBitZero) {
  // 0x10 = 0, END = 10, 0x20 = 11: the first merge took END and 0x20, the two highest equal-weight nodes.
  Bytes block = Encode({0x10, 0x20});
  Bytes expected = Counts({{0x10, 1}, {0x20, 1}});
  expected.push_back(0x0E);  // 0 11 10, least significant bit first
  EXPECT_EQ(block, expected);
  expected.back() = 0x01;  // a first bit of 1 then 0: the end symbol at once
  unsigned char out[8];
  EXPECT_EQ(HuffDecode(expected.data(), (uint32_t)expected.size(), out, 8), 0u);
}

TEST(Huffman, OverrunStopsAtTheBufferEndAndReportsOneMore) {
  // 0 11 then zeros forever: 0x10 0x20 and then 0x10 until the buffer is full.
  Bytes block = Counts({{0x10, 1}, {0x20, 1}});
  block.push_back(0x06);
  ExpectSameAsOracle(block, 5);
  Bytes out(5);
  EXPECT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out.data(), 5), 6u);
  EXPECT_EQ(out, Bytes({0x10, 0x20, 0x10, 0x10, 0x10}));

  Bytes data(5000);
  for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)("tunemill "[i % 9] + i % 3);
  Bytes packed = Encode(data);
  for (uint32_t size : {0u, 1u, 4999u}) ExpectSameAsOracle(packed, size);
}

TEST(Huffman, RoundTripsAndMatchesTheOracleOnRandomAndDamagedBlocks) {
  std::mt19937 random(1234);
  for (int round = 0; round < 300; round++) {
    // Skewed alphabets of every width give both short codes and codes far longer than the table.
    uint32_t length = random() % (round < 150 ? 300 : 10000);
    int width = 1 + random() % 256;
    Bytes data(length);
    for (auto &b : data) b = (unsigned char)(random() % width * (random() % 4 ? 1 : random() % 7));
    Bytes block = Encode(data);
    Bytes out(length);
    ASSERT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out.data(), length), length);
    ASSERT_EQ(out, data);
    ExpectSameAsOracle(block, length);

    // Damage: flipped stream bits, a cut block, odd output sizes.
    Bytes damaged = block;
    for (int flips = 1 + random() % 4; flips--;) damaged[random() % damaged.size()] ^= (unsigned char)(1 << random() % 8);
    damaged.resize(random() % 3 ? damaged.size() : random() % (damaged.size() + 1));
    ExpectSameAsOracle(damaged, random() % (length + 64));
  }
}

TEST(Huffman, DeepTreesAndWrappingWeightsDecodeLikeTheOracle) {
  // Fibonacci-like counts build a tree about 20 levels deep; huge counts make the 32-bit weights wrap.
  Bytes data;
  uint32_t a = 1, b = 1;
  for (int s = 0; s < 40; s++, b += a, a = b - a) data.insert(data.end(), a > 3000 ? 3000 : a, (unsigned char)s);
  std::shuffle(data.begin(), data.end(), std::mt19937(5));
  Bytes block = Encode(data);
  Bytes out(data.size());
  ASSERT_EQ(HuffDecode(block.data(), (uint32_t)block.size(), out.data(), (uint32_t)out.size()), data.size());
  EXPECT_EQ(out, data);

  std::mt19937 random(99);
  for (int round = 0; round < 50; round++) {
    Bytes wild = Counts({{1, 0xFFFFFFFF}, {2, 0x80000000}, {3, 0x7FFFFFFF}, {200, random()}, {255, 2}});
    for (int i = 0; i < 300; i++) wild.push_back((unsigned char)random());
    ExpectSameAsOracle(wild, random() % 2000);
  }
}

}  // namespace
