// The metaball field against hand-computed samples, and the polygoniser's surface against what an
// iso-surface is: vertices on grid edges where the field crosses 1.08, closed blobs wound outwards, cut open
// only at the grid's border.
#include "geometry/metaball.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Everything the polygoniser emits, checking the emitter protocol on the way: whole triangles in cells.
struct RECORDER {
  std::vector<VECTOR3> vertices;
  size_t cellStart = SIZE_MAX;
  void BeginCell() { EXPECT_EQ(std::exchange(cellStart, vertices.size()), SIZE_MAX); }
  void Vertex(const VECTOR3 &v) {
    EXPECT_NE(cellStart, SIZE_MAX);
    vertices.push_back(v);
  }
  void EndCell() {
    EXPECT_TRUE(vertices.size() > cellStart && (vertices.size() - cellStart) % 3 == 0);
    cellStart = SIZE_MAX;
  }
};

METABALLS *MakeBalls(std::initializer_list<METABALL> balls) {
  METABALLS *m = new (__LINE__, "metaball_test") METABALLS((uint32_t)balls.size());
  std::copy(balls.begin(), balls.end(), m->Balls);
  m->ComputeField();
  return m;
}

float &Sample(METABALLS &m, int x, int y, int z) { return m.Field[(x + 16) * 1024 + (y + 16) * 32 + z + 16]; }

// The surface welded into a mesh whose vertices are identified by the grid edge they lie on (neighbouring
// cells interpolate a shared edge from either end, so positions may differ in the last bit), with its
// edges that only one triangle uses, its Euler characteristic, its signed volume, and how far the field,
// read linearly along each vertex's edge, is from the iso level there.
struct SURFACE {
  std::vector<VECTOR3> positions;
  std::vector<std::pair<int, int>> openEdges;
  int triangles = 0, offEdges = 0 /* at a corner or inside a face */, edgesUsedMoreThanTwice = 0;
  int repeatedDirectedEdges = 0, euler = 0;
  double volume = 0, isoError = 0;
};

