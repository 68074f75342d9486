// mksetup: the vendor's packager. Builds setup files (the setup program's stub, the eight
// marker bytes, a ZIP archive) that the setup program can install, and lists and
// verifies existing ones; see kHelp. A refused build writes nothing: the output is made
// beside its final name, checked whole, and only then renamed.
#include "payload/payload_marker.h"
#include "platform/calendar.h"
#include "platform/code_page.h"
#include "platform/handles.h"
#include "tools/pack_reader.h"
#include "tools/setup_archive.h"
#include "tools/setup_file_check.h"
#include "tools/signing.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace mksetup;

const int kExitRefused = 1;
const int kExitUsage = 2;

const char kUsage[] =
    "usage: mksetup build --stub STUB --product NAME --out SETUP\n"
    "                     ((--add STORED=FILE | --add-list LIST) ... | --zip ARCHIVE)\n"
    "                     [--refuse-duplicates] [--codepage N] [--sign CERT --key KEY [--key-pass-file FILE]]\n"
    "       mksetup list [--product NAME] [--refuse-duplicates] [--codepage N] SETUP\n"
    "       mksetup verify [--product NAME] [--refuse-duplicates] [--codepage N] SETUP\n"
    "       mksetup count-markers FILE\n"
    "       mksetup --help\n";

const char kHelp[] =
    "\n"
    "A setup file is the setup program (the stub), the eight bytes UUUUUUUU, and a ZIP\n"
    "archive. The setup program picks the product it installs from its own command line,\n"
    "and unpacks every entry under the name behind the entry's last / or \\, all into the\n"
    "one directory the user chooses.\n"
    "\n"
    "build   writes SETUP from STUB and either files or an existing archive.\n"
    "  --product NAME      the product SETUP installs (any case): Quillet, Harnwick, Tolvane,\n"
    "                      Brisquel, Nodrake, Galvery, Urnfold, ZOV, Wendrop, LORIMAX.\n"
    "                      SETUP's file name must select it by the setup program's own rule:\n"
    "                      the name upper-cased, the keywords searched for in the order above,\n"
    "                      the first found wins. SetupTolvane-Quillet.exe selects Quillet;\n"
    "                      Setup.exe selects nothing. Only the file name is checked: it is what\n"
    "                      ships. The setup program reads its folders too, so a user who saves\n"
    "                      it as c:\\Quillet\\SetupGalvery.exe gets Quillet; mksetup warns when\n"
    "                      the output's own folder would change the product.\n"
    "  --add STORED=FILE   stores FILE deflated under the name STORED (such as\n"
    "                      d:/Galvery/RELEASE/Galvery.EXE), in the order given, with its\n"
    "                      modification time as DOS stamp (UTC) and \"UT\" extended timestamp.\n"
    "  --add-list LIST     adds every STORED=FILE line of the file LIST, in order, as --add\n"
    "                      does (FILE found from the current directory, blank lines skipped);\n"
    "                      for more files than a command line takes. --add and --add-list\n"
    "                      may be mixed; the order given counts.\n"
    "                      More than 65535 entries are counted by a ZIP64 end record.\n"
    "  --zip ARCHIVE       uses an existing archive as it is, unless a run of 0x55 bytes in it\n"
    "                      must be broken (below).\n"
    "  --refuse-duplicates refuses two entries that install as the same file; by default\n"
    "                      that is a warning (the later one replaces the earlier).\n"
    "  --codepage N        reads stored names as Windows does in the ANSI code page N (932\n"
    "                      Japanese, 936, 949, 950, 874, 1250 to 1258) instead of 1252, byte\n"
    "                      by byte: the second byte of a double-byte character is then no\n"
    "                      separator nor reserved character. A name with bytes of 0x80 or\n"
    "                      more installs under another name in another code page: mksetup\n"
    "                      warns about each such name.\n"
    "  --sign CERT --key KEY [--key-pass-file FILE]\n"
    "                      signs SETUP (Authenticode, SHA-256) with osslsigncode: the\n"
    "                      certificate CERT and private key KEY, PEM or DER; FILE holds the\n"
    "                      key's password. $MKSETUP_OSSLSIGNCODE names the program, else\n"
    "                      osslsigncode is looked up in PATH. The signing time is\n"
    "                      SOURCE_DATE_EPOCH when set, else now.\n"
    "\n"
    "  build refuses, saying why, and writes nothing, when\n"
    "  - STUB does not hold the marker exactly once, ends in a 0x55 byte, or is signed;\n"
    "  - SETUP's name does not select the product;\n"
    "  - the archive has what the setup program cannot read: more than one volume, entries\n"
    "    of 4 GiB or more, ZIP64 records it would not find or that disagree, an entry count\n"
    "    that disagrees with the central directory, methods other than stored and deflated,\n"
    "    encryption, names of 260 bytes or more, damaged headers or data. A count that\n"
    "    wrapped at 65536 (a writer without ZIP64) is a warning: the setup program installs\n"
    "    every entry, other unzip programs may not;\n"
    "  - SETUP would be 2 GB or larger;\n"
    "  - an entry would install under an empty or unsafe name: a directory entry, a device\n"
    "    name such as NUL, a name with a colon or ending in a dot or space;\n"
    "  - eight 0x55 bytes stand in a row in the archive or the signature: the setup program\n"
    "    would count a third marker and refuse to install. In deflated data or a compressed\n"
    "    size, mksetup deflates the entry again at other levels until the run is gone; in a\n"
    "    stored entry's data, a name, a CRC-32, a time or another fixed field it refuses. A\n"
    "    signature holding one is made again with the signing time one second later.\n"
    "\n"
    "  The same inputs give the same bytes. With SOURCE_DATE_EPOCH set, files modified\n"
    "  after it are stored with that time instead.\n"
    "\n"
    "list    shows the product SETUP's name selects, the markers, the signature and every\n"
    "        entry: the name it installs as, sizes, method, CRC-32, times (UTC) and\n"
    "        attributes as the setup program's reader gives them, and the stored name.\n"
    "verify  lists, reads every entry whole and checks its size and CRC-32.\n"
    "        Both take --product NAME to require that product, and report every defect.\n"
    "count-markers  prints how many markers the setup program counts in FILE.\n"
    "\n"
    "Exit status: 0 on success, 1 when a build is refused or a defect is found, 2 for a\n"
    "wrong command line.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

