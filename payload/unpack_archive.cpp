#include "payload/unpack_archive.h"

#include "archive/archive_reader.h"
#include "archive/entry_names.h"
#include "platform/env.h"
#include "payload/file_queries.h"

#include <algorithm>

namespace {

// Counts the bytes the archive reader writes for the progress of the whole stage: the
// entries before the current one count whole, written or not, so that the bar ends full.
struct StageProgress {
  CInstallProgress* progress;
  uint64_t total;
  uint64_t entriesBefore;  // the sizes of the entries already done
  uint64_t entryWritten;   // of the current entry

  void EntryBegins(uint64_t before) {
    entriesBefore = before;
    entryWritten = 0;
  }
  static void Observe(void* context, uint32_t bytes) {
    auto* self = static_cast<StageProgress*>(context);
    self->entryWritten += bytes;
    self->progress->Written(std::min(self->total, self->entriesBefore + self->entryWritten));
  }
};

}  // namespace

CStringW BaseNameOf(const CStringW& name) { return name.Mid(int(BaseNameOffset(name.Str()))); }

int UnpackArchive(const CStringW& packFile, const CStringW& directory, std::vector<CStringW>& unpackedFiles,
                  CInstallProgress* progress) {
  CString message;
  if (!FileExists(packFile)) {
    Env().Tell((L"ZIP file " + packFile + L" not found").Str());
    return 1;
  }
  // Directory entries are created beneath the current directory at open time.
  Env().SetCurrentFolder(directory.Str());

  const COpenArchive opened(ArchiveOpenW(packFile, 0, ArchiveKindFile));
  if (!opened.IsValid()) {
    Env().Tell((L"Error in unZIPping " + packFile).Str());
    return 1;
  }

  const ArchiveHandle archive = opened.Get();
  ArchiveEntry entry = {};
  ArchiveGetEntry(archive, -1, &entry);
  const int count = entry.index;

  StageProgress stage = {progress, 0, 0, 0};
  if (progress) {
    ArchiveGetTotalSize(archive, &stage.total);
    progress->BeginStage(InstallStage::kUnpacking, stage.total);
    ArchiveObserveWrites(archive, &StageProgress::Observe, &stage);
  }
  uint64_t done = 0;  // the sizes of the entries tried so far
  int result = 0;
  for (int i = 0; i < count; ++i) {
    stage.EntryBegins(done);
    const ArchiveResult described = ArchiveGetEntry(archive, i, &entry);
    if (described != ArchiveOk) {
      // A failed request leaves the record holding the previous entry's name: naming
      // that one would blame the wrong file, so the entry is named by its number.
      CString number;
      number.Format("#%d", i + 1);
      message.Format("Can't access component file %s.", number.GetString());
      Env().Tell(CStringW(message).Str());
      result = 2;
      // The central directory ends here, short of its count. The reader can only step
      // through it record by record, so every entry behind this one fails the same way:
      // said once, for the first, instead of once for each.
      if (described == ArchiveErrCentralDirectory) break;
      continue;
    }
    done += entry.uncompressedSize;
    const ArchiveResult extracted =
        ArchiveExtractEntryW(archive, i, entry.wideName, 0, ArchiveKindFile, ArchiveModeDirectory, directory);
    // Also after an entry that wrote nothing, or failed: the windows go on answering, and
    // the bar moves past it.
    if (progress) progress->Written(std::min(stage.total, done));
    if (extracted != ArchiveOk) {
      Env().Tell((L"Error unzipping " + BaseNameOf(CStringW(entry.wideName)) + L".").Str());
      result = 3;
      continue;
    }
    unpackedFiles.push_back(directory + L"\\" + BaseNameOf(CStringW(entry.wideName)));
  }
  return result;
}
