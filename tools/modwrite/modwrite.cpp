#include "modwrite/modwrite.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace modwrite {

namespace {

// Little-endian byte sink with patching, so headers can be filled in once the sizes are known.
class Bytes {
 public:
  void U8(unsigned v) { out_.push_back(static_cast<uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  // A fixed-size text field, padded with zeros; longer text is cut.
  void Text(const std::string &s, size_t size) {
    for (size_t i = 0; i < size; i++) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  }
  void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  void PatchU16(size_t at, unsigned v) {
    out_[at] = static_cast<uint8_t>(v & 0xFF);
    out_[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  void PatchU32(size_t at, uint32_t v) {
    PatchU16(at, v & 0xFFFF);
    PatchU16(at + 2, v >> 16);
  }
  size_t Size() const { return out_.size(); }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

// Format command numbers: XM uses 0-9 and A-Z as 10-35, IT the letters A-Z as 1-26.
constexpr unsigned XmLetter(char c) { return static_cast<unsigned>(c - 'A' + 10); }
constexpr unsigned ItLetter(char c) { return static_cast<unsigned>(c - 'A' + 1); }

struct Command {
  unsigned command;
  unsigned param;
};

Command XmCommand(Effect e, unsigned p) {
  switch (e) {
    case Effect::None: return {0, 0};
    case Effect::Arpeggio: return {0, p};
    case Effect::PortaUp: return {1, p};
    case Effect::PortaDown: return {2, p};
    case Effect::TonePorta: return {3, p};
    case Effect::Vibrato: return {4, p};
    case Effect::TonePortaVolSlide: return {5, p};
    case Effect::VibratoVolSlide: return {6, p};
    case Effect::Tremolo: return {7, p};
    case Effect::SetPanning: return {8, p};
    case Effect::SampleOffset: return {9, p};
    case Effect::VolumeSlide: return {XmLetter('A'), p};
    case Effect::PositionJump: return {XmLetter('B'), p};
    // FT2 reads the break row as two decimal digits.
    case Effect::PatternBreak: return {XmLetter('D'), (p / 10) * 16 + p % 10};
    case Effect::NoteCut: return {XmLetter('E'), 0xC0 | (p & 0x0F)};
    case Effect::NoteDelay: return {XmLetter('E'), 0xD0 | (p & 0x0F)};
    case Effect::Retrigger: return {XmLetter('R'), p & 0x0F};
    case Effect::SetSpeed: return {XmLetter('F'), p};
    case Effect::SetTempo: return {XmLetter('F'), p};
    case Effect::GlobalVolume: return {XmLetter('G'), p};
    case Effect::GlobalVolumeSlide: return {XmLetter('H'), p};
  }
  return {0, 0};
}

Command ItCommand(Effect e, unsigned p) {
  switch (e) {
    case Effect::None: return {0, 0};
    case Effect::Arpeggio: return {ItLetter('J'), p};
    case Effect::PortaUp: return {ItLetter('F'), p};
    case Effect::PortaDown: return {ItLetter('E'), p};
    case Effect::TonePorta: return {ItLetter('G'), p};
    case Effect::Vibrato: return {ItLetter('H'), p};
    case Effect::TonePortaVolSlide: return {ItLetter('L'), p};
    case Effect::VibratoVolSlide: return {ItLetter('K'), p};
    case Effect::Tremolo: return {ItLetter('R'), p};
    case Effect::SetPanning: return {ItLetter('X'), p};
    case Effect::SampleOffset: return {ItLetter('O'), p};
    case Effect::VolumeSlide: return {ItLetter('D'), p};
    case Effect::PositionJump: return {ItLetter('B'), p};
    case Effect::PatternBreak: return {ItLetter('C'), p};
    case Effect::NoteCut: return {ItLetter('S'), 0xC0 | (p & 0x0F)};
    case Effect::NoteDelay: return {ItLetter('S'), 0xD0 | (p & 0x0F)};
    case Effect::Retrigger: return {ItLetter('Q'), p & 0x0F};
    case Effect::SetSpeed: return {ItLetter('A'), p};
    case Effect::SetTempo: return {ItLetter('T'), p};
    case Effect::GlobalVolume: return {ItLetter('V'), p >= 64 ? 128 : p * 2};
    case Effect::GlobalVolumeSlide: return {ItLetter('W'), p};
  }
  return {0, 0};
}

std::string Describe(const char *what, size_t index, const char *fault) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s %zu: %s", what, index + 1, fault);
  return buf;
}

std::string CheckEnvelope(const Envelope &env, size_t instrument, size_t maxPoints, bool panning) {
  if (env.points.empty()) return "";
  if (env.points.size() < 2 || env.points.size() > maxPoints)
    return Describe("instrument", instrument, "an envelope needs 2 to the format's maximum points");
  for (size_t i = 0; i < env.points.size(); i++) {
    int v = env.points[i].value;
    if (panning ? (v < -32 || v > 32) : (v < 0 || v > 64))
      return Describe("instrument", instrument, "envelope value out of range");
    if (i > 0 && env.points[i].tick <= env.points[i - 1].tick)
      return Describe("instrument", instrument, "envelope ticks must grow");
  }
  int n = static_cast<int>(env.points.size());
  if (env.sustain >= n || env.loopStart >= n || env.loopEnd >= n || env.sustain < -1 || env.loopStart < -1 ||
      env.loopEnd < -1)
    return Describe("instrument", instrument, "envelope point index out of range");
  if ((env.loopStart < 0) != (env.loopEnd < 0) || env.loopEnd < env.loopStart)
    return Describe("instrument", instrument, "envelope loop needs a start and an end in order");
  return "";
}

uint8_t XmNote(uint8_t note) {
  if (note == kNoteOff) return 97;
  return static_cast<uint8_t>(note - 11);  // middle C (60) is FT2's "C-4", note 49
}

// FT2 tunes a sample by a semitone offset and a finetune in 1/128 semitones, relative to 8363 Hz.
void XmTuning(uint32_t rate, int *relative, int *finetune) {
  double semis = 12.0 * std::log2(static_cast<double>(rate) / 8363.0);
  int rel = static_cast<int>(std::lround(semis));
  int fine = static_cast<int>(std::lround((semis - rel) * 128.0));
  if (fine > 127) fine = 127;
  if (fine < -128) fine = -128;
  *relative = rel;
  *finetune = fine;
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] XM
// ---------------------------------------------------------------------------------------------------

void WriteXmPattern(Bytes &b, const Pattern &p) {
  Bytes packed;
  for (int r = 0; r < p.rows; r++) {
    for (int c = 0; c < p.channels; c++) {
      const Cell &cell = p.At(r, c);
      Command cmd = XmCommand(cell.effect, cell.param);
      unsigned mask = 0;
      if (cell.note != kNoNote) mask |= 1;
      if (cell.instrument) mask |= 2;
      if (cell.volume != kNoVolume) mask |= 4;
      if (cmd.command) mask |= 8;
      if (cmd.param) mask |= 16;
      packed.U8(0x80 | mask);
      if (mask & 1) packed.U8(XmNote(cell.note));
      if (mask & 2) packed.U8(cell.instrument);
      if (mask & 4) packed.U8(0x10 + static_cast<unsigned>(cell.volume));
      if (mask & 8) packed.U8(cmd.command);
      if (mask & 16) packed.U8(cmd.param);
    }
  }
  std::vector<uint8_t> data = packed.Take();
  b.U32(9);
  b.U8(0);
  b.U16(static_cast<unsigned>(p.rows));
  b.U16(static_cast<unsigned>(data.size()));
  for (uint8_t v : data) b.U8(v);
}

void WriteXmEnvelopePoints(Bytes &b, const Envelope &env, bool panning) {
  for (size_t i = 0; i < 12; i++) {
    if (i < env.points.size()) {
      b.U16(env.points[i].tick);
      b.U16(static_cast<unsigned>(env.points[i].value + (panning ? 32 : 0)));
    } else {
      b.U32(0);
    }
  }
}

unsigned XmEnvelopeType(const Envelope &env) {
  if (env.points.empty()) return 0;
  return 1 | (env.sustain >= 0 ? 2 : 0) | (env.loopStart >= 0 ? 4 : 0);
}

void WriteXmInstrument(Bytes &b, const Instrument &ins) {
  const Sample &s = ins.sample;
  b.U32(263);
  b.Text(ins.name, 22);
  b.U8(0);
  b.U16(1);
  b.U32(40);
  b.Zeros(96);  // every note plays sample 0
  WriteXmEnvelopePoints(b, ins.volumeEnvelope, false);
  WriteXmEnvelopePoints(b, ins.panningEnvelope, true);
  const Envelope *envs[2] = {&ins.volumeEnvelope, &ins.panningEnvelope};
  b.U8(static_cast<unsigned>(ins.volumeEnvelope.points.size()));
  b.U8(static_cast<unsigned>(ins.panningEnvelope.points.size()));
  for (const Envelope *e : envs) {
    b.U8(static_cast<unsigned>(e->sustain < 0 ? 0 : e->sustain));
    b.U8(static_cast<unsigned>(e->loopStart < 0 ? 0 : e->loopStart));
    b.U8(static_cast<unsigned>(e->loopEnd < 0 ? 0 : e->loopEnd));
  }
  b.U8(XmEnvelopeType(ins.volumeEnvelope));
  b.U8(XmEnvelopeType(ins.panningEnvelope));
  b.Zeros(4);  // no auto-vibrato
  b.U16(ins.fadeOut);
  b.Zeros(22);

  unsigned width = s.sixteenBit ? 2 : 1;
  uint32_t loopLength = s.loop == Loop::None ? 0 : s.loopEnd - s.loopStart;
  int relative = 0, finetune = 0;
  XmTuning(s.rate, &relative, &finetune);
  b.U32(static_cast<uint32_t>(s.data.size()) * width);
  b.U32(s.loop == Loop::None ? 0 : s.loopStart * width);
  b.U32(loopLength * width);
  b.U8(s.volume);
  b.U8(static_cast<uint8_t>(static_cast<int8_t>(finetune)));
  unsigned type = s.loop == Loop::Forward ? 1 : s.loop == Loop::PingPong ? 2 : 0;
  b.U8(type | (s.sixteenBit ? 16 : 0));
  b.U8(static_cast<unsigned>(s.panning < 0 ? 128 : s.panning));
  b.U8(static_cast<uint8_t>(static_cast<int8_t>(relative)));
  b.U8(0);
  b.Text(s.name, 22);

  // XM stores sample data as differences from the previous value.
  if (s.sixteenBit) {
    int16_t prev = 0;
    for (int16_t v : s.data) {
      b.U16(static_cast<uint16_t>(static_cast<int16_t>(v - prev)));
      prev = v;
    }
  } else {
    int8_t prev = 0;
    for (int16_t v : s.data) {
      int8_t cur = static_cast<int8_t>(v >> 8);
      b.U8(static_cast<uint8_t>(static_cast<int8_t>(cur - prev)));
      prev = cur;
    }
  }
}

std::vector<uint8_t> WriteXm(const Module &m) {
  Bytes b;
  b.Text("Extended Module: ", 17);
  b.Text(m.name, 20);
  b.U8(0x1A);
  b.Text("Tunemill modwrite", 20);
  b.U16(0x0104);
  const size_t orderEntries = m.shortHeader ? m.orders.size() : 256;
  b.U32(static_cast<uint32_t>(20 + orderEntries));
  b.U16(static_cast<unsigned>(m.orders.size()));
  b.U16(0);  // restart position: unused, the song ends after its last order
  b.U16(static_cast<unsigned>(m.channels));
  b.U16(static_cast<unsigned>(m.patterns.size()));
  b.U16(static_cast<unsigned>(m.instruments.size()));
  b.U16(1);  // linear frequency table
  b.U16(static_cast<unsigned>(m.speed));
  b.U16(static_cast<unsigned>(m.tempo));
  for (size_t i = 0; i < orderEntries; i++) b.U8(i < m.orders.size() ? static_cast<unsigned>(m.orders[i]) : 0);
  for (const Pattern &p : m.patterns) WriteXmPattern(b, p);
  for (const Instrument &ins : m.instruments) WriteXmInstrument(b, ins);
  return b.Take();
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] IT
// ---------------------------------------------------------------------------------------------------

void WriteItEnvelope(Bytes &b, const Envelope &env) {
  unsigned flags = 0;
  if (!env.points.empty()) flags = 1 | (env.loopStart >= 0 ? 2 : 0) | (env.sustain >= 0 ? 4 : 0);
  b.U8(flags);
  b.U8(static_cast<unsigned>(env.points.size()));
  b.U8(static_cast<unsigned>(env.loopStart < 0 ? 0 : env.loopStart));
  b.U8(static_cast<unsigned>(env.loopEnd < 0 ? 0 : env.loopEnd));
  // IT's sustain is a loop; a single held point is a loop from that point to itself.
  b.U8(static_cast<unsigned>(env.sustain < 0 ? 0 : env.sustain));
  b.U8(static_cast<unsigned>(env.sustain < 0 ? 0 : env.sustain));
  for (size_t i = 0; i < 25; i++) {
    if (i < env.points.size()) {
      b.U8(static_cast<uint8_t>(env.points[i].value));
      b.U16(env.points[i].tick);
    } else {
      b.Zeros(3);
    }
  }
  b.U8(0);
}

void WriteItInstrument(Bytes &b, const Instrument &ins, unsigned sampleNumber) {
  b.Text("IMPI", 4);
  b.Zeros(12);
  b.U8(0);
  b.U8(2);  // new note action: note off, so releases and fade-outs sound out
  b.U8(0);
  b.U8(0);
  b.U16(static_cast<unsigned>(ins.fadeOut / 32));  // IT counts fade-out in steps of 32 XM units
  b.U8(0);
  b.U8(60);
  b.U8(128);  // instrument global volume
  b.U8(128 | 32);  // no instrument panning: channel and sample panning apply
  b.U8(0);
  b.U8(0);
  b.U16(0x0214);
  b.U8(1);
  b.U8(0);
  b.Text(ins.name, 26);
  b.U8(0);
  b.U8(0);
  b.U8(0);
  b.U8(0);
  b.U16(0);
  for (unsigned n = 0; n < 120; n++) {
    b.U8(n);
    b.U8(sampleNumber);
  }
  WriteItEnvelope(b, ins.volumeEnvelope);
  WriteItEnvelope(b, ins.panningEnvelope);
  WriteItEnvelope(b, Envelope());
  b.Zeros(4);
}

void WriteItSampleHeader(Bytes &b, const Sample &s) {
  b.Text("IMPS", 4);
  b.Zeros(12);
  b.U8(0);
  b.U8(64);
  unsigned flags = 1 | (s.sixteenBit ? 2 : 0);
  if (s.loop != Loop::None) flags |= 16;
  if (s.loop == Loop::PingPong) flags |= 64;
  b.U8(flags);
  b.U8(s.volume);
  b.Text(s.name, 26);
  b.U8(1);  // signed samples
  b.U8(s.panning < 0 ? 32 : 128 | static_cast<unsigned>(s.panning * 64 / 255));
  b.U32(static_cast<uint32_t>(s.data.size()));
  b.U32(s.loop == Loop::None ? 0 : s.loopStart);
  b.U32(s.loop == Loop::None ? 0 : s.loopEnd);
  b.U32(s.rate);
  b.U32(0);
  b.U32(0);
  b.U32(0);  // data offset, filled in once the data is placed
  b.Zeros(4);
}

// IT has no channel count: players count the channels that pattern data mentions. `markLast` adds an
// empty effect column on the module's last channel so that a silent last channel still counts.
void WriteItPattern(Bytes &b, const Pattern &p, bool markLast) {
  Bytes packed;
  for (int r = 0; r < p.rows; r++) {
    if (markLast && r == 0) {
      packed.U8(0x80 | static_cast<unsigned>(p.channels));
      packed.U8(8);
      packed.U8(0);
      packed.U8(0);
    }
    for (int c = 0; c < p.channels; c++) {
      const Cell &cell = p.At(r, c);
      Command cmd = ItCommand(cell.effect, cell.param);
      unsigned mask = 0;
      if (cell.note != kNoNote) mask |= 1;
      if (cell.instrument) mask |= 2;
      if (cell.volume != kNoVolume) mask |= 4;
      if (cmd.command) mask |= 8;
      if (!mask || (markLast && r == 0 && c == p.channels - 1)) continue;
      packed.U8(0x80 | static_cast<unsigned>(c + 1));
      packed.U8(mask);
      if (mask & 1) packed.U8(cell.note);
      if (mask & 2) packed.U8(cell.instrument);
      if (mask & 4) packed.U8(static_cast<unsigned>(cell.volume));
      if (mask & 8) {
        packed.U8(cmd.command);
        packed.U8(cmd.param);
      }
    }
    packed.U8(0);
  }
  std::vector<uint8_t> data = packed.Take();
  b.U16(static_cast<unsigned>(data.size()));
  b.U16(static_cast<unsigned>(p.rows));
  b.U32(0);
  for (uint8_t v : data) b.U8(v);
}

std::vector<uint8_t> WriteIt(const Module &m) {
  Bytes b;
  size_t ins = m.instruments.size(), pats = m.patterns.size();
  b.Text("IMPM", 4);
  b.Text(m.name, 26);
  b.U16(0x1004);  // row highlights: 4 and 16
  b.U16(static_cast<unsigned>(m.orders.size()));
  b.U16(static_cast<unsigned>(ins));
  b.U16(static_cast<unsigned>(ins));
  b.U16(static_cast<unsigned>(pats));
  b.U16(0x0214);
  b.U16(0x0214);
  b.U16(1 | 4 | 8);  // stereo, instruments, linear slides
  b.U16(m.message.empty() ? 0 : 1);  // a song message is attached
  b.U8(m.globalVolume >= 64 ? 128 : static_cast<unsigned>(m.globalVolume * 2));
  b.U8(static_cast<unsigned>(m.mixVolume));
  b.U8(static_cast<unsigned>(m.speed));
  b.U8(static_cast<unsigned>(m.tempo));
  b.U8(128);
  b.U8(0);
  const size_t messageField = b.Size();
  b.U16(static_cast<unsigned>(m.message.size()));
  b.U32(0);  // the message's offset, patched once the message is written
  b.U32(0);
  for (int c = 0; c < 64; c++) {
    if (c >= m.channels) {
      b.U8(128 | 32);  // channel off
    } else {
      size_t i = static_cast<size_t>(c);
      b.U8(i < m.channelPanning.size() ? static_cast<unsigned>(m.channelPanning[i] * 64 / 255) : 32);
    }
  }
  for (int c = 0; c < 64; c++) b.U8(64);
  for (int o : m.orders) b.U8(static_cast<unsigned>(o));

  size_t pointers = b.Size();
  b.Zeros(4 * (2 * ins + pats));
  for (size_t i = 0; i < ins; i++) {
    b.PatchU32(pointers + 4 * i, static_cast<uint32_t>(b.Size()));
    WriteItInstrument(b, m.instruments[i], static_cast<unsigned>(i + 1));
  }
  std::vector<size_t> sampleHeaders;
  for (size_t i = 0; i < ins; i++) {
    b.PatchU32(pointers + 4 * (ins + i), static_cast<uint32_t>(b.Size()));
    sampleHeaders.push_back(b.Size());
    WriteItSampleHeader(b, m.instruments[i].sample);
  }
  bool lastUsed = false;
  for (const Pattern &p : m.patterns)
    for (int r = 0; r < p.rows && !lastUsed; r++) {
      const Cell &c = p.At(r, p.channels - 1);
      lastUsed = c.note != kNoNote || c.instrument || c.volume != kNoVolume || c.effect != Effect::None;
    }
  for (size_t i = 0; i < pats; i++) {
    b.PatchU32(pointers + 4 * (2 * ins + i), static_cast<uint32_t>(b.Size()));
    WriteItPattern(b, m.patterns[i], i == 0 && !lastUsed);
  }
  for (size_t i = 0; i < ins; i++) {
    const Sample &s = m.instruments[i].sample;
    b.PatchU32(sampleHeaders[i] + 72, static_cast<uint32_t>(b.Size()));
    for (int16_t v : s.data) {
      if (s.sixteenBit)
        b.U16(static_cast<uint16_t>(v));
      else
        b.U8(static_cast<uint8_t>(static_cast<int8_t>(v >> 8)));
    }
  }
  if (!m.message.empty()) {
    b.PatchU32(messageField + 2, static_cast<uint32_t>(b.Size()));
    b.Text(m.message, m.message.size() + 1);
  }
  return b.Take();
}

}  // namespace

Pattern::Pattern(int rows_, int channels_)
    : rows(rows_), channels(channels_), cells(static_cast<size_t>(rows_ > 0 && channels_ > 0 ? rows_ * channels_ : 0)) {}

Pattern &Module::AddPattern(int rows) {
  patterns.emplace_back(rows, channels);
  return patterns.back();
}

std::string Validate(const Module &m) {
  bool xm = m.format == Format::XM;
  if (m.channels < 1 || m.channels > (xm ? 32 : 64)) return "channel count out of range";
  if (m.speed < 1 || m.speed > 31) return "speed must be 1 to 31";
  if (m.tempo < 32 || m.tempo > 255) return "tempo must be 32 to 255";
  if (m.globalVolume < 0 || m.globalVolume > 64) return "global volume must be 0 to 64";
  if (m.mixVolume < 0 || m.mixVolume > 128) return "mix volume must be 0 to 128";
  for (int pan : m.channelPanning)
    if (pan < 0 || pan > 255) return "channel panning must be 0 to 255";
  if (m.orders.empty() || m.orders.size() > (xm ? 256u : 255u)) return "order list length out of range";
  if (m.patterns.empty() || m.patterns.size() > (xm ? 256u : 240u)) return "pattern count out of range";
  if (m.instruments.size() > (xm ? 128u : 99u)) return "too many instruments";
  if (xm && !m.message.empty()) return "an XM holds no song message";
  if (!xm && m.shortHeader) return "only an XM has a short header";
  if (m.message.size() > 7999) return "song message longer than 7999 characters";
  for (size_t i = 0; i < m.orders.size(); i++)
    if (m.orders[i] < 0 || static_cast<size_t>(m.orders[i]) >= m.patterns.size())
      return Describe("order", i, "names no pattern");
  for (size_t i = 0; i < m.patterns.size(); i++) {
    const Pattern &p = m.patterns[i];
    if (p.rows < 1 || p.rows > (xm ? 256 : 200)) return Describe("pattern", i, "row count out of range");
    if (p.channels != m.channels || p.cells.size() != static_cast<size_t>(p.rows * p.channels))
      return Describe("pattern", i, "does not match the module's channel count");
    for (const Cell &c : p.cells) {
      if (c.note != kNoNote && c.note != kNoteOff && (xm ? c.note < 12 || c.note > 107 : c.note > 119))
        return Describe("pattern", i, "note out of the format's range");
      if (c.instrument > m.instruments.size()) return Describe("pattern", i, "names a missing instrument");
      if (c.volume != kNoVolume && (c.volume < 0 || c.volume > 64))
        return Describe("pattern", i, "volume out of range");
      if (c.effect == Effect::SetSpeed && (c.param < 1 || c.param > 31))
        return Describe("pattern", i, "speed must be 1 to 31");
      if (c.effect == Effect::SetTempo && c.param < 32) return Describe("pattern", i, "tempo must be 32 to 255");
      if (c.effect == Effect::GlobalVolume && c.param > 64)
        return Describe("pattern", i, "global volume must be 0 to 64");
      if (c.effect == Effect::PatternBreak && c.param > 99) return Describe("pattern", i, "break row too large");
    }
  }
  for (size_t i = 0; i < m.instruments.size(); i++) {
    const Instrument &ins = m.instruments[i];
    const Sample &s = ins.sample;
    if (s.data.empty()) return Describe("instrument", i, "sample has no data");
    if (s.volume > 64) return Describe("instrument", i, "sample volume out of range");
    if (s.panning < -1 || s.panning > 255) return Describe("instrument", i, "sample panning out of range");
    if (s.rate < 100 || s.rate > 192000) return Describe("instrument", i, "sample rate out of range");
    if (s.loop != Loop::None && (s.loopEnd <= s.loopStart || s.loopEnd > s.data.size()))
      return Describe("instrument", i, "sample loop outside the data");
    if (ins.fadeOut > 4095) return Describe("instrument", i, "fade-out out of range");
    size_t maxPoints = xm ? 12 : 25;
    std::string e = CheckEnvelope(ins.volumeEnvelope, i, maxPoints, false);
    if (e.empty()) e = CheckEnvelope(ins.panningEnvelope, i, maxPoints, true);
    if (!e.empty()) return e;
  }
  return "";
}

std::vector<uint8_t> Write(const Module &module) {
  if (!Validate(module).empty()) return {};
  return module.format == Format::XM ? WriteXm(module) : WriteIt(module);
}

bool Save(const Module &module, const std::string &path, std::string *error) {
  std::vector<uint8_t> bytes = Write(module);
  if (bytes.empty()) {
    if (error) *error = Validate(module);
    return false;
  }
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok && error) *error = "cannot write " + path;
  return ok;
}

std::vector<int16_t> SquareWave(int period, int frames, int16_t amplitude) {
  std::vector<int16_t> out(static_cast<size_t>(frames > 0 ? frames : 0));
  int half = period / 2 > 0 ? period / 2 : 1;
  for (size_t i = 0; i < out.size(); i++)
    out[i] = (static_cast<int>(i) / half) % 2 == 0 ? amplitude : static_cast<int16_t>(-amplitude);
  return out;
}

Module SquareTestModule(Format format, int rows) {
  Module m;
  m.format = format;
  m.name = "square test";
  m.channels = 2;
  m.channelPanning = {128, 128};
  Instrument ins;
  ins.name = "square";
  ins.sample.name = "square";
  ins.sample.data = SquareWave(64, 64 * 64);
  ins.sample.loop = Loop::Forward;
  ins.sample.loopStart = 0;
  ins.sample.loopEnd = static_cast<uint32_t>(ins.sample.data.size());
  ins.sample.rate = 16744;  // 64-frame period at 16744 Hz: middle C sounds at 261.6 Hz
  m.instruments.push_back(ins);
  Pattern &p = m.AddPattern(rows);
  Cell &c = p.At(0, 0);
  c.note = kMiddleC;
  c.instrument = 1;
  c.volume = 64;
  m.orders = {0};
  return m;
}

}  // namespace modwrite
