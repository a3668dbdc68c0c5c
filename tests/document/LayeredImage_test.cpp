#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "document/LayeredImage.h"
#include "document/Layers.h"
#include "document/Undo.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/Transform.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// What may vary in a random document.
struct DocShape {
  int w = 40, h = 30;
  int layers = 4;
  bool shadows = true;
  bool colourLayers = true;
  bool hidden = true;
  bool oddBackground = true;  // masked, keyed, translucent or hidden backgrounds
  int opaque = 0;              // percent of bitmap layers made opaque, unmasked, often large
};

void RandomShadow(Rng& rng, TLayerItem& l) {
  l.Shadow.Enabled = 1;
  l.Shadow.OffsetX = rng.Int(-6, 6);
  l.Shadow.OffsetY = rng.Int(-6, 6);
  l.Shadow.Opacity = rng.Int(1, 100);
  l.Shadow.Radius = rng.Chance(40) ? 0 : rng.Int(1, 4);
  l.Shadow.Spread = rng.Chance(25);
  l.Shadow.Color = RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255));
}

void RandomDoc(TLayeredImage& doc, Rng& rng, uint32_t seed, const DocShape& shape) {
  TBitmap bg = RandomBitmap(shape.w, shape.h, seed);
  TBitmap bgMask;
  const int kind = shape.oddBackground ? rng.Int(0, 5) : 0;
  if (kind == 1) bgMask = RandomMask(shape.w, shape.h, seed + 1);
  doc.LoadFromBitmap(bg, bgMask, "#0");
  TLayerItem& b = doc.Layers[0];
  if (kind == 2) {
    b.Image.Transparent = true;
    b.Image.TransparentColor = b.Image.GetPixel(0, 0);
    b.Image.FillRect(TRect{0, 0, shape.w / 2, shape.h / 3}, b.Image.TransparentColor);
  }
  if (kind == 3) b.Opacity = uint8_t(rng.Int(0, 99));
  if (kind == 4) b.Visible = false;
  if (kind == 5 && shape.shadows) RandomShadow(rng, b);
  for (int i = 0; i < shape.layers; ++i) {
    const int what = rng.Int(0, 9);
    if (shape.colourLayers && what == 0) {
      doc.AddColorLayer(RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)), rng.Int(0, 100), "#", rng.Chance(30));
    } else if (shape.colourLayers && what == 1) {
      TLayerAdjustment a{rng.Int(-100, 100) * rng.Int(0, 1), rng.Int(-100, 100) * rng.Int(0, 1),
                         rng.Int(-100, 100) * rng.Int(0, 1), 0, rng.Chance(50) ? 1.0 : rng.Int(20, 300) / 100.0};
      doc.AddAdjustmentLayer(a, rng.Int(0, 100), "#");
    } else {
      if (shape.opaque > 0 && rng.Chance(shape.opaque)) {
        // from a small patch to one that overlaps the image on every side
        // without a mask, or with one that shows it whole but for a patch or nowhere
        const int w = rng.Int(1, shape.w + 20), h = rng.Int(1, shape.h + 20);
        TBitmap mask;
        if (rng.Chance(50)) {
          mask = TBitmap(w, h, pf24bit, clBlack);
          const TRect patch = RandomRect(rng, w, h);
          if (rng.Chance(60))
            CopyBitmapRect(RandomMask(w, h, seed * 19 + i), patch, mask, patch.Left, patch.Top, patch);
        }
        doc.AddLayer(RandomBitmap(w, h, seed * 13 + i), std::move(mask), "#", 100,
                     TPoint{rng.Int(-20, shape.w - w / 2), rng.Int(-20, shape.h - h / 2)});
        if (shape.shadows && rng.Chance(30)) RandomShadow(rng, doc.Layers[doc.GetLayerCount() - 1]);
        if (shape.hidden && rng.Chance(15)) doc.Layers[doc.GetLayerCount() - 1].Visible = false;
        continue;
      }
      TBitmap img = RandomBitmap(rng.Int(1, shape.w), rng.Int(1, shape.h), seed * 13 + i);
      TBitmap mask = rng.Chance(70) ? RandomMask(img.Width(), img.Height(), seed * 17 + i) : TBitmap();
      if (mask.Empty() && rng.Chance(20)) {
        img.Transparent = true;
        img.TransparentColor = img.GetPixel(0, 0);
      }
      doc.AddLayer(std::move(img), std::move(mask), "#", rng.Int(1, 100),
                   TPoint{rng.Int(-shape.w / 3, shape.w), rng.Int(-shape.h / 3, shape.h)});
      if (shape.shadows && rng.Chance(30)) RandomShadow(rng, doc.Layers[doc.GetLayerCount() - 1]);
    }
    if (shape.hidden && rng.Chance(15)) doc.Layers[doc.GetLayerCount() - 1].Visible = false;
  }
}

