#include "payload/file_queries.h"

#include "framework/afxwin.h"
#include "platform/crt.h"
#include "platform/handles.h"

#include <cwchar>

namespace {

// Looks one path up by name; false when nothing of that name exists. The search is
// closed before this returns. FindFirstFile would take '?' and '*' for wildcards and find
// some other file ("c:\Down*" finds "c:\Downloads"): such a path is no name.
bool LookUp(const CStringW& path, WIN32_FIND_DATAW& data) {
  if (std::wcspbrk(path, L"?*")) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  const CFindHandle find(::FindFirstFileW(path, &data));
  return find.IsValid();
}

}  // namespace

int FileExists(const CStringW& path) {
  WIN32_FIND_DATAW data;
  return LookUp(path, data) ? 1 : 0;
}

int DirectoryExists(const CStringW& path) {
  WIN32_FIND_DATAW data;
  return LookUp(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

void DeleteIfExists(const CStringW& path) {
  if (FileExists(path)) crt::wremove(path);
}

CStringW FullPathOf(const CStringW& path) {
  // The length is asked first: a typed path may be longer than a fixed buffer.
  const DWORD needed = ::GetFullPathNameW(path, 0, nullptr, nullptr);
  if (needed == 0) return path;
  CStringW full;
  const DWORD length = ::GetFullPathNameW(path, needed, full.GetBuffer(int(needed)), nullptr);
  if (length == 0 || length >= needed) return path;
  full.ReleaseBuffer(int(length));
  return full;
}
