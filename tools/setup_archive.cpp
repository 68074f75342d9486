#include "tools/setup_archive.h"

#include "archive/zip_format.h"
#include "platform/calendar.h"

#include <zlib.h>

#include <climits>
#include <cstdio>
#include <set>

namespace mksetup {

using namespace zipformat;

const std::vector<Compression> kCompressions = {
    {9, Z_DEFAULT_STRATEGY}, {8, Z_DEFAULT_STRATEGY}, {7, Z_DEFAULT_STRATEGY}, {6, Z_DEFAULT_STRATEGY},
    {5, Z_DEFAULT_STRATEGY}, {4, Z_DEFAULT_STRATEGY}, {3, Z_DEFAULT_STRATEGY}, {2, Z_DEFAULT_STRATEGY},
    {1, Z_DEFAULT_STRATEGY}, {9, Z_FILTERED},         {9, Z_RLE},              {9, Z_FIXED},
    {9, Z_HUFFMAN_ONLY},
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
  std::snprintf(text, sizeof text, "level %d%s", c.level, strategy);
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

bool Recompress(Member& member, const std::vector<Compression>& compressions, int index) {
  const Compression& c = compressions[size_t(index)];
  z_stream z{};
  if (deflateInit2(&z, c.level, Z_DEFLATED, -MAX_WBITS, 8, c.strategy) != Z_OK) return false;
  std::vector<uint8_t> out(deflateBound(&z, uLong(member.plain.size())));
  z.next_in = member.plain.data();
  z.avail_in = uInt(member.plain.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END || out.size() >= 0xFFFFFFFFu) return false;
  member.stored = std::move(out);
  member.method = 8;
  member.versionNeeded = 20;
  // Bits 1 and 2 tell the level class: maximum, fast, super fast or normal.
  const uint16_t levelBits = c.level >= 8 ? 0x2 : c.level == 2 ? 0x4 : c.level == 1 ? 0x6 : 0x0;
  member.flags = uint16_t((member.flags & ~0x6) | levelBits);
  member.compression = index;
  return true;
}

bool MemberFromFile(const StoredName& name, std::vector<uint8_t> data, int64_t modificationTime,
                    const std::vector<Compression>& compressions, Member* member, std::string* error) {
  // The "UT" block holds a signed 32-bit time, and the reader takes only times from 1970 on.
  if (modificationTime < 0 || modificationTime > INT32_MAX) {
    *error = "its modification time lies outside 1970 to 2038, which a \"UT\" block cannot hold";
    return false;
  }
  if (data.size() >= 0xFFFFFFFFu) {
    *error = "it is 4 GiB or larger; the setup program's reader takes sizes below 4 GiB";
    return false;
  }
  Member m;
  m.name = name.bytes;
  m.flags = name.flags;
  m.crc = uint32_t(crc32(crc32(0, nullptr, 0), data.data(), uInt(data.size())));
  m.size = uint32_t(data.size());
  DosStampOf(modificationTime, &m.dosDate, &m.dosTime);
  // A "UT" block of 5 bytes: flags 1 (a modification time follows), the time.
  std::vector<uint8_t> timestamp;
  Put16(timestamp, kTimestampExtraId);
  Put16(timestamp, 5);
  timestamp.push_back(1);
  Put32(timestamp, uint32_t(modificationTime));
  m.localExtra.assign(timestamp.begin(), timestamp.end());
  m.plain = std::move(data);
  m.plainKnown = true;
  if (!Recompress(m, compressions, 0)) {
    *error = "zlib failed to deflate it";
    return false;
  }
  *member = std::move(m);
  return true;
}

std::vector<Member> MembersFromArchive(const uint8_t* data, size_t size, const ArchiveCheck& check) {
  std::vector<Member> members;
  for (const EntryInfo& e : check.entries) {
    Member m;
    m.name = e.name;
    m.versionMadeBy = e.versionMadeBy;
    m.versionNeeded = e.versionNeeded;
    m.flags = uint16_t(e.flags & ~kDataDescriptorFlag);  // no data descriptor: the local header gets the sizes
    m.method = e.method;
    m.dosTime = e.dosTime;
    m.dosDate = e.dosDate;
    m.internal = e.internal;
    m.external = e.external;
    m.crc = e.crc;
    m.size = uint32_t(e.uncompressedSize);  // a checked archive's sizes are below 4 GiB
    m.localExtra = WithoutZip64Blocks(e.localExtra);
    m.centralExtra = WithoutZip64Blocks(e.centralExtra);
    m.comment = e.comment;
    if (e.dataInBounds && e.dataOffset <= size && e.compressedSize <= size - e.dataOffset)
      m.stored.assign(data + e.dataOffset, data + e.dataOffset + e.compressedSize);
    members.push_back(std::move(m));
  }
  return members;
}

namespace {
// The fields a local header and its central record hold alike, from the version needed
// to the uncompressed size.
void PutSharedFields(std::vector<uint8_t>& out, const Member& m) {
  Put16(out, m.versionNeeded);
  Put16(out, m.flags);
  Put16(out, m.method);
  Put16(out, m.dosTime);
  Put16(out, m.dosDate);
  Put32(out, m.crc);
  Put32(out, uint32_t(m.stored.size()));
  Put32(out, m.size);
}
}  // namespace

std::vector<uint8_t> WriteArchive(const std::vector<Member>& members, const std::string& comment) {
  std::vector<uint8_t> out, central;
  for (const Member& m : members) {
    const uint32_t offset = uint32_t(out.size());
    Put32(out, kLocalSignature);
    PutSharedFields(out, m);
    Put16(out, uint32_t(m.name.size()));
    Put16(out, uint32_t(m.localExtra.size()));
    PutBytes(out, m.name);
    PutBytes(out, m.localExtra);
    out.insert(out.end(), m.stored.begin(), m.stored.end());

    Put32(central, kCentralSignature);
    Put16(central, m.versionMadeBy);
    PutSharedFields(central, m);
    Put16(central, uint32_t(m.name.size()));
    Put16(central, uint32_t(m.centralExtra.size()));
    Put16(central, uint32_t(m.comment.size()));
    Put16(central, 0);  // disk
    Put16(central, m.internal);
    Put32(central, m.external);
    Put32(central, offset);
    PutBytes(central, m.name);
    PutBytes(central, m.centralExtra);
    PutBytes(central, m.comment);
  }
  const uint32_t directoryOffset = uint32_t(out.size());
  out.insert(out.end(), central.begin(), central.end());
  // More entries than the end record can count: a ZIP64 end record and its locator
  // count them, and the end record's counts say 0xFFFF.
  const bool zip64 = members.size() > 0xFFFF;
  if (zip64) {
    const uint64_t record = out.size();
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
  Put32(out, directoryOffset);
  Put16(out, uint32_t(comment.size()));
  PutBytes(out, comment);
  return out;
}

bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, std::vector<uint8_t>* archive,
                                 std::vector<std::string>* problems, std::vector<std::string>* notes) {
  if (comment.size() > 0xFFFF) {
    problems->push_back("the archive comment is longer than 65535 bytes");
    return false;
  }
  // Every round deflates at least one entry with a compression it has not had yet, so
  // the loop ends.
  for (;;) {
    *archive = WriteArchive(members, comment);
    if (archive->size() > kMaxSetupFileSize) {
      problems->push_back(Format("the archive would be %zu bytes; mksetup writes archives below 4 GiB, whose offsets "
                                 "fit 32 bits",
                                 archive->size()));
      return false;
    }
    CheckOptions options;
    options.readData = false;
    const ArchiveCheck check = CheckArchive(archive->data(), archive->size(), options);
    if (check.runs.empty()) return true;

    std::set<int> again;
    for (const MarkerRun& run : check.runs) {
      std::set<int> changeable;
      bool stored = false;
      for (const Field& f : run.fields) {
        if (!f.changesWithCompression || f.entry < 0) continue;
        if (members[size_t(f.entry)].method == 8) changeable.insert(f.entry);
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
      std::string error;
      if (!m.plainKnown) {
        if (!ReadEntryData(archive->data(), archive->size(), check.entries[size_t(i)], &m.plain, &error)) {
          problems->push_back("entry " + QuotedName(m.name, m.flags) + ": " + error);
          return false;
        }
        m.plainKnown = true;
      }
      const int next = m.compression + 1;
      if (size_t(next) >= compressions.size()) {
        problems->push_back("entry " + QuotedName(m.name, m.flags) +
                            ": every compression tried leaves eight 0x55 bytes in a row in it");
        return false;
      }
      if (!Recompress(m, compressions, next)) {
        problems->push_back("entry " + QuotedName(m.name, m.flags) + ": zlib failed to deflate it");
        return false;
      }
      notes->push_back("entry " + QuotedName(m.name, m.flags) + " deflated again at " +
                       Describe(compressions[size_t(next)]) + " to break a run of eight 0x55 bytes");
    }
  }
}

}  // namespace mksetup
