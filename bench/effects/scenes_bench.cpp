// Frame time of each scene and overlay alone over a cleared screen, with the disk's pictures and its first
// track playing, at 640x480 and 1024x768: clear, draw, glFinish and present per iteration, against the
// bare clear-and-present frame ("clear") of the same run; the multiples are printed after the table.
// Goals at 1024x768 on llvmpipe: each scene under 8 ms, each overlay under 1 ms.
//   cd build && ../scripts/with-xvfb bench/effects/scenes_bench
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "effects/efx1.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "platform/platform.h"
#include "stage.h"

namespace {

// Keeps the real time and the process's CPU time (every thread: llvmpipe rasterises on threads of its
// own) per iteration of every run, the median when there are repetitions.
class MULTIPLE_REPORTER : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (!run.error_occurred && (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
        times[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  struct TIMES {
    double real, cpu;
  };
  std::map<std::string, TIMES> times;
};

// The scale of the machine's fill rate: one full-screen quad with the particles' texture and blending.
void DrawTexturedQuad(float, float) {
  c_GLDRIVER::SetDefaultState();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gParticlesMaterial->Apply(0);
  glDisable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const auto &c : corners) {
    glTexCoord2f(c[0], c[1]);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
}
const STAGE_DRAWER kTexturedQuad = {"textured-quad", DrawTexturedQuad};

void DrawFrames(benchmark::State &state, const STAGE_DRAWER *drawer) {
  const uint32_t start = PlatformTickCount();
  uint32_t last = start;
  for (auto _ : state) {
    const uint32_t now = PlatformTickCount();
    StageFrame(*drawer, (float)(now - start) * 0.033f, (float)(now - last) * 0.033f);
    StagePresent();
    last = now;
  }
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  MULTIPLE_REPORTER reporter;
  std::vector<const STAGE_DRAWER *> drawers = {&kTexturedQuad};
  for (int d = 0; d < gStageDrawerCount; d++) drawers.push_back(&gStageDrawers[d]);
  const int modes[][2] = {{640, 480}, {1024, 768}};
  for (const auto &mode : modes) {
    if (!OpenStage(mode[0], mode[1])) {
      fprintf(stderr, "scenes_bench: no display\n");
      return 1;
    }
    const std::string prefix = std::to_string(mode[0]) + "x" + std::to_string(mode[1]) + "/";
    for (const STAGE_DRAWER *drawer : drawers)
      benchmark::RegisterBenchmark((prefix + drawer->Name).c_str(), DrawFrames, drawer)
          ->Unit(benchmark::kMillisecond)
          ->MeasureProcessCPUTime()
          ->UseRealTime()
          ->MinTime(2.0);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    CloseStage();
  }

  printf("\nPer frame: real time and the process's CPU time (all threads), each in ms and as a multiple of the\n"
         "bare clear+present frame of the same mode; \"own\" is the real time minus the bare frame's.\n");
  for (const auto &mode : modes) {
    const std::string prefix = std::to_string(mode[0]) + "x" + std::to_string(mode[1]) + "/";
    const auto bare = reporter.times.find(prefix + "clear");
    if (bare == reporter.times.end()) continue;
    for (const STAGE_DRAWER *drawer : drawers) {
      const auto it = reporter.times.find(prefix + drawer->Name);
      if (it == reporter.times.end() || it == bare) continue;
      const MULTIPLE_REPORTER::TIMES &t = it->second, &b = bare->second;
      printf("  %-24s real %7.3f x%5.2f  own %7.3f   cpu %7.3f x%5.2f\n", it->first.c_str(), t.real,
             t.real / b.real, t.real - b.real, t.cpu, t.cpu / b.cpu);
    }
  }
  benchmark::Shutdown();
  return 0;
}
