// Driving the real program and other commands from a test: shell commands, X windows, xdotool keys and clicks.
#pragma once

#include <sys/types.h>

#include <string>

// The build folder (TUNEMILL_BINARY_DIR), where the program, the tools and the disk are.
std::string BinaryDir();

// Runs `command` through the shell and waits for it: its exit code (-1 when it died of a signal) and its
// standard output and standard error, interleaved.
struct COMMAND_RESULT { int exitCode = -1; std::string out; };
COMMAND_RESULT RunCommand(const std::string &command);

// The id of the first top-level window whose title is exactly `title`, or "" after `seconds`. Read from
// xwininfo, since xdotool's name search skips titles stored as UTF-8 (SDL's message box).
std::string FindWindow(const std::string &title, double seconds);
// The setup dialog's window once it is on the screen and reading input, or "".
std::string WaitForDialog();

struct WINDOW_GEOMETRY { int x = -1, y = -1, width = -1, height = -1; };
WINDOW_GEOMETRY WindowGeometry(const std::string &id);

// Types keys (xdotool key names) into a window after giving it the focus (Xvfb has no window manager).
void Keys(const std::string &id, const std::string &keys);
// Clicks at dialog units (x, y) of the setup dialog, whose client area is 202 x 143 units.
void ClickDialog(const std::string &id, double x, double y);
// Saves the whole screen as a PNG file.
void Screenshot(const std::string &path);

// build/tunemill started in the working folder, killed if still running when the object goes.
class Program {
 public:
  ~Program();
  // Standard output and error go to "stdout.txt" and "stderr.txt", the sound to "audio.raw" through SDL's
  // disk audio driver. Without `display` the program has no X server.
  void Start(bool display = true);
  void Signal(int sig);
  // The exit code, or -1 when the program is still running after `seconds` or died of a signal.
  int Wait(double seconds);
  // Start, then Return in the setup dialog (640x480 when `windowed`, else the dialog's first mode), then
  // wait until the driver has logged its extensions. False, with the reason in `why`, when a step fails.
  bool StartAndAccept(std::string *why, bool windowed = false);

 private:
  pid_t pid_ = -1;
};
