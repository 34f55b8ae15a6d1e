// Straightforward versions of the mesh, field and polygoniser computations, written as directly from their
// definitions as possible: the baseline the benchmarks measure the library against.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "geometry/metaball.h"
#include "geometry/mx_knot.h"

namespace reference {

// ---------------------------------------------------------------------------------------------------------
// Torus knot: every vertex evaluates its own curve points and frame.

struct KNOT_MESH {
  std::vector<VECTOR3> vertices, normals;
  std::vector<float> tex;  // s, t, 0 per vertex
  std::vector<uint32_t> triangles;
};

inline VECTOR3 Curve(const MX_TORUS_KNOT &k, float u) {
  if (k.CurveType == 2) {
    const float scale = 2 * k.CurveRadius / (2.2f - sinf(k.Q * u));
    return {scale * cosf(k.P * u), scale * sinf(k.P * u), scale * cosf(k.Q * u)};
  }
  const float r = k.CurveRadius * (1 + k.WaveDepth * (0.5f - 0.5f * cosf(k.WaveCount * u)));
  return {r * cosf(u), r * sinf(u), 0};
}

inline VECTOR3 Cross(const VECTOR3 &a, const VECTOR3 &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline VECTOR3 SurfacePoint(const MX_TORUS_KNOT &k, float u, float v) {
  const VECTOR3 c0 = Curve(k, u), c1 = Curve(k, u + 0.00062831852f);
  const VECTOR3 t = {c1.x - c0.x, c1.y - c0.y, c1.z - c0.z}, s = {c1.x + c0.x, c1.y + c0.y, c1.z + c0.z};
  VECTOR3 n = Cross(t, s), b = Cross(n, t);
  auto dot = [](const VECTOR3 &a, const VECTOR3 &c) { return a.x * c.x + a.y * c.y + a.z * c.z; };
  if (dot(n, n) > 0 && dot(n, n) >= 0.001f * dot(t, t) * dot(s, s))
    for (VECTOR3 *w : {&n, &b}) {
      const float l = sqrtf(dot(*w, *w));
      w->x /= l, w->y /= l, w->z /= l;
    }
  const float rr = k.TubeRadius * (1 + k.BulgeDepth * (0.5f - 0.5f * cosf((u + k.BulgePhase) * (float)k.Bulges)));
  const float X = k.EllipseRatio * rr * sinf(v), Y = (rr / k.EllipseRatio) * cosf(v);
  const float theta = k.Twist * u;
  const float ox = X * cosf(theta) - Y * sinf(theta), oy = X * sinf(theta) + Y * cosf(theta);
  return {c0.x + ox * b.x + oy * n.x, c0.y + ox * b.y + oy * n.y, c0.z + ox * b.z + oy * n.z};
}

inline bool Whole(float x) { return fabsf(x - truncf(x)) < 0.00001f; }

inline void GenerateKnot(const MX_TORUS_KNOT &k, KNOT_MESH &mesh) {
  const float twoPi = 6.28318530717958647692f;
  const bool closed = Whole(k.P) && Whole(k.Q) && (k.CurveType != 1 || Whole(k.WaveCount));
  const int rings = closed ? k.Segments : k.Segments + 1;
  mesh.vertices.assign(rings * k.Sides, {0, 0, 0});
  mesh.normals.assign(rings * k.Sides, {0, 0, 0});
  mesh.tex.assign(rings * k.Sides * 3, 0);
  mesh.triangles.clear();
  const float du = twoPi / (float)k.Segments, dv = twoPi / (float)k.Sides;
  float u = 0;
  for (int i = 0; i < rings; i++) {
    float v = 0;
    for (int j = 0; j < k.Sides; j++) {
      const int n = i * k.Sides + j;
      mesh.vertices[n] = SurfacePoint(k, u, v);
      mesh.tex[3 * n] = 4 * u / twoPi;
      mesh.tex[3 * n + 1] = 2 * v / twoPi;
      v += dv;
    }
    u += du;
  }
  for (int r = 0; r < k.Segments; r++)
    for (int s = 0; s < k.Sides; s++) {
      const uint32_t K = r * k.Sides + s;
      const uint32_t L = (closed && r == k.Segments - 1) ? s : K + k.Sides;
      const uint32_t Kn = s == k.Sides - 1 ? r * k.Sides : K + 1;
      const uint32_t D = Kn + L - K;
      mesh.triangles.insert(mesh.triangles.end(), {K, L, D, K, D, Kn});
    }
  for (size_t f = 0; f < mesh.triangles.size(); f += 3) {
    const uint32_t a = mesh.triangles[f], b = mesh.triangles[f + 1], c = mesh.triangles[f + 2];
    const VECTOR3 &va = mesh.vertices[a], &vb = mesh.vertices[b], &vc = mesh.vertices[c];
    const VECTOR3 n = Cross({va.x - vc.x, va.y - vc.y, va.z - vc.z}, {vb.x - vc.x, vb.y - vc.y, vb.z - vc.z});
    for (uint32_t i : {a, b, c}) mesh.normals[i].x += n.x, mesh.normals[i].y += n.y, mesh.normals[i].z += n.z;
  }
  for (VECTOR3 &n : mesh.normals) {
    const float y = ApproxInverseSqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    n.x *= y, n.y *= y, n.z *= y;
  }
}

// ---------------------------------------------------------------------------------------------------------
// Metaballs: every sample sums its balls, every cell reads its 8 corners and interpolates its own edges.

inline void ComputeField(METABALLS &m) {
  for (int kx = 0; kx < 32; kx++)
    for (int jy = 0; jy < 32; jy++)
      for (int iz = 0; iz < 32; iz++) {
        const float x = (float)(kx - 16), y = (float)(jy - 16), z = (float)(iz - 16);
        float sum = 0;
        for (uint32_t b = 0; b < m.BallCount; b++) {
          const METABALL &ball = m.Balls[b];
          const float d2 = (x - ball.x) * (x - ball.x) + (y - ball.y) * (y - ball.y) + (z - ball.z) * (z - ball.z);
          const float r = ball.radius;
          sum += r * r >= d2 ? r : r * ApproxInverseSqrt(d2);
        }
        m.Field[kx * 1024 + jy * 32 + iz] = sum;
      }
}

inline VECTOR3 InterpolateEdge(const VECTOR3 &p1, const VECTOR3 &p2, float val1, float val2) {
  const float iso = 1.08f;
  if (fabsf(iso - val1) < 0.0001f) return p1;
  if (fabsf(iso - val2) < 0.0001f) return p2;
  if (fabsf(val1 - val2) < 0.0001f) return p1;
  const float mu = (iso - val1) / (val2 - val1);
  return {p1.x + mu * (p2.x - p1.x), p1.y + mu * (p2.y - p1.y), p1.z + mu * (p2.z - p1.z)};
}

template <class EMITTER>
void Polygonise(const METABALLS &m, EMITTER &emitter) {
  for (int iz = 1; iz <= 30; iz++)
    for (int jy = 1; jy <= 30; jy++)
      for (int kx = 1; kx <= 30; kx++) {
        VECTOR3 corner[8];
        float value[8];
        int cube = 0;
        for (int c = 0; c < 8; c++) {
          const int x = kx + gMetaballCornerOffsets[c][0], y = jy + gMetaballCornerOffsets[c][1],
                    z = iz + gMetaballCornerOffsets[c][2];
          corner[c] = {6.0f * (float)(x - 16), 6.0f * (float)(y - 16), 6.0f * (float)(z - 16)};
          value[c] = m.Field[x * 1024 + y * 32 + z];
          if (value[c] < 1.08f) cube |= 1 << c;
        }
        const int edges = gMetaballEdgeTable[cube];
        if (edges == 0) continue;
        VECTOR3 vertex[12];
        for (int e = 0; e < 12; e++)
          if (edges & (1 << e)) {
            const int a = gMetaballEdgeCorners[e][0], b = gMetaballEdgeCorners[e][1];
            vertex[e] = InterpolateEdge(corner[a], corner[b], value[a], value[b]);
          }
        emitter.BeginCell();
        for (int i = 0; gMetaballTriangleTable[cube][i] != -1; i++)
          emitter.Vertex(vertex[gMetaballTriangleTable[cube][i]]);
        emitter.EndCell();
      }
}

}  // namespace reference
