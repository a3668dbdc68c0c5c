#include "pixel/PixelFormat.h"

#include "pixel/ColorAdjust.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/RectUtils.h"
#include "platform/core/Canvas.h"
#include "platform/core/Palettes.h"
#include "platform/core/Parallel.h"

namespace qm {
namespace {

// Gives bmp new w x h pixels in the format, keeping its transparency settings.
void Reset(TBitmap& bmp, int w, int h, TPixelFormat pf) {
  TBitmap fresh(w, h, pf, clBlack);
  fresh.Transparent = bmp.Transparent;
  fresh.TransparentColor = bmp.TransparentColor;
  fresh.BrushColor = bmp.BrushColor;
  bmp = std::move(fresh);
}

bool Is24(const TBitmap& b) { return b.PixelFormat() == pf24bit; }

// The options PrepareBitmapForGif and ReduceColorsWithTransparency reduce with.
int GifReductionOptions(bool dither, int mode) {
  int options = rcKeepTransparentEntries | (dither ? rcDither : 0);
  if (mode == gpWindows256) options |= rcWindows256;
  else if (mode == gpWeb) options |= rcWeb;
  else if (mode >= gpGiven) options |= rcGivenPalette;
  return options;
}

// The entry of the colour in the map, appended when missing and there is room; -1 when
// the map is full without it.
int FindOrAddEntry(TPalette& map, TColor color) {
  color = ColorToRGB(color) & 0xFFFFFF;
  for (size_t i = 0; i < map.size(); ++i)
    if ((map[i] & 0xFFFFFF) == color) return int(i);
  if (map.size() >= 256) return -1;
  map.push_back(color);
  return int(map.size()) - 1;
}

// The colours of a 24-bit bitmap as indices into a map of first appearances; false
// when there are more than 256.
bool IndexExactly(const TBitmap& bmp, TByteBuffer& pixels, TPalette& map) {
  std::unordered_map<TColor, int> index;
  map.clear();
  const int w = bmp.Width();
  TColor last = clNone;
  int lastIndex = 0;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* p = bmp.ScanLine(y);
    uint8_t* out = pixels.data() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x, p += 3) {
      const TColor c = Pixel24ToColor(p);
      if (c != last) {
        auto it = index.find(c);
        if (it == index.end()) {
          if (map.size() == 256) return false;
          it = index.emplace(c, int(map.size())).first;
          map.push_back(c);
        }
        last = c;
        lastIndex = it->second;
      }
      out[x] = uint8_t(lastIndex);
    }
  }
  return true;
}

// An indexed bitmap widened to more bits per pixel with the same palette and indices.
void WidenIndexed(TBitmap& bmp, TPixelFormat pf) {
  if (bmp.PixelFormat() == pf) return;
  TBitmap out(bmp.Width(), bmp.Height(), pf, clBlack);
  out.SetPalette(bmp.Palette().empty() ? DefaultPalette(bmp.PixelFormat()) : bmp.Palette());
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) out.SetPixelIndex(x, y, bmp.GetPixelIndex(x, y));
  out.Transparent = bmp.Transparent;
  out.TransparentColor = bmp.TransparentColor;
  out.BrushColor = bmp.BrushColor;
  bmp = std::move(out);
}

}  // namespace

// --- GIF and PNG models ------------------------------------------------------------

void TGifImage::Assign(const TBitmap& bmp) {
  Frames.clear();
  GlobalColorMap.clear();
  Width = bmp.Width();
  Height = bmp.Height();
  if (bmp.Empty()) return;
  TGifFrame f;
  f.Width = Width;
  f.Height = Height;
  f.Pixels.resize(size_t(Width) * size_t(Height));
  auto takeIndexed = [&](const TBitmap& b) {
    f.ColorMap = b.Palette().empty() ? DefaultPalette(b.PixelFormat()) : b.Palette();
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x) f.Pixels[size_t(y) * Width + x] = uint8_t(b.GetPixelIndex(x, y));
  };
  if (ColorReduction == rmNone && bmp.PixelFormat() <= pf8bit) {
    takeIndexed(bmp);
  } else {
    TBitmap reduced;
    if (ColorReduction != rmNone) reduced = ReduceColors(bmp, ColorReduction, DitherFloydSteinberg, ReductionBits);
    if (reduced.PixelFormat() == pf8bit && !reduced.Empty()) {
      takeIndexed(reduced);
    } else {
      TBitmap holder;
      const TBitmap* src = &bmp;
      if (!Is24(bmp)) {
        holder.Assign(bmp);
        holder.SetPixelFormat(pf24bit);
        src = &holder;
      }
      if (!IndexExactly(*src, f.Pixels, f.ColorMap))
        takeIndexed(ReduceColors(*src, rmWindows256, DitherFloydSteinberg, 8));
    }
  }
  if (bmp.Transparent) {
    const TColor key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
    for (size_t i = 0; i < f.ColorMap.size(); ++i)
      if ((f.ColorMap[i] & 0xFFFFFF) == key) {
        f.TransparentIndex = int(i);
        break;
      }
  }
  Frames.push_back(std::move(f));
}

TPalette& TGifImage::FrameColorMap(int index) {
  TGifFrame& f = Frames[size_t(index)];
  return f.ColorMap.empty() ? GlobalColorMap : f.ColorMap;
}

const TPalette& TGifImage::FrameColorMap(int index) const {
  const TGifFrame& f = Frames[size_t(index)];
  return f.ColorMap.empty() ? GlobalColorMap : f.ColorMap;
}

void TGifImage::FrameToBitmap(int index, TBitmap& bmp) const {
  const TGifFrame& f = Frames[size_t(index)];
  const int w = std::max(f.Width, 0), h = std::max(f.Height, 0);
  const bool whole = w > 0 && h > 0 && f.Pixels.size() >= size_t(w) * size_t(h);
  // the frame's rows are copied over the new bitmap whole, so it need not be filled
  TBitmap out = whole ? TBitmap::Uninitialized(w, h, pf8bit) : TBitmap(w, h, pf8bit, clBlack);
  out.SetPalette(FrameColorMap(index));
  if (whole) {
    for (int y = 0; y < h; ++y) {
      std::memcpy(out.ScanLine(y), f.Pixels.data() + size_t(y) * size_t(w), size_t(w));
      out.ZeroRowPadding(y);
    }
  }
  out.BrushColor = bmp.BrushColor;
  bmp = std::move(out);
}

void TPngImage::ToBitmap(TBitmap& bmp) const {
  const int bpp = ColorType == pcIndexed ? 1 : ColorType == pcRGB ? 3 : 4;
  if (Empty() || Pixels.size() < size_t(Width) * size_t(Height) * size_t(bpp)) {
    bmp = TBitmap();
    return;
  }
  const TPixelFormat pf = ColorType == pcIndexed ? pf8bit : ColorType == pcRGB ? pf24bit : pf32bit;
  TBitmap out = TBitmap::Uninitialized(Width, Height, pf);
  if (pf == pf8bit) out.SetPalette(Palette);
  for (int y = 0; y < Height; ++y) {
    out.ZeroRowPadding(y);
    const uint8_t* s = Pixels.data() + size_t(y) * size_t(Width) * size_t(bpp);
    uint8_t* d = out.ScanLine(y);
    if (bpp == 1) {
      std::memcpy(d, s, size_t(Width));
    } else {
      for (int x = 0; x < Width; ++x, s += bpp, d += bpp) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        if (bpp == 4) d[3] = s[3];
      }
    }
  }
  bmp = std::move(out);
}

// --- 32-bit bitmaps and masks ------------------------------------------------------

void SplitBitmap32(const TBitmap& src, TBitmap& image, TBitmap& mask) {
  if (src.PixelFormat() != pf32bit) return;
  const int w = src.Width(), h = src.Height();
  Reset(image, w, h, pf24bit);
  Reset(mask, w, h, pf24bit);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = src.ScanLine(y);
      uint8_t* d = image.ScanLine(y);
      uint8_t* m = mask.ScanLine(y);
      for (int x = 0; x < w; ++x, s += 4, d += 3, m += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        m[0] = m[1] = m[2] = uint8_t(255 - s[3]);
      }
    }
  });
}

