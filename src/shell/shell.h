// The application shell's shared state: the setup dialog's answers, the main window, the driver, the
// activity flag and the input state that the window procedure records for the director. Main thread only.
#pragma once

#include <cstdint>

struct PlatformWindow;
class c_GLDRIVER;

// The setup dialog's answers. Before the dialog's first command the fields hold 0, except ForceVideoMode
// and Accepted, which start at 1.
struct SETUP_OPTIONS {
  int32_t Width;           // 320, 640, 800 or 1024 pixels
  int32_t Height;          // 240, 480, 600 or 768 pixels
  int32_t ColorBits;       // 32 or 16
  int32_t ZBufferBits;     // 16, or 32 for the "24 bit" choice
  int32_t BackFaceCull;    // 0/1
  int32_t ReNormalize;     // 0/1, recorded only
  int32_t UseSSE;          // 0/1, recorded only
  float Brightness;        // 0.0 to 1.0
  int32_t ForceVideoMode;  // 1: switch the display; 0: a window of the chosen size on the desktop
  int32_t Accepted;        // 1 after OK, 0 after Cancel
};

extern SETUP_OPTIONS SetupOptions;
extern PlatformWindow *MainWindow;  // null until created
extern c_GLDRIVER *GlDriver;        // null when there is none
extern int32_t AppActive;           // frames run while 1; starts at 1

// Input state written by the window procedure, read (and partly written) by the director.
extern int32_t MouseX;        // client pixels
extern int32_t MouseY;
extern int32_t MouseButtons;  // 1 left, 2 right, 4 Shift, 8 Ctrl, 16 middle; -1 once the director acted
extern int32_t KeyDown;       // virtual-key code of the last key pressed (Escape 27, letters upper-case
                              // ASCII); 0 after any key is released
