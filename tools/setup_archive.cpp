#include "tools/setup_archive.h"

#include "archive/archive_seal.h"
#include "archive/zip_format.h"
#include "payload/payload_marker.h"
#include "platform/calendar.h"

#include <zlib.h>

#include "tools/marker_byte_runs.h"
#include "tools/member_data.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace mksetup {

using namespace zipformat;

// Level 6 first, as zip and gzip choose by default: level 9 spends half as long again on
// text for a few bytes in a thousand.
const std::vector<Compression> kCompressions = {
    {6, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY}, {8, Z_DEFAULT_STRATEGY}, {7, Z_DEFAULT_STRATEGY},
    {5, Z_DEFAULT_STRATEGY}, {4, Z_DEFAULT_STRATEGY}, {3, Z_DEFAULT_STRATEGY}, {2, Z_DEFAULT_STRATEGY},
    {1, Z_DEFAULT_STRATEGY}, {9, Z_FILTERED},         {9, Z_RLE},              {9, Z_FIXED},
    {9, Z_HUFFMAN_ONLY},     {6, Z_DEFAULT_STRATEGY, true},
};

namespace {

const int64_t k1980 = 315532800;  // 1980-01-01 00:00:00 UTC, the first DOS stamp

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
  Put32(out, uint32_t(v));
  Put32(out, uint32_t(v >> 32));
}
void PutBytes(std::vector<uint8_t>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

// An extra field without its ZIP64 blocks (MembersFromArchive). A field that cannot be
// walked stays as it is.
std::string WithoutZip64Blocks(const std::string& field) {
  std::string kept;
  size_t walked = 0;
  const bool whole = WalkExtraField(field, [&](uint16_t id, const uint8_t*, size_t size) {
    if (id != kZip64ExtraId) kept.append(field, walked, 4 + size);
    walked += 4 + size;
    return true;
  });
  return whole ? kept + field.substr(walked) : field;
}

std::string Describe(const Compression& c) {
  const char* strategy = c.strategy == Z_FILTERED       ? ", filtered"
                         : c.strategy == Z_RLE          ? ", run-length"
                         : c.strategy == Z_FIXED        ? ", fixed codes"
                         : c.strategy == Z_HUFFMAN_ONLY ? ", Huffman only"
                                                        : "";
  char text[64];
  std::snprintf(text, sizeof text, "level %d%s%s", c.level, strategy, c.splitRuns ? ", runs of 0x55 parted" : "");
  return text;
}

}  // namespace

void DosStampOf(int64_t unixTime, uint16_t* date, uint16_t* time) {
  const CivilTime utc = CivilFromUnixTime(unixTime < k1980 ? k1980 : unixTime);
  *date = uint16_t((utc.year - 1980) << 9 | utc.month << 5 | utc.day);
  *time = uint16_t(utc.hour << 11 | utc.minute << 5 | utc.second / 2);
}

bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>* epoch) {
  epoch->reset();
  if (!text || !*text) return true;
  int64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9' || value > (INT64_MAX - 9) / 10) return false;
    value = value * 10 + (*p - '0');
  }
  *epoch = value;
  return true;
}

int64_t StoredTime(int64_t modificationTime, const std::optional<int64_t>& epoch) {
  return epoch && modificationTime > *epoch ? *epoch : modificationTime;
}

namespace {

// The CRC-32 of `a` followed by `lengthB` bytes whose CRC-32 is `b`. zlib's combining is
// linear in its first argument and takes lengths in z_off_t, a 32-bit long on Windows:
// the shift over long lengths goes in steps, with nothing added on the way.
uint32_t CombineCrc(uint32_t a, uint32_t b, uint64_t lengthB) {
  const uint64_t kStep = uint64_t(1) << 30;
  for (; lengthB > kStep; lengthB -= kStep) a = uint32_t(crc32_combine(a, 0, z_off_t(kStep)));
  return uint32_t(crc32_combine(a, b, z_off_t(lengthB)));
}

// The pieces data is read and deflated in.
const size_t kBufferSize = size_t(1) << 20;
// Sizes from 4 GiB - 1 on do not fit the 32-bit fields (0xFFFFFFFF calls for ZIP64).
const uint64_t kMaxEntrySize = 0xFFFFFFFF;

// Stored bytes held in memory, inflated as they are read: the reader owns their source.
class HeldData : public DataReader {
 public:
  HeldData(const std::vector<uint8_t>& bytes, uint16_t method)
      : source_(bytes.data(), bytes.size()), reader_(ArchivedData(source_, 0, bytes.size(), method)) {}
  bool Read(uint8_t* buffer, size_t capacity, size_t* got, std::string* error) override {
    return reader_->Read(buffer, capacity, got, error);
  }

