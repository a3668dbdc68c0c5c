#include "views/LayeredView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "views/ViewCursors.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Canvas.h"
#include "platform/core/Numeric.h"

namespace qm {
namespace {

TRect Union(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

TMyImageLayered::TMyImageLayered(TLayeredImage& image, QWidget* parent)
    : TMyImage(parent), MoveCursor(LayerMoveCursor()), image_(image), move_(image, Grid()) {
  image_.OnRepaint = [this](const TRect& r) {
    blackPending_ = Union(blackPending_, r);
    blackReduction_.Invalidate(r);
    // a change of the image's size changes the scroll ranges: the paint takes them up
    const TRect all = image_.ImageRect();
    if (ShownSizeDiffers(all.Width(), all.Height())) viewport()->update();
    else InvalidateImageRect(r);
  };
  image_.OnActiveLayerChanged = [this] { RefreshCursor(); };
}

TMyImageLayered::~TMyImageLayered() {
  image_.OnRepaint = nullptr;
  image_.OnActiveLayerChanged = nullptr;
}

bool TMyImageLayered::IsPointOnActiveLayer(TPoint p) const {
  if (image_.ActiveIndex() == 0) return IsPointOnImage(p);
  return image_.IsPointOnActiveLayer(ClientToImagePoint(p));
}

// --- Display -------------------------------------------------------------------------

const TBitmap* TMyImageLayered::DisplayBitmap() {
  if (const TBitmap* sole = image_.SoleLayerBitmap()) return sole;
  return &image_.UpdatedComposition();
}

bool TMyImageLayered::ImagePaintedPlain() {
  // a transparent background is drawn over the checkerboard
  return (image_.SuspendComposition || !image_.BackgroundHasTransparency()) && TMyImage::ImagePaintedPlain();
}

void TMyImageLayered::PaintImage(TBitmap& buffer, const TRect& clip) {
  TMyImage::PaintImage(buffer, clip);
  if (image_.SuspendComposition || !image_.BackgroundHasTransparency() || clip.IsEmpty()) return;
  // The composition over white is drawn; over the coloured squares of the checkerboard
  // each pixel becomes B + (W - B) * checker / 255, with B the composition over black.
  const TBitmap& white = image_.UpdatedComposition();
  if (overBlack_.Width() != white.Width() || overBlack_.Height() != white.Height()) {
    overBlack_ = TBitmap(white.Width(), white.Height(), pf24bit, clBlack);
    blackPending_ = UnboundedRect;
    blackReduction_.Reset();
  }
  if (!blackPending_.IsEmpty()) {
    image_.RenderRectOnto(overBlack_, blackPending_, clBlack);
    blackPending_ = TRect{};
  }
  if (backBlack_.Width() != buffer.Width() || backBlack_.Height() != buffer.Height())
    backBlack_ = TBitmap(buffer.Width(), buffer.Height(), pf24bit, clBlack);
  DrawZoomed(overBlack_, blackReduction_, backBlack_, clip);
  const TRect area = IntersectRect(GetImageScreenRect(), clip);
  if (area.IsEmpty()) return;
  uint8_t ck[3];
  ColorToPixel24(Color(), ck);
  const TPoint o = Origin();
  for (int y = area.Top; y < area.Bottom; ++y) {
    uint8_t* w = buffer.ScanLine(y);
    const uint8_t* b = backBlack_.ScanLine(y);
    const int64_t cy = DivFloor(int64_t(y) - o.Y, 4);
    // coloured squares start where (cx + cy) is even
    int x = area.Left;
    while (x < area.Right) {
      const int64_t cx = DivFloor(int64_t(x) - o.X, 4);
      const int end = std::min<int64_t>(area.Right, o.X + (cx + 1) * 4);
      if (((cx + cy) & 1) == 0) {
        for (int i = 3 * x; i < 3 * end; ++i) {
          const int c = ck[i % 3];
          w[i] = uint8_t(b[i] + ((int(w[i]) - b[i]) * c + 127) / 255);
        }
      }
      x = end;
    }
  }
}

// --- Moving the active layer ----------------------------------------------------------------

QCursor TMyImageLayered::ImageCursorAt(TPoint p) const {
  if (SelectionMode() == smMoveLayer && move_.IsMovableAt(ClientToImagePoint(p))) return MoveCursor;
  return TMyImage::ImageCursorAt(p);
}

void TMyImageLayered::ImageMousePress(QMouseEvent* e) {
  if (SelectionMode() != smMoveLayer) return TMyImage::ImageMousePress(e);
  if (e->button() != Qt::LeftButton) return;
  const TPoint p{e->position().toPoint().x(), e->position().toPoint().y()};
  move_.MouseDown(ClientToImagePoint(p), IsPointOnImage(p));
}

void TMyImageLayered::ImageMouseMove(QMouseEvent* e) {
  if (SelectionMode() != smMoveLayer) return TMyImage::ImageMouseMove(e);
  const TPoint p{e->position().toPoint().x(), e->position().toPoint().y()};
  move_.MouseMove(ClientToImagePoint(p), e->modifiers() & Qt::ShiftModifier);
}

void TMyImageLayered::ImageMouseRelease(QMouseEvent* e) {
  if (SelectionMode() != smMoveLayer) return TMyImage::ImageMouseRelease(e);
  if (e->button() != Qt::LeftButton) return;
  move_.MouseUp();
  RefreshCursor();
}

bool TMyImageLayered::ImageKeyPress(QKeyEvent* e) {
  if (SelectionMode() != smMoveLayer) return TMyImage::ImageKeyPress(e);
  if (e->key() == Qt::Key_Shift) {
    move_.ShiftChanged(true);
    return move_.State() == TMoveState::Dragging;
  }
  const bool used = move_.KeyDown(e->key(), e->modifiers());
  if (used) RefreshCursor();
  return used;
}

bool TMyImageLayered::ImageKeyRelease(QKeyEvent* e) {
  if (SelectionMode() != smMoveLayer) return TMyImage::ImageKeyRelease(e);
  if (e->key() != Qt::Key_Shift) return false;
  move_.ShiftChanged(false);
  return move_.State() == TMoveState::Dragging;
}

}  // namespace qm
