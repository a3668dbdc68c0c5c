#include "document/LayerThumbnails.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "document/Layers.h"
#include "document/Resample.h"
#include "pixel/ImgUtils.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// The quick reduction stops at four times the thumbnail's size and reads one row per
// reduced pixel: a 24 MP layer shown 106 pixels wide is read on every 14th row, about
// 5 MB instead of 72 MB, and the triangle filter then spreads each thumbnail pixel over
// eight reduced rows, which hides the sampling on photos. Fifty such layers take 33 ms
// on 8 threads of the development machine (139 ms on one), where merely reading them
// whole takes about 120 ms (memory bound near 30 GB/s).
constexpr int kPreShrink = 4;
constexpr int kRowsPerPixel = 1;
// A layer part smaller than this is made into its thumbnail on the calling thread
// alone: its reduction and the library's two resize passes each woke the threads that
// sleep between operations, about 0.15 ms a wake-up of eight threads on the
// development machine, more than the threads saved on a scanned page of 472 x 590.
constexpr int64_t kSoloPixels = int64_t(1) << 20;

// part of src (clipped to it) at w x h: reduced first when it is more than kPreShrink
// times larger, then the triangle filter (nearest pixel below 2 x 2). With a key colour
// keyMask receives the share of that colour at the same size.
TBitmap ScaleForThumbnail(const TBitmap& src, TRect part, int w, int h, TColor key, TBitmap* keyMask) {
  std::optional<TSoloThreadScope> solo;
  if (int64_t(part.Width()) * part.Height() < kSoloPixels) solo.emplace();
  const bool keyed = key != clNone;
  const int rw = std::min(part.Width(), kPreShrink * w), rh = std::min(part.Height(), kPreShrink * h);
  const TBitmap* s = &src;
  TBitmap reduced, reducedMask;
  if (keyed || rw < part.Width() || rh < part.Height()) {
    reduced = TBitmap(rw, rh, pf24bit, clBlack);
    ReduceForThumbnail(src, part, reduced, kRowsPerPixel, key, keyed ? &reducedMask : nullptr);
    s = &reduced;
  } else if (part != GetBitmapRect(src)) {
    CopyBitmapRegion(src, reduced, part);
    s = &reduced;
  }
  auto resize = [w, h](const TBitmap& from, TBitmap& to) {
    if (w < 2 || h < 2 || !Resample(from, w, h, TResampleFilter::Triangle, to)) StretchBitmapTo(w, h, from, to);
  };
  TBitmap out;
  resize(*s, out);
  out.Transparent = false;
  if (keyed && keyMask) resize(reducedMask, *keyMask);
  return out;
}

}  // namespace

TThumbGeometry ComputeThumbGeometry(int clientWidth, int backgroundWidth, int backgroundHeight, int spacing,
                                    int margin) {
  TThumbGeometry g;
  g.ListWidth = std::max(1, clientWidth - 2 * spacing - margin - 2);
  g.ListHeight = std::max(1, g.ListWidth * 3 / 4);
  const int bw = std::max(1, backgroundWidth), bh = std::max(1, backgroundHeight);
  // A cell narrower than its 6-pixel border would leave ThumbWidth at 0 or below, and
  // the scale below would divide by it.
  double scale = 0.0;
  int tw = 1, th = 1;
  if (bw >= bh) {
    tw = std::max(1, g.ListWidth - 6);
    scale = double(bw - 1) / tw;
    th = bh == 1 || scale <= 0.0 ? 1 : std::max(1, RoundHalfEven(bh / scale));
  }
  if (bh > bw || th > g.ListHeight - 6) {
    th = std::max(1, g.ListHeight - 6);
    scale = double(bh - 1) / th;
    tw = bw == 1 || scale <= 0.0 ? 1 : std::max(1, RoundHalfEven(bw / scale));
  }
  if (scale < 1.0) {
    scale = 1.0;
    tw = bw;
    th = bh;
  }
  g.ThumbWidth = tw;
  g.ThumbHeight = th;
  g.Scale = scale;
  return g;
}

