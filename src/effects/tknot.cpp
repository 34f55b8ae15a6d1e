#include "effects/tknot.h"

#include <GL/glu.h>

#include <cmath>
#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

MX_TORUS_KNOT *mxTorusKnot = nullptr;
GL_MATERIAL *TorusKnotMaterial = nullptr;
LIGHT TorusKnotLight;

namespace {

// What differs between the scene and its fly-in.
struct KNOT_VIEW {
  double fov, zFar;
  VECTOR3 eye, centre;
  float turn;  // degrees about (1, 1, 1)
  float bulgePhase, twist;
};

void DrawKnot(const KNOT_VIEW &view) {
  const float level = MusicGetLevel();

  c_GLDRIVER::SetDefaultState();
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glNormal3f(0, 0, 1);
  glColor3f(1, 1, 1);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(view.fov, 1.0, 1.0, view.zFar);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(view.eye.x, view.eye.y, view.eye.z, view.centre.x, view.centre.y, view.centre.z, 0, 0, 1);

  TorusKnotMaterial->Apply(0);
  // Before the knot's turn, so that the light stays fixed in the world.
  glEnable(GL_LIGHTING);
  ApplyLight(&TorusKnotLight, GL_LIGHT0);
  glMatrixMode(GL_MODELVIEW);
  glRotatef(view.turn, 1, 1, 1);

  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glClear(GL_DEPTH_BUFFER_BIT);

  MX_TORUS_KNOT &knot = *mxTorusKnot;
  knot.CurveRadius = 4 * level + 25;
  knot.TubeRadius = 2 * level + 6;
  knot.BulgePhase = view.bulgePhase;
  knot.P = 1;
  knot.Q = 5;
  knot.Twist = view.twist;
  knot.BulgeDepth = 2 * level + 0.5f;
  knot.Generate();
  knot.Draw();
}

}  // namespace

void TorusKnotInit() {
  mxTorusKnot = new (__LINE__, "tknot") MX_TORUS_KNOT;
  if (!mxTorusKnot) FatalError(__LINE__, "tknot", "mxTorusKnot == NULL");
  TorusKnotMaterial = new (__LINE__, "tknot") GL_MATERIAL;
  if (!TorusKnotMaterial) FatalError(__LINE__, "tknot", "TorusKnotMaterial == NULL !");

  GL_MATERIAL &material = *TorusKnotMaterial;
  strcpy(material.BaseTexture, "data/tk2.jpg");
  material.UseBase = 1;
  strcpy(material.EnviTexture, "data/tk1.jpg");
  material.UseEnvi = 1;
  material.Wrap = 1;
  material.Mipmap = 0;
  material.Wireframe = 0;
  material.AnimateTexture = 0;
  material.EnviAdd = 1;
  material.Alpha = 1.0f;
  material.BlendSrc = GL_SRC_ALPHA;
  material.BlendDst = GL_ONE_MINUS_SRC_ALPHA;
  material.AlphaMode = ALPHA_CONSTANT;
  material.Preload();

  TorusKnotLight = LIGHT{};
  TorusKnotLight.directional = 1;
  TorusKnotLight.position[2] = 1;
  TorusKnotLight.spotDirection[2] = -1;
  TorusKnotLight.spotCutoff = 180;
  TorusKnotLight.spotExponent = 0;
  TorusKnotLight.constantAttenuation = 1;
  TorusKnotLight.linearAttenuation = 0;
  TorusKnotLight.quadraticAttenuation = 0;
  for (int i = 0; i < 3; i++) {
    TorusKnotLight.ambient[i] = 0.2f;
    TorusKnotLight.diffuse[i] = 1;
    TorusKnotLight.specular[i] = 1;
  }
}

void TorusKnotDraw(float t) {
  DrawKnot({45, 1024, {170, 130, 150}, {-78, 1, -38}, t, 0.01f * t, 20 + 2 * sinf(0.01f * t)});
}

void TorusKnotDrawIntro(float x) {
  const float d = x < 0.2f ? 5000 * (0.2f - x) : 0;
  const float eye = 100 + d;
  DrawKnot({40, 2048, {eye, eye, eye}, {0, 0, 0}, 512 * x, 3 * x, 20 + 2 * sinf(2 * x)});
}

void TorusKnotFree() {
  if (mxTorusKnot) {
    mxTorusKnot->Release();
    delete mxTorusKnot;
    mxTorusKnot = nullptr;
  }
  FreeMaterial(TorusKnotMaterial);
}
