// Printer setup and the print job. The job runs on the user-interface thread
// and keeps the program responsive by draining the thread's queue between
// its steps, where the status window's Cancel is also noticed.
#include "printing/printing_win.h"

#include <winspool.h>

#include <cstddef>
#include <cstring>

#include "imaging/dib.h"
#include "imaging/gdi_guards_win.h"
#include "messages/sbmsg32.h"
#include "platform/ctl3d_win.h"
#include "platform/progress.h"
#include "printing/print_job.h"
#include "printing/print_layout.h"
#include "printing/printer_blocks.h"

namespace {

// The original 66-byte record, which the 32-bit headers pack PRINTDLGA to.
constexpr DWORD kPrintDlgSize = 66;
static_assert(sizeof(PRINTDLGA) == kPrintDlgSize, "PRINTDLGA is not the 66-byte record");
// DOCINFO as it first was: its size, the document name and the output file.
// The record passed is the whole zeroed DOCINFOA, so that a system reading
// the later fields finds them empty instead of reading past the record.
constexpr int kDocInfoSize = 12;

// The one print job that can run at a time (the pipeline's busy flag sees
// to that): where its progress goes and whether the user cancelled it.
struct PrintJob {
  ProgressChannel* channel;
  int abortFlag;
};
PrintJob g_job{};

// A name inside a DEVNAMES block, or null when its offset or its end lies
// outside the block.
const char* DevName(const char* block, SIZE_T size, WORD offset) {
  if (offset < sizeof(DEVNAMES) || offset >= size) return nullptr;
  return std::memchr(block + offset, '\0', size - offset) != nullptr ? block + offset : nullptr;
}

// False only when the system says no printer of that name is installed; a
// printer it cannot open for another reason (rights, a server away) is still
// the user's choice.
bool PrinterInstalled(HGLOBAL devNames) {
  const SIZE_T size = GlobalSize(devNames);
  const auto* names = static_cast<const char*>(GlobalLock(devNames));
  if (names == nullptr) return true;
  bool installed = true;
  if (size >= sizeof(DEVNAMES)) {
    const char* device = DevName(names, size, reinterpret_cast<const DEVNAMES*>(names)->wDeviceOffset);
    HANDLE printer = nullptr;
    if (device != nullptr && OpenPrinterA(const_cast<char*>(device), &printer, nullptr)) {
      ClosePrinter(printer);
    } else if (device != nullptr) {
      installed = GetLastError() != ERROR_INVALID_PRINTER_NAME;
    }
  }
  GlobalUnlock(devNames);
  return installed;
}

BOOL RunPrintDlg(PRINTDLGA* record, DWORD* error) {
  // Windows refuses a saved printer that has since been removed with
  // PDERR_PRINTERNOTFOUND. Wine opens the dialog on the default printer
  // instead, and a Cancel there hands the removed one back, which no print
  // could then open. Answer as Windows does, before any dialog.
  if (record->hDevNames != nullptr && !PrinterInstalled(record->hDevNames)) {
    *error = PDERR_PRINTERNOTFOUND;
    return FALSE;
  }
  const BOOL ok = PrintDlgA(record);
  *error = ok ? 0 : CommDlgExtendedError();
  return ok;
}

MemHandle AsBlock(HGLOBAL block) { return reinterpret_cast<MemHandle>(block); }
HGLOBAL AsGlobal(MemHandle block) { return reinterpret_cast<HGLOBAL>(block); }

PrinterBlocks SavedBlocks(const HGLOBAL* devNames, const HGLOBAL* devMode) {
  return {AsBlock(*devNames), AsBlock(*devMode)};
}

// `chosen` becomes the saved setup (both blocks, or none: a lone one is
// freed), and whatever it replaces is freed.
void KeepSaved(const PrinterBlocks& chosen, HGLOBAL* devNames, HGLOBAL* devMode) {
  PrinterBlocks saved = SavedBlocks(devNames, devMode);
  ReplacePrinterBlocks(&saved, chosen);
  *devNames = AsGlobal(saved.names);
  *devMode = AsGlobal(saved.mode);
}

// Every report comes with the status window hidden: the pipeline shows it
// before the printer is looked up, and no progress goes on behind an error
// that has ended the print.
void Report(const PrintRequest& request, Status code) {
  request.hideStatus();
  ShowError(request.caption, code);
}

// The default printer's blocks, without a dialog, when nothing is saved yet.
void EnsurePrinterSetup(const PrintRequest& request) {
  if (*request.devNames != nullptr && *request.devMode != nullptr) return;
  KeepSaved(PrinterBlocks{}, request.devNames, request.devMode);
  PRINTDLGA record;
  std::memset(&record, 0, sizeof record);
  record.lStructSize = kPrintDlgSize;
  record.hwndOwner = request.owner;
  record.Flags = PD_RETURNDEFAULT;
  PrintDlgA(&record);
  KeepSaved({AsBlock(record.hDevNames), AsBlock(record.hDevMode)}, request.devNames, request.devMode);
}

HDC CreatePrinterDc(HGLOBAL devNames, HGLOBAL devMode) {
  const SIZE_T namesSize = GlobalSize(devNames);
  const SIZE_T modeSize = GlobalSize(devMode);
  const auto* names = static_cast<const char*>(GlobalLock(devNames));
  const auto* mode = static_cast<const DEVMODEA*>(GlobalLock(devMode));
  HDC dc = nullptr;
  if (names != nullptr && mode != nullptr && namesSize >= sizeof(DEVNAMES) &&
      modeSize >= offsetof(DEVMODEA, dmFields) && modeSize >= SIZE_T{mode->dmSize} + mode->dmDriverExtra) {
    const auto* offsets = reinterpret_cast<const DEVNAMES*>(names);
    const char* driver = DevName(names, namesSize, offsets->wDriverOffset);
    const char* device = DevName(names, namesSize, offsets->wDeviceOffset);
    const char* output = DevName(names, namesSize, offsets->wOutputOffset);
    if (driver != nullptr && device != nullptr && output != nullptr) dc = CreateDCA(driver, device, output, mode);
  }
  if (mode != nullptr) GlobalUnlock(devMode);
  if (names != nullptr) GlobalUnlock(devNames);
  return dc;
}

// The checks before the job: a usable printer, a readable image and room on
// the page for it.
Status PreparePage(const PrintRequest& request, HDC printer, PrintPlacement* placement) {
  if (printer == nullptr) return StatusPrinterDcFailed;
  if (GetDeviceCaps(printer, RASTERCAPS) == 0) return StatusPrinterSetupNoRaster;
  const PrinterPage page = {GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES),
                            GetDeviceCaps(printer, LOGPIXELSX), GetDeviceCaps(printer, LOGPIXELSY)};
  DibLayout image{};
  {
    MemLockGuard lock(request.image);
    if (CheckDibLayout(lock.data(), lock.size(), &image) != StatusOk) return StatusBadArgument;
  }
  return LayOutPrintedImage(page, request.withFileName, image.width, image.height, placement);
}

