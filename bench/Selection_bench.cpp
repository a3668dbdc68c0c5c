#include <cmath>
#include <cstring>
#include <vector>

#include "Harness.h"
#include "document/SelectionHost.h"
#include "document/Shapes.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Mask.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace qm::bench {
namespace {

// A 6000 x 4000 mask of hard-edged random blobs (discs of 4 to 250 pixels radius,
// some overlapping) with a sprinkle of single pixels: ragged outlines and holes.
const TBitmap& BlobMask() {
  return FamilyFixture([] {
    TBitmap m(kPhotoWidth, kPhotoHeight, pf24bit, clWhite);
    uint32_t s = 12345;
    auto next = [&](int n) {
      s = s * 1664525u + 1013904223u;
      return int((s >> 8) % uint32_t(n));
    };
    for (int i = 0; i < 1500; ++i) {
      const int cx = next(kPhotoWidth), cy = next(kPhotoHeight), r = 4 + next(247);
      for (int y = std::max(0, cy - r); y < std::min(kPhotoHeight, cy + r + 1); ++y) {
        const int dy = y - cy, half = int(std::sqrt(double(r) * r - double(dy) * dy));
        const int x0 = std::max(0, cx - half), x1 = std::min(kPhotoWidth, cx + half + 1);
        if (x0 < x1) std::memset(m.ScanLine(y) + 3 * x0, 0, size_t(x1 - x0) * 3);
      }
    }
    for (int i = 0; i < 200000; ++i) {
      uint8_t* p = m.ScanLine(next(kPhotoHeight)) + 3 * next(kPhotoWidth);
      p[0] = p[1] = p[2] = uint8_t(next(2) ? 0 : 255);
    }
    return std::make_unique<TBitmap>(std::move(m));
  });
}

// One document the size of the photo, the background its only layer.
class Document : public TSelectionHost {
 public:
  Document() : layer(Photo2().Clone()) {}
  TBitmap* ActiveLayerBitmap() override { return &layer; }
  TPoint ActiveLayerOrigin() override { return TPoint{}; }
  TBitmap* BaseLayerBitmap() override { return &layer; }
  TSelectionOverlay* ActiveSelection() override { return &sel; }
  bool IsActiveImageTrueColor() override { return true; }
  const TBitmap* PreChangeCopy() override { return &Photo(); }
  TSelectionSmoothing SelectionSmoothing() override { return smoothing; }
  void ResnapUndoStep(const TRect&) override {}

  void SelectEllipse() {
    sel.Visible = true;
    sel.SetShape(ssEllipse);
    sel.SetSelectionRect(TRect{300, 200, kPhotoWidth - 300, kPhotoHeight - 200});
  }
  void SelectTraced() {
    TRect r;
    sel.Shape.ShapeFromMask(&BlobMask(), 128, r);
    sel.Visible = true;
    sel.SetShape(ssMultiPoints);
    sel.SetSelectionRect(r);
  }

  TBitmap layer;
  TSelectionOverlay sel;
  TSelectionSmoothing smoothing = selSmoothProgressive;
};

#ifdef QM_HAVE_OPENCV
cv::Mat Grey(const TBitmap& bmp) {
  cv::Mat grey;
  cv::extractChannel(AsMat(bmp), grey, 0);
  return grey;
}
#endif

// --- Tracing ---

const char* kTrace = "ShapeFromMask 6000x4000 random blobs";

QM_BENCH(kTrace, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const TBitmap& mask = BlobMask();
  TShapeManager s;
  TRect r;
  for (auto _ : st) s.ShapeFromMask(&mask, 128, r);
  st.counters["points"] = double(s.Points.size());
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kTrace, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat grey = Grey(BlobMask());
  cv::Mat bin;
  std::vector<std::vector<cv::Point>> contours;
  for (auto _ : st) {
    cv::threshold(grey, bin, 128, 255, cv::THRESH_BINARY_INV);
    cv::findContours(bin, contours, cv::RETR_LIST, cv::CHAIN_APPROX_NONE);
  }
});
#endif

// --- Selection masks ---

const char* kEllipseMask = "BuildSelectionMask ellipse 6000x4000";

QM_BENCH(kEllipseMask, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Document d;
  d.SelectEllipse();
  for (auto _ : st) benchmark::DoNotOptimize(BuildSelectionMask(d, false));
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kEllipseMask, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) {
    cv::Mat m(kPhotoHeight, kPhotoWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::ellipse(m, cv::Point(kPhotoWidth / 2, kPhotoHeight / 2), cv::Size(kPhotoWidth / 2 - 300, kPhotoHeight / 2 - 200),
                0, 0, 360, cv::Scalar(0, 0, 0), cv::FILLED);
    benchmark::DoNotOptimize(m.data);
  }
});
#endif

