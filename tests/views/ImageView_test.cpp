#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>

#include "support/ViewTestSupport.h"
#include "views/CustomImage.h"
#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"
#include "platform/core/Canvas.h"
#include "platform/qt/QtBitmap.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {


}  // namespace

TEST(ImageView, CoordinatesRoundTripAtEveryZoom) {
  App();
  TMyCustomImage view;
  ShowPicture(view, 400, 300, RandomBitmap(97, 61, 1));
  for (double z : {0.1, 0.25, 0.3, 0.5, 0.9, 1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 7.3, 16.0, 32.0}) {
    for (int scroll : {0, 37}) {
      SCOPED_TRACE(testing::Message() << "zoom " << z << " scroll " << scroll);
      view.SetZoom(z);
      view.ScrollImageBy(scroll - view.horizontalScrollBar()->value(), scroll - view.verticalScrollBar()->value());
      const TRect s = view.GetImageScreenRect();
      const TPoint o = view.Origin();
      EXPECT_EQ(o.X, 8 - view.horizontalScrollBar()->value());
      EXPECT_EQ(s.Width(), int(std::nearbyint(97 * z)));
      // the exact edges, both ways
      EXPECT_EQ(view.ClientToImagePoint(TPoint{s.Left, s.Top}), (TPoint{0, 0}));
      EXPECT_EQ(view.ClientToImagePoint(TPoint{s.Right - 1, s.Bottom - 1}), (TPoint{96, 60}));
      EXPECT_EQ(view.ImageToClientPoint(TPoint{0, 0}), (TPoint{s.Left, s.Top}));
      EXPECT_EQ(view.ImageToClientPoint(TPoint{96, 60}), (TPoint{s.Right - 1, s.Bottom - 1}));
      EXPECT_EQ(view.ClientToImageRect(s), (TRect{0, 0, 97, 61}));
      EXPECT_EQ(view.ImageToClientRect(TRect{0, 0, 97, 61}), s);
      // truncation inside the image, exact multiples counting as whole
      for (int k = 1; k < s.Width() - 1; ++k)
        ASSERT_EQ(view.ClientToImagePoint(TPoint{s.Left + k, s.Top}).X, int(std::floor(k / z + 1e-9))) << k;
      if (z <= 1) {
        for (int x = s.Left; x < s.Right; ++x) {
          const TPoint i = view.ClientToImagePoint(TPoint{x, s.Top});
          ASSERT_EQ(view.ImageToClientPoint(i).X, x) << "client " << x;
        }
      }
      if (z >= 1) {
        for (int i = 0; i < 97; ++i) {
          const TPoint c = view.ImageToClientPoint(TPoint{i, 0});
          ASSERT_EQ(view.ClientToImagePoint(c).X, i) << "pixel " << i;
          ASSERT_TRUE(view.IsPointOnImage(c));
        }
      }
    }
  }
  view.SetZoom(0.1);
  view.ScrollImageBy(-1000, -1000);
  EXPECT_EQ(view.ClientToImagePoint(TPoint{8 + 3, 8}).X, 30);  // 3 / 0.1 is 30, not 29.999
}

TEST(ImageView, ScrollRangesFollowTheZoomAndTheMargin) {
  App();
  TMyCustomImage view;
  ShowPicture(view, 60, 40, RandomBitmap(100, 50, 2));
  struct Case {
    double zoom;
    int marge, w, h;
  };
  for (const Case& c : {Case{1, 8, 116, 66}, Case{2, 8, 216, 116}, Case{0.5, 0, 50, 25}, Case{3, 20, 340, 190}}) {
    view.SetMarge(c.marge);
    view.SetZoom(c.zoom);
    EXPECT_EQ(view.HorzRange(), c.w);
    EXPECT_EQ(view.VertRange(), c.h);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), std::max(0, c.w - 60));
    EXPECT_EQ(view.verticalScrollBar()->maximum(), std::max(0, c.h - 40));
  }
  view.SetMarge(8);
  view.SetZoom(1);
  view.ScrollImageBy(-500, -500);
  EXPECT_EQ(view.Origin(), (TPoint{8, 8}));
  view.ScrollImageBy(30, 500);
  EXPECT_EQ(view.Origin(), (TPoint{8 - 30, 8 - 26}));
  view.SetShadowSize(9);
  EXPECT_EQ(view.ShadowSize(), 0);
  view.SetShadowSize(4);
  EXPECT_EQ(view.ShadowSize(), 4);
  // fitted into the window, less the margins
  view.ZoomToFitSize(216, 116);
  EXPECT_DOUBLE_EQ(view.Zoom(), 2.0);
}

