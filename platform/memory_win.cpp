// Memory blocks as movable global memory, so that a packed DIB can be handed
// across SBHOOK32's boundary and to the clipboard as it is.
#include <windows.h>

#include "platform/memory.h"

MemHandle MemAlloc(std::size_t size) {
  return reinterpret_cast<MemHandle>(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
}

MemHandle MemFree(MemHandle block) {
  if (block != nullptr) GlobalFree(reinterpret_cast<HGLOBAL>(block));
  return nullptr;
}

std::size_t MemSize(MemHandle block) {
  return block ? GlobalSize(reinterpret_cast<HGLOBAL>(block)) : 0;
}

void* MemLock(MemHandle block) {
  return block ? GlobalLock(reinterpret_cast<HGLOBAL>(block)) : nullptr;
}

void MemUnlock(MemHandle block) {
  if (block != nullptr) GlobalUnlock(reinterpret_cast<HGLOBAL>(block));
}
