#include "effects/efx3.h"

#include <cmath>
#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

GL_MATERIAL *MateffMaterial1 = nullptr;
GL_MATERIAL *MateffMaterial2 = nullptr;
TACKLE *MateffTackle1 = nullptr;
TACKLE *MateffTackle2 = nullptr;
float gMateffPrevRight = 0.0f;
float gMateffPrevLeft = 0.0f;

namespace {

void SetUpMaterial(GL_MATERIAL *material, const char *base, const char *envi) {
  strcpy(material->BaseTexture, base);
  strcpy(material->EnviTexture, envi);
  material->UseBase = 1;
  material->UseEnvi = 1;
  material->Wrap = 1;
  material->Mipmap = 0;
  material->Wireframe = 0;
  material->AnimateTexture = 0;
  material->EnviAdd = 0;
  material->Alpha = 1.0f;
  material->BlendSrc = GL_SRC_ALPHA;
  material->BlendDst = GL_ONE_MINUS_SRC_COLOR;
  material->AlphaMode = ALPHA_CONSTANT;
  material->Preload();
}

// Turns the camera's up vector about the x axis.
void Roll(TACKLE *tackle, float angle) {
  VECTOR3 &up = tackle->up;
  const float y = up.y * cosf(angle) - up.z * sinf(angle);
  const float z = up.y * sinf(angle) + up.z * cosf(angle);
  up.y = y;
  up.z = z;
}

}  // namespace

void MateffInit() {
  MateffMaterial1 = new (__LINE__, "efx3") GL_MATERIAL;
  if (!MateffMaterial1) FatalError(__LINE__, "efx3", "MateffMaterial1 == NULL !");
  SetUpMaterial(MateffMaterial1, "data/tack1b.jpg", "data/tack1e.jpg");
  MateffMaterial2 = new (__LINE__, "efx3") GL_MATERIAL;
  if (!MateffMaterial2) FatalError(__LINE__, "efx3", "MateffMaterial2 == NULL !");
  SetUpMaterial(MateffMaterial2, "data/tack2b.jpg", "data/tack2e.jpg");

  MateffTackle1 = TackleCreate(MateffMaterial1, 32, 10);
  MateffTackle1->eye.x = 1000;
  MateffTackle2 = TackleCreate(MateffMaterial2, 32, 10);
  MateffTackle2->eye.x = 1000;
}

void MateffDraw(float dt) {
  const float right = MusicGetRightLevel();
  const float left = MusicGetLeftLevel();
  const float dRight = right - gMateffPrevRight, dLeft = left - gMateffPrevLeft;
  gMateffPrevRight = right;
  gMateffPrevLeft = left;

  Roll(MateffTackle1, 0.125f * dRight);
  Roll(MateffTackle2, 0.125f * dLeft);
  TackleUpdate(MateffTackle1, (fabsf(dRight) + dt) * 0.5f);
  TackleUpdate(MateffTackle2, (fabsf(dLeft) + dt) * 0.5f);
  // Each draw clears the depth buffer, so the second bundle lies over the first.
  TackleDraw(MateffTackle1, nullptr, 0, 0, 0);
  TackleDraw(MateffTackle2, nullptr, 0, 0, 0);
}

void MateffFree() {
  if (MateffTackle1) TackleDestroy(MateffTackle1);
  if (MateffTackle2) TackleDestroy(MateffTackle2);
  MateffTackle1 = nullptr;
  MateffTackle2 = nullptr;
  FreeMaterial(MateffMaterial1);
  FreeMaterial(MateffMaterial2);
}
