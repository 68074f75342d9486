// Opening archives and reading entry records: counts, bounds, the cache, names,
// attributes, times, and the headers that disagree or do not fit.
#include "tests/unit/archive_test_support.h"

#include <algorithm>
#include <cstring>

using namespace testing_support;

namespace {

bool SameRecord(const ArchiveEntry& a, const ArchiveEntry& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

ZipBuilder ThreeEntries() {
  ZipBuilder zip;
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help text");
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", std::string(40000, 'x') + "MZ");
  zip.AddDirectory("docs/");
  return zip;
}

// A pipe that delivers the whole of `bytes`. It could even be positioned, here: only its
// being no disk file may refuse it.
class CPipe : public CReadableFile {
 public:
  CPipe(std::string bytes, bool disk) : bytes_(std::move(bytes)), disk_(disk) {}
  SysError Read(void* buffer, size_t count, size_t* got) override {
    *got = std::min(count, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, *got);
    at_ += *got;
    return kSysOk;
  }
  SysError Seek(uint64_t position) override {
    at_ = size_t(std::min<uint64_t>(position, bytes_.size()));
    return kSysOk;
  }
  SysError Size(uint64_t* size) override {
    *size = bytes_.size();
    return kSysOk;
  }
  bool IsDiskFile() const override { return disk_; }

 private:
  std::string bytes_;
  size_t at_ = 0;
  bool disk_;
};

// Every file opened for reading comes as a pipe delivering its bytes; the opens are
// counted, since a real pipe opened a second time waits for a second writer.
class CPipeEnv : public CTestEnv {
 public:
  SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) override {
    ++opens;
    file->reset(new CPipe(ReadBytes(Utf8(path)), disk));
    return kSysOk;
  }
  int opens = 0;
  bool disk = false;  // or a disk file after all
};

TEST(ArchiveOpen, RefusesWhatIsNoArchiveOnDisk) {
  CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("missing.zip").c_str(), 0, ArchiveKindFile));
  WriteBytes(dir.Posix("text.zip"), "just some text, no end record anywhere");
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("text.zip").c_str(), 0, ArchiveKindFile));
  WriteBytes(dir.Posix("empty.zip"), "");
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("empty.zip").c_str(), 0, ArchiveKindFile));
  // Breaks: the end record claims a central directory that does not fit before it.
  std::string claims = ThreeEntries().Build();
  claims[claims.size() - 3] = char(0x7F);  // top byte of the central directory offset
  WriteBytes(dir.Posix("claims.zip"), claims);
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("claims.zip").c_str(), 0, ArchiveKindFile));
  // A valid archive, but the only kind of source supported is a file.
  WriteBytes(dir.Posix("ok.zip"), ThreeEntries().Build());
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("ok.zip").c_str(), 0, 1));
  ArchiveHandle h = ArchiveOpen(dir.Win("ok.zip").c_str(), 0, ArchiveKindFile);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(ArchiveOk, ArchiveClose(h));
  EXPECT_EQ("", env.Told());
}

TEST(ArchiveOpen, EmptyArchiveHasNoEntries) {
  CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  const std::string empty = ZipBuilder().Build();
  ASSERT_EQ(22u, empty.size());
  std::string commented = empty;
  commented[20] = 3;
  commented += "abc";
  std::string claims = empty;
  claims[8] = claims[10] = 1;  // Breaks: one entry, but no central directory to hold it.
  for (const std::string& archive : {empty, commented, claims}) {
    WriteBytes(dir.Posix("e.zip"), archive);
    ArchiveHandle h = ArchiveOpen(dir.Win("e.zip").c_str(), 0, ArchiveKindFile);
    if (archive == claims) {
      EXPECT_EQ(nullptr, h);
      continue;
    }
    ASSERT_NE(nullptr, h);
    ArchiveEntry e{};
    EXPECT_EQ(ArchiveOk, ArchiveGetEntry(h, -1, &e));
    EXPECT_EQ(0, e.index);
    EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(h, 0, &e));
    EXPECT_EQ(ArchiveErrArgument, ArchiveExtractEntry(h, 0, "x", 0, ArchiveKindFile, 'D', dir.path().c_str()));
    EXPECT_EQ(ArchiveOk, ArchiveClose(h));
  }
}

