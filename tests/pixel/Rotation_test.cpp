#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "pixel/ImgUtils.h"
#include "pixel/Rotation.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor clRed = RGB(255, 0, 0), clBlue = RGB(0, 0, 255), clLime = RGB(0, 255, 0),
                 clGray = RGB(128, 128, 128);

// The rotation as written down, one pixel at a time: each destination pixel's centre
// turned back into the source.
TBitmap ReferenceRotate(const TBitmap& src, double degrees, bool smooth, bool enlarge, TColor bg) {
  const int W = src.Width(), H = src.Height();
  const double r = -std::fmod(degrees, 360.0) * std::numbers::pi / 180.0;
  const double c = std::cos(r), s = std::sin(r);
  const int W2 = enlarge ? std::abs(RoundHalfEven(H * s)) + std::abs(RoundHalfEven(W * c)) : W;
  const int H2 = enlarge ? std::abs(RoundHalfEven(W * s)) + std::abs(RoundHalfEven(H * c)) : H;
  TBitmap out(W2, H2, pf24bit, bg);
  const TPixel24 b = ColorToPixel24(bg);
  auto v = [&](int x, int y, int k) -> int {
    if (x >= 0 && x < W && y >= 0 && y < H) return Px(src, x, y)[k];
    return k == 0 ? b.B : k == 1 ? b.G : b.R;
  };
  for (int y = 0; y < H2; ++y)
    for (int x = 0; x < W2; ++x) {
      const double dx = (x + 0.5) - W2 / 2.0, dy = (y + 0.5) - H2 / 2.0;
      const double fx = dx * c - dy * s + W / 2.0, fy = dx * s + dy * c + H / 2.0;
      uint8_t* d = Px(out, x, y);
      if (!smooth) {
        const double ix = std::floor(fx), iy = std::floor(fy);
        if (ix >= 0 && ix < W && iy >= 0 && iy < H) std::memcpy(d, Px(src, int(ix), int(iy)), 3);
        continue;
      }
      const double u = fx - 0.5, w = fy - 0.5;
      const double fu = std::floor(u), fw = std::floor(w);
      if (!(fu >= -1 && fu <= W - 1 && fw >= -1 && fw <= H - 1)) continue;
      const int ix = int(fu), iy = int(fw);
      const double wx = u - fu, wy = w - fw;
      for (int k = 0; k < 3; ++k) {
        const double left = RoundHalfEven((1 - wy) * v(ix, iy, k) + wy * v(ix, iy + 1, k));
        const double right = RoundHalfEven((1 - wy) * v(ix + 1, iy, k) + wy * v(ix + 1, iy + 1, k));
        d[k] = uint8_t(std::clamp(RoundHalfEven((1 - wx) * left + wx * right), 0, 255));
      }
    }
  return out;
}

TBitmap Turned90(const TBitmap& src, bool cw) {
  TBitmap out;
  RotateBitmap90To(src, out, cw);
  return out;
}

}  // namespace

TEST(Rotation, QuarterTurnsMoveEveryPixelWhereTheyShould) {
  TBitmap s(3, 2, pf24bit, clBlack);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) s.SetPixel(x, y, RGB(x, y, 7));
  const TBitmap cw = Turned90(s, true), ccw = Turned90(s, false);
  ASSERT_EQ(cw.Width(), 2);
  ASSERT_EQ(cw.Height(), 3);
  EXPECT_EQ(cw.GetPixel(0, 0), s.GetPixel(0, 1));  // the bottom-left comes to the top-left
  Rng rng(3);
  for (int iter = 0; iter < 14; ++iter) {
    // the last two are large enough to be shared among threads
    const int W = iter < 12 ? rng.Int(1, 150) : 700 + iter, H = iter < 12 ? rng.Int(1, 150) : 500 - iter;
    const TBitmap a = RandomBitmap(W, H, uint32_t(iter));
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      const TBitmap c = Turned90(a, true), d = Turned90(a, false);
      ASSERT_EQ(c.Width(), H);
      ASSERT_EQ(c.Height(), W);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          ASSERT_EQ(c.GetPixel(H - 1 - y, x), a.GetPixel(x, y));
          ASSERT_EQ(d.GetPixel(y, W - 1 - x), a.GetPixel(x, y));
        }
      TBitmap e = a.Clone();
      RotateBitmap90(e, true);
      ASSERT_TRUE(SameBitmaps(e, c));
      RotateBitmap90To(e, e, false);  // onto itself: back where it was
      ASSERT_TRUE(SameBitmaps(e, a));
    }
  }
  SetEngineThreads(0);
}

