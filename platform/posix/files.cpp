// Win32 file and time calls over POSIX, with the behaviour the program relies on:
// a backslash separates path components, a name that ends in a separator is not found
// by FindFirstFileA, directories cannot be opened as files, and failures leave the
// Win32 error number that Windows would give in GetLastError.
//
// Names with characters Windows does not allow are refused as it refuses them.
//
// Not reproduced: share modes (Linux has no mandatory locking; tests hold a file with
// standin::HoldWithoutSharing or standin::MarkInUse instead), case-insensitive names,
// wildcards in FindFirstFileA (the program never passes one), and the creation time,
// which Linux cannot set.
#include "platform/calendar.h"
#include "platform/code_page.h"
#include "platform/posix/path.h"
#include "platform/utf8.h"
#include "platform/posix/standin_files.h"
#include "platform/posix/win32_api.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DWORD g_lastError = ERROR_SUCCESS;

// Files another program holds open without sharing: how many more opens fail (-1: all).
std::map<std::string, int> g_held;
// Files another program has open, sharing reads only: Windows refuses to delete, rename,
// replace or rewrite them. Root on Linux can do all of that, so tests mark such files.
std::set<std::string> g_inUse;
int g_sharingViolations = 0;
unsigned long g_slept = 0;

bool RefusedAsHeld(const std::string& posixPath) {
  const auto held = g_held.find(posixPath);
  if (held == g_held.end() || held->second == 0) return false;
  if (held->second > 0) --held->second;
  ++g_sharingViolations;
  return true;
}

// Open in another program now: a held file counts while opens of it are still refused.
bool OpenElsewhere(const std::string& posixPath) {
  const auto held = g_held.find(posixPath);
  return g_inUse.count(posixPath) != 0 || (held != g_held.end() && held->second != 0);
}

// The read-only attribute is the absence of every write bit. Windows honours it whoever
// asks, where Linux lets root write anyway.
bool IsReadOnly(const struct stat& st) { return !S_ISDIR(st.st_mode) && (st.st_mode & 0222) == 0; }

// What a HANDLE points to. The magic tells file handles from find handles and catches
// a stale or foreign pointer in tests.
struct PosixHandle {
  enum Kind : uint32_t { kFile = 0x46494c45, kFind = 0x46494e44 } kind;
  int fd;
};

PosixHandle* AsFile(HANDLE h) {
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
  auto* p = static_cast<PosixHandle*>(h);
  return p->kind == PosixHandle::kFile ? p : nullptr;
}

BOOL Fail(DWORD error) {
  g_lastError = error;
  return FALSE;
}

FILETIME ToFileTime(const struct timespec& ts) {
  return FileTimeFromTicksSince1970(int64_t(ts.tv_sec) * kFileTimeTicksPerSecond + ts.tv_nsec / 100);
}

struct timespec FromFileTime(const FILETIME& ft) {
  const int64_t v = TicksSince1970Of(ft);
  struct timespec ts;
  ts.tv_sec = v / kFileTimeTicksPerSecond;
  ts.tv_nsec = (v % kFileTimeTicksPerSecond) * 100;
  if (ts.tv_nsec < 0) { ts.tv_nsec += 1000000000L; ts.tv_sec -= 1; }
  return ts;
}

