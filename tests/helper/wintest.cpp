// wintest.exe: a small Win32 helper the end-to-end tests run inside the same
// Wine desktop as the program, to look at and poke its windows.
//
//   find TITLE|- CLASS|- [TIMEOUT_MS]   print the window handle, exit 1 if none
//   gone HWND [TIMEOUT_MS]              wait until the window no longer exists
//   visible HWND [TIMEOUT_MS]           wait until the window is visible
//   info HWND                           iconic, visible, rectangles, client origin, process id, enabled
//   child HWND ID                       print the handle of the control with that id
//   texts HWND                          class and text of every descendant
//   post HWND MSG [WPARAM [LPARAM]]     PostMessage (numbers in decimal or 0x hex)
//   syscommand HWND CMD                 post WM_SYSCOMMAND
//   showerror CAPTION CODE              call SBMSG32 ordinal 10 and return when dismissed
//   clipboard                           list the clipboard formats present
//   clipboard-dib FILE                  save the clipboard's CF_DIB block to FILE
//   controls HWND                       id, class, visible, enabled, check state, screen rect, style, text of each child
//   gettext HWND                        the whole text of a window or control (WM_GETTEXT)
//   listitems HWND ID                   index, screen rect and text of each item of a list box
//   dialogsize FACE POINTS CX CY        pixels of CX x CY dialog units in a dialog using that font
//   combo-selection HWND ID             the selected item's text of a dialog's combo box
//   keys COMBO                          press e.g. ctrl+alt+F11 or esc through SendInput
//   pattern X Y W H [popup] [aware] [layered]  a window with known contents at a known place;
//                                       prints hwnd= and then the keys and right clicks it gets;
//                                       "aware": made per-monitor DPI aware, in the display's pixels;
//                                       "layered": a translucent layered window, at half opacity
//   hold-clipboard MS                   keep the clipboard open for MS milliseconds
//   watch-status ACTION...              when SHOTBOX's status window shows, at once: hotkey,
//                                       syscommand, close, endsession; prints what came back
//   modules PID                         the modules a process has loaded
//   probe HWND sysmenu|gdi              read the window's process from inside (PROBE32.DLL)
//   triggers                            arm SBHOOK32's right-click and timed triggers in turn
//   library-state                       Armed and Busy of SBHOOK32's shared state (the copy of
//                                       the library beside this program)
//   hotspot                             the standard arrow's hot spot
//   boxes                               every dialog captioned Pictrap: handle and first text
//   foreground                          the foreground window's handle, 0 for none
//   grab FILE                           the screen read back by GDI as a 24-bit DIB file
//   activate HWND                       bring the window to the foreground
//   picture DIBFILE                     a borderless window at 0,0 showing a packed DIB file
//   presses COMBO PATTERN FIRST LAST    for N from FIRST to LAST: press COMBO, wait for the file
//                                       printf(PATTERN, N), delete it; prints the milliseconds each took
//   version FILE                        the version resource as Windows reads it: fixed version, then
//                                       NAME=VALUE for each string of the first translation
//   dialog X Y                          a 300x200 dialog at X,Y with a button and a hidden button;
//                                       prints hwnd=, button=, hidden= and then command=ID per WM_COMMAND
//   guithread HWND                      active, focus and capture windows of the window's thread
//   hookstate DLLPATH                   SBHOOK32's shared state, read through that copy of the library
//   tray                                Wine's notification-area icons: their tooltip's handle,
//                                       the icon's screen rect and its tip, one per line
//   hold-hotkey MODS VK MS              RegisterHotKey(MODS, VK) for MS milliseconds; prints "held"
//   textfit HWND FACE POINTS            for each captioned control of a dialog using that font:
//                                       id, class, width and height its text needs (with a check
//                                       box's or button's frame), then the control's own
//   textmask TEXT                       TEXT in the screen's default font: "cx cy", then one row of
//                                       0 and 1 per pixel row (1 where a glyph pixel is)
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/capture_state.h"

namespace {

unsigned long Number(const char* s) { return std::strtoul(s, nullptr, 0); }
HWND WindowArg(const char* s) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(s))); }
const char* OrNull(const char* s) { return std::strcmp(s, "-") == 0 ? nullptr : s; }

int Find(int argc, char** argv) {
  if (argc < 4) return 2;
  const DWORD timeout = argc > 4 ? Number(argv[4]) : 5000;
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = FindWindowA(OrNull(argv[3]), OrNull(argv[2]))) {
      std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)));
      return 0;
    }
    if (GetTickCount() - start >= timeout) return 1;
    Sleep(50);
  }
}

int Gone(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD timeout = argc > 3 ? Number(argv[3]) : 5000;
  const DWORD start = GetTickCount();
  while (IsWindow(WindowArg(argv[2]))) {
    if (GetTickCount() - start >= timeout) return 1;
    Sleep(50);
  }
  return 0;
}

int Info(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND w = WindowArg(argv[2]);
  if (!IsWindow(w)) return 1;
  RECT r, c;
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[128] = "", title[256] = "";
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  POINT origin = {0, 0};
  ClientToScreen(w, &origin);
  std::printf("iconic=%d\nvisible=%d\nrect=%ld,%ld,%ld,%ld\nclient=%ld,%ld\norigin=%ld,%ld\npid=%lu\n"
              "focus=%d\nclass=%s\ntitle=%s\nenabled=%d\n",
              IsIconic(w) ? 1 : 0, IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom,
              c.right, c.bottom, origin.x, origin.y, pid, GetForegroundWindow() == w ? 1 : 0, cls, title,
              IsWindowEnabled(w) ? 1 : 0);
  // The DPI awareness the window was made with (0 unaware, 1 system, 2 per
  // monitor), read through GetProcAddress: the calls are newer than Vista.
  HMODULE user = GetModuleHandleA("user32.dll");
  auto context = reinterpret_cast<void*(WINAPI*)(HWND)>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetWindowDpiAwarenessContext")));
  auto awareness = reinterpret_cast<int(WINAPI*)(void*)>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
  if (context != nullptr && awareness != nullptr) std::printf("dpi-awareness=%d\n", awareness(context(w)));
  return 0;
}

