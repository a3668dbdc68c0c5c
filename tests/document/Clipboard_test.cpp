#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QObject>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "document/Undo.h"
#include "document/qt/Clipboard.h"
#include "document/qt/SelectionLayerOps.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "support/GuiTestApp.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApp();
    ResetClipboardData(record);
  }
  void Select(TStandaloneDocument& d, TMyShape kind, TRect r, bool inverted = false) {
    d.Selection.Visible = true;
    d.Selection.SetShape(kind);
    d.Selection.SetSelectionRect(r);
    d.Selection.SetOutlineInset(inverted);
  }
  TClipboardData record;
};

// Another program's picture on the clipboard.
void ForeignCopy(const QImage& img) {
  auto* data = new QMimeData;
  data->setImageData(img);
  QGuiApplication::clipboard()->setMimeData(data);
}

int CountBetween(const TBitmap& mask, int lo, int hi) {
  int n = 0;
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x) n += mask.ScanLine(y)[3 * x] >= lo && mask.ScanLine(y)[3 * x] <= hi;
  return n;
}

}  // namespace

TEST_F(ClipboardTest, EllipticalCopyPastesWithItsRampAndForeignPicturesWithout) {
  TStandaloneDocument d;
  const TBitmap photo = RandomBitmap(200, 150, 3);
  AddFirstLayer(d, photo);
  const TRect ellipse{20, 30, 180, 130};
  Select(d, ssEllipse, ellipse);
  ASSERT_TRUE(CopySelection(d, record));
  EXPECT_TRUE(IsOwnClipboard(record));
  d.HideSelection();
  const int i = PasteAsNewLayer(d, record, MakeNewLayerName(d));
  ASSERT_EQ(i, 1);
  const TLayerItem& l = d.Image.Layers[1];
  ASSERT_EQ(l.Image.Width(), 160);
  ASSERT_EQ(l.Mask.Width(), 160);
  // The ellipse's corners are hidden, its middle shown, its edge ramped.
  EXPECT_EQ(l.Mask.ScanLine(0)[0], 255);
  EXPECT_EQ(l.Mask.ScanLine(50)[80 * 3], 0);
  EXPECT_GT(CountBetween(l.Mask, 1, 254), 100);
  // The pixels are the photo's.
  TBitmap part;
  CopyBitmapRegion(photo, part, ellipse);
  EXPECT_TRUE(SameBitmaps(l.Image, part));
  // Centred in the visible part of the image.
  EXPECT_EQ(l.Left, 20);
  EXPECT_EQ(l.Top, 25);

  // Another program copies: its picture pastes without our mask, and the record goes.
  QObject watcher;
  WatchClipboard(record, &watcher);
  QImage foreign(40, 30, QImage::Format_RGB32);
  foreign.fill(qRgb(10, 20, 30));
  ForeignCopy(foreign);
  EXPECT_FALSE(IsOwnClipboard(record));
  EXPECT_FALSE(record.Valid);
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  EXPECT_EQ(picture.Width(), 40);
  EXPECT_EQ(picture.GetPixel(5, 5), RGB(10, 20, 30));
  EXPECT_TRUE(mask.Empty());
  const int k = PasteAsNewLayer(d, record, MakeNewLayerName(d));
  EXPECT_TRUE(MaskRectEquals(d.Image.Layers[k].Mask, 0, UnboundedRect));  // the strip's default mask
  // A translucent foreign picture is laid over white.
  QImage translucent(4, 4, QImage::Format_ARGB32);
  translucent.fill(qRgba(0, 0, 0, 0));
  ForeignCopy(translucent);
  GetClipboardImageAndMask(record, picture, mask);
  EXPECT_EQ(picture.GetPixel(1, 1), clWhite);
}

