// Whole setup files: two markers, the archive behind the second, and the product the name selects.
#include "tests/unit/mksetup_test_support.h"
#include "tools/pack_reader.h"
#include "tools/setup_archive.h"

using namespace testing_support;
using namespace mksetup;

namespace {

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
  // Characters as Windows counts them, not bytes: 125 Greek letters are 250 bytes of
  // UTF-8 and a path of 140 characters.
  ZipBuilder greek = Galvery();
  std::string letters;
  for (int k = 0; k < 125; ++k) letters += "α";
  greek.AddStored("d:/" + letters + ".txt", "x").flags = 0x800;
  const std::string greekFile = SetupFile(kStub, greek.Build());
  const SetupFileCheck counted = CheckSetupFile(Bytes(greekFile), greekFile.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(counted.findings) + AllMessages(counted.archive.findings));
  greek.entries.back().name = greek.entries.back().localName = "d:/" + letters + std::string(120, 'n') + ".txt";
  const std::string longerFile = SetupFile(kStub, greek.Build());
  EXPECT_EQ(1u, Findings(CheckSetupFile(Bytes(longerFile), longerFile.size(), "SetupGalvery.exe", nullptr, {}).findings,
                         "a path of 260 characters")
                    .size());

  const std::string bare = kStub + zip;
  EXPECT_EQ(1u, Findings(CheckSetupFile(Bytes(bare), bare.size(), "SetupZOV.exe", nullptr, {}).findings,
                         "occurs once")
                    .size());
}

// Everything a check says of a setup file, to compare two checks of the same bytes.
std::string Verdict(const SetupFileCheck& c) {
  std::string v = AllMessages(c.findings) + AllMessages(c.archive.findings);
  v += "markers:";
  for (size_t at : c.markers) v += " " + std::to_string(at);
  v += "\narchive at " + std::to_string(c.archiveStart) + ", " + std::to_string(c.archive.entries.size()) +
       " entries, " + std::to_string(c.archive.runs.size()) + " runs\n";
  for (const EntryInfo& e : c.archive.entries)
    v += e.name + " " + std::to_string(e.crc) + " " + std::to_string(e.compressedSize) + " " +
         std::to_string(e.dataOffset) + "\n";
  return v;
}

std::string ReaderVerdict(const ReaderView& view) {
  std::string v = std::to_string(view.opened) + " " + std::to_string(view.count) + " " + view.error + "\n";
  for (const ReaderRecord& r : view.records)
    v += std::to_string(r.result) + " " + r.entry.name + " " + std::to_string(r.entry.compressedSize) + " " +
         std::to_string(r.entry.writeTime) + "\n";
  return v;
}

