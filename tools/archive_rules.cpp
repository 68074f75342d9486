#include "tools/archive_rules.h"

#include "archive/archive_seal.h"
#include "archive/entry_names.h"
#include "platform/utf8.h"
#include "tools/entry_data.h"
#include "tools/name_text.h"
#include "tools/text_format.h"

#include <algorithm>
#include <map>

namespace mksetup {
namespace {

// The reader's record holds 259 bytes of name and a NUL.
const size_t kMaxNameLength = 259;
// Runs of 0x55, and names that depend on the code page, spelt out one by one; more are
// counted.
const size_t kRunsReported = 20;
const size_t kNamesReported = 20;

bool IsDirectoryEntry(uint32_t external) { return (external & 0x10) || (external & 0x40000000u); }

bool ValidDosStamp(uint16_t date, uint16_t time) {
  const int day = date & 31, month = date >> 5 & 15;
  const int seconds = (time & 31) * 2, minutes = time >> 5 & 63, hours = time >> 11;
  return day >= 1 && month >= 1 && month <= 12 && hours < 24 && minutes < 60 && seconds < 60;
}

const char* MethodName(uint16_t method) {
  switch (method) {
    case 1: return "shrunk";
    case 6: return "imploded";
    case 9: return "Deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "xz";
    case 98: return "PPMd";
    case 99: return "AES encryption";
    default: return "unknown";
  }
}

class ArchiveRules {
 public:
  ArchiveRules(const ByteSource& source, const CheckOptions& options, const ZipLayout& layout, ArchiveCheck& out)
      : s_(source), n_(size_t(source.Size())), options_(options), layout_(layout), out_(out) {}

  void Run() {
    if (layout_.endRecord == kNowhere) {
      ExplainMissingEndRecord();
    } else if (layout_.endRecordInSignature) {
      Defect(-1, Format("the certificate table holds the bytes of an end record (\"PK\\5\\6\") at offset %zu: "
                        "the setup program would take them for the archive's end and not find the archive; "
                        "sign again (another signing time gives another signature)",
                        layout_.endRecord));
    } else if (layout_.endRecordCut) {
      Defect(-1, Format("the end record at offset %zu is cut short", layout_.endRecord));
    } else if (CheckEndRecord()) {
      CheckCentralDirectory();
      for (size_t i = 0; i < out_.entries.size(); ++i) CheckEntry(int(i));
      CheckOverlaps();
      CheckDuplicates();
      CheckCodePageDependentNames();
    }
    if (layout_.trailing == Trailing::kBytes) CheckTrailing();
    CheckMarkerRuns();
    if (s_.Failed()) Defect(-1, "the file could not be read to its end: the checks are incomplete");
  }

 private:
  void Defect(int entry, std::string message) { out_.findings.push_back({true, entry, std::move(message)}); }
  void Warn(int entry, std::string message) { out_.findings.push_back({false, entry, std::move(message)}); }
  std::string Label(int entry) const {
    const EntryInfo& e = out_.entries[size_t(entry)];
    return "entry " + QuotedName(e.name, e.flags);
  }

  void ExplainMissingEndRecord() {
    const size_t last = layout_.lastEndSignature;
    if (last == 0) {
      Defect(-1, "the archive holds no entries: nothing would be installed, and the setup program's reader "
                 "finds no archive in it");
    } else if (last != kNowhere) {
      Defect(-1, Format("the end record at offset %zu lies %zu bytes before the end; the setup program looks only "
                        "%zu bytes back for it",
                        last, n_ - last, kEndSearchReach));
    } else {
      Defect(-1, "no end-of-central-directory record: not a ZIP archive");
    }
  }

