// Generated test songs, shared by the music tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

#include "modwrite/modwrite.h"
#include "render.h"

namespace songs {

const int kRate = 44100;
const int kRowFrames = 5292;  // a row of the square test songs: 0.12 s at speed 6, tempo 125

// `orders` orders of one `rows`-row pattern of the writer's square song, panned hard left (the right stays
// silent; IT mixes at full volume, so the left reaches full scale), the note held from row `noteRow` on.
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
  module.instruments.resize(2);
  modwrite::Sample &square = module.instruments[0].sample, &noise = module.instruments[1].sample;
  square.data = modwrite::SquareWave(64, 4096, 12000);
  square.loop = modwrite::Loop::Forward;
  square.loopEnd = 4096;
  square.rate = 16744;
  for (uint32_t i = 0, seed = 12345; i < 8000; i++) {
    seed = seed * 1103515245u + 12345u;
    noise.data.push_back((int16_t)((seed >> 16) & 0x7FFF) - 16384);
  }
  noise.rate = 22050;
  for (int p = 0; p < 4; p++) {
    modwrite::Pattern &pattern = module.AddPattern(32);
    for (int row = 0; row < 32; row++)
      for (int channel = row % 4 ? 4 - row % 4 : 0; channel < 8; channel += 4)
        pattern.At(row, channel) = {(uint8_t)(48 + (row * 7 + channel * 5 + p * 3) % 24),
                                    (uint8_t)(channel % 3 == 2 ? 2 : 1), (int8_t)(32 + channel * 4),
                                    channel % 2 ? modwrite::Effect::Arpeggio : modwrite::Effect::None,
                                    (uint8_t)(channel % 2 ? 0x37 : 0)};
    module.orders.push_back(p);
  }
  return module;
}

}  // namespace songs
