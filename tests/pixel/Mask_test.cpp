#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>

#include "pixel/Mask.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TRect Clipped(TRect r, const TBitmap& b) {
  r = TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
  return IntersectRect(r, TRect{0, 0, b.Width(), b.Height()});
}

void Put(TBitmap& b, int x, int y, int v) {
  uint8_t* p = Px(b, x, y);
  p[0] = p[1] = p[2] = uint8_t(v);
}

bool In(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

// --- The passes as written down: one pass at a time over a copy of the mask. -------

void RefMinMaxPasses(TBitmap& m, int n, TRect r) {
  r = Clipped(r, m);
  if (r.IsEmpty() || n == 0) return;
  const bool grow = n > 0;
  for (int pass = 0; pass < std::abs(n); ++pass) {
    TBitmap c = m.Clone();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const int v = Px(c, x, y)[0];
        const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
        bool hit = false;
        for (int k = 0; k < 4; ++k) {
          const int u = In(r, nx[k], ny[k]) ? Px(c, nx[k], ny[k])[0] : (grow ? v : 255);
          hit |= grow ? u < 255 : u == 255;
        }
        if (grow && v == 255 && hit) Put(m, x, y, 0);
        if (!grow && v < 255 && hit) Put(m, x, y, 255);
      }
  }
}

void RefFeather(TBitmap& m, TRect r) {
  r = Clipped(r, m);
  if (r.IsEmpty()) return;
  TBitmap c = m.Clone();
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const int v = Px(c, x, y)[0];
      if (v == 255) continue;
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0) {
            sum += v;
            continue;
          }
          const int u = In(r, x + dx, y + dy) ? Px(c, x + dx, y + dy)[0] : 255;
          sum += u == 255 ? 333 : u;
        }
      Put(m, x, y, std::min(sum / 9, 255));
    }
}

void RefCrossBlur(TBitmap& m, int passes, TRect r) {
  r = Clipped(r, m);
  if (r.IsEmpty()) return;
  for (int p = 0; p < passes; ++p) {
    TBitmap c = m.Clone();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        auto at = [&](int xx, int yy) { return In(r, xx, yy) ? Px(c, xx, yy)[0] : Px(c, x, y)[0]; };
        Put(m, x, y, (at(x - 1, y) + at(x, y - 1) + at(x, y) + at(x + 1, y) + at(x, y + 1)) / 5);
      }
  }
}

// Literal, in place and in order: a ramp may read what an earlier one wrote.
void RefRamp(TBitmap& m, TRect r, int width) {
  r = Clipped(r, m);
  if (r.IsEmpty()) return;
  if (width < 0) width = 99999;
  auto v = [&](int x, int y) { return int(Px(m, x, y)[0]); };
  auto ramp = [&](int n, auto pixel) {
    const double s = 255.0 / (n + 1);
    double acc = 0;
    for (int k = 1; k <= n; ++k) {
      acc += s;
      const int val = RoundHalfEven(acc + 0.5);
      auto [px, py] = pixel(k);
      if (val < v(px, py)) Put(m, px, py, val);
    }
  };
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left + 1; x <= r.Right - 2; ++x) {
      if (v(x, y) != 0) continue;
      if (v(x - 1, y) != 0)
        for (int row : {y - 1, y + 1}) {
          if (row < r.Top || row >= r.Bottom) continue;
          int n = 0;
          while (x - 1 - n >= r.Left && v(x - 1 - n, y) != 0 && v(x - 1 - n, row) == 0) ++n;
          if (n >= width) n = 0;
          if (n > 0) ramp(n, [&](int k) { return std::pair{x - k, y}; });
        }
      if (v(x + 1, y) != 0)
        for (int row : {y - 1, y + 1}) {
          if (row < r.Top || row >= r.Bottom) continue;
          int n = 0;
          while (x + 1 + n <= r.Right - 1 && v(x + 1 + n, y) != 0 && v(x + 1 + n, row) == 0) ++n;
          if (n >= width) n = 0;
          if (n > 0) ramp(n, [&](int k) { return std::pair{x + k, y}; });
        }
    }
  for (int x = r.Left; x < r.Right; ++x)
    for (int y = r.Top + 1; y <= r.Bottom - 2; ++y) {
      if (v(x, y) != 0) continue;
      if (v(x, y - 1) != 0)
        for (int col : {x - 1, x + 1}) {
          if (col < r.Left || col >= r.Right) continue;
          int n = 0;
          while (y - 1 - n >= r.Top && v(x, y - 1 - n) != 0 && v(col, y - 1 - n) == 0) ++n;
          if (n >= width) n = 0;
          if (n > 0) ramp(n, [&](int k) { return std::pair{x, y - k}; });
        }
      if (v(x, y + 1) != 0)
        for (int col : {x - 1, x + 1}) {
          if (col < r.Left || col >= r.Right) continue;
          int n = 0;
          while (y + 1 + n <= r.Bottom - 1 && v(x, y + 1 + n) != 0 && v(col, y + 1 + n) == 0) ++n;
          if (n >= width) n = 0;
          if (n > 0) ramp(n, [&](int k) { return std::pair{x, y + k}; });
        }
    }
}

