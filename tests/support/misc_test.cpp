// The log, fatal errors with their shutdown callbacks, and the tracked allocator.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

#include "support/misc.h"
#include "testkit.h"

namespace {

const std::string kDebug = "\n PROGRAM: -- DEBUG: ";

// Everything logged by `body` in a fresh process, without the banner.
std::string LogOf(const std::function<void()> &body) {
  ScopedTempDir dir;
  ChildResult child = RunChild(body);
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  std::string log = ReadWholeFile("program.log");
  size_t end = log.find(" \n\n");
  return end == std::string::npos ? log : log.substr(end + 3);
}

TEST(TrackedAlloc, EachUseLogsWhatItShould) {
  // An overrun of 1 to 4 bytes stays inside the guard's slack; 5 to 8 reach the guard. The block is
  // released all the same.
  auto overrun = [](int bytes) {
    return [bytes] {
      unsigned char *p = (unsigned char *)TrackedAlloc(10, 1, "efx1");
      p[10 + bytes - 1] = 0x12;
      TrackedFree(p, 77, "efx1");
      if (AllocTotal() != 0) _exit(1);
    };
  };
  const std::string overload = kDebug + "TabOVERLOAD at efx1 77 [ptrsize: 10 ]";
  const struct {
    const char *what;
    std::function<void()> body;
    std::string log;
  } cases[] = {
      // free(0) is logged only when the allocation gave null.
      {"zero size gives null", [] { TrackedFree(TrackedAlloc(0, 12, "demo"), 13, "demo"); },
       kDebug + "malloc(0) at demo 12 " + kDebug + "free(0) at demo 13 "},
      {"large block, zero-filled and usable",
       [] {
         unsigned char *p = (unsigned char *)TrackedAlloc(2 * 1048576, 5, "gldriver");
         if (std::count(p, p + 2 * 1048576, 0) != 2 * 1048576) _exit(1);
         memset(p, 0xAB, 2 * 1048576);
         TrackedFree(p, 6, "gldriver");
       },
       kDebug + "LARGE_BLOCK at gldriver 5 -- size 2097152"},
      {"one mebibyte is not large", [] { TrackedFree(TrackedAlloc(1048576, 1, "x"), 2, "x"); }, ""},
      {"overrun 1", overrun(1), ""}, {"overrun 4", overrun(4), ""},
      {"overrun 5", overrun(5), overload}, {"overrun 8", overrun(8), overload},
  };
  for (const auto &c : cases) EXPECT_EQ(LogOf(c.body), c.log) << c.what;
}

struct Tracked {
  TRACKED_ALLOCATION
  int Value = 7;
};

// The report lists live blocks in table order, names cut to 63; a second free changes nothing; a class's
// operators record its caller, log the array and pointer forms, and give everything back.
TEST(AllocReport, ListsLiveBlocksInTableOrderAndTheClassOperatorsAreTracked) {
  const std::string longName(100, 'n');
  std::string log = LogOf([&longName] {
    TrackedAlloc(1, 10, "demo");
    void *second = TrackedAlloc(2, 20, "extr");
    TrackedAlloc(3, 30, longName.c_str());
    TrackedFree(second, 0, "t");
    TrackedFree(second, 21, "extr");
    // The freed entry is the first free one again: the next block takes its place in the table.
    Tracked *fourth = new (40, "winmain") Tracked;
    if (fourth->Value != 7 || AllocTotal() != 1 + 3 + (int64_t)sizeof(Tracked)) _exit(1);
    AllocReport();
    delete fourth;
    delete[] new Tracked[3];
    delete new (nullptr, 9, "demo") Tracked;
    if (AllocTotal() != 1 + 3) _exit(1);
  });
  EXPECT_EQ(log, kDebug + "free(BadPointer) at extr 21 " + kDebug + "Alloc Raport: " + kDebug + "Pointer at demo 10 - still allocated !" + kDebug +
                     "Pointer at winmain 40 - still allocated !" + kDebug + "Pointer at " + std::string(63, 'n') +
                     " 30 - still allocated !" + kDebug + "End of alloc raport." + kDebug +
                     "Call to new[](size_t) !" + kDebug + "call to delete[](void *) !" + kDebug +
                     "Call to new(size_t, void *) !");
}

TEST(TrackedAlloc, TableExhaustionAndSizesBeyondThirtyTwoBitsAreFatal) {
  ScopedTempDir dir;
  ExpectFatal(
      [] {
        for (int i = 0; i < 32000; i++) TrackedAlloc(1, i, "misc");
        if (AllocTotal() != 32000) _exit(1);
        TrackedAlloc(1, 32000, "misc");
      },
      "misc", "DEBUG: __MAX_ALLOCS__ error !", 140);
  ExpectFatal([] { TrackedAlloc((size_t)1 << 33, 1, "gifload"); }, "misc", "Out Of Memory !", 118);
}

TEST(Log, BannerOpensEachRunAndTextIsDroppedWhileTheFileCannotBeOpened) {
  ScopedTempDir dir;
  for (int run = 0; run < 2; run++)
    RunChild([run] {
      if (run) rename("program.log", "kept"), mkdir("program.log", 0700);
      LogPrint("\n PROGRAM: -- DEBUG: first %i", run);  // lost in the second run: a folder is in the way
      if (run) rmdir("program.log"), rename("kept", "program.log");
      LogPrint("\n PROGRAM: -- DEBUG: second %s", "line");
    });
  // The banner: four line ends, the asctime-style local time with its own line end, a blank, two line ends;
  // a run whose first line was lost opens with it all the same.
  const std::string banner =
      "\n\n\n\n BEG LOGIN AT (Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
      "[ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n \n\n";
  const std::string log = ReadWholeFile("program.log");
  EXPECT_TRUE(std::regex_match(log, std::regex(banner + "\n PROGRAM: -- DEBUG: first 0\n PROGRAM: -- DEBUG: second line" +
                                               banner + "\n PROGRAM: -- DEBUG: second line")))
      << log;
}

void CallbackA() { printf("A"); }
void CallbackC() { printf("C"); }
void FailingCallback() {
  printf("F");
  FatalError(7, "gldriver", "inner !");
}

TEST(FatalError, LogsShowsRunsEachCallbackOnceInOrderAndExitsWithZero) {
  const std::pair<std::function<void()>, std::string> cases[] = {
      // A null callback is ignored, a removed one skipped, and an error inside a callback runs each
      // remaining callback once.
      {[] {
         void (*removed)() = [] { printf("R"); };
         for (void (*callback)() : {CallbackA, (void (*)()) nullptr, removed, FailingCallback, CallbackC})
           AddShutdownCallback(callback);
         RemoveShutdownCallback(removed);
       },
       "AF\n PROGRAM: -- ERROR: at gldriver 7 : inner ! C"},
      // Callbacks past the 128th are ignored.
      {[] { for (int i = 0; i < 130; i++) AddShutdownCallback(CallbackA); }, std::string(128, 'A')},
  };
  const std::string line = "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] ";
  for (const auto &[callbacks, out] : cases) {
    ScopedTempDir dir;
    ChildResult child = RunChild([&callbacks] {
      callbacks();
      FatalError(28, "demo", "Format error ! [ParseModInfos]");
    });
    EXPECT_TRUE(child.exited && child.exitCode == 0);
    EXPECT_EQ(child.out, line + out);
    EXPECT_EQ(child.err.substr(0, 38), "ERROR: Format error ! [ParseModInfos]\n");
    EXPECT_NE(ReadWholeFile("program.log").find(line), std::string::npos);
  }
}

}  // namespace
