// The tools that make disks, as their users run them: modwrite's modules as libopenmpt plays them, tmpack's
// archives and disks as the program reads them, and the disk the build leaves as the program and eye need it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <libopenmpt/libopenmpt.hpp>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive.h"
#include "graphics/decoders.h"
#include "modwrite/modwrite.h"
#include "program.h"
#include "render.h"
#include "support/misc.h"
#include "testkit.h"
#include "tmpack/tracks.h"

namespace fs = std::filesystem;
using namespace modwrite;

namespace {

constexpr int kRate = 44100;
const size_t kRow = size_t(RowSeconds(6, 125) * kRate);  // frames of one row

// A module as libopenmpt reads it, which must be without a complaint.
std::unique_ptr<openmpt::module> Load(const std::vector<uint8_t> &bytes) {
  std::ostringstream log;
  auto mod = std::make_unique<openmpt::module>(bytes, log);
  EXPECT_EQ(log.str(), "");
  return mod;
}

// The written song as the tests and the engine render it, once libopenmpt has read it without a complaint.
std::vector<int16_t> Render(const Module &m) {
  Load(Write(m));
  return RenderModule(Write(m), 1024);
}

// Frequency of the left channel from its rising zero crossings between two frames.
double Frequency(const std::vector<int16_t> &s, size_t from, size_t to) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = from + 1; i < to; i++) {
    if (s[2 * (i - 1)] < 0 && s[2 * i] >= 0) {
      if (crossings++ == 0) first = i;
      last = i;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) * double(kRate) / double(last - first);
}

double Rms(const std::vector<int16_t> &s, size_t from, size_t to, int side) {
  double sum = 0;
  for (size_t i = from; i < to; i++) sum += double(s[2 * i + side]) * s[2 * i + side];
  return std::sqrt(sum / double(to - from));
}

COMMAND_RESULT Tmpack(const std::string &args) { return RunCommand(std::string(TMPACK_PATH) + " " + args); }

// Writes a file, making its folders first.
void Put(const std::string &path, const std::string &bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  WriteWholeFile(path, bytes);
}

// The regular files under `folder`, as sorted relative names.
std::vector<std::string> FilesUnder(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(folder).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ModWrite, SamplesPlayAtTheirPitchEnvelopesSustainAndFadeAndTheSongEnds) {
  for (Format f : {Format::XM, Format::IT}) {
    SCOPED_TRACE(f == Format::XM ? "XM" : "IT");
    auto mod = Load(Write(SquareTestModule(f, 25)));
    EXPECT_EQ(mod->get_num_channels() * 100 + mod->get_num_orders() * 10 + mod->get_num_instruments(), 211);
    EXPECT_NEAR(mod->get_duration_seconds(), 25 * RowSeconds(6, 125), 0.01);
    std::vector<int16_t> s = Render(SquareTestModule(f, 25));
    EXPECT_NEAR(Frequency(s, kRate / 2, kRate * 2), 261.63, 1.0);
    EXPECT_GT(Rms(s, kRate / 2, kRate * 2, 0), 3000.0);

    // An 8-bit ping-pong sample one octave up, measured before the loop turns round: name, data, 16 bits,
    // loop, loop start and end, and the rate (a 32-frame period is 261.6 Hz at middle C).
    Module m = SquareTestModule(f, 16);
    m.instruments[0].sample = {"", SquareWave(32, 32 * 40), false, Loop::PingPong, 0, 32 * 40, 8372};
    m.patterns[0].At(0, 0).note = kMiddleC + 12;
    s = Render(m);
    EXPECT_NEAR(Frequency(s, kRate / 100, kRate * 7 / 100), 523.25, 3.0);
    EXPECT_GT(Rms(s, kRate / 4, kRate, 0), 3000.0);

    // The volume envelope holds at its sustain point until the note-off, then the fade-out silences the note;
    // the panning envelope moves it from the left towards the right.
    m = SquareTestModule(f, 48);
    m.instruments[0].volumeEnvelope = {{{0, 64}, {10, 48}, {20, 48}}, 2};  // held at its third point
    m.instruments[0].panningEnvelope.points = {{0, -32}, {40, 32}};
    m.instruments[0].fadeOut = 1024;
    m.patterns[0].At(8, 0).note = kNoteOff;
    s = Render(m);
    EXPECT_GT(Rms(s, 3 * kRow, 7 * kRow, 0) + Rms(s, 3 * kRow, 7 * kRow, 1), 2000.0);
    EXPECT_LT(Rms(s, 20 * kRow, 24 * kRow, 0) + Rms(s, 20 * kRow, 24 * kRow, 1), 1.0);
    EXPECT_GT(Rms(s, 0, kRow / 2, 0), 2 * Rms(s, 0, kRow / 2, 1));
  }
}