TEST_F(ClipboardTest, WholeLayerCopyCarriesTheLayerMaskAndTransparency) {
  TStandaloneDocument d;
  AddFirstLayer(d, RandomBitmap(50, 40, 1));
  const TBitmap layerMask = RandomMask(20, 10, 4);
  AddLayerFromBitmap(d, "#1", RandomBitmap(20, 10, 2), &layerMask, TPoint{5, 6});
  ASSERT_TRUE(CopySelection(d, record));
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  EXPECT_TRUE(SameBitmaps(mask, layerMask));
  // A transparent bitmap records its key as a mask and comes back transparent.
  TBitmap keyed = RandomBitmap(8, 8, 5);
  keyed.FillRect(TRect{0, 0, 4, 8}, RGB(1, 2, 3));
  keyed.Transparent = true;
  keyed.TransparentColor = RGB(1, 2, 3);
  CopyBitmapWithMask(record, &keyed, nullptr);
  GetClipboardImageAndMask(record, picture, mask);
  EXPECT_TRUE(picture.Transparent);
  EXPECT_EQ(picture.TransparentColor, RGB(1, 2, 3));
  EXPECT_EQ(CountBetween(mask, 255, 255), 32);
  // An empty bitmap empties the clipboard and the record.
  CopyBitmapWithMask(record, nullptr, nullptr);
  EXPECT_FALSE(ClipboardHasImage());
  EXPECT_FALSE(record.Valid);
}

