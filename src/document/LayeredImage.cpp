#include "document/LayeredImage.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "document/Layers.h"
#include "document/Undo.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// Composition runs every layer over a band of rows before moving to the next band, so
// the band of the target stays in the core's cache while the layers are drawn into it
// (a 24 MP target would otherwise travel to memory and back once per layer). A band of
// about 48 K pixels (144 KB of target, and as much per source and mask) fits the 1 MB
// second-level cache of the machines we measure on, and stays below the size at which
// the kernels split their own rows over threads.
constexpr int64_t kBandPixels = 48 * 1024;

TRect LayerBounds(const TLayerItem& l) { return Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height()); }

void Force24(TBitmap& b) {
  if (!b.Empty() && b.PixelFormat() != pf24bit) b.SetPixelFormat(pf24bit);
}

bool Covers(const TRect& outer, const TRect& inner) {
  return !outer.IsEmpty() && outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right &&
         outer.Bottom >= inner.Bottom;
}

// Where a step of a composition writes pixels that do not depend on what lies below:
// its rectangle, less where its mask (read from the rectangle's corner) is not 0.
struct TCover {
  TRect rect{};
  const TBitmap* mask = nullptr;
};

bool ZeroBytes(const uint8_t* p, size_t n) {
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t v;
    std::memcpy(&v, p + i, 8);
    any |= v;
  }
  for (; i < n; ++i) any |= p[i];
  return any == 0;
}

// The columns of a band where each of a run of steps shows: from the top step down, the
// band's columns less the covers of the steps above that span the band's rows (a masked
// cover only where its mask shows every pixel of the band's columns still open). A step
// left without columns is not drawn in that band.
class TVisibleColumns {
 public:
  using TSpans = std::vector<std::pair<int, int>>;
  TVisibleColumns(const TCover* covers, size_t n) : covers_(covers), spans_(n) {}
  void Find(const TRect& band) {
    open_.assign(1, {band.Left, band.Right});
    for (size_t s = spans_.size(); s-- > 0;) {
      spans_[s] = open_;
      if (open_.empty() || s == 0) continue;  // (nothing under the lowest step to leave out)
      const TRect& c = covers_[s].rect;
      const int left = std::max(c.Left, open_.front().first), right = std::min(c.Right, open_.back().second);
      if (left >= right || c.Top > band.Top || c.Bottom < band.Bottom) continue;
      if (const TBitmap* m = covers_[s].mask) {
        bool shown = true;
        for (int y = band.Top; y < band.Bottom && shown; ++y)
          shown = ZeroBytes(m->ScanLine(y - c.Top) + ptrdiff_t(left - c.Left) * 3, size_t(right - left) * 3);
        if (!shown) continue;
      }
      rest_.clear();
      for (const auto& [x0, x1] : open_) {
        if (x1 <= left || x0 >= right) {
          rest_.emplace_back(x0, x1);
          continue;
        }
        if (x0 < left) rest_.emplace_back(x0, left);
        if (x1 > right) rest_.emplace_back(right, x1);
      }
      open_.swap(rest_);
    }
  }
  const TSpans& Spans(size_t s) const { return spans_[s]; }

 private:
  const TCover* covers_;
  std::vector<TSpans> spans_;
  TSpans open_, rest_;
};

// A layer transparent through its colour key as the same layer with a mask: hidden (255)
// exactly where the key colour is, shown elsewhere.
void KeyToMask(TLayerItem& l) {
  if (!l.Image.Transparent || !l.Mask.Empty() || l.Image.Empty()) return;
  TBitmap m;
  MaskByColorTolerance(l.Image, m, l.Image.EffectiveTransparentColor(), 0, true, GetBitmapRect(l.Image));
  l.Mask = std::move(m);
  l.Image.Transparent = false;
}

// A transformed layer drawn into r of the target only. The rasterisers write wherever
// the transformation lands, so a part of the target is drawn through a copy of the
// transformation moved by the part's offset into a bitmap of the part.
void DrawTransformedLayer(const TLayerItem& l, TBitmap& target, TRect r) {
  ClipRectToBitmap(r, target);
  if (r.IsEmpty()) return;
  if (r == GetBitmapRect(target)) {
    RasterizeLayer(l.Image, target, *l.Transform, false, l.Mask, l.Opacity);
    return;
  }
  std::unique_ptr<TTransformation> moved;
  if (auto* a = dynamic_cast<const TAffineTransformation*>(l.Transform.get())) {
    auto m = std::make_unique<TAffineTransformation>(*a);
    m->Translate(-r.Left, -r.Top);
    moved = std::move(m);
  } else if (auto* p = dynamic_cast<const TProjectiveTransformation*>(l.Transform.get())) {
    auto m = std::make_unique<TProjectiveTransformation>(*p);
    for (int i = 0; i < 4; ++i) {
      m->CornerX[size_t(i)] -= r.Left;
      m->CornerY[size_t(i)] -= r.Top;
    }
    m->Prepared = false;
    moved = std::move(m);
  } else {
    return;
  }
  TBitmap part;
  CopyBitmapRegion(target, part, r);
  RasterizeLayer(l.Image, part, *moved, false, l.Mask, l.Opacity);
  CopyBitmapRect(part, GetBitmapRect(part), target, r.Left, r.Top, r);
}

