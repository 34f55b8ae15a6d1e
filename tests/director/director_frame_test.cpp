// The director in-process on a real 640 x 480 window and driver, with the disk's pictures and three
// generated tracks read straight from the working folder (no archive), sound through SDL's dummy driver.
// The tests set the input state and the clock as the window procedure and the tick count would.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>

#include "director/director.h"
#include "director/director_local.h"
#include "director/modinfo.h"
#include "gltestkit.h"
#include "modwrite/modwrite.h"
#include "music/music.h"
#include "music/sound.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"
#include "support/misc.h"
#include "testkit.h"
#include "thumbnail.h"

namespace {

const int kWidth = 640, kHeight = 480;

// Tracks of ten orders of 64 rows (77 s), titled by their number.
void WriteTracks(int count) {
  std::string list = std::to_string(count) + "\r\n";
  for (int i = 0; i < count; i++) {
    std::string song = "data/song" + std::to_string(i) + ".xm", info = "data/song" + std::to_string(i) + ".txt";
    list += info + "\r\n";
    WriteWholeFile(info, song + "\r\nTitle " + std::to_string(i) + "\r\nSecond " + std::to_string(i) +
                             "\r\nInfo line of track " + std::to_string(i) + "\r\n");
    modwrite::Module module = modwrite::SquareTestModule(modwrite::Format::XM, 64);
    module.orders.assign(10, 0);
    ASSERT_TRUE(modwrite::Save(module, song));
  }
  WriteWholeFile("data/mods.dat", list);
}

uint32_t HeardOrder() { return MusicGetPosition() & 0xFFFF; }

class Show : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sDir = new ScopedTempDir;
    const std::string disk = BinaryDir() + "/data/disk/data/*.";
    ASSERT_EQ(RunCommand("mkdir data && cp " + disk + "jpg " + disk + "gif " + disk + "png data").exitCode, 0);
    WriteTracks(3);
    OpenTestDriver(kWidth, kHeight);
    sAllocated = AllocTotal();
    DirectorStart();
  }
  static void TearDownTestSuite() {
    CloseTestDriver();
    delete sDir;
  }
  // Normal play after the opening, nothing pressed, full volume.
  void SetUp() override {
    IntroRunning = Ending = KnobGrabbed = KeyDown = MouseButtons = 0;
    IntroStart = EndStart = CoverOpaque = 0.0f;
    AppActive = 1;
    MusicSetVolume(1.0f);
  }
  // One frame with the pointer at panel point (x, y) and the button-and-key word `buttons`.
  static void Frame(float x, float y, int32_t buttons) {
    MouseX = (int32_t)(x * kWidth / kPanelUnits);
    MouseY = (int32_t)(y * kHeight / kPanelUnits);
    MouseButtons = buttons;
    DirectorFrame();
  }
  // The frame just shown, as a thumbnail.
  static std::vector<int> Shown(const char *name) {
    SaveFramePng(ReadFrame(), name);
    return Thumbnail(name);
  }
  static std::map<std::string, std::vector<int>> Pictures(std::initializer_list<const char *> names) {
    std::map<std::string, std::vector<int>> pictures;
    for (const char *name : names) pictures[name] = Thumbnail(std::string("data/") + name + ".jpg");
    return pictures;
  }

  static ScopedTempDir *sDir;
  static int64_t sAllocated;
};
ScopedTempDir *Show::sDir;
int64_t Show::sAllocated;

// Each row is one frame from normal play, the opening or the closing: a click at panel point (x, y), a
// key, or the end of the song. A consumed click leaves the button word -1, a key taken leaves no key.
TEST_F(Show, ButtonsKeysAndTheSongsEndActInTheirPhases) {
  const struct {
    const char *what;
    float x, y;
    int32_t buttons, key, ended, intro, ending;
    uint32_t trackBefore, trackAfter, overlaySteps;
    int32_t endingAfter, buttonsAfter, keyAfter;
  } rows[] = {
      {"next", 450, 300, 1, 0, 0, 0, 0, 1, 2, 0, 0, -1, 0},     {"previous", 347, 307, 1, 0, 0, 0, 0, 0, 2, 0, 0, -1, 0},
      {"Shift + next", 450, 300, 5, 0, 0, 0, 0, 1, 1, 0, 0, 5, 0}, {"scene", 300, 402, 1, 0, 0, 0, 0, 1, 1, 1, 0, -1, 0},
      {"spare", 489, 8, 1, 0, 0, 0, 0, 1, 1, 0, 0, -1, 0},      {"close", 503, 8, 1, 0, 0, 0, 0, 1, 1, 0, 1, -1, 0},
      {"pixel (400, 240)", 320, 256, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0},
      {"next in the opening", 450, 300, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0},
      {"next while ending", 450, 300, 1, 0, 0, 0, 1, 1, 1, 0, 1, 1, 0},
      {"F at the last", 0, 0, 0, 'F', 0, 0, 0, 2, 0, 0, 0, 0, 0},
      {"B at the first", 0, 0, 0, 'B', 0, 0, 0, 0, 2, 0, 0, 0, 0},
      {"B", 0, 0, 0, 'B', 0, 0, 0, 2, 1, 0, 0, 0, 0},            {"Escape", 0, 0, 0, 27, 0, 0, 0, 1, 1, 0, 1, 0, 0},
      {"Escape in the opening", 0, 0, 0, 27, 0, 1, 0, 1, 1, 0, 0, 0, 27},
      {"F while ending", 0, 0, 0, 'F', 0, 0, 1, 1, 1, 0, 1, 0, 'F'},
      {"song end in the opening", 0, 0, 0, 0, 1, 1, 0, 1, 2, 0, 0, 0, 0},
      {"song end in play", 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 0, 0},
      {"song end while ending", 0, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0},
  };
  for (const auto &row : rows) {
    SetUp();
    IntroRunning = row.intro;
    Ending = row.ending;
    CurrentMod = row.trackBefore;
    KeyDown = row.key;
    gMusicEnded.store(row.ended);
    uint32_t overlay = OverlayIndex;
    Frame(row.x, row.y, row.buttons);
    EXPECT_EQ(CurrentMod, row.trackAfter) << row.what;
    EXPECT_EQ(OverlayIndex - overlay, row.overlaySteps) << row.what;
    EXPECT_EQ(Ending, row.endingAfter) << row.what;
    EXPECT_EQ(MouseButtons, row.buttonsAfter) << row.what;
    EXPECT_EQ(KeyDown, row.keyAfter) << row.what;
  }
}

