// The packager's archive writer: what the setup program reads back from it, times and
// SOURCE_DATE_EPOCH, byte-identical output, and runs of 0x55 broken by deflating again
// or refused when nothing can break them.
#include "archive/archive_internal.h"
#include "archive/archive_seal.h"
#include "tests/unit/mksetup_test_support.h"
#include "tools/pack_reader.h"
#include "tools/setup_archive.h"

#include <cstdio>
#include <tuple>

using namespace testing_support;
using namespace mksetup;

namespace {

const int64_t kModified = 1500000001;  // 2017-07-14 02:40:01 UTC, an odd second

std::vector<uint8_t> Data(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

Member FromFile(const std::string& name, const std::string& data, int64_t modified = kModified) {
  Member m;
  std::string error;
  if (!MemberFromFile({name}, Data(data), modified, &m, &error)) ADD_FAILURE() << name << ": " << error;
  return m;
}

std::string Program() {
  std::string s = "MZ";
  for (int i = 0; i < 3000; ++i) s += "instruction " + std::to_string(i * 7919 % 1000) + "\n";
  return s;
}

// `count` stored members of a few bytes each, named f0.txt, f1.txt ...
std::vector<Member> ManyMembers(size_t count) {
  std::vector<Member> members(count);
  for (size_t i = 0; i < count; ++i) {
    Member& m = members[i];
    m.name = "f" + std::to_string(i) + ".txt";
    m.method = 0;
    DosStampOf(kModified, &m.dosDate, &m.dosTime);
    const std::string data = std::to_string(i);
    m.stored = Data(data);
    m.crc = Crc32(data);
    m.size = uint32_t(data.size());
  }
  return members;
}

// The archive ends with "seal:crc32:" and the hex digits of zlib's CRC-32 of every byte
// before the digits, computed here from the bytes alone.
void ExpectSealed(const std::string& archive, const std::string& what = "") {
  ASSERT_GT(archive.size(), 19u) << what;
  EXPECT_EQ("seal:crc32:", archive.substr(archive.size() - 19, 11)) << what;
  const std::string digits = archive.substr(archive.size() - 8);
  const uLong crc = crc32(0, Bytes(archive), uInt(archive.size() - 8));
  char expected[9];
  std::snprintf(expected, sizeof expected, "%08lx", crc);
  EXPECT_EQ(std::string(expected), digits) << what;
}

std::string Write(std::vector<Member> members, std::vector<std::string>* notes = nullptr,
                  std::vector<std::string>* problems = nullptr,
                  const std::vector<Compression>& compressions = kCompressions, bool* written = nullptr) {
  std::vector<uint8_t> archive;
  std::vector<std::string> n, p;
  const bool ok = WriteArchiveAvoidingMarkers(members, "", compressions, &archive, problems ? problems : &p,
                                              notes ? notes : &n);
  if (written) *written = ok;
  else EXPECT_TRUE(ok) << (p.empty() ? std::string() : p.front());
  return Text(archive);
}

TEST(MksetupArchive, TheSetupProgramReadsBackWhatWasAdded) {
  const std::string archive =
      Write({FromFile("d:/Galvery/RELEASE/Galvery.EXE", Program()), FromFile("d:/Galvery/HLP/Galvery.HLP", "help\r\n")});
  const ArchiveCheck c = Check(archive);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(2u, c.entries.size());
  EXPECT_EQ("d:/Galvery/RELEASE/Galvery.EXE", c.entries[0].name);
  EXPECT_EQ(8, c.entries[0].method);
  EXPECT_LT(c.entries[0].compressedSize, c.entries[0].uncompressedSize / 4);
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(ReadEntryData(Bytes(archive), archive.size(), c.entries[0], &data, &error)) << error;
  EXPECT_EQ(Program(), Text(data));

  // The reader's records: the exact time from the "UT" block as write time, the DOS
  // stamp (whole even seconds) for the other two, a writable file with the archive bit.
  const ReaderView view = ReadWithSetupReader(Bytes(archive), archive.size());
  ASSERT_TRUE(view.opened);
  ASSERT_EQ(2, view.count);
  const ArchiveEntry& exe = view.records[0].entry;
  ASSERT_EQ(ArchiveOk, view.records[0].result);
  auto ticks = [](FileTime t) { return uint64_t(t); };
  EXPECT_EQ(uint64_t(kModified) * 10000000 + 116444736000000000ULL, ticks(exe.writeTime));
  EXPECT_EQ(uint64_t(kModified - 1) * 10000000 + 116444736000000000ULL, ticks(exe.creationTime));
  EXPECT_EQ(ticks(exe.creationTime), ticks(exe.accessTime));
  EXPECT_EQ(0xA0u, exe.attributes);
  EXPECT_EQ(uint32_t(Program().size()), exe.uncompressedSize);
}

TEST(MksetupArchive, StoresNamesAsUtf8OrInTheCodePageGiven) {
  StoredName stored;
  std::string error;
  ASSERT_TRUE(StoreName("d:/Galvery/HLP/Galvery.HLP", 0, &stored, &error)) << error;
  EXPECT_EQ(0, stored.flags);
  ASSERT_TRUE(StoreName("d:/Ελλάδα/Οδηγός.txt", 0, &stored, &error)) << error;
  EXPECT_EQ("d:/Ελλάδα/Οδηγός.txt", stored.bytes);
  EXPECT_EQ(0x800, stored.flags);
  // The flag stands in both headers, and the name reads as UTF-8.
  Member m;
  ASSERT_TRUE(MemberFromFile(stored, Data("guide"), kModified, &m, &error)) << error;
  const ArchiveCheck c = Check(Write({m}));
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(1u, c.entries.size());
  EXPECT_EQ(0x800, c.entries[0].flags & 0x800);
  EXPECT_EQ(0x800, c.entries[0].localFlags & 0x800);
  EXPECT_EQ("Οδηγός.txt", c.entries[0].baseName);

  // In a code page: the name's bytes there, unflagged. 表 ends in 0x5C in Shift-JIS.
  ASSERT_TRUE(StoreName("ソフト/表.txt", 932, &stored, &error)) << error;
  EXPECT_EQ("\x83\x5C\x83\x74\x83\x67/\x95\x5C.txt", stored.bytes);
  EXPECT_EQ(0, stored.flags);
  ASSERT_TRUE(StoreName("Οδηγός.txt", 1253, &stored, &error)) << error;
  EXPECT_EQ("\xCF\xE4\xE7\xE3\xFC\xF2.txt", stored.bytes);
  // Refused, the character named: one the code page lacks, one it has one way only (a
  // yen sign would be stored as 0x5C and read back as a backslash), one beyond 16 bits.
  const std::vector<std::tuple<std::string, unsigned, std::string>> refused = {
      {"Ελλάδα.txt", 1252, "code page 1252 has no character 'Ε' (U+0395)"},
      {"¥.txt", 932, "code page 932 has no character '¥' (U+00A5)"},
      {"a\xF0\x9F\x98\x80.txt", 1252, "(U+1F600)"},
      {"bad\xFF.txt", 0, "not valid UTF-8"},
      {"bad\xC0\xAF.txt", 1252, "not valid UTF-8"},  // an overlong '/'
  };
  for (const auto& [name, codePage, fragment] : refused) {
    error.clear();
    EXPECT_FALSE(StoreName(name, codePage, &stored, &error)) << name;
    EXPECT_NE(std::string::npos, error.find(fragment)) << name << ": " << error;
  }
}

TEST(MksetupArchive, TheSameInputsGiveTheSameBytes) {
  auto build = [](int64_t helpTime, bool swapped) {
    std::vector<Member> members = {FromFile("d:/Galvery/RELEASE/Galvery.EXE", Program()),
                                   FromFile("d:/Galvery/HLP/Galvery.HLP", "help\r\n", helpTime)};
    if (swapped) std::swap(members[0], members[1]);
    return Write(members);
  };
  EXPECT_EQ(build(kModified, false), build(kModified, false));
  EXPECT_NE(build(kModified, false), build(kModified + 2, false)) << "the time is part of the archive";
  EXPECT_NE(build(kModified, false), build(kModified, true)) << "entries keep the order given";
}

TEST(MksetupArchive, StampsTimesInUtcAndHonoursSourceDateEpoch) {
  uint16_t date = 0, time = 0;
  DosStampOf(1379268390, &date, &time);  // 2013-09-15 18:06:30
  EXPECT_EQ(0x432F, date);
  EXPECT_EQ(0x90CF, time);
  DosStampOf(1379268391, &date, &time);  // odd seconds round down
  EXPECT_EQ(0x90CF, time);
  DosStampOf(86400, &date, &time);  // before 1980: the first DOS stamp
  EXPECT_EQ(0x0021, date);
  EXPECT_EQ(0x0000, time);

  std::optional<int64_t> epoch;
  ASSERT_TRUE(ParseSourceDateEpoch(nullptr, &epoch));
  EXPECT_FALSE(epoch);
  ASSERT_TRUE(ParseSourceDateEpoch("", &epoch));
  EXPECT_FALSE(epoch);
  ASSERT_TRUE(ParseSourceDateEpoch("1700000000", &epoch));
  ASSERT_TRUE(epoch);
  EXPECT_EQ(1700000000, *epoch);
  for (const char* bad : {"-5", "12a", " 1", "1.5", "99999999999999999999"})
    EXPECT_FALSE(ParseSourceDateEpoch(bad, &epoch)) << bad;
  // Newer files get the epoch; older ones keep their time.
  EXPECT_EQ(1700000000, StoredTime(1800000000, int64_t(1700000000)));
  EXPECT_EQ(1600000000, StoredTime(1600000000, int64_t(1700000000)));
  EXPECT_EQ(1800000000, StoredTime(1800000000, std::nullopt));

  // A "UT" block holds 1970 to 2038 only.
  Member m;
  std::string error;
  EXPECT_FALSE(MemberFromFile({"a"}, Data("x"), -1, &m, &error));
  EXPECT_FALSE(MemberFromFile({"a"}, Data("x"), int64_t(1) << 31, &m, &error));
  EXPECT_NE(std::string::npos, error.find("1970 to 2038"));
}

TEST(MksetupArchive, DeflatesAgainToBreakARunOfMarkerBytes) {
  // Level 0 keeps the data as it is, run and all; level 9 turns the run into a match.
  const std::string logo = "BM" + std::string(64, 'U') + Program();
  std::vector<std::string> notes;
  const std::string archive =
      Write({FromFile("logo.bmp", logo)}, &notes, nullptr, {{0, 0}, {9, 0}});
  const ArchiveCheck c = Check(archive);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(1u, notes.size());
  EXPECT_NE(std::string::npos, notes[0].find("'logo.bmp' deflated again at level 9")) << notes[0];
  ExpectSealed(archive, "of the bytes written last");
  EXPECT_TRUE(c.SealHolds());
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(ReadEntryData(Bytes(archive), archive.size(), c.entries[0], &data, &error)) << error;
  EXPECT_EQ(logo, Text(data));

  // With no other compression to try, it is refused.
  std::vector<std::string> problems;
  bool written = true;
  Write({FromFile("logo.bmp", logo)}, nullptr, &problems, {{0, 0}}, &written);
  EXPECT_FALSE(written);
  ASSERT_EQ(1u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("every compression tried")) << problems[0];
}

TEST(MksetupArchive, BreaksARunInAnExistingArchiveAndKeepsTheRest) {
  ZipBuilder zip;
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help text");
  // A deflated entry made of stored blocks: valid deflate that holds the run as it is.
  ZipEntry& logo = zip.AddStored("logo.bmp", "BM" + std::string(40, 'U') + "pixels");
  logo.method = 8;
  logo.payload = DeflateAt("BM" + std::string(40, 'U') + "pixels", 0);
  logo.compressedSize = uint32_t(logo.payload.size());
  ZipBuilder::SyncLocal(logo);
  logo.localExtra = UtBlock(1, {1500000000});
  const std::string input = zip.Build();
  const ArchiveCheck before = Check(input);
  ASSERT_EQ(1u, before.runs.size());

  std::vector<Member> members = MembersFromArchive(Bytes(input), input.size(), before);
  std::vector<std::string> notes;
  const std::string output = Write(members, &notes);
  const ArchiveCheck after = Check(output);
  EXPECT_EQ("", AllMessages(after.findings));
  EXPECT_EQ(1u, notes.size());
  ASSERT_EQ(2u, after.entries.size());
  // The other entry's bytes, every name, CRC-32, time and extra field stay as they were.
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(before.entries[i].name, after.entries[i].name);
    EXPECT_EQ(before.entries[i].crc, after.entries[i].crc);
    EXPECT_EQ(before.entries[i].dosDate, after.entries[i].dosDate);
    EXPECT_EQ(before.entries[i].localExtra, after.entries[i].localExtra);
  }
  EXPECT_EQ(input.substr(before.entries[0].dataOffset, 9), output.substr(after.entries[0].dataOffset, 9));
  EXPECT_LT(after.entries[1].compressedSize, before.entries[1].compressedSize);
}

TEST(MksetupArchive, RefusesRunsThatDeflatingCannotBreak) {
  std::vector<std::string> problems;
  bool written = true;

  // A stored entry's data is the file's own.
  ZipBuilder zip;
  zip.AddStored("logo.bmp", "BM" + std::string(8, 'U'));
  const std::string input = zip.Build();
  Write(MembersFromArchive(Bytes(input), input.size(), Check(input)), nullptr, &problems, kCompressions, &written);
  EXPECT_FALSE(written);
  ASSERT_EQ(1u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("'logo.bmp': data")) << problems[0];
  EXPECT_NE(std::string::npos, problems[0].find("the entry is stored")) << problems[0];

  // A name.
  problems.clear();
  Write({FromFile("UUUUUUUU.txt", "x")}, nullptr, &problems, kCompressions, &written);
  EXPECT_FALSE(written);
  ASSERT_EQ(2u, problems.size()) << "local header and central directory";
  EXPECT_NE(std::string::npos, problems[0].find("name (local header)")) << problems[0];

  // A file modified 2022-10-21 10:42:42 UTC (DOS time and date both 0x5555) whose CRC-32
  // is 0x55555555: eight bytes in a row in each header, fixed by the file itself.
  problems.clear();
  Write({FromFile("a.txt", WithCrc("forged", 0x55555555), 1666348962)}, nullptr, &problems, kCompressions, &written);
  EXPECT_FALSE(written);
  ASSERT_EQ(2u, problems.size());
  EXPECT_NE(std::string::npos,
            problems[0].find("DOS time (local header), DOS date (local header), CRC-32 (local header): deflating "
                             "again cannot change"))
      << problems[0];
}

TEST(MksetupArchive, KeepsADataDescriptorOutOfTheRewrite) {
  // Bit 3: the sizes and CRC-32 follow the data; the rewrite puts them into the header.
  ZipBuilder zip;
  ZipEntry& e = zip.AddDeflated("a.txt", "text with a descriptor behind it");
  e.flags = 8;
  e.localCrc = e.localCompressedSize = e.localUncompressedSize = 0;
  std::string descriptor = std::string("PK\x07\x08", 4);
  for (uint32_t v : {e.crc, e.compressedSize, e.uncompressedSize})
    for (int k = 0; k < 4; ++k) descriptor += char(v >> (8 * k));
  e.payload += descriptor;  // the check places it by the compressed size
  const std::string input = zip.Build();
  // minizip reads the sizes from the central directory and passes over the descriptor.
  const ArchiveCheck c = Check(input);
  EXPECT_EQ("", AllMessages(c.findings));
  const std::string output = Write(MembersFromArchive(Bytes(input), input.size(), c));
  const ArchiveCheck after = Check(output);
  EXPECT_EQ("", AllMessages(after.findings));
  EXPECT_EQ(0, after.entries[0].flags & 8);
  EXPECT_EQ(input.size() - descriptor.size() + kSealLength, output.size()) << "descriptor dropped, seal added";
}

TEST(MksetupArchive, WritesZip64ForMoreThan65535Entries) {
  std::string archive;
  for (size_t count : {size_t(65535), size_t(65536)}) {
    archive = Write(ManyMembers(count));
    const bool zip64 = count > 65535;
    CheckOptions noData;
    noData.readData = false;
    const ArchiveCheck c = Check(archive, noData);
    EXPECT_EQ("", AllMessages(c.findings)) << count;
    EXPECT_EQ(count, c.entries.size());
    EXPECT_EQ(zip64 ? Zip64RecordAt(archive) : kNowhere, c.zip64EndRecord) << count;
    EXPECT_EQ(0xFFFFu, Get32At(archive, EndRecord(archive) + 8) >> 16) << count;
    // Up to 65535 entries, as always: the end record right behind the central directory.
    const size_t directoryEnd = CentralDirectory(archive) + Get32At(archive, EndRecord(archive) + 12);
    EXPECT_EQ(zip64 ? Zip64RecordAt(archive) : EndRecord(archive), directoryEnd) << count;
    ExpectSealed(archive, std::to_string(count));
  }
  // The setup program's reader counts every entry and reads every record.
  const ReaderView view = ReadWithSetupReader(Bytes(archive), archive.size());
  ASSERT_TRUE(view.opened);
  EXPECT_EQ(65536, view.count);
  size_t unread = 0;
  for (const ReaderRecord& r : view.records) unread += r.result != ArchiveOk;
  EXPECT_EQ(0u, unread);
}

TEST(MksetupArchive, RewritingKeepsZip64WhereNeededAndDropsZip64Blocks) {
  // zip's archive of many entries, one of them with a run to break, one as zip -fz
  // writes it: its size and sizes left to ZIP64 blocks.
  ZipBuilder zip = ManyEntries(65536);
  zip.zip64 = true;
  const std::string picture = "BM" + std::string(40, 'U') + "pixels";
  ZipEntry& logo = zip.entries[0];
  logo.method = 8;
  logo.payload = DeflateAt(picture, 0);
  logo.crc = Crc32(picture);
  logo.uncompressedSize = uint32_t(picture.size());
  logo.compressedSize = uint32_t(logo.payload.size());
  ZipBuilder::SyncLocal(logo);
  ZipEntry& forced = zip.entries[1];
  forced.uncompressedSize = forced.localUncompressedSize = forced.localCompressedSize = 0xFFFFFFFF;
  forced.centralExtra = Zip64Block({1});
  forced.localExtra = Zip64Block({1, 1}) + UtBlock(1, {1500000000});
  const std::string input = zip.Build();
  CheckOptions noData;
  noData.readData = false;
  const ArchiveCheck before = Check(input, noData);
  ASSERT_EQ(1u, before.runs.size());

  std::vector<std::string> notes;
  const std::string output = Write(MembersFromArchive(Bytes(input), input.size(), before), &notes);
  EXPECT_EQ(1u, notes.size());
  const ArchiveCheck after = Check(output, noData);
  EXPECT_EQ("", AllMessages(after.findings));
  EXPECT_EQ(65536u, after.entries.size());
  EXPECT_EQ(Zip64RecordAt(output), after.zip64EndRecord);
  const EntryInfo& e = after.entries.at(1);
  EXPECT_EQ(UtBlock(1, {1500000000}), e.localExtra);
  EXPECT_EQ("", e.centralExtra);
  EXPECT_EQ(1u, e.uncompressedSize);
  EXPECT_EQ(1u, e.localSize);
  std::string error;
  EXPECT_TRUE(ReadEntryData(Bytes(output), output.size(), e, nullptr, &error)) << error;
}

TEST(MksetupArchive, StoresWhatDeflatingDoesNotShrink) {
  const std::string noise = RandomBytes(200000, 3);
  const std::string archive = Write({FromFile("d:/Galvery/RELEASE/Galvery.PAK", noise),
                                     FromFile("d:/Galvery/RELEASE/Galvery.EXE", Program()), FromFile("empty.txt", "")});
  const ArchiveCheck c = Check(archive);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(3u, c.entries.size());
  EXPECT_EQ(0, c.entries[0].method);
  EXPECT_EQ(noise.size(), c.entries[0].compressedSize);
  EXPECT_EQ(10, c.entries[0].versionNeeded);
  EXPECT_EQ(0, c.entries[0].flags & 0x6) << "no level class for stored data";
  EXPECT_EQ(8, c.entries[1].method);
  EXPECT_EQ(0, c.entries[2].method) << "nothing deflates to two bytes";
  EXPECT_EQ(0u, c.entries[2].compressedSize);
  std::vector<uint8_t> data;
  std::string error;
  ASSERT_TRUE(ReadEntryData(Bytes(archive), archive.size(), c.entries[0], &data, &error)) << error;
  EXPECT_EQ(noise, Text(data));
  // Headers and the seal are all that is added to data that does not shrink.
  EXPECT_LT(archive.size(), noise.size() + Program().size() / 4 + 300);
  ExpectSealed(archive, "stored over what deflating wrote");
}

TEST(MksetupArchive, JudgesALargeEntryOnItsFirstPart) {
  // Not smaller in its first 16 MiB: stored, the rest not deflated at all, even where
  // the rest would shrink. Data that shrinks there is deflated whole.
  const std::string noise = RandomBytes(kStoreSample + 100000, 4);
  const std::string noiseThenText = RandomBytes(kStoreSample, 4) + std::string(3 << 20, 'a');
  std::string text;
  for (size_t i = 0; text.size() < kStoreSample + 100000; ++i) text += "line " + std::to_string(i * 7919 % 100003) + "\n";
  const std::string archive = Write({FromFile("noise.bin", noise), FromFile("mixed.bin", noiseThenText),
                                     FromFile("text.txt", text)});
  const ArchiveCheck c = Check(archive);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(3u, c.entries.size());
  EXPECT_EQ(0, c.entries[0].method);
  EXPECT_EQ(0, c.entries[1].method);
  EXPECT_EQ(noiseThenText.size(), c.entries[1].compressedSize);
  EXPECT_EQ(8, c.entries[2].method);
  EXPECT_LT(c.entries[2].compressedSize, text.size() / 2);
  ExpectSealed(archive);
}

TEST(MksetupArchive, DeflatesDataThatStoredWouldHoldAMarkerRun) {
  // Data that does not shrink, with eight 0x55 bytes in it: stored, the setup program
  // would count a marker there. Deflate keeps such data in stored blocks, run and all,
  // at every level; the last compression parts the run with an empty block.
  std::string near = RandomBytes(100000, 5);
  near.replace(50000, 8, "UUUUUUUU");
  // The same beyond the first part the writer judges it by: found while storing it.
  std::string far = RandomBytes(kStoreSample + 200000, 6);
  far.replace(kStoreSample + 100000, 12, std::string(12, 'U'));
  std::vector<std::string> notes;
  const std::string archive = Write({FromFile("near.bin", near), FromFile("far.bin", far)}, &notes);
  const ArchiveCheck c = Check(archive);
  EXPECT_EQ("", AllMessages(c.findings));
  ASSERT_EQ(2u, c.entries.size());
  EXPECT_EQ(8, c.entries[0].method);
  EXPECT_EQ(8, c.entries[1].method);
  EXPECT_TRUE(c.runs.empty());
  ASSERT_EQ(2u, notes.size());
  EXPECT_NE(std::string::npos, notes[0].find("'near.bin' deflated again at level 6, runs of 0x55 parted")) << notes[0];
  std::vector<uint8_t> data;
  std::string error;
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(ReadEntryData(Bytes(archive), archive.size(), c.entries[i], &data, &error)) << error;
    EXPECT_EQ(i ? far : near, Text(data));
  }
  // Storing "far" stopped at its run and deflating wrote it again, longer: the seal is
  // of the last of these.
  ExpectSealed(archive);
  // Without it, such data is refused, as no level can change it.
  std::vector<std::string> problems;
  bool written = true;
  Write({FromFile("near.bin", near)}, nullptr, &problems, {{9, 0}, {1, 0}}, &written);
  EXPECT_FALSE(written);
  ASSERT_EQ(1u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("every compression tried")) << problems[0];

