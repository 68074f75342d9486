// Building an entry's record: attribute bits, file times and the "UT" extended timestamp.
#include "archive/archive_internal.h"

#include <cstring>
#include <strings.h>

uint32_t AttributesFromExternal(uint32_t external) {
  // The low half holds DOS attribute bits, the high half the Unix mode of archives made
  // on Unix-like hosts; both are read whatever host the archive names.
  uint32_t a = FILE_ATTRIBUTE_NORMAL;
  if ((external & 0x40000000u) || (external & FILE_ATTRIBUTE_DIRECTORY))
    a = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY;
  if (external & FILE_ATTRIBUTE_ARCHIVE) a |= FILE_ATTRIBUTE_ARCHIVE;
  if (external & FILE_ATTRIBUTE_HIDDEN) a |= FILE_ATTRIBUTE_HIDDEN;
  // No Unix owner-write bit means read-only, so DOS-made entries always are.
  if (!(external & 0x00800000u) || (external & FILE_ATTRIBUTE_READONLY)) a |= FILE_ATTRIBUTE_READONLY;
  if (external & FILE_ATTRIBUTE_SYSTEM) a |= FILE_ATTRIBUTE_SYSTEM;
  return a;
}

FILETIME FileTimeFromDos(uint16_t date, uint16_t time) {
  // No time-zone adjustment: the stored wall-clock reading is taken as UTC. A stamp the
  // platform rejects (month 0, day 0, hour 24 ...) carries no time at all rather than
  // a made-up one, and extraction then leaves the file's time alone.
  FILETIME ft{};
  if (!::DosDateTimeToFileTime(date, time, &ft)) return FILETIME{};
  return ft;
}

FILETIME FileTimeFromUnix(int32_t seconds) {
  // The run-time library's gmtime would do the breakdown, but on Windows it refuses
  // times before 1970, which the "UT" block allows (its times are signed), and it
  // returns a shared buffer. Days to civil date after H. Hinnant's civil_from_days.
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;

  SYSTEMTIME st{};
  st.wYear = WORD(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  st.wMonth = WORD(month);
  st.wDay = WORD(dayOfYear - (153 * mp + 2) / 5 + 1);
  st.wHour = WORD(secondOfDay / 3600);
  st.wMinute = WORD(secondOfDay % 3600 / 60);
  st.wSecond = WORD(secondOfDay % 60);
  FILETIME ft{};
  // Every 32-bit time (1901 to 2038) is a valid system time.
  if (!::SystemTimeToFileTime(&st, &ft)) return FILETIME{};
  return ft;
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
      FILETIME* targets[] = {&entry.writeTime, &entry.accessTime, &entry.creationTime};
      size_t at = 1;
      for (unsigned bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit))) continue;
        // A time the flags announce but the block does not hold keeps the DOS value,
        // and so do the ones after it.
        if (at + 4 > size) break;
        const uint32_t t = uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                           uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24;
        *targets[bit] = FileTimeFromUnix(int32_t(t));
        at += 4;
      }
      return ArchiveOk;
    }
    start += 4 + size;
  }
  return ArchiveOk;
}

bool IsPlainFileName(const char* name) {
  const size_t n = std::strlen(name);
  if (n == 0) return false;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || std::strchr("<>:\"/\\|?*", c)) return false;
  }
  // Windows drops trailing dots and spaces, so "a." would land in "a" and ".." in the
  // parent directory.
  if (name[n - 1] == '.' || name[n - 1] == ' ') return false;
  // Device names stay devices whatever extension follows: "nul.txt" is NUL.
  size_t stem = 0;
  while (stem < n && name[stem] != '.') ++stem;
  while (stem > 0 && name[stem - 1] == ' ') --stem;  // "nul .txt" is NUL too
  auto is = [&](const char* device) {
    return stem == std::strlen(device) && strncasecmp(name, device, stem) == 0;
  };
  if (is("CON") || is("PRN") || is("AUX") || is("NUL")) return false;
  if (stem == 4 && (strncasecmp(name, "COM", 3) == 0 || strncasecmp(name, "LPT", 3) == 0) &&
      name[3] >= '1' && name[3] <= '9')
    return false;
  return true;
}
