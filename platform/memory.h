// Movable, zero-initialised memory blocks: the storage of every packed DIB and
// work buffer. On Windows a block is an HGLOBAL (it crosses the DLL boundary
// and goes to the clipboard); the host build keeps the same semantics.
#pragma once

#include <cstddef>
#include <cstdint>

struct MemBlock;                 // opaque; an HGLOBAL on Windows
using MemHandle = MemBlock*;

// A new zero-filled block of at least `size` bytes, or null.
MemHandle MemAlloc(std::size_t size);
// Frees a block; null is ignored. Returns null for `h = MemFree(h)` idiom.
MemHandle MemFree(MemHandle block);
// The usable size of the block, which may exceed what was asked for.
std::size_t MemSize(MemHandle block);
// Pins the block and returns its address, or null. Locks nest.
void* MemLock(MemHandle block);
void MemUnlock(MemHandle block);

// Holds a block locked for the guard's lifetime.
class MemLockGuard {
 public:
  explicit MemLockGuard(MemHandle block)
      : block_(block), data_(block ? static_cast<std::uint8_t*>(MemLock(block)) : nullptr),
        size_(data_ ? MemSize(block) : 0) {}
  ~MemLockGuard() {
    if (data_ != nullptr) MemUnlock(block_);
  }
  MemLockGuard(const MemLockGuard&) = delete;
  MemLockGuard& operator=(const MemLockGuard&) = delete;

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  MemHandle block_;
  std::uint8_t* data_;
  std::size_t size_;
};

// Owns a block until released: frees it on every path that does not hand it on.
class MemOwner {
 public:
  explicit MemOwner(MemHandle block = nullptr) : block_(block) {}
  ~MemOwner() { MemFree(block_); }
  MemOwner(const MemOwner&) = delete;
  MemOwner& operator=(const MemOwner&) = delete;

  MemHandle get() const { return block_; }
  MemHandle release() {
    MemHandle b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  MemHandle block_;
};
