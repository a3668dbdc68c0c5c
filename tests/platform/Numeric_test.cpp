#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/core/Numeric.h"
#include "platform/core/Random.h"

using namespace qm;

TEST(Numeric, RoundHalfEvenTiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(-2.5001), -3);
}

TEST(Numeric, ConversionsSaturateInsteadOfOverflowing) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Trunc(1e300), INT32_MAX);
  EXPECT_EQ(Trunc(-inf), INT32_MIN);
  EXPECT_EQ(Trunc(nan), 0);
  EXPECT_EQ(RoundHalfEven(inf), INT32_MAX);
  EXPECT_EQ(RoundHalfEven(nan), 0);
  EXPECT_EQ(Ceil(1e20), INT32_MAX);
  EXPECT_EQ(Trunc(-2.9), -2);
  EXPECT_EQ(Floor(-2.1), -3);
}

TEST(Numeric, ModFloorIsNeverNegative) {
  EXPECT_EQ(ModFloor(-1, 5), 4);
  EXPECT_EQ(ModFloor(-5, 5), 0);
  EXPECT_EQ(ModFloor(-6, 5), 4);
  EXPECT_EQ(ModFloor(7, 5), 2);
  EXPECT_EQ(DivFloor(-1, 5), -1);
  EXPECT_EQ(DivFloor(-5, 5), -1);
  EXPECT_EQ(DivFloor(4, 5), 0);
}

// A jump of n draws lands where n draws one after the other do.
TEST(Random, JumpsLandWhereTheDrawsWould) {
  for (uint64_t n : {0ull, 1ull, 2ull, 7ull, 8ull, 1000ull, 65537ull}) {
    RandSeed(99);
    const uint32_t from = GetRandSeed();
    for (uint64_t i = 0; i < n; ++i) Random(5);
    EXPECT_EQ(TRandomJump(n)(from), GetRandSeed()) << n;
    const int32_t predicted = RandomFromState(TRandomJump(1)(GetRandSeed()), 1000);
    EXPECT_EQ(Random(1000), predicted) << n;
  }
}

TEST(Random, SeededSequencesRepeatAndStayInRange) {
  RandSeed(1234);
  int first[50];
  for (int& v : first) v = Random(7);
  RandSeed(1234);
  for (int v : first) EXPECT_EQ(Random(7), v);
  int seen[7] = {};
  for (int i = 0; i < 7000; ++i) {
    int v = Random(7);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 7);
    ++seen[v];
  }
  for (int c : seen) EXPECT_GT(c, 800);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-3), 0);
  double f = RandomFloat();
  EXPECT_GE(f, 0.0);
  EXPECT_LT(f, 1.0);
}

TEST(Numeric, IntDistanceIsTheExactFlooredRoot) {
  for (int64_t d = 0; d <= 100000; ++d) {
    ASSERT_EQ(IntDistance(0, 0, int32_t(d), 0), d);
    const int64_t v = d * d + d;  // just below (d + 1)^2
    ASSERT_EQ(ISqrt(v), d);
    ASSERT_EQ(ISqrt(v + d + 1), d + 1);
  }
  EXPECT_EQ(IntDistance(0, 0, 3000, 0), 3000);
  EXPECT_EQ(IntDistance(0, 0, 6000, 0), 6000);
  EXPECT_EQ(IntDistance(10, 10, 13, 14), 5);
  EXPECT_EQ(IntDistance(-5, -5, 5, 5), 14);  // sqrt(200) = 14.14
  EXPECT_EQ(IntDistance(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), INT32_MAX);
  EXPECT_EQ(IntDistance(-1000000000, 0, 1000000000, 0), 2000000000);
  // The top of the range, where the square of the next root overflows.
  EXPECT_EQ(ISqrt(INT64_MAX), 3037000499);
  EXPECT_EQ(ISqrt(int64_t(3037000499) * 3037000499), 3037000499);
  EXPECT_EQ(ISqrt(int64_t(3037000499) * 3037000499 - 1), 3037000498);
}
