// The colour filter, the two-colour threshold, the posterisation, the noise and the
// channel swap as a user works them from the menus.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "pixel/ColorAdjust.h"
#include "platform/core/Random.h"

using namespace qm;
using namespace qm::test;

// "Inverser" at 30 percent tints away from the maroon by 30 percent; the repeat does it
// again as a step of its own.
TEST(ColorFilterDialogs, InvertedFilterAndItsRepeat) {
  DialogShell shell;
  TMainForm& form = *shell.Form;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TFiltreForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Filtre coloré");
  EXPECT_EQ(LabelText(d, "LblPct"), "Opacité : 30%");
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), RGB(128, 0, 0));
  QTest::keyClick(Child<QCheckBox>(d, "CBInverser"), Qt::Key_Space);
  Click(d, "BOk");
  TBitmap expected = original.Clone();
  TintRect(expected, RGB(128, 0, 0), -30, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  form.UpdateCommandStates();
  EXPECT_EQ(form.Commands().Action("MenuFiltreRepeter")->text().toStdString(), "Répéter Filtre coloré");
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreRepeter"));
  TintRect(expected, RGB(128, 0, 0), -30, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Filtre coloré");
}

// A click on the document while the filter is shown picks the filter's colour there.
TEST(ColorFilterDialogs, ColourPickedOnTheDocument) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TFiltreForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), d);
  ClickOnImage(shell, TPoint{30, 20});
  const TColor picked = Pixel24ToColor(Px(original, 30, 20));
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), picked);
  Click(d, "BOk");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyColorFilter, {30, picked, false})));
}

// The threshold shows its result as it opens: a grey at the threshold's luminance takes
// colour 1, the grey above it colour 2; a colour changed shows at once; the next
// showing starts again at 128 with the colours as they were left.
TEST(ColorFilterDialogs, TwoColourThreshold) {
  DialogShell shell;
  for (int x = 0; x < 3; ++x) {
    uint8_t* p = Px(shell.Layer(), x, 0);
    p[0] = p[1] = p[2] = uint8_t(128 + x);
  }
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TBichromieForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Bichromie");
  EXPECT_EQ(LabelText(d, "LblSeuil"), "Seuil : 128");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyTwoColorThreshold, {128, clBlack, clWhite})));
  EXPECT_EQ(shell.Layer().GetPixel(0, 0), clBlack);  // luminance 128
  EXPECT_EQ(shell.Layer().GetPixel(1, 0), clWhite);  // luminance 129
  EXPECT_EQ(shell.Layer().GetPixel(2, 0), clWhite);
  Child<TColorEdit>(d, "ColorEdit1")->SetColor(RGB(200, 0, 0));
  EXPECT_EQ(shell.Layer().GetPixel(0, 0), RGB(200, 0, 0));
  Key(Slider(d, "TBSeuil"), Qt::Key_Right, 2);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyTwoColorThreshold, {130, RGB(200, 0, 0), clWhite})));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  d = shell.OpenForm("TBichromieForm");
  EXPECT_EQ(Slider(d, "TBSeuil")->value(), 128);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), RGB(200, 0, 0));
  Click(d, "BOk");  // no neutral value: OK keeps what it shows
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyTwoColorThreshold, {128, RGB(200, 0, 0), clWhite})));
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
}

// The posterisation opens at 50 each time, its result on the image at once.
TEST(ColorFilterDialogs, PosteriseReopensAtFifty) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  for (int showing = 0; showing < 2; ++showing) {
    QWidget* d = shell.OpenForm("TPosterForm");
    ASSERT_TRUE(d);
    EXPECT_EQ(Slider(d, "TBN")->value(), 50);
    EXPECT_EQ(LabelText(d, "LblN"), "Niveau : 50");
    EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyPosterize, {50})));
    Key(Slider(d, "TBN"), Qt::Key_End);
    EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyPosterize, {120})));
    if (showing == 0) Cancel(d);
    else Click(d, "BOk");
  }
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &ApplyPosterize, {120})));
}

// The noise keeps its amount and its "Uniforme" box: one offset per pixel, from the
// program's generator.
TEST(ColorFilterDialogs, NoiseKeepsItsValues) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TBruitForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(LabelText(d, "LblN"), "Quantité : 20");
  Key(Slider(d, "TBN"), Qt::Key_PageUp);
  QTest::keyClick(Child<QCheckBox>(d, "CBUniforme"), Qt::Key_Space);
  RandSeed(42);
  Click(d, "BOk");
  RandSeed(42);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &AddNoise, {30, true})));

  d = shell.OpenForm("TBruitForm");
  EXPECT_EQ(Slider(d, "TBN")->value(), 30);
  EXPECT_TRUE(Child<QCheckBox>(d, "CBUniforme")->isChecked());
  Cancel(d);
}

// The channel swap with its own buttons and its "Aperçu direct" box: each order shows at
// once while it is ticked, "RVB ==> BVR" twice gives the picture back; with the box
// left off, the next showing shows nothing until OK, which applies the order shown (it
// used to keep an empty step).
TEST(ColorFilterDialogs, ChannelSwap) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TSwapRGBForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Inversion des couches RVB");
  auto* live = Child<QCheckBox>(d, "ChkPreview");
  EXPECT_EQ(live->text().toStdString(), "Aperçu direct");
  EXPECT_TRUE(live->isChecked());
  EXPECT_FALSE(Child<QPushButton>(d, "BPreview")->isEnabled());
  EXPECT_EQ(Child<QRadioButton>(d, "RdbRBG")->text().toStdString(), "RVB ==> RBV");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(original, &SwapChannels, {coRBG})));
  QTest::keyClick(Child<QRadioButton>(d, "RdbBGR"), Qt::Key_Space);
  const TBitmap swapped = RunOnCopy(original, &SwapChannels, {coBGR});
  EXPECT_TRUE(SameBitmaps(shell.Layer(), swapped));
  Click(d, "BOk");
  d = shell.OpenForm("TSwapRGBForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QRadioButton>(d, "RdbBGR")->isChecked());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());

  d = shell.OpenForm("TSwapRGBForm");
  QTest::keyClick(live, Qt::Key_Space);
  EXPECT_TRUE(Child<QPushButton>(d, "BPreview")->isEnabled());
  Click(d, "BCancel");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  d = shell.OpenForm("TSwapRGBForm");
  EXPECT_FALSE(live->isChecked());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(shell.History().GetUndoStepCount(), 3);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), swapped));

  // Ticked again, the box shows the order at once.
  d = shell.OpenForm("TSwapRGBForm");
  QTest::keyClick(Child<QRadioButton>(d, "RdbGRB"), Qt::Key_Space);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), swapped));
  QTest::keyClick(live, Qt::Key_Space);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), RunOnCopy(swapped, &SwapChannels, {coGRB})));
  Click(d, "BCancel");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), swapped));
}