int Visible(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD timeout = argc > 3 ? Number(argv[3]) : 5000;
  const DWORD start = GetTickCount();
  while (!IsWindowVisible(WindowArg(argv[2]))) {
    if (GetTickCount() - start >= timeout) return 1;
    Sleep(20);
  }
  return 0;
}

int Child(int argc, char** argv) {
  if (argc < 4) return 2;
  HWND c = GetDlgItem(WindowArg(argv[2]), static_cast<int>(Number(argv[3])));
  if (c == nullptr) return 1;
  std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(c)));
  return 0;
}

BOOL CALLBACK PrintChild(HWND w, LPARAM) {
  char cls[128] = "", text[1024] = "";
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, text, sizeof text);
  std::printf("%d\t%s\t%s\n", GetDlgCtrlID(w), cls, text);
  return TRUE;
}

int Texts(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND w = WindowArg(argv[2]);
  if (!IsWindow(w)) return 1;
  EnumChildWindows(w, PrintChild, 0);
  return 0;
}

int Post(int argc, char** argv) {
  if (argc < 4) return 2;
  const WPARAM wp = argc > 4 ? Number(argv[4]) : 0;
  const LPARAM lp = argc > 5 ? static_cast<LPARAM>(Number(argv[5])) : 0;
  return PostMessageA(WindowArg(argv[2]), Number(argv[3]), wp, lp) ? 0 : 1;
}

int SysCommand(int argc, char** argv) {
  if (argc < 4) return 2;
  return PostMessageA(WindowArg(argv[2]), WM_SYSCOMMAND, Number(argv[3]), 0) ? 0 : 1;
}

int CallShowError(int argc, char** argv) {
  if (argc < 4) return 2;
  HMODULE lib = LoadLibraryA("SBMSG32.DLL");
  if (lib == nullptr) return 3;
  using ShowErrorFn = void(WINAPI*)(const char*, DWORD);
  auto fn = reinterpret_cast<ShowErrorFn>(
      reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(10))));
  if (fn == nullptr) return 4;
  fn(argv[2], Number(argv[3]));
  std::printf("dismissed\n");
  return 0;
}

int Clipboard() {
  if (!OpenClipboard(nullptr)) return 1;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) std::printf("%u\n", f);
  CloseClipboard();
  return 0;
}

int ClipboardDib(int argc, char** argv) {
  if (argc < 3 || !OpenClipboard(nullptr)) return 2;
  int rc = 1;
  if (HANDLE h = GetClipboardData(CF_DIB)) {
    const SIZE_T size = GlobalSize(h);
    if (const void* p = GlobalLock(h)) {
      if (std::FILE* f = std::fopen(argv[2], "wb")) {
        rc = std::fwrite(p, 1, size, f) == size ? 0 : 3;
        std::fclose(f);
      }
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return rc;
}

// Text through WM_GETTEXT, which reaches controls of other processes too.
void ControlText(HWND w, char* text, int size) {
  text[0] = '\0';
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(w, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &ignored);
}

BOOL CALLBACK PrintControl(HWND w, LPARAM) {
  char cls[64] = "", text[512];
  GetClassNameA(w, cls, sizeof cls);
  ControlText(w, text, sizeof text);
  for (char* c = text; *c; ++c) {
    if (*c == '\t' || *c == '\r' || *c == '\n') *c = ' ';
  }
  RECT r;
  GetWindowRect(w, &r);
  int check = -1;
  if (!lstrcmpiA(cls, "Button")) check = static_cast<int>(SendMessageA(w, BM_GETCHECK, 0, 0));
  std::printf("%d\t%s\t%d\t%d\t%d\t%ld,%ld,%ld,%ld\t%#lx\t%s\n", GetDlgCtrlID(w), cls, IsWindowVisible(w) ? 1 : 0,
              IsWindowEnabled(w) ? 1 : 0, check, r.left, r.top, r.right, r.bottom,
              static_cast<unsigned long>(GetWindowLongA(w, GWL_STYLE)), text);
  return TRUE;
}

int Controls(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND w = WindowArg(argv[2]);
  if (!IsWindow(w)) return 1;
  EnumChildWindows(w, PrintControl, 0);
  return 0;
}

int GetText(int argc, char** argv) {
  if (argc < 3) return 2;
  HWND w = WindowArg(argv[2]);
  if (!IsWindow(w)) return 1;
  static char text[65536];
  ControlText(w, text, sizeof text);
  std::fputs(text, stdout);
  return 0;
}

int ListItems(int argc, char** argv) {
  if (argc < 4) return 2;
  HWND list = GetDlgItem(WindowArg(argv[2]), static_cast<int>(Number(argv[3])));
  if (list == nullptr) return 1;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // Through the wide message: the file dialogs' lists are Unicode, and the
    // ANSI one does not convert across processes.
    WCHAR wide[512] = L"";
    char text[512] = "";
    if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < 512) {
      SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
      WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    }
    RECT r{};
    SendMessageA(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
    std::printf("%ld\t%ld,%ld,%ld,%ld\t%s\n", static_cast<long>(i), r.left, r.top, r.right, r.bottom, text);
  }
  return 0;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// An in-memory dialog template with the given font, mapped by the system.
int DialogSize(int argc, char** argv) {
  if (argc < 6) return 2;
  alignas(4) static WORD buffer[256] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(buffer);
  t->style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t->cx = static_cast<short>(Number(argv[4]));
  t->cy = static_cast<short>(Number(argv[5]));
  WORD* p = reinterpret_cast<WORD*>(t + 1);
  *p++ = 0;  // no menu
  *p++ = 0;  // standard class
  *p++ = 0;  // no title
  *p++ = static_cast<WORD>(Number(argv[3]));
  p += MultiByteToWideChar(CP_ACP, 0, argv[2], -1, reinterpret_cast<WCHAR*>(p), 64);
  HWND d = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t, nullptr, PlainDialogProc, 0);
  if (d == nullptr) return 1;
  RECT units = {0, 0, t->cx, t->cy};
  MapDialogRect(d, &units);
  RECT client, window;
  GetClientRect(d, &client);
  GetWindowRect(d, &window);
  std::printf("mapped=%ld,%ld\nclient=%ld,%ld\nwindow=%ld,%ld\n", units.right, units.bottom, client.right,
              client.bottom, window.right - window.left, window.bottom - window.top);
  DestroyWindow(d);
  return 0;
}

// --- keys -----------------------------------------------------------------

WORD VirtualKeyNamed(const char* name) {
  if (!_stricmp(name, "ctrl")) return VK_CONTROL;
  if (!_stricmp(name, "alt")) return VK_MENU;
  if (!_stricmp(name, "shift")) return VK_SHIFT;
  if (!_stricmp(name, "esc")) return VK_ESCAPE;
  if ((name[0] == 'F' || name[0] == 'f') && name[1] >= '1' && name[1] <= '9') {
    const int n = std::atoi(name + 1);
    if (n >= 1 && n <= 12) return static_cast<WORD>(VK_F1 + n - 1);
  }
  return 0;
}

bool PressCombo(const char* combo) {
  WORD keys[8];
  int n = 0;
  char copy[64];
  std::snprintf(copy, sizeof copy, "%s", combo);
  for (char* part = std::strtok(copy, "+"); part != nullptr && n < 8; part = std::strtok(nullptr, "+")) {
    keys[n] = VirtualKeyNamed(part);
    if (keys[n++] == 0) return false;
  }
  INPUT input[16] = {};
  for (int i = 0; i < n; ++i) {
    input[i].type = INPUT_KEYBOARD;
    input[i].ki.wVk = keys[i];
    input[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(keys[i], MAPVK_VK_TO_VSC));
    input[2 * n - 1 - i] = input[i];
    input[2 * n - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  return SendInput(static_cast<UINT>(2 * n), input, sizeof(INPUT)) == static_cast<UINT>(2 * n);
}

int Keys(int argc, char** argv) { return argc > 2 && PressCombo(argv[2]) ? 0 : 1; }

// --- pattern --------------------------------------------------------------

// Eight by four blocks of known colours over the client area; the tests
// compute the same colours from the client size.
COLORREF PatternColour(int column, int row) {
  return RGB(column * 32 + 16, row * 64 + 32, (column * 3 + row * 5) * 8 & 255);
}

LRESULT CALLBACK PatternProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      RECT c;
      GetClientRect(w, &c);
      for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 8; ++column) {
          RECT r = {c.right * column / 8, c.bottom * row / 4, c.right * (column + 1) / 8, c.bottom * (row + 1) / 4};
          HBRUSH b = CreateSolidBrush(PatternColour(column, row));
          FillRect(dc, &r, b);
          DeleteObject(b);
        }
      }
      EndPaint(w, &ps);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      std::printf("key=%#x%s\n", static_cast<unsigned>(wp), m == WM_SYSKEYDOWN ? " sys" : "");
      std::fflush(stdout);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      std::printf("%s\n", m == WM_RBUTTONDOWN ? "rbuttondown" : "rbuttonup");
      std::fflush(stdout);
      break;
    case WM_LBUTTONDOWN:
      std::printf("lbuttondown\n");
      std::fflush(stdout);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(w, m, wp, lp);
}

