// CTL3D32 by ordinal, looked up once when the program starts.
#include "platform/ctl3d_win.h"

#include "platform/system_library_win.h"

namespace {

using RegisterFn = BOOL(WINAPI*)(HINSTANCE);
using ColorChangeFn = BOOL(WINAPI*)();
using SubclassDlgFn = BOOL(WINAPI*)(HWND, WORD);

struct Ctl3dLibrary {
  HMODULE module;
  SubclassDlgFn subclassDlg;  // ordinal 2
  ColorChangeFn colorChange;  // ordinal 6
  RegisterFn registerApp;     // ordinal 12
  RegisterFn unregisterApp;   // ordinal 13
  RegisterFn autoSubclass;    // ordinal 16
};

Ctl3dLibrary g_ctl3d{};

template <typename Fn>
Fn ByOrdinal(HMODULE module, WORD ordinal) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

}  // namespace

void Ctl3dStart(HINSTANCE instance) {
  if (g_ctl3d.module != nullptr) return;
  HMODULE module = LoadSystemLibrary("CTL3D32.DLL");
  if (module == nullptr) return;
  g_ctl3d = Ctl3dLibrary{module,
                         ByOrdinal<SubclassDlgFn>(module, 2),
                         ByOrdinal<ColorChangeFn>(module, 6),
                         ByOrdinal<RegisterFn>(module, 12),
                         ByOrdinal<RegisterFn>(module, 13),
                         ByOrdinal<RegisterFn>(module, 16)};
  if (g_ctl3d.registerApp != nullptr) g_ctl3d.registerApp(instance);
  if (g_ctl3d.autoSubclass != nullptr) g_ctl3d.autoSubclass(instance);
}

void Ctl3dColorChange() {
  if (g_ctl3d.colorChange != nullptr) g_ctl3d.colorChange();
}

void Ctl3dSubclassDialog(HWND dialog, WORD types) {
  if (g_ctl3d.subclassDlg != nullptr) g_ctl3d.subclassDlg(dialog, types);
}

void Ctl3dStop(HINSTANCE instance) {
  if (g_ctl3d.module == nullptr) return;
  if (g_ctl3d.unregisterApp != nullptr) g_ctl3d.unregisterApp(instance);
  FreeLibrary(g_ctl3d.module);
  g_ctl3d = Ctl3dLibrary{};
}

bool Ctl3dPresent() { return g_ctl3d.module != nullptr; }
