// The frame, edge, shadow, contour and outline-and-fill dialogs as a user works them
// from their menu rows in the real editor.
#include <gtest/gtest.h>

#include <QToolButton>

#include "DialogTestSupport.h"
#include "dialogs/frames/FrameOps.h"
#include "document/LayerOps.h"
#include "document/qt/SelectionMask.h"
#include "document/Undo.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ColorReduce.h"
#include "pixel/Composite.h"
#include "pixel/Blend.h"
#include "pixel/FrameEffects.h"
#include "shell/services/UndoableOps.h"

using namespace qm;
using namespace qm::test;

namespace {

// A rectangle selection over r, shown.
void SelectRect(DialogShell& shell, TRect r) {
  shell.Doc->Selection().SetShape(ssRect);
  shell.Doc->Selection().SetSelectionRect(r);
  shell.Doc->Selection().Show();
  shell.Form->UpdateCommandStates();
}

const TUndoLayerItem* Step(DialogShell& shell) { return shell.History().GetCurrentUndoStep(); }

}  // namespace

// Width 20 fits a 41 x 41 rectangle and not a 40 x 41 one (the dialog stays, told why,
// and nothing is kept); at 10 % the band moves a tenth of the way, at 100 % all of it.
TEST(FrameDialogs, FrameFitsAndTints) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  SelectRect(shell, TRect{10, 10, 50, 51});
  QWidget* d = shell.OpenForm("TCadreForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Cadre");
  EXPECT_EQ(LabelText(d, "LblPct"), "Opacité : 60%");
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb2));
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  Cancel(d);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  SelectRect(shell, TRect{10, 10, 51, 51});
  for (const int percent : {10, 100}) {
    d = shell.OpenForm("TCadreForm");
    Slider(d, "TBPct")->setValue(percent);
    Click(d, "BOk");
    ASSERT_FALSE(d->isVisible());
    TBitmap expected = original.Clone();
    TintRect(expected, clWhite, percent, TRect{10, 10, 51, 30});
    TintRect(expected, clWhite, percent, TRect{10, 31, 51, 51});
    TintRect(expected, clWhite, percent, TRect{10, 30, 30, 31});
    TintRect(expected, clWhite, percent, TRect{31, 30, 51, 31});
    EXPECT_TRUE(SameBitmaps(shell.Layer(), expected)) << percent;
    const uint8_t before = Px(original, 10, 10)[0], after = Px(shell.Layer(), 10, 10)[0];
    if (percent == 100) EXPECT_EQ(after, 255);
    else EXPECT_NEAR(after, before + (255 - before) / 10.0, 1);
    EXPECT_EQ(shell.Layer().GetPixel(30, 30), original.GetPixel(30, 30));  // the centre
    shell.Services->UndoCommand(nullptr);
  }
}

// The 3-D contour with neither edge refuses: the dialog stays, no step stays after
// Cancel, and the repeat is not recorded.
TEST(FrameDialogs, Contour3DRefusalKeepsTheDialog) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  shell.SelectEllipse(TRect{20, 20, 90, 70});
  QWidget* d = shell.OpenForm("TBord3DForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QToolButton>(d, "SB1")->isChecked());
  Child<QCheckBox>(d, "CB1")->setChecked(false);
  Child<QCheckBox>(d, "CB2")->setChecked(false);
  EXPECT_FALSE(Child<TColorEdit>(d, "ColorEdit1")->isEnabled());
  Click(d, "BOk");
  EXPECT_TRUE(d->isVisible());
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  Child<QCheckBox>(d, "CB2")->setChecked(true);
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(SameBitmaps(shell.Layer(), original));
  // Only the dark edge: no pixel got lighter.
  for (int y = 0; y < original.Height(); ++y)
    for (int x = 0; x < original.Width(); ++x) ASSERT_LE(Px(shell.Layer(), x, y)[1], Px(original, x, y)[1]);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
}

