// Whole-file reading for the picture loaders: each decodes from memory, so a file is read in one go.
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "archive/archive.h"
#include "graphics/decoders.h"

namespace {

// No picture file comes near this; a larger one is refused before its size reaches the allocator.
const off_t kMaxImageFileSize = off_t(1) << 28;

}  // namespace

unsigned char *ReadImageFile(const char *path, size_t *size, int line, const char *file) {
  *size = 0;
  FILE *f = fopen(path, "rb");
  if (!f) return nullptr;
  struct stat info;
  if (fstat(fileno(f), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      info.st_size > kMaxImageFileSize) {
    fclose(f);
    return nullptr;
  }
  size_t length = (size_t)info.st_size;
  unsigned char *data = (unsigned char *)TrackedAlloc(length, line, file);
  size_t got = fread(data, 1, length, f);
  fclose(f);
  if (got != length) {
    TrackedFree(data, line, file);
    return nullptr;
  }
  *size = length;
  return data;
}

int LoadImageMember(const char *fileName, IMAGE *image, IMAGE_DECODER decode) {
  image->Pixels = nullptr;
  char *path = ExtractFile(fileName);
  size_t size = 0;
  unsigned char *data = ReadImageFile(path, &size, __LINE__, "gldriver");
  int ok = 0;
  if (data) {
    ok = decode(data, size, image, DECODER_MAX_PIXELS);
    TrackedFree(data, __LINE__, "gldriver");
  }
  ReleaseFile(path);
  return ok;
}

PICTURE_KIND PictureKindOfName(const char *fileName) {
  const char *extension = strchr(fileName, '.');
  if (!extension) return PICTURE_NONE;
  if (strncasecmp(extension, ".png", 4) == 0) return PICTURE_PNG;
  if (strncasecmp(extension, ".gif", 4) == 0) return PICTURE_GIF;
  if (strncasecmp(extension, ".jpg", 4) == 0) return PICTURE_JPEG;
  if (strncasecmp(extension, ".bmp", 4) == 0) return PICTURE_BMP;
  return PICTURE_NONE;
}
