// The frame loop: one call of DirectorFrame renders and shows one frame.
#include "director/director.h"

#include <GL/gl.h>

#include "director/director_local.h"
#include "director/modinfo.h"
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

void PlayNextTrack() {
  CurrentMod = (CurrentMod + 1) % ModCount;
  MusicPlay(ModInfos[CurrentMod].ModFile);
}

void PlayPreviousTrack() {
  // From the first track back to the last, as the step forward wraps from the last to the first.
  CurrentMod = (CurrentMod + ModCount - 1) % ModCount;
  MusicPlay(ModInfos[CurrentMod].ModFile);
}

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

// The scene button only adds to OverlayIndex; every third press lands on 3, which moves on to the next
// scene with the level history, so the presses walk all nine combinations.
static void DrawOverlay() {
  if (OverlayIndex % 4 == 3) {
    SceneIndex++;
    OverlayIndex++;
  }
  LevelHistoryDraw();
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
  DirectorAdvanceClock(PlatformTickCount());
  if (CoverOpaque == 0.0f) {
    PlayerScreenFrame();
    DrawOverlay();
  }
  if (Ending == 1) ClosingSequence();
  if (IntroRunning == 1) OpeningSequence();
  PlatformSwapBuffers(GlDriver->DeviceContext);
  MinimiseWhenAsked();
}
