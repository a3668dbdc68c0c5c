#include "document/qt/SelectionMask.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "document/Polygon.h"
#include "document/qt/ShapeDraw.h"
#include "pixel/Blend.h"
#include "pixel/Chassis.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// Corners sharper than about 37 degrees are bevelled, so a stroke's miter reaches at
// most about 1.6 pen widths beyond the corner.
constexpr double kStrokeMiterLimit = 0.8;

constexpr TRect Inflate(const TRect& r, int d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

bool IsPolygonKind(TMyShape k) { return k >= ssTriangle1 && k <= ssPolygon; }
bool IsRoundKind(TMyShape k) { return k == ssEllipse || k == ssRoundRect || k == ssMultiPoints; }

TSelectionOverlay* ShownSelection(TSelectionHost& host) {
  TSelectionOverlay* s = host.ActiveSelection();
  return s && s->Visible ? s : nullptr;
}

TBitmap* ActiveLayer(TSelectionHost& host) {
  TBitmap* b = host.ActiveLayerBitmap();
  return b && b->PixelFormat() == pf24bit && !b->Empty() ? b : nullptr;
}

TRect ImageToLayer(TSelectionHost& host, const TRect& r) {
  const TPoint o = host.ActiveLayerOrigin();
  return OffsetRect(r, -o.X, -o.Y);
}

void Complement(TBitmap& bmp) {
  static const struct Table {
    uint8_t v[256];
    Table() {
      for (int i = 0; i < 256; ++i) v[i] = uint8_t(255 - i);
    }
  } inv;
  ApplyTable(bmp, GetBitmapRect(bmp), inv.v);
}

void RenderShape(TSelectionOverlay& sel, TBitmap& bmp, const TRect& rect, TColor color, bool usePolygon) {
  if (bmp.PixelFormat() != pf24bit) return;
  const TMyShape kind = sel.ShapeKind;
  if (usePolygon && IsPolygonKind(kind)) {
    int count = 0;
    std::vector<TPoint> pts;
    sel.Shape.GetShapePolygon(rect, kind, count, pts);
    TPolygon24 poly;
    poly.AddPoints(pts.data(), count);
    poly.Draw(bmp, color, color);
    return;
  }
  DrawShapeFilled(sel.Shape, bmp, rect, kind, color);
}

void StrokeShape(TSelectionOverlay& sel, TBitmap& bmp, const TRect& rect, TColor color, bool usePolygon,
                 int penWidth) {
  if (bmp.PixelFormat() != pf24bit) return;
  const TMyShape kind = sel.ShapeKind;
  if (usePolygon && IsPolygonKind(kind)) {
    int count = 0;
    std::vector<TPoint> pts;
    sel.Shape.GetShapePolygon(rect, kind, count, pts);
    TPolygon24 poly;
    poly.AddPoints(pts.data(), count);
    if (penWidth <= 1) {
      poly.Outline(bmp, color);
      return;
    }
    TPolygon24 stroke = poly.MakeStrokePath().Widen(penWidth, kStrokeMiterLimit);
    stroke.Winding = 1;
    stroke.Fill(bmp, color);
    return;
  }
  DrawShapeStroked(sel.Shape, bmp, rect, kind, color, penWidth);
}

// The selection drawn into a new mask of size w x h: background white and shape black,
// or the reverse; shapeRect in the mask's coordinates. Without a shown selection the
// whole of shapeRect is selected, whatever shape the hidden selection last had.
std::unique_ptr<TBitmap> MaskOf(TSelectionOverlay* sel, int w, int h, const TRect& shapeRect, bool inverted) {
  auto mask = std::make_unique<TBitmap>(w, h, pf24bit, inverted ? clBlack : clWhite);
  const TColor shape = inverted ? clWhite : clBlack;
  if (sel) {
    DrawShapeFilled(sel->Shape, *mask, shapeRect, sel->ShapeKind, shape);
  } else {
    mask->FillRect(shapeRect, shape);
  }
  return mask;
}

// Replaces the selection by a traced outline; false (selection untouched) when the
// trace is empty.
bool AdoptTrace(TSelectionOverlay& sel, const TBitmap& mask, int threshold, int dx, int dy, TRect& rect) {
  TShapeManager traced;
  TRect r;
  traced.ShapeFromMask(&mask, threshold, r);
  if (r.Right < r.Left) return false;
  sel.Shape.Points = std::move(traced.Points);
  sel.Shape.PointFlags = std::move(traced.PointFlags);
  sel.Shape.Bounds = traced.Bounds;
  sel.Shape.DisplayPoints.clear();
  sel.Shape.DisplayRect = TRect{};
  rect = OffsetRect(r, dx, dy);
  sel.SetShape(ssMultiPoints);
  sel.SetSelectionRect(rect);
  return true;
}

}  // namespace