// A drop shadow to (-10, 0) widens the step 10 pixels to the left only; Cancel and undo
// give back every pixel.
TEST(FrameDialogs, DropShadowGrowsTheStepTowardItsOffset) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  SelectRect(shell, TRect{30, 20, 80, 60});
  QWidget* d = shell.OpenForm("TOmbreForm");
  ASSERT_TRUE(d);
  Type(d, "SEDX", "-10");
  Type(d, "SEDY", "0");
  Click(d, "BApercu");
  ASSERT_TRUE(Step(shell));
  EXPECT_EQ(Step(shell)->Rect, (TRect{20, 20, 80, 60}));
  EXPECT_NE(shell.Layer().GetPixel(22, 40), original.GetPixel(22, 40));  // the shadow
  EXPECT_TRUE(SameOutside(shell.Layer(), original, TRect{20, 20, 80, 60}));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  d = shell.OpenForm("TOmbreForm");
  Click(d, "BOk");
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
}

// Inside a rectangle, width 20 without effect: full colour on the outline, nothing 20
// pixels deep, linear between. Outside: the interior keeps its pixels, the step grows by
// the width, and Cancel gives back every pixel.
TEST(FrameDialogs, ProgressiveContourInsideAndOutside) {
  DialogShell shell;
  shell.Layer().FillRect(TRect{0, 0, 120, 90}, clWhite);
  const TBitmap original = shell.Layer().Clone();
  SelectRect(shell, TRect{10, 10, 110, 80});
  QWidget* d = shell.OpenForm("TContourProgForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QCheckBox>(d, "CBInverser")->isEnabled());
  ClickRadio(Child<QRadioButton>(d, "RBAucun"));
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  for (int depth = 0; depth <= 20; ++depth) {
    const int v = Px(shell.Layer(), 10 + depth, 45)[0];
    EXPECT_NEAR(v, ContourGrey(depth, 20), 1) << depth;  // the blend rounds
  }
  EXPECT_EQ(shell.Layer().GetPixel(60, 45), clWhite);
  shell.Services->UndoCommand(nullptr);

  // A typed width of 0 reads as the field's least, 3, when Enter is OK.
  d = shell.OpenForm("TContourProgForm");
  Type(d, "SELargeur", "0");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(Px(shell.Layer(), 13, 45)[0], 255);
  shell.Services->UndoCommand(nullptr);

  shell.Layer() = RandomBitmap(120, 90, 9);
  const TBitmap random = shell.Layer().Clone();
  d = shell.OpenForm("TContourProgForm");
  Type(d, "SELargeur", "20");
  Child<QCheckBox>(d, "CBInverser")->setChecked(true);
  ClickRadio(Child<QRadioButton>(d, "RBFlou"));
  Click(d, "BApercu");
  ASSERT_TRUE(Step(shell));
  EXPECT_EQ(Step(shell)->Rect, IntersectRect(TRect{-17, -17, 137, 107}, TRect{0, 0, 120, 90}));
  for (int y = 12; y < 78; ++y)
    for (int x = 12; x < 108; ++x) ASSERT_EQ(shell.Layer().GetPixel(x, y), random.GetPixel(x, y)) << x << "," << y;
  EXPECT_NE(shell.Layer().GetPixel(5, 45), random.GetPixel(5, 45));
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), random));
}

// A solid fill covers the working rectangle exactly; a white cross hatch keeps the
// pixels between its lines; an outline after a fill is cancelled and undone to the last
// pixel; OK with neither box closes as Cancel.
TEST(FrameDialogs, OutlineAndFill) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  const TRect r{20, 15, 70, 55};
  SelectRect(shell, r);
  QWidget* d = shell.OpenForm("TCRForm");
  ASSERT_TRUE(d);
  Child<QCheckBox>(d, "CBContour")->setChecked(false);
  Child<QCheckBox>(d, "CBRempl")->setChecked(true);
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  TBitmap expected = original.Clone();
  expected.FillRect(r, clWhite);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), expected));
  shell.Services->UndoCommand(nullptr);

  d = shell.OpenForm("TCRForm");
  Choose(d, "CBStyle", fhCross);
  Click(d, "BOk");
  int white = 0, kept = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const TColor c = shell.Layer().GetPixel(x, y);
      if (c == clWhite) ++white;
      else if (c == original.GetPixel(x, y)) ++kept;
    }
  EXPECT_GT(white, 0);
  EXPECT_GT(kept, r.Width() * r.Height() / 2);
  EXPECT_EQ(white + kept, r.Width() * r.Height());
  EXPECT_TRUE(SameOutside(shell.Layer(), original, r));
  shell.Services->UndoCommand(nullptr);

  shell.SelectEllipse(r);
  d = shell.OpenForm("TCRForm");
  Choose(d, "CBStyle", fhSolid);
  Child<QCheckBox>(d, "CBContour")->setChecked(true);
  Type(d, "SELargeur", "6");
  Click(d, "BApercu");
  Cancel(d);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  d = shell.OpenForm("TCRForm");
  Click(d, "BOk");
  EXPECT_FALSE(SameBitmaps(shell.Layer(), original));
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));

  const int steps = shell.History().GetUndoStepCount();
  d = shell.OpenForm("TCRForm");
  Child<QCheckBox>(d, "CBContour")->setChecked(false);
  Child<QCheckBox>(d, "CBRempl")->setChecked(false);
  Click(d, "BApercu");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), steps);
}

