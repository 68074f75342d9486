// The environment over Win32: the only place the program's file, folder, process, code
// page, clock and shell work reaches the system, always through the wide calls where a
// name may lie outside the ANSI code page.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/env.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

FileTime TimeOf(const FILETIME& t) { return FileTime(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
FILETIME FileTimeOf(FileTime t) { return FILETIME{DWORD(t), DWORD(t >> 32)}; }

SysError LastError() {
  const DWORD error = ::GetLastError();
  // A failure that sets no number still is one.
  return error ? SysError(error) : SysError(ERROR_GEN_FAILURE);
}

class CWindowsReadable : public CReadableFile {
 public:
  explicit CWindowsReadable(HANDLE file) : m_file(file), m_disk(::GetFileType(file) == FILE_TYPE_DISK) {}
  ~CWindowsReadable() override { ::CloseHandle(m_file); }
  SysError Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    while (*got < count) {
      const DWORD ask = DWORD(std::min<size_t>(count - *got, 0x40000000u));
      DWORD read = 0;
      if (!::ReadFile(m_file, static_cast<char*>(buffer) + *got, ask, &read, nullptr)) return LastError();
      *got += read;
      if (read < ask) break;  // the end of the file
    }
    return kSysOk;
  }
  SysError Seek(uint64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(position);
    return ::SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN) ? kSysOk : LastError();
  }
  SysError Size(uint64_t* size) override {
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(m_file, &length)) return LastError();
    *size = uint64_t(length.QuadPart);
    return kSysOk;
  }
  bool IsDiskFile() const override { return m_disk; }

 private:
  HANDLE m_file;
  bool m_disk;
};

class CWindowsWritable : public CWritableFile {
 public:
  CWindowsWritable(HANDLE file, std::wstring path) : m_file(file), m_path(std::move(path)) {}
  ~CWindowsWritable() override { Close(); }
  SysError Write(const void* data, size_t count) override {
    for (size_t done = 0; done < count;) {
      const DWORD ask = DWORD(std::min<size_t>(count - done, 0x40000000u));
      DWORD written = 0;
      if (!::WriteFile(m_file, static_cast<const char*>(data) + done, ask, &written, nullptr)) return LastError();
      // Wine reports a full disk as a write that succeeds with fewer bytes.
      if (written == 0) return kSysDiskFull;
      done += written;
    }
    return kSysOk;
  }
  SysError SetTimes(FileTime creation, FileTime access, FileTime write) override {
    const FILETIME c = FileTimeOf(creation), a = FileTimeOf(access), w = FileTimeOf(write);
    return ::SetFileTime(m_file, creation ? &c : nullptr, access ? &a : nullptr, write ? &w : nullptr) ? kSysOk
                                                                                                    : LastError();
  }
  // Renamed through its own handle, one call: by name (MoveFileExW) the system opens both
  // files again first, several calls more per file. The handle closes afterwards, which
  // risks nothing: closing a disk file reports nothing of its data on Windows.
  SysError CloseInPlaceOf(const std::wstring& target, bool* atClose) override {
    *atClose = false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.c_str(), info->FileNameLength);  // the terminator is zeroed
    if (::SetFileInformationByHandle(m_file, FileRenameInfo, info, DWORD(buffer.size()))) {
      const SysError closed = Close();
      *atClose = closed != kSysOk;
      return closed;
    }
    const SysError error = LastError();
    Close();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      // Refused for a held file and a read-only one alike: opening it tells them apart.
      const HANDLE probe = ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
      if (probe == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION ? kSysSharingViolation : error;
      ::CloseHandle(probe);
      return error;
    }
    // A file system or a system that takes no rename by handle: by name, then.
    return ::MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? kSysOk : LastError();
  }
  SysError Close() override {
    if (m_file == INVALID_HANDLE_VALUE) return kSysOk;
    const BOOL closed = ::CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    return closed ? kSysOk : LastError();
  }

 private:
  HANDLE m_file;
  std::wstring m_path;
};

// Fills a buffer the size the call asks for: a path may be longer than MAX_PATH.
template <typename Call>
SysError Grown(std::wstring* text, Call call) {
  const DWORD needed = call(0, nullptr);
  if (needed == 0) return LastError();
  std::wstring buffer(needed, L'\0');
  const DWORD length = call(needed, &buffer[0]);
  if (length == 0) return LastError();
  if (length >= needed) return ERROR_INSUFFICIENT_BUFFER;
  buffer.resize(length);
  *text = buffer;
  return kSysOk;
}

