#include "tools/setup_file_check.h"

#include "archive/entry_names.h"
#include "framework/afxstr.h"
#include "payload/payload_marker.h"

#include <zlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

namespace mksetup {
namespace {

const uint32_t kLocalSignature = 0x04034B50;
const uint32_t kCentralSignature = 0x02014B50;
const uint32_t kEndSignature = 0x06054B50;
const uint32_t kZip64EndSignature = 0x06064B50;
const uint32_t kZip64LocatorSignature = 0x07064B50;
const uint32_t kDescriptorSignature = 0x08074B50;
const size_t kLocalHeaderSize = 30;
const size_t kCentralHeaderSize = 46;
const size_t kEndRecordSize = 22;
const size_t kZip64LocatorSize = 20;
// minizip looks back this far from the end of the file for the end record.
const size_t kEndSearchReach = 0xFFFF;
// The reader's record holds 259 bytes of name and a NUL.
const size_t kMaxNameLength = 259;
const uint16_t kZip64ExtraId = 0x0001;
const uint16_t kTimestampExtraId = 0x5455;  // "UT"
// Authenticode pads the file to a multiple of 8 bytes before its certificate table.
const size_t kSignatureAlignment = 8;
const size_t kRunsReported = 20;
// Names are checked as the Western code page reads them, byte by byte.
const UINT kAssumedCodePage = 1252;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

// mingw's C++ library prints through its own C99 printf, which knows %zu; say so to the
// format check, which would otherwise hold the calls against Microsoft's.
#ifdef __MINGW32__
#define MKSETUP_PRINTF_FORMAT gnu_printf
#else
#define MKSETUP_PRINTF_FORMAT printf
#endif
std::string Format(const char* format, ...) __attribute__((format(MKSETUP_PRINTF_FORMAT, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[512];
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    out = format;
  } else if (size_t(n) < sizeof small) {
    out.assign(small, size_t(n));
  } else {
    out.resize(size_t(n) + 1);
    std::vsnprintf(&out[0], out.size(), format, again);
    out.resize(size_t(n));
  }
  va_end(again);
  return out;
}

}  // namespace

std::string Quoted(const std::string& name) {
  std::string out = "'";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '\'') out += Format("\\x%02X", c);
    else out += char(c);
  }
  return out + "'";
}

namespace {

// minizip's backward search: blocks of 1 KiB from the end, each searched from its end,
// so the last match within the last 65535 bytes wins. A match at position 0 reads as
// none to minizip.
size_t SearchBackwards(const uint8_t* data, size_t size, uint32_t signature) {
  const size_t reach = std::min(kEndSearchReach, size);
  if (reach <= 4) return kNowhere;
  const size_t lowest = size - reach;
  for (size_t p = size - 4 + 1; p-- > lowest;)
    if (Get32(data + p) == signature) return p == 0 ? kNowhere : p;
  return kNowhere;
}

bool IsDirectoryEntry(uint32_t external) { return (external & 0x10) || (external & 0x40000000u); }

bool ValidDosStamp(uint16_t date, uint16_t time) {
  const int day = date & 31, month = date >> 5 & 15;
  const int seconds = (time & 31) * 2, minutes = time >> 5 & 63, hours = time >> 11;
  return day >= 1 && month >= 1 && month <= 12 && hours < 24 && minutes < 60 && seconds < 60;
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 1: return "shrunk";
    case 6: return "imploded";
    case 9: return "Deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "xz";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "unknown";
  }
}

class ArchiveChecker {
 public:
  ArchiveChecker(const uint8_t* data, size_t size, const CheckOptions& options, ArchiveCheck& out)
      : d_(data), n_(size), options_(options), out_(out) {}

  void Run() {
    const size_t end = LocateEndRecord(d_, n_);
    if (end == kNowhere) {
      ExplainMissingEndRecord();
      Finish();
      return;
    }
    out_.endRecord = end;
    if (options_.signatureAt != kNowhere && end >= options_.signatureAt) {
      Defect(-1, Format("the certificate table holds the bytes of an end record (\"PK\\5\\6\") at offset %zu: "
                        "the setup program would take them for the archive's end and not find the archive; "
                        "sign again (another signing time gives another signature)",
                        end));
      out_.archiveEnd = options_.signatureAt;
      Finish();
      return;
    }
    if (!Has(end, kEndRecordSize)) {
      Defect(-1, Format("the end record at offset %zu is cut short", end));
      out_.archiveEnd = n_;
      Finish();
      return;
    }
    if (CheckEndRecord(end)) {
      ReadCentralDirectory();
      for (size_t i = 0; i < out_.entries.size(); ++i) CheckEntry(int(i));
      CheckOverlaps();
      CheckDuplicates();
    }
    Finish();
  }

