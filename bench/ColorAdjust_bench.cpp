#include <algorithm>
#include <cmath>

#include "Harness.h"
#include "pixel/ColorAdjust.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kGamma = "GammaRect 1.6 (24 MP)";
const char* kContrast = "ContrastRect 30 % (24 MP)";
const char* kLighten = "LightenDarkenRect 20 % (24 MP)";
const char* kHue = "ShiftHueRect 40 deg (24 MP)";
const char* kSaturation = "SaturationRect 40 % (24 MP)";

// Each kernel works in place, as the peers below do on their own copy; repeating it
// on the same pixels costs the same every time.
QM_BENCH(kGamma, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) GammaRect(b, UnboundedRect, 1.6);
});
QM_BENCH(kContrast, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) ContrastRect(b, 30, UnboundedRect);
});
QM_BENCH(kLighten, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) LightenDarkenRect(b, 20, UnboundedRect);
});
QM_BENCH(kHue, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) ShiftHueRect(b, 40, UnboundedRect);
});
QM_BENCH(kSaturation, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) SaturationRect(b, 40, UnboundedRect);
});
// The hue and saturation dialog's operation in one pass, beside its two kernels in a row.
QM_BENCH("AdjustHueSaturation +40 deg, +35 % in one pass (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) AdjustHueSaturation(b, {40, 35, chAll}, UnboundedRect);
});
QM_BENCH("ShiftHueRect +40 deg, then SaturationRect +35 % (24 MP)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) {
    ShiftHueRect(b, 40, UnboundedRect);
    SaturationRect(b, 35, UnboundedRect);
  }
});

// The dialogs' operations of the tonal and colour dialogs, at the values of a preview.
const char* kLevels = "AdjustLevels +50 % below 100, -40 % above 150: both passes (24 MP)";
const char* kGammaMagenta = "AdjustGamma 0.5 on red and blue (24 MP)";
const char* kThreshold = "ApplyTwoColorThreshold 128, black and white (24 MP)";
const char* kPosterize = "ApplyPosterize step 50 (24 MP)";
QM_BENCH(kLevels, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) AdjustLevels(b, {100, 50, 150, -40}, UnboundedRect);
});
QM_BENCH(kGammaMagenta, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) AdjustGamma(b, {0.5, chMagenta}, UnboundedRect);
});
// Each run on the same picture: the two colours written back over it every time.
QM_BENCH(kThreshold, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) ApplyTwoColorThreshold(b, {128, clBlack, clWhite}, UnboundedRect);
});
QM_BENCH(kPosterize, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap b = Photo().Clone();
  for (auto _ : st) ApplyPosterize(b, {50}, UnboundedRect);
});

#ifdef QM_HAVE_OPENCV
// One table on all three channels, in place.
void OpenCVLut(benchmark::State& st, uint8_t (*f)(int)) {
  cv::Mat b = AsMat(Photo()).clone();
  cv::Mat lut(1, 256, CV_8U);
  for (int v = 0; v < 256; ++v) lut.at<uint8_t>(v) = f(v);
  for (auto _ : st) cv::LUT(b, lut, b);
}
QM_BENCH(kGamma, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut(st, [](int v) { return uint8_t(255.0 * std::pow(v / 255.0, 1 / 1.6)); });
});
QM_BENCH(kContrast, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut(st, [](int v) { return uint8_t(std::clamp(v + (v - 128) * 30 / 100, 0, 255)); });
});
QM_BENCH(kLighten, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut(st, [](int v) { return uint8_t(std::clamp(v + (255 - v) * 20 / 100, 0, 255)); });
});

// A table per channel (blue, green, red), in place.
void OpenCVLut3(benchmark::State& st, uint8_t (*f)(int channel, int v)) {
  cv::Mat b = AsMat(Photo()).clone();
  cv::Mat lut(1, 256, CV_8UC3);
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 3; ++c) lut.at<cv::Vec3b>(v)[c] = f(c, v);
  for (auto _ : st) cv::LUT(b, lut, b);
}
// Ours makes the levels' two passes one table: the peer gets that table too.
QM_BENCH(kLevels, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut(st, [](int v) {
    if (v <= 100) v = std::clamp(v + (v - 100) * 50 / 100, 0, 255);
    return uint8_t(v >= 150 ? std::clamp(v + (v - 150) * -40 / 100, 0, 255) : v);
  });
});
QM_BENCH(kGammaMagenta, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut3(st, [](int c, int v) { return uint8_t(c == 1 ? v : 255.0 * std::pow(v / 255.0, 1 / 0.5)); });
});
// The grey of each pixel, then black or white by it (one channel out).
QM_BENCH(kThreshold, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat b = AsMat(Photo()), grey, out;
  for (auto _ : st) {
    cv::cvtColor(b, grey, cv::COLOR_BGR2GRAY);
    cv::threshold(grey, out, 128, 255, cv::THRESH_BINARY);
  }
});
QM_BENCH(kPosterize, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVLut(st, [](int v) { return uint8_t(v < 50 ? 0 : v > 205 ? 255 : v / 50 * 50); });
});

// The HSV round trip: to HSV, one channel through a table, back to BGR.
void OpenCVHsv(benchmark::State& st, int channel, uint8_t (*f)(int)) {
  cv::Mat b = AsMat(Photo()).clone(), hsv;
  cv::Mat lut(1, 256, CV_8UC3);
  for (int v = 0; v < 256; ++v)
    for (int c = 0; c < 3; ++c) lut.at<cv::Vec3b>(v)[c] = c == channel ? f(v) : uint8_t(v);
  for (auto _ : st) {
    cv::cvtColor(b, hsv, cv::COLOR_BGR2HSV_FULL);
    cv::LUT(hsv, lut, hsv);
    cv::cvtColor(hsv, b, cv::COLOR_HSV2BGR_FULL);
  }
}
QM_BENCH(kHue, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVHsv(st, 0, [](int v) { return uint8_t((v + 28) & 255); });  // 40 degrees of 256 steps
});
QM_BENCH(kSaturation, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  OpenCVHsv(st, 1, [](int v) { return uint8_t(std::min(v * 14 / 10, 255)); });
});
#endif

// GraphicsMagick works in place on its own copy of the picture.
template <class Op>
void GMInPlace(benchmark::State& st, Op op) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* img = CloneImage(ToGM(Photo()), 0, 0, 1, &ex);
  for (auto _ : st) op(img);
  DestroyImage(img);
  DestroyExceptionInfo(&ex);
}
QM_BENCH(kGamma, kGM, kPhotoBytes, [](benchmark::State& st) { GMInPlace(st, [](Image* i) { GammaImage(i, "1.6"); }); });
QM_BENCH(kContrast, kGM, kPhotoBytes, [](benchmark::State& st) {
  GMInPlace(st, [](Image* i) { LevelImage(i, "10%,1.0,90%"); });
});
QM_BENCH(kLighten, kGM, kPhotoBytes, [](benchmark::State& st) {
  GMInPlace(st, [](Image* i) { ModulateImage(i, "120,100,100"); });
});
QM_BENCH(kHue, kGM, kPhotoBytes, [](benchmark::State& st) {
  GMInPlace(st, [](Image* i) { ModulateImage(i, "100,100,122"); });
});
QM_BENCH(kSaturation, kGM, kPhotoBytes, [](benchmark::State& st) {
  GMInPlace(st, [](Image* i) { ModulateImage(i, "100,140,100"); });
});

}  // namespace
}  // namespace qm::bench