int Help() {
  std::fputs(kUsage, stdout);
  std::fputs(kHelp, stdout);
  return 0;
}

void Say(const std::string& message) { std::fprintf(stderr, "mksetup: %s\n", message.c_str()); }

bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes) {
  const CCrtFile f(std::fopen(path.c_str(), "rb"));
  if (!f.IsValid()) {
    Say("cannot open " + path + ": " + std::strerror(errno));
    return false;
  }
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.Get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool ok = !std::ferror(f.Get());
  if (!ok) Say("cannot read " + path);
  return ok;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  CCrtFile f(std::fopen(path.c_str(), "wb"));
  if (!f.IsValid()) {
    Say("cannot create " + path + ": " + std::strerror(errno));
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.Get()) == bytes.size();
  // A full disk can show only when the file is closed.
  ok = f.Close() && ok;
  if (!ok) {
    Say("cannot write " + path);
    std::remove(path.c_str());
  }
  return ok;
}

bool ReplaceWith(const std::string& from, const std::string& to) {
#ifdef _WIN32
  const bool ok = MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  const bool ok = std::rename(from.c_str(), to.c_str()) == 0;
#endif
  if (!ok) Say("cannot rename " + from + " to " + to);
  return ok;
}

bool ModificationTime(const std::string& path, int64_t* time) {
#ifdef _WIN32
  struct _stat64 st;
  if (_stat64(path.c_str(), &st) != 0) return false;
#else
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
#endif
  *time = int64_t(st.st_mtime);
  return true;
}

// The output's full path, so that its folders can be searched for keywords too.
std::string FullPath(const std::string& path) {
#ifdef _WIN32
  char full[MAX_PATH + 1];
  return _fullpath(full, path.c_str(), sizeof full) ? std::string(full) : path;
#else
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  char* resolved = realpath(folder.c_str(), nullptr);
  if (!resolved) return path;
  std::string full = std::string(resolved) + "/" + InstallName(path);
  std::free(resolved);
  return full;
#endif
}

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

