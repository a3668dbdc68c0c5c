#include "pixel/FloodFill.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <queue>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// Breadth-first fill over the 4-neighbourhood, every pixel tested as described.
int ReferenceFill(TBitmap& bmp, const TBitmap* sel, int x, TBitmap* out, TRect r, int tol, TColor fill, int y) {
  ClipRectToBitmap(r, bmp);
  if (r.IsEmpty() || !PtInRect(r, TPoint{x, y})) return 2;
  if (sel && sel->Empty()) sel = nullptr;
  if (out && out->Empty()) out = nullptr;
  for (const TBitmap* m : {sel, static_cast<const TBitmap*>(out)})
    if (m && (m->Width() != bmp.Width() || m->Height() != bmp.Height())) return -1;
  if (!out && fill == clNone) return 2;
  tol = std::abs(tol);
  const TColor seed = bmp.GetPixel(x, y);
  std::vector<char> seen(size_t(bmp.Width()) * bmp.Height(), 0);
  auto ok = [&](int px, int py) {
    if (!PtInRect(r, TPoint{px, py}) || seen[size_t(py) * bmp.Width() + px]) return false;
    if (!SameColorWithin(tol, bmp.GetPixel(px, py), seed)) return false;
    return !sel || Px(*sel, px, py)[0] < 255;
  };
  if (out) out->FillRect(GetBitmapRect(*out), clWhite);
  std::queue<TPoint> q;
  std::vector<TPoint> region;
  if (ok(x, y)) {
    seen[size_t(y) * bmp.Width() + x] = 1;
    q.push({x, y});
  }
  while (!q.empty()) {
    TPoint p = q.front();
    q.pop();
    region.push_back(p);
    const TPoint next[4] = {{p.X - 1, p.Y}, {p.X + 1, p.Y}, {p.X, p.Y - 1}, {p.X, p.Y + 1}};
    for (TPoint n : next)
      if (ok(n.X, n.Y)) {
        seen[size_t(n.Y) * bmp.Width() + n.X] = 1;
        q.push(n);
      }
  }
  for (TPoint p : region) {
    if (out) out->SetPixel(p.X, p.Y, clBlack);
    else bmp.SetPixel(p.X, p.Y, fill);
  }
  return 2;
}

// Few colours in blobs, so that regions have interesting shapes.
TBitmap Blobs(int w, int h, uint32_t seed, int colors) {
  Rng rng(seed);
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int k = (x > 0 && rng.Chance(70)) ? -1 : rng.Int(0, colors - 1);
      if (k < 0) {
        b.SetPixel(x, y, b.GetPixel(x - 1, y));
      } else if (y > 0 && rng.Chance(50)) {
        b.SetPixel(x, y, b.GetPixel(x, y - 1));
      } else {
        b.SetPixel(x, y, RGB(k * 40, 100 + k * 3, 255 - k * 20));
      }
    }
  return b;
}

}  // namespace

TEST(FloodFill, MatchesTheReferenceOnRandomPictures) {
  Rng rng(3);
  for (int iter = 0; iter < 300; ++iter) {
    const int w = rng.Chance(20) ? 64 * rng.Int(1, 3) : rng.Int(1, 150), h = rng.Int(1, 60);
    TBitmap bmp = Blobs(w, h, uint32_t(iter), rng.Int(2, 5));
    TRect r = rng.Chance(30) ? UnboundedRect : RandomRect(rng, w, h);
    const int x = rng.Int(-2, w + 1), y = rng.Int(-2, h + 1);
    const int tol = rng.Chance(50) ? 0 : rng.Int(-60, 60);
    TBitmap sel;
    if (rng.Chance(40)) sel = RandomMask(w, h, uint32_t(iter) + 1000);
    TBitmap outA, outB;
    const bool withOut = rng.Chance(40);
    if (withOut) {
      outA = RandomMask(w, h, uint32_t(iter) + 2000);
      outB = outA.Clone();
    }
    const TColor fill = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    TBitmap expected = bmp.Clone();
    const int re = ReferenceFill(expected, sel.Empty() ? nullptr : &sel, x, withOut ? &outB : nullptr, r, tol,
                                 fill, y);
    const int got = FloodFillBitmap(bmp, sel.Empty() ? nullptr : &sel, x, withOut ? &outA : nullptr, r, tol, fill, y);
    ASSERT_EQ(got, re) << iter;
    ASSERT_TRUE(SameBitmaps(bmp, expected)) << "iteration " << iter;
    if (withOut) {
      ASSERT_TRUE(SameBitmaps(outA, outB)) << "iteration " << iter;
    }
  }
}

