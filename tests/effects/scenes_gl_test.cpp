// The scenes and overlays in a real context of 512 x 512 pixels (so the overlays' 1/512 units are pixels),
// with plain white pictures and generated music played through the real player on SDL's dummy audio.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
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
    const V miss = eye * -1 - ray * Dot(eye * -1, ray);
    return sqrt(Dot(miss, miss)) <= radius;
  };
}

// The test song as an IT module at full mixing volume, as the player loads it: a looped full-scale square
// wave held from the start on `notes` channels, channel 0 panned to `pan0` (0 left, 255 right), channel 1 hard
// right, so a channel's level is exactly 0.5 or 1. Or a steady 3 kHz sine: the spectrum reads 64 stereo frames
// as 128 values at 44.1 kHz, so it sees the tone near 1.5 kHz (plus the unsigned reading's square), in band 4.
void Play(bool sine, int pan0, int notes) {
  modwrite::Module m = modwrite::SquareTestModule(modwrite::Format::IT, 200);
  m.mixVolume = 128, m.channelPanning = {pan0, 255};
  if (notes == 2) m.patterns[0].At(0, 1) = m.patterns[0].At(0, 0);
  modwrite::Sample &sample = m.instruments[0].sample;
  if (sine) {
    sample.data.clear();
    for (int k = 0; k < 441; k++) sample.data.push_back((int16_t)lround(8000 * sin(2 * M_PI * 3000 * k / 44100)));
    sample.rate = 44100, sample.loopEnd = 441;
  }
  ASSERT_TRUE(modwrite::Save(m, "song.it"));
  MusicInit("song.it");
}

// `frames` frames of `draw`, each over a frame cleared to a dark blue that no drawer produces, read back.
const uint8_t kMarker[3] = {0, 0, 128};
FRAME Draw(int frames, const std::function<void()> &draw) {
  for (int frame = 0; frame < frames; frame++) {
    glClearColor(0, 0, 128 / 255.0f, 0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw();
  }
  return ReadFrame();
}

// Pixels that differ from the marker, counted where `where` holds and where it does not.
std::pair<int, int> CountDrawn(const FRAME &frame, const PIXELS &where) {
  std::pair<int, int> drawn = {0, 0};
  for (int y = 0; y < frame.Height; y++)
    for (int x = 0; x < frame.Width; x++) {
      const uint8_t *p = frame.At(x, y);
      if (abs(p[0] - kMarker[0]) > 8 || abs(p[1] - kMarker[1]) > 8 || abs(p[2] - kMarker[2]) > 8)
        ++(where(x, y) ? drawn.first : drawn.second);
    }
  return drawn;
}

class Scenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir_ = new ScopedTempDir;
    mkdir("data", 0755);
    for (const char *name : {"meta1", "meta2", "sbar", "tack1b", "tack1e", "tack2b", "tack2e", "tk1", "tk2"})
      WriteWholeFile("data/" + std::string(name) + ".jpg", Jpeg(8, 8, std::vector<uint32_t>(64, 0xFFFFFF), 3));
    WriteWholeFile("data/parts.png", Png(8, 8, 2, 8, std::vector<uint16_t>(192, 255)));
    OpenTestDriver(512, 512);
    ParticlesInit();
    SpectrumInit();
    MateffInit();
    TorusKnotInit();
    GL_MATERIAL settings;
    MetaballSceneMaterial(settings);
    MyMetaballs = new (__LINE__, "test") METABALLS(3, settings);
  }
  static void TearDownTestSuite() {
    TorusKnotFree();
    MateffFree();
    SpectrumFree();
    ParticlesFree();
    delete MyMetaballs;
    EXPECT_EQ(GlDriver->TextureList, nullptr) << "freeing every effect releases every texture";
    CloseTestDriver();
    delete dir_;
  }
  void TearDown() override { MusicShutdown(); }
  static inline ScopedTempDir *dir_ = nullptr;
};

TEST_F(Scenes, EachDrawerPaintsOnlyInItsRegionAndKeepsWhatTheFrameHolds) {
  const struct { const char *what; int frames; std::function<void()> draw; PIXELS where; } rows[] = {
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
  };
  for (const auto &row : rows) {
    row.draw();  // only the first frame may allocate: AllocTotal changes with any block kept
    const int64_t allocated = AllocTotal();
    const FRAME frame = Draw(row.frames, row.draw);
    EXPECT_EQ(AllocTotal(), allocated) << row.what;
    const auto [inside, outside] = CountDrawn(frame, row.where);
    EXPECT_TRUE(inside > 50 && outside == 0) << row.what << ": " << inside << " inside, " << outside << " outside";
    EXPECT_TRUE(std::equal(kMarker, kMarker + 3, frame.At(0, 0))) << row.what << ": the colour buffer is kept";
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << row.what;
    SaveFramePng(frame, std::string(TUNEMILL_BINARY_DIR "/scenes-") + row.what + ".png");
  }
}

