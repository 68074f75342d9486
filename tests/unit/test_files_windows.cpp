// File times and the read-only attribute, as the tests check them on Windows.
#include "platform/utf8.h"
#include "tests/unit/test_support.h"

#include <windows.h>

#include <stdexcept>

namespace testing_support {
namespace {

const int64_t kTicksAt1970 = 116444736000000000;

std::wstring Native(const std::string& path) { return WideFromUtf8(path); }

WIN32_FILE_ATTRIBUTE_DATA DataOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Native(path).c_str(), GetFileExInfoStandard, &data))
    throw std::runtime_error("cannot look up " + path);
  return data;
}

int64_t SecondsOf(const FILETIME& t) {
  const int64_t ticks = int64_t(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) - kTicksAt1970;
  return ticks / 10000000 - (ticks % 10000000 < 0 ? 1 : 0);
}

}  // namespace

int64_t ModifiedAt(const std::string& path) { return SecondsOf(DataOf(path).ftLastWriteTime); }
int64_t AccessedAt(const std::string& path) { return SecondsOf(DataOf(path).ftLastAccessTime); }

void SetModifiedAt(const std::string& path, int64_t seconds) {
  const HANDLE file = CreateFileW(Native(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  const uint64_t ticks = uint64_t(seconds * 10000000 + kTicksAt1970);
  const FILETIME t = {DWORD(ticks), DWORD(ticks >> 32)};
  const BOOL set = SetFileTime(file, nullptr, &t, &t);
  CloseHandle(file);
  if (!set) throw std::runtime_error("cannot set times of " + path);
}

void SetReadOnly(const std::string& path, bool readOnly) {
  const DWORD attributes = DataOf(path).dwFileAttributes;
  const DWORD wanted = readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
  if (!SetFileAttributesW(Native(path).c_str(), wanted)) throw std::runtime_error("cannot change " + path);
}

// Wine maps drive Z: to the root of the Linux file system.
std::string FullDevice() { return "Z:\\dev\\full"; }
bool OnWindows() { return true; }

}  // namespace testing_support
