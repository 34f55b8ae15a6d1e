// Instrument synthesis for the disk's music: every sample is computed here from fixed seeds, so the same
// build always writes the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "modwrite/modwrite.h"

namespace compose {

// Deterministic pseudo-random numbers (PCG32), the same sequence on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed);
  uint32_t Next();
  double Unit();  // 0 to 1
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t state_;
};

// Harmonic content of a periodic tone.
enum class Wave { Sine, Saw, Square, Triangle, Pulse25, Pulse12 };

struct ToneRecipe {
  Wave wave = Wave::Saw;
  int voices = 1;           // detuned copies around the centre
  int detune = 1;           // distance between neighbouring voices in periods per loop (13.5 cents each)
  double brightness = 1.0;  // harmonic roll-off: 1 keeps the full spectrum, smaller is darker
  double maxHarmonicHz = 6000;  // band limit at middle C
  double attackBrightness = -1;  // when >= 0, the brightness at the very start, gliding to `brightness`
  double attackSeconds = 0;      // length of the unlooped opening in which the tone changes
  double decaySeconds = 0;       // amplitude decays over the opening to `sustainLevel` (0: flat)
  double sustainLevel = 1.0;
  bool eightBit = false;
};

// A looped tone tuned so that middle C sounds C4: the loop holds a whole number of periods of every voice,
// so it repeats without a click.
modwrite::Sample Tone(const ToneRecipe &recipe, const char *name);

// Percussion and one-shot sounds, all at 44,100 frames per second (played at middle C).
modwrite::Sample Kick(double startHz, double endHz, double seconds, double click, const char *name);
modwrite::Sample Snare(double toneHz, double noiseMix, double seconds, const char *name);
modwrite::Sample Clap(const char *name);
modwrite::Sample HiHat(double seconds, double cutoffHz, const char *name);
modwrite::Sample Shaker(const char *name);
modwrite::Sample ChipNoise(double seconds, int period, const char *name);  // 8-bit LFSR noise burst

// A plucked string (Karplus-Strong), unlooped, tuned to middle C.
modwrite::Sample Pluck(double seconds, double damping, const char *name);

// A bell (two-operator FM), unlooped, tuned to middle C.
modwrite::Sample Bell(double ratio, double index, double seconds, const char *name);

// Attack to full volume, decay to `sustain` (0 to 64) where the note holds until its release, then down to
// silence; all times in ticks.
modwrite::Envelope Adsr(int attackTicks, int decayTicks, int sustain, int releaseTicks);

}  // namespace compose
