#include "dialogs/imagesize/ImageSizeOps.h"

#include <new>

#include "document/LayerItem.h"
#include "document/LayerOps.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "pixel/ColorReduce.h"
#include "pixel/ImgUtils.h"
#include "pixel/PixelFormat.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"

namespace qm {

bool RunWholeImageChange(TDialogHost& host, const std::string& caption, const TLayerOperation& operation,
                         bool resized) {
  TLayerChangeOptions options;
  options.Kind = ukWholeImage;
  options.Caption = caption;
  options.Restrict = false;
  options.ResetWindow = resized;
  if (!RunLayerChange(host, options, operation)) return false;
  host.RefreshLayerNavigator();
  return true;
}

bool UsesFilter(const TBitmap& background, const TResizeRequest& request) {
  return request.Filtered && !background.Transparent &&
         (!request.MinimumForFilter || (request.Width >= 3 && request.Height >= 3));
}

void ResizeBackground(TLayerHost& host, TLayerRun& run, const TResizeRequest& request,
                      const std::function<void(const std::string&)>& statusText) {
  TLayeredImage* image = host.ActiveImage();
  if (!image) return;
  const int w = ClampImageSide(request.Width), h = ClampImageSide(request.Height);
  const int oldWidth = run.Source.Width(), oldHeight = run.Source.Height();
  if (request.AllLayers) SaveLayersForUndo(host);
  TBitmap* mask = run.Item && !run.Item->Mask.Empty() ? &run.Item->Mask : nullptr;
  if (UsesFilter(run.Source, request)) {
    // The library fails only for want of memory: the change's barrier says so.
    if (!Resample(run.Source, w, h, request.Filter, run.Layer)) throw std::bad_alloc();
    if (mask && !Resample(*mask, w, h, TResampleFilter::Triangle, *mask)) throw std::bad_alloc();
    if (image->ColorCount > 0 && image->ColorCount < 257) {
      if (statusText) statusText(Tr(TextId::GetTrStaPreparingColor));
      ReduceBitmapColors(run.Layer, image->ColorCount, rcDither);
      if (statusText) statusText(Tr(TextId::GetTrStaProcessing));
    }
  } else {
    StretchBitmapTo(w, h, run.Source, run.Layer);
    if (mask) ResizeBitmap(w, h, *mask);
  }
  if (request.AllLayers && oldWidth > 0 && oldHeight > 0)
    ScaleLayerPositions(host, double(w) / oldWidth, double(h) / oldHeight);
}

TColor CanvasBackgroundColor(const TLayeredImage& image, TColor chosen) {
  if (image.GetLayerCount() == 0) return chosen;
  const TLayerItem& layer = image.Layers[0];
  const TBitmap& bg = layer.Image;
  if (bg.Transparent) return bg.EffectiveTransparentColor();
  if (!layer.Mask.Empty()) return clWhite;
  if (image.ColorCount < 257 && !bg.Empty()) return bg.GetPixel(0, 0);
  return chosen;
}

TRect EnlargeDocumentCanvas(TLayerHost& host, TLayerRun& run, const TCanvasRequest& request) {
  const int w = ClampImageSide(request.Width), h = ClampImageSide(request.Height);
  const TRect landed = EnlargeCanvas(run.Source, run.Layer, w, h, request.Anchor, request.Color, request.Pattern,
                                     request.Pattern ? request.PatternKey : clNone);
  if (run.Item && !run.Item->Mask.Empty()) {
    TRect placed;
    ResizeCanvas(run.Item->Mask, w, h, clWhite, request.Anchor, placed);
  }
  if (run.Step) {
    SetUndoStepParam(*run.Step, upOffsetX, landed.Left);
    SetUndoStepParam(*run.Step, upOffsetY, landed.Top);
  }
  OffsetAllLayers(host, landed.Left, landed.Top, true);
  return landed;
}

}  // namespace qm
