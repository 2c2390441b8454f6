// The saved printer setup's two blocks (DEVNAMES and DEVMODE) as they pass
// to and from the Print Setup dialog: who owns which block, and what is
// freed when a choice replaces them.
#pragma once

#include "platform/memory.h"

// Both set or both null.
struct PrinterBlocks {
  MemHandle names;
  MemHandle mode;
};

// Copies of both saved blocks, for a dialog to work on while the saved ones
// stay usable (a capture printing meanwhile reads them, or stores the
// default printer's). Both null when nothing whole is saved or a copy
// cannot be had.
PrinterBlocks CopyPrinterBlocks(const PrinterBlocks& saved);
// `chosen` becomes the saved setup when it holds both blocks, else nothing
// does (a lone block is freed). Every saved block it replaces is freed.
void ReplacePrinterBlocks(PrinterBlocks* saved, const PrinterBlocks& chosen);
