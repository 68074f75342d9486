// The ZIP layout as minizip meets it: where the end record is found, and where not.
#include "tests/unit/mksetup_test_support.h"
#include "tools/pack_reader.h"

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

}  // namespace
