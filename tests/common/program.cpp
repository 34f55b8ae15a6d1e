#include "program.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "testkit.h"

using namespace std::chrono_literals;

std::string BinaryDir() { return getenv("TUNEMILL_BINARY_DIR") ? getenv("TUNEMILL_BINARY_DIR") : TUNEMILL_BINARY_DIR; }

COMMAND_RESULT RunCommand(const std::string &command) {
  COMMAND_RESULT result;
  FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

std::string FindWindow(const std::string &title, double seconds) {
  std::string id;
  WaitFor(
      [&] {
        const std::string out = RunCommand("xwininfo -root -children").out;
        const size_t at = out.find(" \"" + title + "\": ");
        if (at == std::string::npos) return false;
        const size_t begin = out.rfind("0x", at);
        id = std::to_string(std::stoul(out.substr(begin, at - begin), nullptr, 16));
        return true;
      },
      seconds, 0.1);
  return id;
}

std::string WaitForDialog() {
  const std::string id = FindWindow("Tunemill - setup", 60);
  if (id.empty()) return id;
  // Mapped is not yet reading: clicks need the dialog's first frame, which paints its light grey background.
  const std::string corner = "import -window " + id + " -crop 1x1+2+2 txt:-";
  WaitFor([&] { return RunCommand(corner).out.find("#F0F0F0") != std::string::npos; }, 30, 0.1);
  return id;
}

WINDOW_GEOMETRY WindowGeometry(const std::string &id) {
  WINDOW_GEOMETRY g;
  const std::string out = RunCommand("xdotool getwindowgeometry --shell " + id).out;
  sscanf(out.c_str(), "WINDOW=%*d\nX=%d\nY=%d\nWIDTH=%d\nHEIGHT=%d", &g.x, &g.y, &g.width, &g.height);
  return g;
}

void Keys(const std::string &id, const std::string &keys) {
  RunCommand("xdotool windowfocus --sync " + id + "; xdotool key --delay 80 " + keys);
}

void ClickDialog(const std::string &id, double x, double y) {
  const WINDOW_GEOMETRY g = WindowGeometry(id);
  const int px = g.x + (int)(x * g.width / 202.0), py = g.y + (int)(y * g.height / 143.0);
  RunCommand("xdotool mousemove --sync " + std::to_string(px) + " " + std::to_string(py) + " click 1");
  // The dialog takes the pointer's position once a frame: the next move must wait for the click's frame.
  std::this_thread::sleep_for(150ms);
}

void Screenshot(const std::string &path) { RunCommand("import -window root " + path); }

Program::~Program() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void Program::Start(bool display) {
  const std::string binary = BinaryDir() + "/tunemill";
  pid_ = fork();
  if (pid_ == 0) {
    if (!display) unsetenv("DISPLAY");
    if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) _exit(126);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "audio.raw", 1);
    execl(binary.c_str(), binary.c_str(), (char *)nullptr);
    _exit(127);
  }
}

void Program::Signal(int sig) { kill(pid_, sig); }

int Program::Wait(double seconds) {
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds, 0.1)) return -1;
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Program::StartAndAccept(std::string *why, bool windowed) {
  Start();
  const std::string dialog = WaitForDialog();
  if (dialog.empty()) {
    *why = "no setup dialog: " + ReadWholeFile("stdout.txt") + ReadWholeFile("stderr.txt");
    return false;
  }
  if (windowed) {
    ClickDialog(dialog, 80 + 22, 30 + 5);  // "640x480"
    ClickDialog(dialog, 5 + 20, 115 + 5);  // "Do not force video mode"
  }
  Keys(dialog, "Return");
  if (!WaitFor([] { return ReadWholeFile("program.log").find("HARDWARE EXTENSIONS") != std::string::npos; }, 60,
               0.1)) {
    *why = "the driver did not start: " + ReadWholeFile("program.log");
    return false;
  }
  return true;
}