std::string FileTimeText(const FILETIME& t) {
  if (t.dwLowDateTime == 0 && t.dwHighDateTime == 0) return "-";
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

// Prints findings, warnings first; returns whether any is a defect.
bool Report(const std::vector<Finding>& findings, const std::string& prefix) {
  bool defect = false;
  for (const Finding& f : findings)
    if (!f.defect) Say(prefix + "warning: " + f.message);
  for (const Finding& f : findings) {
    if (!f.defect) continue;
    Say(prefix + f.message);
    defect = true;
  }
  return defect;
}

// minizip takes a value from a ZIP64 extra block only where the 32-bit field equals
// (unsigned long)-1: 0xFFFFFFFF in the setup program, built for Windows, but never on a
// 64-bit Unix, where the reader built here then sees other sizes and offsets.
const bool kReaderTakesZip64Blocks = sizeof(unsigned long) == 4;

// What the setup program's own reader makes of the pack file, held against the bytes.
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
    if (r.result != ArchiveOk) {
      defect(int(i), "cannot read the record of entry " + Quoted(e.name) + " (result 0x" + Hex(r.result, 0) + ")");
      continue;
    }
    if (r.entry.name != e.name || r.entry.compressedSize != e.compressedSize ||
        r.entry.uncompressedSize != e.uncompressedSize)
      defect(int(i), "sees entry " + std::to_string(i) + " as " + Quoted(r.entry.name) + ", " +
                         std::to_string(r.entry.uncompressedSize) + " bytes, where its headers say " + Quoted(e.name) +
                         ", " + std::to_string(e.uncompressedSize) + " bytes");
  }
  if (uncompared)
    findings.push_back({false, -1, Format("the setup program's reader as built here (minizip on a 64-bit Unix) takes "
                                          "nothing from ZIP64 extra blocks, so %zu entries that take their sizes or "
                                          "offset from one were not held against it; the setup program, built for "
                                          "Windows, takes them",
                                          uncompared)});
  return findings;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) {
      if (widths.size() <= c) widths.push_back(0);
      widths[c] = std::max(widths[c], row[c].size());
    }
  for (const auto& row : rows) {
    std::string line = "   ";
    for (size_t c = 0; c < row.size(); ++c)
      line += " " + row[c] + (c + 1 < row.size() ? std::string(widths[c] - row[c].size(), ' ') : "");
    std::printf("%s\n", line.c_str());
  }
}

void PrintSetupFile(const std::string& path, const SetupFileCheck& c, const ReaderView& view, size_t size) {
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
  if (c.archive.entries.empty()) return;

  std::vector<std::vector<std::string>> rows = {{"installs as", "size", "packed", "method", "CRC-32",
                                                 "written (UTC)", "created (UTC)", "accessed (UTC)", "attributes",
                                                 "stored name"}};
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
                    r ? AttributeText(r->attributes) : "-", e.name});
  }
  std::printf("  entries:\n");
  PrintTable(rows);
}

bool TakeProduct(const std::string& name, const ProductProfile** product) {
  *product = ProductNamed(name);
  if (*product) return true;
  std::string known;
  for (const ProductProfile& row : kProductProfiles) known += std::string(known.empty() ? "" : ", ") + row.productName;
  Say("unknown product '" + name + "'; the products are " + known);
  return false;
}

bool TakeCodePage(const std::string& text, unsigned* codePage) {
  char* end = nullptr;
  const unsigned long number = std::strtoul(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0' && number <= 0xFFFF && IsAnsiCodePage(UINT(number))) {
    *codePage = unsigned(number);
    return true;
  }
  Say("--codepage takes an ANSI code page of Windows: 874, 932, 936, 949, 950 or 1250 to 1258, not '" + text + "'");
  return false;
}

int Inspect(int argc, char** argv, bool verify) {
  const ProductProfile* expected = nullptr;
  bool refuseDuplicates = false;
  unsigned codePage = kWesternCodePage;
  std::string path;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return Help();
    if (a == "--product" && i + 1 < argc) {
      if (!TakeProduct(argv[++i], &expected)) return kExitUsage;
    } else if (a == "--codepage" && i + 1 < argc) {
      if (!TakeCodePage(argv[++i], &codePage)) return kExitUsage;
    } else if (a == "--refuse-duplicates") {
      refuseDuplicates = true;
    } else if (!a.empty() && a[0] != '-' && path.empty()) {
      path = a;
    } else {
      return Usage();
    }
  }
  if (path.empty()) return Usage();
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, bytes)) return kExitRefused;
  CheckOptions options;
  options.readData = verify;
  options.refuseDuplicates = refuseDuplicates;
  options.codePage = codePage;
  const SetupFileCheck c = CheckSetupFile(bytes.data(), bytes.size(), path, expected, options);
  ReaderView view;
  std::vector<Finding> readerFindings;
  if (c.archiveStart != kNowhere) {
    view = ReadWithSetupReader(bytes.data() + c.archiveStart, bytes.size() - c.archiveStart);
    readerFindings = CompareWithReader(c.archive, view);
  }
  PrintSetupFile(path, c, view, bytes.size());
  const std::string prefix = InstallName(path) + ": ";
  bool defect = Report(c.findings, prefix);
  defect = Report(c.archive.findings, prefix) || defect;
  defect = Report(readerFindings, prefix) || defect;
  if (defect) return kExitRefused;
  if (verify)
    std::printf("verified: %zu entries read whole, every size and CRC-32 matches; the setup program can install it\n",
                c.archive.entries.size());
  return 0;
}

