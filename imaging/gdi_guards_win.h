// Small non-copyable guards for device contexts, GDI objects, kernel handles
// and the current directory, shared by SHOTBOX and SBHOOK32 so that no exit
// path can forget to release a DC, put a selection back, delete an object or
// close a handle. A copyable guard would release twice: every one deletes its
// copy operations.
#pragma once

#include <windows.h>

// A window's (or, with no window, the screen's) device context from GetDC or
// GetWindowDC, released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window = nullptr, bool wholeWindow = false)
      : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A handle the program owns, freed by Free unless released to a new owner.
template <typename Handle, typename Free>
class Owned {
 public:
  explicit Owned(Handle handle = nullptr) : handle_(handle) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Handle get() const { return handle_; }
  Handle release() {
    Handle h = handle_;
    handle_ = nullptr;
    return h;
  }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) Free{}(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_;
};

struct FreeDc {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct FreeMenu {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct FreeGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct FreeKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// A device context the program created (CreateDCA, CreateCompatibleDC),
// freed with DeleteDC, never DeleteObject.
using OwnedDc = Owned<HDC, FreeDc>;
// A menu the program created (CreatePopupMenu), destroyed with DestroyMenu.
using MenuGuard = Owned<HMENU, FreeMenu>;
// A pen, brush, bitmap, font or palette.
template <typename Handle>
using GdiObject = Owned<Handle, FreeGdiObject>;
// A kernel object's handle (an event, a thread), closed with CloseHandle.
// Null means none; INVALID_HANDLE_VALUE is not used by the calls it holds.
using KernelHandle = Owned<HANDLE, FreeKernelHandle>;

// Selects an object into a DC and puts the previous one back. A bitmap must
// be deselected before it is deleted or read with GetDIBits, so this guard
// lives in an inner scope of the object's own guard.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  // False when the object could not be selected.
  bool ok() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects a palette (as a foreground palette), realises it, and puts the
// previous palette back. A null palette or DC selects nothing.
class PaletteSelection {
 public:
  PaletteSelection(HDC dc, HPALETTE palette)
      : dc_(dc), previous_(palette != nullptr && dc != nullptr ? SelectPalette(dc, palette, FALSE) : nullptr) {
    if (previous_ != nullptr) RealizePalette(dc_);
  }
  ~PaletteSelection() {
    if (previous_ != nullptr) SelectPalette(dc_, previous_, FALSE);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_;
};

// The process's current directory, put back when the guard ends. The file
// dialogs move it to the directory the user browsed to, whether the dialog
// ends with OK or Cancel; left there for the rest of a long run it would hold
// that directory open, so that it could be neither deleted nor renamed, and
// its removable drive not ejected.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() {
    const DWORD n = GetCurrentDirectoryA(sizeof path_, path_);
    saved_ = n > 0 && n < sizeof path_;
  }
  ~CurrentDirectoryKeeper() {
    if (saved_) SetCurrentDirectoryA(path_);
  }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  char path_[MAX_PATH];
  bool saved_;
};

// The calling thread made per-monitor DPI aware until the guard ends. Code
// the hooks run inside other applications works in the display's own pixels
// this way, whatever that application's awareness: an application that is
// not DPI aware on a scaled display is told scaled-down pointer positions and
// window rectangles, which would put the trackers' feedback and the captured
// rectangle elsewhere than the pointer. Where the call does not exist (before
// Windows 10 version 1607) the thread stays as it is.
class PhysicalPixels {
 public:
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE
  PhysicalPixels() : previous_(Set(reinterpret_cast<Context>(-3))) {}
  ~PhysicalPixels() { Restore(); }
  PhysicalPixels(const PhysicalPixels&) = delete;
  PhysicalPixels& operator=(const PhysicalPixels&) = delete;
  // Back to the application's own awareness early, before its other hooks run.
  void Restore() {
    if (previous_ != nullptr) Set(previous_);
    previous_ = nullptr;
  }

 private:
  using Context = void*;  // DPI_AWARENESS_CONTEXT, absent from older headers

  using SetContext = Context(WINAPI*)(Context);

  // Where the call is missing: nothing changes, and nothing to put back.
  static Context WINAPI Unchanged(Context) { return nullptr; }

  // Looked up once per process into one pointer-sized variable, without a
  // function-local static, whose guard would bring the C++ runtime's
  // exception support into the hook library; threads racing here all store
  // the same address.
  static Context Set(Context context) {
    if (set_ == nullptr) {
      const auto found = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
      set_ = found != nullptr ? found : Unchanged;
    }
    return set_(context);
  }

  static inline SetContext set_ = nullptr;
  Context previous_;
};
