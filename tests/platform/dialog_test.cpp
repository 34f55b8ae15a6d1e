// The modal dialog runner on a real display, with controls laid out as in the setup dialog: command
// delivery, closing, and real clicks, typing, pasting and Enter through xdotool.
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "gltestkit.h"
#include "platform/platform.h"
#include "program.h"
#include "testkit.h"

namespace {

const PLATFORM_DIALOG_CONTROL kControls[] = {
    {2, DLG_PUSHBUTTON, "Cancel", 5, 10, 50, 20, 0},     {1, DLG_DEFPUSHBUTTON, "OK", 5, 40, 50, 20, 0},
    {200, DLG_GROUPBOX, "Video mode", 70, 5, 60, 70, 0}, {100, DLG_AUTORADIO, "320x240", 80, 15, 45, 10, 0},
    {103, DLG_AUTORADIO, "1024x768", 80, 60, 45, 10, 1}, {201, DLG_GROUPBOX, "Bytes per pixel", 135, 5, 60, 49, 0},
    {104, DLG_AUTORADIO, "32 BPP", 140, 20, 40, 10, 1},  {202, DLG_GROUPBOX, "Z_buffer", 135, 55, 60, 40, 0},
    {107, DLG_AUTORADIO, "24 bit", 140, 80, 40, 10, 1},  {108, DLG_AUTOCHECKBOX, "BackFace Cull", 5, 100, 80, 10, 1},
    {116, DLG_EDITDIGITS, "", 105, 125, 90, 12, 0},
    {999, DLG_AUTOCHECKBOX, "Do not force video mode", 5, 115, 90, 10, 0}};
const PLATFORM_DIALOG_TEMPLATE kTemplate = {"Tunemill - setup", 8, 20, 20, 202, 143, kControls, 12};
const int32_t kChecked[] = {100, 103, 104, 108, 999, 107};  // read back when OK is pressed

// Screen pixels of a point at dialog units (x, y): units are 2.16 x 2.4 pixels at 8 points, and the dialog
// sits at (20, 20) units from the screen's corner when it has no owner.
int X(double x) { return int((20 + x) * 2.16); }
int Y(double y) { return int((20 + y) * 2.4); }

// What the procedure saw: message, control id and the edit box's text at that moment, one entry per
// message. The procedure runs on the dialog's thread, the xdotool driver on its own.
std::recursive_mutex sLock;
std::vector<std::tuple<int32_t, int32_t, std::string>> sSeen;
SDL_Event sInitEvent;          // sent to the dialog from the init message when its type is set
std::vector<int32_t> sChecks;  // kChecked's states when the dialog ended

bool Saw(int32_t id, const std::string &text = "") {
  std::lock_guard<std::recursive_mutex> hold(sLock);
  for (const auto &[message, seenId, seenText] : sSeen)
    if (seenId == id && (text.empty() || seenText == text)) return true;
  return false;
}

int32_t Procedure(PlatformDialog *dialog, int32_t message, int32_t id) {
  std::lock_guard<std::recursive_mutex> hold(sLock);  // recursive: a message sent from a message comes in here
  char text[32];
  PlatformGetDialogText(dialog, 116, text, sizeof text);
  sSeen.emplace_back(message, id, text);
  if (message == DLG_INIT) {
    PlatformSetDialogText(dialog, 116, "0");
    EXPECT_EQ(sSeen.size(), 1u) << "a change made during init waits for init to return";
    if (sInitEvent.type != 0) {
      sInitEvent.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());  // where key events keep it too
      SDL_PushEvent(&sInitEvent);
    }
    SDL_SetClipboardText("0x20");
  } else if (id == 116 && std::string(text) == "999") {
    PlatformSetDialogText(dialog, 116, "0");
  } else if (id == IDOK || id == IDCANCEL) {
    for (int32_t checked : kChecked) sChecks.push_back(PlatformIsDialogChecked(dialog, checked));
    PlatformEndDialog(dialog, id);
  }
  return 0;
}

// Runs the dialog with `driver` on a thread of its own, starting afresh. Video stays up for the next test.
int32_t RunDialog(const std::function<void()> &driver, Uint32 initEvent = 0) {
  sSeen.clear(), sChecks.clear();
  sInitEvent = SDL_Event{initEvent};
  if (initEvent == SDL_WINDOWEVENT) sInitEvent.window.event = SDL_WINDOWEVENT_CLOSE;
  std::thread thread(driver);
  const int32_t result = PlatformRunDialog(&kTemplate, nullptr, Procedure);
  thread.join();
  return result;
}

// The dialog is up and drawing once a point of its background, left of the OK button, has its light grey.
bool DialogShown() { return WaitFor([] { return ScreenPixel(X(2), Y(60)) == 0xF0F0F0u; }, 30, 0.02); }

TEST(SetupDialog, ClosingAndQuittingAreCancelAndClicksTypingAndPastingReachTheControls) {
  // Escape is the end-to-end test's, through the real program's dialog.
  for (Uint32 type : {SDL_WINDOWEVENT, SDL_QUIT}) EXPECT_EQ(RunDialog([] {}, type), IDCANCEL) << type;
  const auto click = [](double x, double y) {
    return "mousemove --sync " + std::to_string(X(x)) + " " + std::to_string(Y(y)) + " click 1 ";
  };
  // xdotool's arguments, the control and its text that the procedure must see then, and how long to try
  // again: the edit box takes keys from the frame after the click, so its first digit is sent until it comes.
  const struct { std::string keys; int32_t id; const char *text; double retry; } steps[] = {
      {click(84, 20), 100, "", 0},   // 320x240
      {click(9, 105), 108, "", 0},   // BackFace Cull off
      {click(9, 120), 999, "", 0},   // Do not force video mode
      {click(150, 131) + "key ctrl+a type 5", 116, "5", 10},
      {"key ctrl+a type --delay 80 5a7", 116, "57", 0},  // letters never reach the box from the keyboard
      {"key ctrl+a type --delay 80 999", 116, "999", 0},
      {"type --delay 80 3", 116, "03", 0},     // "999" was rewritten to "0" while the box was being typed in
      {"key ctrl+a ctrl+v", 116, "0x20", 0}};  // pasted text goes in as it is
  const auto drive = [&] {  // a step that never comes leaves with Escape
    if (!DialogShown()) return false;
    for (const auto &step : steps) {
      const auto seen = [&] {
        RunCommand("xdotool " + step.keys);
        return WaitFor([&] { return Saw(step.id, step.text); }, step.retry ? 0.5 : 3);
      };
      if (!WaitFor(seen, step.retry, 0)) return false;
    }
    return true;
  };
  // Return presses the default button.
  EXPECT_EQ(RunDialog([&] { RunCommand(drive() ? "xdotool key Return" : "xdotool key Escape"); }), IDOK);
  ASSERT_GE(sSeen.size(), 3u);
  // Writing the box during init sends its change command once init has returned.
  EXPECT_EQ(sSeen[0], std::make_tuple(DLG_INIT, 0, std::string()));
  EXPECT_EQ(sSeen[1], std::make_tuple(DLG_COMMAND, 116, std::string("0")));
  // 320x240 took its group's check from 1024x768; 32 BPP and 24 bit are in other groups.
  EXPECT_EQ(sChecks, std::vector<int32_t>({1, 0, 1, 0, 1, 1}));
}

}  // namespace
