#include "stage.h"

#include <GL/gl.h>

#include <cstdlib>

#include "archive/archive.h"
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
#include "shell/shell.h"

const STAGE_DRAWER gStageDrawers[] = {
    {"clear", [](float, float) {}},
    {"metaballs", [](float clock, float) { MetaballSceneDraw(clock); }},
    {"tentacles", [](float, float step) { MateffDraw(step); }},
    {"knot", [](float clock, float) { TorusKnotDraw(clock); }},
    // The fly-in once the camera has arrived, turning as in the opening sequence.
    {"knot-intro", [](float clock, float) { TorusKnotDrawIntro(0.2f + clock / 3300); }},
    {"particles", [](float, float step) { ParticlesDraw(step); }},
    {"spectrum", [](float, float) { SpectrumDraw(); }},
};
const int gStageDrawerCount = sizeof gStageDrawers / sizeof gStageDrawers[0];

bool OpenStage(int32_t width, int32_t height) {
  static bool archiveOpen = false;
  if (!archiveOpen) OpenResource();
  archiveOpen = true;
  MainWindow = PlatformCreateMainWindow("Tunemill");
  if (!MainWindow) return false;
  PlatformShowWindow(MainWindow);
  SetupOptions = SETUP_OPTIONS{width, height, 32, 32, 1, 0, 0, 0.0f, 0, 1};
  GlDriver = new (__LINE__, "stage") c_GLDRIVER(MainWindow, GLDRIVER_DOUBLEBUFFER | GLDRIVER_DEPTH24, width,
                                                 height, 32, 0);
  GlDriver->MakeCurrent();
  c_GLDRIVER::SetDefaultState();

  GL_MATERIAL settings;
  MetaballSceneMaterial(settings);
  MyMetaballs = new (__LINE__, "stage") METABALLS(3, settings);
  ParticlesInit();
  SpectrumInit();
  MateffInit();
  TorusKnotInit();
  ParseModInfos();
  // Without a sound card (Xvfb machines) the music still plays, on SDL's dummy output.
  if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  MusicInit(ModInfos[0].ModFile);
  return true;
}

void CloseStage() {
  MusicShutdown();
  TrackedFree(ModInfos, __LINE__, "stage");
  ModInfos = nullptr;
  TorusKnotFree();
  MateffFree();
  SpectrumFree();
  ParticlesFree();
  delete MyMetaballs;
  MyMetaballs = nullptr;
  delete GlDriver;
  GlDriver = nullptr;
  PlatformDestroyWindow(MainWindow);
  MainWindow = nullptr;
}

void StageFrame(const STAGE_DRAWER &drawer, float clock, float step) {
  PLATFORM_MESSAGE message;
  while (PlatformTakeMessage(&message)) {
  }
  glClearColor(0, 0, 0, 0);
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawer.Draw(clock, step);
  glFinish();
}

void StagePresent() { PlatformSwapBuffers(GlDriver->DeviceContext); }
