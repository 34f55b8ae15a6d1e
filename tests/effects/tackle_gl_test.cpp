// ApplyLight in a real context (hidden window): what OpenGL holds afterwards.
#include <SDL.h>
#include <gtest/gtest.h>

#include "effects/tackle.h"

namespace {

TEST(ApplyLight, SetsAndEnablesTheLightAndIgnoresNumbersPastSeven) {
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window *window = SDL_CreateWindow("lights", 0, 0, 32, 32, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  SDL_GLContext context = SDL_GL_CreateContext(window);
  ASSERT_NE(context, nullptr) << SDL_GetError();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  LIGHT light = {};
  light.directional = 1;
  light.position[2] = 1;
  light.spotDirection[0] = 0.5f;
  light.spotDirection[2] = -1;
  light.spotCutoff = 45;
  light.spotExponent = 2;
  light.constantAttenuation = 1;
  light.linearAttenuation = 0.25f;
  light.quadraticAttenuation = 0.125f;
  light.ambient[0] = light.ambient[1] = light.ambient[2] = 0.2f;
  light.diffuse[1] = 0.75f;
  light.specular[2] = 0.5f;
  ApplyLight(&light, GL_LIGHT0 + 3);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  GLfloat v[4];
  glGetLightfv(GL_LIGHT3, GL_POSITION, v);
  EXPECT_EQ(v[2], 1);
  EXPECT_EQ(v[3], 0);  // a direction
  glGetLightfv(GL_LIGHT3, GL_AMBIENT, v);
  EXPECT_FLOAT_EQ(v[0], 0.2f);
  EXPECT_EQ(v[3], 1);
  glGetLightfv(GL_LIGHT3, GL_DIFFUSE, v);
  EXPECT_EQ(v[1], 0.75f);
  EXPECT_EQ(v[3], 1);
  glGetLightfv(GL_LIGHT3, GL_SPECULAR, v);
  EXPECT_EQ(v[2], 0.5f);
  glGetLightfv(GL_LIGHT3, GL_SPOT_DIRECTION, v);
  EXPECT_EQ(v[0], 0.5f);
  EXPECT_EQ(v[2], -1);
  glGetLightfv(GL_LIGHT3, GL_SPOT_CUTOFF, v);
  EXPECT_EQ(v[0], 45);
  glGetLightfv(GL_LIGHT3, GL_SPOT_EXPONENT, v);
  EXPECT_EQ(v[0], 2);
  glGetLightfv(GL_LIGHT3, GL_LINEAR_ATTENUATION, v);
  EXPECT_EQ(v[0], 0.25f);
  glGetLightfv(GL_LIGHT3, GL_QUADRATIC_ATTENUATION, v);
  EXPECT_EQ(v[0], 0.125f);

  light.directional = 0;
  ApplyLight(&light, GL_LIGHT0);
  glGetLightfv(GL_LIGHT0, GL_POSITION, v);
  EXPECT_EQ(v[3], 1);  // a point

  ApplyLight(&light, GL_LIGHT0 + 8);
  EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));

  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
}

}  // namespace
