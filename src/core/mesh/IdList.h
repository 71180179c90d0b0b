#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <type_traits>
#include <vector>

namespace tessellor {

// A list of ids in a given order: one polygon's corners. It behaves like std::vector<int> for what
// the meshes do with their polygons, but holds up to InlineIds ids inside itself, so a mesh of
// triangles, quads and the other small polygons the pipeline makes keeps all of its corners in
// its polygon array, without one heap block per polygon. Longer lists move to one array.
// As with std::vector, changing the list's size may move its ids (and so invalidate iterators);
// unlike std::vector, so does moving the list itself while its ids are inline.
class IdList {
 public:
  static constexpr int InlineIds = 6;

  using value_type = int;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = int&;
  using const_reference = const int&;
  using pointer = int*;
  using const_pointer = const int*;
  using iterator = int*;
  using const_iterator = const int*;
  using reverse_iterator = std::reverse_iterator<iterator>;
  using const_reverse_iterator = std::reverse_iterator<const_iterator>;

  IdList() = default;
  explicit IdList(std::size_t count, int value = 0) { assign(count, value); }
  IdList(std::initializer_list<int> ids) { copyIn(ids.begin(), ids.end()); }
  template <typename It, typename = typename std::iterator_traits<It>::iterator_category>
  IdList(It first, It last) {
    copyIn(first, last);
  }
  IdList(const std::vector<int>& ids) { copyIn(ids.begin(), ids.end()); }  // NOLINT: as a vector converts
  IdList(const IdList& other) { copyIn(other.begin(), other.end()); }
  IdList(IdList&& other) noexcept { takeFrom(other); }
  IdList& operator=(const IdList& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  IdList& operator=(IdList&& other) noexcept {
    if (this != &other) {
      release();
      takeFrom(other);
    }
    return *this;
  }
  IdList& operator=(std::initializer_list<int> ids) {
    copyIn(ids.begin(), ids.end());
    return *this;
  }
  ~IdList() { release(); }

  template <typename It, typename = typename std::iterator_traits<It>::iterator_category>
  void assign(It first, It last) {
    if (aliases(first, last)) {
      // A part of this very list: move it to the front.
      const int* from = &*first;
      const std::size_t n = static_cast<std::size_t>(std::distance(first, last));
      std::copy(from, from + n, data());  // forwards: the target starts at or before the source
      Size = static_cast<int>(n);
      return;
    }
    copyIn(first, last);
  }
  void assign(std::size_t count, int value) {
    clear();
    reserve(count);
    std::fill(data(), data() + count, value);
    Size = static_cast<int>(count);
  }

  int* data() { return Capacity > InlineIds ? Heap : Inline; }
  const int* data() const { return Capacity > InlineIds ? Heap : Inline; }
  int* begin() { return data(); }
  int* end() { return data() + Size; }
  const int* begin() const { return data(); }
  const int* end() const { return data() + Size; }
  const int* cbegin() const { return data(); }
  const int* cend() const { return data() + Size; }
  reverse_iterator rbegin() { return reverse_iterator(end()); }
  reverse_iterator rend() { return reverse_iterator(begin()); }
  const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
  const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }

  std::size_t size() const { return static_cast<std::size_t>(Size); }
  bool empty() const { return Size == 0; }
  std::size_t capacity() const { return static_cast<std::size_t>(Capacity); }
  int& operator[](std::size_t i) { return data()[i]; }
  const int& operator[](std::size_t i) const { return data()[i]; }
  int& front() { return data()[0]; }
  const int& front() const { return data()[0]; }
  int& back() { return data()[Size - 1]; }
  const int& back() const { return data()[Size - 1]; }