// Each effect as libopenmpt shows it back: the format's letter and parameter (IT's global volume on its own
// scale; the pattern break row, which XM stores in decimal digits, as the row itself).
TEST(ModWrite, EveryEffectGetsTheFormatsLetter) {
  const std::tuple<Effect, uint8_t, const char *, const char *> cases[] = {
      {Effect::Arpeggio, 0x47, "047", "J47"},          {Effect::PortaUp, 0x10, "110", "F10"},
      {Effect::PortaDown, 0x10, "210", "E10"},         {Effect::TonePorta, 0x20, "320", "G20"},
      {Effect::Vibrato, 0x44, "444", "H44"},           {Effect::TonePortaVolSlide, 0x02, "502", "L02"},
      {Effect::VibratoVolSlide, 0x20, "620", "K20"},   {Effect::Tremolo, 0x33, "733", "R33"},
      {Effect::SetPanning, 0x80, "880", "X80"},        {Effect::SampleOffset, 0x04, "904", "O04"},
      {Effect::VolumeSlide, 0x01, "A01", "D01"},       {Effect::PositionJump, 0x00, "B00", "B00"},
      {Effect::NoteCut, 3, "EC3", "SC3"},              {Effect::NoteDelay, 2, "ED2", "SD2"},
      {Effect::Retrigger, 3, "R03", "Q03"},            {Effect::SetSpeed, 5, "F05", "A05"},
      {Effect::SetTempo, 0x90, "F90", "T90"},          {Effect::GlobalVolume, 32, "G20", "V40"},
      {Effect::GlobalVolumeSlide, 0x10, "H10", "W10"}, {Effect::PatternBreak, 25, "D19", "C19"},
  };
  for (Format f : {Format::XM, Format::IT}) {
    Module m = SquareTestModule(f, 32);
    for (int row = 0; row < int(std::size(cases)); row++)
      m.patterns[0].At(row, 1) = {kNoNote, 0, kNoVolume, std::get<0>(cases[row]), std::get<1>(cases[row])};
    auto mod = Load(Write(m));
    for (int row = 0; row < int(std::size(cases)); row++)
      EXPECT_EQ(mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_effect) +
                    mod->format_pattern_row_channel_command(0, row, 1, openmpt::module::command_parameter),
                f == Format::XM ? std::get<2>(cases[row]) : std::get<3>(cases[row]))
          << "row " << row;
  }
}

TEST(ModWrite, ValidateNamesTheFaultAndWriteAndSaveRefuse) {
  const Module good = SquareTestModule(Format::XM, 16);
  EXPECT_EQ(Validate(good), "");
  // The fault, and whether IT's wider limits allow it.
  const std::tuple<std::function<void(Module &)>, const char *, bool> cases[] = {
      {[](Module &m) { m.orders = {1}; }, "order 1: names no pattern", false},
      {[](Module &m) { m.patterns[0].At(2, 1).note = 108; }, "pattern 1: note out of the format's range", true},
      {[](Module &m) { m.patterns[0].At(2, 1).instrument = 2; }, "pattern 1: names a missing instrument", false},
      {[](Module &m) { m.instruments[0].sample.loopEnd = 5000; }, "instrument 1: sample loop outside the data", false},
      {[](Module &m) {
         for (uint16_t t = 0; t < 13; t++) m.instruments[0].volumeEnvelope.points.push_back({uint16_t(t * 4), 32});
       },
       "instrument 1: an envelope needs 2 to the format's maximum points", true},
      {[](Module &m) { m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 10}}; },
       "instrument 1: envelope ticks must grow", false},
      {[](Module &m) { m.channels = 3; }, "pattern 1: does not match the module's channel count", false},
      {[](Module &m) { m.patterns[0].At(0, 1).effect = Effect::SetSpeed; }, "pattern 1: speed must be 1 to 31", false},
  };
  for (const auto &[spoil, fault, itAllows] : cases) {
    Module bad = good;
    spoil(bad);
    EXPECT_EQ(Validate(bad), fault);
    EXPECT_TRUE(Write(bad).empty()) << fault;
    bad.format = Format::IT;
    EXPECT_EQ(Validate(bad), itAllows ? "" : fault);
  }
  std::string err;
  EXPECT_FALSE(Save(SquareTestModule(Format::IT, 10), "/nonexistent/folder/x.it", &err));
  EXPECT_EQ(err, "cannot create /nonexistent/folder/x.it");
}

