#include "dialogs/effects/EffectRuns.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include "document/LayerHost.h"
#include "document/LayeredImage.h"
#include "document/SelectionHost.h"
#include "document/Undo.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/UndoableOps.h"

namespace qm {
namespace {

class TPlusMinusFilter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::KeyPress) return false;
    const QString text = static_cast<QKeyEvent*>(e)->text();
    if (text != QLatin1String("+") && text != QLatin1String("-")) return false;
    QKeyEvent replaced(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("A"));
    QCoreApplication::sendEvent(watched, &replaced);
    return true;
  }
};

}  // namespace

void TypePlusMinusAsA(QWidget& form) {
  auto* filter = new TPlusMinusFilter(&form);
  for (QWidget* w : form.findChildren<QWidget*>()) w->installEventFilter(filter);
}

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
