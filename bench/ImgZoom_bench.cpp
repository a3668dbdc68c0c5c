#include "Harness.h"
#include "pixel/ImgZoom.h"
#include "platform/core/Canvas.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif
#include <magick/api.h>

namespace qm::bench {
namespace {

const char* kZoom = "DrawBitmapZoomed halftone 6000x4000 into 1620x1080";

QM_BENCH(kZoom, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap target(1620, 1080, pf24bit, clBlack);
  TBitmapCanvas canvas(target);
  TImageZoom zoom;
  zoom.SetAlignment(alCenter);
  zoom.SetBitmap(&Photo());
  zoom.SetTarget(&canvas);
  zoom.SetFitMode(fmFitWhole);
  zoom.Halftone = true;
  TRect drawn;
  for (auto _ : st) zoom.DrawTo(true, drawn);
});

#ifdef QM_HAVE_OPENCV
QM_BENCH(kZoom, kOpenCV, kPhotoBytes, [](benchmark::State& st) {
  cv::Mat src = AsMat(Photo()), out;
  for (auto _ : st) cv::resize(src, out, cv::Size(1620, 1080), 0, 0, cv::INTER_AREA);
});
#endif

QM_BENCH(kZoom, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* src = ToGM(Photo());
  for (auto _ : st) {
    Image* out = ResizeImage(src, 1620, 1080, BoxFilter, 1.0, &ex);
    DestroyImage(out);
  }
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
