#include "dialogs/frames/FrameOps.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <new>

#include "dialogs/command/SizeUnits.h"
#include "dialogs/imagesize/ImageSizeOps.h"
#include "document/LayerOps.h"
#include "document/Undo.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Messages.h"
#include "platform/core/Parallel.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/UndoableOps.h"

namespace qm {
namespace {

constexpr TRect Grown(const TRect& r, int d) { return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d}; }

void Refuse(TLayerRun& run, TextId message) {
  ShowMessageDialog(Tr(message), mtWarning, mbOK);
  run.Refused = true;
}

// The shown selection, or null: without one the working rectangle stands for it.
TSelectionOverlay* Shown(TSelectionHost& host) {
  TSelectionOverlay* s = host.ActiveSelection();
  return s && s->Visible ? s : nullptr;
}

TMyShape ShapeOf(TSelectionHost& host) {
  const TSelectionOverlay* s = Shown(host);
  return s ? s->ShapeKind : ssRect;
}

bool Smoothing(TSelectionHost& host) { return host.SelectionSmoothing() != selSmoothNone; }

TColor Grey(int v) { return RGB(v, v, v); }

// The selection's shape fitted to rect, filled in the colour (a plain rectangle without
// a selection).
void FillShape(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color, bool antialias) {
  if (Shown(host)) RenderSelectionShapeToMask(host, bmp, rect, color, antialias);
  else bmp.FillRect(IntersectRect(rect, GetBitmapRect(bmp)), color);
}

// FillShape, and the stair steps of a smoothed round shape ramped over 33 pixels, within
// rect (so that nothing reaches beyond the step).
void FillShapeRamped(TSelectionHost& host, TBitmap& mask, const TRect& rect, TColor color, bool smoothing,
                     bool rampFree) {
  FillShape(host, mask, rect, color, smoothing);
  const TMyShape kind = ShapeOf(host);
  if (smoothing && (kind == ssEllipse || kind == ssRoundRect || (rampFree && kind == ssMultiPoints)))
    RampMaskEdges(mask, IntersectRect(rect, GetBitmapRect(mask)), 33);
}

// The selection's outline with a pen of the width (the rectangle's without a selection).
void StrokeShape(TSelectionHost& host, TBitmap& bmp, const TRect& rect, TColor color, int pen) {
  if (Shown(host)) {
    StrokeSelectionShape(host, bmp, rect, color, false, pen);
    return;
  }
  const TRect outer = Grown(rect, pen / 2), inner = Grown(outer, -pen);
  bmp.FillRect(TRect{outer.Left, outer.Top, outer.Right, inner.Top}, color);
  bmp.FillRect(TRect{outer.Left, inner.Bottom, outer.Right, outer.Bottom}, color);
  bmp.FillRect(TRect{outer.Left, inner.Top, inner.Left, inner.Bottom}, color);
  bmp.FillRect(TRect{inner.Right, inner.Top, outer.Right, inner.Bottom}, color);
}

// The step widened to rect from the copy taken before the change, whatever an earlier
// widening took from the layer.
void WidenStepFromSource(TLayerRun& run, const TRect& rect) {
  const TRect r = IntersectRect(rect, GetBitmapRect(run.Source));
  run.Touched = UnionRect(run.Touched.IsEmpty() ? run.Rect : run.Touched, r);
  if (run.Step && !r.IsEmpty()) ResnapUndoStepRect(*run.Step, UnionRect(run.Step->Rect, r), run.Source);
}

}  // namespace

// --- Frame and 3-D contour -------------------------------------------------------------------

void FrameEffect(TLayerRun& run, const TFrameParams& params) {
  if (!FrameFits(run.Rect, params.Width)) return Refuse(run, TextId::GetTrDldGlb2);
  DrawImageFrame(run.Layer, run.Rect, params.Color, params.Opacity, params.Width);
}

void Contour3DEffect(TSelectionHost& host, TLayerRun& run, const TContour3DParams& params) {
  if (!params.Edge1 && !params.Edge2) return Refuse(run, TextId::GetTrDldGlb1);
  const TRect rect = run.Rect;
  const int m = params.Width / 2 + 5;
  // The outline drawn into a mask with room around it, blurred, then laid twice on the
  // layer, moved toward opposite corners; the blend keeps to the working rectangle.
  TBitmap mask(rect.Width() + 4 * m, rect.Height() + 4 * m, pf24bit, clWhite);
  StrokeShape(host, mask, Bounds(m, m, rect.Width(), rect.Height()), clBlack, params.Width);
  GaussianBlurMaskRect(mask, 3, GetBitmapRect(mask));
  const auto lay = [&](int position, TColor color) {
    const TPoint at = Contour3DEdgeOffset(position, m);
    BlendColorThroughMask(mask, GetBitmapRect(mask), run.Layer, rect.Left + at.X, rect.Top + at.Y, rect, color,
                          params.Opacity);
  };
  if (params.Edge1) lay(params.Position, params.Color1);
  if (params.Edge2) lay(kCornerPositionCount - 1 - params.Position, params.Color2);
}

