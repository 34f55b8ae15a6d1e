// Pictures of every scene and overlay alone over a black screen, with the disk's pictures and its first
// track playing: each runs for three seconds of real time and its last frame goes to OUTDIR/<name>.png,
// the fly-in also at three points of its progress. scripts/effect-shots runs it.
//   effect_shots OUTDIR [WIDTHxHEIGHT]   (from the build folder, under scripts/with-xvfb)
#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "effects/tknot.h"
#include "platform/platform.h"
#include "stage.h"

namespace {

bool SaveBackBuffer(int width, int height, const std::string &path) {
  std::vector<unsigned char> rgb((size_t)width * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = (png_uint_32)width;
  image.height = (png_uint_32)height;
  image.format = PNG_FORMAT_RGB;
  // A negative row stride writes OpenGL's bottom-up rows top row first.
  return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), -width * 3, nullptr) != 0;
}

}  // namespace

int main(int argc, char **argv) {
  int width = 640, height = 480;
  if (argc < 2 || (argc > 2 && sscanf(argv[2], "%dx%d", &width, &height) != 2)) {
    fprintf(stderr, "usage: effect_shots OUTDIR [WIDTHxHEIGHT]\n");
    return 2;
  }
  const std::string out = argv[1];
  if (!OpenStage(width, height)) {
    fprintf(stderr, "effect_shots: no display\n");
    return 1;
  }
  int failures = 0;
  auto save = [&](const std::string &name) {
    const std::string path = out + "/" + name + ".png";
    if (SaveBackBuffer(width, height, path)) {
      printf("%s\n", path.c_str());
    } else {
      fprintf(stderr, "effect_shots: cannot write %s\n", path.c_str());
      failures++;
    }
  };

  for (int d = 1; d < gStageDrawerCount; d++) {
    const STAGE_DRAWER &drawer = gStageDrawers[d];
    const uint32_t start = PlatformTickCount();
    uint32_t last = start, now = start;
    do {
      now = PlatformTickCount();
      StageFrame(drawer, (float)(now - start) * 0.033f, (float)(now - last) * 0.033f);
      last = now;
      if (now - start >= 3000) save(drawer.Name);
      StagePresent();
    } while (now - start < 3000);
  }
  for (float x : {0.0f, 0.1f, 0.5f}) {
    StageFrame(gStageDrawers[0], 0, 0);  // the black screen alone
    TorusKnotDrawIntro(x);
    glFinish();
    save("knot-intro-" + std::to_string((int)(x * 10)));
    StagePresent();
  }
  CloseStage();
  return failures ? 1 : 0;
}
