#include "document/LayerItem.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "document/Layers.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rotation.h"

namespace qm {

std::function<void(TLayerItem&)> CreateLayerData;
std::function<void(TLayerItem&)> RenderLayerData;
std::function<void(const TLayerItem&, std::string&)> LayerDisplayName;

namespace {
std::atomic<int32_t> g_nextLayerId{0};
}  // namespace

std::string StandardLayerDisplayName(const std::string& name, const std::string& backgroundText,
                                     const std::string& layerFormat) {
  if (name.size() < 2 || name[0] != '#') return name;
  // Every digit counts, so that "#1000" is layer 1000 and not 100.
  int64_t n = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9') return name;
    n = std::min<int64_t>(n * 10 + (c - '0'), std::numeric_limits<int32_t>::max());
  }
  if (n == 0) return backgroundText;
  std::string out = layerFormat;
  const size_t at = out.find("%d");
  if (at != std::string::npos) out.replace(at, 2, std::to_string(n));
  return out;
}

TLayerItem::TLayerItem() : id_(g_nextLayerId.fetch_add(1)) {}

TLayerItem::~TLayerItem() = default;

std::string TLayerItem::GetDisplayName() const {
  std::string name = Name;
  if (LayerDisplayName) LayerDisplayName(*this, name);
  return name;
}

void TLayerItem::Assign(const TLayerItem& source) {
  if (&source == this) return;
  Name = source.Name;
  Visible = source.Visible;
  Locked = source.Locked;
  Reserved = source.Reserved;
  LayerType = source.LayerType;
  Color = source.Color;
  ColorNegate = source.ColorNegate;
  Left = source.Left;
  Top = source.Top;
  Opacity = source.Opacity;
  Image.Assign(source.Image);
  Mask.Assign(source.Mask);
  Mask2.Assign(source.Mask2);
  Adjustment = source.Adjustment;
  Shadow = source.Shadow;
  if (source.Data) {
    if (CreateLayerData) CreateLayerData(*this);
    if (Data) Data->Assign(*source.Data);
  }
}

void TLayerItem::CreateDefaultMask() {
  if (!Mask.Empty() || LayerType == ltAdjustment || LayerType == ltColor) return;
  if (Image.Empty()) return;
  TBitmap m(Image.Width(), Image.Height(), pf24bit, clBlack);
  Mask = std::move(m);
}

bool TLayerItem::IsTransparentAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= Image.Width() || y >= Image.Height()) return true;
  if (Mask.Empty()) return false;
  if (x >= Mask.Width() || y >= Mask.Height()) return true;
  return Mask.ScanLine(y)[3 * x] == 255;
}

void TLayerItem::FlipVertical() {
  FlipRotateBitmap(Image, 0);
  FlipRotateBitmap(Mask, 0);
}

void TLayerItem::FlipHorizontal() {
  FlipRotateBitmap(Image, 1);
  FlipRotateBitmap(Mask, 1);
}

void TLayerItem::RotateQuarter() {
  FlipRotateBitmap(Image, 2);
  FlipRotateBitmap(Mask, 2);
}

void TLayerItem::RotateQuarterReverse() {
  FlipRotateBitmap(Image, 3);
  FlipRotateBitmap(Mask, 3);
}

void TLayerItem::RotateHalf() {
  FlipRotateBitmap(Image, 4);
  FlipRotateBitmap(Mask, 4);
}

void TLayerItem::BeginTransform(std::unique_ptr<TTransformation> t) {
  Transform = std::move(t);
  if (!Transform) return;
  if (Mask.Empty()) TrivialMask = true;
  else if (dynamic_cast<TProjectiveTransformation*>(Transform.get())) TrivialMask = false;
  else TrivialMask = MaskRectEquals(Mask, 0, GetBitmapRect(Mask));
}

void TLayerItem::EndTransform() { Transform.reset(); }

void TLayerItem::ApplyTransform() {
  if (!Transform) return;
  TTransformation& t = *Transform;
  TRect b;
  t.GetDestBounds(b);
  if (b.IsEmpty() || Image.Empty()) {
    EndTransform();
    return;
  }
  if (!t.IsPlainTranslation()) {
    if (t.IsAxisAligned()) {
      ResizeLayerBitmap(Image, b.Width(), b.Height(), true);
      if (!Mask.Empty()) {
        if (TrivialMask) {
          Mask.Clear();
          CreateDefaultMask();
        } else {
          ResizeLayerBitmap(Mask, b.Width(), b.Height(), true);
        }
      }
    } else {
      t.MoveToOrigin();
      TRect o;
      t.GetDestBounds(o);
      const bool projective = dynamic_cast<TProjectiveTransformation*>(&t) != nullptr;
      TBitmap work(o.Right, o.Bottom, pf24bit, clWhite);
      // Nearest pixels first, their colours spread into the white around them, then the
      // smooth pass: its edges blend with the image's own colours instead of white.
      RasterizeTransformOpacity(Image, work, t, 100, false);
      RepeatEdgePass(work, projective ? 2 : 1, clWhite, GetBitmapRect(work));
      TBitmap maskWork(o.Right, o.Bottom, pf24bit, clWhite);
      // A layer without a mask is given the default one, opaque everywhere.
      const bool opaque = Mask.Empty() && LayerType != ltAdjustment && LayerType != ltColor;
      if (opaque || (!Mask.Empty() && Mask.Width() == Image.Width() && Mask.Height() == Image.Height())) {
        // The smooth pass draws the mask beside the image and whitens what it hides.
        RasterizeLayerTransform(Image, opaque ? nullptr : &Mask, work, maskWork, t);
        Image = std::move(work);
        Mask = std::move(maskWork);
      } else {
        // The mask is made before the image changes size: it must cover the source.
        CreateDefaultMask();
        RasterizeTransformOpacity(Image, work, t, 100, true);
        RasterizeTransformOpacity(Mask, maskWork, t, 100, true);
        Image = std::move(work);
        Mask = std::move(maskWork);
        WhitenMaskedArea(Image, Mask);
      }
    }
  }
  Left = b.Left;
  Top = b.Top;
  EndTransform();
}

