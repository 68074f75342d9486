// Copying the archive out of the running setup file (its module path), streamed through
// one buffer, including the failures on the way.
#include "payload/embedded_payload.h"

#include "archive/archive_seal.h"
#include "payload/setup_image.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

using testing_support::CTestEnv;
using testing_support::Exists;
using testing_support::MakeDir;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::Utf8;
using testing_support::W;
using testing_support::WriteBytes;

namespace {

class ExtractPayload : public ::testing::Test {
 protected:
  // A setup file: an image holding the marker once, the marker, the archive. It is the
  // running program, whatever the command line says.
  void MakeSetupFile(const std::string& archive) {
    WriteBytes(dir.Posix("SetupGalvery.exe"), kImage + kMarker + archive);
    Run(dir.Win("SetupGalvery.exe"));
  }
  void Run(const std::string& modulePath) {
    env.modulePath = W(modulePath).Str();
    env.commandLine = "SetupGalvery";
  }
  PayloadExtraction Extract(const std::string& packFile, CInstallProgress* progress = nullptr) {
    return ExtractEmbeddedPayload(LocateSetupImage(), W(dir.Win(packFile)), progress);
  }
  int Save(const std::string& setup, const std::string& packFile) {
    return SavePayload(reinterpret_cast<const uint8_t*>(setup.data()), setup.size(), W(dir.Win(packFile)));
  }

  const std::string kMarker = std::string(8, 'U');
  const std::string kImage = "MZ\x90 image " + kMarker + " rest of image";
  const std::string kArchive = std::string("PK\x03\x04", 4) + std::string(3000, 'z') + "PK\x05\x06";
  ScratchDir dir;
  CTestEnv env;
  CScopedEnv scoped{&env};
};

TEST_F(ExtractPayload, CopiesTheArchiveToThePackFile) {
  MakeSetupFile(kArchive);
  const PayloadExtraction outcome = Extract("Galvery_pack.zip");
  EXPECT_EQ(1, outcome.result);
  EXPECT_TRUE(outcome.packFileSaved);
  EXPECT_EQ("", env.Told());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("Galvery_pack.zip")));
}

TEST_F(ExtractPayload, NoPayloadIsReportedButIsNoFailureOfTheStep) {
  WriteBytes(dir.Posix("Setup.exe"), "image " + kMarker + " and nothing appended");
  Run(dir.Win("Setup.exe"));
  const PayloadExtraction outcome = Extract("pack.zip");
  EXPECT_EQ(1, outcome.result);
  EXPECT_FALSE(outcome.packFileSaved);
  EXPECT_EQ("No embedded setup data found.|", env.Told());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, ASetupFileThatCannotBeFoundOpenedOrReadEndsTheStep) {
  Run(dir.Win("gone.exe"));
  EXPECT_EQ(0, Extract("pack.zip").result);

  MakeDir(dir.Posix("folder.exe"));
  Run(dir.Win("folder.exe"));
  EXPECT_EQ(0, Extract("pack.zip").result);

  WriteBytes(dir.Posix("empty.exe"), "");
  Run(dir.Win("empty.exe"));
  EXPECT_EQ(0, Extract("pack.zip").result);

  ASSERT_EQ(3u, env.told.size());
  EXPECT_EQ("Can't determine file size for " + dir.Win("gone.exe") + ". Last error 2", Utf8(env.told[0]));
  EXPECT_EQ("Can't open file " + dir.Win("folder.exe") + ". Last error 5", Utf8(env.told[1]));
  EXPECT_EQ(0u, Utf8(env.told[2]).rfind("Can't read from file " + dir.Win("empty.exe") + ". Last error ", 0));
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, ASetupFileHeldForAMomentIsWaitedForAboutTwoSeconds) {
  // A virus scanner opens the freshly downloaded file without sharing it, and lets go.
  MakeSetupFile(kArchive);
  env.HoldWithoutSharing(dir.Win("SetupGalvery.exe"), 5);
  EXPECT_EQ(1, Extract("pack.zip").result);
  EXPECT_EQ("", env.Told());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));
  EXPECT_EQ(5, env.sharingViolations);
  EXPECT_EQ(500u, env.paused);

  // Held for good: after about two seconds the sharing violation is reported as it is.
  env.paused = 0;
  env.sharingViolations = 0;
  env.HoldWithoutSharing(dir.Win("SetupGalvery.exe"), -1);
  EXPECT_EQ(0, Extract("pack2.zip").result);
  EXPECT_EQ("Can't open file " + dir.Win("SetupGalvery.exe") + ". Last error 32|", env.Told());
  EXPECT_EQ(2000u, env.paused);
  EXPECT_EQ(21, env.sharingViolations);
  EXPECT_FALSE(Exists(dir.Posix("pack2.zip")));

  // Any other failure is reported at once.
  env.paused = 0;
  MakeDir(dir.Posix("folder.exe"));
  Run(dir.Win("folder.exe"));
  EXPECT_EQ(0, Extract("pack.zip").result);
  EXPECT_EQ(0u, env.paused);
}

