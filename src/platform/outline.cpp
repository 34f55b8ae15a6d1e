// Outline fonts: fontconfig finds the face, FreeType gives its outlines, the GLU tessellator fills them,
// and each glyph becomes one display list of solid, extruded polygons.
#include <GL/gl.h>
#include <GL/glu.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct PlatformFont {
  FT_Library Library;
  FT_Face Face;
  std::string Name;
};

// =========================================================================================================
// [SECTION] Finding the face

// Condensed and bold like the faces the titles were meant for, and free; installed by scripts/setup.
static const char kStandInFamily[] = "DejaVu Sans Condensed";

// fontconfig's closest face to `family` at `weight`, or null when it knows no face at all. *sameFamily
// tells whether the answer really is of that family rather than a generic substitute.
static FcPattern *MatchFace(FcConfig *config, const char *family, int32_t weight, bool *sameFamily) {
  FcPattern *want = FcPatternCreate();
  FcPatternAddString(want, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
  FcPatternAddInteger(want, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddBool(want, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, want, FcMatchPattern);
  FcDefaultSubstitute(want);
  FcResult result;
  FcPattern *got = FcFontMatch(config, want, &result);
  FcPatternDestroy(want);
  *sameFamily = false;
  FcChar8 *name = nullptr;
  for (int i = 0; got != nullptr && FcPatternGetString(got, FC_FAMILY, i, &name) == FcResultMatch; i++) {
    if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8 *>(family)) == 0) *sameFamily = true;
  }
  return got;
}

PlatformFont *PlatformCreateFont(const char *faceName, int32_t weight) {
  // A configuration of our own, dropped again at once: the fonts are resolved once per run, and nothing of
  // fontconfig stays behind.
  FcConfig *config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return nullptr;
  bool sameFamily = false;
  FcPattern *chosen = MatchFace(config, faceName, weight, &sameFamily);
  if (!sameFamily) {
    FcPattern *standIn = MatchFace(config, kStandInFamily, weight, &sameFamily);
    if (sameFamily) std::swap(chosen, standIn);
    if (standIn != nullptr) FcPatternDestroy(standIn);
  }
  FcChar8 *file = nullptr;
  int index = 0;
  PlatformFont *font = nullptr;
  if (chosen != nullptr && FcPatternGetString(chosen, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(chosen, FC_INDEX, 0, &index);
    font = new PlatformFont{};
    const char *path = reinterpret_cast<const char *>(file);
    if (FT_Init_FreeType(&font->Library) == 0 && FT_New_Face(font->Library, path, index, &font->Face) == 0 &&
        FT_IS_SCALABLE(font->Face) && font->Face->units_per_EM > 0) {
      // FreeType leaves either name null when the face does not carry it.
      const char *family = font->Face->family_name, *style = font->Face->style_name;
      font->Name = std::string(family ? family : "?") + " " + (style ? style : "?") + " (" + path + ")";
    } else {
      PlatformDeleteFont(font);
      font = nullptr;
    }
  }
  if (chosen != nullptr) FcPatternDestroy(chosen);
  FcConfigDestroy(config);
  return font;
}

const char *PlatformFontName(const PlatformFont *font) { return font->Name.c_str(); }

void PlatformDeleteFont(PlatformFont *font) {
  if (font == nullptr) return;
  if (font->Face != nullptr) FT_Done_Face(font->Face);
  if (font->Library != nullptr) FT_Done_FreeType(font->Library);
  delete font;
}

// =========================================================================================================
// [SECTION] Character set

// Code page 437, codes 128 to 254, as Unicode.
static const uint16_t kCodePage437[127] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0,
};

// The face's glyph index for an OEM code; 0 when it has none.
static FT_UInt GlyphIndex(FT_Face face, uint32_t code) {
  if (code < 128) return FT_Get_Char_Index(face, code);
  if (code < 255) return FT_Get_Char_Index(face, kCodePage437[code - 128]);
  return 0;
}

// =========================================================================================================
// [SECTION] Flattening

typedef std::array<GLdouble, 3> POINT3;  // z stays 0; the tessellator takes three coordinates

struct FLATTENER {
  double Scale;      // font units to em units
  double Deviation;  // largest distance allowed between a curve and its chords, em units
  std::vector<std::vector<POINT3>> Contours;
  POINT3 Last;
};