// A pattern fill lies over the fill colour: where the pattern is transparent the
// colour shows, not the picture. The fill switched off disables the pattern's box and
// keeps its tick for when it comes back.
TEST(FrameDialogs, PatternFillOverTheFillColour) {
  DialogShell shell;
  const TRect r{20, 15, 70, 55};
  SelectRect(shell, r);
  const TColor key = RGB(0, 255, 0), blue = RGB(0, 0, 255), red = RGB(255, 0, 0);
  TBitmap tile(4, 4, pf24bit, key);
  tile.FillRect(TRect{0, 0, 2, 2}, blue);
  tile.Transparent = true;
  tile.TransparentColor = key;
  const std::string file = shell.Home.File("motif.gif");
  WritePicture(file, tile);
  QWidget* d = shell.OpenForm("TCRForm");
  ASSERT_TRUE(d);
  Child<QCheckBox>(d, "CBContour")->setChecked(false);
  auto* fill = Child<QCheckBox>(d, "CBRempl");
  auto* motif = Child<QCheckBox>(d, "CBMotif");
  fill->setChecked(true);
  Child<TColorEdit>(d, "ColorEdit2")->SetColor(red);
  motif->setChecked(true);
  Child<QLineEdit>(d, "EdiMotif")->setText(QString::fromStdString(file));
  fill->setChecked(false);
  EXPECT_TRUE(motif->isChecked());
  EXPECT_FALSE(motif->isEnabled());
  fill->setChecked(true);
  EXPECT_TRUE(motif->isEnabled());
  EXPECT_FALSE(Child<QComboBox>(d, "CBStyle")->isEnabled());
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      ASSERT_EQ(shell.Layer().GetPixel(x, y), (x - r.Left) % 4 < 2 && (y - r.Top) % 4 < 2 ? blue : red) << x << "," << y;
}

// On a palette image the outer frame grows in the picture's own pixel (0, 0), shown
// read-only: a colour picked on the image is refused.
TEST(FrameDialogs, OuterFrameOfAPaletteImage) {
  DialogShell shell;
  TBitmap picture = RandomBitmap(60, 40, 8);
  ReduceBitmapColors(picture, 16, 0);
  shell.Doc = shell.Services->CreateImageWindow(&picture, nullptr, 16, true, "");
  shell.Form->UpdateCommandStates();
  const TColor corner = shell.Layer().GetPixel(0, 0);
  QWidget* d = shell.OpenForm("TCadreExtForm");
  ASSERT_TRUE(d);
  auto* color = Child<TColorEdit>(d, "ColorEdit");
  EXPECT_EQ(color->Color(), corner);
  EXPECT_TRUE(color->ReadOnly());
  shell.Services->ActiveToolDialog()->ColorPicked(RGB(1, 2, 3));
  EXPECT_EQ(color->Color(), corner);
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  EXPECT_EQ(shell.Layer().GetPixel(2, 30), corner);
}

// Outer frame 20 on 100 x 80: 140 x 120 with the image at (20, 20) and the other layers
// moved by as much; undo puts all back.
TEST(FrameDialogs, OuterFrameGrowsTheCanvas) {
  DialogShell shell;
  shell.Doc = shell.Open("", 100, 80, 5);
  const TBitmap image = shell.Layer().Clone();
  shell.AddLayer(80);  // at (10, 10)
  shell.Doc->Image().SetActiveLayerIndex(0);
  QWidget* d = shell.OpenForm("TCadreExtForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), d);
  shell.Services->ActiveToolDialog()->ColorPicked(RGB(1, 2, 3));
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  TLayeredImage& doc = shell.Doc->Image();
  const TBitmap& bg = doc.Layers[0].Image;
  ASSERT_EQ(bg.Width(), 140);
  ASSERT_EQ(bg.Height(), 120);
  EXPECT_EQ(bg.GetPixel(20, 20), image.GetPixel(0, 0));
  EXPECT_EQ(bg.GetPixel(119, 99), image.GetPixel(99, 79));
  EXPECT_EQ(bg.GetPixel(5, 60), RGB(1, 2, 3));
  EXPECT_EQ(doc.Layers[1].Left, 30);
  EXPECT_EQ(doc.Layers[1].Top, 30);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(doc.Layers[0].Image, image));
  EXPECT_EQ(doc.Layers[1].Left, 10);
}

