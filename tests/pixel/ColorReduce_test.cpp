#include "pixel/ColorReduce.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>

#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Palettes.h"
#include "platform/core/Parallel.h"
#include "support/TestImages.h"

using namespace qm;
using namespace qm::test;

namespace {

// --- Plain references, written from the description of each step -----------------

struct RefNode {
  bool leaf = false;
  uint64_t count = 0, r = 0, g = 0, b = 0;
  RefNode* next = nullptr;
  std::unique_ptr<RefNode> child[8];
};

struct RefOctree {
  int max, bits, leaves = 0;
  std::unique_ptr<RefNode> root;
  RefNode* lists[9] = {};
  RefOctree(int m, int b) : max(m), bits(b) {}

  std::unique_ptr<RefNode> Make(int level) {
    auto n = std::make_unique<RefNode>();
    if (level == bits) {
      n->leaf = true;
      ++leaves;
    } else {
      n->next = lists[level];
      lists[level] = n.get();
    }
    return n;
  }
  void Add(int r, int g, int b) {
    if (!root) root = Make(0);
    RefNode* n = root.get();
    for (int level = 0; !n->leaf; ++level) {
      int bit = 7 - level;
      int i = ((r >> bit) & 1) * 4 + ((g >> bit) & 1) * 2 + ((b >> bit) & 1);
      if (!n->child[i]) n->child[i] = Make(level + 1);
      n = n->child[i].get();
    }
    n->count++;
    n->r += r;
    n->g += g;
    n->b += b;
    while (leaves > max) {
      int level = bits - 1;
      while (level > 0 && !lists[level]) --level;
      RefNode* m = lists[level];
      if (!m) break;
      lists[level] = m->next;
      int k = 0;
      for (auto& c : m->child)
        if (c) {
          m->count += c->count;
          m->r += c->r;
          m->g += c->g;
          m->b += c->b;
          c.reset();
          ++k;
        }
      m->leaf = true;
      leaves += 1 - k;
    }
  }
  void Collect(const RefNode* n, TPalette& out) const {
    if (n->leaf) {
      out.push_back(n->count ? RGB(int(n->r / n->count), int(n->g / n->count), int(n->b / n->count)) : 0);
      return;
    }
    for (auto& c : n->child)
      if (c) Collect(c.get(), out);
  }
};

TPalette RefOctreePalette(const TBitmap& bmp, int max, int bits = 8) {
  RefOctree t(max, bits);
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const uint8_t* p = Px(bmp, x, y);
      t.Add(p[2], p[1], p[0]);
    }
  TPalette out;
  if (t.root) t.Collect(t.root.get(), out);
  return out;
}

// The cached nearest-colour search: one remembered answer per 15-bit cell.
struct RefLookup {
  TPalette pal;
  std::array<int, 32768> cache;
  static int Key(int r, int g, int b) { return (r >> 3) | ((g & 0xF8) << 2) | ((b & 0xF8) << 7); }
  explicit RefLookup(const TPalette& p) : pal(p) {
    cache.fill(-1);
    for (size_t i = 0; i < pal.size(); ++i) {
      int k = Key(GetRValue(pal[i]), GetGValue(pal[i]), GetBValue(pal[i]));
      if (cache[size_t(k)] < 0) cache[size_t(k)] = int(i);
    }
  }
  int operator()(int r, int g, int b) {
    int k = Key(r, g, b);
    if (cache[size_t(k)] >= 0) return cache[size_t(k)];
    int best = 0, bd = 1 << 30;
    for (size_t i = 0; i < pal.size(); ++i) {
      int d = std::abs(r - GetRValue(pal[i])) + std::abs(g - GetGValue(pal[i])) + std::abs(b - GetBValue(pal[i]));
      if (d < bd) {
        bd = d;
        best = int(i);
      }
    }
    return cache[size_t(k)] = best;
  }
};

