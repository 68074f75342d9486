// Whole setup files: two markers, the archive behind the second, and the product the name selects.
#include "tests/unit/mksetup_test_support.h"

using namespace testing_support;
using namespace mksetup;

namespace {

TEST(MksetupCheck, SetupFileHoldsTwoMarkersAndNamesItsProduct) {
  const std::string zip = Galvery().Build();
  const std::string file = SetupFile(kStub, zip);
  const SetupFileCheck ok = CheckSetupFile(Bytes(file), file.size(), "out/SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(ok.findings) + AllMessages(ok.archive.findings));
  ASSERT_NE(nullptr, ok.product);
  EXPECT_STREQ("Galvery", ok.product->productName);
  EXPECT_EQ(kStub.size() + 8, ok.archiveStart);
  EXPECT_EQ(2u, ok.archive.entries.size());

  // Only the file's own name counts, not its folder.
  const SetupFileCheck folder = CheckSetupFile(Bytes(file), file.size(), "c:\\ZOV\\Setup.exe", nullptr, {});
  EXPECT_EQ(1u, Findings(folder.findings, "'Setup.exe' selects no product").size());
  const SetupFileCheck other =
      CheckSetupFile(Bytes(file), file.size(), "SetupTolvane-Quillet.exe", ProductNamed("Tolvane"), {});
  EXPECT_EQ(1u, Findings(other.findings, "selects Quillet, not Tolvane").size());

  // Breaks: a run of 0x55 in the archive makes a third marker, placed in its entry.
  ZipBuilder marked = Galvery();
  marked.AddStored("logo.bmp", std::string(8, 'U'));
  const std::string third = SetupFile(kStub, marked.Build());
  const SetupFileCheck three = CheckSetupFile(Bytes(third), third.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ(1u, Findings(three.findings, "counts the marker 3 times").size());
  EXPECT_EQ(kStub.size() + 8, three.archiveStart);
  EXPECT_EQ(1u, Findings(three.archive.findings, "entry 'logo.bmp': data").size()) << AllMessages(three.archive.findings);

  // Breaks: a stub that ends in 0x55 moves the second marker one byte early.
  const std::string shifted = SetupFile(kStub + "U", zip);
  const SetupFileCheck early = CheckSetupFile(Bytes(shifted), shifted.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ(kStub.size() + 8, early.archiveStart);
  EXPECT_TRUE(early.archive.HasDefects());

  // A name that fits the archive but not the product's default directory (c:\Galvery).
  ZipBuilder longName = Galvery();
  longName.AddStored("d:/" + std::string(245, 'n') + ".txt", "x");
  const std::string tooLong = SetupFile(kStub, longName.Build());
  const SetupFileCheck path = CheckSetupFile(Bytes(tooLong), tooLong.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(path.archive.findings));
  EXPECT_EQ(1u, Findings(path.findings, "a path of 260 characters; Windows takes at most 259").size())
      << AllMessages(path.findings);
  // Characters as Windows counts them, not bytes: 125 Greek letters are 250 bytes of
  // UTF-8 and a path of 140 characters.
  ZipBuilder greek = Galvery();
  std::string letters;
  for (int k = 0; k < 125; ++k) letters += "α";
  greek.AddStored("d:/" + letters + ".txt", "x").flags = 0x800;
  const std::string greekFile = SetupFile(kStub, greek.Build());
  const SetupFileCheck counted = CheckSetupFile(Bytes(greekFile), greekFile.size(), "SetupGalvery.exe", nullptr, {});
  EXPECT_EQ("", AllMessages(counted.findings) + AllMessages(counted.archive.findings));
  greek.entries.back().name = greek.entries.back().localName = "d:/" + letters + std::string(120, 'n') + ".txt";
  const std::string longerFile = SetupFile(kStub, greek.Build());
  EXPECT_EQ(1u, Findings(CheckSetupFile(Bytes(longerFile), longerFile.size(), "SetupGalvery.exe", nullptr, {}).findings,
                         "a path of 260 characters")
                    .size());

  const std::string bare = kStub + zip;
  EXPECT_EQ(1u, Findings(CheckSetupFile(Bytes(bare), bare.size(), "SetupZOV.exe", nullptr, {}).findings,
                         "occurs once")
                    .size());
}

TEST(MksetupProduct, FollowsTheSetupProgramsRule) {
  EXPECT_STREQ("Galvery", ProductNamed("galvery")->productName);
  EXPECT_STREQ("LORIMAX", ProductNamed("Lorimax")->productName);
  EXPECT_STREQ("ZOV", ProductNamed("zov")->productName);
  EXPECT_EQ(nullptr, ProductNamed("Galver"));
  EXPECT_EQ(nullptr, ProductNamed("SetupGalvery"));

  // Table order decides, not the position in the name.
  EXPECT_STREQ("Quillet", ProductSelectedBy("SetupTolvane-Quillet.exe")->productName);
  EXPECT_STREQ("Quillet", ProductSelectedBy("SETUPHARNWICKQUILLET.EXE")->productName);
  EXPECT_STREQ("ZOV", ProductSelectedBy("setupzov.exe")->productName);
  EXPECT_EQ(nullptr, ProductSelectedBy("Setup.exe"));
  // Only a to z are upper-cased: a dotted i is no I.
  EXPECT_EQ(nullptr, ProductSelectedBy("SetupQu\xC4\xB1llet.exe"));
  // The name a vendor reaches for first works for every product.
  for (const ProductProfile& row : kProductProfiles)
    EXPECT_EQ(&row, ProductSelectedBy(std::string("Setup") + row.productName + ".exe")) << row.productName;
}

}  // namespace
