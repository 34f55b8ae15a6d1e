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
#include "picture_writers.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/misc.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

class TextureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MainWindow = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(MainWindow, nullptr);
    GlDriver = new (__LINE__, "test") c_GLDRIVER(MainWindow, GLDRIVER_DOUBLEBUFFER, 64, 64, 32, 0);
    GlDriver->MakeCurrent();
  }
  static void TearDownTestSuite() {
    delete GlDriver;
    GlDriver = nullptr;
    PlatformDestroyWindow(MainWindow);
    MainWindow = nullptr;
    // Video stays up until the process ends: ending it unloads the GL driver, whose process-lifetime
    // allocations would then show up as leaks of an unknown module.
  }
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

std::string Log() { return ReadWholeFile("program.log"); }

// Four texels in one row: black, white, mid grey (90, 120, 150) and pure red.
const std::vector<uint32_t> kFour = {0x000000, 0xFFFFFF, 0x5A7896, 0xFF0000};

void WriteFourTexelPictures() {
  WriteWholeFile("four.bmp", Bmp24(4, 1, kFour, false));
  std::vector<uint8_t> palette = {0, 0, 0, 255, 255, 255, 0x5A, 0x78, 0x96, 255, 0, 0};
  WriteWholeFile("four.gif", GiflibGif(4, 1, {0, 1, 2, 3}, palette, 2));
  std::vector<uint16_t> samples;
  for (uint32_t p : kFour) samples.insert(samples.end(), {(uint16_t)(p >> 16), (uint16_t)(p >> 8 & 0xFF), (uint16_t)(p & 0xFF)});
  WriteWholeFile("four.png", Png(4, 1, PNG_COLOR_TYPE_RGB, 8, samples));
}

TEST_F(TextureTest, ExtensionPicksTheLoaderByItsFirstFourCharacters) {
  WriteFourTexelPictures();
  fs::copy_file("four.png", "four.pngx");
  fs::copy_file("four.bmp", "FOUR.BMP");
  std::vector<uint32_t> smooth(16 * 8, 0x336699);
  WriteWholeFile("upper.JPG", Jpeg(16, 8, smooth, 3));
  fs::copy_file("upper.JPG", "upper.jpeg");
  fs::create_directory("data.set");
  fs::copy_file("four.png", "data.set/four.png");
  fs::copy_file("four.png", "noextension");
  fs::copy_file("four.png", "four.txt");

  std::vector<uint32_t> loaded;
  for (const char *name : {"four.png", "four.pngx", "four.gif", "four.bmp", "FOUR.BMP", "upper.JPG"}) {
    uint32_t bind = driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f);
    EXPECT_NE(bind, 0u) << name;
    EXPECT_EQ(glIsTexture(bind), GL_TRUE) << name;
    loaded.push_back(bind);
  }
  EXPECT_EQ(driver().LastTextureWidth, 16);
  EXPECT_EQ(driver().LastTextureHeight, 8);
  for (const char *name : {"upper.jpeg", "data.set/four.png", "noextension", "four.txt", "missing.png", "missing.gif",
                           "missing.jpg", "missing.bmp"})
    EXPECT_EQ(driver().LoadTexture(name, ALPHA_CONSTANT, 0, 1, 1.0f), 0u) << name;
  // Every request is logged, the refused ones too.
  EXPECT_NE(Log().find("\n PROGRAM: -- Load texture: upper.jpeg "), std::string::npos);
  EXPECT_NE(Log().find("\n PROGRAM: -- Load texture: data.set/four.png "), std::string::npos);
  for (uint32_t bind : loaded) driver().ReleaseTexture(bind);
}

TEST_F(TextureTest, CacheSharesPerNameAndOptionsAndDeletesWithTheLastReference) {
  WriteFourTexelPictures();
  uint32_t first = driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 1, 1.0f);
  ASSERT_NE(first, 0u);
  fs::remove("four.gif");  // a hit never reads the file again
  std::string before = Log();
  uint32_t second = driver().LoadTexture("FOUR.gif", ALPHA_CONSTANT, 1, 1, 1.0f);
  EXPECT_EQ(second, first);
  EXPECT_EQ(Log().substr(before.size()), "\n PROGRAM: -- Load texture: FOUR.gif ");
  ASSERT_NE(driver().TextureList, nullptr);
  EXPECT_EQ(driver().TextureList->RefCount, 2);
  EXPECT_STREQ(driver().TextureList->FileName, "four.gif");

  WriteFourTexelPictures();
  uint32_t otherAlpha = driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 1, 0.5f);
  uint32_t otherMode = driver().LoadTexture("four.gif", ALPHA_COLORKEY, 1, 1, 1.0f);
  uint32_t otherWrap = driver().LoadTexture("four.gif", ALPHA_CONSTANT, 1, 0, 1.0f);
  uint32_t otherMipmap = driver().LoadTexture("four.gif", ALPHA_CONSTANT, 0, 1, 1.0f);
  std::vector<uint32_t> binds = {first, otherAlpha, otherMode, otherWrap, otherMipmap};
  std::sort(binds.begin(), binds.end());
  EXPECT_EQ(std::unique(binds.begin(), binds.end()), binds.end()) << "each option set has its own texture";
  // New entries go to the end of the list.
  int count = 0;
  for (TEXTURE_ENTRY *e = driver().TextureList; e; e = e->Next) count++;
  EXPECT_EQ(count, 5);

  driver().ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_TRUE);
  EXPECT_EQ(driver().TextureList->RefCount, 1);
  driver().ReleaseTexture(12345);  // not in the list: nothing changes
  driver().ReleaseTexture(otherWrap);  // from the middle of the list
  EXPECT_EQ(glIsTexture(otherWrap), GL_FALSE);
  driver().ReleaseTexture(first);
  EXPECT_EQ(glIsTexture(first), GL_FALSE);
  EXPECT_EQ(driver().TextureList->Bind, otherAlpha);
  for (uint32_t bind : {otherAlpha, otherMode, otherMipmap}) driver().ReleaseTexture(bind);
}