// Serpentine mapping, nearest or Floyd-Steinberg, into a grid of indices.
template <class L>
std::vector<int> RefMap(const TBitmap& src, L lookup, const TPalette& pal, bool fs) {
  const int w = src.Width(), h = src.Height();
  std::vector<int> out(size_t(w) * h);
  // err[row parity][x + 1][channel R, G, B]
  std::vector<std::array<int, 3>> above(size_t(w) + 2), below(size_t(w) + 2);
  int dir = 1;
  for (int y = 0; y < h; ++y) {
    std::array<int, 3> carried{0, 0, 0};
    for (int k = 0; k < w; ++k) {
      int x = dir > 0 ? k : w - 1 - k;
      const uint8_t* p = Px(src, x, y);
      int v[3] = {p[2], p[1], p[0]};
      if (fs) {
        for (int c = 0; c < 3; ++c) v[c] = std::clamp(v[c] + (carried[size_t(c)] + above[size_t(x) + 1][size_t(c)] + 8) / 16, 0, 255);
      }
      int i = lookup(v[0], v[1], v[2]);
      out[size_t(y) * w + x] = i;
      if (fs) {
        int pc[3] = {GetRValue(pal[size_t(i)]), GetGValue(pal[size_t(i)]), GetBValue(pal[size_t(i)])};
        for (int c = 0; c < 3; ++c) {
          int e = v[c] - pc[c];
          carried[size_t(c)] = 7 * e;
          below[size_t(x - dir + 1)][size_t(c)] += 3 * e;
          below[size_t(x + 1)][size_t(c)] += 5 * e;
          below[size_t(x + dir + 1)][size_t(c)] += e;
        }
      }
    }
    above = below;
    for (auto& e : below) e = {0, 0, 0};
    dir = -dir;
  }
  return out;
}

std::set<TColor> ColorsOf(const TBitmap& b) {
  std::set<TColor> s;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) s.insert(b.GetPixel(x, y));
  return s;
}

// A picture with exactly n distinct colours.
TBitmap WithColors(int w, int h, int n, uint32_t seed) {
  Rng rng(seed);
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int k = (y * w + x) < n ? (y * w + x) : rng.Int(0, n - 1);
      b.SetPixel(x, y, RGB(k * 7 % 256, k * 13 % 256, k));
    }
  return b;
}

}  // namespace

TEST(ColorCount, EqualsASetBasedCountAtAnyThreadCount) {
  for (uint32_t seed : {1u, 2u}) {
    TBitmap b = RandomBitmap(400, 300, seed);
    const int expected = int(ColorsOf(b).size());
    for (int threads : {1, 3, 8}) {
      SetEngineThreads(threads);
      EXPECT_EQ(CountBitmapColors(b), expected);
    }
  }
  SetEngineThreads(0);
  EXPECT_EQ(CountBitmapColors(WithColors(50, 40, 37, 3)), 37);
  EXPECT_EQ(CountBitmapColors(TBitmap(5, 5, pf24bit, RGB(1, 2, 3))), 1);
  EXPECT_EQ(CountBitmapColors(TBitmap(5, 5, pf8bit)), 0);
  EXPECT_EQ(CountBitmapColors(TBitmap()), 0);
}

TEST(PaletteHelpers, FormatCountsAndEntryAccess) {
  EXPECT_EQ(GetPixelFormatColorCount(pf1bit), 2);
  EXPECT_EQ(GetPixelFormatColorCount(pf4bit), 16);
  EXPECT_EQ(GetPixelFormatColorCount(pf8bit), 256);
  EXPECT_EQ(GetPixelFormatColorCount(pf24bit), 16777216);
  TPalette p(256, RGB(1, 2, 3));
  EXPECT_EQ(GetPaletteColor(&p, 255), RGB(1, 2, 3));
  EXPECT_EQ(GetPaletteColor(&p, 256), clNone);
  EXPECT_EQ(GetPaletteColor(&p, -1), clNone);
  EXPECT_EQ(GetPaletteColor(nullptr, 0), clNone);
  EXPECT_TRUE(SetPaletteColor(&p, 3, RGB(9, 9, 9)));
  EXPECT_FALSE(SetPaletteColor(&p, 256, 0));
  EXPECT_EQ(p[3], RGB(9, 9, 9));
  TPalette q{RGB(5, 5, 5)};
  EXPECT_TRUE(ResizePalette(q, 3));
  EXPECT_EQ(q, (TPalette{RGB(5, 5, 5), 0, 0}));
  EXPECT_FALSE(ResizePalette(q, 257));
  EXPECT_FALSE(ResizePalette(q, 0));
}

