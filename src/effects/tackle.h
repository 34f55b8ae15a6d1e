// Tentacle bundles: tentacles growing from a common origin, each a wavy line of points drifting from one
// random shape to the next, drawn as tapering four-sided tubes. Also the light record and ApplyLight.
// Time is in the director's units (33 per second). Main thread only.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "geometry/vecmath.h"
#include "support/misc.h"

class GL_MATERIAL;

// One light source; `next` links the list of a TACKLE.
struct LIGHT {
  LIGHT *next;
  int32_t directional;  // 1: position is a direction (w = 0)
  float position[3];
  float spotDirection[3];
  float spotCutoff;
  float spotExponent;
  float constantAttenuation;
  float linearAttenuation;
  float quadraticAttenuation;
  float ambient[3];
  float diffuse[3];
  float specular[3];
};

struct TENTACLE {
  int32_t pointCount;
  float timeLeft;      // until the next retarget
  VECTOR3 *points;     // current shape; points[0] is the root
  VECTOR3 *velocity;   // per point, towards the current target shape
};

struct TACKLE {
  GL_MATERIAL *material;  // the caller's
  int32_t pointCount;     // N, points per tentacle
  int32_t tentacleCount;  // M
  TENTACLE *tentacles;
  LIGHT *lights;          // owned
  VECTOR3 eye;
  VECTOR3 centre;
  float fov;              // vertical, degrees
  float zNear;
  float zFar;
  VECTOR3 up;
};

// A new bundle of M tentacles of N points with the default camera, already run 132 steps forward so that
// the first frame shows regular shapes. Uses rand.
TACKLE *TackleCreate(GL_MATERIAL *material, int32_t pointCount, int32_t tentacleCount);
// Moves every tentacle by dt; a tentacle whose time runs out picks a new target instead of moving.
void TackleUpdate(TACKLE *tackle, float dt);
// Appends the light (from TrackedAlloc) at the tail of the list; the object then owns it.
void TackleAddLight(TACKLE *tackle, LIGHT *light);
// Frees the lights, the tentacles and the object; not the material.
void TackleDestroy(TACKLE *tackle);
// Draws the bundle from the default state under its own camera (aspect 1), lit by its lights (unlit when it
// has none), with linear fog from fogStart to fogEnd in fogColour when fogOn is 1 (fogColour is not read
// otherwise). Clears the depth buffer, not the colour buffer; leaves its state behind. Needs the driver's
// context. No allocation.
void TackleDraw(TACKLE *tackle, const float *fogColour, float fogStart, float fogEnd, int32_t fogOn);

// Sets and enables OpenGL light `number` (GL_LIGHT0 + i); numbers above GL_LIGHT0 + 7 change nothing.
void ApplyLight(const LIGHT *light, GLenum number);

// ---------------------------------------------------------------------------------------------------------
// Tube geometry

struct TUBE_CORNER {
  VECTOR3 position;
  float s, t;  // x and y of the unit vector from the origin to the corner; 0 at the origin
};

// Ring k of the tentacle's tube: its four corners in drawing order. The ring's side vectors are not unit
// length, so a tube is thinner where it runs close to the x axis; the last ring is the tip.
void TentacleRing(const TENTACLE &tentacle, int32_t k, TUBE_CORNER corners[4]);

// The tube as 4 (N - 1) quads, ring by ring, side by side: emitter.Vertex(corner) for ring k corner i,
// ring k + 1 corner i, ring k + 1 corner i + 1, ring k corner i + 1 (sides taken modulo 4). A tentacle of
// fewer than two points has no tube.
template <class EMITTER>
void TentacleTube(const TENTACLE &tentacle, EMITTER &emitter) {
  if (tentacle.pointCount < 2) return;
  TUBE_CORNER ring[2][4];
  TentacleRing(tentacle, 0, ring[0]);
  for (int32_t k = 0; k + 1 < tentacle.pointCount; k++) {
    const TUBE_CORNER *near = ring[k & 1];
    TUBE_CORNER *far = ring[(k + 1) & 1];
    TentacleRing(tentacle, k + 1, far);
    for (int i = 0; i < 4; i++) {
      const int j = (i + 1) & 3;
      emitter.Vertex(near[i]);
      emitter.Vertex(far[i]);
      emitter.Vertex(far[j]);
      emitter.Vertex(near[j]);
    }
  }
}
