#include "picture_writers.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdlib>
#include <initializer_list>
#include <map>

namespace {

// Little-endian fields of `bytes` bytes each.
void Put(std::string &out, int bytes, std::initializer_list<uint32_t> values) {
  for (uint32_t v : values)
    for (int i = 0; i < bytes; i++) out += (char)(v >> (8 * i) & 0xFF);
}

int GifWrite(GifFileType *gif, const GifByteType *bytes, int length) {
  ((std::string *)gif->UserData)->append((const char *)bytes, (size_t)length);
  return length;
}

void PngWrite(png_structp png, png_bytep data, size_t length) {
  ((std::string *)png_get_io_ptr(png))->append((const char *)data, length);
}

void PngFlush(png_structp) {}

std::string BmpHeaders(int width, int height, int bitCount, size_t paletteEntries, bool topDown, size_t stride) {
  std::string out = "BM";
  uint32_t offset = (uint32_t)(14 + 40 + paletteEntries * 4), bytes = (uint32_t)(stride * (size_t)height);
  Put(out, 4, {offset + bytes, 0, offset, 40, (uint32_t)width, (uint32_t)(topDown ? -height : height)});
  Put(out, 2, {1, (uint32_t)bitCount});
  Put(out, 4, {0, bytes, 2835, 2835, (uint32_t)paletteEntries, 0});
  return out;
}

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
  ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
  for (size_t i = 0; i < (size_t)1 << bits; i++) {
    map->Colors[i].Red = 3 * i < palette.size() ? palette[3 * i] : 0;
    map->Colors[i].Green = 3 * i + 1 < palette.size() ? palette[3 * i + 1] : 0;
    map->Colors[i].Blue = 3 * i + 2 < palette.size() ? palette[3 * i + 2] : 0;
  }
  EGifPutScreenDesc(gif, width, height, bits, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  for (int y = 0; y < height; y++)
    EGifPutLine(gif, (GifPixelType *)const_cast<uint8_t *>(&indices[(size_t)y * width]), width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

std::vector<uint8_t> LzwEncode(const std::vector<uint8_t> &indices, const LZW_OPTIONS &o) {
  std::vector<uint8_t> bytes;
  uint32_t pending = 0;
  int pendingBits = 0;
  const int clear = 1 << o.minCodeSize, end = clear + 1;
  int size = 0, next = 0;
  std::map<uint32_t, int> table;
  // The encoder's own rule, as giflib has it: after a code is written, the codes grow by a bit once the
  // next free code (before the one the written code adds) no longer fits.
  auto put = [&](int code) {
    pending |= (uint32_t)code << pendingBits;
    for (pendingBits += size; pendingBits >= 8; pendingBits -= 8, pending >>= 8) bytes.push_back((uint8_t)pending);
    if (next >= 1 << size && size < 12) size++;
  };
  auto emitClear = [&] {
    put(clear);
    size = o.minCodeSize + 1;
    next = clear + 2;
    table.clear();
  };
  size = o.minCodeSize + 1;
  next = clear + 2;
  if (o.leadingClear) emitClear();
  int current = -1;
  for (size_t i = 0; i < indices.size(); i++) {
    if (o.clearEvery && i > 0 && i % o.clearEvery == 0) {
      put(current);
      emitClear();
      current = -1;
    }
    const int pixel = indices[i];
    if (current < 0) {
      current = pixel;
      continue;
    }
    const uint32_t key = (uint32_t)current * 1024 + (uint32_t)pixel;
    auto found = table.find(key);
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    put(current);
    if (next < 4096)
      table[key] = next++;
    else if (o.clearWhenFull)
      emitClear();
    current = pixel;
  }
  if (current >= 0) put(current);
  if (o.clearBeforeEnd) emitClear();
  if (o.endCode) put(end);
  if (pendingBits > 0) bytes.push_back((uint8_t)pending);
  return bytes;
}

std::string GifAround(int width, int height, const std::vector<uint8_t> &palette, int tableBits,
                      int minCodeSize, const std::vector<uint8_t> &stream) {
  std::string out = "GIF89a";
  Put(out, 2, {(uint32_t)width, (uint32_t)height});
  Put(out, 1, {0x80u | (tableBits & 7) | ((tableBits & 7) << 4), 0, 0});
  for (size_t i = 0; i < 3 * ((size_t)2 << (tableBits & 7)); i++) out += (char)(i < palette.size() ? palette[i] : 0);
  out += ',';
  Put(out, 2, {0, 0, (uint32_t)width, (uint32_t)height});
  Put(out, 1, {0, (uint32_t)minCodeSize});
  for (size_t at = 0; at < stream.size(); at += 255) {
    size_t length = stream.size() - at < 255 ? stream.size() - at : 255;
    out += (char)length;
    out.append((const char *)stream.data() + at, length);
  }
  return out + '\0' + ';';
}

std::string Bmp24(int width, int height, const std::vector<uint32_t> &pixels, bool topDown) {
  size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
  std::string out = BmpHeaders(width, height, 24, 0, topDown, stride);
  for (int row = 0; row < height; row++) {
    std::string line;
    for (int x = 0; x < width; x++) Put(line, 3, {pixels[(size_t)(topDown ? row : height - 1 - row) * width + x]});
    line.resize(stride, '\0');
    out += line;
  }
  return out;
}

std::string Bmp8(int width, int height, const std::vector<uint8_t> &indices, const std::vector<uint32_t> &palette,
                 bool topDown) {
  size_t stride = ((size_t)width + 3) & ~(size_t)3;
  std::string out = BmpHeaders(width, height, 8, palette.size(), topDown, stride);
  for (uint32_t p : palette) Put(out, 4, {p});
  for (int row = 0; row < height; row++) {
    std::string line((const char *)&indices[(size_t)(topDown ? row : height - 1 - row) * width], (size_t)width);
    line.resize(stride, '\0');
    out += line;
  }
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
  cinfo.image_width = (JDIMENSION)width;
  cinfo.image_height = (JDIMENSION)height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row((size_t)width * components);
  while (cinfo.next_scanline < cinfo.image_height) {
    // Three components take red, green and blue of each pixel in turn; one takes the low byte.
    for (size_t i = 0; i < row.size(); i++) {
      uint32_t pixel = pixels[(size_t)cinfo.next_scanline * width + i / components];
      row[i] = (uint8_t)(pixel >> (8 * (components - 1 - i % components)));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
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
    std::vector<png_color> colours(paletteRgb.size() / 3);
    for (size_t i = 0; i < colours.size(); i++)
      colours[i] = {paletteRgb[3 * i], paletteRgb[3 * i + 1], paletteRgb[3 * i + 2]};
    png_set_PLTE(png, info, colours.data(), (int)colours.size());
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), (int)trns.size(), nullptr);
  }
  png_write_info(png, info);
  const int perRow = width * png_get_channels(png, info);
  std::vector<std::vector<uint8_t>> rows((size_t)height, std::vector<uint8_t>(png_get_rowbytes(png, info), 0));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < height; y++) {
    for (int i = 0; i < perRow; i++) {
      uint32_t v = samples[(size_t)y * perRow + i];
      size_t bit = (size_t)i * bitDepth;  // samples below 16 bits are packed from the high bits down
      if (bitDepth == 16) {
        rows[y][2 * i] = (uint8_t)(v >> 8);
        rows[y][2 * i + 1] = (uint8_t)v;
      } else {
        rows[y][bit / 8] |= (uint8_t)(v << (8 - bitDepth - bit % 8));
      }
    }
    pointers.push_back(rows[y].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}