// --- Drop shadow ------------------------------------------------------------------------------

void DropShadowEffect(TSelectionHost& host, TLayerRun& run, const TDropShadowParams& params) {
  std::unique_ptr<TBitmap> mask = CreateSelectionMaskBitmap(host, true);
  if (!mask) return;
  const TRect all = GetBitmapRect(*mask);
  const TRect rect = run.Rect;
  const bool smoothing = Smoothing(host);
  const TMyShape kind = ShapeOf(host);
  const int blur = params.Style == shSmoothed ? 4 : kind != ssRect ? 1 : 0;
  const int half = blur / 2;
  const TRect moved = OffsetRect(rect, params.Offset.X, params.Offset.Y);
  FillShapeRamped(host, *mask, Grown(moved, -half), clBlack, smoothing, true);
  if (blur > 1) ApplyBlurPasses(*mask, blur - 1, IntersectRect(moved, all));
  BlendColorThroughMask(*mask, all, run.Layer, 0, 0, IntersectRect(moved, all), params.Color, params.Opacity);
  // The selection's own pixels come back over their shadow, from the copy.
  const TRect own = IntersectRect(Grown(rect, 1), all);
  mask->FillRect(own, clWhite);
  FillShapeRamped(host, *mask, rect, clBlack, smoothing, true);
  CopyBitmapRectMasked(run.Source, GetBitmapRect(run.Source), run.Layer, 0, 0, own, 100, *mask);
  WidenStepFromSource(run, GrowTowardOffset(rect, params.Offset));
}

// --- Progressive contour ----------------------------------------------------------------------

namespace {

// Codes 0, 1, 2 and 9 nest as smaller copies of themselves; the others are stepped one
// pixel at a time from a mask of the shape.
bool Nests(TMyShape kind) { return kind == ssRect || kind == ssEllipse || kind == ssRoundRect || kind == ssLosange; }

// One band of rows of the nested shapes from row y0.
void NestedBand(TSelectionHost& host, TBitmap& mask, const TRect& r0, int w, int y0, int kBand, int width) {
  const int bh = std::min(kBand, mask.Height() - y0);
  TBitmap inner(width, bh, pf24bit, clBlack);
  FillShape(host, inner, OffsetRect(Grown(r0, -w), 0, -y0), clWhite, false);
  int a = 0, b = width;
  for (int y = 0; y < bh && a < b; ++y) {
    const uint8_t* row = inner.ScanLine(y);
    int first = 0, last = width;
    while (first < width && row[3 * first] != 255) ++first;
    while (last > first && row[3 * (last - 1)] != 255) --last;
    a = std::max(a, first);
    b = std::min(b, last);
  }
  const auto nested = [&](int x0, int x1) {
    if (x0 >= x1) return;
    TBitmap piece(x1 - x0, bh, pf24bit, clBlack);
    TRect r = OffsetRect(r0, -x0, -y0);
    for (int i = w; i >= 0; --i) {
      FillShape(host, piece, r, Grey(ContourGrey(w - i, w)), false);
      r = Grown(r, -1);
    }
    CopyBitmapRect(piece, GetBitmapRect(piece), mask, x0, y0, GetBitmapRect(mask));
  };
  if (a < b) {
    nested(0, a);
    nested(b, width);
    mask.FillRect(TRect{a, y0, b, y0 + bh}, clWhite);
  } else {
    nested(0, width);
  }
}

}  // namespace

