// Modal dialogs from a template, drawn with Dear ImGui in a window of their own.

#include <GL/gl.h>
#include <SDL.h>
#include <imgui.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "backends/imgui_impl_opengl2.h"
#include "backends/imgui_impl_sdl.h"
#include "platform/platform.h"
#include "platform/platform_local.h"

namespace {

struct ControlState {
  const PLATFORM_DIALOG_CONTROL *Control;
  int32_t Group;  // index of the group box that starts the control's radio group, -1 for none
  int32_t Checked;
  char Text[64];
  bool TextPending;  // set from outside while the edit box may be holding its own copy
};

// The template's font size gives the dialog-unit size; the factor makes the layout comfortable to read
// on today's screens (8 points give units of about 2 x 2.4 pixels).
const float kPixelsPerPoint = 2.0f;
const float kUnitXPerPixel = 0.135f;
const float kUnitYPerPixel = 0.15f;
const char *const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

}  // namespace

struct PlatformDialog {
  std::vector<ControlState> Controls;
  std::deque<int32_t> Commands;
  PLATFORM_DIALOG_PROC Procedure;
  bool InProcedure;
  int32_t Ended;
  int32_t Result;
};

static ControlState *FindControl(PlatformDialog *dialog, int32_t controlId) {
  for (ControlState &state : dialog->Controls) {
    if (state.Control->Id == controlId) return &state;
  }
  return nullptr;
}

// Commands raised while the procedure runs wait for it to return, so it never re-enters itself.
static void DeliverCommands(PlatformDialog *dialog) {
  while (!dialog->Commands.empty()) {
    int32_t id = dialog->Commands.front();
    dialog->Commands.pop_front();
    if (dialog->Ended) continue;
    dialog->InProcedure = true;
    dialog->Procedure(dialog, DLG_COMMAND, id);
    dialog->InProcedure = false;
  }
}

static void SendCommand(PlatformDialog *dialog, int32_t controlId) {
  dialog->Commands.push_back(controlId);
  if (!dialog->InProcedure) DeliverCommands(dialog);
}

int32_t PlatformIsDialogChecked(PlatformDialog *dialog, int32_t controlId) {
  ControlState *state = FindControl(dialog, controlId);
  return state != nullptr ? state->Checked : 0;
}

void PlatformSetDialogChecked(PlatformDialog *dialog, int32_t controlId, int32_t checked) {
  ControlState *state = FindControl(dialog, controlId);
  if (state != nullptr) state->Checked = checked ? 1 : 0;
}

int32_t PlatformGetDialogText(PlatformDialog *dialog, int32_t controlId, char *buffer, int32_t size) {
  if (size <= 0) return 0;
  ControlState *state = FindControl(dialog, controlId);
  const char *text = state != nullptr ? state->Text : "";
  int32_t length = static_cast<int32_t>(strlen(text));
  if (length > size - 1) length = size - 1;
  memcpy(buffer, text, static_cast<size_t>(length));
  buffer[length] = 0;
  return length;
}

void PlatformSetDialogText(PlatformDialog *dialog, int32_t controlId, const char *text) {
  ControlState *state = FindControl(dialog, controlId);
  if (state == nullptr || strcmp(state->Text, text) == 0) return;
  snprintf(state->Text, sizeof state->Text, "%s", text);
  state->TextPending = true;
  SendCommand(dialog, controlId);
}

void PlatformEndDialog(PlatformDialog *dialog, int32_t result) {
  if (dialog->Ended) return;
  dialog->Ended = 1;
  dialog->Result = result;
}

// =========================================================================================================
// [SECTION] Drawing

// The box takes only digits from the keyboard; pasted text goes in as it is and is read by the same rules
// as typed text. ImGui runs a paste through the typing filter too, right after it has asked for the
// clipboard, so the filter stands aside from that request to the end of the edit box's frame.
static const char *(*sClipboardText)(void *userData) = nullptr;
static bool sPasting = false;

static const char *PastedText(void *userData) {
  sPasting = true;
  return sClipboardText(userData);
}

