// Unpacking the pack file: every entry flat into the install directory, the list of
// unpacked files, and the messages and result codes of failed entries.
#include "payload/unpack_archive.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class Unpack : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDir(dir.Posix("inst"));
    saved_ = CurrentDir();
  }
  // Unpacking makes the install directory the current one.
  void TearDown() override { ChangeDir(saved_); }

  int Run(const ZipBuilder& zip, const std::string& installDir) {
    WriteBytes(dir.Posix("pack.zip"), zip.Build());
    // The directory as ANSI text, read in the code page as Windows reads an ANSI path.
    return UnpackArchive(W(dir.Win("pack.zip")), CStringW(CString(installDir.c_str())), list);
  }
  std::vector<std::string> Listed() const { return Listed(list); }
  static std::vector<std::string> Listed(const std::vector<CStringW>& paths) {
    std::vector<std::string> lines;
    for (const CStringW& path : paths) lines.push_back(Utf8(path));
    return lines;
  }

  CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  std::string saved_;
  std::vector<CStringW> list;
};

TEST_F(Unpack, WritesTheShippedEntriesStraightIntoTheInstallDirectory) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ program");
  zip.AddDeflated("d:/Galvery/HLP/Galvery.HLP", "help");
  const std::string inst = dir.Win("inst");
  EXPECT_EQ(0, Run(zip, inst));
  EXPECT_EQ(std::vector<std::string>({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}), Listed());
  EXPECT_EQ("MZ program", ReadBytes(dir.Posix("inst/Galvery.EXE")));
  EXPECT_EQ("help", ReadBytes(dir.Posix("inst/Galvery.HLP")));
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP"}), ListDir(dir.Posix("inst")));
  EXPECT_EQ("", env.Told());
}

TEST_F(Unpack, AnEmptyArchiveIsASuccessWithNothingListed) {
  EXPECT_EQ(0, Run(ZipBuilder(), dir.Win("inst")));
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ("", env.Told());
}

TEST_F(Unpack, AMissingOrUnreadablePackFileIsResultOne) {
  EXPECT_EQ(1, UnpackArchive(W(dir.Win("none.zip")), W(dir.Win("inst")), list));
  WriteBytes(dir.Posix("text.zip"), "this is no archive");
  EXPECT_EQ(1, UnpackArchive(W(dir.Win("text.zip")), W(dir.Win("inst")), list));
  EXPECT_EQ("ZIP file " + dir.Win("none.zip") + " not found|Error in unZIPping " + dir.Win("text.zip") + "|",
            env.Told());
  EXPECT_TRUE(Listed().empty());
}

TEST_F(Unpack, SameBaseNamesOverwriteAndAreListedTwice) {
  ZipBuilder zip;
  zip.AddStored("one/readme.txt", "first");
  zip.AddStored("two/readme.txt", "second");
  const std::string inst = dir.Win("inst");
  EXPECT_EQ(0, Run(zip, inst));
  EXPECT_EQ(std::vector<std::string>(2, inst + "\\readme.txt"), Listed());
  EXPECT_EQ("second", ReadBytes(dir.Posix("inst/readme.txt")));
}

TEST_F(Unpack, DirectoryEntriesAndTrailingBackslashesAreListedAsJoined) {
  ZipBuilder zip;
  zip.AddDirectory("docs/");
  zip.AddStored("a/b\\c.txt", "c");
  const std::string inst = dir.Win("inst") + "\\";
  EXPECT_EQ(0, Run(zip, inst));
  EXPECT_EQ(std::vector<std::string>({inst + "\\", inst + "\\b\\c.txt"}), Listed());
  EXPECT_EQ("c", ReadBytes(dir.Posix("inst/c.txt")));
  EXPECT_TRUE(Exists(dir.Posix("inst/docs")));  // made beneath the install directory
}

