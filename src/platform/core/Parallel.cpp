#include "platform/core/Parallel.h"

#include <omp.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

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

// Plain threads kept for the life of the process, each held to itself: starting seven
// threads took 0.3 to 4 ms on the development machine under load, as much as a whole
// strip of thumbnails. One batch at a time; a batch is a function every helper it asks
// for runs once (a helper back early may run it again: the function then finds no job
// left).
class TJobPool {
 public:
  static TJobPool& Get() {
    static TJobPool* pool = new TJobPool;  // never destroyed: its threads outlive main
    return *pool;
  }

  // Runs work on `helpers` threads of the pool and, with callerWorks, on the calling
  // thread too; returns when all have returned. Throws std::system_error when no thread
  // could be started and the caller does not work.
  void Run(int helpers, const std::function<void()>& work, bool callerWorks) {
    std::lock_guard<std::mutex> batch(batch_);
    {
      std::lock_guard<std::mutex> g(lock_);
      try {
        for (; threads_ < helpers; ++threads_) std::thread([this] { Loop(); }).detach();
      } catch (const std::system_error&) {
        if (threads_ == 0 && !callerWorks) throw;
      }
      work_ = &work;
      waiting_ = running_ = std::min(helpers, threads_);
    }
    wake_.notify_all();
    if (callerWorks) {
      TSoloThreadScope solo;
      work();
    }
    std::unique_lock<std::mutex> g(lock_);
    done_.wait(g, [this] { return running_ == 0; });
    work_ = nullptr;
  }

 private:
  void Loop() {
    TSoloThreadScope solo;
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
      wake_.wait(g, [this] { return waiting_ > 0; });
      --waiting_;
      const std::function<void()>* work = work_;
      g.unlock();
      (*work)();
      g.lock();
      if (--running_ == 0) done_.notify_all();
    }
  }

  std::mutex batch_, lock_;
  std::condition_variable wake_, done_;
  const std::function<void()>* work_ = nullptr;
  int threads_ = 0;
  int waiting_ = 0;  // helpers of the batch still to take it
  int running_ = 0;  // helpers of the batch not back yet
};

}  // namespace

// Our kernels and the library's own OpenMP teams run on the thread alone, so the
// library only ever sees thread number 0, which its per-thread state always covers.
TSoloThreadScope::TSoloThreadScope() : threads_(omp_get_max_threads()), solo_(tSolo) {
  omp_set_num_threads(1);
  tSolo = true;
}

TSoloThreadScope::~TSoloThreadScope() {
  tSolo = solo_;
  omp_set_num_threads(threads_);
}

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
  // library would see our team's thread numbers. A job's own thread is held to itself
  // already (any team it opens has one thread), and the pool is busy with its batch.
  const bool callerWorks = omp_get_level() == 0;
  if (tSolo || (threads <= 1 && callerWorks)) {
    for (int i = 0; i < count; ++i) job(i);
    return;
  }
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr error;
  const std::function<void()> work = [&] {
    for (int i = next++; i < count && !failed.load(std::memory_order_relaxed); i = next++) {
      try {
        job(i);
      } catch (...) {
        if (!failed.exchange(true)) error = std::current_exception();
      }
    }
  };
  TJobPool::Get().Run(callerWorks ? threads - 1 : threads, work, callerWorks);
  if (error) std::rethrow_exception(error);
}

}  // namespace qm
