#include "document/LayerOps.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>

#include "document/Layers.h"
#include "document/Resample.h"
#include "document/Undo.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "pixel/RectUtils.h"
#include "pixel/Rotation.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

const TLayerItem* Active(const TLayeredImage* image) { return image ? image->GetActiveLayer() : nullptr; }

TRect ImageRect(const TLayeredImage& image) {
  return image.GetLayerCount() > 0 ? GetBitmapRect(image.Layers[0].Image) : TRect{};
}

// What the layer strip does after the image appended a layer at the top: a bitmap
// layer gets its default mask, the layer goes just above the one that was active and
// becomes active.
int FinishAdd(TLayerHost& host, TLayeredImage& image, int previousActive, int added) {
  if (added < 0) return added;
  TLayerItem& layer = image.Layers[added];
  if (layer.LayerType == ltBitmap) layer.CreateDefaultMask();
  if (previousActive >= 0 && previousActive + 1 < added) {
    image.Layers.Move(added, previousActive + 1);
    added = previousActive + 1;
  }
  image.SetActiveLayerIndex(added);
  image.InvalidateImage();
  host.LayerStackChanged(TLayerChange::Added, added);
  return added;
}

// Every layer above the background, with its index.
template <class F>
void ForEachUpperLayer(TLayeredImage& image, F&& f) {
  for (int i = 1; i < image.GetLayerCount(); ++i) f(image.Layers[i]);
}

template <class F>
void ForEachUpperBitmapLayer(TLayeredImage& image, F&& f) {
  ForEachUpperLayer(image, [&](TLayerItem& l) {
    if (l.LayerType == ltBitmap) f(l);
  });
}

// Whether every pixel of a 24-bit bitmap has the bytes of the first one. The rows are
// shared among the threads; a photo answers at its second pixel.
bool IsUniform24(const TBitmap& bmp) {
  if (bmp.Empty() || bmp.PixelFormat() != pf24bit) return false;
  const int w = bmp.Width();
  const uint8_t* first = bmp.ScanLine(0);
  for (int x = 1; x < w; ++x)
    if (std::memcmp(first, first + 3 * ptrdiff_t(x), 3) != 0) return false;
  std::atomic<bool> uniform{true};
  ParallelRows(1, bmp.Height(), int64_t(w) * bmp.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1 && uniform.load(std::memory_order_relaxed); ++y)
      if (std::memcmp(bmp.ScanLine(y), first, size_t(w) * 3) != 0) uniform = false;
  });
  return uniform;
}

// The settings a bitmap carries beside its pixels, kept by a changed copy.
void KeepSettings(const TBitmap& from, TBitmap& to) {
  to.Transparent = from.Transparent;
  to.TransparentColor = from.TransparentColor;
  to.BrushColor = from.BrushColor;
}

void Rebuild(TLayerHost& host, TLayeredImage& image) {
  image.InvalidateImage();
  host.LayerStackChanged(TLayerChange::Rebuild, image.ActiveIndex());
}

}  // namespace

// --- Menu states ---------------------------------------------------------------------

bool IsTextLayerActive(const TLayeredImage* image) {
  const TLayerItem* l = Active(image);
  return l && l->LayerType == ltText && dynamic_cast<const TTextData*>(l->Data.get());
}

bool IsActiveImageEditable(const TLayeredImage* image) { return image && image->ActiveIndex() == 0; }

bool IsActiveLayerBlocked(const TLayeredImage* image) {
  const TLayerItem* l = Active(image);
  return l && (l->Locked || !l->Visible);
}

bool IsActiveLayerLocked(const TLayeredImage* image) {
  const TLayerItem* l = Active(image);
  return l && l->Locked;
}

bool IsActiveLayerVisible(const TLayeredImage* image) {
  const TLayerItem* l = Active(image);
  return l && l->Visible;
}

bool IsUpperLayerActive(const TLayeredImage* image) {
  const TLayerItem* l = Active(image);
  return l && l->LayerType != ltBitmap;
}

