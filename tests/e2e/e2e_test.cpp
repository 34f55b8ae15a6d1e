// End-to-end runs of build/tunemill: the setup dialog, the start, the shutdown paths and the windowed drag.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "modwrite/modwrite.h"
#include "program.h"
#include "testkit.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getenv("DISPLAY")) << "runs under scripts/with-xvfb";
    std::string disk = BinaryDir() + "/tunemill.dat";
    if (fs::exists(disk)) {
      fs::copy_file(disk, "tunemill.dat");
      return;
    }
    // Without the disk: one track, a module of 64 rows (7.7 s) holding a full-scale square wave.
    fs::create_directories("pack/data");
    fs::create_directories("pack/music");
    WriteWholeFile("pack/data/mods.dat", "1\r\ndata/track1.txt\r\n");
    WriteWholeFile("pack/data/track1.txt", "music/square.xm\r\nSquare\r\nWave\r\nGenerated for the tests\r\n");
    ASSERT_TRUE(modwrite::Save(modwrite::SquareTestModule(modwrite::Format::XM, 64), "pack/music/square.xm"));
    ASSERT_EQ(system((BinaryDir() + "/tmpack create tunemill.dat --huffman pack >/dev/null").c_str()), 0);
    fs::remove_all("pack");
  }

  std::string Log() { return ReadWholeFile("program.log"); }
  bool LogHas(const std::string &text) { return Log().find(text) != std::string::npos; }
  // Dismisses the fatal error's message box.
  void DismissErrorBox() {
    std::string box = FindWindow("ERROR", 60);
    ASSERT_FALSE(box.empty()) << "no ERROR box";
    Keys(box, "Return");
  }

  ScopedTempDir dir;
  Program program;
};

TEST_F(EndToEnd, ReturnPlaysTheMusicAndSigtermShutsDownInOrder) {
  program.Start();
  std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << "no setup dialog";
  if (getenv("TUNEMILL_E2E_SHOTS")) Screenshot(std::string(getenv("TUNEMILL_E2E_SHOTS")) + "/dialog.png");
  Keys(dialog, "Return");

  ASSERT_TRUE(WaitFor([&] { return LogHas("HARDWARE EXTENSIONS"); }, 60, 0.1)) << Log();
  // Frames and music run for a while.
  std::this_thread::sleep_for(2s);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1) << ReadWholeFile("stdout.txt") << ReadWholeFile("stderr.txt");

  std::string log = Log();
  EXPECT_NE(log.find(" BEG LOGIN AT "), std::string::npos);
  EXPECT_NE(log.find("\n\n[pixelformatdesctiptor printout] \nnVersion     = 1 \ndwFlags      = "), std::string::npos);
  EXPECT_NE(log.find("\n GL_RENDERER: "), std::string::npos);
  EXPECT_NE(log.find("\n GL_VENDOR: "), std::string::npos);
  EXPECT_NE(log.find("\n GL_VERSION: "), std::string::npos);
  // One extension per line.
  size_t begin = log.find("\n HARDWARE EXTENSIONS : \n\n");
  ASSERT_NE(begin, std::string::npos);
  begin += 25;
  size_t end = log.find(" \n\n\n ", begin);
  ASSERT_NE(end, std::string::npos);
  std::string extensions = log.substr(begin, end - begin);
  EXPECT_EQ(extensions.find(' '), std::string::npos);
  EXPECT_NE(extensions.find("\nGL_ARB_multitexture\n"), std::string::npos);
  // Everything released.
  size_t report = log.find("\n PROGRAM: -- DEBUG: Alloc Raport: ");
  ASSERT_NE(report, std::string::npos);
  EXPECT_EQ(log.substr(report), "\n PROGRAM: -- DEBUG: Alloc Raport: \n PROGRAM: -- DEBUG: End of alloc raport.");
  for (const auto &entry : fs::directory_iterator("."))
    EXPECT_EQ(entry.path().filename().string().rfind("_#q_", 0), std::string::npos) << entry.path();

  // Music reached the audio device (signed 16-bit stereo): more than a few milliseconds well above silence (a track may begin softly).
  std::string audio = ReadWholeFile("audio.raw");
  EXPECT_GT(audio.size(), 44100u);
  size_t loud = 0;
  for (size_t i = 0; i + 1 < audio.size(); i += 2) {
    int16_t sample = (int16_t)((uint8_t)audio[i] | ((uint8_t)audio[i + 1] << 8));
    if (sample > 1000 || sample < -1000) loud++;
  }
  EXPECT_GT(loud, 441u) << "audible samples recorded";
}

TEST_F(EndToEnd, EscapeInTheDialogEndsWithoutADriver) {
  program.Start();
  std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << ReadWholeFile("stdout.txt") << ReadWholeFile("stderr.txt")
                               << RunCommand("xwininfo -root -children").out;
  Keys(dialog, "Escape");
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_FALSE(LogHas("pixelformatdesctiptor"));
  EXPECT_FALSE(LogHas("GL_RENDERER"));
  EXPECT_FALSE(FileExists("audio.raw") && !ReadWholeFile("audio.raw").empty());
}

