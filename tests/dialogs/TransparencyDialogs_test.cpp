// The selection's width dialogs and the transparency dialogs, as a user works them in
// the editor.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "document/LayerOps.h"

using namespace qm;
using namespace qm::test;

namespace {

TSelectionControl& Sel(DialogShell& shell) { return shell.Doc->Selection(); }

void SelectRect(DialogShell& shell, TRect r) {
  Sel(shell).SetShape(ssRect);
  Sel(shell).SetSelectionRect(r);
  Sel(shell).Show();
  shell.Form->UpdateCommandStates();
}

QWidget* OpenFrom(DialogShell& shell, const char* command, const char* form) {
  EXPECT_TRUE(shell.Form->Commands().Trigger(command)) << command;
  QWidget* d = shell.Form->findChild<QWidget*>(QString::fromLatin1(form));
  return d && d->isVisible() ? d : nullptr;
}

}  // namespace

// Grow and shrink: the label shows the rectangle OK gives, "?" when nothing is left,
// and OK then hides the selection.
TEST(SelectionDialogs, GrowAndShrinkTheRectangle) {
  DialogShell shell;
  SelectRect(shell, TRect{10, 10, 110, 60});
  QWidget* d = OpenFrom(shell, "MenuSelDilater", "TOptionSelForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(LabelText(d, "LblInfos"), "0:0 => 119:69 (L=120  H=70)");
  EXPECT_EQ(LabelText(d, "LblEpaisseur"), "Largeur : 10");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(Sel(shell).SelRect, (TRect{0, 0, 120, 70}));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  SelectRect(shell, TRect{20, 20, 50, 50});
  d = OpenFrom(shell, "MenuSelContracter", "TOptionSelForm");
  ASSERT_TRUE(d);
  Slider(d, "TBN")->setValue(15);
  EXPECT_EQ(LabelText(d, "LblInfos"), "?");
  Click(d, "BOk");
  EXPECT_FALSE(Sel(shell).Visible);
}

// A free outline shrunk past its thin arm takes the bounds of what is left, not the
// rectangle shrunk; grown back it is refitted the same way.
TEST(SelectionDialogs, FreeOutlineKeepsItsOwnBounds) {
  DialogShell shell;
  TBitmap mask(60, 40, pf24bit, clWhite);
  mask.FillRect(TRect{5, 4, 25, 24}, clBlack);
  mask.FillRect(TRect{25, 12, 45, 14}, clBlack);  // the arm, 2 pixels thick
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(60, 40, 3), std::move(mask), TPoint{10, 10});
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuSelCalque"));
  ASSERT_EQ(Sel(shell).ShapeKind, ssMultiPoints);
  const TRect before = Sel(shell).SelRect;
  ASSERT_EQ(before, (TRect{15, 14, 55, 34}));
  TShapeManager expected = Sel(shell).Shape;
  TRect bounds = before;
  expected.Expand(-3, bounds);

  QWidget* d = OpenFrom(shell, "MenuSelContracter", "TOptionSelForm");
  ASSERT_TRUE(d);
  Slider(d, "TBN")->setValue(3);
  EXPECT_EQ(LabelText(d, "LblInfos"), "18:17 => 51:30 (L=34  H=14)");
  Click(d, "BOk");
  EXPECT_TRUE(Sel(shell).Visible);
  EXPECT_EQ(Sel(shell).SelRect, bounds);
  EXPECT_LT(bounds.Right, 35);  // the arm is gone
}

// The border replaces the selection by a band and shows it as a traced outline.
TEST(SelectionDialogs, BorderBand) {
  DialogShell shell;
  SelectRect(shell, TRect{20, 20, 70, 60});
  QWidget* d = OpenFrom(shell, "MenuSelFrange", "TFrangeForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(LabelText(d, "LblEpaisseur"), "Largeur : 5");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(Sel(shell).Visible);
  EXPECT_EQ(Sel(shell).ShapeKind, ssMultiPoints);
  const TRect r = Sel(shell).SelRect;
  EXPECT_TRUE(r.Left <= 20 && r.Top <= 20 && r.Right >= 70 && r.Bottom >= 60);
}

// On a transparent image the dialog offers to switch the transparency off: OK then
// keeps every pixel and leaves no transparent colour; undo gives it back.
TEST(TransparencyDialogs, DisableTransparency) {
  DialogShell shell;
  TBitmap& bg = shell.Layer();
  const uint64_t pixels = Checksum(bg);
  QWidget* d = shell.OpenForm("TCouleurTransForm");
  ASSERT_TRUE(d);
  EXPECT_FALSE(Child<QCheckBox>(d, "CBAnnulerTransp")->isVisible());
  EXPECT_FALSE(Child<QRadioButton>(d, "RBCombiner")->isVisible());
  Cancel(d);

  bg.Transparent = true;
  bg.TransparentColor = bg.GetPixel(5, 5);
  d = shell.OpenForm("TCouleurTransForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QRadioButton>(d, "RBCombiner")->isVisible());
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), bg.GetPixel(5, 5));
  Child<QCheckBox>(d, "CBAnnulerTransp")->click();
  EXPECT_FALSE(Child<QPushButton>(d, "BApercu")->isEnabled());
  EXPECT_FALSE(Slider(d, "TBN")->isEnabled());
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(shell.Layer().Transparent);
  EXPECT_EQ(Checksum(shell.Layer()), pixels);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(shell.Layer().Transparent);
}