static int EditCallback(ImGuiInputTextCallbackData *data) {
  if (data->EventFlag == ImGuiInputTextFlags_CallbackCharFilter) {
    return sPasting || (data->EventChar >= '0' && data->EventChar <= '9') ? 0 : 1;
  }
  // The edit box being typed in keeps its own copy of the text; a rewrite from the procedure replaces it.
  ControlState *state = static_cast<ControlState *>(data->UserData);
  if (state->TextPending) {
    data->DeleteChars(0, data->BufTextLen);
    data->InsertChars(0, state->Text);
    state->TextPending = false;
  }
  return 0;
}

static void DrawGroupBox(const ControlState &state, ImVec2 origin, float unitX, float unitY) {
  const PLATFORM_DIALOG_CONTROL &c = *state.Control;
  ImDrawList *draw = ImGui::GetWindowDrawList();
  const char *label = c.Label != nullptr ? c.Label : "";
  float lineHeight = ImGui::GetTextLineHeight();
  ImVec2 min(origin.x + c.X * unitX, origin.y + c.Y * unitY + lineHeight * 0.5f);
  ImVec2 max(origin.x + (c.X + c.W) * unitX, origin.y + (c.Y + c.H) * unitY);
  draw->AddRect(min, max, ImGui::GetColorU32(ImGuiCol_Border));
  if (label[0] != 0) {
    ImVec2 size = ImGui::CalcTextSize(label);
    ImVec2 textPos(min.x + 3.0f * unitX, origin.y + c.Y * unitY);
    draw->AddRectFilled(ImVec2(textPos.x - 2.0f, textPos.y), ImVec2(textPos.x + size.x + 2.0f, textPos.y + size.y),
                        ImGui::GetColorU32(ImGuiCol_WindowBg));
    draw->AddText(textPos, ImGui::GetColorU32(ImGuiCol_Text), label);
  }
}

static void DrawControls(PlatformDialog *dialog, float unitX, float unitY) {
  ImVec2 origin = ImGui::GetWindowPos();
  float frameHeight = ImGui::GetFrameHeight();
  for (ControlState &state : dialog->Controls) {
    const PLATFORM_DIALOG_CONTROL &c = *state.Control;
    const char *label = c.Label != nullptr ? c.Label : "";
    float x = c.X * unitX, y = c.Y * unitY, w = c.W * unitX, h = c.H * unitY;
    // Small controls are centred on their template rectangle, which is often lower than a font line.
    float centredY = y + (h - frameHeight) * 0.5f;
    ImGui::PushID(c.Id);
    switch (c.Kind) {
      case DLG_PUSHBUTTON:
      case DLG_DEFPUSHBUTTON: {
        ImGui::SetCursorPos(ImVec2(x, y));
        bool isDefault = c.Kind == DLG_DEFPUSHBUTTON;
        if (isDefault) {
          ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, 2.0f);
          ImGui::PushStyleColor(ImGuiCol_Border, ImGui::GetStyleColorVec4(ImGuiCol_Text));
        }
        if (ImGui::Button(label, ImVec2(w, h))) SendCommand(dialog, c.Id);
        if (isDefault) {
          ImGui::PopStyleColor();
          ImGui::PopStyleVar();
        }
        break;
      }
      case DLG_GROUPBOX:
        DrawGroupBox(state, origin, unitX, unitY);
        break;
      case DLG_AUTORADIO:
        ImGui::SetCursorPos(ImVec2(x, centredY));
        if (ImGui::RadioButton(label, state.Checked != 0)) {
          for (ControlState &other : dialog->Controls) {
            if (other.Control->Kind == DLG_AUTORADIO && other.Group == state.Group) other.Checked = 0;
          }
          state.Checked = 1;
          SendCommand(dialog, c.Id);
        }
        break;
      case DLG_AUTOCHECKBOX: {
        ImGui::SetCursorPos(ImVec2(x, centredY));
        bool checked = state.Checked != 0;
        if (ImGui::Checkbox(label, &checked)) {
          state.Checked = checked ? 1 : 0;
          SendCommand(dialog, c.Id);
        }
        break;
      }
      case DLG_STATIC:
        ImGui::SetCursorPos(ImVec2(x, y));
        ImGui::TextUnformatted(label);
        break;
      case DLG_EDITDIGITS: {
        ImGui::SetCursorPos(ImVec2(x, centredY));
        ImGui::SetNextItemWidth(w);
        char before[sizeof state.Text];
        memcpy(before, state.Text, sizeof before);
        ImGui::InputText("##edit", state.Text, sizeof state.Text,
                         ImGuiInputTextFlags_CallbackCharFilter | ImGuiInputTextFlags_CallbackAlways, EditCallback,
                         &state);
        sPasting = false;
        state.TextPending = false;
        if (strcmp(before, state.Text) != 0) SendCommand(dialog, c.Id);
        break;
      }
      default:
        break;
    }
    ImGui::PopID();
    if (dialog->Ended) return;
  }
}

