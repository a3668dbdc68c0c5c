#include <gtest/gtest.h>

#include <cstdint>

#include "platform/core/PageFaulter.h"

using namespace qm;

namespace {

uint8_t Pattern(int y, int i) { return uint8_t(y * 7 + i * 13); }

}  // namespace

TEST(PageFaulter, TheOwnersWritesAreKeptWhateverTheRace) {
  // 18 MB written row by row while the faulter maps the same pages ahead of (or behind)
  // the writes: every byte read back is the owner's.
  TBitmap bmp = TBitmap::Uninitialized(3000, 2000, pf24bit);
  {
    TPageFaulter faulter(bmp);
    for (int y = 0; y < bmp.Height(); ++y) {
      uint8_t* row = bmp.ScanLine(y);
      for (int i = 0; i < int(bmp.Stride()); ++i) row[i] = Pattern(y, i);
    }
  }
  int wrong = 0;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int i = 0; i < int(bmp.Stride()); ++i) wrong += row[i] != Pattern(y, i);
  }
  EXPECT_EQ(wrong, 0);

  // Gone at once (a decoder failing on its first rows): it stops and joins; small
  // buffers and none are left alone.
  { TPageFaulter early(bmp); }
  TBitmap small(10, 10, pf24bit, RGB(200, 10, 10));
  { TPageFaulter none(small); }
  EXPECT_EQ(small.GetPixel(9, 9), RGB(200, 10, 10));
  { TPageFaulter empty(nullptr, size_t(64) << 20); }
}
