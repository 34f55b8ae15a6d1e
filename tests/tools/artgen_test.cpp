// The disk's pictures as the build leaves them, read by the program's own code: every member at the size
// the program needs and not blank, the font's glyphs in their cells, the panel's button art on the player
// screen's rectangles, the README's contact sheet, the same pictures from build to build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "director/modinfo.h"
#include "graphics/decoders.h"
#include "program.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

// Every picture the program loads, with the size it is drawn at.
const struct {
  const char *name;
  int width, height;
} kPictures[] = {
    {"data/font.gif", 256, 256},    {"data/panel1.jpg", 1024, 1024}, {"data/panel5.jpg", 1024, 1024},
    {"data/begcv0.jpg", 1024, 1024}, {"data/begcv1.jpg", 1024, 1024}, {"data/endcvr.jpg", 1024, 1024},
    {"data/theend.jpg", 1024, 1024}, {"data/scrler.gif", 64, 32},     {"data/marker.jpg", 256, 256},
    {"data/marker2.jpg", 256, 256},  {"data/meta1.jpg", 256, 256},    {"data/meta2.jpg", 256, 256},
    {"data/parts.png", 64, 64},      {"data/sbar.jpg", 64, 128},      {"data/tack1b.jpg", 256, 256},
    {"data/tack1e.jpg", 256, 256},   {"data/tack2b.jpg", 256, 256},   {"data/tack2e.jpg", 256, 256},
    {"data/tk1.jpg", 256, 256},      {"data/tk2.jpg", 256, 256},
};
const std::string kDisk = BinaryDir() + "/data/disk/";

// Brightness per pixel, top row first, and the 0xRRGGBB colours.
struct LUMA {
  int width = 0, height = 0;
  std::vector<double> at;
  std::vector<uint32_t> rgb;
  double operator()(int x, int y) const { return at[(size_t)y * width + x]; }
};

// A picture file decoded by the program's decoders (GIF indices through their palette).
LUMA Decode(const std::string &path) {
  const std::string bytes = ReadWholeFile(path);
  const unsigned char *data = (const unsigned char *)bytes.data();
  IMAGE image = {0, 0, nullptr};
  unsigned char palette[768];
  const std::string ext = path.substr(path.size() - 4);
  LUMA l;
  if (!(ext == ".gif"   ? DecodeGIF(data, bytes.size(), &image, palette)
        : ext == ".png" ? DecodePNG(data, bytes.size(), &image)
                        : DecodeJPEG(data, bytes.size(), &image)))
    return l;
  l.width = image.Width, l.height = image.Height;
  for (int i = 0; i < l.width * l.height; i++) {
    const uint32_t p = ext == ".gif" ? (uint32_t)(palette[3 * ((uint8_t *)image.Pixels)[i]] << 16 |
                                                  palette[3 * ((uint8_t *)image.Pixels)[i] + 1] << 8 |
                                                  palette[3 * ((uint8_t *)image.Pixels)[i] + 2])
                                     : ((uint32_t *)image.Pixels)[i];
    l.at.push_back(0.299 * (p >> 16 & 0xFF) + 0.587 * (p >> 8 & 0xFF) + 0.114 * (p & 0xFF));
    l.rgb.push_back(p);
  }
  TrackedFree(image.Pixels, __LINE__, "artgen_test");
  return l;
}

// The program's own extraction reads every picture with the bytes the generator wrote and its parser reads
// the track list, whose every module is a member; its decoders read each picture at its size, not blank.
TEST(ArtgenDisk, EveryPictureAndTheTrackListAreReadByTheProgram) {
  ScopedTempDir workdir;  // the temporary files and the log land here
  const std::string archive = BinaryDir() + "/tunemill.dat";
  ChildResult child = RunChild([&] {
    gResourceFileName = archive.c_str();
    OpenResource();
    for (const auto &m : kPictures) {
      char *path = ExtractFile(m.name);
      if (ReadWholeFile(path) != ReadWholeFile(kDisk + m.name)) printf("%s differs\n", m.name);
      ReleaseFile(path);
    }
    ParseModInfos();
    for (uint32_t i = 0; i < ModCount; i++) ReleaseFile(ExtractFile(ModInfos[i].ModFile));
    printf("%u tracks", ModCount);
  });
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  EXPECT_EQ(child.out.find(" differs"), std::string::npos) << child.out;
  EXPECT_EQ(child.out.rfind(" tracks"), child.out.size() - 7) << child.out;
  for (const auto &m : kPictures) {
    const LUMA l = Decode(kDisk + m.name);
    EXPECT_EQ(l.width * 10000 + l.height, m.width * 10000 + m.height) << m.name;
    double sum = 0, squares = 0;
    for (double v : l.at) sum += v, squares += v * v;
    const double n = (double)l.at.size();
    EXPECT_GT(std::sqrt(squares / n - sum / n * sum / n), 8.0) << m.name << " has some spread of brightness";
  }
}

