// The packager's checks of archives and setup files: what the setup program cannot read,
// unsafe names, runs of 0x55 and where they lie, the end record where minizip finds it,
// signatures behind the archive, and the product a setup file's name selects.
#include "archive/archive_internal.h"
#include "archive/entry_names.h"
#include "tests/unit/mksetup_test_support.h"
#include "tools/pack_reader.h"

#include <cstring>
#include <functional>

using namespace testing_support;
using namespace mksetup;

namespace {

void Put16At(std::string& s, size_t at, uint32_t v) {
  s[at] = char(v);
  s[at + 1] = char(v >> 8);
}
void Put32At(std::string& s, size_t at, uint32_t v) {
  Put16At(s, at, v & 0xFFFF);
  Put16At(s, at + 2, v >> 16);
}
uint32_t Get32At(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}
// Offsets inside the end record, which ZipBuilder puts last with no comment.
size_t EndRecord(const std::string& zip) { return zip.size() - 22; }
size_t CentralDirectory(const std::string& zip) { return Get32At(zip, EndRecord(zip) + 16); }

const int32_t kModified = 1500000000;  // 2017-07-14 02:40:00 UTC

ZipBuilder Galvery() {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", std::string(5000, 'x') + "MZ program").localExtra =
      UtBlock(1, {kModified});
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help text\r\n");
  return zip;
}

std::string SetupFile(const std::string& stub, const std::string& archive) { return stub + "UUUUUUUU" + archive; }
const std::string kStub = std::string("MZ stub ") + "UUUUUUUU" + " the program's own marker, then code";

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
      {"ZIP64 extra block",
       [](ZipBuilder& z) { z.entries[1].centralExtra = ExtraBlock("\x01\x00", std::string(16, '\0')); }, nullptr,
       "ZIP64"},
      {"ZIP64 sizes",
       [](ZipBuilder& z) {
         z.entries[1].compressedSize = z.entries[1].uncompressedSize = 0xFFFFFFFF;
         ZipBuilder::SyncLocal(z.entries[1]);
       },
       nullptr, "ZIP64"},
      {"ZIP64 end record locator", nullptr,
       [](std::string& s) {
         std::string locator("PK\x06\x07", 4);
         locator += std::string(16, '\0');
         s.insert(EndRecord(s), locator);
       },
       "ZIP64"},
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
      {"folder/", "installs as nothing"},
      {"folder\\", "installs as nothing"},
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

TEST(MksetupCheck, RefusesEveryNameTheSetupProgramsReaderRefuses) {
  // The reader refuses these at extraction; the packager must never let one through.
  const char* names[] = {"CON", "con.txt", "Aux", "prn.log", "nul .txt", "COM1", "lpt5.x", "a:b", "a<b", "a>b",
                         "a\"b", "a|b", "a?b", "a*b", "x.", "x ", ".", "..", "\x01x", "ok.txt", "COM0", "LPT",
                         "CONSOLE", "nul_x", "readme.txt"};
  for (const char* name : names) {
    if (!IsPlainFileName(name, CCodePage::Numbered(1252))) EXPECT_NE("", UnsafeNameReason(name)) << name;
    else EXPECT_EQ("", UnsafeNameReason(name)) << name;
  }
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
}

TEST(MksetupCheck, FindsTheEndRecordWhereTheSetupProgramsReaderFindsIt) {
  // The end record must start within the last 65535 bytes: with its 22 bytes, up to
  // 65513 bytes may follow it. Both sides of that line, held against the reader itself
  // (minizip under it).
  const std::string zip = Galvery().Build();
  for (size_t trailing : {size_t(0), size_t(7), size_t(1500), size_t(65512), size_t(65513), size_t(65514),
                          size_t(65536), size_t(100000)}) {
    const std::string pack = zip + std::string(trailing, '\0');
    const bool found = LocateEndRecord(Bytes(pack), pack.size()) != kNowhere;
    EXPECT_EQ(trailing <= 65513, found) << trailing;
    EXPECT_EQ(found, ReadWithSetupReader(Bytes(pack), pack.size()).opened) << trailing;
  }
  // minizip takes an end record at position 0 for none: an empty archive with anything
  // behind it is not found.
  const std::string empty = ZipBuilder().Build() + std::string(8, '\0');
  EXPECT_EQ(kNowhere, LocateEndRecord(Bytes(empty), empty.size()));
  EXPECT_FALSE(ReadWithSetupReader(Bytes(empty), empty.size()).opened);
  // The last signature within reach wins, even inside bytes behind the archive.
  const std::string decoy = zip + std::string("PK\x05\x06", 4) + std::string(30, '\0');
  EXPECT_EQ(zip.size(), LocateEndRecord(Bytes(decoy), decoy.size()));
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

TEST(MksetupCheck, PlacesEveryRunOfMarkerBytes) {
  // Seven in a row are no marker; eight are; sixteen are one run.
  for (const auto& count : std::vector<std::pair<int, size_t>>{{7, 0}, {8, 1}, {16, 1}}) {
    ZipBuilder zip;
    zip.AddStored("a.txt", "ab" + std::string(size_t(count.first), 'U') + "cd");
    const ArchiveCheck c = Check(zip.Build());
    ASSERT_EQ(count.second, c.runs.size()) << count.first;
    if (!c.runs.empty()) {
      EXPECT_EQ(30u + 5 + 2, c.runs[0].offset);  // local header, name, "ab"
      EXPECT_EQ(size_t(count.first), c.runs[0].length);
      ASSERT_EQ(1u, c.runs[0].fields.size());
      EXPECT_EQ("data", c.runs[0].fields[0].what);
      EXPECT_TRUE(c.runs[0].fields[0].changesWithCompression);
      EXPECT_EQ(1u, Findings(c.findings, "refuse to install").size());
    }
  }
  // A flood of runs: all kept for the writer, twenty spelt out.
  std::string flood;
  for (int i = 0; i < 30; ++i) flood += "UUUUUUUU.";
  ZipBuilder many;
  many.AddStored("flood.bin", flood);
  const ArchiveCheck f = Check(many.Build());
  EXPECT_EQ(30u, f.runs.size());
  EXPECT_EQ(20u, Findings(f.findings, "refuse to install").size());
  EXPECT_EQ(1u, Findings(f.findings, "and 10 more runs").size());

  // In a name: once in the local header, once in the central directory.
  ZipBuilder named;
  named.AddStored("UUUUUUUU.txt", "x");
  const ArchiveCheck n = Check(named.Build());
  ASSERT_EQ(2u, n.runs.size());
  EXPECT_EQ("name (local header)", n.runs[0].fields.at(0).what);
  EXPECT_EQ("name (central directory)", n.runs[1].fields.at(0).what);

  // DOS time 10:42:42, date 2022-10-21 (both 0x5555) and the CRC-32 0x55555555: eight
  // bytes in a row in each header, none of which compression changes.
  ZipBuilder stamped;
  ZipEntry& e = stamped.AddStored("a.txt", WithCrc("some data", 0x55555555));
  e.dosTime = e.dosDate = 0x5555;
  const ArchiveCheck s = Check(stamped.Build());
  ASSERT_EQ(2u, s.runs.size()) << AllMessages(s.findings);
  std::vector<std::string> local;
  for (const Field& f : s.runs[0].fields) {
    local.push_back(f.what);
    EXPECT_FALSE(f.changesWithCompression) << f.what;
  }
  EXPECT_EQ((std::vector<std::string>{"DOS time (local header)", "DOS date (local header)", "CRC-32 (local header)"}),
            local);
  EXPECT_EQ(0u, Findings(s.findings, "has the CRC-32").size()) << "the forged CRC-32 is the data's own";

  // In the archive comment, which belongs to no entry.
  std::string commented = Galvery().Build();
  Put16At(commented, EndRecord(commented) + 20, 12);
  commented += "UUUUUUUUUUUU";
  const ArchiveCheck k = Check(commented);
  ASSERT_EQ(1u, k.runs.size());
  EXPECT_EQ(-1, k.runs[0].fields.at(0).entry);
  EXPECT_EQ("archive comment", k.runs[0].fields.at(0).what);
}

TEST(MksetupCheck, WhatItPassesTheSetupProgramsReaderReads) {
  // Every truncation is a defect; and after any one byte is damaged, either the check
  // finds a defect or the reader reads every record.
  ZipBuilder zip = Galvery();
  zip.AddDeflated("notes.txt", "notes, notes, notes").localExtra = UtBlock(1, {kModified});
  const std::string good = zip.Build();
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_TRUE(Check(good.substr(0, length)).HasDefects()) << "cut to " << length;
  for (size_t at = 0; at < good.size(); ++at) {
    std::string damaged = good;
    damaged[at] = char(damaged[at] ^ 0x41);
    const ArchiveCheck c = Check(damaged);
    if (c.HasDefects()) continue;
    const ReaderView view = ReadWithSetupReader(Bytes(damaged), damaged.size());
    ASSERT_TRUE(view.opened) << "byte " << at;
    ASSERT_EQ(c.entries.size(), size_t(view.count)) << "byte " << at;
    for (const ReaderRecord& r : view.records) EXPECT_EQ(ArchiveOk, r.result) << "byte " << at;
  }
}

TEST(MksetupCheck, SetupFileHoldsTwoMarkersAndNamesItsProduct) {
  const std::string zip = Galvery().Build();
  const std::string file = SetupFile(kStub, zip);
  const SetupFileCheck ok = CheckSetupFile(Bytes(file), file.size(), "out/SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(ok.findings) + AllMessages(ok.archive.findings));
  ASSERT_NE(nullptr, ok.product);
  EXPECT_STREQ("Galvery", ok.product->productName);
  EXPECT_EQ(kStub.size() + 8, ok.archiveStart);
  EXPECT_EQ(2u, ok.archive.entries.size());

  // Only the file's own name counts, not its folder.
  const SetupFileCheck folder = CheckSetupFile(Bytes(file), file.size(), "c:\\ZOV\\Setup.exe", nullptr, {});
  EXPECT_EQ(1u, Findings(folder.findings, "'Setup.exe' selects no product").size());
  const SetupFileCheck other =
      CheckSetupFile(Bytes(file), file.size(), "SetupTolvane-Quillet.exe", ProductNamed("Tolvane"), {});
  EXPECT_EQ(1u, Findings(other.findings, "selects Quillet, not Tolvane").size());

  // Breaks: a run of 0x55 in the archive makes a third marker, placed in its entry.
  ZipBuilder marked = Galvery();
  marked.AddStored("logo.bmp", std::string(8, 'U'));
  const std::string third = SetupFile(kStub, marked.Build());
  const SetupFileCheck three = CheckSetupFile(Bytes(third), third.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ(1u, Findings(three.findings, "counts the marker 3 times").size());
  EXPECT_EQ(kStub.size() + 8, three.archiveStart);
  EXPECT_EQ(1u, Findings(three.archive.findings, "entry 'logo.bmp': data").size()) << AllMessages(three.archive.findings);

  // Breaks: a stub that ends in 0x55 moves the second marker one byte early.
  const std::string shifted = SetupFile(kStub + "U", zip);
  const SetupFileCheck early = CheckSetupFile(Bytes(shifted), shifted.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ(kStub.size() + 8, early.archiveStart);
  EXPECT_TRUE(early.archive.HasDefects());

  // A name that fits the archive but not the product's default directory (c:\Galvery).
  ZipBuilder longName = Galvery();
  longName.AddStored("d:/" + std::string(245, 'n') + ".txt", "x");
  const std::string tooLong = SetupFile(kStub, longName.Build());
  const SetupFileCheck path = CheckSetupFile(Bytes(tooLong), tooLong.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(path.archive.findings));
  EXPECT_EQ(1u, Findings(path.findings, "a path of 260 characters; Windows takes at most 259").size())
      << AllMessages(path.findings);

  const std::string bare = kStub + zip;
  EXPECT_EQ(1u, Findings(CheckSetupFile(Bytes(bare), bare.size(), "SetupZOV.exe", nullptr, {}).findings,
                         "occurs once")
                    .size());
}

TEST(MksetupProduct, FollowsTheSetupProgramsRule) {
  EXPECT_STREQ("Galvery", ProductNamed("galvery")->productName);
  EXPECT_STREQ("LORIMAX", ProductNamed("Lorimax")->productName);
  EXPECT_STREQ("ZOV", ProductNamed("zov")->productName);
  EXPECT_EQ(nullptr, ProductNamed("Galver"));
  EXPECT_EQ(nullptr, ProductNamed("SetupGalvery"));

  // Table order decides, not the position in the name.
  EXPECT_STREQ("Quillet", ProductSelectedBy("SetupTolvane-Quillet.exe")->productName);
  EXPECT_STREQ("Quillet", ProductSelectedBy("SETUPHARNWICKQUILLET.EXE")->productName);
  EXPECT_STREQ("ZOV", ProductSelectedBy("setupzov.exe")->productName);
  EXPECT_EQ(nullptr, ProductSelectedBy("Setup.exe"));
  // Only a to z are upper-cased: a dotted i is no I.
  EXPECT_EQ(nullptr, ProductSelectedBy("SetupQu\xC4\xB1llet.exe"));
  // The name a vendor reaches for first works for every product.
  for (const ProductProfile& row : kProductProfiles)
    EXPECT_EQ(&row, ProductSelectedBy(std::string("Setup") + row.productName + ".exe")) << row.productName;
}

TEST(MksetupSignature, FindsTheCertificateTableOfAPeImage) {
  // A PE32+ header with 16 data directories; the fifth is the certificate table.
  std::string pe(0x200, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32At(pe, 0x3C, 0x80);
  pe.replace(0x80, 4, std::string("PE\0\0", 4));
  Put16At(pe, 0x80 + 20, 240);          // size of the optional header
  Put16At(pe, 0x98, 0x20B);             // PE32+
  Put32At(pe, 0x98 + 108, 16);          // number of data directories
  size_t offset = 0, length = 0;
  EXPECT_FALSE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length)) << "unsigned";
  Put32At(pe, 0x98 + 112 + 32, 0x400);
  Put32At(pe, 0x98 + 112 + 36, 0x5C8);
  ASSERT_TRUE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length));
  EXPECT_EQ(0x400u, offset);
  EXPECT_EQ(0x5C8u, length);
  // Breaks: a header that claims to lie beyond the file.
  std::string cut = pe;
  Put32At(cut, 0x3C, 0x1F0);
  EXPECT_FALSE(FindCertificateTable(Bytes(cut), cut.size(), &offset, &length));
  // Breaks: fewer than five data directories.
  Put32At(pe, 0x98 + 108, 4);
  EXPECT_FALSE(FindCertificateTable(Bytes(pe), pe.size(), &offset, &length));
}

}  // namespace
