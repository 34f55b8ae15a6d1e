// The scenes and overlays in a real context of 512 x 512 pixels (so the overlays' 1/512 units are pixels),
// with plain white pictures and generated music played through the real player on SDL's dummy audio.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "director/metaball_scene.h"
#include "effects/efx1.h"
#include "effects/efx2.h"
#include "effects/efx3.h"
#include "effects/tknot.h"
#include "gltestkit.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "modwrite/modwrite.h"
#include "music/music.h"
#include "picture_writers.h"
#include "shell/shell.h"
#include "testkit.h"

namespace {

struct V {
  double x, y, z;
  V operator+(V b) const { return {x + b.x, y + b.y, z + b.z}; }
  V operator-(V b) const { return {x - b.x, y - b.y, z - b.z}; }
  V operator*(double k) const { return {x * k, y * k, z * k}; }
};
double Dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V Unit(V a) { return a * (1 / sqrt(Dot(a, a))); }

using PIXELS = std::function<bool(int x, int y)>;

PIXELS Rect(int x0, int y0, int x1, int y1) {
  return [=](int x, int y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

// Pixels whose view ray passes within `radius` of the origin, seen from `eye` looking at `look`, z up,
// vertical field of view `fov` degrees at aspect 1: where a scene inside that sphere can draw.
PIXELS NearOrigin(V eye, V look, double fov, double radius) {
  const V f = Unit(look - eye), s = Unit(Cross(f, {0, 0, 1})), u = Cross(s, f);
  const double h = tan(fov * M_PI / 360);
  return [=](int x, int y) {
    const V ray = Unit(f + s * (((x + 0.5) / 256 - 1) * h) + u * ((1 - (y + 0.5) / 256) * h));
    const V toOrigin = eye * -1;
    const V miss = toOrigin - ray * Dot(toOrigin, ray);
    return sqrt(Dot(miss, miss)) <= radius;
  };
}

// Plain IT songs at full mixing volume, as the player loads them.
modwrite::Module Song(modwrite::Instrument instrument, std::vector<int> panning, int notes) {
  modwrite::Module m;
  m.format = modwrite::Format::IT;
  m.channels = 2;
  m.mixVolume = 128;
  m.channelPanning = panning;
  m.instruments = {instrument};
  modwrite::Pattern &p = m.AddPattern(64);
  for (int c = 0; c < notes; c++) p.At(0, c) = {modwrite::kMiddleC, 1, 64};
  m.orders = {0, 0, 0};
  return m;
}

// Full-scale square notes held from the start, channel 0 panned to `pan0` (0 left, 255 right) and, when
// `both`, channel 1 hard right as well: levels of exactly 0.5 or 1 per channel.
modwrite::Module Square(int pan0, bool both) {
  modwrite::Instrument square;
  square.sample.data = modwrite::SquareWave(64, 4096);
  square.sample.loop = modwrite::Loop::Forward;
  square.sample.loopEnd = 4096;
  return Song(square, {pan0, 255}, both ? 2 : 1);
}

// A steady 3 kHz sine in the middle. The spectrum reads 64 stereo frames as 128 values at 44.1 kHz, so it
// sees the tone near 1.5 kHz (with the square wave that the unsigned reading adds): band 4, 1000-3000 Hz.
modwrite::Module Tone() {
  modwrite::Instrument sine;
  for (int k = 0; k < 441; k++) sine.sample.data.push_back((int16_t)lround(8000 * sin(2 * M_PI * 3000 * k / 44100)));
  sine.sample.loop = modwrite::Loop::Forward;
  sine.sample.loopEnd = 441;
  sine.sample.rate = 44100;
  return Song(sine, {128, 128}, 1);
}

void Play(const modwrite::Module &song) {
  ASSERT_TRUE(modwrite::Save(song, "song.it"));
  MusicInit("song.it");
}

void InitAll() {
  ParticlesInit();
  SpectrumInit();
  MateffInit();
  TorusKnotInit();
  GL_MATERIAL settings;
  MetaballSceneMaterial(settings);
  MyMetaballs = new (__LINE__, "test") METABALLS(3, settings);
}

void FreeAll() {
  TorusKnotFree();
  MateffFree();
  SpectrumFree();
  ParticlesFree();
  delete MyMetaballs;
  MyMetaballs = nullptr;
}

// The frame cleared to a dark blue that no drawer produces over it.
const uint8_t kMarker[3] = {0, 0, 128};
void ClearToMarker() {
  glClearColor(0, 0, 128 / 255.0f, 0);
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Pixels that differ from the marker, counted where `where` holds and where it does not.
void CountDrawn(const FRAME &frame, const PIXELS &where, int *inside, int *outside) {
  *inside = *outside = 0;
  for (int y = 0; y < frame.Height; y++)
    for (int x = 0; x < frame.Width; x++) {
      const uint8_t *p = frame.At(x, y);
      const bool drawn = abs(p[0] - kMarker[0]) > 8 || abs(p[1] - kMarker[1]) > 8 || abs(p[2] - kMarker[2]) > 8;
      if (drawn) ++*(where(x, y) ? inside : outside);
    }
}

// Blocks the tracked allocator holds, from its report in the log.
int LiveBlocks() {
  AllocReport();
  const std::string log = ReadWholeFile("program.log");
  const std::string report = log.substr(log.rfind("Alloc Raport"));
  int count = 0;
  for (size_t at = report.find("still allocated"); at != std::string::npos; at = report.find("still allocated", at + 1))
    count++;
  return count;
}

class Scenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir_ = new ScopedTempDir;
    mkdir("data", 0755);
    for (const char *name : {"data/meta1.jpg", "data/meta2.jpg", "data/sbar.jpg", "data/tack1b.jpg", "data/tack1e.jpg",
                             "data/tack2b.jpg", "data/tack2e.jpg", "data/tk1.jpg", "data/tk2.jpg"})
      WriteWholeFile(name, Jpeg(8, 8, std::vector<uint32_t>(64, 0xFFFFFF), 3));
    WriteWholeFile("data/parts.png", Png(8, 8, 2, 8, std::vector<uint16_t>(192, 255)));
    OpenTestDriver(512, 512);
    InitAll();
  }
  static void TearDownTestSuite() {
    FreeAll();
    CloseTestDriver();
    delete dir_;
  }
  void TearDown() override { MusicShutdown(); }
  static ScopedTempDir *dir_;
};
ScopedTempDir *Scenes::dir_ = nullptr;

TEST_F(Scenes, EachDrawerPaintsOnlyInItsRegionAndKeepsWhatTheFrameHolds) {
  const struct {
    const char *what;
    int frames;
    std::function<void()> draw;
    PIXELS where;
  } rows[] = {
      // Without music every particle is born at (480, 444) and flies left for at most 40 units at speed
      // 3 or 4; it is drawn only while x + 8 >= 310.
      {"particles", 80, [] { ParticlesDraw(1); }, Rect(294, 436, 488, 452)},
      // Balls of radius 1, 1.5 and 2.5 at most 7.9, 9.5 and 6.8 grid units from the centre: beyond 13 units
      // their field sums to less than 1.02, below the surface's 1.08, and a vertex lies on a cell edge with
      // one end inside. 6 world units a grid unit.
      {"metaballs", 40, [] { MetaballSceneDraw(0); }, NearOrigin({1, 250, 0}, {-20, 1, 1}, 40, 84)},
      {"tentacles", 1, [] { MateffDraw(1); }, Rect(0, 0, 512, 512)},
      // The level-0 knot: curve radius 50 / (2.2 - sin 5u) * sqrt(1 + cos^2 5u) <= 42, tube <= 6 * 1.5.
      {"knot", 1, [] { TorusKnotDraw(100); }, NearOrigin({170, 130, 150}, {-78, 1, -38}, 45, 51)},
      {"fly-in-0", 1, [] { TorusKnotDrawIntro(0); }, NearOrigin({1100, 1100, 1100}, {0, 0, 0}, 40, 51)},
      {"fly-in-0.2", 1, [] { TorusKnotDrawIntro(0.2f); }, NearOrigin({100, 100, 100}, {0, 0, 0}, 40, 51)},
  };
  for (const auto &row : rows) {
    for (int frame = 0; frame < row.frames; frame++) {
      ClearToMarker();
      row.draw();
    }
    const FRAME frame = ReadFrame();
    int inside, outside;
    CountDrawn(frame, row.where, &inside, &outside);
    EXPECT_GT(inside, 50) << row.what;
    EXPECT_EQ(outside, 0) << row.what;
    EXPECT_TRUE(std::equal(kMarker, kMarker + 3, frame.At(0, 0))) << row.what << ": the colour buffer is kept";
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << row.what;
    SaveFramePng(frame, std::string(TUNEMILL_BINARY_DIR "/scenes-") + row.what + ".png");
  }
}

TEST_F(Scenes, ParticlesAreBornAtTheSourceAndALevelJumpSendsThemLowerTurnedAndWhiter) {
  const struct {
    bool music;
    float y, turn, whiteFrom;
  } rows[] = {{false, 444, 0, 0}, {true, 484, (float)(-M_PI / 8), 0.5f}};
  for (const auto &row : rows) {
    ParticlesDraw(0);   // the dead are reborn
    ParticlesDraw(40);  // and every one lives out its life
    if (row.music) {
      Play(Square(0, false));
      ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 0.5f; }));
    }
    ClearToMarker();
    ParticlesDraw(0);  // all reborn at this frame's level change
    for (const PARTICLE &p : gParticles) {
      ASSERT_TRUE(p.x == 480 && p.y == row.y && p.r == 1) << p.x << " " << p.y << " " << p.r;
      ASSERT_TRUE(p.g >= row.whiteFrom && p.g < 1 && p.b >= row.whiteFrom && p.b < 1) << p.g << " " << p.b;
      const float speed = hypotf(p.vx, p.vy);
      ASSERT_TRUE(fabsf(speed - 3) < 1e-5f || fabsf(speed - 4) < 1e-5f) << speed;
      ASSERT_NEAR(atan2f(p.vy, p.vx), M_PI + row.turn, 1e-5) << "a turn from straight left";
    }
    int inside, outside;
    CountDrawn(ReadFrame(), Rect(472, (int)row.y - 8, 488, (int)row.y + 8), &inside, &outside);
    EXPECT_EQ(inside, 256);
    EXPECT_EQ(outside, 0);
  }
}

