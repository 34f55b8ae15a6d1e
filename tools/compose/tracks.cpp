#include "compose/tracks.h"

#include <functional>

#include "compose/score.h"
#include "compose/synth.h"

namespace compose {

using modwrite::Effect;
using modwrite::Envelope;
using modwrite::Format;
using modwrite::Instrument;
using modwrite::kMiddleC;
using modwrite::kNoteOff;
using modwrite::Pattern;
using modwrite::Sample;

namespace {

// A song under construction: the module, its key, and shorthands for instruments and patterns.
struct Song {
  Song(Format format, const char *name, int channels, int tempo, Key k) : key(k) {
    m.format = format;
    m.name = name;
    m.channels = channels;
    m.speed = 6;
    m.tempo = tempo;
  }

  int Add(const char *name, Sample s, Envelope volume = Envelope(), uint16_t fadeOut = 0, int panning = -1) {
    Instrument ins;
    ins.name = name;
    ins.sample = std::move(s);
    ins.sample.panning = panning;
    ins.volumeEnvelope = std::move(volume);
    ins.fadeOut = fadeOut;
    m.instruments.push_back(std::move(ins));
    return static_cast<int>(m.instruments.size());
  }

  int Pat(const std::function<void(Pattern &)> &fill, int rows = 64) {
    m.AddPattern(rows);
    fill(m.patterns.back());
    ReleaseUnused(m.patterns.back());
    return static_cast<int>(m.patterns.size()) - 1;
  }

