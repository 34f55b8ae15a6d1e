#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "geometry/metaball.h"
#include "geometry_reference.h"

namespace {

// Everything the polygoniser emits, cell by cell.
struct RECORDER {
  std::vector<VECTOR3> vertices;
  std::vector<size_t> cellStarts;
  int open = 0;
  void BeginCell() {
    EXPECT_EQ(open, 0);
    open = 1;
    cellStarts.push_back(vertices.size());
  }
  void Vertex(const VECTOR3 &v) {
    EXPECT_EQ(open, 1);
    vertices.push_back(v);
  }
  void EndCell() {
    EXPECT_EQ(open, 1);
    EXPECT_EQ((vertices.size() - cellStarts.back()) % 3, 0u);
    EXPECT_GT(vertices.size(), cellStarts.back());
    open = 0;
  }
};

METABALLS *MakeBalls(std::initializer_list<METABALL> balls) {
  METABALLS *m = new (__LINE__, "metaball_test") METABALLS((uint32_t)balls.size());
  uint32_t i = 0;
  for (const METABALL &b : balls) m->Balls[i++] = b;
  return m;
}

float Sample(const METABALLS &m, int x, int y, int z) { return m.Field[(x + 16) * 1024 + (y + 16) * 32 + z + 16]; }

// The surface as a mesh whose vertices are identified by the grid edge they lie on (a shared edge is
// interpolated from either end by its neighbouring cells, so positions may differ in the last bit).
struct MESH {
  std::vector<std::array<int, 3>> triangles;
  std::vector<VECTOR3> positions;
  int cornerHits = 0;
};

MESH Weld(const std::vector<VECTOR3> &vertices) {
  MESH mesh;
  std::map<std::tuple<int, int, int, int>, int> ids;
  for (size_t i = 0; i < vertices.size(); i += 3) {
    std::array<int, 3> t;
    for (int k = 0; k < 3; k++) {
      const VECTOR3 &v = vertices[i + k];
      const float c[3] = {v.x, v.y, v.z};
      int axis = -1, cell[3];
      for (int a = 0; a < 3; a++) {
        const float g = c[a] / 6.0f;
        cell[a] = (int)floorf(g);
        if (g != floorf(g)) axis = a;
      }
      if (axis < 0) mesh.cornerHits++;
      auto key = std::make_tuple(axis, cell[0], cell[1], cell[2]);
      auto found = ids.find(key);
      if (found == ids.end()) {
        found = ids.emplace(key, (int)mesh.positions.size()).first;
        mesh.positions.push_back(v);
      }
      t[k] = found->second;
    }
    mesh.triangles.push_back(t);
  }
  return mesh;
}

// Undirected edges used once (holes) and the Euler characteristic; also checks that every directed edge
// appears once, i.e. that neighbouring triangles agree on their winding.
struct TOPOLOGY {
  int boundaryEdges = 0, edgesUsedMoreThanTwice = 0, repeatedDirectedEdges = 0, euler = 0;
  double volume = 0;
};

TOPOLOGY Topology(const MESH &mesh) {
  TOPOLOGY t;
  std::map<std::pair<int, int>, int> directed, undirected;
  for (const auto &tri : mesh.triangles) {
    for (int k = 0; k < 3; k++) {
      const int a = tri[k], b = tri[(k + 1) % 3];
      if (++directed[{a, b}] > 1) t.repeatedDirectedEdges++;
      undirected[{std::min(a, b), std::max(a, b)}]++;
    }
    const VECTOR3 &a = mesh.positions[tri[0]], &b = mesh.positions[tri[1]], &c = mesh.positions[tri[2]];
    t.volume += (a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x)) / 6.0;
  }
  for (const auto &e : undirected) {
    if (e.second == 1) t.boundaryEdges++;
    if (e.second > 2) t.edgesUsedMoreThanTwice++;
  }
  t.euler = (int)mesh.positions.size() - (int)undirected.size() + (int)mesh.triangles.size();
  return t;
}

// ---------------------------------------------------------------------------------------------------------

