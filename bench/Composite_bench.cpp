#include <functional>
#include <string>
#include <vector>

#include "Harness.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Convolution.h"
#include "pixel/ImgUtils.h"
#include "pixel/Rank.h"
#include "pixel/Tiles.h"
#include "platform/core/Random.h"

namespace qm::bench {
namespace {

// Every chain works in place on the layer: each run starts again from the photo (the
// copy back is not timed). Chains that need the layer as it was read the photo itself.
using Chain = void (*)(TBitmap&);
void Whole(benchmark::State& st, Chain chain) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) {
    st.PauseTiming();
    CopyBitmap24(Photo(), b);
    RandSeed(1);
    st.ResumeTiming();
    chain(b);
  }
}

#define QM_CHAIN(name, ...)                                                                                \
  QM_BENCH(std::string(name) + " (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {                  \
    Whole(st, [](TBitmap& b) { __VA_ARGS__; });                                                            \
  })

QM_CHAIN("FilterOilPaint", FilterOilPaint(b, UnboundedRect));
QM_CHAIN("FilterComicStrip", FilterComicStrip(b, UnboundedRect));
QM_CHAIN("FilterFragment", FilterFragment(b, Photo(), UnboundedRect));
QM_CHAIN("FilterMotionBlur", FilterMotionBlur(b, Photo(), 0, UnboundedRect));
QM_CHAIN("FilterSharpEdges", FilterSharpEdges(b, Photo(), UnboundedRect));
QM_CHAIN("BlurThroughMask", BlurThroughMask(b, Photo(), UnboundedRect));
QM_CHAIN("FilterContours", FilterContours(b, UnboundedRect));
QM_CHAIN("FilterChalk", FilterChalk(b, UnboundedRect));
QM_CHAIN("FilterGraphite", FilterGraphite(b, UnboundedRect));
QM_CHAIN("FilterColorContours", FilterColorContours(b, Photo(), UnboundedRect));
QM_CHAIN("FilterInkOutlines", FilterInkOutlines(b, UnboundedRect));
QM_CHAIN("FilterPhotocopy", FilterPhotocopy(b, UnboundedRect));
QM_CHAIN("FilterPaper", FilterPaper(b, UnboundedRect));
QM_CHAIN("FilterGlass", FilterGlass(b, Photo(), UnboundedRect));
QM_CHAIN("FilterPastel stripes", FilterPastel(b, Photo(), true, UnboundedRect));
QM_CHAIN("FilterCharcoal", FilterCharcoal(b, false, UnboundedRect));
QM_CHAIN("FilterPencil grid", FilterPencil(b, Photo(), 2, 10, 5, UnboundedRect));
QM_CHAIN("FilterInk", FilterInk(b, UnboundedRect));
QM_CHAIN("FilterBlackPencil", FilterBlackPencil(b, UnboundedRect));
QM_CHAIN("FilterRadialBlur", FilterRadialBlur(b, Photo(), UnboundedRect));
QM_CHAIN("FilterMist", FilterMist(b, clWhite, 50, UnboundedRect));
QM_CHAIN("FilterSmear", FilterSmear(b, UnboundedRect));
QM_CHAIN("FilterPaletteKnife", FilterPaletteKnife(b, UnboundedRect));
QM_CHAIN("FilterWatercolor", FilterWatercolor(b, UnboundedRect));
QM_CHAIN("FilterWatercolorFinish", FilterWatercolorFinish(b, UnboundedRect));
QM_CHAIN("FilterCrystallize", FilterCrystallize(b, UnboundedRect));

// The stages of the oil-paint and comic-strip chains, one at a time on the photo, with
// the work bitmap they read already made.
void Stage(benchmark::State& st, void (*stage)(TBitmap& b, TBitmap& t)) {
  TBitmap b = Photo().Clone(), t = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) stage(b, t);
}
#define QM_STAGE(name, ...)                                                                                \
  QM_BENCH(std::string(name) + " (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {                  \
    Stage(st, [](TBitmap& b, TBitmap& t) { __VA_ARGS__; });                                                \
  })

QM_STAGE("  stage: MosaicRect 4", MosaicRect(b, 4, UnboundedRect));
QM_STAGE("  stage: T = copy of the layer", t = b.Clone());
QM_STAGE("  stage: SpreadPixels 4", SpreadPixels(b, t, 4, 0, UnboundedRect));
QM_STAGE("  stage: refresh T", CopyBitmapRect(b, GetBitmapRect(b), t, 0, 0, UnboundedRect));
QM_STAGE("  stage: median 1", ApplyRankFilter(b, t, rkMedian, UnboundedRect, 0, 1));
QM_STAGE("  stage: preset 6", ApplyConvolutionPreset(b, t, 6, UnboundedRect));
QM_STAGE("  stage: preset 3", ApplyConvolutionPreset(b, t, 3, UnboundedRect));
QM_STAGE("  stage: edge sketch, contrast 0", DrawEdgeSketch(&t, b, clBlack, UnboundedRect, 0, 0, clWhite));
QM_STAGE("  stage: black through the sketch", BlendColorThroughMask(t, GetBitmapRect(t), b, 0, 0, UnboundedRect,
                                                                     clBlack, 22));

}  // namespace
}  // namespace qm::bench
