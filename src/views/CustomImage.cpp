#include "views/CustomImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "pixel/Shadow.h"
#include "platform/core/Numeric.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

// A quotient of screen pixels by the zoom, truncated, where a quotient that is a whole
// number up to rounding error counts as that number (3 / 0.1 is 29.999...).
int32_t TruncDiv(int64_t d, double z) {
  const double q = double(d) / z;
  const double r = std::nearbyint(q);
  if (std::fabs(q - r) <= 1e-9 * std::max(1.0, std::fabs(q))) return int32_t(ClampToInt32Range(r));
  return Trunc(q);
}

// The first screen pixel at or after image coordinate v, with the same tolerance.
int32_t CeilMul(int64_t v, double z) {
  const double q = double(v) * z;
  const double r = std::nearbyint(q);
  if (std::fabs(q - r) <= 1e-9 * std::max(1.0, std::fabs(q))) return int32_t(ClampToInt32Range(r));
  return Ceil(q);
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
TRect FromQRect(const QRect& r) { return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// The checkerboard of n x n squares, square (0, 0) at the origin in the colour, the
// others alternating with white.
void FillChecker(TBitmap& b, const TRect& area, TPoint origin, TColor color, int n) {
  if (area.IsEmpty()) return;
  uint8_t cpx[3], wpx[3];
  ColorToPixel24(color, cpx);
  ColorToPixel24(clWhite, wpx);
  const int w = area.Width();
  // one row of each parity, copied into every row
  std::vector<uint8_t> rows[2];
  for (int k = 0; k < 2; ++k) {
    rows[k].resize(size_t(w) * 3);
    for (int x = 0; x < w; ++x) {
      const int64_t cx = DivFloor(int64_t(area.Left + x) - origin.X, n);
      const uint8_t* px = ((cx + k) & 1) == 0 ? cpx : wpx;
      std::memcpy(&rows[k][size_t(x) * 3], px, 3);
    }
  }
  for (int y = area.Top; y < area.Bottom; ++y) {
    const int64_t cy = DivFloor(int64_t(y) - origin.Y, n);
    std::memcpy(b.ScanLine(y) + ptrdiff_t(area.Left) * 3, rows[cy & 1].data(), size_t(w) * 3);
  }
}

}  // namespace

TMyCustomImage::TMyCustomImage(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAttribute(Qt::WA_NoSystemBackground);
  viewport()->setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setSingleStep(16);
  viewport_.SetZoom(1.0);
  viewport_.SetImageLeft(marge_);
  viewport_.SetImageTop(marge_);
}

TMyCustomImage::~TMyCustomImage() = default;

void TMyCustomImage::PictureChanged() {
  reduction_.Reset();
  SyncViewport();
  viewport()->update();
}

// --- Look ------------------------------------------------------------------------------

void TMyCustomImage::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  viewport()->update();
}

