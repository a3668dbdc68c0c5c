#include "devices/VornelTwainUtils.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "imagefiles/PictureLimit.h"
#include "platform/texts/Format.h"

namespace qm {

using namespace twain;

void TPointerList::SetCapacity(int capacity) {
  if (capacity < 1 || capacity < Count()) return;
  capacity_ = capacity;
  items_.reserve(size_t(capacity));
}

void TPointerList::Add(void* p) {
  if (Count() == capacity_) SetCapacity(capacity_ + growth_);
  items_.push_back(p);
}

void* TPointerList::Get(int index) const { return index >= 0 && index < Count() ? items_[size_t(index)] : nullptr; }

void TPointerList::Put(int index, void* p) {
  if (index >= 0 && index < Count()) items_[size_t(index)] = p;
}

void TPointerList::Clear() {
  items_.clear();
  capacity_ = growth_;
}

double Fix32ToFloat(const TW_FIX32& v) { return double(v.Whole) + double(v.Frac) / 65536.0; }

TW_FIX32 FloatToFix32(double v) {
  const double clamped = std::clamp(v, -32768.0, 32767.0 + 65535.0 / 65536.0);
  const long scaled = std::lround(clamped * 65536.0);
  TW_FIX32 r;
  r.Whole = TW_INT16(scaled >> 16);  // arithmetic shift: the floor, as the fraction is unsigned
  r.Frac = TW_UINT16(scaled & 0xFFFF);
  return r;
}

std::string Fix32ToText(const TW_FIX32& v) { return Format("%g", {Fix32ToFloat(v)}); }

bool TwainFileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

const char* const kTwainManagerFileName = "twain_32.so";

std::string DefaultTwainLibraryFolder() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return {};
  exe[n] = 0;
  const std::filesystem::path dir = std::filesystem::path(exe).parent_path();
  if (TwainFileExists((dir / kTwainManagerFileName).string())) return dir.string();
  return (dir.parent_path() / "lib" / "quillomatic").string();
}

bool TwainImageFits(const TW_IMAGEINFO& info) {
  const int64_t w = info.ImageWidth, h = info.ImageLength;
  const int bpp = info.BitsPerPixel;
  const bool depth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32;
  return w >= 1 && h >= 1 && w <= kMaxBitmapSide && h <= kMaxBitmapSide &&
         uint64_t(w) * uint64_t(h) <= kMaxPicturePixels && depth && (info.PixelType != TWPT_RGB || bpp == 24) &&
         info.Compression == TWCP_NONE;
}

void CopySwapRedBlue(uint8_t* dst, const uint8_t* src, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t r = src[3 * i], g = src[3 * i + 1], b = src[3 * i + 2];
    dst[3 * i] = b;
    dst[3 * i + 1] = g;
    dst[3 * i + 2] = r;
  }
}

