#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "controls/HintNames.h"
#include "controls/PrevNextButton.h"
#include "controls/SpecialEdit.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

QMenu* SampleMenu(QWidget* owner) {
  auto* menu = new QMenu(owner);
  menu->addAction("&Premier");
  menu->addAction("Deuxième");
  menu->addSeparator();
  menu->addAction("&Troisième");
  menu->addAction("Quatrième && dernier");
  return menu;
}

// Picks the index-th item (separators not counted) of the open popup menu.
void ChooseInPopup(int index) {
  test::WhenPopup([index](QWidget* popup) {
    for (int k = 0; k <= index; ++k) QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
  });
}

}  // namespace

TEST(PrevNextButton, OnlyTheStyledHalfShows) {
  test::App();
  TPrevNextButton b;
  EXPECT_EQ(b.width(), b.height());
  b.resize(16, 16);
  b.show();
  EXPECT_EQ(b.Style(), stDown);
  EXPECT_EQ(b.UpDown()->geometry(), QRect(0, -17, 16, 33));
  EXPECT_EQ(b.UpDown()->HalfAt(QPoint(8, 20)), btPrev);  // the lower, down half shows
  b.SetStyle(stUp);
  EXPECT_EQ(b.UpDown()->geometry(), QRect(0, 0, 16, 33));
  b.SetStyle(stRight);
  EXPECT_EQ(b.UpDown()->Orientation(), TUDOrientation::Horizontal);
  EXPECT_EQ(b.UpDown()->geometry(), QRect(-17, 0, 33, 16));
  b.SetStyle(stLeft);
  EXPECT_EQ(b.UpDown()->geometry(), QRect(0, 0, 33, 16));
  EXPECT_FALSE(b.UpDown()->AutoRepeat());
}

TEST(PrevNextButton, OneClickPerPress) {
  test::App();
  TPrevNextButton b;
  b.resize(16, 16);
  b.show();
  int clicks = 0;
  b.OnClick = [&] { ++clicks; };
  TMyUpDown* ud = b.UpDown();
  const QPoint inside = ud->mapFromParent(QPoint(8, 8));
  QTest::mouseClick(ud, Qt::LeftButton, Qt::NoModifier, inside);
  EXPECT_EQ(clicks, 1);
  // Released outside the visible half: no click.
  QTest::mousePress(ud, Qt::LeftButton, Qt::NoModifier, inside);
  QTest::mouseRelease(ud, Qt::LeftButton, Qt::NoModifier, ud->mapFromParent(QPoint(8, 40)));
  EXPECT_EQ(clicks, 1);

  // In cmDown mode a held press clicks once, after 100 ms, and the release adds none.
  b.SetClickMode(cmDown);
  QTest::mousePress(ud, Qt::LeftButton, Qt::NoModifier, inside);
  EXPECT_EQ(clicks, 1);
  QTest::qWait(250);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(ud->Pressed());
  QTest::qWait(150);
  QTest::mouseRelease(ud, Qt::LeftButton, Qt::NoModifier, inside);
  EXPECT_EQ(clicks, 2);
}

TEST(SpecialEdit, TextFollowsTheMenu) {
  test::App();
  TSpecialEdit e;
  EXPECT_EQ(e.width(), 80);
  EXPECT_GE(e.height(), e.fontMetrics().height() + 8);
  EXPECT_TRUE(e.Button()->isHidden());
  int changes = 0;
  e.OnChange = [&] { ++changes; };
  e.SetText("libre");
  EXPECT_EQ(e.Text(), "libre");
  EXPECT_EQ(changes, 1);

  QMenu* menu = SampleMenu(&e);
  e.SetDropDownMenu(menu);
  EXPECT_EQ(e.Text(), "");  // ItemIndex -1
  // The separator is not counted: index 3 is the fourth real item.
  e.SetItemIndex(3);
  EXPECT_EQ(e.Text(), "Quatrième & dernier");
  EXPECT_TRUE(menu->actions()[4]->isChecked());
  EXPECT_FALSE(menu->actions()[0]->isChecked());
  e.SetItemIndex(0);
  EXPECT_EQ(e.Text(), "Premier");
  e.SetItemIndex(9);
  EXPECT_EQ(e.Text(), "");
  e.SetItemIndex(-5);
  EXPECT_EQ(e.ItemIndex(), -1);
  // Text cannot be set while a menu is.
  changes = 0;
  e.SetText("ignoré");
  EXPECT_EQ(changes, 0);
  e.SetItemIndex(1);
  EXPECT_EQ(e.Text(), "Deuxième");
}