TEST_F(TextureTest, AlphaRulesOnKnownTexels) {
  WriteFourTexelPictures();
  struct {
    int32_t mode;
    float alpha;
    uint8_t expected[4];  // black, white, grey (90, 120, 150: mean 120), red (mean 85)
  } cases[] = {
      {ALPHA_CONSTANT, 1.0f, {255, 255, 255, 255}}, {ALPHA_CONSTANT, 0.5f, {127, 127, 127, 127}},
      {ALPHA_COLORKEY, 1.0f, {0, 255, 255, 255}},   {ALPHA_COLORKEY, 0.2f, {0, 51, 51, 51}},
      {ALPHA_LUMINANCE, 0.5f, {0, 127, 60, 42}},    {ALPHA_LUMINANCE, 1.0f, {0, 255, 120, 85}},
      {7, 1.0f, {0, 255, 255, 255}},  // any other mode is the colour key
  };
  for (const char *name : {"four.gif", "four.bmp"}) {
    for (auto &c : cases) {
      uint32_t bind = driver().LoadTexture(name, c.mode, 0, 1, c.alpha);
      ASSERT_NE(bind, 0u);
      TEXELS t = ReadTexture(bind);
      ASSERT_EQ(t.width, 4);
      ASSERT_EQ(t.height, 2);  // a height of 1 is rescaled to 2
      for (int x = 0; x < 4; x++) {
        EXPECT_EQ(t.at(x, 0)[0], kFour[x] >> 16) << name;
        EXPECT_EQ(t.at(x, 0)[1], kFour[x] >> 8 & 0xFF) << name;
        EXPECT_EQ(t.at(x, 0)[2], kFour[x] & 0xFF) << name;
        EXPECT_EQ(t.at(x, 0)[3], c.expected[x]) << name << " mode " << c.mode << " alpha " << c.alpha << " x " << x;
      }
      driver().ReleaseTexture(bind);
    }
  }
}

TEST_F(TextureTest, PngAlphaGoesThroughTheCallbackAndItsOwnLuminanceScale) {
  WriteFourTexelPictures();
  struct {
    int32_t mode;
    float alpha;
    uint8_t expected[4];
  } cases[] = {
      {ALPHA_CONSTANT, 0.5f, {127, 127, 127, 127}},
      {ALPHA_COLORKEY, 1.0f, {0, 255, 255, 255}},
      // m x trunc(alpha x 255) / 256: white at 0.5 gives 255 x 127 / 256 = 126.
      {ALPHA_LUMINANCE, 0.5f, {0, 126, 59, 42}},
      {3, 1.0f, {0, 255, 255, 255}},
  };
  for (auto &c : cases) {
    uint32_t bind = driver().LoadTexture("four.png", c.mode, 0, 1, c.alpha);
    ASSERT_NE(bind, 0u);
    TEXELS t = ReadTexture(bind);
    ASSERT_EQ(t.width, 4);
    for (int x = 0; x < 4; x++) EXPECT_EQ(t.at(x, 0)[3], c.expected[x]) << "mode " << c.mode << " x " << x;
    driver().ReleaseTexture(bind);
  }
  PngAlphaMode = 9;
  EXPECT_EQ(PngAlphaCallback(0, 0, 0), 255);
}

