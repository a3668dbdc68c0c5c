#include "document/Undo.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

std::atomic<int32_t> g_lastStepId{0};

inline bool Usable(const TBitmap& bmp) { return !bmp.Empty() && bmp.PixelFormat() == pf24bit; }

// Runs body(y) for the rows of a w x h block, split over the engine's threads: snapshot
// rows are independent, and whole-layer copies of photos are memory-bound work that
// gains from several cores.
template <class Body>
void ForRows(int w, int h, Body&& body) {
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) body(y);
  });
}

// Blocks of snapshots dropped by the histories (steps pushed out, redo steps
// discarded, documents closed), kept for the next snapshot of the same size: the
// packed blocks of rectangles, and the bitmaps of whole layers. A fresh block of tens
// of megabytes costs the system's clearing of every page at first touch, more than the
// copy into it; a document worked on step after step asks for blocks of one size over
// and over. What lies idle is bounded (two blocks of each kind, 512 MB in all), so a
// long day of editing keeps no more than that.
class TSpareBlocks {
 public:
  static constexpr size_t kMinBytes = size_t(8) << 20;     // smaller blocks come cheap
  static constexpr size_t kMaxBytes = size_t(512) << 20;   // what may lie idle at most
  static constexpr size_t kMaxBlocks = 2;

  void Release() {
    std::vector<std::pair<uint8_t*, size_t>> freed;
    std::vector<TBitmap> bitmaps;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      freed.swap(blocks_);
      bitmaps.swap(bitmaps_);
      held_ = 0;
    }
    for (auto& [p, bytes] : freed) delete[] p;
  }
  // A bitmap whose buffer holds bytes, to be written over; empty when none is kept.
  TBitmap TakeBitmap(size_t bytes) {
    if (bytes < kMinBytes) return TBitmap();
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < bitmaps_.size(); ++i)
      if (BitmapBytes(bitmaps_[i]) == bytes) {
        TBitmap b = std::move(bitmaps_[i]);
        held_ -= bytes;
        bitmaps_.erase(bitmaps_.begin() + ptrdiff_t(i));
        return b;
      }
    return TBitmap();
  }
  void GiveBitmap(TBitmap&& b) {
    const size_t bytes = BitmapBytes(b);
    if (bytes < kMinBytes || bytes > kMaxBytes) return;  // (freed as it goes)
    std::lock_guard<std::mutex> lock(mutex_);
    while (!bitmaps_.empty() && (bitmaps_.size() >= kMaxBlocks || held_ + bytes > kMaxBytes)) DropBitmap();
    while (!blocks_.empty() && held_ + bytes > kMaxBytes) DropBlock();
    bitmaps_.push_back(std::move(b));
    held_ += bytes;
  }
  size_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }
  uint8_t* Take(size_t bytes) {
    if (bytes < kMinBytes) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < blocks_.size(); ++i)
      if (blocks_[i].second == bytes) {
        uint8_t* p = blocks_[i].first;
        held_ -= bytes;
        blocks_.erase(blocks_.begin() + ptrdiff_t(i));
        return p;
      }
    return nullptr;
  }
  void Give(uint8_t* p, size_t bytes) {
    if (bytes >= kMinBytes && bytes <= kMaxBytes) {
      std::lock_guard<std::mutex> lock(mutex_);
      // the oldest blocks go first, then the bitmaps, until the new one fits
      while (!blocks_.empty() && (blocks_.size() >= kMaxBlocks || held_ + bytes > kMaxBytes)) DropBlock();
      while (!bitmaps_.empty() && held_ + bytes > kMaxBytes) DropBitmap();
      blocks_.emplace_back(p, bytes);
      held_ += bytes;
      return;
    }
    delete[] p;
  }
 private:
  std::mutex mutex_;
  static size_t BitmapBytes(const TBitmap& b) { return b.Empty() ? 0 : size_t(b.Stride()) * size_t(b.Height()); }
  // The oldest of a kind freed (under the lock).
  void DropBlock() {
    delete[] blocks_.front().first;
    held_ -= blocks_.front().second;
    blocks_.erase(blocks_.begin());
  }
  void DropBitmap() {
    held_ -= BitmapBytes(bitmaps_.front());
    bitmaps_.erase(bitmaps_.begin());
  }

  std::vector<std::pair<uint8_t*, size_t>> blocks_;
  std::vector<TBitmap> bitmaps_;
  size_t held_ = 0;  // both kinds
};