struct BuildArguments {
  std::string stub, out, zip, certificate, key, passwordFile;
  const ProductProfile* product = nullptr;
  std::vector<std::pair<std::string, std::string>> adds;  // stored name, file
  bool refuseDuplicates = false;
  unsigned codePage = kWesternCodePage;
};

const char kAddExample[] = "d:/Galvery/RELEASE/Galvery.EXE=build/Galvery.EXE";

// The stored name and the file of STORED=FILE; false when the text is not that.
bool SplitAdd(const std::string& text, std::pair<std::string, std::string>* add) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == text.size() || text.find('\0') != std::string::npos)
    return false;
  *add = {text.substr(0, eq), text.substr(eq + 1)};
  return true;
}

// Adds the STORED=FILE lines of an --add-list file, skipping blank ones; false after
// saying why not.
bool ReadAddList(const std::string& path, std::vector<std::pair<std::string, std::string>>& adds) {
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, bytes)) return false;
  const std::string text(bytes.begin(), bytes.end());
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a list written on Windows
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::pair<std::string, std::string> add;
    if (!SplitAdd(line, &add)) {
      Say(path + ":" + std::to_string(number) + ": " + Quoted(line) + " is not STORED=FILE, such as " + kAddExample);
      return false;
    }
    adds.push_back(std::move(add));
  }
  return true;
}

// True when the build goes on; otherwise `exitStatus` says how mksetup ends.
bool ParseBuild(int argc, char** argv, BuildArguments& a, int* exitStatus) {
  *exitStatus = kExitUsage;
  bool help = false, lists = false;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      help = true;
      continue;
    }
    if (option == "--refuse-duplicates") {
      a.refuseDuplicates = true;
      continue;
    }
    if (i + 1 >= argc) {
      Usage();
      return false;
    }
    const std::string value = argv[++i];
    if (option == "--stub") a.stub = value;
    else if (option == "--out") a.out = value;
    else if (option == "--zip") a.zip = value;
    else if (option == "--sign") a.certificate = value;
    else if (option == "--key") a.key = value;
    else if (option == "--key-pass-file") a.passwordFile = value;
    else if (option == "--codepage") {
      if (!TakeCodePage(value, &a.codePage)) return false;
    } else if (option == "--product") {
      if (!TakeProduct(value, &a.product)) return false;
    } else if (option == "--add") {
      std::pair<std::string, std::string> add;
      if (!SplitAdd(value, &add)) {
        Say(std::string("--add takes STORED=FILE, such as ") + kAddExample);
        return false;
      }
      a.adds.push_back(std::move(add));
    } else if (option == "--add-list") {
      lists = true;
      if (!ReadAddList(value, a.adds)) {
        *exitStatus = kExitRefused;
        return false;
      }
    } else {
      Usage();
      return false;
    }
  }
  if (help) {
    *exitStatus = Help();
    return false;
  }
  if (lists && a.adds.empty() && a.zip.empty()) {
    Say("the --add-list files name no file to add");
    *exitStatus = kExitRefused;
    return false;
  }
  if (a.stub.empty() || a.out.empty() || !a.product || a.zip.empty() == a.adds.empty()) {
    Usage();
    return false;
  }
  if (a.certificate.empty() != a.key.empty() || (!a.passwordFile.empty() && a.key.empty())) {
    Say("--sign and --key go together");
    return false;
  }
  return true;
}

