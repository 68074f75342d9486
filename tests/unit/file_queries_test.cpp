// The file-system queries, with paths as the program builds them (backslashes).
#include "app/setup_app.h"
#include "payload/file_queries.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::Exists;
using testing_support::ScratchDir;
using testing_support::W;
using testing_support::WriteBytes;

namespace {

class FileQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    WriteBytes(dir.Posix("file.bin"), "0123456789");
    ASSERT_EQ(0, mkdir(dir.Posix("sub").c_str(), 0777));
  }
  ScratchDir dir;
  CSetupApp app;
};

TEST_F(FileQueries, ExistenceOfFilesAndDirectories) {
  EXPECT_EQ(1, FileExists(W(dir.Win("file.bin"))));
  EXPECT_EQ(1, FileExists(W(dir.Win("sub"))));
  EXPECT_EQ(0, FileExists(W(dir.Win("missing"))));
  EXPECT_EQ(0, DirectoryExists(W(dir.Win("file.bin"))));
  EXPECT_EQ(1, DirectoryExists(W(dir.Win("sub"))));
  EXPECT_EQ(0, DirectoryExists(W(dir.Win("missing"))));
  EXPECT_EQ(0, DirectoryExists(W("")));
  EXPECT_TRUE(standin::MessageBoxes().empty());
}

TEST_F(FileQueries, ANameEndingInABackslashNamesNothing) {
  EXPECT_EQ(0, DirectoryExists(W(dir.Win("sub") + "\\")));
  EXPECT_EQ(0, FileExists(W(dir.Win("sub") + "\\")));
}

TEST_F(FileQueries, DeleteIfExistsRemovesAFileAndIsSilentOtherwise) {
  DeleteIfExists(W(dir.Win("file.bin")));
  EXPECT_FALSE(Exists(dir.Posix("file.bin")));
  DeleteIfExists(W(dir.Win("file.bin")));
  DeleteIfExists(W(dir.Win("nowhere\\x.zip")));
  EXPECT_TRUE(standin::MessageBoxes().empty());
}

}  // namespace
