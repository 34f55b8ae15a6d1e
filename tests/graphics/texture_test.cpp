// Texture loading on a real driver and context: the extension rules, the cache and its reference counts,
// the alpha rules, the rescale rule and the texels as they land in OpenGL (read back with glGetTexImage).
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
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/misc.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

class TextureTest : public DriverSuite {
 protected:
  void SetUp() override { allocated_ = AllocTotal(); }
  void TearDown() override {
    EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases what it loaded";
    EXPECT_EQ(AllocTotal(), allocated_);
  }
  c_GLDRIVER &driver() { return *GlDriver; }
  ScopedTempDir dir_;
  int64_t allocated_ = 0;
};

struct TEXELS {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t *at(int x, int y) const { return &rgba[((size_t)y * width + x) * 4]; }
};

TEXELS ReadTexture(GLuint bind) {
  TEXELS t;
  glBindTexture(GL_TEXTURE_2D, bind);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
  t.rgba.resize((size_t)t.width * t.height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return t;
}

bool Logged(const std::string &line) { return ReadWholeFile("program.log").find(line) != std::string::npos; }

// Four texels in one row: black, white, mid grey (90, 120, 150) and pure red.
const std::vector<uint32_t> kFour = {0x000000, 0xFFFFFF, 0x5A7896, 0xFF0000};

void WriteFourTexelPictures() {
  WriteWholeFile("four.bmp", Bmp24(4, 1, kFour, false));
  WriteWholeFile("four.gif", GiflibGif(4, 1, {0, 1, 2, 3}, {0, 0, 0, 255, 255, 255, 0x5A, 0x78, 0x96, 255, 0, 0}, 2));
  std::vector<uint16_t> samples;
  for (uint32_t p : kFour)
    samples.insert(samples.end(), {(uint16_t)(p >> 16), (uint16_t)(p >> 8 & 0xFF), (uint16_t)(p & 0xFF)});
  WriteWholeFile("four.png", Png(4, 1, PNG_COLOR_TYPE_RGB, 8, samples));
  WriteWholeFile("four.jpg", Jpeg(4, 1, kFour, 3));
}

TEST_F(TextureTest, ExtensionPicksTheLoaderByItsFirstFourCharacters) {
  WriteFourTexelPictures();
  WriteWholeFile("upper.JPG", Jpeg(16, 8, std::vector<uint32_t>(16 * 8, 0x336699), 3));
  fs::create_directory("data.set");
  for (auto copy : {std::make_pair("four.png", "four.pngx"), {"four.bmp", "FOUR.BMP"}, {"upper.JPG", "upper.jpeg"},
                    {"four.png", "data.set/four.png"}, {"four.png", "noextension"}, {"four.png", "four.txt"}})
    fs::copy_file(copy.first, copy.second);
  std::vector<uint32_t> loaded;
  for (const char *name : {"four.png", "four.pngx", "four.gif", "four.bmp", "FOUR.BMP", "upper.JPG"}) {
    loaded.push_back(driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f));
    EXPECT_EQ(glIsTexture(loaded.back()), GL_TRUE) << name;
  }
  EXPECT_EQ(driver().LastTextureWidth, 16);
  EXPECT_EQ(driver().LastTextureHeight, 8);
  for (const char *name : {"upper.jpeg", "data.set/four.png", "noextension", "four.txt", "missing.png", "missing.gif",
                           "missing.jpg", "missing.bmp"})
    EXPECT_EQ(driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f), 0u) << name;
  // Every request is logged, the refused ones too.
  EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: upper.jpeg "));
  EXPECT_TRUE(Logged("\n PROGRAM: -- Load texture: data.set/four.png "));
  for (uint32_t bind : loaded) driver().ReleaseTexture(bind);
}

