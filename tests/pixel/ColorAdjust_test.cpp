#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Colors.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "support/ParamTables.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// The rect as every kernel sees it: ordered and cut to the bitmap.
TRect Clipped(const TBitmap& b, TRect r) {
  return IntersectRect(TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
                             std::max(r.Top, r.Bottom)},
                       TRect{0, 0, b.Width(), b.Height()});
}

int Clamp(int64_t v) { return int(std::clamp<int64_t>(v, 0, 255)); }

// Runs f(x, y, pixel) over the clipped rect, row by row.
template <class F>
void EachPixel(TBitmap& b, TRect r, F f) {
  r = Clipped(b, r);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) f(x, y, Px(b, x, y));
}

// Per byte, with the channel's index (0 blue, 1 green, 2 red).
template <class F>
void EachByte(TBitmap& b, TRect r, F f) {
  EachPixel(b, r, [&](int, int, uint8_t* p) {
    for (int k = 0; k < 3; ++k) p[k] = uint8_t(f(k, int(p[k])));
  });
}

uint8_t Lum(const uint8_t* p) { return uint8_t((29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8); }

void SetPx(uint8_t* p, TColor c) {
  p[0] = GetBValue(c);
  p[1] = GetGValue(c);
  p[2] = GetRValue(c);
}

TColor Hsv(int h, int s, int v) { return HSVToColor(h, s, v); }

// The plain rules, written as they read.
int LightenRule(int v, int p) { return Clamp(v + (p > 0 ? int64_t(255 - v) * p / 100 : int64_t(v) * p / 100)); }
int ContrastRule(int v, int p) { return Clamp(v + int64_t(v - 128) * p / 100); }
int GammaRule(int v, double g) {
  if (g == 0 || g == 1) return v;
  return Clamp(int64_t(std::trunc(255.0 * std::pow(v / 255.0, 1.0 / g))));
}

void HueReference(uint8_t* p, int hue) {
  int h, s, v, r, g, b;
  RGBToHSV(p[2], p[1], p[0], h, s, v);
  HSVToRGB(hue, s, v, r, g, b);
  p[0] = uint8_t(b), p[1] = uint8_t(g), p[2] = uint8_t(r);
}
int HueOf(const uint8_t* p) {
  int h, s, v;
  RGBToHSV(p[2], p[1], p[0], h, s, v);
  return h;
}

// The box blur as written down: every output from the unchanged picture, neighbours
// outside the rect replaced by the pixel itself.
void BoxBlurReference(TBitmap& bmp, TRect r) {
  r = Clipped(bmp, r);
  if (r.IsEmpty()) return;
  const TBitmap src = bmp.Clone();
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      for (int c = 0; c < 3; ++c) {
        int s = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            int yy = y + dy, xx = x + dx;
            if (yy < r.Top || yy >= r.Bottom) yy = y;
            if (xx < r.Left || xx >= r.Right) xx = x;
            s += Px(src, xx, yy)[c];
          }
        Px(bmp, x, y)[c] = uint8_t(s / 9);
      }
}

// The channel swap as its table reads: the old channels that become red, green, blue.
void SwapReference(TBitmap& b, TRect r, int order) {
  enum { R, G, B };
  static const int kNew[5][3] = {{R, B, G}, {G, R, B}, {G, B, R}, {B, R, G}, {B, G, R}};
  EachPixel(b, r, [&](int, int, uint8_t* p) {
    const int old[3] = {p[2], p[1], p[0]};  // red, green, blue
    p[2] = uint8_t(old[kNew[order][0]]);
    p[1] = uint8_t(old[kNew[order][1]]);
    p[0] = uint8_t(old[kNew[order][2]]);
  });
}

struct Case {
  std::string name;
  std::function<void(TBitmap&, TRect)> kernel, reference;
};

