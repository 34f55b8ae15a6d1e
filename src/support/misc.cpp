#include "support/misc.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

// =========================================================================================================
// [SECTION] Log

static int BannerWritten = 0;
static int LogDisabled = 0;

void LogDisable() { LogDisabled = 1; }

void LogPrint(const char *format, ...) {
  if (LogDisabled) return;
  FILE *log = fopen("program.log", "a");
  if (!log) return;
  if (!BannerWritten) {
    BannerWritten = 1;
    time_t now = time(nullptr);
    // asctime's text ends with its own line end.
    fprintf(log, "\n\n\n\n BEG LOGIN AT %s \n\n", asctime(localtime(&now)));
  }
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
  fflush(log);
  fclose(log);
}

// =========================================================================================================
// [SECTION] Fatal errors and shutdown callbacks

static const uint32_t kMaxShutdownCallbacks = 128;
static uint32_t ShutdownCallbackCount = 0;
static SHUTDOWN_CALLBACK ShutdownCallbacks[kMaxShutdownCallbacks];

void AddShutdownCallback(SHUTDOWN_CALLBACK function) {
  if (!function || ShutdownCallbackCount >= kMaxShutdownCallbacks) return;
  ShutdownCallbacks[ShutdownCallbackCount++] = function;
}

void RemoveShutdownCallback(SHUTDOWN_CALLBACK function) {
  for (uint32_t i = 0; i < ShutdownCallbackCount; i++)
    if (ShutdownCallbacks[i] == function) ShutdownCallbacks[i] = nullptr;
}

void FatalError(int line, const char *file, const char *message) {
  printf("\n PROGRAM: -- ERROR: at %s %i : %s ", file, line, message);
  LogPrint("\n PROGRAM: -- ERROR: at %s %i : %s ", file, line, message);
  fflush(stdout);

  PlatformMessageBox(message, "ERROR");

  // A slot is emptied before its callback runs, so a fatal error raised inside a callback carries on
  // with the callbacks after it instead of starting the table again: each runs at most once.
  for (uint32_t i = 0; i < ShutdownCallbackCount; i++) {
    SHUTDOWN_CALLBACK callback = ShutdownCallbacks[i];
    if (!callback) continue;
    ShutdownCallbacks[i] = nullptr;
    callback();
  }

  // Every stream is flushed and the process ends at once: normal exit would run static destructors
  // while library threads (the audio callback) may still be running.
  fflush(nullptr);
  std::_Exit(0);
}

// =========================================================================================================
// [SECTION] Tracked allocator

namespace {

struct AllocRecord {
  void *Ptr;  // 0 marks a free entry
  int32_t Size;
  int32_t Line;
  char File[64];
};

const int kMaxAllocs = 32000;
const size_t kLargeBlock = 1048576;
const unsigned char kGuardByte = 0x66;
// Bytes Size..Size+3 stay zero, Size+4..Size+7 hold the guard.
const size_t kGuardGap = 4, kGuardSize = 4;

AllocRecord AllocTable[kMaxAllocs];

}  // namespace

void *TrackedAlloc(size_t size, int line, const char *file) {
  if (size == 0) {
    LogPrint("\n PROGRAM: -- DEBUG: malloc(0) at %s %i ", file, line);
    return nullptr;
  }
  if (size > kLargeBlock)
    LogPrint("\n PROGRAM: -- DEBUG: LARGE_BLOCK at %s %i -- size %i", file, line, (int)(size > INT32_MAX ? INT32_MAX : size));

  // Sizes are recorded as 32-bit values; a request that cannot be recorded is as fatal as an empty heap.
  unsigned char *block = nullptr;
  if (size <= (size_t)INT32_MAX - kGuardGap - kGuardSize)
    block = (unsigned char *)calloc(1, size + kGuardGap + kGuardSize);
  if (!block) FatalError(118, "misc", "Out Of Memory !");
  memset(block + size + kGuardGap, kGuardByte, kGuardSize);

  int i = 0;
  while (i < kMaxAllocs && AllocTable[i].Ptr) i++;
  if (i == kMaxAllocs) {
    free(block);
    FatalError(140, "misc", "DEBUG: __MAX_ALLOCS__ error !");
  }

  AllocRecord &record = AllocTable[i];
  record.Ptr = block;
  record.Size = (int32_t)size;
  record.Line = line;
  memset(record.File, 0, sizeof record.File);
  strncpy(record.File, file ? file : "", sizeof record.File - 1);
  return block;
}

void TrackedFree(void *pointer, int line, const char *file) {
  if (!pointer) {
    LogPrint("\n PROGRAM: -- DEBUG: free(0) at %s %i ", file, line);
    return;
  }
  int i = 0;
  while (i < kMaxAllocs && AllocTable[i].Ptr != pointer) i++;
  if (i == kMaxAllocs) {
    LogPrint("\n PROGRAM: -- DEBUG: free(BadPointer) at %s %i ", file, line);
    return;
  }
  AllocRecord &record = AllocTable[i];
  const unsigned char *guard = (const unsigned char *)pointer + record.Size + kGuardGap;
  for (size_t g = 0; g < kGuardSize; g++) {
    if (guard[g] != kGuardByte) {
      LogPrint("\n PROGRAM: -- DEBUG: TabOVERLOAD at %s %i [ptrsize: %i ]", file, line, record.Size);
      break;
    }
  }
  record.Ptr = nullptr;
  free(pointer);
}

void AllocReport() {
  LogPrint("\n PROGRAM: -- DEBUG: Alloc Raport: ");
  for (const AllocRecord &record : AllocTable)
    if (record.Ptr) LogPrint("\n PROGRAM: -- DEBUG: Pointer at %s %i - still allocated !", record.File, record.Line);
  LogPrint("\n PROGRAM: -- DEBUG: End of alloc raport.");
}

int64_t AllocTotal() {
  int64_t total = 0;
  for (const AllocRecord &record : AllocTable)
    if (record.Ptr) total += record.Size;
  return total;
}

// The plain array form has no caller line; its blocks are recorded under the operator's own name.
void *TrackedNewArray(size_t size) {
  LogPrint("\n PROGRAM: -- DEBUG: Call to new[](size_t) !");
  return TrackedAlloc(size, 0, "new[]");
}

void *TrackedNewWithPointer(size_t size, int line, const char *file) {
  LogPrint("\n PROGRAM: -- DEBUG: Call to new(size_t, void *) !");
  return TrackedAlloc(size, line, file);
}

void *TrackedNewArrayWithPointer(size_t size, int line, const char *file) {
  LogPrint("\n PROGRAM: -- DEBUG: Call to new[](size_t, void *) !");
  return TrackedAlloc(size, line, file);
}

void TrackedDeleteArray(void *pointer) {
  LogPrint("\n PROGRAM: -- DEBUG: call to delete[](void *) !");
  TrackedFree(pointer, 0, "delete[]");
}
