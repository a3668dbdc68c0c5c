#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "document/DocumentServices.h"
#include "document/LayeredImage.h"
#include "document/Layers.h"
#include "document/Undo.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<uint8_t> Packed(const TBitmap& b) {
  std::vector<uint8_t> out;
  for (int y = 0; y < b.Height(); ++y) out.insert(out.end(), b.ScanLine(y), b.ScanLine(y) + 3 * b.Width());
  return out;
}

// Everything of a layer the history must give back.
struct LayerState {
  int32_t id;
  int w, h, mw, mh, left, top;
  bool transparent;
  TColor transparentColor;
  std::vector<uint8_t> image, mask;
  bool operator==(const LayerState&) const = default;
};

std::vector<LayerState> Capture(const TLayeredImage& doc) {
  std::vector<LayerState> out;
  for (int i = 0; i < doc.GetLayerCount(); ++i) {
    const TLayerItem& l = doc.Layers[i];
    out.push_back({l.Id(), l.Image.Width(), l.Image.Height(), l.Mask.Width(), l.Mask.Height(), l.Left, l.Top,
                   l.Image.Transparent, l.Image.TransparentColor, Packed(l.Image), Packed(l.Mask)});
  }
  return out;
}

void Scribble(TBitmap& b, TRect r, Rng& rng) {
  ClipRectToBitmap(r, b);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      for (int c = 0; c < 3; ++c) Px(b, x, y)[c] = uint8_t(rng.Int(0, 255));
}

}  // namespace

// --- Snapshots ---------------------------------------------------------------------

TEST(Bmp24, SnapshotKeepsOnlyTheClippedRectPacked) {
  TBitmap b = RandomBitmap(13, 9, 1);  // 39-byte rows: padded in the bitmap, packed here
  b.Transparent = true;
  b.TransparentColor = RGB(1, 2, 3);
  TBmp24 s;
  s.Snapshot(&b, TRect{-4, 5, 7, 20});
  ASSERT_EQ(s.Width(), 7);
  ASSERT_EQ(s.Height(), 4);
  EXPECT_TRUE(s.Transparent());
  EXPECT_EQ(s.TransparentColor(), RGB(1, 2, 3));
  for (int y = 0; y < 4; ++y) EXPECT_EQ(0, std::memcmp(s.Row(y), Px(b, 0, 5 + y), 21));

  s.Snapshot(&b, TRect{20, 20, 30, 30});  // entirely outside: nothing stored
  EXPECT_EQ(s.Width(), 0);
  EXPECT_EQ(s.ByteSize(), 0u);
  s.Snapshot(nullptr, TRect{0, 0, 5, 5});
  EXPECT_EQ(s.Width(), 0);
  EXPECT_EQ(s.TransparentColor(), clNone);
}

TEST(Bmp24, RestoreBlendAndSwapNeedTheStoredSize) {
  TBitmap b = RandomBitmap(20, 10, 2), orig = b.Clone();
  TBmp24 s;
  s.Snapshot(&b, TRect{2, 2, 12, 8});
  Rng rng(3);
  Scribble(b, UnboundedRect, rng);
  TBitmap scribbled = b.Clone();
  s.RestoreRect(b, TRect{3, 2, 12, 8});  // other size: nothing
  EXPECT_TRUE(SameBitmaps(b, scribbled));
  s.BlendRect(b, TRect{0, 0, 5, 5}, 50);
  EXPECT_TRUE(SameBitmaps(b, scribbled));
  s.SwapRect(b, TRect{0, 0, 5, 5});
  EXPECT_TRUE(SameBitmaps(b, scribbled));

  s.SwapRect(b, TRect{2, 2, 12, 8});
  EXPECT_TRUE(SameOutside(b, scribbled, TRect{2, 2, 12, 8}));
  for (int y = 2; y < 8; ++y) EXPECT_EQ(0, std::memcmp(Px(b, 2, y), Px(orig, 2, y), 30));
  s.SwapRect(b, TRect{2, 2, 12, 8});
  EXPECT_TRUE(SameBitmaps(b, scribbled));
}

