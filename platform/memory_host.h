// Test controls of the host memory blocks.
#pragma once

#include <cstddef>

// Makes the allocation `n` calls from now fail (0 = the next one); -1 disarms.
void HostMemFailAllocation(int n);
// Counts one allocation against the armed failure; true for the one that
// must fail. MemAlloc asks it, and so can any other allocator a test wants
// to be a failure point too.
bool HostMemAllocationFails();
// Blocks allocated and not yet freed, and locks taken and not yet released.
std::size_t HostMemLiveBlocks();
std::size_t HostMemOpenLocks();
// Bytes held in live blocks now, and the most held at once since the last
// reset (which starts from what is held at that moment).
std::size_t HostMemLiveBytes();
std::size_t HostMemPeakBytes();
void HostMemResetPeak();