  // A run that the stored data makes with the bytes before it, in the "UT" block (a time
  // of 0x55555555, in May 2015): the entry is deflated after all, and says so.
  const std::string edge = "UUUU" + RandomBytes(300, 8);
  notes.clear();
  const std::string deflated = Write({FromFile("edge.bin", edge, 0x55555555)}, &notes);
  const ArchiveCheck e = Check(deflated);
  EXPECT_EQ("", AllMessages(e.findings));
  EXPECT_EQ(8, e.entries.at(0).method);
  ASSERT_EQ(1u, notes.size());
  EXPECT_NE(std::string::npos, notes[0].find("'edge.bin' deflated at level 6, not stored")) << notes[0];
  ExpectSealed(deflated);
}

TEST(MksetupArchive, EndsTheCommentWithOneSeal) {
  std::vector<uint8_t> bytes;
  std::vector<std::string> problems, notes;
  std::vector<Member> members = {FromFile("readme.txt", "read me")};
  ASSERT_TRUE(WriteArchiveAvoidingMarkers(members, "Galvery 2.0", kCompressions, &bytes, &problems, &notes));
  const std::string vendor = Text(bytes);
  ExpectSealed(vendor);
  const ArchiveCheck first = Check(vendor);
  EXPECT_EQ("", AllMessages(first.findings));
  EXPECT_EQ("Galvery 2.0seal:crc32:", first.comment.substr(0, first.comment.size() - 8));
  EXPECT_TRUE(first.SealHolds());

  // Written again from its members, with its sealed comment: the old seal gives way,
  // whether it still held or not.
  for (const std::string& comment : {first.comment, std::string("Galvery 2.0seal:crc32:DEADBEEF")}) {
    std::vector<Member> again = MembersFromArchive(Bytes(vendor), vendor.size(), first);
    ASSERT_TRUE(WriteArchiveAvoidingMarkers(again, comment, kCompressions, &bytes, &problems, &notes));
    const std::string resealed = Text(bytes);
    ExpectSealed(resealed, comment);
    EXPECT_EQ("Galvery 2.0seal:crc32:", Check(resealed).comment.substr(0, first.comment.size() - 8)) << comment;
    EXPECT_EQ(vendor.size(), resealed.size()) << comment;
  }

  // The longest comment that leaves room for the seal, and one byte more.
  // The setup program looks for the end record in the last 65535 bytes.
  const std::string longest(65535 - 22 - kSealLength, 'c');
  members = {FromFile("readme.txt", "read me")};
  ASSERT_TRUE(WriteArchiveAvoidingMarkers(members, longest, kCompressions, &bytes, &problems, &notes));
  ExpectSealed(Text(bytes));
  const ArchiveCheck longestCheck = Check(Text(bytes));
  EXPECT_EQ("", AllMessages(longestCheck.findings));
  EXPECT_EQ(longest.size() + kSealLength, longestCheck.comment.size());
  members = {FromFile("readme.txt", "read me")};
  EXPECT_FALSE(WriteArchiveAvoidingMarkers(members, longest + "c", kCompressions, &bytes, &problems, &notes));
  ASSERT_EQ(1u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("the archive comment is 65495 bytes; with the seal")) << problems[0];
}