// Cell of code c: column c % 16, row c / 16, 16 x 16 texels; black is the transparent colour key. The last
// column and row of every cell stay clear, so filtering never pulls in a neighbour.
TEST(ArtgenPictures, FontHasEveryPrintableGlyphInItsCellAndBrightInk) {
  const LUMA font = Decode(kDisk + "data/font.gif");
  ASSERT_EQ(font.width, 256);
  double brightest = 0;
  for (int code = 0; code < 256; code++) {
    int ink = 0, edge = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++) {
        const double v = font((code % 16) * 16 + x, (code / 16) * 16 + y);
        ink += v > 0, edge += v > 0 && (x == 15 || y == 15);
        if (code == 'M') brightest = std::max(brightest, v);
      }
    const bool printable = (code > 32 && code < 127) || (code > 160 && code != 173);
    if (code != 173) {
      EXPECT_TRUE(printable ? ink >= 4 : ink == 0) << code;
    }
    EXPECT_EQ(edge, 0) << code;
  }
  EXPECT_GT(brightest, 250);
}

// Mean brightness of a panel-unit rectangle (right and bottom edges excluded), minus that of a band 3 units
// wide around it.
double Contrast(const LUMA &l, int x0, int y0, int x1, int y1) {
  const double k = l.width / 512.0;
  double in = 0, out = 0;
  int nIn = 0, nOut = 0;
  for (int y = std::max(0, int((y0 - 3) * k)); y < std::min(l.height, int((y1 + 3) * k)); y++)
    for (int x = std::max(0, int((x0 - 3) * k)); x < std::min(l.width, int((x1 + 3) * k)); x++) {
      const bool inside = x >= x0 * k && x < x1 * k && y >= y0 * k && y < y1 * k;
      (inside ? in : out) += l(x, y), (inside ? nIn : nOut)++;
    }
  return in / nIn - out / nOut;
}

TEST(ArtgenPanels, ButtonArtOverEveryButtonRectangleAndADarkSceneArea) {
  // The player screen's buttons, and the slider's track under the knob's travel.
  const int buttons[][4] = {{407, 291, 495, 324}, {311, 291, 383, 324}, {311, 349, 321, 360}, {482, 349, 491, 360},
                            {469, 1, 481, 16},    {483, 1, 495, 16},    {497, 1, 509, 16},    {291, 390, 310, 414},
                            {321, 349, 482, 360}};
  const LUMA panels[2] = {Decode(kDisk + "data/panel1.jpg"), Decode(kDisk + "data/panel5.jpg")};
  for (const LUMA &l : panels)
    for (const auto &b : buttons) {
      // The art sits on the rectangle, not beside it: shifted by half its size the contrast drops.
      const double contrast = std::fabs(Contrast(l, b[0], b[1], b[2], b[3])), dx = (b[2] - b[0]) / 2;
      EXPECT_GT(contrast, 12.0) << b[0] << ", " << b[1] << " of panel " << &l - panels;
      EXPECT_GT(contrast, std::fabs(Contrast(l, b[0] + dx, b[1], b[2] + dx, b[3]))) << b[0] << ", " << b[1];
    }
  // The scene area is calm and dark; the two panels differ, or the cross-fade would show nothing.
  const double k = panels[0].width / 512.0;
  double sum = 0, brightest = 0, difference = 0;
  int n = 0;
  for (int y = int(40 * k); y < int(410 * k); y++)
    for (int x = int(20 * k); x < int(280 * k); x++, n++)
      sum += panels[0](x, y), brightest = std::max(brightest, panels[0](x, y));
  for (size_t i = 0; i < panels[0].rgb.size(); i++)
    for (int shift : {0, 8, 16})
      difference += std::abs(int(panels[0].rgb[i] >> shift & 0xFF) - int(panels[1].rgb[i] >> shift & 0xFF));
  EXPECT_LT(sum / n, 30.0);
  EXPECT_LT(brightest, 90.0);
  EXPECT_GT(difference / 3 / (double)panels[0].rgb.size(), 8.0);
}

// The README shows the contact sheet, which must show what the current generator draws: same size, and the
// same picture up to what a font or Cairo release may change in the lettering's edges.
TEST(ArtgenPictures, ReadmeContactSheetShowsTheCurrentPictures) {
  const LUMA built = Decode(BinaryDir() + "/previews/contact-sheet.png");
  const LUMA shown = Decode(std::string(TUNEMILL_SOURCE_DIR) + "/docs/contact-sheet.png");
  ASSERT_EQ(built.width * 100000 + built.height, shown.width * 100000 + shown.height);
  double difference = 0;
  for (size_t i = 0; i < built.at.size(); i++) difference += std::fabs(built.at[i] - shown.at[i]);
  EXPECT_LT(difference / (double)built.at.size(), 2.0) << "copy build/previews/contact-sheet.png to docs/";
}

TEST(ArtgenBuild, TwoRunsGiveTheBuildsPicturesByteForByte) {
  ScopedTempDir temp;
  for (const char *run : {"one", "two"}) ASSERT_EQ(RunCommand(BinaryDir() + "/artgen " + run).exitCode, 0);
  for (const auto &m : kPictures) {
    const std::string one = ReadWholeFile(std::string("one/") + m.name);
    EXPECT_FALSE(one.empty()) << m.name;
    EXPECT_TRUE(one == ReadWholeFile(std::string("two/") + m.name) && one == ReadWholeFile(kDisk + m.name)) << m.name;
  }
}

}  // namespace