// A text layer's pixels are made from its payload when it is first drawn. One that is
// hidden or at opacity 0 is not drawn, so it is not made either: making it would also
// give it its payload's opacity.
void EnsureRendered(TLayerItem& l) {
  if (l.LayerType == ltText && l.Visible && l.Opacity > 0 && l.Image.Empty() && RenderLayerData) RenderLayerData(l);
}

}  // namespace

// One drawing step of a composition. Banded steps only touch the pixels of the
// rectangle they are given and may run band by band, interleaved with the other banded
// steps; the others run over the whole rectangle at once. Inside its cover a step
// writes pixels that do not depend on what lies below (an opaque layer without a mask),
// so the steps before it need not draw there.
struct TLayeredImage::TComposeStep {
  bool banded = true;
  std::function<void(TBitmap& target, TRect r)> draw;
  TCover cover{};
};

TLayeredImage::TLayeredImage() : Layers(this) {}

TLayeredImage::~TLayeredImage() = default;

// --- Active layer ------------------------------------------------------------------

TLayerItem* TLayeredImage::GetActiveLayer() {
  return activeIndex_ >= 0 && activeIndex_ < Layers.GetCount() ? &Layers[activeIndex_] : nullptr;
}

const TLayerItem* TLayeredImage::GetActiveLayer() const {
  return activeIndex_ >= 0 && activeIndex_ < Layers.GetCount() ? &Layers[activeIndex_] : nullptr;
}

void TLayeredImage::SetActiveLayerIndex(int i) {
  if (i < 0 || i >= Layers.GetCount()) return;
  activeIndex_ = i;
  ActiveLayerChanged();
}

void TLayeredImage::LayerDeleting(TLayerItem& layer) {
  if (OnLayerDeleting) OnLayerDeleting(*this, layer);
  if (history_) history_->RemoveLayerUndoSteps(layer);
}

// --- The composed bitmap -------------------------------------------------------------

bool TLayeredImage::ComposesToBackground() const {
  if (Layers.GetCount() != 1) return false;
  const TLayerItem& bg = Layers[0];
  return bg.LayerType == ltBitmap && bg.Visible && bg.Opacity >= 100 && bg.Mask.Empty() && !bg.Image.Transparent &&
         !bg.Shadow.Enabled && !bg.Transform && bg.Left == 0 && bg.Top == 0 && !bg.Image.Empty() &&
         bg.Image.PixelFormat() == pf24bit;
}

bool TLayeredImage::HasOwnComposition() const {
  if (Layers.GetCount() == 0 || composed_.Empty()) return false;
  const TBitmap& bg = Layers[0].Image;
  return composed_.Width() == bg.Width() && composed_.Height() == bg.Height() && composed_.PixelFormat() == pf24bit;
}

TRect TLayeredImage::ImageRect() const {
  return Layers.GetCount() > 0 ? GetBitmapRect(Layers[0].Image) : TRect{};
}

void TLayeredImage::SyncComposedSize() {
  if (Layers.GetCount() == 0 || HasOwnComposition()) return;
  if (ComposesToBackground()) {
    // A 24 MP document opened from a photo is mostly this case: a second copy of its
    // pixels would cost as much memory again, and as much time to fill.
    composed_ = TBitmap();
    return;
  }
  const TBitmap& bg = Layers[0].Image;
  // A turned image keeps its byte size: the buffer is reused (its pages mapped already).
  if (composed_.PixelFormat() == pf24bit && composed_.Reshape(bg.Width(), bg.Height())) {
    TBitmap& white = composed_;
    ParallelRows(0, white.Height(), int64_t(white.Width()) * white.Height(), [&white](int y0, int y1) {
      std::memset(white.ScanLine(y0), 0xFF, size_t(white.Stride()) * size_t(y1 - y0));
    });
  } else
    composed_ = TBitmap(bg.Width(), bg.Height(), pf24bit, clWhite);
  pending_ = GetBitmapRect(composed_);
}

TBitmap& TLayeredImage::ComposedBitmap() {
  if (ComposesToBackground() && !HasOwnComposition()) {
    composed_.Assign(Layers[0].Image);
    pending_ = TRect{};
    return composed_;
  }
  SyncComposedSize();
  return composed_;
}

