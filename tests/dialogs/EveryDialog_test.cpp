#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include <QPlainTextEdit>
#include <cstdio>

#include "DialogTestSupport.h"
#include "dialogs/DialogKeys.h"
#include "dialogs/command/CommandDialog.h"
#include "document/qt/Clipboard.h"
#include "platform/core/Random.h"
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

// The dialogs that follow the parameter dialogs' protocol.
std::vector<std::string> Previewed() {
  std::vector<std::string> names = Registered();
  std::erase_if(names, [](const std::string& n) { return ProgramDialogs().KindOf(n) != TDialogKind::Previewed; });
  return names;
}

class EveryDialog : public ::testing::TestWithParam<std::string> {};
class EveryPreviewedDialog : public ::testing::TestWithParam<std::string> {};

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

namespace {

// The document made ready for the dialog as the walk makes it.
void Prepare(DialogShell& shell, const char* name) {
  SelectWhereNeeded(shell, name);
  MakeOpenable(shell, name);
  ActivateUpperLayerIfNeeded(shell, name);
}

bool PlusMinusAsA(QWidget* d) {
  if (auto* p = dynamic_cast<TParamDialog*>(d)) return p->Traits().PlusMinusAsA;
  auto* c = dynamic_cast<TCommandDialog*>(d);
  return c && c->Traits().PlusMinusAsA;  // the variations' own form: none
}

// The fields a user types into: every line edit that takes text and every text box.
std::vector<QWidget*> TypedFields(QWidget* d) {
  std::vector<QWidget*> fields;
  for (QWidget* w : d->findChildren<QWidget*>()) {
    auto* line = qobject_cast<QLineEdit*>(w);
    if ((line && !line->isReadOnly()) || qobject_cast<QPlainTextEdit*>(w))
      if (w->isEnabledTo(d)) fields.push_back(w);
  }
  return fields;
}
QString TextOf(QWidget* w) {
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text();
  return static_cast<QPlainTextEdit*>(w)->toPlainText();
}
void SetTextOf(QWidget* w, const QString& text) {
  if (auto* line = qobject_cast<QLineEdit*>(w)) line->setText(text);
  else static_cast<QPlainTextEdit*>(w)->setPlainText(text);
}

// "-" typed over the whole text of each field. In a dialog whose traits ask for it, a
// field that does not keep the key gets "A" in its place (a number field refuses it);
// a number field of any other dialog, a number field taking values below zero and a
// text box take it as typed. Every field gets its text back.
void CheckPlusMinus(QWidget* d) {
  const bool asA = PlusMinusAsA(d);
  for (QWidget* w : TypedFields(d)) {
    SCOPED_TRACE(w->objectName().toStdString());
    const QString before = TextOf(w);
    auto* line = qobject_cast<QLineEdit*>(w);
    if (line) line->selectAll();
    else static_cast<QPlainTextEdit*>(w)->selectAll();
    QTest::keyClick(w, '-');
    const bool number = dynamic_cast<TSpinEditBase*>(w);
    if (asA && !KeepsPlusMinus(w)) EXPECT_FALSE(TextOf(w).contains('-'));
    else if (number || !line) EXPECT_EQ(TextOf(w).toStdString(), "-");
    SetTextOf(w, before);
  }
}

// Each field a user can empty, emptied, then OK: the warning, the dialog open, the
// image as it was and no step; the field then gets its text back. A parameter
// dialog's field whose empty text stands for a value takes that value instead.
// Says what the dialog's fields do when emptied, for the table.
const char* CheckEmptyFields(DialogShell& shell, QWidget* d, uint64_t original) {
  auto* param = dynamic_cast<TParamDialog*>(d);
  const char* seen = "no field";
  for (QWidget* w : TypedFields(d)) {
    auto* line = qobject_cast<QLineEdit*>(w);
    std::optional<int> reads;
    if (param) {
      bool bound = false;
      for (const TBoundControl& c : param->BoundControls())
        if (c.Widget == w) bound = true, reads = c.EmptyReads;
      if (!bound) continue;  // a pattern's file name: the dialog's own rule
    }
    if (!line) continue;  // a text box may be empty
    seen = reads ? "reads a value" : "refused";
    SCOPED_TRACE(w->objectName().toStdString());
    const QString before = line->text();
    shell.Messages.clear();
    line->setFocus();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Backspace);
    if (reads) {
      Click(d, ButtonsOf(d).Preview);
      EXPECT_FALSE(shell.Said(TextId::GetTrDldGlb1));
      EXPECT_FALSE(line->text().isEmpty());  // the value it read, as the dialog takes it
    } else {
      Click(d, "BOk");
      EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
      EXPECT_TRUE(d->isVisible());
      EXPECT_EQ(shell.LayerState(), original);
    }
    if (!d->isVisible()) return seen;
    line->setText(before);
  }
  return seen;
}

}  // namespace

