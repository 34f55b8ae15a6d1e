#include <GL/gl.h>

#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "shell/shell.h"
#include "text/text.h"

GL_TEXFONT::GL_TEXFONT(const char *textureFile, int32_t charsPerLine, int32_t linesPerScreen) {
  LinesPerScreen = linesPerScreen;
  CharsPerLine = charsPerLine;
  if (LinesPerScreen < 1 || CharsPerLine < 1) {
    FatalError(__LINE__, "font", "GL_TEXFONT::LinesPerScreen < 1 || CharsPerLine < 1 !");
  }
  Material = new (__LINE__, "font") GL_MATERIAL;
  if (Material == nullptr) FatalError(__LINE__, "font", "GL_TEXFONT::Null material pointer !");
  strncpy(Material->BaseTexture, textureFile, sizeof Material->BaseTexture - 1);
  Material->UseBase = 1;
  Material->Wrap = 1;
  Material->Mipmap = 0;
  Material->Wireframe = 0;
  Material->AnimateTexture = 0;
  Material->Alpha = 1.0f;
  Material->BlendSrc = GL_SRC_ALPHA;
  Material->BlendDst = GL_ONE_MINUS_SRC_ALPHA;
  Material->AlphaMode = ALPHA_COLORKEY;
  Material->Preload();
  if (Material->BaseWidth != 256 || Material->BaseHeight != 256) {
    FatalError(__LINE__, "font", "GL_TEXFONT::Wrong TextureSize for fonts !");
  }
}

GL_TEXFONT::~GL_TEXFONT() { FreeMaterial(Material); }

void GL_TEXFONT::BeginText() {
  c_GLDRIVER::SetDefaultState();
  const GLdouble width = GlDriver->Width, height = GlDriver->Height;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glScalef(1, -1, 1);
  glTranslated(0, -height, 0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  Material->Apply(0);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
}

void GL_TEXFONT::Print(const char *text, float x, float y, int32_t begin) {
  if (text == nullptr || text[0] == 0) return;
  if (x > 1 || x < 0 || y > 1 || y < 0) return;
  if (begin == 1) BeginText();
  float px = x * GlDriver->Width;
  const float py = y * GlDriver->Height;
  const float cw = (float)GlDriver->Width / CharsPerLine, ch = (float)GlDriver->Height / LinesPerScreen;
  const float ds = 16.0f / Material->BaseWidth, dt = 16.0f / Material->BaseHeight;
  glBegin(GL_QUADS);
  for (const unsigned char *c = (const unsigned char *)text; *c != 0; c++) {
    const float s0 = 16.0f * (*c % 16) / Material->BaseWidth, t0 = 16.0f * (*c / 16) / Material->BaseHeight;
    glTexCoord2f(s0, t0);
    glVertex2f(px, py);
    glTexCoord2f(s0 + ds, t0);
    glVertex2f(px + cw, py);
    glTexCoord2f(s0 + ds, t0 + dt);
    glVertex2f(px + cw, py + ch);
    glTexCoord2f(s0, t0 + dt);
    glVertex2f(px, py + ch);
    px += cw;
  }
  glEnd();
}
