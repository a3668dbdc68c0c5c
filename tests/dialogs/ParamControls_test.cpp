#include <gtest/gtest.h>

#include <QToolButton>
#include <cmath>

#include "DialogTestSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

// One field for each kind of control.
struct TKindsParams {
  int Strength;          // slider
  double Level;          // slider in tenths
  int Width;             // spin edit
  bool Invert;           // check box
  int Direction;         // radio group
  int Style;             // combo box
  TColor Color1, Color2;  // colour edits, picked through SB1 and SB2
};

}  // namespace

template <>
struct qm::TParamTable<TKindsParams> {
  static constexpr std::array Fields{
      IntParam("Strength", &TKindsParams::Strength, {0, 100}, {0, 100}, 30),
      DoubleParam("Level", &TKindsParams::Level, {0.1, 10}, {0.1, 3}, 1.0),
      IntParam("Width", &TKindsParams::Width, {1, 500}, {1, 200}, 20),
      BoolParam("Invert", &TKindsParams::Invert, false),
      ChoiceParam("Direction", &TKindsParams::Direction, 3, 0),
      ChoiceParam("Style", &TKindsParams::Style, 2, 0),
      ColorParam("Color1", &TKindsParams::Color1, clBlack),
      ColorParam("Color2", &TKindsParams::Color2, clWhite),
  };
};

namespace {

// The operation writes what it was given into the first four pixels, where the test
// reads what a preview or an OK took.
void WriteKinds(TBitmap& bmp, const TKindsParams& p, TRect) {
  ColorToPixel24(RGB(p.Strength, p.Width, p.Invert + 2 * p.Direction + 8 * p.Style), Px(bmp, 0, 0));
  ColorToPixel24(p.Color1, Px(bmp, 1, 0));
  ColorToPixel24(p.Color2, Px(bmp, 2, 0));
  ColorToPixel24(RGB(int(std::lround(p.Level * 100)), 0, 0), Px(bmp, 3, 0));
}
TKindsParams Taken(const TBitmap& bmp) {
  const TColor c = Pixel24ToColor(Px(bmp, 0, 0));
  return {GetRValue(c),
          GetRValue(Pixel24ToColor(Px(bmp, 3, 0))) / 100.0,
          GetGValue(c),
          (GetBValue(c) & 1) != 0,
          (GetBValue(c) >> 1) & 3,
          GetBValue(c) >> 3,
          Pixel24ToColor(Px(bmp, 1, 0)),
          Pixel24ToColor(Px(bmp, 2, 0))};
}

// A filter that resets at each showing and is not repeated, or the same as a live
// adjustment, registered under classes that commands of the menus open.
template <TDialogVariant V>
class TKindsForm final : public TParamDialogOf<TKindsParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = V == dvFilter ? "TFiltreForm" : "TBichromieForm",
                                         .Caption = TextId::TrFixDlgGaussianBlur,
                                         .MenuText = TextId::GetTrMnuGaussianBlur,
                                         .Variant = V,
                                         .PicksColors = true,
                                         .NotRepeated = true,
                                         .ResetEachShowing = V == dvFilter};
  TKindsForm() : TParamDialogOf(kTraits, &WriteKinds) {
    AddSlider(&TKindsParams::Strength, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtAmount});
    AddSlider(&TKindsParams::Level,
              {.Name = "TBNiveau", .LabelName = "LblNiveau", .Format = TextId::GetTrFmtLevel, .Scale = 10});
    AddSpinEdit(&TKindsParams::Width, {.Name = "SELargeur", .Label = {TextId::GetTrLblWidth}, .Characters = 3});
    AddCheckBox(&TKindsParams::Invert, {"CBInverser", {TextId::GetTrMnuSelInvert}});
    AddRadioGroup(&TKindsParams::Direction, {"RGDirection", {}, {{"RB1", {}}, {"RB2", {}}, {"RB3", {}}}});
    AddCombo(&TKindsParams::Style, {"CmbStyle", {}, {{}, {}}});
    AddColorEdit(&TKindsParams::Color1, {"ColorEdit1", {TextId::GetTrLblColor1}, "SB1"});
    AddColorEdit(&TKindsParams::Color2, {"ColorEdit2", {TextId::GetTrLblColor2}, "SB2"});
  }
};

}  // namespace

