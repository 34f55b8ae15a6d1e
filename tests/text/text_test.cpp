// The fonts and the twirl in a real context, judged from the frame they draw: cell sizes and cells of the
// texture font, its position check and fatal checks; glyph metrics, holes, edge-on glyphs and the missing
// face of the outline font; the twirl's picture at rest, turned half round, and drawn twice.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gltestkit.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "picture_writers.h"
#include "testkit.h"
#include "text/text.h"

namespace {

typedef std::vector<int> RGB;

// A 256-wide font picture whose cell (column, row) has the colour (16 row + column, 255 - that, 200).
void WriteCellFont(int height) {
  std::vector<uint8_t> indices(256 * height), palette(768);
  for (int i = 0; i < 256 * height; i++) indices[i] = (uint8_t)(i / 4096 * 16 + i % 256 / 16);
  for (int c = 0; c < 256; c++) {
    palette[c * 3] = (uint8_t)c;
    palette[c * 3 + 1] = (uint8_t)(255 - c);
    palette[c * 3 + 2] = 200;
  }
  WriteWholeFile("font.gif", GiflibGif(256, height, indices, palette, 8));
}

class TextTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { CloseTestDriver(); }
  // A driver of width x height and a texture font of 60 x 25 cells on the cell picture.
  static GL_TEXFONT *CellFont(int32_t width, int32_t height) {
    OpenTestDriver(width, height);
    WriteCellFont(256);
    return new (__LINE__, "test") GL_TEXFONT("font.gif", 60, 25);
  }
  // A 640 x 480 driver and the outline font, textured plain white.
  static GL_TTFONTS *WhiteOutlineFont() {
    OpenTestDriver(640, 480);
    WriteWholeFile("white.gif", GiflibGif(4, 4, std::vector<uint8_t>(16, 1), {0, 0, 0, 255, 255, 255}, 1));
    return new (__LINE__, "test") GL_TTFONTS("white.gif", "Impact", 0, -12);
  }
  ScopedTempDir dir_;
};

