#pragma once

// Transparent huge pages for the command line's heap. A remesh at 10^8 voxels first touches
// several hundred MiB in blocks large and small; with 4 KiB pages that costs over a hundred
// thousand page faults, a tenth of the run. glibc's malloc backs its heaps with huge pages only
// when the GLIBC_TUNABLES setting glibc.malloc.hugetlb=1 is present at start-up, so the process
// starts itself once more with it. On a system that gives huge pages only on request (the
// "madvise" setting) this asks for them; with "never" it changes nothing.
class HugePages {
 public:
  // Restarts the program from the start with the setting, unless glibc.malloc.hugetlb is set
  // already (by the user, or by the restart), TESSELLOR_NO_HUGE_PAGES is set, or a tool is
  // preloaded (a debugger's or profiler's helper would lose the program). Returns when there is
  // no restart, with the environment as it was.
  static void restartWithThem(char** argv);
};
