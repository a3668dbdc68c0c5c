#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "document/LayerHost.h"
#include "document/LayerOps.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rotation.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// A document that remembers what the layer strip was told.
class Doc : public TStandaloneDocument {
 public:
  std::vector<std::pair<TLayerChange, int>> changes;
  void LayerStackChanged(TLayerChange c, int i) override { changes.emplace_back(c, i); }
};

void Background(Doc& d, int w, int h, uint32_t seed = 1) { AddFirstLayer(d, RandomBitmap(w, h, seed)); }

// The document's layers as (name, position, pixels) for exact comparisons.
struct Snapshot {
  std::vector<std::string> names;
  std::vector<TRect> bounds;
  std::vector<uint64_t> image, mask;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};
Snapshot Capture(const TLayeredImage& img) {
  Snapshot s;
  for (int i = 0; i < img.GetLayerCount(); ++i) {
    const TLayerItem& l = img.Layers[i];
    s.names.push_back(l.Name);
    s.bounds.push_back(Bounds(l.Left, l.Top, l.Image.Width(), l.Image.Height()));
    s.image.push_back(Checksum(l.Image));
    s.mask.push_back(Checksum(l.Mask));
  }
  return s;
}

// A document of a background and layers of every shape, partly outside the image.
void LayeredDoc(Doc& d, uint32_t seed) {
  Rng rng(seed);
  Background(d, rng.Int(20, 50), rng.Int(20, 50), seed);
  for (int i = 0; i < 4; ++i) {
    TBitmap img = RandomBitmap(rng.Int(1, 30), rng.Int(1, 30), seed * 7 + i);
    // the last layer keeps the default mask the strip gives it
    TBitmap mask = i < 3 ? RandomMask(img.Width(), img.Height(), seed * 11 + i) : TBitmap();
    AddLayerFromBitmap(d, MakeNewLayerName(d), std::move(img), std::move(mask),
                       TPoint{rng.Int(-10, 40), rng.Int(-10, 40)});
  }
}

// The background changed as the shell's command changes it before the other layers
// follow.
void TurnBitmap(TBitmap& bmp, int code) {
  static constexpr int kOp[] = {0, 0, 1, 2, 3, 4};
  const int c = code < 0 ? (code == -3 ? 4 : code == -4 ? 3 : -code) : code;
  FlipRotateBitmap(bmp, kOp[c]);
}
void TurnBackground(TLayeredImage& img, int code) {
  TurnBitmap(img.Layers[0].Image, code);
  TurnBitmap(img.Layers[0].Mask, code);
}

}  // namespace

TEST(LayerOps, NamesSelectionAndAddingAboveTheActiveLayer) {
  Doc d;
  Background(d, 30, 20);
  EXPECT_EQ(MakeNewLayerName(d), "#1");
  EXPECT_EQ(MakeNewLayerName(d), "#2");
  const TBitmap a = RandomBitmap(5, 4, 2), b = RandomBitmap(6, 3, 3);
  EXPECT_EQ(AddLayerFromBitmap(d, "A", a, nullptr, TPoint{2, 3}), 1);
  EXPECT_EQ(AddLayerFromBitmap(d, "B", b, nullptr, TPoint{4, 5}), 2);
  // A new layer goes just above the active one, with its default mask.
  SelectLayer(d, d.Image.Layers[1]);
  EXPECT_EQ(AddColorLayer(d, "C", clWhite, 50, false), 2);
  EXPECT_EQ(d.Image.Layers[2].Name, "C");
  EXPECT_EQ(d.Image.Layers[3].Name, "B");
  EXPECT_TRUE(MaskRectEquals(d.Image.Layers[1].Mask, 0, UnboundedRect));
  EXPECT_EQ(d.Image.Layers[1].Mask.Width(), 5);
  EXPECT_TRUE(d.Image.Layers[2].Mask.Empty());
  EXPECT_EQ(d.changes.back(), std::make_pair(TLayerChange::Added, 2));
  // The top wraps to the background and back.
  SelectLayer(d, d.Image.Layers[3]);
  SelectNextLayer(d);
  EXPECT_EQ(d.Image.ActiveIndex(), 0);
  SelectPreviousLayer(d);
  EXPECT_EQ(d.Image.ActiveIndex(), 3);
  // Duplicate goes above its source under the next name; the background is never deleted.
  SelectLayer(d, d.Image.Layers[1]);
  EXPECT_EQ(DuplicateActiveLayer(d), 2);
  EXPECT_EQ(d.Image.Layers[2].Name, "#3");
  EXPECT_TRUE(SamePixels24(d.Image.Layers[2].Image, a));
  DeleteActiveLayer(d);
  EXPECT_EQ(d.Image.GetLayerCount(), 4);
  SelectLayer(d, d.Image.Layers[0]);
  DeleteActiveLayer(d);
  EXPECT_EQ(d.Image.GetLayerCount(), 4);
  // A 32-bit graphic without a mask is split: its alpha becomes the mask.
  TBitmap argb(3, 2, pf32bit, clBlack);
  argb.ScanLine(0)[3] = 0;
  argb.ScanLine(1)[7] = 255;
  const int k = AddLayerFromBitmap(d, "G", argb, nullptr, TPoint{});
  EXPECT_EQ(d.Image.Layers[k].Mask.ScanLine(0)[0], 255);
  EXPECT_EQ(d.Image.Layers[k].Mask.ScanLine(1)[3], 0);
  // Predicates.
  EXPECT_FALSE(IsUpperLayerActive(&d.Image));
  SelectLayer(d, d.Image.Layers[3]);
  ASSERT_EQ(d.Image.Layers[3].Name, "C");
  EXPECT_TRUE(IsUpperLayerActive(&d.Image));
  EXPECT_FALSE(HasVisibleUpperLayer(&d.Image));
  d.Image.Layers[3].Visible = false;
  EXPECT_TRUE(HasVisibleUpperLayer(&d.Image));
  HideAllLayers(d, true);
  EXPECT_FALSE(HasVisibleUpperLayer(&d.Image));
  EXPECT_FALSE(IsTextLayerActive(nullptr));
}

