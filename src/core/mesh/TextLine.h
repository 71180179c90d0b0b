#pragma once

#include <charconv>
#include <cstddef>
#include <cstring>

namespace tessellor {

// One line of a text file built without printf: the numbers come out as the printf
// conversions named on each call would write them (std::to_chars with the same format and
// precision is defined to give printf's text), so a writer can switch without changing a byte.
class TextLine {
 public:
  void clear() { End = Buffer; }
  const char* data() const { return Buffer; }
  std::size_t size() const { return static_cast<std::size_t>(End - Buffer); }

  void text(const char* s) {
    const std::size_t n = std::strlen(s);
    std::memcpy(End, s, n);
    End += n;
  }
  void character(char c) { *End++ = c; }
  // "%d"
  void integer(int value) { End = std::to_chars(End, Limit, value).ptr; }
  // "%f"
  void fixed6(double value) { End = std::to_chars(End, Limit, value, std::chars_format::fixed, 6).ptr; }
  // "%.9g"
  void general9(double value) { End = std::to_chars(End, Limit, value, std::chars_format::general, 9).ptr; }

  // Room left: callers keep every line well below this (a "%f" of the largest double takes 316
  // characters).
  std::size_t room() const { return static_cast<std::size_t>(Limit - End); }

 private:
  static constexpr std::size_t Capacity = 2048;
  char Buffer[Capacity];
  char* End = Buffer;
  char* const Limit = Buffer + Capacity;
};

}  // namespace tessellor
