#include "geometry/metaball.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "geometry_reference.h"

namespace {

// Everything the polygoniser emits, cell by cell, checking the emitter protocol on the way.
struct RECORDER {
  std::vector<VECTOR3> vertices;
  std::vector<size_t> cellStarts;
  int open = 0;
  void BeginCell() {
    EXPECT_EQ(open++, 0);
    cellStarts.push_back(vertices.size());
  }
  void Vertex(const VECTOR3 &v) {
    EXPECT_EQ(open, 1);
    vertices.push_back(v);
  }
  void EndCell() {
    EXPECT_EQ(open--, 1);
    EXPECT_EQ((vertices.size() - cellStarts.back()) % 3, 0u);
    EXPECT_GT(vertices.size(), cellStarts.back());
  }
};

METABALLS *MakeBalls(std::initializer_list<METABALL> balls) {
  METABALLS *m = new (__LINE__, "metaball_test") METABALLS((uint32_t)balls.size());
  std::copy(balls.begin(), balls.end(), m->Balls);
  m->ComputeField();
  return m;
}

float Sample(const METABALLS &m, int x, int y, int z) { return m.Field[(x + 16) * 1024 + (y + 16) * 32 + z + 16]; }

// The surface welded into a mesh whose vertices are identified by the grid edge they lie on (neighbouring
// cells interpolate a shared edge from either end, so positions may differ in the last bit), with its
// edges that only one triangle uses, its Euler characteristic and its signed volume.
struct SURFACE {
  std::vector<VECTOR3> positions;
  std::vector<std::pair<int, int>> openEdges;
  int triangles = 0, cornerHits = 0, edgesUsedMoreThanTwice = 0, repeatedDirectedEdges = 0, euler = 0;
  double volume = 0;
};

SURFACE Analyse(const METABALLS &m) {
  RECORDER out;
  m.Polygonise(out);
  SURFACE s;
  std::map<std::tuple<int, int, int, int>, int> ids;
  std::map<std::pair<int, int>, int> directed, undirected;
  for (size_t i = 0; i < out.vertices.size(); i += 3, s.triangles++) {
    int t[3];
    for (int k = 0; k < 3; k++) {
      const float c[3] = {out.vertices[i + k].x, out.vertices[i + k].y, out.vertices[i + k].z};
      int axis = -1, cell[3];
      for (int a = 0; a < 3; a++) {
        cell[a] = (int)floorf(c[a] / 6.0f);
        if (c[a] / 6.0f != floorf(c[a] / 6.0f)) axis = a;
      }
      s.cornerHits += axis < 0;
      auto found = ids.emplace(std::make_tuple(axis, cell[0], cell[1], cell[2]), (int)s.positions.size());
      if (found.second) s.positions.push_back(out.vertices[i + k]);
      t[k] = found.first->second;
    }
    for (int k = 0; k < 3; k++) {
      const int a = t[k], b = t[(k + 1) % 3];
      s.repeatedDirectedEdges += ++directed[{a, b}] > 1;  // neighbours disagree on their winding
      undirected[{std::min(a, b), std::max(a, b)}]++;
    }
    const VECTOR3 &a = s.positions[t[0]], &b = s.positions[t[1]], &c = s.positions[t[2]];
    s.volume += (a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x)) / 6.0;
  }
  for (const auto &e : undirected) {
    if (e.second == 1) s.openEdges.push_back(e.first);
    s.edgesUsedMoreThanTwice += e.second > 2;
  }
  s.euler = (int)s.positions.size() - (int)undirected.size() + s.triangles;
  return s;
}

TEST(MetaballTables, EdgeTableFollowsTheNumbering) {
  for (int cube = 0; cube < 256; cube++) {
    int edges = 0;
    for (int e = 0; e < 12; e++)
      if (((cube >> gMetaballEdgeCorners[e][0]) ^ (cube >> gMetaballEdgeCorners[e][1])) & 1) edges |= 1 << e;
    EXPECT_EQ(gMetaballEdgeTable[cube], edges) << "case " << cube;
  }
  EXPECT_EQ(gMetaballEdgeTable[1], 0x109);
  EXPECT_EQ(gMetaballEdgeTable[2], 0x203);
  EXPECT_EQ(gMetaballEdgeTable[0x0f], 0xf00);  // bottom face below: the four vertical edges
}

