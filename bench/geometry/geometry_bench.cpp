// The per-frame geometry work, each next to a straightforward version of the same computation:
//   metaball frame: field + polygonise into a counting emitter, the scene's three balls at several times;
//   torus knot: Generate of the knot scene's mesh (120 x 16, P 1, Q 5).
#include <benchmark/benchmark.h>

#include "geometry/metaball.h"
#include "geometry/mx_knot.h"
#include "geometry_reference.h"

namespace {

struct COUNTER {
  uint32_t cells = 0, vertices = 0;
  void BeginCell() { cells++; }
  void Vertex(const VECTOR3 &) { vertices++; }
  void EndCell() {}
};

// The scene's balls at clock value t, with moderately loud music.
METABALLS *SceneBalls(float t) {
  METABALLS *m = new (__LINE__, "geometry_bench") METABALLS(3);
  METABALL_LEVELS levels;
  for (int frame = 0; frame < 8; frame++) MetaballSceneStep(*m, levels, t, 0.45f, 0.35f);
  return m;
}

const float kTimes[] = {0, 300, 700, 1500};

void BM_MetaballFrame(benchmark::State &state) {
  METABALLS *m = SceneBalls(kTimes[state.range(0)]);
  COUNTER count;
  for (auto _ : state) {
    m->ComputeField();
    count = COUNTER();
    m->Polygonise(count);
    benchmark::DoNotOptimize(count);
  }
  state.counters["triangles"] = count.vertices / 3;
  state.counters["cells"] = count.cells;
  delete m;
}
BENCHMARK(BM_MetaballFrame)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_MetaballFrameStraightforward(benchmark::State &state) {
  METABALLS *m = SceneBalls(kTimes[state.range(0)]);
  COUNTER count;
  for (auto _ : state) {
    reference::ComputeField(*m);
    count = COUNTER();
    reference::Polygonise(*m, count);
    benchmark::DoNotOptimize(count);
  }
  state.counters["triangles"] = count.vertices / 3;
  delete m;
}
BENCHMARK(BM_MetaballFrameStraightforward)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_MetaballField(benchmark::State &state) {
  METABALLS *m = SceneBalls(300);
  for (auto _ : state) {
    m->ComputeField();
    benchmark::ClobberMemory();
  }
  delete m;
}
BENCHMARK(BM_MetaballField)->Unit(benchmark::kMicrosecond);

void BM_MetaballFieldStraightforward(benchmark::State &state) {
  METABALLS *m = SceneBalls(300);
  for (auto _ : state) {
    reference::ComputeField(*m);
    benchmark::ClobberMemory();
  }
  delete m;
}
BENCHMARK(BM_MetaballFieldStraightforward)->Unit(benchmark::kMicrosecond);

void BM_MetaballPolygonise(benchmark::State &state) {
  METABALLS *m = SceneBalls(300);
  m->ComputeField();
  for (auto _ : state) {
    COUNTER count;
    m->Polygonise(count);
    benchmark::DoNotOptimize(count);
  }
  delete m;
}
BENCHMARK(BM_MetaballPolygonise)->Unit(benchmark::kMicrosecond);

void BM_MetaballPolygoniseStraightforward(benchmark::State &state) {
  METABALLS *m = SceneBalls(300);
  m->ComputeField();
  for (auto _ : state) {
    COUNTER count;
    reference::Polygonise(*m, count);
    benchmark::DoNotOptimize(count);
  }
  delete m;
}
BENCHMARK(BM_MetaballPolygoniseStraightforward)->Unit(benchmark::kMicrosecond);

void SceneKnot(MX_TORUS_KNOT &knot, float t) {
  const float level = 0.4f;
  knot.CurveRadius = 4 * level + 25;
  knot.TubeRadius = 2 * level + 6;
  knot.BulgePhase = 0.01f * t;
  knot.P = 1;
  knot.Q = 5;
  knot.Twist = 20 + 2 * sinf(0.01f * t);
  knot.BulgeDepth = 2 * level + 0.5f;
}

void BM_KnotGenerate(benchmark::State &state) {
  MX_TORUS_KNOT knot;
  float t = 0;
  for (auto _ : state) {
    SceneKnot(knot, t += 1);
    knot.Generate();
    benchmark::DoNotOptimize(knot.Normals);
    benchmark::ClobberMemory();
  }
  knot.Release();
}
BENCHMARK(BM_KnotGenerate)->Unit(benchmark::kMicrosecond);

void BM_KnotGenerateStraightforward(benchmark::State &state) {
  MX_TORUS_KNOT knot;
  reference::KNOT_MESH mesh;
  float t = 0;
  for (auto _ : state) {
    SceneKnot(knot, t += 1);
    reference::GenerateKnot(knot, mesh);
    benchmark::DoNotOptimize(mesh.normals.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_KnotGenerateStraightforward)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
