#include "views/SelectionControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "document/qt/ShapeDraw.h"
#include "platform/core/Canvas.h"
#include "platform/core/Numeric.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

TRect FromQRect(const QRect& r) { return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// Collects the one-pixel fills of a traced outline by colour: the outline is drawn
// pixel by pixel in two colours, so its pixels are kept once and drawn in the phase's
// colours at every step.
class TPixelCollector final : public TCanvas {
 public:
  static constexpr TColor kPen = 1, kSecond = 2;
  std::vector<QPoint>& pen;
  std::vector<QPoint>& second;
  TPixelCollector(std::vector<QPoint>& p, std::vector<QPoint>& s) : pen(p), second(s) {}
  TRect ClipRect() const override { return UnboundedRect; }
  void IntersectClip(const TRect&) override {}
  void RestoreClip() override {}
  void FillRect(const TRect& r, TColor c) override {
    auto& out = c == kPen ? pen : second;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) out.emplace_back(x, y);
  }
  using TCanvas::FillRect;
  void DrawBitmap(int, int, const TBitmap&, const TRect&, TColor) override {}
};

QColor Q(TColor c) { return QColor::fromRgb(ColorToQRgb(c)); }

}  // namespace

TSelectionControl::TSelectionControl(TMyImage& image) : Image(image) {
  timer_.setInterval(333);
  QObject::connect(&timer_, &QTimer::timeout, [this] { AntsStep(); });
  Image.AddOverlay(this);
}

TSelectionControl::~TSelectionControl() { Image.RemoveOverlay(this); }

void TSelectionControl::Changed(TSelectionChange code) {
  if (OnChange) OnChange(*this, code);
}

void TSelectionControl::UpdateTimer() {
  const bool run = AntsEnabled && Visible && outlineVisible_ && dragState_ != 2 && !frozen_;
  if (run && !timer_.isActive()) timer_.start();
  if (!run) timer_.stop();
}

QRect TSelectionControl::ClientRect() const { return ToQRect(Image.ImageToClientRect(SelRect)); }

QRect TSelectionControl::OutlineRect() const {
  QRect r = ClientRect();
  if (Inverted && outlineVisible_) r.adjust(1, 1, -1, -1);
  return r;
}

// The pixels an ant step changes: the frame of a rectangle, else the outline's
// rectangle; and the image's frame for an inverted selection.
QRegion TSelectionControl::AntsBand() const {
  auto frame = [](const QRect& r) {
    if (r.width() <= 2 || r.height() <= 2) return QRegion(r);
    return QRegion(r) - QRegion(r.adjusted(1, 1, -1, -1));
  };
  const QRect o = OutlineRect();
  QRegion band = ShapeKind == ssRect ? frame(o) : QRegion(o);
  if (Inverted) band += frame(ToQRect(Image.GetImageScreenRect()));
  return band;
}

void TSelectionControl::Repaint(const QRect& before) {
  QRect r = before.united(ClientRect()).adjusted(-1, -1, 1, 1);
  if (Inverted) r = r.united(ToQRect(Image.GetImageScreenRect()));
  Image.InvalidateClientRect(r);
}

void TSelectionControl::Show() {
  if (Visible) return;
  Visible = true;
  tracedValid_ = false;
  Repaint(ClientRect());
  UpdateTimer();
}

void TSelectionControl::Hide() {
  if (!Visible) return;
  if (dragState_ == 2) EndDrag();
  Visible = false;
  dragState_ = 0;
  Repaint(ClientRect());
  UpdateTimer();
}

void TSelectionControl::SetShape(TMyShape kind) {
  const QRect before = ClientRect();
  TSelectionOverlay::SetShape(kind);
  tracedValid_ = false;
  if (Visible) Repaint(before);
}

void TSelectionControl::SyncShape() {
  TShapeRecord rec;
  Image.Shape().SaveToRecord(rec);
  Shape.LoadFromRecord(rec);
  SetShape(Image.SelShape());
}

void TSelectionControl::SetSelectionRect(const TRect& r0) {
  if (r0.IsEmpty()) return;
  TRect r = r0;
  if (ClipToImage) {
    const TBitmap* b = Image.DisplayBitmap();
    r = IntersectRect(r, TRect{0, 0, b ? b->Width() : 0, b ? b->Height() : 0});
    if (r.IsEmpty()) return;
  }
  const QRect before = ClientRect();
  SelRect = r;
  tracedValid_ = false;
  if (Visible) Repaint(before);
  Changed(dragState_ == 2 ? scMoving : scChanged);
}

void TSelectionControl::SetOutlineInset(bool inverted) {
  if (dragState_ == 2) return;
  Inverted = inverted;
  tracedValid_ = false;
  if (Visible) Repaint(ToQRect(Image.GetImageScreenRect()));
}

