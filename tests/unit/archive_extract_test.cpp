// Writing entries out: target paths, directory entries, times, and the entries and
// names that must fail without leaving anything outside the directories given.
#include "tests/unit/archive_test_support.h"

#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string Patterned(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 7919) >> 5);
  return s;
}

struct stat StatOf(const std::string& posixPath) {
  struct stat st {};
  EXPECT_EQ(0, stat(posixPath.c_str(), &st)) << posixPath;
  return st;
}

// The file's modification time was given by the file system, not by the archive.
bool HasItsOwnTime(const std::string& posixPath) {
  return StatOf(posixPath).st_mtim.tv_sec > std::time(nullptr) - 3600;
}

class ArchiveExtraction : public ArchiveTest {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    ASSERT_EQ(0, mkdir(dir.Posix("base").c_str(), 0700));
    ASSERT_EQ(0, mkdir(dir.Posix("out").c_str(), 0700));
    ASSERT_NE(nullptr, getcwd(saved_, sizeof saved_));
    // Directory entries are created beneath the current directory at open time.
    ASSERT_EQ(0, chdir(dir.Posix("base").c_str()));
  }
  void TearDown() override { ASSERT_EQ(0, chdir(saved_)); }

  ArchiveResult Extract(int index, const std::string& directory) {
    ArchiveEntry e{};
    const ArchiveResult got = ArchiveGetEntry(handle, index, &e);
    if (got != ArchiveOk) return got;
    return ArchiveExtractEntry(handle, index, e.name, 0, ArchiveKindFile, 'D', directory.c_str());
  }
  // Only what the test expects exists beside the archive, and nothing else in base and out.
  void ExpectTreeIs(const std::vector<std::string>& base, const std::vector<std::string>& out) {
    EXPECT_EQ((std::vector<std::string>{"a.zip", "base", "out"}), ListDir(dir.path()));
    EXPECT_EQ(base, ListDir(dir.Posix("base")));
    EXPECT_EQ(out, ListDir(dir.Posix("out")));
  }

  char saved_[4096];
};

TEST_F(ArchiveExtraction, FilesLandUnderTheirBaseNamesWithTheirTimes) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", Patterned(100000));  // several 16 KiB pieces
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help");
  zip.AddStored("a/readme.txt", "first");
  zip.AddStored("b\\readme.txt", "second");
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ArchiveOk, Extract(i, dir.Win("out")));
  // A directory that ends in a backslash gives two in a row, which is accepted.
  EXPECT_EQ(ArchiveOk, Extract(1, dir.Win("out") + "\\"));
  EXPECT_EQ("", testing_support::MessagesShown());
  ExpectTreeIs({}, {"Galvery.EXE", "Galvery.HLP", "readme.txt"});
  // Before the contents are read: reading moves the access time.
  const struct stat st = StatOf(dir.Posix("out/Galvery.EXE"));
  EXPECT_EQ(kDosStampUnix, st.st_mtim.tv_sec);
  EXPECT_EQ(kDosStampUnix, st.st_atim.tv_sec);
  EXPECT_EQ(Patterned(100000), ReadBytes(dir.Posix("out/Galvery.EXE")));
  EXPECT_EQ("help", ReadBytes(dir.Posix("out/Galvery.HLP")));
  EXPECT_EQ("second", ReadBytes(dir.Posix("out/readme.txt")));  // the later entry replaced the earlier
}

TEST_F(ArchiveExtraction, ExtendedTimestampAndStampsWithoutAValidTime) {
  ZipBuilder zip;
  zip.AddStored("ut", "x").localExtra = UtBlock(7, {1500000000, 1500000100, 1400000000});
  zip.AddStored("old", "x").localExtra = UtBlock(1, {-86400});
  zip.AddStored("month0", "x").dosDate = (33 << 9) | 15;
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ArchiveOk, Extract(i, dir.Win("out")));
  // Creation time cannot be set on Linux; the Windows end-to-end test reads it back.
  EXPECT_EQ(1500000000, StatOf(dir.Posix("out/ut")).st_mtim.tv_sec);
  EXPECT_EQ(1500000100, StatOf(dir.Posix("out/ut")).st_atim.tv_sec);
  EXPECT_EQ(-86400, StatOf(dir.Posix("out/old")).st_mtim.tv_sec);
  EXPECT_TRUE(HasItsOwnTime(dir.Posix("out/month0")));
}

TEST_F(ArchiveExtraction, DirectoryEntriesCreateTheirChainBeneathTheBase) {
  ZipBuilder zip;
  zip.AddDirectory("docs/");
  zip.AddDirectory("a/b\\c/");
  zip.AddStored("x/y", "").external = 0x10;  // the attribute decides, not the trailing slash
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ArchiveOk, Extract(i, dir.Win("out")));
  ExpectTreeIs({"a", "docs", "x"}, {});
  EXPECT_EQ(std::vector<std::string>{"c"}, ListDir(dir.Posix("base/a/b")));
  EXPECT_EQ(std::vector<std::string>{"y"}, ListDir(dir.Posix("base/x")));
}

