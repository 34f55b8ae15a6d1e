#include "modwrite/modwrite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <libopenmpt/libopenmpt.hpp>
#include <memory>
#include <sstream>

#include "testkit.h"

using namespace modwrite;

namespace {

constexpr int kRate = 44100;

struct Loaded {
  std::unique_ptr<openmpt::module> mod;
  std::string log;  // libopenmpt's complaints while loading
};

Loaded Load(const std::vector<uint8_t> &bytes) {
  std::ostringstream log;
  Loaded l;
  l.mod = std::make_unique<openmpt::module>(bytes, log);
  l.log = log.str();
  return l;
}

// The whole song, interleaved stereo 16-bit, until libopenmpt says it has ended.
std::vector<int16_t> Render(openmpt::module &mod) {
  std::vector<int16_t> out;
  int16_t buf[2 * 1024];
  for (;;) {
    size_t n = mod.read_interleaved_stereo(kRate, 1024, buf);
    if (n == 0) break;
    out.insert(out.end(), buf, buf + 2 * n);
  }
  return out;
}

// Frequency of the left channel from its rising zero crossings between two frames.
double Frequency(const std::vector<int16_t> &s, size_t from, size_t to) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = from + 1; i < to; i++) {
    if (s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      crossings++;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(kRate) / static_cast<double>(last - first);
}

double Rms(const std::vector<int16_t> &s, size_t from, size_t to, int side) {
  double sum = 0;
  for (size_t i = from; i < to; i++) sum += double(s[2 * i + side]) * s[2 * i + side];
  return std::sqrt(sum / double(to - from));
}

unsigned U16(const std::vector<uint8_t> &b, size_t at) { return b[at] | (b[at + 1] << 8); }
unsigned U32(const std::vector<uint8_t> &b, size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

// One channel with a sustained note released on row 8: volume envelope with sustain, then fade-out.
Module EnvelopeModule(Format format) {
  Module m = SquareTestModule(format, 48);
  Instrument &ins = m.instruments[0];
  ins.volumeEnvelope.points = {{0, 64}, {10, 48}, {20, 48}};
  ins.volumeEnvelope.sustain = 2;
  ins.panningEnvelope.points = {{0, -32}, {40, 32}};
  ins.fadeOut = 1024;
  m.patterns[0].At(8, 0).note = kNoteOff;
  return m;
}

}  // namespace

TEST(ModWrite, HeadersCarryTheFieldsTheProbeReads) {
  Module m = SquareTestModule(Format::XM, 16);
  m.orders = {0, 0, 0};
  std::vector<uint8_t> xm = Write(m);
  ASSERT_GE(xm.size(), 336u);
  EXPECT_EQ(std::string(xm.begin(), xm.begin() + 17), "Extended Module: ");
  EXPECT_EQ(xm[37], 0x1A);
  EXPECT_EQ(U16(xm, 58), 0x0104u);
  EXPECT_EQ(U32(xm, 60), 276u);
  EXPECT_EQ(U16(xm, 64), 3u);
  EXPECT_EQ(U16(xm, 68), 2u);  // channels

  m.format = Format::IT;
  std::vector<uint8_t> it = Write(m);
  ASSERT_GE(it.size(), 192u);
  EXPECT_EQ(U32(it, 0), 0x4D504D49u);
  EXPECT_EQ(U16(it, 32), 3u);
}

TEST(ModWrite, SquareModuleLoadsPlaysAtMiddleCAndEnds) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Loaded l = Load(Write(SquareTestModule(f, 25)));
    EXPECT_EQ(l.log, "");
    EXPECT_EQ(l.mod->get_num_channels(), 2);
    EXPECT_EQ(l.mod->get_num_orders(), 1);
    EXPECT_EQ(l.mod->get_num_instruments(), 1);
    EXPECT_NEAR(l.mod->get_duration_seconds(), 25 * RowSeconds(6, 125), 0.01);
    std::vector<int16_t> s = Render(*l.mod);
    size_t frames = s.size() / 2;
    // libopenmpt renders a short tail after the last row.
    EXPECT_GE(double(frames) / kRate, 3.0);
    EXPECT_LE(double(frames) / kRate, 3.15);
    EXPECT_NEAR(Frequency(s, kRate / 2, kRate * 2), 261.63, 1.0);
    EXPECT_GT(Rms(s, kRate / 2, kRate * 2, 0), 3000.0);
  }
}

