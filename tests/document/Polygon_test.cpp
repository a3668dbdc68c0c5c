#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "document/Polygon.h"
#include "document/ShapeTestImages.h"
#include "document/Shapes.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

TPolygon24 Poly(std::initializer_list<TPoint> pts) {
  TPolygon24 p;
  for (const TPoint& q : pts) p.AddPoint(q);
  return p;
}

bool Black(const TBitmap& b, int x, int y) { return Px(b, x, y)[0] == 0 && Px(b, x, y)[2] == 0; }

// A random convex polygon: points on an ellipse at increasing angles.
TPolygon24 RandomConvex(Rng& rng, int w, int h) {
  const int n = rng.Int(3, 12);
  std::vector<double> angles;
  for (int i = 0; i < n; ++i) angles.push_back(rng.Int(0, 35999) / 100.0);
  std::sort(angles.begin(), angles.end());
  const double cx = rng.Int(-w / 4, w + w / 4), cy = rng.Int(-h / 4, h + h / 4);
  const double rx = rng.Int(1, w), ry = rng.Int(1, h);
  TPolygon24 p;
  for (double a : angles) {
    const double t = a * M_PI / 180;
    p.AddPoint(TPoint{RoundHalfEven(cx + rx * std::cos(t)), RoundHalfEven(cy + ry * std::sin(t))});
  }
  return p;
}

// Lines as the textbook draws them, step by step from the first point, for the
// closed forms to match.
void ReferenceLine(TBitmap& bmp, const TRect& clip, TPoint a, TPoint b, bool last, bool antialias,
                   TColor color) {
  const int64_t dx = int64_t(b.X) - a.X, dy = int64_t(b.Y) - a.Y;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx, n = std::llabs(dMaj);
  const int sMaj = dMaj < 0 ? -1 : 1, sMin = dMin < 0 ? -1 : 1;
  uint8_t px[3];
  ColorToPixel24(color, px);
  auto plot = [&](int64_t maj, int64_t mnr, int percent) {
    const int64_t x = xMajor ? maj : mnr, y = xMajor ? mnr : maj;
    if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom || percent <= 0) return;
    BlendPixel(Px(bmp, int(x), int(y)), px, percent);
  };
  const int64_t steps = last ? n : n - 1;
  const int64_t maj0 = xMajor ? a.X : a.Y, min0 = xMajor ? a.Y : a.X;
  if (!antialias || dMin == 0) {
    int64_t err = n, off = 0;  // half a step, in units of 1 / (2 n)
    for (int64_t k = 0; k <= steps; ++k) {
      plot(maj0 + sMaj * k, min0 + sMin * off, 100);
      err += 2 * std::llabs(dMin);
      while (n > 0 && err >= 2 * n) err -= 2 * n, ++off;
    }
    return;
  }
  const int64_t g = dMin * 65536 / n;
  int64_t acc = 0;
  for (int64_t k = 0; k <= steps; ++k, acc += g) {
    if (k == 0) {
      plot(maj0, min0, 100);
      continue;
    }
    const int64_t whole = DivFloor(acc, 65536);
    const int f = int((acc - whole * 65536) >> 8);
    plot(maj0 + sMaj * k, min0 + whole, LineIntensityTable()[f ^ 255] * 100 / 255);
    plot(maj0 + sMaj * k, min0 + whole + 1, LineIntensityTable()[f] * 100 / 255);
  }
}

}  // namespace

TEST(PolygonFill, CoversTheBoundaryOfARectangle) {
  TBitmap b(20, 16, pf24bit, clWhite);
  Poly({{3, 2}, {12, 2}, {12, 9}, {3, 9}}).Fill(b, clBlack);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(Black(b, x, y), x >= 3 && x <= 12 && y >= 2 && y <= 9) << x << "," << y;
  // the other orientation, and a polygon of one row or column
  TBitmap c(20, 16, pf24bit, clWhite);
  Poly({{3, 2}, {3, 9}, {12, 9}, {12, 2}}).Fill(c, clBlack);
  EXPECT_TRUE(SameBitmaps(b, c));
  TBitmap d(20, 16, pf24bit, clWhite);
  Poly({{5, 1}, {5, 6}, {5, 3}}).Fill(d, clBlack);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) EXPECT_EQ(Black(d, x, y), x == 5 && y >= 1 && y <= 6);
}

