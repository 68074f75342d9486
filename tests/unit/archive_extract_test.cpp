// Writing entries out: target paths, directory entries, times, files replaced, and the
// entries and names that must fail without leaving anything outside the directories
// given, nor a damaged file or a lost one inside them.
#include "tests/unit/archive_test_support.h"

#include <ctime>
#include <filesystem>
#include <fstream>

using namespace testing_support;

namespace {

std::string Patterned(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char((i * 7919) >> 5);
  return s;
}

// The file's modification time was given by the file system, not by the archive.
bool HasItsOwnTime(const std::string& path) { return ModifiedAt(path) > int64_t(std::time(nullptr)) - 3600; }

class ArchiveExtraction : public ArchiveTest {
 protected:
  void SetUp() override {
    MakeDir(dir.Posix("base"));
    MakeDir(dir.Posix("out"));
    saved_ = CurrentDir();
    // Directory entries are created beneath the current directory at open time.
    ChangeDir(dir.Posix("base"));
  }
  void TearDown() override { ChangeDir(saved_); }

  ArchiveResult Extract(int index, const std::string& directory) {
    ArchiveEntry e{};
    const ArchiveResult got = ArchiveGetEntry(handle, index, &e);
    if (got != ArchiveOk) return got;
    return ArchiveExtractEntry(handle, index, e.name, 0, ArchiveKindFile, 'D', directory.c_str());
  }
  // What the handle leaves behind shows once it is closed.
  void CloseArchive() {
    ArchiveClose(handle);
    handle = nullptr;
  }
  // Only what the test expects exists beside the archive, and nothing else in base and out.
  void ExpectTreeIs(const std::vector<std::string>& base, const std::vector<std::string>& out) {
    EXPECT_EQ((std::vector<std::string>{"a.zip", "base", "out"}), ListDir(dir.path()));
    EXPECT_EQ(base, ListDir(dir.Posix("base")));
    EXPECT_EQ(out, ListDir(dir.Posix("out")));
  }

  // A good file of an earlier installation, dated long ago.
  void WriteOld(const std::string& name) {
    WriteBytes(dir.Posix("out/" + name), OldContents(name));
    SetModifiedAt(dir.Posix("out/" + name), kOldTime);
  }
  // Still exactly that file: its bytes and its time.
  void ExpectOld(const std::string& name) {
    EXPECT_EQ(OldContents(name), ReadBytes(dir.Posix("out/" + name))) << name;
    EXPECT_EQ(kOldTime, ModifiedAt(dir.Posix("out/" + name))) << name;
  }
  static std::string OldContents(const std::string& name) { return "the good old " + name + Patterned(30000); }
  static constexpr int64_t kOldTime = 1000000000;

  std::string saved_;
};

TEST_F(ArchiveExtraction, FilesLandUnderTheirBaseNamesWithTheirTimes) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", Patterned(600000));  // several 256 KiB pieces
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help");
  zip.AddStored("a/readme.txt", "first");
  zip.AddStored("b\\readme.txt", "second");
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ArchiveOk, Extract(i, dir.Win("out")));
  // A directory that ends in a backslash gives two in a row, which is accepted.
  EXPECT_EQ(ArchiveOk, Extract(1, dir.Win("out") + "\\"));
  EXPECT_EQ("", env.Told());
  CloseArchive();
  ExpectTreeIs({}, {"Galvery.EXE", "Galvery.HLP", "readme.txt"});
  // Before the contents are read: reading moves the access time.
  EXPECT_EQ(kDosStampUnix, ModifiedAt(dir.Posix("out/Galvery.EXE")));
  EXPECT_EQ(kDosStampUnix, AccessedAt(dir.Posix("out/Galvery.EXE")));
  EXPECT_EQ(Patterned(600000), ReadBytes(dir.Posix("out/Galvery.EXE")));
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
  EXPECT_EQ(1500000000, ModifiedAt(dir.Posix("out/ut")));
  EXPECT_EQ(1500000100, AccessedAt(dir.Posix("out/ut")));
  EXPECT_EQ(-86400, ModifiedAt(dir.Posix("out/old")));
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
  EXPECT_FALSE(EnsureDirectoryChain(W(dir.Win("base") + "\\"), L"ok/../../evil"));
  EXPECT_TRUE(EnsureDirectoryChain(W(dir.Win("base") + "\\"), L"ok/..fine/"));
  ExpectTreeIs({"ok"}, {});
}

