#include "effects/tackle.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "graphics/gldriver.h"
#include "material/material.h"

namespace {

const float kTwoPi = 6.28318530717958647692f;

// Between -0.9998 and 1, from one call of rand.
float Random() { return (float)(5000 - rand() % 10000) * 0.0002f; }

// A line from the origin towards a random point 400 units away, wobbling by up to 30 units on each axis.
void RandomShape(VECTOR3 *points, int32_t count) {
  const float a = Random();
  const float b = Random();
  const float c = Random();
  VECTOR3 direction = {0, 0, 0};
  const float squared = a * a + b * b + c * c;
  if (squared != 0) {
    const float length = sqrtf(squared);
    direction = {a / length * 400, b / length * 400, c / length * 400};
  }
  float theta1 = kTwoPi * Random();
  const float omega1 = kTwoPi * Random() * 0.07f;
  float theta2 = kTwoPi * Random();
  const float omega2 = kTwoPi * Random() * 0.07f;
  float theta3 = kTwoPi * Random();
  const float omega3 = kTwoPi * Random() * 0.07f;
  if (count < 1) return;  // no points, nowhere to write the root
  points[0] = {0, 0, 0};
  for (int32_t k = 1; k < count; k++) {
    const float f = (float)k / (float)count;
    points[k] = {f * direction.x + 30 * sinf(theta1), f * direction.y + 30 * sinf(theta2),
                 f * direction.z + 30 * sinf(theta3)};
    theta1 += omega1;
    theta2 += omega2;
    theta3 += omega3;
  }
}

struct GL_TUBE_EMITTER {
  void Vertex(const TUBE_CORNER &corner) {
    glTexCoord2f(corner.s, corner.t);
    glVertex3f(corner.position.x, corner.position.y, corner.position.z);
  }
};

void Normalise(VECTOR3 &v) {
  const float squared = v.x * v.x + v.y * v.y + v.z * v.z;
  if (squared == 0) return;
  const float length = sqrtf(squared);
  v.x /= length;
  v.y /= length;
  v.z /= length;
}

}  // namespace

TACKLE *TackleCreate(GL_MATERIAL *material, int32_t pointCount, int32_t tentacleCount) {
  TACKLE *tackle = (TACKLE *)TrackedAlloc(sizeof(TACKLE), __LINE__, "tackle");
  tackle->material = material;
  tackle->pointCount = pointCount;
  tackle->tentacleCount = tentacleCount;
  tackle->eye = {100, 100, 100};
  tackle->centre = {0, 0, 0};
  tackle->fov = 45;
  tackle->zNear = 1;
  tackle->zFar = 5000;
  tackle->up = {0, 0, 1};

  tackle->tentacles = (TENTACLE *)TrackedAlloc(sizeof(TENTACLE) * tentacleCount, __LINE__, "tackle");
  for (int32_t i = 0; i < tentacleCount; i++) {
    TENTACLE &tentacle = tackle->tentacles[i];
    tentacle.pointCount = pointCount;
    tentacle.timeLeft = 16.5f * Random() + 33;
    tentacle.points = (VECTOR3 *)TrackedAlloc(sizeof(VECTOR3) * pointCount, __LINE__, "tackle");
    tentacle.velocity = (VECTOR3 *)TrackedAlloc(sizeof(VECTOR3) * pointCount, __LINE__, "tackle");
    RandomShape(tentacle.points, pointCount);
    RandomShape(tentacle.velocity, pointCount);
  }
  for (int step = 0; step < 132; step++) TackleUpdate(tackle, 1);
  return tackle;
}

void TackleUpdate(TACKLE *tackle, float dt) {
  for (int32_t i = 0; i < tackle->tentacleCount; i++) {
    TENTACLE &tentacle = tackle->tentacles[i];
    if (tentacle.timeLeft > 0 && tentacle.timeLeft - dt > 0) {
      tentacle.timeLeft -= dt;
      for (int32_t k = 0; k < tentacle.pointCount; k++) {
        tentacle.points[k].x += tentacle.velocity[k].x * dt;
        tentacle.points[k].y += tentacle.velocity[k].y * dt;
        tentacle.points[k].z += tentacle.velocity[k].z * dt;
      }
    } else {
      // The target shape is built in the velocity array, then turned into the speed that reaches it
      // exactly when the new time runs out.
      tentacle.timeLeft = 16.5f * Random() + 33;
      RandomShape(tentacle.velocity, tentacle.pointCount);
      for (int32_t k = 0; k < tentacle.pointCount; k++) {
        tentacle.velocity[k].x = (tentacle.velocity[k].x - tentacle.points[k].x) / tentacle.timeLeft;
        tentacle.velocity[k].y = (tentacle.velocity[k].y - tentacle.points[k].y) / tentacle.timeLeft;
        tentacle.velocity[k].z = (tentacle.velocity[k].z - tentacle.points[k].z) / tentacle.timeLeft;
      }
    }
  }
}

void TackleAddLight(TACKLE *tackle, LIGHT *light) {
  LIGHT **tail = &tackle->lights;
  while (*tail) tail = &(*tail)->next;
  *tail = light;
}

void TackleDestroy(TACKLE *tackle) {
  LIGHT *light = tackle->lights;
  while (light) {
    LIGHT *next = light->next;
    TrackedFree(light, __LINE__, "tackle");
    light = next;
  }
  for (int32_t i = 0; i < tackle->tentacleCount; i++) {
    TrackedFree(tackle->tentacles[i].points, __LINE__, "tackle");
    TrackedFree(tackle->tentacles[i].velocity, __LINE__, "tackle");
  }
  TrackedFree(tackle->tentacles, __LINE__, "tackle");
  TrackedFree(tackle, __LINE__, "tackle");
}

