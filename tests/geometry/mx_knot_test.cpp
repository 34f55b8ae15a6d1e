// The knot's mesh held to what a tube is: hand-computed points of the centre curve, the bulges, the
// ellipse and the twist; every vertex at the tube's radius from its ring's centre, across the curve; a
// surface closed (or open at its two ends) and wound outwards.
#include "geometry/mx_knot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "testkit.h"

namespace {

VECTOR3 Minus(const VECTOR3 &a, const VECTOR3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const VECTOR3 &a, const VECTOR3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(const VECTOR3 &a) { return sqrtf(Dot(a, a)); }

// The mean of a ring's vertices: the sides are spread evenly round the ellipse, so it is the curve point.
VECTOR3 RingCentre(const MX_TORUS_KNOT &k, uint32_t ring) {
  VECTOR3 c = {0, 0, 0};
  for (int j = 0; j < k.Sides; j++) {
    const VECTOR3 &v = k.Vertices[ring * k.Sides + j];
    c = {c.x + v.x / k.Sides, c.y + v.y / k.Sides, c.z + v.z / k.Sides};
  }
  return c;
}

TEST(MxTorusKnot, EveryShapeIsATubeOfItsRadiusAcrossTheCurveClosedOrOpenAsItsNumbersSay) {
  struct Shape {
    const char *what;
    int type;
    float p, q, waveCount;
    int segments, sides;
    uint32_t rings;
  };
  // WaveCount only counts for the wavy circle of type 1; P and Q count for every type. The last two shapes
  // are the extreme accepted splits.
  const Shape shapes[] = {
      {"closed knot", 2, 1, 5, 0, 120, 16, 120},           {"P 1.5", 2, 1.5f, 4, 0, 120, 16, 121},
      {"type 1, 2.5 waves", 1, 1, 4, 2.5f, 120, 16, 121},  {"type 0, 2.5 waves", 0, 1, 4, 2.5f, 120, 16, 120},
      {"type 0, Q 4.5", 0, 1, 4.5f, 2.5f, 120, 16, 121},   {"knot 2, 3", 2, 2, 3, 0, 77, 9, 77},
      {"type 1, 3 waves, 4 x 200", 1, 1, 4, 3, 4, 200, 4}, {"1000 x 3", 2, 1, 4, 0, 1000, 3, 1000}};
  MX_TORUS_KNOT knot;
  knot.Twist = 20.5f, knot.BulgeDepth = 0, knot.WaveDepth = 0.4f;
  for (const Shape &s : shapes) {
    SCOPED_TRACE(s.what);
    knot.CurveType = s.type, knot.P = s.p, knot.Q = s.q, knot.WaveCount = s.waveCount;
    knot.Segments = s.segments, knot.Sides = s.sides;
    knot.Generate();
    ASSERT_EQ(knot.VertexCount, s.rings * s.sides);
    ASSERT_EQ(knot.TriangleCount, 2u * s.segments * s.sides);
    for (uint32_t ring = 1; ring + 1 < s.rings; ring++) {
      const VECTOR3 centre = RingCentre(knot, ring);
      const VECTOR3 along = Minus(RingCentre(knot, ring + 1), RingCentre(knot, ring - 1));
      for (int j = 0; j < s.sides; j++) {
        const VECTOR3 out = Minus(knot.Vertices[ring * s.sides + j], centre);
        ASSERT_NEAR(Length(out), 7.0f, 0.01f) << "ring " << ring << " side " << j;
        // Across the chord between the neighbouring rings, which is the tangent where the rings lie close.
        if (s.segments < 77) continue;
        ASSERT_LT(fabsf(Dot(out, along)) / (7 * Length(along)), 0.06f) << "ring " << ring;
      }
    }
    // Every edge of a closed tube joins two triangles that run along it in opposite directions (so the last
    // ring joins the first); an open one has one side's worth at each end that only one triangle uses.
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (uint32_t f = 0; f < knot.TriangleCount; f++)
      for (int c = 0; c < 3; c++) directed[{knot.Triangles[f][c], knot.Triangles[f][(c + 1) % 3]}]++;
    int once = 0;
    for (const auto &[edge, count] : directed) {
      ASSERT_EQ(count, 1);
      once += directed.count({edge.second, edge.first}) == 0;
    }
    EXPECT_EQ(once, s.rings == (uint32_t)s.segments ? 0 : 2 * s.sides);
    // The texture goes round four times along the whole curve: an open one's last ring is at 4.
    EXPECT_NEAR(knot.TexCoords[(s.rings - 1) * s.sides][0], 4.0f * (s.rings - 1) / s.segments, 1e-3f);
  }
  knot.Release();
}

TEST(MxTorusKnot, HandComputedPointsOfTheCurveTheBulgesTheEllipseTheTwistAndTheTexture) {
  // The default knot: C(u) = 40 / (2.2 - sin 4u) (cos u, sin u, cos 4u), 120 rings of 16 sides, tube 7
  // bulging to 7 x 1.666 where cos(4u) is -1.
  const float s = 40 / 2.2f, h = s * 0.70710678f;
  const struct {
    uint32_t ring;
    VECTOR3 centre;
    float radius;  // of the ring's side 3
  } centres[] = {{0, {s, 0, s}, 7},
                 {30, {0, s, s}, 7},
                 {15, {h, h, -s}, 7 * 1.666f},
                 {5, {28.963845f, 7.7608388f, 14.992789f}, 7 * 1.1665f}};
  MX_TORUS_KNOT knot;
  knot.Bulges = 4;
  knot.Generate();
  for (const auto &c : centres) {
    const VECTOR3 centre = RingCentre(knot, c.ring);
    EXPECT_NEAR(Length(Minus(centre, c.centre)), 0, 2e-3f) << "ring " << c.ring;
    EXPECT_NEAR(Length(Minus(knot.Vertices[c.ring * 16 + 3], centre)), c.radius, 2e-3f) << "ring " << c.ring;
  }
  EXPECT_NEAR(knot.TexCoords[60 * 16 + 4][0], 2.0f, 1e-5f);
  EXPECT_NEAR(knot.TexCoords[60 * 16 + 4][1], 0.5f, 1e-6f);
  // An ellipse 1.7 times wider than the tube and 1.7 times lower: side 0 lies on the short axis.
  knot.BulgeDepth = 0, knot.EllipseRatio = 1.7f;
  knot.Generate();
  EXPECT_NEAR(Length(Minus(knot.Vertices[30 * 16], RingCentre(knot, 30))), 7 / 1.7f, 2e-3f);
  EXPECT_NEAR(Length(Minus(knot.Vertices[30 * 16 + 4], RingCentre(knot, 30))), 7 * 1.7f, 2e-3f);
  // A plain circle of radius 20 in the xy plane turning its section by 3u: the frame's normal is -z and
  // its binormal points away from the centre, so side 0 starts at z = -7 and turns inwards and over.
  const struct {
    uint32_t ring, side;
    VECTOR3 at;
  } vertices[] = {{0, 0, {20, 0, -7}},
                  {10, 0, {11.25833f, 6.5f, 0}},
                  {10, 4, {17.320508f, 10, -7}},
                  {20, 0, {10, 17.320508f, 7}}};
  knot.CurveType = 1, knot.Twist = 3, knot.EllipseRatio = 1;
  knot.Generate();
  for (const auto &v : vertices)
    EXPECT_NEAR(Length(Minus(knot.Vertices[v.ring * 16 + v.side], v.at)), 0, 2e-3f) << v.ring << " " << v.side;
  knot.Release();
}

TEST(MxTorusKnot, NormalsAreUnitAndPointOutOfTheTubeSoTheTrianglesWindOutwards) {
  MX_TORUS_KNOT knot;
  knot.Twist = 3, knot.BulgeDepth = 0;
  for (int type : {1, 2}) {
    knot.CurveType = type;
    knot.Generate();
    for (uint32_t i = 0; i < knot.VertexCount; i++) {
      const VECTOR3 &n = knot.Normals[i], out = Minus(knot.Vertices[i], RingCentre(knot, i / 16));
      ASSERT_NEAR(Length(n), 1.0f, 0.005f);
      ASSERT_GT(Dot(out, n) / Length(out), 0.9f) << "type " << type << " vertex " << i;
    }
  }
  knot.Release();
}

TEST(MxTorusKnot, RegenerationReusesStorageAndGivesTheSameMeshAsAFreshKnot) {
  MX_TORUS_KNOT knot, fresh;
  knot.Generate();
  const VECTOR3 *vertices = knot.Vertices;
  const int64_t before = AllocTotal();
  // Same counts from another segment/side split: the triangles must be rebuilt, the normals not summed on.
  for (int split : {0, 1}) {
    knot.Segments = fresh.Segments = split ? 80 : 120;
    knot.Sides = fresh.Sides = split ? 24 : 16;
    knot.Generate();
    fresh.Generate();
    EXPECT_EQ(knot.Vertices, vertices);
    EXPECT_EQ(0, memcmp(knot.Vertices, fresh.Vertices, sizeof(VECTOR3) * 1920));
    EXPECT_EQ(0, memcmp(knot.Normals, fresh.Normals, sizeof(VECTOR3) * 1920));
    EXPECT_EQ(0, memcmp(knot.TexCoords, fresh.TexCoords, sizeof(float) * 3 * 1920));
    EXPECT_EQ(0, memcmp(knot.Triangles, fresh.Triangles, sizeof(uint32_t) * 3 * 3840));
    fresh.Release();
  }
  EXPECT_EQ(AllocTotal(), before);
  knot.Release();
  EXPECT_EQ(knot.Vertices, nullptr);
  EXPECT_EQ(knot.VertexCount + knot.TriangleCount, 0u);
  EXPECT_EQ(AllocTotal(), before - (int64_t)(1920 * 12 * 3 + 3840 * 12));
}

TEST(MxTorusKnot, OutOfRangeParametersAndDrawingFirstEndTheProgram) {
  MX_TORUS_KNOT knot;
  knot.CurveRadius = knot.TubeRadius = 0;  // accepted
  knot.Generate();
  knot.Release();
  ScopedTempDir dir;
  // segments 3 and 1001, sides 2 and 201, curve radius -0.1, tube radius -0.1
  const float cases[][4] = {{3, 16, 20, 7},    {1001, 16, 20, 7},   {120, 2, 20, 7},
                            {120, 201, 20, 7}, {120, 16, -0.1f, 7}, {120, 16, 20, -0.1f}};
  for (const auto &c : cases)
    ExpectFatal(
        [&] {
          MX_TORUS_KNOT bad;
          bad.Segments = (int)c[0], bad.Sides = (int)c[1], bad.CurveRadius = c[2], bad.TubeRadius = c[3];
          bad.Generate();
        },
        "mx_knot", "MX_TORUS_KNOT:: Invalid paras range !", -1, "case " + std::to_string(&c - cases));
  ExpectFatal([] { MX_TORUS_KNOT().Draw(); }, "mx_knot", "MX_TORUS_KNOT::Generate first !");
}

TEST(MxTorusKnot, ACurveOfRadiusZeroCollapsesOntoItsPointWithoutNaN) {
  for (int type : {2, 1}) {
    MX_TORUS_KNOT knot;
    knot.CurveType = type;
    knot.CurveRadius = 0;
    knot.Generate();
    for (uint32_t i = 0; i < knot.VertexCount; i++) {
      const VECTOR3 &v = knot.Vertices[i], &n = knot.Normals[i];
      ASSERT_TRUE(v.x == 0 && v.y == 0 && v.z == 0) << "type " << type << " vertex " << i;
      ASSERT_TRUE(n.x == 0 && n.y == 0 && n.z == 0) << "type " << type << " normal " << i;
    }
    knot.Release();
  }
}

}  // namespace
