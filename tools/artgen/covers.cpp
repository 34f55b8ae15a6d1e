// The opening and closing covers. Each square picture is stretched over a 4:3 window, so everything is
// drawn in a 4:3 space of 1365 x 1024 units squeezed into the square.
#include <algorithm>
#include <cmath>

#include "artgen.h"

namespace {

const double kW = 1024.0 * 4.0 / 3.0;
const double kH = 1024.0;

void Begin(Canvas &c) {
  cairo_save(c.Cr());
  cairo_scale(c.Cr(), c.Width() / kW, c.Height() / kH);
}

void End(Canvas &c) { cairo_restore(c.Cr()); }

void Sky(cairo_t *cr, const double top[3], const double bottom[3]) {
  cairo_pattern_t *p = cairo_pattern_create_linear(0, 0, 0, kH);
  cairo_pattern_add_color_stop_rgb(p, 0, top[0], top[1], top[2]);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom[0], bottom[1], bottom[2]);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);
}

void Stars(cairo_t *cr, uint32_t seed, int count, double maxY) {
  Rng rng(seed);
  for (int i = 0; i < count; i++) {
    const double x = rng.Unit() * kW, y = rng.Unit() * maxY;
    const double size = 0.6 + rng.Unit() * rng.Unit() * 2.4;
    const double bright = 0.3 + 0.7 * rng.Unit();
    cairo_arc(cr, x, y, size, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0.85 + 0.15 * rng.Unit(), 0.9, 1.0, bright * (1.0 - y / maxY * 0.7));
    cairo_fill(cr);
  }
}

void Glow(cairo_t *cr, double x, double y, double radius, double r, double g, double b, double alpha) {
  cairo_pattern_t *p = cairo_pattern_create_radial(x, y, 0, x, y, radius);
  cairo_pattern_add_color_stop_rgba(p, 0, r, g, b, alpha);
  cairo_pattern_add_color_stop_rgba(p, 1, r, g, b, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, radius, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A lit sphere: bright at its upper left, darker at the rim.
void Disc(cairo_t *cr, double x, double y, double radius, double r0, double g0, double b0, double r1, double g1,
          double b1) {
  cairo_pattern_t *p = cairo_pattern_create_radial(x - radius * 0.3, y - radius * 0.3, radius * 0.1, x, y, radius);
  cairo_pattern_add_color_stop_rgb(p, 0, r0, g0, b0);
  cairo_pattern_add_color_stop_rgb(p, 1, r1, g1, b1);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, radius, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// The emblem: a mill whose four sails are strung with waveforms.
void Mill(cairo_t *cr, double baseX, double baseY, double height, double sailAngle, const double body[3],
          const double sail[3], double sailAlpha) {
  const double hubY = baseY - height;
  const double topHalf = height * 0.09, baseHalf = height * 0.2;
  cairo_move_to(cr, baseX - baseHalf, baseY);
  cairo_line_to(cr, baseX - topHalf, hubY + height * 0.06);
  cairo_line_to(cr, baseX, hubY - height * 0.06);
  cairo_line_to(cr, baseX + topHalf, hubY + height * 0.06);
  cairo_line_to(cr, baseX + baseHalf, baseY);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, body[0], body[1], body[2]);
  cairo_fill(cr);
  // A lit door and window.
  cairo_rectangle(cr, baseX - height * 0.035, baseY - height * 0.12, height * 0.07, height * 0.12);
  cairo_rectangle(cr, baseX - height * 0.025, baseY - height * 0.5, height * 0.05, height * 0.06);
  cairo_set_source_rgba(cr, 1.0, 0.78, 0.35, 0.9);
  cairo_fill(cr);

  const double arm = height * 0.95, width = height * 0.16;
  for (int k = 0; k < 4; k++) {
    cairo_save(cr);
    cairo_translate(cr, baseX, hubY);
    cairo_rotate(cr, sailAngle + k * kPi / 2);
    cairo_set_line_width(cr, height * 0.018);
    cairo_set_source_rgb(cr, body[0], body[1], body[2]);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, arm, 0);
    cairo_stroke(cr);
    // The cloth is a waveform that swells towards the tip.
    cairo_set_line_width(cr, height * 0.008);
    cairo_set_source_rgba(cr, sail[0], sail[1], sail[2], sailAlpha);
    for (int line = 0; line < 3; line++) {
      const double off = width * (0.3 + 0.3 * line);
      for (int i = 0; i <= 80; i++) {
        const double t = i / 80.0;
        const double x = arm * (0.22 + 0.78 * t);
        const double y = off + std::sin(t * kPi * (7 + line * 2)) * width * 0.12 * t;
        if (i == 0) {
          cairo_move_to(cr, x, y);
        } else {
          cairo_line_to(cr, x, y);
        }
      }
      cairo_stroke(cr);
    }
    cairo_rectangle(cr, arm * 0.22, 0, arm * 0.78, width);
    cairo_set_source_rgba(cr, sail[0], sail[1], sail[2], sailAlpha * 0.18);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_arc(cr, baseX, hubY, height * 0.035, 0, 2 * kPi);
  cairo_set_source_rgb(cr, sail[0], sail[1], sail[2]);
  cairo_fill(cr);
}

// Big lettering with a coloured halo and a vertical gradient fill.
void Title(cairo_t *cr, FaceId face, double size, double x, double y, const char *text, const double top[3],
           const double bottom[3], const double halo[3]) {
  UseFace(cr, face, size);
  for (int pass = 0; pass < 4; pass++) {
    TextPath(cr, x, y, text, ALIGN_CENTRE);
    cairo_set_line_width(cr, size * (0.16 - pass * 0.035));
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgba(cr, halo[0], halo[1], halo[2], 0.10 + pass * 0.08);
    cairo_stroke(cr);
  }
  TextPath(cr, x, y, text, ALIGN_CENTRE);
  cairo_pattern_t *p = cairo_pattern_create_linear(0, y - size * 0.75, 0, y);
  cairo_pattern_add_color_stop_rgb(p, 0, top[0], top[1], top[2]);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom[0], bottom[1], bottom[2]);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void Line(cairo_t *cr, FaceId face, double size, double x, double y, const char *text, Align align, double r,
          double g, double b, double alpha) {
  UseFace(cr, face, size);
  TextPath(cr, x, y, text, align);
  cairo_set_source_rgba(cr, r, g, b, alpha);
  cairo_fill(cr);
}

void Hills(cairo_t *cr, double baseY, double amplitude, uint32_t seed, const double colour[3]) {
  Rng rng(seed);
  const double p1 = rng.Unit() * 6, p2 = rng.Unit() * 6;
  cairo_move_to(cr, 0, kH);
  for (int i = 0; i <= 64; i++) {
    const double x = kW * i / 64.0;
    const double y = baseY - amplitude * (0.6 * std::sin(x * 0.004 + p1) + 0.4 * std::sin(x * 0.011 + p2));
    cairo_line_to(cr, x, y);
  }
  cairo_line_to(cr, kW, kH);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, colour[0], colour[1], colour[2]);
  cairo_fill(cr);
}

}  // namespace

