#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "document/LayerItem.h"
#include "document/LayeredImage.h"
#include "document/Layers.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rotation.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

struct TextPayload : TLayerData {
  std::string text;
  void Assign(const TLayerData& source) override {
    if (auto* t = dynamic_cast<const TextPayload*>(&source)) text = t->text;
  }
  void SaveToStream(TStream&) const override {}
  void LoadFromStream(TStream&) override {}
};

// Installs a hook for the life of a test.
template <class F>
struct HookGuard {
  F& hook;
  explicit HookGuard(F& h, F value) : hook(h) { hook = std::move(value); }
  ~HookGuard() { hook = nullptr; }
};

}  // namespace

TEST(LayerItem, DefaultsAndIdentities) {
  TLayerItem a, b;
  EXPECT_GT(b.Id(), a.Id());
  EXPECT_TRUE(a.Visible);
  EXPECT_FALSE(a.Locked);
  EXPECT_EQ(a.LayerType, ltBitmap);
  EXPECT_EQ(a.Color, TColor(0xFFFFFF));
  EXPECT_EQ(a.Opacity, 0);
  EXPECT_EQ(a.Adjustment, TLayerAdjustment{});
  EXPECT_EQ(a.Adjustment.Gamma, 1.0);
  EXPECT_EQ(a.Shadow.OffsetX, 5);
  EXPECT_EQ(a.Shadow.OffsetY, 5);
  EXPECT_EQ(a.Shadow.Opacity, 70);
  EXPECT_EQ(a.Shadow.Radius, 2);
  EXPECT_FALSE(a.Shadow.Enabled);
  EXPECT_TRUE(a.Image.Empty() && a.Mask.Empty() && a.Mask2.Empty());
}

TEST(LayerItem, AssignCopiesEverythingButTheIdentity) {
  TLayerItem src;
  src.Name = "#4";
  src.Visible = false;
  src.Locked = true;
  src.Reserved = TRect{1, 2, 3, 4};
  src.LayerType = ltText;
  src.Color = RGB(1, 2, 3);
  src.ColorNegate = 1;
  src.Left = -7;
  src.Top = 9;
  src.Opacity = 55;
  src.Image = RandomBitmap(9, 7, 1);
  src.Mask = RandomMask(9, 7, 2);
  src.Mask2 = RandomMask(3, 3, 3);
  src.Adjustment = TLayerAdjustment{10, -20, 30, 7, 1.5};
  src.Shadow.Enabled = 1;
  src.Shadow.Radius = 6;
  src.Shadow.Reserved = 42;
  auto payload = std::make_unique<TextPayload>();
  payload->text = "Bonjour";
  src.Data = std::move(payload);

  TLayerItem copy;
  copy.Assign(src);  // no hook: the payload is not copied
  EXPECT_EQ(copy.Data, nullptr);
  HookGuard guard(CreateLayerData, std::function<void(TLayerItem&)>([](TLayerItem& l) {
                    if (!l.Data) l.Data = std::make_unique<TextPayload>();
                  }));
  copy.Assign(src);
  EXPECT_NE(copy.Id(), src.Id());
  EXPECT_EQ(copy.Name, src.Name);
  EXPECT_EQ(copy.Visible, src.Visible);
  EXPECT_EQ(copy.Locked, src.Locked);
  EXPECT_EQ(copy.Reserved, src.Reserved);
  EXPECT_EQ(copy.LayerType, src.LayerType);
  EXPECT_EQ(copy.Color, src.Color);
  EXPECT_EQ(copy.ColorNegate, src.ColorNegate);
  EXPECT_EQ(copy.Left, src.Left);
  EXPECT_EQ(copy.Top, src.Top);
  EXPECT_EQ(copy.Opacity, src.Opacity);
  EXPECT_TRUE(SameBitmaps(copy.Image, src.Image));
  EXPECT_TRUE(SameBitmaps(copy.Mask, src.Mask));
  EXPECT_TRUE(SameBitmaps(copy.Mask2, src.Mask2));
  EXPECT_EQ(copy.Adjustment, src.Adjustment);
  EXPECT_EQ(copy.Shadow, src.Shadow);
  ASSERT_NE(copy.Data, nullptr);
  EXPECT_EQ(static_cast<TextPayload&>(*copy.Data).text, "Bonjour");
}