void TMyCustomImage::SetBorderStyle(TBorderStyle s) {
  if (s == borderStyle_) return;
  borderStyle_ = s;
  setFrameStyle(s == bsSingle ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
}

void TMyCustomImage::SetMarge(int m) {
  m = std::max(0, m);
  if (m == marge_) return;
  marge_ = m;
  UpdateScrollRanges();
  ViewChanged(0, 0);
}

void TMyCustomImage::SetOptimizeMode(TOptimizeMode m) {
  if (m == optimizeMode_) return;
  optimizeMode_ = m;
  viewport()->update();
}

void TMyCustomImage::SetBorderColor(TColor c) {
  if (c == borderColor_) return;
  borderColor_ = c;
  viewport()->update();
}

void TMyCustomImage::SetShadowSize(int s) {
  if (s < 0 || s > 7) s = 0;
  if (s == shadowSize_) return;
  shadowSize_ = s;
  viewport()->update();
}

void TMyCustomImage::SetDefaultCursor(const QCursor& c) {
  defaultCursor_ = c;
  RefreshCursor();
}

void TMyCustomImage::SetImgCursor(const QCursor& c) {
  imgCursor_ = c;
  RefreshCursor();
}

void TMyCustomImage::SetShowGrid(bool on) {
  if (on == grid_.Show) return;
  grid_.Show = on;
  viewport()->update();
}

void TMyCustomImage::SetGridWidth(int w) {
  if (w == grid_.Width) return;
  grid_.Width = w;
  if (grid_.Show) viewport()->update();
}

void TMyCustomImage::SetGridColor(TColor c) {
  if (c == grid_.Color) return;
  grid_.Color = c;
  if (grid_.Show) viewport()->update();
}

// --- Zoom and scrolling ----------------------------------------------------------------

void TMyCustomImage::SyncViewport() {
  const TBitmap* bmp = DisplayBitmap();
  viewport_.SetBitmap(bmp);
  const int w = bmp ? bmp->Width() : 0, h = bmp ? bmp->Height() : 0;
  if (w != shownWidth_ || h != shownHeight_) {
    shownWidth_ = w;
    shownHeight_ = h;
    viewport_.Update();
    UpdateScrollRanges();
    for (TViewOverlay* o : overlays_) o->ViewChanged();
    RefreshCursor();
  }
  const TPoint o = Origin();
  viewport_.SetImageLeft(o.X);
  viewport_.SetImageTop(o.Y);
  viewport_.Halftone = optimizeMode_ == omSystem || (optimizeMode_ == omReduction && viewport_.Zoom() < 1.0);
  // Whole source pixels on the screen grid when magnifying: every partial repaint
  // then draws exactly the pixels a full one does.
  viewport_.SnapToPixels = true;
}

int TMyCustomImage::HorzRange() const { return viewport_.ZoomedWidth() + 2 * marge_; }
int TMyCustomImage::VertRange() const { return viewport_.ZoomedHeight() + 2 * marge_; }

void TMyCustomImage::UpdateScrollRanges() {
  const QSize vs = viewport()->size();
  QScrollBar* hb = horizontalScrollBar();
  QScrollBar* vb = verticalScrollBar();
  hb->setRange(0, std::max(0, HorzRange() - vs.width()));
  hb->setPageStep(std::max(1, vs.width()));
  vb->setRange(0, std::max(0, VertRange() - vs.height()));
  vb->setPageStep(std::max(1, vs.height()));
}

void TMyCustomImage::SetZoom(double z) {
  viewport_.SetZoom(z);
  SyncViewport();
  UpdateScrollRanges();
  ViewChanged(0, 0);
}

void TMyCustomImage::ZoomToFitSize(int w, int h) {
  SyncViewport();
  const TRect room{0, 0, w - 2 * marge_, h - 2 * marge_};
  const double z = TImageZoom::ComputeFitZoom(DisplayBitmap(), room, fmFitWhole);
  if (z > 0) SetZoom(z);
}

void TMyCustomImage::ZoomToFitWindow() {
  horizontalScrollBar()->setRange(0, 0);
  verticalScrollBar()->setRange(0, 0);
  const QSize s = maximumViewportSize();
  ZoomToFitSize(s.width(), s.height());
}

void TMyCustomImage::ScrollImageBy(int dx, int dy) {
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
  verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

void TMyCustomImage::ScrollToShowRect(const TRect& imageRect) {
  const TRect c = ImageToClientRect(imageRect);
  const QSize vs = viewport()->size();
  ScrollImageBy((c.Left + c.Right) / 2 - vs.width() / 2, (c.Top + c.Bottom) / 2 - vs.height() / 2);
}

void TMyCustomImage::scrollContentsBy(int dx, int dy) {
  SyncViewport();
  ViewChanged(dx, dy);
}

void TMyCustomImage::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollRanges();
  SyncViewport();
  for (TViewOverlay* o : overlays_) o->ViewChanged();
}

void TMyCustomImage::ViewChanged(int dx, int dy) {
  for (TViewOverlay* o : overlays_) o->ViewChanged();
  ViewMoved(dx, dy);
  RefreshCursor();
  viewport()->update();
}

void TMyCustomImage::EndUpdate() {
  if (updateLock_ > 0 && --updateLock_ == 0) viewport()->update();
}

// --- Coordinates -------------------------------------------------------------------------

TPoint TMyCustomImage::Origin() const {
  return TPoint{marge_ - horizontalScrollBar()->value(), marge_ - verticalScrollBar()->value()};
}

TRect TMyCustomImage::GetImageScreenRect() const {
  const TPoint o = Origin();
  return Bounds(o.X, o.Y, viewport_.ZoomedWidth(), viewport_.ZoomedHeight());
}

TRect TMyCustomImage::GetVisibleImageRect() const {
  return IntersectRect(GetImageScreenRect(), FromQRect(viewport()->rect()));
}

bool TMyCustomImage::IsPointOnImage(TPoint p) const { return PtInRect(GetImageScreenRect(), p); }

TPoint TMyCustomImage::ClientToImagePoint(TPoint p) const {
  const TPoint o = Origin();
  const double z = viewport_.Zoom();
  const int zw = viewport_.ZoomedWidth(), zh = viewport_.ZoomedHeight();
  const int w = shownWidth_, h = shownHeight_;
  const int64_t dx = int64_t(p.X) - o.X, dy = int64_t(p.Y) - o.Y;
  return TPoint{zw > 0 && dx == zw - 1 ? w - 1 : TruncDiv(dx, z), zh > 0 && dy == zh - 1 ? h - 1 : TruncDiv(dy, z)};
}

TPoint TMyCustomImage::ImageToClientPoint(TPoint p) const {
  const TPoint o = Origin();
  const double z = viewport_.Zoom();
  const int zw = viewport_.ZoomedWidth(), zh = viewport_.ZoomedHeight();
  auto axis = [z](int32_t v, int n, int zn) -> int64_t {
    if (v == 0 || n <= 0) return CeilMul(v, z);
    if (v == n - 1) return zn - 1;
    const int64_t c = CeilMul(v, z);
    // a pixel of the image is never placed past the image's last screen pixel
    return v > 0 && v < n ? std::min<int64_t>(c, zn - 1) : c;
  };
  return TPoint{int32_t(ClampToInt32Range(double(axis(p.X, shownWidth_, zw) + o.X))),
                int32_t(ClampToInt32Range(double(axis(p.Y, shownHeight_, zh) + o.Y)))};
}

TRect TMyCustomImage::ClientToImageRect(const TRect& r) const {
  const TPoint o = Origin();
  const double z = viewport_.Zoom();
  const int zw = viewport_.ZoomedWidth(), zh = viewport_.ZoomedHeight();
  auto side = [z](int64_t d, int zn, int n) { return d == zn ? n : TruncDiv(d, z); };
  return TRect{side(int64_t(r.Left) - o.X, zw, shownWidth_), side(int64_t(r.Top) - o.Y, zh, shownHeight_),
               side(int64_t(r.Right) - o.X, zw, shownWidth_), side(int64_t(r.Bottom) - o.Y, zh, shownHeight_)};
}

TRect TMyCustomImage::ImageToClientRect(const TRect& r) const {
  const TPoint o = Origin();
  const double z = viewport_.Zoom();
  const int zw = viewport_.ZoomedWidth(), zh = viewport_.ZoomedHeight();
  auto side = [z](int32_t v, int n, int zn, int32_t org) {
    const int64_t c = v == n ? zn : CeilMul(v, z);
    return int32_t(ClampToInt32Range(double(c + org)));
  };
  return TRect{side(r.Left, shownWidth_, zw, o.X), side(r.Top, shownHeight_, zh, o.Y),
               side(r.Right, shownWidth_, zw, o.X), side(r.Bottom, shownHeight_, zh, o.Y)};
}

TRect TMyCustomImage::SnapRectToGrid(const TRect& r) const {
  TRect s = ClientToImageRect(r);
  if (grid_.Align && grid_.Width >= 1) {
    const double g = grid_.Width;
    s.Left = RoundHalfEven(s.Left / g) * grid_.Width;
    s.Top = RoundHalfEven(s.Top / g) * grid_.Width;
    s.Right = RoundHalfEven(s.Right / g) * grid_.Width;
    s.Bottom = RoundHalfEven(s.Bottom / g) * grid_.Width;
  }
  return s;
}

// --- Invalidation ----------------------------------------------------------------------

void TMyCustomImage::InvalidateImageRect(const TRect& imageRect) {
  reduction_.Invalidate(imageRect);
  if (updateLock_ > 0 || imageRect.IsEmpty()) return;
  const TRect grown{imageRect.Left - 3, imageRect.Top - 3, imageRect.Right + 3, imageRect.Bottom + 3};
  const TRect c = IntersectRect(ImageToClientRect(grown), GetImageScreenRect());
  if (!c.IsEmpty()) InvalidateClientRect(ToQRect(c));
}

void TMyCustomImage::InvalidateClientRect(const QRect& r) {
  const QRect v = r & viewport()->rect();
  if (v.isEmpty()) return;
  fullDirty_ += v;
  viewport()->update(v);
}

void TMyCustomImage::InvalidateAntsBand(const QRegion& band) {
  const QRegion v = band & viewport()->rect();
  if (v.isEmpty() || updateLock_ > 0) return;
  antsOnly_ += v;
  viewport()->update(v);
}

TBitmap TMyCustomImage::CreateCheckerTile(TColor color, int n) {
  n = std::max(1, n);
  TBitmap t(2 * n, 2 * n, pf24bit, clWhite);
  t.FillRect(TRect{0, 0, n, n}, color);
  t.FillRect(TRect{n, n, 2 * n, 2 * n}, color);
  return t;
}

// --- Overlays --------------------------------------------------------------------------

void TMyCustomImage::AddOverlay(TViewOverlay* overlay) {
  if (!overlay || std::find(overlays_.begin(), overlays_.end(), overlay) != overlays_.end()) return;
  overlays_.push_back(overlay);
}

void TMyCustomImage::RemoveOverlay(TViewOverlay* overlay) {
  if (grabber_ == overlay) grabber_ = nullptr;
  overlays_.erase(std::remove(overlays_.begin(), overlays_.end(), overlay), overlays_.end());
}

TViewOverlay* TMyCustomImage::DraggingOverlay() const {
  for (TViewOverlay* o : overlays_)
    if (o->IsShown() && o->IsDragging()) return o;
  return nullptr;
}

// --- Painting --------------------------------------------------------------------------

void TMyCustomImage::DrawBackground(TBitmap& buffer, const TRect& clip) {
  TBitmapCanvas canvas(buffer);
  canvas.IntersectClip(clip);
  const TRect img = GetImageScreenRect();
  TRect outer = img;
  if (borderColor_ != clNone) {
    outer = TRect{img.Left - 1, img.Top - 1, img.Right + 1, img.Bottom + 1};
    canvas.FillRect(TRect{outer.Left, outer.Top, outer.Right, img.Top}, borderColor_);
    canvas.FillRect(TRect{outer.Left, img.Bottom, outer.Right, outer.Bottom}, borderColor_);
    canvas.FillRect(TRect{outer.Left, img.Top, img.Left, img.Bottom}, borderColor_);
    canvas.FillRect(TRect{img.Right, img.Top, outer.Right, img.Bottom}, borderColor_);
  }
  if (shadowSize_ > 0 && img.Width() > 7 && img.Height() > 7) {
    DrawCanvasShadow(canvas, outer, shadowSize_, 77, color_, false, true);
    outer.Right += shadowSize_;
    outer.Bottom += shadowSize_;
  }
  const TRect all{0, 0, buffer.Width(), buffer.Height()};
  if (outer.Top > all.Top) canvas.FillRect(TRect{all.Left, all.Top, all.Right, outer.Top}, color_);
  if (outer.Bottom < all.Bottom) canvas.FillRect(TRect{all.Left, outer.Bottom, all.Right, all.Bottom}, color_);
  if (outer.Left > all.Left) canvas.FillRect(TRect{all.Left, outer.Top, outer.Left, outer.Bottom}, color_);
  if (outer.Right < all.Right) canvas.FillRect(TRect{outer.Right, outer.Top, all.Right, outer.Bottom}, color_);
}

void TMyCustomImage::DrawZoomed(const TBitmap& bmp, TZoomCache& cache, TBitmap& buffer, const TRect& clip) {
  TBitmapCanvas canvas(buffer);
  canvas.IntersectClip(clip);
  const TRect view{0, 0, buffer.Width(), buffer.Height()};
  if (viewport_.Halftone && viewport_.Zoom() < 1.0 && !bmp.Transparent) {
    cache.Draw(bmp, canvas, view, viewport_.ImageLeft(), viewport_.ImageTop(), viewport_.ZoomedWidth(),
               viewport_.ZoomedHeight());
    return;
  }
  TRect drawn;
  DrawBitmapZoomed(&bmp, &canvas, view, viewport_.ImageLeft(), viewport_.ImageTop(), viewport_.Zoom(), false,
                   viewport_.Halftone, viewport_.SnapToPixels, false, drawn);
}

void TMyCustomImage::PaintImage(TBitmap& buffer, const TRect& clip) {
  const TBitmap* bmp = DisplayBitmap();
  if (bmp->Transparent) FillChecker(buffer, IntersectRect(GetImageScreenRect(), clip), Origin(), color_, 4);
  DrawZoomed(*bmp, reduction_, buffer, clip);
}

bool TMyCustomImage::ImagePaintedPlain() {
  const TBitmap* bmp = DisplayBitmap();
  return bmp && !bmp->Empty() && !bmp->Transparent && bmp->PixelFormat() == pf24bit && !viewport_.Halftone;
}

void TMyCustomImage::DrawGrid(QPainter& painter, const QRect& bounds) {
  const int gw = grid_.Width;
  if (!grid_.Show || gw < 1 || viewport_.Zoom() * gw < 2) return;
  const TRect img = GetImageScreenRect();
  const TRect area = IntersectRect(img, FromQRect(bounds));
  if (area.IsEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(QColor::fromRgb(ColorToQRgb(grid_.Color)), 0));
  // only the lines that cross the area
  const TRect ia = ClientToImageRect(area);
  for (int64_t x = int64_t(std::max(0, ia.Left / gw)) * gw; x < shownWidth_ && x <= ia.Right; x += gw) {
    const int cx = ImageToClientPoint(TPoint{int32_t(x), 0}).X;
    painter.drawLine(cx, area.Top, cx, area.Bottom - 1);
  }
  for (int64_t y = int64_t(std::max(0, ia.Top / gw)) * gw; y < shownHeight_ && y <= ia.Bottom; y += gw) {
    const int cy = ImageToClientPoint(TPoint{0, int32_t(y)}).Y;
    painter.drawLine(area.Left, cy, area.Right - 1, cy);
  }
  painter.restore();
}

namespace {

// The image a raster painter writes into, when its pixels are 32-bit words that take
// 0xFFRRGGBB as it is, it maps the viewport onto them by a whole-pixel shift alone
// (returned in at) and the whole viewport lies inside it; null otherwise.
QImage* PlainDeviceImage(QPainter& painter, const QRect& viewport, QPoint& at) {
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return nullptr;
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image) return nullptr;
  auto* image = static_cast<QImage*>(device);
  const QImage::Format f = image->format();
  // a shared image would be copied by bits(), away from the painter
  if (!image->isDetached() || image->devicePixelRatio() != 1.0 ||
      (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied))
    return nullptr;
  const QTransform m = painter.deviceTransform();
  if (m.type() > QTransform::TxTranslate || m.dx() != std::trunc(m.dx()) || m.dy() != std::trunc(m.dy()))
    return nullptr;
  at = QPoint(int(m.dx()), int(m.dy()));
  if (!image->rect().contains(viewport.translated(at))) return nullptr;
  return image;
}

// Whether a rectangle of the device lies inside what the painter may paint there.
bool ReachesOnly(QPainter& painter, const QRect& deviceRect) {
  const QRegion system = painter.paintEngine()->systemClip();
  return system.isEmpty() || (QRegion(deviceRect) - system).isEmpty();
}

}  // namespace

