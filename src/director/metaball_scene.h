// The metaball scene: three blobs that swell with the channel levels and swing around each other. The
// director's start-up creates MyMetaballs with 3 balls and the surface settings below; the frame loop draws
// it while the scene is the current one. Main thread only, with the driver's context current.
#pragma once

#include "geometry/metaball.h"

class GL_MATERIAL;

extern METABALLS *MyMetaballs;  // the director's for the whole run; null until created

// Fills the settings record the metaballs' material is made from: two textures, blended with
// GL_ONE_MINUS_SRC_COLOR, so not opaque. Every other field keeps its value (0 in a constructed record).
void MetaballSceneMaterial(GL_MATERIAL &settings);

// One frame of the scene at the director's clock t (33 units per second): smooths the channel levels (per
// frame), places the three balls and the camera, computes the field and draws it. No allocation.
void MetaballSceneDraw(float t);
