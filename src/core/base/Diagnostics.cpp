#include "base/Diagnostics.h"

#include "base/StringFormat.h"

#include <cstdarg>
#include <cstdio>

namespace tessellor {

namespace {
Diagnostics::Sink currentSink = nullptr;
void* currentContext = nullptr;
}  // namespace

void Diagnostics::write(const char* text) {
  if (currentSink) {
    currentSink(text, currentContext);
    return;
  }
  std::fputs(text, stderr);
}

void Diagnostics::printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatStringV(format, args);
  va_end(args);
  write(text.c_str());
}

void Diagnostics::setSink(Sink sink, void* context) {
  currentSink = sink;
  currentContext = context;
}

}  // namespace tessellor