void DrawBeginCover0(Canvas &c) {
  Begin(c);
  cairo_t *cr = c.Cr();
  const double top[3] = {0.0, 0.0, 0.03}, bottom[3] = {0.10, 0.04, 0.20};
  Sky(cr, top, bottom);
  Stars(cr, 101, 420, 760);
  Glow(cr, kW * 0.5, 700, 330, 0.5, 0.35, 0.9, 0.35);
  Disc(cr, kW * 0.5, 700, 150, 0.96, 0.93, 0.86, 0.72, 0.68, 0.66);
  Rng craters(5);
  for (int i = 0; i < 14; i++) {
    const double a = craters.Unit() * 2 * kPi, d = std::sqrt(craters.Unit()) * 120, r = 6 + craters.Unit() * 22;
    cairo_arc(cr, kW * 0.5 + std::cos(a) * d, 700 + std::sin(a) * d, r, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0.55, 0.5, 0.5, 0.18);
    cairo_fill(cr);
  }
  const double far[3] = {0.07, 0.04, 0.12}, near[3] = {0.02, 0.01, 0.04};
  Hills(cr, 860, 40, 7, far);
  const double body[3] = {0.02, 0.01, 0.04}, sail[3] = {0.55, 0.75, 1.0};
  Mill(cr, kW * 0.5, 900, 260, 0.35, body, sail, 0.85);
  Hills(cr, 930, 25, 9, near);
  const double ttop[3] = {1.0, 1.0, 1.0}, tbottom[3] = {0.55, 0.75, 1.0}, halo[3] = {0.35, 0.45, 1.0};
  Title(cr, FACE_SANS_BOLD, 210, kW * 0.5, 300, "Tunemill", ttop, tbottom, halo);
  Line(cr, FACE_SANS_CONDENSED_BOLD, 44, kW * 0.5, 390, "a  music  disk", ALIGN_CENTRE, 0.75, 0.8, 1.0, 0.85);
  End(c);
}