TEST(Bmp24, BlendMovesTowardTheStoredBytesTruncating) {
  TBitmap b(4, 4, pf24bit, clWhite);
  TBmp24 s;
  s.SnapshotWhole(&b);
  b.FillRect(UnboundedRect, clBlack);
  s.BlendRect(b, GetBitmapRect(b), 50);
  EXPECT_EQ(b.GetPixel(1, 1), RGB(127, 127, 127));
  b.FillRect(UnboundedRect, clBlack);
  s.BlendRect(b, GetBitmapRect(b), 150);  // acts as 100
  EXPECT_EQ(b.GetPixel(3, 3), clWhite);
  b.FillRect(UnboundedRect, RGB(10, 20, 30));
  s.BlendRect(b, GetBitmapRect(b), -5);  // acts as 0
  EXPECT_EQ(b.GetPixel(0, 0), RGB(10, 20, 30));
}

TEST(Bmp24, SwapWholeExchangesSizesAndTransparency) {
  TBitmap b = RandomBitmap(100, 100, 4), orig = b.Clone();
  TBmp24 s;
  s.SnapshotWhole(&b);
  ResizeLayerBitmap(b, 50, 50, false);
  b.Transparent = true;
  b.TransparentColor = RGB(9, 9, 9);
  TBitmap small = b.Clone();
  s.SwapWhole(b);
  EXPECT_TRUE(SameBitmaps(b, orig));
  EXPECT_FALSE(b.Transparent);
  EXPECT_EQ(s.Width(), 50);
  s.SwapWhole(b);
  EXPECT_TRUE(SameBitmaps(b, small));
  EXPECT_TRUE(b.Transparent);
  EXPECT_EQ(b.TransparentColor, RGB(9, 9, 9));
  // the snapshot now holds the big bitmap itself; it reads and restores as before
  EXPECT_EQ(s.Width(), 100);
  EXPECT_EQ(0, std::memcmp(s.Row(99), Px(orig, 0, 99), 300));
  TBitmap restored;
  s.RestoreWhole(restored);
  EXPECT_TRUE(SameBitmaps(restored, orig));
  restored.FillRect(UnboundedRect, clBlack);
  s.BlendRect(restored, GetBitmapRect(restored), 100);
  EXPECT_TRUE(SameBitmaps(restored, orig));
  s.SwapRect(restored, TRect{0, 0, 100, 100});
  EXPECT_TRUE(SameBitmaps(restored, orig));
  s.SwapRect(restored, TRect{0, 0, 50, 50});  // another size: nothing
  EXPECT_TRUE(SameBitmaps(restored, orig));
}

// Rows wider than any fixed buffer, on several threads and on one.
TEST(Bmp24, WideRowsSnapshotAndSwap) {
  for (int threads : {1, 8}) {
    SetEngineThreads(threads);
    TBitmap b = RandomBitmap(12003, 7, 5), orig = b.Clone();
    TBmp24 s;
    s.Snapshot(&b, TRect{1, 1, 12002, 6});
    Rng rng(6);
    Scribble(b, TRect{0, 0, 12003, 7}, rng);
    TBitmap scribbled = b.Clone();
    s.SwapRect(b, TRect{1, 1, 12002, 6});
    EXPECT_TRUE(SameOutside(b, scribbled, TRect{1, 1, 12002, 6}));
    for (int y = 1; y < 6; ++y) EXPECT_EQ(0, std::memcmp(Px(b, 1, y), Px(orig, 1, y), 3 * 12001));
    s.SwapRect(b, TRect{1, 1, 12002, 6});
    EXPECT_TRUE(SameBitmaps(b, scribbled));
  }
  SetEngineThreads(0);
}

// Large snapshots reuse the blocks of dropped ones: what a new snapshot holds is its
// own picture, never a dropped one's, and a live snapshot's block is never handed out.
TEST(Bmp24, LargeSnapshotsOfOneSizeKeepTheirOwnPixels) {
  TBitmap a = RandomBitmap(2000, 1500, 11), b = RandomBitmap(2000, 1500, 12);
  const TRect r{0, 0, 2000, 1500};
  auto first = std::make_unique<TBmp24>();
  first->Snapshot(&a, r);
  TBmp24 live;
  live.Snapshot(&b, r);
  first.reset();  // its block goes to the spares
  TBmp24 second, third;
  second.Snapshot(&b, r);
  third.Snapshot(&a, r);
  TBitmap out(2000, 1500);
  for (const auto& [snap, want] : {std::pair{&live, &b}, {&second, &b}, {&third, &a}}) {
    snap->RestoreRect(out, r);
    EXPECT_TRUE(SameBitmaps(out, *want));
  }
}

