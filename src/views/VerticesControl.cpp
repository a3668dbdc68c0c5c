#include "views/VerticesControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "document/Shapes.h"
#include "platform/core/Numeric.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

// The pen of outlines being drawn or dragged, XORed onto the image.
constexpr TColor kXorPen = 0xFFD8CE;

TPoint ToImage(const TMyImage& view, const QPoint& p) { return view.ClientToImagePoint(TPoint{p.x(), p.y()}); }
QPoint ToClient(const TMyImage& view, TPoint p) {
  const TPoint c = view.ImageToClientPoint(p);
  return QPoint(c.X, c.Y);
}

}  // namespace

TVerticesControl::TVerticesControl(TMyImage& image) : Image(image) { Image.AddOverlay(this); }

TVerticesControl::~TVerticesControl() { Image.RemoveOverlay(this); }

void TVerticesControl::Changed(TVerticesChange code) {
  if (OnChange) OnChange(*this, code);
}

void TVerticesControl::Show() {
  if (shown_) return;
  shown_ = true;
  activeVertex_ = -1;
  Image.InvalidateClientRect(ScreenBounds());
}

void TVerticesControl::Hide() {
  if (!shown_) return;
  shown_ = false;
  activeVertex_ = -1;
  Image.InvalidateClientRect(ScreenBounds());
  Image.RefreshCursor();
}

void TVerticesControl::UpdateMidpoints() {
  for (int i = 0; i < 4; ++i) {
    const TPoint a = points_[size_t(i)], b = points_[size_t((i + 1) % 4)];
    points_[size_t(4 + i)] = TPoint{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
  }
}

QRect TVerticesControl::ScreenBounds() const {
  QRect r;
  for (const TPoint& p : points_) r = r.united(QRect(ToClient(Image, p), QSize(1, 1)));
  const int reach = DrawSize / 2 + 1;
  return r.adjusted(-reach, -reach, reach + 1, reach + 1);
}

void TVerticesControl::SetPoints(const TPoints& pts) {
  const QRect before = ScreenBounds();
  points_ = pts;
  UpdateMidpoints();
  if (shown_) Image.InvalidateClientRect(before.united(ScreenBounds()));
}

void TVerticesControl::SetCornersFromRect(const TRect& r) {
  TPoints p = points_;
  p[0] = TPoint{r.Left, r.Top};
  p[1] = TPoint{r.Right, r.Top};
  p[2] = TPoint{r.Right, r.Bottom};
  p[3] = TPoint{r.Left, r.Bottom};
  SetPoints(p);
}

TRect TVerticesControl::GetBoundsRect() const {
  TRect r{points_[0].X, points_[0].Y, points_[0].X, points_[0].Y};
  for (int i = 1; i < 4; ++i) {
    r.Left = std::min(r.Left, points_[size_t(i)].X);
    r.Top = std::min(r.Top, points_[size_t(i)].Y);
    r.Right = std::max(r.Right, points_[size_t(i)].X);
    r.Bottom = std::max(r.Bottom, points_[size_t(i)].Y);
  }
  return r;
}

int TVerticesControl::HitTest(const QPoint& p) const {
  for (int i = 0; i < 8; ++i) {
    const QPoint s = ToClient(Image, points_[size_t(i)]);
    if (std::abs(s.x() - p.x()) <= HitSize / 2 && std::abs(s.y() - p.y()) <= HitSize / 2) return i;
  }
  const TPoint ip = ToImage(Image, p);
  if (FreeMode) return PointInPolygon(points_.data(), 4, ip) ? kMoveAll : -1;
  const TRect b = GetBoundsRect();
  return ip.X >= b.Left && ip.X <= b.Right && ip.Y >= b.Top && ip.Y <= b.Bottom ? kMoveAll : -1;
}

bool TVerticesControl::CursorAt(const QPoint& p, QCursor& cursor) const {
  const int h = activeVertex_ >= 0 ? activeVertex_ : HitTest(p);
  if (h < 0) return false;
  cursor = h == kMoveAll ? MoveCursor : VertexCursor;
  return true;
}

void TVerticesControl::Paint(QPainter& painter, const QRegion&) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(QColor::fromRgb(ColorToQRgb(kXorPen)), 0));
  painter.setBrush(Qt::NoBrush);
  QPoint s[8];
  for (int i = 0; i < 8; ++i) s[i] = ToClient(Image, points_[size_t(i)]);
  const int half = DrawSize / 2;
  for (const QPoint& c : s) painter.drawRect(QRect(c.x() - half, c.y() - half, 2 * half, 2 * half));
  const QPoint outline[5] = {s[0], s[1], s[2], s[3], s[0]};
  painter.drawPolyline(outline, 5);
  painter.restore();
}

// --- Dragging ---------------------------------------------------------------------------

