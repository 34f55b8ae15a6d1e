// The small textures of the scenes, the overlays, the slider and the texture font.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "artgen.h"

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Texture font: 16 x 16 cells of 16 x 16 texels, code c at column c % 16, row c / 16

void DrawFont(Canvas &c) {
  cairo_t *cr = c.Cr();
  // The director stretches a cell to about 8.5 x 20.5 panel units, so the glyphs fill the cell's width
  // and are drawn a little wide here. One empty texel column and row on the right and bottom of each cell
  // keep linear filtering from bleeding the neighbour's ink in.
  UseFace(cr, FACE_MONO_BOLD, 14.2, 1.30);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_set_source_rgb(cr, 1, 1, 1);
  for (int code = 32; code < 256; code++) {
    if (code >= 127 && code < 161) continue;  // DEL and the C1 controls have no glyph
    char utf8[3];
    if (code < 128) {
      utf8[0] = char(code);
      utf8[1] = 0;
    } else {
      utf8[0] = char(0xc0 | (code >> 6));
      utf8[1] = char(0x80 | (code & 0x3f));
      utf8[2] = 0;
    }
    const double cellX = (code % 16) * 16.0, cellY = (code / 16) * 16.0;
    cairo_save(cr);
    cairo_rectangle(cr, cellX, cellY, 15, 15);
    cairo_clip(cr);
    cairo_text_extents_t te;
    cairo_text_extents(cr, utf8, &te);
    const double x = cellX + (15.0 - te.x_advance) * 0.5;
    const double baseline = cellY + 11.6;
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, utf8);
    cairo_restore(cr);
  }
  // Faint anti-aliasing fringes would become opaque dark texels (only pure black is the colour key);
  // they are cut to black, the rest is lifted so that thin strokes stay bright.
  cairo_surface_flush(c.Surface());
  uint8_t *data = cairo_image_surface_get_data(c.Surface());
  const int stride = cairo_image_surface_get_stride(c.Surface());
  for (int y = 0; y < c.Height(); y++) {
    uint32_t *row = reinterpret_cast<uint32_t *>(data + size_t(y) * stride);
    for (int x = 0; x < c.Width(); x++) {
      const int v = int(row[x] & 0xff);
      const int lifted = v < 56 ? 0 : (v >= 200 ? 255 : 96 + (v - 56) * 159 / 144);
      row[x] = 0xff000000u | uint32_t(lifted) * 0x010101u;
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

std::vector<uint8_t> FontPalette() {
  std::vector<uint8_t> p(768);
  for (int i = 0; i < 256; i++) p[size_t(i) * 3] = p[size_t(i) * 3 + 1] = p[size_t(i) * 3 + 2] = uint8_t(i);
  return p;
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Slider knob; its first column also colours the level history's lines

void DrawScroller(Canvas &c) {
  const int w = c.Width(), h = c.Height();
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      const double u = (x + 0.5) / w, v = (y + 0.5) / h;
      // A rounded metal cap: brightest along a line a little above the middle.
      const double across = 1.0 - std::fabs(v - 0.42) * 1.9;
      const double along = 1.0 - std::pow(std::fabs(u - 0.5) * 2.0, 6.0) * 0.5;
      double g = 0.18 + 0.62 * across * along;
      const double grip = std::fabs(u - 0.5);
      if (grip < 0.16 && std::fmod(u * w, 6.0) < 2.0 && v > 0.2 && v < 0.8) g *= 0.55;
      // The rim (and so the history's texture column) glows, bright at the top and fading downwards.
      const int rim = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
      if (rim < 3) g = 1.0 - v * 0.45 - rim * 0.08;
      c.SetPixel(x, y, g, g, g);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

std::vector<uint8_t> ScrollerPalette() {
  // Black through ember red and amber to white.
  std::vector<uint8_t> p(768);
  for (int i = 0; i < 256; i++) {
    const double t = i / 255.0;
    const double r = Clamp01(t * 1.6), g = Clamp01((t - 0.3) * 1.5), b = Clamp01((t - 0.7) * 3.0);
    p[size_t(i) * 3] = uint8_t(std::lround(r * 255));
    p[size_t(i) * 3 + 1] = uint8_t(std::lround(g * 255));
    p[size_t(i) * 3 + 2] = uint8_t(std::lround(b * 255));
  }
  return p;
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Seamless patterns (every one repeats at the texture's edges)

// Sum of sines whose frequencies are whole numbers of periods across the texture.
static double Plasma(double u, double v, double phase) {
  const double a = 2 * kPi;
  return (std::sin(a * (u * 2 + phase)) + std::sin(a * (v * 3 - phase)) + std::sin(a * (u * 3 + v * 2)) +
          std::sin(a * (u - v * 4) + phase * 5)) *
             0.125 +
         0.5;
}

void DrawMarker(Canvas &c) {
  // The button highlight: its brightness is its alpha, so it is bright and busy, with a warm cast.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double u = double(x) / c.Width(), v = double(y) / c.Height();
      const double warp = TileFbm(u * 4, v * 4, 4, 4, 3, 11) * 0.35;
      const double p = Plasma(u + warp, v - warp, 0.1);
      const double glow = 0.45 + 0.55 * std::pow(std::fabs(std::sin(p * kPi * 3)), 0.6);
      c.SetPixel(x, y, glow, glow * (0.55 + 0.4 * p), glow * (0.35 + 0.5 * (1 - p)));
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

void DrawMarker2(Canvas &c) {
  // Projected over the title glyphs: bands of polished chrome with rainbow sheen.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double u = double(x) / c.Width(), v = double(y) / c.Height();
      const double n = TileFbm(u * 6, v * 6, 6, 6, 3, 23);
      // The titles see only a fifth of the picture, so the bands are close together.
      const double band = std::sin(2 * kPi * (v * 8 + u * 4 + n * 2));
      const double chrome = 0.55 + 0.45 * band * std::fabs(band);
      const double hue = 2 * kPi * (u * 3 + v * 2 + n);
      c.SetPixel(x, y, chrome * (0.75 + 0.25 * std::sin(hue)), chrome * (0.75 + 0.25 * std::sin(hue + 2.1)),
                 chrome * (0.8 + 0.2 * std::sin(hue + 4.2)));
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

void DrawMetaBase(Canvas &c) {
  // Molten glass in teal and violet; the blend lets dark parts show what lies behind.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double u = double(x) / c.Width(), v = double(y) / c.Height();
      const double q = TileFbm(u * 4, v * 4, 4, 4, 4, 31);
      const double r = TileFbm(u * 4 + q * 3, v * 4 + q * 3, 4, 4, 4, 37);
      const double veins = std::pow(1.0 - std::fabs(std::sin(2 * kPi * (r * 3))), 3.0);
      c.SetPixel(x, y, 0.10 + 0.45 * r * r + 0.5 * veins, 0.25 + 0.4 * q + 0.35 * veins, 0.45 + 0.5 * r);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

static void DrawScales(Canvas &c, uint32_t seed, const double dark[3], const double light[3], int cells) {
  // Overlapping cells (a tileable Voronoi): each cell is a rounded scale, lit from the top.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double px = double(x) / c.Width() * cells, py = double(y) / c.Height() * cells;
      double best = 9, second = 9;
      for (int j = -1; j <= 1; j++) {
        for (int i = -1; i <= 1; i++) {
          const int cx = int(std::floor(px)) + i, cy = int(std::floor(py)) + j;
          const uint32_t hx = uint32_t(((cx % cells) + cells) % cells), hy = uint32_t(((cy % cells) + cells) % cells);
          const double fx = cx + 0.2 + 0.6 * (Hash3(hx, hy, seed) & 0xffff) / 65535.0;
          const double fy = cy + 0.2 + 0.6 * (Hash3(hx, hy, seed + 1) & 0xffff) / 65535.0;
          const double d = std::hypot(px - fx, py - fy);
          if (d < best) {
            second = best;
            best = d;
          } else if (d < second) {
            second = d;
          }
        }
      }
      const double edge = SmoothStep(0.0, 0.18, second - best);
      const double dome = Clamp01(1.0 - best * 1.1);
      const double grain = TileFbm(double(x) / c.Width() * 8, double(y) / c.Height() * 8, 8, 8, 3, seed + 7);
      const double t = Clamp01((0.25 + 0.75 * dome) * edge * (0.8 + 0.4 * grain));
      c.SetPixel(x, y, Mix(dark[0], light[0], t), Mix(dark[1], light[1], t), Mix(dark[2], light[2], t));
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

void DrawTentacle1Base(Canvas &c) {
  const double dark[3] = {0.02, 0.08, 0.06}, light[3] = {0.45, 1.0, 0.75};
  DrawScales(c, 41, dark, light, 8);
}

void DrawTentacle2Base(Canvas &c) {
  const double dark[3] = {0.10, 0.02, 0.02}, light[3] = {1.0, 0.55, 0.2};
  DrawScales(c, 53, dark, light, 6);
}

void DrawKnotBase(Canvas &c) {
  // Repeats four times along the knot and twice around it: brushed bands with a groove and rivets.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double u = double(x) / c.Width(), v = double(y) / c.Height();
      // Brushed along the knot (s runs along the curve), so the streaks follow the tube.
      const double brush = TileFbm(u * 2, v * 64, 2, 64, 2, 61);
      const double stripe = 0.5 + 0.5 * std::cos(2 * kPi * (u * 2 + v));
      // Two grooves around the tube (at t = 0 and 0.5) with rivets set into them.
      const double fromGroove = std::min(std::fabs(v - 0.5), std::min(v, 1 - v));
      const double groove = SmoothStep(0.02, 0.05, fromGroove);
      const double rx = std::fmod(u * 8 + 0.5, 1.0) - 0.5;
      const double rivet = Clamp01(1.0 - std::hypot(rx, fromGroove * 8) * 4.0);
      const double metal = (0.25 + 0.35 * brush + 0.25 * stripe) * (0.35 + 0.65 * groove) + 0.5 * rivet;
      c.SetPixel(x, y, metal * 0.75, metal * 0.82, metal * 1.0);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Environment maps: chrome balls seen by the sphere-mapping texture-coordinate generation

struct Environment {
  double skyTop[3], skyHorizon[3], ground[3], grid[3];
  double sunDir[3], sunColour[3];
  double lampColour[3];
  int lampCount;
};

static void EnvLight(const Environment &e, const double r[3], double out[3]) {
  // Eye space: +y is up on screen, the viewer looks along -z.
  const double up = r[1];
  for (int k = 0; k < 3; k++) {
    if (up >= 0) {
      const double t = std::pow(up, 0.6);
      out[k] = Mix(e.skyHorizon[k], e.skyTop[k], t);
    } else {
      // A floor with grid lines that fade into the haze at the horizon.
      const double dist = 1.0 / std::max(-up, 0.02);
      const double gx = r[0] * dist, gz = r[2] * dist;
      const double line = std::max(std::exp(-std::pow(std::remainder(gx, 1.0) * 12, 2)),
                                   std::exp(-std::pow(std::remainder(gz, 1.0) * 12, 2)));
      const double haze = std::exp(up * 6.0);
      out[k] = Mix(e.ground[k] + e.grid[k] * line, e.skyHorizon[k], haze);
    }
  }
  const double sun = std::max(0.0, r[0] * e.sunDir[0] + r[1] * e.sunDir[1] + r[2] * e.sunDir[2]);
  const double spot = std::pow(sun, 300.0) * 3.0 + std::pow(sun, 12.0) * 0.4;
  for (int k = 0; k < 3; k++) out[k] += e.sunColour[k] * spot;
  // Strip lamps along the horizon ring.
  const double azimuth = std::atan2(r[0], r[2]);
  const double band = std::exp(-std::pow((r[1] - 0.15) * 14, 2));
  const double lamps = std::pow(std::max(0.0, std::cos(azimuth * e.lampCount)), 30.0) * band;
  for (int k = 0; k < 3; k++) out[k] += e.lampColour[k] * lamps;
}

static void DrawSphereMap(Canvas &c, const Environment &e) {
  // Sphere map as uploaded top row first: t grows downwards on the picture and upwards in eye space.
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      double nx = 2.0 * (x + 0.5) / c.Width() - 1.0, ny = 2.0 * (y + 0.5) / c.Height() - 1.0;
      const double len = std::hypot(nx, ny);
      if (len > 0.998) {  // outside the ball: continue its rim so that filtering finds no seam
        nx *= 0.998 / len;
        ny *= 0.998 / len;
      }
      const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
      const double r[3] = {2 * nz * nx, 2 * nz * ny, 2 * nz * nz - 1};
      double rgb[3];
      EnvLight(e, r, rgb);
      c.SetPixel(x, y, rgb[0], rgb[1], rgb[2]);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

static void Normalise(double v[3]) {
  const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (int k = 0; k < 3; k++) v[k] /= l;
}

void DrawMetaEnvironment(Canvas &c) {
  Environment e = {{0.05, 0.10, 0.35}, {0.55, 0.75, 0.95}, {0.05, 0.06, 0.10}, {0.1, 0.35, 0.6},
                   {0.5, 0.6, 0.6},    {1.0, 0.9, 0.7},    {0.3, 0.7, 1.0},    6};
  Normalise(e.sunDir);
  DrawSphereMap(c, e);
}

void DrawTentacle1Environment(Canvas &c) {
  Environment e = {{0.10, 0.0, 0.15}, {0.6, 0.15, 0.55}, {0.03, 0.0, 0.05}, {0.7, 0.1, 0.8},
                   {-0.4, 0.7, 0.5},  {0.5, 1.0, 1.0},   {0.2, 1.0, 0.9},   8};
  Normalise(e.sunDir);
  DrawSphereMap(c, e);
}

void DrawTentacle2Environment(Canvas &c) {
  Environment e = {{0.15, 0.05, 0.2}, {1.0, 0.55, 0.2}, {0.08, 0.03, 0.02}, {0.6, 0.3, 0.1},
                   {0.2, 0.25, 0.9},  {1.0, 0.8, 0.5},  {1.0, 0.4, 0.1},   5};
  Normalise(e.sunDir);
  DrawSphereMap(c, e);
}

void DrawKnotEnvironment(Canvas &c) {
  // Added on top of the base texture: mostly dark, so that only the highlights brighten the knot.
  Environment e = {{0.0, 0.03, 0.05}, {0.1, 0.3, 0.3}, {0.0, 0.02, 0.02}, {0.0, 0.3, 0.25},
                   {0.6, 0.7, 0.4},   {0.8, 1.0, 0.9}, {0.3, 0.9, 0.6},   4};
  Normalise(e.sunDir);
  DrawSphereMap(c, e);
}

// ---------------------------------------------------------------------------------------------------------
// [SECTION] Particle sprite and spectrum bar

void DrawParticle(Canvas &c) {
  // Black is invisible under the particles' blend; the glow fades to exact black before the edge.
  const double half = c.Width() * 0.5;
  for (int y = 0; y < c.Height(); y++) {
    for (int x = 0; x < c.Width(); x++) {
      const double dx = (x + 0.5 - half) / half, dy = (y + 0.5 - half) / half;
      const double d = std::hypot(dx, dy);
      const double core = std::exp(-d * d * 18.0);
      const double halo = std::pow(Clamp01(1.0 - d), 2.2) * 0.6;
      const double angle = std::atan2(dy, dx);
      const double rays = std::pow(std::fabs(std::cos(angle * 2)), 40.0) * Clamp01(1.0 - d * 1.1) * 0.5;
      const double v = Clamp01(core + halo + rays);
      c.SetPixel(x, y, v, v, v);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}

void DrawSpectrumBar(Canvas &c) {
  // A growing bar shows more of the picture from the bottom up: white-hot at the top, red at the foot,
  // cut into LED segments with a dark gap, shaded across like a rounded tube.
  const int w = c.Width(), h = c.Height();
  for (int y = 0; y < h; y++) {
    const double t = double(y) / (h - 1);  // 0 at the top
    const double r = Clamp01(1.0 - t * 0.15), g = Clamp01(1.0 - t * 1.2), b = Clamp01(0.8 - t * 2.5);
    const bool gap = (y % 8) >= 6;
    for (int x = 0; x < w; x++) {
      const double across = std::sin(kPi * (x + 0.5) / w);
      const double side = (x < 3 || x >= w - 3) ? 0.0 : 1.0;
      const double k = (gap ? 0.12 : 1.0) * (0.35 + 0.65 * across) * side;
      c.SetPixel(x, y, r * k, g * k, b * k);
    }
  }
  cairo_surface_mark_dirty(c.Surface());
}
