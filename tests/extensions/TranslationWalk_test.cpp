// Every window of the editor under the English test module, as a user opens them: no
// text a window shows is still one of the interface's built-in French texts, but those
// the program keeps in every language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeWidget>
#include <map>
#include <set>

#include "dialogs/DialogTestSupport.h"
#include "document/qt/Clipboard.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/MsgDlg.h"
#include "support/TranslationModules.h"
#include "support/WindowWalk.h"

using namespace qm;
using namespace qm::test;

namespace {

// A text as a user reads it: without its mnemonic marks, its blanks around, a closing
// colon, an ellipsis or a key in brackets.
std::string Plain(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&' && ++i)) out += text[i];
  for (bool cut = true; cut;) {
    out = Trim(out);
    cut = false;
    for (std::string_view end : {":", "...", "…"})
      if (out.size() > end.size() && out.ends_with(end)) {
        out.resize(out.size() - end.size());
        cut = true;
      }
    if (const size_t key = out.rfind(" ["); key != std::string::npos && out.ends_with("]")) {
      out.resize(key);
      cut = true;
    }
  }
  return out;
}

// The texts the program keeps in every language, as "window: text", and why.
const std::map<std::string, std::string>& KeptTexts() {
  static const std::map<std::string, std::string> kept = {
      {"AProposForm: Les développeurs de Quillomatic Morvek", "the authors' credit, no text of the table names it"},
      {"AProposForm: Traduction", "the caption of the translator's credit, no text of the table names it"},
      {"MsgDlgForm: Entrez un nouveau nom", "the layer's rename prompt, no text of the table names it"},
      {"QMainWindow: Sheerlay", "the tool's own name"},
      {"TSLForm: Sheerlay", "the tool's own name"},
      {"TSLForm: -", "the minus sign on the negative's button"},
      {"TAutoForm: Copyright", "the copyright has no text of the table: the same word in every language"},
      {"TCopyrightForm: Copyright", "the copyright has no text of the table: the same word in every language"},
      {"TAutoForm: AbZ", "the letters that show the chosen font"},
      {"TCopyrightForm: AbZ", "the letters that show the chosen font"},
      {"TTextForm: AbYz", "the letters that show the chosen font"},
      {"TTextForm: Delta X", "the offset's axes, no text of the table names them"},
      {"TTextForm: Delta Y", "the offset's axes, no text of the table names them"},
      {"TOpCalqueForm: Delta X", "the offset's axes, no text of the table names them"},
      {"TOpCalqueForm: Delta Y", "the offset's axes, no text of the table names them"},
      {"TSelParamsForm: X", "a coordinate's name"},
      {"TSelParamsForm: Y", "a coordinate's name"},
      {"TSelParamsForm: % / image", "the unit of a share of the picture, no text of the table names it"},
      {"TCRForm: bsSolid", "the hatch styles' own names"},
      {"TCRForm: bsHorizontal", "the hatch styles' own names"},
      {"TCRForm: bsVertical", "the hatch styles' own names"},
      {"TCRForm: bsFDiagonal", "the hatch styles' own names"},
      {"TCRForm: bsBDiagonal", "the hatch styles' own names"},
      {"TCRForm: bsCross", "the hatch styles' own names"},
      {"TCRForm: bsDiagCross", "the hatch styles' own names"},
  };
  return kept;
}

// The built-in French texts the loaded module does not also give as its own; the
// program's name is the same in every language.
std::set<std::string> FrenchTexts() {
  std::set<std::string> english, french;
  for (int i = 0; i < kTextCount; ++i)
    if (IsTextFilled(TextId(i))) english.insert(Plain(Tr(TextId(i))));
  for (int i = 0; i < kTextCount; ++i)
    if (std::string b = Plain(std::string(BuiltinText(TextId(i)))); !b.empty() && !english.count(b))
      french.insert(std::move(b));
  french.erase(kAppTitle);
  return french;
}

// Shown to a user of the window: neither it nor a parent is hidden, but the pages a
// stack holds (a tab's) are looked at too.
bool Shown(const QWidget* w, const QWidget* window) {
  for (; w && w != window; w = w->parentWidget())
    if (w->isHidden() && !qobject_cast<const QStackedWidget*>(w->parentWidget())) return false;
  return true;
}

// Every text a window shows: its title and, of each control shown, its hint, caption,
// group title, tabs, list and combo items, column titles.
std::vector<QString> TextsOf(QWidget* window) {
  std::vector<QString> texts{window->windowTitle()};
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  for (QWidget* w : widgets) {
    if (!Shown(w, window)) continue;
    texts.push_back(w->toolTip());
    if (auto* l = qobject_cast<QLabel*>(w)) texts.push_back(l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts.push_back(b->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts.push_back(g->title());
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) texts.push_back(t->tabText(i));
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) texts.push_back(c->itemText(i));
    if (auto* l = qobject_cast<QListWidget*>(w))
      for (int i = 0; i < l->count(); ++i) texts.push_back(l->item(i)->text());
    if (auto* t = qobject_cast<QTreeWidget*>(w))
      for (int i = 0; i < t->columnCount(); ++i) texts.push_back(t->headerItem()->text(i));
  }
  return texts;
}

// The texts of a window that are French, as "window: text": each whole, each line and
// each part between " / " (a hint names a command and its menu).
void FindFrench(QWidget* window, const std::set<std::string>& french, std::set<std::string>& found) {
  const std::string name = window->objectName().isEmpty() ? window->metaObject()->className()
                                                          : window->objectName().toStdString();
  for (const QString& text : TextsOf(window)) {
    std::vector<std::string> parts{text.toStdString()};
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]| / "))))
      parts.push_back(line.toStdString());
    for (const std::string& p : parts)
      if (const std::string seen = name + ": " + Plain(p); french.count(Plain(p)) && !KeptTexts().count(seen))
        found.insert(seen);
  }
}

}  // namespace

