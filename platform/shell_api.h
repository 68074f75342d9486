// The shell and COM calls behind the desktop shortcut: the real ones on Windows, the
// stand-in in platform/posix/ on Linux.
#pragma once

#include "platform/win32_api.h"

#ifdef _WIN32
#  include <objbase.h>
#  include <shlobj.h>
#else
#  include "platform/posix/shell_api.h"
#endif