void CombineBitmapWithMask32(const TBitmap& image, const TBitmap& mask, TBitmap& result, bool whiten) {
  if (!Is24(image) || !Is24(mask) || image.Width() != mask.Width() || image.Height() != mask.Height()) return;
  const int w = image.Width(), h = image.Height();
  TBitmap out(w, h, pf32bit, clBlack);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = image.ScanLine(y);
      const uint8_t* m = mask.ScanLine(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < w; ++x, s += 3, m += 3, d += 4) {
        const bool white = whiten && m[0] == 255;
        d[0] = white ? 255 : s[0];
        d[1] = white ? 255 : s[1];
        d[2] = white ? 255 : s[2];
        d[3] = uint8_t(255 - m[0]);
      }
    }
  });
  out.Transparent = result.Transparent;
  out.TransparentColor = result.TransparentColor;
  out.BrushColor = result.BrushColor;
  result = std::move(out);
}

void SplitBitmapToImageAndMask(const TBitmap& graphic, TBitmap& image, TBitmap& mask) {
  if (graphic.PixelFormat() == pf32bit) {
    SplitBitmap32(graphic, image, mask);
    if (MaskRectEquals(mask, 255, UnboundedRect)) mask.Clear();
    return;
  }
  TBitmap img;
  img.Assign(graphic);
  img.SetPixelFormat(pf24bit);
  Reset(mask, 0, 0, pf24bit);
  if (graphic.Transparent && !img.Empty()) {
    Reset(mask, img.Width(), img.Height(), pf24bit);
    MaskByColorTolerance(img, mask, graphic.EffectiveTransparentColor(), 0, true, UnboundedRect);
  }
  image = std::move(img);
}

void FlattenTransparentGraphic(TBitmap& graphic, TColor background) {
  if (!graphic.Transparent && graphic.PixelFormat() != pf32bit) {
    graphic.SetPixelFormat(pf24bit);
    return;
  }
  TBitmap image, mask;
  SplitBitmapToImageAndMask(graphic, image, mask);
  TBitmap out(image.Width(), image.Height(), pf24bit, background);
  // An empty mask means the image is opaque throughout: it is copied as it is (a masked
  // copy would need a mask and leave only the background).
  if (mask.Empty()) CopyBitmap24(image, out);
  else CopyBitmapRectMasked(image, UnboundedRect, out, 0, 0, UnboundedRect, 100, mask);
  out.BrushColor = graphic.BrushColor;
  graphic = std::move(out);
}

void DrawGraphicOnTransparentColor(const TBitmap& graphic, TBitmap& bmp) {
  TBitmap out;
  out.BrushColor = graphic.Transparent ? clGlobalTransparent : bmp.BrushColor;
  out.SetSize(graphic.Width(), graphic.Height());
  if (!graphic.Empty()) {
    TBitmapCanvas canvas(out);
    canvas.DrawBitmap(0, 0, graphic, GetBitmapRect(graphic),
                      graphic.Transparent ? graphic.EffectiveTransparentColor() : clNone);
  }
  out.Transparent = graphic.Transparent;
  out.TransparentColor = graphic.Transparent ? clGlobalTransparent : bmp.TransparentColor;
  bmp = std::move(out);
}

// --- GIF ------------------------------------------------------------------------

void GifFrameToBitmap(TGifImage& gif, TBitmap& bmp, int frame, bool unique) {
  if (gif.Frames.empty()) {
    bmp.Clear();
    bmp.Transparent = false;
    return;
  }
  if (frame < 0 || size_t(frame) >= gif.Frames.size()) frame = 0;
  const TGifFrame& f = gif.Frames[size_t(frame)];
  const int ti = f.TransparentIndex;
  TColor key = clNone;
  if (ti >= 0 && ti < 256) {
    TPalette& map = gif.FrameColorMap(frame);
    if (size_t(ti) >= map.size()) map.resize(size_t(ti) + 1, RGB(0, 0, 0));
    key = map[size_t(ti)] & 0xFFFFFF;
    if (unique && std::count_if(map.begin(), map.end(), [&](TColor c) { return (c & 0xFFFFFF) == key; }) > 1) {
      key = clGlobalTransparent;
      map[size_t(ti)] = key;
    }
  }
  gif.FrameToBitmap(frame, bmp);
  bmp.Transparent = key != clNone;
  bmp.TransparentColor = key;
}

