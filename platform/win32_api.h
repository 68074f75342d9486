// The Win32 API, for the code built for Windows only.
#pragma once

#ifndef NOMINMAX
#  define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
