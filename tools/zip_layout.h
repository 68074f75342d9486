// The layout of a ZIP archive as the setup program's reader (minizip) meets it: the end
// record and the ZIP64 end record where minizip finds them, every central record with
// the values minizip takes from its ZIP64 extra block, every local header and where each
// entry's data lies, and a map of the fields that hold every byte. Only facts: every
// length and offset is checked against the bytes that are there before it is used, and
// what could not be read is said by the layout; archive_rules.h judges it.
#pragma once

#include "archive/name_encoding.h"
#include "archive/zip_format.h"
#include "tools/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mksetup {

const size_t kNowhere = SIZE_MAX;
using zipformat::Get16;
using zipformat::Get32;
using zipformat::Get64;
using zipformat::kEndSearchReach;
// A 32-bit size or offset of this value leaves the real one to a ZIP64 record.
const uint32_t kZip64Placeholder = 0xFFFFFFFF;

// The fields a central record's ZIP64 extra block (ID 0x0001) may supply, as bits, in the
// order minizip reads them.
enum Zip64Field : unsigned { kZip64Size = 1, kZip64CompressedSize = 2, kZip64HeaderOffset = 4 };

// One field of the archive's layout, to say where a run of bytes lies.
struct Field {
  size_t offset;
  size_t length;
  int entry;              // -1: the end record, or bytes that belong to no entry
  std::string_view what;  // "CRC-32 (local header)", "data" ...: text of static storage
  // Compressed data and compressed sizes: deflating the entry again changes them.
  bool changesWithCompression;
};

enum class LocalHeaderState { kOutside, kNoSignature, kRead };
enum class DataPlace { kUnknown, kInBounds, kPastDirectory, kPastEnd };

struct EntryInfo {
  // The central record.
  std::string name;  // as the central directory stores it, byte for byte
  // How the setup program reads the name (name_encoding.h) and what it installs as, a
  // name of the code page read in the code page checked for: filled by CheckArchive.
  NameEncoding nameEncoding = NameEncoding::kCodePage;
  bool nameValid = true;          // false: meant as UTF-8, and it is not; nothing installs
  bool endsInSeparator = false;   // a folder's entry, whatever its attributes say
  std::wstring wideBaseName;      // its final component (entry_names.h)
  bool baseNameExact = true;      // false: bytes of it make no character of the code page
  std::string baseName;           // the same in UTF-8
  uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, dosTime = 0, dosDate = 0;
  uint16_t internal = 0, diskStart = 0;
  uint32_t crc = 0, external = 0;
  // The sizes and the local header's offset as the reader takes them: the central
  // record's 32-bit fields, and for one of 0xFFFFFFFF the eight bytes minizip reads for
  // it from a ZIP64 extra block.
  uint64_t compressedSize = 0, uncompressedSize = 0, headerOffset = 0;
  std::string localExtra, centralExtra, comment;
  bool centralZip64Block = false;  // minizip's walk of the central extra field met a ZIP64 block
  unsigned zip64Wanted = 0;        // Zip64Field bits: the fields given as 0xFFFFFFFF
  unsigned zip64Supplied = 0;      // those minizip read from inside a ZIP64 block
  // Those it read from the bytes behind a ZIP64 block too short for them, or could not
  // read at all (the file ends); the rest of the wanted ones stay 0xFFFFFFFF.
  unsigned zip64Overrun = 0;

  // The local header.
  LocalHeaderState local = LocalHeaderState::kOutside;
  uint64_t localOffset = 0;  // in the bytes read (the central record's offset plus the base)
  uint16_t localFlags = 0, localMethod = 0;
  uint32_t localCrc = 0, localCompressedSize = 0, localSize = 0;
  size_t localNameLength = 0;
  bool localNameInBounds = false;  // the local name and extra field lie inside the archive
  std::string localName;
  bool localExtraReadable = true;  // no block claims more bytes than the field holds
  // A local ZIP64 block, which minizip does not read: other unzip programs take the local
  // sizes of 0xFFFFFFFF from it (its first such block, uncompressed size first).
  bool localZip64Block = false;
  bool localZip64Complete = false;  // it holds a value for every local size of 0xFFFFFFFF
  uint64_t localZip64Size = 0, localZip64CompressedSize = 0;
  bool hasModTime = false;  // the local "UT" block gives a modification time
  int32_t modTime = 0;

  // The data.
  DataPlace data = DataPlace::kUnknown;
  size_t dataOffset = 0;      // the first byte of the stored data
  bool dataInBounds = false;  // local header read and [dataOffset, +compressedSize) present
  size_t spanEnd = 0;         // behind the data and its descriptor
};

// Why the walk of the central directory's records stopped: they fill it exactly, fewer
// than a record's 46 bytes are left, or a record has no signature or runs past its end.
enum class DirectoryStop { kComplete, kEndsEarly, kNoSignature, kRunsPast };
enum class Trailing { kNone, kSignature, kBytes };