bool HasUsableSelection(TSelectionHost& host, bool allowRect) {
  TSelectionOverlay* s = ShownSelection(host);
  if (!s) return false;
  if (s->ShapeKind != ssRect || s->Inverted) return true;
  return allowRect;
}

std::unique_ptr<TBitmap> CreateSelectionMaskBitmap(TSelectionHost& host, bool white) {
  TBitmap* layer = host.ActiveLayerBitmap();
  if (!layer || layer->Empty()) return nullptr;
  return std::make_unique<TBitmap>(layer->Width(), layer->Height(), pf24bit, white ? clWhite : clBlack);
}

std::unique_ptr<TBitmap> BuildSelectionMask(TSelectionHost& host, TRect rect, bool inverted) {
  TBitmap* layer = host.ActiveLayerBitmap();
  if (!layer || layer->Empty()) return nullptr;
  ClipRectToBitmap(rect, *layer);
  if (rect.IsEmpty()) return nullptr;
  TSelectionOverlay* sel = ShownSelection(host);
  const TRect shapeRect = sel ? ImageToLayer(host, sel->SelRect) : GetBitmapRect(*layer);
  return MaskOf(sel, rect.Width(), rect.Height(), OffsetRect(shapeRect, -rect.Left, -rect.Top), inverted);
}

std::unique_ptr<TBitmap> BuildSelectionMask(TSelectionHost& host, bool inverted) {
  return BuildSelectionMask(host, UnboundedRect, inverted);
}

std::unique_ptr<TBitmap> BuildMergedSelectionMask(TSelectionHost& host, TRect rect, bool inverted) {
  TBitmap* base = host.BaseLayerBitmap();
  if (!base || base->Empty()) return nullptr;
  ClipRectToBitmap(rect, *base);
  if (rect.IsEmpty()) return nullptr;
  TSelectionOverlay* sel = ShownSelection(host);
  TRect shapeRect;
  if (sel) {
    shapeRect = sel->SelRect;
  } else {
    TBitmap* layer = host.ActiveLayerBitmap();
    const TPoint o = host.ActiveLayerOrigin();
    shapeRect = layer ? Bounds(o.X, o.Y, layer->Width(), layer->Height()) : GetBitmapRect(*base);
  }
  return MaskOf(sel, rect.Width(), rect.Height(), OffsetRect(shapeRect, -rect.Left, -rect.Top), inverted);
}

std::unique_ptr<TBitmap> BuildMergedSelectionMask(TSelectionHost& host, bool inverted) {
  return BuildMergedSelectionMask(host, UnboundedRect, inverted);
}

void RenderSelectionShapeToMask(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color,
                                bool usePolygon) {
  if (TSelectionOverlay* sel = host.ActiveSelection()) RenderShape(*sel, bmp, rect, color, usePolygon);
}

void StrokeSelectionShape(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color, bool usePolygon,
                          int penWidth) {
  if (TSelectionOverlay* sel = host.ActiveSelection()) StrokeShape(*sel, bmp, rect, color, usePolygon, penWidth);
}

namespace {

// mask becomes a 24-bit bitmap of w x h filled with the grey; a mask of that size
// already keeps its pages (a fresh 70 MB mask costs more in page faults than in work).
void Refill(TBitmap& mask, int w, int h, TColor grey) {
  if (mask.Width() != w || mask.Height() != h || mask.PixelFormat() != pf24bit) {
    mask = TBitmap(w, h, pf24bit, grey);
    return;
  }
  const uint8_t v = uint8_t(grey & 0xFF);
  const size_t n = size_t(w) * 3;
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) std::memset(mask.ScanLine(y), v, n);
  });
}