// The viewport's image part is what the engine's DrawBitmapZoomed gives on the same
// rectangle, for a full paint and for a repaint of a part; the margins are the colour.
TEST(ImageView, PaintsWhatTheEngineDraws) {
  App();
  TMyCustomImage view;
  ShowPicture(view, 320, 240, RandomBitmap(300, 200, 3));
  view.SetColor(RGB(10, 20, 30));
  for (double z : {0.25, 0.7, 1.0, 3.0, 5.5, 0.6, 2.5}) {
    SCOPED_TRACE(testing::Message() << "zoom " << z);
    // the last two without smoothing: a reduction by nearest pixel, then a magnification
    const bool smooth = z != 0.6 && z != 2.5;
    view.SetOptimizeMode(smooth ? omReduction : omNone);
    view.SetZoom(z);
    view.ScrollImageBy(23, 17);
    const QImage shown = Rendered(view);
    // the same drawing, straight from the engine
    TBitmap expect(320, 240, pf24bit, RGB(10, 20, 30));
    TBitmapCanvas canvas(expect);
    TRect drawn;
    const TPoint o = view.Origin();
    DrawBitmapZoomed(&view.Picture(), &canvas, TRect{0, 0, 320, 240}, o.X, o.Y, z, false, smooth && z < 1, true, false,
                     drawn);
    const TBitmap got = BitmapFromQImage(shown);
    EXPECT_TRUE(SameBitmaps(got, expect));
    EXPECT_EQ(got.GetPixel(0, 0) == RGB(10, 20, 30), o.X > 0 && o.Y > 0);
    // a repaint of a part draws the same pixels there
    const QRect part(37, 21, 101, 77);
    QImage again = shown;
    {
      QPainter p(&again);
      p.fillRect(part, Qt::magenta);
      view.RenderViewport(p, QRegion(part));
    }
    EXPECT_EQ(again, shown);
    view.ScrollImageBy(-23, -17);
  }
}

// Painted by the window system into its window, away from the window's corner, the
// view shows in that window what the engine draws: the image written straight into
// the window's pixels lands at the viewport's place, and a partial repaint changes
// nothing else.
TEST(ImageView, PaintsIntoItsWindowWhatTheEngineDraws) {
  App();
  QWidget window;
  window.setContentsMargins(13, 9, 0, 0);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(13, 9, 5, 5);
  auto* view = new TMyCustomImage;
  layout->addWidget(view);
  view->setFrameStyle(QFrame::NoFrame);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  window.resize(260, 200);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  view->SetOptimizeMode(omNone);
  view->SetColor(RGB(10, 20, 30));
  view->Picture() = RandomBitmap(150, 100, 7);
  view->PictureChanged();
  for (double z : {1.0, 3.0, 0.6}) {
    SCOPED_TRACE(testing::Message() << "zoom " << z);
    view->SetZoom(z);
    view->ScrollImageBy(11, 7);
    view->viewport()->repaint();
    const QSize vs = view->viewport()->size();
    const QPoint corner = view->viewport()->mapTo(&window, QPoint(0, 0));
    ASSERT_NE(corner, QPoint(0, 0));
    const QImage shot = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = shot.copy(QRect(corner, vs));
    TBitmap expect(vs.width(), vs.height(), pf24bit, RGB(10, 20, 30));
    TBitmapCanvas canvas(expect);
    TRect drawn;
    const TPoint o = view->Origin();
    DrawBitmapZoomed(&view->Picture(), &canvas, TRect{0, 0, vs.width(), vs.height()}, o.X, o.Y, z, false, false, true,
                     false, drawn);
    const TBitmap got = BitmapFromQImage(shown);
    EXPECT_TRUE(SameBitmaps(got, expect));
    // the margin of the window around the viewport is the window's own
    EXPECT_EQ(shot.pixel(corner.x() - 1, corner.y() + 5), shot.pixel(2, 2));
    view->ScrollImageBy(-11, -7);
  }
}