TEST(ArchiveOpen, RefusesAValidArchiveThatIsNotADiskFile) {
  {
    // The system's null device, which opens as a file but no disk file.
    CTestEnv env;
    CScopedEnv use{&env};
    EXPECT_EQ(nullptr, ArchiveOpen(OnWindows() ? "NUL" : "/dev/null", 0, ArchiveKindFile));
  }
  // A pipe that delivers a complete archive: without seeking nothing may be accepted.
  CPipeEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  WriteBytes(dir.Posix("pipe.zip"), ThreeEntries().Build());
  EXPECT_EQ(nullptr, ArchiveOpen(dir.Win("pipe.zip").c_str(), 0, ArchiveKindFile));
  EXPECT_EQ(1, env.opens) << "the pipe was opened a second time";
  // The same bytes from a disk file are an archive: the pipe was refused for being one.
  env.disk = true;
  ArchiveHandle h = ArchiveOpen(dir.Win("pipe.zip").c_str(), 0, ArchiveKindFile);
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(ArchiveOk, ArchiveClose(h));
}

class ArchiveRecords : public ArchiveTest {};

TEST_F(ArchiveRecords, CountRequestAndIndexBounds) {
  ASSERT_TRUE(Open(ThreeEntries()));
  ArchiveEntry e;
  std::memset(&e, 0x5A, sizeof e);
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, -1, &e));
  EXPECT_EQ(3, e.index);
  EXPECT_EQ('\0', e.name[0]);
  EXPECT_EQ('\x5A', e.name[1]);  // the rest of the name is left alone
  EXPECT_EQ(0u, e.attributes | e.compressedSize | e.uncompressedSize);
  EXPECT_EQ(0u, (e.accessTime | e.creationTime | e.writeTime));

  const ArchiveEntry before = e;
  EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(handle, 3, &e));
  EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(handle, -2, &e));
  EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(handle, 0, nullptr));
  EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(nullptr, 0, &e));
  EXPECT_TRUE(SameRecord(before, e));
}

TEST_F(ArchiveRecords, HandleOfAnotherKindIsRefusedByEveryOperation) {
  ASSERT_TRUE(Open(ThreeEntries()));
  ArchiveEntry e{};
  handle->kind = 2;
  EXPECT_EQ(ArchiveErrHandleKind, ArchiveGetEntry(handle, 0, &e));
  EXPECT_EQ(ArchiveErrHandleKind, ArchiveExtractEntry(handle, 0, "x", 0, ArchiveKindFile, 'D', dir.path().c_str()));
  EXPECT_EQ(ArchiveErrHandleKind, ArchiveClose(handle));
  EXPECT_TRUE(ListDir(dir.path()) == std::vector<std::string>{"a.zip"});
  // Nothing was freed: the handle still works once its tag is right again.
  handle->kind = kArchiveHandleKind;
  EXPECT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  EXPECT_STREQ("d:/Galvery/HLP/Galvery.HLP", e.name);
}

TEST_F(ArchiveRecords, RecordsInAnyOrderAndRepeatsFromTheCache) {
  ASSERT_TRUE(Open(ThreeEntries()));
  ArchiveEntry e2, e0, e1, again;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 2, &e2));
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e0));  // back: restarts from the first
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 1, &e1));
  EXPECT_STREQ("docs/", e2.name);
  EXPECT_STREQ("d:/Galvery/HLP/Galvery.HLP", e0.name);
  EXPECT_STREQ("d:/Galvery/RELEASE/Galvery.EXE", e1.name);
  EXPECT_EQ(1, e1.index);
  EXPECT_EQ(40002u, e1.uncompressedSize);
  EXPECT_EQ(Deflate(std::string(40000, 'x') + "MZ").size(), e1.compressedSize);

  const unsigned long reads = Stream().platformReads, seeks = Stream().platformSeeks;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 1, &again));
  EXPECT_TRUE(SameRecord(e1, again));
  EXPECT_EQ(reads, Stream().platformReads);
  EXPECT_EQ(seeks, Stream().platformSeeks);
}

