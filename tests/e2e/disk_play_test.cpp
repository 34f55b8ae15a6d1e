// The real program on disks that tmpack disk made: one XM saved with a short header, heard bit for bit; three
// tracks changed with the keys and buttons and one seek with the knob, each found in the recorded sound.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <utility>
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

// libopenmpt's rendering of `bytes` from the start of order `order`, `frames` long, read 128 frames at a time
// as the sound engine reads it.
std::vector<int16_t> Render(const std::vector<uint8_t> &bytes, int order, size_t frames) {
  std::ostringstream log;
  openmpt::module module(bytes, log, {{"play.at_end", "stop"}, {"dither", "0"}});
  if (order > 0) module.set_position_order_row(order, 0);
  std::vector<int16_t> samples(frames * 2);
  for (size_t at = 0; at < frames; at += 128) module.read_interleaved_stereo(44100, 128, samples.data() + at * 2);
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

// Three tracks of eight orders, each order one long note of its own pitch. A track started anew must sound
// as libopenmpt renders the file from its beginning; after the knob's seek, as it renders the file from the
// order under the knob (once the engine's click-removal ramp of the note cut short has passed, hence the
// comparison from 2,048 frames on). The recording is searched frame by frame, as it grows.
TEST(DiskPlay, KeysAndButtonsStartTheirTrackFromTheBeginningAndTheKnobSeeks) {
  ScopedTempDir dir;
  std::vector<std::vector<int16_t>> needles;  // 0-2: track t from its start; 3-5: track t from order 4
  std::vector<std::vector<uint8_t>> files;
  for (int t = 0; t < 3; t++) {
    modwrite::Module song = modwrite::SquareTestModule(modwrite::Format::XM, 64);
    song.name = std::string("Track ") + (char)('A' + t);
    song.orders = {0};
    for (int o = 1; o < 8; o++) {
      song.AddPattern(64).At(0, 0) = song.patterns[0].At(0, 0);
      song.orders.push_back(o);
    }
    for (int o = 0; o < 8; o++) song.patterns[o].cells[0].note = (uint8_t)(modwrite::kMiddleC - 12 + 8 * t + o);
    files.push_back(modwrite::Write(song));
    WriteWholeFile(std::string(1, (char)('a' + t)) + ".xm", std::string(files.back().begin(), files.back().end()));
  }
  for (int order : {0, 4})
    for (const auto &file : files) {
      const std::vector<int16_t> sound = Render(file, order, 4096);
      needles.emplace_back(sound.begin() + 4096, sound.end());
    }
  COMMAND_RESULT made = RunCommand(BinaryDir() + "/tmpack disk tunemill.dat a.xm b.xm c.xm");
  ASSERT_EQ(made.exitCode, 0) << made.out;

  std::vector<int16_t> heard;
  std::vector<std::pair<size_t, int>> found;  // where each needle begins in the recording, in order
  size_t scanned = 0;
  auto listen = [&] {
    heard = Samples(ReadWholeFile("audio.raw"));
    for (; scanned + 4096 <= heard.size(); scanned += 2)
      for (int k = 0; k < 6; k++)
        if ((found.empty() || found.back().second != k) &&  // a steady note may match again a period on
            std::equal(needles[k].begin(), needles[k].end(), heard.begin() + (long)scanned))
          found.push_back({scanned, k});
    return found.size();
  };
  Program program;
  std::string why;
  ASSERT_TRUE(program.StartAndAccept(&why, true)) << why;
  ASSERT_TRUE(WaitFor([&] { return listen() == 1; }, 60, 0.2)) << heard.size() << " samples recorded";
  const int first = found[0].second;
  ASSERT_LT(first, 3);
  std::string window;
  ASSERT_TRUE(WaitFor([&] { return WindowGeometry(window = FindWindow("Tunemill", 1)).x == 0; }, 30, 0.1));
  RunCommand("xdotool windowfocus --sync $(xwininfo -root | awk '/Window id/{print $4}') sleep 0.3 windowfocus --sync " +
             window);

  // F, the next button, B, the previous button, each until it is heard (the opening takes no input); at
  // 640 x 480 a panel unit is 1.25 pixels across and 0.9375 down.
  const std::string click = " 288 sleep 0.05 mousedown 1 sleep 0.15 mouseup 1";
  const std::string actions[] = {"keydown f sleep 0.15 keyup f", "mousemove 564" + click,
                                 "keydown b sleep 0.15 keyup b", "mousemove 434" + click};
  for (const std::string &action : actions) {
    const size_t before = found.size();
    EXPECT_TRUE(WaitFor([&] {
      RunCommand("xdotool " + action);
      return WaitFor([&] { return listen() > before; }, 3, 0.2);
    }, 40, 0)) << action;
  }
  // The knob, at the start of the slider while order 0 plays, dragged slowly to panel x 410.9, where the
  // slider reads 0.5625: order 4 of 8.
  std::string drag = "mousemove 415 332 sleep 0.1 mousedown 1";
  for (int x = 418; x <= 514; x += 3) drag += " mousemove " + std::to_string(x) + " 332 sleep 0.05";
  RunCommand("xdotool " + drag + " sleep 0.1 mouseup 1");
  WaitFor([&] { return listen() > 5; }, 10, 0.2);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(60), 1);

  std::vector<int> heardOrder;
  for (const auto &[at, k] : found) heardOrder.push_back(k);
  const int next = (first + 1) % 3, last = (first + 2) % 3;
  EXPECT_EQ(heardOrder, (std::vector<int>{first, next, last, next, first, 3 + first}));
}

}  // namespace
