// The two player-panel pictures. They are drawn in panel units (512 x 512 over the whole window) and
// share one layout: the button art lies exactly over the rectangles the player screen hit-tests, the
// texts and overlays get recessed frames, and the left of the screen stays dark for the scenes. The
// picture is stretched to a 4:3 window, so lettering is drawn three quarters as wide.
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace {

const double kLetterScale = 0.75;

struct Rgb {
  double r, g, b;
};

Rgb Scale(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

struct Scheme {
  Rgb background;  // the scene area
  Rgb plate;       // the control column
  Rgb button;      // raised button faces
  Rgb inset;       // recessed frames
  Rgb accent;      // lamps, glyphs and rules
  Rgb lcd;         // the order/row display's glass
  bool hexPerforation;
  uint32_t seed;
};

// The rectangles of the player screen, in panel units, right and bottom edges excluded.
struct Rect {
  double x0, y0, x1, y1;
};
const Rect kNext = {407, 291, 495, 324};
const Rect kPrevious = {311, 291, 383, 324};
const Rect kStepBack = {311, 349, 321, 360};
const Rect kStepForward = {482, 349, 491, 360};
const Rect kSliderTrack = {321, 349, 482, 360};
const Rect kMinimise = {469, 1, 481, 16};
const Rect kSpare = {483, 1, 495, 16};
const Rect kClose = {497, 1, 509, 16};
const Rect kScene = {291, 390, 310, 414};
const Rect kTitles = {306, 27, 508, 129};
const Rect kInfo = {306, 139, 508, 252};
const Rect kOverlay = {312, 386, 502, 503};
const Rect kOrderRow = {199, 442, 296, 473};

void SetSource(cairo_t *cr, Rgb c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void RoundedRect(cairo_t *cr, double x0, double y0, double x1, double y1, double r) {
  r = std::min(r, std::min(x1 - x0, y1 - y0) * 0.5);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x1 - r, y0 + r, r, -kPi / 2, 0);
  cairo_arc(cr, x1 - r, y1 - r, r, 0, kPi / 2);
  cairo_arc(cr, x0 + r, y1 - r, r, kPi / 2, kPi);
  cairo_arc(cr, x0 + r, y0 + r, r, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

void VerticalGradient(cairo_t *cr, double y0, double y1, Rgb top, Rgb bottom) {
  cairo_pattern_t *p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
}

// A grey streak texture laid over metal with the soft-light operator: brushed lines or perforation.
cairo_surface_t *MakeGrain(int size, const Scheme &s) {
  cairo_surface_t *grain = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
  uint8_t *data = cairo_image_surface_get_data(grain);
  const int stride = cairo_image_surface_get_stride(grain);
  for (int y = 0; y < size; y++) {
    uint32_t *row = reinterpret_cast<uint32_t *>(data + size_t(y) * stride);
    for (int x = 0; x < size; x++) {
      const double u = double(x) / size, v = double(y) / size;
      double g;
      if (s.hexPerforation) {
        // Staggered round holes every 6 panel units.
        const double cell = 12.0 / size;
        const double row6 = std::floor(v / cell);
        const double off = std::fmod(row6, 2.0) * 0.5;
        const double cx = (std::floor(u / cell + off) + 0.5 - off) * cell, cy = (row6 + 0.5) * cell;
        const double d = std::hypot(u - cx, v - cy) / cell;
        g = 0.5 + 0.08 * TileFbm(u * 32, v * 32, 32, 32, 2, s.seed) - (d < 0.22 ? 0.22 : 0.0) + (d > 0.22 && d < 0.3 ? 0.06 : 0.0);
      } else {
        g = 0.38 + 0.25 * TileFbm(u * 2, v * 256, 2, 256, 3, s.seed);
      }
      const uint32_t b = uint32_t(std::lround(Clamp01(g) * 255));
      row[x] = 0xff000000u | b * 0x010101u;
    }
  }
  cairo_surface_mark_dirty(grain);
  return grain;
}

void PaintGrain(cairo_t *cr, cairo_surface_t *grain, double alpha) {
  cairo_save(cr);
  cairo_clip_preserve(cr);
  cairo_identity_matrix(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOFT_LIGHT);
  cairo_set_source_surface(cr, grain, 0, 0);
  cairo_paint_with_alpha(cr, alpha);
  cairo_restore(cr);
}

// Raised art that covers exactly the button rectangle: a bevelled face lit from the top left.
void RaisedButton(cairo_t *cr, const Scheme &s, Rect r, double radius) {
  RoundedRect(cr, r.x0, r.y0, r.x1, r.y1, radius);
  VerticalGradient(cr, r.y0, r.y1, Scale(s.button, 1.35), Scale(s.button, 0.8));
  cairo_fill(cr);
  cairo_set_line_width(cr, 0.7);
  RoundedRect(cr, r.x0 + 0.35, r.y0 + 0.35, r.x1 - 0.35, r.y1 - 0.35, radius);
  cairo_pattern_t *edge = cairo_pattern_create_linear(r.x0, r.y0, r.x1, r.y1);
  cairo_pattern_add_color_stop_rgba(edge, 0, 1, 1, 1, 0.55);
  cairo_pattern_add_color_stop_rgba(edge, 0.5, 1, 1, 1, 0.1);
  cairo_pattern_add_color_stop_rgba(edge, 1, 0, 0, 0, 0.6);
  cairo_set_source(cr, edge);
  cairo_stroke(cr);
  cairo_pattern_destroy(edge);
}

// A recessed frame: dark glass inside, a light lip below and to the right, shadow above and left.
void InsetFrame(cairo_t *cr, const Scheme &s, Rect r, double radius) {
  RoundedRect(cr, r.x0 - 1.5, r.y0 - 1.5, r.x1 + 1.5, r.y1 + 1.5, radius + 1.5);
  cairo_pattern_t *lip = cairo_pattern_create_linear(r.x0, r.y0, r.x1, r.y1);
  cairo_pattern_add_color_stop_rgba(lip, 0, 0, 0, 0, 0.7);
  cairo_pattern_add_color_stop_rgba(lip, 1, 1, 1, 1, 0.3);
  cairo_set_source(cr, lip);
  cairo_fill(cr);
  cairo_pattern_destroy(lip);
  RoundedRect(cr, r.x0, r.y0, r.x1, r.y1, radius);
  VerticalGradient(cr, r.y0, r.y1, Scale(s.inset, 0.6), s.inset);
  cairo_fill(cr);
}

void Label(cairo_t *cr, const Scheme &s, double x, double y, const char *text, double size, Align align,
           double alpha) {
  UseFace(cr, FACE_SANS_CONDENSED_BOLD, size, kLetterScale);
  TextPath(cr, x, y + 0.5, text, align);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6 * alpha);
  cairo_fill(cr);
  TextPath(cr, x, y, text, align);
  SetSource(cr, s.accent, alpha);
  cairo_fill(cr);
}

void Triangle(cairo_t *cr, double tipX, double cy, double halfHeight, double length) {
  cairo_move_to(cr, tipX, cy);
  cairo_line_to(cr, tipX - length, cy - halfHeight);
  cairo_line_to(cr, tipX - length, cy + halfHeight);
  cairo_close_path(cr);
}

void Glyph(cairo_t *cr, const Scheme &s) {
  // Accent glyph with a soft glow behind it; the caller has built the path.
  cairo_path_t *path = cairo_copy_path(cr);
  cairo_set_line_width(cr, 2.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  SetSource(cr, s.accent, 0.25);
  cairo_stroke(cr);
  cairo_append_path(cr, path);
  SetSource(cr, Scale(s.accent, 1.2));
  cairo_fill(cr);
  cairo_path_destroy(path);
}

void Screw(cairo_t *cr, double x, double y) {
  cairo_arc(cr, x, y, 2.2, 0, 2 * kPi);
  cairo_pattern_t *p = cairo_pattern_create_radial(x - 0.8, y - 0.8, 0.2, x, y, 2.2);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.75, 0.75, 0.75);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.15, 0.15, 0.15);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  cairo_set_line_width(cr, 0.6);
  cairo_move_to(cr, x - 1.5, y + 1.0);
  cairo_line_to(cr, x + 1.5, y - 1.0);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
  cairo_stroke(cr);
}

void ControlPlatePath(cairo_t *cr) {
  // An L-shaped plate: the right column, widening at the bottom to take the scene button and the
  // order/row display.
  cairo_new_path(cr);
  cairo_move_to(cr, 302, 18);
  cairo_line_to(cr, 512, 18);
  cairo_line_to(cr, 512, 512);
  cairo_line_to(cr, 190, 512);
  cairo_arc(cr, 196, 442, 6, kPi, 1.5 * kPi);
  cairo_line_to(cr, 280, 436);
  cairo_arc_negative(cr, 280, 430, 6, kPi / 2, 0);
  cairo_arc(cr, 292, 386, 6, kPi, 1.5 * kPi);
  cairo_arc_negative(cr, 296, 374, 6, kPi / 2, 0);
  cairo_close_path(cr);
}

void DrawPanel(Canvas &canvas, const Scheme &s) {
  cairo_t *cr = canvas.Cr();
  cairo_save(cr);
  cairo_scale(cr, canvas.Width() / 512.0, canvas.Height() / 512.0);
  cairo_surface_t *grain = MakeGrain(canvas.Width(), s);

  // Scene area: near black with a gentle glow in its middle, so the scenes keep the stage.
  cairo_pattern_t *glow = cairo_pattern_create_radial(150, 230, 10, 150, 230, 330);
  cairo_pattern_add_color_stop_rgb(glow, 0, s.background.r * 2.2, s.background.g * 2.2, s.background.b * 2.2);
  cairo_pattern_add_color_stop_rgb(glow, 1, s.background.r * 0.4, s.background.g * 0.4, s.background.b * 0.4);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);
  // Corner brackets frame the stage without crossing it.
  cairo_set_line_width(cr, 1.0);
  SetSource(cr, s.accent, 0.22);
  const double bx0 = 10, by0 = 28, bx1 = 290, by1 = 426, arm = 18;
  cairo_move_to(cr, bx0, by0 + arm);
  cairo_line_to(cr, bx0, by0);
  cairo_line_to(cr, bx0 + arm, by0);
  cairo_move_to(cr, bx1 - arm, by0);
  cairo_line_to(cr, bx1, by0);
  cairo_line_to(cr, bx1, by0 + arm);
  cairo_move_to(cr, bx0, by1 - arm);
  cairo_line_to(cr, bx0, by1);
  cairo_line_to(cr, bx0 + arm, by1);
  cairo_stroke(cr);
  if (s.hexPerforation) {
    SetSource(cr, s.accent, 0.05);
    for (int k = 1; k <= 5; k++) {
      cairo_arc(cr, 150, 230, 34.0 * k, 0, 2 * kPi);
      cairo_stroke(cr);
    }
  } else {
    SetSource(cr, s.accent, 0.05);
    for (int k = 0; k <= 8; k++) {
      cairo_move_to(cr, 150 + (k - 4) * 36.0, 420);
      cairo_line_to(cr, 150 + (k - 4) * 90.0, 512);
    }
    cairo_stroke(cr);
  }
  Label(cr, s, 14, 500, "TUNEMILL  MUSIC DISK", 7, ALIGN_LEFT, 0.3);

  // Top bar across the whole width.
  cairo_rectangle(cr, 0, 0, 512, 18);
  VerticalGradient(cr, 0, 18, Scale(s.plate, 1.3), Scale(s.plate, 0.7));
  cairo_fill_preserve(cr);
  PaintGrain(cr, grain, 0.6);
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 17.5, 512, 1.0);
  SetSource(cr, s.accent, 0.7);
  cairo_fill(cr);
  UseFace(cr, FACE_SANS_BOLD, 10, kLetterScale);
  TextPath(cr, 8, 13, "TUNEMILL", ALIGN_LEFT);
  SetSource(cr, s.accent);
  cairo_fill(cr);
  Label(cr, s, 60, 12.5, "playing from tunemill.dat", 7, ALIGN_LEFT, 0.55);

  // The control column.
  ControlPlatePath(cr);
  VerticalGradient(cr, 18, 512, Scale(s.plate, 1.15), Scale(s.plate, 0.75));
  cairo_fill_preserve(cr);
  PaintGrain(cr, grain, 0.8);
  cairo_set_line_width(cr, 1.2);
  SetSource(cr, s.accent, 0.45);
  cairo_stroke(cr);
  Screw(cr, 306, 23);
  Screw(cr, 506, 260);
  Screw(cr, 197, 506);
  Screw(cr, 506, 508);

  // Frames for the two title lines and the five info lines.
  InsetFrame(cr, s, kTitles, 4);
  InsetFrame(cr, s, kInfo, 4);
  cairo_set_line_width(cr, 0.5);
  SetSource(cr, s.accent, 0.12);
  // Rules between the five info lines, which the player screen prints 20 units apart.
  for (int k = 0; k < 4; k++) {
    const double y = 145 + 20.0 * k + 19.8;
    cairo_move_to(cr, 312, y);
    cairo_line_to(cr, 502, y);
  }
  cairo_move_to(cr, 312, 78);
  cairo_line_to(cr, 502, 78);
  cairo_stroke(cr);
  Label(cr, s, 500, 136, "NOW PLAYING", 6, ALIGN_RIGHT, 0.6);
  Label(cr, s, 500, 262, "TRACK", 6, ALIGN_RIGHT, 0.6);

  // Previous and next track.
  RaisedButton(cr, s, kPrevious, 4);
  Triangle(cr, 322, 307.5, 6, -9);
  Triangle(cr, 331, 307.5, 6, -9);
  Glyph(cr, s);
  Label(cr, s, 358, 311, "PREV", 9, ALIGN_CENTRE, 1.0);
  RaisedButton(cr, s, kNext, 4);
  Triangle(cr, 475, 307.5, 6, 9);
  Triangle(cr, 484, 307.5, 6, 9);
  Glyph(cr, s);
  Label(cr, s, 440, 311, "NEXT", 9, ALIGN_CENTRE, 1.0);
  // A lamp between them.
  cairo_arc(cr, 395, 307.5, 4, 0, 2 * kPi);
  cairo_pattern_t *lamp = cairo_pattern_create_radial(394, 306, 0.5, 395, 307.5, 4);
  cairo_pattern_add_color_stop_rgb(lamp, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(lamp, 0.4, s.accent.r, s.accent.g, s.accent.b);
  cairo_pattern_add_color_stop_rgb(lamp, 1, s.accent.r * 0.2, s.accent.g * 0.2, s.accent.b * 0.2);
  cairo_set_source(cr, lamp);
  cairo_fill(cr);
  cairo_pattern_destroy(lamp);

  // The position slider: a dark groove under the knob's travel, step buttons at its ends.
  Label(cr, s, 312, 343, "POSITION", 6, ALIGN_LEFT, 0.6);
  cairo_set_line_width(cr, 0.5);
  SetSource(cr, s.accent, 0.5);
  for (int k = 0; k <= 16; k++) {
    const double x = 332 + 139.0 * k / 16;
    const double len = (k % 4 == 0) ? 3.0 : 1.5;
    cairo_move_to(cr, x, 346 - len);
    cairo_line_to(cr, x, 346);
    cairo_move_to(cr, x, 363);
    cairo_line_to(cr, x, 363 + len);
  }
  cairo_stroke(cr);
  cairo_rectangle(cr, kSliderTrack.x0, kSliderTrack.y0, kSliderTrack.x1 - kSliderTrack.x0,
                  kSliderTrack.y1 - kSliderTrack.y0);
  VerticalGradient(cr, kSliderTrack.y0, kSliderTrack.y1, Scale(s.inset, 0.3), s.inset);
  cairo_fill(cr);
  cairo_rectangle(cr, kSliderTrack.x0, 354, kSliderTrack.x1 - kSliderTrack.x0, 1);
  SetSource(cr, s.accent, 0.35);
  cairo_fill(cr);
  RaisedButton(cr, s, kStepBack, 1.5);
  Triangle(cr, 313.5, 354.5, 3, -5);
  Glyph(cr, s);
  RaisedButton(cr, s, kStepForward, 1.5);
  Triangle(cr, 488.5, 354.5, 3, 5);
  Glyph(cr, s);

  // Overlay screen and the scene button beside it.
  InsetFrame(cr, s, kOverlay, 5);
  cairo_save(cr);
  RoundedRect(cr, kOverlay.x0, kOverlay.y0, kOverlay.x1, kOverlay.y1, 5);
  cairo_clip(cr);
  cairo_set_line_width(cr, 0.4);
  SetSource(cr, s.accent, 0.10);
  for (double x = 320; x <= 480.5; x += 10.625 * 2) {
    cairo_move_to(cr, x, kOverlay.y0);
    cairo_line_to(cr, x, kOverlay.y1);
  }
  for (double y = 395; y < 500; y += 15) {
    cairo_move_to(cr, kOverlay.x0, y);
    cairo_line_to(cr, kOverlay.x1, y);
  }
  cairo_stroke(cr);
  SetSource(cr, s.accent, 0.2);
  cairo_move_to(cr, kOverlay.x0, 440);
  cairo_line_to(cr, kOverlay.x1, 440);
  cairo_move_to(cr, kOverlay.x0, 495);
  cairo_line_to(cr, kOverlay.x1, 495);
  cairo_stroke(cr);
  cairo_restore(cr);
  Label(cr, s, 500, 382, "SCOPE", 6, ALIGN_RIGHT, 0.6);
  RaisedButton(cr, s, kScene, 3);
  cairo_set_line_width(cr, 1.6);
  SetSource(cr, s.accent);
  cairo_arc(cr, 300.5, 402, 5, -0.3 * kPi, 1.3 * kPi);
  cairo_stroke(cr);
  cairo_move_to(cr, 304.2, 394.2);
  cairo_line_to(cr, 307.6, 398.6);
  cairo_line_to(cr, 302.2, 399.2);
  cairo_close_path(cr);
  Glyph(cr, s);
  Label(cr, s, 300.5, 423, "SCENE", 6, ALIGN_CENTRE, 0.6);

  // Order and row display.
  InsetFrame(cr, s, kOrderRow, 3);
  RoundedRect(cr, kOrderRow.x0, kOrderRow.y0, kOrderRow.x1, kOrderRow.y1, 3);
  SetSource(cr, s.lcd);
  cairo_fill(cr);
  cairo_set_line_width(cr, 0.4);
  SetSource(cr, Scale(s.lcd, 1.8));
  for (double y = kOrderRow.y0 + 2; y < kOrderRow.y1; y += 2) {
    cairo_move_to(cr, kOrderRow.x0 + 1, y);
    cairo_line_to(cr, kOrderRow.x1 - 1, y);
  }
  cairo_stroke(cr);
  Label(cr, s, 247.5, 484, "ORDER  \xc2\xb7  ROW", 6, ALIGN_CENTRE, 0.6);

  // Window buttons: minimise, a spare one, close.
  RaisedButton(cr, s, kMinimise, 2);
  cairo_rectangle(cr, 471.5, 11, 7, 1.8);
  Glyph(cr, s);
  RaisedButton(cr, s, kSpare, 2);
  cairo_rectangle(cr, 486, 4, 6, 6);
  cairo_set_line_width(cr, 1.2);
  SetSource(cr, s.accent);
  cairo_stroke(cr);
  RaisedButton(cr, s, kClose, 2);
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, 500, 4.5);
  cairo_line_to(cr, 506, 12.5);
  cairo_move_to(cr, 506, 4.5);
  cairo_line_to(cr, 500, 12.5);
  SetSource(cr, Scale(s.accent, 1.2));
  cairo_stroke(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);

  cairo_surface_destroy(grain);
  cairo_restore(cr);
}

}  // namespace

void DrawPanel1(Canvas &c) {
  const Scheme steel = {{0.02, 0.035, 0.07}, {0.17, 0.21, 0.28}, {0.30, 0.38, 0.50}, {0.03, 0.05, 0.09},
                        {0.35, 0.80, 1.00},  {0.10, 0.02, 0.02}, false,              71};
  DrawPanel(c, steel);
}

void DrawPanel5(Canvas &c) {
  const Scheme copper = {{0.06, 0.025, 0.035}, {0.27, 0.16, 0.12}, {0.50, 0.32, 0.22}, {0.08, 0.03, 0.03},
                         {1.00, 0.62, 0.22},   {0.12, 0.03, 0.01}, true,               73};
  DrawPanel(c, copper);
}
