// Metaballs: a scalar field of a few balls sampled on a fixed 32 x 32 x 32 grid and its iso-surface at
// 1.08, extracted with marching cubes and sent to OpenGL cell by cell. Field and surface are recomputed
// every frame without allocating.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstdint>

#include "geometry/vecmath.h"
#include "support/misc.h"

// One ball in grid units.
struct METABALL {
  float x, y, z, radius;
};

enum { METABALL_GRID = 32, METABALL_SAMPLES = METABALL_GRID * METABALL_GRID * METABALL_GRID };
constexpr float METABALL_ISO_LEVEL = 1.08f;
// World units per grid step: sample (x, y, z), each -16 to 15, lies at (6x, 6y, 6z).
constexpr float METABALL_GRID_STEP = 6.0f;

// Cube corners 0-7 of the cell with lower grid index (kx, jy, iz), as index offsets (dx, dy, dz).
extern const uint8_t gMetaballCornerOffsets[8][3];
// Edges 0-11 as pairs of corners; the first corner is where the interpolation starts.
extern const uint8_t gMetaballEdgeCorners[12][2];
// Bit e of entry i is set when the corners of edge e lie on different sides in cube index i.
extern const std::array<uint16_t, 256> gMetaballEdgeTable;
// The widely published 256-case triangle table for this numbering: edge numbers three at a time, -1 ends
// a row; 820 triangles in all, wound so that their front faces look out of the blobs.
extern const int8_t gMetaballTriangleTable[256][16];

// Where glMultiTexCoord2fARB is, when the surface gets a second set of texture coordinates.
typedef void (*METABALL_MULTITEXCOORD)(GLenum target, GLfloat s, GLfloat t);

class GL_MATERIAL;

class METABALLS {
 public:
  TRACKED_ALLOCATION

  // BallCount balls, zero-filled; the camera gets its defaults. Create with new (line, "metaball") so that
  // the field starts zero-filled as well. Without a material the object can compute and polygonise its
  // field but not Draw.
  explicit METABALLS(uint32_t ballCount);
  // The same with the surface's own material: every field of `settings` but Opaque, then Preload (a texture
  // that cannot be loaded is fatal). Needs the driver's context.
  METABALLS(uint32_t ballCount, const GL_MATERIAL &settings);
  // Frees the balls; releases and deletes the material.
  ~METABALLS();

  // Field from Balls: each ball adds its radius inside its sphere and about radius / distance outside.
  void ComputeField();

  // Marching cubes over the cells with lower index 1 to 30 on each axis, iz outermost, then jy, then kx.
  // For each cell with at least one triangle: emitter.BeginCell(), emitter.Vertex(world position) three
  // times per triangle in table order, emitter.EndCell(). No allocation.
  template <class EMITTER>
  void Polygonise(EMITTER &emitter) const;

  // The surface in immediate mode, one glBegin(GL_TRIANGLES)/glEnd pair per cell, unlit, with texture
  // coordinates from the unit direction n of each vertex seen from the grid centre: (n.x, n.y) on unit 0
  // and (n.x, n.z) on unit 1 through `multiTexCoord` when it is given, else glTexCoord2f(n.x, n.y).
  // Camera and material are the caller's.
  void DrawSurface(METABALL_MULTITEXCOORD multiTexCoord) const;

  // The whole drawing step from the default state: no lights, no fog, no culling, the perspective of Fov
  // (aspect 1) and FarPlane, the camera, a depth clear, Material, and the surface, with the second set of
  // texture coordinates when the entry point exists and the material has an environment texture. Leaves
  // the material's state behind.
  void Draw();

  float Field[METABALL_SAMPLES];  // sample (x, y, z) at (x + 16) * 1024 + (y + 16) * 32 + (z + 16)
  METABALL *Balls;                // set by the caller every frame
  uint32_t BallCount;
  VECTOR3 Eye;
  VECTOR3 Centre;
  VECTOR3 Up;
  float Fov;       // vertical, degrees
  float FarPlane;
  GL_MATERIAL *Material;  // owned; textures and blending of the surface
};

// The metaball scene's two smoothed music levels; they live for the whole run.
struct METABALL_LEVELS {
  float SmoothRight = 0.5f;
  float SmoothLeft = 0.5f;
};

// The scene step before ComputeField and the drawing: smooths the levels (per frame, so it follows the
// frame rate), places balls 0 to 2 (the object needs at least three) and sets the camera. `t` is the
// director's clock (33 units per second); the levels are this frame's music levels, 0 without music.
void MetaballSceneStep(METABALLS &metaballs, METABALL_LEVELS &levels, float t, float rightLevel,
                       float leftLevel);

// ---------------------------------------------------------------------------------------------------------
// Polygoniser

namespace metaball_internal {

// The vertex on an edge, along the one axis the edge runs on (the other two coordinates are those of both
// corners, which p1 + mu (p2 - p1) reproduces exactly).
inline float Interpolate(float p1, float p2, float val1, float val2) {
  if (fabsf(METABALL_ISO_LEVEL - val1) < 0.0001f) return p1;
  if (fabsf(METABALL_ISO_LEVEL - val2) < 0.0001f) return p2;
  if (fabsf(val1 - val2) < 0.0001f) return p1;
  const float mu = (METABALL_ISO_LEVEL - val1) / (val2 - val1);
  return p1 + mu * (p2 - p1);
}

}  // namespace metaball_internal

