// Small file-system queries on paths given as the user or the program typed them.
#pragma once

#include "framework/afxstr.h"
#include "platform/win32_api.h"

// 1 when the path names an existing file or directory.
int FileExists(const CString& path);
// 1 when the path names an existing directory.
int DirectoryExists(const CString& path);
// Deletes the file if it exists; silently.
void DeleteIfExists(const CString& path);
// The path made absolute against the current directory, as the platform does it; the
// path as given when that fails (an empty one, say).
CString FullPathOf(const CString& path);
