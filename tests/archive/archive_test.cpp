// The archive: the Huffman codec against hand-made blocks and the reference walk, then extraction.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "archive/archive.h"
#include "huffman_oracle.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

// Packs the data, checking the size that was announced and that one byte less of room is refused.
Bytes Encode(const Bytes &data) {
  Bytes block(HuffEncodedSize(data.data(), (uint32_t)data.size()));
  EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)block.size() - 1), 0u);
  EXPECT_EQ(HuffEncode(data.data(), (uint32_t)data.size(), block.data(), (uint32_t)block.size()), block.size());
  return block;
}

// Decodes between 16-byte guards, holds length and bytes against the reference, returns what was written.
Bytes ExpectSameAsOracle(const Bytes &block, uint32_t outputSize) {
  Bytes expected, guarded(outputSize + 32, 0xA5);
  const uint32_t length = HuffDecode(block.data(), (uint32_t)block.size(), guarded.data() + 16, outputSize);
  EXPECT_EQ(length, OracleDecode(block, outputSize, &expected));
  const Bytes written(guarded.begin() + 16, guarded.begin() + 16 + std::min(length, outputSize));
  EXPECT_EQ(written, expected);
  guarded.erase(guarded.begin() + 16, guarded.end() - 16);
  EXPECT_EQ(guarded, Bytes(32, 0xA5));
  return written;
}

// A block by hand: the count table, then the stream.
Bytes Block(std::initializer_list<std::pair<int, uint32_t>> counts, const Bytes &stream = {}) {
  Bytes block(1024, 0);
  for (auto [symbol, count] : counts)
    for (int i = 0; i < 4; i++) block[4 * symbol + i] = (unsigned char)(count >> (8 * i));
  block.insert(block.end(), stream.begin(), stream.end());
  return block;
}

TEST(Huffman, ExamplesOfTheTieRuleTheBitOrderTheEndSymbolAndAnOverrun) {
  // All-zero counts: the end symbol alone, decoded without reading a bit.
  unsigned char out[8];
  EXPECT_EQ(HuffDecode(nullptr, 0, nullptr, 0), 0u);
  EXPECT_EQ(Encode({}), Block({}));
  EXPECT_EQ(HuffDecode(Block({}, {0xFF}).data(), 1025, out, 4), 0u);
  // One byte value: a 1 bit per byte, then a 0 for the end.
  Bytes ones(125, 0xFF);
  ones.push_back(0x00);
  EXPECT_EQ(Encode(Bytes(1000, 0x41)), Block({{0x41, 1000}}, ones));
  EXPECT_EQ(ExpectSameAsOracle(Block({{0x41, 1000}}, ones), 1000), Bytes(1000, 0x41));
  // 0x10 = 0, END = 10, 0x20 = 11: the first merge took END and 0x20, the two highest equal-weight nodes.
  EXPECT_EQ(Encode({0x10, 0x20}), Block({{0x10, 1}, {0x20, 1}}, {0x0E}));  // 0 11 10, lowest bit first
  // 0 11 then zeros forever: 0x10 0x20 and then 0x10 until the buffer is full, and one more reported.
  const Bytes endless = Block({{0x10, 1}, {0x20, 1}}, {0x06});
  EXPECT_EQ(ExpectSameAsOracle(endless, 5), Bytes({0x10, 0x20, 0x10, 0x10, 0x10}));
  EXPECT_EQ(HuffDecode(endless.data(), 1025, out, 5), 6u);
  EXPECT_EQ(HuffDecode(endless.data(), 1025, out, 0), 1u);
  // A first bit of 1 then 0: the end symbol at once.
  EXPECT_EQ(HuffDecode(Block({{0x10, 1}, {0x20, 1}}, {0x01}).data(), 1025, out, 8), 0u);
}

