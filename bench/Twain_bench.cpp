// A colour A4 page at 300 dpi from SANE's test device, through our data source manager
// and the TWAIN driver until it is a bitmap, against scanimage writing the same page as
// PNM (a process per run, its start-up included). Our rows also report the longest
// wait of the event loop during a scan: the longest gap between two runs of a timer
// asking to run every 10 ms (a 1 ms timer waking the event loop a thousand times a
// second slows SANE's two reading threads on a busy machine, and measures itself).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "../tests/support/SaneTestDevice.h"
#include "CodecBench.h"
#include "devices/VornelTwain.h"
#include "platform/core/Parallel.h"

namespace qm::bench {
namespace {

constexpr int64_t kA4Bytes = int64_t(2480) * 3507 * 3;

void SetUpDevice() {
  static const bool ready = [] {
    static int argc = 1;
    static char name[] = "qm_bench";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);  // kept for the run
    return true;
  }();
  (void)ready;
  // Configured at every run: the other scanning benchmarks configure the same device
  // (SANE reads one configuration folder a process).
  static std::unique_ptr<test::TSaneTestDevice> device;
  device = std::make_unique<test::TSaneTestDevice>(CodecFolder(), test::TSaneOptions{{"mode", "Color"},
                                                                                    {"resolution", "300"},
                                                                                    {"br_x", "210"},
                                                                                    {"br_y", "297"},
                                                                                    {"test-picture", "\"Color pattern\""}});
  setenv("QM_TWAIN_AUTOSCAN", "1", 1);
}

TBitmap ScanOnce(double& longestWait);

// The first scan of a process loads SANE's backend and faults in fresh memory: done
// once before timing, as scanimage's own start finds its libraries in the page cache.
void WarmUp() {
  static const bool done = [] {
    double ignored = 0;
    ScanOnce(ignored);
    return true;
  }();
  (void)done;
}

// One acquisition from loading the manager to the bitmap; the longest gap between two
// runs of the timer goes to longestWait (ms).
TBitmap ScanOnce(double& longestWait) {
  TBitmap page;
  TVornelTwain twain;
  twain.LibraryFolder = QM_TWAIN_DSM_FOLDER;
  twain.OnTwainAcquire = [&page](TVornelTwain&, int, TBitmap& image, bool&) { page = std::move(image); };
  QElapsedTimer clock;
  qint64 last = 0, longest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  clock.start();
  tick.start();
  twain.SetLibraryLoaded(true);
  twain.SetSourceManagerLoaded(true);
  if (TTwainSource* source = twain.GetTwainSource(-1)) {
    source->SetTwainSourceLoaded(true);
    source->SetTwainSourceEnabled(true);
    // the tick wakes the loop every 10 ms; a page that has not come in a minute is not
    // waited for (the row then reports it missing)
    while (source->Enabled() && clock.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (source->Enabled()) source->SetTwainSourceEnabled(false);
  }
  longestWait = std::max(longestWait, double(std::max(longest, clock.nsecsElapsed() - last)) / 1e6);
  return page;
}

QM_BENCH("scan, colour A4 at 300 dpi (SANE test device)", kOurs, kA4Bytes, [](benchmark::State& st) {
  SetUpDevice();
  WarmUp();
  double longestWait = 0;
  for (auto _ : st) {
    const TBitmap page = ScanOnce(longestWait);
    if (page.Width() != 2480 || page.Height() != 3507) return st.SkipWithError("the page did not arrive");
  }
  st.counters["longest_event_loop_wait_ms"] = longestWait;
});

QM_BENCH("scan, colour A4 at 300 dpi (SANE test device)", kTool, kA4Bytes, [](benchmark::State& st) {
  SetUpDevice();
  if (!HaveTool("scanimage")) return st.SkipWithError("scanimage missing (sane-utils)");
  const int threads = EngineThreads();
  for (auto _ : st)
    if (const TToolRun r = RunTool({"scanimage", "-d", "test:0", "--format=pnm", "--mode", "Color", "--resolution",
                                    "300", "-x", "210", "-y", "297", "--test-picture", "Color pattern"},
                                   threads);
        !r)
      st.SkipWithError(r.Reason.c_str());
});

}  // namespace
}  // namespace qm::bench