TEST(PolygonFill, RulesAgreeOnConvexPolygonsAndDifferOnAStar) {
  Rng rng(11);
  for (int iter = 0; iter < 200; ++iter) {
    const int w = rng.Int(1, 80), h = rng.Int(1, 80);
    TPolygon24 p = RandomConvex(rng, w, h);
    TBitmap a(w, h, pf24bit, clWhite), b(w, h, pf24bit, clWhite);
    p.Fill(a, clBlack);
    p.Winding = 1;
    p.Fill(b, clBlack);
    ASSERT_TRUE(SameBitmaps(a, b)) << iter;
  }
  // a five-pointed star drawn in one stroke crosses itself around its centre
  TPolygon24 star;
  for (int i = 0; i < 5; ++i) {
    const double t = (-90 + i * 144) * M_PI / 180;
    star.AddPoint(TPoint{RoundHalfEven(50 + 45 * std::cos(t)), RoundHalfEven(50 + 45 * std::sin(t))});
  }
  TBitmap eo(100, 100, pf24bit, clWhite), nz(100, 100, pf24bit, clWhite);
  star.Fill(eo, clBlack);
  star.Winding = 1;
  star.Fill(nz, clBlack);
  EXPECT_FALSE(Black(eo, 50, 52));
  EXPECT_TRUE(Black(nz, 50, 52));
  EXPECT_TRUE(Black(eo, 50, 12));  // the points are filled by both
  EXPECT_TRUE(Black(nz, 50, 12));
}

TEST(PolygonFill, MatchesTheGeometryAwayFromTheEdge) {
  // every pixel more than one pixel away from the outline is filled exactly when its
  // position lies inside (even-odd), however the polygon crosses itself
  auto nearOutline = [](const std::vector<TPoint>& pts, double x, double y) {
    for (size_t i = 0; i < pts.size(); ++i) {
      const TPoint a = pts[i], b = pts[(i + 1) % pts.size()];
      const double dx = b.X - a.X, dy = b.Y - a.Y, len2 = dx * dx + dy * dy;
      const double t = len2 == 0 ? 0 : std::clamp(((x - a.X) * dx + (y - a.Y) * dy) / len2, 0.0, 1.0);
      const double ex = a.X + t * dx - x, ey = a.Y + t * dy - y;
      if (ex * ex + ey * ey <= 1.0) return true;
    }
    return false;
  };
  Rng rng(5);
  for (int iter = 0; iter < 150; ++iter) {
    const int w = rng.Int(2, 90), h = rng.Int(2, 90);
    TPolygon24 p;
    p.Winding = uint8_t(iter % 2);
    const int n = rng.Int(3, 9);
    std::vector<TPoint> pts;
    for (int i = 0; i < n; ++i) pts.push_back(TPoint{rng.Int(-10, w + 10), rng.Int(-10, h + 10)});
    p.AddPoints(pts.data(), n);
    TBitmap got(w, h, pf24bit, clWhite);
    p.Fill(got, clBlack);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (nearOutline(pts, x, y)) continue;
        bool inside = PointInPolygon(pts.data(), n, TPoint{x, y});
        if (p.Winding) {  // non-zero: count the signed crossings of a ray to the right
          int wn = 0;
          for (int i = 0; i < n; ++i) {
            const TPoint a = pts[i], b = pts[(i + 1) % n];
            const double cross = double(b.X - a.X) * (y - a.Y) - double(x - a.X) * (b.Y - a.Y);
            if (a.Y <= y && b.Y > y && cross > 0) ++wn;
            else if (a.Y > y && b.Y <= y && cross < 0) --wn;
          }
          inside = wn != 0;
        }
        ASSERT_EQ(Black(got, x, y), inside) << iter << " at " << x << "," << y;
      }
  }
}

