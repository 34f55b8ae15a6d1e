#include "effects/tackle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

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

TEST(TentacleTube, RingsTaperFromThirtyAroundTheAxisCasesAndQuadsGoRingByRing) {
  // A straight tentacle along (0, 1, 1): unit side vectors, so each corner lies its ring's radius away:
  // 30 at the root, 29.375 down to 11.25, the tip on its point.
  std::vector<VECTOR3> points;
  for (int k = 0; k < 32; k++) points.push_back({5, 10.0f * k, 10.0f * k});
  OWNED_TENTACLE t(points);
  TUBE_CORNER ring[4];
  for (int k = 0; k < 32; k++) {
    TentacleRing(t.tentacle, k, ring);
    for (int i = k ? 0 : 1; i < (k ? 4 : 2); i++)
      EXPECT_NEAR(Distance(ring[i].position, points[k]), k == 0 ? 30 : k == 31 ? 0 : 29.375f - 0.625f * (k - 1), 1e-4f)
          << "ring " << k;
  }
  // Side vectors when the tangent lies on an axis, the texture coordinates from the corner's direction.
  const struct {
    VECTOR3 next, u, w;  // p[1] - p[0] is minus the tangent of ring 0
  } cases[] = {
      {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}},                    // tangent +x
      {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},                      // tangent -x
      {{0, 0, -1}, {0, 0, 1}, {0, 0, 0}},                     // tangent +z: the ring collapses
      {{-0.8f, -0.6f, 0}, {0, 0, 0.6f}, {0.36f, -0.48f, 0}},  // u = (0, -t.z, t.y) is not normalised
  };
  for (const auto &c : cases) {
    OWNED_TENTACLE side({{0, 0, 0}, {c.next.x * 50, c.next.y * 50, c.next.z * 50}, {0, 0, 0}});
    TentacleRing(side.tentacle, 0, ring);
    // Corners p + R w, p + R u, p - R w, p - R u.
    const VECTOR3 expected[4] = {{30 * c.w.x, 30 * c.w.y, 30 * c.w.z}, {30 * c.u.x, 30 * c.u.y, 30 * c.u.z},
                                 {-30 * c.w.x, -30 * c.w.y, -30 * c.w.z}, {-30 * c.u.x, -30 * c.u.y, -30 * c.u.z}};
    for (int i = 0; i < 4; i++) {
      EXPECT_NEAR(Distance(ring[i].position, expected[i]), 0, 1e-4f) << "corner " << i << " of " << c.next.x;
      const float length = Distance(ring[i].position);
      EXPECT_NEAR(ring[i].s, length ? ring[i].position.x / length : 0, 1e-6f);
      EXPECT_NEAR(ring[i].t, length ? ring[i].position.y / length : 0, 1e-6f);
    }
  }
  // Quads ring by ring, side by side: ring k corner i, ring k + 1 corner i, then corner i + 1 of both.
  struct RECORDER {
    std::vector<TUBE_CORNER> corners;
    void Vertex(const TUBE_CORNER &c) { corners.push_back(c); }
  } out, none;
  TentacleTube(t.tentacle, out);
  ASSERT_EQ(out.corners.size(), 31u * 4 * 4);
  for (size_t q = 0; q < out.corners.size(); q += 4) {
    const size_t k = q / 16, i = q / 4 % 4;
    for (size_t c = 0; c < 4; c++) {
      TentacleRing(t.tentacle, (int32_t)(k + (c == 1 || c == 2)), ring);
      EXPECT_NEAR(Distance(out.corners[q + c].position, ring[(i + (c >= 2)) % 4].position), 0, 1e-5f) << q + c;
    }
  }
  OWNED_TENTACLE lone({{1, 2, 3}});
  TentacleTube(lone.tentacle, none);
  EXPECT_TRUE(none.corners.empty());
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
  EXPECT_NEAR(Distance(t.points[1], {3, 4, 5}) + Distance(t.points[2], {0, 5, 10}), 0, 1e-5f) << "velocity x dt";
  srand(9);
  t.tentacle.timeLeft = 0.5f;
  const std::vector<VECTOR3> before = t.points;
  TackleUpdate(&tackle, 1);
  for (int k = 0; k < 3; k++) EXPECT_EQ(Distance(t.points[k], before[k]), 0) << "no move";
  const float time = t.tentacle.timeLeft;
  EXPECT_TRUE(time >= 16.5f - 0.01f && time <= 49.5f) << time;
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
  // Between two regular shapes: the root at the origin, within the wobble of the line out to 400 k / 32.
  for (int i = 0; i < 10; i++)
    for (int k = 0; k < 32; k++)
      EXPECT_LE(Distance(tackle->tentacles[i].points[k]), k ? 400.0f * k / 32 + 30 * sqrtf(3) + 0.01f : 0) << i << " " << k;
  LIGHT *lights[3];
  for (LIGHT *&light : lights)
    TackleAddLight(tackle, light = (LIGHT *)TrackedAlloc(sizeof(LIGHT), __LINE__, "tackle_test"));
  EXPECT_TRUE(tackle->lights == lights[0] && lights[0]->next == lights[1] && lights[1]->next == lights[2] &&
              lights[2]->next == nullptr);
  TackleDestroy(tackle);
  EXPECT_EQ(AllocTotal(), before);
}

}  // namespace
