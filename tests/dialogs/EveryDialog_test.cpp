#include <gtest/gtest.h>

#include "DialogTestSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

// Every dialog registered, as the program registers them, but the fade: it opens over
// the step of a change to fade (its own tests take it from the Edit menu).
std::vector<std::string> Registered() {
  std::vector<std::string> names = ProgramDialogs().Names();
  std::erase(names, "TAttenuerForm");
  return names;
}

// What a user does to see a dialog's effect: every slider taken three quarters of the
// way toward its farther end (an end may change nothing: a noise of 1, a tolerance of 0)
// and let go, every spin edit one step up, then Preview where it can be pressed.
void ChangeAndPreview(QWidget* d) {
  for (QSlider* s : d->findChildren<QSlider*>()) {
    const int far = s->maximum() - s->value() >= s->value() - s->minimum() ? s->maximum() : s->minimum();
    s->setValue(s->value() + (far - s->value()) * 3 / 4);
    QTest::mouseRelease(s, Qt::LeftButton);
  }
  for (TSpinEdit2* e : d->findChildren<TSpinEdit2*>()) QTest::keyClick(e, Qt::Key_Up);
  const char* name = ButtonsOf(d).Preview;
  if (auto* preview = Child<QPushButton>(d, name); preview->isVisible() && preview->isEnabled()) Click(d, name);
}

class EveryDialog : public ::testing::TestWithParam<std::string> {};

}  // namespace

// Each registered dialog, from its menu: a previewed one previews, and Cancel gives
// everything back; opened again, previewed, OK keeps one step that undo takes back. A
// command dialog opens and its Cancel leaves the document and its history as they were.
TEST_P(EveryDialog, PreviewCancelAndOkUndo) {
  DialogShell shell;
  const char* name = GetParam().c_str();
  ASSERT_TRUE(RowOf(name)) << name << " has no command";
  shell.PrepareFor(name);
  const uint64_t original = shell.LayerState();
  if (ProgramDialogs().KindOf(name) == TDialogKind::Command) {
    QWidget* d = shell.OpenForm(name);
    ASSERT_TRUE(d) << name;
    Cancel(d);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(shell.LayerState(), original);
    EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
    return;
  }

  QWidget* d = shell.OpenForm(name);
  ASSERT_TRUE(d) << name;
  EXPECT_EQ(d->objectName().toStdString(), name);
  EXPECT_EQ(shell.Services->ShellLock(), d);
  ChangeAndPreview(d);
  EXPECT_NE(shell.LayerState(), original);
  Cancel(d);
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(shell.Services->ShellLock());
  EXPECT_EQ(shell.LayerState(), original);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);

  d = shell.OpenForm(name);
  ASSERT_TRUE(d);
  ChangeAndPreview(d);
  const uint64_t previewed = shell.LayerState();
  Click(d, "BOk");
  EXPECT_EQ(shell.LayerState(), previewed);
  EXPECT_NE(previewed, original);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
  shell.Services->UndoCommand(nullptr);
  EXPECT_EQ(shell.LayerState(), original);
}

// Each registered dialog's table, and the controls bound to it at its first showing.
// A command dialog's controls, and its keys: Esc closes it with nothing changed.
TEST_P(EveryDialog, TableAndControls) {
  DialogShell shell;
  const char* name = GetParam().c_str();
  QWidget* d = shell.OpenForm(name);
  ASSERT_TRUE(d);
  if (ProgramDialogs().KindOf(name) == TDialogKind::Command) {
    const uint64_t original = shell.LayerState();
    CheckCommandControls(d);
    EXPECT_EQ(shell.Services->ShellLock(), d);
    QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key_Escape);
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(shell.Services->ShellLock());
    EXPECT_EQ(shell.LayerState(), original);
    EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
    return;
  }
  CheckTableAndControls(d);
  Cancel(d);
}

INSTANTIATE_TEST_SUITE_P(Registered, EveryDialog, ::testing::ValuesIn(Registered()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });
