#include "compose/synth.h"

#include <algorithm>
#include <cmath>

namespace compose {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMiddleCHz = 261.6255653;
constexpr uint32_t kDrumRate = 44100;

// Periods per loop of the centre voice and the loop length: detuning a voice by one period per loop
// moves it by about 13.5 cents.
constexpr int kLoopPeriods = 128;
constexpr int kLoopFrames = 16384;

// A float signal scaled so its loudest frame sits just below full scale.
std::vector<int16_t> ToPcm(const std::vector<double> &x) {
  double peak = 1e-9;
  for (double v : x) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> out(x.size());
  for (size_t i = 0; i < x.size(); i++) out[i] = static_cast<int16_t>(std::lround(x[i] / peak * 31000.0));
  return out;
}

modwrite::Sample MakeSample(const char *name, const std::vector<double> &x, uint32_t rate) {
  modwrite::Sample s;
  s.name = name;
  s.data = ToPcm(x);
  s.rate = rate;
  return s;
}

double HarmonicAmplitude(Wave wave, int h) {
  switch (wave) {
    case Wave::Sine: return h == 1 ? 1.0 : 0.0;
    case Wave::Saw: return 1.0 / h;
    case Wave::Square: return h % 2 ? 1.0 / h : 0.0;
    case Wave::Triangle: return h % 2 ? ((h / 2) % 2 ? -1.0 : 1.0) / (double(h) * h) : 0.0;
    case Wave::Pulse25: return std::sin(kPi * h * 0.25) / h;
    case Wave::Pulse12: return std::sin(kPi * h * 0.125) / h;
  }
  return 0.0;
}

// RBJ biquad, enough for the drums' noise shaping.
class Biquad {
 public:
  static Biquad BandPass(double hz, double q, double rate) { return Make(hz, q, rate, 0); }
  static Biquad HighPass(double hz, double q, double rate) { return Make(hz, q, rate, 1); }
  static Biquad LowPass(double hz, double q, double rate) { return Make(hz, q, rate, 2); }
  double Run(double x) {
    double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  static Biquad Make(double hz, double q, double rate, int kind) {
    Biquad f;
    double w = 2 * kPi * hz / rate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    double a0 = 1 + alpha;
    if (kind == 0) {
      f.b0_ = alpha / a0;
      f.b1_ = 0;
      f.b2_ = -alpha / a0;
    } else if (kind == 1) {
      f.b0_ = (1 + c) / 2 / a0;
      f.b1_ = -(1 + c) / a0;
      f.b2_ = f.b0_;
    } else {
      f.b0_ = (1 - c) / 2 / a0;
      f.b1_ = (1 - c) / a0;
      f.b2_ = f.b0_;
    }
    f.a1_ = -2 * c / a0;
    f.a2_ = (1 - alpha) / a0;
    return f;
  }
  double b0_ = 0, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

double Noise(Rng &rng) { return rng.Unit() * 2.0 - 1.0; }

}  // namespace

Rng::Rng(uint64_t seed) : state_(seed * 6364136223846793005ULL + 1442695040888963407ULL) { Next(); }

uint32_t Rng::Next() {
  uint64_t old = state_;
  state_ = old * 6364136223846793005ULL + 1442695040888963407ULL;
  uint32_t shifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
  uint32_t rot = static_cast<uint32_t>(old >> 59);
  return (shifted >> rot) | (shifted << ((32 - rot) & 31));
}

double Rng::Unit() { return Next() / 4294967296.0; }

modwrite::Sample Tone(const ToneRecipe &recipe, const char *name) {
  const uint32_t rate = static_cast<uint32_t>(std::lround(kMiddleCHz * kLoopFrames / kLoopPeriods));
  const size_t opening = static_cast<size_t>(recipe.attackSeconds * rate);
  const size_t total = opening + kLoopFrames;
  // Every partial makes a whole number of cycles per loop, so one table of sines serves all phases.
  std::vector<double> table(kLoopFrames);
  for (int i = 0; i < kLoopFrames; i++) table[static_cast<size_t>(i)] = std::sin(2 * kPi * i / kLoopFrames);

  std::vector<double> x(total, 0.0);
  int maxH = std::max(1, static_cast<int>(recipe.maxHarmonicHz / kMiddleCHz));
  for (int v = 0; v < recipe.voices; v++) {
    // Voices sit `detune` periods per loop apart, symmetric around the centre (13.5 cents per period).
    int offset = recipe.voices % 2 ? (v - recipe.voices / 2) * recipe.detune : (2 * v - (recipe.voices - 1)) * recipe.detune;
    uint64_t k = static_cast<uint64_t>(kLoopPeriods + offset);
    uint64_t phase0 = static_cast<uint64_t>(v) * 2731;
    for (int h = 1; h <= maxH && k * h < kLoopFrames / 2; h++) {
      double base = HarmonicAmplitude(recipe.wave, h);
      if (base == 0.0) continue;
      for (size_t i = 0; i < total; i++) {
        double b = recipe.brightness;
        if (i < opening && recipe.attackBrightness >= 0) {
          double t = double(i) / opening;
          b = recipe.attackBrightness + (recipe.brightness - recipe.attackBrightness) * (1 - (1 - t) * (1 - t));
        }
        double amp = base * std::pow(b, h - 1);
        x[i] += amp * table[(k * h * i + phase0 * h) % kLoopFrames];
      }
    }
  }
  if (opening > 0 && recipe.decaySeconds > 0) {
    auto level = [&](double t) {
      return recipe.sustainLevel + (1 - recipe.sustainLevel) * std::exp(-t / (recipe.decaySeconds / 4));
    };
    // Scaled so that the opening meets the loop's level exactly where the loop starts.
    double end = level(double(opening) / rate);
    for (size_t i = 0; i < opening; i++) x[i] *= level(double(i) / rate) * recipe.sustainLevel / end;
    for (size_t i = opening; i < total; i++) x[i] *= recipe.sustainLevel;
  }
  modwrite::Sample s = MakeSample(name, x, rate);
  s.loop = modwrite::Loop::Forward;
  s.loopStart = static_cast<uint32_t>(opening);
  s.loopEnd = static_cast<uint32_t>(total);
  s.sixteenBit = !recipe.eightBit;
  return s;
}

modwrite::Sample Kick(double startHz, double endHz, double seconds, double click, const char *name) {
  Rng rng(11);
  size_t n = static_cast<size_t>(seconds * kDrumRate);
  std::vector<double> x(n);
  double phase = 0;
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    double hz = endHz + (startHz - endHz) * std::exp(-t / 0.035);
    phase += 2 * kPi * hz / kDrumRate;
    double amp = std::exp(-t / (seconds * 0.35)) * (1 - t / seconds);
    x[i] = std::sin(phase) * amp;
    if (t < 0.004) x[i] += click * Noise(rng) * (1 - t / 0.004);
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Sample Snare(double toneHz, double noiseMix, double seconds, const char *name) {
  Rng rng(23);
  size_t n = static_cast<size_t>(seconds * kDrumRate);
  std::vector<double> x(n);
  Biquad hp = Biquad::HighPass(1200, 0.7, kDrumRate);
  Biquad lp = Biquad::LowPass(9000, 0.7, kDrumRate);
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    double tone = std::sin(2 * kPi * toneHz * t) * std::exp(-t / 0.045) + 0.5 * std::sin(2 * kPi * toneHz * 1.6 * t) * std::exp(-t / 0.03);
    double noise = lp.Run(hp.Run(Noise(rng))) * std::exp(-t / (seconds * 0.3));
    x[i] = (1 - noiseMix) * tone + noiseMix * 2.2 * noise;
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Sample Clap(const char *name) {
  Rng rng(37);
  size_t n = static_cast<size_t>(0.35 * kDrumRate);
  std::vector<double> x(n);
  Biquad bp = Biquad::BandPass(1300, 1.2, kDrumRate);
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    double env = 0;
    for (int b = 0; b < 3; b++) {
      double tb = t - b * 0.011;
      if (tb >= 0 && tb < 0.011) env = std::max(env, std::exp(-tb / 0.004));
    }
    if (t >= 0.033) env = std::max(env, std::exp(-(t - 0.033) / 0.07));
    x[i] = bp.Run(Noise(rng)) * env;
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Sample HiHat(double seconds, double cutoffHz, const char *name) {
  Rng rng(41);
  size_t n = static_cast<size_t>(seconds * kDrumRate);
  std::vector<double> x(n);
  Biquad hp = Biquad::HighPass(cutoffHz, 0.9, kDrumRate);
  Biquad hp2 = Biquad::HighPass(cutoffHz, 0.9, kDrumRate);
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    // A few inharmonic square partials give the metal its ring.
    double metal = 0;
    for (double f : {317.0, 540.0, 797.0, 1043.0, 1371.0, 1606.0})
      metal += std::sin(2 * kPi * f * 3.1 * t) > 0 ? 1 : -1;
    double src = Noise(rng) + 0.08 * metal;
    x[i] = hp2.Run(hp.Run(src)) * std::exp(-t / (seconds * 0.28)) * std::min(1.0, t / 0.0008);
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Sample Shaker(const char *name) {
  Rng rng(43);
  size_t n = static_cast<size_t>(0.16 * kDrumRate);
  std::vector<double> x(n);
  Biquad bp = Biquad::BandPass(6500, 0.8, kDrumRate);
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    double env = t < 0.025 ? t / 0.025 : std::exp(-(t - 0.025) / 0.035);
    x[i] = bp.Run(Noise(rng)) * env;
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Sample ChipNoise(double seconds, int period, const char *name) {
  size_t n = static_cast<size_t>(seconds * kDrumRate);
  std::vector<double> x(n);
  uint32_t lfsr = 0x4001;
  double level = 1;
  for (size_t i = 0; i < n; i++) {
    if (i % static_cast<size_t>(period) == 0) {
      uint32_t bit = (lfsr ^ (lfsr >> 1)) & 1;
      lfsr = (lfsr >> 1) | (bit << 14);
      level = (lfsr & 1) ? 1.0 : -1.0;
    }
    double t = double(i) / kDrumRate;
    x[i] = level * std::exp(-t / (seconds * 0.3));
  }
  modwrite::Sample s = MakeSample(name, x, kDrumRate);
  s.sixteenBit = false;
  return s;
}

modwrite::Sample Pluck(double seconds, double damping, const char *name) {
  Rng rng(53);
  const int period = 128;
  // The averaging filter delays by half a frame, so the string sounds at rate / (period + 0.5).
  const uint32_t rate = static_cast<uint32_t>(std::lround(kMiddleCHz * (period + 0.5)));
  size_t n = static_cast<size_t>(seconds * rate);
  std::vector<double> x(n);
  double lp = 0;
  for (int i = 0; i < period; i++) {
    lp += 0.5 * (Noise(rng) - lp);
    x[static_cast<size_t>(i)] = lp;
  }
  for (size_t i = period; i < n; i++) {
    double prev = i > static_cast<size_t>(period) ? x[i - period - 1] : 0.0;
    x[i] = damping * 0.5 * (x[i - period] + prev);
  }
  // A short fade keeps the end free of a click.
  for (size_t i = n - n / 10; i < n; i++) x[i] *= double(n - i) / (n / 10);
  return MakeSample(name, x, rate);
}

modwrite::Sample Bell(double ratio, double index, double seconds, const char *name) {
  size_t n = static_cast<size_t>(seconds * kDrumRate);
  std::vector<double> x(n);
  for (size_t i = 0; i < n; i++) {
    double t = double(i) / kDrumRate;
    double mod = index * std::exp(-t / 0.5) * std::sin(2 * kPi * kMiddleCHz * ratio * t);
    double amp = std::exp(-t / (seconds * 0.3)) * std::min(1.0, t / 0.002) * (1 - t / seconds);
    x[i] = std::sin(2 * kPi * kMiddleCHz * t + mod) * amp;
  }
  return MakeSample(name, x, kDrumRate);
}

modwrite::Envelope Adsr(int attackTicks, int decayTicks, int sustain, int releaseTicks) {
  modwrite::Envelope e;
  uint16_t t = 0;
  if (attackTicks > 0) {
    e.points.push_back({0, 0});
    t = static_cast<uint16_t>(attackTicks);
  }
  e.points.push_back({t, 64});
  t = static_cast<uint16_t>(t + std::max(1, decayTicks));
  e.points.push_back({t, static_cast<int8_t>(sustain)});
  e.sustain = static_cast<int>(e.points.size()) - 1;
  e.points.push_back({static_cast<uint16_t>(t + std::max(1, releaseTicks)), 0});
  return e;
}

}  // namespace compose
