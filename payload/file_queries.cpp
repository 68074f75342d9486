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

int FileSizeOf(const CString& path) {
  WIN32_FIND_DATAA data;
  if (!LookUp(path, data)) {
    const int error = int(::GetLastError());
    CString message;
    message.Format("Can't determine file size for %s. Last error %i", path.GetString(), error);
    AfxMessageBox(message, MB_OK);
    return -1;
  }
  if (data.nFileSizeHigh != 0 || data.nFileSizeLow > 0x7FFFFFFFu) {
    CString message;
    message.Format("The file %s is too large: a setup file must be smaller than 2 GB.", path.GetString());
    AfxMessageBox(message, MB_OK);
    return -1;
  }
  return int(data.nFileSizeLow);
}

HANDLE OpenForReading(const CString& path) {
  return ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int ReadAt(HANDLE file, LONG offset, void* buffer, DWORD count) {
  ::SetFilePointer(file, offset, nullptr, FILE_BEGIN);
  DWORD read = 0;
  if (!::ReadFile(file, buffer, count, &read, nullptr)) return 0;
  return int(read);
}

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
