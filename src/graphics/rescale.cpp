// The texture size rules shared by every picture path: which sizes OpenGL 1.1 takes, and the
// nearest-neighbour resample to powers of two for the others.
#include <cstring>

#include "graphics/decoders.h"

int TextureSizeAccepted(int32_t size, int32_t maxSize) {
  // 2048 and above are refused even where the implementation takes them.
  for (int32_t accepted = 2; accepted <= 1024; accepted <<= 1)
    if (size == accepted) return size <= maxSize;
  return 0;
}

int32_t MaxTextureSize() {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  return maxSize;
}

namespace {

int32_t RescaledSize(int32_t size, int32_t maxSize) {
  if (size > maxSize) return maxSize;
  int32_t p = 2;
  while (p < size && p < maxSize) p <<= 1;
  return p < maxSize ? p : maxSize;
}

}  // namespace

void RescaleImage(IMAGE *image, int32_t pixelSize, int32_t maxSize) {
  const int32_t width = image->Width, height = image->Height;
  const int32_t newWidth = RescaledSize(width, maxSize);
  const int32_t newHeight = RescaledSize(height, maxSize);
  const unsigned char *src = (const unsigned char *)image->Pixels;
  unsigned char *dst =
      (unsigned char *)TrackedAlloc((size_t)newWidth * newHeight * pixelSize, __LINE__, "gldriver");
  const float xr = (float)width / (float)newWidth;
  const float yr = (float)height / (float)newHeight;
  for (int32_t y = 0; y < newHeight; y++) {
    int32_t sy = (int32_t)((float)y * yr);
    if (sy >= height) sy = height - 1;
    const unsigned char *row = src + (size_t)sy * width * pixelSize;
    unsigned char *out = dst + (size_t)y * newWidth * pixelSize;
    for (int32_t x = 0; x < newWidth; x++, out += pixelSize) {
      int32_t sx = (int32_t)((float)x * xr);
      if (sx >= width) sx = width - 1;
      memcpy(out, row + (size_t)sx * pixelSize, pixelSize);
    }
  }
  TrackedFree(image->Pixels, __LINE__, "gldriver");
  image->Width = newWidth;
  image->Height = newHeight;
  image->Pixels = dst;
}