 private:
  bool Has(size_t offset, size_t length) const { return offset <= n_ && length <= n_ - offset; }
  void Defect(int entry, std::string message) { out_.findings.push_back({true, entry, std::move(message)}); }
  void Warn(int entry, std::string message) { out_.findings.push_back({false, entry, std::move(message)}); }
  // The fields a local header and a central record hold alike, from the flags at `at`
  // to the uncompressed size.
  void MarkSharedFields(size_t at, int entry, const std::string& where) {
    Mark(at, 2, entry, "flags" + where);
    Mark(at + 2, 2, entry, "method" + where);
    Mark(at + 4, 2, entry, "DOS time" + where);
    Mark(at + 6, 2, entry, "DOS date" + where);
    Mark(at + 8, 4, entry, "CRC-32" + where);
    Mark(at + 12, 4, entry, "compressed size" + where, true);
    Mark(at + 16, 4, entry, "size" + where);
  }

  void Mark(size_t offset, size_t length, int entry, const std::string& what, bool compression = false) {
    if (length) fields_.push_back({offset, length, entry, what, compression});
  }
  std::string Label(int entry) const { return "entry " + Quoted(out_.entries[size_t(entry)].name); }

  void ExplainMissingEndRecord() {
    size_t last = kNowhere;
    for (size_t p = n_ >= 4 ? n_ - 4 + 1 : 0; p-- > 0;) {
      if (Get32(d_ + p) == kEndSignature) {
        last = p;
        break;
      }
    }
    if (last == 0) {
      Defect(-1, "the archive holds no entries: nothing would be installed, and the setup program's reader "
                 "finds no archive in it");
    } else if (last != kNowhere) {
      Defect(-1, Format("the end record at offset %zu lies %zu bytes before the end; the setup program looks only "
                        "%zu bytes back for it",
                        last, n_ - last, kEndSearchReach));
    } else {
      Defect(-1, "no end-of-central-directory record: not a ZIP archive");
    }
    out_.archiveEnd = n_;
  }