// The restore mask of the selection over area (layer coordinates, inside the layer),
// made into mask: pixel (x, y) of it stands for pixel (area.Left + x, area.Top + y).
// Every step reads and writes only within the selection rect grown by 6, so any area
// that covers that much of the layer gives the same pixels there as the whole layer.
void MakeRestoreMask(TBitmap& mask, TSelectionOverlay& sel, const TRect& selRect, TSelectionEdge edge,
                     const TRect& area) {
  const TRect rect = OffsetRect(selRect, -area.Left, -area.Top);
  const bool inv = sel.Inverted;
  const TMyShape kind = sel.ShapeKind;
  const TColor back = inv ? clWhite : clBlack, shape = inv ? clBlack : clWhite;
  const bool ramped = edge == seSmooth && IsRoundKind(kind);
  Refill(mask, area.Width(), area.Height(), ramped ? clWhite : back);
  if (edge == seProgressive) {
    if (kind == ssPolygon || kind == ssMultiPoints) {
      DrawShapeFilled(sel.Shape, mask, rect, kind, shape);
      // the kept part shrinks by 3 before its edge is blurred
      ApplyMinMaxPasses(mask, 3, Inflate(rect, 6));
      ApplyBlurPasses(mask, 6, Inflate(rect, 6));
    } else {
      const TRect r = Inflate(rect, inv ? 3 : -3);
      RenderShape(sel, mask, r, shape, true);
      ApplyBlurPasses(mask, 6, Inflate(r, 3));
    }
  } else if (edge == seSmooth) {
    if (ramped) {
      DrawShapeFilled(sel.Shape, mask, rect, kind, clBlack);
      RampMaskEdges(mask, Inflate(rect, 1), 33);
      if (!inv) Complement(mask);
    } else {
      RenderShape(sel, mask, rect, shape, true);
    }
  } else {
    DrawShapeFilled(sel.Shape, mask, rect, kind, shape);
  }
}

TBitmap RestoreMask(TSelectionOverlay& sel, const TRect& selRect, TSelectionEdge edge, const TRect& area) {
  TBitmap mask;
  MakeRestoreMask(mask, sel, selRect, edge, area);
  return mask;
}

// The pre-change pixels of rect (layer coordinates) brought back through a restore mask
// made over area, as CopyBitmapRectMasked at 100 % does, without reading what it need
// not: each row goes by runs, those the mask leaves (255) skipped, those it restores
// whole (0) copied at once, and only the pixels between blended.
void RestoreThroughMask(const TBitmap& before, TBitmap& layer, const TBitmap& mask, const TRect& area,
                        const TRect& rect) {
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* m = mask.ScanLine(y - area.Top) + ptrdiff_t(rect.Left - area.Left) * 3;
      const uint8_t* s = before.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      uint8_t* d = layer.ScanLine(y) + ptrdiff_t(rect.Left) * 3;
      const int n = rect.Width();
      int x = 0;
      while (x < n) {
        const uint8_t v = m[3 * x];
        int e = x + 1;
        if (v == 255) {
          while (e < n && m[3 * e] == 255) ++e;
        } else if (v == 0) {
          while (e < n && m[3 * e] == 0) ++e;
          std::memcpy(d + 3 * x, s + 3 * x, size_t(e - x) * 3);
        } else {
          BlendPixelMasked(d + 3 * x, s + 3 * x, m + 3 * x, 100);
        }
        x = e;
      }
    }
  });
}

// The hard-edged restore of a shape filled by rows: in each row of rect (layer
// coordinates, inside the layer) the pre-change pixels come back in whole runs, outside
// the shape's spans, or inside them for an inverted selection. No mask is made and
// nothing else is touched. False for a shape that is not filled by rows.
bool RestoreHardEdgeByRows(const TSelectionOverlay& sel, const TRect& selRect, const TBitmap& before,
                           TBitmap& layer, const TRect& rect) {
  std::vector<TSpan> probe;
  if (!FilledShapeRowSpans(selRect, sel.ShapeKind, rect.Top, rect.Left, rect.Right, probe)) return false;
  const bool inv = sel.Inverted;
  auto copy = [&](int y, int x0, int x1) {
    if (x0 < x1)
      std::memcpy(layer.ScanLine(y) + ptrdiff_t(x0) * 3, before.ScanLine(y) + ptrdiff_t(x0) * 3, size_t(x1 - x0) * 3);
  };
  ParallelRows(rect.Top, rect.Bottom, int64_t(rect.Width()) * rect.Height(), [&](int y0, int y1) {
    std::vector<TSpan> spans;
    for (int y = y0; y < y1; ++y) {
      FilledShapeRowSpans(selRect, sel.ShapeKind, y, rect.Left, rect.Right, spans);
      int x = rect.Left;  // the end of the last run inside the shape
      for (const TSpan& s : spans) {
        if (inv) copy(y, s.x0, s.x1);
        else copy(y, x, s.x0);
        x = s.x1;
      }
      if (!inv) copy(y, x, rect.Right);
    }
  });
  return true;
}

}  // namespace

