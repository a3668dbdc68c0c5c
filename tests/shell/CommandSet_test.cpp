#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "shell/services/CommandSet.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// What the table says a container shows, in order: each row's action, a separator, or
// for copied items an action of their own with the copied caption.
void ExpectContainerHoldsItsRows(TCommandSet& set, const TCommandRow& container, const QList<QAction*>& actions) {
  std::vector<std::pair<const TCommandRow*, bool>> expected;  // (row, copied)
  for (const TCommandRow* r : CommandChildren(container.Name)) {
    if (r->Kind != TCommandKind::Copies) expected.emplace_back(r, false);
    else
      for (const TCommandRow* source : CommandChildren(r->Source)) expected.emplace_back(source, true);
  }
  ASSERT_EQ(size_t(actions.size()), expected.size()) << container.Name;
  for (size_t i = 0; i < expected.size(); ++i) {
    const auto [row, copied] = expected[i];
    QAction* a = actions[qsizetype(i)];
    if (row->Kind == TCommandKind::Separator) {
      EXPECT_TRUE(a->isSeparator()) << container.Name << " #" << i;
    } else if (copied) {
      EXPECT_NE(a, set.Action(row->Name));
      EXPECT_EQ(a->text(), Q(CommandCaption(*row)));
    } else {
      EXPECT_EQ(a, set.Action(row->Name)) << container.Name << " #" << i << " " << row->Name;
    }
  }
}

}  // namespace

