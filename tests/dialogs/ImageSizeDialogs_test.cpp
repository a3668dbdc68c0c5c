// The size, canvas, fit and new-image dialogs as a user drives them in the real editor:
// from their menu rows, fields typed, lists chosen, OK and undo.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "document/LayerOps.h"
#include "document/Resample.h"
#include "document/Undo.h"
#include "pixel/ColorReduce.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/Prefs.h"

using namespace qm;
using namespace qm::test;

namespace {

double Value(QWidget* d, const char* field) { return Child<TFloatSpinEdit>(d, field)->Value(); }

TLayerItem& LayerAt(TNewImgForm* doc, int i) { return doc->Image().Layers[i]; }

const TUndoLayerItem* Step(TNewImgForm* doc) { return doc->History().GetCurrentUndoStep(); }

// A mask of the layer's size with a hidden block, so that a resize shows in it.
void GiveMask(TLayerItem& layer) {
  layer.CreateDefaultMask();
  layer.Mask.FillRect(TRect{0, 0, layer.Mask.Width() / 2, layer.Mask.Height() / 3}, clWhite);
}

}  // namespace

// 50 % of 300 x 200 with the proportions kept is 150 x 100; "+" and "-" reach no field;
// switching the unit keeps the pixels; the filter chosen is the resampler's.
TEST(ImageSizeDialog, PercentKeepsTheRatio) {
  DialogShell shell;
  TNewImgForm* doc = shell.Open("", 300, 200, 5);
  const TBitmap original = LayerAt(doc, 0).Image.Clone();
  QWidget* d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isModal());
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "300");
  EXPECT_EQ(FieldText(d, "EdiMem"), FormatImageMemory(300, 200));
  EXPECT_EQ(Value(d, "EdiL"), 300);
  EXPECT_TRUE(Child<QCheckBox>(d, "CBProportions")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(d, "CBTous")->isEnabled());

  Choose(d, "CmbUnit", 1);
  EXPECT_EQ(Value(d, "EdiL"), 100);
  Type(d, "EdiL", "50");
  EXPECT_EQ(Value(d, "EdiH"), 50);
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "150");
  EXPECT_EQ(FieldText(d, "EdiHauteur"), "100");
  EXPECT_EQ(FieldText(d, "EdiMem"), FormatImageMemory(150, 100));
  const int beeps = shell.Beeps;
  QTest::keyClick(Child<QLineEdit>(d, "EdiL"), '+');
  QTest::keyClick(Child<QLineEdit>(d, "EdiL"), '-');
  EXPECT_EQ(Value(d, "EdiL"), 50);
  EXPECT_EQ(shell.Beeps, beeps + 2);  // "A" refused twice
  Choose(d, "CmbUnit", 3);
  Choose(d, "CmbUnit", 0);
  EXPECT_EQ(Value(d, "EdiL"), 150);
  EXPECT_EQ(Value(d, "EdiH"), 100);

  Choose(d, "CBFiltres", 6);  // Lanczos
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  TBitmap want;
  ASSERT_TRUE(Resample(original, 150, 100, TResampleFilter::Lanczos, want));
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, want));
  ASSERT_EQ(doc->History().GetUndoStepCount(), 1);
  EXPECT_EQ(Step(doc)->Name, "Taille de l'image");
  EXPECT_EQ(GetUndoStepParam(*Step(doc), upKind), ukWholeImage);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, original));
}

