#pragma once

namespace tarvelo::testing {

// Counts the heap allocations that chosen threads make (operator new, malloc and its kin,
// including those inside C libraries such as FluidSynth): a real-time path under test runs on a
// counted thread, and what runs elsewhere is not counted.
//
// The plain builds replace the C allocation functions of the test executable, which operator new
// goes through; the sanitizer builds, whose allocators are their own, hear of each allocation
// through the sanitizers' allocation hook. Defined in allocation_counter.cpp, linked into one
// executable only.

// Counts the calling thread's allocations while it lives.
class CountedThread {
  public:
    CountedThread();
    ~CountedThread();
    CountedThread(const CountedThread&) = delete;
    CountedThread& operator=(const CountedThread&) = delete;
};

// Allocations made by counted threads so far, all of them together. Any thread; relaxed.
long countedAllocations();

}  // namespace tarvelo::testing
