// The six tests of the hot-key trigger, in their fixed order, and the rule
// that makes one keystroke one capture request.
#include "capture/hotkey.h"

namespace {
constexpr int kHookAction = 0;     // HC_ACTION
constexpr int kHookNoRemove = 3;   // HC_NOREMOVE
constexpr std::uint32_t kKeyReleased = 0x80000000u;
constexpr std::uint32_t kKeyWasDown = 0x40000000u;  // an auto-repeat
}  // namespace

bool IsHotKeyPress(const HotKeyEvent& event, const HotKeySetting& setting) {
  if (event.keyData & kKeyReleased) return false;
  const bool altDown = (event.keyData & 0x20000000u) != 0;
  if (altDown != (setting.needAlt != 0)) return false;
  if (event.ctrlDown != (setting.needCtrl != 0)) return false;
  if (event.shiftDown != (setting.needShift != 0)) return false;
  if (event.code != kHookAction && event.code != kHookNoRemove) return false;
  return event.virtualKey == HotKeyVirtualKey(setting.keyIndex);
}

HotKeyDecision DecideHotKey(CaptureState& s, const HotKeyEvent& event) {
  const HotKeySetting setting{s.NeedAlt, s.NeedCtrl, s.NeedShift, s.KeyIndex};
  if (event.keyData & kKeyReleased) {
    // The release ends the keystroke whatever the modifiers are by then: the
    // user often lets Ctrl go before the function key.
    if (event.virtualKey == HotKeyVirtualKey(setting.keyIndex)) s.HotKeyDown = HotKeyUp;
    return {false, false};
  }
  if (!IsHotKeyPress(event, setting)) return {false, false};
  // Auto-repeats belong to the keystroke that started them.
  if (event.keyData & kKeyWasDown) return {false, true};
  // A key-down without the repeat bit is a new keystroke, except where it is
  // the same message met again: an application that peeks (HC_NOREMOVE),
  // perhaps several times, and then takes it (HC_ACTION), all on the one
  // thread whose queue holds it. Met the other way round, taken twice, or on
  // another thread, it is a new keystroke whose predecessor's release went to
  // a thread this hook does not reach.
  const bool peek = event.code == kHookNoRemove;
  const bool sameStroke = s.HotKeyDown == HotKeyPeeked && s.HotKeyThread == event.thread;
  s.HotKeyDown = peek ? HotKeyPeeked : HotKeyTaken;
  s.HotKeyThread = event.thread;
  if (sameStroke) return {false, true};
  return {s.Busy == 0, true};
}
