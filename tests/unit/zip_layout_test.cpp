// The ZIP layout as minizip meets it: where the end record and the ZIP64 end record are
// found, and where not.
#include "tests/unit/mksetup_test_support.h"
#include "tools/pack_reader.h"

#include <functional>

using namespace testing_support;
using namespace mksetup;

namespace {

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

TEST(MksetupCheck, FindsTheZip64EndRecordWhereTheSetupProgramsReaderFindsIt) {
  // The end record counts one entry: the reader counts two only when it reads the ZIP64
  // end record, which minizip finds through the last locator within reach.
  struct Case {
    const char* what;
    std::function<void(std::string&)> patch;
    LocatorState state;
  };
  const std::vector<Case> cases = {
      {"as zip writes it", nullptr, LocatorState::kRecord},
      {"locator names disk 1", [](std::string& s) { Put32At(s, LocatorAt(s) + 4, 1); }, LocatorState::kOtherDisk},
      {"locator counts 2 disks", [](std::string& s) { Put32At(s, LocatorAt(s) + 16, 2); }, LocatorState::kDiskCount},
      {"record offset 0", [](std::string& s) { Put64At(s, LocatorAt(s) + 8, 0); }, LocatorState::kNoRecord},
      {"record offset one byte off", [](std::string& s) { Put64At(s, LocatorAt(s) + 8, Zip64RecordAt(s) + 1); },
       LocatorState::kNoRecord},
      {"record offset past the end", [](std::string& s) { Put64At(s, LocatorAt(s) + 8, s.size() - 2); },
       LocatorState::kNoRecord},
      // A later locator signature, in the archive comment, is the one minizip reads.
      {"a later locator in the comment",
       [](std::string& s) {
         const std::string stray = std::string("PK\x06\x07", 4) + std::string(16, '\0');
         Put16At(s, EndRecord(s) + 20, uint32_t(stray.size()));
         s += stray;
       },
       LocatorState::kDiskCount},
      {"a later locator cut short",
       [](std::string& s) {
         Put16At(s, EndRecord(s) + 20, 6);
         s += std::string("PK\x06\x07\0\0", 6);
       },
       LocatorState::kCut},
  };
  for (const Case& c : cases) {
    ZipBuilder zip = Galvery();
    zip.zip64 = true;
    zip.countOverride = 1;
    std::string bytes = zip.Build();
    const size_t record = Zip64RecordAt(bytes);
    if (c.patch) c.patch(bytes);
    const Zip64Locator locator = LocateZip64Locator(Bytes(bytes), bytes.size());
    EXPECT_EQ(int(c.state), int(locator.state)) << c.what;
    const bool zip64 = c.state == LocatorState::kRecord;
    EXPECT_EQ(zip64 ? record : kNowhere, LocateZip64EndRecord(Bytes(bytes), bytes.size())) << c.what;
    const ReaderView view = ReadWithSetupReader(Bytes(bytes), bytes.size());
    EXPECT_EQ(zip64, view.opened && view.count == 2) << c.what << ": " << view.count;
    const ZipLayout layout = ReadZipLayout(Bytes(bytes), bytes.size(), kNowhere);
    EXPECT_EQ(zip64 ? 2u : 1u, layout.entryCount) << c.what;
  }
}

TEST(MksetupCheck, ReadsTheZip64EndRecordAsTheSetupProgramsReaderDoes) {
  // minizip counts the bytes before the archive from the ZIP64 end record's position,
  // which the locator gives within the whole file: all records are still found.
  ZipBuilder zip = Galvery();
  zip.zip64 = true;
  zip.prefix = "stub";
  const std::string bytes = zip.Build();
  const ZipLayout layout = ReadZipLayout(Bytes(bytes), bytes.size(), kNowhere);
  ASSERT_TRUE(layout.ReadAsZip64());
  EXPECT_EQ(4u, layout.base);
  ASSERT_EQ(2u, layout.entries.size());
  EXPECT_EQ(LocalHeaderState::kRead, layout.entries[1].local);
  const ReaderView view = ReadWithSetupReader(Bytes(bytes), bytes.size());
  ASSERT_EQ(2, view.count);
  EXPECT_EQ(ArchiveOk, view.records[1].result);

  // Its fields are placed: eight 0x55 bytes in its record size, which minizip ignores.
  zip.prefix.clear();
  std::string marked = zip.Build();
  Put64At(marked, Zip64RecordAt(marked) + 4, 0x5555555555555555);
  const ArchiveCheck c = Check(marked);
  ASSERT_EQ(1u, c.runs.size());
  EXPECT_EQ("record size (ZIP64 end record)", c.runs[0].fields.at(0).what);
  EXPECT_EQ(1u, c.findings.size()) << AllMessages(c.findings);
}

}  // namespace
