// The disk's pictures and archive as the build leaves them: every member present and decodable at the
// size the program needs, the panel's button art over the player screen's rectangles, the track list
// readable, and the same bytes from build to build.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "director/modinfo.h"
#include "graphics/decoders.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

struct Member {
  const char *name;
  int width;
  int height;
};

// Every picture the program loads, with the size it is drawn at.
const Member kPictures[] = {
    {"data/font.gif", 256, 256},    {"data/panel1.jpg", 1024, 1024}, {"data/panel5.jpg", 1024, 1024},
    {"data/begcv0.jpg", 1024, 1024}, {"data/begcv1.jpg", 1024, 1024}, {"data/endcvr.jpg", 1024, 1024},
    {"data/theend.jpg", 1024, 1024}, {"data/scrler.gif", 64, 32},     {"data/marker.jpg", 256, 256},
    {"data/marker2.jpg", 256, 256},  {"data/meta1.jpg", 256, 256},    {"data/meta2.jpg", 256, 256},
    {"data/parts.png", 64, 64},      {"data/sbar.jpg", 64, 128},      {"data/tack1b.jpg", 256, 256},
    {"data/tack1e.jpg", 256, 256},   {"data/tack2b.jpg", 256, 256},   {"data/tack2e.jpg", 256, 256},
    {"data/tk1.jpg", 256, 256},      {"data/tk2.jpg", 256, 256},
};

const std::string kBinaryDir = TUNEMILL_BINARY_DIR;
const std::string kDiskDir = kBinaryDir + "/data/disk";
const std::string kArchive = kBinaryDir + "/tunemill.dat";

int RunTool(const std::string &command) { return system((command + " > /dev/null").c_str()); }

// Packed RGB, top row first.
struct Decoded {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  double Luma(int x, int y) const {
    const uint8_t *p = &rgb[(size_t(y) * width + x) * 3];
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
  }
};

// A picture of the disk folder, decoded by the program's own decoders.
Decoded DecodeFile(const std::string &name) {
  const std::string bytes = ReadWholeFile(kDiskDir + "/" + name);
  IMAGE image = {0, 0, nullptr};
  unsigned char palette[768];
  const unsigned char *data = reinterpret_cast<const unsigned char *>(bytes.data());
  const std::string ext = name.substr(name.size() - 4);
  const bool gif = ext == ".gif";
  Decoded d;
  d.ok = ext == ".jpg"  ? DecodeJPEG(data, bytes.size(), &image)
         : ext == ".png" ? DecodePNG(data, bytes.size(), &image)
                         : DecodeGIF(data, bytes.size(), &image, palette);
  if (!d.ok) return d;
  d.width = image.Width;
  d.height = image.Height;
  for (size_t i = 0; i < size_t(d.width) * d.height; i++) {
    if (gif) {
      const unsigned char *c = palette + 3 * static_cast<const uint8_t *>(image.Pixels)[i];
      d.rgb.insert(d.rgb.end(), c, c + 3);
    } else {
      const uint32_t pixel = static_cast<const uint32_t *>(image.Pixels)[i];
      d.rgb.insert(d.rgb.end(), {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel)});
    }
  }
  TrackedFree(image.Pixels, __LINE__, "artgen_test");
  return d;
}

bool PowerOfTwo(int v) { return v >= 2 && v <= 1024 && (v & (v - 1)) == 0; }

}  // namespace

