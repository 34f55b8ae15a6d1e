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

TEST(TrackedAlloc, EachUseLogsWhatItShould) {
  // An overrun of 1 to 4 bytes stays inside the guard's slack; 5 to 8 reach the guard.
  auto overrun = [](int bytes) {
    return [bytes] {
      unsigned char *p = (unsigned char *)TrackedAlloc(10, 1, "efx1");
      p[10 + bytes - 1] = 0x12;
      TrackedFree(p, 77, "efx1");
      if (AllocTotal() != 0) _exit(1);  // released all the same
    };
  };
  const std::string kOverload = "\n PROGRAM: -- DEBUG: TabOVERLOAD at efx1 77 [ptrsize: 10 ]";
  const struct {
    const char *what;
    std::function<void()> body;
    std::string log;
  } cases[] = {
      {"zero size gives null",
       [] {
         void *p = TrackedAlloc(0, 12, "demo");
         if (p) _exit(1);
         TrackedFree(p, 13, "demo");
       },
       "\n PROGRAM: -- DEBUG: malloc(0) at demo 12 \n PROGRAM: -- DEBUG: free(0) at demo 13 "},
      {"large block, zero-filled and usable",
       [] {
         unsigned char *p = (unsigned char *)TrackedAlloc(2 * 1048576, 5, "gldriver");
         for (size_t i = 0; i < 2 * 1048576; i++)
           if (p[i]) _exit(1);
         memset(p, 0xAB, 2 * 1048576);
         TrackedFree(p, 6, "gldriver");
       },
       "\n PROGRAM: -- DEBUG: LARGE_BLOCK at gldriver 5 -- size 2097152"},
      {"one mebibyte is not large", [] { TrackedFree(TrackedAlloc(1048576, 1, "x"), 2, "x"); }, ""},
      {"second free",
       [] {
         void *p = TrackedAlloc(16, 1, "extr");
         TrackedFree(p, 2, "extr");
         TrackedFree(p, 3, "extr");
       },
       "\n PROGRAM: -- DEBUG: free(BadPointer) at extr 3 "},
      {"overrun 1", overrun(1), ""}, {"overrun 4", overrun(4), ""},
      {"overrun 5", overrun(5), kOverload}, {"overrun 8", overrun(8), kOverload},
  };
  for (const auto &c : cases) EXPECT_EQ(LogOf(c.body), c.log) << c.what;
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
