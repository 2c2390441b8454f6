// The capture pipeline. It runs inside the main window's handler of the
// capture request on the one user-interface thread (only the notices it
// gives while busy have short threads of their own); the busy flag keeps the
// message dispatch inside its long steps from starting a second capture.
// Each processing step makes a new packed DIB; the pipeline frees the old one
// and adopts the new. A failing step either stops the capture (nothing of it
// survives) or is reported and passed over, as each step says.
#include "shell/pipeline_win.h"

#include <cstdio>

#include "capture/sbhook32.h"
#include "formats/png_writer.h"
#include "imaging/blackwhite.h"
#include "imaging/bytes.h"
#include "imaging/dib.h"
#include "imaging/dib_win.h"
#include "imaging/greyscale.h"
#include "messages/message_box_place_win.h"
#include "messages/sbmsg32.h"
#include "shell/countdown_win.h"
#include "shell/pipeline_rules.h"
#include "shell/print_request_win.h"
#include "shell/saving_win.h"
#include "shell/status_window.h"
#include "shell/viewer_win.h"

namespace {

void Report(Status status) { ShowError(kProductName, status); }

void WaitCursor() {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  ShowCursor(TRUE);
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Back to an icon with its title, and let the screen repaint after the
// selection before the long steps begin.
void SettleMainWindow(const ShellState& s) {
  ShowWindow(s.mainWindow, SW_SHOWMINNOACTIVE);
  SetWindowTextA(s.mainWindow, kProductName);
  DrainQueue();
}

// The capture info, from the image as it was captured; later steps never
// refresh it.
void RecordCaptureInfo(ShellState& s) {
  MemLockGuard lock(s.currentImage);
  if (lock.data() == nullptr || lock.size() < kDibHeaderSize) return;
  const std::uint8_t* h = lock.data();
  s.capture.width = static_cast<std::int32_t>(GetLe32(h + DibWidthField));
  s.capture.height = static_cast<std::int32_t>(GetLe32(h + DibHeightField));
  s.capture.bitCount = GetLe16(h + DibBitCountField);
  s.capture.clrUsed = GetLe32(h + DibClrUsedField);
}

// The current palette for the current image. On failure the capture is gone.
bool RemakePalette(ShellState& s) {
  if (s.currentPalette != nullptr) {
    DeleteObject(s.currentPalette);
    s.currentPalette = nullptr;
  }
  const Status status = CreateDibPalette(s.currentImage, &s.currentPalette);
  if (status == StatusOk) return true;
  Report(status);
  DiscardLastCapture(s);
  return false;
}

bool MakeGreyscale(ShellState& s) {
  WaitCursor();
  MemHandle grey = nullptr;
  const Status status = MakeGreyscaleDib(s.currentImage, &grey);
  s.currentImage = MemFree(s.currentImage);  // gone whatever the result
  if (status != StatusOk) {
    DiscardLastCapture(s);
    Report(status);
    return false;
  }
  s.currentImage = grey;
  s.greyFlag = static_cast<std::uint8_t>(NormaliseGreyDib(s.currentImage));
  return RemakePalette(s);
}

// A failed inversion is reported and the capture goes on as it was.
bool Invert(ShellState& s) {
  WaitCursor();
  MemHandle inverted = nullptr;
  const Status status = InvertDib(s.currentImage, &inverted);
  if (status != StatusOk) {
    Report(status);
    return true;
  }
  MemFree(s.currentImage);
  s.currentImage = inverted;
  s.greyFlag = static_cast<std::uint8_t>(NormaliseGreyDib(s.currentImage));
  return RemakePalette(s);
}

// The one long processing step, shown in the status window and cancellable
// from it. The grey flag keeps its value.
bool MakeBlackWhite(ShellState& s) {
  std::snprintf(s.statusText, sizeof s.statusText, "Converting to Black and White");
  ShowStatus(s.statusText);
  MemHandle bw = nullptr;
  const Status status = MakeBlackWhiteDib(StatusChannel(), s.currentImage, &bw);
  HideStatus();
  if (status != StatusOk) {
    Report(status);
    DiscardLastCapture(s);
    return false;
  }
  MemFree(s.currentImage);
  s.currentImage = bw;
  return RemakePalette(s);
}

// Waits `ms` while the thread's messages are dispatched as they come.
void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  for (DWORD spent = 0; spent < ms; spent = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    DrainQueue();
  }
}

// Clipboard managers and remote-desktop clients hold the clipboard open for
// a few milliseconds at a time; one refusal is no reason to give up.
bool OpenClipboardPatiently(HWND owner) {
  const DWORD start = GetTickCount();
  while (!OpenClipboard(owner)) {
    const std::uint32_t wait = ClipboardRetryDelay(GetTickCount() - start);
    if (wait == 0) return false;
    PumpFor(wait);
  }
  return true;
}

// Hands an object to the clipboard; one the clipboard refuses stays ours to free.
template <typename Free>
void PutOnClipboard(UINT format, HANDLE object, Free free) {
  if (object != nullptr && SetClipboardData(format, object) == nullptr) free(object);
}

// The registered format browsers, office and chat programs paste losslessly,
// asked for once. A plain variable, not a function's static: the guard such a
// static needs would bring the C++ runtime's terminate handler into the
// program, which is built without exceptions.
UINT g_pngClipboardFormat = 0;

UINT PngClipboardFormat() {
  if (g_pngClipboardFormat == 0) g_pngClipboardFormat = RegisterClipboardFormatA("PNG");
  return g_pngClipboardFormat;
}

// CF_BITMAP and CF_PALETTE only for a capture that had a colour table, then
// CF_DIB always, and the PNG promised. The last capture keeps its own image
// and palette.
void CopyToClipboard(ShellState& s) {
  WaitCursor();
  if (!OpenClipboardPatiently(s.mainWindow)) {
    const MessageBoxPlacement placed;
    MessageBoxA(s.mainWindow, "Clipboard in use, unable to copy.", kProductName, MB_SYSTEMMODAL | MB_ICONINFORMATION);
    return;
  }
  EmptyClipboard();
  const auto deleteObject = [](HANDLE h) { DeleteObject(static_cast<HGDIOBJ>(h)); };
  if (s.capture.clrUsed != 0) {
    HBITMAP bitmap = nullptr;
    Status status = DibToBitmap(s.currentImage, s.currentPalette, &bitmap);
    if (status != StatusOk) {
      Report(status);
    } else {
      PutOnClipboard(CF_BITMAP, bitmap, deleteObject);
      HPALETTE palette = nullptr;
      status = CopyPalette(s.currentPalette, &palette);
      if (status != StatusOk) Report(status);
      else PutOnClipboard(CF_PALETTE, palette, deleteObject);
    }
  }
  MemHandle dib = nullptr;
  const Status status = CopyDib(s.currentImage, &dib);
  if (status != StatusOk) Report(status);
  else PutOnClipboard(CF_DIB, reinterpret_cast<HANDLE>(dib), [](HANDLE h) { GlobalFree(h); });
  // Emptying the clipboard freed the previous copy. The PNG is coded only
  // when asked for, from a copy of its own: the next capture may replace
  // the last one before anyone pastes. Without memory for the copy the
  // PNG is not offered; the bitmap formats are.
  ReleaseClipboardImage(s);
  MemHandle copy = nullptr;
  if (PngClipboardFormat() != 0 && CopyDib(s.currentImage, &copy) == StatusOk) {
    s.clipboardImage = copy;
    SetClipboardData(PngClipboardFormat(), nullptr);  // null, on success too
  }
  CloseClipboard();
}

}  // namespace

