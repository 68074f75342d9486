// The product's shortcut on the user's desktop.
#pragma once

#include "framework/afxstr.h"
#include "platform/shell_api.h"

// Writes <desktop>\<product>.lnk pointing to <directory>\<product>.exe, described as the
// product. Shows nothing. S_OK when the shortcut was saved; the failing code when the
// desktop folder, the shell link object or its persist interface could not be had, the
// shortcut's path does not fit the platform's path limit, or setting the target or
// saving failed.
// The directory is wide text: a folder typed in a script the ANSI code page lacks.
HRESULT CreateDesktopShortcut(CStringW directory, CString productName);