int Pattern(int argc, char** argv) {
  if (argc < 6) return 2;
  WNDCLASSA wc{};
  wc.lpfnWndProc = PatternProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "WintestPattern";
  RegisterClassA(&wc);
  bool popup = false, layered = false, noCursor = false;
  for (int i = 6; i < argc; ++i) {
    if (!std::strcmp(argv[i], "popup")) popup = true;
    if (!std::strcmp(argv[i], "layered")) layered = true;
    if (!std::strcmp(argv[i], "nocursor")) noCursor = true;  // as an editor hides it while typing
    if (!std::strcmp(argv[i], "aware")) {
      // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE; the call is newer than Vista.
      auto set = reinterpret_cast<void*(WINAPI*)(void*)>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
      if (set == nullptr || set(reinterpret_cast<void*>(-3)) == nullptr) return 3;
    }
  }
  HWND w = CreateWindowExA(layered ? WS_EX_LAYERED : 0, wc.lpszClassName, "Pattern",
                           (popup ? WS_POPUP : WS_OVERLAPPEDWINDOW) | WS_VISIBLE, std::atoi(argv[2]),
                           std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), nullptr, nullptr, wc.hInstance,
                           nullptr);
  if (w == nullptr) return 1;
  if (layered) SetLayeredWindowAttributes(w, 0, 128, LWA_ALPHA);
  if (noCursor) ShowCursor(FALSE);
  SetForegroundWindow(w);
  SetFocus(w);
  UpdateWindow(w);
  std::printf("hwnd=%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// --- clipboard held by another program ------------------------------------

int HoldClipboard(int argc, char** argv) {
  if (argc < 3 || !OpenClipboard(nullptr)) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(Number(argv[2]));
  CloseClipboard();
  return 0;
}

// --- requests while SHOTBOX is busy ---------------------------------------

DWORD WINAPI QueryEndSession(void* window) {
  DWORD_PTR result = 99;
  SendMessageTimeoutA(static_cast<HWND>(window), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 120000, &result);
  return static_cast<DWORD>(result);
}

int WatchStatus(int argc, char** argv) {
  HWND main = nullptr, status = nullptr;
  for (int i = 0; i < 400 && (main == nullptr || status == nullptr); ++i) {
    main = FindWindowA("Pictrap", "Pictrap");
    status = FindWindowA("Status", "Pictrap");
    if (main == nullptr || status == nullptr) Sleep(25);
  }
  if (main == nullptr || status == nullptr) return 1;
  // The conversion of a screenful takes milliseconds; slowed at each progress
  // step, it is still running when the requests below arrive. The hook goes
  // with this process, so the operation runs at full speed once we are done.
  HMODULE probe = LoadLibraryA("PROBE32.DLL");
  if (probe == nullptr) return 2;
  auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeHook")));
  auto slow = reinterpret_cast<void (*)(int)>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeSlowProgress")));
  if (hook == nullptr || slow == nullptr) return 2;
  slow(40);
  if (SetWindowsHookExA(WH_CALLWNDPROC, hook, probe, GetWindowThreadProcessId(main, nullptr)) == nullptr) return 2;
  std::printf("ready\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (!IsWindowVisible(status)) {
    if (GetTickCount() - start > 60000) {
      slow(0);
      return 3;
    }
    Sleep(1);
  }
  std::printf("status-visible\n");
  std::fflush(stdout);
  HANDLE endSession = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "hotkey")) PressCombo("ctrl+alt+F11");
    else if (!std::strcmp(argv[i], "syscommand")) PostMessageA(main, WM_SYSCOMMAND, SC_MOVE, 0);
    else if (!std::strcmp(argv[i], "close")) PostMessageA(main, WM_CLOSE, 0, 0);
    else if (!std::strcmp(argv[i], "endsession")) endSession = CreateThread(nullptr, 0, QueryEndSession, main, 0, nullptr);
    else if (!std::strncmp(argv[i], "sleep=", 6)) Sleep(Number(argv[i] + 6));  // still slowed meanwhile
  }
  if (endSession != nullptr) {
    WaitForSingleObject(endSession, INFINITE);
    DWORD result = 0;
    GetExitCodeThread(endSession, &result);
    std::printf("queryendsession=%lu\n", result);
  }
  slow(0);
  return 0;
}

