#include "shell/palette/Strokes.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/Brush.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/ShellServices.h"
#include "views/ViewTypes.h"

namespace qm {
namespace {

// The pen of the clone source's cross (drawn inverting what lies under it).
constexpr TColor kCrossColor = 0xFFD8CE;
// The selection's edge is feathered by a ramp this long at the end of a stroke.
constexpr int kFeatherRamp = 33;

constexpr TRect Inflate(const TRect& r, int dx, int dy) {
  return TRect{r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

TRect PointRect(TPoint p) { return TRect{p.X, p.Y, p.X + 1, p.Y + 1}; }

// The smallest rectangle holding both (both not empty).
TRect Hull(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

TRect SegmentRect(TPoint a, TPoint b) {
  return TRect{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X) + 1, std::max(a.Y, b.Y) + 1};
}

}  // namespace

// The clone source's cross over the view: a short horizontal and a split vertical
// line, inverting what they cover, kept within the image on screen.
class TCloneCross final : public TViewOverlay {
 public:
  explicit TCloneCross(TMyCustomImage& view) : view_(view) { view_.AddOverlay(this); }
  ~TCloneCross() override {
    Hide();
    view_.RemoveOverlay(this);
  }
  TMyCustomImage& View() const { return view_; }

  void MoveTo(TPoint client) {
    if (shown_ && client == at_) return;
    Hide();
    at_ = client;
    shown_ = true;
    view_.InvalidateClientRect(Bounds());
  }
  void Hide() {
    if (!shown_) return;
    shown_ = false;
    view_.InvalidateClientRect(Bounds());
  }
  bool IsShown() const override { return shown_; }
  void Paint(QPainter& painter, const QRegion&) override {
    const TRect v = view_.GetImageScreenRect();
    painter.save();
    painter.setClipRect(QRect(v.Left, v.Top, v.Width(), v.Height()), Qt::IntersectClip);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(QColor(GetRValue(kCrossColor), GetGValue(kCrossColor), GetBValue(kCrossColor)), 1));
    painter.drawLine(at_.X - 8, at_.Y, at_.X + 8, at_.Y);
    painter.drawLine(at_.X, at_.Y - 8, at_.X, at_.Y - 1);
    painter.drawLine(at_.X, at_.Y + 1, at_.X, at_.Y + 8);
    painter.restore();
  }

 private:
  QRect Bounds() const { return QRect(at_.X - 9, at_.Y - 9, 19, 19); }
  TMyCustomImage& view_;
  TPoint at_{};
  bool shown_ = false;
};

TStrokeEngine::TStrokeEngine(TShellServices& services) : services_(services) {}

TStrokeEngine::~TStrokeEngine() = default;

bool TStrokeEngine::Interpolates() const {
  switch (s_.Kind) {
    case TStrokeKind::Brush:
    case TStrokeKind::Smudge:
    case TStrokeKind::Clone:
    case TStrokeKind::Pattern: return true;
    default: return false;
  }
}

bool TStrokeEngine::AxisLockable() const {
  switch (s_.Kind) {
    case TStrokeKind::Brush:
    case TStrokeKind::Airbrush:
    case TStrokeKind::Clone:
    case TStrokeKind::Pattern: return true;
    default: return false;
  }
}

bool TStrokeEngine::Begin(TNewImgForm& window, TStrokeSettings settings, const TImagePointer& p) {
  if (active_) End();
  if (services_.GetActiveImgForm() != &window) return false;
  TLayerItem* layer = window.Image().GetActiveLayer();
  if (!layer || layer->Image.Empty()) return false;
  if (settings.Kind == TStrokeKind::Brush && settings.Tip.Empty()) return false;
  if (settings.Kind == TStrokeKind::Pattern && services_.FillPattern().Empty()) return false;
  if (settings.Kind == TStrokeKind::Clone && window.CloneSource.X < 0) {
    ShowMessageDialog(Tr(TextId::GetTrDlgTool2), mtInformation, mbOK);
    return false;
  }
  s_ = std::move(settings);
  const bool maskTarget = s_.Eraser && !layer->Mask.Empty();
  TUndoableOperations& ops = services_.Operations();
  step_ = ops.BeginUndoableOperation(maskTarget ? ukMaskStroke : ukStroke, s_.Caption);
  source_ = ops.PreChangeCopy();
  if (!step_ || !source_) {
    step_ = nullptr;
    return false;
  }
  window_ = &window;
  target_ = maskTarget ? &layer->Mask : &layer->Image;
  mask_.reset();
  if (HasUsableSelection(services_.LayerHost(), false)) mask_ = ApplySelectionMaskToLayer(services_.LayerHost(), seHard);
  clip_ = IntersectRect(services_.GetWorkRect(), GetBitmapRect(*target_));

  if (s_.Kind == TStrokeKind::Brush) {
    hx_ = (s_.Tip.Width() - 1) / 2;
    hy_ = (s_.Tip.Height() - 1) / 2;
    grow_x_ = hx_ + 2;
    grow_y_ = hy_ + 2;
  } else {
    hx_ = hy_ = s_.Radius;
    grow_x_ = grow_y_ = s_.Radius + 1;
  }
  pressure_ = s_.Pressure;
  dabs_ = 0;
  axis_ = TAxisLock::None;
  const bool left = p.Button == Qt::LeftButton;
  color_ = left ? s_.Foreground : s_.Background;
  if (s_.Kind == TStrokeKind::Brush) {
    if (s_.Eraser) {
      color_ = maskTarget ? clWhite
               : layer->Image.Transparent ? layer->Image.EffectiveTransparentColor()
                                          : s_.Background;
    } else if (s_.Rainbow) {
      ++hue_;
      color_ = HSVToColor(hue_ % 360, 255, 255);
    }
  }

  const TPoint at = window.View().ClientToLayerPoint(p.Client);
  last_ = lastDab_ = at;
  dirty_ = PointRect(at);
  active_ = true;

  TRect update = DabBox(at);
  switch (s_.Kind) {
    case TStrokeKind::Brush:
      if (strokePoint_ && strokePointWindow_ == &window && (p.Modifiers & Qt::ShiftModifier)) {
        // Shift-click: a straight line on from where the last stroke ended
        last_ = lastDab_ = strokePointAt_;
        GrowDirty(strokePointAt_);
        WalkSegment(strokePointAt_, at, [this](TPoint q) { DabAt(q, false); });
        update = Inflate(SegmentRect(strokePointAt_, at), grow_x_, grow_y_);
        last_ = at;
      } else {
        DabAt(at, true);
      }
      strokePoint_ = true;
      strokePointWindow_ = &window;
      break;
    case TStrokeKind::Smudge:
      break;
    case TStrokeKind::Clone:
    case TStrokeKind::Pattern:
      if (s_.Kind == TStrokeKind::Clone && !s_.FixedSource) {
        if (!window.CloneOffsetSet) {
          window.CloneOffset = TPoint{window.CloneSource.X - at.X, window.CloneSource.Y - at.Y};
          window.CloneOffsetSet = true;
        }
        cloneOffset_ = window.CloneOffset;
      }
      s_.Spacing = s_.FixedSource ? 0 : s_.Radius / 10;
      DabAt(at, true);
      if (s_.Kind == TStrokeKind::Clone && !s_.FixedSource) ShowCross(at);
      break;
    default:
      DabAt(at, true);
      break;
  }
  RestoreAndInvalidate(update);
  return true;
}

TRect TStrokeEngine::DabBox(TPoint at) const {
  if (s_.Kind == TStrokeKind::Brush) return TRect{at.X - hx_, at.Y - hy_, at.X + hx_ + 2, at.Y + hy_ + 2};
  return TRect{at.X - hx_, at.Y - hy_, at.X + hx_ + 1, at.Y + hy_ + 1};
}

void TStrokeEngine::DabAt(TPoint at, bool force) {
  const bool spaced = s_.Spacing > 0 && std::abs(at.X - lastDab_.X) <= s_.Spacing &&
                      std::abs(at.Y - lastDab_.Y) <= s_.Spacing;
  const int r = s_.Radius;
  switch (s_.Kind) {
    case TStrokeKind::Brush:
      // a faded tip stops within the move too, not only at the next one
      if ((spaced && !force) || pressure_ < 1) return;
      if (s_.Rainbow) color_ = HSVToColor((hue_ + 1) % 360, 255, 255);
      BlendColorThroughMask(s_.Tip, GetBitmapRect(s_.Tip), *target_, at.X - hx_, at.Y - hy_, clip_, color_,
                            pressure_);
      lastDab_ = at;
      if (++dabs_ % 3 == 0) pressure_ -= s_.Fade;
      ++hue_;
      break;
    case TStrokeKind::Smudge:
      SmudgeDab(*target_, at.X, at.Y, clip_, lastDab_.Y - at.Y, lastDab_.X - at.X, s_.Strength, r);
      lastDab_ = at;
      break;
    case TStrokeKind::Clone: {
      if (spaced && !force) return;
      TPoint off = cloneOffset_;
      if (s_.FixedSource && window_) off = TPoint{window_->CloneSource.X - at.X, window_->CloneSource.Y - at.Y};
      CloneDab(*target_, *source_, at.X, at.Y, clip_, s_.Pressure, off.Y, off.X, r);
      lastDab_ = at;
      break;
    }
    case TStrokeKind::Pattern:
      if (spaced && !force) return;
      PatternDab(*target_, services_.FillPattern(), at.X, at.Y, clip_, s_.FixedSource, s_.Pressure, r);
      lastDab_ = at;
      break;
    case TStrokeKind::Blur: BlurBrushDab(*target_, at.X, at.Y, clip_, s_.Strength, r); break;
    case TStrokeKind::Airbrush:
      AirbrushDab(*target_, at.X, at.Y, clip_, s_.Dispersion, color_, s_.Strength, r);
      break;
    case TStrokeKind::Retouch: RetouchDab(*target_, at.X, at.Y, clip_, int(s_.Retouch), s_.Strength, r); break;
  }
}

void TStrokeEngine::Continue(const TImagePointer& p) {
  if (!active_) return;
  if (!window_) {
    active_ = false;
    return;
  }
  TPoint at = window_->View().ClientToLayerPoint(p.Client);
  if (at == last_) return;
  if (AxisLockable() && (p.Modifiers & Qt::ShiftModifier)) {
    if (axis_ == TAxisLock::None) axis_ = DecideAxisLock(last_, at);
    at = ApplyAxisLock(axis_, last_, at);
    if (at == last_) return;
  }
  // an advanced tip that has faded out paints no more
  if (s_.Kind == TStrokeKind::Brush && pressure_ < 1) return;
  TRect update;
  if (Interpolates()) {
    WalkSegment(last_, at, [this](TPoint q) { DabAt(q, false); });
    update = Inflate(SegmentRect(last_, at), grow_x_, grow_y_);
  } else {
    DabAt(at, true);
    update = DabBox(at);
  }
  RestoreAndInvalidate(update);
  last_ = at;
  GrowDirty(at);
  if (s_.Kind == TStrokeKind::Clone && !s_.FixedSource) ShowCross(at);
}

void TStrokeEngine::GrowDirty(TPoint at) { dirty_ = Hull(dirty_, PointRect(at)); }

void TStrokeEngine::RestoreAndInvalidate(const TRect& update) {
  if (!window_ || !target_) return;
  const TRect r = IntersectRect(Inflate(update, 1, 1), GetBitmapRect(*target_));
  if (r.IsEmpty()) return;
  if (mask_ && source_) CopyBitmapRectMasked(*source_, GetBitmapRect(*source_), *target_, 0, 0, r, 100, *mask_);
  TLayeredImage& image = window_->Image();
  image.InvalidateLayerRect(image.LayerRectToImageRect(r));
}

void TStrokeEngine::ShowCross(TPoint layerPoint) {
  if (!window_) return;
  TMyImageLayered& view = window_->View();
  if (!cross_ || &cross_->View() != &view) cross_ = std::make_unique<TCloneCross>(view);
  cross_->MoveTo(view.LayerToClientPoint(TPoint{layerPoint.X + cloneOffset_.X, layerPoint.Y + cloneOffset_.Y}));
}

void TStrokeEngine::FinishSelectionEdge(bool smooth) {
  if (!mask_) return;
  TSelectionOverlay* sel = services_.LayerHost().ActiveSelection();
  if (smooth && sel && source_ && services_.LayerHost().SelectionSmoothing() != selSmoothNone) {
    // One pixel more of the outside comes back, then a ramp fades the paint in from the
    // selection's border: the stroke's edge follows the outline without stair steps.
    TLayeredImage& image = window_->Image();
    TRect area = IntersectRect(Inflate(image.ImageRectToLayerRect(sel->SelRect), 2, 2), GetBitmapRect(*mask_));
    ApplyMinMaxPasses(*mask_, 1, area);
    RampMaskEdges(*mask_, area, kFeatherRamp);
    const TRect copy = IntersectRect(area, Inflate(dirty_, grow_x_ + 1, grow_y_ + 1));
    if (!copy.IsEmpty()) {
      CopyBitmapRectMasked(*source_, GetBitmapRect(*source_), *target_, 0, 0, copy, 100, *mask_);
      image.InvalidateLayerRect(image.LayerRectToImageRect(copy));
    }
  }
  mask_.reset();
}

void TStrokeEngine::End() {
  if (!active_) return;
  active_ = false;
  if (cross_) cross_.reset();
  if (!window_ || !target_) return;
  FinishSelectionEdge(s_.Kind != TStrokeKind::Blur);
  strokePointAt_ = last_;
  const TRect touched = IntersectRect(Inflate(dirty_, grow_x_, grow_y_), clip_);
  TUndoList& history = window_->History();
  if (step_ && history.GetCurrentUndoStep() == step_) {
    if (touched.IsEmpty()) {
      // nothing of the layer was reached: the stroke leaves no step behind
      history.DeleteLastUndoStep();
      if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
    } else {
      ResnapUndoStepRect(*step_, touched, *source_);
    }
  }
  step_ = nullptr;
  source_ = nullptr;
  target_ = nullptr;
  services_.RefreshLayerNavigator();
}

void TStrokeEngine::SetCloneSource(TNewImgForm& window, TPoint client) {
  window.CloneSource = window.View().ClientToLayerPoint(client);
  window.CloneOffsetSet = false;
}

void TStrokeEngine::BeginMove(TNewImgForm& window, TPoint client, int step) {
  moveWindow_ = &window;
  moveStep_ = std::max(1, step);
  moveLast_ = SnapToStep(client, moveStep_);
}

void TStrokeEngine::ContinueMove(TPoint client) {
  if (!moveWindow_) return;
  const TPoint now = SnapToStep(client, moveStep_);
  if (!MoveStepReached(moveLast_, now, moveStep_)) return;
  moveWindow_->View().ScrollImageBy(moveLast_.X - now.X, moveLast_.Y - now.Y);
  moveLast_ = now;
}

void TStrokeEngine::EndMove() { moveWindow_ = nullptr; }

}  // namespace qm
