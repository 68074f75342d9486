#include "platform/crt.h"
#include "platform/posix/path.h"
#include "platform/posix/standin_files.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

namespace {
// Files another program holds open without sharing: Windows refuses to delete or to
// rewrite them. Root on Linux can do both, so tests mark such files here.
std::set<std::string> g_inUse;

bool InUse(const std::string& posixPath) { return g_inUse.count(posixPath) != 0; }
}  // namespace

namespace standin {
void MarkInUse(const std::string& windowsPath) { g_inUse.insert(posixpath::Translate(windowsPath.c_str())); }
void ClearInUse() {
  g_inUse.clear();
  ClearHeldFiles();
}
}  // namespace standin

namespace crt {

FILE* fopen(const char* path, const char* mode) {
  const std::string p = posixpath::Translate(path);
  if (InUse(p) && std::strpbrk(mode, "wa+")) {
    errno = EBUSY;
    return nullptr;
  }
  return ::fopen(p.c_str(), mode);
}

int remove(const char* path) {
  const std::string p = posixpath::Translate(path);
  if (InUse(p)) {
    errno = EBUSY;
    return -1;
  }
  return ::remove(p.c_str());
}

int chdir(const char* path) { return ::chdir(posixpath::Translate(path).c_str()); }

}  // namespace crt