TEST_F(Scenes, ASteadyToneRaisesItsBarTowardTheTopWhileTheOthersSink) {
  Play(Tone());
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.05f; }));
  for (int frame = 0; frame < 24; frame++) {
    ClearToMarker();
    SpectrumDraw();
  }
  const FRAME frame = ReadFrame();
  for (int bar = 0; bar < SPECTRUM_BANDS; bar++) {
    int height, elsewhere;
    CountDrawn(frame, Rect(320 + 17 * bar + 8, 0, 320 + 17 * bar + 9, 500), &height, &elsewhere);
    // Each hit closes a quarter of the gap to 100 (24 in a row: 99.9); a bar not hit loses a quarter.
    if (bar == 4)
      EXPECT_GE(height, 95);
    else
      EXPECT_EQ(height, 0) << "bar " << bar;
  }
  int inside, outside;
  CountDrawn(frame, Rect(320, 400, 473, 500), &inside, &outside);
  EXPECT_EQ(outside, 0);
  SaveFramePng(frame, TUNEMILL_BINARY_DIR "/scenes-spectrum.png");
}

TEST_F(Scenes, TheKnotFollowsTheLevel) {
  const struct {
    bool music;
    float curve, tube, depth;
  } rows[] = {{false, 25, 6, 0.5f}, {true, 29, 8, 2.5f}};
  for (const auto &row : rows) {
    if (row.music) {
      Play(Square(0, true));
      ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 1; }));
    }
    TorusKnotDraw(0);
    EXPECT_EQ(std::vector<float>({mxTorusKnot->CurveRadius, mxTorusKnot->TubeRadius, mxTorusKnot->BulgeDepth,
                                  mxTorusKnot->BulgePhase, mxTorusKnot->Twist}),
              std::vector<float>({row.curve, row.tube, row.depth, 0, 20}));
  }
}