// White, then each layer drawn over the whole image by the routines it is made of.
TBitmap ReferenceComposition(const TLayeredImage& doc) {
  const TLayerItem& bg = doc.Layers[0];
  TBitmap out(bg.Image.Width(), bg.Image.Height(), pf24bit, clWhite);
  const TRect all = GetBitmapRect(out);
  for (int i = 0; i < doc.GetLayerCount(); ++i) {
    const TLayerItem& l = doc.Layers[i];
    if (!l.Visible || l.Opacity == 0) continue;
    if (l.LayerType == ltColor) {
      TintRect(out, l.Color, l.ColorNegate ? -l.Opacity : l.Opacity, all);
    } else if (l.LayerType == ltAdjustment) {
      const TLayerAdjustment& a = l.Adjustment;
      if (a.Lighten) LightenDarkenRect(out, a.Lighten * l.Opacity / 100, all);
      if (a.Contrast) ContrastRect(out, a.Contrast * l.Opacity / 100, all);
      if (a.Saturation) SaturationRect(out, a.Saturation * l.Opacity / 100, all);
      if (a.Gamma != 1.0) GammaRect(out, all, (a.Gamma - 1) * l.Opacity / 100 + 1);
    } else if (l.Transform) {
      if (l.Mask.Empty()) RasterizeTransformOpacity(l.Image, out, *l.Transform, l.Opacity, false);
      else RasterizeTransformMasked(l.Image, out, *l.Transform, l.Opacity, l.Mask, false);
    } else if (l.LayerType <= ltText) {
      DrawLayerBitmap(l.Image, out, l.Left, l.Mask, l.Opacity, all, l.Top);
      if (l.Shadow.Enabled)
        RenderShadowFromMask(l.Mask, out, l.Left, l.Image.Height(), l.Image.Width(), l.Shadow, all, l.Opacity, l.Top);
    }
  }
  return out;
}

// The document of a round of the random tests: large ones go through the banded,
// threaded path.
DocShape RoundShape(Rng& rng, uint32_t round) {
  DocShape shape;
  if (round % 6 == 0) shape.w = rng.Int(300, 700), shape.h = rng.Int(200, 300);
  else shape.w = rng.Int(1, 50), shape.h = rng.Int(1, 40);
  shape.layers = rng.Int(0, 7);
  return shape;
}

// The composed image as it stands after recomposing everything.
TBitmap Composed(TLayeredImage& doc) {
  doc.InvalidateImage();
  return doc.UpdatedComposition().Clone();
}

int MaxDifference(const TBitmap& a, const TBitmap& b) {
  int worst = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < 3 * a.Width(); ++i) worst = std::max(worst, std::abs(a.ScanLine(y)[i] - b.ScanLine(y)[i]));
  return worst;
}

}  // namespace

// --- Composition --------------------------------------------------------------------

TEST(Composition, MatchesTheLayersDrawnOneByOne) {
  Rng rng(1);
  for (uint32_t round = 0; round < 60; ++round) {
    const DocShape shape = RoundShape(rng, round);
    TLayeredImage doc;
    RandomDoc(doc, rng, 1000 + round, shape);
    SetEngineThreads(round % 2 ? 8 : 1);
    // whatever the composed bitmap held before must not show
    TBitmap& c = doc.ComposedBitmap();
    c = RandomBitmap(c.Width(), c.Height(), round);
    doc.RenderLayers();
    ASSERT_TRUE(SameBitmaps(doc.ComposedBitmap(), ReferenceComposition(doc))) << "round " << round;
  }
  SetEngineThreads(0);
}

// What opaque layers hide is left undrawn: the pixels are still those of every layer
// drawn one by one, for the whole image and for parts of it, at any thread count.
TEST(Composition, OpaqueLayersOverOthersGiveTheLayersDrawnOneByOne) {
  Rng rng(31);
  for (uint32_t round = 0; round < 48; ++round) {
    DocShape shape = RoundShape(rng, round);
    shape.opaque = 60;
    TLayeredImage doc;
    RandomDoc(doc, rng, 31000 + round, shape);
    SetEngineThreads(round % 2 ? 8 : 1);
    const TBitmap whole = Composed(doc);
    ASSERT_TRUE(SameBitmaps(whole, ReferenceComposition(doc))) << "round " << round;
    for (int k = 0; k < 3; ++k) {
      const TRect r = RandomRect(rng, shape.w, shape.h);
      doc.ComposedBitmap().FillRect(r, RGB(rng.Int(0, 255), 0, 0));
      doc.RenderRect(r);
    }
    ASSERT_TRUE(SameBitmaps(doc.ComposedBitmap(), whole)) << "round " << round;
  }
  SetEngineThreads(0);
}

// Layers being transformed are drawn through their transformation, also when only a
// part of the image is recomposed.
TEST(Composition, TransformedLayers) {
  Rng rng(21);
  for (uint32_t round = 0; round < 24; ++round) {
    DocShape shape;
    shape.w = rng.Int(60, 300);
    shape.h = rng.Int(60, 250);
    shape.layers = 3;
    TLayeredImage doc;
    RandomDoc(doc, rng, 21000 + round, shape);
    TBitmap img = RandomBitmap(rng.Int(5, 80), rng.Int(5, 80), 22000 + round);
    TBitmap mask = rng.Chance(50) ? RandomMask(img.Width(), img.Height(), 23000 + round) : TBitmap();
    doc.AddLayer(std::move(img), std::move(mask), "#", rng.Int(1, 100), TPoint{rng.Int(0, 40), rng.Int(0, 40)});
    TLayerItem& l = doc.Layers[doc.GetLayerCount() - 1];
    l.Shadow.Enabled = 1;  // not drawn while transformed
    if (round % 3 == 2) {
      auto t = std::make_unique<TProjectiveTransformation>();
      t->SetSrcRect(GetBitmapRect(l.Image));
      t->SetTopLeft({rng.Int(0, 20), rng.Int(0, 20)});
      t->SetTopRight({rng.Int(60, 120), rng.Int(0, 20)});
      t->SetBottomRight({rng.Int(60, 120), rng.Int(60, 120)});
      t->SetBottomLeft({rng.Int(0, 20), rng.Int(60, 120)});
      l.BeginTransform(std::move(t));
    } else {
      auto t = std::make_unique<TAffineTransformation>();
      t->SetSrcRect(GetBitmapRect(l.Image));
      t->Rotate(l.Image.Width() / 2.0, l.Image.Height() / 2.0, rng.Int(-180, 180));
      if (round % 3 == 1) t->Scale(rng.Int(5, 30) / 10.0, rng.Int(5, 30) / 10.0);
      t->Translate(l.Left, l.Top);
      l.BeginTransform(std::move(t));
    }
    const TBitmap whole = Composed(doc);
    ASSERT_TRUE(SameBitmaps(whole, ReferenceComposition(doc))) << "round " << round;
    // recomposing parts through the moved transformation gives the same pixels
    for (int k = 0; k < 3; ++k) {
      const TRect r = RandomRect(rng, shape.w, shape.h);
      doc.ComposedBitmap().FillRect(r, clBlack);
      doc.RenderRect(r);
    }
    int differing = 0;
    for (int y = 0; y < whole.Height(); ++y)
      for (int x = 0; x < whole.Width(); ++x) differing += whole.GetPixel(x, y) != doc.ComposedBitmap().GetPixel(x, y);
    ASSERT_EQ(differing, 0) << "round " << round;
  }
}