TEST(MetaballTables, TriangleTableHoldsTheQuotedRowsAnd820TrianglesOnTheRightEdges) {
  auto row = [](int cube) {
    std::vector<int> r;
    for (int i = 0; i < 16 && gMetaballTriangleTable[cube][i] != -1; i++) r.push_back(gMetaballTriangleTable[cube][i]);
    return r;
  };
  auto edges = [&](int cube) {
    int used = 0;
    for (int e : row(cube)) used |= 1 << e;
    return used;
  };
  EXPECT_EQ(row(0), std::vector<int>{});
  EXPECT_EQ(row(255), std::vector<int>{});
  EXPECT_EQ(row(1), (std::vector<int>{0, 8, 3}));
  EXPECT_EQ(row(2), (std::vector<int>{0, 1, 9}));
  EXPECT_EQ(row(3), (std::vector<int>{1, 8, 3, 9, 8, 1}));
  EXPECT_EQ(row(4), (std::vector<int>{1, 2, 10}));
  EXPECT_EQ(row(7), (std::vector<int>{2, 8, 3, 2, 10, 8, 10, 9, 8}));
  EXPECT_EQ(row(254), (std::vector<int>{0, 3, 8}));
  size_t triangles = 0;
  for (int cube = 0; cube < 256; cube++) {
    const std::vector<int> r = row(cube);
    ASSERT_LE(r.size(), 15u);
    ASSERT_EQ(r.size() % 3, 0u) << "case " << cube;
    for (size_t i = r.size(); i < 16; i++) ASSERT_EQ(gMetaballTriangleTable[cube][i], -1) << "case " << cube;
    triangles += r.size() / 3;
    EXPECT_EQ(edges(cube), gMetaballEdgeTable[cube]) << "case " << cube;
    EXPECT_EQ(edges(cube), edges(255 - cube)) << "case " << cube;
  }
  EXPECT_EQ(triangles, 820u);
}

TEST(MetaballField, FullRadiusUpToTheSphereAndMatchesTheSampleBySampleSum) {
  METABALLS *m = MakeBalls({{0, 0, 0, 3}});
  EXPECT_EQ(Sample(*m, 0, 0, 0), 3.0f);
  EXPECT_EQ(Sample(*m, 3, 0, 0), 3.0f);  // exactly on the sphere: d^2 = r^2
  EXPECT_EQ(Sample(*m, 2, 2, 1), 3.0f);
  EXPECT_NEAR(Sample(*m, 4, 0, 0), 0.75f, 0.75f * 0.002f);
  EXPECT_NEAR(Sample(*m, -16, -16, -16), 3.0f / sqrtf(768), 0.002f);
  delete m;
  srand(7);
  for (int round = 0; round < 4; round++) {
    METABALLS *fast = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    for (int b = 0; b < 4; b++)
      fast->Balls[b] = {(rand() % 3000) / 100.0f - 15, (rand() % 3000) / 100.0f - 15, (rand() % 3000) / 100.0f - 15,
                        (rand() % 800) / 100.0f};
    fast->ComputeField();
    std::vector<float> field(fast->Field, fast->Field + METABALL_SAMPLES);
    reference::ComputeField(*fast);
    EXPECT_EQ(0, memcmp(field.data(), fast->Field, sizeof fast->Field));
    delete fast;
  }
}

TEST(MetaballSurface, LoneUnitBallIsEmptyAndBallsInsideTheGridCloseOutwards) {
  METABALLS *lone = MakeBalls({{0.3f, -0.2f, 0.1f, 1}});
  EXPECT_EQ(Analyse(*lone).triangles, 0);
  delete lone;
  // One sphere and two melting balls: one closed blob each (Euler characteristic 2), facing outwards.
  for (int balls : {1, 2}) {
    METABALLS *m = balls == 1 ? MakeBalls({{0.3f, -0.2f, 0.45f, 3}})
                              : MakeBalls({{-3.1f, 0.2f, 0.35f, 2.5f}, {3.3f, -0.15f, -0.2f, 2.5f}});
    const SURFACE s = Analyse(*m);
    ASSERT_GT(s.triangles, 0);
    EXPECT_EQ(s.cornerHits, 0);
    EXPECT_TRUE(s.openEdges.empty());
    EXPECT_EQ(s.edgesUsedMoreThanTwice, 0);
    EXPECT_EQ(s.repeatedDirectedEdges, 0);
    EXPECT_EQ(s.euler, 2);
    EXPECT_GT(s.volume, 0);
    if (balls == 1) {
      // The field jumps from 3 inside the sphere to below 1 outside, so every vertex lies between 2 and 4
      // grid units from the centre (12 and 24 world units), and so does the volume's sphere.
      for (const VECTOR3 &v : s.positions) {
        const float dx = v.x - 1.8f, dy = v.y + 1.2f, dz = v.z - 2.7f, d = sqrtf(dx * dx + dy * dy + dz * dz);
        ASSERT_GT(d, 12.0f);
        ASSERT_LT(d, 24.0f);
      }
      EXPECT_GT(s.volume, 4.0 / 3.0 * M_PI * 12 * 12 * 12);
      EXPECT_LT(s.volume, 4.0 / 3.0 * M_PI * 24 * 24 * 24);
    }
    delete m;
  }
}

