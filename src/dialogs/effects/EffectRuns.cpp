#include "dialogs/effects/EffectRuns.h"

#include <QLineEdit>

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/UndoableOps.h"

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

bool RefuseEmptyField(TDialogHost& host, const QLineEdit& field) {
  if (!field.text().trimmed().isEmpty()) return false;
  ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK);
  host.Operations().RestoreFromHistory();
  if (TLayeredImage* image = host.LayerHost().ActiveImage()) image->InvalidateImage();
  host.RepaintActiveImage();
  return true;
}

void FinishOnSelection(TDialogHost& host, TLayerRun& run, TSelectionEdge edge, bool outline, TColor color,
                       int width) {
  host.RestrictToSelection(edge);
  if (!outline) return;
  host.StrokeSelectionWith(color, width, host.LayerHost().SelectionSmoothing() != selSmoothNone);
  // The stroke may take a wider rectangle into the step from the layer as it stands,
  // the kernel's pixels included: the step takes that rectangle again from the copy
  // made before the change, and the runner repaints it.
  if (run.Step && run.Step->Mode == umRect && run.Step->Layer && &run.Step->Layer->Image == &run.Layer) {
    ResnapUndoStepRect(*run.Step, run.Step->Rect, run.Source);
    run.Touched = run.Step->Rect;
  }
}

}  // namespace qm
