#include <gtest/gtest.h>

#include <cstring>

#include "document/Shapes.h"
#include "document/ShapeTestImages.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// Tracing as written down: every inside pixel with an outside or border neighbour on
// some side, in scan order, with its sides as flags.
void ReferenceTrace(const TBitmap& m, int level, std::vector<TPoint>& pts, std::vector<uint8_t>& flags) {
  const int w = m.Width(), h = m.Height();
  auto in = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && Px(m, x, y)[0] <= level; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!in(x, y)) continue;
      uint8_t f = 0;
      if (!in(x - 1, y)) f |= efLeft;
      if (!in(x, y - 1)) f |= efTop;
      if (!in(x + 1, y)) f |= efRight;
      if (!in(x, y + 1)) f |= efBottom;
      if (f) pts.push_back(TPoint{x, y}), flags.push_back(f);
    }
}

// The mask's inside pixels inside r, as black on white.
TBitmap Thresholded(const TBitmap& m, const TRect& r, int level) {
  TBitmap out(r.Width(), r.Height(), pf24bit, clWhite);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      if (Px(m, x, y)[0] <= level) {
        uint8_t* p = Px(out, x - r.Left, y - r.Top);
        p[0] = p[1] = p[2] = 0;
      }
  return out;
}

TShapeManager Polygon(std::vector<TPoint> pts) {
  TShapeManager s;
  s.Points = std::move(pts);
  const TRect b = PointsBounds(s.Points);
  s.Bounds = TRect{0, 0, b.Right, b.Bottom};
  return s;
}

}  // namespace

TEST(ShapeFromMask, TracesLikeTheReferenceAtAnyThreadCountAndFillsBackTheSameMask) {
  Rng rng(3);
  for (int iter = 0; iter < 24; ++iter) {
    const int w = rng.Int(1, 300), h = rng.Int(1, 260), level = rng.Int(0, 255);
    const TBitmap mask = RandomBlobs(w, h, uint32_t(iter) + 1, rng.Int(1, 30));
    std::vector<TPoint> refPts;
    std::vector<uint8_t> refFlags;
    ReferenceTrace(mask, level, refPts, refFlags);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TShapeManager s;
      TRect r;
      s.ShapeFromMask(&mask, level, r);
      if (refPts.empty()) {
        EXPECT_TRUE(s.Points.empty());
        EXPECT_EQ(r, (TRect{0, 0, -1, -1}));
        continue;
      }
      const TRect b = PointsBounds(refPts);
      ASSERT_EQ(r, (TRect{b.Left, b.Top, b.Right + 1, b.Bottom + 1}));
      ASSERT_EQ(s.Points.size(), refPts.size());
      for (size_t i = 0; i < refPts.size(); ++i) {
        ASSERT_EQ(s.Points[i], (TPoint{refPts[i].X - b.Left, refPts[i].Y - b.Top})) << i;
        ASSERT_EQ(s.PointFlags[i], refFlags[i]) << i;
      }
      EXPECT_EQ(s.Bounds, (TRect{0, 0, b.Right - b.Left, b.Bottom - b.Top}));
      // the runs between the left and right flags fill exactly the traced pixels
      EXPECT_TRUE(SameBitmaps(s.RenderMask(), Thresholded(mask, r, level)));
    }
  }
  SetEngineThreads(0);
}

TEST(ShapeFromMask, EdgeCases) {
  TShapeManager s;
  TRect r{1, 2, 3, 4};
  TBitmap white(20, 10, pf24bit, clWhite);
  s.ShapeFromMask(&white, 128, r);
  EXPECT_TRUE(s.Points.empty());
  EXPECT_EQ(r, (TRect{0, 0, -1, -1}));
  TBitmap grey8(20, 10, pf8bit, clBlack);
  s.ShapeFromMask(&grey8, 128, r);
  EXPECT_TRUE(s.Points.empty());
  s.ShapeFromMask(nullptr, 128, r);
  EXPECT_TRUE(s.Points.empty());

  // a single pixel: one point with all four sides
  white.SetPixel(7, 3, clBlack);
  s.ShapeFromMask(&white, 128, r);
  ASSERT_EQ(s.Points.size(), 1u);
  EXPECT_EQ(s.Points[0], (TPoint{0, 0}));
  EXPECT_EQ(s.PointFlags[0], 15);
  EXPECT_EQ(r, (TRect{7, 3, 8, 4}));
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 0, 0}));
  EXPECT_TRUE(s.HitTest(TRect{0, 0, 1, 1}, TPoint{0, 0}, ssMultiPoints));

  // a negative threshold selects nothing; 255 everything
  TBitmap black(5, 4, pf24bit, clBlack);
  s.ShapeFromMask(&black, -1, r);
  EXPECT_TRUE(s.Points.empty());
  s.ShapeFromMask(&white, 255, r);
  EXPECT_EQ(r, (TRect{0, 0, 20, 10}));
}

