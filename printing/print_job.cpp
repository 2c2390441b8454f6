// The print job's page: each step's failure, and a Cancel between steps.
#include "printing/print_job.h"

namespace {

// A step the spooler refused counts as the user's Cancel when the abort
// procedure has just seen one (the spooler refuses because it returned 0).
Status Refused(const PrintSpooler& s) { return s.cancelled(s.context) ? StatusCancelled : StatusPrintJobFailed; }

Status DrawAndEnd(const PrintSpooler& s, ProgressChannel* channel) {
  if (!s.startPage(s.context)) return Refused(s);
  if (s.cancelled(s.context)) return StatusCancelled;
  SendProgress(channel, 25);
  s.poll(s.context);
  if (s.cancelled(s.context)) return StatusCancelled;

  // A driver that refuses the bitmap (too large for it, out of memory)
  // would print a blank page with the file name alone: no page at all, and
  // the user is told.
  if (!s.drawImage(s.context)) return StatusPrintJobFailed;
  s.drawText(s.context);
  SendProgress(channel, 50);
  s.poll(s.context);
  if (s.cancelled(s.context)) return StatusCancelled;

  if (!s.endPage(s.context) || !s.endDoc(s.context)) return Refused(s);
  SendProgress(channel, 100);
  s.poll(s.context);
  return StatusOk;
}

}  // namespace

Status SpoolPrintedPage(const PrintSpooler& spooler, ProgressChannel* channel) {
  const Status status = DrawAndEnd(spooler, channel);
  if (status != StatusOk) spooler.abortDoc(spooler.context);
  return status;
}
