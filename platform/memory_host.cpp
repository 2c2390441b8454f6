// Host memory blocks with the semantics of movable global memory: zero-filled,
// size rounded up as the Windows allocator does, nested locks. A failing
// allocator and live-block counts let tests prove every path releases.
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/memory.h"
#include "platform/memory_host.h"

struct MemBlock {
  std::size_t size;
  int locks;
  unsigned char* bytes;
};

namespace {
int g_failCountdown = -1;
std::size_t g_liveBlocks = 0;
std::size_t g_openLocks = 0;
std::size_t g_liveBytes = 0;
std::size_t g_peakBytes = 0;
constexpr std::size_t kGranule = 8;  // GlobalAlloc rounds sizes up like this
}  // namespace

void HostMemFailAllocation(int n) { g_failCountdown = n; }
bool HostMemAllocationFails() { return g_failCountdown >= 0 && g_failCountdown-- == 0; }
std::size_t HostMemLiveBlocks() { return g_liveBlocks; }
std::size_t HostMemOpenLocks() { return g_openLocks; }
std::size_t HostMemLiveBytes() { return g_liveBytes; }
std::size_t HostMemPeakBytes() { return g_peakBytes; }
void HostMemResetPeak() { g_peakBytes = g_liveBytes; }

MemHandle MemAlloc(std::size_t size) {
  if (HostMemAllocationFails()) return nullptr;
  if (size > static_cast<std::size_t>(-1) - kGranule) return nullptr;
  const std::size_t rounded = (size + kGranule - 1) / kGranule * kGranule;
  auto* block = new (std::nothrow) MemBlock{rounded, 0, nullptr};
  if (block == nullptr) return nullptr;
  block->bytes = static_cast<unsigned char*>(std::calloc(rounded ? rounded : 1, 1));
  if (block->bytes == nullptr) {
    delete block;
    return nullptr;
  }
  ++g_liveBlocks;
  g_liveBytes += rounded;
  if (g_liveBytes > g_peakBytes) g_peakBytes = g_liveBytes;
  return block;
}

MemHandle MemFree(MemHandle block) {
  if (block != nullptr) {
    g_openLocks -= static_cast<std::size_t>(block->locks);
    g_liveBytes -= block->size;
    std::free(block->bytes);
    delete block;
    --g_liveBlocks;
  }
  return nullptr;
}

std::size_t MemSize(MemHandle block) { return block ? block->size : 0; }

void* MemLock(MemHandle block) {
  if (block == nullptr) return nullptr;
  ++block->locks;
  ++g_openLocks;
  return block->bytes;
}

void MemUnlock(MemHandle block) {
  if (block != nullptr && block->locks > 0) {
    --block->locks;
    --g_openLocks;
  }
}
