// The environment's contract (env.h), held against whichever side is built: POSIX here,
// Win32 in the Windows builds under Wine. A case the POSIX side cannot keep skips there,
// saying why, as env.h says it.
#include "platform/env.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace testing_support;

namespace {

class EnvContract : public ::testing::Test {
 protected:
  std::wstring P(const std::string& name) const { return W(dir.Win(name)).Str(); }
  SysError Create(const std::string& name, const std::string& bytes = "data", CreateMode mode = CreateMode::kNew) {
    std::unique_ptr<CWritableFile> file;
    const SysError opened = env.OpenForWriting(P(name), mode, &file);
    if (opened != kSysOk) return opened;
    const SysError written = file->Write(bytes.data(), bytes.size());
    const SysError closed = file->Close();
    return written ? written : closed;
  }
  // A new file `name` holding `bytes`, put in the place of `target` while open, then closed.
  SysError CreateInPlaceOf(const std::string& name, const std::string& bytes, const std::string& target) {
    std::unique_ptr<CWritableFile> file;
    const SysError opened = env.OpenForWriting(P(name), CreateMode::kNew, &file);
    if (opened != kSysOk) return opened;
    EXPECT_EQ(kSysOk, file->Write(bytes.data(), bytes.size()));
    bool atClose = true;
    const SysError placed = file->CloseInPlaceOf(P(target), &atClose);
    EXPECT_FALSE(placed != kSysOk && atClose) << "a close that failed";
    return placed;
  }
  std::string Read(const std::string& name) {
    std::unique_ptr<CReadableFile> file;
    EXPECT_EQ(kSysOk, env.OpenForReading(P(name), &file)) << name;
    if (!file) return "<unopened>";
    std::string bytes(64, '\0');
    size_t got = 0;
    EXPECT_EQ(kSysOk, file->Read(&bytes[0], bytes.size(), &got));
    bytes.resize(got);
    return bytes;
  }

