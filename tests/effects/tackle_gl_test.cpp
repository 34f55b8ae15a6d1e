// ApplyLight in a real context: what OpenGL holds afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "effects/tackle.h"
#include "gltestkit.h"

namespace {

class ApplyLightTest : public DriverSuite {};

// The light's own values go to OpenGL as they are; what ApplyLight decides is the kind of light and which
// numbers it takes.
TEST_F(ApplyLightTest, EnablesTheLightAsADirectionOrAPointAndIgnoresNumbersPastSeven) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  LIGHT light = {};
  light.position[2] = 1;
  light.diffuse[1] = 0.75f;
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
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
}

}  // namespace
