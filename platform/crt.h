// The C run-time calls that take a path. On Windows they are the run-time library's own;
// on Linux the path is translated as the Win32 stand-in does (a backslash separates).
#pragma once

#include <cstdio>

namespace crt {

FILE* fopen(const char* path, const char* mode);
int remove(const char* path);
int chdir(const char* path);

}  // namespace crt
