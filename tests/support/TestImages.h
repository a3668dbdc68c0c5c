#pragma once
// Bitmaps, rectangles and comparisons shared by the test programs.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/core/Bitmap.h"

namespace qm::test {

// A small deterministic generator for test inputs.
class Rng {
 public:
  explicit Rng(uint32_t seed) : gen_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen_); }
  bool Chance(int percent) { return Int(0, 99) < percent; }
  std::mt19937& Gen() { return gen_; }

 private:
  std::mt19937 gen_;
};

// Random pixels (for 32 bits, random alpha too).
TBitmap RandomBitmap(int w, int h, uint32_t seed, TPixelFormat pf = pf24bit);
// A grey 24-bit mask with runs of 0 and 255 among random levels.
TBitmap RandomMask(int w, int h, uint32_t seed);
// A rectangle around a w x h bitmap that may be reversed, empty, partly or wholly
// outside, or the unbounded rectangle.
TRect RandomRect(Rng& rng, int w, int h);

// Equal size, format and visible pixel bytes; on failure says where they first differ.
::testing::AssertionResult SameBitmaps(const TBitmap& a, const TBitmap& b);
// Pixels outside r are equal in a and b (r may be partly outside).
::testing::AssertionResult SameOutside(const TBitmap& a, const TBitmap& b, const TRect& r);
// A hash of the visible bytes of each row.
uint64_t Checksum(const TBitmap& bmp);

inline const uint8_t* Px(const TBitmap& b, int x, int y) { return b.ScanLine(y) + 3 * x; }
inline uint8_t* Px(TBitmap& b, int x, int y) { return b.ScanLine(y) + 3 * x; }

}  // namespace qm::test
