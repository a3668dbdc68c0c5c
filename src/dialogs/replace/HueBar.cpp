#include "dialogs/replace/HueBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "pixel/ColorAdjust.h"
#include "platform/qt/QtBitmap.h"

namespace qm {

THueBar::THueBar(QWidget* parent) : QWidget(parent), bar_(kWidth, 1, QImage::Format_RGB32) {
  setFixedSize(kWidth, kHeight);
  setCursor(Qt::CrossCursor);
  for (int x = 0; x < kWidth; ++x) bar_.setPixel(x, 0, ColorToQRgb(HueColor(x)));
}

void THueBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(rect(), bar_);
}

void THueBar::Pick(int x) {
  if (OnPick) OnPick(std::clamp(x, 0, kWidth - 1));
}

void THueBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Pick(e->position().toPoint().x());
}

void THueBar::mouseMoveEvent(QMouseEvent* e) {
  if (e->buttons() & Qt::LeftButton) Pick(e->position().toPoint().x());
}

THueSwatch::THueSwatch(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setMinimumSize(sizeHint());
}

void THueSwatch::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void THueSwatch::paintEvent(QPaintEvent* e) {
  {
    QPainter p(this);
    p.fillRect(contentsRect(), QColor(ColorToQRgb(color_)));
  }
  QFrame::paintEvent(e);
}

TBitmapPicture::TBitmapPicture(QWidget* parent, int width, int height) : QFrame(parent) {
  setFixedSize(width, height);
}

void TBitmapPicture::SetBitmap(const TBitmap* bitmap) {
  bitmap_ = bitmap && bitmap->PixelFormat() == pf24bit && !bitmap->Empty() ? bitmap : nullptr;
  update();
}

void TBitmapPicture::paintEvent(QPaintEvent*) {
  if (!bitmap_) return;
  QPainter p(this);
  p.drawImage(QPoint(0, 0), BitmapAsQImage(*bitmap_));
}

}  // namespace qm
