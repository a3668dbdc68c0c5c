#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QTest>

#include "platform/texts/Format.h"
#include "controls/Beep.h"
#include "controls/SpinEdit.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

// Counts the beeps of the test and restores the defaults afterwards.
struct ControlsGuard {
  int Beeps = 0;
  ControlsGuard() {
    test::App();
    SetBeepHandler([this] { ++Beeps; });
  }
  ~ControlsGuard() {
    SetBeepHandler({});
    FormatSettings() = TFormatSettings{};
  }
};

void Leave(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

void ClickHalf(TSpinEditBase& edit, TUDBtnType half) {
  TUpDown* b = edit.Button();
  QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->HalfRect(half).center());
}

}  // namespace

TEST(SpinEdit, CreationDefaults) {
  ControlsGuard guard;
  TSpinEdit2 i;
  EXPECT_EQ(i.text(), "0");
  EXPECT_EQ(i.width(), 65);
  EXPECT_EQ(i.Increment(), 1);
  EXPECT_TRUE(i.EditorEnabled());
  EXPECT_TRUE(i.ShowUpDown());
  EXPECT_GE(i.height(), i.fontMetrics().height() + 8);
  i.resize(65, 2);
  EXPECT_GE(i.height(), i.fontMetrics().height() + 8);  // never below one line
  TFloatSpinEdit f;
  EXPECT_EQ(f.text(), "0.00");
  EXPECT_EQ(f.Format(), "0.00");
  FormatSettings().DecimalSeparator = ",";
  TFloatSpinEdit fr;
  EXPECT_EQ(fr.text(), "0,00");
}

TEST(SpinEdit, ReadingAndClampedWriting) {
  ControlsGuard guard;
  TSpinEdit2 e;
  // MinValue = MaxValue lets any value through.
  e.SetValue(12345);
  EXPECT_EQ(e.text(), "12345");
  e.SetValue(-7);
  EXPECT_EQ(e.Value(), -7);
  e.SetMinValue(0);
  e.SetMaxValue(100);
  e.SetValue(150);
  EXPECT_EQ(e.text(), "100");
  e.SetValue(-3);
  EXPECT_EQ(e.text(), "0");
  // Reading does not clamp; unreadable text reads as MinValue.
  e.setText("250");
  EXPECT_EQ(e.Value(), 250);
  e.SetMinValue(5);
  e.setText("abc");
  EXPECT_EQ(e.Value(), 5);
  int changes = 0;
  e.OnChange = [&] { ++changes; };
  e.SetValue(42);
  EXPECT_EQ(changes, 1);
}

TEST(SpinEdit, LeavingTheFieldRewritesBadText) {
  ControlsGuard guard;
  TSpinEdit2 e;
  e.SetMinValue(1);
  e.SetMaxValue(10);
  e.setText("abc");
  Leave(&e);
  EXPECT_EQ(e.text(), "1");
  e.setText("99");
  Leave(&e);
  EXPECT_EQ(e.text(), "10");
  e.setText("007");  // a readable value within range is left as typed
  Leave(&e);
  EXPECT_EQ(e.text(), "007");
  e.setText("");  // an empty field stays empty for the dialog to refuse
  Leave(&e);
  EXPECT_EQ(e.text(), "");

  TFloatSpinEdit f;
  f.SetMinValue(0);
  f.SetMaxValue(5);
  f.setText("2.5");
  Leave(&f);
  EXPECT_EQ(f.text(), "2.50");
  f.setText("x");
  Leave(&f);
  EXPECT_EQ(f.text(), "0.00");
  f.setText("");
  Leave(&f);
  EXPECT_EQ(f.text(), "");
}