// Never destroyed: snapshots held by objects that outlive the statics still give their
// blocks back at exit.
TSpareBlocks& SpareBlocks() {
  static TSpareBlocks* spares = new TSpareBlocks;
  return *spares;
}

}  // namespace

void ReleaseUndoBufferPool() {
  SpareBlocks().Release();
  // the bitmaps' own spare buffers go at the same moments
  ReleaseBitmapBufferPool();
}

size_t PooledUndoBufferBytes() { return SpareBlocks().Held(); }

TBitmap TakeSpareBitmap(size_t bytes) { return SpareBlocks().TakeBitmap(bytes); }

void GiveSpareBitmap(TBitmap&& bitmap) { SpareBlocks().GiveBitmap(std::move(bitmap)); }

// --- TBmp24 ----------------------------------------------------------------------

void TSnapshotBlockRelease::operator()(uint8_t* p) const {
  if (p) SpareBlocks().Give(p, Bytes);
}

TBmp24::TBlock TBmp24::Allocate(size_t bytes) {
  // Left uninitialised: every byte is written by the copy that follows.
  if (!bytes) return TBlock(nullptr, TSnapshotBlockRelease{0});
  if (uint8_t* spare = SpareBlocks().Take(bytes)) return TBlock(spare, TSnapshotBlockRelease{bytes});
  TBlock p(new uint8_t[bytes], TSnapshotBlockRelease{bytes});
  AdviseHugePages(p.get(), bytes);
  return p;
}

const uint8_t* TBmp24::Row(int y) const {
  return holdsBitmap_ ? held_.ScanLine(y) : data_.get() + size_t(width_) * 3 * size_t(y);
}

uint8_t* TBmp24::MutableRow(int y) {
  return holdsBitmap_ ? held_.ScanLine(y) : data_.get() + size_t(width_) * 3 * size_t(y);
}

TBmp24::~TBmp24() { GiveHeldBack(); }

void TBmp24::GiveHeldBack() {
  if (holdsBitmap_ && !held_.Empty()) SpareBlocks().GiveBitmap(std::move(held_));
  held_ = TBitmap();
}

void TBmp24::Clear() {
  data_.reset();
  GiveHeldBack();
  holdsBitmap_ = false;
  width_ = height_ = 0;
  transparent_ = false;
  transparentColor_ = clNone;
}

void TBmp24::Snapshot(const TBitmap* bmp, TRect r) {
  if (!bmp || !Usable(*bmp)) {
    Clear();
    return;
  }
  ClipRectToBitmap(r, *bmp);
  GiveHeldBack();
  holdsBitmap_ = false;
  data_ = Allocate(size_t(r.Width()) * size_t(r.Height()) * 3);
  width_ = r.Width();
  height_ = r.Height();
  transparent_ = bmp->Transparent;
  transparentColor_ = bmp->TransparentColor;
  if (r.IsEmpty()) return;
  const size_t rowBytes = size_t(width_) * 3;
  ForRows(width_, height_, [&](int y) {
    std::memcpy(MutableRow(y), bmp->ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, rowBytes);
  });
}

void TBmp24::SnapshotWhole(const TBitmap* bmp) {
  if (!bmp || !Usable(*bmp)) {
    Clear();
    return;
  }
  // Whole layers are kept as bitmaps: undoing and redoing then exchanges them without
  // copying, whether the layer kept its size or not. A spare one of the same size is
  // written over.
  data_.reset();
  if (!holdsBitmap_ || held_.Empty() || size_t(held_.Stride()) * held_.Height() != size_t(bmp->Stride()) * bmp->Height()) {
    GiveHeldBack();
    held_ = SpareBlocks().TakeBitmap(size_t(bmp->Stride()) * size_t(bmp->Height()));
  }
  held_.Assign(*bmp);
  holdsBitmap_ = true;
  width_ = held_.Width();
  height_ = held_.Height();
  transparent_ = held_.Transparent;
  transparentColor_ = held_.TransparentColor;
}

bool TBmp24::Matches(const TBitmap& bmp, TRect& r) const {
  if (bmp.PixelFormat() != pf24bit) return false;
  ClipRectToBitmap(r, bmp);
  return r.Width() == width_ && r.Height() == height_;
}

