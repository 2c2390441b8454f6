// Resource names of SHOTBOX.EXE.
#pragma once

#define IDI_MYICON_NAME "MyIcon"
