#pragma once
// The layer operations that work through the selection or the clipboard: pasting as a
// layer, as a new image or as the layer's mask, the selection made a transformed
// layer or the fill pattern, and cropping to the selection. The shell takes the undo
// snapshot before calling them (the crop of every layer also records its shift in the
// current step).
#include <string>

#include "document/LayerHost.h"
#include "document/qt/Clipboard.h"

namespace qm {

// Edit > paste: the clipboard's picture, with our mask when the clipboard still holds
// our copy, as a new layer named name, centred in the visible part of the image and
// kept inside it. Returns the layer's index, -1 when nothing was pasted.
int PasteAsNewLayer(TLayerHost& host, TClipboardData& record, const std::string& name);
// Paste with mask: the left half of the picture is the layer, the right half its mask.
int PasteWithMask(TLayerHost& host, TClipboardData& record, const std::string& name);
// Paste mask: a layer in the palette's foreground colour showing through the picture
// taken as its mask.
int PasteWithMask2(TLayerHost& host, TClipboardData& record, const std::string& name);
// Paste as a new image (true colour): a masked picture is first laid over the picture's
// transparent colour, or the palette's background colour, where its mask hides it.
bool PasteAsNewImage(TLayerHost& host, TClipboardData& record);
// Paste as the active layer's mask: the picture made grey and inverted (white hides),
// merged with the picture's own mask (the lighter value), fitted to the layer's size
// with the triangle filter when it has another.
bool PasteAsAlpha(TLayerHost& host, TClipboardData& record);

// The selection's part of the active layer made a new layer at the same place, its
// edges feathered over 33 pixels for a shaped selection, turned by code: 1 flip
// vertical, 2 flip horizontal, 3 quarter turn clockwise, 4 counter-clockwise, 5 half
// turn (anything else keeps it as it is). The selection outline is hidden.
int TransformSelectionLayer(TLayerHost& host, const std::string& name, int code);
// The selection's part of the active layer becomes the fill pattern; outside a shaped
// selection the pattern takes the layer's transparent colour (and is transparent) or
// the palette's background colour.
bool DefinePatternFromSelection(TLayerHost& host);

// Crops the image to the selection's rectangle (the whole image for an inverted
// selection): outside a shaped selection the background is first hidden (through its
// mask when it has one) or filled with the palette's background colour, along an edge
// feathered over 33 pixels; every other layer moves by the cut, and the current undo
// step, when there is one, records that shift as its parameters 5 and 6.
bool CropAllLayers(TLayerHost& host);
// Crops the active layer and its mask to the selection's rectangle (cut to the layer);
// outside a shaped selection the mask is first whitened along a feathered edge. The
// layer keeps its place in the image.
bool CropActiveLayerToSelection(TLayerHost& host);

}  // namespace qm
