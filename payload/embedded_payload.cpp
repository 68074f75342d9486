#include "payload/embedded_payload.h"

#include "archive/archive_seal.h"
#include "payload/file_queries.h"
#include "payload/payload_marker.h"
#include "platform/env.h"

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
const uint32_t kSharingRetryForMs = 2000;
const uint32_t kSharingRetryEveryMs = 100;

SysError OpenSetupImage(const std::wstring& path, std::unique_ptr<CReadableFile>* file) {
  for (uint32_t waited = 0;; waited += kSharingRetryEveryMs) {
    const SysError error = Env().OpenForReading(path, file);
    if (error != kSysSharingViolation || waited >= kSharingRetryForMs) return error;
    Env().Pause(kSharingRetryEveryMs);
  }
}

void ShowWithError(const char* format, const CString& path, SysError error) {
  CString message;
  message.Format(format, path.GetString(), int(error));
  Env().Tell(CStringW(message).Str());
}

void Show(const char* message) { Env().Tell(CStringW(CString(message)).Str()); }

// Where the setup file's bytes come from: the file itself, or bytes already in memory.
class CByteSource {
 public:
  virtual ~CByteSource() = default;
  // The next piece, at most `capacity` bytes; 0 bytes at the end.
  virtual SysError Read(uint8_t* buffer, size_t capacity, size_t* got) = 0;
};

class CFileSource : public CByteSource {
 public:
  explicit CFileSource(CReadableFile& file) : m_file(file) {}
  SysError Read(uint8_t* buffer, size_t capacity, size_t* got) override { return m_file.Read(buffer, capacity, got); }

 private:
  CReadableFile& m_file;
};

class CMemorySource : public CByteSource {
 public:
  CMemorySource(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
  SysError Read(uint8_t* buffer, size_t capacity, size_t* got) override {
    *got = std::min(capacity, m_left);
    if (*got) std::memcpy(buffer, m_data, *got);
    m_data += *got;
    m_left -= *got;
    return kSysOk;
  }

 private:
  const uint8_t* m_data;
  size_t m_left;
};

enum class CopyEnd { kSaved, kNoPayload, kCannotSave, kReadFailed, kSealBroken };

void ShowDamaged(const SetupImage& image) {
  CString message;
  message.Format("The setup file %s is incomplete or damaged. Please obtain a new copy of it and run it again.",
                 image.shown.GetString());
  Env().Tell(CStringW(message).Str());
}

// The seal's CRC over the bytes of the file it covers, as they pass by in pieces.
class CSealCheck {
 public:
  explicit CSealCheck(const PayloadLayout* layout) : m_layout(layout && layout->sealed ? layout : nullptr) {}
  // `length` bytes at file position `at`.
  void Pass(uint64_t at, const uint8_t* data, size_t length) {
    if (!m_layout) return;
    const uint64_t from = std::max(at, m_layout->archiveStart), to = std::min(at + length, m_layout->sealDigitsAt);
    if (from < to) m_crc = ExtendSealCrc(m_crc, data + (from - at), size_t(to - from));
  }
  // True unless the archive is sealed and its bytes, from `archiveStart` on, are not those sealed.
  bool Holds(uint64_t archiveStart) const {
    return !m_layout || (archiveStart == m_layout->archiveStart && m_crc == m_layout->sealCrc);
  }

 private:
  const PayloadLayout* m_layout;
  uint32_t m_crc = 0;
};

// The pack file as it is written: created when the archive's start is found, removed
// again unless it was written whole and closed.
class CPackFile {
 public:
  explicit CPackFile(const CStringW& path) : m_path(path) {}
  ~CPackFile() {
    if (!m_kept && m_file) {
      m_file.reset();
      Env().Remove(m_path.Str());
    }
  }
  CPackFile(const CPackFile&) = delete;
  CPackFile& operator=(const CPackFile&) = delete;

  bool Created() const { return m_file || m_failed; }
  // Created if missing, emptied if present, as the C library's "w+b" does. A new file is
  // made as new: on Linux, under Wine, a file emptied on opening is written out to its
  // disk when it closes, which holds the program a second or more on a large archive.
  void Create() {
    SysError created = Env().OpenForWriting(m_path.Str(), CreateMode::kNew, &m_file);
    if (created == kSysFileExists) created = Env().OpenForWriting(m_path.Str(), CreateMode::kAlways, &m_file);
    m_failed = created != kSysOk;
  }
  bool Failed() const { return m_failed; }
  void Write(const uint8_t* data, size_t length) {
    if (m_failed || length == 0) return;
    if (m_file->Write(data, length) != kSysOk) m_failed = true;
  }
  // True when the file is written whole; it is then kept.
  bool Finish() {
    // A full disk can show only when the file is closed.
    if (!m_failed && m_file && m_file->Close() == kSysOk) m_kept = true;
    return m_kept;
  }

