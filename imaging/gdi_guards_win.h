// Small non-copyable guards for device contexts, GDI objects and kernel
// handles, shared by SHOTBOX and SBHOOK32 so that no exit path can forget to
// release a DC, put a selection back, delete an object or close a handle. A
// copyable guard would release twice: every one deletes its copy operations.
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

// A device context the program created (CreateDCA, CreateCompatibleDC),
// freed with DeleteDC, never DeleteObject.
class OwnedDc {
 public:
  explicit OwnedDc(HDC dc = nullptr) : dc_(dc) {}
  ~OwnedDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  OwnedDc(const OwnedDc&) = delete;
  OwnedDc& operator=(const OwnedDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A pen, brush, bitmap, font or palette, deleted unless released to a new owner.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle object = nullptr) : object_(object) {}
  ~GdiObject() {
    if (object_ != nullptr) DeleteObject(object_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle get() const { return object_; }
  Handle release() {
    Handle h = object_;
    object_ = nullptr;
    return h;
  }
  void reset(Handle object = nullptr) {
    if (object_ != nullptr) DeleteObject(object_);
    object_ = object;
  }

 private:
  Handle object_;
};

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

// A kernel object's handle (an event, a thread), closed with CloseHandle.
// Null means none; INVALID_HANDLE_VALUE is not used by the calls it holds.
class KernelHandle {
 public:
  explicit KernelHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~KernelHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};