TEST_F(Unpack, TheLastFailureDecidesTheResultAndOnlyGoodEntriesAreListed) {
  ZipBuilder zip;
  zip.AddStored("bad/NUL", "x");  // a device name: not created
  zip.AddStored("good.txt", "good");
  ZipEntry& broken = zip.AddStored("broken.txt", "x");
  broken.localSignature = 0x04034B51;  // its record cannot be read
  const std::string inst = dir.Win("inst");
  EXPECT_EQ(2, Run(zip, inst));
  EXPECT_EQ(std::vector<std::string>{inst + "\\good.txt"}, Listed());
  ASSERT_EQ(3u, env.told.size());
  const std::string created = Utf8(env.told[0]);
  EXPECT_EQ(0u, created.rfind("Error ", 0));  // the reader's own creation message
  EXPECT_NE(std::string::npos, created.find("in creating file " + inst + "\\NUL"));
  EXPECT_EQ("Error unzipping NUL.", Utf8(env.told[1]));
  EXPECT_EQ("Can't access component file #3.", Utf8(env.told[2]));

  env.told.clear();
  list.clear();
  ZipBuilder reversed;
  reversed.AddStored("broken.txt", "x").localSignature = 0;
  reversed.AddStored("bad\\CON", "");
  EXPECT_EQ(3, Run(reversed, inst));
  EXPECT_TRUE(Listed().empty());
}

TEST_F(Unpack, ACentralDirectoryThatEndsShortOfItsCountIsReportedOnce) {
  ZipBuilder zip;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) zip.AddStored(name, name);
  // Sixty thousand entries claimed over three records: once, one box per missing entry.
  zip.countOverride = 60000;
  const std::string inst = dir.Win("inst");
  EXPECT_EQ(2, Run(zip, inst));
  EXPECT_EQ("Can't access component file #4.|", env.Told());
  EXPECT_EQ(std::vector<std::string>({inst + "\\a.txt", inst + "\\b.txt", inst + "\\c.txt"}), Listed());

  // A bit flipped in the third of five central records: nothing behind it can be reached.
  env.told.clear();
  list.clear();
  zip.countOverride = -1;
  for (const char* name : {"d.txt", "e.txt"}) zip.AddStored(name, name);
  std::string bytes = zip.Build();
  size_t third = bytes.find("PK\x01\x02");
  for (int k = 0; k < 2; ++k) third = bytes.find("PK\x01\x02", third + 1);
  ASSERT_NE(std::string::npos, third);
  bytes[third + 2] ^= 0x10;
  WriteBytes(dir.Posix("pack.zip"), bytes);
  const std::string fresh = dir.Win("fresh");
  MakeDir(dir.Posix("fresh"));
  EXPECT_EQ(2, UnpackArchive(W(dir.Win("pack.zip")), W(fresh), list));
  EXPECT_EQ("Can't access component file #3.|", env.Told());
  EXPECT_EQ(std::vector<std::string>({fresh + "\\a.txt", fresh + "\\b.txt"}), Listed());
  EXPECT_EQ(std::vector<std::string>({"a.txt", "b.txt"}), ListDir(dir.Posix("fresh")));
}

TEST_F(Unpack, ABadRecordAmongGoodOnesFailsAloneAndTheEntriesBehindItAreUnpacked) {
  ZipBuilder zip;
  zip.AddStored("one.txt", "1");
  zip.AddStored("header.txt", "x").localSignature = 0x04034B51;  // no local header
  zip.AddStored("two.txt", "2");
  zip.AddStored("extra.txt", "x").localExtraLength = 0xFFFF;  // more extra field than there is
  zip.AddStored("three.txt", "3");
  zip.AddStored(std::string(260, 'n'), "x");  // a name too long for the record
  zip.AddStored("four.txt", "4");
  const std::string inst = dir.Win("inst");
  EXPECT_EQ(2, Run(zip, inst));
  EXPECT_EQ("Can't access component file #2.|Can't access component file #4.|Can't access component file #6.|",
            env.Told());
  EXPECT_EQ(std::vector<std::string>(
                {inst + "\\one.txt", inst + "\\two.txt", inst + "\\three.txt", inst + "\\four.txt"}),
            Listed());
  EXPECT_EQ(std::vector<std::string>({"four.txt", "one.txt", "three.txt", "two.txt"}), ListDir(dir.Posix("inst")));
}

