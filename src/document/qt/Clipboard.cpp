#include "document/qt/Clipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QRandomGenerator>
#include <cstring>
#include <memory>

#include "document/Resample.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "pixel/RectUtils.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

QClipboard* SystemClipboard() { return QGuiApplication::clipboard(); }

// A token no other copy, of this process or another, carries.
QByteArray NewToken() {
  static quint64 serial = 0;
  return QByteArray::number(QCoreApplication::applicationPid()) + '-' + QByteArray::number(++serial) + '-' +
         QByteArray::number(QRandomGenerator::system()->generate64(), 16);
}

// The bitmap handed to a QImage that frees it with its last copy: the clipboard keeps
// the pixels without copying them once more.
QImage ImageTakingBitmap(TBitmap&& bmp) {
  auto* held = new TBitmap(std::move(bmp));
  return QImage(held->Bits(), held->Width(), held->Height(), qsizetype(held->Stride()), QImage::Format_BGR888,
                [](void* p) { delete static_cast<TBitmap*>(p); }, held);
}

// A 24-bit bitmap of a picture, laid over white where it is translucent.
TBitmap BitmapOfImage(QImage img) {
  if (img.isNull()) return TBitmap();
  if (img.hasAlphaChannel()) {
    QImage flat(img.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter p(&flat);
    p.drawImage(0, 0, img);
    p.end();
    img = std::move(flat);
  }
  if (img.format() != QImage::Format_BGR888) img = img.convertToFormat(QImage::Format_BGR888);
  TBitmap out(img.width(), img.height(), pf24bit, clWhite);
  const size_t n = size_t(img.width()) * 3;
  ParallelRows(0, img.height(), int64_t(img.width()) * img.height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) std::memcpy(out.ScanLine(y), img.constScanLine(y), n);
  });
  return out;
}

// The part r (clipped) of a bitmap, 24-bit.
TBitmap CopyPart(const TBitmap& src, TRect r) {
  ClipRectToBitmap(r, src);
  if (r.IsEmpty()) return TBitmap();
  if (r == GetBitmapRect(src) && src.PixelFormat() == pf24bit) return src.Clone();
  TBitmap out(r.Width(), r.Height(), pf24bit, clBlack);
  CopyBitmapRect(src, GetBitmapRect(src), out, -r.Left, -r.Top, GetBitmapRect(out));
  return out;
}

// The selection mask over r (active layer or image coordinates), its edges ramped over
// 33 pixels.
TBitmap FeatheredMask(std::unique_ptr<TBitmap> mask) {
  if (!mask) return TBitmap();
  RampMaskEdges(*mask, UnboundedRect, 33);
  return std::move(*mask);
}

}  // namespace

TClipboardData& ClipboardData() {
  static TClipboardData* record = new TClipboardData;  // kept until the process ends
  return *record;
}

bool IsOwnClipboard(const TClipboardData& record) {
  if (!record.Valid || record.Token.isEmpty()) return false;
  QClipboard* cb = SystemClipboard();
  const QMimeData* data = cb ? cb->mimeData() : nullptr;
  if (!data) return false;
  // When another program owns the clipboard, its format list answers without a
  // transfer of the picture.
  if (!cb->ownsClipboard() && !data->hasFormat(kClipboardTokenFormat)) return false;
  return data->data(kClipboardTokenFormat) == record.Token;
}

void ResetClipboardData(TClipboardData& record) {
  record.Mask = TBitmap();
  record.TransparentColor = clNone;
  record.Valid = false;
  record.Token.clear();
}

void ClearClipboardData(TClipboardData& record) {
  if (QClipboard* cb = SystemClipboard()) cb->clear();
  ResetClipboardData(record);
}

void WatchClipboard(TClipboardData& record, QObject* context) {
  QClipboard* cb = SystemClipboard();
  if (!cb) return;
  QObject::connect(cb, &QClipboard::dataChanged, context, [&record] {
    if (!IsOwnClipboard(record)) ResetClipboardData(record);
  });
}

