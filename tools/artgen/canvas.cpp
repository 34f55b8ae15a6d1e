#include "canvas.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Canvas

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cr_ = cairo_create(surface_);
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_paint(cr_);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

std::vector<uint8_t> Canvas::Rgb() const {
  cairo_surface_flush(surface_);
  const uint8_t *data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  std::vector<uint8_t> rgb(size_t(width_) * height_ * 3);
  for (int y = 0; y < height_; y++) {
    const uint32_t *row = reinterpret_cast<const uint32_t *>(data + size_t(y) * stride);
    for (int x = 0; x < width_; x++) {
      const uint32_t p = row[x];
      uint8_t *out = &rgb[(size_t(y) * width_ + x) * 3];
      out[0] = uint8_t(p >> 16);
      out[1] = uint8_t(p >> 8);
      out[2] = uint8_t(p);
    }
  }
  return rgb;
}

void Canvas::SetPixel(int x, int y, double r, double g, double b) {
  uint8_t *data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  uint32_t *row = reinterpret_cast<uint32_t *>(data + size_t(y) * stride);
  auto byte = [](double v) { return uint32_t(std::lround(Clamp01(v) * 255.0)); };
  row[x] = 0xff000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Lettering

static FT_Library sFreeType;
static FT_Face sFtFaces[FACE_COUNT];
static cairo_font_face_t *sFaces[FACE_COUNT];

static const char *const sFacePatterns[FACE_COUNT] = {
    "DejaVu Sans:style=Bold",
    "DejaVu Sans:style=Condensed Bold",
    "DejaVu Serif:style=Bold Italic",
    "DejaVu Sans Mono:style=Bold",
};

static std::string FindFontFile(const char *pattern) {
  FcPattern *want = FcNameParse(reinterpret_cast<const FcChar8 *>(pattern));
  FcConfigSubstitute(nullptr, want, FcMatchPattern);
  FcDefaultSubstitute(want);
  FcResult result;
  FcPattern *got = FcFontMatch(nullptr, want, &result);
  std::string file;
  FcChar8 *name = nullptr;
  FcChar8 *family = nullptr;
  // A match from another family would change every picture silently; only DejaVu is accepted.
  if (got && FcPatternGetString(got, FC_FILE, 0, &name) == FcResultMatch &&
      FcPatternGetString(got, FC_FAMILY, 0, &family) == FcResultMatch &&
      std::string(reinterpret_cast<char *>(family)).rfind("DejaVu", 0) == 0) {
    file = reinterpret_cast<char *>(name);
  }
  if (got) FcPatternDestroy(got);
  FcPatternDestroy(want);
  return file;
}

void OpenFaces() {
  if (FT_Init_FreeType(&sFreeType) != 0) {
    fprintf(stderr, "artgen: FreeType cannot start\n");
    exit(1);
  }
  for (int i = 0; i < FACE_COUNT; i++) {
    const std::string file = FindFontFile(sFacePatterns[i]);
    if (file.empty() || FT_New_Face(sFreeType, file.c_str(), 0, &sFtFaces[i]) != 0) {
      fprintf(stderr, "artgen: font \"%s\" not found (package fonts-dejavu-core)\n", sFacePatterns[i]);
      exit(1);
    }
    sFaces[i] = cairo_ft_font_face_create_for_ft_face(sFtFaces[i], 0);
  }
}

void CloseFaces() {
  for (int i = 0; i < FACE_COUNT; i++) {
    cairo_font_face_destroy(sFaces[i]);
    FT_Done_Face(sFtFaces[i]);
  }
  FT_Done_FreeType(sFreeType);
  FcFini();
}

void UseFace(cairo_t *cr, FaceId face, double size, double xScale) {
  cairo_set_font_face(cr, sFaces[face]);
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, size * xScale, size);
  cairo_set_font_matrix(cr, &m);
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

double TextWidth(cairo_t *cr, const char *text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text, &e);
  return e.x_advance;
}