void TSelectionControl::SetLocked(bool on) {
  if (dragState_ != 2) locked_ = on;
}

void TSelectionControl::SetOutlineVisible(bool on) {
  if (dragState_ == 2 || on == outlineVisible_) return;
  outlineVisible_ = on;
  if (Visible) Repaint(ClientRect());
  UpdateTimer();
}

void TSelectionControl::SetBoundsHitTest(bool on) {
  if (dragState_ == 2 || on == showBounds_) return;
  showBounds_ = on;
  if (Visible) Repaint(ClientRect());
}

void TSelectionControl::SetFrozen(bool on) {
  if (on == frozen_) return;
  frozen_ = on;
  if (Visible) Repaint(ClientRect());
  UpdateTimer();
}

void TSelectionControl::UpdatePosition() { tracedValid_ = false; }

void TSelectionControl::TransformTriangle(int code) {
  static const TMyShape kTurnCw[4] = {ssTriangle2, ssTriangle3, ssTriangle4, ssTriangle1};
  static const TMyShape kTurnCcw[4] = {ssTriangle4, ssTriangle1, ssTriangle2, ssTriangle3};
  TMyShape k = ShapeKind;
  const bool triangle = k >= ssTriangle1 && k <= ssTriangle4;
  if (triangle) {
    const int i = k - ssTriangle1;
    switch (code) {
      case 0: if (k == ssTriangle1) k = ssTriangle3; else if (k == ssTriangle3) k = ssTriangle1; break;
      case 1: if (k == ssTriangle2) k = ssTriangle4; else if (k == ssTriangle4) k = ssTriangle2; break;
      case 2: k = kTurnCw[i]; break;
      case 3: k = kTurnCcw[i]; break;
      case 4: k = kTurnCw[(i + 1) % 4]; break;
      default: break;
    }
  } else if (k == ssPolygon || k == ssMultiPoints) {
    Shape.Transform(code);
  }
  const QRect before = ClientRect();
  ShapeKind = k;
  if (code == 2 || code == 3) SelRect = Bounds(SelRect.Left, SelRect.Top, SelRect.Height(), SelRect.Width());
  tracedValid_ = false;
  if (Visible) Repaint(before);
}

// --- Hit testing ----------------------------------------------------------------------

bool TSelectionControl::HitTest(const QPoint& p) const {
  if (locked_ || !Image.IsPointOnImage(TPoint{p.x(), p.y()})) return false;
  const QRect r = ClientRect();
  if ((showBounds_ && ShapeKind != ssMultiPoints) || ShapeKind == ssRect) return r.contains(p);
  return const_cast<TShapeManager&>(Shape).HitTest(FromQRect(r), TPoint{p.x(), p.y()}, ShapeKind);
}

int TSelectionControl::HandleAt(const QPoint& p) const {
  const bool handles = Resizable && outlineVisible_ && (ShapeKind == ssRect || showBounds_);
  if (!handles) return Movable ? kMoveZone : kNoHandle;
  const QRect r = ClientRect();
  const int x = p.x() - r.left(), y = p.y() - r.top(), w = r.width(), h = r.height(), s = HandleSize;
  const bool top = y <= s, bottom = y >= h - s - 1, left = x <= s, right = x >= w - s - 1;
  if (top && left) return 0;
  if (top && right) return 2;
  if (bottom && right) return 4;
  if (bottom && left) return 6;
  if (top) return 1;
  if (right) return 3;
  if (bottom) return 5;
  if (left) return 7;
  return Movable ? kMoveZone : kNoHandle;
}

bool TSelectionControl::CursorAt(const QPoint& p, QCursor& cursor) const {
  if (dragState_ == 0 && !HitTest(p)) return false;
  const int h = dragState_ != 0 ? activeHandle_ : HandleAt(p);
  switch (h) {
    case 0: case 4: cursor = QCursor(Qt::SizeFDiagCursor); break;
    case 1: case 5: cursor = QCursor(Qt::SizeVerCursor); break;
    case 2: case 6: cursor = QCursor(Qt::SizeBDiagCursor); break;
    case 3: case 7: cursor = QCursor(Qt::SizeHorCursor); break;
    case kMoveZone: cursor = MoveCursor; break;
    default: return false;
  }
  return true;
}

// --- Drawing ---------------------------------------------------------------------------

void TSelectionControl::PrepareTraced(const QRect& r) {
  if (tracedValid_ && r == tracedRect_) return;
  tracedPen_.clear();
  tracedSecond_.clear();
  TPixelCollector collect(tracedPen_, tracedSecond_);
  TTraceStyle st;
  st.Pen = TPixelCollector::kPen;
  st.Second = TPixelCollector::kSecond;
  DrawTracedShape(Shape, collect, TRect{r.left(), r.top(), r.left() + r.width() - 1, r.top() + r.height() - 1}, st);
  tracedRect_ = r;
  tracedValid_ = true;
}