TEST(FixedPalettes, WebGreyAndHalftoneShapes) {
  ASSERT_EQ(WebPalette().size(), 216u);
  EXPECT_EQ(WebPalette()[86], RGB(102, 102, 102));
  EXPECT_EQ(WebPalette()[36 * 5], RGB(255, 0, 0));
  EXPECT_EQ(WindowsGrayPalette(), (TPalette{RGB(0, 0, 0), RGB(128, 128, 128), RGB(192, 192, 192), RGB(255, 255, 255)}));
  EXPECT_EQ(HalftonePalette().size(), 256u);
}

TEST(Lookups, WebMonochromeAndFastCache) {
  TNetscapeColorLookup web;
  // Each channel goes to its nearest level: 128 is nearer 153 than 102, 48 nearer 51
  // than 0.
  EXPECT_EQ(web.Lookup(128, 128, 128), 129);
  EXPECT_EQ(web.Palette()[129], RGB(153, 153, 153));
  EXPECT_EQ(web.Lookup(127, 127, 127), 86);
  EXPECT_EQ(web.Lookup(48, 0, 0), 36);
  EXPECT_EQ(web.Lookup(25, 26, 255), 0 * 36 + 6 * 1 + 5);
  TMonochromeLookup mono;
  EXPECT_EQ(mono.Lookup(127, 127, 127), 0);  // 32512 is below 32513
  EXPECT_EQ(mono.Lookup(128, 128, 128), 1);

  // A cell is decided by the first colour that reaches it.
  TPalette pal{RGB(0, 0, 0), RGB(10, 0, 0), RGB(200, 200, 200)};
  TFastColorLookup fast(pal);
  EXPECT_EQ(fast.Lookup(10, 0, 0), 1);  // its own cell (8..15)
  EXPECT_EQ(fast.Lookup(15, 0, 0), 1);
  EXPECT_EQ(fast.Lookup(23, 1, 1), 1);  // cell 16..23: nearest is 10
  EXPECT_EQ(fast.Lookup(16, 0, 0), 1);
  EXPECT_EQ(fast.Lookup(5, 5, 5), 0);
  EXPECT_EQ(fast.Lookup(199, 199, 199), 2);

  // Against the reference on random colours, in the same order.
  Rng rng(5);
  TPalette rp;
  for (int i = 0; i < 40; ++i) rp.push_back(RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)));
  TFastColorLookup a(rp);
  RefLookup b(rp);
  for (int i = 0; i < 20000; ++i) {
    int r = rng.Int(0, 255), g = rng.Int(0, 255), bl = rng.Int(0, 255);
    ASSERT_EQ(a.Lookup(uint8_t(r), uint8_t(g), uint8_t(bl)), b(r, g, bl));
  }
}

TEST(Octree, MatchesTheReferenceTree) {
  for (int max : {1, 2, 7, 16, 100, 256}) {
    TBitmap b = RandomBitmap(61, 37, uint32_t(max));
    TColorQuantizer q(max, 8);
    q.ProcessImage(b);
    TPalette expected = RefOctreePalette(b, max);
    EXPECT_EQ(q.GetPalette(), expected) << max;
    EXPECT_LE(int(expected.size()), max);
  }
  // A shallower tree, and a picture with fewer colours than leaves allowed.
  TBitmap b = RandomBitmap(40, 40, 9);
  TColorQuantizer q(50, 5);
  q.ProcessImage(b);
  EXPECT_EQ(q.GetPalette(), RefOctreePalette(b, 50, 5));
  TBitmap few = WithColors(20, 20, 12, 4);
  EXPECT_EQ(CreateOptimizedPalette(few, 256, 8, false).size(), 12u);
}

