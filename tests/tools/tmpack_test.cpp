// The packer as its users run it: archives that the program's own extraction reads back bit for bit, the
// same bytes whatever the order the files were made in, and a message and a failing exit for bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "program.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

COMMAND_RESULT Tmpack(const std::string &args) { return RunCommand(std::string(TMPACK_PATH) + " " + args); }

std::string Text(size_t size) {
  std::string text;
  std::mt19937 random(7);
  const char *words[] = {"tracker ", "module ", "the ", "pattern ", "sample ", "order\n", "row ", "a "};
  while (text.size() < size) text += words[random() % 8];
  return text.substr(0, size);
}

TEST(Tmpack, RoundTripsAFolderBitForBitInEveryMode) {
  ScopedTempDir dir;
  // Real files from the source tree and the system, and generated ones of the awkward kinds.
  fs::create_directories("disk/data/deep");
  fs::copy(SOURCE_DIR "/src/support", "disk/src", fs::copy_options::recursive);
  fs::copy_file("/bin/sh", "disk/sh");
  std::string noise(200000, '\0');
  std::mt19937 random(3);
  for (char &c : noise) c = (char)random();
  const std::pair<const char *, std::string> files[] = {{"data/noise.raw", noise}, {"data/mods.dat", Text(50000)},
                                                        {"data/deep/Zero.bin", std::string(100000, '\0')},
                                                        {"data/empty", ""}, {"one", "1"}};
  for (const auto &[name, bytes] : files) WriteWholeFile(std::string("disk/") + name, bytes);
  std::vector<std::string> names;
  for (const auto &entry : fs::recursive_directory_iterator("disk"))
    if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative("disk").generic_string());
  std::sort(names.begin(), names.end());
  for (const char *mode : {"--auto", "--store", "--huffman"}) {
    ASSERT_EQ(Tmpack(std::string("create tunemill.dat ") + mode + " disk").exitCode, 0) << mode;
    EXPECT_EQ(Tmpack("verify tunemill.dat").exitCode, 0) << mode;
    // The program's own extraction reads what the tool wrote.
    ChildResult child = RunChild([&] {
      OpenResource();
      for (const std::string &name : names) {
        char *path = ExtractFile(name.c_str());
        if (ReadWholeFile(path) != ReadWholeFile("disk/" + name)) printf("%s differs\n", name.c_str());
        ReleaseFile(path);
      }
    });
    EXPECT_EQ(child.exitCode * 1000 + child.out.size(), 99000u) << mode << child.out;
    EXPECT_EQ(Tmpack("extract tunemill.dat 'DATA\\DEEP\\zero.BIN' -o copy").exitCode, 0);
    EXPECT_EQ(ReadWholeFile("copy"), std::string(100000, '\0'));
    EXPECT_EQ(Tmpack("extract tunemill.dat sh").out, ReadWholeFile("/bin/sh"));
  }
  // --auto packs text and leaves noise and empty files as they are; the list has every name in order.
  Tmpack("create tunemill.dat disk");
  const std::string list = Tmpack("list tunemill.dat").out;
  const std::string lines[] = {"stored  data/empty\n", " 200000       200000  stored  data/noise.raw\n",
                               "  50000  packed  data/mods.dat\n", std::to_string(names.size()) + " entries"};
  for (const std::string &line : lines)
    EXPECT_NE(list.find(line), std::string::npos) << line << list;
  size_t at = 0;
  for (const std::string &name : names) EXPECT_NE(at = list.find("  " + name + "\n", at), std::string::npos) << name;
}

TEST(Tmpack, SameFilesGiveSameBytesWhateverTheOrderTheyWereMadeIn) {
  ScopedTempDir dir;
  for (const char *folder : {"one/b", "two/b"}) fs::create_directories(folder);
  for (const char *file : {"b/y", "a", "b/x", "c"}) WriteWholeFile(std::string("one/") + file, file);
  for (const char *file : {"c", "b/x", "a", "b/y"}) WriteWholeFile(std::string("two/") + file, file);
  WriteWholeFile("two/tunemill.dat", "an old archive inside the folder is left out");
  ASSERT_EQ(Tmpack("create one.dat one").exitCode + Tmpack("create two/tunemill.dat two").exitCode, 0);
  const std::string bytes = ReadWholeFile("one.dat");
  EXPECT_EQ(bytes, ReadWholeFile("two/tunemill.dat"));
  EXPECT_EQ(bytes, StoredMember("a", "a") + StoredMember("b/x", "b/x") + StoredMember("b/y", "b/y") +
                       StoredMember("c", "c"));
}

TEST(Tmpack, BadInputGetsAMessageAndAFailingExit) {
  ScopedTempDir dir;
  WriteWholeFile("keep.dat", "previous");
  fs::create_directories("empty");
  fs::create_directories("long/" + std::string(200, 'd'));
  WriteWholeFile("long/" + std::string(200, 'd') + "/" + std::string(60, 'f'), "x");
  fs::create_directories("twice");
  WriteWholeFile("twice/Song.xm", "1");
  WriteWholeFile("twice/song.XM", "2");
  fs::create_directories("huge");
  WriteWholeFile("huge/big", "");
  fs::resize_file("huge/big", 0x100000000ull);  // sparse, 4 GiB
  WriteWholeFile("a.txt", Text(4000));
  ASSERT_EQ(Tmpack("create good.dat a.txt").exitCode, 0);
  const std::string good = ReadWholeFile("good.dat");
  std::string damaged = good;
  damaged[265] ^= 1;  // the unpacked size
  const std::pair<std::string, std::string> files[] = {
      {"long.dat", good + "x"}, {"magic.dat", "\x67" + good.substr(1)}, {"size.dat", damaged}};
  for (const auto &[name, bytes] : files) WriteWholeFile(name, bytes);
  const struct {
    const char *args, *message;
    int code;
  } cases[] = {
      {"create keep.dat missing", "missing: no such file or folder", 1},
      {"create keep.dat empty", "nothing to pack", 1},
      {"create keep.dat long", "entry name longer than 255 bytes", 1},
      {"create keep.dat twice", "song.XM: a second entry of that name", 1},
      {"create keep.dat huge", "larger than an entry can be", 1},
      {"create keep.dat --fast one", "unknown option --fast", 2},
      {"list", "usage:", 2},
      {"list nothing.dat", "nothing.dat: Cannot open resource file !\n", 1},
      {"verify long.dat", "long.dat: Read error !\n", 1},
      {"list magic.dat", "magic.dat: Resource format error !\n", 1},
      {"verify size.dat", "size.dat: a.txt: HUFF decompresion error !\n", 1},
      {"extract good.dat b.txt", "good.dat: File not in resource !\n[b.txt]\n", 1},
  };
  for (const auto &c : cases) {
    const COMMAND_RESULT result = Tmpack(c.args);
    EXPECT_EQ(result.exitCode, c.code) << c.args;
    EXPECT_NE(result.out.find(c.message), std::string::npos) << c.args << ": " << result.out;
  }
  EXPECT_EQ(ReadWholeFile("keep.dat"), "previous");
  EXPECT_EQ(Tmpack("--help").exitCode, 0);
}

}  // namespace