TEST(MetaballTables, EdgeTableFollowsTheNumbering) {
  EXPECT_EQ(gMetaballEdgeTable[0], 0);
  EXPECT_EQ(gMetaballEdgeTable[1], 0x109);
  EXPECT_EQ(gMetaballEdgeTable[2], 0x203);
  EXPECT_EQ(gMetaballEdgeTable[255], 0);
  EXPECT_EQ(gMetaballEdgeTable[0x0f], 0xf00);  // bottom face below: the four vertical edges
  for (int cube = 0; cube < 256; cube++) EXPECT_EQ(gMetaballEdgeTable[cube], gMetaballEdgeTable[255 - cube]);
}

TEST(MetaballTables, TriangleTableHoldsTheQuotedRowsAnd820Triangles) {
  auto row = [](int cube) {
    std::vector<int> r;
    for (int i = 0; gMetaballTriangleTable[cube][i] != -1; i++) r.push_back(gMetaballTriangleTable[cube][i]);
    return r;
  };
  EXPECT_EQ(row(0), std::vector<int>{});
  EXPECT_EQ(row(255), std::vector<int>{});
  EXPECT_EQ(row(1), (std::vector<int>{0, 8, 3}));
  EXPECT_EQ(row(2), (std::vector<int>{0, 1, 9}));
  EXPECT_EQ(row(3), (std::vector<int>{1, 8, 3, 9, 8, 1}));
  EXPECT_EQ(row(4), (std::vector<int>{1, 2, 10}));
  EXPECT_EQ(row(7), (std::vector<int>{2, 8, 3, 2, 10, 8, 10, 9, 8}));
  EXPECT_EQ(row(254), (std::vector<int>{0, 3, 8}));
  int triangles = 0;
  for (int cube = 0; cube < 256; cube++) {
    const std::vector<int> r = row(cube);
    ASSERT_LE(r.size(), 15u);
    ASSERT_EQ(r.size() % 3, 0u) << "case " << cube;
    for (size_t i = r.size(); i < 16; i++) ASSERT_EQ(gMetaballTriangleTable[cube][i], -1) << "case " << cube;
    triangles += (int)r.size() / 3;
  }
  EXPECT_EQ(triangles, 820);
}

TEST(MetaballTables, EveryRowUsesExactlyTheEdgesOfItsEntryAndMatchesItsComplement) {
  auto edges = [](int cube) {
    int used = 0;
    for (int i = 0; gMetaballTriangleTable[cube][i] != -1; i++) used |= 1 << gMetaballTriangleTable[cube][i];
    return used;
  };
  for (int cube = 0; cube < 256; cube++) {
    EXPECT_EQ(edges(cube), gMetaballEdgeTable[cube]) << "case " << cube;
    EXPECT_EQ(edges(cube), edges(255 - cube)) << "case " << cube;
  }
}

TEST(MetaballTables, EachCasePatchEndsOnTheCubeFaces) {
  // Within one cube the triangles form patches whose open edges all run across a face of the cube, and
  // each crossing point is where exactly two such face segments meet.
  const int faces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 4, 5}, {1, 2, 5, 6}, {2, 3, 6, 7}, {3, 0, 7, 4}};
  auto onOneFace = [&](int e1, int e2) {
    for (const auto &f : faces) {
      std::set<int> face(f, f + 4);
      if (face.count(gMetaballEdgeCorners[e1][0]) && face.count(gMetaballEdgeCorners[e1][1]) &&
          face.count(gMetaballEdgeCorners[e2][0]) && face.count(gMetaballEdgeCorners[e2][1]))
        return true;
    }
    return false;
  };
  for (int cube = 1; cube < 255; cube++) {
    std::map<std::pair<int, int>, int> uses;
    const int8_t *r = gMetaballTriangleTable[cube];
    for (int i = 0; r[i] != -1; i += 3)
      for (int k = 0; k < 3; k++) {
        const int a = r[i + k], b = r[i + (k + 1) % 3];
        ASSERT_NE(a, b) << "case " << cube;
        uses[{std::min(a, b), std::max(a, b)}]++;
      }
    int ends[12] = {};
    for (const auto &u : uses) {
      ASSERT_LE(u.second, 2) << "case " << cube;
      if (u.second == 1) {
        EXPECT_TRUE(onOneFace(u.first.first, u.first.second)) << "case " << cube;
        ends[u.first.first]++, ends[u.first.second]++;
      }
    }
    for (int e = 0; e < 12; e++) {
      if (gMetaballEdgeTable[cube] & (1 << e)) {
        EXPECT_EQ(ends[e], 2) << "case " << cube << " edge " << e;
      }
    }
  }
}

