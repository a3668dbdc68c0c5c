#include "pixel/Distortion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor clTeal = RGB(0, 128, 128), clOrange = RGB(255, 140, 0);

// --- References: the mappings as written down, one pixel at a time ----------------------

// A source read with a stand-in outside a window.
struct Reader {
  const TBitmap& src;
  TRect win;
  TPixel24 bg;
  int At(int x, int y, int k) const {
    if (x >= win.Left && x < win.Right && y >= win.Top && y < win.Bottom) return Px(src, x, y)[k];
    return k == 0 ? bg.B : k == 1 ? bg.G : bg.R;
  }
};

uint8_t Clamp255(double v) { return uint8_t(std::clamp(v, 0.0, 255.0)); }

// The bilinear blend at the position (u, v) counted from (ox, oy): each column
// rounded, then the two columns.
void Bilinear(uint8_t* d, const Reader& r, double u, double v, int ox, int oy) {
  const double fu = std::floor(u), fv = std::floor(v);
  const int ix = int(fu) + ox, iy = int(fv) + oy;
  const double fx = u - fu, fy = v - fv;
  for (int k = 0; k < 3; ++k) {
    const double left = RoundHalfEven((1 - fy) * r.At(ix, iy, k) + fy * r.At(ix, iy + 1, k));
    const double right = RoundHalfEven((1 - fy) * r.At(ix + 1, iy, k) + fy * r.At(ix + 1, iy + 1, k));
    d[k] = Clamp255(RoundHalfEven((1 - fx) * left + fx * right));
  }
}

// The one-axis blend.
void Linear(uint8_t* d, const uint8_t* a, const uint8_t* b, double f) {
  for (int k = 0; k < 3; ++k) d[k] = Clamp255(RoundHalfEven((1 - f) * a[k] + f * b[k]));
}

void RefEmboss(const TBitmap& src, TBitmap& dst, int dir, int depth, TColor color, TRect rect) {
  if (dir < 0) return;
  ClipRectToBitmap(rect, dst);
  rect = IntersectRect(rect, GetBitmapRect(src));
  const int dxs[8] = {1, 1, 0, -1, -1, -1, 0, 1}, dys[8] = {0, -1, -1, -1, 0, 1, 1, 1};
  const int64_t dx = int64_t(dxs[std::min(dir, 7)]) * depth, dy = int64_t(dys[std::min(dir, 7)]) * depth;
  const TPixel24 c = ColorToPixel24(color);
  const uint8_t half[3] = {uint8_t(c.B >> 1), uint8_t(c.G >> 1), uint8_t(c.R >> 1)};
  for (int y = rect.Top; y < rect.Bottom; ++y)
    for (int x = rect.Left; x < rect.Right; ++x) {
      const uint8_t* p = Px(src, x, y);
      const bool in = x + dx >= rect.Left && x + dx < rect.Right && y + dy >= rect.Top && y + dy < rect.Bottom;
      const uint8_t* n = in ? Px(src, int(x + dx), int(y + dy)) : p;
      for (int k = 0; k < 3; ++k) Px(dst, x, y)[k] = uint8_t(std::clamp(p[k] + half[k] - n[k], 0, 255));
    }
}

// Positions are counted from the rect's corner, so that the spiral does not depend on
// where the rect lies.
void RefSpiral(const TBitmap& src, TBitmap& dst, bool cw, TRect rect, bool smooth, TColor bg, int n) {
  ClipRectToBitmap(rect, dst);
  if (rect.IsEmpty()) return;
  const double hx = rect.Width() / 2, hy = rect.Height() / 2;
  const double R = std::max(rect.Width(), rect.Height()) / 2;
  const double twist = (cw ? 1.0 : -1.0) * (double(n) * std::numbers::pi / 8);
  const Reader rd{src, GetBitmapRect(src), ColorToPixel24(bg)};
  for (int y = rect.Top; y < rect.Bottom; ++y)
    for (int x = rect.Left; x < rect.Right; ++x) {
      const double dx = (x - rect.Left) - hx, dy = (y - rect.Top) - hy;
      const double t = R > 0 ? std::sqrt(dx * dx + dy * dy) / R : 0.0;
      const double phi = t <= 1.0 ? (1.0 - t) * twist : 0.0;
      // r sin(theta + phi) and r cos(theta + phi), theta the angle of (dx, dy) from the y axis
      const double u = hx + (dx * std::cos(phi) + dy * std::sin(phi));
      const double v = hy + (dy * std::cos(phi) - dx * std::sin(phi));
      uint8_t* d = Px(dst, x, y);
      std::memcpy(d, &rd.bg.B, 3);
      const double sx = std::floor(u) + rect.Left, sy = std::floor(v) + rect.Top;
      if (!smooth) {
        if (sx >= 0 && sx < src.Width() && sy >= 0 && sy < src.Height()) std::memcpy(d, Px(src, int(sx), int(sy)), 3);
      } else if (sx >= -1 && sx <= src.Width() - 1 && sy >= -1 && sy <= src.Height() - 1) {
        Bilinear(d, rd, u, v, rect.Left, rect.Top);
      }
    }
}

