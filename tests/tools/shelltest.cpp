// shelltest.exe: drives the shell's settings, naming, saving and status
// window directly, for the end-to-end tests, before the capture pipeline
// uses them. It reads SHOTBOX.INI beside itself, as the program does.
//
//   settings                 load and print every field
//   save-setup KEY=VALUE...  load, change fields, write Capture Setup's keys
//   name                     GetCaptureFileName, then save a small image there
//   save PATH FORMAT W H     SaveCapture of a noisy 24-bit W x H image
//   status PERCENT...        show the status window, send 0 and each PERCENT, run until ended
//   viewer W H BITS BMP      a stand-in main window whose View Last Capture opens the viewer
//                            on a W x H test picture of BITS 8 or 24, also written to BMP
//   status-script STEP...    run status window steps in order (below), then run until ended
//   print DIB NAME|- [CANCEL_AT]
//                            PrintCapture of a packed DIB file as the current image, saved as
//                            NAME (- for not saved); with CANCEL_AT, the status window's Cancel
//                            is pressed when that percentage arrives
//
// Steps: show=TEXT, hide, progress=N, text=TEXT (change the shown text and send
// the text repaint message), pump (drain the queue as a long operation does),
// popups=0|1 (ShowOwnedPopups of the stand-in owner), state (print visible= and
// rect=), hold (print status=HWND and "held", then wait, touching no message,
// until a file named "release" appears in the current directory, as a save
// that never drains its queue).
//
// "iconic" before the command makes the stand-in main window an icon that is
// not active, as the program's own main window is.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/writers.h"
#include "imaging/dib.h"
#include "imaging/dib_win.h"
#include "imaging/gdi_guards_win.h"
#include "printing/print_layout.h"
#include "shell/print_request_win.h"
#include "shell/saving_win.h"
#include "shell/settings_win.h"
#include "shell/shell.h"
#include "shell/status_window.h"
#include "shell/viewer_win.h"

namespace {

void PrintSettings(const Settings& s) {
  std::printf("Mode=%d\nSizeWd=%d\nSizeHt=%d\nIncludeCursor=%d\nAlt=%u\nCtrl=%u\nShift=%u\nKey=%u\n"
              "Greyscale=%u\nInvert=%u\nDither=%u\nToClipbd=%u\nAutoSave=%u\nPrint=%u\nIncFileName=%d\n"
              "CapFormat=%u\nCapDir=%s\nAutoNamePrefix=%s\nAutoName=%d\nNextCaptureNumber=%d\n",
              s.Mode, s.SizeWd, s.SizeHt, s.IncludeCursor, s.Alt, s.Ctrl, s.Shift, s.Key, s.Greyscale, s.Invert,
              s.Dither, s.ToClipbd, s.AutoSave, s.Print, s.IncFileName, s.CapFormat, s.CapDir, s.AutoNamePrefix,
              s.AutoName, s.NextCaptureNumber);
}

bool SetField(Settings& s, const char* assignment) {
  const char* eq = std::strchr(assignment, '=');
  if (eq == nullptr) return false;
  const std::string key(assignment, eq);
  const int v = std::atoi(eq + 1);
  if (key == "Mode") s.Mode = v;
  else if (key == "Key") s.Key = static_cast<std::uint8_t>(v);
  else if (key == "Shift") s.Shift = static_cast<std::uint8_t>(v);
  else if (key == "Greyscale") s.Greyscale = static_cast<std::uint8_t>(v);
  else if (key == "AutoSave") s.AutoSave = static_cast<std::uint8_t>(v);
  else if (key == "CapFormat") s.CapFormat = static_cast<std::uint16_t>(v);
  else if (key == "SizeWd") s.SizeWd = v;
  else return false;
  return true;
}

MemHandle NoisyImage(int width, int height) {
  const std::uint32_t stride = DibRowStride(24, width);
  MemHandle h = MemAlloc(40 + std::size_t{stride} * height);
  MemLockGuard lock(h);
  if (lock.data() == nullptr) return h;
  PutDibHeader(lock.data(), width, height, 24, 0);
  std::mt19937 rng(7);
  for (std::size_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<std::uint8_t>(rng());
  return h;
}

// A test picture whose every pixel the end-to-end tests can recompute: for
// 24 bits a pattern of the coordinates, for 8 bits a 64-colour table of
// colours the system palette does not hold, in 8 x 8 tiles.
MemHandle PatternImage(int width, int height, int bits) {
  const std::uint32_t colours = bits == 8 ? 64 : 0;
  const std::uint32_t stride = DibRowStride(static_cast<std::uint16_t>(bits), width);
  MemHandle h = MemAlloc(40 + 4 * colours + std::size_t{stride} * height);
  MemLockGuard lock(h);
  if (lock.data() == nullptr) return h;
  std::uint8_t* p = lock.data();
  PutDibHeader(p, width, height, static_cast<std::uint16_t>(bits), colours);
  for (std::uint32_t i = 0; i < colours; ++i) {
    p[40 + 4 * i + 0] = static_cast<std::uint8_t>(i * 4 + 2);            // blue
    p[40 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i * 3);          // green
    p[40 + 4 * i + 2] = static_cast<std::uint8_t>((i * 37 + 11) & 255);  // red
  }
  std::uint8_t* pixels = p + 40 + 4 * colours;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = pixels + std::size_t{stride} * (height - 1 - y);  // bottom-up
    for (int x = 0; x < width; ++x) {
      if (bits == 8) {
        row[x] = static_cast<std::uint8_t>((x / 8 + (y / 8) * 3) % 64);
      } else {
        row[3 * x + 0] = static_cast<std::uint8_t>(x * 3);
        row[3 * x + 1] = static_cast<std::uint8_t>(y * 5);
        row[3 * x + 2] = static_cast<std::uint8_t>((x + y) * 7);
      }
    }
  }
  return h;
}

LRESULT CALLBACK MainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_SYSCOMMAND:
      if (wp == SC_SIZE) {
        OpenViewer(g_shell);
        return 0;
      }
      break;
    case WM_DESTROY:
      CloseViewer(g_shell);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(w, m, wp, lp);
}