TEST(MetaballField, FullRadiusInsideAndAboutRadiusOverDistanceOutside) {
  METABALLS *m = MakeBalls({{0, 0, 0, 3}});
  m->ComputeField();
  EXPECT_EQ(Sample(*m, 0, 0, 0), 3.0f);
  EXPECT_EQ(Sample(*m, 3, 0, 0), 3.0f);  // exactly on the sphere: d^2 = r^2
  EXPECT_EQ(Sample(*m, 2, 2, 1), 3.0f);
  EXPECT_NEAR(Sample(*m, 4, 0, 0), 0.75f, 0.75f * 0.002f);
  EXPECT_NEAR(Sample(*m, -16, -16, -16), 3.0f / sqrtf(768), 0.002f);
  delete m;
}

TEST(MetaballField, MatchesTheSampleBySampleSum) {
  srand(7);
  for (int round = 0; round < 4; round++) {
    METABALLS *fast = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    METABALLS *slow = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    for (int b = 0; b < 4; b++) {
      METABALL ball = {(rand() % 3000) / 100.0f - 15, (rand() % 3000) / 100.0f - 15, (rand() % 3000) / 100.0f - 15,
                       (rand() % 800) / 100.0f};
      fast->Balls[b] = slow->Balls[b] = ball;
    }
    fast->ComputeField();
    reference::ComputeField(*slow);
    EXPECT_EQ(0, memcmp(fast->Field, slow->Field, sizeof fast->Field));
    delete fast;
    delete slow;
  }
}

TEST(MetaballSurface, LoneBallOfRadiusOneHasNoSurface) {
  METABALLS *m = MakeBalls({{0.3f, -0.2f, 0.1f, 1}});
  m->ComputeField();
  RECORDER out;
  m->Polygonise(out);
  EXPECT_TRUE(out.vertices.empty());
  delete m;
}

TEST(MetaballSurface, OneBallGivesAClosedOutwardSphere) {
  METABALLS *m = MakeBalls({{0.3f, -0.2f, 0.45f, 3}});
  m->ComputeField();
  RECORDER out;
  m->Polygonise(out);
  ASSERT_FALSE(out.vertices.empty());
  // The field jumps from 3 inside the sphere to below 1 outside it, so every vertex lies on an edge from
  // a sample within 3 grid units of the centre to one beyond: between 2 and 4 units, 12 and 24 world units.
  for (const VECTOR3 &v : out.vertices) {
    const float d = sqrtf((v.x - 1.8f) * (v.x - 1.8f) + (v.y + 1.2f) * (v.y + 1.2f) + (v.z - 2.7f) * (v.z - 2.7f));
    ASSERT_GT(d, 12.0f);
    ASSERT_LT(d, 24.0f);
  }
  const MESH mesh = Weld(out.vertices);
  EXPECT_EQ(mesh.cornerHits, 0);
  const TOPOLOGY t = Topology(mesh);
  EXPECT_EQ(t.boundaryEdges, 0);
  EXPECT_EQ(t.edgesUsedMoreThanTwice, 0);
  EXPECT_EQ(t.repeatedDirectedEdges, 0);
  EXPECT_EQ(t.euler, 2);
  // Positive (the triangles face outwards) and between the volumes of the two bounding spheres.
  EXPECT_GT(t.volume, 4.0 / 3.0 * M_PI * 12 * 12 * 12);
  EXPECT_LT(t.volume, 4.0 / 3.0 * M_PI * 24 * 24 * 24);
  delete m;
}

TEST(MetaballSurface, TwoMeltingBallsGiveOneClosedOutwardSurface) {
  METABALLS *m = MakeBalls({{-3.1f, 0.2f, 0.35f, 2.5f}, {3.3f, -0.15f, -0.2f, 2.5f}});
  m->ComputeField();
  RECORDER out;
  m->Polygonise(out);
  const MESH mesh = Weld(out.vertices);
  EXPECT_EQ(mesh.cornerHits, 0);
  const TOPOLOGY t = Topology(mesh);
  EXPECT_EQ(t.boundaryEdges, 0);
  EXPECT_EQ(t.edgesUsedMoreThanTwice, 0);
  EXPECT_EQ(t.repeatedDirectedEdges, 0);
  EXPECT_EQ(t.euler, 2);  // one blob, not two spheres
  EXPECT_GT(t.volume, 0);
  // The neck between the centres is part of the blob.
  EXPECT_GT(Sample(*m, 0, 0, 0), METABALL_ISO_LEVEL);
  delete m;
}