// Moves up to `count` bytes by calling `io(bytes done so far)` (a read or a write) until
// all are moved or it returns 0, the end of a file; interrupted calls are repeated. False
// with errno set when a call fails.
template <typename Io>
bool TransferAll(DWORD count, DWORD* done, Io io) {
  while (*done < count) {
    const ssize_t n = io(*done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    *done += DWORD(n);
  }
  return true;
}

// The Win32 error of a failed read or write: a handle opened without that access gives
// EBADF on Linux, where Windows denies access.
DWORD TransferError() { return errno == EBADF ? ERROR_ACCESS_DENIED : posixpath::ErrorFromErrno(errno, ""); }

// Windows names no file with a control character or one of < > " | ? * (Linux would):
// such a path is refused as an invalid name.
bool IsValidWindowsPath(const std::string& posixPath) {
  for (const char c : posixPath)
    if ((unsigned char)c < 0x20 || std::strchr("<>\"|?*", c)) return false;
  return true;
}

DWORD AttributesOf(const struct stat& st);

// What a lookup tells of a file: attributes, size, times (Linux has no creation time:
// the last write stands in).
template <typename Data>
void Describe(const struct stat& st, Data* data) {
  data->dwFileAttributes = AttributesOf(st);
  const uint64_t size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
  data->nFileSizeHigh = DWORD(size >> 32);
  data->nFileSizeLow = DWORD(size);
  data->ftCreationTime = ToFileTime(st.st_mtim);
  data->ftLastAccessTime = ToFileTime(st.st_atim);
  data->ftLastWriteTime = ToFileTime(st.st_mtim);
}

DWORD AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD a = FILE_ATTRIBUTE_ARCHIVE;
  if (IsReadOnly(st)) a |= FILE_ATTRIBUTE_READONLY;
  return a;
}

}  // namespace

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD error) { g_lastError = error; }
void Sleep(DWORD milliseconds) { g_slept += milliseconds; }

bool IsMarkedInUse(const std::string& posixPath) { return g_inUse.count(posixPath) != 0; }

namespace standin {
void MarkInUse(const std::string& windowsPath) { g_inUse.insert(posixpath::Translate(windowsPath.c_str())); }
void HoldWithoutSharing(const std::string& windowsPath, int opens) {
  g_held[posixpath::Translate(windowsPath.c_str())] = opens;
}
int SharingViolations() { return g_sharingViolations; }
unsigned long MillisecondsSlept() { return g_slept; }
void ClearInUse() {
  g_held.clear();
  g_inUse.clear();
  g_sharingViolations = 0;
  g_slept = 0;
}
}  // namespace standin

