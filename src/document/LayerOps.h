#pragma once
// The layer operations the shell's commands and the parameter dialogs call on the
// active document: menu-state predicates, default names, selecting, adding and
// deleting layers, placing pasted layers, the operations that move, flip, turn, scale
// and skew every layer together, the layer edge effects and the layer mask opened as
// an image. The shell takes the undo snapshot before calling them; none of them
// opens an undo step.
//
// Layers are added the way the layer strip adds them: a new bitmap layer gets its
// default mask, goes just above the layer that was active, and becomes active; the
// host is told through LayerStackChanged.
#include <cstdint>
#include <memory>
#include <string>

#include "document/LayerHost.h"
#include "document/LayerItem.h"
#include "document/LayeredImage.h"
#include "document/TextData.h"
#include "document/Undo.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// --- Menu states (false without a document) ----------------------------------------
// The active layer is a text layer carrying its text.
bool IsTextLayerActive(const TLayeredImage* image);
// The background is the active layer.
bool IsActiveImageEditable(const TLayeredImage* image);
// The active layer is locked or hidden.
bool IsActiveLayerBlocked(const TLayeredImage* image);
bool IsActiveLayerLocked(const TLayeredImage* image);
bool IsActiveLayerVisible(const TLayeredImage* image);
// The active layer is a text, adjustment or plain-colour layer (pixel commands are
// refused on it).
bool IsUpperLayerActive(const TLayeredImage* image);
bool ImageHasTextLayer(const TLayeredImage* image);
// Some layer above the background is shown and some other is hidden.
bool HasVisibleUpperLayer(const TLayeredImage* image);

// --- Names and the active layer --------------------------------------------------------
// "#" and the document's next layer number ("#1", "#2" ... in a new document).
std::string MakeNewLayerName(TLayerHost& host);
// Makes the layer active when it belongs to the active image.
void SelectLayer(TLayerHost& host, const TLayerItem& layer);
// The layer above the active one, the background after the top; and the reverse.
void SelectNextLayer(TLayerHost& host);
void SelectPreviousLayer(TLayerHost& host);

// --- Adding, duplicating, deleting -------------------------------------------------------
// The document's first layer, "#0": a 32-bit graphic split into image and alpha mask,
// any other taken as it is, without a mask. The moving form takes the graphic's pixels.
void AddFirstLayer(TLayerHost& host, const TBitmap& graphic);
void AddFirstLayer(TLayerHost& host, TBitmap&& graphic);
// The background becomes an ordinary layer under a new name (with its default mask)
// and the bitmap the new background "#0".
void ConvertBackgroundToLayer(TLayerHost& host, const TBitmap& bitmap);
// A bitmap layer at position, opacity 100. With a mask (it is fitted to the image's
// size when it has another), the two are taken as they are; without, the image is
// split as a graphic (a 32-bit alpha or a transparent bitmap's key colour becomes the
// mask). Returns the new layer's index, -1 without a document or for an empty image.
int AddLayerFromBitmap(TLayerHost& host, const std::string& name, TBitmap&& image, TBitmap&& mask,
                       TPoint position);
int AddLayerFromBitmap(TLayerHost& host, const std::string& name, const TBitmap& image, const TBitmap* mask,
                       TPoint position);
int AddColorLayer(TLayerHost& host, const std::string& name, TColor color, int opacity, bool negate);
int AddAdjustmentLayer(TLayerHost& host, const std::string& name, const TLayerAdjustment& adjustment,
                       int opacity);
// A text layer carrying the payload, not yet rendered (opacity 0).
int AddTextLayer(TLayerHost& host, const std::string& name, std::unique_ptr<TTextData> data);
// Deletes the active layer with its undo steps. The background is never deleted here:
// the layer above it would take its place at a position other than the origin.
void DeleteActiveLayer(TLayerHost& host);
// A copy of the active layer under a new name, above it. Returns its index or -1.
int DuplicateActiveLayer(TLayerHost& host);
// Shows or hides every layer above the background.
void HideAllLayers(TLayerHost& host, bool visible);

// --- Placing a new layer -----------------------------------------------------------------
// r (only its size counts) centred in the part of the image the view shows, then moved
// without resizing to lie inside the image. The image rect's origin without a document.
TRect PlaceLayerAtSelection(TLayerHost& host, TRect r);
// r moved to the selection rect's top-left corner, then kept inside the image when
// asked.
TRect PlaceLayerAtRect(TLayerHost& host, TRect r, bool keepInside);

// --- Every layer at once (the layers above the background; the shell's command changes
// the background itself before calling them) --------------------------------------------
// Left += dx, Top += dy; nothing when both are 0. With refresh the layer strip is
// rebuilt.
void OffsetAllLayers(TLayerHost& host, int dx, int dy, bool refresh);
// The flip and turn codes of the all-layer commands and of their undo: +-1 flip
// vertical, +-2 flip horizontal, 3 and -4 quarter turn clockwise, 4 and -3 quarter
// turn counter-clockwise, +-5 half turn; -c undoes c. Each layer's bitmaps are
// changed and its place mirrored inside the background as it now is. Other codes,
// 0 included, do nothing. With background, the background's bitmaps are changed first
// (the turned layers then write into the buffers the turns before them freed).
void FlipRotateAllLayers(TLayerHost& host, int code, bool background = false);
// After the background (oldWidth x oldHeight) was turned clockwise by the degrees
// with the canvas enlarged: every bitmap layer turns with it (smoothly, growing to
// hold the turned image) and goes where its centre went. Nothing for 0 degrees.
void RotateAllLayers(TLayerHost& host, int oldWidth, int oldHeight, double degrees);
// After the background was scaled: every bitmap layer is scaled by the factors and its
// position with them (rounded to nearest, ties to even). Nothing when both are 1.
void ScaleLayerPositions(TLayerHost& host, double sx, double sy);
// After the background (oldWidth x oldHeight) was skewed: every bitmap layer is skewed
// by the factors (x' = x + fx y, y' = y + fy x) and placed where its top-left corner
// went in the background, which the skew moved back to the origin.
void SkewAllLayers(TLayerHost& host, int oldWidth, int oldHeight, double fx, double fy);
// Adds a whole-layer step of every bitmap layer above the background to the current
// undo step (nothing without one).
void SaveLayersForUndo(TLayerHost& host);
// What the shell's undo and redo replay of a whole-image command beside the step's own
// snapshot: the other layers' shift (the step's parameters 5 and 6) and flip or turn
// code (parameter 7), taken back for an undo, done again for a redo.
void ReplayAllLayerChange(TLayerHost& host, const TUndoLayerItem& step, bool undo);

// --- Layer edge effects on a layer's mask (a layer without one gets its default mask)
// The edge width of a layer whose smaller side is m: 6 below 300, 8 below 800, 10 below
// 1200, 12 below 1600, else 16.
int LayerEdgeThickness(int width, int height);
// Shrink by the thickness, then a Gaussian blur of half of it.
void ApplyLayerEdgeProgressive(TLayerItem& layer);
// Shrink by half the thickness, then the pixels scattered by the thickness.
void ApplyLayerEdgeDispersion(TLayerItem& layer);
// A torn-paper edge: the shape crystallised at a size that suits the layer, then merged
// into the mask (a pixel only gets more transparent).
void ApplyLayerEdgeTorn(TLayerItem& layer);

// A new document (256 colours) holding the active layer's mask inverted (white shown),
// captioned "<layer> (Masque)". Nothing for a layer without a mask.
void OpenLayerAlphaAsImage(TLayerHost& host);

}  // namespace qm
