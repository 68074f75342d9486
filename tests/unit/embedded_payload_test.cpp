// Copying the archive out of the running setup file (its module path), streamed through
// one buffer, including the failures on the way.
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "payload/embedded_payload.h"
#include "platform/posix/standin_files.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

namespace {

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

  void TearDown() override { standin::SetAnsiCodePage(1252); }

  // A setup file: an image holding the marker once, the marker, the archive. It is the
  // running program, whatever the command line says.
  void MakeSetupFile(const std::string& archive) {
    WriteBytes(dir.Posix("SetupGalvery.exe"), kImage + kMarker + archive);
    Run(dir.Win("SetupGalvery.exe"));
  }
  static void Run(const std::string& modulePath) {
    standin::SetModuleFileName(modulePath);
    standin::SetCommandLine("SetupGalvery");
  }

  const std::string kMarker = std::string(8, 'U');
  const std::string kImage = "MZ\x90 image " + kMarker + " rest of image";
  const std::string kArchive = std::string("PK\x03\x04", 4) + std::string(3000, 'z') + "PK\x05\x06";
  ScratchDir dir;
  CSetupApp app;
  CSetupDlg dlg;
};

TEST_F(ExtractPayload, CopiesTheArchiveToThePackFile) {
  MakeSetupFile(kArchive);
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("Galvery_pack.zip").c_str()));
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery_pack.zip")));
}

TEST_F(ExtractPayload, NoPayloadIsReportedButIsNoFailureOfTheStep) {
  WriteBytes(dir.Posix("Setup.exe"), "image " + kMarker + " and nothing appended");
  Run(dir.Win("Setup.exe"));
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("No embedded setup data found.|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, ASetupFileThatCannotBeFoundOpenedOrReadEndsTheStep) {
  Run(dir.Win("gone.exe"));
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));

  ASSERT_EQ(0, mkdir(dir.Posix("folder.exe").c_str(), 0777));
  Run(dir.Win("folder.exe"));
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));

  WriteBytes(dir.Posix("empty.exe"), "");
  Run(dir.Win("empty.exe"));
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
  Run(dir.Win("folder.exe"));
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ(0u, standin::MillisecondsSlept());
  standin::ClearInUse();
}

TEST_F(ExtractPayload, ASetupFileBeyondTwoGigabytesIsReadWithSizesOf64Bits) {
  // Sparse: the image and the first marker, a hole of zeros, then the second marker and
  // the archive beyond 2 GB, where a signed 32-bit size or position would wrap.
  const std::string path = dir.Posix("SetupGalvery.exe");
  WriteBytes(path, kImage);
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const std::string tail = kMarker + kArchive;
  ASSERT_EQ(ssize_t(tail.size()), pwrite(fd, tail.data(), tail.size(), (off_t(1) << 31) + 100));
  close(fd);
  Run(dir.Win("SetupGalvery.exe"));
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, TheProgramIsFoundByItsModulePathNotItsCommandLine) {
  // Typed at a prompt without its extension; started from a folder the code page cannot
  // spell (the module path is UTF-8 here, as Linux names files).
  ASSERT_EQ(0, mkdir(dir.Posix("Дмитрий").c_str(), 0777));
  WriteBytes(dir.Posix("Дмитрий/SetupGalvery.exe"), kImage + kMarker + kArchive);
  Run(dir.Win("Дмитрий\\SetupGalvery.exe"));
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("pack.zip").c_str()));
  EXPECT_EQ("", testing_support::MessagesShown());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));

  // Messages name the module path as the code page shows it.
  Run(dir.Win("Дмитрий\\gone.exe"));
  EXPECT_EQ(0, dlg.ExtractEmbeddedPayload(dir.Win("pack2.zip").c_str()));
  EXPECT_EQ("Can't determine file size for " + dir.Win("???????\\gone.exe") + ". Last error 2|",
            testing_support::MessagesShown());
}

