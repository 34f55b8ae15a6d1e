// tmpack disk and tmpack check on a musician's folder of generated modules, with the build's own disk as
// the art archive; libopenmpt is the oracle for repaired headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "modwrite/modwrite.h"
#include "program.h"
#include "testkit.h"
#include "tmpack/tracks.h"

namespace fs = std::filesystem;

namespace {

void Save(const std::vector<uint8_t> &bytes, const std::string &path) {
  WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
}

// Two patterns of different notes, so that an order table read wrongly changes the sound.
modwrite::Module ShortHeaderSong(size_t orders) {
  modwrite::Module song = modwrite::SquareTestModule(modwrite::Format::XM, 4);
  song.AddPattern(4).At(0, 0) = {modwrite::kMiddleC + 7, 1, 48, modwrite::Effect::None, 0};
  for (size_t i = 0; i < orders; i++) song.orders.push_back(i * i % 3 == 1);
  song.orders.resize(orders);
  song.shortHeader = true;
  song.name.clear();
  return song;
}

// libopenmpt's own rendering at the player's rate, played once and without dither.
std::vector<float> Render(const std::vector<uint8_t> &bytes) {
  std::ostringstream log;
  openmpt::module module(bytes, log, {{"play.at_end", "stop"}, {"dither", "0"}});
  std::vector<float> out, block(256);
  while (size_t got = module.read_interleaved_stereo(44100, 128, block.data()))
    out.insert(out.end(), block.begin(), block.begin() + 2 * got);
  return out;
}

class TmpackDisk : public ::testing::Test {
 protected:
  // The folder: the player takes a.it and sub/e.xm (its header saved short); b.xm is of an older XM
  // version, c.it is cut off after its header, d.xm is no module, and notes.txt is not looked at.
  void SetUp() override {
    fs::create_directories("mods/sub");
    modwrite::Module it = modwrite::SquareTestModule(modwrite::Format::IT, 16);
    it.name = "Caf\x82 Song With Many Words";  // code page 437, as Impulse Tracker saves text
    it.message = "H\x82llo w\x94rld\xff again and more\rsecond line";
    Save(modwrite::Write(it), "mods/a.it");
    std::vector<uint8_t> old = modwrite::Write(modwrite::SquareTestModule(modwrite::Format::XM, 16));
    old[58] = 2;
    Save(old, "mods/b.xm");
    std::vector<uint8_t> cut = modwrite::Write(it);
    Save(std::vector<uint8_t>(cut.begin(), cut.begin() + 100), "mods/c.it");
    WriteWholeFile("mods/d.xm", "not a module\n");
    WriteWholeFile("mods/notes.txt", "not a module\n");
    Save(shortXM, "mods/sub/e.xm");
    made = RunCommand(tool + " disk out.dat --art " + art + " mods");
  }

  std::string Member(const std::string &name) { return RunCommand(tool + " extract out.dat " + name).out; }