  // False when the central directory cannot be found from the end record.
  bool CheckEndRecord(size_t end) {
    const uint8_t* e = d_ + end;
    Mark(end, 4, -1, "end record signature");
    Mark(end + 4, 4, -1, "disk numbers (end record)");
    Mark(end + 8, 4, -1, "entry counts (end record)");
    Mark(end + 12, 4, -1, "central directory size (end record)");
    Mark(end + 16, 4, -1, "central directory offset (end record)");
    Mark(end + 20, 2, -1, "comment length (end record)");
    const uint16_t disk = Get16(e + 4), diskWithDirectory = Get16(e + 6);
    const uint16_t onThisDisk = Get16(e + 8), total = Get16(e + 10);
    const uint32_t directorySize = Get32(e + 12), directoryOffset = Get32(e + 16);
    const uint16_t commentLength = Get16(e + 20);

    size_t commentEnd = end + kEndRecordSize + commentLength;
    if (!Has(end + kEndRecordSize, commentLength)) {
      Defect(-1, Format("the archive comment claims %u bytes, only %zu follow", unsigned(commentLength),
                        n_ - end - kEndRecordSize));
      commentEnd = n_;
    }
    out_.archiveEnd = commentEnd;
    out_.comment.assign(reinterpret_cast<const char*>(d_ + end + kEndRecordSize), commentEnd - end - kEndRecordSize);
    Mark(end + kEndRecordSize, out_.comment.size(), -1, "archive comment");

    const bool locatorBefore = end >= kZip64LocatorSize && Get32(d_ + end - kZip64LocatorSize) == kZip64LocatorSignature;
    if (LocateZip64EndRecord(d_, n_) != kNowhere || locatorBefore || onThisDisk == 0xFFFF || total == 0xFFFF ||
        directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
      Defect(-1, "the archive uses ZIP64 extensions, which the setup program does not read");
    if (disk != 0 || diskWithDirectory != 0 || onThisDisk != total)
      Defect(-1, Format("the archive spans more than one volume (this is disk %u, the central directory starts on "
                        "disk %u, %u of %u entries are here): the setup program reads single-volume archives only",
                        unsigned(disk), unsigned(diskWithDirectory), unsigned(onThisDisk), unsigned(total)));
    if (total == 0) Defect(-1, "the archive holds no entries: nothing would be installed");

    if (uint64_t(directoryOffset) + directorySize > end) {
      Defect(-1, Format("the central directory (%u bytes at offset %u) does not fit before the end record at "
                        "offset %zu",
                        directorySize, directoryOffset, end));
      return false;
    }
    // As minizip computes it: every offset in the archive is corrected by this much.
    base_ = end - (size_t(directoryOffset) + directorySize);
    if (base_ != 0)
      Defect(-1, Format("the archive does not begin at the first byte of the pack file: minizip would count %zu "
                        "bytes before it (data before the archive, or a wrong central directory size or offset)",
                        base_));
    directoryStart_ = base_ + directoryOffset;
    directoryEnd_ = end;
    expectedEntries_ = total;
    return true;
  }

  void ReadCentralDirectory() {
    size_t pos = directoryStart_;
    for (unsigned i = 0; i < expectedEntries_; ++i) {
      if (pos > directoryEnd_ || directoryEnd_ - pos < kCentralHeaderSize) {
        Defect(-1, Format("the central directory ends after %u of its %u records", i, expectedEntries_));
        return;
      }
      const uint8_t* c = d_ + pos;
      if (Get32(c) != kCentralSignature) {
        Defect(-1, Format("central record %u at offset %zu has no central header signature", i, pos));
        return;
      }
      const size_t nameLength = Get16(c + 28), extraLength = Get16(c + 30), commentLength = Get16(c + 32);
      const size_t recordEnd = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
      if (recordEnd > directoryEnd_) {
        Defect(-1, Format("central record %u at offset %zu runs past the central directory", i, pos));
        return;
      }
      EntryInfo e;
      e.versionMadeBy = Get16(c + 4);
      e.versionNeeded = Get16(c + 6);
      e.flags = Get16(c + 8);
      e.method = Get16(c + 10);
      e.dosTime = Get16(c + 12);
      e.dosDate = Get16(c + 14);
      e.crc = Get32(c + 16);
      e.compressedSize = Get32(c + 20);
      e.uncompressedSize = Get32(c + 24);
      e.internal = Get16(c + 36);
      e.external = Get32(c + 38);
      e.localOffset = Get32(c + 42);
      const char* text = reinterpret_cast<const char*>(c + kCentralHeaderSize);
      e.name.assign(text, nameLength);
      e.centralExtra.assign(text + nameLength, extraLength);
      e.comment.assign(text + nameLength + extraLength, commentLength);
      e.baseName = InstallName(e.name);
      diskStart_.push_back(Get16(c + 34));

      const int index = int(i);
      const std::string where = " (central directory)";
      Mark(pos, 4, index, "central header signature");
      Mark(pos + 4, 4, index, "versions" + where);
      MarkSharedFields(pos + 8, index, where);
      Mark(pos + 28, 6, index, "name, extra field and comment lengths" + where);
      Mark(pos + 34, 4, index, "disk number and internal attributes" + where);
      Mark(pos + 38, 4, index, "external attributes" + where);
      Mark(pos + 42, 4, index, "local header offset" + where);
      Mark(pos + 46, nameLength, index, "name" + where);
      Mark(pos + 46 + nameLength, extraLength, index, "extra field" + where);
      Mark(pos + 46 + nameLength + extraLength, commentLength, index, "comment" + where);
      out_.entries.push_back(std::move(e));
      pos = recordEnd;
    }
    if (pos != directoryEnd_)
      Defect(-1, Format("%zu bytes of the central directory follow its last record", directoryEnd_ - pos));
  }

  // Extra field blocks as the reader walks them: examined while a block's start lies more
  // than 4 bytes before the end. Calls `block` for each; stops early when it returns false.
  // False when a block claims more bytes than the field holds.
  template <typename F>
  static bool WalkExtra(const std::string& field, F block) {
    const uint8_t* f = reinterpret_cast<const uint8_t*>(field.data());
    size_t start = 0;
    while (start + 4 < field.size()) {
      const size_t size = Get16(f + start + 2);
      if (size > field.size() - start - 4) return false;
      if (!block(Get16(f + start), f + start + 4, size)) return true;
      start += 4 + size;
    }
    return true;
  }

  void CheckEntry(int i) {
    EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    bool zip64 = e.compressedSize == 0xFFFFFFFF || e.uncompressedSize == 0xFFFFFFFF || e.localOffset == 0xFFFFFFFF;
    WalkExtra(e.centralExtra, [&](uint16_t id, const uint8_t*, size_t) {
      if (id == kZip64ExtraId) zip64 = true;
      return true;
    });
    if (e.flags & 0x41) Defect(i, label + " is encrypted");
    if (e.flags & 0x20) Defect(i, label + " holds compressed patched data");
    if (e.method != 0 && e.method != 8)
      Defect(i, Format("%s is compressed with method %u (%s); the setup program reads stored (0) and deflated (8) "
                       "entries only",
                       label.c_str(), unsigned(e.method), MethodName(e.method)));
    if (diskStart_[size_t(i)] != 0)
      Defect(i, Format("%s starts on disk %u: the setup program reads single-volume archives only", label.c_str(),
                       unsigned(diskStart_[size_t(i)])));
    CheckName(i);
    if (!ValidDosStamp(e.dosDate, e.dosTime))
      Warn(i, Format("%s has no valid DOS date and time (0x%04X, 0x%04X): the installed file gets no time from it",
                     label.c_str(), unsigned(e.dosDate), unsigned(e.dosTime)));

    const size_t local = base_ + e.localOffset;
    if (!Has(local, kLocalHeaderSize) || local + kLocalHeaderSize > directoryStart_) {
      Defect(i, Format("%s: its local header at offset %zu lies outside the archive", label.c_str(), local));
      if (zip64) Defect(i, label + " uses ZIP64 extensions, which the setup program does not read");
      return;
    }
    const uint8_t* h = d_ + local;
    if (Get32(h) != kLocalSignature) {
      Defect(i, Format("%s: there is no local header at offset %zu", label.c_str(), local));
      if (zip64) Defect(i, label + " uses ZIP64 extensions, which the setup program does not read");
      return;
    }
    e.localOffset = local;
    const uint16_t localFlags = Get16(h + 6), localMethod = Get16(h + 8);
    const uint32_t localCrc = Get32(h + 14), localCompressed = Get32(h + 18), localSize = Get32(h + 22);
    const size_t nameLength = Get16(h + 26), extraLength = Get16(h + 28);
    const std::string where = " (local header)";
    Mark(local, 4, i, "local header signature");
    Mark(local + 4, 2, i, "version needed" + where);
    MarkSharedFields(local + 6, i, where);
    Mark(local + 26, 4, i, "name and extra field lengths" + where);

    if (localCompressed == 0xFFFFFFFF || localSize == 0xFFFFFFFF) zip64 = true;
    if ((localFlags & 0x41) && !(e.flags & 0x41)) Defect(i, label + " is encrypted (local header)");
    if (localMethod != e.method)
      Defect(i, Format("%s: its local header names method %u, its central record %u", label.c_str(),
                       unsigned(localMethod), unsigned(e.method)));
    // With bit 3 the sizes and CRC-32 follow the data, and minizip does not compare them.
    if (!(localFlags & 8) &&
        (localCrc != e.crc || localCompressed != e.compressedSize || localSize != e.uncompressedSize))
      Defect(i, label + ": its local header's CRC-32 or sizes differ from its central record's");
    const size_t nameAt = local + kLocalHeaderSize;
    if (!Has(nameAt, nameLength + extraLength)) {
      Defect(i, label + ": its local name and extra field run past the end of the archive");
      return;
    }
    const std::string localName(reinterpret_cast<const char*>(d_ + nameAt), nameLength);
    if (nameLength != e.name.size())
      Defect(i, Format("%s: its local header's name is %zu bytes long, its central record's %zu", label.c_str(),
                       nameLength, e.name.size()));
    else if (localName != e.name)
      Defect(i, label + ": its local header names it " + Quoted(localName));
    Mark(nameAt, nameLength, i, "name" + where);
    e.localExtra.assign(reinterpret_cast<const char*>(d_ + nameAt + nameLength), extraLength);
    Mark(nameAt + nameLength, extraLength, i, "extra field" + where);
    const bool extraReadable = WalkExtra(e.localExtra, [&](uint16_t id, const uint8_t* data, size_t size) {
      if (id == kZip64ExtraId) zip64 = true;
      if (id != kTimestampExtraId) return true;
      // The reader takes the first "UT" block and looks no further.
      if (size >= 5 && (data[0] & 1)) {
        e.hasModTime = true;
        e.modTime = int32_t(Get32(data + 1));
      }
      return false;
    });
    if (!extraReadable)
      Defect(i, label + ": a block of its local extra field claims more bytes than the field holds; the setup "
                        "program's reader refuses such an entry");
    if (zip64) Defect(i, label + " uses ZIP64 extensions, which the setup program does not read");

    e.dataOffset = nameAt + nameLength + extraLength;
    const size_t dataEnd = e.dataOffset + e.compressedSize;
    if (!Has(e.dataOffset, e.compressedSize) || dataEnd > directoryStart_) {
      Defect(i, Format("%s: its %u bytes of data at offset %zu run past the %s", label.c_str(), e.compressedSize,
                       e.dataOffset, Has(e.dataOffset, e.compressedSize) ? "start of the central directory" : "end of the archive"));
      return;
    }
    e.dataInBounds = true;
    Mark(e.dataOffset, e.compressedSize, i, "data", true);
    size_t end = dataEnd;
    if (localFlags & 8) {
      const size_t length = Has(dataEnd, 4) && Get32(d_ + dataEnd) == kDescriptorSignature ? 16 : 12;
      if (Has(dataEnd, length) && dataEnd + length <= directoryStart_) {
        Mark(dataEnd, length, i, "data descriptor", true);
        end += length;
      }
    }
    spans_.push_back({local, end, i});

    if (e.method == 0 && e.compressedSize != e.uncompressedSize)
      Defect(i, Format("%s is stored, yet its sizes differ (%u bytes stored, %u unpacked)", label.c_str(),
                       e.compressedSize, e.uncompressedSize));
    std::string error;
    if (options_.readData && (e.method == 0 || e.method == 8) && !(e.flags & 0x41) &&
        !ReadEntryData(d_, n_, e, nullptr, &error))
      Defect(i, label + ": " + error);
  }

  void CheckName(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    if (e.name.size() > kMaxNameLength)
      Defect(i, Format("%s has a name of %zu bytes; the setup program takes at most %zu", label.c_str(), e.name.size(),
                       kMaxNameLength));
    if (e.name.find('\0') != std::string::npos)
      Defect(i, label + " has a NUL byte in its name; the setup program would cut the name there");
    if (IsDirectoryEntry(e.external)) {
      Defect(i, label + " is a directory entry: the setup program installs files only, all into one folder "
                        "(leave directories out of the archive, as zip -D does)");
      return;
    }
    if (e.baseName.empty()) {
      Defect(i, label + " installs as nothing: its name ends in a separator");
      return;
    }
    const std::string reason = UnsafeNameReason(e.baseName);
    if (!reason.empty()) Defect(i, label + " would install as " + Quoted(e.baseName) + ": " + reason);
  }

  void CheckOverlaps() {
    std::sort(spans_.begin(), spans_.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t k = 1; k < spans_.size(); ++k) {
      if (spans_[k].start < spans_[k - 1].end)
        Defect(spans_[k].entry, Label(spans_[k - 1].entry) + " and " + Label(spans_[k].entry) +
                                    " share bytes: their local headers or data overlap");
    }
  }

  void CheckDuplicates() {
    // Windows file names ignore case: a.txt and A.TXT are one file.
    std::map<std::string, int> seen;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (e.baseName.empty() || IsDirectoryEntry(e.external)) continue;
      std::string folded = e.baseName;
      for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      const auto found = seen.emplace(folded, int(i));
      if (found.second) continue;
      const std::string message = Label(found.first->second) + " and " + Label(int(i)) + " both install as " +
                                  Quoted(e.baseName) + ": the later one replaces the earlier";
      if (options_.refuseDuplicates) Defect(int(i), message);
      else Warn(int(i), message);
    }
  }