bool g_iconicOwner = false;

// A stand-in for the main window (visible and active, or an inactive icon as
// the program's is), and the status window.
void CreateWindows() {
  g_shell.instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = g_shell.instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "PictrapShellTest";
  RegisterClassA(&wc);
  RegisterStatusClass(g_shell.instance);
  g_shell.mainWindow = CreateWindowExA(0, wc.lpszClassName, "Pictrap shell test", WS_OVERLAPPEDWINDOW, 100, 100,
                                       400, 300, nullptr, nullptr, g_shell.instance, nullptr);
  if (g_iconicOwner) {
    ShowWindow(g_shell.mainWindow, SW_SHOWMINNOACTIVE);
  } else {
    ShowWindow(g_shell.mainWindow, SW_SHOWNORMAL);
    SetForegroundWindow(g_shell.mainWindow);
    UpdateWindow(g_shell.mainWindow);
  }
  g_shell.statusWindow = CreateStatusWindow(g_shell.mainWindow, g_shell.instance, kProductName, "Cancel");
}

int Save(const char* path, int format, int width, int height) {
  CreateWindows();
  MemOwner image(NoisyImage(width, height));
  g_shell.capture = CaptureInfo{width, height, 24, 0};
  SaveCapture(g_shell, image.get(), 0, path, static_cast<std::uint16_t>(format));
  std::printf("done\n");
  return 0;
}

int Name() {
  CreateWindows();
  char name[kFileNameSize];
  const int result = GetCaptureFileName(g_shell, name);
  char cwd[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof cwd, cwd);
  std::printf("result=%d\nname=%s\nCapFormat=%u\nCapDir=%s\nNextCaptureNumber=%d\ncwd=%s\n", result, name,
              g_shell.settings.CapFormat, g_shell.settings.CapDir, g_shell.settings.NextCaptureNumber, cwd);
  std::fflush(stdout);
  if (result != 0) return 0;
  MemOwner image(NoisyImage(17, 9));
  g_shell.capture = CaptureInfo{17, 9, 24, 0};
  SaveCapture(g_shell, image.get(), 0, name, g_shell.settings.CapFormat);
  std::printf("saved\n");
  return 0;
}