void RefReflection(const TBitmap& src, TBitmap& dst, int n, int m, TColor color, TRect rect) {
  if (m == 0) return;
  ClipRectToBitmap(rect, src);
  rect = IntersectRect(rect, GetBitmapRect(dst));
  const int H = rect.Height();
  const double phase = double(n) * 2 * std::numbers::pi / m, k = H / 16.0;
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    const int d = y - rect.Top;
    const double off = std::sin(double(H - d) * 16 / (d + 1) + phase) * (d + 24) * k / H;
    const int64_t row = int64_t(y) + 1 + RoundHalfEven(off);
    for (int x = rect.Left; x < rect.Right; ++x) {
      if (row >= 0 && row < src.Height()) std::memcpy(Px(dst, x, y), Px(src, x, int(row)), 3);
      else ColorToPixel24(color, Px(dst, x, y));
    }
  }
}

void RefWave(const TBitmap& src, TBitmap& dst, int period, TRect rect, bool rows, int amp) {
  if (period < 1 || amp < 1) return;
  ClipRectToBitmap(rect, dst);
  for (int y = rect.Top; y < rect.Bottom; ++y)
    for (int x = rect.Left; x < rect.Right; ++x) {
      const int p = rows ? y : x, o = rows ? rect.Top : rect.Left;
      const int64_t s = RoundHalfEven(std::sin(double(p - o) / period * std::numbers::pi) * amp + p);
      const int64_t sx = rows ? x : s, sy = rows ? s : y;
      if (sx >= 0 && sx < src.Width() && sy >= 0 && sy < src.Height())
        std::memcpy(Px(dst, x, y), Px(src, int(sx), int(sy)), 3);
    }
}

// Both trapezia: line j of N (rows, or columns when vertical), position i along it.
void RefTrapezoid(const TBitmap& src, TBitmap& dst, int p1, TRect rect, bool smooth, TColor bg, int p2,
                  bool vertical) {
  if (p1 <= 0 || p2 <= 0) return;
  ClipRectToBitmap(rect, src);
  rect = IntersectRect(rect, GetBitmapRect(dst));
  if (rect.Width() < 2 || rect.Height() < 2) return;
  const TPixel24 b = ColorToPixel24(bg);
  const int L = vertical ? rect.Height() : rect.Width(), N = vertical ? rect.Width() : rect.Height();
  const int lo = vertical ? rect.Top : rect.Left;
  const int64_t w1 = int64_t(L) * p1 / 100, w2 = int64_t(L) * p2 / 100;
  for (int y = rect.Top; y < rect.Bottom; ++y)
    for (int x = rect.Left; x < rect.Right; ++x) {
      const int j = vertical ? x - rect.Left : y - rect.Top, i = vertical ? y : x;
      const double lineW = double(w2 - w1) * j / (N - 1) + double(w1);
      uint8_t* d = Px(dst, x, y);
      std::memcpy(d, &b.B, 3);
      if (lineW < 1) continue;
      const double margin = (L - lineW) / 2;
      const double s = (i - margin - lo) * L / lineW + lo;
      const double f0 = std::floor(s);
      auto at = [&](double k) -> const uint8_t* {
        if (k < lo || k >= lo + L) return &b.B;
        return vertical ? Px(src, x, int(k)) : Px(src, int(k), y);
      };
      if (!smooth) {
        if (f0 >= lo && f0 < lo + L) std::memcpy(d, at(f0), 3);
      } else if (f0 >= lo - 1 && f0 <= lo + L - 1) {
        Linear(d, at(f0), at(f0 + 1), s - f0);
      }
    }
}

