#include "geometry/vecmath.h"

#include <cmath>

void MatrixMultiply(const MATRIX34 &a, const MATRIX34 &b, MATRIX34 &out) {
  MATRIX34 t;
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++)
      t.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c];
    t.m[r][3] = a.m[r][0] * b.m[0][3] + a.m[r][1] * b.m[1][3] + a.m[r][2] * b.m[2][3] + a.m[r][3];
  }
  out = t;
}

void TransformPoint(const MATRIX34 &m, const VECTOR3 &p, VECTOR3 &out) {
  VECTOR3 t;
  t.x = m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.m[0][3];
  t.y = m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.m[1][3];
  t.z = m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z + m.m[2][3];
  out = t;
}

void QuaternionToMatrix(const QUATERNION &q, MATRIX34 &out) {
  const float w = q.w, x = q.x, y = q.y, z = q.z;
  MATRIX34 t = {};
  t.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
  t.m[0][1] = 2.0f * (x * y + w * z);
  t.m[0][2] = 2.0f * (x * z - w * y);
  t.m[1][0] = 2.0f * (x * y - w * z);
  t.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
  t.m[1][2] = 2.0f * (y * z + w * x);
  t.m[2][0] = 2.0f * (x * z + w * y);
  t.m[2][1] = 2.0f * (y * z - w * x);
  t.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
  out = t;
}

void MatrixFromAngles(float a, float b, float c, MATRIX34 &out) {
  const float sa = sinf(a), ca = cosf(a), sb = sinf(b), cb = cosf(b), sc = sinf(c), cc = cosf(c);
  MATRIX34 t = {};
  t.m[0][0] = ca * cc + sa * sb * sc;
  t.m[0][1] = sa * cb;
  t.m[0][2] = ca * sc - sa * sb * cc;
  t.m[1][0] = ca * sb * sc - sa * cc;
  t.m[1][1] = ca * cb;
  t.m[1][2] = -ca * sb * cc - sa * sc;
  t.m[2][0] = -cb * sc;
  t.m[2][1] = sb;
  t.m[2][2] = cb * cc;
  out = t;
}

void MatrixFromTRS(float tx, float ty, float tz, float angle, float ax, float ay, float az, float sx, float sy,
                   float sz, MATRIX34 &out) {
  MATRIX34 scale = {};
  scale.m[0][0] = sx;
  scale.m[1][1] = sy;
  scale.m[2][2] = sz;
  const float h = angle * 0.5f;
  const float sh = sinf(h);
  const QUATERNION q = {cosf(h), ax * sh, ay * sh, az * sh};
  MATRIX34 rotation;
  QuaternionToMatrix(q, rotation);
  MatrixMultiply(rotation, scale, out);
  out.m[0][3] = tx;
  out.m[1][3] = ty;
  out.m[2][3] = tz;
}
