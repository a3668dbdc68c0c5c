#include "document/qt/SelectionLayerOps.h"

#include <memory>

#include "document/LayerOps.h"
#include "document/Resample.h"
#include "document/Undo.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"

namespace qm {
namespace {

TBitmap Part(const TBitmap& src, TRect r) {
  TBitmap out;
  CopyBitmapRegion(src, out, r);
  if (!out.Empty() && out.PixelFormat() != pf24bit) out.SetPixelFormat(pf24bit);
  return out;
}

// A picture read as a mask: its grey levels.
TBitmap AsMask(TBitmap&& picture) {
  GrayscaleRect(picture, UnboundedRect);
  return std::move(picture);
}

const TSelectionOverlay* ShownSelection(TLayerHost& host) {
  const TSelectionOverlay* sel = host.ActiveSelection();
  return sel && sel->Visible ? sel : nullptr;
}

// The part outside the selection over r (layer coordinates with layer, else image
// coordinates), 0 there and 255 inside, its edge ramped over 33 pixels.
std::unique_ptr<TBitmap> OutsideMask(TLayerHost& host, const TRect& r, bool merged) {
  const bool inverted = !host.ActiveSelection()->Inverted;
  auto mask = merged ? BuildMergedSelectionMask(host, r, inverted) : BuildSelectionMask(host, r, inverted);
  if (mask) RampMaskEdges(*mask, UnboundedRect, 33);
  return mask;
}

// The selection's part of the active layer (layer coordinates, cut to the layer): the
// shown selection's rect, the whole layer for an inverted or hidden selection.
TRect SelectionPart(TLayerHost& host, const TLayeredImage& image, const TLayerItem& layer) {
  const TSelectionOverlay* sel = ShownSelection(host);
  TRect r = sel && !sel->Inverted ? image.ImageRectToLayerRect(sel->SelRect) : GetBitmapRect(layer.Image);
  ClipRectToBitmap(r, layer.Image);
  return r;
}

int PasteLayer(TLayerHost& host, const std::string& name, TBitmap&& picture, TBitmap&& mask) {
  if (picture.Empty()) return -1;
  const TRect r = PlaceLayerAtSelection(host, GetBitmapRect(picture));
  return AddLayerFromBitmap(host, name, std::move(picture), std::move(mask), TPoint{r.Left, r.Top});
}

}  // namespace

int PasteAsNewLayer(TLayerHost& host, TClipboardData& record, const std::string& name) {
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  return PasteLayer(host, name, std::move(picture), std::move(mask));
}

int PasteWithMask(TLayerHost& host, TClipboardData& record, const std::string& name) {
  TBitmap left, right;
  ReadClipboardHalves(record, left, right);
  if (right.Empty()) return -1;
  return PasteLayer(host, name, std::move(left), AsMask(std::move(right)));
}

int PasteWithMask2(TLayerHost& host, TClipboardData& record, const std::string& name) {
  TBitmap bitmap, picture;
  ReadClipboardOnColour(host, record, bitmap, picture);
  if (picture.Empty()) return -1;
  return PasteLayer(host, name, std::move(bitmap), AsMask(std::move(picture)));
}

bool PasteAsNewImage(TLayerHost& host, TClipboardData& record) {
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  if (picture.Empty()) return false;
  if (!mask.Empty()) {
    const TColor under = picture.Transparent ? picture.TransparentColor : host.BackgroundColor();
    // the colour comes in by the mask's own value: fully where it hides the picture
    InvertRect(mask, UnboundedRect);
    BlendColorThroughMask(mask, GetBitmapRect(mask), picture, 0, 0, GetBitmapRect(picture), under, 100);
  }
  host.OpenImageDocument(std::move(picture), 16777216, std::string());
  return true;
}

bool PasteAsAlpha(TLayerHost& host, TClipboardData& record) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty()) return false;
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  if (picture.Empty()) return false;
  picture.Transparent = false;
  GrayscaleRect(picture, UnboundedRect);
  InvertRect(picture, UnboundedRect);
  if (!mask.Empty()) MergeRectMax(mask, picture, 0, 0, UnboundedRect);
  if ((picture.Width() != layer->Image.Width() || picture.Height() != layer->Image.Height()) &&
      !Resample(picture, layer->Image.Width(), layer->Image.Height(), TResampleFilter::Triangle, picture))
    return false;
  layer->Mask = std::move(picture);
  image->InvalidateLayerRect(image->GetActiveLayerBounds());
  host.LayerStackChanged(TLayerChange::Changed, image->ActiveIndex());
  return true;
}