// The same size changes only the resolution, in a step of its own; a resolution typed
// as 0 is read through its range (10); an empty field refuses OK; at a physical unit a
// new resolution changes the pixels.
TEST(ImageSizeDialog, ResolutionAndRefusals) {
  DialogShell shell;
  TNewImgForm* doc = shell.Doc;
  const uint64_t pixels = Checksum(shell.Layer());
  QWidget* d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Value(d, "EdiRes"), 72);
  Type(d, "EdiL", "");
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(doc->History().GetUndoStepCount(), 0);
  Type(d, "EdiL", "120");

  Choose(d, "CmbUnit", 2);  // cm: the fields keep their values, the pixels follow
  Type(d, "EdiRes", "144");
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "240");
  EXPECT_EQ(FieldText(d, "EdiHauteur"), "180");
  Choose(d, "CmbUnit", 0);
  Type(d, "EdiL", "120");
  Type(d, "EdiRes", "0");
  QTest::keyClick(Child<QLineEdit>(d, "EdiRes"), Qt::Key_Return);  // Enter is OK, the field unconfirmed
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(doc->Image().ResolutionX, 10);
  EXPECT_EQ(doc->Image().ResolutionY, 72);
  EXPECT_EQ(Checksum(shell.Layer()), pixels);
  ASSERT_EQ(doc->History().GetUndoStepCount(), 1);
  EXPECT_EQ(GetUndoStepParam(*Step(doc), upKind), ukImageRect);
  shell.Services->UndoCommand(nullptr);
  EXPECT_EQ(doc->Image().ResolutionX, 72);

  // Esc closes without a change
  d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  QTest::keyClick(Child<QLineEdit>(d, "EdiL"), Qt::Key_Escape);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(shell.Services->ShellLock(), nullptr);
}

// "Tous les calques" scales the other layers with their places; the mask resized is the
// background's (an alpha background under a layer of its own mask); undo takes all back.
TEST(ImageSizeDialog, AllLayersAndTheBackgroundsMask) {
  DialogShell shell;
  TNewImgForm* doc = shell.Doc;  // 120 x 90
  GiveMask(LayerAt(doc, 0));
  shell.AddLayer(40);  // 30 x 20 at (10, 10), active
  GiveMask(LayerAt(doc, 1));
  const TBitmap image = LayerAt(doc, 0).Image.Clone(), mask = LayerAt(doc, 0).Mask.Clone();
  const TBitmap upperMask = LayerAt(doc, 1).Mask.Clone();
  const int steps = doc->History().GetUndoStepCount();
  QWidget* d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QCheckBox>(d, "CBTous")->isChecked());
  Type(d, "EdiL", "60");
  EXPECT_EQ(Value(d, "EdiH"), 45);
  Choose(d, "CBFiltres", 1);  // "Au plus proche"
  Click(d, "BOk");
  TBitmap want;
  StretchBitmapTo(60, 45, image, want);
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, want));
  StretchBitmapTo(60, 45, mask, want);
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Mask, want));
  const TLayerItem& upper = LayerAt(doc, 1);
  EXPECT_EQ(upper.Image.Width(), 15);
  EXPECT_EQ(upper.Image.Height(), 10);
  EXPECT_EQ(upper.Mask.Width(), 15);
  EXPECT_EQ(upper.Left, 5);
  EXPECT_EQ(upper.Top, 5);
  EXPECT_EQ(doc->History().GetUndoStepCount(), steps + 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, image));
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Mask, mask));
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 1).Mask, upperMask));
  EXPECT_EQ(LayerAt(doc, 1).Left, 10);
  EXPECT_EQ(LayerAt(doc, 1).Image.Width(), 30);
}

// A palette document resampled with a filter keeps its colour count.
TEST(ImageSizeDialog, APaletteImageKeepsItsCount) {
  DialogShell shell;
  TBitmap picture = RandomBitmap(80, 60, 8);
  ReduceBitmapColors(picture, 16, 0);
  TNewImgForm* doc = shell.Services->CreateImageWindow(&picture, nullptr, 16, true, "");
  shell.Form->UpdateCommandStates();
  QWidget* d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  Type(d, "EdiL", "200");
  Click(d, "BOk");
  EXPECT_EQ(LayerAt(doc, 0).Image.Width(), 200);
  EXPECT_LE(CountBitmapColors(LayerAt(doc, 0).Image), 16);
}

