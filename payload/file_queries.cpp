#include "payload/file_queries.h"

#include "framework/afxwin.h"
#include "platform/crt.h"
#include "platform/handles.h"

namespace {

// Looks one path up by name; false when nothing of that name exists, with the reason in
// GetLastError. The search is closed before this returns.
bool LookUp(const CString& path, WIN32_FIND_DATAA& data) {
  const CFindHandle find(::FindFirstFileA(path, &data));
  return find.IsValid();
}

}  // namespace

int FileExists(const CString& path) {
  WIN32_FIND_DATAA data;
  return LookUp(path, data) ? 1 : 0;
}

int DirectoryExists(const CString& path) {
  WIN32_FIND_DATAA data;
  return LookUp(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

void DeleteIfExists(const CString& path) {
  if (FileExists(path)) crt::remove(path);
}

CString FullPathOf(const CString& path) {
  // The length is asked first: a typed path may be longer than a fixed buffer.
  const DWORD needed = ::GetFullPathNameA(path, 0, nullptr, nullptr);
  if (needed == 0) return path;
  CString full;
  const DWORD length = ::GetFullPathNameA(path, needed, full.GetBuffer(int(needed)), nullptr);
  if (length == 0 || length >= needed) return path;
  full.ReleaseBuffer(int(length));
  return full;
}