TEST(Huffman, RoundTripsAndMatchesTheOracleOnRandomDeepDamagedAndWrappingBlocks) {
  std::mt19937 random(1234);
  for (int round = 0; round <= 300; round++) {
    // Skewed alphabets of every width give both short codes and codes far longer than the table; the last
    // round's Fibonacci-like counts build a tree about 20 levels deep.
    Bytes data(round == 300 ? 0 : random() % (round < 150 ? 300 : 10000));
    const int width = 1 + random() % 256;
    for (auto &b : data) b = (unsigned char)(random() % width * (random() % 4 ? 1 : random() % 7));
    for (uint32_t s = 0, a = 1, b = 1; round == 300 && s < 40; s++, b += a, a = b - a)
      data.insert(data.end(), std::min(a, 3000u), (unsigned char)s);
    std::shuffle(data.begin(), data.end(), random);
    // With a byte of room to spare, a stream holding more than the data would show.
    const Bytes block = Encode(data);
    ASSERT_EQ(ExpectSameAsOracle(block, (uint32_t)data.size() + 1), data);

    // Damage: flipped stream bits (sometimes none), a cut block, odd output sizes, short buffers.
    Bytes damaged = block;
    for (int flips = random() % 5; flips--;) damaged[random() % damaged.size()] ^= (unsigned char)(1 << random() % 8);
    damaged.resize(random() % 3 ? damaged.size() : random() % (damaged.size() + 1));
    ExpectSameAsOracle(damaged, random() % (data.size() + 64));
    // Huge counts make the 32-bit weights wrap.
    Bytes wild = Block({{1, 0xFFFFFFFF}, {2, 0x80000000}, {3, 0x7FFFFFFF}, {200, (uint32_t)random()}, {255, 2}});
    for (int i = 0; i < 300; i++) wild.push_back((unsigned char)random());
    ExpectSameAsOracle(wild, random() % 2000);
  }
}

std::string Packed(const std::string &name, const std::string &data, int64_t sizeError = 0) {
  const Bytes block = Encode(Bytes(data.begin(), data.end()));
  return ArchiveMember(name, std::string(block.begin(), block.end()), (uint32_t)(data.size() + sizeError), 7);
}

void PrintExtracted(const char *name) {
  char *path = ExtractFile(name);
  printf("%s=%s;", path, ReadWholeFile(path).c_str());
  ReleaseFile(path);
}

// Names match ignoring case and the kind of slash only. Before the archive is open a name is handed back as
// it is; then the first match wins, files are numbered on, never written through a link already at their
// name, and all released.
TEST(Extract, NamesMatchFirstMatchWinsFilesAreNumberedOnReplaceLinksAndNothingIsLeft) {
  char entry[256] = "data\\mods.dat";
  for (const char *request : {"data/mods.da", "data/mods.dat2", "data/mods.dat ", "./data/mods.dat", "data|mods.dat"})
    EXPECT_FALSE(ResourceNamesMatch(request, entry)) << request;
  memset(entry, 'a', sizeof entry);  // all 256 bytes used, no terminator
  EXPECT_TRUE(ResourceNamesMatch(std::string(256, 'A').c_str(), entry));
  EXPECT_FALSE(ResourceNamesMatch(std::string(257, 'A').c_str(), entry));

  ScopedTempDir dir;
  const std::string text(3000, 'q');
  for (const char *name : {"loose.txt", "victim", "other"}) WriteWholeFile(name, name);
  symlink("victim", "_#q_0.t$p");
  symlink("nowhere", "_#q_1.t$p");
  link("other", "_#q_2.t$p");
  const std::string archive = StoredMember("data\\mods.dat", "first") + StoredMember("DATA/MODS.DAT", "second") +
                              StoredMember("empty", "") + Packed("text", text) + Packed("nothing", "");
  WriteWholeFile("tunemill.dat", archive);
  ChildResult child = RunChild([] {
    PrintExtracted("loose.txt");
    OpenResource();
    ReleaseFile(ExtractFile("data/mods.dat"));
    for (const char *name : {"DATA\\MODS.DAT", "Data/Mods.Dat", "EMPTY", "nothing", "text"}) PrintExtracted(name);
    CloseResource();
    printf("%zu:%p:%lld", TemporaryFilesLeft().size(), (void *)gResourceList, (long long)AllocTotal());
  });
  EXPECT_EQ(child.out, "loose.txt=loose.txt;_#q_1.t$p=first;_#q_2.t$p=first;_#q_3.t$p=;_#q_4.t$p=;_#q_5.t$p=" +
                           text + ";0:(nil):0") << child.err;
  EXPECT_EQ(ReadWholeFile("loose.txt") + ReadWholeFile("victim") + ReadWholeFile("other"), "loose.txtvictimother");
  EXPECT_FALSE(FileExists("nowhere"));
  EXPECT_EQ(ReadWholeFile("tunemill.dat"), archive);
}

