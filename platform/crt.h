// The C run-time calls that take a path. On Windows they are the run-time library's own;
// on Linux the path is translated as the Win32 stand-in does (a backslash separates).
#pragma once

#include <cstdio>

namespace crt {

FILE* fopen(const char* path, const char* mode);
int remove(const char* path);
int chdir(const char* path);
// The same for wide paths, which the ANSI code page may not hold.
FILE* wfopen(const wchar_t* path, const char* mode);
int wremove(const wchar_t* path);
int wchdir(const wchar_t* path);

}  // namespace crt
