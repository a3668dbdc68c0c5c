#include "pixel/FloodFill.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "pixel/ImgUtils.h"

namespace qm {
namespace {

// One fill. The region is found on bit rows over the rect: `visited` marks painted
// pixels; `match` holds, per 64-pixel word, which pixels pass the colour and selection
// test, computed the first time the fill reaches that word (`known`). Pixels still to
// fill are match & ~visited, so spans are found with word operations.
//
// Painting a maximal span of such pixels covers the whole run of matching pixels it
// lies in (none of them can have been painted before, or that earlier span would have
// covered them all), so one seed per run found beside a span is enough. Seeds wait on
// a heap stack: no recursion, no depth limit.
class TSpanFill {
 public:
  TSpanFill(TBitmap& bmp, const TBitmap* sel, TBitmap* out, TRect rect, int tolerance, TColor fill)
      : bmp_(bmp), sel_(sel), out_(out), left_(rect.Left), top_(rect.Top), width_(rect.Width()),
        height_(rect.Height()), words_((rect.Width() + 63) / 64), tolerance_(tolerance) {
    const size_t n = size_t(words_) * size_t(height_);
    visited_.assign(n, 0);
    match_.assign(n, 0);
    known_.assign(n, 0);
    const TColor c = ColorToRGB(fill);
    fill_[0] = GetBValue(c);
    fill_[1] = GetGValue(c);
    fill_[2] = GetRValue(c);
  }

  void SetSeedColor(const uint8_t* p) {
    for (int i = 0; i < 64; ++i) std::memcpy(seedRow_ + 3 * i, p, 3);
  }

