// The C run-time calls that take a path, in wide text: the ANSI code page may not hold
// it. On Windows they are the run-time library's own; on Linux the path is translated as
// the Win32 stand-in does (a backslash separates).
#pragma once

#include <cstdio>

namespace crt {

FILE* wfopen(const wchar_t* path, const char* mode);
int wremove(const wchar_t* path);
int wchdir(const wchar_t* path);

}  // namespace crt
