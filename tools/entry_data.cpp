#include "tools/entry_data.h"

#include "tools/text_format.h"

#include <zlib.h>

namespace mksetup {

bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error) {
  if (!entry.dataInBounds || entry.dataOffset > size || entry.compressedSize > size - entry.dataOffset) {
    *error = "its data lies outside the archive";
    return false;
  }
  const uint8_t* source = data + entry.dataOffset;
  uLong crc = crc32(0, nullptr, 0);
  uint64_t total = 0;
  if (out) out->clear();
  if (entry.method == 0) {
    crc = crc32(crc, source, uInt(entry.compressedSize));
    total = entry.compressedSize;
    if (out) out->assign(source, source + entry.compressedSize);
  } else if (entry.method == 8) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      *error = "zlib cannot start inflating";
      return false;
    }
    z.next_in = const_cast<Bytef*>(source);
    z.avail_in = uInt(entry.compressedSize);
    uint8_t buffer[65536];
    int status = Z_OK;
    while (status == Z_OK) {
      z.next_out = buffer;
      z.avail_out = sizeof buffer;
      status = inflate(&z, Z_NO_FLUSH);
      const size_t produced = sizeof buffer - z.avail_out;
      crc = crc32(crc, buffer, uInt(produced));
      total += produced;
      // A stream that inflates past its declared size is damaged; stop before it costs more.
      if (total > entry.uncompressedSize) break;
      if (out) out->insert(out->end(), buffer, buffer + produced);
      if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    const char* message = z.msg;
    inflateEnd(&z);
    if (total <= entry.uncompressedSize && status != Z_STREAM_END) {
      *error = status == Z_BUF_ERROR || status == Z_OK
                   ? "its deflated data ends before the stream does"
                   : Format("its deflated data is damaged (zlib: %s)", message ? message : "error");
      return false;
    }
  } else {
    *error = Format("method %u cannot be read", unsigned(entry.method));
    return false;
  }
  if (total != entry.uncompressedSize) {
    *error = total > entry.uncompressedSize
                 ? Format("its data unpacks to more than the %llu bytes its header gives",
                          (unsigned long long)entry.uncompressedSize)
                 : Format("its data unpacks to %llu bytes, not the %llu its header gives", (unsigned long long)total,
                          (unsigned long long)entry.uncompressedSize);
    return false;
  }
  if (uint32_t(crc) != entry.crc) {
    *error = Format("its data has the CRC-32 0x%08X, not the 0x%08X its header gives", unsigned(crc), entry.crc);
    return false;
  }
  return true;
}

}  // namespace mksetup