// =========================================================================================================
// [SECTION] The modal loop

static int32_t DefaultButton(const PlatformDialog &dialog) {
  for (const ControlState &state : dialog.Controls) {
    if (state.Control->Kind == DLG_DEFPUSHBUTTON) return state.Control->Id;
  }
  return IDOK;
}

// The dialog's own events drive it; the owner only keeps its background while it waits.
static void HandleEvent(PlatformDialog *dialog, SDL_Window *native, const SDL_Event &event) {
  Uint32 id = SDL_GetWindowID(native);
  switch (event.type) {
    case SDL_QUIT:
      SendCommand(dialog, IDCANCEL);
      return;
    case SDL_WINDOWEVENT:
      if (event.window.windowID != id) {
        PlatformOwnerEvent(event);
        return;
      }
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        SendCommand(dialog, IDCANCEL);
        return;
      }
      break;
    case SDL_KEYDOWN:
      if (event.key.windowID != id) return;
      if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER) {
        SendCommand(dialog, DefaultButton(*dialog));
        return;
      }
      if (event.key.keysym.sym == SDLK_ESCAPE) {
        SendCommand(dialog, IDCANCEL);
        return;
      }
      break;
    case SDL_KEYUP:
      if (event.key.windowID != id) return;
      break;
    case SDL_TEXTINPUT:
      if (event.text.windowID != id) return;
      break;
    case SDL_MOUSEMOTION:
      if (event.motion.windowID != id) return;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (event.button.windowID != id) return;
      break;
    case SDL_MOUSEWHEEL:
      if (event.wheel.windowID != id) return;
      break;
    default:
      break;
  }
  // The backend reads the modifiers from SDL's current state, which is already that of the end of the
  // batch; the key's own modifiers are the ones that held when it was pressed.
  if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
    SDL_SetModState(static_cast<SDL_Keymod>(event.key.keysym.mod));
  }
  ImGui_ImplSDL2_ProcessEvent(&event);
}

// SDL's own blocking wait wakes itself with a message to the dialog's window over a second display
// connection; one still on its way when the window is destroyed comes back as an X error, which ends the
// process the next time that connection is used (the next dialog). Polling between short sleeps never
// sends one.
static bool WaitForEvent(SDL_Event *event, Uint32 milliseconds) {
  const Uint32 start = SDL_GetTicks();
  while (!SDL_PollEvent(event)) {
    if (SDL_GetTicks() - start >= milliseconds) return false;
    SDL_Delay(5);
  }
  return true;
}

static void StyleDialog(float fontPixels) {
  ImGuiIO &io = ImGui::GetIO();
  io.IniFilename = nullptr;  // nothing is stored between runs
  io.LogFilename = nullptr;
  FILE *font = fopen(kFontPath, "rb");
  if (font != nullptr) {
    fclose(font);
    io.Fonts->AddFontFromFileTTF(kFontPath, fontPixels);
  } else {
    io.FontGlobalScale = fontPixels / 13.0f;
  }
  ImGui::StyleColorsLight();
  ImGuiStyle &style = ImGui::GetStyle();
  style.WindowRounding = 0.0f;
  style.WindowBorderSize = 0.0f;
  style.FrameBorderSize = 1.0f;
  style.WindowPadding = ImVec2(0.0f, 0.0f);
}

