// The Win32 API as the program sees it. On Windows this is the real thing; on Linux it is
// the small stand-in in platform/posix/, which implements the calls the program makes with
// the behaviour the program relies on (attribute bits, Win32 error numbers, a backslash as
// path separator, scriptable dialogs for tests).
#pragma once

#ifdef _WIN32
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#  include <commctrl.h>
#else
#  include "platform/posix/win32_api.h"
#endif