  modwrite::Module m;
  Key key;
};

std::vector<Chord> Chords(std::initializer_list<int> roots, int size = 3) {
  std::vector<Chord> out;
  for (int r : roots) out.push_back({r, size});
  return out;
}

// The last pattern of most songs: the home chord struck, held and faded, then released.
void Ending(Pattern &p, const Key &key, int firstChannel, int voices, int instrument, int volume) {
  PaintPads(p, firstChannel, voices, Chords({0}), p.rows, key, 64, instrument, volume);
  for (int v = 0; v < voices; v++) {
    PaintFade(p, firstChannel + v, 4, p.rows - 8, -volume);
    p.At(p.rows - 4, firstChannel + v).note = kNoteOff;
  }
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] Pixel Harbour: chiptune, XM, G major, 140 BPM
// ---------------------------------------------------------------------------------------------------

Track PixelHarbour() {
  Song s(Format::XM, "Pixel Harbour", 6, 140, Key{67, false});
  ToneRecipe pulse;
  pulse.wave = Wave::Pulse25;
  pulse.maxHarmonicHz = 11000;
  pulse.eightBit = true;
  ToneRecipe thin = pulse;
  thin.wave = Wave::Pulse12;
  ToneRecipe tri;
  tri.wave = Wave::Triangle;
  tri.maxHarmonicHz = 4000;
  tri.eightBit = true;

  const int lead = s.Add("pulse lead", Tone(pulse, "pulse 25%"), Adsr(0, 12, 40, 8), 384, 112);
  const int echo = s.Add("pulse echo", Tone(pulse, "pulse 25%"), Adsr(0, 12, 40, 8), 384, 170);
  const int chords = s.Add("arp chords", Tone(thin, "pulse 12%"), Adsr(0, 30, 30, 4), 512, 150);
  const int bass = s.Add("triangle bass", Tone(tri, "triangle"), Adsr(0, 6, 56, 3), 0, 128);
  Sample kickSample = Kick(220, 55, 0.22, 0.2, "chip kick");
  kickSample.sixteenBit = false;
  const int kick = s.Add("kick", kickSample, Envelope(), 0, 128);
  const int snare = s.Add("noise snare", ChipNoise(0.22, 2, "noise snare"), Envelope(), 0, 128);
  const int hat = s.Add("noise hat", ChipNoise(0.06, 1, "noise hat"), Envelope(), 0, 150);

  enum { kLead, kEcho, kChords, kBass, kDrums, kHats };
  const Key &key = s.key;
  auto verse = Chords({0, 4, 5, 3});    // G D Em C
  auto chorus = Chords({5, 3, 0, 4});   // Em C G D
  auto bridge = Chords({3, 4, 2, 5});   // C D Bm Em
  auto turn = Chords({1, 4, 0, 0});     // Am D G G
  Rng rng(1001);

  const std::string motifA = "x-x-x---x-x-x---x---x-x-x-x-x---";
  const std::string motifB = "x-----x-x---x-x-x-----x-x-x-x---";
  auto melodyA = Phrase(motifA, verse, 4, 0, 9, rng, true);
  auto melodyA2 = Phrase(motifA, verse, 2, 0, 9, rng, true);
  auto melodyB = Phrase(motifB, chorus, 7, 2, 11, rng, false);
  auto melodyB2 = Phrase(motifB, chorus, 9, 2, 11, rng, true);
  auto melodyC = Phrase("x-------x---x---x-------x-x-x---", bridge, 4, 0, 9, rng, false);

  auto drums = [&](Pattern &p, bool fill) {
    PaintSteps(p, kDrums, "x.......x.x.....", kick, 60);
    PaintSteps(p, kDrums, "....x.......x...", snare, 44);
    PaintSteps(p, kHats, "x.x.x.x.x.x.x.xo", hat, 26);
    if (fill) PaintSteps(p, kDrums, "x.x.rrrr", snare, 44, 56, 63);
  };
  LineStyle leadStyle;
  leadStyle.instrument = lead;
  leadStyle.volume = 44;
  leadStyle.vibratoAfter = 3;
  leadStyle.vibrato = 0x44;
  auto section = [&](Pattern &p, const std::vector<Chord> &ch, const std::vector<Event> &mel, bool fill) {
    PaintChipChords(p, kChords, ch, key, 55, chords, 24);
    PaintBass(p, kBass, "x-.-o-.-x-.-o-x-", ch, key, 36, bass, 56);
    PaintLine(p, kLead, mel, key, leadStyle);
    PaintEcho(p, kLead, kEcho, 3, 20);
    for (int r = 0; r < p.rows; r++)
      if (p.At(r, kEcho).instrument) p.At(r, kEcho).instrument = static_cast<uint8_t>(echo);
    drums(p, fill);
  };

  int intro = s.Pat([&](Pattern &p) {
    PaintChipChords(p, kChords, verse, key, 55, chords, 24);
    PaintBass(p, kBass, "x-----------x---", verse, key, 36, bass, 48);
    PaintSteps(p, kHats, "x.x.x.x.x.x.x.xo", hat, 20, 32);
    PaintSteps(p, kDrums, "x.x.x.x.rrrrrrrr", snare, 30, 48);
  });
  int a1 = s.Pat([&](Pattern &p) { section(p, verse, melodyA, false); });
  int a2 = s.Pat([&](Pattern &p) { section(p, verse, melodyA2, true); });
  int b1 = s.Pat([&](Pattern &p) { section(p, chorus, melodyB, false); });
  int b2 = s.Pat([&](Pattern &p) { section(p, chorus, melodyB2, true); });
  int c1 = s.Pat([&](Pattern &p) {
    LineStyle slide = leadStyle;
    slide.slides = true;
    slide.vibratoAfter = 4;
    PaintChipChords(p, kChords, bridge, key, 55, chords, 20);
    PaintBass(p, kBass, "x---x---x---x-o-", bridge, key, 36, bass, 52);
    PaintLine(p, kLead, melodyC, key, slide);
    PaintSteps(p, kHats, "x...x...x...x..o", hat, 22);
    PaintSteps(p, kDrums, "x...............", kick, 50);
  });
  int c2 = s.Pat([&](Pattern &p) {
    PaintChipChords(p, kChords, turn, key, 55, chords, 24);
    PaintArp(p, kLead, turn, key, 67, {0, 1, 2, 3, 4, 3, 2, 1}, 2, lead, 30);
    PaintBass(p, kBass, "x-x-x-x-x-x-x-x-", turn, key, 36, bass, 52);
    PaintSteps(p, kHats, "x.x.x.x.x.x.x.xo", hat, 22);
    PaintSteps(p, kDrums, "x...x...x...x...", kick, 56, 0, 47);
    PaintSteps(p, kDrums, "rrrrxxxxrrrrxxxx", snare, 36, 48);
  });
  int breakdown = s.Pat([&](Pattern &p) {
    PaintBass(p, kBass, "x-.xo-.xx-.xo-x.", verse, key, 36, bass, 56);
    drums(p, true);
    PaintArp(p, kChords, verse, key, 62, {0, 2, 1, 3}, 4, chords, 20);
  });
  int end = s.Pat([&](Pattern &p) {
    p.At(0, kDrums) = {kMiddleC, static_cast<uint8_t>(kick), 60};
    p.At(0, kBass) = {43, static_cast<uint8_t>(bass), 56};
    p.At(0, kLead) = {79, static_cast<uint8_t>(lead), 44, Effect::Vibrato, 0x44};
    p.At(0, kChords) = {67, static_cast<uint8_t>(chords), 28, Effect::Arpeggio, 0x47};
    for (int r = 1; r < 24; r++) {
      p.At(r, kChords).effect = Effect::Arpeggio;
      p.At(r, kChords).param = 0x47;
      p.At(r, kLead).effect = Effect::Vibrato;
      p.At(r, kLead).param = 0x44;
    }
    PaintFade(p, kLead, 2, 23, -40);
    PaintFade(p, kBass, 2, 23, -50);
    for (int c : {kLead, kChords, kBass}) p.At(24, c).note = kNoteOff;
  }, 32);
  s.m.orders = {intro, a1, a2, b1, b2, a1, a2, c1, c2, breakdown, b1, b2, a1, a2, b1, b2, end};
  return {s.m, "Pixel Harbour", "chiptune", "G major", "pulse leads, arps, triangle bass"};
}


// ---------------------------------------------------------------------------------------------------
// [SECTION] Neon Avenue: synth-pop, IT, B flat major, 116 BPM
// ---------------------------------------------------------------------------------------------------

Track NeonAvenue() {
  Song s(Format::IT, "Neon Avenue", 10, 116, Key{70, false});
  s.m.channelPanning = {128, 128, 168, 128, 72, 128, 184, 116, 88, 176};
  s.m.mixVolume = 56;
  ToneRecipe bassTone;
  bassTone.wave = Wave::Saw;
  bassTone.maxHarmonicHz = 5000;
  bassTone.attackBrightness = 1.0;
  bassTone.brightness = 0.6;
  bassTone.attackSeconds = 0.3;
  bassTone.decaySeconds = 0.3;
  bassTone.sustainLevel = 0.7;
  ToneRecipe padTone;
  padTone.wave = Wave::Saw;
  padTone.voices = 3;
  padTone.brightness = 0.72;
  padTone.maxHarmonicHz = 3500;
  ToneRecipe leadTone;
  leadTone.wave = Wave::Pulse25;
  leadTone.voices = 2;
  leadTone.brightness = 0.92;
  leadTone.maxHarmonicHz = 7000;

  const int kick = s.Add("kick", Kick(150, 48, 0.38, 0.25, "kick"));
  const int snare = s.Add("snare", Snare(190, 0.65, 0.3, "snare"));
  const int clap = s.Add("clap", Clap("clap"));
  const int hat = s.Add("closed hat", HiHat(0.07, 7000, "closed hat"));
  const int open = s.Add("open hat", HiHat(0.35, 6500, "open hat"));
  const int bass = s.Add("saw bass", Tone(bassTone, "saw bass"), Adsr(0, 6, 50, 4));
  const int pad = s.Add("string pad", Tone(padTone, "detuned saws"), Adsr(12, 24, 46, 24), 192);
  const int lead = s.Add("pulse lead", Tone(leadTone, "pulse pair"), Adsr(1, 10, 50, 8), 512);
  const int pluck = s.Add("pluck", Pluck(1.2, 0.996, "plucked string"));

  enum { kKick, kSnare, kHats, kBass, kPad, kLead = 7, kPluck, kEcho };
  const Key &key = s.key;
  auto verse = Chords({0, 5, 3, 4});      // Bb Gm Eb F
  auto chorus = Chords({3, 4, 2, 5});     // Eb F Dm Gm
  auto chorus2 = Chords({3, 4, 0, 0});    // Eb F Bb Bb
  auto bridge = Chords({5, 3, 0, 4});     // Gm Eb Bb F
  Rng rng(2002);

  auto verseLine = Phrase("x-x-x-x---x-x---x---x-x-x-----x-", verse, 0, -3, 5, rng, true);
  auto verseLine2 = Phrase("x-x-x-x---x-x---x-x-x---x-x-----", verse, 2, -3, 5, rng, true);
  auto chorusLine = Phrase("x---x---x-x-x---x-----x-x-x-x---", chorus, 4, 0, 8, rng, false);
  auto chorusLine2 = Phrase("x---x---x-x-x---x-----x-x-x-----", chorus2, 4, 0, 8, rng, true);
  auto bridgeLine = Phrase("x-------x-------x---x---x-------", bridge, 2, -2, 6, rng, true);

  LineStyle leadStyle;
  leadStyle.instrument = lead;
  leadStyle.volume = 40;
  leadStyle.vibratoAfter = 4;
  leadStyle.vibrato = 0x24;
  leadStyle.slides = true;
  leadStyle.slideSpeed = 0x20;

  auto beat = [&](Pattern &p, bool full, bool fill) {
    PaintSteps(p, kKick, "x...x...x...x...", kick, 60);
    PaintSteps(p, kSnare, "....x.......x...", full ? clap : snare, 46);
    PaintSteps(p, kHats, full ? "x.xox.xox.xox.xo" : "..x...x...x...x.", hat, 30);
    if (full)
      for (int r = 2; r < p.rows; r += 8) p.At(r, kHats) = {kMiddleC, static_cast<uint8_t>(open), 22};
    if (fill) PaintSteps(p, kSnare, "x.x.x.xxrrrrrrrr", snare, 40, 48);
  };
  auto lineWithEcho = [&](Pattern &p, const std::vector<Event> &line, int octave) {
    LineStyle st = leadStyle;
    st.octave = octave;
    PaintLine(p, kLead, line, key, st);
    PaintEcho(p, kLead, kEcho, 3, 18);
  };

  int intro = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 3, verse, 16, key, 62, pad, 8);
    for (int v = 0; v < 3; v++) PaintFade(p, kPad + v, 1, 62, 24);
    PaintArp(p, kPluck, verse, key, 58, {0, 2, 4, 2, 1, 3, 5, 3}, 2, pluck, 34);
    PaintSteps(p, kHats, "..x...x...x...x.", hat, 22, 32);
    PaintSteps(p, kSnare, "rrrrrrrr", snare, 30, 56);
  });
  auto verseSection = [&](const std::vector<Event> &line, bool fill) {
    return s.Pat([&](Pattern &p) {
      beat(p, false, fill);
      PaintBass(p, kBass, "x-.xx-.xx-.xx-ox", verse, key, 34, bass, 50);
      PaintPads(p, kPad, 3, verse, 16, key, 62, pad, 26);
      PaintArp(p, kPluck, verse, key, 58, {0, 2, 4, 2, 1, 3, 5, 3}, 2, pluck, 28);
      lineWithEcho(p, line, 0);
    });
  };
  int v1 = verseSection(verseLine, false);
  int v2 = verseSection(verseLine2, true);
  auto chorusSection = [&](const std::vector<Chord> &ch, const std::vector<Event> &line, bool fill) {
    return s.Pat([&](Pattern &p) {
      beat(p, true, fill);
      PaintBass(p, kBass, "x-xox-xox-xox-xo", ch, key, 34, bass, 52);
      PaintPads(p, kPad, 3, ch, 16, key, 65, pad, 30);
      PaintArp(p, kPluck, ch, key, 65, {0, 1, 2, 3, 4, 3, 2, 1}, 2, pluck, 24);
      lineWithEcho(p, line, 0);
    });
  };
  int c1 = chorusSection(chorus, chorusLine, false);
  int c2 = chorusSection(chorus2, chorusLine2, true);
  int br = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 3, bridge, 16, key, 62, pad, 30);
    PaintBass(p, kBass, "x---------------", bridge, key, 34, bass, 44);
    PaintArp(p, kPluck, bridge, key, 62, {0, 2, 1, 3, 2, 4, 3, 5}, 2, pluck, 30);
    lineWithEcho(p, bridgeLine, 0);
  });
  int build = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 3, Chords({3, 4, 3, 4}), 16, key, 62, pad, 30);
    PaintBass(p, kBass, "x.x.x.x.x.x.x.x.", Chords({3, 4, 3, 4}), key, 34, bass, 48);
    PaintSteps(p, kKick, "x...x...x...x...", kick, 56, 0, 31);
    PaintSteps(p, kKick, "x.x.x.x.x.x.x.x.", kick, 56, 32);
    PaintSteps(p, kSnare, "....x.......x...x...x...x...x...x.x.x.x.x.x.x.x.xxxxrrrrrrrrrrrr", snare, 42);
    PaintSteps(p, kHats, "x.x.x.x.", hat, 26);
    PaintArp(p, kPluck, Chords({3, 4, 3, 4}), key, 62, {0, 1, 2, 3}, 1, pluck, 22);
  });
  int outro = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 3, verse, 16, key, 62, pad, 30);
    PaintArp(p, kPluck, verse, key, 58, {0, 2, 4, 2, 1, 3, 5, 3}, 2, pluck, 26);
    PaintBass(p, kBass, "x-------x-------", verse, key, 34, bass, 44);
    PaintSteps(p, kKick, "x...x...x...x...", kick, 52, 0, 31);
    PaintSteps(p, kHats, "..x...x...x...x.", hat, 20);
    for (int c = kPad; c < kPad + 3; c++) PaintFade(p, c, 33, 63, -16);
    PaintFade(p, kPluck, 33, 63, -14);
  });
  int end = s.Pat([&](Pattern &p) {
    Ending(p, key, kPad, 3, pad, 30);
    p.At(0, kKick) = {kMiddleC, static_cast<uint8_t>(kick), 56};
    p.At(0, kHats) = {kMiddleC, static_cast<uint8_t>(open), 26};
    p.At(0, kBass) = {46, static_cast<uint8_t>(bass), 48};
    PaintFade(p, kBass, 4, 27, -44);
    p.At(28, kBass).note = kNoteOff;
    p.At(0, kPluck) = {82, static_cast<uint8_t>(pluck), 30};
  }, 48);
  s.m.orders = {intro, v1, v2, c1, c2, v1, v2, c1, c2, br, build, c1, c2, c1, c2, outro, end};
  return {s.m, "Neon Avenue", "synth-pop", "B flat major", "saw pads, pulse lead, plucks, claps"};
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] Slow Tide: ambient pads, IT, E flat major, 76 BPM
// ---------------------------------------------------------------------------------------------------