void SetGifTransparentColor(TGifImage& gif, int frame, TColor color) {
  if (gif.Frames.empty()) return;
  if (frame < 0 || size_t(frame) >= gif.Frames.size()) frame = 0;
  const int ti = gif.Frames[size_t(frame)].TransparentIndex;
  if (ti < 0 || ti >= 256) return;
  TPalette& map = gif.FrameColorMap(frame);
  if (size_t(ti) >= map.size()) map.resize(size_t(ti) + 1, RGB(0, 0, 0));
  map[size_t(ti)] = ColorToRGB(color) & 0xFFFFFF;
}

void PrepareBitmapForGif(const TBitmap& bmp, TBitmap& result, bool dither, int paletteMode,
                         const TPalette* palette) {
  const bool is32 = bmp.PixelFormat() == pf32bit;
  if (!is32 && !(Is24(bmp) && bmp.Transparent)) return;
  TBitmap work, alpha;  // alpha: 0 where transparent, 255 where opaque
  TColor key;
  if (is32) {
    SplitBitmap32(bmp, work, alpha);
    InvertRect(alpha, UnboundedRect);
    key = clGlobalTransparent;
  } else {
    work.Assign(bmp);
    key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
    Reset(alpha, work.Width(), work.Height(), pf24bit);
    MaskByColorToleranceInverted(work, alpha, key, 0, true, UnboundedRect);
  }
  work.Transparent = false;
  ReduceBitmapColors(work, 256, GifReductionOptions(dither, paletteMode), palette);
  ReplaceColorRect(work, key, SubstituteColor(key), 0, UnboundedRect);
  FillColorWhereMaskInRange(alpha, UnboundedRect, work, 0, 0, UnboundedRect, key, 0, 128);
  work.Transparent = true;
  work.TransparentColor = key;
  work.BrushColor = result.BrushColor;
  result = std::move(work);
}

void ConvertToGifWithTransparency(const TBitmap& bmp, TGifImage& gif, bool dither, int paletteMode,
                                  const TPalette* palette) {
  if (bmp.PixelFormat() != pf32bit && !(Is24(bmp) && bmp.Transparent)) return;
  TBitmap prepared;
  PrepareBitmapForGif(bmp, prepared, dither, paletteMode, palette);
  gif.ColorReduction = rmNone;
  gif.Assign(prepared);
  if (gif.Frames.empty()) return;
  TGifFrame& f = gif.Frames[0];
  f.TransparentIndex = FindOrAddEntry(f.ColorMap, prepared.TransparentColor);
}

void ReduceColorsWithTransparency(const TBitmap& image, const TBitmap& mask, TBitmap& result, int paletteMode,
                                  bool dither, const TPalette* palette) {
  if (!Is24(image) || !Is24(mask)) return;
  TBitmap work;
  work.Assign(image);
  ReduceBitmapColors(work, 256, GifReductionOptions(dither, paletteMode), palette);
  ReplaceColorRect(work, clGlobalTransparent, SubstituteColor(clGlobalTransparent), 0, UnboundedRect);
  FillColorWhereMaskInRange(mask, UnboundedRect, work, 0, 0, UnboundedRect, clGlobalTransparent, 129, 255);
  work.Transparent = true;
  work.TransparentColor = clGlobalTransparent;
  result = std::move(work);
}

// --- PNG ------------------------------------------------------------------------

