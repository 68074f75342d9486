// Shared by the archive reader's tests: an archive written to a scratch directory and
// opened, and file-time helpers.
#pragma once

#include "archive/archive_internal.h"
#include "tests/unit/test_support.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

namespace testing_support {

// 100-ns ticks since 1601 of a Unix time: what every file time here is compared with.
inline uint64_t TicksOfUnix(int64_t seconds) { return uint64_t(seconds * 10000000 + 116444736000000000LL); }
inline uint64_t Ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

// 2013-09-15 18:06:30 UTC, the DOS stamp ZipEntry carries unless a test sets another.
const int64_t kDosStampUnix = 1379268390;

class ArchiveTest : public ::testing::Test {
 protected:
  ~ArchiveTest() override {
    if (handle) ArchiveClose(handle);
  }
  // Writes `zip` as a.zip and opens it; the handle is closed at the end of the test.
  ArchiveHandle Open(const ZipBuilder& zip, DWORD readAhead = kArchiveReadAheadDefault) {
    WriteBytes(dir.Posix("a.zip"), zip.Build());
    if (handle) ArchiveClose(handle);
    handle = OpenArchiveFile(CStringW(CString(dir.Win("a.zip").c_str())), readAhead);
    return handle;
  }
  ArchiveStream& Stream() { return *handle->reader->opener.opened; }

  ScratchDir dir;
  ArchiveHandle handle = nullptr;
};

}  // namespace testing_support
