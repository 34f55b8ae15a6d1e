// The metaball field against hand-computed samples, and the polygoniser's surface against what an iso-surface
// is: vertices on grid edges where the field crosses 1.08, closed blobs wound outwards, open only at the border.
#include "geometry/metaball.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

// Everything the polygoniser emits (the drawing tests hold DrawSurface's cells to it).
struct RECORDER {
  std::vector<VECTOR3> vertices;
  void BeginCell() {}
  void Vertex(const VECTOR3 &v) { vertices.push_back(v); }
  void EndCell() {}
};

METABALLS *MakeBalls(const std::vector<METABALL> &balls) {
  METABALLS *m = new (__LINE__, "metaball_test") METABALLS((uint32_t)balls.size());
  std::copy(balls.begin(), balls.end(), m->Balls);
  m->ComputeField();
  return m;
}

float &Sample(METABALLS &m, int x, int y, int z) { return m.Field[(x + 16) * 1024 + (y + 16) * 32 + z + 16]; }

// The surface welded into a mesh whose vertices are identified by the grid edge they lie on (neighbouring
// cells interpolate a shared edge from either end, so positions may differ in the last bit), as "<vertices
// off a grid edge or off the level there> <directed edges used twice> <open edges: none, x = 90 or
// elsewhere> chi <Euler characteristic> <inward or outward>", or "empty". Its signed volume is taken about a
// point of the plane x = 90, so a blob cut open there still counts its own.
std::string Analyse(METABALLS &m) {
  RECORDER out;
  m.Polygonise(out);
  std::map<std::array<int, 4>, int> ids;  // axis, then the cell
  std::map<std::pair<int, int>, int> directed;
  std::vector<VECTOR3> p;
  int off = 0, repeated = 0, open = 0, elsewhere = 0;
  double volume = 0;
  for (size_t i = 0; i < out.vertices.size(); i += 3) {
    int t[3];
    for (int k = 0; k < 3; k++) {
      const VECTOR3 &v = out.vertices[i + k];
      const float c[3] = {v.x / 6, v.y / 6, v.z / 6};
      std::array<int, 4> key = {-1, (int)floorf(c[0]), (int)floorf(c[1]), (int)floorf(c[2])};
      int axes = 0;
      for (int a = 0; a < 3; a++)
        if (c[a] != (float)key[a + 1]) key[0] = a, axes++;
      const int a = std::max(key[0], 0);
      const float mu = c[a] - (float)key[a + 1], low = Sample(m, key[1], key[2], key[3]);
      const float high = Sample(m, key[1] + (a == 0), key[2] + (a == 1), key[3] + (a == 2));
      off += axes != 1 || fabsf(low + mu * (high - low) - METABALL_ISO_LEVEL) > 1e-4f;
      t[k] = ids.emplace(key, (int)p.size()).first->second;
      if (t[k] == (int)p.size()) p.push_back({v.x - 90, v.y, v.z});
    }
    for (int k = 0; k < 3; k++) repeated += ++directed[{t[k], t[(k + 1) % 3]}] > 1;
    const VECTOR3 &a = p[t[0]], &b = p[t[1]], &c = p[t[2]];
    volume += a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x);
  }
  for (const auto &[edge, count] : directed)
    if (!directed.count({edge.second, edge.first})) open++, elsewhere += p[edge.first].x != 0 || p[edge.second].x != 0;
  const int chi = (int)p.size() - (int)(directed.size() + open) / 2 + (int)out.vertices.size() / 3;
  if (out.vertices.empty()) return "empty";
  const char *cut = elsewhere ? " elsewhere" : open ? " x = 90" : " none";
  return std::to_string(off) + " " + std::to_string(repeated) + cut + " chi " + std::to_string(chi) +
         (volume > 0 ? " outward" : " inward");
}

// The closed surfaces below hold the tables to their geometry; here the whole table's size.
TEST(MetaballTables, Hold820Triangles) {
  size_t triangles = 0;
  for (int cube = 0; cube < 256; cube++)
    for (int i = 0; i < 16 && gMetaballTriangleTable[cube][i] != -1; i += 3) triangles++;
  EXPECT_EQ(triangles, 820u);
}

