#include "views/MyImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "document/qt/ShapeDraw.h"
#include "platform/core/Numeric.h"

namespace qm {
namespace {

TRect Normalized(TPoint a, TPoint b) {
  return TRect{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

}  // namespace

TMyImage::TMyImage(QWidget* parent) : TMyCustomImage(parent) {}

void TMyImage::SetSelectionMode(TSelMode m) {
  if (m == selectionMode_) return;
  if (tracking_) Cancel();
  selectionMode_ = m;
  RefreshCursor();
}

void TMyImage::SetSelShape(TMyShape s) {
  if (tracking_ || IsMovingLayer() || s == ssLine || s == ssLineWidth) return;
  selShape_ = s;
}

void TMyImage::SetLineShape(TMyShape s) {
  if (tracking_ || (s != ssLine && s != ssLineWidth)) return;
  lineShape_ = s;
}

// Within this many screen pixels of the first vertex a polygon closes. The radius grows
// with the zoom, and never falls below 8 (a zoom under 0.5 would round it to nothing).
int TMyImage::CloseRadius() const { return 8 * std::max(1, RoundHalfEven(Zoom())); }

int TMyImage::MinSize() const { return std::max(kMinShapeSize, Ceil(Zoom())); }

TPoint TMyImage::ClampToImage(TPoint p) const {
  const TRect r = GetImageScreenRect();
  if (r.IsEmpty()) return p;
  return TPoint{std::clamp(p.X, r.Left, r.Right - 1), std::clamp(p.Y, r.Top, r.Bottom - 1)};
}

TPoint TMyImage::SnapAngle(TPoint a, TPoint p) {
  const int dx = p.X - a.X, dy = p.Y - a.Y;
  const int w = std::abs(dx), h = std::abs(dy);
  if (h != 0 && double(w) / h > 0.77 && double(w) / h < 1.33) {
    const int m = std::min(w, h);
    return TPoint{a.X + (dx < 0 ? -m : m), a.Y + (dy < 0 ? -m : m)};
  }
  if (h >= w) return TPoint{a.X, p.Y};
  return TPoint{p.X, a.Y};
}

// --- Reporting and repainting ----------------------------------------------------------

TRect TMyImage::ReportRect() const {
  if (IsLine()) {
    const TPoint a = ClientToImagePoint(TPoint{rect_.Left, rect_.Top});
    const TPoint b = ClientToImagePoint(TPoint{rect_.Right, rect_.Bottom});
    return TRect{a.X, a.Y, b.X, b.Y};
  }
  if (IsPolygon()) {
    const TRect b = PointsBounds(shape_.DisplayPoints);
    if (b.Right < b.Left) return TRect{};
    return ClientToImageRect(TRect{b.Left, b.Top, b.Right + 1, b.Bottom + 1});
  }
  return Grid().Align ? SnapRectToGrid(rect_) : ClientToImageRect(rect_);
}

void TMyImage::Report(TSelectionOption option) {
  if (OnSelection) OnSelection(*this, ReportRect(), option);
}

QRect TMyImage::OutlineBounds() const {
  if (tracking_ != 2) return QRect();
  TRect b;
  if (IsPolygon()) {
    b = PointsBounds(shape_.DisplayPoints);
    if (b.Right < b.Left) return QRect();
    if (hasRubber_) b = TRect{std::min(b.Left, rubber_.X), std::min(b.Top, rubber_.Y), std::max(b.Right, rubber_.X),
                              std::max(b.Bottom, rubber_.Y)};
    b.Right += 1;
    b.Bottom += 1;
  } else {
    b = Normalized(TPoint{rect_.Left, rect_.Top}, TPoint{rect_.Right, rect_.Bottom});
    b.Right += 1;
    b.Bottom += 1;
  }
  // a thick line turns about its start by up to its width
  const int pad = 2 + (TrackedKind() == ssLineWidth ? ShapeLineWidth() : 0);
  return ToQRect(b).adjusted(-pad, -pad, pad, pad);
}

void TMyImage::RepaintOutline(const QRect& before) {
  const QRect after = OutlineBounds();
  InvalidateClientRect(before.united(after));
}

void TMyImage::PaintOver(QPainter& painter, const QRegion&) {
  if (tracking_ != 2) return;
  const TMyShape kind = TrackedKind();
  if (IsPolygon()) {
    // the open path drawn so far (and the rubber segment)
    if (hasRubber_) shape_.DisplayPoints.push_back(rubber_);
    Draw(shape_, painter, TRect{}, 2, ssPolyline);
    if (hasRubber_) shape_.DisplayPoints.pop_back();
    return;
  }
  if (IsLine()) {
    const int saved = ShapeLineWidth();
    SetShapeLineWidth(std::max(1, RoundHalfEven(Zoom() * LineWidth)));
    Draw(shape_, painter, rect_, 2, kind);
    SetShapeLineWidth(saved);
    return;
  }
  Draw(shape_, painter, rect_, 2, kind);
}

// --- Tracking ------------------------------------------------------------------------

void TMyImage::StartTracking() {
  if (selectionMode_ == smShape && selShape_ == ssMultiPoints) selShape_ = ssRect;
  rect_ = TRect{start_.X, start_.Y, start_.X, start_.Y};
  Report(soStart);
  tracking_ = 2;
  if (IsPolygon()) shape_.BeginPoints(ClampToImage(start_));
  if (IsLine()) SetShapeLineWidth(std::max(1, RoundHalfEven(Zoom() * LineWidth)));
}

void TMyImage::TrackTo(TPoint p) {
  const QRect before = OutlineBounds();
  if (IsMultiLinePolygon()) {
    TPoint last;
    const int n = shape_.GetLastPoint(last);
    TPoint q = shift_ ? SnapAngle(last, p) : p;
    TPoint first;
    shape_.GetFirstPoint(first);
    const int radius = CloseRadius();
    if (n > 1 && std::abs(q.X - first.X) < radius && std::abs(q.Y - first.Y) < radius) q = first;
    if (hasRubber_ && std::abs(q.X - rubber_.X) < 3 && std::abs(q.Y - rubber_.Y) < 3) return;
    rubber_ = ClampToImage(q);
    hasRubber_ = true;
  } else if (IsPolygon()) {
    if (shape_.AddPoint(ClampToImage(p)) < 0) return;
  } else if (IsLine()) {
    const TPoint e = shift_ ? SnapAngle(start_, p) : p;
    rect_ = TRect{start_.X, start_.Y, e.X, e.Y};
  } else {
    const TRect img = GetImageScreenRect();
    TRect r = IntersectRect(Normalized(start_, p), img);
    if (shift_ && !r.IsEmpty()) {
      // a square toward the pointer from the press, within the image
      const int side = std::min(r.Width(), r.Height());
      const int sx = p.X < start_.X ? -1 : 1, sy = p.Y < start_.Y ? -1 : 1;
      const TPoint c{std::clamp(start_.X, img.Left, img.Right), std::clamp(start_.Y, img.Top, img.Bottom)};
      r = Normalized(c, TPoint{c.X + sx * side, c.Y + sy * side});
    }
    if (Grid().Align && !r.IsEmpty()) r = ImageToClientRect(SnapRectToGrid(r));
    rect_ = r;
  }
  RepaintOutline(before);
  Report(soChanged);
}

void TMyImage::AddVertex(TPoint p) {
  const QRect before = OutlineBounds();
  shape_.AddPoint(ClampToImage(p));
  hasRubber_ = false;
  RepaintOutline(before);
  Report(soChanged);
}

void TMyImage::EndTracking(TSelectionOption option) {
  const QRect before = OutlineBounds();
  if (option == soFinished && IsPolygon()) shape_.EndPoints(Zoom());
  Report(option);
  shape_.Clear();
  tracking_ = 0;
  hasRubber_ = false;
  InvalidateClientRect(before);
}

void TMyImage::Cancel() {
  if (tracking_ == 2) EndTracking(soCancelled);
  tracking_ = 0;
}

void TMyImage::Finish() {
  if (tracking_ != 2) {
    tracking_ = 0;
    return;
  }
  bool tooSmall;
  const int minSize = MinSize();
  if (IsLine()) {
    tooSmall = std::abs(rect_.Right - rect_.Left) < 2 && std::abs(rect_.Bottom - rect_.Top) < 2;
  } else if (IsPolygon()) {
    const TRect b = PointsBounds(shape_.DisplayPoints);
    tooSmall = (IsMultiLinePolygon() && shape_.DisplayPoints.size() < 3) || b.Right - b.Left + 1 < minSize ||
               b.Bottom - b.Top + 1 < minSize;
  } else {
    tooSmall = rect_.Width() < minSize || rect_.Height() < minSize;
  }
  EndTracking(tooSmall ? soCancelled : soFinished);
}

// --- Pointer ---------------------------------------------------------------------------

void TMyImage::ImageMousePress(QMouseEvent* e) {
  if (selectionMode_ != smShape && selectionMode_ != smLine) return;
  const TPoint p{e->position().toPoint().x(), e->position().toPoint().y()};
  shift_ = e->modifiers() & Qt::ShiftModifier;
  if (tracking_ == 2) {
    if (e->button() == Qt::RightButton || !IsMultiLinePolygon()) {
      Cancel();
      return;
    }
    if (e->button() != Qt::LeftButton) return;
    TPoint first;
    shape_.GetFirstPoint(first);
    const int radius = CloseRadius();
    const TPoint q = hasRubber_ ? rubber_ : p;
    if (q == first || (std::abs(p.X - first.X) < radius && std::abs(p.Y - first.Y) < radius)) Finish();
    else AddVertex(q);
    return;
  }
  const TBitmap* bmp = DisplayBitmap();
  if (e->button() != Qt::LeftButton || !bmp || bmp->Empty()) return;
  tracking_ = 1;
  start_ = last_ = p;
}

void TMyImage::ImageMouseMove(QMouseEvent* e) {
  if (tracking_ == 0) return;
  const TPoint p{e->position().toPoint().x(), e->position().toPoint().y()};
  shift_ = e->modifiers() & Qt::ShiftModifier;
  last_ = p;
  if (tracking_ == 1) {
    if (p == start_) return;
    // a press (held, or released on a multi-line polygon's first vertex) becomes a drag
    if (!(e->buttons() & Qt::LeftButton) && !IsMultiLinePolygon()) {
      tracking_ = 0;
      return;
    }
    StartTracking();
  }
  TrackTo(p);
}

void TMyImage::ImageMouseRelease(QMouseEvent* e) {
  if (tracking_ == 0 || e->button() != Qt::LeftButton || IsMultiLinePolygon()) return;
  Finish();
}

void TMyImage::ImageMouseDoubleClick(QMouseEvent* e) {
  if (tracking_ == 2 && IsMultiLinePolygon() && e->button() == Qt::LeftButton) {
    Finish();
    return;
  }
  if (tracking_ == 0 && OnDoubleClick) OnDoubleClick(*this, TPoint{e->position().toPoint().x(), e->position().toPoint().y()});
}

void TMyImage::ViewMoved(int dx, int dy) {
  if (tracking_ == 2 && IsMultiLinePolygon()) {
    shape_.OffsetDisplay(dx, dy);
    rubber_.X += dx;
    rubber_.Y += dy;
  }
}

// --- Keys ------------------------------------------------------------------------------

bool TMyImage::ImageKeyPress(QKeyEvent* e) {
  if (tracking_ == 0) return false;
  switch (e->key()) {
    case Qt::Key_Shift:
      shift_ = true;
      if (tracking_ == 2) TrackTo(last_);
      return true;
    case Qt::Key_Escape:
      Cancel();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      if (tracking_ == 2 && IsMultiLinePolygon() && hasRubber_) {
        TPoint first;
        shape_.GetFirstPoint(first);
        if (rubber_ != first) shape_.AddPoint(rubber_);
        hasRubber_ = false;
      }
      Finish();
      return true;
    }
    case Qt::Key_Delete:
    case Qt::Key_Backspace: {
      if (tracking_ != 2 || !IsMultiLinePolygon()) return false;
      if (shape_.DisplayPoints.size() <= 1) {
        Cancel();
        return true;
      }
      const QRect before = OutlineBounds();
      TRect r;
      shape_.RemoveLastPoint(r);
      RepaintOutline(before);
      Report(soChanged);
      return true;
    }
    default:
      return false;
  }
}

bool TMyImage::ImageKeyRelease(QKeyEvent* e) {
  if (tracking_ == 0 || e->key() != Qt::Key_Shift) return false;
  shift_ = false;
  if (tracking_ == 2) TrackTo(last_);
  return true;
}

}  // namespace qm
