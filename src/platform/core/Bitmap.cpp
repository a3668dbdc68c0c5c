#include "platform/core/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define QM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define QM_ASAN 1
#endif
#endif

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "platform/core/Palettes.h"
#include "platform/core/Parallel.h"

namespace qm {

// A photo's pixels are touched page by page the first time a kernel writes them; with
// 4 KB pages that costs more than the kernel itself on many machines (a 24 MP layer is
// some 18,000 faults). Large buffers ask for huge pages where the system hands them
// out on request; the aligned interior is enough, the ends keep small pages.
namespace {
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kHugePagesFrom = size_t(8) << 20;
}  // namespace

void AdviseHugePages([[maybe_unused]] void* p, [[maybe_unused]] size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes < kHugePagesFrom) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // only advice
#endif
}

namespace {

constexpr std::align_val_t kAlign{64};

void DeleteBits(uint8_t* p) { ::operator delete(p, kAlign); }

// Large pixel buffers freed lately, kept for the next bitmap of the same byte size. A
// fresh buffer of tens of megabytes costs the system's clearing of each of its pages
// at the first touch, more than most kernels that then write it, and the same sizes
// come back again and again: a filter's scratch copies and masks, a dialog's preview
// canvases, the undo snapshots of one document are bitmaps of the layer's size made
// and dropped over and over (a 24 MP colour pencils preview spent a fifth of its time
// clearing such pages). What lies idle is bounded; the histories' trimming points give
// it back with their own spare blocks.
class TBitsPool {
 public:
  static constexpr size_t kMinBytes = size_t(8) << 20;
  static constexpr size_t kMaxHeld = size_t(300) << 20;  // four 24 MP layers

  uint8_t* Take(size_t bytes) {
    if (bytes < kMinBytes) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = spare_.size(); i-- > 0;)
      if (spare_[i].second == bytes) {
        uint8_t* p = spare_[i].first;
        spare_.erase(spare_.begin() + ptrdiff_t(i));
        held_ -= bytes;
        Unpoison(p, bytes);
        return p;
      }
    return nullptr;
  }
  void Give(uint8_t* p, size_t bytes) {
    if (bytes < kMinBytes || bytes > kMaxHeld) return DeleteBits(p);
    std::vector<uint8_t*> dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Poison(p, bytes);
      spare_.emplace_back(p, bytes);
      held_ += bytes;
      while (held_ > kMaxHeld) {  // the oldest go first
        dropped.push_back(spare_.front().first);
        Unpoison(spare_.front().first, spare_.front().second);
        held_ -= spare_.front().second;
        spare_.erase(spare_.begin());
      }
    }
    for (uint8_t* d : dropped) DeleteBits(d);
  }
  void Release() {
    std::vector<std::pair<uint8_t*, size_t>> freed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      freed.swap(spare_);
      held_ = 0;
    }
    for (auto& [p, bytes] : freed) {
      Unpoison(p, bytes);
      DeleteBits(p);
    }
  }
  size_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }

 private:
  // Under AddressSanitizer an idle buffer stays out of bounds, as a freed one would.
  static void Poison([[maybe_unused]] uint8_t* p, [[maybe_unused]] size_t bytes) {
#if QM_ASAN
    __asan_poison_memory_region(p, bytes);
#endif
  }
  static void Unpoison([[maybe_unused]] uint8_t* p, [[maybe_unused]] size_t bytes) {
#if QM_ASAN
    __asan_unpoison_memory_region(p, bytes);
#endif
  }

  std::mutex mutex_;
  std::vector<std::pair<uint8_t*, size_t>> spare_;
  size_t held_ = 0;
};

// Never destroyed: bitmaps held by objects that outlive the statics still give their
// buffers back at exit.
TBitsPool& BitsPool() {
  static TBitsPool* pool = new TBitsPool;
  return *pool;
}

uint8_t* AllocateBits(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (uint8_t* spare = BitsPool().Take(bytes)) return spare;
  auto* p = static_cast<uint8_t*>(::operator new(bytes, kAlign));
  AdviseHugePages(p, bytes);
  return p;
}

// bytes: the buffer's size, ByteCount of the bitmap's own size.
void FreeBits(uint8_t* p, size_t bytes) {
  if (p) BitsPool().Give(p, bytes);
}

size_t ByteCount(int width, int height, TPixelFormat pf) {
  if (width == 0 || height == 0) return 0;
  return size_t(TBitmap::StrideFor(width, pf)) * size_t(height);
}

inline int DistanceSq(TColor a, TColor b) {
  int dr = int(GetRValue(a)) - GetRValue(b);
  int dg = int(GetGValue(a)) - GetGValue(b);
  int db = int(GetBValue(a)) - GetBValue(b);
  return dr * dr + dg * dg + db * db;
}

