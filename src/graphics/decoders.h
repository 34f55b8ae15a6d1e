// Internal to the graphics library: the memory-in cores behind the picture loaders, the PNG loader that
// texture loading uses, and the size rules shared by every texture path. Tests, fuzz harnesses and
// benchmarks call the cores directly; the rest of the program goes through gldriver.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/gldriver.h"

// Every decoder refuses pictures with more pixels than this (8192 x 8192): a few header bytes can claim
// 65535 x 65535 pixels, and no picture the program ships comes near it.
constexpr int64_t DECODER_MAX_PIXELS = int64_t(1) << 26;

// The cores. Each returns 1 with `image` filled (Pixels from TrackedAlloc, owned by the caller) or 0 with
// nothing allocated, whatever the bytes say; they never read outside data[0, size). Pictures of more than
// maxPixels pixels are refused before anything is allocated (the fuzz harnesses keep it small).
// GIF: one palette index per pixel; `palette768` (may be null) receives the global colour table, entries
// beyond the table's size zero.
int DecodeGIF(const unsigned char *data, size_t size, IMAGE *image, unsigned char *palette768,
              int64_t maxPixels = DECODER_MAX_PIXELS);
// BMP, JPEG and PNG: one 0x00RRGGBB value per pixel, top row first.
int DecodeBMP(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels = DECODER_MAX_PIXELS);
int DecodeJPEG(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels = DECODER_MAX_PIXELS);
int DecodePNG(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels = DECODER_MAX_PIXELS);

// The whole file in a TrackedAlloc block recorded under (line, file); null when it cannot be opened or
// read, or when it is empty.
unsigned char *ReadImageFile(const char *path, size_t *size, int line, const char *file);

// The archive member `fileName` decoded by `decode` into a 32-bit `image`; the member is extracted and
// released on every path. 1 on success, 0 with nothing allocated.
typedef int (*IMAGE_DECODER)(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels);
int LoadImageMember(const char *fileName, IMAGE *image, IMAGE_DECODER decode);

// The format the texture loader reads a member as, by its name: only the first four characters from the
// name's first "." count, so ".pngx" is a PNG and ".jpeg" none of the four.
enum PICTURE_KIND { PICTURE_NONE, PICTURE_PNG, PICTURE_GIF, PICTURE_JPEG, PICTURE_BMP };
PICTURE_KIND PictureKindOfName(const char *fileName);

// Texture sizes OpenGL 1.1 takes: a power of two from 2 to 1024, and not above maxSize.
int TextureSizeAccepted(int32_t size, int32_t maxSize);
// Nearest-neighbour resample of `image` (pixelSize bytes per pixel) to the next power of two in each
// dimension, from 2 up and at most maxSize; a dimension above maxSize becomes maxSize.
void RescaleImage(IMAGE *image, int32_t pixelSize, int32_t maxSize);
// GL_MAX_TEXTURE_SIZE of the current context.
int32_t MaxTextureSize();

// The PNG loader: reads `path` (any colour type and bit depth, taken to 8-bit RGB), gives each texel the
// alpha of the registered callback, resamples sizes the texture rules refuse, and uploads into the
// texture bound to GL_TEXTURE_2D. Returns 1 and the file's own size in `info`, or 0 on any failure with
// nothing uploaded.
enum { PNG_NOMIPMAPS = 0, PNG_BUILDMIPMAPS = -1, PNG_CALLBACK = -3 };

struct pngInfo {
  uint32_t Width;
  uint32_t Height;
};

typedef unsigned char (*PNG_ALPHA_CALLBACK)(unsigned char red, unsigned char green, unsigned char blue);

// The callback serves every later pngLoad with transparency PNG_CALLBACK; without one texels are opaque.
void pngSetAlphaCallback(PNG_ALPHA_CALLBACK callback);
int pngLoad(const char *path, int mipmap, int transparency, pngInfo *info);

// The alpha rule of the PNG path, set by LoadTexture before each PNG load: PngAlphaMode 0 gives every
// texel PngAlphaByte, 1 gives black texels 0 and the others PngAlphaByte, 2 scales the texel's brightness
// by PngAlphaByte / 256; any other mode gives 255.
extern unsigned char PngAlphaByte;
extern int32_t PngAlphaMode;
unsigned char PngAlphaCallback(unsigned char red, unsigned char green, unsigned char blue);