TEST_F(TextureTest, CacheSharesPerNameAndOptionsAndDeletesWithTheLastReference) {
  WriteFourTexelPictures();
  uint32_t first = driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 1, 1.0f);
  ASSERT_NE(first, 0u);
  fs::remove("four.gif");  // a hit never reads the file again
  size_t logged = ReadWholeFile("program.log").size();
  EXPECT_EQ(driver().LoadTexture("FOUR.gif", ALPHA_CONSTANT, 1, 1, 1.0f), first);
  EXPECT_EQ(ReadWholeFile("program.log").substr(logged), "\n PROGRAM: -- Load texture: FOUR.gif ");
  ASSERT_NE(driver().TextureList, nullptr);
  EXPECT_EQ(driver().TextureList->RefCount, 2);
  EXPECT_STREQ(driver().TextureList->FileName, "four.gif");

  // Each other option set (alpha, mode, wrap, mipmap) has its own texture, appended to the list.
  WriteFourTexelPictures();
  std::vector<uint32_t> binds = {first, driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 1, 0.5f),
                                 driver().LoadTexture("four.gif", ALPHA_COLORKEY, 1, 1, 1.0f),
                                 driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 0, 1.0f),
                                 driver().LoadTexture("four.gif", ALPHA_CONSTANT, 0, 1, 1.0f)};
  std::vector<uint32_t> sorted = binds;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  int count = 0;
  for (TEXTURE_ENTRY *e = driver().TextureList; e; e = e->Next) count++;
  EXPECT_EQ(count, 5);

  driver().ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_TRUE);
  EXPECT_EQ(driver().TextureList->RefCount, 1);
  driver().ReleaseTexture(12345);  // not in the list: nothing changes
  driver().ReleaseTexture(binds[3]);  // from the middle of the list
  EXPECT_EQ(glIsTexture(binds[3]), GL_FALSE);
  driver().ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_FALSE);
  EXPECT_EQ(driver().TextureList->Bind, binds[1]);
  for (int i : {1, 2, 4}) driver().ReleaseTexture(binds[i]);
}

TEST_F(TextureTest, AlphaRulesOnKnownTexels) {
  WriteFourTexelPictures();
  // Texels: black, white, grey (90, 120, 150: mean 120), red (mean 85). The PNG path scales luminance by
  // m x trunc(alpha x 255) / 256, so white at 0.5 gives 126 there and 127 elsewhere.
  struct {
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
  for (const char *name : {"four.gif", "four.bmp", "four.png"}) {
    for (auto &c : cases) {
      uint32_t bind = driver().LoadTexture(name, c.mode, 0, 1, c.alpha);
      ASSERT_NE(bind, 0u);
      TEXELS t = ReadTexture(bind);
      ASSERT_EQ(t.width, 4);
      ASSERT_EQ(t.height, 2);  // a height of 1 is rescaled to 2
      for (int x = 0; x < 4; x++) {
        EXPECT_EQ(t.at(x, 0)[0] << 16 | t.at(x, 0)[1] << 8 | t.at(x, 0)[2], (int)kFour[x]) << name;
        EXPECT_EQ(t.at(x, 0)[3], name[5] == 'p' ? c.png[x] : c.expected[x])
            << name << " mode " << c.mode << " alpha " << c.alpha << " x " << x;
      }
      driver().ReleaseTexture(bind);
    }
  }
  PngAlphaMode = 9;
  EXPECT_EQ(PngAlphaCallback(0, 0, 0), 255);
}

TEST_F(TextureTest, RefusedSizesAreRescaledWithAWarning) {
  std::vector<uint8_t> indices(300 * 200);
  for (size_t i = 0; i < indices.size(); i++) indices[i] = (uint8_t)(i % 300 < 150 ? 1 : 2);
  WriteWholeFile("wide.gif", GiflibGif(300, 200, indices, {0, 0, 0, 10, 20, 30, 40, 50, 60, 0, 0, 0}, 2));
  WriteWholeFile("wide.png", Png(300, 200, PNG_COLOR_TYPE_RGB, 8, std::vector<uint16_t>(300 * 200 * 3, 200)));
  WriteWholeFile("dot.bmp", Bmp24(1, 1, {0x123456}, true));

  uint32_t gif = driver().LoadTexture("wide.gif", ALPHA_CONSTANT, 1, 1, 1.0f);
  EXPECT_EQ(driver().LastTextureWidth, 512);
  EXPECT_EQ(driver().LastTextureHeight, 256);
  TEXELS t = ReadTexture(gif);
  EXPECT_EQ(t.width, 512);
  EXPECT_EQ(t.height, 256);
  // Column 255 samples source column 149 (left half), column 256 source column 150.
  EXPECT_EQ(t.at(255, 0)[0], 10);
  EXPECT_EQ(t.at(256, 0)[0], 40);
  EXPECT_TRUE(Logged("\n PROGRAM: -- WARNING: Texture wide.gif will be rescaled ( 300 200 ) !"));

  // PNG reports the file's size; the texture itself is rescaled all the same.
  uint32_t png = driver().LoadTexture("wide.png", ALPHA_CONSTANT, 0, 1, 1.0f);
  EXPECT_EQ(driver().LastTextureWidth, 300);
  EXPECT_EQ(driver().LastTextureHeight, 200);
  t = ReadTexture(png);
  EXPECT_EQ(t.width, 512);
  EXPECT_EQ(t.height, 256);
  EXPECT_TRUE(Logged("\n PROGRAM: -- WARNING: Texture wide.png will be rescaled ( 300 200 ) !"));

  uint32_t dot = driver().LoadTexture("dot.bmp", ALPHA_CONSTANT, 0, 0, 1.0f);
  t = ReadTexture(dot);
  EXPECT_EQ(t.width, 2);
  EXPECT_EQ(t.height, 2);
  EXPECT_EQ(t.at(1, 1)[0], 0x12);
  // A cache hit leaves the last upload's size.
  EXPECT_EQ(driver().LoadTexture("wide.gif", ALPHA_CONSTANT, 1, 1, 1.0f), gif);
  EXPECT_EQ(driver().LastTextureWidth, 2);
  for (uint32_t bind : {gif, gif, png, dot}) driver().ReleaseTexture(bind);
}

GLint TexParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

TEST_F(TextureTest, FirstTextureRowIsThePicturesTopRowAndOptionsReachTheTexture) {
  std::vector<uint32_t> palette(256), pixels;
  for (int i = 0; i < 256; i++) palette[i] = (uint32_t)(i * 0x010101);
  std::vector<uint8_t> indices(16, 10);
  std::fill(indices.begin(), indices.begin() + 4, 250);
  for (uint8_t v : indices) pixels.push_back(palette[v]);
  WriteWholeFile("top.bmp", Bmp8(4, 4, indices, palette, false));
  WriteWholeFile("top.jpg", Jpeg(4, 4, pixels, 3));
  uint32_t bmp = driver().LoadTexture("top.bmp", ALPHA_CONSTANT, 1, 1, 1.0f);
  uint32_t jpg = driver().LoadTexture("top.jpg", ALPHA_CONSTANT, 0, 0, 1.0f);
  for (uint32_t bind : {bmp, jpg}) {
    ASSERT_NE(bind, 0u);
    TEXELS t = ReadTexture(bind);
    EXPECT_GT(t.at(0, 0)[0], 200) << bind;
    EXPECT_LT(t.at(0, 3)[0], 60) << bind;
  }
  glBindTexture(GL_TEXTURE_2D, bmp);
  EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  GLint width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
  EXPECT_EQ(width, 1) << "a full mip-map chain";
  glBindTexture(GL_TEXTURE_2D, jpg);
  EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_T), GL_CLAMP);
  driver().ReleaseTexture(bmp);
  driver().ReleaseTexture(jpg);
}

