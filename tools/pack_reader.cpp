#include "tools/pack_reader.h"

#include "archive/entry_names.h"
#include "platform/handles.h"
#include "platform/utf8.h"
#include "tools/host.h"
#include "tools/text_format.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mksetup {
namespace {

std::string Hex(uint32_t value) { return Format("%X", unsigned(value)); }

// minizip takes a value from a ZIP64 extra block only where the 32-bit field equals
// (unsigned long)-1: 0xFFFFFFFF in the setup program, built for Windows, but never on a
// 64-bit Unix, where the reader built here then sees other sizes and offsets.
const bool kReaderTakesZip64Blocks = sizeof(unsigned long) == 4;

uint32_t ReaderEncodingOf(NameEncoding encoding) {
  switch (encoding) {
    case NameEncoding::kUtf8Flag: return ArchiveNameUtf8;
    case NameEncoding::kUnicodePathField: return ArchiveNameUnicodePath;
    case NameEncoding::kOemCodePage: return ArchiveNameOemCodePage;
    default: return ArchiveNameCodePage;
  }
}

}  // namespace

std::vector<Finding> CompareWithReader(const ArchiveCheck& archive, const ReaderView& view) {
  std::vector<Finding> findings;
  auto defect = [&](int entry, const std::string& message) {
    findings.push_back({true, entry, "the setup program's reader: " + message});
  };
  if (!view.error.empty()) {
    defect(-1, view.error);
    return findings;
  }
  if (!view.opened) {
    defect(-1, "finds no archive in the pack file (\"Error in unZIPping\")");
    return findings;
  }
  if (size_t(view.count) != archive.entries.size())
    defect(-1, "counts " + std::to_string(view.count) + " entries, not " + std::to_string(archive.entries.size()));
  size_t uncompared = 0;
  for (size_t i = 0; i < view.records.size() && i < archive.entries.size(); ++i) {
    const ReaderRecord& r = view.records[i];
    const EntryInfo& e = archive.entries[i];
    if (!kReaderTakesZip64Blocks && e.zip64Supplied) {
      ++uncompared;
      continue;
    }
    // A name meant as UTF-8 that is not is a defect already; the reader must refuse it.
    if (!e.nameValid) {
      if (r.result != ArchiveErrNameEncoding)
        defect(int(i), "does not refuse entry " + QuotedName(e.name, e.flags) + ", whose name is not valid UTF-8");
      continue;
    }
    if (r.result != ArchiveOk) {
      defect(int(i),
             "cannot read the record of entry " + QuotedName(e.name, e.flags) + " (result 0x" + Hex(r.result) + ")");
      continue;
    }
    if (r.entry.name != e.name || r.entry.compressedSize != e.compressedSize ||
        r.entry.uncompressedSize != e.uncompressedSize)
      defect(int(i), "sees entry " + std::to_string(i) + " as " + QuotedName(r.entry.name, e.flags) + ", " +
                         std::to_string(r.entry.uncompressedSize) + " bytes, where its headers say " +
                         QuotedName(e.name, e.flags) + ", " + std::to_string(e.uncompressedSize) + " bytes");
    // The name as it reads: the same encoding, and for a UTF-8 name the same file name. (A
    // code page's name is read in the users' code page, which the reader here cannot take.)
    const std::wstring wideName(r.entry.wideName);
    if (ReaderEncodingOf(e.nameEncoding) != r.entry.nameEncoding)
      defect(int(i), "reads the name of entry " + QuotedName(e.name, e.flags) + " another way than these checks");
    else if (!IsCodePageName(e) && wideName.substr(FinalComponentOffset(wideName)) != e.wideBaseName)
      defect(int(i), "would install entry " + QuotedName(e.name, e.flags) + " as '" + Utf8FromWide(wideName) +
                         "', not as '" + e.baseName + "'");
  }
  if (uncompared)
    findings.push_back({false, -1, Format("the setup program's reader as built here (minizip on a 64-bit Unix) takes "
                                          "nothing from ZIP64 extra blocks, so %zu entries that take their sizes or "
                                          "offset from one were not held against it; the setup program, built for "
                                          "Windows, takes them",
                                          uncompared)});
  return findings;
}