TEST_F(ArchiveExtraction, NamesThatCannotBeStoredAsThatFileShowTheCreationFailure) {
  ZipBuilder zip;
  zip.AddStored("dev/CON", "x");
  zip.AddStored("a:b", "x");
  zip.AddStored(std::string(250, 'n'), "x");
  zip.AddStored(std::string(259 - 1 - dir.Win("out").size(), 'n'), "longest");
  // Ends in a separator without the directory attribute: a folder all the same, as every
  // reader takes it, made beneath the base directory.
  zip.AddStored("docs/", "");
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ArchiveErrFile, Extract(i, dir.Win("out"))) << i;
  const std::string out = dir.Win("out") + "\\";
  EXPECT_EQ("Error 123 in creating file " + out + "CON|" + "Error 123 in creating file " + out +
                "a:b|Error 206 in creating file " + out + std::string(250, 'n') + "|",
            env.Told());
  EXPECT_EQ(ArchiveOk, Extract(3, dir.Win("out")));
  EXPECT_EQ(ArchiveOk, Extract(4, dir.Win("out")));
  ExpectTreeIs({"docs"}, {std::string(259 - 1 - dir.Win("out").size(), 'n')});
}

TEST_F(ArchiveExtraction, CorruptDataFailsAndLeavesWhatWasThereAsItWas) {
  ZipBuilder zip;
  ZipEntry& damaged = zip.AddDeflated("damaged", Patterned(200000));
  damaged.payload.replace(damaged.payload.size() / 2, 64, std::string(64, '\xFF'));
  ZipEntry& crc = zip.AddStored("crc", "stored data");
  crc.crc = crc.localCrc = 0x12345678;  // the same wrong CRC in both headers
  ZipEntry& longer = zip.AddDeflated("longer", "short stream");
  longer.uncompressedSize = longer.localUncompressedSize = 1000;  // the stream ends at 12
  ASSERT_TRUE(Open(zip));
  // An earlier version's good file under one of the names, longer than the new data.
  WriteOld("crc");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ArchiveErrTransfer, Extract(i, dir.Win("out"))) << i;
  EXPECT_EQ("", env.Told());
  // No damaged file under any name, no temporary file left, the old one untouched.
  CloseArchive();
  ExpectTreeIs({}, {"crc"});
  ExpectOld("crc");
}

TEST_F(ArchiveExtraction, FailedWriteIsATransferFailureThatKeepsTheOldFile) {
  ZipBuilder zip;
  zip.AddStored("big", Patterned(50000));
  zip.AddStored("new", Patterned(50000));
  ASSERT_TRUE(Open(zip));
  WriteOld("big");
  env.diskRoom = 20000;  // the disk is full after this many bytes
  EXPECT_EQ(ArchiveErrTransfer, Extract(0, dir.Win("out")));
  // A file that was not there, written under its own name, goes again.
  env.diskRoom = 20000;
  EXPECT_EQ(ArchiveErrTransfer, Extract(1, dir.Win("out")));
  env.diskRoom = -1;
  // A disk found full only when the file is closed, every byte written before.
  env.failCloses = true;
  EXPECT_EQ(ArchiveErrTransfer, Extract(0, dir.Win("out")));
  env.failCloses = false;
  EXPECT_EQ("", env.Told());
  CloseArchive();
  ExpectTreeIs({}, {"big"});
  ExpectOld("big");
}

TEST_F(ArchiveExtraction, AnExistingFileIsReplacedWholeAndTakesTheEntrysTimes) {
  ZipBuilder zip;
  zip.AddStored("Galvery.HLP", "new help");
  zip.AddDeflated("Galvery.EXE", Patterned(40000));
  ASSERT_TRUE(Open(zip));
  WriteOld("Galvery.HLP");  // longer than the new data: nothing of it may remain
  WriteOld("Galvery.EXE");
  // Leftovers of an interrupted run under the temporary names are stepped over, untouched.
  MakeDir(dir.Posix("out/~setup"));
  WriteBytes(dir.Posix("out/~setup/~0.tmp"), "leftover");
  MakeDir(dir.Posix("out/~setup/~1.tmp"));
  EXPECT_EQ(ArchiveOk, Extract(0, dir.Win("out")));
  EXPECT_EQ(ArchiveOk, Extract(1, dir.Win("out")));
  EXPECT_EQ("", env.Told());
  CloseArchive();
  // The folder that holds them stays with them.
  ExpectTreeIs({}, {"Galvery.EXE", "Galvery.HLP", "~setup"});
  EXPECT_EQ((std::vector<std::string>{"~0.tmp", "~1.tmp"}), ListDir(dir.Posix("out/~setup")));
  for (const char* name : {"Galvery.HLP", "Galvery.EXE"}) {
    EXPECT_EQ(kDosStampUnix, ModifiedAt(dir.Posix("out/") + name)) << name;
    EXPECT_EQ(kDosStampUnix, AccessedAt(dir.Posix("out/") + name)) << name;
  }
  EXPECT_EQ("new help", ReadBytes(dir.Posix("out/Galvery.HLP")));
  EXPECT_EQ(Patterned(40000), ReadBytes(dir.Posix("out/Galvery.EXE")));
  EXPECT_EQ("leftover", ReadBytes(dir.Posix("out/~setup/~0.tmp")));
}