void DrawBeginCover1(Canvas &c) {
  Begin(c);
  cairo_t *cr = c.Cr();
  const double top[3] = {0.0, 0.05, 0.07}, bottom[3] = {0.0, 0.14, 0.16};
  Sky(cr, top, bottom);
  // A sunburst behind the emblem.
  for (int k = 0; k < 36; k++) {
    const double a0 = k * 2 * kPi / 36, a1 = a0 + kPi / 36;
    cairo_move_to(cr, 330, 560);
    cairo_arc(cr, 330, 560, 1400, a0, a1);
    cairo_close_path(cr);
  }
  cairo_set_source_rgba(cr, 0.2, 0.9, 0.8, 0.06);
  cairo_fill(cr);
  Glow(cr, 330, 560, 420, 0.2, 1.0, 0.85, 0.25);
  const double body[3] = {0.01, 0.06, 0.07}, sail[3] = {0.6, 1.0, 0.9};
  Mill(cr, 330, 900, 330, 1.1, body, sail, 0.9);
  const double ground[3] = {0.0, 0.03, 0.04};
  Hills(cr, 920, 20, 13, ground);
  const double ttop[3] = {1.0, 1.0, 0.95}, tbottom[3] = {0.45, 1.0, 0.85}, halo[3] = {0.1, 0.8, 0.7};
  Title(cr, FACE_SANS_BOLD, 150, 905, 320, "Tunemill", ttop, tbottom, halo);
  Line(cr, FACE_SANS_CONDENSED_BOLD, 40, 905, 400, "tracker music, real-time scenes", ALIGN_CENTRE, 0.7, 1.0,
       0.9, 0.85);
  const char *const keys[][2] = {
      {"F", "next track"}, {"B", "previous track"}, {"Esc", "leave the disk"}, {"Panel", "seek, change scene"}};
  for (int i = 0; i < 4; i++) {
    const double y = 560 + i * 70.0;
    cairo_set_line_width(cr, 3);
    cairo_rectangle(cr, 700, y - 42, 150, 56);
    cairo_set_source_rgba(cr, 0.4, 1.0, 0.9, 0.5);
    cairo_stroke(cr);
    Line(cr, FACE_SANS_BOLD, 34, 775, y, keys[i][0], ALIGN_CENTRE, 0.8, 1.0, 0.95, 1.0);
    Line(cr, FACE_SANS_CONDENSED_BOLD, 36, 880, y, keys[i][1], ALIGN_LEFT, 0.75, 0.95, 0.9, 0.9);
  }
  End(c);
}

void DrawEndCover(Canvas &c) {
  Begin(c);
  cairo_t *cr = c.Cr();
  const double top[3] = {0.10, 0.02, 0.12}, bottom[3] = {0.95, 0.45, 0.15};
  Sky(cr, top, bottom);
  Stars(cr, 211, 160, 420);
  Glow(cr, kW * 0.72, 760, 360, 1.0, 0.75, 0.3, 0.55);
  Disc(cr, kW * 0.72, 760, 110, 1.0, 0.95, 0.75, 1.0, 0.7, 0.35);
  const double far[3] = {0.35, 0.10, 0.12}, near[3] = {0.08, 0.02, 0.05};
  Hills(cr, 820, 45, 21, far);
  const double body[3] = {0.08, 0.02, 0.05}, sail[3] = {1.0, 0.8, 0.5};
  Mill(cr, kW * 0.2, 890, 240, 0.45, body, sail, 0.8);
  Hills(cr, 900, 30, 23, near);
  const double ttop[3] = {1.0, 1.0, 0.9}, tbottom[3] = {1.0, 0.75, 0.4}, halo[3] = {1.0, 0.4, 0.2};
  Title(cr, FACE_SERIF_BOLD_ITALIC, 120, kW * 0.5, 250, "Thank you", ttop, tbottom, halo);
  Title(cr, FACE_SERIF_BOLD_ITALIC, 120, kW * 0.5, 390, "for listening", ttop, tbottom, halo);
  Line(cr, FACE_SANS_CONDENSED_BOLD, 38, kW * 0.5, 460, "Tunemill is winding down", ALIGN_CENTRE, 1.0, 0.9,
       0.8, 0.8);
  End(c);
}

void DrawTheEnd(Canvas &c) {
  Begin(c);
  cairo_t *cr = c.Cr();
  const double top[3] = {0.0, 0.0, 0.0}, bottom[3] = {0.04, 0.02, 0.06};
  Sky(cr, top, bottom);
  Stars(cr, 307, 260, 1024);
  Glow(cr, kW * 0.5, 470, 500, 0.45, 0.25, 0.8, 0.25);
  const double ttop[3] = {1.0, 1.0, 1.0}, tbottom[3] = {0.75, 0.65, 1.0}, halo[3] = {0.55, 0.3, 1.0};
  Title(cr, FACE_SERIF_BOLD_ITALIC, 230, kW * 0.5, 540, "The End", ttop, tbottom, halo);
  const double body[3] = {0.55, 0.5, 0.75}, sail[3] = {0.75, 0.7, 1.0};
  Mill(cr, kW * 0.5, 860, 110, 0.2, body, sail, 0.9);
  Line(cr, FACE_SANS_CONDENSED_BOLD, 40, kW * 0.5, 940, "Tunemill  \xc2\xb7  thanks for listening",
       ALIGN_CENTRE, 0.7, 0.65, 0.9, 0.8);
  End(c);
}
