#pragma once

#include <atomic>

// Heap allocations so far in this process (AllocationCounter.cpp replaces operator new).
extern std::atomic<long long> allocations;
