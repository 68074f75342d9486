// Writing the archive of a setup file, streamed: each entry's data is read and deflated
// through buffers of fixed size straight into the output, so that a product of gigabytes
// takes the memory of a small one. The same members give the same bytes: entries in the
// order given, times from the members (UTC), nothing taken from the host. An entry that
// deflating does not make smaller is stored. Runs of eight 0x55 bytes, which would make
// the setup program refuse its own file, are avoided by deflating the entries they lie in
// again, at other levels.
#pragma once

#include "tools/byte_sink.h"
#include "tools/byte_source.h"
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
  // An empty block after every fourth 0x55 byte in a row: the last resort for data that
  // deflate stores as it is, in stored blocks, with a run of them in it.
  bool splitRuns = false;
};

// Level 6 first, then the others that re-deflating tries in turn.
extern const std::vector<Compression> kCompressions;

// An entry larger than this is judged on its first so many bytes: stored at once when
// they deflate to no less than they are (less what zlib may still hold back), without
// deflating the rest. Data that does not shrink is media or an archive of its own, and
// is so from its start; deflating it whole would only find that out at its end, at the
// cost of deflating it.
const uint64_t kStoreSample = 16 << 20;
// The most output zlib holds back of data it cannot shrink: a block's symbols and the
// lookahead.
const uint64_t kHeldBack = 128 << 10;

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
  // Where the data comes from: a file by its path; else the data itself (plainKnown);
  // else as found in an archive, in `stored` or `archive` (at `storedAt`).
  std::string path;
  std::vector<uint8_t> plain;
  bool plainKnown = false;
  std::vector<uint8_t> stored;
  const ByteSource* archive = nullptr;
  uint64_t storedAt = 0, storedSize = 0;
  uint16_t storedMethod = 0;  // how the data found in an archive is stored
  // The entry in the compression list the data is deflated with; -1: copied as found.
  int compression = -1;
  bool mayStore = false;  // stored when deflating does not make it smaller
  // Where writing put it.
  uint64_t headerOffset = 0;
  uint64_t written = 0;  // bytes of data
  uint32_t sealCrc = 0;  // of its local header and data, as written
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
// needs: deflated with the first compression the archive is written with (or stored, when
// that is smaller), a DOS stamp and a "UT" block with the modification time. False with
// the reason when the time cannot be stored (before 1970 or after 2038).
bool MemberFromFile(const StoredName& name, std::vector<uint8_t> data, int64_t modificationTime, Member* member,
                    std::string* error);
// The same for the file at `path`, read only when the archive is written.
bool MemberFromPath(const StoredName& name, const std::string& path, int64_t modificationTime, Member* member,
                    std::string* error);

// The members of a checked archive, their data as stored. A data descriptor is dropped:
// the sizes and CRC-32 are written into the local header instead. So are ZIP64 extra
// blocks: every size and offset written fits its 32-bit field. From a source, the members
// refer to it for their data, which must outlive them; from bytes, they copy it.
std::vector<Member> MembersFromArchive(const ByteSource& source, const ArchiveCheck& check);
std::vector<Member> MembersFromArchive(const uint8_t* data, size_t size, const ArchiveCheck& check);

// The vendor's part of an archive comment: without the seal it may end with, which is
// of other bytes and gives way to a new one.
std::string CommentBeforeSeal(const std::string& comment);
// Why a comment of the vendor's this long leaves no room for the seal, or the empty text:
// the setup program's reader looks for the end record in the last 65535 bytes, which
// must hold the record, the comment and the seal.
std::string NoRoomForSeal(size_t commentSize);

// Writes the archive to `out`: local headers and data, central directory, end record and
// `comment` ended by the seal (archive/archive_seal.h), which replaces one that `comment`
// ends with already; for
// more than 65535 members a ZIP64 end record and its locator before the end record, whose
// counts then say 0xFFFF. While a run of eight 0x55 bytes is left in it, the entries the
// run lies in are deflated again with the next compression in the list (a stored entry
// that mksetup chose to store is deflated instead), and the archive is written again from
// the first of them on. Runs that no compression can change (in a name, a CRC-32 or time,
// the data of an entry stored as found) are refused: false, with a reason each in
// `problems`; so is an archive longer than `maxSize`. `notes` says which entries were
// deflated again; `size` is the archive's length.
bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, ByteSink& out, uint64_t maxSize,
                                 uint64_t* size, std::vector<std::string>* problems, std::vector<std::string>* notes);
// The same into memory, with no limit but the setup file's.
bool WriteArchiveAvoidingMarkers(std::vector<Member>& members, const std::string& comment,
                                 const std::vector<Compression>& compressions, std::vector<uint8_t>* archive,
                                 std::vector<std::string>* problems, std::vector<std::string>* notes);

}  // namespace mksetup
