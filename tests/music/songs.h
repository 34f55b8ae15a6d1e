// Generated test songs and libopenmpt's own rendering of them, shared by the music tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "modwrite/modwrite.h"
#include "music/sound.h"
#include "render.h"

namespace songs {

const int kRate = 44100;
// The square test songs play 0.12 s a row (speed 6, tempo 125).
const int kRowFrames = 5292;

// `orders` orders of one `rows`-row pattern of the writer's square song, the note panned hard left so the
// right output channel stays silent (IT songs mix at full volume: the left channel reaches full scale). The
// note starts in row `noteRow` and is held to the end.
inline modwrite::Module SquareSong(modwrite::Format format, int orders, int rows, int noteRow = 0) {
  modwrite::Module module = modwrite::SquareTestModule(format, rows);
  module.instruments[0].sample.panning = 0;
  module.channelPanning = {0, 255};
  module.mixVolume = 128;
  if (noteRow) std::swap(module.patterns[0].At(0, 0), module.patterns[0].At(noteRow, 0));
  module.orders.assign((size_t)orders, 0);
  return module;
}

// Eight channels of arpeggiated square and noise notes over four patterns, 7.7 s: a song that keeps the
// mixer busy, for render comparisons and benchmarks.
inline modwrite::Module BusySong(modwrite::Format format) {
  modwrite::Module module;
  module.format = format;
  module.channels = 8;
  module.speed = 3;
  module.mixVolume = 64;
  modwrite::Instrument square;
  square.sample.data = modwrite::SquareWave(64, 4096, 12000);
  square.sample.loop = modwrite::Loop::Forward;
  square.sample.loopEnd = 4096;
  square.sample.rate = 16744;
  module.instruments.push_back(square);
  modwrite::Instrument noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 8000; i++) {
    seed = seed * 1103515245u + 12345u;
    noise.sample.data.push_back((int16_t)((seed >> 16) & 0x7FFF) - 16384);
  }
  noise.sample.rate = 22050;
  module.instruments.push_back(noise);
  for (int p = 0; p < 4; p++) {
    modwrite::Pattern &pattern = module.AddPattern(32);
    for (int row = 0; row < 32; row++)
      for (int channel = 0; channel < 8; channel++) {
        if ((row + channel) % 4) continue;
        modwrite::Cell &cell = pattern.At(row, channel);
        cell.note = (uint8_t)(48 + (row * 7 + channel * 5 + p * 3) % 24);
        cell.instrument = (uint8_t)(channel % 3 == 2 ? 2 : 1);
        cell.volume = (int8_t)(32 + channel * 4);
        if (channel % 2) cell.effect = modwrite::Effect::Arpeggio, cell.param = 0x37;
      }
  }
  module.orders = {0, 1, 2, 3};
  return module;
}

// The whole song as libopenmpt renders it, read in the engine's chunks.
inline std::vector<int16_t> ReferenceRender(const std::vector<uint8_t> &file) {
  return RenderModule(file, kSoundChunkFrames);
}

}  // namespace songs
