#include "tests/unit/zip_builder.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace testing_support {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, uint32_t(v));
  Put32(out, uint32_t(v >> 32));
}

void SaveSeed(const std::string& archive) {
  const char* dir = std::getenv("ARCHIVE_SEED_DIR");
  // An archive of tens of thousands of entries would slow every fuzzing run more than it
  // could teach the fuzzer.
  if (!dir || !*dir || archive.size() > 65536) return;
  char name[32];
  std::snprintf(name, sizeof name, "/%08x.zip", unsigned(Crc32(archive)));
  std::ofstream(std::string(dir) + name, std::ios::binary) << archive;
}

}  // namespace

uint32_t Crc32(const std::string& data) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

std::string DeflateAt(const std::string& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, uLong(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = uInt(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Deflate(const std::string& data) { return DeflateAt(data, 9); }

void ZipBuilder::SyncLocal(ZipEntry& e) {
  e.localMethod = e.method;
  e.localCrc = e.crc;
  e.localCompressedSize = e.compressedSize;
  e.localUncompressedSize = e.uncompressedSize;
  e.localName = e.name;
}

ZipEntry& ZipBuilder::AddStored(const std::string& name, const std::string& data) {
  ZipEntry& e = entries.emplace_back();
  e.name = name;
  e.payload = data;
  e.crc = Crc32(data);
  e.compressedSize = e.uncompressedSize = uint32_t(data.size());
  SyncLocal(e);
  return e;
}

ZipEntry& ZipBuilder::AddDeflated(const std::string& name, const std::string& data) {
  ZipEntry& e = AddStored(name, data);
  e.method = 8;
  e.payload = Deflate(data);
  e.compressedSize = uint32_t(e.payload.size());
  SyncLocal(e);
  return e;
}

ZipEntry& ZipBuilder::AddDirectory(const std::string& name) {
  ZipEntry& e = AddStored(name, "");
  e.external = 0x41ED0010;
  return e;
}

std::string ZipBuilder::Build() const {
  std::string body, central;
  for (const ZipEntry& e : entries) {
    const uint32_t offset = uint32_t(body.size());
    Put32(body, e.localSignature);
    Put16(body, 20);
    Put16(body, e.flags);
    Put16(body, e.localMethod);
    Put16(body, e.dosTime);
    Put16(body, e.dosDate);
    Put32(body, e.localCrc);
    Put32(body, e.localCompressedSize);
    Put32(body, e.localUncompressedSize);
    Put16(body, uint32_t(e.localName.size()));
    Put16(body, e.localExtraLength >= 0 ? uint32_t(e.localExtraLength) : uint32_t(e.localExtra.size()));
    body += e.localName + e.localExtra + e.payload;

    Put32(central, 0x02014B50);
    Put16(central, e.versionMadeBy);
    Put16(central, 20);
    Put16(central, e.flags);
    Put16(central, e.method);
    Put16(central, e.dosTime);
    Put16(central, e.dosDate);
    Put32(central, e.crc);
    Put32(central, e.compressedSize);
    Put32(central, e.uncompressedSize);
    Put16(central, uint32_t(e.name.size()));
    Put16(central, uint32_t(e.centralExtra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, e.external);
    Put32(central, e.headerOffsetField >= 0 ? uint32_t(e.headerOffsetField) : offset);
    central += e.name + e.centralExtra;
  }
  const uint32_t count = countOverride >= 0 ? uint32_t(countOverride) : zip64 ? 0xFFFF : uint32_t(entries.size());
  std::string archive = prefix + body + central;
  if (zip64) {
    const size_t record = archive.size();
    Put32(archive, 0x06064B50);
    Put64(archive, 44);  // the size of the rest of the record
    Put16(archive, 0x031E);
    Put16(archive, 45);
    Put32(archive, 0);  // this disk
    Put32(archive, 0);  // the disk with the central directory
    Put64(archive, entries.size());
    Put64(archive, entries.size());
    Put64(archive, central.size());
    Put64(archive, body.size());
    Put32(archive, 0x07064B50);
    Put32(archive, 0);  // the disk with the ZIP64 end record
    Put64(archive, record);
    Put32(archive, 1);  // disks
  }
  Put32(archive, 0x06054B50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, count);
  Put16(archive, count);
  Put32(archive, uint32_t(central.size()));
  Put32(archive, uint32_t(body.size()));
  Put16(archive, uint32_t(comment.size()));
  archive += comment;
  SaveSeed(archive);
  return archive;
}

std::string Sealed(std::string archive) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", unsigned(Crc32(archive.substr(0, archive.size() - 8))));
  archive.replace(archive.size() - 8, 8, digits);
  return archive;
}

std::string ExtraBlock(const char id[2], const std::string& data) {
  std::string out(id, 2);
  Put16(out, uint32_t(data.size()));
  return out + data;
}

std::string Zip64Block(const std::vector<uint64_t>& values) {
  std::string data;
  for (uint64_t v : values) Put64(data, v);
  return ExtraBlock("\x01\x00", data);
}

std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times) {
  std::string data(1, char(flags));
  for (int32_t t : times) Put32(data, uint32_t(t));
  return ExtraBlock("UT", data);
}

}  // namespace testing_support
