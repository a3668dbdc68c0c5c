#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>

#include "shell/services/FormUtils.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {
class TSampleForm : public QWidget {
 public:
  TSampleForm() { ++Made; }
  static inline int Made = 0;
};
}  // namespace

TEST(FormUtils, CreateFormOnceMakesOneFormAndCallsTheHook) {
  test::App();
  QPointer<TSampleForm> form;
  int hooked = 0;
  SetFormCreationHook([&](QWidget* w) {
    ++hooked;
    EXPECT_EQ(w, form.data());
  });
  TSampleForm* first = CreateFormOnce(form);
  TSampleForm* second = CreateFormOnce(form);
  EXPECT_EQ(first, second);
  EXPECT_EQ(TSampleForm::Made, 1);
  EXPECT_EQ(hooked, 1);
  SetFormCreationHook({});
  delete form.data();
  EXPECT_TRUE(form.isNull());
  CreateFormOnce(form);  // made again once gone
  EXPECT_EQ(TSampleForm::Made, 2);
  delete form.data();
}

TEST(FormUtils, EnablingContainersAndMenus) {
  test::App();
  QWidget panel;
  auto* group = new QGroupBox(&panel);
  auto* inner = new QCheckBox(group);
  auto* button = new QPushButton(&panel);
  SetEnabledRecursive(&panel, false);
  EXPECT_FALSE(panel.isEnabled());
  EXPECT_TRUE(inner->testAttribute(Qt::WA_Disabled));  // each child is switched itself
  EXPECT_TRUE(button->testAttribute(Qt::WA_Disabled));
  EXPECT_TRUE(group->testAttribute(Qt::WA_Disabled));
  SetEnabledRecursive(&panel, true);
  EXPECT_TRUE(inner->isEnabled());
  EXPECT_TRUE(button->isEnabled());

  QMenu menu;
  QMenu* sub = menu.addMenu("Miniatures");
  QAction* small = sub->addAction("Petites");
  QAction* large = sub->addAction("Grandes");
  small->setCheckable(true);
  large->setCheckable(true);
  EXPECT_EQ(GetCheckedSubItem(sub->menuAction()), nullptr);
  large->setChecked(true);
  EXPECT_EQ(GetCheckedSubItem(sub->menuAction()), large);
  EXPECT_EQ(GetCheckedSubItem(nullptr), nullptr);
  EnableSubItems(sub->menuAction(), false);
  EXPECT_FALSE(small->isEnabled());
  EXPECT_FALSE(large->isEnabled());
  EnableMenuItems(&menu, false);
  EXPECT_FALSE(sub->menuAction()->isEnabled());
}

TEST(FormUtils, HintsGlyphsCursorsAndFonts) {
  test::App();
  QPushButton button;
  button.setToolTip("Nouveau");
  QAction item("Nouveau");
  // the keys spelt in the interface's words, whatever the keyboard's
  item.setShortcut(QKeySequence("Ctrl+Shift+N"));
  AppendShortcutText(&button, &item, "");
  EXPECT_EQ(button.toolTip(), "Nouveau [Maj+Ctrl+N]");
  button.setToolTip("Zoom");
  AppendShortcutText(&button, nullptr, "Molette");
  EXPECT_EQ(button.toolTip(), "Zoom [Molette]");

  std::vector<QPixmap> normal(53, QPixmap(16, 16)), grey(53, QPixmap(16, 16));
  normal[3].fill(Qt::yellow);
  grey[3].fill(Qt::gray);
  SetGlyphLists(normal, grey, true);
  SetFolderButtonGlyph(&button);
  EXPECT_FALSE(button.icon().isNull());
  EXPECT_EQ(button.icon().pixmap(16, QIcon::Disabled).toImage().pixelColor(0, 0), QColor(Qt::gray));
  QPushButton other;
  SetButtonGlyph(99, &other);  // beyond the list: unchanged
  EXPECT_TRUE(other.icon().isNull());
  SetGlyphLists({}, {}, false);

  SetCursorById(Qt::WaitCursor);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  SetCursorById(Qt::CrossCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  SetCursorById(Qt::ArrowCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  QComboBox fonts;
  FillFontList(&fonts);
  if (fonts.count() == 0) GTEST_SKIP() << "no scalable fonts on this machine";
  for (int i = 1; i < fonts.count(); ++i)
    EXPECT_LE(fonts.itemText(i - 1).compare(fonts.itemText(i), Qt::CaseInsensitive), 0);
  if (fonts.findText("Arial") >= 0)
    EXPECT_EQ(fonts.currentText(), "Arial");
  else
    EXPECT_EQ(fonts.currentIndex(), 0);
}