// A setup file on disk, read by position through a buffer and in pieces of a megabyte,
// gets the verdict its bytes in memory get: whole, and damaged anywhere.
TEST(MksetupCheck, ASealThatNoLongerHoldsIsADefect) {
  // Unsealed, as other tools make archives: no defect, and nothing said of a seal.
  const std::string plain = SetupFile(kStub, Galvery().Build());
  const SetupFileCheck unsealed = CheckSetupFile(Bytes(plain), plain.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(unsealed.findings) + AllMessages(unsealed.archive.findings));
  EXPECT_FALSE(unsealed.archive.sealed);

  std::vector<Member> members(1);
  std::string error;
  const std::string text = "Galvery's help, read by the setup program as it is";
  ASSERT_TRUE(MemberFromFile({"d:/Galvery/HLP/Galvery.HLP"}, std::vector<uint8_t>(text.begin(), text.end()),
                             1500000000, &members[0], &error));
  std::vector<uint8_t> archive;
  std::vector<std::string> problems, notes;
  ASSERT_TRUE(WriteArchiveAvoidingMarkers(members, "", kCompressions, &archive, &problems, &notes));
  const std::string file = SetupFile(kStub, Text(archive));
  const SetupFileCheck sealed = CheckSetupFile(Bytes(file), file.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(sealed.findings) + AllMessages(sealed.archive.findings));
  EXPECT_TRUE(sealed.archive.SealHolds());

  // One byte of the entry's data changed: a defect that names the seal, for list too,
  // which does not read the entries' data.
  const size_t dataAt = kStub.size() + 8 + sealed.archive.entries.at(0).dataOffset;
  std::string changed = file;
  changed[dataAt] = char(changed[dataAt] ^ 0x20);
  CheckOptions noData;
  noData.readData = false;
  for (const CheckOptions& options : {CheckOptions{}, noData}) {
    const SetupFileCheck broken = CheckSetupFile(Bytes(changed), changed.size(), "SetupGalvery.exe", nullptr, options);
    EXPECT_TRUE(broken.archive.sealed);
    EXPECT_FALSE(broken.archive.SealHolds());
    EXPECT_EQ(1u, Findings(broken.archive.findings, "damaged, or has changed since mksetup built it").size())
        << AllMessages(broken.archive.findings);
  }
  // The seal's own digits changed: the same.
  std::string digits = file;
  digits[digits.size() - 1] = digits.back() == '0' ? '1' : '0';
  const SetupFileCheck wrong = CheckSetupFile(Bytes(digits), digits.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ(1u, Findings(wrong.archive.findings, "the archive's seal gives CRC-32").size())
      << AllMessages(wrong.archive.findings);
}

TEST(MksetupCheck, ChecksASetupFileOnDiskAsItsBytesInMemory) {
  ZipBuilder zip = Galvery();
  // Deflated data of megabytes and stored data that cross the pieces they are read in.
  std::string text;
  for (size_t i = 0; text.size() < 3 * kPieceSize; ++i) text += "line " + std::to_string(i * 7919 % 100003) + " of it\n";
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.DAT", text + RandomBytes(kPieceSize, 1)).localExtra =
      UtBlock(1, {kModified});
  zip.AddStored("d:/Galvery/RELEASE/Galvery.PAK", RandomBytes(kPieceSize + 5000, 2));
  const std::string good = SetupFile(kStub, zip.Build());
  auto both = [](const std::string& bytes, const std::string& what) {
    CheckOptions options;
    const SetupFileCheck inMemory = CheckSetupFile(Bytes(bytes), bytes.size(), "SetupGalvery.exe", nullptr, options);
    const TempFile file(bytes);
    const SetupFileCheck onDisk = CheckSetupFile(file.Source(), "SetupGalvery.exe", nullptr, options);
    EXPECT_EQ(Verdict(inMemory), Verdict(onDisk)) << what;
    // The reader's copy leaves the large data out; what it reads of the records is the same.
    if (inMemory.archiveStart != kNowhere && inMemory.archiveStart <= bytes.size()) {
      const std::string pack = bytes.substr(inMemory.archiveStart);
      EXPECT_EQ(ReaderVerdict(ReadWithSetupReader(Bytes(pack), pack.size())),
                ReaderVerdict(ReadWithSetupReader(SubSource(file.Source(), onDisk.archiveStart,
                                                            bytes.size() - onDisk.archiveStart),
                                                  &onDisk.archive)))
          << what;
    }
    return inMemory;
  };
  const SetupFileCheck whole = both(good, "undamaged");
  EXPECT_EQ("", AllMessages(whole.findings) + AllMessages(whole.archive.findings));
  ASSERT_EQ(4u, whole.archive.entries.size());

  // One byte of the large deflated entry's data changed: both find the entry damaged.
  const EntryInfo& data = whole.archive.entries[2];
  std::string damaged = good;
  damaged[whole.archiveStart + data.dataOffset + data.compressedSize / 2] ^= 0x20;
  const SetupFileCheck caught = both(damaged, "deflated data damaged");
  EXPECT_EQ(1u, Findings(caught.archive.findings, "entry 'd:/Galvery/RELEASE/Galvery.DAT': its").size())
      << AllMessages(caught.archive.findings);

  // Bytes changed at random, most of them in headers, where the layout is read.
  std::mt19937 random(7);
  const size_t archive = whole.archiveStart;
  for (int round = 0; round < 40; ++round) {
    std::string bytes = good;
    for (int k = 0; k < 1 + int(random() % 3); ++k) {
      const size_t region = random() % 4;
      const size_t at = region == 0   ? random() % bytes.size()
                        : region == 1 ? archive + random() % 200
                                      : bytes.size() - 1 - random() % 400;
      bytes[at] = random() % 4 == 0 ? 'U' : char(random());
    }
    both(bytes, "round " + std::to_string(round));
  }
  // Cut short, and with runs of the marker's byte across the pieces.
  both(good.substr(0, good.size() - 30), "cut short");
  const EntryInfo& pak = whole.archive.entries[3];
  const size_t boundary = ((archive + pak.dataOffset) / kPieceSize + 1) * kPieceSize;
  ASSERT_LT(boundary + 5, archive + pak.dataOffset + pak.compressedSize);
  std::string runs = good;
  runs.replace(boundary - 4, 9, std::string(9, 'U'));
  EXPECT_EQ(1u, Findings(both(runs, "a run across a piece").archive.findings, "Galvery.PAK': data").size());
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

}  // namespace
