// Display helpers for the tests.
//
// Xvfb resets itself whenever its last client disconnects, and refuses connections while it does; a test
// that starts and ends several clients in a row would then find no display now and then. Holding one
// connection for the whole test program keeps the server up.
#pragma once

// Opens the connection once per process (a no-op without a display). Call from SetUp or main.
void KeepDisplayOpen();

// The colour of one screen pixel as 0xRRGGBB, read on a connection of its own; 0xFFFFFFFF without a
// display. Any thread.
unsigned long ScreenPixel(int x, int y);
