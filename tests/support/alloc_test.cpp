#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/misc.h"
#include "testkit.h"

namespace {

// Everything logged by `body` in a fresh process, without the banner.
std::string LogOf(const std::function<void()> &body) {
  ScopedTempDir dir;
  ChildResult child = RunChild(body);
  EXPECT_EQ(child.exitCode, 99) << child.out << child.err;
  std::string log = ReadWholeFile("program.log");
  size_t end = log.find(" \n\n");
  return end == std::string::npos ? log : log.substr(end + 3);
}

TEST(TrackedAlloc, ZeroSizeGivesNullAndBothZeroCallsAreLogged) {
  std::string log = LogOf([] {
    void *p = TrackedAlloc(0, 12, "demo");
    if (p) _exit(1);
    TrackedFree(p, 13, "demo");
  });
  EXPECT_EQ(log, "\n PROGRAM: -- DEBUG: malloc(0) at demo 12 \n PROGRAM: -- DEBUG: free(0) at demo 13 ");
}

TEST(TrackedAlloc, LargeBlockIsLoggedAndUsable) {
  std::string log = LogOf([] {
    unsigned char *p = (unsigned char *)TrackedAlloc(2 * 1048576, 5, "gldriver");
    for (size_t i = 0; i < 2 * 1048576; i++)
      if (p[i]) _exit(1);
    memset(p, 0xAB, 2 * 1048576);
    TrackedFree(p, 6, "gldriver");
  });
  EXPECT_EQ(log, "\n PROGRAM: -- DEBUG: LARGE_BLOCK at gldriver 5 -- size 2097152");
}

TEST(TrackedAlloc, OneMebibyteIsNotLarge) {
  EXPECT_EQ(LogOf([] { TrackedFree(TrackedAlloc(1048576, 1, "x"), 2, "x"); }), "");
}

TEST(TrackedFree, SecondFreeOfABlockIsABadPointer) {
  std::string log = LogOf([] {
    void *p = TrackedAlloc(16, 1, "extr");
    TrackedFree(p, 2, "extr");
    TrackedFree(p, 3, "extr");
  });
  EXPECT_EQ(log, "\n PROGRAM: -- DEBUG: free(BadPointer) at extr 3 ");
}

TEST(TrackedFree, OverrunOfFiveToEightBytesIsReportedOneToFourIsNot) {
  for (int overrun = 1; overrun <= 8; overrun++) {
    std::string log = LogOf([overrun] {
      unsigned char *p = (unsigned char *)TrackedAlloc(10, 1, "efx1");
      p[10 + overrun - 1] = 0x12;
      TrackedFree(p, 77, "efx1");
      // The block is released all the same.
      if (AllocTotal() != 0) _exit(1);
    });
    if (overrun <= 4)
      EXPECT_EQ(log, "") << overrun;
    else
      EXPECT_EQ(log, "\n PROGRAM: -- DEBUG: TabOVERLOAD at efx1 77 [ptrsize: 10 ]") << overrun;
  }
}

TEST(AllocReport, ListsLiveBlocksInTableOrderWithNamesCutTo63) {
  std::string longName(100, 'n');
  std::string log = LogOf([&longName] {
    void *first = TrackedAlloc(1, 10, "demo");
    void *second = TrackedAlloc(2, 20, "extr");
    void *third = TrackedAlloc(3, 30, longName.c_str());
    TrackedFree(second, 0, "t");
    // The freed entry is the first free one again: the next block takes its place in the table.
    void *fourth = TrackedAlloc(4, 40, "winmain");
    if (AllocTotal() != 1 + 3 + 4) _exit(1);
    AllocReport();
    (void)first, (void)third, (void)fourth;
  });
  EXPECT_EQ(log,
            "\n PROGRAM: -- DEBUG: Alloc Raport: "
            "\n PROGRAM: -- DEBUG: Pointer at demo 10 - still allocated !"
            "\n PROGRAM: -- DEBUG: Pointer at winmain 40 - still allocated !"
            "\n PROGRAM: -- DEBUG: Pointer at " +
                std::string(63, 'n') +
                " 30 - still allocated !"
                "\n PROGRAM: -- DEBUG: End of alloc raport.");
}

TEST(TrackedAlloc, TableExhaustionIsFatal) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] {
    for (int i = 0; i < 32000; i++) TrackedAlloc(1, i, "misc");
    if (AllocTotal() != 32000) _exit(1);
    TrackedAlloc(1, 32000, "misc");
  });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "\n PROGRAM: -- ERROR: at misc 140 : DEBUG: __MAX_ALLOCS__ error ! ");
  EXPECT_EQ(child.err, "ERROR: DEBUG: __MAX_ALLOCS__ error !\n");
}

TEST(TrackedAlloc, SizeBeyondThirtyTwoBitsIsOutOfMemory) {
  ScopedTempDir dir;
  ChildResult child = RunChild([] { TrackedAlloc((size_t)1 << 33, 1, "gifload"); });
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.out, "\n PROGRAM: -- ERROR: at misc 118 : Out Of Memory ! ");
}

struct Tracked {
  TRACKED_ALLOCATION
  int Value = 7;
};

TEST(TrackedAllocation, ClassOperatorsRecordTheCallerAndLogTheArrayForms) {
  std::string log = LogOf([] {
    Tracked *one = new (123, "winmain") Tracked;
    if (one->Value != 7 || AllocTotal() != (int64_t)sizeof(Tracked)) _exit(1);
    AllocReport();
    delete one;
    Tracked *many = new Tracked[3];
    delete[] many;
    Tracked *placed = new (nullptr, 9, "demo") Tracked;
    delete placed;
    AllocReport();
  });
  EXPECT_EQ(log,
            "\n PROGRAM: -- DEBUG: Alloc Raport: "
            "\n PROGRAM: -- DEBUG: Pointer at winmain 123 - still allocated !"
            "\n PROGRAM: -- DEBUG: End of alloc raport."
            "\n PROGRAM: -- DEBUG: Call to new[](size_t) !"
            "\n PROGRAM: -- DEBUG: call to delete[](void *) !"
            "\n PROGRAM: -- DEBUG: Call to new(size_t, void *) !"
            "\n PROGRAM: -- DEBUG: Alloc Raport: "
            "\n PROGRAM: -- DEBUG: End of alloc raport.");
}

}  // namespace
