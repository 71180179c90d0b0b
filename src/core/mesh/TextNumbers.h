#pragma once

#include <cstddef>

namespace tessellor {

// Decimal numbers in mesh text files, read independently of the process locale (a window
// toolkit may set one whose decimal separator is a comma).
class TextNumbers {
 public:
  // Read from the start of text, as far as it is a number (leading white space skipped, optional
  // sign); text without a leading number gives 0. The integer saturates instead of overflowing;
  // a hexadecimal number is not decimal and gives 0.
  static long long parseInteger(const char* text);
  static double parseFloat(const char* text);

  // The whole token (size bytes, zero-terminated) must be the number; false otherwise. Integers
  // beyond +-10^18 are refused rather than wrapped.
  static bool readInteger(const char* text, std::size_t size, long long& value);
  static bool readFloat(const char* text, std::size_t size, double& value);
};

}  // namespace tessellor