TEST_F(TextureTest, BrokenPicturesGiveZeroAndLeaveNothingBehind) {
  WriteFourTexelPictures();
  for (const char *name : {"four.png", "four.gif", "four.bmp"})
    WriteWholeFile(std::string("x") + name, ReadWholeFile(name).substr(0, ReadWholeFile(name).size() / 2));
  WriteWholeFile("xfour.jpg", "\xFF\xD8 not much of a JPEG");
  auto textures = [] {
    int count = 0;
    for (GLuint name = 1; name < 4096; name++) count += glIsTexture(name) == GL_TRUE;
    return count;
  };
  int before = textures();
  for (const char *name : {"xfour.png", "xfour.gif", "xfour.bmp", "xfour.jpg"})
    EXPECT_EQ(driver().LoadTexture(name, ALPHA_CONSTANT, 1, 1, 1.0f), 0u) << name;
  // The PNG path binds its name before reading the file: it is given back all the same.
  EXPECT_EQ(textures(), before);
}

TEST_F(TextureTest, ArchiveMembersAreExtractedAndTheirTemporaryFilesReleased) {
  WriteFourTexelPictures();
  std::string archive;
  for (const char *name : {"four.png", "four.gif", "four.bmp", "four.jpg"}) {
    std::string bytes = ReadWholeFile(name);
    for (const std::string &contents : {bytes, bytes.substr(0, 20)}) {
      std::string member = std::string(contents.size() == 20 ? "pics/bad_" : "pics/") + name;
      unsigned char header[kResourceHeaderSize];
      FormatResourceHeader(header, member.c_str(), (uint32_t)contents.size(), 0, 0);
      archive += std::string((const char *)header, kResourceHeaderSize) + contents;
    }
  }
  WriteWholeFile("tunemill.dat", archive);
  OpenResource();
  std::vector<uint32_t> binds;
  for (const char *name : {"pics/four.png", "PICS\\FOUR.GIF", "pics/four.bmp", "pics/four.jpg"}) {
    binds.push_back(driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f));
    EXPECT_NE(binds.back(), 0u) << name;
  }
  for (const char *name : {"pics/bad_four.png", "pics/bad_four.gif", "pics/bad_four.bmp", "pics/bad_four.jpg"})
    EXPECT_EQ(driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f), 0u) << name;
  for (const auto &entry : fs::directory_iterator("."))
    EXPECT_EQ(entry.path().filename().string().find("_#q_"), std::string::npos) << entry.path();
  CloseResource();
  // Later tests read their pictures straight from the disk again.
  gResourceOpened = 0;
  for (uint32_t bind : binds) driver().ReleaseTexture(bind);
}

}  // namespace
