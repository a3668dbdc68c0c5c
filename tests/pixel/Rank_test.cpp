#include <gtest/gtest.h>

#include <algorithm>

#include "pixel/Rank.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The filter as written down: gather the window with its replacements, sort, pick.
void RefRank(TBitmap& dst, const TBitmap& src, uint8_t mode, TRect r, int threshold, int radius) {
  r = TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
  r = IntersectRect(r, TRect{0, 0, src.Width(), src.Height()});
  if (threshold < 0 || threshold > 255 || r.IsEmpty()) return;
  const int R = radius <= 1 ? 1 : (radius == 2 ? 2 : 3);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      for (int c = 0; c < 3; ++c) {
        const int v = Px(src, x, y)[c];
        if (v < threshold) {
          Px(dst, x, y)[c] = uint8_t(v);
          continue;
        }
        uint8_t win[49];
        int n = 0;
        for (int dy = -R; dy <= R; ++dy)
          for (int dx = -R; dx <= R; ++dx) {
            const int yy = (y + dy >= r.Top && y + dy < r.Bottom) ? y + dy : y;
            const int xx = (x + dx >= r.Left && x + dx < r.Right) ? x + dx : x;
            win[n++] = Px(src, xx, yy)[c];
          }
        std::sort(win, win + n);
        Px(dst, x, y)[c] = mode == 0 ? win[0] : mode == 1 ? win[n - 1] : win[n / 2];
      }
}

// A picture with flat areas and few levels, where ties are common.
TBitmap FewLevels(int w, int h, uint32_t seed) {
  TBitmap b = RandomBitmap(w, h, seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) b.ScanLine(y)[x] = uint8_t((b.ScanLine(y)[x] / 64) * 85);
  return b;
}

}  // namespace