bool Cancelled() { return g_job.abortFlag != 0; }

// What the page is drawn from, for the spooler's calls below.
struct PageDrawing {
  HDC printer;
  PrinterRect area;
  const std::uint8_t* dib;
  DibLayout image;
  int printText;
  const char* text;
  int textX;
  int textY;
};

PageDrawing& DrawingOf(void* context) { return *static_cast<PageDrawing*>(context); }

bool StartThePage(void* c) { return StartPage(DrawingOf(c).printer) >= 1; }

// StretchDIBits answers 0 (no lines drawn) or GDI_ERROR for a bitmap the
// driver refused.
bool DrawTheImage(void* c) {
  const PageDrawing& d = DrawingOf(c);
  const int lines = StretchDIBits(d.printer, d.area.left, d.area.top, d.area.width, d.area.height, 0, 0,
                                  d.image.width, d.image.height, d.dib + d.image.pixelOffset,
                                  reinterpret_cast<const BITMAPINFO*>(d.dib), DIB_RGB_COLORS, SRCCOPY);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

void DrawTheText(void* c) {
  const PageDrawing& d = DrawingOf(c);
  if (d.printText != 0 && d.text != nullptr && d.text[0] != '\0') {
    TextOutA(d.printer, d.textX, d.textY, d.text, static_cast<int>(std::strlen(d.text)));
  }
}

// A page or document the spooler refuses did not print: say so.
bool EndThePage(void* c) { return EndPage(DrawingOf(c).printer) >= 1; }
bool EndTheDocument(void* c) { return EndDoc(DrawingOf(c).printer) >= 1; }
// Nothing of an aborted document reaches the printer.
void AbortTheDocument(void* c) { AbortDoc(DrawingOf(c).printer); }
void PollTheJob(void* c) { PrintAbortProc(DrawingOf(c).printer, 0); }
bool JobCancelled(void*) { return Cancelled(); }

Status SpoolDocument(const char* documentName, PageDrawing& drawing) {
  DOCINFOA doc;
  std::memset(&doc, 0, sizeof doc);
  doc.cbSize = kDocInfoSize;
  doc.lpszDocName = documentName;
  if (StartDocA(drawing.printer, &doc) < 1) return StatusPrintJobFailed;
  const PrintSpooler spooler = {&drawing,   StartThePage,     DrawTheImage, DrawTheText, EndThePage,
                                EndTheDocument, AbortTheDocument, PollTheJob,   JobCancelled};
  return SpoolPrintedPage(spooler, g_job.channel);
}

}  // namespace

UINT_PTR CALLBACK PrinterSetupHook(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return 0;
  Ctl3dSubclassDialog(dialog, 0xFFFF);
  return 1;
}