TEST_F(TextureTest, RefusedSizesAreRescaledWithAWarning) {
  std::vector<uint8_t> indices(300 * 200);
  for (size_t i = 0; i < indices.size(); i++) indices[i] = (uint8_t)(i % 300 < 150 ? 1 : 2);
  WriteWholeFile("wide.gif", GiflibGif(300, 200, indices, {0, 0, 0, 10, 20, 30, 40, 50, 60, 0, 0, 0}, 2));
  std::vector<uint16_t> samples(300 * 200 * 3, 200);
  WriteWholeFile("wide.png", Png(300, 200, PNG_COLOR_TYPE_RGB, 8, samples));
  WriteWholeFile("dot.bmp", Bmp24(1, 1, {0x123456}, true));

  uint32_t gif = driver().LoadTexture("wide.gif", ALPHA_CONSTANT, 1, 1, 1.0f);
  ASSERT_NE(gif, 0u);
  EXPECT_EQ(driver().LastTextureWidth, 512);
  EXPECT_EQ(driver().LastTextureHeight, 256);
  TEXELS t = ReadTexture(gif);
  EXPECT_EQ(t.width, 512);
  EXPECT_EQ(t.height, 256);
  // Column 255 samples source column 149 (left half), column 256 source column 150.
  EXPECT_EQ(t.at(255, 0)[0], 10);
  EXPECT_EQ(t.at(256, 0)[0], 40);
  EXPECT_NE(Log().find("\n PROGRAM: -- WARNING: Texture wide.gif will be rescaled ( 300 200 ) !"), std::string::npos);

  // PNG reports the file's size; the texture itself is rescaled all the same.
  uint32_t png = driver().LoadTexture("wide.png", ALPHA_CONSTANT, 0, 1, 1.0f);
  ASSERT_NE(png, 0u);
  EXPECT_EQ(driver().LastTextureWidth, 300);
  EXPECT_EQ(driver().LastTextureHeight, 200);
  t = ReadTexture(png);
  EXPECT_EQ(t.width, 512);
  EXPECT_EQ(t.height, 256);
  EXPECT_NE(Log().find("\n PROGRAM: -- WARNING: Texture wide.png will be rescaled ( 300 200 ) !"), std::string::npos);

  uint32_t dot = driver().LoadTexture("dot.bmp", ALPHA_CONSTANT, 0, 0, 1.0f);
  ASSERT_NE(dot, 0u);
  t = ReadTexture(dot);
  EXPECT_EQ(t.width, 2);
  EXPECT_EQ(t.height, 2);
  EXPECT_EQ(t.at(1, 1)[0], 0x12);
  // A cache hit leaves the last upload's size.
  EXPECT_EQ(driver().LoadTexture("wide.gif", ALPHA_CONSTANT, 1, 1, 1.0f), gif);
  EXPECT_EQ(driver().LastTextureWidth, 2);
  for (uint32_t bind : {gif, gif, png, dot}) driver().ReleaseTexture(bind);
}

TEST_F(TextureTest, FirstTextureRowIsThePicturesTopRowAndOptionsReachTheTexture) {
  std::vector<uint32_t> palette(256);
  for (int i = 0; i < 256; i++) palette[i] = (uint32_t)(i * 0x010101);
  std::vector<uint8_t> indices;
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) indices.push_back((uint8_t)(y == 0 ? 250 : 10));
  WriteWholeFile("top.bmp", Bmp8(4, 4, indices, palette, false));
  std::vector<uint32_t> pixels;
  for (uint8_t v : indices) pixels.push_back(palette[v]);
  WriteWholeFile("top.jpg", Jpeg(4, 4, pixels, 3));

  uint32_t bmp = driver().LoadTexture("top.bmp", ALPHA_CONSTANT, 1, 1, 1.0f);
  uint32_t jpg = driver().LoadTexture("top.jpg", ALPHA_CONSTANT, 0, 0, 1.0f);
  ASSERT_NE(bmp, 0u);
  ASSERT_NE(jpg, 0u);
  for (uint32_t bind : {bmp, jpg}) {
    TEXELS t = ReadTexture(bind);
    EXPECT_GT(t.at(0, 0)[0], 200) << bind;
    EXPECT_LT(t.at(0, 3)[0], 60) << bind;
  }
  GLint value = 0;
  glBindTexture(GL_TEXTURE_2D, bmp);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR_MIPMAP_NEAREST);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
  EXPECT_EQ(value, GL_REPEAT);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &value);
  EXPECT_EQ(value, 1) << "a full mip-map chain";
  glBindTexture(GL_TEXTURE_2D, jpg);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
  EXPECT_EQ(value, GL_LINEAR);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
  EXPECT_EQ(value, GL_CLAMP);
  driver().ReleaseTexture(bmp);
  driver().ReleaseTexture(jpg);
}

TEST_F(TextureTest, BrokenPicturesGiveZeroAndLeaveNothingBehind) {
  WriteFourTexelPictures();
  for (const char *name : {"four.png", "four.gif", "four.bmp"}) {
    std::string bytes = ReadWholeFile(name);
    std::string broken = std::string("x") + name;
    WriteWholeFile(broken, bytes.substr(0, bytes.size() / 2));
  }
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
  WriteWholeFile("four.jpg", Jpeg(4, 1, kFour, 3));
  std::string archive;
  for (const char *name : {"four.png", "four.gif", "four.bmp", "four.jpg"}) {
    std::string bytes = ReadWholeFile(name);
    for (const std::string &member : {std::string("pics/") + name, std::string("pics/bad_") + name}) {
      std::string contents = member.find("bad_") == std::string::npos ? bytes : bytes.substr(0, 20);
      unsigned char header[kResourceHeaderSize];
      FormatResourceHeader(header, member.c_str(), (uint32_t)contents.size(), 0, 0);
      archive.append((const char *)header, kResourceHeaderSize);
      archive += contents;
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
