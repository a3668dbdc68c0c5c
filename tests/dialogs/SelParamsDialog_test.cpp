// The manual geometry dialog from its three commands: a blank layer placed by numbers,
// the active layer moved and scaled, the selection placed.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "dialogs/geometry/SelParamsForm.h"
#include "dialogs/command/SizeUnits.h"
#include "document/LayerOps.h"
#include "document/TextData.h"

using namespace qm;
using namespace qm::test;

namespace {

TLayeredImage& Image(DialogShell& shell) { return shell.Doc->Image(); }

int AddUpperLayer(DialogShell& shell, int w, int h, TPoint at) {
  const int i = AddLayerFromBitmap(shell.Services->LayerHost(), "upper", RandomBitmap(w, h, 8), nullptr, at);
  Image(shell).SetActiveLayerIndex(i);
  shell.Form->UpdateCommandStates();
  return i;
}

const TLayerItem& Top(DialogShell& shell) { return Image(shell).Layers[Image(shell).GetLayerCount() - 1]; }

}  // namespace

// Units, anchors and proportions as a user types them: each case a blank layer of the
// size the fields give, where the position puts it, the layer tool then pressed.
TEST(SelParamsDialog, UnitsAnchorsAndProportions) {
  struct Case {
    int DocW, DocH;
    int Unit;  // CmbUnit's item
    const char* W;
    const char* H;
    int Anchor;
    TRect Expected;
  };
  const Case cases[] = {
      {640, 480, 2, "2.54", "2.54", 0, {0, 0, 72, 72}},        // 2.54 cm = 72 px at 72 ppi
      {640, 480, 3, "1", "0.5", 0, {0, 0, 72, 36}},            // inches
      {300, 200, 1, "50", "50", 0, {0, 0, 150, 100}},          // 50 % of 300 = 150
      {640, 480, 0, "100", "50", 8, {540, 430, 640, 480}},     // anchor 8
      {640, 480, 0, "100", "50", 4, {270, 215, 370, 265}},     // centre
      {640, 480, 0, "0", "0", 0, {0, 0, 1, 1}},                // at least one pixel
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.W) + " x " + c.H);
    DialogShell shell;
    shell.Doc = shell.Open("/photos/grand.png", c.DocW, c.DocH, 3);
    QWidget* d = shell.OpenForm("TSelParamsForm");  // the blank layer's row
    ASSERT_TRUE(d);
    EXPECT_FALSE(Child<QGroupBox>(d, "GBForme")->isVisible());
    EXPECT_FALSE(Child<QCheckBox>(d, "CBProportions")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(d, "RBPos2")->isChecked());
    EXPECT_EQ(FieldText(d, "EdiL"), std::to_string(c.DocW));
    Choose(d, "CmbUnit", c.Unit);
    Type(d, "EdiL", c.W);
    Type(d, "EdiH", c.H);
    const std::string anchor = "TB" + std::to_string(c.Anchor);
    Child<QAbstractButton>(d, anchor.c_str())->click();
    const int layers = Image(shell).GetLayerCount();
    Click(d, "BOk");
    EXPECT_FALSE(d->isVisible());
    ASSERT_EQ(Image(shell).GetLayerCount(), layers + 1);
    const TLayerItem& l = Top(shell);
    EXPECT_EQ(Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height()), c.Expected);
    EXPECT_EQ(l.Image.GetPixel(0, 0), clWhite);
    // the layer tool is pressed once the dialog has let go of the shell
    EXPECT_TRUE(shell.Services->Hooks.IsLayerToolActive());
  }
}