void ProgressiveContourInsideMask(TSelectionHost& host, TBitmap& mask, const TRect& cut, const TRect& rect, int w) {
  const TRect r0 = OffsetRect(rect, -cut.Left, -cut.Top);
  if (!Nests(ShapeOf(host))) {
    mask.FillRect(GetBitmapRect(mask), clWhite);
    FillShape(host, mask, r0, clBlack, false);
    InsideContourLevels(mask, r0, w);
    return;
  }
  // The shapes nest and each hides the inside of the one before: band by band, where the
  // innermost covers every row of the band only it shows, and the nested fills run over
  // the band's two ends alone. The bands write rows of their own and these shapes are
  // filled by plain arithmetic: the bands go to the engine's threads, each band's
  // fills on its thread alone (a band's small fills, each its own team of threads,
  // spent more waking them than filling: a preview over a 12 MP ellipse took 73 ms at
  // 8 threads that way, 49 ms at 1, and takes 25 ms at 8 now).
  constexpr int kBand = 64;
  const int width = mask.Width();
  const int bands = (mask.Height() + kBand - 1) / kBand;
  ParallelPieces(0, bands, 1, int64_t(width) * mask.Height(), [&](int b0, int b1) {
    for (int band = b0; band < b1; ++band) NestedBand(host, mask, r0, w, band * kBand, kBand, width);
  });
}

namespace {

// Outside: 255 - the inside's levels, from the outline out to w pixels away.
void OutsideMask(TSelectionHost& host, TBitmap& mask, const TRect& rect, int w) {
  if (Nests(ShapeOf(host))) {
    TRect r = Grown(rect, w);
    for (int i = w; i >= 1; --i) {
      FillShape(host, mask, r, Grey(255 - ContourGrey(w - i, w)), false);
      r = Grown(r, -1);
    }
    return;
  }
  const int n = w + 1;
  TRect r = Grown(rect, n + 1);
  TBitmap scratch(mask.Width(), mask.Height(), pf24bit, clWhite);
  FillShape(host, scratch, rect, clBlack, false);
  FillShape(host, mask, rect, clBlack, false);
  for (int i = n; i >= 0; --i) {
    r = Grown(r, 1);
    const TRect cut = IntersectRect(r, GetBitmapRect(mask));
    ApplyMinMaxPasses(scratch, 1, cut);
    StrokeMaskOutline(scratch, mask, Grey(ContourGrey(n - i, n)), 3, 128, cut);
  }
}

}  // namespace

void ProgressiveContourEffect(TSelectionHost& host, TLayerRun& run, const TProgressiveContourParams& params) {
  const TRect rect = run.Rect;
  const int w = params.Width;
  if (!params.Outside && !FrameFits(rect, w)) return Refuse(run, TextId::GetTrDldGlb2);
  const TRect all = GetBitmapRect(run.Layer);
  if (!params.Outside) {
    const TRect cut = IntersectRect(rect, all);
    if (cut.IsEmpty()) return;
    TBitmap mask = TBitmap::Uninitialized(cut.Width(), cut.Height(), pf24bit);
    ProgressiveContourInsideMask(host, mask, cut, rect, w);
    if (params.Effect == ceBlur) GaussianBlurRect(mask, 7, GetBitmapRect(mask));
    else if (params.Effect == ceSpread) SpreadRect(mask, 5, 0, GetBitmapRect(mask));
    BlendColorThroughMask(mask, GetBitmapRect(mask), run.Layer, cut.Left, cut.Top, cut, params.Color,
                          params.Opacity);
    RestrictChangeToSelection(host, Smoothing(host) ? seSmooth : seHard);
    return;
  }
  std::unique_ptr<TBitmap> mask = CreateSelectionMaskBitmap(host, true);
  if (!mask) return;
  OutsideMask(host, *mask, rect, w);
  const TRect area = Grown(rect, w + (params.Effect != ceNone ? 7 : 0));
  const TRect cut = IntersectRect(area, all);
  if (params.Effect == ceBlur) GaussianBlurRect(*mask, 7, cut);
  else if (params.Effect == ceSpread) SpreadRect(*mask, 5, 0, cut);
  BlendColorThroughMask(*mask, all, run.Layer, 0, 0, cut, params.Color, params.Opacity);
  const bool smoothing = Smoothing(host);
  // The selection's interior keeps its pixels: the copy comes back through its shape.
  const TRect own = IntersectRect(Grown(rect, 1), all);
  mask->FillRect(own, clWhite);
  FillShapeRamped(host, *mask, rect, clBlack, smoothing, false);
  CopyBitmapRectMasked(run.Source, GetBitmapRect(run.Source), run.Layer, 0, 0, own, 100, *mask);
  WidenStepFromSource(run, area);
}

// --- Outline and fill -------------------------------------------------------------------------

