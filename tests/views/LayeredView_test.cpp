#include <gtest/gtest.h>

#include <vector>

#include "support/ViewTestSupport.h"
#include "document/LayeredImage.h"
#include "views/LayeredView.h"
#include "platform/qt/QtBitmap.h"

using namespace qm;
using namespace qm::test;

TEST(LayeredView, CoordinatesChainThroughTheActiveLayer) {
  App();
  TLayeredImage doc;
  TMyImageLayered view(doc);
  Prepare(view, 200, 150);
  view.SetMarge(10);
  doc.LoadFromBitmap(TBitmap(40, 30), TBitmap(), "#0");
  doc.AddLayer(TBitmap(10, 8), TBitmap(), "#1", 100, TPoint{7, -3});
  view.SetZoom(2);
  EXPECT_EQ(view.ClientToLayerPoint(TPoint{30, 20}), (TPoint{3, 8}));
  EXPECT_EQ(view.LayerToClientPoint(TPoint{3, 8}), (TPoint{30, 20}));
  EXPECT_EQ(view.ClientToLayerRect(TRect{24, 14, 44, 30}), (TRect{0, 5, 10, 13}));
  EXPECT_TRUE(view.IsPointOnActiveLayer(TPoint{25, 12}));   // image (7, 1)
  EXPECT_FALSE(view.IsPointOnActiveLayer(TPoint{12, 12}));  // image (1, 1)
  doc.SetActiveLayerIndex(0);
  EXPECT_TRUE(view.IsPointOnActiveLayer(TPoint{12, 12}));
  EXPECT_FALSE(view.IsPointOnActiveLayer(TPoint{5, 5}));  // off the image
}

TEST(LayeredView, MovingALayerWithThePointerAndTheKeys) {
  App();
  TLayeredImage doc;
  TMyImageLayered view(doc);
  Prepare(view, 300, 200);
  doc.LoadFromBitmap(TBitmap(200, 150, pf24bit, clWhite), TBitmap(), "#0");
  doc.AddLayer(TBitmap(40, 30, pf24bit, clBlack), TBitmap(), "#1", 100, TPoint{20, 20});
  view.SetSelectionMode(smMoveLayer);
  std::vector<int> stages;
  doc.OnLayerMove = [&](TLayeredImage&, TLayerMoveStage s) { stages.push_back(s); };
  // origin (8, 8) at zoom 1: the layer lies on screen at (28, 28, 68, 58)
  EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
  Hover(view, {40, 40});
  EXPECT_EQ(view.viewport()->cursor().pixmap().cacheKey(), view.MoveCursor.pixmap().cacheKey());
  Drag(view, {40, 40}, {{41, 40}, {52, 45}}, Qt::ShiftModifier);  // (12, 5): across only
  EXPECT_EQ(doc.Layers[1].Left, 32);
  EXPECT_EQ(doc.Layers[1].Top, 20);
  EXPECT_EQ(stages.front(), lmDragStart);
  EXPECT_EQ(stages.back(), lmDragEnd);
  EXPECT_EQ(stages[stages.size() - 2], lmMoved);
  // on the grid
  view.SetGridAlign(true);
  view.SetGridWidth(16);
  Drag(view, {50, 40}, {{51, 41}, {50 + 21, 40 + 3}});  // 32 + 21 = 53 -> 48; 20 + 3 = 23 -> 16
  EXPECT_EQ(doc.Layers[1].Left, 48);
  EXPECT_EQ(doc.Layers[1].Top, 16);
  view.SetGridAlign(false);
  // the keys nudge it; the composition follows
  QTest::keyClick(&view, Qt::Key_Left, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(doc.Layers[1].Left, 40);
  EXPECT_EQ(doc.Layers[1].Top, 17);
  const TBitmap shown = BitmapFromQImage(Rendered(view));
  EXPECT_EQ(shown.GetPixel(8 + 40, 8 + 17), clBlack);
  EXPECT_EQ(shown.GetPixel(8 + 39, 8 + 17), clWhite);
  // a double click reaches the window (the layer options)
  TPoint dbl{-1, -1};
  view.OnDoubleClick = [&](TMyImage&, TPoint p) { dbl = p; };
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 40));
  EXPECT_EQ(dbl, (TPoint{60, 40}));
  EXPECT_EQ(doc.Layers[1].Left, 40);
  // a press off the layer moves nothing; the background is never moved
  Drag(view, {150, 150}, {{160, 160}});
  EXPECT_EQ(doc.Layers[1].Left, 40);
  doc.SetActiveLayerIndex(0);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(doc.Layers[0].Left, 0);
}

// Where the background lets things through, the composition shows over the
// checkerboard: white squares show it over white, coloured squares over the colour.
TEST(LayeredView, TheDocumentOverTheCheckerboard) {
  App();
  TLayeredImage doc;
  TMyImageLayered view(doc);
  Prepare(view, 120, 100);
  view.SetColor(RGB(100, 100, 100));
  TBitmap mask(40, 40, pf24bit, clBlack);
  mask.FillRect(TRect{0, 0, 20, 40}, clWhite);  // the left half hidden
  doc.LoadFromBitmap(TBitmap(40, 40, pf24bit, RGB(200, 0, 0)), mask, "#0");
  TBitmap half(10, 10, pf24bit, clBlack);
  doc.AddLayer(half, TBitmap(), "#1", 50, TPoint{0, 0});  // over the hidden part, at 50 %
  const TBitmap b = BitmapFromQImage(Rendered(view));
  EXPECT_EQ(b.GetPixel(8 + 30, 8 + 30), RGB(200, 0, 0));    // the shown background
  EXPECT_EQ(b.GetPixel(8 + 12, 8 + 20), RGB(100, 100, 100));  // a coloured square
  EXPECT_EQ(b.GetPixel(8 + 16, 8 + 20), clWhite);             // a white square
  EXPECT_EQ(b.GetPixel(8 + 0, 8 + 0), RGB(50, 50, 50));       // half black over the colour
  EXPECT_EQ(b.GetPixel(8 + 4, 8 + 0), RGB(128, 128, 128));    // half black over white
  // composition suspended (a dialog's preview): what the composed bitmap holds
  doc.SuspendComposition = true;
  view.viewport()->update();
  const TBitmap s = BitmapFromQImage(Rendered(view));
  EXPECT_EQ(s.GetPixel(8 + 12, 8 + 20), clWhite);
  doc.SuspendComposition = false;
}
