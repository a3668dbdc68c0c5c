#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialogs/ParamDialog.h"
#include "document/LayerOps.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"

using namespace qm;
using namespace qm::test;

namespace {

TBitmap Blurred(const TBitmap& b, int radius, TRect r = UnboundedRect) {
  TBitmap out = b.Clone();
  GaussianBlurRect(out, radius, r);
  return out;
}

int CurrentStepId(TUndoList& h) { return h.GetCurrentUndoStep() ? h.GetCurrentUndoStep()->Id() : 0; }

}  // namespace

// The filter variant through the Gaussian blur: its first showing, its values kept, OK
// with or without previews applying once, Cancel giving everything back, the repeat.
TEST(ParamDialog, GaussianBlurThroughItsDialog) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle().toStdString(), "Flou gaussien");
  EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(Child<QPushButton>(d, "BApercu")->text().toStdString(), "Aperçu");
  EXPECT_EQ(Child<QPushButton>(d, "BOk")->text().toStdString(), "Ok");
  EXPECT_EQ(Child<QPushButton>(d, "BAnnuler")->text().toStdString(), "Annuler");
  QSlider* radius = Slider(d, "TBN");
  EXPECT_EQ(radius->value(), 6);
  EXPECT_EQ(radius->minimum(), 1);
  EXPECT_EQ(radius->maximum(), 30);
  EXPECT_EQ(LabelText(d, "LblN"), "Rayon : 6 pixels");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);  // the command's step, before any preview
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));

  // OK without a preview applies the radius shown, once.
  Key(radius, Qt::Key_Right, 6);
  EXPECT_EQ(LabelText(d, "LblN"), "Rayon : 12 pixels");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Blurred(original, 12)));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Flou gaussien");
  EXPECT_FALSE(shell.Services->ShellLock());
  const TBitmap once = shell.Layer().Clone();

  // Undone, the step waits for its redo; a dialog cancelled meanwhile leaves it there.
  shell.Services->UndoCommand(nullptr);
  d = shell.OpenForm("TBlurForm");
  Click(d, "BApercu");
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  shell.Services->RedoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), once));

  // Reopened at 12; two previews in a row apply the blur once; Cancel gives the image
  // and the history back as they were before the command.
  d = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), 12);
  EXPECT_EQ(LabelText(d, "LblN"), "Rayon : 12 pixels");
  Click(d, "BApercu");
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Blurred(once, 12)));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), once));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  // Cancelling forgot the command: the repeat does nothing.
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
  shell.Services->Operations().RepeatLastCommand();
  EXPECT_TRUE(SameBitmaps(shell.Layer(), once));

  // Esc is a Cancel; OK after a preview keeps that preview; the repeat blurs the active
  // document again as a new step under the command's caption.
  d = shell.OpenForm("TBlurForm");
  Key(Slider(d, "TBN"), Qt::Key_Left, 9);
  Click(d, "BApercu");
  QTest::keyClick(d, Qt::Key_Escape);
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), once));
  d = shell.OpenForm("TBlurForm");
  EXPECT_EQ(LabelText(d, "LblN"), "Rayon : 3 pixels");
  Click(d, "BApercu");
  Click(d, "BOk");
  const TBitmap twice = Blurred(once, 3);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), twice));
  EXPECT_EQ(shell.Services->Operations().RepeatCaption(), "Répéter Flou gaussien");
  shell.Services->Operations().RepeatLastCommand();
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Blurred(twice, 3)));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 3);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Flou gaussien");
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), twice));
}

// Only the selected pixels change; the command's caption names the step.
TEST(ParamDialog, BlurWithAnEllipticalSelection) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  const TRect sel{20, 15, 100, 75};
  shell.Doc->Selection().SetShape(ssEllipse);
  shell.Doc->Selection().SetSelectionRect(sel);
  shell.Doc->Selection().Show();
  QWidget* d = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(d);
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Flou gaussien");
  const TBitmap& now = shell.Layer();
  EXPECT_TRUE(SameOutside(original, now, sel));
  // The corners of the selection's rectangle lie outside the ellipse; its middle is
  // blurred as a blur of the rectangle alone would have it.
  for (TPoint p : {TPoint{21, 16}, TPoint{98, 16}, TPoint{21, 73}, TPoint{98, 73}})
    EXPECT_EQ(Pixel24ToColor(Px(now, p.X, p.Y)), Pixel24ToColor(Px(original, p.X, p.Y))) << p.X << "," << p.Y;
  const TBitmap inside = Blurred(original, 6, sel);
  for (int y = 35; y < 55; ++y)
    for (int x = 45; x < 75; ++x) ASSERT_EQ(Pixel24ToColor(Px(now, x, y)), Pixel24ToColor(Px(inside, x, y)));
}

