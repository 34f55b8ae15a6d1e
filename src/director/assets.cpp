// The director's start-up and shutdown: the track list, the fonts, the pictures of the panel and the
// covers, the effects, and the first track.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>

#include "director/director.h"
#include "director/director_local.h"
#include "director/metaball_scene.h"
#include "director/modinfo.h"
#include "effects/efx1.h"
#include "effects/efx2.h"
#include "effects/efx3.h"
#include "effects/tknot.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"
#include "platform/platform.h"
#include "support/misc.h"
#include "text/text.h"

GL_TEXFONT *gTunemillFonts = nullptr;
GL_TTFONTS *gTTFFonts = nullptr;
GL_MATERIAL *gTunemillPanel1 = nullptr;
GL_MATERIAL *gTunemillPanel2 = nullptr;
GL_MATERIAL *gTunemillBeginCover = nullptr;
GL_MATERIAL *gTunemillBeginCover0 = nullptr;
GL_MATERIAL *gTunemillTheEnd = nullptr;
GL_MATERIAL *gTunemillEndCover = nullptr;
GL_MATERIAL *gTunemillScrollbar = nullptr;
GL_MATERIAL *gTunemillPanelMarker = nullptr;

// One picture of the player screen or the covers: the same settings for all but the file, the alpha and
// the alpha rule. `line` and `message` report an object that could not be made.
static GL_MATERIAL *CreatePicture(const char *file, float alpha, int32_t alphaMode, int line,
                                  const char *message) {
  GL_MATERIAL *material = new (line, "demo") GL_MATERIAL();
  if (!material) FatalError(line, "demo", message);
  strncpy(material->BaseTexture, file, sizeof material->BaseTexture - 1);
  material->UseBase = 1;
  material->Wrap = 1;
  material->Mipmap = 0;
  material->Wireframe = 0;
  material->AnimateTexture = 0;
  material->Alpha = alpha;
  material->BlendSrc = GL_SRC_ALPHA;
  material->BlendDst = GL_ONE_MINUS_SRC_ALPHA;
  material->AlphaMode = alphaMode;
  material->Preload();
  return material;
}

static void CreateFonts() {
  gTunemillFonts = new (681, "demo") GL_TEXFONT("data/font.gif", 60, 25);
  if (!gTunemillFonts) FatalError(681, "demo", "gTunemillFonts == NULL !");
  gTTFFonts = new (684, "demo") GL_TTFONTS("data/marker2.jpg", "Impact", 0, -12);
  if (!gTTFFonts) FatalError(684, "demo", "gTTFFonts == NULL !");
}

static void CreateMetaballs() {
  GL_MATERIAL settings;
  MetaballSceneMaterial(settings);
  MyMetaballs = new (617, "demo") METABALLS(3, settings);
  if (!MyMetaballs) FatalError(617, "demo", "MyMetaballs == NULL !");
}

void DirectorStart() {
  ParseModInfos();
  CreateFonts();

  gTunemillPanel1 = CreatePicture("data/panel1.jpg", 0.4f, ALPHA_CONSTANT, 687, "gTunemillPanel1 == NULL !");
  gTunemillPanel2 = CreatePicture("data/panel5.jpg", 0.4f, ALPHA_CONSTANT, 702, "gTunemillPanel2 == NULL !");
  gTunemillBeginCover =
      CreatePicture("data/begcv1.jpg", 1.0f, ALPHA_CONSTANT, 718, "gTunemillBeginCover == NULL !");
  gTunemillBeginCover0 =
      CreatePicture("data/begcv0.jpg", 1.0f, ALPHA_CONSTANT, 733, "gTunemillBeginCover0 == NULL !");
  gTunemillTheEnd = CreatePicture("data/theend.jpg", 1.0f, ALPHA_CONSTANT, 749, "gTunemillTheEnd == NULL !");
  gTunemillEndCover = CreatePicture("data/endcvr.jpg", 1.0f, ALPHA_CONSTANT, 764, "gTunemillEndCover == NULL !");
  gTunemillScrollbar =
      CreatePicture("data/scrler.gif", 1.0f, ALPHA_CONSTANT, 779, "gTunemillScrollbar == NULL !");
  gTunemillPanelMarker =
      CreatePicture("data/marker.jpg", 0.75f, ALPHA_LUMINANCE, 794, "gTunemillPanelMarker == NULL !");
  CreateMetaballs();
  // Particles draw from rand before it is seeded below.
  ParticlesInit();
  SpectrumInit();
  MateffInit();
  TorusKnotInit();

  // Seeded from the clock, so that the first track differs from run to run.
  srand(PlatformTickCount());
  // The runtime's generator draws 0 to 32767; glibc's goes higher, so it is cut to the same range.
  CurrentMod = (uint32_t)(rand() % 32768) % ModCount;
  MusicInit(ModInfos[CurrentMod].ModFile);

  DirectorStarted = 1;
}

void DirectorShutdown() {
  DirectorStarted = 0;
  MusicShutdown();

  delete gTunemillFonts;
  gTunemillFonts = nullptr;
  FreeMaterial(gTunemillPanel1);
  FreeMaterial(gTunemillPanel2);
  FreeMaterial(gTunemillScrollbar);
  FreeMaterial(gTunemillPanelMarker);
  delete gTTFFonts;
  gTTFFonts = nullptr;
  delete MyMetaballs;
  MyMetaballs = nullptr;
  FreeMaterial(gTunemillBeginCover);
  FreeMaterial(gTunemillBeginCover0);
  FreeMaterial(gTunemillEndCover);
  FreeMaterial(gTunemillTheEnd);

  TrackedFree(ModInfos, __LINE__, "demo");
  ModInfos = nullptr;

  ParticlesFree();
  SpectrumFree();
  MateffFree();
  TorusKnotFree();
}