void RefMaskOut(const TBitmap& img, TBitmap& m, bool hor, bool ver, int tol, TRect r) {
  r = IntersectRect(Clipped(r, img), TRect{0, 0, m.Width(), m.Height()});
  if (r.IsEmpty() || tol < 1) return;
  const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
  auto side = [&](auto at, int count) {
    bool fresh = true;
    const uint8_t* ref = nullptr;
    for (int k = 0; k < count; ++k) {
      auto [x, y] = at(k);
      if (Px(m, x, y)[0] == 255) {
        fresh = true;
        continue;
      }
      if (fresh) ref = Px(img, x, y), fresh = false;
      const uint8_t* p = Px(img, x, y);
      for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - ref[c]) > tol) return;
      Put(m, x, y, 255);
    }
  };
  if (hor)
    for (int y = r.Top; y < r.Bottom; ++y) {
      side([&](int k) { return std::pair{r.Left + k, y}; }, cx - r.Left);
      side([&](int k) { return std::pair{r.Right - 1 - k, y}; }, r.Right - cx);
    }
  if (ver)
    for (int x = r.Left; x < r.Right; ++x) {
      side([&](int k) { return std::pair{x, r.Top + k}; }, cy - r.Top);
      side([&](int k) { return std::pair{x, r.Bottom - 1 - k}; }, r.Bottom - cy);
    }
}

void RefStroke(const TBitmap& m, TBitmap& d, TColor color, int pen, int level, TRect r) {
  r = Clipped(r, m);
  if (r.IsEmpty() || pen < 1) return;
  const int h = (pen - 1) / 2;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      if (Px(m, x, y)[0] > level) continue;
      const bool interior = x > r.Left && x < r.Right - 1 && y > r.Top && y < r.Bottom - 1 &&
                            Px(m, x - 1, y)[0] <= level && Px(m, x + 1, y)[0] <= level &&
                            Px(m, x, y - 1)[0] <= level && Px(m, x, y + 1)[0] <= level;
      if (interior) continue;
      for (int yy = y - h; yy < y - h + pen; ++yy)
        for (int xx = x - h; xx < x - h + pen; ++xx)
          if (In(r, xx, yy) && xx < d.Width() && yy < d.Height()) d.SetPixel(xx, yy, color);
    }
}

// Runs the kernel at several thread counts and compares each result with the reference.
void ExpectSameAtAnyThreadCount(const TBitmap& input, const std::function<void(TBitmap&)>& kernel,
                                const std::function<void(TBitmap&)>& reference, const std::string& what) {
  TBitmap expected = input.Clone();
  reference(expected);
  for (int threads : {1, 3, 8}) {
    SetEngineThreads(threads);
    TBitmap got = input.Clone();
    kernel(got);
    EXPECT_TRUE(SameBitmaps(got, expected)) << what << ", threads " << threads;
  }
  SetEngineThreads(0);
}

