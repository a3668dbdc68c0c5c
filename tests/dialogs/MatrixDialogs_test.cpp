// The custom 3 x 3 filter and the rank filters from their menus.
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "pixel/Convolution.h"
#include "pixel/Rank.h"

using namespace qm;
using namespace qm::test;

namespace {

QWidget* OpenFrom(DialogShell& shell, const char* row, const char* dialog) {
  if (!shell.Form->Commands().Trigger(row)) return nullptr;
  QWidget* d = shell.Form->findChild<QWidget*>(dialog);
  return d && d->isVisible() ? d : nullptr;
}

TSpinEdit2* Field(QWidget* d, int i) { return Child<TSpinEdit2>(d, ("SE" + std::to_string(i)).c_str()); }

void Type(TSpinEdit2* e, const char* text) {
  e->setFocus();
  e->selectAll();
  if (*text) QTest::keyClicks(e, text);
  else QTest::keyClick(e, Qt::Key_Backspace);
}

TBitmap Filtered(const TBitmap& b, const TCustomFilterParams& p) {
  TBitmap out = b.Clone(), source = b.Clone();
  CustomFilter(out, source, p, UnboundedRect);
  return out;
}

TBitmap Ranked(const TBitmap& b, TRankMode mode, TRankFilterParams p) {
  TBitmap out = b.Clone(), source = b.Clone();
  RankFilter(out, source, mode, p, UnboundedRect);
  return out;
}

}  // namespace

// "Personnalisé": the default matrix leaves the picture as it is; two previews of a
// sharpen matrix give one; a divisor 0 shows 1 and an emptied field 0 once previewed;
// Enter in a field is OK; the repeat runs the matrix again; Esc is a Cancel.
TEST(MatrixDialogs, CustomFilter) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = shell.OpenForm("TPersoForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Personnalisé");
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Field(d, i)->text().toStdString(), i == 4 || i == 9 ? "1" : "0") << i;
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));

  for (int i = 0; i < 9; ++i) Type(Field(d, i), i == 4 ? "9" : "-1");
  Type(Field(d, 9), "0");
  Click(d, "BApercu");
  Click(d, "BApercu");
  TCustomFilterParams sharpen{-1, -1, -1, -1, 9, -1, -1, -1, -1, 1};
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Filtered(original, sharpen)));
  EXPECT_EQ(Field(d, 9)->text().toStdString(), "1");
  EXPECT_EQ(Field(d, 9)->selectedText().toStdString(), "1");

  Type(Field(d, 0), "");
  EXPECT_TRUE(Field(d, 0)->text().isEmpty());
  Click(d, "BApercu");
  EXPECT_EQ(Field(d, 0)->text().toStdString(), "0");
  sharpen.M0 = 0;
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Filtered(original, sharpen)));

  Type(Field(d, 8), "-2");
  QTest::keyClick(Field(d, 8), Qt::Key_Return);
  EXPECT_FALSE(d->isVisible());
  sharpen.M8 = -2;
  const TBitmap once = Filtered(original, sharpen);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), once));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 1);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Personnalisé");
  shell.Services->Operations().RepeatLastCommand();
  const TBitmap twice = Filtered(once, sharpen);
  EXPECT_TRUE(SameBitmaps(shell.Layer(), twice));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);

  d = shell.OpenForm("TPersoForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Field(d, 8)->text().toStdString(), "-2");  // the matrix keeps its values
  Type(Field(d, 4), "3");
  Click(d, "BApercu");
  EXPECT_FALSE(SameBitmaps(shell.Layer(), twice));
  QTest::keyClick(Field(d, 4), Qt::Key_Escape);
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(SameBitmaps(shell.Layer(), twice));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 2);
}

// One dialog for three commands: each names it and its step; radius and threshold
// start again at "Faible" and 0 at each showing; the repeat runs the last mode again
// with the same values, under its caption.
TEST(MatrixDialogs, RankFiltersByTheirCommands) {
  DialogShell shell;
  const TBitmap original = shell.Layer().Clone();
  QWidget* d = OpenFrom(shell, "MenuFiltreMinimum", "TMinMaxMedForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Minimum");
  EXPECT_EQ(Child<QGroupBox>(d, "RadioGroup")->title().toStdString(), " Rayon ");
  EXPECT_EQ(Child<QRadioButton>(d, "RBEleve")->text().toStdString(), "Elevé");
  ClickRadio(Child<QRadioButton>(d, "RBMoyen"));
  Key(Slider(d, "TBSeuil"), Qt::Key_PageUp, 4);
  EXPECT_EQ(LabelText(d, "LblSeuil"), "Seuil : 40");
  Click(d, "BOk");
  const TBitmap minimum = Ranked(original, rkMinimum, {1, 40});
  EXPECT_TRUE(SameBitmaps(shell.Layer(), minimum));
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Minimum");

  d = OpenFrom(shell, "MenuFiltreMaximum", "TMinMaxMedForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Maximum");
  EXPECT_TRUE(Child<QRadioButton>(d, "RBFaible")->isChecked());
  EXPECT_EQ(Slider(d, "TBSeuil")->value(), 0);
  EXPECT_EQ(LabelText(d, "LblSeuil"), "Seuil : 0");
  ClickRadio(Child<QRadioButton>(d, "RBEleve"));
  Key(Slider(d, "TBSeuil"), Qt::Key_Right, 5);
  Click(d, "BApercu");
  Click(d, "BOk");
  const TBitmap maximum = Ranked(minimum, rkMaximum, {2, 5});
  EXPECT_TRUE(SameBitmaps(shell.Layer(), maximum));
  EXPECT_EQ(shell.Services->Operations().RepeatCaption(), "Répéter Maximum");
  shell.Services->Operations().RepeatLastCommand();
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Ranked(maximum, rkMaximum, {2, 5})));
  ASSERT_EQ(shell.History().GetUndoStepCount(), 3);
  EXPECT_EQ(shell.History().GetCurrentUndoStep()->Name, "Maximum");

  d = OpenFrom(shell, "MenuFiltreAntipoussiere", "TMinMaxMedForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->windowTitle().toStdString(), "Antipoussière");
  const TBitmap before = shell.Layer().Clone();
  Click(d, "BApercu");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), Ranked(before, rkMedian, {0, 0})));
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), before));
}
