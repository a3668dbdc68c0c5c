// The batch automation as a user runs it in the editor: 200 JPEG photos of 6 MP made
// here (two of them damaged: one cut in half, one empty), each resized to 50 % with
// the filter, brightened by 10, sharpened, framed outside by 15 pixels and saved as
// JPEG 90, from the Action page's Ok to the report. Against GraphicsMagick doing the
// same steps: `gm mogrify` over the list (its OpenMP teams at the row's threads), and
// one `gm convert` a photo, as many side by side as the row's threads (xargs -P).
// Counters: photos per second, the process's CPU time over the wall time, the longest
// gap between two polls of the window (ms), the files reported damaged. The sources are
// checked unchanged after the runs.
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "CodecBench.h"
#include "EditorBench.h"
#include "controls/SpinEdit.h"
#include "devices/batch/AutoForm.h"
#include "imagefiles/FileDispatch.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Md5.h"
#include "platform/core/Messages.h"
#include "platform/core/Parallel.h"

namespace qm::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 200, kSide = 3000, kOtherSide = 2000;
constexpr int64_t kSixMpBytes = int64_t(kSide) * kOtherSide * 3;
constexpr const char* kDamaged[] = {"IMG_0050.jpg", "IMG_0150.jpg"};
// gm's runs over the 200 photos, which take minutes at one thread.
constexpr int kBatchToolLimitSeconds = 900;
const char* const kOp = "Batch: 200 JPEG 6 MP, 2 damaged, 50 %, brightness, sharpen, frame, JPEG 90";

std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
  return name;
}

// The photos, cut from the shared 24 MP one at places of their own, made once.
const std::string& Sources() {
  static const std::string folder = [] {
    const std::string f = CodecFolder() + "/batch_sources";
    fs::create_directories(f);
    const TBitmap& photo = Photo();
    ParallelLibraryJobs(kPhotos, [&](int i) {
      TBitmap crop;
      CopyBitmapRegion(photo, crop, Bounds((i * 97) % (kPhotoWidth - kSide), (i * 53) % (kPhotoHeight - kOtherSide),
                                           kSide, kOtherSide));
      TSaveRequest request;
      request.Jpeg.Quality = 92;
      SavePicture(f + "/" + Name(i), crop, request);
    });
    fs::resize_file(f + "/" + kDamaged[0], fs::file_size(f + "/" + kDamaged[0]) / 2);
    fs::resize_file(f + "/" + kDamaged[1], 0);
    return f;
  }();
  return folder;
}