TEST(SpecialEdit, ChoosingFromTheDropDown) {
  test::App();
  TSpecialEdit e;
  e.SetShowButton(true);
  EXPECT_FALSE(e.Button()->isHidden());
  e.SetDropDownMenu(SampleMenu(&e));
  e.SetItemIndex(0);
  std::vector<bool> selections;
  int buttonClicks = 0;
  e.OnSelectItem = [&](bool changed) { selections.push_back(changed); };
  e.OnBtnClick = [&] { ++buttonClicks; };

  ChooseInPopup(2);
  e.Button()->OnClick();
  EXPECT_EQ(e.ItemIndex(), 2);
  EXPECT_EQ(e.Text(), "Troisième");
  EXPECT_EQ(selections, std::vector<bool>{true});
  EXPECT_EQ(buttonClicks, 1);

  // A second click within 333 ms does not open the menu again.
  int opened = 0;
  QObject::connect(e.DropDownMenu(), &QMenu::aboutToShow, [&] { ++opened; });
  e.Button()->OnClick();
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(buttonClicks, 2);
  QTest::qWait(400);
  ChooseInPopup(2);  // the same item again: chosen, not changed
  e.Button()->OnClick();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(selections, (std::vector<bool>{true, false}));

  // Read-only or disabled: the button is disabled and nothing opens.
  e.SetReadOnly(true);
  EXPECT_FALSE(e.Button()->isEnabled());
  QTest::qWait(400);
  e.DropDown();
  EXPECT_EQ(opened, 1);
  e.SetReadOnly(false);
  EXPECT_TRUE(e.Button()->isEnabled());
  e.setEnabled(false);
  EXPECT_FALSE(e.Button()->isEnabled());
}

TEST(SpecialEdit, DisplayTextHook) {
  test::App();
  TSpecialEdit e;
  e.SetText("Un texte bien trop long pour le champ");
  e.SetMinimizeText(true);
  QString shown;
  e.OnDisplayText = [&](QString& t) {
    shown = t;
    t = "remplacé";
  };
  QPixmap glyph(32, 16);
  glyph.fill(Qt::red);
  e.SetGlyph(glyph);
  e.SetNumGlyphs(2);
  e.grab();  // paints
  EXPECT_FALSE(shown.isEmpty());
  EXPECT_NE(shown, e.Text());  // elided to the field's width
  EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
}

// A control that shows no text is named by its hint, made before or after its hint,
// and follows it; a name its owner gave, or a button's own text, stays.
TEST(HintNames, AControlWithoutTextIsNamedByItsHint) {
  test::App();
  InstallHintNames();
  InstallHintNames();  // once is enough
  QWidget window;
  auto* glyph = new QToolButton(&window);
  glyph->setToolTip("Choisir le dossier");
  auto* arrow = new TPrevNextButton(&window);
  auto* text = new QToolButton(&window);
  text->setText("...");
  text->setToolTip("Parcourir");
  auto* named = new QToolButton(&window);
  named->setToolTip("Pinceau [B]");
  named->setAccessibleName("Pinceau");
  window.show();
  arrow->setToolTip("Dégradé suivant");
  EXPECT_EQ(glyph->accessibleName(), "Choisir le dossier");
  EXPECT_EQ(arrow->accessibleName(), "Dégradé suivant");
  arrow->setToolTip("Dégradé précédent");
  EXPECT_EQ(arrow->accessibleName(), "Dégradé précédent");
  EXPECT_EQ(text->accessibleName(), "");
  named->setToolTip("Pinceau [P]");
  EXPECT_EQ(named->accessibleName(), "Pinceau");
  EXPECT_EQ(QApplication::instance()->findChildren<QObject*>("qmHintNames", Qt::FindDirectChildrenOnly).size(), 1);
}
