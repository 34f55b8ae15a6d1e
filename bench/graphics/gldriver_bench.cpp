// Frames per second of the empty frame loop (colour and depth clear, buffer swap) through the driver, in
// a window of the size given. Needs a display.
#include <benchmark/benchmark.h>

#include "graphics/gldriver.h"
#include "platform/platform.h"

static void EmptyFrame(benchmark::State &state) {
  const int32_t width = static_cast<int32_t>(state.range(0));
  const int32_t height = static_cast<int32_t>(state.range(1));
  PlatformWindow *window = PlatformCreateMainWindow("Tunemill");
  if (window == nullptr) {
    state.SkipWithError("no display");
    return;
  }
  PlatformShowWindow(window);
  c_GLDRIVER *driver = new (__LINE__, "gldriver_bench") c_GLDRIVER(window, 8 | 32, width, height, 32, 0);
  PLATFORM_MESSAGE message;
  for (auto _ : state) {
    while (PlatformTakeMessage(&message)) {
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    PlatformSwapBuffers(driver->DeviceContext);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  delete driver;
  // The video subsystem stays up between runs: Xvfb resets itself when its last client leaves and
  // refuses the next run's connection meanwhile.
  PlatformDestroyWindow(window);
}
BENCHMARK(EmptyFrame)->Args({640, 480})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
