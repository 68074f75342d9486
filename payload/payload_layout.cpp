#include "payload/payload_layout.h"

#include "archive/archive_seal.h"
#include "archive/zip_format.h"
#include "payload/payload_marker.h"

#include <algorithm>
#include <vector>

namespace {

using zipformat::Get16;
using zipformat::Get32;
using zipformat::Get64;
using zipformat::kCentralSignature;
using zipformat::kEndSignature;
using zipformat::kZip64EndSignature;
using zipformat::kZip64LocatorSignature;
constexpr size_t kEndSize = zipformat::kEndRecordSize, kLocatorSize = zipformat::kZip64LocatorSize,
                 kZip64EndSize = zipformat::kZip64EndRecordSize, kCentralSize = zipformat::kCentralHeaderSize,
                 kLocalSize = zipformat::kLocalHeaderSize;
constexpr size_t kMaxComment = zipformat::kEndSearchReach;
// osslsigncode pads the file to eight bytes before it appends the certificate table.
constexpr uint64_t kMaxCertificatePadding = 7;

// Reads of the setup file at given positions. A read that fails ends the judgement as
// unreadable; bytes the file does not hold are damage.
class CFileReads {
 public:
  CFileReads(CReadableFile& file, uint64_t size) : m_file(file), m_size(size) {}
  uint64_t Size() const { return m_size; }
  SysError Error() const { return m_error; }
  bool Failed() const { return m_error != kSysOk; }

  // True with `count` bytes at `at` in `out`; false when the file does not hold them all
  // or the read fails (Failed() then).
  bool ReadAt(uint64_t at, size_t count, uint8_t* out) {
    if (at > m_size || count > m_size - at) return false;
    if (Failed()) return false;
    if ((m_error = m_file.Seek(at)) != kSysOk) return false;
    size_t done = 0;
    while (done < count) {
      size_t got = 0;
      if ((m_error = m_file.Read(out + done, count - done, &got)) != kSysOk) return false;
      if (got == 0) return false;  // shorter than its size said a moment ago
      done += got;
    }
    return true;
  }

 private:
  CReadableFile& m_file;
  uint64_t m_size;
  SysError m_error = kSysOk;
};

// The central directory, read front to back through a window that holds any one record.
class CDirectoryReader {
 public:
  CDirectoryReader(CFileReads& reads, uint64_t from, uint64_t length)
      : m_reads(reads), m_next(from), m_left(length) {}
  // The next `count` bytes, contiguous; null when the directory holds fewer or a read fails.
  const uint8_t* Take(size_t count) {
    if (m_have - m_at < count) {
      const size_t kept = m_have - m_at;
      std::copy(m_window.begin() + ptrdiff_t(m_at), m_window.begin() + ptrdiff_t(m_have), m_window.begin());
      const size_t room = m_window.size() - kept;
      if (count > m_window.size()) return nullptr;
      const size_t ask = size_t(std::min<uint64_t>(room, m_left));
      if (kept + ask < count) return nullptr;
      if (!m_reads.ReadAt(m_next, ask, m_window.data() + kept)) return nullptr;
      m_next += ask;
      m_left -= ask;
      m_at = 0;
      m_have = kept + ask;
    }
    const uint8_t* taken = m_window.data() + m_at;
    m_at += count;
    return taken;
  }

