#include "shell/services/UndoableOps.h"

#include <cmath>
#include <cstring>

#include "document/LayerOps.h"
#include "platform/core/Parallel.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

void Call(const std::function<void()>& f) {
  if (f) f();
}

// The bitmaps a kind keeps.
uint8_t WhichFor(TUndoKind kind, const TUndoLayerItem* current) {
  switch (kind) {
    case ukWholeImage:
    case ukWorkRectImageAndMask:
    case ukWholeLayer: return uwImageAndMask;
    case ukLayerMask:
    case ukMaskStroke:
    case ukWorkRectMask: return uwMask;
    case ukFade: return current ? current->Which : uint8_t(uwImage);
    default: return uwImage;
  }
}

bool IsWholeLayerKind(TUndoKind kind) { return kind == ukWholeImage || kind == ukLayerMask || kind == ukWholeLayer; }

// dst becomes a copy of src. A copy of the same shape is overwritten in place: the
// pages of a large layer are then already mapped, and mapping 70 MB of fresh pages
// costs more than copying into them.
void CopyInto(const TBitmap& src, TBitmap& dst) {
  if (src.Empty()) {
    dst = TBitmap();
    return;
  }
  if (dst.Width() != src.Width() || dst.Height() != src.Height() || dst.PixelFormat() != src.PixelFormat() ||
      dst.Stride() != src.Stride()) {
    dst.Assign(src);
    return;
  }
  const ptrdiff_t stride = src.Stride();
  const uint8_t* s = src.Bits();
  uint8_t* d = dst.Bits();
  ParallelRows(0, src.Height(), int64_t(src.Width()) * src.Height(), [&](int y0, int y1) {
    std::memcpy(d + y0 * stride, s + y0 * stride, size_t(y1 - y0) * size_t(stride));
  });
  dst.SetPalette(src.Palette());
  dst.Transparent = src.Transparent;
  dst.TransparentColor = src.TransparentColor;
}

int32_t Milli(double resolution) { return int32_t(std::nearbyint(resolution * 1000)); }

TRect BitmapBounds(const TBitmap& bmp) { return TRect{0, 0, bmp.Width(), bmp.Height()}; }

// Whether the layer still has the size the step stored: a rectangle step's snapshot
// is still its rectangle on the layer, a whole-layer step's bitmaps the layer's size.
bool StepApplies(const TUndoLayerItem& step) {
  if (!step.Layer) return false;
  if (step.Mode == umWholeLayer) return UndoStepFitsLayer(step);
  const TBitmap& bmp = step.Which == uwMask ? step.Layer->Mask : step.Layer->Image;
  const TBmp24& snap = step.Which == uwMask ? step.MaskSnap : step.ImageSnap;
  const TRect r = IntersectRect(step.Rect, BitmapBounds(bmp));
  return r.Width() == snap.Width() && r.Height() == snap.Height();
}

}  // namespace

std::string CutShortcutText(const std::string& caption) {
  if (caption.empty() || caption.back() != ']') return caption;
  const size_t at = caption.rfind(" [");
  return at == std::string::npos ? caption : caption.substr(0, at);
}

TUndoLayerItem* TUndoableOperations::BeginUndoableOperation(TUndoKind kind, const std::string& caption,
                                                              bool takeCopy) {
  TLayeredImage* image = host_.ActiveImage();
  TUndoList* history = host_.ActiveHistory();
  if (!image || !history || image->GetLayerCount() == 0 || unsigned(kind) >= kUndoKindCount) return nullptr;
  Call(Hooks.RepaintAll);
  const std::string name = CutShortcutText(caption);

  TUndoLayerItem* current = history->GetCurrentUndoStep();
  TLayerItem* layer = kind == ukWholeImage || kind == ukImageRect ? &image->Layers[0] : image->GetActiveLayer();
  // A fade goes back to the layer of the step it fades, whichever layer is active now:
  // its step must keep that layer's pixels, or undoing the fade would lose them.
  if (kind == ukFade && current && current->Layer) layer = current->Layer;
  if (!layer) return nullptr;

  if (IsWholeLayerKind(kind)) {
    const TSelectionOverlay* sel = host_.ActiveSelection();
    if (sel && sel->Visible) host_.HideSelection();
  }
  const uint8_t which = WhichFor(kind, current);
  TUndoLayerItem* step;
  if (IsWholeLayerKind(kind)) {
    step = history->AddUndoLayerStep(*layer, which, name);
  } else {
    TRect r{};
    if (kind == ukWorkRect || kind == ukWorkRectMask || kind == ukWorkRectImageAndMask) r = GetWorkRect(host_);
    else if (kind == ukFade && current) r = current->Rect;
    step = history->AddUndoRectStep(*layer, r, name, which);
  }
  // A fade mixes the two steps' own snapshots: it never reads the copy.
  if (kind == ukFade) takeCopy = false;
  if (takeCopy) CopyInto(which == uwMask ? layer->Mask : layer->Image, preChange_);
  preChangeValid_ = takeCopy;

  SetUndoStepParam(*step, upColorCount, image->ColorCount);
  SetUndoStepParam(*step, upKind, kind);
  SetUndoStepParam(*step, upResolution, Milli(image->ResolutionX));
  SetUndoStepParam(*step, upResolutionY, Milli(image->ResolutionY));
  Call(Hooks.UpdateHistoryMenus);
  return step;
}

