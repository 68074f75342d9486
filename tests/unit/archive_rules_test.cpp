// The packager's checks of archives: what the setup program cannot read, names that
// install as nothing or unsafely, duplicates, signatures behind the archive, and damage
// the check must catch before the setup program's reader meets it.
#include "tests/unit/mksetup_test_support.h"
#include "archive/entry_names.h"
#include "tests/unit/test_support.h"
#include "tools/pack_reader.h"

#include <functional>

using namespace testing_support;
using namespace mksetup;

namespace {

TEST(MksetupCheck, AcceptsWhatTheSetupProgramReads) {
  const std::string zip = Galvery().Build();
  const ArchiveCheck c = Check(zip);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(2u, c.entries.size());
  EXPECT_EQ("Galvery.EXE", c.entries[0].baseName);
  EXPECT_EQ("Galvery.HLP", c.entries[1].baseName);
  EXPECT_TRUE(c.entries[0].hasModTime);
  EXPECT_EQ(kModified, c.entries[0].modTime);
  EXPECT_FALSE(c.entries[1].hasModTime);
  EXPECT_EQ(zip.size(), c.archiveEnd);
  EXPECT_EQ(EndRecord(zip), c.endRecord);
  // The data found is the data stored: the stored entry's bytes read back as they are.
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(ReadEntryData(Bytes(zip), zip.size(), c.entries[1], &data, &error)) << error;
  EXPECT_EQ("help text\r\n", Text(data));
  ASSERT_TRUE(ReadEntryData(Bytes(zip), zip.size(), c.entries[0], &data, &error)) << error;
  EXPECT_EQ(std::string(5000, 'x') + "MZ program", Text(data));
}

TEST(MksetupCheck, RefusesWhatTheSetupProgramCannotRead) {
  struct Case {
    const char* what;
    std::function<void(ZipBuilder&)> change;     // on the builder
    std::function<void(std::string&)> patch;     // on the archive's bytes
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"encrypted", [](ZipBuilder& z) { z.entries[0].flags = 1; }, nullptr, "is encrypted"},
      {"bzip2", [](ZipBuilder& z) { z.entries[1].method = z.entries[1].localMethod = 12; }, nullptr,
       "method 12 (bzip2)"},
      {"LZMA", [](ZipBuilder& z) { z.entries[0].method = z.entries[0].localMethod = 14; }, nullptr, "method 14"},
      {"second volume", nullptr, [](std::string& s) { Put16At(s, EndRecord(s) + 4, 1); }, "more than one volume"},
      {"entries on other disks", nullptr, [](std::string& s) { Put16At(s, EndRecord(s) + 8, 1); },
       "more than one volume"},
      {"entry on disk 2", nullptr, [](std::string& s) { Put16At(s, CentralDirectory(s) + 34, 2); }, "starts on disk 2"},
      // ZIP64 the setup program's reader cannot take.
      {"ZIP64 sizes without a ZIP64 block",
       [](ZipBuilder& z) {
         z.entries[1].compressedSize = z.entries[1].uncompressedSize = 0xFFFFFFFF;
         ZipBuilder::SyncLocal(z.entries[1]);
       },
       nullptr, "no ZIP64 extra block supplies the real value"},
      {"ZIP64 block too short",
       [](ZipBuilder& z) {
         z.entries[1].compressedSize = z.entries[1].uncompressedSize = 0xFFFFFFFF;
         z.entries[1].centralExtra = Zip64Block({11});
       },
       nullptr, "ZIP64 extra block is too short for the compressed size"},
      {"entry of 4 GiB",
       [](ZipBuilder& z) {
         z.entries[1].uncompressedSize = z.entries[1].localUncompressedSize = 0xFFFFFFFF;
         z.entries[1].centralExtra = Zip64Block({uint64_t(1) << 32});
       },
       nullptr, "is 4294967296 bytes, 11 stored: the setup program's reader takes sizes below 4 GiB"},
      {"ZIP64 offset past the end",
       [](ZipBuilder& z) {
         z.entries[1].headerOffsetField = 0xFFFFFFFF;
         z.entries[1].centralExtra = Zip64Block({uint64_t(1) << 32});
       },
       nullptr, "its local header at offset 4294967296 lies outside the archive"},
      {"end record leaves its offset to ZIP64, no locator", nullptr,
       [](std::string& s) { Put32At(s, EndRecord(s) + 16, 0xFFFFFFFF); },
       "leaves its central directory offset to a ZIP64 end record (0xFFFF, 0xFFFFFFFF), but there is no ZIP64 end "
       "record locator"},
      // minizip reads no ZIP64 end record through these 20 zero bytes (they count no
      // disk), and the end record puts the directory 20 bytes too early.
      {"zero ZIP64 locator before the end record", nullptr,
       [](std::string& s) { s.insert(EndRecord(s), std::string("PK\x06\x07", 4) + std::string(16, '\0')); },
       "minizip would count 20 bytes before it"},
      {"ZIP64 locator points nowhere", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) { Put64At(s, LocatorAt(s) + 8, 12345); },
       "leaves its entry counts to a ZIP64 end record (0xFFFF, 0xFFFFFFFF), but the ZIP64 end record locator at "
       "offset"},
      {"ZIP64 locator names disk 1", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) { Put32At(s, LocatorAt(s) + 4, 1); }, "names disk 1"},
      {"ZIP64 locator counts 2 disks", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) { Put32At(s, LocatorAt(s) + 16, 2); }, "counts 2 disks, not 1"},
      {"ZIP64 end record cut short", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) {
         Put64At(s, LocatorAt(s) + 8, s.size());
         s += std::string("PK\x06\x06", 4) + std::string(20, '\0');
       },
       "is cut short: the setup program's reader would find no archive"},
      {"ZIP64 end record on disk 1", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) { Put32At(s, Zip64RecordAt(s) + 16, 1); },
       "the ZIP64 end record says the archive spans more than one volume (this is disk 1"},
      {"ZIP64 counts differ", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) { Put64At(s, Zip64RecordAt(s) + 24, 1); }, "1 of 2 entries are here"},
      {"ZIP64 count disagrees with the records", [](ZipBuilder& z) { z.zip64 = true; },
       [](std::string& s) {
         Put64At(s, Zip64RecordAt(s) + 24, 3);
         Put64At(s, Zip64RecordAt(s) + 32, 3);
       },
       "the ZIP64 end record counts 3 entries, but its central directory holds 2 records"},
      // Without ZIP64, only a count wrapped at 65536 is read past.
      {"3 counted, 5 there",
       [](ZipBuilder& z) {
         for (const char* name : {"a.txt", "b.txt", "c.txt"}) z.AddStored(name, name);
         z.countOverride = 3;
       },
       nullptr,
       "the end record counts 3 entries, but its central directory holds 5 records: the setup program's reader "
       "would refuse the archive (\"Error in unZIPping\")"},
      {"5 counted, 2 there", [](ZipBuilder& z) { z.countOverride = 5; }, nullptr,
       "counts 5 entries, but its central directory holds 2 records"},
      {"name of 260 bytes", [](ZipBuilder& z) { z.AddStored(std::string(256, 'n') + ".txt", "x"); }, nullptr,
       "name of 260 bytes"},
      {"method differs locally", [](ZipBuilder& z) { z.entries[1].localMethod = 8; }, nullptr,
       "its local header names method 8"},
      {"CRC-32 differs locally", [](ZipBuilder& z) { z.entries[1].localCrc ^= 1; }, nullptr,
       "CRC-32 or sizes differ"},
      {"name differs locally", [](ZipBuilder& z) { z.entries[1].localName = "d:/Galvery/HLP/Galvery.HLQ"; }, nullptr,
       "its local header names it"},
      {"no local header", [](ZipBuilder& z) { z.entries[1].localSignature = 0x04034B51; }, nullptr,
       "there is no local header"},
      {"damaged data", [](ZipBuilder& z) { z.entries[1].payload[3] ^= 0x20; }, nullptr, "has the CRC-32"},
      {"deflated data cut short",
       [](ZipBuilder& z) {
         z.entries[0].payload.resize(z.entries[0].payload.size() - 4);
         z.entries[0].compressedSize = z.entries[0].localCompressedSize = uint32_t(z.entries[0].payload.size());
       },
       nullptr, "ends before the stream does"},
      {"stored sizes differ",
       [](ZipBuilder& z) {
         z.entries[1].uncompressedSize = 99;
         ZipBuilder::SyncLocal(z.entries[1]);
       },
       nullptr, "sizes differ"},
      {"extra block overruns", [](ZipBuilder& z) { z.entries[1].localExtra = ExtraBlock("xy", "abc").substr(0, 6); },
       nullptr, "claims more bytes"},
      {"bytes behind", nullptr, [](std::string& s) { s += "trailing"; }, "8 bytes follow the archive's end record"},
      {"data before the archive", [](ZipBuilder& z) { z.prefix = "junk"; }, nullptr,
       "does not begin at the first byte"},
      {"no entries", [](ZipBuilder& z) { z.entries.clear(); }, nullptr, "no entries"},
      {"end record out of reach", nullptr, [](std::string& s) { s += std::string(70000, '\0'); },
       "looks only 65535 bytes back"},
      {"not an archive", nullptr, [](std::string& s) { s = "just text, no end record"; }, "not a ZIP archive"},
      {"central directory too big", nullptr, [](std::string& s) { Put32At(s, EndRecord(s) + 12, 0x7000); },
       "does not fit before the end record"},
  };
  for (const Case& c : cases) {
    ZipBuilder zip = Galvery();
    if (c.change) c.change(zip);
    std::string bytes = zip.Build();
    if (c.patch) c.patch(bytes);
    const ArchiveCheck check = Check(bytes);
    EXPECT_FALSE(Findings(check.findings, c.expected).empty())
        << c.what << ": expected a defect with \"" << c.expected << "\", got:\n"
        << AllMessages(check.findings);
  }
  // The longest name the reader takes passes.
  ZipBuilder longest = Galvery();
  longest.AddStored(std::string(255, 'n') + ".txt", "x");
  EXPECT_EQ("", AllMessages(Check(longest.Build()).findings));
}