void TSelectionControl::DrawOutline(QPainter& painter, bool antsOnly) {
  if (!outlineVisible_) return;
  Shape.SetAntsColors(AntsColorA, AntsColorB);
  const bool xorStyle = dragState_ == 2 || frozen_;
  const QRect o = OutlineRect();
  const TRect ot = FromQRect(o);
  painter.save();
  painter.setClipRect(o, Qt::IntersectClip);
  if (!antsOnly && showBounds_ && ShapeKind != ssRect && ShapeKind != ssMultiPoints) Draw(Shape, painter, ot, 2, ssRect);
  if (ShapeKind == ssMultiPoints) {
    PrepareTraced(o);
    // the styles' pen and second colours: ants A on B or B on A, or the XOR style
    const TShapeStyle& s = Shape.Styles[xorStyle ? 0 : Shape.AntsPhase ? 3 : 2];
    if (xorStyle) painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Q(s.PenColor));
    painter.drawPoints(tracedPen_.data(), int(tracedPen_.size()));
    painter.setPen(Q(s.PenStyle == spsDot ? s.BackColor : s.PenColor));
    painter.drawPoints(tracedSecond_.data(), int(tracedSecond_.size()));
  } else {
    Draw(Shape, painter, ot, xorStyle ? 1 : 4, ShapeKind);
  }
  painter.restore();
  if (Inverted) Draw(Shape, painter, Image.GetImageScreenRect(), xorStyle ? 1 : 4, ssRect);
}

void TSelectionControl::Paint(QPainter& painter, const QRegion&) { DrawOutline(painter, false); }

void TSelectionControl::PaintAntsStep(QPainter& painter, const QRegion&) {
  if (dragState_ != 2 && !frozen_) DrawOutline(painter, true);
}

void TSelectionControl::AntsStep() {
  if (!Visible || !outlineVisible_) return;
  Shape.AntsPhase ^= 1;
  Image.InvalidateAntsBand(AntsBand());
}

// --- Dragging ---------------------------------------------------------------------------

void TSelectionControl::DragUpdate(const QPoint& global) {
  lastGlobal_ = global;
  int dx = global.x() - dragStart_.x(), dy = global.y() - dragStart_.y();
  const int h = activeHandle_;
  if (Constrain && h == kMoveZone) {
    // the axis that moved less stays; on a tie x stays fixed
    if (std::abs(dx) > std::abs(dy)) dy = 0;
    else dx = 0;
  }
  TRect r = Image.ImageToClientRect(startRect_);
  const int minSize = std::max(TMyImage::kMinShapeSize, Ceil(Image.Zoom()));
  if (h == kMoveZone) {
    r = OffsetRect(r, dx, dy);
  } else {
    if (h <= 2) r.Top = std::min(r.Top + dy, r.Bottom - minSize);
    if (h >= 4 && h <= 6) r.Bottom = std::max(r.Bottom + dy, r.Top + minSize);
    if (h == 0 || h == 6 || h == 7) r.Left = std::min(r.Left + dx, r.Right - minSize);
    if (h >= 2 && h <= 4) r.Right = std::max(r.Right + dx, r.Left + minSize);
  }
  TRect ir = Image.ClientToImageRect(r);
  const int sw = startRect_.Width(), sh = startRect_.Height();
  if (h == kMoveZone) ir = Bounds(ir.Left, ir.Top, sw, sh);
  if (h == 1 || h == 5) ir.Left = startRect_.Left, ir.Right = startRect_.Right;
  if (h == 3 || h == 7) ir.Top = startRect_.Top, ir.Bottom = startRect_.Bottom;
  const TViewGrid& g = Image.Grid();
  if (g.Show && g.Width >= 1) {
    auto snap = [&g](int v) { return RoundHalfEven(double(v) / g.Width) * g.Width; };
    if (h == kMoveZone) {
      ir = Bounds(snap(ir.Left), snap(ir.Top), sw, sh);
    } else {
      if (h <= 2) ir.Top = snap(ir.Top);
      if (h >= 4 && h <= 6) ir.Bottom = snap(ir.Bottom);
      if (h == 0 || h == 6 || h == 7) ir.Left = snap(ir.Left);
      if (h >= 2 && h <= 4) ir.Right = snap(ir.Right);
      if (ir.Right <= ir.Left || ir.Bottom <= ir.Top) return;
    }
  }
  if (Constrain && (h == 0 || h == 2 || h == 4 || h == 6) && sw > 0 && sh > 0) {
    // the start's proportions, the moving sides giving way
    const double ratio = double(sw) / sh;
    int w = ir.Width(), hh = ir.Height();
    if (double(w) / std::max(1, hh) > ratio) w = std::max(1, RoundHalfEven(hh * ratio));
    else hh = std::max(1, RoundHalfEven(w / ratio));
    if (h == 0 || h == 6) ir.Left = ir.Right - w;
    else ir.Right = ir.Left + w;
    if (h == 0 || h == 2) ir.Top = ir.Bottom - hh;
    else ir.Bottom = ir.Top + hh;
  }
  if (ClipToImage) {
    const TBitmap* b = Image.DisplayBitmap();
    const TRect all{0, 0, b ? b->Width() : 0, b ? b->Height() : 0};
    if (h == kMoveZone) {
      ir = OffsetRect(ir, std::max(0, all.Left - ir.Left) - std::max(0, ir.Right - all.Right),
                      std::max(0, all.Top - ir.Top) - std::max(0, ir.Bottom - all.Bottom));
    } else {
      ir = IntersectRect(ir, all);
    }
  }
  if (ir.IsEmpty() || ir == SelRect) return;
  SetSelectionRect(ir);
}