const TBitmap& TLayeredImage::UpdatedComposition() {
  if (ComposesToBackground()) {
    // A dialog's preview drawn into a bitmap of its own shows until the dialog resumes
    // composition; then the copy goes.
    if (SuspendComposition) return HasOwnComposition() ? composed_ : Layers[0].Image;
    composed_ = TBitmap();
    pending_ = TRect{};
    return Layers[0].Image;
  }
  if (SuspendComposition) return composed_;
  SyncComposedSize();
  if (!pending_.IsEmpty() && Layers.GetCount() > 0) {
    const TRect r = pending_;
    pending_ = TRect{};
    RenderRect(r);
  }
  return composed_;
}

const TBitmap* TLayeredImage::SoleLayerBitmap() const {
  if (SuspendComposition || Layers.GetCount() != 1) return nullptr;
  const TLayerItem& bg = Layers[0];
  const bool plain = bg.LayerType == ltBitmap && bg.Visible && bg.Opacity >= 100 && bg.Mask.Empty() &&
                     !bg.Image.Transparent && !bg.Shadow.Enabled && !bg.Transform && bg.Left == 0 && bg.Top == 0 &&
                     bg.Image.PixelFormat() == pf24bit && !bg.Image.Empty();
  return plain ? &bg.Image : nullptr;
}

void TLayeredImage::InvalidateImageRect(TRect r) {
  if (!SuspendComposition && Layers.GetCount() > 0) {
    SyncComposedSize();
    ClipRectToBitmap(r, Layers[0].Image);
    pending_ = UnionRect(pending_, r);
  }
  if (OnRepaint) OnRepaint(r);
}

void TLayeredImage::InvalidateImage() { InvalidateImageRect(UnboundedRect); }

void TLayeredImage::InvalidateLayerRect(TRect r) {
  const TLayerItem* l = GetActiveLayer();
  if (l) r = ExtendRectByShadow(r, l->Shadow);
  InvalidateImageRect(r);
}

bool TLayeredImage::NeedsWhiteUnderBackground() const {
  if (Layers.GetCount() == 0) return true;
  const TLayerItem& bg = Layers[0];
  // A background that is hidden, translucent or not a plain bitmap leaves pixels of the
  // composed bitmap as they were: white keeps the result independent of what was there.
  return BackgroundHasTransparency() || !bg.Visible || bg.Opacity < 100 || bg.LayerType != ltBitmap;
}

void TLayeredImage::PrepareSteps(TRect r, int index, std::vector<TComposeStep>& steps) {
  TLayerItem& l = Layers[index];
  if (!l.Visible || l.Opacity == 0) return;
  EnsureRendered(l);
  if (l.Opacity == 0) return;
  switch (l.LayerType) {
    case ltBitmap:
    case ltText: {
      if (l.Image.Empty()) return;
      const TLayerItem* lp = &l;
      if (l.Transform) {
        // Through its transformation (no shadow meanwhile), over the whole rectangle at
        // once: the rasterisers place by the transformation's own bounds.
        steps.push_back({false, [lp](TBitmap& t, TRect b) { DrawTransformedLayer(*lp, t, b); }});
        return;
      }
      // An opaque 24-bit layer is copied as it is where its mask (if it has one) shows it.
      TCover cover;
      if (l.Opacity >= 100 && !l.Image.Transparent && l.Image.PixelFormat() == pf24bit &&
          (l.Mask.Empty() || (l.Mask.PixelFormat() == pf24bit && l.Mask.Width() >= l.Image.Width() &&
                              l.Mask.Height() >= l.Image.Height())))
        cover = {LayerBounds(l), l.Mask.Empty() ? nullptr : &l.Mask};
      steps.push_back({true,
                       [lp](TBitmap& t, TRect b) {
                         DrawLayerBitmap(lp->Image, t, lp->Left, lp->Mask, lp->Opacity, b, lp->Top);
                       },
                       cover});
      // A layer being dragged is drawn without its shadow until the drag ends.
      if (l.Shadow.Enabled && !(activeDragging_ && index == activeIndex_)) {
        auto shadow = std::make_shared<TShadowMask>(PrepareShadowMask(
            l.Mask, l.Left, l.Top, l.Image.Width(), l.Image.Height(), l.Shadow, r, l.Opacity));
        if (!shadow->Empty())
          steps.push_back({true, [shadow](TBitmap& t, TRect b) { DrawShadowMask(*shadow, t, b); }});
      }
      return;
    }
    case ltAdjustment: {
      const TLayerAdjustment a = l.Adjustment;
      const int op = l.Opacity;
      steps.push_back({true, [a, op](TBitmap& t, TRect b) { ApplyLayerAdjustments(t, a, op, b); }});
      return;
    }
    case ltColor: {
      const TColor c = l.Color;
      const int op = l.Opacity;
      const bool negate = l.ColorNegate != 0;
      steps.push_back({true, [c, op, negate](TBitmap& t, TRect b) { TintLayerRect(t, c, op, b, negate); }});
      return;
    }
    default:
      return;
  }
}

