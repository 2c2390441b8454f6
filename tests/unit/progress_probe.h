// A progress channel for tests on either side of the seam: it records the
// percentages sent and can have the user's Cancel waiting for a chosen drain.
// Natively it is the host channel; under Wine a hidden window stands in for
// the status window and the cancel message is really posted.
#pragma once

#include <vector>

#include "platform/progress.h"
#ifdef _WIN32
#include <windows.h>

#include "platform/progress_win.h"
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
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    BeginOperation(StatusCancelBook());  // as the status window does when shown
  }
  ~ProgressProbe() {
    EndOperation(StatusCancelBook());
    DestroyWindow(window_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  ProgressProbe(const ProgressProbe&) = delete;
  ProgressProbe& operator=(const ProgressProbe&) = delete;

  ProgressChannel* channel() { return reinterpret_cast<ProgressChannel*>(window_); }
  const std::vector<unsigned>& sent() const { return sent_; }
  // What the status window's Cancel button does.
  void CancelAtFirstDrain() { PostMessageA(window_, kCancelMessage, PressCancel(StatusCancelBook()), 0); }
  // The writers send 0 first and then a percentage before each drain: the
  // cancel is posted as the one before drain `n` arrives.
  void CancelAtDrain(int n) { cancelAtMessage_ = static_cast<int>(sent_.size()) + n + 1; }

 private:
  static LRESULT CALLBACK Record(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kProgressMessage) {
      auto* probe = reinterpret_cast<ProgressProbe*>(GetWindowLongPtrA(w, GWLP_USERDATA));
      probe->sent_.push_back(static_cast<unsigned>(wp));
      if (static_cast<int>(probe->sent_.size()) == probe->cancelAtMessage_) probe->CancelAtFirstDrain();
      return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  HWND window_;
  std::vector<unsigned> sent_;
  int cancelAtMessage_ = -1;
};
#else
class ProgressProbe {
 public:
  ProgressChannel* channel() { return &channel_; }
  const std::vector<unsigned>& sent() const { return channel_.sent; }
  void CancelAtFirstDrain() { CancelAtDrain(1); }
  void CancelAtDrain(int n) { channel_.cancelAtDrain = channel_.drains + n; }

 private:
  ProgressChannel channel_;
};
#endif
