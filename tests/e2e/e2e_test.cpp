// End-to-end runs of build/tunemill: the setup dialog, the start, the shutdown paths and the windowed drag.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "modwrite/modwrite.h"
#include "program.h"
#include "testkit.h"

namespace fs = std::filesystem;

namespace {

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(getenv("DISPLAY")) << "runs under scripts/with-xvfb";
    if (fs::exists(BinaryDir() + "/tunemill.dat")) {
      fs::copy_file(BinaryDir() + "/tunemill.dat", "tunemill.dat");
      return;
    }
    // Without the disk: one track, a module of 64 rows (7.7 s) holding a full-scale square wave.
    fs::create_directories("pack/data");
    WriteWholeFile("pack/data/mods.dat", "1\r\ndata/track1.txt\r\n");
    WriteWholeFile("pack/data/track1.txt", "data/square.xm\r\nSquare\r\nWave\r\nGenerated for the tests\r\n");
    ASSERT_TRUE(modwrite::Save(modwrite::SquareTestModule(modwrite::Format::XM, 64), "pack/data/square.xm"));
    Pack("--huffman");
  }
  static void Pack(const std::string &mode) {
    ASSERT_EQ(RunCommand(BinaryDir() + "/tmpack create tunemill.dat " + mode + " pack").exitCode, 0);
    fs::remove_all("pack");
  }
  static bool LogHas(const std::string &text) { return ReadWholeFile("program.log").find(text) != std::string::npos; }
  static std::string Output() { return ReadWholeFile("stdout.txt") + ReadWholeFile("stderr.txt"); }
  static size_t LoudSamples() {
    const std::string audio = ReadWholeFile("audio.raw");
    size_t loud = 0;
    for (size_t i = 0; i + 1 < audio.size(); i += 2)
      loud += std::abs((int16_t)((uint8_t)audio[i] | (uint8_t)audio[i + 1] << 8)) > 1000;
    return loud;
  }
  void Shot(const std::string &name) {
    if (getenv("TUNEMILL_E2E_SHOTS")) Screenshot(std::string(getenv("TUNEMILL_E2E_SHOTS")) + "/" + name);
  }
  ScopedTempDir dir;
  Program program;
  std::string why;
};

TEST_F(EndToEnd, ReturnPlaysTheMusicAndSigtermShutsDownInOrder) {
  ASSERT_TRUE(program.StartAndAccept(&why)) << why;
  // Music reached the audio device (signed 16-bit stereo): more than a few milliseconds well above silence
  // (a track may begin softly).
  EXPECT_TRUE(WaitFor([] { return LoudSamples() > 441; }, 60, 0.2)) << LoudSamples();
  Shot("running.png");
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1) << Output();
  // Everything released, every temporary file gone.
  const std::string log = ReadWholeFile("program.log");
  EXPECT_EQ(log.substr(log.find("\n PROGRAM: -- DEBUG: Alloc Raport: ")),
            "\n PROGRAM: -- DEBUG: Alloc Raport: \n PROGRAM: -- DEBUG: End of alloc raport.");
  EXPECT_TRUE(TemporaryFilesLeft().empty());
}

TEST_F(EndToEnd, EscapeInTheDialogEndsWithoutADriver) {
  program.Start();
  const std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << Output();
  Shot("dialog.png");
  Keys(dialog, "Escape");
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_FALSE(LogHas("pixelformatdesctiptor"));
  EXPECT_TRUE(ReadWholeFile("audio.raw").empty());
}

TEST_F(EndToEnd, WindowedModeIsDraggedAndClampedToTheDesktop) {
  ASSERT_TRUE(program.StartAndAccept(&why, true)) << why;
  std::string window;
  ASSERT_TRUE(WaitFor([&] {
    window = FindWindow("Tunemill", 1);
    const WINDOW_GEOMETRY g = WindowGeometry(window);
    return g.x == 0 && g.y == 0 && g.width == 640 && g.height == 480;
  }, 30, 0.1));
  WaitFor([] { return LoudSamples() > 441; }, 60, 0.2);
  Shot("windowed.png");
  // Far to the right and above the top: the right edge stops at 1024, the top at 0; back past the top-left
  // corner; down by 100, where the window follows the cursor exactly.
  const int drags[][6] = {{100, 100, 1000, 40, 1024 - 640, 0}, {500, 200, 10, 5, 0, 0}, {200, 200, 250, 300, 50, 100}};
  for (const auto &d : drags) {
    RunCommand("xdotool mousemove --sync " + std::to_string(d[0]) + " " + std::to_string(d[1]) + " mousedown 3");
    for (int step = 1; step <= 8; step++)
      RunCommand("xdotool mousemove --sync " + std::to_string(d[0] + (d[2] - d[0]) * step / 8) + " " +
                 std::to_string(d[1] + (d[3] - d[1]) * step / 8));
    RunCommand("xdotool mouseup 3");
    EXPECT_TRUE(WaitFor([&] { return WindowGeometry(window).x == d[4] && WindowGeometry(window).y == d[5]; }, 10, 0.05))
        << "drag to " << d[2] << ", " << d[3] << ": at " << WindowGeometry(window).x << ", " << WindowGeometry(window).y;
  }
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1);
}

TEST_F(EndToEnd, ForcedModeTheDisplayLacksEndsWithTheDriversMessage) {
  program.Start();
  const std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << Output();
  ClickDialog(dialog, 80 + 22, 15 + 5);  // "320x240", forced: Xvfb offers only its one mode
  Keys(dialog, "Return");
  const std::string box = FindWindow("ERROR", 60);
  ASSERT_FALSE(box.empty()) << "no ERROR box";
  Keys(box, "Return");
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_NE(ReadWholeFile("stdout.txt").find(" PROGRAM: -- ERROR: at gldriver "), std::string::npos) << Output();
  EXPECT_TRUE(LogHas(" : c_GLDRIVER::ChangeDisplaySettings failed ! "));
  EXPECT_FALSE(LogHas("GL_RENDERER"));
}

TEST_F(EndToEnd, FatalErrorAfterStartBlocksUntilTheBoxIsDismissed) {
  // A track list without tracks fails in the director's start-up, after the driver exists.
  fs::create_directories("pack/data");
  WriteWholeFile("pack/data/mods.dat", "0\r\n");
  Pack("--store");
  program.Start();
  const std::string dialog = WaitForDialog();
  ASSERT_FALSE(dialog.empty()) << Output();
  Keys(dialog, "Return");
  const std::string box = FindWindow("ERROR", 60);
  ASSERT_FALSE(box.empty()) << "no ERROR box";
  EXPECT_EQ(program.Wait(1), -1) << "still waiting for the listener";
  Keys(box, "Return");
  EXPECT_EQ(program.Wait(60), 0);
  EXPECT_TRUE(LogHas(" PROGRAM: -- ERROR: at demo 31 : Format error ! [Bad number of XMs] "));
  EXPECT_TRUE(LogHas("GL_RENDERER"));
}

TEST_F(EndToEnd, WithoutADisplayEndsSilentlyWithCodeZeroAndWithoutAnArchiveFatallyBeforeAnyWindow) {
  for (bool archive : {true, false}) {
    if (!archive) fs::remove("tunemill.dat");
    program.Start(false);
    EXPECT_EQ(program.Wait(60), 0);
    EXPECT_EQ(ReadWholeFile("stderr.txt"), archive ? "" : "ERROR: Cannot open resource file !\n");
    EXPECT_EQ(ReadWholeFile("stdout.txt").substr(0, 29), archive ? "" : "\n PROGRAM: -- ERROR: at extr ");
  }
}

}  // namespace
