#pragma once
// Random layers of every kind and a field-by-field comparison, for the layered file's
// tests.
#include <gtest/gtest.h>

#include <string>

#include "document/LayerItem.h"
#include "document/LayeredImage.h"
#include "document/TextData.h"
#include "support/TestImages.h"

namespace qm::test {

inline std::string RandomName(Rng& rng) {
  static const char* const kWords[] = {"#0", "#12", "Ciel", "Élève à l'été", "Calque", "", "Œuvre – №5", "x"};
  std::string s = kWords[rng.Int(0, 7)];
  if (rng.Chance(10)) s += std::string(size_t(rng.Int(1, 40)), 'n');
  return s;
}

inline std::unique_ptr<TTextData> RandomText(Rng& rng) {
  auto t = std::make_unique<TTextData>();
  t->Kind = uint8_t(rng.Int(0, 255));
  t->FontName = rng.Chance(50) ? "DejaVu Sans" : "Arial Narrow";
  t->FontSize = rng.Int(6, 200);
  t->TextColor = TColor(rng.Int(0, 0xFFFFFF));
  t->Alignment = rng.Int(0, 2);
  t->FontStyle = uint8_t(rng.Int(0, 15));
  t->Angle = rng.Int(-360, 360);
  t->Antialias = rng.Chance(50);
  t->Outline = rng.Chance(50);
  t->Opacity = rng.Int(0, 100);
  t->ShadowEnabled = rng.Chance(50);
  t->ShadowColor = TColor(rng.Int(0, 0xFFFFFF));
  t->ShadowOffsetX = rng.Int(-9, 9);
  t->ShadowOffsetY = rng.Int(-9, 9);
  t->ShadowOpacity = rng.Int(0, 100);
  t->ShadowRadius = rng.Int(0, 9);
  t->ShadowSpread = rng.Chance(50);
  t->OutlineColor = TColor(rng.Int(0, 0xFFFFFF));
  t->Blur = rng.Int(0, 5);
  t->Inverted = rng.Chance(50);
  t->Relief = rng.Chance(50);
  t->Textured = rng.Chance(50);
  t->TextureFile = rng.Chance(50) ? "" : "/home/anne/Motifs/toile à matelas.png";
  const int lines = rng.Int(0, 4);
  for (int i = 0; i < lines; ++i) t->Lines.push_back(i == 1 ? "" : "Bonne fête " + std::to_string(rng.Int(0, 99)));
  t->Extra1 = rng.Int(-1000, 1000);
  t->Extra2 = rng.Int(-1000, 1000);
  return t;
}

inline void RandomShadowRecord(Rng& rng, TLayerShadow& s) {
  s.Enabled = uint8_t(rng.Chance(50));
  s.Color = TColor(rng.Int(0, 0xFFFFFF));
  s.OffsetX = rng.Int(-12, 12);
  s.OffsetY = rng.Int(-12, 12);
  s.Opacity = rng.Int(0, 100);
  s.Radius = rng.Int(0, 6);
  s.Spread = uint8_t(rng.Chance(30));
  s.Reserved = rng.Chance(80) ? 0 : rng.Int(-5, 5);
}

// A random mask with three equal bytes per pixel, as the file gives masks back.
inline TBitmap GreyMask(int w, int h, uint32_t seed) {
  TBitmap m = RandomMask(w, h, seed);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = m.ScanLine(y);
    for (int x = 0; x < w; ++x) p[3 * x + 1] = p[3 * x + 2] = p[3 * x];
  }
  return m;
}

