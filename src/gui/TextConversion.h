#pragma once

#include <QString>

#include <stdexcept>

// A text that is not a number; what() is the message shown to the user.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Number conversions of the input boxes, with the runtime's messages.
class TextConversion {
 public:
  // Throws ConversionError "'<text>' is not a valid integer value".
  static int toInteger(const QString& text);
  // Throws ConversionError "'<text>' is not a valid floating point value"; also for values a
  // 32-bit float cannot hold (infinite, not a number, out of range).
  static float toFloat(const QString& text);
  // General format with 4 significant digits (0.3 shows as "0.3").
  static QString formatGeneral4(float value);
};