 private:
  CStringW m_path;
  std::unique_ptr<CWritableFile> m_file;
  bool m_failed = false, m_kept = false;
};

// Reads the setup file piece by piece, counts the marker as it goes, and writes every
// byte behind its second occurrence to the pack file. A third occurrence ends the copy:
// the file holds no payload the program can trust, and the partial pack file goes.
using CBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

// The copy buffer; null after the message that says so.
CBuffer AllocateBuffer() {
  CBuffer buffer(static_cast<uint8_t*>(std::malloc(kPayloadBufferSize)));
  if (!buffer) Show("Can't allocate memory for operation.");
  return buffer;
}

CopyEnd CopyPayload(CByteSource& source, uint64_t size, const CStringW& packFile, uint8_t* buffer,
                    CInstallProgress* progress, SysError* readError, const PayloadLayout* layout = nullptr) {
  CMarkerScan scan;
  CSealCheck seal(layout);
  CPackFile pack(packFile);
  uint64_t written = 0;
  while (scan.Scanned() < size && scan.Count() <= 2) {
    const size_t ask = size_t(std::min<uint64_t>(kPayloadBufferSize, size - scan.Scanned()));
    size_t got = 0;
    *readError = source.Read(buffer, ask, &got);
    if (*readError != kSysOk) return CopyEnd::kReadFailed;
    if (got == 0) {
      // A file that ends before its size said; nothing of it at all is a failed read.
      if (scan.Scanned() == 0) {
        *readError = kSysEndOfFile;
        return CopyEnd::kReadFailed;
      }
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
    seal.Pass(pieceAt + from, buffer + from, size_t(got - from));
    written += got - from;
    if (progress && !pack.Failed()) progress->Written(written);
  }
  if (scan.Count() != 2) {
    Show("No embedded setup data found.");
    return CopyEnd::kNoPayload;
  }
  // Checked before the file is kept: a pack file that is not the sealed archive goes.
  if (!pack.Failed() && !seal.Holds(scan.SecondEnd())) return CopyEnd::kSealBroken;
  if (!pack.Finish()) {
    Show("Cannot save setup file");
    return CopyEnd::kCannotSave;
  }
  return CopyEnd::kSaved;
}

}  // namespace

bool SetupFileIsWhole(const SetupImage& image, PayloadLayout* layout, PayloadEntryVisitor visit, void* context) {
  *layout = PayloadLayout();
  // A file that cannot be found is left to the copy, whose message says so. One held by
  // another program is waited for once, here, and reported as the copy would.
  FileFacts facts;
  if (Env().LookUp(image.path, &facts) != kSysOk) return true;
  std::unique_ptr<CReadableFile> file;
  const SysError opened = OpenSetupImage(image.path, &file);
  if (opened != kSysOk) {
    ShowWithError("Can't open file %s. Last error %i", image.shown, opened);
    return false;
  }
  SysError error = kSysOk;
  const PayloadVerdict verdict = ReadPayloadLayout(*file, layout, &error, visit, context);
  if (verdict != PayloadVerdict::kWhole) *layout = PayloadLayout();
  if (verdict != PayloadVerdict::kDamaged) return true;
  ShowDamaged(image);
  return false;
}

PayloadExtraction ExtractEmbeddedPayload(const SetupImage& image, const CStringW& packFile,
                                         CInstallProgress* progress, const PayloadLayout* layout) {
  PayloadExtraction outcome = {0, false};
  // Looked up by name, not matched as a pattern; 64 bits of size.
  FileFacts facts;
  const SysError looked = Env().LookUp(image.path, &facts);
  if (looked != kSysOk) {
    ShowWithError("Can't determine file size for %s. Last error %i", image.shown, looked);
    return outcome;
  }
  const CBuffer buffer = AllocateBuffer();
  if (!buffer) return outcome;

  std::unique_ptr<CReadableFile> file;
  const SysError opened = OpenSetupImage(image.path, &file);
  if (opened != kSysOk) {
    ShowWithError("Can't open file %s. Last error %i", image.shown, opened);
    return outcome;
  }
  CFileSource source(*file);
  // An empty file is a read that succeeds with no bytes.
  SysError readError = kSysEndOfFile;
  const CopyEnd end = facts.size == 0 ? CopyEnd::kReadFailed
                                      : CopyPayload(source, facts.size, packFile, buffer.get(), progress, &readError,
                                                    layout);
  if (end == CopyEnd::kReadFailed) {
    ShowWithError("Can't read from file %s. Last error %i", image.shown, readError);
    return outcome;
  }
  if (end == CopyEnd::kSealBroken) {
    ShowDamaged(image);
    return outcome;
  }
  // A missing pack file is found after unpacking has failed.
  outcome.result = 1;
  outcome.packFileSaved = end == CopyEnd::kSaved;
  return outcome;
}

int SavePayload(const uint8_t* data, size_t size, const CStringW& packFile) {
  const CBuffer buffer = AllocateBuffer();
  if (!buffer) return 0;
  CMemorySource source(data, size);
  SysError ignored = kSysOk;
  return CopyPayload(source, size, packFile, buffer.get(), nullptr, &ignored) == CopyEnd::kSaved ? 1 : 0;
}
