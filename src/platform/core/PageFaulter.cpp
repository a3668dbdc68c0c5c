#include "platform/core/PageFaulter.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qm {

namespace {
constexpr uintptr_t kStep = uintptr_t(2) << 20;  // a huge page
constexpr size_t kFaultFrom = size_t(8) << 20;
}  // namespace

struct TPageFaulter::TState {
  std::atomic<bool> stop{false};
  std::thread thread;
};

TPageFaulter::TPageFaulter([[maybe_unused]] void* p, [[maybe_unused]] size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  if (!p || bytes < kFaultFrom) return;
  state_ = std::make_unique<TState>();
  TState* state = state_.get();
  const uintptr_t begin = reinterpret_cast<uintptr_t>(p) & ~uintptr_t(4095);
  const uintptr_t end = reinterpret_cast<uintptr_t>(p) + bytes;
  try {
    state->thread = std::thread([state, begin, end] {
      // A huge page at a time, so that the owner catching up never waits long on the
      // page being mapped. A failure (no memory, an old kernel) leaves the pages to the
      // owner's writes.
      for (uintptr_t a = begin; a < end && !state->stop.load(std::memory_order_relaxed);) {
        const uintptr_t next = std::min(end, (a + kStep) & ~(kStep - 1));
        if (madvise(reinterpret_cast<void*>(a), next - a, MADV_POPULATE_WRITE) != 0) return;
        a = next;
      }
    });
  } catch (const std::system_error&) {
    state_.reset();  // no thread to be had: the owner faults its pages itself
  }
#endif
}

TPageFaulter::~TPageFaulter() {
  if (!state_) return;
  state_->stop = true;
  if (state_->thread.joinable()) state_->thread.join();
}

}  // namespace qm
