#include "platform/crt.h"
#include "platform/posix/path.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// On paths already translated for POSIX. A file another program has open cannot be
// rewritten or deleted, as on Windows; root on Linux could do both.
FILE* Open(const std::string& p, const char* mode) {
  if (IsMarkedInUse(p) && std::strpbrk(mode, "wa+")) {
    errno = EBUSY;
    return nullptr;
  }
  return ::fopen(p.c_str(), mode);
}

int Remove(const std::string& p) {
  if (IsMarkedInUse(p)) {
    errno = EBUSY;
    return -1;
  }
  return ::remove(p.c_str());
}

}  // namespace

namespace crt {

FILE* wfopen(const wchar_t* path, const char* mode) { return Open(posixpath::TranslateWide(path), mode); }
int wremove(const wchar_t* path) { return Remove(posixpath::TranslateWide(path)); }
int wchdir(const wchar_t* path) { return ::chdir(posixpath::TranslateWide(path).c_str()); }

}  // namespace crt
