// What the setup program needs of the system it runs on, in its own words: files,
// folders, its own file and command line, the code pages, the clock, the desktop and its
// shortcuts, and the user's messages. Windows gives it through the Win32 calls
// (env_windows.cpp, the only place that makes them); Linux through POSIX
// (env_posix.cpp), for the native tests and the packager. Tests wrap an environment
// (CEnvWrapper) to inject faults, never imitate the system.
//
// Paths are wide text (UTF-16 on Windows, UTF-32 on Linux), for the wide calls: a folder
// typed in a script the ANSI code page lacks is the folder typed. A backslash separates
// folders; on Linux a slash does too, and a wide path is the UTF-8 file name.
//
// Failures give the system's error number, as Windows numbers them, since messages show
// it ("Last error 5"); Linux maps its errno to the same numbers. 0 is success.
//
// Where Linux cannot be Windows, a contract says so, and the contract suite skips that
// case there: share modes (no mandatory locking), names that differ only in case, drive
// letters and UNC paths, trailing dots and spaces (Windows drops them), creation times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using SysError = uint32_t;
constexpr SysError kSysOk = 0;
constexpr SysError kSysFileNotFound = 2;
constexpr SysError kSysPathNotFound = 3;
constexpr SysError kSysAccessDenied = 5;
constexpr SysError kSysNotSameDevice = 17;
constexpr SysError kSysSharingViolation = 32;
constexpr SysError kSysEndOfFile = 38;
constexpr SysError kSysFileExists = 80;
constexpr SysError kSysInvalidParameter = 87;
constexpr SysError kSysDiskFull = 112;
constexpr SysError kSysInvalidName = 123;
constexpr SysError kSysAlreadyExists = 183;
constexpr SysError kSysDirectoryNotEmpty = 145;
constexpr SysError kSysNameTooLong = 206;
constexpr SysError kSysNotAFolder = 267;

// The longest path the file calls take, its terminator included.
constexpr size_t kMaxPath = 260;

// 100-ns intervals since 1601-01-01 00:00:00 UTC; 0 stands for no time at all.
using FileTime = uint64_t;

// Attribute bits as Windows has them.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeSystem = 0x04;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeNormal = 0x80;

struct FileFacts {
  uint32_t attributes = 0;
  uint64_t size = 0;  // 0 for a folder
  FileTime creationTime = 0, accessTime = 0, writeTime = 0;
};

// A file open for reading, closed when it goes.
class CReadableFile {
 public:
  virtual ~CReadableFile() = default;
  // Up to `count` bytes from the position on; fewer only at the end of the file, none
  // behind it.
  virtual SysError Read(void* buffer, size_t count, size_t* got) = 0;
  // The position, from the file's start; any 64-bit one.
  virtual SysError Seek(uint64_t position) = 0;
  virtual SysError Size(uint64_t* size) = 0;
  // A file on a disk, which can be positioned: not a pipe or a device.
  virtual bool IsDiskFile() const = 0;
};

// A file open for writing. Closing it is asked for: for a file that was written, a full
// disk may show only there. One that goes unclosed is closed without a word.
class CWritableFile {
 public:
  virtual ~CWritableFile() = default;
  // Every byte or an error: a write that takes fewer is a full disk (112).
  virtual SysError Write(const void* data, size_t count) = 0;
  // Creation, last access and last write time; 0 leaves that time as it is. Linux keeps
  // no creation time and leaves it alone.
  virtual SysError SetTimes(FileTime creation, FileTime access, FileTime write) = 0;
  virtual SysError Close() = 0;
  // Closes the file and puts it in the place of `target`, on the same volume, in one step
  // that replaces a file there; only for a file opened with kNew. 5 when `target` is
  // read-only or a folder, 32 when another program holds it (Windows only). On an error
  // `target` is as it was and the file, closed, where it was written; *atClose says
  // whether the close failed (a full disk), not the replace.
  virtual SysError CloseInPlaceOf(const std::wstring& target, bool* atClose) = 0;
};

enum class CreateMode {
  kNew,     // a file that must not exist yet (80 when it does); shared with nobody
  kAlways,  // created, or emptied if it is there, shared for reading and writing
  // As kNew for a file that is not there. One that is, is only looked at: 80 when it is
  // a file that may be replaced, 5 when it is read-only or a folder. One look-up of the
  // name where a new file that may replace another would take two; whether another
  // program holds the file shows when it is replaced (CloseInPlaceOf).
  kNewElseLookUp,
};

class CEnv {
 public:
  virtual ~CEnv() = default;
  // The system's own environment, for the program's lifetime.
  static CEnv* Default();

