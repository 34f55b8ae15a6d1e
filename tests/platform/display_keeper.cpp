#include "display_keeper.h"

#include <X11/Xlib.h>

void KeepDisplayOpen() {
  static Display *display = XOpenDisplay(nullptr);
  (void)display;
}
