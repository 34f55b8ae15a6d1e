// The disk's pictures and archive as the build leaves them: every member present and decodable at the
// size the program needs, the GIFs inside the program's decoder subset, the panel's button art over the
// player screen's rectangles, the track list readable, and the same bytes from build to build.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <map>
#include <string>
#include <vector>

#include "archive/archive.h"
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

std::string BinaryDir() { return TUNEMILL_BINARY_DIR; }
std::string SourceDir() { return TUNEMILL_SOURCE_DIR; }

std::string DiskDir() { return BinaryDir() + "/data/disk"; }

int RunTool(const std::string &command) { return system((command + " > /dev/null").c_str()); }

// ---------------------------------------------------------------------------------------------------------
// Decoding through the program's own decoders into packed RGB

struct Decoded {
  bool ok = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;      // 3 bytes per pixel, top row first
  std::vector<uint8_t> indices;  // GIF only: the palette index of every pixel

  double Luma(int x, int y) const {
    const uint8_t *p = &rgb[(size_t(y) * width + x) * 3];
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
  }
};

const unsigned char *Bytes(const std::string &s) { return reinterpret_cast<const unsigned char *>(s.data()); }

Decoded FromImage(const IMAGE &image) {
  Decoded d;
  d.ok = true;
  d.width = image.Width;
  d.height = image.Height;
  const uint32_t *pixels = static_cast<const uint32_t *>(image.Pixels);
  for (size_t i = 0; i < size_t(d.width) * d.height; i++) {
    d.rgb.push_back(uint8_t(pixels[i] >> 16));
    d.rgb.push_back(uint8_t(pixels[i] >> 8));
    d.rgb.push_back(uint8_t(pixels[i]));
  }
  TrackedFree(image.Pixels, __LINE__, "artgen_test");
  return d;
}

Decoded DecodeByName(const std::string &name, const std::string &bytes) {
  IMAGE image = {0, 0, nullptr};
  const std::string ext = name.substr(name.size() - 4);
  if (ext == ".jpg") return DecodeJPEG(Bytes(bytes), bytes.size(), &image) ? FromImage(image) : Decoded();
  if (ext == ".png") return DecodePNG(Bytes(bytes), bytes.size(), &image) ? FromImage(image) : Decoded();
  unsigned char palette[768];
  if (!DecodeGIF(Bytes(bytes), bytes.size(), &image, palette)) return Decoded();
  Decoded d;
  d.ok = true;
  d.width = image.Width;
  d.height = image.Height;
  const uint8_t *indices = static_cast<const uint8_t *>(image.Pixels);
  d.indices.assign(indices, indices + size_t(d.width) * d.height);
  for (uint8_t k : d.indices) d.rgb.insert(d.rgb.end(), palette + k * 3, palette + k * 3 + 3);
  TrackedFree(image.Pixels, __LINE__, "artgen_test");
  return d;
}

Decoded DecodeFile(const std::string &name) { return DecodeByName(name, ReadWholeFile(DiskDir() + "/" + name)); }

// giflib's reading of the same file, to cross-check the program's decoder against the encoder's library.
struct GifReader {
  const std::string *bytes;
  size_t position;
};

int ReadGifBytes(GifFileType *gif, GifByteType *out, int count) {
  GifReader *r = static_cast<GifReader *>(gif->UserData);
  const size_t n = std::min(size_t(count), r->bytes->size() - r->position);
  memcpy(out, r->bytes->data() + r->position, n);
  r->position += n;
  return int(n);
}

std::vector<uint8_t> GiflibIndices(const std::string &bytes) {
  std::vector<uint8_t> indices;
  GifReader reader = {&bytes, 0};
  int error = 0;
  GifFileType *gif = DGifOpen(&reader, ReadGifBytes, &error);
  if (!gif) return indices;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1) {
    const SavedImage &image = gif->SavedImages[0];
    indices.assign(image.RasterBits, image.RasterBits + size_t(image.ImageDesc.Width) * image.ImageDesc.Height);
  }
  DGifCloseFile(gif, &error);
  return indices;
}

bool PowerOfTwo(int v) { return v >= 2 && v <= 1024 && (v & (v - 1)) == 0; }

// ---------------------------------------------------------------------------------------------------------
// The archive, read through the program's own archive core

void *TestAllocate(size_t size, int, const char *) { return calloc(1, size); }
void TestRelease(void *p, int, const char *) { free(p); }
const RESOURCE_MEMORY kTestMemory = {TestAllocate, TestRelease};

