// The drawn tile effects: their structure (where colours land, what stays), not the
// exact rasterisation of each curve.
#include "pixel/qt/TileDraw.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <set>
#include <utility>
#include <vector>

#include "pixel/Tiles.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "platform/qt/QtBitmap.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

constexpr TColor clRed = RGB(255, 0, 0), clGreen = RGB(0, 160, 0), clNavy = RGB(0, 0, 128);

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qm_pixel_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

class TileDraw : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }
};

TColor At(const TBitmap& b, int x, int y) { return Pixel24ToColor(Px(b, x, y)); }

// Every pixel inside r is one of the colours; returns how many are `counted`.
int CountInside(const TBitmap& b, const TRect& r, std::set<TColor> allowed, TColor counted) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const TColor c = At(b, x, y);
      EXPECT_TRUE(allowed.count(c)) << x << "," << y << " " << std::hex << c;
      n += c == counted;
    }
  return n;
}

TEST_F(TileDraw, PuzzleOutlinesThePieces) {
  TBitmap b(140, 120, pf24bit, clWhite);
  const TBitmap white = b.Clone();
  const TRect r{20, 10, 120, 110};  // 100 x 100, size 30: three pieces of 33.33 each way
  RandSeed(5);
  FilterPuzzle(b, 30, clRed, r, 2);
  EXPECT_TRUE(SameOutside(b, white, r));
  EXPECT_GT(CountInside(b, r, {clWhite, clRed}, clRed), 400);
  // Every inner edge: the vertical ones start straight down their grid line, the
  // horizontal ones at their left corner.
  const double cell = 100.0 / 3;
  for (int c = 1; c < 3; ++c) {
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(At(b, 20 + int(std::lround(c * cell)), 10 + int(std::lround(k * cell + 2 * cell / 15))), clRed);
    EXPECT_EQ(At(b, 20, 10 + int(std::lround(c * cell))), clRed);
  }
  // The random tabs repeat with the seed.
  TBitmap again(140, 120, pf24bit, clWhite);
  RandSeed(5);
  FilterPuzzle(again, 30, clRed, r, 2);
  EXPECT_TRUE(SameBitmaps(again, b));
}

TEST_F(TileDraw, PuzzleRefusesItsOutOfRangeParameters) {
  const TBitmap orig = RandomBitmap(120, 100, 1);
  for (auto [size, pen] : {std::pair{4, 2}, {501, 2}, {20, 0}, {20, 11}, {51, 2}}) {
    TBitmap b = orig.Clone();
    FilterPuzzle(b, size, clRed, UnboundedRect, pen);
    EXPECT_TRUE(SameBitmaps(b, orig)) << size << " " << pen;
  }
}

TEST_F(TileDraw, CrossStitchLines) {
  TBitmap src(60, 40, pf24bit, clGreen);
  for (int y = 0; y < 40; ++y)
    for (int x = 30; x < 60; ++x) ColorToPixel24(clNavy, Px(src, x, y));
  const TRect r{0, 0, 60, 36};
  TBitmap d;
  FilterCrossStitch(src, d, clWhite, r, true, true, 3, 10);
  ASSERT_EQ(d.Width(), 60);
  ASSERT_EQ(d.Height(), 40);
  EXPECT_GT(CountInside(d, r, {clWhite, clGreen, clNavy}, clWhite), 0);
  // Both diagonals cross at each cell's centre, in the colour of its corner.
  EXPECT_EQ(At(d, 5, 5), clGreen);
  EXPECT_EQ(At(d, 45, 25), clNavy);
  // A thin line along one diagonal only: the other corner stays background.
  FilterCrossStitch(src, d, clWhite, r, false, true, 1, 10);
  EXPECT_EQ(At(d, 4, 4), clGreen);
  EXPECT_EQ(At(d, 8, 1), clWhite);
  FilterCrossStitch(src, d, clWhite, r, true, false, 1, 10);
  EXPECT_EQ(At(d, 1, 1), clWhite);
  EXPECT_EQ(At(d, 5, 5), clGreen);
  // Out of range: nothing, not even the background.
  TBitmap keep = RandomBitmap(60, 40, 2);
  const TBitmap before = keep.Clone();
  for (auto [t, cell] : {std::pair{0, 10}, {6, 10}, {1, 2}, {1, 51}}) FilterCrossStitch(src, keep, clWhite, r, true, true, t, cell);
  EXPECT_TRUE(SameBitmaps(keep, before));
}