bool ImageHasTextLayer(const TLayeredImage* image) {
  if (!image) return false;
  for (int i = 0; i < image->GetLayerCount(); ++i)
    if (image->Layers[i].LayerType == ltText) return true;
  return false;
}

bool HasVisibleUpperLayer(const TLayeredImage* image) {
  if (!image) return false;
  bool shown = false, hidden = false;
  for (int i = 1; i < image->GetLayerCount(); ++i) (image->Layers[i].Visible ? shown : hidden) = true;
  return shown && hidden;
}

// --- Names and the active layer ----------------------------------------------------------

std::string MakeNewLayerName(TLayerHost& host) {
  std::string name = "#";
  name += std::to_string(host.NextLayerNumber());
  return name;
}

void SelectLayer(TLayerHost& host, const TLayerItem& layer) {
  TLayeredImage* image = host.ActiveImage();
  if (!image) return;
  const int i = image->Layers.IndexOf(&layer);
  if (i < 0) return;
  image->SetActiveLayerIndex(i);
  host.LayerStackChanged(TLayerChange::Selected, i);
}

void SelectNextLayer(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return;
  const int i = image->ActiveIndex() + 1 < image->GetLayerCount() ? image->ActiveIndex() + 1 : 0;
  SelectLayer(host, image->Layers[i]);
}

void SelectPreviousLayer(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return;
  const int i = image->ActiveIndex() >= 1 ? image->ActiveIndex() - 1 : image->GetLayerCount() - 1;
  SelectLayer(host, image->Layers[i]);
}

// --- Adding, duplicating, deleting -----------------------------------------------------

void AddFirstLayer(TLayerHost& host, const TBitmap& graphic) {
  // a 32-bit graphic is split into bitmaps of its own: any other is copied first
  if (graphic.PixelFormat() != pf32bit) return AddFirstLayer(host, graphic.Clone());
  TLayeredImage* image = host.ActiveImage();
  if (!image) return;
  image->LoadFromGraphic(graphic, "#0");
  image->InvalidateImage();
  host.LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
}

void AddFirstLayer(TLayerHost& host, TBitmap&& graphic) {
  if (graphic.PixelFormat() == pf32bit) return AddFirstLayer(host, std::as_const(graphic));
  TLayeredImage* image = host.ActiveImage();
  if (!image) return;
  image->LoadFromBitmap(std::move(graphic), TBitmap(), "#0");
  image->InvalidateImage();
  host.LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
}

void ConvertBackgroundToLayer(TLayerHost& host, const TBitmap& bitmap) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0 || bitmap.Empty()) return;
  TLayerItem& old = image->Layers[0];
  old.Name = MakeNewLayerName(host);
  old.CreateDefaultMask();
  image->InsertBottomLayer(bitmap, TBitmap(), "#0");
  Rebuild(host, *image);
}

int AddLayerFromBitmap(TLayerHost& host, const std::string& name, TBitmap&& imageBits, TBitmap&& mask,
                       TPoint position) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || imageBits.Empty()) return -1;
  const int previous = image->ActiveIndex();
  // An opaque 24-bit picture splits into itself and no mask: it is taken as it is.
  const bool asGraphic = mask.Empty() && (imageBits.PixelFormat() != pf24bit || imageBits.Transparent);
  const int added = asGraphic ? image->AddLayerFromGraphic(imageBits, position, name, 100)
                              : image->AddLayer(std::move(imageBits), std::move(mask), name, 100, position);
  return FinishAdd(host, *image, previous, added);
}

int AddLayerFromBitmap(TLayerHost& host, const std::string& name, const TBitmap& image, const TBitmap* mask,
                       TPoint position) {
  return AddLayerFromBitmap(host, name, image.Clone(), mask ? mask->Clone() : TBitmap(), position);
}

int AddColorLayer(TLayerHost& host, const std::string& name, TColor color, int opacity, bool negate) {
  TLayeredImage* image = host.ActiveImage();
  if (!image) return -1;
  const int previous = image->ActiveIndex();
  return FinishAdd(host, *image, previous, image->AddColorLayer(color, opacity, name, negate));
}

