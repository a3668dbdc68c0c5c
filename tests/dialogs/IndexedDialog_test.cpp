// "Couleurs indexées" from its command, as a user meets it: the refusals, the
// transparency dropped and given back, the conversion by the recorded colour count.
#include <gtest/gtest.h>

#include <QTabWidget>

#include "DialogTestSupport.h"
#include "document/LayerOps.h"
#include "pixel/ColorReduce.h"

using namespace qm;
using namespace qm::test;

namespace {

// From the Image menu, or from the tool button (which a picture of few colours still
// reaches).
QWidget* OpenIndexed(DialogShell& shell, const char* command = "MenuModeIndex") {
  if (!shell.Form->Commands().Trigger(command)) return nullptr;
  QWidget* d = shell.Form->findChild<QWidget*>("TIndexForm");
  return d && d->isVisible() ? d : nullptr;
}

}  // namespace

// Two layers: the message and no step. A transparent background: "Non" stops with no
// step; "Oui" shows it opaque at once, and a Cancel without a preview gives the
// transparency back with no step; "Oui" then OK converts and leaves it opaque.
TEST(IndexedDialog, RefusalsAndTheTransparency) {
  DialogShell shell;
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(40, 30, 5), TBitmap(), TPoint{10, 10});
  const int steps = shell.History().GetUndoStepCount();
  EXPECT_FALSE(OpenIndexed(shell));
  EXPECT_EQ(shell.Messages.back(), Tr(TextId::GetTrDlgLayer1));
  EXPECT_EQ(shell.History().GetUndoStepCount(), steps);

  shell.Doc = shell.Open("/photos/transparente.png", 90, 60, 8);
  TBitmap& bg = shell.Doc->Image().Layers[0].Image;
  bg.Transparent = true;
  const TBitmap original = bg.Clone();
  shell.Answer = [](const std::string&, int) { return int(mrNo); };
  EXPECT_FALSE(OpenIndexed(shell));
  EXPECT_EQ(shell.Messages.back(), Tr(TextId::GetTrDlgMain13));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_TRUE(bg.Transparent);

  shell.Answer = [](const std::string&, int) { return int(mrYes); };
  QWidget* d = OpenIndexed(shell);
  ASSERT_TRUE(d);
  EXPECT_FALSE(bg.Transparent);  // shown opaque at once
  Click(d, "BAnnuler");
  EXPECT_TRUE(bg.Transparent);
  EXPECT_TRUE(SameBitmaps(bg, original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  d = OpenIndexed(shell);
  ASSERT_TRUE(d);
  Click(d, "BApercu");  // a second preview puts the step back first, its transparency too
  Click(d, "BOk");
  EXPECT_FALSE(bg.Transparent);
  TBitmap expected = original.Clone();
  ReduceToIndexedColors(expected, DefaultParams<TIndexedColorParams>());
  expected.Transparent = false;
  EXPECT_TRUE(SameBitmaps(bg, expected));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Couleurs indexées");
  EXPECT_EQ(shell.Doc->Image().ColorCount, 256);
  EXPECT_EQ(shell.Services->StatusPanel(spImageSize)->text().toStdString(), "90x60x256");
  shell.Services->UndoCommand(nullptr);
  EXPECT_TRUE(bg.Transparent);
  EXPECT_EQ(shell.Doc->Image().ColorCount, 16777216);
}

// A picture recorded with few colours (its tool button reaches the dialog, the menu
// item is for true colour) is left as it is by a larger optimised choice, yet OK records
// that choice's count; a system palette converts whatever is recorded;
// the whole background converts, the selection notwithstanding.
TEST(IndexedDialog, ConvertsByTheRecordedCount) {
  DialogShell shell;
  TBitmap sixteen(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) sixteen.SetPixel(x, y, RGB(17 * ((x + y) % 16), 40, 200));
  shell.Doc = shell.Services->CreateImageWindow(&sixteen, nullptr, 16, true, "");
  shell.Form->UpdateCommandStates();
  TBitmap& bg = shell.Doc->Image().Layers[0].Image;

  EXPECT_FALSE(shell.Form->Commands().IsEnabled("MenuModeIndex"));
  QWidget* d = OpenIndexed(shell, "BtnIndex");
  ASSERT_TRUE(d);
  auto* pages = Child<QTabWidget>(d, "PageControl");
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(pages->tabText(0).toStdString(), "Optimisé");
  EXPECT_EQ(pages->tabText(1).toStdString(), "Système");
  EXPECT_TRUE(Child<QRadioButton>(d, "RBColor256")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(d, "CBDiffusion")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(d, "RBWeb216")->isChecked());
  ClickRadio(Child<QRadioButton>(d, "RBColor32"));
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(bg, sixteen));
  Click(d, "BOk");
  EXPECT_TRUE(SameBitmaps(bg, sixteen));
  EXPECT_EQ(shell.Doc->Image().ColorCount, 32);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);

  // "Gris 4 couleurs" on the whole picture, inside an elliptical selection too.
  shell.SelectEllipse(TRect{10, 10, 40, 30});
  d = OpenIndexed(shell, "BtnIndex");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QRadioButton>(d, "RBColor32")->isChecked());  // kept from the last showing
  pages = Child<QTabWidget>(d, "PageControl");
  pages->setCurrentIndex(1);
  ClickRadio(Child<QRadioButton>(d, "RBGray4"));
  Click(d, "BOk");
  TBitmap expected = sixteen.Clone();
  ReduceBitmapColors(expected, 4, rcDither | rcWindowsGray);
  EXPECT_TRUE(SameBitmaps(bg, expected));
  EXPECT_EQ(shell.Doc->Image().ColorCount, 4);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
  EXPECT_FALSE(shell.Services->Operations().HasRepeatableCommand());
}
