// "OK/Save" from start to end: the agreement, the destination directory as typed, the
// pack file, unpacking, the report, the advice or the vendor's address, the shortcut
// question; and the dialog closing after every installation step.
#include "app/setup_app.h"
#include "platform/posix/standin_files.h"
#include "platform/posix/standin_shell.h"
#include "res/resource.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

const char kVendor[] = "Problem in setup program. Please contact the vendor at support@tlvn-software.example";

std::string Advice(const std::string& pack, const std::string& dir) {
  return "Problem in automatic unpacking. Please use 'My Computer' to locate file " + pack + " in the\n" + dir +
         " folder and use an unZIP program to unpack it. This produces the program file\nand its associated files.";
}

class InstallSequence : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    standin::ResetShell();
    standin::ClearInUse();
    ASSERT_EQ(0, mkdir(dir.Posix("Desktop").c_str(), 0777));
    standin::SetDesktopDirectory(dir.Win("Desktop"));
    ZipBuilder zip;
    zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ the program");
    zip.AddDeflated("d:/Galvery/HLP/Galvery.HLP", "the help");
    kArchive = zip.Build();
  }
  void TearDown() override {
    standin::ClearInUse();
    ASSERT_EQ(0, chdir("/"));  // the installation makes its directory the current one
  }

  void WriteSetupFile(const std::string& name, const std::string& archive) {
    WriteBytes(dir.Posix(name), "MZ image " + kMarker + " image" + kMarker + archive);
    standin::SetCommandLine("\"" + dir.Win(name) + "\"");
    standin::SetModuleFileName(dir.Win(name));
  }
  void WriteSetupFile(const std::string& name) { WriteSetupFile(name, kArchive); }
  static ScriptedUser::Step TypeAndSave(const std::string& directory) {
    return [directory](HWND dialog) {
      standin::Type(dialog, IDC_DIRECTORY, directory);
      standin::Press(dialog, IDOK);
    };
  }
  static INT_PTR RunSetup() {
    CSetupApp app;
    AfxWinMain(nullptr, nullptr, nullptr, 1);
    return standin::Dialogs().empty() ? 0 : standin::Dialogs().front().result;
  }
  // Runs the setup file: the user types each directory in turn, presses OK/Save and
  // accepts the agreement; answers the shortcut question with `shortcut` if it comes;
  // and presses Cancel if the dialog is still open at the end.
  INT_PTR Install(const std::vector<std::string>& directories, int shortcut = IDNO) {
    ScriptedUser user;
    for (const std::string& d : directories) {
      user.On(IDD_SETUP_DIALOG, TypeAndSave(d)).On(IDD_AGREEMENT_DIALOG, Press(IDOK));
    }
    user.On(IDD_SETUP_DIALOG, Press(IDCANCEL));
    user.Answer(shortcut);
    const INT_PTR result = RunSetup();
    EXPECT_TRUE(user.problems.empty()) << user.problems.front();
    return result;
  }
  INT_PTR Run(const std::string& name, const std::vector<std::string>& directories) {
    WriteSetupFile(name);
    return Install(directories);
  }
  static std::vector<std::pair<int, INT_PTR>> DialogRuns() {
    std::vector<std::pair<int, INT_PTR>> runs;
    for (const auto& run : standin::Dialogs()) runs.emplace_back(run.templateId, run.result);
    return runs;
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
  ScratchDir dir;
};

TEST_F(InstallSequence, InstallsReportsAndCreatesTheShortcutOnYes) {
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(IDOK, Install({inst}, IDYES));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|", testing_support::MessagesShown());
  EXPECT_EQ(MB_YESNO | MB_ICONEXCLAMATION, standin::MessageBoxes().back().type);
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
  EXPECT_EQ("the help", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery/Galvery_pack.zip")));
  ASSERT_EQ(1u, standin::Shortcuts().size());
  EXPECT_EQ(dir.Win("Desktop") + "\\Galvery.lnk", standin::Shortcuts()[0].path);
  EXPECT_EQ(inst + "\\Galvery.exe", standin::Shortcuts()[0].target);
  EXPECT_EQ("Galvery", standin::Shortcuts()[0].description);
  EXPECT_FALSE(standin::WaitCursorShown());
}

TEST_F(InstallSequence, AShortcutThatCannotBeSavedIsReportedOnce) {
  WriteSetupFile("SetupGalvery.exe");
  standin::SetDesktopDirectory(dir.Win("no desktop"));
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(IDOK, Install({inst}, IDYES));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") +
                "|Can't create the desktop shortcut Galvery.lnk|",
            testing_support::MessagesShown());
  EXPECT_TRUE(standin::Shortcuts().empty());
}

