#pragma once
// The fifteen zoom steps of the zoom box and the zoom commands: which step a zoom
// stands on, and where a step in or out leads. No widget here: the main window's
// zoom box and commands read these.
#include <array>

namespace qm {

// The steps by their index in the zoom box; index 0 of the box is the automatic fit,
// so the step of box index i is kZoomSteps[i - 1].
inline constexpr std::array<double, 15> kZoomSteps = {0.1, 0.25, 0.333, 0.5, 0.667, 0.75, 1, 2,
                                                      3,   4,    5,     6,   8,     12,   16};
inline constexpr int kZoomStepCount = int(kZoomSteps.size());
inline constexpr int kZoomAutoIndex = 0;   // the automatic fit
inline constexpr int kZoom100Index = 7;    // 100 %
// A zoom equals a step when they differ by at most this.
inline constexpr double kZoomTolerance = 0.0001;

// The factor of box index 1..15; 0 for another index.
double ZoomStepFactor(int index);
// The box index of the step the zoom equals, 0 when none does.
int ZoomStepIndexOf(double zoom);
// The box index of the largest step not above the zoom (rounded to 3 decimals); 0 for a
// zoom below the first step, as a large picture fitted to its window has.
int ZoomStepFloor(double zoom);

enum class TZoomDirection { In, Out };
// The box index one step in or out of the zoom; 0 when there is none (at 16 in, at 0.1
// or below out).
int ZoomStepFrom(double zoom, TZoomDirection direction);

// The box index that shows the zoom: 0 on the automatic fit at 100 % (a fit never goes
// above it), else the step it equals, else 0.
int ZoomBoxIndex(double zoom, bool automaticFit);

}  // namespace qm
