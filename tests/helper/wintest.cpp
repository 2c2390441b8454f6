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
//   screenshot FILE                     the screen as Windows reports it, as a 24-bit BMP (on a
//                                       palette display X screenshots ignore the realised palette)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

int Screenshot(int argc, char** argv) {
  if (argc < 3) return 2;
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
  int rc = 1;
  if (dib != nullptr) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, old);
    const DWORD image = static_cast<DWORD>(((w * 3 + 3) & ~3) * h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi;
    fh.bfSize = fh.bfOffBits + image;
    if (std::FILE* f = std::fopen(argv[2], "wb")) {
      rc = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
                   std::fwrite(bits, image, 1, f) == 1
               ? 0
               : 3;
      std::fclose(f);
    }
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return rc;
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
  else if (!std::strcmp(cmd, "screenshot")) rc = Screenshot(argc, argv);
  std::fflush(stdout);
  return rc;
}