TEST(MetaballField, FullRadiusUpToTheSphereAboutRadiusOverDistanceBeyondAndBallsAdd) {
  METABALLS *m = MakeBalls({{0, 0, 0, 3}}), *both = MakeBalls({{0, 0, 0, 3}, {0.5f, 0, 0, 1}});
  const struct { int x, y, z; float value; } samples[] = {
      {0, 0, 0, 3}, {3, 0, 0, 3} /* on the sphere: d^2 = r^2 */, {2, 2, 1, 3}, {4, 0, 0, 0.75f},
      {-16, -16, -16, 3 / sqrtf(768)}, {0, 5, 0, 0.6f}};
  for (const auto &s : samples) EXPECT_NEAR(Sample(*m, s.x, s.y, s.z), s.value, s.value * 0.002f) << s.x << s.y;
  // The second ball alone, then both: the field is the sum.
  const std::vector<float> first(m->Field, m->Field + METABALL_SAMPLES);
  m->Balls[0] = both->Balls[1];
  m->ComputeField();
  EXPECT_NEAR(Sample(*m, 3, 0, 0), 0.4f, 0.001f);
  EXPECT_EQ(Sample(*m, 1, 0, 0), 1.0f);
  for (int i = 0; i < METABALL_SAMPLES; i++) ASSERT_NEAR(both->Field[i], first[i] + m->Field[i], 1e-5f) << i;
  delete m;
  delete both;
}

TEST(MetaballSurface, BallsCloseOutwardsBlobsPastTheBorderAreCutOpenThereAndLevelSamplesAreCorners) {
  // A ball that never reaches the level, one sphere and two melting balls, a blob past the high border.
  const struct { std::vector<METABALL> balls; const char *surface; } cases[] = {
      {{{0.3f, -0.2f, 0.1f, 1}}, "empty"},
      {{{0.3f, -0.2f, 0.45f, 3}}, "0 0 none chi 2 outward"},
      {{{-3.1f, 0.2f, 0.35f, 2.5f}, {3.3f, -0.15f, -0.2f, 2.5f}}, "0 0 none chi 2 outward"},
      {{{13.2f, 0.3f, -0.4f, 4}}, "0 0 x = 90 chi 1 outward"}};
  for (const auto &c : cases) {
    METABALLS *m = MakeBalls(c.balls);
    EXPECT_EQ(Analyse(*m), c.surface) << c.balls[0].x;
    delete m;
  }
  // Samples with index 0 are never polygonised, even when the field crosses there.
  METABALLS *m = MakeBalls({{0, 0, 0, 0}});
  std::fill(m->Field, m->Field + 1024, 2.0f);
  EXPECT_EQ(Analyse(*m), "empty");
  // A lone sample on the level (or within 0.0001 of it) is a corner of its eight cells, one triangle each.
  for (float level : {METABALL_ISO_LEVEL, 1.08005f}) {
    std::fill(m->Field, m->Field + METABALL_SAMPLES, 0.0f);
    Sample(*m, 5, -3, 2) = level;
    RECORDER corner;
    m->Polygonise(corner);
    ASSERT_EQ(corner.vertices.size(), 8u * 3);
    for (const VECTOR3 &v : corner.vertices) EXPECT_TRUE(v.x == 30 && v.y == -18 && v.z == 12) << level;
  }
  delete m;
}

TEST(MetaballScene, LevelsSmoothPerFrameAndTheBallsSwingOnArcs) {
  METABALLS *m = MakeBalls({{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
  METABALL_LEVELS levels, loud;
  MetaballSceneStep(*m, levels, 0, 0, 0);
  EXPECT_TRUE(m->Balls[0].x == -6 && m->Balls[0].z == -5);  // t = 0: no turn
  // Without music the radii settle at 1, 1.5 and 2.5; right 1.5 and left 0.5 smooth to 1 and 0.5 at once
  // (the levels halve their distance to the music's each frame).
  for (int frame = 0; frame < 40; frame++) MetaballSceneStep(*m, levels, 0, 0, 0);
  for (int b = 0; b < 3; b++) EXPECT_NEAR(m->Balls[b].radius, (std::array<float, 3>{1, 1.5f, 2.5f}[b]), 1e-6f);
  MetaballSceneStep(*m, loud, 0, 1.5f, 0.5f);
  EXPECT_TRUE(m->Balls[0].radius == 3 && m->Balls[1].radius == 6.5f && m->Balls[2].radius == 4.75f);
  // The base positions are set anew each frame, so the distance from the centre is kept.
  MetaballSceneStep(*m, levels, 123.5f, 0, 0);
  for (const auto &[b, squared] : {std::pair{m->Balls[0], 62.0f}, {m->Balls[1], 89.0f}, {m->Balls[2], 46.0f}})
    EXPECT_NEAR(b.x * b.x + b.y * b.y + b.z * b.z, squared, 1e-3f);
  EXPECT_GT(fabsf(m->Balls[0].x + 6) + fabsf(m->Balls[0].y - 1), 1.0f);  // but it has swung off its base
  delete m;
}

}  // namespace
