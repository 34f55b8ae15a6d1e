#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "geometry/mx_knot.h"
#include "geometry_reference.h"
#include "testkit.h"

namespace {

void ExpectSameAsReference(MX_TORUS_KNOT &knot) {
  reference::KNOT_MESH mesh;
  reference::GenerateKnot(knot, mesh);
  ASSERT_EQ(knot.VertexCount, mesh.vertices.size());
  ASSERT_EQ(knot.TriangleCount * 3, mesh.triangles.size());
  EXPECT_EQ(0, memcmp(knot.Vertices, mesh.vertices.data(), sizeof(VECTOR3) * knot.VertexCount));
  EXPECT_EQ(0, memcmp(knot.Normals, mesh.normals.data(), sizeof(VECTOR3) * knot.VertexCount));
  EXPECT_EQ(0, memcmp(knot.TexCoords, mesh.tex.data(), sizeof(float) * 3 * knot.VertexCount));
  EXPECT_EQ(0, memcmp(knot.Triangles, mesh.triangles.data(), sizeof(uint32_t) * 3 * knot.TriangleCount));
}

TEST(MxTorusKnot, ConstructorDefaults) {
  MX_TORUS_KNOT knot;
  EXPECT_EQ(knot.Vertices, nullptr);
  EXPECT_EQ(knot.Triangles, nullptr);
  EXPECT_EQ(knot.TexCoords, nullptr);
  EXPECT_EQ(knot.Normals, nullptr);
  EXPECT_EQ(knot.TriangleCount, 0u);
  EXPECT_EQ(knot.VertexCount, 0u);
  EXPECT_EQ(knot.CurveRadius, 20.0f);
  EXPECT_EQ(knot.TubeRadius, 7.0f);
  EXPECT_EQ(knot.BulgePhase, 0.0f);
  EXPECT_EQ(knot.Twist, 25.0f);
  EXPECT_EQ(knot.Segments, 120);
  EXPECT_EQ(knot.Sides, 16);
  EXPECT_EQ(knot.CurveType, 2);
  EXPECT_EQ(knot.P, 1.0f);
  EXPECT_EQ(knot.Q, 4.0f);
  EXPECT_EQ(knot.EllipseRatio, 1.0f);
  EXPECT_EQ(knot.Bulges, 9);
  EXPECT_EQ(knot.BulgeDepth, 0.666f);
  EXPECT_EQ(knot.WaveDepth, 0.0f);
  EXPECT_EQ(knot.WaveCount, 0.0f);
}

TEST(MxTorusKnot, ClosedKnotJoinsItsLastRingToRingZero) {
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  ASSERT_EQ(knot.VertexCount, 1920u);
  ASSERT_EQ(knot.TriangleCount, 3840u);
  for (uint32_t k = 0; k < 16; k++) {
    const uint32_t K = 119 * 16 + k, Kn = k == 15 ? 119 * 16 : K + 1;
    const uint32_t *first = knot.Triangles[2 * K], *second = knot.Triangles[2 * K + 1];
    EXPECT_EQ(first[0], K);
    EXPECT_EQ(first[1], k);  // same side of ring 0
    EXPECT_EQ(first[2], Kn + k - K);
    EXPECT_LT(first[2], 16u);
    EXPECT_EQ(second[0], K);
    EXPECT_EQ(second[1], first[2]);
    EXPECT_EQ(second[2], Kn);
  }
  // A band inside the tube: the next ring is 16 vertices on; the tube's seam reuses side 0.
  const uint32_t *t = knot.Triangles[2 * (3 * 16 + 15)];
  EXPECT_EQ(t[0], 3u * 16 + 15);
  EXPECT_EQ(t[1], 4u * 16 + 15);
  EXPECT_EQ(t[2], 4u * 16);
  ExpectSameAsReference(knot);
  knot.Release();
}

TEST(MxTorusKnot, FractionalTurnsLeaveTheCurveOpen) {
  MX_TORUS_KNOT knot;
  knot.P = 1.5f;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 1936u);
  EXPECT_EQ(knot.TriangleCount, 3840u);
  EXPECT_NEAR(knot.TexCoords[120 * 16][0], 4.0f, 1e-4f);
  EXPECT_EQ(knot.TexCoords[120 * 16 + 5][1], knot.TexCoords[5][1]);
  // The last band reaches ring 120 instead of wrapping.
  EXPECT_EQ(knot.Triangles[2 * (119 * 16)][1], 120u * 16);
  ExpectSameAsReference(knot);
  knot.Release();
}

