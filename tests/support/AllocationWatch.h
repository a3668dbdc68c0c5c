#pragma once
// What a piece of code allocates, every allocator of the process included (the codec
// libraries' malloc as our new): the largest single block, and the most bytes live at
// once beyond those live when the watch started. It counts through the sanitizer's
// allocator hooks, so only in a build with AddressSanitizer (the test suite's);
// elsewhere Counting() is false and the figures stay 0.
#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define QM_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_ALLOCATION_HOOKS 1
#endif
#endif

#if defined(QM_ALLOCATION_HOOKS)
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*));
size_t __sanitizer_get_current_allocated_bytes();
}
#endif

namespace qm::test {

class AllocationWatch {
 public:
  AllocationWatch() {
#if defined(QM_ALLOCATION_HOOKS)
    // The hooks stay for the life of the process (they cannot be taken away); they
    // count only while a watch is on.
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    counting_ = installed;
    State& s = Shared();
    s.largest = 0;
    s.base = __sanitizer_get_current_allocated_bytes();
    s.peak = s.base;
    s.on = counting_;
#endif
  }
  ~AllocationWatch() { Shared().on = false; }
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  bool Counting() const { return counting_; }
  uint64_t Largest() const { return Shared().largest; }
  uint64_t PeakGrowth() const {
    const State& s = Shared();
    return s.peak > s.base ? s.peak - s.base : 0;
  }

 private:
  struct State {
    std::atomic<bool> on{false};
    std::atomic<uint64_t> largest{0}, peak{0};
    uint64_t base = 0;
  };
  static State& Shared() {
    static State s;
    return s;
  }
#if defined(QM_ALLOCATION_HOOKS)
  static void Raise(std::atomic<uint64_t>& v, uint64_t x) {
    uint64_t old = v.load(std::memory_order_relaxed);
    while (x > old && !v.compare_exchange_weak(old, x, std::memory_order_relaxed)) {
    }
  }
  static void OnMalloc(const volatile void*, size_t size) {
    State& s = Shared();
    if (!s.on.load(std::memory_order_relaxed)) return;
    Raise(s.largest, size);
    Raise(s.peak, __sanitizer_get_current_allocated_bytes());
  }
  static void OnFree(const volatile void*) {}  // the sanitizer takes both hooks or none
#endif
  bool counting_ = false;
};

}  // namespace qm::test
