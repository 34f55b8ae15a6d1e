#include "effects/efx1.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

PARTICLE gParticles[PARTICLE_COUNT];
float gPreviousLevel = 0.0f;
GL_MATERIAL *gParticlesMaterial = nullptr;

namespace {

// A 16 x 16 sprite centred on the particle, faded by its remaining life, when it lies inside the panel's
// corner; outside it the particle flies on unseen.
void DrawParticle(const PARTICLE &p) {
  if (p.y - 8 < 390 || p.y + 8 > 500 || p.x + 8 < 310) return;
  const float alpha = fminf(p.life * 0.025f, 1.0f);
  glColor4f(p.r * alpha, p.g * alpha, p.b * alpha, 1.0f);
  const float x0 = (p.x - 8) / 512, x1 = (p.x + 8) / 512, y0 = (p.y - 8) / 512, y1 = (p.y + 8) / 512;
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 0);
  glVertex2f(x1, y0);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y1);
  glTexCoord2f(0, 1);
  glVertex2f(x0, y1);
}

// Born at the source, shifted down by the level jump d, the speed turned by -d pi/4 and the colour whiter
// the larger the jump.
void Respawn(PARTICLE &p, float d) {
  p.x = 480;
  p.y = 444 + 80 * d;
  p.z = 0;
  p.vx = (float)(-4 + rand() % 2);
  p.vy = 0;
  p.vz = 0;
  const float a = fabsf(d);
  p.r = 1;
  p.g = (float)(rand() % 1000) * 0.001f * (1 - a) + a;
  p.b = (float)(rand() % 1000) * 0.001f * (1 - a) + a;
  const float theta = -d * 0.785398163f;
  const float vx = p.vx * cosf(theta) - p.vy * sinf(theta);
  const float vy = p.vx * sinf(theta) + p.vy * cosf(theta);
  p.vx = vx;
  p.vy = vy;
  p.life = (float)(40 - rand() % 10);
}

}  // namespace

void ParticlesInit() {
  for (PARTICLE &p : gParticles) {
    p.x = (float)(480 - rand() % 13);
    p.y = 444;
    p.z = 0;
    p.vx = -4;
    p.vy = 0;
    p.vz = 0;
    p.life = (float)(40 - rand() % 10);
    p.r = (float)(rand() % 1000) * 0.0005f + 0.5f;
    p.g = (float)(rand() % 1000) * 0.0005f + 0.5f;
    p.b = (float)(rand() % 1000) * 0.0005f + 0.5f;
  }

  gParticlesMaterial = new (__LINE__, "efx1") GL_MATERIAL;
  if (!gParticlesMaterial) FatalError(__LINE__, "efx1", "gParticlesMaterial == NULL !");
  strcpy(gParticlesMaterial->BaseTexture, "data/parts.png");
  gParticlesMaterial->UseBase = 1;
  gParticlesMaterial->Wrap = 1;
  gParticlesMaterial->Mipmap = 0;
  gParticlesMaterial->Wireframe = 0;
  gParticlesMaterial->AnimateTexture = 0;
  gParticlesMaterial->Alpha = 1.0f;
  gParticlesMaterial->BlendSrc = GL_SRC_ALPHA;
  gParticlesMaterial->BlendDst = GL_ONE_MINUS_SRC_COLOR;
  gParticlesMaterial->AlphaMode = ALPHA_CONSTANT;
  gParticlesMaterial->Preload();
}

void ParticlesDraw(float dt) {
  const float level = MusicGetLevel();
  const float d = level - gPreviousLevel;
  gPreviousLevel = level;

  OverlaySetup();

  gParticlesMaterial->Apply(0);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(1, 1, 1, 1);

  glBegin(GL_QUADS);
  for (PARTICLE &p : gParticles) {
    if (p.life <= 0) {
      // Reborn where this frame's level change puts it; it starts moving on the next frame.
      Respawn(p, d);
      DrawParticle(p);
      continue;
    }
    DrawParticle(p);
    p.life -= dt;
    p.x += p.vx * dt;
    p.y += p.vy * dt;
    p.z += p.vz * dt;
  }
  glEnd();
}

void ParticlesFree() { FreeMaterial(gParticlesMaterial); }
