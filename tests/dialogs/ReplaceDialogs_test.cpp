// The colour replacement dialogs and the hue variation, as a user works them in the
// editor.
#include <gtest/gtest.h>

#include <QToolButton>
#include <QWheelEvent>

#include "DialogTestSupport.h"
#include "dialogs/replace/HueBar.h"
#include "dialogs/replace/VarianteForm.h"
#include "pixel/ColorAdjust.h"

using namespace qm;
using namespace qm::test;

namespace {

TColor PixelAt(const TBitmap& b, int x, int y) { return Pixel24ToColor(Px(b, x, y)); }
TColor Swatch(QWidget* d) { return Child<THueSwatch>(d, "PnlCouleur")->Color(); }

// One notch of the mouse wheel over the widget.
void Wheel(QWidget* w, int notches) {
  const QPointF at = QPointF(w->rect().center());
  QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

// A click on the document's image at (x, y), as the shell hands a tool dialog the colour.
void PickOnImage(DialogShell& shell, int x, int y) {
  TMyImageLayered& view = shell.Doc->View();
  view.SetZoom(1);
  QApplication::processEvents();
  const TPoint p = view.ImageToClientPoint(TPoint{x, y});
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(p.X, p.Y));
}

}  // namespace

// "Remplacer une couleur": at tolerance 0 only the pixels equal to the colour replaced
// change; with SB2 down a colour picked on the image becomes the new colour; OK keeps one
// step and records nothing to repeat; SB1 is down again at the next showing.
TEST(ReplaceDialogs, ReplaceAColour) {
  DialogShell shell;
  const TColor target = RGB(12, 34, 56);
  for (TPoint p : {TPoint{5, 5}, TPoint{6, 5}, TPoint{40, 30}}) ColorToPixel24(target, Px(shell.Layer(), p.X, p.Y));
  ColorToPixel24(RGB(13, 34, 56), Px(shell.Layer(), 7, 5));  // one off
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TChgCouleurForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Remplacer une couleur");
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), d);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), clBlack);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit2")->Color(), clWhite);
  EXPECT_EQ(LabelText(d, "LblN"), "Tolérance : 30");
  EXPECT_TRUE(Child<QToolButton>(d, "SB1")->isChecked());

  Key(Slider(d, "TBN"), Qt::Key_Home);
  EXPECT_EQ(LabelText(d, "LblN"), "Tolérance : 0");
  Child<TColorEdit>(d, "ColorEdit1")->SetColor(target);
  Click(d, "BApercu");
  int changed = 0;
  for (int y = 0; y < original.Height(); ++y)
    for (int x = 0; x < original.Width(); ++x)
      if (PixelAt(shell.Layer(), x, y) != PixelAt(original, x, y)) {
        ++changed;
        EXPECT_EQ(PixelAt(original, x, y), target) << x << "," << y;
        EXPECT_EQ(PixelAt(shell.Layer(), x, y), clWhite);
      }
  EXPECT_EQ(changed, 3);

  QTest::mouseClick(Child<QToolButton>(d, "SB2"), Qt::LeftButton);
  PickOnImage(shell, 30, 20);
  const TColor picked = PixelAt(original, 30, 20);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit2")->Color(), picked);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), target);
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  TBitmap expected = original.Clone();
  ReplaceColorRect(expected, target, picked, 0, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Remplacer une couleur");
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
  EXPECT_FALSE(shell.Services->GetActiveToolDialog());

  d = shell.OpenForm("TChgCouleurForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QToolButton>(d, "SB1")->isChecked());
  EXPECT_EQ(LabelText(d, "LblN"), "Tolérance : 0");  // a filter keeps its values
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
}

// "Remplacer une gamme": a press at column 120 of the hue bar shows pure green and moves
// the slider there; a wheel step on the slider moves the swatch too; the preview gives
// the colours near colour 1 the swatch's hue; a colour picked on the image is colour 1.
TEST(ReplaceDialogs, ReplaceAHueRange) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TChgCouleur2Form");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Remplacer une gamme");
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), RGB(0, 255, 255));
  EXPECT_EQ(LabelText(d, "LblN"), "0°");
  EXPECT_EQ(Swatch(d), RGB(255, 0, 0));
  EXPECT_EQ(LabelText(d, "LblN2"), "Tolérance : 30");

  QTest::mousePress(Child<THueBar>(d, "ImgDegrade"), Qt::LeftButton, {}, QPoint(120, 9));
  EXPECT_EQ(Swatch(d), RGB(0, 255, 0));
  EXPECT_EQ(Slider(d, "TBN")->value(), 120);
  EXPECT_EQ(LabelText(d, "LblN"), "120°");
  Wheel(Slider(d, "TBN"), 1);
  const int hue = Slider(d, "TBN")->value();
  EXPECT_NE(hue, 120);
  EXPECT_EQ(Swatch(d), HueColor(hue));

  PickOnImage(shell, 10, 12);
  const TColor from = PixelAt(original, 10, 12);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), from);
  Key(Slider(d, "TBN2"), Qt::Key_PageUp, 5);
  EXPECT_EQ(LabelText(d, "LblN2"), "Tolérance : 80");
  Click(d, "BApercu");
  TBitmap expected = original.Clone();
  ReplaceHueWithinToleranceRect(expected, from, HueColor(hue), 80, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  EXPECT_FALSE(SameBitmaps(shell.Layer(), original));
  Click(d, "BOk");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
}

