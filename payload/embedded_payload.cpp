#include "payload/embedded_payload.h"

#include "framework/afxwin.h"
#include "payload/file_queries.h"
#include "payload/payload_marker.h"
#include "platform/crt.h"
#include "platform/handles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A virus scanner or a browser opens a file it has just downloaded without sharing it
// and lets it go a moment later: give it about two seconds before calling it a failure.
const DWORD kSharingRetryForMs = 2000;
const DWORD kSharingRetryEveryMs = 100;

HANDLE OpenSetupImage(const std::wstring& path) {
  for (DWORD waited = 0;; waited += kSharingRetryEveryMs) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION || waited >= kSharingRetryForMs) return file;
    ::Sleep(kSharingRetryEveryMs);
    ::SetLastError(error);
  }
}

void ShowWithLastError(const char* format, const CString& path) {
  const int error = int(::GetLastError());
  CString message;
  message.Format(format, path.GetString(), error);
  AfxMessageBox(message, MB_OK);
}

// Where the setup file's bytes come from: the file itself, or bytes already in memory.
class CByteSource {
 public:
  virtual ~CByteSource() = default;
  // The next piece, at most `capacity` bytes; 0 bytes at the end. False when reading
  // failed, with the reason in GetLastError.
  virtual bool Read(BYTE* buffer, DWORD capacity, DWORD* got) = 0;
};

class CFileSource : public CByteSource {
 public:
  explicit CFileSource(HANDLE file) : m_file(file) {}
  bool Read(BYTE* buffer, DWORD capacity, DWORD* got) override {
    *got = 0;
    return ::ReadFile(m_file, buffer, capacity, got, nullptr) != FALSE;
  }

 private:
  HANDLE m_file;
};

class CMemorySource : public CByteSource {
 public:
  CMemorySource(const BYTE* data, size_t size) : m_data(data), m_left(size) {}
  bool Read(BYTE* buffer, DWORD capacity, DWORD* got) override {
    *got = DWORD(std::min<size_t>(capacity, m_left));
    if (*got) std::memcpy(buffer, m_data, *got);
    m_data += *got;
    m_left -= *got;
    return true;
  }

 private:
  const BYTE* m_data;
  size_t m_left;
};

enum class CopyEnd { kSaved, kNoPayload, kCannotSave, kReadFailed };

// The pack file as it is written: created when the archive's start is found, removed
// again unless it was written whole and closed.
class CPackFile {
 public:
  explicit CPackFile(const CStringW& path) : m_path(path) {}
  ~CPackFile() {
    if (!m_kept && m_created) {
      m_file.Close();
      crt::wremove(m_path);
    }
  }
  CPackFile(const CPackFile&) = delete;
  CPackFile& operator=(const CPackFile&) = delete;

  bool Created() const { return m_created || m_failed; }
  void Create() {
    m_file = CCrtFile(crt::wfopen(m_path, "w+b"));
    m_created = m_file.IsValid();
    m_failed = !m_created;
    // Pieces of a megabyte need no second buffer, and a byte counted as written has
    // then reached the system.
    if (m_created) std::setvbuf(m_file.Get(), nullptr, _IONBF, 0);
  }
  bool Failed() const { return m_failed; }
  void Write(const BYTE* data, size_t length) {
    if (m_failed || length == 0) return;
    if (std::fwrite(data, 1, length, m_file.Get()) != length) m_failed = true;
  }
  // True when the file is written whole; it is then kept.
  bool Finish() {
    // A full disk can show only when the file is closed.
    if (!m_failed && m_file.Close()) m_kept = true;
    return m_kept;
  }

 private:
  CStringW m_path;
  CCrtFile m_file;
  bool m_created = false, m_failed = false, m_kept = false;
};

// Reads the setup file piece by piece, counts the marker as it goes, and writes every
// byte behind its second occurrence to the pack file. A third occurrence ends the copy:
// the file holds no payload the program can trust, and the partial pack file goes.
using CBuffer = std::unique_ptr<BYTE, FreeDeleter>;

// The copy buffer; null after the message that says so.
CBuffer AllocateBuffer() {
  CBuffer buffer(static_cast<BYTE*>(std::malloc(kPayloadBufferSize)));
  if (!buffer) AfxMessageBox("Can't allocate memory for operation.", MB_OK);
  return buffer;
}

CopyEnd CopyPayload(CByteSource& source, uint64_t size, const CStringW& packFile, BYTE* buffer,
                    CInstallProgress* progress) {
  CMarkerScan scan;
  CPackFile pack(packFile);
  uint64_t written = 0;
  while (scan.Scanned() < size && scan.Count() <= 2) {
    const DWORD ask = DWORD(std::min<uint64_t>(kPayloadBufferSize, size - scan.Scanned()));
    DWORD got = 0;
    if (!source.Read(buffer, ask, &got)) return CopyEnd::kReadFailed;
    if (got == 0) {
      // A file that ends before its size said; nothing of it at all is a failed read.
      if (scan.Scanned() == 0) return CopyEnd::kReadFailed;
      break;
    }
    const uint64_t pieceAt = scan.Scanned();
    scan.Feed(buffer, got);
    if (scan.Count() != 2) continue;
    if (!pack.Created()) {
      pack.Create();
      if (progress) progress->BeginStage(InstallStage::kCopying, size - scan.SecondEnd());
    }
    const uint64_t from = std::max(scan.SecondEnd(), pieceAt) - pieceAt;
    pack.Write(buffer + from, size_t(got - from));
    written += got - from;
    if (progress && !pack.Failed()) progress->Written(written);
  }
  if (scan.Count() != 2) {
    AfxMessageBox("No embedded setup data found.", MB_OK);
    return CopyEnd::kNoPayload;
  }
  if (!pack.Finish()) {
    AfxMessageBox("Cannot save setup file", MB_OK);
    return CopyEnd::kCannotSave;
  }
  return CopyEnd::kSaved;
}

}  // namespace

PayloadExtraction ExtractEmbeddedPayload(const SetupImage& image, const CStringW& packFile,
                                         CInstallProgress* progress) {
  PayloadExtraction outcome = {0, false};
  // Looked up by name, not matched as a pattern; 64 bits of size.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(image.path.c_str(), GetFileExInfoStandard, &data)) {
    ShowWithLastError("Can't determine file size for %s. Last error %i", image.shown);
    return outcome;
  }
  const uint64_t size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  const CBuffer buffer = AllocateBuffer();
  if (!buffer) return outcome;

  CHandle file(OpenSetupImage(image.path));
  if (!file.IsValid()) {
    ShowWithLastError("Can't open file %s. Last error %i", image.shown);
    return outcome;
  }
  CFileSource source(file.Get());
  // An empty file is a read that succeeds with no bytes.
  const CopyEnd end = size == 0 ? CopyEnd::kReadFailed : CopyPayload(source, size, packFile, buffer.get(), progress);
  if (end == CopyEnd::kReadFailed) {
    ShowWithLastError("Can't read from file %s. Last error %i", image.shown);
    return outcome;
  }
  // A missing pack file is found after unpacking has failed.
  outcome.result = 1;
  outcome.packFileSaved = end == CopyEnd::kSaved;
  return outcome;
}

int SavePayload(const BYTE* data, size_t size, const CStringW& packFile) {
  const CBuffer buffer = AllocateBuffer();
  if (!buffer) return 0;
  CMemorySource source(data, size);
  return CopyPayload(source, size, packFile, buffer.get(), nullptr) == CopyEnd::kSaved ? 1 : 0;
}
