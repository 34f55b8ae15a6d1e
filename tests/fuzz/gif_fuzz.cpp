// The GIF decoder on arbitrary bytes: it must never read or write outside its buffers, and must give back
// everything it allocated.
#include <cstdlib>

#include "graphics/decoders.h"

// At most 1 MiB of pixel data: larger pictures only cost time (and a log line per large block).
static const int64_t kMaxPixels = int64_t(1) << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int64_t before = AllocTotal();
  unsigned char palette[768];
  IMAGE image;
  if (DecodeGIF(data, size, &image, palette, kMaxPixels)) {
    // Touch every pixel, so that a short buffer shows up at once.
    const unsigned char *p = (const unsigned char *)image.Pixels;
    unsigned sum = 0;
    for (size_t i = 0; i < (size_t)image.Width * image.Height; i++) sum += p[i];
    if (sum == 0xFFFFFFFFu) abort();
    TrackedFree(image.Pixels, __LINE__, "fuzz");
  }
  if (AllocTotal() != before) abort();
  return 0;
}
