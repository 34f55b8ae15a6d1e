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

TEST(FFT, ForwardAndInverseMatchTheDirectTransform) {
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
}

TEST(FFT, OddSizesStayInsideTheArraysAndFewerThanTwoSamplesEndTheProgram) {
  // Only the whole blocks are combined; the address sanitizer build checks the bounds.
  std::vector<float> re = RandomFloats(12), outRe(12), outIm(12);
  FFT::Compute(12, 0, re.data(), nullptr, outRe.data(), outIm.data());
  for (float v : outRe) EXPECT_TRUE(std::isfinite(v));
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    float in[1] = {1}, out[1], outIm[1];
    FFT::Compute(1, 0, in, nullptr, out, outIm);
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: FFT::Not enouch samples !\n");
  EXPECT_NE(child.out.find("\n PROGRAM: -- ERROR: at efx2 "), std::string::npos);
}

TEST(PeakFrequency, MatchesTheWindowByWindowSearchExactly) {
  srand(21);
  // n, window, rate: at 1000 Hz the bins up to n * 20 / 1000 are cut.
  const uint32_t cases[][3] = {{256, 32, 44100}, {64, 5, 44100},  {64, 6, 44100},  {128, 62, 44100},
                               {32, 15, 44100},  {32, 16, 44100}, {256, 32, 1000}, {64, 5, 1000}};
  for (const auto &c : cases)
    for (int round = 0; round < 20; round++) {
      const uint32_t n = c[0], w = c[1];
      const float rate = (float)c[2];
      std::vector<float> re = RandomFloats(n), im = RandomFloats(n), power(n / 2);
      if (round % 4 == 0) re.assign(n, 0.5f), im.assign(n, 0);            // flat power: every window ties
      if (round % 4 == 1) re.assign(n, 0), im.assign(n, 0), re[0] = 100;  // the constant component alone
      // One window at a time, exactly as the search is defined.
      std::vector<float> p(n / 2);
      for (uint32_t k = 0; k < n / 2; k++) p[k] = re[k] * re[k] + im[k] * im[k];
      for (uint32_t k = 0; k <= (uint32_t)((float)n * 20 / rate) && k < n / 2; k++) p[k] = 0;
      float best = -1, centroid = 0;
      for (uint32_t e = w; e < n / 2; e++) {
        float sum = 0, moment = 0;
        for (uint32_t k = e - w; k <= e; k++) sum += p[k], moment += (float)k * p[k];
        if (sum > best) best = sum, centroid = moment / sum;
      }
      EXPECT_EQ(FFT::PeakFrequency(n, w, re.data(), im.data(), power.data(), rate),
                best > 0 ? rate * centroid / (float)n : -1)
          << "n " << n << " w " << w << " rate " << rate << " round " << round;
      EXPECT_EQ(power, p);  // the bin powers after the cut are left in the work space
    }
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
  for (int i = 0; i < SPECTRUM_BANDS; i++) EXPECT_EQ(levels[i], expected[i]);
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
