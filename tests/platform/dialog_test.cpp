// The modal dialog runner on a real display, with controls laid out as in the setup dialog: command
// delivery, Escape and closing, and real clicks, typing and Enter through xdotool.
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

// What the procedure saw: one entry per message, with the edit box's text at that moment.
struct Seen {
  int32_t message;
  int32_t id;
  std::string text;
};
std::vector<Seen> sSeen;
SDL_Event sInitEvent;        // sent to the dialog from the init message when its type is set
std::string sDriverScript;   // run from the init message when set
std::thread sDriver;         // runs it
int32_t sChecks[6];          // kChecked's states when OK was pressed
std::string sFinalText;      // the edit box's text then

int32_t Procedure(PlatformDialog *dialog, int32_t message, int32_t id) {
  char text[32];
  PlatformGetDialogText(dialog, 116, text, sizeof text);
  sSeen.push_back({message, id, text});
  if (message == DLG_INIT) {
    PlatformSetDialogText(dialog, 116, "0");
    EXPECT_EQ(sSeen.size(), 1u) << "a change made during init waits for init to return";
    if (sInitEvent.type != 0) {
      sInitEvent.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());  // where key events keep it too
      SDL_PushEvent(&sInitEvent);
    }
    if (!sDriverScript.empty()) sDriver = std::thread([] { EXPECT_EQ(system(sDriverScript.c_str()), 0); });
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
    KeepDisplayOpen();
    sSeen.clear();
    sInitEvent = {};
    sDriverScript.clear();
  }
  // Video stays up for the next test (see platform_display_test.cpp).
  void TearDown() override {
    if (sDriver.joinable()) sDriver.join();
  }
  int32_t Run(PlatformWindow *owner = nullptr) { return PlatformRunDialog(&kTemplate, owner, Procedure); }
};

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

TEST_F(SetupDialog, ClicksAndTypingReachTheControls) {
  // Dialog units are 2.16 x 2.4 pixels at 8 points; the dialog sits at (20, 20) units from the screen's
  // corner, as it has no owner here.
  auto at = [](double x, double y) {
    return "xdotool mousemove --sync " + std::to_string(int(20 * 2.16 + x * 2.16)) + " " +
           std::to_string(int(20 * 2.4 + y * 2.4)) + " click 1 && sleep 0.3 && ";
  };
  sDriverScript = "sleep 1.5 && " + at(84, 20) +  // 320x240
                  at(9, 105) +                     // BackFace Cull off
                  at(9, 120) +                     // Do not force video mode
                  at(150, 131) +                   // the edit box
                  "xdotool key ctrl+a && xdotool type --delay 80 5a7 && sleep 0.3 && "
                  "xdotool key ctrl+a && xdotool type --delay 80 999 && sleep 0.3 && "
                  "xdotool type --delay 80 3 && sleep 0.3 && xdotool key Return";
  EXPECT_EQ(Run(), IDOK);  // Return is the default button
  ASSERT_GE(sSeen.size(), 3u);
  EXPECT_EQ(sSeen[0].message, DLG_INIT);
  EXPECT_EQ(sSeen[0].text, "");
  // Writing the box during init sends its change command once init has returned.
  EXPECT_EQ(sSeen[1].message, DLG_COMMAND);
  EXPECT_EQ(sSeen[1].id, 116);
  EXPECT_EQ(sSeen[1].text, "0");
  EXPECT_EQ(sSeen.back().id, IDOK);
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
    saw57 = saw57 || (seen.id == 116 && seen.text == "57");
    saw999 = saw999 || (seen.id == 116 && seen.text == "999");
  }
  EXPECT_TRUE(saw57);
  EXPECT_TRUE(saw999);
}

TEST_F(SetupDialog, ShowsAboveItsOwner) {
  PlatformWindow *owner = PlatformCreateMainWindow("Tunemill");
  ASSERT_NE(owner, nullptr);
  PlatformShowWindow(owner);
  // A point of the dialog's background, left of the OK button: (20 + 2, 20 + 60) dialog units.
  const int x = int(22 * 2.16), y = int(80 * 2.4);
  unsigned long dialogPixel = 0;
  sDriver = std::thread([&] {
    SDL_Delay(1500);
    dialogPixel = ScreenPixel(x, y);
    EXPECT_EQ(system("xdotool key Escape"), 0);
  });
  EXPECT_EQ(Run(owner), IDCANCEL);
  sDriver.join();
  EXPECT_EQ(dialogPixel, 0xF0F0F0ul) << std::hex << dialogPixel;
  // The owner is black again where the dialog was, once it has had its messages.
  PLATFORM_MESSAGE message;
  for (int i = 0; i < 20; i++, PlatformSleep(10)) {
    while (PlatformTakeMessage(&message)) {
    }
  }
  EXPECT_EQ(ScreenPixel(x, y), 0ul);
  PlatformDestroyWindow(owner);
}

}  // namespace
