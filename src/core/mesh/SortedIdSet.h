#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace tessellor {

// A set of ids kept as an ascending array: the polygons of one vertex. It iterates, counts,
// inserts and erases like std::set<int> (ascending, each id once), but holds up to six ids without
// any allocation and more in one array, which keeps a mesh's vertex index small and its walks
// fast. Inserting or erasing invalidates iterators into the set.
class SortedIdSet {
 public:
  using value_type = int;
  using size_type = std::size_t;
  using iterator = const int*;
  using const_iterator = const int*;

  SortedIdSet() = default;
  SortedIdSet(std::initializer_list<int> ids) {
    for (int id : ids) insert(id);
  }
  SortedIdSet(const SortedIdSet& other) { copyFrom(other); }
  SortedIdSet(SortedIdSet&& other) noexcept { takeFrom(other); }
  SortedIdSet& operator=(const SortedIdSet& other) {
    if (this != &other) {
      Size = 0;
      copyFrom(other);
    }
    return *this;
  }
  SortedIdSet& operator=(SortedIdSet&& other) noexcept {
    if (this != &other) {
      release();
      takeFrom(other);
    }
    return *this;
  }
  ~SortedIdSet() { release(); }

  const int* begin() const { return data(); }
  const int* end() const { return data() + Size; }
  std::size_t size() const { return static_cast<std::size_t>(Size); }
  bool empty() const { return Size == 0; }
  void clear() { Size = 0; }

  const int* find(int id) const {
    const int* at = std::lower_bound(begin(), end(), id);
    return at != end() && *at == id ? at : end();
  }
  std::size_t count(int id) const { return find(id) != end() ? 1 : 0; }

  std::pair<const int*, bool> insert(int id) {
    int* first = data();
    int* at = std::lower_bound(first, first + Size, id);
    if (at != first + Size && *at == id) return {at, false};
    const std::ptrdiff_t offset = at - first;
    if (Size == Capacity) grow();
    first = data();
    at = first + offset;
    std::memmove(at + 1, at, sizeof(int) * static_cast<std::size_t>(Size - offset));
    *at = id;
    ++Size;
    return {at, true};
  }
  // The hint is only used to append quickly: ids that come in ascending order.
  const int* insert(const int* /*hint*/, int id) {
    if (Size == 0 || data()[Size - 1] < id) {
      if (Size == Capacity) grow();
      data()[Size] = id;
      return data() + Size++;
    }
    return insert(id).first;
  }
  std::size_t erase(int id) {
    int* first = data();
    int* at = std::lower_bound(first, first + Size, id);
    if (at == first + Size || *at != id) return 0;
    std::memmove(at, at + 1, sizeof(int) * static_cast<std::size_t>(first + Size - at - 1));
    --Size;
    return 1;
  }

  friend bool operator==(const SortedIdSet& a, const SortedIdSet& b) {
    return a.Size == b.Size && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator!=(const SortedIdSet& a, const SortedIdSet& b) { return !(a == b); }

 private:
  static constexpr int InlineCapacity = 6;

  int* data() { return Heap ? Heap : Inline; }
  const int* data() const { return Heap ? Heap : Inline; }
  void grow() { reserve(Capacity * 2); }
  void reserve(int capacity) {
    if (capacity <= Capacity) return;
    int* fresh = new int[static_cast<std::size_t>(capacity)];
    std::memcpy(fresh, data(), sizeof(int) * static_cast<std::size_t>(Size));
    delete[] Heap;
    Heap = fresh;
    Capacity = capacity;
  }
  void copyFrom(const SortedIdSet& other) {
    reserve(other.Size);
    std::memcpy(data(), other.data(), sizeof(int) * static_cast<std::size_t>(other.Size));
    Size = other.Size;
  }
  void takeFrom(SortedIdSet& other) {
    if (other.Heap) {
      Heap = other.Heap;
      Capacity = other.Capacity;
      other.Heap = nullptr;
      other.Capacity = InlineCapacity;
    } else {
      std::memcpy(Inline, other.Inline, sizeof(int) * static_cast<std::size_t>(other.Size));
    }
    Size = other.Size;
    other.Size = 0;
  }
  void release() {
    delete[] Heap;
    Heap = nullptr;
    Capacity = InlineCapacity;
    Size = 0;
  }

  int* Heap = nullptr;
  int Size = 0;
  int Capacity = InlineCapacity;
  int Inline[InlineCapacity];
};

}  // namespace tessellor