// What minizip makes of the last "PK\6\7" in reach of the end: none there, cut short,
// naming a disk other than 0 or a disk count other than 1, pointing to no ZIP64 end
// record (offset 0 counts as none), or leading to one.
enum class LocatorState { kNone, kCut, kOtherDisk, kDiskCount, kNoRecord, kRecord };

struct Zip64Locator {
  size_t at = kNowhere;
  LocatorState state = LocatorState::kNone;
  uint32_t disk = 0, disks = 0;
  uint64_t recordOffset = 0;
};

// The ZIP64 end-of-central-directory record the locator leads to. minizip then reads the
// archive by it alone: the end record's counts, size and offset are not consulted.
struct Zip64EndRecord {
  size_t at = kNowhere;
  bool cut = false;  // fewer than the 56 bytes minizip reads are there: it opens nothing
  uint32_t disk = 0, diskWithDirectory = 0;
  uint64_t entriesHere = 0, entriesTotal = 0, directorySize = 0, directoryOffset = 0;
};

struct ZipLayout {
  // The end record. When there is none within minizip's reach, `lastEndSignature` is the
  // last one anywhere, or kNowhere.
  size_t endRecord = kNowhere;
  size_t lastEndSignature = kNowhere;
  bool endRecordInSignature = false;  // found inside the certificate table
  bool endRecordCut = false;          // fewer than its 22 bytes are there
  uint16_t disk = 0, diskWithDirectory = 0, entriesHere = 0, entriesTotal = 0;
  uint32_t directorySize = 0, directoryOffset = 0;
  uint16_t commentLength = 0;
  bool commentCut = false;
  size_t archiveEnd = 0;  // behind the end record and its comment
  std::string comment;

  Zip64Locator locator;
  Zip64EndRecord zip64;  // zip64.at is kNowhere unless the locator leads to one
  bool ReadAsZip64() const { return zip64.at != kNowhere; }

  // The entry count and the central directory as minizip takes them, from the ZIP64 end
  // record or else the end record, when that record places the directory before itself
  // (its start then lies `base` bytes further on, as minizip computes it).
  uint64_t entryCount = 0;
  bool directoryFits = false;
  size_t base = 0;
  size_t directoryStart = 0, directoryEnd = 0;
  // Every record from the directory's start on, whatever the count says, until they fill
  // it or one cannot be read.
  std::vector<EntryInfo> entries;
  DirectoryStop directoryStop = DirectoryStop::kComplete;
  size_t stopOffset = 0;         // where the walk stopped
  size_t directoryLeftover = 0;  // bytes from there to the directory's end

  // What follows the archive, given where a signature's certificate table starts.
  Trailing trailing = Trailing::kNone;
  std::vector<Field> fields;  // every field read, in the order read
};

// Reads the layout of the `size` bytes of a pack file. In a signed setup file
// `signatureAt` is where the certificate table starts in them (up to 7 zero bytes of
// padding may stand between the archive and it), else kNowhere.
// With `runs` (sorted, not overlapping), only the fields that touch one of them are
// recorded: an archive of many entries has millions of fields, and no run in them.
ZipLayout ReadZipLayout(const ByteSource& source, size_t signatureAt,
                        const std::vector<std::pair<size_t, size_t>>* runs = nullptr);
ZipLayout ReadZipLayout(const uint8_t* data, size_t size, size_t signatureAt);

// The end record as minizip finds it: the last "PK\5\6" starting at a position p with
// size - 65535 <= p <= size - 4; kNowhere when there is none, or when that last one is
// at p = 0, which minizip takes for none.
size_t LocateEndRecord(const ByteSource& source);
size_t LocateEndRecord(const uint8_t* data, size_t size);

// The ZIP64 end record locator as minizip finds it and what it leads to.
Zip64Locator LocateZip64Locator(const ByteSource& source);
Zip64Locator LocateZip64Locator(const uint8_t* data, size_t size);
// Where minizip would find a ZIP64 end record (and read the archive as ZIP64), or kNowhere.
size_t LocateZip64EndRecord(const uint8_t* data, size_t size);

// Extra field blocks as the reader walks them: examined while a block's start lies more
// than 4 bytes before the end. Calls `block(id, data, size)` for each and stops early when
// it returns false. False when a block claims more bytes than the field holds.
template <typename Block>
bool WalkExtraField(const std::string& field, Block block);

}  // namespace mksetup


namespace mksetup {

template <typename Block>
bool WalkExtraField(const std::string& field, Block block) {
  const uint8_t* f = reinterpret_cast<const uint8_t*>(field.data());
  size_t start = 0;
  while (start + 4 < field.size()) {
    const size_t size = Get16(f + start + 2);
    if (size > field.size() - start - 4) return false;
    if (!block(Get16(f + start), f + start + 4, size)) return true;
    start += 4 + size;
  }
  return true;
}

}  // namespace mksetup
