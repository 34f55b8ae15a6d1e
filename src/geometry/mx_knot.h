// MX_TORUS_KNOT: an indexed triangle mesh of a tube swept along a closed (or open) space curve, with
// per-vertex normals and texture coordinates, rebuilt as often as every frame and drawn in immediate mode.
#pragma once

#include <cstdint>

#include "geometry/vecmath.h"
#include "support/misc.h"

class MX_TORUS_KNOT {
 public:
  TRACKED_ALLOCATION

  MX_TORUS_KNOT();

  // Checks the ranges (fatal outside them), reuses the storage when both counts are unchanged (no
  // allocation then), and fills vertices, texture coordinates, triangles and normals.
  void Generate();
  // Every triangle between one glBegin(GL_TRIANGLES) and glEnd(); matrices, material, lighting and depth
  // state are the caller's. Fatal before the first Generate.
  void Draw();
  // Frees the four arrays and sets both counts to 0; the parameters keep their values.
  void Release();

  VECTOR3 *Vertices;          // VertexCount entries
  uint32_t (*Triangles)[3];   // TriangleCount entries of vertex indices, drawn in stored order
  float (*TexCoords)[3];      // (s, t, 0) per vertex
  VECTOR3 *Normals;           // unit normal per vertex
  uint32_t TriangleCount;
  uint32_t VertexCount;
  float CurveRadius;   // >= 0
  float TubeRadius;    // >= 0, before bulging
  float BulgePhase;    // radians of curve parameter
  float Twist;         // radians of cross-section turn per radian of curve parameter
  int32_t Segments;    // 4 to 1000 steps along the curve
  int32_t Sides;       // 3 to 200 steps around the tube
  int32_t CurveType;   // 2: knot curve; anything else: wavy circle
  float P;             // turns around z (knot curve)
  float Q;             // oscillations in z and radius (knot curve)
  float EllipseRatio;  // cross-section width factor; its inverse is the height factor
  int32_t Bulges;
  float BulgeDepth;
  float WaveDepth;     // relative radius modulation of the wavy circle
  float WaveCount;     // radius waves of the wavy circle
};
