// Module header checks on untrusted bytes, as the probes read them: the first 48 (IT) or 336 (XM) bytes of
// a file, or fewer when the file is shorter.
#include <cstdint>
#include <cstdlib>

#include "music/music.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  uint32_t orders = 0xFFFFFFFF;
  if (!CheckITHeader(data, size < 48 ? size : 48, &orders) && orders > 0xFFFF) abort();
  orders = 0xFFFFFFFF;
  if (!CheckXMHeader(data, size < 336 ? size : 336, &orders) && orders > 0xFFFF) abort();
  return 0;
}