TEST(MksetupArchive, FilesOnDiskGiveTheBytesThatDataInMemoryGives) {
  const std::string program = Program(), noise = RandomBytes(3 << 20, 9);
  const TempFile programFile(program), noiseFile(noise);
  std::vector<Member> fromMemory = {FromFile("d:/Galvery/RELEASE/Galvery.EXE", program), FromFile("noise", noise)};
  std::vector<Member> fromFiles(2);
  std::string error;
  ASSERT_TRUE(MemberFromPath({"d:/Galvery/RELEASE/Galvery.EXE"}, programFile.Path(), kModified, &fromFiles[0], &error));
  ASSERT_TRUE(MemberFromPath({"noise"}, noiseFile.Path(), kModified, &fromFiles[1], &error));
  const std::string expected = Write(fromMemory);

  // Written into a file behind a stub, by position, and read back from it.
  const std::string stub = "MZ stub";
  std::string path;
  FILE* made = nullptr;
  ASSERT_TRUE(host::MakeTemporaryFile(&path, &made));
  std::fclose(made);
  FILE* file = host::OpenFile(path, "w+b");
  ASSERT_NE(nullptr, file);
  ASSERT_EQ(stub.size(), std::fwrite(stub.data(), 1, stub.size(), file));
  FileSink sink(file, stub.size());
  uint64_t size = 0;
  std::vector<std::string> problems, notes;
  ASSERT_TRUE(WriteArchiveAvoidingMarkers(fromFiles, "", kCompressions, sink, kMaxSetupFileSize, &size, &problems,
                                          &notes));
  std::fclose(file);
  std::vector<uint8_t> written;
  ASSERT_TRUE(host::ReadFile(path, written, &error)) << error;
  host::RemoveFile(path);
  EXPECT_EQ(stub + expected, Text(written));
  EXPECT_EQ(expected.size(), size);
}

TEST(MksetupArchive, RefusesAnArchivePastTheLimit) {
  std::vector<Member> members = {FromFile("noise", RandomBytes(5000, 10))};
  std::vector<uint8_t> archive;
  MemorySink sink(archive);
  uint64_t size = 0;
  std::vector<std::string> problems, notes;
  EXPECT_FALSE(WriteArchiveAvoidingMarkers(members, "", kCompressions, sink, 4000, &size, &problems, &notes));
  ASSERT_EQ(1u, problems.size());
  EXPECT_NE(std::string::npos, problems[0].find("passes the 4000 bytes that fit beside the stub")) << problems[0];
  EXPECT_NE(std::string::npos, problems[0].find("Windows starts no program from a file of 4 GiB or more"))
      << problems[0];
  // It stops there: nothing is written past the limit.
  EXPECT_LE(archive.size(), 4000u);
}

}  // namespace
