// The modal dialog runner on a real display, with the setup dialog's template: command delivery, Enter,
// Escape and closing, and real clicks and typing through xdotool.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "display_keeper.h"
#include "platform/platform.h"

namespace {

const PLATFORM_DIALOG_CONTROL kControls[] = {
    {2, DLG_PUSHBUTTON, "Cancel", 5, 10, 50, 20, 0},
    {1, DLG_DEFPUSHBUTTON, "OK", 5, 40, 50, 20, 0},
    {200, DLG_GROUPBOX, "Video mode", 70, 5, 60, 70, 0},
    {100, DLG_AUTORADIO, "320x240", 80, 15, 45, 10, 0},
    {101, DLG_AUTORADIO, "640x480", 80, 30, 45, 10, 0},
    {102, DLG_AUTORADIO, "800x600", 80, 45, 45, 10, 0},
    {103, DLG_AUTORADIO, "1024x768", 80, 60, 45, 10, 1},
    {201, DLG_GROUPBOX, "Bytes per pixel", 135, 5, 60, 49, 0},
    {104, DLG_AUTORADIO, "32 BPP", 140, 20, 40, 10, 1},
    {105, DLG_AUTORADIO, "16 BPP", 140, 35, 40, 10, 0},
    {202, DLG_GROUPBOX, "Z_buffer", 135, 55, 60, 40, 0},
    {106, DLG_AUTORADIO, "16 bit", 140, 65, 40, 10, 0},
    {107, DLG_AUTORADIO, "24 bit", 140, 80, 40, 10, 1},
    {203, DLG_STATIC, "MISC:", 5, 70, 25, 8, 0},
    {108, DLG_AUTOCHECKBOX, "BackFace Cull", 5, 100, 80, 10, 1},
    {111, DLG_AUTOCHECKBOX, "ReNormalize normals", 5, 85, 100, 10, 1},
    {205, DLG_STATIC, "Brightness [0 - 100]", 105, 115, 80, 10, 0},
    {116, DLG_EDITDIGITS, "", 105, 125, 90, 12, 0},
    {666, DLG_AUTOCHECKBOX, "Use P3 SEE opcodes", 5, 130, 80, 10, 0},
    {999, DLG_AUTOCHECKBOX, "Do not force video mode", 5, 115, 90, 10, 0},
};
const PLATFORM_DIALOG_TEMPLATE kTemplate = {
    "Tunemill - setup", 8, 20, 20, 202, 143, kControls, sizeof kControls / sizeof kControls[0]};

// What the procedure saw: one entry per message, with the edit box's text at that moment.
struct Seen {
  int32_t message;
  int32_t id;
  std::string text;
};
std::vector<Seen> sSeen;
SDL_Keycode sInitKey = 0;     // pushed as a key press from the init message when set
bool sInitClose = false;      // a close request for the dialog window from the init message
bool sInitQuit = false;       // a quit request from the init message
std::thread sDriver;          // xdotool, started from the init message when set
std::string sDriverScript;

void PushToDialog(SDL_Event event) {
  SDL_Window *dialogWindow = SDL_GL_GetCurrentWindow();
  Uint32 id = SDL_GetWindowID(dialogWindow);
  if (event.type == SDL_WINDOWEVENT) event.window.windowID = id;
  if (event.type == SDL_KEYDOWN) event.key.windowID = id;
  SDL_PushEvent(&event);
}

int32_t Procedure(PlatformDialog *dialog, int32_t message, int32_t id) {
  char text[32];
  PlatformGetDialogText(dialog, 116, text, sizeof text);
  sSeen.push_back({message, id, text});
  if (message == DLG_INIT) {
    PlatformSetDialogText(dialog, 116, "0");
    EXPECT_EQ(sSeen.size(), 1u) << "a change made during init waits for init to return";
    if (sInitKey != 0) {
      SDL_Event event = {};
      event.type = SDL_KEYDOWN;
      event.key.keysym.sym = sInitKey;
      PushToDialog(event);
    }
    if (sInitClose) {
      SDL_Event event = {};
      event.type = SDL_WINDOWEVENT;
      event.window.event = SDL_WINDOWEVENT_CLOSE;
      PushToDialog(event);
    }
    if (sInitQuit) {
      SDL_Event event = {};
      event.type = SDL_QUIT;
      SDL_PushEvent(&event);
    }
    if (!sDriverScript.empty()) {
      std::string script = sDriverScript;
      sDriver = std::thread([script] { EXPECT_EQ(system(script.c_str()), 0); });
    }
    return 0;
  }
  if (id == 116 && std::string(text) == "999") PlatformSetDialogText(dialog, 116, "0");
  if (id == IDOK || id == IDCANCEL) PlatformEndDialog(dialog, id);
  return 0;
}

class SetupDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepDisplayOpen();
    sSeen.clear();
    sInitKey = 0;
    sInitClose = false;
    sInitQuit = false;
    sDriverScript.clear();
  }
  void TearDown() override {
    if (sDriver.joinable()) sDriver.join();
    // Video stays up for the next test (see platform_display_test.cpp).
  }
  int32_t Run() { return PlatformRunDialog(&kTemplate, nullptr, Procedure); }
};

