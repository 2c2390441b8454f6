// The capture viewer. It owns nothing: every paint reads the current image
// and palette from the shell state, which the pipeline owns.
#include "shell/viewer_win.h"

#include "capture/monitors_win.h"
#include "imaging/dib.h"
#include "capture/screen_repaint_win.h"
#include "imaging/gdi_guards_win.h"

namespace {

constexpr char kClassName[] = "FullScreen";

void PaintImage(HDC dc, const ShellState& shell) {
  PaletteSelection palette(dc, shell.currentPalette);
  MemLockGuard lock(shell.currentImage);
  DibLayout layout;
  if (lock.data() == nullptr || CheckDibLayout(lock.data(), lock.size(), &layout) != StatusOk) return;
  // Natural size: the capture's own width and height, never more than the
  // block holds.
  const int width = shell.capture.width > 0 && shell.capture.width < layout.width ? shell.capture.width
                                                                                    : layout.width;
  const int height = shell.capture.height > 0 && shell.capture.height < layout.height ? shell.capture.height
                                                                                        : layout.height;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(lock.data());
  // Rows are stored bottom-up: the top `height` rows start that far from the top.
  StretchDIBits(dc, 0, 0, width, height, 0, layout.height - height, width, height,
                lock.data() + layout.pixelOffset, info, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT OnPaint(HWND window, const ShellState& shell) {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  ShowCursor(TRUE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc != nullptr) {
    PaintImage(dc, shell);
    EndPaint(window, &ps);
  }
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  return 0;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* shell = reinterpret_cast<ShellState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_CREATE:
      return 0;
    case WM_PAINT:
      if (shell != nullptr) return OnPaint(window, *shell);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      if (shell != nullptr) CloseViewer(*shell);
      return 0;
    case WM_DESTROY:
      // Destroyed from outside (with its owner, at the end of the run): the
      // shell must not keep a dead handle nor a disabled main window.
      if (shell != nullptr && shell->viewerWindow == window) {
        shell->viewerWindow = nullptr;
        EnableWindow(shell->mainWindow, TRUE);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The monitor the last capture came from (the one holding most of it), so
// that the picture is seen where it was taken; the primary screen when no
// capture says where.
RECT ViewerArea(const ShellState& shell) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const RECT& captured = shell.captureArea;
  if (captured.right <= captured.left || captured.bottom <= captured.top) return area;
  MonitorTable monitors;
  ListMonitors(&monitors);
  const int on = MonitorHoldingMost(CaptureRectangle{captured.left, captured.top, captured.right, captured.bottom},
                                    monitors);
  if (on < 0) return area;
  const CaptureRectangle& m = monitors.monitor[on];
  return RECT{m.left, m.top, m.right, m.bottom};
}

}  // namespace

void OpenViewer(ShellState& shell) {
  if (shell.viewerWindow != nullptr || shell.currentImage == nullptr) return;
  // Registered at every opening; from the second on the class exists and
  // the registration fails harmlessly.
  WNDCLASSA wc{};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = shell.instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);

  const RECT area = ViewerArea(shell);
  HWND viewer = CreateWindowExA(0, kClassName, nullptr, WS_POPUP, area.left, area.top, area.right - area.left,
                                area.bottom - area.top, shell.mainWindow, nullptr, shell.instance, &shell);
  if (viewer == nullptr) return;
  shell.viewerWindow = viewer;
  EnableWindow(shell.mainWindow, FALSE);
  ShowWindow(viewer, SW_SHOW);
  InvalidateRect(viewer, nullptr, TRUE);
  UpdateWindow(viewer);
}

void CloseViewer(ShellState& shell) {
  HWND viewer = shell.viewerWindow;
  if (viewer == nullptr) return;
  // The main window first, so that it can take the activation back.
  EnableWindow(shell.mainWindow, TRUE);
  shell.viewerWindow = nullptr;
  RECT area{};
  const bool known = GetWindowRect(viewer, &area) != FALSE;
  DestroyWindow(viewer);
  if (known) LetScreenRepaint(area);
}