TEST(MksetupCheck, TakesSizesAndOffsetsFromZip64Blocks) {
  // Entry 1 is deflated: its size, compressed size and offset all differ.
  const std::string help = "help text, help text, help text, help text\r\n";
  auto galvery = [&] {
    ZipBuilder zip = Galvery();
    zip.entries.pop_back();
    zip.AddDeflated("d:/Galvery/HLP/Galvery.HLP", help);
    return zip;
  };
  const EntryInfo plain = Check(galvery().Build()).entries.at(1);
  const uint64_t size = plain.uncompressedSize, packed = plain.compressedSize, offset = plain.headerOffset;
  ASSERT_NE(size, packed);
  const uint32_t kLeft = 0xFFFFFFFF;
  struct Case {
    const char* what;
    std::function<void(ZipEntry&)> change;
    const char* warning;  // expected, or null for none
  };
  const std::vector<Case> cases = {
      {"the size", [&](ZipEntry& e) { e.uncompressedSize = kLeft, e.centralExtra = Zip64Block({size}); }, nullptr},
      {"the compressed size", [&](ZipEntry& e) { e.compressedSize = kLeft, e.centralExtra = Zip64Block({packed}); },
       nullptr},
      {"sizes and offset, in that order",
       [&](ZipEntry& e) {
         e.uncompressedSize = e.compressedSize = kLeft;
         e.headerOffsetField = kLeft;
         e.centralExtra = Zip64Block({size, packed, offset});
       },
       nullptr},
      {"as zip -fz writes it: the local sizes left to a local block too",
       [&](ZipEntry& e) {
         e.uncompressedSize = e.localUncompressedSize = e.localCompressedSize = kLeft;
         e.centralExtra = Zip64Block({size});
         e.localExtra = Zip64Block({size, packed});
       },
       nullptr},
      // minizip reads the one field wanted and takes the next header from the spare bytes.
      {"spare bytes, then a UT block",
       [&](ZipEntry& e) {
         e.uncompressedSize = kLeft;
         e.centralExtra = Zip64Block({size, 0}) + UtBlock(1, {kModified});
       },
       nullptr},
      {"nothing to supply", [](ZipEntry& e) { e.centralExtra = Zip64Block({0, 0}); }, nullptr},
      // minizip compares no local size of 0xFFFFFFFF; other unzip programs take it from the local block.
      {"local sizes left to no block",
       [](ZipEntry& e) { e.localUncompressedSize = e.localCompressedSize = kLeft; },
       "its local header gives its sizes as 0xFFFFFFFF and has no ZIP64 extra block to supply them"},
      {"a local block with other sizes",
       [&](ZipEntry& e) {
         e.localUncompressedSize = e.localCompressedSize = kLeft;
         e.localExtra = Zip64Block({packed, size});
       },
       "its ZIP64 extra block gives other sizes than its central record"},
  };
  for (const Case& c : cases) {
    ZipBuilder zip = galvery();
    c.change(zip.entries[1]);
    const std::string bytes = zip.Build();
    const ArchiveCheck check = Check(bytes);
    EXPECT_FALSE(check.HasDefects()) << c.what << ":\n" << AllMessages(check.findings);
    EXPECT_EQ(c.warning ? 1u : 0u, check.findings.size()) << c.what << ":\n" << AllMessages(check.findings);
    if (c.warning) {
      EXPECT_EQ(1u, Findings(check.findings, c.warning, false).size()) << c.what;
    }
    const EntryInfo& e = check.entries.at(1);
    EXPECT_EQ(size, e.uncompressedSize) << c.what;
    EXPECT_EQ(packed, e.compressedSize) << c.what;
    EXPECT_EQ(offset, e.headerOffset) << c.what;
    std::vector<uint8_t> data;
    std::string error;
    EXPECT_TRUE(ReadEntryData(Bytes(bytes), bytes.size(), e, &data, &error)) << c.what << ": " << error;
    EXPECT_EQ(help, Text(data)) << c.what;
  }
}

