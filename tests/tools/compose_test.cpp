// The disk's music as the build makes it: runs the real compose tool and checks what it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "testkit.h"

namespace {

constexpr int kRate = 44100;

int RunCompose(const std::string &args) {
  int status = std::system((std::string(COMPOSE_PATH) + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The lines of a text in which every line must end with CR LF.
std::vector<std::string> CrLfLines(const std::string &text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t lf = text.find('\n', start);
    const bool crlf = lf != std::string::npos && lf > start && text[lf - 1] == '\r';
    EXPECT_TRUE(crlf) << "a line without CR LF: " << text.substr(start, 40);
    if (!crlf) break;
    lines.push_back(text.substr(start, lf - 1 - start));
    start = lf + 1;
  }
  return lines;
}

unsigned U16(const std::string &b, size_t at) { return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8; }
unsigned U32(const std::string &b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }
bool EndsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// One run of the tool for the whole suite, in a folder that is the working directory meanwhile.
class Compose : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sDir = new ScopedTempDir();
    sStatus = RunCompose("disk");
  }
  static void TearDownTestSuite() { delete sDir; }
  static std::vector<std::string> Lines(const std::string &name) { return CrLfLines(ReadWholeFile("disk/" + name)); }

  static inline ScopedTempDir *sDir = nullptr;
  static inline int sStatus = -1;
};

}  // namespace

TEST_F(Compose, EveryTrackIsDescribedPassesTheProbeAndPlaysOnceToItsEndNeitherSilentNorClipped) {
  ASSERT_EQ(sStatus, 0);
  std::vector<std::string> list = Lines("data/mods.dat");
  ASSERT_GE(list.size(), 6u);
  EXPECT_EQ(list[0], std::to_string(list.size() - 1));
  int xm = 0, it = 0;
  for (size_t i = 1; i < list.size(); i++) {
    SCOPED_TRACE(list[i]);
    EXPECT_EQ(list[i].rfind("data/", 0), 0u);
    const std::vector<std::string> desc = Lines(list[i]);
    ASSERT_GE(desc.size(), 3u);
    EXPECT_LE(desc.size(), 8u);
    // What fits on the panel: the module name, titles from x 314 at 13 columns, info lines at 20.
    for (size_t l = 0; l < desc.size(); l++) {
      EXPECT_FALSE(desc[l].empty());
      EXPECT_LE(desc[l].size(), l == 0 ? 127u : l < 3 ? 13u : 20u) << desc[l];
    }
    EXPECT_EQ(desc[0].rfind("data/", 0), 0u);
    xm += EndsWith(desc[0], ".xm");
    it += EndsWith(desc[0], ".it");
    const std::string b = ReadWholeFile("disk/" + desc[0]);
    unsigned orders;
    if (EndsWith(desc[0], ".xm")) {
      ASSERT_GE(b.size(), 336u);
      EXPECT_EQ(U16(b, 58), 0x0104u);
      EXPECT_EQ(U32(b, 60), 276u);
      orders = U16(b, 64);
    } else {
      ASSERT_TRUE(EndsWith(desc[0], ".it"));
      ASSERT_GE(b.size(), 48u);
      EXPECT_EQ(b.substr(0, 4), "IMPM");
      orders = U16(b, 32);
    }
    std::ostringstream log;
    openmpt::module mod(b.data(), b.size(), log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(unsigned(mod.get_num_orders()), orders);
    EXPECT_GE(orders, 10u);
    EXPECT_LE(orders, 60u);
    EXPECT_GE(mod.get_num_channels(), 4);
    EXPECT_LE(mod.get_num_channels(), 12);
    const double duration = mod.get_duration_seconds();
    EXPECT_GE(duration, 90.0);
    EXPECT_LE(duration, 180.0);
    // The info lines tell the truth about the module.
    const int rounded = int(std::lround(duration));
    char length[32];
    std::snprintf(length, sizeof length, "Length %d:%02d", rounded / 60, rounded % 60);
    EXPECT_NE(std::find(desc.begin(), desc.end(), length), desc.end()) << "no line \"" << length << "\"";

    // Rendered a second at a time: RMS and clipped samples per second.
    std::vector<int16_t> second(2 * kRate);
    int seconds = 0, quietRun = 0, longestQuiet = 0, clippedSeconds = 0, lastOrder = 0;
    double loudest = 0;
    while (seconds <= 200) {
      size_t n = 0;
      while (n < size_t(kRate)) {
        const size_t got = mod.read_interleaved_stereo(kRate, kRate - n, second.data() + 2 * n);
        if (got == 0) break;
        n += got;
        lastOrder = std::max(lastOrder, mod.get_current_order());
      }
      if (n == 0) break;
      double sum = 0;
      int clipped = 0;
      for (size_t k = 0; k < 2 * n; k++) {
        sum += double(second[k]) * second[k];
        clipped += second[k] >= 32767 || second[k] <= -32768;
      }
      const double rms = std::sqrt(sum / double(2 * n)) / 32768.0;
      loudest = std::max(loudest, rms);
      // The last second of a fade-out may be short and quiet; everything else must carry music.
      if (n == size_t(kRate)) {
        quietRun = rms < 0.005 ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
      }
      clippedSeconds += clipped > 10;
      seconds++;
    }
    EXPECT_NEAR(seconds, duration, 1.5) << "the song stops at its end instead of looping";
    EXPECT_EQ(lastOrder, mod.get_num_orders() - 1) << "the song runs through its whole order list";
    EXPECT_LE(longestQuiet, 3);
    EXPECT_LE(clippedSeconds, 2);
    EXPECT_GT(loudest, 0.05);
  }
  EXPECT_GE(xm, 2);
  EXPECT_GE(it, 2);
}

TEST_F(Compose, ASecondRunWritesIdenticalFiles) {
  ASSERT_EQ(sStatus, 0);
  ASSERT_EQ(RunCompose("again"), 0);
  namespace fs = std::filesystem;
  size_t files = 0;
  for (const auto &entry : fs::recursive_directory_iterator("disk")) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().lexically_relative("disk").generic_string();
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadWholeFile("disk/" + name) == ReadWholeFile("again/" + name));
    files++;
  }
  EXPECT_GE(files, 11u);  // the list, and a description and a module per track
  size_t again = 0;
  for (const auto &entry : fs::recursive_directory_iterator("again")) again += entry.is_regular_file();
  EXPECT_EQ(again, files);
}