void StoreMaskFrom(TClipboardData& record, const TBitmap& bitmap) {
  if (bitmap.Transparent && !bitmap.Empty()) {
    record.TransparentColor = bitmap.EffectiveTransparentColor();
    if (record.Mask.Empty()) record.Mask = TBitmap(bitmap.Width(), bitmap.Height(), pf24bit, clBlack);
    ExcludeColorFromMask(bitmap, record.Mask, record.TransparentColor, 0, UnboundedRect);
  } else {
    record.TransparentColor = clNone;
  }
  record.Valid = true;
}

void CopyBitmapWithMask(TClipboardData& record, TBitmap&& bitmap, TBitmap&& mask) {
  if (bitmap.Empty()) {
    ClearClipboardData(record);
    return;
  }
  if (bitmap.PixelFormat() != pf24bit) {
    TBitmap bits;
    DrawGraphicOnTransparentColor(bitmap, bits);
    bitmap = std::move(bits);
  }
  if (!mask.Empty() && mask.PixelFormat() != pf24bit) mask.SetPixelFormat(pf24bit);
  if (!mask.Empty() && (mask.Width() != bitmap.Width() || mask.Height() != bitmap.Height())) mask = TBitmap();
  ResetClipboardData(record);
  record.Mask = std::move(mask);
  StoreMaskFrom(record, bitmap);
  record.Token = NewToken();
  bitmap.Transparent = false;
  auto* data = new QMimeData;
  data->setImageData(ImageTakingBitmap(std::move(bitmap)));
  data->setData(kClipboardTokenFormat, record.Token);
  if (QClipboard* cb = SystemClipboard()) cb->setMimeData(data);
  else delete data;
}

void CopyBitmapWithMask(TClipboardData& record, const TBitmap* bitmap, const TBitmap* mask) {
  CopyBitmapWithMask(record, bitmap ? bitmap->Clone() : TBitmap(), mask ? mask->Clone() : TBitmap());
}

bool CopySelection(TLayerHost& host, TClipboardData& record) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  TRect r = GetWorkRect(host);
  if (layer) ClipRectToBitmap(r, layer->Image);
  if (!layer || r.IsEmpty()) {
    ClearClipboardData(record);
    return false;
  }
  TBitmap source = CopyPart(layer->Image, r);
  source.Transparent = layer->Image.Transparent;
  source.TransparentColor = layer->Image.TransparentColor;
  TBitmap mask;
  if (HasUsableSelection(host, false)) {
    mask = FeatheredMask(BuildSelectionMask(host, r, host.ActiveSelection()->Inverted));
    if (!layer->Mask.Empty()) MergeRectMax(layer->Mask, mask, -r.Left, -r.Top, UnboundedRect);
  } else if (!layer->Mask.Empty()) {
    mask = CopyPart(layer->Mask, r);
  }
  CopyBitmapWithMask(record, std::move(source), std::move(mask));
  return true;
}

bool CopyMerged(TLayerHost& host, TClipboardData& record) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) {
    ClearClipboardData(record);
    return false;
  }
  const TBitmap& composed = image->UpdatedComposition();
  const TSelectionOverlay* sel = host.ActiveSelection();
  TRect r = sel && sel->Visible && !sel->Inverted ? sel->SelRect : GetBitmapRect(composed);
  ClipRectToBitmap(r, composed);
  if (r.IsEmpty()) {
    ClearClipboardData(record);
    return false;
  }
  TBitmap mask;
  if (HasUsableSelection(host, false)) mask = FeatheredMask(BuildMergedSelectionMask(host, r, sel->Inverted));
  CopyBitmapWithMask(record, CopyPart(composed, r), std::move(mask));
  return true;
}

