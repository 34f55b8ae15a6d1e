// Texture loading on a real driver and context: the extension rules, the cache and its reference counts,
// the alpha rules, the size warning and the texels as they land in OpenGL.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "graphics/decoders.h"
#include "graphics/gldriver.h"
#include "gltestkit.h"
#include "picture_writers.h"
#include "shell/shell.h"
#include "support/misc.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

// Four texels in one row: black, white, mid grey (90, 120, 150) and pure red, in each format.
const std::vector<uint32_t> kFour = {0x000000, 0xFFFFFF, 0x5A7896, 0xFF0000};
const char *const kFourFiles[] = {"four.png", "four.gif", "four.bmp", "four.jpg"};

class TextureTest : public DriverSuite {
 protected:
  void SetUp() override {
    allocated_ = AllocTotal();
    WriteWholeFile("four.bmp", Bmp24(4, 1, kFour, false));
    WriteWholeFile("four.gif", GiflibGif(4, 1, {0, 1, 2, 3}, {0, 0, 0, 255, 255, 255, 0x5A, 0x78, 0x96, 255, 0, 0}, 2));
    std::vector<uint16_t> samples;
    for (uint32_t p : kFour)
      samples.insert(samples.end(), {(uint16_t)(p >> 16), (uint16_t)(p >> 8 & 0xFF), (uint16_t)(p & 0xFF)});
    WriteWholeFile("four.png", Png(4, 1, PNG_COLOR_TYPE_RGB, 8, samples));
    WriteWholeFile("four.jpg", Jpeg(4, 1, kFour, 3));
  }
  void TearDown() override {
    EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases what it loaded";
    EXPECT_EQ(AllocTotal(), allocated_);
  }
  static uint32_t Load(const std::string &name, int32_t alphaMode = ALPHA_CONSTANT, int32_t mipmap = 0,
                       int32_t wrap = 1, float alpha = 1.0f) {
    return GlDriver->LoadTexture(name.c_str(), alphaMode, mipmap, wrap, alpha);
  }
  static bool Logged(const std::string &line) { return ReadWholeFile("program.log").find(line) != std::string::npos; }
  ScopedTempDir dir_;
  int64_t allocated_ = 0;
};

TEST_F(TextureTest, ExtensionPicksTheLoaderByItsFirstFourCharacters) {
  WriteWholeFile("upper.JPG", Jpeg(16, 8, std::vector<uint32_t>(16 * 8, 0x336699), 3));
  fs::create_directory("data.set");
  for (auto copy : {std::make_pair("four.png", "four.pngx"), {"four.bmp", "FOUR.BMP"}, {"upper.JPG", "upper.jpeg"},
                    {"four.png", "data.set/four.png"}, {"four.png", "noextension"}, {"four.png", "four.txt"}})
    fs::copy_file(copy.first, copy.second);
  std::vector<uint32_t> loaded;
  for (const char *name : {"four.png", "four.pngx", "four.gif", "four.bmp", "FOUR.BMP", "upper.JPG"}) {
    loaded.push_back(Load(name));
    EXPECT_EQ(glIsTexture(loaded.back()), GL_TRUE) << name;
  }
  EXPECT_EQ(GlDriver->LastTextureWidth * 100 + GlDriver->LastTextureHeight, 16 * 100 + 8);
  for (const char *name : {"upper.jpeg", "data.set/four.png", "noextension", "four.txt", "missing.png", "missing.gif",
                           "missing.jpg", "missing.bmp"})
    EXPECT_EQ(Load(name), 0u) << name;
  // Every request is logged, the refused ones too.
  EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: upper.jpeg "));
  EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: data.set/four.png "));
  for (uint32_t bind : loaded) GlDriver->ReleaseTexture(bind);
}