int StatusAt(int count, char** percents) {
  CreateWindows();
  std::snprintf(g_shell.statusText, sizeof g_shell.statusText, "Saving - test.pcx");
  ShowStatus(g_shell.statusText);
  SendMessageA(g_shell.statusWindow, kProgressMessage, 0, 0);
  for (int i = 0; i < count; ++i) {
    SendMessageA(g_shell.statusWindow, kProgressMessage, static_cast<WPARAM>(std::atoi(percents[i])), 0);
    // Paint between steps, as a long operation's drain does.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(g_shell.statusWindow)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// The viewer on a picture no capture makes; the picture is on disk before
// the window appears.
int Viewer(int width, int height, int bits, const char* bmp) {
  MemOwner image(PatternImage(width, height, bits));
  g_shell.currentImage = image.get();
  g_shell.capture = CaptureInfo{width, height, static_cast<std::uint16_t>(bits), bits == 8 ? 64u : 0u};
  GdiObject<HPALETTE> palette;
  if (bits == 8) {
    HPALETTE made = nullptr;
    CreateDibPalette(image.get(), &made);
    palette.reset(made);
  }
  g_shell.currentPalette = palette.get();
  if (WriteBmpFile(nullptr, bmp, image.get()) != StatusOk) return 3;
  CreateWindows();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void PrintState() {
  RECT r{};
  GetWindowRect(g_shell.statusWindow, &r);
  std::printf("visible=%d\nrect=%ld,%ld,%ld,%ld\n", IsWindowVisible(g_shell.statusWindow) ? 1 : 0, r.left, r.top,
              r.right, r.bottom);
}

void Hold() {
  std::printf("status=%lu\nheld\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(g_shell.statusWindow)));
  std::fflush(stdout);
  for (int i = 0; i < 6000 && GetFileAttributesA("release") == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
  DeleteFileA("release");
}

bool StatusStep(const char* step) {
  const char* eq = std::strchr(step, '=');
  const std::string name = eq ? std::string(step, eq) : std::string(step);
  const char* value = eq ? eq + 1 : "";
  if (name == "show" || name == "text") {
    std::snprintf(g_shell.statusText, sizeof g_shell.statusText, "%s", value);
    if (name == "show") ShowStatus(g_shell.statusText);
    else SendMessageA(g_shell.statusWindow, kStatusTextMessage, 0, 0);
  } else if (name == "hide") {
    HideStatus();
  } else if (name == "progress") {
    SendMessageA(g_shell.statusWindow, kProgressMessage, static_cast<WPARAM>(std::atoi(value)), 0);
  } else if (name == "pump") {
    Pump();
  } else if (name == "popups") {
    ShowOwnedPopups(g_shell.mainWindow, std::atoi(value) != 0);
  } else if (name == "state") {
    PrintState();
  } else if (name == "hold") {
    Hold();
  } else {
    return false;
  }
  std::fflush(stdout);
  return true;
}

int StatusScript(int count, char** steps) {
  CreateWindows();
  for (int i = 0; i < count; ++i) {
    if (!StatusStep(steps[i])) return 2;
  }
  std::printf("done\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// The status window as the tests see it: the percentages that reached it,
// and the user's Cancel pressed when one given percentage arrives.
struct StatusWatch {
  WNDPROC original;
  int cancelAt;
  std::string sent;
};
StatusWatch g_watch = {nullptr, -1, ""};

LRESULT CALLBACK WatchStatus(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kProgressMessage) {
    char number[16];
    std::snprintf(number, sizeof number, "%s%u", g_watch.sent.empty() ? "" : ",", static_cast<unsigned>(wp));
    g_watch.sent += number;
    if (static_cast<int>(wp) == g_watch.cancelAt) PostMessageA(w, WM_COMMAND, 2, 0);
  }
  return CallWindowProcA(g_watch.original, w, m, wp, lp);
}

void WatchStatusWindow(int cancelAt) {
  g_watch.cancelAt = cancelAt;
  g_watch.original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_shell.statusWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchStatus)));
}

// A packed DIB from a file: a BMP file's image, or a bare packed DIB.
MemHandle LoadDib(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
  std::size_t skip = bytes.size() > 14 && bytes[0] == 'B' && bytes[1] == 'M' ? 14 : 0;
  if (bytes.size() <= skip) return nullptr;
  MemHandle h = MemAlloc(bytes.size() - skip);
  MemLockGuard lock(h);
  if (lock.data() != nullptr) std::memcpy(lock.data(), bytes.data() + skip, bytes.size() - skip);
  return h;
}

void PrintPrinter() {
  if (g_shell.printerDevNames == nullptr) {
    std::printf("device=\n");
    return;
  }
  const auto* names = static_cast<const char*>(GlobalLock(g_shell.printerDevNames));
  const auto* offsets = reinterpret_cast<const DEVNAMES*>(names);
  const char* driver = names + offsets->wDriverOffset;
  const char* device = names + offsets->wDeviceOffset;
  const char* output = names + offsets->wOutputOffset;
  std::printf("device=%s\n", device);
  const auto* mode = static_cast<const DEVMODEA*>(GlobalLock(g_shell.printerDevMode));
  if (HDC dc = CreateDCA(driver, device, output, mode)) {
    std::printf("page=%d,%d\ndpi=%d,%d\noffset=%d,%d\n", GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES),
                GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY), GetDeviceCaps(dc, PHYSICALOFFSETX),
                GetDeviceCaps(dc, PHYSICALOFFSETY));
    DeleteDC(dc);
  }
  GlobalUnlock(g_shell.printerDevMode);
  GlobalUnlock(g_shell.printerDevNames);
}

// The current image and what the pipeline sets before its printer step.
bool TakeCapture(const char* dibPath, const char* savedAs) {
  g_shell.currentImage = LoadDib(dibPath);
  if (g_shell.currentImage == nullptr) return false;
  if (CreateDibPalette(g_shell.currentImage, &g_shell.currentPalette) != StatusOk) return false;
  std::snprintf(g_shell.currentFileName, sizeof g_shell.currentFileName, "%s",
                std::strcmp(savedAs, "-") == 0 ? "" : savedAs);
  if (g_shell.currentFileName[0] == '\0') {
    std::snprintf(g_shell.statusText, sizeof g_shell.statusText, "Printing ");
  } else {
    std::snprintf(g_shell.statusText, sizeof g_shell.statusText, "Printing - %s",
                  PrintDocumentName(g_shell.currentFileName));
  }
  return true;
}

int PrintAndReport() {
  const DWORD start = GetTickCount();
  const int result = PrintCapture(PrintRequestOf(g_shell));
  std::printf("result=%d\nprogress=%s\nms=%lu\nstatusVisible=%d\n", result, g_watch.sent.c_str(),
              static_cast<unsigned long>(GetTickCount() - start), IsWindowVisible(g_shell.statusWindow) ? 1 : 0);
  PrintPrinter();
  return 0;
}

int Print(const char* dibPath, const char* savedAs, int cancelAt) {
  CreateWindows();
  WatchStatusWindow(cancelAt);
  if (!TakeCapture(dibPath, savedAs)) return 3;
  return PrintAndReport();
}


}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && !std::strcmp(argv[1], "iconic")) {
    g_iconicOwner = true;
    --argc;
    ++argv;
  }
  if (argc < 2) return 2;
  ModuleFilePath("SHOTBOX.INI", g_shell.iniPath, sizeof g_shell.iniPath);
  LoadShellSettings(g_shell);
  const char* cmd = argv[1];
  int rc = 2;
  if (!std::strcmp(cmd, "settings")) {
    PrintSettings(g_shell.settings);
    rc = 0;
  } else if (!std::strcmp(cmd, "save-setup")) {
    rc = 0;
    for (int i = 2; i < argc; ++i) {
      if (!SetField(g_shell.settings, argv[i])) rc = 2;
    }
    if (rc == 0) SaveShellSetupSettings(g_shell);
    std::printf("NextCaptureNumber=%d\n", g_shell.settings.NextCaptureNumber);
  } else if (!std::strcmp(cmd, "name")) {
    rc = Name();
  } else if (!std::strcmp(cmd, "save") && argc >= 6) {
    rc = Save(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  } else if (!std::strcmp(cmd, "viewer") && argc >= 6) {
    rc = Viewer(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
  } else if (!std::strcmp(cmd, "status") && argc >= 3) {
    rc = StatusAt(argc - 2, argv + 2);
  } else if (!std::strcmp(cmd, "status-script")) {
    rc = StatusScript(argc - 2, argv + 2);
  } else if (!std::strcmp(cmd, "print") && argc >= 4) {
    rc = Print(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : -1);
  }
  std::fflush(stdout);
  return rc;
}
