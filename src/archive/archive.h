// Resource archive: every data file of the program is a member of "tunemill.dat" in the working directory,
// stored as is or Huffman-packed, and is handed out as a temporary file "_#q_%i.t$p" beside it.
// Main thread only; nothing here is reentrant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// =========================================================================================================
// [SECTION] The program's interface

// Scans "tunemill.dat" and keeps its directory in memory. Called once, first thing at start-up; from then
// on every ExtractFile goes through the archive. Any failure is fatal (source "extr").
void OpenResource();

// Writes the member `name` (a relative path; case and the kind of slash do not matter) to a new temporary
// file in the working directory and returns its path, a 257-byte buffer that the caller owns and hands to
// ReleaseFile once the file has been read. A missing member or a damaged archive is fatal.
// Before OpenResource (tests and tools rely on this) no archive is touched: the result is a copy of `name`,
// so the caller reads the file straight from the disk.
char *ExtractFile(const char *name);

// Deletes the temporary file (only once the archive is open; a failure is ignored) and frees the buffer.
void ReleaseFile(char *path);

// Frees the directory at the end of shutdown. The archive stays "open": a later ExtractFile is fatal.
void CloseResource();

// =========================================================================================================
// [SECTION] Module state

// One record per archive member, in file order, allocated zero-filled through the tracked allocator.
struct RESOURCE_ENTRY {
  char name[256];       // the header's name bytes, copied whole; NUL-terminated unless all 256 are used
  uint64_t dataOffset;  // absolute file offset of the member's data; 64 bits so archives past 4 GiB work
  uint32_t storedSize;
  uint32_t unpackedSize;  // meaningful only when packed is not 0
  uint32_t packed;        // 0: stored as is; otherwise a Huffman block
  RESOURCE_ENTRY *next;
};

extern const char *gResourceFileName;  // "tunemill.dat", relative to the working directory
extern int gResourceOpened;            // set by OpenResource before anything can fail, never cleared
extern RESOURCE_ENTRY *gResourceList;
extern int gTempFileCounter;  // numbers the temporary files; never reset during a run

// =========================================================================================================
// [SECTION] Core, shared by the extraction above, tmpack and the fuzz harnesses
//
// These functions report failures as values and never end the process; each status maps to one message.

enum RESOURCE_STATUS {
  RESOURCE_OK = 0,
  RESOURCE_CANNOT_OPEN,    // "Cannot open resource file !"
  RESOURCE_READ_ERROR,     // "Read error !"
  RESOURCE_FORMAT_ERROR,   // "Resource format error !"
  RESOURCE_EXTRACT_ERROR,  // "Cannot extact files from resource !\n[write/rights error] !"
  RESOURCE_NOT_FOUND,      // "File not in resource !\n[%s]", filled with the requested name
  RESOURCE_HUFF_ERROR,     // "HUFF decompresion error !"
};

const uint32_t kResourceMagic = 0x666;
const uint32_t kResourceHeaderSize = 273;  // packed little-endian header in front of every member
const uint32_t kResourceNameSize = 256;

// Where the core takes the memory for directory records and decode buffers (zero-filled blocks). The
// program uses the tracked allocator; tools that must not write the program's log bring their own.
struct RESOURCE_MEMORY {
  void *(*allocate)(size_t size, int line, const char *file);
  void (*release)(void *pointer, int line, const char *file);
};
extern const RESOURCE_MEMORY kTrackedResourceMemory;

// The message of a status; RESOURCE_NOT_FOUND's text holds one "%s" for the requested name.
const char *ResourceMessage(RESOURCE_STATUS status);

// Opens an archive for binary reading; null when it is missing or is not a regular file.
FILE *OpenResourceFile(const char *fileName);

// Builds the directory of the archive from the stream's current position to its end. The members must
// tile that range exactly. On failure *list is left empty and nothing stays allocated.
RESOURCE_STATUS ScanResource(FILE *archive, RESOURCE_ENTRY **list, const RESOURCE_MEMORY &memory);

// Frees every record and empties the list.
void FreeResourceList(RESOURCE_ENTRY **list, const RESOURCE_MEMORY &memory);

// Same length, and equal characters after upper-casing a-z, with '/' and '\' counted as one character.
// `entryName` is a header's 256-byte name field.
bool ResourceNamesMatch(const char *request, const char *entryName);

// The first record, in file order, whose name matches; null when none does.
const RESOURCE_ENTRY *FindResource(const RESOURCE_ENTRY *list, const char *name);

// Writes the member's contents to `out` (which the caller flushes and closes). A packed member must
// decode to exactly unpackedSize bytes.
RESOURCE_STATUS ExtractResource(FILE *archive, const RESOURCE_ENTRY *entry, FILE *out,
                                const RESOURCE_MEMORY &memory);

// Creates `path` for binary writing without ever following or writing through a symbolic link there: what
// sits at the name is unlinked and a fresh file is created exclusively. Null on failure.
FILE *CreateTempFile(const char *path);

// Fills a member header; `name` must be at most 255 bytes so that its terminator fits.
void FormatResourceHeader(unsigned char header[kResourceHeaderSize], const char *name, uint32_t storedSize,
                          uint32_t unpackedSize, uint32_t packed);

// =========================================================================================================
// [SECTION] Huffman codec
//
// A block is 256 little-endian 32-bit byte counts followed by the code stream, least significant bit of
// each byte first, ending with the code of the end symbol. Not reentrant (static tables).

const uint32_t kHuffCountTableSize = 1024;

// Decodes `block` (blockSize bytes; bytes past its end read as 0) into `output` until the end symbol and
// returns the number of bytes written: exactly what walking the code tree one bit at a time gives. When
// the stream holds more than outputSize bytes, writing stops at the end of `output` and the result is
// outputSize + 1, so that a caller comparing with the expected size sees the error. Never reads or writes
// outside the two buffers. outputSize must be below 0xFFFFFFFF.
uint32_t HuffDecode(const unsigned char *block, uint32_t blockSize, unsigned char *output, uint32_t outputSize);

// Exact size of the block HuffEncode makes of these bytes, table included (at least 1024).
uint64_t HuffEncodedSize(const unsigned char *source, uint32_t length);

// Packs `length` bytes into `destination`; returns the block's size, or 0 when it would not fit in
// destinationSize bytes (nothing useful is written then).
uint32_t HuffEncode(const unsigned char *source, uint32_t length, unsigned char *destination,
                    uint32_t destinationSize);