TEST(MksetupCheck, ReadsMoreThan65535EntriesByZip64OrByAWrappedCount) {
  ZipBuilder many = ManyEntries(65536);
  many.zip64 = true;
  const std::string zip64 = many.Build();
  const ArchiveCheck c = Check(zip64);
  EXPECT_EQ("", AllMessages(c.findings));
  EXPECT_EQ(65536u, c.entries.size());
  EXPECT_EQ(Zip64RecordAt(zip64), c.zip64EndRecord);
  // The setup program's reader counts them all from the ZIP64 end record, the end record saying 0xFFFF.
  const ReaderView view = ReadWithSetupReader(Bytes(zip64), zip64.size());
  ASSERT_TRUE(view.opened);
  EXPECT_EQ(65536, view.count);
  ASSERT_EQ(65536u, view.records.size());
  size_t unread = 0;
  for (const ReaderRecord& r : view.records) unread += r.result != ArchiveOk;
  EXPECT_EQ(0u, unread);
  EXPECT_STREQ("f65535.txt", view.records.back().entry.name);

  // The same entries from a writer without ZIP64: the end record counts 65536 modulo
  // 65536. Each verdict is held against the setup program's reader.
  const std::string plain = zip64.substr(0, Zip64RecordAt(zip64)) + zip64.substr(EndRecord(zip64));
  auto counting = [&](uint32_t n, const std::string& comment = "") {
    std::string s = plain;
    Put16At(s, EndRecord(s) + 8, n);
    Put16At(s, EndRecord(s) + 10, n);
    Put16At(s, EndRecord(s) + 20, uint32_t(comment.size()));
    return s + comment;
  };
  CheckOptions noData;
  noData.readData = false;
  const std::string wrapped = counting(0);
  const ArchiveCheck w = Check(wrapped, noData);
  EXPECT_FALSE(w.HasDefects()) << AllMessages(w.findings);
  EXPECT_EQ(1u, Findings(w.findings, "counts 0 entries, its central directory holds 65536 records: a count that "
                                     "wrapped at 65536", false).size())
      << AllMessages(w.findings);
  EXPECT_EQ(65536u, w.entries.size());
  const ReaderView all = ReadWithSetupReader(Bytes(wrapped), wrapped.size());
  EXPECT_EQ(65536, all.count);
  ASSERT_EQ(65536u, all.records.size());
  EXPECT_EQ(ArchiveOk, all.records.back().result);
  EXPECT_STREQ("f65535.txt", all.records.back().entry.name);

  // 0xFFFF without ZIP64 is a count like any other, and this one is no wrapped count.
  const std::string off = counting(0xFFFF);
  EXPECT_EQ(1u, Findings(Check(off, noData).findings,
                         "counts 65535 entries, but its central directory holds 65536 records: the setup program's "
                         "reader would refuse the archive")
                    .size());
  EXPECT_FALSE(ReadWithSetupReader(Bytes(off), off.size()).opened);

  // A ZIP64 locator signature in reach that leads to no ZIP64 end record, here in the
  // comment, changes nothing: minizip reads the end record, and the reader walks.
  const std::string stray = counting(0, std::string("PK\x06\x07", 4) + std::string(16, '\0'));
  EXPECT_EQ(1u, Findings(Check(stray, noData).findings, "a count that wrapped at 65536", false).size());
  EXPECT_EQ(65536, ReadWithSetupReader(Bytes(stray), stray.size()).count);
}