TEST(EdgeRuns, StopAtTheFirstBrokenRun) {
  TShapeManager s;
  s.Points = {{0, 0}, {3, 0}, {1, 1}, {2, 2}, {5, 2}};
  s.PointFlags = {efLeft, efRight, efRight, efLeft, efRight};
  const auto runs = s.EdgeRuns();
  ASSERT_EQ(runs.size(), 1u);  // the third point ends a run it never started
  EXPECT_EQ(runs[0].Y, 0);
  EXPECT_EQ(runs[0].X1, 3);
  s.PointFlags = {efLeft, efTop, efRight, efLeft | efRight, efLeft};
  EXPECT_TRUE(s.EdgeRuns().empty());  // start and end on different rows
}

TEST(FillEdgeRuns, ScalesAndTruncates) {
  TShapeManager s;
  s.Points = {{1, 0}, {2, 0}, {0, 1}, {0, 1}};
  s.PointFlags = {efLeft | efTop, efRight, efLeft | efRight, efLeft | efRight};
  s.Bounds = TRect{0, 0, 2, 1};
  TBitmap b(12, 8, pf24bit, clWhite);
  TBitmapCanvas canvas(b);
  s.FillEdgeRuns(canvas, 1, clBlack, 1.5, 2.0, 2);
  // run 1..2 of row 0: x 1*1.5 = 1 .. 3*1.5 = 4, y 0..2, moved by (1, 2)
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool row0 = y >= 2 && y < 4 && x >= 2 && x < 5;
      const bool row1 = y >= 4 && y < 6 && x >= 1 && x < 2;  // run 0..0: 0 .. trunc(1.5) = 1
      EXPECT_EQ(Px(b, x, y)[0] == 0, row0 || row1) << x << "," << y;
    }
}

TEST(ShapeKinds, CodesAndPolygons) {
  EXPECT_EQ(EncodeShapeKind(ssRect), -1);
  EXPECT_EQ(EncodeShapeKind(ssLosange), -10);
  EXPECT_EQ(DecodeShapeKind(-6), ssTriangle1);
  EXPECT_FALSE(IsShapeCode(0));
  EXPECT_FALSE(IsShapeCode(-11));
  EXPECT_TRUE(IsShapeCode(-1));
  EXPECT_TRUE(IsShapeCode(-10));

  TPoint p[4];
  ASSERT_EQ(RectShapePolygon(TRect{0, 0, 11, 21}, ssTriangle1, p), 3);
  EXPECT_EQ(p[0], (TPoint{0, 20}));
  EXPECT_EQ(p[1], (TPoint{5, 0}));
  EXPECT_EQ(p[2], (TPoint{10, 20}));
  ASSERT_EQ(RectShapePolygon(TRect{0, 0, 11, 21}, ssLosange, p), 4);
  EXPECT_EQ(p[1], (TPoint{10, 10}));
  EXPECT_EQ(RectShapePolygon(TRect{0, 0, 11, 21}, ssEllipse, p), 0);
  // mid-x rounds toward zero
  ASSERT_EQ(RectShapePolygon(TRect{-10, 0, -2, 5}, ssTriangle3, p), 3);
  EXPECT_EQ(p[2].X, -6);

  SetShapeLineWidth(5);
  ASSERT_EQ(RectShapePolygon(TRect{10, 10, 10, 30}, ssLineWidth, p), 4);  // straight down
  EXPECT_EQ(p[0], (TPoint{12, 10}));
  EXPECT_EQ(p[1], (TPoint{12, 30}));
  EXPECT_EQ(p[2], (TPoint{7, 30}));
  EXPECT_EQ(p[3], (TPoint{7, 10}));
  SetShapeLineWidth(1);

  TShapeManager s;
  int count = -7;
  std::vector<TPoint> pts;
  s.GetShapePolygon(TRect{0, 0, 10, 10}, ssRoundRect, count, pts);
  EXPECT_EQ(count, -7);
  s.GetShapePolygon(TRect{0, 0, 10, 10}, ssTriangle4, count, pts);
  EXPECT_EQ(count, 3);
}