TEST(ModWrite, EightBitPingPongSamplesKeepTheirPitch) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Module m = SquareTestModule(f, 16);
    Sample &s = m.instruments[0].sample;
    s.sixteenBit = false;
    s.loop = Loop::PingPong;
    s.rate = 8372;  // a 32-frame period: 261.6 Hz at middle C, one octave up at 72
    s.data = SquareWave(32, 32 * 40);
    s.loopEnd = static_cast<uint32_t>(s.data.size());
    m.patterns[0].At(0, 0).note = kMiddleC + 12;
    Loaded l = Load(Write(m));
    EXPECT_EQ(l.log, "");
    std::vector<int16_t> out = Render(*l.mod);
    // Measured in the first pass through the data, before the loop turns round.
    EXPECT_NEAR(Frequency(out, kRate / 100, kRate * 7 / 100), 523.25, 3.0);
    EXPECT_GT(Rms(out, kRate / 4, kRate, 0), 3000.0);
  }
}

TEST(ModWrite, VolumeEnvelopeSustainsUntilReleaseThenFadesOut) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Loaded l = Load(Write(EnvelopeModule(f)));
    EXPECT_EQ(l.log, "");
    std::vector<int16_t> s = Render(*l.mod);
    size_t row = size_t(RowSeconds(6, 125) * kRate);
    double held = Rms(s, 3 * row, 7 * row, 0) + Rms(s, 3 * row, 7 * row, 1);
    double late = Rms(s, 20 * row, 24 * row, 0) + Rms(s, 20 * row, 24 * row, 1);
    EXPECT_GT(held, 2000.0);
    EXPECT_LT(late, 1.0);
    // The panning envelope moves the note from the left towards the right while it sounds.
    EXPECT_GT(Rms(s, 0, row / 2, 0), 2 * Rms(s, 0, row / 2, 1));
  }
}

TEST(ModWrite, PanningPlacesTheNote) {
  // IT pans by channel, XM by the sample's own panning; both put this note hard left, and the panning
  // effect then moves it hard right.
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Module m = SquareTestModule(f, 16);
    m.channelPanning = {0, 128};
    if (f == Format::XM) m.instruments[0].sample.panning = 0;
    m.patterns[0].At(8, 0).effect = Effect::SetPanning;
    m.patterns[0].At(8, 0).param = 255;
    Loaded l = Load(Write(m));
    std::vector<int16_t> s = Render(*l.mod);
    size_t row = size_t(RowSeconds(6, 125) * kRate);
    EXPECT_GT(Rms(s, row, 7 * row, 0), 2000.0);
    EXPECT_LT(Rms(s, row, 7 * row, 1), 100.0);
    EXPECT_LT(Rms(s, 9 * row, 15 * row, 0), 100.0);
    EXPECT_GT(Rms(s, 9 * row, 15 * row, 1), 2000.0);
  }
}

TEST(ModWrite, EffectsTranslateToEachFormat) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Module m = SquareTestModule(f, 32);
    m.AddPattern(32);
    m.orders = {0, 1};
    // Break to row 12 of the next order (XM encodes the row in decimal digits) and double the tempo there.
    m.patterns[0].At(3, 1).effect = Effect::PatternBreak;
    m.patterns[0].At(3, 1).param = 12;
    m.patterns[1].At(12, 1).effect = Effect::SetTempo;
    m.patterns[1].At(12, 1).param = 250;
    m.patterns[1].At(13, 1).effect = Effect::SetSpeed;
    m.patterns[1].At(13, 1).param = 3;
    Loaded l = Load(Write(m));
    EXPECT_EQ(l.log, "");
    EXPECT_EQ(l.mod->get_num_orders(), 2);
    // 4 rows at 0.12 s, row 12 at tempo 250 speed 6 (0.06 s), rows 13-31 at speed 3 (0.03 s each).
    EXPECT_NEAR(l.mod->get_duration_seconds(), 4 * 0.12 + 0.06 + 19 * 0.03, 0.01);
    std::string cell = l.mod->format_pattern_row_channel_command(1, 12, 1, openmpt::module::command_effect);
    EXPECT_EQ(cell, f == Format::XM ? "F" : "T");
  }
}

TEST(ModWrite, EveryEffectGetsTheFormatsLetter) {
  struct Case {
    Effect effect;
    uint8_t param;
    const char *xm;  // effect letter and parameter as the format writes them
    const char *it;
  };
  const Case cases[] = {
      {Effect::Arpeggio, 0x47, "047", "J47"},          {Effect::PortaUp, 0x10, "110", "F10"},
      {Effect::PortaDown, 0x10, "210", "E10"},         {Effect::TonePorta, 0x20, "320", "G20"},
      {Effect::Vibrato, 0x44, "444", "H44"},           {Effect::TonePortaVolSlide, 0x02, "502", "L02"},
      {Effect::VibratoVolSlide, 0x20, "620", "K20"},   {Effect::Tremolo, 0x33, "733", "R33"},
      {Effect::SetPanning, 0x80, "880", "X80"},        {Effect::SampleOffset, 0x04, "904", "O04"},
      {Effect::VolumeSlide, 0x01, "A01", "D01"},       {Effect::PositionJump, 0x00, "B00", "B00"},
      {Effect::NoteCut, 3, "EC3", "SC3"},              {Effect::NoteDelay, 2, "ED2", "SD2"},
      {Effect::Retrigger, 3, "R03", "Q03"},            {Effect::SetSpeed, 5, "F05", "A05"},
      {Effect::SetTempo, 0x90, "F90", "T90"},          {Effect::GlobalVolume, 32, "G20", "V40"},
      {Effect::GlobalVolumeSlide, 0x10, "H10", "W10"},
  };
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Module m = SquareTestModule(f, 32);
    int row = 0;
    for (const Case &c : cases) {
      m.patterns[0].At(row, 1).effect = c.effect;
      m.patterns[0].At(row++, 1).param = c.param;
    }
    Loaded l = Load(Write(m));
    row = 0;
    for (const Case &c : cases) {
      std::string got = l.mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_effect) +
                        l.mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_parameter);
      EXPECT_EQ(got, f == Format::XM ? c.xm : c.it) << "row " << row;
      row++;
    }
  }
}