SURFACE Analyse(METABALLS &m) {
  RECORDER out;
  m.Polygonise(out);
  SURFACE s;
  std::map<std::tuple<int, int, int, int>, int> ids;
  std::map<std::pair<int, int>, int> directed, undirected;
  for (size_t i = 0; i < out.vertices.size(); i += 3, s.triangles++) {
    int t[3];
    for (int k = 0; k < 3; k++) {
      const float c[3] = {out.vertices[i + k].x / 6, out.vertices[i + k].y / 6, out.vertices[i + k].z / 6};
      int axis = -1, axes = 0, cell[3];
      for (int a = 0; a < 3; a++) {
        cell[a] = (int)floorf(c[a]);
        if (c[a] != floorf(c[a])) axis = a, axes++;
      }
      s.offEdges += axes != 1;
      if (axes == 1) {
        int next[3] = {cell[0], cell[1], cell[2]};
        next[axis]++;
        const float mu = c[axis] - (float)cell[axis], a = Sample(m, cell[0], cell[1], cell[2]);
        s.isoError = std::max(s.isoError, (double)fabsf(a + mu * (Sample(m, next[0], next[1], next[2]) - a) - 1.08f));
      }
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

// The closed surfaces below hold the tables to their geometry; here the rows the format quotes.
TEST(MetaballTables, QuotedRowsAnd820TrianglesOnTheEdgesOfTheirCase) {
  size_t triangles = 0;
  for (int cube = 0; cube < 256; cube++)
    for (int i = 0; i < 16 && gMetaballTriangleTable[cube][i] != -1; i += 3) triangles++;
  EXPECT_EQ(triangles, 820u);
  for (const auto &[cube, row] : {std::pair<int, std::vector<int>>{1, {0, 8, 3, -1}}, {3, {1, 8, 3, 9, 8, 1, -1}},
                                  {7, {2, 8, 3, 2, 10, 8, 10, 9, 8, -1}}, {254, {0, 3, 8, -1}}, {255, {-1}}})
    EXPECT_TRUE(std::equal(row.begin(), row.end(), gMetaballTriangleTable[cube])) << "case " << cube;
  for (const auto &[cube, edges] : {std::pair{1, 0x109}, {2, 0x203}, {15, 0xf00}, {255, 0}})
    EXPECT_EQ(gMetaballEdgeTable[cube], edges) << "case " << cube;
}

TEST(MetaballField, FullRadiusUpToTheSphereAboutRadiusOverDistanceBeyondAndBallsAdd) {
  METABALLS *m = MakeBalls({{0, 0, 0, 3}, {0.5f, 0, 0, 1}});
  m->BallCount = 1;
  m->ComputeField();
  const struct {
    int x, y, z;
    float value;
  } samples[] = {{0, 0, 0, 3}, {3, 0, 0, 3} /* on the sphere: d^2 = r^2 */, {2, 2, 1, 3}, {4, 0, 0, 0.75f},
                 {-16, -16, -16, 3 / sqrtf(768)}, {0, 5, 0, 0.6f}};
  for (const auto &s : samples) EXPECT_NEAR(Sample(*m, s.x, s.y, s.z), s.value, s.value * 0.002f) << s.x << s.y;
  // The second ball alone, then both: the field is the sum.
  std::vector<float> first(m->Field, m->Field + METABALL_SAMPLES);
  m->Balls[0] = m->Balls[1];
  m->ComputeField();
  EXPECT_NEAR(Sample(*m, 3, 0, 0), 0.4f, 0.001f);
  EXPECT_EQ(Sample(*m, 1, 0, 0), 1.0f);
  std::vector<float> second(m->Field, m->Field + METABALL_SAMPLES);
  m->Balls[0] = {0, 0, 0, 3};
  m->BallCount = 2;
  m->ComputeField();
  for (int i = 0; i < METABALL_SAMPLES; i++) ASSERT_NEAR(m->Field[i], first[i] + second[i], 1e-5f) << i;
  delete m;
}

TEST(MetaballSurface, BallsInsideTheGridCloseOutwardsWithEveryVertexWhereTheFieldCrosses) {
  METABALLS *lone = MakeBalls({{0.3f, -0.2f, 0.1f, 1}});
  EXPECT_EQ(Analyse(*lone).triangles, 0);
  delete lone;
  // One sphere and two melting balls: one closed blob each (Euler characteristic 2).
  for (int balls : {1, 2}) {
    METABALLS *m = balls == 1 ? MakeBalls({{0.3f, -0.2f, 0.45f, 3}})
                              : MakeBalls({{-3.1f, 0.2f, 0.35f, 2.5f}, {3.3f, -0.15f, -0.2f, 2.5f}});
    const SURFACE s = Analyse(*m);
    SCOPED_TRACE(balls);
    ASSERT_GT(s.triangles, 0);
    EXPECT_EQ(s.offEdges, 0);
    EXPECT_LT(s.isoError, 1e-4);
    EXPECT_TRUE(s.openEdges.empty());
    EXPECT_EQ(s.edgesUsedMoreThanTwice, 0);
    EXPECT_EQ(s.repeatedDirectedEdges, 0);
    EXPECT_EQ(s.euler, 2);
    EXPECT_GT(s.volume, 0);
    if (balls == 1) {
      // The field jumps from 3 inside the sphere to below 1 outside, so every vertex lies between 2 and 4
      // grid units from the centre (12 and 24 world units).
      for (const VECTOR3 &v : s.positions) {
        const float dx = v.x - 1.8f, dy = v.y + 1.2f, dz = v.z - 2.7f, d = sqrtf(dx * dx + dy * dy + dz * dz);
        ASSERT_GT(d, 12.0f);
        ASSERT_LT(d, 24.0f);
      }
    }
    delete m;
  }
}

TEST(MetaballSurface, BlobPastTheGridBorderIsCutOpenThereAndSamplesOnTheLevelAreCorners) {
  METABALLS *m = MakeBalls({{13.2f, 0.3f, -0.4f, 4}});
  const SURFACE s = Analyse(*m);
  EXPECT_FALSE(s.openEdges.empty());
  EXPECT_EQ(s.edgesUsedMoreThanTwice, 0);
  // Every open edge lies in the last polygonised plane x = 90: no caps, no cells beyond.
  for (const VECTOR3 &v : s.positions) ASSERT_LE(v.x, 90.0f);
  for (const auto &e : s.openEdges) {
    EXPECT_EQ(s.positions[e.first].x, 90.0f);
    EXPECT_EQ(s.positions[e.second].x, 90.0f);
  }
  // The low border: samples with index 0 are never polygonised, even when the field crosses there.
  for (float &sample : m->Field) sample = 0;
  for (int i = 0; i < 1024; i++) m->Field[i] = 2;
  EXPECT_EQ(Analyse(*m).triangles, 0);
  // A lone sample on the level (or within 0.0001 of it) is a corner of its eight cells, one triangle each.
  for (float level : {METABALL_ISO_LEVEL, 1.08005f}) {
    for (float &sample : m->Field) sample = 0;
    Sample(*m, 5, -3, 2) = level;
    RECORDER out;
    m->Polygonise(out);
    ASSERT_EQ(out.vertices.size(), 8u * 3);
    for (const VECTOR3 &v : out.vertices) EXPECT_TRUE(v.x == 30 && v.y == -18 && v.z == 12) << level;
  }
  delete m;
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