  void clear() { Size = 0; }
  void reserve(std::size_t n) {
    if (n <= static_cast<std::size_t>(Capacity)) return;
    int* grown = new int[n];
    std::memcpy(grown, data(), sizeof(int) * static_cast<std::size_t>(Size));
    if (Capacity > InlineIds) delete[] Heap;
    Heap = grown;
    Capacity = static_cast<int>(n);
  }
  void shrink_to_fit() {}
  void resize(std::size_t n, int value = 0) {
    reserve(n);
    if (n > static_cast<std::size_t>(Size)) std::fill(data() + Size, data() + n, value);
    Size = static_cast<int>(n);
  }
  void push_back(int id) {
    if (Size == Capacity) grow(static_cast<std::size_t>(Size) + 1);
    data()[Size++] = id;
  }
  int& emplace_back(int id) {
    push_back(id);
    return back();
  }
  void pop_back() { --Size; }

  int* insert(const int* position, int id) {
    const std::ptrdiff_t at = position - data();
    if (Size == Capacity) grow(static_cast<std::size_t>(Size) + 1);
    int* first = data();
    std::memmove(first + at + 1, first + at, sizeof(int) * static_cast<std::size_t>(Size - at));
    first[at] = id;
    ++Size;
    return first + at;
  }
  template <typename It, typename = typename std::iterator_traits<It>::iterator_category>
  int* insert(const int* position, It from, It to) {
    if (aliases(from, to)) {
      // Ids of this very list: take a copy first.
      const IdList ids(from, to);
      return insert(position, ids.begin(), ids.end());
    }
    const std::ptrdiff_t at = position - data();
    const std::size_t n = static_cast<std::size_t>(std::distance(from, to));
    if (static_cast<std::size_t>(Size) + n > static_cast<std::size_t>(Capacity))
      grow(static_cast<std::size_t>(Size) + n);
    int* first = data();
    std::memmove(first + at + n, first + at, sizeof(int) * static_cast<std::size_t>(Size - at));
    std::copy(from, to, first + at);
    Size += static_cast<int>(n);
    return first + at;
  }
  int* erase(const int* position) { return erase(position, position + 1); }
  int* erase(const int* from, const int* to) {
    int* first = data();
    const std::ptrdiff_t a = from - first, b = to - first;
    std::memmove(first + a, first + b, sizeof(int) * static_cast<std::size_t>(Size - b));
    Size -= static_cast<int>(b - a);
    return first + a;
  }

  void swap(IdList& other) noexcept {
    IdList t(std::move(other));
    other = std::move(*this);
    *this = std::move(t);
  }

  friend bool operator==(const IdList& a, const IdList& b) {
    return a.Size == b.Size && std::equal(a.begin(), a.end(), b.begin());
  }
  friend bool operator!=(const IdList& a, const IdList& b) { return !(a == b); }
  friend bool operator<(const IdList& a, const IdList& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  // Replaces the ids by [first, last), which must not lie in this list.
  template <typename It>
  void copyIn(It first, It last) {
    const std::size_t n = static_cast<std::size_t>(std::distance(first, last));
    Size = 0;
    reserve(n);
    std::copy(first, last, data());
    Size = static_cast<int>(n);
  }
  // True when [first, last) is a non-empty range of pointers into this list's own ids.
  template <typename It>
  bool aliases(It first, It last) const {
    if constexpr (std::is_pointer<It>::value) {
      if (first == last) return false;
      const int* p = first;
      return std::less_equal<const int*>()(begin(), p) && std::less<const int*>()(p, begin() + Capacity);
    } else {
      (void)first;
      (void)last;
      return false;
    }
  }
  void grow(std::size_t needed) { reserve(std::max(needed, 2 * static_cast<std::size_t>(Capacity))); }
  void release() {
    if (Capacity > InlineIds) delete[] Heap;
    Capacity = InlineIds;
    Size = 0;
  }
  void takeFrom(IdList& other) {
    Size = other.Size;
    Capacity = other.Capacity;
    if (other.Capacity > InlineIds) {
      Heap = other.Heap;
    } else {
      std::copy(other.Inline, other.Inline + InlineIds, Inline);
    }
    other.Capacity = InlineIds;
    other.Size = 0;
  }

  int Size = 0;
  int Capacity = InlineIds;
  union {
    int Inline[InlineIds];
    int* Heap;
  };
};

inline void swap(IdList& a, IdList& b) noexcept { a.swap(b); }

}  // namespace tessellor
