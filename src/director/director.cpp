#include "director/director.h"

#include <GL/gl.h>
#include <cstdlib>

#include "director/modinfo.h"
#include "graphics/gldriver.h"
#include "music/music.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/misc.h"

int32_t DirectorStarted = 0;
float SceneClock = 0.0f;
uint32_t LastTick = 0;

float DirectorAdvanceClock(uint32_t now) {
  float step = 0.0f;
  // Unsigned subtraction: a wrap of the 32-bit tick count between two frames still gives the elapsed time.
  if (LastTick != 0) step = (float)((double)(uint32_t)(now - LastTick) * 0.001 * 33.0);
  LastTick = now;
  SceneClock += step;
  return step;
}

void DirectorStart() {
  ParseModInfos();

  srand(PlatformTickCount());
  int r = rand() % 32768;
  CurrentMod = (uint32_t)r % ModCount;
  MusicInit(ModInfos[CurrentMod].ModFile);

  DirectorStarted = 1;
}

void DirectorFrame() {
  if (!DirectorStarted) return;

  if (MusicHasEnded() == 1) {
    CurrentMod = (CurrentMod + 1) % ModCount;
    MusicPlay(ModInfos[CurrentMod].ModFile);
  }

  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  // Nothing covers the whole screen yet, so the colour buffer starts black (the driver's clear colour)
  // instead of keeping whatever the previous frame left.
  glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT);

  DirectorAdvanceClock(PlatformTickCount());

  PlatformSwapBuffers(GlDriver->DeviceContext);

  if (AppActive == 0) {
    PlatformSleep(500);
    PlatformMinimiseWindow(MainWindow);
  }
}

void DirectorShutdown() {
  DirectorStarted = 0;
  MusicShutdown();
  TrackedFree(ModInfos, __LINE__, "demo");
  ModInfos = nullptr;
}
