#include "Harness.h"
#include "pixel/ImgUtils.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kFlopH = "FlipBitmapHorizontal (24 MP)";
const char* kHalf = "RotateBitmap180 (24 MP)";

// In place: a run flips the picture back the next time.
QM_BENCH(kFlopH, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) FlipBitmapHorizontal(b);
});

QM_BENCH(kHalf, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) RotateBitmap180(b);
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kFlopH, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) cv::flip(src, out, 1);
});

QM_BENCH(kHalf, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) cv::flip(src, out, -1);
});
#endif

QM_BENCH(kFlopH, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  for (auto _ : st) DestroyImage(FlopImage(ToGM(Photo()), &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
