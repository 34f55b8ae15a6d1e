// GL_MATERIAL on a real driver and context: the Opaque rule, the state Apply leaves (read back with glGet),
// the environment texture, the texture animation and the preload failures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>

#include "graphics/gldriver.h"
#include "gltestkit.h"
#include "material/material.h"
#include "picture_writers.h"
#include "shell/shell.h"
#include "testkit.h"

namespace {

class MaterialTest : public DriverSuite {
 protected:
  void SetUp() override {
    SetupOptions.BackFaceCull = 1;
    SetupOptions.Brightness = 0.25f;
    c_GLDRIVER::SetDefaultState();
    const std::vector<uint8_t> palette = {0, 0, 0, 200, 100, 50};
    WriteWholeFile("panel.gif", GiflibGif(8, 4, std::vector<uint8_t>(32, 1), palette, 1));
    WriteWholeFile("chrome.gif", GiflibGif(4, 4, std::vector<uint8_t>(16, 1), palette, 1));
  }
  void TearDown() override { EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases its textures"; }
  ScopedTempDir dir_;
};

bool Enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

// Selects a texture unit and tells what is bound there (0 when texturing is off).
GLuint Unit(GLenum unit) {
  glActiveTextureARB(unit);
  return Enabled(GL_TEXTURE_2D) ? (GLuint)GlInteger(GL_TEXTURE_BINDING_2D) : 0;
}

// A texture environment value of the selected unit, when the driver has the combine extension.
void ExpectCombine(GLenum name, GLenum expected) {
  GLfloat value = 0;
  glGetTexEnvfv(GL_TEXTURE_ENV, name, &value);
  if (GlDriver->HasEnvCombine) {
    EXPECT_EQ((GLenum)value, expected) << name;
  }
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
  const struct {
    float alpha;
    GLenum src, dst;
    int32_t alphaMode, opaque;
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
  for (auto &c : cases)
    for (int32_t cull : {0, 1}) {
      SetupOptions.BackFaceCull = cull;
      GL_MATERIAL m;
      m.Alpha = c.alpha, m.BlendSrc = c.src, m.BlendDst = c.dst, m.AlphaMode = c.alphaMode;
      m.Preload();
      ASSERT_EQ(m.Opaque, c.opaque) << c.alpha << " " << c.dst << " " << c.alphaMode;
      m.Apply(0.0f);
      // Untextured: never an alpha test, even with the colour key.
      EXPECT_EQ(std::vector<int>({GlInteger(GL_DEPTH_FUNC), GlInteger(GL_DEPTH_WRITEMASK), Enabled(GL_CULL_FACE),
                                  Enabled(GL_DEPTH_TEST), GlInteger(GL_BLEND_SRC), GlInteger(GL_BLEND_DST),
                                  Enabled(GL_ALPHA_TEST), GlInteger(GL_MATRIX_MODE)}),
                std::vector<int>({c.opaque ? GL_LESS : GL_LEQUAL, c.opaque, c.opaque && cull, 1, (int)c.src,
                                  (int)c.dst, 0, GL_TEXTURE}))
          << c.alpha << " " << c.dst << " " << c.alphaMode << " cull " << cull;
    }
}

TEST_F(MaterialTest, UntexturedMaterialUsesItsOwnColoursWithItsAlpha) {
  GL_MATERIAL m;
  m.Alpha = 0.5f, m.Diffuse[1] = 0.7f;
  m.Wireframe = 1;
  m.UseEnvi = 1;  // without UseBase nothing is loaded
  m.Preload();
  EXPECT_EQ(m.BaseBind | m.EnviBind, 0u);
  m.Apply(0.0f);
  EXPECT_EQ(Unit(GL_TEXTURE1_ARB) + Unit(GL_TEXTURE0_ARB), 0u);
  // Each colour on both faces carries the material's alpha; the emission is the brightness.
  EXPECT_EQ(GlMaterial(GL_BACK, GL_DIFFUSE), std::vector<float>({0.0f, 0.7f, 0.0f, 0.5f}));
  EXPECT_EQ(GlMaterial(GL_FRONT, GL_EMISSION), std::vector<float>({0.25f, 0.25f, 0.25f, 0.5f}));
  EXPECT_EQ(GlFloats(GL_POLYGON_MODE, 2), std::vector<float>({GL_LINE, GL_LINE}));
  m.Release();
}

TEST_F(MaterialTest, OneTextureOnUnitZeroWithColourKeyAlphaTest) {
  GL_MATERIAL m;
  Textured(m, "panel.gif", nullptr);
  m.AlphaMode = ALPHA_COLORKEY;
  m.Mipmap = 0;
  m.Preload();
  ASSERT_NE(m.BaseBind, 0u);
  EXPECT_EQ(m.BaseWidth * 10 + m.BaseHeight, 8 * 10 + 4);
  EXPECT_EQ(m.Opaque, 1);
  m.Apply(0.0f);
  EXPECT_EQ(GlInteger(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB) << "unit 0 stays selected";
  EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(Enabled(GL_ALPHA_TEST));
  EXPECT_EQ(GlInteger(GL_ALPHA_TEST_FUNC), GL_GREATER);
  EXPECT_NEAR(GlFloats(GL_ALPHA_TEST_REF, 1)[0], 0.3f, 1e-6);
  // The default lighting material, not the material's own colours.
  EXPECT_EQ(GlMaterial(GL_FRONT, GL_DIFFUSE), std::vector<float>({0.6f, 0.6f, 0.6f, 1.0f}));
  ExpectCombine(GL_TEXTURE_ENV_MODE, GL_COMBINE_EXT);
  EXPECT_EQ(Unit(GL_TEXTURE1_ARB), 0u);
  EXPECT_EQ(Unit(GL_TEXTURE0_ARB), m.BaseBind);
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
  EXPECT_EQ(GlInteger(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE1_ARB) << "unit 1 stays selected";
  EXPECT_TRUE(Enabled(GL_TEXTURE_2D) && Enabled(GL_TEXTURE_GEN_S) && Enabled(GL_TEXTURE_GEN_T));
  GLint gen = 0;
  glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen);
  EXPECT_EQ(gen, GL_SPHERE_MAP);
  EXPECT_EQ(Unit(GL_TEXTURE0_ARB), m.BaseBind);
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
  EXPECT_EQ(Unit(GL_TEXTURE1_ARB), two.EnviBind);
  EXPECT_EQ(Unit(GL_TEXTURE0_ARB), two.BaseBind);
  ExpectCombine(GL_COMBINE_RGB_EXT, GL_MODULATE);
  two.Release();
}

TEST_F(MaterialTest, TextureAnimationLoadsTheTrsMatrixIntoUnitZero) {
  GL_MATERIAL m;
  m.AnimateTexture = 1;
  m.AnimMode = 2, m.AnimSpeed = 0.5f;
  m.AnimAngle = 0.3f, m.AnimAngleRate = m.AnimAxis[2] = 1.0f;
  m.AnimScale[0] = m.AnimScale[1] = m.AnimScale[2] = 1.0f;
  m.AnimScaleRate[0] = 0.5f;
  m.AnimTranslateRate[1] = 2.0f;
  m.Preload();
  // At time 1.7 the clock is sin(0.85) = 0.75128: a turn of 0.3 + 0.75128 about z, x scaled by
  // 1 + 0.5 x 0.75128 and a shift of 2 x 0.75128 along y.
  const std::pair<float, std::vector<float>> frames[] = {
      {1.7f, {0.68295f, 0.86806f, 0, 0, -1.19414f, 0.49646f, 0, 0, 0, 0, 1, 0, 0, 1.50256f, 0, 1}},
      // Mode 0 freezes the animation at its base values: the turn of 0.3 alone.
      {123.0f, {0.95534f, 0.29552f, 0, 0, -0.29552f, 0.95534f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  for (const auto &[time, expected] : frames) {
    m.Apply(time);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_TEXTURE);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const std::vector<float> got = GlFloats(GL_TEXTURE_MATRIX, 16);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(got[i], expected[i], 1e-4) << "time " << time << " element " << i;
    m.AnimMode = 0;
  }
  // Without animation the matrix is reset.
  m.AnimateTexture = 0;
  m.Apply(1.0f);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  EXPECT_EQ(GlFloats(GL_TEXTURE_MATRIX, 16), std::vector<float>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  m.Release();
}

TEST_F(MaterialTest, TextureThatCannotBeLoadedIsFatal) {
  const struct {
    const char *base, *envi, *message;
  } cases[] = {
      {"missing.gif", "", "GL_MATERIAL::Texture (missing.gif)(panel) preload error ![base]"},
      {"panel.gif", "nothing.bmp", "GL_MATERIAL::Texture (nothing.bmp)(panel) preload error ![env]"},
  };
  for (auto &c : cases)
    ExpectFatal(
        [&c] {
          GL_MATERIAL m;
          strcpy(m.Name, "panel");
          Textured(m, c.base, c.envi);
          m.Preload();
        },
        "material", c.message);
}

}  // namespace