TEST_F(ExtractPayload, AShortWriteRemovesThePartialPackFile) {
  MakeSetupFile(std::string(200000, 'a'));  // larger than any stdio buffer
  const std::string setup = ReadBytes(dir.Posix("SetupGalvery.exe"));
  int saved;
  {
    FileSizeLimit limit(50000);
    saved = dlg.SavePayload(reinterpret_cast<const BYTE*>(setup.data()), setup.size(), dir.Win("pack.zip").c_str());
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
    saved = dlg.SavePayload(reinterpret_cast<const BYTE*>(setup.data()), setup.size(), dir.Win("pack.zip").c_str());
  }
  EXPECT_EQ(0, saved);
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

// Records what the copy tells of its progress, and checks each report against the pack
// file on disk: a byte counted as written has reached the file.
class ProgressProbe : public CInstallProgress {
 public:
  explicit ProgressProbe(std::string packFile) : packFile_(std::move(packFile)) {}
  void BeginStage(InstallStage stage, uint64_t total) override {
    stages.push_back(stage);
    total_ = total;
  }
  void Written(uint64_t done) override {
    struct stat st;
    EXPECT_EQ(0, stat(packFile_.c_str(), &st));
    EXPECT_EQ(uint64_t(st.st_size), done);
    EXPECT_LE(done, total_);
    if (!reports.empty()) {
      EXPECT_GT(done, reports.back());
    }
    reports.push_back(done);
  }
  std::vector<InstallStage> stages;
  std::vector<uint64_t> reports;
  uint64_t total_ = 0;

 private:
  std::string packFile_;
};

TEST_F(ExtractPayload, ProgressReachesTheTotalExactlyWithTheLastByteWritten) {
  // Three buffers and a bit, with the archive starting inside the first one.
  const std::string archive = std::string("PK\x03\x04", 4) + std::string(3 * kPayloadBufferSize + 12345, 'q');
  MakeSetupFile(archive);
  ProgressProbe progress(dir.Posix("pack.zip"));
  const PayloadExtraction outcome = ExtractEmbeddedPayload(LocateSetupImage(), testing_support::W(dir.Win("pack.zip")), &progress);
  EXPECT_EQ(1, outcome.result);
  EXPECT_TRUE(outcome.packFileSaved);
  EXPECT_EQ(std::vector<InstallStage>{InstallStage::kCopying}, progress.stages);
  EXPECT_EQ(archive.size(), progress.total_);
  ASSERT_EQ(4u, progress.reports.size());
  EXPECT_EQ(archive.size(), progress.reports.back());
  EXPECT_EQ(archive, ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, NoPackFileIsLeftByALateThirdMarkerOrAFullDisk) {
  // A third marker two buffers behind the second: the archive's first two megabytes
  // were written by then.
  std::string archive = std::string("PK\x03\x04", 4) + std::string(2 * kPayloadBufferSize + 500, 'a');
  archive.replace(archive.size() - 100, 8, kMarker);
  MakeSetupFile(archive);
  ProgressProbe progress(dir.Posix("pack.zip"));
  const PayloadExtraction third = ExtractEmbeddedPayload(LocateSetupImage(), testing_support::W(dir.Win("pack.zip")), &progress);
  EXPECT_EQ(1, third.result);
  EXPECT_FALSE(third.packFileSaved);
  EXPECT_EQ("No embedded setup data found.|", testing_support::MessagesShown());
  EXPECT_FALSE(progress.reports.empty());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));

  // The disk fills in the second buffer.
  standin::ResetRecords();
  MakeSetupFile(std::string(3 * kPayloadBufferSize, 'b'));
  PayloadExtraction full;
  {
    FileSizeLimit limit(kPayloadBufferSize + 4096);
    full = ExtractEmbeddedPayload(LocateSetupImage(), testing_support::W(dir.Win("pack.zip")));
  }
  EXPECT_EQ(1, full.result);
  EXPECT_FALSE(full.packFileSaved);
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AFailedSaveStillLetsTheStepGoOn) {
  MakeSetupFile(kArchive);
  EXPECT_EQ(1, dlg.ExtractEmbeddedPayload(dir.Win("no such dir\\pack.zip").c_str()));
  EXPECT_EQ("Cannot save setup file|", testing_support::MessagesShown());
}

}  // namespace
