#include "platform/core/Parallel.h"

#include <omp.h>
#include <sched.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace qm {
namespace {

std::atomic<int> g_override{0};

// Set on a thread of ParallelLibraryJobs while it runs its jobs: the kernels it calls
// stay on that thread.
thread_local bool tSolo = false;

// The CPUs this thread may run on (it inherits the process's mask), 0 when unknown.
int AffinityCpus() {
  for (int cpus = 1024; cpus <= (1 << 20); cpus *= 2) {
    cpu_set_t* set = CPU_ALLOC(size_t(cpus));
    if (!set) return 0;
    const size_t bytes = CPU_ALLOC_SIZE(size_t(cpus));
    CPU_ZERO_S(bytes, set);
    const int got = sched_getaffinity(0, bytes, set);
    const int count = got == 0 ? CPU_COUNT_S(bytes, set) : 0;
    const int error = errno;
    CPU_FREE(set);
    if (got == 0) return count;
    if (error != EINVAL) return 0;  // EINVAL: the kernel's mask is wider than ours
  }
  return 0;
}

// The first entry of OMP_NUM_THREADS ("4" or "4,2": the outer level), 0 when the
// variable is missing or malformed.
int OmpNumThreads(const char* value) {
  if (!value) return 0;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(value, &end, 10);
  if (end == value || errno != 0 || n < 1 || n > (1 << 20)) return 0;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == '\0' || *end == ',' ? int(n) : 0;
}

// Holds the thread to itself for the jobs it runs: our kernels and the library's own
// OpenMP teams run on it alone, so the library's per-thread state (sized by
// omp_get_max_threads(), indexed by omp_get_thread_num()) always fits.
class TSoloThread {
 public:
  TSoloThread() : threads_(omp_get_max_threads()), solo_(tSolo) {
    omp_set_num_threads(1);
    tSolo = true;
  }
  ~TSoloThread() {
    tSolo = solo_;
    omp_set_num_threads(threads_);
  }
  TSoloThread(const TSoloThread&) = delete;
  TSoloThread& operator=(const TSoloThread&) = delete;

 private:
  int threads_;
  bool solo_;
};

}  // namespace

int AvailableEngineThreads() {
  int cpus = AffinityCpus();
  if (cpus < 1) cpus = omp_get_num_procs();
  if (cpus < 1) cpus = 1;
  const int asked = OmpNumThreads(std::getenv("OMP_NUM_THREADS"));
  return asked > 0 && asked < cpus ? asked : cpus;
}

void SetEngineThreads(int n) { g_override.store(n < 1 ? 0 : n, std::memory_order_relaxed); }

int EngineThreads() {
  if (tSolo) return 1;
  const int n = g_override.load(std::memory_order_relaxed);
  if (n > 0) return n;
  static const int available = AvailableEngineThreads();
  return available;
}

void ParallelLibraryJobs(int count, const std::function<void(int)>& job) {
  if (count <= 0) return;
  const int threads = std::min(EngineThreads(), count);
  // The calling thread takes jobs too, unless it is inside an OpenMP region: there the
  // library would see our team's thread numbers.
  const bool callerWorks = omp_get_level() == 0;
  if (threads <= 1 && callerWorks) {
    for (int i = 0; i < count; ++i) job(i);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  auto work = [&] {
    TSoloThread solo;
    for (int i = next++; i < count && !failed.load(std::memory_order_relaxed); i = next++) {
      try {
        job(i);
      } catch (...) {
        if (!failed.exchange(true)) error = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(size_t(threads));
  try {
    for (int t = callerWorks ? 1 : 0; t < threads; ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // no more threads to be had: those started share the jobs
    if (helpers.empty() && !callerWorks) throw;
  }
  if (callerWorks) work();
  for (std::thread& h : helpers) h.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace qm
