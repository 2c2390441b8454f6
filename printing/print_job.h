// The steps of the one-page print job inside a started document, over the
// spooler's calls given as functions: which failure or cancel ends the job
// with which status, and that every such end aborts the document. Plain
// control flow, so that it is tested without a printer.
#pragma once

#include "messages/status.h"
#include "platform/progress.h"

// The calls the job makes on one printer. Each bool one is true when the
// spooler accepted the call; `poll` runs the abort procedure (it drains the
// queue and may see the Cancel), `cancelled` reads what it has seen.
struct PrintSpooler {
  void* context;
  bool (*startPage)(void* context);
  bool (*drawImage)(void* context);  // false when the driver drew nothing
  void (*drawText)(void* context);
  bool (*endPage)(void* context);
  bool (*endDoc)(void* context);
  void (*abortDoc)(void* context);
  void (*poll)(void* context);
  bool (*cancelled)(void* context);
};

// Draws the page of a started document and ends it: StatusOk, or
// StatusCancelled or StatusPrintJobFailed with the document aborted, so
// that nothing of it reaches the printer. Progress 25, 50 and 100 go to
// `channel` as the page is started, drawn and ended.
Status SpoolPrintedPage(const PrintSpooler& spooler, ProgressChannel* channel);
