#pragma once
// The look of the editor's menus, drawn by a style over the desktop's: a band tinted
// towards violet down the left of every drop-down item, a gradient highlight, the
// check mark in the band, bold default items and the shortcut right-aligned in dark
// red. Whatever the look, every menu of the process spells its shortcuts with
// ShortCutToText (ShortcutKeys.h), the text the command set keeps on each action.
#include <QProxyStyle>

#include "platform/core/Types.h"

class QAction;
class QApplication;
class QMenu;
class QMenuBar;

namespace qm {

enum class TMenuLook {
  Desktop,     // the desktop's own drawing; only the shortcut texts are ours
  OwnerDrawn,  // the editor's look
};

class TMenuStyle : public QProxyStyle {
 public:
  // Over base (taken over), or over a fresh instance of the desktop's style.
  explicit TMenuStyle(TMenuLook look, QStyle* base = nullptr);
  TMenuLook Look() const { return look_; }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;

 private:
  TMenuLook look_;
};

// The owner-drawn look's constants: the band's width, the insets of an item's caption
// (the check mark sits in the left one) and the shortcut's colour, dark red; the
// band runs from violet mixed into the menu colour (12 %) to the menu colour.
inline constexpr TColor kMenuBandTint = 0x110033;
inline constexpr int kMenuBandPercent = 12;
inline constexpr int kMenuBandWidth = 77;
inline constexpr int kMenuItemInset = 16;
inline constexpr int kMenuSeparatorHeight = 9;  // its line runs 4 pixels below its top
inline constexpr TColor kMenuShortcutColor = 0x000080;

// The width the owner-drawn look measures for a drop-down item: the caption (without
// its accelerator mark) and an "X", then "XXX" and the shortcut when there is one,
// and the insets on both sides.
int MenuItemWidth(const QFontMetrics& fm, const QString& caption, const QString& shortcut);

// The shortcut text a menu shows after the tab of an item's text (Qt writes there its
// own spelling of the item's key sequence) spelled with ShortCutToText; a text that
// names no key of ours stays as it is.
QString MenuShortcutText(const QString& shown);

// Once at start, before the first menu bar is made: the desktop's global menu bar off
// (the menus stay in the window, where the style draws them) and every menu of the
// process spelling its shortcuts with ShortCutToText.
void InstallMenuLook(QApplication& app);

// The owner-drawn look on a menu and its sub-menus (also those added later); on the
// drop-downs of a menu bar, and on the bar itself when includeTopLevel; on the
// sub-menu of one item.
void InstallOwnerDrawMenu(QMenu* menu);
void InstallOwnerDrawMainMenu(QMenuBar* bar, bool includeTopLevel);
void InstallOwnerDrawItem(QAction* item);

}  // namespace qm
