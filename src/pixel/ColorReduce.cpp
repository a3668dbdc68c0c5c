#include "pixel/ColorReduce.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Palettes.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// Colour bits of a requested count: 1 for 1..2, 3 for 3..8, then 4..8 up to 256.
int ColorBitsFor(int colors) {
  if (colors <= 2) return 1;
  if (colors <= 8) return 3;
  int bits = 4;
  while ((1 << bits) < colors) ++bits;
  return bits;
}

// A 24-bit version of the bitmap: the bitmap itself when it already is one, else a
// converted copy held in `holder`.
const TBitmap& As24(const TBitmap& bmp, TBitmap& holder) {
  if (bmp.PixelFormat() == pf24bit) return bmp;
  holder.Assign(bmp);
  holder.SetPixelFormat(pf24bit);
  return holder;
}

// Maps every pixel of a 24-bit bitmap along the serpentine scan and hands each finished
// row of palette indices to rowDone(y, indices). rowDone may overwrite source row y:
// the scan never reads a row again once it has been handed over.
template <class Lookup, class Ditherer, class RowDone>
void Remap(const TBitmap& src, Lookup& lookup, Ditherer& ditherer, RowDone&& rowDone) {
  std::vector<uint8_t> indices(static_cast<size_t>(src.Width()));
  for (int y = 0; y < src.Height(); ++y) {
    ditherer.DitherRow(lookup, src.ScanLine(y), indices.data());
    rowDone(y, indices.data());
    ditherer.NextLine();
  }
}

// Runs the mapping of a method over a 24-bit bitmap; returns the palette the indices
// refer to. `palette` serves every method but monochrome and web.
template <class RowDone>
TPalette RemapBy(const TBitmap& src, TReductionMethod method, bool dither, const TPalette& palette,
                 RowDone&& rowDone) {
  auto run = [&](auto& lookup) {
    if (dither) {
      TFloydSteinbergDitherer d(src.Width(), lookup.Palette());
      Remap(src, lookup, d, rowDone);
    } else {
      TDitherEngine d(src.Width());
      Remap(src, lookup, d, rowDone);
    }
    return TPalette(lookup.Palette());
  };
  if (method == rmMonochrome) {
    TMonochromeLookup lookup;
    return run(lookup);
  }
  if (method == rmNetscape) {
    TNetscapeColorLookup lookup;
    return run(lookup);
  }
  TFastColorLookup lookup(palette);
  return run(lookup);
}

// The palette of a fixed method; empty for the others.
TPalette FixedPalette(TReductionMethod method) {
  switch (method) {
    case rmWindows20: return Windows20Palette();
    case rmWindows256: return HalftonePalette();
    case rmWindowsGray: return WindowsGrayPalette();
    case rmMonochrome: return MonochromePalette();
    case rmNetscape: return WebPalette();
    default: return {};
  }
}

}  // namespace

int GetPixelFormatColorCount(TPixelFormat pf) {
  switch (pf) {
    case pf1bit: return 2;
    case pf4bit: return 16;
    case pf8bit: return 256;
    default: return 16777216;
  }
}

TColor GetPaletteColor(const TPalette* palette, int index) {
  if (!palette || index < 0 || size_t(index) >= palette->size()) return clNone;
  return (*palette)[size_t(index)];
}

bool SetPaletteColor(TPalette* palette, int index, TColor color) {
  if (!palette || index < 0 || size_t(index) >= palette->size()) return false;
  (*palette)[size_t(index)] = color;
  return true;
}

bool ResizePalette(TPalette& palette, int count) {
  if (count < 1 || count > 256) return false;
  palette.resize(size_t(count), RGB(0, 0, 0));
  return true;
}