TEST_F(Unpack, DoubleByteNamesInstallWholeAndAreListedAsWritten) {
  // Code page 932: ソ 83 5C, 表 95 5C, ポ 83 7C. Their second bytes are a backslash and
  // a bar, which must be neither separators nor reserved characters, in the entry names
  // nor in the install directory.
  env.codePage = 932;
  const std::string software = "\x83\x5C\x83\x74\x83\x67";  // ソフト
  // The files are named by their wide names; the tests' own paths are UTF-8.
  MakeDir(dir.Posix("ソフト"));
  ZipBuilder zip;
  zip.AddDeflated("d:/" + software + "/\x95\x5C.txt", "table");
  zip.AddStored("\x83\x8C\x83\x7C\x81\x5B\x83\x67.txt", "report");
  const std::string inst = dir.Win(software);
  EXPECT_EQ(0, Run(zip, inst));
  EXPECT_EQ("", env.Told());
  const std::string listedInst = dir.Win("ソフト");
  EXPECT_EQ(std::vector<std::string>({listedInst + "\\表.txt", listedInst + "\\レポート.txt"}), Listed());
  // The files are where the list says, under those names.
  EXPECT_EQ("table", ReadBytes(dir.Posix("ソフト/表.txt")));
  EXPECT_EQ("report", ReadBytes(dir.Posix("ソフト/レポート.txt")));
  EXPECT_EQ(2u, ListDir(dir.Posix("ソフト")).size());
}

// Names as today's writers store them: UTF-8 with bit 11 (Python, .NET, 7-Zip for names
// beyond its OEM code page), an old writer's bytes with a Unicode Path field beside them
// (7-Zip since 21.02), folders ending in a slash without the folder attribute (jar). Each
// file gets its true name, whether the code page holds it or not, and so does the list.
TEST_F(Unpack, NamesAreReadAsTheyAreMeantAndWrittenUnderThem) {
  ZipBuilder zip;
  zip.AddStored("d:/Galvery/HLP/Größe.txt", "size").flags = 0x0800;
  zip.AddStored("Menü.hlp", "menu").flags = 0x0800;
  zip.AddStored("Ελλάδα.txt", "greece").flags = 0x0800;  // beyond code page 1252
  ZipEntry& field = zip.AddStored("\x9A" "nicode.txt", "field");
  const uint32_t crc = Crc32(field.name);
  std::string data = "\x01";
  for (int i = 0; i < 4; ++i) data += char(crc >> (8 * i) & 0xFF);
  field.centralExtra = ExtraBlock("up", data + "Ünicode.txt");
  zip.AddStored("\xC0\xAF.txt", "bad").flags = 0x0800;  // meant as UTF-8, and no UTF-8
  zip.AddStored("META-INF/", "");
  std::vector<CStringW> unpacked;
  WriteBytes(dir.Posix("pack.zip"), zip.Build());
  const CStringW inst = W(dir.Win("inst"));
  EXPECT_EQ(2, UnpackArchive(W(dir.Win("pack.zip")), inst, unpacked));
  EXPECT_EQ("Can't access component file #5.|", env.Told());
  std::vector<std::string> listed;
  for (const CStringW& path : unpacked) listed.push_back(Utf8(path));
  const std::string i = dir.Win("inst") + "\\";
  EXPECT_EQ(std::vector<std::string>({i + "Größe.txt", i + "Menü.hlp", i + "Ελλάδα.txt", i + "Ünicode.txt", i}), listed);
  EXPECT_EQ(std::vector<std::string>({"Größe.txt", "META-INF", "Menü.hlp", "Ünicode.txt", "Ελλάδα.txt"}),
            ListDir(dir.Posix("inst")));
  EXPECT_EQ("greece", ReadBytes(dir.Posix("inst/Ελλάδα.txt")));
}

TEST_F(Unpack, AFlaggedNameIsTheSameFileOnEveryCodePage) {
  ZipBuilder zip;
  zip.AddStored("表.txt", "table").flags = 0x0800;
  zip.AddStored("レポート.txt", "report").flags = 0x0800;
  for (unsigned codePage : {932u, 1252u}) {
    env.codePage = codePage;
    std::vector<CStringW> unpacked;
    WriteBytes(dir.Posix("pack.zip"), zip.Build());
    EXPECT_EQ(0, UnpackArchive(W(dir.Win("pack.zip")), W(dir.Win("inst")), unpacked)) << codePage;
    EXPECT_EQ("table", ReadBytes(dir.Posix("inst/表.txt"))) << codePage;
    EXPECT_EQ("report", ReadBytes(dir.Posix("inst/レポート.txt"))) << codePage;
    EXPECT_EQ(2u, ListDir(dir.Posix("inst")).size()) << codePage;
  }
}

