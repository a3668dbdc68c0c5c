#include "Harness.h"
#include "pixel/FloodFill.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kFill = "FloodFillBitmap uniform 24 MP, tolerance 10";

// Each run repaints the whole picture, alternating two colours so that every run
// starts from a uniform picture again.
TBitmap UniformPhoto() { return TBitmap(kPhotoWidth, kPhotoHeight, pf24bit, RGB(90, 120, 150)); }
constexpr int kSeedX = kPhotoWidth / 2, kSeedY = kPhotoHeight / 2;

QM_BENCH(kFill, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap bmp = UniformPhoto();
  bool flip = false;
  for (auto _ : st) {
    FloodFillBitmap(bmp, nullptr, kSeedX, nullptr, UnboundedRect, 10, flip ? RGB(90, 120, 150) : RGB(10, 200, 30),
                    kSeedY);
    flip = !flip;
  }
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kFill, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  TBitmap bmp = UniformPhoto();
  cv::Mat m = AsMat(bmp);
  bool flip = false;
  for (auto _ : st) {
    cv::floodFill(m, cv::Point(kSeedX, kSeedY), flip ? cv::Scalar(150, 120, 90) : cv::Scalar(30, 200, 10), nullptr,
                  cv::Scalar(10, 10, 10), cv::Scalar(10, 10, 10), 4 | cv::FLOODFILL_FIXED_RANGE);
    flip = !flip;
  }
});
#endif

QM_BENCH(kFill, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  TBitmap bmp = UniformPhoto();
  Image* img = CloneImage(ToGM(bmp), 0, 0, 1, &ex);
  img->fuzz = 10.0 * MaxRGB / 255.0;
  DrawInfo* draw = CloneDrawInfo(nullptr, nullptr);
  bool flip = false;
  for (auto _ : st) {
    const PixelPacket target = AcquireOnePixel(img, kSeedX, kSeedY, &ex);
    draw->fill.red = flip ? ScaleCharToQuantum(90) : ScaleCharToQuantum(10);
    draw->fill.green = flip ? ScaleCharToQuantum(120) : ScaleCharToQuantum(200);
    draw->fill.blue = flip ? ScaleCharToQuantum(150) : ScaleCharToQuantum(30);
    draw->fill.opacity = OpaqueOpacity;
    ColorFloodfillImage(img, draw, target, kSeedX, kSeedY, FloodfillMethod);
    flip = !flip;
  }
  DestroyDrawInfo(draw);
  DestroyImage(img);
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
