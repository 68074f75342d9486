// The file-system queries, with paths as the program builds them (backslashes).
#include "payload/file_queries.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

using testing_support::CTestEnv;
using testing_support::Exists;
using testing_support::MakeDir;
using testing_support::ScratchDir;
using testing_support::W;
using testing_support::WriteBytes;

namespace {

class FileQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir.Posix("file.bin"), "0123456789");
    MakeDir(dir.Posix("sub"));
  }
  ScratchDir dir;
  CTestEnv env;
  CScopedEnv scoped{&env};
};

TEST_F(FileQueries, ExistenceOfFilesAndDirectories) {
  EXPECT_EQ(1, FileExists(W(dir.Win("file.bin"))));
  EXPECT_EQ(1, FileExists(W(dir.Win("sub"))));
  EXPECT_EQ(0, FileExists(W(dir.Win("missing"))));
  EXPECT_EQ(0, DirectoryExists(W(dir.Win("file.bin"))));
  EXPECT_EQ(1, DirectoryExists(W(dir.Win("sub"))));
  EXPECT_EQ(0, DirectoryExists(W(dir.Win("missing"))));
  EXPECT_EQ(0, DirectoryExists(W("")));
  EXPECT_EQ("", env.Told());
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
  EXPECT_EQ("", env.Told());
}

}  // namespace
