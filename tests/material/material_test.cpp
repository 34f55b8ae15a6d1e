// GL_MATERIAL on a real driver and context: the Opaque rule, the state Apply leaves (read back with glGet)
// with no texture, one texture or two, the texture animation and the preload failures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

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
    for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {  // texturing left on in both units
      glActiveTextureARB(unit);
      c_GLDRIVER::SetDefaultState();
    }
    const std::vector<uint8_t> palette = {0, 0, 0, 200, 100, 50};
    WriteWholeFile("panel.gif", GiflibGif(8, 4, std::vector<uint8_t>(32, 1), palette, 1));
    WriteWholeFile("chrome.gif", GiflibGif(4, 4, std::vector<uint8_t>(16, 1), palette, 1));
  }
  void TearDown() override { EXPECT_EQ(GlDriver->TextureList, nullptr) << "every test releases its textures"; }
  ScopedTempDir dir_;
};

bool Enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

// Selects a texture unit and tells what is bound there, -1 when texturing is off.
GLint Unit(GLenum unit) {
  glActiveTextureARB(unit);
  return Enabled(GL_TEXTURE_2D) ? GlInteger(GL_TEXTURE_BINDING_2D) : -1;
}

// A textured material of alpha 1 on `base`; with `envi` (empty: the base's file) an environment texture too.
void Textured(GL_MATERIAL &m, const char *base, const char *envi) {
  strcpy(m.BaseTexture, base);
  if (envi) strcpy(m.EnviTexture, envi);
  m.UseBase = 1, m.UseEnvi = envi != nullptr, m.Alpha = 1.0f;
}

// Untextured materials (an environment texture asked for without a base loads nothing): depth, culling and
// blending from the Opaque rule, their own colours with their alpha, the emission the brightness.
TEST_F(MaterialTest, OpaqueRuleDecidesDepthAndCullingAndUntexturedMaterialsUseTheirOwnColours) {
  const GLenum src = GL_SRC_ALPHA, dst = GL_ONE_MINUS_SRC_ALPHA;  // the default blend factors
  const struct { float alpha; GLenum src, dst; int32_t alphaMode, opaque; } cases[] = {
      {1.0f, src, dst, ALPHA_CONSTANT, 1}, {1.0f, src, dst, ALPHA_COLORKEY, 1}, {0.4f, src, dst, ALPHA_CONSTANT, 0},
      {1.0f, src, GL_ONE, ALPHA_CONSTANT, 0}, {1.0f, GL_ONE, dst, ALPHA_CONSTANT, 0}, {1.0f, src, dst, 5, 0},
      {2.0f, src, dst, ALPHA_LUMINANCE, 0}, {0.0f, src, dst, ALPHA_CONSTANT, 0}};  // the last as constructed
  for (auto &c : cases)
    for (int32_t on : {0, 1}) {  // culling asked for, and wireframe
      SetupOptions.BackFaceCull = on;
      GL_MATERIAL m;
      m.Alpha = c.alpha, m.BlendSrc = c.src, m.BlendDst = c.dst, m.AlphaMode = c.alphaMode;
      m.Diffuse[1] = 0.7f, m.Wireframe = on, m.UseEnvi = 1;
      m.Preload();
      ASSERT_EQ(m.Opaque, c.opaque) << c.alpha << " " << c.dst << " " << c.alphaMode;
      m.Apply(0.0f);
      // Never an alpha test, even with the colour key.
      EXPECT_EQ(std::vector<int>({GlInteger(GL_DEPTH_FUNC), GlInteger(GL_DEPTH_WRITEMASK), Enabled(GL_CULL_FACE),
                                  Enabled(GL_DEPTH_TEST), GlInteger(GL_BLEND_SRC), GlInteger(GL_BLEND_DST),
                                  Enabled(GL_ALPHA_TEST), GlInteger(GL_MATRIX_MODE), GlInteger(GL_POLYGON_MODE)}),
                std::vector<int>({c.opaque ? GL_LESS : GL_LEQUAL, c.opaque, c.opaque && on, 1, (int)c.src,
                                  (int)c.dst, 0, GL_TEXTURE, on ? GL_LINE : GL_FILL}))
          << c.alpha << " " << c.dst << " " << c.alphaMode << " on " << on;
      EXPECT_EQ(GlMaterial(GL_BACK, GL_DIFFUSE), std::vector<float>({0.0f, 0.7f, 0.0f, c.alpha}));
      EXPECT_EQ(GlMaterial(GL_FRONT, GL_EMISSION), std::vector<float>({0.25f, 0.25f, 0.25f, c.alpha}));
      EXPECT_EQ(Unit(GL_TEXTURE1_ARB) + Unit(GL_TEXTURE0_ARB), -2);
    }
}