void PngToBitmapTransparent(const TPngImage& png, TBitmap& bmp) {
  png.ToBitmap(bmp);
  bmp.Transparent = false;
  bmp.TransparentColor = clNone;
  if (bmp.Empty()) return;
  if (png.ColorType == pcIndexed) {
    const size_t n = std::min<size_t>(png.Transparency.size(), 256);
    for (size_t i = 0; i < n; ++i) {
      if (png.Transparency[i] != 0) continue;
      if (i < png.Palette.size()) {
        bmp.TransparentColor = png.Palette[i] & 0xFFFFFF;
        bmp.Transparent = true;
      }
      break;
    }
  } else if (png.ColorType == pcRGB && png.TransparentColor != clNone) {
    bmp.TransparentColor = png.TransparentColor & 0xFFFFFF;
    bmp.Transparent = true;
  }
}

void BitmapMaskToPng(const TBitmap& image, const TBitmap& mask, TPngImage& png, bool whiten) {
  if (!Is24(image) || !Is24(mask) || image.Width() != mask.Width() || image.Height() != mask.Height()) return;
  const int w = image.Width(), h = image.Height();
  png = TPngImage{};
  png.Width = w;
  png.Height = h;
  png.ColorType = pcRGBA;
  png.Pixels.resize(size_t(w) * size_t(h) * 4);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = image.ScanLine(y);
      const uint8_t* m = mask.ScanLine(y);
      uint8_t* d = png.Pixels.data() + size_t(y) * size_t(w) * 4;
      for (int x = 0; x < w; ++x, s += 3, m += 3, d += 4) {
        const bool white = whiten && m[0] == 255;
        d[0] = white ? 255 : s[2];
        d[1] = white ? 255 : s[1];
        d[2] = white ? 255 : s[0];
        d[3] = uint8_t(255 - m[0]);
      }
    }
  });
}

void Bitmap32ToPng(const TBitmap& bmp, TPngImage& png) {
  if (bmp.PixelFormat() != pf32bit) return;
  TBitmap image, mask;
  SplitBitmap32(bmp, image, mask);
  BitmapMaskToPng(image, mask, png, false);
}

// --- Indexed bitmaps ------------------------------------------------------------

bool Convert8To4Bit(TBitmap& bmp) {
  if (bmp.PixelFormat() != pf8bit) return false;
  const int w = bmp.Width(), h = bmp.Height();
  // A 4-bit pixel cannot name entry 16 or above: packing such an index would spill
  // into the neighbouring pixel.
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x)
      if (s[x] >= 16) return false;
  }
  TBitmap out(w, h, pf4bit, clBlack);
  TPalette pal(bmp.Palette().begin(), bmp.Palette().begin() + ptrdiff_t(std::min<size_t>(bmp.Palette().size(), 16)));
  pal.resize(16, RGB(0, 0, 0));
  out.SetPalette(std::move(pal));
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = bmp.ScanLine(y);
    uint8_t* d = out.ScanLine(y);
    for (int k = 0; k < w / 2; ++k) d[k] = uint8_t((s[2 * k] << 4) | s[2 * k + 1]);
    if (w & 1) d[w / 2] = uint8_t(s[w - 1] << 4);
  }
  out.Transparent = bmp.Transparent;
  out.TransparentColor = bmp.TransparentColor;
  out.BrushColor = bmp.BrushColor;
  bmp = std::move(out);
  return true;
}

void ConvertBitmapToIndexed(TBitmap& bmp, int n, bool quantize, bool dither) {
  if (bmp.Empty() || n < 1 || n > 256) return;
  const TPixelFormat target = n <= 2 ? pf1bit : n <= 16 ? pf4bit : pf8bit;
  const TPixelFormat pf = bmp.PixelFormat();
  if (pf <= pf8bit && pf <= target) {
    WidenIndexed(bmp, target);
    return;
  }
  if (target == pf1bit) {
    TBitmap out(bmp.Width(), bmp.Height(), pf1bit, clBlack);
    out.SetPalette(MonochromePalette());
    TMonochromeLookup mono;
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        const TColor c = bmp.GetPixel(x, y);
        out.SetPixelIndex(x, y, unsigned(mono.Lookup(GetRValue(c), GetGValue(c), GetBValue(c))));
      }
    out.Transparent = bmp.Transparent;
    out.TransparentColor = bmp.TransparentColor;
    out.BrushColor = bmp.BrushColor;
    bmp = std::move(out);
    return;
  }
  TGifImage gif;
  gif.ReductionBits = n > 16 ? 8 : 4;
  gif.ColorReduction = quantize ? rmQuantize : rmNone;
  gif.DitherFloydSteinberg = dither;
  const bool wasTransparent = bmp.Transparent;
  const TColor key = bmp.TransparentColor;
  bmp.Transparent = false;
  gif.Assign(bmp);
  gif.FrameToBitmap(0, bmp);
  if (target == pf4bit && !Convert8To4Bit(bmp)) {
    // More than 16 colours kept as they were: the 16 standard colours stand in.
    bmp.SetPixelFormat(pf4bit);
  }
  bmp.Transparent = wasTransparent;
  bmp.TransparentColor = key;
}

