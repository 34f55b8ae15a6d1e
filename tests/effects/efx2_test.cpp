#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

#include "effects/efx2.h"
#include "testkit.h"

namespace {

// The transform's forward direction turns by +2 pi jk / n, the inverse by -2 pi jk / n (for the real
// blocks of the analyser the two differ only in the sign of the imaginary parts).
std::vector<std::complex<double>> DirectDFT(const std::vector<float> &re, const std::vector<float> &im, bool inverse) {
  const size_t n = re.size();
  std::vector<std::complex<double>> out(n);
  const double sign = inverse ? -1 : 1;
  for (size_t k = 0; k < n; k++) {
    std::complex<double> sum = 0;
    for (size_t j = 0; j < n; j++)
      sum += std::complex<double>(re[j], im[j]) * std::polar(1.0, sign * 2 * M_PI * (double)(j * k % n) / (double)n);
    out[k] = inverse ? sum / (double)n : sum;
  }
  return out;
}

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
      const auto expected = DirectDFT(re, im, inverse);
      // The single-precision twiddle recurrence drifts with the square of the block length (4e-4 at 256
      // points, 0.03 at 1024); a wrong bin or sign would be off by the size of the signal.
      const double tolerance = inverse ? 5e-8 * n + 1e-7 : 4e-8 * n * n + 1e-6;
      for (uint32_t k = 0; k < n; k++) {
        ASSERT_NEAR(outRe[k], expected[k].real(), tolerance) << "n " << n << " inverse " << inverse << " bin " << k;
        ASSERT_NEAR(outIm[k], expected[k].imag(), tolerance) << "n " << n << " inverse " << inverse << " bin " << k;
      }
    }
  }
}

TEST(FFT, InverseUndoesForwardAndNullImaginaryMeansZero) {
  srand(5);
  const std::vector<float> re = RandomFloats(256), zero(256, 0.0f);
  std::vector<float> a(256), b(256), c(256), d(256), back(256), backIm(256);
  FFT::Compute(256, 0, re.data(), nullptr, a.data(), b.data());
  FFT::Compute(256, 0, re.data(), zero.data(), c.data(), d.data());
  EXPECT_EQ(a, c);
  EXPECT_EQ(b, d);
  FFT::Compute(256, 1, a.data(), b.data(), back.data(), backIm.data());
  for (int k = 0; k < 256; k++) {
    ASSERT_NEAR(back[k], re[k], 2e-5f);
    ASSERT_NEAR(backIm[k], 0.0f, 2e-5f);
  }
}

TEST(FFT, FewerThanTwoSamplesEndTheProgram) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    float in[1] = {1}, out[1], outIm[1];
    FFT::Compute(1, 0, in, nullptr, out, outIm);
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.err, "ERROR: FFT::Not enouch samples !\n");
  EXPECT_NE(child.out.find("\n PROGRAM: -- ERROR: at efx2 "), std::string::npos);
}

TEST(FFT, SizesThatAreNotPowersOfTwoStayInsideTheArrays) {
  // Only the whole blocks are combined; the address sanitizer build checks the bounds.
  std::vector<float> re = RandomFloats(12), outRe(12), outIm(12);
  FFT::Compute(12, 0, re.data(), nullptr, outRe.data(), outIm.data());
  for (float v : outRe) EXPECT_TRUE(std::isfinite(v));
}

TEST(PeakFrequency, PowerCentroidOfTheStrongestWindow) {
  std::vector<float> re(256, 0), im(256, 0), power(128);
  re[6] = 3;
  im[6] = 4;
  EXPECT_FLOAT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 44100), 44100.0f * 6 / 256);
  EXPECT_EQ(power[6], 25);
  // Two bins of equal power 40 bins apart: no window holds both, the lowest window wins.
  re[6] = im[6] = 0;
  re[10] = 1;
  re[50] = -1;
  EXPECT_FLOAT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 44100), 44100.0f * 10 / 256);
  // Two bins inside one window: their centroid.
  re[50] = 0;
  re[20] = 1;
  EXPECT_FLOAT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 44100), 44100.0f * 15 / 256);
}

// One window at a time, exactly as the search is defined.
float PlainPeak(uint32_t n, uint32_t w, const std::vector<float> &re, const std::vector<float> &im, float rate) {
  std::vector<float> p(n / 2);
  for (uint32_t k = 0; k < n / 2; k++) p[k] = re[k] * re[k] + im[k] * im[k];
  for (uint32_t k = 0; k <= (uint32_t)((float)n * 20 / rate) && k < n / 2; k++) p[k] = 0;
  float best = -1, centroid = 0;
  for (uint32_t e = w; e < n / 2; e++) {
    float sum = 0, moment = 0;
    for (uint32_t k = e - w; k <= e; k++) sum += p[k], moment += (float)k * p[k];
    if (sum > best) best = sum, centroid = moment / sum;
  }
  return best > 0 ? rate * centroid / (float)n : -1;
}