void ReadClipboardImage(TClipboardData& record, TBitmap& bitmap, bool keepMask) {
  QClipboard* cb = SystemClipboard();
  const QMimeData* data = cb ? cb->mimeData() : nullptr;
  bitmap = data && data->hasImage() ? BitmapOfImage(qvariant_cast<QImage>(data->imageData())) : TBitmap();
  if (keepMask && bitmap.Transparent) StoreMaskFrom(record, bitmap);
}

void GetClipboardImageAndMask(TClipboardData& record, TBitmap& bitmap, TBitmap& mask) {
  ReadClipboardImage(record, bitmap, true);
  mask = TBitmap();
  if (bitmap.Empty() || !IsOwnClipboard(record)) return;
  if (!record.Mask.Empty() && record.Mask.Width() == bitmap.Width() && record.Mask.Height() == bitmap.Height())
    mask = record.Mask.Clone();
  bitmap.TransparentColor = record.TransparentColor;
  bitmap.Transparent = record.TransparentColor != clNone;
}

void ReadClipboardHalves(TClipboardData& record, TBitmap& left, TBitmap& right) {
  TBitmap picture;
  ReadClipboardImage(record, picture, false);
  const int half = picture.Width() / 2;
  left = CopyPart(picture, TRect{0, 0, half, picture.Height()});
  right = CopyPart(picture, TRect{half, 0, picture.Width(), picture.Height()});
}

void ReadClipboardOnColour(TLayerHost& host, TClipboardData& record, TBitmap& bitmap, TBitmap& picture) {
  ReadClipboardImage(record, picture, false);
  bitmap = picture.Empty() ? TBitmap()
                           : TBitmap(picture.Width(), picture.Height(), pf24bit, ColorToRGB(host.ForegroundColor()));
}

bool ClipboardHasImage() {
  QClipboard* cb = SystemClipboard();
  const QMimeData* data = cb ? cb->mimeData() : nullptr;
  return data && data->hasImage();
}

bool PasteIntoSelection(TLayerHost& host, TClipboardData& record, bool fit) {
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  const TSelectionOverlay* sel = host.ActiveSelection();
  if (!layer || layer->Image.Empty()) return false;
  TBitmap picture, mask;
  GetClipboardImageAndMask(record, picture, mask);
  if (picture.Empty()) return false;
  const TRect work = GetWorkRect(host);
  if (work.IsEmpty()) return false;
  if (fit) {
    int w = picture.Width(), h = picture.Height();
    FitSizeProportional(w, h, work.Width(), work.Height());
    if (w != picture.Width() || h != picture.Height()) {
      Resample(picture, w, h, TResampleFilter::Triangle, picture);
      if (!mask.Empty() && !Resample(mask, picture.Width(), picture.Height(), TResampleFilter::Triangle, mask))
        mask = TBitmap();
    }
  }
  TRect placed = GetBitmapRect(picture);
  AlignRectInRect(placed, work, alCenter);
  // The selection mask covers the working rectangle as far as it lies on the layer.
  TRect covered = work;
  ClipRectToBitmap(covered, layer->Image);
  std::unique_ptr<TBitmap> selMask = BuildSelectionMask(host, covered, sel && sel->Inverted);
  if (!selMask) return false;
  if (sel && sel->Visible && sel->ShapeKind != ssRect && host.SelectionSmoothing() != selSmoothNone)
    RampMaskEdges(*selMask, UnboundedRect, 33);
  if (mask.Empty()) mask = TBitmap(picture.Width(), picture.Height(), pf24bit, clBlack);
  MergeRectMax(*selMask, mask, covered.Left - placed.Left, covered.Top - placed.Top, UnboundedRect);
  CopyBitmapRectMasked(picture, GetBitmapRect(picture), layer->Image, placed.Left, placed.Top, covered, 100, mask);
  image->InvalidateLayerRect(image->LayerRectToImageRect(covered));
  host.LayerStackChanged(TLayerChange::Changed, image->ActiveIndex());
  return true;
}

}  // namespace qm