void TLayeredImage::Compose(TBitmap& target, TRect r, TColor fill, const std::vector<int>& layers) {
  if (target.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(r, target);
  if (r.IsEmpty()) return;
  std::vector<TComposeStep> steps;
  if (fill != clNone) steps.push_back({true, [fill](TBitmap& t, TRect b) { t.FillRect(b, fill); }, {r}});
  for (int i : layers) PrepareSteps(r, i, steps);
  // Nothing under the last step without a mask that covers the whole rectangle shows.
  size_t k = 0;
  for (size_t s = steps.size(); s-- > 0;)
    if (!steps[s].cover.mask && Covers(steps[s].cover.rect, r)) {
      k = s;
      break;
    }

  std::vector<TCover> covers(steps.size());
  for (size_t s = 0; s < steps.size(); ++s) covers[s] = steps[s].cover;

  const int64_t area = int64_t(r.Width()) * r.Height();
  const int bandRows = int(std::max<int64_t>(1, kBandPixels / r.Width()));
  while (k < steps.size()) {
    size_t e = k;
    while (e < steps.size() && steps[e].banded) ++e;
    if (e - k >= 2) {
      const auto draw = [&, k, e](TVisibleColumns& visible, const TRect& band) {
        visible.Find(band);
        for (size_t s = k; s < e; ++s)
          for (const auto& [x0, x1] : visible.Spans(s - k)) steps[s].draw(target, TRect{x0, band.Top, x1, band.Bottom});
      };
      if (WorthThreading(area)) {
        ParallelRows(r.Top, r.Bottom, area, [&](int y0, int y1) {
          TVisibleColumns visible(covers.data() + k, e - k);
          for (int y = y0; y < y1; y += bandRows) draw(visible, TRect{r.Left, y, r.Right, std::min(y + bandRows, y1)});
        });
      } else {
        TVisibleColumns visible(covers.data() + k, e - k);
        draw(visible, r);  // a small area: one band
      }
      k = e;
    } else {
      // a lone step: the kernel splits its rows itself
      steps[k].draw(target, r);
      ++k;
    }
  }
}

void TLayeredImage::DrawLayer(int i, TBitmap& target, TRect clipRect) {
  if (i < 0 || i >= Layers.GetCount()) return;
  Compose(target, clipRect, clNone, {i});
}

void TLayeredImage::RenderRect(TRect r) {
  if (Layers.GetCount() == 0 || (ComposesToBackground() && !HasOwnComposition())) return;
  SyncComposedSize();
  ClipRectToBitmap(r, composed_);
  if (r.IsEmpty()) return;
  std::vector<int> all(size_t(Layers.GetCount()));
  for (int i = 0; i < Layers.GetCount(); ++i) all[size_t(i)] = i;
  Compose(composed_, r, NeedsWhiteUnderBackground() ? clWhite : clNone, all);
}

void TLayeredImage::RenderRectOnto(TBitmap& target, TRect r, TColor backdrop) {
  if (Layers.GetCount() == 0 || target.PixelFormat() != pf24bit) return;
  ClipRectToBitmap(r, target);
  if (r.IsEmpty()) return;
  std::vector<int> all(size_t(Layers.GetCount()));
  for (int i = 0; i < Layers.GetCount(); ++i) all[size_t(i)] = i;
  Compose(target, r, backdrop, all);
}

void TLayeredImage::RenderLayers() { RenderRect(UnboundedRect); }

// --- Adding layers ------------------------------------------------------------------

int TLayeredImage::AppendLayer(std::unique_ptr<TLayerItem> layer) {
  const int i = Layers.Add(std::move(layer));
  activeIndex_ = i;
  ActiveLayerChanged();
  return i;
}

int TLayeredImage::AddLayer(TBitmap&& image, TBitmap&& mask, const std::string& name, int opacity,
                            TPoint position) {
  auto l = std::make_unique<TLayerItem>();
  l->Name = name;
  l->LayerType = ltBitmap;
  l->Opacity = uint8_t(std::clamp(opacity, 0, 100));
  l->Left = position.X;
  l->Top = position.Y;
  l->Image = std::move(image);
  l->Mask = std::move(mask);
  Force24(l->Image);
  Force24(l->Mask);
  // A mask always has its image's size: one given at another size is fitted to it.
  if (!l->Mask.Empty() && (l->Mask.Width() != l->Image.Width() || l->Mask.Height() != l->Image.Height())) {
    if (l->Image.Empty()) l->Mask.Clear();
    else ResizeLayerBitmap(l->Mask, l->Image.Width(), l->Image.Height(), false);
  }
  return AppendLayer(std::move(l));
}

int TLayeredImage::AddLayer(const TBitmap& image, const TBitmap& mask, const std::string& name, int opacity,
                            TPoint position) {
  return AddLayer(image.Clone(), mask.Clone(), name, opacity, position);
}

int TLayeredImage::AddColorLayer(TColor color, int opacity, const std::string& name, bool negate) {
  auto l = std::make_unique<TLayerItem>();
  l->Name = name;
  l->LayerType = ltColor;
  l->Color = color;
  l->ColorNegate = negate ? 1 : 0;
  l->Opacity = uint8_t(std::clamp(opacity, 0, 100));
  return AppendLayer(std::move(l));
}

int TLayeredImage::AddAdjustmentLayer(const TLayerAdjustment& adjustment, int opacity, const std::string& name) {
  auto l = std::make_unique<TLayerItem>();
  l->Name = name;
  l->LayerType = ltAdjustment;
  l->Adjustment = adjustment;
  l->Opacity = uint8_t(std::clamp(opacity, 0, 100));
  return AppendLayer(std::move(l));
}

int TLayeredImage::AddDataLayer(std::unique_ptr<TLayerData> data, const std::string& name) {
  auto l = std::make_unique<TLayerItem>();
  l->Name = name;
  l->LayerType = ltText;
  l->Data = std::move(data);
  // drawn at its payload's opacity once its pixels are made
  l->Opacity = 100;
  return AppendLayer(std::move(l));
}

int TLayeredImage::DuplicateLayer(int i, const std::string& name) {
  if (i < 0 || i >= Layers.GetCount()) return -1;
  auto l = std::make_unique<TLayerItem>();
  l->Assign(Layers[i]);
  l->Name = name;
  l->Visible = true;
  l->Locked = false;
  return AppendLayer(std::move(l));
}

int TLayeredImage::InsertBottomLayer(const TBitmap& image, const TBitmap& mask, const std::string& name) {
  if (Layers.GetCount() == 0) return -1;
  const int i = AddLayer(image, mask, name, 100, TPoint{0, 0});
  Layers.Move(i, 0);
  activeIndex_ = 0;
  ActiveLayerChanged();
  SyncComposedSize();
  return 0;
}

void TLayeredImage::LoadFromBitmap(const TBitmap& image, const TBitmap& mask, const std::string& name) {
  LoadFromBitmap(image.Clone(), mask.Clone(), name);
}

void TLayeredImage::LoadFromBitmap(TBitmap&& image, TBitmap&& mask, const std::string& name) {
  Layers.Clear();
  AddLayer(std::move(image), std::move(mask), name, 100, TPoint{0, 0});
  SyncComposedSize();
}

int TLayeredImage::AddLayerFromGraphic(const TBitmap& graphic, TPoint position, const std::string& name,
                                       int opacity) {
  TBitmap image, mask;
  SplitBitmapToImageAndMask(graphic, image, mask);
  return AddLayer(std::move(image), std::move(mask), name, opacity, position);
}

void TLayeredImage::LoadFromGraphic(const TBitmap& graphic, const std::string& name) {
  TBitmap image, mask;
  SplitBitmapToImageAndMask(graphic, image, mask);
  Layers.Clear();
  AddLayer(std::move(image), std::move(mask), name, 100, TPoint{0, 0});
  SyncComposedSize();
}

void TLayeredImage::LoadFromGraphic(TBitmap&& graphic, const std::string& name) {
  // an opaque graphic splits into itself and no mask
  if (graphic.PixelFormat() != pf32bit && !graphic.Transparent) LoadFromBitmap(std::move(graphic), TBitmap(), name);
  else LoadFromGraphic(std::as_const(graphic), name);
}

void TLayeredImage::AssignImage(const TLayeredImage* source) {
  if (source == this) return;
  if (!source) {
    Layers.Clear();
    composed_ = TBitmap();
    pending_ = TRect{};
    return;
  }
  if (source->ComposesToBackground()) composed_ = TBitmap();  // its background is its composition
  else composed_.Assign(source->composed_);
  Layers.Assign(source->Layers);
  ResolutionX = source->ResolutionX;
  ResolutionY = source->ResolutionY;
  Comment = source->Comment;
  ColorCount = source->ColorCount;
  SyncComposedSize();
}

// --- Merging ------------------------------------------------------------------------

TRect TLayeredImage::LayerReach(const TLayerItem& l) const {
  if (l.LayerType == ltAdjustment || l.LayerType == ltColor) return UnboundedRect;
  if (l.Transform) {
    TRect b;
    l.Transform->GetDestBounds(b);
    return b;
  }
  return ExtendRectByShadow(LayerBounds(l), l.Shadow);
}

void TLayeredImage::MakeBackgroundOpaqueUnder(const std::vector<int>& layers) {
  if (Layers.GetCount() == 0 || layers.empty()) return;
  TLayerItem& bg = Layers[0];
  if (bg.Image.Empty()) return;
  const bool plain = bg.Visible && bg.Opacity >= 100 && bg.LayerType == ltBitmap && bg.Mask.Empty() &&
                     !bg.Image.Transparent && !bg.Shadow.Enabled;
  if (plain) return;
  const TRect all = GetBitmapRect(bg.Image);
  if (!bg.Visible || bg.Opacity < 100 || bg.LayerType != ltBitmap || bg.Shadow.Enabled) {
    // Flattened over white as a whole, with its shadow: what composition shows of it.
    TBitmap flat(bg.Image.Width(), bg.Image.Height(), pf24bit, clWhite);
    if (bg.Visible && bg.Opacity > 0) {
      DrawLayerBitmap(bg.Image, flat, 0, bg.Mask, bg.Opacity, all, 0);
      if (bg.Shadow.Enabled)
        RenderShadowFromMask(bg.Mask, flat, 0, bg.Image.Height(), bg.Image.Width(), bg.Shadow, all, bg.Opacity, 0);
    }
    bg.Image = std::move(flat);
    bg.Mask.Clear();
    bg.Visible = true;
    bg.Opacity = 100;
    bg.LayerType = ltBitmap;
    bg.Shadow.Enabled = 0;
    return;
  }
  // Visible, opaque, transparent through its colour key or its mask.
  KeyToMask(bg);
  for (int i : layers) {
    const TLayerItem& l = Layers[i];
    const TRect reach = IntersectRect(LayerReach(l), all);
    if (reach.IsEmpty()) continue;
    // Only where the layer's own mask lets it through, when nothing else (a shadow) can
    // reach further.
    const bool throughMask = (l.LayerType == ltBitmap || l.LayerType == ltText) && !l.Shadow.Enabled && !l.Transform &&
                             l.Mask.Width() == l.Image.Width() && l.Mask.Height() == l.Image.Height() &&
                             !l.Mask.Empty();
    ParallelRows(reach.Top, reach.Bottom, int64_t(reach.Width()) * reach.Height(), [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        uint8_t* img = bg.Image.ScanLine(y);
        uint8_t* msk = bg.Mask.ScanLine(y);
        const uint8_t* lm = throughMask ? l.Mask.ScanLine(y - l.Top) : nullptr;
        for (int x = reach.Left; x < reach.Right; ++x) {
          const int m = msk[3 * x];
          if (m == 0 || (lm && lm[3 * (x - l.Left)] == 255)) continue;
          // exactly what drawing the background over white at 100 % gives
          uint8_t px[3] = {255, 255, 255};
          BlendPixelMasked(px, img + 3 * x, msk + 3 * x, 100);
          std::memcpy(img + 3 * x, px, 3);
          msk[3 * x] = msk[3 * x + 1] = msk[3 * x + 2] = 0;
        }
      }
    });
  }
}

