// File times and the read-only attribute, as the tests check them on Linux.
#include "tests/unit/test_support.h"

#include <algorithm>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace testing_support {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

struct stat StatOf(const std::string& path) {
  struct stat st;
  if (stat(Native(path).c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
  return st;
}

}  // namespace

int64_t ModifiedAt(const std::string& path) { return int64_t(StatOf(path).st_mtim.tv_sec); }
int64_t AccessedAt(const std::string& path) { return int64_t(StatOf(path).st_atim.tv_sec); }

void SetModifiedAt(const std::string& path, int64_t seconds) {
  const struct timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
  if (utimensat(AT_FDCWD, Native(path).c_str(), times, 0) != 0) throw std::runtime_error("cannot set times of " + path);
}

void SetReadOnly(const std::string& path, bool readOnly) {
  const mode_t mode = StatOf(path).st_mode & 07777;
  if (chmod(Native(path).c_str(), readOnly ? mode & ~0222 : mode | 0200) != 0)
    throw std::runtime_error("cannot change the mode of " + path);
}

std::string FullDevice() { return "/dev/full"; }
bool OnWindows() { return false; }

}  // namespace testing_support
