#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTest>

#include "pixel/ImgUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandSet.h"
#include "shell/services/MenuLook.h"
#include "shell/services/ShortcutKeys.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

struct TTextsGuard {
  ~TTextsGuard() { ResetTextTable(); }
};

// A palette of known colours, so the drawing can be read back pixel by pixel.
QPalette SamplePalette() {
  QPalette pal;
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(g, QPalette::Window, QColor(240, 240, 240));
    pal.setColor(g, QPalette::WindowText, QColor(0, 0, 0));
    pal.setColor(g, QPalette::Highlight, QColor(51, 153, 255));
    pal.setColor(g, QPalette::HighlightedText, QColor(255, 255, 255));
    pal.setColor(g, QPalette::Button, QColor(236, 233, 216));
    pal.setColor(g, QPalette::Dark, QColor(160, 160, 160));
  }
  pal.setColor(QPalette::Disabled, QPalette::Text, QColor(109, 109, 109));
  return pal;
}

QColor MixOf(QColor a, TColor b, int percent) {
  const TColor m = MixColors(RGB(a.red(), a.green(), a.blue()), b, percent);
  return QColor(GetRValue(m), GetGValue(m), GetBValue(m));
}

QStyleOptionMenuItem Item(const QString& text, QStyle::State state) {
  QStyleOptionMenuItem o;
  o.palette = SamplePalette();
  o.state = state;
  o.rect = QRect(0, 0, 300, 22);
  o.text = text;
  o.font = QApplication::font();
  o.font.setStyleStrategy(QFont::NoAntialias);  // text pixels in the pen's colour alone
  o.fontMetrics = QFontMetrics(o.font);
  o.menuItemType = QStyleOptionMenuItem::Normal;
  o.checkType = QStyleOptionMenuItem::NotCheckable;
  return o;
}

QImage Draw(const QStyle& style, const QStyleOptionMenuItem& o) {
  QImage img(o.rect.size(), QImage::Format_RGB32);
  img.fill(Qt::magenta);
  QPainter p(&img);
  style.drawControl(QStyle::CE_MenuItem, &o, &p);
  return img;
}

int CountDark(const QImage& img, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y).lightness() < 100;
  return n;
}

int CountColor(const QImage& img, const QRect& r, QColor c) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y) == c;
  return n;
}

}  // namespace

