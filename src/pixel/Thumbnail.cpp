#include "pixel/Thumbnail.h"

#include "pixel/ImgZoom.h"
#include "pixel/RectUtils.h"
#include "pixel/Shadow.h"
#include "platform/core/Canvas.h"

namespace qm {

void DrawThumbnail(const TBitmap& source, TBitmap& target, TColor cellColor, int margin, int shadowWidth,
                   TColor surroundColor, bool smooth, TRect& imageRect) {
  imageRect = TRect{};
  TBitmapCanvas canvas(target);
  TRect cell{0, 0, target.Width(), target.Height()};
  if (shadowWidth > 0) {
    canvas.FillRect(cell, surroundColor);
    cell.Right -= shadowWidth;
    cell.Bottom -= shadowWidth;
    DrawCanvasShadow(canvas, cell, shadowWidth, 70, surroundColor, true, false);
  }
  canvas.FillRect(cell, cellColor);
  if (shadowWidth > 0) {
    // a one-pixel raised frame: light on the top and left, dark on the right and bottom
    const TColor light = 0xCCCCCC, dark = 0x555555;
    canvas.FillRect(TRect{cell.Left, cell.Top, cell.Right - 1, cell.Top + 1}, light);
    canvas.FillRect(TRect{cell.Left, cell.Top, cell.Left + 1, cell.Bottom - 1}, light);
    canvas.FillRect(TRect{cell.Right - 1, cell.Top, cell.Right, cell.Bottom}, dark);
    canvas.FillRect(TRect{cell.Left, cell.Bottom - 1, cell.Right, cell.Bottom}, dark);
    cell = TRect{cell.Left + 1, cell.Top + 1, cell.Right - 1, cell.Bottom - 1};
  }
  if (margin > 0) cell = TRect{cell.Left + margin, cell.Top + margin, cell.Right - margin, cell.Bottom - margin};
  TImageZoom zoom;
  zoom.SetAlignment(alCenter);
  zoom.SetBitmap(&source);
  zoom.SetTarget(&canvas);
  zoom.SetViewRect(cell);
  zoom.SetFitMode(fmFitWhole);
  if (zoom.Zoom() > 1.0) zoom.SetFitMode(fmActualSize);
  zoom.Halftone = smooth;
  zoom.DrawTo(false, imageRect);
}

}  // namespace qm