TEST(Tmpack, RoundTripsAFolderBitForBitInEveryModeAndTheSameFilesGiveTheSameBytes) {
  ScopedTempDir dir;
  // A real program from the system, and generated files of the awkward kinds.
  Put("disk/sh", ReadWholeFile("/bin/sh"));
  std::string noise(200000, '\0');
  std::mt19937 random(3);
  for (char &c : noise) c = (char)random();
  const std::pair<const char *, std::string> files[] = {
      {"data/noise.raw", noise}, {"data/mods.dat", std::string(50000, 't')},
      {"data/deep/Zero.bin", std::string(100000, '\0')}, {"data/empty", ""}, {"one", "1"}};
  for (const auto &[name, bytes] : files) Put(std::string("disk/") + name, bytes);
  const std::vector<std::string> names = FilesUnder("disk");
  // The last run leaves the mode to the tool.
  for (const char *mode : {"--auto", "--store", "--huffman", ""}) {
    ASSERT_EQ(Tmpack(std::string("create tunemill.dat ") + mode + " disk").exitCode, 0) << mode;
    EXPECT_EQ(Tmpack("verify tunemill.dat").exitCode, 0) << mode;
    // The program's own extraction reads what the tool wrote.
    ChildResult child = RunChild([&] {
      OpenResource();
      for (const std::string &name : names) {
        char *path = ExtractFile(name.c_str());
        if (ReadWholeFile(path) != ReadWholeFile("disk/" + name)) printf("%s differs\n", name.c_str());
        ReleaseFile(path);
      }
    });
    EXPECT_EQ(child.exitCode * 1000 + child.out.size(), 99000u) << mode << child.out;
    EXPECT_EQ(Tmpack("extract tunemill.dat 'DATA\\DEEP\\zero.BIN' -o copy").exitCode, 0);
    EXPECT_EQ(ReadWholeFile("copy"), std::string(100000, '\0'));
    EXPECT_EQ(Tmpack("extract tunemill.dat sh").out, ReadWholeFile("/bin/sh"));
  }
  // Left to itself the tool packs text and leaves noise and empty files as they are; the list has every name
  // in order.
  const std::string list = Tmpack("list tunemill.dat").out;
  const std::string lines[] = {"stored  data/empty\n", " 200000       200000  stored  data/noise.raw\n",
                               "  50000  packed  data/mods.dat\n", std::to_string(names.size()) + " entries"};
  for (const std::string &line : lines) EXPECT_NE(list.find(line), std::string::npos) << line << list;
  size_t at = 0;
  for (const std::string &name : names) EXPECT_NE(at = list.find("  " + name + "\n", at), std::string::npos) << name;

  // The same files give the same bytes whatever the order they were made in, an archive in the folder left out.
  for (const std::string file : {"b/y", "a", "b/x", "c"}) Put("one/" + file, file);
  for (const std::string file : {"c", "b/x", "a", "b/y"}) Put("two/" + file, file);
  Put("two/tunemill.dat", "an old archive");
  ASSERT_EQ(Tmpack("create one.dat one").exitCode + Tmpack("create two/tunemill.dat two").exitCode, 0);
  EXPECT_EQ(ReadWholeFile("two/tunemill.dat"), ReadWholeFile("one.dat"));
  EXPECT_EQ(ReadWholeFile("one.dat"), StoredMember("a", "a") + StoredMember("b/x", "b/x") +
                                          StoredMember("b/y", "b/y") + StoredMember("c", "c"));
}

