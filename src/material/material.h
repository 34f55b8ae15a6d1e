// GL_MATERIAL: the drawing state of one kind of surface — base and sphere-mapped environment textures,
// blending, alpha test, depth and culling, polygon mode, lighting colours and an animated texture matrix.
// Owners set the public fields, call Preload once, Apply whenever they draw with it and Release before
// deleting it. Main thread only, with the driver's context current.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "support/misc.h"

class GL_MATERIAL {
 public:
  TRACKED_ALLOCATION

  // Every field zero, except Wrap = Mipmap = 1 and the blend factors GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA.
  GL_MATERIAL();

  // Works out Opaque, loads the textures through GlDriver and records the base texture's size. A texture
  // that cannot be loaded is fatal (source "material").
  void Preload();
  // Sets all OpenGL state for drawing with this material; `time` (the caller's clock) only drives the
  // texture animation. Leaves the texture matrix selected.
  void Apply(float time);
  // Gives back one reference to each loaded texture. The binds keep their values.
  void Release();

  uint32_t BaseBind;
  uint32_t EnviBind;
  char Name[128];          // only for error messages
  char BaseTexture[256];   // archive name of the base texture
  char EnviTexture[256];   // archive name of the environment texture; empty: the base texture's file
  int32_t UseBase;         // non-zero: textured
  int32_t UseEnvi;         // non-zero (with UseBase): add the sphere-mapped environment texture
  int32_t Wrap;            // load option of the base texture: 1 repeat, otherwise clamp
  int32_t Mipmap;          // load option of both textures: 1 mip-mapped
  int32_t Wireframe;       // 1: polygons as lines
  int32_t AnimateTexture;  // 1: animate the texture matrix of unit 0
  int32_t EnviAdd;         // with the combine extension and two textures: add instead of modulate
  float Ambient[3];        // colours of untextured materials
  float Diffuse[3];
  float Specular[3];
  float Alpha;  // baked into the textures' alpha at load; the colours' alpha when untextured
  GLenum BlendSrc;
  GLenum BlendDst;
  int32_t AlphaMode;  // ALPHA_* rule of both textures; ALPHA_COLORKEY also turns on the alpha test
  int32_t BaseWidth;  // size of the base texture as loaded
  int32_t BaseHeight;
  // Texture animation. The clock t is time x AnimSpeed (AnimMode 1), sin(time x AnimSpeed) (AnimMode 2) or
  // 0; each quantity is its base value plus t times its rate. Angles in radians; the axis is not
  // normalised. The default scale 0 collapses the texture to one texel, so animating owners set AnimScale.
  int32_t AnimMode;
  float AnimAngle;
  float AnimAxis[3];
  float AnimAngleRate;
  float AnimAxisRate[3];
  float AnimScale[3];
  float AnimScaleRate[3];
  float AnimTranslate[3];
  float AnimTranslateRate[3];
  float AnimSpeed;
  int32_t Opaque;  // set by Preload: 1 when drawing needs no blending order

 private:
  // Blending, depth, alpha test, current colour, winding, culling and polygon mode.
  void ApplyCommonState(int alphaTest);
};

// Gives back the material's textures and deletes it; the pointer ends null. Null is ignored.
void FreeMaterial(GL_MATERIAL *&material);