  // Fills from local (x, y); false when the seed stack could not grow.
  bool Run(int x, int y) {
    try {
      stack_.push_back(Pack(x, y));
      while (!stack_.empty()) {
        const uint64_t s = stack_.back();
        stack_.pop_back();
        Span(int(s & 0xFFFFFFFF), int(s >> 32));
      }
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

 private:
  static uint64_t Pack(int x, int y) { return uint64_t(uint32_t(x)) | (uint64_t(uint32_t(y)) << 32); }

  // Pixels of word k of row y still to fill.
  uint64_t Open(int y, int k) {
    const size_t i = size_t(y) * size_t(words_) + size_t(k);
    if (!known_[i]) {
      match_[i] = ComputeMatch(y, k);
      known_[i] = 1;
    }
    return match_[i] & ~visited_[i];
  }

  uint64_t ComputeMatch(int y, int k) const {
    const int x0 = k * 64, n = std::min(64, width_ - x0), nb = 3 * n;
    const uint8_t* p = bmp_.ScanLine(top_ + y) + ptrdiff_t(left_ + x0) * 3;
    // Byte by byte against the seed repeated along the word (a loop that vectorises),
    // then three bytes to a pixel, then eight 0/1 bytes to eight bits by one multiply.
    uint8_t ok[192];
    const int t = tolerance_;
    for (int j = 0; j < nb; ++j) {
      const int d = p[j] - seedRow_[j];
      ok[j] = uint8_t((d <= t) & (d >= -t));
    }
    alignas(8) uint8_t pixel[64] = {};
    for (int i = 0; i < n; ++i) pixel[i] = ok[3 * i] & ok[3 * i + 1] & ok[3 * i + 2];
    if (sel_) {
      const uint8_t* m = sel_->ScanLine(top_ + y) + ptrdiff_t(left_ + x0) * 3;
      for (int i = 0; i < n; ++i) pixel[i] &= uint8_t(m[3 * i] < 255);
    }
    uint64_t bits = 0;
    for (int q = 0; q < 8; ++q) {
      uint64_t eight;
      std::memcpy(&eight, pixel + 8 * q, 8);
      bits |= ((eight * 0x0102040810204080ull) >> 56) << (8 * q);
    }
    return bits;
  }

  bool ShouldFill(int x, int y) { return (Open(y, x >> 6) >> (x & 63)) & 1; }

  // First x of the open run that ends at x (x open).
  int RunStart(int x, int y) {
    int k = x >> 6;
    uint64_t closed = ~Open(y, k) & (((x & 63) == 63) ? ~uint64_t(0) : ((uint64_t(2) << (x & 63)) - 1));
    while (closed == 0) {
      if (k == 0) return 0;
      closed = ~Open(y, --k);
    }
    return k * 64 + (63 - std::countl_zero(closed)) + 1;
  }

  // Last x of the open run that starts at x (x open).
  int RunEnd(int x, int y) {
    int k = x >> 6;
    uint64_t closed = ~Open(y, k) & (~uint64_t(0) << (x & 63));
    while (closed == 0) {
      if (k + 1 == words_) return width_ - 1;
      closed = ~Open(y, ++k);  // bits past the width never match
    }
    return k * 64 + std::countr_zero(closed) - 1;
  }

  void Span(int x, int y) {
    if (!ShouldFill(x, y)) return;
    const int x1 = RunStart(x, y), x2 = RunEnd(x, y);
    Paint(x1, x2, y);
    if (y > 0) Seeds(x1, x2, y - 1);
    if (y + 1 < height_) Seeds(x1, x2, y + 1);
  }

  void Paint(int x1, int x2, int y) {
    uint64_t* v = visited_.data() + size_t(y) * size_t(words_);
    for (int k = x1 >> 6; k <= (x2 >> 6); ++k) {
      uint64_t m = ~uint64_t(0);
      if (k == (x1 >> 6)) m &= ~uint64_t(0) << (x1 & 63);
      if (k == (x2 >> 6) && (x2 & 63) != 63) m &= (uint64_t(2) << (x2 & 63)) - 1;
      v[k] |= m;
    }
    const size_t n = size_t(x2 - x1 + 1);
    if (out_) {
      std::memset(out_->ScanLine(top_ + y) + ptrdiff_t(left_ + x1) * 3, 0, n * 3);
      return;
    }
    uint8_t* p = bmp_.ScanLine(top_ + y) + ptrdiff_t(left_ + x1) * 3;
    if (fill_[0] == fill_[1] && fill_[1] == fill_[2]) {
      std::memset(p, fill_[0], n * 3);
    } else {
      for (size_t i = 0; i < n; ++i, p += 3) {
        p[0] = fill_[0];
        p[1] = fill_[1];
        p[2] = fill_[2];
      }
    }
  }

  // Pushes the first x of each open run of row y that meets x1..x2.
  void Seeds(int x1, int x2, int y) {
    bool inRun = false;
    for (int k = x1 >> 6; k <= (x2 >> 6); ++k) {
      uint64_t open = Open(y, k);
      uint64_t range = ~uint64_t(0);
      if (k == (x1 >> 6)) range &= ~uint64_t(0) << (x1 & 63);
      if (k == (x2 >> 6) && (x2 & 63) != 63) range &= (uint64_t(2) << (x2 & 63)) - 1;
      open &= range;
      // starts of runs: open bits whose lower neighbour is closed
      uint64_t starts = open & ~((open << 1) | uint64_t(inRun));
      while (starts) {
        stack_.push_back(Pack(k * 64 + std::countr_zero(starts), y));
        starts &= starts - 1;
      }
      inRun = (open >> 63) & 1;
    }
  }

  TBitmap& bmp_;
  const TBitmap* sel_;
  TBitmap* out_;
  const int left_, top_, width_, height_, words_, tolerance_;
  uint8_t seedRow_[192] = {};  // the seed colour, 64 times
  uint8_t fill_[3] = {};
  std::vector<uint64_t> visited_, match_;
  std::vector<uint8_t> known_;
  std::vector<uint64_t> stack_;
};

bool MaskFits(const TBitmap* mask, const TBitmap& bmp) {
  return mask->PixelFormat() == pf24bit && mask->Width() == bmp.Width() && mask->Height() == bmp.Height();
}

}  // namespace

int FloodFillScan(TBitmap& bmp, const TBitmap* selectionMask, int x, TBitmap* outputMask, TRect rect,
                  int tolerance, TColor fillColor, int y) {
  if (bmp.PixelFormat() != pf24bit) return ffFailed;
  ClipRectToBitmap(rect, bmp);
  if (rect.IsEmpty() || !PtInRect(rect, TPoint{x, y})) return ffDone;
  if (selectionMask && selectionMask->Empty()) selectionMask = nullptr;
  if (outputMask && outputMask->Empty()) outputMask = nullptr;
  if ((selectionMask && !MaskFits(selectionMask, bmp)) || (outputMask && !MaskFits(outputMask, bmp)))
    return ffFailed;
  if (!outputMask && fillColor == clNone) return ffDone;
  const int tol = tolerance < 0 ? (tolerance < -255 ? 255 : -tolerance) : std::min(tolerance, 255);

  // The output mask is whitened before the fill reads the selection: when both are the
  // same bitmap the fill works from a copy of the selection.
  TBitmap selectionCopy;
  if (selectionMask && outputMask && selectionMask == outputMask) {
    selectionCopy = selectionMask->Clone();
    selectionMask = &selectionCopy;
  }
  std::optional<TSpanFill> fill;
  try {
    fill.emplace(bmp, selectionMask, outputMask, rect, tol, fillColor);
  } catch (const std::bad_alloc&) {
    return ffFailed;
  }
  fill->SetSeedColor(bmp.ScanLine(y) + ptrdiff_t(x) * 3);
  if (outputMask) outputMask->FillRect(GetBitmapRect(*outputMask), clWhite);
  return fill->Run(x - rect.Left, y - rect.Top) ? ffDone : ffPartial;
}

int FloodFillBitmap(TBitmap& bmp, const TBitmap* selectionMask, int x, TBitmap* outputMask, TRect rect,
                    int tolerance, TColor fillColor, int y) {
  return FloodFillScan(bmp, selectionMask, x, outputMask, rect, tolerance, fillColor, y);
}

}  // namespace qm