  void CheckTrailing() {
    if (out_.archiveEnd >= n_) return;
    const size_t at = options_.signatureAt;
    if (at != kNowhere && at >= out_.archiveEnd && at - out_.archiveEnd < kSignatureAlignment && at <= n_) {
      bool zeros = true;
      for (size_t p = out_.archiveEnd; p < at; ++p) zeros = zeros && d_[p] == 0;
      if (zeros) {
        Mark(out_.archiveEnd, at - out_.archiveEnd, -1, "padding before the certificate table");
        Mark(at, n_ - at, -1, "certificate table (the signature)");
        return;
      }
    }
    Mark(out_.archiveEnd, n_ - out_.archiveEnd, -1, "bytes behind the archive");
    Defect(-1, Format("%zu bytes follow the archive's end record%s", n_ - out_.archiveEnd,
                      at == kNowhere ? ""
                                     : Format(" and do not lead to the certificate table at offset %zu", at).c_str()));
  }

  void FindRuns() {
    std::sort(fields_.begin(), fields_.end(), [](const Field& a, const Field& b) { return a.offset < b.offset; });
    // reach[i]: the furthest end among fields 0..i, so that the first field a run can
    // touch is found by binary search even where fields overlap.
    std::vector<size_t> reach;
    for (const Field& f : fields_) reach.push_back(std::max(reach.empty() ? 0 : reach.back(), f.offset + f.length));
    size_t reported = 0;
    for (const auto& run : FindMarkerRuns(d_, n_)) {
      MarkerRun r{run.first, run.second, {}};
      size_t covered = r.offset;  // the bytes before this one are accounted for
      for (size_t i = size_t(std::upper_bound(reach.begin(), reach.end(), r.offset) - reach.begin());
           i < fields_.size() && fields_[i].offset < r.offset + r.length; ++i) {
        const Field& f = fields_[i];
        if (f.offset + f.length <= r.offset) continue;
        if (f.offset > covered) r.fields.push_back({covered, f.offset - covered, -1, "bytes that belong to no entry", false});
        r.fields.push_back(f);
        covered = std::max(covered, f.offset + f.length);
      }
      if (covered < r.offset + r.length)
        r.fields.push_back({covered, r.offset + r.length - covered, -1, "bytes that belong to no entry", false});

      // Every run is kept for the writer; a flood of them is not all spelt out.
      if (++reported <= kRunsReported)
        out_.findings.push_back({true, r.fields.empty() ? -1 : r.fields.front().entry,
                                 Format("%zu bytes of 0x55 in a row at offset %zu, in %s: the setup program would "
                                        "count a marker there and refuse to install",
                                        r.length, r.offset, DescribeRun(r, out_.entries).c_str()),
                                 true});
      out_.runs.push_back(std::move(r));
    }
    if (reported > kRunsReported)
      out_.findings.push_back(
          {true, -1, Format("and %zu more runs of 0x55 bytes", reported - kRunsReported), true});
  }