int NearestIndex(const std::vector<TColor>& pal, TColor c) {
  int best = 0, bestD = 1 << 30;
  for (size_t i = 0; i < pal.size(); ++i) {
    int d = DistanceSq(pal[i], c);
    if (d < bestD) {
      bestD = d;
      best = int(i);
      if (d == 0) break;
    }
  }
  return best;
}

// Reads pixel x of a row as an index (indexed formats) or as an RGB colour.
inline TColor ReadRowPixel(const uint8_t* row, int x, TPixelFormat pf, const std::vector<TColor>& pal) {
  switch (pf) {
    case pf1bit: {
      unsigned i = (row[x >> 3] >> (7 - (x & 7))) & 1;
      return i < pal.size() ? pal[i] : 0;
    }
    case pf4bit: {
      unsigned i = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
      return i < pal.size() ? pal[i] : 0;
    }
    case pf8bit: {
      unsigned i = row[x];
      return i < pal.size() ? pal[i] : 0;
    }
    case pf24bit: return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    case pf32bit: return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
  }
  return 0;
}

inline unsigned IndexAt(const uint8_t* row, int x, TPixelFormat pf) {
  switch (pf) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case pf8bit: return row[x];
    default: return 0;
  }
}

inline void WriteRowIndex(uint8_t* row, int x, TPixelFormat pf, unsigned index) {
  switch (pf) {
    case pf1bit: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      if (index & 1) row[x >> 3] |= bit; else row[x >> 3] &= uint8_t(~bit);
      break;
    }
    case pf4bit: {
      uint8_t& b = row[x >> 1];
      if (x & 1) b = uint8_t((b & 0xF0) | (index & 0x0F));
      else b = uint8_t((b & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case pf8bit: row[x] = uint8_t(index); break;
    default: break;
  }
}

// Fills columns [x0, x1) of one row with one colour, already resolved to RGB.
void FillRowSpan(uint8_t* row, int x0, int x1, TPixelFormat pf, TColor rgb, int index) {
  switch (pf) {
    case pf24bit: {
      uint8_t b = GetBValue(rgb), g = GetGValue(rgb), r = GetRValue(rgb);
      uint8_t* p = row + ptrdiff_t(x0) * 3;
      if (b == g && g == r) {
        std::memset(p, b, size_t(x1 - x0) * 3);
      } else {
        for (int x = x0; x < x1; ++x, p += 3) {
          p[0] = b;
          p[1] = g;
          p[2] = r;
        }
      }
      break;
    }
    case pf32bit: {
      uint8_t* p = row + ptrdiff_t(x0) * 4;
      for (int x = x0; x < x1; ++x, p += 4) {
        p[0] = GetBValue(rgb);
        p[1] = GetGValue(rgb);
        p[2] = GetRValue(rgb);
        p[3] = 255;
      }
      break;
    }
    case pf8bit: std::memset(row + x0, index, size_t(x1 - x0)); break;
    default:
      for (int x = x0; x < x1; ++x) WriteRowIndex(row, x, pf, unsigned(index));
      break;
  }
}

}  // namespace

const std::vector<TColor>& DefaultPalette(TPixelFormat pf) {
  static const std::vector<TColor> none;
  switch (pf) {
    case pf1bit: return MonochromePalette();
    case pf4bit: return Standard16Palette();
    case pf8bit: return HalftonePalette();
    default: return none;
  }
}

ptrdiff_t TBitmap::StrideFor(int width, TPixelFormat pf) {
  int64_t bits = int64_t(width) * int(pf);
  return ptrdiff_t(((bits + 31) / 32) * 4);
}

TBitmap::TBitmap(int width, int height, TPixelFormat pf, TColor fill) {
  format_ = pf;
  palette_ = DefaultPalette(pf);
  BrushColor = fill;
  SetSize(width, height);
  BrushColor = clWhite;
}

TBitmap TBitmap::Uninitialized(int width, int height, TPixelFormat pf) {
  TBitmap b;
  b.format_ = pf;
  b.palette_ = DefaultPalette(pf);
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width > kMaxBitmapSide || height > kMaxBitmapSide) throw std::length_error("bitmap size out of range");
  b.width_ = width;
  b.height_ = height;
  b.stride_ = StrideFor(width, pf);
  b.bits_ = AllocateBits(ByteCount(width, height, pf));
  return b;
}