  // False when the central directory cannot be found from the record minizip reads.
  bool CheckEndRecord() {
    const ZipLayout& z = layout_;
    if (z.commentCut)
      Defect(-1, Format("the archive comment claims %u bytes, only %zu follow", unsigned(z.commentLength),
                        n_ - z.endRecord - zipformat::kEndRecordSize));
    const char* record = z.ReadAsZip64() ? "ZIP64 end record" : "end record";
    if (z.ReadAsZip64()) {
      const Zip64EndRecord& r = z.zip64;
      if (r.cut) {
        Defect(-1, Format("the ZIP64 end record at offset %zu is cut short: the setup program's reader would find "
                          "no archive",
                          r.at));
        return false;
      }
      CheckVolumes(record, r.disk, r.diskWithDirectory, r.entriesHere, r.entriesTotal);
    } else {
      CheckVolumes(record, z.disk, z.diskWithDirectory, z.entriesHere, z.entriesTotal);
      CheckPlaceholders();
    }
    if (z.entryCount == 0 && z.entries.empty())
      Defect(-1, "the archive holds no entries: nothing would be installed");
    if (!z.directoryFits) {
      const uint64_t size = z.ReadAsZip64() ? z.zip64.directorySize : z.directorySize;
      const uint64_t offset = z.ReadAsZip64() ? z.zip64.directoryOffset : z.directoryOffset;
      Defect(-1, Format("the central directory (%llu bytes at offset %llu) does not fit before the %s at offset %zu",
                        (unsigned long long)size, (unsigned long long)offset, record,
                        z.ReadAsZip64() ? z.zip64.at : z.endRecord));
      return false;
    }
    if (z.base != 0)
      Defect(-1, Format("the archive does not begin at the first byte of the pack file: minizip would count %zu "
                        "bytes before it (data before the archive, or a wrong central directory size or offset)",
                        z.base));
    return true;
  }

  void CheckVolumes(const char* record, uint64_t disk, uint64_t diskWithDirectory, uint64_t here, uint64_t total) {
    if (disk != 0 || diskWithDirectory != 0 || here != total)
      Defect(-1, Format("the %s says the archive spans more than one volume (this is disk %llu, the central directory "
                        "starts on disk %llu, %llu of %llu entries are here): the setup program reads single-volume "
                        "archives only",
                        record, (unsigned long long)disk, (unsigned long long)diskWithDirectory,
                        (unsigned long long)here, (unsigned long long)total));
  }

  // Read without ZIP64, an end record whose fields say 0xFFFF or 0xFFFFFFFF is taken at
  // its word. A count of 0xFFFF may be true: then 65535 records fill the directory.
  void CheckPlaceholders() {
    const ZipLayout& z = layout_;
    const Zip64Locator& l = z.locator;
    std::vector<std::string> left;
    const bool trueCount = z.directoryStop == DirectoryStop::kComplete && z.entries.size() == 0xFFFF;
    if ((z.entriesHere == 0xFFFF || z.entriesTotal == 0xFFFF) && !trueCount && l.state != LocatorState::kNone)
      left.push_back("entry counts");
    if (z.directorySize == kZip64Placeholder) left.push_back("central directory size");
    if (z.directoryOffset == kZip64Placeholder) left.push_back("central directory offset");
    if (left.empty()) return;
    std::string why;
    switch (l.state) {
      case LocatorState::kNone: why = "there is no ZIP64 end record locator"; break;
      case LocatorState::kCut: why = Format("the ZIP64 end record locator at offset %zu is cut short", l.at); break;
      case LocatorState::kOtherDisk:
        why = Format("the ZIP64 end record locator at offset %zu names disk %u", l.at, unsigned(l.disk));
        break;
      case LocatorState::kDiskCount:
        why = Format("the ZIP64 end record locator at offset %zu counts %u disks, not 1", l.at, unsigned(l.disks));
        break;
      case LocatorState::kNoRecord:
        why = Format("the ZIP64 end record locator at offset %zu points to offset %llu, where there is no ZIP64 end "
                     "record",
                     l.at, (unsigned long long)l.recordOffset);
        break;
      case LocatorState::kRecord: return;
    }
    std::string fields;
    for (size_t k = 0; k < left.size(); ++k) fields += (k ? k + 1 == left.size() ? " and " : ", " : "") + left[k];
    Defect(-1, "the end record leaves its " + fields + " to a ZIP64 end record (0xFFFF, 0xFFFFFFFF), but " + why +
                   ": the setup program's reader takes the end record's values as they are");
  }