void RenderClipboardFormat(ShellState& s, UINT format) {
  if (format != PngClipboardFormat() || s.clipboardImage == nullptr) return;
  MemHandle png = nullptr;
  if (EncodePngToBlock(s.clipboardImage, DisplayPixelsPerMetre(), &png) != StatusOk) return;
  // Once rendered, the format is the system's and is not asked for again.
  if (SetClipboardData(format, reinterpret_cast<HANDLE>(png)) == nullptr) MemFree(png);
  else ReleaseClipboardImage(s);
}

void RenderAllClipboardFormats(ShellState& s) {
  if (s.clipboardImage == nullptr || !OpenClipboard(s.mainWindow)) return;
  // Another program may have taken the clipboard since: then its contents
  // are not ours to add to.
  if (GetClipboardOwner() == s.mainWindow) RenderClipboardFormat(s, PngClipboardFormat());
  CloseClipboard();
}

void ReleaseClipboardImage(ShellState& s) { s.clipboardImage = MemFree(s.clipboardImage); }

namespace {

// The saved file's whole path is lower case; saving reports its own errors.
void SaveToDisk(ShellState& s) {
  if (s.settings.AutoSave == 0) {
    s.currentFileName[0] = '\0';
    return;
  }
  if (GetCaptureFileName(s, s.currentFileName) != 0) return;
  LowerCaseAscii(s.currentFileName);
  SaveCapture(s, s.currentImage, s.greyFlag, s.currentFileName, s.settings.CapFormat);
}

void SendToPrinter(ShellState& s) {
  FormatPrintingText(s.currentFileName, s.statusText, sizeof s.statusText);
  ShowStatus(s.statusText);
  PrintCapture(PrintRequestOf(s));  // reports its own errors
  HideStatus();
}

// Record, palette and the processing steps; false when the capture was
// discarded on the way (the destinations are then skipped).
bool ProcessCapture(ShellState& s) {
  RecordCaptureInfo(s);
  s.greyFlag = static_cast<std::uint8_t>(NormaliseGreyDib(s.currentImage));
  if (!RemakePalette(s)) return false;
  if (s.settings.Greyscale != 0 && !MakeGreyscale(s)) return false;
  if (s.settings.Invert != 0 && !Invert(s)) return false;
  // Only the value 1 switches black and white on.
  if (s.settings.Dither == 1 && !MakeBlackWhite(s)) return false;
  return true;
}

void Deliver(ShellState& s) {
  if (s.settings.ToClipbd != 0) CopyToClipboard(s);
  SaveToDisk(s);
  if (s.settings.Print != 0) SendToPrinter(s);
}

struct HoldSearch {
  const ShellState* shell;
  HeldWindows* held;
};

BOOL CALLBACK HoldOne(HWND window, LPARAM param) {
  const auto* search = reinterpret_cast<const HoldSearch*>(param);
  HeldWindows& held = *search->held;
  if (held.count == sizeof held.window / sizeof held.window[0]) return FALSE;
  const OpenWindowFacts facts{IsWindowVisible(window) != FALSE, IsWindowEnabled(window) != FALSE,
                              window == search->shell->mainWindow, window == search->shell->statusWindow};
  if (HoldForCapture(facts)) {
    EnableWindow(window, FALSE);
    held.window[held.count++] = window;
  }
  return TRUE;
}

// The notices the program gives while it is busy come up on a thread of
// their own: shown from the capture's own message dispatch, a message box's
// modal loop would hold the capture until the user answered it. One box of
// each kind is up at a time; a request while it is up adds nothing.
struct NoticeBox {
  const char* text;
  UINT style;
  HANDLE thread;
  DWORD threadId;
};

NoticeBox g_busyNotice = {"I'm Busy!", MB_SYSTEMMODAL | MB_ICONINFORMATION, nullptr, 0};
NoticeBox g_sessionNotice = {"Processing an image, please wait.", MB_ICONHAND | MB_SETFOREGROUND, nullptr, 0};

DWORD WINAPI RunNoticeBox(LPVOID param) {
  const auto* box = static_cast<const NoticeBox*>(param);
  const MessageBoxPlacement placed;
  MessageBoxA(nullptr, box->text, kProductName, box->style);
  return 0;
}

void ShowNotice(NoticeBox& box) {
  if (box.thread != nullptr) {
    if (WaitForSingleObject(box.thread, 0) == WAIT_TIMEOUT) return;
    CloseHandle(box.thread);
    box.thread = nullptr;
  }
  box.thread = CreateThread(nullptr, 0, RunNoticeBox, &box, 0, &box.threadId);
  // No thread for the box: a beep, rather than a box that stops the capture.
  if (box.thread == nullptr) MessageBeep(MB_ICONINFORMATION);
}

BOOL CALLBACK CloseNoticeWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// A box still up when the program ends is closed, and its thread waited for
// (bounded: a box that will not close does not keep the program alive).
void EndNotice(NoticeBox& box) {
  if (box.thread == nullptr) return;
  for (int tries = 0; tries < 20 && WaitForSingleObject(box.thread, 0) == WAIT_TIMEOUT; ++tries) {
    EnumThreadWindows(box.threadId, CloseNoticeWindow, 0);
    WaitForSingleObject(box.thread, 100);
  }
  CloseHandle(box.thread);
  box.thread = nullptr;
}

// GetFocus sees only this thread's windows, and the request comes while
// another application is in front: that application's window is what the
// status window and the message boxes take the activation from.
HWND RememberFocus() {
  HWND focus = GetFocus();
  return focus != nullptr ? focus : GetForegroundWindow();
}

void GiveFocusBack(HWND window) {
  if (window == nullptr || !IsWindow(window)) return;
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) SetFocus(window);
  else SetForegroundWindow(window);
}