// --- Steps -------------------------------------------------------------------------

TEST(UndoSteps, WholeLayerStepOfAResizedLayerSwapsWholeBitmaps) {
  TLayerItem l;
  l.Image = RandomBitmap(100, 100, 7);
  l.Left = 4;
  TBitmap big = l.Image.Clone();
  TUndoList h(12);
  h.AddUndoLayerStep(l, uwImageAndMask, "Taille de l'image");
  ResizeLayerBitmap(l.Image, 50, 50, false);
  l.Left = 9;
  TBitmap small = l.Image.Clone();
  EXPECT_FALSE(UndoStepFitsLayer(*h.GetCurrentUndoStep()));
  h.UndoStep();
  EXPECT_TRUE(SameBitmaps(l.Image, big));
  EXPECT_EQ(l.Left, 4);
  h.RedoStep();
  EXPECT_TRUE(SameBitmaps(l.Image, small));
  EXPECT_EQ(l.Left, 9);
}

TEST(UndoSteps, RectStepsStoreTheClippedRectOnly) {
  TLayerItem l;
  l.Image = RandomBitmap(30, 20, 8);
  TUndoList h(12);
  TUndoLayerItem* s = h.AddUndoRectStep(l, TRect{20, -5, 40, 10}, "Filtre", uwImage);
  EXPECT_EQ(s->Rect, (TRect{20, 0, 30, 10}));
  EXPECT_EQ(s->ImageSnap.Width(), 10);
  EXPECT_EQ(s->MaskSnap.Width(), 0);
  TUndoLayerItem* outside = h.AddUndoRectStep(l, TRect{40, 40, 50, 50}, "Filtre", uwImage);
  EXPECT_EQ(outside->ImageSnap.ByteSize(), 0u);
  TBitmap before = l.Image.Clone();
  SwapUndoStep(*outside);
  EXPECT_TRUE(SameBitmaps(l.Image, before));
}

TEST(UndoSteps, RestoreBlendResnapAndParams) {
  TLayerItem l;
  l.Image = RandomBitmap(16, 16, 9);
  TBitmap orig = l.Image.Clone();
  TUndoList h(12);
  TUndoLayerItem* s = h.AddUndoRectStep(l, TRect{}, "Pinceau", uwImage);
  EXPECT_TRUE(s->Rect.IsEmpty());
  // a stroke grows its step from the pre-change copy
  ResnapUndoStepRect(*s, TRect{2, 2, 10, 10}, orig);
  Rng rng(10);
  Scribble(l.Image, TRect{2, 2, 10, 10}, rng);
  RestoreUndoStep(*s);
  EXPECT_TRUE(SameBitmaps(l.Image, orig));
  l.Image.FillRect(TRect{2, 2, 10, 10}, clBlack);
  BlendUndoStep(*s, 100);
  EXPECT_TRUE(SameBitmaps(l.Image, orig));

  SetUndoStepParam(*s, 1, 11);
  SetUndoStepParam(*s, 10, 99);
  SetUndoStepParam(*s, 0, 5);   // ignored
  SetUndoStepParam(*s, 11, 5);  // ignored
  EXPECT_EQ(GetUndoStepParam(*s, 1), 11);
  EXPECT_EQ(GetUndoStepParam(*s, 10), 99);
  EXPECT_EQ(GetUndoStepParam(*s, 11), 0);

  // a whole-layer step restores over the current bitmap while it fits
  TUndoLayerItem* w = h.AddUndoLayerStep(l, uwImage, "Inverser");
  Scribble(l.Image, UnboundedRect, rng);
  RestoreUndoStep(*w);
  EXPECT_TRUE(SameBitmaps(l.Image, orig));
}

// --- The list ------------------------------------------------------------------------