TEST(FreePolygon, SpacingZoomAndRemoval) {
  TShapeManager s;
  s.BeginPoints(TPoint{100, 100});
  EXPECT_EQ(s.Building, 1);
  EXPECT_EQ(s.AddPoint(TPoint{102, 98}), -1);   // closer than 3 on both axes
  EXPECT_EQ(s.AddPoint(TPoint{103, 101}), 1);   // 3 away in x
  EXPECT_EQ(s.AddPoint(TPoint{104, 120}), 2);
  EXPECT_EQ(s.AddPoint(TPoint{140, 110}), 3);
  TPoint p;
  EXPECT_EQ(s.GetLastPoint(p), 4);
  EXPECT_EQ(p, (TPoint{140, 110}));
  s.GetFirstPoint(p);
  EXPECT_EQ(p, (TPoint{100, 100}));
  TRect r;
  s.RemoveLastPoint(r);
  EXPECT_EQ(r, (TRect{100, 100, 104, 120}));
  s.AddPoint(TPoint{140, 110});
  s.EndPoints(2.0);
  EXPECT_EQ(s.Building, 0);
  ASSERT_EQ(s.Points.size(), 4u);
  EXPECT_EQ(s.Points[1], (TPoint{1, 0}));  // (3, 1) / 2 truncated
  EXPECT_EQ(s.Points[3], (TPoint{20, 5}));
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 20, 10}));
  EXPECT_EQ(s.GetPointCount(), 4);
  s.GetPoint(3, p);
  EXPECT_EQ(p, (TPoint{20, 5}));
  s.GetPoint(9, p);
  EXPECT_EQ(p, (TPoint{0, 0}));
}

TEST(FitToRect, MovesOrRescales) {
  TShapeManager s = Polygon({{0, 0}, {100, 0}, {100, 50}, {0, 50}});
  s.FitToRect(TRect{10, 10, 110, 110});
  // width 100 equals the shape's: copied; height 100 against 50: doubled
  EXPECT_EQ(s.DisplayPoints[2], (TPoint{110, 110}));
  EXPECT_EQ(s.DisplayPoints[1], (TPoint{110, 10}));
  s.FitToRect(TRect{20, 30, 120, 130});  // same size: moved only
  EXPECT_EQ(s.DisplayPoints[2], (TPoint{120, 130}));
  s.FitToRect(TRect{0, 0, 33, 101});
  EXPECT_EQ(s.DisplayPoints[1], (TPoint{33, 0}));
  EXPECT_EQ(s.DisplayPoints[2], (TPoint{33, 101}));
  // rounding of the scaled coordinates: 50 * 33 / 100 = 16.5 goes to even
  TShapeManager t = Polygon({{0, 0}, {50, 7}, {100, 0}});
  t.FitToRect(TRect{0, 0, 33, 7});
  EXPECT_EQ(t.DisplayPoints[1], (TPoint{16, 7}));
  // nothing while building
  t.Building = 1;
  t.FitToRect(TRect{5, 5, 50, 50});
  EXPECT_EQ(t.DisplayRect, (TRect{0, 0, 33, 7}));
}

TEST(FitToRect, AShapeOfZeroExtentSitsOnTheRectsEdge) {
  TShapeManager s = Polygon({{0, 0}, {0, 40}, {0, 20}});  // no width
  s.FitToRect(TRect{10, 5, 60, 25});
  for (const TPoint& p : s.DisplayPoints) EXPECT_EQ(p.X, 10);
  EXPECT_EQ(s.DisplayPoints[1].Y, 25);
  TShapeManager flat = Polygon({{0, 0}, {30, 0}});
  flat.FitToRect(TRect{0, 7, 60, 90});
  EXPECT_EQ(flat.DisplayPoints[1], (TPoint{60, 7}));
}