TEST_F(ClipboardTest, PasteIntoSelectionCentresOrFits) {
  for (bool fit : {false, true}) {
    SCOPED_TRACE(fit);
    TStandaloneDocument d;
    AddFirstLayer(d, TBitmap(120, 100, pf24bit, clWhite));
    QImage red(20, 10, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    ForeignCopy(red);
    // A selection larger than the image.
    Select(d, ssRect, TRect{-40, 10, 160, 90});
    ASSERT_TRUE(PasteIntoSelection(d, record, fit));
    TRect painted;
    FindTrimRect(d.Image.Layers[0].Image, 0, clWhite, painted);
    if (fit) {
      // 20 x 10 fitted to 200 x 80: 160 x 80, centred on the selection, cut to the image.
      EXPECT_EQ(painted, (TRect{0, 10, 120, 90}));
    } else {
      EXPECT_EQ(painted, (TRect{50, 45, 70, 55}));
    }
    EXPECT_EQ(d.Image.Layers[0].Image.GetPixel(60, 50), RGB(255, 0, 0));
  }
  // An elliptical selection keeps the picture inside its feathered edge.
  TStandaloneDocument d;
  AddFirstLayer(d, TBitmap(100, 100, pf24bit, clWhite));
  QImage red(100, 100, QImage::Format_RGB32);
  red.fill(qRgb(255, 0, 0));
  ForeignCopy(red);
  Select(d, ssEllipse, TRect{0, 0, 100, 100});
  ASSERT_TRUE(PasteIntoSelection(d, record, false));
  EXPECT_EQ(d.Image.Layers[0].Image.GetPixel(0, 0), clWhite);
  EXPECT_EQ(d.Image.Layers[0].Image.GetPixel(50, 50), RGB(255, 0, 0));
}

TEST_F(ClipboardTest, PasteVariants) {
  TStandaloneDocument d;
  AddFirstLayer(d, TBitmap(60, 40, pf24bit, clWhite));
  // Left half the picture, right half its mask.
  QImage halves(20, 6, QImage::Format_RGB32);
  halves.fill(qRgb(0, 0, 200));
  for (int y = 0; y < 6; ++y)
    for (int x = 10; x < 20; ++x) halves.setPixel(x, y, x < 15 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  ForeignCopy(halves);
  int i = PasteWithMask(d, record, "#1");
  ASSERT_GE(i, 0);
  EXPECT_EQ(d.Image.Layers[i].Image.Width(), 10);
  EXPECT_EQ(d.Image.Layers[i].Mask.ScanLine(0)[0], 0);
  EXPECT_EQ(d.Image.Layers[i].Mask.ScanLine(0)[3 * 9], 255);
  // The foreground colour through the picture as a mask.
  d.Foreground = RGB(0, 128, 0);
  i = PasteWithMask2(d, record, "#2");
  EXPECT_EQ(d.Image.Layers[i].Image.GetPixel(3, 3), RGB(0, 128, 0));
  EXPECT_EQ(d.Image.Layers[i].Mask.ScanLine(0)[3 * 19], 255);
  // The picture as the active layer's mask: inverted grey, fitted to the layer.
  ASSERT_TRUE(PasteAsAlpha(d, record));
  EXPECT_EQ(d.Image.Layers[i].Mask.Width(), 20);
  EXPECT_EQ(d.Image.Layers[i].Mask.ScanLine(0)[3 * 19], 0);
  // As a new image: a masked copy is laid over the background colour.
  Select(d, ssEllipse, TRect{0, 0, 60, 40});
  d.Image.SetActiveLayerIndex(0);
  ASSERT_TRUE(CopySelection(d, record));
  d.Background = RGB(9, 9, 9);
  ASSERT_TRUE(PasteAsNewImage(d, record));
  ASSERT_EQ(d.Opened.size(), 1u);
  EXPECT_EQ(d.Opened[0].ColorCount, 16777216);
  EXPECT_EQ(d.Opened[0].Image.GetPixel(0, 0), RGB(9, 9, 9));
  EXPECT_EQ(d.Opened[0].Image.GetPixel(30, 20), clWhite);
}

TEST_F(ClipboardTest, CropsToTheSelection) {
  TStandaloneDocument d;
  AddFirstLayer(d, RandomBitmap(80, 60, 1));
  AddLayerFromBitmap(d, "#1", RandomBitmap(10, 10, 2), nullptr, TPoint{30, 25});
  Select(d, ssRect, TRect{20, 15, 70, 45});
  // Without an undo step the crop still happens and records nothing.
  ASSERT_TRUE(CropAllLayers(d));
  EXPECT_EQ(d.Image.Layers[0].Image.Width(), 50);
  EXPECT_EQ(d.Image.Layers[1].Left, 10);
  EXPECT_EQ(d.Image.Layers[1].Top, 10);
  // With one, the shift is its parameters 5 and 6.
  d.History.AddUndoLayerStep(d.Image.Layers[0], uwImageAndMask, "Recadrer");
  Select(d, ssEllipse, TRect{5, 5, 45, 25});
  d.Image.SetActiveLayerIndex(0);
  ASSERT_TRUE(CropAllLayers(d));
  EXPECT_EQ(GetUndoStepParam(*d.History.GetCurrentUndoStep(), 5), -5);
  EXPECT_EQ(GetUndoStepParam(*d.History.GetCurrentUndoStep(), 6), -5);
  EXPECT_EQ(d.Image.Layers[0].Image.Width(), 40);
  EXPECT_EQ(d.Image.Layers[0].Image.GetPixel(0, 0), d.Background);  // outside the ellipse
  // Undone and redone as the shell does it: the snapshot, then the other layers.
  const uint64_t cropped = Checksum(d.Image.Layers[0].Image);
  TUndoLayerItem* step = d.History.GetCurrentUndoStep();
  d.History.UndoStep();
  ReplayAllLayerChange(d, *step, true);
  EXPECT_EQ(d.Image.Layers[0].Image.Width(), 50);
  EXPECT_EQ(d.Image.Layers[1].Left, 10);
  d.History.RedoStep();
  ReplayAllLayerChange(d, *step, false);
  EXPECT_EQ(d.Image.Layers[1].Left, 5);
  EXPECT_EQ(Checksum(d.Image.Layers[0].Image), cropped);
  // The active layer cut to an ellipse: its mask hides the corners.
  d.Image.SetActiveLayerIndex(1);
  Select(d, ssEllipse, TRect{5, 5, 15, 15});
  ASSERT_TRUE(CropActiveLayerToSelection(d));
  const TLayerItem& l = d.Image.Layers[1];
  EXPECT_EQ(Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height()), (TRect{5, 5, 15, 15}));
  EXPECT_EQ(l.Mask.ScanLine(0)[0], 255);
  // The selection made a layer, turned a quarter clockwise, at the selection's place.
  Select(d, ssRect, TRect{2, 3, 12, 7});
  d.Image.SetActiveLayerIndex(0);
  const int t = TransformSelectionLayer(d, "#3", 3);
  ASSERT_GE(t, 0);
  EXPECT_EQ(d.Image.Layers[t].Image.Width(), 4);
  EXPECT_EQ(d.Image.Layers[t].Image.Height(), 10);
  EXPECT_EQ(d.Image.Layers[t].Left, 2);
  EXPECT_FALSE(d.Selection.Visible);
  // The selection's content as the fill pattern.
  Select(d, ssEllipse, TRect{0, 0, 20, 20});
  d.Image.SetActiveLayerIndex(0);
  ASSERT_TRUE(DefinePatternFromSelection(d));
  EXPECT_EQ(d.FillPattern.Width(), 20);
  EXPECT_EQ(d.FillPattern.GetPixel(0, 0), d.Background);
}
