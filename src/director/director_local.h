// What the director's files share: the frame loop's state, the assets, the player screen, the opening and
// closing sequences and the level history. The shell sees only director/director.h. Main thread only, with
// the driver's context current.
#pragma once

#include <cstdint>

class GL_MATERIAL;
class GL_TEXFONT;
class GL_TTFONTS;

// =========================================================================================================
// [SECTION] Frame loop (director.cpp)

// Clock units: 33 per second. The opening sequence lasts 12 s in 8 steps, the closing one 10 s in 7.
const float kClockUnitsPerSecond = 33.0f;
const float kOpeningLength = 396.0f;
const float kClosingLength = 330.0f;

extern int32_t DirectorStarted;  // 1 between DirectorStart and DirectorShutdown; frames run only then
extern float SceneClock;         // from 0 at the first frame
extern uint32_t LastTick;        // tick count (ms) of the previous frame; 0 before the first
extern int32_t IntroRunning;     // 1 while the opening sequence runs (from the start)
extern float IntroStart;         // SceneClock when it began; 0 until taken
extern int32_t Ending;           // 1 once the listener asked to quit
extern float EndStart;           // SceneClock when the closing sequence began; 0 until taken
extern float CoverOpaque;        // 1.0 while a cover hides the screen: no input, panel, scene or overlay
extern uint32_t SceneIndex;      // scene: SceneIndex mod 3; only grows
extern uint32_t OverlayIndex;    // overlay: OverlayIndex mod 4 (3 steps on to the next scene); only grows

// Step 4 of a frame: advances SceneClock to the tick count `now` and returns the step in clock units. The
// first call gives 0; a tick count that wrapped around since the last call still gives the true step.
float DirectorAdvanceClock(uint32_t now);

// Track changes: CurrentMod moves one place, wrapping around the list both ways, and the track starts from
// its beginning.
void PlayNextTrack();
void PlayPreviousTrack();

// =========================================================================================================
// [SECTION] Assets (assets.cpp), created by DirectorStart, destroyed by DirectorShutdown

extern GL_TEXFONT *gTunemillFonts;  // info lines, order and row
extern GL_TTFONTS *gTTFFonts;       // titles
extern GL_MATERIAL *gTunemillPanel1;
extern GL_MATERIAL *gTunemillPanel2;
extern GL_MATERIAL *gTunemillBeginCover;
extern GL_MATERIAL *gTunemillBeginCover0;
extern GL_MATERIAL *gTunemillTheEnd;
extern GL_MATERIAL *gTunemillEndCover;
extern GL_MATERIAL *gTunemillScrollbar;    // slider knob, level history
extern GL_MATERIAL *gTunemillPanelMarker;  // button highlight

// =========================================================================================================
// [SECTION] Player screen (player_screen.cpp)

// Panel units: 512 x 512 over the whole window, x to the right, y downwards; drawn at p / 512.
const float kPanelUnits = 512.0f;

extern float SongProgress;    // slider position 0 to 1: the song's progress, or the held knob's place
extern int32_t KnobGrabbed;   // 1 while the knob is held with the left button

// Step 5.1 of a frame: mouse and keys, then the panel, the knob, the highlight, the texts.
void PlayerScreenFrame();
// The button (1 to 9) under panel point (x, y), or 0. Left and top edges belong to a button, right and
// bottom edges do not; the knob (3) sits where SongProgress puts it.
int32_t PanelHitTest(float x, float y);
// The slider position for the pointer at panel x while the knob is held (not clamped).
float KnobPosition(float x);

// =========================================================================================================
// [SECTION] Screen-space drawing and the sequences (sequences.cpp)

// A full-screen picture: the material applied, no depth, no culling, blending on, colour (1, 1, 1, alpha).
// ApplyCover sets the state only.
void ApplyCover(GL_MATERIAL *material, float alpha);
void DrawCover(GL_MATERIAL *material, float alpha);

// Steps 6 and 7 of a frame. The closing sequence posts the quit message 330 units after it began.
void ClosingSequence();
void OpeningSequence();

// =========================================================================================================
// [SECTION] Level history (level_history.cpp), overlay 0

// The last 16 right and left music levels (x 60, the right one held at 45), oldest first.
extern float LevelHistoryRight[16];
extern float LevelHistoryLeft[16];

// Takes this frame's levels and draws both graphs under the player screen's scene button.
void LevelHistoryDraw();
