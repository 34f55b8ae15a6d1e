// The player screen: the panel picture behind the effects with its buttons, slider, titles, info lines and
// order/row display, and every reaction to the mouse and the keys.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "director/director_local.h"
#include "director/modinfo.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "text/text.h"

float SongProgress = 0.0f;
int32_t KnobGrabbed = 0;

// =========================================================================================================
// [SECTION] Buttons

enum {
  BUTTON_NONE = 0,
  BUTTON_NEXT = 1,
  BUTTON_PREVIOUS = 2,
  BUTTON_KNOB = 3,
  BUTTON_STEP_BACK = 4,
  BUTTON_STEP_FORWARD = 5,
  BUTTON_MINIMISE = 6,
  BUTTON_SPARE = 7,
  BUTTON_CLOSE = 8,
  BUTTON_SCENE = 9
};

struct PANEL_RECT {
  float X0, Y0, X1, Y1;  // panel units; X1 and Y1 lie outside
};

// The fixed buttons in the order they are tested; the knob comes after them.
static const struct {
  int32_t Number;
  PANEL_RECT Rect;
} kButtons[] = {
    {BUTTON_STEP_BACK, {311, 349, 321, 360}}, {BUTTON_STEP_FORWARD, {482, 349, 491, 360}},
    {BUTTON_PREVIOUS, {311, 291, 383, 324}},  {BUTTON_NEXT, {407, 291, 495, 324}},
    {BUTTON_SCENE, {291, 390, 310, 414}},     {BUTTON_MINIMISE, {469, 1, 481, 16}},
    {BUTTON_SPARE, {483, 1, 495, 16}},        {BUTTON_CLOSE, {497, 1, 509, 16}},
};

static PANEL_RECT KnobRect() {
  float x0 = 321.0f + 139.0f * SongProgress;
  return {x0, 349.0f, x0 + 22.0f, 360.0f};
}

static bool Holds(const PANEL_RECT &r, float x, float y) { return x >= r.X0 && x < r.X1 && y >= r.Y0 && y < r.Y1; }

int32_t PanelHitTest(float x, float y) {
  for (const auto &button : kButtons)
    if (Holds(button.Rect, x, y)) return button.Number;
  return Holds(KnobRect(), x, y) ? BUTTON_KNOB : BUTTON_NONE;
}

float KnobPosition(float x) {
  float u = (x - 321.0f) / 161.0f;
  return u + (u - 0.5f) * 11.0f / 161.0f;
}

// =========================================================================================================
// [SECTION] Actions

static void StepBack() {
  if (SongProgress <= 0.0f) return;
  float step = MusicGetOrderStep();
  SongProgress = std::max(0.0f, SongProgress - step);
  // The slider shows order / orders, and a step (1 / (orders - 1)) is a little more than one order: seeking
  // at the new position would land two orders back. Half a step later lands one order back.
  MusicSeek(SongProgress + 0.5f * step);
}

static void StepForward() {
  if (SongProgress >= 1.0f) return;
  SongProgress = std::min(1.0f, SongProgress + MusicGetOrderStep());
  MusicSeek(SongProgress);
}

// The music seeks only when the knob is let go.
static void ReleaseKnob(float px) {
  KnobGrabbed = 0;
  SongProgress = std::clamp(KnobPosition(px), 0.0f, 1.0f);
  MusicSeek(SongProgress);
}

static void HoldKnob(float px) {
  if (!KnobGrabbed) {
    KnobGrabbed = 1;
    return;
  }
  SongProgress = std::clamp(KnobPosition(px), 0.0f, 1.0f);
}

// A consumed click acts once per mouse message that reports the left button down.
static void Consume() { MouseButtons = -1; }

static void Press(int32_t button, float px) {
  switch (button) {
    case BUTTON_NEXT:
      PlayNextTrack();
      Consume();
      break;
    case BUTTON_PREVIOUS:
      PlayPreviousTrack();
      Consume();
      break;
    case BUTTON_KNOB:
      HoldKnob(px);
      break;
    case BUTTON_STEP_BACK:
      StepBack();
      break;
    case BUTTON_STEP_FORWARD:
      StepForward();
      break;
    case BUTTON_MINIMISE:
      AppActive = 0;
      Consume();
      break;
    case BUTTON_SPARE:
      Consume();
      break;
    case BUTTON_CLOSE:
      Ending = 1;
      Consume();
      break;
    case BUTTON_SCENE:
      OverlayIndex++;
      Consume();
      break;
  }
}

// Once per key-down message: the key is taken, and the keyboard's auto-repeat repeats it.
static void HandleKeys() {
  switch (KeyDown) {
    case VK_ESCAPE:
      Ending = 1;
      break;
    case 'F':
      PlayNextTrack();
      break;
    case 'B':
      PlayPreviousTrack();
      break;
    case VK_LEFT:
      StepBack();
      break;
    case VK_RIGHT:
      StepForward();
      break;
    default:
      return;
  }
  KeyDown = 0;
}

// =========================================================================================================
// [SECTION] Drawing

