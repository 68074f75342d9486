// "OK/Save" from start to end: the agreement, the destination directory as typed, the
// pack file, unpacking, the report, the advice or the vendor's address, the shortcut
// question; and whether the setup dialog closes after the step or stays open.
#include "app/install_sequence.h"
#include "payload/install_room.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

#include <deque>

using namespace testing_support;

namespace {

const char kVendor[] = "Problem in setup program. Please contact the vendor at support@tlvn-software.example";

std::string Advice(const std::string& pack, const std::string& dir) {
  return "Problem in automatic unpacking. Please use 'My Computer' to locate file " + pack + " in the\n" + dir +
         " folder and use an unZIP program to unpack it. This produces the program file\nand its associated files.";
}

// The windows as the user works them: an answer to each agreement, a directory typed for
// each "OK/Save"; and what the installation showed them.
class CFakeScreens : public CSetupScreens, public CInstallProgress {
 public:
  std::deque<bool> accepts;         // one per agreement shown
  std::deque<std::wstring> typed;   // one per "OK/Save"
  int agreementsShown = 0;
  std::vector<std::string> agreementLines;  // of the last one shown
  bool working = false;
  int worksBegun = 0;
  uint64_t stageTotal = 0, written = 0;
  int writtenCalls = 0;

  bool AgreementAccepted(const CStringList& lines) override {
    ++agreementsShown;
    agreementLines.clear();
    for (POSITION pos = lines.GetHeadPosition(); pos;) agreementLines.push_back(lines.GetNext(pos).GetString());
    if (accepts.empty()) return false;
    const bool accepted = accepts.front();
    accepts.pop_front();
    return accepted;
  }
  CStringW TypedDirectory() override {
    if (typed.empty()) return CStringW();
    const CStringW directory(typed.front());
    typed.pop_front();
    return directory;
  }
  CInstallProgress& BeginWork(const CStringW&, const CStringW&) override {
    EXPECT_FALSE(working) << "the work began twice";
    working = true;
    ++worksBegun;
    return *this;
  }
  void EndWork() override { working = false; }
  void BeginStage(InstallStage, uint64_t total) override {
    stageTotal = total;
    written = 0;
  }
  void Written(uint64_t done) override {
    EXPECT_GE(done, written);
    EXPECT_LE(done, stageTotal);
    written = done;
    ++writtenCalls;
  }
};

enum class Ended { kInstalled, kStillOpen };

class InstallSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDir(dir.Posix("Desktop"));
    env.desktop = W(dir.Win("Desktop")).Str();
    ZipBuilder zip;
    zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ the program");
    zip.AddDeflated("d:/Galvery/HLP/Galvery.HLP", "the help");
    kArchive = zip.Build();
    saved = CurrentDir();
  }
  // The installation makes its directory the current one.
  void TearDown() override { ChangeDir(saved); }

  void WriteSetupFile(const std::string& name, const std::string& archive) {
    WriteBytes(dir.Posix(name), "MZ image " + kMarker + " image" + kMarker + archive);
    env.commandLine = "\"" + dir.Win(name) + "\"";
    env.modulePath = W(dir.Win(name)).Str();
  }
  void WriteSetupFile(const std::string& name) { WriteSetupFile(name, kArchive); }

  // Runs the setup file: the user types each directory in turn, presses OK/Save and
  // accepts the agreement, until the setup dialog closes; answers the shortcut question
  // with `shortcut` if it comes. kStillOpen when the dialog is left open at the end (the
  // user then cancels).
  Ended Install(const std::vector<std::string>& directories, bool shortcut = false) {
    CSetupTarget target;
    EXPECT_NE(nullptr, StartSetup(CString(env.commandLine.c_str()), target)) << env.commandLine;
    env.answers.push_back(shortcut);
    for (const std::string& d : directories) {
      screens.typed.push_back(W(d).Str());
      screens.accepts.push_back(true);
      if (RunInstallation(screens, target)) {
        EXPECT_FALSE(screens.working) << "the work did not end";
        return Ended::kInstalled;
      }
    }
    return Ended::kStillOpen;
  }
  Ended Run(const std::string& name, const std::vector<std::string>& directories) {
    WriteSetupFile(name);
    return Install(directories);
  }
  std::string Report(const std::vector<std::string>& files) const {
    std::string report = "Unpacked files:\n";
    for (const auto& f : files) report += f + "\n";
    return report;
  }
  std::string Question(const std::string& product) const {
    return "Do you want to create a desktop shortcut icon for " + product + "?";
  }

  const std::string kMarker = std::string(8, 'U');
  std::string kArchive;
  CTestEnv env;
  CScopedEnv use{&env};
  CFakeScreens screens;
  ScratchDir dir;
  std::string saved;
};

