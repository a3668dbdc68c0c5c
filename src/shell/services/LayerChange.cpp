#include "shell/services/LayerChange.h"

#include <exception>
#include <new>
#include <optional>

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"

namespace qm {
namespace {

bool IsRectStep(const TUndoLayerItem& step) {
  const int kind = GetUndoStepParam(step, upKind);
  return kind == ukImageRect || kind == ukStroke || kind == ukMaskStroke || kind == ukWorkRect ||
         kind == ukWorkRectMask || kind == ukWorkRectImageAndMask || kind == ukFade;
}

// The context of the change on the step's layer, or nothing when the document lost the
// layer or the copy taken before the change.
struct TPrepared {
  TLayeredImage* Image = nullptr;
  TUndoLayerItem* Step = nullptr;
  TBitmap* Source = nullptr;
};

TPrepared Prepare(TDialogHost& host) {
  TPrepared p;
  p.Image = host.LayerHost().ActiveImage();
  TUndoList* history = host.LayerHost().ActiveHistory();
  p.Step = history ? history->GetCurrentUndoStep() : nullptr;
  p.Source = host.Operations().PreChangeCopy();
  if (!p.Image || !p.Step || !p.Step->Layer || !p.Source) p = {};
  return p;
}

// Runs the operation, then the restriction and the widening of the step; false when it
// refused. What it throws goes to the caller.
bool Apply(TDialogHost& host, const TPrepared& p, const TLayerChangeOptions& options, const TLayerOperation& operation,
           TRect& repaint) {
  TLayerItem& item = *p.Step->Layer;
  TLayerHost& layers = host.LayerHost();
  TLayerRun change{item.Image, *p.Source,   host.GetWorkRect(), layers.ForegroundColor(), layers.BackgroundColor(),
                   host.FillPattern(), &item, p.Step};
  operation(change);
  if (change.Refused) return false;
  if (options.Restrict) host.RestrictToSelection(options.Edge, options.Cache);
  repaint = change.Rect;
  if (!change.Touched.IsEmpty() && IsRectStep(*p.Step)) {
    // Widened from the copy taken before the change, never from the layer as the
    // operation left it: undo and a cancelled preview give back every pixel it wrote.
    const TRect grown = UnionRect(p.Step->Rect, IntersectRect(change.Touched, GetBitmapRect(*p.Source)));
    if (grown != p.Step->Rect) ResnapUndoStepRect(*p.Step, grown, *p.Source);
    repaint = UnionRect(repaint, change.Touched);
  }
  return true;
}

void Invalidate(TDialogHost& host, TLayeredImage* image, const TLayerChangeOptions& options, const TRect& rect) {
  if (!image) return;
  const bool rectKind = options.Kind == ukWorkRect || options.Kind == ukWorkRectMask ||
                        options.Kind == ukWorkRectImageAndMask;
  if (rectKind) image->InvalidateLayerRect(image->LayerRectToImageRect(rect));
  else image->InvalidateImage();
  host.RepaintActiveImage();
}

// A change that failed or refused: the layer gets its pixels back and the step goes,
// so the history holds no step for a change that did not happen.
void DropStep(TDialogHost& host) {
  PutStepBack(host);
  if (TUndoList* history = host.LayerHost().ActiveHistory()) history->DeleteLastUndoStep();
  host.Operations().RefreshLayerNavigator();
  host.UpdateCommandStates();
}

}  // namespace

void PutStepBack(TDialogHost& host) {
  host.Operations().RestoreFromHistory();
  if (TLayeredImage* image = host.LayerHost().ActiveImage()) image->InvalidateImage();
  host.RepaintActiveImage();
}

std::string FailureMessage(const std::exception_ptr& failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return Tr(TextId::TrFixOutOfMemory);
  } catch (const std::exception& e) {
    if (*e.what()) return e.what();
  } catch (...) {
  }
  return Tr(TextId::GetDlgError);
}

bool RunLayerChange(TDialogHost& host, const TLayerChangeOptions& options, const TLayerOperation& operation) {
  if (!host.HasActiveImage() || !host.GetActiveLayerBitmap()) return false;
  std::optional<TBusyScope> busy;
  if (options.Busy) busy.emplace(host, options.BusyText);
  std::exception_ptr failure;
  const TUndoLayerItem* pushed = nullptr;
  try {
    pushed = host.Operations().BeginUndoableOperation(options.Kind, options.Caption);
    if (!pushed) return false;
    const TPrepared p = Prepare(host);
    TRect repaint{};
    if (p.Step == pushed && Apply(host, p, options, operation, repaint)) {
      Invalidate(host, p.Image, options, repaint);
      if (options.ResetWindow) host.ResetImageWindowState();
      return true;
    }
  } catch (...) {
    failure = std::current_exception();
  }
  const TUndoList* history = host.LayerHost().ActiveHistory();
  if (pushed && history && history->GetCurrentUndoStep() == pushed) DropStep(host);
  else host.Operations().ReleasePreChangeCopy();
  if (failure) ShowMessageDialog(FailureMessage(failure), mtError, mbOK);
  return false;
}

bool RunLayerPreview(TDialogHost& host, const TLayerChangeOptions& options, bool restoreFirst,
                     const TLayerOperation& operation) {
  TBusyScope busy(host, options.BusyText);
  std::exception_ptr failure;
  try {
    if (restoreFirst) host.Operations().RestoreFromHistory();
    const TPrepared p = Prepare(host);
    TRect repaint{};
    if (p.Step && Apply(host, p, options, operation, repaint)) {
      Invalidate(host, p.Image, options, repaint);
      return true;
    }
  } catch (...) {
    failure = std::current_exception();
  }
  PutStepBack(host);
  if (failure) ShowMessageDialog(FailureMessage(failure), mtError, mbOK);
  return false;
}

void RecordLayerChangeRepeat(TDialogHost& host, const TLayerChangeOptions& options, TLayerOperation operation,
                             TRepeatGuard guard) {
  TLayerChangeOptions replay = options;
  replay.Cache = nullptr;  // the cache belongs to the showing that made it
  host.Operations().RecordRepeatableCommand(
      options.Caption,
      [&host, replay, operation = std::move(operation)] { RunLayerChange(host, replay, operation); }, guard);
}

}  // namespace qm