  // The records against the count minizip reads. Read without ZIP64, and with no ZIP64
  // locator signature within reach (which leaves the count to minizip), the setup
  // program's reader walks the directory at open: records that fill it exactly and
  // outnumber the count by a multiple of 65536 are all installed; other records beyond
  // the count refuse the archive. Fewer records than the count: the first entry missing
  // is reported, and the unpacking ends there.
  void CheckCentralDirectory() {
    const ZipLayout& z = layout_;
    const size_t records = z.entries.size();
    const unsigned long long count = z.entryCount;
    // The reader walks the directory whatever its count, a ZIP64 one too; only a 16-bit
    // count can have wrapped.
    const bool wrapped = !z.ReadAsZip64() && records > count && (records - count) % 65536 == 0;
    const char* record = z.ReadAsZip64() ? "ZIP64 end record" : "end record";
    std::string effect;
    if (records < count)
      effect = Format(": the setup program would report the first of the %llu entries missing (\"Can't access "
                      "component file #%zu.\") and stop there",
                      count - records, records + 1);
    else if (records > count)
      effect = ": the setup program's reader would refuse the archive (\"Error in unZIPping\")";
    switch (z.directoryStop) {
      case DirectoryStop::kComplete:
        if (records == count) return;
        if (wrapped) {
          Warn(-1, Format("the end record counts %llu entries, its central directory holds %zu records: a count that "
                          "wrapped at 65536 (a writer without ZIP64); the setup program installs all %zu, other unzip "
                          "programs may see %llu; write the archive with ZIP64 instead (zip does for more than 65535 "
                          "entries, and so does mksetup build)",
                          count, records, records, count));
          return;
        }
        Defect(-1, Format("the %s counts %llu entries, but its central directory holds %zu records%s", record, count,
                          records, effect.c_str()));
        break;
      case DirectoryStop::kEndsEarly:
        if (records < count)
          Defect(-1, Format("the central directory ends after %zu of its %llu records%s", records, count, effect.c_str()));
        else
          Defect(-1, Format("%zu bytes of the central directory follow its last record%s", z.directoryLeftover,
                            effect.c_str()));
        break;
      case DirectoryStop::kNoSignature:
        Defect(-1, Format("central record %zu at offset %zu has no central header signature%s", records, z.stopOffset,
                          effect.c_str()));
        break;
      case DirectoryStop::kRunsPast:
        Defect(-1, Format("central record %zu at offset %zu runs past the central directory%s", records,
                          z.stopOffset, effect.c_str()));
        break;
    }
  }

  // The sizes and offset a central record leaves to a ZIP64 extra block, as the setup
  // program's reader takes them.
  void CheckZip64Fields(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    const unsigned unsupplied = e.zip64Wanted & ~e.zip64Supplied;
    if (e.zip64Overrun)
      Defect(i, label + ": its ZIP64 extra block is too short for the " + Zip64FieldNames(e.zip64Overrun) +
                    ", which its central record gives as 0xFFFFFFFF: the setup program's reader would take the bytes "
                    "behind the block");
    else if (unsupplied)
      Defect(i, label + ": its central record gives its " + Zip64FieldNames(unsupplied) +
                    " as 0xFFFFFFFF and no ZIP64 extra block supplies the real value: the setup program's reader "
                    "would take 0xFFFFFFFF as it is");
    if (e.uncompressedSize > 0xFFFFFFFFu || e.compressedSize > 0xFFFFFFFFu)
      Defect(i, Format("%s is %llu bytes, %llu stored: the setup program's reader takes sizes below 4 GiB",
                       label.c_str(), (unsigned long long)e.uncompressedSize, (unsigned long long)e.compressedSize));
  }

  static std::string Zip64FieldNames(unsigned bits) {
    std::string names;
    for (const auto& field : {std::make_pair(kZip64Size, "size"), std::make_pair(kZip64CompressedSize, "compressed size"),
                              std::make_pair(kZip64HeaderOffset, "local header offset")}) {
      if (!(bits & field.first)) continue;
      bits &= ~field.first;
      names += (names.empty() ? "" : bits ? ", " : " and ") + std::string(field.second);
    }
    return names;
  }