int TransformSelectionLayer(TLayerHost& host, const std::string& name, int code) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty()) return -1;
  const TRect r = SelectionPart(host, *image, *layer);
  if (r.IsEmpty()) return -1;
  TBitmap part = Part(layer->Image, r), mask;
  if (HasUsableSelection(host, false)) {
    if (auto m = BuildSelectionMask(host, r, host.ActiveSelection()->Inverted)) {
      RampMaskEdges(*m, UnboundedRect, 33);
      mask = std::move(*m);
      if (!layer->Mask.Empty()) MergeRectMax(layer->Mask, mask, -r.Left, -r.Top, UnboundedRect);
    }
  } else if (!layer->Mask.Empty()) {
    mask = Part(layer->Mask, r);
  }
  if (code >= 1 && code <= 5) {
    FlipRotateBitmap(part, code - 1);
    FlipRotateBitmap(mask, code - 1);
  }
  host.HideSelection();
  const TRect at = image->LayerRectToImageRect(r);
  return AddLayerFromBitmap(host, name, std::move(part), std::move(mask), TPoint{at.Left, at.Top});
}

bool DefinePatternFromSelection(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty()) return false;
  TRect r = GetWorkRect(host);
  ClipRectToBitmap(r, layer->Image);
  if (r.IsEmpty()) return false;
  TBitmap pattern = Part(layer->Image, r);
  const bool keyed = layer->Image.Transparent;
  const TColor key = keyed ? layer->Image.EffectiveTransparentColor() : clNone;
  if (HasUsableSelection(host, false)) {
    if (auto m = BuildSelectionMask(host, r, host.ActiveSelection()->Inverted))
      FillColorWhereMaskInRange(*m, GetBitmapRect(*m), pattern, 0, 0, GetBitmapRect(pattern),
                                keyed ? key : host.BackgroundColor(), 128, 255);
  }
  pattern.Transparent = keyed;
  pattern.TransparentColor = key;
  host.SetFillPattern(std::move(pattern));
  return true;
}

bool CropAllLayers(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return false;
  TLayerItem& bg = image->Layers[0];
  const TSelectionOverlay* sel = ShownSelection(host);
  TRect r = sel && !sel->Inverted ? sel->SelRect : GetBitmapRect(bg.Image);
  ClipRectToBitmap(r, bg.Image);
  if (r.IsEmpty()) return false;
  if (HasUsableSelection(host, false)) {
    if (auto outside = OutsideMask(host, r, true)) {
      const TRect m = GetBitmapRect(*outside);
      if (!bg.Mask.Empty()) BlendColorThroughMask(*outside, m, bg.Mask, r.Left, r.Top, r, clWhite, 100);
      else BlendColorThroughMask(*outside, m, bg.Image, r.Left, r.Top, r, host.BackgroundColor(), 100);
    }
  }
  CropBitmap(bg.Image, r);
  if (!bg.Mask.Empty()) CropBitmap(bg.Mask, r);
  // The shell's undo and redo move the other layers back and forth by this shift.
  TUndoList* history = host.ActiveHistory();
  if (TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr) {
    SetUndoStepParam(*step, 5, -r.Left);
    SetUndoStepParam(*step, 6, -r.Top);
  }
  OffsetAllLayers(host, -r.Left, -r.Top, false);
  image->InvalidateImage();
  host.LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
  return true;
}

bool CropActiveLayerToSelection(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty() || !ShownSelection(host)) return false;
  if (image->ActiveIndex() == 0) return CropAllLayers(host);
  const TRect r = SelectionPart(host, *image, *layer);
  if (r.IsEmpty()) return false;
  const TRect before = image->GetActiveLayerBounds();
  if (HasUsableSelection(host, false)) {
    layer->CreateDefaultMask();
    if (auto outside = OutsideMask(host, r, false))
      BlendColorThroughMask(*outside, GetBitmapRect(*outside), layer->Mask, r.Left, r.Top, r, clWhite, 100);
  }
  CropBitmap(layer->Image, r);
  if (!layer->Mask.Empty()) CropBitmap(layer->Mask, r);
  layer->Left += r.Left;
  layer->Top += r.Top;
  image->InvalidateLayerRect(before);
  host.LayerStackChanged(TLayerChange::Changed, image->ActiveIndex());
  return true;
}

}  // namespace qm