// The archive from the --add files, or from --zip; false after saying why not.
bool MakeArchive(const BuildArguments& a, const std::optional<int64_t>& sourceDateEpoch,
                 std::vector<uint8_t>* archive) {
  std::vector<std::string> problems, notes;
  bool made = false;
  if (!a.adds.empty()) {
    std::vector<Member> members;
    for (const auto& add : a.adds) {
      std::vector<uint8_t> data;
      int64_t modified = 0;
      if (!ReadWhole(add.second, data)) return false;
      if (!ModificationTime(add.second, &modified)) {
        Say("cannot read the modification time of " + add.second);
        return false;
      }
      Member m;
      std::string error;
      if (!MemberFromFile(add.first, std::move(data), StoredTime(modified, sourceDateEpoch), kCompressions, &m,
                          &error)) {
        Say(add.second + ": " + error);
        return false;
      }
      members.push_back(std::move(m));
    }
    made = WriteArchiveAvoidingMarkers(members, std::string(), kCompressions, archive, &problems, &notes);
  } else {
    if (!ReadWhole(a.zip, *archive)) return false;
    CheckOptions options;
    options.refuseDuplicates = a.refuseDuplicates;
    options.codePage = a.codePage;
    const ArchiveCheck check = CheckArchive(archive->data(), archive->size(), options);
    bool refused = false;
    for (const Finding& f : check.findings) {
      if (!f.defect || f.markerRun) continue;
      Say(a.zip + ": " + f.message);
      refused = true;
    }
    if (refused) return false;
    if (check.runs.empty()) return true;  // shipped exactly as given
    std::vector<Member> members = MembersFromArchive(archive->data(), archive->size(), check);
    made = WriteArchiveAvoidingMarkers(members, check.comment, kCompressions, archive, &problems, &notes);
  }
  for (const std::string& note : notes) Say(note);
  for (const std::string& problem : problems) Say(problem);
  return made;
}

// Checks the whole setup file as the setup program will meet it; false after saying why.
bool CheckOutput(const std::vector<uint8_t>& file, const BuildArguments& a, bool signedFile, size_t* entries) {
  CheckOptions options;
  options.refuseDuplicates = a.refuseDuplicates;
  options.codePage = a.codePage;
  const SetupFileCheck c = CheckSetupFile(file.data(), file.size(), a.out, a.product, options);
  std::vector<Finding> findings = c.findings;
  findings.insert(findings.end(), c.archive.findings.begin(), c.archive.findings.end());
  if (c.archiveStart != kNowhere) {
    const ReaderView view = ReadWithSetupReader(file.data() + c.archiveStart, file.size() - c.archiveStart);
    const std::vector<Finding> reader = CompareWithReader(c.archive, view);
    findings.insert(findings.end(), reader.begin(), reader.end());
  }
  *entries = c.archive.entries.size();
  if (signedFile && c.certificateOffset == kNowhere)
    findings.push_back({true, -1, "the signed file has no certificate table"});
  // Warnings were shown for the unsigned file already.
  if (signedFile) {
    std::vector<Finding> defects;
    for (const Finding& f : findings)
      if (f.defect) defects.push_back(f);
    findings = defects;
  }
  return !Report(findings, InstallName(a.out) + ": ");
}