// A hard mask of random blocks: stair steps of every length.
TBitmap BlockMask(int w, int h, uint32_t seed) {
  TBitmap m(w, h, pf24bit, clWhite);
  Rng rng(seed);
  for (int i = 0; i < (w * h) / 40 + 1; ++i) {
    const int x = rng.Int(0, w - 1), y = rng.Int(0, h - 1);
    m.FillRect(TRect{x, y, x + rng.Int(1, 9), y + rng.Int(1, 6)}, clBlack);
  }
  return m;
}

}  // namespace

TEST(MaskPasses, MinMaxPassesMatchOnePassAtATime) {
  Rng rng(11);
  for (int iter = 0; iter < 40; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 50);
    TBitmap m = RandomMask(w, h, uint32_t(iter));
    if (iter % 3 == 0) m = BlockMask(w, h, uint32_t(iter));
    const TRect r = RandomRect(rng, w, h);
    const int n = rng.Int(-7, 7);
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { ApplyMinMaxPasses(b, n, r); }, [&](TBitmap& b) { RefMinMaxPasses(b, n, r); },
        "n " + std::to_string(n) + " iteration " + std::to_string(iter));
  }
}

TEST(MaskPasses, LargeMasksAgreeAcrossThreads) {
  // large enough to be split over threads, in rows and in column strips
  const TBitmap m = BlockMask(700, 160, 8);
  for (int n : {-3, 4, -1, 1}) {
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { ApplyMinMaxPasses(b, n, TRect{1, 2, 699, 159}); },
        [&](TBitmap& b) { RefMinMaxPasses(b, n, TRect{1, 2, 699, 159}); }, "n " + std::to_string(n));
  }
  TBitmap img(700, 160, pf24bit, RGB(30, 60, 90));
  img.FillRect(TRect{200, 40, 500, 120}, RGB(200, 10, 10));
  ExpectSameAtAnyThreadCount(
      m, [&](TBitmap& b) { MaskOutBackgroundFromEdges(img, b, true, true, 3, UnboundedRect); },
      [&](TBitmap& b) { RefMaskOut(img, b, true, true, 3, UnboundedRect); }, "mask out");
  const TBitmap canvas = RandomBitmap(700, 160, 9);
  ExpectSameAtAnyThreadCount(
      canvas, [&](TBitmap& b) { StrokeMaskOutline(m, b, RGB(9, 8, 7), 4, 100, TRect{3, 3, 690, 150}); },
      [&](TBitmap& b) { RefStroke(m, b, RGB(9, 8, 7), 4, 100, TRect{3, 3, 690, 150}); }, "stroke");
}

TEST(MaskPasses, PassesUpToAndBeyondTheBytePathMatchOnePassAtATime) {
  // Wide enough for whole 64-pixel blocks and several bands of rows; the counts
  // around the largest the byte distances take (127) and the first beyond.
  const TBitmap m = BlockMask(203, 150, 12);
  for (int n : {-1, 2, -8, 40, -127, 127, 128, -128}) {
    const TRect r{1, 3, 202, 149};
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { ApplyMinMaxPasses(b, n, r); }, [&](TBitmap& b) { RefMinMaxPasses(b, n, r); },
        "n " + std::to_string(n));
  }
}

TEST(MaskPasses, ManyPassesUseWiderDistances) {
  // 300 passes take the 16-bit distances; the rect is wide enough for all of them to count.
  TBitmap m(260, 90, pf24bit, clWhite);
  Put(m, 3, 4, 0);
  Put(m, 200, 70, 17);
  ExpectSameAtAnyThreadCount(
      m, [](TBitmap& b) { ApplyMinMaxPasses(b, 300, UnboundedRect); },
      [](TBitmap& b) { RefMinMaxPasses(b, 300, UnboundedRect); }, "grow 300");
  TBitmap s(260, 90, pf24bit, clBlack);
  ExpectSameAtAnyThreadCount(
      s, [](TBitmap& b) { ApplyMinMaxPasses(b, -253, TRect{2, 2, 258, 89}); },
      [](TBitmap& b) { RefMinMaxPasses(b, -253, TRect{2, 2, 258, 89}); }, "shrink 253");
  // More passes than one distance plane holds are run in steps: one seed at the left
  // end of a 70000-pixel row reaches exactly n pixels.
  TBitmap row(70000, 1, pf24bit, clWhite);
  Put(row, 0, 0, 0);
  ApplyMinMaxPasses(row, 69000, UnboundedRect);
  EXPECT_EQ(Px(row, 69000, 0)[0], 0);
  EXPECT_EQ(Px(row, 69001, 0)[0], 255);
  EXPECT_EQ(Px(row, 69999, 0)[2], 255);
}

