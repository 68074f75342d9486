// The desktop shortcut: its name and place, its target and description, and the
// failures that leave nothing behind.
#include "app/desktop_shortcut.h"
#include "platform/posix/standin_shell.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class DesktopShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetShell();
    ASSERT_EQ(0, mkdir(desktop.Posix("Desktop").c_str(), 0777));
    standin::SetDesktopDirectory(desktop.Win("Desktop"));
  }
  void TearDown() override { EXPECT_EQ(0, standin::LiveShellObjects()); }
  ScratchDir desktop;
};

TEST_F(DesktopShortcut, PointsToTheProductsProgramInTheDirectory) {
  EXPECT_EQ(S_OK, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  ASSERT_EQ(1u, standin::Shortcuts().size());
  const auto& s = standin::Shortcuts()[0];
  EXPECT_EQ(desktop.Win("Desktop") + "\\Galvery.lnk", s.path);
  EXPECT_EQ("c:\\Galvery\\Galvery.exe", s.target);
  EXPECT_EQ("Galvery", s.description);
  EXPECT_TRUE(s.remember);
  EXPECT_GE(standin::ComInitialisations(), 1);
}

TEST_F(DesktopShortcut, ProductsSharingADirectoryGetShortcutsOfTheirOwn) {
  for (const char* product : {"Quillet", "Harnwick", "Tolvane"}) CreateDesktopShortcut(L"c:\\tlvn\\", product);
  ASSERT_EQ(3u, standin::Shortcuts().size());
  EXPECT_EQ("c:\\tlvn\\\\Harnwick.exe", standin::Shortcuts()[1].target);
  EXPECT_EQ(std::vector<std::string>({"Harnwick.lnk", "Quillet.lnk", "Tolvane.lnk"}),
            ListDir(desktop.Posix("Desktop")));
}

TEST_F(DesktopShortcut, AnExistingShortcutIsReplaced) {
  WriteBytes(desktop.Posix("Desktop/ZOV.lnk"), "an old shortcut that was longer");
  EXPECT_EQ(S_OK, CreateDesktopShortcut(L"d:\\ZOV", "ZOV"));
  EXPECT_EQ("d:\\ZOV\\ZOV.exe\nZOV\n", ReadBytes(desktop.Posix("Desktop/ZOV.lnk")));
}

TEST_F(DesktopShortcut, FailuresReturnTheirCodeAndWriteNothing) {
  standin::SetShellLinkAvailable(false);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  standin::SetShellLinkAvailable(true, false);
  EXPECT_EQ(E_NOINTERFACE, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  standin::SetShellLinkAvailable(true);
  standin::SetDesktopDirectory("");
  EXPECT_TRUE(FAILED(CreateDesktopShortcut(L"c:\\Galvery", "Galvery")));
  EXPECT_TRUE(standin::Shortcuts().empty());
  EXPECT_TRUE(ListDir(desktop.Posix("Desktop")).empty());
}

TEST_F(DesktopShortcut, ADesktopOutsideTheCodePageIsReachedAndAFailedSaveIsAFailure) {
  // A Cyrillic user name on a Western code page: only the wide-character calls name the
  // folder; the ANSI ones give "?" for each letter.
  const std::string user = desktop.path() + "/\xD0\x9F\xD0\xB5\xD1\x82\xD1\x8F";  // Петя
  ASSERT_EQ(0, mkdir(user.c_str(), 0777));
  standin::SetDesktopDirectory(user);
  EXPECT_EQ(S_OK, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  ASSERT_EQ(1u, standin::Shortcuts().size());
  EXPECT_EQ(user + "\\Galvery.lnk", standin::Shortcuts()[0].path);
  EXPECT_EQ("c:\\Galvery\\Galvery.exe\nGalvery\n", ReadBytes(user + "/Galvery.lnk"));

  // A desktop folder that is not there: nothing saved, and the caller hears of it.
  standin::SetDesktopDirectory(desktop.Win("gone"));
  EXPECT_TRUE(FAILED(CreateDesktopShortcut(L"c:\\Galvery", "Galvery")));
  EXPECT_EQ(1u, standin::Shortcuts().size());
}

TEST_F(DesktopShortcut, AShortcutPathBeyondThePathLimitIsRefusedNotTruncated) {
  const std::string deep = desktop.Win(std::string(240 - desktop.path().size(), 'd'));
  standin::SetDesktopDirectory(deep);
  EXPECT_TRUE(FAILED(CreateDesktopShortcut(L"c:\\Galvery", "AVeryLongProductName")));
  EXPECT_TRUE(standin::Shortcuts().empty());
}

}  // namespace