void TMyCustomImage::RenderViewport(QPainter& painter, const QRegion& region) {
  if (updateLock_ > 0) return;
  SyncViewport();
  const QRect vr = viewport()->rect();
  const QRegion dirty = region & vr;
  if (dirty.isEmpty()) return;
  // Ant steps alone draw over what is shown: the outline covers the same pixels in
  // either phase.
  const bool antsOnly = !antsOnly_.isEmpty() && (dirty - antsOnly_).isEmpty() && (fullDirty_ & dirty).isEmpty() &&
                        back_.Width() == vr.width() && back_.Height() == vr.height();
  antsOnly_ = QRegion();
  fullDirty_ = QRegion();
  painter.save();
  painter.setClipRegion(dirty);
  if (!antsOnly) {
    if (back_.Width() != vr.width() || back_.Height() != vr.height())
      back_ = TBitmap(vr.width(), vr.height(), pf24bit, color_);
    // Many small rectangles are drawn as their bounding rectangle: the engine's cost
    // is per call as much as per pixel.
    std::vector<QRect> parts(dirty.begin(), dirty.end());
    if (parts.size() > 8) parts = {dirty.boundingRect()};
    const TBitmap* bmp = DisplayBitmap();
    // An opaque image shown by nearest pixel goes straight into the screen's format;
    // the frame and the background around it are drawn, then converted.
    const bool straight = bmp && !bmp->Empty() && ImagePaintedPlain();
    for (const QRect& q : parts) {
      const TRect r = FromQRect(q);
      if (!bmp || bmp->Empty()) {
        back_.FillRect(r, color_);
        continue;
      }
      DrawBackground(back_, r);
      if (!straight) PaintImage(back_, IntersectRect(r, GetImageScreenRect()));
    }
    // The screen's own format: the painter blits it without converting.
    if (shown_.size() != vr.size()) shown_ = QImage(vr.size(), QImage::Format_RGB32);
    // Where the painter writes straight into 32-bit memory (a window's backing store,
    // an image), the image lands there without a copy of the viewport in between.
    QImage* device = nullptr;
    QPoint at;
    if (straight) device = PlainDeviceImage(painter, vr, at);
    for (const QRect& q : parts) {
      TRect drawn{};
      bool direct = false;
      const TRect onImage = straight ? IntersectRect(FromQRect(q), GetImageScreenRect()) : TRect{};
      if (!onImage.IsEmpty()) {
        // a bounding rectangle of several parts reaches past them: drawn through the clip
        direct = device && (QRegion(q) - dirty).isEmpty() && ReachesOnly(painter, q.translated(at));
        QImage& into = direct ? *device : shown_;
        const QPoint o = direct ? at : QPoint();
        uchar* origin = into.bits() + into.bytesPerLine() * o.y() + qsizetype(o.x()) * 4;
        drawn = DrawBitmapZoomedToXrgb(*bmp, reinterpret_cast<uint32_t*>(origin), into.bytesPerLine(), vr.width(),
                                       vr.height(), viewport_.ImageLeft(), viewport_.ImageTop(), viewport_.Zoom(),
                                       viewport_.SnapToPixels, onImage);
      }
      // what the image did not cover comes from the buffer
      const QRegion rest = QRegion(q) - QRegion(ToQRect(drawn));
      for (const QRect& around : rest) CopyBitmapToRGB32(back_, shown_, FromQRect(around));
      if (!direct) {
        painter.drawImage(q.topLeft(), shown_, q);
        continue;
      }
      for (const QRect& around : rest) painter.drawImage(around.topLeft(), shown_, around);
    }
    DrawGrid(painter, dirty.boundingRect());
    PaintOver(painter, dirty);
  }
  for (TViewOverlay* o : overlays_) {
    if (!o->IsShown()) continue;
    if (antsOnly) o->PaintAntsStep(painter, dirty);
    else o->Paint(painter, dirty);
  }
  if (OnPaint) OnPaint(painter, dirty);
  painter.restore();
}

