// Module writer: turns a tracker song described in code into a small, valid XM (version 0x0104, header
// size 276) or IT ("IMPM") file. Used by the tests (generated test modules) and by tools/compose (the
// disk's own music). One description serves both formats; the few places where the formats differ are
// noted on the fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace modwrite {

enum class Format { XM, IT };

// Notes are numbered like MIDI: 60 is middle C, which plays a sample at its `rate`. XM holds notes 12 to
// 107 (its "C-0" to "B-7"), IT notes 0 to 119.
constexpr uint8_t kNoNote = 253;    // an empty note column
constexpr uint8_t kNoteOff = 0xFF;     // releases the note: envelopes leave their sustain, fade-out starts
constexpr int kMiddleC = 60;

// Effects common to both formats. The writer translates each into the format's own command letter; the
// parameter keeps the format's meaning except where noted.
enum class Effect : uint8_t {
  None,
  Arpeggio,           // xy: semitones above the note; 0 does nothing
  PortaUp,            // xx: pitch slide speed
  PortaDown,
  TonePorta,          // xx: slide towards the note of this row, which is not retriggered
  Vibrato,            // xy: speed, depth
  TonePortaVolSlide,  // tone portamento continues, parameter as VolumeSlide
  VibratoVolSlide,    // vibrato continues, parameter as VolumeSlide
  Tremolo,            // xy: speed, depth
  SetPanning,         // xx: 0 (left) to 255 (right)
  SampleOffset,       // xx: start the sample at xx * 256 frames
  VolumeSlide,        // x0 up by x per tick, 0y down by y per tick (use one nibble only)
  PositionJump,       // xx: order to continue at
  PatternBreak,       // xx: row (plain number, the writer encodes it) of the next order to start at
  NoteCut,            // x: cut the note at tick x
  NoteDelay,          // x: start the note at tick x
  Retrigger,          // x: retrigger the note every x ticks
  SetSpeed,           // xx: ticks per row, 1 to 31
  SetTempo,           // xx: beats per minute, 32 to 255
  GlobalVolume,       // xx: 0 to 64 (the writer scales it for IT)
  GlobalVolumeSlide,  // as VolumeSlide, on the global volume
};

constexpr int kNoVolume = -1;

struct Cell {
  uint8_t note = kNoNote;
  uint8_t instrument = 0;  // 1-based; 0 keeps the channel's instrument
  int8_t volume = kNoVolume;  // 0 to 64 sets the note volume; kNoVolume leaves the column empty
  Effect effect = Effect::None;
  uint8_t param = 0;
};

struct Pattern {
  Pattern(int rows, int channels);
  Cell &At(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
  const Cell &At(int row, int channel) const { return cells[static_cast<size_t>(row * channels + channel)]; }

  int rows;  // XM 1 to 256, IT 1 to 200
  int channels;
  std::vector<Cell> cells;  // row-major, rows x channels
};

enum class Loop { None, Forward, PingPong };

struct Sample {
  std::string name;
  std::vector<int16_t> data;  // mono, full 16-bit range; stored with 8 bits (the high byte) unless sixteenBit
  bool sixteenBit = true;
  Loop loop = Loop::None;
  uint32_t loopStart = 0;  // frames
  uint32_t loopEnd = 0;    // frames, one past the last frame of the loop
  uint32_t rate = 8363;    // frames per second when middle C plays
  uint8_t volume = 64;     // default note volume, 0 to 64
  int panning = -1;        // default panning 0 to 255, or -1 for none (XM then centres)
};

struct EnvelopePoint {
  uint16_t tick;
  int8_t value;  // volume 0 to 64; panning -32 (left) to 32 (right)
};

// An envelope is on when it has points (at least two). XM holds up to 12 points, IT up to 25.
struct Envelope {
  std::vector<EnvelopePoint> points;
  int sustain = -1;    // point index where the envelope holds until the note is released, or -1
  int loopStart = -1;  // point indices of a loop, or -1
  int loopEnd = -1;
};

struct Instrument {
  std::string name;
  Sample sample;  // one sample per instrument, mapped to every note
  Envelope volumeEnvelope;
  Envelope panningEnvelope;
  uint16_t fadeOut = 0;  // volume decrease per tick after the release, XM units 0 to 4095 (0 = none)
};

struct Module {
  Format format = Format::XM;
  std::string name;
  std::string message;  // IT only: the song message, lines ended by "\r"; none when empty
  // XM only: save the header as many trackers do, 20 bytes plus one per order, instead of the full 276
  // with every one of the 256 order entries.
  bool shortHeader = false;
  int channels = 4;  // XM 1 to 32, IT 1 to 64
  int speed = 6;     // ticks per row
  int tempo = 125;   // beats per minute; a tick lasts 2.5 / tempo seconds
  int globalVolume = 64;  // 0 to 64
  int mixVolume = 48;     // IT only: the mixing volume 0 to 128
  std::vector<int> channelPanning;  // IT only: 0 to 255 per channel (centre when missing)
  std::vector<Pattern> patterns;
  std::vector<int> orders;  // pattern indices in playing order; the song ends after the last
  std::vector<Instrument> instruments;

  Pattern &AddPattern(int rows);  // a new empty pattern with this module's channel count
};

// The description's first inconsistency as a readable sentence, or an empty string when it can be written.
std::string Validate(const Module &module);

// The file's bytes; empty when Validate finds a fault.
std::vector<uint8_t> Write(const Module &module);

// Writes the file; false (with `error` filled when given) on a fault in the description or the file.
bool Save(const Module &module, const std::string &path, std::string *error = nullptr);

// Sample synthesis helpers for tests: a square wave of one period per `period` frames at full scale.
std::vector<int16_t> SquareWave(int period, int frames, int16_t amplitude = 32767);

// A test song in the given format: two channels, one instrument holding a looped full-scale 16-bit square
// wave; channel 0 starts middle C at volume 64 on the first row and holds it, channel 1 stays silent. The
// song is `rows` rows in one pattern at speed 6, tempo 125 (0.12 s a row) and then ends.
Module SquareTestModule(Format format, int rows);

// Seconds one row lasts at this speed and tempo.
inline double RowSeconds(int speed, int tempo) { return speed * 2.5 / tempo; }

}  // namespace modwrite
