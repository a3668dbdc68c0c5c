#include "controls/PrevNextButton.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>

#include "controls/HintNames.h"

namespace qm {

TMyUpDown::TMyUpDown(QWidget* parent) : TUpDown(parent) { SetAutoRepeat(false); }

void TMyUpDown::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  pressed_ = true;
  down_ = int(HalfAt(e->position().toPoint()));
  update();
  if (clickMode_ == cmDown) {
    // The click comes from a release of our own, so a held press clicks once.
    const QPointF at = e->position();
    QTimer::singleShot(100, this, [this, at] {
      if (!pressed_) return;
      QCoreApplication::postEvent(this, new QMouseEvent(QEvent::MouseButtonRelease, at, mapToGlobal(at),
                                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
  }
}

void TMyUpDown::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const bool wasPressed = pressed_;
  pressed_ = false;
  down_ = -1;
  update();
  // Inside the visible part: the owner's rectangle.
  const QWidget* owner = parentWidget();
  const QPoint p = mapTo(owner ? owner : this, e->position().toPoint());
  const QRect area = owner ? owner->rect() : rect();
  if (wasPressed && area.contains(p) && OnRelease) OnRelease();
}

TPrevNextButton::TPrevNextButton(QWidget* parent) : QWidget(parent), upDown_(new TMyUpDown(this)) {
  MarkShowsNoText(this);
  upDown_->setObjectName(QStringLiteral("MyUpDown"));
  upDown_->OnRelease = [this] {
    if (OnClick) OnClick();
  };
  const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  resize(side, side);
  LayOut();
}

QSize TPrevNextButton::sizeHint() const {
  const int side = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return QSize(side, side);
}

void TPrevNextButton::SetStyle(TPNStyle s) {
  style_ = s;
  LayOut();
}

void TPrevNextButton::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  LayOut();
}

void TPrevNextButton::LayOut() {
  // Only the half pointing the style's way shows: the up-down is twice our size plus
  // one along the arrow's axis, and the other half lies outside.
  const int w = width(), h = height();
  switch (style_) {
    case stDown:
      upDown_->SetOrientation(TUDOrientation::Vertical);
      upDown_->setGeometry(0, -(h + 1), w, 2 * h + 1);
      break;
    case stUp:
      upDown_->SetOrientation(TUDOrientation::Vertical);
      upDown_->setGeometry(0, 0, w, 2 * h + 1);
      break;
    case stRight:
      upDown_->SetOrientation(TUDOrientation::Horizontal);
      upDown_->setGeometry(-(w + 1), 0, 2 * w + 1, h);
      break;
    case stLeft:
      upDown_->SetOrientation(TUDOrientation::Horizontal);
      upDown_->setGeometry(0, 0, 2 * w + 1, h);
      break;
  }
}

}  // namespace qm
