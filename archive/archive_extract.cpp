// Writing one entry out of an open archive: a file in a directory under the entry's
// base name, or the directory chain of a directory entry. A new file is written under its
// name and deleted if it fails; over an earlier version, a file is written in a folder of
// the reader's own beside it and replaces it only once its data has checked out: an entry
// that fails, at any point, leaves the file it was to replace as it was, and nothing
// damaged under its name.
//
// Paths are wide text and go to the wide calls: an entry named in UTF-8, or a directory
// typed in another script, gets its true name whatever the ANSI code page holds.
#include "archive/archive_internal.h"
#include "archive/entry_names.h"
#include "platform/env.h"

#include <cstring>
#include <string>

namespace {

// The longest path the file calls take without the long-path prefix (MAX_PATH less the
// terminator).
const int kMaxPathLength = int(kMaxPath) - 1;
// Taken names of temporary files stepped over for one entry before giving up. Leftovers of
// an interrupted run are a few at most; more is something else, and is reported.
const unsigned kTemporaryNameTries = 100;

// Shows the creation failure the user must hear about, and gives its result code.
ArchiveResult CreationFailed(SysError error, const CStringW& path) {
  Env().Tell((CStringW(L"Error ") + std::to_wstring(int(error)).c_str() + L" in creating file " + path).Str());
  return ArchiveErrFile;
}

// The folder replacements for `directory` are written in: "~setup" there, made (or found)
// once per directory; empty when it cannot be had (a file of that name, a path too long),
// and the directory itself is used.
const CStringW& TemporaryFolder(ArchiveReader& reader, const wchar_t* directory) {
  if (reader.temporaryFolderFor == CStringW(directory)) return reader.temporaryFolder;
  if (!reader.temporaryFolder.IsEmpty()) Env().RemoveFolder(reader.temporaryFolder.Str());
  reader.temporaryFolderFor = CStringW(directory);
  reader.temporaryFolder = InstallPathOf(directory, L"~setup");
  FileFacts facts;
  const SysError made = Env().CreateFolder(reader.temporaryFolder.Str());
  const bool usable = made == kSysOk || (made == kSysAlreadyExists &&
                                         Env().LookUp(reader.temporaryFolder.Str(), &facts) == kSysOk &&
                                         (facts.attributes & kAttributeDirectory));
  if (!usable) reader.temporaryFolder = CStringW();
  return reader.temporaryFolder;
}

// A new file to write the entry to, "~<n>.tmp", in the folder of the reader's own beside
// the target, else beside the target itself: on its volume, so that putting it in place
// is a rename. A new file never opens one that is there; a taken name moves on to the
// next number. The name is short, so that it fits MAX_PATH wherever its target does.
SysError CreateTemporaryFile(ArchiveReader& reader, const wchar_t* directory, CStringW& temporary,
                             std::unique_ptr<CWritableFile>* file) {
  const CStringW& own = TemporaryFolder(reader, directory);
  const auto nameIn = [&](const wchar_t* folder) {
    return InstallPathOf(folder, L"~" + std::to_wstring(reader.temporaryNumber) + L".tmp");
  };
  const bool inOwn = !own.IsEmpty() && nameIn(own.Str().c_str()).GetLength() <= kMaxPathLength;
  const wchar_t* const folder = inOwn ? own.Str().c_str() : directory;
  SysError error = kSysFileExists;
  for (unsigned tries = 0; tries < kTemporaryNameTries && error == kSysFileExists; ++tries) {
    temporary = nameIn(folder);
    if (temporary.GetLength() > kMaxPathLength) return kSysNameTooLong;
    error = Env().OpenForWriting(temporary.Str(), CreateMode::kNew, file);
    if (error == kSysFileExists) ++reader.temporaryNumber;
  }
  return error;
}

}  // namespace

bool EnsureDirectoryChain(const wchar_t* base, const wchar_t* path) {
  if (!base || !path) return false;
  const std::wstring p(path);
  if (!IsContainedDirectoryPath(p)) return false;
  // Outermost first: base + "a", base + "a/b", then the whole path. A separator at the
  // very start would give nothing to create; it was refused above anyway.
  const std::wstring root(base);
  for (size_t i = 1; i < p.size(); ++i)
    if (p[i] == L'/' || p[i] == L'\\') Env().CreateFolder(root + p.substr(0, i));
  if (!p.empty()) Env().CreateFolder(root + p);
  return true;
}

