#include "effects/tackle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

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

float Distance(const VECTOR3 &a, const VECTOR3 &b = {0, 0, 0}) {
  return sqrtf((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

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
  EXPECT_NEAR(Distance(ring[1].position, points[0]), 30.0f, 1e-4f);
  for (int k = 1; k <= 30; k++) {  // 29.375 down to 11.25
    TentacleRing(t.tentacle, k, ring);
    for (int i = 0; i < 4; i++)
      EXPECT_NEAR(Distance(ring[i].position, points[k]), 29.375f - 0.625f * (k - 1), 1e-4f) << "ring " << k;
  }
  TentacleRing(t.tentacle, 31, ring);
  for (int i = 0; i < 4; i++) ExpectVector(ring[i].position, 5, 310, 310, "tip");
}

TEST(TentacleTube, SideVectorsForTheAxisCasesAndTexCoordsFromTheCornerDirection) {
  const struct {
    VECTOR3 next, u, w;  // p[1] - p[0] is minus the tangent of ring 0
  } cases[] = {
      {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},                    // tangent +x
      {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},                      // tangent -x
      {{0, 0, -1}, {0, 0, 1}, {0, 0, 0}},                     // tangent +z: the ring collapses
      {{-0.8f, -0.6f, 0}, {0, 0, 0.6f}, {0.36f, -0.48f, 0}},  // u = (0, -t.z, t.y) is not normalised
  };
  for (const auto &c : cases) {
    OWNED_TENTACLE t({{0, 0, 0}, {c.next.x * 50, c.next.y * 50, c.next.z * 50}, {0, 0, 0}});
    TUBE_CORNER ring[4];
    TentacleRing(t.tentacle, 0, ring);
    ExpectVector(ring[0].position, 30 * c.w.x, 30 * c.w.y, 30 * c.w.z, "c0 = p + R w");
    ExpectVector(ring[1].position, 30 * c.u.x, 30 * c.u.y, 30 * c.u.z, "c1 = p + R u");
    ExpectVector(ring[2].position, -30 * c.w.x, -30 * c.w.y, -30 * c.w.z, "c2 = p - R w");
    ExpectVector(ring[3].position, -30 * c.u.x, -30 * c.u.y, -30 * c.u.z, "c3 = p - R u");
  }
  OWNED_TENTACLE t({{3, 4, 0}, {3, 4, -10}, {0, 0, 0}});
  for (int k : {0, 2}) {  // ring 2 is the tip at the origin, whose direction is (0, 0)
    TUBE_CORNER ring[4];
    TentacleRing(t.tentacle, k, ring);
    for (const TUBE_CORNER &c : ring) {
      EXPECT_NEAR(c.s, k ? 0 : c.position.x / Distance(c.position), k ? 0 : 1e-6f);
      EXPECT_NEAR(c.t, k ? 0 : c.position.y / Distance(c.position), k ? 0 : 1e-6f);
    }
  }
}

TEST(TentacleTube, QuadsGoRingByRingSideBySideAndALonePointHasNone) {
  std::vector<VECTOR3> points;
  for (int k = 0; k < 5; k++) points.push_back({1, 7.0f * k, 3.0f * k + 2});
  OWNED_TENTACLE t(points);
  QUAD_RECORDER out;
  TentacleTube(t.tentacle, out);
  ASSERT_EQ(out.corners.size(), 4u * 4 * 4);
  TUBE_CORNER rings[5][4];
  for (int k = 0; k < 5; k++) TentacleRing(t.tentacle, k, rings[k]);
  const TUBE_CORNER *c = out.corners.data();
  for (int k = 0; k < 4; k++)
    for (int i = 0; i < 4; i++)
      for (const TUBE_CORNER &e : {rings[k][i], rings[k + 1][i], rings[k + 1][(i + 1) % 4], rings[k][(i + 1) % 4]})
        EXPECT_EQ(0, memcmp(c++, &e, sizeof e)) << "ring " << k << " side " << i;
  OWNED_TENTACLE lone({{1, 2, 3}});
  QUAD_RECORDER none;
  TentacleTube(lone.tentacle, none);
  EXPECT_TRUE(none.corners.empty());
  TentacleRing(lone.tentacle, 0, rings[0]);  // its own tip
  ExpectVector(rings[0][2].position, 1, 2, 3, "lone tip");
}

TEST(TackleUpdate, DriftsUntilTheTimeRunsOutThenRetargetsWithoutMoving) {
  OWNED_TENTACLE t({{0, 0, 0}, {1, 2, 3}, {4, 5, 6}});
  t.velocity = {{0, 0, 0}, {1, 1, 1}, {-2, 0, 2}};
  t.tentacle.velocity = t.velocity.data();
  TACKLE tackle = {};
  tackle.tentacleCount = 1;
  tackle.tentacles = &t.tentacle;
  TackleUpdate(&tackle, 2);
  EXPECT_EQ(t.tentacle.timeLeft, 8);
  ExpectVector(t.points[1], 3, 4, 5, "moved by velocity * dt");
  ExpectVector(t.points[2], 0, 5, 10, "moved by velocity * dt");

  srand(9);
  t.tentacle.timeLeft = 0.5f;
  const std::vector<VECTOR3> before = t.points;
  TackleUpdate(&tackle, 1);
  for (int k = 0; k < 3; k++) ExpectVector(t.points[k], before[k].x, before[k].y, before[k].z, "no move");
  const float time = t.tentacle.timeLeft;
  EXPECT_GE(time, 16.5f - 0.01f);
  EXPECT_LE(time, 49.5f);
  // The new speeds reach the target shape exactly when the time runs out: its root is the origin and
  // point k lies near k/3 of the way to a point 400 units out.
  for (int k = 0; k < 3; k++) {
    const VECTOR3 target = {t.points[k].x + t.velocity[k].x * time, t.points[k].y + t.velocity[k].y * time,
                            t.points[k].z + t.velocity[k].z * time};
    EXPECT_NEAR(Distance(target), 400.0f * k / 3, k ? 30 * sqrtf(3) + 0.01f : 1e-5f) << "point " << k;
  }
}

TEST(Tackle, CreationRunsTheBundleIntoRegularShapesAndDestructionFreesTheLights) {
  srand(1234);
  const int64_t before = AllocTotal();
  TACKLE *tackle = TackleCreate(nullptr, 32, 10);
  for (int i = 0; i < 10; i++) {
    const TENTACLE &t = tackle->tentacles[i];
    ExpectVector(t.points[0], 0, 0, 0, "root");
    // Between two regular shapes: within the wobble of the line out to 400 k / 32.
    for (int k = 1; k < 32; k++) EXPECT_LE(Distance(t.points[k]), 400.0f * k / 32 + 30 * sqrtf(3) + 0.01f);
  }
  LIGHT *lights[3];
  for (LIGHT *&light : lights) {
    light = (LIGHT *)TrackedAlloc(sizeof(LIGHT), __LINE__, "tackle_test");
    TackleAddLight(tackle, light);
  }
  EXPECT_EQ(tackle->lights, lights[0]);
  EXPECT_EQ(lights[0]->next, lights[1]);
  EXPECT_EQ(lights[1]->next, lights[2]);
  EXPECT_EQ(lights[2]->next, nullptr);
  TackleDestroy(tackle);
  EXPECT_EQ(AllocTotal(), before);
}

}  // namespace
