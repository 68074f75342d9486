#include "tools/zip_layout.h"

#include <algorithm>
#include <cstring>

namespace mksetup {
namespace {

using namespace zipformat;

// The bytes a header is read from: `n` at `offset`, zeros where the source cannot give
// them (a read error, which the caller learns from the source).
template <size_t N>
struct Bytes {
  uint8_t b[N] = {};
  Bytes(const ByteSource& s, uint64_t offset, size_t n = N) { s.Read(offset, b, n < N ? n : N); }
  const uint8_t* operator+(size_t k) const { return b + k; }
};

std::string Text(const ByteSource& s, uint64_t offset, size_t n) {
  std::string text(n, '\0');
  if (n) s.Read(offset, &text[0], n);
  return text;
}

// Authenticode pads the file to a multiple of 8 bytes before its certificate table.
const size_t kSignatureAlignment = 8;

// minizip's backward search: blocks of 1 KiB from the end, each searched from its end,
// so the last match within the last 65535 bytes wins. A match at position 0 reads as
// none to minizip.
size_t SearchBackwards(const ByteSource& s, uint32_t signature) {
  const size_t size = size_t(s.Size());
  const size_t reach = std::min(kEndSearchReach, size);
  if (reach <= 4) return kNowhere;
  const size_t lowest = size - reach;
  std::vector<uint8_t> tail(reach);
  if (!s.Read(lowest, tail.data(), reach)) return kNowhere;
  for (size_t p = reach - 4 + 1; p-- > 0;)
    if (Get32(tail.data() + p) == signature) return lowest + p == 0 ? kNowhere : lowest + p;
  return kNowhere;
}

// The last "PK\5\6" anywhere, for the report of an end record out of reach: read from
// the end back, in pieces that overlap by three bytes.
size_t LastEndSignature(const ByteSource& s) {
  const size_t size = size_t(s.Size());
  if (size < 4) return kNowhere;
  std::vector<uint8_t> piece(std::min(kPieceSize, size));
  for (size_t end = size; end >= 4;) {
    const size_t start = end > piece.size() ? end - piece.size() : 0;
    if (!s.Read(start, piece.data(), end - start)) return kNowhere;
    for (size_t p = end - start - 4 + 1; p-- > 0;)
      if (Get32(piece.data() + p) == kEndSignature) return start + p;
    if (start == 0) break;
    end = start + 3;
  }
  return kNowhere;
}

// The names of the fields a local header and a central record hold alike, in order;
// the compressed size changes when the entry is deflated again.
using SharedFieldNames = const char* const[7];
const size_t kCompressedSizeField = 5;
SharedFieldNames kLocalNames = {"flags (local header)",    "method (local header)", "DOS time (local header)",
                                "DOS date (local header)", "CRC-32 (local header)", "compressed size (local header)",
                                "size (local header)"};
SharedFieldNames kCentralNames = {
    "flags (central directory)",  "method (central directory)",          "DOS time (central directory)",
    "DOS date (central directory)", "CRC-32 (central directory)",        "compressed size (central directory)",
    "size (central directory)"};

class LayoutReader {
 public:
  LayoutReader(const ByteSource& source, size_t signatureAt, const std::vector<std::pair<size_t, size_t>>* runs,
               ZipLayout& out)
      : s_(source), n_(size_t(source.Size())), signatureAt_(signatureAt), runs_(runs), out_(out) {}

  void Run() {
    const size_t end = LocateEndRecord(s_);
    if (end == kNowhere) {
      out_.lastEndSignature = LastEndSignature(s_);
      out_.archiveEnd = n_;
      return;
    }
    out_.endRecord = end;
    if (signatureAt_ != kNowhere && end >= signatureAt_) {
      out_.endRecordInSignature = true;
      out_.archiveEnd = signatureAt_;
    } else if (!Has(end, kEndRecordSize)) {
      out_.endRecordCut = true;
      out_.archiveEnd = n_;
    } else {
      ReadEndRecord(end);
      ReadZip64Records();
      if (PlaceDirectory()) {
        ReadCentralDirectory();
        for (size_t i = 0; i < out_.entries.size(); ++i) ReadLocalHeader(int(i));
      }
    }
    ReadTrailing();
  }

