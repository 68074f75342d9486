// The setup program from its start: which product its command line selects, what the
// setup dialog shows, and the refusal of an unrecognised setup file name.
#include "app/product_profiles.h"
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <unistd.h>

using testing_support::ScratchDir;
using testing_support::ScriptedUser;

namespace {

// Opens the dialog's fields to the test.
class SetupDlgProbe : public CSetupDlg {
 public:
  using CSetupDlg::m_agreementLines;
  using CSetupDlg::m_chPackSelector;
  using CSetupDlg::m_strDirectory;
  using CSetupDlg::m_strProductName;
  using CSetupDlg::m_strSetupFile;
};

struct Shown {
  std::string caption;
  std::string directory;
};

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    ASSERT_EQ(0, chdir(scratch.path().c_str()));
  }
  void TearDown() override { ASSERT_EQ(0, chdir("/")); }

  static std::string WithoutQuotes(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '"'), s.end());
    return s;
  }

  // Starts the whole program as if from `commandLine`; the user reads the dialog and
  // presses Cancel.
  Shown RunAndCancel(const std::string& commandLine) {
    standin::SetCommandLine(commandLine);
    standin::SetModuleFileName(WithoutQuotes(commandLine));
    Shown shown;
    ScriptedUser user;
    user.On(IDD_SETUP_DIALOG, [&](HWND dialog) {
      shown.caption = standin::WindowText(dialog);
      shown.directory = standin::ControlText(dialog, IDC_DIRECTORY);
      standin::Press(dialog, IDCANCEL);
    });
    CSetupApp app;
    EXPECT_EQ(0, AfxWinMain(nullptr, nullptr, nullptr, 1));
    EXPECT_TRUE(user.problems.empty()) << user.problems.front();
    return shown;
  }

  ScratchDir scratch;
};

TEST_F(SetupProgram, SelectsTheProductNamedInTheFileNameWithOrWithoutQuotes) {
  for (const char* line : {"\"C:\\Downloads\\SetupGalvery.exe\"", "C:\\Downloads\\SetupGalvery.exe",
                           "C:\\Downloads\\setupgalvery.exe", "galvery.exe"}) {
    const Shown shown = RunAndCancel(line);
    EXPECT_EQ("Setup Galvery", shown.caption) << line;
    EXPECT_EQ("c:\\Galvery", shown.directory) << line;
  }
}

TEST_F(SetupProgram, KeywordInADirectoryCountsLikeOneInTheFileName) {
  const Shown shown = RunAndCancel("C:\\ZOV\\Setup.exe");
  EXPECT_EQ("Setup ZOV", shown.caption);
  EXPECT_EQ("c:\\ZOV", shown.directory);
}

TEST_F(SetupProgram, TheEarlierRowWinsWhereverTheKeywordsStand) {
  EXPECT_EQ("Setup Quillet", RunAndCancel("C:\\Tolvane\\SetupQuillet.exe").caption);
  EXPECT_EQ("Setup Quillet", RunAndCancel("C:\\Quillet\\SetupTolvane.exe").caption);
  // LORIMAX is the last row: ZOV, earlier, wins even when it stands later in the line.
  EXPECT_EQ("Setup ZOV", RunAndCancel("C:\\Lorimax\\SetupZov.exe").caption);
}

TEST_F(SetupProgram, EveryRowIsReachableFromItsOwnFileName) {
  for (const ProductProfile& row : kProductProfiles) {
    const Shown shown = RunAndCancel(std::string("\"C:\\dl\\Setup") + row.productName + ".exe\"");
    EXPECT_EQ(std::string("Setup ") + row.productName, shown.caption);
    EXPECT_EQ(row.windowTitle, shown.caption);
    EXPECT_EQ(row.defaultDirectory, shown.directory);
  }
}