TEST_F(EndToEnd, WindowedModeIsDraggedAndClampedToTheDesktop) {
  program.Start();
  std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << ReadWholeFile("stdout.txt") << ReadWholeFile("stderr.txt")
                               << RunCommand("xwininfo -root -children").out;
  ClickDialog(dialog, 80 + 22, 30 + 5);   // "640x480"
  ClickDialog(dialog, 5 + 20, 115 + 5);   // "Do not force video mode"
  if (getenv("TUNEMILL_E2E_SHOTS")) Screenshot(std::string(getenv("TUNEMILL_E2E_SHOTS")) + "/windowed.png");
  Keys(dialog, "Return");
  ASSERT_TRUE(WaitFor([&] { return LogHas("HARDWARE EXTENSIONS"); }, 60, 0.1)) << Log();

  std::string window;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindow("Tunemill", 1);
    WINDOW_GEOMETRY g = WindowGeometry(window);
    return g.width == 640 && g.height == 480;
  }, 30, 0.1));
  WINDOW_GEOMETRY g = WindowGeometry(window);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);

  auto drag = [&](int fromX, int fromY, int toX, int toY) {
    RunCommand("xdotool mousemove --sync " + std::to_string(fromX) + " " + std::to_string(fromY) + " mousedown 3");
    for (int step = 1; step <= 8; step++) {
      int x = fromX + (toX - fromX) * step / 8, y = fromY + (toY - fromY) * step / 8;
      RunCommand("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
      std::this_thread::sleep_for(50ms);
    }
    RunCommand("xdotool mouseup 3");
    std::this_thread::sleep_for(300ms);
  };
  // Far to the right and above the top: the right edge stops at 1024, the top at 0.
  drag(100, 100, 1000, 40);
  g = WindowGeometry(window);
  EXPECT_EQ(g.x, 1024 - 640);
  EXPECT_EQ(g.y, 0);
  // Back past the top-left corner.
  drag(500, 200, 10, 5);
  g = WindowGeometry(window);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);
  // Down by 100: inside the desktop the window follows the cursor exactly.
  drag(200, 200, 250, 300);
  g = WindowGeometry(window);
  EXPECT_EQ(g.x, 50);
  EXPECT_EQ(g.y, 100);

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1);
}

TEST_F(EndToEnd, ForcedModeTheDisplayLacksEndsWithTheDriversMessage) {
  program.Start();
  std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << ReadWholeFile("stdout.txt") << ReadWholeFile("stderr.txt")
                               << RunCommand("xwininfo -root -children").out;
  ClickDialog(dialog, 80 + 22, 15 + 5);  // "320x240", forced: Xvfb offers only its one mode
  Keys(dialog, "Return");
  DismissErrorBox();
  EXPECT_EQ(program.Wait(60), 0);
  std::string out = ReadWholeFile("stdout.txt");
  EXPECT_NE(out.find(" : c_GLDRIVER::ChangeDisplaySettings failed ! "), std::string::npos) << out;
  EXPECT_NE(out.find(" PROGRAM: -- ERROR: at gldriver "), std::string::npos) << out;
  EXPECT_FALSE(LogHas("GL_RENDERER"));
}

TEST_F(EndToEnd, FatalErrorAfterStartBlocksUntilTheBoxIsDismissed) {
  // A track list without tracks fails in the director's start-up, after the driver exists.
  fs::create_directories("pack/data");
  WriteWholeFile("pack/data/mods.dat", "0\r\n");
  ASSERT_EQ(system((BinaryDir() + "/tmpack create tunemill.dat --store pack >/dev/null").c_str()), 0);
  program.Start();
  std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << ReadWholeFile("stdout.txt") << ReadWholeFile("stderr.txt")
                               << RunCommand("xwininfo -root -children").out;
  Keys(dialog, "Return");
  ASSERT_FALSE(FindWindow("ERROR", 60).empty());
  // Still waiting for the listener.
  EXPECT_EQ(program.Wait(1), -1);
  DismissErrorBox();
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_TRUE(LogHas(" PROGRAM: -- ERROR: at demo 31 : Format error ! [Bad number of XMs] "));
  EXPECT_TRUE(LogHas("GL_RENDERER"));
}

TEST_F(EndToEnd, WithoutADisplayEndsSilentlyWithCodeZero) {
  program.Start(false);
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_EQ(ReadWholeFile("stdout.txt"), "");
  EXPECT_EQ(ReadWholeFile("stderr.txt"), "");
  EXPECT_FALSE(LogHas("ERROR"));
}

TEST_F(EndToEnd, MissingArchiveIsFatalBeforeAnyWindow) {
  fs::remove("tunemill.dat");
  program.Start(false);
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_NE(ReadWholeFile("stdout.txt").find(" PROGRAM: -- ERROR: at extr "), std::string::npos);
  EXPECT_EQ(ReadWholeFile("stderr.txt"), "ERROR: Cannot open resource file !\n");
}

}  // namespace
