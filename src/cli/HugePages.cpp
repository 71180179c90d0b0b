#include "HugePages.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

void HugePages::restartWithThem(char** argv) {
#if defined(__linux__) && defined(__GLIBC__) && !defined(TESSELLOR_KEEP_HEAP)
  if (std::getenv("TESSELLOR_NO_HUGE_PAGES") || std::getenv("LD_PRELOAD")) return;
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
  const std::string previous = tunables ? tunables : "";
  const std::string setting = (previous.empty() ? "" : previous + ":") + "glibc.malloc.hugetlb=1";
  if (setenv("GLIBC_TUNABLES", setting.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  // No restart (no /proc, say): the run goes on with the heap as it is.
  if (tunables)
    setenv("GLIBC_TUNABLES", previous.c_str(), 1);
  else
    unsetenv("GLIBC_TUNABLES");
#else
  (void)argv;
#endif
}