TEST_F(SetupProgram, CancelEndsTheProgramAndWritesNothing) {
  standin::SetCommandLine("C:\\dl\\SetupGalvery.exe");
  standin::SetModuleFileName("C:\\dl\\SetupGalvery.exe");
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG, [](HWND dialog) {
    standin::Type(dialog, IDC_DIRECTORY, "newdir");
    standin::Press(dialog, IDCANCEL);
  });
  CSetupApp app;
  EXPECT_EQ(0, AfxWinMain(nullptr, nullptr, nullptr, 1));
  ASSERT_EQ(1u, standin::Dialogs().size());
  EXPECT_EQ(IDCANCEL, standin::Dialogs()[0].result);
  EXPECT_TRUE(standin::MessageBoxes().empty());
  EXPECT_TRUE(testing_support::ListDir(scratch.path()).empty());
}

TEST_F(SetupProgram, RefusesASetupFileNameWithoutAKeyword) {
  for (const char* line : {"\"C:\\dl\\Setup.exe\"", "C:\\PROGRA~1\\SETUPG~1.EXE"}) {
    standin::ResetRecords();
    standin::SetCommandLine(line);
    standin::SetModuleFileName(WithoutQuotes(line));
    ScriptedUser user;  // no step: the dialog must never wait for the user
    CSetupApp app;
    EXPECT_EQ(0, AfxWinMain(nullptr, nullptr, nullptr, 1));
    ASSERT_EQ(1u, standin::MessageBoxes().size()) << line;
    const auto& box = standin::MessageBoxes()[0];
    EXPECT_EQ("Invalid setup file name:" + WithoutQuotes(line), box.text);
    EXPECT_EQ(MB_OK | MB_ICONEXCLAMATION, box.type);
    ASSERT_EQ(1u, standin::Dialogs().size());
    EXPECT_FALSE(standin::Dialogs()[0].shown);
    EXPECT_EQ(0, standin::Dialogs()[0].result);
    EXPECT_TRUE(user.problems.empty());
    EXPECT_TRUE(testing_support::ListDir(scratch.path()).empty());
  }
  EXPECT_EQ("SETUPG~1", standin::MessageBoxes()[0].caption);
}

TEST_F(SetupProgram, TheRefusalShowsTheCommandLineAsTypedNotUpperCased) {
  standin::SetCommandLine("\"c:\\dl\\setup.exe\" /q");
  standin::SetModuleFileName("c:\\dl\\setup.exe");
  CSetupApp app;
  AfxWinMain(nullptr, nullptr, nullptr, 1);
  ASSERT_EQ(1u, standin::MessageBoxes().size());
  EXPECT_EQ("Invalid setup file name:c:\\dl\\setup.exe /q", standin::MessageBoxes()[0].text);
  EXPECT_EQ("setup", standin::MessageBoxes()[0].caption);
}

// Runs a probe dialog directly so that its fields can be read afterwards.
class SetupDialog : public SetupProgram {
 protected:
  void Run(const std::string& commandLine, ScriptedUser::Step step = testing_support::Press(IDCANCEL)) {
    standin::SetCommandLine(commandLine);
    ScriptedUser user;
    user.On(IDD_SETUP_DIALOG, step);
    dlg.DoModal();
  }
  CSetupApp app;
  SetupDlgProbe dlg;
};

TEST_F(SetupDialog, QuotesAreRemovedAnywhereAndArgumentsStayInThePath) {
  Run("\"C:\\dl\\Gal\"very\\Setup.exe\" /silent");
  EXPECT_EQ("C:\\dl\\Galvery\\Setup.exe /silent", std::string(dlg.m_strSetupFile));
  EXPECT_EQ("Galvery", std::string(dlg.m_strProductName));
}

TEST_F(SetupDialog, HarnwickHasItsOwnNameButSharesDirectoryAndPackFile) {
  Shown shown;
  Run("C:\\dl\\SetupHarnwick.exe", [&](HWND d) {
    shown.caption = standin::WindowText(d);
    shown.directory = standin::ControlText(d, IDC_DIRECTORY);
    standin::Press(d, IDCANCEL);
  });
  EXPECT_EQ("Setup Harnwick", shown.caption);
  EXPECT_EQ("c:\\tlvn", shown.directory);
  EXPECT_EQ("Harnwick", std::string(dlg.m_strProductName));
  ASSERT_NE(nullptr, PackFileTemplateFor(dlg.m_chPackSelector));
  EXPECT_STREQ("%s\\Quillet_pack.zip", PackFileTemplateFor(dlg.m_chPackSelector));
}