TEST_F(Scenes, TheFlyInCameraComesDownTheDiagonalInTheFirstFifth) {
  const float rows[][2] = {{0, 1100}, {0.1f, 600}, {0.2f, 100}, {0.7f, 100}};
  for (const auto &row : rows) {
    TorusKnotDrawIntro(row[0]);
    // The eye in model space is -R^T t; it lies on the axis the knot turns about, so the turn keeps it.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int axis = 0; axis < 3; axis++)
      EXPECT_NEAR(-(m[axis * 4] * m[12] + m[axis * 4 + 1] * m[13] + m[axis * 4 + 2] * m[14]), row[1], row[1] * 1e-4)
          << "x " << row[0] << " axis " << axis;
  }
}

TEST_F(Scenes, TheFirstBundlesCameraRollsWithTheRightLevelAndBack) {
  MateffDraw(0);
  const struct {
    bool music;
    float roll;
  } rows[] = {{true, 0.125f}, {false, 0}};
  for (const auto &row : rows) {
    if (row.music)
      Play(Square(255, false));
    else
      MusicShutdown();
    ASSERT_TRUE(WaitFor([&] { return MusicGetRightLevel() == (row.music ? 1 : 0); }));
    MateffDraw(1);
    EXPECT_NEAR(atan2f(-MateffTackle1->up.y, MateffTackle1->up.z), row.roll, 1e-5);
    EXPECT_NEAR(atan2f(-MateffTackle2->up.y, MateffTackle2->up.z), 0, 1e-5) << "the left level stays 0";
  }
}

