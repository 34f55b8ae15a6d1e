#include "geometry/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const float kPi = 3.14159265358979f;

// The 3 x 3 part of `m` row by row, within `tolerance`.
void ExpectLinear(const MATRIX34 &m, const std::vector<float> &rows, float tolerance, const char *what) {
  for (int i = 0; i < 9; i++) EXPECT_NEAR(m.m[i / 3][i % 3], rows[i], tolerance) << what << " element " << i;
}

TEST(VecMath, ProductAppliesTheRightOperandFirstAndOutputsMayBeInputs) {
  const MATRIX34 translate = {{{1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 1, 7}}};
  const MATRIX34 scale = {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 1}}};
  MATRIX34 out, a, b, expected, squared;
  MatrixMultiply(translate, scale, out);
  VECTOR3 q;
  TransformPoint(out, {1, 1, 1}, q);
  EXPECT_TRUE(q.x == 7 && q.y == 9 && q.z == 12);  // 2 + 5, 3 + 6, (4 + 1) + 7
  // Dense operands, so that writing the output early would change what is read later.
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

TEST(VecMath, MatrixFromTRSAndQuaternions) {
  const struct {
    const char *what;
    float angle, axis[3], scale[3];
    std::vector<float> linear;
  } cases[] = {
      {"no turn, any axis", 0, {3, -2, 7}, {1, 1, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"no turn, zero axis", 0, {0, 0, 0}, {1, 1, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}},
      {"half turn about z", kPi, {0, 0, 1}, {1, 1, 1}, {-1, 0, 0, 0, -1, 0, 0, 0, 1}},
      // The transposed quaternion form: a quarter turn about +z sends x to -y; scales go to the columns.
      {"quarter turn, scaled", kPi / 2, {0, 0, 1}, {2, 3, 4}, {0, 3, 0, -2, 0, 0, 0, 0, 4}},
      // The axis is not normalised: q = (0, 0, 0, 2) is far from a rotation.
      {"axis of length 2", kPi, {0, 0, 2}, {1, 1, 1}, {-7, 0, 0, 0, -7, 0, 0, 0, 1}},
  };
  MATRIX34 m;
  for (const auto &c : cases) {
    MatrixFromTRS(4, -5, 6, c.angle, c.axis[0], c.axis[1], c.axis[2], c.scale[0], c.scale[1], c.scale[2], m);
    ExpectLinear(m, c.linear, 1e-5f, c.what);
    EXPECT_TRUE(m.m[0][3] == 4 && m.m[1][3] == -5 && m.m[2][3] == 6) << c.what;
  }
  QuaternionToMatrix({1, 2, 3, 4}, m);
  ExpectLinear(m, {-49, 20, 10, 4, -39, 28, 22, 20, -25}, 0, "q (1, 2, 3, 4)");
  EXPECT_TRUE(m.m[0][3] == 0 && m.m[1][3] == 0 && m.m[2][3] == 0);
}

TEST(VecMath, MatrixFromAnglesIsRzOfMinusATimesRxTimesRy) {
  // Ry turns z towards x, Rx then turns y towards z, and Rz(-a) turns x towards -y.
  const struct {
    float a, b, c;
    VECTOR3 from, to;
  } turns[] = {{0, 0, 0, {1, 2, 3}, {1, 2, 3}},
               {0, kPi / 2, 0, {0, 1, 0}, {0, 0, 1}},
               {kPi / 2, 0, 0, {1, 0, 0}, {0, -1, 0}},
               {0, 0, kPi / 2, {0, 0, 1}, {1, 0, 0}},
               {kPi / 2, kPi / 2, kPi / 2, {0, 0, 1}, {0, -1, 0}},
               {kPi / 2, kPi / 2, kPi / 2, {0, 1, 0}, {0, 0, 1}}};
  for (const auto &t : turns) {
    MATRIX34 m;
    VECTOR3 p;
    MatrixFromAngles(t.a, t.b, t.c, m);
    TransformPoint(m, t.from, p);
    EXPECT_NEAR(fabsf(p.x - t.to.x) + fabsf(p.y - t.to.y) + fabsf(p.z - t.to.z), 0, 1e-5f) << t.a << t.b << t.c;
  }
}

}  // namespace
