#include "Harness.h"
#include "pixel/Rank.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kMedian3 = "ApplyRankFilter median 3 x 3 (24 MP)";
const char* kMedian7 = "ApplyRankFilter median 7 x 7 (24 MP)";
const char* kMin7 = "ApplyRankFilter minimum 7 x 7 (24 MP)";

void Ours(benchmark::State& st, TRankMode mode, int radius) {
  TBitmap src = Photo().Clone(), dst = Photo().Clone();
  for (auto _ : st) ApplyRankFilter(dst, src, mode, UnboundedRect, 0, radius);
}

QM_BENCH(kMedian3, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, rkMedian, 1); });
QM_BENCH(kMedian7, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, rkMedian, 3); });
QM_BENCH(kMin7, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, rkMinimum, 3); });

#ifdef QM_HAVE_OPENCV
QM_BENCH(kMedian3, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::medianBlur(src, out, 3);
});
QM_BENCH(kMedian7, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::medianBlur(src, out, 7);
});
QM_BENCH(kMin7, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  const cv::Mat box = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7));
  for (auto _ : st) cv::erode(src, out, box, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
});
#endif

// GraphicsMagick's median takes about 15 s for 3 x 3 on this picture (and minutes for
// 7 x 7, which is left out).
QM_BENCH(kMedian3, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(MedianFilterImage(src, 1, &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
