// GL_MATERIAL on a real driver and context: defaults, the Opaque rule, the state Apply leaves (read back
// with glGet), the environment texture, the texture animation and the preload failures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>

#include "geometry/vecmath.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "gltestkit.h"
#include "picture_writers.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "support/misc.h"
#include "testkit.h"

namespace {

class MaterialTest : public DriverSuite {
 protected:
  void SetUp() override {
    SetupOptions.BackFaceCull = 1;
    SetupOptions.Brightness = 0.25f;
    c_GLDRIVER::SetDefaultState();
    std::vector<uint8_t> palette = {0, 0, 0, 200, 100, 50};
    WriteWholeFile("panel.gif", GiflibGif(8, 4, std::vector<uint8_t>(32, 1), palette, 1));
    WriteWholeFile("chrome.gif", GiflibGif(4, 4, std::vector<uint8_t>(16, 1), palette, 1));
  }
  void TearDown() override { EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases its textures"; }
  ScopedTempDir dir_;
};

GLint Integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

std::vector<float> MaterialColour(GLenum face, GLenum which) {
  std::vector<float> colour(4);
  glGetMaterialfv(face, which, colour.data());
  return colour;
}

bool Enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

void SelectUnit(GLenum unit) {
  if (glActiveTextureARB) glActiveTextureARB(unit);
}

// A texture environment value of the selected unit, when the driver has the combine extension.
void ExpectCombine(GLenum name, GLenum expected) {
  if (!GlDriver->HasEnvCombine) return;
  GLfloat value = 0;
  glGetTexEnvfv(GL_TEXTURE_ENV, name, &value);
  EXPECT_EQ((GLenum)value, expected);
}

// A textured material of alpha 1 on `base`; with `envi` (empty: the base's file) an environment texture too.
void Textured(GL_MATERIAL &m, const char *base, const char *envi) {
  strcpy(m.BaseTexture, base);
  m.UseBase = 1;
  m.Alpha = 1.0f;
  if (envi) strcpy(m.EnviTexture, envi);
  m.UseEnvi = envi != nullptr;
}

TEST_F(MaterialTest, OpaqueRuleDecidesDepthAndCulling) {
  struct {
    float alpha;
    GLenum src, dst;
    int32_t alphaMode;
    int32_t opaque;
  } cases[] = {
      {1.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, ALPHA_CONSTANT, 1},
      {1.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, ALPHA_COLORKEY, 1},
      {0.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, ALPHA_CONSTANT, 0},  // what the constructor leaves
      {0.4f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, ALPHA_CONSTANT, 0},
      {1.0f, GL_SRC_ALPHA, GL_ONE, ALPHA_CONSTANT, 0},
      {1.0f, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, ALPHA_CONSTANT, 0},
      {2.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, ALPHA_LUMINANCE, 0},
      {1.0f, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 5, 0},
  };
  for (auto &c : cases) {
    for (int32_t cull : {0, 1}) {
      SetupOptions.BackFaceCull = cull;
      GL_MATERIAL m;
      m.Alpha = c.alpha;
      m.BlendSrc = c.src;
      m.BlendDst = c.dst;
      m.AlphaMode = c.alphaMode;
      m.Preload();
      ASSERT_EQ(m.Opaque, c.opaque) << c.alpha << " " << c.dst << " " << c.alphaMode;
      m.Apply(0.0f);
      EXPECT_EQ(Integer(GL_DEPTH_FUNC), c.opaque ? GL_LESS : GL_LEQUAL);
      GLboolean mask = GL_FALSE;
      glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
      EXPECT_EQ(mask, c.opaque ? GL_TRUE : GL_FALSE);
      EXPECT_EQ(Enabled(GL_CULL_FACE), c.opaque == 1 && cull == 1);
      EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
      EXPECT_EQ(Integer(GL_BLEND_SRC), (GLint)c.src);
      EXPECT_EQ(Integer(GL_BLEND_DST), (GLint)c.dst);
      // Untextured: never an alpha test, even with the colour key.
      EXPECT_FALSE(Enabled(GL_ALPHA_TEST));
      EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_TEXTURE);
    }
  }
}

TEST_F(MaterialTest, UntexturedMaterialUsesItsOwnColours) {
  GL_MATERIAL m;
  m.Alpha = 0.5f;
  m.Ambient[0] = 0.1f;
  m.Diffuse[1] = 0.7f;
  m.Specular[2] = 0.9f;
  m.Wireframe = 1;
  m.UseEnvi = 1;  // without UseBase nothing is loaded
  m.Preload();
  EXPECT_EQ(m.BaseBind | m.EnviBind, 0u);
  m.Apply(0.0f);
  SelectUnit(GL_TEXTURE1_ARB);
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  SelectUnit(GL_TEXTURE0_ARB);
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  // Each colour with the material's alpha; the emission is the brightness.
  EXPECT_EQ(MaterialColour(GL_FRONT, GL_AMBIENT), std::vector<float>({0.1f, 0.0f, 0.0f, 0.5f}));
  EXPECT_EQ(MaterialColour(GL_BACK, GL_DIFFUSE), std::vector<float>({0.0f, 0.7f, 0.0f, 0.5f}));
  EXPECT_EQ(MaterialColour(GL_FRONT, GL_SPECULAR), std::vector<float>({0.0f, 0.0f, 0.9f, 0.5f}));
  EXPECT_EQ(MaterialColour(GL_FRONT, GL_EMISSION), std::vector<float>({0.25f, 0.25f, 0.25f, 0.5f}));
  GLint modes[2];
  glGetIntegerv(GL_POLYGON_MODE, modes);
  EXPECT_EQ(modes[0], GL_LINE);
  EXPECT_EQ(modes[1], GL_LINE);
  m.Release();
}

TEST_F(MaterialTest, OneTextureOnUnitZeroWithColourKeyAlphaTest) {
  GL_MATERIAL m;
  Textured(m, "panel.gif", nullptr);
  m.AlphaMode = ALPHA_COLORKEY;
  m.Mipmap = 0;
  m.Preload();
  ASSERT_NE(m.BaseBind, 0u);
  EXPECT_EQ(m.BaseWidth, 8);
  EXPECT_EQ(m.BaseHeight, 4);
  EXPECT_EQ(m.Opaque, 1);
  m.Apply(0.0f);
  EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB) << "unit 0 stays selected";
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_EQ((GLuint)Integer(GL_TEXTURE_BINDING_2D), m.BaseBind);
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(Enabled(GL_ALPHA_TEST));
  EXPECT_EQ(Integer(GL_ALPHA_TEST_FUNC), GL_GREATER);
  GLfloat ref = 0;
  glGetFloatv(GL_ALPHA_TEST_REF, &ref);
  EXPECT_NEAR(ref, 0.3f, 1e-6);
  // The default lighting material, not the material's own colours.
  EXPECT_EQ(MaterialColour(GL_FRONT, GL_DIFFUSE), std::vector<float>({0.6f, 0.6f, 0.6f, 1.0f}));
  ExpectCombine(GL_TEXTURE_ENV_MODE, GL_COMBINE_EXT);
  SelectUnit(GL_TEXTURE1_ARB);
  EXPECT_FALSE(Enabled(GL_TEXTURE_2D));
  SelectUnit(GL_TEXTURE0_ARB);
  // Releasing gives the only reference back.
  m.Release();
  EXPECT_EQ(glIsTexture(m.BaseBind), GL_FALSE);
}