TEST_F(SetupDialog, SetsBothIconsAndLeavesTheFocusToTheDialogManager) {
  HICON big = nullptr, small = nullptr, dragged = nullptr;
  Run("C:\\dl\\SetupGalvery.exe", [&](HWND d) {
    big = standin::Icon(d, ICON_BIG);
    small = standin::Icon(d, ICON_SMALL);
    dragged = reinterpret_cast<HICON>(SendMessageA(d, WM_QUERYDRAGICON, 0, 0));
    standin::Press(d, IDCANCEL);
  });
  EXPECT_EQ(IDR_MAINFRAME, standin::IconResourceOf(big));
  EXPECT_EQ(big, small);
  EXPECT_EQ(big, dragged);
  EXPECT_TRUE(standin::Dialogs().back().defaultFocus);
}

TEST_F(SetupDialog, DrawsTheIconCentredOnlyWhileMinimised) {
  Run("C:\\dl\\SetupGalvery.exe", [&](HWND d) {
    standin::Paint(d);  // not minimised: the dialog manager paints
    standin::SetIconic(d, true);
    standin::SetClientSize(d, 101, 50);
    standin::Paint(d);
    standin::SetClientSize(d, 20, 10);  // smaller than the icon: truncation toward zero
    standin::Paint(d);
    standin::Press(d, IDCANCEL);
  });
  const std::vector<std::string> expected = {"IconEraseBackground", "DrawIcon 35,9 icon128",
                                             "IconEraseBackground", "DrawIcon -5,-10 icon128"};
  EXPECT_EQ(expected, standin::Drawing());
}

TEST_F(SetupDialog, PreparesTheAgreementAsTwoParagraphsAroundAnEmptyLine) {
  Run("C:\\dl\\SetupGalvery.exe");
  ASSERT_EQ(3, dlg.m_agreementLines.GetCount());
  POSITION pos = dlg.m_agreementLines.GetHeadPosition();
  const std::string first = dlg.m_agreementLines.GetNext(pos).GetString();
  const std::string blank = dlg.m_agreementLines.GetNext(pos).GetString();
  const std::string second = dlg.m_agreementLines.GetNext(pos).GetString();
  EXPECT_EQ(548u, first.size());
  EXPECT_EQ(0u, first.rfind("LICENSOR MAKES NO GUARANTEE", 0));
  EXPECT_EQ("", blank);
  EXPECT_EQ(317u, second.size());
  EXPECT_EQ(0u, second.rfind("LICENSEE ACKNOWLEDGES", 0));
  for (const std::string& p : {first, second}) {
    EXPECT_EQ(std::string::npos, p.find_first_of("abcdefghijklmnopqrstuvwxyz\r\n"));
    EXPECT_EQ(std::string::npos, p.find("  "));
    EXPECT_EQ('.', p.back());
  }
}

TEST(ProductTable, PackSelectorsPickNineDistinctTemplatesWithQuilletAndHarnwickSharing) {
  std::set<std::string> formats;
  for (const ProductProfile& row : kProductProfiles) {
    const char* format = PackFileTemplateFor(row.packSelector);
    ASSERT_NE(nullptr, format) << row.keyword;
    formats.insert(format);
    EXPECT_EQ(std::string(row.keyword), CString(row.productName).MakeUpper().GetString());
  }
  EXPECT_EQ(9u, formats.size());
  EXPECT_EQ(kProductProfiles[0].packSelector, kProductProfiles[1].packSelector);
  EXPECT_EQ(nullptr, PackFileTemplateFor('?'));
}

}  // namespace
