// The rotation, skew and offset dialogs of the Image menu as a user works them: the
// background (and its mask under an alpha image) with the other layers, one step.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "controls/SpinEdit.h"
#include "document/LayerOps.h"
#include "pixel/ImgUtils.h"
#include "pixel/Rotation.h"

using namespace qm;
using namespace qm::test;

namespace {

TLayeredImage& Image(DialogShell& shell) { return shell.Doc->Image(); }

int AddLayer(DialogShell& shell, TBitmap image, TPoint at, bool masked = true) {
  TBitmap mask = masked ? RandomBitmap(image.Width(), image.Height(), 5) : TBitmap();
  const int i = masked ? AddLayerFromBitmap(shell.Services->LayerHost(), "upper", std::move(image), std::move(mask), at)
                       : AddLayerFromBitmap(shell.Services->LayerHost(), "upper", image, nullptr, at);
  EXPECT_GT(i, 0);
  shell.Form->UpdateCommandStates();
  return i;
}

// An alpha image (the background has a mask) whose upper layer is active.
void MakeAlphaImageWithUpperLayerActive(DialogShell& shell) {
  TLayerItem& bg = Image(shell).Layers[0];
  bg.Mask = RandomBitmap(bg.Image.Width(), bg.Image.Height(), 9);
  const int upper = AddLayer(shell, RandomBitmap(30, 20, 3), TPoint{5, 5});
  Image(shell).SetActiveLayerIndex(upper);
  shell.Form->UpdateCommandStates();
}

bool Gone(QWidget* d) { return !d->isVisible(); }

}  // namespace

// At 0 the three dialogs close and leave no step; the offset's untouched OK neither,
// even after an earlier showing applied a shift.
TEST(ImageGeometryDialogs, ZeroLeavesNoStep) {
  DialogShell shell;
  AddLayer(shell, RandomBitmap(20, 20, 4), TPoint{30, 30});
  const TBitmap original = Image(shell).Layers[0].Image.Clone();
  QWidget* d = shell.OpenForm("TRotForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Rotation");
  EXPECT_EQ(FieldText(d, "SEAngle"), "45.0");
  EXPECT_TRUE(Child<QCheckBox>(d, "CBTous")->isChecked());
  Type(d, "SEAngle", "0");
  Click(d, "BOk");
  EXPECT_TRUE(Gone(d));

  d = shell.OpenForm("TInclinerForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(LabelText(d, "Lbl"), "Inclinaison gauche/droite : 0%");
  Click(d, "BOk");
  EXPECT_TRUE(Gone(d));

  d = shell.OpenForm("TDecalerForm");
  ASSERT_TRUE(d);
  Type(d, "SEDX", "15");
  Click(d, "BOk");
  EXPECT_TRUE(Gone(d));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(Image(shell).Layers[1].Left, 45);
  EXPECT_EQ(GetUndoStepParam(*shell.History().GetCurrentUndoStep(), upOffsetX), 15);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Décaler");
  d = shell.OpenForm("TDecalerForm");
  EXPECT_EQ(FieldText(d, "SEDX"), "0");
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
  EXPECT_EQ(Image(shell).Layers[1].Left, 30);
  EXPECT_TRUE(SameBitmaps(Image(shell).Layers[0].Image, original));
}

// Two previews of different shifts, then Cancel: the layers where they were, the
// background as it was, no step.
TEST(ImageGeometryDialogs, OffsetPreviewsThenCancel) {
  DialogShell shell;
  AddLayer(shell, RandomBitmap(20, 20, 4), TPoint{30, 30});
  const TBitmap original = Image(shell).Layers[0].Image.Clone();
  QWidget* d = shell.OpenForm("TDecalerForm");
  ASSERT_TRUE(d);
  Type(d, "SEDX", "10");
  Click(d, "BApercu");
  Type(d, "SEDX", "25");
  ClickRadio(Child<QRadioButton>(d, "RBGauche"));
  Type(d, "SEDY", "7");
  Click(d, "BApercu");
  TBitmap expected = original.Clone();
  ScrollBitmapWrapHorizontal(expected, -25);
  ScrollBitmapWrapVertical(expected, 7);
  EXPECT_TRUE(SameBitmaps(Image(shell).Layers[0].Image, expected));
  EXPECT_EQ(Image(shell).Layers[1].Left, 5);
  EXPECT_EQ(Image(shell).Layers[1].Top, 37);
  // "+" becomes "A", which a number field refuses
  QTest::keyClicks(Child<QLineEdit>(d, "SEDY"), "+");
  EXPECT_EQ(FieldText(d, "SEDY"), "7");
  Type(d, "SEDX", "");
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  EXPECT_FALSE(Gone(d));
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(Image(shell).Layers[0].Image, original));
  EXPECT_EQ(Image(shell).Layers[1].Left, 30);
  EXPECT_EQ(Image(shell).Layers[1].Top, 30);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
}

