#include "geometry/mx_knot.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

namespace {

const float kTwoPi = 6.28318530717958647692f;
// The step to the second curve point that gives the tangent: 2 pi / 10000.
const float kCurveDelta = 0.00062831852f;
const int kMaxSides = 200;

bool IsWhole(float x) { return fabsf(x - truncf(x)) < 0.00001f; }

float Dot(const VECTOR3 &a, const VECTOR3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void Normalise(VECTOR3 &v) {
  const float length = sqrtf(Dot(v, v));
  v.x /= length;
  v.y /= length;
  v.z /= length;
}

VECTOR3 Cross(const VECTOR3 &a, const VECTOR3 &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

MX_TORUS_KNOT::MX_TORUS_KNOT()
    : Vertices(nullptr),
      Triangles(nullptr),
      TexCoords(nullptr),
      Normals(nullptr),
      TriangleCount(0),
      VertexCount(0),
      CurveRadius(20.0f),
      TubeRadius(7.0f),
      BulgePhase(0.0f),
      Twist(25.0f),
      Segments(120),
      Sides(16),
      CurveType(2),
      P(1.0f),
      Q(4.0f),
      EllipseRatio(1.0f),
      Bulges(9),
      BulgeDepth(0.666f),
      WaveDepth(0.0f),
      WaveCount(0.0f) {}

void MX_TORUS_KNOT::Generate() {
  if (CurveRadius < 0 || TubeRadius < 0 || Segments < 4 || Segments > 1000 || Sides < 3 || Sides > kMaxSides)
    FatalError(__LINE__, "mx_knot", "MX_TORUS_KNOT:: Invalid paras range !");

  const bool closed = IsWhole(P) && IsWhole(Q) && (CurveType != 1 || IsWhole(WaveCount));
  const uint32_t segments = (uint32_t)Segments, sides = (uint32_t)Sides;
  const uint32_t rings = closed ? segments : segments + 1;
  const uint32_t vertexCount = rings * sides, triangleCount = 2 * segments * sides;

  if (vertexCount == VertexCount && triangleCount == TriangleCount) {
    memset(Normals, 0, sizeof(VECTOR3) * VertexCount);
  } else {
    Release();
    Vertices = (VECTOR3 *)TrackedAlloc(sizeof(VECTOR3) * vertexCount, __LINE__, "mx_knot");
    Triangles = (uint32_t(*)[3])TrackedAlloc(sizeof(uint32_t[3]) * triangleCount, __LINE__, "mx_knot");
    TexCoords = (float(*)[3])TrackedAlloc(sizeof(float[3]) * vertexCount, __LINE__, "mx_knot");
    Normals = (VECTOR3 *)TrackedAlloc(sizeof(VECTOR3) * vertexCount, __LINE__, "mx_knot");
    VertexCount = vertexCount;
    TriangleCount = triangleCount;
  }

  // Every ring walks v through the same accumulated values, so the ellipse's sines and cosines are taken
  // once per call rather than once per vertex.
  float sinV[kMaxSides], cosV[kMaxSides], texT[kMaxSides];
  const float dv = kTwoPi / (float)Sides;
  float v = 0;
  for (uint32_t j = 0; j < sides; j++) {
    sinV[j] = sinf(v);
    cosV[j] = cosf(v);
    texT[j] = 2 * v / kTwoPi;
    v += dv;
  }

  const float du = kTwoPi / (float)Segments;
  float u = 0;
  for (uint32_t i = 0; i < rings; i++) {
    VECTOR3 c0, c1;
    if (CurveType == 2) {
      float scale = 2 * CurveRadius / (2.2f - sinf(Q * u));
      c0 = {scale * cosf(P * u), scale * sinf(P * u), scale * cosf(Q * u)};
      const float u1 = u + kCurveDelta;
      scale = 2 * CurveRadius / (2.2f - sinf(Q * u1));
      c1 = {scale * cosf(P * u1), scale * sinf(P * u1), scale * cosf(Q * u1)};
    } else {
      float r = CurveRadius * (1 + WaveDepth * (0.5f - 0.5f * cosf(WaveCount * u)));
      c0 = {r * cosf(u), r * sinf(u), 0};
      const float u1 = u + kCurveDelta;
      r = CurveRadius * (1 + WaveDepth * (0.5f - 0.5f * cosf(WaveCount * u1)));
      c1 = {r * cosf(u1), r * sinf(u1), 0};
    }
    const VECTOR3 tangent = {c1.x - c0.x, c1.y - c0.y, c1.z - c0.z};
    const VECTOR3 sum = {c1.x + c0.x, c1.y + c0.y, c1.z + c0.z};
    VECTOR3 n = Cross(tangent, sum);
    VECTOR3 b = Cross(n, tangent);
    // The tangent is a tiny chord, so |b| = |n| |tangent| is small at every ordinary size (a wavy circle of
    // radius 20 gives |b|^2 near 4e-5): an absolute length threshold would leave b unscaled there and
    // flatten the tube into a ribbon. The frame is judged degenerate by the angle between the tangent and
    // the position sum instead, and is otherwise made unit. A zero frame (a curve of radius 0) passes that
    // test as 0 >= 0 but has no length to divide by: it stays zero, and the ring collapses onto its point.
    const float nn = Dot(n, n);
    if (nn > 0 && nn >= 0.001f * Dot(tangent, tangent) * Dot(sum, sum)) {
      Normalise(n);
      Normalise(b);
    }

    const float rr = TubeRadius * (1 + BulgeDepth * (0.5f - 0.5f * cosf((u + BulgePhase) * (float)Bulges)));
    const float theta = Twist * u;
    const float sinT = sinf(theta), cosT = cosf(theta);
    const float width = EllipseRatio * rr, height = rr / EllipseRatio;
    const float texS = 4 * u / kTwoPi;

    VECTOR3 *vertex = Vertices + i * sides;
    float(*tex)[3] = TexCoords + i * sides;
    for (uint32_t j = 0; j < sides; j++) {
      const float x = width * sinV[j], y = height * cosV[j];
      const float ox = x * cosT - y * sinT, oy = x * sinT + y * cosT;
      vertex[j].x = c0.x + ox * b.x + oy * n.x;
      vertex[j].y = c0.y + ox * b.y + oy * n.y;
      vertex[j].z = c0.z + ox * b.z + oy * n.z;
      tex[j][0] = texS;
      tex[j][1] = texT[j];
      tex[j][2] = 0;
    }
    u += du;
  }

  uint32_t(*triangle)[3] = Triangles;
  for (uint32_t r = 0; r < segments; r++) {
    const bool lastBand = closed && r == segments - 1;
    for (uint32_t k = 0; k < sides; k++) {
      const uint32_t K = r * sides + k;
      const uint32_t L = lastBand ? k : K + sides;
      const uint32_t Kn = k == sides - 1 ? r * sides : K + 1;
      const uint32_t D = Kn + L - K;
      triangle[0][0] = K;
      triangle[0][1] = L;
      triangle[0][2] = D;
      triangle[1][0] = K;
      triangle[1][1] = D;
      triangle[1][2] = Kn;
      triangle += 2;
    }
  }

  // The unnormalised face normals weight each face by its area.
  for (uint32_t f = 0; f < TriangleCount; f++) {
    const uint32_t a = Triangles[f][0], b = Triangles[f][1], c = Triangles[f][2];
    const VECTOR3 &va = Vertices[a], &vb = Vertices[b], &vc = Vertices[c];
    const VECTOR3 e1 = {va.x - vc.x, va.y - vc.y, va.z - vc.z};
    const VECTOR3 e2 = {vb.x - vc.x, vb.y - vc.y, vb.z - vc.z};
    const VECTOR3 face = Cross(e1, e2);
    Normals[a].x += face.x;
    Normals[a].y += face.y;
    Normals[a].z += face.z;
    Normals[b].x += face.x;
    Normals[b].y += face.y;
    Normals[b].z += face.z;
    Normals[c].x += face.x;
    Normals[c].y += face.y;
    Normals[c].z += face.z;
  }
  for (uint32_t i = 0; i < VertexCount; i++) {
    VECTOR3 &normal = Normals[i];
    const float squared = normal.x * normal.x + normal.y * normal.y + normal.z * normal.z;
    if (squared == 0) continue;
    const float scale = ApproxInverseSqrt(squared);
    normal.x *= scale;
    normal.y *= scale;
    normal.z *= scale;
  }
}

void MX_TORUS_KNOT::Draw() {
  if (!Vertices) FatalError(__LINE__, "mx_knot", "MX_TORUS_KNOT::Generate first !");
  glBegin(GL_TRIANGLES);
  for (uint32_t f = 0; f < TriangleCount; f++)
    for (int corner = 0; corner < 3; corner++) {
      const uint32_t index = Triangles[f][corner];
      glTexCoord2f(TexCoords[index][0], TexCoords[index][1]);
      glNormal3fv(&Normals[index].x);
      glVertex3fv(&Vertices[index].x);
    }
  glEnd();
}

void MX_TORUS_KNOT::Release() {
  // Only arrays that exist are handed back, so a first Generate or a second Release logs no free(0) lines.
  if (Vertices) TrackedFree(Vertices, __LINE__, "mx_knot");
  if (Triangles) TrackedFree(Triangles, __LINE__, "mx_knot");
  if (TexCoords) TrackedFree(TexCoords, __LINE__, "mx_knot");
  if (Normals) TrackedFree(Normals, __LINE__, "mx_knot");
  Vertices = nullptr;
  Triangles = nullptr;
  TexCoords = nullptr;
  Normals = nullptr;
  TriangleCount = 0;
  VertexCount = 0;
}