// Combining pulls the colours near the one picked onto the image's transparent colour.
TEST(TransparencyDialogs, CombineKeepsTheTransparentColour) {
  DialogShell shell;
  TBitmap& bg = shell.Layer();
  const TColor key = RGB(1, 2, 3), picked = RGB(200, 100, 50);
  bg.Transparent = true;
  bg.TransparentColor = key;
  bg.SetPixel(7, 7, picked);
  QWidget* d = shell.OpenForm("TCouleurTransForm");
  ASSERT_TRUE(d);
  dynamic_cast<TParamDialog*>(d)->ColorPicked(picked);
  Slider(d, "TBN")->setValue(0);
  Click(d, "BApercu");
  EXPECT_EQ(shell.Layer().GetPixel(7, 7), key);
  EXPECT_EQ(shell.Layer().TransparentColor, key);
  ClickRadio(Child<QRadioButton>(d, "RBRemplacer"));
  Click(d, "BOk");
  EXPECT_EQ(shell.Layer().GetPixel(7, 7), picked);
  EXPECT_EQ(shell.Layer().TransparentColor, picked);
  EXPECT_TRUE(shell.Layer().Transparent);
}

// The transparency mask with "Aucun": a pure black-and-white image, 256 colours.
TEST(TransparencyDialogs, MaskWithoutTreatmentIsBlackAndWhite) {
  DialogShell shell;
  QWidget* d = shell.OpenForm("TMaskCoulForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), 30);
  EXPECT_TRUE(Child<QRadioButton>(d, "RBLissage")->isChecked());
  ClickRadio(Child<QRadioButton>(d, "RBAucun"));
  Click(d, "BOk");
  const TBitmap& mask = shell.Layer();
  int white = 0;
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x) {
      const TColor c = mask.GetPixel(x, y);
      ASSERT_TRUE(c == clBlack || c == clWhite) << x << "," << y;
      white += c == clWhite;
    }
  EXPECT_GT(white, 0);
  EXPECT_EQ(shell.Doc->Image().ColorCount, 256);
  EXPECT_FALSE(mask.Transparent);

  // On a transparent image: its colour exactly, no treatment, the tolerance disabled.
  shell.Services->UndoCommand(nullptr);
  shell.Layer().Transparent = true;
  shell.Layer().TransparentColor = shell.Layer().GetPixel(3, 3);
  d = shell.OpenForm("TMaskCoulForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBN")->value(), 0);
  EXPECT_FALSE(Slider(d, "TBN")->isEnabled());
  EXPECT_TRUE(Child<QRadioButton>(d, "RBAucun")->isChecked());
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), shell.Layer().GetPixel(3, 3));
  Cancel(d);
}

// A layer's colour at tolerance 0 hides exactly the pixels of that colour; a layer
// without a mask gets its mask before the step, so that OK keeps the change and undo
// takes it back.
TEST(TransparencyDialogs, LayerColourExactMatchesOnly) {
  DialogShell shell;
  TBitmap picture = RandomBitmap(30, 20, 5);
  const TColor c = picture.GetPixel(0, 0);
  picture.SetPixel(9, 9, c);
  picture.SetPixel(10, 9, c ^ 1);
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", std::move(picture), TBitmap(), TPoint{10, 10});
  shell.Form->UpdateCommandStates();
  TLayerItem& layer = *shell.Doc->Image().GetActiveLayer();
  layer.Mask = TBitmap();  // a layer without a mask, as a layered file may keep one
  QWidget* d = shell.OpenForm("TCouleurTransCalqueForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), c);
  Slider(d, "TBN")->setValue(0);
  Click(d, "BOk");
  ASSERT_EQ(layer.Mask.Width(), 30);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(layer.Mask.GetPixel(x, y), layer.Image.GetPixel(x, y) == c ? clWhite : clBlack) << x << "," << y;
  EXPECT_EQ(layer.Mask.GetPixel(10, 9), clBlack);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_EQ(layer.Mask.GetPixel(9, 9), clBlack);
}
