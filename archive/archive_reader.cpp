// Opening and closing archives, stepping through the central directory, and the
// per-handle record cache.
#include "archive/archive_internal.h"
#include "archive/entry_names.h"
#include "archive/name_encoding.h"
#include "platform/calendar.h"
#include "platform/env.h"
#include "platform/utf8.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

ArchiveResult CheckHandle(ArchiveHandle handle) {
  if (!handle) return ArchiveErrArgument;
  if (handle->kind != kArchiveHandleKind) return ArchiveErrHandleKind;
  return ArchiveOk;
}

// One record on, as unzGoToNextFile steps, where minizip would stop: behind the count its
// end record gives, when that count has wrapped at 65,536.
int StepBeyondCount(unzFile archive) {
  unz_file_pos pos;
  unz_file_info info;
  if (unzGetFilePos(archive, &pos) != UNZ_OK ||
      unzGetCurrentFileInfo(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return UNZ_ERRNO;
  pos.pos_in_zip_directory += 46 + info.size_filename + info.size_file_extra + info.size_file_comment;
  ++pos.num_of_file;
  return unzGoToFilePos(archive, &pos);
}

// Steps minizip to entry `index`: back to the first entry for a lower index, then
// forward one entry at a time. A failed step leaves the position unknown, so the next
// request starts again from the first entry instead of stepping on from a broken one.
ArchiveResult MoveToEntry(ArchiveReader& reader, int32_t index) {
  if (reader.currentIndex < 0 || index < reader.currentIndex) {
    reader.currentIndex = -1;
    if (unzGoToFirstFile(reader.archive) != UNZ_OK) return ArchiveErrCentralDirectory;
    reader.currentIndex = 0;
  }
  while (reader.currentIndex < index) {
    int step = unzGoToNextFile(reader.archive);
    if (step == UNZ_END_OF_LIST_OF_FILE && reader.currentIndex + 1 < reader.entryCount)
      step = StepBeyondCount(reader.archive);
    if (step != UNZ_OK) {
      reader.currentIndex = -1;
      return ArchiveErrCentralDirectory;
    }
    ++reader.currentIndex;
  }
  return ArchiveOk;
}

// How the stored name reads (name_encoding.h) as wide text; false when it cannot be
// given a name (ArchiveErrNameEncoding) or its wide form does not fit the record.
ArchiveResult NameOf(const char* stored, size_t length, const unz_file_info& info,
                     const std::vector<unsigned char>& extra, ArchiveEntry& entry) {
  std::wstring wide;
  NameEncoding encoding;
  if (!EntryNameAsWide(std::string_view(stored, length), uint16_t(info.flag), uint16_t(info.version), extra.data(),
                       extra.size(), &wide, &encoding))
    return ArchiveErrNameEncoding;
  entry.nameEncoding = encoding == NameEncoding::kCodePage      ? ArchiveNameCodePage
                       : encoding == NameEncoding::kOemCodePage ? ArchiveNameOemCodePage
                       : encoding == NameEncoding::kUtf8Flag    ? ArchiveNameUtf8
                                                                : ArchiveNameUnicodePath;
  if (wide.size() >= size_t(kArchiveNameSize)) return ArchiveErrNameLength;
  std::copy(wide.begin(), wide.end(), entry.wideName);
  entry.wideName[wide.size()] = L'\0';
  return ArchiveOk;
}

// Reads the current entry's records into `entry`; minizip is positioned at `index`.
ArchiveResult BuildRecord(ArchiveReader& reader, int32_t index, ArchiveEntry& entry) {
  unz_file_info info{};
  // One byte more than the record holds, so that a name that does not fit shows.
  char name[kArchiveNameSize + 1];
  // The central record's extra field, where a Unicode Path field is read from.
  std::vector<unsigned char> centralExtra(0xFFFF);
  if (unzGetCurrentFileInfo(reader.archive, &info, name, sizeof name, centralExtra.data(), uLong(centralExtra.size()),
                            nullptr, 0) != UNZ_OK)
    return ArchiveErrCentralDirectory;
  if (info.size_filename >= uLong(kArchiveNameSize)) return ArchiveErrNameLength;
  centralExtra.resize(std::min<size_t>(info.size_file_extra, centralExtra.size()));
  // minizip would read any other method as stored bytes.
  if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) return ArchiveErrLocalHeader;

  // Opening the entry's data checks its local header against the central record.
  if (unzOpenCurrentFile(reader.archive) != UNZ_OK) return ArchiveErrLocalHeader;
  ArchiveResult result = ArchiveOk;
  std::vector<unsigned char> extra;
  const int extraLength = unzGetLocalExtrafield(reader.archive, nullptr, 0);
  if (extraLength < 0) {
    result = ArchiveErrExtraField;
  } else if (extraLength > 0) {
    // minizip's own unzGetLocalExtrafield forgets the bytes before the archive; the
    // field ends where the entry's data begins, which minizip does place correctly.
    const uint64_t dataAt = unzGetCurrentFileZStreamPos64(reader.archive);
    extra.resize(size_t(extraLength));
    if (dataAt < uint64_t(extraLength) || !reader.opener.opened ||
        !ReadArchiveAt(*reader.opener.opened, dataAt - uint64_t(extraLength), extra.data(), uint32_t(extraLength)))
      result = ArchiveErrExtraField;
  }
  // Only the header was wanted: a CRC complaint about unread data means nothing here.
  unzCloseCurrentFile(reader.archive);
  if (result != ArchiveOk) return result;

  ArchiveEntry built{};
  built.index = index;
  std::memcpy(built.name, name, info.size_filename);
  built.name[info.size_filename] = '\0';
  result = NameOf(name, info.size_filename, info, centralExtra, built);
  if (result != ArchiveOk) return result;
  built.attributes = AttributesFromExternal(uint32_t(info.external_fa));
  // A name that ends in a separator names a folder, whatever the attributes say.
  if (EndsInSeparator(built.wideName)) built.attributes |= kAttributeDirectory;
  // No time-zone adjustment: the stored wall-clock reading is taken as UTC. A stamp
  // Windows refuses carries no time rather than a made-up one; extraction then leaves
  // the file's time alone.
  const FileTime dos = FileTimeFromDos(uint16_t(info.dosDate >> 16), uint16_t(info.dosDate & 0xFFFF));
  built.accessTime = built.creationTime = built.writeTime = dos;
  // Only the local header's timestamp counts; the central directory's is not consulted.
  result = ApplyExtendedTimestamp(extra.data(), extra.size(), built);
  if (result != ArchiveOk) return result;
  built.compressedSize = uint32_t(info.compressed_size);
  built.uncompressedSize = uint32_t(info.uncompressed_size);
  entry = built;
  return ArchiveOk;
}

// minizip takes an end record found at position 0 for "no end record", so it refuses
// the one archive whose end record starts its file: the empty one. Recognised here.
// Only a disk file is opened again: a second open of a pipe would wait for a writer.
bool IsEmptyArchive(const char* path, zlib_filefunc64_def& functions) {
  if (!static_cast<ArchiveStreamOpener*>(functions.opaque)->openedDiskFile) return false;
  voidpf stream = functions.zopen64_file(functions.opaque, path, ZLIB_FILEFUNC_MODE_READ);
  if (!stream) return false;
  unsigned char end[22];
  bool empty = false;
  if (functions.zseek64_file(functions.opaque, stream, 0, ZLIB_FILEFUNC_SEEK_END) == 0) {
    const ZPOS64_T size = functions.ztell64_file(functions.opaque, stream);
    if (functions.zseek64_file(functions.opaque, stream, 0, ZLIB_FILEFUNC_SEEK_SET) == 0 &&
        functions.zread_file(functions.opaque, stream, end, sizeof end) == sizeof end) {
      static const unsigned char kEmpty[20] = {'P', 'K', 5, 6};  // no disks, entries or directory
      const ZPOS64_T comment = ZPOS64_T(end[20]) | ZPOS64_T(end[21]) << 8;
      empty = std::memcmp(end, kEmpty, sizeof kEmpty) == 0 && size == sizeof end + comment;
    }
  }
  functions.zclose_file(functions.opaque, stream);
  static_cast<ArchiveStreamOpener*>(functions.opaque)->opened = nullptr;
  return empty;
}

}  // namespace

