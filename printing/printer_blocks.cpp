// Copies and replacement of the saved printer setup's blocks.
#include "printing/printer_blocks.h"

#include <cstring>

namespace {

MemHandle CopyBlock(MemHandle block) {
  MemLockGuard from(block);
  if (from.data() == nullptr) return nullptr;
  MemOwner copy(MemAlloc(from.size()));
  {
    MemLockGuard to(copy.get());
    if (to.data() == nullptr) return MemFree(copy.release());
    std::memcpy(to.data(), from.data(), from.size());
  }
  return copy.release();
}

}  // namespace

PrinterBlocks CopyPrinterBlocks(const PrinterBlocks& saved) {
  if (saved.names == nullptr || saved.mode == nullptr) return {};
  MemOwner names(CopyBlock(saved.names));
  MemOwner mode(CopyBlock(saved.mode));
  if (names.get() == nullptr || mode.get() == nullptr) return {};
  return {names.release(), mode.release()};
}

void ReplacePrinterBlocks(PrinterBlocks* saved, const PrinterBlocks& chosen) {
  const PrinterBlocks kept = chosen.names != nullptr && chosen.mode != nullptr ? chosen : PrinterBlocks{};
  // Every block not kept is freed once: a dialog may hand a block back as
  // it went in, so one block can be both saved and chosen.
  const MemHandle all[] = {saved->names, saved->mode, chosen.names, chosen.mode};
  for (int i = 0; i < 4; ++i) {
    bool seen = all[i] == nullptr || all[i] == kept.names || all[i] == kept.mode;
    for (int j = 0; j < i && !seen; ++j) seen = all[j] == all[i];
    if (!seen) MemFree(all[i]);
  }
  *saved = kept;
}
