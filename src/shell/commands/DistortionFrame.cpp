#include "shell/commands/DistortionFrame.h"

#include <optional>

#include <QKeyEvent>
#include <array>

#include "document/LayeredImage.h"
#include "pixel/ImgUtils.h"
#include "pixel/Transform.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandTable.h"
#include "shell/services/ShellServices.h"
#include "views/VerticesControl.h"

namespace qm {
namespace {

// The frame's handles are larger than a selection's: easier to take on a large layer.
constexpr int kFrameHitSize = 15, kFrameDrawSize = 13;

// Where a layer lies in its image, through its transformation while one is attached.
TRect LayerReach(const TLayerItem& l) {
  if (!l.Transform) return Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height());
  TRect r;
  l.Transform->GetDestBounds(r);
  return r;
}

// The document drawn again where the layer was and where it is.
void Redraw(TNewImgForm& window, const TRect& before, const TRect& after) {
  window.Image().InvalidateImageRect(before);
  window.Image().InvalidateImageRect(after);
}

}  // namespace

TDistortionFrame::TDistortionFrame(TShellServices& services, QWidget* lockOwner)
    : services_(services), lockOwner_(lockOwner) {}

TDistortionFrame::~TDistortionFrame() {
  if (IsOpen()) Close();
}

TLayerItem* TDistortionFrame::Layer() const {
  if (!window_) return nullptr;
  TLayeredImage& image = window_->Image();
  for (int i = 0; i < image.GetLayerCount(); ++i)
    if (image.Layers[i].Id() == layerId_) return &image.Layers[i];
  return nullptr;
}

bool TDistortionFrame::Open(TLayerTransformMode mode) {
  // one frame at a time, and never under a dialog's lock (its release is the dialog's)
  if (IsOpen() || (services_.ShellLock() && services_.ShellLock() != lockOwner_)) return false;
  TNewImgForm* w = services_.GetActiveImgForm();
  TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  // the background stays at the origin; text, colour and adjustment layers have no
  // bitmap of their own to bend; a locked or hidden layer is left alone
  if (!layer || w->Image().ActiveIndex() < 1 || layer->LayerType != ltBitmap || layer->Locked || !layer->Visible ||
      layer->Image.Empty())
    return false;
  mode_ = mode;
  window_ = w;
  layerId_ = layer->Id();
  w->Selection().Hide();
  if (!services_.ShellLock()) services_.SetShellLock(lockOwner_);
  control_ = std::make_unique<TVerticesControl>(w->View());
  control_->FreeMode = mode == TLayerTransformMode::Distort;
  control_->HitSize = kFrameHitSize;
  control_->DrawSize = kFrameDrawSize;
  control_->SetCornersFromRect(Bounds(layer->Left, layer->Top, layer->Image.Width(), layer->Image.Height()));
  control_->OnChange = [this](TVerticesControl&, TVerticesChange code) { Changed(code); };
  control_->Show();
  w->View().installEventFilter(this);
  w->View().viewport()->installEventFilter(this);
  drawn_ = LayerReach(*layer);
  ShowBounds();
  if (layer->Transform) Preview();
  if (OnClosedOrOpened) OnClosedOrOpened();
  return true;
}

void TDistortionFrame::Changed(int code) {
  switch (code) {
    case vcBegin: services_.SetShowHints(false); break;
    case vcMoving: ShowBounds(); break;
    case vcEnd: services_.SetShowHints(true); break;
    case vcChanged:
      ShowBounds();
      Preview();
      break;
  }
}

void TDistortionFrame::ShowBounds() {
  if (window_ && control_) services_.ShowSelectionRectStatus(*window_, control_->GetBoundsRect());
}

void TDistortionFrame::Preview() {
  TLayerItem* layer = Layer();
  if (!layer || !control_) return;
  TBusyScope busy(services_);
  const bool projective = mode_ == TLayerTransformMode::Distort;
  if (!layer->Transform) {
    std::unique_ptr<TTransformation> t;
    if (projective) t = std::make_unique<TProjectiveTransformation>();
    else t = std::make_unique<TAffineTransformation>();
    layer->BeginTransform(std::move(t));
  }
  TTransformation& t = *layer->Transform;
  const int w = layer->Image.Width(), h = layer->Image.Height();
  t.SetSrcRect(TRect{0, 0, w, h});
  const std::array<TPoint, 4> c = control_->GetCorners();
  if (auto* p = dynamic_cast<TProjectiveTransformation*>(&t)) {
    p->SetTopLeft(c[0]);
    p->SetTopRight(c[1]);
    p->SetBottomRight(c[2]);
    p->SetBottomLeft(c[3]);
  } else if (auto* a = dynamic_cast<TAffineTransformation*>(&t)) {
    // The rectangle handles only resize and move: the corners' rectangle is the
    // bitmap's scaled, placed at its top-left corner.
    a->Clear();
    a->Scale(double(c[2].X - c[0].X) / w, double(c[2].Y - c[0].Y) / h);
    a->Translate(c[0].X, c[0].Y);
  }
  t.Prepared = false;
  const TRect reach = LayerReach(*layer);
  Redraw(*window_, drawn_, reach);
  drawn_ = reach;
  window_->View().RefreshCursor();
}

void TDistortionFrame::Apply() {
  if (!IsOpen()) return;
  TLayerItem* layer = Layer();
  std::optional<TBusyScope> busy(std::in_place, services_);
  services_.SetShellLock(nullptr);
  if (layer && layer->Transform) {
    const TCommandRow* row = FindCommandRow("MenuCalqueTransform");
    const std::string caption = CleanMenuCaption(row ? CommandCaption(*row) : std::string());
    if (services_.Operations().BeginUndoableOperation(ukWholeLayer, caption)) {
      layer->ApplyTransform();
      window_->Navigator().UpdateLayerThumbnail(window_->Image().ActiveIndex());
    } else {
      layer->EndTransform();
    }
    Redraw(*window_, drawn_, LayerReach(*layer));
  }
  Close();
  busy.reset();
  services_.UpdateStatusBar();
  if (OnClosedOrOpened) OnClosedOrOpened();
}

void TDistortionFrame::Cancel() {
  if (!IsOpen()) return;
  services_.SetShellLock(nullptr);
  if (TLayerItem* layer = Layer(); layer && layer->Transform) {
    layer->EndTransform();
    Redraw(*window_, drawn_, LayerReach(*layer));
  }
  Close();
  services_.UpdateStatusBar();
  if (OnClosedOrOpened) OnClosedOrOpened();
}

void TDistortionFrame::Close() {
  if (window_) {
    window_->View().removeEventFilter(this);
    window_->View().viewport()->removeEventFilter(this);
  }
  if (control_) control_->Hide();
  control_.reset();
  window_.clear();
  layerId_ = 0;
}

void TDistortionFrame::ViewMoved() {
  if (window_) window_->View().viewport()->update();
}

bool TDistortionFrame::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress || !control_ || control_->IsDragging()) return QObject::eventFilter(watched, e);
  switch (static_cast<QKeyEvent*>(e)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Apply();
      return true;
    case Qt::Key_Escape:
      Cancel();
      return true;
    default:
      return QObject::eventFilter(watched, e);
  }
}

}  // namespace qm