TEST(SpinEdit, UpAndDown) {
  ControlsGuard guard;
  TSpinEdit2 e;
  e.SetMinValue(0);
  e.SetMaxValue(100);
  e.SetIncrement(5);
  e.SetValue(90);
  QTest::keyClick(&e, Qt::Key_Up);
  EXPECT_EQ(e.Value(), 95);
  ClickHalf(e, btNext);
  EXPECT_EQ(e.Value(), 100);
  ClickHalf(e, btNext);  // at the maximum it stays
  EXPECT_EQ(e.Value(), 100);
  ClickHalf(e, btPrev);
  QTest::keyClick(&e, Qt::Key_Down);
  EXPECT_EQ(e.Value(), 90);
  EXPECT_EQ(guard.Beeps, 0);

  e.setReadOnly(true);
  QTest::keyClick(&e, Qt::Key_Up);
  ClickHalf(e, btPrev);
  EXPECT_EQ(e.Value(), 90);
  EXPECT_EQ(guard.Beeps, 2);

  // Without limits the value saturates instead of overflowing.
  TSpinEdit2 big;
  big.SetValue(INT32_MAX);
  big.SetIncrement(10);
  big.UpClick();
  EXPECT_EQ(big.Value(), INT32_MAX);

  TFloatSpinEdit f;
  f.SetMinValue(0);
  f.SetMaxValue(1);
  f.SetIncrement(0.25);
  f.SetValue(0.5);
  QTest::keyClick(&f, Qt::Key_Up);
  EXPECT_EQ(f.text(), "0.75");
  f.UpClick();
  f.UpClick();
  EXPECT_EQ(f.text(), "1.00");
  ClickHalf(f, btPrev);
  EXPECT_EQ(f.Value(), 0.75);
}

TEST(SpinEdit, IntegerKeyFilter) {
  ControlsGuard guard;
  TSpinEdit2 e;
  e.clear();
  QTest::keyClicks(&e, "-12a3+x");
  EXPECT_EQ(e.text(), "-123+");
  EXPECT_EQ(guard.Beeps, 2);
  QTest::keyClick(&e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "-123");
  QTest::keyClick(&e, Qt::Key_Return);  // goes on to the dialog, no beep
  EXPECT_EQ(guard.Beeps, 2);

  e.SetEditorEnabled(false);
  QTest::keyClicks(&e, "4");
  QTest::keyClick(&e, Qt::Key_Backspace);
  QTest::keyClick(&e, Qt::Key_Delete);
  EXPECT_EQ(e.text(), "-123");
  EXPECT_EQ(guard.Beeps, 4);
  QApplication::clipboard()->setText("77");
  e.selectAll();
  QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
  QTest::keyClick(&e, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "-123");
  QTest::keyClick(&e, Qt::Key_Up);  // the arrows still work
  EXPECT_EQ(e.text(), "-122");
  e.SetEditorEnabled(true);
  e.selectAll();
  QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "77");
}

TEST(SpinEdit, FloatKeyFilter) {
  ControlsGuard guard;
  FormatSettings().DecimalSeparator = ",";
  TFloatSpinEdit f;
  f.clear();
  QTest::keyClicks(&f, "1.5");  // "." types the separator
  EXPECT_EQ(f.text(), "1,5");
  QTest::keyClicks(&f, ",.");  // only one separator
  EXPECT_EQ(f.text(), "1,5");
  EXPECT_EQ(guard.Beeps, 2);
  EXPECT_EQ(f.Value(), 1.5);
  f.SetValue(2.25);
  EXPECT_EQ(f.text(), "2,25");

  // A picture without decimals refuses the separator.
  f.SetFormat("0");
  EXPECT_EQ(f.text(), "2");
  f.clear();
  QTest::keyClicks(&f, "3.");
  EXPECT_EQ(f.text(), "3");
  EXPECT_EQ(guard.Beeps, 3);
  f.SetFormat("");
  EXPECT_EQ(f.Format(), "0.00");
  EXPECT_EQ(f.text(), "3,00");

  f.setReadOnly(true);
  EXPECT_FALSE(f.IsValidChar('-'));
  EXPECT_TRUE(f.IsValidChar('7'));
  f.setReadOnly(false);
  f.SetEditorEnabled(false);
  EXPECT_FALSE(f.IsValidChar('7'));
  EXPECT_FALSE(f.IsValidChar('\b'));
  EXPECT_TRUE(f.IsValidChar(QChar(1)));
}

TEST(SpinEdit, TheButtonFollowsTheEdit) {
  ControlsGuard guard;
  TSpinEdit2 e;
  e.SetShowUpDown(false);
  EXPECT_TRUE(e.Button()->isHidden());
  EXPECT_EQ(e.textMargins().right(), 0);
  e.SetShowUpDown(true);
  EXPECT_FALSE(e.Button()->isHidden());
  EXPECT_EQ(e.textMargins().right(), 14);
  EXPECT_EQ(e.Button()->width(), 13);
  EXPECT_LE(e.Button()->geometry().right(), e.width() - 1);
  e.setEnabled(false);
  EXPECT_FALSE(e.Button()->isEnabled());
}
