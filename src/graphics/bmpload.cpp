// Windows bitmaps: uncompressed 8-bit pictures with their colour table and 24-bit pictures, stored
// bottom-up or top-down. Every other kind, and every header whose sizes, offsets or counts reach past the
// end of the file, is refused.
#include "graphics/decoders.h"

namespace {

const size_t kFileHeaderSize = 14;
const uint32_t kInfoHeaderSize = 40;  // the smallest header with the fields read here

inline uint32_t Read16(const unsigned char *p) { return p[0] | (p[1] << 8); }
inline uint32_t Read32(const unsigned char *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

}  // namespace

int DecodeBMP(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  image->Pixels = nullptr;
  if (size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M') return 0;
  uint32_t pixelOffset = Read32(data + 10);
  uint32_t infoSize = Read32(data + 14);
  if (infoSize < kInfoHeaderSize || infoSize > size - kFileHeaderSize) return 0;
  const unsigned char *info = data + kFileHeaderSize;
  int32_t width = (int32_t)Read32(info + 4);
  int32_t height = (int32_t)Read32(info + 8);
  uint32_t planes = Read16(info + 12);
  uint32_t bitCount = Read16(info + 14);
  uint32_t compression = Read32(info + 16);
  uint32_t coloursUsed = Read32(info + 32);
  if (planes != 1 || compression != 0 || (bitCount != 8 && bitCount != 24)) return 0;
  if (width <= 0 || height == 0 || height == INT32_MIN) return 0;
  int32_t rows = height < 0 ? -height : height;
  if ((int64_t)width * rows > maxPixels) return 0;

  // Entries the table does not hold, and indices past it, are black.
  uint32_t palette[256] = {};
  size_t tableEnd = kFileHeaderSize + infoSize;
  if (bitCount == 8) {
    uint32_t count = coloursUsed == 0 ? 256 : coloursUsed;
    if (count > 256 || (size_t)count * 4 > size - tableEnd) return 0;
    const unsigned char *entry = data + tableEnd;
    for (uint32_t i = 0; i < count; i++, entry += 4) palette[i] = (entry[2] << 16) | (entry[1] << 8) | entry[0];
    tableEnd += (size_t)count * 4;
  }

  // Rows are padded to four bytes; the last row's padding may be missing from the file.
  size_t rowBytes = (size_t)width * (bitCount / 8);
  size_t stride = (rowBytes + 3) & ~(size_t)3;
  if (pixelOffset < tableEnd || pixelOffset > size) return 0;
  if ((size_t)(rows - 1) * stride + rowBytes > size - pixelOffset) return 0;

  uint32_t *pixels = (uint32_t *)TrackedAlloc((size_t)width * rows * 4, __LINE__, "gldriver");
  for (int32_t y = 0; y < rows; y++) {
    // A positive height stores the bottom row first.
    const unsigned char *src = data + pixelOffset + (size_t)(height > 0 ? rows - 1 - y : y) * stride;
    uint32_t *dst = pixels + (size_t)y * width;
    if (bitCount == 24) {
      for (int32_t x = 0; x < width; x++, src += 3) dst[x] = (src[2] << 16) | (src[1] << 8) | src[0];
    } else {
      for (int32_t x = 0; x < width; x++) dst[x] = palette[src[x]];
    }
  }
  image->Width = width;
  image->Height = rows;
  image->Pixels = pixels;
  return 1;
}

int LoadBMP(const char *fileName, IMAGE *image) { return LoadImageMember(fileName, image, DecodeBMP); }