static POINT3 ToEm(const FLATTENER &f, const FT_Vector *v) { return {v->x * f.Scale, v->y * f.Scale, 0.0}; }

static void AddPoint(FLATTENER &f, const POINT3 &p) {
  std::vector<POINT3> &contour = f.Contours.back();
  if (contour.empty() || contour.back() != p) contour.push_back(p);
  f.Last = p;
}

// A curve whose second derivative never exceeds M strays at most M h^2 / 8 from its chord over a parameter
// step h, so n equal steps keep within M / (8 n^2). `bound` is M / 8.
static int ChordCount(const FLATTENER &f, double bound) {
  return std::max(1, (int)std::ceil(std::sqrt(bound / f.Deviation)));
}

static double Length(double x, double y) { return std::sqrt(x * x + y * y); }

static int MoveTo(const FT_Vector *to, void *user) {
  FLATTENER &f = *static_cast<FLATTENER *>(user);
  f.Contours.emplace_back();
  AddPoint(f, ToEm(f, to));
  return 0;
}

static int LineTo(const FT_Vector *to, void *user) {
  FLATTENER &f = *static_cast<FLATTENER *>(user);
  AddPoint(f, ToEm(f, to));
  return 0;
}

static int ConicTo(const FT_Vector *control, const FT_Vector *to, void *user) {
  FLATTENER &f = *static_cast<FLATTENER *>(user);
  const POINT3 p0 = f.Last, p1 = ToEm(f, control), p2 = ToEm(f, to);
  // B'' = 2 (p0 - 2 p1 + p2) everywhere.
  const int n = ChordCount(f, Length(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]) / 4);
  for (int i = 1; i <= n; i++) {
    const double t = (double)i / n, u = 1 - t;
    const double a = u * u, b = 2 * u * t, c = t * t;
    AddPoint(f, {a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1], 0.0});
  }
  return 0;
}

static int CubicTo(const FT_Vector *control1, const FT_Vector *control2, const FT_Vector *to, void *user) {
  FLATTENER &f = *static_cast<FLATTENER *>(user);
  const POINT3 p0 = f.Last, p1 = ToEm(f, control1), p2 = ToEm(f, control2), p3 = ToEm(f, to);
  // B'' is linear in t, so its largest length is at an end: 6 max(|p0 - 2 p1 + p2|, |p1 - 2 p2 + p3|).
  const double bend = std::max(Length(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]),
                               Length(p1[0] - 2 * p2[0] + p3[0], p1[1] - 2 * p2[1] + p3[1]));
  const int n = ChordCount(f, bend * 3 / 4);
  for (int i = 1; i <= n; i++) {
    const double t = (double)i / n, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    AddPoint(f, {a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0], a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1],
                 0.0});
  }
  return 0;
}

// The glyph's closed contours in em units, each with the filled area on its right (the TrueType way),
// without repeated points and without contours too small to enclose anything.
static void Flatten(FLATTENER &f, FT_Outline *outline) {
  static const FT_Outline_Funcs kFunctions = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  f.Contours.clear();
  FT_Outline_Decompose(outline, &kFunctions, &f);
  const bool fillLeft = FT_Outline_Get_Orientation(outline) == FT_ORIENTATION_POSTSCRIPT;
  std::vector<std::vector<POINT3>> kept;
  for (std::vector<POINT3> &contour : f.Contours) {
    if (contour.size() > 1 && contour.front() == contour.back()) contour.pop_back();
    if (contour.size() < 3) continue;
    if (fillLeft) std::reverse(contour.begin(), contour.end());
    kept.push_back(std::move(contour));
  }
  f.Contours = std::move(kept);
}

// =========================================================================================================
// [SECTION] Filling

struct FILLER {
  std::vector<const GLdouble *> Triangles;  // three vertices each
  std::deque<POINT3> Made;                  // points the tessellator made where edges cross
};

static void GLAPIENTRY TessVertex(void *vertex, void *user) {
  static_cast<FILLER *>(user)->Triangles.push_back(static_cast<const GLdouble *>(vertex));
}

static void GLAPIENTRY TessCombine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *user) {
  FILLER &filler = *static_cast<FILLER *>(user);
  filler.Made.push_back({coords[0], coords[1], coords[2]});
  *out = filler.Made.back().data();
}

// Having an edge-flag callback makes the tessellator give separate triangles only, never fans or strips.
static void GLAPIENTRY TessEdgeFlag(GLboolean, void *) {}