TEST(MksetupCheck, RefusesNamesThatInstallAsNothingOrUnsafely) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"d:/x/CON", "device name CON"},
      {"nul.txt", "device name NUL"},
      {"bin/com1.log", "device name COM1"},
      {"LPT9", "device name LPT9"},
      {"conout$", "device name CONOUT$"},
      {"a:b.txt", "colon"},
      {"readme.", "ends in a dot"},
      {"readme ", "ends in a dot or a space"},
      {"x/..", "install directory or its parent"},
      {"tab\there", "control character 0x09"},
      {"a|b", "'|'"},
      {"what?", "'?'"},
      {"folder/", "is a directory entry (its name ends in a separator)"},
      {"folder\\", "is a directory entry (its name ends in a separator)"},
  };
  for (const auto& name : refused) {
    ZipBuilder zip = Galvery();
    zip.AddStored(name.first, "data");
    const ArchiveCheck c = Check(zip.Build());
    EXPECT_EQ(1u, Findings(c.findings, name.second).size()) << name.first << ":\n" << AllMessages(c.findings);
  }
  ZipBuilder directory = Galvery();
  directory.AddDirectory("docs/");
  EXPECT_EQ(1u, Findings(Check(directory.Build()).findings, "is a directory entry").size());

  for (const char* fine : {"Tolvane.EXE", "readme", ".profile", "COM10.txt", "console.txt", "a b.txt", "d:/x/y\\z.dll"}) {
    ZipBuilder zip = Galvery();
    zip.AddStored(fine, "data");
    EXPECT_EQ("", AllMessages(Check(zip.Build()).findings)) << fine;
  }
}