Track SlowTide() {
  Song s(Format::IT, "Slow Tide", 8, 76, Key{63, false});
  s.m.channelPanning = {64, 104, 152, 192, 100, 172, 128, 150};
  s.m.mixVolume = 40;
  ToneRecipe padTone;
  padTone.wave = Wave::Saw;
  padTone.voices = 3;
  padTone.brightness = 0.55;
  padTone.maxHarmonicHz = 2400;
  ToneRecipe glass;
  glass.wave = Wave::Triangle;
  glass.voices = 2;
  glass.maxHarmonicHz = 3000;
  ToneRecipe sub;
  sub.wave = Wave::Sine;

  Envelope padEnv = Adsr(48, 40, 50, 80);
  padEnv.points[1].value = 64;
  const int pad = s.Add("warm pad", Tone(padTone, "warm saws"), padEnv, 96);
  Instrument &padIns = s.m.instruments.back();
  padIns.panningEnvelope.points = {{0, -8}, {96, 8}, {192, -8}};
  padIns.panningEnvelope.loopStart = 0;
  padIns.panningEnvelope.loopEnd = 2;
  const int air = s.Add("glass pad", Tone(glass, "glass"), Adsr(64, 32, 44, 96), 64);
  const int bell = s.Add("bell", Bell(3.5, 2.2, 3.0, "fm bell"));
  const int bass = s.Add("sub bass", Tone(sub, "sine"), Adsr(16, 16, 56, 48), 128);
  const int shaker = s.Add("shaker", Shaker("shaker"));
  const int pluck = s.Add("soft pluck", Pluck(2.0, 0.998, "soft string"));

  enum { kPad, kBell = 4, kEcho, kBass, kShaker };
  const Key &key = s.key;
  auto a = Chords({0, 5, 3, 4}, 4);   // Ebmaj7 Cm7 Abmaj7 Bb7
  auto b = Chords({2, 3, 1, 4}, 4);   // Gm7 Abmaj7 Fm7 Bb7
  auto c = Chords({5, 2, 3, 3}, 4);   // Cm7 Gm7 Abmaj7 Abmaj7
  Rng rng(3003);
  auto bellA = Phrase("x-------x---x-----------x-------", a, 4, 0, 9, rng, true);
  auto bellB = Phrase("x-----x-----x-------x-----------", b, 6, 2, 11, rng, false);
  auto bellC = Phrase("x---------------x-------x---x---", c, 7, 2, 11, rng, true);

  LineStyle bellStyle;
  bellStyle.instrument = bell;
  bellStyle.volume = 40;
  bellStyle.release = false;
  auto bells = [&](Pattern &p, const std::vector<Event> &line, int octave) {
    LineStyle st = bellStyle;
    st.octave = octave;
    PaintLine(p, kBell, line, key, st);
    PaintEcho(p, kBell, kEcho, 6, 18);
  };
  auto pads = [&](Pattern &p, const std::vector<Chord> &ch, int instrument, int volume) {
    PaintPads(p, kPad, 4, ch, 16, key, 60, instrument, volume);
  };
  auto subBass = [&](Pattern &p, const std::vector<Chord> &ch) {
    PaintBass(p, kBass, "x-----------x---", ch, key, 36, bass, 40);
  };

  int intro = s.Pat([&](Pattern &p) {
    pads(p, a, pad, 4);
    for (int v = 0; v < 4; v++) PaintFade(p, kPad + v, 1, 60, 30);
  });
  int a1 = s.Pat([&](Pattern &p) {
    pads(p, a, pad, 34);
    subBass(p, a);
    bells(p, bellA, 0);
  });
  int b1 = s.Pat([&](Pattern &p) {
    pads(p, b, pad, 34);
    subBass(p, b);
    bells(p, bellB, 0);
    PaintSteps(p, kShaker, "..x...x...x...xo", shaker, 20, 16);
  });
  int c1 = s.Pat([&](Pattern &p) {
    pads(p, c, air, 36);
    subBass(p, c);
    PaintArp(p, kBell, c, key, 63, {0, 2, 1, 3, 2, 4, 3, 1}, 2, pluck, 30);
    PaintEcho(p, kBell, kEcho, 3, 14);
    PaintSteps(p, kShaker, "..x...x...x...xo", shaker, 18);
  });
  int a2 = s.Pat([&](Pattern &p) {
    pads(p, a, pad, 34);
    subBass(p, a);
    bells(p, bellA, 1);
    PaintSteps(p, kShaker, "..x...x...x...xo", shaker, 16);
  });
  int c2 = s.Pat([&](Pattern &p) {
    pads(p, c, air, 34);
    subBass(p, c);
    bells(p, bellC, 0);
  });
  int end = s.Pat([&](Pattern &p) {
    Ending(p, key, kPad, 4, pad, 34);
    p.At(0, kBass) = {39, static_cast<uint8_t>(bass), 56};
    PaintFade(p, kBass, 4, 40, -56);
    p.At(44, kBass).note = kNoteOff;
    p.At(0, kBell) = {75, static_cast<uint8_t>(bell), 36};
    p.At(8, kBell) = {82, static_cast<uint8_t>(bell), 24};
    p.At(16, kBell) = {87, static_cast<uint8_t>(bell), 16};
    PutEffect(p, 40, 0, Effect::SetTempo, 70);
    PutEffect(p, 48, 0, Effect::SetTempo, 64);
  }, 64);
  s.m.orders = {intro, a1, b1, a1, c1, b1, a2, c2, b1, a2, end};
  return {s.m, "Slow Tide", "ambient pads", "E flat major", "glass pads, FM bells, sub bass"};
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] Breakline: breakbeat, XM, F minor, 168 BPM
// ---------------------------------------------------------------------------------------------------

