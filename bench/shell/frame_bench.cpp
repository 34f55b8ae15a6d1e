// The frame loop as the listener sees it, with the disk of the build folder: the time from the dialog's OK
// to the first frame with every font, picture and effect loaded, and the frame time of each of the nine
// scene and overlay combinations under the panel and of the opening and closing sequences, one glFinish per
// frame. Each is printed as frames per second, as a multiple of the bare frame (clear and present) and as
// a multiple of its fill floor (its full-screen layers drawn as plain textured quads: the panel's two
// pictures for the combinations) of the same run; "panel" is the player screen alone (the floor, the knob,
// the highlight and the texts), the rest of a combination is its scene and overlay. The window is a window
// on the desktop of the size given by --mode=WIDTHxHEIGHT (1024x768 when absent). Run from the build folder
// under Xvfb:
//   cd build && ../scripts/with-xvfb bench/shell/frame_bench --mode=640x480
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "director/director.h"
#include "director/director_local.h"
#include "graphics/gldriver.h"
#include "music/music.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

double gStartupMs = 0.0;

// Keeps each run's real time per frame in milliseconds, for the multiples printed after the table.
class MULTIPLE_REPORTER : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        ms[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ms;
};

// Normal play: no sequence, nothing pressed, the pointer away from the buttons.
void Play() {
  IntroRunning = Ending = 0;
  IntroStart = EndStart = CoverOpaque = 0.0f;
  MouseX = MouseY = MouseButtons = KeyDown = 0;
  MusicSetVolume(1.0f);
}

void Finish(benchmark::State &state) {
  state.SetItemsProcessed(state.iterations());
  PLATFORM_MESSAGE message;
  while (PlatformTakeMessage(&message)) {
  }
}

void BM_Bare(benchmark::State &state) {
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PlatformSwapBuffers(GlDriver->DeviceContext);
    glFinish();
  }
  Finish(state);
}

// The panel's two pictures, the only full-screen layers of a frame in play.
void BM_PanelFloor(benchmark::State &state) {
  for (auto _ : state) {
    glClear(GL_DEPTH_BUFFER_BIT);
    OverlaySetup();
    DrawCover(gTunemillPanel1, 0.5f);
    DrawCover(gTunemillPanel2, 0.5f);
    PlatformSwapBuffers(GlDriver->DeviceContext);
    glFinish();
  }
  Finish(state);
}

// The player screen alone: the panel, knob, texts and order/row over the panel floor.
void BM_Panel(benchmark::State &state) {
  Play();
  for (auto _ : state) {
    glClear(GL_DEPTH_BUFFER_BIT);
    PlayerScreenFrame();
    PlatformSwapBuffers(GlDriver->DeviceContext);
    glFinish();
  }
  Finish(state);
}

void Combination(benchmark::State &state, uint32_t scene, uint32_t overlay) {
  Play();
  for (auto _ : state) {
    SceneIndex = scene;
    OverlayIndex = overlay;
    DirectorFrame();
    glFinish();
  }
  Finish(state);
}

// The sequences walk their whole timeline, a step of about a hundredth of it per frame.
void BM_Sequence(benchmark::State &state, bool opening) {
  Play();
  const float length = opening ? kOpeningLength : kClosingLength - 1.0f;
  int frame = 0;
  for (auto _ : state) {
    float d = (float)(frame++ % 100) * 0.01f * length;
    SceneClock = 1000.0f + d;
    (opening ? IntroRunning : Ending) = 1;
    (opening ? IntroStart : EndStart) = 1000.0f;
    LastTick = 0;
    DirectorFrame();
    glFinish();
  }
  Play();
  Finish(state);
}

// The full-screen layers of the opening's second step: two covers (the knot between them is not one).
void BM_OpeningFloor(benchmark::State &state) {
  for (auto _ : state) {
    glClear(GL_DEPTH_BUFFER_BIT);
    OverlaySetup();
    DrawCover(gTunemillBeginCover0, 1.0f);
    DrawCover(gTunemillBeginCover, 0.5f);
    PlatformSwapBuffers(GlDriver->DeviceContext);
    glFinish();
  }
  Finish(state);
}