// The adjustment variant: sliders back at 0 at each showing, the channel choice kept,
// the image following a slider let go with the Preview button hidden, a neutral OK
// leaving no step.
TEST(ParamDialog, AdjustmentFollowsItsSliders) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TLCForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Luminosité / Contraste");
  EXPECT_FALSE(Child<QPushButton>(d, "BApercu")->isVisible());
  EXPECT_EQ(LabelText(d, "LblLuminosite"), "Luminosité : 0%");
  auto* channel = Child<QComboBox>(d, "CBCouche");
  ASSERT_EQ(channel->count(), 7);
  EXPECT_EQ(channel->itemText(0).toStdString(), "<Toutes>");
  EXPECT_EQ(channel->itemText(6).toStdString(), "Jaune");
  // OK at 0, whatever the channel: no step, no change.
  channel->setCurrentIndex(chCyan);
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));

  d = shell.OpenForm("TLCForm");
  EXPECT_EQ(Child<QComboBox>(d, "CBCouche")->currentIndex(), int(chCyan));
  QSlider* brightness = Slider(d, "TBLuminosite");
  Key(brightness, Qt::Key_End);  // let go at +100: the image follows at once
  EXPECT_EQ(LabelText(d, "LblLuminosite"), "Luminosité : 100%");
  TBitmap expected = original.Clone();
  AdjustBrightnessContrast(expected, {100, 0, chCyan}, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  // A mouse gesture ends the same way; then OK keeps what is shown, as one step.
  brightness->setValue(50);
  QTest::mouseRelease(brightness, Qt::LeftButton);
  expected = original.Clone();
  AdjustBrightnessContrast(expected, {50, 0, chCyan}, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());  // adjustments are not repeated

  // Reopened at 0; a choice changed previews at once.
  d = shell.OpenForm("TTSForm");
  EXPECT_EQ(Slider(d, "TBTeinte")->value(), 0);
  Key(Slider(d, "TBSaturation"), Qt::Key_PageDown, 3);
  Child<QComboBox>(d, "CBCouche")->setCurrentIndex(chRed);
  TBitmap hued = expected.Clone();
  AdjustHueSaturation(hued, {0, -6, chRed}, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), hued));
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
}