TEST(Composition, PartialRendersGiveTheWholeRendersPixels) {
  Rng rng(2);
  for (uint32_t round = 0; round < 30; ++round) {
    DocShape shape;
    shape.w = rng.Int(100, 400);
    shape.h = rng.Int(100, 300);
    TLayeredImage doc;
    RandomDoc(doc, rng, 2000 + round, shape);
    const TBitmap whole = Composed(doc);
    for (int k = 0; k < 4; ++k) {
      const TRect r = RandomRect(rng, shape.w, shape.h);
      TBitmap& c = doc.ComposedBitmap();
      c.FillRect(r, RGB(rng.Int(0, 255), 0, 0));
      doc.RenderRect(r);
    }
    ASSERT_TRUE(SameBitmaps(doc.ComposedBitmap(), whole)) << "round " << round;
  }
}

TEST(Composition, InvalidationIsLazyAndSuspendable) {
  std::vector<TRect> repaints;
  TLayeredImage view;
  view.OnRepaint = [&](const TRect& r) { repaints.push_back(r); };
  view.LoadFromBitmap(TBitmap(20, 10, pf24bit, clBlack), TBitmap(), "#0");
  EXPECT_EQ(view.PendingRect(), (TRect{0, 0, 20, 10}));
  EXPECT_FALSE(repaints.empty());
  EXPECT_EQ(view.UpdatedComposition().GetPixel(3, 3), clBlack);
  EXPECT_TRUE(view.PendingRect().IsEmpty());

  view.Layers[0].Image.FillRect(TRect{2, 2, 4, 4}, clWhite);
  view.InvalidateImageRect(TRect{2, 2, 4, 4});
  EXPECT_EQ(view.PendingRect(), (TRect{2, 2, 4, 4}));
  EXPECT_EQ(view.UpdatedComposition().GetPixel(3, 3), clWhite);

  view.SuspendComposition = true;
  view.ComposedBitmap().FillRect(UnboundedRect, RGB(1, 2, 3));  // a dialog's preview
  view.InvalidateImage();
  EXPECT_TRUE(view.PendingRect().IsEmpty());
  EXPECT_EQ(view.UpdatedComposition().GetPixel(3, 3), RGB(1, 2, 3));
  view.SuspendComposition = false;
  view.InvalidateImage();
  EXPECT_EQ(view.UpdatedComposition().GetPixel(3, 3), clWhite);
}

TEST(Composition, TheComposedBitmapFollowsTheBackgroundsSize) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(30, 20, 3), TBitmap(), "#0");
  EXPECT_EQ(doc.UpdatedComposition().Width(), 30);
  ResizeLayerBitmap(doc.Layers[0].Image, 12, 44, false);
  const TBitmap& c = doc.UpdatedComposition();
  EXPECT_EQ(c.Width(), 12);
  EXPECT_EQ(c.Height(), 44);
  EXPECT_TRUE(SameBitmaps(c, doc.Layers[0].Image));
}

