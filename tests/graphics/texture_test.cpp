// Texture loading on a real driver and context: the extension rules, the cache and its reference counts,
// the load options, the alpha rules, the size warning and the texels as they land in OpenGL.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

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

// Four texels in the top row: black, white, mid grey (90, 120, 150) and pure red, then the same colours
// reversed in the bottom row, so that a picture upside down shows.
const std::vector<uint32_t> kFour = {0x000000, 0xFFFFFF, 0x5A7896, 0xFF0000,
                                     0xFF0000, 0x5A7896, 0xFFFFFF, 0x000000};
const char *const kFourFiles[] = {"four.png", "four.gif", "four.bmp", "four.jpg"};

class TextureTest : public DriverSuite {
 protected:
  void SetUp() override {
    allocated_ = AllocTotal();
    std::vector<uint16_t> rgb;
    for (uint32_t p : kFour)
      rgb.insert(rgb.end(), {(uint16_t)(p >> 16), (uint16_t)(p >> 8 & 0xFF), (uint16_t)(p & 0xFF)});
    WriteWholeFile("four.png", Png(4, 2, PNG_COLOR_TYPE_RGB, 8, rgb));
    const std::vector<uint8_t> topRow(rgb.begin(), rgb.begin() + 12);  // the GIF's palette
    WriteWholeFile("four.gif", GiflibGif(4, 2, {0, 1, 2, 3, 3, 2, 1, 0}, topRow, 2));
    WriteWholeFile("four.bmp", Bmp(4, 2, 24, kFour, false));
    WriteWholeFile("four.jpg", Jpeg(4, 2, kFour, 3));
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

TEST_F(TextureTest, CacheSharesPerNameAndOptionsAndDeletesWithTheLastReferenceAndTheOptionsReachTheTexture) {
  uint32_t first = Load("four.gif", ALPHA_CONSTANT, 1);
  ASSERT_NE(first, 0u);
  fs::rename("four.gif", "kept.gif");  // a hit never reads the file again
  size_t logged = ReadWholeFile("program.log").size();
  EXPECT_EQ(Load("FOUR.gif", ALPHA_CONSTANT, 1), first);
  EXPECT_EQ(ReadWholeFile("program.log").substr(logged), "\n PROGRAM: -- Load texture: FOUR.gif ");
  // Each other option set (alpha, mode, wrap, mipmap) has its own texture, appended to the list.
  fs::rename("kept.gif", "four.gif");
  std::vector<uint32_t> binds = {first, Load("four.gif", ALPHA_CONSTANT, 1, 1, 0.5f),
                                 Load("four.gif", ALPHA_COLORKEY, 1), Load("four.gif", ALPHA_CONSTANT, 1, 0),
                                 Load("four.gif", ALPHA_CONSTANT, 0)};
  std::vector<uint32_t> listed;
  for (TEXTURE_ENTRY *e = GlDriver->TextureList; e; e = e->Next) listed.push_back(e->Bind);
  EXPECT_EQ(listed, binds);
  // Minification filter, wrapping in s and t, and the width of mip-map level 2 (a full chain ends at 1 x 1).
  const std::pair<uint32_t, std::vector<GLint>> options[] = {
      {first, {GL_LINEAR_MIPMAP_NEAREST, GL_REPEAT, GL_REPEAT, 1}},
      {binds[3], {GL_LINEAR_MIPMAP_NEAREST, GL_CLAMP, GL_CLAMP, 1}},
      {binds[4], {GL_LINEAR, GL_REPEAT, GL_REPEAT, 0}}};
  for (const auto &[bind, expected] : options) {
    std::vector<GLint> got(4);
    glBindTexture(GL_TEXTURE_2D, bind);
    for (GLenum name : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
      glGetTexParameteriv(GL_TEXTURE_2D, name, &got[name - GL_TEXTURE_MIN_FILTER]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &got[3]);
    EXPECT_EQ(got, expected) << bind;
  }
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

TEST_F(TextureTest, AlphaRulesOnKnownTexelsAndTheTopRowFirst) {
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
      ASSERT_EQ(t.Width * 10 + t.Height, 4 * 10 + 2);
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

// Pictures loose and as archive members: the loader is picked by the first four characters of the
// extension; every request is logged, the refused ones too; a failed load gives its texture name back (the
// PNG path binds its name before reading the file) and leaves no extracted file behind.
TEST_F(TextureTest, ExtensionPicksTheLoaderAndFailuresLeaveNothingBehind) {
  auto textures = [] {
    int count = 0;
    for (GLuint name = 1; name < 4096; name++) count += glIsTexture(name) == GL_TRUE;
    return count;
  };
  const int before = textures();
  for (const std::string name : {"missing.png", "missing.gif", "missing.jpg", "missing.bmp"})
    EXPECT_EQ(Load(name), 0u) << name;
  WriteWholeFile("upper.JPG", Jpeg(16, 8, std::vector<uint32_t>(16 * 8, 0x336699), 3));
  std::string archive;
  for (const std::string name : kFourFiles) {
    const std::string bytes = ReadWholeFile(name);
    archive += StoredMember("pics/" + name, bytes);
    archive += StoredMember("pics/bad_" + name, bytes.substr(0, bytes.size() / 2));
  }
  for (auto [file, member] : {std::pair("four.png", "four.pngx"), {"four.bmp", "FOUR.BMP"}, {"upper.JPG", "upper.JPG"},
                              {"upper.JPG", "upper.jpeg"}, {"four.png", "data.set/four.png"},
                              {"four.png", "noextension"}, {"four.png", "four.txt"}})
    archive += StoredMember(member, ReadWholeFile(file));
  WriteWholeFile("tunemill.dat", archive);
  OpenResource();
  std::vector<uint32_t> binds;
  for (const char *name :
       {"pics/four.png", "PICS\\FOUR.GIF", "pics/four.bmp", "pics/four.jpg", "four.pngx", "FOUR.BMP", "upper.JPG"}) {
    binds.push_back(Load(name));
    EXPECT_EQ(glIsTexture(binds.back()), GL_TRUE) << name;
  }
  EXPECT_EQ(GlDriver->LastTextureWidth * 100 + GlDriver->LastTextureHeight, 16 * 100 + 8);
  for (const std::string name : {"upper.jpeg", "data.set/four.png", "noextension", "four.txt", "pics/bad_four.png",
                                 "pics/bad_four.gif", "pics/bad_four.bmp", "pics/bad_four.jpg"}) {
    EXPECT_EQ(Load(name), 0u) << name;
    EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: " + name + " ")) << name;
  }
  EXPECT_EQ(textures(), before + 7);
  EXPECT_TRUE(TemporaryFilesLeft().empty());
  CloseResource();
  // Later tests read their pictures straight from the disk again.
  gResourceOpened = 0;
  for (uint32_t bind : binds) GlDriver->ReleaseTexture(bind);
}

}  // namespace