namespace {
// A transformation of the layer's image rectangle placed at the layer's position.
std::unique_ptr<TAffineTransformation> LayerTransformation(const TLayerItem& l) {
  auto t = std::make_unique<TAffineTransformation>();
  t->SetSrcRect(GetBitmapRect(l.Image));
  return t;
}
}  // namespace

void TLayerItem::RotateBy(double angle) {
  if (Image.Empty() || !std::isfinite(angle)) return;
  auto t = LayerTransformation(*this);
  t->Rotate(Image.Width() / 2.0, Image.Height() / 2.0, angle);
  t->Translate(Left, Top);
  BeginTransform(std::move(t));
  ApplyTransform();
}

void TLayerItem::ScaleBy(double sx, double sy) {
  if (Image.Empty() || (sx == 1.0 && sy == 1.0) || !std::isfinite(sx) || !std::isfinite(sy)) return;
  auto t = LayerTransformation(*this);
  t->Scale(sx, sy);
  t->Translate(Left, Top);
  TRect b;
  t->GetDestBounds(b);
  if (b.IsEmpty()) return;
  BeginTransform(std::move(t));
  ApplyTransform();
}

void TLayerItem::SkewBy(double fx, double fy) {
  if (Image.Empty() || !std::isfinite(fx) || !std::isfinite(fy)) return;
  auto t = LayerTransformation(*this);
  t->Skew(fx, fy);
  t->Translate(Left, Top);
  BeginTransform(std::move(t));
  ApplyTransform();
}

void TLayerItem::ResizeTo(int w, int h) {
  if (w < 1 || h < 1 || Image.Empty()) return;
  if (Image.Width() == w && Image.Height() == h) return;
  ScaleBy(double(w) / Image.Width(), double(h) / Image.Height());
}

void TLayerItem::CropToContent() {
  TPoint pos{Left, Top};
  CropLayerToMask(Image, Mask, pos);
  Left = pos.X;
  Top = pos.Y;
}

void FlipRotateBitmap(TBitmap& bmp, int code) {
  if (bmp.Empty()) return;
  switch (code) {
    case 0: FlipBitmapVertical(bmp); break;
    case 1: FlipBitmapHorizontal(bmp); break;
    case 2: RotateBitmap90(bmp, true); break;
    case 3: RotateBitmap90(bmp, false); break;
    case 4: RotateBitmap180(bmp); break;
    default: break;
  }
}

// --- TLayerList ------------------------------------------------------------------

TLayerList::~TLayerList() {
  // The owner may be half destroyed by now: free the layers without telling it.
  owner_ = nullptr;
  items_.clear();
}

TLayerItem& TLayerList::GetItem(int i) {
  if (i < 0 || i >= GetCount()) throw std::out_of_range("layer index out of range");
  return *items_[size_t(i)];
}

const TLayerItem& TLayerList::GetItem(int i) const {
  if (i < 0 || i >= GetCount()) throw std::out_of_range("layer index out of range");
  return *items_[size_t(i)];
}

void TLayerList::Changed() {
  if (owner_) owner_->LayersChanged();
}

int TLayerList::Add(std::unique_ptr<TLayerItem> layer) {
  if (!layer) return -1;
  items_.push_back(std::move(layer));
  Changed();
  return GetCount() - 1;
}

void TLayerList::Delete(int i) {
  if (i < 0 || i >= GetCount()) return;
  if (owner_) owner_->LayerDeleting(*items_[size_t(i)]);
  // The layer is freed only once it is out of the list, so that nothing reached from the
  // list during its destruction sees it.
  std::unique_ptr<TLayerItem> gone = std::move(items_[size_t(i)]);
  items_.erase(items_.begin() + i);
  gone.reset();
  if (owner_ && GetCount() <= owner_->ActiveIndex()) owner_->StoreActiveIndex(GetCount() - 1);
  Changed();
}

void TLayerList::Clear() {
  while (GetCount() > 0) Delete(0);
  if (owner_) owner_->StoreActiveIndex(-1);
}

int TLayerList::IndexOf(const TLayerItem* layer) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == layer) return int(i);
  return -1;
}

void TLayerList::Move(int from, int to) {
  if (from < 0 || from >= GetCount() || to < 0 || to >= GetCount()) return;
  if (from != to) {
    std::unique_ptr<TLayerItem> item = std::move(items_[size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
  }
  Changed();
}

void TLayerList::Assign(const TLayerList& source) {
  if (&source == this) return;
  Clear();
  for (const auto& src : source.items_) {
    auto layer = std::make_unique<TLayerItem>();
    layer->Assign(*src);
    items_.push_back(std::move(layer));
  }
  if (owner_ && GetCount() > 0) owner_->StoreActiveIndex(0);
  Changed();
}

void TLayerList::Replace(std::vector<std::unique_ptr<TLayerItem>> layers) {
  Clear();
  for (auto& l : layers)
    if (l) items_.push_back(std::move(l));
  if (owner_ && GetCount() > 0) owner_->StoreActiveIndex(0);
  Changed();
}

}  // namespace qm
