#include "pixel/Brush.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Colors.h"
#include "platform/core/Numeric.h"
#include "platform/core/Random.h"

namespace qm {
namespace {

// The brush box of one dab and the weights of its pixels, row by row.
class TDab {
 public:
  // False when the dab changes nothing.
  bool Init(const TBitmap& bmp, int x, int y, TRect rect, int strength, int radius, int coreDivisor) {
    if (bmp.PixelFormat() != pf24bit || radius < 0 || strength < 1) return false;
    ClipRectToBitmap(rect, bmp);
    if (rect.IsEmpty()) return false;
    x_ = x;
    y_ = y;
    radius_ = radius;
    core_ = radius / coreDivisor;
    strength_ = std::min(strength, 100);
    box_ = TRect{int32_t(std::max<int64_t>(int64_t(x) - radius, rect.Left)),
                 int32_t(std::max<int64_t>(int64_t(y) - radius, rect.Top)),
                 int32_t(std::min<int64_t>(int64_t(x) + radius + 1, rect.Right)),
                 int32_t(std::min<int64_t>(int64_t(y) + radius + 1, rect.Bottom))};
    if (box_.IsEmpty()) return false;
    rect_ = rect;
    row_.resize(size_t(box_.Width()));
    // Weights by distance, from the box's nearest pixel to its farthest corner: a table
    // as long as the box is wide and high, however far the point lies from the box.
    const int64_t nx = std::clamp<int64_t>(x, box_.Left, box_.Right - 1) - x;
    const int64_t ny = std::clamp<int64_t>(y, box_.Top, box_.Bottom - 1) - y;
    near_ = IntDistance(0, 0, int32_t(nx), int32_t(ny));
    if (near_ > radius) return false;  // no pixel of the box within the radius
    const int64_t fx = std::max(std::abs(int64_t(box_.Left) - x), std::abs(int64_t(box_.Right) - 1 - x));
    const int64_t fy = std::max(std::abs(int64_t(box_.Top) - y), std::abs(int64_t(box_.Bottom) - 1 - y));
    // The same distance as the pixels get below (it saturates far out), so near <= far.
    const int far = std::min(radius, IntDistance(0, 0, int32_t(fx), int32_t(fy)));
    byDistance_.resize(size_t(far - near_) + 1);
    for (size_t i = 0; i < byDistance_.size(); ++i) byDistance_[i] = Weight(near_ + int(i));
    return true;
  }

  const TRect& Box() const { return box_; }
  const TRect& Clip() const { return rect_; }

  // Weights of row py's box columns, from the box's left: -1 beyond the radius.
  const int* Row(int py) {
    // Columns at the same distance from x share a weight: one distance per |dx|.
    const int64_t a = std::abs(int64_t(box_.Left) - x_), b = std::abs(int64_t(box_.Right) - 1 - x_);
    const int64_t lo = (box_.Left <= x_ && x_ < box_.Right) ? 0 : std::min(a, b), hi = std::max(a, b);
    byDx_.resize(size_t(hi - lo + 1));
    for (int64_t adx = lo; adx <= hi; ++adx) {
      const int d = IntDistance(0, 0, int32_t(adx), py - y_);
      byDx_[size_t(adx - lo)] = size_t(d - near_) < byDistance_.size() ? byDistance_[size_t(d - near_)] : -1;
    }
    for (int i = 0; i < box_.Width(); ++i) row_[size_t(i)] = byDx_[size_t(std::abs(int64_t(box_.Left) + i - x_) - lo)];
    return row_.data();
  }

 private:
  int Weight(int d) const {
    if (d > radius_) return -1;
    if (d <= core_) return strength_;
    return int(int64_t(radius_ - d) * strength_ / (radius_ - core_));
  }