// Every way a shift changes counts: 5 set with the Up key and OK shifts by 5; a
// preview at 10, then the up-down button to 12 and OK shifts by 12.
TEST(ImageGeometryDialogs, OffsetTakesTheArrows) {
  for (const bool preview : {false, true}) {
    SCOPED_TRACE(preview);
    DialogShell shell;
    const TBitmap original = Image(shell).Layers[0].Image.Clone();
    QWidget* d = shell.OpenForm("TDecalerForm");
    ASSERT_TRUE(d);
    auto* dx = Child<TSpinEdit2>(d, "SEDX");
    int shift = 5;
    if (preview) {
      Type(d, "SEDX", "10");
      Click(d, "BApercu");
      for (int i = 0; i < 2; ++i) QTest::mouseClick(dx->Button(), Qt::LeftButton, {}, QPoint(4, 2));
      shift = 12;
    } else {
      for (int i = 0; i < 5; ++i) QTest::keyClick(dx, Qt::Key_Up);
    }
    EXPECT_EQ(dx->Value(), shift);
    Click(d, "BOk");
    EXPECT_TRUE(Gone(d));
    TBitmap expected = original.Clone();
    ScrollBitmapWrapHorizontal(expected, shift);
    EXPECT_TRUE(SameBitmaps(Image(shell).Layers[0].Image, expected));
    EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  }
}