Track Breakline() {
  Song s(Format::XM, "Breakline", 8, 168, Key{65, true});
  ToneRecipe reese;
  reese.wave = Wave::Saw;
  reese.voices = 2;
  reese.detune = 1;
  reese.brightness = 0.7;
  reese.maxHarmonicHz = 3000;
  ToneRecipe stabTone;
  stabTone.wave = Wave::Saw;
  stabTone.voices = 3;
  stabTone.brightness = 0.85;
  stabTone.maxHarmonicHz = 6000;
  ToneRecipe padTone;
  padTone.wave = Wave::Triangle;
  padTone.voices = 3;
  padTone.maxHarmonicHz = 3000;
  ToneRecipe leadTone;
  leadTone.wave = Wave::Square;
  leadTone.voices = 2;
  leadTone.brightness = 0.85;
  leadTone.maxHarmonicHz = 6000;

  const int kick = s.Add("kick", Kick(170, 50, 0.3, 0.4, "break kick"), Envelope(), 0, 128);
  const int snare = s.Add("snare", Snare(210, 0.7, 0.25, "break snare"), Envelope(), 0, 136);
  const int hat = s.Add("hat", HiHat(0.06, 8000, "tight hat"), Envelope(), 0, 170);
  const int ride = s.Add("ride", HiHat(0.5, 5000, "ride"), Envelope(), 0, 96);
  const int bass = s.Add("reese bass", Tone(reese, "reese"), Adsr(0, 4, 56, 4), 0, 128);
  const int stab = s.Add("stab", Tone(stabTone, "saw stab"), Adsr(0, 8, 30, 4), 0, 150);
  const int pad = s.Add("pad", Tone(padTone, "soft pad"), Adsr(24, 24, 48, 32), 128, 100);
  const int lead = s.Add("lead", Tone(leadTone, "square lead"), Adsr(0, 10, 48, 8), 384, 140);

  enum { kKick, kSnare, kHats, kRide, kBass, kStab, kPad, kLead };
  const Key &key = s.key;
  auto prog = Chords({0, 5, 2, 6});    // Fm Db Ab Eb
  auto prog2 = Chords({3, 0, 5, 6});   // Bbm Fm Db Eb
  Rng rng(4004);
  auto hook = Phrase("x-x---x-x-x-----x-x---x-x---x---", prog, 4, 0, 9, rng, false);
  auto hook2 = Phrase("x-----x-----x---x-x-x-x-----x---", prog2, 7, 2, 10, rng, true);
  auto padLine = Phrase("x---------------x---------------", prog, 2, 0, 7, rng, false);

  auto breakbeat = [&](Pattern &p, int variant) {
    PaintSteps(p, kKick, variant == 2 ? "x.x.......x....." : "x.........x.x...", kick, 60);
    PaintSteps(p, kSnare, "....x..o.o..x..o", snare, 52);
    PaintSteps(p, kHats, "x.xox.xox.xox.xx", hat, 32);
    if (variant == 1) PaintSteps(p, kSnare, "x.oox.o.rrrrrrrr", snare, 48, 48);
  };
  auto stabs = [&](Pattern &p, const std::vector<Chord> &ch) {
    // Short chord hits: two voices cut after three ticks, the tracker way.
    for (int r = 0; r < p.rows; r++) {
      if (r % 16 != 0 && r % 16 != 6 && r % 16 != 10) continue;
      const Chord &c = ch[static_cast<size_t>(r / 16) % ch.size()];
      int root = key.Note(c.root) - 12;
      int third = key.Note(c.root + 2) - 12;
      p.At(r, kStab) = {static_cast<uint8_t>(root + 12), static_cast<uint8_t>(stab), 44, Effect::NoteCut, 3};
      p.At(r, kPad) = {static_cast<uint8_t>(third + 12), static_cast<uint8_t>(stab), 40, Effect::NoteCut, 3};
    }
  };
  LineStyle leadStyle;
  leadStyle.instrument = lead;
  leadStyle.volume = 44;
  leadStyle.vibratoAfter = 2;
  leadStyle.vibrato = 0x46;
  leadStyle.slides = true;
  leadStyle.slideSpeed = 0x28;

  int intro = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 1, prog, 16, key, 65, pad, 44);
    PaintSteps(p, kRide, "x.x.x.x.", ride, 24);
    PaintSteps(p, kHats, "x.xox.xox.xox.xx", hat, 24, 32);
    PaintSteps(p, kSnare, "rrrrrrrr", snare, 40, 56);
  });
  auto drop = [&](const std::vector<Chord> &ch, int variant, const std::vector<Event> *line) {
    return s.Pat([&](Pattern &p) {
      breakbeat(p, variant);
      PaintBass(p, kBass, "x--.x-o-x--sx-..", ch, key, 36, bass, 56);
      if (line) {
        PaintLine(p, kLead, *line, key, leadStyle);
        PaintSteps(p, kRide, "x...x...x...x...", ride, 14);
      } else {
        stabs(p, ch);
      }
    });
  };
  int d1 = drop(prog, 0, nullptr);
  int d2 = drop(prog, 1, nullptr);
  int h1 = drop(prog, 2, &hook);
  int h2 = drop(prog2, 1, &hook2);
  int breakdown = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 1, prog, 16, key, 65, pad, 30);
    LineStyle st = leadStyle;
    st.volume = 30;
    PaintLine(p, kLead, padLine, key, st);
    PaintBass(p, kBass, "x---------------", prog, key, 36, bass, 44);
    PaintSteps(p, kRide, "x...x...x...x...", ride, 14);
  });
  int build = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 1, prog2, 16, key, 65, pad, 30);
    PaintSteps(p, kSnare, "x...x...x...x...x.x.x.x.x.x.x.x.xxxxxxxxxxxxxxxxrrrrrrrrrrrrrrrr", snare, 44);
    PaintSteps(p, kKick, "x.......x.......", kick, 56);
    PaintFade(p, kPad, 32, 63, 30);
  });
  int end = s.Pat([&](Pattern &p) {
    p.At(0, kKick) = {kMiddleC, static_cast<uint8_t>(kick), 60};
    p.At(0, kRide) = {kMiddleC, static_cast<uint8_t>(ride), 30};
    p.At(0, kBass) = {41, static_cast<uint8_t>(bass), 56};
    p.At(0, kLead) = {77, static_cast<uint8_t>(lead), 36, Effect::Vibrato, 0x46};
    PaintPads(p, kStab, 2, Chords({0}), 32, key, 65, pad, 30);
    for (int r = 1; r < 24; r++) {
      p.At(r, kLead).effect = Effect::Vibrato;
      p.At(r, kLead).param = 0x46;
    }
    PaintFade(p, kLead, 2, 23, -36);
    PaintFade(p, kBass, 2, 23, -56);
    PaintFade(p, kStab, 2, 23, -30);
    PaintFade(p, kPad, 2, 23, -30);
    for (int c : {kBass, kStab, kPad, kLead}) p.At(24, c).note = kNoteOff;
  }, 32);
  s.m.orders = {intro, d1, d2, d1, d2, h1, h2, h1, h2, d1, d2, breakdown, breakdown, build,
                h1, h2, h1, h2, d1, d2, d1, d2, end};
  return {s.m, "Breakline", "breakbeat", "F minor", "reese bass, stabs, chopped breaks"};
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] Night Circuit: slow electro, XM, A minor, 100 BPM
// ---------------------------------------------------------------------------------------------------