TEST_F(TileDraw, CrossStitchHalves) {
  const TBitmap src(40, 40, pf24bit, clNavy);
  TBitmap d = RandomBitmap(40, 40, 3);
  const TBitmap before = d.Clone();
  const TRect r{5, 5, 35, 35};
  DrawCrossStitch(src, d, clWhite, r, false, true, 10);
  EXPECT_TRUE(SameOutside(d, before, r));
  CountInside(d, r, {clWhite, clNavy}, clNavy);
  EXPECT_EQ(At(d, 7, 12), clNavy);   // lower-left half of the first cell
  EXPECT_EQ(At(d, 13, 8), clWhite);  // upper-right half
  DrawCrossStitch(src, d, clWhite, r, true, false, 10);
  EXPECT_EQ(At(d, 7, 12), clWhite);
  EXPECT_EQ(At(d, 13, 8), clNavy);
  TBitmap same = src.Clone();  // the same bitmap as source and destination
  DrawCrossStitch(same, same, clWhite, r, true, true, 10);
  EXPECT_EQ(At(same, 10, 10), clNavy);
}

TEST_F(TileDraw, PointillismDots) {
  TBitmap src(80, 60, pf24bit, clRed);
  const TRect r{10, 10, 70, 50};
  TBitmap d = RandomBitmap(80, 60, 4);
  const TBitmap before = d.Clone();
  RandSeed(9);
  FilterPointillism(src, d, 6, r, clWhite, 4);
  EXPECT_TRUE(SameOutside(d, before, r));
  EXPECT_GT(CountInside(d, r, {clWhite, clRed}, clRed), 60 * 40 * 3 / 4);
  // Without a background the pixels between the dots are kept.
  TBitmap keep(80, 60, pf24bit, clNavy);
  FilterPointillism(src, keep, 6, r, clNone, 12);
  const int red = CountInside(keep, r, {clNavy, clRed}, clRed);
  EXPECT_GT(red, 0);
  EXPECT_LT(red, 60 * 40);
  // A step below 1 would never move on: nothing happens.
  TBitmap still = before.Clone();
  FilterPointillism(src, still, 6, r, clWhite, 0);
  FilterPointillism(src, still, 6, r, clWhite, -3);
  FilterPointillism(src, still, 2, r, clWhite, 4);
  FilterPointillism(src, still, 51, r, clWhite, 4);
  EXPECT_TRUE(SameBitmaps(still, before));
}

// The effects drawn through 32-bit copies of their bands, as written down: one painter
// straight on the 24-bit bitmap, clipped to the rect, drawing shape(painter, x, y) for
// each cell of the grid in the source colour at the cell's corner (pen and brush).
void OnePainter(const TBitmap& src, TBitmap& d, const TRect& r, TColor background, int step,
                const std::function<void(QPainter&, int, int)>& shape) {
  if (background != clNone) d.FillRect(r, background);
  QImage img = BitmapAsQImage(d);
  QPainter p(&img);
  p.setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()));
  for (int y = r.Top; y < r.Bottom; y += step)
    for (int x = r.Left; x < r.Right; x += step) {
      const QColor c = QColor::fromRgb(ColorToQRgb(At(src, x, y)));
      p.setPen(QPen(c, 1));
      p.setBrush(c);
      shape(p, x, y);
    }
}

void RefHalves(const TBitmap& src, TBitmap& d, TColor background, const TRect& r, int cell) {
  OnePainter(src, d, r, background, cell, [&](QPainter& p, int x, int y) {
    p.drawPolygon(QPolygon({QPoint(x + 1, y + 1), QPoint(x + cell - 1, y + cell - 1), QPoint(x + 1, y + cell - 1)}));
    p.drawPolygon(QPolygon({QPoint(x + cell - 1, y + 1), QPoint(x + 1, y + cell - 1), QPoint(x + cell - 1, y + cell - 1)}));
  });
}

void RefPointillism(const TBitmap& src, TBitmap& d, int size, const TRect& r, TColor background, int step) {
  OnePainter(src, d, r, background, step, [&](QPainter& p, int x, int y) {
    const int ex = x - Random(size), ey = y - Random(size);
    p.drawEllipse(QRect(ex, ey, size - 1, size - 1));
  });
}