 private:
  // Whether a field lies in one of the runs it is recorded for (all, without runs).
  bool Touches(size_t offset, size_t length) const {
    if (!runs_) return true;
    const auto run = std::upper_bound(runs_->begin(), runs_->end(), offset,
                                      [](size_t at, const std::pair<size_t, size_t>& r) { return at < r.first + r.second; });
    return run != runs_->end() && run->first < offset + length;
  }

  bool Has(uint64_t offset, uint64_t length) const { return offset <= n_ && length <= n_ - offset; }

  void RecordField(size_t offset, size_t length, int entry, std::string_view what, bool compression = false) {
    if (length && Touches(offset, length)) out_.fields.push_back({offset, length, entry, what, compression});
  }
  // The fields a local header and a central record hold alike, from the flags at `at`
  // to the uncompressed size, named in `names`.
  void RecordSharedFields(size_t at, int entry, const SharedFieldNames& names) {
    const size_t offsets[] = {0, 2, 4, 6, 8, 12, 16}, lengths[] = {2, 2, 2, 2, 4, 4, 4};
    for (size_t k = 0; k < 7; ++k) RecordField(at + offsets[k], lengths[k], entry, names[k], k == kCompressedSizeField);
  }

  void ReadEndRecord(size_t end) {
    const Bytes<kEndRecordSize> e(s_, end);
    RecordField(end, 4, -1, "end record signature");
    RecordField(end + 4, 4, -1, "disk numbers (end record)");
    RecordField(end + 8, 4, -1, "entry counts (end record)");
    RecordField(end + 12, 4, -1, "central directory size (end record)");
    RecordField(end + 16, 4, -1, "central directory offset (end record)");
    RecordField(end + 20, 2, -1, "comment length (end record)");
    out_.disk = Get16(e + 4);
    out_.diskWithDirectory = Get16(e + 6);
    out_.entriesHere = Get16(e + 8);
    out_.entriesTotal = Get16(e + 10);
    out_.directorySize = Get32(e + 12);
    out_.directoryOffset = Get32(e + 16);
    out_.commentLength = Get16(e + 20);

    size_t commentEnd = end + kEndRecordSize + out_.commentLength;
    if (!Has(end + kEndRecordSize, out_.commentLength)) {
      out_.commentCut = true;
      commentEnd = n_;
    }
    out_.archiveEnd = commentEnd;
    out_.comment = Text(s_, end + kEndRecordSize, commentEnd - end - kEndRecordSize);
    RecordField(end + kEndRecordSize, out_.comment.size(), -1, "archive comment");
  }

  void ReadZip64Records() {
    const Zip64Locator& l = out_.locator = LocateZip64Locator(s_);
    if (l.state == LocatorState::kNone || l.state == LocatorState::kCut) return;
    RecordField(l.at, 4, -1, "ZIP64 end record locator signature");
    RecordField(l.at + 4, 4, -1, "disk number (ZIP64 end record locator)");
    RecordField(l.at + 8, 8, -1, "ZIP64 end record offset (locator)");
    RecordField(l.at + 16, 4, -1, "disk count (ZIP64 end record locator)");
    if (l.state != LocatorState::kRecord) return;
    Zip64EndRecord& z = out_.zip64;
    z.at = size_t(l.recordOffset);
    if (!Has(z.at, kZip64EndRecordSize)) {
      z.cut = true;
      return;
    }
    const Bytes<kZip64EndRecordSize> r(s_, z.at);
    z.disk = Get32(r + 16);
    z.diskWithDirectory = Get32(r + 20);
    z.entriesHere = Get64(r + 24);
    z.entriesTotal = Get64(r + 32);
    z.directorySize = Get64(r + 40);
    z.directoryOffset = Get64(r + 48);
    RecordField(z.at, 4, -1, "ZIP64 end record signature");
    RecordField(z.at + 4, 8, -1, "record size (ZIP64 end record)");
    RecordField(z.at + 12, 4, -1, "versions (ZIP64 end record)");
    RecordField(z.at + 16, 8, -1, "disk numbers (ZIP64 end record)");
    RecordField(z.at + 24, 16, -1, "entry counts (ZIP64 end record)");
    RecordField(z.at + 40, 8, -1, "central directory size (ZIP64 end record)");
    RecordField(z.at + 48, 8, -1, "central directory offset (ZIP64 end record)");
  }

