// Shared inside the platform layer only.
#pragma once

#include <SDL.h>

#include <cstdint>

struct PlatformWindow;

// Starts SDL's video subsystem once; 0 when there is no real display (see PlatformCreateMainWindow).
int32_t PlatformStartVideo();
// The native window behind a handle; null for a null handle.
SDL_Window *PlatformNativeWindow(PlatformWindow *window);
// Keeps the main window painted while a modal loop elsewhere takes its events.
void PlatformOwnerEvent(const SDL_Event &event);
