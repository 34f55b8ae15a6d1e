// The director: start-up and shutdown of the player's assets and the frame function that the shell's
// message loop calls whenever no window message is waiting. Main thread only, with the driver's context
// current.
#pragma once

#include <cstdint>

extern int32_t DirectorStarted;  // 1 between DirectorStart and DirectorShutdown; frames run only then
extern float SceneClock;         // clock units: 33 per second, from 0 at the first frame
extern uint32_t LastTick;        // tick count (ms) of the previous frame; 0 before the first

// Reads the track list, picks a random first track and starts the music. Failures are fatal.
void DirectorStart();
// One frame: next track at the end of a song, clear, clock, swap, and the minimise that the panel asked
// for. Returns at once while the director is not started.
void DirectorFrame();
// Stops the music and frees the track table.
void DirectorShutdown();

// Step 4 of a frame: advances SceneClock to the tick count `now` and returns the step in clock units. The
// first call gives 0; a tick count that wrapped around since the last call still gives the true step.
float DirectorAdvanceClock(uint32_t now);