TEST_F(Show, NineScenePressesWalkEveryCombinationOfSceneAndOverlay) {
  const uint32_t walk[9][2] = {{0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}, {0, 0}};
  SceneIndex = OverlayIndex = 0;
  for (const auto &step : walk) {
    Frame(300, 400, 1);
    EXPECT_EQ(SceneIndex % 3, step[0]);
    EXPECT_EQ(OverlayIndex % 4, step[1]);
  }
}

TEST_F(Show, TheKnobLetGoAtTheFarRightSeeksTheEndAndTheNextTrackStarts) {
  uint32_t track = CurrentMod;
  Frame(0, 0, 0);
  Frame(332, 355, 1);
  EXPECT_EQ(KnobGrabbed, 1);
  Frame(340, 355, 1);
  EXPECT_EQ(KnobGrabbed, 1);
  EXPECT_EQ(HeardOrder(), 0u) << "no seek while the knob is held";
  Frame(511, 355, 1);
  EXPECT_EQ(KnobGrabbed, 0);
  EXPECT_TRUE(WaitFor([&] {
    Frame(0, 0, 0);
    return CurrentMod == (track + 1) % 3;
  }));
}

TEST_F(Show, HoldingStepForwardWalksOrderByOrderIntoTheNextTrack) {
  uint32_t track = CurrentMod, order = 0;
  MusicPlay(ModInfos[track].ModFile);
  std::vector<uint32_t> heard;
  EXPECT_TRUE(WaitFor([&] {
    Frame(486, 355, 1);
    if (CurrentMod == track && HeardOrder() != order) heard.push_back(order = HeardOrder());
    return CurrentMod != track;
  }, 10, 0));
  EXPECT_EQ(heard, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  // The next track is walked in its turn, not ended at once by the last one's place on the slider.
  EXPECT_TRUE(WaitFor([&] {
    Frame(486, 355, 1);
    return HeardOrder() >= 2 || CurrentMod != (track + 1) % 3;
  }, 10, 0));
  EXPECT_EQ(CurrentMod, (track + 1) % 3);
}

TEST_F(Show, ArrowKeysStepOneOrder) {
  const struct {
    uint32_t from;
    int32_t key;
    uint32_t to;
  } rows[] = {{5, VK_LEFT, 4}, {5, VK_RIGHT, 6}, {1, VK_LEFT, 0}, {9, VK_LEFT, 8}};
  for (const auto &row : rows) {
    MusicSeek((row.from + 0.5f) / 10);
    ASSERT_TRUE(WaitFor([&] {
      Frame(0, 0, 0);
      return HeardOrder() == row.from;
    }));
    Frame(0, 0, 0);  // the slider follows
    KeyDown = row.key;
    EXPECT_TRUE(WaitFor([&] {
      Frame(0, 0, 0);
      return HeardOrder() == row.to;
    })) << row.from << " " << row.key;
  }
}

TEST_F(Show, ThePanelShowsEachTracksTextsAndTheHighlightTurnsRedWhilePressed) {
  // Over black, at one clock value, the pointer on the spare button: only the texts and the press differ.
  auto panel = [](uint32_t track, int32_t buttons) {
    CurrentMod = track;
    SceneClock = 100.0f;
    MouseX = 489 * kWidth / 512, MouseY = 8 * kHeight / 512, MouseButtons = buttons;
    glClear(GL_COLOR_BUFFER_BIT);
    PlayerScreenFrame();
    return ReadFrame();
  };
  const FRAME first = panel(0, 0), second = panel(1, 0), pressed = panel(0, 1);
  EXPECT_GT(MaxDifference(first, second, Part(first, 306 / 512., 27 / 512., 508 / 512., 129 / 512.)), 48);
  EXPECT_GT(MaxDifference(first, second, Part(first, 306 / 512., 139 / 512., 508 / 512., 252 / 512.)), 48);
  auto green = [](const FRAME &f) {
    const REGION r = Part(f, 484 / 512., 2 / 512., 494 / 512., 15 / 512.);
    int64_t sum = 0;
    for (int32_t y = r.Y0; y < r.Y1; y++)
      for (int32_t x = r.X0; x < r.X1; x++) sum += f.At(x, y)[1];
    return sum;
  };
  EXPECT_LT(green(pressed) * 10, green(first) * 7) << "the marker turns red";
}

TEST_F(Show, TheOpeningShowsTheCoversByTheClock) {
  const auto pictures = Pictures({"begcv0", "begcv1", "panel1", "panel5"});
  const struct {
    float seconds;
    const char *picture;
  } rows[] = {{1, "begcv0"}, {5, "begcv1"}, {10, "begcv1"}, {11.5f, "panel"}};
  for (const auto &row : rows) {
    IntroRunning = 1;
    IntroStart = 1.0f;
    SceneClock = 1.0f + row.seconds * kClockUnitsPerSecond;
    LastTick = 0;
    // The panel shines through at 0.4 over what the frames before left.
    for (int i = 0; i < 20; i++) Frame(0, 0, 0);
    std::string shown = NearestPicture(Shown(("opening-" + std::to_string(row.seconds) + ".png").c_str()), pictures);
    EXPECT_EQ(shown.substr(0, strlen(row.picture)), row.picture) << row.seconds << " s";
  }
  SceneClock = 1.0f + 12.1f * kClockUnitsPerSecond;
  Frame(0, 0, 0);
  EXPECT_EQ(IntroRunning, 0);
}

TEST_F(Show, TheClosingFadesPictureAndMusicOutAndQuitsAfterTenSeconds) {
  const auto pictures = Pictures({"endcvr", "theend", "panel1", "panel5"});
  const struct {
    float e;  // sevenths of the sequence
    const char *picture;
    uint32_t volume;
    bool quit;
  } rows[] = {{1.5f, "endcvr", 100, false}, {3, "endcvr", 100, false}, {5, "theend", 100, false},
              {6.5f, "theend", 50, false},  {6.99f, "", 1, false}, {7.01f, "", 0, true}};
  for (const auto &row : rows) {
    Ending = 1;
    EndStart = 1.0f;
    SceneClock = 1.0f + row.e * kClosingLength / 7;
    LastTick = 0;
    Frame(0, 0, 0);
    if (*row.picture) {
      EXPECT_EQ(NearestPicture(Shown("closing.png"), pictures), row.picture) << row.e;
    }
    EXPECT_NEAR(SoundGetVolume(), row.volume, 1) << row.e;
    PLATFORM_MESSAGE message = {};
    bool quit = false;
    while (PlatformTakeMessage(&message)) quit |= message.Kind == PM_QUIT;
    EXPECT_EQ(quit, row.quit) << row.e;
  }
}

TEST_F(Show, TheLevelHistoryDrawsTwoGraphsAndHoldsTheRightOneAt390) {
  std::fill(LevelHistoryRight, LevelHistoryRight + 16, 60.0f);
  std::fill(LevelHistoryLeft, LevelHistoryLeft + 16, 20.0f);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  LevelHistoryDraw();
  FRAME frame = ReadFrame();
  SaveFramePng(frame, "history.png");
  // Segments 4 to 13 (the first ones are too dark to count, the last one ends at this frame's level).
  const double x0 = (320 + 4 * 10.625) / 512, x1 = (320 + 14 * 10.625) / 512;
  EXPECT_GT(CountLit(frame, Part(frame, x0, 388.0 / 512, x1, 392.0 / 512)), 0) << "right graph at 390";
  EXPECT_EQ(CountLit(frame, Part(frame, x0, 370.0 / 512, x1, 385.0 / 512)), 0) << "nothing above 390";
  EXPECT_GT(CountLit(frame, Part(frame, x0, 473.0 / 512, x1, 477.0 / 512)), 0) << "left graph at 475";
}

TEST_F(Show, ShutdownReleasesEverythingAndOneTrackAlwaysStartsFirst) {
  DirectorShutdown();
  EXPECT_EQ(AllocTotal(), sAllocated);
  float clock = SceneClock;
  DirectorFrame();
  EXPECT_EQ(SceneClock, clock) << "frames after shutdown do nothing";
  WriteTracks(1);
  CurrentMod = 7;
  DirectorStart();
  EXPECT_EQ(CurrentMod, 0u);
  DirectorShutdown();
  EXPECT_EQ(AllocTotal(), sAllocated);
}

}  // namespace