TEST(LayerItem, DisplayNames) {
  EXPECT_EQ(StandardLayerDisplayName("#0", "Fond", "Calque %d"), "Fond");
  EXPECT_EQ(StandardLayerDisplayName("#3", "Fond", "Calque %d"), "Calque 3");
  EXPECT_EQ(StandardLayerDisplayName("#007", "Fond", "Calque %d"), "Calque 7");
  EXPECT_EQ(StandardLayerDisplayName("#1000", "Fond", "Calque %d"), "Calque 1000");
  EXPECT_EQ(StandardLayerDisplayName("#12a", "Fond", "Calque %d"), "#12a");
  EXPECT_EQ(StandardLayerDisplayName("#", "Fond", "Calque %d"), "#");
  EXPECT_EQ(StandardLayerDisplayName("Ciel", "Fond", "Calque %d"), "Ciel");

  TLayerItem l;
  l.Name = "#2";
  EXPECT_EQ(l.GetDisplayName(), "#2");  // no hook installed
  HookGuard guard(LayerDisplayName,
                  std::function<void(const TLayerItem&, std::string&)>([](const TLayerItem&, std::string& n) {
                    n = StandardLayerDisplayName(n, "Fond", "Calque %d");
                  }));
  EXPECT_EQ(l.GetDisplayName(), "Calque 2");
}

TEST(LayerItem, DefaultMaskAndTransparency) {
  TLayerItem l;
  l.Image = RandomBitmap(6, 4, 4);
  EXPECT_FALSE(l.IsTransparentAt(2, 2));  // no mask: shown
  EXPECT_TRUE(l.IsTransparentAt(-1, 0));  // outside
  EXPECT_TRUE(l.IsTransparentAt(6, 0));
  l.CreateDefaultMask();
  ASSERT_EQ(l.Mask.Width(), 6);
  ASSERT_EQ(l.Mask.Height(), 4);
  EXPECT_EQ(l.Mask.GetPixel(5, 3), clBlack);
  l.Mask.SetPixel(1, 1, clWhite);
  l.Mask.SetPixel(2, 1, RGB(254, 254, 254));
  EXPECT_TRUE(l.IsTransparentAt(1, 1));
  EXPECT_FALSE(l.IsTransparentAt(2, 1));
  l.CreateDefaultMask();  // an existing mask stays
  EXPECT_TRUE(l.IsTransparentAt(1, 1));

  for (uint8_t type : {ltAdjustment, ltColor}) {
    TLayerItem c;
    c.LayerType = type;
    c.Image = RandomBitmap(3, 3, 5);
    c.CreateDefaultMask();
    EXPECT_TRUE(c.Mask.Empty());
  }
}

TEST(LayerItem, FlipsAndHalfTurnChangeImageAndMaskNotThePosition) {
  TLayerItem l;
  l.Image = RandomBitmap(7, 5, 6);
  l.Mask = RandomMask(7, 5, 7);
  l.Left = 3;
  l.Top = 4;
  TBitmap img = l.Image.Clone(), mask = l.Mask.Clone();
  l.FlipHorizontal();
  FlipBitmapHorizontal(img);
  FlipBitmapHorizontal(mask);
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  l.FlipVertical();
  FlipBitmapVertical(img);
  FlipBitmapVertical(mask);
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  l.RotateHalf();
  RotateBitmap180(img);
  RotateBitmap180(mask);
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  EXPECT_EQ(l.Left, 3);
  EXPECT_EQ(l.Top, 4);
  l.Mask.Clear();
  l.FlipHorizontal();  // an empty mask stays empty
  EXPECT_TRUE(l.Mask.Empty());
  TBitmap before = l.Image.Clone();
  FlipRotateBitmap(l.Image, 5);
  FlipRotateBitmap(l.Image, -1);
  EXPECT_TRUE(SameBitmaps(l.Image, before));
}

TEST(LayerItem, CropToContentCutsTheWhiteBorderOfTheMask) {
  TLayerItem l;
  l.Image = RandomBitmap(10, 8, 8);
  l.Mask = TBitmap(10, 8, pf24bit, clWhite);
  l.Mask.FillRect(TRect{2, 3, 7, 5}, RGB(100, 100, 100));
  l.Left = 20;
  l.Top = 30;
  TBitmap img = l.Image.Clone();
  l.CropToContent();
  EXPECT_EQ(l.Left, 22);
  EXPECT_EQ(l.Top, 33);
  ASSERT_EQ(l.Image.Width(), 5);
  ASSERT_EQ(l.Image.Height(), 2);
  EXPECT_EQ(l.Mask.Width(), 5);
  EXPECT_EQ(l.Image.GetPixel(0, 0), img.GetPixel(2, 3));
  l.CropToContent();  // the whole mask is content now: nothing
  EXPECT_EQ(l.Left, 22);
  l.Mask.FillRect(UnboundedRect, clWhite);
  l.CropToContent();  // nothing left: nothing
  EXPECT_EQ(l.Image.Width(), 5);
}

