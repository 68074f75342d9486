// The desktop shortcut: its name and place, its target and description, and the
// failures that leave nothing behind.
#include "app/desktop_shortcut.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

namespace {

const int32_t kClassNotRegistered = int32_t(0x80040154);  // REGDB_E_CLASSNOTREG
const int32_t kPathTooLong = int32_t(0x800700CE);         // HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)

class DesktopShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDir(scratch.Posix("Desktop"));
    env.desktop = W(scratch.Win("Desktop")).Str();
  }
  ScratchDir scratch;
  CTestEnv env;
  CScopedEnv scoped{&env};
};

TEST_F(DesktopShortcut, PointsToTheProductsProgramInTheDirectory) {
  EXPECT_EQ(0, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  ASSERT_EQ(1u, env.shortcuts.size());
  const CTestEnv::Shortcut& s = env.shortcuts[0];
  EXPECT_EQ(scratch.Win("Desktop") + "\\Galvery.lnk", s.path);
  EXPECT_EQ("c:\\Galvery\\Galvery.exe", s.target);
  EXPECT_EQ("Galvery", s.description);
  EXPECT_TRUE(Exists(scratch.Posix("Desktop/Galvery.lnk")));
}

TEST_F(DesktopShortcut, ProductsSharingADirectoryGetShortcutsOfTheirOwn) {
  for (const char* product : {"Quillet", "Harnwick", "Tolvane"}) {
    EXPECT_EQ(0, CreateDesktopShortcut(L"c:\\tlvn\\", product)) << product;
  }
  ASSERT_EQ(3u, env.shortcuts.size());
  EXPECT_EQ("c:\\tlvn\\\\Harnwick.exe", env.shortcuts[1].target);
  EXPECT_EQ(std::vector<std::string>({"Harnwick.lnk", "Quillet.lnk", "Tolvane.lnk"}),
            ListDir(scratch.Posix("Desktop")));
}

TEST_F(DesktopShortcut, AnExistingShortcutIsReplaced) {
  const std::string old = "an old shortcut that was longer than the new one by far, so that a tail of it would show";
  WriteBytes(scratch.Posix("Desktop/ZOV.lnk"), old);
  EXPECT_EQ(0, CreateDesktopShortcut(L"d:\\ZOV", "ZOV"));
  const std::string now = ReadBytes(scratch.Posix("Desktop/ZOV.lnk"));
  EXPECT_EQ(std::string::npos, now.find("old shortcut"));
  EXPECT_EQ(std::string::npos, now.find("would show"));
  if (OnWindows()) {
    // A shell link begins with its header size, 0x4C.
    EXPECT_EQ(std::string("L\0\0\0", 4), now.substr(0, 4));
  } else {
    EXPECT_NE(std::string::npos, now.find("ZOV/ZOV.exe")) << now;
  }
}

TEST_F(DesktopShortcut, FailuresReturnTheirCodeAndWriteNothing) {
  env.shortcutResult = kClassNotRegistered;
  EXPECT_EQ(kClassNotRegistered, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  env.shortcutResult = 0;
  env.desktop.clear();  // the desktop folder cannot be determined
  EXPECT_LT(CreateDesktopShortcut(L"c:\\Galvery", "Galvery"), 0);
  EXPECT_TRUE(env.shortcuts.empty());
  EXPECT_TRUE(ListDir(scratch.Posix("Desktop")).empty());
}

TEST_F(DesktopShortcut, ADesktopOutsideTheCodePageIsReachedAndAFailedSaveIsAFailure) {
  // A Cyrillic user name on a Western code page: only the wide-character calls name the
  // folder; the ANSI ones give "?" for each letter.
  MakeDir(scratch.Posix("\xD0\x9F\xD0\xB5\xD1\x82\xD1\x8F"));  // Петя
  const std::string user = scratch.Win("\xD0\x9F\xD0\xB5\xD1\x82\xD1\x8F");
  env.desktop = W(user).Str();
  EXPECT_EQ(0, CreateDesktopShortcut(L"c:\\Galvery", "Galvery"));
  ASSERT_EQ(1u, env.shortcuts.size());
  EXPECT_EQ(user + "\\Galvery.lnk", env.shortcuts[0].path);
  EXPECT_EQ(std::vector<std::string>{"Galvery.lnk"}, ListDir(scratch.Posix("\xD0\x9F\xD0\xB5\xD1\x82\xD1\x8F")));

  // A desktop folder that is not there: nothing saved, and the caller hears of it.
  env.desktop = W(scratch.Win("gone")).Str();
  EXPECT_LT(CreateDesktopShortcut(L"c:\\Galvery", "Galvery"), 0);
  EXPECT_EQ(1u, env.shortcuts.size());
  EXPECT_FALSE(Exists(scratch.Posix("gone")));
}

TEST_F(DesktopShortcut, AShortcutPathBeyondThePathLimitIsRefusedNotTruncated) {
  // Folders that exist, so that only the limit can refuse: "<folder>\AVeryLongProductName.lnk"
  // of 259 characters fits the limit with its terminator, of 260 does not.
  const size_t name = std::string("\\AVeryLongProductName.lnk").size();
  const size_t base = scratch.path().size() + 1;
  ASSERT_LT(base + name, 259u);
  const std::string fits = scratch.Win(std::string(259 - name - base, 'd'));
  const std::string beyond = scratch.Win(std::string(260 - name - base, 'e'));
  MakeDir(fits);
  MakeDir(beyond);

  env.desktop = W(beyond).Str();
  EXPECT_EQ(kPathTooLong, CreateDesktopShortcut(L"c:\\Galvery", "AVeryLongProductName"));
  EXPECT_TRUE(env.shortcuts.empty());
  EXPECT_TRUE(ListDir(beyond).empty());

  env.desktop = W(fits).Str();
  EXPECT_EQ(0, CreateDesktopShortcut(L"c:\\Galvery", "AVeryLongProductName"));
  ASSERT_EQ(1u, env.shortcuts.size());
  EXPECT_EQ(259u, env.shortcuts[0].path.size());
}

}  // namespace
