#include "Harness.h"

#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "document/Undo.h"
#include "platform/core/Parallel.h"

#include <magick/api.h>

namespace qm::bench {
namespace {

constexpr int kThreadCounts[] = {1, 8};

// Photo-like content: smooth colour ramps, a vignette, sensor-like noise, hard-edged
// shapes and a fine texture, so kernels see gradients, noise and edges as in a photo.
TBitmap MakePhoto(uint32_t seed) {
  TBitmap bmp(kPhotoWidth, kPhotoHeight, pf24bit, clBlack);
  const double cx = kPhotoWidth * 0.45, cy = kPhotoHeight * 0.55;
#pragma omp parallel for schedule(static)
  for (int y = 0; y < kPhotoHeight; ++y) {
    uint32_t s = seed * 2654435761u + uint32_t(y) * 40503u + 1u;
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < kPhotoWidth; ++x) {
      s = s * 1664525u + 1013904223u;
      const int noise = int((s >> 24) % 17) - 8;
      const double dx = (x - cx) / kPhotoWidth, dy = (y - cy) / kPhotoHeight;
      const double vignette = 1.0 - 1.2 * (dx * dx + dy * dy);
      double r = 40 + 180.0 * x / kPhotoWidth, g = 60 + 150.0 * y / kPhotoHeight,
             b = 200 - 120.0 * (x + y) / (kPhotoWidth + kPhotoHeight);
      // shapes: a disc, a bright band, a dark rectangle, a checker patch
      if ((x - 1800) * (x - 1800) + (y - 1500) * (y - 1500) < 700 * 700) { r = 230; g = 190; b = 60; }
      if (x > 3500 && x < 4200) { r = r * 0.5 + 120; g = g * 0.5 + 120; b = b * 0.5 + 120; }
      if (x > 4500 && x < 5600 && y > 2500 && y < 3600) { r *= 0.25; g *= 0.3; b *= 0.35; }
      if (x > 600 && x < 1400 && y > 2800 && y < 3600 && ((x / 16 + y / 16) & 1)) { r = g = b = 245; }
      const double t = 6.0 * std::sin(x * 0.05) * std::sin(y * 0.037);
      auto px = [&](double v) { return uint8_t(std::clamp(int(v * vignette + t) + noise, 0, 255)); };
      p[3 * x] = px(b);
      p[3 * x + 1] = px(g);
      p[3 * x + 2] = px(r);
    }
  }
  return bmp;
}

TBitmap MakeMask() {
  TBitmap bmp(kPhotoWidth, kPhotoHeight, pf24bit, clBlack);
#pragma omp parallel for schedule(static)
  for (int y = 0; y < kPhotoHeight; ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < kPhotoWidth; ++x) {
      int v;
      if (x < kPhotoWidth / 4) v = 0;                 // fully applied
      else if (x >= kPhotoWidth * 3 / 4) v = 255;     // untouched
      else {
        const double d = std::hypot(x - kPhotoWidth / 2.0, y - kPhotoHeight / 2.0);
        v = std::clamp(int(d / 8) % 300 - 20, 0, 255);  // soft rings with hard steps
      }
      p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = uint8_t(v);
    }
  }
  return bmp;
}

// The family running, what it asked to free when the run leaves it, and the largest
// resident size the run has had at a change of family.
std::string& RunningFamily() {
  static std::string family;
  return family;
}
std::vector<std::function<void()>>& FamilyReleases() {
  static std::vector<std::function<void()>> releases;
  return releases;
}

// The process's resident size now and at its peak, in MiB (Linux's status file). The
// system's peak is reset by the families that measure their own (clear_refs), so the
// run's peak is the largest seen at each change of family.
std::pair<long, long> ResidentMiB() {
  static long runPeak = -1;
  long now = -1, peak = -1;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
      if (std::strncmp(line, "VmRSS:", 6) == 0) now = std::atol(line + 6) / 1024;
      if (std::strncmp(line, "VmHWM:", 6) == 0) peak = std::atol(line + 6) / 1024;
    }
    std::fclose(f);
  }
  runPeak = std::max(runPeak, peak);
  return {now, runPeak};
}

void LeaveFamily() {
  std::vector<std::function<void()>> releases;
  releases.swap(FamilyReleases());
  for (auto it = releases.rbegin(); it != releases.rend(); ++it) (*it)();
  // the spare blocks the family's histories gave back
  ReleaseUndoBufferPool();
}

void EnterFamily(const std::string& family) {
  if (family == RunningFamily()) return;
  if (!RunningFamily().empty()) {
    LeaveFamily();
    if (std::getenv("QM_BENCH_MEMORY")) {
      const auto [now, peak] = ResidentMiB();
      std::fprintf(stderr, "after %s: resident %ld MiB, peak %ld MiB\n",
                   std::filesystem::path(RunningFamily()).filename().c_str(), now, peak);
    }
  }
  RunningFamily() = family;
}

