#include "compose/score.h"

#include <algorithm>
#include <cstdlib>

namespace compose {

using modwrite::Cell;
using modwrite::Effect;
using modwrite::kMiddleC;
using modwrite::kNoNote;
using modwrite::kNoteOff;
using modwrite::kNoVolume;
using modwrite::Pattern;

namespace {

const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
const int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int Mod(int a, int b) { return a - FloorDiv(a, b) * b; }

bool Strong(int row) { return row % 4 == 0; }

const Chord &ChordAt(const std::vector<Chord> &bars, int row) {
  return bars[static_cast<size_t>(row / kRowsPerBar) % bars.size()];
}

// The chord tone nearest to `degree`, within [low, high]; ties go down.
int NearestChordTone(const Chord &c, int degree, int low, int high) {
  int best = degree, bestDist = 1000;
  for (int d = low; d <= high; d++) {
    if (!c.Has(d)) continue;
    int dist = std::abs(d - degree) * 2 + (d > degree ? 1 : 0);
    if (dist < bestDist) {
      best = d;
      bestDist = dist;
    }
  }
  return best;
}

// The chord's root as a MIDI note in the octave that starts at `base`.
int PlaceRoot(const Key &key, const Chord &c, int base) {
  int n = key.Note(c.root);
  return base + Mod(n - base, 12);
}

void SetNote(Cell &cell, int note, int instrument, int volume) {
  cell.note = static_cast<uint8_t>(note);
  cell.instrument = static_cast<uint8_t>(instrument);
  cell.volume = static_cast<int8_t>(std::clamp(volume, 0, 64));
}

}  // namespace

int Key::Note(int degree) const {
  int octave = FloorDiv(degree, 7);
  int step = degree - octave * 7;
  return tonic + 12 * octave + (minor ? kMinor : kMajor)[step];
}

bool Chord::Has(int degree) const {
  int d = Mod(degree - root, 7);
  return d == 0 || d == 2 || d == 4 || (size == 4 && d == 6);
}

std::vector<Event> Melody(const std::string &rhythm, const std::vector<Chord> &bars, int startDegree, int low,
                          int high, Rng &rng) {
  std::vector<Event> out;
  int prev = startDegree, dir = 1;
  int n = static_cast<int>(rhythm.size());
  for (int r = 0; r < n; r++) {
    if (rhythm[static_cast<size_t>(r)] != 'x') continue;
    int len = 1;
    while (r + len < n && rhythm[static_cast<size_t>(r + len)] == '-') len++;
    const Chord &chord = ChordAt(bars, r);
    if (prev >= high - 1) dir = -1;
    else if (prev <= low + 1) dir = 1;
    int deg;
    if (out.empty()) {
      deg = NearestChordTone(chord, prev, low, high);
    } else if (Strong(r)) {
      // The next chord tone in the line's direction keeps the tune moving; a repeat only now and then.
      if (rng.Chance(0.25)) dir = -dir;
      deg = prev;
      for (int d = prev + dir; d >= low && d <= high && std::abs(d - prev) <= 4; d += dir)
        if (chord.Has(d)) {
          deg = d;
          break;
        }
      if (deg == prev && !(chord.Has(prev) && rng.Chance(0.3))) deg = NearestChordTone(chord, prev - dir, low, high);
    } else {
      double roll = rng.Unit();
      int step = roll < 0.7 ? dir : roll < 0.85 ? 2 * dir : -dir;
      deg = std::clamp(prev + step, low, high);
    }
    out.push_back({r, len, deg});
    prev = deg;
  }
  return out;
}

std::vector<Event> Reharmonise(const std::vector<Event> &line, const std::vector<Chord> &from,
                               const std::vector<Chord> &to, int low, int high) {
  std::vector<Event> out;
  int above = 0, below = 0;
  for (Event e : line) {
    int shift = Mod(ChordAt(to, e.row).root - ChordAt(from, e.row).root + 3, 7) - 3;
    e.degree += shift;
    if (Strong(e.row)) e.degree = NearestChordTone(ChordAt(to, e.row), e.degree, low - 7, high + 7);
    above += e.degree > high;
    below += e.degree < low;
    out.push_back(e);
  }
  // The answer moves as a whole when most of it leaves the range, so its shape survives; single notes
  // that still stray are held at the edge instead of jumping an octave.
  int octave = 2 * above > static_cast<int>(out.size()) ? -7 : 2 * below > static_cast<int>(out.size()) ? 7 : 0;
  for (Event &e : out) {
    e.degree += octave;
    if (e.degree > high + 1) e.degree = NearestChordTone(ChordAt(to, e.row), high, low, high);
    if (e.degree < low - 1) e.degree = NearestChordTone(ChordAt(to, e.row), low, low, high);
  }
  return out;
}

std::vector<Event> Phrase(const std::string &rhythm, const std::vector<Chord> &four, int startDegree, int low,
                          int high, Rng &rng, bool cadence) {
  std::vector<Chord> first(four.begin(), four.begin() + 2), second(four.begin() + 2, four.begin() + 4);
  std::vector<Event> motif = Melody(rhythm, first, startDegree, low, high, rng);
  std::vector<Event> line = motif;
  for (const Event &e : Shift(Reharmonise(motif, first, second, low, high), 2 * kRowsPerBar)) line.push_back(e);
  if (cadence && !line.empty()) {
    Event &last = line.back();
    const Chord &c = ChordAt(four, last.row);
    int best = last.degree;
    for (int d = last.degree - 3; d <= last.degree + 3; d++)
      if (Mod(d - c.root, 7) == 0 && d >= low - 2 && d <= high + 2) best = d;
    last.degree = best;
  }
  return line;
}

std::vector<Event> Shift(std::vector<Event> line, int rows) {
  for (Event &e : line) e.row += rows;
  return line;
}

void PaintLine(Pattern &p, int channel, const std::vector<Event> &line, const Key &key, const LineStyle &style) {
  int prevNote = -1, prevEnd = -1;
  for (size_t i = 0; i < line.size(); i++) {
    const Event &e = line[i];
    if (e.row < 0 || e.row >= p.rows) continue;
    int note = key.Note(e.degree) + 12 * style.octave;
    Cell &cell = p.At(e.row, channel);
    if (style.slides && prevEnd == e.row && prevNote >= 0 && std::abs(note - prevNote) <= 2 && note != prevNote) {
      cell.note = static_cast<uint8_t>(note);
      cell.effect = Effect::TonePorta;
      cell.param = static_cast<uint8_t>(style.slideSpeed);
    } else {
      SetNote(cell, note, style.instrument, style.volume);
    }
    int end = std::min(e.row + e.length, p.rows);
    if (style.vibratoAfter > 0)
      for (int r = e.row + style.vibratoAfter; r < end; r++)
        if (p.At(r, channel).effect == Effect::None) {
          p.At(r, channel).effect = Effect::Vibrato;
          p.At(r, channel).param = static_cast<uint8_t>(style.vibrato);
        }
    bool restFollows = i + 1 == line.size() || line[i + 1].row > end;
    int off = end < p.rows ? end : p.rows - 1;
    if (style.release && restFollows && off > e.row && p.At(off, channel).note == kNoNote)
      p.At(off, channel).note = kNoteOff;
    prevNote = note;
    prevEnd = end;
  }
}

void PaintEcho(Pattern &p, int from, int to, int delay, int volume) {
  int instrument = 0;
  for (int r = 0; r + delay < p.rows; r++) {
    const Cell &src = p.At(r, from);
    if (src.instrument) instrument = src.instrument;
    if (src.note == kNoNote) continue;
    Cell &dst = p.At(r + delay, to);
    dst.note = src.note;
    if (src.note != kNoteOff) {
      if (src.effect == Effect::TonePorta) {
        dst.effect = src.effect;
        dst.param = src.param;
      } else if (instrument) {
        dst.instrument = static_cast<uint8_t>(instrument);
        dst.volume = static_cast<int8_t>(volume);
      }
    }
  }
}

void PaintSteps(Pattern &p, int channel, const std::string &steps, int instrument, int volume, int firstRow,
                int lastRow) {
  if (lastRow < 0 || lastRow >= p.rows) lastRow = p.rows - 1;
  for (int r = firstRow; r <= lastRow; r++) {
    char c = steps[static_cast<size_t>(r - firstRow) % steps.size()];
    if (c == '.') continue;
    Cell &cell = p.At(r, channel);
    SetNote(cell, kMiddleC, instrument, c == 'o' ? volume / 2 : volume);
    if (c == 'r') {
      cell.effect = Effect::Retrigger;
      cell.param = 3;
    }
  }
}

void PaintBass(Pattern &p, int channel, const std::string &rhythm, const std::vector<Chord> &bars, const Key &key,
               int octave, int instrument, int volume) {
  for (int r = 0; r < p.rows; r++) {
    char c = rhythm[static_cast<size_t>(r) % rhythm.size()];
    if (c == '-') continue;
    Cell &cell = p.At(r, channel);
    if (c == '.') {
      cell.note = kNoteOff;
      continue;
    }
    const Chord &chord = ChordAt(bars, r);
    int root = PlaceRoot(key, chord, octave);
    int note = root;
    if (c == 'o') note = root + 12;
    if (c == '5') note = root + (key.Note(chord.root + 4) - key.Note(chord.root));
    if (c == '3') note = root + (key.Note(chord.root + 2) - key.Note(chord.root));
    if (c == 's') {
      cell.note = static_cast<uint8_t>(note);
      cell.effect = Effect::TonePorta;
      cell.param = 0x60;
      continue;
    }
    SetNote(cell, note, instrument, Strong(r) ? volume : volume * 7 / 8);
  }
}

void PaintPads(Pattern &p, int firstChannel, int voices, const std::vector<Chord> &chords, int rowsPerChord,
               const Key &key, int centre, int instrument, int volume) {
  std::vector<int> held(static_cast<size_t>(voices), -1);
  for (int r = 0; r < p.rows; r += rowsPerChord) {
    const Chord &c = chords[static_cast<size_t>(r / rowsPerChord) % chords.size()];
    // Each chord tone once, in the octave nearest the centre; the fifth goes first when voices are few.
    std::vector<int> notes;
    for (int i = 0; i < c.size; i++) {
      int n = key.Note(c.root + 2 * i);
      n = centre - 6 + Mod(n - (centre - 6), 12);
      notes.push_back(n);
    }
    if (voices < c.size) notes.erase(notes.begin() + 2);
    while (static_cast<int>(notes.size()) < voices) notes.push_back(notes[0] - 12);
    notes.resize(static_cast<size_t>(voices));
    std::sort(notes.begin(), notes.end());
    for (int v = 0; v < voices; v++) {
      if (r > 0 && held[static_cast<size_t>(v)] == notes[static_cast<size_t>(v)]) continue;
      SetNote(p.At(r, firstChannel + v), notes[static_cast<size_t>(v)], instrument, volume);
      held[static_cast<size_t>(v)] = notes[static_cast<size_t>(v)];
    }
  }
}

void PaintArp(Pattern &p, int channel, const std::vector<Chord> &bars, const Key &key, int low,
              const std::vector<int> &order, int step, int instrument, int volume) {
  for (int r = 0; r < p.rows; r += step) {
    const Chord &c = ChordAt(bars, r);
    std::vector<int> tones;
    for (int d = c.root - 7; static_cast<int>(tones.size()) < 2 * c.size + 1; d++)
      if (c.Has(d) && key.Note(d) >= low) tones.push_back(key.Note(d));
    int idx = order[static_cast<size_t>(r / step) % order.size()];
    SetNote(p.At(r, channel), tones[static_cast<size_t>(idx) % tones.size()], instrument,
            r % 4 == 0 ? volume : volume * 3 / 4);
  }
}

void PaintChipChords(Pattern &p, int channel, const std::vector<Chord> &bars, const Key &key, int octaveNote,
                     int instrument, int volume) {
  for (int r = 0; r < p.rows; r++) {
    const Chord &c = ChordAt(bars, r);
    int third = key.Note(c.root + 2) - key.Note(c.root);
    int fifth = key.Note(c.root + 4) - key.Note(c.root);
    Cell &cell = p.At(r, channel);
    if (r % kRowsPerBar == 0) SetNote(cell, PlaceRoot(key, c, octaveNote), instrument, volume);
    cell.effect = Effect::Arpeggio;
    cell.param = static_cast<uint8_t>(third << 4 | fifth);
  }
}

void PaintFade(Pattern &p, int channel, int firstRow, int lastRow, int amount) {
  // A slide of one step acts on every tick but the first: speed - 1 steps per row, 5 at speed 6.
  const int perRow = 5;
  int slides = (std::abs(amount) + perRow - 1) / perRow;
  lastRow = std::min(lastRow, p.rows - 1);
  if (slides == 0 || lastRow < firstRow) return;
  double spacing = double(lastRow - firstRow + 1) / slides;
  for (int i = 0; i < slides; i++) {
    for (int r = firstRow + static_cast<int>(i * spacing); r <= lastRow; r++) {
      Cell &cell = p.At(r, channel);
      // Vibrato and tone portamento go on while the volume slides: their own memory keeps their speed.
      if (cell.effect == Effect::Vibrato) cell.effect = Effect::VibratoVolSlide;
      else if (cell.effect == Effect::TonePorta) cell.effect = Effect::TonePortaVolSlide;
      else if (cell.effect == Effect::None) cell.effect = Effect::VolumeSlide;
      else continue;
      cell.param = amount > 0 ? 0x10 : 0x01;
      break;
    }
  }
}

void ReleaseUnused(Pattern &p) {
  for (int c = 0; c < p.channels; c++) {
    bool used = false;
    for (int r = 0; r < p.rows && !used; r++) used = p.At(r, c).note != kNoNote;
    if (!used) p.At(0, c).note = kNoteOff;
  }
}

void PutEffect(Pattern &p, int row, int channel, Effect effect, int param) {
  for (int c = channel; c < p.channels; c++) {
    Cell &cell = p.At(row, c);
    if (cell.effect != Effect::None) continue;
    cell.effect = effect;
    cell.param = static_cast<uint8_t>(param);
    return;
  }
}

}  // namespace compose