TUndoLayerItem* TUndoableOperations::BeginDialogOperation(TUndoKind kind, const std::string& caption) {
  if (TUndoList* history = host_.ActiveHistory()) history->HoldNextPush();
  TUndoLayerItem* step = BeginUndoableOperation(kind, caption);
  // no step was pushed: the next push of the history is an ordinary one
  if (!step)
    if (TUndoList* history = host_.ActiveHistory()) history->KeepLastPush();
  return step;
}

void TUndoableOperations::RestoreFromHistory() {
  TUndoList* history = host_.ActiveHistory();
  TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr;
  if (!step) return;
  RestoreUndoStep(*step);
  for (int i = 0; i < step->SubSteps.GetUndoStepCount(); ++i) RestoreUndoStep(*step->SubSteps.GetUndoStep(i));
}

void TUndoableOperations::EndDialogOperation(bool previewed) {
  TLayeredImage* image = host_.ActiveImage();
  TUndoList* history = host_.ActiveHistory();
  if (previewed) {
    RestoreFromHistory();
    if (image) image->InvalidateImage();
  }
  if (history) history->TakeBackLastPush();
  preChangeValid_ = false;
  Call(Hooks.UpdateHistoryMenus);
  ClearRepeatableCommand();
}

void TUndoableOperations::AbandonDialogOperation() {
  preChangeValid_ = false;
  ClearRepeatableCommand();
}

void TUndoableOperations::PushLayerMoveUndo(TPoint oldPosition) {
  TLayeredImage* image = host_.ActiveImage();
  TUndoList* history = host_.ActiveHistory();
  if (!image || !history) return;
  const TUndoLayerItem* current = history->GetCurrentUndoStep();
  if (current && current->Layer == image->GetActiveLayer() && GetUndoStepParam(*current, upKind) == ukLayerMove)
    return;
  TUndoLayerItem* step = BeginUndoableOperation(ukLayerMove, Tr(TextId::GetTrLblMoveLayer));
  if (!step) return;
  step->SavedLeft = oldPosition.X;
  step->SavedTop = oldPosition.Y;
}

void TUndoableOperations::ExchangeStepParams(TUndoLayerItem& step) {
  TLayeredImage* image = host_.ActiveImage();
  if (!image) return;
  const int kind = GetUndoStepParam(step, upKind);
  // A step pushed by other means than BeginUndoableOperation carries no resolution (it
  // is never 0): it leaves the colour count and the resolution as they are.
  const int32_t storedX = GetUndoStepParam(step, upResolution);
  if (storedX > 0) {
    const int32_t storedY = GetUndoStepParam(step, upResolutionY);
    const int32_t colors = image->ColorCount;
    image->ColorCount = GetUndoStepParam(step, upColorCount);
    SetUndoStepParam(step, upColorCount, colors);
    const int32_t oldX = Milli(image->ResolutionX), oldY = Milli(image->ResolutionY);
    image->ResolutionX = storedX / 1000.0;
    image->ResolutionY = (storedY > 0 ? storedY : storedX) / 1000.0;
    SetUndoStepParam(step, upResolution, oldX);
    SetUndoStepParam(step, upResolutionY, oldY);
  }
  if (kind == ukTextToImage && step.Layer)
    step.Layer->LayerType = step.Layer->LayerType == ltBitmap ? ltText : ltBitmap;
  if (kind == ukWholeImage || kind == ukWholeLayer) host_.HideSelection();
}

