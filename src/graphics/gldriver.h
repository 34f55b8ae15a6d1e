// The graphics driver: the OpenGL context on the main window with the optional display-mode change, the
// program's default render state, the extension checks and entry points, and the texture cache.
// Main thread only, with the driver's context current.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdint>

#include "support/misc.h"

struct PlatformWindow;
struct PlatformGLContext;

// Alpha rules of LoadTexture; any other value behaves as ALPHA_COLORKEY.
enum { ALPHA_CONSTANT = 0, ALPHA_COLORKEY = 1, ALPHA_LUMINANCE = 2 };

// Constructor flags word: 8 asks for a double-buffered format, 32 for a 24-bit depth buffer (else 16).
enum { GLDRIVER_DOUBLEBUFFER = 8, GLDRIVER_DEPTH24 = 32 };

// A decoded picture handed from the decoders to the texture upload. Rows top row first, no padding.
// GIF: one palette index byte per pixel; JPEG and BMP: one little-endian 0x00RRGGBB value per pixel.
// Pixels come from TrackedAlloc and belong to whoever holds the record.
struct IMAGE {
  int32_t Width;
  int32_t Height;
  void *Pixels;
};

// One cached texture, shared per file name and load options, counted per reference.
struct TEXTURE_ENTRY {
  int32_t RefCount;
  uint32_t Bind;
  char FileName[256];
  int32_t AlphaMode;
  int32_t Mipmap;
  int32_t Wrap;
  float Alpha;
  TEXTURE_ENTRY *Next;
};

// The whole screen as the unit square, x to the right and y downwards from the top-left corner, as the
// panel and its overlays measure; the modelview reset to identity and left current.
void LoadScreenUnitProjection();
// The same unit square from the default state, unlit, colour white: where every full-screen picture and
// every overlay of the panel starts.
void OverlaySetup();

class c_GLDRIVER {
 public:
  TRACKED_ALLOCATION

  // Ready to draw when it returns: the context is current and the default state applied. Every failure is
  // fatal; after a forced mode change the display is restored before the message.
  c_GLDRIVER(PlatformWindow *window, int32_t flags, int32_t width, int32_t height, int32_t colorBits,
             int32_t forceVideoMode);
  // Releases the context and restores the display mode when it was changed.
  ~c_GLDRIVER();

  void MakeCurrent();

  // The state every drawer starts from; reads SetupOptions.Brightness. Uses no driver field.
  static void SetDefaultState();
  // Resets texture unit 0 around a texture upload (reads HasEnvCombine).
  void SetTextureUnitDefaults();
  // Whole-word search of the implementation's extension string; 1 or 0.
  static int IsExtensionSupported(const char *name);

  // Texture name for the picture `fileName` (an archive name), 0 on any failure; cached per name and
  // options. After an upload LastTextureWidth/Height hold the uploaded size.
  uint32_t LoadTexture(const char *fileName, int32_t alphaMode, int32_t mipmap, int32_t wrap, float alpha);
  // Gives one reference back; the texture is deleted with its last reference.
  void ReleaseTexture(uint32_t bind);

  PlatformWindow *WinHandle;
  int32_t ForceVideoMode;
  TEXTURE_ENTRY *TextureList;
  int32_t LastTextureWidth;
  int32_t LastTextureHeight;
  int32_t HasEnvCombine;
  int32_t MaxLights;
  int32_t Width;
  int32_t Height;
  int32_t ColorBits;
  PlatformWindow *DeviceContext;  // the window that frames are presented on
  PlatformGLContext *RenderContext;

 private:
  void ProbeCapabilities();
  void AddTexture(uint32_t bind, const char *fileName, int32_t alphaMode, int32_t mipmap, int32_t wrap,
                  float alpha);
};

// Extension entry points fetched by the constructor; null when the implementation has none. Mesa's gl.h
// declares functions of the same names, so the names are mapped onto the driver's pointers once the GL
// headers are in (their include guards keep the prototypes from coming back).
typedef void (*PFN_MULTITEXCOORD2FARB)(GLenum target, GLfloat s, GLfloat t);
typedef void (*PFN_ACTIVETEXTUREARB)(GLenum texture);
typedef void (*PFN_LOCKARRAYSEXT)(GLint first, GLsizei count);
typedef void (*PFN_UNLOCKARRAYSEXT)();
extern PFN_MULTITEXCOORD2FARB gMultiTexCoord2fARB;
extern PFN_ACTIVETEXTUREARB gActiveTextureARB;
extern PFN_LOCKARRAYSEXT gLockArraysEXT;
extern PFN_UNLOCKARRAYSEXT gUnlockArraysEXT;
#define glMultiTexCoord2fARB gMultiTexCoord2fARB
#define glActiveTextureARB gActiveTextureARB
#define glLockArraysEXT gLockArraysEXT
#define glUnlockArraysEXT gUnlockArraysEXT

// Decoders (memory-in cores for the tests and fuzzers live in the graphics library's internal header).
// Each returns 1 and fills `image` on success, 0 on failure with nothing left allocated.
int LoadGIF(const char *path, IMAGE *image, unsigned char *palette768);
int LoadJPEG(const char *fileName, IMAGE *image);  // extracts and releases the file itself
int LoadBMP(const char *fileName, IMAGE *image);   // likewise
