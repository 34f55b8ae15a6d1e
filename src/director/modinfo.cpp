#include "director/modinfo.h"

#include <cstring>

#include "archive/archive.h"
#include "support/misc.h"

ModInfo *ModInfos = nullptr;
uint32_t ModCount = 0;
uint32_t CurrentMod = 0;

static const int kLineBufferSize = 1024;
static const size_t kFieldChars = 127;
// Shorter names (after the line end is stripped) are refused; with CR LF line ends this is the old rule of
// "more than 3 characters, line end included".
static const size_t kMinNameChars = 2;

static const ModInfoFailure kCannotOpenList = {25, "Cannot open file ! [ParseModInfos]"};
static const ModInfoFailure kNoCount = {28, "Format error ! [ParseModInfos]"};
static const ModInfoFailure kBadCount = {31, "Format error ! [Bad number of XMs]"};
static const ModInfoFailure kMissingName = {42, "Format error ! [ParseModInfos]"};
static const ModInfoFailure kShortName = {45, "Format error ! [ParseModInfos]"};
static const ModInfoFailure kCannotOpenDescription = {52, "Cannot read data file ! [ParseModInfos]"};
static const ModInfoFailure kEmptyDescription = {54, "Cannot read data file ![0]"};
static const ModInfoFailure kShortModFile = {56, "Format error ! [ParseModInfos]"};
static const ModInfoFailure kMissingTitle1 = {58, "Cannot read data file ![1]"};
static const ModInfoFailure kMissingTitle2 = {60, "Cannot read data file ![2]"};
static const int kTableAllocLine = 37;

// Reads one line and strips its line end: a trailing LF, then a trailing CR. Returns the text's length, or
// -1 when no line is left.
static int ReadLine(FILE *file, char *line) {
  if (!fgets(line, kLineBufferSize, file)) return -1;
  size_t length = strlen(line);
  if (length && line[length - 1] == '\n') line[--length] = 0;
  if (length && line[length - 1] == '\r') line[--length] = 0;
  return (int)length;
}

// Copies a line into a zero-filled 128-byte field, cut to 127 characters.
static void StoreField(char *field, const char *line, int length) {
  memcpy(field, line, (size_t)length < kFieldChars ? (size_t)length : kFieldChars);
}

const ModInfoFailure *ReadModCount(FILE *list, uint32_t *count) {
  // "%i" takes decimal, octal (leading 0) and hexadecimal (leading 0x). Read as a long, a count too
  // large for 32 bits cannot wrap into the accepted range.
  long value = 0;
  if (fscanf(list, "%li", &value) != 1) return &kNoCount;
  // Compared unsigned, so a negative count fails too.
  if ((unsigned long)value - 1 >= kMaxModCount) return &kBadCount;
  *count = (uint32_t)value;

  char line[kLineBufferSize];
  rewind(list);
  ReadLine(list, line);
  return nullptr;
}

const ModInfoFailure *ReadModListName(FILE *list, char *name) {
  int length = ReadLine(list, name);
  if (length < 0) return &kMissingName;
  if ((size_t)length < kMinNameChars) return &kShortName;
  return nullptr;
}

const ModInfoFailure *ReadModDescription(FILE *file, ModInfo *info) {
  char line[kLineBufferSize];
  int length = ReadLine(file, line);
  if (length < 0) return &kEmptyDescription;
  if ((size_t)length < kMinNameChars) return &kShortModFile;
  StoreField(info->ModFile, line, length);

  if ((length = ReadLine(file, line)) < 0) return &kMissingTitle1;
  StoreField(info->Title1, line, length);
  if ((length = ReadLine(file, line)) < 0) return &kMissingTitle2;
  StoreField(info->Title2, line, length);

  // Info lines are optional: once the file ends, the rest stay empty.
  for (int i = 0; i < 5; i++) {
    if ((length = ReadLine(file, line)) < 0) break;
    StoreField(info->InfoLine[i], line, length);
  }
  return nullptr;
}

static void Fail(const ModInfoFailure *failure) { FatalError(failure->Line, "demo", failure->Message); }

void ParseModInfos() {
  char *listPath = ExtractFile("data/mods.dat");
  FILE *list = listPath ? fopen(listPath, "rb") : nullptr;
  if (!list) Fail(&kCannotOpenList);

  uint32_t count = 0;
  const ModInfoFailure *failure = ReadModCount(list, &count);
  if (failure) Fail(failure);
  ModCount = count;
  ModInfos = (ModInfo *)TrackedAlloc((size_t)count * sizeof(ModInfo), kTableAllocLine, "demo");

  for (uint32_t i = 0; i < count; i++) {
    char name[kLineBufferSize];
    if ((failure = ReadModListName(list, name))) Fail(failure);

    char *path = ExtractFile(name);
    FILE *file = path ? fopen(path, "rb") : nullptr;
    if (!file) Fail(&kCannotOpenDescription);
    if ((failure = ReadModDescription(file, &ModInfos[i]))) Fail(failure);
    fclose(file);
    ReleaseFile(path);
  }

  fclose(list);
  ReleaseFile(listPath);
}
