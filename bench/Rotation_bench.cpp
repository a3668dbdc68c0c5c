#include <cmath>

#include "Harness.h"
#include "pixel/Rotation.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kRot17 = "RotateBitmapAngleTo 17 deg bilinear enlarged (24 MP)";
const char* kRot30 = "RotateBitmapAngleTo 30 deg bilinear enlarged (24 MP)";
const char* kRot90 = "RotateBitmap90To (24 MP)";

void Ours(benchmark::State& st, double deg) {
  TBitmap dst;
  for (auto _ : st) RotateBitmapAngleTo(Photo(), dst, true, deg, true, clWhite);
}
QM_BENCH(kRot17, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, 17); });
QM_BENCH(kRot30, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, 30); });
QM_BENCH(kRot90, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap dst;
  for (auto _ : st) RotateBitmap90To(Photo(), dst, true);
});

#ifdef QM_HAVE_OPENCV
// The same enlarged frame, turned about the centres, bilinear, white outside.
void OpenCV(benchmark::State& st, double deg) {
  const cv::Mat src = AsMat(Photo());
  const double r = deg * CV_PI / 180, c = std::cos(r), s = std::sin(r);
  const int w = int(std::lround(std::abs(src.rows * s) + std::abs(src.cols * c)));
  const int h = int(std::lround(std::abs(src.cols * s) + std::abs(src.rows * c)));
  cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(src.cols / 2.0f, src.rows / 2.0f), -deg, 1.0);
  m.at<double>(0, 2) += (w - src.cols) / 2.0;
  m.at<double>(1, 2) += (h - src.rows) / 2.0;
  cv::Mat out;
  for (auto _ : st)
    cv::warpAffine(src, out, m, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
}
QM_BENCH(kRot17, kOpenCV, kPhotoBytes, [](benchmark::State& st) { OpenCV(st, 17); });
QM_BENCH(kRot30, kOpenCV, kPhotoBytes, [](benchmark::State& st) { OpenCV(st, 30); });
QM_BENCH(kRot90, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) cv::rotate(src, out, cv::ROTATE_90_CLOCKWISE);
});
#endif

void GM(benchmark::State& st, double deg) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(RotateImage(src, deg, &ex));
  DestroyExceptionInfo(&ex);
}
QM_BENCH(kRot17, kGM, kPhotoBytes, [](benchmark::State& st) { GM(st, 17); });
QM_BENCH(kRot30, kGM, kPhotoBytes, [](benchmark::State& st) { GM(st, 30); });
QM_BENCH(kRot90, kGM, kPhotoBytes, [](benchmark::State& st) { GM(st, 90); });

}  // namespace
}  // namespace qm::bench
