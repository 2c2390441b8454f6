// Resource names, command and control identifiers of SHOTBOX.EXE, shared by
// the resource script and the code. Plain definitions only: the resource
// compiler reads this file too, and the portable dialog rules use the ids.
// The file dialog's own controls (cmb1, edt1, lst2, ...) keep the platform's
// identifiers from <dlgs.h>.
#pragma once

#define IDI_MYICON_NAME "MyIcon"

// System-menu commands. The system's own items keep their identifiers under
// the program's texts; only Capture Setup is new.
#define IDM_CAPTURE_SETUP 0xF121
#define IDM_PRINTER_SETUP 0xF010 /* SC_MOVE */
#define IDM_VIEW_CAPTURE 0xF000  /* SC_SIZE */
#define IDM_HELP 0xF020          /* SC_MINIMIZE */
#define IDM_ABOUT 0xF030         /* SC_MAXIMIZE */

// Dialog templates, by name.
#define IDD_ABOUT_NAME "About"
#define IDD_CAPTURE_SETUP_NAME "CaptureSetup"
#define IDD_FORMAT_SETUP_NAME "FORMATSETUP"
#define IDD_HELP_NAME "PictrapHelp"

// The help text shown when no SHOTBOX.HLP lies beside the program (RCDATA).
#define IDR_HELP_TEXT_NAME "HelpText"

// About
#define IDC_ABOUT_PRODUCT 101
#define IDC_ABOUT_VERSION 102
#define IDC_ABOUT_COPYRIGHT 103
#define IDC_ABOUT_VIDEO 201
#define IDC_ABOUT_DRIVER 202

// Capture Setup: capture mode radios are IDC_MODE_AREA + Mode.
#define IDC_MODE_AREA 101
#define IDC_MODE_FULL_SCREEN 102
#define IDC_MODE_CLIENT_AREA 103
#define IDC_MODE_WINDOW 104
#define IDC_MODE_OBJECT 105
#define IDC_MODE_DEFINED_SIZE 106
#define IDC_SIZE_WIDTH 107
#define IDC_SIZE_TIMES 108
#define IDC_SIZE_HEIGHT 109
#define IDC_INCLUDE_CURSOR 111
// Hot key radios are IDC_KEY_F1 + Key, F1 to F12.
#define IDC_KEY_F1 201
#define IDC_KEY_F12 212
#define IDC_KEY_ALT 221
#define IDC_KEY_CTRL 222
#define IDC_KEY_SHIFT 223
#define IDC_GREYSCALE 301
#define IDC_INVERT 302
#define IDC_BLACK_WHITE 303
#define IDC_TO_CLIPBOARD 401
#define IDC_TO_PRINTER 402
#define IDC_INC_FILE_NAME 403
#define IDC_TO_DISK 404
#define IDC_DISK_SETUP 405
// The capture delay's list: none, 3, 5, 10 seconds.
#define IDC_DELAY 501

// Disk Saving Setup (the FORMATSETUP file-dialog template)
#define IDC_AUTO_NAMES 100
#define IDC_PREFIX_LABEL 101
#define IDC_PREFIX 102
#define IDC_ASK_NAME 103

// Help window
#define IDC_HELP_TEXT 100