  ScopedTempDir dir;
  const std::string tool = TUNEMILL_BINARY_DIR "/tmpack", art = TUNEMILL_BINARY_DIR "/tunemill.dat";
  const std::vector<uint8_t> shortXM = modwrite::Write(ShortHeaderSong(3));
  COMMAND_RESULT made;
};

TEST_F(TmpackDisk, TheDiskHoldsTheTakenModulesWithDescriptionsFromTheirOwnMetadata) {
  EXPECT_EQ(made.exitCode, 0);
  EXPECT_EQ(made.out, "tmpack: mods/a.it: track 1, \"Café Song With Many Words\"\n"
                      "tmpack: mods/b.xm: XM version 0x0102; the player needs 0x0104\n"
                      "tmpack: mods/c.it: libopenmpt cannot load it (error loading file)\n"
                      "tmpack: mods/d.xm: too short for an XM module (13 bytes)\n"
                      "tmpack: mods/sub/e.xm: track 2, \"e\", repaired header\n"
                      "tmpack: out.dat: 2 tracks (1 with a repaired header), 3 modules left out, 20 pictures from " +
                          art + "\n");
  EXPECT_EQ(Member("data/mods.dat"), "2\r\ndata/trk1.txt\r\ndata/trk2.txt\r\n");
  // Titles in code page 437 (\x82 is é), info lines in the font's Latin-1 cells (\xe9 é, \xf6 ö); the
  // font draws no glyph for the no-break space that stood after "wörld".
  EXPECT_EQ(Member("data/trk1.txt"), "data/trk1.it\r\nCaf\x82 Song\r\nWith Many\r\n\r\nIT, 2 channels\r\n"
                                     "Length 0:02\r\nImpulse Tracker 2.14\r\nH\xe9llo w\xf6rld again\r\n");
  EXPECT_EQ(Member("data/trk2.txt"),
            "data/trk2.xm\r\ne\r\n\r\n\r\nXM, 2 channels\r\nLength 0:01\r\nTunemill modwrite\r\n\r\n");
  EXPECT_EQ(RunCommand(tool + " check out.dat").out,
            "tmpack: out.dat: 2 tracks and every picture the program loads are in order\n");

  EXPECT_EQ(RunCommand(tool + " disk strict.dat --strict --art " + art + " mods").exitCode, 1);
  COMMAND_RESULT none = RunCommand(tool + " disk none.dat --art " + art + " mods/b.xm mods/d.xm");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.out.find("tmpack: the player takes none of these modules; nothing written\n"), std::string::npos);
  EXPECT_FALSE(FileExists("strict.dat") || FileExists("none.dat"));
}

TEST(XMHeaderRepair, RepairedCopiesRenderSampleForSampleLikeTheOriginals) {
  for (size_t orders : {1, 7, 255}) {
    std::vector<uint8_t> original = modwrite::Write(ShortHeaderSong(orders));
    MODULE_VERDICT verdict = ExamineModule("song.xm", original, true);
    EXPECT_EQ(verdict.problem, "") << orders;
    ASSERT_TRUE(verdict.repaired) << orders;
    EXPECT_EQ(verdict.bytes.size(), original.size() + 256 - orders) << orders;
    std::vector<float> heard = Render(original);
    EXPECT_EQ(heard.size(), 2 * 21168 * orders) << orders;  // 4 rows of 0.12 s an order, in frames of 2 samples
    EXPECT_TRUE(Render(verdict.bytes) == heard) << orders;
    EXPECT_EQ(ExamineModule("song.xm", original, false).problem,
              "XM header of " + std::to_string(20 + orders) + " bytes; the player needs 276");
  }
}

TEST_F(TmpackDisk, CheckNamesTheMemberOfEachProblem) {
  // Each damage is a member put before the good ones, which the program then never reads.
  const struct {
    std::string member, bytes, line;
  } cases[] = {
      {"data/mods.dat", "1\r\ndata/gone.txt\r\n", "data/gone.txt: missing"},
      {"data/font.gif", "GIF89a\x10\0\x10\0", "data/font.gif: the program cannot decode this picture"},
      {"data/trk2.xm", std::string(shortXM.begin(), shortXM.end()),
       "data/trk2.xm: XM header of 23 bytes; the player needs 276"},
      {"data/trk1.txt", "data/trk1.it\r\nCafe\r\n", "data/trk1.txt: Cannot read data file ![2]"},
  };
  for (const auto &c : cases) {
    unsigned char header[kResourceHeaderSize];
    FormatResourceHeader(header, c.member.c_str(), (uint32_t)c.bytes.size(), 0, 0);
    WriteWholeFile("bad.dat", std::string((char *)header, sizeof header) + c.bytes + ReadWholeFile("out.dat"));
    COMMAND_RESULT checked = RunCommand(tool + " check bad.dat");
    EXPECT_EQ(checked.exitCode, 1) << c.member;
    EXPECT_EQ(checked.out, "tmpack: bad.dat: " + c.line + "\ntmpack: bad.dat: 1 problem; the program would stop "
                           "with an error\n");
  }
}

}  // namespace