// Under an alpha image, with an upper layer active: the three commands turn, lean or
// shift the background's mask with its image, leave the active layer's alone, and undo
// gives both back.
TEST(ImageGeometryDialogs, AlphaImageMovesTheBackgroundsMask) {
  struct Case {
    const char* Form;
    std::function<void(QWidget*)> Set;
  };
  const Case cases[] = {
      {"TRotForm", [](QWidget* d) { Type(d, "SEAngle", "30"); }},
      {"TInclinerForm", [](QWidget* d) { Key(Slider(d, "TB"), Qt::Key_PageUp, 4); }},
      {"TDecalerForm", [](QWidget* d) { Type(d, "SEDX", "12"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Form);
    DialogShell shell;
    MakeAlphaImageWithUpperLayerActive(shell);
    TLayeredImage& image = Image(shell);
    const TBitmap bgImage = image.Layers[0].Image.Clone(), bgMask = image.Layers[0].Mask.Clone();
    const TBitmap upperMask = image.Layers[1].Mask.Clone();
    QWidget* d = shell.OpenForm(c.Form);
    ASSERT_TRUE(d);
    if (auto* all = d->findChild<QCheckBox*>(QStringLiteral("CBTous"))) all->setChecked(false);
    if (auto* smooth = d->findChild<QCheckBox*>(QStringLiteral("CBLisser"))) smooth->setChecked(false);
    c.Set(d);
    Click(d, "BOk");
    ASSERT_TRUE(Gone(d));
    ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
    const TLayerItem& bg = image.Layers[0];
    EXPECT_EQ(bg.Mask.Width(), bg.Image.Width());
    EXPECT_EQ(bg.Mask.Height(), bg.Image.Height());
    EXPECT_FALSE(SameBitmaps(bg.Mask, bgMask));
    EXPECT_TRUE(SameBitmaps(image.Layers[1].Mask, upperMask));
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
    EXPECT_TRUE(SameBitmaps(bg.Image, bgImage));
    EXPECT_TRUE(SameBitmaps(bg.Mask, bgMask));
  }
}

// After a skew of every layer, an upper layer whose pixels copy a block of the
// background stays over that block, on either axis.
TEST(ImageGeometryDialogs, SkewedLayersStayOverTheirContent) {
  for (const char* axis : {"RBHorz", "RBVert"}) {
    SCOPED_TRACE(axis);
    DialogShell shell;
    TBitmap& bg = Image(shell).Layers[0].Image;
    bg.FillRect(GetBitmapRect(bg), clBlack);
    const TRect block{70, 50, 90, 70};
    bg.FillRect(block, RGB(255, 0, 0));
    AddLayer(shell, TBitmap(20, 20, pf24bit, RGB(255, 0, 0)), TPoint{block.Left, block.Top}, false);
    QWidget* d = shell.OpenForm("TInclinerForm");
    ASSERT_TRUE(d);
    ClickRadio(Child<QRadioButton>(d, axis));
    Child<QCheckBox>(d, "CBLisser")->setChecked(false);
    Key(Slider(d, "TB"), Qt::Key_PageUp, 6);  // 30 %
    Click(d, "BOk");
    ASSERT_TRUE(Gone(d));
    // the centre of the red in the background against the centre of the layer
    const TBitmap& out = Image(shell).Layers[0].Image;
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < out.Height(); ++y)
      for (int x = 0; x < out.Width(); ++x)
        if (out.GetPixel(x, y) == RGB(255, 0, 0)) sx += x, sy += y, ++n;
    ASSERT_GT(n, 0);
    const TLayerItem& l = Image(shell).Layers[1];
    EXPECT_NEAR(l.Left + l.Image.Width() / 2.0, sx / n + 0.5, 2.0);
    EXPECT_NEAR(l.Top + l.Image.Height() / 2.0, sy / n + 0.5, 2.0);
  }
}

// A text layer with "Tous les calques": the message, the dialog stays; unticked, the
// background alone turns. A palette image: the top-left colour, read only, no
// smoothing.
TEST(ImageGeometryDialogs, TextLayerAndPaletteImage) {
  DialogShell shell;
  const int upper = AddLayer(shell, RandomBitmap(20, 20, 4), TPoint{30, 30});
  Image(shell).Layers[upper].LayerType = ltText;
  QWidget* d = shell.OpenForm("TRotForm");
  ASSERT_TRUE(d);
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDlgLayer2));
  EXPECT_FALSE(Gone(d));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  Child<QCheckBox>(d, "CBTous")->setChecked(false);
  const TBitmap before = Image(shell).Layers[0].Image.Clone();
  Click(d, "BOk");
  EXPECT_TRUE(Gone(d));
  TBitmap expected;
  RotateBitmapAngleTo(before, expected, true, 45, true, clWhite);
  EXPECT_TRUE(SameBitmaps(Image(shell).Layers[0].Image, expected));

  Image(shell).Layers[upper].LayerType = ltBitmap;
  Image(shell).ColorCount = 256;
  d = shell.OpenForm("TInclinerForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), Image(shell).Layers[0].Image.GetPixel(0, 0));
  EXPECT_TRUE(Child<TColorEdit>(d, "ColorEdit")->ReadOnly());
  EXPECT_FALSE(Child<QCheckBox>(d, "CBLisser")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(d, "CBLisser")->isChecked());
  Click(d, "BAnnuler");
}
