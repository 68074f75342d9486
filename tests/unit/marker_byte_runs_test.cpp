// Runs of 0x55 bytes in an archive and the fields they lie in.
#include "tests/unit/mksetup_test_support.h"

using namespace testing_support;
using namespace mksetup;

namespace {

TEST(MksetupCheck, PlacesEveryRunOfMarkerBytes) {
  // Seven in a row are no marker; eight are; sixteen are one run.
  for (const auto& count : std::vector<std::pair<int, size_t>>{{7, 0}, {8, 1}, {16, 1}}) {
    ZipBuilder zip;
    zip.AddStored("a.txt", "ab" + std::string(size_t(count.first), 'U') + "cd");
    const ArchiveCheck c = Check(zip.Build());
    ASSERT_EQ(count.second, c.runs.size()) << count.first;
    if (!c.runs.empty()) {
      EXPECT_EQ(30u + 5 + 2, c.runs[0].offset);  // local header, name, "ab"
      EXPECT_EQ(size_t(count.first), c.runs[0].length);
      ASSERT_EQ(1u, c.runs[0].fields.size());
      EXPECT_EQ("data", c.runs[0].fields[0].what);
      EXPECT_TRUE(c.runs[0].fields[0].changesWithCompression);
      EXPECT_EQ(1u, Findings(c.findings, "refuse to install").size());
    }
  }
  // A flood of runs: all kept for the writer, twenty spelt out.
  std::string flood;
  for (int i = 0; i < 30; ++i) flood += "UUUUUUUU.";
  ZipBuilder many;
  many.AddStored("flood.bin", flood);
  const ArchiveCheck f = Check(many.Build());
  EXPECT_EQ(30u, f.runs.size());
  EXPECT_EQ(20u, Findings(f.findings, "refuse to install").size());
  EXPECT_EQ(1u, Findings(f.findings, "and 10 more runs").size());

  // In a name: once in the local header, once in the central directory.
  ZipBuilder named;
  named.AddStored("UUUUUUUU.txt", "x");
  const ArchiveCheck n = Check(named.Build());
  ASSERT_EQ(2u, n.runs.size());
  EXPECT_EQ("name (local header)", n.runs[0].fields.at(0).what);
  EXPECT_EQ("name (central directory)", n.runs[1].fields.at(0).what);

  // DOS time 10:42:42, date 2022-10-21 (both 0x5555) and the CRC-32 0x55555555: eight
  // bytes in a row in each header, none of which compression changes.
  ZipBuilder stamped;
  ZipEntry& e = stamped.AddStored("a.txt", WithCrc("some data", 0x55555555));
  e.dosTime = e.dosDate = 0x5555;
  const ArchiveCheck s = Check(stamped.Build());
  ASSERT_EQ(2u, s.runs.size()) << AllMessages(s.findings);
  std::vector<std::string> local;
  for (const Field& f : s.runs[0].fields) {
    local.emplace_back(f.what);
    EXPECT_FALSE(f.changesWithCompression) << f.what;
  }
  EXPECT_EQ((std::vector<std::string>{"DOS time (local header)", "DOS date (local header)", "CRC-32 (local header)"}),
            local);
  EXPECT_EQ(0u, Findings(s.findings, "has the CRC-32").size()) << "the forged CRC-32 is the data's own";

  // In the archive comment, which belongs to no entry.
  std::string commented = Galvery().Build();
  Put16At(commented, EndRecord(commented) + 20, 12);
  commented += "UUUUUUUUUUUU";
  const ArchiveCheck k = Check(commented);
  ASSERT_EQ(1u, k.runs.size());
  EXPECT_EQ(-1, k.runs[0].fields.at(0).entry);
  EXPECT_EQ("archive comment", k.runs[0].fields.at(0).what);
}

// The scan of pieces finds what the scan of the whole buffer finds, wherever the pieces
// are cut: runs that begin, end or lie wholly in a piece, or reach the last byte.
TEST(MksetupCheck, FindsTheSameRunsPieceByPieceAsInOneBuffer) {
  std::mt19937 random(20);
  for (int round = 0; round < 300; ++round) {
    std::string bytes(size_t(random() % 120), 'x');
    for (char& c : bytes) c = random() % 3 ? 'U' : char(random());
    // Runs of six to eighteen, some at the very start or end.
    for (int k = int(random() % 4); k-- > 0;) {
      const size_t length = 6 + random() % 13;
      const size_t at = random() % 4 == 0 ? 0 : random() % (bytes.size() + 1);
      bytes.insert(at, std::string(length, 'U'));
    }
    if (random() % 4 == 0) bytes += std::string(6 + random() % 5, 'U');
    const std::vector<std::pair<size_t, size_t>> whole = FindMarkerByteRuns(Bytes(bytes), bytes.size());
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
      MarkerByteRunScan scan;
      scan.Feed(Bytes(bytes), cut);
      scan.Feed(Bytes(bytes) + cut, bytes.size() - cut);
      ASSERT_EQ(whole, scan.Finish()) << "round " << round << ", cut at " << cut;
    }
    MarkerByteRunScan bytewise;
    MarkerRunWatch watch;
    for (size_t i = 0; i < bytes.size(); ++i) {
      bytewise.Feed(Bytes(bytes) + i, 1);
      watch.Feed(Bytes(bytes) + i, 1);
    }
    ASSERT_EQ(whole, bytewise.Finish()) << "round " << round;
    ASSERT_EQ(!whole.empty(), watch.Seen()) << "round " << round;
  }

  // A file is read in pieces of a megabyte: runs across the boundaries between them.
  std::string big(2 * kPieceSize + 100, 'a');
  for (size_t at : {kPieceSize - 8, kPieceSize - 3, 2 * kPieceSize - 1, 2 * kPieceSize + 92})
    big.replace(at, 8, std::string(8, 'U'));
  const auto expected = FindMarkerByteRuns(Bytes(big), big.size());
  ASSERT_EQ(3u, expected.size()) << "two of them meet";
  std::vector<std::pair<size_t, size_t>> found;
  {
    const TempFile file(big);
    ASSERT_TRUE(FindMarkerByteRuns(file.Source(), &found));
    EXPECT_EQ(expected, found);
  }
  // Seven in a row across the boundary are no run, read either way.
  big[2 * kPieceSize - 1] = 'b';
  const TempFile cut(big);
  ASSERT_TRUE(FindMarkerByteRuns(cut.Source(), &found));
  EXPECT_EQ(FindMarkerByteRuns(Bytes(big), big.size()), found);
  EXPECT_EQ(2u, found.size());
}

}  // namespace
