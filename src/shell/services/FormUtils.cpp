#include "shell/services/FormUtils.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "platform/texts/Format.h"

namespace qm {
namespace {

TFormCreationHook& Hook() {
  static TFormCreationHook hook;
  return hook;
}

struct TGlyphs {
  std::vector<QPixmap> Normal, Disabled;
  bool Advanced = false;
};
TGlyphs& Glyphs() {
  static TGlyphs glyphs;
  return glyphs;
}

}  // namespace

void SetFormCreationHook(TFormCreationHook hook) { Hook() = std::move(hook); }

void CallFormCreationHook(QWidget* form) {
  if (Hook() && form) Hook()(form);
}

void KeepUntilQuit(QWidget* form) {
  if (!form || !QCoreApplication::instance()) return;
  QPointer<QWidget> guard(form);
  QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, form, [guard] { delete guard.data(); });
}

void SetEnabledRecursive(QWidget* container, bool enabled) {
  if (!container) return;
  const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (auto it = children.rbegin(); it != children.rend(); ++it) SetEnabledRecursive(*it, enabled);
  container->setEnabled(enabled);
}

void EnableSubItems(QAction* item, bool enabled) {
  if (item && item->menu()) EnableMenuItems(item->menu(), enabled);
}

void EnableMenuItems(QMenu* menu, bool enabled) {
  if (!menu) return;
  for (QAction* a : menu->actions()) a->setEnabled(enabled);
}

QAction* GetCheckedSubItem(QAction* item) {
  if (!item || !item->menu()) return nullptr;
  for (QAction* a : item->menu()->actions())
    if (a->isChecked()) return a;
  return nullptr;
}

void SetCursorById(Qt::CursorShape cursor) {
  if (cursor == Qt::ArrowCursor) {
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  } else if (QGuiApplication::overrideCursor()) {
    QGuiApplication::changeOverrideCursor(QCursor(cursor));
  } else {
    QGuiApplication::setOverrideCursor(QCursor(cursor));
  }
}

void AppendShortcutText(QWidget* control, const QAction* item, const std::string& text) {
  if (!control) return;
  const std::string shortcut = item ? item->shortcut().toString(QKeySequence::NativeText).toStdString() : text;
  control->setToolTip(control->toolTip() + QString::fromStdString(Format(" [%s]", {shortcut})));
}

void SetGlyphLists(std::vector<QPixmap> normal, std::vector<QPixmap> disabled, bool advancedDisplay) {
  Glyphs() = TGlyphs{std::move(normal), std::move(disabled), advancedDisplay};
}

void SetButtonGlyph(int index, QAbstractButton* button) {
  const TGlyphs& g = Glyphs();
  if (!button || index < 0 || size_t(index) >= g.Normal.size()) return;
  QIcon icon(g.Normal[size_t(index)]);
  if (g.Advanced && size_t(index) < g.Disabled.size()) icon.addPixmap(g.Disabled[size_t(index)], QIcon::Disabled);
  button->setIcon(icon);
}

void SetPatternButtonGlyph(QAbstractButton* button) { SetButtonGlyph(1, button); }
void SetFolderButtonGlyph(QAbstractButton* button) { SetButtonGlyph(3, button); }
void SetColorButtonGlyph(QAbstractButton* button) {
  SetButtonGlyph(52, button);
  if (!button || !button->icon().isNull()) return;
  // Without the main window's glyph lists: a dropper of our own, so that a flat button
  // never shows empty.
  QPixmap glyph(16, 16);
  glyph.fill(Qt::transparent);
  QPainter p(&glyph);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(2.5, 13.5), QPointF(9.5, 6.5));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 40, 40));
  p.drawEllipse(QPointF(11.5, 4.5), 3.2, 3.2);
  p.end();
  button->setIcon(QIcon(glyph));
}

void FillFontList(QComboBox* combo) {
  if (!combo) return;
  QStringList names;
  for (const QString& family : QFontDatabase::families())
    if (family.size() <= 32 && QFontDatabase::isSmoothlyScalable(family)) names << family;
  std::sort(names.begin(), names.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  names.removeDuplicates();
  combo->clear();
  combo->addItems(names);
  const int arial = combo->findText(QStringLiteral("Arial"));
  combo->setCurrentIndex(arial >= 0 ? arial : (names.isEmpty() ? -1 : 0));
}

}  // namespace qm
