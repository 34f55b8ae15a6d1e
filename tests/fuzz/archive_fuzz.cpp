// The bytes as a whole archive: scanned, looked up and every entry extracted, as the program and tmpack
// do it. Failures are values here; only a crash, a leak or a sanitizer report is a finding.
#include <cstdio>
#include <cstdlib>

#include "archive/archive.h"

namespace {

void *Allocate(size_t size, int, const char *) { return calloc(1, size); }
void Release(void *pointer, int, const char *) { free(pointer); }
const RESOURCE_MEMORY kMemory = {Allocate, Release};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static FILE *sink = fopen("/dev/null", "wb");
  FILE *archive = fmemopen((void *)data, size, "rb");
  if (!archive) return 0;
  RESOURCE_ENTRY *list = nullptr;
  if (ScanResource(archive, &list, kMemory) == RESOURCE_OK) {
    if (!list) abort();
    FindResource(list, "data/mods.dat");
    for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next) {
      // Every terminated name finds an entry: itself or an earlier one of the same name.
      if (entry->name[255] == '\0' && !FindResource(list, entry->name)) abort();
      ExtractResource(archive, entry, sink, kMemory);
    }
  }
  FreeResourceList(&list, kMemory);
  fclose(archive);
  return 0;
}
