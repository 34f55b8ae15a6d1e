#include "geometry/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const float kPi = 3.14159265358979f;

void ExpectLinear(const MATRIX34 &m, const float (&rows)[3][3], float tolerance, const char *what) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) EXPECT_NEAR(m.m[r][c], rows[r][c], tolerance) << what << " row " << r << " col " << c;
}

TEST(VecMath, ProductAppliesTheRightOperandFirstAndOutputsMayBeInputs) {
  const MATRIX34 translate = {{{1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 1, 7}}};
  const MATRIX34 scale = {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 1}}};
  MATRIX34 out;
  MatrixMultiply(translate, scale, out);
  VECTOR3 q;
  TransformPoint(out, {1, 1, 1}, q);
  EXPECT_EQ(q.x, 7);   // 2 + 5
  EXPECT_EQ(q.y, 9);   // 3 + 6
  EXPECT_EQ(q.z, 12);  // (4 + 1) + 7
  // Dense operands, so that writing the output early would change what is read later.
  MATRIX34 a, b, expected, squared;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) a.m[r][c] = 0.5f + 0.37f * r - 1.1f * c, b.m[r][c] = -2.25f + 0.05f * r * c - c;
  MatrixMultiply(a, b, expected);
  MatrixMultiply(a, a, squared);
  MATRIX34 left = a, right = b, both = a;
  MatrixMultiply(left, b, left);
  MatrixMultiply(a, right, right);
  MatrixMultiply(both, both, both);
  EXPECT_EQ(0, memcmp(&left, &expected, sizeof expected));
  EXPECT_EQ(0, memcmp(&right, &expected, sizeof expected));
  EXPECT_EQ(0, memcmp(&both, &squared, sizeof squared));
  VECTOR3 p = {0.25f, -3, 8};
  TransformPoint(a, p, q);
  TransformPoint(a, p, p);
  EXPECT_EQ(0, memcmp(&p, &q, sizeof q));
  EXPECT_FLOAT_EQ(q.x, a.m[0][0] * 0.25f - 3 * a.m[0][1] + 8 * a.m[0][2] + a.m[0][3]);
}

TEST(VecMath, MatrixFromTRS) {
  struct Case {
    const char *what;
    float angle, axis[3], scale[3], linear[3][3], tolerance;
  };
  const Case cases[] = {
      {"no turn, axis z", 0, {0, 0, 1}, {1, 1, 1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0},
      {"no turn, any axis", 0, {3, -2, 7}, {1, 1, 1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0},
      {"no turn, zero axis", 0, {0, 0, 0}, {1, 1, 1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0},
      {"half turn about z", kPi, {0, 0, 1}, {1, 1, 1}, {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, 1e-6f},
      // The transposed quaternion form: a quarter turn about +z sends x to -y; scales go to the columns.
      {"quarter turn, scaled", kPi / 2, {0, 0, 1}, {2, 3, 4}, {{0, 3, 0}, {-2, 0, 0}, {0, 0, 4}}, 1e-6f},
      // The axis is not normalised: q = (0, 0, 0, 2) is far from a rotation.
      {"axis of length 2", kPi, {0, 0, 2}, {1, 1, 1}, {{-7, 0, 0}, {0, -7, 0}, {0, 0, 1}}, 1e-5f},
  };
  for (const Case &c : cases) {
    MATRIX34 m;
    MatrixFromTRS(4, -5, 6, c.angle, c.axis[0], c.axis[1], c.axis[2], c.scale[0], c.scale[1], c.scale[2], m);
    ExpectLinear(m, c.linear, c.tolerance, c.what);
    EXPECT_EQ(m.m[0][3], 4) << c.what;
    EXPECT_EQ(m.m[1][3], -5) << c.what;
    EXPECT_EQ(m.m[2][3], 6) << c.what;
  }
}

TEST(VecMath, QuaternionToMatrixFollowsTheRowsAsGiven) {
  MATRIX34 m;
  QuaternionToMatrix({1, 2, 3, 4}, m);
  const float expected[3][3] = {{-49, 20, 10}, {4, -39, 28}, {22, 20, -25}};
  ExpectLinear(m, expected, 0, "q (1, 2, 3, 4)");
  for (int r = 0; r < 3; r++) EXPECT_EQ(m.m[r][3], 0);
}

TEST(VecMath, MatrixFromAnglesIsRzOfMinusATimesRxTimesRy) {
  MATRIX34 m;
  MatrixFromAngles(0, 0, 0, m);
  const float identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ExpectLinear(m, identity, 0, "zero angles");
  // Ry turns z towards x, Rx then turns y towards z, and Rz(-a) turns x towards -y.
  const struct {
    float a, b, c;
    VECTOR3 from, to;
  } turns[] = {{0, kPi / 2, 0, {0, 1, 0}, {0, 0, 1}},
               {kPi / 2, 0, 0, {1, 0, 0}, {0, -1, 0}},
               {0, 0, kPi / 2, {0, 0, 1}, {1, 0, 0}},
               {kPi / 2, kPi / 2, kPi / 2, {0, 0, 1}, {0, -1, 0}},
               {kPi / 2, kPi / 2, kPi / 2, {0, 1, 0}, {0, 0, 1}}};
  for (const auto &t : turns) {
    VECTOR3 p;
    MatrixFromAngles(t.a, t.b, t.c, m);
    TransformPoint(m, t.from, p);
    EXPECT_NEAR(p.x, t.to.x, 1e-6f) << t.a << " " << t.b << " " << t.c;
    EXPECT_NEAR(p.y, t.to.y, 1e-6f) << t.a << " " << t.b << " " << t.c;
    EXPECT_NEAR(p.z, t.to.z, 1e-6f) << t.a << " " << t.b << " " << t.c;
  }
}

}  // namespace
