#include "base/StringFormat.h"

#include <cstdio>

namespace tessellor {

std::string formatStringV(const char* format, va_list args) {
  char buffer[512];
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  std::string text;
  if (n < 0) {
    text = format;  // a format the C library refuses: keep its text rather than lose the line
  } else if (static_cast<std::size_t>(n) < sizeof buffer) {
    text.assign(buffer, static_cast<std::size_t>(n));
  } else {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), format, again);
    text.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return text;
}

std::string formatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatStringV(format, args);
  va_end(args);
  return text;
}

}  // namespace tessellor