// Each registered dialog's keys and empty fields, as a user meets them: "+" and "-"
// become "A" only where the dialog asks for it and never in a text box or a field
// that takes values below zero; an emptied field is refused. Cancel then leaves
// nothing. Prints the dialog's row of the table of these rules.
TEST_P(EveryDialog, KeysAndEmptyFields) {
  DialogShell shell;
  const char* name = GetParam().c_str();
  Prepare(shell, name);
  const uint64_t original = shell.LayerState();
  QWidget* d = shell.OpenForm(name);
  ASSERT_TRUE(d) << name;
  CheckPlusMinus(d);
  const char* fields = CheckEmptyFields(shell, d, original);
  ASSERT_TRUE(d->isVisible());
  Cancel(d);
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_EQ(shell.LayerState(), original);
  auto* param = dynamic_cast<TParamDialog*>(d);
  const bool previews = param || d->findChild<QPushButton*>(QStringLiteral("BApercu"));
  std::printf("| %s | %s | %s | %s |\n", name, PlusMinusAsA(d) ? "yes" : "no", fields,
              !previews ? "no preview" : !param ? "yes (its own)" : param->Traits().ReadsSource ? "no: reads the copy" : "yes");
}

namespace {

// What the bound controls show, one value each.
std::vector<double> Shown(TParamDialog* d) {
  std::vector<double> v;
  for (const TBoundControl& c : d->BoundControls()) {
    if (auto* s = qobject_cast<QSlider*>(c.Widget)) v.push_back(s->value());
    else if (auto* e = qobject_cast<QLineEdit*>(c.Widget)) v.push_back(e->text().toDouble());
    else if (auto* b = qobject_cast<QCheckBox*>(c.Widget)) v.push_back(b->isChecked());
    else if (auto* combo = qobject_cast<QComboBox*>(c.Widget)) v.push_back(combo->currentIndex());
    else if (auto* pages = qobject_cast<QTabWidget*>(c.Widget)) v.push_back(pages->currentIndex());
    else if (auto* color = dynamic_cast<TColorEdit*>(c.Widget)) v.push_back(color->Color());
    else if (auto* g = qobject_cast<QGroupBox*>(c.Widget))
      for (QRadioButton* r : g->findChildren<QRadioButton*>()) v.push_back(r->isChecked());
  }
  return v;
}

// A preview from the same draws of the random generator: the noise, diffusion and
// jitter of a kernel fall the same way at each.
void SeededPreview(TParamDialog* d) {
  RandSeed(1234);
  d->Preview();
}

}  // namespace

// Two previews of different values, and a third of the same, show what one preview of
// the last values shows over the original: a dialog that restores before each preview,
// and one whose operation reads only the copy taken before the change, alike. Shown
// again with the values it kept, one preview shows the same.
TEST_P(EveryPreviewedDialog, TwoPreviewsShowOne) {
  const char* name = GetParam().c_str();
  DialogShell shell;
  Prepare(shell, name);
  auto* d = dynamic_cast<TParamDialog*>(shell.OpenForm(name));
  ASSERT_TRUE(d) << name;
  SeededPreview(d);
  // every slider three quarters of the way to its farther end, every spin edit a step
  // up; values a dialog refuses for the picture's size give way to the sliders' lower
  // ends
  for (QSlider* s : d->findChildren<QSlider*>()) {
    const int far = s->maximum() - s->value() >= s->value() - s->minimum() ? s->maximum() : s->minimum();
    s->setValue(s->value() + (far - s->value()) * 3 / 4);
  }
  for (TSpinEdit2* e : d->findChildren<TSpinEdit2*>()) QTest::keyClick(e, Qt::Key_Up);
  shell.Messages.clear();
  SeededPreview(d);
  if (shell.Said(TextId::GetTrDldGlb2)) {
    for (QSlider* s : d->findChildren<QSlider*>()) s->setValue(s->minimum());
    SeededPreview(d);
  }
  const uint64_t once = shell.LayerState();
  SeededPreview(d);
  EXPECT_EQ(shell.LayerState(), once);
  const std::vector<double> values = Shown(d);
  const bool kept = d->Traits().Variant == dvFilter && !d->Traits().ResetEachShowing;
  Cancel(d);
  if (!kept) return;
  d = dynamic_cast<TParamDialog*>(shell.OpenForm(name));
  ASSERT_TRUE(d);
  // (a control set at each showing, the outline's opacity, leaves nothing to compare)
  if (Shown(d) == values) {
    SeededPreview(d);
    EXPECT_EQ(shell.LayerState(), once);
  }
  Cancel(d);
}

INSTANTIATE_TEST_SUITE_P(Registered, EveryDialog, ::testing::ValuesIn(Registered()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });
INSTANTIATE_TEST_SUITE_P(Registered, EveryPreviewedDialog, ::testing::ValuesIn(Previewed()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });
