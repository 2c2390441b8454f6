// The six tests of the hot-key trigger, in their fixed order.
#include "capture/hotkey.h"

namespace {
constexpr int kHookAction = 0;     // HC_ACTION
constexpr int kHookNoRemove = 3;   // HC_NOREMOVE
}  // namespace

bool IsHotKeyPress(const HotKeyEvent& event, const HotKeySetting& setting) {
  if (event.keyData & 0x80000000u) return false;  // a release
  const bool altDown = (event.keyData & 0x20000000u) != 0;
  if (altDown != (setting.needAlt != 0)) return false;
  if (event.ctrlDown != (setting.needCtrl != 0)) return false;
  if (event.shiftDown != (setting.needShift != 0)) return false;
  if (event.code != kHookAction && event.code != kHookNoRemove) return false;
  return event.virtualKey == kVirtualKeyF1 + setting.keyIndex;
}