TEST(MetaballSurface, BlobPastTheGridBorderIsCutOpenThere) {
  METABALLS *m = MakeBalls({{13.2f, 0.3f, -0.4f, 4}});
  const SURFACE s = Analyse(*m);
  EXPECT_FALSE(s.openEdges.empty());
  EXPECT_EQ(s.edgesUsedMoreThanTwice, 0);
  for (const VECTOR3 &v : s.positions) ASSERT_LE(v.x, 90.0f);
  // Every open edge lies in the last polygonised plane x = 90: no caps, no cells beyond.
  for (const auto &e : s.openEdges) {
    EXPECT_EQ(s.positions[e.first].x, 90.0f);
    EXPECT_EQ(s.positions[e.second].x, 90.0f);
  }
  // The low border: samples with index 0 are never polygonised, even when the field crosses there.
  for (float &sample : m->Field) sample = 0;
  for (int i = 0; i < 1024; i++) m->Field[i] = 2;
  EXPECT_EQ(Analyse(*m).triangles, 0);
  delete m;
}

TEST(MetaballSurface, MatchesTheCellByCellPolygoniserExactly) {
  srand(11);
  METABALL_LEVELS levels;
  for (int round = 0; round < 6; round++) {
    METABALLS *m = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    for (int b = 0; b < 3 && round >= 3; b++)
      m->Balls[b] = {(rand() % 3200) / 100.0f - 16, (rand() % 3200) / 100.0f - 16, (rand() % 3200) / 100.0f - 16,
                     1 + (rand() % 700) / 100.0f};
    if (round < 3) MetaballSceneStep(*m, levels, 400.0f * round, 0.3f * round, 0.5f);
    m->ComputeField();
    // Values landing on the special interpolation branches as well.
    m->Field[17 * 1024 + 17 * 32 + 17] = 1.08f;
    m->Field[5 * 1024 + 9 * 32 + 12] = 1.08005f;
    RECORDER a, b;
    m->Polygonise(a);
    reference::Polygonise(*m, b);
    ASSERT_EQ(a.vertices.size(), b.vertices.size()) << "round " << round;
    EXPECT_EQ(a.cellStarts, b.cellStarts) << "round " << round;
    EXPECT_EQ(0, memcmp(a.vertices.data(), b.vertices.data(), sizeof(VECTOR3) * a.vertices.size()));
    delete m;
  }
}

TEST(MetaballScene, LevelsSmoothPerFrameAndTheBallsSwingOnArcs) {
  METABALLS *m = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  METABALL_LEVELS levels;
  MetaballSceneStep(*m, levels, 0, 0, 0);
  EXPECT_EQ(levels.SmoothRight, 0.25f);
  EXPECT_EQ(levels.SmoothLeft, 0.25f);
  EXPECT_EQ(m->Balls[0].x, -6);  // t = 0: no turn
  EXPECT_EQ(m->Balls[0].z, -5);
  // Without music the radii settle at 1, 1.5 and 2.5.
  for (int frame = 0; frame < 40; frame++) MetaballSceneStep(*m, levels, 0, 0, 0);
  const float radii[3] = {1, 1.5f, 2.5f};
  for (int b = 0; b < 3; b++) EXPECT_NEAR(m->Balls[b].radius, radii[b], 1e-6f);
  METABALL_LEVELS loud;  // right 1.5 and left 0.5 smooth to 1 and 0.5
  MetaballSceneStep(*m, loud, 0, 1.5f, 0.5f);
  EXPECT_EQ(m->Balls[0].radius, 3.0f);
  EXPECT_EQ(m->Balls[1].radius, 6.5f);
  EXPECT_EQ(m->Balls[2].radius, 4.75f);
  // The base positions are set anew each frame, so the distance from the centre is kept.
  const float t = 123.5f, squared[3] = {62, 89, 46};
  MetaballSceneStep(*m, levels, t, 0, 0);
  for (int b = 0; b < 3; b++)
    EXPECT_NEAR(m->Balls[b].x * m->Balls[b].x + m->Balls[b].y * m->Balls[b].y + m->Balls[b].z * m->Balls[b].z,
                squared[b], 1e-3f);
  EXPECT_GT(fabsf(m->Balls[0].x + 6) + fabsf(m->Balls[0].y - 1), 1.0f);  // but it has swung off its base
  delete m;
}

}  // namespace
