#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <regex>
#include <utility>

#include "support/misc.h"
#include "testkit.h"

namespace {

TEST(Log, BannerOpensEachRunAndTextIsDroppedWhileTheFileCannotBeOpened) {
  ScopedTempDir dir;
  for (int run = 0; run < 2; run++)
    ASSERT_EQ(RunChild([run] {
                if (run) rename("program.log", "kept"), mkdir("program.log", 0700);
                LogPrint("\n PROGRAM: -- DEBUG: first %i", run);  // lost in the second run: a folder is in the way
                if (run) rmdir("program.log"), rename("kept", "program.log");
                LogPrint("\n PROGRAM: -- DEBUG: second %s", "line");
              }).exitCode,
              99);
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

void CallbackA() { printf("[A]"); }
void CallbackC() { printf("[C]"); }
void FailingCallback() {
  printf("[F]");
  FatalError(7, "gldriver", "inner !");
}
template <int N>
void Numbered() {
  printf("%i,", N);
}
template <int... N>
void AddNumbered(std::integer_sequence<int, N...>) {
  (AddShutdownCallback(Numbered<N>), ...);
}

TEST(FatalError, LogsShowsRunsEachCallbackOnceInOrderAndExitsWithZero) {
  std::string numbers;
  for (int i = 0; i < 128; i++) numbers += std::to_string(i) + ",";
  const struct {
    std::function<void()> body;
    std::string out;
  } cases[] = {
      {[] {
         for (void (*callback)() : {CallbackA, (void (*)()) nullptr, FailingCallback, CallbackC})
           AddShutdownCallback(callback);
         RemoveShutdownCallback(FailingCallback);
         FatalError(28, "demo", "Format error ! [ParseModInfos]");
       },
       "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] [A][C]"},
      // An error inside a callback runs each remaining callback once.
      {[] {
         for (void (*callback)() : {CallbackA, FailingCallback, CallbackC}) AddShutdownCallback(callback);
         FatalError(28, "demo", "Format error ! [ParseModInfos]");
       },
       "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] [A][F]\n PROGRAM: -- ERROR: at gldriver 7 : "
       "inner ! [C]"},
      // Callbacks past the 128th are ignored.
      {[] {
         AddNumbered(std::make_integer_sequence<int, 130>());
         FatalError(28, "demo", "Format error ! [ParseModInfos]");
       },
       "\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] " + numbers},
  };
  for (const auto &c : cases) {
    ScopedTempDir dir;
    ChildResult child = RunChild(c.body);
    EXPECT_TRUE(child.exited && child.exitCode == 0);
    EXPECT_EQ(child.out, c.out);
    EXPECT_EQ(child.err.substr(0, 38), "ERROR: Format error ! [ParseModInfos]\n");
    const std::string log = ReadWholeFile("program.log");
    EXPECT_NE(log.find("\n PROGRAM: -- ERROR: at demo 28 : Format error ! [ParseModInfos] "), std::string::npos) << log;
  }
}

}  // namespace