void FillThumbChecker(TBitmap& bmp) {
  if (bmp.PixelFormat() != pf24bit) return;
  const TColor grey = ColorToRGB(kThumbCheckerColor);
  const uint8_t gb = GetBValue(grey), gg = GetGValue(grey), gr = GetRValue(grey);
  for (int y = 0; y < bmp.Height(); ++y) {
    uint8_t* d = bmp.ScanLine(y);
    const int phase = (y / kThumbCheckerSquare) & 1;
    for (int x = 0; x < bmp.Width(); ++x) {
      const bool dark = ((x / kThumbCheckerSquare) & 1) == phase;
      d[3 * x] = dark ? gb : 255, d[3 * x + 1] = dark ? gg : 255, d[3 * x + 2] = dark ? gr : 255;
    }
  }
}

TBitmap RenderLayerThumbnail(const TLayerItem& layer, const TThumbGeometry& g) {
  TBitmap pic(g.ThumbWidth, g.ThumbHeight, pf24bit, clWhite);
  FillThumbChecker(pic);
  const TBitmap& image = layer.Image;
  if (layer.LayerType != ltBitmap || image.Empty() || image.PixelFormat() != pf24bit) return pic;
  const double s = g.Scale;
  const int w = std::max(1, RoundHalfEven(image.Width() / s)), h = std::max(1, RoundHalfEven(image.Height() / s));
  const TRect placed = Bounds(RoundHalfEven(layer.Left / s), RoundHalfEven(layer.Top / s), w, h);
  const TRect shown = IntersectRect(placed, GetBitmapRect(pic));
  if (shown.IsEmpty()) return pic;
  // Only the part of the layer that lands in the thumbnail is scaled: a layer far larger
  // than a small background must not be scaled whole at 1:1.
  const int W = image.Width(), H = image.Height();
  auto down = [](int64_t v, int scaled, int size) { return int(v * size / scaled); };
  auto up = [](int64_t v, int scaled, int size) { return int((v * size + scaled - 1) / scaled); };
  const TRect part{down(shown.Left - placed.Left, w, W), down(shown.Top - placed.Top, h, H),
                   up(shown.Right - placed.Left, w, W), up(shown.Bottom - placed.Top, h, H)};
  const bool masked = !layer.Mask.Empty() && layer.Mask.Width() == image.Width() &&
                      layer.Mask.Height() == image.Height() && layer.Mask.PixelFormat() == pf24bit;
  const TColor key = !masked && image.Transparent ? image.EffectiveTransparentColor() : clNone;
  TBitmap mask;
  const TBitmap scaled = ScaleForThumbnail(image, part, shown.Width(), shown.Height(), key, &mask);
  if (masked) mask = ScaleForThumbnail(layer.Mask, part, shown.Width(), shown.Height(), clNone, nullptr);
  DrawLayerBitmap(scaled, pic, shown.Left, mask, layer.Opacity, GetBitmapRect(pic), shown.Top);
  return pic;
}

void RenderLayerThumbnails(const TLayerList& layers, const TThumbGeometry& g, const std::vector<int>& indexes,
                           std::vector<TBitmap>& out) {
  out.clear();
  out.resize(indexes.size());
  const int n = int(indexes.size());
  if (n == 0) return;
  EnsureGraphicsMagick();
  // One layer per thread: each picture depends on its layer alone, so the result is the
  // same for any number of threads. The scaling calls GraphicsMagick: plain threads,
  // not an OpenMP team.
  ParallelLibraryJobs(n, [&](int k) {
    const int i = indexes[size_t(k)];
    if (i < 0 || i >= layers.GetCount()) return;
    try {
      out[size_t(k)] = RenderLayerThumbnail(layers[i], g);
    } catch (const std::exception&) {
      // out of memory for one layer: it stays without a picture, the others are made
    }
  });
}

}  // namespace qm
