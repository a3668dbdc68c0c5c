#include "imagefiles/GifAnimation.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "imagefiles/GifCodec.h"
#include "imagefiles/ImageFileUtils.h"
#include "pixel/ColorReduce.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// What one frame is made from: a picture of the whole screen, or (transparent frames)
// a layer to place on the transparent colour.
struct TFrameSource {
  TBitmap Screen;
  const TLayerItem* Layer = nullptr;
  int Delay = 0;
};

// An 8-bit bitmap with its palette as a frame of the whole screen.
TGifFrame FrameOfIndexed(const TBitmap& indexed) {
  TGifFrame f;
  f.Width = indexed.Width();
  f.Height = indexed.Height();
  f.Pixels.resize(size_t(f.Width) * size_t(f.Height));
  for (int y = 0; y < f.Height; ++y)
    std::memcpy(f.Pixels.data() + size_t(y) * size_t(f.Width), indexed.ScanLine(y), size_t(f.Width));
  f.ColorMap = indexed.Palette();
  return f;
}

// A layer reduced to at most 254 colours on a screen of the transparent colour, at its
// place: what its mask hides (and its key colour, for a keyed layer) stays transparent.
TGifFrame FrameOfLayer(const TLayerItem& layer, int width, int height, int paletteMode, bool dither) {
  TBitmap image;
  image.Assign(layer.Image);
  image.SetPixelFormat(pf24bit);
  const int w = image.Width(), h = image.Height();
  TBitmap mask(w, h, pf24bit, clBlack);
  const bool masked = !layer.Mask.Empty() && layer.Mask.Width() == w && layer.Mask.Height() == h;
  const TColor key = layer.Image.Transparent ? ColorToRGB(layer.Image.EffectiveTransparentColor()) & 0xFFFFFF : clNone;
  for (int y = 0; y < h; ++y) {
    uint8_t* m = mask.ScanLine(y);
    const uint8_t* s = image.ScanLine(y);
    if (masked) std::memcpy(m, layer.Mask.ScanLine(y), size_t(w) * 3);
    if (key != clNone)
      for (int x = 0; x < w; ++x)
        if (RGB(s[3 * x + 2], s[3 * x + 1], s[3 * x]) == key) m[3 * x] = m[3 * x + 1] = m[3 * x + 2] = 255;
  }
  TBitmap reduced;
  ReduceColorsWithTransparency(image, mask, reduced, paletteMode, dither);

  TBitmap screen(width, height, pf24bit, clGlobalTransparent);
  const int x0 = std::max(0, layer.Left), x1 = std::min(width, layer.Left + w);
  const int y0 = std::max(0, layer.Top), y1 = std::min(height, layer.Top + h);
  for (int y = y0; y < y1 && x0 < x1; ++y)
    std::memcpy(screen.ScanLine(y) + size_t(x0) * 3, reduced.ScanLine(y - layer.Top) + size_t(x0 - layer.Left) * 3,
                size_t(x1 - x0) * 3);
  screen.Transparent = true;
  screen.TransparentColor = clGlobalTransparent;
  TGifImage one;
  one.ColorReduction = rmNone;  // at most 255 colours: kept exactly, the key among them
  one.Assign(screen);
  return std::move(one.Frames.at(0));
}

}  // namespace

std::vector<int> EffectiveGifDelays(const std::vector<int>& delays, int layerCount) {
  std::vector<int> out(size_t(std::max(0, layerCount - 1)), 100);
  for (size_t i = 0; i < out.size() && i < delays.size(); ++i) out[i] = std::clamp(delays[i], 0, 65535);
  if (!out.empty() && std::all_of(out.begin(), out.end(), [](int d) { return d <= 0; })) out[0] = 100;
  return out;
}

