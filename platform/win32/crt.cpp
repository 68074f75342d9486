#include "platform/crt.h"

#include <direct.h>
#include <stdio.h>
#include <wchar.h>

namespace crt {

FILE* wfopen(const wchar_t* path, const char* mode) {
  wchar_t wideMode[8] = L"";
  for (size_t i = 0; mode[i] && i + 1 < sizeof wideMode / sizeof wideMode[0]; ++i) wideMode[i] = wchar_t(mode[i]);
  return ::_wfopen(path, wideMode);
}
int wremove(const wchar_t* path) { return ::_wremove(path); }
int wchdir(const wchar_t* path) { return ::_wchdir(path); }

}  // namespace crt