TEST(Tmpack, BadInputGetsAMessageAndAFailingExit) {
  ScopedTempDir dir;
  fs::create_directories("empty");
  const std::string longName = "long/" + std::string(200, 'd') + "/" + std::string(60, 'f');
  for (const char *path : {"keep.dat", longName.c_str(), "twice/Song.xm", "twice/song.XM", "huge/big"})
    Put(path, "previous");
  fs::resize_file("huge/big", 0x100000000ull);  // sparse, 4 GiB
  Put("a.txt", std::string(4000, 'a'));
  ASSERT_EQ(Tmpack("create good.dat a.txt").exitCode, 0);
  const std::string good = ReadWholeFile("good.dat");
  Put("long.dat", good + "x");
  Put("magic.dat", "\x67" + good.substr(1));
  Put("size.dat", good.substr(0, 265) + (char)(good[265] ^ 1) + good.substr(266));  // the unpacked size
  const std::tuple<const char *, const char *, int> cases[] = {
      {"create keep.dat missing", "missing: no such file or folder", 1},
      {"create keep.dat empty", "nothing to pack", 1},
      {"create keep.dat long", "entry name longer than 255 bytes", 1},
      {"create keep.dat twice", "song.XM: a second entry of that name", 1},
      {"create keep.dat huge", "larger than an entry can be", 1},
      {"create keep.dat --fast one", "unknown option --fast", 2},
      {"list", "usage:", 2},
      {"list nothing.dat", "nothing.dat: Cannot open resource file !\n", 1},
      {"verify long.dat", "long.dat: Read error !\n", 1},
      {"list magic.dat", "magic.dat: Resource format error !\n", 1},
      {"verify size.dat", "size.dat: a.txt: HUFF decompresion error !\n", 1},
      {"extract good.dat b.txt", "good.dat: File not in resource !\n[b.txt]\n", 1},
  };
  for (const auto &[args, message, code] : cases) {
    const COMMAND_RESULT result = Tmpack(args);
    EXPECT_EQ(result.exitCode, code) << args;
    EXPECT_NE(result.out.find(message), std::string::npos) << args << ": " << result.out;
  }
  EXPECT_EQ(ReadWholeFile("keep.dat"), "previous");
}

std::string Bytes(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }

// Two patterns of different notes, so that an order table read wrongly changes the sound; the header saved
// short, as many trackers save it.
Module ShortHeaderSong(size_t orders) {
  Module song = SquareTestModule(Format::XM, 4);
  song.AddPattern(4).At(0, 0) = {kMiddleC + 7, 1, 48, Effect::None, 0};
  for (size_t i = 1; i < orders; i++) song.orders.push_back(i * i % 3 == 1);
  song.shortHeader = true;
  song.name.clear();
  return song;
}

class TmpackDisk : public ::testing::Test {
 protected:
  // The folder: the player takes a.it and sub/e.xm (its header saved short); b.xm is of an older XM
  // version, c.it is cut off after its header, d.xm is no module, and notes.txt is not looked at.
  void SetUp() override {
    Module it = SquareTestModule(Format::IT, 16);
    it.name = "Caf\x82 Song With Many Words";  // code page 437, as Impulse Tracker saves text
    it.message = "H\x82llo w\x94rld\xff again and more\rsecond line";
    const std::string old = Bytes(Write(SquareTestModule(Format::XM, 16)));
    const std::pair<const char *, std::string> files[] = {
        {"mods/a.it", Bytes(Write(it))}, {"mods/b.xm", old.substr(0, 58) + '\x02' + old.substr(59)},
        {"mods/c.it", Bytes(Write(it)).substr(0, 100)}, {"mods/d.xm", "not a module\n"},
        {"mods/notes.txt", "not a module\n"}, {"mods/sub/e.xm", shortXM}};
    for (const auto &[path, bytes] : files) Put(path, bytes);
    made = Tmpack("disk out.dat --art " + art + " mods");
  }

