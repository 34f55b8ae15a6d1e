// tmpack: builds, lists, extracts from and checks Tunemill archives, and makes a musician's own disk. It
// reads archives through the same core as the program, so it reports damage with the program's own
// messages.
#include "tmpack/tmpack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: tmpack create ARCHIVE [--store | --huffman | --auto] PATH...\n"
    "       tmpack list ARCHIVE\n"
    "       tmpack extract ARCHIVE NAME [-o FILE]\n"
    "       tmpack verify ARCHIVE\n"
    "       tmpack disk OUT [--art ARCHIVE] [--strict] MODULE_OR_FOLDER...\n"
    "       tmpack check DISK\n"
    "\n"
    "create   packs files and whole folders into a new ARCHIVE (replaced when it exists). A folder's files\n"
    "         are named by their path inside it, with '/' between folders; a file given by itself keeps the\n"
    "         relative path it was given by. Entries are sorted by name, so the same files always give the\n"
    "         same bytes. --auto (the default) packs an entry only when that makes it smaller; --store never\n"
    "         packs, --huffman always does.\n"
    "list     prints every entry: stored size, unpacked size, whether it is packed, name; then the totals.\n"
    "extract  writes the entry NAME (case and the kind of slash do not matter) to FILE, or to standard\n"
    "         output.\n"
    "verify   reads and decodes every entry.\n"
    "disk     makes a disk the program plays: every .xm and .it file named, or found under the folders\n"
    "         named (in name order), that the player takes becomes a track, titled from the module's own\n"
    "         metadata; an XM saved with a short header is repaired on the disk. The pictures come from\n"
    "         ARCHIVE, by default the tunemill.dat beside tmpack. A module the player would refuse is left\n"
    "         out with the reason; --strict then fails instead.\n"
    "check    checks that the program finds on DISK every picture it loads, a track list that parses and\n"
    "         a module it can play for every track.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file or the archive is bad, 2 on a usage error.\n";

const uint64_t kMaxEntrySize = 0xFFFFFFFFu;

void *ToolAllocate(size_t size, int, const char *) {
  void *block = calloc(1, size);
  if (!block) {
    fprintf(stderr, "tmpack: out of memory\n");
    exit(1);
  }
  return block;
}

void ToolRelease(void *pointer, int, const char *) { free(pointer); }

}  // namespace

const RESOURCE_MEMORY kToolMemory = {ToolAllocate, ToolRelease};

int Usage(const char *problem) {
  fprintf(stderr, "tmpack: %s\n%s", problem, kUsage);
  return 2;
}

std::string EntryName(const RESOURCE_ENTRY *entry) {
  return std::string(entry->name, strnlen(entry->name, kResourceNameSize));
}

Progress::Progress(const char *verb, const char *noun)
    : verb_(verb), noun_(noun), start_(Clock::now()), last_(start_), tty_(isatty(2)) {}

Progress::~Progress() {
  if (shown_ && tty_) fputc('\n', stderr);
}

void Progress::Update(size_t done, size_t total, uint64_t bytes) {
  Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1)) return;
  if (shown_ && now - last_ < (tty_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(1000))) return;
  shown_ = true;
  last_ = now;
  fprintf(stderr, "%stmpack: %s %zu/%zu %s, %.1f MiB%s", tty_ ? "\r" : "", verb_, done, total, noun_,
          (double)bytes / 1048576.0, tty_ ? "" : "\n");
}

// =========================================================================================================
// [SECTION] Reading an archive

bool LoadArchive(const char *path, FILE **file, RESOURCE_ENTRY **list) {
  *list = nullptr;
  *file = OpenResourceFile(path);
  if (!*file) {
    fprintf(stderr, "tmpack: %s: %s\n", path, ResourceMessage(RESOURCE_CANNOT_OPEN));
    return false;
  }
  RESOURCE_STATUS status = ScanResource(*file, list, kToolMemory);
  if (status != RESOURCE_OK) {
    fprintf(stderr, "tmpack: %s: %s\n", path, ResourceMessage(status));
    fclose(*file);
    return false;
  }
  return true;
}