  // False when the central directory cannot be found from the record minizip reads.
  bool PlaceDirectory() {
    uint64_t size = out_.directorySize, offset = out_.directoryOffset;
    size_t record = out_.endRecord;
    out_.entryCount = out_.entriesTotal;
    if (out_.ReadAsZip64()) {
      if (out_.zip64.cut) return false;
      size = out_.zip64.directorySize;
      offset = out_.zip64.directoryOffset;
      record = out_.zip64.at;
      out_.entryCount = out_.zip64.entriesTotal;
    }
    // minizip's sum could wrap around 64 bits; no archive that fits a setup file needs that.
    if (offset > record || size > record - offset) return false;
    out_.directoryFits = true;
    // As minizip computes it: every offset in the archive is corrected by this much.
    out_.base = record - size_t(offset + size);
    out_.directoryStart = record - size_t(size);
    out_.directoryEnd = record;
    return true;
  }

  // Every record up to the directory's end, as many as there are: a count that disagrees
  // with them is for the rules to judge.
  void ReadCentralDirectory() {
    size_t pos = out_.directoryStart;
    const size_t directoryEnd = out_.directoryEnd;
    DirectoryStop stop = DirectoryStop::kComplete;
    while (pos < directoryEnd) {
      if (directoryEnd - pos < kCentralHeaderSize) {
        stop = DirectoryStop::kEndsEarly;
        break;
      }
      const Bytes<kCentralHeaderSize> c(s_, pos);
      if (Get32(c + 0) != kCentralSignature) {
        stop = DirectoryStop::kNoSignature;
        break;
      }
      const size_t nameLength = Get16(c + 28), extraLength = Get16(c + 30), commentLength = Get16(c + 32);
      const size_t recordEnd = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
      if (recordEnd > directoryEnd) {
        stop = DirectoryStop::kRunsPast;
        break;
      }
      ReadCentralRecord(pos, nameLength, extraLength, commentLength);
      pos = recordEnd;
    }
    out_.directoryStop = stop;
    out_.stopOffset = pos;
    out_.directoryLeftover = directoryEnd - pos;
  }

  void ReadCentralRecord(size_t pos, size_t nameLength, size_t extraLength, size_t commentLength) {
    const Bytes<kCentralHeaderSize> c(s_, pos);
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
    e.diskStart = Get16(c + 34);
    e.internal = Get16(c + 36);
    e.external = Get32(c + 38);
    e.headerOffset = Get32(c + 42);
    const std::string text = Text(s_, pos + kCentralHeaderSize, nameLength + extraLength + commentLength);
    e.name = text.substr(0, nameLength);
    e.centralExtra = text.substr(nameLength, extraLength);
    e.comment = text.substr(nameLength + extraLength);
    ReadCentralZip64Fields(e, pos + kCentralHeaderSize + nameLength, extraLength);

    const int index = int(out_.entries.size());
    RecordField(pos, 4, index, "central header signature");
    RecordField(pos + 4, 4, index, "versions (central directory)");
    RecordSharedFields(pos + 8, index, kCentralNames);
    RecordField(pos + 28, 6, index, "name, extra field and comment lengths (central directory)");
    RecordField(pos + 34, 4, index, "disk number and internal attributes (central directory)");
    RecordField(pos + 38, 4, index, "external attributes (central directory)");
    RecordField(pos + 42, 4, index, "local header offset (central directory)");
    const size_t nameAt = pos + kCentralHeaderSize;
    RecordField(nameAt, nameLength, index, "name (central directory)");
    RecordField(nameAt + nameLength, extraLength, index, "extra field (central directory)");
    RecordField(nameAt + nameLength + extraLength, commentLength, index, "comment (central directory)");
    out_.entries.push_back(std::move(e));
  }