 private:
  MemorySource source_;
  std::unique_ptr<DataReader> reader_;
};

// The member's data, from its start.
bool OpenData(const Member& m, std::unique_ptr<DataReader>* reader, std::string* error) {
  if (!m.path.empty()) return OpenFileData(m.path, reader, error);
  if (m.plainKnown) *reader = MemoryData(m.plain);
  else if (m.archive) *reader = ArchivedData(*m.archive, m.storedAt, m.storedSize, m.storedMethod);
  else *reader = std::make_unique<HeldData>(m.stored, m.storedMethod);
  return true;
}

// The fields a local header and its central record hold alike, from the version needed
// to the uncompressed size.
void PutSharedFields(std::vector<uint8_t>& out, const Member& m) {
  Put16(out, m.versionNeeded);
  Put16(out, m.flags);
  Put16(out, m.method);
  Put16(out, m.dosTime);
  Put16(out, m.dosDate);
  Put32(out, m.crc);
  Put32(out, uint32_t(m.written));
  Put32(out, m.size);
}

class ArchiveWriter {
 public:
  ArchiveWriter(ByteSink& out, const std::vector<Compression>& compressions, uint64_t maxSize,
                std::vector<std::string>* problems)
      : out_(out), compressions_(compressions), maxSize_(maxSize), problems_(problems) {}

  // Writes the member's local header and data at `at`; false after saying why not.
  bool WriteMember(Member& m, uint64_t at) {
    m.headerOffset = at;
    const uint64_t dataAt = at + kLocalHeaderSize + m.name.size() + m.localExtra.size();
    // Every way of writing the data writes it from its first byte on, once or over the
    // last: the CRC of what it wrote last is the data's as it stays.
    dataCrc_ = 0;
    if (m.compression < 0) {
      if (!CopyAsFound(m, dataAt)) return false;
    } else {
      bool store = false, whole = false, held = false;
      if (!Deflate(m, dataAt, &store, &whole, &held)) return false;
      const uint32_t crc = m.crc;
      const uint64_t size = m.size;
      if (store && held) {
        // All of it came in one read and is in the buffer still: no second read.
        dataCrc_ = 0;
        if (!Put(dataAt, inBuffer_.data(), size_t(size))) return false;
        Stored(m, size);
      } else if (store) {
        bool run = false;
        if (!Store(m, dataAt, &run)) return false;
        // Stored, its data would hold a run of the marker's byte: deflated it is, whole.
        if (run) {
          m.mayStore = false;
          return WriteMember(m, at);
        }
        if (whole && (m.crc != crc || m.size != size))
          return Problem(m, "it changed while mksetup read it; build again once it stays as it is");
      }
    }
    std::vector<uint8_t> header;
    Put32(header, kLocalSignature);
    PutSharedFields(header, m);
    Put16(header, uint32_t(m.name.size()));
    Put16(header, uint32_t(m.localExtra.size()));
    PutBytes(header, m.name);
    PutBytes(header, m.localExtra);
    const uint32_t dataCrc = dataCrc_;
    if (!Put(at, header.data(), header.size())) return false;
    m.sealCrc = CombineCrc(ExtendSealCrc(0, header.data(), header.size()), dataCrc, m.written);
    return true;
  }