TBitmap RefSkew(const TBitmap& src, int shift, bool smooth, TColor bg, bool reverse, bool vertical) {
  int64_t S = shift;
  if (S < 0) {
    S = -S;
    reverse = !reverse;
  }
  const int W = src.Width(), H = src.Height(), lines = vertical ? W : H;
  TBitmap out(vertical ? W : W + int(S), vertical ? H + int(S) : H, pf24bit, bg);
  const TPixel24 b = ColorToPixel24(bg);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      const int j = vertical ? x : y;
      const double off = double(S * (reverse ? lines - 1 - j : j)) / (lines - 1);
      const double s = (vertical ? y : x) - off;
      const int len = vertical ? H : W;
      const double f0 = std::floor(s);
      auto at = [&](double k) -> const uint8_t* {
        if (k < 0 || k >= len) return &b.B;
        return vertical ? Px(src, x, int(k)) : Px(src, int(k), y);
      };
      if (!smooth) {
        if (f0 >= 0 && f0 < len) std::memcpy(Px(out, x, y), at(f0), 3);
      } else if (f0 >= -1 && f0 <= len - 1) {
        Linear(Px(out, x, y), at(f0), at(f0 + 1), s - f0);
      }
    }
  return out;
}

void RefLens(const TBitmap& src, TBitmap& dst, TColor bg, TRect rect, double s) {
  ClipRectToBitmap(rect, dst);
  rect = IntersectRect(rect, GetBitmapRect(src));
  const int hx = rect.Width() / 2, hy = rect.Height() / 2;
  const double R = std::min(rect.Width(), rect.Height()) * s;
  const Reader rd{src, rect, ColorToPixel24(bg)};
  for (int y = rect.Top; y < rect.Bottom; ++y)
    for (int x = rect.Left; x < rect.Right; ++x) {
      uint8_t* d = Px(dst, x, y);
      std::memcpy(d, &rd.bg.B, 3);
      const double dx = x - rect.Left - hx, dy = y - rect.Top - hy;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (!(r < R)) continue;
      double u = hx, v = hy;  // from the rect's corner
      if (r > 0) {
        const double q = (1 / (1 - r / R) - 1) * (R / 2) * s;
        u = dx * q / r + hx;
        v = dy * q / r + hy;
      }
      const double sx = std::floor(u) + rect.Left, sy = std::floor(v) + rect.Top;
      if (sx >= rect.Left - 1 && sx <= rect.Right - 1 && sy >= rect.Top - 1 && sy <= rect.Bottom - 1)
        Bilinear(d, rd, u, v, rect.Left, rect.Top);
    }
}

// Runs f at 1 and at 8 threads and checks both give `expected`.
template <class F>
void AtBothThreadCounts(const TBitmap& expected, F f) {
  for (int threads : {1, 8}) {
    SetEngineThreads(threads);
    TBitmap got = f();
    EXPECT_TRUE(SameBitmaps(got, expected)) << "threads " << threads;
  }
  SetEngineThreads(0);
}

// --- Against the references ---------------------------------------------------------------

TEST(Distortion, EmbossMatchesReference) {
  Rng rng(1);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 40);
    const TBitmap src = RandomBitmap(w, h, 100 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 200 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int dir = rng.Int(-1, 9), depth = rng.Int(-6, 6);
    const TColor c = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    TBitmap want = dst0.Clone();
    RefEmboss(src, want, dir, depth, c, r);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      FilterEmboss(src, d, dir, depth, c, r);
      return d;
    });
  }
}

