#include "payload/embedded_payload.h"

#include "framework/afxwin.h"
#include "payload/file_queries.h"
#include "payload/payload_marker.h"
#include "platform/crt.h"
#include "platform/handles.h"

#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A virus scanner or a browser opens a file it has just downloaded without sharing it
// and lets it go a moment later: give it about two seconds before calling it a failure.
const DWORD kSharingRetryForMs = 2000;
const DWORD kSharingRetryEveryMs = 100;

HANDLE OpenSetupFile(const CString& path) {
  for (DWORD waited = 0;; waited += kSharingRetryEveryMs) {
    const HANDLE file = OpenForReading(path);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION || waited >= kSharingRetryForMs) return file;
    ::Sleep(kSharingRetryEveryMs);
    ::SetLastError(error);
  }
}

}  // namespace

PayloadExtraction ExtractEmbeddedPayload(const CString& setupFile, const CString& packFile) {
  PayloadExtraction outcome = {0, false};
  const int size = FileSizeOf(setupFile);
  if (size == -1) return outcome;

  // One byte at least: calloc(0) may legitimately return null.
  const std::unique_ptr<BYTE, FreeDeleter> buffer(static_cast<BYTE*>(std::calloc(size_t(size > 0 ? size : 1), 1)));
  if (!buffer) {
    AfxMessageBox("Can't allocate memory for operation.", MB_OK);
    return outcome;
  }

  CHandle file(OpenSetupFile(setupFile));
  if (!file.IsValid()) {
    const int error = int(::GetLastError());
    CString message;
    message.Format("Can't open file %s. Last error %i", setupFile.GetString(), error);
    AfxMessageBox(message, MB_OK);
    return outcome;
  }
  const bool read = ReadAt(file.Get(), 0, buffer.get(), DWORD(size)) != 0;
  if (!read) {
    const int error = int(::GetLastError());
    CString message;
    message.Format("Can't read from file %s. Last error %i", setupFile.GetString(), error);
    AfxMessageBox(message, MB_OK);
    return outcome;
  }
  file.Close();
  // SavePayload reports its own failures; a missing pack file is found after unpacking
  // has failed.
  outcome.result = 1;
  outcome.packFileSaved = SavePayload(buffer.get(), size, packFile) == 1;
  return outcome;
}

int SavePayload(const BYTE* data, int size, const CString& packFile) {
  const std::vector<DWORD> found = FindMarkerOccurrences(data, size_t(size));
  if (found.size() != 2) {
    AfxMessageBox("No embedded setup data found.", MB_OK);
    return 0;
  }

  CCrtFile out(crt::fopen(packFile, "w+b"));
  if (!out.IsValid()) {
    AfxMessageBox("Cannot save setup file", MB_OK);
    return 0;
  }
  std::fseek(out.Get(), 0, SEEK_SET);
  const size_t length = size_t(size) - found[1];
  const size_t written = length ? std::fwrite(data + found[1], 1, length, out.Get()) : 0;
  // A full disk often shows only when the buffered rest is flushed at close.
  const bool closed = out.Close();
  if (written != length || !closed) {
    // A partial archive must not be left to pass for the product's files.
    crt::remove(packFile);
    AfxMessageBox("Cannot save setup file", MB_OK);
    return 0;
  }
  return 1;
}