TEST_F(MaterialTest, EnvironmentTextureDefaultsToTheBaseFileAndIsSphereMappedOnUnitOne) {
  ASSERT_NE(glActiveTextureARB, nullptr) << "Mesa offers multitexture";
  GL_MATERIAL m;
  Textured(m, "panel.gif", "");
  m.EnviAdd = 1;
  m.Preload();
  EXPECT_STREQ(m.EnviTexture, "panel.gif");
  // Same file and options (the base repeats too): one texture, two references.
  EXPECT_EQ(m.EnviBind, m.BaseBind);
  EXPECT_EQ(GlDriver->TextureList->RefCount, 2);
  m.Apply(0.0f);
  EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE1_ARB) << "unit 1 stays selected";
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Enabled(GL_TEXTURE_GEN_S) && Enabled(GL_TEXTURE_GEN_T));
  GLint gen = 0;
  glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen);
  EXPECT_EQ(gen, GL_SPHERE_MAP);
  SelectUnit(GL_TEXTURE0_ARB);
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D));
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  ExpectCombine(GL_COMBINE_RGB_EXT, GL_ADD);
  m.Release();
  EXPECT_EQ(GlDriver->TextureList, nullptr);

  // A clamped base and a named environment texture are two textures.
  GL_MATERIAL two;
  Textured(two, "panel.gif", "chrome.gif");
  two.Wrap = 0;
  two.Preload();
  EXPECT_NE(two.EnviBind, two.BaseBind);
  EXPECT_EQ(two.BaseWidth, 8) << "the base texture's size, not the environment's";
  two.Apply(0.0f);
  EXPECT_EQ((GLuint)Integer(GL_TEXTURE_BINDING_2D), two.EnviBind);
  SelectUnit(GL_TEXTURE0_ARB);
  EXPECT_EQ((GLuint)Integer(GL_TEXTURE_BINDING_2D), two.BaseBind);
  ExpectCombine(GL_COMBINE_RGB_EXT, GL_MODULATE);
  two.Release();
}