TEST_F(ExtractPayload, ASetupFileBeyondTwoGigabytesIsReadWithSizesOf64Bits) {
  // Sparse where the file system allows: the image and the first marker, a hole of
  // zeros, then the second marker and the archive beyond 2 GB, where a signed 32-bit size
  // or position would wrap.
  const std::string path = dir.Posix("SetupGalvery.exe");
  WriteBytes(path, kImage);
  std::filesystem::resize_file(std::filesystem::u8path(path), (uint64_t(1) << 31) + 100);
  {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::app);
    const std::string tail = kMarker + kArchive;
    out.write(tail.data(), std::streamsize(tail.size()));
    ASSERT_TRUE(out.good());
  }
  Run(dir.Win("SetupGalvery.exe"));
  EXPECT_EQ(1, Extract("pack.zip").result);
  EXPECT_EQ("", env.Told());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, TheProgramIsFoundByItsModulePathNotItsCommandLine) {
  // Typed at a prompt without its extension; started from a folder the code page cannot
  // spell.
  MakeDir(dir.Posix("Дмитрий"));
  WriteBytes(dir.Posix("Дмитрий/SetupGalvery.exe"), kImage + kMarker + kArchive);
  Run(dir.Win("Дмитрий\\SetupGalvery.exe"));
  EXPECT_EQ(1, Extract("pack.zip").result);
  EXPECT_EQ("", env.Told());
  EXPECT_EQ(kArchive, ReadBytes(dir.Posix("pack.zip")));

  // Messages name the module path as the code page shows it.
  Run(dir.Win("Дмитрий\\gone.exe"));
  EXPECT_EQ(0, Extract("pack2.zip").result);
  EXPECT_EQ("Can't determine file size for " + dir.Win("???????\\gone.exe") + ". Last error 2|", env.Told());
}

TEST_F(ExtractPayload, AShortWriteRemovesThePartialPackFile) {
  MakeSetupFile(std::string(200000, 'a'));
  const std::string setup = ReadBytes(dir.Posix("SetupGalvery.exe"));
  env.diskRoom = 50000;
  EXPECT_EQ(0, Save(setup, "pack.zip"));
  EXPECT_EQ("Cannot save setup file|", env.Told());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AFailureThatShowsOnlyAtCloseIsNoSuccessEither) {
  // Every write succeeds; the disk is found full only when the file is closed.
  MakeSetupFile(std::string(300, 'a'));
  const std::string setup = ReadBytes(dir.Posix("SetupGalvery.exe"));
  env.failCloses = true;
  EXPECT_EQ(0, Save(setup, "pack.zip"));
  EXPECT_EQ("Cannot save setup file|", env.Told());
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
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(packFile_), error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(uint64_t(size), done);
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
  const PayloadExtraction outcome = Extract("pack.zip", &progress);
  EXPECT_EQ(1, outcome.result);
  EXPECT_TRUE(outcome.packFileSaved);
  EXPECT_EQ(std::vector<InstallStage>{InstallStage::kCopying}, progress.stages);
  EXPECT_EQ(archive.size(), progress.total_);
  ASSERT_EQ(4u, progress.reports.size());
  EXPECT_EQ(archive.size(), progress.reports.back());
  EXPECT_EQ(archive, ReadBytes(dir.Posix("pack.zip")));
}

