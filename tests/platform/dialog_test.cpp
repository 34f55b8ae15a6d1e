// The modal dialog runner on a real display, with controls laid out as in the setup dialog: command
// delivery, Escape and closing, and real clicks, typing, pasting and Enter through xdotool.
#include <SDL.h>
#include <gtest/gtest.h>

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
    {2, DLG_PUSHBUTTON, "Cancel", 5, 10, 50, 20, 0},
    {1, DLG_DEFPUSHBUTTON, "OK", 5, 40, 50, 20, 0},
    {200, DLG_GROUPBOX, "Video mode", 70, 5, 60, 70, 0},
    {100, DLG_AUTORADIO, "320x240", 80, 15, 45, 10, 0},
    {103, DLG_AUTORADIO, "1024x768", 80, 60, 45, 10, 1},
    {201, DLG_GROUPBOX, "Bytes per pixel", 135, 5, 60, 49, 0},
    {104, DLG_AUTORADIO, "32 BPP", 140, 20, 40, 10, 1},
    {202, DLG_GROUPBOX, "Z_buffer", 135, 55, 60, 40, 0},
    {107, DLG_AUTORADIO, "24 bit", 140, 80, 40, 10, 1},
    {108, DLG_AUTOCHECKBOX, "BackFace Cull", 5, 100, 80, 10, 1},
    {116, DLG_EDITDIGITS, "", 105, 125, 90, 12, 0},
    {999, DLG_AUTOCHECKBOX, "Do not force video mode", 5, 115, 90, 10, 0},
};
const PLATFORM_DIALOG_TEMPLATE kTemplate = {
    "Tunemill - setup", 8, 20, 20, 202, 143, kControls, sizeof kControls / sizeof kControls[0]};
const int32_t kChecked[] = {100, 103, 104, 108, 999, 107};  // read back when OK is pressed

// Screen pixels of a point at dialog units (x, y): units are 2.16 x 2.4 pixels at 8 points, and the dialog
// sits at (20, 20) units from the screen's corner when it has no owner.
int X(double x) { return int((20 + x) * 2.16); }
int Y(double y) { return int((20 + y) * 2.4); }

// What the procedure saw: one entry per message, with the edit box's text at that moment. The procedure
// runs on the dialog's thread, the xdotool driver on its own.
struct Seen {
  int32_t message, id;
  std::string text;
};
std::mutex sLock;
std::vector<Seen> sSeen;
SDL_Event sInitEvent;   // sent to the dialog from the init message when its type is set
std::thread sDriver;    // drives the dialog once it is up
int32_t sChecks[6];     // kChecked's states when OK was pressed
std::string sFinalText;  // the edit box's text then

bool Saw(int32_t id, const std::string &text = "") {
  std::lock_guard<std::mutex> hold(sLock);
  for (const Seen &s : sSeen)
    if (s.id == id && (text.empty() || s.text == text)) return true;
  return false;
}

int32_t Procedure(PlatformDialog *dialog, int32_t message, int32_t id) {
  char text[32];
  PlatformGetDialogText(dialog, 116, text, sizeof text);
  {
    std::lock_guard<std::mutex> hold(sLock);
    sSeen.push_back({message, id, text});
  }
  if (message == DLG_INIT) {
    PlatformSetDialogText(dialog, 116, "0");
    EXPECT_EQ(sSeen.size(), 1u) << "a change made during init waits for init to return";
    if (sInitEvent.type != 0) {
      sInitEvent.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());  // where key events keep it too
      SDL_PushEvent(&sInitEvent);
    }
    SDL_SetClipboardText("0x20");
    return 0;
  }
  if (id == 116 && std::string(text) == "999") PlatformSetDialogText(dialog, 116, "0");
  if (id == IDOK) {
    for (int i = 0; i < 6; i++) sChecks[i] = PlatformIsDialogChecked(dialog, kChecked[i]);
    sFinalText = text;
  }
  if (id == IDOK || id == IDCANCEL) PlatformEndDialog(dialog, id);
  return 0;
}

class SetupDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    sSeen.clear();
    sInitEvent = {};
  }
  // Video stays up for the next test.
  void TearDown() override {
    if (sDriver.joinable()) sDriver.join();
  }
  int32_t Run(PlatformWindow *owner = nullptr) { return PlatformRunDialog(&kTemplate, owner, Procedure); }
};