// However a capture ends: the dialogs it held take input again, the one
// that had the focus takes it back, and the program is idle.
class CaptureEnd {
 public:
  explicit CaptureEnd(ShellState& s) : shell_(s) { HoldInput(s, &held_); }
  ~CaptureEnd() {
    ReleaseInput(&held_);
    GiveFocusBack(shell_.rememberedFocus);
    shell_.busy = false;
  }
  CaptureEnd(const CaptureEnd&) = delete;
  CaptureEnd& operator=(const CaptureEnd&) = delete;

 private:
  ShellState& shell_;
  HeldWindows held_{};
};

}  // namespace

// During a countdown the box would be in the very picture the user is
// waiting for, over the menu or tooltip the delay is there to catch: a beep
// says "busy" instead.
void ShowBusyBox() {
  if (CountdownRunning()) MessageBeep(MB_ICONINFORMATION);
  else ShowNotice(g_busyNotice);
}

void ShowSessionEndRefusal() { ShowNotice(g_sessionNotice); }

void EndNoticeBoxes() {
  EndNotice(g_busyNotice);
  EndNotice(g_sessionNotice);
}

void DiscardLastCapture(ShellState& s) {
  // The viewer paints from the image: it closes before the image goes, so
  // that no paint can reach a released block. A capture requested while it
  // is open then takes the screen, not the viewer.
  CloseViewer(s);
  s.currentImage = MemFree(s.currentImage);
  if (s.currentPalette != nullptr) {
    DeleteObject(s.currentPalette);
    s.currentPalette = nullptr;
  }
}

