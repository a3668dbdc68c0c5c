#include "Harness.h"
#include "pixel/Blend.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kBlend50 = "CopyBitmapRectOpacity 50 % (24 MP)";
const char* kMasked = "CopyBitmapRectMasked (24 MP)";

QM_BENCH(kBlend50, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap dst = Photo().Clone();
  for (auto _ : st) CopyBitmapRectOpacity(Photo2(), UnboundedRect, dst, 0, 0, UnboundedRect, 50);
});

QM_BENCH(kMasked, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap dst = Photo().Clone();
  for (auto _ : st) CopyBitmapRectMasked(Photo2(), UnboundedRect, dst, 0, 0, UnboundedRect, 100, PhotoMask());
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kBlend50, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat a = AsMat(Photo()), b = AsMat(Photo2()), out;
  for (auto _ : st) cv::addWeighted(a, 0.5, b, 0.5, 0.0, out);
});

QM_BENCH(kMasked, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat a = AsMat(Photo()), b = AsMat(Photo2()), out;
  cv::Mat m, w1, w2;
  cv::extractChannel(AsMat(PhotoMask()), m, 0);
  m.convertTo(w1, CV_32F, 1.0 / 255.0);  // weight of the destination
  w2 = 1.0 - w1;
  for (auto _ : st) cv::blendLinear(a, b, w1, w2, out);
});
#endif

QM_BENCH(kBlend50, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* canvas = CloneImage(ToGM(Photo()), 0, 0, 1, &ex);
  Image* comp = CloneImage(ToGM(Photo2()), 0, 0, 1, &ex);
  SetImageOpacity(comp, MaxRGB / 2);
  for (auto _ : st) CompositeImage(canvas, DissolveCompositeOp, comp, 0, 0);
  DestroyImage(comp);
  DestroyImage(canvas);
  DestroyExceptionInfo(&ex);
});

QM_BENCH(kMasked, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* canvas = CloneImage(ToGM(Photo()), 0, 0, 1, &ex);
  // the second photo with the mask as its alpha (mask 0 = opaque)
  const TBitmap& src = Photo2();
  const TBitmap& mask = PhotoMask();
  std::vector<uint8_t> bgra(size_t(src.Width()) * src.Height() * 4);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      uint8_t* p = bgra.data() + (size_t(y) * src.Width() + x) * 4;
      const uint8_t* s = src.ScanLine(y) + 3 * x;
      p[0] = s[0];
      p[1] = s[1];
      p[2] = s[2];
      p[3] = uint8_t(255 - mask.ScanLine(y)[3 * x]);
    }
  Image* comp = ConstituteImage(src.Width(), src.Height(), "BGRA", CharPixel, bgra.data(), &ex);
  for (auto _ : st) CompositeImage(canvas, OverCompositeOp, comp, 0, 0);
  DestroyImage(comp);
  DestroyImage(canvas);
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
