// Building an entry's record: attribute bits, file times and the "UT" extended timestamp.
#include "archive/archive_internal.h"
#include "platform/calendar.h"

#include <cstring>

uint32_t AttributesFromExternal(uint32_t external) {
  // The low half holds DOS attribute bits, the high half the Unix mode of archives made
  // on Unix-like hosts; both are read whatever host the archive names.
  uint32_t a = kAttributeNormal;
  if ((external & 0x40000000u) || (external & kAttributeDirectory))
    a = kAttributeNormal | kAttributeDirectory;
  if (external & kAttributeArchive) a |= kAttributeArchive;
  if (external & kAttributeHidden) a |= kAttributeHidden;
  // No Unix owner-write bit means read-only, so DOS-made entries always are.
  if (!(external & 0x00800000u) || (external & kAttributeReadOnly)) a |= kAttributeReadOnly;
  if (external & kAttributeSystem) a |= kAttributeSystem;
  return a;
}

ArchiveResult ApplyExtendedTimestamp(const unsigned char* field, size_t length, ArchiveEntry& entry) {
  // Blocks: 2-byte ID, 2-byte little-endian size, data. A block is examined while its
  // start lies more than 4 bytes before the end; 1 to 4 trailing bytes are padding.
  size_t start = 0;
  while (start + 4 < length) {
    const size_t size = size_t(field[start + 2]) | size_t(field[start + 3]) << 8;
    if (size > length - start - 4) return ArchiveErrExtraField;
    if (field[start] == 'U' && field[start + 1] == 'T') {
      const unsigned char* data = field + start + 4;
      if (size == 0) return ArchiveOk;
      const unsigned flags = data[0];
      FileTime* targets[] = {&entry.writeTime, &entry.accessTime, &entry.creationTime};
      size_t at = 1;
      for (unsigned bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit))) continue;
        // A time the flags announce but the block does not hold keeps the DOS value,
        // and so do the ones after it.
        if (at + 4 > size) break;
        const uint32_t t = uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                           uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24;
        // Signed: 1901 to 2038, every one a valid file time.
        *targets[bit] = FileTimeFromUnixTime(int32_t(t));
        at += 4;
      }
      return ArchiveOk;
    }
    start += 4 + size;
  }
  return ArchiveOk;
}