TEST(MksetupCheck, NamesWithHighBytesWarnAndAreReadInTheCodePageGiven) {
  // ソフト\表.txt and レポート.txt in Shift-JIS: 表 is 95 5C, ポ 83 7C.
  ZipBuilder zip = Galvery();
  zip.AddStored("d:/\x83\x5C\x83\x74\x83\x67/\x95\x5C.txt", "table");
  zip.AddStored("\x83\x8C\x83\x7C\x81\x5B\x83\x67.txt", "report");
  const std::string bytes = zip.Build();

  // Read as the Western code page does, the first installs as ".txt" and the second
  // holds a bar: refused.
  const ArchiveCheck western = Check(bytes);
  EXPECT_EQ(".txt", western.entries[2].baseName);
  EXPECT_EQ(2u, Findings(western.findings, "bytes of 0x80 or more", false).size()) << AllMessages(western.findings);
  EXPECT_EQ(1u, Findings(western.findings, "in the Western code page 1252 it installs as '.txt'", false).size());
  EXPECT_EQ(1u, Findings(western.findings, "holds '|'").size());

  CheckOptions japanese;
  japanese.codePage = 932;
  const ArchiveCheck c = Check(bytes, japanese);
  EXPECT_FALSE(c.HasDefects()) << AllMessages(c.findings);
  EXPECT_EQ("表.txt", c.entries[2].baseName);
  EXPECT_EQ("レポート.txt", c.entries[3].baseName);
  EXPECT_EQ(2u, Findings(c.findings, "in code page 932 it installs as", false).size());
  // A broken character is refused in that code page.
  ZipBuilder broken = Galvery();
  broken.AddStored("readme\x83", "x");
  EXPECT_EQ(1u, Findings(Check(broken.Build(), japanese).findings, "starts no whole character of code page 932").size());
}

// An Info-ZIP Unicode Path field (ID 0x7075) for `stored`: a version, the CRC-32 of
// the stored name, the name in UTF-8.
std::string UnicodePath(const std::string& stored, const std::string& utf8, uint8_t version = 1) {
  std::string data(1, char(version));
  const uint32_t crc = Crc32(stored);
  for (int k = 0; k < 4; ++k) data += char(crc >> (8 * k));
  return ExtraBlock("up", data + utf8);
}

