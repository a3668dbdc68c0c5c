#include <cmath>
#include <numbers>
#include <vector>

#include "Harness.h"
#include "pixel/Distortion.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

// The parameters of the dialogs' defaults: spiral strength 4 (a quarter turn at the
// centre), lens N = 5, a wave of period 40 and amplitude 20.
constexpr int kSpiralN = 4, kWavePeriod = 40, kWaveAmp = 20;
constexpr double kLensS = 1.33 - (5 + 3) / 20.0;

const char* kSpiral = "DistortSpiral bilinear (24 MP)";
const char* kLens = "DistortLens (24 MP)";
const char* kWaveRows = "DistortWave rows (24 MP)";
const char* kWaveCols = "DistortWave columns (24 MP)";
const char* kSpiralMap = "spiral map for remap (24 MP)";
const char* kLensMap = "lens map for remap (24 MP)";
const char* kWaveMap = "wave columns map for remap (24 MP)";
// The trapezium at the dialog's 60 % top and 100 % bottom edges.
constexpr int kTrapTop = 60, kTrapBottom = 100;
const char* kTrapezoid = "DistortTrapezoid bilinear (24 MP)";

// Each distortion draws from the photo into a destination made once.
template <class F>
void Ours(benchmark::State& st, F f) {
  TBitmap dst = Photo().Clone();
  for (auto _ : st) f(dst);
}
QM_BENCH(kSpiral, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Ours(st, [](TBitmap& d) { DistortSpiral(Photo(), d, true, UnboundedRect, true, clWhite, kSpiralN); });
});
QM_BENCH(kLens, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Ours(st, [](TBitmap& d) { DistortLens(Photo(), d, clWhite, UnboundedRect, kLensS); });
});
QM_BENCH(kWaveRows, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Ours(st, [](TBitmap& d) { DistortWave(Photo(), d, kWavePeriod, UnboundedRect, true, kWaveAmp); });
});
QM_BENCH(kWaveCols, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Ours(st, [](TBitmap& d) { DistortWave(Photo(), d, kWavePeriod, UnboundedRect, false, kWaveAmp); });
});
QM_BENCH(kTrapezoid, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Ours(st, [](TBitmap& d) { DistortTrapezoid(Photo(), d, kTrapTop, UnboundedRect, true, clWhite, kTrapBottom); });
});

#ifdef QM_HAVE_OPENCV
// The maps a remap needs, from the same formulas (single-precision maps, as remap takes
// them); positions that take the background point far outside.
struct Maps {
  cv::Mat x, y;
};

template <class F>
Maps BuildMaps(F f) {
  Maps m{cv::Mat(kPhotoHeight, kPhotoWidth, CV_32FC1), cv::Mat(kPhotoHeight, kPhotoWidth, CV_32FC1)};
#pragma omp parallel for schedule(static)
  for (int y = 0; y < kPhotoHeight; ++y) {
    float* mx = m.x.ptr<float>(y);
    float* my = m.y.ptr<float>(y);
    for (int x = 0; x < kPhotoWidth; ++x) {
      double sx, sy;
      f(x, y, sx, sy);
      mx[x] = float(sx);
      my[x] = float(sy);
    }
  }
  return m;
}

Maps SpiralMaps() {
  const double cx = kPhotoWidth / 2, cy = kPhotoHeight / 2, R = kPhotoWidth / 2;
  const double twist = kSpiralN * std::numbers::pi / 8;
  return BuildMaps([&](int x, int y, double& sx, double& sy) {
    const double dx = x - cx, dy = y - cy, t = std::sqrt(dx * dx + dy * dy) / R;
    const double a = t <= 1 ? (1 - t) * twist : 0;
    sx = cx + dx * std::cos(a) + dy * std::sin(a);
    sy = cy + dy * std::cos(a) - dx * std::sin(a);
  });
}

