#include "effects/efx2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

#include "testkit.h"

namespace {

std::vector<float> RandomFloats(size_t n) {
  std::vector<float> v(n);
  for (float &x : v) x = (float)(rand() % 20001 - 10000) / 10000.0f;
  return v;
}

TEST(FFT, ForwardAndInverseMatchTheDirectTransformAndFewerThanTwoSamplesEndTheProgram) {
  srand(3);
  for (uint32_t n : {2u, 4u, 8u, 64u, 256u, 1024u}) {
    const std::vector<float> re = RandomFloats(n), im = RandomFloats(n);
    std::vector<float> outRe(n), outIm(n);
    for (int inverse : {0, 1}) {
      FFT::Compute(n, inverse, re.data(), im.data(), outRe.data(), outIm.data());
      // The single-precision twiddle recurrence drifts with the square of the block length (4e-4 at 256
      // points, 0.03 at 1024); a wrong bin or sign would be off by the size of the signal.
      const double tolerance = inverse ? 5e-8 * n + 1e-7 : 4e-8 * n * n + 1e-6;
      for (uint32_t k = 0; k < n; k++) {
        // Forward turns by +2 pi jk / n, inverse by -2 pi jk / n and is scaled by 1 / n.
        std::complex<double> sum = 0;
        for (uint32_t j = 0; j < n; j++)
          sum += std::complex<double>(re[j], im[j]) * std::polar(1.0, (inverse ? -2 : 2) * M_PI * (j * k % n) / n);
        if (inverse) sum /= n;
        ASSERT_NEAR(outRe[k], sum.real(), tolerance) << "n " << n << " inverse " << inverse << " bin " << k;
        ASSERT_NEAR(outIm[k], sum.imag(), tolerance) << "n " << n << " inverse " << inverse << " bin " << k;
      }
    }
  }
  ScopedTempDir dir;
  ExpectFatal(
      [] {
        float in[1] = {1}, out[1], outIm[1];
        FFT::Compute(1, 0, in, nullptr, out, outIm);
      },
      "efx2", "FFT::Not enouch samples !");
}

TEST(PeakFrequency, TheCentroidOfTheStrongestWindowLowestFirstAfterTheLowCut) {
  // Eight samples: bins 0 to 3 of each array count; the power P = re^2 + im^2.
  const struct {
    uint32_t w;
    float rate, re[4], im[4], frequency, power[4];
  } cases[] = {
      {1, 8000, {0, 0, 3, 0}, {0, 0, 0, 0}, 2000, {0, 0, 9, 0}},    // windows {1, 2} and {2, 3} tie at 9
      {1, 8000, {0, 1, 0, 1}, {0, 0, 0, 0}, 1000, {0, 1, 0, 1}},    // every window ties: the lowest wins
      {2, 8000, {0, 1, 1, 0}, {0, 0, 0, 0}, 1500, {0, 1, 1, 0}},    // halfway between bins 1 and 2
      {1, 8000, {0, 0, 0, 0}, {0, 0, 0, 2}, 3000, {0, 0, 0, 4}},    // the imaginary part counts as well
      {1, 8000, {7, 0, 0, 0}, {0, 0, 0, 0}, -1, {0, 0, 0, 0}},      // the constant component alone is cut
      {1, 100, {5, 5, 0, 2}, {0, 0, 0, 0}, 37.5f, {0, 0, 0, 4}},    // at 100 Hz bins 0 and 1 are below 20 Hz
  };
  for (const auto &c : cases) {
    float re[8] = {}, im[8] = {}, power[4];
    std::copy(c.re, c.re + 4, re), std::copy(c.im, c.im + 4, im);
    EXPECT_EQ(FFT::PeakFrequency(8, c.w, re, im, power, c.rate), c.frequency) << c.re[0] << c.re[1] << c.re[2];
    EXPECT_EQ(std::vector<float>(power, power + 4), std::vector<float>(c.power, c.power + 4));
  }
  // Odd sizes combine only whole blocks; the address sanitizer build checks the bounds.
  std::vector<float> re = RandomFloats(12), outRe(12), outIm(12);
  FFT::Compute(12, 0, re.data(), nullptr, outRe.data(), outIm.data());
  for (float v : outRe) EXPECT_TRUE(std::isfinite(v));
}

TEST(Spectrum, PureTonesLandInTheirBandsAndSilenceRaisesNoBar) {
  const struct {
    double bin;
    int band;
  } cases[] = {{1, 1}, {2, 2}, {4, 3}, {6, 4}, {12, 4}, {24, 5}, {40, 6}, {72, 7}, {90, 8}};
  // Signed samples read as unsigned add a square wave of the tone's own period; its odd harmonics pull the
  // centroid of the low and the high tones out of their bands, the middle ones stay.
  for (bool signedSamples : {false, true})
    for (const auto &c : cases) {
      if (signedSamples && (c.bin < 6 || c.bin > 40)) continue;
      uint16_t samples[256];
      for (int k = 0; k < 256; k++) {
        const double x = 12000 * sin(2 * M_PI * c.bin * k / 256);
        samples[k] = signedSamples ? (uint16_t)(int16_t)lround(x) : (uint16_t)lround(32768 + x);
      }
      const float f = SpectrumPeakFrequency(samples);
      if (!signedSamples) {
        EXPECT_NEAR(f, 44100 * c.bin / 256, 1.0) << "bin " << c.bin;
      }
      float levels[SPECTRUM_BANDS] = {};
      SpectrumUpdateBands(levels, f);
      for (int i = 0; i < SPECTRUM_BANDS; i++)
        EXPECT_EQ(levels[i], i == c.band ? 25.0f : 0.0f) << "bin " << c.bin << " band " << i << " " << signedSamples;
    }
  uint16_t silence[256] = {};
  EXPECT_EQ(SpectrumPeakFrequency(silence), -1.0f);
  float levels[SPECTRUM_BANDS] = {80, 40, 20, 10, 8, 4, 2, 1, 99};
  SpectrumUpdateBands(levels, -1);
  const float expected[SPECTRUM_BANDS] = {60, 30, 15, 7.5f, 6, 3, 1.5f, 0.75f, 74.25f};
  EXPECT_EQ(std::vector<float>(levels, levels + 9), std::vector<float>(expected, expected + 9));
}

TEST(Spectrum, BandEdgesBelongToTheLowerBandAndHitsRiseByAQuarterOfTheRest) {
  const struct {
    float frequency;
    int band;  // -1: none raised
  } edges[] = {{170, 0},      {170.01f, 1}, {60, -1},       {60.01f, 0}, {3000, 4},
               {3000.01f, 5}, {16000, 8},   {16000.5f, -1}, {-1, -1}};
  for (const auto &e : edges) {
    float levels[SPECTRUM_BANDS] = {};
    SpectrumUpdateBands(levels, e.frequency);
    for (int i = 0; i < SPECTRUM_BANDS; i++) EXPECT_EQ(levels[i], i == e.band ? 25.0f : 0.0f) << e.frequency;
  }
  float levels[SPECTRUM_BANDS] = {};
  for (float expected : {25.0f, 43.75f, 57.8125f, 68.359375f}) {
    SpectrumUpdateBands(levels, 1033.6f);
    EXPECT_EQ(levels[4], expected);
    EXPECT_EQ(levels[3], 0);
  }
  for (int frame = 0; frame < 1000; frame++) SpectrumUpdateBands(levels, 1033.6f);
  EXPECT_LE(levels[4], 100.0f);
}

}  // namespace