// While a dialog is shown it holds the shell: the other documents are disabled, the
// guarded commands and a second dialog refused; its own document's navigator and close
// change nothing, and a document closed all the same takes the dialog with it without
// any history being touched.
TEST(ParamDialog, ADialogHoldsTheShellAndItsDocument) {
  DialogShell shell;
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(40, 30, 5), TBitmap(), TPoint{10, 10});
  TNewImgForm* doc = shell.Doc;
  TNewImgForm* other = shell.Open("/photos/autre.png", 60, 40, 9);
  const TBitmap otherPixels = other->Image().Layers[0].Image.Clone();
  shell.Services->Windows().ActivateImageWindow(doc);
  doc->Image().SetActiveLayerIndex(1);
  const TBitmap layerBefore = doc->Image().Layers[1].Image.Clone();
  const TBitmap background = doc->Image().Layers[0].Image.Clone();

  QWidget* d = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(d);
  Click(d, "BApercu");
  const TBitmap previewed = doc->Image().Layers[1].Image.Clone();
  EXPECT_FALSE(SameBitmaps(previewed, layerBefore));
  EXPECT_FALSE(other->isEnabled());
  QObject button;
  button.setObjectName("BtnFlou");
  const int beeps = shell.Beeps;
  EXPECT_FALSE(shell.Services->CanRunCommand(&button));
  EXPECT_EQ(shell.Beeps, beeps + 1);
  // The menus refuse a second dialog.
  EXPECT_FALSE(shell.Form->Commands().IsEnabled("MenuReglageTS"));
  EXPECT_FALSE(shell.OpenForm("TTSForm"));

  // A click on the background's row of the navigator: the layer stays.
  TLayerNavigator& nav = doc->Navigator();
  QTest::mouseClick(&nav, Qt::LeftButton, {}, nav.RowRect(1).center());
  EXPECT_EQ(doc->Image().ActiveIndex(), 1);
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(doc->Image().Layers[1].Image, previewed));
  EXPECT_TRUE(SameBitmaps(doc->Image().Layers[0].Image, background));
  // The window refuses to close.
  EXPECT_FALSE(doc->close());
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(shell.Beeps, beeps + 2);

  // Closed all the same: the dialog goes, the shell is free, the other document's
  // history and pixels are as they were.
  shell.Services->Operations().RecordRepeatableCommand("Flou", [] {});
  EXPECT_TRUE(shell.Services->CloseImageWindow(doc, true));
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(shell.Services->ShellLock());
  EXPECT_TRUE(other->isEnabled());
  EXPECT_EQ(other->History().GetUndoStepCount(), 0);
  EXPECT_TRUE(SameBitmaps(other->Image().Layers[0].Image, otherPixels));
  EXPECT_FALSE(shell.Services->Operations().PreChangeCopy());
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
  QApplication::processEvents();  // the closed window is freed
  // The next dialog works on the document now active.
  shell.Services->Windows().ActivateImageWindow(other);  // the user clicks on it
  d = shell.OpenForm("TBlurForm");
  ASSERT_TRUE(d);
  Click(d, "BOk");
  EXPECT_EQ(other->History().GetUndoStepCount(), 1);
}

namespace {
// A dialog that takes colours picked on the image, as the colour filters do, registered
// under the class the colour replacement command opens.
class TPickForm final : public TParamDialogOf<TGaussianBlurParams> {
 public:
  static constexpr TDialogTraits kTraits{"TChgCouleurForm", TextId::TrFixDlgGaussianBlur, TextId::GetTrMnuGaussianBlur,
                                         dvAdjustment, ukWorkRect, true};
  TPickForm() : TParamDialogOf(kTraits, &GaussianBlur) {
    AddSlider(&TGaussianBlurParams::Radius, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtRadius});
  }
  static inline TColor Picked = clNone;

 private:
  void TakePickedColor(TColor c) override { Picked = c; }
};
}  // namespace

// A dialog registered in the program's registry enables its row and opens from it; a
// colour-picking dialog is the shell's tool dialog: a click on the image hands it the
// colour there, and under live preview the image follows.
TEST(ParamDialog, ColourPickedOnTheImage) {
  TDialogRegistry dialogs;
  InstallParameterDialogs(dialogs);
  RegisterParamDialog<TPickForm>(dialogs);
  DialogShell shell(&dialogs);
  EXPECT_TRUE(shell.Form->Commands().IsEnabled("MenuReglageRemplacer"));
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TChgCouleurForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), d);
  ClickOnImage(shell, TPoint{30, 20});
  EXPECT_EQ(TPickForm::Picked, Pixel24ToColor(Px(original, 30, 20)));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Blurred(original, 6)));
  Click(d, "BAnnuler");
  EXPECT_FALSE(shell.Services->GetActiveToolDialog());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
}

// With a translation loaded, the dialog takes its captions from it.
TEST(ParamDialog, CaptionsOfATranslation) {
  DialogShell shell;
  for (auto [name, text] : {std::pair{"GetTrMnuBC", "&Brightness / contrast..."}, {"GetTrBtnOk", "OK"},
                            {"GetTrBtnCancel", "Cancel"}, {"GetTrLblChannelRed", "Red"}})
    FillTextByName(name, text);
  QWidget* d = shell.OpenForm("TLCForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Brightness / contrast");
  EXPECT_EQ(Child<QPushButton>(d, "BOk")->text().toStdString(), "OK");
  EXPECT_EQ(Child<QComboBox>(d, "CBCouche")->itemText(1).toStdString(), "Red");
  EXPECT_EQ(Child<QComboBox>(d, "CBCouche")->itemText(2).toStdString(), "Vert");
  // the step's name is the command's caption
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Brightness / contrast");
  Click(d, "BAnnuler");
}
