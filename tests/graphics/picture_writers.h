// Test pictures made in memory by giflib, libjpeg and libpng; pixels go top row first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A GIF89a by giflib with a colour table of 2^bits entries (bits 1..8; the minimum code size is max(2, bits)).
std::string GiflibGif(int width, int height, const std::vector<uint8_t> &indices,
                      const std::vector<uint8_t> &palette, int bits);

// Quality 95 from 0x00RRGGBB pixels: 3 components RGB, 1 the low byte as grey, 4 (CMYK) the whole word.
std::string Jpeg(int width, int height, const std::vector<uint32_t> &pixels, int components);
// From 16-bit samples (width x height x channels; indices for palette pictures) stored at `bitDepth`; palette
// pictures take the first 2^bitDepth colours of `paletteRgb` and the alpha of `trns`.
std::string Png(int width, int height, int colorType, int bitDepth, const std::vector<uint16_t> &samples,
                const std::vector<uint8_t> &paletteRgb = {}, const std::vector<uint8_t> &trns = {},
                bool interlaced = false);

// Deterministic pseudo-random numbers.
uint32_t TestRandom(uint32_t &state);
