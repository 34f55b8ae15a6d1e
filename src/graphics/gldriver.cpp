// The GL driver: display mode, pixel format and rendering context on the main window, the default render
// state, the extension checks and the identity log.

#include "graphics/gldriver.h"

#include <cstring>

#include "platform/platform.h"
#include "shell/shell.h"

PFN_MULTITEXCOORD2FARB gMultiTexCoord2fARB = nullptr;
PFN_ACTIVETEXTUREARB gActiveTextureARB = nullptr;
PFN_LOCKARRAYSEXT gLockArraysEXT = nullptr;
PFN_UNLOCKARRAYSEXT gUnlockArraysEXT = nullptr;

// The implementation's extension string, fetched by the first IsExtensionSupported. The text belongs to
// the context, so the driver drops it with the context.
static const char *sExtensions = nullptr;

// Every attribute group; popped again as the first step of destruction.
static const GLbitfield kAllAttribBits = 0x000FFFFF;

// The construction failures come before ShutdownDriver is registered, so they put the display back
// themselves before the message box.
static void RestoreIfForced(int32_t forceVideoMode) {
  if (forceVideoMode == 1) PlatformRestoreDisplayMode();
}

[[noreturn]] static void Fail(int line, int32_t forceVideoMode, const char *message) {
  RestoreIfForced(forceVideoMode);
  FatalError(line, "gldriver", message);
}

static void LogPixelFormat(const PIXELFORMATDESCRIPTOR &pfd) {
  LogPrint("\n -------------------------------------------------------- \n");
  LogPrint("\n\n[pixelformatdesctiptor printout] \n");
  LogPrint("nVersion     = %i \ndwFlags      = %X \niPixelType   = %X \ncColorBits   = %i \n"
           "cRedBits     = %i \ncGreenBits   = %i \ncBlueBits    = %i \ncAlphaBits   = %i \n"
           "cAccumBits   = %i \ncDepthBits   = %i \ncStencilBits = %i \ncAuxBuffers  = %i \n"
           "iLayerType   = %X ",
           static_cast<int>(pfd.nVersion), static_cast<unsigned>(pfd.dwFlags),
           static_cast<unsigned>(pfd.iPixelType), static_cast<int>(pfd.cColorBits),
           static_cast<int>(pfd.cRedBits), static_cast<int>(pfd.cGreenBits), static_cast<int>(pfd.cBlueBits),
           static_cast<int>(pfd.cAlphaBits), static_cast<int>(pfd.cAccumBits), static_cast<int>(pfd.cDepthBits),
           static_cast<int>(pfd.cStencilBits), static_cast<int>(pfd.cAuxBuffers),
           static_cast<unsigned>(pfd.iLayerType));
  LogPrint("\n[pixelformatdesctiptor end] \n\n");
  LogPrint("\n -------------------------------------------------------- \n");
}

