#include "display_keeper.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

void KeepDisplayOpen() {
  static Display *display = XOpenDisplay(nullptr);
  (void)display;
}

unsigned long ScreenPixel(int x, int y) {
  Display *display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0xFFFFFFFFul;
  XImage *image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  unsigned long pixel = image != nullptr ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0xFFFFFFFFul;
  if (image != nullptr) XDestroyImage(image);
  XCloseDisplay(display);
  return pixel;
}