void TBmp24::RestoreRect(TBitmap& bmp, TRect r) const {
  if (!Matches(bmp, r)) return;
  const size_t rowBytes = size_t(width_) * 3;
  if (!r.IsEmpty())
    ForRows(width_, height_, [&](int y) {
      std::memcpy(bmp.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, Row(y), rowBytes);
    });
  bmp.Transparent = transparent_;
  bmp.TransparentColor = transparentColor_;
}

void TBmp24::RestoreWhole(TBitmap& bmp) const {
  const TColor brush = bmp.BrushColor;
  if (holdsBitmap_) {
    bmp.Assign(held_);
    bmp.BrushColor = brush;
    return;
  }
  TBitmap fresh(width_, height_, pf24bit, clBlack);
  const size_t rowBytes = size_t(width_) * 3;
  if (width_ > 0 && height_ > 0)
    ForRows(width_, height_, [&](int y) { std::memcpy(fresh.ScanLine(y), Row(y), rowBytes); });
  fresh.Transparent = transparent_;
  fresh.TransparentColor = transparentColor_;
  fresh.BrushColor = brush;
  bmp = std::move(fresh);
}

void TBmp24::BlendRect(TBitmap& bmp, TRect r, int percent) const {
  if (!Matches(bmp, r) || r.IsEmpty()) return;
  percent = std::clamp(percent, 0, 100);
  const int rowBytes = width_ * 3;
  ForRows(width_, height_, [&](int y) {
    BlendRow(bmp.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, Row(y), rowBytes, percent);
  });
}

void TBmp24::SwapHeld(TBitmap& bmp) {
  const TColor brush = bmp.BrushColor;
  std::swap(bmp, held_);
  bmp.BrushColor = brush;
  width_ = held_.Width();
  height_ = held_.Height();
  transparent_ = held_.Transparent;
  transparentColor_ = held_.TransparentColor;
}

void TBmp24::SwapRect(TBitmap& bmp, TRect r) {
  if (!Matches(bmp, r)) return;
  if (holdsBitmap_ && r == GetBitmapRect(bmp) && !r.IsEmpty()) {
    SwapHeld(bmp);
    return;
  }
  const size_t rowBytes = size_t(width_) * 3;
  // Rows are exchanged in place, so no row buffer (and no width limit) is needed.
  if (!r.IsEmpty())
    ForRows(width_, height_, [&](int y) {
      uint8_t* row = bmp.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3;
      std::swap_ranges(row, row + rowBytes, MutableRow(y));
    });
  std::swap(bmp.Transparent, transparent_);
  std::swap(bmp.TransparentColor, transparentColor_);
}

void TBmp24::SwapWhole(TBitmap& bmp) {
  if (bmp.PixelFormat() == pf24bit && bmp.Width() == width_ && bmp.Height() == height_) {
    SwapRect(bmp, GetBitmapRect(bmp));
    return;
  }
  if (bmp.PixelFormat() != pf24bit) {
    // What the layer holds is kept as 24 bits, like every snapshot.
    if (bmp.Empty()) bmp = TBitmap(0, 0, pf24bit);
    else bmp.SetPixelFormat(pf24bit);
  }
  if (!holdsBitmap_) {
    TBitmap stored;
    RestoreWhole(stored);
    data_.reset();
    held_ = std::move(stored);
    holdsBitmap_ = true;
  }
  SwapHeld(bmp);
}

// --- TUndoLayerItem -----------------------------------------------------------------

TUndoLayerItem::TUndoLayerItem(TLayerItem& layer, const std::string& name, uint8_t which)
    : Layer(&layer),
      Mode(umWholeLayer),
      Which(which),
      Rect(GetBitmapRect(layer.Image)),
      Name(name),
      SubSteps(kUnlimitedUndoSteps),
      SavedLeft(layer.Left),
      SavedTop(layer.Top),
      id_(++g_lastStepId) {
  if (which == uwImageAndMask || which == uwImage) ImageSnap.SnapshotWhole(&layer.Image);
  if (which == uwImageAndMask || which == uwMask) MaskSnap.SnapshotWhole(&layer.Mask);
}

TUndoLayerItem::TUndoLayerItem(TLayerItem& layer, const std::string& name, uint8_t which, TRect r)
    : Layer(&layer),
      Mode(umRect),
      Which(which),
      Name(name),
      SubSteps(kUnlimitedUndoSteps),
      SavedLeft(layer.Left),
      SavedTop(layer.Top),
      id_(++g_lastStepId) {
  ClipRectToBitmap(r, layer.Image);
  Rect = r;
  if (which == uwImageAndMask || which == uwImage) ImageSnap.Snapshot(&layer.Image, Rect);
  if (which == uwImageAndMask || which == uwMask) MaskSnap.Snapshot(&layer.Mask, Rect);
}