TEST_F(ArchiveRecords, StoredNamesComeBackWholeUpTo259Bytes) {
  ZipBuilder zip;
  zip.AddStored("d:\\Galvery\\HLP/Galvery.HLP", "");
  zip.AddStored("/abs/" + std::string(254, 'n'), "");  // 259 bytes
  zip.AddStored(std::string(260, 'n'), "");
  ASSERT_TRUE(Open(zip));
  ArchiveEntry e;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  EXPECT_STREQ("d:\\Galvery\\HLP/Galvery.HLP", e.name);
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 1, &e));
  EXPECT_EQ("/abs/" + std::string(254, 'n'), e.name);
  // Breaks: a name the record cannot hold is refused, not cut.
  EXPECT_EQ(ArchiveErrNameLength, ArchiveGetEntry(handle, 2, &e));
  EXPECT_EQ(1, e.index);
}

TEST(ArchiveAttributes, MapExternalAttributes) {
  EXPECT_EQ(0xA0u, AttributesFromExternal(0x81800020));  // Unix rw file, DOS archive bit
  EXPECT_EQ(0xA1u, AttributesFromExternal(0x00000020));  // no owner-write bit: read-only
  EXPECT_EQ(0x91u, AttributesFromExternal(0x00000010));
  EXPECT_EQ(0x90u, AttributesFromExternal(0x41ED0010));
  EXPECT_EQ(0x90u, AttributesFromExternal(0x41ED0000));  // Unix directory bit alone
  EXPECT_EQ(0x87u, AttributesFromExternal(0x00800007));  // DOS read-only, hidden, system
  EXPECT_EQ(0x81u, AttributesFromExternal(0x00000000));
}

TEST_F(ArchiveRecords, AttributesAndDosTimesReachTheRecord) {
  ZipBuilder zip;
  zip.AddStored("f", "").external = 0x00000020;
  zip.AddDirectory("d/");
  ZipEntry& bad = zip.AddStored("month0", "");
  bad.dosDate = (33 << 9) | (0 << 5) | 15;  // 2013, month 0, day 15
  ASSERT_TRUE(Open(zip));
  ArchiveEntry e;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  EXPECT_EQ(0xA1u, e.attributes);
  EXPECT_EQ(TicksOfUnix(kDosStampUnix), e.writeTime);
  EXPECT_EQ(TicksOfUnix(kDosStampUnix), e.accessTime);
  EXPECT_EQ(TicksOfUnix(kDosStampUnix), e.creationTime);
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 1, &e));
  EXPECT_EQ(0x90u, e.attributes);
  // A stamp the conversion rejects gives no time rather than an invented one.
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 2, &e));
  EXPECT_EQ(0u, (e.writeTime | e.accessTime | e.creationTime));
}

TEST_F(ArchiveRecords, ExtendedTimestampOfTheLocalHeaderOnly) {
  const int32_t w = 1500000000, a = 1500000100, c = 1400000000;
  ZipBuilder zip;
  zip.AddStored("all", "").localExtra = ExtraBlock("xy", "skip") + UtBlock(7, {w, a, c});
  zip.AddStored("write", "").localExtra = UtBlock(1, {w});
  zip.AddStored("central", "").centralExtra = UtBlock(7, {w, a, c});
  // Breaks: flags announce three times, the block holds one.
  zip.AddStored("short", "").localExtra = UtBlock(7, {w});
  zip.AddStored("1969", "").localExtra = UtBlock(3, {-86400, INT32_MIN});
  ASSERT_TRUE(Open(zip));
  const uint64_t dos = TicksOfUnix(kDosStampUnix);
  struct Expect { uint64_t write, access, creation; } expected[] = {
      {TicksOfUnix(w), TicksOfUnix(a), TicksOfUnix(c)},
      {TicksOfUnix(w), dos, dos},
      {dos, dos, dos},
      {TicksOfUnix(w), dos, dos},
      {TicksOfUnix(-86400), TicksOfUnix(INT32_MIN), dos},  // 1969-12-31 and 1901-12-13
  };
  for (int i = 0; i < 5; ++i) {
    ArchiveEntry e;
    ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, i, &e)) << i;
    EXPECT_EQ(expected[i].write, e.writeTime) << e.name;
    EXPECT_EQ(expected[i].access, e.accessTime) << e.name;
    EXPECT_EQ(expected[i].creation, e.creationTime) << e.name;
  }
}

