#include "dialogs/effects/EffectRuns.h"

#include "document/LayerHost.h"
#include "document/SelectionHost.h"
#include "document/Undo.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

namespace qm {

void RefuseTooSmall(TLayerRun& run) {
  ShowMessageDialog(Tr(TextId::GetTrDldGlb2), mtWarning, mbOK);
  run.Refused = true;
}

bool CellsFit(TLayerRun& run, int cell) {
  if (cell <= run.Rect.Width() / 2 && cell <= run.Rect.Height() / 2) return true;
  RefuseTooSmall(run);
  return false;
}

void FinishOnSelection(TDialogHost& host, TLayerRun& run, TSelectionEdge edge, bool outline, TColor color,
                       int width) {
  host.RestrictToSelection(edge);
  if (!outline) return;
  const bool smooth = host.LayerHost().SelectionSmoothing() != selSmoothNone;
  host.StrokeSelectionWith(color, width, smooth);
  // Around a shown selection, a smoothed or wide stroke takes a wider rectangle into
  // the step from the layer as it stands, the kernel's pixels included: the step takes
  // that rectangle again from the copy made before the change, and the runner repaints
  // it. (A frame along the layer's border stays inside the step.)
  const TSelectionOverlay* sel = host.LayerHost().ActiveSelection();
  const bool resnapped = sel && sel->Visible && !sel->Inverted && (smooth || width >= 2);
  if (resnapped && run.Step && run.Step->Mode == umRect && run.Step->Layer &&
      &run.Step->Layer->Image == &run.Layer) {
    ResnapUndoStepRect(*run.Step, run.Step->Rect, run.Source);
    run.Touched = run.Step->Rect;
  }
}

}  // namespace qm