class Archive {
 public:
  explicit Archive(const std::string &path) : file_(OpenResourceFile(path.c_str())) {
    if (file_) status_ = ScanResource(file_, &list_, kTestMemory);
  }
  ~Archive() {
    FreeResourceList(&list_, kTestMemory);
    if (file_) fclose(file_);
  }
  bool Ok() const { return file_ && status_ == RESOURCE_OK; }
  bool Has(const char *name) const { return FindResource(list_, name) != nullptr; }
  // The member's contents; false when it is missing or does not decode.
  bool Read(const char *name, std::string *out) const {
    const RESOURCE_ENTRY *e = FindResource(list_, name);
    if (!e) return false;
    char *buffer = nullptr;
    size_t size = 0;
    FILE *mem = open_memstream(&buffer, &size);
    const RESOURCE_STATUS s = ExtractResource(file_, e, mem, kTestMemory);
    fclose(mem);
    out->assign(buffer, size);
    free(buffer);
    return s == RESOURCE_OK;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const RESOURCE_ENTRY *e = list_; e; e = e->next) names.push_back(e->name);
    return names;
  }

 private:
  FILE *file_;
  RESOURCE_STATUS status_ = RESOURCE_FORMAT_ERROR;
  RESOURCE_ENTRY *list_ = nullptr;
};

// ---------------------------------------------------------------------------------------------------------

TEST(ArtgenPictures, EveryPictureDecodesAtItsSize) {
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
  for (const Member &m : kPictures) {
    SCOPED_TRACE(m.name);
    ASSERT_TRUE(FileExists(DiskDir() + "/" + m.name)) << "the disk build has not run";
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

// The program's GIF decoder reads a fixed subset: the image descriptor right after the global colour
// table, no local table, no interlace, a minimum code size from 2 to 9.
TEST(ArtgenPictures, GifsStayInsideTheDecoderSubset) {
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
  for (const char *name : {"data/font.gif", "data/scrler.gif"}) {
    SCOPED_TRACE(name);
    const std::string b = ReadWholeFile(DiskDir() + "/" + name);
    ASSERT_GT(b.size(), 13u + 768 + 11);
    EXPECT_EQ(b.substr(0, 3), "GIF");
    const size_t tableEntries = size_t(2) << (uint8_t(b[10]) & 7);
    EXPECT_EQ(tableEntries, 256u);
    const size_t p = 13 + 3 * tableEntries;
    EXPECT_EQ(uint8_t(b[p]), 0x2c) << "something other than the image descriptor follows the colour table";
    EXPECT_EQ(uint8_t(b[p + 9]) & 0xc0, 0) << "local colour table or interlace";
    EXPECT_GE(uint8_t(b[p + 10]), 2);
    EXPECT_LE(uint8_t(b[p + 10]), 9);
    // The program's decoder and giflib read the same indices.
    const Decoded d = DecodeByName(name, b);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.indices == GiflibIndices(b));
  }
}

// Textures that repeat across a surface meet themselves at the edges without a visible seam: the step
// from the last column to the first (and the last row to the first) is no larger than the picture's
// ordinary steps between neighbours.
TEST(ArtgenPictures, RepeatingTexturesAreSeamless) {
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
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
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
  const Decoded font = DecodeFile("data/font.gif");
  ASSERT_TRUE(font.ok);
  const std::vector<uint8_t> &indices = font.indices;
  auto ink = [&](int code, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = (code / 16) * 16 + y0; y < (code / 16) * 16 + y1; y++) {
      for (int x = (code % 16) * 16 + x0; x < (code % 16) * 16 + x1; x++) count += font.Luma(x, y) > 0 ? 1 : 0;
    }
    return count;
  };
  for (int code = 0; code < 256; code++) {
    SCOPED_TRACE(code);
    const bool printable = (code > 32 && code < 127) || (code > 160 && code != 173);
    if (printable) {
      EXPECT_GE(ink(code, 0, 0, 16, 16), 4);
    } else if (code != 173) {
      EXPECT_EQ(ink(code, 0, 0, 16, 16), 0);
    }
    // The last column and row of every cell stay clear, so filtering never pulls in a neighbour.
    EXPECT_EQ(ink(code, 15, 0, 16, 16), 0);
    EXPECT_EQ(ink(code, 0, 15, 16, 16), 0);
  }
  // Glyphs are bright: the brightest texel of "M" is white.
  double brightest = 0;
  for (int y = 64; y < 80; y++) {
    for (int x = 13 * 16; x < 14 * 16; x++) brightest = std::max(brightest, font.Luma(x, y));
  }
  EXPECT_GT(brightest, 250);
  // "1" and "l" differ, as do "0" and "O".
  auto cell = [&](int code) {
    std::vector<uint8_t> v;
    for (int y = 0; y < 16; y++) {
      for (int x = 0; x < 16; x++) v.push_back(indices[size_t((code / 16) * 16 + y) * 256 + (code % 16) * 16 + x]);
    }
    return v;
  };
  EXPECT_NE(cell('1'), cell('l'));
  EXPECT_NE(cell('0'), cell('O'));
}