void ResnapUndoStepRect(TUndoLayerItem& step, TRect r, const TBitmap& bmp) {
  if (step.Mode != umRect) return;
  ClipRectToBitmap(r, bmp);
  (step.Which == uwMask ? step.MaskSnap : step.ImageSnap).Snapshot(&bmp, r);
  step.Rect = r;
}

namespace {
bool SameSize(const TBitmap& bmp, const TBmp24& snap) {
  return bmp.Width() == snap.Width() && bmp.Height() == snap.Height();
}
bool HoldsImage(const TUndoLayerItem& s) { return s.Which == uwImageAndMask || s.Which == uwImage; }
bool HoldsMask(const TUndoLayerItem& s) { return s.Which == uwImageAndMask || s.Which == uwMask; }
}  // namespace

bool UndoStepFitsLayer(const TUndoLayerItem& step) {
  if (step.Mode == umRect) return true;
  const TLayerItem& l = *step.Layer;
  return (!HoldsImage(step) || SameSize(l.Image, step.ImageSnap)) &&
         (!HoldsMask(step) || SameSize(l.Mask, step.MaskSnap));
}

void RestoreUndoStep(TUndoLayerItem& step) {
  TLayerItem& l = *step.Layer;
  if (step.Mode == umRect) {
    if (HoldsImage(step)) step.ImageSnap.RestoreRect(l.Image, step.Rect);
    if (HoldsMask(step)) step.MaskSnap.RestoreRect(l.Mask, step.Rect);
  } else if (UndoStepFitsLayer(step)) {
    if (HoldsImage(step)) step.ImageSnap.RestoreRect(l.Image, GetBitmapRect(l.Image));
    if (HoldsMask(step)) step.MaskSnap.RestoreRect(l.Mask, GetBitmapRect(l.Mask));
  } else {
    if (HoldsImage(step)) step.ImageSnap.RestoreWhole(l.Image);
    if (HoldsMask(step)) step.MaskSnap.RestoreWhole(l.Mask);
  }
}

void BlendUndoStep(TUndoLayerItem& step, int percent) {
  if (step.Mode != umRect) return;
  TLayerItem& l = *step.Layer;
  if (HoldsImage(step)) step.ImageSnap.BlendRect(l.Image, step.Rect, percent);
  if (HoldsMask(step)) step.MaskSnap.BlendRect(l.Mask, step.Rect, percent);
}

void SwapUndoStep(TUndoLayerItem& step) {
  TLayerItem& l = *step.Layer;
  if (step.Mode == umRect) {
    if (HoldsImage(step)) step.ImageSnap.SwapRect(l.Image, step.Rect);
    if (HoldsMask(step)) step.MaskSnap.SwapRect(l.Mask, step.Rect);
  } else if (UndoStepFitsLayer(step)) {
    if (HoldsImage(step)) step.ImageSnap.SwapRect(l.Image, GetBitmapRect(l.Image));
    if (HoldsMask(step)) step.MaskSnap.SwapRect(l.Mask, GetBitmapRect(l.Mask));
  } else {
    if (HoldsImage(step)) step.ImageSnap.SwapWhole(l.Image);
    if (HoldsMask(step)) step.MaskSnap.SwapWhole(l.Mask);
  }
  std::swap(l.Left, step.SavedLeft);
  std::swap(l.Top, step.SavedTop);
}

void SetUndoStepParam(TUndoLayerItem& step, int i, int32_t value) {
  if (i >= 1 && i <= 10) step.Params[i - 1] = value;
}

int32_t GetUndoStepParam(const TUndoLayerItem& step, int i) {
  return (i >= 1 && i <= 10) ? step.Params[i - 1] : 0;
}

// --- TUndoList ---------------------------------------------------------------------

TUndoList::TUndoList(int capacity) : capacity_(std::max(capacity, 1)) {}

TUndoList::~TUndoList() {
  // A document's history (it has a limit; the nested lists of a step have none) gives
  // the spare snapshot blocks back when it goes, as when it is cleared.
  if (capacity_ == kUnlimitedUndoSteps) return;
  KeepLastPush();
  steps_.clear();
  ReleaseUndoBufferPool();
}