TEST(Rotation, MultiplesOfNinetyDegreesAreTheExactTurns) {
  const TBitmap a = RandomBitmap(40, 20, 9);
  TBitmap half = a.Clone();
  RotateBitmap180(half);
  for (bool smooth : {false, true}) {
    TBitmap d;
    RotateBitmapAngleTo(a, d, smooth, 90, true, clRed);
    EXPECT_TRUE(SameBitmaps(d, Turned90(a, true)));
    RotateBitmapAngleTo(a, d, smooth, -90, true, clRed);
    EXPECT_TRUE(SameBitmaps(d, Turned90(a, false)));
    RotateBitmapAngleTo(a, d, smooth, 450, true, clRed);
    EXPECT_TRUE(SameBitmaps(d, Turned90(a, true)));
    RotateBitmapAngleTo(a, d, smooth, 270, true, clRed);
    EXPECT_TRUE(SameBitmaps(d, Turned90(a, false)));
    RotateBitmapAngleTo(a, d, smooth, 180, true, clRed);
    EXPECT_TRUE(SameBitmaps(d, half));
    RotateBitmapAngleTo(a, d, smooth, -180, false, clRed);
    EXPECT_TRUE(SameBitmaps(d, half));
    RotateBitmapAngleTo(a, d, smooth, 360, false, clRed);
    EXPECT_TRUE(SameBitmaps(d, a));
    // In a frame of the source's size the turned picture is centred, the rest background.
    RotateBitmapAngleTo(a, d, smooth, 90, false, clRed);
    ASSERT_EQ(d.Width(), 40);
    ASSERT_EQ(d.Height(), 20);
    const TBitmap t = Turned90(a, true);  // 20 x 40, placed at (10, -10)
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(d.GetPixel(x, y), x >= 10 && x < 30 ? t.GetPixel(x - 10, y + 10) : clRed) << x << ", " << y;
  }
  TBitmap sq = RandomBitmap(17, 17, 2), e = sq.Clone();
  RotateBitmapAngle(sq, true, false, 90, clBlack);
  RotateBitmap90(e, true);
  EXPECT_TRUE(SameBitmaps(sq, e));
}

TEST(Rotation, AnyAngleMatchesTheReferenceAtAnyThreadCount) {
  Rng rng(21);
  for (int iter = 0; iter < 40; ++iter) {
    const int W = rng.Int(1, 70), H = rng.Int(1, 70);
    const TBitmap a = RandomBitmap(W, H, uint32_t(iter) + 100);
    const double deg = rng.Int(-72000, 72000) / 100.0 + (iter % 5 == 0 ? 0.5 : 0.0);
    const bool smooth = iter % 2 == 0, enlarge = iter % 3 != 0;
    if (std::fmod(deg, 90.0) == 0) continue;
    const TColor bg = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
    const TBitmap expected = ReferenceRotate(a, deg, smooth, enlarge, bg);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap d(3, 3, pf8bit);  // any shape and format beforehand
      RotateBitmapAngleTo(a, d, smooth, deg, enlarge, bg);
      ASSERT_TRUE(SameBitmaps(d, expected)) << "iteration " << iter << " angle " << deg << " threads " << threads;
    }
  }
  // Hair's breadths off a quarter turn: source edges almost parallel to the rows.
  for (double deg : {90.00000000001, -0.0000000001, 180.0000000003, 269.99999999999}) {
    const TBitmap a = RandomBitmap(31, 17, 4);
    for (bool smooth : {false, true})
      for (bool enlarge : {false, true}) {
        TBitmap d;
        RotateBitmapAngleTo(a, d, smooth, deg, enlarge, clLime);
        ASSERT_TRUE(SameBitmaps(d, ReferenceRotate(a, deg, smooth, enlarge, clLime))) << deg;
      }
  }
  // Large enough for the row split and for reusing a destination of the right shape.
  const TBitmap big = RandomBitmap(700, 500, 1);
  for (bool smooth : {false, true}) {
    const TBitmap expected = ReferenceRotate(big, 17, smooth, true, clBlue);
    TBitmap d = expected.Clone();
    d.FillRect(TRect{0, 0, 9999, 9999}, clLime);
    SetEngineThreads(8);
    RotateBitmapAngleTo(big, d, smooth, 17, true, clBlue);
    SetEngineThreads(0);
    EXPECT_TRUE(SameBitmaps(d, expected));
  }
}