// --- modules of a process -------------------------------------------------

int Modules(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, Number(argv[2]));
  if (snap == INVALID_HANDLE_VALUE) return 1;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Module32First(snap, &entry); ok; ok = Module32Next(snap, &entry)) std::printf("%s\n", entry.szModule);
  CloseHandle(snap);
  return 0;
}

// --- probe inside another process -----------------------------------------

int Probe(int argc, char** argv) {
  if (argc < 4) return 2;
  HWND target = WindowArg(argv[2]);
  const LPARAM what = !std::strcmp(argv[3], "sysmenu") ? 1
                      : !std::strcmp(argv[3], "gdi")   ? 2
                      : !std::strcmp(argv[3], "cursor") ? 3
                                                        : 0;
  HMODULE probe = LoadLibraryA("PROBE32.DLL");
  if (probe == nullptr || what == 0) return 2;
  auto hook = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeHook")));
  auto text = reinterpret_cast<const char* (*)()>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeText")));
  const DWORD thread = GetWindowThreadProcessId(target, nullptr);
  HHOOK h = SetWindowsHookExA(WH_CALLWNDPROC, hook, probe, thread);
  if (h == nullptr) {
    std::printf("hook refused: %lu (thread %lu)\n", GetLastError(), thread);
    return 3;
  }
  DWORD_PTR ignored;
  const LRESULT sent = SendMessageTimeoutA(target, WM_NULL, 0x50524F42, what, SMTO_NORMAL, 20000, &ignored);
  UnhookWindowsHookEx(h);
  if (sent == 0) return 4;
  std::printf("%s", text());
  return 0;
}

// --- SBHOOK32's other triggers --------------------------------------------

using ArmFn = int(WINAPI*)(HWND, DWORD, UINT, int, int, DWORD, DWORD, DWORD, DWORD, int, int);
using ArmTimedFn = int(WINAPI*)(HWND, DWORD, UINT, int, int, DWORD, DWORD, DWORD, DWORD, int, int, int);
using EndFn = int(WINAPI*)();
constexpr UINT kRequest = WM_APP + 1;

// Pumps for `ms`, counting the capture requests that arrive.
int CountRequests(DWORD ms) {
  int count = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kRequest) ++count;
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return count;
}

// Waits up to `ms` for the first request, then counts what else comes in
// `grace` ms more.
int CountRequestsAfterFirst(DWORD ms, DWORD grace) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    if (const int first = CountRequests(50)) return first + CountRequests(grace);
  }
  return 0;
}

int Triggers() {
  HMODULE lib = LoadLibraryA("SBHOOK32.DLL");
  if (lib == nullptr) return 2;
  auto byOrdinal = [lib](int n) { return reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(n))); };
  auto armClick = reinterpret_cast<ArmFn>(byOrdinal(11));
  auto armTimed = reinterpret_cast<ArmTimedFn>(byOrdinal(12));
  auto end = reinterpret_cast<EndFn>(byOrdinal(16));
  auto capture = reinterpret_cast<WORD(WINAPI*)(HGLOBAL*)>(byOrdinal(20));
  std::printf("capture-null=%u\n", capture(nullptr));
  HWND notify = CreateWindowExA(0, "Static", "triggers", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  std::printf("arm-click=%d\n", armClick(notify, 1, kRequest, 0, 0, 1, 1, 0, 10, 2, 2));
  SetLastError(0);
  const int again = armClick(notify, 1, kRequest, 0, 0, 1, 1, 0, 10, 2, 2);
  std::printf("arm-again=%d error=%lu\n", again, GetLastError());
  std::printf("ready\n");
  std::fflush(stdout);
  std::printf("click-requests=%d\n", CountRequestsAfterFirst(30000, 1500));
  std::printf("end-click=%d\n", end());
  std::printf("arm-timed=%d\n", armTimed(notify, 1, kRequest, 0, 0, 1, 1, 0, 10, 2, 2, 1));
  std::fflush(stdout);
  std::printf("timed-requests=%d\n", CountRequests(3500));
  std::printf("end-timed=%d\n", end());
  std::printf("end-again=%d\n", end());
  std::printf("timed-after-end=%d\n", CountRequests(1500));
  return 0;
}