void TBitmap::ZeroRowPadding(int y) {
  const size_t used = size_t((int64_t(width_) * format_ + 7) / 8);
  if (y >= 0 && y < height_ && size_t(stride_) > used) std::memset(ScanLine(y) + used, 0, size_t(stride_) - used);
}

TBitmap::TBitmap(TBitmap&& o) noexcept { *this = std::move(o); }

TBitmap& TBitmap::operator=(TBitmap&& o) noexcept {
  if (this != &o) {
    Release();
    width_ = o.width_;
    height_ = o.height_;
    format_ = o.format_;
    stride_ = o.stride_;
    bits_ = o.bits_;
    palette_ = std::move(o.palette_);
    Transparent = o.Transparent;
    TransparentColor = o.TransparentColor;
    BrushColor = o.BrushColor;
    o.bits_ = nullptr;
    o.width_ = o.height_ = 0;
    o.stride_ = 0;
  }
  return *this;
}

TBitmap::~TBitmap() { Release(); }

void TBitmap::Release() {
  FreeBits(bits_, ByteCount(width_, height_, format_));
  bits_ = nullptr;
}

void ReleaseBitmapBufferPool() { BitsPool().Release(); }

size_t PooledBitmapBytes() { return BitsPool().Held(); }

bool TBitmap::Reshape(int width, int height) {
  if (Empty() || width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
  if (ByteCount(width, height, format_) != ByteCount(width_, height_, format_)) return false;
  width_ = width;
  height_ = height;
  stride_ = StrideFor(width, format_);
  return true;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width > kMaxBitmapSide || height > kMaxBitmapSide)
    throw std::length_error("bitmap size out of range");
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    Release();
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width, format_);
    return;
  }
  ptrdiff_t stride = StrideFor(width, format_);
  uint8_t* bits = AllocateBits(ByteCount(width, height, format_));
  if (palette_.empty()) palette_ = DefaultPalette(format_);
  TColor rgb = ColorToRGB(BrushColor) & 0xFFFFFF;
  int index = format_ <= pf8bit ? NearestIndex(palette_, rgb) : 0;
  int keepW = std::min(width, width_), keepH = std::min(height, height_);
  // Rows are written by several threads: a fresh 24 MP bitmap is mostly the cost of
  // touching its pages for the first time, which one thread does at a third the speed.
  const uint8_t* old = bits_;
  const ptrdiff_t oldStride = stride_;
  const TPixelFormat pf = format_;
  ParallelRows(0, height, int64_t(width) * height, [&](int y0, int y1) {
    const uint8_t* filledRow = nullptr;  // a row of this band already filled with the brush
    for (int y = y0; y < y1; ++y) {
      uint8_t* row = bits + ptrdiff_t(y) * stride;
      if (y < keepH && keepW > 0) {
        const uint8_t* src = old + ptrdiff_t(y) * oldStride;
        std::memset(row, 0, size_t(stride));
        // whole bytes first; pixels of a partly kept byte are copied one by one
        std::memcpy(row, src, size_t(int64_t(keepW) * pf / 8));
        if (pf < pf8bit) {
          for (int x = int(int64_t(keepW) * pf / 8 * 8 / pf); x < keepW; ++x)
            WriteRowIndex(row, x, pf, IndexAt(src, x, pf));
        }
        FillRowSpan(row, keepW, width, pf, rgb, index);
      } else if (filledRow) {
        std::memcpy(row, filledRow, size_t(stride));
      } else {
        std::memset(row, 0, size_t(stride));
        FillRowSpan(row, 0, width, pf, rgb, index);
        filledRow = row;
      }
    }
  });
  Release();
  bits_ = bits;
  width_ = width;
  height_ = height;
  stride_ = stride;
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
  if (pf == format_) return;
  TBitmap out;
  out.format_ = pf;
  out.palette_ = (pf <= pf8bit) ? DefaultPalette(pf) : std::vector<TColor>{};
  out.Transparent = Transparent;
  out.TransparentColor = TransparentColor;
  out.BrushColor = BrushColor;
  if (!Empty()) {
    out.width_ = width_;
    out.height_ = height_;
    out.stride_ = StrideFor(width_, pf);
    out.bits_ = AllocateBits(ByteCount(width_, height_, pf));
    std::unordered_map<TColor, int> cache;
    for (int y = 0; y < height_; ++y) {
      const uint8_t* s = ScanLine(y);
      uint8_t* d = out.ScanLine(y);
      std::memset(d, 0, size_t(out.stride_));
      if (format_ == pf24bit && pf == pf32bit) {
        for (int x = 0; x < width_; ++x) {
          d[x * 4] = s[x * 3];
          d[x * 4 + 1] = s[x * 3 + 1];
          d[x * 4 + 2] = s[x * 3 + 2];
          d[x * 4 + 3] = 255;
        }
        continue;
      }
      for (int x = 0; x < width_; ++x) {
        TColor c = ReadRowPixel(s, x, format_, palette_);
        if (pf == pf24bit) {
          d[x * 3] = GetBValue(c);
          d[x * 3 + 1] = GetGValue(c);
          d[x * 3 + 2] = GetRValue(c);
        } else if (pf == pf32bit) {
          d[x * 4] = GetBValue(c);
          d[x * 4 + 1] = GetGValue(c);
          d[x * 4 + 2] = GetRValue(c);
          d[x * 4 + 3] = 255;
        } else {
          auto it = cache.find(c);
          int idx;
          if (it != cache.end()) {
            idx = it->second;
          } else {
            idx = NearestIndex(out.palette_, c);
            cache.emplace(c, idx);
          }
          WriteRowIndex(d, x, pf, unsigned(idx));
        }
      }
    }
  } else {
    out.width_ = width_;
    out.height_ = height_;
    out.stride_ = StrideFor(width_, pf);
  }
  *this = std::move(out);
}

