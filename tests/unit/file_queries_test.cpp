// The file-system queries, with paths as the program builds them (backslashes).
#include "app/setup_app.h"
#include "payload/file_queries.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::Exists;
using testing_support::ScratchDir;
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
  EXPECT_EQ(1, FileExists(dir.Win("file.bin").c_str()));
  EXPECT_EQ(1, FileExists(dir.Win("sub").c_str()));
  EXPECT_EQ(0, FileExists(dir.Win("missing").c_str()));
  EXPECT_EQ(0, DirectoryExists(dir.Win("file.bin").c_str()));
  EXPECT_EQ(1, DirectoryExists(dir.Win("sub").c_str()));
  EXPECT_EQ(0, DirectoryExists(dir.Win("missing").c_str()));
  EXPECT_EQ(0, DirectoryExists(""));
  EXPECT_TRUE(standin::MessageBoxes().empty());
}

TEST_F(FileQueries, ANameEndingInABackslashNamesNothing) {
  EXPECT_EQ(0, DirectoryExists((dir.Win("sub") + "\\").c_str()));
  EXPECT_EQ(0, FileExists((dir.Win("sub") + "\\").c_str()));
}

TEST_F(FileQueries, DeleteIfExistsRemovesAFileAndIsSilentOtherwise) {
  DeleteIfExists(dir.Win("file.bin").c_str());
  EXPECT_FALSE(Exists(dir.Posix("file.bin")));
  DeleteIfExists(dir.Win("file.bin").c_str());
  DeleteIfExists(dir.Win("nowhere\\x.zip").c_str());
  EXPECT_TRUE(standin::MessageBoxes().empty());
}

}  // namespace