// CaptureState's first two variables, Armed and Busy, read where every
// process that maps this copy of the library sees them: its shared section.
int LibraryState() {
  HMODULE lib = LoadLibraryA("SBHOOK32.DLL");
  if (lib == nullptr) return 2;
  const auto* base = reinterpret_cast<const BYTE*>(lib);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::strncmp(reinterpret_cast<const char*>(section->Name), "sbhk_dat", 8) != 0) continue;
    const auto* state = reinterpret_cast<const volatile LONG*>(base + section->VirtualAddress);
    std::printf("armed=%ld busy=%ld\n", state[0], state[1]);
    return 0;
  }
  return 3;
}

// Loads the hook library at an address other than its preferred one, by
// taking that address first, and keeps it loaded until killed: the process
// that loads a library first is the one whose handle its shared record keeps.
int LoadRelocated(int argc, char** argv) {
  if (argc < 3) return 1;
  HANDLE file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  static BYTE head[4096];
  DWORD got = 0;
  const BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  if (!read || got < sizeof(IMAGE_DOS_HEADER)) return 3;
  const LONG at = reinterpret_cast<const IMAGE_DOS_HEADER*>(head)->e_lfanew;
  if (at < 0 || static_cast<DWORD>(at) + sizeof(IMAGE_NT_HEADERS) > got) return 3;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(head + at);
  void* preferred = reinterpret_cast<void*>(static_cast<UINT_PTR>(nt->OptionalHeader.ImageBase));
  if (VirtualAlloc(preferred, nt->OptionalHeader.SizeOfImage, MEM_RESERVE, PAGE_NOACCESS) == nullptr) return 4;
  HMODULE lib = LoadLibraryA(argv[2]);
  if (lib == nullptr) return 5;
  std::printf("base=%p preferred=%p\n", static_cast<void*>(lib), preferred);
  std::fflush(stdout);
  Sleep(INFINITE);
  return 0;
}

int Hotspot() {
  ICONINFO info{};
  if (!GetIconInfo(LoadCursorA(nullptr, IDC_ARROW), &info)) return 1;
  std::printf("%lu %lu\n", info.xHotspot, info.yHotspot);
  DeleteObject(info.hbmMask);
  DeleteObject(info.hbmColor);
  return 0;
}

