// The layer's free transform by numbers, as a user works it from the Layer menu.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "document/LayerOps.h"
#include "views/LayerNavigator.h"
#include "pixel/Transform.h"

using namespace qm;
using namespace qm::test;

namespace {

int AddUpperLayer(DialogShell& shell) {
  const int i = AddLayerFromBitmap(shell.Services->LayerHost(), "upper", RandomBitmap(40, 30, 8),
                                   RandomBitmap(40, 30, 9), TPoint{100, 50});
  shell.Doc->Image().SetActiveLayerIndex(i);
  shell.Form->UpdateCommandStates();
  return i;
}

}  // namespace

// Turned, scaled and skewed, previewed, then OK: the layer as the same transformation
// renders it, one step that undo takes back; the status and the outline start from the
// layer's place.
TEST(TransformDialog, OkRendersTheLayerOnce) {
  DialogShell shell;
  const int upper = AddUpperLayer(shell);
  TLayerItem& layer = shell.Doc->Image().Layers[upper];
  const TBitmap image = layer.Image.Clone();
  QWidget* d = shell.OpenForm("TRotSelForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Transformation");
  EXPECT_EQ(LabelText(d, "LblAngle"), "Angle : 0°");
  EXPECT_EQ(LabelText(d, "LblEchelle"), "Echelle : 100%");
  EXPECT_EQ(LabelText(d, "LblIX"), "Axe horizontal : 0%");
  Child<QCheckBox>(d, "ChkPreview")->setChecked(false);
  Key(Slider(d, "TBAngle"), Qt::Key_PageUp, 2);
  Key(Slider(d, "TBEchelle"), Qt::Key_PageUp, 5);
  Key(Slider(d, "TBIX"), Qt::Key_PageDown, 1);
  EXPECT_FALSE(layer.Transform);  // without "Aperçu direct" the layer waits for Preview
  Click(d, "BApercu");
  ASSERT_TRUE(layer.Transform);
  EXPECT_TRUE(SameBitmaps(layer.Image, image));

  // the same steps on a copy of the layer
  TLayerItem expected;
  expected.Image = image.Clone();
  expected.Mask = layer.Mask.Clone();
  const int a = Slider(d, "TBAngle")->value(), s = Slider(d, "TBEchelle")->value();
  const int ix = Slider(d, "TBIX")->value();
  auto t = std::make_unique<TAffineTransformation>();
  t->SetSrcRect(TRect{0, 0, 40, 30});
  t->Scale(s / 100.0, s / 100.0);
  t->Skew(-ix / 100.0, 0);
  t->Rotate(std::round(40 * s / 200.0), std::round(30 * s / 200.0), -a);
  t->Translate(100, 50);
  expected.BeginTransform(std::move(t));
  expected.ApplyTransform();

  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(layer.Transform);
  EXPECT_TRUE(SameBitmaps(layer.Image, expected.Image));
  EXPECT_EQ(layer.Left, expected.Left);
  EXPECT_EQ(layer.Top, expected.Top);
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(layer.Image, image));
  EXPECT_EQ(layer.Left, 100);
  EXPECT_EQ(layer.Top, 50);
}

// Cancel after a preview detaches the transformation and leaves no step; untouched OK
// renders the identity: the layer as it was, where it was.
TEST(TransformDialog, CancelDetachesAndIdentityKeepsTheLayer) {
  DialogShell shell;
  const int upper = AddUpperLayer(shell);
  TLayerItem& layer = shell.Doc->Image().Layers[upper];
  const TBitmap image = layer.Image.Clone();
  QWidget* d = shell.OpenForm("TRotSelForm");
  ASSERT_TRUE(d);
  Key(Slider(d, "TBAngle"), Qt::Key_PageUp);
  Click(d, "BApercu");
  EXPECT_TRUE(layer.Transform);
  Click(d, "BAnnuler");
  EXPECT_FALSE(layer.Transform);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_TRUE(SameBitmaps(layer.Image, image));

  d = shell.OpenForm("TRotSelForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Slider(d, "TBAngle")->value(), 0);
  Click(d, "BOk");
  EXPECT_FALSE(layer.Transform);
  EXPECT_TRUE(SameBitmaps(layer.Image, image));
  EXPECT_EQ(layer.Left, 100);
  EXPECT_EQ(layer.Top, 50);
}

// Another layer picked in the strip while the dialog is shown: the preview and OK stay
// with the layer the dialog opened on.
TEST(TransformDialog, StaysOnItsLayer) {
  DialogShell shell;
  const int upper = AddUpperLayer(shell);
  TLayeredImage& doc = shell.Doc->Image();
  const TBitmap background = doc.Layers[0].Image.Clone();
  QWidget* d = shell.OpenForm("TRotSelForm");
  ASSERT_TRUE(d);
  Key(Slider(d, "TBEchelle"), Qt::Key_PageUp, 3);
  TLayerNavigator& nav = shell.Doc->Navigator();
  QTest::mouseClick(&nav, Qt::LeftButton, {}, nav.RowRect(1).center());  // the background's row
  Click(d, "BApercu");
  EXPECT_EQ(doc.ActiveIndex(), upper);
  EXPECT_FALSE(doc.Layers[0].Transform);
  EXPECT_TRUE(doc.Layers[upper].Transform);
  QTest::mouseClick(&nav, Qt::LeftButton, {}, nav.RowRect(1).center());
  Click(d, "BOk");
  EXPECT_EQ(doc.Layers[upper].Image.Width(), 52);
  EXPECT_TRUE(SameBitmaps(doc.Layers[0].Image, background));
}
