#include "picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return FuzzPictureDecoder(DecodePNG, data, size);
}
