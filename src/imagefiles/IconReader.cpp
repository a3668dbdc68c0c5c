#include "imagefiles/IconReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PngCodec.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Stream.h"

namespace qm {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
constexpr size_t kDirectorySize = 6, kEntrySize = 16, kMinInfoHeader = 40;

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }
uint32_t Get32BE(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// One picture of the icon, as its own header describes it.
struct TEntry {
  const uint8_t* data = nullptr;  // its first byte
  size_t size = 0;                // the bytes from there to the end of the file
  bool png = false;
  int64_t width = 0, height = 0;
  int bits = 0;
  bool topDown = false;
  uint32_t headerSize = 0, colors = 0;  // bitmaps: information header, palette entries
};

// Reads the header of the picture at offset; false when it is none we read.
bool ReadEntry(const uint8_t* file, size_t fileSize, uint64_t offset, int directoryHeight, TEntry& e) {
  if (offset >= fileSize) return false;
  e.data = file + offset;
  e.size = fileSize - size_t(offset);
  const uint8_t* p = e.data;
  if (e.size >= 24 && std::memcmp(p, kPngSignature, 8) == 0 && std::memcmp(p + 12, "IHDR", 4) == 0) {
    e.png = true;
    e.width = Get32BE(p + 16);
    e.height = Get32BE(p + 20);
    e.bits = 32;
    return e.width >= 1 && e.height >= 1;
  }
  if (e.size < kMinInfoHeader) return false;
  e.headerSize = Get32(p);
  const int32_t w = int32_t(Get32(p + 4)), h = int32_t(Get32(p + 8));
  e.bits = int(Get16(p + 14));
  const uint32_t compression = Get32(p + 16);
  if (e.headerSize < kMinInfoHeader || e.headerSize > e.size || compression != 0) return false;
  if (e.bits != 1 && e.bits != 4 && e.bits != 8 && e.bits != 24 && e.bits != 32) return false;
  if (w < 1 || h == 0 || h == INT32_MIN) return false;
  e.width = w;
  e.topDown = h < 0;
  const int64_t rows = h < 0 ? -int64_t(h) : h;
  // The colour rows and the mask rows count twice in the header's height, unless it
  // is the directory's height already.
  e.height = rows == directoryHeight ? rows : rows / 2;
  if (e.bits <= 8) {
    const uint32_t used = Get32(p + 32), all = 1u << e.bits;
    e.colors = used > 0 && used < all ? used : all;
  }
  return e.height >= 1;
}

void ReadPngEntry(const TEntry& e, TBitmap& out, const TDecodeOptions& options) {
  options.Limit.Check(e.width, e.height, 32);
  TBytesStream s(e.data, e.size);
  TPngImage png;
  try {
    ReadPngStream(s, png);
  } catch (const EStreamError&) {
    throw EInvalidGraphic("icon: damaged PNG picture");
  }
  TBitmap bmp;
  png.ToBitmap(bmp);
  if (bmp.Empty()) throw EInvalidGraphic("icon: damaged PNG picture");
  bmp.SetPixelFormat(pf32bit);
  out = std::move(bmp);
}

void ReadBitmapEntry(const TEntry& e, TBitmap& out, const TDecodeOptions& options) {
  const int w = int(std::min<int64_t>(e.width, kMaxBitmapSide)), h = int(std::min<int64_t>(e.height, kMaxBitmapSide));
  options.Limit.Check(e.width, e.height, 32);
  const size_t colorStride = (size_t(w) * size_t(e.bits) + 31) / 32 * 4, maskStride = (size_t(w) + 31) / 32 * 4;
  const size_t pixelsAt = size_t(e.headerSize) + size_t(e.colors) * 4;
  const size_t colorEnd = pixelsAt + colorStride * size_t(h), maskEnd = colorEnd + maskStride * size_t(h);
  if (colorEnd > e.size) throw EInvalidGraphic("icon: the picture ends early");
  const bool hasMask = maskEnd <= e.size;

  uint8_t palette[256][4] = {};
  std::memcpy(palette, e.data + e.headerSize, size_t(e.colors) * 4);
  // File row of picture row y: the rows are stored from the bottom unless the height
  // is negative.
  auto fileRow = [&](int y) { return size_t(e.topDown ? y : h - 1 - y); };
  TBitmap bmp = TBitmap::Uninitialized(w, h, pf32bit);  // rows of 4-byte pixels: no padding
  bool alpha = false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = e.data + pixelsAt + fileRow(y) * colorStride;
    uint8_t* d = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x, d += 4) {
      if (e.bits == 32) {
        std::memcpy(d, s + 4 * x, 4);
        alpha |= d[3] != 0;
        continue;
      }
      if (e.bits == 24) {
        std::memcpy(d, s + 3 * x, 3);
      } else {
        const unsigned index = e.bits == 8   ? s[x]
                               : e.bits == 4 ? (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                             : (s[x >> 3] >> (7 - (x & 7))) & 1;
        // an index beyond the palette reads as black
        if (index < e.colors) std::memcpy(d, palette[index], 3);
        else d[0] = d[1] = d[2] = 0;
      }
      d[3] = 255;
    }
  }
  // A 32-bit picture without any alpha is from before alpha icons: its mask says.
  if (!alpha) {
    if (!hasMask) throw EInvalidGraphic("icon: the mask ends early");
    for (int y = 0; y < h; ++y) {
      const uint8_t* m = e.data + colorEnd + fileRow(y) * maskStride;
      uint8_t* d = bmp.ScanLine(y);
      for (int x = 0; x < w; ++x) d[4 * x + 3] = (m[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
    }
  }
  out = std::move(bmp);
}

}  // namespace

void ReadIconMemory(const uint8_t* data, size_t size, TBitmap& out, int* sourceColors,
                    const TDecodeOptions& options) {
  if (!data || size < kDirectorySize || Get16(data) != 0 || (Get16(data + 2) != 1 && Get16(data + 2) != 2))
    throw EInvalidGraphic("not an icon");
  const size_t count = Get16(data + 4);
  if (count == 0 || kDirectorySize + count * kEntrySize > size) throw EInvalidGraphic("icon: damaged directory");
  TEntry best;
  bool found = false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* d = data + kDirectorySize + i * kEntrySize;
    TEntry e;
    if (!ReadEntry(data, size, Get32(d + 12), d[1] == 0 ? 256 : d[1], e)) continue;
    const auto key = [](const TEntry& t) { return std::pair(uint64_t(t.width) * uint64_t(t.height), t.bits); };
    if (!found || key(e) > key(best)) best = e;
    found = true;
  }
  if (!found) throw EInvalidGraphic("icon: no picture it holds can be read");
  TBitmap bmp;
  if (best.png) ReadPngEntry(best, bmp, options);
  else ReadBitmapEntry(best, bmp, options);
  if (sourceColors) *sourceColors = best.bits <= 1 ? 2 : best.bits <= 4 ? 16 : best.bits <= 8 ? 256 : 16777216;
  out = std::move(bmp);
}

void ReadIconFile(const std::string& fileName, TBitmap& out, int* sourceColors, const TDecodeOptions& options) {
  // Icons are small; a file of more than 256 MB is none.
  const std::vector<uint8_t> data = ReadWholeFile(fileName, uint64_t(256) << 20);
  ReadIconMemory(data.data(), data.size(), out, sourceColors, options);
}

}  // namespace qm