  void Finish() {
    CheckTrailing();
    FindRuns();
  }

  struct Span {
    size_t start, end;
    int entry;
  };

  const uint8_t* d_;
  size_t n_;
  const CheckOptions& options_;
  ArchiveCheck& out_;
  std::vector<Field> fields_;
  std::vector<Span> spans_;
  std::vector<uint16_t> diskStart_;
  size_t base_ = 0;
  size_t directoryStart_ = 0, directoryEnd_ = 0;
  unsigned expectedEntries_ = 0;
};

}  // namespace

std::string DescribeRun(const MarkerRun& run, const std::vector<EntryInfo>& entries) {
  std::string where;
  int lastEntry = -2;
  for (const Field& f : run.fields) {
    if (f.entry != lastEntry) {
      if (!where.empty()) where += "; ";
      if (f.entry >= 0 && size_t(f.entry) < entries.size()) where += "entry " + Quoted(entries[size_t(f.entry)].name) + ": ";
      lastEntry = f.entry;
    } else {
      where += ", ";
    }
    where += f.what;
  }
  return where;
}

bool ArchiveCheck::HasDefects() const {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.defect; });
}

bool SetupFileCheck::HasDefects() const {
  return archive.HasDefects() ||
         std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.defect; });
}

size_t LocateEndRecord(const uint8_t* data, size_t size) { return SearchBackwards(data, size, kEndSignature); }