// Outer shadow 10, margin 0, "Bas / Droite" on 100 x 80: 110 x 90, the image at (0, 0),
// the shadow beyond it, the other layers where they were; a typed margin of 99999 is
// the field's 500.
TEST(FrameDialogs, OuterShadowPlacements) {
  DialogShell shell;
  shell.Doc = shell.Open("", 100, 80, 5);
  const TBitmap image = shell.Layer().Clone();
  shell.AddLayer(80);
  shell.Doc->Image().SetActiveLayerIndex(0);
  QWidget* d = shell.OpenForm("TOmbreExtForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QToolButton>(d, "SB2")->isChecked());
  ClickRadio(Child<QRadioButton>(d, "RBPlat"));
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  TLayeredImage& doc = shell.Doc->Image();
  const TBitmap& bg = doc.Layers[0].Image;
  ASSERT_EQ(bg.Width(), 110);
  ASSERT_EQ(bg.Height(), 90);
  EXPECT_EQ(bg.GetPixel(0, 0), image.GetPixel(0, 0));
  EXPECT_EQ(bg.GetPixel(105, 85), RGB(77, 77, 77));  // black at 70 % over white
  EXPECT_EQ(bg.GetPixel(105, 5), clWhite);
  EXPECT_EQ(doc.Layers[1].Left, 10);
  shell.Services->UndoCommand(nullptr);

  d = shell.OpenForm("TOmbreExtForm");
  Type(d, "SE3", "99999");
  Click(d, "BOk");
  EXPECT_EQ(doc.Layers[0].Image.Width(), 100 + 10 + 1000);
}

// The inside gradient's mask of nested shapes, built band by band, against the nested
// fills over the whole layer, for an ellipse, a rounded rectangle and a lozenge, one of
// them cut by the layer's edge.
TEST(FrameDialogs, NestedInsideMaskMatchesTheNestedFills) {
  DialogShell shell;
  TSelectionHost& host = shell.Services->LayerHost();
  struct Row {
    TMyShape kind;
    TRect rect;
    int width;
  };
  const Row rows[] = {{ssEllipse, {3, 2, 117, 88}, 20}, {ssRoundRect, {10, 5, 100, 85}, 12},
                      {ssLosange, {-20, 10, 110, 89}, 9}, {ssEllipse, {40, 30, 60, 45}, 3}};
  for (const Row& r : rows) {
    shell.Doc->Selection().SetShape(r.kind);
    shell.Doc->Selection().SetSelectionRect(r.rect);
    shell.Doc->Selection().Show();
    TBitmap full(120, 90, pf24bit, clBlack);
    TRect k = r.rect;
    for (int i = r.width; i >= 0; --i) {
      const int g = ContourGrey(r.width - i, r.width);
      RenderSelectionShapeToMask(host, full, k, RGB(g, g, g), false);
      k = TRect{k.Left + 1, k.Top + 1, k.Right - 1, k.Bottom - 1};
    }
    const TRect cut = IntersectRect(r.rect, TRect{0, 0, 120, 90});
    TBitmap expected(cut.Width(), cut.Height(), pf24bit, clBlack);
    for (int y = 0; y < cut.Height(); ++y)
      for (int x = 0; x < cut.Width(); ++x) expected.FillRect(TRect{x, y, x + 1, y + 1}, full.GetPixel(cut.Left + x, cut.Top + y));
    TBitmap mask(cut.Width(), cut.Height(), pf24bit, RGB(255, 0, 0));
    ProgressiveContourInsideMask(host, mask, cut, r.rect, r.width);
    EXPECT_TRUE(SameBitmaps(mask, expected)) << int(r.kind);
  }
}
