// wintest.exe: a small Win32 helper the end-to-end tests run inside the same
// Wine desktop as the program, to look at and poke its windows.
//
//   find TITLE|- CLASS|- [TIMEOUT_MS]   print the window handle, exit 1 if none
//   gone HWND [TIMEOUT_MS]              wait until the window no longer exists
//   visible HWND [TIMEOUT_MS]           wait until the window is visible
//   info HWND                           iconic, visible, rectangles, client origin, process id
//   child HWND ID                       print the handle of the control with that id
//   texts HWND                          class and text of every descendant
//   post HWND MSG [WPARAM [LPARAM]]     PostMessage (numbers in decimal or 0x hex)
//   syscommand HWND CMD                 post WM_SYSCOMMAND
//   showerror CAPTION CODE              call SBMSG32 ordinal 10 and return when dismissed
//   clipboard                           list the clipboard formats present
//   clipboard-dib FILE                  save the clipboard's CF_DIB block to FILE
//   combo-selection HWND ID             the selected item's text of a dialog's combo box
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
              "focus=%d\nclass=%s\ntitle=%s\n",
              IsIconic(w) ? 1 : 0, IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom,
              c.right, c.bottom, origin.x, origin.y, pid, GetForegroundWindow() == w ? 1 : 0, cls, title);
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
  else if (!std::strcmp(cmd, "combo-selection")) rc = ComboSelection(argc, argv);
  std::fflush(stdout);
  return rc;
}
