#pragma once
// A document window as the layer operations, the text layers and the clipboard see it:
// its image, history, selection and layer counter; its layer strip follows every
// change of the stack, and new layers are placed in the part of the image its view
// shows. It serves one window, or whichever window of a list is current.
//
// What only the shell knows (the palette's colours, the copy of the layer taken when
// the current change began, the selection smoothing of the Selection menu, the fill
// pattern, the selection tool's mode) has plain defaults here: the shell derives and
// overrides them.
#include <functional>
#include <string>

#include "document/LayerHost.h"

namespace qm {

class TImageWindows;
class TNewImgForm;

class TWindowLayerHost : public TLayerHost {
 public:
  // The list's current window, whichever it is at each call.
  explicit TWindowLayerHost(TImageWindows& windows);
  // That window alone; it must outlive the host.
  explicit TWindowLayerHost(TNewImgForm& window);

  // The window served now; null when there is none.
  TNewImgForm* Window() const { return target_(); }

  TLayeredImage* ActiveImage() override;
  TUndoList* ActiveHistory() override;
  // The window's layer counter, incremented.
  int NextLayerNumber() override;
  TRect VisibleImageRect() override;
  void LayerStackChanged(TLayerChange change, int index) override;
  void HideSelection() override;
  void ShowSelection() override;
  TSelectionOverlay* ActiveSelection() override;
  // The current step of the window's history, when it is a rectangle step.
  void ResnapUndoStep(const TRect& rect) override;
  // A new untitled window (or one captioned so) in the same list, maximised when the
  // window served is.
  void OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) override;

  const TBitmap* PreChangeCopy() override { return nullptr; }
  TSelectionSmoothing SelectionSmoothing() override { return selSmoothEdge; }
  void SetFillPattern(TBitmap&& pattern) override { FillPattern = std::move(pattern); }
  TBitmap FillPattern;

 private:
  std::function<TNewImgForm*()> target_;
  TImageWindows* list_ = nullptr;
};

}  // namespace qm