TEST_F(InstallSequence, AReportTooLongForAMessageBoxSaysHowManyMoreFiles) {
  // A message box shows nothing at all of a text beyond about 32,000 characters.
  ZipBuilder zip;
  for (int i = 0; i < 3000; ++i) zip.AddStored("d:/data/file" + std::to_string(i) + ".dat", "x");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Galvery");
  EXPECT_EQ(IDOK, Install({inst}));
  const std::string report = standin::MessageBoxes().at(0).text;
  EXPECT_LE(report.size(), 30000u);
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
  EXPECT_EQ(Question("Galvery"), standin::MessageBoxes().at(1).text);
}

TEST_F(InstallSequence, NoAtTheShortcutQuestionStillClosesAndKeepsThePackFile) {
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}, IDNO));
  EXPECT_TRUE(standin::Shortcuts().empty());
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP", "Galvery_pack.zip"}),
            ListDir(dir.Posix("Galvery")));
}

// Looks at the windows whenever a message box is shown.
class WindowWatcher : public ScriptedUser {
 public:
  struct Seen {
    std::string text;
    bool setupEnabled, progressOpen, ownedByProgress, waitCursor;
    standin::ProgressBar bar;
  };
  int Answer(const standin::MessageBoxShown& box) override {
    const HWND progress = standin::OpenDialog(IDD_PROGRESS_DIALOG);
    seen.push_back({box.text, standin::IsEnabled(standin::OpenDialog(IDD_SETUP_DIALOG)), progress != nullptr,
                    progress && box.owner == progress, standin::WaitCursorShown(),
                    progress ? standin::ProgressOf(progress, IDC_PROGRESS_BAR) : standin::ProgressBar{0, 0, 0}});
    return ScriptedUser::Answer(box);
  }
  std::vector<Seen> seen;
};

TEST_F(InstallSequence, WhileItInstallsTheDialogIsDisabledUnderAProgressWindow) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/first.txt", std::string(5000, 'f'));
  zip.AddDeflated("d:/Galvery/CON", "a device name: not created");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  WindowWatcher user;
  const std::string inst = dir.Win("Galvery");
  user.On(IDD_SETUP_DIALOG, TypeAndSave(inst)).On(IDD_AGREEMENT_DIALOG, Press(IDOK)).Answer(IDNO);
  EXPECT_EQ(IDOK, RunSetup());
  ASSERT_EQ(5u, user.seen.size()) << testing_support::MessagesShown();
  // The failure of the second entry, while it installs: the setup dialog cannot be
  // pressed, the message belongs to the progress window, whose bar is past the first
  // entry; the wait cursor stays.
  for (int i : {0, 1}) {
    EXPECT_FALSE(user.seen[i].setupEnabled) << user.seen[i].text;
    EXPECT_TRUE(user.seen[i].ownedByProgress) << user.seen[i].text;
    EXPECT_TRUE(user.seen[i].waitCursor) << user.seen[i].text;
  }
  EXPECT_EQ("Error unzipping CON.", user.seen[1].text);
  EXPECT_EQ(0, user.seen[1].bar.low);
  EXPECT_EQ(1000, user.seen[1].bar.high);
  EXPECT_GT(user.seen[1].bar.position, 900);
  // The report, the advice and the question come when the window is gone.
  for (int i : {2, 3, 4}) {
    EXPECT_TRUE(user.seen[i].setupEnabled) << user.seen[i].text;
    EXPECT_FALSE(user.seen[i].progressOpen) << user.seen[i].text;
    EXPECT_FALSE(user.seen[i].waitCursor) << user.seen[i].text;
  }
  EXPECT_EQ(Report({inst + "\\first.txt"}), user.seen[2].text);
  EXPECT_GT(standin::MessageQueuePeeks(), 0u);
}