// The program's own extraction reads every picture with the bytes the generator wrote, and its decoders
// read them at the size they are drawn at; its own parser reads the track list, whose every module is a
// member named as the player's probe expects.
TEST(ArtgenArchive, EveryPictureAndTheTrackListAreReadByTheProgram) {
  ScopedTempDir workdir;  // the temporary files and the log land here
  ChildResult child = RunChild([] {
    gResourceFileName = kArchive.c_str();
    OpenResource();
    for (const Member &m : kPictures) {
      char *path = ExtractFile(m.name);
      if (ReadWholeFile(path) != ReadWholeFile(kDiskDir + "/" + m.name)) printf("%s differs\n", m.name);
      ReleaseFile(path);
    }
    ParseModInfos();
    for (uint32_t i = 0; i < ModCount; i++) {
      ReleaseFile(ExtractFile(ModInfos[i].ModFile));
      printf("track %s\n", ModInfos[i].ModFile);
    }
  });
  ASSERT_EQ(child.exitCode, 99) << child.out << child.err;
  std::istringstream lines(child.out);
  int tracks = 0;
  for (std::string line; std::getline(lines, line); tracks++) {
    ASSERT_EQ(line.rfind("track ", 0), 0u) << line;
    const char *tail = line.c_str() + line.size() - 3;
    EXPECT_TRUE(strcasecmp(tail, ".xm") == 0 || strcasecmp(tail, ".it") == 0) << line;
  }
  EXPECT_GE(tracks, 1);

  for (const Member &m : kPictures) {
    SCOPED_TRACE(m.name);
    const Decoded d = DecodeFile(m.name);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, m.width);
    EXPECT_EQ(d.height, m.height);
    EXPECT_TRUE(PowerOfTwo(d.width) && PowerOfTwo(d.height));
    // Not a blank picture: some spread of brightness.
    double sum = 0, sum2 = 0;
    for (int y = 0; y < d.height; y++) {
      for (int x = 0; x < d.width; x++) {
        sum += d.Luma(x, y);
        sum2 += d.Luma(x, y) * d.Luma(x, y);
      }
    }
    const double n = double(d.width) * d.height;
    EXPECT_GT(std::sqrt(sum2 / n - (sum / n) * (sum / n)), 8.0);
  }
}

// Textures that repeat across a surface meet themselves at the edges without a visible seam: the step
// from the last column to the first (and the last row to the first) is no larger than the picture's
// ordinary steps between neighbours.
TEST(ArtgenPictures, RepeatingTexturesAreSeamless) {
  ScopedTempDir workdir;
  for (const char *name : {"data/marker.jpg", "data/marker2.jpg", "data/meta1.jpg", "data/tack1b.jpg",
                           "data/tack2b.jpg", "data/tk2.jpg"}) {
    SCOPED_TRACE(name);
    const Decoded d = DecodeFile(name);
    ASSERT_TRUE(d.ok);
    auto step = [&](int x0, int y0, int x1, int y1) { return std::fabs(d.Luma(x0, y0) - d.Luma(x1, y1)); };
    double inner = 0, wrapX = 0, wrapY = 0;
    for (int y = 0; y < d.height; y++) {
      for (int x = 0; x + 1 < d.width; x++) inner += step(x, y, x + 1, y);
      wrapX += step(d.width - 1, y, 0, y);
    }
    for (int x = 0; x < d.width; x++) wrapY += step(x, d.height - 1, x, 0);
    inner /= double(d.width - 1) * d.height;
    EXPECT_LT(wrapX / d.height, inner * 2.5 + 1.0);
    EXPECT_LT(wrapY / d.width, inner * 2.5 + 1.0);
  }
}

// Cell of code c: column c % 16, row c / 16, 16 x 16 texels; black is the transparent colour key.
TEST(ArtgenPictures, FontHasEveryPrintableGlyphInItsCell) {
  ScopedTempDir workdir;
  const Decoded font = DecodeFile("data/font.gif");
  ASSERT_TRUE(font.ok);
  auto ink = [&](int code, int x0, int y0) {
    int count = 0;
    for (int y = (code / 16) * 16 + y0; y < (code / 16) * 16 + 16; y++) {
      for (int x = (code % 16) * 16 + x0; x < (code % 16) * 16 + 16; x++) count += font.Luma(x, y) > 0;
    }
    return count;
  };
  for (int code = 0; code < 256; code++) {
    SCOPED_TRACE(code);
    const bool printable = (code > 32 && code < 127) || (code > 160 && code != 173);
    if (printable) {
      EXPECT_GE(ink(code, 0, 0), 4);
    } else if (code != 173) {
      EXPECT_EQ(ink(code, 0, 0), 0);
    }
    // The last column and row of every cell stay clear, so filtering never pulls in a neighbour.
    EXPECT_EQ(ink(code, 15, 0) + ink(code, 0, 15), 0);
  }
  // Glyphs are bright: the brightest texel of "M" is white.
  double brightest = 0;
  for (int y = 64; y < 80; y++) {
    for (int x = 13 * 16; x < 14 * 16; x++) brightest = std::max(brightest, font.Luma(x, y));
  }
  EXPECT_GT(brightest, 250);
}

struct Rect {
  const char *role;
  int x0, y0, x1, y1;  // panel units, right and bottom edges excluded
};

