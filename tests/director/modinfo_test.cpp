// The track list: "data/mods.dat" and the description files, as plain files in a private working folder
// (no archive is open, so ExtractFile hands out the names as they are).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <string>

#include "director/modinfo.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

class TrackList : public ::testing::Test {
 protected:
  void SetUp() override { mkdir("data", 0700); }
  void TearDown() override {
    if (ModInfos) TrackedFree(ModInfos, __LINE__, "test");
    ModInfos = nullptr;
    ModCount = 0;
  }

  // Parses in a child and expects the fatal error of `line` with `message`.
  void ExpectFailure(int line, const std::string &message) {
    ChildResult child = RunChild([] { ParseModInfos(); });
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.out, "\n PROGRAM: -- ERROR: at demo " + std::to_string(line) + " : " + message + " ");
    EXPECT_EQ(child.err, "ERROR: " + message + "\n");
  }

  ScopedTempDir dir_;
};

const char *kThreeLines = "song.xm\r\nFirst title\r\nSecond title\r\n";

// =========================================================================================================

TEST_F(TrackList, ReadsTheTracksInOrderAndIgnoresWhatFollows) {
  WriteWholeFile("data/mods.dat", "3 tracks\r\nd/one.txt\r\nd/two.txt\r\nd/three.txt\r\nd/unused.txt\r\n");
  mkdir("d", 0700);
  WriteWholeFile("d/one.txt", kThreeLines);
  std::string ten;
  for (int i = 1; i <= 10; i++) ten += "line " + std::to_string(i) + "\r\n";
  WriteWholeFile("d/two.txt", ten);
  std::string longLine(200, 'w');
  WriteWholeFile("d/three.txt", "ab\r\n" + longLine + "\r\n\r\n\r\n" + longLine + "\r\ninfo 2\r\n");
  ParseModInfos();

  ASSERT_EQ(ModCount, 3u);
  EXPECT_STREQ(ModInfos[0].ModFile, "song.xm");
  EXPECT_STREQ(ModInfos[0].Title1, "First title");
  EXPECT_STREQ(ModInfos[0].Title2, "Second title");
  for (int i = 0; i < 5; i++) EXPECT_STREQ(ModInfos[0].InfoLine[i], "");

  EXPECT_STREQ(ModInfos[1].ModFile, "line 1");
  EXPECT_STREQ(ModInfos[1].Title2, "line 3");
  EXPECT_STREQ(ModInfos[1].InfoLine[0], "line 4");
  EXPECT_STREQ(ModInfos[1].InfoLine[4], "line 8");

  EXPECT_STREQ(ModInfos[2].ModFile, "ab");
  EXPECT_EQ(std::string(ModInfos[2].Title1), longLine.substr(0, 127));
  EXPECT_STREQ(ModInfos[2].Title2, "");  // a line of only its line end
  EXPECT_STREQ(ModInfos[2].InfoLine[0], "");
  EXPECT_EQ(std::string(ModInfos[2].InfoLine[1]), longLine.substr(0, 127));
  EXPECT_STREQ(ModInfos[2].InfoLine[2], "info 2");
  EXPECT_STREQ(ModInfos[2].InfoLine[3], "");
  // Every field is terminated and zero behind its text.
  const char *bytes = (const char *)&ModInfos[2];
  for (int field = 0; field < 8; field++) {
    const char *text = bytes + 128 * field;
    for (size_t i = strlen(text); i < 128; i++) ASSERT_EQ(text[i], 0) << field;
  }
}

TEST_F(TrackList, BareLineFeedsAndAMissingLastLineEndKeepEveryCharacter) {
  WriteWholeFile("data/mods.dat", "2\nd1\nd2");
  WriteWholeFile("d1", "a.xm\nTitle\nSub\nInfo");
  WriteWholeFile("d2", "b.it\r\nCRLF title\r\nCR\r\r\n");
  ParseModInfos();
  ASSERT_EQ(ModCount, 2u);
  EXPECT_STREQ(ModInfos[0].ModFile, "a.xm");
  EXPECT_STREQ(ModInfos[0].Title1, "Title");
  EXPECT_STREQ(ModInfos[0].Title2, "Sub");
  EXPECT_STREQ(ModInfos[0].InfoLine[0], "Info");
  EXPECT_STREQ(ModInfos[1].ModFile, "b.it");
  EXPECT_STREQ(ModInfos[1].Title1, "CRLF title");
  EXPECT_STREQ(ModInfos[1].Title2, "CR\r");  // one LF and one CR are the line end, no more
}

