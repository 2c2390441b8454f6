// In the native unit tests operator new takes part in the injected
// allocation failures (HostMemFailAllocation), so that an allocation made
// outside the memory blocks is a failure point too. It fails as operator new
// does, by throwing: the tests that walk every failure point see the
// exception that, in the program, would cross a window procedure. Every
// plain form is replaced, on malloc and free, so that allocations and
// releases always pair.
#include <cstdlib>
#include <new>

#include "platform/memory_host.h"

namespace {

void* Allocate(std::size_t n) {
  if (HostMemAllocationFails()) throw std::bad_alloc();
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n != 0 ? n : 1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n != 0 ? n : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