c_GLDRIVER::c_GLDRIVER(PlatformWindow *window, int32_t flags, int32_t width, int32_t height, int32_t colorBits,
                       int32_t forceVideoMode) {
  WinHandle = window;
  if (WinHandle == nullptr) FatalError(__LINE__, "gldriver", "c_GLDRIVER::WinHandle == NULL !");

  LastTextureWidth = -1;
  LastTextureHeight = -1;
  TextureList = nullptr;
  HasEnvCombine = 0;
  MaxLights = 0;
  Width = width;
  Height = height;
  ColorBits = colorBits;
  ForceVideoMode = forceVideoMode;
  RenderContext = nullptr;

  // On this platform the window itself is what frames are drawn into and presented on.
  DeviceContext = WinHandle;

  if (ForceVideoMode == 1 && PlatformChangeDisplayMode(WinHandle, Width, Height, ColorBits) != 0) {
    FatalError(__LINE__, "gldriver", "c_GLDRIVER::ChangeDisplaySettings failed !");
  }

  PlatformMoveWindow(WinHandle, 0, 0, Width, Height);

  // The request asks for 32 colour bits whatever the display depth; the closest format is taken as long
  // as it can draw to a window with OpenGL.
  PIXELFORMATDESCRIPTOR pfd;
  memset(&pfd, 0, sizeof pfd);
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
  if (flags & GLDRIVER_DOUBLEBUFFER) pfd.dwFlags |= PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.cRedBits = 8;
  pfd.cGreenBits = 8;
  pfd.cBlueBits = 8;
  pfd.cAlphaBits = 8;
  pfd.cDepthBits = (flags & GLDRIVER_DEPTH24) ? 24 : 16;
  pfd.cStencilBits = 8;
  pfd.iLayerType = PFD_MAIN_PLANE;

  int32_t format = PlatformChoosePixelFormat(DeviceContext, &pfd);
  if (format <= 0) Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::No valid PixelFormat found !");
  if (PlatformDescribePixelFormat(DeviceContext, format, sizeof pfd, &pfd) <= 0) {
    Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::DescribePixelFormat failed !");
  }
  if (!(pfd.dwFlags & PFD_DRAW_TO_WINDOW)) {
    Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::NOT ppfd->dwFlags & PFD_DRAW_TO_WINDOW !");
  }
  if (!(pfd.dwFlags & PFD_SUPPORT_OPENGL)) {
    Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::NOT ppfd->dwFlags & PFD_SUPPORT_OPENGL !");
  }
  LogPixelFormat(pfd);
  if (PlatformSetPixelFormat(DeviceContext, format, &pfd) == 0) {
    Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::SetPixelFormat failed !");
  }

  RenderContext = PlatformCreateGLContext(DeviceContext);
  if (RenderContext == nullptr) Fail(__LINE__, ForceVideoMode, "c_GLDRIVER::NULL OpenGL Context !");

  PlatformMakeCurrent(DeviceContext, RenderContext);
  glViewport(0, 0, Width, Height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

  ProbeCapabilities();

  gMultiTexCoord2fARB = reinterpret_cast<PFN_MULTITEXCOORD2FARB>(PlatformGetProcAddress("glMultiTexCoord2fARB"));
  gActiveTextureARB = reinterpret_cast<PFN_ACTIVETEXTUREARB>(PlatformGetProcAddress("glActiveTextureARB"));
  gLockArraysEXT = reinterpret_cast<PFN_LOCKARRAYSEXT>(PlatformGetProcAddress("glLockArraysEXT"));
  gUnlockArraysEXT = reinterpret_cast<PFN_UNLOCKARRAYSEXT>(PlatformGetProcAddress("glUnlockArraysEXT"));

  glHint(GL_FOG_HINT, GL_NICEST);
  glHint(GL_LINE_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glDisable(GL_DITHER);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POLYGON_SMOOTH);
  glDisable(GL_POINT_SMOOTH);

  glPushAttrib(kAllAttribBits);

  SetDefaultState();
}

c_GLDRIVER::~c_GLDRIVER() {
  glPopAttrib();
  glFinish();
  glFlush();
  PlatformMakeCurrent(DeviceContext, nullptr);
  PlatformDeleteGLContext(RenderContext);
  RenderContext = nullptr;
  sExtensions = nullptr;
  gMultiTexCoord2fARB = nullptr;
  gActiveTextureARB = nullptr;
  gLockArraysEXT = nullptr;
  gUnlockArraysEXT = nullptr;
  // The window's drawable needs no release here; it goes with the window.
  RestoreIfForced(ForceVideoMode);
}

void c_GLDRIVER::MakeCurrent() { PlatformMakeCurrent(DeviceContext, RenderContext); }

// =========================================================================================================
// [SECTION] Render state

// The default lighting material; its emission is the setup dialog's brightness.
static void ApplyDefaultMaterial() {
  const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  const GLfloat diffuse[4] = {0.6f, 0.6f, 0.6f, 1.0f};
  const GLfloat specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const GLfloat b = SetupOptions.Brightness;
  const GLfloat emission[4] = {b, b, b, 1.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
}

void LoadScreenUnitProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glScalef(1, -1, 1);
  glTranslatef(0, -1, 0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void OverlaySetup() {
  c_GLDRIVER::SetDefaultState();
  glDisable(GL_NORMALIZE);
  glDisable(GL_LIGHTING);
  glNormal3f(0.0f, 0.0f, 1.0f);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  LoadScreenUnitProjection();
}

void c_GLDRIVER::SetDefaultState() {
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);

  glDisable(GL_LIGHTING);
  glDisable(GL_NORMALIZE);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  const GLfloat modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);

  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_FOG);
  glDisable(GL_DITHER);

  ApplyDefaultMaterial();

  glNormal3d(0.0, 0.0, 1.0);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glRenderMode(GL_RENDER);
  glShadeModel(GL_SMOOTH);

  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);

  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_EDGE_FLAG_ARRAY);
  glDisableClientState(GL_INDEX_ARRAY);

  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);

  glDisable(GL_STENCIL_TEST);
  glDisable(GL_SCISSOR_TEST);

  glAlphaFunc(GL_ALWAYS, 0.0f);
  glDisable(GL_ALPHA_TEST);

  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  glDisable(GL_CULL_FACE);

  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glEnable(GL_TEXTURE_2D);
  glLineWidth(1.0f);
}

void c_GLDRIVER::SetTextureUnitDefaults() {
  if (glActiveTextureARB != nullptr) glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_TEXTURE_2D);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
  if (HasEnvCombine != 0) {
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_COMBINE_EXT));
    glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_EXT, static_cast<GLfloat>(GL_MODULATE));
  }
  ApplyDefaultMaterial();
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_GEN_R);
  glDisable(GL_TEXTURE_GEN_Q);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
}

// =========================================================================================================
// [SECTION] Extensions and identity

int c_GLDRIVER::IsExtensionSupported(const char *name) {
  if (name == nullptr || name[0] == 0 || strchr(name, ' ') != nullptr) return 0;
  if (sExtensions == nullptr) sExtensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
  if (sExtensions == nullptr) return 0;
  size_t length = strlen(name);
  const char *start = sExtensions;
  for (;;) {
    const char *found = strstr(start, name);
    if (found == nullptr) return 0;
    const char *end = found + length;
    if ((found == sExtensions || found[-1] == ' ') && (*end == ' ' || *end == 0)) return 1;
    start = end;
  }
}

static const char *GlText(GLenum name) {
  const char *text = reinterpret_cast<const char *>(glGetString(name));
  return text != nullptr ? text : "";
}

void c_GLDRIVER::ProbeCapabilities() {
  HasEnvCombine = IsExtensionSupported("GL_EXT_texture_env_combine");

  LogPrint("\n\n GL_RENDERER: %s \n GL_VENDOR: %s \n GL_VERSION: %s \n", GlText(GL_RENDERER), GlText(GL_VENDOR),
           GlText(GL_VERSION));

  const char *extensions = GlText(GL_EXTENSIONS);
  size_t size = strlen(extensions) + 1;
  char *list = static_cast<char *>(TrackedAlloc(size, __LINE__, "gldriver"));
  for (size_t i = 0; i < size; i++) list[i] = extensions[i] == ' ' ? '\n' : extensions[i];
  LogPrint("\n HARDWARE EXTENSIONS : \n\n%s \n\n\n ", list);
  TrackedFree(list, __LINE__, "gldriver");

  GLint maxLights = 0;
  glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
  MaxLights = maxLights;
}
