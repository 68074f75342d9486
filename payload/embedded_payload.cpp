// Copying the archive appended to the running setup file out to the pack file.
#include "app/setup_dlg.h"
#include "payload/file_queries.h"
#include "payload/payload_marker.h"
#include "platform/crt.h"

#include <cstdio>
#include <cstdlib>

int CSetupDlg::ExtractEmbeddedPayload(const CString& packFile) {
  int result = 1;
  m_bPayloadSaved = false;
  const int size = FileSizeOf(m_strSetupFile);
  if (size == -1) return 0;

  // One byte at least: calloc(0) may legitimately return null.
  BYTE* buffer = static_cast<BYTE*>(std::calloc(size_t(size > 0 ? size : 1), 1));
  if (!buffer) {
    AfxMessageBox("Can't allocate memory for operation.", MB_OK);
    return 0;
  }

  HANDLE file = OpenForReading(m_strSetupFile);
  if (file == INVALID_HANDLE_VALUE) {
    const int error = int(::GetLastError());
    CString message;
    message.Format("Can't open file %s. Last error %i", m_strSetupFile.GetString(), error);
    AfxMessageBox(message, MB_OK);
    result = 0;
  } else {
    const bool read = ReadAt(file, 0, buffer, DWORD(size)) != 0;
    if (!read) {
      const int error = int(::GetLastError());
      CString message;
      message.Format("Can't read from file %s. Last error %i", m_strSetupFile.GetString(), error);
      AfxMessageBox(message, MB_OK);
      result = 0;
    }
    ::CloseHandle(file);
    // SavePayload reports its own failures; a missing pack file is found after
    // unpacking has failed.
    if (read) SavePayload(buffer, size, packFile);
  }

  std::free(buffer);
  return result;
}

int CSetupDlg::SavePayload(const BYTE* data, int size, const CString& packFile) {
  const std::vector<DWORD> found = FindMarkerOccurrences(data, size_t(size));
  if (found.size() != 2) {
    AfxMessageBox("No embedded setup data found.", MB_OK);
    return 0;
  }

  FILE* out = crt::fopen(packFile, "w+b");
  if (!out) {
    AfxMessageBox("Cannot save setup file", MB_OK);
    return 0;
  }
  std::fseek(out, 0, SEEK_SET);
  const size_t length = size_t(size) - found[1];
  const size_t written = length ? std::fwrite(data + found[1], 1, length, out) : 0;
  // A full disk often shows only when the buffered rest is flushed at close.
  const bool closed = std::fclose(out) == 0;
  if (written != length || !closed) {
    // A partial archive must not be left to pass for the product's files.
    crt::remove(packFile);
    AfxMessageBox("Cannot save setup file", MB_OK);
    return 0;
  }
  m_bPayloadSaved = true;
  return 1;
}
