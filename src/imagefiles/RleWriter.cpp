#include "imagefiles/RleWriter.h"

#include <algorithm>

#include "pixel/PixelFormat.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

constexpr int kMaxRun = 255;

// One row. Runs of two or more equal indices are encoded runs; between them, stretches
// of at least three indices go in absolute mode (a run of three or more ends such a
// stretch, a pair stays in it), shorter ones as runs of one.
void EncodeRow(const uint8_t* p, int w, std::vector<uint8_t>& out) {
  int i = 0;
  while (i < w) {
    const uint8_t v = p[i];
    int j = i + 1;
    while (j < w && p[j] == v && j - i < kMaxRun) ++j;
    if (j - i >= 2) {
      out.push_back(uint8_t(j - i));
      out.push_back(v);
      i = j;
      continue;
    }
    int k = i + 1;
    while (k < w && k - i < kMaxRun && !(k + 2 < w && p[k] == p[k + 1] && p[k] == p[k + 2])) ++k;
    const int n = k - i;
    if (n >= 3) {
      out.push_back(0);
      out.push_back(uint8_t(n));
      out.insert(out.end(), p + i, p + k);
      if (n & 1) out.push_back(0);
    } else {
      for (int x = i; x < k; ++x) {
        out.push_back(1);
        out.push_back(p[x]);
      }
    }
    i = k;
  }
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeRle8(const TBitmap& bmp) {
  std::vector<uint8_t> out;
  if (bmp.Empty() || bmp.PixelFormat() != pf8bit) return out;
  const int w = bmp.Width(), h = bmp.Height();
  // Bands of rows, each encoded into its own buffer; 64 rows keep the buffers few and
  // the threads evenly loaded.
  constexpr int kBandRows = 64;
  const int bands = (h + kBandRows - 1) / kBandRows;
  std::vector<std::vector<uint8_t>> parts(static_cast<size_t>(bands));
  ParallelRows(0, bands, int64_t(w) * h, [&](int b0, int b1) {
    for (int b = b0; b < b1; ++b) {
      std::vector<uint8_t>& part = parts[size_t(b)];
      part.reserve(size_t(w) * kBandRows / 2);
      for (int r = b * kBandRows; r < std::min(h, (b + 1) * kBandRows); ++r) {
        EncodeRow(bmp.ScanLine(h - 1 - r), w, part);  // the bottom row first
        part.push_back(0);
        part.push_back(r == h - 1 ? 1 : 0);  // end of bitmap after the last row
      }
    }
  });
  size_t total = 0;
  for (const auto& p : parts) total += p.size();
  out.reserve(total);
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

void WriteRleBitmap(const TBitmap& bmp, TStream& s) {
  if (bmp.Empty()) throw EInvalidGraphic("Bitmap vide");
  TBitmap work = bmp.Clone();
  work.Transparent = false;
  if (work.PixelFormat() != pf8bit) ConvertBitmapToIndexed(work, 256, true, true);
  if (work.PixelFormat() != pf8bit) throw EInvalidGraphic("Format de pixels non pris en charge");
  std::vector<TColor> palette = work.Palette();
  if (palette.empty() || palette.size() > 256) palette.resize(256, clBlack);
  const std::vector<uint8_t> data = EncodeRle8(work);
  const uint64_t offset = 54 + 4 * uint64_t(palette.size());
  if (offset + data.size() > 0xFFFFFFFFull) throw EInvalidGraphic("Image trop grande pour un fichier BMP");

  uint8_t head[54] = {'B', 'M'};
  PutLe32(head + 2, uint32_t(offset + data.size()));
  PutLe32(head + 10, uint32_t(offset));
  PutLe32(head + 14, 40);
  PutLe32(head + 18, uint32_t(work.Width()));
  PutLe32(head + 22, uint32_t(work.Height()));
  head[26] = 1;   // planes
  head[28] = 8;   // bits per pixel
  head[30] = 1;   // BI_RLE8
  PutLe32(head + 34, uint32_t(data.size()));
  PutLe32(head + 46, uint32_t(palette.size()));
  s.Write(head, sizeof head);
  std::vector<uint8_t> pal(palette.size() * 4, 0);
  for (size_t i = 0; i < palette.size(); ++i) {
    pal[4 * i] = GetBValue(palette[i]);
    pal[4 * i + 1] = GetGValue(palette[i]);
    pal[4 * i + 2] = GetRValue(palette[i]);
  }
  s.Write(pal.data(), pal.size());
  s.Write(data.data(), data.size());
}

void SaveRleFile(const std::string& fileName, const TBitmap& bmp) {
  if (bmp.Empty()) throw EInvalidGraphic("Bitmap vide");
  TAtomicFileStream f(fileName);
  WriteRleBitmap(bmp, f);
  f.Commit();
}

}  // namespace qm
