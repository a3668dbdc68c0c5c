#include "Harness.h"
#include "pixel/Convolution.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kSharpen = "Convolve3x3 sharpen preset (24 MP)";
constexpr int kSharpenPreset = 2;

QM_BENCH(kSharpen, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap src = Photo().Clone(), dst = Photo().Clone();
  for (auto _ : st) ApplyConvolutionPreset(dst, src, kSharpenPreset, UnboundedRect);
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kSharpen, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const TConvolutionMatrix& m = kConvolutionPresets[kSharpenPreset];
  cv::Mat k(3, 3, CV_32F);
  for (int i = 0; i < 9; ++i) k.at<float>(i / 3, i % 3) = float(m.C[i]) / float(m.Divisor);
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::filter2D(src, out, -1, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
});
#endif

QM_BENCH(kSharpen, kGM, kPhotoBytes, [](benchmark::State& st) {
  const TConvolutionMatrix& m = kConvolutionPresets[kSharpenPreset];
  double k[9];
  for (int i = 0; i < 9; ++i) k[i] = double(m.C[i]) / m.Divisor;
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(ConvolveImage(src, 3, k, &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