// The texture matrix of unit 0 (an untextured Apply leaves unit 1 selected).
std::vector<float> TextureMatrix() {
  SelectUnit(GL_TEXTURE0_ARB);
  std::vector<float> m(16);
  glGetFloatv(GL_TEXTURE_MATRIX, m.data());
  return m;
}

TEST_F(MaterialTest, TextureAnimationLoadsTheTrsMatrixIntoUnitZero) {
  GL_MATERIAL m;
  m.AnimateTexture = 1;
  m.AnimAngleRate = m.AnimAxis[2] = 1.0f;
  m.AnimMode = 2;
  m.AnimSpeed = 0.5f;
  m.AnimAngle = 0.3f;
  m.AnimScale[0] = m.AnimScale[1] = m.AnimScale[2] = 1.0f;
  m.AnimScaleRate[0] = 0.5f;
  m.AnimTranslateRate[1] = 2.0f;
  m.Preload();
  const float time = 1.7f;
  m.Apply(time);
  EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_TEXTURE);
  std::vector<float> got = TextureMatrix();
  float t = sinf(time * 0.5f);
  MATRIX34 want;
  MatrixFromTRS(0, 2 * t, 0, 0.3f + t, 0, 0, 1, 1 + 0.5f * t, 1, 1, want);
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) EXPECT_NEAR(got[4 * r + c], want.m[r][c], 1e-5) << r << c;
  EXPECT_NEAR(got[13], 2 * t, 1e-5);
  EXPECT_EQ(got[3], 0.0f);
  EXPECT_EQ(got[15], 1.0f);
  // Other modes freeze the animation at its base values; without animation unit 1 and unit 0 are reset.
  m.AnimMode = 0;
  m.Apply(123.0f);
  got = TextureMatrix();
  EXPECT_NEAR(got[0], cosf(0.3f), 1e-5);
  EXPECT_NEAR(got[13], 0.0f, 1e-6);
  m.AnimateTexture = 0;
  m.Apply(1.0f);
  got = TextureMatrix();
  for (int i = 0; i < 16; i++) EXPECT_EQ(got[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
  m.Release();
}

TEST_F(MaterialTest, TextureThatCannotBeLoadedIsFatal) {
  struct {
    const char *base;
    const char *envi;
    const char *message;
  } cases[] = {
      {"missing.gif", "", "GL_MATERIAL::Texture (missing.gif)(panel) preload error ![base]"},
      {"panel.gif", "nothing.bmp", "GL_MATERIAL::Texture (nothing.bmp)(panel) preload error ![env]"},
  };
  for (auto &c : cases) {
    ChildResult child = RunChild([&c] {
      GL_MATERIAL m;
      strcpy(m.Name, "panel");
      Textured(m, c.base, c.envi);
      m.Preload();
    });
    EXPECT_TRUE(child.exited);
    EXPECT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.err, std::string("ERROR: ") + c.message + "\n");
    EXPECT_NE(child.out.find(std::string(" PROGRAM: -- ERROR: at material ")), std::string::npos) << child.out;
    EXPECT_NE(child.out.find(std::string(" : ") + c.message + " "), std::string::npos) << child.out;
  }
}

}  // namespace
