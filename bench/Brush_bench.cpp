#include "Harness.h"
#include "pixel/Brush.h"
#include "platform/core/Random.h"

namespace qm::bench {
namespace {

const char* kStroke = "AirbrushDab stroke, 200 dabs at radius 50";
constexpr int kDabs = 200, kRadius = 50;
constexpr int64_t kStrokeBytes = int64_t(kDabs) * (2 * kRadius + 1) * (2 * kRadius + 1) * 3;

// A diagonal stroke across the photo, one dab every 25 pixels or so.
QM_BENCH(kStroke, kOurs, kStrokeBytes, [](benchmark::State& st) {
  TBitmap bmp = Photo().Clone();
  RandSeed(1);
  for (auto _ : st) {
    for (int i = 0; i < kDabs; ++i) {
      const int x = 500 + i * 25, y = 500 + i * 15;
      AirbrushDab(bmp, x, y, UnboundedRect, 4, RGB(200, 30, 60), 60, kRadius);
    }
  }
});

}  // namespace
}  // namespace qm::bench