TEST_F(InstallSequence, InstallsReportsAndCreatesTheShortcutOnYes) {
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(Ended::kInstalled, Install({inst}, true));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|", env.Told());
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
  EXPECT_EQ("the help", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery/Galvery_pack.zip")));
  ASSERT_EQ(1u, env.shortcuts.size());
  EXPECT_EQ(dir.Win("Desktop") + "\\Galvery.lnk", env.shortcuts[0].path);
  EXPECT_EQ(inst + "\\Galvery.exe", env.shortcuts[0].target);
  EXPECT_EQ("Galvery", env.shortcuts[0].description);
  EXPECT_TRUE(Exists(dir.Posix("Desktop/Galvery.lnk")));
  EXPECT_EQ(1, screens.worksBegun);
  EXPECT_FALSE(screens.working);
}

TEST_F(InstallSequence, AShortcutThatCannotBeSavedIsReportedOnce) {
  WriteSetupFile("SetupGalvery.exe");
  env.desktop = W(dir.Win("no desktop")).Str();
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(Ended::kInstalled, Install({inst}, true));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") +
                "|Can't create the desktop shortcut Galvery.lnk|",
            env.Told());
  EXPECT_TRUE(env.shortcuts.empty());
}

TEST_F(InstallSequence, AReportTooLongForAMessageBoxSaysHowManyMoreFiles) {
  // A message box shows nothing at all of a text beyond about 32,000 characters.
  ZipBuilder zip;
  for (int i = 0; i < 3000; ++i) zip.AddStored("d:/data/file" + std::to_string(i) + ".dat", "x");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  ASSERT_EQ(2u, env.told.size());
  const std::string report = Utf8(env.told[0]);
  EXPECT_LE(env.told[0].size(), 30000u);
  std::vector<std::string> listed;
  std::string more;
  for (size_t at = report.find('\n') + 1, nl; (nl = report.find('\n', at)) != std::string::npos; at = nl + 1) {
    const std::string line = report.substr(at, nl - at);
    if (line.rfind(inst, 0) == 0) listed.push_back(line);
    else more = line;
  }
  ASSERT_GT(listed.size(), 500u);
  for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(inst + "\\file" + std::to_string(i) + ".dat", listed[i]);
  EXPECT_EQ("and " + std::to_string(3000 - listed.size()) + " more files", more);
  EXPECT_EQ(3001u, ListDir(dir.Posix("Galvery")).size());  // every file, and the pack file
  EXPECT_EQ(Question("Galvery"), Utf8(env.told[1]));
}

TEST_F(InstallSequence, NoAtTheShortcutQuestionStillClosesAndKeepsThePackFile) {
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, false));
  EXPECT_TRUE(env.shortcuts.empty());
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP", "Galvery_pack.zip"}),
            ListDir(dir.Posix("Galvery")));
}

TEST_F(InstallSequence, FailuresWhileItWorksAreToldUnderTheProgressAndTheReportAfterIt) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/first.txt", std::string(5000, 'f'));
  zip.AddDeflated("d:/Galvery/CON", "a device name: not created");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  struct Seen {
    std::string text;
    bool working;
    uint64_t written, total;
  };
  std::vector<Seen> seen;
  env.onTell = [&](const std::wstring& text) {
    seen.push_back({Utf8(text), screens.working, screens.written, screens.stageTotal});
  };
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  ASSERT_EQ(5u, seen.size()) << env.Told();
  // The failure of the second entry, while it installs: the progress is past the first
  // entry and the window is still up.
  EXPECT_EQ("Error 123 in creating file " + inst + "\\CON", seen[0].text);
  EXPECT_EQ("Error unzipping CON.", seen[1].text);
  for (int i : {0, 1}) EXPECT_TRUE(seen[i].working) << seen[i].text;
  EXPECT_GE(seen[1].written, 5000u);
  // The report, the advice and the question come when the window is gone, the bar full.
  EXPECT_EQ(Report({inst + "\\first.txt"}), seen[2].text);
  for (int i : {2, 3, 4}) EXPECT_FALSE(seen[i].working) << seen[i].text;
  EXPECT_EQ(seen[2].total, seen[2].written);
  EXPECT_GT(screens.writtenCalls, 2);
}