TEST(Octree, WindowsFlagKeepsTheReservedColours) {
  TBitmap b = RandomBitmap(80, 60, 11);
  TPalette p = CreateOptimizedPalette(b, 254, 8, true);
  ASSERT_EQ(p.size(), 256u);
  const auto& sys = Windows20Palette();
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(p[size_t(i)], sys[size_t(i)]);
    EXPECT_EQ(p[size_t(246 + i)], sys[size_t(10 + i)]);
  }
  TPalette oct = RefOctreePalette(b, 236);
  for (size_t i = 0; i < oct.size(); ++i) EXPECT_EQ(p[10 + i], oct[i]);
}

TEST(ReduceColors, MatchesTheReferenceMappingForEveryMethod) {
  Rng rng(21);
  TPalette given;
  for (int i = 0; i < 30; ++i) given.push_back(RGB(rng.Int(0, 255), rng.Int(0, 255), rng.Int(0, 255)));
  for (int iter = 0; iter < 16; ++iter) {
    TBitmap src = RandomBitmap(rng.Int(1, 57), rng.Int(1, 31), uint32_t(100 + iter));
    const bool fs = iter % 2 == 1;
    const TReductionMethod methods[] = {rmWindows20, rmWindows256, rmWindowsGray, rmMonochrome,
                                        rmNetscape, rmQuantize, rmPalette};
    for (TReductionMethod m : methods) {
      TBitmap out = ReduceColors(src, m, fs, 5, &given);
      ASSERT_EQ(out.PixelFormat(), pf8bit);
      TPalette pal;
      std::vector<int> expected;
      if (m == rmMonochrome) {
        pal = MonochromePalette();
        expected = RefMap(src, [](int r, int g, int b) { return 77 * r + 150 * g + 29 * b < 32513 ? 0 : 1; }, pal, fs);
      } else if (m == rmNetscape) {
        pal = WebPalette();
        expected = RefMap(src, [](int r, int g, int b) { return 36 * ((r + 25) / 51) + 6 * ((g + 25) / 51) + (b + 25) / 51; }, pal, fs);
      } else {
        pal = m == rmWindows20 ? Windows20Palette() : m == rmWindows256 ? HalftonePalette()
            : m == rmWindowsGray ? WindowsGrayPalette() : m == rmQuantize ? RefOctreePalette(src, 32) : given;
        expected = RefMap(src, RefLookup(pal), pal, fs);
      }
      ASSERT_EQ(out.Palette(), pal) << m;
      for (int y = 0; y < src.Height(); ++y)
        for (int x = 0; x < src.Width(); ++x)
          ASSERT_EQ(int(out.GetPixelIndex(x, y)), expected[size_t(y) * src.Width() + x])
              << "method " << m << " dither " << fs << " at " << x << "," << y;
    }
  }
  TBitmap src = RandomBitmap(9, 9, 1);
  TBitmap none = ReduceColors(src, rmNone, false, 8);
  EXPECT_TRUE(SameBitmaps(none, src));
  EXPECT_EQ(ReduceColors(src, rmPalette, false, 8, nullptr).PixelFormat(), pf24bit);
}

TEST(ReduceBitmapColors, ReducesToAtMostNColoursAllFromThePalette) {
  TBitmap photo = RandomBitmap(160, 120, 3);
  for (int n : {3, 8, 16, 100, 128, 200, 256}) {
    for (int options : {0, rcDither, rcKeepTransparentEntries, rcKeepTransparentEntries | rcDither}) {
      TBitmap b = photo.Clone();
      ReduceBitmapColors(b, n, options);
      const int limit = (options & rcKeepTransparentEntries) ? std::min(n, 254) : n;
      EXPECT_LE(CountBitmapColors(b), limit) << n << " " << options;
      EXPECT_EQ(b.PixelFormat(), pf24bit);
      // every colour is one of the octree palette
      TPalette pal = RefOctreePalette(photo, limit);
      std::set<TColor> allowed(pal.begin(), pal.end());
      for (TColor c : ColorsOf(b)) ASSERT_TRUE(allowed.count(c)) << n;
    }
  }
}

