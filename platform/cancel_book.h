// Which long operation a Cancel belongs to, free of the platform. The status
// window numbers each operation it is shown for; a Cancel is recorded for the
// operation running when it was pressed, and an operation asks only after
// its own. So a Cancel whose message a nested message loop dispatched
// elsewhere is not lost, and one left over from an earlier operation (a held
// Enter or Esc, a message still queued) cancels nothing later. Header only:
// both the progress seam and the status window keep to it.
#pragma once

#include <cstdint>

struct CancelBook {
  std::uint32_t lastOperation;  // the number given last
  std::uint32_t running;        // the operation shown now, 0 for none
  std::uint32_t cancelled;      // the operation the last Cancel was pressed in
  std::uint32_t reported;       // the operation told of its Cancel
};

// The status window is shown for a new operation, or hidden after one: what
// was pressed before belongs to no operation that can still ask.
inline void BeginOperation(CancelBook& book) {
  book.running = ++book.lastOperation;
  if (book.running == 0) book.running = ++book.lastOperation;  // 0 means none
  book.cancelled = 0;
  book.reported = 0;
}
inline void EndOperation(CancelBook& book) {
  book.running = 0;
  book.cancelled = 0;
  book.reported = 0;
}

// A Cancel pressed now. Returns the operation it cancels, 0 when it cancels
// nothing new (no operation shown, or that one is cancelled already).
inline std::uint32_t PressCancel(CancelBook& book) {
  if (book.running == 0 || book.cancelled == book.running) return 0;
  book.cancelled = book.running;
  return book.running;
}

// Whether the running operation was cancelled.
inline bool CancelPending(const CancelBook& book) { return book.running != 0 && book.cancelled == book.running; }

// The running operation's Cancel, reported once: true the first time it is
// asked after the press.
inline bool TakeCancel(CancelBook& book) {
  if (!CancelPending(book) || book.reported == book.running) return false;
  book.reported = book.running;
  return true;
}

// Enter or Esc on the Cancel button: the first key-down presses, its
// auto-repeats (lParam bit 30) add nothing.
inline bool CancelKeyPresses(std::uint32_t keyData) { return (keyData & 0x40000000u) == 0; }
