// Shared by the archive reader's tests: an archive written to a scratch directory and
// opened in a test environment, and file-time helpers.
#pragma once

#include "archive/archive_internal.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

namespace testing_support {

// 100-ns ticks since 1601 of a Unix time: what every file time here is compared with.
inline FileTime TicksOfUnix(int64_t seconds) { return FileTime(seconds * 10000000 + 116444736000000000LL); }

// 2013-09-15 18:06:30 UTC, the DOS stamp ZipEntry carries unless a test sets another.
const int64_t kDosStampUnix = 1379268390;

class ArchiveTest : public ::testing::Test {
 protected:
  ~ArchiveTest() override {
    if (handle) ArchiveClose(handle);
  }
  // Writes `zip` as a.zip and opens it; the handle is closed at the end of the test.
  ArchiveHandle Open(const ZipBuilder& zip, uint32_t readAhead = kArchiveReadAheadDefault) {
    return Open(zip.Build(), readAhead);
  }
  ArchiveHandle Open(const std::string& bytes, uint32_t readAhead = kArchiveReadAheadDefault) {
    // Closed first: Windows lets no one rewrite a file the reader has open.
    if (handle) ArchiveClose(handle);
    handle = nullptr;
    WriteBytes(dir.Posix("a.zip"), bytes);
    handle = OpenArchiveFile(W(dir.Win("a.zip")), readAhead);
    return handle;
  }
  ArchiveStream& Stream() { return *handle->reader->opener.opened; }

  // Before the handle, which is closed in the environment it was opened in.
  CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  ArchiveHandle handle = nullptr;
};

}  // namespace testing_support