// Each kind of control as a user works it: the values reach the operation through the
// fields' ranges, a width typed past its range and confirmed with Enter among them; a
// colour picked on the image goes where SB2 sends it; OK records nothing to repeat;
// the next showing is back at the defaults.
TEST(ParamControls, EachKindOfControlAsAUserWorksIt) {
  TDialogRegistry dialogs;
  InstallParameterDialogs(dialogs);
  RegisterParamDialog<TKindsForm<dvFilter>>(dialogs);
  DialogShell shell(&dialogs);
  const TColor under = Pixel24ToColor(Px(shell.Layer(), 30, 20));
  QWidget* d = shell.OpenForm("TFiltreForm");
  ASSERT_TRUE(d);
  CheckTableAndControls(d);
  EXPECT_EQ(LabelText(d, "LblN"), "Quantité : 30");
  EXPECT_EQ(LabelText(d, "LblNiveau"), "Niveau : 1.00");
  EXPECT_TRUE(Child<QToolButton>(d, "SB1")->isChecked());

  Key(Slider(d, "TBN"), Qt::Key_End);
  Key(Slider(d, "TBNiveau"), Qt::Key_Left, 5);
  EXPECT_EQ(LabelText(d, "LblNiveau"), "Niveau : 0.50");
  QTest::keyClick(Child<QCheckBox>(d, "CBInverser"), Qt::Key_Space);
  QTest::keyClick(Child<QRadioButton>(d, "RB3"), Qt::Key_Space);
  QTest::keyClick(Child<QComboBox>(d, "CmbStyle"), Qt::Key_Down);
  QTest::mouseClick(Child<QToolButton>(d, "SB2"), Qt::LeftButton);
  EXPECT_FALSE(Child<QToolButton>(d, "SB1")->isChecked());
  // What the shell hands the dialog for a click on the image (that road is
  // ParamDialog.ColourPickedOnTheImage's).
  dynamic_cast<TColorPickTarget*>(d)->ColorPicked(under);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit2")->Color(), under);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit1")->Color(), clBlack);
  auto* width = Child<TSpinEdit2>(d, "SELargeur");
  width->setFocus();
  width->selectAll();
  QTest::keyClicks(width, "500");
  QTest::keyClick(width, Qt::Key_Return);  // the dialog's default button: OK

  EXPECT_FALSE(d->isVisible());
  const TKindsParams taken = Taken(shell.Layer());
  EXPECT_EQ(taken.Strength, 100);
  EXPECT_EQ(taken.Level, 0.5);
  EXPECT_EQ(taken.Width, 200);  // read through the control's range
  EXPECT_TRUE(taken.Invert);
  EXPECT_EQ(taken.Direction, 2);
  EXPECT_EQ(taken.Style, 1);
  EXPECT_EQ(taken.Color1, clBlack);
  EXPECT_EQ(taken.Color2, under);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());

  d = shell.OpenForm("TFiltreForm");
  ASSERT_TRUE(d);
  CheckTableAndControls(d);
  EXPECT_TRUE(Child<QToolButton>(d, "SB1")->isChecked());
  Click(d, "BAnnuler");
}

// Under live preview the image follows each choice at once, and a spin edit's arrows.
TEST(ParamControls, ALiveDialogFollowsEachChoice) {
  TDialogRegistry dialogs;
  InstallParameterDialogs(dialogs);
  RegisterParamDialog<TKindsForm<dvAdjustment>>(dialogs);
  DialogShell shell(&dialogs);
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TBichromieForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  QTest::keyClick(Child<QCheckBox>(d, "CBInverser"), Qt::Key_Space);
  EXPECT_TRUE(Taken(shell.Layer()).Invert);
  QTest::keyClick(Child<QRadioButton>(d, "RB2"), Qt::Key_Space);
  EXPECT_EQ(Taken(shell.Layer()).Direction, 1);
  QTest::keyClick(Child<QComboBox>(d, "CmbStyle"), Qt::Key_Down);
  EXPECT_EQ(Taken(shell.Layer()).Style, 1);
  QTest::keyClick(Child<TSpinEdit2>(d, "SELargeur"), Qt::Key_Up);
  EXPECT_EQ(Taken(shell.Layer()).Width, 21);
  Child<TColorEdit>(d, "ColorEdit1")->SetColor(RGB(1, 2, 3));
  EXPECT_EQ(Taken(shell.Layer()).Color1, RGB(1, 2, 3));
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
}