TEST(FloodFill, FullSizeUniformPictureFillsEveryPixel) {
  // A fill that used to stop after 3000 rows, one recursion level per row.
  TBitmap bmp(6000, 4000, pf24bit, RGB(10, 20, 30));
  ASSERT_EQ(FloodFillBitmap(bmp, nullptr, 2999, nullptr, UnboundedRect, 0, RGB(200, 100, 0), 0), ffDone);
  TBitmap expected(6000, 4000, pf24bit, RGB(200, 100, 0));
  EXPECT_TRUE(SameBitmaps(bmp, expected));
}

TEST(FloodFill, LongZigZagIsFilledToItsEnd) {
  // A one-pixel-wide path stepping between two columns every three rows, 3500 rows long.
  const int h = 3500;
  TBitmap bmp(4, h, pf24bit, clBlack);
  auto column = [](int y) { return 1 + (y / 3) % 2; };
  for (int y = 0; y < h; ++y) {
    bmp.SetPixel(column(y), y, clWhite);
    if (y > 0 && column(y) != column(y - 1)) bmp.SetPixel(column(y - 1), y, clWhite);
  }
  TBitmap expected = bmp.Clone();
  ReferenceFill(expected, nullptr, column(h - 1), nullptr, UnboundedRect, 0, RGB(255, 0, 0), h - 1);
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, column(h - 1), nullptr, UnboundedRect, 0, RGB(255, 0, 0), h - 1), ffDone);
  EXPECT_TRUE(SameBitmaps(bmp, expected));
  EXPECT_EQ(bmp.GetPixel(1, 0), RGB(255, 0, 0));
}

TEST(FloodFill, DiagonalGapDoesNotLeak) {
  // Two white squares touching only at a corner.
  TBitmap bmp(6, 6, pf24bit, clBlack);
  bmp.FillRect(TRect{0, 0, 3, 3}, clWhite);
  bmp.FillRect(TRect{3, 3, 6, 6}, clWhite);
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, 0, nullptr, UnboundedRect, 0, RGB(255, 0, 0), 0), ffDone);
  EXPECT_EQ(bmp.GetPixel(2, 2), RGB(255, 0, 0));
  EXPECT_EQ(bmp.GetPixel(3, 3), clWhite);
  EXPECT_EQ(bmp.GetPixel(3, 2), clBlack);
}

TEST(FloodFill, SelectionMaskLimitsEveryFill) {
  for (int tol : {0, 5}) {
    TBitmap bmp(10, 10, pf24bit, RGB(50, 50, 50));
    TBitmap sel(10, 10, pf24bit, RGB(255, 255, 255));
    sel.FillRect(TRect{2, 2, 6, 6}, clBlack);
    EXPECT_EQ(FloodFillBitmap(bmp, &sel, 3, nullptr, UnboundedRect, tol, RGB(1, 2, 3), 3), ffDone);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        EXPECT_EQ(bmp.GetPixel(x, y), (x >= 2 && x < 6 && y >= 2 && y < 6) ? RGB(1, 2, 3) : RGB(50, 50, 50));
    // a seed under a fully outside mask value fills nothing
    TBitmap before = bmp.Clone();
    EXPECT_EQ(FloodFillBitmap(bmp, &sel, 0, nullptr, UnboundedRect, tol, RGB(9, 9, 9), 0), ffDone);
    EXPECT_TRUE(SameBitmaps(bmp, before));
  }
}