struct Rect {
  const char *role;
  int x0, y0, x1, y1;  // panel units, right and bottom edges excluded
};

// The player screen's buttons, and the slider's track under the knob's travel.
const Rect kButtons[] = {
    {"next", 407, 291, 495, 324},      {"previous", 311, 291, 383, 324}, {"step back", 311, 349, 321, 360},
    {"step forward", 482, 349, 491, 360}, {"minimise", 469, 1, 481, 16},  {"spare", 483, 1, 495, 16},
    {"close", 497, 1, 509, 16},        {"scene", 291, 390, 310, 414},    {"slider track", 321, 349, 482, 360},
};

// Mean brightness of the panel-unit rectangle, and of a band `margin` units wide around it.
void InsideAndAround(const Decoded &d, const Rect &r, int margin, double *inside, double *around) {
  const double k = d.width / 512.0;
  double in = 0, out = 0;
  int nIn = 0, nOut = 0;
  for (int y = int((r.y0 - margin) * k); y < int((r.y1 + margin) * k); y++) {
    for (int x = int((r.x0 - margin) * k); x < int((r.x1 + margin) * k); x++) {
      if (x < 0 || y < 0 || x >= d.width || y >= d.height) continue;
      const bool isIn = x >= r.x0 * k && x < r.x1 * k && y >= r.y0 * k && y < r.y1 * k;
      (isIn ? in : out) += d.Luma(x, y);
      (isIn ? nIn : nOut)++;
    }
  }
  *inside = in / nIn;
  *around = out / nOut;
}

TEST(ArtgenPanels, ButtonArtLiesOverEveryButtonRectangle) {
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
  for (const char *name : {"data/panel1.jpg", "data/panel5.jpg"}) {
    const Decoded d = DecodeFile(name);
    ASSERT_TRUE(d.ok);
    for (const Rect &r : kButtons) {
      SCOPED_TRACE(std::string(name) + " " + r.role);
      double inside, around;
      InsideAndAround(d, r, 3, &inside, &around);
      EXPECT_GT(std::fabs(inside - around), 12.0) << "inside " << inside << ", around " << around;
      // The art sits on the rectangle, not beside it: shifted by half its size the contrast drops.
      const int dx = (r.x1 - r.x0) / 2;
      const Rect shifted = {r.role, r.x0 + dx, r.y0, r.x1 + dx, r.y1};
      double sInside, sAround;
      InsideAndAround(d, shifted, 3, &sInside, &sAround);
      EXPECT_GT(std::fabs(inside - around), std::fabs(sInside - sAround));
    }
  }
}

TEST(ArtgenPanels, SceneAreaIsDarkAndTheTwoPanelsDiffer) {
  ScopedTempDir workdir;  // the decoders write the program's log into the working folder
  const Decoded a = DecodeFile("data/panel1.jpg");
  const Decoded b = DecodeFile("data/panel5.jpg");
  ASSERT_TRUE(a.ok && b.ok);
  const double k = a.width / 512.0;
  double sumA = 0, maxA = 0, diff = 0;
  int n = 0;
  for (int y = int(40 * k); y < int(410 * k); y++) {
    for (int x = int(20 * k); x < int(280 * k); x++) {
      sumA += a.Luma(x, y);
      maxA = std::max(maxA, a.Luma(x, y));
      n++;
    }
  }
  EXPECT_LT(sumA / n, 30.0);
  EXPECT_LT(maxA, 90.0);
  for (size_t i = 0; i < a.rgb.size(); i++) diff += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
  EXPECT_GT(diff / a.rgb.size(), 8.0) << "the cross-fade would show nothing";
}