// A layer of the given kind with every field set at random (a bitmap layer with an
// image, maybe a mask and a second mask of another size).
inline std::unique_ptr<TLayerItem> RandomLayer(Rng& rng, uint8_t type, int maxW, int maxH, uint32_t seed) {
  auto l = std::make_unique<TLayerItem>();
  l->Name = RandomName(rng);
  l->Visible = rng.Chance(80);
  l->Locked = rng.Chance(20);
  if (rng.Chance(20)) l->Reserved = TRect{rng.Int(-9, 9), rng.Int(-9, 9), rng.Int(-9, 9), rng.Int(-9, 9)};
  l->LayerType = type;
  l->Color = TColor(rng.Int(0, 0xFFFFFF));
  l->ColorNegate = rng.Chance(30) ? rng.Int(1, 3) : 0;
  l->Left = rng.Int(-maxW / 2, maxW);
  l->Top = rng.Int(-maxH / 2, maxH);
  l->Opacity = uint8_t(rng.Int(0, 100));
  if (type == ltBitmap || (type == ltText && rng.Chance(30))) {
    l->Image = RandomBitmap(rng.Int(1, maxW), rng.Int(1, maxH), seed);
    if (rng.Chance(60)) l->Mask = GreyMask(l->Image.Width(), l->Image.Height(), seed + 1);
    if (rng.Chance(25)) {
      l->Image.Transparent = true;
      l->Image.TransparentColor = rng.Chance(50) ? clNone : l->Image.GetPixel(0, 0);
    }
    if (rng.Chance(30)) l->Mask2 = GreyMask(rng.Int(1, maxW), rng.Int(1, maxH), seed + 2);
  }
  l->Adjustment = TLayerAdjustment{rng.Int(-100, 100), rng.Int(-100, 100), rng.Int(-100, 100), rng.Int(-3, 3),
                                   rng.Int(10, 400) / 100.0};
  RandomShadowRecord(rng, l->Shadow);
  if (type == ltText) l->Data = RandomText(rng);
  return l;
}

// Every stored field, the payload's included (the identity is not stored).
inline ::testing::AssertionResult SameLayer(const TLayerItem& a, const TLayerItem& b) {
  auto fail = [](const char* what) { return ::testing::AssertionFailure() << "layers differ in " << what; };
  if (a.Name != b.Name) return fail("Name");
  if (a.Visible != b.Visible || a.Locked != b.Locked) return fail("flags");
  if (a.Reserved != b.Reserved) return fail("Reserved");
  if (a.LayerType != b.LayerType || a.Color != b.Color || a.ColorNegate != b.ColorNegate) return fail("type/colour");
  if (a.Left != b.Left || a.Top != b.Top || a.Opacity != b.Opacity) return fail("position/opacity");
  for (auto [x, y, what] : {std::tuple{&a.Image, &b.Image, "Image"}, std::tuple{&a.Mask, &b.Mask, "Mask"},
                            std::tuple{&a.Mask2, &b.Mask2, "Mask2"}}) {
    if (x->Empty() != y->Empty()) return fail(what);
    if (!x->Empty()) {
      if (auto r = SameBitmaps(*x, *y); !r) return r << " (" << what << ")";
    }
  }
  if (!a.Image.Empty() && (a.Image.Transparent != b.Image.Transparent ||
                           a.Image.TransparentColor != b.Image.TransparentColor))
    return fail("transparency");
  if (!(a.Adjustment == b.Adjustment)) return fail("Adjustment");
  if (!(a.Shadow == b.Shadow)) return fail("Shadow");
  if (bool(a.Data) != bool(b.Data)) return fail("Data presence");
  if (a.Data) {
    auto* ta = dynamic_cast<const TTextData*>(a.Data.get());
    auto* tb = dynamic_cast<const TTextData*>(b.Data.get());
    if (!ta || !tb || !(*ta == *tb)) return fail("Data");
  }
  return ::testing::AssertionSuccess();
}

// What the file keeps of a layer: bitmaps of bitmap layers only, the payload of text
// layers only.
inline void StripToStored(TLayerItem& l) {
  if (l.LayerType != ltBitmap) {
    l.Image = TBitmap();
    l.Mask = TBitmap();
    l.Mask2 = TBitmap();
  }
  if (l.LayerType != ltText) l.Data.reset();
}

}  // namespace qm::test
