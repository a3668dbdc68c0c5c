// The transparency kernels against their plain meaning.
#include <gtest/gtest.h>

#include "pixel/Transparency.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

// "Aucun" gives the plain mask: white exactly where each channel is within the
// tolerance; every treatment keeps the mask grey and opaque.
TEST(Transparency, MaskOfOneColour) {
  const TBitmap source = RandomBitmap(50, 40, 4);
  const TColor c = source.GetPixel(10, 10);
  for (int effect = meNone; effect < kMaskEdgeCount; ++effect) {
    SCOPED_TRACE(effect);
    TBitmap mask;
    MakeTransparencyMask(mask, source, {c, 40, effect});
    ASSERT_EQ(mask.Width(), 50);
    EXPECT_FALSE(mask.Transparent);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) {
        const uint8_t* m = Px(mask, x, y);
        ASSERT_TRUE(m[0] == m[1] && m[1] == m[2]);
        if (effect != meNone) continue;
        const uint8_t* s = Px(source, x, y);
        const bool near = std::abs(s[2] - GetRValue(c)) <= 40 && std::abs(s[1] - GetGValue(c)) <= 40 &&
                          std::abs(s[0] - GetBValue(c)) <= 40;
        ASSERT_EQ(m[0], near ? 255 : 0) << x << "," << y;
      }
  }
}

// Tolerance 0 hides exactly the pixels of the colour, by the grey of the opacity.
TEST(Transparency, LayerColourHiddenThroughItsMask) {
  TBitmap image = RandomBitmap(30, 20, 8);
  const TColor c = RGB(10, 20, 30);
  image.SetPixel(3, 4, c);
  image.SetPixel(5, 4, RGB(11, 20, 30));
  for (auto [opacity, grey] : {std::pair{0, 255}, {40, 153}, {100, 0}}) {
    TBitmap mask(30, 20, pf24bit, clBlack);
    HideColorInMask(image, mask, {c, 0, opacity}, UnboundedRect);
    EXPECT_EQ(mask.GetPixel(3, 4), RGB(grey, grey, grey)) << opacity;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x)
        if (image.GetPixel(x, y) != c) ASSERT_EQ(mask.GetPixel(x, y), clBlack) << x << "," << y;
  }
}

// The colours near the chosen one take the target, which becomes the key.
TEST(Transparency, TransparentColourPullsNearColours) {
  TBitmap image = RandomBitmap(16, 16, 2);
  image.SetPixel(1, 1, RGB(100, 100, 100));
  image.SetPixel(2, 1, RGB(104, 98, 100));
  SetTransparentColor(image, RGB(100, 100, 100), RGB(1, 2, 3), 5, UnboundedRect);
  EXPECT_TRUE(image.Transparent);
  EXPECT_EQ(image.TransparentColor, RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(1, 1), RGB(1, 2, 3));
  EXPECT_EQ(image.GetPixel(2, 1), RGB(1, 2, 3));
}
