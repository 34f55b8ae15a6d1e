// The immediate-mode output of the knot and the metaball surface, read back through OpenGL's feedback
// mode in a real context (hidden window).
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "geometry/metaball.h"
#include "geometry/mx_knot.h"

namespace {

struct FEEDBACK_VERTEX {
  float x, y, z, r, g, b, a, s, t, p, q;
};

// Every triangle drawn by `draw`, its vertices mapped back to world units of the (-100, 100) cube.
template <class DRAW>
std::vector<std::vector<FEEDBACK_VERTEX>> Capture(DRAW draw) {
  std::vector<GLfloat> buffer(4 << 20);
  glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint used = glRenderMode(GL_RENDER);
  EXPECT_GE(used, 0);
  std::vector<std::vector<FEEDBACK_VERTEX>> polygons;
  for (GLint i = 0; i < used;) {
    EXPECT_EQ(buffer[i], (GLfloat)GL_POLYGON_TOKEN);
    polygons.emplace_back((int)buffer[i + 1]);
    i += 2;
    for (FEEDBACK_VERTEX &v : polygons.back()) {
      memcpy(&v, &buffer[i], sizeof v);
      v.x = v.x / 64 * 200 - 100, v.y = v.y / 64 * 200 - 100, v.z = -(v.z * 2 - 1) * 100;
      i += 11;
    }
  }
  return polygons;
}

// A 64x64 hidden window with an orthographic view of the (-100, 100) cube. The window and context stay
// until the process ends: unloading the GL driver before the leak check would leave its caches without a
// module name for the suppressions to match.
void OpenContext() {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window *window = SDL_CreateWindow("geometry", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  ASSERT_NE(SDL_GL_CreateContext(window), nullptr) << SDL_GetError();
  glViewport(0, 0, 64, 64);
  glMatrixMode(GL_PROJECTION);
  glOrtho(-100, 100, -100, 100, -100, 100);
  glMatrixMode(GL_MODELVIEW);
}

struct MULTI_CALL {
  GLenum target;
  float s, t;
};
std::vector<MULTI_CALL> gMultiCalls;
void RecordMultiTexCoord(GLenum target, GLfloat s, GLfloat t) { gMultiCalls.push_back({target, s, t}); }

struct RECORDER {
  std::vector<VECTOR3> vertices;
  void BeginCell() {}
  void Vertex(const VECTOR3 &v) { vertices.push_back(v); }
  void EndCell() {}
};

TEST(GeometryGL, KnotAndMetaballSurfaceSendEveryVertexWithItsAttributes) {
  OpenContext();
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  // One white directional light along +z: the lit colour tells the normal's z.
  const GLfloat direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, direction);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_AMBIENT, black);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHTING);
  auto polygons = Capture([&] { knot.Draw(); });
  glDisable(GL_LIGHTING);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  ASSERT_EQ(polygons.size(), knot.TriangleCount);
  for (uint32_t f = 0; f < knot.TriangleCount; f++) {
    ASSERT_EQ(polygons[f].size(), 3u);
    for (int c = 0; c < 3; c++) {
      const uint32_t index = knot.Triangles[f][c];
      const FEEDBACK_VERTEX &v = polygons[f][c];
      ASSERT_NEAR(v.x, knot.Vertices[index].x, 0.01f) << "triangle " << f;
      ASSERT_NEAR(v.y, knot.Vertices[index].y, 0.01f) << "triangle " << f;
      ASSERT_NEAR(v.z, knot.Vertices[index].z, 0.01f) << "triangle " << f;
      ASSERT_NEAR(v.s, knot.TexCoords[index][0], 1e-5f);
      ASSERT_NEAR(v.t, knot.TexCoords[index][1], 1e-5f);
      ASSERT_NEAR(v.r, 0.8f * std::max(knot.Normals[index].z, 0.0f), 0.01f) << "triangle " << f;  // diffuse 0.8
    }
  }
  knot.Release();

  // The metaball surface carries the direction of each vertex from the centre as texture coordinates.
  METABALLS *m = new (__LINE__, "geometry_gl_test") METABALLS(3);
  METABALL_LEVELS levels;
  MetaballSceneStep(*m, levels, 500, 0.4f, 0.7f);
  m->ComputeField();
  RECORDER expected;
  m->Polygonise(expected);
  ASSERT_GT(expected.vertices.size(), 300u);
  polygons = Capture([&] { m->DrawSurface(nullptr); });
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  ASSERT_EQ(polygons.size() * 3, expected.vertices.size());
  for (size_t i = 0; i < expected.vertices.size(); i++) {
    const VECTOR3 &v = expected.vertices[i];
    const FEEDBACK_VERTEX &f = polygons[i / 3][i % 3];
    const float length = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
    ASSERT_NEAR(f.x, v.x, 0.01f);
    ASSERT_NEAR(f.z, v.z, 0.01f);
    ASSERT_NEAR(f.s, v.x / length, 0.003f);
    ASSERT_NEAR(f.t, v.y / length, 0.003f);
  }
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  ASSERT_EQ(gMultiCalls.size(), 2 * expected.vertices.size());
  for (size_t i = 0; i < expected.vertices.size(); i++) {
    const VECTOR3 &v = expected.vertices[i];
    const float scale = ApproxInverseSqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const MULTI_CALL &unit0 = gMultiCalls[2 * i], &unit1 = gMultiCalls[2 * i + 1];
    EXPECT_EQ(unit0.target, (GLenum)GL_TEXTURE0_ARB);
    EXPECT_EQ(unit0.s, v.x * scale);
    EXPECT_EQ(unit0.t, v.y * scale);
    EXPECT_EQ(unit1.target, (GLenum)GL_TEXTURE1_ARB);
    EXPECT_EQ(unit1.s, v.x * scale);
    EXPECT_EQ(unit1.t, v.z * scale);
  }
  // Only the sample at the grid centre on the iso level: every vertex of the eight cells around it is the
  // origin, whose direction is (0, 0, 0).
  for (float &sample : m->Field) sample = 0;
  m->Field[16 * 1024 + 16 * 32 + 16] = METABALL_ISO_LEVEL;
  gMultiCalls.clear();
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  ASSERT_EQ(gMultiCalls.size(), 2u * 8 * 3);  // eight cells, one corner triangle each
  for (const MULTI_CALL &call : gMultiCalls) {
    EXPECT_EQ(call.s, 0.0f);
    EXPECT_EQ(call.t, 0.0f);
  }
  delete m;
}

}  // namespace