// Mean brightness of the panel-unit rectangle, minus that of a band 3 units wide around it.
double Contrast(const Decoded &d, const Rect &r) {
  const double k = d.width / 512.0;
  double in = 0, out = 0;
  int nIn = 0, nOut = 0;
  for (int y = std::max(0, int((r.y0 - 3) * k)); y < std::min(d.height, int((r.y1 + 3) * k)); y++) {
    for (int x = std::max(0, int((r.x0 - 3) * k)); x < std::min(d.width, int((r.x1 + 3) * k)); x++) {
      const bool isIn = x >= r.x0 * k && x < r.x1 * k && y >= r.y0 * k && y < r.y1 * k;
      (isIn ? in : out) += d.Luma(x, y);
      (isIn ? nIn : nOut)++;
    }
  }
  return in / nIn - out / nOut;
}

TEST(ArtgenPanels, ButtonArtOverEveryButtonRectangleAndADarkSceneArea) {
  // The player screen's buttons, and the slider's track under the knob's travel.
  const Rect buttons[] = {
      {"next", 407, 291, 495, 324},         {"previous", 311, 291, 383, 324}, {"step back", 311, 349, 321, 360},
      {"step forward", 482, 349, 491, 360}, {"minimise", 469, 1, 481, 16},    {"spare", 483, 1, 495, 16},
      {"close", 497, 1, 509, 16},           {"scene", 291, 390, 310, 414},    {"slider track", 321, 349, 482, 360},
  };
  ScopedTempDir workdir;
  const Decoded panels[2] = {DecodeFile("data/panel1.jpg"), DecodeFile("data/panel5.jpg")};
  for (const Decoded &d : panels) {
    ASSERT_TRUE(d.ok);
    for (const Rect &r : buttons) {
      SCOPED_TRACE(std::string(&d == panels ? "panel1 " : "panel5 ") + r.role);
      const double contrast = std::fabs(Contrast(d, r));
      EXPECT_GT(contrast, 12.0);
      // The art sits on the rectangle, not beside it: shifted by half its size the contrast drops.
      const int dx = (r.x1 - r.x0) / 2;
      EXPECT_GT(contrast, std::fabs(Contrast(d, {r.role, r.x0 + dx, r.y0, r.x1 + dx, r.y1})));
    }
  }
  // The scene area is calm and dark; the two panels differ, or the cross-fade would show nothing.
  const double k = panels[0].width / 512.0;
  double sum = 0, brightest = 0, diff = 0;
  int n = 0;
  for (int y = int(40 * k); y < int(410 * k); y++) {
    for (int x = int(20 * k); x < int(280 * k); x++, n++) {
      sum += panels[0].Luma(x, y);
      brightest = std::max(brightest, panels[0].Luma(x, y));
    }
  }
  EXPECT_LT(sum / n, 30.0);
  EXPECT_LT(brightest, 90.0);
  for (size_t i = 0; i < panels[0].rgb.size(); i++) diff += std::abs(int(panels[0].rgb[i]) - int(panels[1].rgb[i]));
  EXPECT_GT(diff / panels[0].rgb.size(), 8.0);
}

// The README shows the contact sheet; it must be the one the current generator makes.
TEST(ArtgenPictures, ReadmeContactSheetIsCurrent) {
  const std::string built = ReadWholeFile(kBinaryDir + "/previews/contact-sheet.png");
  ASSERT_FALSE(built.empty());
  EXPECT_TRUE(built == ReadWholeFile(std::string(TUNEMILL_SOURCE_DIR) + "/docs/contact-sheet.png"))
      << "copy build/previews/contact-sheet.png to docs/";
}

// Two runs of the whole disk build give the same bytes as the build's own archive.
TEST(ArtgenBuild, TwoBuildsGiveIdenticalBytes) {
  ScopedTempDir temp;
  for (const char *run : {"one", "two"}) ASSERT_EQ(RunTool(kBinaryDir + "/artgen " + temp.path() + "/" + run), 0);
  for (const Member &m : kPictures) {
    SCOPED_TRACE(m.name);
    const std::string one = ReadWholeFile(temp.path() + "/one/" + m.name);
    EXPECT_FALSE(one.empty());
    EXPECT_EQ(one, ReadWholeFile(temp.path() + "/two/" + m.name));
    EXPECT_EQ(one, ReadWholeFile(kDiskDir + "/" + m.name));
  }
  ASSERT_EQ(RunTool(kBinaryDir + "/compose " + temp.path() + "/one"), 0);
  ASSERT_EQ(RunTool(kBinaryDir + "/tmpack create " + temp.path() + "/again.dat --auto " + temp.path() + "/one"), 0);
  EXPECT_TRUE(ReadWholeFile(temp.path() + "/again.dat") == ReadWholeFile(kArchive));
}