void TSelectionControl::EndDrag() {
  dragState_ = 0;
  Repaint(ClientRect());
  UpdateTimer();
  if (SelRect != startRect_) Changed(scChanged);
  Changed(scEnd);
}

bool TSelectionControl::MousePress(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (!HitTest(p)) {
    dragState_ = 0;
    return false;
  }
  if (dragState_ == 2) EndDrag();
  dragState_ = 0;
  if (e->type() == QEvent::MouseButtonDblClick) {
    if (OnDoubleClick) OnDoubleClick(*this);
    return true;
  }
  const int zone = HandleAt(p);
  if (e->button() == Qt::LeftButton && zone != kNoHandle) {
    activeHandle_ = zone;
    dragState_ = 1;
    dragStart_ = lastGlobal_ = e->globalPosition().toPoint();
    startRect_ = SelRect;
  }
  return true;
}

bool TSelectionControl::MouseMove(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (dragState_ == 0) {
    if (!HitTest(p)) return false;
    activeHandle_ = HandleAt(p);
    return true;
  }
  if (!(e->buttons() & Qt::LeftButton)) return true;
  Constrain = e->modifiers() & Qt::ShiftModifier;
  const QPoint g = e->globalPosition().toPoint();
  if (dragState_ == 1) {
    if (g == dragStart_) return true;
    dragState_ = 2;
    UpdateTimer();
    Repaint(ClientRect());
    Changed(scBegin);
  }
  DragUpdate(g);
  return true;
}

bool TSelectionControl::MouseRelease(QMouseEvent*) {
  if (dragState_ == 0) return false;
  if (dragState_ == 2) EndDrag();
  dragState_ = 0;
  return true;
}

// --- Keys ------------------------------------------------------------------------------

bool TSelectionControl::HandleKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (!Visible) return false;
  if (key == Qt::Key_Shift) {
    Constrain = true;
    if (dragState_ == 2) DragUpdate(lastGlobal_);
    return dragState_ == 2;
  }
  if (key == Qt::Key_Escape && dragState_ == 2) {
    dragState_ = 0;
    SetSelectionRect(startRect_);
    Repaint(ClientRect());
    UpdateTimer();
    Changed(scEnd);
    return true;
  }
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
  if (!arrow || dragState_ != 0 || locked_) return false;
  const int step = modifiers & Qt::ShiftModifier ? 8 : 1;
  const int dx = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
  const int dy = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
  TRect r = SelRect;
  if (modifiers & Qt::ControlModifier) {
    if (!Resizable) return false;
    r.Right = std::max(r.Left + 1, r.Right + dx);
    r.Bottom = std::max(r.Top + 1, r.Bottom + dy);
  } else {
    if (!Movable) return false;
    r = OffsetRect(r, dx, dy);
  }
  if (ClipToImage) {
    const TBitmap* b = Image.DisplayBitmap();
    const TRect all{0, 0, b ? b->Width() : 0, b ? b->Height() : 0};
    if (modifiers & Qt::ControlModifier) r = IntersectRect(r, all);
    else r = OffsetRect(r, std::max(0, all.Left - r.Left) - std::max(0, r.Right - all.Right),
                        std::max(0, all.Top - r.Top) - std::max(0, r.Bottom - all.Bottom));
  }
  Changed(scBegin);
  SetSelectionRect(r);
  Changed(scEnd);
  return true;
}

bool TSelectionControl::HandleKeyUp(int key, Qt::KeyboardModifiers) {
  if (!Visible || key != Qt::Key_Shift) return false;
  Constrain = false;
  if (dragState_ == 2) DragUpdate(lastGlobal_);
  return dragState_ == 2;
}

bool TSelectionControl::KeyPress(QKeyEvent* e) { return HandleKeyDown(e->key(), e->modifiers()); }
bool TSelectionControl::KeyRelease(QKeyEvent* e) { return HandleKeyUp(e->key(), e->modifiers()); }

}  // namespace qm