TEST(Composition, APlainBackgroundIsItsOwnCompositionAndADialogDrawsIntoACopy) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(60, 40, 7), TBitmap(), "#0");
  const TBitmap& bg = doc.Layers[0].Image;
  EXPECT_EQ(&doc.UpdatedComposition(), &bg);
  EXPECT_TRUE(SameBitmaps(doc.UpdatedComposition(), ReferenceComposition(doc)));
  doc.Layers[0].Image.FillRect(TRect{1, 1, 5, 5}, RGB(200, 10, 10));
  doc.InvalidateImageRect(TRect{1, 1, 5, 5});
  EXPECT_EQ(doc.PickComposedColor(2, 2, true), RGB(200, 10, 10));
  EXPECT_EQ(doc.PickComposedColor(60, 2, true), clNone);

  // A preview goes into a bitmap of its own, never into the background.
  const TBitmap before = bg.Clone();
  doc.SuspendComposition = true;
  EXPECT_TRUE(SameBitmaps(doc.ComposedBitmap(), before));
  doc.ComposedBitmap().FillRect(UnboundedRect, RGB(1, 2, 3));
  EXPECT_EQ(doc.UpdatedComposition().GetPixel(0, 0), RGB(1, 2, 3));
  EXPECT_TRUE(SameBitmaps(bg, before));
  doc.SuspendComposition = false;
  doc.InvalidateImage();
  EXPECT_EQ(&doc.UpdatedComposition(), &bg);

  // Whatever makes the background more than its pixels composes again, and back.
  const std::vector<std::function<void(TLayeredImage&)>> changes = {
      [](TLayeredImage& d) { d.Layers[0].Opacity = 40; },
      [](TLayeredImage& d) { d.Layers[0].Visible = false; },
      [](TLayeredImage& d) { d.Layers[0].Mask = RandomMask(60, 40, 8); },
      [](TLayeredImage& d) {
        d.Layers[0].Image.Transparent = true;
        d.Layers[0].Image.TransparentColor = RGB(200, 10, 10);
      },
      [](TLayeredImage& d) {
        d.Layers[0].Shadow.Enabled = 1;
        d.Layers[0].Shadow.OffsetX = 3;
        d.Layers[0].Shadow.Opacity = 60;
      },
      [](TLayeredImage& d) { d.AddLayer(RandomBitmap(20, 10, 9), RandomMask(20, 10, 10), "#1", 70, TPoint{5, 5}); },
  };
  for (size_t k = 0; k < changes.size(); ++k) {
    TLayeredImage d;
    d.LoadFromBitmap(before, TBitmap(), "#0");
    d.UpdatedComposition();
    changes[k](d);
    d.InvalidateImage();
    EXPECT_NE(&d.UpdatedComposition(), &d.Layers[0].Image) << k;
    EXPECT_TRUE(SameBitmaps(d.UpdatedComposition(), ReferenceComposition(d))) << k;
    if (d.GetLayerCount() == 2) {
      d.Layers.Delete(1);
      EXPECT_TRUE(SameBitmaps(d.UpdatedComposition(), before));
      EXPECT_EQ(&d.UpdatedComposition(), &d.Layers[0].Image);
    }
  }
}

TEST(Composition, AdjustmentAndColourLayersAreTheKernelsCalledDirectly) {
  TBitmap photo = RandomBitmap(50, 40, 30);
  TLayeredImage doc;
  doc.LoadFromBitmap(photo, TBitmap(), "#0");
  doc.AddAdjustmentLayer(TLayerAdjustment{30, -45, 60, 0, 1.8}, 70, "#1");
  doc.AddColorLayer(RGB(10, 200, 90), 35, "#2", true);
  TBitmap expected = photo.Clone();
  const TRect all = GetBitmapRect(expected);
  LightenDarkenRect(expected, 21, all);  // 30 x 70 / 100
  ContrastRect(expected, -31, all);      // -45 x 70 / 100, toward zero
  SaturationRect(expected, 42, all);
  GammaRect(expected, all, (1.8 - 1.0) * 70 / 100.0 + 1.0);
  TintRect(expected, RGB(10, 200, 90), -35, all);
  EXPECT_TRUE(SameBitmaps(Composed(doc), expected));
}

TEST(Composition, HiddenAndZeroOpacityLayersAreSkipped) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(10, 10, pf24bit, clBlack), TBitmap(), "#0");
  doc.AddLayer(TBitmap(4, 4, pf24bit, clWhite), TBitmap(), "#1", 0, TPoint{1, 1});
  doc.AddLayer(TBitmap(4, 4, pf24bit, RGB(255, 0, 0)), TBitmap(), "#2", 100, TPoint{1, 1});
  doc.Layers[2].Visible = false;
  doc.AddColorLayer(RGB(0, 255, 0), 0, "#3", false);
  EXPECT_EQ(Composed(doc).GetPixel(2, 2), clBlack);
  EXPECT_EQ(doc.PickComposedColor(2, 2, true), clBlack);
  EXPECT_EQ(doc.LayerAtPoint(2, 2), &doc.Layers[0]);
}

namespace {

// A text payload, and the rendering hook for the scope of a test: 3 x 2 blue pixels at
// the payload's opacity, 100; calls counts the renderings.
struct Text : TLayerData {
  void Assign(const TLayerData&) override {}
  void SaveToStream(TStream&) const override {}
  void LoadFromStream(TStream&) override {}
};
struct TextRendering {
  int calls = 0;
  TextRendering() {
    RenderLayerData = [this](TLayerItem& l) {
      ++calls;
      l.Image = TBitmap(3, 2, pf24bit, RGB(0, 0, 255));
      l.Opacity = 100;
    };
  }
  ~TextRendering() { RenderLayerData = nullptr; }
};

}  // namespace

TEST(Composition, TextLayersAreRenderedThroughTheHookOnce) {
  TextRendering rendering;
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(8, 8, pf24bit, clWhite), TBitmap(), "#0");
  doc.AddDataLayer(std::make_unique<Text>(), "#1");
  EXPECT_EQ(doc.Layers[1].Opacity, 100);  // until the hook gives it the payload's
  doc.Layers[1].Left = 2;
  doc.Layers[1].Top = 3;
  EXPECT_EQ(Composed(doc).GetPixel(3, 4), RGB(0, 0, 255));
  Composed(doc);
  EXPECT_EQ(rendering.calls, 1);
}

TEST(Composition, TextLayersAtOpacityZeroAreNeitherRenderedNorDrawn) {
  // As a file gives a text layer: its payload, no pixels yet, its own opacity.
  TextRendering rendering;
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(8, 8, pf24bit, clWhite), TBitmap(), "#0");
  doc.AddDataLayer(std::make_unique<Text>(), "#1");
  doc.Layers[1].Opacity = 0;
  EXPECT_EQ(Composed(doc).GetPixel(1, 1), clWhite);
  EXPECT_EQ(doc.PickComposedColor(1, 1, true), clWhite);
  doc.FlattenAllLayers();
  EXPECT_EQ(doc.Layers[0].Image.GetPixel(1, 1), clWhite);
  EXPECT_EQ(rendering.calls, 0);
}