TEST_F(InstallSequence, ADirectoryTypedBeyondTheCodePageIsThatDirectory) {
  // A Russian user on a Western system types a folder in Cyrillic: it is created under
  // that name, and the pack file, the files and the shortcut's target are there.
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Программы");
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG,
          [&](HWND d) {
            standin::TypeWide(d, IDC_DIRECTORY, W(inst).Str());
            standin::Press(d, IDOK);
          })
      .On(IDD_AGREEMENT_DIALOG, Press(IDOK))
      .Answer(IDYES);
  EXPECT_EQ(IDOK, RunSetup());
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|",
            MessagesShownUtf8());
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("Программы/Galvery.EXE")));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Программы/Galvery_pack.zip")));
  ASSERT_EQ(1u, standin::Shortcuts().size());
  EXPECT_EQ(inst + "\\Galvery.exe", standin::Shortcuts()[0].target);
}

TEST_F(InstallSequence, APatternIsNoDirectoryThatExists) {
  // "Down*" would find Downloads as a pattern; as a name it is one no folder can have.
  WriteSetupFile("SetupGalvery.exe");
  ASSERT_EQ(0, mkdir(dir.Posix("Downloads").c_str(), 0777));
  EXPECT_EQ(IDCANCEL, Install({dir.Win("Down*")}));
  EXPECT_EQ("Can't create directory " + dir.Win("Down*") + "|", testing_support::MessagesShown());
  EXPECT_EQ(std::vector<std::string>({"Desktop", "Downloads", "SetupGalvery.exe"}), ListDir(dir.path()));
  EXPECT_TRUE(ListDir(dir.Posix("Downloads")).empty());
}

TEST_F(InstallSequence, AnExistingDirectoryIsUsedUnchanged) {
  ASSERT_EQ(0, mkdir(dir.Posix("Galvery").c_str(), 0555));
  WriteBytes(dir.Posix("Galvery/notes.txt"), "the user's own");
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}));
  EXPECT_EQ("the user's own", ReadBytes(dir.Posix("Galvery/notes.txt")));
  struct stat st;
  ASSERT_EQ(0, stat(dir.Posix("Galvery").c_str(), &st));
  EXPECT_EQ(0555u, st.st_mode & 0777);
}

TEST_F(InstallSequence, ADirectoryThatCannotBeCreatedKeepsTheDialogOpen) {
  ASSERT_EQ(0, mkdir(dir.Posix("there").c_str(), 0777));
  // A missing parent, an empty box, an existing directory with a trailing backslash.
  const std::vector<std::string> typed = {dir.Win("a\\b"), "", dir.Win("there") + "\\"};
  EXPECT_EQ(IDCANCEL, Run("SetupGalvery.exe", typed));
  EXPECT_EQ("Can't create directory " + typed[0] + "|Can't create directory |Can't create directory " +
                typed[2] + "|",
            testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("a")));
  EXPECT_TRUE(ListDir(dir.Posix("there")).empty());
}

TEST_F(InstallSequence, ANewDirectoryTypedWithATrailingBackslashIsCreatedAndJoinedAsTyped) {
  const std::string inst = dir.Win("ZOV") + "\\";
  EXPECT_EQ(IDOK, Run("SetupZov.exe", {inst}));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("ZOV/zov_pack.exe")));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}), standin::MessageBoxes()[0].text);
}

TEST_F(InstallSequence, ARelativeDirectoryIsMadeAbsoluteBeforeAnythingIsCreated) {
  // Typed as "inst" in a setup started from its own folder: the installation changes the
  // current directory to the new one, where a relative pack file path would find nothing.
  WriteSetupFile("SetupGalvery.exe");
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  const std::string inst = dir.path() + "\\inst";
  EXPECT_EQ(IDOK, Install({"inst"}, IDYES));
  EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|",
            testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("inst/Galvery_pack.zip")));
  EXPECT_EQ("MZ the program", ReadBytes(dir.Posix("inst/Galvery.EXE")));
  ASSERT_EQ(1u, standin::Shortcuts().size());
  EXPECT_EQ(inst + "\\Galvery.exe", standin::Shortcuts()[0].target);

  // "." and ".." are resolved, and a parent that is missing is named in full.
  standin::ResetRecords();
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  EXPECT_EQ(IDCANCEL, Install({".\\gone\\..\\missing\\sub"}));
  EXPECT_EQ("Can't create directory " + dir.path() + "\\missing\\sub|", testing_support::MessagesShown());
}

