#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "archive/archive.h"
#include "archive/le32.h"
#include "support/misc.h"

const char *gResourceFileName = "tunemill.dat";
int gResourceOpened = 0;
RESOURCE_ENTRY *gResourceList = nullptr;
int gTempFileCounter = 0;

// =========================================================================================================
// [SECTION] Core

namespace {

const uint32_t kCopyChunk = 1024;
const uint32_t kPathSize = 257;

char FoldNameChar(char c) {
  if (c >= 'a' && c <= 'z') return (char)(c - 'a' + 'A');
  if (c == '\\') return '/';
  return c;
}

RESOURCE_STATUS CopyStored(FILE *archive, uint32_t size, FILE *out) {
  unsigned char buffer[kCopyChunk];
  while (size) {
    uint32_t chunk = size < kCopyChunk ? size : kCopyChunk;
    if (fread(buffer, 1, chunk, archive) != chunk) return RESOURCE_EXTRACT_ERROR;
    if (fwrite(buffer, 1, chunk, out) != chunk) return RESOURCE_EXTRACT_ERROR;
    size -= chunk;
  }
  return RESOURCE_OK;
}

RESOURCE_STATUS CopyPacked(FILE *archive, const RESOURCE_ENTRY *entry, FILE *out,
                           const RESOURCE_MEMORY &memory) {
  // Every byte symbol takes at least one stream bit and the zeros past the block's end can add at most
  // one symbol before the end symbol, so a larger size can never decode; refusing it here keeps a damaged
  // header from asking for gigabytes.
  uint64_t streamBytes = entry->storedSize > kHuffCountTableSize ? entry->storedSize - kHuffCountTableSize : 0;
  if (entry->unpackedSize > 8 * streamBytes + 8) return RESOURCE_HUFF_ERROR;

  // Empty blocks and empty contents need no buffer (and the C library takes no null buffer).
  unsigned char *block = nullptr, *output = nullptr;
  RESOURCE_STATUS status = RESOURCE_OK;
  if (entry->storedSize) {
    block = (unsigned char *)memory.allocate(entry->storedSize, __LINE__, "extr");
    if (fread(block, 1, entry->storedSize, archive) != entry->storedSize) status = RESOURCE_EXTRACT_ERROR;
  }
  if (status == RESOURCE_OK) {
    if (entry->unpackedSize) output = (unsigned char *)memory.allocate(entry->unpackedSize, __LINE__, "extr");
    if (HuffDecode(block, entry->storedSize, output, entry->unpackedSize) != entry->unpackedSize)
      status = RESOURCE_HUFF_ERROR;
    else if (entry->unpackedSize && fwrite(output, 1, entry->unpackedSize, out) != entry->unpackedSize)
      status = RESOURCE_EXTRACT_ERROR;
  }
  if (block) memory.release(block, __LINE__, "extr");
  if (output) memory.release(output, __LINE__, "extr");
  return status;
}

}  // namespace

const RESOURCE_MEMORY kTrackedResourceMemory = {TrackedAlloc, TrackedFree};

const char *ResourceMessage(RESOURCE_STATUS status) {
  switch (status) {
    case RESOURCE_OK: return "";
    case RESOURCE_CANNOT_OPEN: return "Cannot open resource file !";
    case RESOURCE_READ_ERROR: return "Read error !";
    case RESOURCE_FORMAT_ERROR: return "Resource format error !";
    case RESOURCE_EXTRACT_ERROR: return "Cannot extact files from resource !\n[write/rights error] !";
    case RESOURCE_NOT_FOUND: return "File not in resource !\n[%s]";
    case RESOURCE_HUFF_ERROR: return "HUFF decompresion error !";
  }
  return "";
}

FILE *OpenResourceFile(const char *fileName) {
  FILE *file = fopen(fileName, "rb");
  if (!file) return nullptr;
  // A folder opens for reading on Linux, but it is no more an archive than a missing file.
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    fclose(file);
    return nullptr;
  }
  return file;
}

RESOURCE_STATUS ScanResource(FILE *archive, RESOURCE_ENTRY **list, const RESOURCE_MEMORY &memory) {
  *list = nullptr;
  off_t start = ftello(archive);
  if (start < 0 || fseeko(archive, 0, SEEK_END) != 0) return RESOURCE_READ_ERROR;
  off_t size = ftello(archive);
  if (size < 0 || fseeko(archive, start, SEEK_SET) != 0) return RESOURCE_READ_ERROR;

  RESOURCE_ENTRY *tail = nullptr;
  uint64_t position = (uint64_t)start;
  // The body runs at least once, so an empty archive fails at its first header. A size that runs past
  // the end leaves the position beyond it, where the next header read comes up short.
  do {
    unsigned char header[kResourceHeaderSize];
    if (position > (uint64_t)size || fseeko(archive, (off_t)position, SEEK_SET) != 0 ||
        fread(header, 1, kResourceHeaderSize, archive) != kResourceHeaderSize) {
      FreeResourceList(list, memory);
      return RESOURCE_READ_ERROR;
    }
    if (ReadLE32(header) != kResourceMagic) {
      FreeResourceList(list, memory);
      return RESOURCE_FORMAT_ERROR;
    }
    RESOURCE_ENTRY *entry = (RESOURCE_ENTRY *)memory.allocate(sizeof(RESOURCE_ENTRY), __LINE__, "extr");
    memcpy(entry->name, header + 4, kResourceNameSize);
    entry->storedSize = ReadLE32(header + 261);
    entry->unpackedSize = ReadLE32(header + 265);
    entry->packed = ReadLE32(header + 269);
    entry->dataOffset = position + kResourceHeaderSize;
    if (tail)
      tail->next = entry;
    else
      *list = entry;
    tail = entry;
    position = entry->dataOffset + entry->storedSize;
  } while (position != (uint64_t)size);
  return RESOURCE_OK;
}