TEST(CommandSet, BuildsEveryMenuPopupAndToolBarInTableOrder) {
  test::App();
  QMainWindow window;
  TCommandSet set(&window);
  window.setMenuBar(set.MenuBar());
  std::vector<QAction*> bar;
  for (const TCommandRow& r : CommandRows()) {
    if (r.Kind == TCommandKind::Menu || r.Kind == TCommandKind::Popup) {
      QMenu* menu = set.Menu(r.Name);
      ASSERT_TRUE(menu) << r.Name;
      EXPECT_EQ(menu->objectName(), Q(r.Name));
      if (r.Kind == TCommandKind::Menu) EXPECT_EQ(menu->title(), Q(r.Caption));
      ExpectContainerHoldsItsRows(set, r, menu->actions());
      if (r.Parent == "Menu") bar.push_back(menu->menuAction());
    } else if (r.Kind == TCommandKind::ToolBar) {
      ExpectContainerHoldsItsRows(set, r, set.ToolBar(r.Name)->actions());
    }
  }
  const QList<QAction*> barActions = set.MenuBar()->actions();
  EXPECT_EQ(std::vector<QAction*>(barActions.begin(), barActions.end()), bar);
  ASSERT_EQ(bar.size(), 11u);
  EXPECT_EQ(bar[0]->text(), "&Fichier");
  EXPECT_EQ(bar[10]->text(), "Ai&de");

  // One action per command: the menu item, its pop-up twin and its tool button.
  QAction* copy = set.Action("MenuEditionCopier");
  EXPECT_EQ(set.Action("PopImgCopier"), copy);
  EXPECT_EQ(set.Action("BtnCopier"), copy);
  EXPECT_EQ(copy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  auto* button = set.ToolBar("ToolBar1")->findChild<QToolButton*>("BtnCopier");
  ASSERT_TRUE(button);
  EXPECT_EQ(button->defaultAction(), copy);
  // radio items of one menu exclude each other; a pop-up twin follows
  EXPECT_TRUE(set.Action("MenuSelLisser")->isChecked());
  set.Action("PopSelAucunLissage")->setChecked(true);
  EXPECT_FALSE(set.Action("MenuSelLisser")->isChecked());
  EXPECT_TRUE(set.Action("MenuSelReperes")->isChecked());
  // glyphs: every drawn one is named by a row and shown by it
  const QStringList drawn = QDir(":/commands").entryList();
  EXPECT_FALSE(drawn.isEmpty());
  for (const QString& file : drawn) {
    const QString glyph = file.section('.', 0, 0);
    bool named = false;
    for (const TCommandRow& r : CommandRows())
      if (Q(r.Glyph) == glyph && r.Kind == TCommandKind::Item) {
        named = true;
        EXPECT_FALSE(set.Action(r.Name)->icon().isNull()) << r.Name;
      }
    EXPECT_TRUE(named) << file.toStdString();
  }
  // and every glyph a row names is drawn: no tool button falls back to its caption
  for (const TCommandRow& r : CommandRows())
    if (!r.Glyph.empty()) EXPECT_TRUE(drawn.contains(Q(r.Glyph) + ".xpm")) << r.Name;
  for (const char* bar : {"ToolBar1", "ToolBar2", "ToolBar3", "ToolBar4"})
    for (const QToolButton* b : set.ToolBar(bar)->findChildren<QToolButton*>()) {
      if (!b->defaultAction() || b->defaultAction()->isSeparator()) continue;
      EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
      EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
    }
}

TEST(CommandSet, HandlersAndRulesDecideWhatRuns) {
  test::App();
  QMainWindow window;
  TCommandSet set(&window);
  // Nothing runs before a handler is attached: no row is enabled.
  for (const TCommandRow& r : CommandRows())
    if (r.Kind == TCommandKind::Item) EXPECT_FALSE(set.IsEnabled(r.Name)) << r.Name;
  EXPECT_FALSE(set.Trigger("MenuFiltreFlou"));

  std::vector<std::pair<std::string, int>> ran;
  auto record = [&](const TCommandSender& s) { ran.emplace_back(std::string(s.Name()) + "@" + std::string(s.Parent), s.Tag()); };
  EXPECT_TRUE(set.SetHandler("BtnFlou", record));  // the button shows the menu's command
  EXPECT_TRUE(set.IsEnabled("MenuFiltreFlou"));
  EXPECT_TRUE(set.Trigger("BtnFlou"));
  EXPECT_FALSE(set.SetHandler("MenuFiltre", record));  // a menu runs nothing
  EXPECT_FALSE(set.SetHandler("NoSuchRow", record));
  EXPECT_EQ(set.SetSharedHandler("MenuFichierNClick", record), 12);
  EXPECT_TRUE(set.Trigger("MenuFichierRecent3"));
  EXPECT_EQ(set.SetSharedHandler("MenuSelFormeClick", record), 9);
  // a copied item runs the handler of the row it copies, told where it was chosen
  QAction* copied = set.Menu("PopImgForme")->actions().at(4);
  EXPECT_EQ(copied->text(), "Triangle base en bas");
  copied->trigger();
  const std::vector<std::pair<std::string, int>> expected = {
      {"MenuFiltreFlou@MenuAttenuation", 0}, {"MenuFichierRecent3@MenuFichierRecents", 2},
      {"MenuSelTriangle1@PopImgForme", 5}};
  EXPECT_EQ(ran, expected);

  // The rules: the filter menu's condition disables everything under it, the button too.
  bool adjustable = true;
  set.SetRuleEvaluator([&](TCommandRule rule) { return rule != TCommandRule::AdjustFilter || adjustable; });
  adjustable = false;
  EXPECT_TRUE(set.IsEnabled("BtnFlou"));   // not recomputed yet...
  EXPECT_FALSE(set.Trigger("BtnFlou"));    // ...but checked again when chosen
  EXPECT_FALSE(set.IsEnabled("BtnFlou"));
  set.UpdateStates();
  EXPECT_FALSE(set.Action("MenuFiltre")->isEnabled());
  adjustable = true;
  emit set.Menu("MenuAttenuation")->aboutToShow();  // a menu recomputes its rows as it opens
  EXPECT_TRUE(set.IsEnabled("MenuFiltreFlou"));
  // a row's own predicate stands in for its rule
  set.SetPredicate("MenuFiltreFlou", [] { return false; });
  EXPECT_FALSE(set.IsEnabled("BtnFlou"));
  EXPECT_EQ(ran.size(), 3u);

  // A user's path: the shortcut of "Répéter" in the shown window runs its handler.
  int repeated = 0;
  set.SetHandler("MenuFiltreRepeter", [&](const TCommandSender&) { ++repeated; });
  window.setMenuBar(set.MenuBar());
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(repeated, 1);
}
