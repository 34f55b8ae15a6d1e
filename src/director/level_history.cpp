// Overlay 0: the last sixteen right and left music levels as two graphs under the scene button, drawn
// additively with the scrollbar's texture and brightening from left to right.
#include <GL/gl.h>

#include <algorithm>

#include "director/director_local.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

float LevelHistoryRight[16];
float LevelHistoryLeft[16];

static const int kHistoryLength = 16;
static const float kLevelScale = 60.0f;
static const float kLevelCap = 45.0f;
static const float kRightTop = 390.0f;  // the right graph never rises above this panel y

static void TakeLevels() {
  std::copy(LevelHistoryRight + 1, LevelHistoryRight + kHistoryLength, LevelHistoryRight);
  std::copy(LevelHistoryLeft + 1, LevelHistoryLeft + kHistoryLength, LevelHistoryLeft);
  // The level is asked again for the value kept; the cap only applies when the first answer reaches it.
  float right = MusicGetRightLevel() * kLevelScale;
  LevelHistoryRight[kHistoryLength - 1] = right >= kLevelCap ? kLevelCap : MusicGetRightLevel() * kLevelScale;
  float left = MusicGetLeftLevel() * kLevelScale;
  LevelHistoryLeft[kHistoryLength - 1] = left >= kLevelCap ? kLevelCap : MusicGetLeftLevel() * kLevelScale;
}

static void Point(float brightness, float t, float x, float y) {
  glColor4f(brightness, brightness, brightness, 1.0f);
  glTexCoord2f(0.0f, t);
  glVertex2f(x / kPanelUnits, y / kPanelUnits);
}

void LevelHistoryDraw() {
  TakeLevels();

  OverlaySetup();
  gTunemillScrollbar->Apply(0.0f);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glLineWidth(5.0f);

  glBegin(GL_LINES);
  for (int i = 0; i < kHistoryLength - 1; i++) {
    float x0 = 320.0f + (float)i * 10.625f, x1 = 320.0f + (float)(i + 1) * 10.625f;
    float b0 = (float)i / 16.0f, b1 = (float)(i + 1) / 16.0f;
    Point(b0, 0.0f, x0, std::max(440.0f - LevelHistoryRight[i], kRightTop));
    Point(b1, 1.0f, x1, std::max(440.0f - LevelHistoryRight[i + 1], kRightTop));
    Point(b0, 0.0f, x0, 495.0f - LevelHistoryLeft[i]);
    Point(b1, 1.0f, x1, 495.0f - LevelHistoryLeft[i + 1]);
  }
  glEnd();
}
