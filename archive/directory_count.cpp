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
const DWORD kEndRecordSize = 22;
const DWORD kCentralHeaderSize = 46;
// minizip looks this far back from the end of the file for the end record.
const DWORD kEndSearchReach = 0xFFFF;

uint32_t Get16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const unsigned char* p) { return Get16(p) | Get16(p + 2) << 16; }

}  // namespace

DirectoryRecords CountDirectoryRecords(ArchiveStream& stream, uint32_t counted) {
  const DirectoryRecords agrees = {DirectoryCount::kAgrees, int32_t(counted)};
  uint64_t size = 0;
  if (!ArchiveFileSize(stream, &size) || size < kEndRecordSize) return agrees;
  // The end record as minizip finds it: the last signature within its reach. The tail
  // also shows whether minizip read ZIP64 records, whose counts need no second look.
  const DWORD reach = DWORD(std::min<uint64_t>(size, kEndSearchReach));
  std::vector<unsigned char> tail(reach);
  if (!ReadArchiveAt(stream, size - reach, tail.data(), reach)) return agrees;
  size_t end = tail.size();
  for (size_t p = tail.size() - 4 + 1; p-- > 0;) {
    const uint32_t signature = Get32(&tail[p]);
    if (signature == kZip64LocatorSignature) return agrees;
    if (signature == kEndSignature && end == tail.size() && p + kEndRecordSize <= tail.size()) end = p;
  }
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
