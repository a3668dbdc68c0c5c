#include <gtest/gtest.h>

#include <algorithm>

#include "pixel/Thumbnail.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The reduction as documented, one output pixel at a time.
void NaiveReduce(const TBitmap& src, TRect r, TBitmap& dst, int rowsPerPixel, TColor key, TBitmap* keyMask) {
  const int W = r.Width(), H = r.Height(), w = dst.Width(), h = dst.Height();
  if (keyMask) *keyMask = TBitmap(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y) {
    const int top = y * H / h, band = (y + 1) * H / h - top, n = std::min(rowsPerPixel, band);
    for (int x = 0; x < w; ++x) {
      const int left = x * W / w, right = (x + 1) * W / w;
      long sum[3] = {0, 0, 0}, read = 0, counted = 0;
      for (int k = 0; k < n; ++k) {
        const int sy = r.Top + top + (2 * k + 1) * band / (2 * n);
        for (int sx = r.Left + left; sx < r.Left + right; ++sx) {
          ++read;
          if (key != clNone && src.GetPixel(sx, sy) == key) continue;
          ++counted;
          for (int c = 0; c < 3; ++c) sum[c] += Px(src, sx, sy)[c];
        }
      }
      const uint8_t keyBytes[3] = {GetBValue(key), GetGValue(key), GetRValue(key)};
      uint8_t* d = Px(dst, x, y);
      for (int c = 0; c < 3; ++c) d[c] = counted ? uint8_t((sum[c] + counted / 2) / counted) : keyBytes[c];
      if (keyMask) {
        const uint8_t v = uint8_t((255 * (read - counted) + read / 2) / read);
        std::fill_n(Px(*keyMask, x, y), 3, v);
      }
    }
  }
}

}  // namespace

TEST(ReduceForThumbnail, MatchesTheNaiveReductionForAnySizeRectAndKey) {
  Rng rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    const int W = rng.Int(1, 90), H = rng.Int(1, 90);
    TBitmap src = RandomBitmap(W, H, 100 + uint32_t(trial));
    const TColor key = trial % 3 == 0 ? clNone : src.GetPixel(rng.Int(0, W - 1), rng.Int(0, H - 1));
    if (key != clNone) {  // enough key pixels for whole blocks of them
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          if (rng.Chance(40)) src.SetPixel(x, y, key);
    }
    TRect r{rng.Int(0, W - 1), rng.Int(0, H - 1), W, H};
    if (trial % 4 == 0) r = TRect{0, 0, W, H};
    const int w = rng.Int(1, r.Width()), h = rng.Int(1, r.Height()), rows = rng.Int(1, 4);
    SetEngineThreads(trial % 2 ? 1 : 8);
    TBitmap got(w, h, pf24bit, clWhite), want(w, h, pf24bit, clWhite), gotMask, wantMask;
    ReduceForThumbnail(src, r, got, rows, key, &gotMask);
    NaiveReduce(src, r, want, rows, key, key == clNone ? nullptr : &wantMask);
    ASSERT_TRUE(SameBitmaps(got, want)) << "trial " << trial;
    if (key != clNone) ASSERT_TRUE(SameBitmaps(gotMask, wantMask)) << "trial " << trial;
  }
  SetEngineThreads(0);
}

TEST(ReduceForThumbnail, RefusesWhatItCannotReduce) {
  const TBitmap src = RandomBitmap(20, 10, 1);
  struct Case {
    int w, h, rows;
    TRect rect;
    TPixelFormat pf;
  } cases[] = {
      {21, 5, 1, {0, 0, 20, 10}, pf24bit},   // wider than the source
      {8, 8, 1, {0, 0, 20, 7}, pf24bit},     // higher than the rect
      {8, 8, 0, {0, 0, 20, 10}, pf24bit},    // no row to read
      {8, 8, 1, {30, 0, 40, 10}, pf24bit},   // a rect outside
      {8, 8, 1, {0, 0, 20, 10}, pf32bit},    // not 24-bit
  };
  for (const Case& c : cases) {
    TBitmap dst(c.w, c.h, c.pf, clWhite);
    const TBitmap ref = dst.Clone();
    ReduceForThumbnail(src, c.rect, dst, c.rows);
    EXPECT_TRUE(SameBitmaps(dst, ref));
  }
  // with rows enough for whole blocks it is the plain block average
  TBitmap flat(10, 10, pf24bit, RGB(10, 20, 30)), out(5, 5, pf24bit, clBlack);
  flat.SetPixel(0, 0, RGB(14, 24, 34));
  ReduceForThumbnail(flat, UnboundedRect, out, 2);
  EXPECT_EQ(out.GetPixel(0, 0), RGB(11, 21, 31));
  EXPECT_EQ(out.GetPixel(4, 4), RGB(10, 20, 30));
}
