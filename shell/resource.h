// Resource names and command identifiers of SHOTBOX.EXE.
#pragma once

#define IDI_MYICON_NAME "MyIcon"

// System-menu commands. The system's own items keep their identifiers under
// the program's texts; only Capture Setup is new.
#define IDM_CAPTURE_SETUP 0xF121
#define IDM_PRINTER_SETUP 0xF010 /* SC_MOVE */
#define IDM_VIEW_CAPTURE 0xF000  /* SC_SIZE */
#define IDM_HELP 0xF020          /* SC_MINIMIZE */
#define IDM_ABOUT 0xF030         /* SC_MAXIMIZE */