TEST(MxTorusKnot, WavyCircleAndItsClosureRule) {
  MX_TORUS_KNOT knot;
  knot.TubeRadius = 0;  // every vertex on the centre curve
  knot.WaveDepth = 0;
  for (int type : {0, 1}) {
    knot.CurveType = type;
    knot.Generate();
    EXPECT_EQ(knot.VertexCount, 1920u);
    for (uint32_t i = 0; i < knot.VertexCount; i++) {
      const VECTOR3 &v = knot.Vertices[i];
      ASSERT_NEAR(sqrtf(v.x * v.x + v.y * v.y), 20.0f, 1e-4f);
      ASSERT_EQ(v.z, 0.0f);
    }
  }
  knot.TubeRadius = 7;
  knot.WaveCount = 2.5f;
  knot.CurveType = 1;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 121u * 16);
  ExpectSameAsReference(knot);
  knot.CurveType = 0;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 120u * 16);
  ExpectSameAsReference(knot);
  // P and Q still count for the wavy circle.
  knot.Q = 4.5f;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 121u * 16);
  knot.Release();
}

TEST(MxTorusKnot, MatchesTheDirectEvaluationAcrossShapes) {
  MX_TORUS_KNOT knot;
  knot.P = 2;
  knot.Q = 3;
  knot.Twist = 20.5f;
  knot.BulgePhase = 1.25f;
  knot.EllipseRatio = 1.7f;
  knot.Segments = 77;
  knot.Sides = 9;
  knot.Generate();
  ExpectSameAsReference(knot);
  knot.CurveType = 1;
  knot.WaveDepth = 0.4f;
  knot.WaveCount = 3;
  knot.Sides = 200;
  knot.Segments = 4;
  knot.Generate();
  ExpectSameAsReference(knot);
  knot.Release();
}

TEST(MxTorusKnot, RegenerationReusesStorageAndGivesTheSameMesh) {
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  const VECTOR3 *vertices = knot.Vertices;
  const VECTOR3 *normals = knot.Normals;
  std::vector<VECTOR3> first(knot.Normals, knot.Normals + knot.VertexCount);
  const int64_t before = AllocTotal();
  knot.Generate();
  EXPECT_EQ(AllocTotal(), before);
  EXPECT_EQ(knot.Vertices, vertices);
  EXPECT_EQ(knot.Normals, normals);
  EXPECT_EQ(0, memcmp(first.data(), knot.Normals, sizeof(VECTOR3) * knot.VertexCount));
  // Same counts from another segment/side split must still rebuild the triangles.
  knot.Segments = 80;
  knot.Sides = 24;
  knot.Generate();
  EXPECT_EQ(knot.VertexCount, 1920u);
  ExpectSameAsReference(knot);
  knot.Release();
  EXPECT_EQ(knot.Vertices, nullptr);
  EXPECT_EQ(knot.Normals, nullptr);
  EXPECT_EQ(knot.VertexCount, 0u);
  EXPECT_EQ(knot.TriangleCount, 0u);
  EXPECT_EQ(knot.Sides, 24);
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

TEST(MxTorusKnot, RangeLimitsAreAccepted) {
  MX_TORUS_KNOT knot;
  const int cases[][2] = {{4, 16}, {1000, 16}, {120, 3}, {120, 200}};
  for (const auto &c : cases) {
    knot.Segments = c[0];
    knot.Sides = c[1];
    knot.Generate();
    EXPECT_EQ(knot.TriangleCount, 2u * c[0] * c[1]);
  }
  knot.CurveRadius = 0;
  knot.TubeRadius = 0;
  knot.Generate();
  knot.Release();
}

TEST(MxTorusKnot, OutOfRangeParametersEndTheProgram) {
  ScopedTempDir dir;
  struct Case {
    const char *name;
    float curve, tube;
    int segments, sides;
  };
  const Case cases[] = {{"segments 3", 20, 7, 3, 16},    {"segments 1001", 20, 7, 1001, 16},
                        {"sides 2", 20, 7, 120, 2},      {"sides 201", 20, 7, 120, 201},
                        {"curve -0.1", -0.1f, 7, 120, 16}, {"tube -0.1", 20, -0.1f, 120, 16}};
  for (const Case &c : cases) {
    ChildResult child = RunChild([&] {
      MX_TORUS_KNOT knot;
      knot.CurveRadius = c.curve;
      knot.TubeRadius = c.tube;
      knot.Segments = c.segments;
      knot.Sides = c.sides;
      knot.Generate();
    });
    EXPECT_TRUE(child.exited) << c.name;
    EXPECT_EQ(child.exitCode, 0) << c.name;
    EXPECT_EQ(child.err, "ERROR: MX_TORUS_KNOT:: Invalid paras range !\n") << c.name;
    EXPECT_NE(child.out.find("\n PROGRAM: -- ERROR: at mx_knot "), std::string::npos) << c.name;
    EXPECT_NE(child.out.find(" : MX_TORUS_KNOT:: Invalid paras range ! "), std::string::npos) << c.name;
  }
}

TEST(MxTorusKnot, DrawBeforeGenerateEndsTheProgram) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    MX_TORUS_KNOT knot;
    knot.Draw();
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: MX_TORUS_KNOT::Generate first !\n");
  EXPECT_NE(child.out.find(" : MX_TORUS_KNOT::Generate first ! "), std::string::npos);
  EXPECT_NE(ReadWholeFile("program.log").find("ERROR: at mx_knot "), std::string::npos);
}

}  // namespace
