// The hot key's combination probed with RegisterHotKey: registering what
// another program registered first fails with ERROR_HOTKEY_ALREADY_REGISTERED,
// and a registration that succeeds is released at once, so that the program
// never holds the key itself (its hook catches the key, not a WM_HOTKEY).
#include "shell/hotkey_check_win.h"

#include "messages/message_box_place_win.h"
#include "shell/hotkey_words.h"

static_assert(kHotKeyModAlt == MOD_ALT && kHotKeyModControl == MOD_CONTROL && kHotKeyModShift == MOD_SHIFT);

namespace {

constexpr int kProbeId = 0x5054;  // in the range RegisterHotKey leaves to applications

bool TakenByAnotherProgram(HWND window, const HotKeyProbe& probe) {
  if (!probe.askable) return false;
  if (RegisterHotKey(window, kProbeId, probe.modifiers, probe.virtualKey)) {
    UnregisterHotKey(window, kProbeId);
    return false;
  }
  // Any other failure says nothing about other programs: no box.
  return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
}

}  // namespace

void WarnIfHotKeyTaken(const ShellState& shell) {
  // Without the arming there is no hot key of ours to speak of, and the
  // user has been told so already.
  if (!shell.hotKeyArmed || shell.mainWindow == nullptr) return;
  const HotKeyChoice choice = HotKeyChoiceOf(shell.settings);
  if (!TakenByAnotherProgram(shell.mainWindow, HotKeyProbeOf(choice))) return;
  char text[256];
  FormatHotKeyTakenText(choice, text, sizeof text);
  const MessageBoxPlacement placed;
  MessageBoxA(shell.mainWindow, text, kProductName, MB_OK | MB_ICONEXCLAMATION);
}
