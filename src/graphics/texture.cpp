// Texture loading: pictures named by their archive names become OpenGL textures, shared per file name and
// load options and counted per reference. PNG, GIF, JPEG and BMP files are told apart by the extension.
#include <GL/glu.h>

#include <strings.h>

#include <cstring>

#include "archive/archive.h"
#include "graphics/decoders.h"

unsigned char PngAlphaByte = 0;
int32_t PngAlphaMode = 0;

unsigned char PngAlphaCallback(unsigned char red, unsigned char green, unsigned char blue) {
  switch (PngAlphaMode) {
    case 0:
      return PngAlphaByte;
    case 1:
      return (red | green | blue) ? PngAlphaByte : 0;
    case 2: {
      int m = (red + green + blue) / 3;
      return (unsigned char)(m * PngAlphaByte * 0.00390625);
    }
    default:
      return 255;
  }
}

namespace {

// trunc(alpha x 255), kept to a byte when the factor strays outside [0, 1].
unsigned char ConstantAlpha(float alpha) {
  float value = alpha * 255.0f;
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return (unsigned char)value;
}

struct ALPHA_RULE {
  int32_t Mode;
  float Alpha;
  unsigned char Constant;
};

inline unsigned char TexelAlpha(const ALPHA_RULE &rule, unsigned char red, unsigned char green, unsigned char blue) {
  if (rule.Mode == ALPHA_CONSTANT) return rule.Constant;
  if (rule.Mode == ALPHA_LUMINANCE) {
    float value = (float)((red + green + blue) / 3) * rule.Alpha;
    if (!(value > 0.0f)) return 0;
    return value >= 255.0f ? 255 : (unsigned char)value;
  }
  return (red | green | blue) ? rule.Constant : 0;
}

void SetTextureParameters(int32_t mipmap, int32_t wrap) {
  GLint wrapMode = wrap == 1 ? GL_REPEAT : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapMode);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapMode);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmap == 1 ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void SetPixelStorage() {
  glPixelStorei(GL_PACK_SWAP_BYTES, 0);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
  glPixelStorei(GL_UNPACK_LSB_FIRST, 0);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void Upload(const IMAGE &rgba, int32_t mipmap) {
  if (mipmap == 1)
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, rgba.Width, rgba.Height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.Pixels);
  else
    glTexImage2D(GL_TEXTURE_2D, 0, 4, rgba.Width, rgba.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.Pixels);
}

void RescaleIfRefused(const char *fileName, IMAGE *image, int32_t pixelSize) {
  int32_t maxSize = MaxTextureSize();
  if (TextureSizeAccepted(image->Width, maxSize) && TextureSizeAccepted(image->Height, maxSize)) return;
  LogPrint("\n PROGRAM: -- WARNING: Texture %s will be rescaled ( %i %i ) !", fileName, image->Width,
           image->Height);
  RescaleImage(image, pixelSize, maxSize);
}

void BindNewTexture(c_GLDRIVER &driver, uint32_t bind, int32_t mipmap, int32_t wrap) {
  glBindTexture(GL_TEXTURE_2D, bind);
  driver.SetTextureUnitDefaults();
  SetTextureParameters(mipmap, wrap);
}

int LoadPngTexture(c_GLDRIVER &driver, uint32_t bind, const char *fileName, int32_t alphaMode, int32_t mipmap,
                   int32_t wrap, float alpha) {
  BindNewTexture(driver, bind, mipmap, wrap);
  PngAlphaByte = ConstantAlpha(alpha);
  PngAlphaMode = alphaMode == ALPHA_CONSTANT ? 0 : alphaMode == ALPHA_LUMINANCE ? 2 : 1;
  pngSetAlphaCallback(PngAlphaCallback);

  char *path = ExtractFile(fileName);
  pngInfo info;
  int ok = pngLoad(path, mipmap == 1 ? PNG_BUILDMIPMAPS : PNG_NOMIPMAPS, PNG_CALLBACK, &info);
  ReleaseFile(path);
  if (!ok) return 0;
  int32_t maxSize = MaxTextureSize();
  if (!TextureSizeAccepted((int32_t)info.Width, maxSize) || !TextureSizeAccepted((int32_t)info.Height, maxSize))
    LogPrint("\n PROGRAM: -- WARNING: Texture %s will be rescaled ( %i %i ) !", fileName, (int)info.Width,
             (int)info.Height);
  driver.LastTextureWidth = (int32_t)info.Width;
  driver.LastTextureHeight = (int32_t)info.Height;
  return 1;
}