  // The central directory and the end records at `at`, the comment ended by the seal; the
  // archive's end in `end`. The seal is made of the members' CRCs as they were written
  // and of the bytes here: nothing is read back.
  bool WriteDirectory(const std::vector<Member>& members, uint64_t at, const std::string& comment, uint64_t* end) {
    std::vector<uint8_t> out, central;
    for (const Member& m : members) {
      Put32(central, kCentralSignature);
      Put16(central, m.versionMadeBy);
      PutSharedFields(central, m);
      Put16(central, uint32_t(m.name.size()));
      Put16(central, uint32_t(m.centralExtra.size()));
      Put16(central, uint32_t(m.comment.size()));
      Put16(central, 0);  // disk
      Put16(central, m.internal);
      Put32(central, m.external);
      Put32(central, uint32_t(m.headerOffset));
      PutBytes(central, m.name);
      PutBytes(central, m.centralExtra);
      PutBytes(central, m.comment);
    }
    const uint64_t directoryOffset = at;
    // More entries than the end record can count: a ZIP64 end record and its locator
    // count them, and the end record's counts say 0xFFFF.
    const bool zip64 = members.size() > 0xFFFF;
    if (zip64) {
      const uint64_t record = at + central.size();
      Put32(out, kZip64EndSignature);
      Put64(out, kZip64EndRecordSize - 12);  // the size of the rest of the record
      Put16(out, kZip64Version);             // made by and needed
      Put16(out, kZip64Version);
      Put32(out, 0);  // this disk
      Put32(out, 0);  // the disk with the central directory
      Put64(out, members.size());
      Put64(out, members.size());
      Put64(out, central.size());
      Put64(out, directoryOffset);
      Put32(out, kZip64LocatorSignature);
      Put32(out, 0);  // the disk with the ZIP64 end record
      Put64(out, record);
      Put32(out, 1);  // disks
    }
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64 ? 0xFFFF : uint32_t(members.size()));
    Put16(out, zip64 ? 0xFFFF : uint32_t(members.size()));
    Put32(out, uint32_t(central.size()));
    Put32(out, uint32_t(directoryOffset));
    Put16(out, uint32_t(comment.size() + kSealLength));
    PutBytes(out, comment);
    PutBytes(out, std::string(kSealTag));
    uint32_t crc = 0;
    for (const Member& m : members)
      crc = CombineCrc(crc, m.sealCrc, kLocalHeaderSize + m.name.size() + m.localExtra.size() + m.written);
    crc = ExtendSealCrc(ExtendSealCrc(crc, central.data(), central.size()), out.data(), out.size());
    PutBytes(out, SealText(crc).substr(kSealTag.size()));
    if (!Put(at, central.data(), central.size()) || !Put(at + central.size(), out.data(), out.size())) return false;
    *end = at + central.size() + out.size();
    return true;
  }

 private:
  bool Problem(const Member& m, const std::string& why) {
    problems_->push_back("entry " + QuotedName(m.name, m.flags) + (m.path.empty() ? "" : " (" + m.path + ")") + ": " +
                         why);
    return false;
  }

  bool Put(uint64_t offset, const void* data, size_t n) {
    if (offset + n > maxSize_) {
      if (!tooLarge_)
        problems_->push_back(Format("the setup file would be too large (its archive passes the %llu bytes that fit "
                                    "beside the stub): %s",
                                    (unsigned long long)maxSize_, kSizeLimitReason));
      tooLarge_ = true;
      return false;
    }
    dataCrc_ = ExtendSealCrc(dataCrc_, data, n);
    if (out_.WriteAt(offset, data, n)) return true;
    problems_->push_back("cannot write the setup file: " + std::string(std::strerror(errno)));
    return false;
  }

  bool CopyAsFound(Member& m, uint64_t dataAt) {
    m.written = m.archive ? m.storedSize : m.stored.size();
    if (!m.archive) return Put(dataAt, m.stored.data(), m.stored.size());
    return ReadInPieces(*m.archive, m.storedAt, m.storedSize, [&](const uint8_t* data, size_t n) {
             if (!Put(dataAt, data, n)) return false;
             dataAt += n;
             return true;
           }) ||
           (!tooLarge_ && Problem(m, "its data cannot be read from the archive"));
  }

