// Test pictures made in memory: GIF through giflib and through a small LZW encoder of our own (for code
// sizes and stream shapes giflib never writes), BMP by hand, JPEG through libjpeg, PNG through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A GIF89a written by giflib with a global colour table of 2^bits entries (bits 1..8, so the minimum code
// size is max(2, bits)); `indices` holds width x height palette indices, top row first.
std::string GiflibGif(int width, int height, const std::vector<uint8_t> &indices,
                      const std::vector<uint8_t> &palette, int bits);

struct LZW_OPTIONS {
  int minCodeSize = 8;          // 2..9 (anything is written, so bad values can be tested too)
  bool leadingClear = true;     // a clear code before the first pixel
  bool clearWhenFull = true;    // clear once code 4095 is assigned; otherwise go on at 12 bits
  bool clearBeforeEnd = false;  // a clear code right before the end code
  bool endCode = true;          // false: the stream stops without an end code
};

// The LZW code stream of `indices` (each below 1 << minCodeSize), packed least significant bit first.
std::vector<uint8_t> LzwEncode(const std::vector<uint8_t> &indices, const LZW_OPTIONS &options);

// A GIF89a around a packed code stream: a colour table of 2 << tableBits entries from `palette` (zero
// beyond it), the minimum code size byte and the stream in sub-blocks of 255 bytes.
std::string GifAround(int width, int height, const std::vector<uint8_t> &palette, int tableBits,
                      int minCodeSize, const std::vector<uint8_t> &stream);

// A bitmap of width x height values, top row first, stored bottom-up or top-down with rows padded to four
// bytes: at 24 bits each value is a 0x00RRGGBB pixel, at 8 bits an index into `palette` (0x00RRGGBB).
std::string Bmp(int width, int height, int bits, const std::vector<uint32_t> &values, bool topDown,
                const std::vector<uint32_t> &palette = {});

// A JPEG at quality 95: 3 components take 0x00RRGGBB pixels, 1 takes the low byte of each as grey.
std::string Jpeg(int width, int height, const std::vector<uint32_t> &pixels, int components);

// A PNG from 16-bit samples (width x height x channels values; indices for palette pictures), stored at
// `bitDepth`. Palette pictures take the first 2^bitDepth colours of `paletteRgb` and the alpha of `trns`.
std::string Png(int width, int height, int colorType, int bitDepth, const std::vector<uint16_t> &samples,
                const std::vector<uint8_t> &paletteRgb = {}, const std::vector<uint8_t> &trns = {},
                bool interlaced = false);

// Deterministic pseudo-random numbers.
uint32_t TestRandom(uint32_t &state);