  // minizip goes by the central record; unzip programs that read local headers take
  // local sizes of 0xFFFFFFFF from the local ZIP64 block.
  void CheckLocalZip64(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const bool sizeLeft = e.localSize == kZip64Placeholder, compressedLeft = e.localCompressedSize == kZip64Placeholder;
    if ((e.localFlags & 8) || !(sizeLeft || compressedLeft)) return;
    const char* problem =
        !e.localZip64Block      ? "has no ZIP64 extra block to supply them"
        : !e.localZip64Complete ? "its ZIP64 extra block is too short for them"
        : (sizeLeft && e.localZip64Size != e.uncompressedSize) ||
                (compressedLeft && e.localZip64CompressedSize != e.compressedSize)
            ? "its ZIP64 extra block gives other sizes than its central record"
            : nullptr;
    if (problem)
      Warn(i, Label(i) + ": its local header gives its sizes as 0xFFFFFFFF and " + problem +
                  ": the setup program's reader goes by the central record, other unzip programs may not read the "
                  "entry");
  }

  void CheckEntry(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    if (e.flags & 0x41) Defect(i, label + " is encrypted");
    if (e.flags & 0x20) Defect(i, label + " holds compressed patched data");
    if (e.method != 0 && e.method != 8)
      Defect(i, Format("%s is compressed with method %u (%s); the setup program reads stored (0) and deflated (8) "
                       "entries only",
                       label.c_str(), unsigned(e.method), MethodName(e.method)));
    if (e.diskStart != 0)
      Defect(i, Format("%s starts on disk %u: the setup program reads single-volume archives only", label.c_str(),
                       unsigned(e.diskStart)));
    CheckName(i);
    CheckZip64Fields(i);
    if (!ValidDosStamp(e.dosDate, e.dosTime))
      Warn(i, Format("%s has no valid DOS date and time (0x%04X, 0x%04X): the installed file gets no time from it",
                     label.c_str(), unsigned(e.dosDate), unsigned(e.dosTime)));

    if (e.local != LocalHeaderState::kRead) {
      Defect(i, Format(e.local == LocalHeaderState::kOutside ? "%s: its local header at offset %llu lies outside the archive"
                                                             : "%s: there is no local header at offset %llu",
                       label.c_str(), (unsigned long long)e.localOffset));
      return;
    }
    if ((e.localFlags & 0x41) && !(e.flags & 0x41)) Defect(i, label + " is encrypted (local header)");
    if (e.localMethod != e.method)
      Defect(i, Format("%s: its local header names method %u, its central record %u", label.c_str(),
                       unsigned(e.localMethod), unsigned(e.method)));
    // With bit 3 the sizes and CRC-32 follow the data, and minizip does not compare them;
    // nor a local size of 0xFFFFFFFF.
    const bool sizesDiffer =
        (e.localCompressedSize != kZip64Placeholder && e.localCompressedSize != e.compressedSize) ||
        (e.localSize != kZip64Placeholder && e.localSize != e.uncompressedSize);
    if (!(e.localFlags & 8) && (e.localCrc != e.crc || sizesDiffer))
      Defect(i, label + ": its local header's CRC-32 or sizes differ from its central record's");
    if (!e.localNameInBounds) {
      Defect(i, label + ": its local name and extra field run past the end of the archive");
      return;
    }
    if (e.localNameLength != e.name.size())
      Defect(i, Format("%s: its local header's name is %zu bytes long, its central record's %zu", label.c_str(),
                       e.localNameLength, e.name.size()));
    else if (e.localName != e.name)
      Defect(i, label + ": its local header names it " + QuotedName(e.localName, e.flags));
    if (!e.localExtraReadable)
      Defect(i, label + ": a block of its local extra field claims more bytes than the field holds; the setup "
                        "program's reader refuses such an entry");
    CheckLocalZip64(i);

    if (e.data != DataPlace::kInBounds) {
      Defect(i, Format("%s: its %llu bytes of data at offset %zu run past the %s", label.c_str(),
                       (unsigned long long)e.compressedSize, e.dataOffset,
                       e.data == DataPlace::kPastDirectory ? "start of the central directory" : "end of the archive"));
      return;
    }
    if (e.method == 0 && e.compressedSize != e.uncompressedSize)
      Defect(i, Format("%s is stored, yet its sizes differ (%llu bytes stored, %llu unpacked)", label.c_str(),
                       (unsigned long long)e.compressedSize, (unsigned long long)e.uncompressedSize));
    std::string error;
    if (options_.readData && (e.method == 0 || e.method == 8) && !(e.flags & 0x41) &&
        !ReadEntryData(s_, e, nullptr, &error))
      Defect(i, label + ": " + error);
  }