size_t LocateZip64EndRecord(const uint8_t* data, size_t size) {
  const size_t at = SearchBackwards(data, size, kZip64LocatorSignature);
  if (at == kNowhere || size - at < kZip64LocatorSize) return kNowhere;
  if (Get32(data + at + 4) != 0 || Get32(data + at + 16) != 1) return kNowhere;
  const uint64_t offset = Get64(data + at + 8);
  // Offset 0 reads as "none" to minizip too.
  if (offset == 0 || offset > size || size - offset < 4 || Get32(data + offset) != kZip64EndSignature)
    return kNowhere;
  return size_t(offset);
}

std::vector<std::pair<size_t, size_t>> FindMarkerRuns(const uint8_t* data, size_t size) {
  // The marker is one byte repeated, so any run at least as long as the marker holds one.
  const uint8_t byte = uint8_t(PayloadMarker[0]);
  const size_t minimum = std::strlen(PayloadMarker);
  std::vector<std::pair<size_t, size_t>> runs;
  size_t i = 0;
  while (i < size) {
    if (data[i] != byte) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < size && data[j] == byte) ++j;
    if (j - i >= minimum) runs.emplace_back(i, j - i);
    i = j;
  }
  return runs;
}

bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error) {
  if (!entry.dataInBounds || entry.dataOffset > size || entry.compressedSize > size - entry.dataOffset) {
    *error = "its data lies outside the archive";
    return false;
  }
  const uint8_t* source = data + entry.dataOffset;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t total = 0;
  if (out) out->clear();
  if (entry.method == 0) {
    crc = crc32(crc, source, uInt(entry.compressedSize));
    total = entry.compressedSize;
    if (out) out->assign(source, source + entry.compressedSize);
  } else if (entry.method == 8) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      *error = "zlib cannot start inflating";
      return false;
    }
    z.next_in = const_cast<Bytef*>(source);
    z.avail_in = uInt(entry.compressedSize);
    uint8_t buffer[65536];
    int status = Z_OK;
    while (status == Z_OK) {
      z.next_out = buffer;
      z.avail_out = sizeof buffer;
      status = inflate(&z, Z_NO_FLUSH);
      const size_t produced = sizeof buffer - z.avail_out;
      crc = crc32(crc, buffer, uInt(produced));
      total += produced;
      // A stream that inflates past its declared size is damaged; stop before it costs more.
      if (total > entry.uncompressedSize) break;
      if (out) out->insert(out->end(), buffer, buffer + produced);
      if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    const char* message = z.msg;
    inflateEnd(&z);
    if (total <= entry.uncompressedSize && status != Z_STREAM_END) {
      *error = status == Z_BUF_ERROR || status == Z_OK
                   ? "its deflated data ends before the stream does"
                   : Format("its deflated data is damaged (zlib: %s)", message ? message : "error");
      return false;
    }
  } else {
    *error = Format("method %u cannot be read", unsigned(entry.method));
    return false;
  }
  if (total != entry.uncompressedSize) {
    *error = total > entry.uncompressedSize
                 ? Format("its data unpacks to more than the %u bytes its header gives", entry.uncompressedSize)
                 : Format("its data unpacks to %llu bytes, not the %u its header gives", (unsigned long long)total,
                          entry.uncompressedSize);
    return false;
  }
  if (uint32_t(crc) != entry.crc) {
    *error = Format("its data has the CRC-32 0x%08X, not the 0x%08X its header gives", unsigned(crc), entry.crc);
    return false;
  }
  return true;
}

