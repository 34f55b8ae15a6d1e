// The 32-bit picture decoders on arbitrary bytes: they must never read or write outside their buffers, and
// must give back everything they allocated.
#pragma once

#include <cstdlib>

#include "graphics/decoders.h"

// At most 1 MiB of pixel data: larger pictures only cost time (and a log line per large block).
static const int64_t kMaxPixels = int64_t(1) << 18;

inline int FuzzPictureDecoder(IMAGE_DECODER decode, const uint8_t *data, size_t size) {
  int64_t before = AllocTotal();
  IMAGE image;
  if (decode(data, size, &image, kMaxPixels)) {
    // Touch every pixel, so that a short buffer shows up at once.
    const uint32_t *p = (const uint32_t *)image.Pixels;
    uint32_t bits = 0;
    for (size_t i = 0; i < (size_t)image.Width * image.Height; i++) bits |= p[i];
    if (bits >> 24) abort();
    TrackedFree(image.Pixels, __LINE__, "fuzz");
  }
  if (AllocTotal() != before) abort();
  return 0;
}
