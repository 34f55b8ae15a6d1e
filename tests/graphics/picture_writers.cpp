#include "picture_writers.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace {

int GifWrite(GifFileType *gif, const GifByteType *bytes, int length) {
  ((std::string *)gif->UserData)->append((const char *)bytes, (size_t)length);
  return length;
}

void PngWrite(png_structp png, png_bytep data, size_t length) {
  ((std::string *)png_get_io_ptr(png))->append((const char *)data, length);
}

void PngFlush(png_structp) {}

}  // namespace

uint32_t TestRandom(uint32_t &state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

std::string GiflibGif(int width, int height, const std::vector<uint8_t> &indices,
                      const std::vector<uint8_t> &palette, int bits) {
  std::string out;
  int error = 0;
  GifFileType *gif = EGifOpen(&out, GifWrite, &error);
  EGifSetGifVersion(gif, true);
  std::vector<uint8_t> rgb(palette);
  rgb.resize((size_t)3 << bits, 0);
  ColorMapObject *map = GifMakeMapObject(1 << bits, (const GifColorType *)rgb.data());
  EGifPutScreenDesc(gif, width, height, bits, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  for (int y = 0; y < height; y++)
    EGifPutLine(gif, (GifPixelType *)const_cast<uint8_t *>(&indices[(size_t)y * width]), width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

std::string Jpeg(int width, int height, const std::vector<uint32_t> &pixels, int components) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_compress(&cinfo);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = (JDIMENSION)width, cinfo.image_height = (JDIMENSION)height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row((size_t)width * components);
  for (JSAMPROW rows[1] = {row.data()}; cinfo.next_scanline < cinfo.image_height; jpeg_write_scanlines(&cinfo, rows, 1))
    for (size_t i = 0; i < row.size(); i++)
      row[i] = (pixels[cinfo.next_scanline * width + i / components] >> (8 * (components - 1 - i % components)));
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out((const char *)buffer, size);
  free(buffer);
  return out;
}

std::string Png(int width, int height, int colorType, int bitDepth, const std::vector<uint16_t> &samples,
                const std::vector<uint8_t> &paletteRgb, const std::vector<uint8_t> &trns, bool interlaced) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, bitDepth, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    const size_t colours = std::min(paletteRgb.size() / 3, (size_t)1 << bitDepth);
    png_set_PLTE(png, info, (png_const_colorp)paletteRgb.data(), (int)colours);  // png_color is three bytes
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), (int)trns.size(), nullptr);
  }
  png_write_info(png, info);
  // Samples below 8 bits go one to a byte for libpng to pack; 16-bit ones high byte first, as PNG has them.
  png_set_packing(png);
  std::vector<uint8_t> bytes;
  for (uint16_t v : samples) {
    if (bitDepth == 16) bytes.push_back((uint8_t)(v >> 8));
    bytes.push_back((uint8_t)v);
  }
  std::vector<png_bytep> rows;
  for (int y = 0; y < height; y++) rows.push_back(&bytes[bytes.size() / height * y]);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}