std::unique_ptr<TBitmap> ApplySelectionMaskToLayer(TSelectionHost& host, TSelectionEdge edge) {
  TBitmap* layer = ActiveLayer(host);
  TSelectionOverlay* sel = ShownSelection(host);
  if (!layer || !sel) return nullptr;
  return std::make_unique<TBitmap>(RestoreMask(*sel, ImageToLayer(host, sel->SelRect), edge, GetBitmapRect(*layer)));
}

std::unique_ptr<TBitmap> SelectionRestoreMaskAt(TSelectionHost& host, int width, int height) {
  TBitmap* layer = ActiveLayer(host);
  TSelectionOverlay* sel = ShownSelection(host);
  if (!layer || !sel || width < 1 || height < 1) return nullptr;
  // The selection's rectangle scaled as the layer is; its shape is drawn fitted to it.
  const TRect r = ImageToLayer(host, sel->SelRect);
  const int64_t W = layer->Width(), H = layer->Height();
  const TRect scaled{int32_t(r.Left * width / W), int32_t(r.Top * height / H), int32_t(r.Right * width / W),
                     int32_t(r.Bottom * height / H)};
  return std::make_unique<TBitmap>(RestoreMask(*sel, scaled, seHard, TRect{0, 0, width, height}));
}

void RestrictChangeToSelection(TSelectionHost& host, TSelectionEdge edge, TRestoreMaskCache* cache) {
  TBitmap* layer = ActiveLayer(host);
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!layer || !sel) return;
  const TSelectionSmoothing smoothing = host.SelectionSmoothing();
  if (!host.IsActiveImageTrueColor() || smoothing == selSmoothNone) edge = seHard;
  if (edge == seProgressive && smoothing != selSmoothProgressive) edge = seSmooth;
  if (edge == seSmooth && sel->ShapeKind == ssRect) edge = seHard;
  if (!HasUsableSelection(host, edge == seProgressive)) return;
  // Without a copy of the layer from before the change there is nothing to bring back.
  const TBitmap* before = host.PreChangeCopy();
  if (!before || before->PixelFormat() != pf24bit || before->Width() != layer->Width() ||
      before->Height() != layer->Height())
    return;
  const TRect selRect = ImageToLayer(host, sel->SelRect);
  TRect rect = selRect;
  if (sel->Inverted) rect = Inflate(rect, edge == seProgressive ? 7 : edge == seSmooth ? 1 : 0);
  ClipRectToBitmap(rect, *layer);
  if (rect.IsEmpty()) return;
  if (edge == seHard && RestoreHardEdgeByRows(*sel, selRect, *before, *layer, rect)) return;
  // The mask is made only where it is read.
  TRect area = Inflate(selRect, 8);
  ClipRectToBitmap(area, *layer);
  area = TRect{std::min(area.Left, rect.Left), std::min(area.Top, rect.Top), std::max(area.Right, rect.Right),
               std::max(area.Bottom, rect.Bottom)};
  // A dialog's previews restrict the same change again and again, and commands follow
  // one another on the same selection: the mask is made once for them (the commands'
  // is kept per thread: nothing here is shared between threads).
  thread_local TRestoreMaskCache commands;
  TRestoreMaskCache& c = cache ? *cache : commands;
  const TShapeManager& shape = sel->Shape;
  if (!c.Valid || c.SelRect != selRect || c.Area != area || c.Kind != sel->ShapeKind || c.Inverted != sel->Inverted ||
      c.Edge != edge || c.ShapeBounds != shape.Bounds || c.Points != shape.Points || c.PointFlags != shape.PointFlags) {
    MakeRestoreMask(c.Mask, *sel, selRect, edge, area);
    c.SelRect = selRect;
    c.Area = area;
    c.Kind = sel->ShapeKind;
    c.Inverted = sel->Inverted;
    c.Edge = edge;
    c.Points = shape.Points;
    c.PointFlags = shape.PointFlags;
    c.ShapeBounds = shape.Bounds;
    c.Valid = true;
  }
  RestoreThroughMask(*before, *layer, c.Mask, area, rect);
}

