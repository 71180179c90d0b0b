#include "base/Diagnostics.h"

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
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  write(buffer);
}

void Diagnostics::setSink(Sink sink, void* context) {
  currentSink = sink;
  currentContext = context;
}

}  // namespace tessellor