ArchiveCheck CheckArchive(const uint8_t* data, size_t size, const CheckOptions& options) {
  ArchiveCheck out;
  ArchiveChecker(data, size, options, out).Run();
  return out;
}

std::string InstallName(const std::string& storedName) {
  return storedName.substr(FinalComponentOffset(storedName.c_str(), CCodePage::Numbered(kAssumedCodePage)));
}

std::string UnsafeNameReason(const std::string& name) {
  const NameCheck check = CheckPlainFileName(name.c_str(), CCodePage::Numbered(kAssumedCodePage));
  switch (check.fault) {
    case NameFault::kNone: return std::string();
    case NameFault::kEmpty: return "it is empty";
    case NameFault::kDotName: return "it names the install directory or its parent";
    case NameFault::kControlCharacter: return Format("it holds the control character 0x%02X", check.character);
    case NameFault::kColon: return "it holds a colon, which Windows reads as a drive or an alternate data stream";
    case NameFault::kReservedCharacter:
      return Format("it holds '%c', which Windows does not allow in a file name", check.character);
    case NameFault::kTrailingDotOrSpace: return "it ends in a dot or a space, which Windows drops";
    case NameFault::kDeviceName: return "it is the device name " + check.device + ", which Windows opens instead of a file";
  }
  return "it cannot be stored as a file";
}

const ProductProfile* ProductNamed(const std::string& name) {
  for (const ProductProfile& row : kProductProfiles) {
    const size_t length = std::strlen(row.productName);
    if (name.size() != length) continue;
    bool same = true;
    for (size_t i = 0; i < length && same; ++i) {
      auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
      same = upper(name[i]) == upper(row.productName[i]);
    }
    if (same) return &row;
  }
  return nullptr;
}

const ProductProfile* ProductSelectedBy(const std::string& commandLine) {
  // The setup program upper-cases in the C library's default locale: a to z only.
  std::string upper = commandLine;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return FindProductProfile(CString(upper.c_str()));
}

