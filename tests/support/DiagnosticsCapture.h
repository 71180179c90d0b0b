#pragma once

#include "base/Diagnostics.h"
#include "support/DiagnosticsCapture.h"

#include <string>

// Collects diagnostics into a string while it lives.
class DiagnosticsCapture {
 public:
  DiagnosticsCapture() {
    tessellor::Diagnostics::setSink(
        [](const char* text, void* self) { static_cast<DiagnosticsCapture*>(self)->Text += text; }, this);
  }
  ~DiagnosticsCapture() { tessellor::Diagnostics::setSink(nullptr, nullptr); }
  DiagnosticsCapture(const DiagnosticsCapture&) = delete;
  DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;
  std::string Text;
};
