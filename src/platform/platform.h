// The platform layer: the only part of the program that includes SDL. Everything else calls these plain
// functions, written in the terms the rest of the program uses.
#pragma once

// Shows `text` in a modal box captioned `caption` with a single OK button and waits until it is dismissed;
// the box is owned by the main window once one exists. Where no display can show a box, the text goes to
// standard error and the call returns at once.
void PlatformMessageBox(const char *text, const char *caption);
