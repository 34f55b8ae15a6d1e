// The opening sequence (covers fading in, the knot flying in, the second cover twirling away) and the
// closing sequence (end cover, a trail of twirled copies, the closing picture, the music fading out), with
// the screen-space drawing steps they share with the player screen.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "director/director_local.h"
#include "effects/tknot.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"
#include "platform/platform.h"
#include "text/text.h"

static const float kPi = 3.14159265358979f;

// =========================================================================================================
// [SECTION] Screen-space drawing

void ApplyCover(GL_MATERIAL *material, float alpha) {
  material->Apply(0.0f);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
}

static void CoverQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(0.0f, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(0.0f, 1.0f);
  glEnd();
}

void DrawCover(GL_MATERIAL *material, float alpha) {
  ApplyCover(material, alpha);
  CoverQuad();
}

static void ClearToBlack() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// =========================================================================================================
// [SECTION] Closing sequence

// The twirl angles of the last four frames of the trail; slots not yet written hold 0.
static float TwirlAngles[4];
static int32_t TwirlNext = 0;

// Four twirled copies of the applied picture, this frame's and the three before, faint over the cover.
static void TwirlTrail(float e) {
  glColor4f(1.0f, 1.0f, 1.0f, std::min((e - 2.0f) * 0.25f, 0.33f));
  TwirlAngles[TwirlNext] = -(e - 2.0f) * 2.0f * kPi;
  TwirlNext = (TwirlNext + 1) % 4;
  for (float angle : TwirlAngles) DrawTwirl(angle);
}

void ClosingSequence() {
  if (EndStart == 0.0f) EndStart = SceneClock;
  float d = SceneClock - EndStart;
  // This frame is still drawn; the message loop ends at its next look at the queue.
  if (d > kClosingLength) PlatformPostQuit(0);

  OverlaySetup();
  float e = d * (1.0f / kClosingLength) * 7.0f;
  if (e <= 2.0f) {
    float a = std::min(e, 1.0f);
    if (a >= 1.0f) CoverOpaque = 1.0f;
    DrawCover(gTunemillEndCover, a);
  } else if (e <= 4.0f) {
    DrawCover(gTunemillEndCover, 1.0f);
    TwirlTrail(e);
  } else if (e <= 6.0f) {
    float g = std::min(e - 4.0f, 1.0f);
    if (g < 1.0f) {
      DrawCover(gTunemillEndCover, 1.0f);
      TwirlTrail(e);
      OverlaySetup();
    }
    DrawCover(gTunemillTheEnd, g);
  } else {
    ClearToBlack();
    // Picture and music fade out together.
    float h = std::clamp(1.0f - (e - 6.0f), 0.0f, 1.0f);
    ApplyCover(gTunemillTheEnd, h);
    MusicSetVolume(h);
    CoverQuad();
  }
}

// =========================================================================================================
// [SECTION] Opening sequence

void OpeningSequence() {
  // The first frame's clock is still 0, so the start is taken again on the second.
  if (IntroStart == 0.0f) IntroStart = SceneClock;
  float d = SceneClock - IntroStart;
  if (d > kOpeningLength) {
    IntroRunning = 0;
    CoverOpaque = 0.0f;
    return;
  }

  CoverOpaque = 1.0f;
  OverlaySetup();
  float e = d * (1.0f / kOpeningLength) * 8.0f;
  if (e <= 1.0f) {
    ClearToBlack();
    DrawCover(gTunemillBeginCover0, std::min(e, 1.0f));
  } else if (e <= 6.0f) {
    float a = std::min((e - 1.0f) * 0.2f, 1.0f);
    DrawCover(gTunemillBeginCover0, 1.0f);
    TorusKnotDrawIntro(a);
    OverlaySetup();
    DrawCover(gTunemillBeginCover, sinf(a * kPi * 0.5f));
  } else if (e <= 7.0f) {
    DrawCover(gTunemillBeginCover, 1.0f);
  } else {
    // From the next frame on the player screen is drawn under the cover as it twirls away.
    CoverOpaque = 0.0f;
    ApplyCover(gTunemillBeginCover, std::clamp(1.0f - (e - 7.0f), 0.0f, 1.0f));
    DrawTwirl(-(e - 7.0f) * 2.0f * kPi);
  }
}