TEST(ApplyRankFilter, MatchesTheReferenceOnRandomBitmapsRectsAndThreadCounts) {
  Rng rng(99);
  for (int iter = 0; iter < 120; ++iter) {
    const int w = rng.Int(1, iter % 10 == 0 ? 700 : 40), h = rng.Int(1, 25);
    TBitmap src = iter % 3 == 0 ? FewLevels(w, h, uint32_t(iter)) : RandomBitmap(w, h, uint32_t(iter));
    const TBitmap canvas = RandomBitmap(w, h, uint32_t(iter + 1000));
    const TRect r = RandomRect(rng, w, h);
    const TRankMode mode = TRankMode(rng.Int(0, 3) == 3 ? rng.Int(2, 255) : rng.Int(0, 2));
    const int radius = rng.Int(-1, 5);
    const int threshold = rng.Chance(60) ? 0 : rng.Int(-1, 256);
    TBitmap expected = canvas.Clone();
    RefRank(expected, src, mode, r, threshold, radius);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap dst = canvas.Clone();
      ApplyRankFilter(dst, src, mode, r, threshold, radius);
      ASSERT_TRUE(SameBitmaps(dst, expected))
          << "iteration " << iter << " mode " << int(mode) << " radius " << radius << " threshold " << threshold
          << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(ApplyRankFilter, LargeBitmapsAgreeAcrossThreadsAndInPlace) {
  // wide enough for several chunks of a row, tall enough for thread bands
  const TBitmap src = RandomBitmap(1100, 60, 4);
  const TRect r{1, 2, 1099, 59};
  for (TRankMode mode : {rkMinimum, rkMaximum, rkMedian})
    for (int radius : {1, 2, 3}) {
      TBitmap expected = src.Clone();
      RefRank(expected, src, mode, r, 30, radius);
      for (int threads : {1, 8}) {
        SetEngineThreads(threads);
        TBitmap dst = src.Clone();
        TBitmap s = src.Clone();
        ApplyRankFilter(dst, s, mode, r, 30, radius);
        EXPECT_TRUE(SameBitmaps(dst, expected)) << int(mode) << " " << radius << " " << threads;
      }
      SetEngineThreads(0);
      // in place: the windows read the picture as it was
      TBitmap self = src.Clone();
      ApplyRankFilter(self, self, mode, r, 30, radius);
      EXPECT_TRUE(SameBitmaps(self, expected)) << int(mode) << " " << radius;
    }
}

TEST(ApplyRankFilter, EdgeCases) {
  TBitmap src = RandomBitmap(9, 7, 12);
  // thresholds outside 0..255 leave the destination untouched, not even resized
  for (int t : {-1, 256}) {
    TBitmap dst(2, 2, pf8bit, clWhite);
    ApplyRankFilter(dst, src, rkMedian, UnboundedRect, t, 1);
    EXPECT_EQ(dst.Width(), 2);
    EXPECT_EQ(dst.PixelFormat(), pf8bit);
  }
  // threshold 255 filters only the channels at 255
  TBitmap flat(5, 5, pf24bit, RGB(255, 10, 255));
  flat.SetPixel(2, 2, RGB(0, 200, 0));
  TBitmap out;
  ApplyRankFilter(out, flat, rkMinimum, UnboundedRect, 255, 1);
  EXPECT_EQ(out.GetPixel(1, 1), RGB(0, 10, 0));
  EXPECT_EQ(out.GetPixel(2, 2), RGB(0, 200, 0));
  EXPECT_EQ(out.GetPixel(4, 4), RGB(255, 10, 255));
  // a one-pixel rect returns the source pixel
  for (TRankMode mode : {rkMinimum, rkMaximum, rkMedian}) {
    TBitmap d(9, 7, pf24bit, clBlack);
    ApplyRankFilter(d, src, mode, TRect{4, 3, 5, 4}, 0, 3);
    EXPECT_EQ(d.GetPixel(4, 3), src.GetPixel(4, 3));
    EXPECT_EQ(d.GetPixel(3, 3), clBlack);
  }
  // mode 5 is the median, radius 0 is 1 and radius 10 is 3
  auto run = [&](int mode, int radius) {
    TBitmap d;
    ApplyRankFilter(d, src, TRankMode(mode), UnboundedRect, 0, radius);
    return d;
  };
  EXPECT_TRUE(SameBitmaps(run(5, 2), run(2, 2)));
  EXPECT_TRUE(SameBitmaps(run(2, 0), run(2, 1)));
  EXPECT_TRUE(SameBitmaps(run(1, 10), run(1, 3)));
  // On the top row with radius 2, the two missing rows above are the top row itself:
  // a bright top row keeps its maximum even though row 1 is darker.
  TBitmap stripes(6, 5, pf24bit, RGB(10, 10, 10));
  stripes.FillRect(TRect{0, 0, 6, 1}, RGB(200, 200, 200));
  TBitmap med;
  ApplyRankFilter(med, stripes, rkMedian, UnboundedRect, 0, 2);
  EXPECT_EQ(med.GetPixel(3, 0), RGB(200, 200, 200));  // 15 of 25 values are the top row
  EXPECT_EQ(med.GetPixel(3, 1), RGB(10, 10, 10));
}

// The dialog's choices: "Faible", "Moyen", "Elevé" are the radii 1, 2, 3; a threshold or
// a choice outside its range does nothing.
TEST(RankFilter, TheDialogsChoices) {
  const TBitmap src = FewLevels(37, 23, 9);
  TBitmap source = src.Clone();
  const TRect r{2, 3, 33, 20};
  for (TRankMode mode : {rkMinimum, rkMaximum, rkMedian})
    for (int choice = 0; choice < 3; ++choice)
      for (int threshold : {0, 90, 254}) {
        TBitmap ours = src.Clone(), reference = src.Clone();
        RankFilter(ours, source, mode, {choice, threshold}, r);
        RefRank(reference, src, mode, r, threshold, choice + 1);
        ASSERT_TRUE(SameBitmaps(ours, reference)) << int(mode) << " " << choice << " " << threshold;
      }
  for (TRankFilterParams outside : {TRankFilterParams{3, 0}, TRankFilterParams{-1, 0}, TRankFilterParams{0, 256}}) {
    TBitmap b = src.Clone();
    RankFilter(b, source, rkMaximum, outside, UnboundedRect);
    EXPECT_TRUE(SameBitmaps(b, src));
  }
}