int CountBitmapColors(const TBitmap& bmp) {
  if (bmp.PixelFormat() != pf24bit || bmp.Empty()) return 0;
  // One bit per possible colour (2 MB). Each band of rows marks its own set, then the
  // sets are merged, so the count needs no locking and is the same for any split.
  constexpr size_t kWords = (size_t(1) << 24) / 64;
  const int w = bmp.Width(), h = bmp.Height();
  const int bands = WorthThreading(int64_t(w) * h) ? std::min(EngineThreads(), h) : 1;
  std::vector<std::vector<uint64_t>> sets(static_cast<size_t>(bands));
#pragma omp parallel for schedule(static) num_threads(bands) if (bands > 1)
  for (int t = 0; t < bands; ++t) {
    std::vector<uint64_t>& set = sets[size_t(t)];
    set.assign(kWords, 0);
    uint64_t* s = set.data();
    const int y0 = int(int64_t(h) * t / bands), y1 = int(int64_t(h) * (t + 1) / bands);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* p = bmp.ScanLine(y);
      for (int x = 0; x < w; ++x, p += 3) {
        const uint32_t c = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
        s[c >> 6] |= uint64_t(1) << (c & 63);
      }
    }
  }
  int64_t total = 0;
  const int chunks = bands;  // merge in as many slices of the word range
#pragma omp parallel for schedule(static) num_threads(chunks) reduction(+ : total) if (chunks > 1)
  for (int k = 0; k < chunks; ++k) {
    const size_t a = kWords * size_t(k) / size_t(chunks), b = kWords * size_t(k + 1) / size_t(chunks);
    int64_t n = 0;
    for (size_t i = a; i < b; ++i) {
      uint64_t v = 0;
      for (const auto& set : sets) v |= set[i];
      n += std::popcount(v);
    }
    total += n;
  }
  return int(total);
}

// --- Octree ---------------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : maxColors_(std::clamp(maxColors, 1, 256)), colorBits_(std::clamp(colorBits, 1, 8)) {
  // Live nodes stay below nine per leaf (a leaf and the chain above it).
  nodes_.reserve(size_t(maxColors_ + 2) * 9);
}

int32_t TColorQuantizer::NewNode(int level) {
  int32_t n;
  if (!free_.empty()) {
    n = free_.back();
    free_.pop_back();
    nodes_[size_t(n)] = TOctreeNode{};
  } else {
    n = int32_t(nodes_.size());
    nodes_.emplace_back();
  }
  TOctreeNode& node = nodes_[size_t(n)];
  if (level == colorBits_) {
    node.IsLeaf = true;
    ++leafCount_;
  } else {
    node.Next = reducible_[level];
    reducible_[level] = n;
  }
  return n;
}

bool TColorQuantizer::ReduceTree() {
  int level = colorBits_ - 1;
  while (level > 0 && reducible_[level] < 0) --level;
  const int32_t n = reducible_[level];
  if (n < 0) return false;
  reducible_[level] = nodes_[size_t(n)].Next;
  TOctreeNode& node = nodes_[size_t(n)];
  int children = 0;
  for (int32_t& c : node.Child) {
    if (c < 0) continue;
    const TOctreeNode& child = nodes_[size_t(c)];
    node.PixelCount += child.PixelCount;
    node.RedSum += child.RedSum;
    node.GreenSum += child.GreenSum;
    node.BlueSum += child.BlueSum;
    free_.push_back(c);
    c = -1;
    ++children;
  }
  node.IsLeaf = true;
  leafCount_ += 1 - children;
  return true;
}

namespace {
inline void Accumulate(TOctreeNode& leaf, uint8_t red, uint8_t green, uint8_t blue) {
  ++leaf.PixelCount;
  leaf.RedSum += red;
  leaf.GreenSum += green;
  leaf.BlueSum += blue;
}
inline int ChildIndex(uint8_t red, uint8_t green, uint8_t blue, int level) {
  const int shift = 7 - level;
  return (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
}
}  // namespace

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
  if (root_ < 0) root_ = NewNode(0);
  int32_t n = root_;
  bool created = false;
  for (int level = 0;; ++level) {
    if (nodes_[size_t(n)].IsLeaf) {
      Accumulate(nodes_[size_t(n)], red, green, blue);
      break;
    }
    const int i = ChildIndex(red, green, blue, level);
    int32_t c = nodes_[size_t(n)].Child[i];
    if (c < 0) {
      c = NewNode(level + 1);
      nodes_[size_t(n)].Child[i] = c;
      created = true;
    }
    n = c;
  }
  if (!created) return;  // no new leaf, nothing to reduce
  while (leafCount_ > maxColors_ && ReduceTree()) {
  }
}