TEST(ArtgenArchive, EveryPictureIsAnArchiveMemberWithTheDisksBytes) {
  Archive archive(BinaryDir() + "/tunemill.dat");
  ASSERT_TRUE(archive.Ok()) << "tunemill.dat is missing or damaged";
  for (const Member &m : kPictures) {
    SCOPED_TRACE(m.name);
    std::string bytes;
    ASSERT_TRUE(archive.Read(m.name, &bytes));
    EXPECT_EQ(bytes, ReadWholeFile(DiskDir() + "/" + m.name));
  }
}

// The README shows the contact sheet; it must be the one the current generator makes.
TEST(ArtgenPictures, ReadmeContactSheetIsCurrent) {
  const std::string built = ReadWholeFile(BinaryDir() + "/previews/contact-sheet.png");
  ASSERT_FALSE(built.empty());
  EXPECT_TRUE(built == ReadWholeFile(SourceDir() + "/docs/contact-sheet.png"))
      << "copy build/previews/contact-sheet.png to docs/";
}

#ifdef TUNEMILL_HAS_COMPOSE
// Lines end with CR LF; the parser drops the last two characters of every line.
std::vector<std::string> CrLfLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    EXPECT_NE(lf, std::string::npos) << "a line without its line end";
    if (lf == std::string::npos) break;
    EXPECT_TRUE(lf > start && text[lf - 1] == '\r') << "a line end without CR";
    lines.push_back(text.substr(start, lf - start - 1));
    start = lf + 1;
  }
  return lines;
}

TEST(ArtgenArchive, TrackListParses) {
  Archive archive(BinaryDir() + "/tunemill.dat");
  ASSERT_TRUE(archive.Ok());
  std::string list;
  ASSERT_TRUE(archive.Read("data/mods.dat", &list));
  const std::vector<std::string> lines = CrLfLines(list);
  ASSERT_FALSE(lines.empty());
  const long count = strtol(lines[0].c_str(), nullptr, 0);
  ASSERT_GE(count, 1);
  ASSERT_LE(count, 1024);
  ASSERT_GE(long(lines.size()), count + 1);
  for (long i = 1; i <= count; i++) {
    SCOPED_TRACE(lines[size_t(i)]);
    ASSERT_GT(lines[size_t(i)].size(), 1u);
    std::string description;
    ASSERT_TRUE(archive.Read(lines[size_t(i)].c_str(), &description));
    const std::vector<std::string> fields = CrLfLines(description);
    ASSERT_GE(fields.size(), 3u);
    EXPECT_LE(fields.size(), 8u);
    for (const std::string &f : fields) EXPECT_LE(f.size(), 127u);
    const std::string &module = fields[0];
    ASSERT_GT(module.size(), 3u);
    const char *tail = module.c_str() + module.size() - 3;
    EXPECT_TRUE(strcasecmp(tail, ".xm") == 0 || strcasecmp(tail, ".it") == 0) << module;
    EXPECT_TRUE(archive.Has(module.c_str())) << module;
  }
}
#endif

// Two runs of the whole disk build give the same bytes as the build's own archive.
TEST(ArtgenBuild, TwoBuildsGiveIdenticalBytes) {
  ScopedTempDir temp;
  const std::string artgen = BinaryDir() + "/artgen";
  for (const char *run : {"one", "two"}) {
    ASSERT_EQ(RunTool(artgen + " " + temp.path() + "/" + run), 0);
  }
  for (const Member &m : kPictures) {
    SCOPED_TRACE(m.name);
    const std::string one = ReadWholeFile(temp.path() + "/one/" + m.name);
    EXPECT_FALSE(one.empty());
    EXPECT_EQ(one, ReadWholeFile(temp.path() + "/two/" + m.name));
    EXPECT_EQ(one, ReadWholeFile(DiskDir() + "/" + m.name));
  }
#ifdef TUNEMILL_HAS_COMPOSE
  ASSERT_EQ(RunTool(BinaryDir() + "/compose " + temp.path() + "/one"), 0);
#endif
  ASSERT_EQ(RunTool(BinaryDir() + "/tmpack create " + temp.path() + "/again.dat --auto " + temp.path() + "/one"), 0);
  EXPECT_TRUE(ReadWholeFile(temp.path() + "/again.dat") == ReadWholeFile(BinaryDir() + "/tunemill.dat"));
}

}  // namespace
