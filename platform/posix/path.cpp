#include "platform/posix/path.h"

#include "platform/utf8.h"

#include <cerrno>
#include <sys/stat.h>

namespace posixpath {

std::string Translate(const char* windowsPath) { return TranslateWide(WideOfAnsi(windowsPath).c_str()); }

std::wstring WideOfAnsi(const char* ansi) {
  std::wstring wide;
  const int n = ansi && *ansi ? ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0) : 0;
  if (n <= 1) return wide;
  wide.resize(size_t(n));
  ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], n);
  wide.resize(size_t(n) - 1);
  return wide;
}

std::string AnsiOfWide(const WCHAR* wide) {
  std::string ansi;
  const int n = wide && *wide ? ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr) : 0;
  if (n <= 1) return ansi;
  ansi.resize(size_t(n));
  ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &ansi[0], n, nullptr, nullptr);
  ansi.resize(size_t(n) - 1);
  return ansi;
}

std::string TranslateWide(const WCHAR* windowsPath) {
  std::string p = windowsPath ? Utf8Of(windowsPath) : "";
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

std::string Utf8Of(const WCHAR* text) { return text ? Utf8FromWide(text) : std::string(); }

DWORD ErrorFromErrno(int err, const std::string& posixPath) {
  switch (err) {
    case ENOENT: {
      const auto slash = posixPath.find_last_of('/');
      if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
      struct stat st;
      const std::string parent = posixPath.substr(0, slash);
      return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                    : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ETXTBSY:
    case EBUSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_INVALID_PARAMETER;
  }
}

}  // namespace posixpath
