#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "qelutil/qelutil.h"

namespace {

std::string Elapsed(uint32_t ms) {
  char buf[32];
  return GetElapsedTime(buf, ms);
}

TEST(GetElapsedTime, EachRangeAndItsPlurals) {
  EXPECT_EQ(Elapsed(0), "0 milliseconds");
  EXPECT_EQ(Elapsed(1), "1 millisecond");
  EXPECT_EQ(Elapsed(999), "999 milliseconds");
  EXPECT_EQ(Elapsed(1000), "1 second");
  EXPECT_EQ(Elapsed(59999), "59 seconds");
  EXPECT_EQ(Elapsed(61000), "1 minute 1 second");
  EXPECT_EQ(Elapsed(125000), "2 minutes 5 seconds");
  EXPECT_EQ(Elapsed(3599999), "59 minutes 59 seconds");
  EXPECT_EQ(Elapsed(3723000), "1 hour 2 minutes");
  EXPECT_EQ(Elapsed(7200000), "2 hours 0 minutes");
  EXPECT_EQ(Elapsed(3660000), "1 hour 1 minute");
  EXPECT_EQ(Elapsed(UINT32_MAX), "1193 hours 2 minutes");
}

TEST(MakeFrameRate, AllThreeForms) {
  EXPECT_EQ(MakeFrameRate(0), 0);
  EXPECT_EQ(MakeFrameRate(15), 6666);
  EXPECT_EQ(MakeFrameRate(-100), 10000);
  EXPECT_EQ(MakeFrameRate(-1500), 150000);
  EXPECT_EQ(MakeFrameRate(-1501), 1501);
  EXPECT_EQ(MakeFrameRate(-2000), 2000);
  EXPECT_EQ(MakeFrameRate(30000), 5);
  EXPECT_EQ(MakeFrameRate(1), 100000);
  EXPECT_EQ(MakeFrameRate(INT32_MAX), 5);
  EXPECT_EQ(MakeFrameRate(INT32_MIN), INT32_MAX);
  EXPECT_EQ(MakeFrameRate(-1), 100);
}

}  // namespace