TEST(LayerOps, ConvertBackgroundToLayerKeepsTheOldOneAbove) {
  Doc d;
  Background(d, 12, 9, 4);
  const uint64_t old = Checksum(d.Image.Layers[0].Image);
  ConvertBackgroundToLayer(d, TBitmap(12, 9, pf24bit, clWhite));
  ASSERT_EQ(d.Image.GetLayerCount(), 2);
  EXPECT_EQ(d.Image.Layers[0].Name, "#0");
  EXPECT_EQ(d.Image.Layers[1].Name, "#1");
  EXPECT_EQ(Checksum(d.Image.Layers[1].Image), old);
  EXPECT_TRUE(MaskRectEquals(d.Image.Layers[1].Mask, 0, UnboundedRect));
}

TEST(LayerOps, PlacingCentresInTheVisiblePartAndKeepsInside) {
  struct View : Doc {
    TRect visible;
    TRect VisibleImageRect() override { return visible; }
  } d;
  Background(d, 100, 80);
  d.visible = TRect{0, 0, 100, 80};
  EXPECT_EQ(PlaceLayerAtSelection(d, TRect{7, 7, 27, 17}), Bounds(40, 35, 20, 10));
  d.visible = TRect{60, 50, 100, 80};  // scrolled to the bottom-right corner
  EXPECT_EQ(PlaceLayerAtSelection(d, Bounds(0, 0, 60, 10)), Bounds(40, 60, 60, 10));
  d.Selection.SelRect = TRect{90, -5, 95, 10};
  EXPECT_EQ(PlaceLayerAtRect(d, Bounds(0, 0, 20, 20), false), Bounds(90, -5, 20, 20));
  EXPECT_EQ(PlaceLayerAtRect(d, Bounds(0, 0, 20, 20), true), Bounds(80, 0, 20, 20));
}

// Composition commutes with the all-layer flips and turns: the document composed after
// the command is the composed document flipped or turned, and the inverse code gives
// every layer, position and mask back exactly.
TEST(LayerOps, FlipRotateAllLayersFollowsTheBackgroundAndIsUndoneByItsInverse) {
  for (int code : {1, 2, 3, 4, 5, -1, -2, -3, -4, -5}) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE(testing::Message() << "code " << code << " seed " << seed);
      Doc d;
      LayeredDoc(d, seed);
      const Snapshot before = Capture(d.Image);
      TBitmap expected = d.Image.UpdatedComposition().Clone();
      TurnBackground(d.Image, code);
      FlipRotateAllLayers(d, code);
      TurnBitmap(expected, code);
      EXPECT_TRUE(SameBitmaps(d.Image.UpdatedComposition(), expected));
      TurnBackground(d.Image, -code);
      FlipRotateAllLayers(d, -code);
      EXPECT_TRUE(Capture(d.Image) == before);
      // the background turned in the same pass (its freed buffer taken by the next
      // layer) gives the same document
      Doc b;
      LayeredDoc(b, seed);
      FlipRotateAllLayers(b, code, true);
      TurnBackground(d.Image, code);
      FlipRotateAllLayers(d, code);
      EXPECT_TRUE(Capture(b.Image) == Capture(d.Image));
    }
  }
  // A full-size layer flipped with the whole document stays at the origin.
  Doc d;
  Background(d, 40, 30);
  AddLayerFromBitmap(d, "L", RandomBitmap(40, 30, 5), nullptr, TPoint{});
  FlipRotateAllLayers(d, 2);
  EXPECT_EQ(d.Image.Layers[1].Left, 0);
}