ArchiveResult ArchiveExtractEntryW(ArchiveHandle handle, int32_t index, const wchar_t* target,
                                   uint32_t /*length: not used for a file*/, int32_t kind, char mode,
                                   const wchar_t* directory) {
  if (!handle) return ArchiveErrArgument;
  if (handle->kind != kArchiveHandleKind) return ArchiveErrHandleKind;
  ArchiveReader& reader = *handle->reader;
  // Negative indexes name no entry; the only supported target is a file in a directory.
  if (index < 0 || index >= reader.entryCount) return ArchiveErrArgument;
  if (kind != ArchiveKindFile || mode != ArchiveModeDirectory || !target || !directory)
    return ArchiveErrArgument;

  // An entry without a valid record has no trustworthy attributes or times, and its
  // data would not open either: end here, before any file is created.
  ArchiveEntry entry;
  const ArchiveResult described = PositionAndDescribe(reader, index, entry);
  if (described != ArchiveOk) return described;

  if (entry.attributes & kAttributeDirectory)
    return EnsureDirectoryChain(reader.baseDirectory, entry.wideName) ? ArchiveOk : ArchiveErrUnsafePath;

  const std::wstring_view name(target);
  const std::wstring_view fileName = name.substr(FinalComponentOffset(name));
  const CStringW path = InstallPathOf(directory, name);
  // Refused here rather than left to the file system: Linux would create "CON" or
  // "a:b" as plain files, and Windows would open a device or an alternate stream.
  if (!fileName.empty() && !IsPlainFileName(fileName)) return CreationFailed(kSysInvalidName, path);
  if (path.GetLength() > kMaxPathLength) return CreationFailed(kSysNameTooLong, path);

  // A target that is not there is written under its own name at once: one look-up of a
  // name that is not there, as a plain extractor makes (under Wine each such look-up
  // reads the whole folder), and it is deleted again if the entry fails.
  std::unique_ptr<CWritableFile> file;
  CStringW written = path;
  bool replacing = false;
  // Of an earlier version only the attributes are read, so that a read-only file or a
  // directory of that name (5) is refused before any data is written.
  SysError created = Env().OpenForWriting(path.Str(), CreateMode::kNewElseLookUp, &file);
  if (created == kSysFileExists) {
    // Then written beside it, to replace it only once the data has checked out.
    created = CreateTemporaryFile(reader, directory, written, &file);
    replacing = true;
  }
  if (created != kSysOk) return CreationFailed(created, path);

  // A failure to open the data shows as a failure of the first read.
  const bool opened = unzOpenCurrentFile(reader.archive) == UNZ_OK;
  bool failed = !opened;
  unsigned char* const buffer = reader.copyBuffer;
  while (!failed) {
    const int read = unzReadCurrentFile(reader.archive, buffer, unsigned(sizeof reader.copyBuffer));
    if (read < 0) failed = true;
    if (read <= 0) break;
    if (file->Write(buffer, size_t(read)) != kSysOk) failed = true;
    if (!failed && reader.observer) reader.observer(reader.observerContext, uint32_t(read));
  }
  if (opened) {
    // Data that ends before its declared size is never checked against its CRC by
    // minizip: such an entry is as corrupt as one whose CRC does not match.
    if (!failed && unzeof(reader.archive) != 1) failed = true;
    if (unzCloseCurrentFile(reader.archive) != UNZ_OK) failed = true;
  }

  // Times only for data that checked out: a failed entry's file is deleted anyway. A
  // time the archive does not give (0) leaves the file's own.
  if (!failed) file->SetTimes(entry.creationTime, entry.accessTime, entry.writeTime);
  if (!failed && replacing) {
    // The old file goes only now, in the same step that puts the new one in its place; a
    // file another program holds (32) shows here.
    bool atClose = false;
    const SysError replaced = file->CloseInPlaceOf(path.Str(), &atClose);
    if (replaced == kSysOk) return ArchiveOk;
    Env().Remove(written.Str());
    return atClose ? ArchiveErrTransfer : CreationFailed(replaced, path);
  }
  // A full disk can show only when the file is closed.
  if (file->Close() != kSysOk) failed = true;
  if (failed) {
    Env().Remove(written.Str());
    return ArchiveErrTransfer;
  }
  return ArchiveOk;
}
ArchiveResult ArchiveExtractEntry(ArchiveHandle handle, int32_t index, const char* target, uint32_t length,
                                  int32_t kind, char mode, const char* directory) {
  if (!handle) return ArchiveErrArgument;
  if (handle->kind != kArchiveHandleKind) return ArchiveErrHandleKind;
  if (!target || !directory) return ArchiveErrArgument;
  ArchiveReader& reader = *handle->reader;
  // The entry's own stored name reads as its record says, UTF-8 or not; any other
  // target is ANSI text, read in the code page as Windows reads it.
  CStringW wideTarget{CString(target)};
  if (index >= 0 && index < reader.entryCount) {
    ArchiveEntry entry;
    if (PositionAndDescribe(reader, index, entry) == ArchiveOk && std::strcmp(entry.name, target) == 0)
      wideTarget = CStringW(entry.wideName);
  }
  return ArchiveExtractEntryW(handle, index, wideTarget, length, kind, mode, CStringW(CString(directory)));
}
