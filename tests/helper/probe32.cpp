// PROBE32.DLL: a test-only library that wintest's thread hook loads into the
// program's process to read what only that process can see: its system menu
// as WM_INITMENU leaves it, and how many GDI objects it holds. Results come
// back through a section shared with wintest's own copy of the library.
#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <cstring>

namespace {

constexpr WPARAM kProbeMagic = 0x50524F42;  // "PROB"
constexpr LPARAM kSysMenu = 1;
constexpr LPARAM kGdiCount = 2;

struct ProbeResult {
  char text[8192];
  int slowProgressMs;  // while set, each progress message to the status window waits this long
};

}  // namespace

__attribute__((section("prb_dat"), shared)) ProbeResult g_probe = {{0}, 0};

namespace {

void Append(const char* line) {
  const std::size_t used = std::strlen(g_probe.text);
  std::snprintf(g_probe.text + used, sizeof g_probe.text - used, "%s\n", line);
}

void ReadSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[128] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    char line[200];
    std::snprintf(line, sizeof line, "%#x\t%s\t%s", GetMenuItemID(menu, i),
                  (state & MF_SEPARATOR) ? "separator" : (state & MF_GRAYED) ? "grayed" : "enabled", text);
    Append(line);
  }
}

// Wine keeps each process's GDI handles in the table the PEB points to, in
// the layout Windows gives it: 24-byte entries whose type byte is 0 when free.
void CountGdiObjects() {
  std::uint8_t* peb;
  __asm__("movl %%fs:0x30, %0" : "=r"(peb));
  const std::uint8_t* table = *reinterpret_cast<std::uint8_t* const*>(peb + 0x94);
  int count = -1;
  if (table != nullptr) {
    count = 0;
    for (int i = 0; i < 0x10000; ++i) count += table[i * 24 + 14] != 0;
  }
  char line[32];
  std::snprintf(line, sizeof line, "gdi=%d", count);
  Append(line);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WM_NULL && sent->wParam == kProbeMagic) {
    g_probe.text[0] = '\0';
    if (sent->lParam == kSysMenu) ReadSystemMenu(sent->hwnd);
    if (sent->lParam == kGdiCount) CountGdiObjects();
  }
  // Stretches a long operation so that a test can act while it runs, however
  // fast the machine: the status window's progress message is sent from
  // within the operation, between its units of work.
  if (code == HC_ACTION && sent->message == WM_USER + 1 && g_probe.slowProgressMs > 0) {
    char cls[16] = "";
    GetClassNameA(sent->hwnd, cls, sizeof cls);
    if (std::strcmp(cls, "Status") == 0) Sleep(static_cast<DWORD>(g_probe.slowProgressMs));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" __declspec(dllexport) const char* ProbeText() { return g_probe.text; }

extern "C" __declspec(dllexport) void ProbeSlowProgress(int ms) { g_probe.slowProgressMs = ms; }