TEST(HitTest, EllipseEdgeCasesAndOtherKinds) {
  TShapeManager s;
  // one pixel wide or high: only the centre line, no division by zero
  EXPECT_TRUE(s.HitTest(TRect{5, 5, 6, 15}, TPoint{5, 9}, ssEllipse));
  EXPECT_TRUE(s.HitTest(TRect{5, 5, 6, 6}, TPoint{5, 5}, ssEllipse));
  EXPECT_TRUE(s.HitTest(TRect{0, 3, 20, 4}, TPoint{10, 3}, ssEllipse));
  EXPECT_TRUE(s.HitTest(TRect{0, 3, 20, 4}, TPoint{0, 3}, ssEllipse));  // on the ellipse
  EXPECT_FALSE(s.HitTest(TRect{0, 0, 10, 10}, TPoint{10, 5}, ssEllipse));  // outside R
  EXPECT_FALSE(s.HitTest(TRect{0, 0, 100, 100}, TPoint{3, 3}, ssEllipse));
  EXPECT_TRUE(s.HitTest(TRect{0, 0, 100, 100}, TPoint{50, 50}, ssEllipse));
  // the octagon of the rounded rectangle: corners cut by 120 div 12 = 10
  EXPECT_FALSE(s.HitTest(TRect{0, 0, 120, 200}, TPoint{4, 5}, ssRoundRect));
  EXPECT_TRUE(s.HitTest(TRect{0, 0, 120, 200}, TPoint{5, 5}, ssRoundRect));
  EXPECT_FALSE(s.HitTest(TRect{0, 0, 120, 200}, TPoint{115, 195}, ssRoundRect));
  for (TMyShape k : {ssRect, ssLine, ssLineWidth, ssPolyline}) EXPECT_TRUE(s.HitTest(TRect{0, 0, 9, 9}, TPoint{0, 8}, k));
  EXPECT_FALSE(s.HitTest(TRect{0, 0, 41, 21}, TPoint{1, 1}, ssTriangle1));
  EXPECT_TRUE(s.HitTest(TRect{0, 0, 41, 21}, TPoint{20, 10}, ssTriangle1));
}

TEST(Transform, QuarterTurnsAndFlipsComeBack) {
  TShapeManager s = Polygon({{0, 0}, {10, 1}, {7, 4}, {2, 3}});
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 10, 4}));
  const auto start = s.Points;
  s.Transform(2);
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 4, 10}));
  EXPECT_EQ(s.Points[1], (TPoint{3, 10}));
  for (int i = 0; i < 3; ++i) s.Transform(2);
  EXPECT_EQ(s.Points, start);
  for (int i = 0; i < 4; ++i) s.Transform(3);
  EXPECT_EQ(s.Points, start);
  s.Transform(2);
  s.Transform(3);
  EXPECT_EQ(s.Points, start);
  for (int code : {0, 1, 4}) {
    s.Transform(code);
    s.Transform(code);
    EXPECT_EQ(s.Points, start) << code;
  }
  s.Transform(0);
  s.Transform(1);
  s.Transform(4);
  EXPECT_EQ(s.Points, start);

  // traced outlines go through their mask
  const TBitmap blobs = RandomBlobs(37, 23, 5, 6);
  TShapeManager t;
  TRect r;
  t.ShapeFromMask(&blobs, 100, r);
  const TBitmap before = t.RenderMask();
  t.Transform(2);
  EXPECT_EQ(t.Bounds.Right, before.Height() - 1);
  for (int i = 0; i < 3; ++i) t.Transform(2);
  EXPECT_TRUE(SameBitmaps(t.RenderMask(), before));
  t.Transform(3);
  t.Transform(2);
  EXPECT_TRUE(SameBitmaps(t.RenderMask(), before));
  for (int code : {0, 1, 4}) {
    t.Transform(code);
    t.Transform(code);
    EXPECT_TRUE(SameBitmaps(t.RenderMask(), before)) << code;
  }
  // a quarter turn of the mask itself
  t.Transform(3);
  TBitmap turned(before.Height(), before.Width(), pf24bit, clWhite);
  for (int y = 0; y < before.Height(); ++y)
    for (int x = 0; x < before.Width(); ++x)
      std::memcpy(Px(turned, y, before.Width() - 1 - x), Px(before, x, y), 3);
  EXPECT_TRUE(SameBitmaps(t.RenderMask(), turned));
}