TEST_F(InstallSequence, ADirectoryTypedBeyondTheCodePageIsThatDirectory) {
  // A Russian user on a Western system types a folder in Cyrillic: it is created under
  // that name, and the pack file, the files and the shortcut's target are there.
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Программы");
  EXPECT_EQ(Ended::kInstalled, Install({inst}, true));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|", env.Told());
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("Программы/Galvery.EXE")));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Программы/Galvery_pack.zip")));
  ASSERT_EQ(1u, env.shortcuts.size());
  EXPECT_EQ(inst + "\\Galvery.exe", env.shortcuts[0].target);
}

TEST_F(InstallSequence, APatternIsNoDirectoryThatExists) {
  // "Down*" would find Downloads as a pattern; as a name it is one no folder can have.
  WriteSetupFile("SetupGalvery.exe");
  MakeDir(dir.Posix("Downloads"));
  EXPECT_EQ(Ended::kStillOpen, Install({dir.Win("Down*")}));
  EXPECT_EQ("Can't create directory " + dir.Win("Down*") + "|", env.Told());
  EXPECT_EQ(std::vector<std::string>({"Desktop", "Downloads", "SetupGalvery.exe"}), ListDir(dir.path()));
  EXPECT_TRUE(ListDir(dir.Posix("Downloads")).empty());
}

TEST_F(InstallSequence, AnExistingDirectoryIsUsedUnchanged) {
  MakeDir(dir.Posix("Galvery"));
  WriteBytes(dir.Posix("Galvery/notes.txt"), "the user's own");
  SetModifiedAt(dir.Posix("Galvery/notes.txt"), 1000000000);
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}));
  EXPECT_EQ("the user's own", ReadBytes(dir.Posix("Galvery/notes.txt")));
  EXPECT_EQ(1000000000, ModifiedAt(dir.Posix("Galvery/notes.txt")));
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP", "Galvery_pack.zip", "notes.txt"}),
            ListDir(dir.Posix("Galvery")));
}

TEST_F(InstallSequence, ADirectoryThatCannotBeCreatedKeepsTheDialogOpen) {
  MakeDir(dir.Posix("there"));
  // A missing parent, an empty box, an existing directory with a trailing backslash.
  const std::vector<std::string> typed = {dir.Win("a\\b"), "", dir.Win("there") + "\\"};
  EXPECT_EQ(Ended::kStillOpen, Run("SetupGalvery.exe", typed));
  EXPECT_EQ("Can't create directory " + typed[0] + "|Can't create directory |Can't create directory " + typed[2] +
                "|",
            env.Told());
  EXPECT_FALSE(Exists(dir.Posix("a")));
  EXPECT_TRUE(ListDir(dir.Posix("there")).empty());
  EXPECT_EQ(3, screens.agreementsShown);  // every try shows the agreement first
  EXPECT_EQ(0, screens.worksBegun);
}

TEST_F(InstallSequence, ANewDirectoryTypedWithATrailingBackslashIsCreatedAndJoinedAsTyped) {
  const std::string inst = dir.Win("ZOV") + "\\";
  EXPECT_EQ(Ended::kInstalled, Run("SetupZov.exe", {inst}));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("ZOV/zov_pack.exe")));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}), Utf8(env.told.at(0)));
}

