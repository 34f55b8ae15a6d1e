// The disk's music as the build makes it: runs the real compose tool and checks what it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "program.h"
#include "render.h"
#include "testkit.h"

namespace {

// The lines of a text in which every line must end with CR LF.
std::vector<std::string> CrLfLines(const std::string &text) {
  std::vector<std::string> lines;
  for (size_t start = 0, lf; start < text.size(); start = lf + 1) {
    lf = text.find('\n', start);
    if (lf == std::string::npos || lf == start || text[lf - 1] != '\r') {
      ADD_FAILURE() << "a line without CR LF: " << text.substr(start, 40);
      break;
    }
    lines.push_back(text.substr(start, lf - 1 - start));
  }
  return lines;
}

unsigned U16(const std::string &b, size_t at) { return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8; }

// One run of the tool for the whole suite, in a folder that is the working directory meanwhile.
class Compose : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sDir = new ScopedTempDir();
    sStatus = RunCommand(std::string(COMPOSE_PATH) + " disk").exitCode;
  }
  static void TearDownTestSuite() { delete sDir; }
  static inline ScopedTempDir *sDir = nullptr;
  static inline int sStatus = -1;
};

TEST_F(Compose, EveryTrackIsDescribedPassesTheProbeAndPlaysOnceToItsEndNeitherSilentNorClipped) {
  ASSERT_EQ(sStatus, 0);
  const std::vector<std::string> list = CrLfLines(ReadWholeFile("disk/data/mods.dat"));
  ASSERT_GE(list.size(), 6u);
  EXPECT_EQ(list[0], std::to_string(list.size() - 1));
  int formats[2] = {0, 0};
  for (size_t i = 1; i < list.size(); i++) {
    SCOPED_TRACE(list[i]);
    const std::vector<std::string> desc = CrLfLines(ReadWholeFile("disk/" + list[i]));
    ASSERT_GE(desc.size(), 3u);
    EXPECT_LE(desc.size(), 8u);
    // What fits on the panel: the module name, titles from x 314 at 13 columns, info lines at 20.
    for (size_t l = 0; l < desc.size(); l++)
      EXPECT_TRUE(!desc[l].empty() && desc[l].size() <= (l == 0 ? 127u : l < 3 ? 13u : 20u)) << desc[l];
    EXPECT_TRUE(list[i].rfind("data/", 0) == 0 && desc[0].rfind("data/", 0) == 0);
    // The fields the player's probe reads: the XM version and header size, or the IT signature; the orders.
    const std::string b = ReadWholeFile("disk/" + desc[0]), ext = desc[0].substr(desc[0].size() - 3);
    const bool xm = ext == ".xm";
    ASSERT_TRUE(xm || ext == ".it");
    formats[xm]++;
    ASSERT_GE(b.size(), xm ? 336u : 48u);
    EXPECT_TRUE(xm ? U16(b, 58) == 0x0104 && U16(b, 60) == 276 && U16(b, 62) == 0 : b.substr(0, 4) == "IMPM");
    std::ostringstream log;
    openmpt::module mod(b.data(), b.size(), log);
    EXPECT_EQ(log.str(), "");
    const int orders = mod.get_num_orders();
    EXPECT_EQ(orders, (int)U16(b, xm ? 64 : 32));
    EXPECT_TRUE(orders >= 10 && orders <= 60 && mod.get_num_channels() >= 4 && mod.get_num_channels() <= 12);
    const double duration = mod.get_duration_seconds();
    EXPECT_TRUE(duration >= 90 && duration <= 180) << duration;
    // The info lines tell the truth about the module.
    const int rounded = int(std::lround(duration));
    char length[32];
    snprintf(length, sizeof length, "Length %d:%02d", rounded / 60, rounded % 60);
    EXPECT_NE(std::find(desc.begin(), desc.end(), length), desc.end()) << "no line \"" << length << "\"";

    // A second at a time: the song stops at its end instead of looping and runs through its whole order
    // list; the last second of a fade-out may be short and quiet, every other carries music unclipped.
    int lastOrder = 0, quietRun = 0, longestQuiet = 0, clippedSeconds = 0;
    double loudest = 0;
    const std::vector<int16_t> s = RenderModule(std::vector<uint8_t>(b.begin(), b.end()), 44100, &lastOrder);
    const size_t seconds = (s.size() / 2 + 44099) / 44100;
    for (size_t second = 0; second < seconds; second++) {
      const size_t from = second * 88200, to = std::min(s.size(), from + 88200);
      double sum = 0;
      int clipped = 0;
      for (size_t k = from; k < to; k++) sum += double(s[k]) * s[k], clipped += s[k] >= 32767 || s[k] <= -32768;
      const double rms = std::sqrt(sum / double(to - from)) / 32768.0;
      loudest = std::max(loudest, rms);
      if (to - from == 88200) longestQuiet = std::max(longestQuiet, quietRun = rms < 0.005 ? quietRun + 1 : 0);
      clippedSeconds += clipped > 10;
    }
    EXPECT_NEAR((double)seconds, duration, 1.5);
    EXPECT_EQ(lastOrder, orders - 1);
    EXPECT_TRUE(longestQuiet <= 3 && clippedSeconds <= 2 && loudest > 0.05) << longestQuiet << " " << clippedSeconds;
  }
  EXPECT_TRUE(formats[0] >= 2 && formats[1] >= 2);
}

TEST_F(Compose, ASecondRunWritesIdenticalFiles) {
  ASSERT_EQ(sStatus, 0);
  ASSERT_EQ(RunCommand(std::string(COMPOSE_PATH) + " again").exitCode, 0);
  namespace fs = std::filesystem;
  size_t files = 0, again = 0;
  for (const auto &entry : fs::recursive_directory_iterator("disk")) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().lexically_relative("disk").generic_string();
    EXPECT_TRUE(ReadWholeFile("disk/" + name) == ReadWholeFile("again/" + name)) << name;
    files++;
  }
  for (const auto &entry : fs::recursive_directory_iterator("again")) again += entry.is_regular_file();
  EXPECT_GE(files, 11u);  // the list, and a description and a module per track
  EXPECT_EQ(again, files);
}

}  // namespace