TEST_F(Scenes, ParticlesAreBornAtTheSourceALevelJumpSendsThemLowerTurnedAndWhiterAndAToneRaisesItsBar) {
  const struct { bool music; double y, turn, white; } rows[] = {{false, 444, 0, 0}, {true, 484, -M_PI / 8, 0.5}};
  for (const auto &row : rows) {
    ParticlesDraw(0);   // the dead are reborn
    ParticlesDraw(40);  // and every one lives out its life
    if (row.music) {
      Play(false, 0, 1);
      ASSERT_TRUE(WaitFor([] { return MusicGetLevel() == 0.5f; }));
    }
    const FRAME frame = Draw(1, [] { ParticlesDraw(0); });  // all reborn at this frame's level change
    for (const PARTICLE &p : gParticles) {
      ASSERT_TRUE(p.x == 480 && p.y == row.y && p.r == 1) << p.x << " " << p.y << " " << p.r;
      ASSERT_TRUE(p.g >= row.white && p.g < 1 && p.b >= row.white && p.b < 1) << p.g << " " << p.b;
      ASSERT_NEAR(fabsf(hypotf(p.vx, p.vy) - 3.5f), 0.5f, 1e-5f) << "a speed of 3 or 4";
      ASSERT_NEAR(atan2f(p.vy, p.vx), M_PI + row.turn, 1e-5) << "a turn from straight left";
    }
    EXPECT_EQ(CountDrawn(frame, Rect(472, (int)row.y - 8, 488, (int)row.y + 8)), std::make_pair(256, 0));
  }
  MusicShutdown();
  Play(true, 128, 1);
  ASSERT_TRUE(WaitFor([] { return MusicGetLevel() > 0.05f; }));
  SpectrumDraw();
  const int64_t allocated = AllocTotal();
  const FRAME frame = Draw(24, SpectrumDraw);
  EXPECT_EQ(AllocTotal(), allocated);
  // The tone's bar nears the top (each hit closes a quarter of the gap to 100); the others lose a quarter.
  for (int bar = 0; bar < SPECTRUM_BANDS; bar++) {
    const int height = CountDrawn(frame, Rect(320 + 17 * bar + 8, 0, 320 + 17 * bar + 9, 500)).first;
    EXPECT_TRUE(bar == 4 ? height >= 95 : height == 0) << "bar " << bar << ": " << height;
  }
  EXPECT_EQ(CountDrawn(frame, Rect(320, 400, 473, 500)).second, 0);
  SaveFramePng(frame, TUNEMILL_BINARY_DIR "/scenes-bars.png");
}

TEST_F(Scenes, TheKnotAndTheBundlesCamerasFollowTheLevelTheFlyInComesDownTheDiagonalAndTheLightTakesItsKind) {
  // Full-scale squares on both channels, hard left and right, then on one hard right, then silence.
  const struct { int notes, pan0; float level, curve, tube, depth, rightRoll, leftRoll; } rows[] = {
      {2, 0, 1, 29, 8, 2.5f, 0.125f, 0.125f}, {1, 255, 0.5f, 27, 7, 1.5f, 0.125f, 0}, {0, 0, 0, 25, 6, 0.5f, 0, 0}};
  MateffDraw(0);
  for (const auto &row : rows) {
    MusicShutdown();
    if (row.notes) Play(false, row.pan0, row.notes);
    ASSERT_TRUE(WaitFor([&] { return MusicGetLevel() == row.level; }));
    TorusKnotDraw(0);
    EXPECT_EQ(std::vector<float>({mxTorusKnot->CurveRadius, mxTorusKnot->TubeRadius, mxTorusKnot->BulgeDepth,
                                  mxTorusKnot->BulgePhase, mxTorusKnot->Twist}),
              std::vector<float>({row.curve, row.tube, row.depth, 0, 20}));
    MateffDraw(1);
    EXPECT_NEAR(atan2f(-MateffTackle1->up.y, MateffTackle1->up.z), row.rightRoll, 1e-5) << row.level;
    EXPECT_NEAR(atan2f(-MateffTackle2->up.y, MateffTackle2->up.z), row.leftRoll, 1e-5) << row.level;
  }
  // The fly-in's eye comes down the diagonal in the first fifth.
  for (const auto &[x, eye] : {std::pair{0.0f, 1100.0}, {0.1f, 600.0}, {0.2f, 100.0}, {0.7f, 100.0}}) {
    TorusKnotDrawIntro(x);
    // The eye in model space is -R^T t; it lies on the axis the knot turns about, so the turn keeps it.
    const std::vector<float> m = GlFloats(GL_MODELVIEW_MATRIX, 16);
    for (int axis = 0; axis < 3; axis++)
      EXPECT_NEAR(-(m[axis * 4] * m[12] + m[axis * 4 + 1] * m[13] + m[axis * 4 + 2] * m[14]), eye, eye * 1e-4)
          << "x " << x << " axis " << axis;
  }
  // The light's own values go to OpenGL as they are; what ApplyLight decides is the kind of light (a direction
  // or a point) and which numbers it takes (none past seven). The drawers leave the modelview matrix selected.
  glLoadIdentity();
  LIGHT light = {};
  light.position[2] = 1, light.diffuse[1] = 0.75f;
  for (int32_t directional : {1, 0}) {
    light.directional = directional;
    ApplyLight(&light, GL_LIGHT0 + 3);
    GLfloat position[4], diffuse[4];
    glGetLightfv(GL_LIGHT3, GL_POSITION, position);
    glGetLightfv(GL_LIGHT3, GL_DIFFUSE, diffuse);
    EXPECT_EQ(std::vector<float>({position[2], position[3], diffuse[1], diffuse[3]}),
              std::vector<float>({1, directional ? 0.0f : 1.0f, 0.75f, 1}));
  }
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  ApplyLight(&light, GL_LIGHT0 + 8);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

}  // namespace