TEST(ArchiveExtraField, ScansOnlyWholeBlocksAndRefusesOverlongOnes) {
  ArchiveEntry e{};
  auto apply = [&](const std::string& field) {
    e = ArchiveEntry{};
    return ApplyExtendedTimestamp(reinterpret_cast<const unsigned char*>(field.data()), field.size(), e);
  };
  // 4 bytes or fewer are not scanned: this header would claim 5 bytes that are not there.
  EXPECT_EQ(ArchiveOk, apply(std::string("UT\x05\x00", 4)));
  // Trailing padding after a whole block is left alone too.
  EXPECT_EQ(ArchiveOk, apply(ExtraBlock("ab", "12") + std::string("UT\x09\x00", 4)));
  EXPECT_EQ(ArchiveOk, apply(ExtraBlock("UT", "") + std::string(1, '\0')));  // no flag byte
  EXPECT_EQ(0u, e.writeTime);
  // Breaks: a block that claims more than the field holds, UT or not.
  EXPECT_EQ(ArchiveErrExtraField, apply(UtBlock(1, {1}).substr(0, 7)));
  EXPECT_EQ(ArchiveErrExtraField, apply(ExtraBlock("ab", "1234").substr(0, 6)));
  EXPECT_EQ(ArchiveOk, apply(UtBlock(1, {1})));
  EXPECT_EQ(TicksOfUnix(1), e.writeTime);
}

TEST_F(ArchiveRecords, LocalHeaderThatDisagreesIsRefused) {
  ZipBuilder zip;
  zip.AddStored("good", "data");
  zip.AddStored("signature", "data").localSignature = 0x04034B51;
  zip.AddStored("method", "data").localMethod = 8;
  zip.AddStored("crc", "data").localCrc ^= 1;
  zip.AddStored("compressed", "data").localCompressedSize = 3;
  zip.AddStored("uncompressed", "data").localUncompressedSize = 3;
  zip.AddStored("name", "data").localName = "nam";
  ZipEntry& bzip2 = zip.AddStored("bzip2", "data");  // minizip would read it as stored
  bzip2.method = bzip2.localMethod = 12;
  ZipEntry& flagged = zip.AddStored("bit3", "data");  // sizes and CRC live in a data descriptor
  flagged.flags = 8;
  flagged.localCrc = flagged.localCompressedSize = flagged.localUncompressedSize = 0;
  ASSERT_TRUE(Open(zip));
  ArchiveEntry e;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(ArchiveErrLocalHeader, ArchiveGetEntry(handle, i, &e)) << i;
  // The record and the cache are as the last success left them.
  EXPECT_STREQ("good", e.name);
  const unsigned long reads = Stream().platformReads;
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  EXPECT_EQ(reads, Stream().platformReads);
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 8, &e));
  EXPECT_STREQ("bit3", e.name);
}

TEST_F(ArchiveRecords, ExtraFieldThatCannotBeReadWhole) {
  ZipBuilder zip;
  zip.AddStored("a", "x");
  // Breaks: the local extra field length runs past the end of the file.
  zip.AddStored("b", "x").localExtraLength = 0xFFFF;
  ASSERT_TRUE(Open(zip));
  ArchiveEntry e;
  EXPECT_EQ(ArchiveOk, ArchiveGetEntry(handle, 0, &e));
  EXPECT_EQ(ArchiveErrExtraField, ArchiveGetEntry(handle, 1, &e));
}