void PrinterSetupWith(PrintDialogRunner runDialog, HWND owner, HINSTANCE instance, HGLOBAL* devNames,
                      HGLOBAL* devMode) {
  if (runDialog == nullptr || devNames == nullptr || devMode == nullptr) return;
  for (;;) {
    // The dialog works on copies. The saved blocks stay the program's: a
    // capture printed while the dialog is open reads them, or stores the
    // default printer's in their place, and the dialog may free or move the
    // blocks it is given. Both saved and stored ones are freed below, once
    // the dialog is closed and no print is running inside it.
    const PrinterBlocks offered = CopyPrinterBlocks(SavedBlocks(devNames, devMode));
    PRINTDLGA record;
    std::memset(&record, 0, sizeof record);
    record.lStructSize = kPrintDlgSize;
    record.hwndOwner = owner;
    record.hInstance = instance;
    record.Flags = PD_PRINTSETUP | PD_ENABLESETUPHOOK;
    record.lpfnSetupHook = PrinterSetupHook;
    record.hDevMode = AsGlobal(offered.mode);
    record.hDevNames = AsGlobal(offered.names);
    DWORD error = 0;
    const BOOL ok = runDialog(&record, &error);
    PrinterBlocks returned{AsBlock(record.hDevNames), AsBlock(record.hDevMode)};
    // The saved printer has gone or changed: open again on the default one.
    // Without a saved printer there is nothing to drop, so a second such
    // error ends the setup instead of asking again and again.
    if (!ok && offered.names != nullptr && (error == PDERR_PRINTERNOTFOUND || error == PDERR_DEFAULTDIFFERENT)) {
      ReplacePrinterBlocks(&returned, PrinterBlocks{});
      KeepSaved(PrinterBlocks{}, devNames, devMode);
      continue;
    }
    // Confirmed or cancelled alike, the setup is what the record now holds.
    KeepSaved(returned, devNames, devMode);
    return;
  }
}

void PrinterSetup(HWND owner, HINSTANCE instance, HGLOBAL* devNames, HGLOBAL* devMode) {
  PrinterSetupWith(RunPrintDlg, owner, instance, devNames, devMode);
}

int PrintCapture(const PrintRequest& request) {
  if (request.image == nullptr) return 1;
  EnsurePrinterSetup(request);
  if (*request.devNames == nullptr || *request.devMode == nullptr) {
    Report(request, StatusNoPrinter);
    return 1;
  }
  Status job = StatusOk;
  {
    // The saved blocks are read here only, before the job drains any
    // message: whatever replaces them from then on frees nothing in use.
    OwnedDc printer(CreatePrinterDc(*request.devNames, *request.devMode));
    PrintPlacement placement{};
    const Status ready = PreparePage(request, printer.get(), &placement);
    if (ready != StatusOk) {
      Report(request, ready);
      return 1;
    }
    request.showStatus(request.statusText);
    job = PrintDib(request.statusWindow, request.instance, printer.get(), request.image, request.palette,
                   PrintDocumentName(request.fileName), 0, 0, placement.widthHundredths,
                   placement.heightHundredths, request.withFileName ? 1 : 0, request.fileName, placement.textX,
                   placement.textY, 0);
  }
  // The printer context is gone before the job's error is shown.
  request.hideStatus();
  if (job != StatusOk) Report(request, job);
  return 0;
}

Status PrintDib(HWND statusWindow, HINSTANCE, HDC printer, MemHandle dib, HPALETTE palette,
                const char* documentName, std::int32_t top, std::int32_t left, std::int32_t width,
                std::int32_t height, int printText, const char* text, int textX, int textY, int) {
  if (printer == nullptr || dib == nullptr) return StatusBadArgument;
  g_job = PrintJob{reinterpret_cast<ProgressChannel*>(statusWindow), 0};
  SendProgress(g_job.channel, 0);
  if (DrainAndCheckCancel(g_job.channel)) return StatusCancelled;

  const int raster = GetDeviceCaps(printer, RASTERCAPS);
  if (raster == 0) return StatusPrinterNoRaster;
  if (GetDeviceCaps(printer, HORZRES) < 1 || GetDeviceCaps(printer, VERTRES) < 1) return StatusNoPrinter;
  PrinterRect area{};
  if (HundredthsToPrinterPixels(left, top, width, height, GetDeviceCaps(printer, LOGPIXELSX),
                                GetDeviceCaps(printer, LOGPIXELSY), &area) != StatusOk) {
    return StatusBadArgument;
  }

  MemLockGuard lock(dib);
  DibLayout image{};
  if (CheckDibLayout(lock.data(), lock.size(), &image) != StatusOk) return StatusBadArgument;
  if (SetAbortProc(printer, PrintAbortProc) < 1) return StatusPrintJobFailed;
  // Cancelled before the document started: there is nothing to abort.
  if (Cancelled()) return StatusCancelled;
  PaletteSelection selected((raster & RC_PALETTE) != 0 ? printer : nullptr, palette);
  PageDrawing drawing{printer, area, lock.data(), image, printText, text, textX, textY};
  return SpoolDocument(documentName != nullptr ? documentName : PrintDocumentName(nullptr), drawing);
}

BOOL CALLBACK PrintAbortProc(HDC, int) {
  if (Cancelled()) return FALSE;
  if (DrainAndCheckCancel(g_job.channel)) {
    g_job.abortFlag = 1;
    return FALSE;
  }
  return TRUE;
}
