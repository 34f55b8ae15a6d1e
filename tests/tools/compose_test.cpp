// The disk's music as the build makes it: runs the real compose tool and checks what it wrote.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "testkit.h"

namespace {

constexpr int kRate = 44100;

int RunCompose(const std::string &args) {
  std::string cmd = std::string(COMPOSE_PATH) + " " + args + " >/dev/null 2>&1";
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Lines of a CR LF text; `bare` counts line ends that lack their CR (or a last line without any end).
std::vector<std::string> SplitLines(const std::string &text, int *bare) {
  std::vector<std::string> lines;
  *bare = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      (*bare)++;
      lines.push_back(text.substr(start));
      break;
    }
    if (lf == start || text[lf - 1] != '\r') {
      (*bare)++;
      lines.push_back(text.substr(start, lf - start));
    } else {
      lines.push_back(text.substr(start, lf - 1 - start));
    }
    start = lf + 1;
  }
  return lines;
}

unsigned U16(const std::string &b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}
unsigned U32(const std::string &b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

struct DiskTrack {
  std::vector<std::string> desc;  // description file lines
  std::string module;             // module file bytes
};

class ComposeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sDir = new ScopedTempDir();
    sStatus = RunCompose(sDir->path() + "/disk");
    int bare = 0;
    sList = SplitLines(ReadWholeFile(sDir->path() + "/disk/data/mods.dat"), &bare);
    sListBare = bare;
    for (size_t i = 1; i < sList.size(); i++) {
      DiskTrack t;
      t.desc = SplitLines(ReadWholeFile(sDir->path() + "/disk/" + sList[i]), &bare);
      sListBare += bare;
      if (!t.desc.empty() && FileExists(sDir->path() + "/disk/" + t.desc[0]))
        t.module = ReadWholeFile(sDir->path() + "/disk/" + t.desc[0]);
      sTracks.push_back(t);
    }
  }
  static void TearDownTestSuite() {
    delete sDir;
    sDir = nullptr;
    sTracks.clear();
    sList.clear();
  }

  static ScopedTempDir *sDir;
  static int sStatus;
  static std::vector<std::string> sList;
  static int sListBare;
  static std::vector<DiskTrack> sTracks;
};

ScopedTempDir *ComposeTest::sDir = nullptr;
int ComposeTest::sStatus = -1;
std::vector<std::string> ComposeTest::sList;
int ComposeTest::sListBare = 0;
std::vector<DiskTrack> ComposeTest::sTracks;

bool IsXm(const std::string &name) { return name.size() > 3 && name.compare(name.size() - 3, 3, ".xm") == 0; }
bool IsIt(const std::string &name) { return name.size() > 3 && name.compare(name.size() - 3, 3, ".it") == 0; }

}  // namespace

TEST_F(ComposeTest, TrackListAndDescriptionsFollowTheListFormat) {
  ASSERT_EQ(sStatus, 0);
  EXPECT_EQ(sListBare, 0) << "every line ends with CR LF";
  ASSERT_GE(sList.size(), 2u);
  EXPECT_EQ(sList[0], std::to_string(sList.size() - 1));
  ASSERT_GE(sTracks.size(), 5u);
  int xm = 0, it = 0;
  for (size_t i = 0; i < sTracks.size(); i++) {
    const DiskTrack &t = sTracks[i];
    SCOPED_TRACE(sList[i + 1]);
    EXPECT_EQ(sList[i + 1].rfind("data/", 0), 0u);
    ASSERT_GE(t.desc.size(), 3u);
    EXPECT_LE(t.desc.size(), 8u);
    for (const std::string &l : t.desc) {
      EXPECT_LE(l.size(), 127u);
      EXPECT_FALSE(l.empty());
    }
    // What fits on the panel: titles from x 314 at 20 columns, info lines at 60.
    for (size_t l = 1; l < t.desc.size(); l++) EXPECT_LE(t.desc[l].size(), l < 3 ? 13u : 20u) << t.desc[l];
    EXPECT_EQ(t.desc[0].rfind("data/", 0), 0u);
    EXPECT_FALSE(t.module.empty()) << "module " << t.desc[0] << " missing";
    xm += IsXm(t.desc[0]);
    it += IsIt(t.desc[0]);
  }
  EXPECT_GE(xm, 2);
  EXPECT_GE(it, 2);
}