TEST(ReduceBitmapColors, ChoosesTheMethodByCountAndOptions) {
  // 2 colours: black and white whatever the flags
  TBitmap b = RandomBitmap(30, 20, 5);
  ReduceBitmapColors(b, 2, rcWeb | rcWindows20 | rcGivenPalette);
  for (TColor c : ColorsOf(b)) EXPECT_TRUE(c == RGB(0, 0, 0) || c == RGB(255, 255, 255));

  // no more colours than asked for: unchanged
  TBitmap hundred = WithColors(40, 30, 100, 6);
  TBitmap ref = hundred.Clone();
  ReduceBitmapColors(hundred, 128, 0);
  EXPECT_TRUE(SameBitmaps(hundred, ref));
  ReduceBitmapColors(hundred, 100, 0);
  EXPECT_TRUE(SameBitmaps(hundred, ref));
  ReduceBitmapColors(hundred, 99, 0);
  EXPECT_LE(CountBitmapColors(hundred), 99);

  // 255 colours with room kept for transparency: reduced to 254
  TBitmap c255 = WithColors(40, 30, 255, 7);
  ReduceBitmapColors(c255, 255, rcKeepTransparentEntries);
  EXPECT_LE(CountBitmapColors(c255), 254);
  EXPECT_GT(CountBitmapColors(c255), 200);
  TBitmap c256 = WithColors(40, 30, 256, 7);
  TBitmap c256ref = c256.Clone();
  ReduceBitmapColors(c256, 256, 0);
  EXPECT_TRUE(SameBitmaps(c256, c256ref));

  // an indexed bitmap is counted by its colours: 256 shown, 16 asked for
  TBitmap indexed = RandomBitmap(40, 30, 15);
  indexed.SetPixelFormat(pf8bit);
  ReduceBitmapColors(indexed, 16, 0);
  EXPECT_EQ(indexed.PixelFormat(), pf24bit);
  EXPECT_LE(CountBitmapColors(indexed), 16);
  TBitmap small(4, 4, pf8bit);
  ReduceBitmapColors(small, 16, 0);  // one colour: left as it is
  EXPECT_EQ(small.PixelFormat(), pf8bit);

  // fixed palettes
  TBitmap grey(3, 1, pf24bit, RGB(128, 128, 128));
  ReduceBitmapColors(grey, 216, rcWeb);
  EXPECT_EQ(grey.GetPixel(0, 0), RGB(153, 153, 153));
  TBitmap w = RandomBitmap(30, 20, 8);
  ReduceBitmapColors(w, 20, rcWindows20 | rcDither);
  const auto& sys = Windows20Palette();
  for (TColor c : ColorsOf(w)) EXPECT_NE(std::find(sys.begin(), sys.end(), c), sys.end());
  TBitmap g = RandomBitmap(30, 20, 9);
  ReduceBitmapColors(g, 4, rcWindowsGray);
  for (TColor c : ColorsOf(g)) EXPECT_EQ(GetRValue(c), GetBValue(c));

  // a caller's palette, and the same with room kept (replaced by an optimised one)
  TPalette given{RGB(255, 0, 0), RGB(0, 0, 255)};
  TBitmap p = RandomBitmap(30, 20, 10);
  ReduceBitmapColors(p, 16, rcGivenPalette, &given);
  for (TColor c : ColorsOf(p)) EXPECT_TRUE(c == given[0] || c == given[1]);
  TBitmap pk = RandomBitmap(30, 20, 10);
  ReduceBitmapColors(pk, 256, rcGivenPalette | rcKeepTransparentEntries, &given);
  EXPECT_GT(CountBitmapColors(pk), 2);
  EXPECT_LE(CountBitmapColors(pk), 254);
  TBitmap h = RandomBitmap(60, 50, 12);
  ReduceBitmapColors(h, 256, rcWindows256 | rcKeepTransparentEntries);
  EXPECT_LE(CountBitmapColors(h), 254);

  // out of range
  TBitmap o = RandomBitmap(10, 10, 13);
  TBitmap oref = o.Clone();
  ReduceBitmapColors(o, 0, 0);
  ReduceBitmapColors(o, 257, 0);
  ReduceBitmapColors(o, 16, rcGivenPalette, nullptr);
  EXPECT_TRUE(SameBitmaps(o, oref));
  TBitmap empty;
  ReduceBitmapColors(empty, 16, 0);
  EXPECT_TRUE(empty.Empty());
}