int AddAdjustmentLayer(TLayerHost& host, const std::string& name, const TLayerAdjustment& adjustment,
                       int opacity) {
  TLayeredImage* image = host.ActiveImage();
  if (!image) return -1;
  const int previous = image->ActiveIndex();
  return FinishAdd(host, *image, previous, image->AddAdjustmentLayer(adjustment, opacity, name));
}

int AddTextLayer(TLayerHost& host, const std::string& name, std::unique_ptr<TTextData> data) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || !data) return -1;
  const int previous = image->ActiveIndex();
  return FinishAdd(host, *image, previous, image->AddDataLayer(std::move(data), name));
}

void DeleteActiveLayer(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->ActiveIndex() < 1) return;
  const int i = image->ActiveIndex();
  image->Layers.Delete(i);
  host.LayerStackChanged(TLayerChange::Deleted, i);
}

int DuplicateActiveLayer(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->ActiveIndex() < 0) return -1;
  const int previous = image->ActiveIndex();
  return FinishAdd(host, *image, previous, image->DuplicateLayer(previous, MakeNewLayerName(host)));
}

void HideAllLayers(TLayerHost& host, bool visible) {
  TLayeredImage* image = host.ActiveImage();
  if (!image) return;
  ForEachUpperLayer(*image, [&](TLayerItem& l) { l.Visible = visible; });
  Rebuild(host, *image);
}

// --- Placing a new layer ----------------------------------------------------------------

TRect PlaceLayerAtSelection(TLayerHost& host, TRect r) {
  r = Bounds(0, 0, r.Width(), r.Height());
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return r;
  TRect box = IntersectRect(host.VisibleImageRect(), ImageRect(*image));
  if (box.IsEmpty()) box = ImageRect(*image);
  AlignRectInRect(r, box, alCenter);
  KeepRectInside(r, ImageRect(*image), false);
  return r;
}

TRect PlaceLayerAtRect(TLayerHost& host, TRect r, bool keepInside) {
  r = Bounds(0, 0, r.Width(), r.Height());
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return r;
  if (const TSelectionOverlay* sel = host.ActiveSelection()) r = OffsetRect(r, sel->SelRect.Left, sel->SelRect.Top);
  if (keepInside) KeepRectInside(r, ImageRect(*image), false);
  return r;
}

// --- Every layer at once -----------------------------------------------------------------

void OffsetAllLayers(TLayerHost& host, int dx, int dy, bool refresh) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || (dx == 0 && dy == 0)) return;
  ForEachUpperLayer(*image, [&](TLayerItem& l) {
    l.Left += dx;
    l.Top += dy;
  });
  image->InvalidateImage();
  if (refresh) host.LayerStackChanged(TLayerChange::Rebuild, image->ActiveIndex());
}