TEST(Rotation, SizesBordersAndUntouchedCases) {
  const TBitmap a = RandomBitmap(40, 20, 5);
  TBitmap d;
  RotateBitmapAngleTo(a, d, false, 30, true, clBlack);
  EXPECT_EQ(d.Width(), 10 + 35);   // |round(20 sin)| + |round(40 cos)|
  EXPECT_EQ(d.Height(), 20 + 17);  // |round(40 sin)| + |round(20 cos)|
  EXPECT_EQ(d.PixelFormat(), pf24bit);
  EXPECT_EQ(d.GetPixel(0, 0), clBlack);
  // Nothing at all for 0, for an angle that is not a number, or for a frame too large.
  TBitmap keep = RandomBitmap(5, 4, 1);
  const TBitmap before = keep.Clone();
  RotateBitmapAngleTo(a, keep, true, 0, true, clWhite);
  RotateBitmapAngleTo(a, keep, true, std::numeric_limits<double>::quiet_NaN(), true, clWhite);
  RotateBitmapAngleTo(a, keep, true, std::numeric_limits<double>::infinity(), false, clWhite);
  RotateBitmapAngle(keep, true, true, 0, clWhite);
  EXPECT_TRUE(SameBitmaps(keep, before));
  // Smoothing mixes the picture's edge with the background.
  const TBitmap white(30, 30, pf24bit, clWhite);
  RotateBitmapAngleTo(white, d, true, 10, true, clBlack);
  int mixed = 0;
  for (int y = 0; y < d.Height(); ++y)
    for (int x = 0; x < d.Width(); ++x) {
      const TColor c = d.GetPixel(x, y);
      mixed += c != clWhite && c != clBlack;
    }
  EXPECT_GT(mixed, 60);
  // A source of another format is read, not changed.
  TBitmap pal = RandomBitmap(9, 7, 3, pf8bit);
  const TBitmap palBefore = pal.Clone();
  RotateBitmapAngleTo(pal, d, true, 33, false, clBlack);
  EXPECT_TRUE(SameBitmaps(pal, palBefore));
  EXPECT_EQ(d.PixelFormat(), pf24bit);
  // In place equals into another bitmap.
  TBitmap inPlace = a.Clone();
  RotateBitmapAngle(inPlace, true, true, -41.5, clGray);
  TBitmap other;
  RotateBitmapAngleTo(a, other, true, -41.5, true, clGray);
  EXPECT_TRUE(SameBitmaps(inPlace, other));
  // An empty source gives a frame of background.
  TBitmap empty;
  RotateBitmapAngleTo(empty, d, true, 45, false, clRed);
  EXPECT_TRUE(d.Empty());
}

TEST(Rotation, RotatePointInFrameFollowsTheBitmap) {
  TPoint p;
  RotatePointInFrame(TPoint{20, 10}, 40, 20, 90, 20, 40, p);  // the centre
  EXPECT_EQ(p, (TPoint{10, 20}));
  RotatePointInFrame(TPoint{0, 0}, 40, 20, 90, 20, 40, p);  // clockwise: top-left to top-right
  EXPECT_EQ(p, (TPoint{20, 0}));
  RotatePointInFrame(TPoint{0, 0}, 40, 20, -90, 20, 40, p);
  EXPECT_EQ(p, (TPoint{0, 40}));
  RotatePointInFrame(TPoint{3, 4}, 10, 10, 180, 10, 10, p);
  EXPECT_EQ(p, (TPoint{7, 6}));
  // Turned clockwise, a pixel's lower-left corner becomes its upper-left one.
  const TBitmap a = RandomBitmap(7, 5, 1);
  const TBitmap t = Turned90(a, true);
  RotatePointInFrame(TPoint{2, 3 + 1}, 7, 5, 90, 5, 7, p);
  EXPECT_EQ(t.GetPixel(p.X, p.Y), a.GetPixel(2, 3));
}
