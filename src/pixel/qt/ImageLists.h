#pragma once
// Image lists for tool bars and menus, and the greyed ("disabled") and shadowed lists
// made from them.
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <vector>

#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Images of one size, kept with their alpha. Owned by its Qt parent when it has one.
class TImageList : public QObject {
 public:
  TImageList(int width, int height, int allocBy = 4, QObject* owner = nullptr);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // How many places the list grows by; carried over to the lists made from it.
  int AllocBy() const { return allocBy_; }
  int Count() const { return int(images_.size()); }

  // Adds an image (scaled to the list's size when it differs); returns its index.
  int Add(const QImage& image);
  int Add(const QPixmap& pixmap) { return Add(pixmap.toImage()); }
  // Adds a bitmap whose pixels of the mask colour become transparent.
  int AddMasked(const TBitmap& bmp, TColor maskColor);

  // The image as stored (ARGB32), as a pixmap and as an icon; the last two need a GUI
  // application.
  const QImage& Image(int index) const { return images_[size_t(index)]; }
  QPixmap Pixmap(int index) const { return QPixmap::fromImage(images_[size_t(index)]); }
  QIcon Icon(int index) const { return QIcon(Pixmap(index)); }

 private:
  int width_, height_, allocBy_;
  std::vector<QImage> images_;
};

// The source's images greyed toward the tint colour by the percent: each is drawn on
// the global transparent colour, greyed (what stays near that colour becomes the tint
// colour) and added with the tint colour as its mask colour. A new list of the
// source's size and allocation, owned by `owner`.
TImageList* MakeDisabledImageList(QObject* owner, const TImageList& source, TColor tint, int percent);

// The source's images over the background colour with a soft black shadow, one pixel
// right and below, at the shadow percent (0..100; otherwise no list, nullptr); added
// with the background colour as mask colour.
TImageList* MakeShadowImageList(QObject* owner, const TImageList& source, TColor background, int shadowPercent);

}  // namespace qm
