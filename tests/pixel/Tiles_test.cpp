#include "pixel/Tiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor clRed = RGB(255, 0, 0), clNavy = RGB(0, 0, 128);

TEST(Tiles, PieceCount) {
  EXPECT_EQ(PieceCount(100, 30), 3);  // remainder 10 is not above 20
  EXPECT_EQ(PieceCount(100, 35), 3);  // remainder 30 is above 23
  EXPECT_EQ(PieceCount(100, 20), 5);
  EXPECT_EQ(PieceCount(10, 30), 1);
  EXPECT_EQ(PieceCount(0, 5), 1);
}

TEST(Tiles, PuzzleEdgePoints) {
  TPoint p[10];
  PuzzleEdgePoints(0, 1, 2, 20.0, 30.0, 5, 7, p);
  EXPECT_EQ(p[0], (TPoint{25, 67}));  // the cell's corner
  EXPECT_EQ(p[2], (TPoint{33, 71}));  // (6, 2): 6 * 20 / 15 + 25, 2 * 30 / 15 + 67
  EXPECT_EQ(p[9], (TPoint{45, 67}));  // the next corner
  PuzzleEdgePoints(3, 0, 0, 15.0, 15.0, 0, 0, p);
  EXPECT_EQ(p[4], (TPoint{-6, 4}));
}

void RefGrid(TBitmap& bmp, int cell, TColor color, TRect rect, bool fit, bool hor, bool ver, bool frame, int t);

// The tiles as written down: each tile's place, then its pixels one at a time.
void RefTiles(const TBitmap& src, TBitmap& dst, int size, TRect rect, bool outline, TColor color, int gap) {
  if (size < 2 || size > 100 || gap < 0 || gap > 20) return;
  ClipRectToBitmap(rect, src);
  if (rect.IsEmpty()) return;
  dst.FillRect(rect, color);
  for (int y = rect.Top; y < rect.Bottom - 1; y += size)
    for (int x = rect.Left; x < rect.Right - 1; x += size) {
      TRect s{x, y, x + size, y + size}, d = s;
      int j = gap / 2 - Random(gap);
      d.Top += j;
      d.Bottom += j;
      if (d.Top < rect.Top) s.Top += rect.Top - d.Top, d.Top = rect.Top;
      if (d.Bottom > rect.Bottom) s.Bottom -= d.Bottom - rect.Bottom, d.Bottom = rect.Bottom;
      j = gap / 2 - Random(gap);
      d.Left += j;
      d.Right += j;
      if (d.Left < rect.Left) s.Left += rect.Left - d.Left, d.Left = rect.Left;
      if (d.Right > rect.Right) s.Right -= d.Right - rect.Right, d.Right = rect.Right;
      for (int py = d.Top; py < d.Bottom; ++py)
        for (int px = d.Left; px < d.Right; ++px) {
          if (!PtInRect(rect, TPoint{px, py})) continue;
          const int sx = px - d.Left + s.Left, sy = py - d.Top + s.Top;
          if (sx >= 0 && sx < src.Width() && sy >= 0 && sy < src.Height()) std::memcpy(Px(dst, px, py), Px(src, sx, sy), 3);
        }
      if (outline)
        for (int py = d.Top; py < d.Bottom; ++py)
          for (int px = d.Left; px < d.Right; ++px)
            if ((py == d.Top || py == d.Bottom - 1 || px == d.Left || px == d.Right - 1) && PtInRect(rect, TPoint{px, py}))
              ColorToPixel24(color, Px(dst, px, py));
    }
}

TEST(Tiles, TilesMatchReference) {
  Rng rng(1);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 70), h = rng.Int(1, 70);
    const TBitmap src = RandomBitmap(w, h, 10 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 20 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int size = rng.Int(1, 20), gap = rng.Int(-1, 21);
    const bool outline = rng.Chance(50);
    TBitmap want = dst0.Clone(), got = dst0.Clone();
    RandSeed(iter);
    RefTiles(src, want, size, r, outline, clRed, gap);
    RandSeed(iter);
    FilterTiles(src, got, size, r, outline, clRed, gap);
    ASSERT_TRUE(SameBitmaps(got, want)) << iter;
  }
}

TEST(Tiles, BandsOnThreadsPaintWhatOnePassPaints) {
  // Large enough to be split into bands, with tiles jittered across every band's edge;
  // the generator must end where the reference leaves it.
  const TBitmap src = RandomBitmap(420, 300, 4), dst0 = RandomBitmap(420, 300, 5);
  const TRect r{7, 3, 411, 297};
  for (auto [size, gap, outline] : {std::tuple{2, 20, true}, {10, 6, true}, {13, 19, false}, {100, 20, true}}) {
    TBitmap want = dst0.Clone();
    RandSeed(77);
    RefTiles(src, want, size, r, outline, clRed, gap);
    const uint32_t after = GetRandSeed();
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap got = dst0.Clone();
      RandSeed(77);
      FilterTiles(src, got, size, r, outline, clRed, gap);
      ASSERT_TRUE(SameBitmaps(got, want)) << size << " " << gap << " threads " << threads;
      ASSERT_EQ(GetRandSeed(), after);
      TBitmap grid = dst0.Clone(), wantGrid = dst0.Clone();
      DrawGridLines(grid, size + 1, clNavy, r, outline, true, true, true, gap / 4 + 1);
      RefGrid(wantGrid, size + 1, clNavy, r, outline, true, true, true, gap / 4 + 1);
      ASSERT_TRUE(SameBitmaps(grid, wantGrid)) << size << " threads " << threads;
    }
    SetEngineThreads(0);
  }
}