void TColorQuantizer::ProcessImage(const TBitmap& bmp) {
  if (bmp.PixelFormat() != pf24bit) {
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        const TColor c = bmp.GetPixel(x, y);
        AddColor(GetRValue(c), GetGValue(c), GetBValue(c));
      }
    return;
  }
  if (bmp.Empty()) return;
  if (root_ < 0) root_ = NewNode(0);
  // The same insertions as AddColor, faster. The first four levels of a colour's path
  // depend only on its top four bits per channel, so while the tree keeps its shape
  // the node a prefix reaches at depth 4 (or the leaf it meets before) is remembered
  // and most pixels skip the walk. Only an insertion that adds nodes can reshape the
  // tree (through the reductions it triggers); it clears the memory. On the 24 MP
  // benchmark photo that happens about 1400 times, while 88 % of the pixels end in a
  // leaf no deeper than 4.
  constexpr int kMemoLevels = 4;
  std::vector<int32_t> memo(4096, -1);
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x, p += 3) {
      const uint8_t red = p[2], green = p[1], blue = p[0];
      const unsigned key = (unsigned(red >> 4) << 8) | (unsigned(green >> 4) << 4) | unsigned(blue >> 4);
      int32_t n = memo[key];
      int level = kMemoLevels;
      if (n >= 0) {
        TOctreeNode& node = nodes_[size_t(n)];
        if (node.IsLeaf) {
          Accumulate(node, red, green, blue);
          continue;
        }
      } else {
        n = root_;
        level = 0;
      }
      bool created = false;
      for (;; ++level) {
        if (level == kMemoLevels) memo[key] = n;
        TOctreeNode& node = nodes_[size_t(n)];
        if (node.IsLeaf) {
          if (level < kMemoLevels) memo[key] = n;
          Accumulate(node, red, green, blue);
          break;
        }
        const int i = ChildIndex(red, green, blue, level);
        int32_t c = node.Child[i];
        if (c < 0) {
          c = NewNode(level + 1);
          nodes_[size_t(n)].Child[i] = c;
          created = true;
        }
        n = c;
      }
      if (created) {
        while (leafCount_ > maxColors_ && ReduceTree()) {
        }
        std::fill(memo.begin(), memo.end(), -1);
      }
    }
  }
}

void TColorQuantizer::CollectColors(int32_t n, TPalette& out) const {
  const TOctreeNode& node = nodes_[size_t(n)];
  if (node.IsLeaf) {
    if (node.PixelCount == 0) {
      out.push_back(RGB(0, 0, 0));
    } else {
      out.push_back(RGB(int(node.RedSum / node.PixelCount), int(node.GreenSum / node.PixelCount),
                        int(node.BlueSum / node.PixelCount)));
    }
    return;
  }
  for (int32_t c : node.Child)
    if (c >= 0) CollectColors(c, out);
}

TPalette TColorQuantizer::GetPalette() const {
  TPalette out;
  if (root_ >= 0) CollectColors(root_, out);
  return out;
}

// --- Lookups and ditherers -------------------------------------------------------

TFastColorLookup::TFastColorLookup(const TPalette& palette)
    : palette_(palette.begin(), palette.begin() + ptrdiff_t(std::min<size_t>(palette.size(), 256))),
      cache_(32768, kEmpty) {
  for (size_t i = 0; i < palette_.size(); ++i) {
    const TColor c = palette_[i];
    const unsigned key = (GetRValue(c) >> 3) | ((GetGValue(c) & 0xF8u) << 2) | ((GetBValue(c) & 0xF8u) << 7);
    if (cache_[key] == kEmpty) cache_[key] = uint16_t(i);
  }
}

