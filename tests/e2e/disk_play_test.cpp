// The real program on a disk that tmpack disk made from one XM saved with a short header.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "modwrite/modwrite.h"
#include "program.h"
#include "testkit.h"

namespace {

std::vector<int16_t> Samples(const std::string &bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::copy_n(bytes.data(), samples.size() * 2, (char *)samples.data());
  return samples;
}

size_t FirstSound(const std::vector<int16_t> &samples) {
  return (size_t)(std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; }) - samples.begin());
}

// What the device must receive is libopenmpt's rendering of the file as the musician saved it: 16-bit
// stereo at 44,100 Hz, played once with libopenmpt's default volume ramping and no dither (the player's
// load flags), at full volume, which passes the samples unchanged. libopenmpt is read 128 frames at a time
// as the sound engine reads it, because its XM volume ramps can depend on the read size; the last chunk is
// filled up with silence. Before the song the device plays whole chunks of silence, so the song must start
// on a chunk boundary and then match bit for bit to its end.
TEST(DiskPlay, TheProgramPlaysTheFirstTrackAsLibopenmptRendersTheOriginalFile) {
  ScopedTempDir dir;
  modwrite::Module song = modwrite::SquareTestModule(modwrite::Format::XM, 8);
  song.AddPattern(8).At(2, 0) = {modwrite::kMiddleC + 5, 1, 40, modwrite::Effect::Vibrato, 0x46};
  song.orders = {0, 1, 1, 0};
  song.shortHeader = true;
  const std::vector<uint8_t> original = modwrite::Write(song);
  WriteWholeFile("song.xm", std::string(original.begin(), original.end()));
  COMMAND_RESULT made = RunCommand(BinaryDir() + "/tmpack disk tunemill.dat song.xm");
  ASSERT_EQ(made.exitCode, 0) << made.out;

  std::ostringstream log;
  openmpt::module module(original, log, {{"play.at_end", "stop"}, {"dither", "0"}});
  std::vector<int16_t> expected;
  for (size_t got = 128; got == 128;) {
    int16_t chunk[256] = {};
    got = module.read_interleaved_stereo(44100, 128, chunk);
    if (got) expected.insert(expected.end(), chunk, chunk + 256);
  }
  ASSERT_EQ(expected.size(), 2u * 169344);  // 32 rows of 0.12 s, which is 1,323 whole chunks
  const size_t leadIn = FirstSound(expected);

  Program program;
  std::string why;
  ASSERT_TRUE(program.StartAndAccept(&why)) << why;
  std::vector<int16_t> heard;
  bool whole = WaitFor([&] {
    heard = Samples(ReadWholeFile("audio.raw"));
    size_t start = FirstSound(heard);
    return start < heard.size() && start >= leadIn && heard.size() >= start - leadIn + expected.size();
  }, 60, 0.1);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1);
  ASSERT_TRUE(whole) << heard.size() << " samples recorded";

  const size_t start = FirstSound(heard) - leadIn;
  EXPECT_EQ(start % 256, 0u) << start;
  const auto differ = std::mismatch(expected.begin(), expected.end(), heard.begin() + (long)start);
  EXPECT_TRUE(differ.first == expected.end()) << "first difference at sample " << differ.first - expected.begin();
}

}  // namespace
