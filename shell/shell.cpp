// The run's one shell state record.
#include "shell/shell.h"

ShellState g_shell{};