Track NightCircuit() {
  Song s(Format::XM, "Night Circuit", 7, 100, Key{57, true});
  ToneRecipe bassTone;
  bassTone.wave = Wave::Square;
  bassTone.brightness = 0.8;
  bassTone.maxHarmonicHz = 4000;
  ToneRecipe leadTone;
  leadTone.wave = Wave::Saw;
  leadTone.voices = 2;
  leadTone.brightness = 0.88;
  leadTone.maxHarmonicHz = 6000;
  ToneRecipe padTone;
  padTone.wave = Wave::Saw;
  padTone.voices = 3;
  padTone.brightness = 0.6;
  padTone.maxHarmonicHz = 2500;
  ToneRecipe arpTone;
  arpTone.wave = Wave::Pulse12;
  arpTone.attackBrightness = 1.0;
  arpTone.brightness = 0.5;
  arpTone.attackSeconds = 0.2;
  arpTone.decaySeconds = 0.2;
  arpTone.sustainLevel = 0.4;
  arpTone.maxHarmonicHz = 8000;

  const int kick = s.Add("808 kick", Kick(90, 42, 0.9, 0.15, "long kick"), Envelope(), 0, 128);
  const int clap = s.Add("clap", Clap("clap"), Envelope(), 0, 128);
  const int hat = s.Add("hat", HiHat(0.05, 8000, "hat"), Envelope(), 0, 176);
  const int bass = s.Add("electro bass", Tone(bassTone, "square bass"), Adsr(0, 8, 48, 4), 0, 128);
  const int lead = s.Add("saw lead", Tone(leadTone, "saw lead"), Adsr(2, 10, 50, 10), 384, 120);
  const int pad = s.Add("dark pad", Tone(padTone, "dark saws"), Adsr(32, 16, 52, 40), 128, 128);
  const int arp = s.Add("arp", Tone(arpTone, "thin pulse"), Adsr(0, 10, 20, 3), 0, 84);

  enum { kKick, kClap, kHats, kBass, kLead, kPad, kArp };
  const Key &key = s.key;
  auto verse = Chords({0, 5, 2, 6});    // Am F C G
  auto theme = Chords({0, 3, 5, 4});    // Am Dm F Em
  auto bridge = Chords({5, 6, 0, 0});   // F G Am Am
  Rng rng(5005);
  auto lineA = Phrase("x---x-x-x-------x---x-x-x---x---", verse, 4, 0, 9, rng, false);
  auto lineB = Phrase("x-----x-x-------x-----x-x-x-----", theme, 7, 2, 11, rng, true);
  auto lineC = Phrase("x---------------x-------x-------", bridge, 4, 0, 9, rng, true);

  LineStyle leadStyle;
  leadStyle.instrument = lead;
  leadStyle.volume = 40;
  leadStyle.vibratoAfter = 4;
  leadStyle.vibrato = 0x35;
  leadStyle.slides = true;
  leadStyle.slideSpeed = 0x18;

  auto groove = [&](Pattern &p, bool fill) {
    PaintSteps(p, kKick, "x......x..x.....x......x..x...x.", kick, 54);
    PaintSteps(p, kClap, "....x.......x...", clap, 44);
    PaintSteps(p, kHats, "x.x.x.xxx.x.x.xo", hat, 26);
    if (fill) PaintSteps(p, kClap, "x..x..x.x.x.rrrr", clap, 34, 48);
  };
  auto electroBass = [&](Pattern &p, const std::vector<Chord> &ch) {
    PaintBass(p, kBass, "x.xox..xx.s-x.o.", ch, key, 33, bass, 54);
  };
  auto arps = [&](Pattern &p, const std::vector<Chord> &ch, int volume) {
    PaintArp(p, kArp, ch, key, 64, {0, 1, 2, 3, 2, 1}, 2, arp, volume);
  };

  int intro = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 1, verse, 16, key, 64, pad, 44);
    arps(p, verse, 24);
    PaintFade(p, kArp, 1, 31, 16);
    PaintSteps(p, kKick, "x...............", kick, 56, 32);
    PaintSteps(p, kHats, "x.x.x.x.", hat, 20, 32);
  });
  int a1 = s.Pat([&](Pattern &p) {
    groove(p, false);
    electroBass(p, verse);
    PaintPads(p, kPad, 1, verse, 16, key, 64, pad, 24);
    arps(p, verse, 22);
  });
  int a2 = s.Pat([&](Pattern &p) {
    groove(p, true);
    electroBass(p, verse);
    PaintLine(p, kLead, lineA, key, leadStyle);
    arps(p, verse, 20);
  });
  int b1 = s.Pat([&](Pattern &p) {
    groove(p, false);
    electroBass(p, theme);
    PaintLine(p, kLead, lineB, key, leadStyle);
    PaintPads(p, kPad, 1, theme, 16, key, 64, pad, 24);
    arps(p, theme, 18);
  });
  int b2 = s.Pat([&](Pattern &p) {
    groove(p, true);
    electroBass(p, theme);
    LineStyle up = leadStyle;
    up.octave = 1;
    up.volume = 32;
    PaintLine(p, kLead, lineB, key, up);
    PaintPads(p, kPad, 1, theme, 16, key, 64, pad, 24);
    arps(p, theme, 18);
  });
  int br = s.Pat([&](Pattern &p) {
    PaintPads(p, kPad, 1, bridge, 16, key, 64, pad, 30);
    PaintLine(p, kLead, lineC, key, leadStyle);
    PaintBass(p, kBass, "x-------x-------", bridge, key, 33, bass, 44);
    PaintSteps(p, kHats, "x.x.x.x.x.x.x.x.", hat, 18);
    PaintSteps(p, kClap, "rrrrrrrr", clap, 30, 56);
  });
  int end = s.Pat([&](Pattern &p) {
    Ending(p, key, kPad, 1, pad, 30);
    p.At(0, kKick) = {kMiddleC, static_cast<uint8_t>(kick), 62};
    p.At(0, kBass) = {45, static_cast<uint8_t>(bass), 54};
    PaintFade(p, kBass, 2, 20, -54);
    p.At(24, kBass).note = kNoteOff;
    p.At(0, kLead) = {69, static_cast<uint8_t>(lead), 36};
    for (int r = 1; r < 28; r++) {
      p.At(r, kLead).effect = Effect::Vibrato;
      p.At(r, kLead).param = 0x35;
    }
    PaintFade(p, kLead, 2, 27, -36);
    p.At(28, kLead).note = kNoteOff;
  }, 40);
  s.m.orders = {intro, a1, a2, b1, b2, a1, a2, br, b1, b2, a2, b2, end};
  return {s.m, "Night Circuit", "slow electro", "A minor", "808 drums, slide bass, saw lead"};
}