int Build(int argc, char** argv) {
  BuildArguments a;
  int exitStatus = 0;
  if (!ParseBuild(argc, argv, a, &exitStatus)) return exitStatus;

  const std::string outName = InstallName(a.out);
  const std::string nameProblem = UnsafeNameReason(outName);
  if (!nameProblem.empty()) {
    Say("the setup file's name '" + outName + "' cannot be used: " + nameProblem);
    return kExitRefused;
  }
  const ProductProfile* selected = ProductSelectedBy(outName);
  if (selected != a.product) {
    Say(selected ? "the name '" + outName + "' selects " + selected->productName + ", not " + a.product->productName +
                       ": the setup program finds " + selected->keyword + " first"
                 : "the name '" + outName + "' selects no product: the setup program would refuse to run; put " +
                       a.product->keyword + " into it, as in Setup" + a.product->productName + ".exe");
    return kExitRefused;
  }
  const std::string full = FullPath(a.out);
  const ProductProfile* fromHere = ProductSelectedBy(full);
  if (fromHere != a.product)
    Say(std::string("warning: started from ") + full + " the setup file would install " + fromHere->productName +
        ": the setup program searches its folders too; users who keep the file's name get " + a.product->productName);

  std::optional<int64_t> sourceDateEpoch;
  if (!ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), &sourceDateEpoch)) {
    Say(std::string("SOURCE_DATE_EPOCH is '") + std::getenv("SOURCE_DATE_EPOCH") + "', not a number of seconds");
    return kExitRefused;
  }
  SignOptions signing;
  if (!a.certificate.empty()) {
    signing.program = FindSigningProgram();
    if (signing.program.empty()) {
      Say("--sign needs osslsigncode, which is not installed (Debian: apt-get install osslsigncode); "
          "or sign the setup file afterwards");
      return kExitRefused;
    }
    signing.certificate = a.certificate;
    signing.key = a.key;
    signing.passwordFile = a.passwordFile;
    signing.description = a.product->windowTitle;
    signing.time = sourceDateEpoch ? *sourceDateEpoch : int64_t(std::time(nullptr));
  }

  std::vector<uint8_t> stub;
  if (!ReadWhole(a.stub, stub)) return kExitRefused;
  const size_t inStub = FindMarkerOccurrences(stub.data(), stub.size()).size();
  if (inStub != 1) {
    Say(a.stub + " holds the marker " + std::to_string(inStub) + " times, not once: not a setup program stub");
    return kExitRefused;
  }
  // The setup program would find the marker one byte early and hand it to the archive.
  if (!stub.empty() && stub.back() == uint8_t(PayloadMarker[0])) {
    Say(a.stub + " ends in a 0x55 byte, which the setup program would take for the start of the marker");
    return kExitRefused;
  }

  size_t certificate = 0, certificateSize = 0;
  if (FindCertificateTable(stub.data(), stub.size(), &certificate, &certificateSize)) {
    Say(a.stub + " is signed, and its signature would not cover the archive: use the unsigned stub, and --sign");
    return kExitRefused;
  }

  std::vector<uint8_t> archive;
  if (!MakeArchive(a, sourceDateEpoch, &archive)) {
    Say("nothing written");
    return kExitRefused;
  }
  std::vector<uint8_t> file = stub;
  file.insert(file.end(), PayloadMarker, PayloadMarker + std::strlen(PayloadMarker));
  file.insert(file.end(), archive.begin(), archive.end());
  size_t entries = 0;
  if (!CheckOutput(file, a, false, &entries)) {
    Say("nothing written");
    return kExitRefused;
  }

  const std::string partial = a.out + ".mksetup-partial";
  if (!WriteWhole(partial, file)) return kExitRefused;
  std::string ready = partial;
  if (!signing.program.empty()) {
    const std::string signedPartial = a.out + ".mksetup-signed";
    bool done = false;
    // The signature changes with the signing time; a later second gives another one.
    for (int attempt = 0; attempt < 3 && !done; ++attempt, ++signing.time) {
      std::string error;
      std::remove(signedPartial.c_str());
      if (!SignFile(signing, partial, signedPartial, &error)) {
        Say(error);
        break;
      }
      if (!ReadWhole(signedPartial, file)) break;
      done = CheckOutput(file, a, true, &entries);
      if (!done && attempt + 1 < 3) Say("signing again with the signing time one second later");
    }
    std::remove(partial.c_str());
    if (!done) {
      std::remove(signedPartial.c_str());
      Say("nothing written");
      return kExitRefused;
    }
    ready = signedPartial;
  }
  if (!ReplaceWith(ready, a.out)) {
    std::remove(ready.c_str());
    return kExitRefused;
  }
  std::printf("%s: %s, %zu %s; %zu bytes of stub, the marker, %zu bytes of archive%s; %zu bytes\n",
              a.out.c_str(), a.product->productName, entries, entries == 1 ? "entry" : "entries", stub.size(),
              archive.size(),
              signing.program.empty() ? "" : ", signed", file.size());
  return 0;
}

int CountMarkers(int argc, char** argv) {
  if (argc != 3) return Usage();
  std::vector<uint8_t> bytes;
  if (!ReadWhole(argv[2], bytes)) return kExitRefused;
  std::printf("%zu\n", FindMarkerOccurrences(bytes.data(), bytes.size()).size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command == "build") return Build(argc, argv);
  if (command == "list") return Inspect(argc, argv, false);
  if (command == "verify") return Inspect(argc, argv, true);
  if (command == "count-markers") return CountMarkers(argc, argv);
  if (command == "--help" || command == "-h" || command == "help") return Help();
  return Usage();
}