void TLayeredImage::FlattenAllLayers() {
  if (Layers.GetCount() < 2) return;
  std::vector<int> drawn;
  for (int i = 1; i < Layers.GetCount(); ++i) {
    EnsureRendered(Layers[i]);
    if (Layers[i].Visible) drawn.push_back(i);
  }
  MakeBackgroundOpaqueUnder(drawn);
  TLayerItem& bg = Layers[0];
  Compose(bg.Image, GetBitmapRect(bg.Image), clNone, drawn);
  while (Layers.GetCount() > 1) Layers.Delete(1);
  activeIndex_ = 0;
  InvalidateImage();
}

void TLayeredImage::MergeVisibleLayers() {
  if (Layers.GetCount() < 2) return;
  std::vector<int> drawn;
  for (int i = 1; i < Layers.GetCount(); ++i) {
    EnsureRendered(Layers[i]);
    if (Layers[i].Visible) drawn.push_back(i);
  }
  MakeBackgroundOpaqueUnder(drawn);
  TLayerItem& bg = Layers[0];
  Compose(bg.Image, GetBitmapRect(bg.Image), clNone, drawn);
  for (int k = int(drawn.size()) - 1; k >= 0; --k) Layers.Delete(drawn[size_t(k)]);
  activeIndex_ = 0;
  InvalidateImage();
}