TEST(LayerList, DeleteKeepsTheActiveIndexInsideTheList) {
  TLayeredImage doc;
  std::vector<int32_t> deleted;
  doc.OnLayerDeleting = [&](TLayeredImage&, TLayerItem& l) { deleted.push_back(l.Id()); };
  doc.LoadFromBitmap(RandomBitmap(5, 5, 9), TBitmap(), "#0");
  doc.AddColorLayer(clBlack, 50, "#1", false);
  doc.AddColorLayer(clWhite, 50, "#2", false);
  EXPECT_EQ(doc.ActiveIndex(), 2);
  const int32_t top = doc.Layers[2].Id();
  doc.Layers.Delete(2);  // the active top layer: the new top becomes active
  EXPECT_EQ(doc.ActiveIndex(), 1);
  EXPECT_EQ(deleted, std::vector<int32_t>{top});
  doc.SetActiveLayerIndex(0);
  doc.Layers.Delete(1);  // below the active one... it stays
  EXPECT_EQ(doc.ActiveIndex(), 0);
  doc.Layers.Delete(0);
  EXPECT_EQ(doc.ActiveIndex(), -1);
  EXPECT_EQ(doc.GetActiveLayer(), nullptr);
  doc.Layers.Delete(0);  // nothing left: nothing
  EXPECT_THROW(doc.Layers.GetItem(0), std::out_of_range);
  doc.SetActiveLayerIndex(3);  // ignored
  EXPECT_EQ(doc.ActiveIndex(), -1);
}

TEST(LayerList, MoveIndexOfClearAndAssign) {
  TLayeredImage doc;
  doc.LoadFromBitmap(RandomBitmap(5, 5, 10), TBitmap(), "#0");
  doc.AddColorLayer(clBlack, 50, "#1", false);
  doc.AddColorLayer(clWhite, 50, "#2", false);
  TLayerItem* two = &doc.Layers[2];
  doc.Layers.Move(2, 1);
  EXPECT_EQ(doc.Layers.IndexOf(two), 1);
  EXPECT_EQ(doc.ActiveIndex(), 2);  // not adjusted
  TLayerItem stranger;
  EXPECT_EQ(doc.Layers.IndexOf(&stranger), -1);
  doc.Layers.Move(0, 7);  // out of range: nothing
  EXPECT_EQ(doc.Layers.IndexOf(two), 1);

  TLayerList copy;
  copy.Assign(doc.Layers);
  ASSERT_EQ(copy.GetCount(), 3);
  EXPECT_EQ(copy[1].Name, "#2");
  EXPECT_NE(copy[1].Id(), two->Id());

  TLayeredImage other;
  other.Layers.Assign(doc.Layers);
  EXPECT_EQ(other.ActiveIndex(), 0);
  other.Layers.Clear();
  EXPECT_EQ(other.GetLayerCount(), 0);
  EXPECT_EQ(other.ActiveIndex(), -1);
}

// --- Turns and transformations -------------------------------------------------------

TEST(LayerItem, QuarterTurnsTurnImageAndMask) {
  TLayerItem l;
  l.Image = RandomBitmap(7, 4, 11);
  l.Mask = RandomMask(7, 4, 12);
  TBitmap img = l.Image.Clone(), mask = l.Mask.Clone();
  l.RotateQuarter();
  RotateBitmap90(img, true);
  RotateBitmap90(mask, true);
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  EXPECT_EQ(l.Image.Width(), 4);
  l.RotateQuarterReverse();
  RotateBitmap90(img, false);
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_EQ(l.Mask.Width(), 7);
}

TEST(LayerItem, NeutralTransformationsLeaveTheLayerAsItIs) {
  TLayerItem l;
  l.Image = RandomBitmap(30, 20, 13);
  l.Mask = RandomMask(30, 20, 14);
  l.Left = 5;
  l.Top = -3;
  TBitmap img = l.Image.Clone(), mask = l.Mask.Clone();
  l.ScaleBy(1.0, 1.0);
  l.ResizeTo(30, 20);
  l.ResizeTo(0, 20);  // refused
  l.ResizeTo(30, -4);
  l.ScaleBy(0.0, 1.0);
  l.ScaleBy(std::nan(""), 2.0);
  l.RotateBy(std::nan(""));
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  EXPECT_EQ(l.Left, 5);
  EXPECT_EQ(l.Top, -3);
  EXPECT_EQ(l.Transform, nullptr);

  // a plain translation only moves
  auto t = std::make_unique<TAffineTransformation>();
  t->SetSrcRect(GetBitmapRect(l.Image));
  t->Translate(12, 7);
  l.BeginTransform(std::move(t));
  l.ApplyTransform();
  EXPECT_TRUE(SameBitmaps(l.Image, img));
  EXPECT_EQ(l.Left, 12);
  EXPECT_EQ(l.Top, 7);
  EXPECT_EQ(l.Transform, nullptr);

  TLayerItem empty;
  empty.RotateBy(30);
  EXPECT_TRUE(empty.Image.Empty());
}