Qt::BrushStyle HatchStyle(int style) {
  switch (style) {
    case fhHorizontal: return Qt::HorPattern;
    case fhVertical: return Qt::VerPattern;
    case fhForwardDiagonal: return Qt::FDiagPattern;  // top left to bottom right
    case fhBackwardDiagonal: return Qt::BDiagPattern;
    case fhCross: return Qt::CrossPattern;
    case fhDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
  }
}

void OutlineFillEffect(TSelectionHost& host, TLayerRun& run, const TOutlineFillParams& params,
                       const TBitmap* pattern, TColor patternKey) {
  const TRect rect = run.Rect;
  const TRect cut = IntersectRect(rect, GetBitmapRect(run.Layer));
  if (params.Fill && !cut.IsEmpty()) {
    // The brush first (solid under a pattern): a pattern's transparent colour shows the
    // fill colour, and a pattern that does not load leaves the plain fill.
    if (params.Style == fhSolid || (pattern && !pattern->Empty())) {
      run.Layer.FillRect(cut, params.FillColor);
    } else {
      // The hatch's lines only; the pixels between them stay.
      QImage image = BitmapAsQImage(run.Layer);
      QPainter painter(&image);
      painter.setPen(Qt::NoPen);
      const TColor c = ColorToRGB(params.FillColor);
      painter.setBrush(QBrush(QColor(GetRValue(c), GetGValue(c), GetBValue(c)), HatchStyle(params.Style)));
      painter.drawRect(QRect(cut.Left, cut.Top, cut.Width(), cut.Height()));
    }
    if (pattern && !pattern->Empty()) FillRectWithPattern(*pattern, run.Layer, rect.Left, rect.Top, cut, 100, patternKey, 0);
    RestrictChangeToSelection(host, params.Outline ? seHard : seProgressive);
  }
  if (params.Outline) {
    // The stroke widens the step from the layer as the fill left it; it is taken again
    // from the copy, so that undo and Cancel give back the pixels under the fill too.
    StrokeSelectionOutline(host, params.OutlineColor, params.Width, params.Smooth);
    WidenStepFromSource(run, Grown(rect, params.Width + 2));
  }
  if (params.Opacity < 100) {
    const TRect step = run.Step ? run.Step->Rect : run.Touched.IsEmpty() ? rect : run.Touched;
    CopyBitmapRectOpacity(run.Source, GetBitmapRect(run.Source), run.Layer, 0, 0, step, 100 - params.Opacity);
  }
}

// --- The canvas effects -----------------------------------------------------------------------

namespace {

// The step's record of the move and the move of every other layer.
void MoveOtherLayers(TLayerHost& host, TLayerRun& run, TPoint by) {
  if (run.Step) {
    SetUndoStepParam(*run.Step, upOffsetX, by.X);
    SetUndoStepParam(*run.Step, upOffsetY, by.Y);
  }
  OffsetAllLayers(host, by.X, by.Y, true);
}

void CheckCanvas(int64_t w, int64_t h) {
  // A canvas beyond the largest image cannot be made: the change's barrier says so.
  if (w > kMaxImageSide || h > kMaxImageSide) throw std::bad_alloc();
}

}  // namespace

void OuterFrameEffect(TLayerHost& host, TLayerRun& run, const TOuterFrameRequest& request) {
  const int64_t w = run.Source.Width() + 2 * int64_t(request.Width), h = run.Source.Height() + 2 * int64_t(request.Width);
  CheckCanvas(w, h);
  TCanvasRequest canvas;
  canvas.Width = int(w);
  canvas.Height = int(h);
  canvas.Anchor = alCenter;
  canvas.Color = request.Color;
  canvas.Pattern = request.Pattern;
  canvas.PatternKey = request.PatternKey;
  EnlargeDocumentCanvas(host, run, canvas);
}

void OuterShadowEffect(TLayerHost& host, TLayerRun& run, const TOuterShadowRequest& request) {
  const int iw = run.Source.Width(), ih = run.Source.Height();
  const TOuterShadowLayout layout = OuterShadowLayout(iw, ih, request.Offset, request.Margin, request.Position);
  CheckCanvas(layout.Width, layout.Height);
  EnlargeCanvas(TBitmap(), run.Layer, layout.Width, layout.Height, alTopLeft, request.Background, request.Pattern,
                request.Pattern ? request.PatternKey : clNone);
  DrawOuterShadow(run.Layer, layout, iw, ih, request.Shadow, request.Opacity, request.Smoothed);
  CopyBitmap24At(run.Source, run.Layer, layout.Image.X, layout.Image.Y);
  MoveOtherLayers(host, run, layout.Image);
}

}  // namespace qm
