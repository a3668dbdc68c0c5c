#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "pixel/ImgZoom.h"
#include "pixel/RectUtils.h"
#include "platform/core/Canvas.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

TEST(ImageZoom, FitModesZoomAndPosition) {
  TBitmap b(200, 100);
  TImageZoom z;
  z.SetAlignment(alCenter);
  z.SetBitmap(&b);
  z.SetViewRect(TRect{0, 0, 100, 100});
  z.SetFitMode(fmFitWhole);
  EXPECT_DOUBLE_EQ(z.Zoom(), 0.5);
  EXPECT_EQ(z.ZoomedWidth(), 100);
  EXPECT_EQ(z.ZoomedHeight(), 50);
  EXPECT_EQ(z.ImageLeft(), 0);
  EXPECT_EQ(z.ImageTop(), 25);
  EXPECT_EQ(z.GetImageRect(), (TRect{0, 25, 100, 75}));

  TBitmap narrow(100, 10);
  z.SetBitmap(&narrow);
  z.SetViewRect(TRect{0, 0, 300, 50});
  z.SetFitMode(fmFitWidth);
  EXPECT_DOUBLE_EQ(z.Zoom(), 3.0);  // fitting also enlarges
  z.SetFitMode(fmFitHeight);
  EXPECT_DOUBLE_EQ(z.Zoom(), 5.0);
  z.SetFitMode(fmActualSize);
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.0);

  z.SetZoom(0);
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.0);
  EXPECT_EQ(z.FitMode(), fmExplicit);
  z.SetZoom(-3);
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.0);
  z.SetZoom(std::nan(""));
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.0);
  z.SetZoom(2.5);
  EXPECT_EQ(z.ZoomedWidth(), 250);
  EXPECT_EQ(z.ZoomedHeight(), 25);  // round(10 * 2.5) = 25

  z.SetImageLeft(-40);
  EXPECT_EQ(z.Alignment(), alFree);
  EXPECT_EQ(z.ImageLeft(), -40);
  z.SetZoom(2.0);  // free position: not moved
  EXPECT_EQ(z.ImageLeft(), -40);
  z.SetAlignment(alCenter);
  EXPECT_EQ(z.ImageLeft(), (300 - 200) / 2);

  z.SetZoomedWidth(50);
  EXPECT_DOUBLE_EQ(z.Zoom(), 0.5);
  EXPECT_EQ(z.ZoomedHeight(), 5);
  z.SetZoomedHeight(30);
  EXPECT_EQ(z.ZoomedWidth(), 300);

  z.SetBitmap(nullptr);
  EXPECT_EQ(z.ZoomedWidth(), 0);
  TRect drawn{1, 1, 2, 2};
  z.DrawTo(true, drawn);
  EXPECT_EQ(drawn, (TRect{0, 0, 0, 0}));
}

TEST(ImageZoom, EmptyBitmapsAndHugeZoomsStayInRange) {
  TBitmap empty;
  TImageZoom z;
  z.SetBitmap(&empty);
  z.SetViewRect(TRect{0, 0, 100, 100});
  z.SetFitMode(fmFitWhole);
  z.SetZoomedWidth(10);
  z.SetZoomedHeight(10);
  EXPECT_EQ(z.ZoomedWidth(), 0);
  TBitmap b(1000, 3);
  z.SetBitmap(&b);
  z.SetZoom(1e300);
  EXPECT_GT(z.ZoomedWidth(), 0);
  EXPECT_LE(z.ZoomedWidth(), int(kMaxZoomedSide));
  z.SetZoomedHeight(2000000000);
  EXPECT_GT(z.ZoomedWidth(), 0);
  EXPECT_LE(z.ZoomedWidth(), int(kMaxZoomedSide));
  TBitmap target(50, 50);
  TBitmapCanvas canvas(target);
  TRect drawn;
  DrawBitmapZoomed(&b, &canvas, TRect{0, 0, 50, 50}, -2000000000, 0, 1e9, true, true, true, false, drawn);
}

TEST(DrawBitmapZoomed, NearestZoomWithSnappingPutsWholePixelsOnTheGrid) {
  TBitmap src = RandomBitmap(6, 5, 3);
  TBitmap target(40, 40, pf24bit, clBlack);
  TBitmapCanvas canvas(target);
  TRect drawn;
  // image at (-3, 2), zoom 4: the first visible source column is cut by the view
  DrawBitmapZoomed(&src, &canvas, TRect{0, 0, 30, 40}, -3, 2, 4.0, true, false, true, false, drawn);
  EXPECT_EQ(drawn, (TRect{0, 2, 21, 22}));
  for (int y = 2; y < 22; ++y)
    for (int x = 0; x < 21; ++x) ASSERT_EQ(target.GetPixel(x, y), src.GetPixel((x + 3) / 4, (y - 2) / 4)) << x << "," << y;
  EXPECT_EQ(target.GetPixel(5, 0), clWhite);  // the background brush above the image
  EXPECT_EQ(target.GetPixel(25, 5), clWhite);
  EXPECT_EQ(target.GetPixel(35, 5), clBlack);  // outside the view rect
}