TEST(MetaballSurface, BlobPastTheGridBorderIsCutOpenThere) {
  METABALLS *m = MakeBalls({{13.2f, 0.3f, -0.4f, 4}});
  m->ComputeField();
  RECORDER out;
  m->Polygonise(out);
  ASSERT_FALSE(out.vertices.empty());
  for (const VECTOR3 &v : out.vertices) ASSERT_LE(v.x, 90.0f);
  const MESH mesh = Weld(out.vertices);
  const TOPOLOGY t = Topology(mesh);
  EXPECT_GT(t.boundaryEdges, 0);
  EXPECT_EQ(t.edgesUsedMoreThanTwice, 0);
  // Every open edge lies in the last polygonised plane x = 90: no caps, no cells beyond.
  std::map<std::pair<int, int>, int> undirected;
  for (const auto &tri : mesh.triangles)
    for (int k = 0; k < 3; k++) {
      const int a = tri[k], b = tri[(k + 1) % 3];
      undirected[{std::min(a, b), std::max(a, b)}]++;
    }
  for (const auto &e : undirected)
    if (e.second == 1) {
      EXPECT_EQ(mesh.positions[e.first.first].x, 90.0f);
      EXPECT_EQ(mesh.positions[e.first.second].x, 90.0f);
    }
  // The low border: samples with index 0 are never polygonised, even when the field crosses there.
  for (float &sample : m->Field) sample = 0;
  for (int y = -16; y < 16; y++)
    for (int z = -16; z < 16; z++) m->Field[0 * 1024 + (y + 16) * 32 + z + 16] = 2;
  RECORDER low;
  m->Polygonise(low);
  EXPECT_TRUE(low.vertices.empty());
  delete m;
}

TEST(MetaballSurface, MatchesTheCellByCellPolygoniserExactly) {
  srand(11);
  METABALL_LEVELS levels;
  for (int round = 0; round < 6; round++) {
    METABALLS *fast = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    if (round < 3) {
      MetaballSceneStep(*fast, levels, 400.0f * round, 0.3f * round, 0.5f);
    } else {
      for (int b = 0; b < 3; b++) {
        fast->Balls[b] = {(rand() % 3200) / 100.0f - 16, (rand() % 3200) / 100.0f - 16,
                          (rand() % 3200) / 100.0f - 16, 1 + (rand() % 700) / 100.0f};
      }
    }
    fast->ComputeField();
    // Values landing on the special interpolation branches as well.
    fast->Field[17 * 1024 + 17 * 32 + 17] = 1.08f;
    fast->Field[5 * 1024 + 9 * 32 + 12] = 1.08005f;
    RECORDER a, b;
    fast->Polygonise(a);
    reference::Polygonise(*fast, b);
    ASSERT_EQ(a.vertices.size(), b.vertices.size()) << "round " << round;
    EXPECT_EQ(a.cellStarts, b.cellStarts) << "round " << round;
    EXPECT_EQ(0, memcmp(a.vertices.data(), b.vertices.data(), sizeof(VECTOR3) * a.vertices.size()));
    delete fast;
  }
}