TEST(ReduceBitmapColors, InPlaceResultEqualsThe8BitMapping) {
  TBitmap photo = RandomBitmap(90, 70, 14);
  for (int options : {0, rcDither}) {
    TBitmap b = photo.Clone();
    ReduceBitmapColors(b, 256, options);
    TPalette pal = CreateOptimizedPalette(photo, 256, 8, false);
    TBitmap idx = ReduceColors(photo, rmPalette, options & rcDither, 8, &pal);
    idx.SetPixelFormat(pf24bit);
    EXPECT_TRUE(SameBitmaps(b, idx));
  }
}

TEST(Ditherers, PixelByPixelEqualsTheRowMapping) {
  TBitmap src = RandomBitmap(23, 11, 30);
  TPalette pal = RefOctreePalette(src, 20);
  TBitmap rows = ReduceColors(src, rmPalette, true, 8, &pal);
  TFastColorLookup lookup(pal);
  TFloydSteinbergDitherer fs(src.Width(), pal);
  TNetscapeColorLookup web;
  TDitherEngine nearest(src.Width());
  TBitmap webRows = ReduceColors(src, rmNetscape, false, 8);
  for (int y = 0; y < src.Height(); ++y) {
    ASSERT_EQ(fs.Direction(), y % 2 == 0 ? 1 : -1);
    for (int k = 0; k < src.Width(); ++k) {
      const int x = fs.Column();
      ASSERT_EQ(x, y % 2 == 0 ? k : src.Width() - 1 - k);
      const uint8_t* p = Px(src, x, y);
      ASSERT_EQ(fs.Dither(lookup, p[2], p[1], p[0]), int(rows.GetPixelIndex(x, y))) << x << "," << y;
      const int nx = nearest.Column();
      const uint8_t* q = Px(src, nx, y);
      ASSERT_EQ(nearest.Dither(web, q[2], q[1], q[0]), int(webRows.GetPixelIndex(nx, y)));
    }
    fs.NextLine();
    nearest.NextLine();
  }
}

// --- Indexed colours ---------------------------------------------------------------

namespace {
TIndexedColorParams Optimized(int choice, bool diffusion = true) {
  return {ipOptimized, choice, diffusion, spWeb216};
}
TIndexedColorParams System(int palette) { return {ipSystem, 5, true, palette}; }
}  // namespace

// An optimised choice converts only a picture whose document records more colours than
// it has; a system palette converts whatever is recorded.
TEST(IndexedColors, ReductionNeededByChoiceAndRecordedCount) {
  const int recorded[] = {0, 2, 8, 9, 16, 17, 32, 33, 64, 65, 128, 129, 256, 257, 16777216};
  // each optimised choice and the first recorded count it converts
  const int first[kOptimizedCountChoices] = {9, 17, 33, 65, 129, 257};
  for (int choice = 0; choice < kOptimizedCountChoices; ++choice)
    for (int n : recorded) EXPECT_EQ(IndexedReductionNeeded(Optimized(choice), n), n >= first[choice]) << choice << " " << n;
  for (int palette = 0; palette < kSystemPaletteCount; ++palette)
    for (int n : recorded) EXPECT_TRUE(IndexedReductionNeeded(System(palette), n)) << palette << " " << n;
}