namespace {

// The stretches of the pack file's bytes that the reader's copy may leave out: the data of
// entries whose span no other entry, and not the last stretch the reader searches for the
// end records, reaches. Sorted by offset.
std::vector<std::pair<uint64_t, uint64_t>> Holes(const ArchiveCheck& check, uint64_t size) {
  // Holes smaller than this save nothing worth a seek.
  const uint64_t kWorthLeavingOut = 1 << 20;
  const uint64_t tail = size > 2 * kEndSearchReach + 1024 ? size - 2 * kEndSearchReach - 1024 : 0;
  std::vector<const EntryInfo*> spans;
  for (const EntryInfo& e : check.entries)
    if (e.local == LocalHeaderState::kRead) spans.push_back(&e);
  std::sort(spans.begin(), spans.end(), [](const EntryInfo* a, const EntryInfo* b) {
    return a->localOffset < b->localOffset;
  });
  std::vector<std::pair<uint64_t, uint64_t>> holes;
  for (size_t k = 0; k < spans.size(); ++k) {
    const EntryInfo& e = *spans[k];
    if (!e.dataInBounds || e.compressedSize < kWorthLeavingOut) continue;
    const uint64_t start = e.dataOffset, end = e.dataOffset + e.compressedSize;
    const bool alone = (k == 0 || spans[k - 1]->spanEnd <= e.localOffset) &&
                       (k + 1 == spans.size() || spans[k + 1]->localOffset >= e.spanEnd) && end <= tail &&
                       (holes.empty() || holes.back().second <= start);
    if (alone) holes.emplace_back(start, end);
  }
  return holes;
}

}  // namespace

ReaderView ReadWithSetupReader(const uint8_t* pack, size_t size) {
  return ReadWithSetupReader(MemorySource(pack, size), nullptr);
}

ReaderView ReadWithSetupReader(const ByteSource& pack, const ArchiveCheck* check) {
  ReaderView view;
  std::string path;
  FILE* made = nullptr;
  if (!host::MakeTemporaryFile(&path, &made)) {
    view.error = std::string("cannot create a temporary file: ") + std::strerror(errno);
    return view;
  }
  CCrtFile file(made);
  const uint64_t size = pack.Size();
  std::vector<std::pair<uint64_t, uint64_t>> holes;
  if (check) holes = Holes(*check, size);
  holes.emplace_back(size, size);
  bool written = true;
  uint64_t at = 0;
  for (const auto& hole : holes) {
    written = written && ReadInPieces(pack, at, hole.first - at, [&](const uint8_t* data, size_t n) {
                return std::fwrite(data, 1, n, file.Get()) == n;
              });
    // A hole reads as zeros; the bytes behind it are written at their place.
    written = written && (hole.second == hole.first || host::SeekFile(file.Get(), hole.second));
    at = hole.second;
  }
  if (!file.Close() || !written) {
    view.error = "cannot write the temporary pack file " + path;
    host::RemoveFile(path);
    return view;
  }
  {
    // The path is UTF-8 text (host.h): read as such, whatever the code page, it names
    // the file made. The length is not used for a file source; the setup program passes
    // 0 as well.
    const COpenArchive archive(ArchiveOpenW(WideFromUtf8(path).c_str(), 0, ArchiveKindFile));
    if (archive.IsValid()) {
      view.opened = true;
      ArchiveEntry entry{};
      if (ArchiveGetEntry(archive.Get(), -1, &entry) == ArchiveOk) view.count = entry.index;
      for (int32_t i = 0; i < view.count; ++i) {
        ReaderRecord record{};
        record.result = ArchiveGetEntry(archive.Get(), i, &record.entry);
        view.records.push_back(record);
      }
    }
  }
  host::RemoveFile(path);
  return view;
}

}  // namespace mksetup