template <class EMITTER>
void METABALLS::Polygonise(EMITTER &emitter) const {
  // One bit per sample below the iso level, the 32 samples along z of a column in one word: a cell lies
  // wholly on one side when its four columns agree on both of its z bits, which rules out most of the
  // 27 000 cells with a few word operations.
  uint32_t below[METABALL_GRID][METABALL_GRID];
  for (int kx = 0; kx < METABALL_GRID; kx++)
    for (int jy = 0; jy < METABALL_GRID; jy++) {
      const float *column = Field + kx * 1024 + jy * 32;
      uint32_t bits = 0;
      for (int iz = 0; iz < METABALL_GRID; iz++) bits |= (uint32_t)(column[iz] < METABALL_ISO_LEVEL) << iz;
      below[kx][jy] = bits;
    }

  // Cells crossed by the surface, as bits over kx for each (iz, jy), so that they are visited in the
  // required loop order.
  uint32_t crossed[METABALL_GRID][METABALL_GRID] = {};
  const uint32_t innerCells = 0x7ffffffe;  // lower indices 1 to 30
  for (int kx = 1; kx <= 30; kx++)
    for (int jy = 1; jy <= 30; jy++) {
      const uint32_t c0 = below[kx][jy], c1 = below[kx + 1][jy], c2 = below[kx + 1][jy + 1], c3 = below[kx][jy + 1];
      const uint32_t all = c0 & c1 & c2 & c3, none = ~(c0 | c1 | c2 | c3);
      uint32_t mixed = ~((all & (all >> 1)) | (none & (none >> 1))) & innerCells;
      while (mixed) {
        const int iz = __builtin_ctz(mixed);
        crossed[iz][jy] |= 1u << kx;
        mixed &= mixed - 1;
      }
    }

  for (int iz = 1; iz <= 30; iz++)
    for (int jy = 1; jy <= 30; jy++) {
      uint32_t cells = crossed[iz][jy];
      while (cells) {
        const int kx = __builtin_ctz(cells);
        cells &= cells - 1;
        const uint32_t c0 = below[kx][jy] >> iz, c1 = below[kx + 1][jy] >> iz, c2 = below[kx + 1][jy + 1] >> iz,
                       c3 = below[kx][jy + 1] >> iz;
        const int cube = (int)((c0 & 1) | (c1 & 1) << 1 | (c2 & 1) << 2 | (c3 & 1) << 3 | (c0 & 2) << 3 |
                               (c1 & 2) << 4 | (c2 & 2) << 5 | (c3 & 2) << 6);
        const int8_t *row = gMetaballTriangleTable[cube];

        float value[8];
        for (int c = 0; c < 8; c++) {
          const uint8_t *o = gMetaballCornerOffsets[c];
          value[c] = Field[(kx + o[0]) * 1024 + (jy + o[1]) * 32 + iz + o[2]];
        }
        const float x0 = METABALL_GRID_STEP * (float)(kx - 16), x1 = METABALL_GRID_STEP * (float)(kx + 1 - 16);
        const float y0 = METABALL_GRID_STEP * (float)(jy - 16), y1 = METABALL_GRID_STEP * (float)(jy + 1 - 16);
        const float z0 = METABALL_GRID_STEP * (float)(iz - 16), z1 = METABALL_GRID_STEP * (float)(iz + 1 - 16);
        using metaball_internal::Interpolate;
        VECTOR3 vertex[12];
        const uint32_t edges = gMetaballEdgeTable[cube];
        if (edges & 0x001) vertex[0] = {Interpolate(x0, x1, value[0], value[1]), y0, z0};
        if (edges & 0x002) vertex[1] = {x1, Interpolate(y0, y1, value[1], value[2]), z0};
        if (edges & 0x004) vertex[2] = {Interpolate(x1, x0, value[2], value[3]), y1, z0};
        if (edges & 0x008) vertex[3] = {x0, Interpolate(y1, y0, value[3], value[0]), z0};
        if (edges & 0x010) vertex[4] = {Interpolate(x0, x1, value[4], value[5]), y0, z1};
        if (edges & 0x020) vertex[5] = {x1, Interpolate(y0, y1, value[5], value[6]), z1};
        if (edges & 0x040) vertex[6] = {Interpolate(x1, x0, value[6], value[7]), y1, z1};
        if (edges & 0x080) vertex[7] = {x0, Interpolate(y1, y0, value[7], value[4]), z1};
        if (edges & 0x100) vertex[8] = {x0, y0, Interpolate(z0, z1, value[0], value[4])};
        if (edges & 0x200) vertex[9] = {x1, y0, Interpolate(z0, z1, value[1], value[5])};
        if (edges & 0x400) vertex[10] = {x1, y1, Interpolate(z0, z1, value[2], value[6])};
        if (edges & 0x800) vertex[11] = {x0, y1, Interpolate(z0, z1, value[3], value[7])};

        emitter.BeginCell();
        for (int i = 0; row[i] != -1; i++) emitter.Vertex(vertex[row[i]]);
        emitter.EndCell();
      }
    }
}
