// The immediate-mode output of the knot and the metaball surface, read back through OpenGL's feedback mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "geometry/metaball.h"
#include "geometry/mx_knot.h"
#include "gltestkit.h"

namespace {

struct FEEDBACK_VERTEX {
  float x, y, z, r, g, b, a, s, t, p, q;
};

// Every triangle drawn by `draw`, its vertices mapped back to world units of the (-100, 100) cube.
template <class DRAW>
std::vector<std::vector<FEEDBACK_VERTEX>> Capture(DRAW draw) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-100, 100, -100, 100, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
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

std::vector<std::pair<GLenum, std::pair<float, float>>> gMultiCalls;
void RecordMultiTexCoord(GLenum target, GLfloat s, GLfloat t) { gMultiCalls.push_back({target, {s, t}}); }

struct RECORDER {
  std::vector<VECTOR3> vertices;
  void BeginCell() {}
  void Vertex(const VECTOR3 &v) { vertices.push_back(v); }
  void EndCell() {}
};

class GeometryGL : public DriverSuite {};

TEST_F(GeometryGL, KnotAndMetaballSurfaceSendEveryVertexWithItsAttributes) {
  MX_TORUS_KNOT knot;
  knot.P = 1;
  knot.Q = 5;
  knot.Generate();
  // One white directional light along +z on a white material: the lit colour is the normal's z.
  const GLfloat direction[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, direction);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_AMBIENT, black);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
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
      const float sent[] = {knot.Vertices[index].x, knot.Vertices[index].y, knot.Vertices[index].z,
                            knot.TexCoords[index][0], knot.TexCoords[index][1], std::max(knot.Normals[index].z, 0.0f)};
      const float got[] = {v.x, v.y, v.z, v.s, v.t, v.r};
      for (int k = 0; k < 6; k++) ASSERT_NEAR(got[k], sent[k], 0.01f) << "triangle " << f << " value " << k;
    }
  }
  knot.Release();

  // The metaball surface carries the direction of each vertex from the centre as texture coordinates:
  // (x, y) on unit 0 and (x, z) on unit 1 when there are two units, else (x, y).
  METABALLS *m = new (__LINE__, "geometry_gl_test") METABALLS(3);
  METABALL_LEVELS levels;
  MetaballSceneStep(*m, levels, 500, 0.4f, 0.7f);
  m->ComputeField();
  RECORDER expected;
  m->Polygonise(expected);
  ASSERT_GT(expected.vertices.size(), 300u);
  polygons = Capture([&] { m->DrawSurface(nullptr); });
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  ASSERT_EQ(polygons.size() * 3, expected.vertices.size());
  ASSERT_EQ(gMultiCalls.size(), 2 * expected.vertices.size());
  for (size_t i = 0; i < expected.vertices.size(); i++) {
    const VECTOR3 &v = expected.vertices[i];
    const FEEDBACK_VERTEX &f = polygons[i / 3][i % 3];
    const float length = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
    const auto &unit0 = gMultiCalls[2 * i], &unit1 = gMultiCalls[2 * i + 1];
    ASSERT_EQ(unit0.first, (GLenum)GL_TEXTURE0_ARB);
    ASSERT_EQ(unit1.first, (GLenum)GL_TEXTURE1_ARB);
    const float sent[] = {v.x, v.z, v.x / length, v.y / length, v.x / length, v.y / length, v.x / length, v.z / length};
    const float got[] = {f.x, f.z, f.s, f.t, unit0.second.first, unit0.second.second, unit1.second.first,
                         unit1.second.second};
    for (int k = 0; k < 8; k++) ASSERT_NEAR(got[k], sent[k], k < 2 ? 0.01f : 0.003f) << "vertex " << i << " value " << k;
  }
  // Only the grid centre's sample on the level: every vertex is the origin, whose direction is (0, 0, 0).
  for (float &sample : m->Field) sample = 0;
  m->Field[16 * 1024 + 16 * 32 + 16] = METABALL_ISO_LEVEL;
  gMultiCalls.clear();
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  ASSERT_EQ(gMultiCalls.size(), 2u * 8 * 3);
  for (const auto &call : gMultiCalls) EXPECT_TRUE(call.second.first == 0 && call.second.second == 0);
  delete m;
}

}  // namespace