TEST_F(ArchiveRecords, CentralDirectoryThatEndsEarlyFailsEveryTime) {
  ZipBuilder zip = ThreeEntries();
  // Breaks: the end record counts four entries; stepping to the fourth finds the end record.
  zip.countOverride = 4;
  ASSERT_TRUE(Open(zip));
  ArchiveEntry e;
  EXPECT_EQ(ArchiveErrCentralDirectory, ArchiveGetEntry(handle, 3, &e));
  EXPECT_EQ(ArchiveErrCentralDirectory, ArchiveGetEntry(handle, 3, &e));
  ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, 2, &e));
  EXPECT_STREQ("docs/", e.name);
}

// Writers without ZIP64 store the entry count modulo 65,536: 65,536 entries say 0.
TEST_F(ArchiveRecords, ACountThatWrappedAt65536GivesEveryRecordOfTheDirectory) {
  struct Case {
    int entries, counted;
    int32_t expected;  // -1: the archive is refused
  };
  const Case cases[] = {
      {65536, 0, 65536},  // the count says none
      {65537, 1, 65537},  // minizip would stop behind the first entry
      {65536, 7, -1},     // neither the count nor a wrapped one
      {65537, 0, -1},
  };
  ZipBuilder zip;
  for (const Case& c : cases) {
    while (int(zip.entries.size()) < c.entries) zip.AddStored("f" + std::to_string(zip.entries.size()), "");
    zip.countOverride = c.counted;
    const bool opened = Open(zip) != nullptr;
    ASSERT_EQ(c.expected >= 0, opened) << c.entries << " entries counted as " << c.counted;
    if (!opened) continue;
    ArchiveEntry e;
    ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, -1, &e));
    EXPECT_EQ(c.expected, e.index);
    for (int32_t i : {c.expected - 1, 1, 0, 2, c.expected - 2}) {
      ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, i, &e)) << "entry " << i << " of " << c.expected;
      EXPECT_EQ("f" + std::to_string(i), e.name);
    }
    EXPECT_EQ(ArchiveErrArgument, ArchiveGetEntry(handle, c.expected, &e));
  }
}

// A count below the records there, that no wrap explains, would install a part of the
// archive and call it the whole.
TEST_F(ArchiveRecords, ACountBelowTheRecordsThereIsRefused) {
  ZipBuilder zip = ThreeEntries();
  zip.countOverride = 1;
  EXPECT_EQ(nullptr, Open(zip));

  // A ZIP64 end record's count too: minizip would offer the first entry alone.
  zip.countOverride = -1;
  zip.zip64 = true;
  ASSERT_NE(nullptr, Open(zip));
  std::string bytes = zip.Build();
  const size_t record = bytes.size() - 22 - 20 - 56;
  ASSERT_EQ(std::string("PK\x06\x06", 4), bytes.substr(record, 4));
  for (size_t at : {record + 24, record + 32}) bytes.replace(at, 8, std::string("\x01\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(nullptr, Open(bytes));
}

// The same archive behind other data, and read with read-aheads of every awkward size,
// must give the same records.
TEST_F(ArchiveRecords, SameRecordsWhateverPrecedesTheArchiveAndWhateverTheReadAhead) {
  ZipBuilder zip = ThreeEntries();
  zip.entries[0].localExtra = UtBlock(7, {1, 2, 3});
  std::vector<ArchiveEntry> bare(3);
  ASSERT_TRUE(Open(zip));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, i, &bare[size_t(i)]));

  zip.prefix = "MZ" + std::string(5000, '\x90') + "UUUUUUUU";
  for (uint32_t readAhead : {0u, 1u, 7u, 30u, 4096u, 65536u}) {
    ASSERT_TRUE(Open(zip, readAhead)) << readAhead;
    for (int i : {2, 0, 1}) {
      ArchiveEntry e;
      ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, i, &e));
      EXPECT_TRUE(SameRecord(bare[size_t(i)], e)) << "entry " << i << ", read-ahead " << readAhead;
    }
  }
}

