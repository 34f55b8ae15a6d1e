// The program's entry point: start-up in a fixed order, the message loop, and shutdown in the reverse
// order. Nothing is read from the command line; the setup dialog is the only configuration.
#include "archive/archive.h"
#include "director/director.h"
#include "graphics/gldriver.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "shell/winmain.h"
#include "support/misc.h"

// Also a shutdown callback, so that a fatal error anywhere after start-up gives the display its mode back.
static void ShutdownDriver() {
  if (!GlDriver) return;
  delete GlDriver;
  GlDriver = nullptr;
}

static void RunMessageLoop() {
  PLATFORM_MESSAGE message;
  for (;;) {
    if (PlatformPeekMessage(&message)) {
      PlatformTakeMessage(&message);
      if (message.Kind == PM_QUIT) return;
      WindowProc(MainWindow, &message);
    } else if (AppActive == 1) {
      DirectorFrame();
    }
  }
}

int main() {
  OpenResource();

  MainWindow = PlatformCreateMainWindow("Tunemill");
  PlatformShowCursor(1);
  if (!MainWindow) return 0;
  PlatformShowWindow(MainWindow);

  // A dialog that cannot be shown leaves no answers to start from, so it counts as Cancel.
  if (PlatformRunDialog(&SetupDialogTemplate, MainWindow, SetupDialogProc) == -1) SetupOptions.Accepted = 0;
  if (SetupOptions.Accepted == 0) return 0;

  GlDriver = new (__LINE__, "winmain") c_GLDRIVER(MainWindow, SetupDriverFlags(), SetupOptions.Width,
                                                  SetupOptions.Height, SetupOptions.ColorBits,
                                                  SetupOptions.ForceVideoMode);
  if (!GlDriver) FatalError(__LINE__, "winmain", "GlDriver == NULL !");
  AddShutdownCallback(ShutdownDriver);
  GlDriver->MakeCurrent();
  c_GLDRIVER::SetDefaultState();

  DirectorStart();

  RunMessageLoop();

  DirectorShutdown();
  ShutdownDriver();
  CloseResource();
  AllocReport();
  PlatformDestroyWindow(MainWindow);
  MainWindow = nullptr;
  return 1;
}