// The closing's heaviest steps: the end cover and a trail of four twirled copies over it.
void BM_ClosingFloor(benchmark::State &state) {
  for (auto _ : state) {
    glClear(GL_DEPTH_BUFFER_BIT);
    OverlaySetup();
    DrawCover(gTunemillEndCover, 1.0f);
    for (int i = 0; i < 4; i++) DrawTwirl(0.5f * (float)i);
    PlatformSwapBuffers(GlDriver->DeviceContext);
    glFinish();
  }
  Finish(state);
}

const char *const kScenes[3] = {"metaballs", "tentacles", "knot"};
const char *const kOverlays[3] = {"history", "particles", "spectrum"};

benchmark::internal::Benchmark *Timed(benchmark::internal::Benchmark *benchmark, double seconds) {
  return benchmark->Unit(benchmark::kMillisecond)->MinTime(seconds)->UseRealTime();
}

void Register() {
  Timed(benchmark::RegisterBenchmark("bare", BM_Bare), 2);
  Timed(benchmark::RegisterBenchmark("panel-floor", BM_PanelFloor), 2);
  Timed(benchmark::RegisterBenchmark("panel", BM_Panel), 2);
  for (uint32_t scene = 0; scene < 3; scene++)
    for (uint32_t overlay = 0; overlay < 3; overlay++) {
      const std::string name = std::string(kScenes[scene]) + "+" + kOverlays[overlay];
      Timed(benchmark::RegisterBenchmark(name.c_str(), Combination, scene, overlay), 3);
    }
  Timed(benchmark::RegisterBenchmark("opening-floor", BM_OpeningFloor), 2);
  Timed(benchmark::RegisterBenchmark("opening", BM_Sequence, true), 3);
  Timed(benchmark::RegisterBenchmark("closing-floor", BM_ClosingFloor), 2);
  Timed(benchmark::RegisterBenchmark("closing", BM_Sequence, false), 3);
}

}  // namespace

int main(int argc, char **argv) {
  int width = 1024, height = 768;
  for (int i = 1; i < argc; i++)
    if (sscanf(argv[i], "--mode=%dx%d", &width, &height) == 2) argv[i][0] = 0;
  if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  // A private folder holding a copy of the disk, so that the temporary files and the log stay there.
  char pattern[] = "/tmp/tunemill-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  fs::copy_file("tunemill.dat", dir + "/tunemill.dat");
  fs::current_path(dir);
  OpenResource();

  MainWindow = PlatformCreateMainWindow("Tunemill");
  if (!MainWindow) {
    fprintf(stderr, "frame_bench: no display\n");
    return 1;
  }
  PlatformShowWindow(MainWindow);
  SetupOptions = SETUP_OPTIONS{width, height, 32, 32, 1, 1, 0, 0.0f, 0, 1};

  // From the dialog's OK: the driver, the director's start-up with every asset, and one frame shown.
  auto start = std::chrono::steady_clock::now();
  GlDriver = new (__LINE__, "bench") c_GLDRIVER(MainWindow, SetupDriverFlags(), width, height, 32, 0);
  GlDriver->MakeCurrent();
  c_GLDRIVER::SetDefaultState();
  DirectorStart();
  DirectorFrame();
  glFinish();
  gStartupMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  int kept = 1;
  for (int i = 1; i < argc; i++)
    if (argv[i][0]) argv[kept++] = argv[i];
  benchmark::Initialize(&kept, argv);
  Register();
  MULTIPLE_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  printf("\n%dx%d: dialog's OK to the first frame with everything loaded: %.0f ms\n", width, height, gStartupMs);
  printf("%-22s %8s %8s %8s %8s\n", "frame", "ms", "fps", "x bare", "x floor");
  const double bare = reporter.ms["bare"];
  for (const auto &[name, ms] : reporter.ms) {
    const std::string floor = name == "opening" || name == "closing" ? name + "-floor" : "panel-floor";
    const bool measured = name != "bare" && name.find("floor") == std::string::npos;
    printf("%-22s %8.2f %8.1f %8.2f", name.c_str(), ms, 1e3 / ms, ms / bare);
    if (measured) printf(" %8.2f", ms / reporter.ms[floor]);
    printf("\n");
  }

  DirectorShutdown();
  delete GlDriver;
  GlDriver = nullptr;
  PlatformDestroyWindow(MainWindow);
  CloseResource();
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