void TextPath(cairo_t *cr, double x, double y, const char *text, Align align) {
  const double w = TextWidth(cr, text);
  if (align == ALIGN_CENTRE) x -= w * 0.5;
  if (align == ALIGN_RIGHT) x -= w;
  cairo_move_to(cr, x, y);
  cairo_text_path(cr, text);
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Noise and numbers

uint32_t Hash3(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ c * 0xcb1ab31fu;
  h ^= h >> 15;
  h *= 0x2c1b3c6du;
  h ^= h >> 12;
  h *= 0x297a2d39u;
  h ^= h >> 15;
  return h;
}

static double Lattice(int x, int y, int periodX, int periodY, uint32_t seed) {
  const int px = ((x % periodX) + periodX) % periodX;
  const int py = ((y % periodY) + periodY) % periodY;
  return Hash3(uint32_t(px), uint32_t(py), seed) * (1.0 / 4294967295.0);
}

double TileNoise(double x, double y, int periodX, int periodY, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = int(fx), iy = int(fy);
  const double tx = x - fx, ty = y - fy;
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double a = Lattice(ix, iy, periodX, periodY, seed), b = Lattice(ix + 1, iy, periodX, periodY, seed);
  const double c = Lattice(ix, iy + 1, periodX, periodY, seed), d = Lattice(ix + 1, iy + 1, periodX, periodY, seed);
  return Mix(Mix(a, b, sx), Mix(c, d, sx), sy);
}

double TileFbm(double x, double y, int periodX, int periodY, int octaves, uint32_t seed) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int o = 0; o < octaves; o++) {
    sum += amp * TileNoise(x, y, periodX, periodY, seed + uint32_t(o) * 101u);
    norm += amp;
    x *= 2;
    y *= 2;
    periodX *= 2;
    periodY *= 2;
    amp *= 0.5;
  }
  return sum / norm;
}

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
double SmoothStep(double e0, double e1, double v) {
  const double t = Clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

uint32_t Rng::Next() {
  state_ = state_ * 1664525u + 1013904223u;
  return state_ >> 8;
}

double Rng::Unit() { return Next() * (1.0 / 16777216.0); }

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Writers

bool WriteJpeg(const std::string &path, const Canvas &canvas, int quality) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
    return false;
  }
  const std::vector<uint8_t> rgb = canvas.Rgb();
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = JDIMENSION(canvas.Width());
  cinfo.image_height = JDIMENSION(canvas.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution chroma: thin coloured lines and lettering stay clean.
  cinfo.comp_info[0].h_samp_factor = 1;
  cinfo.comp_info[0].v_samp_factor = 1;
  cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  const size_t rowBytes = size_t(canvas.Width()) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[cinfo.next_scanline * rowBytes]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return fclose(f) == 0;
}

bool WritePng(const std::string &path, const Canvas &canvas, int level) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    fprintf(stderr, "artgen: PNG encoding of %s failed\n", path.c_str());
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, level);
  png_set_IHDR(png, info, png_uint_32(canvas.Width()), png_uint_32(canvas.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const std::vector<uint8_t> rgb = canvas.Rgb();
  for (int y = 0; y < canvas.Height(); y++) {
    png_write_row(png, &rgb[size_t(y) * canvas.Width() * 3]);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}

bool WriteGif(const std::string &path, int width, int height, const std::vector<uint8_t> &indices,
              const std::vector<uint8_t> &palette768) {
  int error = 0;
  GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) {
    fprintf(stderr, "artgen: cannot write %s (%s)\n", path.c_str(), GifErrorString(error));
    return false;
  }
  GifColorType colours[256];
  for (int i = 0; i < 256; i++) {
    colours[i].Red = palette768[size_t(i) * 3];
    colours[i].Green = palette768[size_t(i) * 3 + 1];
    colours[i].Blue = palette768[size_t(i) * 3 + 2];
  }
  ColorMapObject *map = GifMakeMapObject(256, colours);
  bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < height; y++) {
    ok = EGifPutLine(gif, const_cast<GifPixelType *>(&indices[size_t(y) * width]), width) == GIF_OK;
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  if (!ok) fprintf(stderr, "artgen: GIF encoding of %s failed\n", path.c_str());
  // giflib creates its files readable by the owner only; the disk's files are ordinary ones.
  return ok && chmod(path.c_str(), 0644) == 0;
}
