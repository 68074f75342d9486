// Running a modal dialog from the program's dialog template; one implementation per
// platform (framework/win32/, framework/posix/).
#pragma once

#include "platform/win32_api.h"

// Like DialogBoxParamA: the result given to EndDialog, or -1 if the dialog could not be
// created. A dialog that initialisation ends is never shown.
INT_PTR AfxRunModalDialog(HINSTANCE instance, UINT templateId, HWND parent, DLGPROC proc, LPARAM param);
