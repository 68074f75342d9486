// mksetup list, verify and count-markers: what a setup file holds, as the setup program
// will meet it.
#include "tools/command_inspect.h"

#include "payload/payload_marker.h"
#include "platform/calendar.h"
#include "platform/handles.h"
#include "platform/utf8.h"
#include "tools/byte_source.h"
#include "tools/host.h"
#include "tools/name_text.h"
#include "tools/pack_reader.h"
#include "tools/setup_file_check.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace mksetup {
namespace {

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, unsigned(value));
  return text;
}

std::string TimeText(int64_t unixTime) {
  const CivilTime t = CivilFromUnixTime(unixTime);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d", (long long)t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string FileTimeText(FileTime t) {
  if (t == 0) return "-";
  const int64_t ticks = TicksSince1970Of(t);
  // Whole seconds, rounded down also before 1970.
  return TimeText(ticks / kFileTimeTicksPerSecond - (ticks % kFileTimeTicksPerSecond < 0 ? 1 : 0));
}

std::string DosStampText(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (date >> 9), date >> 5 & 15, date & 31,
                time >> 11, time >> 5 & 63, (time & 31) * 2);
  return text;
}

std::string AttributeText(uint32_t a) {
  std::string letters;
  if (a & 0x01) letters += 'R';
  if (a & 0x02) letters += 'H';
  if (a & 0x04) letters += 'S';
  if (a & 0x10) letters += 'D';
  if (a & 0x20) letters += 'A';
  return "0x" + Hex(a, 2) + (letters.empty() ? "" : " " + letters);
}

// How the name was read, where that matters: names of plain ASCII read alike everywhere.
std::string NameReading(const EntryInfo& e, unsigned codePage) {
  const char* invalid = e.nameValid ? "" : ", not valid UTF-8";
  switch (e.nameEncoding) {
    case NameEncoding::kUtf8Flag: return std::string("UTF-8 flag") + invalid;
    case NameEncoding::kUnicodePathField: return std::string("Unicode Path field") + invalid;
    case NameEncoding::kCodePage: break;
    case NameEncoding::kOemCodePage:
      return IsAscii(e.name) ? "-" : "OEM code page " + std::to_string(NameCodePage(e, codePage));
  }
  return IsAscii(e.name) ? "-" : "code page " + std::to_string(codePage);
}

// The columns a UTF-8 text takes on a terminal: East Asian wide characters take two.
size_t Columns(const std::string& text) {
  size_t columns = 0;
  for (wchar_t c : WideFromUtf8(text)) {
    const uint32_t u = uint32_t(c);
    if (u >= 0xDC00 && u <= 0xDFFF) continue;  // the second half of a UTF-16 pair
    const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
                      (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6) ||
                      (u >= 0xD840 && u <= 0xD87F) || u >= 0x20000;
    columns += wide ? 2 : 1;
  }
  return columns;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) {
      if (widths.size() <= c) widths.push_back(0);
      widths[c] = std::max(widths[c], Columns(row[c]));
    }
  for (const auto& row : rows) {
    std::string line = "   ";
    for (size_t c = 0; c < row.size(); ++c)
      line += " " + row[c] + (c + 1 < row.size() ? std::string(widths[c] - Columns(row[c]), ' ') : "");
    std::printf("%s\n", line.c_str());
  }
}