TEST_F(InstallSequence, ARelativeDirectoryIsMadeAbsoluteBeforeAnythingIsCreated) {
  // Typed as "inst" in a setup started from its own folder: the installation changes the
  // current directory to the new one, where a relative pack file path would find nothing.
  WriteSetupFile("SetupGalvery.exe");
  ChangeDir(dir.path());
  const std::string here = CurrentDir();
  const std::string inst = here + "\\inst";
  EXPECT_EQ(Ended::kInstalled, Install({"inst"}, true));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|", env.Told());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("inst/Galvery_pack.zip")));
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("inst/Galvery.EXE")));
  ASSERT_EQ(1u, env.shortcuts.size());
  EXPECT_EQ(inst + "\\Galvery.exe", env.shortcuts[0].target);

  // "." and ".." are resolved, and a parent that is missing is named in full.
  env.told.clear();
  ChangeDir(dir.path());
  EXPECT_EQ(Ended::kStillOpen, Install({".\\gone\\..\\missing\\sub"}));
  EXPECT_EQ("Can't create directory " + here + "\\missing\\sub|", env.Told());
}

TEST_F(InstallSequence, QuilletAndHarnwickShareOnePackFile) {
  Run("SetupQuillet.exe", {dir.Win("tlvn")});
  ZipBuilder other;
  other.AddStored("Harnwick.EXE", "Harnwick's program");
  WriteSetupFile("SetupHarnwick.exe", other.Build());
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("tlvn")}));
  EXPECT_EQ(other.Build(), ReadBytes(dir.Posix("tlvn/Quillet_pack.zip")));
  EXPECT_EQ(Question("Harnwick"), Utf8(env.told.back()));
}

TEST_F(InstallSequence, HoweverItWasStartedTheProgramReadsItsOwnFile) {
  // Arguments behind the path, a name typed without its extension, and the keyword given
  // as an argument to a file whose own name holds none: the command line picks the
  // product, the module path leads to the archive.
  for (const std::string& commandLine : {"\"" + dir.Win("Setup.exe") + "\" GALVERY", std::string("Setup galvery"),
                                         "\"" + dir.Win("Setup.exe") + "\" extra GALVERY"}) {
    env.told.clear();
    WriteSetupFile("Setup.exe");
    env.commandLine = commandLine;
    const std::string inst = dir.Win("Galvery");
    EXPECT_EQ(Ended::kInstalled, Install({inst}));
    EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|", env.Told())
        << commandLine;
  }
}

TEST_F(InstallSequence, ASetupFileThatCannotBeReadEndsWithoutTheQuestion) {
  WriteSetupFile("SetupGalvery.exe");
  env.modulePath = W(dir.Win("moved away.exe")).Str();
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, true));
  EXPECT_EQ("Can't determine file size for " + dir.Win("moved away.exe") + ". Last error 2|", env.Told());
  EXPECT_TRUE(env.shortcuts.empty());
}

TEST_F(InstallSequence, NoPayloadEndsWithTheVendorsAddress) {
  WriteBytes(dir.Posix("SetupGalvery.exe"), "MZ image " + kMarker);
  env.commandLine = dir.Win("SetupGalvery.exe");
  env.modulePath = W(dir.Win("SetupGalvery.exe")).Str();
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, true));
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  EXPECT_EQ("No embedded setup data found.|ZIP file " + pack + " not found|" + Report({}) + "|" + kVendor + "|",
            env.Told());
  EXPECT_TRUE(ListDir(dir.Posix("Galvery")).empty());
}

TEST_F(InstallSequence, APackFileThatCannotBeWrittenEndsWithTheVendorsAddress) {
  WriteSetupFile("SetupGalvery.exe");
  MakeDir(dir.Posix("Galvery"));
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  env.MarkInUse(pack);
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, true));
  EXPECT_EQ("Cannot save setup file|ZIP file " + pack + " not found|" + Report({}) + "|" + kVendor + "|", env.Told());
}

TEST_F(InstallSequence, AStalePackFileThatCannotBeReplacedIsNeverInstalled) {
  MakeDir(dir.Posix("Galvery"));
  ZipBuilder old;
  old.AddStored("Old.EXE", "an earlier version");
  WriteBytes(dir.Posix("Galvery/Galvery_pack.zip"), old.Build());
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  env.MarkInUse(pack);  // neither deleted nor rewritten
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, true));
  EXPECT_EQ("Cannot save setup file|The file " + pack +
                " is left from an earlier setup and cannot be replaced. Please close the program that uses it, "
                "delete it and run setup again.|",
            env.Told());
  EXPECT_EQ(std::vector<std::string>{"Galvery_pack.zip"}, ListDir(dir.Posix("Galvery")));
  EXPECT_TRUE(env.shortcuts.empty());
}

