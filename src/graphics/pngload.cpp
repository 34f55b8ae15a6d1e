// The PNG loader texture loading relies on, over libpng: any colour type and bit depth becomes 8-bit RGB,
// the registered callback gives each texel its alpha, and the picture goes into the bound texture.
// libpng's errors unwind to the decode call instead of ending the process.
#include <GL/glu.h>
#include <png.h>

#include <cstring>

#include "graphics/decoders.h"

namespace {

PNG_ALPHA_CALLBACK sAlphaCallback = nullptr;

struct PNG_SOURCE {
  const unsigned char *Data;
  size_t Size;
  size_t Position;
};

void PngReadData(png_structp png, png_bytep out, size_t length) {
  PNG_SOURCE *source = (PNG_SOURCE *)png_get_io_ptr(png);
  if (length > source->Size - source->Position) png_error(png, "unexpected end of file");
  memcpy(out, source->Data + source->Position, length);
  source->Position += length;
}

void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void PngWarning(png_structp, png_const_charp) {}

}  // namespace

int DecodePNG(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  image->Pixels = nullptr;
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return 0;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return 0;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return 0;
  }
  // Written after setjmp and needed after the jump back.
  uint32_t *volatile pixels = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (pixels) TrackedFree(pixels, __LINE__, "pngload");
    return 0;
  }
  PNG_SOURCE source = {data, size, 0};
  png_set_read_fn(png, &source, PngReadData);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if ((int64_t)width * height > maxPixels) png_error(png, "picture too large");
  const int colorType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);

  // Every kind of PNG ends as blue, green, red, 0 bytes: one little-endian 0x00RRGGBB per pixel. A tRNS
  // chunk is expanded into alpha with the palette, so the alpha goes whenever there is one.
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (bitDepth == 16) png_set_strip_16(png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS)) png_set_strip_alpha(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (size_t)width * 4) png_error(png, "unexpected row size");

  pixels = (uint32_t *)TrackedAlloc((size_t)width * height * 4, __LINE__, "pngload");
  // Each pass of an interlaced picture adds its pixels to the rows of the passes before it.
  for (int pass = 0; pass < passes; pass++)
    for (png_uint_32 y = 0; y < height; y++) png_read_row(png, (png_bytep)(pixels + (size_t)y * width), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);

  image->Width = (int32_t)width;
  image->Height = (int32_t)height;
  image->Pixels = pixels;
  return 1;
}

void pngSetAlphaCallback(PNG_ALPHA_CALLBACK callback) { sAlphaCallback = callback; }

int pngLoad(const char *path, int mipmap, int transparency, pngInfo *info) {
  size_t size = 0;
  unsigned char *data = ReadImageFile(path, &size, __LINE__, "pngload");
  if (!data) return 0;
  IMAGE image;
  int ok = DecodePNG(data, size, &image);
  TrackedFree(data, __LINE__, "pngload");
  if (!ok) return 0;

  info->Width = (uint32_t)image.Width;
  info->Height = (uint32_t)image.Height;
  int32_t maxSize = MaxTextureSize();
  if (!TextureSizeAccepted(image.Width, maxSize) || !TextureSizeAccepted(image.Height, maxSize))
    RescaleImage(&image, 4, maxSize);

  // 0x00RRGGBB becomes red, green, blue, alpha bytes in place.
  unsigned char *texel = (unsigned char *)image.Pixels;
  size_t count = (size_t)image.Width * image.Height;
  PNG_ALPHA_CALLBACK callback = transparency == PNG_CALLBACK ? sAlphaCallback : nullptr;
  for (size_t i = 0; i < count; i++, texel += 4) {
    unsigned char blue = texel[0], red = texel[2];
    texel[0] = red;
    texel[2] = blue;
    texel[3] = callback ? callback(red, texel[1], blue) : 255;
  }

  if (mipmap == PNG_BUILDMIPMAPS)
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, image.Width, image.Height, GL_RGBA, GL_UNSIGNED_BYTE, image.Pixels);
  else
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.Width, image.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.Pixels);
  TrackedFree(image.Pixels, __LINE__, "pngload");
  return 1;
}