TEST_F(TranslationTable, NoWindowShowsAFrenchTextUnderTheEnglishModule) {
  DialogShell shell(&ProgramDialogs(), {}, ModulePath("english"));
  ASSERT_TRUE(TranslationLoaded());
  InstallMessageDialog();  // the questions the commands ask are windows of the walk too
  const TBitmap picture(20, 10, pf24bit, RGB(0, 128, 255));
  CopyBitmapWithMask(ClipboardData(), &picture, nullptr);
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(60, 50, 9), TBitmap(), TPoint{20, 10});
  shell.SelectEllipse(TRect{10, 10, 100, 70});
  const std::set<std::string> french = FrenchTexts();
  std::set<std::string> found, seen;
  auto look = [&](QWidget* w) {
    seen.insert(w->objectName().toStdString());
    FindFrench(w, french, found);
  };
  for (QWidget* w : ShownWindows()) look(w);
  // Each registered dialog from its first row, over the document it asks for, before the
  // commands change the document; then every window of every command; then the
  // registered dialogs the commands left the document unfit for, again.
  for (const std::string& name : ProgramDialogs().Names())
    if (RowOf(name)) LookAtWindowsOf([&] { shell.OpenForm(name.c_str()); }, look);
  const int opened = LookAtEveryWindow(*shell.Form, [&](QWidget* w, std::string_view) { look(w); });
  EXPECT_GE(opened, 50);
  for (const std::string& name : ProgramDialogs().Names())
    if (RowOf(name) && !seen.count(name)) LookAtWindowsOf([&] { shell.OpenForm(name.c_str()); }, look);
  // The image browser lives in the main window: the window looked at with it open. The
  // message dialog of each kind.
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuExplore"));
  ASSERT_TRUE(shell.Form->Browser() && shell.Form->Browser()->isVisible());
  look(shell.Form.get());
  for (const TMsgType type : {mtWarning, mtError, mtInformation, mtConfirmation})
    LookAtWindowsOf([type] { ShowMessageDialog("?", type, mbYes | mbNo | mbOK | mbCancel); }, look);
  EXPECT_EQ(std::vector<std::string>(found.begin(), found.end()), std::vector<std::string>{});
}
