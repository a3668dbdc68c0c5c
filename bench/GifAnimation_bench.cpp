// The animated GIF editor's export: a document of 50 layers of 1024 x 768 over its
// background (each layer a different part of the photo, drawn over the ones before)
// made into 50 frames on palettes of their own, with diffusion, and written.
#include "CodecBench.h"
#include "imagefiles/GifAnimation.h"
#include "pixel/RectUtils.h"

namespace qm::bench {
namespace {

constexpr int kFrameW = 1024, kFrameH = 768, kFrames = 50;

TLayeredImage& Animation() {
  return FamilyFixture([] {
    auto d = std::make_unique<TLayeredImage>();
    auto part = [](int k) {
      TBitmap b(kFrameW, kFrameH, pf24bit, clBlack);
      const int x0 = (k * 97) % (kPhotoWidth - kFrameW), y0 = (k * 61) % (kPhotoHeight - kFrameH);
      for (int y = 0; y < kFrameH; ++y)
        std::memcpy(b.ScanLine(y), Photo().ScanLine(y0 + y) + size_t(x0) * 3, size_t(kFrameW) * 3);
      return b;
    };
    d->LoadFromBitmap(part(0), TBitmap(), "#0");
    for (int k = 1; k <= kFrames; ++k) d->AddLayer(part(k), TBitmap(), "#" + std::to_string(k), 100, TPoint{0, 0});
    return d;
  });
}

QM_BENCH("Animated GIF, 50 frames of 1024x768, optimised palettes with diffusion", kOurs,
         int64_t(kFrameW) * kFrameH * 3 * kFrames, [](benchmark::State& st) {
           TGifAnimOptions o;
           o.Palette = TGifAnimPalette::Optimized;
           const std::string file = CodecFolder() + "/anim.gif";
           for (auto _ : st) SaveGifAnimation(file, Animation(), o);
         });

}  // namespace
}  // namespace qm::bench
