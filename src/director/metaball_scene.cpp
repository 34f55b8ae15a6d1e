#include "director/metaball_scene.h"

#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

METABALLS *MyMetaballs = nullptr;

static METABALL_LEVELS sMetaballLevels;

void MetaballSceneMaterial(GL_MATERIAL &settings) {
  strcpy(settings.BaseTexture, "data/meta1.jpg");
  settings.UseBase = 1;
  strcpy(settings.EnviTexture, "data/meta2.jpg");
  settings.UseEnvi = 1;
  settings.Wrap = 1;
  settings.Mipmap = 0;
  settings.Wireframe = 0;
  settings.AnimateTexture = 0;
  settings.EnviAdd = 0;
  settings.Alpha = 1.0f;
  settings.BlendSrc = GL_SRC_ALPHA;
  settings.BlendDst = GL_ONE_MINUS_SRC_COLOR;
  settings.AlphaMode = ALPHA_CONSTANT;
}

void MetaballSceneDraw(float t) {
  // Right before left, each its own query of the player.
  const float right = MusicGetRightLevel();
  const float left = MusicGetLeftLevel();
  MetaballSceneStep(*MyMetaballs, sMetaballLevels, t, right, left);
  MyMetaballs->ComputeField();
  MyMetaballs->Draw();
}
