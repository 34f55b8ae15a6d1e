// The track list: "data/mods.dat" and the description files, as plain files in a private working folder
// (no archive is open, so ExtractFile hands out the names as they are).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

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

  ScopedTempDir dir_;
};

const char *kThreeLines = "song.xm\r\nFirst title\r\nSecond title\r\n";
const char *kThreeFields = "song.xm|First title|Second title|||||";

// The eight fields joined by '|'; a field with anything but zeros behind its text shows as "?".
std::string Fields(const ModInfo &info) {
  std::string joined;
  for (int field = 0; field < 8; field++) {
    const char *text = (const char *)&info + 128 * field;
    size_t length = strnlen(text, 128);
    bool clean = length < 128 && std::all_of(text + length, text + 128, [](char c) { return c == 0; });
    joined += (field ? "|" : "") + (clean ? std::string(text) : "?");
  }
  return joined;
}

TEST_F(TrackList, ReadsTheTracksInOrderAndIgnoresWhatFollows) {
  WriteWholeFile("data/mods.dat", "3 tracks\r\nd/one.txt\r\nd/two.txt\r\nd/three.txt\r\nd/unused.txt\r\n");
  mkdir("d", 0700);
  WriteWholeFile("d/one.txt", kThreeLines);
  std::string ten, longLine(200, 'w'), cut(127, 'w');
  for (int i = 1; i <= 10; i++) ten += "line " + std::to_string(i) + "\r\n";
  WriteWholeFile("d/two.txt", ten);
  WriteWholeFile("d/three.txt", "ab\r\n" + longLine + "\r\n\r\n\r\n" + longLine + "\r\ninfo 2\r\n");
  ParseModInfos();
  ASSERT_EQ(ModCount, 3u);
  EXPECT_EQ(Fields(ModInfos[0]), kThreeFields);
  EXPECT_EQ(Fields(ModInfos[1]), "line 1|line 2|line 3|line 4|line 5|line 6|line 7|line 8");
  // Long lines keep 127 characters; a line of only its line end is empty.
  EXPECT_EQ(Fields(ModInfos[2]), "ab|" + cut + "|||" + cut + "|info 2||");
}

TEST_F(TrackList, BareLineFeedsAndAMissingLastLineEndKeepEveryCharacter) {
  WriteWholeFile("data/mods.dat", "3\nd1\nd2\nd3");
  WriteWholeFile("d1", "a.xm\nTitle\nSub\nInfo");
  WriteWholeFile("d2", "b.it\r\nCRLF title\r\nCR\r\r\n");
  WriteWholeFile("d3", "xm\r\n\r\n\r\n");  // the shortest name taken
  ParseModInfos();
  ASSERT_EQ(ModCount, 3u);
  EXPECT_EQ(Fields(ModInfos[0]), "a.xm|Title|Sub|Info||||");
  EXPECT_EQ(Fields(ModInfos[1]), "b.it|CRLF title|CR\r|||||");  // one LF and one CR are the line end, no more
  EXPECT_EQ(Fields(ModInfos[2]), "xm|||||||");
}

TEST_F(TrackList, CountsFrom1To1024InPercentINotationAreTakenAndOthersAreNot) {
  WriteWholeFile("dd", kThreeLines);
  std::string names;
  for (int i = 0; i < 1025; i++) names += "dd\r\n";
  const std::pair<const char *, uint32_t> counts[] = {{"0x3", 3}, {"010", 8}, {"  5\r", 5}, {"1", 1}, {"1024", 1024}};
  for (const auto &[count, expected] : counts) {
    WriteWholeFile("data/mods.dat", count + ("\r\n" + names));
    ParseModInfos();
    ASSERT_EQ(ModCount, expected) << count;
    EXPECT_EQ(Fields(ModInfos[expected - 1]), kThreeFields);
    EXPECT_EQ(AllocTotal(), expected * 1024);
    TearDown();
  }
  for (const char *count : {"1025", "0", "-1", "-4294967295", "4294967297", "99999999999999999999"}) {
    WriteWholeFile("data/mods.dat", std::string(count) + "\r\n" + names);
    ExpectFatal(ParseModInfos, "demo", "Format error ! [Bad number of XMs]", 31, count);
  }
}

TEST_F(TrackList, ListAndDescriptionFileFailures) {
  WriteWholeFile("dd", kThreeLines);
  // The list, the description (null: as before), the line and the message.
  const std::tuple<const char *, const char *, int, std::string> cases[] = {
      {nullptr, nullptr, 25, "Cannot open file ! [ParseModInfos]"},
      {"tracks: 3\r\nd\r\n", nullptr, 28, "Format error ! [ParseModInfos]"},
      {"", nullptr, 28, "Format error ! [ParseModInfos]"},
      {"3\r\ndd\r\ndd\r\n", nullptr, 42, "Format error ! [ParseModInfos]"},
      {"2\r\ndd\r\ne\r\n", nullptr, 45, "Format error ! [ParseModInfos]"},  // one character: too short
      {"1\n\n", nullptr, 45, "Format error ! [ParseModInfos]"},
      {"1\r\nmissing\r\n", nullptr, 52, "Cannot read data file ! [ParseModInfos]"},
      {"1\r\ndesc\r\n", "", 54, "Cannot read data file ![0]"},
      {nullptr, "x\r\nTitle\r\nSub\r\n", 56, "Format error ! [ParseModInfos]"},
      {nullptr, "song.xm\r\n", 58, "Cannot read data file ![1]"},
      {nullptr, "song.xm\r\nTitle", 60, "Cannot read data file ![2]"},
      {nullptr, "song.xm\r\nTitle\r\n", 60, "Cannot read data file ![2]"},
  };
  for (const auto &[list, description, line, message] : cases) {
    if (list) WriteWholeFile("data/mods.dat", list);
    if (description) WriteWholeFile("desc", description);
    ExpectFatal(ParseModInfos, "demo", message, line);
  }
}

}  // namespace
