#include <cmath>

#include "Harness.h"
#include "pixel/Blend.h"
#include "pixel/Mask.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

const char* kGrow50 = "ApplyMinMaxPasses grow a mask by 50 (24 MP)";

// Works in place: each run starts again from the mask (not timed).
QM_BENCH(kGrow50, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap mask = PhotoMask().Clone();
  for (auto _ : st) {
    ApplyMinMaxPasses(mask, 50, UnboundedRect);
    st.PauseTiming();
    CopyBitmap24(PhotoMask(), mask);
    st.ResumeTiming();
  }
});

#ifdef QM_HAVE_OPENCV
// Fifty 4-neighbourhood passes over the same 3-channel mask.
QM_BENCH(kGrow50, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(PhotoMask()), out;
  const cv::Mat cross = cv::getStructuringElement(cv::MORPH_CROSS, cv::Size(3, 3));
  for (auto _ : st) cv::dilate(src, out, cross, cv::Point(-1, -1), 50, cv::BORDER_REPLICATE);
});
#endif

const char* kRamp33 = "RampMaskEdges 33 around an ellipse (24 MP)";

// A hard-edged ellipse over the whole photo: the stair steps of a selection mask.
const TBitmap& EllipseMask() {
  return FamilyFixture([] { return std::make_unique<TBitmap>(EllipseMaskOf(kPhotoWidth, kPhotoHeight)); });
}

QM_BENCH(kRamp33, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap mask = EllipseMask().Clone();
  for (auto _ : st) {
    RampMaskEdges(mask, UnboundedRect, 33);
    st.PauseTiming();
    CopyBitmap24(EllipseMask(), mask);
    st.ResumeTiming();
  }
});

}  // namespace
}  // namespace qm::bench