TEST(Distortion, SpiralMatchesReference) {
  Rng rng(2);
  for (int iter = 0; iter < 80; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 60);
    // Now and then a source of another size than the destination.
    const int sw = rng.Chance(20) ? rng.Int(1, 60) : w, sh = rng.Chance(20) ? rng.Int(1, 60) : h;
    const TBitmap src = RandomBitmap(sw, sh, 300 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 400 + iter);
    const TRect r = RandomRect(rng, w, h);
    const bool cw = rng.Chance(50), smooth = rng.Chance(60);
    const int n = rng.Int(-20, 20);
    TBitmap want = dst0.Clone();
    RefSpiral(src, want, cw, r, smooth, clTeal, n);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      DistortSpiral(src, d, cw, r, smooth, clTeal, n);
      return d;
    });
  }
}

TEST(Distortion, ReflectionMatchesReference) {
  Rng rng(3);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 40), h = rng.Int(1, 80);
    const TBitmap src = RandomBitmap(w, h, 500 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 600 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int n = rng.Int(-10, 10), m = rng.Int(-3, 12);
    TBitmap want = dst0.Clone();
    RefReflection(src, want, n, m, clOrange, r);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      FilterReflection(src, d, n, m, clOrange, r);
      return d;
    });
  }
}

TEST(Distortion, WaveMatchesReference) {
  Rng rng(4);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 50), h = rng.Int(1, 50);
    const TBitmap src = RandomBitmap(w, h, 700 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 800 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int period = rng.Int(-1, 12), amp = rng.Int(-1, 30);
    const bool rows = rng.Chance(50);
    TBitmap want = dst0.Clone();
    RefWave(src, want, period, r, rows, amp);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      DistortWave(src, d, period, r, rows, amp);
      return d;
    });
  }
}

TEST(Distortion, TrapeziaMatchReference) {
  Rng rng(5);
  for (int iter = 0; iter < 80; ++iter) {
    const int w = rng.Int(1, 50), h = rng.Int(1, 50);
    const TBitmap src = RandomBitmap(w, h, 900 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 1000 + iter);
    const TRect r = RandomRect(rng, w, h);
    const int p1 = rng.Int(-5, 250), p2 = rng.Int(-5, 250);
    const bool smooth = rng.Chance(50), vertical = rng.Chance(50);
    TBitmap want = dst0.Clone();
    RefTrapezoid(src, want, p1, r, smooth, clTeal, p2, vertical);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      (vertical ? DistortTrapezoidVertical : DistortTrapezoid)(src, d, p1, r, smooth, clTeal, p2);
      return d;
    });
  }
}

TEST(Distortion, WideTrapeziaMatchReference) {
  // Rows long enough for the eight-pixel blocks, squeezed and stretched, on a
  // destination larger than the source and from a rect that does not start at 0.
  const TBitmap src = RandomBitmap(420, 30, 31);
  const TBitmap dst0 = RandomBitmap(430, 33, 32);
  for (const auto& [p1, p2] : {std::pair{60, 100}, std::pair{100, 35}, std::pair{170, 90}})
    for (const TRect& r : {UnboundedRect, TRect{7, 2, 413, 29}}) {
      TBitmap want = dst0.Clone();
      RefTrapezoid(src, want, p1, r, true, clTeal, p2, false);
      AtBothThreadCounts(want, [&] {
        TBitmap d = dst0.Clone();
        DistortTrapezoid(src, d, p1, r, true, clTeal, p2);
        return d;
      });
    }
}

TEST(Distortion, SkewsMatchReference) {
  Rng rng(6);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(2, 40), h = rng.Int(2, 40);
    const TBitmap src = RandomBitmap(w, h, 1100 + iter);
    const int shift = rng.Int(-30, 30);
    if (shift == 0) continue;
    const bool smooth = rng.Chance(50), reverse = rng.Chance(50), vertical = rng.Chance(50);
    const TBitmap want = RefSkew(src, shift, smooth, clOrange, reverse, vertical);
    AtBothThreadCounts(want, [&] {
      TBitmap d = RandomBitmap(3, 3, 1);
      (vertical ? SkewVertical : SkewHorizontal)(src, d, shift, smooth, clOrange, reverse);
      return d;
    });
  }
}

