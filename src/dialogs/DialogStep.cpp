#include "dialogs/DialogStep.h"

#include <algorithm>

#include "document/LayeredImage.h"
#include "document/Undo.h"

namespace qm {

bool TDialogStep::Take(TDialogHost& host) {
  TNewImgForm* document = host.GetActiveImgForm();
  const TUndoLayerItem* step = document ? document->History().GetCurrentUndoStep() : nullptr;
  if (!step) return false;
  document_ = document;
  layer_ = document->Image().GetActiveLayer();
  stepId_ = step->Id();
  return layer_ != nullptr;
}

bool ResumeDialogStep(TDialogHost& host, TNewImgForm* document, TLayerItem* layer, int32_t stepId) {
  if (!document) return false;
  const std::vector<TNewImgForm*>& open = host.Windows().Windows();
  if (std::find(open.begin(), open.end(), document) == open.end()) return false;
  if (host.GetActiveImgForm() != document) host.Windows().ActivateImageWindow(document);
  if (host.GetActiveImgForm() != document) return false;
  const TUndoLayerItem* step = document->History().GetCurrentUndoStep();
  TLayeredImage& image = document->Image();
  const int index = image.Layers.IndexOf(layer);
  if (!step || step->Id() != stepId || index < 0) return false;
  if (image.ActiveIndex() != index) {
    image.SetActiveLayerIndex(index);
    document->Navigator().SyncLayerNavigatorCount();
  }
  return true;
}

bool TDialogStep::Resume(TDialogHost& host) { return ResumeDialogStep(host, document_, layer_, stepId_); }

void TDialogStep::TakeBack(TDialogHost& host, bool changed) {
  if (Resume(host)) {
    host.Operations().EndDialogOperation(changed);
    document_->Image().InvalidateImage();
    host.RepaintActiveImage();
    host.RefreshLayerNavigator();
  } else {
    host.Operations().AbandonDialogOperation();
  }
  Release();
}

void TDialogStep::Release() {
  document_ = nullptr;
  layer_ = nullptr;
  stepId_ = 0;
}

}  // namespace qm
