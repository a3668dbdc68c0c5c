#pragma once
// The undo history of a document: snapshots of one layer's image and/or mask (the whole
// layer or a rectangle of it), taken before an operation. Undo and redo are the same
// swap of the stored pixels (and the layer's position) with the layer's current ones.
// An operation over several layers nests one step per further layer in its step.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerItem.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

// Gives a snapshot's packed block back: a large one is kept for the next snapshot of
// its size.
struct TSnapshotBlockRelease {
  size_t Bytes = 0;
  void operator()(uint8_t* p) const;
};

// A 24-bit pixel snapshot with the transparency settings of the bitmap it was taken
// from. A rectangle is kept packed (rows without padding, top row first, B, G, R); a
// whole bitmap is kept as a bitmap, so that swapping it back and forth (undo and redo
// of a whole-layer step, resized or not) exchanges bitmaps without copying pixels.
// Every rectangle is first clipped to the bitmap; operations whose sizes do not match
// do nothing.
class TBmp24 {
 public:
  TBmp24() = default;
  ~TBmp24();
  TBmp24(const TBmp24&) = delete;
  TBmp24& operator=(const TBmp24&) = delete;

  // The stored pixels of row y (Width * 3 bytes).
  const uint8_t* Row(int y) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Transparent() const { return transparent_; }
  TColor TransparentColor() const { return transparentColor_; }
  size_t ByteSize() const { return size_t(width_) * size_t(height_) * 3; }

  // Frees the pixels; size 0 x 0, not transparent, no transparent colour.
  void Clear();
  // Keeps the pixels of r (clipped) and the bitmap's transparency settings; a null or
  // empty bitmap, or one that is not 24-bit, clears.
  void Snapshot(const TBitmap* bmp, TRect r);
  void SnapshotWhole(const TBitmap* bmp);
  // Writes the stored pixels back over r when its clipped size is the stored size, and
  // the stored transparency settings.
  void RestoreRect(TBitmap& bmp, TRect r) const;
  // Makes the bitmap a 24-bit copy of the stored pixels and settings.
  void RestoreWhole(TBitmap& bmp) const;
  // Moves every byte b of r toward the stored byte s: b + trunc((s - b) * p / 100),
  // percent clamped to 0..100; only when the sizes match.
  void BlendRect(TBitmap& bmp, TRect r, int percent) const;
  // Exchanges the stored pixels and settings with those of r; only when the sizes match.
  void SwapRect(TBitmap& bmp, TRect r);
  // Exchanges the stored pixels and settings with the whole bitmap, sizes included.
  void SwapWhole(TBitmap& bmp);

 private:
  uint8_t* MutableRow(int y);
  // The clipped r when it has the stored size, else an empty rect.
  bool Matches(const TBitmap& bmp, TRect& r) const;
  // Exchanges the held bitmap with bmp (bitmap form only); bmp keeps its brush.
  void SwapHeld(TBitmap& bmp);
  // The held bitmap goes to the spare blocks (empty after).
  void GiveHeldBack();
  using TBlock = std::unique_ptr<uint8_t[], TSnapshotBlockRelease>;
  static TBlock Allocate(size_t bytes);
  TBlock data_;                      // packed form
  TBitmap held_;                     // bitmap form
  bool holdsBitmap_ = false;
  int width_ = 0, height_ = 0;
  bool transparent_ = false;
  TColor transparentColor_ = clNone;
};

// Large snapshot blocks and whole-layer bitmaps freed by dropped steps are kept, two of
// each at most and 512 MB in all, for the next snapshot of the same byte size: its pages
// are then already mapped. Clearing a history,
// or freeing one that has a limit, frees them (here, with the bitmaps' own spare
// buffers: ReleaseBitmapBufferPool); PooledUndoBufferBytes says how much is kept.
void ReleaseUndoBufferPool();
size_t PooledUndoBufferBytes();
// The same keeping for other whole-layer work: a kept bitmap whose buffer holds bytes
// (its pixels and size to be written over; empty when none is kept), and a bitmap
// given to be kept (freed when it is small or there is no room).
TBitmap TakeSpareBitmap(size_t bytes);
void GiveSpareBitmap(TBitmap&& bitmap);

// Step modes and the bitmaps a step holds.
enum : uint8_t { umWholeLayer = 0, umRect = 1 };
enum : uint8_t { uwImageAndMask = 0, uwImage = 1, uwMask = 2 };

// Steps per list when there is no limit (the nested steps of a multi-layer operation).
constexpr int kUnlimitedUndoSteps = INT_MAX;

class TUndoLayerItem;

class TUndoList {
 public:
  // An empty history keeping at most capacity steps (at least 1).
  explicit TUndoList(int capacity = kUnlimitedUndoSteps);
  ~TUndoList();
  TUndoList(const TUndoList&) = delete;
  TUndoList& operator=(const TUndoList&) = delete;

  int Capacity() const { return capacity_; }
  // The index of the step the next undo applies; -1 when there is none.
  int Current() const { return current_; }
  // An oldest step was dropped since the last clear (or since the owner reset it at a
  // save).
  bool Overflow() const { return overflow_; }
  void SetOverflow(bool v) { overflow_ = v; }