  // Deflates the data to `dataAt`. `store`: deflating does not make it smaller, and it
  // may be stored; `whole`: all of it was read, so the CRC-32 and size are known.
  // `held`: it came in one read, and the input buffer holds all of it.
  bool Deflate(Member& m, uint64_t dataAt, bool* store, bool* whole, bool* held) {
    std::unique_ptr<DataReader> reader;
    std::string error;
    if (!OpenData(m, &reader, &error)) return Problem(m, error);
    const Compression& c = compressions_[size_t(m.compression)];
    z_stream z{};
    if (deflateInit2(&z, c.level, Z_DEFLATED, -MAX_WBITS, 8, c.strategy) != Z_OK)
      return Problem(m, "zlib failed to deflate it");
    std::vector<uint8_t>& in = Buffer(inBuffer_);
    std::vector<uint8_t>& out = Buffer(outBuffer_);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t total = 0, written = 0;
    bool ok = true, end = false;
    size_t reads = 0, inputRun = 0;
    MarkerRunWatch runs;
    while (ok && !end) {
      size_t want = in.size();
      // The sample ends where it ends, however the reads fall.
      if (m.mayStore && total < kStoreSample) want = size_t(std::min<uint64_t>(want, kStoreSample - total));
      size_t got = 0;
      if (!reader->Read(in.data(), want, &got, &error)) {
        ok = Problem(m, error);
        break;
      }
      end = got < want;
      ++reads;
      crc = crc32(crc, in.data(), uInt(got));
      if (m.mayStore) runs.Feed(in.data(), got);
      total += got;
      if (total >= kMaxEntrySize) {
        ok = Problem(m, "it is 4 GiB or larger; the setup program's reader takes sizes below 4 GiB");
        break;
      }
      int status = Z_OK;
      auto feed = [&](const uint8_t* data, size_t n, int flush) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = uInt(n);
        do {
          z.next_out = out.data();
          z.avail_out = uInt(out.size());
          status = deflate(&z, flush);
          const size_t produced = out.size() - z.avail_out;
          if (produced && !Put(dataAt + written, out.data(), produced)) ok = false;
          written += produced;
        } while (ok && status == Z_OK && z.avail_out == 0);
      };
      size_t from = 0;
      if (c.splitRuns) {
        // Data deflate cannot shrink goes into stored blocks as it is, runs and all: an
        // empty block after every fourth 0x55 in a row parts them.
        for (size_t i = 0; i < got && ok; ++i) {
          inputRun = in[i] == uint8_t(PayloadMarker[0]) ? inputRun + 1 : 0;
          if (inputRun < 4) continue;
          feed(in.data() + from, i + 1 - from, Z_SYNC_FLUSH);
          from = i + 1;
          inputRun = 0;
        }
      }
      if (ok) feed(in.data() + from, got - from, end ? Z_FINISH : Z_NO_FLUSH);
      if (ok && (status == Z_STREAM_ERROR || (end && status != Z_STREAM_END))) ok = Problem(m, "zlib failed to deflate it");
      if (ok && m.mayStore && !end && total == kStoreSample && written + kHeldBack >= total && !runs.Seen()) {
        *store = true;
        break;
      }
    }
    deflateEnd(&z);
    if (!ok) return false;
    *whole = end;
    *held = end && reads == 1;
    if (end && m.mayStore && written >= total && !runs.Seen()) *store = true;
    m.crc = uint32_t(crc);
    m.size = uint32_t(total);
    m.written = written;
    m.method = 8;
    m.versionNeeded = 20;
    // Bits 1 and 2 tell the level class: maximum, fast, super fast or normal.
    const uint16_t levelBits = c.level >= 8 ? 0x2 : c.level == 2 ? 0x4 : c.level == 1 ? 0x6 : 0x0;
    m.flags = uint16_t((m.flags & ~0x6) | levelBits);
    return true;
  }

  // Writes the data stored to `dataAt`, over what deflating wrote there; `run`: it holds
  // a run of the marker's byte after all (in the part the sample did not see).
  bool Store(Member& m, uint64_t dataAt, bool* run) {
    dataCrc_ = 0;  // over what deflating wrote
    MarkerRunWatch runs;
    std::unique_ptr<DataReader> reader;
    std::string error;
    if (!OpenData(m, &reader, &error)) return Problem(m, error);
    std::vector<uint8_t>& in = Buffer(inBuffer_);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t total = 0;
    for (;;) {
      size_t got = 0;
      if (!reader->Read(in.data(), in.size(), &got, &error)) return Problem(m, error);
      if (got == 0) break;
      crc = crc32(crc, in.data(), uInt(got));
      runs.Feed(in.data(), got);
      if (runs.Seen()) {
        *run = true;
        return true;
      }
      if (!Put(dataAt + total, in.data(), got)) return false;
      total += got;
      if (total >= kMaxEntrySize)
        return Problem(m, "it is 4 GiB or larger; the setup program's reader takes sizes below 4 GiB");
    }
    m.crc = uint32_t(crc);
    m.size = uint32_t(total);
    Stored(m, total);
    return true;
  }

  static void Stored(Member& m, uint64_t size) {
    m.written = size;
    m.method = 0;
    m.versionNeeded = 10;
    m.flags = uint16_t(m.flags & ~0x6);
  }

  // The buffers are the writer's, made once: a product of many small files would
  // otherwise pay for megabytes per file.
  static std::vector<uint8_t>& Buffer(std::vector<uint8_t>& buffer) {
    if (buffer.empty()) buffer.resize(kBufferSize);
    return buffer;
  }

  ByteSink& out_;
  std::vector<uint8_t> inBuffer_, outBuffer_;
  const std::vector<Compression>& compressions_;
  uint64_t maxSize_;
  std::vector<std::string>* problems_;
  bool tooLarge_ = false;
  uint32_t dataCrc_ = 0;  // of the bytes put since the data's start
};

