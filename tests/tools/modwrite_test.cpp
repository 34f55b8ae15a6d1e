#include "modwrite/modwrite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <libopenmpt/libopenmpt.hpp>
#include <memory>
#include <sstream>

#include "render.h"
#include "testkit.h"

using namespace modwrite;

namespace {

constexpr int kRate = 44100;
const size_t kRow = size_t(RowSeconds(6, 125) * kRate);  // frames of one row

// The written module as libopenmpt reads it, which must be without a complaint.
std::unique_ptr<openmpt::module> Load(const Module &m) {
  std::ostringstream log;
  auto mod = std::make_unique<openmpt::module>(Write(m), log);
  EXPECT_EQ(log.str(), "");
  return mod;
}

// The song as the tests and the engine render it, once libopenmpt has read it without a complaint.
std::vector<int16_t> Render(const Module &m) {
  Load(m);
  return RenderModule(Write(m), 1024);
}

// Frequency of the left channel from its rising zero crossings between two frames.
double Frequency(const std::vector<int16_t> &s, size_t from, size_t to) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = from + 1; i < to; i++) {
    if (s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
      if (crossings++ == 0) first = i;
      last = i;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) * double(kRate) / double(last - first);
}

double Rms(const std::vector<int16_t> &s, size_t from, size_t to, int side) {
  double sum = 0;
  for (size_t i = from; i < to; i++) sum += double(s[2 * i + side]) * s[2 * i + side];
  return std::sqrt(sum / double(to - from));
}

const Format kFormats[] = {Format::XM, Format::IT};
const char *Name(Format f) { return f == Format::XM ? "XM" : "IT"; }

}  // namespace

TEST(ModWrite, SamplesLoadPlayAtTheirPitchAndTheSongEnds) {
  for (Format f : kFormats) {
    SCOPED_TRACE(Name(f));
    auto mod = Load(SquareTestModule(f, 25));
    EXPECT_EQ(mod->get_num_channels() * 100 + mod->get_num_orders() * 10 + mod->get_num_instruments(), 211);
    EXPECT_NEAR(mod->get_duration_seconds(), 25 * RowSeconds(6, 125), 0.01);
    std::vector<int16_t> s = Render(SquareTestModule(f, 25));
    // libopenmpt renders a short tail after the last row.
    EXPECT_NEAR(double(s.size() / 2) / kRate, 3.07, 0.08);
    EXPECT_NEAR(Frequency(s, kRate / 2, kRate * 2), 261.63, 1.0);
    EXPECT_GT(Rms(s, kRate / 2, kRate * 2, 0), 3000.0);

    // An 8-bit ping-pong sample, one octave up.
    Module m = SquareTestModule(f, 16);
    Sample &sample = m.instruments[0].sample;
    sample.sixteenBit = false;
    sample.loop = Loop::PingPong;
    sample.rate = 8372;  // a 32-frame period: 261.6 Hz at middle C
    sample.data = SquareWave(32, 32 * 40);
    sample.loopEnd = static_cast<uint32_t>(sample.data.size());
    m.patterns[0].At(0, 0).note = kMiddleC + 12;
    s = Render(m);
    // Measured in the first pass through the data, before the loop turns round.
    EXPECT_NEAR(Frequency(s, kRate / 100, kRate * 7 / 100), 523.25, 3.0);
    EXPECT_GT(Rms(s, kRate / 4, kRate, 0), 3000.0);
  }
}

