#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

ChildResult Tmpack(std::vector<std::string> args) {
  static const std::string tool = TMPACK_PATH;
  args.insert(args.begin(), tool);
  return RunChild([&] {
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
  });
}

std::string Text(size_t size) {
  std::string text;
  std::mt19937 random(7);
  const char *words[] = {"tracker ", "module ", "the ", "pattern ", "sample ", "order\n", "row ", "a "};
  while (text.size() < size) text += words[random() % 8];
  return text.substr(0, size);
}

// Real files from the source tree and the system, and generated ones of the awkward kinds.
void MakeDisk(const std::string &root) {
  fs::create_directories(root + "/data/deep");
  fs::copy(SOURCE_DIR "/src/support", root + "/src", fs::copy_options::recursive);
  fs::copy_file("/bin/sh", root + "/sh");
  std::string noise(200000, '\0');
  std::mt19937 random(3);
  for (char &c : noise) c = (char)random();
  WriteWholeFile(root + "/data/noise.raw", noise);
  WriteWholeFile(root + "/data/mods.dat", Text(50000));
  WriteWholeFile(root + "/data/deep/Zero.bin", std::string(100000, '\0'));
  WriteWholeFile(root + "/data/empty", "");
  WriteWholeFile(root + "/one", "1");
}

std::vector<std::string> FilesUnder(const std::string &root) {
  std::vector<std::string> names;
  for (const auto &entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(root).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Tmpack, RoundTripsAFolderBitForBitInEveryMode) {
  ScopedTempDir dir;
  MakeDisk("disk");
  std::vector<std::string> names = FilesUnder("disk");
  for (const char *mode : {"--auto", "--store", "--huffman"}) {
    SCOPED_TRACE(mode);
    ChildResult made = Tmpack({"create", "tunemill.dat", mode, "disk"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(Tmpack({"verify", "tunemill.dat"}).exitCode, 0);
    // The program's own extraction reads what the tool wrote.
    ChildResult child = RunChild([&] {
      OpenResource();
      for (const std::string &name : names) {
        char *path = ExtractFile(name.c_str());
        if (ReadWholeFile(path) != ReadWholeFile("disk/" + name)) printf("%s differs\n", name.c_str());
        ReleaseFile(path);
      }
    });
    EXPECT_EQ(child.exitCode, 99);
    EXPECT_EQ(child.out, "");
    ChildResult out = Tmpack({"extract", "tunemill.dat", "DATA\\DEEP\\zero.BIN", "-o", "copy"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(ReadWholeFile("copy"), std::string(100000, '\0'));
    EXPECT_EQ(Tmpack({"extract", "tunemill.dat", "sh"}).out, ReadWholeFile("/bin/sh"));
  }
  // --auto packs text and leaves noise and empty files as they are; the list has every name in order.
  Tmpack({"create", "tunemill.dat", "disk"});
  std::string list = Tmpack({"list", "tunemill.dat"}).out;
  EXPECT_NE(list.find("stored  data/empty\n"), std::string::npos) << list;
  EXPECT_NE(list.find(" 200000       200000  stored  data/noise.raw\n"), std::string::npos) << list;
  EXPECT_NE(list.find("  50000  packed  data/mods.dat\n"), std::string::npos) << list;
  size_t at = 0;
  for (const std::string &name : names) {
    at = list.find("  " + name + "\n", at);
    ASSERT_NE(at, std::string::npos) << name;
  }
  EXPECT_NE(list.find(std::to_string(names.size()) + " entries"), std::string::npos);
}

TEST(Tmpack, SameFilesGiveSameBytesWhateverTheOrderTheyWereMadeIn) {
  ScopedTempDir dir;
  for (const char *folder : {"one", "two"}) fs::create_directories(std::string(folder) + "/b");
  for (const char *file : {"b/y", "a", "b/x", "c"}) WriteWholeFile(std::string("one/") + file, file);
  for (const char *file : {"c", "b/x", "a", "b/y"}) WriteWholeFile(std::string("two/") + file, file);
  WriteWholeFile("two/tunemill.dat", "an old archive inside the folder is left out");
  ASSERT_EQ(Tmpack({"create", "one.dat", "one"}).exitCode, 0);
  ASSERT_EQ(Tmpack({"create", "two/tunemill.dat", "two"}).exitCode, 0);
  std::string bytes = ReadWholeFile("one.dat");
  EXPECT_EQ(bytes, ReadWholeFile("two/tunemill.dat"));
  ASSERT_EQ(bytes.size(), 4 * 273 + 1 + 3 + 3 + 1u);
  EXPECT_EQ(bytes.substr(4, 4), std::string("a\0\0\0", 4));
  EXPECT_EQ(bytes.substr(273 + 1 + 4, 4), std::string("b/x\0", 4));
}

TEST(Tmpack, ReadsAnArchiveLaidOutByHand) {
  ScopedTempDir dir;
  std::string counts(1024, '\0');
  counts[4 * 0x10] = counts[4 * 0x20] = 1;
  std::string packed = counts + "\x0E";  // 0x10 0x20 and the end symbol
  std::string archive = std::string("\x66\x06\0\0", 4) + std::string("P\\Q", 3) + std::string(254, '\0') +
                        std::string("\x01\x04\0\0\x02\0\0\0\x01\0\0\0", 12) + packed;
  WriteWholeFile("hand.dat", archive);
  EXPECT_EQ(Tmpack({"extract", "hand.dat", "p/q"}).out, "\x10\x20");
  EXPECT_EQ(Tmpack({"verify", "hand.dat"}).exitCode, 0);
  EXPECT_NE(Tmpack({"list", "hand.dat"}).out.find("        1025            2  packed  P\\Q\n"), std::string::npos);
}

TEST(Tmpack, BadInputGetsAMessageAndAFailingExit) {
  ScopedTempDir dir;
  auto expectFailure = [](std::vector<std::string> args, const std::string &message, int code = 1) {
    ChildResult result = Tmpack(args);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, code) << args[0];
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
  };
  WriteWholeFile("keep.dat", "previous");
  expectFailure({"create", "keep.dat", "missing"}, "missing: no such file or folder");
  fs::create_directories("empty");
  expectFailure({"create", "keep.dat", "empty"}, "nothing to pack");
  fs::create_directories("long/" + std::string(200, 'd'));
  WriteWholeFile("long/" + std::string(200, 'd') + "/" + std::string(60, 'f'), "x");
  expectFailure({"create", "keep.dat", "long"}, "entry name longer than 255 bytes");
  fs::create_directories("twice");
  WriteWholeFile("twice/Song.xm", "1");
  WriteWholeFile("twice/song.XM", "2");
  expectFailure({"create", "keep.dat", "twice"}, "song.XM: a second entry of that name");
  fs::create_directories("huge");
  WriteWholeFile("huge/big", "");
  fs::resize_file("huge/big", 0x100000000ull);  // sparse, 4 GiB
  expectFailure({"create", "keep.dat", "huge"}, "larger than an entry can be");
  EXPECT_EQ(ReadWholeFile("keep.dat"), "previous");
  expectFailure({"create", "keep.dat", "--fast", "one"}, "unknown option --fast", 2);
  expectFailure({"list"}, "usage:", 2);
  EXPECT_EQ(Tmpack({"--help"}).exitCode, 0);

  WriteWholeFile("a.txt", Text(4000));
  ASSERT_EQ(Tmpack({"create", "good.dat", "a.txt"}).exitCode, 0);
  std::string good = ReadWholeFile("good.dat");
  expectFailure({"list", "nothing.dat"}, "nothing.dat: Cannot open resource file !\n");
  WriteWholeFile("bad.dat", good + "x");
  expectFailure({"verify", "bad.dat"}, "bad.dat: Read error !\n");
  WriteWholeFile("bad.dat", "\x67" + good.substr(1));
  expectFailure({"list", "bad.dat"}, "bad.dat: Resource format error !\n");
  std::string damaged = good;
  damaged[265] ^= 1;  // the unpacked size
  WriteWholeFile("bad.dat", damaged);
  expectFailure({"verify", "bad.dat"}, "bad.dat: a.txt: HUFF decompresion error !\n");
  expectFailure({"extract", "good.dat", "b.txt"}, "good.dat: File not in resource !\n[b.txt]\n");
}

}  // namespace