TEST_F(ArchiveRecords, ReadAheadCutsPlatformReads) {
  ZipBuilder zip;
  for (int i = 0; i < 50; ++i) zip.AddStored("dir/file" + std::to_string(i), "content").localExtra = UtBlock(1, {i});
  unsigned long reads[2];
  int n = 0;
  for (uint32_t readAhead : {0u, kArchiveReadAheadDefault}) {
    ASSERT_TRUE(Open(zip, readAhead));
    ArchiveEntry e;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(ArchiveOk, ArchiveGetEntry(handle, i, &e));
    reads[n++] = Stream().platformReads;
  }
  // Without a read-ahead minizip's byte-by-byte header reads each reach the platform.
  EXPECT_GT(reads[0], 50u * 40);
  EXPECT_LT(reads[1] * 20, reads[0]);
}

// A file whose every read fails, as one the system cannot read any more.
class CUnreadable : public CReadableFile {
 public:
  SysError Read(void*, size_t, size_t* got) override {
    *got = 0;
    return kSysAccessDenied;
  }
  SysError Seek(uint64_t) override { return kSysOk; }
  SysError Size(uint64_t* size) override {
    *size = 10;
    return kSysOk;
  }
  bool IsDiskFile() const override { return true; }
};

TEST(ArchiveStreamFile, ReadFailureSetsTheErrorFlag) {
  CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
  WriteBytes(dir.Posix("f"), "0123456789");
  zlib_filefunc64_def f;
  const CStringW path = W(dir.Win("f"));
  ArchiveStreamOpener opener{4, nullptr, false, path};
  FillArchiveStreamFunctions(&f, &opener);
  voidpf s = f.zopen64_file(f.opaque, "", 0);
  ASSERT_NE(nullptr, s);
  char buf[8] = {};
  EXPECT_EQ(3u, f.zread_file(f.opaque, s, buf, 3));
  EXPECT_EQ(0, f.zseek64_file(f.opaque, s, 2, ZLIB_FILEFUNC_SEEK_END));
  EXPECT_EQ(12u, f.ztell64_file(f.opaque, s));
  EXPECT_EQ(0, f.zseek64_file(f.opaque, s, 8, ZLIB_FILEFUNC_SEEK_SET));
  EXPECT_EQ(2u, f.zread_file(f.opaque, s, buf, 8));  // the end of the file is no error
  EXPECT_EQ(0, f.zerror_file(f.opaque, s));
  // At the end further reads cost no platform call, until the position moves.
  const unsigned long reads = static_cast<ArchiveStream*>(s)->platformReads;
  EXPECT_EQ(0u, f.zread_file(f.opaque, s, buf, 1));
  EXPECT_EQ(0u, f.zread_file(f.opaque, s, buf, 1));
  EXPECT_EQ(reads, static_cast<ArchiveStream*>(s)->platformReads);
  EXPECT_EQ(0, f.zseek64_file(f.opaque, s, 1, ZLIB_FILEFUNC_SEEK_SET));
  EXPECT_EQ(4u, f.zread_file(f.opaque, s, buf, 4));
  EXPECT_EQ("1234", std::string(buf, 4));
  // Back, as minizip steps back after reading a central record's extra field: a negative
  // distance in 64 bits (where an unsigned long has 32, only this set can say it).
  EXPECT_EQ(0, f.zseek64_file(f.opaque, s, ZPOS64_T(-3), ZLIB_FILEFUNC_SEEK_CUR));
  EXPECT_EQ(2u, f.ztell64_file(f.opaque, s));
  EXPECT_EQ(2u, f.zread_file(f.opaque, s, buf, 2));
  EXPECT_EQ("23", std::string(buf, 2));
  EXPECT_EQ(-1, f.zseek64_file(f.opaque, s, 0, 7));
  EXPECT_EQ(0, f.zclose_file(f.opaque, s));

  // A file that cannot be read makes every read fail, with and without the read-ahead.
  for (uint32_t capacity : {0u, 4u}) {
    ArchiveStream* w = new ArchiveStream{};
    w->file.reset(new CUnreadable);
    w->canSeek = true;
    w->capacity = capacity;
    if (capacity) w->buffer.reset(new unsigned char[capacity]);
    EXPECT_EQ(0u, f.zread_file(f.opaque, w, buf, 1)) << capacity;
    EXPECT_EQ(1, f.zerror_file(f.opaque, w)) << capacity;
    EXPECT_EQ(0, f.zclose_file(f.opaque, w));
  }
}

}  // namespace