HANDLE FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data) {
  const std::string p = posixpath::TranslateWide(path);
  // Windows looks a name up as given: "dir\" names nothing.
  if (p.empty() || p.back() == '/') {
    g_lastError = p.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (stat(p.c_str(), &st) != 0) {
    g_lastError = posixpath::ErrorFromErrno(errno, p);
    return INVALID_HANDLE_VALUE;
  }
  std::memset(data, 0, sizeof *data);
  Describe(st, data);
  const std::wstring base = WideFromUtf8(p.substr(p.find_last_of('/') + 1));
  std::wcsncpy(data->cFileName, base.c_str(), MAX_PATH - 1);
  return new PosixHandle{PosixHandle::kFind, -1};
}

BOOL FindClose(HANDLE find) {
  auto* p = static_cast<PosixHandle*>(find);
  if (find == nullptr || find == INVALID_HANDLE_VALUE || p->kind != PosixHandle::kFind)
    return Fail(ERROR_INVALID_HANDLE);
  delete p;
  return TRUE;
}

namespace {

// CreateFile on a path already translated for POSIX.
HANDLE OpenFile(const std::string& p, DWORD access, DWORD disposition) {
  if (p.empty()) {
    g_lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  if (!IsValidWindowsPath(p)) {
    g_lastError = ERROR_INVALID_NAME;
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  const bool reads = access & GENERIC_READ, writes = access & GENERIC_WRITE;
  flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: g_lastError = ERROR_INVALID_PARAMETER; return INVALID_HANDLE_VALUE;
  }
  // A trailing separator names a directory, which is no file.
  if (p.back() == '/') {
    struct stat st;
    g_lastError = stat(p.c_str(), &st) == 0 ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME;
    return INVALID_HANDLE_VALUE;
  }
  // A program that has the file open shares reading at most.
  if (RefusedAsHeld(p) || (writes && g_inUse.count(p))) {
    g_lastError = ERROR_SHARING_VIOLATION;
    return INVALID_HANDLE_VALUE;
  }
  // Windows refuses to write to or truncate a read-only file; checked before open truncates.
  if (writes && disposition != CREATE_NEW) {
    struct stat st;
    if (stat(p.c_str(), &st) == 0 && IsReadOnly(st)) {
      g_lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
  }
  // "Always" dispositions report whether the file was there already. Trying to create it
  // exclusively first tells that without a separate look-up: one call for a new file.
  bool existed = false;
  int fd = -1;
  if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) {
    fd = open(p.c_str(), (flags & ~(O_TRUNC)) | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
      existed = true;
      fd = open(p.c_str(), flags & ~O_CREAT, 0666);
    }
  } else {
    fd = open(p.c_str(), flags, 0666);
  }
  if (fd < 0) {
    g_lastError = errno == EEXIST ? ERROR_FILE_EXISTS : posixpath::ErrorFromErrno(errno, p);
    return INVALID_HANDLE_VALUE;
  }
  // Windows refuses to open a directory without backup semantics; Linux opens one for
  // reading. (For writing, open has failed with EISDIR already.)
  if (!(access & GENERIC_WRITE)) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      close(fd);
      g_lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
  }
  g_lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
  return new PosixHandle{PosixHandle::kFile, fd};
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD /*share: not enforced on Linux*/,
                   LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD /*flags*/, HANDLE) {
  return OpenFile(posixpath::Translate(path), access, disposition);
}

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD /*share: not enforced on Linux*/,
                   LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD /*flags*/, HANDLE) {
  return OpenFile(posixpath::TranslateWide(path), access, disposition);
}

// Looks a name up as given, without patterns: "?" and "*" are characters of the name.
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID out) {
  if (level != GetFileExInfoStandard || !out) return Fail(ERROR_INVALID_PARAMETER);
  const std::string p = posixpath::TranslateWide(path);
  if (p.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  struct stat st;
  // A trailing separator asks for a directory; Windows finds one that way.
  if (stat(p.c_str(), &st) != 0) return Fail(posixpath::ErrorFromErrno(errno, p));
  if (p.back() == '/' && !S_ISDIR(st.st_mode)) return Fail(ERROR_INVALID_NAME);
  auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(out);
  Describe(st, data);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  const std::string p = posixpath::TranslateWide(path);
  if (p.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return Fail(posixpath::ErrorFromErrno(errno, p));
  // No directory goes this way, nor a read-only file, nor one open in another program.
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
  if (OpenElsewhere(p)) return Fail(ERROR_SHARING_VIOLATION);
  if (unlink(p.c_str()) != 0) return Fail(posixpath::ErrorFromErrno(errno, p));
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR newName, DWORD flags) {
  const std::string from = posixpath::TranslateWide(existing), to = posixpath::TranslateWide(newName);
  if (from.empty() || to.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (!IsValidWindowsPath(to)) return Fail(ERROR_INVALID_NAME);
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Fail(posixpath::ErrorFromErrno(errno, from));
  if (OpenElsewhere(from)) return Fail(ERROR_SHARING_VIOLATION);
  if (lstat(to.c_str(), &st) == 0) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    // Replacing deletes the target: Windows refuses a directory, a read-only file and a
    // file open in another program alike, with access denied (Wine too).
    if (S_ISDIR(st.st_mode) || IsReadOnly(st) || OpenElsewhere(to)) return Fail(ERROR_ACCESS_DENIED);
  }
  // Without MOVEFILE_COPY_ALLOWED a file stays on its volume.
  if (rename(from.c_str(), to.c_str()) != 0)
    return Fail(errno == EXDEV ? ERROR_NOT_SAME_DEVICE : posixpath::ErrorFromErrno(errno, to));
  return TRUE;
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
  return MoveFileExW(posixpath::WideOfAnsi(existing).c_str(), posixpath::WideOfAnsi(newName).c_str(), flags);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
  PosixHandle* h = AsFile(file);
  if (!h) { g_lastError = ERROR_INVALID_HANDLE; return INVALID_SET_FILE_POINTER; }
  int64_t offset = distanceHigh ? int64_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distance))
                                : int64_t(distance);
  const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
                   : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) { g_lastError = ERROR_INVALID_PARAMETER; return INVALID_SET_FILE_POINTER; }
  const off_t base = whence == SEEK_SET ? 0 : lseek(h->fd, 0, whence);
  if (base < 0) { g_lastError = posixpath::ErrorFromErrno(errno, ""); return INVALID_SET_FILE_POINTER; }
  if (int64_t(base) + offset < 0) { g_lastError = ERROR_NEGATIVE_SEEK; return INVALID_SET_FILE_POINTER; }
  const off_t pos = lseek(h->fd, off_t(int64_t(base) + offset), SEEK_SET);
  if (pos < 0) { g_lastError = posixpath::ErrorFromErrno(errno, ""); return INVALID_SET_FILE_POINTER; }
  if (distanceHigh) *distanceHigh = LONG(uint64_t(pos) >> 32);
  g_lastError = ERROR_SUCCESS;
  return DWORD(uint64_t(pos));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED) {
  PosixHandle* h = AsFile(file);
  if (read) *read = 0;
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  // A disk read on Windows returns everything asked for up to the end of the file.
  DWORD done = 0;
  const bool ok = TransferAll(count, &done, [&](DWORD at) { return ::read(h->fd, static_cast<char*>(buffer) + at, count - at); });
  if (!ok) return Fail(TransferError());
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED) {
  PosixHandle* h = AsFile(file);
  if (written) *written = 0;
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  DWORD done = 0;
  const bool ok =
      TransferAll(count, &done, [&](DWORD at) { return ::write(h->fd, static_cast<const char*>(buffer) + at, count - at); });
  if (written) *written = done;
  return ok ? TRUE : Fail(TransferError());
}

