// The scenes and overlays on a real window and driver with the disk's own pictures and music, for the
// screenshot program and the frame benchmark. Run from the build folder, which holds tunemill.dat.
#pragma once

#include <cstdint>

// One scene or overlay: `draw` makes one frame of it at the director's clock and step (33 units a second).
struct STAGE_DRAWER {
  const char *Name;
  void (*Draw)(float clock, float step);
};
extern const STAGE_DRAWER gStageDrawers[];
extern const int gStageDrawerCount;

// Opens the archive (first call only), the main window and a driver of width x height, creates every effect
// and the metaballs, and starts the disk's first track; false when there is no display.
bool OpenStage(int32_t width, int32_t height);
// Stops the music and frees everything OpenStage made but the archive.
void CloseStage();

// One frame of `drawer` over a black screen, finished (glFinish) in the back buffer; window messages are
// taken first.
void StageFrame(const STAGE_DRAWER &drawer, float clock, float step);
// Presents the back buffer.
void StagePresent();