void TackleDraw(TACKLE *tackle, const float *fogColour, float fogStart, float fogEnd, int32_t fogOn) {
  c_GLDRIVER::SetDefaultState();
  glEnable(GL_NORMALIZE);
  const GLenum arrays[] = {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY,
                           GL_COLOR_ARRAY,  GL_EDGE_FLAG_ARRAY,     GL_INDEX_ARRAY};
  for (GLenum array : arrays) glDisable(array);
  for (GLenum array : arrays) glDisableClientState(array);
  for (GLenum matrix : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(matrix);
    glLoadIdentity();
  }

  glDisable(GL_COLOR_MATERIAL);
  glEnable(GL_LIGHTING);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(tackle->fov, 1.0, tackle->zNear, tackle->zFar);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(tackle->eye.x, tackle->eye.y, tackle->eye.z, tackle->centre.x, tackle->centre.y, tackle->centre.z,
            tackle->up.x, tackle->up.y, tackle->up.z);
  glNormal3f(0, 0, 1);

  if (fogOn == 1) {
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, fogStart);
    glFogf(GL_FOG_END, fogEnd);
    const GLfloat colour[4] = {fogColour[0], fogColour[1], fogColour[2], 0.0f};
    glFogfv(GL_FOG_COLOR, colour);
    glEnable(GL_FOG);
    glHint(GL_FOG_HINT, GL_FASTEST);
  } else {
    glDisable(GL_FOG);
  }

  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);

  // After the camera, so that the lights stay put in the world.
  for (GLenum light = GL_LIGHT0; light <= GL_LIGHT7; light++) glDisable(light);
  if (!tackle->lights) glDisable(GL_LIGHTING);
  GLenum number = GL_LIGHT0;
  for (const LIGHT *light = tackle->lights; light; light = light->next) ApplyLight(light, number++);

  tackle->material->Apply(0);
  // One normal for every face of every tube.
  glNormal3f(1, 0, 0);
  GL_TUBE_EMITTER emitter;
  for (int32_t i = 0; i < tackle->tentacleCount; i++) {
    glBegin(GL_QUADS);
    TentacleTube(tackle->tentacles[i], emitter);
    glEnd();
  }
}

void ApplyLight(const LIGHT *light, GLenum number) {
  if (number > GL_LIGHT0 + 7) return;
  glLightf(number, GL_SPOT_EXPONENT, light->spotExponent);
  glLightf(number, GL_SPOT_CUTOFF, light->spotCutoff);
  glLightf(number, GL_CONSTANT_ATTENUATION, light->constantAttenuation);
  glLightf(number, GL_LINEAR_ATTENUATION, light->linearAttenuation);
  glLightf(number, GL_QUADRATIC_ATTENUATION, light->quadraticAttenuation);
  const GLfloat ambient[4] = {light->ambient[0], light->ambient[1], light->ambient[2], 1};
  const GLfloat diffuse[4] = {light->diffuse[0], light->diffuse[1], light->diffuse[2], 1};
  const GLfloat specular[4] = {light->specular[0], light->specular[1], light->specular[2], 1};
  const GLfloat position[4] = {light->position[0], light->position[1], light->position[2],
                               light->directional == 1 ? 0.0f : 1.0f};
  glLightfv(number, GL_AMBIENT, ambient);
  glLightfv(number, GL_DIFFUSE, diffuse);
  glLightfv(number, GL_SPECULAR, specular);
  glLightfv(number, GL_POSITION, position);
  glLightfv(number, GL_SPOT_DIRECTION, light->spotDirection);
  glEnable(number);
}

void TentacleRing(const TENTACLE &tentacle, int32_t k, TUBE_CORNER corners[4]) {
  const VECTOR3 *p = tentacle.points;
  const int32_t last = tentacle.pointCount - 1;
  // The tip shrinks to its centre, with side vectors of zero length; it needs no tangent (and a lone point
  // has no neighbour to take one from).
  VECTOR3 u = {0, 0, 0}, w = {0, 0, 0};
  float radius = 0;
  if (k != last) {
    const VECTOR3 &before = k == 0 ? p[0] : p[k - 1];
    const VECTOR3 &after = p[k + 1];
    VECTOR3 t = {before.x - after.x, before.y - after.y, before.z - after.z};
    Normalise(t);
    const int small = (fabsf(t.x) < 0.001f) + (fabsf(t.y) < 0.001f) + (fabsf(t.z) < 0.001f);
    if (small >= 2)
      u = {0, 0, t.x > 0 ? -1.0f : 1.0f};
    else
      u = {0, -t.z, t.y};
    w = {t.y * u.z - t.z * u.y, t.z * u.x - t.x * u.z, t.x * u.y - t.y * u.x};
    radius = k == 0 ? 30 : 30 - (float)k * (20.0f / (float)tentacle.pointCount);
  }

  const VECTOR3 &centre = p[k];
  corners[0].position = {centre.x + radius * w.x, centre.y + radius * w.y, centre.z + radius * w.z};
  corners[1].position = {centre.x + radius * u.x, centre.y + radius * u.y, centre.z + radius * u.z};
  corners[2].position = {centre.x - radius * w.x, centre.y - radius * w.y, centre.z - radius * w.z};
  corners[3].position = {centre.x - radius * u.x, centre.y - radius * u.y, centre.z - radius * u.z};
  for (int i = 0; i < 4; i++) {
    const VECTOR3 &c = corners[i].position;
    const float squared = c.x * c.x + c.y * c.y + c.z * c.z;
    if (squared == 0) {
      corners[i].s = corners[i].t = 0;
    } else {
      const float length = sqrtf(squared);
      corners[i].s = c.x / length;
      corners[i].t = c.y / length;
    }
  }
}