Maps LensMaps() {
  const double hx = kPhotoWidth / 2, hy = kPhotoHeight / 2, R = kPhotoHeight * kLensS;
  return BuildMaps([&](int x, int y, double& sx, double& sy) {
    const double dx = x - hx, dy = y - hy, r = std::sqrt(dx * dx + dy * dy);
    sx = sy = -10;
    if (r >= R) return;
    const double q = r > 0 ? (1 / (1 - r / R) - 1) * (R / 2) * kLensS / r : 0;
    sx = dx * q + hx;
    sy = dy * q + hy;
  });
}

Maps WaveMaps() {
  return BuildMaps([&](int x, int y, double& sx, double& sy) {
    sx = std::round(std::sin(double(x) / kWavePeriod * std::numbers::pi) * kWaveAmp + x);
    sy = y;
  });
}

// Ours compute each pixel's source position as they go: the peer's row builds its maps
// and remaps in the same timed loop, so both rows time the same work.
Maps WaveRowMaps() {
  return BuildMaps([](int x, int y, double& sx, double& sy) {
    sx = x;
    sy = std::round(std::sin(double(y) / kWavePeriod * std::numbers::pi) * kWaveAmp + y);
  });
}

// Each row squeezed to its width, centred: the source column of x in a row of width wr.
Maps TrapezoidMaps() {
  return BuildMaps([](int x, int y, double& sx, double& sy) {
    const double top = kPhotoWidth * kTrapTop / 100.0, bottom = kPhotoWidth * kTrapBottom / 100.0;
    const double wr = top + (bottom - top) * y / (kPhotoHeight - 1);
    const double left = (kPhotoWidth - wr) / 2;
    sx = (x - left) * kPhotoWidth / wr;
    sy = y;
  });
}

void Remap(benchmark::State& st, Maps (*maps)(), int interpolation) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out;
  for (auto _ : st) {
    const Maps m = maps();
    cv::remap(src, out, m.x, m.y, interpolation, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
  }
}
QM_BENCH(kSpiral, kOpenCV, kPhotoBytes, [](benchmark::State& st) { Remap(st, SpiralMaps, cv::INTER_LINEAR); });
QM_BENCH(kLens, kOpenCV, kPhotoBytes, [](benchmark::State& st) { Remap(st, LensMaps, cv::INTER_LINEAR); });
QM_BENCH(kTrapezoid, kOpenCV, kPhotoBytes, [](benchmark::State& st) { Remap(st, TrapezoidMaps, cv::INTER_LINEAR); });
QM_BENCH(kWaveCols, kOpenCV, kPhotoBytes, [](benchmark::State& st) { Remap(st, WaveMaps, cv::INTER_NEAREST); });
// The rows form is a copy of shifted rows: remap with a row map is the closest peer.
QM_BENCH(kWaveRows, kOpenCV, kPhotoBytes, [](benchmark::State& st) { Remap(st, WaveRowMaps, cv::INTER_NEAREST); });
// What building the maps alone costs, of the rows above.
QM_BENCH(kSpiralMap, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(SpiralMaps());
});
QM_BENCH(kLensMap, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(LensMaps());
});
QM_BENCH(kWaveMap, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(WaveMaps());
});
#endif

// GraphicsMagick's nearest effects: swirl (a quarter turn), implode with a negative
// amount (a bulge, as the lens) and wave.
template <class F>
void GM(benchmark::State& st, F f) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) DestroyImage(f(src, &ex));
  DestroyExceptionInfo(&ex);
}
QM_BENCH(kSpiral, kGM, kPhotoBytes, [](benchmark::State& st) {
  GM(st, [](Image* i, ExceptionInfo* e) { return SwirlImage(i, 90.0, e); });
});
QM_BENCH(kLens, kGM, kPhotoBytes, [](benchmark::State& st) {
  GM(st, [](Image* i, ExceptionInfo* e) { return ImplodeImage(i, -0.5, e); });
});
QM_BENCH(kWaveCols, kGM, kPhotoBytes, [](benchmark::State& st) {
  GM(st, [](Image* i, ExceptionInfo* e) { return WaveImage(i, kWaveAmp, 2.0 * kWavePeriod, e); });
});

}  // namespace
}  // namespace qm::bench