const char* kTracedMask = "BuildSelectionMask traced outline 6000x4000";

QM_BENCH(kTracedMask, kOurs, kPhotoBytes, [](benchmark::State& st) {
  Document d;
  d.SelectTraced();
  for (auto _ : st) benchmark::DoNotOptimize(BuildSelectionMask(d, false));
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kTracedMask, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat grey = Grey(BlobMask());
  cv::Mat bin;
  cv::threshold(grey, bin, 128, 255, cv::THRESH_BINARY_INV);
  std::vector<std::vector<cv::Point>> contours;
  std::vector<cv::Vec4i> hierarchy;
  cv::findContours(bin, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
  for (auto _ : st) {
    cv::Mat m(kPhotoHeight, kPhotoWidth, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::drawContours(m, contours, -1, cv::Scalar(0, 0, 0), cv::FILLED, cv::LINE_8, hierarchy);
    benchmark::DoNotOptimize(m.data);
  }
});
#endif

// --- Restricting a change to the selection ---

// With cached: the restrictions of a dialog's previews, the mask made by the first.
void Restrict(benchmark::State& st, TSelectionEdge edge, bool traced, bool cached = false) {
  Document d;
  if (traced) d.SelectTraced();
  else d.SelectEllipse();
  TRestoreMaskCache cache;
  for (auto _ : st) RestrictChangeToSelection(d, edge, cached ? &cache : nullptr);
}

QM_BENCH("RestrictChangeToSelection hard edge, ellipse 6000x4000", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seHard, false); });
QM_BENCH("RestrictChangeToSelection progressive edge, ellipse 6000x4000", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seProgressive, false); });
QM_BENCH("RestrictChangeToSelection smoothed edge, ellipse 6000x4000", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seSmooth, false); });
QM_BENCH("RestrictChangeToSelection smoothed edge, ellipse 6000x4000, again in the next preview", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seSmooth, false, true); });
QM_BENCH("RestrictChangeToSelection progressive edge, traced 6000x4000", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seProgressive, true); });
QM_BENCH("RestrictChangeToSelection smoothed edge, traced 6000x4000", kOurs, kPhotoBytes,
         [](benchmark::State& st) { Restrict(st, seSmooth, true); });

#ifdef QM_HAVE_OPENCV
QM_BENCH("RestrictChangeToSelection hard edge, ellipse 6000x4000", kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat before = AsMat(Photo());
  TBitmap layer = Photo2().Clone();
  cv::Mat after = AsMat(layer);
  for (auto _ : st) {
    cv::Mat outside(kPhotoHeight, kPhotoWidth, CV_8UC1, cv::Scalar(255));
    cv::ellipse(outside, cv::Point(kPhotoWidth / 2, kPhotoHeight / 2),
                cv::Size(kPhotoWidth / 2 - 300, kPhotoHeight / 2 - 200), 0, 0, 360, cv::Scalar(0), cv::FILLED);
    before.copyTo(after, outside);
  }
});
#endif

// --- The magic wand ---
// The wand's flood fill is not timed here: the mask it gives (the pixels near the
// colour of the big disc of the photo) is made once, and the selection is built
// from it.

const TBitmap& WandMask() {
  return FamilyFixture([] {
    TBitmap m;
    MaskByColorToleranceInverted(Photo(), m, Photo().GetPixel(1800, 1500), 40, true, UnboundedRect);
    return std::make_unique<TBitmap>(std::move(m));
  });
}

QM_BENCH("Magic wand selection from its mask 6000x4000", kOurs, kPhotoBytes, [](benchmark::State& st) {
  Document d;
  const TBitmap& wand = WandMask();
  TRect r;
  for (auto _ : st) CombineMaskWithSelection(d, wand, wcReplace, r);
});

QM_BENCH("Magic wand added to an ellipse selection 6000x4000", kOurs, kPhotoBytes, [](benchmark::State& st) {
  Document d;
  const TBitmap& wand = WandMask();
  TRect r;
  for (auto _ : st) {
    st.PauseTiming();
    d.SelectEllipse();
    st.ResumeTiming();
    CombineMaskWithSelection(d, wand, wcAdd, r);
  }
});

}  // namespace
}  // namespace qm::bench
