#include <gtest/gtest.h>
#include <omp.h>
#include <sched.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/Parallel.h"

using namespace qm;

namespace {

// Sets an environment variable for the life of the object, then puts the old value back.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~TScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
  void Set(const char* value) {
    if (value) setenv(name_, value, 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(EngineThreads, FollowsOmpNumThreadsAndTheAffinityMask) {
  // The program's own value: what the environment and the mask gave at its start.
  SetEngineThreads(0);
  const int atStart = EngineThreads();
  EXPECT_EQ(atStart, AvailableEngineThreads());
  cpu_set_t mask;
  ASSERT_EQ(sched_getaffinity(0, sizeof mask, &mask), 0);
  const int cpus = CPU_COUNT(&mask);
  ASSERT_GE(cpus, 1);

  TScopedEnv env("OMP_NUM_THREADS", nullptr);
  const struct {
    const char* value;
    int want;
  } cases[] = {
      {nullptr, cpus},  {"1", 1},        {"2", std::min(2, cpus)}, {" 2 ", std::min(2, cpus)},
      {"2,1", std::min(2, cpus)},         {"100000", cpus},         {"0", cpus},
      {"-3", cpus},     {"two", cpus},   {"2x", cpus},             {"", cpus},
  };
  for (const auto& c : cases) {
    env.Set(c.value);
    EXPECT_EQ(AvailableEngineThreads(), c.want) << (c.value ? c.value : "(unset)");
  }

  // Held to one CPU, the thread never gets more, whatever OMP_NUM_THREADS asks.
  int first = 0;
  while (!CPU_ISSET(first, &mask)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  env.Set("4");
  const int held = AvailableEngineThreads();
  env.Set(nullptr);
  const int heldUnset = AvailableEngineThreads();
  ASSERT_EQ(sched_setaffinity(0, sizeof mask, &mask), 0);
  EXPECT_EQ(held, 1);
  EXPECT_EQ(heldUnset, 1);

  // worked out once: later changes of the environment leave it alone
  SetEngineThreads(5);
  EXPECT_EQ(EngineThreads(), 5);
  SetEngineThreads(0);
  EXPECT_EQ(EngineThreads(), atStart);
}

TEST(ParallelLibraryJobs, EachJobOnceOnAThreadOfItsOwnAndTheFirstErrorComesBack) {
  constexpr int kJobs = 64;
  SetEngineThreads(4);
  const int ompThreads = omp_get_max_threads();
  for (const bool insideTeam : {false, true}) {
    std::vector<std::atomic<int>> runs(kJobs);
    std::atomic<int> wrong{0};
    auto job = [&](int i) {
      ++runs[size_t(i)];
      // a library with teams of its own sees a thread of its own, and our kernels stay on it
      if (omp_get_level() != 0 || omp_get_thread_num() != 0 || omp_get_max_threads() != 1 || EngineThreads() != 1)
        ++wrong;
    };
    if (insideTeam) {
#pragma omp parallel num_threads(2)
      if (omp_get_thread_num() == 0) ParallelLibraryJobs(kJobs, job);
    } else {
      ParallelLibraryJobs(kJobs, job);
    }
    for (int i = 0; i < kJobs; ++i) EXPECT_EQ(runs[size_t(i)], 1) << i << (insideTeam ? " inside a team" : "");
    EXPECT_EQ(wrong, 0) << (insideTeam ? "inside a team" : "");
  }
  // the caller's settings come back
  EXPECT_EQ(omp_get_max_threads(), ompThreads);
  EXPECT_EQ(EngineThreads(), 4);

  // two callers at once, and jobs that hand out jobs of their own
  std::vector<std::atomic<int>> inner(2 * kJobs * 8);
  auto nested = [&](int base) {
    ParallelLibraryJobs(kJobs, [&](int i) {
      ParallelLibraryJobs(8, [&](int j) { ++inner[size_t(base + 8 * i + j)]; });
    });
  };
  std::thread other(nested, kJobs * 8);
  nested(0);
  other.join();
  for (size_t i = 0; i < inner.size(); ++i) ASSERT_EQ(inner[i], 1) << i;

  std::atomic<int> started{0};
  EXPECT_THROW(ParallelLibraryJobs(kJobs,
                                   [&](int i) {
                                     ++started;
                                     if (i == 3) throw std::runtime_error("job 3");
                                   }),
               std::runtime_error);
  EXPECT_GE(started, 4);
  EXPECT_EQ(EngineThreads(), 4);
  SetEngineThreads(0);
}
