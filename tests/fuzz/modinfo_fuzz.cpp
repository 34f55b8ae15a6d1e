// Track-list lines from untrusted bytes: the input is read both as a list file and as a description file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "director/modinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!file) return 0;

  uint32_t count = 0;
  if (!ReadModCount(file, &count)) {
    if (count < 1 || count > kMaxModCount) abort();
    char name[1024];
    for (uint32_t i = 0; i < count; i++) {
      if (ReadModListName(file, name)) break;
      if (strnlen(name, sizeof name) < 2 || strnlen(name, sizeof name) >= sizeof name) abort();
    }
  }

  rewind(file);
  ModInfo info;
  memset(&info, 0, sizeof info);
  if (!ReadModDescription(file, &info)) {
    const char *fields = (const char *)&info;
    for (int field = 0; field < 8; field++)
      if (fields[128 * field + 127] != 0) abort();
    if (strlen(info.ModFile) < 2) abort();
  }
  fclose(file);
  return 0;
}