TEST(PolygonFill, ClipsThreadsAndFarCoordinates) {
  Rng rng(8);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 300), h = rng.Int(1, 300);
    TPolygon24 p = RandomConvex(rng, w, h);
    p.AddPoint(TPoint{rng.Int(-w, 2 * w), rng.Int(-h, 2 * h)});
    p.Winding = uint8_t(rng.Int(0, 1));
    const TBitmap canvas = RandomBitmap(w, h, uint32_t(iter));
    TBitmap whole = canvas.Clone();
    SetEngineThreads(1);
    p.Fill(whole, 0x3366CC);
    SetEngineThreads(8);
    TBitmap again = canvas.Clone();
    p.Fill(again, 0x3366CC);
    ASSERT_TRUE(SameBitmaps(whole, again));
    // a clip rect gives the unclipped fill inside it and leaves the rest
    TPolygon24 q = p;
    q.ClipRect = RandomRect(rng, w, h);
    TBitmap clipped = canvas.Clone();
    q.Fill(clipped, 0x3366CC);
    TRect c = q.ClipRect;
    ClipRectToBitmap(c, clipped);
    ASSERT_TRUE(SameOutside(clipped, canvas, c));
    for (int y = c.Top; y < c.Bottom; ++y)
      for (int x = c.Left; x < c.Right; ++x) ASSERT_EQ(std::memcmp(Px(clipped, x, y), Px(whole, x, y), 3), 0);
  }
  SetEngineThreads(0);
  // vertices far beyond the bitmap
  TBitmap b(40, 30, pf24bit, clWhite);
  Poly({{-1000000000, -1000000000}, {1000000000, -1000000000}, {0, 1000000000}}).Fill(b, clBlack);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_TRUE(Black(b, x, y));
  TBitmap e(40, 30, pf24bit, clWhite);
  TPolygon24 outside = Poly({{50, 40}, {90, 40}, {70, 90}});
  outside.Fill(e, clBlack);
  outside.Outline(e, clBlack);
  TPolygon24 inClip = Poly({{1, 1}, {10, 1}, {5, 9}});
  inClip.ClipRect = TRect{20, 20, 30, 30};
  inClip.Draw(e, clBlack, clBlack);
  EXPECT_TRUE(SameBitmaps(e, TBitmap(40, 30, pf24bit, clWhite)));
}

TEST(PolygonLines, MatchTheStepwiseLines) {
  Rng rng(21);
  for (int iter = 0; iter < 400; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 60);
    const TPoint a{rng.Int(-30, w + 30), rng.Int(-30, h + 30)}, b{rng.Int(-30, w + 30), rng.Int(-30, h + 30)};
    const bool aa = rng.Chance(50);
    TPolygon24 p = Poly({a, b});
    p.Antialias = aa;
    p.Closed = 0;
    p.ClipRect = RandomRect(rng, w, h);
    const TBitmap canvas = RandomBitmap(w, h, uint32_t(iter));
    TBitmap got = canvas.Clone(), ref = canvas.Clone();
    p.Outline(got, 0x102030);
    TRect clip = p.ClipRect;
    ClipRectToBitmap(clip, ref);
    ReferenceLine(ref, clip, a, b, true, aa, 0x102030);
    ASSERT_TRUE(SameBitmaps(got, ref)) << iter;
  }
  // an antialiased line that is vertical is a plain run
  TBitmap v(10, 20, pf24bit, clWhite);
  TPolygon24 line = Poly({{4, 2}, {4, 15}});
  line.Closed = 0;
  line.Outline(v, clBlack);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Black(v, x, y), x == 4 && y >= 2 && y <= 15);
  // a line far longer than the bitmap is walked only where it can be seen
  TBitmap f(10, 10, pf24bit, clWhite);
  TPolygon24 far = Poly({{-2000000000, 5}, {2000000000, 5}});
  far.Closed = 0;
  far.Outline(f, clBlack);
  for (int x = 0; x < 10; ++x) EXPECT_TRUE(Black(f, x, 5));
}

TEST(PolygonLines, IntensityTable) {
  const uint8_t* t = LineIntensityTable();
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[255], 255);
  EXPECT_EQ(t[128], RoundHalfEven(std::pow(128 / 255.0, 0.7) * 255));
}

TEST(PolygonStroke, ThickLinesHaveTheirWidth) {
  for (int width = 1; width <= 7; ++width) {
    TBitmap b(60, 40, pf24bit, clWhite);
    TPolygon24::DrawThickLine(b, 10, 20, false, UnboundedRect, width, clBlack, 40, 20);
    const int above = (width - 1) / 2, below = width / 2;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x)
        ASSERT_EQ(Black(b, x, y), x >= 10 && x <= 40 && y >= 20 - above && y <= 20 + below) << width << " " << x << "," << y;
    TBitmap c(40, 60, pf24bit, clWhite);
    TPolygon24::DrawThickLine(c, 20, 10, true, UnboundedRect, width, clBlack, 20, 40);
    int count = 0;
    for (int x = 0; x < 40; ++x) count += Black(c, x, 25);
    EXPECT_EQ(count, width);
  }
  TBitmap none(10, 10, pf24bit, clWhite);
  TPolygon24::DrawThickLine(none, 1, 1, false, UnboundedRect, 0, clBlack, 8, 8);
  EXPECT_TRUE(SameBitmaps(none, TBitmap(10, 10, pf24bit, clWhite)));
  // a diagonal stroke is roughly as wide as asked across the line
  TBitmap d(80, 80, pf24bit, clWhite);
  TPolygon24::DrawThickLine(d, 10, 10, false, UnboundedRect, 9, clBlack, 70, 70);
  int across = 0;
  for (int k = -10; k <= 10; ++k) across += Black(d, 40 + k, 40 - k);
  // pixel centres within 4.5 of the line lie 3 steps of sqrt 2 either side of it,
  // and the boundary pixels are covered too
  EXPECT_GE(across, 7);
  EXPECT_LE(across, 8);
}

