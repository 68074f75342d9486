#include "tools/archive_rules.h"

#include "archive/entry_names.h"
#include "tools/entry_data.h"
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
  ArchiveRules(const uint8_t* data, size_t size, const CheckOptions& options, const ZipLayout& layout,
               ArchiveCheck& out)
      : d_(data), n_(size), options_(options), layout_(layout), out_(out) {}

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
  }

 private:
  void Defect(int entry, std::string message) { out_.findings.push_back({true, entry, std::move(message)}); }
  void Warn(int entry, std::string message) { out_.findings.push_back({false, entry, std::move(message)}); }
  std::string Label(int entry) const { return "entry " + Quoted(out_.entries[size_t(entry)].name); }

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

  // False when the central directory cannot be found from the end record.
  bool CheckEndRecord() {
    const ZipLayout& z = layout_;
    if (z.commentCut)
      Defect(-1, Format("the archive comment claims %u bytes, only %zu follow", unsigned(z.commentLength),
                        n_ - z.endRecord - 22));
    if (z.zip64) Defect(-1, "the archive uses ZIP64 extensions, which the setup program does not read");
    if (z.disk != 0 || z.diskWithDirectory != 0 || z.entriesHere != z.entriesTotal)
      Defect(-1, Format("the archive spans more than one volume (this is disk %u, the central directory starts on "
                        "disk %u, %u of %u entries are here): the setup program reads single-volume archives only",
                        unsigned(z.disk), unsigned(z.diskWithDirectory), unsigned(z.entriesHere),
                        unsigned(z.entriesTotal)));
    if (z.entriesTotal == 0) Defect(-1, "the archive holds no entries: nothing would be installed");
    if (!z.directoryFits) {
      Defect(-1, Format("the central directory (%u bytes at offset %u) does not fit before the end record at "
                        "offset %zu",
                        z.directorySize, z.directoryOffset, z.endRecord));
      return false;
    }
    if (z.base != 0)
      Defect(-1, Format("the archive does not begin at the first byte of the pack file: minizip would count %zu "
                        "bytes before it (data before the archive, or a wrong central directory size or offset)",
                        z.base));
    return true;
  }

  void CheckCentralDirectory() {
    const ZipLayout& z = layout_;
    switch (z.directoryStop) {
      case DirectoryStop::kEndsEarly:
        Defect(-1, Format("the central directory ends after %zu of its %u records", z.stopRecord,
                          unsigned(z.entriesTotal)));
        break;
      case DirectoryStop::kNoSignature:
        Defect(-1, Format("central record %zu at offset %zu has no central header signature", z.stopRecord,
                          z.stopOffset));
        break;
      case DirectoryStop::kRunsPast:
        Defect(-1, Format("central record %zu at offset %zu runs past the central directory", z.stopRecord,
                          z.stopOffset));
        break;
      case DirectoryStop::kComplete:
        if (z.directoryLeftover)
          Defect(-1, Format("%zu bytes of the central directory follow its last record", z.directoryLeftover));
        break;
    }
  }

  void CheckEntry(int i) {
    const EntryInfo& e = out_.entries[size_t(i)];
    const std::string label = Label(i);
    bool zip64 = e.compressedSize == 0xFFFFFFFF || e.uncompressedSize == 0xFFFFFFFF || e.headerOffset == 0xFFFFFFFF ||
                 e.centralZip64Block;
    const std::string zip64Defect = label + " uses ZIP64 extensions, which the setup program does not read";
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
    if (!ValidDosStamp(e.dosDate, e.dosTime))
      Warn(i, Format("%s has no valid DOS date and time (0x%04X, 0x%04X): the installed file gets no time from it",
                     label.c_str(), unsigned(e.dosDate), unsigned(e.dosTime)));

    if (e.local != LocalHeaderState::kRead) {
      Defect(i, Format(e.local == LocalHeaderState::kOutside ? "%s: its local header at offset %zu lies outside the archive"
                                                             : "%s: there is no local header at offset %zu",
                       label.c_str(), e.localOffset));
      if (zip64) Defect(i, zip64Defect);
      return;
    }
    if (e.localCompressedSize == 0xFFFFFFFF || e.localSize == 0xFFFFFFFF) zip64 = true;
    if ((e.localFlags & 0x41) && !(e.flags & 0x41)) Defect(i, label + " is encrypted (local header)");
    if (e.localMethod != e.method)
      Defect(i, Format("%s: its local header names method %u, its central record %u", label.c_str(),
                       unsigned(e.localMethod), unsigned(e.method)));
    // With bit 3 the sizes and CRC-32 follow the data, and minizip does not compare them.
    if (!(e.localFlags & 8) &&
        (e.localCrc != e.crc || e.localCompressedSize != e.compressedSize || e.localSize != e.uncompressedSize))
      Defect(i, label + ": its local header's CRC-32 or sizes differ from its central record's");
    if (!e.localNameInBounds) {
      Defect(i, label + ": its local name and extra field run past the end of the archive");
      return;
    }
    if (e.localNameLength != e.name.size())
      Defect(i, Format("%s: its local header's name is %zu bytes long, its central record's %zu", label.c_str(),
                       e.localNameLength, e.name.size()));
    else if (e.localName != e.name)
      Defect(i, label + ": its local header names it " + Quoted(e.localName));
    if (e.localZip64Block) zip64 = true;
    if (!e.localExtraReadable)
      Defect(i, label + ": a block of its local extra field claims more bytes than the field holds; the setup "
                        "program's reader refuses such an entry");
    if (zip64) Defect(i, zip64Defect);

    if (e.data != DataPlace::kInBounds) {
      Defect(i, Format("%s: its %u bytes of data at offset %zu run past the %s", label.c_str(), e.compressedSize,
                       e.dataOffset,
                       e.data == DataPlace::kPastDirectory ? "start of the central directory" : "end of the archive"));
      return;
    }
    if (e.method == 0 && e.compressedSize != e.uncompressedSize)
      Defect(i, Format("%s is stored, yet its sizes differ (%u bytes stored, %u unpacked)", label.c_str(),
                       e.compressedSize, e.uncompressedSize));
    std::string error;
    if (options_.readData && (e.method == 0 || e.method == 8) && !(e.flags & 0x41) &&
        !ReadEntryData(d_, n_, e, nullptr, &error))
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
    if (IsDirectoryEntry(e.external)) {
      Defect(i, label + " is a directory entry: the setup program installs files only, all into one folder "
                        "(leave directories out of the archive, as zip -D does)");
      return;
    }
    if (e.baseName.empty()) {
      Defect(i, label + " installs as nothing: its name ends in a separator");
      return;
    }
    const std::string reason = UnsafeNameReason(e.baseName, options_.codePage);
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
      if (e.data == DataPlace::kInBounds) spans.push_back({e.localOffset, e.spanEnd, int(i)});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t k = 1; k < spans.size(); ++k) {
      if (spans[k].start < spans[k - 1].end)
        Defect(spans[k].entry, Label(spans[k - 1].entry) + " and " + Label(spans[k].entry) +
                                   " share bytes: their local headers or data overlap");
    }
  }

  void CheckDuplicates() {
    // Windows file names ignore case: a.txt and A.TXT are one file.
    std::map<std::string, int> seen;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (e.baseName.empty() || IsDirectoryEntry(e.external)) continue;
      std::string folded = e.baseName;
      for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      const auto found = seen.emplace(folded, int(i));
      if (found.second) continue;
      const std::string message = Label(found.first->second) + " and " + Label(int(i)) + " both install as " +
                                  Quoted(e.baseName) + ": the later one replaces the earlier";
      if (options_.refuseDuplicates) Defect(int(i), message);
      else Warn(int(i), message);
    }
  }

  // Bytes of 0x80 and more are different characters in different code pages: such a
  // name installs under a name that depends on where the user's Windows is set up.
  void CheckCodePageDependentNames() {
    size_t found = 0;
    for (size_t i = 0; i < out_.entries.size(); ++i) {
      const EntryInfo& e = out_.entries[i];
      if (std::none_of(e.name.begin(), e.name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        continue;
      if (++found > kNamesReported) continue;
      Warn(int(i), Format("%s has bytes of 0x80 or more in its name, which Windows reads by the user's code page: "
                          "%s it installs as %s%s",
                          Label(int(i)).c_str(),
                          options_.codePage == kWesternCodePage ? "in the Western code page 1252"
                                                                : Format("in code page %u", options_.codePage).c_str(),
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
    out_.runs = PlaceMarkerByteRuns(d_, n_, layout_.fields);
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

  const uint8_t* d_;
  size_t n_;
  const CheckOptions& options_;
  const ZipLayout& layout_;
  ArchiveCheck& out_;
};

}  // namespace

bool ArchiveCheck::HasDefects() const {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.defect; });
}

ArchiveCheck CheckArchive(const uint8_t* data, size_t size, const CheckOptions& options) {
  const ZipLayout layout = ReadZipLayout(data, size, options.signatureAt);
  ArchiveCheck out;
  out.entries = layout.entries;
  for (EntryInfo& e : out.entries) e.baseName = InstallName(e.name, options.codePage);
  out.endRecord = layout.endRecord;
  out.archiveEnd = layout.archiveEnd;
  out.comment = layout.comment;
  ArchiveRules(data, size, options, layout, out).Run();
  return out;
}

std::string InstallName(const std::string& storedName, unsigned codePage) {
  return storedName.substr(FinalComponentOffset(storedName, CCodePage::Numbered(codePage)));
}

std::string UnsafeNameReason(const std::string& name, unsigned codePage) {
  const NameCheck check = CheckPlainFileName(name, CCodePage::Numbered(codePage));
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

}  // namespace mksetup