bool FindCertificateTable(const uint8_t* data, size_t size, size_t* offset, size_t* length) {
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return false;
  const size_t pe = Get32(data + 0x3C);
  if (pe > size || size - pe < 24 || Get32(data + pe) != 0x00004550) return false;
  const size_t optionalSize = Get16(data + pe + 20);
  const size_t optional = pe + 24;
  if (optionalSize < 2 || size - optional < optionalSize) return false;
  size_t countAt, directoriesAt;
  switch (Get16(data + optional)) {
    case 0x10B: countAt = 92, directoriesAt = 96; break;    // PE32
    case 0x20B: countAt = 108, directoriesAt = 112; break;  // PE32+
    default: return false;
  }
  const size_t security = directoriesAt + 4 * 8;  // the fifth data directory
  if (optionalSize < security + 8 || Get32(data + optional + countAt) < 5) return false;
  const uint32_t at = Get32(data + optional + security), bytes = Get32(data + optional + security + 4);
  if (at == 0 || bytes == 0) return false;
  *offset = at;
  *length = bytes;
  return true;
}

SetupFileCheck CheckSetupFile(const uint8_t* data, size_t size, const std::string& fileName,
                              const ProductProfile* expected, const CheckOptions& options) {
  SetupFileCheck c;
  auto defect = [&](std::string message) { c.findings.push_back({true, -1, std::move(message)}); };
  c.fileName = InstallName(fileName);
  c.product = ProductSelectedBy(c.fileName);
  if (!c.product) {
    defect("the name " + Quoted(c.fileName) + " selects no product: the setup program would show \"Invalid setup "
           "file name\" and end");
  } else if (expected && c.product != expected) {
    defect(Format("the name %s selects %s, not %s: the setup program searches for %s before %s", Quoted(c.fileName).c_str(),
                  c.product->productName, expected->productName, c.product->keyword, expected->keyword));
  }

  for (DWORD at : FindMarkerOccurrences(data, size)) c.markers.push_back(at);
  if (c.markers.size() < 2) {
    defect(c.markers.empty() ? "the marker does not occur: this is no setup file"
                             : "the marker occurs once: a stub with no archive behind it");
    return c;
  }
  if (c.markers.size() == 2) {
    c.archiveStart = c.markers[1];
  } else {
    std::string where;
    for (size_t at : c.markers) where += Format("%s%zu", where.empty() ? "" : ", ", at - std::strlen(PayloadMarker));
    defect(Format("the setup program counts the marker %zu times (at offsets %s), not twice, and would refuse to "
                  "install",
                  c.markers.size(), where.c_str()));
    // For the report, take the archive to begin behind the first later marker that a ZIP header follows.
    for (size_t k = 1; k < c.markers.size() && c.archiveStart == kNowhere; ++k) {
      const size_t at = c.markers[k];
      if (size - at >= 4 && (Get32(data + at) == kLocalSignature || Get32(data + at) == kEndSignature))
        c.archiveStart = at;
    }
    if (c.archiveStart == kNowhere) return c;
  }
  CheckOptions archiveOptions = options;
  size_t certificate = 0, certificateSize = 0;
  if (FindCertificateTable(data, size, &certificate, &certificateSize)) {
    c.certificateOffset = certificate;
    c.certificateSize = certificateSize;
    if (certificate < c.archiveStart || certificate > size) {
      defect(Format("the certificate table at offset %zu does not lie behind the archive", certificate));
    } else {
      archiveOptions.signatureAt = certificate - c.archiveStart;
      if (size - certificate != certificateSize)
        defect(Format("the certificate table (%zu bytes at offset %zu) does not end the file, which is %zu bytes long",
                      certificateSize, certificate, size));
    }
  }
  c.archive = CheckArchive(data + c.archiveStart, size - c.archiveStart, archiveOptions);
  // The reader joins the directory, a backslash and the name, and Windows takes paths of
  // at most 259 characters: too long a name fails in the product's default directory.
  const ProductProfile* product = expected ? expected : c.product;
  for (const EntryInfo& e : product ? c.archive.entries : std::vector<EntryInfo>()) {
    const size_t length = std::strlen(product->defaultDirectory) + 1 + e.baseName.size();
    if (!e.baseName.empty() && length > kMaxNameLength)
      defect(Format("entry %s would install as %s\\%s, a path of %zu characters; Windows takes at most %zu",
                    Quoted(e.name).c_str(), product->defaultDirectory, e.baseName.c_str(), length, kMaxNameLength));
  }
  return c;
}

}  // namespace mksetup
