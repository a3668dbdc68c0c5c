#include "Harness.h"
#include "pixel/Blend.h"
#include "pixel/Blur.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kBlur6 = "GaussianBlurRect radius 6 (24 MP)";
const char* kBlur30 = "GaussianBlurRect radius 30 (24 MP)";

// The peers get the same Gaussian: sigma = our radius, the same kernel half-width.
int HalfWidth(int radius) {
  TKernel k;
  MakeGaussianKernel(k, 1.0, 255.0, radius);
  return k.Size;
}

// The blur works in place: each run starts again from the photo (not timed).
void Ours(benchmark::State& st, int radius) {
  TBitmap img = Photo().Clone();
  for (auto _ : st) {
    GaussianBlurRect(img, radius, UnboundedRect);
    st.PauseTiming();
    CopyBitmap24(Photo(), img);
    st.ResumeTiming();
  }
}

QM_BENCH(kBlur6, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, 6); });
QM_BENCH(kBlur30, kOurs, kPhotoBytes, [](benchmark::State& st) { Ours(st, 30); });

#ifdef QM_HAVE_OPENCV
void OpenCV(benchmark::State& st, int radius) {
  cv::Mat src = AsMat(Photo()), out;
  const int k = 2 * HalfWidth(radius) + 1;
  for (auto _ : st) cv::GaussianBlur(src, out, cv::Size(k, k), radius, radius, cv::BORDER_REPLICATE);
}
QM_BENCH(kBlur6, kOpenCV, kPhotoBytes, [](benchmark::State& st) { OpenCV(st, 6); });
QM_BENCH(kBlur30, kOpenCV, kPhotoBytes, [](benchmark::State& st) { OpenCV(st, 30); });
#endif

void GM(benchmark::State& st, int radius) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) {
    Image* out = BlurImage(src, HalfWidth(radius), radius, &ex);
    DestroyImage(out);
  }
  DestroyExceptionInfo(&ex);
}
QM_BENCH(kBlur6, kGM, kPhotoBytes, [](benchmark::State& st) { GM(st, 6); });
QM_BENCH(kBlur30, kGM, kPhotoBytes, [](benchmark::State& st) { GM(st, 30); });

}  // namespace
}  // namespace qm::bench
