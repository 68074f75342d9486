#include "platform/crt.h"
#include "platform/posix/path.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace crt {

FILE* fopen(const char* path, const char* mode) {
  const std::string p = posixpath::Translate(path);
  if (IsMarkedInUse(p) && std::strpbrk(mode, "wa+")) {
    errno = EBUSY;
    return nullptr;
  }
  return ::fopen(p.c_str(), mode);
}

int remove(const char* path) {
  const std::string p = posixpath::Translate(path);
  if (IsMarkedInUse(p)) {
    errno = EBUSY;
    return -1;
  }
  return ::remove(p.c_str());
}

int chdir(const char* path) { return ::chdir(posixpath::Translate(path).c_str()); }

}  // namespace crt