void HoldInput(const ShellState& shell, HeldWindows* held) {
  held->count = 0;
  HoldSearch search{&shell, held};
  EnumThreadWindows(GetCurrentThreadId(), HoldOne, reinterpret_cast<LPARAM>(&search));
}

void ReleaseInput(HeldWindows* held) {
  for (std::size_t i = held->count; i > 0; --i) {
    if (IsWindow(held->window[i - 1])) EnableWindow(held->window[i - 1], TRUE);
  }
  held->count = 0;
}

void RunCapturePipeline(ShellState& s) {
  if (s.busy) {
    ShowBusyBox();
    return;
  }
  s.busy = true;
  s.rememberedFocus = RememberFocus();
  s.currentFileName[0] = '\0';
  s.capture = CaptureInfo{};
  s.captureArea = RECT{};
  s.greyFlag = 0;
  DiscardLastCapture(s);
  // Nothing open before the capture may change or write the settings while
  // it reads them.
  const CaptureEnd end(s);

  HGLOBAL captured = nullptr;
  const Status status = CaptureScreen(&captured);
  if (status == StatusOk && !GetLastCaptureRect(&s.captureArea)) s.captureArea = RECT{};
  s.currentImage = reinterpret_cast<MemHandle>(captured);
  SettleMainWindow(s);
  if (status != StatusOk) {
    s.currentImage = MemFree(s.currentImage);  // the library hands out nothing on failure
    // Esc during the selection was the user's own choice: nothing to report.
    if (status != StatusCancelled) Report(status);
    return;
  }
  if (!ProcessCapture(s)) return;
  Deliver(s);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}
