// The fonts on the disk's own pictures in a 1024 x 768 window: the time to build the outline font, and the
// text of one player-screen frame (two 13-character titles in the outline font, five 20-character info
// lines and the order/row line in the texture font) up to glFinish. The frame it measures is also written,
// over the panel picture, to "text_panel.png" beside the archive for looking at. Needs a display:
//   scripts/with-xvfb build/bench/text/text_bench
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "graphics/gldriver.h"
#include "material/material.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "text/text.h"

namespace {

const int32_t kWidth = 1024, kHeight = 768;

void BM_OutlineFontCreation(benchmark::State &state) {
  for (auto _ : state) {
    GL_TTFONTS *fonts = new (__LINE__, "text_bench") GL_TTFONTS("data/marker2.jpg", "Impact", 0, -12);
    glFinish();
    delete fonts;
  }
}
BENCHMARK(BM_OutlineFontCreation)->Unit(benchmark::kMillisecond)->UseRealTime();

// The text steps of the player screen, with the panel's colours, blending and texture matrix.
void DrawPanelText(GL_TEXFONT *info, GL_TTFONTS *titles, float clock) {
  static const char *const kInfo[5] = {"Composed by Nobody ", "Length: 3 min 12 s  ", "Channels: 8 (XM)    ",
                                       "Patterns: 24        ", "Samples: 16         "};
  info->BeginText();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0.6f, 0.1f, 0.1f, 0.7f);
  for (int i = 0; i < 5; i++) info->Print(kInfo[i], 314 / 512.0f, (145 + 20 * i) / 512.0f, 0);
  glColor4f(0.8f, 0, 0, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  info->Print("O:07 R:032", 206 / 512.0f, 448 / 512.0f, 0);

  titles->BeginOutlineText();
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 0.4f);
  glDisable(GL_DEPTH_TEST);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glScalef(0.2f, 0.2f, 0.2f);
  glRotatef(clock * 4, 1, 1, 1);
  glMatrixMode(GL_MODELVIEW);
  const float angle = 40 * std::sin(clock * 0.025f);
  titles->PrintOutline("Tunemill Demo", 314 / 512.0f, 38 / 512.0f, 0, 20, 20, angle, -0.285f);
  titles->PrintOutline("Outline Fonts", 314 / 512.0f, 88 / 512.0f, 0, 20, 20, angle, -0.285f);
}

// The panel picture over the whole screen, as the player screen lays its background.
void DrawPanel(GL_MATERIAL *panel) {
  c_GLDRIVER::SetDefaultState();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 1, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  panel->Apply(0);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  static const float kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const auto &corner : kCorners) {
    glTexCoord2f(corner[0], corner[1]);
    glVertex2f(corner[0], corner[1]);
  }
  glEnd();
}

void SavePng(const char *path) {
  std::vector<uint8_t> rgba((size_t)kWidth * kHeight * 4);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = kWidth;
  image.height = kHeight;
  image.format = PNG_FORMAT_RGBA;
  // A negative stride: the rows OpenGL hands back run bottom-up.
  png_image_write_to_file(&image, path, 0, rgba.data(), -kWidth * 4, nullptr);
}

void BM_PanelText(benchmark::State &state) {
  GL_TEXFONT *info = new (__LINE__, "text_bench") GL_TEXFONT("data/font.gif", 60, 25);
  GL_TTFONTS *titles = new (__LINE__, "text_bench") GL_TTFONTS("data/marker2.jpg", "Impact", 0, -12);
  float clock = 0;
  for (auto _ : state) {
    DrawPanelText(info, titles, clock += 1.0f);
    glFinish();
  }
  GL_MATERIAL *panel = new (__LINE__, "text_bench") GL_MATERIAL;
  strcpy(panel->BaseTexture, "data/panel1.jpg");
  panel->UseBase = 1;
  panel->Alpha = 1.0f;
  panel->Preload();
  DrawPanel(panel);
  DrawPanelText(info, titles, 30.0f);
  SavePng("text_panel.png");
  panel->Release();
  delete panel;
  delete titles;
  delete info;
}
// The CPU column counts every thread, the renderer's own included.
BENCHMARK(BM_PanelText)->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (chdir(TUNEMILL_BINARY_DIR) != 0) return 1;
  OpenResource();
  SetupOptions = SETUP_OPTIONS{kWidth, kHeight, 32, 16, 0, 0, 0, 0.0f, 0, 1};
  MainWindow = PlatformCreateMainWindow("Tunemill");
  if (MainWindow == nullptr) return 1;
  PlatformShowWindow(MainWindow);
  GlDriver = new (__LINE__, "text_bench") c_GLDRIVER(MainWindow, GLDRIVER_DOUBLEBUFFER, kWidth, kHeight, 32, 0);
  benchmark::RunSpecifiedBenchmarks();
  delete GlDriver;
  PlatformDestroyWindow(MainWindow);
  CloseResource();
  return 0;
}