ArchiveResult PositionAndDescribe(ArchiveReader& reader, int32_t index, ArchiveEntry& entry) {
  const ArchiveResult moved = MoveToEntry(reader, index);
  if (moved != ArchiveOk) return moved;
  if (index == reader.cachedIndex) {
    entry = reader.cachedEntry;
    return ArchiveOk;
  }
  ArchiveEntry built;
  const ArchiveResult result = BuildRecord(reader, index, built);
  if (result != ArchiveOk) return result;
  reader.cachedEntry = built;
  reader.cachedIndex = index;
  entry = built;
  return ArchiveOk;
}

ArchiveHandle OpenArchiveFile(const wchar_t* path, uint32_t readAhead) {
  if (!path) return nullptr;
  std::unique_ptr<ArchiveReader> reader(new (std::nothrow) ArchiveReader);
  if (!reader) return nullptr;
  reader->opener.readAhead = readAhead;
  reader->opener.widePath = path;

  // Directory entries are created beneath the folder that is current now.
  std::wstring base;
  if (Env().CurrentFolder(&base) != kSysOk || base.empty()) return nullptr;
  reader->baseDirectory = CStringW(base + L"\\");

  zlib_filefunc64_def functions;
  FillArchiveStreamFunctions(&functions, &reader->opener);
  // The stream opens the wide path; minizip is given a name only because it asks for one.
  const char* const unused = "";
  // minizip closes the stream itself when it finds no acceptable archive in it.
  reader->archive = unzOpen2_64(unused, &functions);
  if (reader->archive) {
    unz_global_info global{};
    if (unzGetGlobalInfo(reader->archive, &global) != UNZ_OK) return nullptr;
    reader->entryCount = global.number_entry > uLong(INT_MAX) ? INT_MAX : int32_t(global.number_entry);
    // An end record whose count disagrees with its central directory must not pass for
    // an archive of fewer entries, least of all for an empty one.
    const DirectoryRecords directory = CountDirectoryRecords(*reader->opener.opened, uint32_t(global.number_entry));
    if (directory.verdict == DirectoryCount::kDisagrees) return nullptr;
    if (directory.verdict == DirectoryCount::kWrapped) reader->entryCount = directory.records;
  } else if (!IsEmptyArchive(unused, functions)) {
    return nullptr;
  }
  // An empty archive has no minizip handle: with no entries no index reaches it.

  // The path is the caller's: the handle keeps no pointer to it.
  reader->opener.widePath = nullptr;
  auto* handle = new (std::nothrow) ArchiveHandleData{kArchiveHandleKind, reader.get()};
  if (handle) reader.release();
  return handle;
}