// Every in-place kernel of the family beside its plain reference.
std::vector<Case> Cases() {
  std::vector<Case> c;
  c.push_back({"LightenDarkenRect", [](TBitmap& b, TRect r) { LightenDarkenRect(b, 37, r); },
               [](TBitmap& b, TRect r) { EachByte(b, r, [](int, int v) { return LightenRule(v, 37); }); }});
  c.push_back({"LightenDarkenChannelsRect",
               [](TBitmap& b, TRect r) { LightenDarkenChannelsRect(b, -60, 0, 2000000000, r); },
               [](TBitmap& b, TRect r) {
                 const int p[3] = {2000000000, 0, -60};
                 EachByte(b, r, [&](int k, int v) { return LightenRule(v, p[k]); });
               }});
  c.push_back({"ContrastChannelsRect", [](TBitmap& b, TRect r) { ContrastChannelsRect(b, 45, -30, 7, r); },
               [](TBitmap& b, TRect r) {
                 const int p[3] = {7, -30, 45};
                 EachByte(b, r, [&](int k, int v) { return ContrastRule(v, p[k]); });
               }});
  c.push_back({"ContrastInRangeRect", [](TBitmap& b, TRect r) { ContrastInRangeRect(b, 80, 40, 200, 90, r); },
               [](TBitmap& b, TRect r) {
                 EachByte(b, r, [](int, int v) { return v >= 40 && v <= 200 ? Clamp(v + (v - 90) * 80 / 100) : v; });
               }});
  c.push_back({"TintRect", [](TBitmap& b, TRect r) { TintRect(b, RGB(200, 10, 90), -45, r); },
               [](TBitmap& b, TRect r) {
                 const int col[3] = {90, 10, 200};
                 EachByte(b, r, [&](int k, int v) { return Clamp(v + (col[k] - v) * -45 / 100); });
               }});
  c.push_back({"TintRectStripes", [](TBitmap& b, TRect r) { TintRectStripes(b, 3, 2, RGB(0, 255, 0), 60, r); },
               [](TBitmap& b, TRect r) {
                 const TRect cr = Clipped(b, r);
                 const int col[3] = {0, 255, 0};
                 EachPixel(b, r, [&](int, int y, uint8_t* p) {
                   const int k = y - cr.Top - 2;
                   if (k < 0 || k % 5 >= 3) return;
                   for (int j = 0; j < 3; ++j) p[j] = uint8_t(Clamp(p[j] + (col[j] - p[j]) * 60 / 100));
                 });
               }});
  c.push_back({"GammaChannelsRect", [](TBitmap& b, TRect r) { GammaChannelsRect(b, r, 2.2, 1, 0.45); },
               [](TBitmap& b, TRect r) {
                 const double g[3] = {0.45, 1, 2.2};
                 EachByte(b, r, [&](int k, int v) { return GammaRule(v, g[k]); });
               }});
  c.push_back({"PosterizeRect", [](TBitmap& b, TRect r) { PosterizeRect(b, 40, r); },
               [](TBitmap& b, TRect r) {
                 EachByte(b, r, [](int, int v) { return v < 40 ? 0 : v > 215 ? 255 : v / 40 * 40; });
               }});
  c.push_back({"InvertRect", [](TBitmap& b, TRect r) { InvertRect(b, r); },
               [](TBitmap& b, TRect r) { EachByte(b, r, [](int, int v) { return 255 - v; }); }});
  c.push_back({"SaturationChannelsRect", [](TBitmap& b, TRect r) { SaturationChannelsRect(b, 150, -40, 1000000, r); },
               [](TBitmap& b, TRect r) {
                 const int64_t p[3] = {1000000, -40, 150};
                 EachPixel(b, r, [&](int, int, uint8_t* px) {
                   const int L = Lum(px);
                   for (int k = 0; k < 3; ++k) px[k] = uint8_t(Clamp(px[k] + (px[k] - L) * p[k] / 100));
                 });
               }});
  c.push_back({"ThresholdRect", [](TBitmap& b, TRect r) { ThresholdRect(b, 100, RGB(1, 2, 3), clWindow, r); },
               [](TBitmap& b, TRect r) {
                 EachPixel(b, r, [](int, int, uint8_t* p) { SetPx(p, Lum(p) <= 100 ? RGB(1, 2, 3) : clWhite); });
               }});
  c.push_back({"GrayscaleRect", [](TBitmap& b, TRect r) { GrayscaleRect(b, r); },
               [](TBitmap& b, TRect r) { EachPixel(b, r, [](int, int, uint8_t* p) { p[0] = p[1] = p[2] = Lum(p); }); }});
  c.push_back({"ReplaceColorRect", [](TBitmap& b, TRect r) { ReplaceColorRect(b, RGB(128, 128, 128), RGB(9, 8, 7), 70, r); },
               [](TBitmap& b, TRect r) {
                 EachPixel(b, r, [](int, int, uint8_t* p) {
                   if (std::abs(p[0] - 128) <= 70 && std::abs(p[1] - 128) <= 70 && std::abs(p[2] - 128) <= 70)
                     SetPx(p, RGB(9, 8, 7));
                 });
               }});
  c.push_back({"ReplaceHueWithinToleranceRect",
               [](TBitmap& b, TRect r) { ReplaceHueWithinToleranceRect(b, RGB(100, 150, 120), RGB(10, 20, 200), 80, r); },
               [](TBitmap& b, TRect r) {
                 const uint8_t to[3] = {200, 20, 10};
                 EachPixel(b, r, [&](int, int, uint8_t* p) {
                   if (std::abs(p[0] - 120) <= 80 && std::abs(p[1] - 150) <= 80 && std::abs(p[2] - 100) <= 80)
                     HueReference(p, HueOf(to));
                 });
               }});
  c.push_back({"SetHueRect", [](TBitmap& b, TRect r) { SetHueRect(b, 77, r); },
               [](TBitmap& b, TRect r) { EachPixel(b, r, [](int, int, uint8_t* p) { HueReference(p, 77); }); }});
  c.push_back({"ShiftHueRect", [](TBitmap& b, TRect r) { ShiftHueRect(b, -100, r); },
               [](TBitmap& b, TRect r) {
                 EachPixel(b, r, [](int, int, uint8_t* p) { HueReference(p, (HueOf(p) + 260) % 360); });
               }});
  // The adjustment dialogs' operations: the kernels they stand for, one after the other.
  c.push_back({"AdjustBrightnessContrast",
               [](TBitmap& b, TRect r) { AdjustBrightnessContrast(b, {-55, 93, chMagenta}, r); },
               [](TBitmap& b, TRect r) {
                 // -55 and 93 at 80 percent: -44 and 74, on red and blue only
                 const int light[3] = {-44, 0, -44}, contrast[3] = {74, 0, 74};
                 EachByte(b, r, [&](int k, int v) { return ContrastRule(LightenRule(v, light[k]), contrast[k]); });
               }});
  c.push_back({"AdjustHueSaturation", [](TBitmap& b, TRect r) { AdjustHueSaturation(b, {-100, 60, chGreen}, r); },
               [](TBitmap& b, TRect r) {
                 EachPixel(b, r, [](int, int, uint8_t* p) {
                   HueReference(p, (HueOf(p) + 260) % 360);
                   const int L = Lum(p);
                   p[1] = uint8_t(Clamp(p[1] + (p[1] - L) * 60 / 100));
                 });
               }});
  c.push_back({"AdjustColorBalance", [](TBitmap& b, TRect r) { AdjustColorBalance(b, {100, -30, 7}, r); },
               [](TBitmap& b, TRect r) {
                 const int p[3] = {7, -30, 100};
                 EachByte(b, r, [&](int k, int v) { return LightenRule(v, p[k]); });
               }});
  c.push_back({"AdjustLevels", [](TBitmap& b, TRect r) { AdjustLevels(b, {60, 45, 200, -70}, r); },
               [](TBitmap& b, TRect r) {
                 EachByte(b, r, [](int, int v) {
                   if (v <= 60) v = Clamp(v + (v - 60) * 45 / 100);
                   return v >= 200 ? Clamp(v + (v - 200) * -70 / 100) : v;
                 });
               }});
  c.push_back({"AdjustGamma", [](TBitmap& b, TRect r) { AdjustGamma(b, {0.4, chYellow}, r); },
               [](TBitmap& b, TRect r) {
                 const double g[3] = {1, 0.4, 0.4};
                 EachByte(b, r, [&](int k, int v) { return GammaRule(v, g[k]); });
               }});
  for (int order = 0; order < kChannelOrderCount; ++order)
    c.push_back({"SwapChannelsRect" + std::to_string(order),
                 [order](TBitmap& b, TRect r) { SwapChannelsRect(b, order, r); },
                 [order](TBitmap& b, TRect r) { SwapReference(b, r, order); }});
  c.push_back({"MosaicRect", [](TBitmap& b, TRect r) { MosaicRect(b, 4, r); },
               [](TBitmap& b, TRect r) {
                 const TBitmap src = b.Clone();
                 EachPixel(b, r, [&](int x, int y, uint8_t* p) { std::memcpy(p, Px(src, x / 4 * 4, y / 4 * 4), 3); });
               }});
  for (int mode = 0; mode < 4; ++mode)
    c.push_back({"DirectionalSmoothRect" + std::to_string(mode),
                 [mode](TBitmap& b, TRect r) { DirectionalSmoothRect(b, mode, r); },
                 [mode](TBitmap& b, TRect r) {
                   const TRect cr = Clipped(b, r);
                   EachPixel(b, r, [&](int x, int y, uint8_t* p) {
                     const int rx = x + 1 < cr.Right ? x + 1 : std::max(x - 1, 0);
                     const int by = y + 1 < cr.Bottom ? y + 1 : std::max(y - 1, 0);
                     for (int k = 0; k < 3; ++k) {
                       const int right = Px(b, rx, y)[k], below = Px(b, x, by)[k], diag = Px(b, rx, by)[k];
                       const int s = mode == 0 ? p[k] + right + below + diag : p[k] + (mode == 1 ? right : mode == 2 ? below : diag);
                       p[k] = uint8_t(s / (mode == 0 ? 4 : 2));
                     }
                   });
                 }});
  c.push_back({"BoxBlur3x3Rect", [](TBitmap& b, TRect r) { BoxBlur3x3Rect(b, r); }, BoxBlurReference});
  c.push_back({"DitherBlackWhiteRect", [](TBitmap& b, TRect r) { DitherBlackWhiteRect(b, r); },
               [](TBitmap& b, TRect r) {
                 const TRect cr = Clipped(b, r);
                 std::vector<int> g(size_t(b.Width()) * b.Height());
                 auto G = [&](int x, int y) -> int& { return g[size_t(y) * b.Width() + x]; };
                 EachPixel(b, r, [&](int x, int y, uint8_t* p) { G(x, y) = Lum(p); });
                 EachPixel(b, r, [&](int x, int y, uint8_t* p) {
                   const int old = G(x, y), nw = old < 128 ? 0 : 255, e = old - nw;
                   p[0] = p[1] = p[2] = uint8_t(nw);
                   auto spread = [&](int xx, int yy, int num) {
                     if (xx >= cr.Left && xx < cr.Right && yy < cr.Bottom) G(xx, yy) = Clamp(G(xx, yy) + e * num / 16);
                   };
                   spread(x + 1, y, 7);
                   spread(x - 1, y + 1, 3);
                   spread(x, y + 1, 5);
                   spread(x + 1, y + 1, 1);
                 });
               }});
  c.push_back({"AddColorNoiseRect",
               [](TBitmap& b, TRect r) {
                 RandSeed(99);
                 AddColorNoiseRect(b, 41, r);
               },
               [](TBitmap& b, TRect r) {
                 RandSeed(99);
                 EachByte(b, r, [](int, int v) { return Clamp(v + Random(41) - 20); });
               }});
  c.push_back({"AddMonoNoiseRect",
               [](TBitmap& b, TRect r) {
                 RandSeed(5);
                 AddMonoNoiseRect(b, 30, r);
               },
               [](TBitmap& b, TRect r) {
                 RandSeed(5);
                 EachPixel(b, r, [](int, int, uint8_t* p) {
                   const int o = Random(30) - 15;
                   for (int k = 0; k < 3; ++k) p[k] = uint8_t(Clamp(p[k] + o));
                 });
               }});
  for (int mode = 0; mode < 4; ++mode)
    c.push_back({"SpreadRect" + std::to_string(mode),
                 [mode](TBitmap& b, TRect r) {
                   RandSeed(17);
                   SpreadRect(b, 7, mode, r);
                 },
                 [mode](TBitmap& b, TRect r) {
                   RandSeed(17);
                   const TBitmap src = b.Clone();
                   EachPixel(b, r, [&](int x, int y, uint8_t* p) {
                     int sx = x, sy = y;
                     if (mode == 0) {
                       sx = x + Random(7) - 3;
                       sy = y + Random(7) - 3;
                     } else if (mode == 1) {
                       sx = x + Random(7) - 3;
                     } else if (mode == 2) {
                       sy = y + Random(7) - 3;
                     } else {
                       sx = x + Random(7) - 3;
                       sy = y - (sx - x);
                     }
                     std::memcpy(p, Px(src, std::clamp(sx, 0, b.Width() - 1), std::clamp(sy, 0, b.Height() - 1)), 3);
                   });
                 }});
  return c;
}