  // minizip's walk of a central extra field, which reads from the file as it goes: a
  // block's header, then for a ZIP64 block the eight bytes of every field still at
  // 0xFFFFFFFF (size, compressed size, offset, in that order) and nothing else, so a
  // ZIP64 block of another length shifts the headers read behind it; the walk ends once
  // the sizes its headers gave add up to the field's length. (minizip compares with
  // (unsigned long)-1, which is 0xFFFFFFFF in the setup program, built for Windows.)
  void ReadCentralZip64Fields(EntryInfo& e, size_t extraAt, size_t extraLength) {
    uint64_t* values[] = {&e.uncompressedSize, &e.compressedSize, &e.headerOffset};
    const unsigned bits[] = {kZip64Size, kZip64CompressedSize, kZip64HeaderOffset};
    for (int k = 0; k < 3; ++k)
      if (*values[k] == kZip64Placeholder) e.zip64Wanted |= bits[k];
    const size_t extraEnd = extraAt + extraLength;
    size_t pos = extraAt;
    for (size_t walked = 0; walked < extraLength;) {
      if (!Has(pos, 4)) break;
      const Bytes<4> header(s_, pos);
      const uint16_t id = Get16(header + 0);
      const size_t size = Get16(header + 2);
      pos += 4;
      walked += 4 + size;
      if (id != kZip64ExtraId) {
        pos += size;
        continue;
      }
      e.centralZip64Block = true;
      const size_t blockEnd = std::min(pos + size, extraEnd);
      for (int k = 0; k < 3; ++k) {
        if (*values[k] != kZip64Placeholder) continue;
        if (!Has(pos, 8)) {
          e.zip64Overrun |= bits[k];
          return;
        }
        *values[k] = Get64(Bytes<8>(s_, pos) + 0);
        e.zip64Supplied |= pos + 8 <= blockEnd ? bits[k] : 0;
        e.zip64Overrun |= pos + 8 <= blockEnd ? 0 : bits[k];
        pos += 8;
      }
    }
  }

  void ReadLocalHeader(int i) {
    EntryInfo& e = out_.entries[size_t(i)];
    const uint64_t local = out_.base + e.headerOffset;
    e.localOffset = local;
    if (!Has(local, kLocalHeaderSize) || local + kLocalHeaderSize > out_.directoryStart) return;
    const size_t at = size_t(local);
    const Bytes<kLocalHeaderSize> h(s_, at);
    if (Get32(h + 0) != kLocalSignature) {
      e.local = LocalHeaderState::kNoSignature;
      return;
    }
    e.local = LocalHeaderState::kRead;
    e.localFlags = Get16(h + 6);
    e.localMethod = Get16(h + 8);
    e.localCrc = Get32(h + 14);
    e.localCompressedSize = Get32(h + 18);
    e.localSize = Get32(h + 22);
    e.localNameLength = Get16(h + 26);
    const size_t extraLength = Get16(h + 28);
    RecordField(at, 4, i, "local header signature");
    RecordField(at + 4, 2, i, "version needed (local header)");
    RecordSharedFields(at + 6, i, kLocalNames);
    RecordField(at + 26, 4, i, "name and extra field lengths (local header)");

    const size_t nameAt = at + kLocalHeaderSize;
    if (!Has(nameAt, e.localNameLength + extraLength)) return;
    e.localNameInBounds = true;
    const std::string text = Text(s_, nameAt, e.localNameLength + extraLength);
    e.localName = text.substr(0, e.localNameLength);
    RecordField(nameAt, e.localNameLength, i, "name (local header)");
    e.localExtra = text.substr(e.localNameLength);
    RecordField(nameAt + e.localNameLength, extraLength, i, "extra field (local header)");
    ReadLocalExtraField(e);

    e.dataOffset = nameAt + e.localNameLength + extraLength;
    if (!Has(e.dataOffset, e.compressedSize)) {
      e.data = DataPlace::kPastEnd;
      return;
    }
    const size_t dataEnd = e.dataOffset + size_t(e.compressedSize);
    if (dataEnd > out_.directoryStart) {
      e.data = DataPlace::kPastDirectory;
      return;
    }
    e.data = DataPlace::kInBounds;
    e.dataInBounds = true;
    RecordField(e.dataOffset, size_t(e.compressedSize), i, "data", true);
    e.spanEnd = dataEnd;
    if (e.localFlags & 8) {
      const size_t length = Has(dataEnd, 4) && Get32(Bytes<4>(s_, dataEnd) + 0) == kDescriptorSignature ? 16 : 12;
      if (Has(dataEnd, length) && dataEnd + length <= out_.directoryStart) {
        RecordField(dataEnd, length, i, "data descriptor", true);
        e.spanEnd += length;
      }
    }
  }