BOOL CloseHandle(HANDLE handle) {
  PosixHandle* h = AsFile(handle);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  const int rc = close(h->fd);
  delete h;
  return rc == 0 ? TRUE : Fail(posixpath::ErrorFromErrno(errno, ""));
}

DWORD GetFileType(HANDLE file) {
  PosixHandle* h = AsFile(file);
  struct stat st;
  if (!h || fstat(h->fd, &st) != 0) { g_lastError = ERROR_INVALID_HANDLE; return FILE_TYPE_UNKNOWN; }
  g_lastError = ERROR_SUCCESS;
  if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

BOOL SetFileTime(HANDLE file, const FILETIME* /*creation: Linux cannot set it*/,
                 const FILETIME* access, const FILETIME* write) {
  PosixHandle* h = AsFile(file);
  if (!h) return Fail(ERROR_INVALID_HANDLE);
  struct timespec ts[2];
  ts[0] = access ? FromFileTime(*access) : timespec{0, UTIME_OMIT};
  ts[1] = write ? FromFileTime(*write) : timespec{0, UTIME_OMIT};
  if (futimens(h->fd, ts) != 0) return Fail(posixpath::ErrorFromErrno(errno, ""));
  return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write) {
  PosixHandle* h = AsFile(file);
  struct stat st;
  if (!h || fstat(h->fd, &st) != 0) return Fail(ERROR_INVALID_HANDLE);
  if (creation) *creation = ToFileTime(st.st_mtim);
  if (access) *access = ToFileTime(st.st_atim);
  if (write) *write = ToFileTime(st.st_mtim);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  std::string p = posixpath::TranslateWide(path);
  if (p.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (!IsValidWindowsPath(p)) return Fail(ERROR_INVALID_NAME);
  if (mkdir(p.c_str(), 0777) == 0) return TRUE;
  return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : posixpath::ErrorFromErrno(errno, p));
}

namespace {

// As the calls that fill a buffer of `size` characters do: the length without the
// terminator when it fits, else the size needed with it.
template <typename Char>
DWORD Deliver(const std::basic_string<Char>& text, DWORD size, Char* buffer) {
  const DWORD length = DWORD(text.size());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, text.c_str(), (length + 1) * sizeof(Char));
  return length;
}

bool CurrentDirectory(std::wstring* wide) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) {
    g_lastError = posixpath::ErrorFromErrno(errno, "");
    return false;
  }
  *wide = WideFromUtf8(cwd);
  return true;
}

}  // namespace

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  std::wstring cwd;
  return CurrentDirectory(&cwd) ? Deliver(cwd, size, buffer) : 0;
}