// The image unit of the preferences: the unit dialogs are made again in it.
TEST(ImageSizeDialog, FreedWhenTheImageUnitChanges) {
  DialogShell shell;
  QWidget* d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<QComboBox>(d, "CmbUnit")->currentIndex(), 0);
  Click(d, "BAnnuler");
  TPrefForm* prefs = shell.Form->Preferences();
  prefs->LoadControls();
  prefs->LstUnit->setCurrentIndex(1);
  emit prefs->LstUnit->activated(1);
  prefs->BOkClick();
  d = shell.OpenForm("TRedimForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<QComboBox>(d, "CmbUnit")->currentIndex(), 2);  // cm
  EXPECT_NEAR(Value(d, "EdiL"), 120 / 72.0 * 2.54, 0.005);
  Click(d, "BAnnuler");
}

// Canvas 100 x 100 to 120 x 90 centred: the image lands at (10, -5), the layers move
// with it and the step keeps the move; undo moves them back. The mask resized is the
// background's, hidden where the image was not.
TEST(CanvasDialog, CentredCanvasMovesTheLayers) {
  DialogShell shell;
  TNewImgForm* doc = shell.Open("", 100, 100, 6);
  GiveMask(LayerAt(doc, 0));
  shell.AddLayer(80);  // at (10, 10)
  GiveMask(LayerAt(doc, 1));
  const TBitmap image = LayerAt(doc, 0).Image.Clone(), upperMask = LayerAt(doc, 1).Mask.Clone();
  QWidget* d = shell.OpenForm("TRecadrerForm");
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->isModal());
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), d);
  EXPECT_TRUE(Child<QToolButton>(d, "TB4")->isChecked());
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), clWhite);  // an alpha background
  EXPECT_FALSE(Child<QCheckBox>(d, "CBMotif")->isEnabled());
  Type(d, "EdiL", "120");
  Type(d, "EdiH", "90");
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "120");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(shell.Services->GetActiveToolDialog(), nullptr);
  const TLayerItem& bg = LayerAt(doc, 0);
  ASSERT_EQ(bg.Image.Width(), 120);
  ASSERT_EQ(bg.Image.Height(), 90);
  EXPECT_EQ(bg.Image.GetPixel(10, 0), image.GetPixel(0, 5));
  EXPECT_EQ(bg.Image.GetPixel(109, 89), image.GetPixel(99, 94));
  EXPECT_EQ(bg.Image.GetPixel(5, 40), clWhite);
  ASSERT_EQ(bg.Mask.Width(), 120);
  EXPECT_EQ(bg.Mask.GetPixel(5, 40), clWhite);   // hidden beside the image
  EXPECT_EQ(bg.Mask.GetPixel(60, 50), clBlack);  // shown where it landed
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 1).Mask, upperMask));
  EXPECT_EQ(LayerAt(doc, 1).Left, 20);
  EXPECT_EQ(LayerAt(doc, 1).Top, 5);
  EXPECT_EQ(GetUndoStepParam(*Step(doc), upOffsetX), 10);
  EXPECT_EQ(GetUndoStepParam(*Step(doc), upOffsetY), -5);
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, image));
  EXPECT_EQ(LayerAt(doc, 1).Left, 10);
  EXPECT_EQ(LayerAt(doc, 1).Top, 10);
  shell.Services->RedoCommand(nullptr);
  EXPECT_EQ(LayerAt(doc, 1).Left, 20);
}

