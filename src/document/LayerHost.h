#pragma once
// The active document as the layer operations, the text layers and the clipboard see
// it, and the little they need of the shell around it: the palette's colours, the
// fill pattern, a new document window, the layer strip and the selection tool. The
// shell implements TLayerHost over its active document window; TStandaloneDocument is
// a document of its own without any window (batch work, tests, benchmarks).
//
// Every getter may be called without a document: the pointers are then null and the
// operations do nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/LayeredImage.h"
#include "document/SelectionHost.h"
#include "document/Undo.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// What changed in the layer stack, for the layer strip's thumbnails.
enum class TLayerChange : uint8_t {
  Added,     // a layer was inserted at the index and made active
  Deleted,   // the layer at the index was removed
  Selected,  // the layer at the index became active; its row is to be shown
  Changed,   // the pixels or the settings of the layer at the index changed
  Rebuild,   // several layers changed (positions, sizes, order): rebuild every row
};

class TLayerHost : public TSelectionHost {
 public:
  // The active document's image and history.
  virtual TLayeredImage* ActiveImage() = 0;
  virtual TUndoList* ActiveHistory() = 0;
  // Increments the document's layer counter (0 in a new document) and returns it.
  virtual int NextLayerNumber() = 0;
  // The part of the image the view shows, in image coordinates, cut to the image.
  // A document without a view shows the whole image.
  virtual TRect VisibleImageRect();
  // The layer strip follows a change of the stack.
  virtual void LayerStackChanged(TLayerChange, int /*index*/) {}
  // Hides or shows the selection outline (the selection itself is kept).
  virtual void HideSelection();
  virtual void ShowSelection();
  // The selection tool leaves whatever it was doing (drawing, moving, combining).
  virtual void EndSelectionMode() {}
  // The tool palette's colours.
  virtual TColor ForegroundColor() { return clBlack; }
  virtual TColor BackgroundColor() { return clWhite; }
  // Opens a new document window on the image (24-bit; ownership passes) with the
  // colour count; an empty caption makes an untitled document.
  virtual void OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) = 0;
  // Replaces the main window's fill pattern.
  virtual void SetFillPattern(TBitmap&& pattern) = 0;

  // --- TSelectionHost, answered from ActiveImage() ---------------------------------
  TBitmap* ActiveLayerBitmap() override;
  TPoint ActiveLayerOrigin() override;
  TBitmap* BaseLayerBitmap() override;
  // 257 colours or more.
  bool IsActiveImageTrueColor() override;
};

// The rectangle an operation applies to, in the active layer's coordinates: the whole
// image for an inverted selection, else the shown selection's rectangle, else the
// active layer's bounds. Empty without a document. Callers clip it to their bitmap.
TRect GetWorkRect(TLayerHost& host);

// A document without a window: its own image, selection, history and layer counter.
// The palette colours, the opened documents and the fill pattern are kept in fields
// for whoever drives it.
class TStandaloneDocument : public TLayerHost {
 public:
  explicit TStandaloneDocument(int historyCapacity = kUnlimitedUndoSteps);
  ~TStandaloneDocument() override;

  TLayeredImage Image;
  TSelectionOverlay Selection;
  TUndoList History;
  int LayerCounter = 0;
  TColor Foreground = clBlack, Background = clWhite;
  TBitmap PreChange;
  TSelectionSmoothing Smoothing = selSmoothEdge;
  // What OpenImageDocument and SetFillPattern received.
  struct TOpened {
    TBitmap Image;
    int ColorCount = 0;
    std::string Caption;
  };
  std::vector<TOpened> Opened;
  TBitmap FillPattern;

  TLayeredImage* ActiveImage() override { return &Image; }
  TUndoList* ActiveHistory() override { return &History; }
  int NextLayerNumber() override { return ++LayerCounter; }
  TSelectionOverlay* ActiveSelection() override { return &Selection; }
  const TBitmap* PreChangeCopy() override { return &PreChange; }
  TSelectionSmoothing SelectionSmoothing() override { return Smoothing; }
  void ResnapUndoStep(const TRect& rect) override;
  TColor ForegroundColor() override { return Foreground; }
  TColor BackgroundColor() override { return Background; }
  void OpenImageDocument(TBitmap&& image, int colorCount, const std::string& caption) override;
  void SetFillPattern(TBitmap&& pattern) override { FillPattern = std::move(pattern); }
};

}  // namespace qm