  int x_ = 0, y_ = 0, radius_ = 0, core_ = 0, strength_ = 0, near_ = 0;
  TRect box_, rect_;
  std::vector<int> byDistance_, byDx_, row_;
};

// Moves a B, G, R pixel toward the target by w percent.
inline void MoveToward(uint8_t* p, int tb, int tg, int tr, int w) {
  p[0] = uint8_t(p[0] + (tb - p[0]) * w / 100);
  p[1] = uint8_t(p[1] + (tg - p[1]) * w / 100);
  p[2] = uint8_t(p[2] + (tr - p[2]) * w / 100);
}

// A copy of a rect of a 24-bit bitmap, rows packed.
std::vector<uint8_t> Snapshot(const TBitmap& bmp, const TRect& r) {
  const size_t rowBytes = size_t(r.Width()) * 3;
  std::vector<uint8_t> out(rowBytes * size_t(r.Height()));
  for (int y = r.Top; y < r.Bottom; ++y)
    std::memcpy(out.data() + size_t(y - r.Top) * rowBytes, bmp.ScanLine(y) + ptrdiff_t(r.Left) * 3, rowBytes);
  return out;
}

}  // namespace

void BlurBrushDab(TBitmap& bmp, int x, int y, TRect rect, int strength, int radius) {
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 3)) return;
  const TRect box = dab.Box();
  const int w = box.Width(), h = box.Height();
  const std::vector<uint8_t> old = Snapshot(bmp, box);
  const size_t stride = size_t(w) * 3;
  for (int j = 0; j < h; ++j) {
    const int* wt = dab.Row(box.Top + j);
    const uint8_t* above = old.data() + size_t(j > 0 ? j - 1 : j) * stride;
    const uint8_t* cur = old.data() + size_t(j) * stride;
    const uint8_t* below = old.data() + size_t(j + 1 < h ? j + 1 : j) * stride;
    uint8_t* p = bmp.ScanLine(box.Top + j) + ptrdiff_t(box.Left) * 3;
    for (int i = 0; i < w; ++i, p += 3) {
      if (wt[i] <= 0) continue;
      const size_t l = size_t(i > 0 ? i - 1 : i) * 3, c = size_t(i) * 3, r = size_t(i + 1 < w ? i + 1 : i) * 3;
      int t[3];
      for (int k = 0; k < 3; ++k)
        t[k] = (above[l + k] + above[c + k] + above[r + k] + cur[l + k] + cur[c + k] + cur[r + k] + below[l + k] +
                below[c + k] + below[r + k]) / 9;
      MoveToward(p, t[0], t[1], t[2], wt[i]);
    }
  }
}

void SmudgeDab(TBitmap& bmp, int x, int y, TRect rect, int verticalStep, int horizontalStep, int strength,
               int radius) {
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 3)) return;
  const int hs = std::clamp(horizontalStep, -1, 1), vs = std::clamp(verticalStep, -1, 1);
  const TRect box = dab.Box();
  const TRect from = IntersectRect(OffsetRect(box, hs, vs), dab.Clip());
  if (from.IsEmpty()) return;
  const std::vector<uint8_t> snap = Snapshot(bmp, from);
  const int sw = from.Width(), sh = from.Height();
  for (int py = box.Top; py < box.Bottom; ++py) {
    const int* wt = dab.Row(py);
    const int sy = std::clamp(py - box.Top + vs, 0, sh - 1);
    const uint8_t* srow = snap.data() + size_t(sy) * size_t(sw) * 3;
    uint8_t* p = bmp.ScanLine(py) + ptrdiff_t(box.Left) * 3;
    for (int i = 0; i < box.Width(); ++i, p += 3) {
      if (wt[i] <= 0) continue;
      const uint8_t* s = srow + size_t(std::clamp(i + hs, 0, sw - 1)) * 3;
      MoveToward(p, s[0], s[1], s[2], wt[i]);
    }
  }
}

void AirbrushDab(TBitmap& bmp, int x, int y, TRect rect, int sparsity, TColor color, int strength, int radius) {
  if (sparsity < 0) return;
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 4)) return;
  const TColor c = ColorToRGB(color);
  const TRect box = dab.Box();
  const int n = box.Width();
  // Per row: the weights of the picked pixels (0 for the others), then one blend of the
  // row toward a row of the colour.
  std::vector<uint8_t> paint(size_t(n) * 3), weights(size_t(n) * 3);
  for (int i = 0; i < n; ++i) ColorToPixel24(c, paint.data() + size_t(i) * 3);
  for (int py = box.Top; py < box.Bottom; ++py) {
    const int* wt = dab.Row(py);
    int first = n, last = -1;
    for (int i = 0; i < n; ++i) {
      int w = 0;
      if (wt[i] >= 0) {
        if (sparsity <= 1 || Random(sparsity) == 0) w = wt[i];
        first = std::min(first, i);
        last = i;
      }
      weights[size_t(i) * 3] = weights[size_t(i) * 3 + 1] = weights[size_t(i) * 3 + 2] = uint8_t(w);
    }
    if (last < first) continue;
    BlendRowWeighted(bmp.ScanLine(py) + ptrdiff_t(box.Left + first) * 3, paint.data(),
                     weights.data() + size_t(first) * 3, (last - first + 1) * 3);
  }
}

