// tmpack disk and tmpack check: a musician's modules become a disk the program plays, and a disk is checked
// with the program's own code for everything the program reads from it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "director/modinfo.h"
#include "graphics/decoders.h"
#include "music/music.h"
#include "tmpack/tmpack.h"
#include "tmpack/tracks.h"

namespace fs = std::filesystem;

namespace {

const char kFontName[] = "data/font.gif";
const char kTrackList[] = "data/mods.dat";

// Every picture the program loads at start-up: the player screen and covers, both fonts' textures, the
// metaballs, the particles, the spectrum bars, the two-material effect and the torus knot.
const char *const kPictures[] = {
    kFontName,          "data/marker2.jpg", "data/panel1.jpg", "data/panel5.jpg", "data/begcv1.jpg",
    "data/begcv0.jpg",  "data/theend.jpg",  "data/endcvr.jpg", "data/scrler.gif", "data/marker.jpg",
    "data/meta1.jpg",   "data/meta2.jpg",   "data/parts.png",  "data/sbar.jpg",   "data/tack1b.jpg",
    "data/tack2b.jpg",  "data/tack1e.jpg",  "data/tack2e.jpg", "data/tk2.jpg",    "data/tk1.jpg",
};

// The decoder behind the texture loader for a name.
IMAGE_DECODER DecoderOfName(const char *name) {
  switch (PictureKindOfName(name)) {
    case PICTURE_PNG:
      return DecodePNG;
    case PICTURE_GIF:
      return [](const unsigned char *data, size_t size, IMAGE *image, int64_t maxPixels) {
        return DecodeGIF(data, size, image, nullptr, maxPixels);
      };
    case PICTURE_JPEG:
      return DecodeJPEG;
    case PICTURE_BMP:
      return DecodeBMP;
    case PICTURE_NONE:
      break;
  }
  return nullptr;
}

// =========================================================================================================
// [SECTION] tmpack check

// One disk under check: its members, and the problems found, one line each naming the member.
class DiskCheck {
 public:
  DiskCheck(FILE *file, const RESOURCE_ENTRY *list, const char *shownAs)
      : file_(file), list_(list), shownAs_(shownAs) {}

  void Problem(const std::string &member, const std::string &problem) {
    fprintf(stderr, "tmpack: %s: %s: %s\n", shownAs_, member.c_str(), problem.c_str());
    problems_++;
  }
  int Problems() const { return problems_; }

  // The member's bytes; a problem when it is missing or damaged.
  bool Read(const std::string &name, std::vector<unsigned char> *data) {
    const RESOURCE_ENTRY *entry = FindResource(list_, name.c_str());
    std::string problem = "missing";
    if (entry && ReadMember(file_, entry, data, &problem)) return true;
    Problem(name, problem);
    return false;
  }

  // The member as a file for the track-list parser; null (and a problem) when it cannot be read.
  FILE *Open(const std::string &name) {
    std::vector<unsigned char> data;
    if (!Read(name, &data)) return nullptr;
    FILE *file = tmpfile();
    if (file && fwrite(data.data(), 1, data.size(), file) == data.size() && fseek(file, 0, SEEK_SET) == 0)
      return file;
    perror("tmpack: temporary file");
    exit(1);
  }

 private:
  FILE *file_;
  const RESOURCE_ENTRY *list_;
  const char *shownAs_;
  int problems_ = 0;
};

void CheckPicture(DiskCheck &disk, const char *name) {
  std::vector<unsigned char> data;
  if (!disk.Read(name, &data)) return;
  IMAGE image;
  if (data.empty() || !DecoderOfName(name)(data.data(), data.size(), &image, DECODER_MAX_PIXELS))
    return disk.Problem(name, "the program cannot decode this picture");
  TrackedFree(image.Pixels, __LINE__, "tmpack");
  char size[128];
  bool font = strcmp(name, kFontName) == 0;
  snprintf(size, sizeof size, "%d x %d; %s", image.Width, image.Height,
           font ? "the font must be 256 x 256" : "each side must be a power of two from 2 to 1024");
  if (font ? image.Width != 256 || image.Height != 256
           : !TextureSizeAccepted(image.Width, 1024) || !TextureSizeAccepted(image.Height, 1024))
    disk.Problem(name, size);
}

void CheckTrack(DiskCheck &disk, const std::string &descriptionName) {
  FILE *description = disk.Open(descriptionName);
  if (!description) return;
  ModInfo info;
  memset(&info, 0, sizeof info);
  const ModInfoFailure *failure = ReadModDescription(description, &info);
  fclose(description);
  if (failure) return disk.Problem(descriptionName, failure->Message);
  std::vector<unsigned char> module;
  if (!disk.Read(info.ModFile, &module)) return;
  MODULE_VERDICT verdict = ExamineModule(info.ModFile, module, false);
  if (!verdict.problem.empty()) disk.Problem(info.ModFile, verdict.problem);
}

// Checks the disk at `path`, naming it `shownAs` in the problem lines. The number of problems, or -1 when
// the archive itself cannot be read.
int CheckDisk(const char *path, const char *shownAs, uint32_t *tracks) {
  FILE *file;
  RESOURCE_ENTRY *list;
  if (!LoadArchive(path, &file, &list)) return -1;
  DiskCheck disk(file, list, shownAs);
  for (const char *picture : kPictures) CheckPicture(disk, picture);

  *tracks = 0;
  FILE *trackList = disk.Open(kTrackList);
  const ModInfoFailure *failure = trackList ? ReadModCount(trackList, tracks) : nullptr;
  char name[1024];
  for (uint32_t i = 0; trackList && !failure && i < *tracks; i++)
    if (!(failure = ReadModListName(trackList, name))) CheckTrack(disk, name);
  if (failure) disk.Problem(kTrackList, failure->Message);
  if (trackList) fclose(trackList);
  FreeResourceList(&list, kToolMemory);
  fclose(file);
  return disk.Problems();
}

}  // namespace

