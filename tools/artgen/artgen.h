// The pictures of the disk: one drawing function per picture, grouped by the files below.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"

// Drawing functions. Each paints the whole canvas it is given (its size comes from the picture table).
// GIF pictures are painted in grey; their palette function turns the grey level into the shipped colour.
void DrawFont(Canvas &c);
void DrawScroller(Canvas &c);
void DrawMarker(Canvas &c);
void DrawMarker2(Canvas &c);
void DrawMetaBase(Canvas &c);
void DrawMetaEnvironment(Canvas &c);
void DrawParticle(Canvas &c);
void DrawSpectrumBar(Canvas &c);
void DrawTentacle1Base(Canvas &c);
void DrawTentacle1Environment(Canvas &c);
void DrawTentacle2Base(Canvas &c);
void DrawTentacle2Environment(Canvas &c);
void DrawKnotEnvironment(Canvas &c);
void DrawKnotBase(Canvas &c);

void DrawPanel1(Canvas &c);
void DrawPanel5(Canvas &c);

void DrawBeginCover0(Canvas &c);
void DrawBeginCover1(Canvas &c);
void DrawEndCover(Canvas &c);
void DrawTheEnd(Canvas &c);

// Palettes of the GIF pictures: 768 bytes, entry i for grey level i.
std::vector<uint8_t> FontPalette();
std::vector<uint8_t> ScrollerPalette();
