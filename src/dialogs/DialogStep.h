#pragma once
// The undo step a modeless command dialog works over (the one its command opened for
// it), with its document and the layer active when it opened. Under the dialog's shell
// lock the user may still pick another layer in the strip or another window: each
// action of the dialog first makes its own document and layer active again, and a
// document gone (or a step no longer current) ends the dialog's work without touching
// any history.
#include <QPointer>
#include <cstdint>

#include "shell/services/DialogHost.h"

namespace qm {

// The document, its current step and the layer a dialog works over made active again:
// false when the document is closed, the step is no longer current or the layer gone.
bool ResumeDialogStep(TDialogHost& host, TNewImgForm* document, TLayerItem* layer, int32_t stepId);

class TDialogStep {
 public:
  // Takes the active document's current step; false without one.
  bool Take(TDialogHost& host);
  // The document, the step and the layer active again; false when one is gone.
  bool Resume(TDialogHost& host);
  // A close without keeping the result: the step's pixels back (when changed) and the
  // step dropped, or, with the document gone, only the copy and the repeat forgotten.
  void TakeBack(TDialogHost& host, bool changed);
  void Release();

  TNewImgForm* Document() const { return document_; }
  TLayerItem* Layer() const { return layer_; }

 private:
  QPointer<TNewImgForm> document_;
  TLayerItem* layer_ = nullptr;
  int32_t stepId_ = 0;
};

}  // namespace qm
