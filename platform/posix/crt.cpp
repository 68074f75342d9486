#include "platform/crt.h"
#include "platform/posix/path.h"

#include <unistd.h>

namespace crt {

FILE* fopen(const char* path, const char* mode) {
  return ::fopen(posixpath::Translate(path).c_str(), mode);
}
int remove(const char* path) { return ::remove(posixpath::Translate(path).c_str()); }
int chdir(const char* path) { return ::chdir(posixpath::Translate(path).c_str()); }

}  // namespace crt