TEST_F(SetupDialog, EnterIsTheDefaultButton) {
  sInitKey = SDLK_RETURN;
  EXPECT_EQ(Run(), IDOK);
  ASSERT_EQ(sSeen.size(), 3u);
  EXPECT_EQ(sSeen[0].message, DLG_INIT);
  EXPECT_EQ(sSeen[0].text, "");
  // Writing the box during init sends its change command once init has returned.
  EXPECT_EQ(sSeen[1].message, DLG_COMMAND);
  EXPECT_EQ(sSeen[1].id, 116);
  EXPECT_EQ(sSeen[1].text, "0");
  EXPECT_EQ(sSeen[2].id, IDOK);
}

TEST_F(SetupDialog, EscapeCloseAndQuitAreCancel) {
  sInitKey = SDLK_ESCAPE;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(sSeen.back().id, IDCANCEL);

  SetUp();
  sInitClose = true;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(sSeen.back().id, IDCANCEL);

  SetUp();
  sInitQuit = true;
  EXPECT_EQ(Run(), IDCANCEL);
  EXPECT_EQ(sSeen.back().id, IDCANCEL);
}

// A stand-in procedure that reads the controls back at the end.
PlatformDialog *sLast = nullptr;
int32_t sChecks[6];
std::string sFinalText;

int32_t ReadingProcedure(PlatformDialog *dialog, int32_t message, int32_t id) {
  if (message == DLG_COMMAND && id == IDOK) {
    const int32_t ids[6] = {100, 103, 104, 108, 999, 107};
    for (int i = 0; i < 6; i++) sChecks[i] = PlatformIsDialogChecked(dialog, ids[i]);
    char text[32];
    PlatformGetDialogText(dialog, 116, text, sizeof text);
    sFinalText = text;
  }
  sLast = dialog;
  return Procedure(dialog, message, id);
}

TEST_F(SetupDialog, ClicksAndTypingReachTheControls) {
  // Dialog units are 2.16 x 2.4 pixels at 8 points; the dialog sits at (20, 20) units from the screen's
  // corner, as it has no owner here.
  auto px = [](double du) { return std::to_string(static_cast<int>(20 * 2.16 + du * 2.16)); };
  auto py = [](double du) { return std::to_string(static_cast<int>(20 * 2.4 + du * 2.4)); };
  std::string click = "xdotool mousemove --sync ";
  sDriverScript = "sleep 1.5 && " +
                  click + px(84) + " " + py(20) + " click 1 && sleep 0.3 && " +   // 320x240
                  click + px(9) + " " + py(105) + " click 1 && sleep 0.3 && " +   // BackFace Cull off
                  click + px(9) + " " + py(120) + " click 1 && sleep 0.3 && " +   // Do not force video mode
                  click + px(150) + " " + py(131) + " click 1 && sleep 0.3 && " +  // the edit box
                  "xdotool key ctrl+a && xdotool type --delay 80 5a7 && sleep 0.3 && "
                  "xdotool key ctrl+a && xdotool type --delay 80 999 && sleep 0.3 && "
                  "xdotool type --delay 80 3 && sleep 0.3 && xdotool key Return";
  EXPECT_EQ(PlatformRunDialog(&kTemplate, nullptr, ReadingProcedure), IDOK);
  EXPECT_EQ(sChecks[0], 1) << "320x240";
  EXPECT_EQ(sChecks[1], 0) << "1024x768 left its group's check";
  EXPECT_EQ(sChecks[2], 1) << "32 BPP is in another group";
  EXPECT_EQ(sChecks[3], 0) << "BackFace Cull";
  EXPECT_EQ(sChecks[4], 1) << "Do not force video mode";
  EXPECT_EQ(sChecks[5], 1) << "24 bit";
  // Letters never reach the box; "999" was rewritten to "0" while the box was being typed in.
  EXPECT_EQ(sFinalText, "03");
  bool saw57 = false, saw999 = false;
  for (const Seen &seen : sSeen) {
    if (seen.id == 116 && seen.text == "57") saw57 = true;
    if (seen.id == 116 && seen.text == "999") saw999 = true;
  }
  EXPECT_TRUE(saw57);
  EXPECT_TRUE(saw999);
}

unsigned long sDialogPixel = 0;

TEST_F(SetupDialog, ShowsAboveItsOwner) {
  PlatformWindow *owner = PlatformCreateMainWindow("Tunemill");
  ASSERT_NE(owner, nullptr);
  PlatformShowWindow(owner);
  // A point of the dialog's background, left of the OK button: (20 + 2, 20 + 60) dialog units.
  sDriver = std::thread([] {
    SDL_Delay(1500);
    sDialogPixel = ScreenPixel(static_cast<int>(22 * 2.16), static_cast<int>(80 * 2.4));
    EXPECT_EQ(system("xdotool key Escape"), 0);
  });
  EXPECT_EQ(PlatformRunDialog(&kTemplate, owner, Procedure), IDCANCEL);
  sDriver.join();
  EXPECT_EQ(sDialogPixel, 0xF0F0F0ul) << std::hex << sDialogPixel;
  // The owner is black again where the dialog was, once it has had its messages.
  PLATFORM_MESSAGE message;
  for (int i = 0; i < 20; i++) {
    while (PlatformTakeMessage(&message)) {
    }
    PlatformSleep(10);
  }
  EXPECT_EQ(ScreenPixel(static_cast<int>(22 * 2.16), static_cast<int>(80 * 2.4)), 0ul);
  PlatformDestroyWindow(owner);
}

}  // namespace