void TBitmap::Assign(const TBitmap& src) {
  if (&src == this) return;
  // A buffer of the same byte size is written over: its pages are mapped already, and
  // a fresh one's first touch costs more than the copy.
  const size_t n = ByteCount(src.width_, src.height_, src.format_);
  if (!bits_ || n != ByteCount(width_, height_, format_)) {
    Release();
    bits_ = AllocateBits(n);
  }
  width_ = src.width_;
  height_ = src.height_;
  format_ = src.format_;
  stride_ = src.stride_;
  palette_ = src.palette_;
  Transparent = src.Transparent;
  TransparentColor = src.TransparentColor;
  BrushColor = src.BrushColor;
  // in row bands over the threads: copying a whole layer is what an undo snapshot costs
  uint8_t* d = bits_;
  const uint8_t* s = src.bits_;
  const ptrdiff_t stride = stride_;
  ParallelRows(0, height_, int64_t(width_) * height_, [&](int y0, int y1) {
    std::memcpy(d + y0 * stride, s + y0 * stride, size_t(y1 - y0) * size_t(stride));
  });
}

TBitmap TBitmap::Clone() const {
  TBitmap b;
  b.Assign(*this);
  return b;
}

void TBitmap::SetPalette(std::vector<TColor> colors) {
  for (auto& c : colors) c = ColorToRGB(c) & 0xFFFFFF;
  palette_ = std::move(colors);
}

int TBitmap::NearestPaletteIndex(TColor c) const {
  const auto& pal = palette_.empty() ? DefaultPalette(format_) : palette_;
  if (pal.empty()) return 0;
  return NearestIndex(pal, ColorToRGB(c) & 0xFFFFFF);
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clInvalid;
  return ReadRowPixel(ScanLine(y), x, format_, palette_);
}

void TBitmap::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* row = ScanLine(y);
  TColor rgb = ColorToRGB(c);
  switch (format_) {
    case pf24bit:
      ColorToPixel24(rgb, row + ptrdiff_t(x) * 3);
      break;
    case pf32bit:
      ColorToPixel24(rgb, row + ptrdiff_t(x) * 4);
      break;
    default:
      WriteRowIndex(row, x, format_, unsigned(NearestPaletteIndex(rgb)));
      break;
  }
}

unsigned TBitmap::GetPixelIndex(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return IndexAt(ScanLine(y), x, format_);
}

void TBitmap::SetPixelIndex(int x, int y, unsigned index) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WriteRowIndex(ScanLine(y), x, format_, index);
}

void TBitmap::FillRect(const TRect& r, TColor c) {
  TRect rc = IntersectRect(r, TRect{0, 0, width_, height_});
  if (rc.IsEmpty()) return;
  TColor rgb = ColorToRGB(c) & 0xFFFFFF;
  int index = format_ <= pf8bit ? NearestPaletteIndex(rgb) : 0;
  for (int y = rc.Top; y < rc.Bottom; ++y) FillRowSpan(ScanLine(y), rc.Left, rc.Right, format_, rgb, index);
}

TColor TBitmap::EffectiveTransparentColor() const {
  if (TransparentColor != clNone) return TransparentColor;
  if (Empty()) return clNone;
  return GetPixel(0, height_ - 1);
}

bool SamePixels24(const TBitmap& a, const TBitmap& b) {
  if (a.PixelFormat() != pf24bit || b.PixelFormat() != pf24bit) return false;
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  size_t n = size_t(a.Width()) * 3;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), n) != 0) return false;
  return true;
}

}  // namespace qm