// What a document records once converted, for each of the thirteen choices.
TEST(IndexedColors, RecordedCountOfEachChoice) {
  const int optimized[kOptimizedCountChoices] = {8, 16, 32, 64, 128, 256};
  for (int choice = 0; choice < kOptimizedCountChoices; ++choice)
    for (bool diffusion : {true, false}) EXPECT_EQ(IndexedColorCount(Optimized(choice, diffusion)), optimized[choice]);
  const int system[kSystemPaletteCount] = {2, 2, 4, 16, 256, 20, 256};
  for (int palette = 0; palette < kSystemPaletteCount; ++palette)
    EXPECT_EQ(IndexedColorCount(System(palette)), system[palette]) << palette;
}

// Each choice converts the whole picture as its kernels run on a copy do.
TEST(IndexedColors, EachChoiceIsItsKernels) {
  const TBitmap photo = RandomBitmap(96, 64, 21);
  const TRect all = GetBitmapRect(photo);
  const struct {
    TIndexedColorParams params;
    std::function<void(TBitmap&)> kernels;
  } rows[] = {
      {Optimized(0), [](TBitmap& b) { ReduceBitmapColors(b, 8, rcDither); }},
      {Optimized(2, false), [](TBitmap& b) { ReduceBitmapColors(b, 32, 0); }},
      {Optimized(5), [](TBitmap& b) { ReduceBitmapColors(b, 256, rcDither | rcKeepTransparentEntries); }},
      {Optimized(5, false), [](TBitmap& b) { ReduceBitmapColors(b, 256, rcKeepTransparentEntries); }},
      {System(spMonochrome), [&](TBitmap& b) { ThresholdRect(b, 128, clBlack, clWhite, all); }},
      {System(spMonochromeDithered),
       [&](TBitmap& b) {
         DitherBlackWhiteRect(b, all);
         ThresholdRect(b, 128, clBlack, clWhite, all);
       }},
      {System(spGray4), [](TBitmap& b) { ReduceBitmapColors(b, 4, 17); }},
      {System(spGray16),
       [&](TBitmap& b) {
         GrayscaleRect(b, all);
         ReduceBitmapColors(b, 16, 1);
       }},
      {System(spGray256),
       [&](TBitmap& b) {
         GrayscaleRect(b, all);
         ReplaceColorRect(b, 0x020202, 0x030303, 0, all);
         ReplaceColorRect(b, 0xFCFCFC, 0xFDFDFD, 0, all);
         ReduceBitmapColors(b, 256, 65);
       }},
      {System(spWindows20), [](TBitmap& b) { ReduceBitmapColors(b, 20, 9); }},
      {System(spWeb216), [](TBitmap& b) { ReduceBitmapColors(b, 256, 97); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.params.Kind << " " << row.params.Optimized << " " << row.params.System);
    TBitmap ours = photo.Clone(), kernels = photo.Clone();
    ReduceToIndexedColors(ours, row.params);
    row.kernels(kernels);
    EXPECT_TRUE(SameBitmaps(ours, kernels));
    EXPECT_LE(CountBitmapColors(ours), IndexedColorCount(row.params));
  }
  // The greys keep every level but 2 and 252, each merged into the next.
  TBitmap ramp(256, 1);
  for (int v = 0; v < 256; ++v) ramp.SetPixel(v, 0, RGB(v, v, v));
  ReduceToIndexedColors(ramp, System(spGray256));
  EXPECT_EQ(CountBitmapColors(ramp), 254);
  EXPECT_EQ(ramp.GetPixel(2, 0), RGB(3, 3, 3));
  EXPECT_EQ(ramp.GetPixel(252, 0), RGB(253, 253, 253));
  // Values outside their ranges change nothing.
  for (TIndexedColorParams outside : {TIndexedColorParams{2, 5, true, 0}, TIndexedColorParams{ipSystem, 5, true, 7},
                                      TIndexedColorParams{ipOptimized, 6, true, 0}}) {
    TBitmap b = photo.Clone();
    ReduceToIndexedColors(b, outside);
    EXPECT_TRUE(SameBitmaps(b, photo));
  }
}
