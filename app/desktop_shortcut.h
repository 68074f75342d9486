// The product's shortcut on the user's desktop.
#pragma once

#include "framework/afxstr.h"
#include "platform/shell_api.h"

// Writes <desktop>\<product>.lnk pointing to <directory>\<product>.exe, described as the
// product. Shows nothing. S_OK when the shortcut was handed to the shell to save; the
// failing code when the desktop folder, the shell link object or its persist interface
// could not be had, or the shortcut's path does not fit the platform's path limit.
HRESULT CreateDesktopShortcut(CString directory, CString productName);
