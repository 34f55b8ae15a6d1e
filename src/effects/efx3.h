// The two-material effect: two tentacle bundles, each with its own pair of textures, overlaid in one view.
// The right channel drives the first bundle and the left channel the second: a change in level speeds the
// bundle up and rolls its camera, so each camera's roll follows its channel's level (0.125 rad at full
// level). A scene of the director. Main thread only, with the driver's context current.
#pragma once

#include "effects/tackle.h"

class GL_MATERIAL;

extern GL_MATERIAL *MateffMaterial1;
extern GL_MATERIAL *MateffMaterial2;
extern TACKLE *MateffTackle1;  // 10 tentacles of 32 points, seen from (1000, 100, 100), unlit
extern TACKLE *MateffTackle2;
extern float gMateffPrevRight;  // the channel levels of the previous MateffDraw
extern float gMateffPrevLeft;

// Creates and preloads both materials, then both bundles. Uses rand.
void MateffInit();
// Rolls both cameras by the level changes, moves both bundles by half of (level change + dt) and draws the
// second over the first. Leaves its state behind. No allocation.
void MateffDraw(float dt);
// Destroys both bundles, then releases and deletes the materials that exist.
void MateffFree();