// The triangles that fill the contours by the outline's fill rule, each counter-clockwise seen from +z.
static void Fill(GLUtesselator *tess, FILLER &filler, std::vector<std::vector<POINT3>> &contours,
                 bool evenOdd) {
  filler.Triangles.clear();
  filler.Made.clear();
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO);
  gluTessBeginPolygon(tess, &filler);
  for (std::vector<POINT3> &contour : contours) {
    gluTessBeginContour(tess);
    for (POINT3 &p : contour) gluTessVertex(tess, p.data(), p.data());
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  filler.Triangles.resize(filler.Triangles.size() / 3 * 3);
  for (size_t i = 0; i < filler.Triangles.size(); i += 3) {
    const GLdouble *a = filler.Triangles[i], *b = filler.Triangles[i + 1], *c = filler.Triangles[i + 2];
    if ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]) < 0) {
      std::swap(filler.Triangles[i + 1], filler.Triangles[i + 2]);
    }
  }
}

// =========================================================================================================
// [SECTION] Display lists

static void CompileGlyph(uint32_t list, const FILLER &filler, const std::vector<std::vector<POINT3>> &contours,
                         GLdouble depth, const GLYPHMETRICSFLOAT &metrics) {
  glNewList(list, GL_COMPILE);
  glBegin(GL_TRIANGLES);
  glNormal3d(0, 0, 1);
  for (const GLdouble *v : filler.Triangles) glVertex3d(v[0], v[1], 0);
  glNormal3d(0, 0, -1);
  for (size_t i = filler.Triangles.size(); i > 0; i--) {
    const GLdouble *v = filler.Triangles[i - 1];
    glVertex3d(v[0], v[1], -depth);
  }
  glEnd();
  // The filled area lies right of each edge, so its left-hand normal points out of the glyph.
  glBegin(GL_QUADS);
  for (const std::vector<POINT3> &contour : contours) {
    for (size_t i = 0; i < contour.size(); i++) {
      const POINT3 &p = contour[i], &q = contour[(i + 1) % contour.size()];
      const double dx = q[0] - p[0], dy = q[1] - p[1], length = Length(dx, dy);
      glNormal3d(-dy / length, dx / length, 0);
      glVertex3d(p[0], p[1], 0);
      glVertex3d(q[0], q[1], 0);
      glVertex3d(q[0], q[1], -depth);
      glVertex3d(p[0], p[1], -depth);
    }
  }
  glEnd();
  glTranslatef(metrics.gmfCellIncX, metrics.gmfCellIncY, 0);
  glEndList();
}

void PlatformUseFontOutlines(PlatformFont *font, uint32_t first, uint32_t count, uint32_t listBase,
                             float deviation, float extrusion, GLYPHMETRICSFLOAT *metrics) {
  FT_Face face = font->Face;
  FLATTENER flattener;
  flattener.Scale = 1.0 / face->units_per_EM;
  // A deviation of 0 asks for the finest flattening there is: one design unit of the face.
  flattener.Deviation = deviation > 0 ? deviation : flattener.Scale;
  FILLER filler;
  GLUtesselator *tess = gluNewTess();
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertex));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(TessCombine));
  gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(TessEdgeFlag));
  gluTessNormal(tess, 0, 0, 1);
  for (uint32_t code = first; code < first + count; code++) {
    GLYPHMETRICSFLOAT &m = metrics[code - first];
    m = GLYPHMETRICSFLOAT{};
    const FT_UInt index = GlyphIndex(face, code);
    if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      continue;
    }
    FT_Outline *outline = &face->glyph->outline;
    FT_BBox box;
    FT_Outline_Get_BBox(outline, &box);
    const double s = flattener.Scale;
    m.gmfBlackBoxX = (float)((box.xMax - box.xMin) * s);
    m.gmfBlackBoxY = (float)((box.yMax - box.yMin) * s);
    m.gmfptGlyphOriginX = (float)(box.xMin * s);
    m.gmfptGlyphOriginY = (float)(box.yMax * s);
    m.gmfCellIncX = (float)(face->glyph->metrics.horiAdvance * s);
    Flatten(flattener, outline);
    Fill(tess, filler, flattener.Contours, (outline->flags & FT_OUTLINE_EVEN_ODD_FILL) != 0);
    CompileGlyph(listBase + code, filler, flattener.Contours, extrusion, m);
  }
  gluDeleteTess(tess);
}