TEST(MksetupCheck, ReadsEveryNameAsTheSetupProgramDecodesIt) {
  const std::string greek = "d:/\xCF\xE4\xE7\xE3\xFC\xF2.txt";  // d:/Οδηγός.txt in code page 1253
  struct Case {
    const char* what;
    std::string name;
    uint16_t flags;
    std::string centralExtra, localExtra;
    NameEncoding encoding;
    std::string installs;  // read in code page 1252, or in 437 for a DOS-like host
    bool dependsOnCodePage;
    uint16_t versionMadeBy = 0x031E;  // Unix
  };
  const std::vector<Case> cases = {
      {"UTF-8 flag", "d:/Ελλάδα/Οδηγός.txt", 0x800, "", "", NameEncoding::kUtf8Flag, "Οδηγός.txt", false},
      {"the same bytes unflagged", "d:/Ελλάδα/Οδηγός.txt", 0, "", "", NameEncoding::kCodePage, "ÎŸÎ´Î·Î³ÏŒÏ‚.txt", true},
      {"Unicode Path field", greek, 0, UnicodePath(greek, "d:/Οδηγός.txt"), "", NameEncoding::kUnicodePathField,
       "Οδηγός.txt", false},
      {"a field written for another name", greek, 0, UnicodePath("d:/other.txt", "d:/Οδηγός.txt"), "",
       NameEncoding::kCodePage, "Ïäçãüò.txt", true},
      {"a field of version 2", greek, 0, UnicodePath(greek, "d:/Οδηγός.txt", 2), "", NameEncoding::kCodePage,
       "Ïäçãüò.txt", true},
      {"a field in the local header only", greek, 0, "", UnicodePath(greek, "d:/Οδηγός.txt"),
       NameEncoding::kCodePage, "Ïäçãüò.txt", true},
      {"the flag over a field", "d:/Ελλάδα.txt", 0x800, UnicodePath("d:/Ελλάδα.txt", "d:/other.txt"), "",
       NameEncoding::kUtf8Flag, "Ελλάδα.txt", false},
      // As 7-Zip, Explorer and Info-ZIP zip on Windows store a name their OEM code page holds.
      {"a DOS host's OEM bytes", "d:/\x99lf\x84sser.txt", 0, "", "", NameEncoding::kOemCodePage, "Ölfässer.txt", true,
       0x0014},
      {"an NTFS host's OEM bytes", "R\x82sum\x82.txt", 0, "", "", NameEncoding::kOemCodePage, "Résumé.txt", true,
       0x0A3F},
      {"a DOS host's flagged name", "d:/Größe.txt", 0x800, "", "", NameEncoding::kUtf8Flag, "Größe.txt", false, 0x0014},
      {"a DOS host's Unicode Path field", greek, 0, UnicodePath(greek, "d:/Οδηγός.txt"), "",
       NameEncoding::kUnicodePathField, "Οδηγός.txt", false, 0x0014},
      {"a Unix host's ANSI bytes", "d:/Gr\xF6\xDF" "e.txt", 0, "", "", NameEncoding::kCodePage, "Größe.txt", true},
  };
  for (const Case& k : cases) {
    ZipBuilder zip = Galvery();
    ZipEntry& e = zip.AddStored(k.name, "guide");
    e.flags = k.flags;
    e.centralExtra = k.centralExtra;
    e.localExtra = k.localExtra;
    e.versionMadeBy = k.versionMadeBy;
    const ArchiveCheck c = Check(zip.Build());
    ASSERT_EQ(3u, c.entries.size()) << k.what;
    EXPECT_EQ(k.encoding, c.entries[2].nameEncoding) << k.what;
    EXPECT_EQ(k.installs, c.entries[2].baseName) << k.what;
    EXPECT_FALSE(c.HasDefects()) << k.what << ":\n" << AllMessages(c.findings);
    // The setup program's own reader reads it so too, and would install it as said.
    const std::string pack = zip.Build();
    const ReaderView view = ReadWithSetupReader(Bytes(pack), pack.size());
    ASSERT_EQ(3u, view.records.size()) << k.what;
    EXPECT_EQ(ArchiveOk, view.records[2].result) << k.what;
    EXPECT_EQ(int(k.encoding), int(view.records[2].entry.nameEncoding)) << k.what;
    EXPECT_EQ("", AllMessages(CompareWithReader(c, view))) << k.what;
    const std::wstring read = view.records[2].entry.wideName;
    EXPECT_EQ(k.installs, Utf8(read.substr(FinalComponentOffset(read)))) << k.what;
    // The warning only for a name whose meaning depends on the user's code page.
    EXPECT_EQ(k.dependsOnCodePage ? 1u : 0u, Findings(c.findings, "bytes of 0x80 or more", false).size())
        << k.what << ":\n" << AllMessages(c.findings);
    // Where the field does not count, the users' code page decides.
    if (!k.dependsOnCodePage || k.name != greek) continue;
    CheckOptions greekUsers;
    greekUsers.codePage = 1253;
    EXPECT_EQ("Οδηγός.txt", Check(zip.Build(), greekUsers).entries[2].baseName) << k.what;
  }

  // Meant as UTF-8 and not UTF-8: the setup program installs nothing of the entry.
  ZipBuilder flagged = Galvery();
  flagged.AddStored("d:/bad\xFF.txt", "x").flags = 0x800;
  ZipBuilder field = Galvery();
  field.AddStored("d:/bad.txt", "x").centralExtra = UnicodePath("d:/bad.txt", "d:/bad\xC0\xAF.txt");
  for (const ZipBuilder* zip : {&flagged, &field}) {
    const ArchiveCheck c = Check(zip->Build());
    const std::string pack = zip->Build();
    const ReaderView view = ReadWithSetupReader(Bytes(pack), pack.size());
    ASSERT_EQ(3u, view.records.size());
    EXPECT_EQ(ArchiveErrNameEncoding, view.records[2].result);
    EXPECT_EQ("", AllMessages(CompareWithReader(c, view)));
    EXPECT_EQ(1u, Findings(c.findings, "").size()) << AllMessages(c.findings);
    EXPECT_EQ(1u, Findings(c.findings, "and it is not valid UTF-8: the setup program would not install it "
                                       "(\"Can't access component file #3.\")")
                      .size())
        << AllMessages(c.findings);
    EXPECT_EQ("", c.entries[2].baseName);
  }
  EXPECT_EQ(1u, Findings(Check(flagged.Build()).findings, "'d:/bad\\xFF.txt' has a name that general-purpose bit 11 "
                                                           "marks as UTF-8").size());

  // The name rules go by the decoded name's characters. Read as bytes of code page 936,
  // the last byte of € (E2 82 AC) would take the backslash behind it for its second byte.
  ZipBuilder euro = Galvery();
  euro.AddStored("d:/\xE2\x82\xAC\\x.txt", "x").flags = 0x800;
  CheckOptions chinese;
  chinese.codePage = 936;
  const ArchiveCheck byCharacter = Check(euro.Build(), chinese);
  EXPECT_EQ("x.txt", byCharacter.entries[2].baseName);
  EXPECT_FALSE(byCharacter.HasDefects()) << AllMessages(byCharacter.findings);
  // A decoded name that ends in a separator is a folder's entry, whatever the stored name.
  ZipBuilder folder = Galvery();
  folder.AddStored("docs_", "").centralExtra = UnicodePath("docs_", "Ελλάδα/");
  EXPECT_EQ(1u, Findings(Check(folder.Build()).findings, "'docs_' is a directory entry (its name ends in a separator)")
                    .size());
  // In UTF-8, ā is C4 81, and 81 begins a character of code page 932: read as its bytes
  // there, it would hide the bar behind it, and end a name broken.
  ZipBuilder unsafe = Galvery();
  unsafe.AddStored("d:/Ελλάδα/con.txt", "x").flags = 0x800;
  unsafe.AddStored("d:/ā|b.txt", "x").flags = 0x800;
  unsafe.AddStored("d:/valodā", "x").flags = 0x800;
  CheckOptions japanese;
  japanese.codePage = 932;
  const ArchiveCheck u = Check(unsafe.Build(), japanese);
  EXPECT_EQ(2u, Findings(u.findings, "").size()) << AllMessages(u.findings);
  EXPECT_EQ(1u, Findings(u.findings, "'d:/Ελλάδα/con.txt' would install as 'con.txt': it is the device name CON").size());
  EXPECT_EQ(1u, Findings(u.findings, "would install as 'ā|b.txt': it holds '|'").size()) << AllMessages(u.findings);
}

