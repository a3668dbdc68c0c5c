#include <memory>

#include "Harness.h"
#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "pixel/ImgUtils.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kCompose = "Compose 10 layers, masks and opacities (24 MP)";
const char* kDirty = "Compose 10 layers, 512 x 512 dirty rect (24 MP)";
const char* kSnapWhole = "Undo snapshot of a whole layer (24 MP)";
const char* kSwapWhole = "Undo swap of a whole layer (24 MP)";
const char* kSnapFull = "Undo snapshot of a rect over a whole layer (24 MP)";
const char* kSwapFull = "Undo swap of a rect over a whole layer (24 MP)";
const char* kSwapResized = "Undo swap of a resized layer (24 MP <-> 6 MP)";
const char* kSnapRect = "Undo snapshot of a 1000 x 1000 rect";
const char* kSwapRect = "Undo swap of a 1000 x 1000 rect";
const char* kRotate30 = "ApplyTransform / rotate a layer by 30 deg (24 MP)";
const char* kResize = "Smooth resize of a layer, triangle filter (24 MP -> 13.5 MP)";

// A document of ten full-size layers: the photo as background, then nine copies of the
// two photos alternately, each through the photo mask, at opacities from 30 to 90 %,
// moved a little each so that no two line up.
TLayeredImage& TenLayers() {
  return FamilyFixture([] {
    auto d = std::make_unique<TLayeredImage>();
    d->LoadFromBitmap(Photo(), TBitmap(), "#0");
    for (int i = 1; i < 10; ++i)
      d->AddLayer(i % 2 ? Photo2() : Photo(), PhotoMask(), "#", 30 + 7 * i, TPoint{17 * i - 80, 11 * i - 50});
    d->UpdatedComposition();
    return d;
  });
}

QM_BENCH(kCompose, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TLayeredImage& doc = TenLayers();
  for (auto _ : st) doc.RenderLayers();
});

QM_BENCH(kDirty, kOurs, 512 * 512 * 3, [](benchmark::State& st) {
  TLayeredImage& doc = TenLayers();
  const TRect r = Bounds(2700, 1700, 512, 512);
  for (auto _ : st) doc.RenderRect(r);
});

// A layer of its own, so that swaps do not disturb the shared photos.
TLayerItem& Layer() {
  return FamilyFixture([] {
    auto p = std::make_unique<TLayerItem>();
    p->Image = Photo().Clone();
    return p;
  });
}

// Whole-layer steps (operations that may change the size) keep the bitmap itself.
QM_BENCH(kSnapWhole, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    TUndoLayerItem step(Layer(), "Filtre", uwImage);
    benchmark::DoNotOptimize(step.ImageSnap.Row(0));
  }
});

QM_BENCH(kSwapWhole, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TUndoLayerItem step(Layer(), "Filtre", uwImage);
  for (auto _ : st) SwapUndoStep(step);
});

// A filter on a whole layer keeps a rectangle step of the whole layer: packed rows,
// exchanged row by row.
QM_BENCH(kSnapFull, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    TUndoLayerItem step(Layer(), "Filtre", uwImage, UnboundedRect);
    benchmark::DoNotOptimize(step.ImageSnap.Row(0));
  }
});

QM_BENCH(kSwapFull, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TUndoLayerItem step(Layer(), "Filtre", uwImage, UnboundedRect);
  for (auto _ : st) SwapUndoStep(step);
});

// The step was taken before a resize to half the size: each swap exchanges a 24 MP and a
// 6 MP bitmap whole.
QM_BENCH(kSwapResized, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TLayerItem l;
  l.Image = Photo().Clone();
  TUndoLayerItem step(l, "Taille", uwImage);
  ResizeBitmap(3000, 2000, l.Image);
  for (auto _ : st) SwapUndoStep(step);
});

QM_BENCH(kSnapRect, kOurs, 1000 * 1000 * 3, [](benchmark::State& st) {
  for (auto _ : st) {
    TUndoLayerItem step(Layer(), "Pinceau", uwImage, Bounds(2500, 1500, 1000, 1000));
    benchmark::DoNotOptimize(step.ImageSnap.Row(0));
  }
});

QM_BENCH(kSwapRect, kOurs, 1000 * 1000 * 3, [](benchmark::State& st) {
  TUndoLayerItem step(Layer(), "Pinceau", uwImage, Bounds(2500, 1500, 1000, 1000));
  for (auto _ : st) SwapUndoStep(step);
});

// The whole of ApplyTransform: nearest pass, edge spread, smooth pass, the mask made and
// turned, the hidden part whitened. The layer is made again outside the timing.
QM_BENCH(kRotate30, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    st.PauseTiming();
    TLayerItem l;
    l.Image = Photo().Clone();
    st.ResumeTiming();
    l.RotateBy(30);
    benchmark::DoNotOptimize(l.Image.Bits());
  }
});

// The layer resampling of an upright scale (ResizeTo on a layer without a mask): the
// library's triangle filter with our packing around it.
QM_BENCH(kResize, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    st.PauseTiming();
    TLayerItem l;
    l.Image = Photo().Clone();
    st.ResumeTiming();
    l.ResizeTo(4500, 3000);
    benchmark::DoNotOptimize(l.Image.Bits());
  }
});

QM_BENCH(kResize, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(ResizeImage(src, 4500, 3000, TriangleFilter, 1.0, &ex));
  DestroyExceptionInfo(&ex);
});

QM_BENCH(kRotate30, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(RotateImage(src, 30, &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