TEST(ShortCutToText, SpellsKeysInTheTextTablesWords) {
  TTextsGuard guard;
  struct TCase {
    TShortcut shortcut;
    const char* text;
  } cases[] = {
      {scCtrl | (vkF1 + 4), "Ctrl+F5"},
      {scShift | scAlt | vkDelete, "Maj+Alt+Suppr"},
      {scCtrl | scShift | 'S', "Maj+Ctrl+S"},  // Shift always first
      {scShift | scCtrl | scAlt | 'C', "Maj+Ctrl+Alt+C"},
      {16459, "Ctrl+K"},
      {vkNumpad0 + 7, "7"},
      {scCtrl | vkNumpad0, "Ctrl+0"},
      {'4', "4"},
      {vkF1 + 23, "F24"},
      {vkBack, "RetArr"},     {vkTab, "Tab"},         {scShift | vkReturn, "Maj+Entrée"},
      {vkEscape, "Echap"},    {vkSpace, "Espace"},    {vkPrior, "PagePréc"},
      {vkNext, "PageSuiv"},   {vkEnd, "Fin"},         {vkHome, "Origine"},
      {vkLeft, "Gauche"},     {vkUp, "Haut"},         {vkRight, "Droite"},
      {vkDown, "Bas"},        {vkInsert, "Ins"},      {scCtrl | vkDelete, "Ctrl+Suppr"},
      {scCtrl | 187, "Ctrl+="},  // a key of the layout, named by the keyboard
      {vkAdd, "Num +"},
      {0, ""},
      {scCtrl, ""},           // modifiers without a key
      {scCtrl | 7, ""},       // a key without a name
  };
  for (const TCase& c : cases) EXPECT_EQ(ShortCutToText(c.shortcut), c.text) << c.shortcut;

  // The words follow the translation.
  EXPECT_EQ(FillTextByName("GetMnuCtrl", "Strg+"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetMnuDel", "Entf"), FillResult::Filled);
  EXPECT_EQ(ShortCutToText(scCtrl | vkDelete), "Strg+Entf");
}

// The command set keeps ShortCutToText's text on every action, and the style draws
// that very text from what a menu hands it.
TEST(MenuLook, EveryActionShowsItsShortcutSpelledOurWay) {
  test::App();
  TTextsGuard guard;
  QMainWindow window;
  TCommandSet set(&window);
  int shortcuts = 0;
  for (const TCommandRow& row : CommandRows()) {
    if (row.Kind != TCommandKind::Item) continue;
    const QAction* a = set.Action(row.Name);
    ASSERT_TRUE(a) << row.Name;
    EXPECT_EQ(ShortcutTextOf(a).toStdString(), ShortCutToText(row.Shortcut)) << row.Name;
    if (!row.Shortcut) continue;
    ++shortcuts;
    EXPECT_EQ(MenuShortcutText(a->shortcut().toString(QKeySequence::NativeText)), ShortcutTextOf(a)) << row.Name;
  }
  EXPECT_GT(shortcuts, 40);
  EXPECT_EQ(ShortcutTextOf(set.Action("MenuEditionCopier")), "Ctrl+C");
  EXPECT_EQ(ShortcutTextOf(set.Action("MenuFichierEnregistrerSous")), "Maj+Ctrl+S");
  // A translation of the key names reaches the actions with the captions.
  FillTextByName("GetMnuShift", "Umschalt+");
  set.UpdateCaptions();
  EXPECT_EQ(ShortcutTextOf(set.Action("MenuFichierEnregistrerSous")), "Umschalt+Ctrl+S");
  // Texts that name no key of ours stay as they are.
  EXPECT_EQ(MenuShortcutText("Meta+K"), "Meta+K");
  EXPECT_EQ(MenuShortcutText("n'importe quoi"), "n'importe quoi");
}

TEST(MenuLook, MeasuresItemsWithAndWithoutShortcuts) {
  test::App();
  TMenuStyle style(TMenuLook::OwnerDrawn, QStyleFactory::create("Fusion"));
  const QStyleOptionMenuItem plain = Item("&Ouvrir...", QStyle::State_Enabled);
  const QFontMetrics fm(plain.font);
  const QSize size = style.sizeFromContents(QStyle::CT_MenuItem, &plain, QSize(10, 10), nullptr);
  EXPECT_EQ(size.width(), fm.horizontalAdvance("Ouvrir...X") + 32);
  EXPECT_EQ(MenuItemWidth(fm, "&Ouvrir...", ""), size.width());
  EXPECT_EQ(MenuItemWidth(fm, "Ouvrir", "Ctrl+O"), fm.horizontalAdvance("OuvrirX") + fm.horizontalAdvance("XXXCtrl+O") + 32);
  // A default item is measured in the bold font it is drawn in.
  QStyleOptionMenuItem bold = plain;
  bold.menuItemType = QStyleOptionMenuItem::DefaultItem;
  EXPECT_GT(style.sizeFromContents(QStyle::CT_MenuItem, &bold, QSize(10, 10), nullptr).width(), size.width());

  // A real menu is as wide as its widest item measured with the shortcut spelled our
  // way.
  QWidget owner;
  QMenu menu(&owner);
  menu.setStyle(&style);
  menu.addAction("&Ouvrir...");
  menu.addAction("Enregistrer sous...")->setShortcut(ShortcutToKeySequence(scCtrl | scShift | 'S'));
  menu.addAction("Supprimer")->setShortcut(ShortcutToKeySequence(scShift | scAlt | vkDelete));
  menu.addAction("Page suivante")->setShortcut(ShortcutToKeySequence(scCtrl | vkNext));
  menu.addSeparator();
  menu.popup(QPoint(10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  const QFontMetrics menuFm = menu.fontMetrics();
  int widest = 0;
  for (QAction* a : menu.actions()) {
    if (a->isSeparator()) continue;
    const QString ours = QString::fromStdString(ShortCutToText(KeySequenceToShortcut(a->shortcut())));
    const int w = MenuItemWidth(menuFm, a->text(), ours);
    widest = std::max(widest, w);
  }
  EXPECT_EQ(menu.actionGeometry(menu.actions()[0]).width(), widest);
  menu.close();

  // Items narrower than the shortcut column are shown all the same, in either look.
  for (TMenuLook look : {TMenuLook::OwnerDrawn, TMenuLook::Desktop}) {
    TMenuStyle lookStyle(look, QStyleFactory::create("Fusion"));
    QMenu shortMenu(&owner);
    shortMenu.setStyle(&lookStyle);
    shortMenu.addAction("Tout fermer")->setShortcut(ShortcutToKeySequence(scCtrl | scShift | scAlt | vkDelete));
    QAction* brief = shortMenu.addAction("X");
    QAction* sub = shortMenu.addMenu("Y")->menuAction();
    shortMenu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shortMenu));
    EXPECT_GT(shortMenu.actionGeometry(brief).height(), 0);
    EXPECT_GT(shortMenu.actionGeometry(sub).height(), 0);
    EXPECT_EQ(shortMenu.actionGeometry(brief).width(), shortMenu.actionGeometry(shortMenu.actions()[0]).width());
    shortMenu.close();
  }
}

// What a user sees of one item in each state: the band, the highlight, the colours of
// caption and shortcut.
TEST(MenuLook, DrawsTheBandHighlightAndShortcutColours) {
  test::App();
  TMenuStyle style(TMenuLook::OwnerDrawn, QStyleFactory::create("Fusion"));
  const QColor menu(240, 240, 240), black(0, 0, 0), white(255, 255, 255), grey(109, 109, 109);
  const QColor shortcut(128, 0, 0), highlight(51, 153, 255);
  const QString text = "Enregistrer\t" + ShortcutToKeySequence(scCtrl | 'S').toString(QKeySequence::NativeText);
  const QRect left(kMenuItemInset, 0, 120, 22), right(180, 0, 120 - kMenuItemInset, 22);
  struct TCase {
    const char* name;
    QStyle::State state;
    QColor caption, shortcutColor;
    QColor absent;  // a colour no pixel may have
  } cases[] = {
      {"plain", QStyle::State_Enabled, black, shortcut, white},
      {"selected", QStyle::State_Enabled | QStyle::State_Selected, white, white, shortcut},
      {"grayed", QStyle::State_None, grey, grey, shortcut},
      {"grayed and selected", QStyle::State_Selected, grey, grey, white},
  };
  for (const TCase& c : cases) {
    const QImage img = Draw(style, Item(text, c.state));
    EXPECT_GT(CountColor(img, left, c.caption), 10) << c.name;
    EXPECT_GT(CountColor(img, right, c.shortcutColor), 10) << c.name;
    EXPECT_EQ(CountColor(img, left, c.shortcutColor == c.caption ? c.absent : c.shortcutColor), 0) << c.name;
    EXPECT_EQ(CountColor(img, img.rect().adjusted(1, 1, -1, -1), c.absent), 0) << c.name;
    if (c.state & QStyle::State_Selected) {
      EXPECT_EQ(img.pixelColor(0, 0), highlight) << c.name;
      EXPECT_EQ(img.pixelColor(1, 11), MixOf(menu, 0xFF9933, 77)) << c.name;
    } else {
      EXPECT_EQ(img.pixelColor(0, 11), MixOf(menu, kMenuBandTint, kMenuBandPercent)) << c.name;
      EXPECT_EQ(img.pixelColor(kMenuBandWidth, 11), menu) << c.name;
    }
  }

  // A checked item carries its tick in the band; a separator is a line fading out.
  QStyleOptionMenuItem checked = Item("Grille", QStyle::State_Enabled);
  checked.checkType = QStyleOptionMenuItem::NonExclusive;
  checked.checked = true;
  QImage img = Draw(style, checked);
  EXPECT_GT(CountDark(img, QRect(0, 0, kMenuItemInset, 22)), 3);
  QStyleOptionMenuItem sep = Item("", QStyle::State_Enabled);
  sep.menuItemType = QStyleOptionMenuItem::Separator;
  sep.rect = QRect(0, 0, 300, 9);
  img = Draw(style, sep);
  EXPECT_EQ(img.pixelColor(0, 4), QColor(160, 160, 160));
  EXPECT_EQ(img.pixelColor(0, 2), MixOf(menu, kMenuBandTint, kMenuBandPercent));
  EXPECT_EQ(img.pixelColor(299, 2), menu);
}

TEST(MenuLook, InstallsOnTheMenusTheCommandSetBuilds) {
  QApplication& app = test::App();
  const QString before = app.style()->name();
  InstallMenuLook(app);
  EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_DontUseNativeMenuBar));
  const auto* desktop = dynamic_cast<TMenuStyle*>(app.style());
  ASSERT_TRUE(desktop);
  EXPECT_EQ(desktop->Look(), TMenuLook::Desktop);
  InstallMenuLook(app);  // once is enough
  EXPECT_EQ(app.style(), desktop);

  QMainWindow window;
  TCommandSet set(&window);
  window.setMenuBar(set.MenuBar());
  InstallOwnerDrawMainMenu(set.MenuBar(), true);
  InstallOwnerDrawMenu(set.Menu("PopImg"));
  auto look = [](const QWidget* w) {
    const auto* s = dynamic_cast<const TMenuStyle*>(w->style());
    return s && s->Look() == TMenuLook::OwnerDrawn;
  };
  EXPECT_TRUE(look(set.MenuBar()));
  EXPECT_TRUE(look(set.Menu("MenuFiltre")));
  EXPECT_TRUE(look(set.Menu("MenuFiltreCouleur")));  // a sub-menu
  EXPECT_TRUE(look(set.Menu("PopImg")));
  // A sub-menu added later takes the look before it opens.
  auto* later = new QMenu("Plus tard", &window);
  set.Menu("MenuFiltre")->addMenu(later);
  EXPECT_FALSE(look(later));
  emit set.Menu("MenuFiltre")->aboutToShow();
  EXPECT_TRUE(look(later));

  // A user opens the File menu: it shows "Maj+Ctrl+S" in the shortcut colour.
  set.SetHandler("MenuFichierEnregistrerSous", [](const TCommandSender&) {});
  window.show();
  QMenu* file = set.Menu("MenuFichier");
  file->popup(QPoint(20, 20));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
  const QImage shot = file->grab().toImage();
  if (qEnvironmentVariableIsSet("QM_MENU_SHOT")) shot.save(qEnvironmentVariable("QM_MENU_SHOT"));
  const QRect saveAs = file->actionGeometry(set.Action("MenuFichierEnregistrerSous"));
  int dark = 0;
  for (int x = saveAs.center().x(); x < saveAs.right(); ++x)
    for (int y = saveAs.top(); y <= saveAs.bottom(); ++y) {
      const QColor c = shot.pixelColor(x, y);
      dark += c.red() > 60 && c.green() < 40 && c.blue() < 40;
    }
  EXPECT_GT(dark, 5);
  file->close();
  QApplication::setStyle(QStyleFactory::create(before));
}
