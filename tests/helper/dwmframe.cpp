// DWMFRAME.DLL: copied into a test prefix's system folder as dwmapi.dll, it
// answers the extended frame bounds with the window's client area, a
// rectangle the tests know and that differs from the window rectangle.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DwmGetWindowAttribute(HWND window, DWORD attribute, void* value,
                                                                      DWORD size) {
  RECT* r = static_cast<RECT*>(value);
  if (attribute != 9 || size != sizeof(RECT) || !GetClientRect(window, r)) return E_INVALIDARG;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(r), 2);
  return S_OK;
}