struct Entry {
  std::string op, impl;
  int64_t bytes;
  int threads;
};
std::vector<Entry>& Entries() {
  static std::vector<Entry> e;
  return e;
}

void SetThreads(const std::string& impl, int n) {
  SetEngineThreads(n);
  omp_set_num_threads(n);
#ifdef QM_HAVE_OPENCV
  cv::setNumThreads(n);
#endif
  // GraphicsMagick sizes its per-thread pixel views from OpenMP's thread count when
  // an operation starts, so it follows omp_set_num_threads; changing its own thread
  // limit between runs makes it index views it never allocated.
  (void)impl;
}

// The floor: a memory copy of the photo's bytes, split over the threads.
void MemoryCopy(benchmark::State& st) {
  static std::vector<uint8_t> a(size_t(kPhotoBytes), 1), b(size_t(kPhotoBytes), 2);
  const int n = EngineThreads();
  for (auto _ : st) {
#pragma omp parallel for schedule(static) num_threads(n)
    for (int i = 0; i < n; ++i) {
      size_t lo = a.size() * size_t(i) / size_t(n), hi = a.size() * size_t(i + 1) / size_t(n);
      std::memcpy(b.data() + lo, a.data() + lo, hi - lo);
    }
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
}
const int kFloorRegistered = Register("memory copy of the photo (72 MB)", "floor", kPhotoBytes, MemoryCopy);

// Collects the runs and prints the comparison table at the end.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  explicit TableReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      const std::string name = r.benchmark_name();
      for (const Entry& e : Entries()) {
        if (name.rfind(Key(e), 0) == 0) times_[Key(e)] = r.GetAdjustedRealTime();  // ms
      }
    }
  }

  void PrintTable() const {
    const char* impls[] = {kOurs, kOpenCV, kGM, kTool, kVips};
    std::map<std::string, int64_t> ops;
    std::vector<std::string> order;
    bool tools = false, vips = false;
    for (const Entry& e : Entries()) {
      if (e.impl != "floor" && !ops.count(e.op)) {
        ops[e.op] = e.bytes;
        order.push_back(e.op);
      }
      tools = tools || e.impl == kTool;
      vips = vips || e.impl == kVips;
    }
    // The reference-tool and vips columns appear only when some operation has one.
    std::printf("\n| operation | threads | ours ms | OpenCV ms | GraphicsMagick ms |%s%s floor ms | OpenCV/ours | GM/ours "
                "|%s%s ours/floor |\n",
                tools ? " tool ms |" : "", vips ? " vips ms |" : "", tools ? " tool/ours |" : "",
                vips ? " vips/ours |" : "");
    std::printf("|---|---|---|---|---|---|---|---|---|%s%s\n", tools ? "---|---|" : "", vips ? "---|---|" : "");
    for (const std::string& op : order) {
      for (int t : kThreadCounts) {
        double v[5];
        for (int i = 0; i < 5; ++i) v[i] = Time(op, impls[i], t);
        const double fl = Time("memory copy of the photo (72 MB)", "floor", t);
        const double floor = fl > 0 ? fl * double(ops[op]) / double(kPhotoBytes) : -1;
        auto cell = [](double x) {
          char b[32];
          if (x < 0) return std::string("-");
          std::snprintf(b, sizeof b, x < 10 ? "%.2f" : "%.1f", x);
          return std::string(b);
        };
        auto ratio = [](double a, double b) {
          char buf[32];
          if (a < 0 || b <= 0) return std::string("-");
          std::snprintf(buf, sizeof buf, "%.2f", a / b);
          return std::string(buf);
        };
        const std::string toolCell = (tools ? " " + cell(v[3]) + " |" : "") + (vips ? " " + cell(v[4]) + " |" : "");
        const std::string toolRatio =
            (tools ? " " + ratio(v[3], v[0]) + " |" : "") + (vips ? " " + ratio(v[4], v[0]) + " |" : "");
        std::printf("| %s | %d | %s | %s | %s |%s %s | %s | %s |%s %s |\n", op.c_str(), t, cell(v[0]).c_str(),
                    cell(v[1]).c_str(), cell(v[2]).c_str(), toolCell.c_str(), cell(floor).c_str(),
                    ratio(v[1], v[0]).c_str(), ratio(v[2], v[0]).c_str(), toolRatio.c_str(),
                    ratio(v[0], floor).c_str());
      }
    }
    std::printf("\nOpenCV/ours and GM/ours above 1 mean we are faster; ours/floor is our time over a memory "
                "copy of the same bytes.\n");
    if (tools)
      std::printf("tool: the library's own command-line program on the same file, a process per run (its "
                  "start-up included).\n");
  }

  static std::string Key(const Entry& e) { return e.op + " | " + e.impl + " | threads:" + std::to_string(e.threads); }

 private:
  double Time(const std::string& op, const std::string& impl, int t) const {
    auto it = times_.find(op + " | " + impl + " | threads:" + std::to_string(t));
    return it == times_.end() ? -1.0 : it->second;
  }
  std::map<std::string, double> times_;
};

}  // namespace

