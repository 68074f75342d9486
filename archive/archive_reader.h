// The archive reader: a handle-based interface for reading ZIP archives over minizip.
//
// Open an archive file with ArchiveOpen, ask ArchiveGetEntry for the entry count
// (index -1) and for each entry's record, write entries out with ArchiveExtractEntry,
// release everything with ArchiveClose. Results are 0 for success and a distinct
// code for each kind of failure; ArchiveOpen returns no handle when it fails.
#pragma once

#include "platform/env.h"
#include "platform/handles.h"

#include <cstdint>

typedef uint32_t ArchiveResult;

const ArchiveResult ArchiveOk = 0x0;
// The archive file cannot be opened, or the target file cannot be created or replaced.
const ArchiveResult ArchiveErrFile = 0x200;
// Reading or decompressing the entry's data, writing the target, or the check of the
// data against its CRC-32 and size failed.
const ArchiveResult ArchiveErrTransfer = 0x400;
// The central directory cannot be stepped through to the entry, or its record read.
const ArchiveResult ArchiveErrCentralDirectory = 0x500;
// The entry's local header is unreadable, disagrees with its central record, or names
// a compression method other than stored or deflated.
const ArchiveResult ArchiveErrLocalHeader = 0x700;
// The local header's extra field cannot be read whole, or one of its blocks claims
// more bytes than the field holds.
const ArchiveResult ArchiveErrExtraField = 0x800;
// The stored name is 260 bytes or longer and does not fit the record.
const ArchiveResult ArchiveErrNameLength = 0x900;
// A directory entry whose directories would lie outside the base directory.
const ArchiveResult ArchiveErrUnsafePath = 0xA00;
// The name is meant as UTF-8 (general-purpose bit 11, or a Unicode Path extra field) and
// is not valid UTF-8: the entry has no name it could be written under.
const ArchiveResult ArchiveErrNameEncoding = 0xB00;
// No handle, an index out of range, or an argument the reader does not support.
const ArchiveResult ArchiveErrArgument = 0x10000;
// The handle's kind tag is not that of a handle made by ArchiveOpen.
const ArchiveResult ArchiveErrHandleKind = 0x80000;

// The kind of source: a file given by its name. The only kind the reader supports.
const int32_t ArchiveKindFile = 2;
// The extraction mode that writes an entry into a directory under its base name.
const char ArchiveModeDirectory = 'D';

// Every entry's name fits this buffer with its terminating NUL.
const int kArchiveNameSize = 260;

// How the stored name was read (name_encoding.h).
const uint32_t ArchiveNameCodePage = 0;     // bytes of the ANSI code page
const uint32_t ArchiveNameUtf8 = 1;         // UTF-8, general-purpose bit 11
const uint32_t ArchiveNameUnicodePath = 2;  // UTF-8, from a Unicode Path extra field
const uint32_t ArchiveNameOemCodePage = 3;  // bytes of the OEM code page (a DOS-like host)

// One entry's record, laid out field by field as callers allocate it.
struct ArchiveEntry {
  int32_t index;                // the entry's index; for request -1, the entry count
  char name[kArchiveNameSize];  // the stored name, byte for byte, NUL-terminated
  uint32_t attributes;          // kAttribute* bits (env.h); 0x80 always present
  FileTime accessTime;          // all times UTC; zero when the archive holds no valid time
  FileTime creationTime;
  FileTime writeTime;
  uint32_t compressedSize;      // from the central directory
  uint32_t uncompressedSize;
  // The name as it reads: the stored bytes in the ANSI or the OEM code page, or decoded
  // from UTF-8.
  // The file is written under it, through the wide calls.
  wchar_t wideName[kArchiveNameSize];
  uint32_t nameEncoding;        // ArchiveName*
};

struct ArchiveHandleData;
typedef ArchiveHandleData* ArchiveHandle;

// Opens the archive file named by `source` (NUL-terminated). `length` is not used for a
// file source; `kind` must be ArchiveKindFile. The process's current directory at this
// moment becomes the base under which directory entries are created. Returns no handle
// (nullptr) when the file cannot be opened, is not a disk file, or holds no archive.
ArchiveHandle ArchiveOpen(const char* source, uint32_t length, int32_t kind);
// The same for a file named in wide text (a folder the ANSI code page cannot hold).
ArchiveHandle ArchiveOpenW(const wchar_t* source, uint32_t length, int32_t kind);

// Fills `*entry` with the record of entry `index` (0 to count-1), or with the entry
// count in `index` for the request -1. Asking again for the same index is served from
// the handle's cache without reading the archive.
ArchiveResult ArchiveGetEntry(ArchiveHandle handle, int32_t index, ArchiveEntry* entry);

// Writes entry `index` to `directory`, one backslash and the final component of `target`
// (the text after its last forward slash or backslash), and gives it the entry's times.
// A target that is not there is created as a new file and deleted again if the entry
// fails. Over a file already there the data goes to a new file "~<n>.tmp" first, in the
// folder "~setup" of `directory` (made for it, and removed with the handle once empty),
// or in `directory` itself when that folder cannot be made; it replaces the file only
// once its data, size and CRC-32 have checked out; on any failure it is deleted, and the
// file already there stays as it was.
// A directory entry instead creates its directory chain beneath the base directory.
// `length` is not used; `kind` must be ArchiveKindFile, `mode` ArchiveModeDirectory.
// Shows "Error %i in creating file %s" when the target cannot be created or replaced
// (ArchiveErrFile): one that another program has open is refused before any data is
// written.
// When `target` is the entry's own stored `name`, the file gets the name as it reads
// (`wideName`): an entry named in UTF-8 is never written under its bytes read as ANSI.
ArchiveResult ArchiveExtractEntry(ArchiveHandle handle, int32_t index, const char* target,
                                  uint32_t length, int32_t kind, char mode, const char* directory);
// The same with the name and the directory in wide text.
ArchiveResult ArchiveExtractEntryW(ArchiveHandle handle, int32_t index, const wchar_t* target,
                                   uint32_t length, int32_t kind, char mode, const wchar_t* directory);

// Releases the handle and everything behind it.
ArchiveResult ArchiveClose(ArchiveHandle handle);

// The sum of the uncompressed sizes that the central directory gives its entries, as
// far as its records can be read: what unpacking every entry writes at most.
ArchiveResult ArchiveGetTotalSize(ArchiveHandle handle, uint64_t* total);

// Called by ArchiveExtractEntry after each piece of an entry's data is written to its
// file, with the bytes of that piece: a caller shows progress and keeps its windows
// answering. Null stops the calls.
typedef void (*ArchiveWriteObserver)(void* context, uint32_t bytes);
ArchiveResult ArchiveObserveWrites(ArchiveHandle handle, ArchiveWriteObserver observer, void* context);

struct ArchiveHandleTraits {
  using Handle = ArchiveHandle;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return ArchiveClose(h) == ArchiveOk; }
};
// An archive from ArchiveOpen, closed with ArchiveClose.
using COpenArchive = COwnedHandle<ArchiveHandleTraits>;

// Creates `base` + `path` and every directory on the way, outermost first; `base` ends
// in a separator and `path` may use forward slashes and backslashes. Existing
// directories and failed creations are not reported. Returns false, creating nothing,
// when `path` would leave `base`: a ".." component, a colon (drive letter or stream),
// or a leading separator (absolute or UNC path).
bool EnsureDirectoryChain(const wchar_t* base, const wchar_t* path);