TEST_F(TextureTest, CacheSharesPerNameAndOptionsAndDeletesWithTheLastReference) {
  uint32_t first = Load("four.gif", ALPHA_CONSTANT, 1);
  ASSERT_NE(first, 0u);
  fs::rename("four.gif", "kept.gif");  // a hit never reads the file again
  size_t logged = ReadWholeFile("program.log").size();
  EXPECT_EQ(Load("FOUR.gif", ALPHA_CONSTANT, 1), first);
  EXPECT_EQ(ReadWholeFile("program.log").substr(logged), "\n PROGRAM: -- Load texture: FOUR.gif ");
  EXPECT_EQ(GlDriver->TextureList->RefCount, 2);
  EXPECT_STREQ(GlDriver->TextureList->FileName, "four.gif");
  // Each other option set (alpha, mode, wrap, mipmap) has its own texture, appended to the list.
  fs::rename("kept.gif", "four.gif");
  std::vector<uint32_t> binds = {first, Load("four.gif", ALPHA_CONSTANT, 1, 1, 0.5f), Load("four.gif", ALPHA_COLORKEY, 1),
                                 Load("four.gif", ALPHA_CONSTANT, 1, 0), Load("four.gif", ALPHA_CONSTANT, 0)};
  std::vector<uint32_t> sorted = binds;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  int count = 0;
  for (TEXTURE_ENTRY *e = GlDriver->TextureList; e; e = e->Next) count++;
  EXPECT_EQ(count, 5);
  GlDriver->ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_TRUE);
  GlDriver->ReleaseTexture(12345);     // not in the list: nothing changes
  GlDriver->ReleaseTexture(binds[3]);  // from the middle of the list
  EXPECT_EQ(glIsTexture(binds[3]), GL_FALSE);
  GlDriver->ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_FALSE);
  EXPECT_EQ(GlDriver->TextureList->Bind, binds[1]);
  for (int i : {1, 2, 4}) GlDriver->ReleaseTexture(binds[i]);
}

TEST_F(TextureTest, AlphaRulesOnKnownTexels) {
  // Texels: black, white, grey (90, 120, 150: mean 120), red (mean 85). The PNG path scales luminance by
  // m x trunc(alpha x 255) / 256, so white at 0.5 gives 126 there and 127 elsewhere.
  const struct {
    int32_t mode;
    float alpha;
    uint8_t expected[4], png[4];
  } cases[] = {
      {ALPHA_CONSTANT, 1.0f, {255, 255, 255, 255}, {255, 255, 255, 255}},
      {ALPHA_CONSTANT, 0.5f, {127, 127, 127, 127}, {127, 127, 127, 127}},
      {ALPHA_COLORKEY, 1.0f, {0, 255, 255, 255}, {0, 255, 255, 255}},
      {ALPHA_COLORKEY, 0.2f, {0, 51, 51, 51}, {0, 51, 51, 51}},
      {ALPHA_LUMINANCE, 0.5f, {0, 127, 60, 42}, {0, 126, 59, 42}},
      {ALPHA_LUMINANCE, 1.0f, {0, 255, 120, 85}, {0, 254, 119, 84}},
      {7, 1.0f, {0, 255, 255, 255}, {0, 255, 255, 255}},  // any other mode is the colour key
  };
  for (const std::string name : {"four.gif", "four.bmp", "four.png"})
    for (auto &c : cases) {
      uint32_t bind = Load(name, c.mode, 0, 1, c.alpha);
      const FRAME t = ReadTexture(bind);
      ASSERT_EQ(t.Width * 10 + t.Height, 4 * 10 + 2);  // a height of 1 is rescaled to 2
      for (int x = 0; x < 4; x++) {
        EXPECT_EQ(t.At(x, 0)[0] << 16 | t.At(x, 0)[1] << 8 | t.At(x, 0)[2], (int)kFour[x]) << name;
        EXPECT_EQ(t.At(x, 0)[3], name == "four.png" ? c.png[x] : c.expected[x])
            << name << " mode " << c.mode << " alpha " << c.alpha << " x " << x;
      }
      GlDriver->ReleaseTexture(bind);
    }
  PngAlphaMode = 9;
  EXPECT_EQ(PngAlphaCallback(0, 0, 0), 255);
}