// Below 100 % the view reduces the picture only where it is shown: scrolled over a
// picture larger than itself, with pixels changed in view and out of view, it shows
// exactly the engine's reduction of the whole picture.
TEST(ImageView, ReducesOnlyWhatItShowsAsTheWholeReductionWould) {
  App();
  TMyCustomImage view;
  ShowPicture(view, 160, 120, RandomBitmap(900, 700, 5));
  view.SetOptimizeMode(omReduction);
  view.SetZoom(0.45);
  auto matches = [&view] {
    // the whole picture reduced, placed where the view shows the image
    const TRect img = view.GetImageScreenRect();
    TBitmap reduced(img.Width(), img.Height(), pf24bit, clBlack);
    const TRect all = GetBitmapRect(reduced);
    StretchBitmapRectHalftone(view.Picture(), GetBitmapRect(view.Picture()), reduced, all, all);
    TBitmap expect(160, 120, pf24bit, view.Color());
    TBitmapCanvas canvas(expect);
    TRect drawn;
    DrawBitmapZoomed(&reduced, &canvas, TRect{0, 0, 160, 120}, img.Left, img.Top, 1.0, false, false, false, false,
                     drawn);
    return SameBitmaps(BitmapFromQImage(Rendered(view)), expect);
  };
  const TPoint moves[] = {{0, 0}, {150, 0}, {0, 130}, {-90, -40}, {-400, 0}, {120, 95}};
  for (int round = 0; round < 2; ++round)
    for (const TPoint m : moves) {
      SCOPED_TRACE(testing::Message() << "round " << round << " scroll " << m.X << ", " << m.Y);
      view.ScrollImageBy(m.X, m.Y);
      EXPECT_TRUE(matches());
      // a change where the view looks and one far from it
      const TPoint p = view.ClientToImagePoint(TPoint{60, 50});
      view.Picture().FillRect(TRect{p.X, p.Y, p.X + 30, p.Y + 20}, RGB(10 * m.X & 255, 200, 40));
      view.InvalidateImageRect(TRect{p.X, p.Y, p.X + 30, p.Y + 20});
      view.Picture().FillRect(TRect{870 - p.X / 2, 650 - p.Y / 2, 890 - p.X / 2, 670 - p.Y / 2}, RGB(250, 0, 90));
      view.InvalidateImageRect(TRect{870 - p.X / 2, 650 - p.Y / 2, 890 - p.X / 2, 670 - p.Y / 2});
      EXPECT_TRUE(matches());
    }
}