  void CheckName(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    if (e.name.size() > kMaxNameLength)
      Defect(i, Format("%s has a name of %zu bytes; the setup program takes at most %zu", label.c_str(), e.name.size(),
                       kMaxNameLength));
    if (e.name.find('\0') != std::string::npos)
      Defect(i, label + " has a NUL byte in its name; the setup program would cut the name there");
    if (!e.nameValid) {
      Defect(i, Format("%s has a name that %s marks as UTF-8, and it is not valid UTF-8: the setup program would not "
                       "install it (\"Can't access component file #%d.\")",
                       label.c_str(),
                       e.nameEncoding == NameEncoding::kUtf8Flag ? "general-purpose bit 11"
                                                                  : "a Unicode Path extra field (0x7075)",
                       i + 1));
      return;
    }
    if (IsDirectoryEntry(e.external) || e.endsInSeparator) {
      Defect(i, label + " is a directory entry" + (e.endsInSeparator ? " (its name ends in a separator)" : "") +
                    ": the setup program installs files only, all into one folder (leave directories out of the "
                    "archive, as zip -D does, or let mksetup build it from the folder with --add-dir)");
      return;
    }
    if (e.baseName.empty()) {
      Defect(i, label + " installs as nothing: its name is empty");
      return;
    }
    const unsigned number = NameCodePage(e, options_.codePage);
    const CCodePage codePage = CCodePage::Numbered(number);
    const std::string reason =
        IsCodePageName(e) ? UnsafeNameReason(e.name.substr(FinalComponentOffset(e.name, codePage)), number)
                          : UnsafeNameReason(e.wideBaseName);
    if (!reason.empty()) Defect(i, label + " would install as " + Quoted(e.baseName) + ": " + reason);
  }

  void CheckOverlaps() {
    struct Span {
      size_t start, end;
      int entry;
    };
    std::vector<Span> spans;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (e.data == DataPlace::kInBounds) spans.push_back({size_t(e.localOffset), e.spanEnd, int(i)});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t k = 1; k < spans.size(); ++k) {
      if (spans[k].start < spans[k - 1].end)
        Defect(spans[k].entry, Label(spans[k - 1].entry) + " and " + Label(spans[k].entry) +
                                   " share bytes: their local headers or data overlap");
    }
  }

  // Windows compares file names without regard to case (name_text.h says how far).
  void CheckDuplicates() {
    std::map<std::wstring, int> seen;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (e.baseName.empty() || !e.nameValid || e.endsInSeparator || IsDirectoryEntry(e.external)) continue;
      // Bytes that make no character of the code page are compared as they are.
      const std::wstring key = e.baseNameExact ? UpperCased(e.wideBaseName)
                                               : L'\uFFFF' + UpperCased(std::wstring(e.name.begin(), e.name.end()));
      const auto found = seen.emplace(key, int(i));
      if (found.second) continue;
      const std::string message = Label(found.first->second) + " and " + Label(int(i)) + " both install as " +
                                  Quoted(e.baseName) + ": the later one replaces the earlier";
      if (options_.refuseDuplicates) Defect(int(i), message);
      else Warn(int(i), message);
    }
  }