// Not whole: no archive at all, a download cut short, a central directory short of its
// count. One message naming the setup file, nothing written, and the setup is over.
TEST_F(InstallSequence, ASetupFileThatIsNotWholeIsRefusedBeforeAnythingIsWritten) {
  ZipBuilder shortOfCount;
  shortOfCount.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ the program");
  shortOfCount.countOverride = 60000;
  const std::string payloads[] = {"no archive at all", kArchive.substr(0, kArchive.size() * 6 / 10),
                                  shortOfCount.Build()};
  for (const std::string& payload : payloads) {
    env.told.clear();
    WriteSetupFile("SetupGalvery.exe", payload);
    EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Galvery")}, true));
    EXPECT_EQ("The setup file " + dir.Win("SetupGalvery.exe") +
                  " is incomplete or damaged. Please obtain a new copy of it and run it again.|",
              env.Told());
    EXPECT_FALSE(Exists(dir.Posix("Galvery")));
    EXPECT_TRUE(env.shortcuts.empty());
  }
}

TEST_F(InstallSequence, AnArchiveWhoseEntriesAllFailStillReportsAdvisesAndAsks) {
  ZipBuilder zip;
  zip.AddStored("RELEASE/CON", "");  // device names: no such files can be made
  zip.AddStored("HLP\\aux.txt", "");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  const std::string creation = "Error 123 in creating file " + inst + "\\";
  EXPECT_EQ(creation + "CON|Error unzipping CON.|" + creation + "aux.txt|Error unzipping aux.txt.|" + Report({}) +
                "|" + Advice(pack, inst) + "|" + Question("Galvery") + "|",
            env.Told());
}