void TMyCustomImage::paintEvent(QPaintEvent* e) {
  QPainter painter(viewport());
  RenderViewport(painter, e->region());
}

// --- Pointer and keys ----------------------------------------------------------------------

QCursor TMyCustomImage::ImageCursorAt(TPoint p) const {
  return IsPointOnImage(p) ? imgCursor_ : defaultCursor_;
}

void TMyCustomImage::RefreshCursor() {
  if (DraggingOverlay()) return;
  const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
  QCursor c = ImageCursorAt(TPoint{p.x(), p.y()});
  for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
    if ((*it)->IsShown() && (*it)->CursorAt(p, c)) break;
  viewport()->setCursor(c);
}

void TMyCustomImage::mousePressEvent(QMouseEvent* e) {
  if (!ImageBusy()) {
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
      if ((*it)->IsShown() && (*it)->MousePress(e)) {
        grabber_ = *it;
        return;
      }
  }
  grabber_ = nullptr;
  imageGrab_ = true;
  ImageMousePress(e);
  if (OnMouseDown) OnMouseDown(e);
}

void TMyCustomImage::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (grabber_ && e->buttons() != Qt::NoButton) {
    grabber_->MouseMove(e);
  } else if ((imageGrab_ && e->buttons() != Qt::NoButton) || ImageBusy()) {
    ImageMouseMove(e);
  } else {
    bool taken = false;
    for (auto it = overlays_.rbegin(); it != overlays_.rend() && !taken; ++it)
      taken = (*it)->IsShown() && (*it)->MouseMove(e);
    if (!taken) ImageMouseMove(e);
  }
  if (OnMouseMove) OnMouseMove(e);
  if (DraggingOverlay()) return;
  QCursor c = ImageCursorAt(TPoint{p.x(), p.y()});
  if (!ImageBusy())
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
      if ((*it)->IsShown() && (*it)->CursorAt(p, c)) break;
  viewport()->setCursor(c);
}