void FlipRotateAllLayers(TLayerHost& host, int code, bool background) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return;
  // The bitmap operation (FlipRotateBitmap's code) of each command code.
  int op;
  switch (code) {
    case 1: case -1: op = 0; break;
    case 2: case -2: op = 1; break;
    case 3: case -4: op = 2; break;
    case 4: case -3: op = 3; break;
    case 5: case -5: op = 4; break;
    default: return;
  }
  // The buffer of the last bitmap turned, for the next turn to write into; the first
  // comes from the spare blocks of the histories, the last goes back to them.
  const TBitmap& front = image->Layers[0].Image;
  TBitmap spare = TakeSpareBitmap(front.Empty() ? 0 : size_t(front.Stride()) * size_t(front.Height()));
  const auto change = [&](TBitmap& bmp) {
    if (bmp.Empty()) return;
    const bool quarter = op == 2 || op == 3;
    // A mask that shows (or hides) the whole layer, as most masks do, only changes shape.
    if (IsUniform24(bmp)) {
      if (quarter && !bmp.Reshape(bmp.Height(), bmp.Width())) {
        TBitmap turned(bmp.Height(), bmp.Width(), pf24bit, bmp.GetPixel(0, 0));
        KeepSettings(bmp, turned);
        bmp = std::move(turned);
      }
      return;
    }
    if (!quarter || bmp.PixelFormat() != pf24bit) {
      FlipRotateBitmap(bmp, op);
      return;
    }
    // Layers of one size turn into each other's freed buffers: a 24 MP buffer costs more
    // to map and fault in than the turn costs to write.
    TBitmap turned = std::move(spare);
    if (!turned.Reshape(bmp.Height(), bmp.Width())) turned = TBitmap();
    RotateBitmap90To(bmp, turned, op == 2);
    KeepSettings(bmp, turned);
    spare = std::move(bmp);
    bmp = std::move(turned);
  };
  if (background) {
    change(image->Layers[0].Image);
    change(image->Layers[0].Mask);
  }
  const int W = image->Layers[0].Image.Width(), H = image->Layers[0].Image.Height();
  ForEachUpperLayer(*image, [&](TLayerItem& l) {
    change(l.Image);
    change(l.Mask);
    const int w = l.Image.Width(), h = l.Image.Height();
    const int left = l.Left, top = l.Top;
    switch (op) {
      case 0: l.Top = H - top - h; break;
      case 1: l.Left = W - left - w; break;
      case 2: l.Left = W - top - w; l.Top = left; break;
      case 3: l.Left = top; l.Top = H - left - h; break;
      case 4: l.Left = W - left - w; l.Top = H - top - h; break;
      default: break;
    }
  });
  GiveSpareBitmap(std::move(spare));
  Rebuild(host, *image);
}

void RotateAllLayers(TLayerHost& host, int oldWidth, int oldHeight, double degrees) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0 || degrees == 0 || !std::isfinite(degrees)) return;
  const int W = image->Layers[0].Image.Width(), H = image->Layers[0].Image.Height();
  ForEachUpperBitmapLayer(*image, [&](TLayerItem& l) {
    // The layer turns about its centre (counter-clockwise positive there), growing to
    // hold the turned image; its top-left then follows the centre's way in the frame.
    l.RotateBy(-degrees);
    const int w = l.Image.Width(), h = l.Image.Height();
    TPoint p, q;
    RotatePointInFrame(TPoint{l.Left, l.Top}, oldWidth, oldHeight, degrees, W, H, p);
    RotatePointInFrame(TPoint{0, 0}, w, h, degrees, w, h, q);
    l.Left = p.X - q.X;
    l.Top = p.Y - q.Y;
  });
  Rebuild(host, *image);
}

void ScaleLayerPositions(TLayerHost& host, double sx, double sy) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || (sx == 1.0 && sy == 1.0) || !std::isfinite(sx) || !std::isfinite(sy)) return;
  ForEachUpperBitmapLayer(*image, [&](TLayerItem& l) {
    l.ScaleBy(sx, sy);
    l.Left = RoundHalfEven(l.Left * sx);
    l.Top = RoundHalfEven(l.Top * sy);
  });
  Rebuild(host, *image);
}

void SkewAllLayers(TLayerHost& host, int oldWidth, int oldHeight, double fx, double fy) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || !std::isfinite(fx) || !std::isfinite(fy) || (fx == 0 && fy == 0)) return;
  // The skewed background was moved back to the origin: by the skew of its corner that
  // went furthest up or left.
  const double minX = std::min(0.0, fx * (oldHeight - 1)), minY = std::min(0.0, fy * (oldWidth - 1));
  ForEachUpperBitmapLayer(*image, [&](TLayerItem& l) {
    // SkewBy keeps the layer's own top-left corner where it is (its bounds may grow up
    // or left of it); that corner goes where the background's skew takes it.
    const int cornerX = l.Left, cornerY = l.Top;
    const int dx = RoundHalfEven(fx * cornerY - minX), dy = RoundHalfEven(fy * cornerX - minY);
    l.SkewBy(fx, fy);
    l.Left += dx;
    l.Top += dy;
  });
  Rebuild(host, *image);
}