  ScopedTempDir dir;
  const std::string art = TUNEMILL_BINARY_DIR "/tunemill.dat";
  const std::string shortXM = Bytes(Write(ShortHeaderSong(3)));
  COMMAND_RESULT made;
};

// The disk holds the modules the player takes, with descriptions from their own metadata; the rest are
// named with the reason; check names the member of each problem; short XM headers are repaired losslessly.
TEST_F(TmpackDisk, TheDiskHoldsTheTakenModulesCheckNamesEachProblemAndRepairsAreLossless) {
  EXPECT_EQ(made.exitCode, 0);
  EXPECT_EQ(made.out, "tmpack: mods/a.it: track 1, \"Café Song With Many Words\"\n"
                      "tmpack: mods/b.xm: XM version 0x0102; the player needs 0x0104\n"
                      "tmpack: mods/c.it: libopenmpt cannot load it (error loading file)\n"
                      "tmpack: mods/d.xm: too short for an XM module (13 bytes)\n"
                      "tmpack: mods/sub/e.xm: track 2, \"e\", repaired header\n"
                      "tmpack: out.dat: 2 tracks (1 with a repaired header), 3 modules left out, 20 pictures from " +
                          art + "\n");
  EXPECT_EQ(Tmpack("extract out.dat data/mods.dat").out, "2\r\ndata/trk1.txt\r\ndata/trk2.txt\r\n");
  // Titles in code page 437 (\x82 is é), info lines in the font's Latin-1 cells (\xe9 é, \xf6 ö); the
  // font draws no glyph for the no-break space that stood after "wörld".
  EXPECT_EQ(Tmpack("extract out.dat data/trk1.txt").out, "data/trk1.it\r\nCaf\x82 Song\r\nWith Many\r\n\r\nIT, 2 "
                                                         "channels\r\nLength 0:02\r\nImpulse Tracker 2.14\r\n"
                                                         "H\xe9llo w\xf6rld again\r\n");
  EXPECT_EQ(Tmpack("extract out.dat data/trk2.txt").out,
            "data/trk2.xm\r\ne\r\n\r\n\r\nXM, 2 channels\r\nLength 0:01\r\nTunemill modwrite\r\n\r\n");
  EXPECT_EQ(Tmpack("check out.dat").out,
            "tmpack: out.dat: 2 tracks and every picture the program loads are in order\n");

  EXPECT_EQ(Tmpack("disk strict.dat --strict --art " + art + " mods").exitCode, 1);
  const COMMAND_RESULT none = Tmpack("disk none.dat --art " + art + " mods/b.xm mods/d.xm");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.out.find("tmpack: the player takes none of these modules; nothing written\n"), std::string::npos);
  EXPECT_FALSE(FileExists("strict.dat") || FileExists("none.dat"));

  // Each damage is a member put before the good ones, which the program then never reads.
  const std::pair<std::string, std::string> cases[] = {
      {StoredMember("data/mods.dat", "1\r\ndata/gone.txt\r\n"), "data/gone.txt: missing"},
      {StoredMember("data/font.gif", std::string("GIF89a\x10\0\x10\0", 10)),
       "data/font.gif: the program cannot decode this picture"},
      {StoredMember("data/trk2.xm", shortXM), "data/trk2.xm: XM header of 23 bytes; the player needs 276"},
      {StoredMember("data/trk1.txt", "data/trk1.it\r\nCafe\r\n"), "data/trk1.txt: Cannot read data file ![2]"},
  };
  for (const auto &[member, line] : cases) {
    WriteWholeFile("bad.dat", member + ReadWholeFile("out.dat"));
    const COMMAND_RESULT checked = Tmpack("check bad.dat");
    EXPECT_EQ(checked.exitCode, 1) << line;
    EXPECT_EQ(checked.out, "tmpack: bad.dat: " + line + "\ntmpack: bad.dat: 1 problem; the program would stop with "
                           "an error\n");
  }

  // Repaired headers: the copies render sample for sample like the originals, whose every order plays.
  for (size_t orders : {1, 7, 255}) {
    const std::vector<uint8_t> original = Write(ShortHeaderSong(orders));
    const MODULE_VERDICT verdict = ExamineModule("song.xm", original, true);
    ASSERT_TRUE(verdict.problem.empty() && verdict.repaired) << orders << verdict.problem;
    EXPECT_EQ(verdict.bytes.size(), original.size() + 256 - orders) << orders;
    const std::vector<int16_t> heard = RenderModule(original, 128);
    EXPECT_EQ(heard.size(), 2 * 21168 * orders) << orders;  // 4 rows of 0.12 s an order, in frames of 2 samples
    EXPECT_TRUE(RenderModule(verdict.bytes, 128) == heard) << orders;
  }
}