// --- Canvas -----------------------------------------------------------------------

TRect EnlargeCanvas(const TBitmap& src, TBitmap& dst, int width, int height, TAlignment anchor, TColor background,
                    const TBitmap* pattern, TColor patternKey) {
  // A canvas beyond the largest bitmap cannot be made: refused like an empty one rather
  // than failing half way.
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return TRect{};
  TRect placed{0, 0, src.Width(), src.Height()};
  AlignRectInRect(placed, TRect{0, 0, width, height}, anchor);
  const TColor brush = dst.BrushColor;
  TBitmap srcHolder;
  const TBitmap* s = &src;
  if (!src.Empty() && !Is24(src)) {
    srcHolder.Assign(src);
    srcHolder.SetPixelFormat(pf24bit);
    s = &srcHolder;
  }
  TBitmap out;
  if (pattern && !pattern->Empty()) {
    out = TBitmap(width, height, pf24bit, background);
    TBitmap holder;
    const TBitmap* pat = pattern;
    if (!Is24(*pattern)) {
      holder.Assign(*pattern);
      holder.SetPixelFormat(pf24bit);
      pat = &holder;
    }
    FillRectWithPattern(*pat, out, 0, 0, UnboundedRect, 100, patternKey, 0);
    if (!s->Empty()) CopyBitmap24At(*s, out, placed.Left, placed.Top);
  } else {
    // Each row written once: the colour beside the source's row, or across it. Filling
    // the whole canvas first and copying the source over it writes the pixels twice. A
    // target of the canvas's shape is written in place: mapping 80 MB of fresh pages
    // costs more than the writes themselves.
    const bool inPlace = &dst != &src && dst.PixelFormat() == pf24bit && dst.Width() == width &&
                         dst.Height() == height;
    if (inPlace) out = std::move(dst);
    else out = TBitmap::Uninitialized(width, height, pf24bit);
    const TRect in = s->Empty() ? TRect{} : IntersectRect(placed, TRect{0, 0, width, height});
    const TColor c = ColorToRGB(background);
    std::vector<uint8_t> fill(size_t(width) * 3);
    for (size_t x = 0; x < fill.size(); x += 3) {
      fill[x] = GetBValue(c);
      fill[x + 1] = GetGValue(c);
      fill[x + 2] = GetRValue(c);
    }
    ParallelRows(0, height, int64_t(width) * height, [&](int y0, int y1) {
      for (int y = y0; y < y1; ++y) {
        uint8_t* d = out.ScanLine(y);
        if (in.IsEmpty() || y < in.Top || y >= in.Bottom) {
          std::memcpy(d, fill.data(), fill.size());
        } else {
          std::memcpy(d, fill.data(), size_t(in.Left) * 3);
          std::memcpy(d + size_t(in.Left) * 3, s->ScanLine(y - placed.Top) + size_t(in.Left - placed.Left) * 3,
                      size_t(in.Width()) * 3);
          std::memcpy(d + size_t(in.Right) * 3, fill.data(), size_t(width - in.Right) * 3);
        }
        out.ZeroRowPadding(y);
      }
    });
  }
  out.Transparent = src.Transparent;
  out.TransparentColor = src.TransparentColor;
  out.BrushColor = brush;
  dst = std::move(out);
  return placed;
}

}  // namespace qm
