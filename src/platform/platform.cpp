#include "platform/platform.h"

#include <SDL.h>
#include <cstdio>

// The main window, once the shell has created it; message boxes are owned by it.
static SDL_Window *sMainWindow = nullptr;

void PlatformMessageBox(const char *text, const char *caption) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, sMainWindow) != 0) {
    fprintf(stderr, "%s: %s\n", caption, text);
    fflush(stderr);
  }
}
