// The tile, artistic, gradient, assemble and cut-out dialogs as a user works them from
// the menus: their refusals, the pixels their previews and OK leave, undo and cancel.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QRadioButton>

#include "DialogTestSupport.h"
#include "dialogs/effects/EditForms.h"
#include "document/Undo.h"
#include "document/qt/Clipboard.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Tiles.h"
#include "shell/palette/ToolPalette.h"

using namespace qm;
using namespace qm::test;

namespace {

double MeanLuminance(const TBitmap& b, TRect r) {
  double sum = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const uint8_t* p = Px(b, x, y);
      sum += p[0] + p[1] + p[2];
    }
  return sum / (3.0 * r.Width() * r.Height());
}

void SelectRect(DialogShell& shell, TRect r) {
  shell.Doc->Selection().SetShape(ssRect);
  shell.Doc->Selection().SetSelectionRect(r);
  shell.Doc->Selection().Show();
  shell.Form->UpdateCommandStates();
}

// A picture of one colour with a square of another in its middle.
TBitmap Subject(int w, int h, TRect square, TColor background, TColor subject) {
  TBitmap b(w, h, pf24bit, background);
  b.FillRect(square, subject);
  return b;
}

}  // namespace

// Each refusal shows its message, leaves the picture as it was and keeps the dialog
// open after OK; Cancel then leaves no step.
TEST(EffectDialogs, RefusalsKeepTheDialogOpen) {
  struct Case {
    const char* Dialog;
    std::function<void(QWidget*)> Set;
    TextId Message;
  };
  const Case cases[] = {
      {"TPuzzleForm", [](QWidget* d) { Slider(d, "TBN")->setValue(300); }, TextId::GetTrDldGlb2},
      {"TQuadrillageForm", [](QWidget* d) { Type(d, "SETrait", ""); }, TextId::GetTrDldGlb1},
      {"TMosaiqueForm", [](QWidget* d) { Slider(d, "TBN")->setValue(30); }, TextId::GetTrDldGlb2},
      {"TCroixForm",
       [](QWidget* d) {
         Choose(d, "CmbPoint", 3);  // "Triangle": the field goes, and is still read
         EXPECT_FALSE(Child<QWidget>(d, "SETrait")->isVisible());
         EXPECT_FALSE(Child<QWidget>(d, "Label3")->isVisible());
         Type(d, "SETrait", "");
       },
       TextId::GetTrDldGlb1},
      {"TDiapoForm", [](QWidget* d) { Type(d, "SELargeur", "250"); }, TextId::GetTrDldGlb2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Dialog);
    DialogShell shell;
    shell.Doc = shell.Open("/photos/grand.png", 500, 400, 11);
    if (std::string(c.Dialog) == "TMosaiqueForm") SelectRect(shell, {0, 0, 50, 50});  // 30 > 50 div 2
    const TBitmap original = shell.Layer().Clone();
    QWidget* d = shell.OpenForm(c.Dialog);
    ASSERT_TRUE(d);
    c.Set(d);
    Click(d, "BOk");
    EXPECT_TRUE(shell.Said(c.Message));
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
    Cancel(d);
    EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
    EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  }
}

// A repeat over a selection too small for the cells says so and leaves the history
// and the picture as they were.
TEST(EffectDialogs, RefusedRepeatLeavesNoStep) {
  for (const char* dialog : {"TPuzzleForm", "TQuadrillageForm", "TMosaiqueForm", "TDiapoForm"}) {
    SCOPED_TRACE(dialog);
    DialogShell shell;
    shell.Doc = shell.Open("/photos/grand.png", 500, 400, 11);
    QWidget* d = shell.OpenForm(dialog);
    ASSERT_TRUE(d);
    Click(d, "BOk");
    ASSERT_FALSE(d->isVisible());
    ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
    SelectRect(shell, {10, 10, 16, 16});
    const TBitmap before = shell.Layer().Clone();
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuFiltreRepeter"));
    EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb2));
    EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
    EXPECT_TRUE(SameBitmaps(shell.Layer(), before));
  }
}

