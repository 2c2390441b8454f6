// What the print job is given of the program's state: the shell owns the
// image, the printer setup and the status window, and printing only uses
// them through this request.
#pragma once

#include "printing/printing_win.h"
#include "shell/shell.h"
#include "shell/status_window.h"

inline PrintRequest PrintRequestOf(ShellState& shell) {
  return PrintRequest{shell.mainWindow,      shell.instance,          shell.statusWindow,
                      ShowStatus,            HideStatus,              shell.statusText,
                      kProductName,          shell.currentImage,      shell.currentPalette,
                      shell.currentFileName, shell.settings.IncFileName != 0,
                      &shell.printerDevNames, &shell.printerDevMode};
}