BOOL CALLBACK FirstStatic(HWND w, LPARAM found) {
  char cls[32] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (_stricmp(cls, "Static") != 0 || GetWindowTextLengthA(w) == 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

BOOL CALLBACK PrintBox(HWND w, LPARAM) {
  char cls[32] = "", title[64] = "", text[512] = "";
  GetClassNameA(w, cls, sizeof cls);
  GetWindowTextA(w, title, sizeof title);
  if (std::strcmp(cls, "#32770") != 0 || std::strcmp(title, "Pictrap") != 0) return TRUE;
  HWND label = nullptr;
  EnumChildWindows(w, FirstStatic, reinterpret_cast<LPARAM>(&label));
  if (label != nullptr) GetWindowTextA(label, text, sizeof text);
  std::printf("%lu\t%s\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)), text);
  return TRUE;
}

int Boxes() { return EnumWindows(PrintBox, 0) ? 0 : 1; }

int Grab(int argc, char** argv) {
  if (argc < 3) return 2;
  HDC screen = GetDC(nullptr);
  const int w = GetDeviceCaps(screen, HORZRES), h = GetDeviceCaps(screen, VERTRES);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER header{sizeof header, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD stride = (w * 3 + 3) & ~3u;
  char* pixels = static_cast<char*>(std::malloc(stride * h));
  const int lines = GetDIBits(screen, bitmap, 0, h, pixels, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  int rc = 1;
  if (lines == h) {
    if (std::FILE* f = std::fopen(argv[2], "wb")) {
      header.biSizeImage = stride * h;
      rc = std::fwrite(&header, sizeof header, 1, f) == 1 && std::fwrite(pixels, stride * h, 1, f) == 1 ? 0 : 3;
      std::fclose(f);
    }
  }
  std::free(pixels);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return rc;
}

char* g_picture = nullptr;

LRESULT CALLBACK PictureProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    const auto* info = reinterpret_cast<BITMAPINFO*>(g_picture);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const DWORD colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : 0;
    SetDIBitsToDevice(dc, 0, 0, h.biWidth, h.biHeight, 0, 0, 0, h.biHeight, g_picture + h.biSize + colours * 4, info,
                      DIB_RGB_COLORS);
    EndPaint(w, &ps);
    return 0;
  }
  if (m == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(w, m, wp, lp);
}

int Picture(int argc, char** argv) {
  if (argc < 3) return 2;
  std::FILE* f = std::fopen(argv[2], "rb");
  if (f == nullptr) return 1;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  g_picture = static_cast<char*>(std::malloc(size));
  const bool read = std::fread(g_picture, 1, size, f) == static_cast<size_t>(size);
  std::fclose(f);
  if (!read) return 1;
  const auto* h = reinterpret_cast<BITMAPINFOHEADER*>(g_picture);
  WNDCLASSA wc{};
  wc.lpfnWndProc = PictureProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "WintestPicture";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "Picture", WS_POPUP | WS_VISIBLE, 0, 0, h->biWidth, h->biHeight,
                           nullptr, nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(w);
  UpdateWindow(w);
  std::printf("hwnd=%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

int Presses(int argc, char** argv) {
  if (argc < 6) return 2;
  const int first = std::atoi(argv[4]), last = std::atoi(argv[5]);
  const HWND front = GetForegroundWindow();
  const HWND status = FindWindowA("Status", "Pictrap");
  for (int n = first; n <= last; ++n) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, argv[3], n);
    const DWORD start = GetTickCount();
    if (!PressCombo(argv[2])) return 3;
    while (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
      if (GetTickCount() - start > 30000) {
        std::printf("missing %s\n", path);
        return 1;
      }
      Sleep(1);
    }
    std::printf("%lu\n", GetTickCount() - start);
    // The capture has ended once the status window is gone and the
    // activation is back; a press before that would only hear "I'm Busy!".
    // Keys sent while the activation moves would be split between two
    // threads' key states, so that state must hold for a moment.
    for (DWORD steady = GetTickCount(); GetTickCount() - steady < 40;) {
      if ((status != nullptr && IsWindowVisible(status)) || GetForegroundWindow() != front) {
        if (GetTickCount() - start > 30000) return 4;
        steady = GetTickCount();
      }
      Sleep(1);
    }
    for (int tries = 0; !DeleteFileA(path) && tries < 100; ++tries) Sleep(10);
  }
  return 0;
}

// --- version resource ------------------------------------------------------

int Version(int argc, char** argv) {
  if (argc < 3) return 2;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[2], &ignored);
  if (size == 0) return 1;
  char* block = static_cast<char*>(std::malloc(size));
  int rc = 1;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  if (block != nullptr && GetFileVersionInfoA(argv[2], 0, size, block) &&
      VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr &&
      VerQueryValueA(block, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
      length >= sizeof *translation) {
    std::printf("fixed=%u.%u.%u.%u\ntype=%lu\ntranslation=%04x%04x\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
                fixed->dwFileType, translation->language, translation->codePage);
    static const char* const kNames[] = {"CompanyName",    "FileDescription",  "FileVersion", "InternalName",
                                         "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
    for (const char* name : kNames) {
      char path[96];
      std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                    translation->codePage, name);
      char* value = nullptr;
      if (VerQueryValueA(block, path, reinterpret_cast<void**>(&value), &length) && value != nullptr)
        std::printf("%s=%s\n", name, value);
    }
    rc = 0;
  }
  std::free(block);
  return rc;
}

int ComboSelection(int argc, char** argv) {
  if (argc < 4) return 2;
  HWND combo = GetDlgItem(WindowArg(argv[2]), static_cast<int>(Number(argv[3])));
  if (combo == nullptr) return 1;
  // Wide messages: the system dialogs' combo boxes are Unicode windows, and
  // another process's ANSI request comes back unconverted.
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  wchar_t wide[256] = L"";
  if (index != CB_ERR && SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) < 256) {
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide));
  }
  char text[512] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  std::printf("%s\n", text);
  return 0;
}

// --- a dialog with a visible and a hidden child ---------------------------

HWND g_dialog = nullptr;

INT_PTR CALLBACK DialogProc(HWND w, UINT m, WPARAM wp, LPARAM) {
  if (m == WM_INITDIALOG) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND push = CreateWindowExA(0, "Button", "Push", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 20, 20,
                                120, 40, w, reinterpret_cast<HMENU>(100), instance, nullptr);
    CreateWindowExA(0, "Button", "Hidden", WS_CHILD | BS_PUSHBUTTON, 20, 90, 120, 40, w,
                    reinterpret_cast<HMENU>(101), instance, nullptr);
    // The focus on the button with its focus rectangle shown from the start:
    // the Alt of a hot key would otherwise show it later, between two
    // pictures of the screen.
    SendMessageA(w, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    SetFocus(push);
    return FALSE;
  }
  if (m == WM_COMMAND) {
    // Esc arrives as IDCANCEL: reported, and the dialog stays.
    std::printf("command=%u\n", static_cast<unsigned>(LOWORD(wp)));
    std::fflush(stdout);
    return TRUE;
  }
  if (m == WM_CLOSE) {
    DestroyWindow(w);
    return TRUE;
  }
  if (m == WM_DESTROY) PostQuitMessage(0);
  return FALSE;
}

int Dialog(int argc, char** argv) {
  if (argc < 4) return 2;
  // A template of no controls: the children are made at pixel positions.
  struct {
    DLGTEMPLATE t;
    WORD menu, cls, title;
  } tmpl{};
  tmpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  tmpl.t.cx = 100;
  tmpl.t.cy = 50;
  g_dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tmpl.t, nullptr, DialogProc, 0);
  if (g_dialog == nullptr) return 1;
  SetWindowTextA(g_dialog, "Wintest Dialog");
  MoveWindow(g_dialog, std::atoi(argv[2]), std::atoi(argv[3]), 300, 200, TRUE);
  SetForegroundWindow(g_dialog);
  UpdateWindow(g_dialog);
  auto id = [](HWND w) { return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)); };
  std::printf("hwnd=%lu button=%lu hidden=%lu\n", id(g_dialog), id(GetDlgItem(g_dialog, 100)),
              id(GetDlgItem(g_dialog, 101)));
  std::fflush(stdout);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(g_dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// --- a text's glyph pixels -------------------------------------------------

int TextMask(int argc, char** argv) {
  if (argc < 3) return 2;
  const char* text = argv[2];
  const int length = static_cast<int>(std::strlen(text));
  HDC screen = GetDC(nullptr);
  SIZE size{};
  GetTextExtentPoint32A(screen, text, length, &size);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateBitmap(size.cx, size.cy, 1, 1, nullptr);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HGDIOBJ oldFont = SelectObject(memory, GetCurrentObject(screen, OBJ_FONT));
  SetTextColor(memory, RGB(255, 255, 255));
  SetBkColor(memory, RGB(0, 0, 0));
  RECT whole{0, 0, size.cx, size.cy};
  ExtTextOutA(memory, 0, 0, ETO_OPAQUE, &whole, text, static_cast<UINT>(length), nullptr);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colours[2];
  } info{};
  info.h = BITMAPINFOHEADER{sizeof info.h, size.cx, -size.cy, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
  const int stride = (size.cx + 31) / 32 * 4;
  unsigned char* bits = static_cast<unsigned char*>(std::calloc(stride, size.cy));
  const int lines = GetDIBits(memory, bitmap, 0, size.cy, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  std::printf("%ld %ld\n", size.cx, size.cy);
  // Index 1 is whichever table entry is white.
  const bool oneIsWhite = info.colours[1].rgbRed != 0;
  for (int y = 0; y < size.cy; ++y) {
    for (int x = 0; x < size.cx; ++x) {
      const bool set = (bits[y * stride + x / 8] >> (7 - x % 8)) & 1;
      std::putchar(set == oneIsWhite ? '1' : '0');
    }
    std::putchar('\n');
  }
  std::free(bits);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return lines == size.cy ? 0 : 1;
}

// --- SBHOOK32's shared section -------------------------------------------

int HookState(int argc, char** argv) {
  if (argc < 3) return 2;
  // Only processes that map the same file share its section.
  HMODULE lib = LoadLibraryA(argv[2]);
  if (lib == nullptr) return 3;
  const auto* base = reinterpret_cast<const unsigned char*>(lib);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const CaptureState* state = nullptr;
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::strncmp(reinterpret_cast<const char*>(section->Name), "sbhk_dat", 8) == 0) {
      state = reinterpret_cast<const CaptureState*>(base + section->VirtualAddress);
    }
  }
  if (state == nullptr) return 4;
  std::printf("Armed=%d\nBusy=%d\nSelectionDone=%d\nSelectionCancelled=%d\nEscapeHeld=%d\nTracking=%d\n"
              "InHook=%d\nTrackerHookHandle=%u\nPickedWindow=%u\nAnchor=%d,%d\nCurrent=%d,%d\n"
              "CaptureRect=%d,%d,%d,%d\nMode=%u\n",
              state->Armed, state->Busy, state->SelectionDone, state->SelectionCancelled, state->EscapeHeld,
              state->Tracking, state->InHook, state->TrackerHookHandle, state->PickedWindow, state->Anchor.x,
              state->Anchor.y, state->Current.x, state->Current.y, state->CaptureRect.left, state->CaptureRect.top,
              state->CaptureRect.right, state->CaptureRect.bottom, state->Mode);
  return 0;
}

