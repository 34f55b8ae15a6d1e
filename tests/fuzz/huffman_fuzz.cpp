// Two inputs from each sample: the bytes as a packed block, decoded into a buffer of exactly the size
// the first two bytes name (up to 8191) and held against the reference walk; and the bytes as data,
// packed and unpacked again.
#include <cstdlib>
#include <cstring>

#include "../archive/huffman_oracle.h"
#include "archive/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  uint32_t outputSize = data[0] | (data[1] & 0x1F) << 8;
  Bytes block(data + 2, data + size);
  // An exact-size heap buffer, so a write past its end is caught at once.
  Bytes output(outputSize);
  uint32_t length = HuffDecode(block.data(), (uint32_t)block.size(), output.data(), outputSize);
  Bytes expected;
  if (length != OracleDecode(block, outputSize, &expected)) abort();
  if (memcmp(output.data(), expected.data(), length < outputSize ? length : outputSize) != 0) abort();

  uint64_t packedSize = HuffEncodedSize(data, (uint32_t)size);
  Bytes packed(packedSize);
  if (HuffEncode(data, (uint32_t)size, packed.data(), (uint32_t)packedSize) != packedSize) abort();
  Bytes unpacked(size);
  if (HuffDecode(packed.data(), (uint32_t)packed.size(), unpacked.data(), (uint32_t)size) != size) abort();
  if (memcmp(unpacked.data(), data, size) != 0) abort();
  return 0;
}
