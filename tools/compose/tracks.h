// The disk's tracks, each a complete song with its titles.
#pragma once

#include <string>
#include <vector>

#include "modwrite/modwrite.h"

namespace compose {

struct Track {
  modwrite::Module module;
  std::string title;        // first title line
  std::string style;        // second title line: style and key
  std::string instruments;  // the instruments' character, for the info lines
};

// Every track of the disk, in playing order. The same call always builds the same songs.
std::vector<Track> ComposeTracks();

}  // namespace compose