void FreeResourceList(RESOURCE_ENTRY **list, const RESOURCE_MEMORY &memory) {
  while (*list) {
    RESOURCE_ENTRY *next = (*list)->next;
    memory.release(*list, __LINE__, "extr");
    *list = next;
  }
}

bool ResourceNamesMatch(const char *request, const char *entryName) {
  size_t length = strnlen(entryName, kResourceNameSize);
  if (strnlen(request, length + 1) != length) return false;
  for (size_t i = 0; i < length; i++)
    if (FoldNameChar(request[i]) != FoldNameChar(entryName[i])) return false;
  return true;
}

const RESOURCE_ENTRY *FindResource(const RESOURCE_ENTRY *list, const char *name) {
  for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next)
    if (ResourceNamesMatch(name, entry->name)) return entry;
  return nullptr;
}

RESOURCE_STATUS ExtractResource(FILE *archive, const RESOURCE_ENTRY *entry, FILE *out,
                                const RESOURCE_MEMORY &memory) {
  if (fseeko(archive, (off_t)entry->dataOffset, SEEK_SET) != 0) return RESOURCE_EXTRACT_ERROR;
  if (!entry->packed) return CopyStored(archive, entry->storedSize, out);
  return CopyPacked(archive, entry, out, memory);
}

FILE *CreateTempFile(const char *path) {
  // Unlinking first also keeps a stale name that is a hard link from truncating the other file; the
  // exclusive create then fails rather than follow anything put there in between.
  unlink(path);
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE *file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
}

void FormatResourceHeader(unsigned char header[kResourceHeaderSize], const char *name, uint32_t storedSize,
                          uint32_t unpackedSize, uint32_t packed) {
  memset(header, 0, kResourceHeaderSize);
  WriteLE32(header, kResourceMagic);
  strncpy((char *)header + 4, name, kResourceNameSize - 1);
  WriteLE32(header + 261, storedSize);
  WriteLE32(header + 265, unpackedSize);
  WriteLE32(header + 269, packed);
}

// =========================================================================================================
// [SECTION] The program's interface

namespace {

[[noreturn]] void ResourceFailure(int line, RESOURCE_STATUS status) {
  FatalError(line, "extr", ResourceMessage(status));
}

}  // namespace

void OpenResource() {
  gResourceOpened = 1;
  FILE *archive = OpenResourceFile(gResourceFileName);
  if (!archive) ResourceFailure(__LINE__, RESOURCE_CANNOT_OPEN);
  RESOURCE_STATUS status = ScanResource(archive, &gResourceList, kTrackedResourceMemory);
  if (status != RESOURCE_OK) ResourceFailure(__LINE__, status);
  fclose(archive);
}

char *ExtractFile(const char *name) {
  char *path = (char *)TrackedAlloc(kPathSize, __LINE__, "extr");
  if (!gResourceOpened) {
    strncpy(path, name, kPathSize - 1);
    return path;
  }
  snprintf(path, kPathSize, "_#q_%i.t$p", gTempFileCounter);
  gTempFileCounter++;

  FILE *archive = OpenResourceFile(gResourceFileName);
  if (!archive) ResourceFailure(__LINE__, RESOURCE_CANNOT_OPEN);
  FILE *out = CreateTempFile(path);
  if (!out) ResourceFailure(__LINE__, RESOURCE_EXTRACT_ERROR);
  const RESOURCE_ENTRY *entry = FindResource(gResourceList, name);
  if (!entry) {
    char message[kResourceNameSize + 64];
    snprintf(message, sizeof message, ResourceMessage(RESOURCE_NOT_FOUND), name);
    FatalError(__LINE__, "extr", message);
  }
  RESOURCE_STATUS status = ExtractResource(archive, entry, out, kTrackedResourceMemory);
  if (status != RESOURCE_OK) {
    fclose(out);
    ResourceFailure(__LINE__, status);
  }
  // A full disk shows only when the buffered tail is written: the file would be short, not extracted.
  if (fclose(out) != 0) ResourceFailure(__LINE__, RESOURCE_EXTRACT_ERROR);
  fclose(archive);
  return path;
}

void ReleaseFile(char *path) {
  if (gResourceOpened && path) remove(path);
  TrackedFree(path, __LINE__, "extr");
}

void CloseResource() {
  if (gResourceOpened) FreeResourceList(&gResourceList, kTrackedResourceMemory);
}