TEST_F(TrackList, TheCountIsReadInPercentINotation) {
  WriteWholeFile("dd", kThreeLines);
  const std::pair<const char *, uint32_t> counts[] = {{"0x3", 3}, {"010", 8}, {"  5\r", 5}, {"1", 1}};
  for (const auto &count : counts) {
    std::string list = std::string(count.first) + "\r\n";
    for (uint32_t i = 0; i < count.second; i++) list += "dd\r\n";
    WriteWholeFile("data/mods.dat", list);
    ParseModInfos();
    EXPECT_EQ(ModCount, count.second) << count.first;
    TrackedFree(ModInfos, __LINE__, "test");
    ModInfos = nullptr;
  }
}

TEST_F(TrackList, ATableOf1024IsAcceptedAnd1025OrLessThanOneAreNot) {
  WriteWholeFile("dd", kThreeLines);
  std::string names;
  for (int i = 0; i < 1025; i++) names += "dd\r\n";
  WriteWholeFile("data/mods.dat", "1024\r\n" + names);
  ParseModInfos();
  EXPECT_EQ(ModCount, 1024u);
  EXPECT_STREQ(ModInfos[1023].Title2, "Second title");
  EXPECT_EQ(AllocTotal(), 1024 * 1024);

  for (const char *count : {"1025", "0", "-1", "-4294967295", "4294967297", "99999999999999999999"}) {
    WriteWholeFile("data/mods.dat", std::string(count) + "\r\n" + names);
    SCOPED_TRACE(count);
    ExpectFailure(31, "Format error ! [Bad number of XMs]");
  }
}

TEST_F(TrackList, ListFileFailures) {
  ExpectFailure(25, "Cannot open file ! [ParseModInfos]");
  WriteWholeFile("data/mods.dat", "tracks: 3\r\nd\r\n");
  ExpectFailure(28, "Format error ! [ParseModInfos]");
  WriteWholeFile("data/mods.dat", "");
  ExpectFailure(28, "Format error ! [ParseModInfos]");
  WriteWholeFile("dd", kThreeLines);
  WriteWholeFile("data/mods.dat", "3\r\ndd\r\ndd\r\n");
  ExpectFailure(42, "Format error ! [ParseModInfos]");
  WriteWholeFile("data/mods.dat", "2\r\ndd\r\ne\r\n");  // one character: too short
  ExpectFailure(45, "Format error ! [ParseModInfos]");
  WriteWholeFile("data/mods.dat", "1\n\n");
  ExpectFailure(45, "Format error ! [ParseModInfos]");
  WriteWholeFile("data/mods.dat", "1\r\nmissing\r\n");
  ExpectFailure(52, "Cannot read data file ! [ParseModInfos]");
}

TEST_F(TrackList, DescriptionFileFailures) {
  WriteWholeFile("data/mods.dat", "1\r\ndesc\r\n");
  WriteWholeFile("desc", "");
  ExpectFailure(54, "Cannot read data file ![0]");
  WriteWholeFile("desc", "x\r\nTitle\r\nSub\r\n");
  ExpectFailure(56, "Format error ! [ParseModInfos]");
  WriteWholeFile("desc", "song.xm\r\n");
  ExpectFailure(58, "Cannot read data file ![1]");
  WriteWholeFile("desc", "song.xm\r\nTitle");
  ExpectFailure(60, "Cannot read data file ![2]");
  WriteWholeFile("desc", "song.xm\r\nTitle\r\n");
  ExpectFailure(60, "Cannot read data file ![2]");
  WriteWholeFile("desc", "xm\r\n\r\n\r\n");
  ParseModInfos();
  EXPECT_STREQ(ModInfos[0].ModFile, "xm");
}

}  // namespace