// The seal's CRC over pieces of the copy buffer's size, wherever the archive begins in
// the first one and the seal's digits fall in the last: sealed, the archive is kept; one
// byte changed anywhere it covers, the pack file goes and the file is called damaged.
TEST_F(ExtractPayload, TheSealIsCheckedOverTheBytesAsTheyAreCopied) {
  testing_support::ZipBuilder zip;
  std::string data(2 * kPayloadBufferSize + 777, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7919 % 251);
  zip.AddStored("big.bin", data);
  zip.comment = "seal:crc32:00000000";
  const std::string sealed = testing_support::Sealed(zip.Build());
  const std::string shown = dir.Win("SetupGalvery.exe");
  // The archive from the image's end on, or from three bytes before the first buffer's end.
  for (const size_t padding : {size_t(0), kPayloadBufferSize - 8 - 3 - kImage.size()}) {
    // The first byte, one in the data, a letter of the last name in the central directory.
    const size_t lastName = sealed.size() - kSealLength - 22 - 2;
    for (const size_t changed : {size_t(0), sealed.size() / 2, lastName}) {
      for (const bool change : {false, true}) {
        std::string archive = sealed;
        if (change) archive[changed] ^= 0x20;
        const std::string image = kImage + std::string(padding, 'i');
        WriteBytes(dir.Posix("SetupGalvery.exe"), image + kMarker + archive);
        Run(shown);
        PayloadLayout layout;
        env.told.clear();
        ASSERT_TRUE(SetupFileIsWhole(LocateSetupImage(), &layout));
        ASSERT_TRUE(layout.sealed);
        const PayloadExtraction outcome = ExtractEmbeddedPayload(LocateSetupImage(), W(dir.Win("pack.zip")), nullptr, &layout);
        if (!change) {
          EXPECT_EQ(1, outcome.result);
          EXPECT_EQ(sealed, ReadBytes(dir.Posix("pack.zip")));
          continue;
        }
        EXPECT_EQ(0, outcome.result) << changed;
        EXPECT_EQ("The setup file " + shown + " is incomplete or damaged. Please obtain a new copy of it and run it again.|",
                  env.Told());
        EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
      }
    }
  }
}

TEST_F(ExtractPayload, NoPackFileIsLeftByALateThirdMarkerOrAFullDisk) {
  // A third marker two buffers behind the second: the archive's first two megabytes
  // were written by then.
  std::string archive = std::string("PK\x03\x04", 4) + std::string(2 * kPayloadBufferSize + 500, 'a');
  archive.replace(archive.size() - 100, 8, kMarker);
  MakeSetupFile(archive);
  ProgressProbe progress(dir.Posix("pack.zip"));
  const PayloadExtraction third = Extract("pack.zip", &progress);
  EXPECT_EQ(1, third.result);
  EXPECT_FALSE(third.packFileSaved);
  EXPECT_EQ("No embedded setup data found.|", env.Told());
  EXPECT_FALSE(progress.reports.empty());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));

  // The disk fills in the second buffer.
  env.told.clear();
  MakeSetupFile(std::string(3 * kPayloadBufferSize, 'b'));
  env.diskRoom = kPayloadBufferSize + 4096;
  const PayloadExtraction full = Extract("pack.zip");
  EXPECT_EQ(1, full.result);
  EXPECT_FALSE(full.packFileSaved);
  EXPECT_EQ("Cannot save setup file|", env.Told());
  EXPECT_FALSE(Exists(dir.Posix("pack.zip")));
}

TEST_F(ExtractPayload, AFailedSaveStillLetsTheStepGoOn) {
  MakeSetupFile(kArchive);
  const PayloadExtraction outcome = Extract("no such dir\\pack.zip");
  EXPECT_EQ(1, outcome.result);
  EXPECT_FALSE(outcome.packFileSaved);
  EXPECT_EQ("Cannot save setup file|", env.Told());
}

}  // namespace