TEST(MksetupCheck, DuplicateInstallNamesWarnOrAreRefused) {
  ZipBuilder zip = Galvery();
  zip.AddStored("other/GALVERY.exe", "a second program");
  const std::string bytes = zip.Build();
  const ArchiveCheck warned = Check(bytes);
  EXPECT_EQ(1u, Findings(warned.findings, "both install as 'GALVERY.exe'", false).size()) << AllMessages(warned.findings);
  EXPECT_FALSE(warned.HasDefects());
  CheckOptions strict;
  strict.refuseDuplicates = true;
  const ArchiveCheck refused = Check(bytes, strict);
  EXPECT_EQ(1u, Findings(refused.findings, "both install as").size());

  // Compared as Windows compares names, beyond ASCII too and whatever the name's encoding;
  // no letter becomes two, and a decomposed accent is another name.
  ZipBuilder mixed = Galvery();
  mixed.AddStored("a/Ελλάδα.txt", "1").flags = 0x800;
  mixed.AddStored("b/ΕΛΛΆΔΑ.TXT", "2").flags = 0x800;
  mixed.AddStored("c/\xC9T\xC9.txt", "3");  // ÉTÉ.txt in code page 1252
  mixed.AddStored("d/été.TXT", "4").flags = 0x800;
  mixed.AddStored("e/straße.txt", "5").flags = 0x800;
  mixed.AddStored("f/STRASSE.txt", "6");
  mixed.AddStored("g/e\xCC\x81te\xCC\x81.txt", "7").flags = 0x800;
  mixed.AddStored("h/ЖУРНАЛ.log", "8").flags = 0x800;
  mixed.AddStored("i/журнал.LOG", "9").flags = 0x800;
  const ArchiveCheck m = Check(mixed.Build());
  EXPECT_EQ(3u, Findings(m.findings, "both install as", false).size()) << AllMessages(m.findings);
  EXPECT_EQ(1u, Findings(m.findings, "'b/ΕΛΛΆΔΑ.TXT' both install as 'ΕΛΛΆΔΑ.TXT'", false).size());
  EXPECT_EQ(1u, Findings(m.findings, "entry 'c/\\xC9T\\xC9.txt' and entry 'd/été.TXT' both install as 'été.TXT'", false)
                    .size())
      << AllMessages(m.findings);
  EXPECT_EQ(1u, Findings(m.findings, "both install as 'журнал.LOG'", false).size());
}

