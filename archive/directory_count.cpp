// Counting the records of the central directory, for an end record whose 16-bit count
// may have wrapped: a writer without ZIP64 stores 65,536 entries as 0, and minizip would
// then offer none of them.
#include "archive/archive_internal.h"
#include "archive/zip_format.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

using namespace zipformat;

// Where minizip reads the archive's counts from a ZIP64 end record, its position: the
// last locator within minizip's reach (not at the file's first byte), on disk 0 of 1
// disk, pointing to the record's signature. A stray locator signature, in data or a
// comment, is no such thing. kNoRecord otherwise.
const uint64_t kNoRecord = UINT64_MAX;
uint64_t Zip64EndRecordAt(ArchiveStream& stream, const std::vector<unsigned char>& tail, uint64_t tailAt) {
  for (size_t p = tail.size() - 4 + 1; p-- > 0;) {
    if (Get32(&tail[p]) != kZip64LocatorSignature) continue;
    if (tailAt + p == 0 || p + 20 > tail.size()) return kNoRecord;
    const unsigned char* l = &tail[p];
    const uint64_t record = uint64_t(Get32(l + 8)) | uint64_t(Get32(l + 12)) << 32;
    unsigned char signature[4];
    const bool leads = Get32(l + 4) == 0 && Get32(l + 16) == 1 && ReadArchiveAt(stream, record, signature, 4) &&
                       Get32(signature) == kZip64EndSignature;
    return leads ? record : kNoRecord;
  }
  return kNoRecord;
}

// Where the central directory ends, how long it is and the count it is given, as minizip
// takes them from the end record or the ZIP64 end record.
struct DirectoryPlace {
  uint64_t end = 0, size = 0, counted = 0;
  bool zip64 = false;
};

bool PlaceDirectory(ArchiveStream& stream, uint64_t fileSize, DirectoryPlace* place) {
  // The end record as minizip finds it: the last signature within its reach.
  const uint32_t reach = uint32_t(std::min<uint64_t>(fileSize, uint64_t(kEndSearchReach)));
  std::vector<unsigned char> tail(reach);
  if (!ReadArchiveAt(stream, fileSize - reach, tail.data(), reach)) return false;
  const uint64_t zip64 = Zip64EndRecordAt(stream, tail, fileSize - reach);
  if (zip64 != kNoRecord) {
    unsigned char r[kZip64EndRecordSize];
    if (!ReadArchiveAt(stream, zip64, r, sizeof r)) return false;
    place->zip64 = true;
    place->end = zip64;
    place->counted = uint64_t(Get32(r + 32)) | uint64_t(Get32(r + 36)) << 32;
    place->size = uint64_t(Get32(r + 40)) | uint64_t(Get32(r + 44)) << 32;
  } else {
    size_t end = tail.size();
    for (size_t p = tail.size() - 4 + 1; p-- > 0 && end == tail.size();)
      if (Get32(&tail[p]) == kEndSignature && p + kEndRecordSize <= tail.size()) end = p;
    if (end == tail.size()) return false;
    place->end = fileSize - reach + end;
    place->counted = Get16(&tail[end] + 10);
    place->size = Get32(&tail[end] + 12);
  }
  return place->size <= place->end;
}

}  // namespace

DirectoryRecords CountDirectoryRecords(ArchiveStream& stream, uint32_t counted) {
  const DirectoryRecords agrees = {DirectoryCount::kAgrees, int32_t(counted)};
  uint64_t size = 0;
  DirectoryPlace place;
  if (!ArchiveFileSize(stream, &size) || size < kEndRecordSize || !PlaceDirectory(stream, size, &place) ||
      place.counted != counted)
    return agrees;

  // The records from the directory's start on, as long as they are central records.
  uint64_t at = place.end - place.size;
  int64_t records = 0;
  unsigned char header[kCentralHeaderSize];
  while (at + kCentralHeaderSize <= size && records < INT_MAX &&
         ReadArchiveAt(stream, at, header, kCentralHeaderSize) && Get32(header) == kCentralSignature) {
    at += kCentralHeaderSize + Get16(header + 28) + Get16(header + 30) + Get16(header + 32);
    ++records;
  }
  if (records == int64_t(counted)) return agrees;
  if (records < int64_t(counted)) return {DirectoryCount::kFewer, int32_t(records)};
  // Only records that fill the directory to its end record, and a 16-bit count that is
  // theirs modulo 65,536, say the count wrapped; a ZIP64 count cannot have.
  if (!place.zip64 && at == place.end && (records - int64_t(counted)) % 65536 == 0)
    return {DirectoryCount::kWrapped, int32_t(records)};
  return {DirectoryCount::kDisagrees, int32_t(records)};
}