TEST(UndoList, CapacityDropsTheOldestAndSetsOverflow) {
  TLayerItem l;
  l.Image = RandomBitmap(8, 8, 11);
  TUndoList h(4);
  std::vector<int32_t> ids;
  for (int i = 0; i < 5; ++i) ids.push_back(h.AddUndoRectStep(l, TRect{0, 0, 2, 2}, "P", uwImage)->Id());
  EXPECT_EQ(h.GetUndoStepCount(), 4);
  EXPECT_TRUE(h.Overflow());
  EXPECT_EQ(h.GetUndoStep(0)->Id(), ids[1]);
  EXPECT_EQ(h.Current(), 3);
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_GT(ids[i], ids[i - 1]);
  h.ClearUndoList();
  EXPECT_FALSE(h.Overflow());
  EXPECT_EQ(h.Current(), -1);
  EXPECT_EQ(TUndoList(0).Capacity(), 1);
}

TEST(UndoList, PooledSnapshotBuffersRestoreExactlyAndGoBackWhenCleared) {
  // Steps of photo size (over the pool's 8 MB threshold) at a history's capacity:
  // each new step reuses the buffer a dropped one freed, and every undo still gives
  // back the exact bytes of its step.
  ReleaseUndoBufferPool();
  TLayerItem l;
  l.Image = RandomBitmap(2048, 1400, 5);
  const TRect all = GetBitmapRect(l.Image);
  const size_t bytes = size_t(all.Width()) * all.Height() * 3;
  TUndoList h(3);
  std::vector<std::vector<uint8_t>> before;
  for (int i = 0; i < 9; ++i) {
    before.push_back(Packed(l.Image));
    h.AddUndoRectStep(l, all, "F", uwImage);
    EXPECT_LE(PooledUndoBufferBytes(), bytes);
    l.Image.FillRect(TRect{i * 150, i * 90, i * 150 + 400, i * 90 + 300}, TColor(0x10203 * (i + 1)));
  }
  for (int i = 8; i >= 6; --i) {
    h.UndoStep();
    EXPECT_EQ(Packed(l.Image), before[size_t(i)]) << i;
  }
  h.RedoAll();
  EXPECT_EQ(PooledUndoBufferBytes(), bytes);  // the last step dropped at the capacity
  h.DeleteLastUndoStep();
  EXPECT_EQ(PooledUndoBufferBytes(), 2 * bytes);
  h.AddUndoRectStep(l, all, "F", uwImage);  // takes a freed buffer back
  EXPECT_EQ(PooledUndoBufferBytes(), bytes);
  const std::vector<uint8_t> snap = Packed(l.Image);
  l.Image.FillRect(all, clBlack);
  h.UndoStep();
  EXPECT_EQ(Packed(l.Image), snap);
  h.DeleteLastUndoStep();
  h.DeleteLastUndoStep();
  EXPECT_EQ(PooledUndoBufferBytes(), 2 * bytes);  // two kept at most
  EXPECT_EQ(h.GetUndoStepCount(), 1);
  h.ClearUndoList();
  EXPECT_EQ(PooledUndoBufferBytes(), 0u);
  {
    TUndoList closing(3);
    closing.AddUndoRectStep(l, all, "F", uwImage);
    closing.DeleteLastUndoStep();
    EXPECT_EQ(PooledUndoBufferBytes(), bytes);
  }
  EXPECT_EQ(PooledUndoBufferBytes(), 0u);  // a document's history going gives them back
}

TEST(UndoList, SpareWholeLayerBitmapsAreBoundedAndGoWhenThePoolIsReleased) {
  // Whole-layer bitmaps given back (dropped whole-layer steps, turned layers' buffers)
  // are kept two at most, taken again only for the same byte size, small ones never.
  ReleaseUndoBufferPool();
  const size_t bytes = size_t(2048) * 3 * 1400;
  for (int i = 0; i < 3; ++i) GiveSpareBitmap(TBitmap(2048, 1400, pf24bit, clWhite));
  EXPECT_EQ(PooledUndoBufferBytes(), 2 * bytes);
  GiveSpareBitmap(TBitmap(64, 64, pf24bit, clWhite));
  EXPECT_EQ(PooledUndoBufferBytes(), 2 * bytes);
  EXPECT_TRUE(TakeSpareBitmap(bytes + 3).Empty());
  const TBitmap taken = TakeSpareBitmap(bytes);
  EXPECT_EQ(size_t(taken.Stride()) * size_t(taken.Height()), bytes);
  EXPECT_EQ(PooledUndoBufferBytes(), bytes);
  // a whole-layer step of that byte size (turned: the same bytes) takes the kept
  // bitmap, gives it back when it goes, and the next step takes it again
  {
    TLayerItem l;
    l.Image = RandomBitmap(1400, 2048, 3);
    TUndoList h(3);
    h.AddUndoLayerStep(l, uwImage, "F");
    EXPECT_EQ(PooledUndoBufferBytes(), 0u);
    h.DeleteLastUndoStep();
    EXPECT_EQ(PooledUndoBufferBytes(), bytes);
    h.AddUndoLayerStep(l, uwImage, "F");
    EXPECT_EQ(PooledUndoBufferBytes(), 0u);
    l.Image.FillRect(GetBitmapRect(l.Image), clBlack);
    h.UndoStep();
    EXPECT_EQ(Packed(l.Image), Packed(RandomBitmap(1400, 2048, 3)));
  }
  ReleaseUndoBufferPool();
  EXPECT_EQ(PooledUndoBufferBytes(), 0u);
}