void PrintSetupFile(const std::string& path, const SetupFileCheck& c, const ReaderView& view, size_t size,
                    unsigned codePage) {
  std::printf("%s\n", path.c_str());
  if (c.product)
    std::printf("  product:   %s (its name holds %s)\n", c.product->productName, c.product->keyword);
  else
    std::printf("  product:   none (its name holds no product's keyword)\n");
  std::printf("  markers:   %zu", c.markers.size());
  for (size_t i = 0; i < c.markers.size(); ++i)
    std::printf("%s%zu", i ? ", " : " (at offsets ", c.markers[i] - std::strlen(PayloadMarker));
  std::printf("%s\n", c.markers.empty() ? "" : ")");
  if (c.archiveStart == kNowhere) return;
  const size_t archiveBytes =
      (c.archive.archiveEnd <= size - c.archiveStart ? c.archive.archiveEnd : size - c.archiveStart);
  std::printf("  archive:   %zu bytes at %zu, %zu entries%s\n", archiveBytes, c.archiveStart, c.archive.entries.size(),
              c.archive.zip64EndRecord != kNowhere ? ", counted by a ZIP64 end record" : "");
  if (c.certificateOffset != kNowhere)
    std::printf("  signature: certificate table of %zu bytes at %zu (osslsigncode verify checks it)\n",
                c.certificateSize, c.certificateOffset);
  else
    std::printf("  signature: none\n");
  if (!c.archive.sealed)
    std::printf("  seal:      none (the archive comment ends with no seal; the entries' CRC-32s are its check)\n");
  else if (c.archive.SealHolds())
    std::printf("  seal:      CRC-32 %08x, which the archive's bytes match\n", unsigned(c.archive.sealCrc));
  else if (c.archive.sealChecked)
    std::printf("  seal:      CRC-32 %08x, which does not hold: the archive's bytes give %08x\n",
                unsigned(c.archive.sealCrc), unsigned(c.archive.actualCrc));
  else
    std::printf("  seal:      CRC-32 %08x, not checked\n", unsigned(c.archive.sealCrc));
  if (c.archive.entries.empty()) return;

  std::vector<std::vector<std::string>> rows = {{"installs as", "size", "packed", "method", "CRC-32",
                                                 "written (UTC)", "created (UTC)", "accessed (UTC)", "attributes",
                                                 "name read as", "stored name"}};
  for (size_t i = 0; i < c.archive.entries.size(); ++i) {
    const EntryInfo& e = c.archive.entries[i];
    const bool fromReader = view.opened && i < view.records.size() && view.records[i].result == ArchiveOk;
    const ArchiveEntry* r = fromReader ? &view.records[i].entry : nullptr;
    // Without the reader's record: the local "UT" time, else the DOS stamp, as the reader would.
    const std::string dos = DosStampText(e.dosDate, e.dosTime);
    rows.push_back({e.baseName.empty() ? "-" : e.baseName, std::to_string(e.uncompressedSize),
                    std::to_string(e.compressedSize),
                    e.method == 0 ? "stored" : e.method == 8 ? "deflated" : "method " + std::to_string(e.method),
                    Hex(e.crc, 8), r ? FileTimeText(r->writeTime) : e.hasModTime ? TimeText(e.modTime) : dos,
                    r ? FileTimeText(r->creationTime) : dos, r ? FileTimeText(r->accessTime) : dos,
                    r ? AttributeText(r->attributes) : "-", NameReading(e, codePage),
                    PrintableName(e.name, e.flags)});
  }
  std::printf("  entries:\n");
  PrintTable(rows);
}

}  // namespace

int Inspect(const Arguments& args, bool verify) {
  const ProductProfile* expected = nullptr;
  bool refuseDuplicates = false;
  unsigned codePage = kWesternCodePage;
  std::string path;
  const size_t argc = args.size();
  for (size_t i = 2; i < argc; ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Help();
    if (a == "--product" && i + 1 < argc) {
      if (!TakeProduct(args[++i], &expected)) return kExitUsage;
    } else if (a == "--codepage" && i + 1 < argc) {
      if (!TakeCodePage(args[++i], &codePage)) return kExitUsage;
    } else if (a == "--refuse-duplicates") {
      refuseDuplicates = true;
    } else if (!a.empty() && a[0] != '-' && path.empty()) {
      path = a;
    } else {
      return Usage();
    }
  }
  if (path.empty()) return Usage();
  const CCrtFile file(host::OpenFile(path, "rb"));
  uint64_t size = 0;
  if (!file.IsValid() || !host::SizeOfFile(file.Get(), &size)) {
    Say("cannot open " + path + ": " + std::strerror(errno));
    return kExitRefused;
  }
  const FileSource bytes(file.Get(), size);
  CheckOptions options;
  options.readData = verify;
  options.refuseDuplicates = refuseDuplicates;
  options.codePage = codePage;
  const SetupFileCheck c = CheckSetupFile(bytes, path, expected, options);
  ReaderView view;
  std::vector<Finding> readerFindings;
  if (c.archiveStart != kNowhere) {
    view = ReadWithSetupReader(SubSource(bytes, c.archiveStart, size - c.archiveStart), &c.archive);
    readerFindings = CompareWithReader(c.archive, view);
  }
  PrintSetupFile(path, c, view, size_t(size), codePage);
  const std::string prefix = InstallName(path) + ": ";
  bool defect = Report(c.findings, prefix);
  defect = Report(c.archive.findings, prefix) || defect;
  defect = Report(readerFindings, prefix) || defect;
  if (defect) return kExitRefused;
  if (verify)
    std::printf("verified: %zu entries read whole, every size and CRC-32 matches%s; the setup program can install it\n",
                c.archive.entries.size(), c.archive.sealed ? ", and so does the seal" : " (the archive has no seal)");
  return 0;
}

int CountMarkers(const Arguments& args) {
  if (args.size() != 3) return Usage();
  const CCrtFile file(host::OpenFile(args[2], "rb"));
  if (!file.IsValid()) {
    Say("cannot open " + args[2] + ": " + std::strerror(errno));
    return kExitRefused;
  }
  CMarkerScan scan;
  std::vector<uint8_t> piece(kPieceSize);
  size_t n;
  while ((n = std::fread(piece.data(), 1, piece.size(), file.Get())) > 0) scan.Feed(piece.data(), n);
  if (std::ferror(file.Get())) {
    Say("cannot read " + args[2] + ": " + std::strerror(errno));
    return kExitRefused;
  }
  std::printf("%llu\n", (unsigned long long)scan.Count());
  return 0;
}

}  // namespace mksetup