const std::string kDisk = BinaryDir() + "/data/disk/";

// A picture file as the program's decoders read it, in 0xRRGGBB colours (GIF indices through their
// palette), top row first, with the brightness of each pixel.
struct PICTURE {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  double Luma(size_t i) const { return .299 * (rgb[i] >> 16) + .587 * (rgb[i] >> 8 & 255) + .114 * (rgb[i] & 255); }
  double operator()(int x, int y) const { return Luma((size_t)y * width + x); }
};

PICTURE Decode(const std::string &path) {
  const std::string file = ReadWholeFile(path);
  const unsigned char *data = (const unsigned char *)file.data();
  IMAGE image = {0, 0, nullptr};
  unsigned char palette[768];
  const std::string ext = path.substr(path.size() - 4);
  PICTURE p;
  if (!(ext == ".gif"   ? DecodeGIF(data, file.size(), &image, palette)
        : ext == ".png" ? DecodePNG(data, file.size(), &image)
                        : DecodeJPEG(data, file.size(), &image)))
    return p;
  p.width = image.Width, p.height = image.Height;
  for (int i = 0; i < p.width * p.height; i++) {
    const unsigned char *c = palette + 3 * ((const uint8_t *)image.Pixels)[i];  // read for GIFs only
    p.rgb.push_back(ext == ".gif" ? (uint32_t)(c[0] << 16 | c[1] << 8 | c[2]) : ((const uint32_t *)image.Pixels)[i]);
  }
  TrackedFree(image.Pixels, __LINE__, "tools_test");
  return p;
}

// The program's own checks pass on the disk (every picture decodes at a size it takes); none is blank; the README's
// contact sheet shows what the current generator draws: the same size, and the same picture up to what a
// font or Cairo release may change in the lettering's edges; the font's glyphs sit in their cells.
TEST(Disk, PassesTheProgramsOwnChecksNoPictureIsBlankTheReadmeShowsThemAndGlyphsFitTheirCells) {
  const COMMAND_RESULT check = RunCommand(BinaryDir() + "/tmpack check " + BinaryDir() + "/tunemill.dat");
  EXPECT_EQ(check.exitCode, 0) << check.out;
  for (const std::string &name : FilesUnder(kDisk + "data")) {
    if (std::string(".jpg.gif.png").find(name.substr(name.size() - 4)) == std::string::npos) continue;
    const PICTURE p = Decode(kDisk + "data/" + name);
    double sum = 0, squares = 0;
    for (size_t i = 0; i < p.rgb.size(); i++) sum += p.Luma(i), squares += p.Luma(i) * p.Luma(i);
    const double n = (double)p.rgb.size();
    EXPECT_GT(std::sqrt(squares / n - sum / n * sum / n), 8.0) << name << " has some spread of brightness";
  }
  const PICTURE built = Decode(BinaryDir() + "/previews/contact-sheet.png");
  const PICTURE shown = Decode(std::string(TUNEMILL_SOURCE_DIR) + "/docs/contact-sheet.png");
  ASSERT_EQ(built.width * 100000 + built.height, shown.width * 100000 + shown.height);
  double difference = 0;
  for (size_t i = 0; i < built.rgb.size(); i++) difference += std::fabs(built.Luma(i) - shown.Luma(i));
  EXPECT_LT(difference / (double)built.rgb.size(), 2.0) << "copy build/previews/contact-sheet.png to docs/";

  // The font: code c in the 16 x 16 cell at column c % 16, row c / 16, bright ink on black (the transparent
  // colour key); the last column and row of every cell stay clear, so filtering never pulls in a neighbour.
  const PICTURE font = Decode(kDisk + "data/font.gif");
  ASSERT_EQ(font.width, 256);
  double brightest = 0;
  for (int code = 0; code < 256; code++) {
    int ink = 0, edge = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++) {
        const double v = font((code % 16) * 16 + x, (code / 16) * 16 + y);
        ink += v > 0, edge += v > 0 && (x == 15 || y == 15);
        if (code == 'M') brightest = std::max(brightest, v);
      }
    const bool printable = (code > 32 && code < 127) || (code > 160 && code != 173);
    EXPECT_TRUE(code == 173 || (printable ? ink >= 4 : ink == 0)) << code;
    EXPECT_EQ(edge, 0) << code;
  }
  EXPECT_GT(brightest, 250);
}

