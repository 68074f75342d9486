// Copying the archive out of a whole setup file, including the failures on the way.
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "platform/posix/standin_files.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

namespace {

class SetupDlgProbe : public CSetupDlg {
 public:
  using CSetupDlg::m_strSetupFile;
};

// Limits the size of files this process writes, for as long as it lives: the way to
// make a write fail as on a full disk without filling one.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_;
  void (*previous_)(int);
};

class ExtractPayload : public ::testing::Test {
 protected:
  void SetUp() override { standin::ResetRecords(); }

  // A setup file: an image holding the marker once, the marker, the archive.
  void MakeSetupFile(const std::string& archive) {
    WriteBytes(dir.Posix("SetupGalvery.exe"), "MZ\x90 image " + kMarker + " rest of image" + kMarker + archive);
    dlg.m_strSetupFile = dir.Win("SetupGalvery.exe").c_str();
  }

  const std::string kMarker = std::string(8, 'U');
  const std::string kArchive = std::string("PK\x03\x04", 4) + std::string(3000, 'z') + "PK\x05\x06";
  ScratchDir dir;
  CSetupApp app;
  SetupDlgProbe dlg;
};

TEST_F(ExtractPayload, CopiesTheArchiveToThePackFile) {
  MakeSetupFile(kArchive);
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("Galvery_pack.zip").c_str()));
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery_pack.zip")));
}

TEST_F(ExtractPayload, NoPayloadIsReportedButIsNoFailureOfTheStep) {
  WriteBytes(dir.Posix("Setup.exe"), "image " + kMarker + " and nothing appended");
  dlg.m_strSetupFile = dir.Win("Setup.exe").c_str();
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("No embedded setup data found.|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, ASetupFileThatCannotBeFoundOpenedOrReadEndsTheStep) {
  dlg.m_strSetupFile = dir.Win("gone.exe").c_str();
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));

  ASSERT_EQ(0, mkdir(dir.Posix("folder.exe").c_str(), 0777));
  dlg.m_strSetupFile = dir.Win("folder.exe").c_str();
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));

  WriteBytes(dir.Posix("empty.exe"), "");
  dlg.m_strSetupFile = dir.Win("empty.exe").c_str();
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));

  const auto& boxes = standin::MessageBoxes();
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ("Can't determine file size for " + dir.Win("gone.exe") + ". Last error 2", boxes[0].text);
  EXPECT_EQ("Can't open file " + dir.Win("folder.exe") + ". Last error 5", boxes[1].text);
  EXPECT_EQ(0u, boxes[2].text.rfind("Can't read from file " + dir.Win("empty.exe") + ". Last error ", 0));
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, ASetupFileHeldForAMomentIsWaitedForAboutTwoSeconds) {
  // A virus scanner opens the freshly downloaded file without sharing it, and lets go.
  MakeSetupFile(kArchive);
  standin::ClearInUse();
  standin::HoldWithoutSharing(dir.Win("SetupGalvery.exe"), 5);
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));
  EXPECT_EQ(5, standin::SharingViolations());
  EXPECT_EQ(500u, standin::MillisecondsSlept());

  // Held for good: after about two seconds the sharing violation is reported as it is.
  standin::ClearInUse();
  standin::HoldWithoutSharing(dir.Win("SetupGalvery.exe"), -1);
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack2.zip").c_str()));
  EXPECT_EQ("Can't open file " + dir.Win("SetupGalvery.exe") + ". Last error 32|", testing_support::MessagesShown());
  EXPECT_EQ(2000u, standin::MillisecondsSlept());
  EXPECT_EQ(21, standin::SharingViolations());

  // Any other failure is reported at once.
  standin::ClearInUse();
  standin::ResetRecords();
  ASSERT_EQ(0, mkdir(dir.Posix("folder.exe").c_str(), 0777));
  dlg.m_strSetupFile = dir.Win("folder.exe").c_str();
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ(0u, standin::MillisecondsSlept());
  standin::ClearInUse();
}

TEST_F(ExtractPayload, ASetupFileOfTwoGigabytesIsRefusedBeforeAnythingIsRead) {
  ASSERT_EQ(0, truncate((WriteBytes(dir.Posix("huge.exe"), ""), dir.Posix("huge.exe")).c_str(), off_t(1) << 31));
  dlg.m_strSetupFile = dir.Win("huge.exe").c_str();
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("The file " + dir.Win("huge.exe") + " is too large: a setup file must be smaller than 2 GB.|",
            testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AShortWriteRemovesThePartialPackFile) {
  MakeSetupFile(std::string(200000, 'a'));  // larger than any stdio buffer
  int saved;
  {
    FileSizeLimit limit(50000);
    saved = dlg.SavePayload(reinterpret_cast<const BYTE*>(ReadBytes(dir.Posix("SetupGalvery.exe")).data()),
                            int(ReadBytes(dir.Posix("SetupGalvery.exe")).size()), dir.Win("pack.zip").c_str());
  }
  EXPECT_EQ(0, saved);
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AFailureThatShowsOnlyAtCloseIsNoSuccessEither) {
  MakeSetupFile(std::string(300, 'a'));  // fits the stdio buffer: the write "succeeds"
  const std::string setup = ReadBytes(dir.Posix("SetupGalvery.exe"));
  int saved;
  {
    FileSizeLimit limit(100);
    saved = dlg.SavePayload(reinterpret_cast<const BYTE*>(setup.data()), int(setup.size()), dir.Win("pack.zip").c_str());
  }
  EXPECT_EQ(0, saved);
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AFailedSaveStillLetsTheStepGoOn) {
  MakeSetupFile(kArchive);
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("no such dir\\pack.zip").c_str()));
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
}

}  // namespace