// Bands painted on threads, each through a painter clipped to it, give the pixels of
// one painter over the whole rect, with items that straddle the bands' edges; the
// generator ends where one pass leaves it.
TEST_F(TileDraw, BandsOnThreadsPaintWhatOnePainterPaints) {
  const TBitmap src = RandomBitmap(410, 330, 8), dst0 = RandomBitmap(410, 330, 9);
  const TRect r{3, 5, 401, 327};
  using Effect = std::function<void(TBitmap&)>;
  const std::vector<std::pair<const char*, Effect>> effects = {
      {"puzzle", [&](TBitmap& d) { FilterPuzzle(d, 37, clRed, r, 7); }},
      {"puzzle thin", [&](TBitmap& d) { FilterPuzzle(d, 5, clNavy, r, 1); }},
      {"cross-stitch", [&](TBitmap& d) { FilterCrossStitch(src, d, clWhite, r, true, true, 5, 7); }},
      {"cross-stitch one", [&](TBitmap& d) { FilterCrossStitch(src, d, clNone, r, false, true, 2, 50); }},
      {"halves", [&](TBitmap& d) { DrawCrossStitch(src, d, clGreen, r, true, true, 9); }},
      {"pointillism", [&](TBitmap& d) { FilterPointillism(src, d, 50, r, clWhite, 3); }},
      {"pointillism kept", [&](TBitmap& d) { FilterPointillism(src, d, 6, r, clNone, 4); }},
  };
  // one painter on the bitmap, where the effects draw on copies
  TBitmap halves = dst0.Clone(), dots = dst0.Clone();
  RefHalves(src, halves, clGreen, r, 9);
  RandSeed(21);
  RefPointillism(src, dots, 50, r, clWhite, 3);
  const std::map<std::string, const TBitmap*> reference = {{"halves", &halves}, {"pointillism", &dots}};
  for (const auto& [name, effect] : effects) {
    TBitmap one = dst0.Clone();
    SetEngineThreads(1);
    RandSeed(21);
    effect(one);
    const uint32_t after = GetRandSeed();
    EXPECT_FALSE(SameBitmaps(one, dst0)) << name;
    if (reference.count(name)) {
      EXPECT_TRUE(SameBitmaps(one, *reference.at(name))) << name;
    }
    for (int threads : {3, 8}) {
      SetEngineThreads(threads);
      TBitmap banded = dst0.Clone();
      RandSeed(21);
      effect(banded);
      EXPECT_TRUE(SameBitmaps(banded, one)) << name << " threads " << threads;
      EXPECT_EQ(GetRandSeed(), after) << name;
    }
  }
  SetEngineThreads(0);
}

// Pointillism stamps one disc: the disc Qt draws for the dot size, at every size, with
// dots cut by the rect's edges.
TEST_F(TileDraw, PointillismDiscsAreThePaintersAtEverySize) {
  const TBitmap src = RandomBitmap(70, 60, 11), dst0 = RandomBitmap(70, 60, 12);
  const TRect r{4, 3, 66, 55};
  for (int size = 3; size <= 50; ++size)
    for (TColor bg : {clWhite, clNone}) {
      TBitmap want = dst0.Clone(), got = dst0.Clone();
      RandSeed(uint32_t(size));
      RefPointillism(src, want, size, r, bg, 5);
      RandSeed(uint32_t(size));
      FilterPointillism(src, got, size, r, bg, 5);
      ASSERT_TRUE(SameBitmaps(got, want)) << size;
    }
}

// The cross-stitch stamps one shape per diagonal: the line Qt strokes with round ends
// for every cell size and thickness, lines cut by the rect's edges and drawn over their
// neighbours' ends in the cells' order. Rects from odd places make every cell's corner
// a different fraction of the page.
TEST_F(TileDraw, CrossStitchLinesAreThePaintersAtEverySizeAndThickness) {
  const TBitmap src = RandomBitmap(131, 97, 13), dst0 = RandomBitmap(131, 97, 14);
  for (int cell = 3; cell <= 50; ++cell)
    for (int thickness = 1; thickness <= 5; ++thickness) {
      const TRect r{cell % 7, 1 + cell % 5, 131 - thickness, 96};
      const bool first = cell % 3 != 1, second = cell % 3 != 2;
      TBitmap want = dst0.Clone(), got = dst0.Clone();
      want.FillRect(r, clWhite);
      QImage img = BitmapAsQImage(want);
      {
        QPainter p(&img);
        p.setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()));
        const int h = thickness / 2;
        for (int y = r.Top; y < r.Bottom; y += cell)
          for (int x = r.Left; x < r.Right; x += cell) {
            p.setPen(QPen(QColor::fromRgb(ColorToQRgb(At(src, x, y))), thickness, Qt::SolidLine, Qt::RoundCap,
                          Qt::RoundJoin));
            if (first) p.drawLine(x + h, y + h, x + cell - h, y + cell - h);
            if (second) p.drawLine(x + cell - h, y + h, x + h, y + cell - h);
          }
      }
      FilterCrossStitch(src, got, clWhite, r, second, first, thickness, cell);
      ASSERT_TRUE(SameBitmaps(got, want)) << "cell " << cell << " thickness " << thickness;
    }
}

// Tiny, edge-touching and reversed rects, and a 4-bit destination.
TEST_F(TileDraw, OddRects) {
  const TBitmap src = RandomBitmap(9, 7, 5);
  for (TRect r : {TRect{0, 0, 1, 1}, TRect{0, 0, 2, 2}, TRect{-5, -5, 4, 30}, TRect{8, 6, 0, 0}, UnboundedRect}) {
    TBitmap d = RandomBitmap(9, 7, 6, pf4bit);
    FilterCrossStitch(src, d, clWhite, r, true, true, 2, 3);
    EXPECT_EQ(d.PixelFormat(), pf24bit);
    DrawCrossStitch(src, d, clWhite, r, true, true, 3);
    FilterPointillism(src, d, 3, r, clNone, 1);
    TBitmap p = src.Clone();
    FilterPuzzle(p, 5, clRed, r, 1);
  }
}

}  // namespace