TEST(Composition, LayersWiderThanTenThousandPixels) {
  Rng rng(4);
  DocShape shape;
  shape.w = 10050;
  shape.h = 12;
  shape.layers = 5;
  for (uint32_t round = 0; round < 3; ++round) {
    TLayeredImage doc;
    RandomDoc(doc, rng, 4000 + round, shape);
    doc.RenderLayers();
    ASSERT_TRUE(SameBitmaps(doc.ComposedBitmap(), ReferenceComposition(doc)));
    const TBitmap before = doc.ComposedBitmap().Clone();
    doc.MergeVisibleLayers();
    ASSERT_TRUE(SameBitmaps(Composed(doc), before));
  }
}

// --- Merging ------------------------------------------------------------------------

TEST(Merging, FlattenAndMergeVisibleKeepTheComposedImage) {
  Rng rng(5);
  for (uint32_t round = 0; round < 80; ++round) {
    DocShape shape;
    shape.w = rng.Int(1, 60);
    shape.h = rng.Int(1, 40);
    shape.layers = rng.Int(0, 6);
    for (bool flatten : {false, true}) {
      TLayeredImage doc;
      RandomDoc(doc, rng, 5000 + round, shape);
      const TBitmap before = Composed(doc);
      int hidden = 0;
      for (int i = 1; i < doc.GetLayerCount(); ++i) hidden += !doc.Layers[i].Visible;
      if (flatten) doc.FlattenAllLayers();
      else doc.MergeVisibleLayers();
      ASSERT_TRUE(SameBitmaps(Composed(doc), before)) << "round " << round << (flatten ? " flatten" : " visible");
      EXPECT_EQ(doc.GetLayerCount(), flatten ? 1 : 1 + hidden);
      EXPECT_EQ(doc.ActiveIndex(), 0);
    }
  }
}

TEST(Merging, MergeDownIntoTheBackgroundKeepsTheComposedImage) {
  Rng rng(6);
  for (uint32_t round = 0; round < 80; ++round) {
    DocShape shape;
    shape.w = rng.Int(1, 60);
    shape.h = rng.Int(1, 40);
    shape.layers = 1;
    shape.hidden = false;
    TLayeredImage doc;
    RandomDoc(doc, rng, 6000 + round, shape);
    const TBitmap before = Composed(doc);
    doc.MergeLayerDown(false);
    ASSERT_TRUE(SameBitmaps(Composed(doc), before)) << "round " << round;
    EXPECT_EQ(doc.GetLayerCount(), 1);
  }
}

// A background hidden by its mask: what is merged into it must show as it did, so the
// mask opens where the merged layer shows and stays closed elsewhere.
TEST(Merging, MergeDownIntoAMaskedBackgroundOpensItsMaskUnderTheLayer) {
  for (bool direct : {false, true}) {
    TLayeredImage doc;
    doc.LoadFromBitmap(TBitmap(12, 10, pf24bit, RGB(0, 0, 255)), TBitmap(12, 10, pf24bit, clWhite), "#0");
    TBitmap mask(4, 4, pf24bit, clBlack);
    mask.FillRect(TRect{0, 0, 4, 1}, clWhite);  // the layer's top row is hidden
    doc.AddLayer(TBitmap(4, 4, pf24bit, RGB(200, 10, 10)), mask, "#1", 100, TPoint{3, 2});
    const TBitmap before = Composed(doc);
    ASSERT_EQ(before.GetPixel(4, 4), RGB(200, 10, 10));
    ASSERT_EQ(before.GetPixel(4, 2), clWhite);
    if (direct) {
      doc.MergeLayers(doc.Layers[1], doc.Layers[0], false, false);
      doc.Layers.Delete(1);
    } else {
      doc.MergeLayerDown(false);
    }
    ASSERT_EQ(doc.GetLayerCount(), 1);
    EXPECT_TRUE(SameBitmaps(Composed(doc), before));
    const TLayerItem& bg = doc.Layers[0];
    ASSERT_FALSE(bg.Mask.Empty());
    EXPECT_EQ(bg.Mask.GetPixel(4, 4), clBlack);  // under the merged pixels: shown
    EXPECT_EQ(bg.Mask.GetPixel(4, 2), clWhite);  // under the layer's hidden row: still hidden
    EXPECT_EQ(bg.Mask.GetPixel(0, 0), clWhite);  // away from the layer: still hidden
    EXPECT_EQ(bg.Image.GetPixel(4, 4), RGB(200, 10, 10));
  }
}

// Two upper layers merged into one: the merged coverage and the blend of the overlap
// are whole percents where composition blended twice, so the composed image stays
// within a few levels (7 at most over these documents); with all-or-nothing masks at
// full opacity, exactly.
TEST(Merging, MergeDownBetweenUpperLayers) {
  Rng rng(7);
  int worst = 0;
  for (uint32_t round = 0; round < 80; ++round) {
    DocShape shape;
    shape.w = rng.Int(1, 60);
    shape.h = rng.Int(1, 40);
    shape.layers = 2;
    shape.colourLayers = false;
    shape.hidden = false;
    shape.oddBackground = false;
    TLayeredImage doc;
    RandomDoc(doc, rng, 7000 + round, shape);
    const bool binary = round % 2 == 0;
    if (binary)
      for (int i = 1; i <= 2; ++i) {
        TLayerItem& l = doc.Layers[i];
        l.Opacity = 100;
        l.Shadow.Enabled = 0;
        l.Image.Transparent = false;
        for (int y = 0; y < l.Mask.Height(); ++y)
          for (int x = 0; x < l.Mask.Width(); ++x) {
            uint8_t* p = Px(l.Mask, x, y);
            p[0] = p[1] = p[2] = p[0] < 128 ? 0 : 255;
          }
      }
    const TBitmap before = Composed(doc);
    const bool crop = rng.Chance(50);
    doc.MergeLayerDown(crop);
    ASSERT_EQ(doc.GetLayerCount(), 2);
    const TLayerItem& merged = doc.Layers[1];
    EXPECT_EQ(merged.Opacity, 100);
    EXPECT_EQ(merged.LayerType, ltBitmap);
    EXPECT_FALSE(merged.Shadow.Enabled);
    EXPECT_EQ(merged.Mask.Width(), merged.Image.Width());
    const TBitmap after = Composed(doc);
    if (binary) {
      ASSERT_TRUE(SameBitmaps(after, before)) << "round " << round;
    }
    worst = std::max(worst, MaxDifference(after, before));
  }
  EXPECT_LE(worst, 8);
}

