// Status codes returned by every operation that can fail. They travel
// unchanged to the one place that reports them (ShowError in SBMSG32).
#pragma once

#include <cstdint>

using Status = std::uint16_t;

enum : Status {
  StatusOk = 0,
  StatusCancelled = 100,       // Cancel in the status window, or Esc during a selection
  StatusBadArgument = 101,     // null handle, malformed image, size out of range
  StatusNoMemory = 102,        // a memory block could not be allocated
  StatusCreateFailed = 200,    // the output file could not be created
  StatusWriteFailed = 203,     // a write stored fewer bytes than asked
  StatusReadPixelsFailed = 801,
  StatusEmptyCapture = 802,
  StatusPrinterNoRaster = 900,
  StatusNoPrinter = 901,
  StatusPrintJobFailed = 902,
  StatusPrinterDcFailed = 908,
  StatusPrinterSetupNoRaster = 909,
  StatusNoPrintableArea = 910,
};
