#pragma once

namespace tessellor {

// The one stream for diagnostics that only damaged tables or malformed files can trigger
// ("VERROR ...", "This is not a PLY file.", "Marching Cubes: ..."). It is standard error
// unless a front-end or a test redirects it; the log stays on the status output.
class Diagnostics {
 public:
  using Sink = void (*)(const char* text, void* context);

  // Writes text as it stands (callers put in their own line feeds).
  static void write(const char* text);
  static void printf(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 1, 2)))
#endif
      ;
  // Redirects every diagnostic to sink (nullptr: back to standard error).
  static void setSink(Sink sink, void* context);
};

}  // namespace tessellor