void TVerticesControl::DragUpdate(TPoint p) {
  lastPoint_ = p;
  int dx = p.X - dragStart_.X, dy = p.Y - dragStart_.Y;
  const int v = activeVertex_;
  TPoints pts = startPoints_;
  if (v == kMoveAll) {
    for (TPoint& q : pts) q = TPoint{q.X + dx, q.Y + dy};
  } else if (FreeMode) {
    if (v < 4) {
      pts[size_t(v)] = TPoint{pts[size_t(v)].X + dx, pts[size_t(v)].Y + dy};
    } else {
      for (int c : {v - 4, (v - 3) % 4}) pts[size_t(c)] = TPoint{pts[size_t(c)].X + dx, pts[size_t(c)].Y + dy};
    }
  } else {
    if (v == 4 || v == 6) dx = 0;
    if (v == 5 || v == 7) dy = 0;
    const int c = v < 4 ? v : v - 4;
    const TPoint moved{pts[size_t(c)].X + dx, pts[size_t(c)].Y + dy};
    const TPoint opposite = pts[size_t((c + 2) % 4)];
    TRect r{std::min(moved.X, opposite.X), std::min(moved.Y, opposite.Y), std::max(moved.X, opposite.X),
            std::max(moved.Y, opposite.Y)};
    if (Constrain && v < 4) {
      TRect s{std::min(startPoints_[0].X, startPoints_[2].X), std::min(startPoints_[0].Y, startPoints_[2].Y),
              std::max(startPoints_[0].X, startPoints_[2].X), std::max(startPoints_[0].Y, startPoints_[2].Y)};
      if (s.Width() > 0 && s.Height() > 0) {
        const double ratio = double(s.Width()) / s.Height();
        int w = r.Width(), h = r.Height();
        if (double(w) / std::max(1, h) > ratio) w = RoundHalfEven(h * ratio);
        else h = RoundHalfEven(w / ratio);
        // the corner opposite the dragged one stays
        if (moved.X < opposite.X) r.Left = r.Right - w;
        else r.Right = r.Left + w;
        if (moved.Y < opposite.Y) r.Top = r.Bottom - h;
        else r.Bottom = r.Top + h;
      }
    }
    pts[0] = TPoint{r.Left, r.Top};
    pts[1] = TPoint{r.Right, r.Top};
    pts[2] = TPoint{r.Right, r.Bottom};
    pts[3] = TPoint{r.Left, r.Bottom};
  }
  TPoints done = pts;
  for (int i = 0; i < 4; ++i) {
    const TPoint a = done[size_t(i)], b = done[size_t((i + 1) % 4)];
    done[size_t(4 + i)] = TPoint{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
  }
  if (done == points_) return;
  SetPoints(pts);
  Changed(vcMoving);
}

bool TVerticesControl::MousePress(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (!Image.IsPointOnImage(TPoint{p.x(), p.y()}) && HitTest(p) < 0) return false;
  if (activeVertex_ >= 0) {
    activeVertex_ = -1;
    Changed(vcEnd);
  }
  dragStart_ = lastPoint_ = ToImage(Image, p);
  activeVertex_ = HitTest(p);
  if (activeVertex_ >= 0 && e->button() == Qt::LeftButton && e->type() != QEvent::MouseButtonDblClick) {
    startPoints_ = points_;
    Changed(vcBegin);
  } else {
    activeVertex_ = -1;
  }
  return true;
}

bool TVerticesControl::MouseMove(QMouseEvent* e) {
  if (activeVertex_ < 0) return HitTest(e->position().toPoint()) >= 0;
  Constrain = e->modifiers() & Qt::ShiftModifier;
  DragUpdate(ToImage(Image, e->position().toPoint()));
  return true;
}

bool TVerticesControl::MouseRelease(QMouseEvent*) {
  if (activeVertex_ < 0) return false;
  if (points_ != startPoints_) Changed(vcChanged);
  activeVertex_ = -1;
  Changed(vcEnd);
  return true;
}

// --- Keys ------------------------------------------------------------------------------

bool TVerticesControl::HandleKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (!shown_) return false;
  if (key == Qt::Key_Shift) {
    Constrain = true;
    if (activeVertex_ >= 0) DragUpdate(lastPoint_);
    return activeVertex_ >= 0;
  }
  if (key == Qt::Key_Escape && activeVertex_ >= 0) {
    activeVertex_ = -1;
    SetPoints(startPoints_);
    Changed(vcEnd);
    return true;
  }
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
  if (!arrow || activeVertex_ >= 0) return false;
  const int step = modifiers & Qt::ShiftModifier ? 8 : 1;
  const int dx = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
  const int dy = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
  Changed(vcBegin);
  startPoints_ = points_;
  TPoints pts = points_;
  for (TPoint& q : pts) q = TPoint{q.X + dx, q.Y + dy};
  SetPoints(pts);
  Changed(vcChanged);
  Changed(vcEnd);
  return true;
}

bool TVerticesControl::HandleKeyUp(int key, Qt::KeyboardModifiers) {
  if (!shown_ || key != Qt::Key_Shift) return false;
  Constrain = false;
  if (activeVertex_ >= 0) DragUpdate(lastPoint_);
  return activeVertex_ >= 0;
}

bool TVerticesControl::KeyPress(QKeyEvent* e) { return HandleKeyDown(e->key(), e->modifiers()); }
bool TVerticesControl::KeyRelease(QKeyEvent* e) { return HandleKeyUp(e->key(), e->modifiers()); }

}  // namespace qm
