#include "material/material.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "geometry/vecmath.h"
#include "graphics/gldriver.h"
#include "shell/shell.h"

namespace {

// Without the multitexture entry point every selection is skipped and all state lands on the one unit.
void SelectUnit(GLenum unit) {
  if (glActiveTextureARB) glActiveTextureARB(unit);
}

void SetCombine(GLenum function) {
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, (GLfloat)GL_COMBINE_EXT);
  glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, (GLfloat)function);
}

void SetMaterialColours(const float ambient[4], const float diffuse[4], const float specular[4],
                        const float emission[4]) {
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
}

[[noreturn]] void PreloadError(int line, const char *texture, const char *name, const char *which) {
  char message[512];
  snprintf(message, sizeof message, "GL_MATERIAL::Texture (%s)(%s) preload error ![%s]", texture, name, which);
  FatalError(line, "material", message);
}

}  // namespace

GL_MATERIAL::GL_MATERIAL() {
  memset((void *)this, 0, sizeof *this);
  Wrap = 1;
  Mipmap = 1;
  BlendSrc = GL_SRC_ALPHA;
  BlendDst = GL_ONE_MINUS_SRC_ALPHA;
  AlphaMode = ALPHA_CONSTANT;
}

void GL_MATERIAL::Preload() {
  Opaque = 1;
  if (BlendSrc != GL_SRC_ALPHA || BlendDst != GL_ONE_MINUS_SRC_ALPHA) Opaque = 0;
  if (Alpha < 1.0f) Opaque = 0;
  if (AlphaMode != ALPHA_CONSTANT && AlphaMode != ALPHA_COLORKEY) Opaque = 0;
  if (UseBase == 0) return;

  BaseBind = GlDriver->LoadTexture(BaseTexture, AlphaMode, Mipmap, Wrap, Alpha);
  if (BaseBind == 0) PreloadError(__LINE__, BaseTexture, Name, "base");
  BaseWidth = GlDriver->LastTextureWidth;
  BaseHeight = GlDriver->LastTextureHeight;

  if (UseEnvi == 0) return;
  if (EnviTexture[0] == 0) {
    memcpy(EnviTexture, BaseTexture, sizeof EnviTexture - 1);
    EnviTexture[sizeof EnviTexture - 1] = 0;
  }
  // The environment texture always repeats.
  EnviBind = GlDriver->LoadTexture(EnviTexture, AlphaMode, Mipmap, 1, Alpha);
  if (EnviBind == 0) PreloadError(__LINE__, EnviTexture, Name, "env");
}

void GL_MATERIAL::Apply(float time) {
  glDisable(GL_COLOR_MATERIAL);

  SelectUnit(GL_TEXTURE1_ARB);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  SelectUnit(GL_TEXTURE0_ARB);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();

  if (AnimateTexture == 1) {
    float t = AnimMode == 1 ? time * AnimSpeed : AnimMode == 2 ? sinf(time * AnimSpeed) : 0.0f;
    MATRIX34 m;
    MatrixFromTRS(AnimTranslate[0] + t * AnimTranslateRate[0], AnimTranslate[1] + t * AnimTranslateRate[1],
                  AnimTranslate[2] + t * AnimTranslateRate[2], AnimAngle + t * AnimAngleRate,
                  AnimAxis[0] + t * AnimAxisRate[0], AnimAxis[1] + t * AnimAxisRate[1],
                  AnimAxis[2] + t * AnimAxisRate[2], AnimScale[0] + t * AnimScaleRate[0],
                  AnimScale[1] + t * AnimScaleRate[1], AnimScale[2] + t * AnimScaleRate[2], m);
    // Row r of the linear part goes to elements 4r..4r+2, the translation to 12..14.
    const GLfloat matrix[16] = {m.m[0][0], m.m[0][1], m.m[0][2], 0.0f, m.m[1][0], m.m[1][1], m.m[1][2], 0.0f,
                                m.m[2][0], m.m[2][1], m.m[2][2], 0.0f, m.m[0][3], m.m[1][3], m.m[2][3], 1.0f};
    glLoadMatrixf(matrix);
  }

  const float brightness = SetupOptions.Brightness;
  if (UseBase == 0) {
    SelectUnit(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    SelectUnit(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    ApplyCommonState(0);
    const float ambient[4] = {Ambient[0], Ambient[1], Ambient[2], Alpha};
    const float diffuse[4] = {Diffuse[0], Diffuse[1], Diffuse[2], Alpha};
    const float specular[4] = {Specular[0], Specular[1], Specular[2], Alpha};
    const float emission[4] = {brightness, brightness, brightness, Alpha};
    SetMaterialColours(ambient, diffuse, specular, emission);
    return;
  }

  glEnable(GL_TEXTURE_2D);
  // The default lighting material: a textured surface's own colours are not used.
  const float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  const float diffuse[4] = {0.6f, 0.6f, 0.6f, 1.0f};
  const float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const float emission[4] = {brightness, brightness, brightness, 1.0f};
  SetMaterialColours(ambient, diffuse, specular, emission);

  const int combine = GlDriver->HasEnvCombine == 1;
  if (UseEnvi == 1) {
    SelectUnit(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, BaseBind);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (combine) SetCombine(EnviAdd ? GL_ADD : GL_MODULATE);
    SelectUnit(GL_TEXTURE1_ARB);
    glBindTexture(GL_TEXTURE_2D, EnviBind);
    glEnable(GL_TEXTURE_2D);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
  } else {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    SelectUnit(GL_TEXTURE1_ARB);
    if (combine) SetCombine(GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    SelectUnit(GL_TEXTURE0_ARB);
    if (combine) SetCombine(GL_MODULATE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, BaseBind);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
  }
  ApplyCommonState(AlphaMode == ALPHA_COLORKEY);
}

void GL_MATERIAL::ApplyCommonState(int alphaTest) {
  glBlendFunc(BlendSrc, BlendDst);
  glEnable(GL_DEPTH_TEST);
  // Only opaque surfaces write depth; the others are drawn after them in any order.
  glDepthFunc(Opaque == 1 ? GL_LESS : GL_LEQUAL);
  glDepthMask(Opaque == 1 ? GL_TRUE : GL_FALSE);
  if (alphaTest) {
    glAlphaFunc(GL_GREATER, 0.3f);
    glEnable(GL_ALPHA_TEST);
  } else {
    glDisable(GL_ALPHA_TEST);
  }
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  if (Opaque == 1 && SetupOptions.BackFaceCull == 1)
    glEnable(GL_CULL_FACE);
  else
    glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, Wireframe == 1 ? GL_LINE : GL_FILL);
}

void GL_MATERIAL::Release() {
  if (BaseBind != 0) GlDriver->ReleaseTexture(BaseBind);
  if (EnviBind != 0) GlDriver->ReleaseTexture(EnviBind);
}

void FreeMaterial(GL_MATERIAL *&material) {
  if (!material) return;
  material->Release();
  delete material;
  material = nullptr;
}