void SaveLayersForUndo(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  TUndoList* history = host.ActiveHistory();
  if (image && history) SaveLayersForUndo(*history, image->Layers);
}

void ReplayAllLayerChange(TLayerHost& host, const TUndoLayerItem& step, bool undo) {
  const int sign = undo ? -1 : 1;
  OffsetAllLayers(host, sign * GetUndoStepParam(step, 5), sign * GetUndoStepParam(step, 6), true);
  FlipRotateAllLayers(host, sign * GetUndoStepParam(step, 7));
}

// --- Layer edge effects ------------------------------------------------------------------

int LayerEdgeThickness(int width, int height) {
  const int m = std::min(width, height);
  if (m < 300) return 6;
  if (m < 800) return 8;
  if (m < 1200) return 10;
  if (m < 1600) return 12;
  return 16;
}

namespace {

// The layer's mask, made first when the layer has none; null for a layer without
// pixels.
TBitmap* EdgeMask(TLayerItem& layer) {
  if (layer.Image.Empty()) return nullptr;
  layer.CreateDefaultMask();
  return layer.Mask.Empty() ? nullptr : &layer.Mask;
}

}  // namespace

void ApplyLayerEdgeProgressive(TLayerItem& layer) {
  TBitmap* mask = EdgeMask(layer);
  if (!mask) return;
  const int t = LayerEdgeThickness(mask->Width(), mask->Height());
  ApplyMinMaxPasses(*mask, -t, UnboundedRect);
  GaussianBlurMaskRect(*mask, t / 2, UnboundedRect);
}

void ApplyLayerEdgeDispersion(TLayerItem& layer) {
  TBitmap* mask = EdgeMask(layer);
  if (!mask) return;
  const int t = LayerEdgeThickness(mask->Width(), mask->Height());
  ApplyMinMaxPasses(*mask, -(t / 2), UnboundedRect);
  SpreadRect(*mask, t, 0, UnboundedRect);
}

void ApplyLayerEdgeTorn(TLayerItem& layer) {
  TBitmap* mask = EdgeMask(layer);
  if (!mask) return;
  const int w = mask->Width(), h = mask->Height(), m = std::min(w, h);
  // The crystals have a fixed size: the shape is worked at a scale where they make a
  // tear of about the same look on small and large layers.
  const double scale = m < 300 ? 1.5 : m < 800 ? 1.0 : m < 1200 ? 1 / 1.5 : m < 1600 ? 0.5 : 1 / 3.0;
  TBitmap work = mask->Clone();
  ThresholdMaskRect(work, 254, UnboundedRect);
  if (scale != 1.0 && !Resample(work, std::max(1, RoundHalfEven(w * scale)), std::max(1, RoundHalfEven(h * scale)),
                                 TResampleFilter::Triangle, work))
    return;
  ApplyMinMaxPasses(work, -8, UnboundedRect);
  FilterCrystallize(work, UnboundedRect);
  FilterCrystallize(work, UnboundedRect);
  ScrollBitmapWrapHorizontal(work, -4);
  ScrollBitmapWrapVertical(work, -4);
  if ((work.Width() != w || work.Height() != h) && !Resample(work, w, h, TResampleFilter::Triangle, work)) return;
  ThresholdMaskRect(work, 128, UnboundedRect);
  MergeRectMax(work, *mask, 0, 0, UnboundedRect);
}

void OpenLayerAlphaAsImage(TLayerHost& host) {
  TLayeredImage* image = host.ActiveImage();
  const TLayerItem* l = Active(image);
  if (!l || l->Mask.Empty()) return;
  TBitmap alpha = l->Mask.Clone();
  alpha.SetPixelFormat(pf24bit);
  InvertRect(alpha, UnboundedRect);
  host.OpenImageDocument(std::move(alpha), 256, Format("%s (%s)", {l->GetDisplayName(), Tr(TextId::GetTrLblMask)}));
}

}  // namespace qm
