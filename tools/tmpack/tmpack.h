// tmpack's pieces shared by its commands: reading members, writing archives whole or not at all, the
// progress line, and the two commands that make and check a musician's disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive.h"

// The archive core's memory for tmpack: plain heap blocks, so that the tool never writes the program's log.
extern const RESOURCE_MEMORY kToolMemory;

// Prints the usage text after `problem`; returns the usage error's exit status, 2.
int Usage(const char *problem);

std::string EntryName(const RESOURCE_ENTRY *entry);

// Opens and scans an archive, printing the program's message on failure.
bool LoadArchive(const char *path, FILE **file, RESOURCE_ENTRY **list);

// The member's contents; false with the program's message in `problem` when the member is damaged.
bool ReadMember(FILE *archive, const RESOURCE_ENTRY *entry, std::vector<unsigned char> *data, std::string *problem);

enum PackMode { PACK_AUTO, PACK_STORE, PACK_HUFFMAN };

// Appends one member; `mode` PACK_AUTO packs only when that makes the member smaller.
bool WriteEntry(FILE *out, const std::string &name, const std::vector<unsigned char> &data, PackMode mode);

// A new archive is written beside its final name and renamed at the end, so that it appears whole or not
// at all and an archive it replaces stays readable until then.
struct ARCHIVE_PART {
  std::string finalPath;
  std::string partPath;
  FILE *out = nullptr;
};
bool OpenArchivePart(const char *archivePath, ARCHIVE_PART *part);
// Closes the part and, when `keep` holds and every write went through, renames it to its final name;
// otherwise deletes it. True when the archive is in place.
bool CloseArchivePart(ARCHIVE_PART *part, bool keep);

// A status line on standard error once a run has taken more than a second.
class Progress {
 public:
  Progress(const char *verb, const char *noun);
  ~Progress();
  void Update(size_t done, size_t total, uint64_t bytes);

 private:
  using Clock = std::chrono::steady_clock;
  const char *verb_;
  const char *noun_;
  Clock::time_point start_, last_;
  bool tty_;
  bool shown_ = false;
};

// tmpack disk OUT [--art ARCHIVE] [--strict] MODULE_OR_FOLDER...
int Disk(const char *outPath, int argc, char **argv);
// tmpack check DISK
int Check(const char *diskPath);