TEST(PeakFrequency, MatchesTheWindowByWindowSearchExactly) {
  srand(21);
  const uint32_t cases[][2] = {{256, 32}, {64, 5}, {64, 6}, {128, 62}, {32, 15}, {32, 16}};
  for (const auto &c : cases)
    for (int round = 0; round < 20; round++) {
      std::vector<float> re = RandomFloats(c[0]), im = RandomFloats(c[0]), power(c[0] / 2);
      if (round % 4 == 0) re.assign(c[0], 0.5f), im.assign(c[0], 0);  // flat power: every window ties
      EXPECT_EQ(FFT::PeakFrequency(c[0], c[1], re.data(), im.data(), power.data(), 44100),
                PlainPeak(c[0], c[1], re, im, 44100))
          << "n " << c[0] << " w " << c[1] << " round " << round;
    }
}

TEST(PeakFrequency, LowCutAndSilence) {
  std::vector<float> re(256, 0), im(256, 0), power(128);
  re[0] = 100;  // the constant component alone is silence
  EXPECT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 44100), -1.0f);
  EXPECT_EQ(power[0], 0);
  // At a rate of 1000 Hz the bins up to 256 * 20 / 1000 = 5 are cut.
  re[5] = 1;
  EXPECT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 1000), -1.0f);
  re[6] = 1;
  EXPECT_FLOAT_EQ(FFT::PeakFrequency(256, 32, re.data(), im.data(), power.data(), 1000), 1000.0f * 6 / 256);
}

uint16_t Tone(int k, double bin, double amplitude, bool signedSamples) {
  const double x = amplitude * sin(2 * M_PI * bin * k / 256);
  if (signedSamples) return (uint16_t)(int16_t)lround(x);  // as the sound library's signed samples arrive
  return (uint16_t)lround(32768 + x);
}

TEST(Spectrum, PureTonesLandInTheirBands) {
  struct Case {
    double bin;
    int band;
  };
  const Case cases[] = {{1, 1}, {2, 2}, {4, 3}, {6, 4}, {12, 4}, {24, 5}, {40, 6}, {72, 7}, {90, 8}};
  // Signed samples read as unsigned add a square wave of the tone's own period; its odd harmonics pull the
  // centroid of the low and the high tones out of their bands, the middle ones stay.
  for (bool signedSamples : {false, true}) {
    for (const Case &c : cases) {
      if (signedSamples && (c.bin < 6 || c.bin > 40)) continue;
      uint16_t samples[256];
      for (int k = 0; k < 256; k++) samples[k] = Tone(k, c.bin, 12000, signedSamples);
      const float f = SpectrumPeakFrequency(samples);
      if (!signedSamples) {
        EXPECT_NEAR(f, 44100 * c.bin / 256, 1.0) << "bin " << c.bin;
      }
      float levels[SPECTRUM_BANDS] = {};
      SpectrumUpdateBands(levels, f);
      for (int i = 0; i < SPECTRUM_BANDS; i++)
        EXPECT_EQ(levels[i], i == c.band ? 25.0f : 0.0f) << "bin " << c.bin << " band " << i << " signed " << signedSamples;
    }
  }
}

TEST(Spectrum, SilenceRaisesNoBar) {
  uint16_t samples[256] = {};
  EXPECT_EQ(SpectrumPeakFrequency(samples), -1.0f);
  float levels[SPECTRUM_BANDS] = {80, 40, 20, 10, 8, 4, 2, 1, 99};
  SpectrumUpdateBands(levels, -1);
  const float expected[SPECTRUM_BANDS] = {60, 30, 15, 7.5f, 6, 3, 1.5f, 0.75f, 74.25f};
  for (int i = 0; i < SPECTRUM_BANDS; i++) EXPECT_EQ(levels[i], expected[i]);
}

TEST(Spectrum, BandEdgesBelongToTheLowerBand) {
  auto raised = [](float f) {
    float levels[SPECTRUM_BANDS] = {};
    SpectrumUpdateBands(levels, f);
    int band = -1;
    for (int i = 0; i < SPECTRUM_BANDS; i++)
      if (levels[i] > 0) band = band == -1 ? i : 99;
    return band;
  };
  EXPECT_EQ(raised(170), 0);
  EXPECT_EQ(raised(170.01f), 1);
  EXPECT_EQ(raised(60), -1);
  EXPECT_EQ(raised(60.01f), 0);
  EXPECT_EQ(raised(1033.59375f), 4);
  EXPECT_EQ(raised(16000), 8);
  EXPECT_EQ(raised(16000.5f), -1);
  EXPECT_EQ(raised(-1), -1);
}

TEST(Spectrum, RepeatedHitsRiseByAQuarterOfTheRest) {
  float levels[SPECTRUM_BANDS] = {};
  const float rise[] = {25, 43.75f, 57.8125f, 68.359375f};
  for (float expected : rise) {
    SpectrumUpdateBands(levels, 1033.6f);
    EXPECT_EQ(levels[4], expected);
    EXPECT_EQ(levels[3], 0);
  }
  for (int frame = 0; frame < 1000; frame++) SpectrumUpdateBands(levels, 1033.6f);
  EXPECT_LE(levels[4], 100.0f);
}

}  // namespace
