#include "shell/services/ZoomSteps.h"

#include <cmath>

namespace qm {

double ZoomStepFactor(int index) {
  return index >= 1 && index <= kZoomStepCount ? kZoomSteps[size_t(index - 1)] : 0.0;
}

int ZoomStepIndexOf(double zoom) {
  for (int i = 1; i <= kZoomStepCount; ++i)
    if (std::abs(ZoomStepFactor(i) - zoom) <= kZoomTolerance) return i;
  return 0;
}

int ZoomStepFloor(double zoom) {
  if (!std::isfinite(zoom)) return 0;
  const double z = std::round(zoom * 1000.0) / 1000.0;
  int floor = 0;
  for (int i = 1; i <= kZoomStepCount; ++i)
    if (ZoomStepFactor(i) <= z + kZoomTolerance) floor = i;
  return floor;
}

int ZoomStepFrom(double zoom, TZoomDirection direction) {
  int i = ZoomStepFloor(zoom);
  if (direction == TZoomDirection::In) return i < kZoomStepCount ? i + 1 : 0;
  // out: a zoom standing on a step goes to the one below it
  if (i >= 1 && std::abs(ZoomStepFactor(i) - std::round(zoom * 1000.0) / 1000.0) <= kZoomTolerance) --i;
  return i >= 1 ? i : 0;
}

int ZoomBoxIndex(double zoom, bool automaticFit) {
  const int i = ZoomStepIndexOf(zoom);
  return i == kZoom100Index && automaticFit ? kZoomAutoIndex : i;
}

}  // namespace qm
