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

std::string Packed(const std::string &name, const std::string &data, int64_t sizeError = 0) {
  const unsigned char *bytes = (const unsigned char *)data.data();
  std::string block((size_t)HuffEncodedSize(bytes, (uint32_t)data.size()), '\0');
  HuffEncode(bytes, (uint32_t)data.size(), (unsigned char *)block.data(), (uint32_t)block.size());
  return ArchiveMember(name, block, (uint32_t)(data.size() + sizeError), 7);
}

// Opens the archive in a child process (the open flag never clears) and runs `body` there.
ChildResult WithArchive(const std::string &archive, const std::function<void()> &body) {
  WriteWholeFile("tunemill.dat", archive);
  return RunChild([&] {
    OpenResource();
    body();
  });
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
  std::string archive = StoredMember("data\\mods.dat", "first") + StoredMember("DATA/MODS.DAT", "second") +
                        StoredMember("empty", "") + Packed("text", text) + Packed("nothing", "");
  ChildResult child = WithArchive(archive, [] {
    ReleaseFile(ExtractFile("data/mods.dat"));
    for (const char *name : {"DATA\\MODS.DAT", "Data/Mods.Dat", "EMPTY", "nothing"})
      printf("%s", ExtractText(name).c_str());
    char *packed = ExtractFile("text");
    printf("%s:%zu:", packed, ReadWholeFile(packed).size());
    ReleaseFile(packed);
    printf("%zu", TemporaryFilesLeft().size());
    CloseResource();
    printf(":%p:%lld", (void *)gResourceList, (long long)AllocTotal());
  });
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  EXPECT_EQ(child.out, "_#q_1.t$p=first;_#q_2.t$p=first;_#q_3.t$p=;_#q_4.t$p=;_#q_5.t$p:3000:0:(nil):0");
  EXPECT_EQ(ReadWholeFile("tunemill.dat"), archive);
}

TEST(Extract, EveryFailureIsFatalWithItsMessage) {
  const std::string kExtract = "Cannot extact files from resource !\n[write/rights error] !";
  const std::string good = StoredMember("a", "abc") + Packed("p", std::string(5000, 'q'));
  struct Case {
    std::string archive, message;
    std::function<void()> body;
  };
  auto extract = [](const char *name) { return [name] { ExtractFile(name); }; };
  const std::vector<Case> cases = {
      {"", "Read error !", nullptr},
      {good.substr(0, good.size() - 1), "Read error !", nullptr},
      {good + std::string(272, '\0'), "Read error !", nullptr},
      {good + ArchiveMember("b", "", 0, 0, 0x667), "Resource format error !", nullptr},
      {good, "File not in resource !\n[data/mods.da]", extract("data/mods.da")},
      {Packed("p", "abcdef", 1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", -1), "HUFF decompresion error !", extract("p")},
      {Packed("p", "abcdef", 0xFFFFFF00), "HUFF decompresion error !", extract("p")},
      {good, kExtract, [] { mkdir("_#q_0.t$p", 0700), ExtractFile("a"); }},
      {good, "Cannot open resource file !", [] { unlink("tunemill.dat"), ExtractFile("a"); }},
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
  for (const Case &c : cases) {
    ScopedTempDir dir;
    WriteWholeFile("tunemill.dat", c.archive);
    ExpectFatal(
        [&] {
          OpenResource();
          if (c.body) c.body();
        },
        "extr", c.message, -1, c.message + " / archive of " + std::to_string(c.archive.size()) + " bytes");
  }
  ScopedTempDir dir;
  ExpectFatal(OpenResource, "extr", "Cannot open resource file !");
  mkdir("tunemill.dat", 0700);
  ExpectFatal(OpenResource, "extr", "Cannot open resource file !", -1, "a folder");
}

TEST(Extract, TemporaryFilesReplaceLinksInsteadOfWritingThroughThem) {
  ScopedTempDir dir;
  WriteWholeFile("victim", "keep me");
  symlink("victim", "_#q_0.t$p");
  symlink("nowhere", "_#q_1.t$p");
  WriteWholeFile("other", "stale");
  link("other", "_#q_2.t$p");
  ChildResult child = WithArchive(StoredMember("a", "new"), [] {
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
  std::string head = ArchiveMember("hole", "").substr(0, 273);
  head.replace(261, 4, "\xFF\xFF\xFF\xFF");
  WriteWholeFile("tunemill.dat", head);
  ASSERT_EQ(truncate("tunemill.dat", (off_t)head.size() + 0xFFFFFFFFll), 0);
  std::ofstream("tunemill.dat", std::ios::app | std::ios::binary) << StoredMember("far", "away");
  ChildResult child = RunChild([] { OpenResource(), printf("%s", ExtractText("far").c_str()); });
  EXPECT_EQ(child.out, "_#q_0.t$p=away;");
}

}  // namespace
