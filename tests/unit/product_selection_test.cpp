// The setup program's start: which product its command line selects, what the setup
// dialog is given to show, and the refusal of an unrecognised setup file name.
#include "app/install_sequence.h"
#include "app/product_profiles.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

using testing_support::CTestEnv;
using testing_support::ScratchDir;
using testing_support::Utf8;

namespace {

struct Started {
  const ProductProfile* profile = nullptr;
  CSetupTarget target;
  std::string caption;    // the profile's window title, empty without one
  std::string directory;  // offered in the directory box
};

class ProductSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = testing_support::CurrentDir();
    testing_support::ChangeDir(scratch.path());
  }
  void TearDown() override { testing_support::ChangeDir(previous); }

  // A fresh target each time (it cannot be copied).
  std::unique_ptr<Started> Start(const std::string& commandLine) {
    env.told.clear();
    auto started = std::make_unique<Started>();
    started->profile = StartSetup(CString(commandLine.c_str()), started->target);
    if (started->profile) started->caption = started->profile->windowTitle;
    started->directory = Utf8(started->target.m_strDirectory);
    return started;
  }

  static std::string WithoutQuotes(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '"'), s.end());
    return s;
  }

  ScratchDir scratch;
  std::string previous;
  CTestEnv env;
  CScopedEnv scoped{&env};
};

TEST_F(ProductSelection, SelectsTheProductNamedInTheFileNameWithOrWithoutQuotes) {
  for (const char* line : {"\"C:\\Downloads\\SetupGalvery.exe\"", "C:\\Downloads\\SetupGalvery.exe",
                           "C:\\Downloads\\setupgalvery.exe", "galvery.exe"}) {
    const auto started = Start(line);
    EXPECT_EQ("Setup Galvery", started->caption) << line;
    EXPECT_EQ("c:\\Galvery", started->directory) << line;
    EXPECT_EQ("", env.Told()) << line;
  }
}

TEST_F(ProductSelection, KeywordInADirectoryCountsLikeOneInTheFileName) {
  const auto started = Start("C:\\ZOV\\Setup.exe");
  EXPECT_EQ("Setup ZOV", started->caption);
  EXPECT_EQ("c:\\ZOV", started->directory);
}

TEST_F(ProductSelection, TheEarlierRowWinsWhereverTheKeywordsStand) {
  EXPECT_EQ("Setup Quillet", Start("C:\\Tolvane\\SetupQuillet.exe")->caption);
  EXPECT_EQ("Setup Quillet", Start("C:\\Quillet\\SetupTolvane.exe")->caption);
  // LORIMAX is the last row: ZOV, earlier, wins even when it stands later in the line.
  EXPECT_EQ("Setup ZOV", Start("C:\\Lorimax\\SetupZov.exe")->caption);
}

TEST_F(ProductSelection, EveryRowIsReachableFromItsOwnFileName) {
  for (const ProductProfile& row : kProductProfiles) {
    const auto started = Start(std::string("\"C:\\dl\\Setup") + row.productName + ".exe\"");
    EXPECT_EQ(&row, started->profile) << row.keyword;
    EXPECT_EQ(std::string("Setup ") + row.productName, started->caption);
    EXPECT_EQ(row.defaultDirectory, started->directory);
    EXPECT_EQ(std::string(row.productName), started->target.m_strProductName.GetString());
    EXPECT_EQ(row.packSelector, started->target.m_chPackSelector);
  }
}

TEST_F(ProductSelection, RefusesASetupFileNameWithoutAKeyword) {
  for (const char* line : {"\"C:\\dl\\Setup.exe\"", "C:\\PROGRA~1\\SETUPG~1.EXE"}) {
    const auto started = Start(line);
    EXPECT_EQ(nullptr, started->profile) << line;
    EXPECT_EQ("Invalid setup file name:" + WithoutQuotes(line) + "|", env.Told());
    // Nothing chosen: "OK/Save" could not go on with another product's pack file.
    EXPECT_EQ(0, started->target.m_chPackSelector) << line;
    EXPECT_TRUE(started->target.m_strDirectory.IsEmpty()) << line;
    EXPECT_TRUE(testing_support::ListDir(scratch.path()).empty());
  }
}

TEST_F(ProductSelection, TheRefusalShowsTheCommandLineAsTypedNotUpperCased) {
  EXPECT_EQ(nullptr, Start("\"c:\\dl\\setup.exe\" /q")->profile);
  EXPECT_EQ("Invalid setup file name:c:\\dl\\setup.exe /q|", env.Told());
}

TEST_F(ProductSelection, QuotesAreRemovedAnywhereAndArgumentsStayInThePath) {
  const auto started = Start("\"C:\\dl\\Gal\"very\\Setup.exe\" /silent");
  EXPECT_EQ("C:\\dl\\Galvery\\Setup.exe /silent", std::string(started->target.m_strSetupFile));
  EXPECT_EQ("Galvery", std::string(started->target.m_strProductName));
}

TEST_F(ProductSelection, HarnwickHasItsOwnNameButSharesDirectoryAndPackFile) {
  const auto started = Start("C:\\dl\\SetupHarnwick.exe");
  EXPECT_EQ("Setup Harnwick", started->caption);
  EXPECT_EQ("c:\\tlvn", started->directory);
  EXPECT_EQ("Harnwick", std::string(started->target.m_strProductName));
  ASSERT_NE(nullptr, PackFileTemplateFor(started->target.m_chPackSelector));
  EXPECT_STREQ("%s\\Quillet_pack.zip", PackFileTemplateFor(started->target.m_chPackSelector));
}

TEST_F(ProductSelection, PreparesTheAgreementAsTwoParagraphsAroundAnEmptyLine) {
  const auto started = Start("C:\\dl\\SetupGalvery.exe");
  const CStringList& lines = started->target.m_agreementLines;
  ASSERT_EQ(3, lines.GetCount());
  POSITION pos = lines.GetHeadPosition();
  const std::string first = lines.GetNext(pos).GetString();
  const std::string blank = lines.GetNext(pos).GetString();
  const std::string second = lines.GetNext(pos).GetString();
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
