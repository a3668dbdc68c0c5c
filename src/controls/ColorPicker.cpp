#include "controls/ColorPicker.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>
#include <algorithm>

#include "platform/qt/SystemColors.h"

namespace qm {
namespace {

struct TShared {
  QString CustomText, DefaultText;
  TColor DefaultColor = clNone;
  bool ShowHints = false;
};

TShared& Shared() {
  static TShared shared;
  return shared;
}

}  // namespace

void SetColorEditCustomText(const QString& text) { Shared().CustomText = text; }
const QString& ColorEditCustomText() { return Shared().CustomText; }
void SetColorEditDefaultText(const QString& text) { Shared().DefaultText = text; }
const QString& ColorEditDefaultText() { return Shared().DefaultText; }
void SetColorEditDefaultColor(TColor c) { Shared().DefaultColor = c; }
TColor ColorEditDefaultColor() { return Shared().DefaultColor; }
void SetColorEditShowHints(bool on) { Shared().ShowHints = on; }
bool ColorEditShowHints() { return Shared().ShowHints; }

QPoint PlaceColorPopup(const QRect& anchor, const QSize& popup, const QRect& screen) {
  int y = anchor.bottom();
  if (y + popup.height() > screen.bottom() + 1) {
    y = screen.bottom() + 1 - popup.height();
    if (y < anchor.top()) y = anchor.top() - popup.height();
  }
  int x = anchor.left();
  if (x + popup.width() > screen.right() + 1) x = screen.right() + 1 - popup.width();
  return QPoint(std::max(x, screen.left()), y);
}

TColorPicker::TColorPicker(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  resize(sizeHint());
}

TColorPicker::~TColorPicker() {
  // The popup is our child: gone with us, without telling anyone it closed.
  OnDropChanged = nullptr;
  OnHint = nullptr;
  delete popup_.data();
}

QSize TColorPicker::sizeHint() const { return QSize(40 + dropDownWidth_, fontMetrics().height() + 8); }

void TColorPicker::SetSelectionColor(TColor c) {
  selectionColor_ = c;
  update();
  if (OnChange) OnChange();
}

void TColorPicker::SetIndicatorBorder(TIndicatorBorder b) {
  indicatorBorder_ = b;
  update();
}

void TColorPicker::SetMargin(int m) {
  margin_ = std::max(0, m);
  update();
}

void TColorPicker::SetTransparent(bool on) {
  transparent_ = on;
  update();
}

void TColorPicker::SetDropDownWidth(int w) {
  dropDownWidth_ = std::max(0, w);
  updateGeometry();
  update();
}

QRect TColorPicker::ArrowRect() const {
  return dropDownWidth_ > 0 ? QRect(width() - dropDownWidth_, 0, dropDownWidth_, height()) : QRect();
}

QRect TColorPicker::IndicatorRect() const {
  return QRect(0, 0, width() - dropDownWidth_, height()).adjusted(margin_, margin_, -margin_, -margin_);
}

bool TColorPicker::DroppedDown() const { return popup_ && popup_->isVisible(); }

void TColorPicker::DropDown() {
  if (!isEnabled() || DroppedDown()) return;
  bool allow = true;
  if (OnDropChanging) OnDropChanging(allow);
  if (!allow) return;
  if (!popup_) popup_ = new TColorPopup(*this);
  popup_->Prepare();
  PlacePopup();
  popup_->show();
  popup_->setFocus(Qt::PopupFocusReason);
  update();
  if (OnDropChanged) OnDropChanged();
}

void TColorPicker::CloseUp() {
  if (DroppedDown()) popup_->close();
}

void TColorPicker::PlacePopup() {
  if (!popup_) return;
  const QScreen* s = screen();
  const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
  popup_->move(PlaceColorPopup(QRect(mapToGlobal(QPoint(0, 0)), size()), popup_->size(), area));
}

void TColorPicker::PopupClosed() {
  pressed_ = false;
  update();
  if (OnDropChanged) OnDropChanged();
}

void TColorPicker::ShowHint(const QString& hint) {
  if (OnHint) OnHint(hint);
}

void TColorPicker::DefaultSelect() {
  if (const TColor c = ColorEditDefaultColor(); c != clNone) SetSelectionColor(c);
  if (OnDefaultSelect) OnDefaultSelect();
}

void TColorPicker::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  pressed_ = true;
  update();
  if (clickDropDown_ || ArrowRect().contains(e->position().toPoint())) DropDown();
}

void TColorPicker::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const bool wasPressed = pressed_;
  pressed_ = false;
  update();
  if (wasPressed && !DroppedDown() && rect().contains(e->position().toPoint()) && OnClick) OnClick();
}

void TColorPicker::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && OnDblClick) OnDblClick();
}

void TColorPicker::keyPressEvent(QKeyEvent* e) {
  const bool alt = e->modifiers().testFlag(Qt::AltModifier);
  if (e->key() == Qt::Key_F4 || (alt && e->key() == Qt::Key_Down)) DropDown();
  else if (e->key() == Qt::Key_Space && OnClick) OnClick();
  else QWidget::keyPressEvent(e);
}

void TColorPicker::enterEvent(QEnterEvent* e) {
  hot_ = true;
  update();
  QWidget::enterEvent(e);
}

void TColorPicker::leaveEvent(QEvent* e) {
  hot_ = false;
  update();
  QWidget::leaveEvent(e);
}

void TColorPicker::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  if (!transparent_) p.fillRect(rect(), pal.color(QPalette::Button));
  // A flat button: its edge shows only under the pointer, sunken while pressed.
  if (isEnabled() && (hot_ || pressed_ || DroppedDown())) qDrawShadePanel(&p, rect(), pal, pressed_ || DroppedDown(), 1);

  const QRect r = IndicatorRect();
  if (r.width() > 0 && r.height() > 0) {
    const bool none = selectionColor_ == clNone;
    const QColor fill = none ? pal.color(QPalette::Base) : ColorToQColor(selectionColor_, pal);
    switch (indicatorBorder_) {
      case ibNone:
        p.fillRect(r, fill);
        break;
      case ibFlat:
        p.fillRect(r, fill);
        p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, isEnabled() ? QPalette::Dark : QPalette::Text));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        break;
      case ibSunken:
      case ibRaised: {
        const QBrush brush(fill);
        qDrawShadePanel(&p, r, pal, indicatorBorder_ == ibSunken, 1, &brush);
        break;
      }
    }
    if (none) {  // no colour: a diagonal stroke through the empty indicator
      p.setPen(pal.color(QPalette::Dark));
      p.drawLine(r.bottomLeft() + QPoint(2, -2), r.topRight() + QPoint(-2, 2));
    }
  }
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = r.adjusted(-1, -1, 1, 1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
  if (dropDownWidth_ > 0) {
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = ArrowRect().adjusted(2, 0, -2, 0);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);
  }
}

}  // namespace qm
