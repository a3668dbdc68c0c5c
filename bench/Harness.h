#pragma once
// The benchmark harness: shared test pictures, the peers' thread controls and the
// comparison table printed at the end of a run.
//
// A family file registers operations with QM_BENCH(operation, implementation, bytes,
// body). Each is run at 1 and at 8 threads; rows of the same operation are printed
// side by side: ours, OpenCV, GraphicsMagick, and the time a memory copy of `bytes`
// (usually the bytes of the picture the operation works on)
// takes (the physical floor), with the ratios.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Bitmap.h"

#ifdef QM_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

struct _Image;

namespace qm::bench {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000;
constexpr int64_t kPhotoBytes = int64_t(kPhotoWidth) * kPhotoHeight * 3;

// Deterministic 6000 x 4000 photo-like pictures (gradients, noise, edges), made once.
const TBitmap& Photo();
const TBitmap& Photo2();
// A grey mask of the same size: soft blobs, hard edges, fully on and off areas.
const TBitmap& PhotoMask();
// A hard-edged black ellipse filling a white w x h mask: the stair steps of a selection.
TBitmap EllipseMaskOf(int w, int h);

// Implementation names of the table's columns.
inline const char* kOurs = "ours";
inline const char* kOpenCV = "OpenCV";
inline const char* kGM = "GraphicsMagick";
// The codec library's own command-line program (djpeg, cjpeg, dcraw_emu ...), run on a
// file: the column appears only in tables that have such rows.
inline const char* kTool = "tool";
// libvips, where a family compares with it: the column appears only in tables that
// have such rows.
inline const char* kVips = "vips";

// A folder of the run's own in the temporary folder, removed at exit: the files
// written there are hundreds of megabytes.
struct TempFolder {
  std::filesystem::path path;
  explicit TempFolder(const char* prefix)
      : path(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

using Body = std::function<void(benchmark::State&)>;
// Registers one operation of one implementation, at 1 and 8 threads, for the family
// (its file) that runs it.
int Register(const std::string& op, const std::string& impl, int64_t bytes, Body body, const char* family = "");

#define QM_BENCH_CAT2(a, b) a##b
#define QM_BENCH_CAT(a, b) QM_BENCH_CAT2(a, b)
#define QM_BENCH(op, impl, bytes, ...)                                                        \
  static const int QM_BENCH_CAT(qm_bench_reg_, __LINE__) = ::qm::bench::Register(op, impl, bytes, \
                                                                                 __VA_ARGS__, __FILE__)

// Called once the run leaves the family now running for another: what the family made
// for its benchmarks (documents, editors, windows) goes, so that a whole run holds one
// family's memory at a time.
void AtFamilyEnd(std::function<void()> release);

// The family's object of type T, made on first use and freed when the run leaves the
// family (made again should a later family ask for it).
template <class T>
T& FamilyFixture() {
  static T* fixture = nullptr;
  if (!fixture) {
    fixture = new T();
    AtFamilyEnd([] {
      delete fixture;
      fixture = nullptr;
    });
  }
  return *fixture;
}
// The same for the object make returns (a std::unique_ptr; a lambda: one object per
// place that asks).
template <class Make>
auto& FamilyFixture(Make make) {
  static decltype(make()) fixture;
  if (!fixture) {
    fixture = make();
    AtFamilyEnd([] { fixture.reset(); });
  }
  return *fixture;
}

#ifdef QM_HAVE_OPENCV
// A Mat sharing the bitmap's pixels (CV_8UC3 / CV_8UC1 views).
cv::Mat AsMat(const TBitmap& bmp);
#endif

// A GraphicsMagick image of the bitmap (B, G, R pixels), made once per bitmap and
// kept, so the conversion is not timed. Family files include <magick/api.h> after our
// headers to use it.
_Image* ToGM(const TBitmap& bmp);

}  // namespace qm::bench