// Mean brightness of a panel-unit rectangle (right and bottom edges excluded), minus that of a band 3 units
// wide around it.
double Contrast(const PICTURE &l, int x0, int y0, int x1, int y1) {
  const double k = l.width / 512.0;
  double in = 0, out = 0, nIn = 0, nOut = 0;
  for (int y = std::max(0, int((y0 - 3) * k)); y < std::min(l.height, int((y1 + 3) * k)); y++)
    for (int x = std::max(0, int((x0 - 3) * k)); x < std::min(l.width, int((x1 + 3) * k)); x++) {
      const bool inside = x >= x0 * k && x < x1 * k && y >= y0 * k && y < y1 * k;
      (inside ? in : out) += l(x, y), (inside ? nIn : nOut)++;
    }
  return in / nIn - out / nOut;
}

TEST(ArtgenPanels, ButtonArtOverEveryButtonRectangleAndADarkSceneArea) {
  // The player screen's buttons, and the slider's track under the knob's travel.
  const int buttons[][4] = {{407, 291, 495, 324}, {311, 291, 383, 324}, {311, 349, 321, 360}, {482, 349, 491, 360},
                            {469, 1, 481, 16},    {483, 1, 495, 16},    {497, 1, 509, 16},    {291, 390, 310, 414},
                            {321, 349, 482, 360}};
  const PICTURE panels[2] = {Decode(kDisk + "data/panel1.jpg"), Decode(kDisk + "data/panel5.jpg")};
  for (const PICTURE &l : panels)
    for (const auto &b : buttons) {
      // The art sits on the rectangle, not beside it: shifted by half its size the contrast drops.
      const double contrast = std::fabs(Contrast(l, b[0], b[1], b[2], b[3])), dx = (b[2] - b[0]) / 2;
      EXPECT_GT(contrast, 12.0) << b[0] << ", " << b[1] << " of panel " << &l - panels;
      EXPECT_GT(contrast, std::fabs(Contrast(l, b[0] + dx, b[1], b[2] + dx, b[3]))) << b[0] << ", " << b[1];
    }
  // The scene area is calm and dark; the two panels differ, or the cross-fade would show nothing.
  const double k = panels[0].width / 512.0;
  double sum = 0, brightest = 0, difference = 0, n = 0;
  for (int y = int(40 * k); y < int(410 * k); y++)
    for (int x = int(20 * k); x < int(280 * k); x++, n++)
      sum += panels[0](x, y), brightest = std::max(brightest, panels[0](x, y));
  for (size_t i = 0; i < panels[0].rgb.size(); i++)
    for (int shift : {0, 8, 16})
      difference += std::abs(int(panels[0].rgb[i] >> shift & 0xFF) - int(panels[1].rgb[i] >> shift & 0xFF));
  EXPECT_LT(sum / n, 30.0);
  EXPECT_LT(brightest, 90.0);
  EXPECT_GT(difference / 3 / (double)panels[0].rgb.size(), 8.0);
}

// The lines of a text in which every line must end with CR LF.
std::vector<std::string> CrLfLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_TRUE(start == text.size() && std::count(text.begin(), text.end(), '\n') == (long)lines.size())
      << "a line without CR LF in " << text.substr(0, 80);
  return lines;
}

unsigned U16(const std::string &b, size_t at) { return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8; }