void TMyCustomImage::mouseReleaseEvent(QMouseEvent* e) {
  TViewOverlay* g = grabber_;
  if (e->buttons() == Qt::NoButton) {
    grabber_ = nullptr;
    imageGrab_ = false;
  }
  if (g && std::find(overlays_.begin(), overlays_.end(), g) != overlays_.end()) {
    g->MouseRelease(e);
    return;
  }
  ImageMouseRelease(e);
  if (OnMouseUp) OnMouseUp(e);
}

void TMyCustomImage::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!ImageBusy()) {
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
      if ((*it)->IsShown() && (*it)->MousePress(e)) {
        grabber_ = *it;
        return;
      }
  }
  grabber_ = nullptr;
  imageGrab_ = true;
  ImageMouseDoubleClick(e);
}

void TMyCustomImage::keyPressEvent(QKeyEvent* e) {
  for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
    if ((*it)->IsShown() && (*it)->KeyPress(e)) return;
  if (!ImageKeyPress(e)) QAbstractScrollArea::keyPressEvent(e);
}

void TMyCustomImage::keyReleaseEvent(QKeyEvent* e) {
  for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
    if ((*it)->IsShown() && (*it)->KeyRelease(e)) return;
  if (!ImageKeyRelease(e)) QAbstractScrollArea::keyReleaseEvent(e);
}

}  // namespace qm
