// Spectrum analyser: a 256-point FFT of the music's current sample block, the dominant frequency of the
// block, and nine band levels in which the band holding that frequency rises while the others sink, shown
// as nine textured bars near the bottom right of the screen (an overlay of the player panel).
#pragma once

#include <cstdint>

#include "support/misc.h"

// Radix-2, decimation in time, with the classic trigonometric recurrence; single precision. The forward
// transform turns by e^(+2 pi i jk/n) and the inverse by e^(-2 pi i jk/n): for real input the spectra of
// the two conventions differ only in the sign of their imaginary parts, so the power is the same.
class FFT {
 public:
  // n must be a power of two (other sizes stay inside the arrays but mean nothing); below 2 is fatal.
  // imagIn may be null (all zero). The forward transform is not scaled, the inverse one is scaled by 1/n.
  // Inputs and outputs must not overlap.
  static void Compute(uint32_t n, int inverse, const float *realIn, const float *imagIn, float *realOut,
                      float *imagOut);
  // Dominant frequency in Hz of the first n/2 bins: the power centroid of the window of w + 1 bins with the
  // largest power, after the bins up to 20 Hz are cut. `power` (n/2 floats) is work space and holds the
  // bin powers afterwards. A silent block gives -1, which lies in no band. n/2 must exceed w.
  static float PeakFrequency(uint32_t n, uint32_t w, const float *re, const float *im, float *power, float rate);
};

enum { SPECTRUM_SIZE = 256, SPECTRUM_BANDS = 9 };

// Band i covers edge[i] < F <= edge[i + 1], in Hz.
extern const float gSpectrumBandEdges[SPECTRUM_BANDS + 1];

// The dominant frequency of one block of 256 16-bit values as the music delivers them, each read as
// unsigned and scaled by 1/65536; -1 for silence. No allocation.
float SpectrumPeakFrequency(const uint16_t samples[SPECTRUM_SIZE]);

// One frame's band step: the band holding `frequency` moves a quarter of the way to 100, every other band
// loses a quarter. Levels stay in [0, 100).
void SpectrumUpdateBands(float levels[SPECTRUM_BANDS], float frequency);

// The overlay. Main thread only, with the driver's context current.
// Creates and preloads the bars' material.
void SpectrumInit();
// Analyses the 256 bytes of sample data heard now (silence without music), steps the band levels and draws
// the nine bars, 17/512 of the screen wide each from x = 320/512, rising from y = 500/512 by their level in
// 1/512. The levels live for the whole run and change only here. Leaves its state behind. No allocation.
void SpectrumDraw();
// Releases and deletes the material, if there is one.
void SpectrumFree();