TEST(MaskPasses, MinMaxEdgeCases) {
  TBitmap inside(8, 6, pf24bit, clBlack);
  ApplyMinMaxPasses(inside, -1, UnboundedRect);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(Px(inside, x, y)[0], (x == 0 || y == 0 || x == 7 || y == 5) ? 255 : 0) << x << "," << y;
  TBitmap outside(8, 6, pf24bit, clWhite);
  TBitmap ref = outside.Clone();
  ApplyMinMaxPasses(outside, 1, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(outside, ref));
  ApplyMinMaxPasses(inside, 0, UnboundedRect);  // nothing
  ApplyMinMaxPasses(inside, INT32_MIN, TRect{});
}

TEST(MaskPasses, FeatherAndCrossBlurMatchTheirReferences) {
  Rng rng(5);
  for (int iter = 0; iter < 30; ++iter) {
    const int w = rng.Int(1, 50), h = rng.Int(1, 40);
    TBitmap m = RandomMask(w, h, uint32_t(100 + iter));
    const TRect r = RandomRect(rng, w, h);
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { FeatherMaskEdgesRect(b, r); }, [&](TBitmap& b) { RefFeather(b, r); }, "feather");
    const int passes = rng.Int(-1, 4);
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { BlurMaskCrossPasses(b, passes, r); },
        [&](TBitmap& b) { RefCrossBlur(b, passes, r); }, "cross blur");
  }
  // Large enough to be split over threads.
  TBitmap big = RandomMask(500, 300, 9);
  ExpectSameAtAnyThreadCount(
      big, [](TBitmap& b) { FeatherMaskEdgesRect(b, TRect{3, 4, 499, 297}); },
      [](TBitmap& b) { RefFeather(b, TRect{3, 4, 499, 297}); }, "feather, large");
  ExpectSameAtAnyThreadCount(
      big, [](TBitmap& b) { BlurMaskCrossPasses(b, 2, UnboundedRect); },
      [](TBitmap& b) { RefCrossBlur(b, 2, UnboundedRect); }, "cross blur, large");
}

TEST(MaskPasses, FeatherRaisesTheBorderOfAFullMask) {
  TBitmap m(5, 4, pf24bit, clBlack);
  FeatherMaskEdgesRect(m, UnboundedRect);
  EXPECT_EQ(Px(m, 0, 0)[0], 185);  // corner: five neighbours outside
  EXPECT_EQ(Px(m, 2, 0)[0], 111);  // edge: three outside
  EXPECT_EQ(Px(m, 0, 2)[2], 111);
  EXPECT_EQ(Px(m, 2, 2)[0], 0);
  EXPECT_EQ(Px(m, 1, 1)[1], 0);
}

TEST(MaskRamps, MatchTheLiteralPasses) {
  Rng rng(21);
  for (int iter = 0; iter < 40; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 50);
    TBitmap m = BlockMask(w, h, uint32_t(iter));
    if (iter % 4 == 1) {  // soft values beside the hard ones
      TBitmap soft = RandomMask(w, h, uint32_t(iter));
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (Px(m, x, y)[0] != 0 && Px(soft, x, y)[0] != 0) Put(m, x, y, Px(soft, x, y)[0]);
    }
    const TRect r = RandomRect(rng, w, h);
    const int width = rng.Int(-1, 8);
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { RampMaskEdges(b, r, width); }, [&](TBitmap& b) { RefRamp(b, r, width); },
        "width " + std::to_string(width));
  }
  TBitmap big = BlockMask(400, 300, 77);
  ExpectSameAtAnyThreadCount(
      big, [](TBitmap& b) { RampMaskEdges(b, UnboundedRect, 6); },
      [](TBitmap& b) { RefRamp(b, UnboundedRect, 6); }, "large");
}