// What 7-Zip, Explorer and Info-ZIP zip on Windows store for a name their OEM code page
// holds: its OEM bytes, no flag, a DOS or NTFS host. A Unix host's bytes stay ANSI.
TEST_F(Unpack, UnflaggedNamesOfDosAndNtfsHostsAreReadInTheOemCodePage) {
  ZipBuilder zip;
  zip.AddStored("\x99lf\x84sser.txt", "oil").versionMadeBy = 0x0014;    // DOS, code page 437
  zip.AddStored("R\x82sum\x82.txt", "cv").versionMadeBy = 0x0A3F;        // NTFS
  zip.AddStored("d:/Gr\xF6\xDF" "e.txt", "size");                        // Unix, code page 1252
  zip.AddStored("\x8F\xE0\xA8\xAC\xA5\xE0.txt", "example").versionMadeBy = 0x0014;  // Пример in 866
  std::vector<CStringW> unpacked;
  WriteBytes(dir.Posix("pack.zip"), zip.Build());
  const std::string i = dir.Win("inst") + "\\";
  EXPECT_EQ(0, UnpackArchive(W(dir.Win("pack.zip")), W(dir.Win("inst")), unpacked));
  EXPECT_EQ("", env.Told());
  EXPECT_EQ(std::vector<std::string>({i + "\u00d6lf\u00e4sser.txt", i + "R\u00e9sum\u00e9.txt", i + "Gr\u00f6\u00dfe.txt",
                                      i + "\u00c5\u03b1\u00bf\u00bc\u00d1\u03b1.txt"}),
            Listed(unpacked));
  EXPECT_EQ("oil", ReadBytes(dir.Posix("inst/\u00d6lf\u00e4sser.txt")));
  EXPECT_EQ("cv", ReadBytes(dir.Posix("inst/R\u00e9sum\u00e9.txt")));

  // A Russian user (ANSI 1251, OEM 866) gets the Cyrillic name; the Unix host's bytes
  // are read in 1251 there.
  env.codePage = 1251;
  env.oemCodePage = 866;
  unpacked.clear();
  MakeDir(dir.Posix("ru"));
  EXPECT_EQ(0, UnpackArchive(W(dir.Win("pack.zip")), W(dir.Win("ru")), unpacked));
  EXPECT_EQ("example", ReadBytes(dir.Posix("ru/\u041f\u0440\u0438\u043c\u0435\u0440.txt")));
  EXPECT_EQ("size", ReadBytes(dir.Posix("ru/Gr\u0446\u042fe.txt")));
}

TEST(BaseName, TheForwardSlashDecidesWheneverThereIsOne) {
  EXPECT_EQ(W("c.txt"), BaseNameOf(W("a\\b/c.txt")));
  EXPECT_EQ(W("b\\c.txt"), BaseNameOf(W("a/b\\c.txt")));
  EXPECT_EQ(W("c.txt"), BaseNameOf(W("c.txt")));
  EXPECT_EQ(W("c.txt"), BaseNameOf(W("a\\c.txt")));
  EXPECT_EQ(W(""), BaseNameOf(W("a/")));
  EXPECT_EQ(W("Galvery.EXE"), BaseNameOf(W("d:/Galvery/RELEASE/Galvery.EXE")));
}

// A code-page name is read as text before it is split: the trail byte 0x5C of a
// double-byte character is part of that character, no separator.
TEST(BaseName, ATrailByteIsNoSeparator) {
  CTestEnv env;
  CScopedEnv use{&env};
  env.codePage = 932;
  EXPECT_EQ(W("表name"), BaseNameOf(CStringW(CString("dir\\\x95\\name"))));
  env.codePage = 1252;
  EXPECT_EQ(W("name"), BaseNameOf(CStringW(CString("dir\\\x95\\name"))));
}

}  // namespace
