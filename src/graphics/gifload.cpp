// The program's own GIF decoder. It reads a fixed subset: the first picture of a file whose image
// descriptor follows the global colour table directly (no extension blocks, no local colour table, no
// interlacing), as one palette index per pixel in the order the file stores the rows.
#include <cstring>

#include "graphics/decoders.h"

namespace {

// Codes run up to 12 bits; one more slot keeps the writes of a full table inside.
const int kTableSize = 4097;
const int kMaxCodeSize = 12;

const uint32_t kCodeMask[kMaxCodeSize + 1] = {0x000, 0x001, 0x003, 0x007, 0x00F, 0x01F, 0x03F,
                                              0x07F, 0x0FF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};

struct GIF_DECODER {
  const unsigned char *Data;
  size_t Size;
  size_t Position;  // next unread byte of Data
  unsigned char Block[255];
  int BlockLeft;  // bytes of Block not used yet
  const unsigned char *BlockPointer;
  uint32_t Bits;  // pending bits, least significant first
  int BitCount;
  int CodeSize;
  int Failed;  // the data ran out, or a zero-length sub-block came before the end code
};

// The next byte of the current data sub-block, loading the following sub-block when it is used up.
inline unsigned char NextByte(GIF_DECODER &d) {
  if (d.BlockLeft == 0) {
    if (d.Position >= d.Size) {
      d.Failed = 1;
      return 0;
    }
    size_t length = d.Data[d.Position++];
    if (length == 0 || length > d.Size - d.Position) {
      d.Failed = 1;
      return 0;
    }
    memcpy(d.Block, d.Data + d.Position, length);
    d.Position += length;
    d.BlockLeft = (int)length;
    d.BlockPointer = d.Block;
  }
  d.BlockLeft--;
  return *d.BlockPointer++;
}

// Codes are packed least significant bit first; only the bytes a code needs are taken.
inline int ReadCode(GIF_DECODER &d) {
  while (d.BitCount < d.CodeSize) {
    d.Bits |= (uint32_t)NextByte(d) << d.BitCount;
    d.BitCount += 8;
  }
  int code = (int)(d.Bits & kCodeMask[d.CodeSize]);
  d.Bits >>= d.CodeSize;
  d.BitCount -= d.CodeSize;
  return code;
}

// The table-driven LZW decoder with an output stack. Every string is at most one character longer than
// the longest string in the table, and each prefix code is below the code it prefixes, so a chain ends
// within kTableSize stack entries. Returns 0 when the stream breaks off, names a code that is not
// defined yet, or decodes to more pixels than `out` holds.
int DecodeStream(GIF_DECODER &d, int minCodeSize, unsigned char *out, unsigned char *outEnd,
                 unsigned char *stack, unsigned char *suffix, uint16_t *prefix) {
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  const int firstFree = clearCode + 2;
  int nextCode = firstFree;
  int topSlot = 1 << (minCodeSize + 1);
  int previousCode = 0;
  int firstChar = 0;
  // The stream starts as if it began with a clear code: the first code only names a pixel. (Adding a
  // table entry for it would shift every later string of a stream that has no leading clear code.)
  bool restart = true;
  d.CodeSize = minCodeSize + 1;

  for (;;) {
    int c = ReadCode(d);
    if (d.Failed) return 0;
    if (c == endCode) return 1;

    if (c == clearCode) {
      d.CodeSize = minCodeSize + 1;
      nextCode = firstFree;
      topSlot = 1 << d.CodeSize;
      restart = true;
      continue;
    }
    if (restart) {
      restart = false;
      if (c >= nextCode) c = 0;
      previousCode = firstChar = c;
      if (out == outEnd) return 0;
      *out++ = (unsigned char)c;
      continue;
    }

    // Only the code being defined right now may follow the defined ones: anything beyond it would walk
    // table entries left over from before the last clear code.
    if (c > nextCode) return 0;
    unsigned char *sp = stack;
    int code = c;
    if (code == nextCode) {
      *sp++ = (unsigned char)firstChar;
      code = previousCode;
    }
    while (code >= firstFree) {
      *sp++ = suffix[code];
      code = prefix[code];
    }
    *sp++ = (unsigned char)code;

    if (nextCode < topSlot) {
      firstChar = code;
      suffix[nextCode] = (unsigned char)code;
      prefix[nextCode] = (uint16_t)previousCode;
      nextCode++;
      previousCode = c;
    }
    if (nextCode >= topSlot && d.CodeSize < kMaxCodeSize) {
      topSlot <<= 1;
      d.CodeSize++;
    }

    if (sp - stack > outEnd - out) return 0;
    while (sp > stack) *out++ = *--sp;
  }
}

}  // namespace

int DecodeGIF(const unsigned char *data, size_t size, IMAGE *image, unsigned char *palette768,
              int64_t maxPixels) {
  image->Pixels = nullptr;
  if (size < 13 || memcmp(data, "GIF", 3) != 0) return 0;

  // The global colour table is always read, whatever the flags say about its presence.
  size_t colours = (size_t)2 << (data[10] & 7);
  size_t descriptor = 13 + 3 * colours;
  if (palette768) {
    memset(palette768, 0, 768);
    memcpy(palette768, data + 13, size - 13 < 3 * colours ? size - 13 : 3 * colours);
  }
  if (descriptor + 11 > size) return 0;

  const unsigned char *p = data + descriptor;
  int32_t width = p[5] | (p[6] << 8);
  int32_t height = p[7] | (p[8] << 8);
  int minCodeSize = p[10];
  if (minCodeSize < 2 || minCodeSize > 9) return 0;
  if (width == 0 || height == 0 || (int64_t)width * height > maxPixels) return 0;

  size_t pixelCount = (size_t)width * (size_t)height;
  unsigned char *pixels = (unsigned char *)TrackedAlloc(pixelCount, __LINE__, "gifload");
  unsigned char *stack = (unsigned char *)TrackedAlloc(kTableSize, __LINE__, "gifload");
  unsigned char *suffix = (unsigned char *)TrackedAlloc(kTableSize, __LINE__, "gifload");
  uint16_t *prefix = (uint16_t *)TrackedAlloc(kTableSize * sizeof(uint16_t), __LINE__, "gifload");

  GIF_DECODER d;
  d.Data = data;
  d.Size = size;
  d.Position = descriptor + 11;
  d.BlockLeft = 0;
  d.BlockPointer = d.Block;
  d.Bits = 0;
  d.BitCount = 0;
  d.Failed = 0;
  int ok = DecodeStream(d, minCodeSize, pixels, pixels + pixelCount, stack, suffix, prefix);

  TrackedFree(prefix, __LINE__, "gifload");
  TrackedFree(suffix, __LINE__, "gifload");
  TrackedFree(stack, __LINE__, "gifload");
  if (!ok) {
    TrackedFree(pixels, __LINE__, "gifload");
    return 0;
  }
  image->Width = width;
  image->Height = height;
  image->Pixels = pixels;
  return 1;
}

int LoadGIF(const char *path, IMAGE *image, unsigned char *palette768) {
  image->Pixels = nullptr;
  size_t size = 0;
  unsigned char *data = ReadImageFile(path, &size, __LINE__, "gifload");
  if (!data) return 0;
  int ok = DecodeGIF(data, size, image, palette768);
  TrackedFree(data, __LINE__, "gifload");
  return ok;
}