  // Bytes of 0x80 and more are different characters in different code pages: a name of
  // the code page that holds them installs under a name that depends on where the
  // user's Windows is set up. A name read as UTF-8 does not.
  void CheckCodePageDependentNames() {
    size_t found = 0;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (!IsCodePageName(e) || IsAscii(e.name)) continue;
      if (++found > kNamesReported) continue;
      const bool oem = e.nameEncoding == NameEncoding::kOemCodePage;
      const unsigned number = NameCodePage(e, options_.codePage);
      Warn(int(i), Format("%s has bytes of 0x80 or more in its name, which Windows reads by the user's %s code page%s: "
                          "%s it installs as %s%s",
                          Label(int(i)).c_str(), oem ? "OEM" : "ANSI",
                          oem ? " (its host is a DOS, HPFS, NTFS or VFAT one)" : "",
                          options_.codePage == kWesternCodePage
                              ? Format("in the Western code page %u", number).c_str()
                              : Format("in code page %u", number).c_str(),
                          Quoted(e.baseName).c_str(),
                          options_.codePage == kWesternCodePage ? "; --codepage N checks it for another code page"
                                                                : ", and elsewhere under other names"));
    }
    if (found > kNamesReported)
      Warn(-1, Format("and %zu more names with bytes of 0x80 or more", found - kNamesReported));
  }

  void CheckTrailing() {
    const size_t at = options_.signatureAt;
    Defect(-1, Format("%zu bytes follow the archive's end record%s", n_ - layout_.archiveEnd,
                      at == kNowhere ? ""
                                     : Format(" and do not lead to the certificate table at offset %zu", at).c_str()));
  }

  void CheckMarkerRuns() {
    out_.runs = PlaceMarkerByteRuns(*options_.knownRuns, layout_.fields);
    // Every run is kept for the writer; a flood of them is not all spelt out.
    for (size_t k = 0; k < out_.runs.size() && k < kRunsReported; ++k) {
      const MarkerRun& r = out_.runs[k];
      out_.findings.push_back({true, r.fields.empty() ? -1 : r.fields.front().entry,
                               Format("%zu bytes of 0x55 in a row at offset %zu, in %s: the setup program would "
                                      "count a marker there and refuse to install",
                                      r.length, r.offset, DescribeRun(r, out_.entries).c_str()),
                               true});
    }
    if (out_.runs.size() > kRunsReported)
      out_.findings.push_back(
          {true, -1, Format("and %zu more runs of 0x55 bytes", out_.runs.size() - kRunsReported), true});
  }

  const ByteSource& s_;
  size_t n_;
  const CheckOptions& options_;
  const ZipLayout& layout_;
  ArchiveCheck& out_;
};

}  // namespace

unsigned NameCodePage(const EntryInfo& e, unsigned codePage) {
  return e.nameEncoding == NameEncoding::kOemCodePage ? OemCodePageOf(codePage) : codePage;
}

bool IsCodePageName(const EntryInfo& e) {
  return e.nameEncoding == NameEncoding::kCodePage || e.nameEncoding == NameEncoding::kOemCodePage;
}

void ReadEntryName(EntryInfo& e, unsigned codePage) {
  const DecodedName decoded = DecodeEntryName(e.name, e.flags, e.versionMadeBy,
                                              reinterpret_cast<const uint8_t*>(e.centralExtra.data()),
                                              e.centralExtra.size());
  e.nameEncoding = decoded.encoding;
  e.nameValid = decoded.valid;
  e.baseNameExact = true;
  if (!decoded.valid) return;
  if (decoded.encoding == NameEncoding::kCodePage || decoded.encoding == NameEncoding::kOemCodePage) {
    const unsigned number = NameCodePage(e, codePage);
    const CCodePage page = CCodePage::Numbered(number);
    e.endsInSeparator = EndsInSeparator(e.name, page);
    e.wideBaseName = WideFromCodePage(std::string_view(e.name).substr(FinalComponentOffset(e.name, page)), number,
                                      &e.baseNameExact);
  } else {
    const std::wstring wide = WideFromUtf8(decoded.utf8);
    e.endsInSeparator = EndsInSeparator(wide);
    e.wideBaseName = wide.substr(FinalComponentOffset(wide));
  }
  e.baseName = Utf8FromWide(e.wideBaseName);
}

