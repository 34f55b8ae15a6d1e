// The one way the tests and benchmarks render a module: libopenmpt at 44,100 Hz, interleaved stereo 16-bit,
// playing once to its end without dither, as the sound engine has its music play.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstdint>
#include <vector>

inline openmpt_module *OpenModule(const std::vector<uint8_t> &file) {
  const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
  openmpt_module *module = openmpt_module_create_from_memory2(file.data(), file.size(), openmpt_log_func_silent,
                                                              nullptr, openmpt_error_func_ignore, nullptr,
                                                              nullptr, nullptr, ctls);
  if (module) openmpt_module_set_repeat_count(module, 0);
  return module;
}

// The whole song, read `chunkFrames` at a time (libopenmpt's XM volume ramps depend on the read size); the
// highest order reached goes to `lastOrder` when given. Empty when libopenmpt refuses the file.
inline std::vector<int16_t> RenderModule(const std::vector<uint8_t> &file, size_t chunkFrames,
                                         int *lastOrder = nullptr) {
  std::vector<int16_t> out, block(2 * chunkFrames);
  openmpt_module *module = OpenModule(file);
  if (!module) return out;
  while (size_t frames = openmpt_module_read_interleaved_stereo(module, 44100, chunkFrames, block.data())) {
    out.insert(out.end(), block.begin(), block.begin() + 2 * (long)frames);
    if (lastOrder) *lastOrder = std::max(*lastOrder, (int)openmpt_module_get_current_order(module));
  }
  openmpt_module_destroy(module);
  return out;
}
