// The spiral, wave, trapezium and lens dialogs as a user works them from the Filter
// menu, on a plain layer and on a layer with a mask.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "document/LayerOps.h"
#include "pixel/Distortion.h"
#include "pixel/ImgUtils.h"

using namespace qm;
using namespace qm::test;

namespace {

// A layer above the background, with a mask of random greys, made active.
TLayerItem& AddMaskedLayer(DialogShell& shell) {
  TLayerHost& host = shell.Services->LayerHost();
  const int i = AddLayerFromBitmap(host, "masked", RandomBitmap(60, 50, 11), RandomBitmap(60, 50, 12), TPoint{10, 5});
  EXPECT_GT(i, 0);
  shell.Doc->Image().SetActiveLayerIndex(i);
  shell.Form->UpdateCommandStates();
  return shell.Doc->Image().Layers[i];
}

template <class P>
TBitmap Rendered(const TBitmap& source, void (*apply)(TBitmap&, const TBitmap&, const P&, TRect), const P& p) {
  TBitmap out = source.Clone();
  apply(out, source, p, UnboundedRect);
  return out;
}

}  // namespace

// Each dialog: its title and labels, two previews give what one gives (nothing builds
// on the preview before), OK keeps one step that undo takes back.
TEST(DeformDialogs, PreviewsDoNotAccumulate) {
  struct Case {
    const char* Form;
    const char* Title;
    const char* Label;
    const char* Text;
    std::function<TBitmap(const TBitmap&)> Expected;  // after the slider moved one step right
  };
  const Case cases[] = {
      {"TSpiraleForm", "Spirale", "LblPct", "Quantité : 4",
       [](const TBitmap& b) { return Rendered(b, &ApplySpiral, {5, 0, clWhite}); }},
      {"TLensForm", "Sphérisation / Lentille", "Label2", "Quantité : 5",
       [](const TBitmap& b) { return Rendered(b, &ApplyLens, {6, clWhite}); }},
      {"TTrapezeForm", "Trapèze / Perspective", "Lbl1", "Déformation haut : 100%",
       [](const TBitmap& b) { return Rendered(b, &ApplyTrapezoid, {101, 100, 0, clWhite}); }},
      {"TOndeForm", "Ondulation", "LblPeriode", "Période : 12",
       [](const TBitmap& b) { return Rendered(b, &ApplyWave, {13, 15, 0}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Form);
    DialogShell shell;
    const TBitmap original = shell.Layer().Clone();
    QWidget* d = shell.OpenForm(c.Form);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle().toStdString(), c.Title);
    EXPECT_EQ(LabelText(d, c.Label), c.Text);
    const QList<QSlider*> sliders = d->findChildren<QSlider*>();
    Key(sliders.front(), Qt::Key_Right);
    Click(d, "BApercu");
    Click(d, "BApercu");
    EXPECT_TRUE(SameBitmaps(shell.Layer(), c.Expected(original)));
    Click(d, "BOk");
    EXPECT_TRUE(SameBitmaps(shell.Layer(), c.Expected(original)));
    ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
    EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  }
}

// A layer with a mask: the spiral opens on white, turns the mask with white where
// nothing maps, previews twice without building on itself; the repeat makes a step of
// the same kind, so two undos give image and mask back byte for byte.
TEST(DeformDialogs, MaskedSpiralRepeatAndUndo) {
  DialogShell shell;
  TLayerItem& layer = AddMaskedLayer(shell);
  const TBitmap image = layer.Image.Clone(), mask = layer.Mask.Clone();
  QWidget* d = shell.OpenForm("TSpiraleForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), clWhite);
  Click(d, "BApercu");
  Click(d, "BApercu");
  const TSpiralParams p{4, 0, clWhite};
  TBitmap once = mask.Clone();
  ApplySpiralToMask(once, p, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(layer.Mask, once));
  EXPECT_TRUE(SameBitmaps(layer.Image, Rendered(image, &ApplySpiral, p)));
  Click(d, "BOk");
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuFiltreRepeter"));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 2);
  const TUndoLayerItem& repeat = *shell.History().GetCurrentUndoStep();
  EXPECT_EQ(GetUndoStepParam(repeat, upKind), ukWorkRectImageAndMask);
  EXPECT_EQ(GetUndoStepParam(repeat, upNoFade), 1);
  EXPECT_FALSE(SameBitmaps(layer.Mask, once));
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(layer.Mask, once));
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuEditionUndo"));
  EXPECT_TRUE(SameBitmaps(layer.Image, image));
  EXPECT_TRUE(SameBitmaps(layer.Mask, mask));
}

// The trapezium back at 100 % and 100 % after a distorted preview shows the original,
// image and mask; the labels follow the axis.
TEST(DeformDialogs, TrapeziumIdentityRestores) {
  DialogShell shell;
  TLayerItem& layer = AddMaskedLayer(shell);
  const TBitmap image = layer.Image.Clone(), mask = layer.Mask.Clone();
  QWidget* d = shell.OpenForm("TTrapezeForm");
  ASSERT_TRUE(d);
  ClickRadio(Child<QRadioButton>(d, "RBVert"));
  EXPECT_EQ(LabelText(d, "Lbl1"), "Déformation gauche : 100%");
  EXPECT_EQ(LabelText(d, "Lbl2"), "Déformation droite : 100%");
  Key(Slider(d, "TB1"), Qt::Key_PageDown);
  EXPECT_EQ(LabelText(d, "Lbl1"), "Déformation gauche : 90%");
  Click(d, "BApercu");
  EXPECT_FALSE(SameBitmaps(layer.Image, image));
  EXPECT_FALSE(SameBitmaps(layer.Mask, mask));
  Key(Slider(d, "TB1"), Qt::Key_PageUp);
  Click(d, "BOk");
  EXPECT_TRUE(SameBitmaps(layer.Image, image));
  EXPECT_TRUE(SameBitmaps(layer.Mask, mask));
  ClickRadio(Child<QRadioButton>(d, "RBHorz"));
  EXPECT_EQ(LabelText(d, "Lbl1"), "Déformation haut : 100%");
}

// The wave leaves the mask alone and restores the step before each preview, the first
// included: rows whose source falls outside keep the step's pixels.
TEST(DeformDialogs, WaveKeepsTheMask) {
  DialogShell shell;
  TLayerItem& layer = AddMaskedLayer(shell);
  const TBitmap image = layer.Image.Clone(), mask = layer.Mask.Clone();
  QWidget* d = shell.OpenForm("TOndeForm");
  ASSERT_TRUE(d);
  layer.Image.FillRect(GetBitmapRect(layer.Image), RGB(255, 0, 0));  // a change the step does not hold
  Click(d, "BApercu");
  Key(Slider(d, "TBAmplitude"), Qt::Key_End);
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(layer.Image, Rendered(image, &ApplyWave, {12, 60, 0})));
  EXPECT_TRUE(SameBitmaps(layer.Mask, mask));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(layer.Image, image));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
}