void TLayeredImage::MergeLayers(TLayerItem& upper, TLayerItem& lower, bool crop, bool keepUpper) {
  if (lower.LayerType != ltBitmap || &upper == &lower) return;
  EnsureRendered(upper);
  const int ui = Layers.IndexOf(&upper);
  const bool lowerIsBackground = Layers.GetCount() > 0 && &lower == &Layers[0];
  if (lowerIsBackground || upper.LayerType == ltAdjustment || upper.LayerType == ltColor) {
    if (ui < 0) return;
    if (lowerIsBackground) MakeBackgroundOpaqueUnder({ui});
    Compose(lower.Image, GetBitmapRect(lower.Image), clNone, {ui});
    InvalidateImage();
    return;
  }
  // Shadows are baked first: the merged layer is cast by neither silhouette, and what the
  // shadows showed must stay.
  if (lower.Shadow.Enabled) ApplyLayerShadow(lower);
  if (upper.Shadow.Enabled) ApplyLayerShadow(upper);
  const TRect ub = LayerBounds(upper), lb = LayerBounds(lower);
  const TRect u = UnionRect(ub, lb);
  if (u.IsEmpty()) return;
  // A colour key hides pixels as a mask does: it becomes one, so that they stay hidden.
  KeyToMask(upper);
  KeyToMask(lower);
  upper.CreateDefaultMask();
  lower.CreateDefaultMask();
  TBitmap m(u.Width(), u.Height(), pf24bit, clWhite);
  TBitmap c(u.Width(), u.Height(), pf24bit, clWhite);
  const TRect all = GetBitmapRect(m);
  // Two layers of the stack merge as they are seen, as a merge into the background
  // does: a hidden one adds nothing, and the merged layer is shown when either was.
  // Two hidden layers keep both contents, hidden.
  const bool inStack = ui >= 0 && Layers.IndexOf(&lower) >= 0;
  const bool anyShown = upper.Visible || lower.Visible;
  auto drawn = [&](const TLayerItem* l) { return !inStack || !anyShown || l->Visible; };
  // The combined coverage: black through each mask at each layer's opacity.
  for (const TLayerItem* l : {&lower, &upper}) {
    if (l->Image.Empty() || !drawn(l)) continue;
    BlendColorThroughMask(l->Mask, GetBitmapRect(l->Mask), m, l->Left - u.Left, l->Top - u.Top, all, clBlack,
                          l->Opacity);
    if (!l->Mask.Empty())
      CopyBitmapRectWhereMasked(l->Image, GetBitmapRect(l->Image), c, l->Left - u.Left, l->Top - u.Top, all, 100,
                                l->Mask);
    else
      CopyBitmapRectOpacity(l->Image, GetBitmapRect(l->Image), c, l->Left - u.Left, l->Top - u.Top, all, 100);
  }
  if (drawn(&upper) && drawn(&lower)) BlendLayerThroughMasks(upper, lower, c, u.Left, u.Top);
  TLayerItem& kept = keepUpper ? upper : lower;
  if (inStack) kept.Visible = anyShown;
  kept.LayerType = ltBitmap;
  kept.Image = std::move(c);
  kept.Mask = std::move(m);
  kept.Opacity = 100;
  kept.Left = u.Left;
  kept.Top = u.Top;
  if (crop) kept.CropToContent();
  InvalidateImage();
}

