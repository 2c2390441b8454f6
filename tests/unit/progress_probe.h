// A progress channel for tests on either side of the seam: it records the
// percentages sent and can have the user's Cancel waiting for the first drain.
// Natively it is the host channel; under Wine a hidden window stands in for
// the status window and the cancel message is really posted.
#pragma once

#include <vector>

#include "platform/progress.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/progress_host.h"
#endif

#ifdef _WIN32
class ProgressProbe {
 public:
  ProgressProbe() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Record;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PictrapProgressProbe";
    RegisterClassA(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sent_));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  ~ProgressProbe() {
    DestroyWindow(window_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  ProgressProbe(const ProgressProbe&) = delete;
  ProgressProbe& operator=(const ProgressProbe&) = delete;

  ProgressChannel* channel() { return reinterpret_cast<ProgressChannel*>(window_); }
  const std::vector<unsigned>& sent() const { return sent_; }
  void CancelAtFirstDrain() { PostMessageA(window_, kCancelMessage, 0, 0); }

 private:
  static LRESULT CALLBACK Record(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kProgressMessage) {
      reinterpret_cast<std::vector<unsigned>*>(GetWindowLongPtrA(w, GWLP_USERDATA))
          ->push_back(static_cast<unsigned>(wp));
      return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  HWND window_;
  std::vector<unsigned> sent_;
};
#else
class ProgressProbe {
 public:
  ProgressChannel* channel() { return &channel_; }
  const std::vector<unsigned>& sent() const { return channel_.sent; }
  void CancelAtFirstDrain() { channel_.cancelAtDrain = channel_.drains + 1; }

 private:
  ProgressChannel channel_;
};
#endif