TEST(UndoList, NavigationAndTheRedoBranch) {
  TLayerItem l;
  l.Image = RandomBitmap(8, 8, 12);
  TUndoList h(12);
  h.UndoStep();  // nothing to undo
  EXPECT_EQ(h.Current(), -1);
  TUndoLayerItem* a = h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "A", uwImage);
  TUndoLayerItem* b = h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "B", uwImage);
  EXPECT_EQ(h.GetPreviousUndoStep(), a);
  EXPECT_EQ(h.GetNextUndoStep(), nullptr);
  h.RedoStep();  // nothing to redo
  EXPECT_EQ(h.Current(), 1);
  h.UndoStep();
  EXPECT_EQ(h.GetCurrentUndoStep(), a);
  EXPECT_EQ(h.GetNextUndoStep(), b);
  h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "C", uwImage);  // B is dropped first
  EXPECT_EQ(h.GetUndoStepCount(), 2);
  EXPECT_EQ(h.GetCurrentUndoStep()->Name, "C");
  h.DeleteLastUndoStep();
  EXPECT_EQ(h.GetUndoStepCount(), 1);
  EXPECT_EQ(h.GetCurrentUndoStep(), a);
  EXPECT_EQ(h.GetUndoStep(5), nullptr);
  EXPECT_EQ(h.GetUndoStep(-1), nullptr);
}

// A held push taken back leaves the list as it was: the redo branch or the oldest step
// it dropped returns, with the overflow flag; kept, they go for good.
TEST(UndoList, AHeldPushTakenBackGivesTheListBack) {
  TLayerItem l;
  l.Image = RandomBitmap(8, 8, 13);
  TUndoList h(3);
  std::vector<TUndoLayerItem*> s;
  for (const char* n : {"A", "B", "C"}) s.push_back(h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, n, uwImage));
  auto expectAsBuilt = [&](TUndoLayerItem* current) {
    ASSERT_EQ(h.GetUndoStepCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(h.GetUndoStep(i), s[i]);
    EXPECT_EQ(h.GetCurrentUndoStep(), current);
    EXPECT_FALSE(h.Overflow());
  };
  h.UndoStep();
  h.HoldNextPush();
  h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "D", uwImage);  // drops C, the redo branch
  EXPECT_EQ(h.GetUndoStepCount(), 3);
  h.TakeBackLastPush();
  expectAsBuilt(s[1]);
  EXPECT_EQ(h.GetNextUndoStep(), s[2]);

  h.RedoStep();
  h.HoldNextPush();
  h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "E", uwImage);  // drops A, the oldest
  EXPECT_EQ(h.GetUndoStep(0), s[1]);
  EXPECT_TRUE(h.Overflow());
  h.TakeBackLastPush();
  expectAsBuilt(s[2]);

  // Kept: a later take-back is a plain delete of the last step.
  h.HoldNextPush();
  h.AddUndoRectStep(l, TRect{0, 0, 4, 4}, "F", uwImage);
  h.KeepLastPush();
  h.TakeBackLastPush();
  EXPECT_EQ(h.GetUndoStepCount(), 2);
  EXPECT_EQ(h.GetUndoStep(0), s[1]);
  EXPECT_EQ(h.GetCurrentUndoStep(), s[2]);
  EXPECT_TRUE(h.Overflow());
}

