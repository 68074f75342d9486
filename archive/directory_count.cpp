// Counting the records of the central directory, for an end record whose 16-bit count
// may have wrapped: a writer without ZIP64 stores 65,536 entries as 0, and minizip would
// then offer none of them.
#include "archive/archive_internal.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

const uint32_t kEndSignature = 0x06054B50;
const uint32_t kCentralSignature = 0x02014B50;
const uint32_t kZip64LocatorSignature = 0x07064B50;
const uint32_t kZip64EndSignature = 0x06064B50;
const DWORD kEndRecordSize = 22;
const DWORD kCentralHeaderSize = 46;
// minizip looks this far back from the end of the file for the end record.
const DWORD kEndSearchReach = 0xFFFF;

uint32_t Get16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const unsigned char* p) { return Get16(p) | Get16(p + 2) << 16; }

// Whether minizip reads the archive's counts from a ZIP64 end record: the last locator
// within its reach (not at the file's first byte) on disk 0 of 1 disk, pointing to the
// record's signature. A stray locator signature, in data or a comment, is no such thing.
bool MinizipReadsZip64(ArchiveStream& stream, const std::vector<unsigned char>& tail, uint64_t tailAt) {
  for (size_t p = tail.size() - 4 + 1; p-- > 0;) {
    if (Get32(&tail[p]) != kZip64LocatorSignature) continue;
    if (tailAt + p == 0 || p + 20 > tail.size()) return false;
    const unsigned char* l = &tail[p];
    const uint64_t record = uint64_t(Get32(l + 8)) | uint64_t(Get32(l + 12)) << 32;
    unsigned char signature[4];
    return Get32(l + 4) == 0 && Get32(l + 16) == 1 && ReadArchiveAt(stream, record, signature, 4) &&
           Get32(signature) == kZip64EndSignature;
  }
  return false;
}

}  // namespace

DirectoryRecords CountDirectoryRecords(ArchiveStream& stream, uint32_t counted) {
  const DirectoryRecords agrees = {DirectoryCount::kAgrees, int32_t(counted)};
  uint64_t size = 0;
  if (!ArchiveFileSize(stream, &size) || size < kEndRecordSize) return agrees;
  // The end record as minizip finds it: the last signature within its reach. Counts
  // minizip took from a ZIP64 end record need no second look.
  const DWORD reach = DWORD(std::min<uint64_t>(size, kEndSearchReach));
  std::vector<unsigned char> tail(reach);
  if (!ReadArchiveAt(stream, size - reach, tail.data(), reach)) return agrees;
  if (MinizipReadsZip64(stream, tail, size - reach)) return agrees;
  size_t end = tail.size();
  for (size_t p = tail.size() - 4 + 1; p-- > 0 && end == tail.size();)
    if (Get32(&tail[p]) == kEndSignature && p + kEndRecordSize <= tail.size()) end = p;
  if (end == tail.size()) return agrees;
  const unsigned char* e = &tail[end];
  const uint64_t endAt = size - reach + end;
  const uint64_t directorySize = Get32(e + 12);
  if (Get16(e + 10) != counted || directorySize > endAt) return agrees;

  // The records from the directory's start on, as long as they are central records.
  uint64_t at = endAt - directorySize;
  int64_t records = 0;
  unsigned char header[kCentralHeaderSize];
  while (at + kCentralHeaderSize <= size && records < INT_MAX &&
         ReadArchiveAt(stream, at, header, kCentralHeaderSize) && Get32(header) == kCentralSignature) {
    at += kCentralHeaderSize + Get16(header + 28) + Get16(header + 30) + Get16(header + 32);
    ++records;
  }
  if (records == int64_t(counted)) return agrees;
  if (records < int64_t(counted)) return {DirectoryCount::kFewer, int32_t(records)};
  // Only records that fill the directory to its end record, and a count that is theirs
  // modulo 65,536, say the count wrapped.
  if (at == endAt && (records - int64_t(counted)) % 65536 == 0) return {DirectoryCount::kWrapped, int32_t(records)};
  return {DirectoryCount::kDisagrees, int32_t(records)};
}