  void ReadLocalExtraField(EntryInfo& e) {
    e.localExtraReadable = WalkExtraField(e.localExtra, [&](uint16_t id, const uint8_t* data, size_t size) {
      if (id != kTimestampExtraId) return true;
      // The reader takes the first "UT" block and looks no further.
      if (size >= 5 && (data[0] & 1)) {
        e.hasModTime = true;
        e.modTime = int32_t(Get32(data + 1));
      }
      return false;
    });
    // Other unzip programs take local sizes of 0xFFFFFFFF from the first ZIP64 block.
    WalkExtraField(e.localExtra, [&](uint16_t id, const uint8_t* data, size_t size) {
      if (id != kZip64ExtraId) return true;
      e.localZip64Block = e.localZip64Complete = true;
      size_t at = 0;
      for (auto field : {std::make_pair(e.localSize, &e.localZip64Size),
                         std::make_pair(e.localCompressedSize, &e.localZip64CompressedSize)}) {
        if (field.first != kZip64Placeholder) continue;
        if (at + 8 > size) {
          e.localZip64Complete = false;
          break;
        }
        *field.second = Get64(data + at);
        at += 8;
      }
      return false;
    });
  }

  // Behind the archive: nothing, a signature (zero padding, then the certificate table),
  // or bytes the setup program would not expect there.
  void ReadTrailing() {
    if (out_.archiveEnd >= n_) return;
    const size_t at = signatureAt_;
    if (at != kNowhere && at >= out_.archiveEnd && at - out_.archiveEnd < kSignatureAlignment && at <= n_) {
      const Bytes<kSignatureAlignment> padding(s_, out_.archiveEnd, at - out_.archiveEnd);
      bool zeros = true;
      for (size_t p = 0; p < at - out_.archiveEnd; ++p) zeros = zeros && padding.b[p] == 0;
      if (zeros) {
        RecordField(out_.archiveEnd, at - out_.archiveEnd, -1, "padding before the certificate table");
        RecordField(at, n_ - at, -1, "certificate table (the signature)");
        out_.trailing = Trailing::kSignature;
        return;
      }
    }
    RecordField(out_.archiveEnd, n_ - out_.archiveEnd, -1, "bytes behind the archive");
    out_.trailing = Trailing::kBytes;
  }

  const ByteSource& s_;
  size_t n_;
  size_t signatureAt_;
  const std::vector<std::pair<size_t, size_t>>* runs_;
  ZipLayout& out_;
};

}  // namespace

ZipLayout ReadZipLayout(const ByteSource& source, size_t signatureAt,
                        const std::vector<std::pair<size_t, size_t>>* runs) {
  ZipLayout layout;
  LayoutReader(source, signatureAt, runs, layout).Run();
  return layout;
}

ZipLayout ReadZipLayout(const uint8_t* data, size_t size, size_t signatureAt) {
  return ReadZipLayout(MemorySource(data, size), signatureAt);
}

size_t LocateEndRecord(const ByteSource& source) { return SearchBackwards(source, kEndSignature); }
size_t LocateEndRecord(const uint8_t* data, size_t size) { return LocateEndRecord(MemorySource(data, size)); }

Zip64Locator LocateZip64Locator(const uint8_t* data, size_t size) {
  return LocateZip64Locator(MemorySource(data, size));
}

Zip64Locator LocateZip64Locator(const ByteSource& source) {
  const size_t size = size_t(source.Size());
  Zip64Locator l;
  l.at = SearchBackwards(source, kZip64LocatorSignature);
  if (l.at == kNowhere) return l;
  if (size - l.at < kZip64LocatorSize) {
    l.state = LocatorState::kCut;
    return l;
  }
  const Bytes<kZip64LocatorSize> p(source, l.at);
  l.disk = Get32(p + 4);
  l.recordOffset = Get64(p + 8);
  l.disks = Get32(p + 16);
  const uint64_t offset = l.recordOffset;
  if (l.disk != 0) l.state = LocatorState::kOtherDisk;
  else if (l.disks != 1) l.state = LocatorState::kDiskCount;
  // Offset 0 reads as "none" to minizip too. It reads the record where the offset says,
  // not corrected for bytes before the archive.
  else if (offset == 0 || offset > size || size - offset < 4 ||
           Get32(Bytes<4>(source, offset) + 0) != kZip64EndSignature)
    l.state = LocatorState::kNoRecord;
  else l.state = LocatorState::kRecord;
  return l;
}

size_t LocateZip64EndRecord(const uint8_t* data, size_t size) {
  const Zip64Locator l = LocateZip64Locator(MemorySource(data, size));
  return l.state == LocatorState::kRecord ? size_t(l.recordOffset) : kNowhere;
}

}  // namespace mksetup
