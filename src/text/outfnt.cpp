#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "text/text.h"

// Without the multitexture entry point every selection is skipped and all state lands on the one unit.
static void SelectUnit(GLenum unit) {
  if (glActiveTextureARB) glActiveTextureARB(unit);
}

// =========================================================================================================
// [SECTION] Outline font

GL_TTFONTS::GL_TTFONTS(const char *textureFile, const char *faceName, int32_t, int32_t)
    : Material(nullptr), GlyphMetrics{} {
  ListBase = glGenLists(256);
  if (ListBase == 0) FatalError(__LINE__, "outfnt", "GL_TTFONTS::Cannot generate DisplayList !");

  PlatformFont *font = PlatformCreateFont(faceName, 700);
  if (font != nullptr) {
    LogPrint("\n PROGRAM: -- DEBUG: Outline font %s: %s ", faceName, PlatformFontName(font));
    PlatformUseFontOutlines(font, 0, 255, ListBase, 0.1f, 0.2f, GlyphMetrics);
    PlatformDeleteFont(font);
  } else {
    LogPrint("\n PROGRAM: -- WARNING: No outline font can be loaded for %s, its text stays empty !", faceName);
  }

  Material = new (__LINE__, "outfnt") GL_MATERIAL;
  if (Material == nullptr) FatalError(__LINE__, "outfnt", "GL_TTFONTS::Null material pointer !");
  strncpy(Material->BaseTexture, textureFile, sizeof Material->BaseTexture - 1);
  Material->UseBase = 1;
  Material->Wrap = 1;
  Material->Mipmap = 0;
  Material->Wireframe = 0;
  Material->AnimateTexture = 0;
  Material->Alpha = 1.0f;
  Material->BlendSrc = GL_SRC_ALPHA;
  Material->BlendDst = GL_ONE_MINUS_SRC_ALPHA;
  Material->AlphaMode = ALPHA_CONSTANT;
  Material->Preload();
}

GL_TTFONTS::~GL_TTFONTS() {
  FreeMaterial(Material);
  glDeleteLists(ListBase, 256);
}

void GL_TTFONTS::BeginOutlineText() {
  c_GLDRIVER::SetDefaultState();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  Material->Apply(0);
  glDisable(GL_CULL_FACE);

  SelectUnit(GL_TEXTURE1_ARB);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);

  // The eye planes keep their defaults (s from x, t from y); with the identity modelview they were given
  // under, s and t follow each vertex's place in the unit square that PrintOutline draws in.
  SelectUnit(GL_TEXTURE0_ARB);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glMatrixMode(GL_MODELVIEW);
}

void GL_TTFONTS::PrintOutline(const char *text, float x, float y, int32_t begin, int32_t columns, int32_t rows,
                              float angle, float yOffset) {
  if (text == nullptr || text[0] == 0) return;
  if (begin == 1) BeginOutlineText();
  LoadScreenUnitProjection();
  const double w = 1.0 / columns, h = 1.0 / rows;
  double cursor = x;
  for (const unsigned char *c = (const unsigned char *)text; *c != 0; c++) {
    glPushMatrix();
    glTranslated(cursor, y + 0.5 * h, 0);
    glScaled(w, -h, 1);
    glRotatef(angle, 1, 0, 0);
    glTranslatef(0, yOffset, 0);
    cursor += GlyphMetrics[*c].gmfCellIncX * w;
    glCallList(ListBase + *c);
    glPopMatrix();
  }
}

// =========================================================================================================
// [SECTION] Twirl backdrop

struct TWIRL_POINT {
  float X, Y;    // screen position, -1 to 1 + 1/15
  float Weight;  // share of the angle: 1 at the centre, 0 at the corners of the [-1, 1] square
  float S0, T0;  // texture coordinate at rest
  float S, T;    // texture coordinate of the last call
};

static TWIRL_POINT sTwirl[32][32];  // [row][column]
static bool sTwirlFilled = false;

static void FillTwirl() {
  for (int j = 0; j < 32; j++) {
    for (int i = 0; i < 32; i++) {
      TWIRL_POINT &p = sTwirl[j][i];
      p.X = i / 15.0f - 1;
      p.Y = j / 15.0f - 1;
      p.Weight = 1 - std::sqrt(p.X * p.X + p.Y * p.Y) / std::sqrt(2.0f);
      p.S0 = i / 32.0f;
      p.T0 = j / 32.0f;
    }
  }
  sTwirlFilled = true;
}

static void TwirlVertex(const TWIRL_POINT &p) {
  glTexCoord2f(p.S, p.T);
  glVertex2f(p.X, p.Y);
}

void DrawTwirl(float angle) {
  // Row 0 (y = -1) at the top of the screen.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glScalef(1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glNormal3f(0, 1, 0);
  if (!sTwirlFilled) FillTwirl();
  for (auto &row : sTwirl) {
    for (TWIRL_POINT &p : row) {
      const float theta = p.Weight * angle, a = p.S0 - 0.5f, b = p.T0 - 0.5f;
      p.S = a * std::cos(theta) - b * std::sin(theta) + 0.5f;
      p.T = a * std::sin(theta) + b * std::cos(theta) + 0.5f;
    }
  }
  glBegin(GL_QUADS);
  for (int j = 0; j < 31; j++) {
    for (int i = 0; i < 31; i++) {
      TwirlVertex(sTwirl[j][i]);
      TwirlVertex(sTwirl[j][i + 1]);
      TwirlVertex(sTwirl[j + 1][i + 1]);
      TwirlVertex(sTwirl[j + 1][i]);
    }
  }
  glEnd();
}
