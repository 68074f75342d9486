// Path and error helpers shared by the POSIX stand-ins.
#pragma once

#include "platform/posix/win32_api.h"

#include <string>

namespace posixpath {

// A Windows path as the program builds it, for the POSIX calls: read in the ANSI code
// page as Windows reads it (so that the ANSI and the wide calls name the same file), then
// as TranslateWide.
std::string Translate(const char* windowsPath);

// ANSI text in the active code page as wide text, and back ('?' for what it lacks).
std::wstring WideOfAnsi(const char* ansi);
std::string AnsiOfWide(const WCHAR* wide);

// A wide Windows path for the POSIX calls: its UTF-8 form (Linux file names are UTF-8
// text), each backslash a slash.
std::string TranslateWide(const WCHAR* windowsPath);

// Wide text (UTF-32 here) as UTF-8; empty for null.
std::string Utf8Of(const WCHAR* text);

// The Win32 error number for an errno from a call on `posixPath`. ENOENT gives
// ERROR_PATH_NOT_FOUND when the parent directory is missing too, as on Windows.
DWORD ErrorFromErrno(int err, const std::string& posixPath);

}  // namespace posixpath

// Files another program has open (standin::MarkInUse): the C library stand-in refuses to
// delete or rewrite them, as the files stand-in does.
bool IsMarkedInUse(const std::string& posixPath);