void StrokeSelectionOutline(TSelectionHost& host, TColor color, int width, bool smooth) {
  TBitmap* layer = ActiveLayer(host);
  if (!layer || width < 1) return;
  TSelectionOverlay* sel = ShownSelection(host);
  if (!sel || sel->Inverted) {
    TBitmapCanvas canvas(*layer);
    FillRectFrame(canvas, GetBitmapRect(*layer), color, width);
    if (!sel) return;
  }
  const TRect rect = ImageToLayer(host, sel->SelRect);
  // The step was opened over the selection rect; a wide or smoothed stroke reaches
  // beyond it, so the step takes the larger rect before anything is drawn.
  if (!sel->Inverted && (smooth || width >= 2)) host.ResnapUndoStep(Inflate(rect, width + 2));
  const TMyShape kind = sel->ShapeKind;
  if (smooth && IsRoundKind(kind)) {
    TBitmap border(layer->Width(), layer->Height(), pf24bit, clWhite);
    DrawShapeStroked(sel->Shape, border, rect, kind, clBlack, width);
    RampMaskEdges(border, Inflate(rect, width / 2 + 4), -1);
    BlendColorThroughMask(border, GetBitmapRect(border), *layer, 0, 0, Inflate(rect, (width + 1) / 2 + 2), color,
                          100);
  } else {
    StrokeShape(*sel, *layer, rect, color, smooth, width);
  }
}

void InvertSelectionShape(TSelectionHost& host, TRect& rect) {
  rect = TRect{};
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!sel) return;
  std::unique_ptr<TBitmap> mask = BuildMergedSelectionMask(host, false);
  if (!mask) return;
  Complement(*mask);
  TRect r;
  if (AdoptTrace(*sel, *mask, 128, 0, 0, r)) rect = r;
}

void CombineDrawnShapeWithSelection(TSelectionHost& host, TShapeManager& drawn, TMyShape drawnKind,
                                    const TRect& rect, bool subtract, TRect& outRect) {
  outRect = TRect{};
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!sel) return;
  std::unique_ptr<TBitmap> mask = BuildMergedSelectionMask(host, sel->Inverted);
  if (!mask) return;
  DrawShapeFilled(drawn, *mask, rect, drawnKind, subtract ? clWhite : clBlack);
  TRect r;
  if (AdoptTrace(*sel, *mask, 128, 0, 0, r)) {
    sel->SetOutlineInset(false);
    outRect = r;
  }
}

void CombineMaskWithSelection(TSelectionHost& host, const TBitmap& mask, TWandCombine combine, TRect& rect) {
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!sel || mask.PixelFormat() != pf24bit || mask.Empty()) return;
  const TPoint o = host.ActiveLayerOrigin();
  TRect r;
  bool done;
  if (combine == wcReplace) {
    done = AdoptTrace(*sel, mask, 254, o.X, o.Y, r);
  } else {
    std::unique_ptr<TBitmap> merged = BuildMergedSelectionMask(host, sel->Inverted);
    if (!merged) return;
    BlendColorThroughMask(mask, GetBitmapRect(mask), *merged, o.X, o.Y, UnboundedRect,
                          combine == wcAdd ? clBlack : clWhite, 100);
    done = AdoptTrace(*sel, *merged, 254, 0, 0, r);
  }
  if (!done) return;
  sel->SetOutlineInset(false);
  rect = r;
}

void ConvertSelectionToBorder(TSelectionHost& host, int width, TRect& rect) {
  TBitmap* base = host.BaseLayerBitmap();
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!base || base->Empty() || !sel || width < 1) return;
  TBitmap mask(base->Width(), base->Height(), pf24bit, clWhite);
  if (sel->Inverted) {
    TBitmapCanvas canvas(mask);
    FillRectFrame(canvas, GetBitmapRect(mask), clBlack, width);
  }
  const TRect sr = sel->SelRect;
  if (IsRoundKind(sel->ShapeKind)) {
    DrawShapeStroked(sel->Shape, mask, sr, sel->ShapeKind, clBlack, width);
    RampMaskEdges(mask, Inflate(sr, width / 2 + 4), -1);
  } else {
    StrokeShape(*sel, mask, sr, clBlack, true, width);
  }
  TRect r;
  if (AdoptTrace(*sel, mask, 128, 0, 0, r)) {
    sel->SetOutlineInset(false);
    rect = r;
  }
}

}  // namespace qm