TGifImage BuildGifAnimation(const TLayeredImage& document, const TGifAnimOptions& options, bool* frame0Transparent) {
  if (document.GetLayerCount() < 2) throw EInvalidGraphic("no layer above the background");
  TLayeredImage work;
  work.AssignImage(&document);
  const int count = work.GetLayerCount();
  const std::vector<int> delays = EffectiveGifDelays(options.Delays, count);
  const bool transparent = options.Transparent;
  const bool accumulate = !transparent && !options.RestoreBackground;

  for (int i = 1; i < count; ++i) {
    TLayerItem& l = work.Layers[i];
    if (transparent && l.Shadow.Enabled) work.ApplyLayerShadow(l);
    l.Visible = false;
  }
  work.RenderLayers();
  const TBitmap base = work.ComposedBitmap().Clone();
  const int width = base.Width(), height = base.Height();
  const TRect screen{0, 0, width, height};

  // The screens in order, composed one layer at a time: an accumulating frame is the
  // one before with its layer drawn over it, as a composition of all of them draws it.
  std::vector<TFrameSource> sources;
  TBitmap running = accumulate ? base.Clone() : TBitmap();
  for (int i = 1; i < count; ++i) {
    TLayerItem& l = work.Layers[i];
    l.Visible = true;
    const int delay = delays[size_t(i - 1)];
    if (accumulate) {
      work.DrawLayer(i, running, screen);
      if (delay > 0) sources.push_back({running.Clone(), nullptr, delay});
    } else if (delay > 0) {
      if (transparent && (l.LayerType == ltBitmap || l.LayerType == ltText) && !l.Image.Empty()) {
        sources.push_back({TBitmap(), &l, delay});
      } else {
        TBitmap over = base.Clone();
        work.DrawLayer(i, over, screen);
        sources.push_back({std::move(over), nullptr, delay});
      }
    }
    if (!accumulate) l.Visible = false;
  }

  // The colour reduction of each frame is its own: the frames go to the threads.
  const bool web = options.Palette == TGifAnimPalette::Web216;
  TGifImage gif;
  gif.Width = width;
  gif.Height = height;
  gif.LoopCount = options.Loop ? 0 : -1;
  gif.Frames.resize(sources.size());
  std::vector<std::exception_ptr> errors(sources.size());
  const int n = int(sources.size());
  const int threads = std::max(1, std::min(EngineThreads(), n));
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (int k = 0; k < n; ++k) {
    try {
      TFrameSource& s = sources[size_t(k)];
      TGifFrame f = s.Layer ? FrameOfLayer(*s.Layer, width, height, web ? gpWeb : gpOptimized, options.Diffuse)
                            : FrameOfIndexed(ReduceColors(s.Screen, web ? rmNetscape : rmQuantize, options.Diffuse, 8));
      s.Screen = TBitmap();
      f.Delay = s.Delay;
      gif.Frames[size_t(k)] = std::move(f);
      // Each frame keeps a map of its own colours: a map made for another frame would
      // show it in that frame's colours.
      if (!web) OptimizeGifFrameColorMap(gif, k);
    } catch (...) {
      errors[size_t(k)] = std::current_exception();
    }
  }
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);

  const bool firstTransparent = !gif.Frames.empty() && gif.Frames[0].TransparentIndex >= 0;
  for (TGifFrame& f : gif.Frames) f.Disposal = firstTransparent ? 2 : 1;
  // The first frame's map serves as the global one, and for every frame with the same.
  gif.GlobalColorMap = gif.Frames[0].ColorMap;
  for (TGifFrame& f : gif.Frames)
    if (f.ColorMap == gif.GlobalColorMap) f.ColorMap.clear();
  if (frame0Transparent) *frame0Transparent = firstTransparent;
  return gif;
}

void SaveGifAnimation(const std::string& fileName, const TLayeredImage& document, const TGifAnimOptions& options,
                      bool* frame0Transparent) {
  const TGifImage gif = BuildGifAnimation(document, options, frame0Transparent);
  ReplaceFileAtomically(fileName, [&](const std::string& temp) { WriteGifFile(temp, gif); });
}

}  // namespace qm