TEST(MetaballScene, LevelsSmoothPerFrameAndPlaceTheBalls) {
  METABALLS *m = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  METABALL_LEVELS levels;
  EXPECT_EQ(levels.SmoothRight, 0.5f);
  EXPECT_EQ(levels.SmoothLeft, 0.5f);
  MetaballSceneStep(*m, levels, 0, 0, 0);
  EXPECT_EQ(levels.SmoothRight, 0.25f);
  EXPECT_EQ(levels.SmoothLeft, 0.25f);
  // t = 0: no turn.
  EXPECT_EQ(m->Balls[0].x, -6);
  EXPECT_EQ(m->Balls[0].y, 1);
  EXPECT_EQ(m->Balls[0].z, -5);
  EXPECT_EQ(m->Balls[0].radius, 2.0f);
  EXPECT_EQ(m->Balls[1].x, 7);
  EXPECT_EQ(m->Balls[1].radius, 2.75f);
  EXPECT_EQ(m->Balls[2].y, -6);
  EXPECT_EQ(m->Balls[2].radius, 3.25f);
  EXPECT_EQ(m->Eye.x, 1);
  EXPECT_EQ(m->Eye.y, 250);
  EXPECT_EQ(m->Eye.z, 0);
  EXPECT_EQ(m->Centre.x, -20);
  EXPECT_EQ(m->Centre.y, 1);
  EXPECT_EQ(m->Centre.z, 1);
  EXPECT_EQ(m->Up.z, 1);
  EXPECT_EQ(m->Fov, 40);
  EXPECT_EQ(m->FarPlane, 2560);
  // Without music the radii settle at 1, 1.5 and 2.5.
  for (int frame = 0; frame < 40; frame++) MetaballSceneStep(*m, levels, 0, 0, 0);
  EXPECT_NEAR(m->Balls[0].radius, 1.0f, 1e-6f);
  EXPECT_NEAR(m->Balls[1].radius, 1.5f, 1e-6f);
  EXPECT_NEAR(m->Balls[2].radius, 2.5f, 1e-6f);
  // Full levels: right 1, left 0.5 after smoothing from 0.5 in one step.
  METABALL_LEVELS loud;
  MetaballSceneStep(*m, loud, 0, 1.5f, 0.5f);
  EXPECT_EQ(m->Balls[1].radius, 5 * 1.0f + 1.5f);
  EXPECT_EQ(m->Balls[0].radius, 4 * 0.5f + 1);
  EXPECT_EQ(m->Balls[2].radius, 3 * 1.5f / 2 + 2.5f);
  delete m;
}

TEST(MetaballScene, PositionsTurnThroughTheAngleMatrices) {
  METABALLS *m = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  METABALL_LEVELS levels;
  const float t = 123.5f, s = sinf(t / 66);
  MetaballSceneStep(*m, levels, t, 0, 0);
  MATRIX34 turn;
  VECTOR3 p;
  MatrixFromAngles(s, 0.5f * s, 3 * s, turn);
  TransformPoint(turn, {-6, 1, -5}, p);
  EXPECT_EQ(m->Balls[0].x, p.x);
  EXPECT_EQ(m->Balls[0].y, p.y);
  EXPECT_EQ(m->Balls[0].z, p.z);
  MatrixFromAngles(-s, -4 * s, s / 3, turn);
  TransformPoint(turn, {7, -2, 6}, p);
  EXPECT_EQ(m->Balls[1].x, p.x);
  EXPECT_EQ(m->Balls[1].z, p.z);
  MatrixFromAngles(-3 * s, 0.5f * s, -1.5f * s, turn);
  TransformPoint(turn, {1, -6, 3}, p);
  EXPECT_EQ(m->Balls[2].y, p.y);
  EXPECT_EQ(m->Fov, 40 + 10 * sinf(t / 33));
  // The swing stays on arcs: the distance from the centre is kept.
  EXPECT_NEAR(m->Balls[0].x * m->Balls[0].x + m->Balls[0].y * m->Balls[0].y + m->Balls[0].z * m->Balls[0].z, 62.0f,
              1e-3f);
  delete m;
}

TEST(Metaballs, ConstructorAndDestructorKeepTheirBooks) {
  const int64_t before = AllocTotal();
  METABALLS *m = new (__LINE__, "metaball_test") METABALLS(3);
  EXPECT_EQ(m->BallCount, 3u);
  EXPECT_EQ(m->Balls[2].radius, 0.0f);
  EXPECT_EQ(m->Eye.x, 64);
  EXPECT_EQ(m->Eye.y, 0);
  EXPECT_EQ(m->Up.z, 1);
  EXPECT_EQ(m->Fov, 45);
  EXPECT_EQ(m->FarPlane, 2560);
  EXPECT_EQ(m->Field[12345], 0.0f);
  EXPECT_EQ(AllocTotal(), before + (int64_t)sizeof(METABALLS) + 48);
  delete m;
  EXPECT_EQ(AllocTotal(), before);
}

}  // namespace
