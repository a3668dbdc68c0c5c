#pragma once
// The frame, edge, shadow, contour and outline effects on the active layer, and the two
// that grow the canvas. Each runs inside a change of the active layer (run.Layer is it,
// run.Source its copy taken before the change, run.Rect the working rectangle); those
// that follow the selection's shape read it through the host. An effect whose values
// do not fit says why and sets run.Refused; one that writes beyond the working
// rectangle sets run.Touched, and the step grows there from run.Source. No widget.
#include <Qt>

#include "document/LayerHost.h"
#include "pixel/FrameEffects.h"
#include "shell/services/LayerChange.h"

namespace qm {

// The band of the frame; refused (with the message) when it does not fit.
void FrameEffect(TLayerRun& run, const TFrameParams& params);
// The light and dark blurred edges along the selection's outline.
void Contour3DEffect(TSelectionHost& host, TLayerRun& run, const TContour3DParams& params);
// The selection's shadow, then the selection's own pixels back over it from the copy.
void DropShadowEffect(TSelectionHost& host, TLayerRun& run, const TDropShadowParams& params);
// The gradient along the selection's outline, inside it (confined to the selection) or
// outside it (the selection's interior kept).
void ProgressiveContourEffect(TSelectionHost& host, TLayerRun& run, const TProgressiveContourParams& params);
// The inside gradient's mask over cut (rect cut to the layer; mask is cut's size, its
// (0, 0) at cut's corner): 0 on the selection's outline fitted to rect, rising to 255 at
// depth w (grey(k) k pixels in), 0 outside the shape.
void ProgressiveContourInsideMask(TSelectionHost& host, TBitmap& mask, const TRect& cut, const TRect& rect, int w);
// The Qt brush of a fill hatch (TFillHatch).
Qt::BrushStyle HatchStyle(int style);
// The working rectangle filled (in a colour and hatch; with a pattern given, in the
// colour and then the pattern over it), the selection's outline stroked, then the
// whole faded toward the copy.
void OutlineFillEffect(TSelectionHost& host, TLayerRun& run, const TOutlineFillParams& params,
                       const TBitmap* pattern = nullptr, TColor patternKey = clNone);

// The two canvas effects: run.Layer is the background, rebuilt larger from run.Source;
// the other layers move with the image (the move kept in the step). Refused when the
// canvas would be too large.
struct TOuterFrameRequest {
  int Width = 20;
  TColor Color = clWhite;
  const TBitmap* Pattern = nullptr;
  TColor PatternKey = clNone;
};
void OuterFrameEffect(TLayerHost& host, TLayerRun& run, const TOuterFrameRequest& request);

struct TOuterShadowRequest {
  int Offset = 10, Opacity = 70, Margin = 0;
  int Position = cpBottomRight;
  bool Smoothed = true;
  TColor Background = clWhite, Shadow = clBlack;
  const TBitmap* Pattern = nullptr;
  TColor PatternKey = clNone;
};
void OuterShadowEffect(TLayerHost& host, TLayerRun& run, const TOuterShadowRequest& request);

}  // namespace qm
