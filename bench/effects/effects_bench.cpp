// The spectrum analyser's per-frame work: a 256-point FFT of one sample block with the peak search,
// next to a direct transform of the same block (twiddles tabled beforehand) with the same search.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "effects/efx2.h"

namespace {

void Block(uint16_t samples[256]) {
  srand(17);
  for (int k = 0; k < 256; k++)
    samples[k] = (uint16_t)(int16_t)(9000 * sin(2 * M_PI * 13.3 * k / 256) + 3000 * sin(2 * M_PI * 41.7 * k / 256) +
                                    rand() % 2000 - 1000);
}

void BM_SpectrumPeak(benchmark::State &state) {
  uint16_t samples[256];
  Block(samples);
  for (auto _ : state) {
    float f = SpectrumPeakFrequency(samples);
    benchmark::DoNotOptimize(f);
  }
}
BENCHMARK(BM_SpectrumPeak);

void BM_SpectrumPeakStraightforward(benchmark::State &state) {
  uint16_t samples[256];
  Block(samples);
  float cosTable[256], sinTable[256];
  for (int k = 0; k < 256; k++) {
    cosTable[k] = (float)cos(2 * M_PI * k / 256);
    sinTable[k] = (float)sin(2 * M_PI * k / 256);
  }
  for (auto _ : state) {
    float in[256], re[256], im[256], power[128];
    for (int k = 0; k < 256; k++) in[k] = (float)samples[k] * 0.0000152587890625f;
    for (int k = 0; k < 256; k++) {
      float sr = 0, si = 0;
      for (int j = 0; j < 256; j++) {
        const int phase = (j * k) & 255;
        sr += in[j] * cosTable[phase];
        si += in[j] * sinTable[phase];
      }
      re[k] = sr;
      im[k] = si;
    }
    float f = FFT::PeakFrequency(256, 32, re, im, power, 44100);
    benchmark::DoNotOptimize(f);
  }
}
BENCHMARK(BM_SpectrumPeakStraightforward);

void BM_FFT256(benchmark::State &state) {
  float in[256], re[256], im[256];
  for (int k = 0; k < 256; k++) in[k] = (float)sin(k * 0.3);
  for (auto _ : state) {
    FFT::Compute(256, 0, in, nullptr, re, im);
    benchmark::DoNotOptimize(re);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FFT256);

}  // namespace

BENCHMARK_MAIN();