TEST(Distortion, LensMatchesReference) {
  Rng rng(7);
  for (int iter = 0; iter < 80; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 60);
    const TBitmap src = RandomBitmap(w, h, 1200 + iter);
    const TBitmap dst0 = RandomBitmap(w, h, 1300 + iter);
    const TRect r = RandomRect(rng, w, h);
    const double s = 1.33 - (rng.Int(-2, 22) + 3) / 20.0;
    TBitmap want = dst0.Clone();
    RefLens(src, want, clTeal, r, s);
    AtBothThreadCounts(want, [&] {
      TBitmap d = dst0.Clone();
      DistortLens(src, d, clTeal, r, s);
      return d;
    });
  }
}

// A whole photo-sized row or two: the vector paths of the sampling against the reference
// over many pixels.
TEST(Distortion, SpiralAndLensOnALargerPicture) {
  const TBitmap src = RandomBitmap(300, 220, 77);
  for (bool smooth : {false, true}) {
    TBitmap want = src.Clone(), got = src.Clone();
    RefSpiral(src, want, true, UnboundedRect, smooth, clTeal, 9);
    DistortSpiral(src, got, true, UnboundedRect, smooth, clTeal, 9);
    EXPECT_TRUE(SameBitmaps(got, want));
  }
  TBitmap want = src.Clone(), got = src.Clone();
  RefLens(src, want, clTeal, TRect{10, 5, 290, 215}, 1.33 - 8 / 20.0);
  DistortLens(src, got, clTeal, TRect{10, 5, 290, 215}, 1.33 - 8 / 20.0);
  EXPECT_TRUE(SameBitmaps(got, want));
}

// --- Properties ---------------------------------------------------------------------------

TEST(Distortion, NeutralParametersLeaveThePixels) {
  const TBitmap src = RandomBitmap(37, 29, 11);
  const TRect r{3, 2, 31, 27};
  for (bool smooth : {false, true}) {
    TBitmap d = RandomBitmap(37, 29, 12);
    const TBitmap before = d.Clone();
    DistortSpiral(src, d, true, r, smooth, clTeal, 0);  // zero angle: a copy of the rect
    EXPECT_TRUE(SameOutside(d, before, r));
    for (int y = r.Top; y < r.Bottom; ++y) EXPECT_EQ(0, std::memcmp(Px(d, r.Left, y), Px(src, r.Left, y), 3 * 28));
  }
  for (int period : {0, 1, 5})
    for (int amp : {0, period == 0 ? 3 : 0}) {  // zero amplitude or zero period
      TBitmap d = RandomBitmap(37, 29, 13);
      const TBitmap before = d.Clone();
      DistortWave(src, d, period, r, true, amp);
      DistortWave(src, d, period, r, false, amp);
      EXPECT_TRUE(SameBitmaps(d, before));
    }
  for (bool smooth : {false, true})
    for (bool vertical : {false, true}) {
      TBitmap d = RandomBitmap(37, 29, 14);
      const TBitmap before = d.Clone();
      (vertical ? DistortTrapezoidVertical : DistortTrapezoid)(src, d, 100, r, smooth, clTeal, 100);
      EXPECT_TRUE(SameOutside(d, before, r));
      for (int y = r.Top; y < r.Bottom; ++y) EXPECT_EQ(0, std::memcmp(Px(d, r.Left, y), Px(src, r.Left, y), 3 * 28));
    }
  for (bool vertical : {false, true}) {  // zero skew
    TBitmap d = RandomBitmap(5, 4, 15);
    const TBitmap before = d.Clone();
    (vertical ? SkewVertical : SkewHorizontal)(src, d, 0, true, clTeal, false);
    EXPECT_TRUE(SameBitmaps(d, before));
  }
}

TEST(Distortion, SpiralCentreAndOutsideTheRadius) {
  const TBitmap src = RandomBitmap(41, 21, 21);
  TBitmap d = RandomBitmap(41, 21, 22);
  DistortSpiral(src, d, false, UnboundedRect, true, clTeal, 6);
  // Centre (20, 10) maps to itself; R = 20, so the corners (farther than 20) are copies.
  EXPECT_EQ(0, std::memcmp(Px(d, 20, 10), Px(src, 20, 10), 3));
  for (TPoint p : {TPoint{0, 0}, TPoint{40, 0}, TPoint{0, 20}, TPoint{40, 20}, TPoint{2, 1}})
    EXPECT_EQ(0, std::memcmp(Px(d, p.X, p.Y), Px(src, p.X, p.Y), 3)) << p.X << "," << p.Y;
}

