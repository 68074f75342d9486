// The environment over POSIX, for the native tests and the packager. It keeps what the
// program relies on of Windows where Linux can: Windows' error numbers, a backslash that
// separates folders, the read-only attribute (no write bit) refused to root as well,
// folders that cannot be opened as files, names Windows refuses refused alike. What it
// cannot keep (share modes, names without regard to case, drives, creation times) env.h
// says, and the contract suite skips there.
#include "platform/calendar.h"
#include "platform/env.h"
#include "platform/utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

std::string PosixPath(const std::wstring& path) {
  std::string p = Utf8FromWide(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

// ENOENT names the folder on the way when that is missing too, as Windows does.
SysError ErrorOf(int err, const std::string& path = std::string()) {
  switch (err) {
    case ENOENT: {
      const size_t slash = path.find_last_of('/');
      struct stat st;
      if (slash == std::string::npos || slash == 0) return kSysFileNotFound;
      return stat(path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? kSysFileNotFound
                                                                                  : kSysPathNotFound;
    }
    case ENOTDIR: return kSysPathNotFound;
    case EACCES: case EPERM: case EISDIR: case EROFS: case EBADF: return kSysAccessDenied;
    case EEXIST: return kSysAlreadyExists;
    case ENOSPC: case EDQUOT: case EFBIG: return kSysDiskFull;
    case ENAMETOOLONG: return kSysNameTooLong;
    case ETXTBSY: case EBUSY: return kSysSharingViolation;
    default: return kSysInvalidParameter;
  }
}

// Windows names no file with a control character or one of < > " | ? *.
bool IsWindowsName(const std::string& path) {
  for (const char c : path)
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c)) return false;
  return true;
}

bool IsReadOnly(const struct stat& st) { return !S_ISDIR(st.st_mode) && (st.st_mode & 0222) == 0; }

FileTime TimeOf(const struct timespec& ts) {
  return FileTime(int64_t(ts.tv_sec) * kFileTimeTicksPerSecond + ts.tv_nsec / 100 + kFileTimeTicksAt1970);
}

struct timespec SpecOf(FileTime time) {
  if (time == 0) return timespec{0, UTIME_OMIT};
  const int64_t ticks = int64_t(time) - kFileTimeTicksAt1970;
  int64_t seconds = ticks / kFileTimeTicksPerSecond, rest = ticks % kFileTimeTicksPerSecond;
  if (rest < 0) rest += kFileTimeTicksPerSecond, --seconds;
  return timespec{time_t(seconds), long(rest * 100)};
}

class CPosixReadable : public CReadableFile {
 public:
  CPosixReadable(int fd, bool disk) : m_fd(fd), m_disk(disk) {}
  ~CPosixReadable() override { close(m_fd); }
  SysError Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    while (*got < count) {
      const ssize_t n = read(m_fd, static_cast<char*>(buffer) + *got, count - *got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ErrorOf(errno);
      if (n == 0) break;
      *got += size_t(n);
    }
    return kSysOk;
  }
  SysError Seek(uint64_t position) override {
    return lseek(m_fd, off_t(position), SEEK_SET) < 0 ? ErrorOf(errno) : kSysOk;
  }
  SysError Size(uint64_t* size) override {
    struct stat st;
    if (fstat(m_fd, &st) != 0) return ErrorOf(errno);
    *size = uint64_t(st.st_size);
    return kSysOk;
  }
  bool IsDiskFile() const override { return m_disk; }

 private:
  int m_fd;
  bool m_disk;
};

// What Windows refuses to replace: a folder or a read-only file (5).
SysError Replaceable(const std::string& target) {
  struct stat st;
  return lstat(target.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || IsReadOnly(st)) ? kSysAccessDenied : kSysOk;
}

class CPosixWritable : public CWritableFile {
 public:
  CPosixWritable(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  ~CPosixWritable() override { Close(); }
  SysError Write(const void* data, size_t count) override {
    for (size_t done = 0; done < count;) {
      const ssize_t n = write(m_fd, static_cast<const char*>(data) + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return n == 0 ? kSysDiskFull : ErrorOf(errno);
      done += size_t(n);
    }
    return kSysOk;
  }
  SysError SetTimes(FileTime /*creation: Linux keeps none*/, FileTime access, FileTime write) override {
    const struct timespec times[2] = {SpecOf(access), SpecOf(write)};
    return futimens(m_fd, times) == 0 ? kSysOk : ErrorOf(errno);
  }
  // Closed first: here a full disk may show only at the close.
  SysError CloseInPlaceOf(const std::wstring& target, bool* atClose) override {
    const SysError closed = Close();
    *atClose = closed != kSysOk;
    if (closed != kSysOk) return closed;
    const std::string to = PosixPath(target);
    if (!IsWindowsName(to)) return kSysInvalidName;
    if (const SysError refused = Replaceable(to)) return refused;
    if (rename(m_path.c_str(), to.c_str()) != 0) return errno == EXDEV ? kSysNotSameDevice : ErrorOf(errno, to);
    return kSysOk;
  }
  SysError Close() override {
    if (m_fd < 0) return kSysOk;
    const int rc = close(m_fd);
    m_fd = -1;
    return rc == 0 ? kSysOk : ErrorOf(errno);
  }

 private:
  int m_fd;
  std::string m_path;
};

// Text of `codePage` through iconv, one character at a time where it must say which
// bytes start none.
class CConverter {
 public:
  CConverter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~CConverter() {
    if (Valid()) iconv_close(m_cd);
  }
  bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  bool Convert(const char* in, size_t length, std::string* out) {
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    out->assign(length * 4 + 8, '\0');
    char* src = const_cast<char*>(in);
    char* dst = &(*out)[0];
    size_t left = length, room = out->size();
    if (iconv(m_cd, &src, &left, &dst, &room) == size_t(-1)) return false;
    out->resize(out->size() - room);
    return true;
  }

 private:
  iconv_t m_cd;
};

std::string IconvName(unsigned codePage) { return codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage); }

class CPosixEnv : public CEnv {
 public:
  SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) override {
    const std::string p = PosixPath(path);
    const int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ErrorOf(errno, p);
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      close(fd);
      return kSysAccessDenied;
    }
    file->reset(new CPosixReadable(fd, S_ISREG(st.st_mode)));
    return kSysOk;
  }

  SysError OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) override {
    const std::string p = PosixPath(path);
    if (p.empty()) return kSysPathNotFound;
    if (!IsWindowsName(p)) return kSysInvalidName;
    struct stat st;
    const bool exists = stat(p.c_str(), &st) == 0;
    if (p.back() == '/') return exists ? kSysAccessDenied : kSysInvalidName;
    if (exists && (S_ISDIR(st.st_mode) || IsReadOnly(st)) && mode != CreateMode::kNew) return kSysAccessDenied;
    if (exists && mode != CreateMode::kAlways) return kSysFileExists;
    const int flags = mode != CreateMode::kAlways ? O_WRONLY | O_CREAT | O_EXCL : O_RDWR | O_CREAT | O_TRUNC;
    const int fd = open(p.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? kSysFileExists : ErrorOf(errno, p);
    file->reset(new CPosixWritable(fd, p));
    return kSysOk;
  }

  SysError Remove(const std::wstring& path) override {
    const std::string p = PosixPath(path);
    struct stat st;
    if (lstat(p.c_str(), &st) != 0) return ErrorOf(errno, p);
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return kSysAccessDenied;
    return unlink(p.c_str()) == 0 ? kSysOk : ErrorOf(errno, p);
  }

  SysError LookUp(const std::wstring& path, FileFacts* facts) override {
    if (path.find_first_of(L"?*") != std::wstring::npos) return kSysInvalidName;
    const std::string p = PosixPath(path);
    if (p.empty()) return kSysPathNotFound;
    if (p.back() == '/') return kSysFileNotFound;
    struct stat st;
    if (stat(p.c_str(), &st) != 0) return ErrorOf(errno, p);
    facts->attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory
                                            : kAttributeArchive | (IsReadOnly(st) ? kAttributeReadOnly : 0);
    facts->size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
    facts->writeTime = facts->creationTime = TimeOf(st.st_mtim);
    facts->accessTime = TimeOf(st.st_atim);
    return kSysOk;
  }

  SysError CreateFolder(const std::wstring& path) override {
    const std::string p = PosixPath(path);
    if (p.empty()) return kSysPathNotFound;
    if (!IsWindowsName(p)) return kSysInvalidName;
    if (mkdir(p.c_str(), 0777) == 0) return kSysOk;
    return errno == EEXIST ? kSysAlreadyExists : errno == ENOENT ? kSysPathNotFound : ErrorOf(errno, p);
  }

  SysError RemoveFolder(const std::wstring& path) override {
    const std::string p = PosixPath(path);
    if (p.empty()) return kSysPathNotFound;
    if (rmdir(p.c_str()) == 0) return kSysOk;
    return errno == ENOTEMPTY || errno == EEXIST ? kSysDirectoryNotEmpty
           : errno == ENOTDIR                    ? kSysNotAFolder
                                                 : ErrorOf(errno, p);
  }

  SysError FreeSpace(const std::wstring& path, uint64_t* bytes) override {
    const std::string p = PosixPath(path);
    struct statvfs vfs;
    if (p.empty()) return kSysPathNotFound;
    if (statvfs(p.c_str(), &vfs) != 0) return ErrorOf(errno, p);
    *bytes = uint64_t(vfs.f_bavail) * vfs.f_frsize;
    return kSysOk;
  }

  // Relative to the current folder, joined with a backslash; "." and ".." and doubled
  // separators resolved, each separator kept as written, a trailing one kept.
  SysError FullPath(const std::wstring& path, std::wstring* full) override {
    if (path.empty()) return kSysInvalidName;
    std::wstring whole = path;
    if (path[0] != L'/' && path[0] != L'\\') {
      const SysError error = CurrentFolder(&whole);
      if (error) return error;
      whole += L"\\" + path;
    }
    std::vector<std::wstring> parts;  // each with the separator before it
    for (size_t at = 0; at < whole.size();) {
      const size_t next = whole.find_first_of(L"/\\", at + 1);
      const std::wstring part = whole.substr(at, next - at), name = part.substr(1);
      if (name == L"..") {
        if (!parts.empty()) parts.pop_back();
      } else if (name != L"." && (!name.empty() || next == std::wstring::npos)) {
        parts.push_back(part);
      }
      at = next;
    }
    full->clear();
    for (const std::wstring& part : parts) *full += part;
    if (full->empty()) *full = L"/";
    return kSysOk;
  }

  SysError CurrentFolder(std::wstring* folder) override {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return ErrorOf(errno);
    *folder = WideFromUtf8(cwd);
    return kSysOk;
  }

  SysError SetCurrentFolder(const std::wstring& path) override {
    const std::string p = PosixPath(path);
    return chdir(p.c_str()) == 0 ? kSysOk : ErrorOf(errno, p);
  }

  std::wstring ModulePath() override {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? WideFromUtf8(std::string(path, size_t(n))) : std::wstring();
  }

  std::string CommandLine() override {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string line, argument;
    while (std::getline(in, argument, '\0'))
      line += (line.empty() ? "" : " ") + (argument.find(' ') != std::string::npos ? '"' + argument + '"' : argument);
    return line;
  }

  unsigned AnsiCodePage() override { return 1252; }
  unsigned OemCodePage() override { return 437; }

  std::wstring ToWide(unsigned codePage, std::string_view bytes, bool* exact) override {
    if (exact) *exact = true;
    CConverter toWide("WCHAR_T", IconvName(codePage).c_str());
    std::wstring wide;
    std::string piece;
    for (size_t at = 0; toWide.Valid() && at < bytes.size();) {
      size_t n = 1;
      while (n <= 4 && at + n <= bytes.size() && !(toWide.Convert(bytes.data() + at, n, &piece) && !piece.empty())) ++n;
      if (n > 4 || at + n > bytes.size()) {
        if (exact) *exact = false;
        wide += L'\xFFFD';
        ++at;
        continue;
      }
      wide.append(reinterpret_cast<const wchar_t*>(piece.data()), piece.size() / sizeof(wchar_t));
      at += n;
    }
    return wide;
  }

  std::string FromWide(unsigned codePage, std::wstring_view text, bool* lossless) override {
    if (lossless) *lossless = true;
    CConverter fromWide(IconvName(codePage).c_str(), "WCHAR_T");
    std::string bytes, piece;
    for (size_t i = 0; fromWide.Valid() && i < text.size(); ++i) {
      if (fromWide.Convert(reinterpret_cast<const char*>(&text[i]), sizeof(wchar_t), &piece)) {
        bytes += piece;
        continue;
      }
      bytes += '?';
      if (lossless) *lossless = false;
    }
    return bytes;
  }

  uint32_t NowMilliseconds() override {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
  }

  void Pause(uint32_t milliseconds) override {
    struct timespec pause = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
  }

  SysError DesktopFolder(std::wstring* folder) override {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return kSysFileNotFound;
    *folder = WideFromUtf8(std::string(home) + "/Desktop");
    return kSysOk;
  }

  // A link as the free desktops write one.
  int32_t SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                       const std::wstring& description) override {
    std::ofstream out(PosixPath(shortcut), std::ios::binary | std::ios::trunc);
    out << "[Desktop Entry]\nType=Link\nName=" << Utf8FromWide(description) << "\nURL=file://" << PosixPath(target)
        << "\n";
    out.close();
    return out ? 0 : int32_t(0x80004005);  // E_FAIL
  }

  void Tell(const std::wstring& text) override { std::fprintf(stderr, "%s\n", Utf8FromWide(text).c_str()); }
  bool Ask(const std::wstring& text) override {
    Tell(text);
    return false;
  }
};

}  // namespace

CEnv* CEnv::Default() {
  static CPosixEnv env;
  return &env;
}
