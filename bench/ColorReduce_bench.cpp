#include "Harness.h"
#include "pixel/ColorReduce.h"

#include "GmBench.h"

namespace qm::bench {
namespace {

const char* kReduce = "ReduceBitmapColors 256, octree + Floyd-Steinberg (24 MP)";
const char* kCount = "CountBitmapColors (24 MP)";

// The reduction works in place: each run starts from a fresh copy (not timed).
QM_BENCH(kReduce, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TBitmap work;
  for (auto _ : st) {
    st.PauseTiming();
    work.Assign(Photo());
    st.ResumeTiming();
    ReduceBitmapColors(work, 256, rcDither);
  }
});

QM_BENCH(kReduce, kGM, kPhotoBytes, [](benchmark::State& st) { TimeGraphicsMagickQuantize(st, 256, true); });

QM_BENCH(kCount, kOurs, kPhotoBytes, [](benchmark::State& st) {
  for (auto _ : st) benchmark::DoNotOptimize(CountBitmapColors(Photo()));
});

QM_BENCH(kCount, kGM, kPhotoBytes, [](benchmark::State& st) {
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* img = ToGM(Photo());
  for (auto _ : st) benchmark::DoNotOptimize(GetNumberColors(img, nullptr, &ex));
  DestroyExceptionInfo(&ex);
});

}  // namespace
}  // namespace qm::bench
