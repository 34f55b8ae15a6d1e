// The track table: read once at start-up from the list file "data/mods.dat" and one description file per
// track, all archive members, and unchanged until the program ends. Main thread only.
#pragma once

#include <cstdint>
#include <cstdio>

// One track: eight NUL-terminated text fields of at most 127 characters, zero-filled behind the text.
struct ModInfo {
  char ModFile[128];      // archive name of the XM or IT module
  char Title1[128];       // first title line
  char Title2[128];       // second title line
  char InfoLine[5][128];  // free text; empty when the description file has fewer lines
};
static_assert(sizeof(ModInfo) == 1024, "a track record is 1024 bytes");

const uint32_t kMaxModCount = 1024;

extern ModInfo *ModInfos;    // ModCount records, tracked allocation ("demo"); freed by the director
extern uint32_t ModCount;    // 1 to 1024 once the table is read
extern uint32_t CurrentMod;  // index of the track being played, always below ModCount

// Fills ModCount and ModInfos, or ends the program with a fatal error (source "demo").
//
// Each line is read into a 1024-byte buffer and loses a trailing LF and then a trailing CR, so CR LF files,
// bare LF files and a last line without a line end all keep every visible character.
void ParseModInfos();

// The steps behind ParseModInfos, reporting a failure instead of ending the process (for the fuzz
// harness). Each returns null or the failure, which carries the message and the line to report.
struct ModInfoFailure {
  int Line;
  const char *Message;
};
// Reads the track count from the list file's first line and leaves the file at the start of line 2.
const ModInfoFailure *ReadModCount(FILE *list, uint32_t *count);
// Reads the next line of the list file into `name` (1024 bytes): a description file's name.
const ModInfoFailure *ReadModListName(FILE *list, char *name);
// Reads a description file into `info`, which must be zero-filled.
const ModInfoFailure *ReadModDescription(FILE *file, ModInfo *info);
