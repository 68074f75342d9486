// The layout of a ZIP archive as the setup program's reader (minizip) meets it: the end
// record where minizip finds it, every central record, every local header and where each
// entry's data lies, and a map of the fields that hold every byte. Only facts: every
// length and offset is checked against the bytes that are there before it is used, and
// what could not be read is said by the layout; archive_rules.h judges it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

const size_t kNowhere = SIZE_MAX;
// minizip looks back this far from the end of the file for the end record.
const size_t kEndSearchReach = 0xFFFF;

// One field of the archive's layout, to say where a run of bytes lies.
struct Field {
  size_t offset;
  size_t length;
  int entry;         // -1: the end record, or bytes that belong to no entry
  std::string what;  // "CRC-32 (local header)", "data" ...
  // Compressed data and compressed sizes: deflating the entry again changes them.
  bool changesWithCompression;
};

enum class LocalHeaderState { kOutside, kNoSignature, kRead };
enum class DataPlace { kUnknown, kInBounds, kPastDirectory, kPastEnd };

struct EntryInfo {
  // The central record.
  std::string name;      // as the central directory stores it
  std::string baseName;  // what it installs as: its final component (entry_names.h)
  uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, dosTime = 0, dosDate = 0;
  uint16_t internal = 0, diskStart = 0;
  uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0, external = 0;
  uint32_t headerOffset = 0;  // of the local header, as the central record gives it
  std::string localExtra, centralExtra, comment;
  bool centralZip64Block = false;  // the central extra field holds a ZIP64 block

  // The local header.
  LocalHeaderState local = LocalHeaderState::kOutside;
  size_t localOffset = 0;  // in the bytes read (the central record's offset plus the base)
  uint16_t localFlags = 0, localMethod = 0;
  uint32_t localCrc = 0, localCompressedSize = 0, localSize = 0;
  size_t localNameLength = 0;
  bool localNameInBounds = false;  // the local name and extra field lie inside the archive
  std::string localName;
  bool localExtraReadable = true;  // no block claims more bytes than the field holds
  bool localZip64Block = false;
  bool hasModTime = false;  // the local "UT" block gives a modification time
  int32_t modTime = 0;

  // The data.
  DataPlace data = DataPlace::kUnknown;
  size_t dataOffset = 0;      // the first byte of the stored data
  bool dataInBounds = false;  // local header read and [dataOffset, +compressedSize) present
  size_t spanEnd = 0;         // behind the data and its descriptor
};

enum class DirectoryStop { kComplete, kEndsEarly, kNoSignature, kRunsPast };
enum class Trailing { kNone, kSignature, kBytes };

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
  bool zip64 = false;  // a ZIP64 end record or locator, or counts and offsets that call for one
  size_t archiveEnd = 0;  // behind the end record and its comment
  std::string comment;

  // The central directory, when the end record places it before itself.
  bool directoryFits = false;
  size_t base = 0;  // bytes before the archive, as minizip computes them
  size_t directoryStart = 0, directoryEnd = 0;
  DirectoryStop directoryStop = DirectoryStop::kComplete;
  size_t stopRecord = 0, stopOffset = 0;  // where reading the directory stopped
  size_t directoryLeftover = 0;           // bytes behind its last record
  std::vector<EntryInfo> entries;

  // What follows the archive, given where a signature's certificate table starts.
  Trailing trailing = Trailing::kNone;
  std::vector<Field> fields;  // every field read, in the order read
};

// Reads the layout of the `size` bytes of a pack file. In a signed setup file
// `signatureAt` is where the certificate table starts in them (up to 7 zero bytes of
// padding may stand between the archive and it), else kNowhere.
ZipLayout ReadZipLayout(const uint8_t* data, size_t size, size_t signatureAt);

// The end record as minizip finds it: the last "PK\5\6" starting at a position p with
// size - 65535 <= p <= size - 4; kNowhere when there is none, or when that last one is
// at p = 0, which minizip takes for none.
size_t LocateEndRecord(const uint8_t* data, size_t size);

// Where minizip would find a ZIP64 end record (and read the archive as ZIP64), or kNowhere.
size_t LocateZip64EndRecord(const uint8_t* data, size_t size);

// Extra field blocks as the reader walks them: examined while a block's start lies more
// than 4 bytes before the end. Calls `block(id, data, size)` for each and stops early when
// it returns false. False when a block claims more bytes than the field holds.
template <typename Block>
bool WalkExtraField(const std::string& field, Block block);

}  // namespace mksetup

#include "tools/byte_order.h"

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
