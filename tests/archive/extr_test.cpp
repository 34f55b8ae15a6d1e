#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

// Archives are laid out here byte by byte, independently of the writer in the library.
std::string LE32(uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; }

std::string Header(const std::string &name, uint32_t stored, uint32_t unpacked, uint32_t packed,
                   uint32_t magic = 0x666) {
  std::string field = name;
  field.resize(256, '\0');
  return LE32(magic) + field + "R" + LE32(stored) + LE32(unpacked) + LE32(packed);
}

std::string Stored(const std::string &name, const std::string &data) {
  return Header(name, (uint32_t)data.size(), 0xDEAD, 0) + data;
}

std::string Packed(const std::string &name, const std::string &data, int64_t sizeError = 0) {
  const unsigned char *bytes = (const unsigned char *)data.data();
  std::string block((size_t)HuffEncodedSize(bytes, (uint32_t)data.size()), '\0');
  HuffEncode(bytes, (uint32_t)data.size(), (unsigned char *)block.data(), (uint32_t)block.size());
  return Header(name, (uint32_t)block.size(), (uint32_t)(data.size() + sizeError), 7) + block;
}

// Opens the archive in a child process (the open flag never clears) and runs `body` there.
ChildResult WithArchive(const std::string &archive, const std::function<void()> &body) {
  WriteWholeFile("tunemill.dat", archive);
  return RunChild([&] {
    OpenResource();
    body();
  });
}

// The report names "extr", a line number and the message.
void ExpectFatal(const ChildResult &child, const std::string &message) {
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: " + message + "\n");
  const std::string head = "\n PROGRAM: -- ERROR: at extr ";
  size_t end = child.out.rfind(head, 0) == 0 ? child.out.find_first_not_of("0123456789", head.size()) : 0;
  EXPECT_TRUE(end > head.size() && end != std::string::npos && child.out.substr(end) == " : " + message + " ")
      << child.out;
}

std::string ExtractText(const char *name) {
  char *path = ExtractFile(name);
  std::string text = std::string(path) + "=" + ReadWholeFile(path) + ";";
  ReleaseFile(path);
  return text;
}

TEST(Extract, BeforeOpeningTheNameItselfIsHandedBack) {
  ScopedTempDir dir;
  WriteWholeFile("loose.txt", "on disk");
  int64_t before = AllocTotal();
  EXPECT_EQ(ExtractText("loose.txt"), "loose.txt=on disk;");
  EXPECT_EQ(ReadWholeFile("loose.txt"), "on disk");
  EXPECT_EQ(AllocTotal(), before);
}

TEST(Extract, NamesMatchIgnoringCaseAndSlashKindOnly) {
  char entry[256] = "data\\mods.dat";
  for (const char *request : {"data/mods.dat", "DATA\\MODS.DAT", "Data/Mods.Dat"})
    EXPECT_TRUE(ResourceNamesMatch(request, entry)) << request;
  for (const char *request : {"data/mods.da", "data/mods.dat2", "data/mods.dat ", "./data/mods.dat", "data|mods.dat"})
    EXPECT_FALSE(ResourceNamesMatch(request, entry)) << request;
  memset(entry, 'a', sizeof entry);  // all 256 bytes used, no terminator
  EXPECT_TRUE(ResourceNamesMatch(std::string(256, 'A').c_str(), entry));
  EXPECT_FALSE(ResourceNamesMatch(std::string(257, 'A').c_str(), entry));
}

TEST(Extract, FirstMatchWinsFilesAreNumberedOnAndReleasedAndNothingLeaks) {
  ScopedTempDir dir;
  std::string text(3000, 'x');
  for (size_t i = 0; i < text.size(); i++) text[i] = "tunemill disk "[i % 14];
  std::string archive = Stored("data\\mods.dat", "first") + Stored("DATA/MODS.DAT", "second") +
                        Stored("empty", "") + Packed("text", text) + Packed("nothing", "");
  ChildResult child = WithArchive(archive, [] {
    ReleaseFile(ExtractFile("data/mods.dat"));
    for (const char *name : {"DATA\\MODS.DAT", "Data/Mods.Dat", "EMPTY", "nothing"})
      printf("%s", ExtractText(name).c_str());
    char *packed = ExtractFile("text");
    printf("%s:%zu:", packed, ReadWholeFile(packed).size());
    ReleaseFile(packed);
    printf("%d%d", FileExists("_#q_0.t$p"), FileExists("_#q_5.t$p"));
    CloseResource();
    printf(":%p:%lld", (void *)gResourceList, (long long)AllocTotal());
  });
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  EXPECT_EQ(child.out, "_#q_1.t$p=first;_#q_2.t$p=first;_#q_3.t$p=;_#q_4.t$p=;_#q_5.t$p:3000:00:(nil):0");
  EXPECT_EQ(ReadWholeFile("tunemill.dat"), archive);
}