ArchiveHandle ArchiveOpenW(const wchar_t* source, uint32_t /*length: not used for a file*/, int32_t kind) {
  // Other kinds of source (memory, for one) are not supported.
  if (kind != ArchiveKindFile) return nullptr;
  return OpenArchiveFile(source, kArchiveReadAheadDefault);
}

ArchiveHandle ArchiveOpen(const char* source, uint32_t length, int32_t kind) {
  if (!source) return nullptr;
  // As Windows reads an ANSI name: in the code page.
  return ArchiveOpenW(CStringW(CString(source)), length, kind);
}

ArchiveResult ArchiveGetEntry(ArchiveHandle handle, int32_t index, ArchiveEntry* entry) {
  const ArchiveResult checked = CheckHandle(handle);
  if (checked != ArchiveOk) return checked;
  ArchiveReader& reader = *handle->reader;
  if (!entry || index < -1 || index >= reader.entryCount) return ArchiveErrArgument;
  if (index == -1) {
    // The rest of the name is left as it was.
    entry->index = reader.entryCount;
    entry->name[0] = '\0';
    entry->attributes = 0;
    entry->accessTime = entry->creationTime = entry->writeTime = 0;
    entry->compressedSize = entry->uncompressedSize = 0;
    return ArchiveOk;
  }
  if (index == reader.cachedIndex) {
    *entry = reader.cachedEntry;
    return ArchiveOk;
  }
  return PositionAndDescribe(reader, index, *entry);
}

ArchiveResult ArchiveClose(ArchiveHandle handle) {
  const ArchiveResult checked = CheckHandle(handle);
  if (checked != ArchiveOk) return checked;
  delete handle->reader;
  delete handle;
  return ArchiveOk;
}

ArchiveResult ArchiveGetTotalSize(ArchiveHandle handle, uint64_t* total) {
  const ArchiveResult checked = CheckHandle(handle);
  if (checked != ArchiveOk) return checked;
  if (!total) return ArchiveErrArgument;
  *total = 0;
  ArchiveReader& reader = *handle->reader;
  if (reader.entryCount == 0) return ArchiveOk;
  // Record by record, as the entries are read: the walk leaves minizip elsewhere, so the
  // next request starts again from the first entry.
  reader.currentIndex = -1;
  int step = unzGoToFirstFile(reader.archive);
  for (int32_t i = 0; i < reader.entryCount && step == UNZ_OK; ++i) {
    unz_file_info info{};
    if (unzGetCurrentFileInfo(reader.archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    *total += info.uncompressed_size;
    if (i + 1 == reader.entryCount) break;
    step = unzGoToNextFile(reader.archive);
    if (step == UNZ_END_OF_LIST_OF_FILE) step = StepBeyondCount(reader.archive);
  }
  return ArchiveOk;
}

ArchiveResult ArchiveObserveWrites(ArchiveHandle handle, ArchiveWriteObserver observer, void* context) {
  const ArchiveResult checked = CheckHandle(handle);
  if (checked != ArchiveOk) return checked;
  handle->reader->observer = observer;
  handle->reader->observerContext = context;
  return ArchiveOk;
}
