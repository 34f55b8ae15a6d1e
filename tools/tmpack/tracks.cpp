#include "tmpack/tracks.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <memory>
#include <sstream>

#include "graphics/decoders.h"
#include "music/music.h"

namespace {

const uint32_t kXMHeaderStart = 60;  // the header size field; the size counts from here
const uint32_t kXMWholeHeader = 276;
const uint32_t kXMFixedHeader = 20;  // the fields before the order table
const size_t kTitleWidth = 13;
const size_t kInfoWidth = 20;

uint32_t ReadU16(const unsigned char *bytes) { return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8; }

uint32_t ReadU32(const unsigned char *bytes) {
  return ReadU16(bytes) | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

// =========================================================================================================
// [SECTION] Modules

// The player's probe on the start of the file; null when it passes.
const char *Probe(MODULE_KIND kind, const std::vector<unsigned char> &bytes) {
  uint32_t orders = 0;
  if (kind == MODULE_XM) return CheckXMHeader(bytes.data(), bytes.size(), &orders);
  return CheckITHeader(bytes.data(), bytes.size(), &orders);
}

// The probe's reason put in words, with the numbers it found.
std::string ProbeProblem(MODULE_KIND kind, const char *failure, const std::vector<unsigned char> &bytes) {
  char text[128];
  if (strstr(failure, "[Bad version]"))
    snprintf(text, sizeof text, "XM version 0x%04X; the player needs 0x0104", ReadU16(&bytes[58]));
  else if (strstr(failure, "[Bad header]"))
    snprintf(text, sizeof text, "XM header of %u bytes; the player needs 276", ReadU32(&bytes[kXMHeaderStart]));
  else if (strstr(failure, "[Bad format]"))
    snprintf(text, sizeof text, "not an IT module: it does not begin with IMPM");
  else
    snprintf(text, sizeof text, "too short for an %s module (%zu bytes)", kind == MODULE_XM ? "XM" : "IT",
             bytes.size());
  return text;
}

// libopenmpt as the sound engine sets it up for the player: played once, without dither.
std::unique_ptr<openmpt::module> LoadAsPlayer(const std::vector<unsigned char> &bytes, std::string *error) {
  std::ostringstream log;
  const std::map<std::string, std::string> ctls = {{"play.at_end", "stop"}, {"dither", "0"}};
  try {
    auto module = std::make_unique<openmpt::module>(bytes.data(), bytes.size(), log, ctls);
    module->set_repeat_count(0);
    return module;
  } catch (const std::exception &e) {
    *error = e.what();
    return nullptr;
  }
}

}  // namespace

std::vector<unsigned char> RepairXMHeader(const std::vector<unsigned char> &bytes) {
  if (bytes.size() < kXMHeaderStart + 4) return {};
  uint32_t size = ReadU32(&bytes[kXMHeaderStart]);
  if (size < kXMFixedHeader || size >= kXMWholeHeader || bytes.size() < kXMHeaderStart + size) return {};
  std::vector<unsigned char> whole(bytes.begin(), bytes.begin() + kXMHeaderStart + size);
  whole.resize(kXMHeaderStart + kXMWholeHeader, 0);
  for (int i = 0; i < 4; i++) whole[kXMHeaderStart + i] = (unsigned char)(kXMWholeHeader >> (8 * i));
  whole.insert(whole.end(), bytes.begin() + kXMHeaderStart + size, bytes.end());
  return whole;
}

bool RendersAlike(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
  std::string error;
  std::unique_ptr<openmpt::module> first = LoadAsPlayer(a, &error), second = LoadAsPlayer(b, &error);
  if (!first || !second) return false;
  // The engine's rate and chunk size; floats hold more than the 16 bits the device gets.
  const int32_t kRate = 44100;
  const size_t kFrames = 128;
  float left[2 * kFrames], right[2 * kFrames];
  for (;;) {
    size_t got = first->read_interleaved_stereo(kRate, kFrames, left);
    if (second->read_interleaved_stereo(kRate, kFrames, right) != got) return false;
    if (memcmp(left, right, got * 2 * sizeof(float)) != 0) return false;
    if (got == 0) return true;
  }
}

MODULE_VERDICT ExamineModule(const std::string &name, const std::vector<unsigned char> &bytes, bool repair) {
  MODULE_VERDICT verdict;
  verdict.bytes = bytes;
  MODULE_KIND kind = ModuleKindOfName(name.c_str());
  if (kind == MODULE_UNSUPPORTED) {
    verdict.problem = "the player plays only .xm and .it files";
    return verdict;
  }
  const char *failure = Probe(kind, bytes);
  if (failure && kind == MODULE_XM && repair) {
    std::vector<unsigned char> whole = RepairXMHeader(bytes);
    if (!whole.empty() && !Probe(kind, whole)) {
      verdict.bytes = std::move(whole);
      verdict.repaired = true;
      failure = nullptr;
    }
  }
  if (failure) {
    verdict.problem = ProbeProblem(kind, failure, bytes);
    return verdict;
  }
  std::string error;
  std::unique_ptr<openmpt::module> module = LoadAsPlayer(bytes, &error);
  if (!module) {
    verdict.problem = "libopenmpt cannot load it (" + error + ")";
    return verdict;
  }
  TRACK_FACTS &facts = verdict.facts;
  facts.title = module->get_metadata("title");
  facts.artist = module->get_metadata("artist");
  for (char c : module->get_metadata("type")) facts.format += (char)toupper((unsigned char)c);
  facts.channels = module->get_num_channels();
  facts.seconds = module->get_duration_seconds();
  facts.tracker = module->get_metadata("tracker");
  // Without "_raw" libopenmpt lists the instrument names where a module has no message.
  facts.message = module->get_metadata("message_raw");
  if (verdict.repaired && !RendersAlike(bytes, verdict.bytes))
    verdict.problem = "its short XM header cannot be repaired without changing how it sounds";
  return verdict;
}

// =========================================================================================================
// [SECTION] Description files

bool TextureFontGlyphs(const std::vector<unsigned char> &gif, GLYPHS *glyphs) {
  IMAGE image;
  unsigned char palette[768];
  if (gif.empty() || !DecodeGIF(gif.data(), gif.size(), &image, palette)) return false;
  glyphs->reset();
  for (int code = ' '; code < 127; code++) glyphs->set((size_t)code);
  bool font = image.Width == 256 && image.Height == 256;
  const unsigned char *pixels = (const unsigned char *)image.Pixels;
  // 128 to 159 are control codes in Latin-1, whatever their cells hold.
  for (int code = 160; font && code < 256; code++)
    for (int texel = 0; texel < 256; texel++) {
      int x = code % 16 * 16 + texel % 16, y = code / 16 * 16 + texel / 16;
      const unsigned char *colour = palette + 3 * pixels[y * 256 + x];
      if (colour[0] | colour[1] | colour[2]) glyphs->set((size_t)code);
    }
  TrackedFree(image.Pixels, __LINE__, "tmpack");
  return font;
}

namespace {

// The title font draws code page 437 from 32 on, except 127 and 255.
GLYPHS TitleGlyphs() {
  GLYPHS glyphs;
  for (int code = ' '; code < 255; code++) glyphs.set((size_t)code, code != 127);
  return glyphs;
}

// `utf8` in the single-byte `charset`, one character at a time; characters the code page lacks and codes
// outside `glyphs` are left out. Control characters part words as spaces do; runs of spaces become one and
// the ends are trimmed.
std::string PanelText(const std::string &utf8, const char *charset, const GLYPHS &glyphs) {
  std::string text;
  iconv_t convert = iconv_open(charset, "UTF-8");
  if (convert == (iconv_t)-1) return text;
  std::string source = utf8;
  for (size_t at = 0; at < source.size();) {
    unsigned char lead = (unsigned char)source[at];
    size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    length = std::min(length, source.size() - at);
    char *in = &source[at], byte = 0, *out = &byte;
    size_t inLeft = length, outLeft = 1;
    bool converted = iconv(convert, &in, &inLeft, &out, &outLeft) != (size_t)-1 && outLeft == 0;
    at += length;
    if (!converted) continue;
    unsigned char code = (unsigned char)byte < ' ' ? ' ' : (unsigned char)byte;
    if (code == ' ' ? !text.empty() && text.back() != ' ' : glyphs[code]) text += (char)code;
  }
  iconv_close(convert);
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Where `text` (single spaces, no space at either end) is cut to fit `width` characters: at the last space
// that leaves at most `width` before it, or at `width` when there is none.
size_t FitAt(const std::string &text, size_t width) {
  if (text.size() <= width) return text.size();
  size_t space = text.rfind(' ', width);
  return space == std::string::npos || space == 0 ? width : space;
}

std::string Fitted(const std::string &text, size_t width) { return text.substr(0, FitAt(text, width)); }

}  // namespace

std::string DescribeTrack(const std::string &member, const TRACK_FACTS &facts, const std::string &stem,
                          const GLYPHS &fontGlyphs) {
  const GLYPHS titleGlyphs = TitleGlyphs();
  std::string title = PanelText(facts.title, "CP437", titleGlyphs);
  if (title.empty()) title = PanelText(stem, "CP437", titleGlyphs);
  size_t cut = FitAt(title, kTitleWidth);
  std::string rest = title.substr(cut);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);

  char format[64], length[64];
  snprintf(format, sizeof format, "%s, %d channel%s", facts.format.c_str(), facts.channels,
           facts.channels == 1 ? "" : "s");
  long seconds = lround(facts.seconds);
  snprintf(length, sizeof length, "Length %ld:%02ld", seconds / 60, seconds % 60);
  const std::string info[] = {facts.artist, format, length, facts.tracker,
                              facts.message.substr(0, facts.message.find('\n'))};

  std::string text = member + "\r\n" + title.substr(0, cut) + "\r\n" + Fitted(rest, kTitleWidth) + "\r\n";
  for (const std::string &line : info) text += Fitted(PanelText(line, "ISO-8859-1", fontGlyphs), kInfoWidth) + "\r\n";
  return text;
}