void TUndoList::ClearUndoList() {
  KeepLastPush();
  steps_.clear();
  current_ = -1;
  overflow_ = false;
  ReleaseUndoBufferPool();
}

TUndoLayerItem* TUndoList::GetUndoStep(int i) const {
  if (i < 0 || i >= GetUndoStepCount()) return nullptr;
  return steps_[size_t(i)].get();
}

TUndoLayerItem* TUndoList::Push(std::unique_ptr<TUndoLayerItem> step) {
  const bool hold = holdNext_;
  KeepLastPush();
  if (hold) {
    heldCurrent_ = current_;
    heldOverflow_ = overflow_;
    for (auto it = steps_.begin() + (current_ + 1); it != steps_.end(); ++it) heldRedo_.push_back(std::move(*it));
  }
  DiscardRedoSteps();
  if (GetUndoStepCount() >= capacity_) {
    if (hold) heldOldest_ = std::move(steps_.front());
    steps_.erase(steps_.begin());
    overflow_ = true;
  }
  steps_.push_back(std::move(step));
  current_ = GetUndoStepCount() - 1;
  if (hold) heldPush_ = steps_.back().get();
  return steps_.back().get();
}

void TUndoList::KeepLastPush() {
  holdNext_ = false;
  heldPush_ = nullptr;
  heldOldest_.reset();
  heldRedo_.clear();
}

void TUndoList::TakeBackLastPush() {
  if (!heldPush_ || steps_.empty() || steps_.back().get() != heldPush_) {
    KeepLastPush();
    DeleteLastUndoStep();
    return;
  }
  steps_.pop_back();
  if (heldOldest_) steps_.insert(steps_.begin(), std::move(heldOldest_));
  for (auto& s : heldRedo_) steps_.push_back(std::move(s));
  current_ = heldCurrent_;
  overflow_ = heldOverflow_;
  KeepLastPush();
}

TUndoLayerItem* TUndoList::AddUndoRectStep(TLayerItem& layer, TRect r, const std::string& name, uint8_t which) {
  return Push(std::make_unique<TUndoLayerItem>(layer, name, which, r));
}

TUndoLayerItem* TUndoList::AddUndoLayerStep(TLayerItem& layer, uint8_t which, const std::string& name) {
  return Push(std::make_unique<TUndoLayerItem>(layer, name, which));
}

void TUndoList::UndoStep() {
  TUndoLayerItem* step = GetCurrentUndoStep();
  if (!step) return;
  SwapUndoStep(*step);
  step->SubSteps.UndoAll();
  --current_;
}

void TUndoList::RedoStep() {
  if (current_ + 1 >= GetUndoStepCount()) return;
  ++current_;
  TUndoLayerItem* step = GetCurrentUndoStep();
  SwapUndoStep(*step);
  step->SubSteps.RedoAll();
}

void TUndoList::UndoAll() {
  while (current_ >= 0) UndoStep();
}

void TUndoList::RedoAll() {
  while (current_ + 1 < GetUndoStepCount()) RedoStep();
}

void TUndoList::DiscardRedoSteps() {
  if (current_ + 1 < GetUndoStepCount()) steps_.erase(steps_.begin() + (current_ + 1), steps_.end());
}

void TUndoList::DeleteLastUndoStep() {
  if (!steps_.empty()) steps_.pop_back();
  current_ = GetUndoStepCount() - 1;
}

void TUndoList::RemoveLayerUndoSteps(const TLayerItem& layer) {
  KeepLastPush();
  DiscardRedoSteps();
  std::erase_if(steps_, [&](const std::unique_ptr<TUndoLayerItem>& s) { return s->Layer == &layer; });
  for (auto& s : steps_) s->SubSteps.RemoveLayerUndoSteps(layer);
  current_ = GetUndoStepCount() - 1;
}

bool TUndoList::RefersToLayer(const TLayerItem& layer) const {
  for (const auto& s : steps_)
    if (s->Layer == &layer || s->SubSteps.RefersToLayer(layer)) return true;
  return false;
}

void SaveLayersForUndo(TUndoList& history, TLayerList& layers) {
  TUndoLayerItem* step = history.GetCurrentUndoStep();
  if (!step) return;
  for (int i = 1; i < layers.GetCount(); ++i) {
    TLayerItem& l = layers[i];
    if (l.LayerType == ltBitmap) step->SubSteps.AddUndoLayerStep(l, uwImageAndMask, step->Name);
  }
}

}  // namespace qm
