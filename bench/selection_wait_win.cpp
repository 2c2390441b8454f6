// selection_wait.exe: the wait for a selection under Wine, beside the tight
// polling loop it replaces.
//
//   selection_wait tight SECONDS      the loop that polls a flag with PeekMessage and never
//                                     blocks, for SECONDS; prints "ready" as it starts (its CPU
//                                     time is read from outside, like SHOTBOX's)
//   selection_wait latency DLL N      N Area selections through SBHOOK32's CaptureScreen, each
//                                     completed by calling its Area tracker from a second thread;
//                                     prints the milliseconds from SelectionDone turning 1 (seen
//                                     by a third thread) to CaptureScreen's return: the wake-up,
//                                     unhooking, the cursor and the grab of one pixel
//   selection_wait tight-latency N    the same delay for the tight loop, the flag set by a
//                                     second thread
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/capture_state.h"

namespace {

double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

volatile LONG g_flag = 0;

void PrintSummary(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  std::printf("%s: median %.2f ms, mean %.2f ms, 90th %.2f ms, max %.2f ms (%zu runs)\n", what, ms[ms.size() / 2],
              sum / static_cast<double>(ms.size()), ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

// The wait as it would be without blocking: one message if there is one,
// then the flag again, as fast as the processor goes.
void TightWait() {
  MSG msg;
  while (g_flag == 0) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

DWORD WINAPI SetFlagAfter(void* ms) {
  Sleep(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(ms)));
  InterlockedExchange(&g_flag, 1);
  return 0;
}

HWND MakeWindow() {
  return CreateWindowExA(0, "Static", "selection_wait", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

int Tight(int seconds) {
  MakeWindow();
  std::printf("ready\n");
  std::fflush(stdout);
  HANDLE t = CreateThread(nullptr, 0, SetFlagAfter, reinterpret_cast<void*>(static_cast<UINT_PTR>(seconds * 1000)),
                          0, nullptr);
  TightWait();
  WaitForSingleObject(t, INFINITE);
  return 0;
}

double g_setAt = 0;

DWORD WINAPI SetFlagTimed(void*) {
  Sleep(20);
  g_setAt = Now();
  InterlockedExchange(&g_flag, 1);
  return 0;
}

int TightLatency(int n) {
  MakeWindow();
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    g_flag = 0;
    HANDLE t = CreateThread(nullptr, 0, SetFlagTimed, nullptr, 0, nullptr);
    TightWait();
    const double seen = Now();
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    ms.push_back(seen - g_setAt);
  }
  PrintSummary("tight loop, flag set to loop left", ms);
  return 0;
}

// The library's shared section, found in this process's mapping of it.
CaptureState* SharedState(HMODULE lib) {
  auto* base = reinterpret_cast<unsigned char*>(lib);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::strncmp(reinterpret_cast<const char*>(section->Name), "sbhk_dat", 8) == 0) {
      return reinterpret_cast<CaptureState*>(base + section->VirtualAddress);
    }
  }
  return nullptr;
}

using AreaHook = LRESULT(WINAPI*)(int, WPARAM, LPARAM);
AreaHook g_area = nullptr;
CaptureState* g_state = nullptr;

// The moment the tracker's flag turns: watched from a thread of its own,
// since the tracker erases its band before it sets the flag.
DWORD WINAPI WatchFlag(void*) {
  while (const_cast<volatile std::int32_t&>(g_state->SelectionDone) == 0) {
  }
  g_setAt = Now();
  return 0;
}

// The user's two releases, as the Area tracker receives them, once the
// tracker is in place.
DWORD WINAPI SelectArea(void*) {
  while (const_cast<volatile std::uint32_t&>(g_state->TrackerHookHandle) == 0) Sleep(1);
  Sleep(20);
  MOUSEHOOKSTRUCT data{};
  g_area(HC_ACTION, WM_LBUTTONUP, reinterpret_cast<LPARAM>(&data));
  Sleep(20);
  HANDLE watcher = CreateThread(nullptr, 0, WatchFlag, nullptr, 0, nullptr);
  SetThreadPriority(watcher, THREAD_PRIORITY_HIGHEST);
  g_area(HC_ACTION, WM_LBUTTONUP, reinterpret_cast<LPARAM>(&data));
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  return 0;
}

int Latency(const char* dll, int n) {
  HMODULE lib = LoadLibraryA(dll);
  if (lib == nullptr) return 3;
  auto byOrdinal = [lib](int k) { return reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(k))); };
  using ArmFn = int(WINAPI*)(HWND, DWORD, UINT, int, int, DWORD, DWORD, DWORD, DWORD, int, int);
  auto arm = reinterpret_cast<ArmFn>(byOrdinal(10));
  auto end = reinterpret_cast<int(WINAPI*)()>(byOrdinal(16));
  auto capture = reinterpret_cast<WORD(WINAPI*)(HGLOBAL*)>(byOrdinal(20));
  g_area = reinterpret_cast<AreaHook>(byOrdinal(21));
  g_state = SharedState(lib);
  if (arm == nullptr || end == nullptr || capture == nullptr || g_area == nullptr || g_state == nullptr) return 4;
  HWND window = MakeWindow();
  if (arm(window, 0, WM_APP + 1, 0, 1, 1, 1, 0, 10, 2, 2) != 1) return 5;
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    HANDLE t = CreateThread(nullptr, 0, SelectArea, nullptr, 0, nullptr);
    HGLOBAL dib = nullptr;
    const WORD status = capture(&dib);
    const double returned = Now();
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    if (status != 0 || dib == nullptr) {
      std::printf("capture %d failed: %u\n", i, status);
      end();
      return 6;
    }
    GlobalFree(dib);
    ms.push_back(returned - g_setAt);
  }
  end();
  PrintSummary("SBHOOK32, SelectionDone set to CaptureScreen returned", ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (!std::strcmp(argv[1], "tight")) return Tight(std::atoi(argv[2]));
  if (!std::strcmp(argv[1], "tight-latency")) return TightLatency(std::atoi(argv[2]));
  if (!std::strcmp(argv[1], "latency") && argc > 3) return Latency(argv[2], std::atoi(argv[3]));
  return 2;
}