TEST(LayerOps, OffsetScaleRotateAndSkewPlaceLayersWithTheBackground) {
  Doc d;
  Background(d, 60, 40);
  AddLayerFromBitmap(d, "A", RandomBitmap(10, 6, 2), nullptr, TPoint{5, 7});
  AddColorLayer(d, "C", clWhite, 50, false);
  OffsetAllLayers(d, 3, -2, true);
  EXPECT_EQ(d.Image.Layers[1].Left, 8);
  EXPECT_EQ(d.Image.Layers[1].Top, 5);
  EXPECT_EQ(d.changes.back().first, TLayerChange::Rebuild);
  // Scaled by 2 and 1.5: size and place (5 * 1.5 = 7.5 rounds to the even 8).
  ScaleLayerPositions(d, 2.0, 1.5);
  EXPECT_EQ(Bounds(d.Image.Layers[1].Left, d.Image.Layers[1].Top, d.Image.Layers[1].Image.Width(),
                   d.Image.Layers[1].Image.Height()),
            Bounds(16, 8, 20, 9));
  // A quarter turn through the free rotation lands where the exact turn puts it.
  Doc q;
  Background(q, 60, 40);
  AddLayerFromBitmap(q, "A", RandomBitmap(10, 6, 2), nullptr, TPoint{5, 7});
  Doc e;
  Background(e, 60, 40);
  AddLayerFromBitmap(e, "A", RandomBitmap(10, 6, 2), nullptr, TPoint{5, 7});
  TurnBackground(q.Image, 3);
  TurnBackground(e.Image, 3);
  RotateAllLayers(q, 60, 40, 90);
  FlipRotateAllLayers(e, 3);
  EXPECT_NEAR(q.Image.Layers[1].Left, e.Image.Layers[1].Left, 1);
  EXPECT_NEAR(q.Image.Layers[1].Top, e.Image.Layers[1].Top, 1);
  // A layer covering the background, skewed either way, still starts at the origin.
  for (double f : {0.25, -0.25}) {
    for (bool horizontal : {true, false}) {
      Doc s;
      Background(s, 40, 30);
      AddLayerFromBitmap(s, "A", RandomBitmap(40, 30, 3), nullptr, TPoint{});
      SkewAllLayers(s, 40, 30, horizontal ? f : 0, horizontal ? 0 : f);
      EXPECT_NEAR(s.Image.Layers[1].Left, 0, 1) << f;
      EXPECT_NEAR(s.Image.Layers[1].Top, 0, 1) << f;
    }
  }
}

TEST(LayerOps, EdgeEffectsOnlyMakeTheMaskMoreTransparent) {
  const std::pair<std::pair<int, int>, int> thickness[] = {
      {{299, 2000}, 6}, {{300, 300}, 8}, {{799, 900}, 8}, {{800, 800}, 10}, {{1200, 1300}, 12}, {{1600, 1600}, 16}};
  for (const auto& [size, t] : thickness) EXPECT_EQ(LayerEdgeThickness(size.first, size.second), t);
  using Effect = void (*)(TLayerItem&);
  int which = 0;
  for (Effect effect : {Effect(&ApplyLayerEdgeProgressive), Effect(&ApplyLayerEdgeDispersion),
                        Effect(&ApplyLayerEdgeTorn)}) {
    SCOPED_TRACE(which++);
    TLayerItem l;
    l.Image = RandomBitmap(120, 90, 1);
    effect(l);
    ASSERT_EQ(l.Mask.Width(), 120);
    // Most of the border is (nearly) hidden, the middle still shown.
    int hidden = 0;
    for (int x = 0; x < 120; ++x) hidden += l.Mask.ScanLine(0)[3 * x] >= 200;
    EXPECT_GT(hidden, 60);
    EXPECT_EQ(l.Mask.ScanLine(45)[60 * 3], 0);
  }
}

TEST(LayerOps, LayerMaskOpensAsAnInvertedImage) {
  Doc d;
  Background(d, 10, 10);
  TBitmap mask(4, 3, pf24bit, clBlack);
  mask.FillRect(TRect{0, 0, 2, 3}, clWhite);
  AddLayerFromBitmap(d, "#5", RandomBitmap(4, 3, 2), &mask, TPoint{});
  OpenLayerAlphaAsImage(d);
  ASSERT_EQ(d.Opened.size(), 1u);
  EXPECT_EQ(d.Opened[0].ColorCount, 256);
  EXPECT_EQ(d.Opened[0].Caption, "#5 (Masque)");
  EXPECT_EQ(d.Opened[0].Image.ScanLine(0)[0], 0);
  EXPECT_EQ(d.Opened[0].Image.ScanLine(0)[9], 255);
}