// A relative name is joined to the current directory with a backslash, its "." and ".."
// components resolved, a trailing separator kept; an absolute one (a leading separator or
// a drive) is taken as it is. Windows would also tidy absolute names, which the program
// never relies on.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
  if (filePart) *filePart = nullptr;
  const std::wstring n = name ? name : L"";
  if (n.empty()) {
    g_lastError = ERROR_INVALID_NAME;
    return 0;
  }
  const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  std::wstring full;
  if (isSeparator(n[0]) || (n.size() >= 2 && n[1] == L':')) {
    full = n;
  } else {
    if (!CurrentDirectory(&full)) return 0;
    size_t start = 0;
    for (size_t i = 0;; ++i) {
      if (i < n.size() && !isSeparator(n[i])) continue;
      const std::wstring component = n.substr(start, i - start);
      if (component == L"..") {
        const size_t last = full.find_last_of(L"\\/");
        if (last != std::wstring::npos && last > 0) full.erase(last);
      } else if (!component.empty() && component != L".") {
        full += L"\\" + component;
      }
      if (i >= n.size()) break;
      start = i + 1;
    }
    if (isSeparator(n.back())) full += L"\\";
  }
  return Deliver(full, size, buffer);
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
  const std::string p = posixpath::TranslateWide(path);
  if (p.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (chdir(p.c_str()) != 0) return Fail(posixpath::ErrorFromErrno(errno, p));
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, LPFILETIME ft) {
  if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 ||
      st->wSecond > 59 || st->wMilliseconds > 999)
    return Fail(ERROR_INVALID_PARAMETER);
  const int64_t secs = UnixTimeFromCivil(CivilTime{st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond});
  *ft = FileTimeFromTicksSince1970(secs * kFileTimeTicksPerSecond + st->wMilliseconds * 10000LL);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (ft->dwHighDateTime >= 0x80000000u) return Fail(ERROR_INVALID_PARAMETER);
  const int64_t ticks = TicksSince1970Of(*ft);
  int64_t secs = ticks / kFileTimeTicksPerSecond, rem = ticks % kFileTimeTicksPerSecond;
  if (rem < 0) { rem += kFileTimeTicksPerSecond; secs -= 1; }
  const CivilTime t = CivilFromUnixTime(secs);
  int64_t days = secs / 86400;
  if (secs % 86400 < 0) days -= 1;
  st->wYear = WORD(t.year);
  st->wMonth = WORD(t.month);
  st->wDay = WORD(t.day);
  st->wDayOfWeek = WORD(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday (4)
  st->wHour = WORD(t.hour);
  st->wMinute = WORD(t.minute);
  st->wSecond = WORD(t.second);
  st->wMilliseconds = WORD(rem / 10000);
  return TRUE;
}

BOOL DosDateTimeToFileTime(WORD date, WORD time, LPFILETIME ft) {
  SYSTEMTIME st{};
  st.wYear = WORD(1980 + (date >> 9));
  st.wMonth = WORD((date >> 5) & 0x0F);
  st.wDay = WORD(date & 0x1F);
  st.wHour = WORD(time >> 11);
  st.wMinute = WORD((time >> 5) & 0x3F);
  st.wSecond = WORD((time & 0x1F) * 2);
  // Windows rejects a stamp whose fields are out of range (month 0, day 0, second 60...).
  return SystemTimeToFileTime(&st, ft);
}
