#include "document/qt/QxsPreview.h"

#include <algorithm>

#include "document/SelectionFile.h"
#include "document/Shapes.h"
#include "document/qt/ShapeDraw.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "platform/core/Numeric.h"

namespace qm {

namespace {

int Margin(const TShapePreviewSettings& s, int side) {
  switch (s.MarginMode) {
    case 1: return s.MarginValue > 0 ? side / s.MarginValue : 0;
    case 2: return std::max(0, s.MarginValue);
    default: return 0;
  }
}

}  // namespace

TShapePreviewSettings& ShapePreviewSettings() {
  static TShapePreviewSettings settings;
  return settings;
}

void SetShapePreviewFitMode() {
  TShapePreviewSettings& s = ShapePreviewSettings();
  s.OwnSize = true;
  s.Colored = false;
  s.MarginMode = 1;
  s.MarginValue = 12;
  s.Background = clWhite;
  s.ShapeColor = clBlack;
}

void SetShapePreviewColors(TColor background) {
  TShapePreviewSettings& s = ShapePreviewSettings();
  s.OwnSize = true;
  s.Colored = true;
  s.MarginMode = 0;
  s.Background = background;
  s.ShapeColor = clBlack;
}

bool LoadQxsPicture(const uint8_t* data, size_t size, TBitmap& out) {
  out = TBitmap();
  TShapeManager shape;
  TMyShape kind = ssRect;
  TRect rect;
  if (!ReadSelection(shape, data, size, kind, rect)) return false;
  const TShapePreviewSettings& s = ShapePreviewSettings();
  int w = rect.Width(), h = rect.Height();
  int bw, bh;
  TRect target;
  if (s.OwnSize) {
    int m = Margin(s, std::max(w, h));
    const int64_t fullW = int64_t(w) + 2 * int64_t(m), fullH = int64_t(h) + 2 * int64_t(m);
    if (fullW > kMaxQxsPictureSide || fullH > kMaxQxsPictureSide) {
      const double f = std::max(double(fullW), double(fullH)) / kMaxQxsPictureSide;
      w = std::max(1, Trunc(w / f));
      h = std::max(1, Trunc(h / f));
      m = std::min(Trunc(m / f), (kMaxQxsPictureSide - std::max(w, h)) / 2);
    }
    bw = w + 2 * m;
    bh = h + 2 * m;
    target = Bounds(m, m, w, h);
  } else {
    bw = std::max(1, s.BoxWidth);
    bh = std::max(1, s.BoxHeight);
    const int m = Margin(s, std::max(bw, bh));
    FitSizeProportional(w, h, std::max(1, bw - 2 * m), std::max(1, bh - 2 * m));
    w = std::max(1, w);
    h = std::max(1, h);
    target = Bounds((bw - w) / 2, (bh - h) / 2, w, h);
  }
  const TColor back = s.Colored ? s.Background : clWhite;
  const TColor fore = s.Colored ? s.ShapeColor : clBlack;
  TBitmap pic(bw, bh, pf24bit, back);
  DrawShapeFilled(shape, pic, target, kind, fore);
  if (!s.Colored && kind != ssRect) RampMaskEdges(pic, GetBitmapRect(pic), 33);
  out = std::move(pic);
  return true;
}

}  // namespace qm
