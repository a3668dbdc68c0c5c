// The zoom viewport draws on a window through a QPainter; every mode must put on the
// screen exactly what it puts into a bitmap (the path the image browser and the tests
// use), including the cut of partly visible pixels, the smooth reduction and keys.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "pixel/ImgZoom.h"
#include "platform/core/Canvas.h"
#include "platform/qt/QtBitmap.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

struct Drawing {
  TRect view;
  int left, top;
  double zoom;
  bool fill, halftone, snap, raw;
};

}  // namespace

TEST(DrawBitmapZoomed, OnAPainterEqualsTheDrawingIntoABitmap) {
  TBitmap plain = RandomBitmap(37, 23, 5), keyed = RandomBitmap(37, 23, 6);
  for (int y = 0; y < keyed.Height(); ++y)
    for (int x = (y % 3); x < keyed.Width(); x += 3) keyed.SetPixel(x, y, RGB(255, 0, 255));
  keyed.Transparent = true;
  keyed.TransparentColor = RGB(255, 0, 255);
  const Drawing drawings[] = {
      {TRect{0, 0, 80, 60}, 3, 4, 1.0, true, false, false, false},
      {TRect{5, 2, 70, 55}, -7, -3, 3.4, true, false, true, false},     // magnified, snapped, cut
      {TRect{0, 0, 80, 60}, 10, 9, 0.37, true, true, false, false},     // smooth reduction
      {TRect{4, 4, 60, 50}, -11, 2, 0.8, false, true, false, false},
      {TRect{0, 0, 80, 60}, 2, 1, 2.5, true, true, false, true},        // raw: one plain stretch
      {TRect{0, 0, 30, 20}, 100, 100, 1.0, true, false, false, false},  // nothing visible
  };
  for (const TBitmap* src : {&plain, &keyed}) {
    int i = 0;
    for (const Drawing& d : drawings) {
      TBitmap onBitmap(80, 60, pf24bit, RGB(10, 20, 30)), onPainter(80, 60, pf24bit, RGB(10, 20, 30));
      TRect drawnB, drawnP;
      {
        TBitmapCanvas canvas(onBitmap);
        canvas.BrushColor = RGB(200, 201, 202);
        DrawBitmapZoomed(src, &canvas, d.view, d.left, d.top, d.zoom, d.fill, d.halftone, d.snap, d.raw, drawnB);
      }
      {
        QImage view = BitmapAsQImage(onPainter);
        QPainter painter(&view);
        TQtCanvas canvas(painter);
        canvas.BrushColor = RGB(200, 201, 202);
        DrawBitmapZoomed(src, &canvas, d.view, d.left, d.top, d.zoom, d.fill, d.halftone, d.snap, d.raw, drawnP);
      }
      EXPECT_EQ(drawnB, drawnP) << "drawing " << i;
      EXPECT_TRUE(SameBitmaps(onBitmap, onPainter)) << "drawing " << i << (src == &keyed ? " keyed" : "");
      ++i;
    }
  }
}
