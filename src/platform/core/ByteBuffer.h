#pragma once
// A byte vector whose growth leaves the new bytes as the allocator gives them: a decoder
// that sizes a buffer and then writes every byte of it does not pay for, nor touch the
// pages of, a zero fill first. Explicit values (assign(n, v), resize(n, v)) still fill.
#include <cstdint>
#include <memory>
#include <vector>

namespace qm {

template <class T>
struct TDefaultInitAllocator : std::allocator<T> {
  using value_type = T;
  template <class U>
  struct rebind {
    using other = TDefaultInitAllocator<U>;
  };
  TDefaultInitAllocator() = default;
  template <class U>
  TDefaultInitAllocator(const TDefaultInitAllocator<U>&) noexcept {}

  template <class U>
  void construct(U* p) noexcept(noexcept(::new(static_cast<void*>(p)) U)) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

using TByteBuffer = std::vector<uint8_t, TDefaultInitAllocator<uint8_t>>;

}  // namespace qm