static void PanelQuad(const PANEL_RECT &r, bool textureFromPosition) {
  float x0 = r.X0 / kPanelUnits, y0 = r.Y0 / kPanelUnits, x1 = r.X1 / kPanelUnits, y1 = r.Y1 / kPanelUnits;
  float s0 = textureFromPosition ? x0 : 0.0f, t0 = textureFromPosition ? y0 : 0.0f;
  float s1 = textureFromPosition ? x1 : 1.0f, t1 = textureFromPosition ? y1 : 1.0f;
  glBegin(GL_QUADS);
  glTexCoord2f(s0, t0);
  glVertex2f(x0, y0);
  glTexCoord2f(s1, t0);
  glVertex2f(x1, y0);
  glTexCoord2f(s1, t1);
  glVertex2f(x1, y1);
  glTexCoord2f(s0, t1);
  glVertex2f(x0, y1);
  glEnd();
}

static void NoDepthNoCulling() {
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
}

// The two panel pictures cross-fade slowly.
static void DrawBackground() {
  float s = fabsf(sinf(SceneClock * 0.01f));
  DrawCover(gTunemillPanel1, s);
  DrawCover(gTunemillPanel2, 1.0f - s);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glDisable(GL_BLEND);
}

static void DrawKnob() {
  gTunemillScrollbar->Apply(0.0f);
  NoDepthNoCulling();
  PanelQuad(KnobRect(), false);
}

// The rotating marker texture shows through the hovered button's shape, red while the button is pressed.
// The knob is never highlighted.
static void DrawHighlight(int32_t hovered, bool leftDown) {
  gTunemillPanelMarker->Apply(0.0f);
  NoDepthNoCulling();
  glLoadIdentity();
  glRotatef(SceneClock, 1.0f, 1.0f, 1.0f);
  glMatrixMode(GL_MODELVIEW);
  glEnable(GL_BLEND);
  if (leftDown)
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  else
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  for (const auto &button : kButtons)
    if (button.Number == hovered) PanelQuad(button.Rect, true);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glDisable(GL_BLEND);
}

static void DrawInfoLines(const ModInfo &track) {
  gTunemillFonts->BeginText();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0.6f, 0.1f, 0.1f, 0.7f);
  for (int i = 0; i < 5; i++)
    gTunemillFonts->Print(track.InfoLine[i], 314.0f / kPanelUnits, (145.0f + 20.0f * (float)i) / kPanelUnits, 0);
}

// Drawn additively, right after the info lines, in the state their BeginText left.
static void DrawOrderAndRow() {
  glColor4f(0.8f, 0.0f, 0.0f, 1.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  uint32_t position = MusicGetPosition();
  char text[32];
  snprintf(text, sizeof text, "O:%02i R:%03i", (int)(position & 0xFFFF), (int)(position >> 16));
  gTunemillFonts->Print(text, 206.0f / kPanelUnits, 448.0f / kPanelUnits, 0);
}

// Every letter flips about its horizontal axis, and the marker texture turns across them.
static void DrawTitles(const ModInfo &track) {
  float angle = sinf(SceneClock * 0.025f) * 40.0f;
  gTTFFonts->BeginOutlineText();
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 0.4f);
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(0.2f, 0.2f, 0.2f);
  glRotatef(SceneClock * 4.0f, 1.0f, 1.0f, 1.0f);
  glMatrixMode(GL_MODELVIEW);
  gTTFFonts->PrintOutline(track.Title1, 314.0f / kPanelUnits, 38.0f / kPanelUnits, 0, 20, 20, angle, -0.285f);
  gTTFFonts->PrintOutline(track.Title2, 314.0f / kPanelUnits, 88.0f / kPanelUnits, 0, 20, 20, angle, -0.285f);
}

static void DrawPlayerScreen(int32_t hovered, bool leftDown) {
  OverlaySetup();
  DrawBackground();
  DrawKnob();
  DrawHighlight(hovered, leftDown);
  DrawInfoLines(ModInfos[CurrentMod]);
  DrawOrderAndRow();
  DrawTitles(ModInfos[CurrentMod]);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glDisable(GL_BLEND);
}

// =========================================================================================================
// [SECTION] The frame's step

void PlayerScreenFrame() {
  float px = (float)MouseX / (float)GlDriver->Width * kPanelUnits;
  float py = (float)MouseY / (float)GlDriver->Height * kPanelUnits;
  // The left button alone: no other button, no Shift, no Ctrl.
  bool leftDown = MouseButtons == MK_LBUTTON;
  int32_t hovered = Ending == 0 && IntroRunning == 0 ? PanelHitTest(px, py) : BUTTON_NONE;

  if (leftDown) {
    Press(hovered, px);
    if (hovered != BUTTON_KNOB && KnobGrabbed) ReleaseKnob(px);
  } else if (KnobGrabbed) {
    ReleaseKnob(px);
  }
  // After the buttons: the close button's click leaves no key to act on in the same frame.
  if (Ending == 0 && IntroRunning == 0) HandleKeys();
  if (!KnobGrabbed) SongProgress = MusicGetProgress();

  DrawPlayerScreen(hovered, leftDown);
}
