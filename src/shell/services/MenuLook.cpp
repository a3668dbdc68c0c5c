#include "shell/services/MenuLook.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <algorithm>

#include "pixel/ImgUtils.h"
#include "platform/core/Colors.h"
#include "platform/qt/SystemColors.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/ShortcutKeys.h"

namespace qm {
namespace {

constexpr char kOwnerDrawnProperty[] = "qmOwnerDrawnMenu";

QColor ToQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
QColor Mix(const QColor& a, const QColor& b, int percent) {
  return ToQColor(MixColors(QColorToColor(a), QColorToColor(b), percent));
}

// The colours of the look, from the desktop's palette.
struct TMenuColors {
  QColor Menu, MenuText, Highlight, HighlightText, GrayText, ButtonFace, ButtonShadow;
  QColor Band, HighlightStart, HighlightEnd, Shortcut;
  explicit TMenuColors(const QPalette& pal)
      : Menu(ColorToQColor(clMenu, pal)), MenuText(ColorToQColor(clMenuText, pal)),
        Highlight(ColorToQColor(clHighlight, pal)), HighlightText(ColorToQColor(clHighlightText, pal)),
        GrayText(ColorToQColor(clGrayText, pal)), ButtonFace(ColorToQColor(clBtnFace, pal)),
        ButtonShadow(ColorToQColor(clBtnShadow, pal)), Band(Mix(Menu, ToQColor(kMenuBandTint), kMenuBandPercent)),
        HighlightStart(Mix(Menu, Highlight, 77)), HighlightEnd(Mix(Menu, Highlight, 33)),
        Shortcut(ToQColor(kMenuShortcutColor)) {}
};

// A horizontal gradient drawn column by column: column i of n takes a + (b - a) × i / n
// per channel, truncated.
void FillGradient(QPainter& p, const QRect& r, const QColor& a, const QColor& b) {
  const int n = r.width();
  for (int i = 0; i < n; ++i) {
    auto ch = [&](int x, int y) { return x + (y - x) * i / n; };
    p.fillRect(QRect(r.left() + i, r.top(), 1, r.height()),
               QColor(ch(a.red(), b.red()), ch(a.green(), b.green()), ch(a.blue(), b.blue())));
  }
}

// The caption and the shortcut text of a menu item's text, split at its tab.
void SplitShortcut(const QString& text, QString& caption, QString& shortcut) {
  const qsizetype tab = text.indexOf(u'\t');
  caption = tab < 0 ? text : text.left(tab);
  shortcut = tab < 0 ? QString() : text.mid(tab + 1);
}

// The option with its shortcut spelled our way.
QStyleOptionMenuItem Respelled(const QStyleOptionMenuItem& item, QString& caption, QString& shortcut) {
  SplitShortcut(item.text, caption, shortcut);
  QStyleOptionMenuItem o(item);
  if (!shortcut.isEmpty()) {
    shortcut = MenuShortcutText(shortcut);
    o.text = caption + u'\t' + shortcut;
  }
  return o;
}

QFont ItemFont(const QStyleOptionMenuItem& item) {
  QFont f = item.font;
  if (item.menuItemType == QStyleOptionMenuItem::DefaultItem) f.setBold(true);
  return f;
}

// The check mark in the band: a tick, or a dot for an item of a radio group.
void DrawCheck(QPainter& p, const QRect& box, bool exclusive, const QColor& color) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = QRectF(box).center();
  if (exclusive) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(c, 3, 3);
  } else {
    p.setPen(QPen(color, 1.6));
    const QPointF tick[] = {c + QPointF(-3.5, 0), c + QPointF(-1, 2.5), c + QPointF(3.5, -2.5)};
    p.drawPolyline(tick, 3);
  }
  p.restore();
}

void DrawSubMenuArrow(QPainter& p, const QRect& r, const QColor& color) {
  const int x = r.right() - kMenuItemInset / 2 - 2, y = r.center().y();
  const QPoint arrow[] = {QPoint(x, y - 3), QPoint(x + 3, y), QPoint(x, y + 3)};
  p.save();
  p.setPen(color);
  p.setBrush(color);
  p.drawPolygon(arrow, 3);
  p.restore();
}

