// ApplyLight in a real context: what OpenGL holds afterwards.
#include <gtest/gtest.h>

#include "effects/tackle.h"
#include "gltestkit.h"

namespace {

class ApplyLightTest : public DriverSuite {};

TEST_F(ApplyLightTest, SetsAndEnablesTheLightAndIgnoresNumbersPastSeven) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  LIGHT light = {};
  light.directional = 1;
  light.position[2] = 1;
  light.spotDirection[0] = 0.5f;
  light.spotCutoff = 45;
  light.linearAttenuation = 0.25f;
  light.diffuse[1] = 0.75f;
  light.specular[2] = 0.5f;
  ApplyLight(&light, GL_LIGHT0 + 3);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  const struct {
    GLenum name;
    int element;
    float value;
  } reads[] = {{GL_POSITION, 2, 1},     {GL_POSITION, 3, 0} /* a direction */,
               {GL_DIFFUSE, 1, 0.75f},  {GL_DIFFUSE, 3, 1},
               {GL_SPECULAR, 2, 0.5f},  {GL_SPOT_DIRECTION, 0, 0.5f},
               {GL_SPOT_CUTOFF, 0, 45}, {GL_LINEAR_ATTENUATION, 0, 0.25f}};
  for (const auto &r : reads) {
    GLfloat v[4];
    glGetLightfv(GL_LIGHT3, r.name, v);
    EXPECT_EQ(v[r.element], r.value) << "parameter " << r.name << " element " << r.element;
  }
  light.directional = 0;
  ApplyLight(&light, GL_LIGHT0);
  GLfloat position[4];
  glGetLightfv(GL_LIGHT0, GL_POSITION, position);
  EXPECT_EQ(position[3], 1);  // a point
  ApplyLight(&light, GL_LIGHT0 + 8);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
}

}  // namespace