TEST(ImageView, FrameCheckerboardAndGrid) {
  App();
  TMyCustomImage view;
  Prepare(view, 120, 100);
  view.Picture() = TBitmap(40, 30, pf24bit, RGB(200, 0, 0));
  view.Picture().FillRect(TRect{0, 0, 10, 10}, RGB(0, 255, 0));
  view.Picture().Transparent = true;
  view.Picture().TransparentColor = RGB(0, 255, 0);
  view.PictureChanged();
  view.SetColor(RGB(100, 100, 100));
  view.SetBorderColor(clBlack);
  view.SetShadowSize(4);
  TBitmap b = BitmapFromQImage(Rendered(view));
  EXPECT_EQ(b.GetPixel(7, 20), clBlack);                // the frame just outside the image
  EXPECT_EQ(b.GetPixel(8 + 20, 8 + 20), RGB(200, 0, 0));  // the image
  // the checkerboard under the key colour: 4 x 4 squares from the image's origin
  EXPECT_EQ(b.GetPixel(8, 8), RGB(100, 100, 100));
  EXPECT_EQ(b.GetPixel(8 + 4, 8), clWhite);
  EXPECT_EQ(b.GetPixel(8 + 4, 8 + 4), RGB(100, 100, 100));
  EXPECT_NE(b.GetPixel(8 + 40 + 2, 8 + 15), RGB(100, 100, 100));  // the shadow beside it

  // the grid: lines every 16 image pixels, none when they would be closer than 2
  view.Picture().Transparent = false;
  view.PictureChanged();
  view.SetGridColor(RGB(0, 0, 255));
  const QImage plain = Rendered(view);
  view.SetShowGrid(true);
  b = BitmapFromQImage(Rendered(view));
  EXPECT_EQ(b.GetPixel(8 + 16, 8 + 20), RGB(0, 0, 255));
  EXPECT_EQ(b.GetPixel(8 + 20, 8 + 16), RGB(0, 0, 255));
  EXPECT_EQ(b.GetPixel(8 + 17, 8 + 20), RGB(200, 0, 0));
  view.SetZoom(0.1);
  view.SetShowGrid(false);
  const QImage small = Rendered(view);
  view.SetShowGrid(true);
  EXPECT_EQ(Rendered(view), small);  // 0.1 x 16 = 1.6 < 2
  (void)plain;
}

// An image rectangle repaints that rectangle of the viewport (inflated by 3), not the
// window; ant steps repaint the band alone.
TEST(ImageView, InvalidationRepaintsTheChangedRectangleOnly) {
  App();
  struct Probe : TMyCustomImage {
    QRegion painted;
    void paintEvent(QPaintEvent* e) override {
      painted += e->region();
      TMyCustomImage::paintEvent(e);
    }
  } view;
  ShowPicture(view, 300, 200, RandomBitmap(200, 150, 4));
  view.SetZoom(2);
  QApplication::processEvents();
  view.painted = QRegion();
  view.InvalidateImageRect(TRect{10, 10, 20, 15});
  QApplication::processEvents();
  const TRect expect = view.ImageToClientRect(TRect{7, 7, 23, 18});
  EXPECT_EQ(view.painted.boundingRect(), QRect(expect.Left, expect.Top, expect.Width(), expect.Height()));
}

// Below 100 % a change is reduced again where the view shows it; a part out of view is
// reduced when it scrolls in, and then shows the change too.
TEST(ImageView, AChangeOutOfViewShowsOnceScrolledTo) {
  App();
  TMyCustomImage view;
  ShowPicture(view, 160, 120, RandomBitmap(600, 400, 8));
  view.SetOptimizeMode(omReduction);
  view.SetZoom(0.5);
  auto matchesEngine = [&] {
    const TBitmap got = BitmapFromQImage(Rendered(view));
    TBitmap expect = got.Clone();
    TBitmapCanvas canvas(expect);
    TRect drawn;
    const TPoint o = view.Origin();
    DrawBitmapZoomed(&view.Picture(), &canvas, TRect{0, 0, 160, 120}, o.X, o.Y, 0.5, false, true, true, false, drawn);
    return SameBitmaps(got, expect);
  };
  EXPECT_TRUE(matchesEngine());
  for (const TRect r : {TRect{10, 10, 60, 50}, TRect{500, 300, 590, 390}}) {
    view.Picture().FillRect(r, RGB(250, 10, 90));
    view.InvalidateImageRect(r);
  }
  EXPECT_TRUE(matchesEngine());
  view.ScrollImageBy(1000, 1000);
  EXPECT_TRUE(matchesEngine());
  view.ScrollImageBy(-1000, -1000);
  EXPECT_TRUE(matchesEngine());
}
