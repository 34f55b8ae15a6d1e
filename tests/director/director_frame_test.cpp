// The director's start, frames and shutdown on a real window, driver and sound output (SDL's dummy audio).
// The data files are read straight from the working folder: no archive is opened.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "director/director.h"
#include "director/modinfo.h"
#include "graphics/gldriver.h"
#include "modwrite/modwrite.h"
#include "music/music.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

// `count` tracks, XM and IT by turns, of the square song with `rows` rows (4 rows play about half a second).
void WriteTracks(int count, int rows) {
  std::filesystem::create_directories("data");
  std::string list = std::to_string(count) + "\r\n";
  for (int i = 0; i < count; i++) {
    modwrite::Format format = i % 2 ? modwrite::Format::IT : modwrite::Format::XM;
    std::string song = "song" + std::to_string(i) + (i % 2 ? ".it" : ".xm"), info = song + ".txt";
    list += info + "\r\n";
    WriteWholeFile(info, song + "\r\nTitle\r\nSub\r\n");
    ASSERT_TRUE(modwrite::Save(modwrite::SquareTestModule(format, rows), song));
  }
  WriteWholeFile("data/mods.dat", list);
}

// On a window of 64 x 48 pixels with the driver current on it.
TEST(Director, RunsFromStartToShutdown) {
  ScopedTempDir dir;  // the driver writes the log from here on
  MainWindow = PlatformCreateMainWindow("Tunemill");
  ASSERT_NE(MainWindow, nullptr);
  PlatformShowWindow(MainWindow);
  SetupOptions = SETUP_OPTIONS{64, 48, 32, 16, 1, 1, 0, 0.0f, 0, 1};
  GlDriver = new (__LINE__, "test") c_GLDRIVER(MainWindow, SetupDriverFlags(), 64, 48, 32, 0);
  GlDriver->MakeCurrent();
  WriteTracks(2, 4);
  int64_t allocatedBefore = AllocTotal();
  SceneClock = 0.0f;
  LastTick = 0;
  DirectorStart();
  ASSERT_EQ(DirectorStarted, 1);
  EXPECT_EQ(ModCount, 2u);
  EXPECT_LT(CurrentMod, 2u);
  EXPECT_EQ(gMusicPlaying, 1u);

  // Until the player screen covers it, the colour buffer is cleared to black every frame.
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  PlatformSwapBuffers(MainWindow);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 1);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  DirectorFrame();
  unsigned char pixel[4] = {9, 9, 9, 9};
  glReadBuffer(GL_FRONT);
  glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  glReadBuffer(GL_BACK);
  EXPECT_EQ(pixel[0] | pixel[1] | pixel[2], 0);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  GLboolean depthMask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  EXPECT_TRUE(depthMask);
  EXPECT_EQ(SceneClock, 0.0f);  // the first frame's step

  // The clock follows the tick count.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  DirectorFrame();
  EXPECT_GT(SceneClock, 0.18f * 33);
  EXPECT_LT(SceneClock, 2.0f * 33);

  // At the end of the song the next track starts, and wraps around the list.
  uint32_t first = CurrentMod;
  for (uint32_t next : {(first + 1) % 2, first}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (CurrentMod != next && std::chrono::steady_clock::now() < deadline) DirectorFrame();
    EXPECT_EQ(CurrentMod, next);
    EXPECT_EQ(MusicHasEnded(), 0u);
  }

  // The panel's minimise: the frame waits half a second and minimises; activation brings it back.
  AppActive = 0;
  auto before = std::chrono::steady_clock::now();
  DirectorFrame();
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  PLATFORM_MESSAGE activate = {};
  activate.Kind = PM_ACTIVATE;
  activate.Active = PM_CLICKACTIVE;
  WindowProc(MainWindow, &activate);
  EXPECT_EQ(AppActive, 1);

  DirectorShutdown();
  EXPECT_EQ(DirectorStarted, 0);
  EXPECT_EQ(gMusicPlaying, 0u);
  EXPECT_EQ(ModInfos, nullptr);
  EXPECT_EQ(AllocTotal(), allocatedBefore);
  // Frames after shutdown do nothing.
  float clock = SceneClock;
  DirectorFrame();
  EXPECT_EQ(SceneClock, clock);

  // With one track the first is always track 0.
  WriteTracks(1, 16);
  CurrentMod = 7;
  DirectorStart();
  EXPECT_EQ(CurrentMod, 0u);
  DirectorFrame();
  DirectorShutdown();
  delete GlDriver;
  GlDriver = nullptr;
  PlatformDestroyWindow(MainWindow);
  MainWindow = nullptr;
}

}  // namespace