// The twist depends on the selection's shape only: the same spiral on a moved selection is
// the spiral at the origin, moved.
TEST(Distortion, SpiralOnAMovedSelectionIsTheSameSpiral) {
  for (bool smooth : {false, true}) {
    // A square selection reads inside its own inscribed circle only (plus the column and
    // row after it), so the pictures need to agree from the corner on.
    const TBitmap big = RandomBitmap(120, 90, 31);
    const int ox = 47, oy = 33, side = 36;
    TBitmap atOrigin(big.Width() - ox, big.Height() - oy, pf24bit);
    CopyBitmapRegion(big, atOrigin, TRect{ox, oy, big.Width(), big.Height()});
    TBitmap moved = big.Clone(), origin = atOrigin.Clone();
    DistortSpiral(big, moved, true, Bounds(ox, oy, side, side), smooth, clTeal, 7);
    DistortSpiral(atOrigin, origin, true, Bounds(0, 0, side, side), smooth, clTeal, 7);
    for (int y = 0; y < side; ++y)
      ASSERT_EQ(0, std::memcmp(Px(moved, ox, oy + y), Px(origin, 0, y), size_t(side) * 3)) << "row " << y;
  }
  // A wide selection with the background all around it in both pictures.
  for (bool smooth : {false, true}) {
    const TBitmap content = RandomBitmap(50, 20, 32);
    const int ox = 61, oy = 17;
    TBitmap big(200, 100, pf24bit, clTeal), small(120, 70, pf24bit, clTeal);
    CopyBitmapRect(content, GetBitmapRect(content), big, ox, oy, UnboundedRect);
    CopyBitmapRect(content, GetBitmapRect(content), small, 0, 0, UnboundedRect);
    TBitmap moved = big.Clone(), origin = small.Clone();
    DistortSpiral(big, moved, false, Bounds(ox, oy, 50, 20), smooth, clTeal, 11);
    DistortSpiral(small, origin, false, Bounds(0, 0, 50, 20), smooth, clTeal, 11);
    for (int y = 0; y < 20; ++y)
      ASSERT_EQ(0, std::memcmp(Px(moved, ox, oy + y), Px(origin, 0, y), 50 * 3)) << "row " << y;
  }
}

TEST(Distortion, TrapeziumHalfTopEdge) {
  TBitmap src(40, 10, pf24bit, clOrange);
  TBitmap d(40, 10, pf24bit, clBlack);
  DistortTrapezoid(src, d, 50, UnboundedRect, false, clTeal, 100);
  // Top row: 20 pixels centred, background on both sides.
  EXPECT_EQ(Pixel24ToColor(Px(d, 9, 0)), clTeal);
  EXPECT_EQ(Pixel24ToColor(Px(d, 10, 0)), clOrange);
  EXPECT_EQ(Pixel24ToColor(Px(d, 29, 0)), clOrange);
  EXPECT_EQ(Pixel24ToColor(Px(d, 30, 0)), clTeal);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(Pixel24ToColor(Px(d, x, 9)), clOrange);
}

// One pixel high (or wide) would divide by zero: nothing happens; narrower than a pixel
// stays background.
TEST(Distortion, DegenerateTrapeziaAndSkews) {
  const TBitmap src = RandomBitmap(30, 20, 41);
  for (bool vertical : {false, true}) {
    TBitmap d = RandomBitmap(30, 20, 42);
    const TBitmap before = d.Clone();
    const TRect thin = vertical ? TRect{5, 2, 6, 18} : TRect{2, 5, 28, 6};
    (vertical ? DistortTrapezoidVertical : DistortTrapezoid)(src, d, 40, thin, true, clTeal, 70);
    EXPECT_TRUE(SameBitmaps(d, before));
  }
  TBitmap d = RandomBitmap(30, 20, 43);
  DistortTrapezoid(src, d, 1, TRect{0, 0, 30, 20}, true, clTeal, 1);  // 30 * 1 div 100 = 0
  for (int x = 0; x < 30; ++x) EXPECT_EQ(Pixel24ToColor(Px(d, x, 0)), clTeal);
  for (bool vertical : {false, true}) {
    const TBitmap line = RandomBitmap(vertical ? 1 : 25, vertical ? 25 : 1, 44);
    TBitmap out = RandomBitmap(4, 4, 45);
    const TBitmap before = out.Clone();
    (vertical ? SkewVertical : SkewHorizontal)(line, out, 7, true, clTeal, false);
    EXPECT_TRUE(SameBitmaps(out, before));
  }
}

