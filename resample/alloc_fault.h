#pragma once

// Test seam for the allocation failure path: lets a test make AlignedAlloc32
// fail on the calling thread after a number of successful requests, and count
// the requests a call makes. Nothing in the program uses it.

namespace resample {

// After `allowed` more successful requests, every request of the calling thread
// fails until the seam is turned off again with -1.
void SetAllocationFailureAfter(int allowed) noexcept;

// Requests made by the calling thread since the last reset (failed ones too).
int AllocationRequestCount() noexcept;
void ResetAllocationRequestCount() noexcept;

}  // namespace resample
