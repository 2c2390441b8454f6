// The Win32 progress seam's record of Cancel, which the status window keeps
// as it is shown, hidden and pressed.
#pragma once

#include "platform/cancel_book.h"

CancelBook& StatusCancelBook();