TEST(DiskMusic, EveryTrackIsDescribedTruthfullyAndPlaysOnceToItsEndNeitherSilentNorClipped) {
  const std::vector<std::string> list = CrLfLines(ReadWholeFile(kDisk + "data/mods.dat"));
  ASSERT_GE(list.size(), 6u);
  EXPECT_EQ(list[0], std::to_string(list.size() - 1));
  int formats[2] = {0, 0};
  for (size_t i = 1; i < list.size(); i++) {
    SCOPED_TRACE(list[i]);
    const std::vector<std::string> desc = CrLfLines(ReadWholeFile(kDisk + list[i]));
    ASSERT_TRUE(desc.size() >= 3 && desc.size() <= 8) << desc.size();
    // What fits on the panel: the module name, titles from x 314 at 13 columns, info lines at 20.
    for (size_t l = 0; l < desc.size(); l++)
      EXPECT_TRUE(!desc[l].empty() && desc[l].size() <= (l == 0 ? 127u : l < 3 ? 13u : 20u)) << desc[l];
    // The program's probe passes them (the check above); the order count it reads is the song's own.
    const std::string b = ReadWholeFile(kDisk + desc[0]);
    const bool xm = desc[0].substr(desc[0].size() - 3) == ".xm";
    formats[xm]++;
    const std::vector<uint8_t> bytes(b.begin(), b.end());
    const auto mod = Load(bytes);
    const int orders = mod->get_num_orders();
    EXPECT_EQ(orders, (int)U16(b, xm ? 64 : 32));
    EXPECT_TRUE(orders >= 10 && orders <= 60 && mod->get_num_channels() >= 4 && mod->get_num_channels() <= 12);
    const double duration = mod->get_duration_seconds();
    EXPECT_TRUE(duration >= 90 && duration <= 180) << duration;
    // The info lines tell the truth about the module.
    const int rounded = int(std::lround(duration));
    const std::string length = "Length " + std::to_string(rounded / 60) + (rounded % 60 < 10 ? ":0" : ":") +
                               std::to_string(rounded % 60);
    EXPECT_NE(std::find(desc.begin(), desc.end(), length), desc.end()) << "no line \"" << length << "\"";

    // A second at a time: the song stops at its end instead of looping and runs through its whole order
    // list; the last second of a fade-out may be short and quiet, every other carries music unclipped.
    int lastOrder = 0, quietRun = 0, longestQuiet = 0, clippedSeconds = 0;
    double loudest = 0;
    const std::vector<int16_t> s = RenderModule(bytes, 44100, &lastOrder);
    const size_t seconds = (s.size() / 2 + 44099) / 44100;
    for (size_t second = 0; second < seconds; second++) {
      const size_t from = second * 88200, to = std::min(s.size(), from + 88200);
      double sum = 0;
      int clipped = 0;
      for (size_t k = from; k < to; k++) sum += double(s[k]) * s[k], clipped += s[k] >= 32767 || s[k] <= -32768;
      const double rms = std::sqrt(sum / double(to - from)) / 32768.0;
      loudest = std::max(loudest, rms);
      if (to - from == 88200) longestQuiet = std::max(longestQuiet, quietRun = rms < 0.005 ? quietRun + 1 : 0);
      clippedSeconds += clipped > 10;
    }
    EXPECT_NEAR((double)seconds, duration, 1.5);
    EXPECT_EQ(lastOrder, orders - 1);
    EXPECT_TRUE(longestQuiet <= 3 && clippedSeconds <= 2 && loudest > 0.05) << longestQuiet << " " << clippedSeconds;
  }
  EXPECT_TRUE(formats[0] >= 2 && formats[1] >= 2);
}

// Both content tools, run again, write the build's disk byte for byte: every file, and no other.
TEST(Disk, ArtgenAndComposeWriteTheSameDiskOnEveryRun) {
  ScopedTempDir dir;
  for (const char *tool : {"/artgen", "/compose"}) ASSERT_EQ(RunCommand(BinaryDir() + tool + " again").exitCode, 0);
  const std::vector<std::string> names = FilesUnder("again");
  EXPECT_EQ(names, FilesUnder(kDisk));
  for (const std::string &name : names)
    EXPECT_TRUE(ReadWholeFile("again/" + name) == ReadWholeFile(kDisk + name)) << name;
}

}  // namespace
