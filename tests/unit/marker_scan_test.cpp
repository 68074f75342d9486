// Finding the archive behind the second marker, and writing it out as the pack file.
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "payload/payload_marker.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using testing_support::ReadBytes;
using testing_support::ScratchDir;

namespace {

const std::string M(8, 'U');

// The scan on a heap copy of exactly the given bytes, so that AddressSanitizer catches
// any read past the end.
std::vector<DWORD> Scan(const std::string& bytes) {
  std::unique_ptr<BYTE[]> copy(new BYTE[bytes.size() ? bytes.size() : 1]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return FindMarkerOccurrences(copy.get(), bytes.size());
}

TEST(MarkerScan, CountsOccurrencesWithoutOverlap) {
  EXPECT_EQ(std::vector<DWORD>({11, 22}), Scan("abc" + M + "def" + M + "PK"));
  EXPECT_EQ(std::vector<DWORD>({8, 16}), Scan(std::string(16, 'U')));
  EXPECT_EQ(std::vector<DWORD>({8}), Scan(std::string(15, 'U')));
  EXPECT_EQ(std::vector<DWORD>({9}), Scan("xUUUUUUUUUUUUUUx"));  // 14: one, then six left over
  EXPECT_TRUE(Scan("").empty());
  EXPECT_TRUE(Scan("UUUUUUU").empty());
}

TEST(MarkerScan, NeverReadsPastTheEnd) {
  // 0x55 bytes among the last seven: candidates whose eight bytes would run off the end.
  EXPECT_EQ(std::vector<DWORD>({8}), Scan(M + "x" + "UUUUUUU"));
  EXPECT_EQ(std::vector<DWORD>({8}), Scan(M + "xyzU"));
  EXPECT_EQ(std::vector<DWORD>({9, 17}), Scan("x" + M + M));  // second one ends the data
}

// SavePayload as the setup dialog runs it.
class SavePayloadTest : public ::testing::Test {
 protected:
  void SetUp() override { standin::ResetRecords(); }

  int Save(const std::string& bytes, const std::string& packFile) {
    std::unique_ptr<BYTE[]> copy(new BYTE[bytes.size() ? bytes.size() : 1]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return dlg.SavePayload(copy.get(), int(bytes.size()), packFile.c_str());
  }

  ScratchDir dir;
  CSetupApp app;
  CSetupDlg dlg;
};

TEST_F(SavePayloadTest, WritesExactlyTheBytesBehindTheSecondMarker) {
  const std::string archive = std::string("PK\x03\x04", 4) + "entries" + std::string("\0\x01\x02", 3) + "PK\x05\x06end";
  EXPECT_EQ(1, Save("MZ image " + M + " more image" + M + archive, dir.Win("pack.zip")));
  EXPECT_EQ(archive, ReadBytes(dir.Posix("pack.zip")));
  EXPECT_EQ("", testing_support::MessagesShown());
}

TEST_F(SavePayloadTest, ReplacesAnExistingPackFileWhole) {
  testing_support::WriteBytes(dir.Posix("pack.zip"), std::string(1000, 'o'));
  EXPECT_EQ(1, Save("image" + M + M + "new", dir.Win("pack.zip")));
  EXPECT_EQ("new", ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(SavePayloadTest, AMarkerAtTheVeryEndGivesAnEmptyPackFile) {
  EXPECT_EQ(1, Save("image" + M + M, dir.Win("pack.zip")));
  EXPECT_TRUE(testing_support::Exists(dir.Posix("pack.zip")));
  EXPECT_EQ("", ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(SavePayloadTest, AnyOtherCountIsNoPayloadAndWritesNothing) {
  for (const std::string& file : {"image only" + M,                    // nothing appended
                                  std::string("no marker at all"),     // image without its constant
                                  "image" + M + M + "zip with " + M,   // archive holds a run
                                  "image" + M + std::string(16, 'U')}) {
    standin::ResetRecords();
    EXPECT_EQ(0, Save(file, dir.Win("pack.zip")));
    EXPECT_EQ("No embedded setup data found.|", testing_support::MessagesShown());
    EXPECT_FALSE(testing_support::Exists(dir.Posix("pack.zip")));
  }
}

TEST_F(SavePayloadTest, APackFileThatCannotBeCreatedIsReported) {
  EXPECT_EQ(0, Save("image" + M + M + "zip", dir.Win("missing\\pack.zip")));
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
}

}  // namespace