TEST(DrawBitmapZoomed, ImageOutsideTheViewFillsItAndDrawsNothing) {
  TBitmap src(10, 10, pf24bit, clBlack), target(20, 20, pf24bit, RGB(1, 2, 3));
  TBitmapCanvas canvas(target);
  canvas.BrushColor = RGB(50, 60, 70);
  TRect drawn;
  DrawBitmapZoomed(&src, &canvas, TRect{0, 0, 10, 10}, 100, 100, 1.0, true, false, false, false, drawn);
  EXPECT_EQ(drawn, (TRect{0, 0, 0, 0}));
  EXPECT_EQ(target.GetPixel(9, 9), RGB(50, 60, 70));
  EXPECT_EQ(target.GetPixel(10, 10), RGB(1, 2, 3));
}

TEST(DrawBitmapZoomed, TransparentBitmapsSkipTheirKeyColour) {
  TBitmap src(4, 4, pf24bit, RGB(255, 0, 255));
  src.SetPixel(1, 1, RGB(10, 20, 30));
  src.Transparent = true;
  src.TransparentColor = RGB(255, 0, 255);
  TBitmap target(8, 8, pf24bit, RGB(7, 7, 7));
  TBitmapCanvas canvas(target);
  TRect drawn;
  DrawBitmapZoomed(&src, &canvas, TRect{0, 0, 8, 8}, 0, 0, 2.0, false, true, false, false, drawn);
  EXPECT_EQ(target.GetPixel(0, 0), RGB(7, 7, 7));
  EXPECT_EQ(target.GetPixel(2, 3), RGB(10, 20, 30));
  EXPECT_EQ(drawn, (TRect{0, 0, 8, 8}));
}

TEST(StretchBitmapRectHalftone, AveragesTheCoveredAreaAndKeepsUniformAreas) {
  Rng rng(4);
  for (int i = 0; i < 40; ++i) {
    const int sw = rng.Int(1, 90), sh = rng.Int(1, 70), dw = rng.Int(1, 60), dh = rng.Int(1, 60);
    TBitmap src = RandomBitmap(sw, sh, uint32_t(i)), dst(dw, dh, pf24bit, clBlack);
    SetEngineThreads(i % 2 ? 8 : 1);
    StretchBitmapRectHalftone(src, UnboundedRect, dst, TRect{0, 0, dw, dh}, UnboundedRect);
    // the exact area average, in floating point
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x)
        for (int c = 0; c < 3; ++c) {
          const double x0 = double(x) * sw / dw, x1 = double(x + 1) * sw / dw;
          const double y0 = double(y) * sh / dh, y1 = double(y + 1) * sh / dh;
          double sum = 0, area = 0;
          for (int sy = int(y0); sy < sh && sy < y1; ++sy)
            for (int sx = int(x0); sx < sw && sx < x1; ++sx) {
              const double a = (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0)) *
                               (std::min<double>(sy + 1, y1) - std::max<double>(sy, y0));
              sum += a * Px(src, sx, sy)[c];
              area += a;
            }
          ASSERT_NEAR(Px(dst, x, y)[c], sum / area, 1.01) << i << " at " << x << "," << y;
        }
    TBitmap uni(sw, sh, pf24bit, RGB(37, 200, 255)), out(dw, dh, pf24bit, clBlack);
    StretchBitmapRectHalftone(uni, UnboundedRect, out, TRect{0, 0, dw, dh}, UnboundedRect);
    ASSERT_TRUE(SameBitmaps(out, TBitmap(dw, dh, pf24bit, RGB(37, 200, 255))));
  }
  SetEngineThreads(0);
}

// The integer weights the reduction defines: along each axis destination pixel k
// covers [k S, k S + S) in units of 1 / D source pixels, and each covered source pixel
// gets the rounded growth of the covered share, in 2048ths; a pixel is the sum of the
// products of both axes' weights, rounded (half up) back to a level.
std::vector<std::pair<int, int64_t>> RefAxisWeights(int64_t S, int64_t D, int k) {
  std::vector<std::pair<int, int64_t>> w;
  const int64_t a = k * S, b = a + S;
  int64_t prev = 0;
  for (int64_t i = a / D; i <= (b - 1) / D; ++i) {
    const int64_t cum = ((std::min(b, (i + 1) * D) - a) * 2048 + S / 2) / S;
    w.emplace_back(int(i), cum - prev);
    prev = cum;
  }
  return w;
}