TEST_F(ArchiveExtraction, ReplacementsAreWrittenInAFolderOfTheirOwnThatGoesWithTheHandle) {
  ZipBuilder zip;
  zip.AddStored("Galvery.HLP", "new help");
  zip.AddStored("fresh", "new file");
  ASSERT_TRUE(Open(zip));
  // A new file needs no folder of the reader's own.
  EXPECT_EQ(ArchiveOk, Extract(1, dir.Win("out")));
  ExpectTreeIs({}, {"fresh"});
  WriteOld("Galvery.HLP");
  EXPECT_EQ(ArchiveOk, Extract(0, dir.Win("out")));
  // Nothing is left in it between entries, and it goes when the archive closes.
  ExpectTreeIs({}, {"Galvery.HLP", "fresh", "~setup"});
  EXPECT_TRUE(ListDir(dir.Posix("out/~setup")).empty());
  CloseArchive();
  ExpectTreeIs({}, {"Galvery.HLP", "fresh"});
  EXPECT_EQ("new help", ReadBytes(dir.Posix("out/Galvery.HLP")));

  // A file of that name is no folder: the replacement is written beside its target, and
  // the file is left alone.
  ASSERT_TRUE(Open(zip));
  WriteBytes(dir.Posix("out/~setup"), "the vendor's own");
  WriteOld("Galvery.HLP");
  EXPECT_EQ(ArchiveOk, Extract(0, dir.Win("out")));
  CloseArchive();
  ExpectTreeIs({}, {"Galvery.HLP", "fresh", "~setup"});
  EXPECT_EQ("new help", ReadBytes(dir.Posix("out/Galvery.HLP")));
  EXPECT_EQ("the vendor's own", ReadBytes(dir.Posix("out/~setup")));
  EXPECT_EQ("", env.Told());
}

TEST_F(ArchiveExtraction, ATargetThatCannotBeReplacedIsReportedAndKeptAsItWas) {
  ZipBuilder zip;
  for (const char* name : {"held", "in-use", "folder"}) zip.AddStored(name, "new data");
  ASSERT_TRUE(Open(zip));
  const std::string out = dir.Win("out") + "\\";
  // Held open without sharing by another program, open in one that shares reading only,
  // and a directory of the entry's name.
  WriteOld("held");
  env.HoldWithoutSharing(out + "held", -1);
  WriteOld("in-use");
  env.MarkInUse(out + "in-use");
  MakeDir(dir.Posix("out/folder"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ArchiveErrFile, Extract(i, dir.Win("out"))) << i;
  // A held file shows only when the replace is refused, after the data (32, not the 5
  // Windows gives for the rename itself); a folder at the look, before it.
  EXPECT_EQ("Error 32 in creating file " + out + "held|Error 32 in creating file " + out + "in-use|" +
                "Error 5 in creating file " + out + "folder|",
            env.Told());
  ExpectTreeIs({}, {"folder", "held", "in-use", "~setup"});
  EXPECT_TRUE(ListDir(dir.Posix("out/~setup")).empty());  // the refused replacements are gone
  for (const char* name : {"held", "in-use"}) ExpectOld(name);
  EXPECT_TRUE(ListDir(dir.Posix("out/folder")).empty());

  // Let go: the same entry now replaces the file.
  env.HoldWithoutSharing(out + "held", 0);
  EXPECT_EQ(ArchiveOk, Extract(0, dir.Win("out")));
  EXPECT_EQ("new data", ReadBytes(dir.Posix("out/held")));
}

TEST_F(ArchiveExtraction, AReadOnlyTargetIsReportedBeforeAnythingIsWritten) {
  ZipBuilder zip;
  zip.AddStored("read-only", "new data");
  ASSERT_TRUE(Open(zip));
  WriteOld("read-only");
  SetReadOnly(dir.Posix("out/read-only"), true);
  // The POSIX environment refuses such a file itself; Win32 leaves it to the system.
  if (SystemWritesReadOnly(dir.Posix("out/read-only")))
    GTEST_SKIP() << "this system writes read-only files (Wine run by root): none can be refused";
  EXPECT_EQ(ArchiveErrFile, Extract(0, dir.Win("out")));
  EXPECT_EQ("Error 5 in creating file " + dir.Win("out") + "\\read-only|", env.Told());
  CloseArchive();
  ExpectTreeIs({}, {"read-only"});
  ExpectOld("read-only");
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