// The width QMenu adds to each of its items for the shortcut column: the widest of its
// items' shortcuts in Qt's spelling, as it measures them. Outside a menu, the item's
// own.
int QtShortcutColumn(const QStyleOptionMenuItem& item, const QString& qtSpelling, const QWidget* widget) {
  const QFontMetrics fm = widget ? widget->fontMetrics() : item.fontMetrics;
  int widest = qtSpelling.isEmpty() ? 0 : fm.horizontalAdvance(qtSpelling);
  if (const auto* menu = qobject_cast<const QMenu*>(widget))
    for (const QAction* a : menu->actions()) {
      if (!a->isVisible() || a->isSeparator()) continue;
      const qsizetype tab = a->text().indexOf(u'\t');
      // An item whose shortcut a pop-up may leave out counts only when it shows, as
      // under-counting only widens the menu.
      const QString shown = tab >= 0 ? a->text().mid(tab + 1)
                            : a->isShortcutVisibleInContextMenu() ? a->shortcut().toString(QKeySequence::NativeText)
                                                                  : QString();
      if (!shown.isEmpty()) widest = std::max(widest, fm.horizontalAdvance(shown));
    }
  return widest;
}

QString DesktopStyleName() {
  const QStyle* s = QApplication::style();
  if (const auto* ours = dynamic_cast<const TMenuStyle*>(s)) s = ours->baseStyle();
  return s ? s->name() : QStringLiteral("Fusion");
}

TMenuStyle* OwnerDrawnStyle() {
  static QPointer<TMenuStyle> style;
  if (!style) {
    style = new TMenuStyle(TMenuLook::OwnerDrawn);
    style->setParent(qApp);  // freed with the application
  }
  return style;
}

}  // namespace

int MenuItemWidth(const QFontMetrics& fm, const QString& caption, const QString& shortcut) {
  int w = fm.horizontalAdvance(QString::fromStdString(StripHotkey(caption.toStdString())) + u'X');
  if (!shortcut.isEmpty()) w += fm.horizontalAdvance(QStringLiteral("XXX") + shortcut);
  return w + 2 * kMenuItemInset;
}

QString MenuShortcutText(const QString& shown) {
  const QKeySequence seq = QKeySequence::fromString(shown, QKeySequence::NativeText);
  if (seq.count() != 1 || seq[0].keyboardModifiers().testFlag(Qt::MetaModifier)) return shown;
  const TShortcut s = KeySequenceToShortcut(seq);
  const std::string text = s ? ShortCutToText(s) : std::string();
  return text.empty() ? shown : QString::fromStdString(text);
}

TMenuStyle::TMenuStyle(TMenuLook look, QStyle* base)
    : QProxyStyle(base ? base : QStyleFactory::create(DesktopStyleName())), look_(look) {}

void TMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (!item) {
    QProxyStyle::drawControl(element, option, painter, widget);
    return;
  }
  QString caption, shortcut;
  const QStyleOptionMenuItem o = Respelled(*item, caption, shortcut);
  const bool owner = look_ == TMenuLook::OwnerDrawn;
  const TMenuColors colors(o.palette);
  const bool enabled = o.state & State_Enabled;
  const bool selected = o.state & State_Selected;
  const QColor text = !enabled ? colors.GrayText : selected ? colors.HighlightText : colors.MenuText;
  const int mnemonic = styleHint(SH_UnderlineShortcut, &o, widget) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
  QPainter& p = *painter;

  if (owner && element == CE_MenuBarItem) {
    QRect r = o.rect;
    if (selected) {
      r.adjust(1, 1, -1, -1);
      p.fillRect(r, colors.Highlight);
      FillGradient(p, r.adjusted(1, 1, -1, -1), colors.HighlightStart, colors.HighlightEnd);
    } else {
      p.fillRect(r, colors.ButtonFace);
    }
    p.setFont(o.font);
    p.setPen(text);
    p.drawText(o.rect, Qt::AlignCenter | Qt::TextSingleLine | mnemonic, caption);
    return;
  }
  if (owner && element == CE_MenuBarEmptyArea) {
    p.fillRect(o.rect, colors.ButtonFace);
    return;
  }
  if (owner && element == CE_MenuEmptyArea) {
    drawPrimitive(PE_PanelMenu, option, painter, widget);
    return;
  }
  if (element != CE_MenuItem || !owner) {
    QProxyStyle::drawControl(element, &o, painter, widget);
    return;
  }

  const QRect r = o.rect;
  const QRect band(r.left(), r.top(), kMenuBandWidth, r.height());
  if (o.menuItemType == QStyleOptionMenuItem::Separator) {
    p.fillRect(r, colors.Menu);
    FillGradient(p, band, colors.Band, colors.Menu);
    FillGradient(p, QRect(r.left(), r.top() + 4, r.width(), 1), colors.ButtonShadow, colors.Menu);
    return;
  }
  if (selected) {
    p.fillRect(r, colors.Highlight);
    FillGradient(p, r.adjusted(1, 1, -1, -1), colors.HighlightStart, colors.HighlightEnd);
  } else {
    p.fillRect(r, colors.Menu);
    FillGradient(p, band, colors.Band, colors.Menu);
  }
  if (o.checkType != QStyleOptionMenuItem::NotCheckable && o.checked)
    DrawCheck(p, QRect(r.left(), r.top(), kMenuItemInset, r.height()), o.checkType == QStyleOptionMenuItem::Exclusive,
              text);
  p.setFont(ItemFont(o));
  const QRect textRect = r.adjusted(kMenuItemInset, 0, -kMenuItemInset, 0);
  const int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs;
  p.setPen(text);
  p.drawText(textRect, flags | Qt::AlignLeft | mnemonic, caption);
  if (!shortcut.isEmpty()) {
    p.setPen(enabled && !selected ? colors.Shortcut : text);
    p.drawText(textRect, flags | Qt::AlignRight, shortcut);
  }
  if (o.menuItemType == QStyleOptionMenuItem::SubMenu) DrawSubMenuArrow(p, r, text);
}

void TMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
  if (look_ == TMenuLook::OwnerDrawn && (element == PE_PanelMenu || element == PE_PanelMenuBar)) {
    const TMenuColors colors(option->palette);
    if (element == PE_PanelMenuBar) {
      painter->fillRect(option->rect, colors.ButtonFace);
      return;
    }
    // The band runs on above and below the items, where they start.
    painter->fillRect(option->rect, colors.Menu);
    const int left = option->rect.left() + pixelMetric(PM_MenuPanelWidth, option, widget) +
                     pixelMetric(PM_MenuHMargin, option, widget);
    FillGradient(*painter, QRect(left, option->rect.top(), kMenuBandWidth, option->rect.height()), colors.Band,
                 colors.Menu);
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize TMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (type != CT_MenuItem || !item) return QProxyStyle::sizeFromContents(type, option, size, widget);
  QString caption, shortcut;
  const QStyleOptionMenuItem o = Respelled(*item, caption, shortcut);
  const QSize desktop = QProxyStyle::sizeFromContents(type, &o, size, widget);
  if (o.menuItemType == QStyleOptionMenuItem::Separator)
    return look_ == TMenuLook::OwnerDrawn ? QSize(desktop.width(), kMenuSeparatorHeight) : desktop;
  // QMenu adds to every item the widest shortcut it measured itself, in Qt's spelling:
  // each item gives it back, so the menu ends as wide as its widest item spelled ours.
  const int reserved =
      QtShortcutColumn(o, shortcut.isEmpty() ? QString() : item->text.mid(caption.size() + 1), widget);
  const QFontMetrics fm(ItemFont(o));
  // An item narrower than the shortcut column still has a width: QMenu leaves out an
  // item of empty size ("Import" under "Shift+Ctrl+W").
  const int width = look_ == TMenuLook::Desktop ? desktop.width() + fm.horizontalAdvance(shortcut) - reserved
                                                : MenuItemWidth(fm, caption, shortcut) - reserved;
  return QSize(std::max(1, width), desktop.height());
}

void InstallMenuLook(QApplication& app) {
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  if (!dynamic_cast<TMenuStyle*>(app.style())) QApplication::setStyle(new TMenuStyle(TMenuLook::Desktop));
}

void InstallOwnerDrawMenu(QMenu* menu) {
  if (!menu) return;
  menu->setStyle(OwnerDrawnStyle());
  if (!menu->property(kOwnerDrawnProperty).toBool()) {
    menu->setProperty(kOwnerDrawnProperty, true);
    // Sub-menus added since get the look before they can open.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
      for (QAction* a : menu->actions())
        if (a->menu() && a->menu()->style() != OwnerDrawnStyle()) InstallOwnerDrawMenu(a->menu());
    });
  }
  for (QAction* a : menu->actions()) InstallOwnerDrawItem(a);
}

void InstallOwnerDrawMainMenu(QMenuBar* bar, bool includeTopLevel) {
  if (!bar) return;
  if (includeTopLevel) bar->setStyle(OwnerDrawnStyle());
  for (QAction* a : bar->actions()) InstallOwnerDrawItem(a);
}

void InstallOwnerDrawItem(QAction* item) {
  if (item && item->menu()) InstallOwnerDrawMenu(item->menu());
}

}  // namespace qm
