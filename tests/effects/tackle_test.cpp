#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/tackle.h"

namespace {

struct QUAD_RECORDER {
  std::vector<TUBE_CORNER> corners;
  void Vertex(const TUBE_CORNER &c) { corners.push_back(c); }
};

// A hand-made tentacle whose points the test owns.
struct OWNED_TENTACLE {
  std::vector<VECTOR3> points, velocity;
  TENTACLE tentacle;
  explicit OWNED_TENTACLE(std::vector<VECTOR3> p) : points(p), velocity(p.size(), VECTOR3{0, 0, 0}) {
    tentacle = {(int32_t)points.size(), 10, points.data(), velocity.data()};
  }
};

float Length(const VECTOR3 &v) { return sqrtf(v.x * v.x + v.y * v.y + v.z * v.z); }
VECTOR3 Minus(const VECTOR3 &a, const VECTOR3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

void ExpectVector(const VECTOR3 &v, float x, float y, float z, const char *what) {
  EXPECT_NEAR(v.x, x, 1e-5f) << what;
  EXPECT_NEAR(v.y, y, 1e-5f) << what;
  EXPECT_NEAR(v.z, z, 1e-5f) << what;
}

TEST(TentacleTube, RadiiTaperFromThirtyToTheTip) {
  // A straight tentacle along (0, 1, 1): unit side vectors, so each corner lies its ring's radius away.
  std::vector<VECTOR3> points;
  for (int k = 0; k < 32; k++) points.push_back({5, 10.0f * k, 10.0f * k});
  OWNED_TENTACLE t(points);
  TUBE_CORNER ring[4];
  TentacleRing(t.tentacle, 0, ring);
  EXPECT_NEAR(Length(Minus(ring[1].position, points[0])), 30.0f, 1e-4f);
  for (int k = 1; k <= 30; k++) {
    TentacleRing(t.tentacle, k, ring);
    const float radius = 29.375f - 0.625f * (k - 1);
    for (int i = 0; i < 4; i++) EXPECT_NEAR(Length(Minus(ring[i].position, points[k])), radius, 1e-4f) << "ring " << k;
  }
  EXPECT_NEAR(30 - 30 * (20.0f / 32), 11.25f, 0);
  TentacleRing(t.tentacle, 31, ring);
  for (int i = 0; i < 4; i++) ExpectVector(ring[i].position, 5, 310, 310, "tip");
}

TEST(TentacleTube, SideVectorsForTheAxisCases) {
  struct Case {
    VECTOR3 next;  // p[1] - p[0] is minus the tangent of ring 0
    VECTOR3 u, w;
  };
  const Case cases[] = {
      {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  // tangent +x
      {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},    // tangent -x
      {{0, 0, -1}, {0, 0, 1}, {0, 0, 0}},   // tangent +z: the ring collapses
  };
  for (const Case &c : cases) {
    OWNED_TENTACLE t({{0, 0, 0}, {c.next.x * 50, c.next.y * 50, c.next.z * 50}, {0, 0, 0}});
    TUBE_CORNER ring[4];
    TentacleRing(t.tentacle, 0, ring);
    ExpectVector(ring[0].position, 30 * c.w.x, 30 * c.w.y, 30 * c.w.z, "c0 = p + R w");
    ExpectVector(ring[1].position, 30 * c.u.x, 30 * c.u.y, 30 * c.u.z, "c1 = p + R u");
    ExpectVector(ring[2].position, -30 * c.w.x, -30 * c.w.y, -30 * c.w.z, "c2 = p - R w");
    ExpectVector(ring[3].position, -30 * c.u.x, -30 * c.u.y, -30 * c.u.z, "c3 = p - R u");
  }
  // A tangent off the axes gets u = (0, -t.z, t.y), not normalised: thinner near the x axis.
  OWNED_TENTACLE t({{0, 0, 0}, {-0.8f * 50, -0.6f * 50, 0}, {0, 0, 0}});
  TUBE_CORNER ring[4];
  TentacleRing(t.tentacle, 0, ring);
  ExpectVector(ring[1].position, 0, 0, 30 * 0.6f, "u scaled by t.y");
}

TEST(TentacleTube, TexCoordsAreTheCornerDirection) {
  OWNED_TENTACLE t({{3, 4, 0}, {3, 4, -10}, {0, 0, 0}});
  TUBE_CORNER ring[4];
  TentacleRing(t.tentacle, 0, ring);
  for (int i = 0; i < 4; i++) {
    const float length = Length(ring[i].position);
    EXPECT_NEAR(ring[i].s, ring[i].position.x / length, 1e-6f);
    EXPECT_NEAR(ring[i].t, ring[i].position.y / length, 1e-6f);
  }
  TentacleRing(t.tentacle, 2, ring);  // the tip at the origin
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(ring[i].s, 0.0f);
    EXPECT_EQ(ring[i].t, 0.0f);
  }
}

TEST(TentacleTube, QuadsGoRingByRingSideBySide) {
  std::vector<VECTOR3> points;
  for (int k = 0; k < 5; k++) points.push_back({1, 7.0f * k, 3.0f * k + 2});
  OWNED_TENTACLE t(points);
  QUAD_RECORDER out;
  TentacleTube(t.tentacle, out);
  ASSERT_EQ(out.corners.size(), 4u * 4 * 4);
  TUBE_CORNER rings[5][4];
  for (int k = 0; k < 5; k++) TentacleRing(t.tentacle, k, rings[k]);
  size_t n = 0;
  for (int k = 0; k < 4; k++)
    for (int i = 0; i < 4; i++) {
      const int j = (i + 1) % 4;
      const TUBE_CORNER *expected[4] = {&rings[k][i], &rings[k + 1][i], &rings[k + 1][j], &rings[k][j]};
      for (const TUBE_CORNER *e : expected) {
        EXPECT_EQ(out.corners[n].position.x, e->position.x);
        EXPECT_EQ(out.corners[n].position.y, e->position.y);
        EXPECT_EQ(out.corners[n].position.z, e->position.z);
        EXPECT_EQ(out.corners[n].s, e->s);
        n++;
      }
    }
  OWNED_TENTACLE lone({{1, 2, 3}});
  QUAD_RECORDER none;
  TentacleTube(lone.tentacle, none);
  EXPECT_TRUE(none.corners.empty());
  TUBE_CORNER tip[4];
  TentacleRing(lone.tentacle, 0, tip);  // a lone point is its own tip
  ExpectVector(tip[2].position, 1, 2, 3, "lone tip");
}

TEST(TackleUpdate, DriftsUntilTheTimeRunsOutThenRetargetsWithoutMoving) {
  OWNED_TENTACLE t({{0, 0, 0}, {1, 2, 3}, {4, 5, 6}});
  t.velocity = {{0, 0, 0}, {1, 1, 1}, {-2, 0, 2}};
  t.tentacle.velocity = t.velocity.data();
  TACKLE tackle = {};
  tackle.tentacleCount = 1;
  tackle.pointCount = 3;
  tackle.tentacles = &t.tentacle;

  t.tentacle.timeLeft = 10;
  TackleUpdate(&tackle, 2);
  EXPECT_EQ(t.tentacle.timeLeft, 8);
  ExpectVector(t.points[1], 3, 4, 5, "moved by velocity * dt");
  ExpectVector(t.points[2], 0, 5, 10, "moved by velocity * dt");

  srand(9);
  t.tentacle.timeLeft = 0.5f;
  const std::vector<VECTOR3> before = t.points;
  TackleUpdate(&tackle, 1);
  for (int k = 0; k < 3; k++) ExpectVector(t.points[k], before[k].x, before[k].y, before[k].z, "no move");
  EXPECT_GE(t.tentacle.timeLeft, 16.5f - 0.01f);
  EXPECT_LE(t.tentacle.timeLeft, 49.5f);
  // The new speeds reach the target shape exactly when the time runs out: its root is the origin and
  // point k lies near k/3 of the way to a point 400 units out.
  const float time = t.tentacle.timeLeft;
  const VECTOR3 root = {t.points[0].x + t.velocity[0].x * time, t.points[0].y + t.velocity[0].y * time,
                        t.points[0].z + t.velocity[0].z * time};
  ExpectVector(root, 0, 0, 0, "target root");
  for (int k = 1; k < 3; k++) {
    const VECTOR3 target = {t.points[k].x + t.velocity[k].x * time, t.points[k].y + t.velocity[k].y * time,
                            t.points[k].z + t.velocity[k].z * time};
    EXPECT_NEAR(Length(target), 400.0f * k / 3, 30 * sqrtf(3) + 0.01f);
  }
  // dt = 0 keeps everything; a large step retargets.
  const float kept = t.tentacle.timeLeft;
  TackleUpdate(&tackle, 0);
  EXPECT_EQ(t.tentacle.timeLeft, kept);
}

TEST(Tackle, CreationRunsTheBundleIntoRegularShapes) {
  srand(1234);
  const int64_t before = AllocTotal();
  TACKLE *tackle = TackleCreate(nullptr, 32, 10);
  EXPECT_EQ(tackle->pointCount, 32);
  EXPECT_EQ(tackle->tentacleCount, 10);
  EXPECT_EQ(tackle->lights, nullptr);
  ExpectVector(tackle->eye, 100, 100, 100, "eye");
  ExpectVector(tackle->centre, 0, 0, 0, "centre");
  ExpectVector(tackle->up, 0, 0, 1, "up");
  EXPECT_EQ(tackle->fov, 45);
  EXPECT_EQ(tackle->zNear, 1);
  EXPECT_EQ(tackle->zFar, 5000);
  for (int i = 0; i < 10; i++) {
    const TENTACLE &t = tackle->tentacles[i];
    EXPECT_EQ(t.pointCount, 32);
    EXPECT_GT(t.timeLeft, 0);
    EXPECT_LE(t.timeLeft, 49.5f);
    ExpectVector(t.points[0], 0, 0, 0, "root");
    // Between two regular shapes: within the wobble of the line out to 400 k / 32.
    for (int k = 1; k < 32; k++) EXPECT_LE(Length(t.points[k]), 400.0f * k / 32 + 30 * sqrtf(3) + 0.01f);
  }
  // Two calls with the same seed make the same bundle.
  srand(1234);
  TACKLE *again = TackleCreate(nullptr, 32, 10);
  EXPECT_EQ(again->tentacles[7].points[20].x, tackle->tentacles[7].points[20].x);
  EXPECT_EQ(AllocTotal(), before + 2 * (int64_t)(sizeof(TACKLE) + 10 * sizeof(TENTACLE) + 10 * 2 * 32 * 12));
  TackleDestroy(again);
  TackleDestroy(tackle);
  EXPECT_EQ(AllocTotal(), before);
}

TEST(Tackle, LightsAreAppendedInOrderAndFreedWithTheObject) {
  const int64_t before = AllocTotal();
  TACKLE *tackle = TackleCreate(nullptr, 4, 2);
  LIGHT *first = (LIGHT *)TrackedAlloc(sizeof(LIGHT), __LINE__, "tackle_test");
  LIGHT *second = (LIGHT *)TrackedAlloc(sizeof(LIGHT), __LINE__, "tackle_test");
  LIGHT *third = (LIGHT *)TrackedAlloc(sizeof(LIGHT), __LINE__, "tackle_test");
  TackleAddLight(tackle, first);
  EXPECT_EQ(tackle->lights, first);
  TackleAddLight(tackle, second);
  TackleAddLight(tackle, third);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(second->next, third);
  EXPECT_EQ(third->next, nullptr);
  TackleDestroy(tackle);
  EXPECT_EQ(AllocTotal(), before);
}

}  // namespace