void TLayeredImage::MergeLayerDown(bool crop) {
  const int a = activeIndex_;
  if (a <= 0 || a >= Layers.GetCount()) return;
  // A layer is merged only into a bitmap layer: anything else would lose it.
  if (Layers[a - 1].LayerType != ltBitmap) return;
  MergeLayers(Layers[a], Layers[a - 1], crop, false);
  Layers.Delete(a);
}

void TLayeredImage::ApplyLayerShadow(TLayerItem& layer) {
  if (!layer.Shadow.Enabled || layer.Image.Empty()) return;
  const TLayerShadow shadow = layer.Shadow;
  layer.Shadow.Enabled = 0;
  TRect r = OffsetRect(GetLayerContentRect(layer.Image, layer.Mask), layer.Left, layer.Top);
  if (r.IsEmpty()) return;
  r = ExtendRectByShadow(r, shadow);
  if (Layers.GetCount() > 0 && &layer == &Layers[0]) r = IntersectRect(r, LayerBounds(layer));
  if (r.IsEmpty()) return;
  // The shadow as a layer of its colour, seen through a mask that holds the shadow.
  TLayerItem shade;
  shade.Image = TBitmap(r.Width(), r.Height(), pf24bit, shadow.Color);
  shade.Mask = TBitmap(r.Width(), r.Height(), pf24bit, clWhite);
  TLayerShadow black = shadow;
  black.Color = clBlack;
  black.Opacity = 100;
  RenderShadowFromMask(layer.Mask, shade.Mask, layer.Left - r.Left, layer.Image.Height(), layer.Image.Width(), black,
                       GetBitmapRect(shade.Mask), 100, layer.Top - r.Top);
  shade.Left = r.Left;
  shade.Top = r.Top;
  // the strength composition gives the shadow: scaled by the layer's own opacity
  shade.Opacity = uint8_t(std::clamp(shadow.Opacity, 0, 100) * layer.Opacity / 100);
  MergeLayers(layer, shade, false, true);
  InvalidateImage();
}

// --- Picking ------------------------------------------------------------------------

TColor TLayeredImage::PickComposedColor(int x, int y, bool composed) {
  if (Layers.GetCount() == 0) return clNone;
  if (composed) {
    if (!ContainsImagePoint(TPoint{x, y})) return clNone;
    if (ComposesToBackground() && !HasOwnComposition()) return Layers[0].Image.GetPixel(x, y);
    RenderRect(Bounds(x, y, 1, 1));
    return composed_.GetPixel(x, y);
  }
  const TLayerItem* l = GetActiveLayer();
  if (!l) return clNone;
  const TPoint p = ImageToLayerPoint(TPoint{x, y});
  if (!PtInRect(GetBitmapRect(l->Image), p)) return clNone;
  return l->Image.GetPixel(p.X, p.Y);
}