TEST(Distortion, SkewSizeAndSign) {
  const TBitmap src = RandomBitmap(20, 15, 51);
  TBitmap a, b;
  SkewHorizontal(src, a, -10, true, clTeal, false);
  SkewHorizontal(src, b, 10, true, clTeal, true);
  EXPECT_EQ(a.Width(), 30);
  EXPECT_EQ(a.Height(), 15);
  EXPECT_TRUE(SameBitmaps(a, b));
  SkewVertical(src, a, -4, false, clTeal, true);
  SkewVertical(src, b, 4, false, clTeal, false);
  EXPECT_EQ(a.Height(), 19);
  EXPECT_TRUE(SameBitmaps(a, b));
  // A 4-bit source is converted, and the source is left alone.
  TBitmap four = RandomBitmap(9, 6, 52, pf4bit);
  const TBitmap fourBefore = four.Clone();
  SkewHorizontal(four, a, 3, false, clTeal, false);
  EXPECT_EQ(a.PixelFormat(), pf24bit);
  EXPECT_EQ(a.Width(), 12);
  EXPECT_TRUE(SameBitmaps(four, fourBefore));
}

TEST(Distortion, LensCentreAndRadius) {
  const TBitmap src = RandomBitmap(20, 20, 61);
  TBitmap d = RandomBitmap(20, 20, 62);
  DistortLens(src, d, clTeal, UnboundedRect, 0.5);  // R = 10 exactly
  EXPECT_EQ(0, std::memcmp(Px(d, 10, 10), Px(src, 10, 10), 3));
  // r = R: (0, 10) is 10 to the left of the centre; (16, 2) is (6, -8) from it.
  EXPECT_EQ(Pixel24ToColor(Px(d, 0, 10)), clTeal);
  EXPECT_EQ(Pixel24ToColor(Px(d, 16, 2)), clTeal);
  EXPECT_EQ(Pixel24ToColor(Px(d, 0, 0)), clTeal);
}

TEST(Distortion, EmbossOfAUniformAreaIsHalfTheColour) {
  TBitmap src(12, 9, pf24bit, RGB(200, 50, 7)), d(12, 9, pf24bit, clBlack);
  FilterEmboss(src, d, 7, 3, 0x999999, UnboundedRect);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(Pixel24ToColor(Px(d, x, y)), RGB(76, 76, 76));
}

