#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <regex>
#include <utility>

#include "support/misc.h"
#include "testkit.h"

namespace {

// The banner: four line ends, the asctime-style local time with its own line end, a blank, two line ends.
const std::string kBanner =
    "\n\n\n\n BEG LOGIN AT (Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "[ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n \n\n";

TEST(Log, BannerOpensEachRunAndOnlyItsFirstLine) {
  ScopedTempDir dir;
  for (int run = 0; run < 2; run++) {
    ChildResult child = RunChild([run] {
      LogPrint("\n PROGRAM: -- DEBUG: first %i", run);
      LogPrint("\n PROGRAM: -- DEBUG: second %s", "line");
    });
    ASSERT_EQ(child.exitCode, 99);
  }
  std::regex twoRuns(kBanner + "\n PROGRAM: -- DEBUG: first 0\n PROGRAM: -- DEBUG: second line" + kBanner +
                     "\n PROGRAM: -- DEBUG: first 1\n PROGRAM: -- DEBUG: second line");
  std::string log = ReadWholeFile("program.log");
  EXPECT_TRUE(std::regex_match(log, twoRuns)) << log;
}

TEST(Log, TextIsDroppedWhileTheFileCannotBeOpenedAndTheBannerWaits) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    mkdir("program.log", 0700);  // a folder in the way: opening the file fails
    LogPrint("\nlost");
    rmdir("program.log");
    LogPrint("\nkept");
  });
  ASSERT_EQ(child.exitCode, 99);
  std::string log = ReadWholeFile("program.log");
  EXPECT_EQ(log.find("lost"), std::string::npos);
  EXPECT_EQ(log.rfind("\n\n\n\n BEG LOGIN AT ", 0), 0u) << log;
  EXPECT_EQ(log.substr(log.size() - 5), "\nkept");
}

void CallbackA() { printf("[A]"); }
void CallbackB() { printf("[B]"); }
void CallbackC() { printf("[C]"); }

TEST(FatalError, LogsShowsRunsCallbacksInOrderAndExitsWithZero) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    AddShutdownCallback(CallbackA);
    AddShutdownCallback(nullptr);
    AddShutdownCallback(CallbackB);
    AddShutdownCallback(CallbackC);
    RemoveShutdownCallback(CallbackB);
    FatalError(28, "demo", "Format error ! [ParseModInfos]");
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] [A][C]");
  EXPECT_EQ(child.err, "ERROR: Format error ! [ParseModInfos]\n");
  std::string log = ReadWholeFile("program.log");
  std::string line = "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] ";
  ASSERT_GE(log.size(), line.size());
  EXPECT_EQ(log.substr(log.size() - line.size()), line);
}

void FailingCallback() {
  printf("[F]");
  FatalError(7, "gldriver", "inner !");
}

TEST(FatalError, ErrorInsideACallbackRunsEachRemainingCallbackOnce) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    AddShutdownCallback(CallbackA);
    AddShutdownCallback(FailingCallback);
    AddShutdownCallback(CallbackC);
    FatalError(1, "winmain", "outer !");
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out,
            "\n PROGRAM: -- ERROR: at winmain 1 : outer ! [A][F]"
            "\n PROGRAM: -- ERROR: at gldriver 7 : inner ! [C]");
}

template <int N>
void Numbered() {
  printf("%i,", N);
}

template <int... N>
void AddNumbered(std::integer_sequence<int, N...>) {
  (AddShutdownCallback(Numbered<N>), ...);
}

TEST(FatalError, CallbacksPastTheHundredAndTwentyEighthAreIgnored) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    AddNumbered(std::make_integer_sequence<int, 130>());
    FatalError(1, "misc", "full !");
  });
  std::string expected = "\n PROGRAM: -- ERROR: at misc 1 : full ! ";
  for (int i = 0; i < 128; i++) expected += std::to_string(i) + ",";
  EXPECT_EQ(child.out, expected);
}

}  // namespace