int32_t PlatformRunDialog(const PLATFORM_DIALOG_TEMPLATE *dialogTemplate, PlatformWindow *owner,
                          PLATFORM_DIALOG_PROC procedure) {
  if (dialogTemplate == nullptr || procedure == nullptr || !PlatformStartVideo()) return -1;
  float fontPixels = dialogTemplate->FontSize * kPixelsPerPoint;
  float unitX = fontPixels * kUnitXPerPixel;
  float unitY = fontPixels * kUnitYPerPixel;

  int ownerX = 0, ownerY = 0;
  SDL_Window *ownerNative = PlatformNativeWindow(owner);
  if (ownerNative != nullptr) SDL_GetWindowPosition(ownerNative, &ownerX, &ownerY);

  SDL_Window *previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  int width = static_cast<int>(dialogTemplate->W * unitX + 0.5f);
  int height = static_cast<int>(dialogTemplate->H * unitY + 0.5f);
  SDL_Window *native = SDL_CreateWindow(
      dialogTemplate->Caption, ownerX + static_cast<int>(dialogTemplate->X * unitX),
      ownerY + static_cast<int>(dialogTemplate->Y * unitY), width, height,
      SDL_WINDOW_OPENGL | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_HIDDEN);
  if (native == nullptr) return -1;
  SDL_GLContext context = SDL_GL_CreateContext(native);
  if (context == nullptr) {
    SDL_DestroyWindow(native);
    return -1;
  }
  SDL_GL_SetSwapInterval(1);
  if (ownerNative != nullptr) SDL_SetWindowModalFor(native, ownerNative);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  StyleDialog(fontPixels);
  ImGui_ImplSDL2_InitForOpenGL(native, context);
  ImGui_ImplOpenGL2_Init();
  sClipboardText = ImGui::GetIO().GetClipboardTextFn;
  ImGui::GetIO().GetClipboardTextFn = PastedText;

  PlatformDialog dialog;
  dialog.Procedure = procedure;
  dialog.InProcedure = false;
  dialog.Ended = 0;
  dialog.Result = 0;
  int32_t group = -1;
  for (int32_t i = 0; i < dialogTemplate->ControlCount; i++) {
    const PLATFORM_DIALOG_CONTROL &control = dialogTemplate->Controls[i];
    if (control.Kind == DLG_GROUPBOX) group = i;
    ControlState state = {};
    state.Control = &control;
    state.Group = group;
    state.Checked = control.Checked ? 1 : 0;
    dialog.Controls.push_back(state);
  }
  dialog.InProcedure = true;
  procedure(&dialog, DLG_INIT, 0);
  dialog.InProcedure = false;
  DeliverCommands(&dialog);

  SDL_ShowWindow(native);
  SDL_RaiseWindow(native);
  SDL_SetWindowInputFocus(native);
  // ImGui reads keys once per frame, so a key released in the same batch as it was pressed would never
  // be seen down (a quick Ctrl+A); the release waits for the next frame.
  SDL_Event deferred;
  bool haveDeferred = false;
  while (!dialog.Ended) {
    SDL_Event event;
    bool keyWentDown = false;
    if (haveDeferred) {
      haveDeferred = false;
      HandleEvent(&dialog, native, deferred);
    } else if (WaitForEvent(&event, 100)) {
      // Sleeps while nothing happens; a tenth of a second keeps hover and caret blinking alive.
      keyWentDown = event.type == SDL_KEYDOWN;
      HandleEvent(&dialog, native, event);
    }
    while (!dialog.Ended && SDL_PollEvent(&event)) {
      if (event.type == SDL_KEYUP && keyWentDown) {
        deferred = event;
        haveDeferred = true;
        break;
      }
      keyWentDown = keyWentDown || event.type == SDL_KEYDOWN;
      HandleEvent(&dialog, native, event);
    }
    if (dialog.Ended) break;
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(width), static_cast<float>(height)));
    ImGui::Begin("dialog", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);
    DrawControls(&dialog, unitX, unitY);
    ImGui::End();
    ImGui::Render();
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(native, &drawableWidth, &drawableHeight);
    glViewport(0, 0, drawableWidth, drawableHeight);
    ImVec4 background = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    glClearColor(background.x, background.y, background.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(native);
  }

  ImGui_ImplOpenGL2_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(native);
  SDL_GL_ResetAttributes();
  if (previousContext != nullptr) SDL_GL_MakeCurrent(previousWindow, previousContext);
  if (ownerNative != nullptr) {
    SDL_RaiseWindow(ownerNative);
    SDL_SetWindowInputFocus(ownerNative);
  }
  return dialog.Result;
}