// The in-place forms read a copy: they equal the two-bitmap forms run from a copy, and a
// routine given the same bitmap twice behaves the same.
TEST(Distortion, InPlaceFormsReadACopy) {
  const TBitmap orig = RandomBitmap(45, 33, 71);
  const TRect r{4, 3, 40, 30};
  auto check = [&](auto twoBitmaps, auto inPlace) {
    TBitmap want = orig.Clone(), got = orig.Clone(), same = orig.Clone();
    twoBitmaps(orig, want);
    inPlace(got);
    twoBitmaps(same, same);
    EXPECT_TRUE(SameBitmaps(got, want));
    EXPECT_TRUE(SameBitmaps(same, want));
  };
  check([&](const TBitmap& s, TBitmap& d) { DistortSpiral(s, d, true, r, true, clTeal, 5); },
        [&](TBitmap& b) { DistortSpiralInPlace(b, true, 5, r, true, clTeal); });
  check([&](const TBitmap& s, TBitmap& d) { DistortWave(s, d, 3, r, false, 6); },
        [&](TBitmap& b) { DistortWaveInPlace(b, 3, 6, r, false); });
  check([&](const TBitmap& s, TBitmap& d) { DistortWave(s, d, 3, r, true, 6); },
        [&](TBitmap& b) { DistortWaveInPlace(b, 3, 6, r, true); });
  check([&](const TBitmap& s, TBitmap& d) { DistortTrapezoid(s, d, 30, r, true, clTeal, 120); },
        [&](TBitmap& b) { DistortTrapezoidInPlace(b, 30, r, true, clTeal, 120); });
  check([&](const TBitmap& s, TBitmap& d) { DistortTrapezoidVertical(s, d, 30, r, false, clTeal, 120); },
        [&](TBitmap& b) { DistortTrapezoidVerticalInPlace(b, 30, r, false, clTeal, 120); });
  check([&](const TBitmap& s, TBitmap& d) { SkewHorizontal(s, d, -9, true, clTeal, false); },
        [&](TBitmap& b) { SkewHorizontalInPlace(b, -9, true, clTeal, false); });
  check([&](const TBitmap& s, TBitmap& d) { SkewVertical(s, d, 6, true, clTeal, true); },
        [&](TBitmap& b) { SkewVerticalInPlace(b, 6, true, clTeal, true); });
  check([&](const TBitmap& s, TBitmap& d) { DistortLens(s, d, clTeal, r, 0.8); },
        [&](TBitmap& b) { DistortLensInPlace(b, clTeal, r, 0.8); });
  check([&](const TBitmap& s, TBitmap& d) { FilterEmboss(s, d, 2, 3, clOrange, r); }, [&](TBitmap& b) {
    const TBitmap c = b.Clone();
    FilterEmboss(c, b, 2, 3, clOrange, r);
  });
}

// Extreme parameters: nothing undefined (the sanitizers watch), and nothing outside the
// rect is written.
TEST(Distortion, ParameterSweepStaysInBounds) {
  const int kInts[] = {INT32_MIN, -1000000, -17, -1, 0, 1, 2, 4, 16, 99, 100, 101, 1000000, INT32_MAX};
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const double kReals[] = {nan, -inf, -1e300, -1.0, 0.0, 1e-300, 0.1, 0.33, 1.0, 1.33, 7.0, 1e300, inf};
  const TRect kRects[] = {UnboundedRect, TRect{0, 0, 1, 1}, TRect{3, 2, 5, 4}, TRect{1, 1, 22, 2},
                          TRect{1, 1, 2, 16}, TRect{-50, 5, 60, 9}, TRect{20, 14, 3, 2}};
  const TBitmap src = RandomBitmap(23, 17, 81);
  const TBitmap small = RandomBitmap(5, 4, 82);
  for (const TRect& r : kRects) {
    TRect clip = r;
    ClipRectToBitmap(clip, src);
    auto run = [&](auto f) {
      for (const TBitmap* s : {&src, &small}) {
        TBitmap d = RandomBitmap(23, 17, 83);
        const TBitmap before = d.Clone();
        f(*s, d);
        EXPECT_TRUE(SameOutside(d, before, clip));
      }
    };
    for (int a : kInts)
      for (int b : {INT32_MIN, -3, 0, 1, 5, 100, INT32_MAX}) {
        run([&](const TBitmap& s, TBitmap& d) { FilterEmboss(s, d, a, b, clOrange, r); });
        run([&](const TBitmap& s, TBitmap& d) { DistortSpiral(s, d, b > 0, r, b != 0, clTeal, a); });
        run([&](const TBitmap& s, TBitmap& d) { FilterReflection(s, d, a, b, clTeal, r); });
        run([&](const TBitmap& s, TBitmap& d) { DistortWave(s, d, a, r, b > 0, b); });
        run([&](const TBitmap& s, TBitmap& d) { DistortTrapezoid(s, d, a, r, b > 0, clTeal, b); });
        run([&](const TBitmap& s, TBitmap& d) { DistortTrapezoidVertical(s, d, b, r, a > 0, clTeal, a); });
      }
    for (double s : kReals) run([&](const TBitmap& src2, TBitmap& d) { DistortLens(src2, d, clTeal, r, s); });
  }
  for (int a : kInts)
    for (bool smooth : {false, true}) {
      TBitmap d;
      SkewHorizontal(src, d, a, smooth, clTeal, false);
      SkewVertical(small, d, a, smooth, clTeal, true);
    }
}

}  // namespace