TEST_F(ComposeTest, ModulesPassTheHeaderProbeAndLoad) {
  ASSERT_EQ(sStatus, 0);
  ASSERT_GE(sTracks.size(), 5u);
  for (const DiskTrack &t : sTracks) {
    SCOPED_TRACE(t.desc[0]);
    const std::string &b = t.module;
    unsigned orders;
    if (IsXm(t.desc[0])) {
      ASSERT_GE(b.size(), 336u);
      EXPECT_EQ(U16(b, 58), 0x0104u);
      EXPECT_EQ(U32(b, 60), 276u);
      orders = U16(b, 64);
    } else {
      ASSERT_TRUE(IsIt(t.desc[0]));
      ASSERT_GE(b.size(), 48u);
      EXPECT_EQ(b.substr(0, 4), "IMPM");
      orders = U16(b, 32);
    }
    std::ostringstream log;
    openmpt::module mod(b.data(), b.size(), log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(static_cast<unsigned>(mod.get_num_orders()), orders);
    EXPECT_GE(orders, 10u);
    EXPECT_LE(orders, 60u);
    EXPECT_GE(mod.get_num_channels(), 4);
    EXPECT_LE(mod.get_num_channels(), 12);
    double seconds = mod.get_duration_seconds();
    EXPECT_GE(seconds, 90.0);
    EXPECT_LE(seconds, 180.0);
    // The info lines tell the truth about the module.
    int rounded = static_cast<int>(std::lround(seconds));
    char length[32];
    std::snprintf(length, sizeof length, "Length %d:%02d", rounded / 60, rounded % 60);
    bool found = false;
    for (const std::string &l : t.desc) found = found || l == length;
    EXPECT_TRUE(found) << "no line \"" << length << "\"";
  }
}

TEST_F(ComposeTest, EverySongPlaysOnceToItsEndNeitherSilentNorClipped) {
  ASSERT_EQ(sStatus, 0);
  ASSERT_GE(sTracks.size(), 5u);
  for (const DiskTrack &t : sTracks) {
    SCOPED_TRACE(t.desc[0]);
    std::ostringstream log;
    openmpt::module mod(t.module.data(), t.module.size(), log);
    double duration = mod.get_duration_seconds();
    std::vector<int16_t> second(2 * kRate);
    int seconds = 0, quietRun = 0, longestQuiet = 0, clippedSeconds = 0, lastOrder = 0;
    double loudest = 0;
    for (;;) {
      size_t n = 0;
      while (n < static_cast<size_t>(kRate)) {
        size_t got = mod.read_interleaved_stereo(kRate, kRate - n, second.data() + 2 * n);
        if (got == 0) break;
        n += got;
        lastOrder = std::max(lastOrder, mod.get_current_order());
      }
      if (n == 0) break;
      double sum = 0;
      int clipped = 0;
      for (size_t i = 0; i < 2 * n; i++) {
        sum += double(second[i]) * second[i];
        clipped += second[i] >= 32767 || second[i] <= -32768;
      }
      double rms = std::sqrt(sum / double(2 * n)) / 32768.0;
      loudest = std::max(loudest, rms);
      // The last second of a fade-out may be short and quiet; everything else must carry music.
      if (n == static_cast<size_t>(kRate)) {
        quietRun = rms < 0.005 ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
      }
      clippedSeconds += clipped > 10;
      seconds++;
      if (seconds > 200) break;
    }
    EXPECT_NEAR(seconds, duration, 1.5) << "the song stops at its end instead of looping";
    EXPECT_EQ(lastOrder, mod.get_num_orders() - 1) << "the song runs through its whole order list";
    EXPECT_LE(longestQuiet, 3);
    EXPECT_LE(clippedSeconds, 2);
    EXPECT_GT(loudest, 0.05);
  }
}

TEST(Compose, TwoRunsWriteIdenticalFiles) {
  ScopedTempDir dir;
  ASSERT_EQ(RunCompose("one"), 0);
  ASSERT_EQ(RunCompose("two"), 0);
  int bare = 0;
  std::vector<std::string> list = SplitLines(ReadWholeFile("one/data/mods.dat"), &bare);
  ASSERT_GE(list.size(), 6u);
  std::vector<std::string> files = {"data/mods.dat"};
  for (size_t i = 1; i < list.size(); i++) {
    files.push_back(list[i]);
    files.push_back(SplitLines(ReadWholeFile("one/" + list[i]), &bare)[0]);
  }
  for (const std::string &f : files) {
    SCOPED_TRACE(f);
    std::string a = ReadWholeFile("one/" + f);
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == ReadWholeFile("two/" + f));
  }
}

TEST(Compose, RefusesMissingArgumentsAndUnwritableFolders) {
  ScopedTempDir dir;
  EXPECT_EQ(RunCompose(""), 2);
  WriteWholeFile("plainfile", "x");
  EXPECT_EQ(RunCompose("plainfile"), 1);
  EXPECT_EQ(RunCompose("plainfile/disk"), 1);
}