TEST(FloodFill, OutputMaskGuardsAndEdgeCases) {
  TBitmap bmp(8, 6, pf24bit, RGB(7, 7, 7));
  bmp.FillRect(TRect{4, 0, 5, 6}, clBlack);
  TBitmap before = bmp.Clone();
  TBitmap out(8, 6, pf24bit, RGB(100, 100, 100));
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, 1, &out, UnboundedRect, 0, clNone, 1), ffDone);
  EXPECT_TRUE(SameBitmaps(bmp, before));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(out.GetPixel(x, y), x < 4 ? clBlack : clWhite);

  // the selection and output mask may be one bitmap: the selection is read as it was
  TBitmap both(8, 6, pf24bit, clWhite);
  both.FillRect(TRect{0, 0, 2, 6}, clBlack);
  EXPECT_EQ(FloodFillBitmap(bmp, &both, 0, &both, UnboundedRect, 0, clNone, 0), ffDone);
  EXPECT_EQ(both.GetPixel(1, 5), clBlack);
  EXPECT_EQ(both.GetPixel(2, 5), clWhite);

  // seed outside the rect, an empty rect
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, 6, nullptr, TRect{0, 0, 4, 6}, 0, clWhite, 1), ffDone);
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, 1, nullptr, TRect{3, 3, 3, 9}, 0, clWhite, 1), ffDone);
  EXPECT_TRUE(SameBitmaps(bmp, before));
  // masks of another size fail before anything is painted
  TBitmap small(7, 6, pf24bit, clBlack);
  EXPECT_EQ(FloodFillBitmap(bmp, &small, 1, nullptr, UnboundedRect, 0, clWhite, 1), ffFailed);
  TBitmap outSmall(8, 5, pf24bit, RGB(3, 3, 3));
  EXPECT_EQ(FloodFillBitmap(bmp, nullptr, 1, &outSmall, UnboundedRect, 0, clWhite, 1), ffFailed);
  EXPECT_EQ(outSmall.GetPixel(0, 0), RGB(3, 3, 3));
  EXPECT_TRUE(SameBitmaps(bmp, before));
  // empty masks are ignored; the rect limits the fill
  TBitmap none;
  EXPECT_EQ(FloodFillBitmap(bmp, &none, 1, &none, TRect{0, 0, 2, 2}, 0, RGB(0, 0, 255), 1), ffDone);
  EXPECT_EQ(bmp.GetPixel(1, 1), RGB(0, 0, 255));
  EXPECT_EQ(bmp.GetPixel(2, 2), RGB(7, 7, 7));
  // a non-24-bit bitmap is refused
  TBitmap idx(4, 4, pf8bit);
  EXPECT_EQ(FloodFillScan(idx, nullptr, 1, nullptr, UnboundedRect, 0, clWhite, 1), ffFailed);
}

// Seeds, tolerances and rects at the ends of the integer range.
TEST(FloodFill, ExtremeParametersAreSafe) {
  const int kInts[] = {INT32_MIN, -256, -1, 0, 4, 255, 256, INT32_MAX};
  for (int seed : kInts)
    for (int tol : kInts) {
      TBitmap bmp = RandomBitmap(9, 7, 5);
      TBitmap out(9, 7, pf24bit);
      const int x = seed == 4 ? 4 : seed, y = seed == 4 ? 3 : seed;
      EXPECT_EQ(FloodFillBitmap(bmp, nullptr, x, nullptr, TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, tol,
                                RGB(255, 0, 0), y),
                ffDone);
      EXPECT_EQ(FloodFillBitmap(bmp, &out, x, &out, UnboundedRect, tol, clNone, y), ffDone);
    }
}
