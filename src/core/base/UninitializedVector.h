#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace tessellor {

// An allocator that leaves elements without an initial value when a vector grows by resize(n),
// for large arrays of plain numbers that a parallel pass writes in full: the memory is then first
// touched by the threads that fill it, not zeroed beforehand on one thread.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U*) noexcept {}
  template <typename U, typename... Arguments>
  void construct(U* p, Arguments&&... arguments) {
    ::new (static_cast<void*>(p)) U(std::forward<Arguments>(arguments)...);
  }
};

template <typename T>
using UninitializedVector = std::vector<T, UninitializedAllocator<T>>;

}  // namespace tessellor
