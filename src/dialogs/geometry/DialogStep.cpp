#include "dialogs/geometry/DialogStep.h"

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

bool TDialogStep::Resume(TDialogHost& host) {
  if (!document_) return false;
  const std::vector<TNewImgForm*>& open = host.Windows().Windows();
  if (std::find(open.begin(), open.end(), document_.data()) == open.end()) return false;
  if (host.GetActiveImgForm() != document_) host.Windows().ActivateImageWindow(document_);
  if (host.GetActiveImgForm() != document_) return false;
  const TUndoLayerItem* step = document_->History().GetCurrentUndoStep();
  TLayeredImage& image = document_->Image();
  const int index = image.Layers.IndexOf(layer_);
  if (!step || step->Id() != stepId_ || index < 0) return false;
  if (image.ActiveIndex() != index) {
    image.SetActiveLayerIndex(index);
    document_->Navigator().SyncLayerNavigatorCount();
  }
  return true;
}

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
