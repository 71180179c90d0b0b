#include "TextConversion.h"

#include <cmath>
#include <limits>

int TextConversion::toInteger(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok) throw ConversionError("'" + text.toStdString() + "' is not a valid integer value");
  return value;
}

float TextConversion::toFloat(const QString& text) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
    throw ConversionError("'" + text.toStdString() + "' is not a valid floating point value");
  return static_cast<float>(value);
}

QString TextConversion::formatGeneral4(float value) { return QString::number(static_cast<double>(value), 'g', 4); }
