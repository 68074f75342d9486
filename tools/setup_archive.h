// Writing the archive of a setup file. The same members give the same bytes: entries in
// the order given, times from the members (UTC), nothing taken from the host. Runs of
// eight 0x55 bytes, which would make the setup program refuse its own file, are avoided
// by deflating the entries they lie in again, at other levels.
#pragma once

#include "tools/name_text.h"
#include "tools/setup_file_check.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mksetup {

// One way to deflate: zlib's level and strategy.
struct Compression {
  int level;
  int strategy;
};

// Level 9 first, then the others that re-deflating tries in turn.
extern const std::vector<Compression> kCompressions;

struct Member {
  std::string name;
  uint16_t versionMadeBy = 0x0314;  // Unix, 2.0: the high half of `external` is a Unix mode
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;
  uint16_t method = 8;
  uint16_t dosTime = 0, dosDate = 0;
  uint16_t internal = 0;
  uint32_t external = 0x81A40020;  // regular file, rw-r--r--, DOS archive bit
  uint32_t crc = 0, size = 0;
  std::string localExtra, centralExtra, comment;
  std::vector<uint8_t> stored;  // the data as stored: deflated for method 8
  // The data itself, when known: deflating again needs it.
  std::vector<uint8_t> plain;
  bool plainKnown = false;
  int compression = -1;  // the entry in the compression list its data was made with; -1: as found
};

// The DOS date and time of a Unix time, read as UTC (the setup program's reader takes
// the stamp as UTC). Times before 1980 give 1980-01-01 00:00:00; odd seconds round down.
void DosStampOf(int64_t unixTime, uint16_t* date, uint16_t* time);

// SOURCE_DATE_EPOCH: empty when the text is null or empty. False when it is no decimal
// number of seconds.
bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>* epoch);

// A file's modification time as it is stored: files modified after SOURCE_DATE_EPOCH,
// when it is given, get SOURCE_DATE_EPOCH.
int64_t StoredTime(int64_t modificationTime, const std::optional<int64_t>& epoch);

// A member made from a file's bytes and modification time, under `name` and the flags it
// needs: deflated with the first of `compressions`, a DOS stamp and a "UT" block with the
// modification time. False with the reason when the time cannot be stored (before 1970
// or after 2038).
bool MemberFromFile(const StoredName& name, std::vector<uint8_t> data, int64_t modificationTime,
                    const std::vector<Compression>& compressions, Member* member, std::string* error);

// The members of a checked archive, their data copied as stored. A data descriptor is
// dropped: the sizes and CRC-32 are written into the local header instead. So are ZIP64
// extra blocks: every size and offset written fits its 32-bit field.
std::vector<Member> MembersFromArchive(const uint8_t* data, size_t size, const ArchiveCheck& check);

// Deflates `member.plain` again with compression `index`; false when zlib fails.
bool Recompress(Member& member, const std::vector<Compression>& compressions, int index);

// The archive's bytes: local headers and data, central directory, end record; for more
// than 65535 members a ZIP64 end record and its locator before the end record, whose
// counts then say 0xFFFF.
std::vector<uint8_t> WriteArchive(const std::vector<Member>& members, const std::string& comment);

// Writes the archive, and while a run of eight 0x55 bytes is left in it, deflates the
// entries that the run lies in again with the next compression in the list. Runs that
// no compression can change (in a name, a CRC-32 or time, a stored entry's data) are
// refused: false, with a reason each in `problems`. `notes` says which entries were
// deflated again. `members` keeps the compressions chosen.
bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, std::vector<uint8_t>* archive,
                                 std::vector<std::string>* problems, std::vector<std::string>* notes);

}  // namespace mksetup
