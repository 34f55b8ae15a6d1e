// Music helpers for the disk's tracks: keys and chords, melody generation, and painters that write
// drum, bass, chord and melody parts into patterns the way a tracker musician would.
#pragma once

#include <string>
#include <vector>

#include "compose/synth.h"
#include "modwrite/modwrite.h"

namespace compose {

constexpr int kRowsPerBar = 16;

struct Key {
  int tonic;  // MIDI note of the tonic
  bool minor;
  // The MIDI note of a scale degree (0 = tonic); degrees beyond 0-6 reach into other octaves.
  int Note(int degree) const;
};

// A chord as scale degrees: the root and the stacked thirds above it.
struct Chord {
  int root;        // scale degree
  int size = 3;    // 3 = triad, 4 = seventh chord
  bool Has(int degree) const;  // the degree (in any octave) belongs to the chord
};

// One melody note: where it starts, how many rows it lasts and which scale degree it plays.
struct Event {
  int row;
  int length;
  int degree;
};

// A rhythm is a string with one character per row: 'x' starts a note, '-' holds it, '.' rests.
// Chords are given per bar. Strong onsets land on chord tones, the others move by step through the scale.
std::vector<Event> Melody(const std::string &rhythm, const std::vector<Chord> &bars, int startDegree, int low,
                          int high, Rng &rng);

// The same contour moved onto other chords: each note shifts with the chord root, strong notes are
// pulled to the nearest chord tone.
std::vector<Event> Reharmonise(const std::vector<Event> &line, const std::vector<Chord> &from,
                               const std::vector<Chord> &to, int low, int high);

// A four-bar phrase over `four` chords: a two-bar motif on `rhythm` (32 rows), answered by the same motif
// moved onto bars three and four. With `cadence` the last note comes to rest on its chord's root.
std::vector<Event> Phrase(const std::string &rhythm, const std::vector<Chord> &four, int startDegree, int low,
                          int high, Rng &rng, bool cadence);

// Events shifted by `rows`.
std::vector<Event> Shift(std::vector<Event> line, int rows);

struct LineStyle {
  int instrument = 1;
  int volume = 48;
  int octave = 0;             // added to every note in octaves
  int vibratoAfter = 0;       // rows into a long note when vibrato starts (0: none)
  int vibrato = 0x34;         // vibrato parameter
  bool slides = false;        // steps of one or two semitones glide with tone portamento instead
  int slideSpeed = 0x30;
  bool release = true;        // a note-off where a note is followed by a rest
};

// Writes a melody into one channel of a pattern.
// A note still held at the pattern's end is released on the last row.
void PaintLine(modwrite::Pattern &p, int channel, const std::vector<Event> &line, const Key &key,
               const LineStyle &style);

// An echo of a channel in another channel: every note `delay` rows later at `volume`.
void PaintEcho(modwrite::Pattern &p, int from, int to, int delay, int volume);

// Drum steps repeated over the pattern: 'x' full volume, 'o' a ghost note, 'r' a roll (retriggered every
// three ticks), '.' leaves the cell as it is.
void PaintSteps(modwrite::Pattern &p, int channel, const std::string &steps, int instrument, int volume,
                int firstRow = 0, int lastRow = -1);

// A bass line per bar over the chord roots: 'x' root, 'o' octave above, '5' fifth, '3' third, '-' hold,
// '.' note-off, 's' a slide to the root by tone portamento.
void PaintBass(modwrite::Pattern &p, int channel, const std::string &rhythm, const std::vector<Chord> &bars,
               const Key &key, int octave, int instrument, int volume);

// Held chords, one voice per channel from `firstChannel`, changed each bar (or every `rowsPerChord`), with
// smooth voice leading around `centre` (a MIDI note).
void PaintPads(modwrite::Pattern &p, int firstChannel, int voices, const std::vector<Chord> &chords,
               int rowsPerChord, const Key &key, int centre, int instrument, int volume);

// A broken-chord figure cycling through the chord's notes, one note per `step` rows.
void PaintArp(modwrite::Pattern &p, int channel, const std::vector<Chord> &bars, const Key &key, int low,
              const std::vector<int> &order, int step, int instrument, int volume);

// One held note per bar playing the chord with the tracker arpeggio effect (the chip sound).
void PaintChipChords(modwrite::Pattern &p, int channel, const std::vector<Chord> &bars, const Key &key,
                     int octaveNote, int instrument, int volume);

// A fade of a channel's volume by `amount` (negative: down) spread evenly over the rows, made of volume
// slides of one step per tick on rows whose effect column is free.
void PaintFade(modwrite::Pattern &p, int channel, int firstRow, int lastRow, int amount);

// Silences what a pattern does not play: a channel without a single note gets a note-off on the first row,
// so nothing held from the pattern before rings on under a section that leaves it out.
void ReleaseUnused(modwrite::Pattern &p);

// Puts an effect into the first free effect column of a row (from `channel` onwards).
void PutEffect(modwrite::Pattern &p, int row, int channel, modwrite::Effect effect, int param);

}  // namespace compose
