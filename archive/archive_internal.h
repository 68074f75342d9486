// The state behind an ArchiveHandle and the pieces the reader is built from. Only the
// reader's own files and its tests include this.
#pragma once

#include "archive/archive_reader.h"
#include "framework/afxstr.h"

#include <unzip.h>

#include <cstddef>
#include <cstdint>
#include <memory>

// Handles made by ArchiveOpen carry this tag.
const int32_t kArchiveHandleKind = 1;

// How many bytes the stream reads ahead. minizip asks for most header fields one byte
// at a time; without a read-ahead every one of those is a platform call.
const uint32_t kArchiveReadAheadDefault = 4096;

// The byte source minizip reads the archive through. One per open archive, owned by
// minizip's handle and closed with it.
struct ArchiveStream {
  std::unique_ptr<CReadableFile> file;  // closed with the stream
  bool canSeek = false;  // a disk file
  bool failed = false;   // a platform read failed; never cleared

  // Read-ahead window: buffer[0, fill) holds the file's bytes from bufferStart on, and
  // the next byte handed out is buffer[pos]. The platform's file position is always
  // bufferStart + fill, so a seek inside the window costs no platform call.
  std::unique_ptr<unsigned char[]> buffer;
  uint32_t capacity = 0;
  uint32_t bufferStart = 0;
  uint32_t fill = 0;
  uint32_t pos = 0;
  // The last platform read found the end of the file, and the position has not moved
  // since: minizip goes on reading every field of a record past the end one byte at a
  // time, and each of those would otherwise be a platform call returning nothing.
  bool atEnd = false;

  // Platform calls made, for tests and the benchmark.
  unsigned long platformReads = 0;
  unsigned long platformSeeks = 0;
};

// What the stream's open function is given as minizip's opaque pointer: the settings
// for the stream it opens, and where it records that stream.
struct ArchiveStreamOpener {
  uint32_t readAhead;
  ArchiveStream* opened;
  bool openedDiskFile;  // what the last open found, still known once that stream is closed
  // The file to open, named in wide text; null once the archive is open.
  const wchar_t* widePath = nullptr;
};

// The file functions, over the platform's file calls, with `opener` as opaque pointer.
// The 64-bit set, the only one through which minizip can step back in a file where an
// unsigned long has 32 bits.
void FillArchiveStreamFunctions(zlib_filefunc64_def* functions, ArchiveStreamOpener* opener);

// Reads `count` bytes at `position` of the file; false unless all of them arrive.
bool ReadArchiveAt(ArchiveStream& stream, uint64_t position, void* buffer, uint32_t count);
// The size of the file; false when it cannot be positioned.
bool ArchiveFileSize(ArchiveStream& stream, uint64_t* size);

// How many records the central directory holds, held against the count minizip took from
// the end record (16 bits, so writers without ZIP64 store it modulo 65,536) or from a
// ZIP64 end record.
enum class DirectoryCount {
  kAgrees,      // as many records as the end record (or the ZIP64 end record) counts
  kWrapped,     // more, filling the directory exactly: the 16-bit count wrapped at 65,536
  kDisagrees,   // more than the count, but not so that the count could have wrapped
  kFewer,       // fewer: the first entry beyond them fails, and every one behind it
};
struct DirectoryRecords {
  DirectoryCount verdict;
  int32_t records;  // the records found, for kWrapped
};
// Walks the central directory record by record, from where the end record places it.
DirectoryRecords CountDirectoryRecords(ArchiveStream& stream, uint32_t counted);

struct ArchiveReader {
  ArchiveReader() = default;
  // Closing the archive closes the stream and the file handle it owns.
  ~ArchiveReader() {
    if (archive) unzClose(archive);
    // Only once it is empty: a replacement left there by a run that was cut off stays.
    if (!temporaryFolder.IsEmpty()) Env().RemoveFolder(temporaryFolder.Str());
  }
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  unzFile archive = nullptr;  // null for an empty archive, which minizip does not open
  ArchiveEntry cachedEntry{};
  int32_t cachedIndex = -1;
  CStringW baseDirectory;  // the current directory at open time plus a backslash

  int32_t entryCount = 0;
  // The entry minizip is positioned at, or -1 when that is unknown (after a failed step).
  int32_t currentIndex = -1;
  // The number in the name of the next temporary file an entry is written to; moved on
  // past names found taken, so that leftovers are stepped over once, not for every entry.
  unsigned temporaryNumber = 0;
  // Replacements are written in a folder of their own, "~setup" in the target's
  // directory, made at the first one and removed when the archive closes: a name that is
  // not there costs a search of its whole folder (under Wine), and the directory may
  // hold thousands of files. Empty while there is none to use.
  CStringW temporaryFolder;
  CStringW temporaryFolderFor;  // the directory it was sought in
  ArchiveStreamOpener opener{kArchiveReadAheadDefault, nullptr, false};
  // An entry's data is written through it, in pieces of its size: under Wine each
  // WriteFile has a cost of its own, and 180 MiB written in 16 KiB pieces took 35 ms
  // longer than in 256 KiB ones. Here, not on the stack: the reader is on the heap.
  unsigned char copyBuffer[256 * 1024];
  ArchiveWriteObserver observer = nullptr;
  void* observerContext = nullptr;
};

struct ArchiveHandleData {
  int32_t kind;
  ArchiveReader* reader;
};

// ArchiveOpen with a chosen read-ahead (0: every read goes to the platform).
ArchiveHandle OpenArchiveFile(const wchar_t* path, uint32_t readAhead);

// Moves the archive to entry `index` and gives its record, built or from the cache.
// Leaves no entry data open.
ArchiveResult PositionAndDescribe(ArchiveReader& reader, int32_t index, ArchiveEntry& entry);

// ---- record building, exposed for tests ----

// Windows attribute bits from a ZIP entry's external attributes.
uint32_t AttributesFromExternal(uint32_t external);

// Applies the first "UT" block of a local extra field to `entry`'s times. Returns
// ArchiveErrExtraField when a block it examines claims more bytes than the field holds.
ArchiveResult ApplyExtendedTimestamp(const unsigned char* field, size_t length, ArchiveEntry& entry);