int AssembleTwainStrip(TBitmap& bmp, const TW_IMAGEMEMXFER& strip, const uint8_t* buffer, size_t bufferSize,
                       int nextRow, bool swapRedBlue, std::vector<uint8_t>& rowsWritten) {
  if (bmp.Empty() || !buffer) return nextRow;
  if (rowsWritten.size() != size_t(bmp.Height())) rowsWritten.assign(size_t(bmp.Height()), 0);
  const int bpp = int(bmp.PixelFormat());
  const size_t rowBytes = (size_t(bmp.Width()) * size_t(bpp) + 7) / 8;
  const size_t written = std::min<size_t>(strip.BytesWritten, bufferSize);
  size_t pitch = strip.BytesPerRow;
  size_t firstRow = strip.YOffset;
  size_t xByte = 0, spanBytes = rowBytes;
  if (pitch == 0 || pitch == TWON_DONTCARE32) {
    // No geometry: whole rows of the bitmap's stride, in arrival order.
    pitch = size_t(bmp.Stride());
    firstRow = size_t(std::max(nextRow, 0));
  } else {
    if (strip.XOffset != TWON_DONTCARE32 && strip.XOffset != 0) {
      if ((uint64_t(strip.XOffset) * bpp) % 8 != 0) return nextRow;  // columns that start inside a byte
      xByte = size_t(uint64_t(strip.XOffset) * bpp / 8);
      if (xByte >= rowBytes) return nextRow;
    }
    spanBytes = rowBytes - xByte;
    if (strip.Columns != TWON_DONTCARE32 && strip.Columns != 0)
      spanBytes = std::min(spanBytes, size_t((uint64_t(strip.Columns) * bpp + 7) / 8));
    if (firstRow == TWON_DONTCARE32) firstRow = size_t(std::max(nextRow, 0));
  }
  size_t rows = written / pitch;
  if (strip.BytesPerRow != 0 && strip.BytesPerRow != TWON_DONTCARE32 && strip.Rows != TWON_DONTCARE32)
    rows = std::min<size_t>(rows, strip.Rows);
  spanBytes = std::min(spanBytes, pitch);
  if (firstRow >= size_t(bmp.Height())) return nextRow;
  rows = std::min(rows, size_t(bmp.Height()) - firstRow);
  const bool swap = swapRedBlue && bpp == 24 && xByte % 3 == 0;
  // The bits of the last byte beyond the image stay clear.
  const unsigned tailBits = unsigned(size_t(bmp.Width()) * size_t(bpp) % 8);
  const bool maskTail = tailBits != 0 && xByte + spanBytes == rowBytes;
  const bool partial = xByte != 0 || xByte + spanBytes < rowBytes;
  const size_t stride = size_t(bmp.Stride());
  for (size_t r = 0; r < rows; ++r) {
    uint8_t* row = bmp.ScanLine(int(firstRow + r));
    if (!rowsWritten[firstRow + r]) {
      // A row's first write: what it does not cover is cleared, padding included.
      if (partial)
        std::memset(row, 0, stride);
      else
        std::memset(row + rowBytes, 0, stride - rowBytes);
      rowsWritten[firstRow + r] = 1;
    }
    uint8_t* dst = row + xByte;
    const uint8_t* src = buffer + r * pitch;
    if (swap)
      CopySwapRedBlue(dst, src, spanBytes / 3);
    else
      std::memcpy(dst, src, spanBytes);
    if (maskTail) dst[spanBytes - 1] &= uint8_t(0xFF << (8 - tailBits));
  }
  return rows ? std::max(nextRow, int(firstRow + rows)) : nextRow;
}

void ClearUnwrittenRows(TBitmap& bmp, const std::vector<uint8_t>& rowsWritten) {
  for (int y = 0; y < bmp.Height(); ++y)
    if (size_t(y) >= rowsWritten.size() || !rowsWritten[size_t(y)]) std::memset(bmp.ScanLine(y), 0, size_t(bmp.Stride()));
}

bool DibToBitmap(const uint8_t* dib, size_t size, TBitmap& out) {
  out = TBitmap();
  if (!dib || size < sizeof(TDibInfoHeader)) return false;
  TDibInfoHeader h;
  std::memcpy(&h, dib, sizeof h);
  if (h.biSize < sizeof(TDibInfoHeader) || h.biSize > size || h.biCompression != 0) return false;
  const int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  const int64_t width = h.biWidth, height = std::llabs(int64_t(h.biHeight));
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      uint64_t(width) * uint64_t(height) > kMaxPicturePixels)
    return false;
  size_t colours = 0;
  if (bpp <= 8) colours = h.biClrUsed ? h.biClrUsed : (size_t(1) << bpp);
  if (colours > 256) return false;
  const size_t stride = size_t((width * bpp + 31) / 32) * 4;
  const size_t offset = h.biSize + colours * 4;
  if (offset > size || (size - offset) / stride < size_t(height)) return false;
  const TPixelFormat pf = TPixelFormat(bpp);
  out = TBitmap(int(width), int(height), pf);
  if (colours) {
    std::vector<TColor> palette(colours);
    const uint8_t* table = dib + h.biSize;
    for (size_t i = 0; i < colours; ++i) palette[i] = RGB(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
    out.SetPalette(std::move(palette));
  }
  const size_t rowBytes = std::min(stride, size_t(out.Stride()));
  const bool bottomUp = h.biHeight > 0;
  for (int y = 0; y < int(height); ++y) {
    const uint8_t* src = dib + offset + size_t(bottomUp ? height - 1 - y : y) * stride;
    std::memcpy(out.ScanLine(y), src, rowBytes);
  }
  return true;
}

}  // namespace qm