TEST(MaskRamps, ShortStepGetsALinearRamp) {
  // Row 1: outside, outside, inside; row 2 inside under all of them.
  TBitmap m(5, 3, pf24bit, clWhite);
  Put(m, 3, 1, 0);
  for (int x = 0; x < 5; ++x) Put(m, x, 2, 0);
  TBitmap w1 = m.Clone();
  RampMaskEdges(w1, UnboundedRect, 1);
  EXPECT_TRUE(SameBitmaps(w1, m));
  RampMaskEdges(m, TRect{1, 0, 5, 3}, 3);
  EXPECT_EQ(Px(m, 2, 1)[0], 86);
  EXPECT_EQ(Px(m, 1, 1)[0], 170);
  EXPECT_EQ(Px(m, 0, 1)[0], 255);  // outside the rect
  EXPECT_EQ(Px(m, 4, 1)[0], 128);  // a one-pixel step on the right: 255 / 2 + 0.5
}

TEST(MaskScans, MaskOutBackgroundMatchesTheLiteralScan) {
  Rng rng(31);
  for (int iter = 0; iter < 40; ++iter) {
    const int w = rng.Int(1, 50), h = rng.Int(1, 40);
    // a nearly uniform background with an object in the middle and a few holes
    TBitmap img(w, h, pf24bit, RGB(200, 180, 160));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = Px(img, x, y);
        for (int c = 0; c < 3; ++c) p[c] = uint8_t(p[c] + rng.Int(-4, 4));
      }
    img.FillRect(TRect{w / 4, h / 4, 3 * w / 4 + 1, 3 * h / 4 + 1}, RGB(20, 90, 30));
    TBitmap m = RandomMask(w, h, uint32_t(iter));
    if (iter % 2) m = TBitmap(w, h, pf24bit, clBlack);
    const TRect r = RandomRect(rng, w, h);
    const int tol = rng.Int(0, 6);
    const bool hor = rng.Chance(70), ver = rng.Chance(70);
    ExpectSameAtAnyThreadCount(
        m, [&](TBitmap& b) { MaskOutBackgroundFromEdges(img, b, hor, ver, tol, r); },
        [&](TBitmap& b) { RefMaskOut(img, b, hor, ver, tol, r); }, "iteration " + std::to_string(iter));
  }
}

TEST(MaskOutline, StrokeMatchesTheSquareStamps) {
  Rng rng(41);
  for (int iter = 0; iter < 40; ++iter) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 30);
    const TBitmap m = RandomMask(w, h, uint32_t(iter));
    // the destination may be smaller or larger than the mask
    const TBitmap d = RandomBitmap(rng.Int(1, 50), rng.Int(1, 40), uint32_t(iter + 1000));
    const TRect r = RandomRect(rng, w, h);
    const int pen = rng.Int(0, 7), level = rng.Int(0, 255);
    ExpectSameAtAnyThreadCount(
        d, [&](TBitmap& b) { StrokeMaskOutline(m, b, RGB(1, 2, 3), pen, level, r); },
        [&](TBitmap& b) { RefStroke(m, b, RGB(1, 2, 3), pen, level, r); },
        "pen " + std::to_string(pen) + " iteration " + std::to_string(iter));
  }
  // Pen 1 never writes outside a destination smaller than the mask.
  TBitmap m(30, 30, pf24bit, clBlack);
  TBitmap small(10, 10, pf24bit, clWhite);
  StrokeMaskOutline(m, small, clBlack, 1, 128, UnboundedRect);
  EXPECT_EQ(small.GetPixel(0, 0), clBlack);
  EXPECT_EQ(small.GetPixel(9, 9), clWhite);  // (9, 9) is interior in the mask
  // The mask may be its own destination: the outline is found before it is drawn.
  TBitmap self(12, 12, pf24bit, clBlack);
  TBitmap expected = self.Clone();
  RefStroke(self, expected, clWhite, 3, 0, UnboundedRect);
  StrokeMaskOutline(self, self, clWhite, 3, 0, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(self, expected));
}