class CWindowsEnv : public CEnv {
 public:
  SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) override {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    file->reset(new CWindowsReadable(h));
    return kSysOk;
  }

  SysError OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) override {
    const bool fresh = mode != CreateMode::kAlways;
    // A kNew file may be put in place of another later, which takes the right to delete it.
    const DWORD access = mode == CreateMode::kNew ? GENERIC_WRITE | DELETE
                         : fresh                   ? GENERIC_WRITE
                                                   : GENERIC_READ | GENERIC_WRITE;
    const HANDLE h = ::CreateFileW(path.c_str(), access, fresh ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   fresh ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      file->reset(new CWindowsWritable(h, path));
      return kSysOk;
    }
    const SysError error = LastError();
    if (mode != CreateMode::kNewElseLookUp || (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED))
      return error;
    // Only its attributes, read without opening it: under Wine, opening and closing it
    // took a fifth to a third of what replacing it takes.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return error;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return kSysAccessDenied;
    return error == ERROR_FILE_EXISTS ? kSysFileExists : error;
  }

  SysError Remove(const std::wstring& path) override { return ::DeleteFileW(path.c_str()) ? kSysOk : LastError(); }

  SysError LookUp(const std::wstring& path, FileFacts* facts) override {
    // FindFirstFile would take them for wildcards: "c:\Down*" would find c:\Downloads.
    if (path.find_first_of(L"?*") != std::wstring::npos) return kSysInvalidName;
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return LastError();
    ::FindClose(find);
    facts->attributes = data.dwFileAttributes;
    facts->size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    facts->creationTime = TimeOf(data.ftCreationTime);
    facts->accessTime = TimeOf(data.ftLastAccessTime);
    facts->writeTime = TimeOf(data.ftLastWriteTime);
    return kSysOk;
  }

  SysError CreateFolder(const std::wstring& path) override {
    return ::CreateDirectoryW(path.c_str(), nullptr) ? kSysOk : LastError();
  }

  SysError RemoveFolder(const std::wstring& path) override {
    return ::RemoveDirectoryW(path.c_str()) ? kSysOk : LastError();
  }

  SysError FreeSpace(const std::wstring& path, uint64_t* bytes) override {
    // A share's root is named with its trailing separator; one more is harmless anywhere.
    const std::wstring folder = !path.empty() && path.back() != L'\\' ? path + L"\\" : path;
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return LastError();
    *bytes = available.QuadPart;
    return kSysOk;
  }

  SysError FullPath(const std::wstring& path, std::wstring* full) override {
    if (path.empty()) return kSysInvalidName;
    return Grown(full, [&](DWORD size, wchar_t* buffer) { return ::GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
  }

  SysError CurrentFolder(std::wstring* folder) override {
    return Grown(folder, [](DWORD size, wchar_t* buffer) { return ::GetCurrentDirectoryW(size, buffer); });
  }

  SysError SetCurrentFolder(const std::wstring& path) override {
    return ::SetCurrentDirectoryW(path.c_str()) ? kSysOk : LastError();
  }

  std::wstring ModulePath() override {
    // A path longer than MAX_PATH exists where long paths are enabled: grow until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
      if (n == 0) return std::wstring();
      if (n < path.size()) return path.substr(0, n);
      path.resize(path.size() * 2);
    }
  }

  std::string CommandLine() override { return ::GetCommandLineA(); }

  unsigned AnsiCodePage() override { return ::GetACP(); }
  unsigned OemCodePage() override { return ::GetOEMCP(); }

  std::wstring ToWide(unsigned codePage, std::string_view bytes, bool* exact) override {
    if (exact) *exact = true;
    if (bytes.empty()) return std::wstring();
    DWORD flags = MB_ERR_INVALID_CHARS;
    int n = ::MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
    if (n <= 0) {
      if (exact) *exact = false;
      flags = 0;
      n = ::MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), nullptr, 0);
      if (n <= 0) return std::wstring();
    }
    std::wstring wide(size_t(n), L'\0');
    ::MultiByteToWideChar(codePage, flags, bytes.data(), int(bytes.size()), &wide[0], n);
    return wide;
  }

  std::string FromWide(unsigned codePage, std::wstring_view text, bool* lossless) override {
    if (lossless) *lossless = true;
    if (text.empty()) return std::string();
    // UTF-8 holds every character; Windows takes neither flags nor a default for it.
    const bool utf8 = codePage == CP_UTF8;
    BOOL defaulted = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr,
                                        utf8 ? nullptr : &defaulted);
    if (n <= 0) {
      if (lossless) *lossless = false;
      return std::string();
    }
    std::string bytes(size_t(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), &bytes[0], n, nullptr,
                          utf8 ? nullptr : &defaulted);
    if (lossless) *lossless = !defaulted;
    return bytes;
  }

  uint32_t NowMilliseconds() override { return ::GetTickCount(); }
  void Pause(uint32_t milliseconds) override { ::Sleep(milliseconds); }

  SysError DesktopFolder(std::wstring* folder) override {
    // The wide call: the ANSI one gives "?" for every character of a user name outside
    // the code page, a folder that does not exist.
    wchar_t path[MAX_PATH] = L"";
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE) || !path[0])
      return kSysPathNotFound;
    *folder = path;
    return kSysOk;
  }

  int32_t SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                       const std::wstring& description) override {
    // Once is enough for the process; the result does not matter, a second call is fine.
    ::CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link));
    if (FAILED(hr)) return hr;
    // A shortcut without its target would be worse than none.
    hr = link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    IPersistFile* file = nullptr;
    const HRESULT queried = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(queried)) {
      link->Release();
      return queried;
    }
    if (SUCCEEDED(hr)) hr = file->Save(shortcut.c_str(), TRUE);
    file->Release();
    link->Release();
    return FAILED(hr) ? hr : S_OK;
  }

  // The program's windows put their own message boxes here (the framework's); these are
  // for a caller without windows.
  void Tell(const std::wstring& text) override {
    ::MessageBoxW(::GetActiveWindow(), text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
  }
  bool Ask(const std::wstring& text) override {
    return ::MessageBoxW(::GetActiveWindow(), text.c_str(), nullptr, MB_YESNO | MB_ICONEXCLAMATION | MB_TASKMODAL) ==
           IDYES;
  }
};

}  // namespace

CEnv* CEnv::Default() {
  static CWindowsEnv env;
  return &env;
}