// A colour picked on the image becomes the canvas colour; a pattern chosen in the
// patterns folder tiles the new canvas from (0, 0); one that does not load refuses
// before any step.
TEST(CanvasDialog, PickedColourAndPattern) {
  DialogShell shell;
  TNewImgForm* doc = shell.Open("", 40, 30, 2);
  const TBitmap image = LayerAt(doc, 0).Image.Clone();
  TBitmap tile(3, 2);
  for (int i = 0; i < 6; ++i) tile.SetPixel(i % 3, i / 3, RGB(40 * i, 200, 255 - 30 * i));
  const std::string patternFile = UserFolder(TUserFolder::Patterns) + "/tuile.png";
  WritePicture(patternFile, tile);

  QWidget* d = shell.OpenForm("TRecadrerForm");
  ASSERT_TRUE(d);
  shell.Services->ActiveToolDialog()->ColorPicked(RGB(1, 2, 3));
  EXPECT_EQ(Child<TColorEdit>(d, "ColorEdit")->Color(), RGB(1, 2, 3));
  Child<QCheckBox>(d, "CBMotif")->setChecked(true);
  Click(d, "BOk");  // checked without a file
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  Child<QLineEdit>(d, "EdiMotif")->setText(QString::fromStdString(shell.Home.File("absent.png")));
  Type(d, "EdiL", "60");
  Click(d, "BOk");
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(doc->History().GetUndoStepCount(), 0);
  EXPECT_EQ(LayerAt(doc, 0).Image.Width(), 40);

  std::string shownFolder;
  WhenModal([&](QWidget* w) {
    auto* files = qobject_cast<QFileDialog*>(w);
    ASSERT_TRUE(files);
    shownFolder = files->directory().absolutePath().toStdString();
    files->selectFile(QString::fromStdString(patternFile));
    QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
  });
  QTest::mouseClick(Child<QToolButton>(d, "SBMotif"), Qt::LeftButton);
  EXPECT_EQ(shownFolder, UserFolder(TUserFolder::Patterns));
  EXPECT_EQ(FieldText(d, "EdiMotif"), patternFile);
  QTest::mouseClick(Child<QToolButton>(d, "TB0"), Qt::LeftButton);
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  const TBitmap& bg = LayerAt(doc, 0).Image;
  ASSERT_EQ(bg.Width(), 60);
  EXPECT_EQ(bg.GetPixel(0, 0), image.GetPixel(0, 0));
  for (int x = 40; x < 60; ++x) EXPECT_EQ(bg.GetPixel(x, 1), tile.GetPixel(x % 3, 1)) << x;
  EXPECT_EQ(doc->History().GetUndoStepCount(), 1);
  EXPECT_EQ(GetUndoStepParam(*Step(doc), upOffsetX), 0);
}