const TBitmap& Photo() {
  static const TBitmap p = MakePhoto(1);
  return p;
}

const TBitmap& Photo2() {
  static const TBitmap p = MakePhoto(2);
  return p;
}

const TBitmap& PhotoMask() {
  static const TBitmap m = MakeMask();
  return m;
}

TBitmap EllipseMaskOf(int w, int h) {
  TBitmap m(w, h, pf24bit, clWhite);
  const double a = w / 2.0, b = h / 2.0;
  for (int y = 0; y < h; ++y) {
    const double dy = (y + 0.5 - b) / b;
    if (dy * dy >= 1) continue;
    const int half = int(a * std::sqrt(1 - dy * dy));
    m.FillRect(TRect{int(a) - half, y, int(a) + half, y + 1}, clBlack);
  }
  return m;
}

void AtFamilyEnd(std::function<void()> release) { FamilyReleases().push_back(std::move(release)); }

int Register(const std::string& op, const std::string& impl, int64_t bytes, Body body, const char* family) {
  for (int t : kThreadCounts) {
    Entry e{op, impl, bytes, t};
    Entries().push_back(e);
    benchmark::RegisterBenchmark(TableReporter::Key(e).c_str(),
                                 [impl, t, body, family = std::string(family)](benchmark::State& st) {
                                   EnterFamily(family);
                                   SetThreads(impl, t);
                                   body(st);
                                 })
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}

#ifdef QM_HAVE_OPENCV
cv::Mat AsMat(const TBitmap& bmp) {
  int type = bmp.PixelFormat() == pf24bit ? CV_8UC3 : bmp.PixelFormat() == pf32bit ? CV_8UC4 : CV_8UC1;
  return cv::Mat(bmp.Height(), bmp.Width(), type, const_cast<uint8_t*>(bmp.Bits()), size_t(bmp.Stride()));
}
#endif

_Image* ToGM(const TBitmap& bmp) {
  static std::map<const TBitmap*, Image*> cache;
  auto it = cache.find(&bmp);
  if (it != cache.end()) return it->second;
  std::vector<uint8_t> packed(size_t(bmp.Width()) * bmp.Height() * 3);
  for (int y = 0; y < bmp.Height(); ++y)
    std::memcpy(packed.data() + size_t(y) * bmp.Width() * 3, bmp.ScanLine(y), size_t(bmp.Width()) * 3);
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* img = ConstituteImage(bmp.Width(), bmp.Height(), "BGR", CharPixel, packed.data(), &ex);
  DestroyExceptionInfo(&ex);
  cache[&bmp] = img;
  return img;
}

}  // namespace qm::bench

// The library's own reporter honours --benchmark_color; ours is made here, so it reads
// the flag too: colours on a terminal unless refused, never in a file or a pipe.
static bool ColorWanted(int argc, char** argv) {
  bool color = isatty(STDOUT_FILENO) != 0;
  constexpr char kFlag[] = "--benchmark_color=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) != 0) continue;
    const char* v = argv[i] + sizeof kFlag - 1;
    color = !std::strcmp(v, "true") || !std::strcmp(v, "yes") || !std::strcmp(v, "1") ||
            (!std::strcmp(v, "auto") && isatty(STDOUT_FILENO) != 0);
  }
  return color;
}

int main(int argc, char** argv) {
  // Idle OpenMP threads sleep instead of spinning: on a machine with other work, the
  // spinning threads of one run steal the cores the next run needs (an in-place pass
  // over 72 MB went from 1.5 ms to 7.8 ms at 8 threads under load).
  setenv("OMP_WAIT_POLICY", "passive", 0);
  InitializeMagick(argv[0]);
  const bool color = ColorWanted(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // make the shared pictures before anything is timed
  qm::bench::Photo();
  qm::bench::Photo2();
  qm::bench::PhotoMask();
  // GraphicsMagick gives each image as many per-thread pixel views as OpenMP had
  // threads when the image was made: make the shared images with the most threads.
  omp_set_num_threads(omp_get_num_procs());
  qm::bench::ToGM(qm::bench::Photo());
  qm::bench::ToGM(qm::bench::Photo2());
  qm::bench::ToGM(qm::bench::PhotoMask());
  qm::bench::TableReporter reporter(color);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  qm::bench::LeaveFamily();
  reporter.PrintTable();
  const auto [now, peak] = qm::bench::ResidentMiB();
  std::printf("\nresident at the end of the run: %ld MiB; peak of the run: %ld MiB\n", now, peak);
  benchmark::Shutdown();
  DestroyMagick();
  return 0;
}