// ---------------------------------------------------------------------------------------------------
// [SECTION] Velvet Lounge: swung lounge jazz, IT, F major, 92 BPM
// ---------------------------------------------------------------------------------------------------

// Off-beat eighths come a third of a row late: the tracker's way to swing.
void Swing(Pattern &p, int channel) {
  for (int r = 2; r < p.rows; r += 4) {
    modwrite::Cell &cell = p.At(r, channel);
    if (cell.note != modwrite::kNoNote && cell.effect == Effect::None) {
      cell.effect = Effect::NoteDelay;
      cell.param = 2;
    }
  }
}

// A walking bass: root on the downbeat, chord tones on the middle beats, and a step into the next root.
void WalkingBass(Pattern &p, int channel, const std::vector<Chord> &bars, const Key &key, int instrument, Rng &rng) {
  auto place = [](int note) {
    while (note < 36) note += 12;
    while (note >= 50) note -= 12;
    return note;
  };
  for (int bar = 0; bar * kRowsPerBar < p.rows; bar++) {
    const Chord &c = bars[static_cast<size_t>(bar) % bars.size()];
    const Chord &next = bars[static_cast<size_t>(bar + 1) % bars.size()];
    int root = place(key.Note(c.root));
    int nextRoot = place(key.Note(next.root));
    int third = root + key.Note(c.root + 2) - key.Note(c.root);
    int fifth = root + key.Note(c.root + 4) - key.Note(c.root);
    int notes[4] = {root, rng.Chance(0.5) ? third : fifth, fifth, 0};
    if (notes[1] == fifth) notes[2] = root + 12 <= 52 ? root + 12 : third;
    int approach = nextRoot + (rng.Chance(0.5) ? 1 : -1) * (rng.Chance(0.5) ? 1 : 2);
    if (approach == notes[2]) approach = nextRoot + (approach > nextRoot ? 1 : -1);
    notes[3] = approach;
    for (int beat = 0; beat < 4; beat++) {
      modwrite::Cell &cell = p.At(bar * kRowsPerBar + beat * 4, channel);
      cell.note = static_cast<uint8_t>(notes[beat]);
      cell.instrument = static_cast<uint8_t>(instrument);
      cell.volume = static_cast<int8_t>(beat == 0 ? 56 : 48);
    }
  }
}