int GuiThread(int argc, char** argv) {
  if (argc < 3) return 2;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(WindowArg(argv[2]), nullptr), &info)) return 1;
  auto id = [](HWND w) { return static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)); };
  std::printf("active=%lu\nfocus=%lu\ncapture=%lu\n", id(info.hwndActive), id(info.hwndFocus), id(info.hwndCapture));
  return 0;
}

// Wine's explorer gives each notification icon a tooltip owned by its tray
// window (or by the icon's own window inside it, in newer versions): each
// tooltip's one tool is the icon's place and tip, read in explorer's memory.
struct TrayTips {
  HWND tray;
};

bool ReadTool(HWND tooltip, TTTOOLINFOW* info, wchar_t* text, size_t chars) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(tooltip, &pid)) return false;
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return false;
  bool ok = false;
  const SIZE_T bytes = sizeof(TTTOOLINFOW) + chars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
  if (remote != nullptr) {
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(TTTOOLINFOW));
    TTTOOLINFOW request{};
    request.cbSize = sizeof request;
    request.lpszText = remoteText;
    SIZE_T done = 0;
    if (WriteProcessMemory(process, remote, &request, sizeof request, &done) &&
        SendMessageW(tooltip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, remote, info, sizeof *info, &done)) {
      info->lpszText = remoteText;
      WriteProcessMemory(process, remote, info, sizeof *info, &done);
      SendMessageW(tooltip, TTM_GETTEXTW, chars, reinterpret_cast<LPARAM>(remote));
      ok = ReadProcessMemory(process, remoteText, text, chars * sizeof(wchar_t), &done) != FALSE;
      text[chars - 1] = 0;
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return ok;
}

BOOL CALLBACK PrintTrayTip(HWND w, LPARAM param) {
  const auto* tips = reinterpret_cast<const TrayTips*>(param);
  char cls[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  HWND owner = GetWindow(w, GW_OWNER);
  if (std::strcmp(cls, TOOLTIPS_CLASSA) != 0 || owner == nullptr) return TRUE;
  if (owner != tips->tray && GetParent(owner) != tips->tray) return TRUE;
  TTTOOLINFOW info{};
  wchar_t tip[128];
  if (!ReadTool(w, &info, tip, 128)) return TRUE;
  RECT r = info.rect;
  if (info.uFlags & TTF_IDISHWND) GetWindowRect(reinterpret_cast<HWND>(info.uId), &r);
  else MapWindowPoints(info.hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  char narrow[256] = "";
  WideCharToMultiByte(CP_ACP, 0, tip, -1, narrow, sizeof narrow, nullptr, nullptr);
  std::printf("%lu\t%ld,%ld,%ld,%ld\t%s\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(w)), r.left,
              r.top, r.right, r.bottom, narrow);
  return TRUE;
}

int Tray() {
  TrayTips tips{FindWindowA("Shell_TrayWnd", nullptr)};
  if (tips.tray == nullptr) return 1;
  EnumWindows(PrintTrayTip, reinterpret_cast<LPARAM>(&tips));
  return 0;
}

int HoldHotKey(int argc, char** argv) {
  if (argc < 5) return 2;
  if (!RegisterHotKey(nullptr, 1, Number(argv[2]), Number(argv[3]))) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(Number(argv[4]));
  UnregisterHotKey(nullptr, 1);
  return 0;
}

struct FitContext {
  HDC dc;
};

BOOL CALLBACK PrintTextFit(HWND control, LPARAM param) {
  const auto* fit = reinterpret_cast<const FitContext*>(param);
  char cls[64] = "", text[512] = "";
  GetClassNameA(control, cls, sizeof cls);
  GetWindowTextA(control, text, sizeof text);
  const LONG style = GetWindowLongA(control, GWL_STYLE);
  if (text[0] == 0 || !IsWindowVisible(control)) return TRUE;
  int extra = 0;
  UINT format = DT_CALCRECT | DT_SINGLELINE;
  RECT have;
  GetWindowRect(control, &have);
  const int width = have.right - have.left, height = have.bottom - have.top;
  if (lstrcmpiA(cls, "Button") == 0) {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX) extra = 2 * GetSystemMetrics(SM_CXEDGE) + 8;
    else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) extra = 4 * GetSystemMetrics(SM_CXEDGE);
    else extra = GetSystemMetrics(SM_CXMENUCHECK) + 3;
  } else if (lstrcmpiA(cls, "Static") == 0) {
    if (style & (SS_PATHELLIPSIS | SS_ENDELLIPSIS | SS_WORDELLIPSIS)) return TRUE;  // shortened on purpose
    if ((style & SS_TYPEMASK) > SS_RIGHT) return TRUE;  // not a text
    if (height > 2 * 13) format = DT_CALCRECT | DT_WORDBREAK;
  } else {
    return TRUE;  // edits, lists and combo boxes scroll their text
  }
  RECT need = {0, 0, format & DT_WORDBREAK ? width : 0, 0};
  DrawTextA(fit->dc, text, -1, &need, format | (style & SS_NOPREFIX && cls[0] == 'S' ? DT_NOPREFIX : 0));
  std::printf("%d\t%s\t%ld\t%ld\t%d\t%d\t%s\n", GetDlgCtrlID(control), cls, need.right + extra, need.bottom, width,
              height, text);
  return TRUE;
}

