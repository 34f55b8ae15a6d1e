// Runtime support: the log file, the fatal-error reporter with its shutdown callbacks, and the tracked
// allocator through which the program's own code takes its heap memory. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------------------
// Log and fatal errors

// Appends printf-style text to "program.log" in the working directory; the file is opened and closed on
// every call. The first call of a run that manages to open the file writes the banner first. Callers put
// their own "\n" at the start of a line. A file that cannot be opened drops the text silently.
void LogPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));
// For tools that run the program's code outside the program: from now on LogPrint writes nothing, so no
// "program.log" appears in the folder the tool was started from.
void LogDisable();

// Logs the error, shows `message` in a box captioned "ERROR" (standard error when no display can show it),
// runs the shutdown callbacks and ends the process with exit code 0. `file` is the caller's source name,
// such as "demo" or "gldriver".
[[noreturn]] void FatalError(int line, const char *file, const char *message);

typedef void (*SHUTDOWN_CALLBACK)();

// At most 128 callbacks; a null function or a full table is ignored silently.
void AddShutdownCallback(SHUTDOWN_CALLBACK function);
// Empties every slot that holds the function; the slots themselves are not reused.
void RemoveShutdownCallback(SHUTDOWN_CALLBACK function);

// ---------------------------------------------------------------------------------------------------------
// Tracked allocator

// A zero-filled block of `size` bytes with a guard behind it, recorded with the caller's source name and
// line; 0 (and a debug line) for size 0. Exhaustion of the heap or of the 32,000-entry table is fatal.
void *TrackedAlloc(size_t size, int line, const char *file);
// Releases a block; `line` and `file` only go into the debug lines (free(0), free(BadPointer), TabOVERLOAD).
void TrackedFree(void *pointer, int line, const char *file);
// Writes the list of blocks still allocated to the log, in table order.
void AllocReport();
// Sum of the sizes of all live blocks.
int64_t AllocTotal();

// Class-level allocation operators routed through the tracked allocator. Each class of the program puts
// TRACKED_ALLOCATION in its body and is created with its source line and name:
//     new (__LINE__, "winmain") c_GLDRIVER(...)
// Libraries keep the standard operators, so their allocations (the audio thread's included) never reach
// the table.
#define TRACKED_ALLOCATION                                                                              \
  static void *operator new(size_t size, int line, const char *file) {                                 \
    return TrackedAlloc(size, line, file);                                                              \
  }                                                                                                     \
  static void *operator new(size_t size, void *, int line, const char *file) {                         \
    return TrackedNewWithPointer(size, line, file);                                                     \
  }                                                                                                     \
  static void *operator new[](size_t size) { return TrackedNewArray(size); }                            \
  static void *operator new[](size_t size, void *, int line, const char *file) {                       \
    return TrackedNewArrayWithPointer(size, line, file);                                                \
  }                                                                                                     \
  static void operator delete(void *pointer) { TrackedFree(pointer, 0, "delete"); }                     \
  static void operator delete[](void *pointer) { TrackedDeleteArray(pointer); }

// The logged forms behind TRACKED_ALLOCATION; the program itself uses none of them.
void *TrackedNewArray(size_t size);
void *TrackedNewWithPointer(size_t size, int line, const char *file);
void *TrackedNewArrayWithPointer(size_t size, int line, const char *file);
void TrackedDeleteArray(void *pointer);