TLayerItem* TLayeredImage::LayerAtPoint(int x, int y, bool throughMask) {
  const TPoint p{x, y};
  if (!ContainsImagePoint(p)) return nullptr;
  for (int i = Layers.GetCount() - 1; i >= 0; --i) {
    TLayerItem& l = Layers[i];
    if (l.LayerType >= ltAdjustment || !l.Visible || l.Opacity == 0) continue;
    const int lx = p.X - l.Left, ly = p.Y - l.Top;
    if (!PtInRect(GetBitmapRect(l.Image), TPoint{lx, ly})) continue;
    if (throughMask && IsMaskPixelHidden(l.Mask, lx, ly)) continue;
    return &l;
  }
  return nullptr;
}

bool TLayeredImage::SelectLayerAtPoint(int x, int y, bool throughMask) {
  TLayerItem* l = LayerAtPoint(x, y, throughMask);
  if (!l) return false;
  activeIndex_ = Layers.IndexOf(l);
  ActiveLayerChanged();
  if (OnLayerSelect) OnLayerSelect(*this, *l);
  return true;
}

// --- Coordinates ----------------------------------------------------------------------

TRect TLayeredImage::ImageRectToLayerRect(TRect r) const {
  const TLayerItem* l = activeIndex_ >= 1 ? GetActiveLayer() : nullptr;
  return l ? OffsetRect(r, -l->Left, -l->Top) : r;
}

TRect TLayeredImage::LayerRectToImageRect(TRect r) const {
  const TLayerItem* l = activeIndex_ >= 1 ? GetActiveLayer() : nullptr;
  return l ? OffsetRect(r, l->Left, l->Top) : r;
}

TPoint TLayeredImage::ImageToLayerPoint(TPoint p) const {
  const TLayerItem* l = activeIndex_ >= 1 ? GetActiveLayer() : nullptr;
  return l ? TPoint{p.X - l->Left, p.Y - l->Top} : p;
}

TPoint TLayeredImage::LayerToImagePoint(TPoint p) const {
  const TLayerItem* l = activeIndex_ >= 1 ? GetActiveLayer() : nullptr;
  return l ? TPoint{p.X + l->Left, p.Y + l->Top} : p;
}

TRect TLayeredImage::GetActiveLayerBounds() const {
  const TLayerItem* l = GetActiveLayer();
  return l ? LayerBounds(*l) : TRect{};
}

bool TLayeredImage::ContainsImagePoint(TPoint p) const {
  if (Layers.GetCount() == 0) return false;
  const TBitmap& bg = Layers[0].Image;
  return PtInRect(Bounds(0, 0, bg.Width(), bg.Height()), p);
}

bool TLayeredImage::IsPointOnActiveLayer(TPoint p) const {
  if (activeIndex_ < 0 || !GetActiveLayer()) return false;
  if (activeIndex_ == 0) return ContainsImagePoint(p);
  return PtInRect(GetBitmapRect(GetActiveLayer()->Image), ImageToLayerPoint(p));
}

bool TLayeredImage::BackgroundHasTransparency() const {
  if (Layers.GetCount() == 0) return false;
  const TLayerItem& bg = Layers[0];
  return bg.Image.Transparent || !bg.Mask.Empty();
}

// --- Moving the active layer ------------------------------------------------------------

bool TLayeredImage::IsActiveLayerMovable() const {
  const TLayerItem* l = GetActiveLayer();
  return l && activeIndex_ >= 1 && l->Visible && !l->Locked &&
         (l->LayerType == ltBitmap || l->LayerType == ltText);
}

void TLayeredImage::MoveTo(int x, int y) {
  TLayerItem* l = GetActiveLayer();
  // The background stays at the origin.
  if (!l || activeIndex_ < 1) return;
  const TRect before = ExtendRectByShadow(LayerBounds(*l), l->Shadow);
  l->Left = x;
  l->Top = y;
  InvalidateImageRect(UnionRect(before, ExtendRectByShadow(LayerBounds(*l), l->Shadow)));
  ReportLayerMove(activeDragging_ ? lmDragging : lmMoved);
}

void TLayeredImage::SetActiveLayerDragging(bool dragging) {
  if (dragging == activeDragging_) return;
  activeDragging_ = dragging;
  // the shadow, left out while dragging, comes back (or goes) where it reaches
  const TLayerItem* l = GetActiveLayer();
  if (l && l->Shadow.Enabled) InvalidateLayerRect(GetActiveLayerBounds());
}

}  // namespace qm
