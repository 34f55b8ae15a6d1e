// JPEG pictures through libjpeg-turbo, delivered as the program's 0x00RRGGBB rows, top row first.
// libjpeg's own error handler ends the process; here every error unwinds to the decode call instead.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "graphics/decoders.h"

namespace {

struct JPEG_ERROR {
  jpeg_error_mgr Manager;  // first, so that cinfo->err leads back to the whole record
  jmp_buf Jump;
};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(((JPEG_ERROR *)cinfo->err)->Jump, 1); }

// Warnings (a damaged stream that still yields a picture) are not worth a line anywhere.
void JpegOutputMessage(j_common_ptr) {}

// The rows libjpeg wrote as blue, green, red, 0xFF become 0x00RRGGBB.
void ClearFillerBytes(uint32_t *pixels, size_t count) {
  for (size_t i = 0; i < count; i++) pixels[i] &= 0x00FFFFFF;
}

}  // namespace

int DecodeJPEG(const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
  image->Pixels = nullptr;
  jpeg_decompress_struct cinfo;
  JPEG_ERROR error;
  // Written after setjmp and needed after the jump back.
  uint32_t *volatile pixels = nullptr;

  cinfo.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.output_message = JpegOutputMessage;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (pixels) TrackedFree(pixels, __LINE__, "gldriver");
    return 0;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);

  // The colour space follows the channel count alone, whatever the markers say; other counts have no
  // conversion to RGB.
  if (cinfo.num_components == 1) {
    cinfo.jpeg_color_space = JCS_GRAYSCALE;
  } else if (cinfo.num_components == 3) {
    cinfo.jpeg_color_space = JCS_YCbCr;
  } else {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  if ((int64_t)cinfo.image_width * cinfo.image_height > maxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);

  const size_t width = cinfo.output_width;
  const size_t height = cinfo.output_height;
  pixels = (uint32_t *)TrackedAlloc(width * height * 4, __LINE__, "gldriver");
  while (cinfo.output_scanline < height) {
    JSAMPROW rows[16];
    JDIMENSION first = cinfo.output_scanline;
    JDIMENSION wanted = (JDIMENSION)(height - first < 16 ? height - first : 16);
    for (JDIMENSION i = 0; i < wanted; i++) rows[i] = (JSAMPROW)(pixels + (first + i) * width);
    JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, wanted);
    // The memory source never suspends; a call without rows would repeat forever.
    if (got == 0) longjmp(error.Jump, 1);
    ClearFillerBytes(pixels + first * width, got * width);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);

  image->Width = (int32_t)width;
  image->Height = (int32_t)height;
  image->Pixels = pixels;
  return 1;
}

int LoadJPEG(const char *fileName, IMAGE *image) { return LoadImageMember(fileName, image, DecodeJPEG); }
