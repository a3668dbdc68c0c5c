#include "imagefiles/GifLayers.h"

#include <algorithm>

#include "imagefiles/GifCodec.h"
#include "platform/core/Exceptions.h"

namespace qm {

int LoadGifAsLayers(TLayeredImage& image, const std::string& fileName) {
  TGifImage gif;
  ReadGifFile(fileName, gif);
  int w = gif.Width, h = gif.Height;
  if (w < 1 || h < 1) {
    for (const TGifFrame& f : gif.Frames) {
      w = std::max(w, f.Left + f.Width);
      h = std::max(h, f.Top + f.Height);
    }
  }
  if (w < 1 || h < 1) throw EInvalidGraphic("GIF: empty picture");
  const TColor background = gif.BackgroundIndex >= 0 && size_t(gif.BackgroundIndex) < gif.GlobalColorMap.size()
                                ? gif.GlobalColorMap[size_t(gif.BackgroundIndex)]
                                : clWhite;
  image.LoadFromBitmap(TBitmap(w, h, pf24bit, background), TBitmap(), "#0");
  int layers = 0;
  for (size_t i = 0; i < gif.Frames.size(); ++i) {
    const TGifFrame& f = gif.Frames[i];
    if (f.Width < 1 || f.Height < 1) continue;
    TBitmap frame;
    gif.FrameToBitmap(int(i), frame);
    frame.SetPixelFormat(pf24bit);
    TBitmap mask;
    if (f.TransparentIndex >= 0 && f.Pixels.size() >= size_t(f.Width) * size_t(f.Height)) {
      mask = TBitmap(f.Width, f.Height, pf24bit, clBlack);
      for (int y = 0; y < f.Height; ++y) {
        const uint8_t* index = f.Pixels.data() + size_t(y) * size_t(f.Width);
        uint8_t* m = mask.ScanLine(y);
        for (int x = 0; x < f.Width; ++x)
          if (index[x] == f.TransparentIndex) m[3 * x] = m[3 * x + 1] = m[3 * x + 2] = 255;
      }
    }
    std::string name = "#";
    name += std::to_string(++layers);
    const int k = image.AddLayer(std::move(frame), std::move(mask), name, 100, TPoint{f.Left, f.Top});
    image.Layers[k].Visible = layers == 1;
  }
  if (layers > 0) image.SetActiveLayerIndex(1);
  image.InvalidateImage();
  return layers;
}

}  // namespace qm
