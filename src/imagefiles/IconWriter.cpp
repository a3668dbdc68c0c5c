#include "imagefiles/IconWriter.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "pixel/ColorReduce.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Colors.h"
#include "platform/core/Palettes.h"

namespace qm {

namespace {

bool MaskShows(const TBitmap& mask, int x, int y) {
  if (mask.Empty()) return true;
  return mask.GetPixelIndex(x, y) == 0;
}

bool HasAlpha(const TBitmap& bmp) {
  if (bmp.PixelFormat() != pf32bit) return false;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x)
      if (p[4 * x + 3] != 0) return true;
  }
  return false;
}

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

}  // namespace

TIcon CreateIconFromBitmap(const TBitmap& bmp, int size) {
  TIcon icon;
  if (size < 1 || bmp.Empty()) return icon;
  const bool alpha = bmp.PixelFormat() == pf32bit;
  TBitmap src = bmp.Clone();
  if (!alpha) src.SetPixelFormat(pf24bit);
  const int bpp = alpha ? 4 : 3;
  icon.Color = TBitmap(size, size, alpha ? pf32bit : pf24bit, clBlack);
  if (alpha) {
    // a fresh 32-bit bitmap is opaque: the area around the picture has no alpha
    for (int y = 0; y < size; ++y) {
      uint8_t* p = icon.Color.ScanLine(y);
      for (int x = 0; x < size; ++x) p[4 * x + 3] = 0;
    }
  }
  icon.Mask = TBitmap(size, size, pf1bit, clWhite);
  icon.Mask.SetPalette(MonochromePalette());
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) icon.Mask.SetPixelIndex(x, y, 1);

  // integer division truncating toward zero, so an overhang is split as the platform did
  const int left = (size - src.Width()) / 2, top = (size - src.Height()) / 2;
  const TColor key = bmp.Transparent ? bmp.EffectiveTransparentColor() & 0xFFFFFF : clNone;
  for (int y = std::max(0, top); y < std::min(size, top + src.Height()); ++y) {
    const uint8_t* s = src.ScanLine(y - top);
    uint8_t* d = icon.Color.ScanLine(y);
    for (int x = std::max(0, left); x < std::min(size, left + src.Width()); ++x) {
      const uint8_t* p = s + bpp * (x - left);
      if (key != clNone && RGB(p[2], p[1], p[0]) == key) continue;
      std::copy(p, p + bpp, d + bpp * x);
      icon.Mask.SetPixelIndex(x, y, 0);
    }
  }
  return icon;
}

int GetIconFormatIndex(const TIcon& icon) {
  if (HasAlpha(icon.Color)) return ifTrueColorAlpha;
  std::unordered_set<TColor> colors;
  for (int y = 0; y < icon.Color.Height() && colors.size() <= 256; ++y)
    for (int x = 0; x < icon.Color.Width() && colors.size() <= 256; ++x)
      if (MaskShows(icon.Mask, x, y)) colors.insert(icon.Color.GetPixel(x, y) & 0xFFFFFF);
  if (colors.size() > 256) return ifTrueColor;
  if (!colors.empty() && colors.size() <= 16) {
    const auto& std16 = Standard16Palette();
    const bool standard = std::all_of(colors.begin(), colors.end(), [&](TColor c) {
      return std::find(std16.begin(), std16.end(), c) != std16.end();
    });
    if (standard) return ifColor16;
  }
  return ifColor256;
}

void WriteIcon(const TIcon& icon, int format, TStream& s) {
  if (icon.Empty() || format < ifColor16 || format > ifTrueColorAlpha) throw EInvalidGraphic(kInvalidIconText);
  const int w = icon.Color.Width(), h = icon.Color.Height();
  if (w > 256 || h > 256 || (!icon.Mask.Empty() && (icon.Mask.Width() != w || icon.Mask.Height() != h)))
    throw EInvalidGraphic(kInvalidIconText);
  static constexpr int kBits[4] = {4, 8, 24, 32};
  const int bits = kBits[format];

  TBitmap c = icon.Color.Clone();
  if (bits == 32) {
    const bool alpha = HasAlpha(c);
    c.SetPixelFormat(pf32bit);
    if (!alpha)
      for (int y = 0; y < h; ++y) {
        uint8_t* p = c.ScanLine(y);
        for (int x = 0; x < w; ++x) p[4 * x + 3] = MaskShows(icon.Mask, x, y) ? 255 : 0;
      }
  } else {
    c.SetPixelFormat(pf24bit);
    c.Transparent = false;
    // the colours as they are when they fit, else an octree palette
    const int colors = CountBitmapColors(c);
    if (bits == 4) ConvertBitmapToIndexed(c, 16, colors > 16, false);
    if (bits == 8) ConvertBitmapToIndexed(c, 256, colors > 256, false);
  }
  const size_t paletteEntries = bits <= 8 ? size_t(1) << bits : 0;
  const size_t colorRow = (size_t(w) * size_t(bits) + 31) / 32 * 4;
  const size_t maskRow = (size_t(w) + 31) / 32 * 4;
  const uint32_t imageBytes = uint32_t(40 + paletteEntries * 4 + (colorRow + maskRow) * size_t(h));

  std::vector<uint8_t> out;
  out.reserve(22 + imageBytes);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(uint8_t(w & 0xFF));  // 256 is written 0
  out.push_back(uint8_t(h & 0xFF));
  out.push_back(uint8_t(bits));  // planes (1) x bits per pixel
  out.push_back(0);
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, imageBytes);
  Put32(out, 22);

  Put32(out, 40);
  Put32(out, uint32_t(w));
  Put32(out, uint32_t(2 * h));
  Put16(out, 1);
  Put16(out, uint16_t(bits));
  Put32(out, 0);
  Put32(out, uint32_t(colorRow * size_t(h)));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  const auto& pal = c.Palette();
  for (size_t i = 0; i < paletteEntries; ++i) {
    const TColor col = i < pal.size() ? pal[i] : clBlack;
    out.push_back(GetBValue(col));
    out.push_back(GetGValue(col));
    out.push_back(GetRValue(col));
    out.push_back(0);
  }
  for (int y = h - 1; y >= 0; --y) {
    const size_t at = out.size();
    out.resize(at + colorRow, 0);
    const size_t used = (size_t(w) * size_t(bits) + 7) / 8;
    std::copy(c.ScanLine(y), c.ScanLine(y) + used, out.begin() + ptrdiff_t(at));
  }
  for (int y = h - 1; y >= 0; --y) {
    const size_t at = out.size();
    out.resize(at + maskRow, 0);
    for (int x = 0; x < w; ++x)
      if (!MaskShows(icon.Mask, x, y)) out[at + size_t(x) / 8] |= uint8_t(0x80 >> (x & 7));
  }
  s.Write(out.data(), out.size());
}

void SaveIconFile(const std::string& fileName, const TIcon& icon, int format) {
  if (icon.Empty()) throw EInvalidGraphic(kInvalidIconText);
  TAtomicFileStream f(fileName);
  WriteIcon(icon, format, f);
  f.Commit();
}

}  // namespace qm