TEST(StretchBitmapRectHalftone, EqualsTheIntegerAreaWeightsExactly) {
  // Wide enough for the sixteen-pixel groups, the blocks of a row and their
  // remainders, at reductions of a little above 1 to above 11 (sixteen pixels whose
  // columns span from 20 to past 128), over a source rect that does not start at 0; the
  // pairs with a height of 3 sum about 19 source rows into each row.
  const TBitmap src = RandomBitmap(420, 60, 6);
  const TRect sr{3, 2, 417, 59};
  for (const auto& [dw, dh] : {std::pair{37, 17}, {53, 17}, {80, 17}, {100, 17}, {112, 17}, {166, 17}, {343, 17},
                               {37, 3}, {112, 3}, {343, 3}}) {
    TBitmap want(dw, dh, pf24bit, clBlack);
    for (int y = 0; y < dh; ++y) {
      const auto wy = RefAxisWeights(sr.Height(), dh, y);
      for (int x = 0; x < dw; ++x) {
        const auto wx = RefAxisWeights(sr.Width(), dw, x);
        for (int c = 0; c < 3; ++c) {
          int64_t sum = 0;
          for (const auto& [sy, vy] : wy)
            for (const auto& [sx, vx] : wx) sum += vx * vy * Px(src, sr.Left + sx, sr.Top + sy)[c];
          Px(want, x, y)[c] = uint8_t((sum + (int64_t(1) << 21)) >> 22);
        }
      }
    }
    for (int threads : {1, 8}) {
      SetEngineThreads(threads);
      TBitmap got(dw, dh, pf24bit, clBlack);
      StretchBitmapRectHalftone(src, sr, got, TRect{0, 0, dw, dh}, UnboundedRect);
      EXPECT_TRUE(SameBitmaps(got, want)) << dw << " " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(StretchBitmapRectHalftone, ClippedPartsEqualTheWholeDrawing) {
  TBitmap src = RandomBitmap(300, 200, 1), whole(70, 50, pf24bit, clBlack), part(70, 50, pf24bit, clBlack);
  StretchBitmapRectHalftone(src, TRect{10, 5, 290, 190}, whole, TRect{-5, 3, 65, 48}, UnboundedRect);
  StretchBitmapRectHalftone(src, TRect{10, 5, 290, 190}, part, TRect{-5, 3, 65, 48}, TRect{20, 10, 40, 30});
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 70; ++x)
      ASSERT_EQ(part.GetPixel(x, y), (x >= 20 && x < 40 && y >= 10 && y < 30) ? whole.GetPixel(x, y) : clBlack);
}

TEST(ImageZoom, FitZoomOfEmptyInputsAndUnknownModes) {
  TBitmap b(200, 100), empty;
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 50, 80}, fmFitWidth), 0.25);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 50, 80}, fmFitHeight), 0.8);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 50, 80}, fmFitWhole), 0.25);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 50, 80}, fmExplicit), 1.0);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 50, 80}, TFitMode(9)), 1.0);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(nullptr, TRect{0, 0, 50, 80}, fmFitWhole), 0.0);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&empty, TRect{0, 0, 50, 80}, fmFitWhole), 0.0);
  EXPECT_DOUBLE_EQ(TImageZoom::ComputeFitZoom(&b, TRect{0, 0, 0, 80}, fmFitWhole), 0.0);

  // a free position keeps its coordinates through every recomputation
  TImageZoom z;
  z.SetBitmap(&b);
  z.SetViewRect(TRect{0, 0, 400, 400});
  z.SetAlignment(alBottomRight);
  EXPECT_EQ(z.GetImageRect(), (TRect{200, 300, 400, 400}));
  z.SetImageTop(-17);
  EXPECT_EQ(z.Alignment(), alFree);
  z.SetViewRect(TRect{0, 0, 300, 300});
  z.SetZoom(2.0);
  EXPECT_EQ(z.GetImageRect(), (TRect{200, -17, 600, 183}));
  // an empty view keeps the zoom of a fitting mode and the position
  z.SetAlignment(alCenter);
  z.SetFitMode(fmFitWhole);
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.5);
  z.SetViewRect(TRect{});
  EXPECT_DOUBLE_EQ(z.Zoom(), 1.5);
  EXPECT_EQ(z.GetImageRect(), (TRect{0, 75, 300, 225}));
}