int TFastColorLookup::Search(unsigned key, int red, int green, int blue) {
  int best = 0, bestD = INT_MAX;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const TColor c = palette_[i];
    const int d = std::abs(red - GetRValue(c)) + std::abs(green - GetGValue(c)) + std::abs(blue - GetBValue(c));
    if (d < bestD) {
      bestD = d;
      best = int(i);
    }
  }
  cache_[key] = uint16_t(best);
  return best;
}

const TPalette& TNetscapeColorLookup::Palette() const { return WebPalette(); }
const TPalette& TMonochromeLookup::Palette() const { return MonochromePalette(); }

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, const TPalette& palette)
    : TDitherEngine(width), cur_(size_t(width + 2) * 3, 0), next_(size_t(width + 2) * 3, 0) {
  for (size_t i = 0; i < palette.size() && i < 256; ++i) {
    pal_[i] = uint32_t(GetRValue(palette[i])) | (uint32_t(GetGValue(palette[i])) << 10) |
              (uint32_t(GetBValue(palette[i])) << 20);
  }
}

void TFloydSteinbergDitherer::NextLine() {
  carriedR_ = carriedG_ = carriedB_ = 0;
  cur_.swap(next_);
  std::fill(next_.begin(), next_.end(), 0);
  TDitherEngine::NextLine();
}

// --- Reductions -----------------------------------------------------------------

TPalette CreateOptimizedPalette(const TBitmap& bmp, int colors, int colorBits, bool windows) {
  TBitmap holder;
  const TBitmap& src = As24(bmp, holder);
  TColorQuantizer q(windows ? 236 : std::clamp(colors, 1, 256), colorBits);
  q.ProcessImage(src);
  TPalette octree = q.GetPalette();
  if (!windows) return octree;
  const auto& sys = Windows20Palette();
  TPalette out(256, RGB(0, 0, 0));
  std::copy(sys.begin(), sys.begin() + 10, out.begin());
  std::copy(octree.begin(), octree.begin() + ptrdiff_t(std::min<size_t>(octree.size(), 236)), out.begin() + 10);
  std::copy(sys.begin() + 10, sys.end(), out.begin() + 246);
  return out;
}

TBitmap ReduceColors(const TBitmap& bmp, TReductionMethod method, bool dither, int colorBits,
                     const TPalette* palette) {
  TBitmap holder;
  const TBitmap& src = As24(bmp, holder);
  TPalette pal;
  switch (method) {
    case rmWindows20:
    case rmWindows256:
    case rmWindowsGray:
    case rmMonochrome:
    case rmNetscape: pal = FixedPalette(method); break;
    case rmQuantize: pal = CreateOptimizedPalette(src, 1 << std::clamp(colorBits, 1, 8), 8, false); break;
    case rmPalette:
      if (palette && !palette->empty())
        pal.assign(palette->begin(), palette->begin() + ptrdiff_t(std::min<size_t>(palette->size(), 256)));
      break;
    default: break;
  }
  if (pal.empty() || src.Empty()) {
    TBitmap copy;
    copy.Assign(src);
    return copy;
  }
  TBitmap out(src.Width(), src.Height(), pf8bit, clBlack);
  const int w = src.Width();
  TPalette used = RemapBy(src, method, dither, pal, [&](int y, const uint8_t* idx) {
    std::memcpy(out.ScanLine(y), idx, size_t(w));
  });
  out.SetPalette(std::move(used));
  return out;
}