// Sealed, one flipped bit in the data of its last entry, over an installed version: the
// structure holds, the seal does not. The pack file goes, nothing is unpacked, and the
// installed files stay as they were.
TEST_F(InstallSequence, ASealedArchiveThatIsNotTheOneSealedInstallsNothing) {
  const std::string inst = dir.Win("Galvery");
  MakeDir(dir.Posix("Galvery"));
  WriteBytes(dir.Posix("Galvery/Galvery.HLP"), "the help of version 1");
  ZipBuilder zip;
  zip.AddStored("d:/Galvery/RELEASE/Galvery.EXE", "MZ the program");
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "the help of version 2");
  zip.comment = "seal:crc32:00000000";
  std::string sealed = testing_support::Sealed(zip.Build());
  sealed[sealed.find("version 2") + 8] ^= 0x01;
  WriteSetupFile("SetupGalvery.exe", sealed);
  EXPECT_EQ(Ended::kInstalled, Install({inst}, true));
  EXPECT_EQ("The setup file " + dir.Win("SetupGalvery.exe") +
                " is incomplete or damaged. Please obtain a new copy of it and run it again.|",
            env.Told());
  EXPECT_EQ(std::vector<std::string>{"Galvery.HLP"}, ListDir(dir.Posix("Galvery")));
  EXPECT_EQ("the help of version 1", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
  EXPECT_TRUE(env.shortcuts.empty());

  // Sealed as built, it installs.
  env.told.clear();
  WriteSetupFile("SetupGalvery.exe", testing_support::Sealed(zip.Build()));
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  EXPECT_EQ("the help of version 2", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
}

// Too little room: one message with the folder, the room needed and the room free, and
// the dialog stays open for another directory.
TEST_F(InstallSequence, ADiskWithoutRoomKeepsTheDialogOpenAndWritesNothing) {
  env.freeSpace = 1000;
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(Ended::kStillOpen, Install({inst}));
  // The pack file and two small files, a cluster each, and the megabyte of margin.
  EXPECT_EQ("Not enough room on the disk for " + inst +
                ": the installation needs 1.0 MB, and 0.0 MB are free. Please make room, or choose another "
                "directory.|",
            env.Told());
  EXPECT_FALSE(Exists(dir.Posix("Galvery")));
  env.freeSpace = -1;
  env.told.clear();
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
}

// Over an installed version, on a disk that could not hold a fresh installation beside
// it: the earlier versions the files replace count, and it installs.
TEST_F(InstallSequence, ATightDiskOverAnInstalledVersionCountsTheRoomItsFilesGiveBack) {
  const std::string inst = dir.Win("Galvery");
  const uint64_t kMiB = 1 << 20;
  ZipBuilder zip;
  zip.AddStored("d:/Galvery/RELEASE/Galvery.EXE", std::string(3 * kMiB, 'a'));
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  // Fresh it would need the pack file, the program and the margin, 7 MiB; over version
  // 1, whose pack file and program go, the new program and the margin.
  env.told.clear();
  env.freeSpace = int64_t(5 * kMiB);
  ZipBuilder update;
  update.AddStored("d:/Galvery/RELEASE/Galvery.EXE", std::string(3 * kMiB, 'b'));
  WriteSetupFile("SetupGalvery.exe", update.Build());
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  EXPECT_EQ(std::string(3 * kMiB, 'b'), ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
  // Where the old files are not there to go, the fresh count holds.
  env.told.clear();
  EXPECT_EQ(Ended::kStillOpen, Install({dir.Win("Other")}));
  EXPECT_EQ("Not enough room on the disk for " + dir.Win("Other") +
                ": the installation needs 7.0 MB, and 5.0 MB are free. Please make room, or choose another "
                "directory.|",
            env.Told());
}

// The files' room in the order they are written: a new version beside the old one until
// it replaces it, whole clusters, a megabyte of margin; a pack file deleted first frees its room.
TEST(InstallRoom, TheRoomIsTheFilesPeakInClustersWithAMargin) {
  const uint64_t kMiB = 1 << 20;
  CRoomCount fresh;
  fresh.Add(1, 0);
  fresh.Add(10000, 0);
  EXPECT_EQ(4096 + 4096 + 12288 + kMiB, fresh.Needed(4096, 0));
  // A large file over its larger old version, then a new one: the peak is the first.
  CRoomCount upgrade;
  upgrade.Add(8 * kMiB, 9 * kMiB);
  upgrade.Add(kMiB, 0);
  EXPECT_EQ(8 * kMiB + kMiB, upgrade.Needed(0, 0));
  EXPECT_EQ(kMiB, upgrade.Needed(2 * kMiB, 10 * kMiB));
}

// A directory still to be made has the room of the nearest folder above it that exists;
// a drive's root is measured with its separator, and a path that runs out of folders
// measures nothing.
TEST(InstallRoom, TheFreeRoomOfADirectoryToBeMadeIsMeasuredWhereItWillBe) {
  struct CRootOnly : CEnvWrapper {
    CRootOnly() : CEnvWrapper(CEnv::Default()) {}
    SysError FreeSpace(const std::wstring& path, uint64_t* bytes) override {
      asked.push_back(path);
      if (path != L"c:\\") return kSysPathNotFound;
      *bytes = 123456;
      return kSysOk;
    }
    std::vector<std::wstring> asked;
  } env;
  CScopedEnv use(&env);
  uint64_t bytes = 0;
  EXPECT_TRUE(FreeRoomFor(CStringW(L"c:\\Programs\\Galvery\\"), &bytes));
  EXPECT_EQ(123456u, bytes);
  EXPECT_EQ((std::vector<std::wstring>{L"c:\\Programs\\Galvery\\", L"c:\\Programs\\", L"c:\\"}), env.asked);
  env.asked.clear();
  EXPECT_FALSE(FreeRoomFor(CStringW(L"d:\\Galvery"), &bytes));
  EXPECT_EQ((std::vector<std::wstring>{L"d:\\Galvery", L"d:\\"}), env.asked);
}

TEST(InstallRoom, AnEarlierVersionIsLookedUpUnderTheNameItWasInstalledAs) {
  ScratchDir dir;
  MakeDir(dir.Posix("Galvery"));
  WriteBytes(dir.Posix("Galvery/Galvery.EXE"), std::string(100000, 'x'));
  const PayloadEntry program = {"d:/Galvery/RELEASE/Galvery.EXE", "", 0, 0x031E, 100000};
  const PayloadEntry added = {"d:/Galvery/new.txt", "", 0, 0x031E, 10};
  PayloadLayout layout;
  CInstallRoom over(W(dir.Win("Galvery")), true), fresh(W(dir.Win("Galvery")), false);
  for (CInstallRoom* room : {&over, &fresh}) {
    CInstallRoom::Visit(room, program);
    CInstallRoom::Visit(room, added);
  }
  const CStringW pack = W(dir.Win("Galvery\\Galvery_pack.zip"));
  EXPECT_EQ(102400 + (1u << 20), over.Needed(layout, pack));
  EXPECT_EQ(102400 + 4096 + (1u << 20), fresh.Needed(layout, pack));
}

TEST_F(InstallSequence, AnUpdateWhoseHelpFileIsDamagedKeepsTheInstalledOne) {
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(Ended::kInstalled, Install({inst}));

  // Version 2: a new program, and a help file whose data no longer matches its CRC-32.
  env.told.clear();
  ZipBuilder update;
  update.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ version 2");
  update.AddStored("d:/Galvery/HLP/Galvery.HLP", "the new help").payload[4] ^= 0x20;
  WriteSetupFile("SetupGalvery.exe", update.Build());
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  EXPECT_EQ("Error unzipping Galvery.HLP.|" + Report({inst + "\\Galvery.EXE"}) + "|" + Advice(pack, inst) + "|" +
                Question("Galvery") + "|",
            env.Told());
  EXPECT_EQ("MZ version 2", ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
  EXPECT_EQ("the help", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP", "Galvery_pack.zip"}),
            ListDir(dir.Posix("Galvery")));
}

TEST_F(InstallSequence, AnEmptyArchiveAndADirectoryEntryAreReportedAsTheyAre) {
  WriteSetupFile("SetupGalvery.exe", ZipBuilder().Build());
  EXPECT_EQ(Ended::kInstalled, Install({dir.Win("Empty")}));
  EXPECT_EQ(Report({}) + "|" + Question("Galvery") + "|", env.Told());

  env.told.clear();
  ZipBuilder zip;
  zip.AddDirectory("docs/");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Dirs");
  EXPECT_EQ(Ended::kInstalled, Install({inst}));
  EXPECT_EQ(Report({inst + "\\"}), Utf8(env.told.at(0)));
  EXPECT_TRUE(Exists(dir.Posix("Dirs/docs")));
}

TEST_F(InstallSequence, DecliningTheAgreementKeepsTheDialogOpenAndWritesNothingUntilAccepted) {
  WriteSetupFile("SetupGalvery.exe");
  CSetupTarget target;
  ASSERT_NE(nullptr, StartSetup(CString(env.commandLine.c_str()), target));
  for (int i = 0; i < 2; ++i) {
    screens.accepts.push_back(false);
    screens.typed.push_back(W(dir.Win("Galvery")).Str());
    EXPECT_FALSE(RunInstallation(screens, target));
    EXPECT_FALSE(Exists(dir.Posix("Galvery")));
  }
  screens.typed.clear();
  screens.accepts.push_back(true);
  screens.typed.push_back(W(dir.Win("Galvery")).Str());
  EXPECT_TRUE(RunInstallation(screens, target));
  EXPECT_EQ(3, screens.agreementsShown);
  EXPECT_EQ(1, screens.worksBegun);
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery/Galvery_pack.zip")));
  EXPECT_TRUE(Exists(dir.Posix("Galvery/Galvery.EXE")));
}

TEST_F(InstallSequence, TheAgreementIsTwoParagraphsAroundAnEmptyLine) {
  WriteSetupFile("SetupGalvery.exe");
  CSetupTarget target;
  ASSERT_NE(nullptr, StartSetup(CString(env.commandLine.c_str()), target));
  screens.accepts.push_back(false);
  EXPECT_FALSE(RunInstallation(screens, target));
  ASSERT_EQ(3u, screens.agreementLines.size());
  EXPECT_EQ(0u, screens.agreementLines[0].find("LICENSOR MAKES NO GUARANTEE "));
  EXPECT_EQ("", screens.agreementLines[1]);
  EXPECT_EQ(0u, screens.agreementLines[2].find("LICENSEE ACKNOWLEDGES "));
}

}  // namespace