// A member with its name, flags, DOS stamp and "UT" block; false when the time cannot be stored.
bool NewMember(const StoredName& name, int64_t modificationTime, Member* member, std::string* error) {
  // The "UT" block holds a signed 32-bit time, and the reader takes only times from 1970 on.
  if (modificationTime < 0 || modificationTime > INT32_MAX) {
    *error = "its modification time lies outside 1970 to 2038, which a \"UT\" block cannot hold";
    return false;
  }
  Member m;
  m.name = name.bytes;
  m.flags = name.flags;
  DosStampOf(modificationTime, &m.dosDate, &m.dosTime);
  // A "UT" block of 5 bytes: flags 1 (a modification time follows), the time.
  std::vector<uint8_t> timestamp;
  Put16(timestamp, kTimestampExtraId);
  Put16(timestamp, 5);
  timestamp.push_back(1);
  Put32(timestamp, uint32_t(modificationTime));
  m.localExtra.assign(timestamp.begin(), timestamp.end());
  m.compression = 0;
  m.mayStore = true;
  *member = std::move(m);
  return true;
}

}  // namespace

bool MemberFromFile(const StoredName& name, std::vector<uint8_t> data, int64_t modificationTime, Member* member,
                    std::string* error) {
  if (data.size() >= kMaxEntrySize) {
    *error = "it is 4 GiB or larger; the setup program's reader takes sizes below 4 GiB";
    return false;
  }
  if (!NewMember(name, modificationTime, member, error)) return false;
  member->plain = std::move(data);
  member->plainKnown = true;
  return true;
}

bool MemberFromPath(const StoredName& name, const std::string& path, int64_t modificationTime, Member* member,
                    std::string* error) {
  if (!NewMember(name, modificationTime, member, error)) return false;
  member->path = path;
  return true;
}

namespace {

Member MemberOf(const EntryInfo& e) {
  Member m;
  m.name = e.name;
  m.versionMadeBy = e.versionMadeBy;
  m.versionNeeded = e.versionNeeded;
  m.flags = uint16_t(e.flags & ~kDataDescriptorFlag);  // no data descriptor: the local header gets the sizes
  m.method = e.method;
  m.storedMethod = e.method;
  m.dosTime = e.dosTime;
  m.dosDate = e.dosDate;
  m.internal = e.internal;
  m.external = e.external;
  m.crc = e.crc;
  m.size = uint32_t(e.uncompressedSize);  // a checked archive's sizes are below 4 GiB
  m.localExtra = WithoutZip64Blocks(e.localExtra);
  m.centralExtra = WithoutZip64Blocks(e.centralExtra);
  m.comment = e.comment;
  return m;
}

}  // namespace

std::vector<Member> MembersFromArchive(const ByteSource& source, const ArchiveCheck& check) {
  std::vector<Member> members;
  for (const EntryInfo& e : check.entries) {
    Member m = MemberOf(e);
    if (e.dataInBounds && e.dataOffset <= source.Size() && e.compressedSize <= source.Size() - e.dataOffset) {
      m.archive = &source;
      m.storedAt = e.dataOffset;
      m.storedSize = e.compressedSize;
    }
    members.push_back(std::move(m));
  }
  return members;
}

std::vector<Member> MembersFromArchive(const uint8_t* data, size_t size, const ArchiveCheck& check) {
  std::vector<Member> members;
  for (const EntryInfo& e : check.entries) {
    Member m = MemberOf(e);
    if (e.dataInBounds && e.dataOffset <= size && e.compressedSize <= size - e.dataOffset)
      m.stored.assign(data + e.dataOffset, data + e.dataOffset + e.compressedSize);
    members.push_back(std::move(m));
  }
  return members;
}

std::string CommentBeforeSeal(const std::string& comment) {
  uint32_t crc = 0;
  return ReadSeal(comment, &crc) ? comment.substr(0, comment.size() - kSealLength) : comment;
}

std::string NoRoomForSeal(size_t commentSize) {
  const size_t most = 0xFFFF - kEndRecordSize - kSealLength;
  if (commentSize <= most) return std::string();
  return Format("the archive comment is %zu bytes; with the seal of %zu bytes behind it, the end record would lie "
                "farther than the 65535 bytes from the end that the setup program looks back (a comment of at most "
                "%zu bytes leaves room)",
                commentSize, kSealLength, most);
}

bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, ByteSink& out, uint64_t maxSize,
                                 uint64_t* size, std::vector<std::string>* problems, std::vector<std::string>* notes) {
  const std::string vendorComment = CommentBeforeSeal(comment);
  const std::string noRoom = NoRoomForSeal(vendorComment.size());
  if (!noRoom.empty()) {
    problems->push_back(noRoom);
    return false;
  }
  ArchiveWriter writer(out, compressions, maxSize, problems);
  // Every round gives at least one entry a compression it has not had yet, or deflates
  // one that was stored, so the loop ends. Each writes the archive again from the first
  // entry it changed.
  size_t from = 0;
  for (;;) {
    uint64_t at = from == 0 ? 0 : members[from - 1].headerOffset + kLocalHeaderSize + members[from - 1].name.size() +
                                      members[from - 1].localExtra.size() + members[from - 1].written;
    for (size_t i = from; i < members.size(); ++i) {
      if (!writer.WriteMember(members[i], at)) return false;
      at = members[i].headerOffset + kLocalHeaderSize + members[i].name.size() + members[i].localExtra.size() +
           members[i].written;
    }
    if (!writer.WriteDirectory(members, at, vendorComment, size) || !out.SetSize(*size)) {
      if (problems->empty()) problems->push_back("cannot write the setup file: " + std::string(std::strerror(errno)));
      return false;
    }
    CheckOptions options;
    options.readData = false;
    options.checkSeal = false;
    const ArchiveCheck check = CheckArchive(out.ReadBack(*size), options);
    if (check.runs.empty()) return true;

    std::set<int> again;
    for (const MarkerRun& run : check.runs) {
      std::set<int> changeable;
      bool stored = false;
      for (const Field& f : run.fields) {
        if (!f.changesWithCompression || f.entry < 0 || size_t(f.entry) >= members.size()) continue;
        const Member& m = members[size_t(f.entry)];
        if (m.method == 8 || (m.mayStore && m.compression >= 0)) changeable.insert(f.entry);
        else stored = true;
      }
      const std::string where = DescribeRun(run, check.entries);
      if (stored)
        problems->push_back("eight 0x55 bytes in a row in " + where +
                            ": the entry is stored, so its bytes are the file's own; deflate it, or change the file");
      else if (changeable.empty())
        problems->push_back("eight 0x55 bytes in a row in " + where +
                            ": deflating again cannot change these fields; change the name, the file or its "
                            "modification time");
      again.insert(changeable.begin(), changeable.end());
    }
    if (!problems->empty()) return false;

    for (int i : again) {
      Member& m = members[size_t(i)];
      if (m.method == 0) {
        // Stored by choice: deflated after all, however little that saves.
        m.mayStore = false;
        notes->push_back("entry " + QuotedName(m.name, m.flags) + " deflated at " +
                         Describe(compressions[size_t(m.compression)]) +
                         ", not stored, to break a run of eight 0x55 bytes");
        continue;
      }
      int next = m.compression + 1;
      // Data that did not shrink went into stored blocks as it is: every other level and
      // strategy would store it alike, so the one that parts runs is next.
      const bool unshrunk = m.compression >= 0 && compressions[size_t(m.compression)].level > 0 && m.written >= m.size;
      if (unshrunk)
        for (size_t k = size_t(next); k < compressions.size(); ++k)
          if (compressions[k].splitRuns) {
            next = int(k);
            break;
          }
      if (size_t(next) >= compressions.size()) {
        problems->push_back("entry " + QuotedName(m.name, m.flags) +
                            ": every compression tried leaves eight 0x55 bytes in a row in it");
        return false;
      }
      m.compression = next;
      // Deflated again, it must stay deflated: stored, its data would hold the run.
      m.mayStore = false;
      notes->push_back("entry " + QuotedName(m.name, m.flags) + " deflated again at " +
                       Describe(compressions[size_t(next)]) + " to break a run of eight 0x55 bytes");
    }
    from = size_t(*again.begin());
  }
}

bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, std::vector<uint8_t>* archive,
                                 std::vector<std::string>* problems, std::vector<std::string>* notes) {
  archive->clear();
  MemorySink sink(*archive);
  uint64_t size = 0;
  return WriteArchiveAvoidingMarkers(members, comment, compressions, sink, kMaxSetupFileSize, &size, problems,
                                     notes);
}

}  // namespace mksetup
