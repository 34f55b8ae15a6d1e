// artgen's drawing kit: a Cairo picture, the lettering faces, tileable noise, and the writers for the
// formats the disk ships (JPEG, PNG, GIF). Everything here is deterministic: no clocks, fixed seeds, and
// text rendered with explicit font options so that local fontconfig settings cannot change a pixel.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

// One picture being drawn: an opaque RGB24 Cairo surface and its context.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas &) = delete;
  Canvas &operator=(const Canvas &) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  cairo_t *Cr() const { return cr_; }
  cairo_surface_t *Surface() const { return surface_; }

  // Packed RGB, 3 bytes per pixel, top row first.
  std::vector<uint8_t> Rgb() const;
  void SetPixel(int x, int y, double r, double g, double b);

 private:
  int width_;
  int height_;
  cairo_surface_t *surface_;
  cairo_t *cr_;
};

enum FaceId { FACE_SANS_BOLD, FACE_SANS_CONDENSED_BOLD, FACE_SERIF_BOLD_ITALIC, FACE_MONO_BOLD, FACE_COUNT };

// Loads the DejaVu faces through fontconfig and FreeType; a missing face ends the program.
void OpenFaces();
void CloseFaces();
// Selects a face at `size` user units, with x compressed by `xScale` (pictures that are stretched to a
// 4:3 window are lettered narrower so that the letters look right on screen).
void UseFace(cairo_t *cr, FaceId face, double size, double xScale = 1.0);

enum Align { ALIGN_LEFT, ALIGN_CENTRE, ALIGN_RIGHT };
// Adds the outline of `text` with its baseline at y to the current path.
void TextPath(cairo_t *cr, double x, double y, const char *text, Align align);
double TextWidth(cairo_t *cr, const char *text);

// Deterministic integer hash, and value noise that repeats every periodX lattice cells in x and every
// periodY cells in y (a picture that spans exactly one period in each direction tiles without a seam).
uint32_t Hash3(uint32_t a, uint32_t b, uint32_t c);
double TileNoise(double x, double y, int periodX, int periodY, uint32_t seed);
// Fractal sum of TileNoise; the periods double with each octave so the sum still tiles.
double TileFbm(double x, double y, int periodX, int periodY, int octaves, uint32_t seed);

constexpr double kPi = 3.14159265358979323846;
double Clamp01(double v);
double Mix(double a, double b, double t);
double SmoothStep(double e0, double e1, double v);

// A small linear-congruential generator for scattered details (stars, sparks); fixed seeds only.
class Rng {
 public:
  explicit Rng(uint32_t seed) : state_(seed) {}
  uint32_t Next();
  double Unit();  // [0, 1)

 private:
  uint32_t state_;
};

// Writers. Each returns false and prints the reason on failure.
bool WriteJpeg(const std::string &path, const Canvas &canvas, int quality);
// `level` is zlib's compression level; previews use a fast one.
bool WritePng(const std::string &path, const Canvas &canvas, int level = 9);
// A single-image GIF inside the subset the program decodes: a 256-entry global colour table right after
// the screen descriptor, no extension blocks, no local colour table, no interlace.
bool WriteGif(const std::string &path, int width, int height, const std::vector<uint8_t> &indices,
              const std::vector<uint8_t> &palette768);