  void ClearUndoList();
  TUndoLayerItem* GetUndoStep(int i) const;
  int GetUndoStepCount() const { return int(steps_.size()); }
  TUndoLayerItem* GetCurrentUndoStep() const { return GetUndoStep(current_); }
  TUndoLayerItem* GetNextUndoStep() const { return current_ + 1 < GetUndoStepCount() ? GetUndoStep(current_ + 1) : nullptr; }
  TUndoLayerItem* GetPreviousUndoStep() const { return current_ >= 1 ? GetUndoStep(current_ - 1) : nullptr; }

  // Push a step taken now: the redo branch is dropped, then the oldest step when the
  // history is full (Overflow is set); the new step becomes current and is returned.
  TUndoLayerItem* AddUndoRectStep(TLayerItem& layer, TRect r, const std::string& name, uint8_t which);
  TUndoLayerItem* AddUndoLayerStep(TLayerItem& layer, uint8_t which, const std::string& name);

  // Swaps the current step, undoes its nested steps from the last to the first, and
  // makes the step before it current. Nothing without a current step.
  void UndoStep();
  // Makes the next step current, swaps it and redoes its nested steps from the first to
  // the last. Nothing when no step follows the current one.
  void RedoStep();
  // Every applied step undone, from the current one back to the first; every undone
  // step redone, from the one after the current to the last.
  void UndoAll();
  void RedoAll();

  void DiscardRedoSteps();
  // Deletes the last step; the last remaining one becomes current.
  void DeleteLastUndoStep();

  // The next push may be taken back (a parameter dialog's step, which a Cancel drops):
  // the steps it drops, the redo branch and the oldest one, are held instead of freed
  // until KeepLastPush, a later push or a clear. KeepLastPush also drops a hold no push
  // has taken yet.
  void HoldNextPush() { holdNext_ = true; }
  void KeepLastPush();
  // Deletes the last step; when it is a held push, the steps that push dropped and the
  // overflow flag come back, and the step current before it is current again.
  void TakeBackLastPush();
  // Before the layer is freed: drops the redo branch, then every step of the layer, at
  // every depth (a nested step of it inside another layer's step goes too). The last
  // remaining step becomes current.
  void RemoveLayerUndoSteps(const TLayerItem& layer);
  // Whether any step at any depth refers to the layer.
  bool RefersToLayer(const TLayerItem& layer) const;

 private:
  TUndoLayerItem* Push(std::unique_ptr<TUndoLayerItem> step);
  std::vector<std::unique_ptr<TUndoLayerItem>> steps_;
  int capacity_;
  int current_ = -1;
  bool overflow_ = false;
  // What a held push dropped, and what it changed.
  bool holdNext_ = false;
  const TUndoLayerItem* heldPush_ = nullptr;
  std::unique_ptr<TUndoLayerItem> heldOldest_;
  std::vector<std::unique_ptr<TUndoLayerItem>> heldRedo_;
  int heldCurrent_ = -1;
  bool heldOverflow_ = false;
};

// One step of the history.
class TUndoLayerItem {
 public:
  // A whole-layer step: the layer's Image and/or Mask as which says, its rectangle and
  // position.
  TUndoLayerItem(TLayerItem& layer, const std::string& name, uint8_t which);
  // A rectangle step: r clipped to the layer's Image becomes Rect and is stored.
  TUndoLayerItem(TLayerItem& layer, const std::string& name, uint8_t which, TRect r);
  TUndoLayerItem(const TUndoLayerItem&) = delete;
  TUndoLayerItem& operator=(const TUndoLayerItem&) = delete;

  int32_t Id() const { return id_; }  // unique in the run, increasing from 1

  TLayerItem* Layer;   // the layer the step belongs to (not owned)
  uint8_t Mode;        // umWholeLayer or umRect
  uint8_t Which;       // uwImageAndMask, uwImage or uwMask
  TBmp24 ImageSnap, MaskSnap;
  TRect Rect{};        // layer coordinates
  std::string Name;    // the operation's name as the Edit menu shows it
  int32_t Params[10] = {};  // free for the operation; GetUndoStepParam counts from 1
  TUndoList SubSteps;  // the further layers of a multi-layer operation (no limit)
  int32_t SavedLeft, SavedTop;

 private:
  int32_t id_;
};

// Rectangle steps only: r clipped to bmp is stored again (into ImageSnap, or MaskSnap for
// a mask-only step) and becomes Rect. Painting strokes grow their step with it.
void ResnapUndoStepRect(TUndoLayerItem& step, TRect r, const TBitmap& bmp);
// Rectangle steps always; whole-layer steps while the layer's bitmaps they hold still
// have the stored sizes.
bool UndoStepFitsLayer(const TUndoLayerItem& step);
// Puts the stored pixels back without swapping (previews); the position is not touched.
void RestoreUndoStep(TUndoLayerItem& step);
// Rectangle steps only: moves the layer's pixels toward the stored ones by percent.
void BlendUndoStep(TUndoLayerItem& step, int percent);
// Exchanges the stored pixels with the layer's, then its position with the stored one.
void SwapUndoStep(TUndoLayerItem& step);
// Params[i - 1] for i in 1..10; other indices are ignored (0 is read).
void SetUndoStepParam(TUndoLayerItem& step, int i, int32_t value);
int32_t GetUndoStepParam(const TUndoLayerItem& step, int i);

// For an operation that changes every layer: a whole-layer nested step (image and mask)
// in the current step for every bitmap layer above the background. Nothing without a
// current step.
void SaveLayersForUndo(TUndoList& history, TLayerList& layers);

}  // namespace qm