TEST(MaskFromColor, WideRowsMatchThePixelRule) {
  // A source of few levels, so that every channel falls inside and outside the
  // tolerance; the mask's bytes differ per channel, as only matching rules write.
  Rng rng(4);
  TBitmap src(333, 70, pf24bit, clBlack);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x)
      for (int c = 0; c < 3; ++c) Px(src, x, y)[c] = uint8_t(100 + 10 * rng.Int(-3, 3));
  const TBitmap mask0 = RandomBitmap(333, 70, 5);
  const TRect r{2, 1, 330, 69};
  for (int tol : {0, 10, 25, 300})
    for (int rule = 0; rule < 5; ++rule) {
      const bool set = rule % 2 == 0;
      TBitmap want = mask0.Clone();
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
          const uint8_t* s = Px(src, x, y);
          const bool match =
              std::abs(s[0] - 110) <= tol && std::abs(s[1] - 100) <= tol && std::abs(s[2] - 90) <= tol;
          int v = -1;
          if (rule < 2) v = !match ? 0 : set ? 255 : -1;
          else if (rule < 4) v = match ? 0 : set ? 255 : -1;
          else v = match ? 255 : -1;
          if (v >= 0) Put(want, x, y, v);
        }
      ExpectSameAtAnyThreadCount(
          mask0,
          [&](TBitmap& b) {
            if (rule < 2) MaskByColorTolerance(src, b, RGB(90, 100, 110), tol, set, r);
            else if (rule < 4) MaskByColorToleranceInverted(src, b, RGB(90, 100, 110), tol, set, r);
            else ExcludeColorFromMask(src, b, RGB(90, 100, 110), tol, r);
          },
          [&](TBitmap& b) { b = want.Clone(); }, "tolerance " + std::to_string(tol) + " rule " + std::to_string(rule));
    }
}

TEST(MaskFromColor, ResizesWithOutsidePixelsAndHonoursTheSetFlag) {
  TBitmap src(6, 4, pf24bit, RGB(10, 20, 30));
  src.SetPixel(1, 1, RGB(100, 20, 30));
  TBitmap mask(3, 3, pf24bit, RGB(7, 7, 7));
  MaskByColorTolerance(src, mask, RGB(12, 20, 30), -1, true, UnboundedRect);  // tolerance below 0
  EXPECT_EQ(mask.Width(), 3);
  mask.BrushColor = clBlack;  // must not leak into the new area
  MaskByColorTolerance(src, mask, RGB(12, 20, 30), 2, false, TRect{0, 0, 2, 2});
  ASSERT_EQ(mask.Width(), 6);
  ASSERT_EQ(mask.Height(), 4);
  EXPECT_EQ(mask.GetPixel(0, 0), RGB(7, 7, 7));  // matching, flag clear: left
  EXPECT_EQ(mask.GetPixel(1, 1), clBlack);       // not matching: 0
  EXPECT_EQ(mask.GetPixel(2, 2), RGB(7, 7, 7));  // kept overlap outside the rect
  EXPECT_EQ(mask.GetPixel(5, 3), clWhite);       // new area
  EXPECT_EQ(mask.GetPixel(3, 0), clWhite);
  EXPECT_EQ(mask.BrushColor, clBlack);
  MaskByColorTolerance(src, mask, RGB(12, 20, 30), 2, true, UnboundedRect);
  EXPECT_EQ(mask.GetPixel(0, 0), clWhite);
  EXPECT_EQ(mask.GetPixel(1, 1), clBlack);

  TBitmap inv;
  MaskByColorToleranceInverted(src, inv, RGB(10, 20, 30), 0, false, UnboundedRect);
  EXPECT_EQ(inv.GetPixel(0, 0), clBlack);
  EXPECT_EQ(inv.GetPixel(1, 1), clWhite);  // a new pixel, left as it was
  inv.FillRect(UnboundedRect, RGB(9, 9, 9));
  MaskByColorToleranceInverted(src, inv, RGB(10, 20, 30), 0, true, UnboundedRect);
  EXPECT_EQ(inv.GetPixel(1, 1), clWhite);
  EXPECT_EQ(inv.GetPixel(2, 1), clBlack);

  TBitmap ex(6, 4, pf24bit, clBlack);
  ExcludeColorFromMask(src, ex, RGB(100, 20, 30), 0, UnboundedRect);
  EXPECT_EQ(ex.GetPixel(1, 1), clWhite);
  EXPECT_EQ(ex.GetPixel(0, 0), clBlack);
}