bool ReadMember(FILE *archive, const RESOURCE_ENTRY *entry, std::vector<unsigned char> *data, std::string *problem) {
  char *bytes = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&bytes, &size);
  RESOURCE_STATUS status = out ? ExtractResource(archive, entry, out, kToolMemory) : RESOURCE_EXTRACT_ERROR;
  if (out && fclose(out) != 0 && status == RESOURCE_OK) status = RESOURCE_EXTRACT_ERROR;
  if (status == RESOURCE_OK) data->assign(bytes, bytes + size);
  free(bytes);
  if (status != RESOURCE_OK) *problem = ResourceMessage(status);
  return status == RESOURCE_OK;
}

namespace {

int List(const char *path) {
  FILE *file;
  RESOURCE_ENTRY *list;
  if (!LoadArchive(path, &file, &list)) return 1;
  uint64_t totalStored = 0, totalUnpacked = 0;
  size_t count = 0, packedCount = 0;
  printf("%12s %12s  %-6s  %s\n", "stored", "unpacked", "kind", "name");
  for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next) {
    // A stored entry's unpacked field means nothing; its contents are the stored bytes.
    uint32_t unpacked = entry->packed ? entry->unpackedSize : entry->storedSize;
    printf("%12u %12u  %-6s  %s\n", entry->storedSize, unpacked, entry->packed ? "packed" : "stored",
           EntryName(entry).c_str());
    totalStored += entry->storedSize;
    totalUnpacked += unpacked;
    count++;
    if (entry->packed) packedCount++;
  }
  printf("%12llu %12llu  %zu entries, %zu packed\n", (unsigned long long)totalStored,
         (unsigned long long)totalUnpacked, count, packedCount);
  FreeResourceList(&list, kToolMemory);
  fclose(file);
  return 0;
}

int Extract(const char *path, const char *name, const char *outPath) {
  FILE *file;
  RESOURCE_ENTRY *list;
  if (!LoadArchive(path, &file, &list)) return 1;
  int result = 1;
  const RESOURCE_ENTRY *entry = FindResource(list, name);
  if (!entry) {
    fprintf(stderr, "tmpack: %s: ", path);
    fprintf(stderr, ResourceMessage(RESOURCE_NOT_FOUND), name);
    fputc('\n', stderr);
  } else {
    FILE *out = outPath ? fopen(outPath, "wb") : stdout;
    if (!out) {
      fprintf(stderr, "tmpack: %s: %s\n", outPath, strerror(errno));
    } else {
      RESOURCE_STATUS status = ExtractResource(file, entry, out, kToolMemory);
      int closed = outPath ? fclose(out) : fflush(out);
      if (status == RESOURCE_OK && closed != 0) status = RESOURCE_EXTRACT_ERROR;
      if (status == RESOURCE_OK) {
        result = 0;
      } else {
        fprintf(stderr, "tmpack: %s: %s: %s\n", path, EntryName(entry).c_str(), ResourceMessage(status));
        if (outPath) remove(outPath);
      }
    }
  }
  FreeResourceList(&list, kToolMemory);
  fclose(file);
  return result;
}

int Verify(const char *path) {
  FILE *file;
  RESOURCE_ENTRY *list;
  if (!LoadArchive(path, &file, &list)) return 1;
  FILE *sink = fopen("/dev/null", "wb");
  if (!sink) {
    fprintf(stderr, "tmpack: /dev/null: %s\n", strerror(errno));
    FreeResourceList(&list, kToolMemory);
    fclose(file);
    return 1;
  }
  size_t total = 0, failed = 0, done = 0;
  uint64_t bytes = 0;
  for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next) total++;
  Progress progress("verified", "entries");
  for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next) {
    RESOURCE_STATUS status = ExtractResource(file, entry, sink, kToolMemory);
    if (status != RESOURCE_OK) {
      fprintf(stderr, "tmpack: %s: %s: %s\n", path, EntryName(entry).c_str(), ResourceMessage(status));
      failed++;
    }
    bytes += entry->storedSize;
    progress.Update(++done, total, bytes);
  }
  fclose(sink);
  FreeResourceList(&list, kToolMemory);
  fclose(file);
  if (failed) {
    fprintf(stderr, "tmpack: %s: %zu of %zu entries are damaged\n", path, failed, total);
    return 1;
  }
  printf("tmpack: %s: %zu entries verified\n", path, total);
  return 0;
}

// =========================================================================================================
// [SECTION] Creating an archive

struct SourceFile {
  std::string name;
  fs::path path;
};