int TextFit(int argc, char** argv) {
  if (argc < 5) return 2;
  // The target's awareness, so that its font and its rectangles are in the
  // same pixels as ours.
  auto set = reinterpret_cast<void*(WINAPI*)(void*)>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  if (set != nullptr) set(reinterpret_cast<void*>(-3));
  alignas(4) static WORD buffer[128] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(buffer);
  t->style = DS_SETFONT | WS_POPUP;
  t->cx = t->cy = 10;
  WORD* p = reinterpret_cast<WORD*>(t + 1) + 3;  // no menu, standard class, no title
  *p++ = static_cast<WORD>(Number(argv[4]));
  MultiByteToWideChar(CP_ACP, 0, argv[3], -1, reinterpret_cast<WCHAR*>(p), 64);
  HWND d = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t, nullptr, PlainDialogProc, 0);
  if (d == nullptr) return 1;
  HDC dc = GetDC(d);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(d, WM_GETFONT, 0, 0)));
  FitContext fit{dc};
  EnumChildWindows(WindowArg(argv[2]), PrintTextFit, reinterpret_cast<LPARAM>(&fit));
  SelectObject(dc, old);
  ReleaseDC(d, dc);
  DestroyWindow(d);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const char* cmd = argv[1];
  int rc = 2;
  if (!std::strcmp(cmd, "find")) rc = Find(argc, argv);
  else if (!std::strcmp(cmd, "gone")) rc = Gone(argc, argv);
  else if (!std::strcmp(cmd, "info")) rc = Info(argc, argv);
  else if (!std::strcmp(cmd, "visible")) rc = Visible(argc, argv);
  else if (!std::strcmp(cmd, "child")) rc = Child(argc, argv);
  else if (!std::strcmp(cmd, "texts")) rc = Texts(argc, argv);
  else if (!std::strcmp(cmd, "post")) rc = Post(argc, argv);
  else if (!std::strcmp(cmd, "syscommand")) rc = SysCommand(argc, argv);
  else if (!std::strcmp(cmd, "showerror")) rc = CallShowError(argc, argv);
  else if (!std::strcmp(cmd, "clipboard")) rc = Clipboard();
  else if (!std::strcmp(cmd, "clipboard-dib")) rc = ClipboardDib(argc, argv);
  else if (!std::strcmp(cmd, "controls")) rc = Controls(argc, argv);
  else if (!std::strcmp(cmd, "gettext")) rc = GetText(argc, argv);
  else if (!std::strcmp(cmd, "listitems")) rc = ListItems(argc, argv);
  else if (!std::strcmp(cmd, "dialogsize")) rc = DialogSize(argc, argv);
  else if (!std::strcmp(cmd, "combo-selection")) rc = ComboSelection(argc, argv);
  else if (!std::strcmp(cmd, "keys")) rc = Keys(argc, argv);
  else if (!std::strcmp(cmd, "pattern")) rc = Pattern(argc, argv);
  else if (!std::strcmp(cmd, "hold-clipboard")) rc = HoldClipboard(argc, argv);
  else if (!std::strcmp(cmd, "watch-status")) rc = WatchStatus(argc, argv);
  else if (!std::strcmp(cmd, "modules")) rc = Modules(argc, argv);
  else if (!std::strcmp(cmd, "probe")) rc = Probe(argc, argv);
  else if (!std::strcmp(cmd, "triggers")) rc = Triggers();
  else if (!std::strcmp(cmd, "library-state")) rc = LibraryState();
  else if (!std::strcmp(cmd, "hotspot")) rc = Hotspot();
  else if (!std::strcmp(cmd, "load-relocated")) rc = LoadRelocated(argc, argv);
  else if (!std::strcmp(cmd, "boxes")) rc = Boxes();
  else if (!std::strcmp(cmd, "grab")) rc = Grab(argc, argv);
  else if (!std::strcmp(cmd, "presses")) rc = Presses(argc, argv);
  else if (!std::strcmp(cmd, "picture")) rc = Picture(argc, argv);
  else if (!std::strcmp(cmd, "version")) rc = Version(argc, argv);
  else if (!std::strcmp(cmd, "dialog")) rc = Dialog(argc, argv);
  else if (!std::strcmp(cmd, "textmask")) rc = TextMask(argc, argv);
  else if (!std::strcmp(cmd, "tray")) rc = Tray();
  else if (!std::strcmp(cmd, "textfit")) rc = TextFit(argc, argv);
  else if (!std::strcmp(cmd, "hold-hotkey")) rc = HoldHotKey(argc, argv);
  else if (!std::strcmp(cmd, "hookstate")) rc = HookState(argc, argv);
  else if (!std::strcmp(cmd, "guithread")) rc = GuiThread(argc, argv);
  else if (!std::strcmp(cmd, "show") && argc > 3) {
    ShowWindow(WindowArg(argv[2]), std::atoi(argv[3]));
    rc = 0;
  }
  else if (!std::strcmp(cmd, "activate") && argc > 2) rc = SetForegroundWindow(WindowArg(argv[2])) ? 0 : 1;
  else if (!std::strcmp(cmd, "foreground")) {
    std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(GetForegroundWindow())));
    rc = 0;
  }
  std::fflush(stdout);
  return rc;
}
