#include "shell/services/FormUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QToolBar>
#include <algorithm>

#include "pixel/ColorAdjust.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/ShortcutKeys.h"

namespace qm {
namespace {

// The shadow of a shaded glyph: a third of black (of 255).
constexpr int kGlyphShadowAlpha = 84;
// How far a disabled glyph's greys move toward the button face.
constexpr int kDisabledTintPercent = 50;
// Set on an action whose glyph is shaded already.
constexpr char kShadedProperty[] = "qmShadedGlyph";

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
  const std::string shortcut = item ? ShortCutToText(KeySequenceToShortcut(item->shortcut())) : text;
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
void SetFolderButtonGlyph(QAbstractButton* button) {
  SetButtonGlyph(3, button);
  if (button && button->toolTip().isEmpty()) button->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntChooseFolder)));
}
void SetColorButtonGlyph(QAbstractButton* button) {
  SetButtonGlyph(52, button);
  if (button && button->toolTip().isEmpty()) button->setToolTip(QString::fromStdString(Tr(TextId::GetTrHntPickColor)));
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

QPixmap ShadedGlyph(const QPixmap& glyph) {
  const QImage source = glyph.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage shadow = source;
  {
    QPainter p(&shadow);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(shadow.rect(), QColor(0, 0, 0, kGlyphShadowAlpha));
  }
  QImage out(source.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.drawImage(1, 1, shadow);
  p.drawImage(0, 0, source);
  p.end();
  QPixmap shaded = QPixmap::fromImage(out);
  shaded.setDevicePixelRatio(glyph.devicePixelRatio());
  return shaded;
}

QPixmap DisabledGlyph(const QPixmap& glyph) {
  const QImage source = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
  // the colours tinted by the engine's kernel (its key a colour no glyph uses: every
  // pixel is a grey of the glyph), the glyph's own alpha kept
  TBitmap greys = BitmapFromQImage(source);
  const TColor face = QRgbToColor(QApplication::palette().color(QPalette::Button).rgb());
  GrayTintBitmap(greys, RGB(255, 0, 255), face, kDisabledTintPercent);
  QImage out = BitmapAsQImage(std::as_const(greys)).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    const auto* alpha = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) row[x] = (row[x] & 0x00FFFFFF) | (alpha[x] & 0xFF000000);
  }
  QPixmap disabled = QPixmap::fromImage(out);
  disabled.setDevicePixelRatio(glyph.devicePixelRatio());
  return disabled;
}

void ShadeToolBarGlyphs(QToolBar* bar) {
  if (!bar) return;
  for (QAction* a : bar->actions()) {
    const QIcon plain = a->icon();
    if (plain.isNull() || a->property(kShadedProperty).toBool()) continue;
    const QList<QSize> sizes = plain.availableSizes();
    const QPixmap glyph = plain.pixmap(sizes.isEmpty() ? bar->iconSize() : sizes.first());
    if (glyph.isNull()) continue;
    QIcon icon(ShadedGlyph(glyph));
    icon.addPixmap(DisabledGlyph(glyph), QIcon::Disabled);
    a->setIcon(icon);
    a->setProperty(kShadedProperty, true);
  }
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
