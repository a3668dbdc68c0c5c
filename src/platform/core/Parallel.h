#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>

namespace qm {

// How many threads the kernels may split their rows over. Results never depend on it:
// a kernel only parallelises work whose rows are independent of each other. By default
// the CPUs the process may run on (its affinity mask), fewer when OMP_NUM_THREADS asks
// for fewer; worked out at the first call. SetEngineThreads overrides it. Safe to call
// from any thread; on a thread held to itself (ParallelLibraryJobs, TSoloThreadScope)
// it is 1.
void SetEngineThreads(int n);   // n < 1 goes back to the default
int EngineThreads();
// The default, worked out now from OMP_NUM_THREADS and the calling thread's affinity.
int AvailableEngineThreads();

// Runs job(i) for every i in [0, count) on up to EngineThreads() threads, each taking
// the next job, for work that calls a library with OpenMP teams of its own
// (GraphicsMagick). Such a library must never be called from inside our OpenMP team:
// it sizes its per-thread state by its own thread limit and indexes it by the OpenMP
// thread number. So the threads here are plain threads kept for the process (the
// caller among them when it is not inside an OpenMP region), and on each one the
// library's teams and our kernels run on that thread alone. On one thread the jobs run
// on the caller, the library free to use its own threads. The first exception a job
// throws is rethrown once all have stopped (jobs not started by then are skipped).
// One call at a time uses the threads; a job calling this again runs those jobs itself.
void ParallelLibraryJobs(int count, const std::function<void(int)>& job);

// Holds the calling thread to itself while it lives, as ParallelLibraryJobs holds its
// threads: EngineThreads() answers 1 there, and the OpenMP teams the thread opens (our
// kernels' and a library's) have one thread, the library seeing thread number 0 only.
// For plain threads of a caller's own that run whole jobs side by side (a batch's
// workers, each with its files); the thread's limits come back when it ends.
class TSoloThreadScope {
 public:
  TSoloThreadScope();
  ~TSoloThreadScope();
  TSoloThreadScope(const TSoloThreadScope&) = delete;
  TSoloThreadScope& operator=(const TSoloThreadScope&) = delete;

 private:
  int threads_;
  bool solo_;
};

// True when a job of this many pixels is worth handing to several threads.
inline bool WorthThreading(int64_t pixels) { return pixels >= 65536; }

// Runs body(first, last) over consecutive bands of rows [y0, y1) that together cover
// it, one band per thread when the job is worth it (work = pixels in all). Each call
// of body may own its scratch buffers: it is called once per band.
template <class Body>
void ParallelRows(int y0, int y1, int64_t work, Body&& body) {
  int rows = y1 - y0;
  if (rows <= 0) return;
  int n = WorthThreading(work) ? std::min(EngineThreads(), rows) : 1;
  if (n <= 1) {
    body(y0, y1);
    return;
  }
#pragma omp parallel for schedule(static) num_threads(n)
  for (int i = 0; i < n; ++i) {
    int a = y0 + int(int64_t(rows) * i / n);
    int b = y0 + int(int64_t(rows) * (i + 1) / n);
    if (a < b) body(a, b);
  }
}

// As ParallelRows, but the range goes out in pieces of `piece` items to whichever thread
// is free, so that a thread the system holds back delays its piece only, not a whole
// share of the range. body(first, last) is called once per piece.
template <class Body>
void ParallelPieces(int i0, int i1, int piece, int64_t work, Body&& body) {
  const int items = i1 - i0;
  if (items <= 0) return;
  piece = std::max(1, piece);
  const int pieces = (items + piece - 1) / piece;
  const int n = WorthThreading(work) ? std::min(EngineThreads(), pieces) : 1;
  if (n <= 1) {
    body(i0, i1);
    return;
  }
#pragma omp parallel for schedule(dynamic) num_threads(n)
  for (int p = 0; p < pieces; ++p) body(i0 + p * piece, std::min(i1, i0 + (p + 1) * piece));
}

}  // namespace qm