// Fitting 1000 x 500 in the [FitImage] limits; the presets; a typed limit read through
// its range; deformation.
TEST(FitDialog, LimitsPresetsAndDeformation) {
  DialogShell shell(&ProgramDialogs(), "[FitImage]\nWidth=700\nHeight=abc\nDeform=0\n");
  TNewImgForm* doc = shell.Open("", 1000, 500, 4);
  const TBitmap original = LayerAt(doc, 0).Image.Clone();
  QWidget* d = shell.OpenForm("TAdapterForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<TSpinEdit2>(d, "EdiL")->Value(), 700);
  EXPECT_EQ(Child<TSpinEdit2>(d, "EdiH")->Value(), 600);  // unreadable: kept
  EXPECT_TRUE(Child<QCheckBox>(d, "CBOptimiser")->isChecked());
  Click(d, "BOk");
  TBitmap want;
  ASSERT_TRUE(Resample(original, 700, 350, TResampleFilter::Lanczos, want));
  EXPECT_TRUE(SameBitmaps(LayerAt(doc, 0).Image, want));

  d = shell.OpenForm("TAdapterForm");
  ASSERT_TRUE(d);
  Choose(d, "LstTaille", 3);  // "800 x 600"
  EXPECT_EQ(Child<TSpinEdit2>(d, "EdiL")->Value(), 800);
  EXPECT_EQ(Child<TSpinEdit2>(d, "EdiH")->Value(), 600);
  EXPECT_EQ(Child<QComboBox>(d, "LstTaille")->currentIndex(), 3);
  Type(d, "EdiL", "99999");
  EXPECT_EQ(Child<QComboBox>(d, "LstTaille")->currentIndex(), 0);
  QTest::keyClick(Child<QLineEdit>(d, "EdiL"), Qt::Key_Enter);  // 10000 wide at most
  EXPECT_EQ(LayerAt(doc, 0).Image.Width(), 1200);
  EXPECT_EQ(LayerAt(doc, 0).Image.Height(), 600);

  d = shell.OpenForm("TAdapterForm");
  ASSERT_TRUE(d);
  Type(d, "EdiL", "800");
  Child<QCheckBox>(d, "CBDeformer")->setChecked(true);
  Child<QCheckBox>(d, "CBOptimiser")->setChecked(false);
  Click(d, "BOk");
  EXPECT_EQ(LayerAt(doc, 0).Image.Width(), 800);
  EXPECT_EQ(LayerAt(doc, 0).Image.Height(), 600);
  EXPECT_EQ(doc->History().GetUndoStepCount(), 3);
}

// The first showing: 800 x 600 pixels at 72; a preset in centimetres at 300 pixels per
// inch; a typed size; a new document of the size, resolution, colour and pattern; a
// size that rounds to nothing is one pixel.
TEST(NewImageDialog, PresetsAndTheNewDocument) {
  DialogShell shell;
  TBitmap tile(4, 4);
  for (int i = 0; i < 16; ++i) tile.SetPixel(i % 4, i / 4, RGB(16 * i, 90, 200));
  const std::string patternFile = shell.Home.File("motif.png");
  WritePicture(patternFile, tile);
  const size_t windows = shell.Services->Windows().Windows().size();
  QWidget* d = shell.OpenForm("TNewForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isModal());
  EXPECT_EQ(Value(d, "EdiL"), 800);
  EXPECT_EQ(Value(d, "EdiH"), 600);
  EXPECT_EQ(Value(d, "EdiRes"), 72);
  EXPECT_EQ(FieldText(d, "EdiMem"), FormatImageMemory(800, 600));
  EXPECT_EQ(Child<QComboBox>(d, "LstTaille")->currentIndex(), 2);

  Choose(d, "LstTaille", 12);  // "Carte postale"
  EXPECT_EQ(Child<QComboBox>(d, "CmbUnit")->currentIndex(), 1);
  EXPECT_EQ(Value(d, "EdiL"), 14.8);
  EXPECT_EQ(Value(d, "EdiRes"), 300);
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "1748");
  EXPECT_EQ(FieldText(d, "EdiHauteur"), "1287");
  Type(d, "EdiL", "2");
  EXPECT_EQ(Child<QComboBox>(d, "LstTaille")->currentIndex(), 0);
  EXPECT_EQ(FieldText(d, "EdiLargeur"), "236");
  Child<QCheckBox>(d, "CBMotif")->setChecked(true);
  Child<QLineEdit>(d, "EdiMotif")->setText(QString::fromStdString(patternFile));
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  ASSERT_EQ(shell.Services->Windows().Windows().size(), windows + 1);
  TNewImgForm* made = shell.Services->GetActiveImgForm();
  const TBitmap& bmp = LayerAt(made, 0).Image;
  EXPECT_EQ(bmp.Width(), 236);
  EXPECT_EQ(bmp.Height(), 1287);
  EXPECT_EQ(made->Image().ResolutionX, 300);
  EXPECT_EQ(made->History().GetUndoStepCount(), 0);
  for (int y : {0, 5, 1286})
    for (int x : {0, 3, 7, 235}) EXPECT_EQ(bmp.GetPixel(x, y), tile.GetPixel(x % 4, y % 4)) << x << "," << y;

  // the choices stay; a size that rounds to 0 pixels is made 1 pixel
  d = shell.OpenForm("TNewForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Value(d, "EdiL"), 2);
  Child<QCheckBox>(d, "CBMotif")->setChecked(false);
  Type(d, "EdiL", "0.001");
  Click(d, "BOk");
  EXPECT_EQ(LayerAt(shell.Services->GetActiveImgForm(), 0).Image.Width(), 1);
}