TEST(UndoList, HistoryCapacityComesFromTheShellPreference) {
  EXPECT_EQ(NewDocumentHistoryCapacity(), kDefaultHistoryCapacity);
  struct Prefs : TDocumentServices {
    int v = 40;
    int HistoryCapacity() const override { return v; }
  } prefs;
  SetDocumentServices(&prefs);
  EXPECT_EQ(NewDocumentHistoryCapacity(), 24);
  prefs.v = 0;
  EXPECT_EQ(NewDocumentHistoryCapacity(), 1);
  prefs.v = 7;
  EXPECT_EQ(NewDocumentHistoryCapacity(), 7);
  SetDocumentServices(nullptr);
}

// A whole-image operation over more than 99 layers keeps a nested step for each.
TEST(UndoList, NestedStepsHaveNoLimit) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(6, 6, 13), TBitmap(), "#0");
  for (int i = 0; i < 130; ++i) doc.AddLayer(RandomBitmap(3, 3, 100 + i), TBitmap(), "#", 100, TPoint{i % 5, 1});
  TUndoList h(12);
  doc.SetHistory(&h);
  const auto before = Capture(doc);
  h.AddUndoLayerStep(doc.Layers[0], uwImageAndMask, "Retourner");
  SaveLayersForUndo(h, doc.Layers);
  EXPECT_EQ(h.GetCurrentUndoStep()->SubSteps.GetUndoStepCount(), 130);
  for (int i = 0; i < doc.GetLayerCount(); ++i) doc.Layers[i].FlipHorizontal();
  const auto after = Capture(doc);
  h.UndoStep();
  EXPECT_TRUE(Capture(doc) == before);
  h.RedoStep();
  EXPECT_TRUE(Capture(doc) == after);
}