TEST(LayerItem, TrivialMaskIsDecidedWhenATransformationIsAttached) {
  TLayerItem l;
  l.Image = RandomBitmap(10, 10, 15);
  auto affine = [&] {
    auto t = std::make_unique<TAffineTransformation>();
    t->SetSrcRect(GetBitmapRect(l.Image));
    return t;
  };
  l.BeginTransform(affine());
  EXPECT_TRUE(l.TrivialMask);  // no mask
  l.CreateDefaultMask();
  l.BeginTransform(affine());
  EXPECT_TRUE(l.TrivialMask);  // all shown
  l.BeginTransform(std::make_unique<TProjectiveTransformation>());
  EXPECT_FALSE(l.TrivialMask);
  l.Mask.SetPixel(3, 3, RGB(1, 1, 1));
  l.BeginTransform(affine());
  EXPECT_FALSE(l.TrivialMask);
  l.EndTransform();
  EXPECT_EQ(l.Transform, nullptr);
}

TEST(LayerItem, UprightScalesResampleSmoothly) {
  TLayerItem l;
  l.Image = RandomBitmap(20, 10, 16);
  l.CreateDefaultMask();
  l.Left = 4;
  l.Top = 6;
  TBitmap expected = l.Image.Clone();
  ResizeLayerBitmap(expected, 40, 30, true);
  l.ScaleBy(2.0, 3.0);
  EXPECT_TRUE(SameBitmaps(l.Image, expected));
  ASSERT_EQ(l.Mask.Width(), 40);
  ASSERT_EQ(l.Mask.Height(), 30);
  EXPECT_TRUE(MaskRectEquals(l.Mask, 0, UnboundedRect));  // a trivial mask is made again
  EXPECT_EQ(l.Left, 4);
  EXPECT_EQ(l.Top, 6);

  // a mask with content is resampled like the image
  l.Mask = RandomMask(40, 30, 17);
  TBitmap mask = l.Mask.Clone();
  ResizeLayerBitmap(mask, 20, 15, true);
  l.ResizeTo(20, 15);
  EXPECT_TRUE(SameBitmaps(l.Mask, mask));
  EXPECT_EQ(l.Image.Width(), 20);
}

TEST(LayerItem, RotationMakesAMaskAndWhitensWhatItHides) {
  TLayerItem l;
  l.Image = TBitmap(40, 20, pf24bit, RGB(200, 30, 60));
  l.Left = 100;
  l.Top = 50;
  l.RotateBy(45);
  // the bounds of the turned rectangle: sqrt(2) * (40 + 20) / 2 on each side
  ASSERT_EQ(l.Image.Width(), l.Mask.Width());
  ASSERT_EQ(l.Image.Height(), l.Mask.Height());
  EXPECT_NEAR(l.Image.Width(), 42.4, 1.0);
  EXPECT_NEAR(l.Image.Height(), 42.4, 1.0);
  EXPECT_NEAR(l.Left, 100 + 20 - 21.2, 1.0);
  EXPECT_NEAR(l.Top, 50 + 10 - 21.2, 1.0);
  const int cx = l.Image.Width() / 2, cy = l.Image.Height() / 2;
  EXPECT_EQ(l.Mask.GetPixel(cx, cy), clBlack);       // inside the turned image
  EXPECT_EQ(l.Image.GetPixel(cx, cy), RGB(200, 30, 60));
  EXPECT_EQ(l.Mask.GetPixel(0, 0), clWhite);         // the corners are outside
  EXPECT_EQ(l.Mask.GetPixel(l.Mask.Width() - 1, l.Mask.Height() - 1), clWhite);
  for (int y = 0; y < l.Mask.Height(); ++y)
    for (int x = 0; x < l.Mask.Width(); ++x)
      if (l.Mask.ScanLine(y)[3 * x] == 255) {
        ASSERT_EQ(l.Image.GetPixel(x, y), clWhite);
      }
  // the edge spread keeps the image's colour up to its border: no white fringe inside
  for (int y = 0; y < l.Mask.Height(); ++y)
    for (int x = 0; x < l.Mask.Width(); ++x)
      if (l.Mask.ScanLine(y)[3 * x] < 255) {
        ASSERT_EQ(l.Image.GetPixel(x, y), RGB(200, 30, 60)) << x << "," << y;
      }
}

TEST(LayerItem, SkewsAndWideLayers) {
  TLayerItem l;
  l.Image = RandomBitmap(10020, 6, 18);
  l.SkewBy(0.5, 0.0);
  EXPECT_EQ(l.Image.Width(), 10023);
  EXPECT_EQ(l.Mask.Width(), 10023);
  EXPECT_EQ(l.Image.Height(), 6);
  l.RotateQuarter();
  EXPECT_EQ(l.Image.Height(), 10023);
}
