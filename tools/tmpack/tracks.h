// What a disk makes of one module file: the verdict of the player's own header probe and of libopenmpt,
// the repair of XM headers saved short, and the description file the panel shows the track by.
#pragma once

#include <bitset>
#include <string>
#include <vector>

// What libopenmpt reads from the module itself; text in UTF-8.
struct TRACK_FACTS {
  std::string title;
  std::string artist;
  std::string format;  // "XM" or "IT"
  int channels = 0;
  double seconds = 0.0;
  std::string tracker;
  std::string message;
};

struct MODULE_VERDICT {
  std::string problem;  // why the player cannot play the module, in a musician's words; empty when it can
  bool repaired = false;             // the XM header was saved short and is made whole in `bytes`
  std::vector<unsigned char> bytes;  // what goes on the disk
  TRACK_FACTS facts;                 // from the file as it was given
};

// `name` chooses the probe as the player does (by its end). With `repair`, an XM header saved short is made
// whole, and the module is taken only when libopenmpt renders the repaired copy exactly like the original.
MODULE_VERDICT ExamineModule(const std::string &name, const std::vector<unsigned char> &bytes, bool repair);

// The XM with its header made whole: the order table padded with zeros to all 256 entries, the header
// size set to 276, everything after the header moved along unchanged. Empty unless `bytes` holds a whole
// header of 20 to 275 bytes.
std::vector<unsigned char> RepairXMHeader(const std::vector<unsigned char> &bytes);

// libopenmpt, set up as the player sets it up, renders both modules to the same samples from start to end.
// False when either does not load.
bool RendersAlike(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b);

// Character codes a font draws.
typedef std::bitset<256> GLYPHS;

// The codes the texture font picture `gif` draws: printable ASCII always, and each code from 160 on whose
// 16 x 16 cell holds a texel that is not black (black is transparent). False when the picture does not
// decode as the 256 x 256 font.
bool TextureFontGlyphs(const std::vector<unsigned char> &gif, GLYPHS *glyphs);

// The description file of a track, in CR LF lines: the module's member name; two title lines of at most 13
// characters, split at a space, from the title (`stem`, the file name without extension, when there is
// none) in the title font's code page 437; five info lines of at most 20 characters in the texture font's
// Latin-1 cells, kept only where `fontGlyphs` has a glyph: artist, format and channels, length, tracker and
// the message's first line.
std::string DescribeTrack(const std::string &member, const TRACK_FACTS &facts, const std::string &stem,
                          const GLYPHS &fontGlyphs);
