// print_bench.exe: the print job on a 1920x1080 capture under Wine, timed
// from PrintCapture's start to the end of the document (the status window's
// 100 %, sent right after EndDoc), beside a yardstick in the same process:
// the same image written once to disk as a BMP. Writes Google Benchmark's
// JSON, so the ratio report reads it like the native benchmarks.
//
//   print_bench DIB REPETITIONS OUT.json
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/writers.h"
#include "imaging/dib_win.h"
#include "shell/print_request_win.h"
#include "shell/status_window.h"

namespace {

LARGE_INTEGER g_documentEnd;
WNDPROC g_statusProc;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LRESULT CALLBACK NoteDocumentEnd(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kProgressMessage && wp == 100) QueryPerformanceCounter(&g_documentEnd);
  return CallWindowProcA(g_statusProc, w, m, wp, lp);
}

LRESULT CALLBACK MainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

void CreateWindows() {
  g_shell.instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = g_shell.instance;
  wc.lpszClassName = "PictrapPrintBench";
  RegisterClassA(&wc);
  RegisterStatusClass(g_shell.instance);
  g_shell.mainWindow = CreateWindowExA(0, wc.lpszClassName, "Pictrap print bench", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                       100, nullptr, nullptr, g_shell.instance, nullptr);
  g_shell.statusWindow = CreateStatusWindow(g_shell.mainWindow, g_shell.instance, kProductName, "Cancel");
  g_statusProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(g_shell.statusWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NoteDocumentEnd)));
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Report(std::FILE* f, const char* name, const std::vector<double>& times, bool last) {
  std::fprintf(f,
               "    {\"name\": \"%s_median\", \"run_name\": \"%s\", \"run_type\": \"aggregate\", "
               "\"aggregate_name\": \"median\", \"repetitions\": %u, \"real_time\": %.3f, \"cpu_time\": %.3f, "
               "\"time_unit\": \"ms\"},\n"
               "    {\"name\": \"%s_min\", \"run_name\": \"%s\", \"run_type\": \"aggregate\", "
               "\"aggregate_name\": \"min\", \"repetitions\": %u, \"real_time\": %.3f, \"cpu_time\": %.3f, "
               "\"time_unit\": \"ms\"}%s\n",
               name, name, static_cast<unsigned>(times.size()), Median(times), Median(times), name, name,
               static_cast<unsigned>(times.size()), *std::min_element(times.begin(), times.end()),
               *std::min_element(times.begin(), times.end()), last ? "" : ",");
  std::printf("%-22s median %9.1f ms  min %9.1f ms  (%u runs)\n", name, Median(times),
              *std::min_element(times.begin(), times.end()), static_cast<unsigned>(times.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.size() < 40) return 2;
  const int repetitions = std::max(1, std::atoi(argv[2]));
  CreateWindows();
  g_shell.currentImage = MemAlloc(bytes.size());
  {
    MemLockGuard lock(g_shell.currentImage);
    std::memcpy(lock.data(), bytes.data(), bytes.size());
  }
  if (CreateDibPalette(g_shell.currentImage, &g_shell.currentPalette) != StatusOk) return 3;
  std::snprintf(g_shell.statusText, sizeof g_shell.statusText, "Printing ");

  std::uint16_t bits = 0;
  std::memcpy(&bits, bytes.data() + 14, sizeof bits);
  char jobName[48], bmpName[48];
  std::snprintf(jobName, sizeof jobName, "BM_PrintCapture/%u", static_cast<unsigned>(bits));
  std::snprintf(bmpName, sizeof bmpName, "BM_WriteBmpOnce/%u", static_cast<unsigned>(bits));

  std::vector<double> jobs, bmps;
  // One unmeasured job loads the driver and reads its printer description.
  for (int i = -1; i < repetitions; ++i) {
    LARGE_INTEGER start;
    g_documentEnd.QuadPart = 0;
    QueryPerformanceCounter(&start);
    if (PrintCapture(PrintRequestOf(g_shell)) != 0 || g_documentEnd.QuadPart == 0) return 4;
    if (i >= 0) {
      jobs.push_back(Milliseconds(start, g_documentEnd));
    } else {
      std::printf("%-22s first job %9.1f ms (loads the driver)\n", jobName, Milliseconds(start, g_documentEnd));
    }

    LARGE_INTEGER bmpStart, bmpEnd;
    QueryPerformanceCounter(&bmpStart);
    if (WriteBmpFile(nullptr, "print_bench_yardstick.bmp", g_shell.currentImage) != StatusOk) return 5;
    QueryPerformanceCounter(&bmpEnd);
    if (i >= 0) bmps.push_back(Milliseconds(bmpStart, bmpEnd));
  }
  DeleteFileA("print_bench_yardstick.bmp");

  std::FILE* out = std::fopen(argv[3], "w");
  if (out == nullptr) return 6;
  std::fprintf(out, "{\n  \"context\": {\"executable\": \"print_bench.exe\"},\n  \"benchmarks\": [\n");
  Report(out, jobName, jobs, false);
  Report(out, bmpName, bmps, true);
  std::fprintf(out, "  ]\n}\n");
  std::fclose(out);
  return 0;
}
