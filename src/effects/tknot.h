// The torus knot scene: a lit, textured, environment-mapped knot whose radii and bulges follow the music
// level and whose twist and bulge phase follow time, rebuilt every frame while it spins. A scene of the
// director, and the fly-in of its opening sequence. Main thread only, with the driver's context current.
#pragma once

#include "effects/tackle.h"
#include "geometry/mx_knot.h"

class GL_MATERIAL;

extern MX_TORUS_KNOT *mxTorusKnot;  // 120 segments, 16 sides, P 1, Q 5: always closed
extern GL_MATERIAL *TorusKnotMaterial;
extern LIGHT TorusKnotLight;  // white, from +z, fixed in the world; in no list

// Creates the knot and the material (a texture that cannot be loaded is fatal) and fills the light.
void TorusKnotInit();
// One frame at the director's clock t (33 units per second): the knot turns t degrees about (1, 1, 1).
// Draws over the colour buffer and clears the depth buffer; leaves its state behind. The mesh storage is
// allocated by the first frame only.
void TorusKnotDraw(float t);
// One frame of the fly-in at progress x (0 to 1): the camera comes in along the diagonal from 1100 units to
// 100 during the first fifth, while the knot turns 512 x degrees.
void TorusKnotDrawIntro(float x);
// Releases and deletes the knot and the material, those that exist.
void TorusKnotFree();