// A 200 x 100 layer with the proportions kept: a width of 300 gives a height of 150,
// and OK scales the layer into one whole-layer step that undo takes back.
TEST(SelParamsDialog, ProportionalScaleOfTheLayer) {
  DialogShell shell;
  shell.Doc = shell.Open("/photos/grand.png", 640, 480, 3);
  const int i = AddUpperLayer(shell, 200, 100, TPoint{10, 20});
  QWidget* d = shell.OpenForm("TSelParamsForm");
  ASSERT_TRUE(d);
  // the menu's first row is the blank layer's: the layer's own opens from its menu
  Click(d, "BAnnuler");
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueParams"));
  ASSERT_TRUE(d->isVisible());
  EXPECT_TRUE(Child<QCheckBox>(d, "CBProportions")->isChecked());
  EXPECT_EQ(FieldText(d, "EdiX"), "10");
  Type(d, "EdiL", "300");
  EXPECT_EQ(FieldText(d, "EdiH"), "150");
  ClickRadio(Child<QRadioButton>(d, "RBPos1"));
  Type(d, "EdiX", "-30");
  Click(d, "BOk");
  const TLayerItem& l = Image(shell).Layers[i];
  EXPECT_EQ(l.Image.Width(), 300);
  EXPECT_EQ(l.Image.Height(), 150);
  EXPECT_EQ(l.Left, -30);
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
  EXPECT_EQ(l.Image.Width(), 200);
  EXPECT_EQ(l.Left, 10);
}

// Untouched OK in centimetres on a 20-pixel layer, and any OK on a text layer (its size
// locked): the layer keeps its size, the step only moves it, to the centre.
TEST(SelParamsDialog, PositionOnlySteps) {
  for (bool text : {false, true}) {
    SCOPED_TRACE(text ? "text layer" : "centimetres");
    DialogShell shell;
    if (text) {
      auto data = std::make_unique<TTextData>();
      data->Lines = {"Titre"};
      AddTextLayer(shell.Services->LayerHost(), "#1", std::move(data));
      shell.Doc->View().repaint();  // the text is rendered as the document is drawn
      shell.Form->UpdateCommandStates();
    } else {
      AddUpperLayer(shell, 20, 20, TPoint{5, 5});
    }
    const TLayerItem& l = *Image(shell).GetActiveLayer();
    const TRect before = Image(shell).GetActiveLayerBounds();
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueParams"));
    QWidget* d = shell.Form->findChild<QWidget*>(QStringLiteral("TSelParamsForm"));
    ASSERT_TRUE(d && d->isVisible());
    EXPECT_EQ(Child<QGroupBox>(d, "GBTaille")->isEnabled(), !text);
    if (!text) {
      Choose(d, "CmbUnit", 2);
      EXPECT_EQ(FieldText(d, "EdiL"), "0.71");
    }
    Click(d, "BOk");
    const TRect centred = AnchorPlacement(before.Width(), before.Height(), 120, 90, alCenter);
    EXPECT_EQ(Image(shell).GetActiveLayerBounds(), centred);
    EXPECT_EQ(l.Left, centred.Left);
    ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
    EXPECT_EQ(GetUndoStepParam(*shell.History().GetCurrentUndoStep(), upKind), ukLayerMove);
  }
}

// The selection placed by numbers: an ellipse, inverted, of the size typed.
TEST(SelParamsDialog, PlacesTheSelection) {
  DialogShell shell;
  shell.SelectEllipse(TRect{10, 10, 50, 40});
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuSelParams"));
  QWidget* d = shell.Form->findChild<QWidget*>(QStringLiteral("TSelParamsForm"));
  ASSERT_TRUE(d && d->isVisible());
  EXPECT_TRUE(Child<QGroupBox>(d, "GBForme")->isVisible());
  EXPECT_TRUE(Child<QRadioButton>(d, "RBPos1")->isChecked());
  EXPECT_EQ(Child<QComboBox>(d, "EdiForme")->currentIndex(), 1);
  Child<QCheckBox>(d, "CBProportions")->setChecked(false);
  Type(d, "EdiX", "20");
  Type(d, "EdiL", "60");
  Child<QComboBox>(d, "EdiForme")->setCurrentIndex(3);
  Child<QCheckBox>(d, "CBInverser")->setChecked(true);
  Click(d, "BOk");
  const TSelectionControl& sel = shell.Doc->Selection();
  EXPECT_EQ(sel.SelRect, (TRect{20, 10, 80, 40}));
  EXPECT_EQ(sel.ShapeKind, ssLosange);
  EXPECT_TRUE(sel.Inverted);
  EXPECT_TRUE(sel.Visible);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
}