class EveryKernel : public ::testing::TestWithParam<size_t> {};

}  // namespace

TEST_P(EveryKernel, MatchesItsReferenceOnRandomRectsAtAnyThreadCount) {
  const Case c = Cases()[GetParam()];
  Rng rng(uint32_t(GetParam()) + 11);
  for (int iter = 0; iter < 25; ++iter) {
    const int w = rng.Int(1, 60), h = rng.Int(1, 40);
    const TBitmap a = RandomBitmap(w, h, uint32_t(iter) * 7 + 1);
    const TRect r = RandomRect(rng, w, h);
    TBitmap expected = a.Clone();
    c.reference(expected, r);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap b = a.Clone();
      c.kernel(b, r);
      ASSERT_TRUE(SameBitmaps(b, expected)) << c.name << " iteration " << iter << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST_P(EveryKernel, LeavesACanaryBorderAndLargeBitmapsAlone) {
  const Case c = Cases()[GetParam()];
  // Large enough to be split over threads; the border outside the rect must not move.
  const TBitmap a = RandomBitmap(420, 330, 77);
  const TRect r{3, 2, 417, 327};
  TBitmap expected = a.Clone();
  c.reference(expected, r);
  SetEngineThreads(8);
  TBitmap b = a.Clone();
  c.kernel(b, r);
  SetEngineThreads(0);
  EXPECT_TRUE(SameOutside(a, b, r)) << c.name;
  EXPECT_TRUE(SameBitmaps(b, expected)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(ColorAdjust, EveryKernel, ::testing::Range<size_t>(0, Cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& i) { return Cases()[i.param].name; });

TEST(ColorAdjust, TablesGiveTheListedValues) {
  auto one = [](int v, auto kernel) {
    TBitmap b(1, 1, pf24bit, RGB(v, v, v));
    kernel(b);
    return int(Px(b, 0, 0)[0]);
  };
  for (int v : {0, 1, 100, 254, 255}) {
    EXPECT_EQ(one(v, [](TBitmap& b) { LightenDarkenRect(b, 100, UnboundedRect); }), 255);
    EXPECT_EQ(one(v, [](TBitmap& b) { LightenDarkenRect(b, -100, UnboundedRect); }), 0);
  }
  EXPECT_EQ(one(0, [](TBitmap& b) { LightenDarkenRect(b, 50, UnboundedRect); }), 127);
  EXPECT_EQ(one(200, [](TBitmap& b) { LightenDarkenRect(b, 50, UnboundedRect); }), 227);
  EXPECT_EQ(one(128, [](TBitmap& b) { ContrastChannelsRect(b, 100, 100, 100, UnboundedRect); }), 128);
  EXPECT_EQ(one(64, [](TBitmap& b) { ContrastChannelsRect(b, 100, 100, 100, UnboundedRect); }), 0);
  EXPECT_EQ(one(192, [](TBitmap& b) { ContrastRect(b, 100, UnboundedRect); }), 255);
  EXPECT_EQ(one(63, [](TBitmap& b) { PosterizeRect(b, 64, UnboundedRect); }), 0);
  EXPECT_EQ(one(64, [](TBitmap& b) { PosterizeRect(b, 64, UnboundedRect); }), 64);
  EXPECT_EQ(one(192, [](TBitmap& b) { PosterizeRect(b, 64, UnboundedRect); }), 255);
  EXPECT_EQ(one(191, [](TBitmap& b) { PosterizeRect(b, 64, UnboundedRect); }), 128);
  EXPECT_EQ(one(64, [](TBitmap& b) { GammaChannelsRect(b, UnboundedRect, 2, 0, 0); }), 64);  // blue byte
  TBitmap g(1, 1, pf24bit, RGB(64, 64, 64));
  GammaChannelsRect(g, UnboundedRect, 2, 1, 0);
  EXPECT_EQ(g.GetPixel(0, 0), RGB(127, 64, 64));  // gamma 1 and 0 keep their channel
}

TEST(ColorAdjust, NeutralAndOutOfRangeParametersChangeNothing) {
  const TBitmap a = RandomBitmap(23, 17, 3);
  const std::vector<std::function<void(TBitmap&)>> calls = {
      [](TBitmap& b) { LightenDarkenRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { LightenDarkenChannelsRect(b, 0, 0, 0, UnboundedRect); },
      [](TBitmap& b) { ContrastRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { SaturationChannelsRect(b, 0, 0, 0, UnboundedRect); },
      [](TBitmap& b) { ContrastInRangeRect(b, 50, 10, 10, 100, UnboundedRect); },
      [](TBitmap& b) { ContrastInRangeRect(b, 50, -1, 100, 50, UnboundedRect); },
      [](TBitmap& b) { ContrastInRangeRect(b, 50, 0, 256, 50, UnboundedRect); },
      [](TBitmap& b) { ContrastInRangeRect(b, 50, 0, 200, 256, UnboundedRect); },
      [](TBitmap& b) { TintRect(b, clBlack, 101, UnboundedRect); },
      [](TBitmap& b) { TintRectStripes(b, 0, 3, clBlack, 50, UnboundedRect); },   // used to loop forever
      [](TBitmap& b) { TintRectStripes(b, -4, 0, clBlack, 50, UnboundedRect); },
      [](TBitmap& b) { TintRectStripes(b, 4, -9, clBlack, 50, UnboundedRect); },  // would walk backwards
      [](TBitmap& b) { TintRectStripes(b, 4, 1, clBlack, 0, UnboundedRect); },
      [](TBitmap& b) { GammaChannelsRect(b, UnboundedRect, 1, 1, 1); },
      [](TBitmap& b) { GammaChannelsRect(b, UnboundedRect, 0, 0, 0); },
      [](TBitmap& b) { GammaChannelsRect(b, UnboundedRect, 0, 1, 0); },
      [](TBitmap& b) { GammaRect(b, UnboundedRect, -2); },
      [](TBitmap& b) { GammaRect(b, UnboundedRect, std::nan("")); },
      [](TBitmap& b) { PosterizeRect(b, 1, UnboundedRect); },
      [](TBitmap& b) { ThresholdRect(b, 0, clBlack, clWhite, UnboundedRect); },
      [](TBitmap& b) { ThresholdRect(b, 255, clBlack, clWhite, UnboundedRect); },
      [](TBitmap& b) { AddColorNoiseRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { AddMonoNoiseRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { ReplaceColorRect(b, clBlack, clWhite, -1, UnboundedRect); },
      [](TBitmap& b) { ReplaceHueWithinToleranceRect(b, clBlack, clWhite, -1, UnboundedRect); },
      [](TBitmap& b) { ShiftHueRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { SpreadRect(b, 1, 0, UnboundedRect); },
      [](TBitmap& b) { MosaicRect(b, 1, UnboundedRect); },
      [](TBitmap& b) { MosaicRect(b, 0, UnboundedRect); },
      [](TBitmap& b) { DirectionalSmoothRect(b, 4, UnboundedRect); },
      [](TBitmap& b) { GrayTintBitmap(b, clBlack, clWhite, 0); },
      [](TBitmap& b) { InvertRect(b, TRect{5, 5, 5, 9}); },
      [](TBitmap& b) { GrayscaleRect(b, TRect{30, 0, 40, 10}); },
      [](TBitmap& b) { SwapChannelsRect(b, -1, UnboundedRect); },
      [](TBitmap& b) { SwapChannelsRect(b, kChannelOrderCount, UnboundedRect); },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    TBitmap b = a.Clone();
    calls[i](b);
    EXPECT_TRUE(SameBitmaps(b, a)) << "call " << i;
  }
}

TEST(ColorAdjust, GreyscaleOfGreyIsTheIdentity) {
  // 256 greys, then the same picture through every hue kernel (a grey has no hue).
  TBitmap b(256, 1, pf24bit, clBlack);
  for (int v = 0; v < 256; ++v) Px(b, v, 0)[0] = Px(b, v, 0)[1] = Px(b, v, 0)[2] = uint8_t(v);
  const TBitmap grey = b.Clone();
  GrayscaleRect(b, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(b, grey));
  ShiftHueRect(b, 123, UnboundedRect);
  SetHueRect(b, 200, UnboundedRect);
  SaturationRect(b, 80, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(b, grey));
  // and greyscale settles after one pass
  TBitmap c = RandomBitmap(50, 20, 8);
  GrayscaleRect(c, UnboundedRect);
  const TBitmap once = c.Clone();
  GrayscaleRect(c, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(c, once));
  EXPECT_EQ(c.Width(), 50);
  EXPECT_EQ(Lum(Px(TBitmap(1, 1, pf24bit, clWhite), 0, 0)), 255);
}

TEST(ColorAdjust, HueKernelsAgreeWithTheHsvRoutinesOnEveryColour) {
  // Every 24-bit colour once.
  TBitmap all(4096, 4096, pf24bit, clBlack);
  for (int y = 0; y < 4096; ++y)
    for (int x = 0; x < 4096; ++x) {
      const uint32_t c = uint32_t(y) * 4096 + uint32_t(x);
      uint8_t* p = Px(all, x, y);
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
    }
  TBitmap b = all.Clone();
  ShiftHueRect(b, 77, UnboundedRect);
  for (int y = 0; y < 4096; ++y)
    for (int x = 0; x < 4096; ++x) {
      uint8_t e[3];
      std::memcpy(e, Px(all, x, y), 3);
      HueReference(e, (HueOf(e) + 77) % 360);
      ASSERT_EQ(std::memcmp(e, Px(b, x, y), 3), 0) << x << ", " << y;
    }
}

TEST(ColorAdjust, HuesWrapAroundTheCircle) {
  const TBitmap a = RandomBitmap(40, 30, 12);
  auto same = [&](auto k1, auto k2) {
    TBitmap b = a.Clone(), c = a.Clone();
    k1(b);
    k2(c);
    return SameBitmaps(b, c);
  };
  EXPECT_TRUE(same([](TBitmap& b) { SetHueRect(b, 400, UnboundedRect); },
                   [](TBitmap& b) { SetHueRect(b, 40, UnboundedRect); }));
  EXPECT_TRUE(same([](TBitmap& b) { SetHueRect(b, -370, UnboundedRect); },
                   [](TBitmap& b) { SetHueRect(b, 350, UnboundedRect); }));
  EXPECT_TRUE(same([](TBitmap& b) { ShiftHueRect(b, 750, UnboundedRect); },
                   [](TBitmap& b) { ShiftHueRect(b, 30, UnboundedRect); }));
  EXPECT_TRUE(same([](TBitmap& b) { ShiftHueRect(b, -390, UnboundedRect); },
                   [](TBitmap& b) { ShiftHueRect(b, 330, UnboundedRect); }));
  // A full turn still takes the round trip, but never turns a colour black.
  TBitmap b = a.Clone();
  SetHueRect(b, 360, UnboundedRect);
  int black = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) black += b.GetPixel(x, y) == clBlack;
  EXPECT_EQ(black, 0);
  TBitmap c = a.Clone();
  SetHueFromColorRect(c, Hsv(120, 255, 255), UnboundedRect);
  TBitmap d = a.Clone();
  SetHueRect(d, 120, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(c, d));
}

TEST(ColorAdjust, DitherGivesBlackAndWhiteOverTheWholeRect) {
  TBitmap b = RandomBitmap(37, 23, 4);
  const TBitmap a = b.Clone();
  const TRect r{2, 3, 35, 20};
  DitherBlackWhiteRect(b, r);
  EXPECT_TRUE(SameOutside(a, b, r));
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const TColor c = b.GetPixel(x, y);
      EXPECT_TRUE(c == clBlack || c == clWhite) << x << ", " << y;
    }
  // A two-column rect is thresholded too, and a pure green keeps no colour.
  TBitmap g(2, 2, pf24bit, RGB(0, 255, 0));
  DitherBlackWhiteRect(g, UnboundedRect);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_TRUE(g.GetPixel(x, y) == clBlack || g.GetPixel(x, y) == clWhite);
  // Mid grey comes out half white.
  TBitmap m(64, 64, pf24bit, RGB(128, 128, 128));
  DitherBlackWhiteRect(m, UnboundedRect);
  int white = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) white += m.GetPixel(x, y) == clWhite;
  EXPECT_NEAR(white, 2048, 64);
}

TEST(ColorAdjust, RandomKernelsRepeatFromTheSameSeed) {
  const TBitmap a = RandomBitmap(30, 20, 6);
  for (int k = 0; k < 3; ++k) {
    TBitmap b = a.Clone(), c = a.Clone();
    auto run = [k](TBitmap& x) {
      if (k == 0) AddColorNoiseRect(x, 50, UnboundedRect);
      else if (k == 1) AddMonoNoiseRect(x, 50, UnboundedRect);
      else SpreadRect(x, 9, 0, UnboundedRect);
    };
    RandSeed(2024);
    run(b);
    RandSeed(2024);
    run(c);
    EXPECT_TRUE(SameBitmaps(b, c));
    run(c);  // a second call draws new numbers
    EXPECT_FALSE(SameBitmaps(b, c));
  }
  // Vertical spread never moves a pixel sideways: every column keeps its colours.
  TBitmap s(20, 30, pf24bit, clBlack);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 30; ++y) s.SetPixel(x, y, RGB(x * 10, 0, 0));
  SpreadRect(s, 15, 2, UnboundedRect);
  for (int x = 0; x < 20; ++x)
    for (int y = 0; y < 30; ++y) ASSERT_EQ(s.GetPixel(x, y), RGB(x * 10, 0, 0));
  // A source of another size is refused.
  TBitmap t = a.Clone();
  SpreadPixels(t, TBitmap(5, 5), 9, 0, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(t, a));
  // Spread over threads, the generator ends where the draws one after the other leave it.
  for (int mode : {0, 3}) {
    TBitmap big = RandomBitmap(420, 330, 7);
    SetEngineThreads(8);
    RandSeed(5);
    SpreadRect(big, 9, mode, TRect{1, 2, 400, 329});
    const uint32_t after = GetRandSeed();
    SetEngineThreads(0);
    RandSeed(5);
    for (int i = 0; i < 399 * 327 * (mode == 0 ? 2 : 1); ++i) Random(9);
    EXPECT_EQ(GetRandSeed(), after) << mode;
  }
}

// The threshold in whole blocks of pixels as in the tail of a row, at levels across the
// range, against the luminance rule pixel by pixel.
TEST(ColorAdjust, ThresholdAtEveryKindOfLevel) {
  const TBitmap a = RandomBitmap(333, 9, 21);
  for (int level : {1, 77, 128, 129, 200, 254}) {
    TBitmap b = a.Clone();
    ThresholdRect(b, level, RGB(10, 20, 30), RGB(200, 210, 220), TRect{1, 0, 333, 9});
    for (int y = 0; y < 9; ++y)
      for (int x = 1; x < 333; ++x)
        ASSERT_EQ(b.GetPixel(x, y), Lum(Px(a, x, y)) <= level ? RGB(10, 20, 30) : RGB(200, 210, 220))
            << level << " " << x << "," << y;
  }
}

// The noise draws on several threads and leaves the generator where the same draws one
// after the other would: what comes next does not depend on the thread count either.
TEST(ColorAdjust, NoiseLeavesTheGeneratorAfterItsDraws) {
  for (int threads : {1, 8}) {
    SetEngineThreads(threads);
    for (bool mono : {false, true}) {
      TBitmap b = RandomBitmap(700, 300, 3);
      const TRect r{13, 7, 690, 299};
      RandSeed(77);
      if (mono) AddMonoNoiseRect(b, 40, r);
      else AddColorNoiseRect(b, 40, r);
      const int32_t next = Random(1 << 30);
      RandSeed(77);
      for (int64_t i = 0; i < int64_t(r.Width()) * r.Height() * (mono ? 1 : 3); ++i) Random(40);
      EXPECT_EQ(Random(1 << 30), next) << threads << " " << mono;
    }
  }
  SetEngineThreads(0);
}

TEST(ColorAdjust, MosaicBlocksStartAtTheBitmapOrigin) {
  TBitmap b = RandomBitmap(20, 20, 2);
  const TBitmap a = b.Clone();
  MosaicRect(b, 8, TRect{5, 5, 12, 12});
  for (int y = 5; y < 12; ++y)
    for (int x = 5; x < 12; ++x) EXPECT_EQ(b.GetPixel(x, y), a.GetPixel(x / 8 * 8, y / 8 * 8));
}

TEST(ColorAdjust, DirectionalSmoothAtTheBitmapEdgeUsesThePixelItself) {
  TBitmap b(5, 5, pf24bit, RGB(10, 10, 10));
  b.SetPixel(0, 0, RGB(30, 30, 30));
  b.SetPixel(1, 0, RGB(50, 50, 50));
  DirectionalSmoothRect(b, 2, TRect{0, 0, 5, 1});  // one row at the top: no row to read below or above
  EXPECT_EQ(b.GetPixel(0, 0), RGB(30, 30, 30));
  DirectionalSmoothRect(b, 1, TRect{0, 0, 1, 5});  // one column at the left
  EXPECT_EQ(b.GetPixel(0, 0), RGB(30, 30, 30));
  DirectionalSmoothRect(b, 1, TRect{0, 0, 2, 1});
  EXPECT_EQ(b.GetPixel(0, 0), RGB(40, 40, 40));
  EXPECT_EQ(b.GetPixel(1, 0), RGB(45, 45, 45));  // its "right" is the smoothed left pixel
}

TEST(ColorAdjust, GrayTintBitmapDrawsTheKeyInTheTint) {
  TBitmap b(3, 1, pf24bit, clBlack);
  b.SetPixel(0, 0, RGB(200, 0, 200));     // the key
  b.SetPixel(1, 0, RGB(205, 5, 193));     // within 7 of it
  b.SetPixel(2, 0, RGB(30, 60, 90));      // mean 60
  GrayTintBitmap(b, RGB(200, 0, 200), RGB(100, 150, 250), 150);  // percent above 100 counts as 100
  EXPECT_EQ(b.GetPixel(0, 0), RGB(100, 150, 250));
  EXPECT_EQ(b.GetPixel(1, 0), RGB(100, 150, 250));
  EXPECT_EQ(b.GetPixel(2, 0), RGB(100, 150, 250));
  TBitmap c(1, 1, pf24bit, RGB(30, 60, 90));
  GrayTintBitmap(c, clWhite, RGB(160, 0, 255), 50);
  EXPECT_EQ(c.GetPixel(0, 0), RGB(60 + 50, 60 - 30, 60 + 97));
}

TEST(ColorAdjust, MeasuresCountOverTheRect) {
  Rng rng(31);
  for (int iter = 0; iter < 30; ++iter) {
    const int w = rng.Int(1, 50), h = rng.Int(1, 40);
    const TBitmap b = RandomBitmap(w, h, uint32_t(iter));
    const TRect r = RandomRect(rng, w, h), cr = Clipped(b, r);
    const int low = rng.Int(-10, 200), high = rng.Int(0, 270);
    int64_t sum[3] = {}, cnt[3] = {}, classes[3] = {};
    for (int y = cr.Top; y < cr.Bottom; ++y)
      for (int x = cr.Left; x < cr.Right; ++x) {
        const uint8_t* p = Px(b, x, y);
        for (int k = 0; k < 3; ++k)
          if (p[k] >= low && p[k] <= high) sum[k] += p[k], ++cnt[k];
        const int L = Lum(p);
        ++classes[L < low ? 0 : L > high ? 2 : 1];
      }
    uint8_t out[3] = {1, 2, 3};
    AverageChannelsInRange(b, r, low, high, out[2], out[1], out[0]);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(out[k], cnt[k] ? uint8_t(sum[k] / cnt[k]) : uint8_t(k + 1));
    int64_t d = -1, m = -1, l = -1;
    CountLuminanceClasses(b, r, low, high, d, m, l);
    if (cr.IsEmpty()) {
      EXPECT_EQ(d, -1);
    } else {
      EXPECT_EQ(d, classes[0]);
      EXPECT_EQ(m, classes[1]);
      EXPECT_EQ(l, classes[2]);
    }
  }
  // 9 M white pixels sum beyond 32 bits.
  const TBitmap white(3000, 3000, pf24bit, clWhite);
  uint8_t r = 0, g = 0, bl = 0;
  AverageChannelsInRange(white, UnboundedRect, 0, 255, r, g, bl);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(bl, 255);
}

TEST(BoxBlur3x3Rect, MatchesTheReferenceOnRandomRectsAtAnyThreadCount) {
  auto reference = BoxBlurReference;
  Rng rng(7);
  for (int iter = 0; iter < 60; ++iter) {
    const int w = rng.Int(1, 70), h = rng.Int(1, 60);
    TBitmap a = RandomBitmap(w, h, uint32_t(iter));
    TRect r = RandomRect(rng, w, h);
    TBitmap expected = a.Clone();
    reference(expected, r);
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      TBitmap b = a.Clone();
      BoxBlur3x3Rect(b, r);
      ASSERT_TRUE(SameBitmaps(b, expected)) << "iteration " << iter << " threads " << threads;
    }
  }
  SetEngineThreads(0);
  TBitmap a = RandomBitmap(10050, 9, 3);  // wider than any fixed row buffer of old
  TBitmap expected = a.Clone();
  reference(expected, TRect{5, 1, 10049, 9});
  BoxBlur3x3Rect(a, TRect{5, 1, 10049, 9});
  EXPECT_TRUE(SameBitmaps(a, expected));
}

TEST(BoxBlur3x3Rect, PassesOfAGreyRectMatchTheReferencePassByPass) {
  // Grey rects go through one channel; a pixel with a coloured byte, or a colour
  // outside the rect only, decides which road: the bytes are the same either way.
  Rng rng(8);
  for (int iter = 0; iter < 24; ++iter) {
    const int w = rng.Int(1, 300), h = rng.Int(1, 60);
    TBitmap a(w, h, pf24bit, clWhite);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int v = rng.Chance(30) ? rng.Int(0, 1) * 255 : rng.Int(0, 255);
        Px(a, x, y)[0] = Px(a, x, y)[1] = Px(a, x, y)[2] = uint8_t(v);
      }
    if (iter % 3 == 1) Px(a, w / 2, h / 2)[1] ^= 1;
    const TRect r = iter % 4 == 0 ? UnboundedRect : RandomRect(rng, w, h);
    const int passes = iter % 5;
    TBitmap expected = a.Clone();
    for (int i = 0; i < passes; ++i) BoxBlurReference(expected, r);
    for (int threads : {1, 8}) {
      SetEngineThreads(threads);
      TBitmap b = a.Clone();
      BoxBlur3x3Passes(b, passes, r);
      ASSERT_TRUE(SameBitmaps(b, expected)) << "iteration " << iter << " threads " << threads;
    }
  }
  SetEngineThreads(0);
}

TEST(TintRect, MovesTowardTheColourByThePercent) {
  TBitmap b(4, 3, pf24bit, RGB(100, 50, 200));
  TintRect(b, RGB(255, 0, 0), 100, TRect{1, 1, 3, 2});
  EXPECT_EQ(b.GetPixel(1, 1), RGB(255, 0, 0));
  EXPECT_EQ(b.GetPixel(0, 1), RGB(100, 50, 200));
  TintRect(b, RGB(0, 0, 0), 50, TRect{0, 0, 1, 1});
  EXPECT_EQ(b.GetPixel(0, 0), RGB(50, 25, 100));
  TintRect(b, RGB(255, 255, 255), -50, TRect{3, 2, 4, 3});  // away from white
  EXPECT_EQ(b.GetPixel(3, 2), RGB(23, 0, 173));  // 100 - 77, 50 - 102, 200 - 27
}

// The dialogs' values as their operations read them.
TEST(ColorAdjust, AdjustmentOperationsAtTheirDialogsValues) {
  TBitmap grey(4, 1, pf24bit, RGB(100, 100, 100));
  // Brightness +100 passes 80 to the kernel.
  AdjustBrightnessContrast(grey, {100, 0, chAll}, UnboundedRect);
  EXPECT_EQ(int(Px(grey, 0, 0)[0]), 100 + (255 - 100) * 80 / 100);
  // +50 on "Cyan": green and blue lightened by 40 percent, red unchanged.
  TBitmap px(1, 1, pf24bit, RGB(100, 100, 100));
  AdjustBrightnessContrast(px, {50, 0, chCyan}, UnboundedRect);
  EXPECT_EQ(Pixel24ToColor(Px(px, 0, 0)), RGB(100, 162, 162));
  // Red +100 of the colour balance turns the red channel to 255 everywhere.
  TBitmap bmp = RandomBitmap(30, 20, 4);
  const TBitmap before = bmp.Clone();
  AdjustColorBalance(bmp, {100, 0, 0}, TRect{5, 5, 25, 15});
  EXPECT_TRUE(SameOutside(before, bmp, TRect{5, 5, 25, 15}));
  for (int y = 5; y < 15; ++y)
    for (int x = 5; x < 25; ++x) {
      EXPECT_EQ(Px(bmp, x, y)[2], 255);
      EXPECT_EQ(Px(bmp, x, y)[1], Px(before, x, y)[1]);
    }
  // A hue of +180 with saturation 0 is the hue shift alone.
  TBitmap a = RandomBitmap(20, 10, 5), b = a.Clone();
  AdjustHueSaturation(a, {180, 0, chRed}, UnboundedRect);
  ShiftHueRect(b, 180, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(a, b));
}

TEST(ColorAdjust, ParameterTablesHoldTogether) {
  CheckOperationKeepsToTable<TBrightnessContrastParams>(&AdjustBrightnessContrast);
  CheckOperationKeepsToTable<THueSaturationParams>(&AdjustHueSaturation);
  CheckOperationKeepsToTable<TColorBalanceParams>(&AdjustColorBalance);
  CheckOperationKeepsToTable<TLevelsParams>(&AdjustLevels);
  CheckOperationKeepsToTable<TGammaParams>(&AdjustGamma);
  CheckOperationKeepsToTable<TColorFilterParams>(&ApplyColorFilter);
  CheckOperationKeepsToTable<TTwoColorParams>(&ApplyTwoColorThreshold);
  CheckOperationKeepsToTable<TPosterizeParams>(&ApplyPosterize);
  CheckOperationKeepsToTable<TNoiseParams>(&AddNoise);
  CheckOperationKeepsToTable<TSwapChannelsParams>(&SwapChannels);
  EXPECT_TRUE(IsNeutral(TLevelsParams{10, 0, 240, 0}));  // the thresholds do not count
  EXPECT_FALSE(IsNeutral(TLevelsParams{100, 1, 150, 0}));
  EXPECT_TRUE(IsNeutral(THueSaturationParams{0, 0, chYellow}));  // the channel does not count
  EXPECT_FALSE(IsNeutral(THueSaturationParams{1, 0, chAll}));
}

// The replacement dialogs' operations are their kernels with the dialogs' values; a hue
// bar's column is its hue at full saturation and value.
TEST(ColorAdjust, ReplacementOperationsAtTheirDialogsValues) {
  const struct {
    int hue;
    TColor color;
  } hues[] = {{0, RGB(255, 0, 0)},   {60, RGB(255, 255, 0)}, {120, RGB(0, 255, 0)},
              {240, RGB(0, 0, 255)}, {480, RGB(0, 255, 0)},  {-120, RGB(0, 0, 255)}};
  for (auto h : hues) EXPECT_EQ(HueColor(h.hue), h.color) << h.hue;

  const TBitmap a = RandomBitmap(30, 20, 6);
  const TRect r{3, 2, 25, 18};
  // Tolerances reaching past 0 and 255, and the whole range, against the plain rule.
  for (auto [from, tolerance] : {std::pair{RGB(10, 250, 128), 20}, {RGB(0, 255, 3), 0}, {RGB(200, 9, 77), 255}}) {
    TBitmap ours = a.Clone(), plain = a.Clone();
    ReplaceColorRect(ours, from, RGB(1, 2, 3), tolerance, r);
    EachPixel(plain, r, [from, tolerance](int, int, uint8_t* p) {
      if (std::abs(p[0] - GetBValue(from)) <= tolerance && std::abs(p[1] - GetGValue(from)) <= tolerance &&
          std::abs(p[2] - GetRValue(from)) <= tolerance)
        SetPx(p, RGB(1, 2, 3));
    });
    EXPECT_TRUE(SameBitmaps(ours, plain)) << tolerance;
  }
  TBitmap b = a.Clone(), c = a.Clone();
  ReplaceColor(b, {RGB(10, 200, 30), clWhite, 90}, r);
  ReplaceColorRect(c, RGB(10, 200, 30), clWhite, 90, r);
  EXPECT_TRUE(SameBitmaps(b, c));
  EXPECT_FALSE(SameBitmaps(a, b));
  b = a.Clone();
  c = a.Clone();
  ReplaceHue(b, {RGB(0, 255, 255), 120, 150}, r);
  ReplaceHueWithinToleranceRect(c, RGB(0, 255, 255), RGB(0, 255, 0), 150, r);
  EXPECT_TRUE(SameBitmaps(b, c));
  EXPECT_FALSE(SameBitmaps(a, b));
  CheckOperationKeepsToTable<TReplaceColorParams>(&ReplaceColor);
  CheckOperationKeepsToTable<TReplaceHueParams>(&ReplaceHue);
}

// The hue variation's colourise is its four kernels in a row (in one pass of its own),
// its hue method SetHueFromColorRect; another method changes nothing.
TEST(ColorAdjust, HueVariationIsItsChainOfKernels) {
  Rng rng(37);
  for (int i = 0; i < 60; ++i) {
    const TBitmap a = RandomBitmap(rng.Int(1, 60), rng.Int(1, 40), 300 + i);
    const TRect r = RandomRect(rng, a.Width(), a.Height());
    const TColor color = i % 3 ? RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)) : HueColor(rng.Int(0, 359));
    SCOPED_TRACE(i);
    TBitmap fast = a.Clone(), chain = a.Clone();
    VaryHueRect(fast, color, hvColorize, r);
    GrayscaleRect(chain, r);
    TintRect(chain, color, 12, r);
    ContrastRect(chain, 17, r);
    SaturationRect(chain, 33, r);
    ASSERT_TRUE(SameBitmaps(fast, chain));
    fast = a.Clone();
    chain = a.Clone();
    VaryHueRect(fast, color, hvHue, r);
    SetHueFromColorRect(chain, color, r);
    ASSERT_TRUE(SameBitmaps(fast, chain));
  }
  TBitmap b = RandomBitmap(9, 9, 3);
  const TBitmap before = b.Clone();
  VaryHueRect(b, RGB(0, 255, 0), THueVariation(2), UnboundedRect);
  EXPECT_TRUE(SameBitmaps(b, before));
}

// Each order undone by its inverse: the exchanges by themselves, the two rotations by
// each other.
TEST(SwapChannelsRect, EachOrderIsUndoneByItsInverse) {
  const TBitmap a = RandomBitmap(31, 17, 12);
  const int inverse[kChannelOrderCount] = {coRBG, coGRB, coBRG, coGBR, coBGR};
  for (int order = 0; order < kChannelOrderCount; ++order) {
    TBitmap b = a.Clone();
    SwapChannelsRect(b, order, UnboundedRect);
    EXPECT_FALSE(SameBitmaps(a, b)) << order;
    SwapChannelsRect(b, inverse[order], UnboundedRect);
    EXPECT_TRUE(SameBitmaps(a, b)) << order;
  }
}