TEST(Extract, EveryFailureIsFatalWithItsMessage) {
  const std::string kExtract = "Cannot extact files from resource !\n[write/rights error] !";
  const std::string good = Stored("a", "abc") + Packed("p", std::string(5000, 'q'));
  struct Case {
    std::string archive, message;
    std::function<void()> body;
  };
  auto extract = [](const char *name) { return [name] { ExtractFile(name); }; };
  std::vector<Case> cases = {
      {"", "Read error !", nullptr},
      {good.substr(0, good.size() - 1), "Read error !", nullptr},
      {good + std::string(272, '\0'), "Read error !", nullptr},
      {good + Header("b", 0, 0, 0, 0x667), "Resource format error !", nullptr},
      {good, "File not in resource !\n[data/mods.da]", extract("data/mods.da")},
      {Packed("p", "abcdef", 1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", -1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", 0xFFFFFF00), "HUFF decompresion error !", extract("p")},
      {good, kExtract, [] { mkdir("_#q_0.t$p", 0700), ExtractFile("a"); }},
      {good, "Cannot open resource file !", [] { unlink("tunemill.dat"), ExtractFile("a"); }},
      {good, "File not in resource !\n[a]", [] { CloseResource(), ExtractFile("a"); }},
      {good, kExtract, [] { truncate("tunemill.dat", 275), ExtractFile("a"); }},
      {good, kExtract, [] { truncate("tunemill.dat", 276 + 273 + 500), ExtractFile("p"); }},
      {Stored("big", std::string(100000, 'b')), kExtract, [] {
         signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of killing the process
         struct rlimit limit = {50000, 50000};
         setrlimit(RLIMIT_FSIZE, &limit);
         ExtractFile("big");
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message + " / archive of " + std::to_string(c.archive.size()) + " bytes");
    ScopedTempDir dir;
    ExpectFatal(WithArchive(c.archive, [&] { if (c.body) c.body(); }), c.message);
  }
  ScopedTempDir dir;
  ExpectFatal(RunChild(OpenResource), "Cannot open resource file !");
  mkdir("tunemill.dat", 0700);
  ExpectFatal(RunChild(OpenResource), "Cannot open resource file !");
}

TEST(Extract, TemporaryFilesReplaceLinksInsteadOfWritingThroughThem) {
  ScopedTempDir dir;
  WriteWholeFile("victim", "keep me");
  symlink("victim", "_#q_0.t$p");
  symlink("nowhere", "_#q_1.t$p");
  WriteWholeFile("other", "stale");
  link("other", "_#q_2.t$p");
  ChildResult child = WithArchive(Stored("a", "new"), [] {
    for (int i = 0; i < 3; i++) ExtractFile("a");
  });
  EXPECT_EQ(child.exitCode, 99);
  EXPECT_EQ(ReadWholeFile("victim"), "keep me");
  EXPECT_FALSE(FileExists("nowhere"));
  EXPECT_EQ(ReadWholeFile("other"), "stale");
  for (const char *name : {"_#q_0.t$p", "_#q_1.t$p", "_#q_2.t$p"}) {
    struct stat info;
    ASSERT_EQ(lstat(name, &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
    EXPECT_EQ(ReadWholeFile(name), "new");
  }
}

TEST(Extract, MembersBeyondFourGiBAreFound) {
  ScopedTempDir dir;
  // A sparse member of 4 GiB - 1 bytes puts the next one past every 32-bit offset.
  std::string head = Header("hole", 0xFFFFFFFF, 0, 0);
  WriteWholeFile("tunemill.dat", head);
  ASSERT_EQ(truncate("tunemill.dat", (off_t)head.size() + 0xFFFFFFFFll), 0);
  std::ofstream("tunemill.dat", std::ios::app | std::ios::binary) << Stored("far", "away");
  ChildResult child = RunChild([] { OpenResource(), printf("%s", ExtractText("far").c_str()); });
  EXPECT_EQ(child.out, "_#q_0.t$p=away;");
}

}  // namespace
