#pragma once
// What the image-size, fit and canvas dialogs (and the batch) do to a document, as
// changes of its background inside one undo step of the whole image: run.Layer is the
// background, run.Source its copy taken before the change, run.Item the background's
// layer and run.Step the step. No widget.
#include <functional>
#include <string>

#include "dialogs/command/SizeUnits.h"
#include "document/LayerHost.h"
#include "shell/services/LayerChange.h"

namespace qm {

class TDialogHost;

// A change of the whole image (its background whole, image and mask, and what the
// operation adds to the step) as one undo step named caption; then the window follows
// the new size when resized, and the layer strip. False when it failed or refused (the
// step gone, the message shown).
bool RunWholeImageChange(TDialogHost& host, const std::string& caption, const TLayerOperation& operation,
                         bool resized = true);

struct TResizeRequest {
  int Width = 1, Height = 1;  // 1..10000
  // Resampled with Filter (else every pixel the nearest source pixel), when the
  // background has no transparent colour and, with MinimumForFilter, when both sides
  // are at least 3 pixels.
  bool Filtered = true;
  TResampleFilter Filter = TResampleFilter::Lanczos;
  bool MinimumForFilter = true;
  // The other bitmap layers are scaled with it, positions included (their pixels join
  // the step).
  bool AllLayers = false;
};

// The background resized from run.Source, its mask with it (the background's: a
// layered document may carry an alpha background under other layers); a document of
// a palette gets its colour count back (statusText tells while it reduces). The layers
// follow when asked. Throws what the resampler cannot do (out of memory).
void ResizeBackground(TLayerHost& host, TLayerRun& run, const TResizeRequest& request,
                      const std::function<void(const std::string&)>& statusText = {});

// Whether the filtered path applies to the background with that request.
bool UsesFilter(const TBitmap& background, const TResizeRequest& request);

// The colour a canvas grows in, as a dialog shows it over the document: a keyed
// background's key, hidden white under an alpha background, a palette image's own
// pixel (0, 0) (its colours are fixed); a true-colour image keeps the colour chosen.
TColor CanvasBackgroundColor(const TLayeredImage& image, TColor chosen);

struct TCanvasRequest {
  int Width = 1, Height = 1;  // 1..10000
  TAlignment Anchor = alCenter;
  TColor Color = clWhite;            // where the old image does not reach
  const TBitmap* Pattern = nullptr;  // tiled over the colour from (0, 0), 24-bit
  TColor PatternKey = clNone;        // the pattern's pixels left out
};

// The background rebuilt at the new size from run.Source, the old image placed by the
// anchor; its mask (when it has one) likewise, hidden where the image was not; every
// other layer moved with the old image, the move kept in the step for undo and redo.
// Returns where the old image landed.
TRect EnlargeDocumentCanvas(TLayerHost& host, TLayerRun& run, const TCanvasRequest& request);

}  // namespace qm