// One texture on unit 0; two with the environment texture sphere-mapped on unit 1, of the base's own file
// when none is named (the same texture when the options match too).
TEST_F(MaterialTest, TexturedMaterialsBindTheirTexturesOnTheirUnitsOrCannotBeLoaded) {
  ASSERT_NE(glActiveTextureARB, nullptr) << "Mesa offers multitexture";
  const struct { const char *envi; int32_t wrap, enviAdd, alphaMode; GLenum unit, rgb; } cases[] = {
      {nullptr, 1, 0, ALPHA_COLORKEY, GL_TEXTURE0_ARB, GL_MODULATE},  // finds unit 1 textured
      {"", 1, 1, ALPHA_CONSTANT, GL_TEXTURE1_ARB, GL_ADD},
      {"chrome.gif", 0, 0, ALPHA_CONSTANT, GL_TEXTURE1_ARB, GL_MODULATE}};
  for (auto &c : cases) {
    GL_MATERIAL m;
    Textured(m, "panel.gif", c.envi);
    m.Wrap = c.wrap, m.EnviAdd = c.enviAdd, m.AlphaMode = c.alphaMode, m.Mipmap = 0;
    m.Preload();
    EXPECT_EQ(m.BaseWidth * 10 + m.BaseHeight, 8 * 10 + 4) << "the base texture's size";
    EXPECT_EQ(m.EnviBind == m.BaseBind, c.envi && !*c.envi) << "one texture when the file and options match";
    m.Apply(0.0f);
    EXPECT_EQ(GlInteger(GL_ACTIVE_TEXTURE_ARB), (int)c.unit) << "the last unit set stays selected";
    // Lighting takes the default material; the alpha test passes the colour key's opaque texels only.
    EXPECT_EQ(GlMaterial(GL_FRONT, GL_DIFFUSE), std::vector<float>({0.6f, 0.6f, 0.6f, 1.0f}));
    EXPECT_EQ(Enabled(GL_ALPHA_TEST), c.alphaMode == ALPHA_COLORKEY);
    EXPECT_TRUE(c.alphaMode != ALPHA_COLORKEY ||
                (GlInteger(GL_ALPHA_TEST_FUNC) == GL_GREATER && GlFloats(GL_ALPHA_TEST_REF, 1)[0] == 0.3f));
    EXPECT_EQ(Unit(GL_TEXTURE1_ARB), m.UseEnvi ? (GLint)m.EnviBind : -1);
    GLint gen = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &gen);
    EXPECT_TRUE(!m.UseEnvi || (Enabled(GL_TEXTURE_GEN_S) && Enabled(GL_TEXTURE_GEN_T) && gen == GL_SPHERE_MAP));
    EXPECT_EQ(Unit(GL_TEXTURE0_ARB), (GLint)m.BaseBind);
    EXPECT_FALSE(Enabled(GL_TEXTURE_GEN_S));
    GLint mode = 0, rgb = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, &rgb);
    EXPECT_TRUE(!GlDriver->HasEnvCombine || (mode == GL_COMBINE_EXT && rgb == (GLint)c.rgb)) << mode << " " << rgb;
    m.Release();
  }
  // A texture that cannot be loaded is fatal.
  const struct { const char *base, *envi, *message; } unloadable[] = {
      {"missing.gif", "", "GL_MATERIAL::Texture (missing.gif)(panel) preload error ![base]"},
      {"panel.gif", "nothing.bmp", "GL_MATERIAL::Texture (nothing.bmp)(panel) preload error ![env]"}};
  for (auto &c : unloadable)
    ExpectFatal(
        [&c] {
          GL_MATERIAL m;
          strcpy(m.Name, "panel");
          Textured(m, c.base, c.envi);
          m.Preload();
        },
        "material", c.message);
}

TEST_F(MaterialTest, TextureAnimationLoadsTheTrsMatrixIntoUnitZero) {
  GL_MATERIAL m;
  m.AnimSpeed = 0.5f, m.AnimAngle = 0.3f, m.AnimAngleRate = m.AnimAxis[2] = 1.0f;
  m.AnimScale[0] = m.AnimScale[1] = m.AnimScale[2] = 1.0f;
  m.AnimScaleRate[0] = 0.5f, m.AnimTranslateRate[1] = 2.0f;
  m.Preload();
  // At time 1.7 the sine clock is sin(0.85) = 0.75128: a turn of 0.3 + 0.75128 about z, x scaled by
  // 1 + 0.5 x 0.75128 and a shift of 2 x 0.75128 along y. Mode 0 freezes the animation at its base values,
  // the turn of 0.3 alone; without animation the matrix is reset.
  const struct { int32_t animate, mode; float time; std::vector<float> matrix; } frames[] = {
      {1, 2, 1.7f, {0.68295f, 0.86806f, 0, 0, -1.19414f, 0.49646f, 0, 0, 0, 0, 1, 0, 0, 1.50256f, 0, 1}},
      {1, 0, 123.0f, {0.95534f, 0.29552f, 0, 0, -0.29552f, 0.95534f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
      {0, 2, 1.0f, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  for (const auto &f : frames) {
    m.AnimateTexture = f.animate, m.AnimMode = f.mode;
    m.Apply(f.time);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const std::vector<float> got = GlFloats(GL_TEXTURE_MATRIX, 16);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(got[i], f.matrix[i], 1e-4) << "time " << f.time << " element " << i;
  }
}

}  // namespace
