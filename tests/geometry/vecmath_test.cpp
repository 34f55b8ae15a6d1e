#include <gtest/gtest.h>

#include <cmath>

#include "geometry/vecmath.h"

namespace {

const float kPi = 3.14159265358979f;

MATRIX34 Sample(float seed) {
  MATRIX34 m;
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++) m.m[r][c] = seed + 0.37f * r - 1.1f * c + 0.05f * r * c;
  return m;
}

void ExpectLinear(const MATRIX34 &m, const float (&rows)[3][3], float tolerance) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) EXPECT_NEAR(m.m[r][c], rows[r][c], tolerance) << "row " << r << " col " << c;
}

bool Same(const MATRIX34 &a, const MATRIX34 &b) {
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 4; c++)
      if (a.m[r][c] != b.m[r][c]) return false;
  return true;
}

TEST(MatrixMultiply, AffineProductAppliesTheRightOperandFirst) {
  MATRIX34 translate = {{{1, 0, 0, 5}, {0, 1, 0, 6}, {0, 0, 1, 7}}};
  MATRIX34 scale = {{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 1}}};
  MATRIX34 out;
  MatrixMultiply(translate, scale, out);
  VECTOR3 p = {1, 1, 1}, q;
  TransformPoint(out, p, q);
  EXPECT_FLOAT_EQ(q.x, 7);   // 2 + 5
  EXPECT_FLOAT_EQ(q.y, 9);   // 3 + 6
  EXPECT_FLOAT_EQ(q.z, 12);  // (4 + 1) + 7
}

TEST(MatrixMultiply, OutputMayBeEitherInput) {
  const MATRIX34 a = Sample(0.5f), b = Sample(-2.25f);
  MATRIX34 expected;
  MatrixMultiply(a, b, expected);
  MATRIX34 left = a;
  MatrixMultiply(left, b, left);
  EXPECT_TRUE(Same(left, expected));
  MATRIX34 right = b;
  MatrixMultiply(a, right, right);
  EXPECT_TRUE(Same(right, expected));
  MATRIX34 both = a, squared;
  MatrixMultiply(a, a, squared);
  MatrixMultiply(both, both, both);
  EXPECT_TRUE(Same(both, squared));
}

TEST(TransformPoint, InPlaceGivesTheSameResult) {
  const MATRIX34 m = Sample(1.5f);
  VECTOR3 p = {0.25f, -3, 8}, expected;
  TransformPoint(m, p, expected);
  TransformPoint(m, p, p);
  EXPECT_EQ(p.x, expected.x);
  EXPECT_EQ(p.y, expected.y);
  EXPECT_EQ(p.z, expected.z);
  EXPECT_FLOAT_EQ(expected.x, m.m[0][0] * 0.25f - 3 * m.m[0][1] + 8 * m.m[0][2] + m.m[0][3]);
}

TEST(MatrixFromTRS, ZeroAngleUnitScaleIsIdentityPlusTranslationWhateverTheAxis) {
  const float identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const float axes[][3] = {{0, 0, 1}, {3, -2, 7}, {0, 0, 0}};
  for (const auto &axis : axes) {
    MATRIX34 m;
    MatrixFromTRS(4, -5, 6, 0, axis[0], axis[1], axis[2], 1, 1, 1, m);
    ExpectLinear(m, identity, 0);
    EXPECT_EQ(m.m[0][3], 4);
    EXPECT_EQ(m.m[1][3], -5);
    EXPECT_EQ(m.m[2][3], 6);
  }
}

TEST(MatrixFromTRS, HalfTurnAboutZ) {
  MATRIX34 m;
  MatrixFromTRS(0, 0, 0, kPi, 0, 0, 1, 1, 1, 1, m);
  const float expected[3][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
  ExpectLinear(m, expected, 1e-6f);
}

TEST(MatrixFromTRS, QuarterTurnIsTheTransposedRotationAndScalesColumns) {
  // The quaternion form used is the transpose of the usual one: a quarter turn about +z sends x to -y.
  MATRIX34 m;
  MatrixFromTRS(0, 0, 0, kPi / 2, 0, 0, 1, 2, 3, 4, m);
  const float expected[3][3] = {{0, 3, 0}, {-2, 0, 0}, {0, 0, 4}};
  ExpectLinear(m, expected, 1e-6f);
}

TEST(MatrixFromTRS, AxisIsNotNormalised) {
  MATRIX34 m;
  MatrixFromTRS(0, 0, 0, kPi, 0, 0, 2, 1, 1, 1, m);
  // q = (0, 0, 0, 2): row 0 = (1 - 2*4, 0, 0), far from a rotation.
  EXPECT_NEAR(m.m[0][0], -7, 1e-5f);
  EXPECT_NEAR(m.m[1][1], -7, 1e-5f);
  EXPECT_NEAR(m.m[2][2], 1, 1e-5f);
}

TEST(QuaternionToMatrix, FollowsTheRowsAsGiven) {
  MATRIX34 m;
  QuaternionToMatrix({1, 2, 3, 4}, m);
  const float expected[3][3] = {{-49, 20, 10}, {4, -39, 28}, {22, 20, -25}};
  ExpectLinear(m, expected, 0);
  EXPECT_EQ(m.m[0][3], 0);
  EXPECT_EQ(m.m[1][3], 0);
  EXPECT_EQ(m.m[2][3], 0);
}

TEST(MatrixFromAngles, ZeroIsIdentityAndEachAngleTurnsAboutItsAxis) {
  MATRIX34 m;
  MatrixFromAngles(0, 0, 0, m);
  const float identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ExpectLinear(m, identity, 0);

  VECTOR3 p;
  MatrixFromAngles(0, kPi / 2, 0, m);  // b turns about x
  TransformPoint(m, {0, 1, 0}, p);
  EXPECT_NEAR(p.x, 0, 1e-6f);
  EXPECT_NEAR(p.y, 0, 1e-6f);
  EXPECT_NEAR(p.z, 1, 1e-6f);

  MatrixFromAngles(0, 0, kPi / 2, m);  // c turns about y: z goes to x
  TransformPoint(m, {0, 0, 1}, p);
  EXPECT_NEAR(p.x, 1, 1e-6f);
  EXPECT_NEAR(p.z, 0, 1e-6f);

  MatrixFromAngles(kPi / 2, 0, 0, m);  // a turns about z the other way: x goes to -y
  TransformPoint(m, {1, 0, 0}, p);
  EXPECT_NEAR(p.x, 0, 1e-6f);
  EXPECT_NEAR(p.y, -1, 1e-6f);
}

TEST(MatrixFromAngles, IsRzOfMinusATimesRxTimesRy) {
  const float a = 0.3f, b = -1.1f, c = 2.0f;
  MATRIX34 rz = {{{cosf(-a), -sinf(-a), 0, 0}, {sinf(-a), cosf(-a), 0, 0}, {0, 0, 1, 0}}};
  MATRIX34 rx = {{{1, 0, 0, 0}, {0, cosf(b), -sinf(b), 0}, {0, sinf(b), cosf(b), 0}}};
  MATRIX34 ry = {{{cosf(c), 0, sinf(c), 0}, {0, 1, 0, 0}, {-sinf(c), 0, cosf(c), 0}}};
  MATRIX34 product, m;
  MatrixMultiply(rx, ry, product);
  MatrixMultiply(rz, product, product);
  MatrixFromAngles(a, b, c, m);
  for (int r = 0; r < 3; r++)
    for (int col = 0; col < 4; col++) EXPECT_NEAR(m.m[r][col], product.m[r][col], 1e-6f);
}

}  // namespace