void CloneDab(TBitmap& bmp, const TBitmap& source, int x, int y, TRect rect, int strength, int verticalOffset,
              int horizontalOffset, int radius) {
  if (source.PixelFormat() != pf24bit || source.Empty()) return;
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 3)) return;
  const TRect box = dab.Box();
  for (int py = box.Top; py < box.Bottom; ++py) {
    const int64_t sy = int64_t(py) + verticalOffset;
    if (sy < 0 || sy >= source.Height()) continue;
    const int* wt = dab.Row(py);
    const uint8_t* srow = source.ScanLine(int(sy));
    uint8_t* p = bmp.ScanLine(py) + ptrdiff_t(box.Left) * 3;
    for (int i = 0; i < box.Width(); ++i, p += 3) {
      const int64_t sx = int64_t(box.Left) + i + horizontalOffset;
      if (wt[i] <= 0 || sx < 0 || sx >= source.Width()) continue;
      const uint8_t* s = srow + sx * 3;
      const int tb = s[0], tg = s[1], tr = s[2];  // read first: the source may be this pixel
      MoveToward(p, tb, tg, tr, wt[i]);
    }
  }
}

void PatternDab(TBitmap& bmp, const TBitmap& pattern, int x, int y, TRect rect, bool anchored, int strength,
                int radius) {
  if (pattern.Empty()) return;
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 3)) return;
  TBitmap holder;
  const TBitmap* pat = &pattern;
  if (pattern.PixelFormat() != pf24bit) {
    holder.Assign(pattern);
    holder.SetPixelFormat(pf24bit);
    pat = &holder;
  }
  const bool keyed = pattern.Transparent;
  const TColor key = ColorToRGB(pattern.EffectiveTransparentColor()) & 0xFFFFFF;
  const int64_t ox = anchored ? int64_t(x) - radius : 0, oy = anchored ? int64_t(y) - radius : 0;
  const int pw = pat->Width(), ph = pat->Height();
  const TRect box = dab.Box();
  for (int py = box.Top; py < box.Bottom; ++py) {
    const int* wt = dab.Row(py);
    const uint8_t* prow = pat->ScanLine(ModFloor(py - oy, ph));
    uint8_t* p = bmp.ScanLine(py) + ptrdiff_t(box.Left) * 3;
    for (int i = 0; i < box.Width(); ++i, p += 3) {
      if (wt[i] <= 0) continue;
      const uint8_t* s = prow + ptrdiff_t(ModFloor(box.Left + i - ox, pw)) * 3;
      if (keyed && Pixel24ToColor(s) == key) continue;
      MoveToward(p, s[0], s[1], s[2], wt[i]);
    }
  }
}

void RetouchDab(TBitmap& bmp, int x, int y, TRect rect, int mode, int strength, int radius) {
  if (mode < 0 || mode > 4) return;
  TDab dab;
  if (!dab.Init(bmp, x, y, rect, strength, radius, 4)) return;
  uint8_t curve[256];
  if (mode <= 1) {
    const double e = mode == 0 ? 1.13 : 0.88;
    for (int v = 0; v < 256; ++v) curve[v] = ClampByte(RoundHalfEven(std::pow(v / 255.0, e) * 255.0));
  }
  const TRect box = dab.Box();
  for (int py = box.Top; py < box.Bottom; ++py) {
    const int* wt = dab.Row(py);
    uint8_t* p = bmp.ScanLine(py) + ptrdiff_t(box.Left) * 3;
    for (int i = 0; i < box.Width(); ++i, p += 3) {
      if (wt[i] <= 0) continue;
      int t[3] = {p[0], p[1], p[2]};
      const int lum = Luminance(p[0], p[1], p[2]);
      switch (mode) {
        case 0:
        case 1:
          for (int& v : t) v = curve[v];
          break;
        case 2:
          for (int& v : t) v = ClampByte(RoundHalfEven(v + (v - lum) * -0.2));
          break;
        case 3:
          for (int& v : t) v = ClampByte(RoundHalfEven(v + (v - lum) * 0.1));
          break;
        default:
          if (double(p[2]) / (p[0] + 1) >= 1.33 && double(p[2]) / (p[1] + 1) >= 1.33)
            t[2] = ClampByte(RoundHalfEven(lum * 0.69));
          break;
      }
      MoveToward(p, t[0], t[1], t[2], wt[i]);
    }
  }
}

}  // namespace qm
