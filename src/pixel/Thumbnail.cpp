#include "pixel/Thumbnail.h"

#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"
#include "pixel/RectUtils.h"
#include "pixel/Shadow.h"
#include "platform/core/Canvas.h"
#include "platform/core/Parallel.h"

#include <algorithm>
#include <vector>

namespace qm {

void DrawThumbnail(const TBitmap& source, TBitmap& target, TColor cellColor, int margin, int shadowWidth,
                   TColor surroundColor, bool smooth, TRect& imageRect) {
  imageRect = TRect{};
  TBitmapCanvas canvas(target);
  TRect cell{0, 0, target.Width(), target.Height()};
  if (shadowWidth > 0) {
    canvas.FillRect(cell, surroundColor);
    cell.Right -= shadowWidth;
    cell.Bottom -= shadowWidth;
    DrawCanvasShadow(canvas, cell, shadowWidth, 70, surroundColor, true, false);
  }
  canvas.FillRect(cell, cellColor);
  if (shadowWidth > 0) {
    // a one-pixel raised frame: light on the top and left, dark on the right and bottom
    const TColor light = 0xCCCCCC, dark = 0x555555;
    canvas.FillRect(TRect{cell.Left, cell.Top, cell.Right - 1, cell.Top + 1}, light);
    canvas.FillRect(TRect{cell.Left, cell.Top, cell.Left + 1, cell.Bottom - 1}, light);
    canvas.FillRect(TRect{cell.Right - 1, cell.Top, cell.Right, cell.Bottom}, dark);
    canvas.FillRect(TRect{cell.Left, cell.Bottom - 1, cell.Right, cell.Bottom}, dark);
    cell = TRect{cell.Left + 1, cell.Top + 1, cell.Right - 1, cell.Bottom - 1};
  }
  if (margin > 0) cell = TRect{cell.Left + margin, cell.Top + margin, cell.Right - margin, cell.Bottom - margin};
  TImageZoom zoom;
  zoom.SetAlignment(alCenter);
  zoom.SetBitmap(&source);
  zoom.SetTarget(&canvas);
  zoom.SetViewRect(cell);
  zoom.SetFitMode(fmFitWhole);
  if (zoom.Zoom() > 1.0) zoom.SetFitMode(fmActualSize);
  zoom.Halftone = smooth;
  zoom.DrawTo(false, imageRect);
}

void ReduceForThumbnail(const TBitmap& src, TRect srcRect, TBitmap& dst, int rowsPerPixel, TColor key,
                        TBitmap* keyMask) {
  if (src.PixelFormat() != pf24bit || dst.PixelFormat() != pf24bit || dst.Empty()) return;
  ClipRectToBitmap(srcRect, src);
  const int W = srcRect.Width(), H = srcRect.Height(), w = dst.Width(), h = dst.Height();
  if (w > W || h > H || rowsPerPixel < 1) return;
  const bool keyed = key != clNone;
  if (keyed && keyMask) *keyMask = TBitmap(w, h, pf24bit, clBlack);
  std::vector<int> edge(size_t(w) + 1);
  for (int i = 0; i <= w; ++i) edge[size_t(i)] = srcRect.Left + int(int64_t(i) * W / w);
  const TColor k = ColorToRGB(key);
  const uint8_t kb = GetBValue(k), kg = GetGValue(k), kr = GetRValue(k);
  const int64_t work = int64_t(h) * std::min(rowsPerPixel, H / h + 1) * W;
  ParallelRows(0, h, work, [&](int y0, int y1) {
    // per destination column: channel sums and, with a key, how many pixels counted
    // (64 bits: a block may span a whole side of the largest bitmap on many rows)
    std::vector<uint64_t> sum(size_t(w) * 3), counted(static_cast<size_t>(w));
    for (int y = y0; y < y1; ++y) {
      const int top = int(int64_t(y) * H / h), band = int(int64_t(y + 1) * H / h) - top;
      const int n = std::min(rowsPerPixel, band);
      std::fill(sum.begin(), sum.end(), 0);
      std::fill(counted.begin(), counted.end(), 0);
      for (int r = 0; r < n; ++r) {
        const uint8_t* s = src.ScanLine(srcRect.Top + top + int((int64_t(2 * r + 1) * band) / (2 * n)));
        for (int i = 0; i < w; ++i) {
          const uint8_t* p = s + ptrdiff_t(edge[size_t(i)]) * 3;
          const uint8_t* end = s + ptrdiff_t(edge[size_t(i) + 1]) * 3;
          uint32_t b = 0, g = 0, rr = 0, c = 0;
          if (!keyed) {
            for (; p < end; p += 3) b += p[0], g += p[1], rr += p[2];
          } else {
            for (; p < end; p += 3) {
              const bool other = p[0] != kb || p[1] != kg || p[2] != kr;
              b += other ? p[0] : 0, g += other ? p[1] : 0, rr += other ? p[2] : 0, c += other;
            }
            counted[size_t(i)] += c;
          }
          sum[size_t(i) * 3] += b, sum[size_t(i) * 3 + 1] += g, sum[size_t(i) * 3 + 2] += rr;
        }
      }
      uint8_t* d = dst.ScanLine(y);
      uint8_t* m = keyed && keyMask ? keyMask->ScanLine(y) : nullptr;
      for (int i = 0; i < w; ++i) {
        const uint64_t read = uint64_t(n) * uint64_t(edge[size_t(i) + 1] - edge[size_t(i)]);
        const uint64_t c = keyed ? counted[size_t(i)] : read;
        if (c == 0) {
          d[3 * i] = kb, d[3 * i + 1] = kg, d[3 * i + 2] = kr;
        } else {
          for (int ch = 0; ch < 3; ++ch) d[3 * i + ch] = uint8_t((sum[size_t(i) * 3 + size_t(ch)] + c / 2) / c);
        }
        if (m) m[3 * i] = m[3 * i + 1] = m[3 * i + 2] = uint8_t((255 * (read - c) + read / 2) / read);
      }
    }
  });
}

}  // namespace qm