  CEnv& env = *CEnv::Default();
  ScratchDir dir;
};

TEST_F(EnvContract, AMissingNameIsNotFoundAndAMissingFolderOnTheWayIsSaidSo) {
  FileFacts facts;
  std::unique_ptr<CReadableFile> file;
  EXPECT_EQ(kSysFileNotFound, env.LookUp(P("none"), &facts));
  EXPECT_EQ(kSysFileNotFound, env.OpenForReading(P("none"), &file));
  EXPECT_EQ(kSysPathNotFound, env.OpenForReading(P("no folder\\none"), &file));
  EXPECT_EQ(kSysFileNotFound, env.Remove(P("none")));
  EXPECT_EQ(kSysPathNotFound, Create("no folder\\none", "x", CreateMode::kNewElseLookUp));
  EXPECT_EQ(kSysPathNotFound, env.CreateFolder(P("no folder\\sub")));
}

TEST_F(EnvContract, FilesAreWrittenReadReplacedAndRemoved) {
  ASSERT_EQ(kSysOk, Create("a", "first"));
  EXPECT_EQ(kSysFileExists, Create("a", "again"));  // a new file must be new
  ASSERT_EQ(kSysOk, Create("a", "second", CreateMode::kAlways));
  EXPECT_EQ("second", Read("a"));
  ASSERT_EQ(kSysOk, Create("b", "bee"));
  // A new file, or a look at the one there, which writes nothing.
  EXPECT_EQ(kSysFileExists, Create("b", "again", CreateMode::kNewElseLookUp));
  EXPECT_EQ("bee", Read("b"));
  ASSERT_EQ(kSysOk, Create("c", "sea", CreateMode::kNewElseLookUp));
  EXPECT_EQ("sea", Read("c"));
  ASSERT_EQ(kSysOk, env.Remove(P("c")));
  ASSERT_EQ(kSysOk, env.Remove(P("b")));
  EXPECT_EQ(kSysOk, CreateInPlaceOf("b", "bee", "a"));
  EXPECT_EQ("bee", Read("a"));
  EXPECT_EQ(std::vector<std::string>{"a"}, ListDir(dir.path()));
  EXPECT_EQ(kSysOk, env.Remove(P("a")));
  EXPECT_TRUE(ListDir(dir.path()).empty());
}

TEST_F(EnvContract, ReadsGiveEverythingUpToTheEndAndSeekAnywhere) {
  ASSERT_EQ(kSysOk, Create("f", "0123456789"));
  std::unique_ptr<CReadableFile> file;
  ASSERT_EQ(kSysOk, env.OpenForReading(P("f"), &file));
  EXPECT_TRUE(file->IsDiskFile());
  uint64_t size = 0;
  EXPECT_EQ(kSysOk, file->Size(&size));
  EXPECT_EQ(10u, size);
  char buffer[16] = {};
  size_t got = 0;
  EXPECT_EQ(kSysOk, file->Seek(7));
  EXPECT_EQ(kSysOk, file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ("789", std::string(buffer, got));
  EXPECT_EQ(kSysOk, file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(0u, got);
  EXPECT_EQ(kSysOk, file->Seek(20));  // behind the end: nothing to read there
  EXPECT_EQ(kSysOk, file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(0u, got);
}

TEST_F(EnvContract, AFolderIsNoFile) {
  ASSERT_EQ(kSysOk, env.CreateFolder(P("folder")));
  EXPECT_EQ(kSysAlreadyExists, env.CreateFolder(P("folder")));
  FileFacts facts;
  ASSERT_EQ(kSysOk, env.LookUp(P("folder"), &facts));
  EXPECT_TRUE(facts.attributes & kAttributeDirectory);
  std::unique_ptr<CReadableFile> file;
  EXPECT_EQ(kSysAccessDenied, env.OpenForReading(P("folder"), &file));
  EXPECT_EQ(kSysAccessDenied, Create("folder", "x", CreateMode::kAlways));
  EXPECT_EQ(kSysAccessDenied, Create("folder", "x", CreateMode::kNewElseLookUp));
  EXPECT_EQ(kSysAccessDenied, env.Remove(P("folder")));
  ASSERT_EQ(kSysOk, Create("file"));
  EXPECT_EQ(kSysAccessDenied, CreateInPlaceOf("new", "x", "folder"));
  EXPECT_EQ("x", Read("new"));  // where it was written
  // Only a folder that holds nothing is removed, and a file never.
  EXPECT_EQ(kSysNotAFolder, env.RemoveFolder(P("file")));
  ASSERT_EQ(kSysOk, Create("folder\\inside"));
  EXPECT_EQ(kSysDirectoryNotEmpty, env.RemoveFolder(P("folder")));
  ASSERT_EQ(kSysOk, env.Remove(P("folder\\inside")));
  EXPECT_EQ(kSysOk, env.RemoveFolder(P("folder")));
  EXPECT_EQ(kSysFileNotFound, env.RemoveFolder(P("folder")));
  EXPECT_EQ(kSysOk, env.LookUp(P("file"), &facts));
}

TEST_F(EnvContract, PatternsNeverMatchAndATrailingSeparatorNamesNothing) {
  // "c:\Down*" would find c:\Downloads to FindFirstFile.
  ASSERT_EQ(kSysOk, env.CreateFolder(P("Downloads")));
  FileFacts facts;
  EXPECT_EQ(kSysInvalidName, env.LookUp(P("Down*"), &facts));
  EXPECT_EQ(kSysInvalidName, env.LookUp(P("Download?"), &facts));
  EXPECT_EQ(kSysInvalidName, env.LookUp(P("*"), &facts));
  EXPECT_EQ(kSysFileNotFound, env.LookUp(P("Downloads") + L"\\", &facts));
  EXPECT_EQ(kSysOk, env.LookUp(P("Downloads"), &facts));
}

TEST_F(EnvContract, NamesWindowsRefusesAreRefused) {
  for (const char* name : {"a<b", "a>b", "a|b", "a\"b", "a?b", "a*b"}) EXPECT_EQ(kSysInvalidName, Create(name)) << name;
  EXPECT_EQ(kSysInvalidName, env.CreateFolder(P("a|b")));
  EXPECT_TRUE(ListDir(dir.path()).empty());
}

TEST_F(EnvContract, ReadOnlyFilesAreNeitherWrittenRemovedNorReplaced) {
  ASSERT_EQ(kSysOk, Create("ro", "kept"));
  SetReadOnly(dir.Posix("ro"), true);
  if (SystemWritesReadOnly(dir.Posix("ro"))) GTEST_SKIP() << "this Wine runs as root, which writes read-only files";
  FileFacts facts;
  ASSERT_EQ(kSysOk, env.LookUp(P("ro"), &facts));
  EXPECT_TRUE(facts.attributes & kAttributeReadOnly);
  EXPECT_EQ(kSysAccessDenied, Create("ro", "over", CreateMode::kAlways));
  EXPECT_EQ(kSysAccessDenied, Create("ro", "over", CreateMode::kNewElseLookUp));
  EXPECT_EQ(kSysAccessDenied, env.Remove(P("ro")));
  EXPECT_EQ(kSysAccessDenied, CreateInPlaceOf("new", "new", "ro"));
  EXPECT_EQ("kept", Read("ro"));
  EXPECT_EQ("new", Read("new"));  // the replacement stays where it was
}

TEST_F(EnvContract, AFullDiskRefusesTheWrite) {
  std::unique_ptr<CWritableFile> file;
  const SysError opened = env.OpenForWriting(W(FullDevice()).Str(), CreateMode::kAlways, &file);
  if (opened != kSysOk) GTEST_SKIP() << FullDevice() << " cannot be opened here (" << opened << ")";
  const std::string bytes(100000, 'x');
  EXPECT_EQ(kSysDiskFull, file->Write(bytes.data(), bytes.size()));
}

// The room of the folder's volume, with or without a separator behind it; none for a
// folder that is not there, which the installation then measures at its parent.
TEST_F(EnvContract, FreeSpaceIsMeasuredAtAFolderThatExists) {
  ASSERT_EQ(kSysOk, env.CreateFolder(P("folder")));
  uint64_t bytes = 0, again = 0;
  ASSERT_EQ(kSysOk, env.FreeSpace(P("folder"), &bytes));
  EXPECT_GT(bytes, 0u);
  ASSERT_EQ(kSysOk, env.FreeSpace(P("folder") + L"\\", &again));
  EXPECT_GT(again, 0u);
  EXPECT_NE(kSysOk, env.FreeSpace(P("missing\\deeper"), &bytes));
}

TEST_F(EnvContract, TimesAreSetAsGiven) {
  std::unique_ptr<CWritableFile> file;
  ASSERT_EQ(kSysOk, env.OpenForWriting(P("t"), CreateMode::kNew, &file));
  const FileTime creation = FileTime(1300000000) * 10000000 + 116444736000000000;
  const FileTime access = FileTime(1400000000) * 10000000 + 116444736000000000;
  const FileTime write = FileTime(1500000000) * 10000000 + 116444736000000000;
  ASSERT_EQ(kSysOk, file->SetTimes(creation, access, write));
  ASSERT_EQ(kSysOk, file->Close());
  FileFacts facts;
  ASSERT_EQ(kSysOk, env.LookUp(P("t"), &facts));
  EXPECT_EQ(access, facts.accessTime);
  EXPECT_EQ(write, facts.writeTime);
  EXPECT_EQ(1500000000, ModifiedAt(dir.Posix("t")));
  // Linux keeps no creation time, nor does Wine over a Linux file system: there the
  // write time stands in for it.
  EXPECT_TRUE(facts.creationTime == creation || facts.creationTime == write) << facts.creationTime;
  // 0 leaves a time as it is.
  ASSERT_EQ(kSysOk, env.OpenForWriting(P("u"), CreateMode::kNew, &file));
  ASSERT_EQ(kSysOk, file->SetTimes(0, 0, write));
  ASSERT_EQ(kSysOk, file->Close());
  ASSERT_EQ(kSysOk, env.LookUp(P("u"), &facts));
  EXPECT_EQ(write, facts.writeTime);
  EXPECT_NE(access, facts.accessTime);
}

TEST_F(EnvContract, ANameOutsideTheCodePageIsThatName) {
  const std::string name = "Ελλάδα ёлка 表.txt";
  ASSERT_EQ(kSysOk, Create(name, "greek"));
  EXPECT_EQ(std::vector<std::string>{name}, ListDir(dir.path()));
  EXPECT_EQ("greek", ReadBytes(dir.Posix(name)));
  EXPECT_EQ("greek", Read(name));
  ASSERT_EQ(kSysOk, env.CreateFolder(P("Программы")));
  EXPECT_EQ(kSysOk, CreateInPlaceOf("ёлка.new", "greek", "Программы\\" + name));
  EXPECT_EQ(std::vector<std::string>{name}, ListDir(dir.Posix("Программы")));
}

TEST_F(EnvContract, FullPathsResolveDotsAgainstTheCurrentFolder) {
  const std::string saved = CurrentDir();
  ASSERT_EQ(kSysOk, env.SetCurrentFolder(W(dir.path()).Str()));
  std::wstring here, full;
  ASSERT_EQ(kSysOk, env.CurrentFolder(&here));
  EXPECT_EQ(CurrentDir(), Utf8(here));
  EXPECT_EQ(kSysOk, env.FullPath(L"inst", &full));
  EXPECT_EQ(here + L"\\inst", full);
  EXPECT_EQ(kSysOk, env.FullPath(L".\\gone\\..\\inst\\sub", &full));
  EXPECT_EQ(here + L"\\inst\\sub", full);
  EXPECT_EQ(kSysOk, env.FullPath(L"inst\\", &full));
  EXPECT_EQ(here + L"\\inst\\", full);  // a trailing separator stays
  EXPECT_EQ(kSysOk, env.FullPath(here + L"\\a\\..\\b", &full));
  EXPECT_EQ(here + L"\\b", full);
  EXPECT_EQ(kSysInvalidName, env.FullPath(L"", &full));
  ChangeDir(saved);
}

TEST_F(EnvContract, DrivesAndServersAreTheirOwnRoots) {
  if (!OnWindows()) GTEST_SKIP() << "POSIX paths have no drives and no UNC form";
  std::wstring full;
  EXPECT_EQ(kSysOk, env.FullPath(L"c:\\a\\..\\b", &full));
  EXPECT_EQ(L"c:\\b", full);
  EXPECT_EQ(kSysOk, env.FullPath(L"c:/a/./b", &full));
  EXPECT_EQ(L"c:\\a\\b", full);
  EXPECT_EQ(kSysOk, env.FullPath(L"c:\\..\\..\\x", &full));
  EXPECT_EQ(L"c:\\x", full);
  EXPECT_EQ(kSysOk, env.FullPath(L"\\\\server\\share\\a\\..\\b", &full));
  EXPECT_EQ(L"\\\\server\\share\\b", full);
}

TEST_F(EnvContract, TrailingDotsAndSpacesAreDropped) {
  if (!OnWindows()) GTEST_SKIP() << "Linux keeps dots and spaces at the end of a name";
  ASSERT_EQ(kSysOk, Create("name. .", "dots"));
  EXPECT_EQ(std::vector<std::string>{"name"}, ListDir(dir.path()));
  FileFacts facts;
  EXPECT_EQ(kSysOk, env.LookUp(P("name..."), &facts));
  EXPECT_EQ("dots", Read("name "));
}

TEST_F(EnvContract, NamesCompareWithoutRegardToCase) {
  if (!OnWindows()) GTEST_SKIP() << "Linux file names differ by case";
  ASSERT_EQ(kSysOk, Create("Galvery.EXE", "program"));
  FileFacts facts;
  EXPECT_EQ(kSysOk, env.LookUp(P("GALVERY.exe"), &facts));
  EXPECT_EQ(kSysFileExists, Create("galvery.exe"));
  EXPECT_EQ(kSysOk, CreateInPlaceOf("new", "new", "galvery.exe"));
  EXPECT_EQ(1u, ListDir(dir.path()).size());
  EXPECT_EQ("new", Read("GALVERY.EXE"));
}

TEST_F(EnvContract, AFileHeldWithoutSharingRefusesEveryOtherUse) {
  if (!OnWindows()) GTEST_SKIP() << "Linux has no share modes; tests hold files through CTestEnv";
  std::unique_ptr<CWritableFile> held;
  ASSERT_EQ(kSysOk, env.OpenForWriting(P("held"), CreateMode::kNew, &held));  // shared with nobody
  std::unique_ptr<CReadableFile> file;
  EXPECT_EQ(kSysSharingViolation, env.OpenForReading(P("held"), &file));
  // A look at it does not open it: whether it is held shows when it is replaced.
  EXPECT_EQ(kSysFileExists, Create("held", "x", CreateMode::kNewElseLookUp));
  EXPECT_EQ(kSysSharingViolation, Create("held", "x", CreateMode::kAlways));
  EXPECT_EQ(kSysSharingViolation, env.Remove(P("held")));
  EXPECT_EQ(kSysSharingViolation, CreateInPlaceOf("new", "new", "held"));
  EXPECT_EQ("new", Read("new"));  // where it was written
  held.reset();
  ASSERT_EQ(kSysOk, env.Remove(P("new")));
  EXPECT_EQ(kSysOk, CreateInPlaceOf("new", "new", "held"));
  EXPECT_EQ("new", Read("held"));
  EXPECT_EQ(std::vector<std::string>{"held"}, ListDir(dir.path()));
}

TEST_F(EnvContract, AFileOpenForReadingMayBeReadAgainButNotWritten) {
  ASSERT_EQ(kSysOk, Create("shared", "both"));
  std::unique_ptr<CReadableFile> first, second;
  ASSERT_EQ(kSysOk, env.OpenForReading(P("shared"), &first));
  EXPECT_EQ(kSysOk, env.OpenForReading(P("shared"), &second));
  if (!OnWindows()) GTEST_SKIP() << "Linux has no share modes: a reader does not keep writers out";
  EXPECT_EQ(kSysSharingViolation, Create("shared", "x", CreateMode::kAlways));
}

TEST_F(EnvContract, CodePagesConvertWithoutLookAlikes) {
  bool exact = false, lossless = true;
  EXPECT_EQ(L"\u00E9t\u00E9", env.ToWide(1252, "\xE9t\xE9", &exact));
  EXPECT_TRUE(exact);
  EXPECT_EQ(L"\u8868", env.ToWide(932, "\x95\x5C", &exact));  // a trail byte of 0x5C, '\'
  EXPECT_TRUE(exact);
  env.ToWide(932, "a\x81", &exact);  // a lead byte and nothing behind it
  EXPECT_FALSE(exact);
  EXPECT_EQ("\xE9", env.FromWide(1252, L"\u00E9", &lossless));
  EXPECT_TRUE(lossless);
  EXPECT_EQ("?", env.FromWide(1252, L"\u0451", &lossless));  // never an 'e' for an 'ё'
  EXPECT_FALSE(lossless);
  EXPECT_EQ("\x95\x5C", env.FromWide(932, L"\u8868", &lossless));
  EXPECT_TRUE(lossless);
  EXPECT_EQ("\xCE\x95", env.FromWide(65001, L"\u0395", &lossless));
  EXPECT_TRUE(lossless);
  EXPECT_EQ(L"", env.ToWide(1252, ""));
}

TEST_F(EnvContract, TheClockMovesAndPausesLastAtLeastTheirTime) {
  // Timed by the C++ library's own clock: Wine's tick is the server's, which lags under load.
  const auto start = std::chrono::steady_clock::now();
  env.Pause(100);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(95));
  // The environment's clock moves on, in steps of its own (about 16 ms on Windows).
  const uint32_t before = env.NowMilliseconds();
  bool moved = false;
  for (int i = 0; i < 200 && !moved; ++i) {
    env.Pause(10);
    moved = env.NowMilliseconds() != before;
  }
  EXPECT_TRUE(moved);
}

TEST_F(EnvContract, TheProcessKnowsItsOwnFile) {
  const std::wstring module = env.ModulePath();
  FileFacts facts;
  ASSERT_EQ(kSysOk, env.LookUp(module, &facts)) << Utf8(module);
  EXPECT_GT(facts.size, 0u);
  EXPECT_NE(std::string::npos, env.CommandLine().find("core_tests"));
}

}  // namespace
