// "OK/Save": the destination directory as typed, the pack file named after the product,
// and the archive copied out of the running setup file.
#include "app/setup_app.h"
#include "res/resource.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::ScriptedUser;

namespace {

class InstallSequence : public ::testing::Test {
 protected:
  void SetUp() override { standin::ResetRecords(); }

  // Writes a setup file called `name` into the scratch directory and runs it; the user
  // types each directory in turn and presses OK/Save, then Cancel if the dialog is
  // still open.
  INT_PTR Run(const std::string& name, const std::vector<std::string>& directories) {
    testing_support::WriteBytes(dir.Posix(name), "MZ image " + kMarker + " image" + kMarker + kArchive);
    standin::SetCommandLine("\"" + dir.Win(name) + "\"");
    standin::SetModuleFileName(dir.Win(name));
    ScriptedUser user;
    for (const std::string& d : directories) {
      user.On(IDD_SETUP_DIALOG, [d](HWND dialog) {
        standin::Type(dialog, IDC_DIRECTORY, d);
        standin::Press(dialog, IDOK);
      });
    }
    user.On(IDD_SETUP_DIALOG, testing_support::Press(IDCANCEL));
    CSetupApp app;
    AfxWinMain(nullptr, nullptr, nullptr, 1);
    return standin::Dialogs().back().result;
  }
  std::string Messages() const {
    std::string all;
    for (const auto& box : standin::MessageBoxes()) all += box.text + "|";
    return all;
  }

  const std::string kMarker = std::string(8, 'U');
  const std::string kArchive = std::string("PK\x03\x04", 4) + "archive bytes" + std::string("PK\x05\x06", 4);
  ScratchDir dir;
};

TEST_F(InstallSequence, CreatesTheDirectoryAndWritesThePackFileNamedAfterTheProduct) {
  EXPECT_EQ(IDOK, Run("SetupGalvery.exe", {dir.Win("Galvery")}));
  EXPECT_EQ("", Messages());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery/Galvery_pack.zip")));
  EXPECT_FALSE(standin::WaitCursorShown());
}

TEST_F(InstallSequence, HarnwickWritesQuilletsPackFileIntoAnExistingDirectory) {
  ASSERT_EQ(0, mkdir(dir.Posix("tlvn").c_str(), 0777));
  testing_support::WriteBytes(dir.Posix("tlvn/Quillet_pack.zip"), "an older and longer pack file");
  EXPECT_EQ(IDOK, Run("SetupHarnwick.exe", {dir.Win("tlvn")}));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("tlvn/Quillet_pack.zip")));
  EXPECT_EQ(std::vector<std::string>{"Quillet_pack.zip"}, testing_support::ListDir(dir.Posix("tlvn")));
}

TEST_F(InstallSequence, ADirectoryThatCannotBeCreatedKeepsTheDialogOpen) {
  ASSERT_EQ(0, mkdir(dir.Posix("there").c_str(), 0777));
  const std::vector<std::string> typed = {dir.Win("a\\b"), "", dir.Win("there") + "\\"};
  EXPECT_EQ(IDCANCEL, Run("SetupGalvery.exe", typed));
  EXPECT_EQ("Can't create directory " + typed[0] + "|Can't create directory |Can't create directory " +
                typed[2] + "|",
            Messages());
  EXPECT_FALSE(Exists(dir.Posix("a")));
  EXPECT_TRUE(testing_support::ListDir(dir.Posix("there")).empty());
}

TEST_F(InstallSequence, ANewDirectoryTypedWithATrailingBackslashIsCreatedAndUsed) {
  EXPECT_EQ(IDOK, Run("SetupZov.exe", {dir.Win("ZOV") + "\\"}));
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("ZOV/zov_pack.exe")));
}

TEST_F(InstallSequence, ASetupFileWithoutPayloadWritesNoPackFile) {
  testing_support::WriteBytes(dir.Posix("SetupGalvery.exe"), "MZ image " + kMarker);
  standin::SetCommandLine(dir.Win("SetupGalvery.exe"));
  standin::SetModuleFileName(dir.Win("SetupGalvery.exe"));
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG, [&](HWND d) {
    standin::Type(d, IDC_DIRECTORY, dir.Win("Galvery"));
    standin::Press(d, IDOK);
  });
  CSetupApp app;
  AfxWinMain(nullptr, nullptr, nullptr, 1);
  EXPECT_EQ("No embedded setup data found.|", Messages());
  EXPECT_TRUE(testing_support::ListDir(dir.Posix("Galvery")).empty());
}

}  // namespace
