#include "controls/UpDown.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace qm {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  repeat_.setSingleShot(false);
  connect(&repeat_, &QTimer::timeout, this, [this] {
    repeat_.setInterval(80);
    Fire();
  });
}

void TUpDown::SetOrientation(TUDOrientation o) {
  if (o == orientation_) return;
  orientation_ = o;
  updateGeometry();
  update();
}

QSize TUpDown::sizeHint() const {
  const int e = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return orientation_ == TUDOrientation::Vertical ? QSize(13, 2 * e) : QSize(2 * e, 13);
}

QRect TUpDown::HalfRect(TUDBtnType half) const {
  // Of an odd size, the middle line belongs to neither half.
  if (orientation_ == TUDOrientation::Vertical) {
    const int h = height() / 2;
    return half == btNext ? QRect(0, 0, width(), h) : QRect(0, height() - h, width(), h);
  }
  const int w = width() / 2;
  return half == btPrev ? QRect(0, 0, w, height()) : QRect(width() - w, 0, w, height());
}

TUDBtnType TUpDown::HalfAt(QPoint p) const {
  if (orientation_ == TUDOrientation::Vertical) return p.y() < height() / 2 ? btNext : btPrev;
  return p.x() < width() / 2 ? btPrev : btNext;
}

void TUpDown::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (TUDBtnType half : {btNext, btPrev}) {
    QStyleOption opt;
    opt.initFrom(this);
    opt.rect = HalfRect(half);
    opt.state |= (down_ == int(half)) ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &painter, this);
    QStyle::PrimitiveElement arrow;
    if (orientation_ == TUDOrientation::Vertical)
      arrow = half == btNext ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown;
    else
      arrow = half == btNext ? QStyle::PE_IndicatorArrowRight : QStyle::PE_IndicatorArrowLeft;
    opt.rect = opt.rect.adjusted(2, 2, -2, -2);
    style()->drawPrimitive(arrow, &opt, &painter, this);
  }
}

void TUpDown::Fire() {
  if (down_ >= 0 && OnClick) OnClick(TUDBtnType(down_));
}

void TUpDown::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  down_ = int(HalfAt(e->position().toPoint()));
  update();
  Fire();
  if (autoRepeat_) {
    repeat_.setInterval(400);
    repeat_.start();
  }
}

void TUpDown::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  repeat_.stop();
  down_ = -1;
  update();
}

void TUpDown::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange && !isEnabled()) {
    repeat_.stop();
    down_ = -1;
  }
  QWidget::changeEvent(e);
}

}  // namespace qm