void TUndoableOperations::ReplayAllLayerChange(const TUndoLayerItem& step, int sign) {
  OffsetAllLayers(host_, sign * GetUndoStepParam(step, upOffsetX), sign * GetUndoStepParam(step, upOffsetY), false);
  FlipRotateAllLayers(host_, sign * GetUndoStepParam(step, upFlipRotate));
}

void TUndoableOperations::AfterStep(TUndoLayerItem& step, const TRect& imageBefore) {
  TLayeredImage* image = host_.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return;
  const bool allLayers = GetUndoStepParam(step, upOffsetX) || GetUndoStepParam(step, upOffsetY) ||
                         GetUndoStepParam(step, upFlipRotate) || step.SubSteps.GetUndoStepCount() > 0;
  const int index = image->Layers.IndexOf(step.Layer);
  // The layer keeps the size its step stored (a whole-layer step then holds bitmaps of
  // the layer's size on both sides) and the image kept its size: the window only
  // repaints and shows the step's layer.
  const bool sameSize =
      index >= 0 && StepApplies(step) && BitmapBounds(image->Layers[0].Image) == imageBefore;
  if (sameSize) {
    image->SetActiveLayerIndex(index);
    image->InvalidateImage();
    host_.LayerStackChanged(TLayerChange::Selected, index);
    host_.LayerStackChanged(allLayers ? TLayerChange::Rebuild : TLayerChange::Changed, index);
  } else {
    image->InvalidateImage();
    host_.LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
    Call(Hooks.ResetWindowState);
  }
  Call(Hooks.UpdateCommandStates);
}

void TUndoableOperations::Undo() {
  TLayeredImage* image = host_.ActiveImage();
  TUndoList* history = host_.ActiveHistory();
  TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr;
  if (!image || !step || image->GetLayerCount() == 0) return;
  const TRect imageBefore = BitmapBounds(image->Layers[0].Image);
  ExchangeStepParams(*step);
  history->UndoStep();
  ReplayAllLayerChange(*step, -1);
  AfterStep(*step, imageBefore);
}

void TUndoableOperations::Redo() {
  TLayeredImage* image = host_.ActiveImage();
  TUndoList* history = host_.ActiveHistory();
  TUndoLayerItem* step = history ? history->GetNextUndoStep() : nullptr;
  if (!image || !step || image->GetLayerCount() == 0) return;
  const TRect imageBefore = BitmapBounds(image->Layers[0].Image);
  history->RedoStep();
  ExchangeStepParams(*step);
  ReplayAllLayerChange(*step, +1);
  AfterStep(*step, imageBefore);
}

void TUndoableOperations::RefreshLayerNavigator() {
  if (TLayeredImage* image = host_.ActiveImage()) host_.LayerStackChanged(TLayerChange::Changed, image->ActiveIndex());
  if (TUndoList* history = host_.ActiveHistory()) history->KeepLastPush();
  preChangeValid_ = false;
}

void TUndoableOperations::ReleasePreChangeCopy() {
  preChange_ = TBitmap();
  preChangeValid_ = false;
}

void TUndoableOperations::RecordRepeatableCommand(const std::string& caption, std::function<void()> replay,
                                                  TRepeatGuard guard) {
  repeatCaption_ = CutShortcutText(caption);
  replay_ = std::move(replay);
  repeatGuard_ = guard;
  RefreshLayerNavigator();
}

void TUndoableOperations::ClearRepeatableCommand() {
  repeatCaption_.clear();
  replay_ = nullptr;
  repeatGuard_ = rgAlways;
}

std::string TUndoableOperations::RepeatCaption() const {
  const std::string& repeat = Tr(TextId::GetTrMnuRepeat);
  return replay_ && !repeatCaption_.empty() ? repeat + " " + repeatCaption_ : repeat;
}

void TUndoableOperations::RepeatLastCommand() {
  if (!replay_) return;
  // The command may record itself again while it runs: run a copy.
  const std::function<void()> replay = replay_;
  replay();
  RefreshLayerNavigator();
}

}  // namespace qm
