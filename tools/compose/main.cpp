// compose: writes the disk's music into <disk folder>/data/: the modules, one description file per track
// and the track list "mods.dat", all with CR LF line ends.
//
//   compose <disk folder>
//
// The output is byte-identical from run to run: fixed seeds, no clock, no outside input.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "compose/tracks.h"
#include "modwrite/modwrite.h"

namespace {

bool MakeFolder(const std::string &path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFile(const std::string &path, const void *data, size_t size) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// The text as the track list parser wants it: every line, the last one too, ends with CR LF.
std::string Lines(const std::vector<std::string> &lines) {
  std::string out;
  for (const std::string &l : lines) out += l + "\r\n";
  return out;
}

std::string Printf(const char *fmt, int a, int b = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

const size_t kInfoWidth = 20;

// The instruments' description wrapped into at most two info lines that fit the panel.
std::vector<std::string> Wrap(const std::string &text) {
  std::vector<std::string> out(1);
  std::istringstream words(text);
  std::string w;
  while (words >> w) {
    if (!out.back().empty() && out.back().size() + 1 + w.size() > kInfoWidth && out.size() < 2) out.emplace_back();
    if (!out.back().empty()) out.back() += ' ';
    out.back() += w;
  }
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: compose <disk folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  const std::string data = root + "/data";
  if (!MakeFolder(root) || !MakeFolder(data)) {
    std::fprintf(stderr, "compose: cannot create %s\n", data.c_str());
    return 1;
  }

  std::vector<compose::Track> tracks = compose::ComposeTracks();
  std::vector<std::string> list = {Printf("%d", static_cast<int>(tracks.size()))};
  for (size_t i = 0; i < tracks.size(); i++) {
    const compose::Track &t = tracks[i];
    const modwrite::Module &m = t.module;
    std::vector<uint8_t> bytes = modwrite::Write(m);
    if (bytes.empty()) {
      std::fprintf(stderr, "compose: %s: %s\n", t.title.c_str(), modwrite::Validate(m).c_str());
      return 1;
    }
    bool xm = m.format == modwrite::Format::XM;
    int n = static_cast<int>(i + 1);
    std::string module = Printf(xm ? "data/trk%d.xm" : "data/trk%d.it", n);
    std::string info = Printf("data/trk%d.txt", n);

    std::ostringstream log;
    openmpt::module probe(bytes, log);
    int seconds = static_cast<int>(std::lround(probe.get_duration_seconds()));

    std::vector<std::string> desc = {module, t.title, t.style, "in " + t.key,
                                     Printf(xm ? "XM, %d ch, %d BPM" : "IT, %d ch, %d BPM", m.channels, m.tempo),
                                     Printf("Length %d:%02d", seconds / 60, seconds % 60)};
    for (const std::string &l : Wrap(t.instruments)) desc.push_back(l);
    std::string text = Lines(desc);
    if (!WriteFile(root + "/" + module, bytes.data(), bytes.size()) ||
        !WriteFile(root + "/" + info, text.data(), text.size())) {
      std::fprintf(stderr, "compose: cannot write %s\n", module.c_str());
      return 1;
    }
    list.push_back(info);
    std::printf("compose: %-14s %d:%02d %2d ch %2zu orders  %s\n", module.c_str(), seconds / 60, seconds % 60,
                m.channels, m.orders.size(), t.title.c_str());
  }
  std::string text = Lines(list);
  if (!WriteFile(data + "/mods.dat", text.data(), text.size())) {
    std::fprintf(stderr, "compose: cannot write %s/mods.dat\n", data.c_str());
    return 1;
  }
  return 0;
}
