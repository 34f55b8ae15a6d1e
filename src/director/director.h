// The director: start-up and shutdown of the player's assets and the frame function that the shell's
// message loop calls whenever no window message is waiting. Main thread only, with the driver's context
// current.
#pragma once

// Reads the track list, creates the fonts, pictures and effects, picks a random first track and starts
// the music. Failures are fatal (source "demo", or the failing part's own).
void DirectorStart();
// One frame: next track at the end of a song, the clock, the player screen with its input, the scene and
// the overlay (while no cover hides them), the closing or opening sequence, the swap, and the minimise the
// panel asked for. Returns at once while the director is not started.
void DirectorFrame();
// Stops the music and releases everything DirectorStart created.
void DirectorShutdown();