// The sources as they stand: one digest of every file's bytes.
std::string SourcesDigest() {
  std::string all;
  for (int i = 0; i < kPhotos; ++i) {
    std::ifstream in(Sources() + "/" + Name(i), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto d = Md5(bytes.data(), bytes.size());
    all.append(reinterpret_cast<const char*>(d.data()), d.size());
  }
  return Md5Hex(all);
}

const std::string& Output(const char* name) {
  static std::map<std::string, std::string> folders;
  std::string& f = folders[name];
  if (f.empty()) f = CodecFolder() + "/batch_" + name;
  fs::remove_all(f);
  fs::create_directories(f);
  return f;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The CPU time of the programs run and waited for.
double ChildrenCpuSeconds() {
  struct rusage u {};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The editor with its batch window set up as the operation says, kept for the family.
// The open batch window keeps its editor busy: it is closed, and the editor freed,
// when the run leaves the family.
struct TBatchEditor : TBenchEditor {
  TAutoForm* window = nullptr;
  TBatchEditor() : TBenchEditor("[Params]\nPreserveExif=0\n") {
    SetMessageHandler([](const std::string&, int, int, const std::string&) { return int(mrOk); });
    form->resize(1000, 700);
    form->show();
    form->Commands().Trigger("MenuAutomatisation");
    window = form->findChild<TAutoForm*>();
    if (!window) return;
    TAutoForm* f = window;
    f->SetSourceFolder(Sources());
    f->ChkRedim->setChecked(true);
    f->CmbUnite->setCurrentIndex(1);
    f->SELargeurImage->SetValue(50);
    f->TrbLuminosite->setValue(10);
    f->ChkDurcir->setChecked(true);
    f->ChkCadre->setChecked(true);
    f->SELargeurCadre->SetValue(15);
    f->CBExterieur->setChecked(true);
    f->TrbCompress->setValue(90);
  }
  ~TBatchEditor() {
    if (window) window->hide();
    SetMessageHandler({});
  }
};

void Rates(benchmark::State& st, double cpu, double wall) {
  st.counters["photos_per_s"] = benchmark::Counter(kPhotos, benchmark::Counter::kIsIterationInvariantRate);
  if (wall > 0) st.counters["cpu_over_wall"] = cpu / wall;
}

QM_BENCH(kOp, kOurs, kSixMpBytes * kPhotos, [](benchmark::State& st) {
  const std::string digest = SourcesDigest();
  TAutoForm* window = FamilyFixture<TBatchEditor>().window;
  if (!window) return st.SkipWithError("the batch window did not open");
  TAutoForm& form = *window;
  double cpu = 0, wall = 0, gap = 0;
  size_t damaged = 0;
  for (auto _ : st) {
    st.PauseTiming();
    form.SetExportFolder(Output("ours"));
    form.ChangePage(bpFiles);
    form.ChangePage(bpActions);
    const double c0 = CpuSeconds();
    const auto w0 = std::chrono::steady_clock::now();
    st.ResumeTiming();
    form.BtnAction->click();
    st.PauseTiming();
    cpu += CpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    const TBatchReport& report = form.LastReport();
    gap = std::max(gap, report.LongestPollGap);
    damaged = report.Failed.size();
    const bool whole = report.Completed && report.Saved.size() == size_t(kPhotos - 2) &&
                       report.Failed == std::vector<std::string>{kDamaged[0], kDamaged[1]};
    st.ResumeTiming();
    if (!whole) return st.SkipWithError("the run did not save every sound photo and list the damaged ones");
  }
  Rates(st, cpu, wall);
  st.counters["longest_poll_gap_ms"] = gap * 1000;
  st.counters["damaged_listed"] = double(damaged);
  if (SourcesDigest() != digest) st.SkipWithError("a source changed");
});

// The same steps for GraphicsMagick: Lanczos to 50 %, brightness 110 %, the sharpening
// matrix of ours, a white frame of 15 outside, quality 90.
std::vector<std::string> GmSteps() {
  return {"-filter", "Lanczos", "-resize", "50%", "-modulate", "110", "-convolve", "-1,-2,-1,-2,28,-2,-1,-2,-1",
          "-bordercolor", "white", "-border", "15", "-quality", "90"};
}

QM_BENCH(kOp, kGM, kSixMpBytes * kPhotos, [](benchmark::State& st) {
  if (!HaveTool("gm")) return st.SkipWithError("gm is not installed");
  const int threads = EngineThreads();
  std::vector<std::string> args = {"gm", "mogrify", "-create-directories", "-output-directory", ""};
  for (const std::string& s : GmSteps()) args.push_back(s);
  for (int i = 0; i < kPhotos; ++i) args.push_back(Sources() + "/" + Name(i));
  double cpu = 0, wall = 0;
  for (auto _ : st) {
    st.PauseTiming();
    args[4] = Output("mogrify");
    const double c0 = ChildrenCpuSeconds();
    const auto w0 = std::chrono::steady_clock::now();
    st.ResumeTiming();
    // fails for the empty file, after the others
    const TToolRun run = RunTool(args, threads, kBatchToolLimitSeconds);
    st.PauseTiming();
    cpu += ChildrenCpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    size_t written = 0;
    for (const auto& e : fs::recursive_directory_iterator(args[4])) written += e.is_regular_file();
    st.ResumeTiming();
    if (run.TimedOut) return st.SkipWithError(run.Reason.c_str());
    if (written < size_t(kPhotos - 2)) return st.SkipWithError("gm mogrify wrote too few photos");
  }
  Rates(st, cpu, wall);
});

QM_BENCH(kOp, kTool, kSixMpBytes * kPhotos, [](benchmark::State& st) {
  if (!HaveTool("gm") || !HaveTool("xargs")) return st.SkipWithError("gm or xargs is not installed");
  const int threads = EngineThreads();
  const std::string list = CodecFolder() + "/batch_list.txt";
  {
    std::ofstream names(list);
    for (int i = 0; i < kPhotos; ++i) names << Name(i) << "\n";
  }
  double cpu = 0, wall = 0;
  for (auto _ : st) {
    st.PauseTiming();
    const std::string out = Output("convert");
    std::vector<std::string> args = {"xargs", "-a", list, "-P", std::to_string(threads), "-I", "{}", "gm", "convert",
                                     Sources() + "/{}"};
    for (const std::string& s : GmSteps()) args.push_back(s);
    args.push_back(out + "/{}");
    const double c0 = ChildrenCpuSeconds();
    const auto w0 = std::chrono::steady_clock::now();
    st.ResumeTiming();
    // one thread a process; xargs reports the damaged files as a failure
    const TToolRun run = RunTool(args, 1, kBatchToolLimitSeconds);
    st.PauseTiming();
    cpu += ChildrenCpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
    const size_t written = size_t(std::distance(fs::directory_iterator(out), fs::directory_iterator()));
    st.ResumeTiming();
    if (run.TimedOut) return st.SkipWithError(run.Reason.c_str());
    if (written < size_t(kPhotos - 2)) return st.SkipWithError("gm convert wrote too few photos");
  }
  Rates(st, cpu, wall);
});

}  // namespace
}  // namespace qm::bench
