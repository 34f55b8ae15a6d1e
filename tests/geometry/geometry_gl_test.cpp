// The immediate-mode output of the knot and the metaball surface, read back through OpenGL's feedback mode.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "geometry/metaball.h"
#include "geometry/mx_knot.h"
#include "gltestkit.h"

namespace {

struct FEEDBACK_VERTEX { float x, y, z, r, g, b, a, s, t, p, q; };

// The vertices of the triangles drawn by `draw`, mapped back to world units of the (-100, 100) cube that the
// projection shows (the modelview matrix stays the identity the suite begins with).
template <class DRAW>
std::vector<FEEDBACK_VERTEX> Capture(DRAW draw) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-100, 100, -100, 100, -100, 100);
  std::vector<GLfloat> buffer(4 << 20);
  glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint used = glRenderMode(GL_RENDER);  // -1 when the buffer overflowed
  std::vector<FEEDBACK_VERTEX> vertices(used > 0 ? used / 35 * 3 : 0);
  for (size_t i = 0; i < vertices.size(); i++) {
    EXPECT_TRUE(buffer[i / 3 * 35] == GL_POLYGON_TOKEN && buffer[i / 3 * 35 + 1] == 3) << "triangle " << i / 3;
    FEEDBACK_VERTEX &v = vertices[i];
    memcpy(&v, &buffer[i / 3 * 35 + 2 + i % 3 * 11], sizeof v);
    v.x = v.x / 64 * 200 - 100, v.y = v.y / 64 * 200 - 100, v.z = -(v.z * 2 - 1) * 100;
  }
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  return vertices;
}

// Each call as the unit's number and the coordinates.
std::vector<float> gMultiCalls;
void RecordMultiTexCoord(GLenum target, GLfloat s, GLfloat t) {
  gMultiCalls.insert(gMultiCalls.end(), {(float)(target - GL_TEXTURE0_ARB), s, t});
}

class GeometryGL : public DriverSuite {};

TEST_F(GeometryGL, KnotAndMetaballSurfaceSendEveryVertexWithItsAttributes) {
  MX_TORUS_KNOT knot;
  knot.Q = 5;
  knot.Generate();
  // LIGHT0 keeps OpenGL's white light along +z; on the driver's default material (ambient 0.3 under the
  // model's 0.2, diffuse 0.6) the lit colour is 0.06 + 0.6 times the normal's z.
  for (GLenum cap : {GL_LIGHT0, GL_LIGHTING}) glEnable(cap);
  std::vector<FEEDBACK_VERTEX> got = Capture([&] { knot.Draw(); });
  glDisable(GL_LIGHTING);
  ASSERT_EQ(got.size(), 3 * knot.TriangleCount);
  for (size_t i = 0; i < got.size(); i++) {
    const uint32_t k = knot.Triangles[i / 3][i % 3];
    const VECTOR3 &p = knot.Vertices[k];
    const float sent[] = {
        p.x, p.y, p.z, knot.TexCoords[k][0], knot.TexCoords[k][1], 0.06f + 0.6f * std::max(knot.Normals[k].z, 0.0f)};
    const float read[] = {got[i].x, got[i].y, got[i].z, got[i].s, got[i].t, got[i].r};
    for (int j = 0; j < 6; j++) ASSERT_NEAR(read[j], sent[j], 0.01f) << "vertex " << i << " value " << j;
  }
  knot.Release();

  // The metaball surface carries the direction of each vertex from the centre as texture coordinates:
  // (x, y) on unit 0 and (x, z) on unit 1 when there are two units, else (x, y).
  METABALLS *m = new (__LINE__, "geometry_gl_test") METABALLS(3);
  METABALL_LEVELS levels;
  MetaballSceneStep(*m, levels, 500, 0.4f, 0.7f);
  m->ComputeField();
  struct {
    std::vector<VECTOR3> vertices;
    void BeginCell() {}
    void Vertex(const VECTOR3 &v) { vertices.push_back(v); }
    void EndCell() {}
  } expected;
  m->Polygonise(expected);
  ASSERT_GT(expected.vertices.size(), 300u);
  got = Capture([&] { m->DrawSurface(nullptr); });
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  ASSERT_EQ(std::make_pair(got.size(), gMultiCalls.size()), std::make_pair(expected.vertices.size(), 6 * got.size()));
  for (size_t i = 0; i < got.size(); i++) {
    const VECTOR3 &v = expected.vertices[i];
    const float l = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z), *u = &gMultiCalls[6 * i];
    const float sent[] = {v.x, v.z, v.x / l, v.y / l, 0, v.x / l, v.y / l, 1, v.x / l, v.z / l};
    const float read[] = {got[i].x, got[i].z, got[i].s, got[i].t, u[0], u[1], u[2], u[3], u[4], u[5]};
    for (int j = 0; j < 10; j++) ASSERT_NEAR(read[j], sent[j], j < 2 ? 0.01f : 0.003f) << "vertex " << i << " " << j;
  }
  // Only the grid centre's sample on the level: every vertex is the origin, whose direction is (0, 0, 0).
  std::fill(m->Field, m->Field + METABALL_SAMPLES, 0.0f);
  m->Field[16 * 1024 + 16 * 32 + 16] = METABALL_ISO_LEVEL;
  gMultiCalls.clear();
  Capture([&] { m->DrawSurface(RecordMultiTexCoord); });
  ASSERT_EQ(gMultiCalls.size(), 6u * 8 * 3);
  for (size_t i = 0; i < gMultiCalls.size(); i++) EXPECT_EQ(gMultiCalls[i], i % 3 ? 0 : i / 3 % 2) << i;
  delete m;
}

}  // namespace