int LoadGifTexture(c_GLDRIVER &driver, uint32_t bind, const char *fileName, int32_t alphaMode, int32_t mipmap,
                   int32_t wrap, float alpha) {
  char *path = ExtractFile(fileName);
  IMAGE image;
  unsigned char palette[768];
  int ok = LoadGIF(path, &image, palette);
  ReleaseFile(path);
  if (ok != 1) return 0;
  RescaleIfRefused(fileName, &image, 1);

  const ALPHA_RULE rule = {alphaMode, alpha, ConstantAlpha(alpha)};
  const size_t count = (size_t)image.Width * image.Height;
  IMAGE rgba = {image.Width, image.Height, TrackedAlloc(count * 4, __LINE__, "gldriver")};
  const unsigned char *index = (const unsigned char *)image.Pixels;
  unsigned char *texel = (unsigned char *)rgba.Pixels;
  for (size_t i = 0; i < count; i++, texel += 4) {
    const unsigned char *colour = palette + 3 * index[i];
    texel[0] = colour[0];
    texel[1] = colour[1];
    texel[2] = colour[2];
    texel[3] = TexelAlpha(rule, colour[0], colour[1], colour[2]);
  }

  BindNewTexture(driver, bind, mipmap, wrap);
  driver.LastTextureWidth = rgba.Width;
  driver.LastTextureHeight = rgba.Height;
  Upload(rgba, mipmap);
  TrackedFree(image.Pixels, __LINE__, "gldriver");
  TrackedFree(rgba.Pixels, __LINE__, "gldriver");
  return 1;
}

int LoadTrueColorTexture(c_GLDRIVER &driver, uint32_t bind, const char *fileName, int (*load)(const char *, IMAGE *),
                         int32_t alphaMode, int32_t mipmap, int32_t wrap, float alpha) {
  IMAGE image;
  if (!load(fileName, &image)) return 0;
  RescaleIfRefused(fileName, &image, 4);

  // 0x00RRGGBB becomes red, green, blue, alpha bytes in place.
  const ALPHA_RULE rule = {alphaMode, alpha, ConstantAlpha(alpha)};
  const size_t count = (size_t)image.Width * image.Height;
  unsigned char *texel = (unsigned char *)image.Pixels;
  for (size_t i = 0; i < count; i++, texel += 4) {
    unsigned char blue = texel[0], red = texel[2];
    texel[0] = red;
    texel[2] = blue;
    texel[3] = TexelAlpha(rule, red, texel[1], blue);
  }

  BindNewTexture(driver, bind, mipmap, wrap);
  driver.LastTextureWidth = image.Width;
  driver.LastTextureHeight = image.Height;
  Upload(image, mipmap);
  TrackedFree(image.Pixels, __LINE__, "gldriver");
  return 1;
}

}  // namespace

uint32_t c_GLDRIVER::LoadTexture(const char *fileName, int32_t alphaMode, int32_t mipmap, int32_t wrap, float alpha) {
  LogPrint("\n PROGRAM: -- Load texture: %s ", fileName);
  for (TEXTURE_ENTRY *entry = TextureList; entry; entry = entry->Next) {
    if (strcasecmp(entry->FileName, fileName) == 0 && entry->AlphaMode == alphaMode && entry->Mipmap == mipmap &&
        entry->Wrap == wrap && entry->Alpha == alpha) {
      entry->RefCount++;
      return entry->Bind;
    }
  }

  GLuint bind = 0;
  glGenTextures(1, &bind);
  if (bind == 0) return 0;
  // A load that fails gives its texture name back.
  if (!strchr(fileName, '.')) {
    glDeleteTextures(1, &bind);
    return 0;
  }
  SetTextureUnitDefaults();
  SetPixelStorage();

  int ok = 0;
  switch (PictureKindOfName(fileName)) {
    case PICTURE_PNG:
      ok = LoadPngTexture(*this, bind, fileName, alphaMode, mipmap, wrap, alpha);
      break;
    case PICTURE_GIF:
      ok = LoadGifTexture(*this, bind, fileName, alphaMode, mipmap, wrap, alpha);
      break;
    case PICTURE_JPEG:
      ok = LoadTrueColorTexture(*this, bind, fileName, LoadJPEG, alphaMode, mipmap, wrap, alpha);
      break;
    case PICTURE_BMP:
      ok = LoadTrueColorTexture(*this, bind, fileName, LoadBMP, alphaMode, mipmap, wrap, alpha);
      break;
    case PICTURE_NONE:
      break;
  }
  if (!ok) {
    glDeleteTextures(1, &bind);
    return 0;
  }
  AddTexture(bind, fileName, alphaMode, mipmap, wrap, alpha);
  return bind;
}

void c_GLDRIVER::AddTexture(uint32_t bind, const char *fileName, int32_t alphaMode, int32_t mipmap, int32_t wrap,
                            float alpha) {
  TEXTURE_ENTRY *entry = (TEXTURE_ENTRY *)TrackedAlloc(sizeof(TEXTURE_ENTRY), __LINE__, "gldriver");
  entry->RefCount = 1;
  entry->Bind = bind;
  strncpy(entry->FileName, fileName, sizeof entry->FileName - 1);
  entry->AlphaMode = alphaMode;
  entry->Mipmap = mipmap;
  entry->Wrap = wrap;
  entry->Alpha = alpha;
  TEXTURE_ENTRY **link = &TextureList;
  while (*link) link = &(*link)->Next;
  *link = entry;
}

void c_GLDRIVER::ReleaseTexture(uint32_t bind) {
  for (TEXTURE_ENTRY **link = &TextureList; *link; link = &(*link)->Next) {
    TEXTURE_ENTRY *entry = *link;
    if (entry->Bind != bind) continue;
    if (entry->RefCount == 1) {
      GLuint name = bind;
      glDeleteTextures(1, &name);
      *link = entry->Next;
      TrackedFree(entry, __LINE__, "gldriver");
    } else {
      entry->RefCount--;
    }
    return;
  }
}