void Clear() {
  glDepthMask(GL_TRUE);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

const REGION kWhole = {0, 0, 640, 480};

// The smallest region holding every lit pixel.
REGION LitBox(const FRAME &f) {
  REGION box = {f.Width, f.Height, 0, 0};
  for (int32_t y = 0; y < f.Height; y++) {
    for (int32_t x = 0; x < f.Width; x++) {
      if (CountLit(f, {x, y, x + 1, y + 1}) == 0) continue;
      box = {std::min(box.X0, x), std::min(box.Y0, y), std::max(box.X1, x + 1), std::max(box.Y1, y + 1)};
    }
  }
  return box;
}

RGB Colour(const FRAME &f, int32_t x, int32_t y) { return {f.At(x, y)[0], f.At(x, y)[1], f.At(x, y)[2]}; }

bool Near(const RGB &a, const RGB &b) {
  for (int i = 0; i < 3; i++)
    if (std::abs(a[i] - b[i]) > 2) return false;
  return true;
}

TEST_F(TextTest, TextureFontCellsTakeTheSameShareOfEveryScreen) {
  struct { int32_t width, height; double cellWidth, cellHeight; } cases[] = {
      {640, 480, 10.67, 19.2}, {1024, 768, 17.07, 30.72}};
  for (auto &c : cases) {
    GL_TEXFONT *font = CellFont(c.width, c.height);
    Clear();
    font->Print("ABCD", 0.25f, 0.5f, 1);
    const REGION box = LitBox(ReadFrame());
    EXPECT_NEAR(box.X0, c.width / 4, 1) << c.width;
    EXPECT_NEAR(box.Y0, c.height / 2, 1) << c.width;
    EXPECT_NEAR(box.X1 - box.X0, 4 * c.cellWidth, 1) << c.width;
    EXPECT_NEAR(box.Y1 - box.Y0, c.cellHeight, 1) << c.width;
    delete font;
  }
}

TEST_F(TextTest, TextureFontDrawsTheCellOfEachCode) {
  struct { const char *text; RGB rgb; } cases[] = {{"\x01", {1, 254, 200}}, {"\n", {10, 245, 200}},
      {"\x10", {16, 239, 200}}, {"\x80", {128, 127, 200}}, {"\xff", {255, 0, 200}}};
  GL_TEXFONT *font = CellFont(640, 480);
  for (auto &c : cases) {
    Clear();
    font->Print(c.text, 0.5f, 0.5f, 1);
    EXPECT_PRED2(Near, Colour(ReadFrame(), 323, 243), c.rgb) << (int)(uint8_t)c.text[0];
  }
  delete font;
}

TEST_F(TextTest, TextureFontDrawsOnlyFromPositionsOnTheScreen) {
  struct { float x, y; bool drawn; } cases[] = {{1.0f, 0.5f, true}, {1.01f, 0.5f, false}, {0.5f, 1.0f, true},
      {0.5f, 1.01f, false}, {0, 0, true}, {-0.01f, 0.5f, false}, {0.5f, -0.01f, false}};
  GL_TEXFONT *font = CellFont(640, 480);
  for (auto &c : cases) {
    Clear();
    font->BeginText();
    // Halving the pixel coordinates brings text from the right and bottom edges into view.
    glMatrixMode(GL_PROJECTION);
    glScalef(0.5f, 0.5f, 1);
    font->Print("AB", c.x, c.y, 0);
    EXPECT_EQ(CountLit(ReadFrame(), kWhole) > 0, c.drawn) << c.x << " " << c.y;
  }
  delete font;
}

TEST_F(TextTest, TextureFontRefusesWrongSizes) {
  struct { int pictureHeight; int32_t chars, lines; const char *message; } cases[] = {
      {128, 60, 25, "GL_TEXFONT::Wrong TextureSize for fonts !"},
      {256, 0, 25, "GL_TEXFONT::LinesPerScreen < 1 || CharsPerLine < 1 !"},
      {256, 60, 0, "GL_TEXFONT::LinesPerScreen < 1 || CharsPerLine < 1 !"}};
  OpenTestDriver(64, 64);
  for (auto &c : cases) {
    WriteCellFont(c.pictureHeight);
    ExpectFatal([&c] { new (__LINE__, "test") GL_TEXFONT("font.gif", c.chars, c.lines); }, "font", c.message);
  }
}

TEST_F(TextTest, OutlineGlyphsAreMeasuredInEmUnits) {
  // The top and bottom of the box against the baseline; 0x8E is A with diaeresis, above the capitals.
  struct { int code; float topLow, topHigh, bottomLow, bottomHigh; } cases[] = {{'H', 0.6f, 0.85f, -0.02f, 0.02f},
      {'x', 0.4f, 0.67f, -0.02f, 0.02f}, {'g', 0.4f, 0.67f, -0.35f, -0.1f}, {0x8E, 0.85f, 1.1f, -0.02f, 0.02f}};
  GL_TTFONTS *font = WhiteOutlineFont();
  for (auto &c : cases) {
    const GLYPHMETRICSFLOAT &m = font->GlyphMetrics[c.code];
    const float top = m.gmfptGlyphOriginY, bottom = m.gmfptGlyphOriginY - m.gmfBlackBoxY;
    EXPECT_TRUE(top >= c.topLow && top <= c.topHigh) << c.code << " " << top;
    EXPECT_TRUE(bottom >= c.bottomLow && bottom <= c.bottomHigh) << c.code << " " << bottom;
    EXPECT_TRUE(m.gmfCellIncX > m.gmfBlackBoxX && m.gmfCellIncX < 1 && m.gmfCellIncY == 0) << c.code;
  }
  const GLYPHMETRICSFLOAT &none = font->GlyphMetrics[255];
  EXPECT_EQ(std::vector<float>(&none.gmfBlackBoxX, &none.gmfCellIncY + 1), std::vector<float>(6, 0.0f));
  EXPECT_NE(ReadWholeFile("program.log").find(" PROGRAM: -- DEBUG: Outline font Impact: "), std::string::npos);
  delete font;
}

TEST_F(TextTest, OutlineGlyphsOnScreen) {
  GL_TTFONTS *font = WhiteOutlineFont();
  auto draw = [font](const char *text, float angle, float yOffset, int32_t columns = 2) {
    Clear();
    font->BeginOutlineText();
    font->PrintOutline(text, 0.25f, 0.25f, 0, columns, 2, angle, yOffset);
    return ReadFrame();
  };
  // Cells of half the screen: the first glyph's origin is at (160, 240), one glyph unit 320 x 240 pixels.
  const GLYPHMETRICSFLOAT &o = font->GlyphMetrics['O'], &i = font->GlyphMetrics['I'];
  const FRAME ring = draw("O", 0, 0);
  const int32_t cx = (int32_t)(160 + (o.gmfptGlyphOriginX + o.gmfBlackBoxX / 2) * 320);
  const int32_t cy = (int32_t)(240 - (o.gmfptGlyphOriginY - o.gmfBlackBoxY / 2) * 240);
  const int32_t stroke = cx - (int32_t)(o.gmfBlackBoxX * 0.42f * 320);
  EXPECT_EQ(CountLit(ring, {cx - 4, cy - 4, cx + 4, cy + 4}), 0) << "the hole of O is filled";
  EXPECT_EQ(CountLit(ring, {stroke - 1, cy - 1, stroke + 2, cy + 2}), 9) << "the ring of O is missing";
  const REGION pair = LitBox(draw("II", 0, 0, 4));
  EXPECT_NEAR(pair.X1 - pair.X0, (i.gmfCellIncX + i.gmfBlackBoxX) * 160, 2) << "advance";
  // Edge-on only the extrusion shows, 0.2 glyph units high, right above the origin whatever the y offset.
  const REGION edge = LitBox(draw("H", 90, -0.285f));
  EXPECT_NEAR(edge.Y0, 240 - 0.2 * 240, 2);
  EXPECT_NEAR(edge.Y1, 240, 2);
  EXPECT_EQ(MaxDifference(draw("\xffH", 0, 0), draw("H", 0, 0), kWhole), 0) << "code 255 moved on";
  EXPECT_EQ(CountLit(draw("\xff", 0, 0), kWhole), 0);
  delete font;
}

TEST_F(TextTest, OutlineFontWithoutAnyFaceDrawsNothing) {
  WriteWholeFile("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
  setenv("FONTCONFIG_FILE", (dir_.path() + "/fonts.conf").c_str(), 1);
  GL_TTFONTS *font = WhiteOutlineFont();
  unsetenv("FONTCONFIG_FILE");
  for (const GLYPHMETRICSFLOAT &m : font->GlyphMetrics) EXPECT_EQ(m.gmfCellIncX + m.gmfBlackBoxY, 0.0f);
  Clear();
  font->PrintOutline("HO", 0.25f, 0, 1, 2, 2, 0, 0);
  EXPECT_EQ(CountLit(ReadFrame(), kWhole), 0);
  EXPECT_NE(ReadWholeFile("program.log").find(" PROGRAM: -- WARNING: "), std::string::npos);
  delete font;
}

TEST_F(TextTest, TwirlTurnsThePictureAboutItsCentre) {
  // Screen points as fractions from the top-left corner; at rest 31/32 of the picture spans 16/15 of the
  // screen, so its middle lies right of and below the screen's.
  const float pi = 3.14159265f;
  const RGB red = {255, 0, 0}, green = {0, 255, 0}, blue = {0, 0, 255}, white = {255, 255, 255};
  struct { float angle, x, y; RGB rgb; } cases[] = {{0, 0.25f, 0.25f, red}, {0, 0.75f, 0.25f, green},
      {0, 0.25f, 0.75f, blue}, {0, 0.75f, 0.75f, white}, {0, 0.52f, 0.52f, red}, {0, 0.55f, 0.55f, white},
      {pi, 0.4f, 0.4f, white}, {pi, 0.6f, 0.6f, red}, {pi, 0.97f, 0.03f, green}, {pi, 0.97f, 0.97f, white}};
  OpenTestDriver(640, 480);
  std::vector<uint8_t> quadrants(256 * 256);
  for (int i = 0; i < 256 * 256; i++) quadrants[i] = (uint8_t)(i % 256 / 128 + i / 256 / 128 * 2);
  WriteWholeFile("cover.gif", GiflibGif(256, 256, quadrants, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}, 2));
  GL_MATERIAL *cover = new (__LINE__, "test") GL_MATERIAL;
  strcpy(cover->BaseTexture, "cover.gif");
  cover->UseBase = 1;
  cover->Mipmap = 0;
  cover->Alpha = 1;
  cover->Preload();
  auto draw = [cover](float angle) {
    Clear();
    c_GLDRIVER::SetDefaultState();
    cover->Apply(0);
    DrawTwirl(angle);
    return ReadFrame();
  };
  const FRAME first = draw(2.0f);
  for (auto &c : cases) {
    EXPECT_PRED2(Near, Colour(draw(c.angle), (int32_t)(c.x * 640), (int32_t)(c.y * 480)), c.rgb)
        << c.angle << " " << c.x << " " << c.y;
  }
  EXPECT_EQ(MaxDifference(first, draw(2.0f), kWhole), 0) << "the first call differs from a later one";
  cover->Release();
  delete cover;
}

}  // namespace