TEST_F(InstallSequence, QuilletAndHarnwickShareOnePackFile) {
  Run("SetupQuillet.exe", {dir.Win("tlvn")});
  ZipBuilder other;
  other.AddStored("Harnwick.EXE", "Harnwick's program");
  WriteSetupFile("SetupHarnwick.exe", other.Build());
  EXPECT_EQ(IDOK, Install({dir.Win("tlvn")}));
  EXPECT_EQ(other.Build(), ReadBytes(dir.Posix("tlvn/Quillet_pack.zip")));
  EXPECT_EQ(Question("Harnwick"), standin::MessageBoxes().back().text);
}

TEST_F(InstallSequence, HoweverItWasStartedTheProgramReadsItsOwnFile) {
  // Arguments behind the path, a name typed without its extension, and the keyword given
  // as an argument to a file whose own name holds none: the command line picks the
  // product, the module path leads to the archive.
  for (const std::string& commandLine : {"\"" + dir.Win("Setup.exe") + "\" GALVERY", std::string("Setup galvery"),
                                         "\"" + dir.Win("Setup.exe") + "\" extra GALVERY"}) {
    standin::ResetRecords();
    WriteSetupFile("Setup.exe");
    standin::SetCommandLine(commandLine);
    const std::string inst = dir.Win("Galvery");
    EXPECT_EQ(IDOK, Install({inst}, IDNO));
    EXPECT_EQ(Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" + Question("Galvery") + "|",
              testing_support::MessagesShown())
        << commandLine;
  }
}

TEST_F(InstallSequence, ASetupFileThatCannotBeReadEndsWithoutTheQuestion) {
  WriteSetupFile("SetupGalvery.exe");
  standin::SetModuleFileName(dir.Win("moved away.exe"));
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}, IDYES));
  EXPECT_EQ("Can't determine file size for " + dir.Win("moved away.exe") + ". Last error 2|",
            testing_support::MessagesShown());
  EXPECT_TRUE(standin::Shortcuts().empty());
}

TEST_F(InstallSequence, NoPayloadEndsWithTheVendorsAddress) {
  WriteBytes(dir.Posix("SetupGalvery.exe"), "MZ image " + kMarker);
  standin::SetCommandLine(dir.Win("SetupGalvery.exe"));
  standin::SetModuleFileName(dir.Win("SetupGalvery.exe"));
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}, IDYES));
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  EXPECT_EQ("No embedded setup data found.|ZIP file " + pack + " not found|" + Report({}) + "|" + kVendor + "|",
            testing_support::MessagesShown());
  EXPECT_TRUE(ListDir(dir.Posix("Galvery")).empty());
}

TEST_F(InstallSequence, APackFileThatCannotBeWrittenEndsWithTheVendorsAddress) {
  WriteSetupFile("SetupGalvery.exe");
  ASSERT_EQ(0, mkdir(dir.Posix("Galvery").c_str(), 0777));
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  standin::MarkInUse(pack);
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}, IDYES));
  EXPECT_EQ("Cannot save setup file|ZIP file " + pack + " not found|" + Report({}) + "|" + kVendor + "|", testing_support::MessagesShown());
}

TEST_F(InstallSequence, AStalePackFileThatCannotBeReplacedIsNeverInstalled) {
  ASSERT_EQ(0, mkdir(dir.Posix("Galvery").c_str(), 0777));
  ZipBuilder old;
  old.AddStored("Old.EXE", "an earlier version");
  WriteBytes(dir.Posix("Galvery/Galvery_pack.zip"), old.Build());
  const std::string pack = dir.Win("Galvery") + "\\Galvery_pack.zip";
  standin::MarkInUse(pack);  // neither deleted nor rewritten
  WriteSetupFile("SetupGalvery.exe");
  EXPECT_EQ(IDOK, Install({dir.Win("Galvery")}, IDYES));
  EXPECT_EQ("Cannot save setup file|The file " + pack +
                " is left from an earlier setup and cannot be replaced. Please close the program that uses it, "
                "delete it and run setup again.|",
            testing_support::MessagesShown());
  EXPECT_EQ(std::vector<std::string>{"Galvery_pack.zip"}, ListDir(dir.Posix("Galvery")));
  EXPECT_TRUE(standin::Shortcuts().empty());
}

