#include "geometry/mx_knot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "geometry_reference.h"
#include "testkit.h"

namespace {

void ExpectSameAsReference(MX_TORUS_KNOT &knot, const char *what) {
  reference::KNOT_MESH mesh;
  reference::GenerateKnot(knot, mesh);
  ASSERT_EQ(knot.VertexCount, mesh.vertices.size()) << what;
  ASSERT_EQ(knot.TriangleCount * 3, mesh.triangles.size()) << what;
  EXPECT_EQ(0, memcmp(knot.Vertices, mesh.vertices.data(), sizeof(VECTOR3) * knot.VertexCount)) << what;
  EXPECT_EQ(0, memcmp(knot.Normals, mesh.normals.data(), sizeof(VECTOR3) * knot.VertexCount)) << what;
  EXPECT_EQ(0, memcmp(knot.TexCoords, mesh.tex.data(), sizeof(float) * 3 * knot.VertexCount)) << what;
  EXPECT_EQ(0, memcmp(knot.Triangles, mesh.triangles.data(), sizeof(uint32_t) * 3 * knot.TriangleCount)) << what;
}

TEST(MxTorusKnot, ClosureRuleCountsAndTheDirectEvaluation) {
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
  knot.Twist = 20.5f;
  knot.BulgePhase = 1.25f;
  knot.EllipseRatio = 1.7f;
  knot.WaveDepth = 0.4f;
  for (const Shape &s : shapes) {
    knot.CurveType = s.type;
    knot.P = s.p;
    knot.Q = s.q;
    knot.WaveCount = s.waveCount;
    knot.Segments = s.segments;
    knot.Sides = s.sides;
    knot.Generate();
    EXPECT_EQ(knot.VertexCount, s.rings * s.sides) << s.what;
    EXPECT_EQ(knot.TriangleCount, 2u * s.segments * s.sides) << s.what;
    ExpectSameAsReference(knot, s.what);
  }
  knot.Release();
}

TEST(MxTorusKnot, Ring119JoinsRingZeroAndAnOpenCurveReachesRing120) {
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  for (uint32_t k = 0; k < 16; k++) {
    const uint32_t *first = knot.Triangles[2 * (119 * 16 + k)], *second = knot.Triangles[2 * (119 * 16 + k) + 1];
    EXPECT_EQ(first[1], k);  // same side of ring 0
    EXPECT_EQ(first[2], (k + 1) % 16);
    EXPECT_EQ(second[1], (k + 1) % 16);
  }
  knot.P = 1.5f;
  knot.Generate();
  EXPECT_NEAR(knot.TexCoords[120 * 16][0], 4.0f, 1e-4f);
  EXPECT_EQ(knot.Triangles[2 * (119 * 16)][1], 120u * 16);
  knot.Release();
}

TEST(MxTorusKnot, RegenerationReusesStorageAndGivesTheSameMesh) {
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  const VECTOR3 *vertices = knot.Vertices;
  std::vector<VECTOR3> first(knot.Normals, knot.Normals + knot.VertexCount);
  const int64_t before = AllocTotal();
  knot.Generate();
  EXPECT_EQ(AllocTotal(), before);
  EXPECT_EQ(knot.Vertices, vertices);
  EXPECT_EQ(0, memcmp(first.data(), knot.Normals, sizeof(VECTOR3) * knot.VertexCount));
  // Same counts from another segment/side split must still rebuild the triangles.
  knot.Segments = 80;
  knot.Sides = 24;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 1920u);
  ExpectSameAsReference(knot, "80 x 24");
  knot.Release();
  EXPECT_EQ(knot.Vertices, nullptr);
  EXPECT_EQ(knot.VertexCount + knot.TriangleCount, 0u);
  EXPECT_EQ(AllocTotal(), before - (int64_t)(1920 * 12 * 3 + 3840 * 12));
}

TEST(MxTorusKnot, NormalsAreUnitAndPointOutOfTheTube) {
  MX_TORUS_KNOT knot;
  knot.CurveType = 1;  // a plain torus of radius 20 around z, tube 7
  knot.BulgeDepth = 0;
  knot.Twist = 3;
  knot.Generate();
  for (uint32_t i = 0; i < knot.VertexCount; i++) {
    const VECTOR3 &v = knot.Vertices[i], &n = knot.Normals[i];
    ASSERT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 0.005f);
    const float ring = sqrtf(v.x * v.x + v.y * v.y);
    const VECTOR3 out = {v.x - 20 * v.x / ring, v.y - 20 * v.y / ring, v.z};
    ASSERT_GT((out.x * n.x + out.y * n.y + out.z * n.z) / 7.0f, 0.99f) << "vertex " << i;
  }
  knot.Release();
}

TEST(MxTorusKnot, OutOfRangeParametersAndDrawingFirstEndTheProgram) {
  MX_TORUS_KNOT knot;
  knot.CurveRadius = 0;  // accepted
  knot.TubeRadius = 0;
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
          bad.Segments = (int)c[0];
          bad.Sides = (int)c[1];
          bad.CurveRadius = c[2];
          bad.TubeRadius = c[3];
          bad.Generate();
        },
        "mx_knot", "MX_TORUS_KNOT:: Invalid paras range !", -1, "case " + std::to_string(&c - cases));
  ExpectFatal([] { MX_TORUS_KNOT().Draw(); }, "mx_knot", "MX_TORUS_KNOT::Generate first !");
  EXPECT_NE(ReadWholeFile("program.log").find("ERROR: at mx_knot "), std::string::npos);
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