TEST(Expand, GrowsAndShrinksThroughTheMask) {
  TBitmap dot(9, 9, pf24bit, clWhite);
  dot.FillRect(TRect{4, 4, 5, 5}, clBlack);
  TShapeManager s;
  TRect r;
  s.ShapeFromMask(&dot, 128, r);
  r = TRect{50, 60, 51, 61};
  s.Expand(2, r);
  // two grow passes of the 4-neighbourhood: a diamond of radius 2
  EXPECT_EQ(r, (TRect{48, 58, 53, 63}));
  const TBitmap m = s.RenderMask();
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(m, x, y)[0] == 0, std::abs(x - 2) + std::abs(y - 2) <= 2) << x << y;
  s.Expand(-1, r);
  EXPECT_EQ(r, (TRect{49, 59, 52, 62}));
  s.Expand(0, r);
  EXPECT_EQ(r, (TRect{49, 59, 52, 62}));
  s.Expand(-5, r);  // nothing left
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_TRUE(s.Points.empty());
}

TEST(ScaleToSize, ResamplesTheTracedShape) {
  TBitmap sq(10, 10, pf24bit, clWhite);
  sq.FillRect(TRect{0, 0, 10, 10}, clBlack);
  TShapeManager s;
  TRect r;
  s.ShapeFromMask(&sq, 128, r);
  r = TRect{7, 8, 17, 18};
  s.ScaleToSize(25, 40, r);
  EXPECT_EQ(r, (TRect{7, 8, 32, 48}));
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 24, 39}));
  s.ScaleToSize(0, 40, r);  // refused
  EXPECT_EQ(r, (TRect{7, 8, 32, 48}));
  s.ScaleToSize(1, 3, r);
  EXPECT_EQ(s.Bounds, (TRect{0, 0, 0, 2}));
  // a shape no mask could hold is left alone
  TShapeManager huge = Polygon({{0, 0}, {1000000, 1000000}});
  TRect hr{0, 0, 5, 5};
  huge.ScaleToSize(10, 10, hr);
  EXPECT_EQ(hr, (TRect{0, 0, 5, 5}));
  EXPECT_EQ(huge.Points.size(), 2u);
}

TEST(ShapeRecord, RoundTripsAndAntsColours) {
  const TBitmap blobs = RandomBlobs(40, 30, 9, 5);
  TShapeManager s;
  TRect r;
  s.ShapeFromMask(&blobs, 90, r);
  TShapeRecord rec;
  s.SaveToRecord(rec);
  TShapeManager t = Polygon({{1, 1}, {5, 5}});
  t.PointFlags = {1, 4};
  t.LoadFromRecord(rec);
  EXPECT_EQ(t.Points, s.Points);
  EXPECT_EQ(t.PointFlags, s.PointFlags);
  EXPECT_EQ(t.Bounds, s.Bounds);
  TShapeManager u = Polygon({{0, 0}});
  TShapeRecord plain{{{3, 4}}, {}, TRect{0, 0, 3, 4}};
  u.PointFlags = {15};
  u.LoadFromRecord(plain);
  EXPECT_TRUE(u.PointFlags.empty());

  u.SetAntsColors(0x112233, 0x445566);
  EXPECT_EQ(u.Styles[2].PenColor, 0x112233u);
  EXPECT_EQ(u.Styles[2].BackColor, 0x445566u);
  EXPECT_EQ(u.Styles[3].PenColor, 0x445566u);
  EXPECT_EQ(u.Styles[0].PenMode, spmXor);
  EXPECT_EQ(u.Styles[0].PenColor, 0xFFD8CEu);
}