TEST(MksetupCheck, ASignatureBehindTheArchiveStillOpens) {
  // What Authenticode signing leaves behind the archive: zero padding to a multiple of 8,
  // then the certificate table (a length, revision 0x0200, type 2, PKCS#7 bytes).
  const std::string zip = Galvery().Build();
  const size_t padding = (8 - zip.size() % 8) % 8;
  std::string table(8, '\0');
  Put32At(table, 0, 1024);
  Put16At(table, 4, 0x0200);
  Put16At(table, 6, 2);
  for (int i = 0; table.size() < 1024; ++i) table += char(0x30 + i % 7);
  const std::string pack = zip + std::string(padding, '\0') + table;
  CheckOptions signedFile;
  signedFile.signatureAt = zip.size() + padding;
  const ArchiveCheck c = Check(pack, signedFile);
  EXPECT_EQ("", AllMessages(c.findings));
  // The setup program's reader finds the archive in front of the signature.
  const ReaderView view = ReadWithSetupReader(Bytes(pack), pack.size());
  ASSERT_TRUE(view.opened);
  ASSERT_EQ(2, view.count);
  EXPECT_EQ(ArchiveOk, view.records[1].result);
  EXPECT_STREQ("d:/Galvery/HLP/Galvery.HLP", view.records[1].entry.name);

  // Unsigned, the same bytes are bytes behind the archive.
  EXPECT_EQ(1u, Findings(Check(pack).findings, "follow the archive's end record").size());
  // Breaks: padding that is not zero.
  std::string dirty = pack;
  if (padding) {
    dirty[zip.size()] = 1;
    EXPECT_EQ(1u, Findings(Check(dirty, signedFile).findings, "do not lead to the certificate table").size());
  }
  // Breaks: an end record signature inside the certificate table, where minizip would stop.
  std::string decoy = pack;
  decoy.replace(signedFile.signatureAt + 100, 4, std::string("PK\x05\x06", 4));
  EXPECT_EQ(1u, Findings(Check(decoy, signedFile).findings, "certificate table holds the bytes of an end record").size());
  // Breaks: eight 0x55 bytes inside the signature.
  std::string marked = pack;
  marked.replace(signedFile.signatureAt + 200, 8, "UUUUUUUU");
  const ArchiveCheck m = Check(marked, signedFile);
  ASSERT_EQ(1u, m.runs.size());
  EXPECT_EQ("certificate table (the signature)", m.runs[0].fields.at(0).what);
}

TEST(MksetupCheck, WhatItPassesTheSetupProgramsReaderReads) {
  // Every truncation is a defect; and after any one byte is damaged, either the check
  // finds a defect or the reader reads every record. Also for ZIP64: its end record, and
  // an entry as zip -fz writes it, its size in ZIP64 blocks.
  ZipBuilder zip = Galvery();
  zip.AddDeflated("notes.txt", "notes, notes, notes").localExtra = UtBlock(1, {kModified});
  ZipBuilder zip64 = zip;
  zip64.zip64 = true;
  ZipEntry& forced = zip64.entries[2];
  forced.centralExtra = Zip64Block({forced.uncompressedSize});
  forced.localExtra += Zip64Block({forced.uncompressedSize, forced.compressedSize});
  forced.uncompressedSize = forced.localUncompressedSize = forced.localCompressedSize = 0xFFFFFFFF;
  for (const std::string& good : {zip.Build(), zip64.Build()}) {
    ASSERT_EQ("", AllMessages(Check(good).findings));
    for (size_t length = 0; length < good.size(); ++length)
      EXPECT_TRUE(Check(good.substr(0, length)).HasDefects()) << "cut to " << length;
    for (size_t at = 0; at < good.size(); ++at) {
      std::string damaged = good;
      damaged[at] = char(damaged[at] ^ 0x41);
      const ArchiveCheck c = Check(damaged);
      if (c.HasDefects()) continue;
      const ReaderView view = ReadWithSetupReader(Bytes(damaged), damaged.size());
      ASSERT_TRUE(view.opened) << "byte " << at << " of " << good.size();
      ASSERT_EQ(c.entries.size(), size_t(view.count)) << "byte " << at << " of " << good.size();
      for (const ReaderRecord& r : view.records) EXPECT_EQ(ArchiveOk, r.result) << "byte " << at << " of " << good.size();
    }
  }
}

}  // namespace
