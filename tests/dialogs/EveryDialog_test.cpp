#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "DialogTestSupport.h"
#include "document/qt/Clipboard.h"
#include "pixel/ImgUtils.h"
#include "document/LayerOps.h"

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

// The same; a dialog that refuses those values for the picture's size (and says so)
// takes its sliders' lower ends instead.
void ChangeAndPreview(DialogShell& shell, QWidget* d) {
  shell.Messages.clear();
  ChangeAndPreview(d);
  if (!shell.Said(TextId::GetTrDldGlb2)) return;
  for (QSlider* s : d->findChildren<QSlider*>()) {
    s->setValue(s->minimum());
    QTest::mouseRelease(s, Qt::LeftButton);
  }
  Click(d, ButtonsOf(d).Preview);
}

// What a command needs to open besides the document: a picture on the clipboard for
// the ones that read it, a selection (over the whole picture) for the ones that work
// on one.
void MakeOpenable(DialogShell& shell, const std::string& name) {
  const TBitmap picture(20, 10, pf24bit, RGB(0, 128, 255));
  CopyBitmapWithMask(ClipboardData(), &picture, nullptr);
  shell.Form->UpdateCommandStates();
  const TDialogCommandRow* row = RowOf(name);
  if (!row || shell.Form->Commands().Action(row->Name)->isEnabled()) return;
  shell.Doc->Selection().SetShape(ssRect);
  shell.Doc->Selection().SetSelectionRect(GetBitmapRect(shell.Layer()));
  shell.Doc->Selection().Show();
  shell.Form->UpdateCommandStates();
}

// A dialog whose command needs a selection (the 3-D contour, the drop shadow) gets an
// elliptical one first.
void SelectWhereNeeded(DialogShell& shell, const char* name) {
  const TDialogCommandRow* row = RowOf(name);
  QAction* action = row ? shell.Form->Commands().Action(row->Name) : nullptr;
  if (action && !action->isEnabled()) shell.SelectEllipse(TRect{10, 10, 100, 80});
}

// A dialog whose command works on a layer above the background (its menu is disabled
// on the background) opens over such a layer, made active.
void ActivateUpperLayerIfNeeded(DialogShell& shell, const std::string& name) {
  const TDialogCommandRow* row = RowOf(name);
  if (!row || shell.Form->Commands().IsEnabled(row->Name)) return;
  const int i = AddLayerFromBitmap(shell.Services->LayerHost(), "upper", RandomBitmap(40, 30, 8), nullptr, TPoint{10, 10});
  shell.Doc->Image().SetActiveLayerIndex(i);
  shell.Form->UpdateCommandStates();
}

// Closed, a dialog gives the editor back: its own row, its menu and the File menu are
// enabled again at once.
void ExpectMenusBack(DialogShell& shell, const char* name) {
  const TDialogCommandRow* row = RowOf(name);
  TCommandSet& commands = shell.Form->Commands();
  EXPECT_TRUE(commands.IsEnabled(row->Name)) << name;
  EXPECT_TRUE(commands.Menu("MenuFichier")->menuAction()->isEnabled()) << name;
  const TCommandRow* command = FindCommandRow(row->Name);
  if (QMenu* menu = command ? commands.Menu(command->Parent) : nullptr)
    EXPECT_TRUE(menu->menuAction()->isEnabled()) << name << " in " << command->Parent;
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
  SelectWhereNeeded(shell, name);
  MakeOpenable(shell, name);
  ActivateUpperLayerIfNeeded(shell, name);
  const uint64_t original = shell.LayerState();
  if (ProgramDialogs().KindOf(name) == TDialogKind::Command) {
    QWidget* d = shell.OpenForm(name);
    ASSERT_TRUE(d) << name;
    Cancel(d);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(shell.LayerState(), original);
    EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
    ExpectMenusBack(shell, name);
    return;
  }

  QWidget* d = shell.OpenForm(name);
  ASSERT_TRUE(d) << name;
  EXPECT_EQ(d->objectName().toStdString(), name);
  EXPECT_EQ(shell.Services->ShellLock(), d);
  ChangeAndPreview(shell, d);
  EXPECT_NE(shell.LayerState(), original);
  Cancel(d);
  EXPECT_FALSE(d->isVisible());
  EXPECT_FALSE(shell.Services->ShellLock());
  EXPECT_EQ(shell.LayerState(), original);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  ExpectMenusBack(shell, name);

  d = shell.OpenForm(name);
  ASSERT_TRUE(d);
  ChangeAndPreview(shell, d);
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
  SelectWhereNeeded(shell, name);
  MakeOpenable(shell, name);
  ActivateUpperLayerIfNeeded(shell, name);
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
    ExpectMenusBack(shell, name);
    return;
  }
  CheckTableAndControls(d);
  Cancel(d);
}

INSTANTIATE_TEST_SUITE_P(Registered, EveryDialog, ::testing::ValuesIn(Registered()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });
