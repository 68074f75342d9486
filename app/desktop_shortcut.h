// The product's shortcut on the user's desktop.
#pragma once

#include "framework/afxstr.h"

#include <cstdint>

// Writes <desktop>\<product>.lnk pointing to <directory>\<product>.exe, described as the
// product. Shows nothing. 0 when the shortcut was saved; a failing COM result when the
// desktop folder, the shell link object or its persist interface could not be had, the
// shortcut's path does not fit the platform's path limit, or setting the target or
// saving failed.
// The directory is wide text: a folder typed in a script the ANSI code page lacks.
int32_t CreateDesktopShortcut(CStringW directory, CString productName);
