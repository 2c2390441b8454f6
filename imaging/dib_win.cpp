// GDI objects made from packed DIBs. The entry lists come from the portable
// rules; only the object creation is here.
#include "imaging/dib_win.h"

#include "imaging/dib.h"
#include "imaging/gdi_guards_win.h"

namespace {

// A LOGPALETTE in a movable block of count * 4 + 8 bytes.
MemHandle AllocLogPalette(std::uint32_t count) { return MemAlloc(count * 4 + 8); }

}  // namespace

Status CreateDibPalette(MemHandle dib, HPALETTE* palette) {
  if (dib == nullptr || palette == nullptr) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout layout;
  if (CheckDibLayout(lock.data(), lock.size(), &layout) != StatusOk) return StatusBadArgument;
  *palette = nullptr;

  MemOwner buffer(AllocLogPalette(layout.clrUsed != 0 ? layout.clrUsed : kDibMaxColours));
  if (buffer.get() == nullptr) return StatusNoMemory;
  MemLockGuard logLock(buffer.get());
  if (logLock.data() == nullptr) return StatusNoMemory;
  auto* log = reinterpret_cast<LOGPALETTE*>(logLock.data());
  PaletteColour colours[kDibMaxColours];
  const std::uint32_t count = BuildDibPaletteColours(lock.data(), layout, colours);
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    log->palPalEntry[i] = PALETTEENTRY{colours[i].red, colours[i].green, colours[i].blue, 0};
  }
  // A null palette from the system is handed back as it is.
  *palette = CreatePalette(log);
  return StatusOk;
}

Status CopyPalette(HPALETTE palette, HPALETTE* copy) {
  if (palette == nullptr || copy == nullptr) return StatusBadArgument;
  *copy = nullptr;
  WORD count = 0;
  if (GetObjectA(palette, sizeof count, &count) == 0) count = 0;

  MemOwner buffer(AllocLogPalette(count));
  if (buffer.get() == nullptr) return StatusNoMemory;
  MemLockGuard logLock(buffer.get());
  if (logLock.data() == nullptr) return StatusNoMemory;
  auto* log = reinterpret_cast<LOGPALETTE*>(logLock.data());
  log->palVersion = 0x300;
  log->palNumEntries = count;
  if (count != 0) GetPaletteEntries(palette, 0, count, log->palPalEntry);
  *copy = CreatePalette(log);
  return StatusOk;
}

Status DibToBitmap(MemHandle dib, HPALETTE palette, HBITMAP* bitmap) {
  if (bitmap == nullptr) return StatusBadArgument;
  *bitmap = nullptr;
  if (dib == nullptr) return StatusBadArgument;
  MemLockGuard lock(dib);
  DibLayout layout;
  if (CheckDibLayout(lock.data(), lock.size(), &layout) != StatusOk) return StatusBadArgument;

  WindowDc screen;
  PaletteSelection selection(screen.get(), palette);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(lock.data());
  // The pixels start after the colour table as the colour-table rule counts
  // it, which is where CreateDIBitmap itself looks for them.
  *bitmap = CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, lock.data() + layout.pixelOffset,
                           info, DIB_RGB_COLORS);
  return StatusOk;
}