TEST(PolygonStroke, AClosedOutlineBecomesABand) {
  TPolygon24 sq = Poly({{10, 10}, {40, 10}, {40, 30}, {10, 30}});
  TPolygon24 stroke = sq.MakeStrokePath().Widen(3, 0.5);
  stroke.Winding = 1;
  TBitmap b(60, 50, pf24bit, clWhite);
  stroke.Fill(b, clBlack);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool inOuter = x >= 9 && x <= 41 && y >= 9 && y <= 31;
      const bool inInner = x >= 12 && x <= 38 && y >= 12 && y <= 28;
      ASSERT_EQ(Black(b, x, y), inOuter && !inInner) << x << "," << y;
    }
  // the path of an open line goes there and back
  TPolygon24 open = Poly({{0, 0}, {5, 0}, {5, 5}});
  open.Closed = 0;
  const TPolygon24 path = open.MakeStrokePath();
  ASSERT_EQ(path.Polygons().size(), 1u);
  EXPECT_EQ(path.Polygons()[0].size(), 6u);
  EXPECT_EQ(path.Polygons()[0][3], (TPoint{5, 5}));
  EXPECT_EQ(path.Polygons()[0][5], (TPoint{0, 0}));
  // normals in 16.16, to the left of each edge
  const auto& n = sq.Normals();
  EXPECT_EQ(n[0][0], (TPoint{0, -65536}));
  EXPECT_EQ(n[0][1], (TPoint{65536, 0}));
}

TEST(PolygonStroke, SharpJoinsAreMiteredUpToTheLimit) {
  // a right-angle corner: mitered it keeps its square corner, bevelled it is cut
  TPolygon24 corner = Poly({{10, 30}, {10, 10}, {30, 10}});
  corner.Closed = 0;
  auto draw = [&](double limit) {
    TPolygon24 s = corner.MakeStrokePath().Widen(5, limit);
    s.Winding = 1;
    TBitmap b(40, 40, pf24bit, clWhite);
    s.Fill(b, clBlack);
    return b;
  };
  const TBitmap mitre = draw(0.5), bevel = draw(0.0);
  EXPECT_TRUE(Black(mitre, 8, 8));
  EXPECT_FALSE(Black(bevel, 8, 8));
  EXPECT_TRUE(Black(bevel, 10, 10));
  TBitmap neg = draw(-3.0), high = draw(7.0);
  EXPECT_TRUE(SameBitmaps(neg, bevel));
  EXPECT_TRUE(Black(high, 8, 8));
}

TEST(PolygonStroke, ArrowHeads) {
  TBitmap b(100, 60, pf24bit, clWhite);
  TPolygon24::DrawArrowLine(b, 10, 30, false, UnboundedRect, true, false, 11, 15, 3, clBlack, 80, 30);
  EXPECT_TRUE(Black(b, 80, 30));  // the tip
  EXPECT_TRUE(Black(b, 65, 25));  // the base, 15 back, spans 11 pixels across
  EXPECT_TRUE(Black(b, 65, 35));
  EXPECT_FALSE(Black(b, 65, 36));
  EXPECT_FALSE(Black(b, 64, 25));
  EXPECT_FALSE(Black(b, 82, 30));
  EXPECT_TRUE(Black(b, 10, 30));  // no head at the start
  EXPECT_FALSE(Black(b, 10, 33));
  TBitmap c(100, 60, pf24bit, clWhite);
  TPolygon24::DrawArrowLine(c, 10, 30, false, TRect{0, 0, 50, 60}, true, true, 11, 15, 3, clBlack, 80, 30);
  EXPECT_TRUE(Black(c, 10, 30));
  EXPECT_TRUE(Black(c, 25, 35));
  EXPECT_TRUE(SameOutside(c, TBitmap(100, 60, pf24bit, clWhite), TRect{0, 0, 50, 60}));
}
