// The figures of the frame loop as the player runs it: the time from the dialog's OK to the first frame
// presented (driver, default state, director start with its first track, one frame), and the rate of the
// frame loop while the frame draws nothing but its clear. The window is a window on the desktop
// ("Do not force video mode") of the size given by --mode=WIDTHxHEIGHT (1024x768 when absent).
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "director/director.h"
#include "graphics/gldriver.h"
#include "modwrite/modwrite.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"

namespace fs = std::filesystem;

namespace {

double gStartupMs = 0.0;

void WriteText(const char *path, const char *text) { std::ofstream(path, std::ios::binary) << text; }

// A working folder holding one track, read straight from the disk (no archive is opened).
std::string MakeData() {
  char pattern[] = "/tmp/tunemill-bench-XXXXXX";
  std::string dir = mkdtemp(pattern);
  fs::current_path(dir);
  fs::create_directories("data");
  fs::create_directories("music");
  WriteText("data/mods.dat", "1\r\ndata/one.txt\r\n");
  WriteText("data/one.txt", "music/one.xm\r\nOne\r\nFirst\r\n");
  modwrite::Save(modwrite::SquareTestModule(modwrite::Format::XM, 256), "music/one.xm");
  return dir;
}

void BM_EmptyFrame(benchmark::State &state) {
  for (auto _ : state) DirectorFrame();
  glFinish();
  state.SetItemsProcessed(state.iterations());
  state.counters["startup_ms"] = gStartupMs;
  state.counters["width"] = SetupOptions.Width;
  state.counters["height"] = SetupOptions.Height;
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
  int width = 1024, height = 768;
  for (int i = 1; i < argc; i++)
    if (sscanf(argv[i], "--mode=%dx%d", &width, &height) == 2) argv[i][0] = 0;
  if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::string dir = MakeData();

  MainWindow = PlatformCreateMainWindow("Tunemill");
  if (!MainWindow) {
    fprintf(stderr, "frame_bench: no display\n");
    return 1;
  }
  PlatformShowWindow(MainWindow);
  SetupOptions = SETUP_OPTIONS{width, height, 32, 32, 1, 1, 0, 0.0f, 0, 1};

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
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  DirectorShutdown();
  delete GlDriver;
  GlDriver = nullptr;
  PlatformDestroyWindow(MainWindow);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