TEST_F(InstallSequence, APayloadThatIsNoArchiveGetsTheAdviceAndTheQuestion) {
  WriteSetupFile("SetupGalvery.exe", "no archive at all");
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(IDOK, Install({inst}, IDYES));
  EXPECT_EQ("Error in unZIPping " + pack + "|" + Report({}) + "|" + Advice(pack, inst) + "|" + Question("Galvery") + "|",
            testing_support::MessagesShown());
  // The shortcut points where the program will be once the user has unpacked by hand.
  ASSERT_EQ(1u, standin::Shortcuts().size());
  EXPECT_EQ(inst + "\\Galvery.exe", standin::Shortcuts()[0].target);
}

TEST_F(InstallSequence, AnArchiveWhoseEntriesAllFailStillReportsAdvisesAndAsks) {
  ZipBuilder zip;
  zip.AddStored("RELEASE/CON", "");  // device names: no such files can be made
  zip.AddStored("HLP\\aux.txt", "");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(IDOK, Install({inst}));
  const std::string creation = "Error 123 in creating file " + inst + "\\";
  EXPECT_EQ(creation + "CON|Error unzipping CON.|" + creation + "aux.txt|Error unzipping aux.txt.|" + Report({}) +
                "|" + Advice(pack, inst) + "|" + Question("Galvery") + "|",
            testing_support::MessagesShown());
}