TEST(MaskPoints, ThresholdEqualsAndMerge) {
  TBitmap m(4, 1, pf24bit, clBlack);
  Put(m, 0, 0, 255);
  Put(m, 1, 0, 100);
  Put(m, 2, 0, 101);
  Put(m, 3, 0, 0);
  ThresholdMaskRect(m, 100, UnboundedRect);
  EXPECT_EQ(Px(m, 0, 0)[0], 255);
  EXPECT_EQ(Px(m, 1, 0)[1], 0);
  EXPECT_EQ(Px(m, 2, 0)[2], 255);
  EXPECT_EQ(Px(m, 3, 0)[0], 0);

  EXPECT_TRUE(MaskRectEquals(m, 77, TRect{2, 0, 2, 1}));  // empty
  EXPECT_TRUE(MaskRectEquals(m, 255, TRect{1, -5, 0, 5}));
  EXPECT_FALSE(MaskRectEquals(m, 255, UnboundedRect));
  EXPECT_FALSE(MaskRectEquals(m, 256, TRect{0, 0, 1, 1}));

  Rng rng(3);
  for (int iter = 0; iter < 30; ++iter) {
    const TBitmap src = RandomMask(rng.Int(1, 20), rng.Int(1, 20), uint32_t(iter));
    TBitmap dst = RandomMask(rng.Int(1, 30), rng.Int(1, 30), uint32_t(iter + 50));
    const int X = rng.Int(-10, 25), Y = rng.Int(-10, 25);
    const TRect r = RandomRect(rng, dst.Width(), dst.Height());
    TBitmap expected = dst.Clone();
    const TRect cr = Clipped(r, dst);
    for (int y = cr.Top; y < cr.Bottom; ++y)
      for (int x = cr.Left; x < cr.Right; ++x) {
        if (!In(TRect{X, Y, X + src.Width(), Y + src.Height()}, x, y)) continue;
        const uint8_t* s = Px(src, x - X, y - Y);
        if (s[0] > Px(expected, x, y)[0]) std::memcpy(Px(expected, x, y), s, 3);
      }
    MergeRectMax(src, dst, X, Y, r);
    EXPECT_TRUE(SameBitmaps(dst, expected)) << iter;
  }
  TBitmap a = RandomMask(20, 10, 1);
  TBitmap copy = a.Clone();
  TBitmap expected = a.Clone();
  MergeRectMax(copy, expected, 3, 2, UnboundedRect);
  MergeRectMax(a, a, 3, 2, UnboundedRect);  // overlapping with itself
  EXPECT_TRUE(SameBitmaps(a, expected));
}

// The pattern's key-coloured pixels, tiled from any origin, cut holes in the mask;
// pixels already at 255 and those outside the rect stay.
TEST(MaskPatterns, TiledPatternKeyMatchesTheReference) {
  Rng rng(11);
  for (int iter = 0; iter < 40; ++iter) {
    SetEngineThreads(iter % 2 ? 1 : 8);
    TBitmap pattern = RandomBitmap(rng.Int(1, 9), rng.Int(1, 9), uint32_t(iter));
    const TColor key = RGB(7, 8, 9);
    for (int k = 0; k < 6; ++k) pattern.SetPixel(rng.Int(0, pattern.Width() - 1), rng.Int(0, pattern.Height() - 1), key);
    TBitmap mask = RandomMask(rng.Int(1, 300), rng.Int(1, 300), uint32_t(iter + 100));
    const TRect r = RandomRect(rng, mask.Width(), mask.Height());
    const int ox = rng.Int(-50, 50), oy = rng.Int(-50, 50);
    TBitmap expected = mask.Clone();
    const TRect cr = Clipped(r, mask);
    for (int y = cr.Top; y < cr.Bottom; ++y)
      for (int x = cr.Left; x < cr.Right; ++x)
        if (Px(expected, x, y)[0] < 255 &&
            pattern.GetPixel(ModFloor(x - ox, pattern.Width()), ModFloor(y - oy, pattern.Height())) == key)
          Put(expected, x, y, 255);
    MaskByTiledPattern(mask, r, pattern, key, ox, oy);
    EXPECT_TRUE(SameBitmaps(mask, expected)) << iter;
  }
  SetEngineThreads(0);
}

