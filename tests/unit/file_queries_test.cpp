// The file-system queries, with paths as the program builds them (backslashes).
#include "app/setup_app.h"
#include "payload/file_queries.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
  // A sparse file of `size` bytes: no disk space used.
  std::string Sparse(const std::string& name, off_t size) {
    const int fd = open(dir.Posix(name).c_str(), O_CREAT | O_WRONLY, 0666);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(0, ftruncate(fd, size));
    close(fd);
    return dir.Win(name);
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

TEST_F(FileQueries, FileSizeOfReportsTheSizeOrTheErrorNumber) {
  EXPECT_EQ(10, FileSizeOf(dir.Win("file.bin").c_str()));
  EXPECT_EQ(-1, FileSizeOf(dir.Win("missing.exe").c_str()));
  EXPECT_EQ(-1, FileSizeOf(dir.Win("missing\\setup.exe").c_str()));
  ASSERT_EQ(2u, standin::MessageBoxes().size());
  EXPECT_EQ("Can't determine file size for " + dir.Win("missing.exe") + ". Last error 2",
            standin::MessageBoxes()[0].text);
  EXPECT_EQ("Can't determine file size for " + dir.Win("missing\\setup.exe") + ". Last error 3",
            standin::MessageBoxes()[1].text);
}

TEST_F(FileQueries, SizesOfTwoGigabytesOrMoreAreRefusedNotWrapped) {
  EXPECT_EQ(0x7FFFFFFF, FileSizeOf(Sparse("largest", 0x7FFFFFFF).c_str()));
  const std::string twoGiB = Sparse("two", off_t(1) << 31);
  const std::string wraps = Sparse("wraps", (off_t(1) << 32) + 100);  // low half alone: 100
  EXPECT_EQ(-1, FileSizeOf(twoGiB.c_str()));
  EXPECT_EQ(-1, FileSizeOf(wraps.c_str()));
  ASSERT_EQ(2u, standin::MessageBoxes().size());
  EXPECT_EQ("The file " + twoGiB + " is too large: a setup file must be smaller than 2 GB.",
            standin::MessageBoxes()[0].text);
}

TEST_F(FileQueries, ReadAtReadsFromAnOffsetAndAcceptsAShortRead) {
  HANDLE file = OpenForReading(dir.Win("file.bin").c_str());
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  char buffer[16] = {};
  EXPECT_EQ(4, ReadAt(file, 3, buffer, 4));
  EXPECT_STREQ("3456", buffer);
  EXPECT_EQ(3, ReadAt(file, 7, buffer, sizeof buffer));
  EXPECT_EQ(0, ReadAt(file, 20, buffer, 4));
  CloseHandle(file);
  EXPECT_EQ(0, ReadAt(INVALID_HANDLE_VALUE, 0, buffer, 4));
}

TEST_F(FileQueries, OpenForReadingRefusesADirectoryWithAccessDenied) {
  EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForReading(dir.Win("sub").c_str()));
  EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
}

}  // namespace
