#include "imagefiles/RunLengthChecks.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/core/Exceptions.h"

namespace qm {

namespace {

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | uint32_t(p[1]); }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

std::string N(uint64_t v) { return std::to_string(v); }

// BITMAPINFOHEADER and its successors; the 12-byte OS/2 header has no compression.
// Pairs of bytes: a count and a colour, or 0 and an escape: 0 ends the row, 1 the
// picture, 2 moves right and up by the next two bytes, 3 and more is that many
// literal pixels, padded to a 16-bit boundary.
void CheckBmpRuns(const uint8_t* d, size_t size) {
  if (size < 14 + 40 || d[0] != 'B' || d[1] != 'M') return;
  const uint32_t headerSize = Le32(d + 14);
  if (headerSize < 40 || headerSize > size - 14) return;
  const int64_t width = int32_t(Le32(d + 18)), storedHeight = int32_t(Le32(d + 22));
  const int64_t height = storedHeight < 0 ? -storedHeight : storedHeight;
  const uint32_t bits = Le16(d + 28), compression = Le32(d + 30);
  const bool rle8 = compression == 1 && bits == 8, rle4 = compression == 2 && bits == 4;
  if ((!rle8 && !rle4) || width < 1 || height < 1) return;
  // Writers that code the stored rows whole (GraphicsMagick's) code their padding to
  // 32 bits too, which readers drop: a row holds that much, and not a pixel more.
  const int64_t room = rle8 ? (width + 3) / 4 * 4 : (width + 7) / 8 * 8;
  const uint64_t start = std::max<uint64_t>(Le32(d + 10), 14 + uint64_t(headerSize));
  if (start >= size) throw EInvalidGraphic("BMP: the file ends before its pixels");
  int64_t x = 0, y = 0;
  auto fail = [&](const std::string& what) {
    throw EInvalidGraphic("BMP: " + what + " at column " + N(uint64_t(x)) + " of row " + N(uint64_t(y)) +
                          ", in a picture of " + N(uint64_t(width)) + " x " + N(uint64_t(height)) + " pixels");
  };
  const uint8_t* p = d + start;
  const uint8_t* const end = d + size;
  while (end - p >= 2) {
    const unsigned count = p[0], code = p[1];
    p += 2;
    if (count > 0) {
      if (y >= height || x + count > room) fail("a run of " + N(count) + " pixels overruns its row");
      x += count;
    } else if (code == 0) {
      x = 0;
      ++y;
    } else if (code == 1) {
      return;
    } else if (code == 2) {
      if (end - p < 2) break;
      if (x + p[0] > room || y + p[1] > height) fail("a move leaves the picture");
      x += p[0];
      y += p[1];
      p += 2;
    } else {
      const size_t bytes = rle8 ? code : (code + 1) / 2;
      if (y >= height || x + code > room) fail(N(code) + " literal pixels overrun their row");
      if (size_t(end - p) < bytes) break;
      p += std::min(size_t(end - p), (bytes + 1) & ~size_t(1));
      x += code;
    }
  }
  // Without its end-of-picture mark the data must still have filled the last row.
  if (y < height - 1 || (y == height - 1 && x < width))
    fail("the data ends before the end of the picture");
}

// The 512-byte header (magic 474, storage 1 for run-length, bytes per channel, the
// dimension, then width, height and channels, big-endian), the table of the rows'
// offsets and the table of their lengths, a row per line of each channel. A row is
// packets of one value (two bytes at 2 bytes per channel, the count in the low byte):
// the low 7 bits count pixels, the high bit says they follow literally, else one value
// is repeated; a count of 0 ends the row.
void CheckSgiRuns(const uint8_t* d, size_t size) {
  constexpr size_t kHeader = 512;
  if (size < kHeader || Be16(d) != 474 || d[2] != 1) return;
  const size_t bpc = d[3];
  if (bpc != 1 && bpc != 2) return;
  const uint64_t width = Be16(d + 6), rows = uint64_t(Be16(d + 8)) * Be16(d + 10);
  if (width == 0 || rows == 0) return;
  if (kHeader + 8 * rows > size)
    throw EInvalidGraphic("SGI: the tables of " + N(rows) + " rows go beyond the end of the file");
  for (uint64_t r = 0; r < rows; ++r) {
    const uint64_t start = Be32(d + kHeader + 4 * r), length = Be32(d + kHeader + 4 * (rows + r));
    if (start + length > size) throw EInvalidGraphic("SGI: row " + N(r) + " goes beyond the end of the file");
    const uint8_t* p = d + start;
    const uint8_t* const end = p + length;
    uint64_t pixels = 0;
    while (size_t(end - p) >= bpc) {
      const unsigned packet = p[bpc - 1];
      p += bpc;
      const unsigned count = packet & 0x7F;
      if (count == 0) break;
      const size_t bytes = (packet & 0x80) ? count * bpc : bpc;
      if (size_t(end - p) < bytes) throw EInvalidGraphic("SGI: row " + N(r) + " ends inside a run");
      p += bytes;
      pixels += count;
      if (pixels > width) break;
    }
    if (pixels != width)
      throw EInvalidGraphic("SGI: row " + N(r) + " holds " + (pixels > width ? "more than " + N(width) : N(pixels)) +
                            " pixels, in a picture " + N(width) + " pixels wide");
  }
}

}  // namespace

void CheckRunLengths(const uint8_t* data, size_t size, const char* coder) {
  if (!data || !coder) return;
  if (std::strcmp(coder, "BMP") == 0) CheckBmpRuns(data, size);
  if (std::strcmp(coder, "SGI") == 0) CheckSgiRuns(data, size);
}

}  // namespace qm