// The puzzle in an ellipse strokes a smoothed outline 3 pixels wide beyond the
// kernel's rectangle: Cancel, and OK then undo, give the original byte for byte.
TEST(EffectDialogs, PuzzleOutlineCancelsAndUndoes) {
  DialogShell shell;
  shell.SelectEllipse({10, 10, 110, 80});
  ASSERT_NE(shell.Services->LayerHost().SelectionSmoothing(), selSmoothNone);
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TPuzzleForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Puzzle");
  EXPECT_EQ(LabelText(d, "LabelPieces"), "Taille des pièces : 50 pixels");
  Slider(d, "TBN")->setValue(20);
  EXPECT_EQ(LabelText(d, "LabelPieces"), "Taille des pièces : 20 pixels");
  Type(d, "SETrait", "3");
  Click(d, "BApercu");
  EXPECT_FALSE(SameBitmaps(shell.Layer(), original));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  d = shell.OpenForm("TPuzzleForm");
  Click(d, "BApercu");
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
}

// The darkest tones at intensity 0 are lighter than at 15.
TEST(EffectDialogs, PencilIntensityDarkens) {
  double mean[2];
  for (int i : {0, 1}) {
    DialogShell shell;
    shell.Layer() = Subject(120, 90, {0, 0, 60, 90}, clWhite, RGB(8, 8, 8));  // a dark half
    QWidget* d = shell.OpenForm("TCrayonForm");
    ASSERT_TRUE(d);
    EXPECT_EQ(LabelText(d, "LblN"), "Quantité : 12");
    Slider(d, "TBN")->setValue(i == 0 ? 0 : 15);
    Slider(d, "TBN2")->setValue(20);
    Click(d, "BOk");
    mean[i] = MeanLuminance(shell.Layer(), {0, 0, 120, 90});
  }
  EXPECT_GT(mean[0], mean[1]);
}

// "Monochrome" fades colour 1 from its opacity to nothing; a direction changed after a
// preview is what OK applies.
TEST(EffectDialogs, GradientMonochromeAndDirection) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TFiltreDegradeForm");
  ASSERT_TRUE(d);
  ClickRadio(Child<QRadioButton>(d, "RBMonochrome"));
  EXPECT_FALSE(Child<QWidget>(d, "GroupBox2")->isEnabled());
  EXPECT_TRUE(Child<QAbstractButton>(d, "SB1")->isChecked());
  Click(d, "BApercu");
  ClickRadio(Child<QRadioButton>(d, "RBTopBottom"));
  Click(d, "BOk");
  TBitmap want = original.Clone();
  FillGradientRect(want, clBlack, 50, UnboundedRect, 3, 0, clBlack);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), want));
  // The last row is barely tinted, the first at half.
  EXPECT_NEAR(Px(shell.Layer(), 5, 89)[0], Px(original, 5, 89)[0], 2);
  EXPECT_NEAR(Px(shell.Layer(), 5, 0)[0], Px(original, 5, 0)[0] / 2, 1);
}

// "Haut" with a picture 100 pixels high: the old picture and the other layers move
// down by 100, under the clipboard's; undo takes it all back. A clipboard whose
// picture does not read is told as the paste commands tell an empty one.
TEST(EffectDialogs, AssembleOnTop) {
  DialogShell shell;
  TNewImgForm* doc = shell.Doc;  // 120 x 90
  shell.AddLayer(40);            // at (10, 10)
  doc->Image().SetActiveLayerIndex(0);  // the command joins to the background
  const TBitmap original = doc->Image().Layers[0].Image.Clone();
  const int steps = shell.History().GetUndoStepCount();
  const TBitmap clip(80, 100, pf24bit, RGB(0, 200, 0));
  CopyBitmapWithMask(ClipboardData(), &clip, nullptr);
  QWidget* d = shell.OpenForm("TAssemblerForm");
  ASSERT_TRUE(d);
  ClickRadio(Child<QRadioButton>(d, "RBHaut"));
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  const TBitmap& bg = doc->Image().Layers[0].Image;
  ASSERT_EQ(bg.Width(), 120);
  ASSERT_EQ(bg.Height(), 190);
  EXPECT_EQ(bg.GetPixel(0, 0), RGB(0, 200, 0));
  EXPECT_EQ(bg.GetPixel(79, 99), RGB(0, 200, 0));
  EXPECT_EQ(bg.GetPixel(100, 50), shell.Services->LayerHost().BackgroundColor());
  TBitmap lower;
  CopyBitmapRegion(bg, lower, {0, 100, 120, 190});
  EXPECT_TRUE(SameBitmaps(lower, original));
  EXPECT_EQ(doc->Image().Layers[1].Top, 110);
  EXPECT_EQ(doc->Image().Layers[1].Left, 10);
  EXPECT_EQ(shell.History().GetUndoStepCount(), steps + 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(doc->Image().Layers[0].Image, original));
  EXPECT_EQ(doc->Image().Layers[1].Top, 10);

  // A picture another program put there that does not read: the dialog says so at OK
  // and changes nothing.
  auto* unreadable = new QMimeData;
  unreadable->setData(QStringLiteral("application/x-qt-image"), "not a picture");
  QGuiApplication::clipboard()->setMimeData(unreadable);
  const int undone = shell.History().GetUndoStepCount();
  const TBitmap before = doc->Image().Layers[0].Image.Clone();
  d = shell.OpenForm("TAssemblerForm");
  ASSERT_TRUE(d);
  shell.Messages.clear();
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(shell.Said(TextId::GetTrDlgMain3));
  EXPECT_EQ(shell.History().GetUndoStepCount(), undone);
  EXPECT_TRUE(SameBitmaps(doc->Image().Layers[0].Image, before));
  ClearClipboardData(ClipboardData());
}