TEST_F(ArchiveExtraction, DirectoryEntriesThatWouldEscapeTheBaseCreateNothing) {
  const char* names[] = {"../evil/", "..\\evil\\", "a/../../evil/", "a\\..\\..\\evil", "c:/evil/",
                         "C:evil/", "/tmp/evil/", "\\evil\\", "\\\\server\\share\\evil\\",
                         "//server/share/evil/", "a/ ../evil/", "a/.../evil/", "a/b:stream/"};
  ZipBuilder zip;
  for (const char* name : names) zip.AddDirectory(name);
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < int(std::size(names)); ++i) EXPECT_EQ(ArchiveErrUnsafePath, Extract(i, dir.Win("out"))) << names[i];
  ExpectTreeIs({}, {});
  EXPECT_FALSE(EnsureDirectoryChain((dir.Win("base") + "\\").c_str(), "ok/../../evil"));
  EXPECT_TRUE(EnsureDirectoryChain((dir.Win("base") + "\\").c_str(), "ok/..fine/"));
  ExpectTreeIs({"ok"}, {});
}

TEST_F(ArchiveExtraction, NamesThatCannotBeStoredAsThatFileShowTheCreationFailure) {
  ZipBuilder zip;
  zip.AddStored("docs/", "");  // ends in a separator, but no directory attribute
  zip.AddStored("dev/CON", "x");
  zip.AddStored("a:b", "x");
  zip.AddStored(std::string(250, 'n'), "x");
  zip.AddStored(std::string(259 - 1 - dir.Win("out").size(), 'n'), "longest");
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ArchiveErrFile, Extract(i, dir.Win("out"))) << i;
  const std::string out = dir.Win("out") + "\\";
  EXPECT_EQ("Error 5 in creating file " + out + "|Error 123 in creating file " + out + "CON|" +
                "Error 123 in creating file " + out + "a:b|Error 206 in creating file " + out +
                std::string(250, 'n') + "|",
            testing_support::MessagesShown());
  EXPECT_EQ(ArchiveOk, Extract(4, dir.Win("out")));
  ExpectTreeIs({}, {std::string(259 - 1 - dir.Win("out").size(), 'n')});
}

TEST_F(ArchiveExtraction, CorruptDataFailsAndLeavesThePartialFileWithItsOwnTimes) {
  ZipBuilder zip;
  ZipEntry& damaged = zip.AddDeflated("damaged", Patterned(200000));
  damaged.payload.replace(damaged.payload.size() / 2, 64, std::string(64, '\xFF'));
  ZipEntry& crc = zip.AddStored("crc", "stored data");
  crc.crc = crc.localCrc = 0x12345678;  // the same wrong CRC in both headers
  ZipEntry& longer = zip.AddDeflated("longer", "short stream");
  longer.uncompressedSize = longer.localUncompressedSize = 1000;  // the stream ends at 12
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ArchiveErrTransfer, Extract(i, dir.Win("out"))) << i;
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_LT(ReadBytes(dir.Posix("out/damaged")).size(), 200000u);
  EXPECT_EQ("stored data", ReadBytes(dir.Posix("out/crc")));
  EXPECT_EQ("short stream", ReadBytes(dir.Posix("out/longer")));
  for (const char* name : {"damaged", "crc", "longer"}) EXPECT_TRUE(HasItsOwnTime(dir.Posix("out/") + name)) << name;
}

TEST_F(ArchiveExtraction, FailedWriteIsATransferFailure) {
  ZipBuilder zip;
  zip.AddStored("big", Patterned(50000));
  ASSERT_TRUE(Open(zip));
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 20000;  // writes beyond this fail as on a full disk
  setrlimit(RLIMIT_FSIZE, &limit);
  const ArchiveResult result = Extract(0, dir.Win("out"));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ArchiveErrTransfer, result);
  EXPECT_EQ(20000u, ReadBytes(dir.Posix("out/big")).size());
}

TEST_F(ArchiveExtraction, BadIndexesArgumentsAndRecordsCreateNoFile) {
  ZipBuilder zip;
  zip.AddStored("good", "x");
  zip.AddStored("header", "x").localCrc = 1;
  zip.AddStored(std::string(260, 'n'), "x");
  ASSERT_TRUE(Open(zip));
  const std::string outDir = dir.Win("out");
  const char* out = outDir.c_str();
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(nullptr, 0, "good", 0, ArchiveKindFile, 'D', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, 3, "good", 0, ArchiveKindFile, 'D', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, -1, "good", 0, ArchiveKindFile, 'D', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, 0, "good", 0, 1, 'D', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, 0, "good", 0, ArchiveKindFile, 'M', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, 0, nullptr, 0, ArchiveKindFile, 'D', out));
  EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(handle, 0, "good", 0, ArchiveKindFile, 'D', nullptr));
  // Asked for directly, without the driver's record request first.
  EXPECT_EQ(ArchiveErrLocalHeader, ArchiveExtractEntry(handle, 1, "header", 0, ArchiveKindFile, 'D', out));
  EXPECT_EQ(ArchiveErrNameLength, ArchiveExtractEntry(handle, 2, "long", 0, ArchiveKindFile, 'D', out));
  ExpectTreeIs({}, {});
  EXPECT_EQ(ArchiveOk, ArchiveExtractEntry(handle, 0, "good", 0, ArchiveKindFile, 'D', out));
  ExpectTreeIs({}, {"good"});
}

}  // namespace