int Check(const char *diskPath) {
  LogDisable();
  uint32_t tracks = 0;
  int problems = CheckDisk(diskPath, diskPath, &tracks);
  if (problems < 0) return 1;
  if (problems) {
    fprintf(stderr, "tmpack: %s: %d problem%s; the program would stop with an error\n", diskPath, problems,
            problems == 1 ? "" : "s");
    return 1;
  }
  printf("tmpack: %s: %u track%s and every picture the program loads are in order\n", diskPath, tracks,
         tracks == 1 ? "" : "s");
  return 0;
}

// =========================================================================================================
// [SECTION] tmpack disk

namespace {

// The modules under `argument`: the file itself, or every .xm and .it file below the folder, in name order.
bool CollectModules(const std::string &argument, std::vector<fs::path> *modules) {
  std::error_code error;
  fs::file_status status = fs::status(argument, error);
  if (fs::is_regular_file(status)) {
    modules->push_back(argument);
    return true;
  }
  if (!fs::is_directory(status)) {
    fprintf(stderr, "tmpack: %s: no such file or folder\n", argument.c_str());
    return false;
  }
  std::vector<fs::path> found;
  fs::recursive_directory_iterator it(argument, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (it->is_regular_file(ignored) && ModuleKindOfName(it->path().c_str()) != MODULE_UNSUPPORTED)
      found.push_back(it->path());
  }
  if (error) {
    fprintf(stderr, "tmpack: %s: %s\n", argument.c_str(), error.message().c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  modules->insert(modules->end(), found.begin(), found.end());
  return true;
}

bool ReadModuleFile(const fs::path &path, std::vector<unsigned char> *data, std::string *problem) {
  FILE *in = fopen(path.c_str(), "rb");
  if (!in) {
    *problem = strerror(errno);
    return false;
  }
  data->clear();
  unsigned char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) data->insert(data->end(), buffer, buffer + got);
  bool ok = !ferror(in);
  fclose(in);
  if (!ok) *problem = "read error";
  return ok;
}

// The build's own disk beside this tool.
std::string DefaultArt() {
  std::error_code error;
  fs::path tool = fs::read_symlink("/proc/self/exe", error);
  return (error ? fs::path("tunemill.dat") : tool.parent_path() / "tunemill.dat").string();
}

// The art archive's members the texture loader can read, each once (a later one of the same name is never
// read); false when one is damaged.
bool CopyPictures(FILE *art, const RESOURCE_ENTRY *list, const std::string &artPath, FILE *out, uint32_t *count) {
  for (const RESOURCE_ENTRY *entry = list; entry; entry = entry->next) {
    std::string name = EntryName(entry), problem;
    if (!DecoderOfName(name.c_str()) || FindResource(list, name.c_str()) != entry) continue;
    std::vector<unsigned char> data;
    if (!ReadMember(art, entry, &data, &problem)) {
      fprintf(stderr, "tmpack: %s: %s: %s\n", artPath.c_str(), name.c_str(), problem.c_str());
      return false;
    }
    if (!WriteEntry(out, name, data, PACK_AUTO)) return false;
    (*count)++;
  }
  return true;
}

struct DISK_TALLY {
  uint32_t tracks = 0, repaired = 0, refused = 0, pictures = 0;
  uint64_t bytes = 0;  // of the module files read
  std::string trackList;  // the name lines of "data/mods.dat"
};

// Examines one module and, when the player takes it, writes it and its description file as the next track.
bool AddTrack(const fs::path &path, const GLYPHS &glyphs, FILE *out, DISK_TALLY *tally) {
  std::vector<unsigned char> data;
  std::string shown = path.string(), problem;
  MODULE_VERDICT verdict;
  if (!ReadModuleFile(path, &data, &problem)) verdict.problem = problem;
  else verdict = ExamineModule(shown, data, true);
  tally->bytes += data.size();
  if (!verdict.problem.empty()) {
    fprintf(stderr, "tmpack: %s: %s\n", shown.c_str(), verdict.problem.c_str());
    tally->refused++;
    return true;
  }
  if (++tally->tracks > kMaxModCount) {
    fprintf(stderr, "tmpack: more than %u modules to take; a disk holds at most %u tracks; nothing written\n",
            kMaxModCount, kMaxModCount);
    return false;
  }
  std::string number = std::to_string(tally->tracks);
  std::string member = "data/trk" + number + (ModuleKindOfName(shown.c_str()) == MODULE_XM ? ".xm" : ".it");
  std::string descriptionName = "data/trk" + number + ".txt";
  std::string description = DescribeTrack(member, verdict.facts, path.stem().string(), glyphs);
  if (!WriteEntry(out, member, verdict.bytes, PACK_AUTO) ||
      !WriteEntry(out, descriptionName, std::vector<unsigned char>(description.begin(), description.end()), PACK_AUTO))
    return false;
  tally->trackList += descriptionName + "\r\n";
  if (verdict.repaired) tally->repaired++;
  printf("tmpack: %s: track %s, \"%s\"%s\n", shown.c_str(), number.c_str(),
         verdict.facts.title.empty() ? path.stem().c_str() : verdict.facts.title.c_str(),
         verdict.repaired ? ", repaired header" : "");
  return true;
}

}  // namespace

int Disk(const char *outPath, int argc, char **argv) {
  std::string artPath = DefaultArt();
  bool strict = false;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--art" && i + 1 < argc) artPath = argv[++i];
    else if (arg == "--strict") strict = true;
    else if (arg.size() > 1 && arg[0] == '-') return Usage(("unknown option " + arg).c_str());
    else paths.push_back(arg);
  }
  if (paths.empty()) return Usage("disk needs at least one module or folder");
  LogDisable();
  // Module lines and refusals share the terminal in the order they happen.
  setvbuf(stdout, nullptr, _IOLBF, 0);

