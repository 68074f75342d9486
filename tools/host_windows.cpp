// mksetup's host on Windows: every path crosses to the wide calls as UTF-16, so that a
// vendor's file or folder whose name the ANSI code page cannot hold is still found.
#include "tools/host.h"

#include "platform/win32_handles.h"
#include "platform/utf8.h"

#include <windows.h>
#include <shellapi.h>

#include <io.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <tuple>

namespace mksetup {
namespace host {
namespace {

// The system's message for a Win32 error, without its line break.
std::string Reason(DWORD code = GetLastError()) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n ? Utf8FromWide(std::wstring(text, n)) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out;
}

// One argument as the C run-time of the started program splits it again: quotes around
// anything with blanks, backslashes doubled only in front of a quote.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// A folder's identity: the same folder reached through a junction or a link has the same.
using FolderId = std::tuple<DWORD, DWORD, DWORD>;

bool IdentifyFolder(const std::wstring& path, FolderId* id) {
  const CHandle folder(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!folder.IsValid() || !GetFileInformationByHandle(folder.Get(), &info)) return false;
  *id = FolderId(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
  return true;
}

bool Walk(const std::wstring& root, const std::wstring& relative, std::set<FolderId>& ancestors,
          std::vector<std::string>* files, std::string* error) {
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  WIN32_FIND_DATAW found;
  const CFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!find.IsValid()) {
    *error = "cannot read the folder " + Utf8FromWide(folder) + ": " + Reason();
    return false;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring below = relative.empty() ? name : relative + L"\\" + name;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      std::string stored = Utf8FromWide(below);
      for (char& c : stored)
        if (c == '\\') c = '/';
      files->push_back(stored);
      continue;
    }
    FolderId id;
    if (!IdentifyFolder(folder + L"\\" + name, &id)) {
      *error = "cannot read the folder " + Utf8FromWide(folder + L"\\" + name) + ": " + Reason();
      return false;
    }
    // A junction back to a folder above would otherwise be followed for ever.
    if (!ancestors.insert(id).second) continue;
    const bool walked = Walk(root, below, ancestors, files, error);
    ancestors.erase(id);
    if (!walked) return false;
  } while (FindNextFileW(find.Get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    *error = "cannot read the folder " + Utf8FromWide(folder) + ": " + Reason();
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return out;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *error = "cannot rename " + from + " to " + to + ": " + Reason();
  return false;
}

bool RemoveFile(const std::string& path) { return _wremove(WideFromUtf8(path).c_str()) == 0; }

bool ModificationTime(const std::string& path, int64_t* seconds) {
  struct _stat64 st;
  if (_wstat64(WideFromUtf8(path).c_str(), &st) != 0) return false;
  *seconds = int64_t(st.st_mtime);
  return true;
}

bool SeekFile(FILE* file, uint64_t offset) {
  return offset <= uint64_t(INT64_MAX) && _fseeki64(file, int64_t(offset), SEEK_SET) == 0;
}

bool SizeOfFile(FILE* file, uint64_t* size) {
  const int64_t length = _filelengthi64(_fileno(file));
  if (length < 0) return false;
  *size = uint64_t(length);
  return true;
}

bool TruncateFile(FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && size <= uint64_t(INT64_MAX) && _chsize_s(_fileno(file), int64_t(size)) == 0;
}

std::string FullPath(const std::string& path) {
  wchar_t* full = _wfullpath(nullptr, WideFromUtf8(path).c_str(), 0);
  if (!full) return path;
  const std::string out = Utf8FromWide(full);
  std::free(full);
  return out;
}

bool FilesUnder(const std::string& directory, std::vector<std::string>* files, std::string* error) {
  std::wstring root = WideFromUtf8(directory);
  while (root.size() > 1 && (root.back() == L'\\' || root.back() == L'/') && root[root.size() - 2] != L':')
    root.pop_back();
  const DWORD attributes = GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    *error = "cannot read the folder " + directory + ": " + Reason();
    return false;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = directory + " is not a folder";
    return false;
  }
  FolderId id;
  if (!IdentifyFolder(root, &id)) {
    *error = "cannot read the folder " + directory + ": " + Reason();
    return false;
  }
  std::set<FolderId> ancestors = {id};
  return Walk(root, std::wstring(), ancestors, files, error);
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  // C:\setup.exe lies in C:\, not in C:
  if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

std::string JoinPath(const std::string& directory, const std::string& relative) {
  if (directory.empty()) return relative;
  const char last = directory.back();
  return directory + (last == '\\' || last == '/' || last == ':' ? "" : "\\") + relative;
}

std::string OwnExecutable() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) return Utf8FromWide(path.substr(0, n));
    path.resize(path.size() * 2);
  }
}

bool IsRunnable(const std::string& path) { return IsFile(path); }

std::string FindInPath(const std::string& name) {
  wchar_t found[32768];
  const DWORD length = SearchPathW(nullptr, WideFromUtf8(name).c_str(), L".exe", 32768, found, nullptr);
  return length > 0 && length < 32768 ? Utf8FromWide(found) : std::string();
}

int RunProgram(const std::vector<std::string>& arguments) {
  std::wstring commandLine;
  for (const std::string& a : arguments)
    commandLine += (commandLine.empty() ? L"" : L" ") + QuoteArgument(WideFromUtf8(a));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(WideFromUtf8(arguments[0]).c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  const CHandle thread(process.hThread), child(process.hProcess);
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(child.Get(), &code);
  return int(code);
}

bool MakeTemporaryFile(std::string* path, FILE** file) {
  wchar_t directory[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
  if (length == 0 || length > MAX_PATH || !GetTempFileNameW(directory, L"mks", 0, name)) return false;
  *file = _wfopen(name, L"wb");
  if (!*file) {
    DeleteFileW(name);
    return false;
  }
  *path = Utf8FromWide(name);
  return true;
}

}  // namespace host
}  // namespace mksetup