TEST(Merging, HalfOverFullGivesTheHalfBlendOpaque) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(10, 10, pf24bit, clWhite), TBitmap(), "#0");
  doc.AddLayer(TBitmap(4, 4, pf24bit, RGB(0, 100, 200)), TBitmap(4, 4, pf24bit, clBlack), "#1", 100, TPoint{2, 2});
  doc.AddLayer(TBitmap(4, 4, pf24bit, RGB(200, 100, 0)), TBitmap(4, 4, pf24bit, clBlack), "#2", 50, TPoint{2, 2});
  doc.MergeLayerDown(false);
  const TLayerItem& m = doc.Layers[1];
  EXPECT_EQ(m.Image.GetPixel(1, 1), RGB(100, 100, 100));
  EXPECT_EQ(m.Mask.GetPixel(1, 1), clBlack);
  EXPECT_EQ(m.Opacity, 100);
  EXPECT_EQ(m.Left, 2);
}

TEST(Merging, SingleLayersAndTheBackgroundAreLeftAlone) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(10, 10, 8), TBitmap(), "#0");
  const TBitmap bg = doc.Layers[0].Image.Clone();
  doc.FlattenAllLayers();
  doc.MergeVisibleLayers();
  doc.MergeLayerDown(false);
  EXPECT_EQ(doc.GetLayerCount(), 1);
  EXPECT_TRUE(SameBitmaps(doc.Layers[0].Image, bg));
  doc.AddColorLayer(clBlack, 50, "#1", false);
  doc.SetActiveLayerIndex(0);
  doc.MergeLayerDown(false);  // on the background: nothing
  EXPECT_EQ(doc.GetLayerCount(), 2);
}

TEST(Merging, NothingIsMergedIntoALayerThatIsNotABitmap) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(10, 10, 9), TBitmap(), "#0");
  doc.AddColorLayer(clBlack, 50, "#1", false);
  doc.AddLayer(RandomBitmap(4, 4, 10), TBitmap(), "#2", 100, TPoint{1, 1});
  doc.MergeLayerDown(false);
  EXPECT_EQ(doc.GetLayerCount(), 3);  // the upper layer is not lost
}

TEST(Merging, MergedLayersLeaveNoUndoStepBehind) {
  TLayeredImage doc;
  TUndoList h(12);
  doc.SetHistory(&h);
  doc.LoadFromBitmap(RandomBitmap(10, 10, 11), TBitmap(), "#0");
  doc.AddLayer(RandomBitmap(4, 4, 12), TBitmap(), "#1", 100, TPoint{1, 1});
  doc.AddLayer(RandomBitmap(4, 4, 13), TBitmap(), "#2", 100, TPoint{3, 1});
  TLayerItem* one = &doc.Layers[1];
  TLayerItem* two = &doc.Layers[2];
  h.AddUndoRectStep(*one, TRect{0, 0, 2, 2}, "P", uwImage);
  h.AddUndoRectStep(*two, TRect{0, 0, 2, 2}, "P", uwImage);
  h.AddUndoLayerStep(doc.Layers[0], uwImageAndMask, "Aplatir");
  SaveLayersForUndo(h, doc.Layers);
  doc.MergeLayerDown(false);
  EXPECT_EQ(h.GetUndoStepCount(), 2);
  doc.FlattenAllLayers();
  EXPECT_EQ(h.GetUndoStepCount(), 1);
  h.UndoAll();
  h.RedoAll();
}

TEST(Merging, ApplyLayerShadowBakesTheShadowUnderTheLayer) {
  Rng rng(14);
  int worst = 0;
  for (uint32_t round = 0; round < 40; ++round) {
    TLayeredImage doc;
    doc.LoadFromBitmap(RandomBitmap(50, 40, 14000 + round), TBitmap(), "#0");
    TBitmap img = RandomBitmap(rng.Int(3, 30), rng.Int(3, 25), 15000 + round);
    TBitmap mask = rng.Chance(60) ? RandomMask(img.Width(), img.Height(), 16000 + round) : TBitmap();
    doc.AddLayer(std::move(img), std::move(mask), "#1", 100, TPoint{rng.Int(-5, 40), rng.Int(-5, 30)});
    TLayerItem& l = doc.Layers[1];
    RandomShadow(rng, l);
    const TBitmap before = Composed(doc);
    doc.ApplyLayerShadow(l);
    EXPECT_FALSE(l.Shadow.Enabled);
    worst = std::max(worst, MaxDifference(Composed(doc), before));
  }
  EXPECT_LE(worst, 6);

  // the background's shadow stays inside it
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(20, 20, 17), RandomMask(20, 20, 18), "#0");
  RandomShadow(rng, doc.Layers[0]);
  doc.ApplyLayerShadow(doc.Layers[0]);
  EXPECT_EQ(doc.Layers[0].Left, 0);
  EXPECT_EQ(doc.Layers[0].Image.Width(), 20);
  EXPECT_EQ(doc.Layers[0].Mask.Height(), 20);
}