TEST(MaskFills, RadialGradientFromAToB) {
  TBitmap b(9000, 3, pf24bit, clBlack);
  FillRadialGradient(b, RGB(255, 0, 10), RGB(0, 255, 20), 0, 1, 1, UnboundedRect);
  EXPECT_EQ(b.GetPixel(1, 1), RGB(0, 255, 20));  // radius 0: B everywhere
  FillRadialGradient(b, RGB(255, 0, 10), RGB(0, 255, 20), 8000, 0, 1, TRect{0, 0, 9000, 3});
  EXPECT_EQ(b.GetPixel(0, 1), RGB(255, 0, 10));
  EXPECT_EQ(b.GetPixel(8000, 1), RGB(0, 255, 20));
  EXPECT_EQ(b.GetPixel(8999, 0), RGB(0, 255, 20));
  // exact distances far from the centre: d = 6000 gives t = 2000 * 255 div 8000 = 63
  const int t = 2000 * 255 / 8000;
  EXPECT_EQ(b.GetPixel(6000, 1), RGB(255 * t / 255, 255 - 255 * t / 255, 20 + (10 - 20) * t / 255));
  TBitmap c = b.Clone();
  FillRadialGradient(c, clWhite, clBlack, 5, 0, 0, TRect{0, 0, 0, 3});  // empty
  EXPECT_TRUE(SameBitmaps(b, c));
}

TEST(MaskFills, CloudsRepeatWithTheSeedAndStayBetweenTheColours) {
  TBitmap a(700, 300, pf24bit, clBlack), b(700, 300, pf24bit, clBlack);
  RandSeed(99);
  RenderClouds(a, RGB(250, 200, 100), RGB(10, 20, 30), TRect{5, 5, 690, 290});
  RandSeed(99);
  SetEngineThreads(3);
  RenderClouds(b, RGB(250, 200, 100), RGB(10, 20, 30), TRect{5, 5, 690, 290});
  SetEngineThreads(0);
  EXPECT_TRUE(SameBitmaps(a, b));
  EXPECT_TRUE(SameOutside(a, TBitmap(700, 300, pf24bit, clBlack), TRect{5, 5, 690, 290}));
  std::set<int> levels;
  for (int y = 5; y < 290; ++y)
    for (int x = 5; x < 690; ++x) {
      const uint8_t* p = Px(a, x, y);
      ASSERT_GE(p[2], 10);
      ASSERT_LE(p[2], 250);
      ASSERT_GE(p[0], 30);
      ASSERT_LE(p[0], 100);
      levels.insert(p[2]);
    }
  EXPECT_GT(levels.size(), 40u);  // a texture, not a flat fill
  // The walk mirrors: columns 10 and 1006 both read grid column 6, columns 2 and 1015
  // grid column 2; rows 0 and 1 both read grid row 1.
  TBitmap wide(1100, 2, pf24bit, clBlack);
  RenderClouds(wide, clWhite, clBlack, UnboundedRect);
  EXPECT_EQ(wide.GetPixel(10, 0), wide.GetPixel(1006, 0));
  EXPECT_EQ(wide.GetPixel(2, 1), wide.GetPixel(1015, 1));
  EXPECT_EQ(wide.GetPixel(300, 0), wide.GetPixel(300, 1));
}
