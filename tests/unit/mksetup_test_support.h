// Shared by the packager's tests: checking archives held in strings, finding a finding,
// and making data with a chosen CRC-32 or deflated at a chosen level.
#pragma once

#include "platform/handles.h"
#include "tests/unit/zip_builder.h"
#include "tools/byte_source.h"
#include "tools/host.h"
#include "tools/setup_file_check.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

inline const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }
inline std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

inline mksetup::ArchiveCheck Check(const std::string& archive, mksetup::CheckOptions options = {}) {
  return mksetup::CheckArchive(Bytes(archive), archive.size(), options);
}

// The findings whose message holds `fragment`, of the kind asked for.
inline std::vector<std::string> Findings(const std::vector<mksetup::Finding>& findings, const std::string& fragment,
                                         bool defect = true) {
  std::vector<std::string> found;
  for (const mksetup::Finding& f : findings)
    if (f.defect == defect && f.message.find(fragment) != std::string::npos) found.push_back(f.message);
  return found;
}

inline std::string AllMessages(const std::vector<mksetup::Finding>& findings) {
  std::string all;
  for (const mksetup::Finding& f : findings) all += (f.defect ? "defect: " : "warning: ") + f.message + "\n";
  return all;
}


// Bytes in a temporary file, open for reading through a FileSource: the path the checks
// take for a setup file on disk. Removed at the end.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    FILE* made = nullptr;
    if (!mksetup::host::MakeTemporaryFile(&path_, &made)) throw std::runtime_error("no temporary file");
    CCrtFile written(made);
    if ((!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), made) != bytes.size()) || !written.Close())
      throw std::runtime_error("cannot write " + path_);
    file_ = mksetup::host::OpenFile(path_, "rb");
    if (!file_) throw std::runtime_error("cannot reopen " + path_);
    source_ = std::make_unique<mksetup::FileSource>(file_, bytes.size());
  }
  ~TempFile() {
    std::fclose(file_);
    mksetup::host::RemoveFile(path_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const mksetup::ByteSource& Source() const { return *source_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  FILE* file_ = nullptr;
  std::unique_ptr<mksetup::FileSource> source_;
};

// `size` bytes that deflating cannot shrink, the same for the same seed.
inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(size, '\0');
  for (char& c : s) c = char(random());
  return s;
}

// Little-endian fields written into archives held in strings.
inline void Put16At(std::string& s, size_t at, uint32_t v) {
  s[at] = char(v);
  s[at + 1] = char(v >> 8);
}
inline void Put32At(std::string& s, size_t at, uint32_t v) {
  Put16At(s, at, v & 0xFFFF);
  Put16At(s, at + 2, v >> 16);
}
inline uint32_t Get32At(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}
inline void Put64At(std::string& s, size_t at, uint64_t v) {
  Put32At(s, at, uint32_t(v));
  Put32At(s, at + 4, uint32_t(v >> 32));
}
// Offsets inside the end record, which ZipBuilder puts last with no comment and mksetup
// with its seal as the comment, and the ZIP64 end record and locator put before it.
inline size_t EndRecord(const std::string& zip) {
  for (size_t at = zip.size() - 22, back = 0; back <= 0xFFFF && at >= back; ++back)
    if (Get32At(zip, at - back) == 0x06054b50 &&
        (uint8_t(zip[at - back + 20]) | size_t(uint8_t(zip[at - back + 21])) << 8) == back)
      return at - back;
  return zip.size() - 22;
}
inline size_t CentralDirectory(const std::string& zip) { return Get32At(zip, EndRecord(zip) + 16); }
inline size_t LocatorAt(const std::string& zip) { return EndRecord(zip) - 20; }
inline size_t Zip64RecordAt(const std::string& zip) { return LocatorAt(zip) - 56; }

// `count` stored entries of a few bytes each, named f0.txt, f1.txt ...
inline ZipBuilder ManyEntries(size_t count) {
  ZipBuilder zip;
  for (size_t i = 0; i < count; ++i) zip.AddStored("f" + std::to_string(i) + ".txt", std::to_string(i));
  return zip;
}

const int32_t kModified = 1500000000;  // 2017-07-14 02:40:00 UTC

// The shipped payload's two entries: a deflated program with a "UT" time, a stored help file.
inline ZipBuilder Galvery() {
  ZipBuilder zip;
  zip.AddDeflated("d:/Galvery/RELEASE/Galvery.EXE", std::string(5000, 'x') + "MZ program").localExtra =
      UtBlock(1, {kModified});
  zip.AddStored("d:/Galvery/HLP/Galvery.HLP", "help text\r\n");
  return zip;
}

inline std::string SetupFile(const std::string& stub, const std::string& archive) { return stub + "UUUUUUUU" + archive; }
const std::string kStub = std::string("MZ stub ") + "UUUUUUUU" + " the program's own marker, then code";

// `data` followed by four bytes that give the whole the CRC-32 `target`. The CRC-32 of
// data plus four bytes x is an affine function of x, so the bytes come from solving a
// 32 by 32 linear system over GF(2).
inline std::string WithCrc(const std::string& data, uint32_t target) {
  auto crcWith = [&](uint32_t x) {
    std::string s = data;
    for (int k = 0; k < 4; ++k) s += char(x >> (8 * k));
    return Crc32(s);
  };
  const uint32_t zero = crcWith(0);
  // Row j: the effect of bit j of x, with bit j recorded beside it (bit 32 upward).
  std::vector<uint64_t> rows;
  for (int j = 0; j < 32; ++j) rows.push_back(uint64_t(crcWith(1u << j) ^ zero) | uint64_t(1) << (32 + j));
  // Gaussian elimination to the identity on the low 32 bits.
  for (int bit = 0; bit < 32; ++bit) {
    size_t pivot = size_t(bit);
    while (pivot < rows.size() && !(rows[pivot] >> bit & 1)) ++pivot;
    if (pivot == rows.size()) throw std::runtime_error("CRC-32 columns are not independent");
    std::swap(rows[size_t(bit)], rows[pivot]);
    for (size_t r = 0; r < rows.size(); ++r)
      if (r != size_t(bit) && (rows[r] >> bit & 1)) rows[r] ^= rows[size_t(bit)];
  }
  const uint32_t wanted = target ^ zero;
  uint32_t x = 0;
  for (int bit = 0; bit < 32; ++bit)
    if (wanted >> bit & 1) x ^= uint32_t(rows[size_t(bit)] >> 32);
  std::string out = data;
  for (int k = 0; k < 4; ++k) out += char(x >> (8 * k));
  return out;
}

}  // namespace testing_support
