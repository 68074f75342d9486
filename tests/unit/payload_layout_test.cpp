// The setup file's structure, judged before anything is written: cut anywhere, it is
// damaged; what lies behind a whole archive may only be a certificate table.
#include "payload/payload_layout.h"

#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using testing_support::ScratchDir;
using testing_support::W;
using testing_support::WriteBytes;
using testing_support::ZipBuilder;

namespace {

void Put32At(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (8 * i) & 0xFF);
}

class PayloadLayoutTest : public ::testing::Test {
 protected:
  PayloadVerdict Judge(const std::string& bytes) {
    WriteBytes(dir.Posix("Setup.exe"), bytes);
    std::unique_ptr<CReadableFile> file;
    EXPECT_EQ(kSysOk, Env().OpenForReading(W(dir.Win("Setup.exe")).Str(), &file));
    SysError error = kSysOk;
    const PayloadVerdict verdict = ReadPayloadLayout(*file, &layout, &error);
    EXPECT_EQ(kSysOk, error);
    return verdict;
  }
  // A PE32+ image holding the marker once, whose security directory points at `at`,
  // `length` bytes (0: no table).
  std::string Image(uint32_t at = 0, uint32_t length = 0) const {
    std::string image(400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32At(image, 60, 64);
    image.replace(64, 4, std::string("PE\0\0", 4));
    image[88] = 0x0B;  // the optional header's magic, 0x20B
    image[89] = 0x02;
    Put32At(image, 196, 16);  // data directories
    Put32At(image, 232, at);
    Put32At(image, 236, length);
    return image + kMarker + " rest of the image";
  }
  std::string Archive() const {
    ZipBuilder zip;
    zip.AddDeflated("d:/Galvery/Galvery.EXE", std::string(3000, 'x'));
    zip.AddStored("readme.txt", "read me");
    return zip.Build();
  }

  const std::string kMarker = std::string(8, 'U');
  ScratchDir dir;
  PayloadLayout layout;
};

TEST_F(PayloadLayoutTest, AWholeArchiveIsFoundBehindTheSecondMarker) {
  const std::string head = Image() + kMarker, archive = Archive();
  ASSERT_EQ(PayloadVerdict::kWhole, Judge(head + archive));
  EXPECT_EQ(head.size(), layout.archiveStart);
  EXPECT_EQ(head.size() + archive.size(), layout.archiveEnd);
  EXPECT_EQ(2u, layout.entries);
  EXPECT_EQ(3007u, layout.unpackedBytes);
  EXPECT_FALSE(layout.sealed);
  EXPECT_EQ(PayloadVerdict::kNoPayload, Judge(Image() + archive));
}

// A download cut short, wherever: in a local header, in the data, in the central
// directory or in the end record.
TEST_F(PayloadLayoutTest, ASetupFileCutAnywhereInItsArchiveIsDamaged) {
  const std::string head = Image() + kMarker, archive = Archive();
  for (size_t cut = 0; cut < archive.size(); ++cut)
    EXPECT_EQ(PayloadVerdict::kDamaged, Judge(head + archive.substr(0, cut))) << "cut at " << cut;
}

TEST_F(PayloadLayoutTest, ACommentAndASignatureTableBehindTheArchiveAreAllowedAndNothingElse) {
  ZipBuilder zip;
  zip.AddStored("readme.txt", "read me");
  zip.comment = "built for Galvery 7";
  const std::string archive = zip.Build();
  EXPECT_EQ(PayloadVerdict::kWhole, Judge(Image() + kMarker + archive));

  // osslsigncode pads to eight bytes, then appends the table, which the PE header locates.
  const std::string table(1200, 'c');
  const size_t unpadded = Image().size() + 8 + archive.size(), at = (unpadded + 7) / 8 * 8;
  const std::string signedFile =
      Image(uint32_t(at), uint32_t(table.size())) + kMarker + archive + std::string(at - unpadded, '\0') + table;
  ASSERT_NE(at, unpadded) << "the case needs padding";
  ASSERT_EQ(PayloadVerdict::kWhole, Judge(signedFile));
  EXPECT_EQ(unpadded, layout.archiveEnd);
  // The table cut short, or anything but a table behind the archive, is damage.
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(signedFile.substr(0, signedFile.size() - 1)));
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + archive + "trailing bytes"));
  EXPECT_EQ(PayloadVerdict::kDamaged,
            Judge(Image(uint32_t(at), uint32_t(table.size())) + kMarker + archive + std::string(at - unpadded, 'x') + table));
}

TEST_F(PayloadLayoutTest, ADirectoryShortOfItsCountOrALocalHeaderOutsideTheArchiveIsDamaged) {
  ZipBuilder zip;
  zip.AddStored("a.txt", "a");
  zip.AddStored("b.txt", "b");
  zip.countOverride = 60000;
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + zip.Build()));
  zip.countOverride = -1;
  zip.entries[1].headerOffsetField = 1000000;
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + zip.Build()));
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + "no archive at all"));

  // An offset the record gives in its ZIP64 block (0xFFFFFFFF in its own field), as
  // archivers write it past 4 GiB: b.txt's header is 36 bytes in, behind a.txt's.
  zip.entries[1].headerOffsetField = 0xFFFFFFFF;
  zip.entries[1].centralExtra = testing_support::Zip64Block({36});
  EXPECT_EQ(PayloadVerdict::kWhole, Judge(Image() + kMarker + zip.Build()));
  zip.entries[1].centralExtra = testing_support::Zip64Block({1000000});
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + zip.Build()));
  zip.entries[1].centralExtra.clear();  // no block to give it
  EXPECT_EQ(PayloadVerdict::kDamaged, Judge(Image() + kMarker + zip.Build()));
}

TEST_F(PayloadLayoutTest, AnEndRecordInTheDataOrTheCommentIsPassedOverAndZip64IsRead) {
  // The bytes of an end record that claims five entries, inside the data and at the very
  // end of the comment: neither is the archive's.
  std::string fake("PK\x05\x06\0\0\0\0\x05\0\x05\0", 12);
  fake += std::string(10, '\0');
  ZipBuilder zip;
  zip.AddStored("data.bin", "before " + fake + " after");
  zip.AddStored("readme.txt", "read me");
  zip.comment = "vendor " + fake;
  ASSERT_EQ(PayloadVerdict::kWhole, Judge(Image() + kMarker + zip.Build()));
  EXPECT_EQ(2u, layout.entries);

  ZipBuilder wide;
  wide.AddStored("a.txt", "a");
  wide.zip64 = true;
  ASSERT_EQ(PayloadVerdict::kWhole, Judge(Image() + kMarker + wide.Build()));
  EXPECT_EQ(1u, layout.entries);
}

TEST_F(PayloadLayoutTest, ASealIsReadFromTheEndOfTheComment) {
  ZipBuilder zip;
  zip.AddStored("readme.txt", "read me");
  zip.comment = "Galvery seal:crc32:00000000";
  const std::string archive = testing_support::Sealed(zip.Build());
  const std::string head = Image() + kMarker;
  ASSERT_EQ(PayloadVerdict::kWhole, Judge(head + archive));
  ASSERT_TRUE(layout.sealed);
  EXPECT_EQ(head.size() + archive.size() - 8, layout.sealDigitsAt);
  EXPECT_EQ(testing_support::Crc32(archive.substr(0, archive.size() - 8)), layout.sealCrc);
}

}  // namespace
