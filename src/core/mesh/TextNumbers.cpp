#include "mesh/TextNumbers.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include <locale.h>
#include <stdlib.h>

namespace tessellor {

namespace {
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}
}  // namespace

long long TextNumbers::parseInteger(const char* text) {
  const char* c = text;
  while (*c && std::isspace(static_cast<unsigned char>(*c))) ++c;
  bool negative = false;
  if (*c == '+' || *c == '-') negative = *c++ == '-';
  constexpr long long Limit = LLONG_MAX / 10 - 10;
  long long value = 0;
  while (*c >= '0' && *c <= '9') {
    if (value < Limit) value = value * 10 + (*c - '0');
    ++c;
  }
  return negative ? -value : value;
}

double TextNumbers::parseFloat(const char* text) {
  const char* c = text;
  while (*c && std::isspace(static_cast<unsigned char>(*c))) ++c;
  const char* digits = (*c == '+' || *c == '-') ? c + 1 : c;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return *c == '-' ? -0.0 : 0.0;
  return strtod_l(c, nullptr, cLocale());
}

bool TextNumbers::readInteger(const char* text, std::size_t size, long long& value) {
  const char* c = text;
  const char* const end = text + size;
  bool negative = false;
  if (c < end && (*c == '+' || *c == '-')) negative = *c++ == '-';
  if (c == end) return false;
  constexpr long long Limit = 1000000000000000000LL;
  long long result = 0;
  for (; c < end; ++c) {
    if (*c < '0' || *c > '9') return false;
    if (result > (Limit - (*c - '0')) / 10) return false;
    result = result * 10 + (*c - '0');
  }
  value = negative ? -result : result;
  return true;
}

bool TextNumbers::readFloat(const char* text, std::size_t size, double& value) {
  if (size == 0) return false;
  const char* digits = (*text == '+' || *text == '-') ? text + 1 : text;
  // Only decimal numbers: no hexadecimal floats, no leading white space.
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return false;
  if (std::isspace(static_cast<unsigned char>(*text))) return false;
  char* stop = nullptr;
  value = strtod_l(text, &stop, cLocale());
  return stop == text + size;
}

}  // namespace tessellor
