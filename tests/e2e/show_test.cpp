// The show as only the real program can prove it, under Xvfb and driven with xdotool: the minimise button's
// request to the window manager, Escape's closing sequence with the recorded music fading out, and the
// gallery script walking the nine scene and overlay combinations and leaving by the close button.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "modwrite/modwrite.h"
#include "program.h"
#include "testkit.h"
#include "thumbnail.h"

namespace {

// Pointer press and release a few frames apart at window pixel (x, y); keys likewise.
void Press(int x, int y) {
  RunCommand("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1 sleep 0.15 mouseup 1");
}

TEST(Show, MinimiseAsksTheWindowManagerAndEscapeFadesTheMusicOutAndQuitsTenSecondsLater) {
  ScopedTempDir dir;
  // The build's pictures and one track of a steady square wave, so that the recording shows the fade.
  const std::string disk = BinaryDir() + "/data/disk/data/*.";
  ASSERT_EQ(RunCommand("mkdir -p pack/data; cp " + disk + "jpg " + disk + "gif " + disk + "png pack/data").exitCode, 0);
  WriteWholeFile("pack/data/mods.dat", "1\r\ndata/one.txt\r\n");
  WriteWholeFile("pack/data/one.txt", "data/one.xm\r\nOne\r\nSquare\r\n");
  modwrite::Module song = modwrite::SquareTestModule(modwrite::Format::XM, 256);
  song.tempo = 60;  // one note held for 64 s, never struck again
  ASSERT_TRUE(modwrite::Save(song, "pack/data/one.xm"));
  ASSERT_EQ(RunCommand(BinaryDir() + "/tmpack create tunemill.dat pack").exitCode, 0);

  // Listens from the start for what the program asks of the window manager.
  RunCommand("(timeout 120 xev -root -event substructure > xev.txt 2>&1 &)");
  Program program;
  std::string why;
  ASSERT_TRUE(program.StartAndAccept(&why, true)) << why;
  // Xvfb has no window manager to act on the request, so the window stays, without frames until it is
  // activated again. The button does nothing during the opening.
  EXPECT_TRUE(WaitFor([] {
    Press(475 * 640 / 512, 8 * 480 / 512);
    return ReadWholeFile("xev.txt").find("WM_CHANGE_STATE") != std::string::npos;
  }, 60, 0.5));
  const std::string window = FindWindow("Tunemill", 10);  // by now the one behind the pixel format
  RunCommand("xdotool windowfocus --sync $(xwininfo -root | awk '/Window id/{print $4}') sleep 0.3 windowfocus --sync " +
             window + " sleep 1 keydown Escape sleep 0.15 keyup Escape");
  const auto escape = std::chrono::steady_clock::now();
  EXPECT_EQ(program.Wait(30), 1);
  EXPECT_NEAR(std::chrono::duration<double>(std::chrono::steady_clock::now() - escape).count(), 10.0, 1.5);
  const std::string log = ReadWholeFile("program.log");
  EXPECT_EQ(log.substr(log.find("\n PROGRAM: -- DEBUG: Alloc Raport: ")),
            "\n PROGRAM: -- DEBUG: Alloc Raport: \n PROGRAM: -- DEBUG: End of alloc raport.");

  // The loudest sample of each tenth of a second of the last two: full until the last 1.4 s (330 / 7
  // units), then falling in a straight line to silence.
  const std::string audio = ReadWholeFile("audio.raw");
  const size_t tenth = 4410 * 4, end = audio.size() / 4 * 4;
  ASSERT_GT(end, 30 * tenth);
  auto peak = [&](int k) {  // k tenths before the end
    int most = 0;
    for (size_t i = end - k * tenth; i < end - (k - 1) * tenth; i += 2)
      most = std::max(most, std::abs((int16_t)((uint8_t)audio[i] | (uint8_t)audio[i + 1] << 8)));
    return most;
  };
  const double full = peak(20);
  ASSERT_GT(full, 1000);
  // The volume is set once a frame, so a slow frame holds a step of the fade a little longer.
  for (int k = 20; k >= 1; k--) {
    EXPECT_NEAR(peak(k) / full, std::min(1.0, k / 14.3), 0.25) << k << " tenths";
    EXPECT_LE(peak(k), peak(k + 1) + full / 20) << k << " tenths";
  }
}

TEST(Show, TheGalleryScriptWalksTheNineCombinationsAndLeavesByTheCloseButton) {
  ScopedTempDir dir;
  ASSERT_EQ(RunCommand(std::string(TUNEMILL_SOURCE_DIR) + "/scripts/screenshots shots").exitCode, 0);
  std::vector<std::vector<int>> panels;
  for (const char *scene : {"metaballs", "tentacles", "knot"})
    for (const char *overlay : {"history", "particles", "bars"}) {
      panels.push_back(Thumbnail("shots/panel-" + std::string(scene) + "-" + overlay + ".png"));
      EXPECT_GT(ThumbnailDistance(panels.back(), std::vector<int>(panels.back().size(), 0)), 8) << scene << overlay;
    }
  for (size_t i = 0; i < panels.size(); i++)
    for (size_t j = 0; j < i; j++) EXPECT_GT(ThumbnailDistance(panels[i], panels[j]), 0.5) << i << " " << j;
  for (const char *name : {"opening-1s", "opening-5s", "opening-10s", "opening-11.5s", "closing-4.5s", "closing-7.5s"})
    EXPECT_TRUE(FileExists(std::string("shots/") + name + ".png")) << name;
}

}  // namespace