// --- Adding layers ------------------------------------------------------------------

TEST(AddingLayers, EachKindAppendsAtTheTopAndBecomesActive) {
  TLayeredImage doc;
  EXPECT_EQ(doc.InsertBottomLayer(TBitmap(2, 2), TBitmap(), "#9"), -1);  // no layers yet
  doc.LoadFromBitmap(RandomBitmap(20, 10, 20), TBitmap(), "#0");
  EXPECT_EQ(doc.ActiveIndex(), 0);
  EXPECT_EQ(doc.Layers[0].Opacity, 100);

  TBitmap indexed(5, 4, pf8bit, clWhite);
  TBitmap odd = RandomMask(3, 3, 21);  // not the image's size
  EXPECT_EQ(doc.AddLayer(indexed, odd, "#1", 150, TPoint{3, 4}), 1);
  const TLayerItem& l1 = doc.Layers[1];
  EXPECT_EQ(l1.Image.PixelFormat(), pf24bit);
  EXPECT_EQ(l1.Mask.Width(), 5);
  EXPECT_EQ(l1.Mask.Height(), 4);
  EXPECT_EQ(l1.Opacity, 100);
  EXPECT_EQ(l1.Left, 3);

  EXPECT_EQ(doc.AddColorLayer(RGB(1, 2, 3), 40, "#2", true), 2);
  EXPECT_EQ(doc.Layers[2].LayerType, ltColor);
  EXPECT_EQ(doc.Layers[2].ColorNegate, 1);
  TLayerAdjustment adj{10, 20, 30, 0, 1.2};
  EXPECT_EQ(doc.AddAdjustmentLayer(adj, 60, "#3"), 3);
  EXPECT_EQ(doc.Layers[3].Adjustment, adj);
  EXPECT_EQ(doc.ActiveIndex(), 3);

  doc.Layers[1].Visible = false;
  doc.Layers[1].Locked = true;
  EXPECT_EQ(doc.DuplicateLayer(1, "#4"), 4);
  EXPECT_EQ(doc.DuplicateLayer(9, "#5"), -1);
  const TLayerItem& dup = doc.Layers[4];
  EXPECT_EQ(dup.Name, "#4");
  EXPECT_TRUE(dup.Visible);
  EXPECT_FALSE(dup.Locked);
  EXPECT_TRUE(SameBitmaps(dup.Image, doc.Layers[1].Image));
  EXPECT_EQ(doc.ActiveIndex(), 4);

  TLayerItem* oldBackground = &doc.Layers[0];
  EXPECT_EQ(doc.InsertBottomLayer(RandomBitmap(30, 12, 22), TBitmap(), "#0"), 0);
  EXPECT_EQ(doc.Layers.IndexOf(oldBackground), 1);
  EXPECT_EQ(doc.ActiveIndex(), 0);
  EXPECT_EQ(doc.UpdatedComposition().Width(), 30);

  TLayeredImage copy;
  copy.ResolutionX = 1;
  doc.ResolutionX = 300;
  doc.Comment = "photo";
  doc.ColorCount = 256;
  copy.AssignImage(&doc);
  EXPECT_EQ(copy.GetLayerCount(), doc.GetLayerCount());
  EXPECT_EQ(copy.ResolutionX, 300);
  EXPECT_EQ(copy.Comment, "photo");
  EXPECT_EQ(copy.ColorCount, 256);
  EXPECT_EQ(copy.ActiveIndex(), 0);
  EXPECT_TRUE(SameBitmaps(copy.UpdatedComposition(), doc.UpdatedComposition()));
  copy.AssignImage(nullptr);
  EXPECT_EQ(copy.GetLayerCount(), 0);
  EXPECT_TRUE(copy.ComposedBitmap().Empty());
}

// --- Picking and coordinates --------------------------------------------------------------

TEST(Picking, ComposedOrActiveLayerColour) {
  TLayeredImage doc;
  EXPECT_EQ(doc.PickComposedColor(0, 0, true), clNone);
  doc.LoadFromBitmap(TBitmap(10, 10, pf24bit, RGB(10, 10, 10)), TBitmap(), "#0");
  doc.AddLayer(TBitmap(3, 3, pf24bit, RGB(200, 0, 0)), TBitmap(), "#1", 50, TPoint{4, 4});
  EXPECT_EQ(doc.PickComposedColor(10, 0, true), clNone);
  EXPECT_EQ(doc.PickComposedColor(-1, 0, true), clNone);
  EXPECT_EQ(doc.PickComposedColor(5, 5, true), RGB(105, 5, 5));
  EXPECT_EQ(doc.PickComposedColor(5, 5, false), RGB(200, 0, 0));  // through the layer's offset
  EXPECT_EQ(doc.PickComposedColor(1, 1, false), clNone);          // off the active layer
  doc.SetActiveLayerIndex(0);
  EXPECT_EQ(doc.PickComposedColor(1, 1, false), RGB(10, 10, 10));
}

