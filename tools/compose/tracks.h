// The disk's tracks, each a complete song with its titles.
#pragma once

#include <string>
#include <vector>

#include "modwrite/modwrite.h"

namespace compose {

struct Track {
  modwrite::Module module;
  // The player draws the titles 20 columns to the screen and the info lines 60, both from 314/512 of
  // its width: about 13 title characters and 20 info characters fit before the panel's edge.
  std::string title;        // first title line
  std::string style;        // second title line
  std::string key;          // first info line, after "in "
  std::string instruments;  // the instruments' character, wrapped into the last two info lines
};

// Every track of the disk, in playing order. The same call always builds the same songs.
std::vector<Track> ComposeTracks();

}  // namespace compose