TEST(Extract, EveryFailureIsFatalWithItsMessage) {
  const std::string kExtract = "Cannot extact files from resource !\n[write/rights error] !";
  const std::string good = StoredMember("a", "abc") + Packed("p", std::string(5000, 'q'));
  auto extract = [](const char *name) { return [name] { ExtractFile(name); }; };
  const struct {
    std::string archive, message;
    std::function<void()> body;
  } cases[] = {
      {"", "Read error !", [] {}},
      {good.substr(0, good.size() - 1), "Read error !", [] {}},
      {good + std::string(272, '\0'), "Read error !", [] {}},
      {good + ArchiveMember("b", "", 0, 0, 0x667), "Resource format error !", [] {}},
      {good, "File not in resource !\n[data/mods.da]", extract("data/mods.da")},
      {Packed("p", "abcdef", 1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", -1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", 0xFFFFFF00), "HUFF decompresion error !", extract("p")},
      {good, kExtract, [] { mkdir("_#q_0.t$p", 0700), ExtractFile("a"); }},
      {good, "Cannot open resource file !",
       [] { unlink("tunemill.dat"), mkdir("tunemill.dat", 0700), ExtractFile("a"); }},
      {good, "File not in resource !\n[a]", [] { CloseResource(), ExtractFile("a"); }},
      {good, kExtract, [] { truncate("tunemill.dat", 275), ExtractFile("a"); }},
      {good, kExtract, [] { truncate("tunemill.dat", 276 + 273 + 500), ExtractFile("p"); }},
      {StoredMember("big", std::string(100000, 'b')), kExtract, [] {
         signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing the process
         struct rlimit limit = {50000, 50000};
         setrlimit(RLIMIT_FSIZE, &limit);
         ExtractFile("big");
       }},
  };
  for (const auto &c : cases) {
    ScopedTempDir dir;
    WriteWholeFile("tunemill.dat", c.archive);
    ExpectFatal([&] { OpenResource(), c.body(); }, "extr", c.message, -1, "case " + std::to_string(&c - cases));
  }
  ScopedTempDir dir;
  ExpectFatal(OpenResource, "extr", "Cannot open resource file !");
}

TEST(Extract, MembersBeyondFourGiBAreFound) {
  ScopedTempDir dir;
  // A sparse member of 4 GiB - 1 bytes puts the next one past every 32-bit offset.
  std::string head = ArchiveMember("hole", "").substr(0, 273);
  head.replace(261, 4, "\xFF\xFF\xFF\xFF");
  WriteWholeFile("tunemill.dat", head);
  ASSERT_EQ(truncate("tunemill.dat", (off_t)head.size() + 0xFFFFFFFFll), 0);
  std::ofstream("tunemill.dat", std::ios::app | std::ios::binary) << StoredMember("far", "away");
  EXPECT_EQ(RunChild([] { OpenResource(), PrintExtracted("far"); }).out, "_#q_0.t$p=away;");
}

}  // namespace