void ReduceBitmapColors(TBitmap& bmp, int colors, int options, const TPalette* palette) {
  if (bmp.Empty() || colors < 1 || colors > 256) return;
  const bool keepFree = (options & rcKeepTransparentEntries) != 0;
  TReductionMethod method;
  if (ColorBitsFor(colors) == 1) method = rmMonochrome;
  else if (options & rcGivenPalette) method = rmPalette;
  else if (options & rcWindows20) method = rmWindows20;
  else if (options & rcWindowsGray) method = rmWindowsGray;
  else if (options & rcWeb) method = rmNetscape;
  else if (options & rcWindows256) method = keepFree ? rmPalette : rmWindows256;
  else {
    // Never more colours than asked for, and room for two transparency entries when
    // they are to stay free.
    // An indexed bitmap is counted by the colours it shows.
    const int limit = keepFree ? std::min(colors, 254) : colors;
    TBitmap holder;
    method = CountBitmapColors(As24(bmp, holder)) <= limit ? rmNone : rmQuantize;
  }
  if (method == rmNone) return;

  TPalette pal;
  if (method == rmPalette && keepFree) {
    pal = CreateOptimizedPalette(bmp, 254, 8, (options & rcWindows256) != 0);
    ResizePalette(pal, 256);
    pal[254] = pal[255] = pal[0];
  } else if (method == rmPalette) {
    if (!palette || palette->empty()) return;
    pal.assign(palette->begin(), palette->begin() + ptrdiff_t(std::min<size_t>(palette->size(), 256)));
  } else if (method == rmQuantize) {
    pal = CreateOptimizedPalette(bmp, keepFree ? std::min(colors, 254) : colors, 8, false);
    method = rmPalette;
  } else {
    pal = FixedPalette(method);
  }

  if (bmp.PixelFormat() != pf24bit) bmp.SetPixelFormat(pf24bit);
  // Mapped in place: each row is written back with its palette colours as soon as it is
  // done, which the scan allows.
  uint8_t pr[256] = {}, pg[256] = {}, pb[256] = {};
  for (size_t i = 0; i < pal.size() && i < 256; ++i) {
    pr[i] = GetRValue(pal[i]);
    pg[i] = GetGValue(pal[i]);
    pb[i] = GetBValue(pal[i]);
  }
  const int w = bmp.Width();
  RemapBy(bmp, method, (options & rcDither) != 0, pal, [&](int y, const uint8_t* idx) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const uint8_t i = idx[x];
      p[0] = pb[i];
      p[1] = pg[i];
      p[2] = pr[i];
    }
  });
}

// --- Indexed colours -------------------------------------------------------------

int IndexedColorCount(const TIndexedColorParams& params) {
  if (!InHardRange(params)) return 0;
  if (params.Kind == ipOptimized) return 8 << params.Optimized;
  static constexpr int kSystemCounts[kSystemPaletteCount] = {2, 2, 4, 16, 256, 20, 256};
  return kSystemCounts[params.System];
}

bool IndexedReductionNeeded(const TIndexedColorParams& params, int recorded) {
  return params.Kind == ipSystem || recorded > IndexedColorCount(params);
}

void ReduceToIndexedColors(TBitmap& bmp, const TIndexedColorParams& params) {
  if (!InHardRange(params) || bmp.Empty()) return;
  if (params.Kind == ipOptimized) {
    const int count = IndexedColorCount(params);
    ReduceBitmapColors(bmp, count, (params.Diffusion ? rcDither : 0) | (count == 256 ? rcKeepTransparentEntries : 0));
    return;
  }
  const TRect all = GetBitmapRect(bmp);
  switch (params.System) {
    case spMonochromeDithered: DitherBlackWhiteRect(bmp, all); [[fallthrough]];
    case spMonochrome: ThresholdRect(bmp, 128, clBlack, clWhite, all); break;
    case spGray4: ReduceBitmapColors(bmp, 4, rcDither | rcWindowsGray); break;
    case spGray16:
      GrayscaleRect(bmp, all);
      ReduceBitmapColors(bmp, 16, rcDither);
      break;
    case spGray256:
      // With two entries kept free the palette holds 254 colours: the 256 greys fit once
      // two of them are merged into their neighbours, and the reduction keeps them.
      GrayscaleRect(bmp, all);
      ReplaceColorRect(bmp, 0x020202, 0x030303, 0, all);
      ReplaceColorRect(bmp, 0xFCFCFC, 0xFDFDFD, 0, all);
      ReduceBitmapColors(bmp, 256, rcDither | rcKeepTransparentEntries);
      break;
    case spWindows20: ReduceBitmapColors(bmp, 20, rcDither | rcWindows20); break;
    case spWeb216: ReduceBitmapColors(bmp, 256, rcDither | rcWeb | rcKeepTransparentEntries); break;
    default: break;
  }
}

}  // namespace qm
