// The frame loop: one call of DirectorFrame renders and shows one frame.
#include "director/director.h"

#include <GL/gl.h>

#include "director/director_local.h"
#include "director/metaball_scene.h"
#include "director/modinfo.h"
#include "effects/efx1.h"
#include "effects/efx2.h"
#include "effects/efx3.h"
#include "effects/tknot.h"
#include "graphics/gldriver.h"
#include "music/music.h"
#include "platform/platform.h"
#include "shell/shell.h"

int32_t DirectorStarted = 0;
float SceneClock = 0.0f;
uint32_t LastTick = 0;
int32_t IntroRunning = 1;
float IntroStart = 0.0f;
int32_t Ending = 0;
float EndStart = 0.0f;
float CoverOpaque = 0.0f;
uint32_t SceneIndex = 0;
uint32_t OverlayIndex = 0;

float DirectorAdvanceClock(uint32_t now) {
  float step = 0.0f;
  // Unsigned subtraction: a wrap of the 32-bit tick count between two frames still gives the elapsed time.
  if (LastTick != 0) step = (float)((double)(uint32_t)(now - LastTick) * 0.001 * kClockUnitsPerSecond);
  LastTick = now;
  SceneClock += step;
  return step;
}

// The new track starts from its beginning, and so does the slider: a held step button must not carry the
// last song's place over to it.
static void StartTrack(uint32_t track) {
  CurrentMod = track;
  MusicPlay(ModInfos[CurrentMod].ModFile);
  SongProgress = 0.0f;
}

void PlayNextTrack() { StartTrack((CurrentMod + 1) % ModCount); }

// From the first track back to the last, as the step forward wraps from the last to the first.
void PlayPreviousTrack() { StartTrack((CurrentMod + ModCount - 1) % ModCount); }

static void NextTrackAtSongEnd() {
  if (MusicHasEnded() == 1) PlayNextTrack();
}

// Only the depth buffer: in normal play the panel covers the whole screen, and the sequences clear the
// colour buffer themselves where they need it.
static void ClearDepth() {
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);
}

static void DrawScene(float step) {
  switch (SceneIndex % 3) {
    case 0:
      MetaballSceneDraw(SceneClock);
      break;
    case 1:
      MateffDraw(step);
      break;
    case 2:
      TorusKnotDraw(SceneClock);
      break;
  }
}

// The scene button only adds to OverlayIndex; every third press lands on 3, which moves on to the next
// scene with the level history, so the presses walk all nine combinations.
static void DrawOverlay(float step) {
  switch (OverlayIndex % 4) {
    case 0:
      LevelHistoryDraw();
      break;
    case 1:
      ParticlesDraw(step);
      break;
    case 2:
      SpectrumDraw();
      break;
    case 3:
      SceneIndex++;
      OverlayIndex++;
      LevelHistoryDraw();
      break;
  }
}

static void MinimiseWhenAsked() {
  if (AppActive != 0) return;
  PlatformSleep(500);
  PlatformMinimiseWindow(MainWindow);
}

void DirectorFrame() {
  if (!DirectorStarted) return;
  NextTrackAtSongEnd();
  ClearDepth();
  float step = DirectorAdvanceClock(PlatformTickCount());
  if (CoverOpaque == 0.0f) {
    PlayerScreenFrame();
    DrawScene(step);
    DrawOverlay(step);
  }
  if (Ending == 1) ClosingSequence();
  if (IntroRunning == 1) OpeningSequence();
  PlatformSwapBuffers(GlDriver->DeviceContext);
  MinimiseWhenAsked();
}