TEST_F(TextureTest, RefusedSizesAreRescaledWithAWarningAndTheSizeTheyAreReportedAt) {
  WriteWholeFile("wide.gif", GiflibGif(300, 200, std::vector<uint8_t>(300 * 200, 1), {0, 0, 0, 10, 20, 30}, 1));
  WriteWholeFile("wide.png", Png(300, 200, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(300 * 200 * 3, 200)));
  // The GIF path reports the uploaded size, the PNG path the file's; a cache hit leaves the last upload's.
  const std::pair<const char *, int> loads[] = {{"wide.gif", 512256}, {"wide.png", 300200}, {"wide.gif", 300200}};
  std::vector<uint32_t> binds;
  for (const auto &[name, reported] : loads) {
    binds.push_back(Load(name));
    EXPECT_EQ(GlDriver->LastTextureWidth * 1000 + GlDriver->LastTextureHeight, reported) << name;
    EXPECT_EQ(ReadTexture(binds.back()).Width, 512) << name;
    EXPECT_TRUE(Logged("\n PROGRAM: -- WARNING: Texture " + std::string(name) + " will be rescaled ( 300 200 ) !"));
  }
  for (uint32_t bind : binds) GlDriver->ReleaseTexture(bind);
}

TEST_F(TextureTest, FirstTextureRowIsThePicturesTopRowAndOptionsReachTheTexture) {
  std::vector<uint32_t> palette(256), pixels;
  for (int i = 0; i < 256; i++) palette[i] = (uint32_t)(i * 0x010101);
  std::vector<uint8_t> indices(16, 10);
  std::fill(indices.begin(), indices.begin() + 4, 250);
  for (uint8_t v : indices) pixels.push_back(palette[v]);
  WriteWholeFile("top.bmp", Bmp8(4, 4, indices, palette, false));
  WriteWholeFile("top.jpg", Jpeg(4, 4, pixels, 3));
  const uint32_t bmp = Load("top.bmp", ALPHA_CONSTANT, 1), jpg = Load("top.jpg", ALPHA_CONSTANT, 0, 0);
  for (uint32_t bind : {bmp, jpg}) {
    const FRAME t = ReadTexture(bind);
    EXPECT_GT(t.At(0, 0)[0], 200) << bind;
    EXPECT_LT(t.At(0, 3)[0], 60) << bind;
  }
  glBindTexture(GL_TEXTURE_2D, bmp);
  GLint width = 0, values[4];
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 1) << "a full mip-map chain";
  for (uint32_t bind : {bmp, jpg}) {
    glBindTexture(GL_TEXTURE_2D, bind);
    for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
      glGetTexParameteriv(GL_TEXTURE_2D, name, &values[name - GL_TEXTURE_MIN_FILTER]);
    EXPECT_EQ(values[0], bind == bmp ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);
    EXPECT_EQ(values[1], bind == bmp ? GL_REPEAT : GL_CLAMP);
    EXPECT_EQ(values[2], bind == bmp ? GL_REPEAT : GL_CLAMP);
    GlDriver->ReleaseTexture(bind);
  }
}

TEST_F(TextureTest, ArchiveMembersAreExtractedBrokenOnesGiveZeroAndNothingIsLeftBehind) {
  std::string archive;
  for (const std::string name : kFourFiles) {
    const std::string bytes = ReadWholeFile(name);
    archive += StoredMember("pics/" + name, bytes) + StoredMember("pics/bad_" + name, bytes.substr(0, bytes.size() / 2));
  }
  WriteWholeFile("tunemill.dat", archive);
  auto textures = [] {
    int count = 0;
    for (GLuint name = 1; name < 4096; name++) count += glIsTexture(name) == GL_TRUE;
    return count;
  };
  const int before = textures();
  OpenResource();
  std::vector<uint32_t> binds;
  for (const char *name : {"pics/four.png", "PICS\\FOUR.GIF", "pics/four.bmp", "pics/four.jpg"}) {
    binds.push_back(Load(name));
    EXPECT_NE(binds.back(), 0u) << name;
  }
  // A failed load gives its texture name back too (the PNG path binds its name before reading the file).
  for (const std::string name : kFourFiles) EXPECT_EQ(Load("pics/bad_" + name), 0u) << name;
  EXPECT_EQ(textures(), before + 4);
  EXPECT_TRUE(TemporaryFilesLeft().empty());
  CloseResource();
  // Later tests read their pictures straight from the disk again.
  gResourceOpened = 0;
  for (uint32_t bind : binds) GlDriver->ReleaseTexture(bind);
}

}  // namespace
