// artgen: draws every picture of the disk into <disk folder>/data/, and, when a second folder is given,
// a PNG preview of each picture plus "contact-sheet.png" into it.
//
//   artgen <disk folder> [preview folder]
//
// The output is byte-identical from run to run: fixed seeds, no clock, fonts rendered with fixed options.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "artgen.h"

namespace {

struct Picture {
  const char *name;  // archive member name; the extension picks the format
  int width;
  int height;
  void (*draw)(Canvas &);
  std::vector<uint8_t> (*palette)();  // GIF only: grey level -> colour
};

const Picture kPictures[] = {
    {"data/font.gif", 256, 256, DrawFont, FontPalette},
    {"data/panel1.jpg", 1024, 1024, DrawPanel1, nullptr},
    {"data/panel5.jpg", 1024, 1024, DrawPanel5, nullptr},
    {"data/begcv0.jpg", 1024, 1024, DrawBeginCover0, nullptr},
    {"data/begcv1.jpg", 1024, 1024, DrawBeginCover1, nullptr},
    {"data/endcvr.jpg", 1024, 1024, DrawEndCover, nullptr},
    {"data/theend.jpg", 1024, 1024, DrawTheEnd, nullptr},
    {"data/scrler.gif", 64, 32, DrawScroller, ScrollerPalette},
    {"data/marker.jpg", 256, 256, DrawMarker, nullptr},
    {"data/marker2.jpg", 256, 256, DrawMarker2, nullptr},
    {"data/meta1.jpg", 256, 256, DrawMetaBase, nullptr},
    {"data/meta2.jpg", 256, 256, DrawMetaEnvironment, nullptr},
    {"data/parts.png", 64, 64, DrawParticle, nullptr},
    {"data/sbar.jpg", 64, 128, DrawSpectrumBar, nullptr},
    {"data/tack1b.jpg", 256, 256, DrawTentacle1Base, nullptr},
    {"data/tack1e.jpg", 256, 256, DrawTentacle1Environment, nullptr},
    {"data/tack2b.jpg", 256, 256, DrawTentacle2Base, nullptr},
    {"data/tack2e.jpg", 256, 256, DrawTentacle2Environment, nullptr},
    {"data/tk1.jpg", 256, 256, DrawKnotEnvironment, nullptr},
    {"data/tk2.jpg", 256, 256, DrawKnotBase, nullptr},
};
const int kPictureCount = int(sizeof(kPictures) / sizeof(kPictures[0]));

bool EndsWith(const char *s, const char *tail) {
  const size_t n = strlen(s), m = strlen(tail);
  return n >= m && strcmp(s + n - m, tail) == 0;
}

bool MakeFolder(const std::string &path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Grey levels of a GIF picture become palette indices; the canvas is recoloured with the palette so that
// the preview shows what ships.
std::vector<uint8_t> ToIndices(Canvas &c, const std::vector<uint8_t> &palette) {
  const std::vector<uint8_t> rgb = c.Rgb();
  std::vector<uint8_t> indices(size_t(c.Width()) * c.Height());
  for (size_t i = 0; i < indices.size(); i++) indices[i] = rgb[i * 3];
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const size_t k = size_t(indices[size_t(y) * c.Width() + x]) * 3;
      c.SetPixel(x, y, palette[k] / 255.0, palette[k + 1] / 255.0, palette[k + 2] / 255.0);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
  return indices;
}

bool WritePicture(const Picture &p, Canvas &c, const std::string &path) {
  if (EndsWith(p.name, ".jpg")) return WriteJpeg(path, c, 92);
  if (EndsWith(p.name, ".png")) return WritePng(path, c);
  const std::vector<uint8_t> palette = p.palette();
  const std::vector<uint8_t> indices = ToIndices(c, palette);
  return WriteGif(path, c.Width(), c.Height(), indices, palette);
}

// One thumbnail on the contact sheet, scaled to w x h, with its name underneath.
void Thumbnail(cairo_t *cr, const Canvas &c, const char *name, double x, double y, double w, double h) {
  cairo_save(cr);
  cairo_rectangle(cr, x - 1, y - 1, w + 2, h + 2);
  cairo_set_source_rgb(cr, 0.3, 0.3, 0.32);
  cairo_fill(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, w / c.Width(), h / c.Height());
  cairo_set_source_surface(cr, c.Surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_rectangle(cr, 0, 0, c.Width(), c.Height());
  cairo_fill(cr);
  cairo_restore(cr);
  char label[96];
  snprintf(label, sizeof label, "%s  %dx%d", name + 5, c.Width(), c.Height());
  UseFace(cr, FACE_SANS_CONDENSED_BOLD, 13);
  TextPath(cr, x, y + h + 16, label, ALIGN_LEFT);
  cairo_set_source_rgb(cr, 0.8, 0.82, 0.86);
  cairo_fill(cr);
}

bool WriteContactSheet(const std::string &path, const std::vector<std::unique_ptr<Canvas>> &canvases) {
  const int width = 1280, height = 1175;
  Canvas sheet(width, height);
  cairo_t *cr = sheet.Cr();
  cairo_set_source_rgb(cr, 0.09, 0.09, 0.11);
  cairo_paint(cr);
  UseFace(cr, FACE_SANS_BOLD, 24);
  TextPath(cr, 20, 38, "Tunemill: the pictures of the disk", ALIGN_LEFT);
  cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
  cairo_fill(cr);
  UseFace(cr, FACE_SANS_CONDENSED_BOLD, 14);
  TextPath(cr, 20, 60, "drawn by tools/artgen during the build; panels and covers shown stretched to 4:3 as on screen",
           ALIGN_LEFT);
  cairo_set_source_rgb(cr, 0.6, 0.62, 0.66);
  cairo_fill(cr);
  // Panels and covers large and at the screen's aspect, the textures in a grid below.
  double y = 80;
  int next = 0;
  for (int i = 0; i < kPictureCount; i++) {
    if (strncmp(kPictures[i].name, "data/panel", 10) != 0) continue;
    Thumbnail(cr, *canvases[i], kPictures[i].name, 20 + next * 625, y, 615, 461);
    next++;
  }
  y += 490;
  next = 0;
  for (int i = 0; i < kPictureCount; i++) {
    const char *n = kPictures[i].name;
    if (strstr(n, "cv") == nullptr && strstr(n, "theend") == nullptr) continue;
    Thumbnail(cr, *canvases[i], n, 20 + next * 312, y, 302, 226);
    next++;
  }
  y += 255;
  next = 0;
  for (int i = 0; i < kPictureCount; i++) {
    const char *n = kPictures[i].name;
    if (strstr(n, "panel") || strstr(n, "cv") || strstr(n, "theend")) continue;
    const Canvas &c = *canvases[i];
    const double scale = 142.0 / std::max(c.Width(), c.Height());
    Thumbnail(cr, c, n, 20 + (next % 8) * 155, y + (next / 8) * 170, c.Width() * scale, c.Height() * scale);
    next++;
  }
  return WritePng(path, sheet);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: artgen <disk folder> [preview folder]\n");
    return 2;
  }
  const std::string disk = argv[1];
  const std::string previews = argc == 3 ? argv[2] : "";
  if (!MakeFolder(disk) || !MakeFolder(disk + "/data") || (!previews.empty() && !MakeFolder(previews))) {
    fprintf(stderr, "artgen: cannot create the output folders\n");
    return 1;
  }
  OpenFaces();
  std::vector<std::unique_ptr<Canvas>> canvases;
  bool ok = true;
  for (int i = 0; ok && i < kPictureCount; i++) {
    const Picture &p = kPictures[i];
    canvases.push_back(std::make_unique<Canvas>(p.width, p.height));
    p.draw(*canvases.back());
    ok = WritePicture(p, *canvases.back(), disk + "/" + p.name);
    if (ok && !previews.empty()) {
      ok = WritePng(previews + "/" + (p.name + 5) + ".png", *canvases.back(), 2);
    }
  }
  if (ok && !previews.empty()) ok = WriteContactSheet(previews + "/contact-sheet.png", canvases);
  canvases.clear();
  CloseFaces();
  if (!ok) return 1;
  printf("artgen: %d pictures in %s/data\n", kPictureCount, disk.c_str());
  return 0;
}
