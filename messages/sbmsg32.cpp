// SBMSG32.DLL: shows the sentence for a status code in a modal message box.
#include "messages/sbmsg32.h"

#include "messages/error_text.h"
#include "messages/message_box_place_win.h"

extern "C" void WINAPI ShowError(const char* caption, DWORD code) {
  char text[160];
  FormatErrorSentence(code, text, sizeof text);
  HWND owner = GetActiveWindow();
  // With no active window of ours the box is still modal to the thread's
  // windows, so the caller cannot go on until it is dismissed.
  UINT style = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND;
  if (owner == nullptr) style |= MB_TASKMODAL;
  const MessageBoxPlacement placed;
  MessageBoxA(owner, text, caption != nullptr ? caption : "", style);
}
