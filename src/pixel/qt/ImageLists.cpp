#include "pixel/qt/ImageLists.h"

#include <QPainter>
#include <algorithm>

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Colors.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

// Draws an image (blended by its alpha) onto a 24-bit bitmap at (x, y).
void DrawImageOn(TBitmap& bmp, const QImage& image, int x, int y) {
  QImage view = BitmapAsQImage(bmp);
  QPainter painter(&view);
  painter.drawImage(x, y, image);
}

}  // namespace

TImageList::TImageList(int width, int height, int allocBy, QObject* owner)
    : QObject(owner), width_(std::max(width, 0)), height_(std::max(height, 0)), allocBy_(std::max(allocBy, 1)) {}

int TImageList::Add(const QImage& image) {
  QImage img = image.convertToFormat(QImage::Format_ARGB32);
  if (img.width() != width_ || img.height() != height_)
    img = img.scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  images_.push_back(std::move(img));
  return Count() - 1;
}

int TImageList::AddMasked(const TBitmap& bmp, TColor maskColor) {
  const TColor key = ColorToRGB(maskColor) & 0xFFFFFF;
  QImage img(bmp.Width(), bmp.Height(), QImage::Format_ARGB32);
  for (int y = 0; y < bmp.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < bmp.Width(); ++x) {
      const TColor c = bmp.GetPixel(x, y);
      line[x] = c == key ? qRgba(0, 0, 0, 0) : qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
  return Add(img);
}

TImageList* MakeDisabledImageList(QObject* owner, const TImageList& source, TColor tint, int percent) {
  auto* list = new TImageList(source.Width(), source.Height(), source.AllocBy(), owner);
  for (int i = 0; i < source.Count(); ++i) {
    TBitmap glyph(source.Width(), source.Height(), pf24bit, clGlobalTransparent);
    DrawImageOn(glyph, source.Image(i), 0, 0);
    GrayTintBitmap(glyph, clGlobalTransparent, tint, percent);
    list->AddMasked(glyph, tint);
  }
  return list;
}

TImageList* MakeShadowImageList(QObject* owner, const TImageList& source, TColor background, int shadowPercent) {
  if (shadowPercent < 0 || shadowPercent > 100) return nullptr;
  const int w = source.Width(), h = source.Height();
  auto* list = new TImageList(w, h, source.AllocBy(), owner);
  for (int i = 0; i < source.Count(); ++i) {
    // The glyph's silhouette, one pixel in from each side, softened: glyph 0, the rest
    // (within 7 of the key colour) 255.
    TBitmap shadow(w + 2, h + 2, pf24bit, clGlobalTransparent);
    DrawImageOn(shadow, source.Image(i), 1, 1);
    TBitmap mask(w + 2, h + 2, pf24bit, clWhite);
    MaskByColorTolerance(shadow, mask, clGlobalTransparent, 7, true, UnboundedRect);
    BoxBlur3x3Rect(mask, UnboundedRect);
    // Laid at (0, 0) under the glyph, the silhouette falls one pixel right and below.
    TBitmap glyph(w, h, pf24bit, background);
    BlendColorThroughMask(mask, UnboundedRect, glyph, 0, 0, UnboundedRect, clBlack, shadowPercent);
    DrawImageOn(glyph, source.Image(i), 0, 0);
    list->AddMasked(glyph, background);
  }
  return list;
}

}  // namespace qm