TEST_F(InstallSequence, ACentralDirectoryShortOfItsCountIsSaidOnceAndTheSequenceGoesOn) {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ the program");
  zip.AddDeflated("d:/Galvery/HLP/Galvery.HLP", "the help");
  zip.countOverride = 60000;
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(IDOK, Install({inst}));
  EXPECT_EQ("Can't access component file #3.|" + Report({inst + "\\Galvery.EXE", inst + "\\Galvery.HLP"}) + "|" +
                Advice(pack, inst) + "|" + Question("Galvery") + "|",
            testing_support::MessagesShown());
  EXPECT_EQ("the help", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
}

TEST_F(InstallSequence, AnUpdateWhoseHelpFileIsDamagedKeepsTheInstalledOne) {
  WriteSetupFile("SetupGalvery.exe");
  const std::string inst = dir.Win("Galvery"), pack = inst + "\\Galvery_pack.zip";
  EXPECT_EQ(IDOK, Install({inst}));

  // Version 2: a new program, and a help file whose data no longer matches its CRC-32.
  standin::ResetRecords();
  ZipBuilder update;
  update.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", "MZ version 2");
  update.AddStored("d:/Galvery/HLP/Galvery.HLP", "the new help").payload[4] ^= 0x20;
  WriteSetupFile("SetupGalvery.exe", update.Build());
  EXPECT_EQ(IDOK, Install({inst}));
  EXPECT_EQ("Error unzipping Galvery.HLP.|" + Report({inst + "\\Galvery.EXE"}) + "|" + Advice(pack, inst) + "|" +
                Question("Galvery") + "|",
            testing_support::MessagesShown());
  EXPECT_EQ("MZ version 2", ReadBytes(dir.Posix("Galvery/Galvery.EXE")));
  EXPECT_EQ("the help", ReadBytes(dir.Posix("Galvery/Galvery.HLP")));
  EXPECT_EQ(std::vector<std::string>({"Galvery.EXE", "Galvery.HLP", "Galvery_pack.zip"}),
            ListDir(dir.Posix("Galvery")));
}

TEST_F(InstallSequence, AnEmptyArchiveAndADirectoryEntryAreReportedAsTheyAre) {
  WriteSetupFile("SetupGalvery.exe", ZipBuilder().Build());
  EXPECT_EQ(IDOK, Install({dir.Win("Empty")}));
  EXPECT_EQ(Report({}) + "|" + Question("Galvery") + "|", testing_support::MessagesShown());

  standin::ResetRecords();
  ZipBuilder zip;
  zip.AddDirectory("docs/");
  WriteSetupFile("SetupGalvery.exe", zip.Build());
  const std::string inst = dir.Win("Dirs");
  EXPECT_EQ(IDOK, Install({inst}));
  EXPECT_EQ(Report({inst + "\\"}), standin::MessageBoxes()[0].text);
  EXPECT_TRUE(Exists(dir.Posix("Dirs/docs")));
}

TEST_F(InstallSequence, DecliningTheAgreementKeepsTheDialogOpenAndWritesNothingUntilAccepted) {
  WriteSetupFile("SetupGalvery.exe");
  bool writtenBeforeAcceptance = true;
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG, TypeAndSave(dir.Win("Galvery")))
      .On(IDD_AGREEMENT_DIALOG, testing_support::Press(IDCANCEL))
      // The close box declines too.
      .On(IDD_SETUP_DIALOG, TypeAndSave(dir.Win("Galvery")))
      .On(IDD_AGREEMENT_DIALOG, [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); })
      .On(IDD_SETUP_DIALOG, [&](HWND d) {
        writtenBeforeAcceptance = Exists(dir.Posix("Galvery"));
        TypeAndSave(dir.Win("Galvery"))(d);
      })
      .On(IDD_AGREEMENT_DIALOG, testing_support::Press(IDOK))
      .Answer(IDNO);
  EXPECT_EQ(IDOK, RunSetup());
  EXPECT_TRUE(user.AllStepsRan());
  EXPECT_FALSE(writtenBeforeAcceptance);
  const std::vector<std::pair<int, INT_PTR>> expected = {{IDD_SETUP_DIALOG, IDOK},
                                                         {IDD_AGREEMENT_DIALOG, IDCANCEL},
                                                         {IDD_AGREEMENT_DIALOG, IDCANCEL},
                                                         {IDD_AGREEMENT_DIALOG, IDOK},
                                                         {IDD_PROGRESS_DIALOG, 0}};
  EXPECT_EQ(expected, DialogRuns());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery/Galvery_pack.zip")));
  EXPECT_TRUE(Exists(dir.Posix("Galvery/Galvery.EXE")));
}

TEST_F(InstallSequence, AnAgreementThatWasNeverAnsweredIsNotAnAcceptance) {
  WriteSetupFile("SetupGalvery.exe");
  ScriptedUser user;
  // No step for the agreement: the stand-in abandons it, and DoModal gives -1.
  user.On(IDD_SETUP_DIALOG, TypeAndSave(dir.Win("Galvery"))).On(IDD_SETUP_DIALOG, testing_support::Press(IDCANCEL));
  EXPECT_EQ(IDCANCEL, RunSetup());
  const std::vector<std::pair<int, INT_PTR>> expected = {{IDD_SETUP_DIALOG, IDCANCEL}, {IDD_AGREEMENT_DIALOG, -1}};
  EXPECT_EQ(expected, DialogRuns());
  EXPECT_FALSE(Exists(dir.Posix("Galvery")));
  EXPECT_EQ("", testing_support::MessagesShown());
}

TEST_F(InstallSequence, TheAgreementShowsTheSetupDialogsLinesWrapped) {
  WriteSetupFile("SetupGalvery.exe");
  std::string shown;
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG, TypeAndSave(dir.Win("Galvery")))
      .On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
        standin::Paint(d);
        shown = standin::ControlText(d, IDC_AGREEMENT_TEXT);
        standin::Press(d, IDCANCEL);
      })
      .On(IDD_SETUP_DIALOG, testing_support::Press(IDCANCEL));
  RunSetup();
  EXPECT_EQ(0u, shown.find("LICENSOR MAKES NO GUARANTEE "));
  EXPECT_NE(std::string::npos, shown.find(" \r\n\r\nLICENSEE ACKNOWLEDGES "));
  EXPECT_EQ(" \r\n", shown.substr(shown.size() - 3));
}

}  // namespace