  // ---- files ----
  // Opens an existing file for reading, sharing reading only. 2 for a missing file, 3
  // for a missing folder on the way, 5 for a folder, 32 when another program holds it
  // without sharing reading (Windows only).
  virtual SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) = 0;
  // Creates a file for writing. 5 for a read-only file or a folder of that name, 32 for a
  // file another program holds (Windows only), 123 for a name no file can have.
  virtual SysError OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) = 0;
  // Deletes a file: 2 when there is none, 5 for a read-only file or a folder.
  virtual SysError Remove(const std::wstring& path) = 0;
  // Looks one name up, as given: never as a pattern ('?' and '*' are no characters of
  // any name: 123), and a path that ends in a separator names nothing (2).
  virtual SysError LookUp(const std::wstring& path, FileFacts* facts) = 0;

  // ---- folders ----
  // One folder: 183 when it exists, 3 when its parent does not.
  virtual SysError CreateFolder(const std::wstring& path) = 0;
  // Deletes a folder that holds nothing: 145 when it holds anything, 2 when there is
  // none, 267 for a file.
  virtual SysError RemoveFolder(const std::wstring& path) = 0;
  // The bytes this user may still write on the volume that holds the folder `path`, which
  // must exist (an error when it does not).
  virtual SysError FreeSpace(const std::wstring& path, uint64_t* bytes) = 0;
  // The path made absolute against the current folder, "." and ".." resolved, as the
  // system reads it; 123 for an empty one.
  virtual SysError FullPath(const std::wstring& path, std::wstring* full) = 0;
  virtual SysError CurrentFolder(std::wstring* folder) = 0;
  virtual SysError SetCurrentFolder(const std::wstring& path) = 0;

  // ---- the process ----
  // The file the program was started from, in full; empty when unknown.
  virtual std::wstring ModulePath() = 0;
  // The command line as the program was given it, in the ANSI code page.
  virtual std::string CommandLine() = 0;

  // ---- code pages ----
  // The ANSI code page (1252 on Linux, which has none).
  virtual unsigned AnsiCodePage() = 0;
  // The OEM code page, of DOS and of the names Windows' own archivers store (437 on
  // Linux: a Western system's).
  virtual unsigned OemCodePage() = 0;
  // Bytes of `codePage` as wide text; a byte that starts no character becomes U+FFFD or
  // the code page's own replacement, and sets *exact to false.
  virtual std::wstring ToWide(unsigned codePage, std::string_view bytes, bool* exact = nullptr) = 0;
  // Wide text in `codePage`: '?' for a character it lacks (never a look-alike: an 'e'
  // for an 'ё' would name another file), which sets *lossless to false.
  virtual std::string FromWide(unsigned codePage, std::wstring_view text, bool* lossless = nullptr) = 0;

  // ---- the clock ----
  // Milliseconds since some moment; wraps after 49 days.
  virtual uint32_t NowMilliseconds() = 0;
  virtual void Pause(uint32_t milliseconds) = 0;

  // ---- the desktop ----
  // The current user's desktop folder.
  virtual SysError DesktopFolder(std::wstring* folder) = 0;
  // Writes a shortcut file at `shortcut` to `target`, with that description and nothing
  // else set. 0, or the failing COM result (Linux writes a small text file).
  virtual int32_t SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                               const std::wstring& description) = 0;

  // ---- the user ----
  // A message, read and dismissed before this returns (Linux writes it to stderr).
  virtual void Tell(const std::wstring& text) = 0;
  // A question: true only when the user answered Yes (Linux answers No).
  virtual bool Ask(const std::wstring& text) = 0;
};

// The environment the program works in: the system's, unless one was put in its place.
CEnv& Env();

// Puts `env` in place of the current environment for its lifetime.
class CScopedEnv {
 public:
  explicit CScopedEnv(CEnv* env);
  ~CScopedEnv();
  CScopedEnv(const CScopedEnv&) = delete;
  CScopedEnv& operator=(const CScopedEnv&) = delete;

 private:
  CEnv* m_previous;
};

// Passes every call on to another environment; a test overrides what it changes.
class CEnvWrapper : public CEnv {
 public:
  explicit CEnvWrapper(CEnv* target) : m_target(target) {}
  CEnv* Target() const { return m_target; }

  SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) override {
    return m_target->OpenForReading(path, file);
  }
  SysError OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) override {
    return m_target->OpenForWriting(path, mode, file);
  }
  SysError Remove(const std::wstring& path) override { return m_target->Remove(path); }
  SysError LookUp(const std::wstring& path, FileFacts* facts) override { return m_target->LookUp(path, facts); }
  SysError CreateFolder(const std::wstring& path) override { return m_target->CreateFolder(path); }
  SysError RemoveFolder(const std::wstring& path) override { return m_target->RemoveFolder(path); }
  SysError FreeSpace(const std::wstring& path, uint64_t* bytes) override { return m_target->FreeSpace(path, bytes); }
  SysError FullPath(const std::wstring& path, std::wstring* full) override { return m_target->FullPath(path, full); }
  SysError CurrentFolder(std::wstring* folder) override { return m_target->CurrentFolder(folder); }
  SysError SetCurrentFolder(const std::wstring& path) override { return m_target->SetCurrentFolder(path); }
  std::wstring ModulePath() override { return m_target->ModulePath(); }
  std::string CommandLine() override { return m_target->CommandLine(); }
  unsigned AnsiCodePage() override { return m_target->AnsiCodePage(); }
  unsigned OemCodePage() override { return m_target->OemCodePage(); }
  std::wstring ToWide(unsigned codePage, std::string_view bytes, bool* exact = nullptr) override {
    return m_target->ToWide(codePage, bytes, exact);
  }
  std::string FromWide(unsigned codePage, std::wstring_view text, bool* lossless = nullptr) override {
    return m_target->FromWide(codePage, text, lossless);
  }
  uint32_t NowMilliseconds() override { return m_target->NowMilliseconds(); }
  void Pause(uint32_t milliseconds) override { m_target->Pause(milliseconds); }
  SysError DesktopFolder(std::wstring* folder) override { return m_target->DesktopFolder(folder); }
  int32_t SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                       const std::wstring& description) override {
    return m_target->SaveShortcut(shortcut, target, description);
  }
  void Tell(const std::wstring& text) override { m_target->Tell(text); }
  bool Ask(const std::wstring& text) override { return m_target->Ask(text); }

 private:
  CEnv* m_target;
};
