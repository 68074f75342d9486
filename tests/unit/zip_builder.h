// Builds ZIP archives byte by byte, so a test can set every header field, including
// ones that disagree with each other.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntry {
  // Central directory record. Add* fill everything from the name and the data.
  std::string name;
  uint16_t versionMadeBy = 0x031E;  // Unix, version 3.0; 0x0014 DOS, 0x0A14 NTFS ...
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0x90CF;  // 18:06:30
  uint16_t dosDate = 0x432F;  // 2013-09-15
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t external = 0x81800020;  // Unix rw-r--r-- with the DOS archive bit
  int64_t headerOffsetField = -1;  // the local header offset the central record gives; -1: the real one
  std::string centralExtra;
  // Local header: a copy of the central values until a test changes one.
  uint32_t localSignature = 0x04034B50;
  uint16_t localMethod = 0;
  uint32_t localCrc = 0;
  uint32_t localCompressedSize = 0;
  uint32_t localUncompressedSize = 0;
  std::string localName;
  std::string localExtra;
  int localExtraLength = -1;  // the length field; -1: localExtra's real length
  // The bytes stored after the local header (compressed for method 8).
  std::string payload;
};

class ZipBuilder {
 public:
  ZipEntry& AddStored(const std::string& name, const std::string& data);
  ZipEntry& AddDeflated(const std::string& name, const std::string& data);
  // A directory entry as Unix zip writes it: a trailing slash and the directory mode.
  ZipEntry& AddDirectory(const std::string& name);
  // Copies the central fields that a test changed into the local header again.
  static void SyncLocal(ZipEntry& e);

  // The archive, behind `prefix`. When ARCHIVE_SEED_DIR is set, the archive is also
  // saved there as a seed for the fuzzer.
  std::string Build() const;

  std::string prefix;
  std::deque<ZipEntry> entries;
  int countOverride = -1;  // the entry count the end record claims; -1: the real one
  // A ZIP64 end record and its locator before the end record, as zip writes them for
  // more than 65535 entries: the end record's counts then say 0xFFFF. The locator gives
  // the ZIP64 record's position in the whole output, prefix included, as minizip reads it.
  bool zip64 = false;
  std::string comment;  // the archive comment, behind the end record
};

// `archive`, built with a comment that ends in "seal:crc32:" and eight digits, with
// those digits set to the CRC-32 of every byte before them.
std::string Sealed(std::string archive);

// A ZIP64 extended-information block (ID 0x0001) holding these 64-bit values.
std::string Zip64Block(const std::vector<uint64_t>& values);

// One extra field block: ID, little-endian size, data.
std::string ExtraBlock(const char id[2], const std::string& data);
// A "UT" block with the flag byte and the times given, in that order.
std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times);

uint32_t Crc32(const std::string& data);
std::string Deflate(const std::string& data);
// Raw deflate (no zlib header) at `level`; level 0 copies the data into stored blocks.
std::string DeflateAt(const std::string& data, int level);

}  // namespace testing_support
