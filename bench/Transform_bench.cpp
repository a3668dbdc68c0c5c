#include <cmath>

#include "Harness.h"
#include "pixel/Transform.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kLayer15 = "RasterizeTransformMasked, layer turned 15 deg, smooth (24 MP)";

// A layer of the photo with its mask, turned about its centre into a canvas of the
// turned bounds.
QM_BENCH(kLayer15, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TAffineTransformation t;
  t.SetSrcRect(TRect{0, 0, kPhotoWidth, kPhotoHeight});
  t.Rotate(kPhotoWidth / 2.0, kPhotoHeight / 2.0, 15);
  t.MoveToOrigin();
  TRect b;
  t.GetDestBounds(b);
  TBitmap canvas(b.Right, b.Bottom, pf24bit, clWhite);
  for (auto _ : st) RasterizeTransformMasked(Photo(), canvas, t, 100, PhotoMask(), true);
});

#ifdef QM_HAVE_OPENCV
// The same with warpAffine: the layer and its mask turned, then blended over the canvas.
QM_BENCH(kLayer15, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat alpha;
  cv::extractChannel(AsMat(PhotoMask()), alpha, 0);
  alpha = 255 - alpha;
  const double r = 15 * CV_PI / 180, c = std::cos(r), s = std::sin(r);
  const int w = int(std::lround(std::abs(src.rows * s) + std::abs(src.cols * c)));
  const int h = int(std::lround(std::abs(src.cols * s) + std::abs(src.rows * c)));
  cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(src.cols / 2.0f, src.rows / 2.0f), 15, 1.0);
  m.at<double>(0, 2) += (w - src.cols) / 2.0;
  m.at<double>(1, 2) += (h - src.rows) / 2.0;
  cv::Mat canvas(h, w, CV_8UC3, cv::Scalar(255, 255, 255)), layer, a, wf, wb, out;
  for (auto _ : st) {
    cv::warpAffine(src, layer, m, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    cv::warpAffine(alpha, a, m, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    a.convertTo(wf, CV_32F, 1.0 / 255);
    wb = 1.0 - wf;
    cv::blendLinear(layer, canvas, wf, wb, out);
  }
});
#endif

// GraphicsMagick: the layer with the mask as alpha, rotated, composed over the canvas.
QM_BENCH(kLayer15, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  const TBitmap& src = Photo();
  const TBitmap& mask = PhotoMask();
  std::vector<uint8_t> bgra(size_t(src.Width()) * src.Height() * 4);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x) {
      uint8_t* p = bgra.data() + (size_t(y) * src.Width() + x) * 4;
      const uint8_t* q = src.ScanLine(y) + 3 * x;
      p[0] = q[0], p[1] = q[1], p[2] = q[2];
      p[3] = uint8_t(255 - mask.ScanLine(y)[3 * x]);
    }
  Image* layer = ConstituteImage(src.Width(), src.Height(), "BGRA", CharPixel, bgra.data(), &ex);
  Image* turned = RotateImage(layer, 15, &ex);
  Image* canvas = CloneImage(turned, 0, 0, 1, &ex);
  for (auto _ : st) {
    Image* t = RotateImage(layer, 15, &ex);
    CompositeImage(canvas, OverCompositeOp, t, 0, 0);
    DestroyImage(t);
  }
  DestroyImage(canvas);
  DestroyImage(turned);
  DestroyImage(layer);
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