bool ArchiveCheck::HasDefects() const {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.defect; });
}

ArchiveCheck CheckArchive(const uint8_t* data, size_t size, const CheckOptions& options) {
  return CheckArchive(MemorySource(data, size), options);
}

namespace {

// A comment cut short holds no seal: its last bytes are not there.
void CheckSeal(const ByteSource& source, const CheckOptions& options, ArchiveCheck& out) {
  if (out.endRecord == kNowhere || out.archiveEnd > source.Size() || out.archiveEnd < kSealDigits ||
      !ReadSeal(out.comment, &out.sealCrc))
    return;
  out.sealed = true;
  if (!options.checkSeal) return;
  uint32_t crc = 0;
  if (!ReadInPieces(source, 0, out.archiveEnd - kSealDigits, [&](const uint8_t* data, size_t n) {
        crc = ExtendSealCrc(crc, data, n);
        return true;
      })) {
    out.findings.push_back({true, -1, "the archive cannot be read to check its seal"});
    return;
  }
  out.sealChecked = true;
  out.actualCrc = crc;
  if (crc != out.sealCrc)
    out.findings.push_back({true, -1,
                            Format("the archive's seal gives CRC-32 %08x, its bytes give %08x: the setup file is "
                                   "damaged, or has changed since mksetup built it",
                                   unsigned(out.sealCrc), unsigned(crc))});
}

}  // namespace

ArchiveCheck CheckArchive(const ByteSource& source, const CheckOptions& options) {
  // The runs first, so that the layout keeps only the fields they need placing in.
  std::vector<std::pair<size_t, size_t>> runs;
  if (options.knownRuns) runs = *options.knownRuns;
  else FindMarkerByteRuns(source, &runs);
  CheckOptions withRuns = options;
  withRuns.knownRuns = &runs;
  const ZipLayout layout = ReadZipLayout(source, options.signatureAt, &runs);
  ArchiveCheck out;
  out.entries = layout.entries;
  for (EntryInfo& e : out.entries) ReadEntryName(e, options.codePage);
  out.endRecord = layout.endRecord;
  out.zip64EndRecord = layout.zip64.at;
  out.archiveEnd = layout.archiveEnd;
  out.comment = layout.comment;
  ArchiveRules(source, withRuns, layout, out).Run();
  CheckSeal(source, options, out);
  return out;
}

std::string InstallName(const std::string& storedName, unsigned codePage) {
  return storedName.substr(FinalComponentOffset(storedName, CCodePage::Numbered(codePage)));
}

namespace {

std::string ReasonOf(const NameCheck& check, unsigned codePage) {
  switch (check.fault) {
    case NameFault::kNone: return std::string();
    case NameFault::kEmpty: return "it is empty";
    case NameFault::kDotName: return "it names the install directory or its parent";
    case NameFault::kControlCharacter: return Format("it holds the control character 0x%02X", check.character);
    case NameFault::kColon: return "it holds a colon, which Windows reads as a drive or an alternate data stream";
    case NameFault::kReservedCharacter:
      return Format("it holds '%c', which Windows does not allow in a file name", check.character);
    case NameFault::kTrailingDotOrSpace: return "it ends in a dot or a space, which Windows drops";
    case NameFault::kDeviceName:
      return "it is the device name " + check.device + ", which Windows opens instead of a file";
    case NameFault::kBrokenCharacter:
      return Format("its byte 0x%02X starts no whole character of code page %u, and Windows would store another "
                    "name", check.character, codePage);
  }
  return "Windows cannot store it as a file";
}

}  // namespace

std::string UnsafeNameReason(const std::string& name, unsigned codePage) {
  return ReasonOf(CheckPlainFileName(name, CCodePage::Numbered(codePage)), codePage);
}

std::string UnsafeNameReason(std::wstring_view name) { return ReasonOf(CheckPlainFileName(name), 0); }

}  // namespace mksetup
