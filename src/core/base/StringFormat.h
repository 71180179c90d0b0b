#pragma once

#include <cstdarg>
#include <string>

namespace tessellor {

// printf-style formatting into a std::string of any length (messages, log lines, reports).
std::string formatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string formatStringV(const char* format, va_list args);

}  // namespace tessellor
