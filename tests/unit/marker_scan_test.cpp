// Finding the archive behind the second marker, and writing it out as the pack file.
#include "payload/embedded_payload.h"
#include "payload/payload_marker.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

using testing_support::ReadBytes;
using testing_support::ScratchDir;

namespace {

const std::string M(8, 'U');

// The scan on a heap copy of exactly the given bytes, so that AddressSanitizer catches
// any read past the end.
std::vector<uint32_t> Scan(const std::string& bytes) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return FindMarkerOccurrences(copy.get(), bytes.size());
}

TEST(MarkerScan, CountsOccurrencesWithoutOverlap) {
  EXPECT_EQ(std::vector<uint32_t>({11, 22}), Scan("abc" + M + "def" + M + "PK"));
  EXPECT_EQ(std::vector<uint32_t>({8, 16}), Scan(std::string(16, 'U')));
  EXPECT_EQ(std::vector<uint32_t>({8}), Scan(std::string(15, 'U')));
  EXPECT_EQ(std::vector<uint32_t>({9}), Scan("xUUUUUUUUUUUUUUx"));  // 14: one, then six left over
  EXPECT_TRUE(Scan("").empty());
  EXPECT_TRUE(Scan("UUUUUUU").empty());
}

TEST(MarkerScan, NeverReadsPastTheEnd) {
  // 0x55 bytes among the last seven: candidates whose eight bytes would run off the end.
  EXPECT_EQ(std::vector<uint32_t>({8}), Scan(M + "x" + "UUUUUUU"));
  EXPECT_EQ(std::vector<uint32_t>({8}), Scan(M + "xyzU"));
  EXPECT_EQ(std::vector<uint32_t>({9, 17}), Scan("x" + M + M));  // second one ends the data
}

// The streamed count against the whole-buffer one, the input cut into two pieces at
// every offset, and into pieces of every small size: the count and where the archive
// starts must not depend on where a read ends.
void ExpectStreamedAgrees(const std::string& bytes) {
  const std::vector<uint32_t> whole = Scan(bytes);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto check = [&](const CMarkerScan& scan, const std::string& how) {
    EXPECT_EQ(whole.size(), scan.Count()) << how;
    if (whole.size() >= 2) {
      EXPECT_EQ(whole[1], scan.SecondEnd()) << how;
    }
    EXPECT_EQ(bytes.size(), scan.Scanned()) << how;
  };
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    CMarkerScan scan;
    scan.Feed(data, cut);
    scan.Feed(data + cut, bytes.size() - cut);
    check(scan, "cut at " + std::to_string(cut));
  }
  for (size_t piece = 1; piece <= 17; ++piece) {
    CMarkerScan scan;
    for (size_t at = 0; at < bytes.size(); at += piece) scan.Feed(data + at, std::min(piece, bytes.size() - at));
    check(scan, "pieces of " + std::to_string(piece));
  }
}

TEST(MarkerScan, StreamedCountAgreesWithTheWholeBufferAtEveryBoundary) {
  for (const std::string& crafted :
       {std::string(), M, std::string(7, 'U'), std::string(15, 'U'), std::string(16, 'U'), std::string(17, 'U'),
        std::string(24, 'U'), "abc" + M + "def" + M + "PK", "x" + M + M, M + "x" + "UUUUUUU", std::string("UUUUxUUUUUUUUxUUU"),
        "image" + M + M + "zip with " + M, std::string(9, 'U') + "y" + std::string(23, 'U') + "z"})
    ExpectStreamedAgrees(crafted);
  // Random bytes with 0x55 one in five to four in five, so that runs of every length
  // occur, and the gaps between them that the scan steps over.
  std::mt19937 rng(20261209);
  for (int round = 0; round < 400; ++round) {
    std::string bytes(rng() % 90, '\0');
    const unsigned density = 1 + unsigned(round) % 4;
    for (char& c : bytes) c = rng() % 5 < density ? 'U' : "ab\x00"[rng() % 3];
    ExpectStreamedAgrees(bytes);
  }
}

// SavePayload over bytes in memory.
class SavePayloadTest : public ::testing::Test {
 protected:
  int Save(const std::string& bytes, const std::string& packFile) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return SavePayload(copy.get(), bytes.size(), testing_support::W(packFile));
  }

  testing_support::CTestEnv env;
  CScopedEnv use{&env};
  ScratchDir dir;
};

TEST_F(SavePayloadTest, WritesExactlyTheBytesBehindTheSecondMarker) {
  const std::string archive = std::string("PK\x03\x04", 4) + "entries" + std::string("\0\x01\x02", 3) + "PK\x05\x06end";
  EXPECT_EQ(1, Save("MZ image " + M + " more image" + M + archive, dir.Win("pack.zip")));
  EXPECT_EQ(archive, ReadBytes(dir.Posix("pack.zip")));
  EXPECT_EQ("", env.Told());
}

TEST_F(SavePayloadTest, ReplacesAnExistingPackFileWhole) {
  testing_support::WriteBytes(dir.Posix("pack.zip"), std::string(1000, 'o'));
  EXPECT_EQ(1, Save("image" + M + M + "new", dir.Win("pack.zip")));
  EXPECT_EQ("new", ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(SavePayloadTest, AMarkerAtTheVeryEndGivesAnEmptyPackFile) {
  EXPECT_EQ(1, Save("image" + M + M, dir.Win("pack.zip")));
  EXPECT_TRUE(testing_support::Exists(dir.Posix("pack.zip")));
  EXPECT_EQ("", ReadBytes(dir.Posix("pack.zip")));
}

TEST_F(SavePayloadTest, AnyOtherCountIsNoPayloadAndWritesNothing) {
  for (const std::string& file : {"image only" + M,                    // nothing appended
                                  std::string("no marker at all"),     // image without its constant
                                  "image" + M + M + "zip with " + M,   // archive holds a run
                                  "image" + M + std::string(16, 'U')}) {
    env.told.clear();
    EXPECT_EQ(0, Save(file, dir.Win("pack.zip")));
    EXPECT_EQ("No embedded setup data found.|", env.Told());
    EXPECT_FALSE(testing_support::Exists(dir.Posix("pack.zip")));
  }
}

TEST_F(SavePayloadTest, APackFileThatCannotBeCreatedIsReported) {
  EXPECT_EQ(0, Save("image" + M + M + "zip", dir.Win("missing\\pack.zip")));
  EXPECT_EQ("Cannot save setup file|", env.Told());
}

}  // namespace