// "Variation de teinte": modal, it previews on its thumbnail and leaves the document
// alone; with an elliptical selection only the selection changes there and, at OK, on
// the image, as one step under the command's caption; Cancel leaves none. The swatch and
// the thumbnail follow the hue bar, the wheel and the method.
TEST(ReplaceDialogs, HueVariationWithASelection) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  const TRect sel{20, 15, 100, 75};
  shell.SelectEllipse(sel);
  auto* d = dynamic_cast<TVarianteForm*>(shell.OpenForm("TVarianteForm"));
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isModal());
  EXPECT_EQ(d->windowTitle().toStdString(), "Variation de teinte");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_EQ(LabelText(d, "LblN"), "50°");
  EXPECT_EQ(Swatch(d), HueColor(50));
  EXPECT_TRUE(Child<QRadioButton>(d, "RB1")->isChecked());

  // The layer (120 x 90) fits the thumbnail as it is: its pixels stand one for one.
  const TRect at = d->ImageRect();
  ASSERT_EQ(at.Width(), 120);
  ASSERT_EQ(at.Height(), 90);
  const auto shown = [&](int x, int y) { return PixelAt(d->Preview(), at.Left + x, at.Top + y); };
  const auto varied = [&](TColor color, THueVariation method, int x, int y) {
    TBitmap one(1, 1);
    ColorToPixel24(PixelAt(original, x, y), Px(one, 0, 0));
    VaryHueRect(one, color, method, UnboundedRect);
    return PixelAt(one, 0, 0);
  };
  const TPoint centre{60, 45}, corner{21, 16};  // inside the ellipse, and outside it in its rectangle
  EXPECT_EQ(shown(centre.X, centre.Y), varied(HueColor(50), hvColorize, centre.X, centre.Y));
  EXPECT_EQ(shown(corner.X, corner.Y), PixelAt(original, corner.X, corner.Y));
  EXPECT_EQ(shown(5, 5), PixelAt(original, 5, 5));
  Wheel(Slider(d, "TBN"), -1);
  const int wheeled = Slider(d, "TBN")->value();
  EXPECT_NE(wheeled, 50);
  EXPECT_EQ(Swatch(d), HueColor(wheeled));
  EXPECT_EQ(shown(centre.X, centre.Y), varied(HueColor(wheeled), hvColorize, centre.X, centre.Y));
  ClickRadio(Child<QRadioButton>(d, "RB2"));
  EXPECT_EQ(shown(centre.X, centre.Y), varied(HueColor(wheeled), hvHue, centre.X, centre.Y));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  Click(d, "BAnnuler");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_FALSE(shell.Services->ShellLock());

  // Opened again with the last hue and method; the bar at 200, then OK.
  d = dynamic_cast<TVarianteForm*>(shell.OpenForm("TVarianteForm"));
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), wheeled);
  ClickRadio(Child<QRadioButton>(d, "RB1"));
  QTest::mousePress(Child<THueBar>(d, "ImgDegrade"), Qt::LeftButton, {}, QPoint(200, 9));
  EXPECT_EQ(LabelText(d, "LblN"), "200°");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Variation de teinte");
  const TBitmap& now = shell.Layer();
  EXPECT_TRUE(SameOutside(original, now, sel));
  EXPECT_EQ(PixelAt(now, corner.X, corner.Y), PixelAt(original, corner.X, corner.Y));
  EXPECT_EQ(PixelAt(now, centre.X, centre.Y), varied(HueColor(200), hvColorize, centre.X, centre.Y));
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
}

// What the layer's mask hides shows white on the thumbnail (white varied with the rest).
TEST(ReplaceDialogs, HueVariationShowsHiddenPartsWhite) {
  DialogShell shell;
  TLayerItem& layer = shell.Doc->Image().Layers[0];
  layer.Mask = TBitmap(120, 90, pf24bit, clBlack);
  layer.Mask.FillRect(TRect{0, 0, 60, 90}, clWhite);  // the left half hidden
  auto* d = dynamic_cast<TVarianteForm*>(shell.OpenForm("TVarianteForm"));
  ASSERT_TRUE(d);
  TBitmap white(1, 1, pf24bit, clWhite);
  VaryHueRect(white, d->Color(), d->Method(), UnboundedRect);
  const TRect at = d->ImageRect();
  for (int x : {0, 30, 59}) EXPECT_EQ(PixelAt(d->Preview(), at.Left + x, at.Top + 40), PixelAt(white, 0, 0)) << x;
  TBitmap shownRight(1, 1);
  ColorToPixel24(PixelAt(shell.Layer(), 90, 40), Px(shownRight, 0, 0));
  VaryHueRect(shownRight, d->Color(), d->Method(), UnboundedRect);
  EXPECT_EQ(PixelAt(d->Preview(), at.Left + 90, at.Top + 40), PixelAt(shownRight, 0, 0));
  Click(d, "BAnnuler");
}
