#include <gtest/gtest.h>

#include <vector>

#include "pixel/Planes.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint8_t> RandomBytes(Rng& rng, int n, int levels = 256) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  for (uint8_t& b : v) b = uint8_t(rng.Int(0, levels - 1));
  return v;
}

}  // namespace

// Every length around the 64-pixel blocks, against the plain loops; the bytes just
// beyond the row stay untouched.
TEST(Planes, MatchThePlainLoopsForEveryLength) {
  Rng rng(3);
  for (int n : {0, 1, 5, 63, 64, 65, 127, 128, 130, 191, 200, 6000}) {
    const std::vector<uint8_t> row = RandomBytes(rng, 3 * n + 3);
    for (int k = 0; k < 3; ++k) {
      std::vector<uint8_t> got(size_t(n) + 1, 7);
      ChannelPlane(row.data(), n, k, got.data());
      for (int i = 0; i < n; ++i) ASSERT_EQ(got[size_t(i)], row[size_t(3 * i + k)]) << n << " " << k << " " << i;
      EXPECT_EQ(got[size_t(n)], 7);
    }
    const std::vector<uint8_t> values = RandomBytes(rng, n + 1), flags = RandomBytes(rng, n + 1, 3);
    std::vector<uint8_t> spread = row, where = row;
    SpreadPlane(values.data(), n, spread.data());
    SpreadValueWhere(flags.data(), n, 201, where.data());
    for (int i = 0; i < n; ++i)
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(spread[size_t(3 * i + c)], values[size_t(i)]) << n << " " << i;
        ASSERT_EQ(where[size_t(3 * i + c)], flags[size_t(i)] ? 201 : row[size_t(3 * i + c)]) << n << " " << i;
      }
    for (int b = 3 * n; b < 3 * n + 3; ++b) EXPECT_EQ(spread[size_t(b)], row[size_t(b)]);
    for (int b = 3 * n; b < 3 * n + 3; ++b) EXPECT_EQ(where[size_t(b)], row[size_t(b)]);
    // A grey row stays grey until one byte of any pixel differs.
    std::vector<uint8_t> grey(size_t(3 * n));
    SpreadPlane(values.data(), n, grey.data());
    EXPECT_TRUE(IsGreyRow(grey.data(), n));
    for (int i : {0, n / 2, n - 1}) {
      if (i < 0 || n == 0) continue;
      for (int c = 0; c < 3; ++c) {
        std::vector<uint8_t> off = grey;
        off[size_t(3 * i + c)] ^= 1;
        EXPECT_FALSE(IsGreyRow(off.data(), n)) << n << " " << i << " " << c;
      }
    }
  }
}
