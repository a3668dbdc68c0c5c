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

// The stages of a chain, one at a time on the photo, with the work bitmap they read
// already made; the table lists them under their chain.
void Stage(benchmark::State& st, void (*stage)(TBitmap& b, TBitmap& t)) {
  TBitmap b = Photo().Clone(), t = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) stage(b, t);
}
#define QM_STAGE(name, ...)                                                                                \
  QM_BENCH(std::string("  ") + name + " (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {          \
    Stage(st, []([[maybe_unused]] TBitmap& b, [[maybe_unused]] TBitmap& t) { __VA_ARGS__; });              \
  })

const TRect kAll = UnboundedRect;

QM_CHAIN("FilterOilPaint", FilterOilPaint(b, kAll));
QM_STAGE("oil paint: MosaicRect 4", MosaicRect(b, 4, kAll));
QM_STAGE("oil paint: T = copy of the layer", t = b.Clone());
QM_STAGE("oil paint: SpreadPixels 4", SpreadPixels(b, t, 4, 0, kAll));
QM_STAGE("oil paint: refresh T (three times)", CopyBitmapRect(b, GetBitmapRect(b), t, 0, 0, kAll));
QM_STAGE("oil paint: median 1", ApplyRankFilter(b, t, rkMedian, kAll, 0, 1));
QM_STAGE("oil paint: preset 6", ApplyConvolutionPreset(b, t, 6, kAll));
QM_STAGE("oil paint: preset 3", ApplyConvolutionPreset(b, t, 3, kAll));

QM_CHAIN("FilterComicStrip", FilterComicStrip(b, kAll));
QM_STAGE("comic strip: T = copy of the layer", t = b.Clone());
QM_STAGE("comic strip: median 1 (twice)", ApplyRankFilter(b, t, rkMedian, kAll, 0, 1));
QM_STAGE("comic strip: refresh T (three times)", CopyBitmapRect(b, GetBitmapRect(b), t, 0, 0, kAll));
QM_STAGE("comic strip: preset 3 (twice)", ApplyConvolutionPreset(b, t, 3, kAll));
QM_STAGE("comic strip: sketch, DirectionalSmoothRect", DirectionalSmoothRect(b, 0, kAll));
QM_STAGE("comic strip: sketch, preset 9 into T", ApplyConvolutionPreset(t, b, 9, kAll));
QM_STAGE("comic strip: sketch, ThresholdRect 250", ThresholdRect(t, 250, clBlack, clWhite, kAll));
QM_STAGE("comic strip: black through the sketch 22 %", BlendColorThroughMask(t, GetBitmapRect(t), b, 0, 0, kAll,
                                                                              clBlack, 22));

QM_CHAIN("FilterFragment", FilterFragment(b, Photo(), kAll));
QM_CHAIN("FilterMotionBlur", FilterMotionBlur(b, Photo(), 0, kAll));
QM_CHAIN("FilterSharpEdges", FilterSharpEdges(b, Photo(), kAll));
QM_CHAIN("BlurThroughMask", BlurThroughMask(b, Photo(), kAll));
QM_CHAIN("FilterContours", FilterContours(b, kAll));
QM_CHAIN("FilterChalk", FilterChalk(b, kAll));
QM_CHAIN("FilterGraphite", FilterGraphite(b, kAll));
QM_CHAIN("FilterColorContours", FilterColorContours(b, Photo(), kAll));
QM_CHAIN("FilterInkOutlines", FilterInkOutlines(b, kAll));
QM_CHAIN("FilterPhotocopy", FilterPhotocopy(b, kAll));
QM_CHAIN("FilterPaper", FilterPaper(b, kAll));
QM_CHAIN("FilterGlass", FilterGlass(b, Photo(), kAll));
QM_CHAIN("FilterPastel stripes", FilterPastel(b, Photo(), true, kAll));
QM_CHAIN("FilterCharcoal", FilterCharcoal(b, false, kAll));
QM_CHAIN("FilterPencil grid", FilterPencil(b, Photo(), 2, 10, 5, kAll));
QM_CHAIN("FilterInk", FilterInk(b, kAll));
QM_CHAIN("FilterBlackPencil", FilterBlackPencil(b, kAll));
QM_CHAIN("FilterRadialBlur", FilterRadialBlur(b, Photo(), kAll));
QM_CHAIN("FilterMist", FilterMist(b, clWhite, 50, kAll));
QM_CHAIN("FilterSmear", FilterSmear(b, kAll));
QM_CHAIN("FilterPaletteKnife", FilterPaletteKnife(b, kAll));
QM_CHAIN("FilterWatercolor", FilterWatercolor(b, kAll));
QM_CHAIN("FilterWatercolorFinish", FilterWatercolorFinish(b, kAll));
QM_CHAIN("FilterCrystallize", FilterCrystallize(b, kAll));

}  // namespace
}  // namespace qm::bench