TEST(ModWrite, NoteCutAndVolumeColumnSilenceTheChannel) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    Module m = SquareTestModule(f, 16);
    m.patterns[0].At(4, 0).effect = Effect::NoteCut;
    m.patterns[0].At(4, 0).param = 0;
    m.patterns[0].At(8, 0).note = kMiddleC;
    m.patterns[0].At(8, 0).instrument = 1;
    m.patterns[0].At(8, 0).volume = 0;
    Loaded l = Load(Write(m));
    std::vector<int16_t> s = Render(*l.mod);
    size_t row = size_t(RowSeconds(6, 125) * kRate);
    EXPECT_GT(Rms(s, row, 3 * row, 0), 2000.0);
    EXPECT_LT(Rms(s, 5 * row, 15 * row, 0), 1.0);
  }
}

TEST(ModWrite, ValidateNamesTheFault) {
  Module m = SquareTestModule(Format::XM, 16);
  EXPECT_EQ(Validate(m), "");
  Module bad = m;
  bad.orders = {1};
  EXPECT_EQ(Validate(bad), "order 1: names no pattern");
  EXPECT_TRUE(Write(bad).empty());
  bad = m;
  bad.patterns[0].At(2, 1).note = 108;
  EXPECT_EQ(Validate(bad), "pattern 1: note out of the format's range");
  bad.format = Format::IT;
  EXPECT_EQ(Validate(bad), "");
  bad = m;
  bad.patterns[0].At(2, 1).instrument = 2;
  EXPECT_EQ(Validate(bad), "pattern 1: names a missing instrument");
  bad = m;
  bad.instruments[0].sample.loopEnd = 5000;
  EXPECT_EQ(Validate(bad), "instrument 1: sample loop outside the data");
  bad = m;
  for (uint16_t t = 0; t < 13; t++) bad.instruments[0].volumeEnvelope.points.push_back({uint16_t(t * 4), 32});
  EXPECT_EQ(Validate(bad), "instrument 1: an envelope needs 2 to the format's maximum points");
  bad.format = Format::IT;
  EXPECT_EQ(Validate(bad), "");
  bad = m;
  bad.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 10}};
  EXPECT_EQ(Validate(bad), "instrument 1: envelope ticks must grow");
  bad = m;
  bad.channels = 3;
  EXPECT_EQ(Validate(bad), "pattern 1: does not match the module's channel count");
  bad = m;
  bad.patterns[0].At(0, 1).effect = Effect::SetSpeed;
  bad.patterns[0].At(0, 1).param = 0;
  EXPECT_EQ(Validate(bad), "pattern 1: speed must be 1 to 31");
}

TEST(ModWrite, SavedFilesRenderWithTheCommandLinePlayer) {
  ScopedTempDir dir;
  std::string err;
  ASSERT_TRUE(Save(SquareTestModule(Format::XM, 10), "sq.xm", &err)) << err;
  ASSERT_TRUE(Save(EnvelopeModule(Format::IT), "env.it", &err)) << err;
  EXPECT_FALSE(Save(SquareTestModule(Format::IT, 10), "missing/folder/x.it", &err));
  EXPECT_EQ(err, "cannot create missing/folder/x.it");
  ASSERT_EQ(std::system("openmpt123 -q --render --output-type wav sq.xm env.it >/dev/null 2>&1"), 0);
  // WAVs of 48 kHz float stereo: about 1.2 s and 5.76 s of frames, plus the tail and the header.
  std::string sq = ReadWholeFile("sq.xm.wav"), env = ReadWholeFile("env.it.wav");
  EXPECT_NEAR(double(sq.size()) / (48000 * 8), 1.2 + 0.1, 0.05);
  EXPECT_NEAR(double(env.size()) / (48000 * 8), 48 * 0.12 + 0.1, 0.05);
}