TEST(ModWrite, EnvelopesSustainUntilReleaseThenFadeOut) {
  for (Format f : kFormats) {
    SCOPED_TRACE(Name(f));
    Module m = SquareTestModule(f, 48);
    Instrument &ins = m.instruments[0];
    ins.volumeEnvelope.points = {{0, 64}, {10, 48}, {20, 48}};
    ins.volumeEnvelope.sustain = 2;
    ins.panningEnvelope.points = {{0, -32}, {40, 32}};
    ins.fadeOut = 1024;
    m.patterns[0].At(8, 0).note = kNoteOff;
    std::vector<int16_t> s = Render(m);
    EXPECT_GT(Rms(s, 3 * kRow, 7 * kRow, 0) + Rms(s, 3 * kRow, 7 * kRow, 1), 2000.0);
    EXPECT_LT(Rms(s, 20 * kRow, 24 * kRow, 0) + Rms(s, 20 * kRow, 24 * kRow, 1), 1.0);
    // The panning envelope moves the note from the left towards the right while it sounds.
    EXPECT_GT(Rms(s, 0, kRow / 2, 0), 2 * Rms(s, 0, kRow / 2, 1));
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
  for (Format f : kFormats) {
    SCOPED_TRACE(Name(f));
    Module m = SquareTestModule(f, 32);
    for (int row = 0; row < int(std::size(cases)); row++) {
      m.patterns[0].At(row, 1).effect = cases[row].effect;
      m.patterns[0].At(row, 1).param = cases[row].param;
    }
    auto mod = Load(m);
    for (int row = 0; row < int(std::size(cases)); row++) {
      std::string got = mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_effect) +
                        mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_parameter);
      EXPECT_EQ(got, f == Format::XM ? cases[row].xm : cases[row].it) << "row " << row;
    }
  }
}

TEST(ModWrite, PatternBreakLandsOnItsRowInEachFormat) {
  for (Format f : kFormats) {
    SCOPED_TRACE(Name(f));
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
    auto mod = Load(m);
    // 4 rows at 0.12 s, row 12 at tempo 250 speed 6 (0.06 s), rows 13-31 at speed 3 (0.03 s each).
    EXPECT_NEAR(mod->get_duration_seconds(), 4 * 0.12 + 0.06 + 19 * 0.03, 0.01);
  }
}

TEST(ModWrite, ValidateNamesTheFaultAndWriteRefuses) {
  const Module good = SquareTestModule(Format::XM, 16);
  EXPECT_EQ(Validate(good), "");
  struct Case {
    std::function<void(Module &)> spoil;
    const char *fault;
    bool xmOnly;  // within IT's wider limits
  };
  const Case cases[] = {
      {[](Module &m) { m.orders = {1}; }, "order 1: names no pattern", false},
      {[](Module &m) { m.patterns[0].At(2, 1).note = 108; }, "pattern 1: note out of the format's range", true},
      {[](Module &m) { m.patterns[0].At(2, 1).instrument = 2; }, "pattern 1: names a missing instrument", false},
      {[](Module &m) { m.instruments[0].sample.loopEnd = 5000; }, "instrument 1: sample loop outside the data", false},
      {[](Module &m) {
         for (uint16_t t = 0; t < 13; t++) m.instruments[0].volumeEnvelope.points.push_back({uint16_t(t * 4), 32});
       },
       "instrument 1: an envelope needs 2 to the format's maximum points", true},
      {[](Module &m) { m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 10}}; },
       "instrument 1: envelope ticks must grow", false},
      {[](Module &m) { m.channels = 3; }, "pattern 1: does not match the module's channel count", false},
      {[](Module &m) { m.patterns[0].At(0, 1).effect = Effect::SetSpeed; }, "pattern 1: speed must be 1 to 31", false},
  };
  for (const Case &c : cases) {
    Module bad = good;
    c.spoil(bad);
    EXPECT_EQ(Validate(bad), c.fault);
    EXPECT_TRUE(Write(bad).empty()) << c.fault;
    bad.format = Format::IT;
    EXPECT_EQ(Validate(bad), c.xmOnly ? "" : c.fault);
  }
}

TEST(ModWrite, SaveNamesTheFileItCannotCreate) {
  std::string err;
  EXPECT_FALSE(Save(SquareTestModule(Format::IT, 10), "/nonexistent/folder/x.it", &err));
  EXPECT_EQ(err, "cannot create /nonexistent/folder/x.it");
}