// The dialog is up and drawing once a point of its background, left of the OK button, has its light grey.
bool DialogShown() { return WaitFor([] { return ScreenPixel(X(2), Y(60)) == 0xF0F0F0u; }, 30, 0.02); }

TEST_F(SetupDialog, EscapeCloseAndQuitAreCancel) {
  for (Uint32 type : {SDL_KEYDOWN, SDL_WINDOWEVENT, SDL_QUIT}) {
    SetUp();
    sInitEvent.type = type;
    if (type == SDL_KEYDOWN) sInitEvent.key.keysym.sym = SDLK_ESCAPE;
    if (type == SDL_WINDOWEVENT) sInitEvent.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(Run(), IDCANCEL) << type;
    EXPECT_EQ(sSeen.back().id, IDCANCEL);
  }
}

TEST_F(SetupDialog, ClicksTypingAndPastingReachTheControls) {
  auto click = [](double x, double y) {
    RunCommand("xdotool mousemove --sync " + std::to_string(X(x)) + " " + std::to_string(Y(y)) + " click 1");
  };
  // Each step waits for what the procedure sees of it; a step that never comes leaves with Escape.
  auto drive = [&] {
    if (!DialogShown()) return false;
    for (const auto &[x, y, id] : {std::tuple{84, 20, 100} /* 320x240 */, {9, 105, 108} /* BackFace Cull off */,
                                   {9, 120, 999} /* Do not force video mode */}) {
      click(x, y);
      if (!WaitFor([id = id] { return Saw(id); })) return false;
    }
    // The edit box takes keys from the frame after the click: a first digit is typed until it arrives.
    click(150, 131);
    const bool typing = WaitFor(
        [] {
          RunCommand("xdotool key ctrl+a type 5");
          return WaitFor([] { return Saw(116, "5"); }, 0.5);
        },
        10, 0);
    if (!typing) return false;
    const std::pair<const char *, const char *> edits[] = {
        {"key ctrl+a type --delay 80 5a7", "57"},  // letters never reach the box from the keyboard
        {"key ctrl+a type --delay 80 999", "999"},
        {"type --delay 80 3", "03"},       // "999" was rewritten to "0" while the box was being typed in
        {"key ctrl+a ctrl+v", "0x20"}};  // pasted text goes in as it is
    for (const auto &[keys, text] : edits) {
      RunCommand(std::string("xdotool ") + keys);
      if (!WaitFor([text = text] { return Saw(116, text); })) return false;
    }
    return true;
  };
  sDriver = std::thread([&] { RunCommand(drive() ? "xdotool key Return" : "xdotool key Escape"); });
  EXPECT_EQ(Run(), IDOK);  // Return is the default button
  sDriver.join();
  ASSERT_GE(sSeen.size(), 3u);
  EXPECT_EQ(sSeen[0].message, DLG_INIT);
  EXPECT_EQ(sSeen[0].text, "");
  // Writing the box during init sends its change command once init has returned.
  EXPECT_EQ(sSeen[1].message * 1000 + sSeen[1].id, DLG_COMMAND * 1000 + 116);
  EXPECT_EQ(sSeen[1].text, "0");
  EXPECT_EQ(sSeen.back().id, IDOK);
  // 320x240 took its group's check from 1024x768; 32 BPP and 24 bit are in other groups.
  EXPECT_EQ(std::vector<int32_t>(sChecks, sChecks + 6), std::vector<int32_t>({1, 0, 1, 0, 1, 1}));
  EXPECT_EQ(sFinalText, "0x20");
}

TEST_F(SetupDialog, ShowsAboveItsOwner) {
  PlatformWindow *owner = PlatformCreateMainWindow("Tunemill");
  ASSERT_NE(owner, nullptr);
  PlatformShowWindow(owner);
  sDriver = std::thread([] {
    EXPECT_TRUE(DialogShown());
    RunCommand("xdotool key Escape");
  });
  EXPECT_EQ(Run(owner), IDCANCEL);
  sDriver.join();
  // The owner is black again where the dialog was, once it has had its messages.
  PLATFORM_MESSAGE message;
  EXPECT_TRUE(WaitFor([&] {
    while (PlatformTakeMessage(&message)) {
    }
    return ScreenPixel(X(2), Y(60)) == 0;
  }));
  PlatformDestroyWindow(owner);
}

}  // namespace