bool CollectPath(const std::string &argument, const fs::path &archive, std::vector<SourceFile> *files) {
  std::error_code error;
  fs::path given(argument);
  fs::file_status status = fs::status(given, error);
  if (error || !fs::exists(status)) {
    fprintf(stderr, "tmpack: %s: no such file or folder\n", argument.c_str());
    return false;
  }
  bool archiveExists = fs::exists(archive);
  auto isArchive = [&](const fs::path &path) {
    std::error_code ignored;
    return archiveExists && fs::equivalent(path, archive, ignored);
  };

  if (fs::is_regular_file(status)) {
    fs::path relative = given.lexically_normal();
    if (relative.is_absolute() || relative.empty() || *relative.begin() == "..") {
      fprintf(stderr, "tmpack: %s: a file given by itself needs a relative path inside this folder; give its "
                      "folder instead\n", argument.c_str());
      return false;
    }
    if (!isArchive(given)) files->push_back({relative.generic_string(), given});
    return true;
  }
  if (!fs::is_directory(status)) {
    fprintf(stderr, "tmpack: %s: not a regular file or folder\n", argument.c_str());
    return false;
  }
  fs::recursive_directory_iterator it(given, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    fs::file_status entryStatus = it->status(statusError);
    if (statusError || fs::is_directory(entryStatus)) continue;
    if (!fs::is_regular_file(entryStatus)) {
      fprintf(stderr, "tmpack: %s: skipped, not a regular file\n", it->path().c_str());
      continue;
    }
    if (isArchive(it->path())) continue;
    files->push_back({it->path().lexically_relative(given).generic_string(), it->path()});
  }
  if (error) {
    fprintf(stderr, "tmpack: %s: %s\n", argument.c_str(), error.message().c_str());
    return false;
  }
  return true;
}

bool ReadSource(const SourceFile &source, std::vector<unsigned char> *data) {
  FILE *in = fopen(source.path.c_str(), "rb");
  if (!in) {
    fprintf(stderr, "tmpack: %s: %s\n", source.path.c_str(), strerror(errno));
    return false;
  }
  struct stat info;
  if (fstat(fileno(in), &info) != 0 || (uint64_t)info.st_size > kMaxEntrySize) {
    fprintf(stderr, "tmpack: %s: larger than an entry can be (4 GiB - 1 bytes)\n", source.path.c_str());
    fclose(in);
    return false;
  }
  data->resize((size_t)info.st_size);
  size_t got = data->empty() ? 0 : fread(data->data(), 1, data->size(), in);
  // A file that grows or shrinks while it is read would be packed torn.
  bool whole = got == data->size() && fgetc(in) == EOF && !ferror(in);
  fclose(in);
  if (!whole) fprintf(stderr, "tmpack: %s: read error or file changed while reading\n", source.path.c_str());
  return whole;
}

int Create(const char *archivePath, int argc, char **argv) {
  PackMode mode = PACK_AUTO;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--store") mode = PACK_STORE;
    else if (arg == "--huffman") mode = PACK_HUFFMAN;
    else if (arg == "--auto") mode = PACK_AUTO;
    else if (arg.size() > 1 && arg[0] == '-') return Usage(("unknown option " + arg).c_str());
    else paths.push_back(arg);
  }
  if (paths.empty()) return Usage("create needs at least one file or folder");

  std::vector<SourceFile> files;
  for (const std::string &path : paths)
    if (!CollectPath(path, archivePath, &files)) return 1;
  if (files.empty()) {
    // The reader refuses an empty archive, so making one would only move the error.
    fprintf(stderr, "tmpack: nothing to pack: an archive needs at least one file\n");
    return 1;
  }
  std::sort(files.begin(), files.end(), [](const SourceFile &a, const SourceFile &b) { return a.name < b.name; });
  for (auto file = files.begin(); file != files.end(); ++file) {
    if (file->name.size() >= kResourceNameSize) {
      fprintf(stderr, "tmpack: %s: entry name longer than %u bytes\n", file->name.c_str(), kResourceNameSize - 1);
      return 1;
    }
    // Matched as the reader matches them, so that no entry is shadowed by an earlier one.
    auto sameName = [&](const SourceFile &earlier) {
      return ResourceNamesMatch(file->name.c_str(), earlier.name.c_str());
    };
    if (std::any_of(files.begin(), file, sameName)) {
      fprintf(stderr, "tmpack: %s: a second entry of that name (case and slashes do not count); the program "
                      "would only ever read the first\n", file->name.c_str());
      return 1;
    }
  }

  ARCHIVE_PART part;
  if (!OpenArchivePart(archivePath, &part)) return 1;
  bool ok = true;
  Progress progress("packed", "entries");
  uint64_t bytes = 0;
  std::vector<unsigned char> data;
  for (size_t i = 0; ok && i < files.size(); i++) {
    ok = ReadSource(files[i], &data) && WriteEntry(part.out, files[i].name, data, mode);
    bytes += data.size();
    progress.Update(i + 1, files.size(), bytes);
  }
  return CloseArchivePart(&part, ok) ? 0 : 1;
}

}  // namespace