TEST_F(Scenes, WithoutMusicTheMetaballsSettleAtTheirSmallestRadii) {
  for (int frame = 0; frame < 40; frame++) MetaballSceneDraw(frame);
  const float radii[] = {1, 1.5f, 2.5f};
  for (int ball = 0; ball < 3; ball++) EXPECT_FLOAT_EQ(MyMetaballs->Balls[ball].radius, radii[ball]) << ball;
}

TEST_F(Scenes, NoDrawAllocatesAfterItsFirstFrame) {
  const struct {
    const char *what;
    std::function<void()> draw;
  } rows[] = {{"particles", [] { ParticlesDraw(1); }},     {"spectrum", [] { SpectrumDraw(); }},
              {"tentacles", [] { MateffDraw(1); }},        {"knot", [] { TorusKnotDraw(5); }},
              {"fly-in", [] { TorusKnotDrawIntro(0.3f); }}, {"metaballs", [] { MetaballSceneDraw(5); }}};
  for (const auto &row : rows) {
    row.draw();
    const int64_t total = AllocTotal();
    const int blocks = LiveBlocks();
    for (int frame = 0; frame < 3; frame++) row.draw();
    EXPECT_EQ(AllocTotal(), total) << row.what;
    EXPECT_EQ(LiveBlocks(), blocks) << row.what;
  }
}

TEST_F(Scenes, FreeingEveryEffectReleasesEveryTexture) {
  EXPECT_NE(GlDriver->TextureList, nullptr);
  FreeAll();
  EXPECT_EQ(GlDriver->TextureList, nullptr);
  InitAll();
}

}  // namespace
