// Text: the texture font for the info lines, the outline font for the titles, and the twirl backdrop of the
// opening and closing sequences. Main thread only, with the driver's context current.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/misc.h"

class GL_MATERIAL;

// Fixed-pitch text in screen space, cut from a 256 x 256 texture of 16 x 16 cells (code c at column c % 16,
// row c / 16 from the top; black is transparent). The screen is a grid of CharsPerLine x LinesPerScreen
// cells whatever its resolution.
class GL_TEXFONT {
 public:
  TRACKED_ALLOCATION

  // Loads the font texture; counts below 1 and a texture of another size are fatal (source "font").
  GL_TEXFONT(const char *textureFile, int32_t charsPerLine, int32_t linesPerScreen);
  ~GL_TEXFONT();

  // Pixel coordinates from the top-left corner, the font texture, no depth test. Leaves the texture matrix
  // selected.
  void BeginText();
  // Draws `text` with its top-left corner at (x, y), fractions of the screen from its top-left corner; a
  // position outside [0, 1] draws nothing. With begin 0 it relies on the state of the last BeginText.
  void Print(const char *text, float x, float y, int32_t begin);

  GL_MATERIAL *Material;
  int32_t LinesPerScreen;
  int32_t CharsPerLine;
};

// Solid glyphs of a TrueType face, one display list per code, textured by a picture projected across the
// screen. Each glyph is placed, scaled and tilted on its own.
class GL_TTFONTS {
 public:
  TRACKED_ALLOCATION

  // Builds the 255 glyphs of `faceName` (bold) and loads the texture. Without any usable face the lists
  // stay empty and the metrics zero, and a warning is logged. width and height are the logical font size
  // (0 and -12 on the disk); the glyphs are made in em units whatever it is.
  GL_TTFONTS(const char *textureFile, const char *faceName, int32_t width, int32_t height);
  ~GL_TTFONTS();

  // The texture with eye-linear coordinates: s and t follow each vertex's place in the unit square of
  // PrintOutline.
  void BeginOutlineText();
  // Draws `text` from (x, y), screen fractions from the top-left corner, in cells of 1/columns of the width
  // and 1/rows of the height. Each glyph sits on its cell's middle line, tilted by `angle` degrees about its
  // horizontal axis after being shifted by `yOffset` glyph units along its own vertical axis.
  void PrintOutline(const char *text, float x, float y, int32_t begin, int32_t columns, int32_t rows, float angle,
                    float yOffset);

  uint32_t ListBase;  // list ListBase + c holds code c
  GL_MATERIAL *Material;
  GLYPHMETRICSFLOAT GlyphMetrics[256];  // em units; entry 255 stays zero
};

// Draws the bound texture over the whole screen through a 32 x 32 grid whose texture coordinates are turned
// about the picture's centre by `angle` radians, fully at the centre and not at all at the screen's corners.
// Uses the caller's texture, material state and colour; sets the projection and modelview matrices.
void DrawTwirl(float angle);