 private:
  CFileReads& m_reads;
  uint64_t m_next, m_left;
  // A record is at most 46 + 3 * 65535 bytes.
  std::vector<uint8_t> m_window = std::vector<uint8_t>(256 * 1024);
  size_t m_at = 0, m_have = 0;
};

// The position behind the second marker, as the copy finds it; 0 when there is none.
uint64_t SecondMarkerEnd(CFileReads& reads) {
  CMarkerScan scan;
  std::vector<uint8_t> piece(64 * 1024);
  while (scan.Count() < 2 && scan.Scanned() < reads.Size()) {
    const size_t ask = size_t(std::min<uint64_t>(piece.size(), reads.Size() - scan.Scanned()));
    if (!reads.ReadAt(scan.Scanned(), ask, piece.data())) return 0;
    scan.Feed(piece.data(), ask);
  }
  return scan.Count() >= 2 ? scan.SecondEnd() : 0;
}

// Where an Authenticode certificate table behind the archive begins, as the PE header
// locates it; the file's size when there is none. False for a table that reaches beyond
// the file: one cut short.
bool CertificateTableStart(CFileReads& reads, uint64_t archiveStart, uint64_t* start) {
  *start = reads.Size();
  uint8_t dos[64];
  if (!reads.ReadAt(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return true;
  const uint64_t pe = Get32(dos + 60);
  uint8_t header[24 + 2];  // the signature, the file header, the optional header's magic
  if (!reads.ReadAt(pe, sizeof header, header) || Get32(header) != 0x00004550) return true;
  const uint16_t magic = Get16(header + 24);
  if (magic != 0x10B && magic != 0x20B) return true;
  // The data directories follow 96 (PE32) or 112 (PE32+) bytes of the optional header.
  const uint64_t directories = pe + 24 + (magic == 0x10B ? 96 : 112);
  uint8_t count[4], security[8];
  if (!reads.ReadAt(directories - 4, 4, count) || Get32(count) <= 4) return true;
  if (!reads.ReadAt(directories + 4 * 8, 8, security)) return true;
  const uint64_t at = Get32(security), length = Get32(security + 4);
  // A table in the program image itself, signed before the archive was appended, is no
  // table behind the archive.
  if (length == 0 || at < archiveStart) return true;
  if (at > reads.Size() || length > reads.Size() - at) return false;
  if (at + length == reads.Size()) *start = at;
  return true;
}

struct EndRecord {
  uint64_t at;  // file position
  uint64_t entries, directorySize, directoryOffset;
  uint64_t recordAt;  // the record the central directory ends at: this one or the ZIP64 one
};

// The end record at `at`, read as minizip reads it: with a ZIP64 locator in front of it
// whose record is there, that record's counts hold. False for a record of a spanned
// archive or one whose two counts differ.
bool ReadEndRecord(CFileReads& reads, uint64_t archiveStart, uint64_t at, const uint8_t* end, EndRecord* out) {
  out->at = at;
  out->recordAt = at;
  uint16_t disk = Get16(end + 4), directoryDisk = Get16(end + 6);
  uint64_t onDisk = Get16(end + 8);
  out->entries = Get16(end + 10);
  out->directorySize = Get32(end + 12);
  out->directoryOffset = Get32(end + 16);
  uint8_t locator[kLocatorSize], record[kZip64EndSize];
  if (at - archiveStart >= kLocatorSize && reads.ReadAt(at - kLocatorSize, kLocatorSize, locator) &&
      Get32(locator) == kZip64LocatorSignature) {
    const uint64_t offset = Get64(locator + 8);
    if (offset <= at - archiveStart && reads.ReadAt(archiveStart + offset, kZip64EndSize, record) &&
        Get32(record) == kZip64EndSignature) {
      out->recordAt = archiveStart + offset;
      disk = Get32(record + 16) != 0 ? 1 : 0;
      directoryDisk = Get32(record + 20) != 0 ? 1 : 0;
      onDisk = Get64(record + 24);
      out->entries = Get64(record + 32);
      out->directorySize = Get64(record + 40);
      out->directoryOffset = Get64(record + 48);
    }
  }
  if (reads.Failed()) return false;
  return disk == 0 && directoryDisk == 0 && onDisk == out->entries;
}

// The 64-bit values of a ZIP64 extra block for the fields that say 0xFFFFFFFF, in their
// order: the uncompressed size, the compressed size, the local header offset.
bool Zip64Values(const uint8_t* extra, size_t length, uint64_t* fields[3], const bool wanted[3]) {
  size_t at = 0;
  while (at + 4 <= length) {
    const uint16_t id = Get16(extra + at), size = Get16(extra + at + 2);
    if (at + 4 + size > length) return false;
    if (id == 0x0001) {
      size_t value = at + 4;
      for (int i = 0; i < 3; ++i) {
        if (!wanted[i]) continue;
        if (value + 8 > at + 4 + size) return false;
        *fields[i] = Get64(extra + value);
        value += 8;
      }
      return true;
    }
    at += 4 + size;
  }
  return false;
}

// Walks the central directory the end record describes; true when it holds its records,
// each with its local header inside the archive.
bool WalkDirectory(CFileReads& reads, uint64_t archiveStart, const EndRecord& end, PayloadLayout* layout,
                   PayloadEntryVisitor visit, void* context) {
  // The reader takes the directory to end where its end record begins, and shifts every
  // offset by what lies before that: an archive with bytes in front of it still reads.
  const uint64_t recordRelative = end.recordAt - archiveStart;
  if (end.directorySize > recordRelative || end.directoryOffset > recordRelative - end.directorySize) return false;
  const uint64_t shift = recordRelative - end.directorySize - end.directoryOffset;
  const uint64_t directoryRelative = end.directoryOffset + shift;
  CDirectoryReader directory(reads, archiveStart + directoryRelative, end.directorySize);
  layout->unpackedBytes = 0;
  for (uint64_t i = 0; i < end.entries; ++i) {
    const uint8_t* fixed = directory.Take(kCentralSize);
    if (!fixed || Get32(fixed) != kCentralSignature) return false;
    PayloadEntry entry;
    entry.versionMadeBy = Get16(fixed + 4);
    entry.flags = Get16(fixed + 8);
    uint64_t compressed = Get32(fixed + 20);
    entry.size = Get32(fixed + 24);
    const size_t nameLength = Get16(fixed + 28), extraLength = Get16(fixed + 30), commentLength = Get16(fixed + 32);
    uint64_t localHeader = Get32(fixed + 42);
    const uint8_t* variable = directory.Take(nameLength + extraLength + commentLength);
    if (!variable) return false;
    const bool wanted[3] = {entry.size == 0xFFFFFFFF, compressed == 0xFFFFFFFF, localHeader == 0xFFFFFFFF};
    uint64_t* fields[3] = {&entry.size, &compressed, &localHeader};
    if ((wanted[0] || wanted[1] || wanted[2]) && !Zip64Values(variable + nameLength, extraLength, fields, wanted))
      return false;
    if (localHeader > end.directoryOffset || end.directoryOffset - localHeader < kLocalSize) return false;
    entry.storedName = std::string_view(reinterpret_cast<const char*>(variable), nameLength);
    entry.extra = std::string_view(reinterpret_cast<const char*>(variable) + nameLength, extraLength);
    layout->unpackedBytes += entry.size;
    if (visit) visit(context, entry);
  }
  layout->entries = end.entries;
  return true;
}

}  // namespace

PayloadVerdict ReadPayloadLayout(CReadableFile& file, PayloadLayout* layout, SysError* error,
                                 PayloadEntryVisitor visit, void* context) {
  *layout = PayloadLayout();
  *error = kSysOk;
  uint64_t size = 0;
  if ((*error = file.Size(&size)) != kSysOk) return PayloadVerdict::kUnreadable;
  CFileReads reads(file, size);
  const auto verdict = [&](PayloadVerdict otherwise) {
    *error = reads.Error();
    return reads.Failed() ? PayloadVerdict::kUnreadable : otherwise;
  };

  const uint64_t start = SecondMarkerEnd(reads);
  if (start == 0) return verdict(PayloadVerdict::kNoPayload);
  uint64_t tail = size;
  if (!CertificateTableStart(reads, start, &tail)) return verdict(PayloadVerdict::kDamaged);
  const uint64_t padding = tail == size ? 0 : kMaxCertificatePadding;

  // The end record lies within its largest comment of the tail; each candidate from the
  // last one back, as its comment must reach the tail exactly, and the first whose
  // directory holds wins: a signature inside data or a comment is passed over.
  const uint64_t windowStart = tail - std::min<uint64_t>(tail - start, kEndSize + kMaxComment + padding);
  std::vector<uint8_t> window(size_t(tail - windowStart));
  if (!reads.ReadAt(windowStart, window.size(), window.data())) return verdict(PayloadVerdict::kDamaged);
  for (size_t i = window.size() < kEndSize ? 0 : window.size() - kEndSize + 1; i-- > 0;) {
    const uint8_t* end = window.data() + i;
    if (Get32(end) != kEndSignature) continue;
    const size_t commentEnd = i + kEndSize + Get16(end + 20);
    if (commentEnd > window.size() || window.size() - commentEnd > padding) continue;
    if (std::any_of(window.begin() + ptrdiff_t(commentEnd), window.end(), [](uint8_t b) { return b != 0; }))
      continue;
    EndRecord record;
    if (!ReadEndRecord(reads, start, windowStart + i, end, &record) ||
        !WalkDirectory(reads, start, record, layout, visit, context)) {
      if (reads.Failed()) break;
      continue;
    }
    layout->fileSize = size;
    layout->archiveStart = start;
    layout->archiveEnd = windowStart + commentEnd;
    const std::string_view comment(reinterpret_cast<const char*>(end) + kEndSize, Get16(end + 20));
    layout->sealed = ReadSeal(comment, &layout->sealCrc);
    if (layout->sealed) layout->sealDigitsAt = layout->archiveEnd - kSealDigits;
    return PayloadVerdict::kWhole;
  }
  return verdict(PayloadVerdict::kDamaged);
}