Track VelvetLounge() {
  Song s(Format::IT, "Velvet Lounge", 10, 92, Key{65, false});
  s.m.channelPanning = {128, 140, 176, 120, 84, 104, 152, 172, 108, 160};
  s.m.mixVolume = 52;
  ToneRecipe vibesTone;
  vibesTone.wave = Wave::Sine;

  const int kick = s.Add("soft kick", Kick(110, 50, 0.3, 0.05, "soft kick"));
  const int brush = s.Add("brush", Shaker("brush"));
  const int ride = s.Add("ride", HiHat(0.6, 4500, "ride cymbal"));
  const int bass = s.Add("upright bass", Pluck(2.5, 0.997, "upright"), Adsr(0, 4, 64, 6), 256);
  const int piano = s.Add("electric piano", Bell(1.0, 1.4, 2.5, "fm piano"), Adsr(0, 4, 64, 10), 384);
  const int vibes = s.Add("vibraphone", Bell(4.0, 0.5, 2.5, "fm vibes"), Adsr(0, 4, 64, 16), 256);
  const int snare = s.Add("rim", Snare(330, 0.3, 0.12, "rim shot"));

  enum { kKick, kBrush, kRide, kBass, kPiano, kVibes = 8, kEcho };
  const Key &key = s.key;
  auto head = Chords({1, 4, 0, 5}, 4);     // Gm7 C7 Fmaj7 Dm7
  auto bridge = Chords({3, 2, 1, 4}, 4);   // Bbmaj7 Am7 Gm7 C7
  auto turn = Chords({1, 4, 0, 0}, 4);     // Gm7 C7 Fmaj7 Fmaj7
  Rng rng(6006);
  auto themeA = Phrase("x-x---x---x-x---x-------x-x-x---", head, 4, 0, 9, rng, false);
  auto themeA2 = Phrase("x-x---x---x-x---x---x-x-x-------", turn, 4, 0, 9, rng, true);
  auto themeB = Phrase("x-----x-x-x---x-x-----x-x---x---", bridge, 6, 1, 10, rng, false);
  auto solo = Phrase("x-x-x-xxx-x-x-x-x-x-xxx-x---x-x-", head, 7, 0, 11, rng, false);
  auto solo2 = Phrase("x-x-xxx-x-x-x-x-x-x-x-x-x-----x-", turn, 9, 0, 11, rng, true);

  auto drums = [&](Pattern &p, bool full) {
    PaintSteps(p, kRide, "x...x.o.", ride, 26);
    PaintSteps(p, kBrush, "..x...x...x...x.", brush, full ? 28 : 18);
    Swing(p, kBrush);
    if (full) {
      PaintSteps(p, kKick, "x.........x.....", kick, 40);
      PaintSteps(p, kKick, "............x...", snare, 30);
    }
    Swing(p, kRide);
  };
  auto comp = [&](Pattern &p, const std::vector<Chord> &ch, int volume) {
    // Chords struck on the one and pushed on the "and" of two, voiced around middle C.
    PaintPads(p, kPiano, 4, ch, 16, key, 62, piano, volume);
    for (int bar = 0; bar * kRowsPerBar < p.rows; bar++)
      for (int v = 0; v < 4; v++) {
        modwrite::Cell &first = p.At(bar * kRowsPerBar, kPiano + v);
        modwrite::Cell &push = p.At(bar * kRowsPerBar + 6, kPiano + v);
        if (first.note == modwrite::kNoNote) {
          // A held common tone is struck again with the others.
          int held = -1;
          for (int r = bar * kRowsPerBar; r >= 0 && held < 0; r--)
            if (p.At(r, kPiano + v).note != modwrite::kNoNote) held = p.At(r, kPiano + v).note;
          first = {static_cast<uint8_t>(held), static_cast<uint8_t>(piano), static_cast<int8_t>(volume)};
        }
        push = {first.note, static_cast<uint8_t>(piano), static_cast<int8_t>(volume * 3 / 4), Effect::NoteDelay, 2};
      }
  };
  LineStyle vibesStyle;
  vibesStyle.instrument = vibes;
  vibesStyle.volume = 46;
  vibesStyle.release = false;
  auto melody = [&](Pattern &p, const std::vector<Event> &line) {
    PaintLine(p, kVibes, line, key, vibesStyle);
    // The vibraphone's motor: a slow tremolo on every held row.
    for (int r = 0; r < p.rows; r++)
      if (p.At(r, kVibes).note == modwrite::kNoNote && p.At(r, kVibes).effect == Effect::None) {
        p.At(r, kVibes).effect = Effect::Tremolo;
        p.At(r, kVibes).param = 0x44;
      }
    Swing(p, kVibes);
    PaintEcho(p, kVibes, kEcho, 3, 16);
  };

  int intro = s.Pat([&](Pattern &p) {
    comp(p, turn, 34);
    WalkingBass(p, kBass, turn, key, bass, rng);
    PaintSteps(p, kRide, "x...x.o.", ride, 20, 32);
    Swing(p, kRide);
  });
  int a1 = s.Pat([&](Pattern &p) {
    drums(p, false);
    comp(p, head, 30);
    WalkingBass(p, kBass, head, key, bass, rng);
    melody(p, themeA);
  });
  int a2 = s.Pat([&](Pattern &p) {
    drums(p, true);
    comp(p, turn, 30);
    WalkingBass(p, kBass, turn, key, bass, rng);
    melody(p, themeA2);
  });
  int b1 = s.Pat([&](Pattern &p) {
    drums(p, true);
    comp(p, bridge, 30);
    WalkingBass(p, kBass, bridge, key, bass, rng);
    melody(p, themeB);
  });
  int s1 = s.Pat([&](Pattern &p) {
    drums(p, true);
    comp(p, head, 26);
    WalkingBass(p, kBass, head, key, bass, rng);
    melody(p, solo);
  });
  int s2 = s.Pat([&](Pattern &p) {
    drums(p, true);
    comp(p, turn, 26);
    WalkingBass(p, kBass, turn, key, bass, rng);
    melody(p, solo2);
  });
  int end = s.Pat([&](Pattern &p) {
    PaintPads(p, kPiano, 4, Chords({0}, 4), 64, key, 62, piano, 34);
    p.At(0, kBass) = {41, static_cast<uint8_t>(bass), 56};
    p.At(0, kRide) = {kMiddleC, static_cast<uint8_t>(ride), 24};
    p.At(4, kVibes) = {77, static_cast<uint8_t>(vibes), 40};
    p.At(8, kVibes) = {81, static_cast<uint8_t>(vibes), 32};
    p.At(12, kVibes) = {84, static_cast<uint8_t>(vibes), 26};
    p.At(16, kVibes) = {88, static_cast<uint8_t>(vibes), 22};
    for (int r = 17; r < 22; r++) p.At(r, kVibes) = {modwrite::kNoNote, 0, modwrite::kNoVolume, Effect::Tremolo, 0x44};
    PutEffect(p, 4, 0, Effect::SetTempo, 84);
    PutEffect(p, 8, 0, Effect::SetTempo, 76);
    for (int v = 0; v < 4; v++) p.At(22, kPiano + v).note = kNoteOff;
    p.At(22, kBass).note = kNoteOff;
    p.At(22, kVibes).note = kNoteOff;
  }, 26);
  s.m.orders = {intro, a1, a2, b1, a2, s1, s2, s1, s2, b1, a1, a2, end};
  return {s.m, "Velvet Lounge", "swing lounge", "F major", "FM piano, vibes, walking bass"};
}

}  // namespace

std::vector<Track> ComposeTracks() {
  std::vector<Track> tracks;
  tracks.push_back(PixelHarbour());
  tracks.push_back(NeonAvenue());
  tracks.push_back(SlowTide());
  tracks.push_back(Breakline());
  tracks.push_back(NightCircuit());
  tracks.push_back(VelvetLounge());
  return tracks;
}

}  // namespace compose
