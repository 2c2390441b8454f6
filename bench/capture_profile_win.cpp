// capture_profile.exe: where a Full Screen capture's time goes under Wine,
// stage by stage, as SBHOOK32 and the BMP writer do them: the X server's
// read-back into a device bitmap (BitBlt from the display, with CAPTUREBLT
// for the layered windows), the conversion to a packed DIB (GetDIBits at 24
// bits), and the file write as BMP and (to OUTFILE.png) as PNG; beside them
// one BitBlt with and one without CAPTUREBLT into the bitmap already made
// and written, in turns, which is what taking the layered windows costs.
// Prints the median of each over the repetitions, in milliseconds.
//
//   capture_profile OUTFILE [REPETITIONS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "capture/grab_geometry.h"
#include "formats/writers.h"
#include "imaging/gdi_guards_win.h"

namespace {

double Now() {
  LARGE_INTEGER t, f;
  QueryPerformanceCounter(&t);
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 20;
  std::vector<double> blit, convert, write, total, png, flagBlit, plainBlit;
  char pngName[MAX_PATH];
  std::snprintf(pngName, sizeof pngName, "%s.png", argv[1]);
  for (int i = 0; i < repetitions; ++i) {
    const double t0 = Now();
    WindowDc display;  // the screen's own DC, as the grab reads it
    OwnedDc memory(CreateCompatibleDC(display.get()));
    const int w = GetDeviceCaps(display.get(), HORZRES), h = GetDeviceCaps(display.get(), VERTRES);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(display.get(), w, h));
    {
      Selection select(memory.get(), bitmap.get());
      BitBlt(memory.get(), 0, 0, w, h, display.get(), 0, 0, SRCCOPY | CAPTUREBLT);
    }
    const double t1 = Now();
    CaptureHeader header;
    if (!ComputeCaptureHeader(w, h, 24, &header)) return 3;
    MemOwner block(MemAlloc(header.blockSize));
    {
      MemLockGuard lock(block.get());
      WriteCaptureHeader(lock.data(), header);
      WindowDc screen;
      if (GetDIBits(screen.get(), bitmap.get(), 0, h, lock.data() + 40, reinterpret_cast<BITMAPINFO*>(lock.data()),
                    DIB_RGB_COLORS) == 0) {
        return 4;
      }
      WriteCaptureHeader(lock.data(), header);
    }
    const double t2 = Now();
    if (WriteBmpFile(nullptr, argv[1], block.get()) != StatusOk) return 5;
    const double t3 = Now();
    if (WritePngFile(nullptr, pngName, block.get(), 3780) != StatusOk) return 6;
    png.push_back(Now() - t3);
    {
      // Outside the three stages' chain, so that their times stay as they
      // were; the same copy twice, into a bitmap already written, the flag
      // first on even repetitions and last on odd ones.
      Selection select(memory.get(), bitmap.get());
      for (int k = 0; k < 2; ++k) {
        const bool flag = (i + k) % 2 == 0;
        const double p0 = Now();
        BitBlt(memory.get(), 0, 0, w, h, display.get(), 0, 0, flag ? SRCCOPY | CAPTUREBLT : SRCCOPY);
        (flag ? flagBlit : plainBlit).push_back(Now() - p0);
      }
    }
    blit.push_back(t1 - t0);
    convert.push_back(t2 - t1);
    write.push_back(t3 - t2);
    total.push_back(t3 - t0);
  }
  std::printf("read-back (BitBlt from the display) %.1f ms\n", Median(blit));
  std::printf("  BitBlt alone, with CAPTUREBLT     %.1f ms\n", Median(flagBlit));
  std::printf("  BitBlt alone, without it          %.1f ms\n", Median(plainBlit));
  std::printf("conversion (GetDIBits to 24 bits)   %.1f ms\n", Median(convert));
  std::printf("BMP write                           %.1f ms\n", Median(write));
  std::printf("all three                           %.1f ms\n", Median(total));
  std::printf("PNG write, instead of BMP           %.1f ms\n", Median(png));
  return 0;
}