TEST(Tiles, TilesWithoutGapStayInPlace) {
  const TBitmap src = RandomBitmap(50, 40, 3);
  TBitmap d;  // takes the source's size
  FilterTiles(src, d, 7, TRect{3, 4, 45, 38}, false, clRed, 0);
  ASSERT_EQ(d.Width(), 50);
  for (int y = 4; y < 38; ++y) EXPECT_EQ(0, std::memcmp(Px(d, 3, y), Px(src, 3, y), 42 * 3));
  // The same source as destination reads a copy.
  TBitmap same = src.Clone();
  FilterTiles(same, same, 7, TRect{3, 4, 45, 38}, true, clRed, 6);
  EXPECT_TRUE(SameOutside(same, src, TRect{3, 4, 45, 38}));
}

// A grid as written down.
void RefGrid(TBitmap& bmp, int cell, TColor color, TRect rect, bool fit, bool hor, bool ver, bool frame, int t) {
  ClipRectToBitmap(rect, bmp);
  const int W = rect.Width(), H = rect.Height();
  if (cell < 1 || t < 1 || rect.IsEmpty() || 2 * cell > W || 2 * cell > H) return;
  auto fill = [&](int x0, int y0, int x1, int y1) { bmp.FillRect(IntersectRect(TRect{x0, y0, x1, y1}, rect), color); };
  if (frame) {
    fill(rect.Left, rect.Top, rect.Right, rect.Top + t);
    fill(rect.Left, rect.Bottom - t, rect.Right, rect.Bottom);
    fill(rect.Left, rect.Top, rect.Left + t, rect.Bottom);
    fill(rect.Right - t, rect.Top, rect.Right, rect.Bottom);
  }
  const double hs = fit ? double(H) / PieceCount(H, cell) : cell, vs = fit ? double(W) / PieceCount(W, cell) : cell;
  for (double p = hs - t / 2; hor && p < H - t; p += hs)
    fill(rect.Left, rect.Top + RoundHalfEven(p), rect.Right, rect.Top + RoundHalfEven(p) + t);
  for (double p = vs - t / 2; ver && p < W - t; p += vs)
    fill(rect.Left + RoundHalfEven(p), rect.Top, rect.Left + RoundHalfEven(p) + t, rect.Bottom);
}

TEST(Tiles, GridMatchesReference) {
  Rng rng(2);
  for (int iter = 0; iter < 80; ++iter) {
    const int w = rng.Int(1, 70), h = rng.Int(1, 70);
    const TBitmap b0 = RandomBitmap(w, h, 30 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int cell = rng.Int(0, 20), t = rng.Int(0, 5);
    const bool fit = rng.Chance(50), hor = rng.Chance(70), ver = rng.Chance(70), frame = rng.Chance(40);
    TBitmap want = b0.Clone(), got = b0.Clone();
    RefGrid(want, cell, clNavy, r, fit, hor, ver, frame, t);
    DrawGridLines(got, cell, clNavy, r, fit, hor, ver, frame, t);
    ASSERT_TRUE(SameBitmaps(got, want)) << iter;
  }
}

TEST(Tiles, GridBands) {
  TBitmap b(120, 110, pf24bit, clWhite);
  DrawGridLines(b, 10, clNavy, TRect{10, 5, 110, 105}, false, true, false, false, 2);
  // Bands start at rows 9, 19, ... 89 of the rect (p = 9 + 10k while p < 98).
  for (int y = 0; y < 110; ++y) {
    const int p = y - 5;
    const bool band = p >= 9 && p <= 90 && (p % 10 == 9 || p % 10 == 0);
    EXPECT_EQ(Pixel24ToColor(Px(b, 50, y)), band ? clNavy : clWhite) << y;
    EXPECT_EQ(Pixel24ToColor(Px(b, 5, y)), clWhite);  // outside the rect
  }
  // A cell above half the rect's side changes nothing.
  TBitmap c(40, 40, pf24bit, clWhite);
  DrawGridLines(c, 21, clNavy, UnboundedRect, false, true, true, true, 1);
  EXPECT_TRUE(SameBitmaps(c, TBitmap(40, 40, pf24bit, clWhite)));
}

// Cells, thicknesses and rects at the ends of the integer range: nothing undefined (the
// sanitizers watch), nothing outside the rect written.
TEST(Tiles, ExtremeParametersStayInBounds) {
  const int kInts[] = {INT32_MIN, -1, 0, 1, 2, 7, 1000000, INT32_MAX};
  const TRect kRects[] = {UnboundedRect, TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, TRect{3, 2, 30, 20}};
  const TBitmap src = RandomBitmap(33, 24, 7);
  for (const TRect& r : kRects) {
    TRect clip = r;
    ClipRectToBitmap(clip, src);
    for (int a : kInts)
      for (int b : {INT32_MIN, 0, 1, 3, INT32_MAX}) {
        TBitmap g = src.Clone();
        DrawGridLines(g, a, clRed, r, b > 0, true, true, true, b);
        DrawGridLines(g, b, clRed, r, a > 0, true, true, a != 0, a);
        EXPECT_TRUE(SameOutside(g, src, clip));
        TBitmap t = src.Clone();
        FilterTiles(src, t, a, r, true, clRed, b);
        EXPECT_TRUE(SameOutside(t, src, clip));
      }
  }
}

}  // namespace