// Random documents edited by random steps: undoing everything gives the first pixels,
// masks and positions back bit for bit, and redoing everything the last.
TEST(UndoList, RandomSequencesUndoAndRedoExactly) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Rng rng(seed);
    SetEngineThreads(seed % 3 == 0 ? 1 : 8);
    TLayeredImage doc;
    doc.LoadFromBitmap(RandomBitmap(rng.Int(8, 40), rng.Int(8, 30), seed), TBitmap(), "#0");
    const int n = rng.Int(1, 4);
    for (int i = 0; i < n; ++i) {
      TBitmap img = RandomBitmap(rng.Int(1, 30), rng.Int(1, 30), seed * 31 + i);
      TBitmap mask = rng.Chance(50) ? RandomMask(img.Width(), img.Height(), seed * 7 + i) : TBitmap();
      doc.AddLayer(std::move(img), std::move(mask), "#", rng.Int(0, 100), TPoint{rng.Int(-10, 30), rng.Int(-10, 30)});
    }
    TUndoList h(1000);
    doc.SetHistory(&h);
    const auto first = Capture(doc);
    const int ops = rng.Int(5, 40);
    for (int k = 0; k < ops; ++k) {
      TLayerItem& l = doc.Layers[rng.Int(0, doc.GetLayerCount() - 1)];
      const bool background = &l == &doc.Layers[0];
      switch (rng.Int(0, 6)) {
        case 0: {  // painting in a rectangle (image, mask or both)
          const uint8_t which = uint8_t(rng.Int(0, 2));
          const TRect r = RandomRect(rng, l.Image.Width(), l.Image.Height());
          h.AddUndoRectStep(l, r, "Peindre", which);
          if (which != uwMask) Scribble(l.Image, r, rng);
          if (which != uwImage && !l.Mask.Empty()) Scribble(l.Mask, r, rng);
          break;
        }
        case 1: {  // a stroke of two dabs, its step grown from the pre-change copy
          TBitmap pre = l.Image.Clone();
          TUndoLayerItem* s = h.AddUndoRectStep(l, TRect{}, "Pinceau", uwImage);
          TRect r1 = RandomRect(rng, l.Image.Width(), l.Image.Height());
          TRect r2 = RandomRect(rng, l.Image.Width(), l.Image.Height());
          ClipRectToBitmap(r1, l.Image);
          ClipRectToBitmap(r2, l.Image);
          Scribble(l.Image, r1, rng);
          ResnapUndoStepRect(*s, r1, pre);
          TRect both = r1;
          if (!r2.IsEmpty())
            both = r1.IsEmpty() ? r2
                                : TRect{std::min(r1.Left, r2.Left), std::min(r1.Top, r2.Top),
                                        std::max(r1.Right, r2.Right), std::max(r1.Bottom, r2.Bottom)};
          Scribble(l.Image, r2, rng);
          ResnapUndoStepRect(*s, both, pre);
          break;
        }
        case 2: {  // resize (image and mask)
          h.AddUndoLayerStep(l, uwImageAndMask, "Redimensionner");
          const int w = rng.Int(1, 40), hh = rng.Int(1, 40);
          ResizeLayerBitmap(l.Image, w, hh, rng.Chance(50));
          if (!l.Mask.Empty()) ResizeLayerBitmap(l.Mask, w, hh, false);
          break;
        }
        case 3: {  // mask made or dropped
          h.AddUndoLayerStep(l, uwMask, "Masque");
          if (l.Mask.Empty()) l.CreateDefaultMask();
          else l.Mask.Clear();
          break;
        }
        case 4: {  // move
          if (background) break;
          h.AddUndoRectStep(l, TRect{}, "Déplacer calque", uwImage);
          l.Left += rng.Int(-5, 5);
          l.Top += rng.Int(-5, 5);
          break;
        }
        case 5: {  // an operation over every layer, with nested steps
          h.AddUndoLayerStep(doc.Layers[0], uwImageAndMask, "Retourner");
          SaveLayersForUndo(h, doc.Layers);
          for (int i = 0; i < doc.GetLayerCount(); ++i) {
            doc.Layers[i].FlipVertical();
            if (i > 0) doc.Layers[i].Left += 1;
          }
          break;
        }
        case 6: {  // undo a few, maybe redo some (undo then redo is the identity)
          const auto now = Capture(doc);
          int u = 0;
          for (int i = rng.Int(1, 3); i > 0 && h.GetCurrentUndoStep(); --i, ++u) h.UndoStep();
          for (int i = 0; i < u; ++i) h.RedoStep();
          ASSERT_TRUE(Capture(doc) == now) << "seed " << seed;
          const int again = rng.Int(0, 2);
          for (int i = 0; i < again; ++i) h.UndoStep();
          break;
        }
      }
    }
    h.RedoAll();
    const auto last = Capture(doc);
    while (h.GetCurrentUndoStep()) h.UndoStep();
    ASSERT_TRUE(Capture(doc) == first) << "seed " << seed;
    h.RedoAll();
    ASSERT_TRUE(Capture(doc) == last) << "seed " << seed;
  }
  SetEngineThreads(0);
}

// Deleting a layer purges its steps at every depth; what remains undoes and redoes
// without touching freed memory (the sanitizers watch).
TEST(UndoList, DeletingALayerLeavesNoStepPointingToIt) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(20, 20, 14), TBitmap(), "#0");
  for (int i = 0; i < 3; ++i) doc.AddLayer(RandomBitmap(8, 8, 20 + i), TBitmap(), "#", 100, TPoint{i, i});
  TUndoList h(12);
  doc.SetHistory(&h);
  TLayerItem* victim = &doc.Layers[2];
  h.AddUndoRectStep(*victim, TRect{0, 0, 4, 4}, "Peindre", uwImage);
  h.AddUndoLayerStep(doc.Layers[1], uwImageAndMask, "Tout");  // the victim only nested
  SaveLayersForUndo(h, doc.Layers);
  h.AddUndoLayerStep(doc.Layers[0], uwImageAndMask, "Tout");
  SaveLayersForUndo(h, doc.Layers);
  h.AddUndoRectStep(doc.Layers[3], TRect{0, 0, 4, 4}, "Peindre", uwImage);
  h.UndoStep();  // leaves a redo branch
  ASSERT_TRUE(h.RefersToLayer(*victim));
  doc.Layers.Delete(2);
  EXPECT_FALSE(h.RefersToLayer(*victim));
  EXPECT_EQ(h.GetUndoStepCount(), 2);  // the victim's own step and the redo branch went
  EXPECT_EQ(h.Current(), 1);
  EXPECT_EQ(h.GetUndoStep(0)->SubSteps.GetUndoStepCount(), 2);
  h.UndoAll();
  h.RedoAll();
  h.UndoAll();
}