bool WriteEntry(FILE *out, const std::string &name, const std::vector<unsigned char> &data, PackMode mode) {
  if (data.size() > kMaxEntrySize) {
    fprintf(stderr, "tmpack: %s: larger than an entry can be (4 GiB - 1 bytes)\n", name.c_str());
    return false;
  }
  uint32_t size = (uint32_t)data.size();
  bool pack = false;
  uint64_t packedSize = 0;
  if (mode != PACK_STORE) {
    packedSize = HuffEncodedSize(data.data(), size);
    pack = mode == PACK_HUFFMAN || packedSize < size;
  }
  unsigned char header[kResourceHeaderSize];
  if (!pack) {
    FormatResourceHeader(header, name.c_str(), size, 0, 0);
    return fwrite(header, 1, sizeof header, out) == sizeof header &&
           (size == 0 || fwrite(data.data(), 1, size, out) == size);
  }
  if (packedSize > kMaxEntrySize) {
    fprintf(stderr, "tmpack: %s: packed data would be larger than an entry can be (4 GiB - 1 bytes)\n",
            name.c_str());
    return false;
  }
  std::vector<unsigned char> block((size_t)packedSize);
  HuffEncode(data.data(), size, block.data(), (uint32_t)packedSize);
  FormatResourceHeader(header, name.c_str(), (uint32_t)packedSize, size, 1);
  return fwrite(header, 1, sizeof header, out) == sizeof header &&
         fwrite(block.data(), 1, block.size(), out) == block.size();
}

bool OpenArchivePart(const char *archivePath, ARCHIVE_PART *part) {
  part->finalPath = archivePath;
  part->partPath = part->finalPath + ".partXXXXXX";
  int fd = mkstemp(part->partPath.data());
  if (fd < 0) {
    fprintf(stderr, "tmpack: %s: %s\n", archivePath, strerror(errno));
    return false;
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  part->out = fdopen(fd, "wb");
  if (!part->out) {
    fprintf(stderr, "tmpack: %s: %s\n", archivePath, strerror(errno));
    close(fd);
    unlink(part->partPath.c_str());
  }
  return part->out != nullptr;
}

bool CloseArchivePart(ARCHIVE_PART *part, bool keep) {
  bool written = !ferror(part->out);
  if (fclose(part->out) != 0) written = false;
  part->out = nullptr;
  if (!written) fprintf(stderr, "tmpack: %s: write error\n", part->finalPath.c_str());
  keep = keep && written;
  if (keep && rename(part->partPath.c_str(), part->finalPath.c_str()) != 0) {
    fprintf(stderr, "tmpack: %s: %s\n", part->finalPath.c_str(), strerror(errno));
    keep = false;
  }
  if (!keep) unlink(part->partPath.c_str());
  return keep;
}

int main(int argc, char **argv) {
  if (argc >= 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 3) return Usage("missing command or archive");
  std::string command = argv[1];
  const char *archive = argv[2];
  if (command == "create") return Create(archive, argc - 3, argv + 3);
  if (command == "disk") return Disk(archive, argc - 3, argv + 3);
  if (command == "check" && argc == 3) return Check(archive);
  if (command == "list" && argc == 3) return List(archive);
  if (command == "verify" && argc == 3) return Verify(archive);
  if (command == "extract") {
    if (argc == 4) return Extract(archive, argv[3], nullptr);
    if (argc == 6 && !strcmp(argv[4], "-o")) return Extract(archive, argv[3], argv[5]);
  }
  return Usage("bad command line");
}