// The cut-out of a square on a plain ground: tolerance 0 keeps the whole region; a
// vertical scan removes only the columns' runs; removed pixels take the palette's
// background in a new image; the clipboard's mask is 0 on kept pixels; choosing
// "Bidirectionnel" after a preview changes the cut OK sends.
TEST(EffectDialogs, CutOut) {
  DialogShell shell;
  const TColor ground = RGB(10, 20, 200), subject = RGB(250, 250, 0);
  shell.Layer() = Subject(120, 90, {40, 30, 80, 60}, ground, subject);
  // A band across the middle rows: a column scan stops at it, a row scan does not.
  shell.Layer().FillRect({0, 40, 120, 50}, subject);
  const TBitmap original = shell.Layer().Clone();
  SelectRect(shell, {0, 0, 120, 90});
  shell.Form->Palette().SetPaletteColor(RGB(0, 255, 0), true);
  auto open = [&] {
    auto* d = dynamic_cast<TDetourForm*>(shell.OpenForm("TDetourForm"));
    EXPECT_TRUE(d);
    return d;
  };
  TDetourForm* d = open();
  ASSERT_TRUE(d);
  EXPECT_EQ(LabelText(d, "LblN"), "Tolérance : 0");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(*d->PreviewBitmap(), original));  // nothing removed
  d->RGResultat->button(1)->click();  // "Créer une nouvelle image"
  d->TBN->setValue(10);
  ClickRadio(d->RBVert);
  TNewImgForm* before = shell.Services->GetActiveImgForm();
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  TNewImgForm* made = shell.Services->GetActiveImgForm();
  ASSERT_NE(made, before);
  const TBitmap& cut = made->Image().Layers[0].Image;
  EXPECT_EQ(cut.GetPixel(5, 5), RGB(0, 255, 0));      // the ground, from the top
  EXPECT_EQ(cut.GetPixel(5, 45), subject);            // the band stops the columns
  EXPECT_EQ(cut.GetPixel(50, 35), subject);           // the square stays
  EXPECT_EQ(cut.GetPixel(5, 55), RGB(0, 255, 0));     // from the bottom
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);  // the document is untouched
  shell.Services->Windows().ActivateImageWindow(shell.Doc);

  // The clipboard: its mask 0 on kept pixels, 255 on removed ones.
  auto clipboardMask = [] {
    TBitmap picture, mask;
    GetClipboardImageAndMask(ClipboardData(), picture, mask);
    EXPECT_FALSE(mask.Empty());
    return mask;
  };
  d = open();
  ASSERT_TRUE(d);
  d->RGResultat->button(0)->click();
  Click(d, "BOk");  // vertical, as left
  TBitmap mask = clipboardMask();
  EXPECT_EQ(Px(mask, 50, 35)[0], 0);
  EXPECT_EQ(Px(mask, 5, 45)[0], 0);
  EXPECT_EQ(Px(mask, 5, 5)[0], 255);

  d = open();
  Click(d, "BApercu");
  ClickRadio(d->RBHorzVert);  // after the preview: the rows are scanned too
  Click(d, "BOk");
  mask = clipboardMask();
  EXPECT_EQ(Px(mask, 5, 45)[0], 255);  // the band, removed from the rows' ends
  EXPECT_EQ(Px(mask, 5, 5)[0], 255);
}