  std::vector<fs::path> modules;
  for (const std::string &path : paths)
    if (!CollectModules(path, &modules)) return 1;
  if (modules.empty()) {
    fprintf(stderr, "tmpack: no .xm or .it file found; nothing written\n");
    return 1;
  }
  FILE *art;
  RESOURCE_ENTRY *artList;
  if (!LoadArchive(artPath.c_str(), &art, &artList)) return 1;
  GLYPHS glyphs;
  std::vector<unsigned char> font;
  std::string problem;
  const RESOURCE_ENTRY *fontEntry = FindResource(artList, kFontName);
  // Without a font picture the check below reports it; the info lines keep plain ASCII meanwhile.
  if (!fontEntry || !ReadMember(art, fontEntry, &font, &problem) || !TextureFontGlyphs(font, &glyphs))
    for (int code = ' '; code < 127; code++) glyphs.set((size_t)code);

  ARCHIVE_PART part;
  bool ok = OpenArchivePart(outPath, &part);
  DISK_TALLY tally;
  Progress progress("examined", "modules");
  for (size_t i = 0; ok && i < modules.size(); i++) {
    ok = AddTrack(modules[i], glyphs, part.out, &tally);
    progress.Update(i + 1, modules.size(), tally.bytes);
  }
  if (ok && tally.tracks == 0) {
    fprintf(stderr, "tmpack: the player takes none of these modules; nothing written\n");
    ok = false;
  }
  if (ok && strict && tally.refused) {
    fprintf(stderr, "tmpack: %u module%s refused and --strict given; nothing written\n", tally.refused,
            tally.refused == 1 ? "" : "s");
    ok = false;
  }
  std::string trackList = std::to_string(tally.tracks) + "\r\n" + tally.trackList;
  ok = ok && CopyPictures(art, artList, artPath, part.out, &tally.pictures) &&
       WriteEntry(part.out, kTrackList, std::vector<unsigned char>(trackList.begin(), trackList.end()), PACK_AUTO);
  FreeResourceList(&artList, kToolMemory);
  fclose(art);
  // The finished disk must hold everything the program reads, or it does not replace anything.
  uint32_t tracks = 0;
  if (ok && fflush(part.out) == 0 && CheckDisk(part.partPath.c_str(), outPath, &tracks) != 0) {
    fprintf(stderr, "tmpack: %s: the program could not run this disk; nothing written\n", outPath);
    ok = false;
  }
  if (!part.out || !CloseArchivePart(&part, ok)) return 1;
  printf("tmpack: %s: %u track%s (%u with a repaired header), %u module%s left out, %u pictures from %s\n",
         outPath, tally.tracks, tally.tracks == 1 ? "" : "s", tally.repaired, tally.refused,
         tally.refused == 1 ? "" : "s", tally.pictures, artPath.c_str());
  return 0;
}
