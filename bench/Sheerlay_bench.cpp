// Sheerlay's preview and the transparency mask, beside OpenCV doing the same steps.
#include "Harness.h"
#include "document/Sheerlay.h"
#include "pixel/Blend.h"
#include "pixel/Transparency.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

constexpr int kLayerW = 4000, kLayerH = 3000;  // 12 MP
constexpr int64_t kLayerBytes = int64_t(kLayerW) * kLayerH * 3;

// A 12 MP layer cut from the photo, and a 1000 x 750 grey picture as a mask file gives.
const TBitmap& Layer12() {
  static const TBitmap layer = [] {
    TBitmap b(kLayerW, kLayerH);
    CopyBitmapRect(Photo(), TRect{0, 0, kLayerW, kLayerH}, b, 0, 0, TRect{0, 0, kLayerW, kLayerH});
    return b;
  }();
  return layer;
}
const TBitmap& MaskPicture() {
  static const TBitmap picture = [] {
    TBitmap b(1000, 750);
    CopyBitmapRect(PhotoMask(), TRect{0, 0, 1000, 750}, b, 0, 0, TRect{0, 0, 1000, 750});
    return b;
  }();
  return picture;
}

TSheerlayParams Stretched(bool soften) {
  TSheerlayParams p = DefaultParams<TSheerlayParams>();
  p.Color = RGB(30, 60, 200);
  p.Opacity = 80;
  p.Soften = soften;
  return p;
}

void Preview(benchmark::State& st, int mode) {
  TBitmap layer = Layer12().Clone();
  const TSheerlayParams p = Stretched(true);
  for (auto _ : st) {
    TSheerlayTarget t{layer, Layer12(), nullptr, false};
    ApplySheerlay(t, MaskPicture(), mode, p, TRect{0, 0, kLayerW, kLayerH});
  }
}

const char* kPreview = "Sheerlay preview, colour, stretched blurred mask (12 MP)";
QM_BENCH(kPreview, kOurs, kLayerBytes, [](benchmark::State& st) { Preview(st, slColor); });

const char* kPreviewBlur = "Sheerlay preview, Flou gaussien (12 MP)";
QM_BENCH(kPreviewBlur, kOurs, kLayerBytes, [](benchmark::State& st) { Preview(st, slBlur); });

const char* kStretch = "Sheerlay mask stretched 1000x750 to 12 MP";
QM_BENCH(kStretch, kOurs, kLayerBytes, [](benchmark::State& st) {
  const TSheerlayParams p = Stretched(false);
  for (auto _ : st) benchmark::DoNotOptimize(BuildSheerlayMask(MaskPicture(), kLayerW, kLayerH, p, slColor, true));
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kStretch, kOpenCV, kLayerBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(MaskPicture());
  cv::Mat out;
  for (auto _ : st) cv::resize(src, out, cv::Size(kLayerW, kLayerH), 0, 0, cv::INTER_LINEAR);
});
#endif

const char* kTransMask = "Transparency mask, Contour progressif (24 MP)";
QM_BENCH(kTransMask, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap mask;
  const TTransMaskParams p{Photo().GetPixel(100, 100), 30, meProgressive};
  for (auto _ : st) MakeTransparencyMask(mask, Photo(), p);
});

#ifdef QM_HAVE_OPENCV
// The same steps: the colour's range, eight 4-neighbour erosions of the black, a
// Gaussian blur of radius 4.
QM_BENCH(kTransMask, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  const TColor c = Photo().GetPixel(100, 100);
  const cv::Scalar lo(std::max(0, GetBValue(c) - 30), std::max(0, GetGValue(c) - 30), std::max(0, GetRValue(c) - 30));
  const cv::Scalar hi(std::min(255, GetBValue(c) + 30), std::min(255, GetGValue(c) + 30),
                      std::min(255, GetRValue(c) + 30));
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  cv::Mat mask, grown, out;
  for (auto _ : st) {
    cv::inRange(src, lo, hi, mask);
    cv::dilate(mask, grown, cross, cv::Point(-1, -1), 8, cv::BORDER_REPLICATE);
    cv::GaussianBlur(grown, out, cv::Size(9, 9), 0, 0, cv::BORDER_REPLICATE);
  }
});
#endif

}  // namespace
}  // namespace qm::bench