TEST(Picking, LayerAtPointTakesTheTopmostShownLayer) {
  TLayeredImage doc;
  EXPECT_EQ(doc.LayerAtPoint(0, 0), nullptr);
  doc.LoadFromBitmap(TBitmap(20, 20), TBitmap(), "#0");
  TBitmap mask(5, 5, pf24bit, clBlack);
  mask.SetPixel(0, 0, clWhite);
  doc.AddLayer(TBitmap(5, 5), mask, "#1", 100, TPoint{2, 2});
  doc.AddColorLayer(clBlack, 50, "#2", false);  // never picked
  EXPECT_EQ(doc.LayerAtPoint(3, 3), &doc.Layers[1]);
  EXPECT_EQ(doc.LayerAtPoint(2, 2), &doc.Layers[1]);  // the mask counts only when asked
  EXPECT_EQ(doc.LayerAtPoint(2, 2, true), &doc.Layers[0]);
  EXPECT_EQ(doc.LayerAtPoint(25, 3, true), nullptr);
  int selected = -1;
  doc.OnLayerSelect = [&](TLayeredImage& d, TLayerItem& l) { selected = d.Layers.IndexOf(&l); };
  EXPECT_FALSE(doc.SelectLayerAtPoint(25, 3));
  EXPECT_TRUE(doc.SelectLayerAtPoint(4, 4, true));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(doc.ActiveIndex(), 1);
}

TEST(Coordinates, ImageAndLayerChain) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(40, 30), TBitmap(), "#0");
  EXPECT_EQ(doc.ImageToLayerPoint(TPoint{5, 6}), (TPoint{5, 6}));  // the background
  doc.AddLayer(TBitmap(10, 8), TBitmap(), "#1", 100, TPoint{7, -3});
  EXPECT_EQ(doc.ImageToLayerPoint(TPoint{5, 6}), (TPoint{-2, 9}));
  EXPECT_EQ(doc.LayerToImagePoint(TPoint{-2, 9}), (TPoint{5, 6}));
  EXPECT_EQ(doc.ImageRectToLayerRect(TRect{7, -3, 17, 5}), (TRect{0, 0, 10, 8}));
  EXPECT_EQ(doc.LayerRectToImageRect(TRect{0, 0, 10, 8}), (TRect{7, -3, 17, 5}));
  EXPECT_EQ(doc.GetActiveLayerBounds(), (TRect{7, -3, 17, 5}));
  EXPECT_TRUE(doc.IsPointOnActiveLayer(TPoint{7, 1}));
  EXPECT_FALSE(doc.IsPointOnActiveLayer(TPoint{1, 1}));
  doc.SetActiveLayerIndex(0);
  EXPECT_TRUE(doc.IsPointOnActiveLayer(TPoint{1, 1}));
  EXPECT_FALSE(doc.IsPointOnActiveLayer(TPoint{-1, 1}));  // off the image
  EXPECT_FALSE(doc.ContainsImagePoint(TPoint{40, 0}));
  EXPECT_FALSE(doc.BackgroundHasTransparency());
  doc.Layers[0].Image.Transparent = true;
  EXPECT_TRUE(doc.BackgroundHasTransparency());
  doc.Layers[0].Image.Transparent = false;
  doc.Layers[0].CreateDefaultMask();
  EXPECT_TRUE(doc.BackgroundHasTransparency());
}

TEST(MovingLayers, MoveToInvalidatesBothPlacesAndReports) {
  TLayeredImage doc;
  std::vector<TRect> repaints;
  doc.OnRepaint = [&](const TRect& r) { repaints.push_back(r); };
  doc.LoadFromBitmap(TBitmap(100, 100), TBitmap(), "#0");
  doc.AddLayer(TBitmap(10, 10), TBitmap(), "#1", 100, TPoint{5, 5});
  std::vector<int> stages;
  doc.OnLayerMove = [&](TLayeredImage&, TLayerMoveStage stage) { stages.push_back(stage); };
  doc.UpdatedComposition();
  repaints.clear();
  doc.MoveTo(40, 30);
  EXPECT_EQ(doc.Layers[1].Left, 40);
  EXPECT_EQ(doc.PendingRect(), (TRect{5, 5, 50, 40}));
  EXPECT_EQ(repaints, std::vector<TRect>{(TRect{5, 5, 50, 40})});
  EXPECT_EQ(stages, std::vector<int>{lmMoved});
  doc.SetActiveLayerDragging(true);
  doc.MoveTo(41, 30);
  EXPECT_EQ(stages.back(), lmDragging);
  EXPECT_TRUE(doc.IsActiveLayerMovable());
  doc.Layers[1].Locked = true;
  EXPECT_FALSE(doc.IsActiveLayerMovable());
  doc.SetActiveLayerIndex(0);
  doc.MoveTo(3, 3);  // the background stays at the origin
  EXPECT_EQ(doc.Layers[0].Left, 0);
}

TEST(MovingLayers, ADraggedLayerLeavesItsShadowOut) {
  TLayeredImage doc;
  doc.LoadFromBitmap(TBitmap(60, 60, pf24bit, clWhite), TBitmap(), "#0");
  doc.AddLayer(TBitmap(10, 10, pf24bit, clBlack), TBitmap(), "#1", 100, TPoint{10, 10});
  doc.Layers[1].Shadow.Enabled = 1;
  doc.Layers[1].Shadow.OffsetX = doc.Layers[1].Shadow.OffsetY = 5;
  doc.Layers[1].Shadow.Opacity = 100;
  doc.Layers[1].Shadow.Radius = 0;
  doc.InvalidateImage();
  EXPECT_NE(doc.UpdatedComposition().GetPixel(22, 22), clWhite);
  doc.SetActiveLayerDragging(true);
  EXPECT_EQ(doc.UpdatedComposition().GetPixel(22, 22), clWhite);
  doc.SetActiveLayerDragging(false);  // the shadow's reach is recomposed
  EXPECT_NE(doc.UpdatedComposition().GetPixel(22, 22), clWhite);
}
