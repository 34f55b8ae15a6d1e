// Single-precision 3D math for affine transforms: plain data and free functions, no allocation, no state.
// Angles are radians. Every operation computes its whole result before storing it, so an output may be
// the same object as one of its inputs.
#pragma once

#include <cstdint>
#include <cstring>

struct VECTOR3 {
  float x, y, z;
};

// w is the scalar part.
struct QUATERNION {
  float w, x, y, z;
};

// Three rows of four, row-major: m[r][c]. Columns 0-2 are the linear part, column 3 the translation; the
// implied fourth row is (0, 0, 0, 1) and points are column vectors (p' = M p).
struct MATRIX34 {
  float m[3][4];
};

// out = a b (b is applied first).
void MatrixMultiply(const MATRIX34 &a, const MATRIX34 &b, MATRIX34 &out);
// out = m p, translation included.
void TransformPoint(const MATRIX34 &m, const VECTOR3 &p, VECTOR3 &out);
// The transpose of the usual rotation matrix of q (q is not normalised); translation 0.
void QuaternionToMatrix(const QUATERNION &q, MATRIX34 &out);
// Rz(-a) Rx(b) Ry(c) in right-handed column-vector matrices; translation 0.
void MatrixFromAngles(float a, float b, float c, MATRIX34 &out);
// Translation (tx, ty, tz) times a rotation by `angle` about the (unnormalised) axis (ax, ay, az) times
// the scale (sx, sy, sz).
void MatrixFromTRS(float tx, float ty, float tz, float angle, float ax, float ay, float az, float sx, float sy,
                   float sz, MATRIX34 &out);

// About 1 / sqrt(s), within 0.2 %: one Newton step from the bit-pattern guess 0x5f3759df - (bits >> 1).
// The mesh normals, the metaball field and its texture directions all use this same approximation.
inline float ApproxInverseSqrt(float s) {
  uint32_t bits;
  memcpy(&bits, &s, sizeof bits);
  bits = 0x5f3759df - (bits >> 1);
  float y;
  memcpy(&y, &bits, sizeof y);
  return y * (1.5f - 0.5f * s * (y * y));
}
